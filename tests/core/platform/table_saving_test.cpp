// Saving a table while it goes on changing: snapshots, the change count a saver compares, the
// background writer, and the limits that keep every table the engine holds loadable.
#include "platform/table.h"
#include "platform/table_saver.h"

#include "core/db_schema.h"
#include "table_fixture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <unistd.h>

using namespace platform;
using platform_test::smsTable;
using platform_test::TempDir;

namespace {

void addSms(Table &t, int32_t id, const std::string &body = "")
{
    t.append();
    t.setInt("id", id);
    t.setText("body", body);
    ASSERT_TRUE(t.post());
}

} // namespace

// A snapshot is the table as it stood: changes made right after it do not reach its file, and a
// finished snapshot is byte for byte what save() writes.
TEST(TableSnapshot, HoldsTheStateItWasTakenIn)
{
    TempDir dir;
    Table t = smsTable();
    addSms(t, 1, "kept");
    const std::string expected = t.serialize();
    TableSnapshot snap = t.snapshot();
    EXPECT_EQ(snap.changes, t.changes());
    addSms(t, 2, "later");
    t.first();
    t.edit();
    t.setText("body", "changed");
    t.post();
    ASSERT_TRUE(Table::saveSnapshot(std::move(snap), dir.file("s.cds")));
    Table back = smsTable();
    ASSERT_TRUE(back.load(dir.file("s.cds")));
    EXPECT_EQ(back.serialize(), expected);
}

// Every stored change moves the count; reading, moving, filtering and dropped buffers do not.
TEST(TableSnapshot, ChangeCountFollowsStoredChangesOnly)
{
    Table t = smsTable();
    addSms(t, 1);
    addSms(t, 2);
    struct Step {
        const char *what;
        std::function<void(Table &)> run;
        bool changes;
    };
    const std::vector<Step> steps = {
        {"cursor moves and reads", [](Table &x) { x.first(); x.next(); (void)x.text("body"); }, false},
        {"filter and index", [](Table &x) { x.setFilter(eq("id", 1)); x.clearFilter(); x.setActiveIndex(""); }, false},
        {"cancelled append", [](Table &x) { x.append(); x.setInt("id", 9); x.cancel(); }, false},
        {"remove of nothing", [](Table &x) { (void)x.removeWhere(eq("id", 99)); }, false},
        {"post of an edit", [](Table &x) { x.first(); x.edit(); x.setInt("Tid", 3); x.post(); }, true},
        {"append", [](Table &x) { x.append(); x.setInt("id", 3); x.post(); }, true},
        {"remove", [](Table &x) { x.first(); x.remove(); }, true},
        {"removeWhere", [](Table &x) { (void)x.removeWhere(eq("id", 2)); }, true},
        {"clear", [](Table &x) { x.clear(); }, true},
        {"clear of an empty table", [](Table &x) { x.clear(); }, false},
        {"load", [](Table &x) { ASSERT_TRUE(x.loadFromBytes(smsTable().serialize())); }, true},
    };
    for (const Step &s : steps) {
        const uint64_t before = t.changes();
        s.run(t);
        EXPECT_EQ(t.changes() != before, s.changes) << s.what;
    }
}

