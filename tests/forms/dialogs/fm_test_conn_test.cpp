// The connection test dialog with the real worker searching through the real driver, our plug-in
// and the simulated handset; and fed by posted messages where the test plays the worker.

#include "forms/fm_test_conn.h"
#include "forms/support/screenshot.h"
#include "forms/support/when_modal.h"
#include "worker_rig.h"

#include "dv_result.h"

#include <QTest>

#include <algorithm>

namespace forms_test {
namespace {

// What the dialog showed just before each message reached it, and at the end.
struct Seen {
    QString result, button;
    int gauge = 0;
};

class TestConnTest : public ::testing::Test {
protected:
    void make(bool withHandset)
    {
        rig.make(withHandset);
        dlg = std::make_unique<forms::TfmTestConn>(*rig.worker, rig.messages.hub(), rig.lang);
        rig.application.installEventFilter(&filter);
    }
    void TearDown() override { rig.application.removeEventFilter(&filter); }

    std::shared_ptr<core::UIConnParam> param(std::vector<std::string> ports, std::vector<std::string> bauds = {})
    {
        return std::make_shared<core::UIConnParam>(core::UIConnParam{"Other", "Cable", std::move(ports), std::move(bauds)});
    }
    std::string missing(int i = 0) const { return rig.dir.root() + "/no-such-port-" + std::to_string(i); }
    // Runs the search; the worker takes the batch inside the modal loop, on this thread. The pause
    // that shows the end is shortened (WalksBaudsThenPortsAndWraps sees it at its own length).
    int searchStepped(std::shared_ptr<core::UIConnParam> p)
    {
        dlg->setEndPause(1);
        whenModal("fmTestConn", [this](QWidget *) { EXPECT_TRUE(rig.worker->batchStep()); });
        const int mr = dlg->search(std::move(p));
        QCoreApplication::processEvents(); // anything still queued for the dialog
        return mr;
    }
    std::vector<QString> results() const
    {
        std::vector<QString> out;
        for (const Seen &s : seen.log)
            if (out.empty() || out.back() != s.result)
                out.push_back(s.result);
        return out;
    }

    struct Filter : QObject {
        std::vector<Seen> log;
        forms::TfmTestConn *dlg = nullptr;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == platform::QtWindowMessages::eventType() && dlg)
                log.push_back({dlg->lbResult()->text(), dlg->btnCancel()->text(), dlg->gaInfo()->value()});
            return false;
        }
    };

    WorkerRig rig;
    std::unique_ptr<forms::TfmTestConn> dlg;
    Filter filter;
    Filter &seen = filter;
};

TEST_F(TestConnTest, IsTranslatedAndStartsEmpty)
{
    make(false);
    lang_qt_test::expectFullyTranslated(dlg.get(), "fmTestConn");
    EXPECT_EQ(dlg->windowTitle(), "Connection Test");
    EXPECT_EQ(dlg->btnCancel()->text(), "&Cancel");
    EXPECT_EQ(dlg->gaInfo()->value(), 0);
    for (QLabel *l : {dlg->lbType(), dlg->lbPort(), dlg->lbBaud(), dlg->lbResult()})
        EXPECT_TRUE(l->text().isEmpty()) << l->objectName().toStdString();
    EXPECT_EQ(dlg->found(), forms::TfmTestConn::Found{});
}

#ifdef SV_HAVE_REAL_PLUGINS

// {a port that does not exist, the handset} without bauds: the second attempt answers.
TEST_F(TestConnTest, SucceedsAtTheSecondAttempt)
{
    make(true);
    filter.dlg = dlg.get();
    auto p = param({missing(), rig.link});
    const int mr = searchStepped(p);
    EXPECT_EQ(mr, 1);
    EXPECT_TRUE(dlg->succeeded());
    EXPECT_EQ(dlg->found(), (forms::TfmTestConn::Found{"Other", "Cable", rig.link, ""}));
    EXPECT_EQ(results(), (std::vector<QString>{"", "Testing...", "Failed", "Testing...", "Succeed", "Test Completed."}));
    // The success itself offers "&Close", before the search's end does.
    const auto succeed = std::find_if(seen.log.begin(), seen.log.end(), [](const Seen &s) { return s.result == "Succeed"; });
    ASSERT_NE(succeed, seen.log.end());
    EXPECT_EQ(succeed->button, "&Close");
    EXPECT_EQ(dlg->lbResult()->text(), "Test Completed.");
    EXPECT_EQ(dlg->btnCancel()->text(), "&Close");
    EXPECT_EQ(dlg->gaInfo()->value(), 100);
    EXPECT_EQ(dlg->lbPort()->text().toStdString(), rig.link);
}

