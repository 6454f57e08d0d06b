// Download against the FakeHandset: boxes 1, 8 and 9, the slot tables, and what cancels, link
// faults, disconnects and unreadable messages leave behind.

#include "transfer_fixture.h"

#include <limits>

namespace transfer_test {
namespace {

TEST_F(TransferTest, ReceivedSimMessageInBoxesOneAndEightOutgoingOnlyInNine)
{
    handset.store.put(1, 3, received("+4411", "on the SIM", {5, 3, 17, 14, 30, 9}));
    handset.store.put(2, 7, stored("+4422", "kept outgoing"));
    ASSERT_EQ(phone->Download(), 0);

    // One batch: two storage statuses and one read list over both storages.
    EXPECT_EQ(handset.runner->batchesRun(), 1);
    EXPECT_EQ(handset.store.logOf("getStat"),
              (std::vector<std::string>{"getStat 1", "getStat 2", "getStat 1", "getStat 2"}));

    ASSERT_EQ(box(1).size(), 1u);
    EXPECT_EQ(box(1)[0].body, "on the SIM");
    EXPECT_EQ(box(1)[0].time, "2005-03-17 14:30:09");
    ASSERT_EQ(box(8).size(), 1u);
    EXPECT_EQ(box(8)[0].Tid, 3);
    EXPECT_EQ(box(8)[0].Tel, "+4411");
    EXPECT_EQ(box(8)[0].states, 2);
    ASSERT_EQ(box(9).size(), 1u);
    EXPECT_EQ(box(9)[0].Tid, 7);
    EXPECT_EQ(box(9)[0].time, "--");
    EXPECT_TRUE(box(3).empty());

    EXPECT_EQ(phone->slotTable(1).size(), 20u);
    EXPECT_EQ(phone->slotTable(1)[2], (content::SmsSlot{box(8)[0].id, 3, 1, content::kSlotOccupied}));
    EXPECT_EQ(phone->slotTable(2)[6], (content::SmsSlot{box(9)[0].id, 7, 2, content::kSlotOccupied}));
    EXPECT_EQ(phone->slotTable(2)[5], (content::SmsSlot{-1, 6, 2, content::kSlotFreeRead}));
    EXPECT_EQ(phone->capability(1), MS_CAPS_SMS);
    EXPECT_TRUE(shown().empty());
}

TEST_F(TransferTest, DownloadingTwiceKeepsBoxOneAndRebuildsBoxEight)
{
    handset.store.put(1, 1, received("+1", "a"));
    handset.store.put(1, 2, received("+2", "b"));
    download();
    handset.store.storage(1).entries.erase(2);
    handset.store.put(1, 4, received("+4", "d"));
    download();
    EXPECT_EQ(bodies(1), (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(bodies(8), (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(box(8).at(1).Tid, 4);
    EXPECT_EQ(phone->slotTable(1)[1].state, content::kSlotFreeRead) << "the slot of the message gone is free";
}

TEST_F(TransferTest, StatusMinusOneGivesFiveHundredSlots)
{
    handset.store.storage(1).reportRange = std::pair(-1, -1);
    handset.store.storage(2).reportRange = std::pair(-1, 40);
    download();
    ASSERT_EQ(phone->slotTable(1).size(), 500u);
    EXPECT_EQ(phone->slotTable(1).front().position, 1);
    EXPECT_EQ(phone->slotTable(1).back().position, 500);
    EXPECT_EQ(phone->slotTable(2).size(), 40u);
}

TEST_F(TransferTest, AbsurdRangesAndListedIndexesOutsideTheRange)
{
    handset.store.storage(1).reportRange = std::pair(1, 2000000000); // never trusted for memory
    handset.store.storage(2).reportRange = std::pair(1, 5);
    handset.store.storage(2).reportUsed = std::numeric_limits<int32_t>::min(); // nothing to count from
    handset.store.put(2, 9, received("+9", "beyond")); // listed outside 1..5: the table grows
    download();
    EXPECT_LE(phone->slotTable(1).size(), 10000u);
    ASSERT_EQ(phone->slotTable(2).size(), 6u);
    EXPECT_EQ(phone->slotTable(2).back(), (content::SmsSlot{box(8).at(0).id, 9, 2, content::kSlotOccupied}));
    EXPECT_TRUE(shown().empty()) << "a download never prompts per message";
}

TEST_F(TransferTest, RefusedOrFailedStorageGetsNoSlots)
{
    handset.store.storage(2).setAnswer = DV_E_UNSUPPORTED;
    handset.store.put(1, 1, received("+1", "a"));
    download();
    EXPECT_EQ(bodies(8), std::vector<std::string>{"a"});
    EXPECT_EQ(phone->slotTable(1).size(), 20u);
    EXPECT_TRUE(phone->slotTable(2).empty());
    EXPECT_TRUE(phone->statusKnown());
}

TEST_F(TransferTest, UnreadableMessagesAreCountedAndShownOnce)
{
    handset.store.put(1, 1, received("+1", "fine"));
    handset.store.put(1, 2, received("+2", "undecodable"));
    handset.store.storage(1).undecodable.insert(2);
    SmsRecord odd = received("+3", "kind 3");
    odd.kind = 3; // another driver's kind: no box for it
    handset.store.put(2, 1, odd);
    ASSERT_EQ(phone->Download(), 0);
    EXPECT_EQ(phone->unreadable(), 2);
    EXPECT_EQ(shown(), std::vector<std::string>{"<SmsMng_Unreadable> (2)"});
    EXPECT_EQ(bodies(8), std::vector<std::string>{"fine"});
    EXPECT_TRUE(box(10).empty());
    EXPECT_EQ(phone->slotTable(2)[0].state, content::kSlotFreeRead);
}

TEST_F(TransferTest, NothingRunsWhileNotConnected)
{
    store.env.app.Connected = false;
    handset.store.put(1, 1, received("+1", "a"));
    EXPECT_EQ(phone->Download(), 0);
    content::ArraySms out{content::Ssms{.Tel = "+1", .body = "x"}};
    EXPECT_EQ(phone->SendMessages(out), 0);
    EXPECT_EQ(handset.runner->batchesRun(), 0);
    EXPECT_TRUE(handset.store.log.empty());
    EXPECT_TRUE(box(1).empty());
    EXPECT_TRUE(box(3).empty());
}

TEST_F(TransferTest, DisconnectDuringTheDownloadLeavesNoPhoneRows)
{
    handset.store.put(1, 1, received("+1", "a"));
    handset.store.put(1, 2, received("+2", "b"));
    handset.store.onItem = [&](int n) {
        if (n == 1)
            phone->PhoneDisconnected(); // pumped during the batch's wait
    };
    ASSERT_EQ(phone->Download(), 0);
    EXPECT_EQ(phoneRows(), 0);
    EXPECT_TRUE(box(1).empty());
    EXPECT_FALSE(phone->statusKnown());
    EXPECT_EQ(phone->firstIndex(1), -1);
    EXPECT_TRUE(phone->slotTable(1).empty());
}

// A cancel at each step of the download, and a link fault at each item: no phone-side rows and
// both slot tables without status; reserving then says "not known yet".
TEST_F(TransferTest, CancelAtEachStepAndLinkFaultAtEachItemStoreNothing)
{
    handset.store.put(1, 1, received("+1", "a"));
    handset.store.put(1, 2, received("+2", "b"));
    handset.store.put(2, 5, stored("+5", "c"));
    ASSERT_EQ(phone->Download(), 0); // the whole walk once, to learn its steps
    ASSERT_EQ(phoneRows(), 3);
    const std::vector<std::string> steps = handset.store.log;
    ASSERT_GE(steps.size(), 10u);
    int stopped = 0;
    for (size_t at = 0; at < steps.size(); ++at) {
        SCOPED_TRACE("cancel at request " + std::to_string(at) + " (" + steps[at] + ")");
        handset.store.log.clear();
        bool cancelled = false;
        handset.store.onRequest = [&](size_t r) {
            if (r == at)
                cancelled = handset.runner->cancel();
        };
        ASSERT_EQ(phone->Download(), 0);
        // The worker was inside the batch: its done message acknowledged the cancel.
        EXPECT_FALSE(cancelled);
        if (phoneRows() == 3 && phone->statusKnown())
            continue; // the cancel came during the last step: the whole download stands
        ++stopped;
        EXPECT_EQ(phoneRows(), 0);
        EXPECT_FALSE(phone->statusKnown());
        EXPECT_TRUE(phone->slotTable(1).empty());
        EXPECT_TRUE(phone->slotTable(2).empty());
    }
    EXPECT_GE(stopped, static_cast<int>(steps.size()) - 2) << "only a cancel at the end lets it through";
    handset.store.onRequest = nullptr;
    for (int item = 1; item <= 3; ++item) {
        SCOPED_TRACE("link fault at item " + std::to_string(item));
        handset.store.resetItems();
        handset.store.linkDown = false;
        handset.store.linkDownAt = item;
        ASSERT_EQ(phone->Download(), 0);
        EXPECT_EQ(phoneRows(), 0);
        EXPECT_FALSE(phone->statusKnown());
        EXPECT_TRUE(phone->slotTable(1).empty());
        EXPECT_TRUE(phone->slotTable(2).empty());
    }
    handset.store.linkDownAt = 0;
    handset.store.linkDown = false;
    clearShown();
    content::ArraySms add{content::Ssms{.boxid = 9, .Tel = "+1", .body = "new"}};
    EXPECT_EQ(store.sms->AddMessages(add, -1, true), content::kSmsNoState);
    EXPECT_EQ(shown(), std::vector<std::string>{"<SmsMng_MessCode1>"});
    EXPECT_TRUE(box(9).empty());
}

} // namespace
} // namespace transfer_test
