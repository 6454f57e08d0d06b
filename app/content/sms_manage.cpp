#include "content/sms_manage.h"

#include "content/pictures.h"
#include "core/prompt.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace content {

namespace {

using platform::Table;

// Cuts s to the size of field `name` of t, as the table would store it.
void fitTo(const Table &t, std::string_view name, std::string &s)
{
    const int f = t.fieldIndex(name);
    if (f >= 0 && t.fields()[size_t(f)].type == platform::FieldType::Text)
        Table::cutToChars(s, t.fields()[size_t(f)].size);
}

// The picture of a row: its own box decides, whichever list shows it.
int pictureOf(int box, int states) { return messagePicture(box, states); }

// The duplicate key of a local message: its box and the three texts, each text length-prefixed
// so that no two different records share a key.
void dupKey(int32_t box, std::string_view tel, std::string_view body, std::string_view time, std::string &out)
{
    out.clear();
    out.append(reinterpret_cast<const char *>(&box), sizeof box);
    for (std::string_view s : {tel, body, time}) {
        const uint32_t n = uint32_t(s.size());
        out.append(reinterpret_cast<const char *>(&n), sizeof n);
        out.append(s);
    }
}

std::string dupKey(int32_t box, std::string_view tel, std::string_view body, std::string_view time)
{
    std::string out;
    dupKey(box, tel, body, time, out);
    return out;
}

ItemState shownIf(bool shown, std::optional<bool> enabled = std::nullopt) { return {shown, enabled}; }
ItemState enabledIf(bool enabled) { return {std::nullopt, enabled}; }

template <class... Ints> bool oneOf(int v, Ints... set) { return ((v == set) || ...); }

} // namespace

TSMSManage::TSMSManage(Env &env, platform::Table *sms) : env_(env), table_(sms) { Init(); }

void TSMSManage::Init()
{
    captions_.clear();
    ids_.clear();
    captions_.push_back(env_.text("SmsMng_AllMessage"));
    ids_.push_back(kAllMessages);
    for (int k = 0; k <= kBoxRecycle; ++k) {
        captions_.push_back(env_.text("SmsMng_Tree_" + std::to_string(k)));
        ids_.push_back(k);
    }
    const std::string phoneRoot = env_.text("SmsMng_Tree_" + std::to_string(kBoxPhone));
    captions_.push_back(phoneRoot);
    ids_.push_back(kBoxPhone);
    for (int k : {kBoxPhoneReceived, kBoxPhoneStored}) {
        captions_.push_back(env_.text("SmsMng_Tree_" + std::to_string(k)) + "(" + phoneRoot + ")");
        ids_.push_back(k);
    }
}

std::vector<BoxNode> TSMSManage::boxTree() const
{
    auto node = [this](int id) { return BoxNode{id, env_.text("SmsMng_Tree_" + std::to_string(id)), {}, false}; };
    BoxNode local = node(kBoxLocal);
    for (int k = 1; k <= kBoxRecycle; ++k)
        local.children.push_back(node(k));
    local.expanded = true;
    BoxNode phone = node(kBoxPhone);
    phone.children = {node(kBoxPhoneReceived), node(kBoxPhoneStored)};
    phone.expanded = true;
    return {local, phone};
}

int TSMSManage::GetBoxId(std::string_view caption) const
{
    for (size_t i = 0; i < captions_.size(); ++i)
        if (captions_[i] == caption)
            return ids_[i];
    return kSmsFailed;
}

bool TSMSManage::locateId(int32_t id)
{
    Table &t = *table_;
    if (t.filtered())
        t.clearFilter();
    // Ordered by id (as the database opens the table): a binary search; else a walk.
    const int f = t.fieldIndex("id");
    bool byId = false;
    for (const platform::IndexDef &ix : t.indexes())
        if (ix.name == t.activeIndex() && t.fieldIndex(ix.field) == f)
            byId = true;
    if (f < 0 || !byId)
        return t.locate("id", id);
    int lo = 0, hi = t.count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (t.rowAt(mid)->intAt(f) < id)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < t.count() && t.rowAt(lo)->intAt(f) == id && t.setRecNo(lo);
}

int32_t TSMSManage::nextId() const
{
    const int32_t top = std::max(0, table_->highestInt(table_->fieldIndex("id")));
    return top == std::numeric_limits<int32_t>::max() ? 0 : top + 1;
}

