// The start, shut-down and connection stages over a small window of the main window's controls,
// with the real connection manager, worker, driver and plug-in, against the simulated handset in
// infrared range. The worker's clock is a fake one: idle time is stepped, never waited out.

#include "program_fixture.h"

#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "core/comm/comm_command.h"
#include "core/comm_data.h"
#include "core/db_main.h"
#include "core/prompt.h"
#include "core/qt/menu_merge.h"
#include "forms_app.h"
#include "platform/ini_file.h"
#include "platform/qt/qt_window_messages.h"
#include "platform/pump.h"
#include "program/stages.h"

#include "dv_vos.h"

#include <QMenu>
#include <QToolBar>
#include <QTreeWidget>
#include <QWidget>

namespace {

using program_test::ProgramFolder;
using program_test::waitUntil;

// The controls the stages fill, and the window procedure of the connection messages.
class HostWindow final : public QWidget, public program::MainHost {
public:
    explicit HostWindow(platform::QtWindowMessages &hub)
    {
        auto menu = [this](const char *name) {
            auto *m = new QMenu(this);
            m->setObjectName(name);
            return m;
        };
        auto tree = [this](const char *name) {
            auto *t = new QTreeWidget(this);
            t->setObjectName(name);
            return t;
        };
        sms = {menu("m_tool"), menu("m_Edit"), menu("mSms"), menu("menu_tree_sms"), menu("menu_list_sms"),
               new QToolBar(this), tree("ListView_sms"), tree("TreeView_sms")};
        phrases = {sms.m_tool, sms.m_Edit, menu("mUser"), menu("menu_treeuser"), menu("menu_userview"),
                   new QToolBar(this), tree("TreeView_usersms")};
        contacts.TreeView_cont = tree("TreeView_cont");
        contacts.ListView_cont = tree("ListView_cont");
        contacts.menus = {menu("menu_contview"), menu("menu_conttree")};
        registration = std::make_unique<platform::WindowRegistration>(
            hub, this, [this](uint32_t msg, intptr_t w, intptr_t l) { return proc(msg, w, l); });
    }

    QWidget *widget() override { return this; }
    platform::WindowId windowId() const override { return registration->id(); }
    content::SmsControls smsControls() override { return sms; }
    content::PhraseControls phraseControls() override { return phrases; }
    program::ContactControls contactControls() override { return contacts; }
    core::MenuMerge *toolMenuMerge() override { return &merge; }
    void messageTreeChanged() override { ++treeChanges[0]; }
    void contactTreeChanged() override { ++treeChanges[1]; }
    void phraseTreeChanged() override { ++treeChanges[2]; }

    intptr_t proc(uint32_t msg, intptr_t w, intptr_t)
    {
        if (!stages)
            return 0;
        if (msg == core::WM_PHONE_CONNECTED) {
            ++connects;
            stages->SetConnected(true);
        } else if (msg == core::WM_PHONE_DISCONNECTED) {
            ++disconnects;
            stages->SetConnected(false);
        } else if (msg == core::WM_CONN_PARAMS_CHANGED) {
            stages->UpdatePhoneInfo();
        } else if (msg == core::WM_BATTERY_STATUS) {
            battery = int(w);
        } else if (msg == program::WM_PLUGIN_SCAN_INFO) {
            ++scanNotices;
        }
        return 0;
    }

    content::SmsControls sms;
    content::PhraseControls phrases;
    program::ContactControls contacts;
    core::MenuMerge merge;
    program::Stages *stages = nullptr;
    int connects = 0;
    int disconnects = 0;
    int battery = -1;
    int scanNotices = 0;
    int treeChanges[3] = {};
    std::unique_ptr<platform::WindowRegistration> registration;
};

class Stages : public ::testing::Test {
protected:
    void SetUp() override
    {
        forms_test::app();
        if (!handsetsim::HandsetSim::irdaSupported())
            GTEST_SKIP() << "the simulated handset was built without the IrDA stand-in";
        // As the program does: the device library's waits run the thread's pump, so a stop
        // cancels the worker's wait in progress (an infrared search with no handset in range).
        CnsVos_setPumpHook(platform::threadPumpHook, nullptr);
    }
    void TearDown() override
    {
        if (stages) {
            const auto begin = std::chrono::steady_clock::now();
            EXPECT_TRUE(stages->StopWorker(begin + std::chrono::seconds(5)));
            EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(4))
                << "the worker's wait was not cancelled";
        }
        stages.reset();
        host.reset();
        db.reset();
        manage.reset();
        if (sim)
            sim->stop();
        CnsVos_setPumpHook(nullptr, nullptr);
    }

