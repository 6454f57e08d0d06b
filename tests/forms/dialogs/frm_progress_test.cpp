// The progress dialog: fed by posted messages (the test plays the worker) and by the real worker
// with the simulated handset.

#include "forms/frm_progress.h"
#include "forms/support/screenshot.h"
#include "forms/support/when_modal.h"
#include "worker_rig.h"

#include "dv_result.h"

#include <QTest>

namespace forms_test {
namespace {

using content::BatchOutcome;
using content::BatchRequest;

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.make(false);
        dlg = std::make_unique<forms::TFrmProgress>(*rig.worker, rig.data, rig.messages.hub(), rig.lang, rig.prompt);
        clt = std::make_unique<core::TSmsClt>(*rig.worker);
        jobs = std::make_shared<core::TDataArray>(1, core::TCommData{.Kind = core::kJobRead, .Stor = 1, .Data = {}});
    }
    void TearDown() override
    {
        dlg.reset();
        clt.reset();
    }

    // Runs one read batch; act runs inside the dialog's modal loop with the batch's serial.
    BatchOutcome runWith(std::function<void(QWidget *, uint64_t)> act)
    {
        whenModal("FrmProgress", [this, act](QWidget *w) { act(w, batch()); });
        return dlg->run(*clt, {BatchRequest::readList(jobs)});
    }
    uint64_t batch() const { return dlg->armedBatch(); }
    void post(uint64_t b, int32_t stage, intptr_t value)
    {
        rig.messages.post(dlg->window(), core::WM_COMM_PROGRESS, core::progressW(b, stage), value);
    }
    void done(uint64_t b, int32_t result)
    {
        rig.messages.post(dlg->window(), core::WM_COMM_DONE, result, static_cast<intptr_t>(b));
    }
    static void settle() { QCoreApplication::processEvents(); }

    WorkerRig rig;
    std::unique_ptr<forms::TFrmProgress> dlg;
    std::unique_ptr<core::TSmsClt> clt;
    std::shared_ptr<core::TDataArray> jobs;
};

TEST_F(ProgressTest, IsTranslatedAndResetWhenShown)
{
    lang_qt_test::expectFullyTranslated(dlg.get(), "FrmProgress");
    EXPECT_EQ(dlg->windowTitle(), "Please wait");
    EXPECT_EQ(dlg->btnCancel()->text(), "&Cancel");
    BatchOutcome out = runWith([&](QWidget *, uint64_t b) {
        EXPECT_EQ(dlg->lblInfo()->text(), "Initializing...");
        EXPECT_EQ(dlg->prgInfo()->value(), 0);
        done(b, 0);
    });
    EXPECT_FALSE(out.cancelled);
    // A second batch starts from scratch again.
    runWith([&](QWidget *, uint64_t b) {
        EXPECT_EQ(dlg->lblInfo()->text(), "Initializing...");
        EXPECT_EQ(dlg->prgInfo()->value(), 0);
        done(b, 0);
    });
}

// A count above 4096 gets a bar of 500 steps; steps beyond it keep the bar full.
TEST_F(ProgressTest, LongReadHasFiveHundredStepsAndStaysFull)
{
    runWith([&](QWidget *w, uint64_t b) {
        post(b, core::kStageBegin, (5000 << 16) | 0x100 | 21);
        for (int i = 0; i < 250; ++i)
            post(b, core::kStageStep, 0x10001);
        settle();
        EXPECT_EQ(dlg->prgInfo()->maximum(), 500);
        EXPECT_EQ(dlg->prgInfo()->value(), 250);
        EXPECT_EQ(dlg->lblInfo()->text(), "Reading SIM messages ( 250 / 500 ) ... ");
        screenshot(w, "progress_reading");
        for (int i = 0; i < 350; ++i)
            post(b, core::kStageStep, 0x10001);
        settle();
        EXPECT_EQ(dlg->prgInfo()->value(), 500);
        EXPECT_EQ(dlg->lblInfo()->text(), "Reading SIM messages ( 500 / 500 ) ... ");
        post(b, core::kStageEnd, 0);
        settle();
        EXPECT_EQ(dlg->prgInfo()->value(), 500);
        EXPECT_EQ(dlg->lblInfo()->text(), "Finished");
        done(b, 0);
    });
    EXPECT_EQ(dlg->modalResult(), 1);
}

