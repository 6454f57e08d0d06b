// The simulated handset's V.250 framing over a real pty: echo, both multi-line layouts, the
// framing quirks, +CMEE, identity and clock. Every row runs twice: the command written whole, and
// written one byte at a time.

#include "handset_sim.h"
#include "sim/sim_client.h"
#include "sim_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <ostream>
#include <string>
#include <thread>

using handsetsim::GmmMode;
using handsetsim::HandsetSim;
using handsetsim::Layout;
using handsetsim::Profile;
using simtest::Client;

namespace {

struct FramingRow {
    const char *name;
    void (*setup)(HandsetSim &);
    const char *sent; // bytes the client writes
    const char *expected;
};
void PrintTo(const FramingRow &row, std::ostream *os) {
    *os << row.name;
}

const FramingRow kFraming[] = {
    {"blank_layout", nullptr, "AT+CSQ\r", "AT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n"},
    {"compact_layout", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.layout = Layout::Compact; }); },
     "AT+CSQ\r", "AT+CSQ\r\r\n+CSQ: 17,99\r\nOK\r\n"},
    {"compact_without_lines",
     [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.layout = Layout::Compact; }); }, "AT\r",
     "AT\r\r\nOK\r\n"},
    {"lower_case_and_lf_ignored", nullptr, "at+csq\r\n", "at+csq\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n"},
    {"junk_before_at", nullptr, "xyAT\r", "xyAT\r\r\nOK\r\n"},
    {"line_without_at_is_only_echoed", nullptr, "hello\rAT\r", "hello\rAT\r\r\nOK\r\n"},
    {"backspace_edits_the_line", nullptr, "AT+CSX\bQ\r", "AT+CSX\bQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n"},
    {"chained_commands", nullptr, "AT+CMEE=1;+CSCS?\r", "AT+CMEE=1;+CSCS?\r\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n"},
    {"chain_stops_at_first_error", nullptr, "AT+CBC;+XYZ;+CSQ\r",
     "AT+CBC;+XYZ;+CSQ\r\r\n+CBC: 0,75\r\n\r\nERROR\r\n"},
    {"basic_commands_run_together", nullptr, "ATE1V1Q0\r", "ATE1V1Q0\r\r\nOK\r\n"},
    {"echo_off", nullptr, "ATE0\rAT+CBC\r", "ATE0\r\r\nOK\r\n\r\n+CBC: 0,75\r\n\r\nOK\r\n"},
    {"numeric_results", nullptr, "ATV0\rAT+CBC\r", "ATV0\r0\rAT+CBC\r+CBC: 0,75\r\n0\r"},
    {"bare_cr", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.bareCr = true; }); }, "AT+CSQ\r",
     "AT+CSQ\r\r+CSQ: 17,99\r\rOK\r"},
    {"bare_lf", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.bareLf = true; }); }, "AT+CSQ\r",
     "AT+CSQ\r\n+CSQ: 17,99\n\nOK\n"},
    {"no_leading_eol", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.noLeadingEol = true; }); },
     "AT+CSQ\r", "AT+CSQ\r+CSQ: 17,99\r\n\r\nOK\r\n"},
    {"double_echo", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.doubleEcho = true; }); }, "AT\r",
     "AT\rAT\r\r\nOK\r\n"},
    {"echo_ends_cr_cr_lf", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.echoCrCrLf = true; }); },
     "AT\r", "AT\r\r\n\r\nOK\r\n"},
    {"command_not_support",
     [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.errorText = "COMMAND NOT SUPPORT"; }); },
     "AT+XYZ\r", "AT+XYZ\r\r\nCOMMAND NOT SUPPORT\r\n"},
    {"identity_prefix", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.identityPrefix = true; }); },
     "AT+CGMI\r", "AT+CGMI\r\r\n+CGMI: SIMULATED\r\n\r\nOK\r\n"},
    {"identity_over_lines",
     [](HandsetSim &s) {
         auto id = s.identity();
         id.revision = "  R2B\nbuilt 2005";
         s.setIdentity(id);
     },
     "AT+CGMR\r", "AT+CGMR\r\r\n  R2B\r\nbuilt 2005\r\n\r\nOK\r\n"},
    {"no_final_result_canned",
     [](HandsetSim &s) {
         s.addCanned({"+CGMM", "\r\nHS-1000\r\n", -1, -1, handsetsim::DropMode::None, -1});
     },
     "AT+CGMM\rAT\r", "AT+CGMM\r\r\nHS-1000\r\nAT\r\r\nOK\r\n"},
    {"line_too_long", nullptr, nullptr, nullptr}, // built below
};