void TSMSManage::refused(const char *why)
{
    // A download stores its records one batch at a time: one box, not one a batch.
    if (refusal_ == why)
        return;
    refusal_ = why;
    env_.messageBox(why, core::kMbOk | core::kMbIconError);
}

Ssms TSMSManage::fitted(const Ssms &m) const
{
    Ssms out = m;
    if (!store())
        return out;
    fitTo(*table_, "Tel", out.Tel);
    fitTo(*table_, "time", out.time);
    fitTo(*table_, "body", out.body);
    fitTo(*table_, "V_time", out.V_time);
    fitTo(*table_, "Sca", out.Sca);
    return out;
}

void TSMSManage::writeRow(const Ssms &m, bool withTid)
{
    Table &t = *table_;
    t.setInt("boxid", m.boxid);
    if (withTid)
        t.setInt("Tid", m.Tid);
    t.setText("Tel", m.Tel);
    t.setText("body", m.body);
    t.setInt("states", m.states);
    t.setText("time", m.time);
    t.setText("Sca", m.Sca);
    t.setText("V_time", m.V_time);
}

int TSMSManage::GetMessage(Ssms &m)
{
    if (!store() || !locateId(m.id))
        return kSmsFailed;
    const Table &t = *table_;
    m.boxid = t.integer("boxid");
    m.Tid = t.integer("Tid");
    m.states = uint8_t(t.integer("states"));
    m.Tel = t.text("Tel");
    m.time = t.text("time");
    m.body = t.text("body");
    m.V_time = t.text("V_time");
    m.Sca = t.text("Sca");
    return 0;
}