TEST_F(ProgressTest, LabelNamesTheOperationAndTheStorage)
{
    const std::map<int, std::string> ops = {{0, "Checking"}, {1, "Reading"}, {2, "Writing"}, {4, "Sending"}};
    const std::map<int, std::string> classes = {{10, "phone book"}, {11, "SIM phone book"}, {12, "phone memory"},
                                                {13, "contacts"},   {14, "groups"},         {20, "messages"},
                                                {21, "SIM messages"}, {22, "phone messages"}};
    runWith([&](QWidget *, uint64_t b) {
        for (const auto &[op, opText] : ops)
            for (const auto &[cls, clsText] : classes) {
                const int count = op == 0 ? 1 : 3; // a storage status counts one
                post(b, core::kStageBegin, (count << 16) | (op << 8) | cls);
                settle();
                EXPECT_EQ(dlg->lblInfo()->text().toStdString(), opText + " " + clsText + " ...") << op << " " << cls;
                EXPECT_EQ(dlg->prgInfo()->maximum(), count);
                post(b, core::kStageStep, 0);
                settle();
                EXPECT_EQ(dlg->lblInfo()->text().toStdString(),
                          opText + " " + clsText + " ( 1 / " + std::to_string(count) + " ) ... ");
            }
        // A list without jobs begins with 0: no operation text, the bar keeps its size.
        post(b, core::kStageBegin, 0);
        post(b, core::kStageStep, 0);
        settle();
        EXPECT_EQ(dlg->lblInfo()->text(), " ( 2 / 3 ) ... ");
        post(b, core::kStageEnd, 0);
        settle();
        EXPECT_EQ(dlg->lblInfo()->text(), "Finished");
        done(b, 0);
    });
    EXPECT_TRUE(rig.prompt.calls().empty());
}

// What the batch result makes of the modal result; only link faults are shown, by the dialog.
TEST_F(ProgressTest, ResultsCloseTheDialog)
{
    struct Case {
        int32_t result;
        int modal;
        std::string box; // empty: none
    };
    const std::vector<Case> cases = {
        {0, 1, ""},
        {2, 1, ""}, // a positive result is no cancel
        {17, 1, ""},
        {DV_E_IO, DV_E_IO, ""},
        {DV_E_CLOSED, DV_E_CLOSED,
         "Communication with the handset failed: The link to the handset was closed, or the handset was changed."},
        {DV_E_TIMEOUT, DV_E_TIMEOUT, "Communication with the handset failed: The handset did not answer in time."},
    };
    ASSERT_EQ(DV_E_IO, -9);
    ASSERT_EQ(DV_E_CLOSED, -71);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.result);
        rig.prompt = ScriptedPrompt();
        if (!c.box.empty())
            rig.prompt.answerBox(core::kIdOk);
        BatchOutcome out = runWith([&](QWidget *, uint64_t b) { done(b, c.result); });
        EXPECT_EQ(dlg->modalResult(), c.modal);
        EXPECT_EQ(dlg->batchResult(), c.result);
        EXPECT_FALSE(out.cancelled);
        EXPECT_EQ(out.result, c.result);
        if (c.box.empty()) {
            EXPECT_TRUE(rig.prompt.calls().empty());
        } else {
            ASSERT_EQ(rig.prompt.boxTexts().size(), 1u);
            EXPECT_EQ(rig.prompt.boxTexts()[0], c.box);
            EXPECT_EQ(rig.prompt.calls()[0].flags, core::kMbOk | core::kMbIconInformation);
        }
    }
}

// Escape, the title-bar close and the button all cancel the batch before the worker took it: the
// worker then runs nothing of it, posts no done message and lets go of the blocks.
TEST_F(ProgressTest, EveryWayOutCancelsTheBatch)
{
    const std::vector<std::pair<std::string, std::function<void(QWidget *)>>> ways = {
        {"Escape", [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); }},
        {"close button", [](QWidget *w) { w->close(); }},
        {"Cancel", [this](QWidget *) { QTest::mouseClick(dlg->btnCancel(), Qt::LeftButton); }},
        {"reject", [](QWidget *w) { static_cast<QDialog *>(w)->reject(); }},
    };
    for (const auto &[name, way] : ways) {
        SCOPED_TRACE(name);
        jobs = std::make_shared<core::TDataArray>(1, core::TCommData{.Kind = core::kJobRead, .Stor = 1, .Data = {}});
        rig.messages.clear();
        BatchOutcome out = runWith([&](QWidget *w, uint64_t) { way(w); });
        EXPECT_TRUE(out.cancelled);
        EXPECT_TRUE(out.settled) << "the worker never touches a batch it had not taken";
        EXPECT_EQ((*jobs)[0].Result, DV_E_CANCELLED);
        EXPECT_EQ(dlg->modalResult(), 2);
        EXPECT_TRUE(dlg->cancelled());
        EXPECT_FALSE(dlg->batchResult().has_value());
        EXPECT_TRUE(rig.worker->batchStep());
        settle();
        EXPECT_EQ(rig.messages.count(core::WM_COMM_DONE), 0);
        EXPECT_EQ(jobs.use_count(), 1) << "the worker keeps a reference to a cancelled batch's jobs";
    }
}

