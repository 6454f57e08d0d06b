// Adding and saving messages over a real message table on disk: ids, duplicates, texts that a
// pasted-in query would have broken, and bodies of 160 characters that are longer in bytes.
#include "sms_store.h"

#include <gtest/gtest.h>

#include <limits>

using content::ArraySms;
using content::Ssms;
using content_test::SmsStore;

namespace {

std::string repeat(const std::string &s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

} // namespace

TEST(SmsAdding, FirstMessageGetsIdOneAndIdsClimbOverTheWholeTable)
{
    SmsStore s;
    EXPECT_EQ(s.add(content::kBoxDrafts, "+441", "first"), 1);
    s.reopen();
    EXPECT_EQ(s.add(content::kBoxSent, "+442", "second"), 2);

    // The highest id lies in another box and the caller left a filter on the table: the new id is
    // still one above every id of the table.
    s.table().append();
    s.table().setInt("id", 40);
    s.table().setInt("boxid", content::kBoxReceived);
    s.table().post();
    s.table().setFilter(platform::eq("boxid", content::kBoxDrafts));
    EXPECT_EQ(s.add(content::kBoxDrafts, "+443", "third"), 41);
    EXPECT_FALSE(s.table().filtered());

    // Several records in one call: consecutive ids, the answer is the last one.
    ArraySms two{Ssms{.boxid = 2, .Tel = "a", .body = "x"}, Ssms{.boxid = 2, .Tel = "b", .body = "y"}};
    EXPECT_EQ(s.sms->AddMessages(two, -1, false), 43);
    EXPECT_EQ(two[0].id, 42);
    EXPECT_EQ(two[1].id, 43);
}

// Rows whose ids are not in file order (no index active, or written by hand): the new id is still
// above the highest.
TEST(SmsAdding, NewIdIgnoresRowOrder)
{
    SmsStore s;
    platform::Table &t = s.table();
    ASSERT_TRUE(t.setActiveIndex(""));
    for (int id : {7, 3}) {
        t.append();
        t.setInt("id", id);
        t.setInt("boxid", 1);
        t.post();
    }
    EXPECT_EQ(s.add(content::kBoxDrafts, "+44", "x"), 8);
}

TEST(SmsAdding, SameReceivedMessageTwiceLeavesOneRowKeepingItsReadMark)
{
    {
        SmsStore s;
        const int32_t id = s.add(content::kBoxReceived, "+4479", "see you at 8", content::kStateRead);
        s.reopen();
        ArraySms again{Ssms{.boxid = content::kBoxReceived, .states = content::kStateFromHandset, .Tel = "+4479",
                            .time = "2026-03-04 05:06:07", .body = "see you at 8", .Sca = "+4470"}};
        EXPECT_EQ(s.sms->AddMessages(again, -1, false), -1); // no new row
        EXPECT_EQ(again[0].id, id);
        EXPECT_EQ(s.table().totalRows(), 1);
        EXPECT_EQ(s.get(id).states, content::kStateRead) << "read stays read";
        EXPECT_EQ(s.get(id).Sca, "+4470");

        // Another time or another box is another message.
        s.add(content::kBoxReceived, "+4479", "see you at 8", 2, "2026-03-04 05:06:08");
        s.add(content::kBoxSent, "+4479", "see you at 8", 2);
        EXPECT_EQ(s.table().totalRows(), 3);
    }

    // Twice in one list: the second copy updates the row the first made.
    {
        SmsStore s;
        ArraySms pair{Ssms{.boxid = 1, .states = 2, .Tel = "+44", .body = "twice"},
                      Ssms{.boxid = 1, .states = 2, .Tel = "+44", .body = "twice", .Sca = "+9"}};
        EXPECT_EQ(s.sms->AddMessages(pair, -1, false), 1);
        EXPECT_EQ(pair[1].id, 1);
        EXPECT_EQ(s.table().totalRows(), 1);
        EXPECT_EQ(s.get(1).Sca, "+9");
    }
}

// What the user sends or saves is never merged: each record is a row of its own, also when a
// list holds the same record twice ("+1;+1").
TEST(SmsAdding, SentUnsentAndDraftRecordsAreNeverMerged)
{
    for (int box : {content::kBoxOutbox, content::kBoxSent, content::kBoxDrafts, content::kBoxPhoneReceived}) {
        SCOPED_TRACE(box);
        SmsStore s;
        const Ssms r{.boxid = box, .Tel = "+1", .time = "2026-03-04 05:06:07", .body = "same"};
        ArraySms twice{r, r};
        EXPECT_EQ(s.sms->AddMessages(twice, -1, false), 2);
        ArraySms again{r};
        EXPECT_EQ(s.sms->AddMessages(again, -1, false), 3);
        EXPECT_EQ(s.table().totalRows(), 3);
    }
}

// A received message the user deleted is not brought back by the next download while its copy
// waits in the recycle box; restored, it is one message, and a later download merges with it.
TEST(SmsAdding, ReceivedMessageInTheRecycleBoxIsNotAddedAgain)
{
    SmsStore s;
    const int32_t id = s.add(content::kBoxReceived, "+44", "deleted");
    ArraySms del{Ssms{.id = id, .boxid = content::kBoxReceived}};
    ASSERT_EQ(s.sms->DeleteMessages(del), 0);
    ArraySms download{Ssms{.boxid = content::kBoxReceived, .states = 2, .Tel = "+44",
                           .time = "2026-03-04 05:06:07", .body = "deleted"}};
    EXPECT_EQ(s.sms->AddMessages(download, -1, false), -1);
    EXPECT_EQ(s.table().totalRows(), 1);
    EXPECT_EQ(s.get(id).boxid, content::kBoxRecycle);

    ASSERT_EQ(s.sms->UndeleteMessages(id), 0);
    EXPECT_EQ(s.sms->AddMessages(download, -1, false), -1);
    EXPECT_EQ(s.table().totalRows(), 1);
    EXPECT_EQ(s.get(id).boxid, content::kBoxReceived);

    // A deleted draft with the same texts is no Inbox copy.
    const int32_t draft = s.add(content::kBoxDrafts, "+45", "text");
    ArraySms delDraft{Ssms{.id = draft, .boxid = content::kBoxDrafts}};
    ASSERT_EQ(s.sms->DeleteMessages(delDraft), 0);
    EXPECT_GT(s.add(content::kBoxReceived, "+45", "text"), 0);
}

// Phone-side rows are rebuilt by each download: the user's mark survives their removal.
TEST(SmsAdding, PhoneSideRowsGetTheirReadMarkBack)
{
    SmsStore s;
    const int32_t read = s.add(content::kBoxPhoneReceived, "+1", "read one", content::kStateFromHandset);
    s.add(content::kBoxPhoneReceived, "+1", "unread one", content::kStateFromHandset);
    Ssms m = s.get(read);
    m.states = content::kStateRead;
    ArraySms save{m};
    ASSERT_EQ(s.sms->SaveMessages(save), 0);
    EXPECT_EQ(s.sms->RemovePhoneRows(), 2);
    const int32_t a = s.add(content::kBoxPhoneReceived, "+1", "read one", content::kStateFromHandset);
    const int32_t b = s.add(content::kBoxPhoneReceived, "+1", "unread one", content::kStateFromHandset);
    EXPECT_EQ(s.get(a).states, content::kStateRead);
    EXPECT_EQ(s.get(b).states, content::kStateFromHandset);
}

TEST(SmsAdding, QuotesAndNonAsciiAreStoredAsTheyAreAndFoundAsDuplicates)
{
    const std::vector<Ssms> records = {
        {.boxid = 1, .Tel = "O'Brien", .time = "2026-01-01 00:00:00", .body = "it's 'quoted' ''"},
        {.boxid = 1, .Tel = "+44\"1\"", .time = "--", .body = "say \"hi\" and \\ and ' or 1=1 --"},
        {.boxid = 1, .Tel = "Jürgen", .time = "2026-01-01 00:00:01", .body = "Grüße aus Köln, 你好 😀"},
        {.boxid = 1, .Tel = "", .time = "", .body = "'"},
    };
    SmsStore s;
    std::vector<int32_t> ids;
    for (const Ssms &r : records) {
        ArraySms one{r};
        EXPECT_GT(s.sms->AddMessages(one, -1, false), 0);
        ids.push_back(one[0].id);
    }
    s.reopen();
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(records[i].body);
        Ssms got = s.get(ids[i]);
        Ssms want = records[i];
        want.id = ids[i];
        EXPECT_EQ(got, want);
        ArraySms again{records[i]};
        EXPECT_EQ(s.sms->AddMessages(again, -1, false), -1);
        EXPECT_EQ(again[0].id, ids[i]);
    }
    EXPECT_EQ(s.table().totalRows(), int(records.size()));
}

