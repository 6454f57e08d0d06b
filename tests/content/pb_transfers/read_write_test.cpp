// Reading the handset's phone books and writing the changes back, against the FakeHandset: the
// jobs the worker runs, what the handset holds afterwards, and the rows and position records.

#include "pb_fixture.h"

#include <functional>

namespace pb_test {
namespace {

class ReadWriteTest : public PbTransferTest {
protected:
    void SetUp() override
    {
        PbTransferTest::SetUp();
        auto &sim = handset.pbStore.storage(1);
        sim.first = 1;
        sim.last = 5;
        handset.pbStore.putText(1, 1, vc("Ann", "111"));
        handset.pbStore.putText(1, 3, vc("Bob", "333"));
        handset.pbStore.storage(2) = transfer_test::FakeStorage{1, 4, MS_CAPS_PB};
        handset.pbStore.putText(2, 2, vc("Mem", "222"));
        handset.contactsStore.putText(2, 1, vc("Carl", "444"));
        handset.groupsStore.putText(2, 1, group("Family"));
        handset.groupsStore.putText(2, 2, group("Work"));
    }
    void read()
    {
        pb.ReadFromPhone(0);
        clearLogs();
    }
};

TEST_F(ReadWriteTest, ReadsEveryStorageWithLimitsAndGroups)
{
    handset.pbStore.storage(2).reportRange = std::make_pair(-1, -1);
    pb.ReadFromPhone(0);
    EXPECT_FALSE(pb.handset().cancelled);
    EXPECT_EQ(names(0, StorageCode::Sim), "1=Ann 3=Bob");
    EXPECT_EQ(names(0, StorageCode::Phone), "2=Mem");
    EXPECT_EQ(names(0, StorageCode::Contacts), "1=Carl");
    EXPECT_EQ(names(0, StorageCode::Groups), "1=Family 2=Work");
    EXPECT_EQ(pb.GetGroupNames(0), (std::vector<std::string>{"Family", "Work"}));
    EXPECT_EQ(states(StorageCode::Sim), "1:4 3:4");
    // First and last -1 read as 1..100; groups are taken as reported.
    EXPECT_EQ(pb.handsetStorage(StorageCode::Phone).first, 1);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Phone).last, 100);
    EXPECT_EQ(pb.handset().groupsFirst, 1);
    EXPECT_EQ(pb.handset().groupsLast, 10);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Sim).capCode, 57);
    const content::BookLimits &l = pb.book(0).limits;
    EXPECT_EQ(l.simName, 14);
    EXPECT_EQ(l.simNumber, 40);
    EXPECT_EQ(l.groupName, 20);
    ASSERT_EQ(pb.book(0).contactsTemplate.size(), 3u);
    EXPECT_EQ(pb.book(0).contactsTemplate[0].type, content::kFieldName); // sorted by type
    EXPECT_FALSE(pb.HasChanges(0, 0));
}

TEST_F(ReadWriteTest, GroupsReportedWithoutRangeAreTakenAsReported)
{
    handset.groupsStore.storage(2).reportRange = std::make_pair(-1, -1);
    pb.ReadFromPhone(0);
    EXPECT_EQ(pb.handset().groupsFirst, -1);
    EXPECT_EQ(pb.handset().groupsLast, -1);
    EXPECT_EQ(names(0, StorageCode::Groups), "1=Family 2=Work");
}

TEST_F(ReadWriteTest, Capability57RewritesInPlaceAndWritesNewAtTheAllocatedPosition)
{
    read();
    ASSERT_EQ(save(0, StorageCode::Sim, 3, "Bobby", "333"), 0);
    ASSERT_EQ(save(0, StorageCode::Sim, -1, "Dora", "555"), 0);
    ASSERT_EQ(pb.WriteChanges(0), 0);
    EXPECT_EQ(handset.pbStore.logOf("beginWrite"),
              (std::vector<std::string>{"beginWrite 1 2 0", "beginWrite 1 3 0"}));
    EXPECT_TRUE(handset.pbStore.logOf("del").empty());
    EXPECT_EQ(handsetName(handset.pbStore, 1, 3), "Bobby");
    EXPECT_EQ(handsetName(handset.pbStore, 1, 2), "Dora");
    EXPECT_EQ(states(StorageCode::Sim), "1:4 2:4 3:4");
    EXPECT_FALSE(pb.HasChanges(0, 0));
    EXPECT_TRUE(env.prompt.texts().empty());
}