// What the engine can hold it can read back: a table of any of the program's layouts, full to
// the row limit with every value at its size, stays within the file limit the loader applies.
TEST(TableLimits, EveryProgramTableAtItsLimitIsLoadable)
{
    for (const core::DbTableDef &d : core::dbTableDefs()) {
        const Table t = core::makeDbTable(d.id);
        EXPECT_GE(t.maxRows(), 1'000'000u) << d.name;
        EXPECT_LE(t.maxFileBytes(), kMaxTableFileBytes) << d.name;
    }
    // A row count beyond the limit is refused, even when the file holds the rows.
    Table one({{"n", FieldType::Integer}});
    const std::string empty = one.serialize(); // ... row count 4, checksum 4
    const uint32_t rows = uint32_t(kMaxTableRows + 1);
    std::string b = empty.substr(0, empty.size() - 8);
    for (int k = 0; k < 4; ++k)
        b += char(rows >> (8 * k));
    b.append(size_t(rows) * 4, '\0');
    const uint64_t total = b.size() + 4;
    for (int k = 0; k < 8; ++k)
        b[12 + size_t(k)] = char(total >> (8 * k));
    const uint32_t crc = crc32(b);
    for (int k = 0; k < 4; ++k)
        b += char(crc >> (8 * k));
    const TableResult r = Table(one.fields()).loadFromBytes(b);
    EXPECT_EQ(r.status, TableStatus::Damaged);
    EXPECT_NE(r.message.find("too many rows"), std::string::npos) << r.message;
}

namespace {

// File calls whose writes of one file wait until the test lets them go.
struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    int waiting = 0;

    FileOps ops()
    {
        FileOps o;
        o.write = [this](int fd, const void *buf, size_t n) -> ssize_t {
            std::unique_lock lock(m);
            ++waiting;
            cv.notify_all();
            cv.wait(lock, [this] { return open; });
            return ::write(fd, buf, n);
        };
        return o;
    }
    void waitForWriter()
    {
        std::unique_lock lock(m);
        cv.wait(lock, [this] { return waiting > 0; });
    }
    void release()
    {
        std::lock_guard lock(m);
        open = true;
        cv.notify_all();
    }
};

} // namespace

// While one snapshot of a table is written, newer ones queue; only the newest of them is written
// after it, and each result comes back with the change count it wrote.
TEST(TableSaver, WritesTheNewestSnapshotAfterTheOneUnderWay)
{
    TempDir dir;
    const std::string f = dir.file("t.cds");
    Gate gate;
    const FileOps ops = gate.ops();
    Table t = smsTable();
    TableSaver saver;
    addSms(t, 1);
    saver.submit(7, f, t.snapshot(), ops);
    gate.waitForWriter();
    EXPECT_TRUE(saver.busy(7));
    EXPECT_FALSE(saver.busy(8));
    addSms(t, 2);
    saver.submit(7, f, t.snapshot(), ops);
    addSms(t, 3);
    const uint64_t newest = t.changes();
    saver.submit(7, f, t.snapshot(), ops);
    gate.release();
    saver.waitIdle();
    EXPECT_FALSE(saver.busy(7));
    const std::vector<TableSaver::Done> done = saver.takeDone();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_TRUE(done[0].result && done[1].result);
    EXPECT_LT(done[0].changes, newest);
    EXPECT_EQ(done[1].changes, newest);
    EXPECT_EQ(done[1].path, f);
    Table back = smsTable();
    ASSERT_TRUE(back.load(f));
    EXPECT_EQ(back.totalRows(), 3);
    EXPECT_TRUE(saver.takeDone().empty());
}

// A failing write comes back as a result naming the file and the cause; the old file stays.
TEST(TableSaver, AFailureIsReportedAndTheOldFileStays)
{
    TempDir dir;
    const std::string f = dir.file("t.cds");
    Table t = smsTable();
    addSms(t, 1);
    ASSERT_TRUE(t.save(f));
    addSms(t, 2);
    FileOps full;
    full.write = [](int, const void *, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    {
        TableSaver saver;
        saver.submit(1, f, t.snapshot(), full);
    } // the destructor finishes the queue
    Table back = smsTable();
    ASSERT_TRUE(back.load(f));
    EXPECT_EQ(back.totalRows(), 1);
    TableSaver saver;
    saver.submit(1, f, t.snapshot(), full);
    saver.waitIdle();
    const auto done = saver.takeDone();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].result.status, TableStatus::IoError);
    EXPECT_EQ(done[0].result.message, "Cannot write " + f + ": No space left on device");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"t.cds"});
}
