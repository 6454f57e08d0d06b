#include "core/db_main.h"

#include "core/catalogue_scan.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "platform/paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace core {

namespace {

// Opened at creation, in this order.
constexpr DbTable kOwnTables[] = {DbTable::BaseInfo, DbTable::PlugInfo, DbTable::ModelRef,
                                  DbTable::ConnInfo, DbTable::Smsinfo,  DbTable::SSinfo};
// Saved in this order: the six, then the phrase tables once their manager opened them.
constexpr DbTable kSavedTables[] = {DbTable::BaseInfo, DbTable::PlugInfo,    DbTable::ModelRef,
                                    DbTable::ConnInfo, DbTable::Smsinfo,     DbTable::SSinfo,
                                    DbTable::PhraseGroup, DbTable::Phrase};

// Tables the catalogue scan rebuilds from the Plug-in folder.
bool rebuiltByScan(DbTable t)
{
    return t == DbTable::BaseInfo || t == DbTable::PlugInfo || t == DbTable::ModelRef ||
           t == DbTable::ConnInfo;
}

} // namespace

// A table read on a thread of its own: the thread owns table and result until it has ended.
struct TdbMain::Pending {
    std::string file;
    platform::Table table;
    platform::TableResult result;
    std::atomic<bool> done{false};
    std::thread thread;
};

TdbMain::TdbMain(std::string databaseDir, Prompt *prompt, const TLangMng *lang,
                 const platform::FileOps &ops, DbOpenOptions options)
    : dir_(std::move(databaseDir)), prompt_(prompt), lang_(lang), ops_(ops),
      saver_(std::make_unique<platform::TableSaver>())
{
    written_.fill(kNotWritten);
    tried_.fill(kNotWritten);
    for (int i = 0; i < kDbTableCount; ++i)
        tables_[size_t(i)] = makeDbTable(DbTable(i));
    for (DbTable t : kOwnTables) {
        if (t == DbTable::Smsinfo && options.messagesInBackground)
            beginLoad(t, options);
        else
            open(t);
    }
    // The scan keeps the rows of drivers and plug-ins it already knows and never writes their
    // dependants again: with one table lost, the rows of the others would stay without theirs. So
    // the four start empty together and the scan makes them all anew.
    if (rebuildCatalogue_)
        for (DbTable t : kOwnTables)
            if (rebuiltByScan(t))
                tables_[size_t(t)] = makeDbTable(t);
    catalogue_ = Catalogue::fromTables(catalogueTables());
}

TdbMain::~TdbMain()
{
    // A read never finished leaves its table closed: the file is left as it is.
    for (std::unique_ptr<Pending> &p : pending_)
        if (p && p->thread.joinable())
            p->thread.join();
    saveDirty(false);
}

void TdbMain::beginLoad(DbTable t, DbOpenOptions &options)
{
    auto p = std::make_unique<Pending>();
    p->file = path(t);
    p->table = makeDbTable(t);
    Pending *raw = p.get();
    try {
        p->thread = std::thread([raw, before = std::move(options.beforeRead), read = std::move(options.read)] {
            if (before)
                before();
            raw->result = raw->table.load(raw->file);
            raw->done.store(true, std::memory_order_release);
            if (read)
                read();
        });
    } catch (const std::system_error &) {
        open(t); // no thread to be had: read it here
        return;
    }
    pending_[size_t(t)] = std::move(p);
}

bool TdbMain::loadRead(DbTable t) const
{
    const Pending *p = pending_[size_t(t)].get();
    return !p || p->done.load(std::memory_order_acquire);
}

bool TdbMain::finishLoad(DbTable t)
{
    std::unique_ptr<Pending> p = std::move(pending_[size_t(t)]);
    if (!p)
        return open_[size_t(t)];
    p->thread.join();
    return openFrom(t, p->file, std::move(p->table), p->result);
}

std::string TdbMain::path(DbTable t) const
{
    return platform::resolveCase(dir_ + "/" + dbTableDef(t).fileName);
}

bool TdbMain::open(DbTable t)
{
    const size_t k = size_t(t);
    if (open_[k])
        return true;
    if (pending_[k])
        return finishLoad(t);
    const std::string file = path(t);
    platform::Table table = makeDbTable(t);
    const platform::TableResult r = table.load(file);
    return openFrom(t, file, std::move(table), r);
}

