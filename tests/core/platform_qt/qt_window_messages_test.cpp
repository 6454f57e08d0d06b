#include "platform/qt/qt_pump.h"
#include "platform/qt/qt_window_messages.h"

#include "dv_vos.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using platform::QtWindowMessages;
using platform::SendError;
using platform::WindowRegistration;

namespace {

QApplication &app()
{
    static int argc = 1;
    static char name[] = "platform_qt_tests";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication a(argc, argv);
    return a;
}

// Processes events until done() holds or five seconds pass.
template <class Pred>
bool pumpUntil(Pred done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// A window as the program's windows will be: it records what it receives in its own members, so a
// message delivered after it has gone would write freed memory (ASan reports it).
class RecordingWindow : public QWidget {
public:
    explicit RecordingWindow(QtWindowMessages &hub)
        : reg_(hub, this, [this](uint32_t msg, intptr_t w, intptr_t l) -> intptr_t {
              received.push_back({reg_.id(), msg, w, l});
              threads.push_back(QThread::currentThread());
              return w + l;
          })
    {
    }
    platform::WindowId id() const { return reg_.id(); }

    std::vector<platform::WindowMessage> received;
    std::vector<QThread *> threads;

private:
    WindowRegistration reg_;
};

class QtWindowMessagesTest : public ::testing::Test {
protected:
    void SetUp() override { app(); }
};

} // namespace

TEST_F(QtWindowMessagesTest, PostFromAnotherThreadArrivesOnTheUiThread)
{
    QtWindowMessages hub;
    RecordingWindow win(hub);
    std::thread([&] { EXPECT_TRUE(hub.post(win.id(), 1145, 3, 4)); }).join();
    ASSERT_TRUE(pumpUntil([&] { return !win.received.empty(); }));
    EXPECT_EQ(win.received[0].msg, 1145u);
    EXPECT_EQ(win.received[0].w, 3);
    EXPECT_EQ(win.received[0].l, 4);
    EXPECT_EQ(win.threads[0], app().thread());
}

TEST_F(QtWindowMessagesTest, PostsFromFourThreadsKeepEachSendersOrder)
{
    QtWindowMessages hub;
    RecordingWindow win(hub);
    constexpr int kThreads = 4, kPerThread = 2500;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                hub.post(win.id(), 2000, t, i);
        });
    // Deliver while they post: the user-interface thread keeps running.
    ASSERT_TRUE(pumpUntil([&] { return win.received.size() == size_t(kThreads * kPerThread); }));
    for (auto &s : senders)
        s.join();
    std::vector<intptr_t> next(kThreads, 0);
    for (const auto &m : win.received) {
        ASSERT_EQ(m.l, next[m.w]) << "sender " << m.w;
        ++next[m.w];
    }
}

TEST_F(QtWindowMessagesTest, WindowDestroyedWithPostsPendingGetsNothing)
{
    QtWindowMessages hub;
    auto *win = new RecordingWindow(hub);
    auto id = win->id();
    std::thread([&] {
        for (int i = 0; i < 100; ++i)
            EXPECT_TRUE(hub.post(id, 3000, i, 0));
    }).join();
    delete win;  // 100 messages still queued for it
    EXPECT_FALSE(hub.post(id, 3000, 0, 0));

    RecordingWindow other(hub);  // a later window never gets the old number or its messages
    EXPECT_NE(other.id(), id);
    hub.post(other.id(), 3001, 0, 0);
    ASSERT_TRUE(pumpUntil([&] { return !other.received.empty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(other.received.size(), 1u);
    EXPECT_EQ(other.received[0].msg, 3001u);
}

TEST_F(QtWindowMessagesTest, ObjectDestroyedWithoutUnregisteringIsDroppedToo)
{
    QtWindowMessages hub;
    int calls = 0;
    auto *obj = new QObject;
    auto id = hub.registerWindow(obj, [&](uint32_t, intptr_t, intptr_t) -> intptr_t { return ++calls; });
    EXPECT_TRUE(hub.post(id, 1, 0, 0));
    delete obj;
    EXPECT_FALSE(hub.post(id, 1, 0, 0));
    EXPECT_EQ(hub.send(id, 1, 0, 0).error, SendError::NoWindow);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
    hub.unregisterWindow(id);
}

TEST_F(QtWindowMessagesTest, SendDeliversAtOnceOnTheUiThreadOnly)
{
    QtWindowMessages hub;
    RecordingWindow win(hub);
    auto r = hub.send(win.id(), 5, 20, 22);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value, 42);
    ASSERT_EQ(win.received.size(), 1u);

    platform::SendResult elsewhere;
    std::thread([&] { elsewhere = hub.send(win.id(), 5, 0, 0); }).join();
    EXPECT_EQ(elsewhere.error, SendError::NotUiThread);
    EXPECT_EQ(hub.send(999999, 5, 0, 0).error, SendError::NoWindow);
    EXPECT_EQ(win.received.size(), 1u);
}

// The device library's waits run the waiting thread's own pump: on the user-interface thread that
// delivers window messages; a thread without a pump pumps nothing.
TEST_F(QtWindowMessagesTest, DeviceLibraryWaitsPumpTheWaitingThreadsOwnPump)
{
    QtWindowMessages hub;
    RecordingWindow win(hub);
    CnsVos_setPumpHook(platform::threadPumpHook, nullptr);
    {
        platform::ScopedThreadPump ui(platform::qtEventPump());
        hub.post(win.id(), 7, 0, 0);
        CnsVos_blocking(0);
        EXPECT_EQ(win.received.size(), 1u);

        std::atomic<int> workerPasses{0};
        std::thread([&] {
            hub.post(win.id(), 8, 0, 0);
            CnsVos_blocking(0);  // no pump here: the message waits for the user-interface thread
            platform::ScopedThreadPump worker([&] { ++workerPasses; });
            CnsVos_blocking(0);
        }).join();
        EXPECT_EQ(workerPasses.load(), 1);
        EXPECT_EQ(win.received.size(), 1u);
        CnsVos_blocking(0);
        EXPECT_EQ(win.received.size(), 2u);
    }
    CnsVos_setPumpHook(nullptr, nullptr);
}
