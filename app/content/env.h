// What every content manager needs from the rest of the program, in one small seam: language
// texts, message boxes, clocks, folders and the connection state. The managers hold an Env and
// nothing else of the application, so they run headless in tests (content/fake_env.h).
//
//   content::ManageEnv env(manage);                 // the program: through the application manager
//   if (!env.state().Connected) env.messageBox(env.text("SmsMng_MessCode1"), core::kMbOk);
//
// User-interface thread only, like the managers.
#pragma once

#include "platform/clock.h"

#include <string>
#include <string_view>

namespace core {
class TManage;
}

namespace content {

// The application state the managers read.
struct AppState {
    bool Connected = false;
    bool PbCap2 = false;
    bool PbCap4 = false;
    bool PbCap8 = false;
    std::string PhoneMan;   // of the connected handset; empty when none
    std::string PhoneModel;
    bool InCeptDel = false; // delete on the handset what a download stored locally
};

class Env {
public:
    virtual ~Env() = default;

    // The text of a language key; empty when the language has none.
    virtual std::string text(std::string_view key) const = 0;
    // The program's message box, titled with the text of "Application_Hite_title"; flags and the
    // answer are core/prompt.h's values.
    virtual int messageBox(const std::string &text, unsigned flags) = 0;

    // Monotonic time, for time-outs and measuring.
    virtual const platform::Clock &clock() const = 0;
    // The local wall-clock time as "yyyy-mm-dd hh:nn:ss", the form message times are kept in.
    virtual std::string localTime() const = 0;

    // Folders as found on disk (resolved without regard to case), without a final "/".
    virtual std::string programDir() const = 0;
    virtual std::string databaseDir() const = 0;
    virtual std::string tempDir() const = 0;

    virtual AppState state() const = 0;
};

// Formats a broken-down local time as "yyyy-mm-dd hh:nn:ss".
std::string formatLocalTime(int year, int month, int day, int hour, int minute, int second);

// The program's Env: texts through the application manager's language manager, boxes through its
// ShowMessageBox, folders and connection state from its fields. The manager must outlive it.
class ManageEnv final : public Env {
public:
    explicit ManageEnv(core::TManage &manage,
                       const platform::Clock &clock = platform::SystemClock::instance())
        : manage_(manage), clock_(clock)
    {
    }

    std::string text(std::string_view key) const override;
    int messageBox(const std::string &text, unsigned flags) override;
    const platform::Clock &clock() const override { return clock_; }
    std::string localTime() const override;
    // A fixed local time (tests); empty: the system's.
    void setLocalTime(std::string fixed) { fixedTime_ = std::move(fixed); }
    std::string programDir() const override;
    std::string databaseDir() const override;
    std::string tempDir() const override;
    AppState state() const override;

private:
    core::TManage &manage_;
    const platform::Clock &clock_;
    std::string fixedTime_;
};

} // namespace content
