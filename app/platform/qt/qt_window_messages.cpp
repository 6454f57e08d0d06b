#include "platform/qt/qt_window_messages.h"

#include <QCoreApplication>
#include <QThread>

namespace platform {

namespace {

class WindowMessageEvent final : public QEvent {
public:
    explicit WindowMessageEvent(const WindowMessage &m) : QEvent(QtWindowMessages::eventType()), message(m) {}
    WindowMessage message;
};

} // namespace

class QtWindowMessages::Receiver final : public QObject {
public:
    explicit Receiver(QtWindowMessages &hub) : hub_(hub) {}

    bool event(QEvent *e) override
    {
        if (e->type() == QtWindowMessages::eventType()) {
            hub_.deliver(static_cast<WindowMessageEvent *>(e)->message);
            return true;
        }
        return QObject::event(e);
    }

private:
    QtWindowMessages &hub_;
};

QEvent::Type QtWindowMessages::eventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QtWindowMessages::QtWindowMessages() : receiver_(std::make_unique<Receiver>(*this)) {}

// Destroying the receiver drops the messages still queued to it.
QtWindowMessages::~QtWindowMessages() = default;

WindowId QtWindowMessages::registerWindow(QObject *window, WindowProc proc)
{
    std::lock_guard lock(mutex_);
    WindowId id = nextId_++;
    windows_.emplace(id, Entry{QPointer<QObject>(window), std::move(proc)});
    return id;
}

void QtWindowMessages::unregisterWindow(WindowId id)
{
    WindowProc dropped;  // destroyed outside the lock: it may own things that post
    std::lock_guard lock(mutex_);
    auto it = windows_.find(id);
    if (it != windows_.end()) {
        dropped = std::move(it->second.proc);
        windows_.erase(it);
    }
}

bool QtWindowMessages::post(WindowId id, uint32_t msg, intptr_t w, intptr_t l)
{
    // postEvent only appends to the receiving thread's queue; holding the mutex across it keeps the
    // check and the queueing together without waiting for the user-interface thread.
    std::lock_guard lock(mutex_);
    auto it = windows_.find(id);
    if (it == windows_.end() || it->second.window.isNull())
        return false;
    QCoreApplication::postEvent(receiver_.get(), new WindowMessageEvent({id, msg, w, l}));
    return true;
}

SendResult QtWindowMessages::send(WindowId id, uint32_t msg, intptr_t w, intptr_t l)
{
    if (QThread::currentThread() != receiver_->thread())
        return {SendError::NotUiThread, 0};
    WindowProc proc = procFor(id);
    if (!proc)
        return {SendError::NoWindow, 0};
    return {SendError::None, proc(msg, w, l)};
}

WindowProc QtWindowMessages::procFor(WindowId id)
{
    std::lock_guard lock(mutex_);
    auto it = windows_.find(id);
    if (it == windows_.end() || it->second.window.isNull())
        return {};
    return it->second.proc ? it->second.proc : WindowProc([](uint32_t, intptr_t, intptr_t) -> intptr_t { return 0; });
}

void QtWindowMessages::deliver(const WindowMessage &m)
{
    // A copy of the procedure, called without the lock: it may post, send, or close its window.
    if (WindowProc proc = procFor(m.window))
        proc(m.msg, m.w, m.l);
}

} // namespace platform