int TSMSManage::AddMessages(ArraySms &list, int storage, bool toHandset)
{
    if (!store())
        return -1;
    if (phone_)
        if (const int r = phone_->begin(SmsPhoneSide::Operation::Add, list, toHandset); r < 0)
            return r;
    Table &t = *table_;
    int last = -1;
    bool queued = false;
    int32_t id = nextId();

    // Received records are matched against the rows in one filtered pass over the table, not
    // one pass per record: a download adds hundreds of records to a table that may hold many
    // thousands of rows. A few records are looked up one by one through the table's index of
    // the body instead, so adding one message does not walk the whole table. Only the Inbox
    // merges: every record the user sends or saves is its own. A received message whose copy
    // waits in a recycle box was deleted by the user and stays so.
    struct Known {
        int32_t id = 0;
        bool recycled = false;
    };
    constexpr size_t kLookedUpOneByOne = 16;
    std::vector<Ssms> records;
    records.reserve(list.size());
    std::unordered_map<std::string, Known> known; // duplicate key -> the row that holds it
    std::unordered_set<std::string> wanted;
    for (const Ssms &rec : list) {
        records.push_back(fitted(rec));
        if (rec.boxid == kBoxReceived)
            wanted.insert(dupKey(kBoxReceived, records.back().Tel, records.back().body, records.back().time));
    }
    const int fBox = t.fieldIndex("boxid"), fOld = t.fieldIndex("OldBoxid"), fTel = t.fieldIndex("Tel"),
              fBody = t.fieldIndex("body"), fTime = t.fieldIndex("time"), fId = t.fieldIndex("id");
    auto inboxCopy = [&](const platform::RowView &r) {
        const int32_t box = r.intAt(fBox);
        return box == kBoxReceived || (isRecycleBox(box) && fOld >= 0 && r.intAt(fOld) == kBoxReceived);
    };
    // Rows in id order: the first row of a key wins, the Inbox's before a recycled copy.
    auto note = [&](const platform::RowView &r, const std::string &key) {
        const Known k{r.intAt(fId), r.intAt(fBox) != kBoxReceived};
        auto [it, fresh] = known.emplace(key, k);
        if (!fresh && it->second.recycled && !k.recycled)
            it->second = k;
    };
    if (!wanted.empty() && wanted.size() <= kLookedUpOneByOne) {
        for (const Ssms &m : records) {
            if (m.boxid != kBoxReceived)
                continue;
            const std::string key = dupKey(kBoxReceived, m.Tel, m.body, m.time);
            if (known.count(key))
                continue;
            t.setFilter(platform::eq("body", m.body) && platform::eq("Tel", m.Tel) &&
                        platform::eq("time", m.time));
            for (int i = 0; i < t.count(); ++i) {
                const platform::RowView r = *t.rowAt(i);
                if (inboxCopy(r))
                    note(r, key);
            }
        }
    } else if (!wanted.empty()) {
        std::string key;
        t.setFilter(platform::Filter::where([&](const platform::RowView &r) {
            if (!inboxCopy(r))
                return false;
            dupKey(kBoxReceived, r.textAt(fTel), r.textAt(fBody), r.textAt(fTime), key);
            return wanted.count(key) > 0;
        }));
        for (int i = 0; i < t.count(); ++i) {
            const platform::RowView r = *t.rowAt(i);
            dupKey(kBoxReceived, r.textAt(fTel), r.textAt(fBody), r.textAt(fTime), key);
            note(r, key);
        }
    }
    if (t.filtered())
        t.clearFilter();

    for (size_t i = 0; i < list.size(); ++i) {
        Ssms &rec = list[i];
        const Ssms &m = records[i];
        bool duplicate = false;
        std::string key;
        uint8_t states = m.states;
        if (m.boxid == kBoxReceived) {
            key = dupKey(kBoxReceived, m.Tel, m.body, m.time);
            auto it = known.find(key);
            if (it != known.end() && locateId(it->second.id)) {
                rec.id = it->second.id;
                if (it->second.recycled)
                    continue; // deleted by the user: not brought back
                states = uint8_t(t.integer("states")); // the user's read mark stays
                t.edit();
                duplicate = true;
            }
        } else if (isPhoneBox(m.boxid) && m.states == kStateFromHandset) {
            // Phone-side rows are rebuilt by every download: the user's mark comes back.
            if (auto it = phoneMarks_.find(dupKey(m.boxid, m.Tel, m.body, m.time)); it != phoneMarks_.end())
                states = it->second;
        }
        if (!duplicate) {
            if (id <= 0 || t.full()) {
                refused(id <= 0 ? kSmsNoIdLeft : kSmsStoreFull);
                break;
            }
            if (phone_ && (m.boxid == kBoxPhoneReceived || m.boxid == kBoxPhoneStored) &&
                phone_->reserveForAdd(m, id, storage, toHandset) == SmsPhoneSide::Step::Stop)
                break;
            t.append();
            t.setInt("id", id);
            refusal_ = nullptr;
            rec.id = id;
            last = id;
            if (!key.empty())
                known.emplace(key, Known{id, false}); // a second copy in the same list is a duplicate too
            id = id == std::numeric_limits<int32_t>::max() ? 0 : id + 1;
        }
        Ssms stored = m;
        stored.id = rec.id;
        stored.states = states;
        writeRow(stored, true);
        t.post();
        if (phone_ && toHandset && (m.boxid == kBoxPhoneReceived || m.boxid == kBoxPhoneStored)) {
            phone_->added(stored);
            queued = true;
        }
    }
    if (queued && !phone_->endAdd())
        return kSmsFailed;
    return last;
}

