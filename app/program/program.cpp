#include "program/program.h"

#include "core/app_manage.h"
#include "core/comm_data.h"
#include "core/db_main.h"
#include "core/lang_mng.h"
#include "core/qt/qt_prompt.h"
#include "forms/common/dialog_base.h"
#include "forms/f_find.h"
#include "forms/f_main.h"
#include "forms/f_main_commands.h"
#include "forms/f_set.h"
#include "forms/main_application.h"
#include "platform/instance_guard.h"
#include "platform/paths.h"
#include "platform/pump.h"
#include "platform/qt/qt_pump.h"
#include "platform/qt/qt_window_messages.h"
#include "program/f_face.h"
#include "program/stages.h"

#include "dv_vos.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMenu>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <fcntl.h>
#include <unistd.h>

namespace program {

namespace {

// How often changed tables are handed to the database's writer: a change is on disk well within a
// second.
constexpr std::chrono::milliseconds kSaveInterval{200};

// The self-pipe the quit signals write to; the loop reads it.
int gSignalPipe[2] = {-1, -1};
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onQuitSignal(int)
{
    const int saved = errno;
    const char c = 1;
    if (gSignalPipe[1] >= 0) {
        const ssize_t n = ::write(gSignalPipe[1], &c, 1);
        (void)n;
    }
    errno = saved;
}

// The stages' view of the main window.
class MainWindowHost final : public MainHost {
public:
    explicit MainWindowHost(forms::TfMain &main) : main_(main) {}
    QWidget *widget() override { return &main_; }
    platform::WindowId windowId() const override { return main_.windowId(); }
    content::SmsControls smsControls() override { return main_.smsControls(); }
    content::PhraseControls phraseControls() override { return main_.phraseControls(); }
    ContactControls contactControls() override
    {
        ContactControls c;
        c.TreeView_cont = main_.TreeView_cont();
        c.ListView_cont = main_.ListView_cont();
        for (const char *name : {"mCont", "menu_contview", "menu_conttree", "m_Edit"})
            if (QMenu *m = main_.menu(QString::fromLatin1(name)))
                c.menus.append(m);
        c.toolBar = main_.toolBar("ToolBar_cont");
        return c;
    }
    core::MenuMerge *toolMenuMerge() override { return &main_.toolMenuMerge(); }
    QList<QIcon> images() const override { return main_.images(); }
    void messageTreeChanged() override { main_.TreeView_smsChange(); }
    void contactTreeChanged() override { main_.TreeView_contChange(); }
    void phraseTreeChanged() override { main_.TreeView_usersmsChange(); }

private:
    forms::TfMain &main_;
};

// Ends the loop once the main window is no longer shown (closed, not minimised), and after the
// first paint when asked to.
class LoopWatch final : public QObject {
public:
    LoopWatch(QWidget *main, QEventLoop &loop, bool quitAfterFirstPaint, std::function<void()> painted,
              std::function<void()> quit)
        : main_(main), loop_(loop), afterPaint_(quitAfterFirstPaint), painted_(std::move(painted)),
          quit_(std::move(quit))
    {
        main->installEventFilter(this);
    }
    ~LoopWatch() override
    {
        if (main_)
            main_->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (watched == main_) {
            if (e->type() == QEvent::Hide || e->type() == QEvent::Close)
                QTimer::singleShot(0, this, [this] {
                    if (!main_ || !main_->isVisible())
                        loop_.quit();
                });
            else if (e->type() == QEvent::Paint) {
                if (painted_)
                    std::exchange(painted_, nullptr)();
                if (afterPaint_) {
                    afterPaint_ = false;
                    QTimer::singleShot(0, this, [this] { quit_(); });
                }
            }
        }
        return false;
    }

private:
    QPointer<QWidget> main_;
    QEventLoop &loop_;
    bool afterPaint_;
    std::function<void()> painted_;
    std::function<void()> quit_;
};

// Hands the end of the message table's read to the stages on the user-interface thread, and not
// before the main window has painted, so listing a large box never delays the first paint.
class MessagesNotice final : public QObject {
public:
    explicit MessagesNotice(std::function<void()> loaded) : loaded_(std::move(loaded)) {}
    // Any thread.
    void read()
    {
        QMetaObject::invokeMethod(this, [this] { readHere(); }, Qt::QueuedConnection);
    }
    // Once the stages exist: a read that ended before is handed on now.
    void watch(QWidget *main)
    {
        main_ = main;
        main->installEventFilter(this);
        if (pending_)
            readHere();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (watched == main_ && e->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            if (pending_)
                deliver();
        }
        return false;
    }

private:
    void readHere()
    {
        pending_ = true;
        if (main_ && (painted_ || !main_->isVisible()))
            deliver();
    }
    // After the event at hand (a paint) is done.
    void deliver()
    {
        pending_ = false;
        QTimer::singleShot(0, this, [this] { loaded_(); });
    }

