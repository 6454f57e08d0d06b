// The short-message manager's store: every message the user sees is a row of the local message
// table (core::DbTable::Smsinfo), sorted into numbered boxes. This core is headless: it answers
// the box tree, list rows and menu state, and the Qt side (content/qt/sms_view.h) shows them.
//
//   content::TSMSManage sms(env, db.isOpen(core::DbTable::Smsinfo)
//                                    ? &db.table(core::DbTable::Smsinfo) : nullptr);
//   content::ArraySms draft{{.boxid = content::kBoxDrafts, .Tel = "+4412", .body = "Hi"}};
//   sms.AddMessages(draft, -1, false);          // draft[0].id is the new row's id
//   content::SmsList list = sms.FillList(content::kBoxLocal);
//   content::SmsMenuState menus = sms.UpdateMenus(content::kBoxLocal, int(list.rows.size()));
//
// Boxes: 0 the local root (its list shows boxes 0-4), 1 received, 2 kept for sending, 3 sent,
// 4 drafts, 5 recycle box, 6 no tree node (handled like the recycle box), 7 the phone root (its
// list shows every box above 7), 8 and 9 the handset's received and stored messages as last read,
// 10 phone-side but never made.
//
// Lookups are typed comparisons on the table (a number or text with an apostrophe is just text),
// ids are unique over the whole table, and an id that has no row changes nothing. Texts longer
// than their column are cut by the table on a character boundary; duplicates are recognised by
// the text as it is stored.
//
// The handset side of boxes 7 and above (slots, write, rewrite and delete jobs, batches) is
// reached through SmsPhoneSide; without one, phone-side rows are kept like local ones.
//
// Operations leave the table unfiltered. A null table (the database could not open it) is an
// empty store that takes nothing. User-interface thread only.
#pragma once

#include "content/env.h"
#include "content/menu_state.h"
#include "platform/table.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace content {

inline constexpr int kSmsFailed = -92;
// Boxes of AddMessages when a new row cannot be made (the records before it are stored).
inline constexpr const char *kSmsNoIdLeft =
    "No message can be stored: a message already has the highest id (2147483647). Delete it to "
    "store new messages.";
inline constexpr const char *kSmsStoreFull =
    "No message can be stored: the message store is full. Delete messages to store new ones.";
// GetBoxId's id of "every message" (the print dialog's first entry).
inline constexpr int kAllMessages = -1;

inline constexpr int kBoxLocal = 0;
inline constexpr int kBoxReceived = 1;
inline constexpr int kBoxOutbox = 2;
inline constexpr int kBoxSent = 3;
inline constexpr int kBoxDrafts = 4;
inline constexpr int kBoxRecycle = 5;
inline constexpr int kBoxHidden = 6;
inline constexpr int kBoxPhone = 7;
inline constexpr int kBoxPhoneReceived = 8;
inline constexpr int kBoxPhoneStored = 9;
inline constexpr int kBoxPhoneOther = 10;

// The state of a message as a download reads it (unread); 1 is read.
inline constexpr uint8_t kStateFromHandset = 2;
inline constexpr uint8_t kStateRead = 1;

// The recycle boxes: a delete there removes the row, and only their rows can be restored.
constexpr bool isRecycleBox(int box) { return box == kBoxRecycle || box == kBoxHidden; }
// Boxes that mirror the handset.
constexpr bool isPhoneBox(int box) { return box > kBoxPhone; }

// The program's message record: one row of the table (id, boxid, Tid, states, Tel, time, body,
// V_time, Sca).
struct Ssms {
    int32_t id = 0;
    int32_t boxid = 0;
    int32_t Tid = 0;   // position on the handset
    uint8_t states = 0; // the list's picture: 2 read from the handset, 3 handed to sending, ...
    std::string Tel;
    std::string time;  // "yyyy-mm-dd hh:nn:ss" or "--"
    std::string body;
    std::string V_time;
    std::string Sca;
    bool operator==(const Ssms &) const = default;
};
using ArraySms = std::vector<Ssms>;

// A node of the box tree: the box id is the node's key, its image the box id.
struct BoxNode {
    int id = 0;
    std::string text;
    std::vector<BoxNode> children;
    bool expanded = false;
};

// One item of the message list. Sub-items, in order: Tel, body, time, id (the id as text is how
// the main window finds an item's message; it sits in sub-item 3, a hidden column).
struct SmsListRow {
    int image = 0;
    int stateImage = 0;
    int32_t id = 0;
    std::string Tel;
    std::string body;
    std::string time;
    std::string idText;
};

// A box's listing without its texts, for a list that asks for a row's texts when it shows it.
struct SmsIdList {
    int box = 0;
    std::vector<std::string> columns; // captions of the four shown columns
    std::vector<int32_t> ids;         // ordered by id
};

// What a listed row shows of its message: views into the table, valid until it next changes.
struct SmsRowTexts {
    std::string_view Tel, body, time;
    int image = 0; // from the row's own box and states
};

struct SmsList {
    int box = 0;
    std::vector<std::string> columns; // captions of the four shown columns
    std::vector<SmsListRow> rows;     // ordered by id
};

