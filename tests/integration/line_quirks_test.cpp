// Handsets that frame their replies in their own way, or wake up slowly, driven end to end: the
// generic driver and our model plug-in loaded from the program folder connect, read the identity,
// and list messages and contacts, each reply going to its own command.

#include "dv_result.h"
#include "handset_sim.h"
#include "ms_itf.h"
#include "ms_mng.h"
#include "ms_plug.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

using handsetsim::HandsetSim;
using handsetsim::Scenario;

template <typename Fn> Fn bind(void *lib, const char *name) {
    return reinterpret_cast<Fn>(dlsym(lib, name));
}

struct LineCase {
    const char *name;
    void (*apply)(Scenario &);
};

void PrintTo(const LineCase &c, std::ostream *os) {
    *os << c.name;
}

const LineCase kCases[] = {
    // The first command after the port opens is answered 1.5 s late (past the link test's 1 s).
    {"late_first_reply", [](Scenario &s) { s.faults.firstReplyDelayMs = 1500; }},
    {"late_first_echo_and_reply",
     [](Scenario &s) {
         s.faults.firstReplyDelayMs = 1500;
         s.faults.firstEchoLate = true;
     }},
    {"late_first_reply_without_echo",
     [](Scenario &s) {
         s.faults.firstReplyDelayMs = 1500;
         s.echo = false;
     }},
    {"cr_line_ends", [](Scenario &s) { s.profile.bareCr = true; }},
    {"cr_line_ends_without_echo",
     [](Scenario &s) {
         s.profile.bareCr = true;
         s.echo = false;
     }},
    {"lf_line_ends", [](Scenario &s) { s.profile.bareLf = true; }},
    {"lf_line_ends_without_echo",
     [](Scenario &s) {
         s.profile.bareLf = true;
         s.echo = false;
     }},
    {"cr_line_ends_compact",
     [](Scenario &s) {
         s.profile.bareCr = true;
         s.profile.layout = handsetsim::Layout::Compact;
     }},
    {"no_opening_line_end_without_echo",
     [](Scenario &s) {
         s.profile.noLeadingEol = true;
         s.echo = false;
     }},
};

