// The phone information window reading the simulated handset through the real connection
// manager, our driver and model plug-in, on the user-interface thread inside the connection lock;
// the worker beside it, connected first.

#include "core/app_manage.h"
#include "core/lang_mng.h"
#include "forms/dialogs/worker_rig.h"
#include "forms/f_phone_info.h"
#include "forms/support/screenshot.h"
#include "forms/support/when_modal.h"

#include <QTest>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace forms_test {
namespace {

namespace fs = std::filesystem;
using forms::TfPhoneInfo;

struct Labels {
    std::string man, model, hard, firm, imei, battery, net, signal;
    bool operator==(const Labels &) const = default;
};
std::ostream &operator<<(std::ostream &o, const Labels &l)
{
    return o << "{" << l.man << "|" << l.model << "|" << l.hard << "|" << l.firm << "|" << l.imei << "|"
             << l.battery << "|" << l.net << "|" << l.signal << "}";
}

// The commands each query sends, in the window's order (firmware sends none).
const std::vector<std::string> kQueries = {"AT+CGMI", "AT+CGMR", "AT+CBC", "AT+CGSN", "AT+GMM",
                                           "AT+CGMM", "AT+CIMI", "AT+CSQ"};

class PhoneInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.make(true);
        const std::string lang = rig.dir.root() + "/Language";
        fs::create_directories(lang);
        fs::copy_file(lang_qt_test::distDir() + "/Language/English.dat", lang + "/English.dat");
        manage = std::make_unique<core::TManage>(rig.dir.root(), &rig.prompt);
        manage->LangMng().setLanguage("English");
        dlg = std::make_unique<TfPhoneInfo>(*manage, *rig.comm);
        // Waits run the event loop once and are recorded; the spacing test uses the real ones.
        dlg->setWait([this](int ms) {
            waits.push_back(ms);
            QCoreApplication::processEvents();
            if (duringWait)
                duringWait(waits.size());
        });
    }
    void TearDown() override { dlg.reset(); }

    // The worker connects to the handset (one idle step on this thread), as the program's start does.
    void connect()
    {
        core::SelectedPhone phone{};
        core::putIdentText(phone.Man, "Other");
        rig.comm->SetParams(phone, "Cable", rig.link, "");
        rig.comm->SetAutoConnect(true, 500);
        rig.worker->idleStep();
        ASSERT_TRUE(rig.worker->connectedFlag());
        manage->Connected = true;
        rig.sim->clearCommands();
    }
    Labels labels() const
    {
        auto t = [](QLabel *l) { return l->text().toStdString(); };
        return {t(dlg->lbMan),   t(dlg->lbModel),   t(dlg->lbHardVer), t(dlg->lbFirmVer),
                t(dlg->lbImei),  t(dlg->lbBattery), t(dlg->lbNet),     t(dlg->lbSignal)};
    }
    // The lock is free again: another thread can take it at once.
    bool lockIsFree()
    {
        bool got = false;
        std::thread([&] {
            got = rig.comm->heldByCaller() == false;
            rig.comm->Lock();
            got = got && rig.comm->heldByCaller();
            rig.comm->Unlock();
        }).join();
        return got && !rig.comm->heldByCaller();
    }

    WorkerRig rig;
    std::unique_ptr<core::TManage> manage;
    std::unique_ptr<TfPhoneInfo> dlg;
    std::vector<int> waits;
    std::function<void(size_t)> duringWait;
};

const Labels kExpected{"SIMULATED", "HS-1000(HS-1000)", "R1A 1.00", "", "350000000000006", "75%", "GSM(46000)", "54%"};

TEST_F(PhoneInfoTest, IsTranslated)
{
    lang_qt_test::expectFullyTranslated(dlg.get(), "fPhoneInfo");
    EXPECT_EQ(dlg->windowTitle(), "Phone Information");
    EXPECT_EQ(dlg->PageControl1->tabText(0), "Mobile Base");
    EXPECT_EQ(dlg->PageControl1->tabText(1), "Net Info");
}

#ifdef SV_HAVE_REAL_PLUGINS