// Column widths of a list that has fewer than three columns.
inline constexpr int kSmsColumnWidths[] = {50, 120, 200, 145};

// The message menus for one box (see UpdateMenus). `named` covers the 14 items of menu_list_sms
// and the items of menu_tree_sms; the rest go by place or tag.
struct SmsMenuState {
    int box = 0;
    bool connected = false;
    int items = 0;
    NamedMenuState named;

    // mSms's sub-item at index (from 0): enabled only when connected, except the fourth and
    // fifth (new, edit), which are left as they are.
    ItemState smsMenuItem(int index) const;
    // m_Edit's item at index: the first three (copy, cut, paste) disabled, the fifth as pSmsDel
    // and the sixth as menu_clear_sms; the others left alone.
    ItemState editItem(int index) const;
    // Tool-bar buttons by tag: 1 enabled only when connected, 0 only when not; others left alone.
    ItemState toolButton(int tag) const;
};

// The m_Edit items that act for a message command: the fifth runs pSmsDel, the sixth
// menu_clear_sms.
inline constexpr int kEditDeleteIndex = 4;
inline constexpr int kEditClearIndex = 5;
inline constexpr const char *kEditDeleteSource = "pSmsDel";
inline constexpr const char *kEditClearSource = "menu_clear_sms";

// Where the handset side takes over for boxes 7 and above. Every hook has a default that keeps the
// rows local, so the store works without a handset.
class SmsPhoneSide {
public:
    enum class Step {
        Go,   // carry on with this record
        Skip, // leave this record (and its row) alone, go on with the next
        Stop, // end the whole operation (AddMessages: rows made so far stay; the others: -92)
    };
    enum class Operation { Add, Save, Delete };
    virtual ~SmsPhoneSide() = default;

    // At the start of AddMessages, SaveMessages and DeleteMessages, before anything changes: a
    // negative answer ends the operation at once with that answer (nothing stored, nothing sent).
    virtual int begin(Operation, const ArraySms &, bool /*toHandset*/) { return 0; }

    // AddMessages, a record of box 8 or 9 that gets a new row (id newId), before the row is
    // made: reserve its slot. Stop ends the loop without this record.
    virtual Step reserveForAdd(const Ssms &, int32_t /*newId*/, int /*storage*/, bool /*toHandset*/)
    {
        return Step::Go;
    }
    // AddMessages with the handset flag on, after the row of a box 8 or 9 record is stored.
    virtual void added(const Ssms &) {}
    // After AddMessages' loop: run what was queued; false when the batch was cancelled.
    virtual bool endAdd() { return true; }

    // SaveMessages, a record of box 8 or 9, before its row is looked up.
    virtual Step beforeSave(const Ssms &) { return Step::Go; }
    // SaveMessages, after its row was found and compared (changed: Tel, body or time differ).
    // Skip leaves the row as it was.
    virtual Step saved(const Ssms &, bool /*changed*/) { return Step::Go; }
    virtual bool endSave() { return true; }

    // DeleteMessages, a record of box 7 or above whose row is about to be removed (its Tid filled
    // in). Skip keeps the row.
    virtual Step deleted(const Ssms &) { return Step::Go; }
    virtual bool endDelete() { return true; }
};

class TSMSManage {
public:
    // sms: the open message table, or null when it could not be opened. Both must outlive the
    // manager. Builds the box lists from the current language.
    TSMSManage(Env &env, platform::Table *sms);
    TSMSManage(const TSMSManage &) = delete;
    TSMSManage &operator=(const TSMSManage &) = delete;

    // The handset side (null: none). Must outlive the manager or be unset first.
    void setPhoneSide(SmsPhoneSide *side) { phone_ = side; }

    // A table still being read: until the store is opened, open runs first in every operation on
    // the rows (and must attachTable() the table, or null when it could not be opened), so nothing
    // is stored in a table the load would then replace. Opening() tells a list that would have to
    // wait; OpenStore() opens it now.
    void setOpener(std::function<void()> open) { opener_ = std::move(open); }
    bool opening() const { return bool(opener_); }
    void OpenStore() { store(); }
    void attachTable(platform::Table *sms) { table_ = sms; }

    // Builds the box captions and ids again (e.g. after the language changed).
    void Init();
    // The two parallel lists: ten entries with the ids -1, 0, 1, 2, 3, 4, 5, 7, 8, 9.
    const std::vector<std::string> &boxCaptions() const { return captions_; }
    const std::vector<int> &boxIds() const { return ids_; }
    // The box tree: box 0 with 1-5, box 7 with 8 and 9; both expanded.
    std::vector<BoxNode> boxTree() const;

    // The id at the caption's place in the caption list; kSmsFailed (-92) for a caption that is not
    // there (never -1, which means "every message").
    int GetBoxId(std::string_view caption) const;

    // m.id in; the other fields out. 0, or kSmsFailed when no row has the id (m unchanged).
    int GetMessage(Ssms &m);

