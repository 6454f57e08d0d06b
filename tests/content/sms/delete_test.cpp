// Deleting and restoring over a real message table on disk, one table of cases: the box the caller
// lists a message in decides, the row's own box is what a restore goes back to, and ids without
// a row (or rows that were never deleted) change nothing.
#include "sms_store.h"

#include <gtest/gtest.h>

using content::ArraySms;
using content::Ssms;
using content_test::SmsStore;

namespace {

constexpr int kGone = -100; // expected box: the row was removed

struct DeleteCase {
    const char *name;
    int rowBox;     // the row's own box
    int listedBox;  // the box the caller deletes it from
    int boxAfter;   // kGone: removed
    int oldAfter;   // OldBoxid afterwards (when kept)
};

const DeleteCase kDeletes[] = {
    {"received to recycle", 1, 1, 5, 1},
    {"from the list of box 0", 3, 0, 5, 3},
    {"draft", 4, 4, 5, 4},
    {"recycle box removes", 5, 5, kGone, 0},
    {"box 6 removes", 6, 6, kGone, 0},
    {"phone root removes", 8, 7, kGone, 0},
    {"phone-side removes", 9, 9, kGone, 0},
    {"recycled row listed elsewhere keeps its old box", 5, 0, 5, 2},
};

} // namespace

TEST(SmsDeleting, TableOfCases)
{
    for (const DeleteCase &c : kDeletes) {
        SCOPED_TRACE(c.name);
        SmsStore s;
        const int32_t keep = s.add(content::kBoxReceived, "+440", "bystander");
        const int32_t id = s.add(c.rowBox, "+441", "message");
        // A recycled row came from box 2.
        if (content::isRecycleBox(c.rowBox)) {
            s.table().clearFilter();
            ASSERT_TRUE(s.table().locate("id", id));
            s.table().edit();
            s.table().setInt("OldBoxid", 2);
            s.table().post();
        }
        ArraySms list{Ssms{.id = id, .boxid = c.listedBox}};
        EXPECT_EQ(s.sms->DeleteMessages(list), 0);
        s.reopen();
        if (c.boxAfter == kGone) {
            EXPECT_FALSE(s.has(id));
        } else {
            EXPECT_EQ(s.integer(id, "boxid"), c.boxAfter);
            EXPECT_EQ(s.integer(id, "OldBoxid"), c.oldAfter);
        }
        EXPECT_EQ(s.integer(keep, "boxid"), content::kBoxReceived);
        EXPECT_EQ(s.table().totalRows(), c.boxAfter == kGone ? 1 : 2);
    }
}

TEST(SmsDeleting, RemovedPhoneRowGivesItsPositionBack)
{
    SmsStore s;
    ArraySms one{Ssms{.boxid = content::kBoxPhoneReceived, .Tid = 17, .Tel = "+44", .body = "x"}};
    s.sms->AddMessages(one, -1, false);
    ArraySms del{Ssms{.id = one[0].id, .boxid = content::kBoxPhone}};
    EXPECT_EQ(s.sms->DeleteMessages(del), 0);
    EXPECT_EQ(del[0].Tid, 17);
}

// Clearing a box hands over all its rows at once; they go in one pass, and only they go.
TEST(SmsDeleting, ClearingABoxRemovesEveryListedRowAndNoOther)
{
    SmsStore s;
    ArraySms made;
    for (int i = 0; i < 300; ++i)
        made.push_back(Ssms{.boxid = i % 3 == 0 ? content::kBoxReceived : content::kBoxRecycle,
                            .Tid = i, .Tel = "+44", .body = "message " + std::to_string(i)});
    ASSERT_GT(s.sms->AddMessages(made, -1, false), 0);

    ArraySms clear;
    for (const content::SmsListRow &r : s.sms->FillList(content::kBoxRecycle).rows)
        clear.push_back(Ssms{.id = r.id, .boxid = content::kBoxRecycle});
    ASSERT_EQ(clear.size(), 200u);
    clear.push_back(clear.front());                                  // listed twice
    clear.push_back(Ssms{.id = 999, .boxid = content::kBoxRecycle}); // stale
    clear.push_back(Ssms{.id = made[0].id, .boxid = content::kBoxReceived});
    EXPECT_EQ(s.sms->DeleteMessages(clear), 0);
    EXPECT_EQ(clear[1].Tid, 2); // the removed row's position, as for one row

    s.reopen();
    EXPECT_TRUE(s.sms->FillList(content::kBoxRecycle).rows.size() == 1); // made[0], just moved there
    EXPECT_EQ(s.integer(made[0].id, "OldBoxid"), content::kBoxReceived);
    EXPECT_EQ(s.sms->FillList(content::kBoxReceived).rows.size(), 99u);
    EXPECT_EQ(s.table().totalRows(), 100);
}

TEST(SmsDeleting, UnknownIdChangesNothing)
{
    SmsStore s;
    s.add(content::kBoxReceived, "+441", "a");
    s.add(content::kBoxDrafts, "+442", "b");
    s.add(content::kBoxRecycle, "+443", "c");
    const std::vector<platform::Row> before = s.table().rows();
    for (int box : {0, 1, 4, 5, 6, 7, 8}) {
        // The cursor stands on a row, as it does after a listing: a stale id must not touch it.
        s.table().last();
        ArraySms stale{Ssms{.id = 77, .boxid = box}};
        EXPECT_EQ(s.sms->DeleteMessages(stale), 0);
        EXPECT_EQ(s.sms->UndeleteMessages(77), content::kSmsFailed);
    }
    s.reopen();
    EXPECT_EQ(s.table().rows(), before);
}

TEST(SmsRestoring, BackToTheBoxItCameFrom)
{
    SmsStore s;
    const int32_t id = s.add(content::kBoxReceived, "+441", "a");
    ArraySms del{Ssms{.id = id, .boxid = content::kBoxReceived}};
    s.sms->DeleteMessages(del);
    s.reopen();
    EXPECT_EQ(s.integer(id, "boxid"), content::kBoxRecycle);
    EXPECT_EQ(s.sms->UndeleteMessages(id), 0);
    s.reopen();
    EXPECT_EQ(s.integer(id, "boxid"), content::kBoxReceived);

    // Box 6 restores too.
    s.table().clearFilter();
    ASSERT_TRUE(s.table().locate("id", id));
    s.table().edit();
    s.table().setInt("boxid", content::kBoxHidden);
    s.table().setInt("OldBoxid", content::kBoxDrafts);
    s.table().post();
    EXPECT_EQ(s.sms->UndeleteMessages(id), 0);
    EXPECT_EQ(s.integer(id, "boxid"), content::kBoxDrafts);
}

TEST(SmsRestoring, RowsOutsideTheRecycleBoxesStayPut)
{
    for (int box : {0, 1, 2, 3, 4, 8, 9}) {
        SCOPED_TRACE(box);
        SmsStore s;
        const int32_t id = s.add(box, "+441", "never deleted");
        const std::vector<platform::Row> before = s.table().rows();
        EXPECT_EQ(s.sms->UndeleteMessages(id), content::kSmsFailed);
        s.reopen();
        EXPECT_EQ(s.table().rows(), before);
    }
}
