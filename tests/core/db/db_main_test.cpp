// The local database over a temporary Database folder: first start, a run's tables loaded by the
// next, damaged and incompatible files, a read-only file and a full disk at exit.
#include "core/db_main.h"

#include "core/catalogue_scan.h"
#include "core/catalogue/catalogue_fixture.h"

#include "core/prompt.h"
#include "core/platform/temp_dir.h"
#include "core/platform/temp_tree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

namespace fs = std::filesystem;
using core::DbTable;
using core::RecordingPrompt;
using core::TdbMain;
using platform_test::listFolder;
using platform_test::readText;
using platform_test::TempTree;

namespace {

constexpr DbTable kSix[] = {DbTable::BaseInfo, DbTable::PlugInfo, DbTable::ModelRef,
                            DbTable::ConnInfo, DbTable::Smsinfo,  DbTable::SSinfo};

// Appends one row to t whose integers are n and texts "<table> n".
void addRow(platform::Table &t, const char *name, int n)
{
    t.append();
    for (const platform::FieldDef &f : t.fields()) {
        if (f.type == platform::FieldType::Text)
            t.setText(f.name, std::string(name) + " " + std::to_string(n));
        else
            t.setInt(f.name, n);
    }
    ASSERT_TRUE(t.post());
}

// Each of the six tables gets a row numbered n.
void addToSix(TdbMain &db, int n)
{
    for (DbTable t : kSix)
        addRow(db.table(t), core::dbTableDef(t).name, n);
}

// A Database folder whose six files hold one row each, written by an earlier run.
std::string databaseWithOneRunSaved(const TempTree &tree)
{
    tree.dir("Database");
    const std::string dir = tree.path("Database");
    RecordingPrompt quiet;
    TdbMain db(dir, &quiet);
    addToSix(db, 1);
    return dir;
}

std::vector<std::string> texts(const RecordingPrompt &p) { return p.texts(); }

} // namespace

// First start with an empty Database: six empty open tables, the phrase tables left to their
// manager, six files after SaveAll; the destructor saves only a table changed since.
TEST(TdbMain, FirstStartCreatesSixFiles)
{
    TempTree tree;
    tree.dir("Database");
    RecordingPrompt prompt;
    {
        TdbMain db(tree.path("Database"), &prompt);
        for (DbTable t : kSix) {
            EXPECT_TRUE(db.isOpen(t)) << core::dbTableDef(t).name;
            EXPECT_EQ(db.table(t).totalRows(), 0);
        }
        EXPECT_FALSE(db.isOpen(DbTable::PhraseGroup));
        EXPECT_FALSE(db.isOpen(DbTable::Phrase));
        EXPECT_TRUE(listFolder(tree.path("Database")).empty()); // nothing written at start
        EXPECT_EQ(db.SaveAll(), 0);
        EXPECT_EQ(listFolder(tree.path("Database")),
                  (std::vector<std::string>{"BaseInfo.cds", "ConnInfo.cds", "ModelRef.cds",
                                            "PlugInfo.cds", "SSinfo.cds", "Smsinfo.cds"}));
        EXPECT_EQ(db.SaveAll(), 0); // nothing changed: nothing written
        fs::remove(tree.path("Database/SSinfo.cds"));
        addRow(db.table(DbTable::Smsinfo), "Smsinfo", 1);
    }
    EXPECT_FALSE(fs::exists(tree.path("Database/SSinfo.cds"))); // unchanged: not written again
    platform::Table sms = core::makeDbTable(DbTable::Smsinfo);
    ASSERT_TRUE(sms.load(tree.path("Database/Smsinfo.cds")));
    EXPECT_EQ(sms.totalRows(), 1);
    EXPECT_TRUE(prompt.shown().empty());
}