// Cancelled during the first attempt: the dialog waits for the worker to stop after that attempt
// and closes with 2; anything posted later changes nothing, although the caller's block is gone.
TEST_F(TestConnTest, CancelBeforeSuccessIgnoresLaterReports)
{
    make(true);
    auto p = param({missing(0), missing(1), rig.link});
    rig.onPause = [this](int) {
        if (dlg->isVisible() && dlg->result() == 0)
            QTest::mouseClick(dlg->btnCancel(), Qt::LeftButton);
    };
    const uint64_t before = rig.messages.count(core::WM_COMM_PROGRESS);
    std::weak_ptr<core::UIConnParam> gone = p;
    const int mr = searchStepped(std::move(p));
    EXPECT_EQ(mr, 2);
    EXPECT_TRUE(gone.expired()) << "the worker and the dialog let go of the block";
    EXPECT_GT(rig.messages.count(core::WM_COMM_PROGRESS), static_cast<int>(before)) << "stage 1 and 2 were posted";
    // Later reports of the same batch, delivered now.
    const auto progress = rig.messages.messages();
    std::vector<QString> shown;
    for (QLabel *l : {dlg->lbType(), dlg->lbPort(), dlg->lbBaud(), dlg->lbResult()})
        shown.push_back(l->text());
    const int gauge = dlg->gaInfo()->value();
    const intptr_t w3 = core::progressW(core::progressBatch(progress.back().w), core::kStageEnd);
    rig.messages.post(dlg->window(), core::WM_COMM_PROGRESS, w3, 0);
    rig.messages.post(dlg->window(), core::WM_COMM_PROGRESS, w3 - 1, 0);
    QCoreApplication::processEvents();
    std::vector<QString> after;
    for (QLabel *l : {dlg->lbType(), dlg->lbPort(), dlg->lbBaud(), dlg->lbResult()})
        after.push_back(l->text());
    EXPECT_EQ(after, shown);
    EXPECT_EQ(dlg->gaInfo()->value(), gauge);
    EXPECT_EQ(rig.messages.count(core::WM_COMM_DONE), 1) << "the done message acknowledged the cancel";
    EXPECT_FALSE(dlg->succeeded());
    EXPECT_EQ(dlg->found(), forms::TfmTestConn::Found{});
}

// 15 ports by 10 bauds, none answering: the gauge moves with every attempt and ends at 100.
TEST_F(TestConnTest, ManyCombinationsFillTheGauge)
{
    make(true);
    filter.dlg = dlg.get();
    std::vector<std::string> ports, bauds;
    for (int i = 0; i < 15; ++i)
        ports.push_back(missing(i));
    for (int b : {1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 230400})
        bauds.push_back(std::to_string(b));
    const int mr = searchStepped(param(ports, bauds));
    EXPECT_LT(mr, 0) << "the search result when nothing answered";
    EXPECT_EQ(dlg->combinations(), 150);
    std::vector<int> gauges;
    for (const Seen &s : seen.log)
        if (gauges.empty() || gauges.back() != s.gauge)
            gauges.push_back(s.gauge);
    ASSERT_GE(gauges.size(), 100u);
    EXPECT_TRUE(std::is_sorted(gauges.begin(), gauges.end()));
    EXPECT_EQ(gauges.back(), 100) << "full after the last attempt, before the end of the search";
    EXPECT_EQ(dlg->btnCancel()->text(), "&Close");
    EXPECT_FALSE(dlg->succeeded());
}

#endif