// The values load right after the window shows, in the window's order, 500 ms apart.
TEST_F(PhoneInfoTest, LoadsAfterShowingThroughTheGenericDriver)
{
    connect();
    bool disabledMeanwhile = true;
    duringWait = [&](size_t n) {
        disabledMeanwhile = disabledMeanwhile && !dlg->btnRefresh->isEnabled();
        if (n != 8)
            return;
        // Once the refresh has returned to the dialog's own loop.
        QTimer::singleShot(0, dlg.get(), [&] {
            EXPECT_FALSE(dlg->refreshing());
            dlg->PageControl1->setCurrentWidget(dlg->TabBase);
            screenshot(dlg.get(), "phone_info_mobile_base");
            dlg->PageControl1->setCurrentWidget(dlg->TabNet);
            screenshot(dlg.get(), "phone_info_net_info");
            QTest::mouseClick(dlg->btnClose, Qt::LeftButton);
        });
    };
    whenModal("fPhoneInfo", [](QWidget *) {});
    EXPECT_EQ(dlg->exec(), 2);
    EXPECT_EQ(labels(), kExpected);
    EXPECT_EQ(waits, std::vector<int>(8, 500));
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(dlg->btnRefresh->isEnabled());
    EXPECT_EQ(rig.sim->commands(), kQueries);
    EXPECT_TRUE(lockIsFree());
    // The button reads them again.
    rig.sim->clearCommands();
    dlg->lbMan->setText("stale");
    QTest::mouseClick(dlg->btnRefresh, Qt::LeftButton);
    EXPECT_EQ(labels(), kExpected);
    EXPECT_EQ(rig.sim->commands(), kQueries);
}

// With the real waits and the worker running: the queries are at least 500 ms apart, and the
// worker's next command waits for the end of the refresh.
TEST_F(PhoneInfoTest, QueriesAreSpacedAndTheWorkerWaits)
{
    connect();
    dlg = std::make_unique<TfPhoneInfo>(*manage, *rig.comm);
    rig.worker->start();
    // Let the worker's first report go by, then watch from a clean transcript.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    rig.comm->Lock();
    rig.sim->clearTranscript();
    rig.sim->clearCommands();
    rig.comm->Unlock();
    dlg->btnRefreshClick();
    EXPECT_EQ(labels(), kExpected);
    ASSERT_TRUE(waitUntil([&] { return rig.sim->commands().size() > kQueries.size(); }, 5000))
        << "the worker asks the handset again after the refresh";
    rig.worker->stop(std::chrono::seconds(10));

    // The first command of each query, from the transcript's received lines.
    std::vector<std::pair<std::string, double>> rx; // command line, seconds when its first byte came
    std::string line;
    double began = 0;
    for (const auto &e : rig.sim->transcript()) {
        if (e.dir != handsetsim::Direction::In)
            continue;
        for (char c : e.bytes) {
            if (line.empty())
                began = static_cast<double>(e.micros) / 1e6;
            if (c == '\r') {
                if (line.rfind("AT", 0) == 0)
                    rx.emplace_back(line, began);
                line.clear();
            } else if (c != '\n') {
                line += c;
            }
        }
    }
    // A worker step caught holding the lock when the refresh began comes first; skip it.
    auto first = std::find_if(rx.begin(), rx.end(), [](const auto &p) { return p.first == "AT+CGMI"; });
    ASSERT_NE(first, rx.end());
    ASSERT_GT(rx.end() - first, static_cast<ptrdiff_t>(kQueries.size()));
    std::vector<std::string> ours;
    for (size_t i = 0; i < kQueries.size(); ++i)
        ours.push_back(first[i].first);
    EXPECT_EQ(ours, kQueries) << "nothing of the worker's in between";
    // One query after another: getModel's two commands belong together, and the firmware query
    // sends nothing, so the gap before the battery is two waits.
    const std::vector<int> starts = {0, 1, 2, 3, 4, 6, 7};
    const std::vector<double> least = {0.5, 1.0, 0.5, 0.5, 0.5, 0.5};
    for (size_t i = 0; i + 1 < starts.size(); ++i) {
        const double gap = first[starts[i + 1]].second - first[starts[i]].second;
        EXPECT_GE(gap, least[i] - 0.005) << first[starts[i]].first << " -> " << first[starts[i + 1]].first;
    }
    const double afterLast = first[kQueries.size()].second - first[kQueries.size() - 1].second;
    EXPECT_GE(afterLast, 0.5 - 0.005) << "the worker's next command comes after the last wait";
}

