// The phrase manager: the user's library of reusable phrases, in named groups, with the time each
// phrase was recorded and how often it was used. Headless; the Qt side (content/qt/phrase_view.h)
// shows its tree and lists and applies its menu state.
//
//   content::TPhraseMng phrases(db, env);
//   phrases.Load();                          // first use: opens both tables
//   phrases.AddGroup("Work");
//   phrases.AddPhrase("Work", "In a meeting, call you back.");
//   for (const content::PhraseRow &r : phrases.FillList("Work")) show(r);
//   ...
//   phrases.Save();                          // at shut-down
//
// Tables: the groups (`id`, `pM`) in Database/PhraseGroup.cds, in the order they were added; the
// phrases (`id`, `Mid` = group id, `Content`, `UseCount`, `RecordTime`) in Database/Phrase.cds,
// ordered by id. Layouts in core/db_schema.h; the database module opens and saves them for us.
//
// Rules this manager keeps:
//  - Group names compare as exact bytes everywhere (lookup, GroupExists, AddGroup, RenameGroup),
//    so "Mum's" and "mum's" are two groups. Names are cut to the 100 characters the table holds
//    before they are compared or stored, so the list and the table always agree.
//  - Names are unique: AddGroup answers 0 for a taken name and RenameGroup refuses one.
//  - A new group or phrase gets the highest id of its table plus one (1 for an empty table), which
//    is the last row's id plus one for tables this program wrote.
//  - Load() runs once per session. Save() writes only what Load() opened: a session that never
//    showed the phrases leaves both files as they were, and a file that could not be loaded stays
//    untouched (its table is not saved). While either table could not be loaded, the manager
//    changes, exports and imports nothing (a group deleted in one table would leave the other's
//    rows behind; an export would pass half the library off as all of it).
//  - Cut phrases are hidden from every list until pasted; deleting phrases or groups removes their
//    ids from the cut buffer. Paste adds the moved phrases to the target first and deletes the
//    originals after; an empty or unknown target changes nothing and keeps the buffer.
//  - Export writes the phrase file and its twin (the name with its last extension replaced by
//    ".sys"), each replaced safely. Import reads and checks both files before it changes anything.
//
// User-interface thread only.
#pragma once

#include "content/pictures.h"

#include "content/env.h"
#include "content/menu_state.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace core {
class TdbMain;
}
namespace platform {
class Table;
}

namespace content {

// Image numbers of the phrase tree and list (content/pictures.h).
inline constexpr int kPhraseRootImage = kPicPhraseRoot;
inline constexpr int kPhraseGroupImage = kPicPhraseGroup;
inline constexpr int kPhraseRowImage = kPicPhrase;
// Boxes of the adds when a new group or phrase cannot be made.
inline constexpr const char *kPhraseNoIdLeft =
    "No phrase can be added: the highest id (2147483647) is taken. Delete it to add new ones.";
inline constexpr const char *kPhraseStoreFull =
    "No phrase can be added: the phrase store is full. Delete phrases to add new ones.";

// Commands whose state the manager decides: the phrase list's paste item, and the group tree's
// delete and clear items, whose enabling and action the edit menu's fifth and sixth items take.
inline constexpr const char *kPhrasePasteItem = "npPaste";
inline constexpr const char *kPhraseGroupDeleteItem = "nGrpDel";
inline constexpr const char *kPhraseGroupClearItem = "npClear";

// Size of a group name in characters (the `pM` field).
inline constexpr uint32_t kPhraseGroupNameChars = 100;

// One listed phrase; the list shows Content, then RecordTime, UseCount and id as sub-items.
struct PhraseRow {
    int32_t id = 0;
    std::string content;
    std::string recordTime;
    int32_t useCount = 0;
    bool operator==(const PhraseRow &) const = default;
};

// The group tree: a root captioned with the text of "Phrase_Cpation" and one child per group.
struct PhraseTree {
    std::string rootText;
    std::vector<std::string> groups; // table order
};

// The name of the group twin of an exported phrase file: the last extension of the file-name part
// replaced by `ext` (".sys"), or `ext` appended when the name has none.
std::string phraseTwinName(std::string_view file, std::string_view ext = ".sys");

class TPhraseMng {
public:
    // db holds the two phrase tables (opened by Load()); env gives texts, boxes and the time.
    // Both must outlive the manager.
    TPhraseMng(core::TdbMain &db, Env &env);

