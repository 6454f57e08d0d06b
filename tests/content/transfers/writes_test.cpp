// Writing, rewriting, deleting and sending against the FakeHandset: where each message ends up,
// on the handset, in its row and in the slot tables, whatever each job answered.

#include "transfer_fixture.h"

#include "dv_util.h"

#include <cstring>

namespace transfer_test {
namespace {

using content::ArraySms;
using content::Ssms;

class WriteTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        handset.store.storage(1) = FakeStorage{1, 6};
        handset.store.storage(2) = FakeStorage{1, 4};
    }
    // A new box-9 message written to the handset; answers AddMessages' answer.
    int addToHandset(ArraySms &list, int storage = -1) { return store.sms->AddMessages(list, storage, true); }
    static Ssms out(std::string body, int32_t tid = 0)
    {
        return Ssms{.boxid = content::kBoxPhoneStored, .Tid = tid, .Tel = "+4477", .body = std::move(body)};
    }
    const content::SmsSlot &slot(int s, int32_t pos)
    {
        for (const content::SmsSlot &e : phone->slotTable(s))
            if (e.position == pos)
                return e;
        static content::SmsSlot none{-9, -9, -9, 99};
        return none;
    }
};

TEST_F(WriteTest, NothingChangesBeforeTheFirstDownload)
{
    ArraySms add{out("new")};
    EXPECT_EQ(addToHandset(add), content::kSmsNoState);
    EXPECT_EQ(shown(), std::vector<std::string>{"<SmsMng_MessCode1>"});
    EXPECT_TRUE(box(9).empty());
    EXPECT_EQ(handset.runner->batchesRun(), 0);
}

TEST_F(WriteTest, NewMessageLiesWhereTheHandsetPutsItAndAnEditAndDeleteFollowIt)
{
    handset.store.put(1, 2, stored("+1", "old"));
    download();

    // Asked for position 5; the handset takes its first free index, 1.
    ArraySms add{out("first text", 5)};
    EXPECT_GT(addToHandset(add, 1), 0);
    EXPECT_EQ(handset.store.logOf("beginWrite"), std::vector<std::string>{"beginWrite 1 5 1"});
    EXPECT_EQ(handset.store.textAt(1, 1), "first text");
    const int32_t id = add[0].id;
    EXPECT_EQ(store.get(id).Tid, 1);
    EXPECT_EQ(store.get(id).boxid, content::kBoxPhoneStored);
    EXPECT_EQ(slot(1, 1), (content::SmsSlot{id, 1, 1, content::kSlotOccupied}));
    EXPECT_EQ(slot(1, 5).state, content::kSlotFree);
    EXPECT_EQ(slot(1, 5).id, -1);

    // Edit: the old place is deleted and the text written anew where the handset puts it.
    handset.store.log.clear();
    handset.store.put(1, 1, stored("+4477", "first text")); // (as written)
    ArraySms edit{store.get(id)};
    edit[0].body = "second text";
    EXPECT_EQ(store.sms->SaveMessages(edit), 0);
    EXPECT_EQ(handset.store.logOf("del"), std::vector<std::string>{"del 1 1"});
    EXPECT_EQ(handset.store.textAt(1, 1), "second text") << "the handset reuses the freed index";
    EXPECT_EQ(store.get(id).Tid, 1);
    EXPECT_EQ(store.get(id).body, "second text");

    // Fill index 1's neighbour so the next rewrite moves: the row follows.
    handset.store.log.clear();
    ArraySms again{store.get(id)};
    again[0].body = "third text";
    handset.store.itemAnswer.clear();
    handset.store.resetItems();
    EXPECT_EQ(store.sms->SaveMessages(again), 0);
    const int32_t where = store.get(id).Tid;
    EXPECT_EQ(handset.store.textAt(1, where), "third text");
    EXPECT_EQ(slot(1, where), (content::SmsSlot{id, where, 1, content::kSlotOccupied}));

    // A delete goes to where the message lies.
    handset.store.log.clear();
    ArraySms del{Ssms{.id = id, .boxid = content::kBoxPhoneStored}};
    EXPECT_EQ(store.sms->DeleteMessages(del), 0);
    EXPECT_EQ(handset.store.logOf("del"), std::vector<std::string>{"del 1 " + std::to_string(where)});
    EXPECT_EQ(handset.store.textAt(1, where), "<none>");
    EXPECT_EQ(handset.store.textAt(1, 2), "old");
    EXPECT_EQ(slot(1, where).state, content::kSlotFree);
    EXPECT_TRUE(shown().empty());
}