// Tables saved by one run load unchanged in the next (rows, fields, the message table's index);
// file names are found without case.
TEST(TdbMain, NextRunLoadsWhatThisRunSaved)
{
    TempTree tree;
    const std::string dir = databaseWithOneRunSaved(tree);
    fs::rename(tree.path("Database/Smsinfo.cds"), tree.path("Database/SMSINFO.CDS"));
    std::map<DbTable, std::vector<platform::Row>> saved;
    RecordingPrompt prompt;
    {
        TdbMain db(dir, &prompt);
        addToSix(db, 2);
        for (DbTable t : kSix)
            saved[t] = db.table(t).rows();
    }
    TdbMain db(dir, &prompt);
    for (DbTable t : kSix) {
        SCOPED_TRACE(core::dbTableDef(t).name);
        ASSERT_TRUE(db.isOpen(t));
        EXPECT_EQ(db.table(t).rows(), saved[t]);
        EXPECT_EQ(db.table(t).totalRows(), 2);
        EXPECT_EQ(db.table(t).fields(), core::dbTableDef(t).fields);
    }
    EXPECT_EQ(db.table(DbTable::Smsinfo).activeIndex(), "cdsSmsinfoIndex1");
    EXPECT_EQ(db.path(DbTable::Smsinfo), dir + "/SMSINFO.CDS");
    EXPECT_FALSE(fs::exists(dir + "/Smsinfo.cds"));
    EXPECT_TRUE(prompt.shown().empty());
}

// A file's bytes with the format version raised past ours and the checksum made right again.
std::string newerFormat(const std::string &good)
{
    std::string bytes = good;
    bytes[8] = char(platform::kTableFormatVersion + 1);
    const uint32_t crc = platform::crc32(std::string_view(bytes).substr(0, bytes.size() - 4));
    for (int k = 0; k < 4; ++k)
        bytes[bytes.size() - 4 + size_t(k)] = char(crc >> (8 * k));
    return bytes;
}

bool isCatalogue(DbTable t)
{
    return t == DbTable::BaseInfo || t == DbTable::PlugInfo || t == DbTable::ModelRef || t == DbTable::ConnInfo;
}

// A file the program cannot use, in any of the six tables: it is kept as "<file>.damaged"
// byte for byte, the table starts empty and is saved again, and one box names the file and where
// the old one went. A lost catalogue table empties all four (the scan makes them anew); the
// others keep their rows.
TEST(TdbMain, UnusableFilesAreSetAsideAndTheTableStartsEmpty)
{
    struct Damage {
        const char *name;
        std::function<std::string(const std::string &good)> bytes;
    };
    const std::vector<Damage> damages = {
        {"garbage", [](const std::string &) { return std::string("not a table at all"); }},
        {"cut short", [](const std::string &g) { return g.substr(0, g.size() / 2); }},
        {"flipped byte", [](const std::string &g) { std::string b = g; b[b.size() / 2] ^= 0x5A; return b; }},
        {"empty file", [](const std::string &) { return std::string(); }},
        {"newer format", newerFormat},
        {"foreign table (fields missing)", [](const std::string &) {
             platform::Table other({{"x", platform::FieldType::Integer}});
             return other.serialize();
         }},
    };
    for (const Damage &d : damages) {
        for (DbTable victim : kSix) {
            const std::string file = core::dbTableDef(victim).fileName;
            SCOPED_TRACE(std::string(d.name) + " in " + file);
            TempTree tree;
            const std::string dir = databaseWithOneRunSaved(tree);
            const std::string bad = d.bytes(readText(dir + "/" + file));
            std::ofstream(dir + "/" + file, std::ios::binary | std::ios::trunc) << bad;

            RecordingPrompt prompt;
            {
                TdbMain db(dir, &prompt);
                ASSERT_EQ(prompt.shown().size(), 1u);
                const std::string &box = prompt.shown()[0].text;
                EXPECT_EQ(box.rfind("The database is corrupted!\n", 0), 0u) << box;
                EXPECT_NE(box.find(dir + "/" + file + " "), std::string::npos) << box;
                EXPECT_NE(box.find("kept as " + dir + "/" + file + ".damaged;"), std::string::npos) << box;
                EXPECT_EQ(prompt.shown()[0].flags, core::kMbOk | core::kMbIconError);
                for (DbTable t : kSix) {
                    EXPECT_TRUE(db.isOpen(t));
                    const bool emptied = t == victim || (isCatalogue(victim) && isCatalogue(t));
                    EXPECT_EQ(db.table(t).totalRows(), emptied ? 0 : 1) << core::dbTableDef(t).name;
                }
                EXPECT_EQ(readText(dir + "/" + file + ".damaged"), bad);
                EXPECT_FALSE(fs::exists(dir + "/" + file));
                addToSix(db, 2);
            }
            EXPECT_EQ(prompt.shown().size(), 1u); // nothing more at exit
            EXPECT_EQ(readText(dir + "/" + file + ".damaged"), bad);
            for (DbTable t : kSix) {
                platform::Table after = core::makeDbTable(t);
                ASSERT_TRUE(after.load(dir + "/" + core::dbTableDef(t).fileName));
                const bool emptied = t == victim || (isCatalogue(victim) && isCatalogue(t));
                EXPECT_EQ(after.totalRows(), emptied ? 1 : 2) << core::dbTableDef(t).name;
            }
        }
    }
}

