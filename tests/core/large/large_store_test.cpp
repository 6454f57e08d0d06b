// A million messages of 160 wide characters: what the program can hold it saves, loads again and
// lists, and past the table's limit a new message is refused with a box, not saved into a file
// the next start would refuse.
#include "content/fake_env.h"
#include "content/sms_manage.h"
#include "core/db_main.h"
#include "core/platform/temp_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

using core::DbTable;

// 160 characters of three bytes each.
std::string wideBody(int i)
{
    std::string s;
    for (int k = 0; k < 160; ++k)
        s += (k + i) % 2 ? "短" : "信";
    return s;
}

// Appends messages with ids from..to straight into the table (the store's own add would make the
// test slow without showing more).
void fill(platform::Table &t, int from, int to)
{
    const int fId = t.fieldIndex("id"), fBox = t.fieldIndex("boxid"), fTel = t.fieldIndex("Tel"),
              fTime = t.fieldIndex("time"), fBody = t.fieldIndex("body");
    for (int i = from; i <= to; ++i) {
        t.append();
        t.setIntAt(fId, i);
        t.setIntAt(fBox, content::kBoxReceived);
        t.setTextAt(fTel, "+86138" + std::to_string(10000000 + i));
        t.setTextAt(fTime, "2026-03-04 05:06:07");
        t.setTextAt(fBody, wideBody(i));
        ASSERT_TRUE(t.post()) << i;
    }
}

} // namespace

TEST(LargeStore, AMillionWideMessagesSaveLoadListAndTheLimitIsRefused)
{
    constexpr int kMillion = 1'000'000;
    platform_test::TempTree tree;
    tree.dir("Database");
    const std::string dir = tree.path("Database");
    content::FakeEnv env;
    {
        auto db = std::make_unique<core::TdbMain>(dir, &env.prompt);
        fill(db->table(DbTable::Smsinfo), 1, kMillion);
        ASSERT_EQ(db->SaveAll(), 0);
    }
    // Beyond what the loader used to take (256 MiB, 8 Mi values).
    EXPECT_GT(std::filesystem::file_size(dir + "/Smsinfo.cds"), 256u << 20);

    auto db = std::make_unique<core::TdbMain>(dir, &env.prompt);
    ASSERT_TRUE(db->isOpen(DbTable::Smsinfo));
    platform::Table &t = db->table(DbTable::Smsinfo);
    ASSERT_EQ(t.totalRows(), kMillion);
    {
        content::TSMSManage sms(env, &t);
        const content::SmsList list = sms.FillList(content::kBoxLocal);
        ASSERT_EQ(list.rows.size(), size_t(kMillion));
        EXPECT_EQ(list.rows.back().body, wideBody(kMillion));
        content::Ssms m{.id = 777777};
        ASSERT_EQ(sms.GetMessage(m), 0);
        EXPECT_EQ(m.body, wideBody(777777));
    }

    // Up to the limit, then one more is refused with a box; the full table still loads.
    const int limit = int(t.maxRows());
    fill(t, kMillion + 1, limit);
    EXPECT_TRUE(t.full());
    {
        content::TSMSManage sms(env, &t);
        content::ArraySms one{content::Ssms{.boxid = content::kBoxDrafts, .Tel = "+44", .body = "one more"}};
        EXPECT_EQ(sms.AddMessages(one, -1, false), -1);
        EXPECT_EQ(env.prompt.texts(), std::vector<std::string>{content::kSmsStoreFull});
    }
    ASSERT_EQ(db->SaveAll(), 0);
    db.reset();
    platform::Table back = core::makeDbTable(DbTable::Smsinfo);
    ASSERT_TRUE(back.load(dir + "/Smsinfo.cds"));
    EXPECT_EQ(back.totalRows(), limit);
}