TEST_F(WriteTest, MarkingReadSendsNothingAndKeepsTheSlot)
{
    handset.store.put(2, 3, received("+1", "unread"));
    download();
    Ssms m = box(8).at(0);
    m.states = 1;
    ArraySms save{m};
    EXPECT_EQ(store.sms->SaveMessages(save), 0);
    EXPECT_TRUE(handset.store.log.empty());
    EXPECT_EQ(handset.runner->batchesRun(), 1);
    EXPECT_EQ(slot(2, 3), (content::SmsSlot{m.id, 3, 2, content::kSlotOccupied}));
    EXPECT_EQ(store.get(m.id).states, 1);
}

TEST_F(WriteTest, SavingAnOutOfRangePositionFailsBeforeAnyRequest)
{
    handset.store.put(1, 1, stored("+1", "a"));
    download();
    Ssms m = box(9).at(0);
    m.Tid = 7; // storage 1 holds 1..6, storage 2 1..4
    m.body = "changed";
    ArraySms save{m};
    EXPECT_EQ(store.sms->SaveMessages(save), content::kSmsFailed);
    EXPECT_TRUE(handset.store.log.empty());
    EXPECT_EQ(handset.runner->batchesRun(), 1);
    EXPECT_EQ(store.get(m.id).body, "a");

    // Also when an earlier record of the same save is fine: nothing of it changes either.
    handset.store.put(1, 2, stored("+2", "b"));
    download();
    Ssms fine = box(9).at(0), far = box(9).at(1);
    ASSERT_EQ(fine.body, "a");
    fine.body = "fine";
    far.Tid = 7;
    far.body = "far";
    ArraySms both{fine, far};
    EXPECT_EQ(store.sms->SaveMessages(both), content::kSmsFailed);
    EXPECT_TRUE(handset.store.log.empty());
    EXPECT_EQ(store.get(fine.id).body, "a");
    EXPECT_EQ(slot(1, 1), (content::SmsSlot{fine.id, 1, 1, content::kSlotOccupied}));
}

TEST_F(WriteTest, AnEditedMessageWithoutSlotIsKeptAndTheOthersStillGo)
{
    handset.store.put(1, 1, stored("+1", "a"));
    download();
    ArraySms stray{out("stray", 3)};
    ASSERT_GT(store.sms->AddMessages(stray, 1, false), 0); // a phone-side row no slot knows
    Ssms a = box(9).at(0), s = store.get(stray[0].id);
    a.body = "a2";
    s.body = "stray2";
    ArraySms save{s, a};
    EXPECT_EQ(store.sms->SaveMessages(save), content::kSmsFailed);
    EXPECT_EQ(store.get(s.id).body, "stray");
    EXPECT_EQ(handset.store.textAt(1, store.get(a.id).Tid), "a2");
    EXPECT_EQ(shown(), std::vector<std::string>{"<SmsMng_MemFull>"});
}

TEST_F(WriteTest, ThreeDeletesMakeOneBatchAtEachStorageAndPosition)
{
    handset.store.put(1, 3, received("+1", "a"));
    handset.store.put(2, 4, stored("+2", "b"));
    handset.store.put(1, 5, stored("+3", "c"));
    download();
    ArraySms del;
    for (const Ssms &m : box(8))
        del.push_back(m);
    for (const Ssms &m : box(9))
        del.push_back(m);
    const int before = handset.runner->batchesRun();
    EXPECT_EQ(store.sms->DeleteMessages(del), 0);
    EXPECT_EQ(handset.runner->batchesRun(), before + 1);
    EXPECT_EQ(handset.store.logOf("del"), (std::vector<std::string>{"del 1 3", "del 1 5", "del 2 4"}));
    EXPECT_EQ(phoneRows(), 0);
    EXPECT_EQ(bodies(1), std::vector<std::string>{"a"}) << "the local copy stays";
}

TEST_F(WriteTest, AMessageWithoutSlotIsKeptAndTheOtherDeletesStillRun)
{
    handset.store.put(1, 1, stored("+1", "a"));
    handset.store.put(1, 2, stored("+2", "b"));
    download();
    // A phone-side row that no slot knows (added locally, not from the handset).
    ArraySms stray{out("stray", 3)};
    ASSERT_GT(store.sms->AddMessages(stray, 1, false), 0);
    const std::vector<Ssms> nine = box(9);
    ArraySms del{nine[0], stray[0], nine[1]};
    EXPECT_EQ(store.sms->DeleteMessages(del), content::kSmsFailed);
    EXPECT_EQ(handset.store.logOf("del"), (std::vector<std::string>{"del 1 1", "del 1 2"}));
    EXPECT_EQ(bodies(9), std::vector<std::string>{"stray"});
    EXPECT_EQ(shown(), std::vector<std::string>{"<SmsMng_DelNoSlot>"});
}

