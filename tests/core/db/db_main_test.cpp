// The local database over a temporary Database folder: first start, a run's tables loaded by the
// next, damaged and incompatible files, a read-only file and a full disk at exit.
#include "core/db_main.h"

#include "core/catalogue_scan.h"

#include "core/prompt.h"
#include "core/platform/temp_dir.h"
#include "core/platform/temp_tree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
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

// A file the program cannot use: one box at start; the message and value-list tables stay closed
// and their files are never touched, while a catalogue table's file is set aside and the table
// rebuilt empty. The other tables work and are saved.
TEST(TdbMain, UnusableFilesAtStart)
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
        {"foreign table (fields missing)", [](const std::string &) {
             platform::Table other({{"x", platform::FieldType::Integer}});
             return other.serialize();
         }},
    };
    for (const Damage &d : damages) {
        for (DbTable victim : {DbTable::Smsinfo, DbTable::SSinfo, DbTable::ModelRef, DbTable::BaseInfo}) {
            const std::string file = core::dbTableDef(victim).fileName;
            SCOPED_TRACE(std::string(d.name) + " in " + file);
            TempTree tree;
            const std::string dir = databaseWithOneRunSaved(tree);
            const std::string bad = d.bytes(readText(dir + "/" + file));
            std::ofstream(dir + "/" + file, std::ios::binary | std::ios::trunc) << bad;
            const bool setAside = victim == DbTable::ModelRef || victim == DbTable::BaseInfo;

            RecordingPrompt prompt;
            {
                TdbMain db(dir, &prompt);
                ASSERT_EQ(prompt.shown().size(), 1u);
                EXPECT_EQ(prompt.shown()[0].text, "The database is corrupted!");
                EXPECT_EQ(prompt.shown()[0].flags, core::kMbOk | core::kMbIconError);
                EXPECT_EQ(db.isOpen(victim), setAside);
                for (DbTable t : kSix)
                    if (t != victim) {
                        EXPECT_TRUE(db.isOpen(t));
                        EXPECT_EQ(db.table(t).totalRows(), 1);
                    }
                addToSix(db, 2);
                if (setAside) {
                    EXPECT_EQ(readText(dir + "/" + file + ".damaged"), bad);
                    EXPECT_FALSE(fs::exists(dir + "/" + file));
                }
            }
            EXPECT_EQ(prompt.shown().size(), 1u); // nothing more at exit
            if (setAside) {
                EXPECT_EQ(readText(dir + "/" + file + ".damaged"), bad);
                platform::Table rebuilt = core::makeDbTable(victim);
                ASSERT_TRUE(rebuilt.load(dir + "/" + file));
                EXPECT_EQ(rebuilt.totalRows(), 1); // only this run's row
            } else {
                EXPECT_EQ(readText(dir + "/" + file), bad); // byte-identical
                EXPECT_FALSE(fs::exists(dir + "/" + file + ".damaged"));
            }
            for (DbTable t : kSix)
                if (t != victim) {
                    platform::Table after = core::makeDbTable(t);
                    ASSERT_TRUE(after.load(dir + "/" + core::dbTableDef(t).fileName));
                    EXPECT_EQ(after.totalRows(), 2);
                }
        }
    }
}

// A file written by a newer format: the message table's is never overwritten; a catalogue one is
// set aside whole (the catalogue is rebuilt from the plug-ins either way).
TEST(TdbMain, NewerFormat)
{
    for (DbTable victim : {DbTable::Smsinfo, DbTable::ConnInfo}) {
        SCOPED_TRACE(core::dbTableDef(victim).name);
        TempTree tree;
        const std::string dir = databaseWithOneRunSaved(tree);
        const std::string file = dir + "/" + core::dbTableDef(victim).fileName;
        std::string bytes = readText(file);
        bytes[8] = char(platform::kTableFormatVersion + 1);
        const uint32_t crc = platform::crc32(std::string_view(bytes).substr(0, bytes.size() - 4));
        for (int k = 0; k < 4; ++k)
            bytes[bytes.size() - 4 + size_t(k)] = char(crc >> (8 * k));
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        const bool setAside = victim == DbTable::ConnInfo;
        RecordingPrompt prompt;
        {
            TdbMain db(dir, &prompt);
            EXPECT_EQ(db.isOpen(victim), setAside);
        }
        EXPECT_EQ(texts(prompt), (std::vector<std::string>{"The database is corrupted!"}));
        EXPECT_EQ(readText(setAside ? file + ".damaged" : file), bytes);
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