    // Adds each record, in order. A record of the Inbox (box 1) whose Tel, body and time equal an
    // Inbox row's updates that row instead (and takes its id), keeping the row's state (the
    // user's read mark); one whose deleted copy waits in a recycle box is not added again (it
    // takes that row's id). Every other record gets a new row with the id one above the highest
    // of the table, written back into the record: sent, unsent and draft records are never
    // merged. A phone-side record as a download reads it (state 2) gets back the state the user
    // gave its row before the phone-side rows were last removed. storage (1, 2, other: either)
    // and toHandset are for the handset side. Answers the id of the last new row, -1 when none
    // was made, kSmsFailed when the handset batch was cancelled. When no id is left above the
    // highest, or the table is full, a box says so (once, until a row is made again) and the
    // remaining records are not stored.
    int AddMessages(ArraySms &list, int storage, bool toHandset);

    // Updates each record's row by id (boxid, Tel, body, states, time, Sca, V_time); records
    // without a row are added at the end (their ids written back). 0, or kSmsFailed when the
    // handset side ended the operation or a record without a row could not go where it was meant
    // to (no slot on the handset): that one is kept in the drafts (its id and box written back).
    int SaveMessages(ArraySms &list);

    // For each record, by the box the caller lists it in: in box 5, 6 or 7 and above the row is
    // removed (its Tid copied into the record); otherwise the row moves to the recycle box and
    // OldBoxid keeps its own box (a row already there keeps its OldBoxid). Ids without a row are
    // skipped. 0, or kSmsFailed when the handset side ended the operation.
    int DeleteMessages(ArraySms &list);

    // Sets a row's box and handset position, without the handset side (it keeps the handset's
    // own bookkeeping in step). false when no row has the id.
    bool SetPlace(int32_t id, int32_t box, int32_t tid);
    // Removes every row whose box is above 7, without the handset side, remembering the states
    // the user gave them for the next download; answers how many.
    int RemovePhoneRows();

    // Moves a row of the recycle boxes (5, 6) back to OldBoxid. kSmsFailed, nothing changed, when
    // no row has the id or the row is not in a recycle box.
    int UndeleteMessages(int32_t id);

    // The list of a box (0: boxes 0-4; 7: boxes above 7; else that box), remembered as the listed
    // box. Pictures follow each row's own box and its states (content::messagePicture).
    SmsList FillList(int box);
    // The same listing as ids only (a few bytes a row, not a copy of every text): what a list
    // that reads the texts of the rows it shows (RowTexts) needs.
    SmsIdList ListIds(int box);
    // The listed texts and picture of message id; false when no row has it. Moves no cursor and
    // touches no filter; a search by id, not a pass over the table.
    bool RowTexts(int32_t id, SmsRowTexts &out) const;
    int listedBox() const { return listedBox_; }

    // The messages of a box as a print lists them: 0 boxes 0-4, 7 every box above 7, kAllMessages
    // every message, any other that box; ordered by id. Reads the rows without moving the cursor
    // or touching the filter, so a list or a walk in progress stays as it was.
    ArraySms Messages(int box) const;

    // The menus for box (-1: the box set last) with `items` messages listed.
    SmsMenuState UpdateMenus(int box, int items);
    int menuBox() const { return menuBox_; }

    // The column caption key of column i of a box's list: "SmsMng_" + box + "_DataListColumn" + i.
    static std::string columnKey(int box, int column);

    Env &env() { return env_; }

private:
    // The table, opened first when it is still being read.
    platform::Table *store() const
    {
        if (opener_)
            std::exchange(opener_, nullptr)();
        return table_;
    }
    // The record's texts as the table would store them (cut to their columns).
    Ssms fitted(const Ssms &m) const;
    // Sets the open row's fields from m (Tid only withTid).
    void writeRow(const Ssms &m, bool withTid);
    bool locateId(int32_t id);
    // Filters the table to the box's rows (0: boxes 0-4; 7: boxes above 7; else that box).
    void filterBox(platform::Table &t, int box);
    std::vector<std::string> listColumns(int box) const;
    // One above the highest id of the table (filter ignored); 0 when no id is left.
    int32_t nextId() const;
    void refused(const char *why);

    Env &env_;
    platform::Table *table_;
    SmsPhoneSide *phone_ = nullptr;
    mutable std::function<void()> opener_; // set while the table is being read
    std::vector<std::string> captions_;
    std::vector<int> ids_;
    int listedBox_ = 0;
    int menuBox_ = 0;
    // Duplicate key of a removed phone-side row -> the state the user gave it.
    std::unordered_map<std::string, uint8_t> phoneMarks_;
    static constexpr size_t kMaxPhoneMarks = 100000;
    const char *refusal_ = nullptr; // the refusal last shown
    // Field numbers of the table RowTexts last read, looked up again when the table changed (a
    // load may bring other definitions), not once per cell.
    struct ListFields {
        const platform::Table *table = nullptr;
        uint64_t changes = 0;
        int id = -1, tel = -1, body = -1, time = -1, box = -1, states = -1;
    };
    mutable ListFields listFields_;
};

} // namespace content