TEST_F(WriteTest, FailedJobsLeaveTextsInDraftsAndPlacesTaken)
{
    handset.store.put(1, 1, stored("+1", "keep me"));
    handset.store.put(1, 2, stored("+2", "delete me"));
    download();

    // A new message the handset refuses: its slot is free again and its text in the drafts.
    handset.store.itemAnswer[1] = DV_E_IO;
    ArraySms add{out("refused")};
    EXPECT_GT(addToHandset(add), 0);
    EXPECT_EQ(store.get(add[0].id).boxid, content::kBoxDrafts);
    EXPECT_EQ(bodies(4), std::vector<std::string>{"refused"});
    EXPECT_EQ(slot(1, 3).state, content::kSlotFree);
    EXPECT_EQ(shown(), std::vector<std::string>{"<ErrInfo_CommErrInfo><ErrInfo_9>"});

    // A rewrite whose delete went through and whose write did not: the new text in the drafts.
    clearShown();
    handset.store.resetItems();
    handset.store.itemAnswer = {{2, DV_E_IO}};
    Ssms edit = box(9).at(0);
    edit.body = "edited";
    ArraySms save{edit};
    EXPECT_EQ(store.sms->SaveMessages(save), 0);
    EXPECT_EQ(handset.store.textAt(1, 1), "<none>");
    EXPECT_EQ(store.get(edit.id).boxid, content::kBoxDrafts);
    EXPECT_EQ(store.get(edit.id).body, "edited");
    EXPECT_EQ(shown(), std::vector<std::string>{"<ErrInfo_CommErrInfo><ErrInfo_9>"});

    // A failed delete is reported and its place stays taken.
    clearShown();
    handset.store.resetItems();
    handset.store.itemAnswer = {{1, DV_E_IO}};
    Ssms gone = box(9).at(0);
    ASSERT_EQ(gone.body, "delete me");
    ArraySms del{gone};
    EXPECT_EQ(store.sms->DeleteMessages(del), 0);
    EXPECT_EQ(handset.store.textAt(1, 2), "delete me");
    EXPECT_EQ(slot(1, 2).state, content::kSlotOccupied);
    EXPECT_EQ(shown(), std::vector<std::string>{"<ErrInfo_CommErrInfo><ErrInfo_9>"});
}

// Three new messages, with a cancel at each write and a link fault at each write: the ones the
// handset took are in box 9 where it put them, the others in the drafts with their slots free.
TEST_F(WriteTest, CancelOrLinkFaultPartWayThroughThreeWrites)
{
    for (int stop = 1; stop <= 3; ++stop)
        for (bool cancel : {true, false}) {
            SCOPED_TRACE((cancel ? "cancel at write " : "link fault at write ") + std::to_string(stop));
            handset.store.storage(1).entries.clear();
            handset.store.storage(2).entries.clear();
            handset.store.linkDown = false;
            handset.store.linkDownAt = 0;
            handset.store.onItem = nullptr;
            download();
            if (cancel)
                handset.store.onItem = [&](int n) {
                    if (n == stop)
                        handset.runner->cancel();
                };
            else
                handset.store.linkDownAt = stop;
            ArraySms add{out("one"), out("two"), out("three")};
            const int r = addToHandset(add, 1);
            if (cancel && stop < 3) {
                EXPECT_EQ(r, content::kSmsFailed);
            }
            // A cancel is seen between items: the write under way when it came still finishes (a
            // cancel during the last write changes nothing).
            const int taken = cancel ? stop : stop - 1;
            for (int i = 0; i < 3; ++i) {
                const Ssms m = store.get(add[i].id);
                if (i < taken) {
                    EXPECT_EQ(m.boxid, content::kBoxPhoneStored) << i;
                    EXPECT_EQ(handset.store.textAt(1, m.Tid), add[i].body);
                    EXPECT_EQ(slot(1, m.Tid).id, m.id);
                } else {
                    EXPECT_EQ(m.boxid, content::kBoxDrafts) << i;
                }
            }
            int reserved = 0;
            for (const content::SmsSlot &e : phone->slotTable(1))
                reserved += e.state == content::kSlotReserved;
            EXPECT_EQ(reserved, 0);
            // Clean up the drafts for the next round.
            ArraySms drafts;
            for (const Ssms &m : box(4))
                drafts.push_back(Ssms{.id = m.id, .boxid = content::kBoxRecycle});
            store.sms->DeleteMessages(drafts);
        }
}