    void startHandset() { sim = std::make_unique<handsetsim::HandsetSim>(program_test::handsetInRange(folder)); sim->start(); }
    void startProgram()
    {
        manage = std::make_unique<core::TManage>(folder.root(), &prompt);
        db = std::make_unique<core::TdbMain>(manage->DatabaseDir(), &prompt, &manage->LangMng());
        manage->SetDatabase(db.get());
        host = std::make_unique<HostWindow>(hub);
        stages = std::make_unique<program::Stages>(*manage, *db, commData, hub, prompt,
                                                   program::StagesSetup{&clock, [](int) {}});
        host->stages = stages.get();
        stages->StartUp(*host);
    }
    bool connected() { return waitUntil([&] { return manage->Connected; }); }
    int rowsOfBox(int box)
    {
        return int(stages->sms().FillList(box).rows.size());
    }

    ProgramFolder folder;
    std::unique_ptr<handsetsim::HandsetSim> sim;
    core::RecordingPrompt prompt;
    platform::QtWindowMessages hub;
    platform::FakeClock clock{1000000};
    core::TdmCommData commData;
    std::unique_ptr<core::TManage> manage;
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<HostWindow> host;
    std::unique_ptr<program::Stages> stages;
};

TEST_F(Stages, AFreshFolderConnectsOverInfraredAndKnowsTheHandset)
{
    startHandset();
    startProgram();
    EXPECT_FALSE(manage->Connected);
    EXPECT_EQ(manage->ComType, "IrDA");
    EXPECT_EQ(manage->HistoryFile, manage->IniDir() + "/SmsADRSFile.Vrk");
    EXPECT_GT(host->scanNotices, 0) << "the scan of a new Plug-in folder catalogues both modules";
    bool autoOn = false;
    int32_t pollMs = 0;
    stages->commMng().GetAutoConnect(autoOn, pollMs);
    EXPECT_TRUE(autoOn);
    EXPECT_EQ(pollMs, 1000);

    ASSERT_TRUE(connected());
    EXPECT_EQ(manage->PhoneMan, "SIMULATED");
    EXPECT_EQ(manage->PhoneModel, "HS-1000");
    EXPECT_TRUE(waitUntil([&] { return host->battery == 75; }));
    // The contact tree shows the handset's storages for its capabilities.
    ASSERT_GT(host->contacts.TreeView_cont->topLevelItemCount(), 0);
    EXPECT_GT(host->contacts.TreeView_cont->topLevelItem(0)->childCount(), 0);
}

TEST_F(Stages, AHangUpEmptiesThePhoneBoxesAndKeepsTheLocalOnes)
{
    startHandset();
    startProgram();
    ASSERT_TRUE(connected());
    EXPECT_EQ(stages->smsTransfer().Download(), 0);
    EXPECT_EQ(rowsOfBox(content::kBoxPhoneReceived), 3) << "SM 1 and 2 and ME 4 were received";
    EXPECT_EQ(rowsOfBox(content::kBoxPhoneStored), 1);
    EXPECT_EQ(rowsOfBox(content::kBoxReceived), 3);

    sim->dropLink(handsetsim::DropMode::Hangup);
    ASSERT_TRUE(waitUntil([&] { return !manage->Connected; }));
    EXPECT_EQ(manage->PhoneMan, "");
    EXPECT_EQ(manage->PhoneModel, "");
    EXPECT_FALSE(manage->PbCap2 || manage->PbCap4 || manage->PbCap8);
    EXPECT_EQ(rowsOfBox(content::kBoxPhone), 0);
    EXPECT_EQ(rowsOfBox(content::kBoxReceived), 3);
}

TEST_F(Stages, ParametersAreCopiedOnlyWhileTheConnectionAnswersThem)
{
    startProgram(); // no handset in range
    manage->SetComParams("IrDA", "kept-port", "kept-baud");
    stages->UpdatePhoneInfo();
    EXPECT_EQ(manage->ComType, "IrDA");
    EXPECT_EQ(manage->ComPort, "kept-port");
    EXPECT_EQ(manage->ComBaud, "kept-baud");
    EXPECT_EQ(manage->SelectPhone, "nokia");

    startHandset();
    ASSERT_TRUE(connected());
    manage->SetComParams("Cable", "/dev/ttyS0", "9600");
    stages->UpdatePhoneInfo();
    EXPECT_EQ(manage->ComType, "IrDA") << "the connection's own parameters";
    EXPECT_EQ(manage->ComPort, "");
}

