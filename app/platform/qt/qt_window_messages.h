// Window messages delivered through the Qt event loop.
//
// Windows register with the hub under one mutex and get a WindowId; a post is a custom QEvent queued
// to the hub's receiver on the user-interface thread, which looks the id up again when the event is
// handled. A window that unregisters (it must, in its destructor: WindowRegistration does it) or is
// destroyed therefore never gets a message that was still queued, and no queued event points into it.
#pragma once

#include "platform/window_messages.h"

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <map>
#include <memory>
#include <mutex>

namespace platform {

class QtWindowMessages final : public WindowMessages {
public:
    // Create on the user-interface thread (the one running the QApplication) before any window
    // registers; destroy after the last window has gone and every thread that posts has stopped.
    QtWindowMessages();
    ~QtWindowMessages() override;
    QtWindowMessages(const QtWindowMessages &) = delete;
    QtWindowMessages &operator=(const QtWindowMessages &) = delete;

    // Registers window with the procedure that handles its messages (called on the user-interface
    // thread). Answers its id. User-interface thread only.
    WindowId registerWindow(QObject *window, WindowProc proc);
    // Forgets the window: queued messages for it are dropped. Harmless for an unknown id.
    void unregisterWindow(WindowId id);

    bool post(WindowId id, uint32_t msg, intptr_t w, intptr_t l) override;
    SendResult send(WindowId id, uint32_t msg, intptr_t w, intptr_t l) override;

    // The QEvent type of posted window messages.
    static QEvent::Type eventType();

private:
    class Receiver;
    struct Entry {
        QPointer<QObject> window;
        WindowProc proc;
    };

    // Runs a posted message on the user-interface thread.
    void deliver(const WindowMessage &m);
    // The window's procedure, or nothing when the window is unknown or destroyed.
    WindowProc procFor(WindowId id);

    std::mutex mutex_;  // guards nextId_ and windows_
    WindowId nextId_ = 1;
    std::map<WindowId, Entry> windows_;
    std::unique_ptr<Receiver> receiver_;
};

// A window's registration, held as a member of the window: it registers on construction and
// unregisters in its destructor, which runs before the QObject part of the window is destroyed.
class WindowRegistration {
public:
    WindowRegistration(QtWindowMessages &hub, QObject *window, WindowProc proc)
        : hub_(hub), id_(hub.registerWindow(window, std::move(proc)))
    {
    }
    ~WindowRegistration() { hub_.unregisterWindow(id_); }
    WindowRegistration(const WindowRegistration &) = delete;
    WindowRegistration &operator=(const WindowRegistration &) = delete;

    WindowId id() const { return id_; }

private:
    QtWindowMessages &hub_;
    WindowId id_;
};

} // namespace platform