// Set-aside files are never replaced: the next damage of the same table goes to the first free
// name, and the box says which.
TEST(TdbMain, AnEarlierSetAsideFileIsNeverOverwritten)
{
    TempTree tree;
    tree.dir("Database");
    const std::string dir = tree.path("Database");
    const std::string sms = dir + "/Smsinfo.cds";
    std::ofstream(sms + ".damaged", std::ios::binary) << "first";
    std::ofstream(sms + ".damaged.1", std::ios::binary) << "second";
    std::ofstream(sms, std::ios::binary) << "third";
    RecordingPrompt prompt;
    {
        TdbMain db(dir, &prompt);
        EXPECT_TRUE(db.isOpen(DbTable::Smsinfo));
    }
    ASSERT_EQ(prompt.shown().size(), 1u);
    EXPECT_NE(prompt.shown()[0].text.find("kept as " + sms + ".damaged.2;"), std::string::npos)
        << prompt.shown()[0].text;
    EXPECT_EQ(readText(sms + ".damaged"), "first");
    EXPECT_EQ(readText(sms + ".damaged.1"), "second");
    EXPECT_EQ(readText(sms + ".damaged.2"), "third");
    platform::Table fresh = core::makeDbTable(DbTable::Smsinfo);
    EXPECT_TRUE(fresh.load(sms));
}

// Something other than a file at a table's name (a named pipe, a folder): never opened for
// reading, so the start does not wait for a writer; set aside like a damaged file.
TEST(TdbMain, ANamedPipeOrFolderInPlaceOfATable)
{
    for (bool pipe : {true, false}) {
        SCOPED_TRACE(pipe ? "named pipe" : "folder");
        TempTree tree;
        tree.dir("Database");
        const std::string dir = tree.path("Database");
        const std::string ss = dir + "/SSinfo.cds";
        if (pipe)
            ASSERT_EQ(::mkfifo(ss.c_str(), 0600), 0);
        else
            fs::create_directory(ss);
        RecordingPrompt prompt;
        {
            TdbMain db(dir, &prompt);
            EXPECT_TRUE(db.isOpen(DbTable::SSinfo));
        }
        ASSERT_EQ(prompt.shown().size(), 1u);
        EXPECT_NE(prompt.shown()[0].text.find("not a regular file"), std::string::npos) << prompt.shown()[0].text;
        struct stat st {};
        ASSERT_EQ(::lstat((ss + ".damaged").c_str(), &st), 0);
        EXPECT_EQ(pipe ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode), true);
        platform::Table fresh = core::makeDbTable(DbTable::SSinfo);
        EXPECT_TRUE(fresh.load(ss));
    }
}