    // Opens both tables the first time it is called in a session; later calls do nothing.
    void Load();
    bool loaded() const { return loaded_; }
    // True while both tables are open, so changes can be kept.
    bool writable() const;
    // Saves each table that Load() opened; false when one failed (the database shows the box).
    bool Save();

    // --- groups ---
    // Group names in table order (made by Load(), kept up to date). These three load first.
    const std::vector<std::string> &GroupNames();
    bool GroupExists(std::string_view name);
    // The id of the group of that name; 0 when the name is empty or unknown.
    int32_t GroupId(std::string_view name);
    // The new group's id, or 0 when the name is empty or taken (or nothing can be changed).
    int32_t AddGroup(std::string_view name);
    // False (nothing changes) when the new name is empty or taken by another group, or the old
    // name is unknown.
    bool RenameGroup(std::string_view oldName, std::string_view newName);
    // Deletes the group and its phrases.
    void DeleteGroup(std::string_view name);
    // Deletes the group's phrases.
    void ClearGroup(std::string_view name);

    // --- phrases ---
    // New phrase in the group, recorded now, used 0 times; its id, or 0 when the group is empty or
    // unknown.
    int32_t AddPhrase(std::string_view group, std::string_view text);
    // Moves the phrase to the group and, by mode: 0 sets the text, records it now and resets the
    // uses; 1 counts one more use; any other resets the uses. False (nothing changes) for an
    // empty or unknown group or an unknown id.
    bool UpdatePhrase(int32_t id, std::string_view group, std::string_view text, int mode);
    void DeletePhrase(int32_t id);

    // --- cut and paste ---
    void Cut(std::vector<int32_t> ids);
    bool IsCut(int32_t id) const;
    bool hasCut() const { return !cut_.empty(); }
    const std::vector<int32_t> &cutIds() const { return cut_; }
    // Moves the cut phrases into the group (new ids, recorded now, used 0 times) and empties the
    // buffer; false and nothing changes for an empty or unknown group.
    bool Paste(std::string_view group);

    // --- files ---
    // Writes the phrase table to file and the group table to its ".sys" twin. False after the box
    // "Phrase_FileError" (a name whose twin is itself, a failed write, or tables that could not
    // be loaded).
    bool ExportToFile(const std::string &file);
    // Told how many of the imported groups and phrases are merged so far, of how many; answering
    // false cancels the import.
    using ImportProgress = std::function<bool(int64_t done, int64_t total)>;
    // Merges file and its twin: groups whose name is new are added, every phrase whose group is in
    // the twin is appended to the local group of that name. False after the box "Phrase_FileError"
    // when either file is missing, damaged or of another layout; nothing changes then. A cancel
    // through progress answers false without a box and takes out every group and phrase the
    // import had added: the library is as it was.
    bool ImportFromFile(const std::string &file, const ImportProgress &progress = {});

    // --- views ---
    PhraseTree BuildTree();
    // The group's phrases in id order, cut ones left out (empty for an empty or unknown name).
    std::vector<PhraseRow> FillList(std::string_view group);
    // The menu state that goes with a listing: paste enabled exactly while the cut buffer holds ids.
    NamedMenuState MenuState() const;

private:
    platform::Table &groups();
    platform::Table &phrases();
    // One above the highest id (may be past INT32_MAX: then no id is left).
    int64_t nextGroupId();
    int64_t nextPhraseId();
    void appendPhrase(int32_t id, int32_t groupId, std::string_view content,
                      std::string_view recordTime, int32_t useCount);
    // Deletes every phrase matching pred and drops the deleted ids from the cut buffer.
    template <class Pred> void removePhrases(Pred pred);
    void rebuildNames();
    void refuseNew(bool noIdLeft);
    // Group names to ids (the first row of a name) and the highest id, made again from the rows
    // when the group table changed behind the manager's back.
    struct GroupIndex {
        uint64_t changes = ~uint64_t(0);
        std::unordered_map<std::string, int32_t> idOf;
        int32_t top = 0;
    };
    const GroupIndex &groupIndex();
    void appendGroup(int32_t id, const std::string &name);
    void fileError(const std::string &detail);

    core::TdbMain &db_;
    Env &env_;
    bool loaded_ = false;
    // Field numbers in the tables as loaded (the declared order until then).
    int gId_ = 0, gName_ = 1;
    int pId_ = 0, pMid_ = 1, pContent_ = 2, pUse_ = 3, pTime_ = 4;
    std::vector<std::string> names_;
    std::vector<int32_t> cut_;
    GroupIndex groupIndex_;
};

} // namespace content
