// Handsets that frame their replies in their own way, or wake up slowly, driven end to end: the
// generic driver and our model plug-in loaded from the program folder connect, read the identity,
// and list messages and contacts, each reply going to its own command.

#include "handset_sim.h"
#include "integration/plugin_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

using handsetsim::HandsetSim;
using handsetsim::Scenario;
using plughost::PluginHost;

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
        host = std::make_unique<PluginHost>(SELVARK_PLUGIN_DIR);
        ASSERT_TRUE(host->loaded()) << host->error();

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
        host.reset();
        if (HasFailure() && sim)
            std::cerr << "handset transcript:\n" << sim->transcriptText();
        if (sim)
            sim->stop();
    }

    std::unique_ptr<HandsetSim> sim;
    std::string path;
    std::unique_ptr<PluginHost> host;
};

TEST_P(LineQuirks, ConnectsReadsIdentityAndLists) {
    const auto t0 = std::chrono::steady_clock::now();
    // The driver's connect, MsPlug_init and the interfaces asked in the program's order.
    ASSERT_EQ(host->connect(ConnCfg{"Cable", path.c_str(), "115200"}), 0);
    EXPECT_EQ(host->initResult(), 0);
    const PhoneIdent &ident = host->ident();
    EXPECT_STREQ(ident.Man, "ACME");
    EXPECT_STREQ(ident.ModelA, "MODEL X");
    EXPECT_STREQ(ident.ModelB, "MODEL X");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4)) << "connect took too long";

    InfoItf *inf = host->info();
    SmsItf *sms = host->sms();
    PbItf *pb = host->pb();
    ASSERT_TRUE(inf && sms && pb);
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
        const auto msgs = plughost::readMessages(sms, 1);
        ASSERT_EQ(msgs.selected, 0);
        EXPECT_EQ(msgs.end, 0) << "read-next failed";
        std::vector<std::string> texts;
        for (const SmsRecord &rec : msgs.entries)
            texts.push_back(std::string(rec.number) + " " + rec.text);
        EXPECT_EQ(texts, (std::vector<std::string>{"+491701234567 first", "+491707654321 second"}));

        const auto book = plughost::readContacts(pb, 1);
        ASSERT_EQ(book.selected, 0);
        EXPECT_EQ(book.end, 0) << "read-next failed";
        const std::vector<std::string> &cards = book.entries;
        ASSERT_EQ(cards.size(), 2u);
        EXPECT_NE(cards[0].find("Anna"), std::string::npos) << cards[0];
        EXPECT_NE(cards[0].find("+491701111111"), std::string::npos) << cards[0];
        EXPECT_NE(cards[1].find("Bernd"), std::string::npos) << cards[1];
        EXPECT_NE(cards[1].find("0301234567"), std::string::npos) << cards[1];
    }

    EXPECT_EQ(host->close(), 0);
    EXPECT_EQ(host->cleanupResult(), 0);
}

INSTANTIATE_TEST_SUITE_P(Handsets, LineQuirks, ::testing::ValuesIn(kCases),
                         [](const auto &row) { return std::string(row.param.name); });

} // namespace