// A read-only PlugInfo.cds (whoever runs the program, root too): the box at exit, PlugInfo keeps its
// old file and the five others are saved.
TEST(TdbMain, ReadOnlyFileAtExit)
{
    TempTree tree;
    const std::string dir = databaseWithOneRunSaved(tree);
    const std::string plug = dir + "/PlugInfo.cds";
    const std::string old = readText(plug);
    ASSERT_EQ(::chmod(plug.c_str(), 0444), 0);
    RecordingPrompt prompt;
    {
        TdbMain db(dir, &prompt);
        EXPECT_TRUE(prompt.shown().empty()); // it reads fine
        addToSix(db, 2);
    }
    ASSERT_EQ(prompt.shown().size(), 1u);
    EXPECT_EQ(prompt.shown()[0].text,
              "Failed to acess database file .\nCannot write " + plug + ": the file is read-only");
    EXPECT_EQ(prompt.shown()[0].flags, core::kMbOk | core::kMbIconError);
    EXPECT_EQ(readText(plug), old);
    for (DbTable t : kSix) {
        platform::Table after = core::makeDbTable(t);
        ASSERT_TRUE(after.load(dir + "/" + core::dbTableDef(t).fileName));
        EXPECT_EQ(after.totalRows(), t == DbTable::PlugInfo ? 1 : 2) << core::dbTableDef(t).name;
    }
    EXPECT_EQ(listFolder(dir).size(), 6u); // no temporaries left behind
}

// A folder that takes no new file (read-only; root passes a chmod, so the refusal comes from the
// calls): every changed table shows one box naming its file and the cause, and keeps its old file.
TEST(TdbMain, ReadOnlyFolderAtExit)
{
    TempTree tree;
    const std::string dir = databaseWithOneRunSaved(tree);
    std::map<DbTable, std::string> before;
    for (DbTable t : kSix)
        before[t] = readText(dir + "/" + core::dbTableDef(t).fileName);
    platform::FileOps ops;
    ops.open = [](const char *path, int flags, mode_t mode) {
        if (flags & O_CREAT) {
            errno = EROFS;
            return -1;
        }
        return ::open(path, flags, mode);
    };
    RecordingPrompt prompt;
    {
        TdbMain db(dir, &prompt, nullptr, ops);
        addToSix(db, 2);
    }
    std::vector<std::string> shown = texts(prompt), expected;
    for (DbTable t : kSix)
        expected.push_back("Failed to acess database file .\nCannot write " + dir + "/" + core::dbTableDef(t).fileName +
                           ": " + std::strerror(EROFS));
    std::sort(shown.begin(), shown.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);
    for (DbTable t : kSix)
        EXPECT_EQ(readText(dir + "/" + core::dbTableDef(t).fileName), before[t]) << core::dbTableDef(t).name;
}

