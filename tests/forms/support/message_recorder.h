// A window-message hub for form tests: posts and sends go through the real Qt delivery (so forms
// receive them in their event loop) and are recorded on the way, from any thread.
//
//   forms_test::MessageRecorder messages;                 // hub() is what forms attach to
//   core::TCommThread worker(comm, data, messages, main);
//   messages.post(dlg.window(), core::WM_COMM_DONE, -9, batch);
//   EXPECT_EQ(messages.count(core::WM_COMM_DONE), 1);
#pragma once

#include "platform/qt/qt_window_messages.h"

#include <QObject>

#include <mutex>
#include <vector>

namespace forms_test {

class MessageRecorder final : public platform::WindowMessages {
public:
    // Create on the user-interface thread, after the application.
    MessageRecorder();
    ~MessageRecorder() override;

    platform::QtWindowMessages &hub() { return hub_; }
    // A window that takes every message and does nothing (e.g. the main window of a worker).
    platform::WindowId mainWindow() const { return main_->id(); }

    bool post(platform::WindowId id, uint32_t msg, intptr_t w, intptr_t l) override;
    platform::SendResult send(platform::WindowId id, uint32_t msg, intptr_t w, intptr_t l) override;

    // Every post and send so far, in order (also those dropped for a window that was gone).
    std::vector<platform::WindowMessage> messages() const;
    // How many messages numbered msg (to window, unless kNoWindow) were posted or sent.
    int count(uint32_t msg, platform::WindowId window = platform::kNoWindow) const;
    void clear();

private:
    platform::QtWindowMessages hub_;
    QObject mainObject_;
    std::unique_ptr<platform::WindowRegistration> main_;
    mutable std::mutex mutex_;
    std::vector<platform::WindowMessage> log_;
};

} // namespace forms_test