int TSMSManage::SaveMessages(ArraySms &list)
{
    if (!store())
        return 0;
    if (phone_)
        if (const int r = phone_->begin(SmsPhoneSide::Operation::Save, list, false); r < 0)
            return r;
    Table &t = *table_;
    std::vector<size_t> aside;
    bool touchedPhone = false;
    for (size_t i = 0; i < list.size(); ++i) {
        Ssms &rec = list[i];
        const bool phoneSide = phone_ && (rec.boxid == kBoxPhoneReceived || rec.boxid == kBoxPhoneStored);
        if (phoneSide) {
            touchedPhone = true;
            const auto step = phone_->beforeSave(rec);
            if (step == SmsPhoneSide::Step::Stop)
                return kSmsFailed;
            if (step == SmsPhoneSide::Step::Skip)
                continue;
        }
        if (!locateId(rec.id)) {
            aside.push_back(i);
            continue;
        }
        const Ssms m = fitted(rec);
        const bool changed = t.text("Tel") != m.Tel || t.text("body") != m.body || t.text("time") != m.time;
        if (phoneSide) {
            const auto step = phone_->saved(rec, changed);
            if (step == SmsPhoneSide::Step::Stop)
                return kSmsFailed;
            if (step == SmsPhoneSide::Step::Skip)
                continue;
        }
        t.edit();
        writeRow(m, false); // the row keeps its handset position
        t.post();
    }
    const bool handsetDone = !touchedPhone || phone_->endSave();
    if (aside.empty())
        return handsetDone ? 0 : kSmsFailed;
    if (!handsetDone) {
        // The handset side ended the save: the records that have no row yet are kept as drafts.
        ArraySms kept;
        for (size_t i : aside) {
            kept.push_back(list[i]);
            kept.back().id = -1;
            kept.back().Tid = 0;
            kept.back().boxid = kBoxDrafts;
        }
        AddMessages(kept, -1, false);
        for (size_t k = 0; k < aside.size(); ++k) {
            list[aside[k]].id = kept[k].id;
            list[aside[k]].boxid = kBoxDrafts;
        }
        return kSmsFailed;
    }
    ArraySms add;
    for (size_t i : aside) {
        add.push_back(list[i]);
        add.back().id = -1; // no row has it: whatever id it carried is not its own
    }
    // Set-aside phone-side records (later parts of an edited box-9 message) go to the handset
    // like any new one; local ones are simply added.
    const int r = AddMessages(add, -100, true);
    bool allStored = r != kSmsFailed;
    ArraySms kept;
    std::vector<size_t> keptAt; // index into list
    for (size_t k = 0; k < aside.size(); ++k) {
        Ssms probe;
        probe.id = add[k].id;
        if (add[k].id > 0 && GetMessage(probe) == 0) {
            list[aside[k]].id = add[k].id;
            continue;
        }
        // No slot for it on the handset (or no id left): the text is kept as a draft, never
        // dropped, and the save is not reported as done.
        allStored = false;
        Ssms draft = add[k];
        draft.id = -1;
        draft.Tid = 0;
        draft.boxid = kBoxDrafts;
        kept.push_back(draft);
        keptAt.push_back(aside[k]);
    }
    if (!kept.empty()) {
        AddMessages(kept, -1, false);
        for (size_t k = 0; k < kept.size(); ++k) {
            list[keptAt[k]].id = kept[k].id;
            list[keptAt[k]].boxid = kBoxDrafts;
        }
    }
    return allStored ? 0 : kSmsFailed;
}

int TSMSManage::DeleteMessages(ArraySms &list)
{
    if (!store())
        return 0;
    if (phone_)
        if (const int r = phone_->begin(SmsPhoneSide::Operation::Delete, list, false); r < 0)
            return r;
    Table &t = *table_;
    bool touchedPhone = false;
    bool stopped = false;
    // Rows of the recycle boxes go in one pass at the end: clearing a box of thousands one
    // remove() at a time costs a pass over the whole table per row.
    std::unordered_set<int32_t> doomed;
    for (Ssms &rec : list) {
        if (!locateId(rec.id) || doomed.count(rec.id))
            continue; // a stale entry: no row of that id (any more), nothing to change
        if (isRecycleBox(rec.boxid) || (rec.boxid >= kBoxPhone && !phone_)) {
            rec.Tid = t.integer("Tid");
            doomed.insert(rec.id);
            continue;
        }
        if (rec.boxid >= kBoxPhone) {
            // The handset side is asked before its row goes; it may keep the row.
            rec.Tid = t.integer("Tid");
            touchedPhone = true;
            const auto step = phone_->deleted(rec);
            if (step == SmsPhoneSide::Step::Stop) {
                stopped = true;
                break; // the jobs queued so far still run (endDelete)
            }
            if (step == SmsPhoneSide::Step::Skip)
                continue;
            if (!locateId(rec.id))
                continue;
            t.remove();
            continue;
        }
        const int own = t.integer("boxid");
        if (isRecycleBox(own))
            continue; // already deleted: OldBoxid still names where it came from
        t.edit();
        t.setInt("OldBoxid", own);
        t.setInt("boxid", kBoxRecycle);
        t.post();
    }
    if (!doomed.empty()) {
        const int f = t.fieldIndex("id");
        t.removeWhere(platform::Filter::where(
            [&](const platform::RowView &r) { return doomed.count(r.intAt(f)) > 0; }));
    }
    if (touchedPhone && !phone_->endDelete())
        return kSmsFailed;
    return stopped ? kSmsFailed : 0;
}