TEST_F(PhoneInfoTest, NotConnectedDoesNothing)
{
    connect();
    manage->Connected = false;
    dlg->btnRefreshClick();
    EXPECT_EQ(labels(), Labels{});
    EXPECT_TRUE(waits.empty());
    EXPECT_TRUE(rig.sim->commands().empty());
    EXPECT_TRUE(dlg->btnRefresh->isEnabled());
}

// The program still counts the handset as connected, but the connection closed before the lock
// was taken: nothing is called and the labels stay empty.
TEST_F(PhoneInfoTest, AHangUpBetweenTheFlagAndTheLockLeavesEmptyLabels)
{
    connect();
    dlg->lbMan->setText("old");
    rig.sim->dropLink(handsetsim::DropMode::Hangup);
    rig.worker->idleStep(); // the worker finds the handset gone and closes the connection
    ASSERT_FALSE(rig.worker->connectedFlag());
    ASSERT_TRUE(manage->Connected) << "the main window has not heard of it yet";
    dlg->btnRefreshClick();
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(labels(), Labels{}) << "nothing read, and nothing of the handset that is gone shown";
    EXPECT_TRUE(rig.sim->commands().empty());
    EXPECT_TRUE(dlg->btnRefresh->isEnabled());
    EXPECT_TRUE(lockIsFree());
}

// The connection closes during a wait (on this thread, as the lock is recursive): the refresh
// ends there instead of calling a stale interface.
TEST_F(PhoneInfoTest, AConnectionClosedDuringARefreshEndsIt)
{
    connect();
    duringWait = [&](size_t n) {
        if (n == 2)
            rig.comm->Disconnect();
    };
    dlg->btnRefreshClick();
    EXPECT_EQ(waits.size(), 2u);
    EXPECT_EQ(dlg->lbMan->text(), "SIMULATED");
    EXPECT_EQ(dlg->lbHardVer->text(), "R1A 1.00");
    EXPECT_EQ(dlg->lbImei->text(), "");
    EXPECT_EQ(rig.sim->commands(), (std::vector<std::string>{"AT+CGMI", "AT+CGMR"}));
    EXPECT_TRUE(dlg->btnRefresh->isEnabled());
    EXPECT_TRUE(lockIsFree());
}

// The refresh shows a busy cursor; one that ends in an exception (here from the wait) still
// leaves the window ready: the lock released, the button enabled, the usual cursor, and the next
// refresh runs.
TEST_F(PhoneInfoTest, ARefreshEndingInAnExceptionLeavesTheWindowReady)
{
    connect();
    duringWait = [&](size_t n) {
        EXPECT_EQ(dlg->cursor().shape(), Qt::BusyCursor);
        if (n == 2)
            throw std::runtime_error("the wait broke");
    };
    EXPECT_THROW(dlg->btnRefreshClick(), std::runtime_error);
    EXPECT_FALSE(dlg->refreshing());
    EXPECT_TRUE(dlg->btnRefresh->isEnabled());
    EXPECT_EQ(dlg->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(lockIsFree());

    duringWait = [&](size_t) { EXPECT_EQ(dlg->cursor().shape(), Qt::BusyCursor); };
    dlg->btnRefreshClick();
    EXPECT_EQ(labels(), kExpected);
    EXPECT_EQ(dlg->cursor().shape(), Qt::ArrowCursor);
}

// Closing during a refresh stops it after the current query and then closes the window.
TEST_F(PhoneInfoTest, ClosingDuringARefreshStopsIt)
{
    connect();
    duringWait = [&](size_t n) {
        if (n == 3)
            QTest::mouseClick(dlg->btnClose, Qt::LeftButton);
    };
    whenModal("fPhoneInfo", [&](QWidget *) {});
    EXPECT_EQ(dlg->exec(), 2);
    EXPECT_EQ(waits.size(), 3u);
    EXPECT_EQ(rig.sim->commands(), (std::vector<std::string>{"AT+CGMI", "AT+CGMR"}));
    EXPECT_FALSE(dlg->refreshing());
    EXPECT_TRUE(lockIsFree());
}

#endif

} // namespace
} // namespace forms_test