TEST_F(Stages, TheStoredIdleTimeIsInEffectFromTheStart)
{
    folder.settings("KeepTime=10\n");
    startHandset();
    startProgram();
    EXPECT_EQ(manage->KeepTime, 10);
    EXPECT_EQ(stages->worker().IdleTimeout(), 600000);
    ASSERT_TRUE(connected());

    ASSERT_TRUE(waitUntil([&] { return host->battery == 75; }));
    // Each idle step checks the idle time first, then reports the battery when a report is due
    // (always, after minutes): a report after the step means the check has run.
    clock.advance(9 * 60000);
    host->battery = -1;
    ASSERT_TRUE(waitUntil([&] { return host->battery != -1 || !manage->Connected; }, std::chrono::seconds(10)));
    EXPECT_TRUE(manage->Connected) << "nine idle minutes are not ten";
    // Applying the same value again hands nothing over: a hand-over would restart the idle count.
    stages->SetKeepTime(10);

    clock.advance(60000 + 1);
    EXPECT_TRUE(waitUntil([&] { return !manage->Connected; }, std::chrono::seconds(10)));
    EXPECT_EQ(host->disconnects, 1);
}

TEST_F(Stages, SetKeepTimeHandsOnlyAChangeToTheWorker)
{
    folder.settings("KeepTime=10\n");
    startProgram();
    stages->SetKeepTime(15);
    EXPECT_EQ(manage->KeepTime, 15);
    EXPECT_EQ(stages->worker().IdleTimeout(), 15 * 60000);
    // The worker restarts its idle count on every hand-over; the same value hands nothing over.
    stages->worker().SetIdleTimeout(15 * 60000);
    stages->SetKeepTime(15);
    EXPECT_EQ(stages->worker().IdleTimeout(), 15 * 60000);
    // Compared with what the worker holds, not with the stored setting.
    stages->worker().SetIdleTimeout(0);
    stages->SetKeepTime(15);
    EXPECT_EQ(stages->worker().IdleTimeout(), 15 * 60000);
    stages->SetKeepTime(0);
    EXPECT_EQ(stages->worker().IdleTimeout(), 0);
    EXPECT_EQ(manage->KeepTime, 0);
}

TEST_F(Stages, ActiveGroupRunsTheAreasChangeHandler)
{
    startProgram();
    const struct {
        int area;
        int handler; // -1: none
    } cases[] = {{1, 1}, {2, 2}, {0, 0}, {4, -1}};
    for (const auto &c : cases) {
        int before[3] = {host->treeChanges[0], host->treeChanges[1], host->treeChanges[2]};
        stages->SetActiveGroup(c.area);
        EXPECT_EQ(manage->ActiveGroup, c.area);
        for (int h = 0; h < 3; ++h)
            EXPECT_EQ(host->treeChanges[h] - before[h], h == c.handler ? 1 : 0) << "area " << c.area << " handler " << h;
    }
    // The phrase area builds its tree when shown.
    EXPECT_EQ(host->phrases.TreeView_usersms->topLevelItemCount(), 1);
}

TEST_F(Stages, ShutDownSavesSettingsAndDropsThePhoneCopies)
{
    startHandset();
    startProgram();
    ASSERT_TRUE(connected());
    ASSERT_EQ(stages->smsTransfer().Download(), 0);
    ASSERT_GT(rowsOfBox(content::kBoxPhone), 0);
    manage->KeepTime = 7;
    stages->ShutDown();
    EXPECT_EQ(rowsOfBox(content::kBoxPhone), 0);
    EXPECT_EQ(rowsOfBox(content::kBoxReceived), 3);
    EXPECT_NE(folder.readFile("ini/set.ini").find("KeepTime=7"), std::string::npos);
    EXPECT_TRUE(stages->commMng().IsDisconnectRequested());
    EXPECT_TRUE(stages->StopWorker(std::chrono::steady_clock::now() + std::chrono::seconds(5)));
    EXPECT_NE(stages->commMng().Lock(), 0) << "the connection is closed";
    stages->commMng().Unlock();
}

} // namespace
