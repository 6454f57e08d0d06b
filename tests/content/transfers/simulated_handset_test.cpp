// Message transfers through the real worker, the real driver, our model plug-in and the simulated
// handset over a pseudo-terminal; the handset's own contents are checked afterwards.

#include "content/batch_runner.h"
#include "content/simulated_link.h"
#include "content/sms/sms_store.h"
#include "content/sms_transfer.h"
#include "core/comm/comm_fixture.h"
#include "core/comm/comm_thread.h"

#include "dv_result.h"
#include "handset_sim.h"

#include <cstdlib>
#include <cstring>
#include <functional>

#ifdef SV_HAVE_REAL_PLUGINS

namespace transfer_test {
namespace {

using content::ArraySms;
using content::Ssms;

class SimTransfer : public ::testing::Test, protected content_test::SimulatedLink {
protected:
    void TearDown() override
    {
        phone.reset();
        smsClt.reset();
        close();
    }

    // threaded: the worker's own thread runs the batches and the runner calls pump while it waits.
    void start(const std::string &scenario, bool threaded = false, std::function<void()> pump = {})
    {
        fixctl_reset();
        content::WorkerBatchRunner::Setup setup;
        setup.stepped = !threaded;
        setup.pump = std::move(pump);
        ASSERT_NO_FATAL_FAILURE(open(scenario, setup));
        smsClt = std::make_unique<core::TSmsClt>(*worker);
        store.env.app.Connected = true;
        phone = std::make_unique<content::TSmsTransfer>(*store.sms, store.env, *runner, *smsClt);
        ASSERT_EQ(comm->Connect(), 0);
        smsClt->SetItf(MS_ITF_SMS, comm->currentSerial());
        if (threaded)
            worker->start();
    }

    std::vector<Ssms> box(int b)
    {
        std::vector<Ssms> out;
        for (const content::SmsListRow &r : store.sms->FillList(b).rows) {
            Ssms m = store.get(r.id);
            if (m.boxid == b)
                out.push_back(m);
        }
        return out;
    }
    std::map<int, handsetsim::SmsMessage> sm() { return sim->smsStorage("SM")->messages; }
    // The text the handset holds at an index of "SM" (decoded by the simulator's own parser).
    std::string textAt(int index)
    {
        auto all = sm();
        auto it = all.find(index);
        if (it == all.end())
            return "<none>";
        std::vector<uint8_t> bytes;
        if (!handsetsim::fromHex(it->second.pdu, bytes) || bytes.empty())
            return "<bad>";
        const size_t sc = size_t(bytes[0]) + 1;
        handsetsim::Tpdu t;
        if (sc > bytes.size() || !handsetsim::decodeTpdu(bytes.data() + sc, bytes.size() - sc, t))
            return "<bad>";
        return t.text;
    }