// The done message of an earlier batch, still queued, must not close this one.
TEST_F(ProgressTest, MessagesOfAnotherBatchChangeNothing)
{
    runWith([&](QWidget *, uint64_t b) {
        post(b - 1, core::kStageBegin, (7 << 16) | 0x100 | 21);
        done(b - 1, DV_E_CLOSED);
        done(b + 1, 0);
        settle();
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->lblInfo()->text(), "Initializing...");
        done(b, 5);
    });
    EXPECT_EQ(dlg->modalResult(), 1);
    EXPECT_EQ(dlg->batchResult(), 5);
    EXPECT_TRUE(rig.prompt.calls().empty());
}

// One batch at a time: a batch asked for inside another one's loop is refused, not mixed in.
TEST_F(ProgressTest, NestedRunIsRefused)
{
    BatchOutcome inner;
    auto other = std::make_shared<core::TDataArray>(1, core::TCommData{.Kind = core::kJobRead, .Stor = 2, .Data = {}});
    BatchOutcome out = runWith([&](QWidget *, uint64_t b) {
        inner = dlg->run(*clt, {BatchRequest::readList(other)});
        EXPECT_EQ(dlg->armedBatch(), b);
        done(b, 0);
    });
    EXPECT_TRUE(inner.cancelled);
    EXPECT_EQ(other.use_count(), 1) << "nothing of it was queued";
    EXPECT_FALSE(out.cancelled);
    EXPECT_EQ(dlg->modalResult(), 1);
}

// Closed by a way that is not its own (accept(), hide()): the batch is cancelled and the dialog is
// free for the next one instead of waiting for a batch nobody follows.
TEST_F(ProgressTest, ClosedFromOutsideCancelsAndServesTheNextBatch)
{
    for (const auto &[name, way] : std::vector<std::pair<std::string, std::function<void(QDialog *)>>>{
             {"accept", [](QDialog *d) { d->accept(); }}, {"hide", [](QDialog *d) { d->hide(); }}}) {
        SCOPED_TRACE(name);
        rig.messages.clear();
        jobs = std::make_shared<core::TDataArray>(1, core::TCommData{.Kind = core::kJobRead, .Stor = 1, .Data = {}});
        BatchOutcome out = runWith([&](QWidget *w, uint64_t) { way(static_cast<QDialog *>(w)); });
        EXPECT_TRUE(out.cancelled);
        EXPECT_EQ(dlg->modalResult(), 2);
        EXPECT_TRUE(rig.worker->batchStep());
        settle();
        EXPECT_EQ(rig.messages.count(core::WM_COMM_DONE), 0);
        out = runWith([&](QWidget *, uint64_t b) { done(b, 0); });
        EXPECT_FALSE(out.cancelled);
        EXPECT_EQ(dlg->modalResult(), 1);
        rig.worker->batchStep(); // the batch the test ended by its post leaves the queue
        settle();
    }
}

// A done message that arrives before the dialog is up (a nested pump ran it) is not lost.
TEST_F(ProgressTest, EarlyDoneReturnsAtOnce)
{
    ASSERT_EQ(clt->ReadList(jobs, dlg->window()), 0);
    const uint64_t b = rig.worker->EndBatch();
    dlg->arm(b);
    done(b, DV_E_IO);
    settle();
    EXPECT_EQ(dlg->exec(), DV_E_IO);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->batchResult(), DV_E_IO);
}

