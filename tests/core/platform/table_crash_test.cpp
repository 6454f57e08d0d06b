// A process killed at any moment while saving leaves a table file that loads whole: the old
// table or the new one, never a mix and never damage.
#include "platform/table.h"

#include "table_fixture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

using namespace platform;
using platform_test::sameTable;
using platform_test::smsTable;
using platform_test::TempDir;

namespace {

Table filled(int rows, const std::string &tag)
{
    Table t = smsTable();
    for (int i = 1; i <= rows; ++i) {
        t.append();
        t.setInt("id", i);
        t.setInt("boxid", i % 10);
        t.setText("Tel", tag + std::to_string(i));
        t.setText("body", platform_test::repeat(tag == "A" ? "甲" : "b", 100));
        t.post();
    }
    return t;
}

} // namespace

TEST(TableCrash, KilledWhileSavingTheFileIsOldOrNew)
{
    TempDir dir;
    const std::string path = dir.file("Smsinfo.cds");
    const Table a = filled(150, "A");
    const Table b = filled(220, "B");
    ASSERT_TRUE(a.save(path));

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> delayUs(0, 10000);
    int sawA = 0, sawB = 0;
    for (int round = 0; round < 50; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned k = 0;; ++k)
                (k % 2 ? a : b).save(path);
        }
        ::usleep(useconds_t(delayUs(rng)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        Table back = smsTable();
        auto r = back.load(path);
        ASSERT_TRUE(r) << "round " << round << ": " << r.message;
        bool isA = sameTable(back, a), isB = sameTable(back, b);
        ASSERT_TRUE(isA || isB) << "round " << round;
        sawA += isA;
        sawB += isB;
    }
    // Everything else in the folder is an abandoned temporary; the next save clears them away.
    for (const std::string &name : dir.list()) {
        if (name != "Smsinfo.cds") {
            EXPECT_EQ(name.rfind(".Smsinfo.cds.tmp.", 0), 0u) << name;
        }
    }
    ASSERT_TRUE(a.save(path));
    EXPECT_EQ(dir.list(), std::vector<std::string>{"Smsinfo.cds"});
    std::printf("old/new after 50 kills: %d/%d\n", sawA, sawB);
}