TEST_F(WriteTest, SetAsideRecordsOfASaveGoToTheHandset)
{
    download();
    // The later part of an edited message has no row yet: it is written like a new message.
    ArraySms save{Ssms{.id = 999, .boxid = content::kBoxPhoneStored, .Tel = "+1", .body = "part 2"}};
    EXPECT_EQ(store.sms->SaveMessages(save), 0);
    ASSERT_EQ(box(9).size(), 1u);
    EXPECT_EQ(handset.store.textAt(1, box(9)[0].Tid), "part 2");
}

// A later part that finds no free slot is not dropped: it waits in the drafts, and the save is
// not reported as done.
TEST_F(WriteTest, SetAsideRecordsWithoutASlotAreKeptAsDrafts)
{
    for (int32_t i = 1; i <= 6; ++i)
        handset.store.put(1, i, stored("+1", "s" + std::to_string(i)));
    for (int32_t i = 1; i <= 4; ++i)
        handset.store.put(2, i, stored("+1", "m" + std::to_string(i)));
    download();
    ArraySms save{Ssms{.id = 999, .boxid = content::kBoxPhoneStored, .Tel = "+1", .body = "part 2"}};
    EXPECT_EQ(store.sms->SaveMessages(save), content::kSmsFailed);
    EXPECT_EQ(bodies(4), std::vector<std::string>{"part 2"});
    EXPECT_EQ(save[0].boxid, content::kBoxDrafts);
    EXPECT_EQ(store.get(save[0].id).body, "part 2");
    EXPECT_EQ(box(9).size(), 10u);
}

TEST_F(WriteTest, TextsThatDoNotFitAreRefusedWhole)
{
    download();
    ArraySms add{out(std::string(212, 'x'))};
    EXPECT_EQ(addToHandset(add), content::kSmsTooLong);
    EXPECT_TRUE(box(9).empty());
    ArraySms send{Ssms{.Tel = std::string(44, '1'), .body = "x"}};
    EXPECT_EQ(phone->SendMessages(send), content::kSmsTooLong);
    EXPECT_TRUE(box(3).empty());
    EXPECT_TRUE(handset.store.log.empty());
    EXPECT_EQ(shown(), (std::vector<std::string>{"<ErrInfo_CommErrInfo><ErrInfo_251>", "<ErrInfo_CommErrInfo><ErrInfo_251>"}));
}