    std::unique_ptr<core::TSmsClt> smsClt;
    content_test::SmsStore store;
    std::unique_ptr<content::TSmsTransfer> phone;
};

// The worker's own thread runs the batch; the runner waits for its done message.
TEST_F(SimTransfer, DownloadUnderTheDefaultScenario)
{
    start("default.json", true);
    ASSERT_EQ(phone->Download(), 0);
    const std::vector<Ssms> received = box(1), eight = box(8), nine = box(9);
    ASSERT_EQ(received.size(), 2u);
    ASSERT_EQ(eight.size(), 2u);
    ASSERT_EQ(nine.size(), 1u);
    EXPECT_EQ(eight[0].Tid, 1);
    EXPECT_EQ(eight[0].Tel, "+8613912345678");
    EXPECT_EQ(eight[0].body, "See you at eight");
    EXPECT_EQ(eight[0].time, "2005-03-16 19:02:11");
    EXPECT_EQ(eight[1].Tid, 2);
    EXPECT_EQ(eight[1].body, "\xE4\xBD\x99\xE9\xA2\x9D 12.50 \xE5\x85\x83");
    EXPECT_EQ(nine[0].Tid, 3);
    EXPECT_EQ(nine[0].body, "On my way");
    EXPECT_EQ(nine[0].time, "--");
    EXPECT_EQ(phone->slotTable(1).size(), 20u);
    EXPECT_EQ(phone->slotTable(2).size(), 100u);
    EXPECT_TRUE(store.env.prompt.texts().empty());
}

// The user cancels while the handset is busy inside a command (its answer held back until the
// cancel is in): the worker finishes that command, stops before the next item and only then
// acknowledges. From the acknowledgement on no job record changes; the command that was under
// way keeps its real result and the jobs never tried say so.
std::vector<uint8_t> sendBytes(const char *number, const char *text)
{
    SmsSendRec rec{};
    std::strncpy(rec.number, number, sizeof rec.number - 1);
    std::strncpy(rec.text, text, sizeof rec.text - 1);
    const auto *b = reinterpret_cast<const uint8_t *>(&rec);
    return {b, b + sizeof rec};
}

struct CancelCase {
    const char *name;
    const char *held;       // the command the handset is busy in
    uint8_t code;           // the first request
    core::TDataArray jobs;  // its jobs (none for a status)
    bool firstKept;         // the job under way keeps its real result (a walk met by a cancel is dropped)
};
std::vector<CancelCase> cancelCases()
{
    const int32_t len = sizeof(SmsSendRec);
    const core::TDataArray two = {{core::kJobWriteSms, 1, -1, 0, len, 0, sendBytes("+4930", "one")},
                                  {core::kJobWriteSms, 1, -1, 0, len, 0, sendBytes("+4930", "two")}};
    return {
        {"ReadWalk", "+CMGL*", core::kCmdReadList, {{core::kJobRead, 1}, {core::kJobRead, 2}}, false},
        {"Write", "+CMGW*", core::kCmdWriteList, two, true},
        {"Delete", "+CMGD*", core::kCmdWriteList, {{core::kJobDelete, 1, 1}, {core::kJobDelete, 1, 2}}, true},
        {"Send", "+CMGS*", core::kCmdSendList, two, true},
        {"Status", "+CPMS*", core::kCmdStorStatus, {}, true},
    };
}

class SimCancel : public SimTransfer, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(SimCancel, AcknowledgedOnlyOnceTheRecordsAreFinal)
{
    const CancelCase &c = GetParam();
    bool cancelAsked = false;
    start("default.json", true, [&] {
        if (!cancelAsked && sim->replyHeld()) {
            cancelAsked = true;
            EXPECT_FALSE(runner->cancel()) << "the worker is inside the batch";
            sim->releaseReplies();
        }
    });
    auto jobs = std::make_shared<core::TDataArray>(c.jobs);
    auto st = std::make_shared<core::StorageStatus>(core::StorageStatus{.Stor = 1});
    auto after = std::make_shared<core::TDataArray>(1, core::TCommData{.Kind = core::kJobRead, .Stor = 2});
    std::vector<content::BatchRequest> batch;
    if (c.code == core::kCmdStorStatus)
        batch = {content::BatchRequest::storageStatus(st), content::BatchRequest::readList(after)};
    else if (c.code == core::kCmdReadList)
        batch = {content::BatchRequest::readList(jobs)};
    else if (c.code == core::kCmdSendList)
        batch = {content::BatchRequest::sendList(jobs)};
    else
        batch = {content::BatchRequest::writeList(jobs)};
    sim->holdNextReply(c.held);
    const content::BatchOutcome out = runner->run(*smsClt, batch);
    ASSERT_TRUE(cancelAsked);
    EXPECT_TRUE(out.cancelled);
    EXPECT_TRUE(out.settled);
    EXPECT_EQ(out.result, DV_E_CANCELLED);
    EXPECT_TRUE(out.rows.empty());
    const core::TDataArray seenJobs = *jobs, seenAfter = *after;
    const core::StorageStatus seenSt = *st;
    if (c.code == core::kCmdStorStatus) {
        EXPECT_GT(st->Total, 0) << "the status under way was finished";
        EXPECT_EQ((*after)[0].Result, DV_E_CANCELLED) << "never tried";
    } else {
        ASSERT_EQ(jobs->size(), 2u);
        if (c.firstKept) {
            EXPECT_GE((*jobs)[0].Result, 0);
        } else {
            EXPECT_EQ((*jobs)[0].Result, DV_E_CANCELLED);
        }
        EXPECT_EQ((*jobs)[1].Result, DV_E_CANCELLED) << "never tried";
    }
    // Whatever the worker still does, it no longer touches this batch.
    ASSERT_TRUE(worker->stop(std::chrono::seconds(10)));
    for (size_t i = 0; i < jobs->size(); ++i) {
        EXPECT_EQ((*jobs)[i].Result, seenJobs[i].Result) << i;
        EXPECT_EQ((*jobs)[i].Index, seenJobs[i].Index) << i;
        EXPECT_EQ((*jobs)[i].Done, seenJobs[i].Done) << i;
    }
    EXPECT_EQ((*after)[0].Result, seenAfter[0].Result);
    EXPECT_EQ(std::memcmp(&*st, &seenSt, sizeof seenSt), 0);
    if (c.code == core::kCmdSendList) {
        EXPECT_EQ(sim->submitted().size(), 1u);
    }
    if (std::string(c.name) == "Delete") {
        EXPECT_EQ(sm().count(1), 0u);
        EXPECT_EQ(sm().count(2), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, SimCancel, ::testing::ValuesIn(cancelCases()),
                         [](const auto &p) { return std::string(p.param.name); });

// A cancel while the first of two messages is going out: the one that went out is in Sent Items,
// the other stays in the Outbox for sending.
TEST_F(SimTransfer, TheMessageThatWentOutBeforeACancelIsInSentItems)
{
    bool cancelAsked = false;
    start("default.json", true, [&] {
        if (!cancelAsked && sim->replyHeld()) {
            cancelAsked = true;
            runner->cancel();
            sim->releaseReplies();
        }
    });
    sim->holdNextReply("+CMGS*");
    ArraySms two{Ssms{.Tel = "+4930123", .body = "went out"}, Ssms{.Tel = "+4930123", .body = "never tried"}};
    EXPECT_EQ(phone->SendMessages(two), DV_E_CANCELLED);
    ASSERT_TRUE(cancelAsked);
    ASSERT_EQ(sim->submitted().size(), 1u);
    ASSERT_EQ(box(content::kBoxSent).size(), 1u);
    EXPECT_EQ(box(content::kBoxSent)[0].body, "went out");
    ASSERT_EQ(box(content::kBoxOutbox).size(), 1u);
    EXPECT_EQ(box(content::kBoxOutbox)[0].body, "never tried");
    EXPECT_TRUE(store.env.prompt.texts().empty()) << "a cancel is no failure to report";
}

TEST_F(SimTransfer, DownloadUnderTheQuirkyScenario)
{
    start("quirky-sms.json");
    ASSERT_EQ(phone->Download(), 0);
    ASSERT_EQ(box(8).size(), 1u);
    ASSERT_EQ(box(9).size(), 1u);
    EXPECT_EQ(box(8)[0].Tid, 2);
    EXPECT_EQ(box(9)[0].Tid, 5);
    EXPECT_EQ(box(1).size(), 1u);
    EXPECT_EQ(phone->slotTable(1).size(), 10u);
    EXPECT_EQ(phone->slotTable(2).size(), 50u);
    EXPECT_TRUE(store.env.prompt.texts().empty());
}

TEST_F(SimTransfer, ThreeSendsWhereTheSecondFails)
{
    start("default.json");
    sim->setSendErrorAt(2, 500);
    ArraySms parts{Ssms{.Tel = "+4930123", .body = "part 1", .Sca = store.env.text("Info_DefaultSCA")},
                   Ssms{.Tel = "+4930123", .body = "part 2"}, Ssms{.Tel = "+4930123", .body = "part 3"}};
    EXPECT_LT(phone->SendMessages(parts), 0);
    const auto sent = sim->submitted();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].decoded.text, "part 1");
    EXPECT_EQ(sent[1].decoded.text, "part 3");
    EXPECT_EQ(sent[0].smsc, "00") << "the default centre goes out as no centre";
    ASSERT_EQ(box(2).size(), 1u);
    EXPECT_EQ(box(2)[0].body, "part 2");
    EXPECT_EQ(box(3).size(), 2u);
}

TEST_F(SimTransfer, NewMessageEditAndDeleteFollowTheHandsetsIndex)
{
    start("default.json");
    ASSERT_EQ(phone->Download(), 0);
    // Asked for 7; the handset stores at its first free index, 4.
    ArraySms add{Ssms{.boxid = content::kBoxPhoneStored, .Tid = 7, .Tel = "+4930123", .body = "first"}};
    ASSERT_GT(store.sms->AddMessages(add, 1, true), 0);
    const int32_t id = add[0].id;
    EXPECT_EQ(store.get(id).Tid, 4);
    EXPECT_EQ(textAt(4), "first");
    EXPECT_EQ(textAt(7), "<none>");

    // The rewrite reserves a free slot (5) but the handset reuses 4: the row follows the handset.
    ArraySms edit{store.get(id)};
    edit[0].body = "second";
    ASSERT_EQ(store.sms->SaveMessages(edit), 0);
    const int32_t at = store.get(id).Tid;
    EXPECT_EQ(at, 4);
    EXPECT_EQ(textAt(at), "second");
    for (const content::SmsSlot &e : phone->slotTable(1))
        if (e.position == 4 || e.position == 5) {
            EXPECT_EQ(e.id, e.position == 4 ? id : -1) << "slot " << e.position;
        }
    EXPECT_EQ(sm().size(), 4u);

    ArraySms del{Ssms{.id = id, .boxid = content::kBoxPhoneStored}};
    ASSERT_EQ(store.sms->DeleteMessages(del), 0);
    EXPECT_EQ(textAt(at), "<none>");
    EXPECT_EQ(sm().size(), 3u);
    EXPECT_TRUE(store.env.prompt.texts().empty());
}

TEST_F(SimTransfer, StorageFullLeavesTheMessageInDrafts)
{
    start("default.json");
    ASSERT_EQ(phone->Download(), 0);
    // Meanwhile the handset filled up (messages arrived): it answers +CMS ERROR: 322.
    for (int i = 4; i <= 20; ++i)
        sim->putSms("SM", handsetsim::SmsMessage{i, 1, handsetsim::encodeDeliverPdu("+1", "x")});
    ArraySms add{Ssms{.boxid = content::kBoxPhoneStored, .Tel = "+4930123", .body = "no room"}};
    store.sms->AddMessages(add, 1, true);
    EXPECT_EQ(store.get(add[0].id).boxid, content::kBoxDrafts);
    EXPECT_EQ(box(9).size(), 1u);
    ASSERT_EQ(store.env.prompt.texts().size(), 1u);
    EXPECT_EQ(store.env.prompt.texts()[0].rfind("<ErrInfo_CommErrInfo><ErrInfo_", 0), 0u) << store.env.prompt.texts()[0];
    EXPECT_EQ(sm().size(), 20u);
}

TEST_F(SimTransfer, HangUpDuringAListingStoresNothing)
{
    start("default.json");
    sim->addCanned(handsetsim::CannedReply{"+CMGL*", "\r\n+CMGL: 1,1,,23\r\n", -1, -1, handsetsim::DropMode::Hangup});
    ASSERT_EQ(phone->Download(), 0);
    EXPECT_TRUE(box(1).empty());
    EXPECT_TRUE(box(8).empty());
    EXPECT_TRUE(box(9).empty());
    EXPECT_FALSE(phone->statusKnown());
}

TEST_F(SimTransfer, MarkingAReceivedMessageReadSendsNoCommand)
{
    start("default.json");
    ASSERT_EQ(phone->Download(), 0);
    Ssms m = box(8).at(1);
    m.states = 1;
    sim->clearCommands();
    ArraySms save{m};
    ASSERT_EQ(store.sms->SaveMessages(save), 0);
    EXPECT_TRUE(sim->commands().empty());
    EXPECT_EQ(store.get(m.id).states, 1);
}


// A second download keeps what the user did with the first: read marks in the Inbox and in the
// handset's box, and a received message deleted to the recycle box stays deleted there (one copy
// after restoring it, however often the handset lists it again).
TEST_F(SimTransfer, ReadMarksAndDeletionsSurviveTheNextDownload)
{
    start("default.json");
    ASSERT_EQ(phone->Download(), 0);
    ASSERT_EQ(box(1).size(), 2u);
    Ssms readLocal = box(1)[0], deleted = box(1)[1], readPhone = box(8)[1];
    readLocal.states = content::kStateRead;
    readPhone.states = content::kStateRead;
    ArraySms marks{readLocal, readPhone};
    ASSERT_EQ(store.sms->SaveMessages(marks), 0);
    ArraySms del{Ssms{.id = deleted.id, .boxid = content::kBoxReceived}};
    ASSERT_EQ(store.sms->DeleteMessages(del), 0);

    ASSERT_EQ(phone->Download(), 0);
    ASSERT_EQ(box(1).size(), 1u) << "the deleted message does not come back";
    EXPECT_EQ(box(1)[0].id, readLocal.id);
    EXPECT_EQ(box(1)[0].states, content::kStateRead);
    ASSERT_EQ(box(8).size(), 2u);
    EXPECT_EQ(box(8)[0].states, content::kStateFromHandset);
    EXPECT_EQ(box(8)[1].body, readPhone.body);
    EXPECT_EQ(box(8)[1].states, content::kStateRead);
    ASSERT_EQ(box(5).size(), 1u);

    ASSERT_EQ(store.sms->UndeleteMessages(deleted.id), 0);
    ASSERT_EQ(phone->Download(), 0);
    ASSERT_EQ(box(1).size(), 2u);
    EXPECT_EQ(box(1)[1].id, deleted.id);
    EXPECT_TRUE(box(5).empty());
}

} // namespace
} // namespace transfer_test

#endif
