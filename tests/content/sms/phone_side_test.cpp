// Where the handset side takes over for boxes 7 and above: the store calls the hooks at the right
// moments and honours what they answer.
#include "sms_store.h"

#include <gtest/gtest.h>

using content::ArraySms;
using content::Ssms;
using content::SmsPhoneSide;
using content_test::SmsStore;

namespace {

struct RecordingSide : SmsPhoneSide {
    std::vector<std::string> calls;
    Step reserveAnswer = Step::Go;
    Step deleteAnswer = Step::Go;
    Step saveAnswer = Step::Go;
    bool batchOk = true;

    Step reserveForAdd(const Ssms &m, int32_t id, int storage, bool toHandset) override
    {
        calls.push_back("reserve " + m.body + " " + std::to_string(id) + " " + std::to_string(storage) +
                        (toHandset ? " write" : ""));
        return m.body == "full" ? reserveAnswer : Step::Go;
    }
    void added(const Ssms &m) override { calls.push_back("added " + std::to_string(m.id)); }
    bool endAdd() override { calls.push_back("endAdd"); return batchOk; }
    Step beforeSave(const Ssms &m) override { calls.push_back("beforeSave " + m.body); return Step::Go; }
    Step saved(const Ssms &, bool changed) override
    {
        calls.push_back(changed ? "saved changed" : "saved same");
        return saveAnswer;
    }
    bool endSave() override { calls.push_back("endSave"); return batchOk; }
    Step deleted(const Ssms &m) override { calls.push_back("deleted " + std::to_string(m.Tid)); return deleteAnswer; }
    bool endDelete() override { calls.push_back("endDelete"); return batchOk; }
};

} // namespace

TEST(SmsPhoneSide, AddingReservesWritesAndRunsOneBatch)
{
    SmsStore s;
    RecordingSide side;
    side.reserveAnswer = SmsPhoneSide::Step::Stop;
    s.sms->setPhoneSide(&side);
    ArraySms list{Ssms{.boxid = 9, .body = "a"}, Ssms{.boxid = 2, .body = "local"},
                  Ssms{.boxid = 9, .body = "full"}, Ssms{.boxid = 9, .body = "never"}};
    EXPECT_EQ(s.sms->AddMessages(list, 2, true), 2);
    EXPECT_EQ(side.calls, (std::vector<std::string>{"reserve a 1 2 write", "added 1", "reserve full 3 2 write",
                                                    "endAdd"}));
    EXPECT_EQ(s.table().totalRows(), 2);

    side.calls.clear();
    side.batchOk = false; // cancelled
    ArraySms more{Ssms{.boxid = 8, .body = "b"}};
    EXPECT_EQ(s.sms->AddMessages(more, 1, true), content::kSmsFailed);
    s.sms->setPhoneSide(nullptr);
}

TEST(SmsPhoneSide, SaveAndDeleteStopWhereTheHandsetSideSays)
{
    SmsStore s;
    RecordingSide side;
    s.sms->setPhoneSide(&side);
    ArraySms rows{Ssms{.boxid = 8, .Tid = 4, .body = "x"}, Ssms{.boxid = 8, .Tid = 5, .body = "y"},
                  Ssms{.boxid = 8, .Tid = 6, .body = "z"}};
    s.sms->AddMessages(rows, -1, false);
    side.calls.clear();

    // No slot for the rewrite: the row keeps its old text.
    side.saveAnswer = SmsPhoneSide::Step::Skip;
    ArraySms edit{rows[0]};
    edit[0].body = "edited";
    EXPECT_EQ(s.sms->SaveMessages(edit), 0);
    EXPECT_EQ(s.get(rows[0].id).body, "x");
    EXPECT_EQ(side.calls, (std::vector<std::string>{"beforeSave edited", "saved changed", "endSave"}));

    side.calls.clear();
    side.deleteAnswer = SmsPhoneSide::Step::Stop;
    ArraySms del{Ssms{.id = rows[1].id, .boxid = 8}, Ssms{.id = rows[2].id, .boxid = 8}};
    EXPECT_EQ(s.sms->DeleteMessages(del), content::kSmsFailed);
    // The handset side is asked before the row goes: the stopping record keeps its row, the
    // rest is not touched, and the jobs queued so far still run.
    EXPECT_EQ(side.calls, (std::vector<std::string>{"deleted 5", "endDelete"}));
    EXPECT_TRUE(s.has(rows[1].id));
    EXPECT_TRUE(s.has(rows[2].id));
    s.sms->setPhoneSide(nullptr);
}
