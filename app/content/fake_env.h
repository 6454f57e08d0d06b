// Test stand-ins for the content managers' seam (content/env.h): every text is its key in angle
// brackets, so a test sees which key was shown ("<SmsMng_Tree_1>"); boxes go to a RecordingPrompt
// (scripted answers); the clock is a FakeClock; the local time and the state are plain fields.
//
//   content::FakeEnv env;
//   env.app.Connected = true;
//   ...
//   EXPECT_EQ(env.prompt.texts(), std::vector<std::string>{"<SmsMng_MessCode2>"});
#pragma once

#include "content/env.h"
#include "core/prompt.h"

#include <string>
#include <string_view>

namespace content {

// The text a FakeEnv answers for a key.
inline std::string keyText(std::string_view key)
{
    std::string out;
    out.reserve(key.size() + 2);
    out += '<';
    out += key;
    out += '>';
    return out;
}

class FakeEnv final : public Env {
public:
    std::string text(std::string_view key) const override { return keyText(key); }
    int messageBox(const std::string &text, unsigned flags) override
    {
        return prompt.show(text, keyText("Application_Hite_title"), flags);
    }
    const platform::Clock &clock() const override { return fakeClock; }
    std::string localTime() const override { return now; }
    std::string programDir() const override { return program; }
    std::string databaseDir() const override { return program + "/Database"; }
    std::string tempDir() const override { return program + "/Temp"; }
    AppState state() const override { return app; }

    core::RecordingPrompt prompt;
    platform::FakeClock fakeClock;
    std::string now = "2026-01-02 03:04:05";
    std::string program = "/nonexistent";
    AppState app;
};

} // namespace content