bool TdbMain::openFrom(DbTable t, const std::string &file, platform::Table &&table, const platform::TableResult &r)
{
    const size_t k = size_t(t);
    if (r.status == platform::TableStatus::Ok || r.status == platform::TableStatus::Missing) {
        tables_[k] = std::move(table);
        open_[k] = true;
        // A loaded table is its file; a missing file is written on the next save.
        if (r.status == platform::TableStatus::Ok)
            written_[k] = tables_[k].changes();
        // A catalogue table without its file cannot be trusted with the others' rows either.
        if (r.status == platform::TableStatus::Missing && rebuiltByScan(t))
            rebuildCatalogue_ = true;
        return true;
    }
    std::fprintf(stderr, "%s\n", r.message.c_str());
    const std::string what = std::string(kDbCorrupted) + "\n" + r.message;
    if (r.status == platform::TableStatus::IoError && !rebuiltByScan(t)) {
        // Unreadable, not known to be damaged: what the user kept there is left as it is.
        showError(what + "\nThe table is not used in this session; the file is left as it is.");
        return false;
    }
    // Damaged, newer, foreign or not a file at all (a catalogue file also when unreadable: the
    // scan makes it again): kept under a free name, never deleted, and the table starts empty.
    std::string aside;
    const platform::FileResult moved = platform::moveAside(file, kDamagedSuffix, &aside);
    if (!moved) {
        std::fprintf(stderr, "%s\n", moved.message.c_str());
        showError(what + "\n" + moved.message + "\nThe table is not used in this session.");
        return false;
    }
    std::fprintf(stderr, "%s kept as %s\n", file.c_str(), aside.c_str());
    showError(what + "\nThe old file was kept as " + aside + "; the table starts empty.");
    tables_[k] = makeDbTable(t);
    open_[k] = true;
    if (rebuiltByScan(t))
        rebuildCatalogue_ = true;
    return true;
}

bool TdbMain::dirty(DbTable t) const
{
    const size_t k = size_t(t);
    return open_[k] && written_[k] != tables_[k].changes();
}

void TdbMain::noteResult(DbTable t, uint64_t changes, const platform::TableResult &r)
{
    const size_t k = size_t(t);
    if (r) {
        // A newer snapshot may have been written already; never step back.
        if (written_[k] == kNotWritten || changes > written_[k])
            written_[k] = changes;
        shownError_[k].clear();
        return;
    }
    std::fprintf(stderr, "%s\n", r.message.c_str());
    if (r.message == shownError_[k])
        return; // this table's box for this cause is up or was seen
    shownError_[k] = r.message;
    showError(std::string(kDbSaveFailed) + "\n" + r.message);
}

void TdbMain::collectDone()
{
    for (platform::TableSaver::Done &d : saver_->takeDone())
        noteResult(DbTable(d.key), d.changes, d.result);
}

bool TdbMain::save(DbTable t)
{
    if (!open_[size_t(t)])
        return false;
    // A background write still under way would land after this one.
    saver_->waitIdle();
    collectDone();
    if (!dirty(t))
        return true; // its file holds it as it stands
    platform::Table &table = tables_[size_t(t)];
    tried_[size_t(t)] = table.changes();
    platform::TableResult r = table.save(path(t), ops_);
    noteResult(t, table.changes(), r);
    return bool(r);
}

int TdbMain::saveDirty(bool retryFailed)
{
    saver_->waitIdle();
    collectDone();
    int failed = 0;
    for (DbTable t : kSavedTables) {
        if (!dirty(t))
            continue;
        if (!retryFailed && tried_[size_t(t)] == tables_[size_t(t)].changes()) {
            ++failed; // tried in this very state, and reported
            continue;
        }
        if (!save(t))
            ++failed;
    }
    return failed;
}

int TdbMain::SaveAll() { return saveDirty(true); }

void TdbMain::SaveChanged()
{
    // A box shown from here runs a nested loop, which may call again.
    if (reporting_)
        return;
    reporting_ = true;
    collectDone();
    for (DbTable t : kSavedTables) {
        const size_t k = size_t(t);
        if (!dirty(t) || saver_->busy(int(t)))
            continue;
        const uint64_t now = tables_[k].changes();
        if (tried_[k] == now && !shownError_[k].empty())
            continue; // failed in this state: tried again after the next change, or at exit
        tried_[k] = now;
        saver_->submit(int(t), path(t), tables_[k].snapshot(), ops_);
    }
    reporting_ = false;
}

bool TdbMain::allSaved() const
{
    for (DbTable t : kSavedTables)
        if (dirty(t) || saver_->busy(int(t)))
            return false;
    return true;
}

CatalogueTables TdbMain::catalogueTables()
{
    return {table(DbTable::BaseInfo), table(DbTable::PlugInfo), table(DbTable::ModelRef),
            table(DbTable::ConnInfo)};
}

bool TdbMain::ScanPlugins(const std::string &programDir, ScanObserver &observer)
{
    const bool ran = core::ScanPlugins(catalogueTables(), programDir, observer);
    catalogue_ = Catalogue::fromTables(catalogueTables());
    return ran;
}

void TdbMain::showError(const std::string &text)
{
    if (!prompt_) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    const std::string caption = lang_ ? lang_->translate("Application_Hite_title") : std::string();
    prompt_->show(text, caption, kMbOk | kMbIconError);
}

} // namespace core