class ProgressWithHandset : public ProgressTest {
protected:
    void SetUp() override
    {
        rig.make(true);
        rig.comm->SetParams(comm_selected(), "Cable", rig.link, "115200");
        dlg = std::make_unique<forms::TFrmProgress>(*rig.worker, rig.data, rig.messages.hub(), rig.lang, rig.prompt);
        clt = std::make_unique<core::TSmsClt>(*rig.worker);
        ASSERT_EQ(rig.comm->Connect(), 0);
        clt->SetItf(MS_ITF_SMS, rig.comm->currentSerial());
        jobs = std::make_shared<core::TDataArray>(1, core::TCommData{.Kind = core::kJobRead, .Stor = 1, .Data = {}});
    }
    static core::SelectedPhone comm_selected()
    {
        core::SelectedPhone p{};
        core::putIdentText(p.Man, "");
        return p;
    }
};

#ifdef SV_HAVE_REAL_PLUGINS

// The worker's own thread runs a read and a status; the dialog follows and closes with 1.
TEST_F(ProgressWithHandset, FollowsTheWorkerToTheEnd)
{
    rig.worker->start();
    auto st = std::make_shared<core::StorageStatus>(core::StorageStatus{.Stor = 1});
    std::vector<QString> labels;
    QObject spy;
    BatchOutcome out = dlg->run(*clt, {BatchRequest::storageStatus(st), BatchRequest::readList(jobs)});
    EXPECT_FALSE(out.cancelled);
    EXPECT_TRUE(out.settled);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(dlg->modalResult(), 1);
    EXPECT_EQ(st->Used, static_cast<int32_t>(out.rows.size()));
    EXPECT_FALSE(out.rows.empty());
    EXPECT_EQ(dlg->lblInfo()->text(), "Finished");
    EXPECT_EQ(dlg->prgInfo()->value(), dlg->prgInfo()->maximum());
    EXPECT_TRUE(rig.prompt.calls().empty());
}

// The user cancels just after the worker finished: the batch's own result counts.
TEST_F(ProgressWithHandset, CancelAfterTheEndGivesTheBatchResult)
{
    auto st = std::make_shared<core::StorageStatus>(core::StorageStatus{.Stor = 1});
    whenModal("FrmProgress", [&](QWidget *w) {
        ASSERT_TRUE(rig.worker->batchStep()); // the batch ends; its done message is queued
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_TRUE(w->isVisible()) << "a cancel that came too late must wait for the result";
    });
    BatchOutcome out = dlg->run(*clt, {BatchRequest::storageStatus(st)});
    EXPECT_FALSE(out.cancelled);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(dlg->modalResult(), 1);
    EXPECT_GT(st->Total, 0);
}

// Cancelled while the worker runs the batch: the dialog says so and stays until the worker's done
// message acknowledges the cancel; the jobs the worker never reached say so.
TEST_F(ProgressWithHandset, CancelWhileTheWorkerRunsWaitsForTheAcknowledgement)
{
    // The handset is inside the first listing when the user cancels, however busy the machine.
    rig.sim->holdNextReply("+CMGL*");
    rig.worker->start();
    whenModal("FrmProgress", [&](QWidget *w) {
        ASSERT_TRUE(waitUntil([&] { return rig.sim->replyHeld(); }));
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_EQ(dlg->lblInfo()->text(), "Cancelling...");
        EXPECT_FALSE(dlg->btnCancel()->isEnabled());
        rig.sim->releaseReplies();
    });
    auto more = std::make_shared<core::TDataArray>(1, core::TCommData{.Kind = core::kJobRead, .Stor = 2, .Data = {}});
    BatchOutcome out = dlg->run(*clt, {BatchRequest::readList(jobs), BatchRequest::readList(more)});
    EXPECT_TRUE(out.cancelled);
    EXPECT_TRUE(out.settled);
    EXPECT_EQ(dlg->modalResult(), 2);
    EXPECT_EQ(rig.messages.count(core::WM_COMM_DONE, dlg->window()), 1) << "the acknowledgement";
    EXPECT_EQ((*more)[0].Result, DV_E_CANCELLED);
    EXPECT_TRUE(rig.prompt.calls().empty());
    EXPECT_TRUE(waitUntil([&] { return jobs.use_count() == 1 && more.use_count() == 1; }));
    // The next batch runs and reports on its own.
    rig.sim->setReplyDelay(0);
    auto st = std::make_shared<core::StorageStatus>(core::StorageStatus{.Stor = 1});
    out = dlg->run(*clt, {BatchRequest::storageStatus(st)});
    EXPECT_FALSE(out.cancelled);
    EXPECT_EQ(rig.messages.count(core::WM_COMM_DONE, dlg->window()), 2);
}

#endif

} // namespace
} // namespace forms_test