class SimFraming : public ::testing::TestWithParam<std::tuple<FramingRow, bool>> {};

TEST_P(SimFraming, AnswersExactly) {
    const auto &[row, bytewise] = GetParam();
    HandsetSim sim;
    const std::string path = sim.start();
    if (row.setup)
        row.setup(sim);
    Client c(path);
    // The long line's echo keeps only the 1024 characters that fit the line buffer.
    const std::string sent = row.sent ? row.sent : "AT+" + std::string(1100, 'X') + "\r";
    const std::string expected =
        row.expected ? row.expected : "AT+" + std::string(1021, 'X') + "\r\r\nERROR\r\n";
    bytewise ? c.sendBytewise(sent) : c.send(sent);
    const std::string got = c.readUntil(expected, 3000);
    EXPECT_EQ(got, expected) << sim.transcriptText();
}

INSTANTIATE_TEST_SUITE_P(Rows, SimFraming,
                         ::testing::Combine(::testing::ValuesIn(kFraming), ::testing::Bool()),
                         [](const auto &p) {
                             return std::string(std::get<0>(p.param).name) +
                                    (std::get<1>(p.param) ? "_bytewise" : "_whole");
                         });

struct CmeeRow {
    const char *name;
    int cmee;
    const char *command;
    const char *final;
};
void PrintTo(const CmeeRow &row, std::ostream *os) {
    *os << row.name;
}

const CmeeRow kCmee[] = {
    {"cme_plain", 0, "+CPBR=999", "ERROR"},
    {"cme_numeric", 1, "+CPBR=999", "+CME ERROR: 21"},
    {"cme_verbose", 2, "+CPBR=999", "+CME ERROR: invalid index"},
    {"cms_plain", 0, "+CMGR=999", "ERROR"},
    {"cms_numeric", 1, "+CMGR=999", "+CMS ERROR: 321"},
    {"cms_verbose", 2, "+CMGR=999", "+CMS ERROR: invalid memory index"},
    {"syntax_error_stays_plain", 2, "+CPBR=x", "ERROR"},
};

class SimCmee : public ::testing::TestWithParam<CmeeRow> {};

