// The connection manager with the real driver and our model plug-in, scanned into a program
// folder, against the simulated handset over a pseudo-terminal.

#include "comm_fixture.h"

#include "dv_result.h"
#include "handset_sim.h"

#include <sstream>
#include <string>
#include <vector>

#ifdef SV_HAVE_REAL_PLUGINS

namespace comm_test {
namespace {

class SimulatedHandset : public CommTest {
protected:
    void SetUp() override
    {
        CommTest::SetUp();
        link = dir.root() + "/handset";
        sim.start(link);
        dir.addRealPair();
        makeManager();
        params("", "Cable", link, "115200");
    }
    void TearDown() override
    {
        CommTest::TearDown();
        sim.stop();
    }

    handsetsim::HandsetSim sim;
    std::string link;
};

TEST_F(SimulatedHandset, ConnectsThroughTheGenericPair)
{
    ASSERT_EQ(comm->Connect(), 0);
    PhoneIdent ident{};
    ASSERT_EQ(comm->GetPhoneInfo(ident), 0);
    EXPECT_EQ(core::identText(ident.Man), "SIMULATED");
    EXPECT_EQ(core::identText(ident.ModelA), "HS-1000");
    EXPECT_EQ(comm->capabilityBits(), core::kCapPbStor1 | core::kCapPbStor2);
    EXPECT_TRUE(posted().empty()) << "the first driver tried serves the handset";
    EXPECT_EQ(comm->CheckPhone(), 0);

    // The IMEI read at connect is the handset's: the same handset passes, another one does not.
    std::string imei;
    EXPECT_EQ(comm->withInfo([&](InfoItf &info) {
        char buf[100] = {};
        ASSERT_GE(info.getImei(&info, buf, sizeof buf), 0);
        imei = buf;
    }),
              0);
    EXPECT_EQ(imei, "350000000000006");

    sim.setImei("350000000000014");
    EXPECT_EQ(comm->CheckPhone(), DV_E_CLOSED);
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(SimulatedHandset, HangUpIsNoticedAndNothingStaysLoaded)
{
    ASSERT_EQ(comm->Connect(), 0);
    sim.dropLink(handsetsim::DropMode::Hangup);
    EXPECT_EQ(comm->CheckPhone(), DV_E_CLOSED);
    EXPECT_EQ(platform::Module::openCount(), 0);
    EXPECT_EQ(comm->Lock(), core::kCommNotConnected);
    comm->Unlock();

    // The handset back on the line: a new connect works through the same link path.
    sim.reconnect();
    EXPECT_EQ(comm->Connect(), 0);
}

// While nothing answers, the worker asks again every poll: standard error gets the failure
// once, not a line per try, and a connect in between makes the next failure news again.
TEST_F(SimulatedHandset, ARepeatedConnectFailureIsLoggedOnce)
{
    const auto lines = [](const std::string &text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (!line.empty())
                out.push_back(line);
        return out;
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(comm->Connect(), 0);
        ASSERT_EQ(comm->Close(), 0);
        sim.dropLink(handsetsim::DropMode::Hangup);
        testing::internal::CaptureStderr();
        for (int poll = 0; poll < 10; ++poll) // ten seconds of polls
            EXPECT_LT(comm->Connect(), 0);
        const std::vector<std::string> said = lines(testing::internal::GetCapturedStderr());
        ASSERT_EQ(said.size(), 1u) << ::testing::PrintToString(said);
        EXPECT_EQ(said[0].rfind("Connection: ", 0), 0u) << said[0];
        sim.reconnect();
    }
}

TEST_F(SimulatedHandset, ConnectionTestOpensAndClosesTheLink)
{
    EXPECT_EQ(comm->TestConnect("Other", "Cable", "115200", link), 0);
    EXPECT_EQ(platform::Module::openCount(), 0);
    EXPECT_EQ(comm->Connect(), 0) << "the port is free again";
}

} // namespace
} // namespace comm_test

#endif