TEST(SmsAdding, BodiesOf160CharactersSurviveSaveAndLoad)
{
    const std::string chinese = repeat("短信", 35);                          // 70 characters, 210 bytes
    const std::string gsm = repeat("Ä£é@_ü", 26) + "äöüß";                    // 160 characters
    ASSERT_EQ(chinese.size(), 210u);
    ASSERT_EQ(platform::Table::countChars(gsm), 160u);
    ASSERT_GT(gsm.size(), 160u);

    SmsStore s;
    const int32_t a = s.add(content::kBoxReceived, "+86", chinese);
    const int32_t b = s.add(content::kBoxDrafts, "+44", gsm);
    s.reopen();
    EXPECT_EQ(s.get(a).body, chinese);
    EXPECT_EQ(s.get(b).body, gsm);

    // A longer body is cut to 160 characters on a character boundary, and the cut text is what a
    // second copy is compared with.
    const std::string tooLong = repeat("短", 170);
    const int32_t c = s.add(content::kBoxReceived, "+86", tooLong);
    s.reopen();
    EXPECT_EQ(s.get(c).body, repeat("短", 160));
    ArraySms again{Ssms{.boxid = 1, .Tel = "+86", .time = "2026-03-04 05:06:07", .body = tooLong}};
    EXPECT_EQ(s.sms->AddMessages(again, -1, false), -1);
    EXPECT_EQ(again[0].id, c);
}