TEST_F(ReadWriteTest, BitZeroClearDeletesAndWritesTheRowsTextAnew)
{
    handset.pbStore.storage(1).caps = 56;
    read();
    ASSERT_EQ(save(0, StorageCode::Sim, 3, "Bobby", "333"), 0);
    ASSERT_EQ(pb.WriteChanges(0), 0);
    EXPECT_EQ(handset.pbStore.logOf("del"), (std::vector<std::string>{"del 1 3"}));
    EXPECT_EQ(handset.pbStore.logOf("beginWrite"), (std::vector<std::string>{"beginWrite 1 2 0"}));
    EXPECT_EQ(handsetName(handset.pbStore, 1, 2), "Bobby");
    EXPECT_EQ(handsetName(handset.pbStore, 1, 3), "<none>");
    // The row follows the position the handset reports.
    EXPECT_EQ(names(0, StorageCode::Sim), "1=Ann 2=Bobby");
    EXPECT_EQ(states(StorageCode::Sim), "1:4 2:4");
    EXPECT_FALSE(pb.HasChanges(0, 0));
}

TEST_F(ReadWriteTest, ARelocatedRowFollowsThePositionTheHandsetChose)
{
    handset.pbStore.storage(1).caps = 58; // bit 0 clear, bit 1 set: the handset picks the place
    read();
    handset.pbStore.putText(1, 2, vc("Zed", "2")); // taken on the handset since the read
    ASSERT_EQ(save(0, StorageCode::Sim, 3, "Bobby", "333"), 0);
    ASSERT_EQ(pb.WriteChanges(0), 0);
    EXPECT_EQ(handset.pbStore.logOf("beginWrite"), (std::vector<std::string>{"beginWrite 1 2 1"}));
    EXPECT_EQ(handsetName(handset.pbStore, 1, 3), "Bobby");
    EXPECT_EQ(names(0, StorageCode::Sim), "1=Ann 3=Bobby");
    EXPECT_EQ(states(StorageCode::Sim), "1:4 3:4");
}