bool TSMSManage::SetPlace(int32_t id, int32_t box, int32_t tid)
{
    if (!store() || !locateId(id))
        return false;
    Table &t = *table_;
    t.edit();
    t.setInt("boxid", box);
    t.setInt("Tid", tid);
    t.post();
    return true;
}

int TSMSManage::RemovePhoneRows()
{
    if (!store())
        return 0;
    Table &t = *table_;
    const int fBox = t.fieldIndex("boxid");
    // The rows come back with the next download; the marks the user gave them are remembered.
    if (phoneMarks_.size() > kMaxPhoneMarks)
        phoneMarks_.clear();
    const int fStates = t.fieldIndex("states"), fTel = t.fieldIndex("Tel"), fBody = t.fieldIndex("body"),
              fTime = t.fieldIndex("time");
    t.clearFilter();
    // One pass over the table that both notes the marks and deletes (a remove() per row costs a
    // pass each); removeWhere asks once per row, in storage order.
    std::string key;
    const int n = t.removeWhere(platform::Filter::where([&](const platform::RowView &r) {
        if (r.intAt(fBox) <= kBoxPhone)
            return false;
        dupKey(r.intAt(fBox), r.textAt(fTel), r.textAt(fBody), r.textAt(fTime), key);
        if (r.intAt(fStates) == kStateFromHandset)
            phoneMarks_.erase(key);
        else
            phoneMarks_[key] = uint8_t(r.intAt(fStates));
        return true;
    }));
    t.clearFilter();
    return n;
}

int TSMSManage::UndeleteMessages(int32_t id)
{
    if (!store() || !locateId(id))
        return kSmsFailed;
    Table &t = *table_;
    if (!isRecycleBox(t.integer("boxid")))
        return kSmsFailed;
    t.edit();
    t.setInt("boxid", t.integer("OldBoxid"));
    t.post();
    return 0;
}

std::string TSMSManage::columnKey(int box, int column)
{
    return "SmsMng_" + std::to_string(box) + "_DataListColumn" + std::to_string(column);
}

std::vector<std::string> TSMSManage::listColumns(int box) const
{
    std::vector<std::string> out;
    for (int i = 0; i < int(std::size(kSmsColumnWidths)); ++i)
        out.push_back(env_.text(columnKey(box, i)));
    return out;
}

void TSMSManage::filterBox(Table &t, int box)
{
    if (box == kBoxLocal)
        t.setFilter(platform::lt("boxid", kBoxRecycle));
    else if (box == kBoxPhone)
        t.setFilter(platform::gt("boxid", kBoxPhone));
    else
        t.setFilter(platform::eq("boxid", box));
}

SmsIdList TSMSManage::ListIds(int box)
{
    listedBox_ = box;
    SmsIdList out;
    out.box = box;
    out.columns = listColumns(box);
    if (!store())
        return out;
    Table &t = *table_;
    filterBox(t, box);
    const int fId = t.fieldIndex("id");
    const int n = t.count();
    out.ids.resize(size_t(n));
    for (int i = 0; i < n; ++i)
        out.ids[size_t(i)] = t.rowAt(i)->intAt(fId);
    t.clearFilter();
    return out;
}

bool TSMSManage::RowTexts(int32_t id, SmsRowTexts &out) const
{
    const Table *t = store();
    if (!t)
        return false;
    ListFields &f = listFields_;
    if (f.table != t || f.changes != t->changes())
        f = {t,
             t->changes(),
             t->fieldIndex("id"),
             t->fieldIndex("Tel"),
             t->fieldIndex("body"),
             t->fieldIndex("time"),
             t->fieldIndex("boxid"),
             t->fieldIndex("states")};
    const std::optional<platform::RowView> r = t->findInt(f.id, id);
    if (!r)
        return false;
    out.Tel = r->textAt(f.tel);
    out.body = r->textAt(f.body);
    out.time = r->textAt(f.time);
    out.image = pictureOf(r->intAt(f.box), r->intAt(f.states));
    return true;
}

SmsList TSMSManage::FillList(int box)
{
    SmsIdList listing = ListIds(box);
    SmsList out;
    out.box = box;
    out.columns = std::move(listing.columns);
    out.rows.reserve(listing.ids.size());
    for (int32_t id : listing.ids) {
        SmsRowTexts t;
        if (!RowTexts(id, t))
            continue;
        out.rows.push_back(SmsListRow{.image = t.image,
                                      .stateImage = t.image,
                                      .id = id,
                                      .Tel = std::string(t.Tel),
                                      .body = std::string(t.body),
                                      .time = std::string(t.time),
                                      .idText = std::to_string(id)});
    }
    return out;
}

