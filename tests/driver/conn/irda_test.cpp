// Connecting over infrared: the driver's IrDA path against the simulated handset offered on the
// IrDA stand-in stack, each test in a stand-in folder of its own.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "driver/sim_fixture.h"
#include "dv_util.h"
#include "transport/irda_standin.h"
#include "ms_mng.h"
#include "oth_info.h"

namespace {

using handsetsim::CannedReply;
using handsetsim::DropMode;
using simfx::SimSession;

class IrdaConnect : public ::testing::Test {
protected:
    void SetUp() override {
        if (!handsetsim::HandsetSim::irdaSupported())
            GTEST_SKIP() << "the simulated handset was built without the IrDA stand-in";
        char tmpl[] = "/tmp/selvark-irda-conn-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir_ = tmpl;
        setenv("SELVARK_IRDA_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        if (dir_.empty())
            return;
        unsetenv("SELVARK_IRDA_DIR");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    int32_t connect(ConnHandle **h, PhoneIdent *ident) {
        ConnCfg cfg{"irda", "", ""};
        return MsMng_connect(h, &cfg, ident);
    }
    // The handset in infrared range in this test's stand-in folder.
    handsetsim::Scenario inRange() const {
        handsetsim::Scenario sc = handsetsim::defaultScenario();
        sc.irda.enabled = true;
        sc.irda.dir = dir_;
        return sc;
    }
    static bool waitLinkDown(SimSession &s) {
        for (int i = 0; i < 200 && s.sim().state().irdaConnected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return !s.sim().state().irdaConnected;
    }

    std::string dir_;
};

TEST_F(IrdaConnect, OpensReadsIdentityAndCloses) {
    SimSession s(inRange());
    ConnHandle *h = nullptr;
    PhoneIdent id{};
    ASSERT_EQ(0, connect(&h, &id));
    EXPECT_TRUE(s.sim().state().irdaConnected);
    EXPECT_STREQ("SIMULATED", id.Man);
    EXPECT_STREQ("HS-1000", id.ModelA);
    EXPECT_STREQ("HS-1000", id.ModelB);
    EXPECT_EQ(1, MsMng_isConnected(h));

    OthInfo *info = OthInfo_new(nullptr, nullptr, h->te);
    ASSERT_NE(nullptr, info);
    int32_t battery = -1;
    EXPECT_EQ(0, info->itf.getBattery(&info->itf, &battery));
    EXPECT_EQ(75, battery);
    EXPECT_EQ(0, OthInfo_delete(info));

    EXPECT_EQ(0, MsMng_disconnect(h));
    ASSERT_TRUE(waitLinkDown(s));
    ASSERT_EQ(0, connect(&h, nullptr));
    EXPECT_EQ(0, MsMng_disconnect(h));
}

TEST_F(IrdaConnect, StackDownFailsAtOnce) {
    ASSERT_EQ(0, IrdaStandin_setStackDown(dir_.c_str(), 1));
    ConnHandle *h = nullptr;
    PhoneIdent id{};
    EXPECT_EQ(-102, connect(&h, &id));
    EXPECT_EQ(nullptr, h);
}

TEST_F(IrdaConnect, LinkDroppedDuringIdentity) {
    SimSession s(inRange());
    s.sim().addCanned(CannedReply{"+CGMM", "", -1, -1, DropMode::Hangup});
    ConnHandle *h = nullptr;
    PhoneIdent id{};
    int32_t rc = connect(&h, &id);
    EXPECT_TRUE(NetUtil_isFaultErr(rc)) << rc;
    EXPECT_EQ(nullptr, h);
    EXPECT_STREQ("", id.Man);
}

} // namespace