TEST_F(ReadWriteTest, HasChangesByStorage)
{
    struct Case {
        const char *what;
        std::function<void()> change;
        std::vector<int32_t> changedCodes; // among 1, 2, 4, 8
    };
    const std::vector<Case> cases{
        {"SIM deleted (0)", [&] { pb.DeleteContacts(0, StorageCode::Sim, {1}); }, {1}},
        {"SIM changed (2)", [&] { save(0, StorageCode::Sim, 1, "Ann2", "1"); }, {1}},
        {"SIM new (3)", [&] { save(0, StorageCode::Sim, -1, "New", "9"); }, {1}},
        {"phone memory", [&] { save(0, StorageCode::Phone, 2, "Mem2", "2"); }, {2}},
        {"contacts", [&] { save(0, StorageCode::Contacts, 1, "Carl2", "4"); }, {4}},
        {"group same", [&] { save(0, StorageCode::Groups, 1, "Family", ""); }, {}},
        {"group renamed", [&] { save(0, StorageCode::Groups, 2, "Job", ""); }, {1, 2, 4, 8}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        read();
        EXPECT_FALSE(pb.HasChanges(0, 0));
        c.change();
        EXPECT_EQ(pb.HasChanges(0, 0), !c.changedCodes.empty());
        for (int32_t code : {1, 2, 4}) {
            const bool expected = std::find(c.changedCodes.begin(), c.changedCodes.end(), code) != c.changedCodes.end();
            EXPECT_EQ(pb.HasChanges(0, code), expected) << code;
        }
    }
}

TEST_F(ReadWriteTest, AFailedJobKeepsItsChangeAndNamesTheContactNotWritten)
{
    read();
    ASSERT_EQ(save(0, StorageCode::Sim, 3, "Bobby", "333"), 0);
    pb.DeleteContacts(0, StorageCode::Sim, {1});
    handset.pbStore.itemAnswer[2] = -24; // the write of position 3 is refused
    EXPECT_EQ(pb.WriteChanges(0), -24);
    EXPECT_EQ(env.prompt.texts(), (std::vector<std::string>{"<PbMng_MessCode3>\rBobby"}));
    // Not read again: the delete went through, the refused edit stays pending with its text.
    EXPECT_EQ(names(0, StorageCode::Sim), "3=Bobby");
    EXPECT_EQ(states(StorageCode::Sim), "3:2");
    EXPECT_TRUE(pb.book(0).changed);
    EXPECT_TRUE(handset.pbStore.logOf("readData").empty());
}

TEST_F(ReadWriteTest, AFailedJobWithoutRereadStaysPending)
{
    read();
    ASSERT_EQ(save(0, StorageCode::Sim, 3, "Bobby", "333"), 0);
    pb.DeleteContacts(0, StorageCode::Sim, {1});
    handset.pbStore.itemAnswer[2] = -24;
    content::PbWriteJobs w = pb.BuildWriteJobs(StorageCode::Sim);
    ASSERT_EQ(w.jobs->size(), 2u);
    (*w.jobs)[0].Result = 0;
    (*w.jobs)[1].Result = -24;
    EXPECT_EQ(pb.ApplyWriteResults(StorageCode::Sim, w), -24);
    EXPECT_EQ(states(StorageCode::Sim), "3:2"); // the delete went through, the change stays
    EXPECT_TRUE(pb.HasChanges(0, 1));
}

TEST_F(ReadWriteTest, LinkFaultDuringAWriteKeepsTheChangesPending)
{
    read();
    ASSERT_EQ(save(0, StorageCode::Sim, 3, "Bobby", "333"), 0);
    ASSERT_EQ(save(0, StorageCode::Sim, -1, "Dora", "555"), 0);
    handset.pbStore.linkDownAt = 2;
    EXPECT_EQ(pb.WriteChanges(0), DV_E_CLOSED);
    EXPECT_EQ(states(StorageCode::Sim), "1:4 2:4 3:2");
    EXPECT_TRUE(pb.HasChanges(0, 1));
    EXPECT_TRUE(pb.book(0).changed);
    ASSERT_FALSE(env.prompt.texts().empty());
    EXPECT_NE(env.prompt.texts().front().find("<ErrInfo_CommErrInfo>"), std::string::npos);
}

// A cancel at each request, and a link fault at each entry read, leave the earlier rows and
// records of the storage.
TEST_F(ReadWriteTest, CancelOrLinkFaultDuringARereadKeepsTheEarlierRows)
{
    read();
    const std::string before = names(0, StorageCode::Sim), recs = states(StorageCode::Sim);
    handset.pbStore.putText(1, 5, vc("Eve", "5"));
    int cancels = 0;
    for (size_t at = 0; at < 8; ++at) {
        SCOPED_TRACE("cancel at request " + std::to_string(at));
        handset.pbStore.log.clear();
        handset.pbStore.onRequest = [&](size_t r) {
            if (r == at)
                handset.runner->cancel();
        };
        pb.ReadFromPhone(1);
        handset.pbStore.onRequest = nullptr;
        if (!pb.handset().cancelled)
            continue; // the batch had ended before that request
        ++cancels;
        EXPECT_EQ(names(0, StorageCode::Sim), before);
        EXPECT_EQ(states(StorageCode::Sim), recs);
    }
    EXPECT_GE(cancels, 4);
    for (int item = 1; item <= 3; ++item) {
        SCOPED_TRACE("link fault at item " + std::to_string(item));
        handset.pbStore.resetItems();
        handset.pbStore.linkDown = false;
        handset.pbStore.linkDownAt = item;
        pb.ReadFromPhone(1);
        EXPECT_EQ(names(0, StorageCode::Sim), before);
        EXPECT_EQ(states(StorageCode::Sim), recs);
    }
}

TEST_F(ReadWriteTest, ACancelledReadOfOneStorageStillReadsTheOthers)
{
    handset.pbStore.onRequest = [&](size_t r) {
        if (r == 1)
            handset.runner->cancel();
    };
    pb.ReadFromPhone(0);
    EXPECT_TRUE(pb.handset().cancelled);
    EXPECT_EQ(names(0, StorageCode::Contacts), "1=Carl");
    EXPECT_EQ(names(0, StorageCode::Groups), "1=Family 2=Work");
}

TEST_F(ReadWriteTest, WithoutAConnectionAReadAsksNothingAndKeepsWhatWasRead)
{
    read();
    ASSERT_EQ(save(0, StorageCode::Sim, 3, "Bobby", "333"), 0);
    ASSERT_TRUE(pb.SetClipboard(0, content::toInt(StorageCode::Sim), 1, {1}));
    const size_t clipped = pb.clipboard().ids.size();
    handset.pbStore.putText(1, 2, vc("New", "222"));
    env.app.Connected = false;
    pb.ReadFromPhone(0);
    pb.ReadFromPhone(1);
    EXPECT_TRUE(handset.pbStore.log.empty());
    EXPECT_TRUE(handset.groupsStore.log.empty());
    EXPECT_TRUE(env.prompt.texts().empty());
    EXPECT_EQ(names(0, StorageCode::Sim), "1=Ann 3=Bobby");
    EXPECT_EQ(names(0, StorageCode::Contacts), "1=Carl");
    EXPECT_TRUE(pb.HasChanges(0, content::toInt(StorageCode::Sim)));
    EXPECT_EQ(pb.clipboard().mode, 1);
    EXPECT_EQ(pb.clipboard().ids.size(), clipped);
}

TEST_F(ReadWriteTest, ADisconnectDuringAReadIsAppliedAfterTheBatch)
{
    read();
    handset.pbStore.onItem = [&](int n) {
        if (n == 1)
            pb.PhoneDisconnected();
    };
    pb.ReadFromPhone(1);
    EXPECT_EQ(names(0, StorageCode::Sim), "");
    EXPECT_EQ(names(0, StorageCode::Groups), "");
    EXPECT_FALSE(pb.handsetStorage(StorageCode::Sim).statusRead());
    EXPECT_TRUE(pb.handsetStorage(StorageCode::Sim).idMng.empty());
}

TEST_F(ReadWriteTest, ADisconnectDuringAWriteStopsItAndKeepsWhatIsNotWritten)
{
    read();
    ASSERT_EQ(save(0, StorageCode::Sim, 3, "Bobby", "333"), 0);
    ASSERT_EQ(save(0, StorageCode::Phone, 2, "Mem2", "2"), 0);
    handset.pbStore.onItem = [&](int n) {
        if (n == 1)
            pb.PhoneDisconnected();
    };
    pb.WriteChanges(0);
    handset.pbStore.onItem = nullptr;
    EXPECT_EQ(handset.pbStore.logOf("beginWrite").size(), 1u); // phone memory was not started
    // The SIM entry was written; the phone-memory edit stays pending with its text for the next
    // write, and the user is told once.
    EXPECT_EQ(names(0, StorageCode::Sim), "1=Ann 3=Bobby");
    EXPECT_EQ(states(StorageCode::Sim), "1:4 3:4");
    EXPECT_EQ(names(0, StorageCode::Phone), "2=Mem2");
    EXPECT_EQ(state(StorageCode::Phone, 2), PosState::Changed);
    EXPECT_EQ(env.prompt.texts(), (std::vector<std::string>{"<PbMng_LinkLost>"}));
    pb.PhoneDisconnected();
    EXPECT_EQ(env.prompt.texts().size(), 1u) << "said once";

    // Back: the next write sends only what was pending.
    clearLogs();
    ASSERT_EQ(pb.WriteChanges(0), 0);
    EXPECT_EQ(handset.pbStore.logOf("beginWrite").size(), 1u);
    EXPECT_EQ(handsetName(handset.pbStore, 2, 2), "Mem2");
    EXPECT_FALSE(pb.HasChanges(0, 0));
    // Without pending changes a disconnect resets the handset's book.
    pb.PhoneDisconnected();
    EXPECT_EQ(names(0, StorageCode::Sim), "");
    EXPECT_FALSE(pb.handsetStorage(StorageCode::Sim).statusRead());
}

TEST_F(ReadWriteTest, GroupsAreWrittenOnlyWhenRenamed)
{
    read();
    save(0, StorageCode::Sim, 3, "Bobby", "333");
    pb.WriteChanges(0);
    EXPECT_TRUE(handset.groupsStore.logOf("beginWrite").empty());
    clearLogs();
    int32_t pos = 2;
    ASSERT_EQ(pb.SaveContact(0, StorageCode::Groups, pos, {{content::kFieldName, -1, "Job"}}), 0);
    ASSERT_EQ(pb.WriteChanges(0), 0);
    EXPECT_EQ(handset.groupsStore.logOf("beginWrite"),
              (std::vector<std::string>{"beginWrite 2 1 0", "beginWrite 2 2 0"}));
    EXPECT_EQ(handsetName(handset.groupsStore, 2, 2), "Job");
    EXPECT_FALSE(pb.HasChanges(0, 8));
}

// Each group is written at its own position, whatever its place among the rows, and a group
// deleted here is deleted on the handset; only then are the groups taken as written.
TEST_F(ReadWriteTest, GroupsGoToTheirOwnPositionsAndDeletedOnesAreDeleted)
{
    const struct {
        const char *name;
        std::function<void()> change;
        std::vector<std::string> writes; // beginWrite and del calls on the groups' interface
        const char *onHandset;            // positions 1, 2, 3
    } cases[] = {
        {"rename group 3 of 1 and 3",
         [&] {
             int32_t pos = 3;
             ASSERT_EQ(pb.SaveContact(0, StorageCode::Groups, pos, {{content::kFieldName, -1, "Team"}}), 0);
         },
         {"beginWrite 2 1 0", "beginWrite 2 3 0"},
         "Family <none> Team"},
        {"delete group 1 of 1 and 3", [&] { ASSERT_EQ(pb.DeleteContacts(0, StorageCode::Groups, {1}), 0); },
         {"beginWrite 2 3 0", "del 2 1"},
         "<none> <none> Club"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        handset.groupsStore.storage(2).entries.clear();
        handset.groupsStore.putText(2, 1, group("Family"));
        handset.groupsStore.putText(2, 3, group("Club"));
        read();
        c.change();
        ASSERT_TRUE(pb.HasChanges(0, 8));
        EXPECT_EQ(pb.WriteChanges(0), 0);
        std::vector<std::string> calls;
        for (const std::string &l : handset.groupsStore.log)
            if (l.rfind("beginWrite", 0) == 0 || l.rfind("del ", 0) == 0)
                calls.push_back(l);
        EXPECT_EQ(calls, c.writes);
        std::string held;
        for (int32_t p : {1, 2, 3})
            held += (held.empty() ? "" : " ") + handsetName(handset.groupsStore, 2, p);
        EXPECT_EQ(held, c.onHandset);
        EXPECT_FALSE(pb.HasChanges(0, 8));
    }
}

TEST_F(ReadWriteTest, AGroupPastTheLastIsReportedAndNotWritten)
{
    handset.groupsStore.storage(2).last = 2;
    read();
    int32_t pos = -1;
    ASSERT_EQ(pb.SaveContact(0, StorageCode::Groups, pos, {{content::kFieldName, -1, "Club"}}), 0);
    EXPECT_EQ(pb.WriteChanges(0), content::kPbFull);
    EXPECT_EQ(handset.groupsStore.logOf("beginWrite"),
              (std::vector<std::string>{"beginWrite 2 1 0", "beginWrite 2 2 0"}));
    EXPECT_EQ(env.prompt.texts(), (std::vector<std::string>{"<PbMng_MessCode3>"}));
    EXPECT_TRUE(pb.HasChanges(0, 8));
}

TEST_F(ReadWriteTest, ACancelDuringAWriteSettlesWhatWasWrittenAndKeepsTheRest)
{
    read();
    ASSERT_EQ(save(0, StorageCode::Sim, 3, "Bobby", "333"), 0);
    ASSERT_EQ(save(0, StorageCode::Sim, -1, "Dora", "555"), 0);
    pb.DeleteContacts(0, StorageCode::Sim, {1});
    handset.pbStore.onItem = [&](int n) {
        if (n == 2)
            handset.runner->cancel();
    };
    pb.WriteChanges(0);
    handset.pbStore.onItem = nullptr;
    // The delete of 1 and the write of 2 (under way when the cancel came) went through; the
    // change of 3 was never tried and stays pending.
    EXPECT_EQ(handsetName(handset.pbStore, 1, 1), "<none>");
    EXPECT_EQ(handsetName(handset.pbStore, 1, 2), "Dora");
    EXPECT_EQ(handsetName(handset.pbStore, 1, 3), "Bob");
    EXPECT_EQ(states(StorageCode::Sim), "2:4 3:2");
    EXPECT_EQ(names(0, StorageCode::Sim), "3=Bobby 2=Dora");
    EXPECT_TRUE(pb.HasChanges(0, 1));
    EXPECT_TRUE(pb.book(0).changed);
}

TEST_F(ReadWriteTest, AFileBookWhoseExportFailsKeepsItsChangedFlag)
{
    const int b = pb.AddFileBook("/nonexistent/dir/book.csv");
    ASSERT_EQ(save(b, StorageCode::Sim, -1, "Ann", "1"), 0);
    EXPECT_LT(pb.WriteChanges(b), 0);
    EXPECT_TRUE(pb.book(b).changed);
    EXPECT_TRUE(pb.HasChanges(b, 0));
}

} // namespace
} // namespace pb_test
