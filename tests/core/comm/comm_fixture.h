// A program folder for one connection-manager test: fixture drivers and plug-ins (or the real
// pair) copied into Plug-in and scanned into a catalogue, a connection manager over it that posts
// to a recording window, and the fixtures' call log (libfixctl.so).
#pragma once

#include "core/catalogue/catalogue_fixture.h"
#include "core/comm/comm_mng.h"
#include "fixctl.h"
#include "platform/window_messages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace comm_test {

using catalogue_test::ProgramDir;

using Log = std::vector<std::string>;

// Two drivers, each with its plug-in.
inline const Log kBoth = {"CtlAlpha.so", "CtlBeta.so", "CtlAlphaPlug.plug", "CtlBetaPlug.plug"};

// The fixtures' call log, one "<library> <entry point>" a line.
inline std::vector<std::string> callLog()
{
    std::vector<std::string> out;
    char line[256];
    for (int32_t i = 0; fixctl_logLine(i, line, sizeof line) >= 0; ++i)
        out.emplace_back(line);
    return out;
}

// What a successful attach of plug-in `plug` calls, in order.
inline std::vector<std::string> attachCalls(const std::string &plug)
{
    std::vector<std::string> v{plug + " MsPlug_init"};
    for (const char *id : {"15", "11", "12", "13", "14", "21", "22"})
        v.push_back(plug + " MsPlug_getItf " + id);
    v.push_back(plug + " getImei");
    v.push_back(plug + " setStor 1");
    v.push_back(plug + " setStor 2");
    return v;
}

// The release order of a connection through driver over plug-in.
inline std::vector<std::string> releaseCalls(const std::string &plug, const std::string &driver)
{
    return {plug + " MsPlug_cleanup", plug + " unload", driver + " MsMng_disconnect", driver + " unload"};
}

inline std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline core::SelectedPhone selected(const std::string &man)
{
    core::SelectedPhone p{};
    core::putIdentText(p.Man, man);
    return p;
}

class CommTest : public ::testing::Test {
protected:
    void SetUp() override { fixctl_reset(); }
    void TearDown() override
    {
        comm.reset();
        EXPECT_EQ(platform::Module::openCount(), 0);
    }

    // Copies the fixtures into Plug-in, scans them and makes the manager; the call log starts empty.
    void scan(const std::vector<std::string> &fixtures)
    {
        for (const std::string &f : fixtures)
            dir.addFixture(f);
        makeManager();
    }
    void makeManager()
    {
        ASSERT_TRUE(core::ScanPlugins(tables.refs(), dir.root(), recorder));
        comm = std::make_unique<core::TCommMng>(
            messages, window, core::CommMngSetup{dir.root(), tables.snapshot(), [this](int ms) { pauses.push_back(ms); }});
        fixctl_clearLog();
    }
    void params(const std::string &man, const std::string &type = "Cable", const std::string &port = "COM1",
                const std::string &baud = "9600")
    {
        comm->SetParams(selected(man), type, port, baud);
    }
    std::vector<uint32_t> posted() const
    {
        std::vector<uint32_t> v;
        for (const platform::WindowMessage &m : messages.messages())
            v.push_back(m.msg);
        return v;
    }
    std::string selectedMan() const
    {
        std::string man, type, port, baud;
        comm->GetParams(man, type, port, baud);
        return man;
    }

    ProgramDir dir;
    catalogue_test::Tables tables;
    catalogue_test::Recorder recorder;
    platform::RecordingWindowMessages messages;
    platform::WindowId window = messages.openWindow();
    std::vector<int> pauses;
    std::unique_ptr<core::TCommMng> comm;
};

} // namespace comm_test