TEST(SmsSaving, UpdatesRowsByIdAndAddsTheOnesWithoutARow)
{
    SmsStore s;
    const int32_t id = s.add(content::kBoxDrafts, "+441", "draft");
    Ssms m = s.get(id);
    m.boxid = content::kBoxOutbox;
    m.body = "it's ready";
    m.states = 1;
    ArraySms list{m, Ssms{.id = 99, .boxid = content::kBoxDrafts, .Tel = "+442", .body = "new"}};
    EXPECT_EQ(s.sms->SaveMessages(list), 0);
    EXPECT_EQ(list[1].id, id + 1); // added, its new id written back
    s.reopen();
    EXPECT_EQ(s.get(id), m);
    EXPECT_EQ(s.get(id + 1).body, "new");
    EXPECT_EQ(s.table().totalRows(), 2);
}

TEST(SmsMessages, GetMessageOfAnUnknownIdChangesNothing)
{
    SmsStore s;
    s.add(content::kBoxDrafts, "+441", "x");
    Ssms m{.id = 5, .boxid = 3, .Tel = "keep"};
    const Ssms before = m;
    EXPECT_EQ(s.sms->GetMessage(m), content::kSmsFailed);
    EXPECT_EQ(m, before);
}

// A store whose table could not be opened takes nothing and lists nothing.
TEST(SmsMessages, ClosedTableIsAnEmptyStore)
{
    content::FakeEnv env;
    content::TSMSManage sms(env, nullptr);
    ArraySms one{Ssms{.boxid = 1, .body = "x"}};
    EXPECT_EQ(sms.AddMessages(one, -1, false), -1);
    EXPECT_EQ(sms.UndeleteMessages(1), content::kSmsFailed);
    EXPECT_TRUE(sms.FillList(0).rows.empty());
    EXPECT_EQ(sms.FillList(0).columns.size(), 4u);
}

// A message that holds the largest id: a new message is refused with one box (not one per
// batch), the rows stay as they were, and once that message is gone new ones are stored again.
TEST(SmsAdding, TheLargestIdIsRefusedWithABox)
{
    SmsStore s;
    s.add(content::kBoxReceived, "+441", "old");
    platform::Table &t = s.table();
    t.append();
    t.setInt("id", std::numeric_limits<int32_t>::max());
    t.setInt("boxid", content::kBoxRecycle);
    ASSERT_TRUE(t.post());
    for (int batch = 0; batch < 3; ++batch) {
        ArraySms draft{Ssms{.boxid = content::kBoxDrafts, .Tel = "+44", .body = "draft"}};
        EXPECT_EQ(s.sms->AddMessages(draft, -1, false), -1);
    }
    EXPECT_EQ(t.totalRows(), 2);
    EXPECT_EQ(s.env.prompt.texts(), std::vector<std::string>{content::kSmsNoIdLeft});
    // A duplicate of a stored message needs no new id: it is still matched.
    ArraySms same{Ssms{.boxid = content::kBoxReceived, .Tel = "+441", .time = "2026-03-04 05:06:07", .body = "old"}};
    EXPECT_EQ(s.sms->AddMessages(same, -1, false), -1);
    EXPECT_EQ(same[0].id, 1);

    ArraySms gone{Ssms{.id = std::numeric_limits<int32_t>::max(), .boxid = content::kBoxRecycle}};
    ASSERT_EQ(s.sms->DeleteMessages(gone), 0);
    EXPECT_EQ(s.add(content::kBoxDrafts, "+44", "draft"), 2);
    s.reopen();
    EXPECT_EQ(s.get(2).body, "draft");
}
