// The local database: the program's tables, each loaded from and saved to one file in the
// program's Database folder (layouts in core/db_schema.h).
//
//   core::TdbMain db(manage.DatabaseDir(), &prompt, &manage.LangMng());
//   platform::Table &sms = db.table(core::DbTable::Smsinfo);
//   ...
//   // at the end of the run the destructor saves what is open
//
// Creation opens BaseInfo, PlugInfo, ModelRef, ConnInfo, Smsinfo and SSinfo, in that order:
//  - no file: the table starts empty;
//  - a file that cannot be used (damaged, written by a newer format, lacking a field, not a
//    regular file): it is renamed to the first free name of "<file>.damaged", "<file>.damaged.1",
//    ... (never deleted, never replaced), the table starts empty, and one box says "The database
//    is corrupted!", which file, why, and where the old one went. The same holds for the phrase
//    tables when their manager opens them. When the rename fails the table stays closed.
//  - a file that exists but cannot be read (permissions, I/O): the box, and the table stays
//    closed for the run with its file left as it is; a catalogue file is set aside instead.
// The four catalogue tables stand together: when any of them was missing or set aside, all four
// start empty and the scan makes them anew from the Plug-in folder (it keeps the rows of files it
// knows and would never write their dependants again). Without that the program could never
// connect again.
// The two phrase tables are declared here but opened and saved by the phrase manager, through
// open() and save().
//
// Saving: changes reach the disk as they happen. SaveChanged(), which the program runs a few
// times a second, takes a snapshot of each open table changed since its file was last written
// (one copy of the rows, on this thread) and hands it to a writer thread (platform::TableSaver),
// so the window never waits for a save. A table loaded from its file counts as written; one whose
// file was missing is written on the first call. SaveAll() (at exit, and from the destructor)
// waits for the writer and then saves, once, each open table that still differs from its file.
// Every save goes through safe replacement: a failing table keeps its old file whole, the tables
// after it are still saved, and one box says "Failed to acess database file ." followed by the
// file and the system's reason; the same failure of the same table is not shown again until it
// has been saved once. Closed tables are skipped.
//
// A closed table is an empty table of its layout that is never saved: callers that write check
// isOpen() first.
//
// Reading in the background: with DbOpenOptions::messagesInBackground the message table, the one
// that grows large, is read from its file on a thread of its own while the program comes up. It is
// closed (never saved, not to be used) until finishLoad() waits for the read and opens it as open()
// would, on this thread (a damaged file is set aside and reported then). loadRead() tells whether
// the read has ended, so finishLoad() would not wait.
//
// The catalogue: ScanPlugins() runs the start-up scan (core/catalogue_scan.h) over the four
// catalogue tables and publishes a fresh snapshot; catalogue() hands out the current one (made
// from the loaded tables at creation until the scan replaces it). Readers on other threads use
// only the snapshot, never the tables.
//
// User-interface thread only.
#pragma once

#include "core/catalogue.h"
#include "core/db_schema.h"
#include "platform/safe_file.h"
#include "platform/table.h"
#include "platform/table_saver.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace core {

class Prompt;
class ScanObserver;
class TLangMng;

// Fixed texts of the database's boxes (shown as they stand, with an error icon and an OK button).
inline constexpr const char *kDbCorrupted = "The database is corrupted!";
inline constexpr const char *kDbSaveFailed = "Failed to acess database file .";
// Added to a table's file name when a file that cannot be used is set aside.
inline constexpr const char *kDamagedSuffix = ".damaged";

struct DbOpenOptions {
    bool messagesInBackground = false; // Smsinfo read on a thread of its own
    std::function<void()> beforeRead;  // on that thread, before it reads (tests hold the read here)
    std::function<void()> read;        // on that thread, once the file is read (or failed)
};

class TdbMain {
public:
    // Opens the six tables from databaseDir (the program's Database folder). prompt shows the
    // boxes (may be null: the texts go to stderr); lang (may be null) gives their caption. Both
    // must outlive the database. ops carries the system calls of saving (tests inject failures).
    TdbMain(std::string databaseDir, Prompt *prompt, const TLangMng *lang = nullptr,
            const platform::FileOps &ops = platform::FileOps::system(), DbOpenOptions options = {});
    // Saves what SaveAll() has not tried yet in the state it is in now.
    ~TdbMain();
    TdbMain(const TdbMain &) = delete;
    TdbMain &operator=(const TdbMain &) = delete;

    platform::Table &table(DbTable t) { return tables_[size_t(t)]; }
    const platform::Table &table(DbTable t) const { return tables_[size_t(t)]; }
    bool isOpen(DbTable t) const { return open_[size_t(t)]; }
    // The table's file (the Database folder and file name as found on disk).
    std::string path(DbTable t) const;

    // Opens one table as described above; true when it is open. An open table is left as it is;
    // one being read is finished (finishLoad()).
    bool open(DbTable t);
    // True while a table is read in the background and not yet opened.
    bool loading(DbTable t) const { return bool(pending_[size_t(t)]); }
    // True when no read is under way for the table (finishLoad() would not wait).
    bool loadRead(DbTable t) const;
    // Waits for the background read and opens the table from it; true when it is open.
    bool finishLoad(DbTable t);
    // Saves one open table now (after any background save of it) unless its file already holds
    // it; a failure shows the box. False when it failed or the table is closed.
    bool save(DbTable t);
    // Saves each open table that differs from its file; answers how many failed.
    int SaveAll();
    // Starts background saves of the open tables changed since they were written and reports the
    // ones that finished. Cheap when nothing changed.
    void SaveChanged();
    // True when every open table is on disk as it stands (nothing queued, nothing changed).
    bool allSaved() const;

    // The four catalogue tables, for the scan.
    CatalogueTables catalogueTables();
    // Brings the catalogue up to date with programDir's Plug-in folder, then publishes a fresh
    // snapshot. True when the scan ran to the end.
    bool ScanPlugins(const std::string &programDir, ScanObserver &observer);
    // The current catalogue snapshot (never null).
    std::shared_ptr<const Catalogue> catalogue() const { return catalogue_; }

private:
    struct Pending;
    void beginLoad(DbTable t, DbOpenOptions &options);
    // Opens a table from its file's load result (moved in when usable).
    bool openFrom(DbTable t, const std::string &file, platform::Table &&table, const platform::TableResult &r);
    void showError(const std::string &text);
    // Takes the writer's finished results and reports the failures.
    void collectDone();
    void noteResult(DbTable t, uint64_t changes, const platform::TableResult &r);
    bool dirty(DbTable t) const;
    int saveDirty(bool retryFailed);

    std::string dir_;
    Prompt *prompt_;
    const TLangMng *lang_;
    platform::FileOps ops_;
    std::array<platform::Table, kDbTableCount> tables_;
    std::array<bool, kDbTableCount> open_{};
    bool rebuildCatalogue_ = false; // a catalogue table's file was missing or unusable
    std::shared_ptr<const Catalogue> catalogue_;
    // Per table: the changes() its file holds (kNotWritten: none), the one last tried, and the
    // failure last shown (empty after a success).
    static constexpr uint64_t kNotWritten = ~uint64_t(0);
    std::array<uint64_t, kDbTableCount> written_{};
    std::array<uint64_t, kDbTableCount> tried_{};
    std::array<std::string, kDbTableCount> shownError_;
    bool reporting_ = false;
    std::array<std::unique_ptr<Pending>, kDbTableCount> pending_;
    std::unique_ptr<platform::TableSaver> saver_; // last: its thread ends before the tables go
};

} // namespace core