// A recipient the driver cannot send to is refused before anything reaches the handset, by name;
// nothing is filed as sent or waiting.
TEST_F(WriteTest, ARecipientThatIsNoNumberIsRefusedByNameBeforeAnySend)
{
    const struct {
        std::vector<std::string> to;
        const char *box;
    } cases[] = {
        {{"12ab"}, "<SmsMng_BadNumber> \"12ab\""},
        {{""}, "<SmsMng_BadNumber> \"\""},
        {{"+"}, "<SmsMng_BadNumber> \"+\""},
        {{"+4930", "030 123", "+49-30"}, "<SmsMng_BadNumber> \"030 123\", \"+49-30\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.box);
        clearShown();
        handset.store.log.clear();
        ArraySms send;
        for (const std::string &t : c.to)
            send.push_back(Ssms{.Tel = t, .body = "hi"});
        EXPECT_EQ(phone->SendMessages(send), content::kSmsBadNumber);
        EXPECT_EQ(shown(), std::vector<std::string>{c.box});
        EXPECT_TRUE(handset.store.log.empty());
        EXPECT_TRUE(box(content::kBoxSent).empty());
        EXPECT_TRUE(box(content::kBoxOutbox).empty());
    }
    ArraySms good{Ssms{.Tel = "+4930123", .body = "hi"}};
    EXPECT_EQ(phone->SendMessages(good), 0);
    EXPECT_EQ(box(content::kBoxSent).size(), 1u);
}

// One link fault, one box: when the runner (the progress dialog) has shown the fault, the send or
// write that met it shows no second one; a runner that shows nothing leaves it to the requester.
TEST_F(WriteTest, ALinkFaultIsShownOnce)
{
    struct ShowingRunner : content::BatchRunner {
        content::BatchRunner *inner = nullptr;
        bool shows = false;
        int boxes = 0;
        content::BatchOutcome run(core::TBaseClt &client, const std::vector<content::BatchRequest> &batch) override
        {
            content::BatchOutcome out = inner->run(client, batch);
            if (shows && out.result < 0 && NetUtil_isFaultErr(out.result)) {
                ++boxes;
                out.faultShown = true;
            }
            return out;
        }
    };
    for (bool send : {true, false})
        for (bool shows : {true, false}) {
            SCOPED_TRACE(std::string(send ? "send" : "write") + (shows ? ", runner shows it" : ", runner silent"));
            ShowingRunner runner;
            runner.inner = handset.runner.get();
            runner.shows = shows;
            phone.reset(); // the old one unsets itself as the store's handset side
            phone = std::make_unique<content::TSmsTransfer>(*store.sms, store.env, runner, *handset.smsClt);
            handset.store.linkDown = false;
            handset.store.linkDownAt = 0;
            download();
            handset.store.resetItems();
            handset.store.linkDownAt = 1;
            ArraySms list{out("one"), out("two")};
            if (send)
                phone->SendMessages(list);
            else
                addToHandset(list, 1);
            int requester = 0;
            for (const std::string &t : shown())
                requester += t.rfind("<ErrInfo_CommErrInfo>", 0) == 0;
            EXPECT_EQ(runner.boxes + requester, 1) << testing::PrintToString(shown());
            EXPECT_EQ(requester, shows ? 0 : 1);
            phone.reset(); // before its runner goes
        }
}

TEST_F(WriteTest, DefaultCentreIsWrittenAsNoCentre)
{
    download();
    ArraySms add{out("x")};
    add[0].Sca = "<Info_DefaultSCA>";
    EXPECT_GT(addToHandset(add), 0);
    ASSERT_EQ(handset.store.logOf("writeData"), std::vector<std::string>{"writeData 308"});
    ASSERT_EQ(handset.store.writeData.size(), sizeof(SmsSendRec));
    SmsSendRec rec;
    std::memcpy(&rec, handset.store.writeData.data(), sizeof rec);
    EXPECT_EQ(std::string(rec.sca, sizeof rec.sca), std::string(44, '\0'));
    EXPECT_STREQ(rec.text, "x");
}

// A batch result of 2 (here a send answering its message reference) is not a cancel.
TEST_F(WriteTest, BatchResultTwoIsNotACancel)
{
    handset.store.itemAnswer[1] = 2;
    ArraySms one{Ssms{.Tel = "+1", .body = "sent"}};
    EXPECT_EQ(phone->SendMessages(one), 0);
    EXPECT_EQ(bodies(3), std::vector<std::string>{"sent"});
    EXPECT_TRUE(bodies(2).empty());
}

TEST_F(WriteTest, SendsThatFailOrNeverRanAreKeptForSending)
{
    handset.store.itemAnswer[2] = DV_E_IO;
    ArraySms parts{Ssms{.Tel = "+1", .body = "part 1", .Sca = "<Info_DefaultSCA>"},
                   Ssms{.Tel = "+1", .body = "part 2", .Sca = "+4400"}, Ssms{.Tel = "+1", .body = "part 3"}};
    EXPECT_EQ(phone->SendMessages(parts), DV_E_IO);
    EXPECT_EQ(bodies(3), (std::vector<std::string>{"part 1", "part 3"}));
    EXPECT_EQ(bodies(2), std::vector<std::string>{"part 2"});
    ASSERT_EQ(handset.store.sent.size(), 2u);
    EXPECT_EQ(std::string(handset.store.sent[0].sca, 44), std::string(44, '\0'));
    EXPECT_EQ(shown(), std::vector<std::string>{"<ErrInfo_CommErrInfo><ErrInfo_9>"});

    // A cancel after the first: the rest never ran and waits in box 2.
    clearShown();
    handset.store.itemAnswer.clear();
    handset.store.resetItems();
    handset.store.onItem = [&](int n) {
        if (n == 1)
            handset.runner->cancel();
    };
    ArraySms more{Ssms{.Tel = "+2", .body = "a"}, Ssms{.Tel = "+2", .body = "b"}};
    EXPECT_EQ(phone->SendMessages(more), DV_E_CANCELLED);
    EXPECT_EQ(bodies(3), (std::vector<std::string>{"part 1", "part 3", "a"}));
    EXPECT_EQ(bodies(2), (std::vector<std::string>{"part 2", "b"}));
    EXPECT_TRUE(shown().empty());
}

TEST_F(WriteTest, DisconnectDuringAWriteKeepsTheFailedTextsAndEmptiesThePhoneBoxes)
{
    handset.store.put(1, 1, received("+1", "a"));
    download();
    handset.store.onItem = [&](int n) {
        if (n == 1)
            phone->PhoneDisconnected();
    };
    handset.store.itemAnswer[2] = DV_E_IO;
    ArraySms add{out("written"), out("refused")};
    addToHandset(add);
    EXPECT_EQ(phoneRows(), 0);
    EXPECT_EQ(bodies(4), std::vector<std::string>{"refused"});
    EXPECT_FALSE(phone->statusKnown());
}

} // namespace
} // namespace transfer_test