class LineQuirks : public ::testing::TestWithParam<LineCase> {
  protected:
    void SetUp() override {
        driver = dlopen(SELVARK_PLUGIN_DIR "/Pelurin.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(driver, nullptr) << dlerror();
        plug = dlopen(SELVARK_PLUGIN_DIR "/Generic.plug", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(plug, nullptr) << dlerror();
        connect = bind<int32_t (*)(ConnHandle **, const ConnCfg *, PhoneIdent *)>(driver, "MsMng_connect");
        disconnect = bind<int32_t (*)(ConnHandle *)>(driver, "MsMng_disconnect");
        init = bind<MsPlugInitFn>(plug, MS_PLUG_INIT);
        getItf = bind<MsPlugGetItfFn>(plug, MS_PLUG_GETITF);
        cleanup = bind<MsPlugCleanupFn>(plug, MS_PLUG_CLEANUP);
        ASSERT_TRUE(connect && disconnect && init && getItf && cleanup);

        Scenario sc = handsetsim::defaultScenario();
        sc.identity.manufacturer = "ACME";
        sc.identity.model = "MODEL X";
        sc.identity.revision = "R2B 7.1";
        sc.identity.imei = "351234567890123";
        sc.identity.imsi = "262019876543210";
        sc.smsStorages[0].messages[1] = {1, 1, handsetsim::encodeDeliverPdu("+491701234567", "first")};
        sc.smsStorages[0].messages[2] = {2, 1, handsetsim::encodeDeliverPdu("+491707654321", "second")};
        sc.phonebooks[0].entries[3] = {3, "+491701111111", 145, "Anna"};
        sc.phonebooks[0].entries[7] = {7, "0301234567", 129, "Bernd"};
        GetParam().apply(sc);
        sim = std::make_unique<HandsetSim>(sc);
        path = sim->start();
    }
    void TearDown() override {
        if (HasFailure() && sim)
            std::cerr << "handset transcript:\n" << sim->transcriptText();
        if (sim)
            sim->stop();
        if (plug)
            dlclose(plug);
        if (driver)
            dlclose(driver);
    }

    // Walks a storage from its first entry: the entries' texts (vCard or message text).
    std::vector<std::string> walk(StorItf *st, bool sms) {
        std::vector<std::string> out;
        std::vector<char> entry(10241);
        int32_t index = 0;
        for (int32_t first = 1;; first = 0) {
            const int32_t r = st->readNext(st, 0, &index, first);
            EXPECT_GE(r, 0) << "read-next failed";
            if (r <= 0)
                break;
            const int32_t n = st->readData(st, entry.data(), static_cast<int32_t>(entry.size()) - 1);
            EXPECT_GT(n, 0) << "entry " << index;
            if (n <= 0)
                break;
            if (sms) {
                SmsRecord rec;
                std::memcpy(&rec, entry.data(), sizeof rec);
                out.push_back(std::string(rec.number) + " " + rec.text);
            } else {
                out.emplace_back(entry.data(), static_cast<size_t>(n));
            }
        }
        return out;
    }

    std::unique_ptr<HandsetSim> sim;
    std::string path;
    void *driver = nullptr;
    void *plug = nullptr;
    int32_t (*connect)(ConnHandle **, const ConnCfg *, PhoneIdent *) = nullptr;
    int32_t (*disconnect)(ConnHandle *) = nullptr;
    MsPlugInitFn init = nullptr;
    MsPlugGetItfFn getItf = nullptr;
    MsPlugCleanupFn cleanup = nullptr;
};

TEST_P(LineQuirks, ConnectsReadsIdentityAndLists) {
    const auto t0 = std::chrono::steady_clock::now();
    ConnCfg cfg{"Cable", path.c_str(), "115200"};
    PhoneIdent ident;
    ConnHandle *h = nullptr;
    ASSERT_EQ(connect(&h, &cfg, &ident), 0);
    EXPECT_STREQ(ident.Man, "ACME");
    EXPECT_STREQ(ident.ModelA, "MODEL X");
    EXPECT_STREQ(ident.ModelB, "MODEL X");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4)) << "connect took too long";

    ASSERT_EQ(init(h), 0);
    void *info = nullptr, *sms = nullptr, *pb = nullptr;
    ASSERT_GE(getItf(MS_ITF_INFO, &info), 0);
    ASSERT_GE(getItf(MS_ITF_SMS, &sms), 0);
    ASSERT_GE(getItf(MS_ITF_PB, &pb), 0);

    auto *inf = static_cast<InfoItf *>(info);
    char buf[64];
    EXPECT_GT(inf->getMan(inf, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "ACME");
    EXPECT_GT(inf->getVer(inf, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "R2B 7.1");
    EXPECT_GT(inf->getImei(inf, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "351234567890123");
    EXPECT_GT(inf->getImsi(inf, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "262019876543210");

    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE("pass " + std::to_string(pass));
        StorItf *st = &static_cast<SmsItf *>(sms)->stor;
        ASSERT_EQ(st->setStor(st, 1), 0);
        EXPECT_EQ(walk(st, true), (std::vector<std::string>{"+491701234567 first", "+491707654321 second"}));

        StorItf *pst = &static_cast<PbItf *>(pb)->stor;
        ASSERT_EQ(pst->setStor(pst, 1), 0);
        const std::vector<std::string> cards = walk(pst, false);
        ASSERT_EQ(cards.size(), 2u);
        EXPECT_NE(cards[0].find("Anna"), std::string::npos) << cards[0];
        EXPECT_NE(cards[0].find("+491701111111"), std::string::npos) << cards[0];
        EXPECT_NE(cards[1].find("Bernd"), std::string::npos) << cards[1];
        EXPECT_NE(cards[1].find("0301234567"), std::string::npos) << cards[1];
    }

    EXPECT_EQ(cleanup(), 0);
    EXPECT_EQ(disconnect(h), 0);
}

INSTANTIATE_TEST_SUITE_P(Handsets, LineQuirks, ::testing::ValuesIn(kCases),
                         [](const auto &row) { return std::string(row.param.name); });

} // namespace