// A full disk while Smsinfo is written: its old file stays whole, one box names the file and the
// cause, and SSinfo (after it) is still saved. The destructor does not try the same state again.
TEST(TdbMain, FullDiskOnOneTable)
{
    TempTree tree;
    const std::string dir = databaseWithOneRunSaved(tree);
    const std::string sms = dir + "/Smsinfo.cds";
    const std::string old = readText(sms);

    auto smsFds = std::make_shared<std::set<int>>();
    platform::FileOps ops;
    ops.open = [smsFds](const char *path, int flags, mode_t mode) {
        int fd = ::open(path, flags, mode);
        if (fd >= 0 && std::string(path).find("Smsinfo") != std::string::npos)
            smsFds->insert(fd);
        return fd;
    };
    ops.write = [smsFds](int fd, const void *buf, size_t n) -> ssize_t {
        if (smsFds->count(fd)) {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, buf, n);
    };
    ops.close = [smsFds](int fd) {
        smsFds->erase(fd);
        return ::close(fd);
    };

    RecordingPrompt prompt;
    {
        TdbMain db(dir, &prompt, nullptr, ops);
        addToSix(db, 2);
        EXPECT_EQ(db.SaveAll(), 1);
        EXPECT_EQ(texts(prompt), (std::vector<std::string>{"Failed to acess database file .\nCannot write " + sms +
                                                           ": No space left on device"}));
        EXPECT_EQ(readText(sms), old);
        platform::Table ss = core::makeDbTable(DbTable::SSinfo);
        ASSERT_TRUE(ss.load(dir + "/SSinfo.cds"));
        EXPECT_EQ(ss.totalRows(), 2);
    }
    EXPECT_EQ(prompt.shown().size(), 1u);
    EXPECT_EQ(readText(sms), old);
    EXPECT_EQ(listFolder(dir).size(), 6u);
}

// The phrase tables: declared here, opened and saved only when their manager asks.
TEST(TdbMain, PhraseTablesOnRequest)
{
    TempTree tree;
    tree.dir("Database");
    const std::string dir = tree.path("Database");
    RecordingPrompt prompt;
    {
        TdbMain db(dir, &prompt);
        EXPECT_FALSE(db.save(DbTable::Phrase)); // closed: nothing written
        ASSERT_TRUE(db.open(DbTable::PhraseGroup));
        ASSERT_TRUE(db.open(DbTable::Phrase));
        addRow(db.table(DbTable::Phrase), "Phrase", 1);
        addRow(db.table(DbTable::PhraseGroup), "PhraseGroup", 1);
        EXPECT_TRUE(db.save(DbTable::Phrase));
    }
    EXPECT_TRUE(fs::exists(dir + "/Phrase.cds"));
    EXPECT_TRUE(fs::exists(dir + "/PhraseGroup.cds")); // open and changed: saved with the rest
    TdbMain db(dir, &prompt);
    ASSERT_TRUE(db.open(DbTable::Phrase));
    EXPECT_EQ(db.table(DbTable::Phrase).totalRows(), 1);
    EXPECT_EQ(db.table(DbTable::Phrase).activeIndex(), "cdsPlistIndex1");
    EXPECT_TRUE(prompt.shown().empty());
}

// Without a Database folder nothing can be saved: one box per table at exit, no crash, nothing
// written elsewhere.
TEST(TdbMain, MissingFolder)
{
    TempTree tree;
    RecordingPrompt prompt;
    {
        TdbMain db(tree.path("Database"), &prompt);
        for (DbTable t : kSix)
            EXPECT_TRUE(db.isOpen(t));
    }
    EXPECT_EQ(prompt.shown().size(), 6u);
    EXPECT_TRUE(listFolder(tree.root()).empty());
}

// The catalogue snapshot comes from the loaded tables until the scan brings them up to date with
// the Plug-in folder and publishes a new one; the scanned tables are what is saved.
TEST(TdbMain, ScanPublishesTheCatalogue)
{
    struct Quiet : core::ScanObserver {
        std::vector<std::string> notices, skips;
        void notice(const std::string &text) override { notices.push_back(text); }
        void skipped(const std::string &file, const std::string &) override { skips.push_back(file); }
    } observer;
    TempTree tree;
    const std::string dir = databaseWithOneRunSaved(tree); // BaseInfo row 1: "BaseInfo 1", gone
    tree.dir("Plug-in");
    RecordingPrompt prompt;
    {
        TdbMain db(dir, &prompt);
        std::shared_ptr<const core::Catalogue> before = db.catalogue();
        ASSERT_TRUE(before);
        ASSERT_EQ(before->baseInfo().size(), 1u);
        EXPECT_EQ(before->baseInfo()[0].DllName, "BaseInfo 1");
        EXPECT_TRUE(db.ScanPlugins(tree.root(), observer));
        EXPECT_TRUE(db.catalogue()->baseInfo().empty()); // its file is not in Plug-in
        EXPECT_TRUE(db.catalogue()->plugInfo().empty());
        EXPECT_EQ(before->baseInfo().size(), 1u);        // a held snapshot stays as it was
        EXPECT_TRUE(observer.notices.empty());
    }
    platform::Table base = core::makeDbTable(DbTable::BaseInfo);
    ASSERT_TRUE(base.load(dir + "/BaseInfo.cds"));
    EXPECT_EQ(base.totalRows(), 0);
    EXPECT_TRUE(prompt.shown().empty());
}