ArraySms TSMSManage::Messages(int box) const
{
    ArraySms out;
    if (!store())
        return out;
    const Table &t = *table_;
    const int fId = t.fieldIndex("id"), fBox = t.fieldIndex("boxid"), fTid = t.fieldIndex("Tid"),
              fStates = t.fieldIndex("states"), fTel = t.fieldIndex("Tel"), fTime = t.fieldIndex("time"),
              fBody = t.fieldIndex("body"), fVTime = t.fieldIndex("V_time"), fSca = t.fieldIndex("Sca");
    for (const platform::Row &row : t.rows()) {
        const platform::RowView r(t, row);
        const int32_t b = r.intAt(fBox);
        const bool wanted = box == kAllMessages ? true
                            : box == kBoxLocal  ? b < kBoxRecycle
                            : box == kBoxPhone  ? b > kBoxPhone
                                                : b == box;
        if (!wanted)
            continue;
        out.push_back(Ssms{.id = r.intAt(fId),
                           .boxid = b,
                           .Tid = r.intAt(fTid),
                           .states = uint8_t(r.intAt(fStates)),
                           .Tel = std::string(r.textAt(fTel)),
                           .time = std::string(r.textAt(fTime)),
                           .body = std::string(r.textAt(fBody)),
                           .V_time = std::string(r.textAt(fVTime)),
                           .Sca = std::string(r.textAt(fSca))});
    }
    std::stable_sort(out.begin(), out.end(), [](const Ssms &a, const Ssms &b) { return a.id < b.id; });
    return out;
}

SmsMenuState TSMSManage::UpdateMenus(int box, int items)
{
    if (box != -1)
        menuBox_ = box;
    box = menuBox_;
    SmsMenuState s;
    s.box = box;
    s.connected = env_.state().Connected;
    s.items = items;
    const bool conn = s.connected, any = items > 0;
    NamedMenuState &n = s.named;

    n["pSmsNew"] = shownIf(oneOf(box, 2, 4, 9), true);
    n["pSmsEdit"] = shownIf(oneOf(box, 2, 4, 9), true);
    n["pSmsDel"] = shownIf(true, any);
    n["pSmsSa"] = shownIf(true, any);
    n["N12"] = shownIf(true);
    n["pSmsSendto"] = shownIf(false);
    n["pSmsResend"] = shownIf(box == 9, conn);
    n["pSmsSend"] = shownIf(oneOf(box, 2, 4), conn);
    n["pSmsSendBack"] = shownIf(oneOf(box, 7, 8), conn);
    n["N13"] = shownIf(oneOf(box, 0, 1, 2, 3, 4, 7, 8, 9));
    n["pSmsWrite"] = shownIf(false);
    n["N1"] = shownIf(false);
    n["pSmsUndel"] = shownIf(box == 5, any);
    n["pSmsProperty"] = shownIf(box != 5, true);

    n["menu_load_sms"] = enabledIf(conn && oneOf(box, 0, 1, 7, 8, 9));
    n["menu_sendall"] = shownIf(false);
    n["menu_add_sms"] = enabledIf(oneOf(box, 2, 4) || (box == 9 && conn));
    n["menu_clear_sms"] = enabledIf(box <= 6 ? any : conn && any);
    n["menu_allundel_sms"] = enabledIf(isRecycleBox(box) && any);
    return s;
}

ItemState SmsMenuState::smsMenuItem(int index) const
{
    if (index == 3 || index == 4)
        return {};
    return enabledIf(connected);
}

ItemState SmsMenuState::editItem(int index) const
{
    if (index >= 0 && index < 3)
        return enabledIf(false);
    if (index == kEditDeleteIndex)
        return enabledIf(stateOf(named, kEditDeleteSource).enabled.value_or(true));
    if (index == kEditClearIndex)
        return enabledIf(stateOf(named, kEditClearSource).enabled.value_or(true));
    return {};
}

ItemState SmsMenuState::toolButton(int tag) const
{
    if (tag == 1)
        return enabledIf(connected);
    if (tag == 0)
        return enabledIf(!connected);
    return {};
}

} // namespace content