TEST_P(SimCmee, ReportsErrorsByMode) {
    const auto &row = GetParam();
    HandsetSim sim;
    Client c(sim.start());
    ASSERT_EQ(c.at("+CMEE=" + std::to_string(row.cmee)),
              "AT+CMEE=" + std::to_string(row.cmee) + "\r\r\nOK\r\n");
    EXPECT_EQ(c.at(row.command), "AT" + std::string(row.command) + "\r\r\n" + row.final + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Rows, SimCmee, ::testing::ValuesIn(kCmee),
                         [](const auto &p) { return p.param.name; });

// +GMM answers in three ways; the driver's model query depends on which.
TEST(SimIdentity, GmmModesAndImeiChange) {
    struct Row {
        GmmMode mode;
        const char *reply;
    };
    for (const Row &row :
         {Row{GmmMode::LikeCgmm, "\r\nHS-1000\r\n\r\nOK\r\n"},
          Row{GmmMode::Own, "\r\nHS-1000 GSM\r\n\r\nOK\r\n"}, Row{GmmMode::Error, "\r\nERROR\r\n"}}) {
        HandsetSim sim;
        auto id = sim.identity();
        id.gmmMode = row.mode;
        sim.setIdentity(id);
        Client c(sim.start());
        c.send("ATE0\r");
        c.readReply();
        EXPECT_EQ(c.at("+GMM"), row.reply);
        EXPECT_EQ(c.at("+CGMM"), "\r\nHS-1000\r\n\r\nOK\r\n");
    }
    HandsetSim sim;
    Client c(sim.start());
    EXPECT_EQ(c.at("+CGSN"), "AT+CGSN\r\r\n350000000000006\r\n\r\nOK\r\n");
    sim.setImei("356938035643809");
    EXPECT_EQ(c.at("+GSN"), "AT+GSN\r\r\n356938035643809\r\n\r\nOK\r\n");
    EXPECT_EQ(c.at("+CIMI"), "AT+CIMI\r\r\n460001234567890\r\n\r\nOK\r\n");
}

TEST(SimIdentity, ClockSetAndRead) {
    HandsetSim sim;
    Client c(sim.start());
    EXPECT_EQ(c.at("+CCLK=\"24/12/31,23:59:58-08\""), "AT+CCLK=\"24/12/31,23:59:58-08\"\r\r\nOK\r\n");
    EXPECT_EQ(c.at("+CCLK?"), "AT+CCLK?\r\r\n+CCLK: \"24/12/31,23:59:58-08\"\r\n\r\nOK\r\n");
    for (const char *bad :
         {"\"24/13/01,00:00:00\"", "\"24/12/31 23:59:58\"", "24/12/31,23:59:58", "\"24/12/31,24:00:00\""})
        EXPECT_EQ(c.at(std::string("+CCLK=") + bad), std::string("AT+CCLK=") + bad + "\r\r\nERROR\r\n")
            << bad;

    // A running clock moves on from the time it was set to.
    auto st = sim.status();
    st.clock = "05/12/31,23:59:59+00";
    st.clockRuns = true;
    sim.setStatus(st);
    const std::string before = sim.status().clock;
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const std::string after = sim.status().clock;
    EXPECT_NE(before, after);
    EXPECT_EQ(after.substr(0, 9), "06/01/01,");
}

TEST(SimIdentity, StatusCommands) {
    HandsetSim sim;
    Client c(sim.start());
    c.send("ATE0\r");
    c.readReply();
    EXPECT_EQ(c.at("+CBC"), "\r\n+CBC: 0,75\r\n\r\nOK\r\n");
    EXPECT_EQ(c.at("+CSQ=?"), "\r\n+CSQ: (0-31,99),(0-7,99)\r\n\r\nOK\r\n");
    EXPECT_EQ(c.at("+CNUM"), "\r\nOK\r\n");
    auto id = sim.identity();
    id.ownNumbers = {{"Voice", "+8613912345678", 145}};
    sim.setIdentity(id);
    EXPECT_EQ(c.at("+CSCS=\"UCS2\";+CNUM"),
              "\r\n+CNUM: \"0056006F006900630065\",\"+8613912345678\",145\r\n\r\nOK\r\n");
    EXPECT_EQ(c.at("+CSCS=?"), "\r\n+CSCS: (\"GSM\",\"IRA\",\"UCS2\",\"UTF-8\")\r\n\r\nOK\r\n");
    EXPECT_EQ(c.at("+CSCS=\"HEX\""), "\r\nERROR\r\n");
    EXPECT_EQ(c.at("+CSCS?"), "\r\n+CSCS: \"UCS2\"\r\n\r\nOK\r\n");
    // ATZ brings back the settings the handset started with.
    EXPECT_EQ(c.at("Z"), "\r\nOK\r\n"); // echo was off when ATZ came

    EXPECT_EQ(c.at("+CSCS?"), "AT+CSCS?\r\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.commands().back(), "AT+CSCS?");
}

} // namespace

namespace {

// Whatever a client sends, the handset neither crashes nor gets stuck: after a storm of command
// fragments, quotes, prompts, Ctrl-Z, ESC and random bytes, an ESC and "AT" still bring "OK".
TEST(SimRobustness, RandomInputNeverBreaksTheHandset) {
    struct Sink : handsetsim::OutputSink {
        std::string out;
        void emit(std::string bytes, int) override { out += bytes; }
        void drop(handsetsim::DropMode, int) override {}
    };
    static const char *const kPieces[] = {
        "AT",     "+CPBW=", "+CPBR=", "+CMGS=",       "+CMGW=", "+CPMS=", "+CSCS=",
        "+CMGL=", "+CMGR=", "+CMGD=", "+CSCA=",       "+CCLK=", "=?",     "?",
        ";",      ",",      "\"",     "\r",           "\n",     "\x1A",   "\x1B",
        "\b",     "UCS2",   "SM",     "ME",           "00",     "0011",   "FF",
        "1",      "19",     "250",    "999999999999", "E0",     "V0",     "Z"};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        handsetsim::Engine eng(handsetsim::defaultScenario());
        Sink sink;
        std::mt19937 rng(seed);
        std::string input;
        while (input.size() < 20000) {
            if (rng() % 4 == 0)
                input.push_back(static_cast<char>(rng() & 0xFF));
            else
                input += kPieces[rng() % (sizeof kPieces / sizeof *kPieces)];
        }
        for (size_t i = 0; i < input.size();) {
            const size_t n = std::min<size_t>(1 + rng() % 64, input.size() - i);
            eng.feed(input.data() + i, n, sink);
            i += n;
        }
        sink.out.clear();
        eng.feed("\x1B\rATE1V1Q0\rAT\r", 14, sink);
        EXPECT_EQ(sink.out.substr(sink.out.size() - 6), "\r\nOK\r\n") << seed;
    }
}

} // namespace