namespace {

// Runs the program's save tick until every open table is on disk (bounded, never a time-out the
// test relies on).
bool saveTicks(TdbMain &db)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        db.SaveChanged();
        if (db.allSaved())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int rowsOnDisk(const std::string &file, DbTable t)
{
    platform::Table back = core::makeDbTable(t);
    return back.load(file) ? back.totalRows() : -1;
}

} // namespace

// Changes reach the files while the database is in use, without SaveAll: the tables changed,
// the phrase tables too once opened, and a missing file is written; an unchanged table loaded
// from its file is not written again. At the end nothing is left to save.
TEST(TdbMain, ChangesReachTheDiskWhileInUse)
{
    TempTree tree;
    const std::string dir = databaseWithOneRunSaved(tree);
    const std::string conn = dir + "/ConnInfo.cds";
    ASSERT_EQ(::chmod(conn.c_str(), 0444), 0); // a write of it would fail and show a box
    RecordingPrompt prompt;
    {
        TdbMain db(dir, &prompt);
        EXPECT_TRUE(db.allSaved());
        addRow(db.table(DbTable::Smsinfo), "Smsinfo", 2);
        ASSERT_TRUE(db.open(DbTable::Phrase));
        addRow(db.table(DbTable::Phrase), "Phrase", 1);
        EXPECT_FALSE(db.allSaved());
        ASSERT_TRUE(saveTicks(db));
        EXPECT_EQ(rowsOnDisk(dir + "/Smsinfo.cds", DbTable::Smsinfo), 2);
        EXPECT_EQ(rowsOnDisk(dir + "/Phrase.cds", DbTable::Phrase), 1);

        // Changes made while a write is under way follow it.
        addRow(db.table(DbTable::Smsinfo), "Smsinfo", 3);
        db.SaveChanged();
        addRow(db.table(DbTable::Smsinfo), "Smsinfo", 4);
        ASSERT_TRUE(saveTicks(db));
        EXPECT_EQ(rowsOnDisk(dir + "/Smsinfo.cds", DbTable::Smsinfo), 4);
        EXPECT_EQ(db.SaveAll(), 0);
    }
    EXPECT_TRUE(prompt.shown().empty());
    EXPECT_FALSE(fs::exists(dir + "/PhraseGroup.cds")); // opened by nobody
    EXPECT_EQ(rowsOnDisk(dir + "/Smsinfo.cds", DbTable::Smsinfo), 4);
}