    std::function<void()> loaded_;
    QPointer<QWidget> main_;
    bool painted_ = false;
    bool pending_ = false;
};

} // namespace

struct Program::Parts {
    std::unique_ptr<platform::InstanceGuard> guard;
    std::unique_ptr<forms::MainApplication> ownApp;
    std::unique_ptr<platform::QtWindowMessages> hub;
    std::unique_ptr<core::QtPrompt> prompt;
    core::Prompt *ask = nullptr; // the prompt every part uses: the options' or the program's own
    std::unique_ptr<TfFace> face;
    std::unique_ptr<core::TManage> manage;
    std::unique_ptr<forms::TfMain> main;
    std::unique_ptr<core::TdmCommData> commData;
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<forms::TfFind> find;
    std::unique_ptr<MainWindowHost> host;
    std::unique_ptr<Stages> stages;
    std::unique_ptr<forms::TfMainCommands> commands;
    std::unique_ptr<platform::ScopedThreadPump> pump;
    std::unique_ptr<QSocketNotifier> signalNotifier;
    std::unique_ptr<QTimer> saveTimer;
    std::unique_ptr<MessagesNotice> messagesNotice; // outlives db, whose reading thread calls it
    struct sigaction previous[3] = {};
    bool signalsInstalled = false;
    int quitRetries = 0;
};

Program::Program(ProgramOptions options) : options_(std::move(options)), parts_(std::make_unique<Parts>()) {}

Program::~Program()
{
    shutDown();
    removeSignals();
    Parts &p = *parts_;
    // The views point at the window's controls, and the window at the managers.
    if (p.main)
        p.main->attachContent({});
    p.commands.reset();
    p.stages.reset();
    p.host.reset();
    p.find.reset();
    p.main.reset();
    p.face.reset();
    p.db.reset();
    p.messagesNotice.reset();
    p.commData.reset();
    p.manage.reset();
    // The application may outlive the block (a caller's own): it must not report through a freed box.
    if (auto *app = qobject_cast<forms::MainApplication *>(QApplication::instance()))
        app->setPrompt(nullptr, kApplicationTitle);
    p.prompt.reset();
    p.pump.reset();
    p.hub.reset();
    p.ownApp.reset();
    p.guard.reset();
}

Program::Start Program::start(int &argc, char **argv)
{
    try {
        return startSteps(argc, argv);
    } catch (const std::exception &e) {
        failStart(e.what());
    } catch (...) {
        failStart("unknown error");
    }
    return Start::Failed;
}

void Program::failStart(const std::string &what)
{
    Parts &p = *parts_;
    exitCode_ = 1;
    shutDown_ = true;
    const std::string text = std::string("Selvark could not start: ") + what;
    std::fprintf(stderr, "%s\n", text.c_str());
    p.face.reset();
    if (p.main)
        p.main->hide();
    if (!QApplication::instance())
        return; // no box without the toolkit: standard error has it
    try {
        if (!p.prompt)
            p.prompt = std::make_unique<core::QtPrompt>();
        core::Prompt *box = p.ask ? p.ask : p.prompt.get();
        box->show(text, kApplicationTitle, core::kMbOk | core::kMbIconError);
    } catch (...) {
        // The box itself failed; standard error has the text.
    }
}

Program::Start Program::startSteps(int &argc, char **argv)
{
    Parts &p = *parts_;
    const auto step = [this](int n) {
        if (options_.beforeStep)
            options_.beforeStep(n);
    };
    // 2: one instance per user.
    const std::string lockPath = options_.lockDir.empty()
                                     ? platform::InstanceGuard::defaultLockPath()
                                     : platform::InstanceGuard::lockPathFor(options_.lockDir.c_str(), ::getuid());
    p.guard = std::make_unique<platform::InstanceGuard>(lockPath);
    if (p.guard->status() == platform::InstanceGuard::Status::AlreadyRunning) {
        exitCode_ = 0;
        shutDown_ = true;
        return Start::AlreadyRunning;
    }

    if (!QApplication::instance())
        p.ownApp = std::make_unique<forms::MainApplication>(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
    p.hub = std::make_unique<platform::QtWindowMessages>();
    // The device library's waits keep the user interface alive.
    CnsVos_setPumpHook(platform::threadPumpHook, nullptr);
    p.pump = std::make_unique<platform::ScopedThreadPump>(platform::qtEventPump());
    p.prompt = std::make_unique<core::QtPrompt>();
    p.ask = options_.prompt ? options_.prompt : p.prompt.get();

    const std::string dir = options_.programDir.empty() ? platform::programDir() : options_.programDir;
    // 3-5: splash, application manager, splash painted.
    step(3);
    p.face = std::make_unique<TfFace>(dir + "/" + kFacePicture);
    step(4);
    p.manage = std::make_unique<core::TManage>(dir, p.ask);
    p.face->showAndPaint();
    // 6: title; help lies in the program folder.
    if (auto *app = qobject_cast<forms::MainApplication *>(QApplication::instance()))
        app->setPrompt(p.ask, kApplicationTitle);
    // 7: main window, hand-over table, database, find dialog.
    step(7);
    p.main = std::make_unique<forms::TfMain>(*p.manage);
    p.main->registerWindow(*p.hub);
    p.prompt->setParent(p.main.get());
    p.commData = std::make_unique<core::TdmCommData>();
    // The message table may be large: read while the rest comes up, listed after the first paint.
    p.messagesNotice = std::make_unique<MessagesNotice>([&p] {
        if (p.stages)
            p.stages->MessagesLoaded();
    });
    core::DbOpenOptions dbOpen;
    dbOpen.messagesInBackground = true;
    dbOpen.beforeRead = options_.beforeMessagesRead;
    dbOpen.read = [notice = p.messagesNotice.get()] { notice->read(); };
    p.db = std::make_unique<core::TdbMain>(p.manage->DatabaseDir(), p.ask, &p.manage->LangMng(),
                                           platform::FileOps::system(), std::move(dbOpen));
    p.manage->SetDatabase(p.db.get());
    // Changes go to disk as they happen, written on the database's own thread.
    p.saveTimer = std::make_unique<QTimer>();
    p.saveTimer->setInterval(kSaveInterval);
    QObject::connect(p.saveTimer.get(), &QTimer::timeout, p.saveTimer.get(), [&p] { p.db->SaveChanged(); });
    p.saveTimer->start();
    p.find = std::make_unique<forms::TfFind>(*p.manage, p.main.get());
    p.main->setFindDialog(p.find.get());
    // 8: the second start stage.
    step(8);
    p.host = std::make_unique<MainWindowHost>(*p.main);
    p.stages = std::make_unique<Stages>(*p.manage, *p.db, *p.commData, *p.hub, *p.ask,
                                        StagesSetup{options_.clock, options_.workerPause, options_.workerIdleSleep});
    p.stages->StartUp(*p.host);
    Stages &st = *p.stages;
    p.main->attachContent({&st.env(), &st.sms(), &st.smsView(), &st.phoneBook(), &st.phrases(), &st.phraseView()});
    p.main->setHooks({[&st](bool connected) { st.SetConnected(connected); },
                      [&st](int area) { st.SetActiveGroup(area); }, [&st] { st.UpdatePhoneInfo(); }});
    // The commands of the window's menus, tool bars and pop-ups.
    p.commands = std::make_unique<forms::TfMainCommands>(
        *p.main, forms::programServices(*p.main, {*p.manage, *p.ask, st.env(), st.sms(), st.smsTransfer(),
                                                  st.phrases(), st.phoneBook(), st.commMng(), [&p, &st] {
                                                      forms::TfSet::Setup setup{*p.manage, *p.ask,
                                                                                p.db->catalogue(), &st.commMng(),
                                                                                &st.worker(), p.hub.get(), "/sys",
                                                                                {}, {}};
                                                      setup.setKeepTime = [&st](int32_t m) { st.SetKeepTime(m); };
                                                      forms::TfSet set(setup, p.main.get());
                                                      set.exec();
                                                  }}));
    if (options_.handleSignals)
        installSignals();
    p.main->show();
    p.messagesNotice->watch(p.main.get());
    // 9.
    step(9);
    p.face.reset();
    return Start::Running;
}

int Program::run()
{
    Parts &p = *parts_;
    if (!p.main || shutDown_)
        return exitCode_;
    QEventLoop loop;
    LoopWatch watch(p.main.get(), loop, options_.quitAfterFirstPaint, options_.firstPaint, [this] { requestQuit(); });
    if (p.main->isVisible())
        loop.exec();
    return exitCode_;
}

void Program::requestQuit()
{
    Parts &p = *parts_;
    if (!p.main || shutDown_)
        return;
    if (QWidget *modal = QApplication::activeModalWidget()) {
        // A dialog first: a progress dialog cancels its batch and waits for the worker's answer.
        // A worker that does not answer in time is stopped, and the dialog closed.
        const int limit = int(options_.workerStopWait.count() / 20) + 1;
        if (++p.quitRetries > limit) {
            p.stages->StopWorker(std::chrono::steady_clock::now() + options_.workerStopWait);
            if (auto *d = qobject_cast<forms::DialogBase *>(modal))
                d->finish(forms::kMrCancel);
            else if (auto *qd = qobject_cast<QDialog *>(modal))
                qd->done(forms::kMrCancel);
            else
                modal->close();
        } else if (auto *qd = qobject_cast<QDialog *>(modal)) {
            qd->reject();
        } else {
            modal->close();
        }
        QTimer::singleShot(20, p.main.get(), [this] { requestQuit(); });
        return;
    }
    p.quitRetries = 0;
    p.main->close();
}

void Program::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    Parts &p = *parts_;
    p.saveTimer.reset();
    if (p.stages) {
        p.stages->ShutDown();
        workerStopped_ = p.stages->StopWorker(std::chrono::steady_clock::now() + options_.workerStopWait);
    }
    if (p.db)
        p.db->SaveAll();
    removeSignals();
    CnsVos_setPumpHook(nullptr, nullptr);
}

void Program::installSignals()
{
    Parts &p = *parts_;
    if (p.signalsInstalled || gSignalPipe[0] >= 0)
        return;
    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gSignalPipe[0] = gSignalPipe[1] = -1;
        return;
    }
    p.signalNotifier = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(p.signalNotifier.get(), &QSocketNotifier::activated, p.main.get(), [this] {
        char buf[16];
        while (::read(gSignalPipe[0], buf, sizeof buf) > 0) {
        }
        requestQuit();
    });
    struct sigaction sa = {};
    sa.sa_handler = onQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kQuitSignals[i], &sa, &p.previous[i]);
    p.signalsInstalled = true;
}

void Program::removeSignals()
{
    Parts &p = *parts_;
    if (!p.signalsInstalled)
        return;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kQuitSignals[i], &p.previous[i], nullptr);
    p.signalNotifier.reset();
    ::close(gSignalPipe[0]);
    ::close(gSignalPipe[1]);
    gSignalPipe[0] = gSignalPipe[1] = -1;
    p.signalsInstalled = false;
}

core::TManage &Program::manage() { return *parts_->manage; }
core::TdbMain &Program::db() { return *parts_->db; }
core::TdmCommData &Program::commData() { return *parts_->commData; }
Stages &Program::stages() { return *parts_->stages; }
forms::TfMain &Program::mainWindow() { return *parts_->main; }

int runProgram(int argc, char **argv, ProgramOptions options)
{
    Program program(std::move(options));
    if (program.start(argc, argv) != Program::Start::Running)
        return program.exitCode();
    const int code = program.run();
    program.shutDown();
    return code;
}

} // namespace program
