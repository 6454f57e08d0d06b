#include "content/phrase_mng.h"

#include "core/db_main.h"
#include "core/prompt.h"
#include "core/db_schema.h"
#include "platform/paths.h"
#include "platform/table.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

namespace content {

using core::DbTable;
using platform::Table;

namespace {

constexpr const char *kPhraseTablesClosed =
    "The phrase tables could not be loaded; they are not changed in this session.";

std::string cutName(std::string_view name)
{
    std::string s(name);
    Table::cutToChars(s, kPhraseGroupNameChars);
    return s;
}

} // namespace

std::string phraseTwinName(std::string_view file, std::string_view ext)
{
    const size_t slash = file.find_last_of('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t dot = file.find_last_of('.');
    std::string out;
    if (dot != std::string_view::npos && dot >= nameStart)
        out.assign(file.substr(0, dot));
    else
        out.assign(file);
    out += ext;
    return out;
}

TPhraseMng::TPhraseMng(core::TdbMain &db, Env &env) : db_(db), env_(env) {}

Table &TPhraseMng::groups() { return db_.table(DbTable::PhraseGroup); }
Table &TPhraseMng::phrases() { return db_.table(DbTable::Phrase); }

void TPhraseMng::Load()
{
    if (loaded_)
        return;
    loaded_ = true;
    // A damaged file is set aside by the database and its table starts empty; one it cannot read
    // at all leaves the table closed, and the library is then not changed in this session.
    db_.open(DbTable::PhraseGroup);
    db_.open(DbTable::Phrase);
    // A loaded file brings its own field order; every declared field is in it.
    gId_ = groups().fieldIndex("id");
    gName_ = groups().fieldIndex("pM");
    pId_ = phrases().fieldIndex("id");
    pMid_ = phrases().fieldIndex("Mid");
    pContent_ = phrases().fieldIndex("Content");
    pUse_ = phrases().fieldIndex("UseCount");
    pTime_ = phrases().fieldIndex("RecordTime");
    groups().clearFilter();
    groups().first();
    phrases().clearFilter();
    phrases().first();
    rebuildNames();
}

bool TPhraseMng::writable() const
{
    return loaded_ && db_.isOpen(DbTable::PhraseGroup) && db_.isOpen(DbTable::Phrase);
}

bool TPhraseMng::Save()
{
    bool ok = true;
    if (!loaded_)
        return ok;
    for (DbTable t : {DbTable::PhraseGroup, DbTable::Phrase})
        if (db_.isOpen(t) && !db_.save(t))
            ok = false;
    return ok;
}

void TPhraseMng::rebuildNames()
{
    names_.clear();
    const Table &g = groups();
    names_.reserve(g.rows().size());
    for (const platform::Row &r : g.rows())
        names_.emplace_back(r.textAt(gName_));
}

const std::vector<std::string> &TPhraseMng::GroupNames()
{
    Load();
    return names_;
}

const TPhraseMng::GroupIndex &TPhraseMng::groupIndex()
{
    Table &g = groups();
    if (groupIndex_.changes == g.changes())
        return groupIndex_;
    groupIndex_ = GroupIndex{};
    groupIndex_.idOf.reserve(g.rows().size());
    for (const platform::Row &r : g.rows()) {
        groupIndex_.idOf.emplace(r.textAt(gName_), r.intAt(gId_)); // the first row of a name wins
        groupIndex_.top = std::max(groupIndex_.top, r.intAt(gId_));
    }
    groupIndex_.changes = g.changes();
    return groupIndex_;
}

bool TPhraseMng::GroupExists(std::string_view name)
{
    Load();
    return groupIndex().idOf.count(cutName(name)) != 0;
}

int32_t TPhraseMng::GroupId(std::string_view name)
{
    Load();
    if (name.empty())
        return 0;
    const GroupIndex &gi = groupIndex();
    auto it = gi.idOf.find(cutName(name));
    return it == gi.idOf.end() ? 0 : it->second;
}

int64_t TPhraseMng::nextGroupId() { return int64_t(groupIndex().top) + 1; }

int64_t TPhraseMng::nextPhraseId()
{
    const Table &p = phrases();
    return p.totalRows() == 0 ? 1 : int64_t(std::max(0, p.highestInt(pId_))) + 1;
}

void TPhraseMng::appendGroup(int32_t id, const std::string &name)
{
    Table &g = groups();
    const bool indexed = groupIndex_.changes == g.changes();
    g.append();
    g.setIntAt(gId_, id);
    g.setTextAt(gName_, name);
    g.post();
    names_.push_back(name);
    if (indexed) { // kept up to date rather than made again from every row
        groupIndex_.idOf.emplace(name, id);
        groupIndex_.top = std::max(groupIndex_.top, id);
        groupIndex_.changes = g.changes();
    }
}

int32_t TPhraseMng::AddGroup(std::string_view name)
{
    Load();
    const std::string n = cutName(name);
    if (!writable() || n.empty() || GroupExists(n))
        return 0;
    const int64_t id = nextGroupId();
    if (id > INT32_MAX || groups().full()) {
        refuseNew(id > INT32_MAX);
        return 0;
    }
    appendGroup(int32_t(id), n);
    return int32_t(id);
}

bool TPhraseMng::RenameGroup(std::string_view oldName, std::string_view newName)
{
    Load();
    const std::string from = cutName(oldName);
    const std::string to = cutName(newName);
    if (!writable() || from.empty() || to.empty())
        return false;
    if (from == to)
        return GroupExists(from);
    // Two groups of one name could no longer be told apart: the second would be unreachable.
    if (GroupExists(to))
        return false;
    Table &g = groups();
    g.clearFilter();
    if (!g.locate("pM", std::string_view(from)) || !g.edit())
        return false;
    g.setTextAt(gName_, to);
    g.post();
    auto it = std::find(names_.begin(), names_.end(), from);
    if (it != names_.end())
        *it = to;
    return true;
}

template <class Pred> void TPhraseMng::removePhrases(Pred pred)
{
    Table &p = phrases();
    p.clearFilter();
    std::unordered_set<int32_t> gone;
    p.removeWhere(platform::Filter::where([&](const platform::RowView &r) {
        if (!pred(r.intAt(pMid_), r.intAt(pId_)))
            return false;
        gone.insert(r.intAt(pId_));
        return true;
    }));
    if (!gone.empty())
        std::erase_if(cut_, [&](int32_t id) { return gone.count(id) != 0; });
}

void TPhraseMng::DeleteGroup(std::string_view name)
{
    Load();
    const std::string n = cutName(name);
    const int32_t gid = GroupId(n);
    if (!writable() || gid == 0)
        return;
    Table &g = groups();
    g.clearFilter();
    if (g.locate("pM", std::string_view(n)))
        g.remove();
    auto it = std::find(names_.begin(), names_.end(), n);
    if (it != names_.end())
        names_.erase(it);
    // Another group of the same id (a hand-made file) still owns its phrases.
    if (g.locate("id", gid))
        return;
    removePhrases([gid](int32_t mid, int32_t) { return mid == gid; });
}

void TPhraseMng::ClearGroup(std::string_view name)
{
    Load();
    const int32_t gid = GroupId(name);
    if (!writable() || gid == 0)
        return;
    removePhrases([gid](int32_t mid, int32_t) { return mid == gid; });
}

void TPhraseMng::appendPhrase(int32_t id, int32_t groupId, std::string_view content,
                              std::string_view recordTime, int32_t useCount)
{
    Table &p = phrases();
    p.append();
    p.setIntAt(pId_, id);
    p.setIntAt(pMid_, groupId);
    p.setTextAt(pContent_, content);
    p.setIntAt(pUse_, useCount);
    p.setTextAt(pTime_, recordTime);
    p.post();
}

int32_t TPhraseMng::AddPhrase(std::string_view group, std::string_view text)
{
    Load();
    const int32_t gid = GroupId(group);
    if (!writable() || gid == 0)
        return 0;
    const int64_t id = nextPhraseId();
    if (id > INT32_MAX || phrases().full()) {
        refuseNew(id > INT32_MAX);
        return 0;
    }
    phrases().clearFilter();
    appendPhrase(int32_t(id), gid, text, env_.localTime(), 0);
    return int32_t(id);
}

bool TPhraseMng::UpdatePhrase(int32_t id, std::string_view group, std::string_view text, int mode)
{
    Load();
    const int32_t gid = GroupId(group);
    if (!writable() || gid == 0)
        return false;
    Table &p = phrases();
    p.clearFilter();
    if (!p.locate("id", id) || !p.edit())
        return false;
    p.setIntAt(pMid_, gid);
    if (mode == 0) {
        p.setTextAt(pContent_, text);
        p.setTextAt(pTime_, env_.localTime());
        p.setIntAt(pUse_, 0);
    } else if (mode == 1) {
        const int32_t uses = p.intAt(pUse_);
        p.setIntAt(pUse_, uses < INT32_MAX ? uses + 1 : uses);
    } else {
        p.setIntAt(pUse_, 0);
    }
    p.post();
    return true;
}

void TPhraseMng::DeletePhrase(int32_t id)
{
    Load();
    if (!writable())
        return;
    removePhrases([id](int32_t, int32_t pid) { return pid == id; });
}

void TPhraseMng::Cut(std::vector<int32_t> ids) { cut_ = std::move(ids); }

bool TPhraseMng::IsCut(int32_t id) const { return std::find(cut_.begin(), cut_.end(), id) != cut_.end(); }

bool TPhraseMng::Paste(std::string_view group)
{
    Load();
    const int32_t gid = GroupId(group);
    if (!writable() || gid == 0 || cut_.empty())
        return false;
    Table &p = phrases();
    p.clearFilter();
    const std::string now = env_.localTime();
    int64_t next = nextPhraseId();
    if (next + int64_t(cut_.size()) - 1 > INT32_MAX ||
        uint64_t(p.totalRows()) + cut_.size() > p.maxRows()) {
        refuseNew(next + int64_t(cut_.size()) - 1 > INT32_MAX);
        return false;
    }
    // The texts of the cut phrases that still exist, found in one walk (the first row of an id).
    std::unordered_map<int32_t, std::string> texts;
    for (int32_t id : cut_)
        texts.emplace(id, std::string());
    std::unordered_set<int32_t> drop;
    for (const platform::Row &r : p.rows()) {
        auto it = texts.find(r.intAt(size_t(pId_)));
        if (it != texts.end() && drop.insert(it->first).second)
            it->second = r.textAt(size_t(pContent_));
    }
    // Add every copy, in the order they were cut, before any original goes, so nothing is lost
    // half-way.
    std::unordered_set<int32_t> added;
    for (int32_t id : cut_)
        if (drop.count(id) && added.insert(id).second)
            appendPhrase(int32_t(next++), gid, texts[id], now, 0);
    cut_.clear();
    removePhrases([&](int32_t, int32_t pid) { return drop.count(pid) != 0; });
    return true;
}

bool TPhraseMng::ExportToFile(const std::string &file)
{
    Load();
    if (!writable()) {
        // Half the library would be written as if it were all of it.
        fileError(kPhraseTablesClosed);
        return false;
    }
    const std::string twin = phraseTwinName(file);
    // The twin of a ".sys" name would be the file itself (groups written over phrases).
    if (file.empty() || platform::equalsNoCase(twin, file)) {
        fileError("");
        return false;
    }
    platform::TableResult r = phrases().save(file);
    if (r)
        r = groups().save(twin);
    if (!r) {
        fileError(r.message);
        return false;
    }
    return true;
}

bool TPhraseMng::ImportFromFile(const std::string &file, const ImportProgress &progress)
{
    Load();
    if (!writable()) {
        fileError(kPhraseTablesClosed);
        return false;
    }
    const std::string twin = platform::resolveCase(phraseTwinName(file, ".Sys"));
    Table inGroups = core::makeDbTable(DbTable::PhraseGroup);
    Table inPhrases = core::makeDbTable(DbTable::Phrase);
    platform::TableResult r = inGroups.load(twin);
    if (r)
        r = inPhrases.load(platform::resolveCase(file));
    if (!r) {
        fileError(r.message);
        return false;
    }
    inGroups.clearFilter();
    inPhrases.clearFilter();
    const int gId = inGroups.fieldIndex("id"), gName = inGroups.fieldIndex("pM");
    const int pMid = inPhrases.fieldIndex("Mid"), pContent = inPhrases.fieldIndex("Content"),
              pUse = inPhrases.fieldIndex("UseCount"), pTime = inPhrases.fieldIndex("RecordTime");

    if (nextGroupId() + inGroups.totalRows() - 1 > INT32_MAX ||
        nextPhraseId() + inPhrases.totalRows() - 1 > INT32_MAX) {
        fileError("No ids are left for the imported rows.");
        return false;
    }

    // Told now and then; a cancel takes out again every row this import added (their ids are
    // all above the highest there was), so the library is as it was before.
    const int64_t total = int64_t(inGroups.totalRows()) + inPhrases.totalRows();
    const int64_t firstGroup = nextGroupId(), firstPhrase = nextPhraseId();
    int64_t done = 0;
    constexpr int64_t kProgressEvery = 1024;
    auto goOn = [&] {
        if (!progress || ++done % kProgressEvery != 0 || progress(done, total))
            return true;
        groups().removeWhere(platform::gt("id", int32_t(firstGroup - 1)));
        phrases().removeWhere(platform::gt("id", int32_t(firstPhrase - 1)));
        groups().clearFilter();
        phrases().clearFilter();
        rebuildNames();
        return false;
    };
    if (progress && !progress(0, total))
        return false;

    // Groups: new names are added; each imported id maps to the local group of its name (the
    // first row of an id wins, as a lookup by id would find it).
    std::unordered_map<int32_t, int32_t> localOf;
    for (inGroups.first(); !inGroups.eof() && inGroups.count() > 0; inGroups.next()) {
        if (!goOn())
            return false;
        const std::string name = cutName(inGroups.textAt(gName));
        const int32_t theirs = inGroups.intAt(gId);
        if (name.empty() || localOf.count(theirs))
            continue;
        if (!GroupExists(name))
            AddGroup(name);
        if (const int32_t mine = GroupId(name); mine > 0)
            localOf.emplace(theirs, mine);
    }

    Table &p = phrases();
    p.clearFilter();
    int64_t next = nextPhraseId();
    for (inPhrases.first(); !inPhrases.eof() && inPhrases.count() > 0; inPhrases.next()) {
        if (!goOn())
            return false;
        auto it = localOf.find(inPhrases.intAt(pMid));
        if (it == localOf.end())
            continue; // its group is not in the twin
        appendPhrase(int32_t(next++), it->second, inPhrases.textAt(pContent), inPhrases.textAt(pTime),
                     inPhrases.intAt(pUse));
    }
    if (progress)
        progress(total, total);
    return true;
}

void TPhraseMng::refuseNew(bool noIdLeft)
{
    env_.messageBox(noIdLeft ? kPhraseNoIdLeft : kPhraseStoreFull, core::kMbOk | core::kMbIconError);
}

void TPhraseMng::fileError(const std::string &detail)
{
    if (!detail.empty())
        std::fprintf(stderr, "%s\n", detail.c_str());
    std::string text = env_.text("Phrase_FileError");
    if (!detail.empty())
        text += "\n" + detail;
    env_.messageBox(text, 0);
}

PhraseTree TPhraseMng::BuildTree()
{
    Load();
    groups().clearFilter();
    return {env_.text("Phrase_Cpation"), names_};
}

std::vector<PhraseRow> TPhraseMng::FillList(std::string_view group)
{
    Load();
    std::vector<PhraseRow> out;
    const int32_t gid = GroupId(group);
    if (gid == 0)
        return out;
    Table &p = phrases();
    p.setFilter(platform::eq("Mid", gid));
    const int n = p.count();
    out.reserve(size_t(n));
    const std::unordered_set<int32_t> hidden(cut_.begin(), cut_.end());
    const bool anyCut = !hidden.empty();
    for (int i = 0; i < n; ++i) {
        const std::optional<platform::RowView> row = p.rowAt(i);
        const int32_t id = row->intAt(pId_);
        if (anyCut && hidden.count(id))
            continue;
        out.push_back({id, std::string(row->textAt(pContent_)), std::string(row->textAt(pTime_)),
                       row->intAt(pUse_)});
    }
    p.clearFilter();
    return out;
}

NamedMenuState TPhraseMng::MenuState() const
{
    NamedMenuState state;
    state[kPhrasePasteItem].enabled = hasCut();
    return state;
}

} // namespace content