// A save that fails in the background shows one box naming the file and the cause, however many
// ticks follow, keeps the old file and is tried again after the next change; at exit the same
// failure is not shown twice, and once the cause is gone the table is saved.
TEST(TdbMain, ABackgroundFailureShowsOneBoxAndIsTriedAgain)
{
    TempTree tree;
    const std::string dir = databaseWithOneRunSaved(tree);
    const std::string sms = dir + "/Smsinfo.cds";
    const std::string old = readText(sms);
    auto full = std::make_shared<std::atomic<bool>>(true);
    platform::FileOps ops;
    ops.write = [full](int fd, const void *buf, size_t n) -> ssize_t {
        if (*full) {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, buf, n);
    };
    const std::string box = "Failed to acess database file .\nCannot write " + sms + ": No space left on device";
    RecordingPrompt prompt;
    {
        TdbMain db(dir, &prompt, nullptr, ops);
        addRow(db.table(DbTable::Smsinfo), "Smsinfo", 2);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (prompt.shown().empty() && std::chrono::steady_clock::now() < end) {
            db.SaveChanged();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        for (int i = 0; i < 20; ++i)
            db.SaveChanged();
        EXPECT_EQ(texts(prompt), std::vector<std::string>{box});
        EXPECT_EQ(prompt.shown()[0].flags, core::kMbOk | core::kMbIconError);
        EXPECT_EQ(readText(sms), old);
        EXPECT_FALSE(db.allSaved());
        EXPECT_EQ(db.SaveAll(), 1); // tried again: the same failure, no second box
        EXPECT_EQ(prompt.shown().size(), 1u);

        *full = false;
        addRow(db.table(DbTable::Smsinfo), "Smsinfo", 3);
        ASSERT_TRUE(saveTicks(db));
        EXPECT_EQ(rowsOnDisk(sms, DbTable::Smsinfo), 3);
    }
    EXPECT_EQ(prompt.shown().size(), 1u);
    EXPECT_EQ(listFolder(dir).size(), 6u); // no temporaries left behind
}

// A catalogue table lost (damaged, cut short, newer, missing) while the other three are whole:
// the real scan makes all four again in the same run, exactly as a first scan did (so the driver
// keeps its connection rows and the plug-in its models), and the next start finds them whole.
TEST(TdbMain, ALostCatalogueTableIsMadeAgainByTheScan)
{
    using Snapshot = std::map<DbTable, std::vector<platform::Row>>;
    constexpr DbTable kCatalogue[] = {DbTable::BaseInfo, DbTable::PlugInfo, DbTable::ModelRef, DbTable::ConnInfo};
    const auto rowsOf = [&](TdbMain &db) {
        Snapshot out;
        for (DbTable t : kCatalogue)
            out[t] = db.table(t).rows();
        return out;
    };
    struct Damage {
        const char *name;
        std::function<void(const std::string &file)> apply;
    };
    const std::vector<Damage> damages = {
        {"garbage", [](const std::string &f) { std::ofstream(f, std::ios::binary | std::ios::trunc) << "garbage"; }},
        {"cut short", [](const std::string &f) {
             const std::string g = readText(f);
             std::ofstream(f, std::ios::binary | std::ios::trunc) << g.substr(0, g.size() - 9);
         }},
        {"newer format", [](const std::string &f) {
             const std::string g = newerFormat(readText(f));
             std::ofstream(f, std::ios::binary | std::ios::trunc) << g;
         }},
        {"missing", [](const std::string &f) { fs::remove(f); }},
    };
    for (const Damage &d : damages) {
        for (DbTable victim : kCatalogue) {
            SCOPED_TRACE(std::string(d.name) + " " + core::dbTableDef(victim).fileName);
            catalogue_test::ProgramDir dir;
            dir.addFixture("FixAlpha.so");
            dir.addFixture("FixBeta.so");
            dir.addFixture("Alpha3310.plug");
            const std::string dbDir = dir.root() + "/Database";
            fs::create_directories(dbDir);
            catalogue_test::Recorder seen;
            RecordingPrompt prompt;
            Snapshot first;
            {
                TdbMain db(dbDir, &prompt);
                ASSERT_TRUE(db.ScanPlugins(dir.root(), seen));
                first = rowsOf(db);
            }
            ASSERT_EQ(first[DbTable::BaseInfo].size(), 2u);
            ASSERT_FALSE(first[DbTable::ConnInfo].empty());
            ASSERT_FALSE(first[DbTable::ModelRef].empty());
            d.apply(dbDir + "/" + core::dbTableDef(victim).fileName);

            {
                TdbMain db(dbDir, &prompt);
                ASSERT_TRUE(db.ScanPlugins(dir.root(), seen));
                EXPECT_EQ(rowsOf(db), first);
                std::string driver, plug;
                PhoneIdent ident{};
                core::putIdentText(ident.Man, "Alpha");
                core::putIdentText(ident.ModelA, "3310");
                EXPECT_EQ(db.catalogue()->FindPlug(ident, driver, plug), 0);
                EXPECT_EQ(plug, "Alpha3310.plug");
                EXPECT_FALSE(db.catalogue()->connInfo().empty());
            }
            EXPECT_EQ(prompt.shown().size(), std::string(d.name) == "missing" ? 0u : 1u);
            TdbMain again(dbDir, &prompt);
            EXPECT_EQ(rowsOf(again), first);
        }
    }
}

// The message table read on a thread of its own: closed and never saved until finishLoad(), which
// opens it as a start would (a damaged file set aside, one box, then). A database that ends
// before the read is opened leaves the file as it was.
TEST(TdbMain, MessagesReadInTheBackground)
{
    const std::string file = core::dbTableDef(DbTable::Smsinfo).fileName;
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged file" : "good file");
        TempTree tree;
        const std::string dir = databaseWithOneRunSaved(tree);
        if (damaged)
            std::ofstream(dir + "/" + file, std::ios::binary | std::ios::trunc) << "not a table at all";
        const std::string before = readText(dir + "/" + file);

        std::promise<void> release;
        std::atomic<int> reads{0};
        core::DbOpenOptions o;
        o.messagesInBackground = true;
        o.beforeRead = [held = release.get_future().share()] { held.wait(); };
        o.read = [&reads] { ++reads; };
        RecordingPrompt prompt;
        {
            TdbMain db(dir, &prompt, nullptr, platform::FileOps::system(), std::move(o));
            EXPECT_TRUE(db.loading(DbTable::Smsinfo));
            EXPECT_FALSE(db.isOpen(DbTable::Smsinfo));
            EXPECT_FALSE(db.loadRead(DbTable::Smsinfo));
            EXPECT_TRUE(db.isOpen(DbTable::SSinfo));
            // Saves meanwhile leave the file alone: the empty stand-in is not the table.
            addRow(db.table(DbTable::SSinfo), "SSinfo", 2);
            db.SaveChanged();
            EXPECT_EQ(db.SaveAll(), 0);
            EXPECT_EQ(readText(dir + "/" + file), before);
            EXPECT_TRUE(prompt.shown().empty());

            release.set_value();
            EXPECT_TRUE(db.finishLoad(DbTable::Smsinfo));
            EXPECT_EQ(reads.load(), 1);
            EXPECT_FALSE(db.loading(DbTable::Smsinfo));
            EXPECT_TRUE(db.isOpen(DbTable::Smsinfo));
            EXPECT_EQ(db.table(DbTable::Smsinfo).totalRows(), damaged ? 0 : 1);
            ASSERT_EQ(prompt.shown().size(), damaged ? 1u : 0u);
            if (damaged)
                EXPECT_EQ(readText(dir + "/" + file + ".damaged"), before);
            addRow(db.table(DbTable::Smsinfo), "Smsinfo", 3);
        }
        platform::Table after = core::makeDbTable(DbTable::Smsinfo);
        ASSERT_TRUE(after.load(dir + "/" + file));
        EXPECT_EQ(after.totalRows(), damaged ? 1 : 2);
    }
    // Ended before the read was opened: nothing of it is written.
    TempTree tree;
    const std::string dir = databaseWithOneRunSaved(tree);
    const std::string before = readText(dir + "/" + file);
    {
        RecordingPrompt prompt;
        core::DbOpenOptions o;
        o.messagesInBackground = true;
        TdbMain db(dir, &prompt, nullptr, platform::FileOps::system(), std::move(o));
    }
    EXPECT_EQ(readText(dir + "/" + file), before);
}