// Fed by posts: the labels walk ports and bauds in the search's order and wrap; shown mid-search.
TEST_F(TestConnTest, WalksBaudsThenPortsAndWraps)
{
    make(false);
    auto p = param({"/dev/ttyS0", "/dev/ttyS1"}, {"9600", "115200"});
    const uint64_t b = 41;
    dlg->arm(b, p);
    auto post = [&](int32_t stage, intptr_t value) {
        rig.messages.post(dlg->window(), core::WM_COMM_PROGRESS, core::progressW(b, stage), value);
        QCoreApplication::processEvents();
    };
    std::vector<std::string> walked;
    whenModal("fmTestConn", [&](QWidget *w) {
        post(core::kStageBegin, reinterpret_cast<intptr_t>(p.get()));
        for (int i = 0; i < 5; ++i) {
            post(core::kStageStep, 0);
            walked.push_back((dlg->lbPort()->text() + " " + dlg->lbBaud()->text()).toStdString());
            EXPECT_EQ(dlg->lbType()->text(), "Cable");
            post(core::kStageEnd, DV_E_NOTCONN);
            EXPECT_EQ(dlg->lbResult()->text(), "Failed");
            if (i == 1)
                screenshot(w, "test_connection_searching");
        }
        post(core::kStageSearchEnd, DV_E_NOTCONN);
        EXPECT_EQ(dlg->lbResult()->text(), "Test Completed.");
        EXPECT_TRUE(dlg->isVisible()) << "the end is shown for a moment";
    });
    EXPECT_EQ(dlg->exec(), DV_E_NOTCONN);
    EXPECT_EQ(walked, (std::vector<std::string>{"/dev/ttyS0 9600", "/dev/ttyS0 115200", "/dev/ttyS1 9600",
                                                "/dev/ttyS1 115200", "/dev/ttyS0 9600"}));
}

// A search that began without a block acts as the cancel button.
TEST_F(TestConnTest, NullBlockCancels)
{
    make(false);
    auto p = param({"a"});
    core::TCommCommand cmd;
    cmd.code = core::kCmdSearch;
    cmd.window = dlg->window();
    cmd.arg = p;
    ASSERT_EQ(rig.worker->AddCommand(cmd), 0);
    const uint64_t b = rig.worker->EndBatch();
    dlg->arm(b, p);
    whenModal("fmTestConn", [&](QWidget *) {
        rig.messages.post(dlg->window(), core::WM_COMM_PROGRESS, core::progressW(b, core::kStageBegin), 0);
    });
    EXPECT_EQ(dlg->exec(), 2);
    EXPECT_TRUE(rig.worker->batchStep());
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.messages.count(core::WM_COMM_DONE), 0);
}

// Closed by a way that is not its own (accept(), hide()): the search is cancelled, as by the button.
TEST_F(TestConnTest, ClosedFromOutsideCancelsTheSearch)
{
    make(false);
    for (const auto &[name, way] : std::vector<std::pair<std::string, std::function<void(QDialog *)>>>{
             {"accept", [](QDialog *d) { d->accept(); }}, {"hide", [](QDialog *d) { d->hide(); }}}) {
        SCOPED_TRACE(name);
        rig.messages.clear();
        auto p = param({"a"});
        core::TCommCommand cmd;
        cmd.code = core::kCmdSearch;
        cmd.window = dlg->window();
        cmd.arg = p;
        ASSERT_EQ(rig.worker->AddCommand(cmd), 0);
        dlg->arm(rig.worker->EndBatch(), p);
        whenModal("fmTestConn", [&](QWidget *w) { way(static_cast<QDialog *>(w)); });
        EXPECT_EQ(dlg->exec(), 2);
        EXPECT_EQ(dlg->modalResult(), 2);
        EXPECT_TRUE(rig.worker->batchStep());
        QCoreApplication::processEvents();
        EXPECT_EQ(rig.messages.count(core::WM_COMM_PROGRESS), 0) << "the search did not run";
        EXPECT_EQ(rig.messages.count(core::WM_COMM_DONE), 0);
    }
}

} // namespace
} // namespace forms_test
