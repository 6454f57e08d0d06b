// The simulated handset's faults (delay, silence, unsolicited lines and garbage, link drops,
// bytewise and throttled output), its output speed, reopening the slave, scenario files, and the
// program run as a child process.

#include "handset_sim.h"
#include "sim/sim_client.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <ostream>
#include <string>
#include <thread>

using handsetsim::CannedReply;
using handsetsim::Direction;
using handsetsim::DropMode;
using handsetsim::HandsetSim;
using handsetsim::Injection;
using handsetsim::When;
using simtest::Client;
using Ms = std::chrono::milliseconds;

namespace {

long elapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - since).count());
}

std::string sourceDir() {
    const char *d = std::getenv("SELVARK_SOURCE_DIR");
    return d ? d : ".";
}

TEST(SimFaults, ReplyDelayComesAfterTheEcho) {
    HandsetSim sim;
    Client c(sim.start());
    sim.setReplyDelay(150);
    sim.clearTranscript();
    const auto t0 = std::chrono::steady_clock::now();
    c.send("AT\r");
    EXPECT_EQ(c.readReply(), "AT\r\r\nOK\r\n");
    // A delay makes the reply later, never earlier: a lower bound on the wall clock holds on any
    // machine. The split between echo and reply is judged where the simulator decided it.
    EXPECT_GE(elapsedMs(t0), 150);
    std::vector<handsetsim::TranscriptEntry> out;
    for (const auto &e : sim.transcript())
        if (e.dir == Direction::Out)
            out.push_back(e);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes, "AT\r");
    EXPECT_EQ(out[0].delayMs, 0) << "the echo goes out at once";
    EXPECT_EQ(out[1].delayMs, 150) << "the reply waits";
    EXPECT_GE(out[1].micros, out[0].micros);
}

TEST(SimFaults, FirstReplyAfterThePortOpensIsLate) {
    handsetsim::Scenario sc = handsetsim::defaultScenario();
    sc.faults.firstReplyDelayMs = 200;
    HandsetSim sim(sc);
    const std::string path = sim.start();
    for (int open = 0; open < 2; ++open) {
        Client c(path);
        sim.clearTranscript();
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(c.at(""), "AT\r\r\nOK\r\n");
        EXPECT_GE(elapsedMs(t0), 200) << "open " << open;
        EXPECT_EQ(c.at(""), "AT\r\r\nOK\r\n");
        // Delays of the replies in order: the first after the open is late, the second is not.
        std::vector<int> replyDelays;
        for (const auto &e : sim.transcript())
            if (e.dir == Direction::Out && e.bytes.find("OK") != std::string::npos)
                replyDelays.push_back(e.delayMs);
        EXPECT_EQ(replyDelays, (std::vector<int>{200, 0})) << "open " << open;
    }
}

TEST(SimFaults, SilentHandsetSaysNothingUntilWoken) {
    HandsetSim sim;
    Client c(sim.start());
    sim.setSilent(true);
    c.send("AT\r");
    EXPECT_EQ(c.readFor(200), "");
    sim.setSilent(false);
    EXPECT_EQ(c.at("+CBC"), "AT+CBC\r\r\n+CBC: 0,75\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.commands(), (std::vector<std::string>{"AT+CBC"}));
}

struct InjectRow {
    const char *name;
    Injection inj;
    std::string expected; // what "AT+CSQ" then "AT+CBC" bring
};
void PrintTo(const InjectRow &row, std::ostream *os) {
    *os << row.name;
}

using namespace std::string_literals;

const InjectRow kInject[] = {
    {"before_echo_of_matching_command",
     {"+CMTI: \"SM\",3", true, When::BeforeEcho, "+CBC", false},
     "AT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n\r\n+CMTI: \"SM\",3\r\nAT+CBC\r\r\n+CBC: 0,75\r\n\r\nOK\r\n"},
    {"before_every_echo",
     {"RING", true, When::BeforeEcho, "", true},
     "\r\nRING\r\nAT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n\r\nRING\r\nAT+CBC\r\r\n+CBC: 0,75\r\n\r\nOK\r\n"},
    {"garbage_before_reply",
     {"\xFF\x00~"s, false, When::BeforeReply, "", false},
     "AT+CSQ\r\xFF\x00~\r\n+CSQ: 17,99\r\n\r\nOK\r\nAT+CBC\r\r\n+CBC: 0,75\r\n\r\nOK\r\n"s},
    {"after_reply",
     {"RING", true, When::AfterReply, "+CSQ", false},
     "AT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n\r\nRING\r\nAT+CBC\r\r\n+CBC: 0,75\r\n\r\nOK\r\n"},
};

class SimInject : public ::testing::TestWithParam<InjectRow> {};

TEST_P(SimInject, Order) {
    HandsetSim sim;
    Client c(sim.start());
    sim.inject(GetParam().inj);
    c.send("AT+CSQ\rAT+CBC\r");
    const std::string got = c.readUntil("+CBC: 0,75\r\n\r\nOK\r\n");
    EXPECT_EQ(got, GetParam().expected) << sim.transcriptText();
}

INSTANTIATE_TEST_SUITE_P(Rows, SimInject, ::testing::ValuesIn(kInject),
                         [](const auto &p) { return p.param.name; });

TEST(SimFaults, UnsolicitedNowReachesAnIdleClient) {
    HandsetSim sim;
    Client c(sim.start());
    sim.injectUnsolicited("RING");
    EXPECT_EQ(c.readUntil("RING\r\n"), "\r\nRING\r\n");
}

TEST(SimFaults, HangupAndReconnect) {
    const std::string link = "/tmp/handset-sim-test-" + std::to_string(::getpid());
    HandsetSim sim;
    const std::string first = sim.start(link);
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(first, target);
    Client c(link);
    EXPECT_EQ(c.at(""), "AT\r\r\nOK\r\n");
    sim.dropLink(DropMode::Hangup);
    c.readFor(200);
    EXPECT_TRUE(c.hungUp);
    EXPECT_FALSE(sim.state().linkUp);
    // The freed pty number goes to the next pty anybody opens (here ours, in parallel tests another
    // process's); the link must not lead a polling client there.
    int otherMaster = -1, otherSlave = -1;
    ASSERT_EQ(::openpty(&otherMaster, &otherSlave, nullptr, nullptr, nullptr), 0);
    errno = 0;
    const int viaLink = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_LT(viaLink, 0) << "the link of a hung-up line still leads to a pty";
    EXPECT_EQ(errno, ENOENT);
    if (viaLink >= 0)
        ::close(viaLink);
    ::close(otherSlave);
    ::close(otherMaster);

    const std::string second = sim.reconnect();
    EXPECT_TRUE(sim.state().linkUp);
    Client c2(link); // the link follows the new pty
    EXPECT_EQ(c2.at(""), "AT\r\r\nOK\r\n");
    sim.stop();
    EXPECT_NE(::access(link.c_str(), F_OK), 0);
    (void)second;
}

TEST(SimFaults, CannedDropInTheMiddleOfAListingAndAutoRestore) {
    const std::string link = "/tmp/handset-sim-drop-" + std::to_string(::getpid());
    HandsetSim sim;
    sim.start(link);
    sim.addCanned(CannedReply{"+CMGL=*", "\r\n+CMGL: 1,1,,30\r\n07911326", -1, 1, DropMode::Hangup, 100});
    Client c(link);
    c.send("AT+CMGL=4\r");
    EXPECT_EQ(c.readFor(300), "AT+CMGL=4\r\r\n+CMGL: 1,1,,30\r\n07911326") << sim.transcriptText();
    EXPECT_TRUE(c.hungUp);
    // Back after 100 ms on a new pty; the canned reply was for one time only.
    std::string path;
    for (int i = 0; i < 100 && (path = sim.slavePath()).empty(); ++i)
        std::this_thread::sleep_for(Ms(10));
    ASSERT_FALSE(path.empty());
    Client c2(link);
    EXPECT_EQ(c2.at("+CMGL=4"), "AT+CMGL=4\r\r\nOK\r\n");
}

TEST(SimFaults, MuteAndRestore) {
    HandsetSim sim;
    Client c(sim.start());
    sim.dropLink(DropMode::Mute);
    c.send("AT\r");
    EXPECT_EQ(c.readFor(150), "");
    EXPECT_EQ(sim.reconnect(), sim.slavePath());
    EXPECT_EQ(c.at(""), "AT\r\r\nOK\r\n");
}

TEST(SimFaults, BytewiseOutputWritesOneByteAtATime) {
    HandsetSim sim;
    Client c(sim.start());
    sim.setBytewise(true, 2);
    sim.clearTranscript();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(c.at("+CBC"), "AT+CBC\r\r\n+CBC: 0,75\r\n\r\nOK\r\n");
    size_t out = 0;
    for (const auto &e : sim.transcript())
        if (e.dir == Direction::Out) {
            EXPECT_EQ(e.bytes.size(), 1u);
            ++out;
        }
    EXPECT_EQ(out, 27u);
    EXPECT_GE(elapsedMs(t0), 26 * 2);
}

TEST(SimFaults, ThrottleKeepsToTheBaudRate) {
    HandsetSim sim;
    Client c(sim.start());
    sim.setThrottle(4800); // 480 bytes a second
    sim.addCanned(
        CannedReply{"+X", "\r\n" + std::string(94, 'x') + "\r\n\r\nOK\r\n", -1, -1, DropMode::None, -1});
    const auto t0 = std::chrono::steady_clock::now();
    c.send("AT+X\r");
    const std::string got = c.readReply();
    EXPECT_EQ(got.size(), 109u);
    EXPECT_GE(elapsedMs(t0), 220); // 109 bytes at 480/s: 227 ms, each chunk arriving when its last byte would
}

// A throttled line is slow both ways: a command is answered only once its last byte would have
// come down the line.
TEST(SimFaults, ThrottlePacesWhatTheHandsetReceives) {
    HandsetSim sim;
    Client c(sim.start());
    ASSERT_EQ(c.at("E0"), "ATE0\r\r\nOK\r\n");
    sim.setThrottle(4800); // 480 bytes a second
    sim.addCanned(CannedReply{"+X*", "\r\nOK\r\n", -1, -1, DropMode::None, -1});
    const auto t0 = std::chrono::steady_clock::now();
    c.send("AT+X" + std::string(95, 'y') + "\r"); // 100 bytes: 208 ms of line time
    EXPECT_EQ(c.readReply(), "\r\nOK\r\n");
    const long ms = elapsedMs(t0);
    EXPECT_GE(ms, 190);
    EXPECT_LT(ms, 5000) << "the reply is held back for good";
}

TEST(SimFaults, UnthrottledMegabyteIsNotHeldBack) {
    HandsetSim sim;
    Client c(sim.start());
    const std::string big(1 << 20, 'y');
    sim.addCanned(CannedReply{"+BIG", "\r\n" + big + "\r\n\r\nOK\r\n", -1, -1, DropMode::None, -1});
    c.send("AT+BIG\r");
    const size_t total = 7 + 2 + big.size() + 8; // echo, the line, "\r\n\r\nOK\r\n"
    const std::string got = c.readWhile([&](const std::string &b) { return b.size() >= total; }, 10000);
    EXPECT_EQ(got.size(), total);
    size_t writes = 0;
    for (const auto &e : sim.transcript())
        writes += e.dir == Direction::Out;
    EXPECT_LT(writes, 1024u); // written as the pty takes it, not in paced little pieces
}

// Waits until the handset has noted `count` closes of the slave since its transcript was cleared.
bool waitForCloses(const HandsetSim &sim, size_t count) {
    for (int i = 0; i < 400; ++i) {
        size_t seen = 0;
        for (const auto &e : sim.transcript())
            seen += e.dir == Direction::Note && e.bytes == "client closed the slave";
        if (seen >= count)
            return true;
        std::this_thread::sleep_for(Ms(5));
    }
    return false;
}

TEST(SimFaults, ClientMayCloseAndReopen) {
    HandsetSim sim;
    const std::string path = sim.start();
    for (int i = 0; i < 3; ++i) {
        Client c(path);
        EXPECT_EQ(c.at("+CSQ"), "AT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n") << i;
    }
    ASSERT_TRUE(waitForCloses(sim, 3));
    // Output nobody read before the close is not handed to the next client, even one that does
    // not flush: like a serial port, the pty forgets it once the handset sees its last user close
    // (a moment after the close itself).
    sim.clearTranscript();
    {
        Client c(path);
        c.send("AT+CGMI\r");
        c.readUntil("AT+CGMI\r");
    }
    ASSERT_TRUE(waitForCloses(sim, 1));
    Client c(path, false);
    EXPECT_EQ(c.at(""), "AT\r\r\nOK\r\n") << sim.transcriptText();
}

// ---- scenarios

struct BadScenarioRow {
    const char *name;
    const char *json;
    const char *error; // part of the message
};
void PrintTo(const BadScenarioRow &row, std::ostream *os) {
    *os << row.name;
}

const BadScenarioRow kBadScenarios[] = {
    {"not_json", "{", "not valid JSON"},
    {"unknown_key", R"({"identity": {"maker": "X"}})", "scenario.identity.maker: unknown key"},
    {"wrong_kind", R"({"cmee": "1"})", "scenario.cmee: must be an integer"},
    {"out_of_range", R"({"cmee": 3})", "scenario.cmee: must lie in 0..2"},
    {"bad_enum", R"({"profile": {"layout": "dense"}})", "must be one of blank, compact"},
    {"bad_clock", R"({"clock": "2005-03-17"})", "scenario.clock"},
    {"entry_outside_storage", R"({"phonebooks": {"SM": {"last": 5, "entries": [{"index": 6}]}}})",
     "scenario.phonebooks.SM.entries[0].index: must lie in 1..5"},
    {"bad_pdu_hex", R"({"sms": {"SM": {"messages": [{"index": 1, "pdu": "0G"}]}}})", "messages[0].pdu"},
    {"two_pdu_forms", R"({"sms": {"SM": {"messages": [{"index": 1, "pdu": "00", "tpdu": "00"}]}}})",
     "exactly one"},
    {"sms_mem_unknown", R"({"sms_mem": ["XX"]})", "names no storage"},
    {"unknown_charset", R"({"charset": "KOI8"})", "scenario.charset"},
};

class SimBadScenario : public ::testing::TestWithParam<BadScenarioRow> {};

TEST_P(SimBadScenario, NamesTheFault) {
    try {
        handsetsim::parseScenario(GetParam().json);
        FAIL() << "accepted";
    } catch (const handsetsim::ScenarioError &e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().error), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SimBadScenario, ::testing::ValuesIn(kBadScenarios),
                         [](const auto &p) { return p.param.name; });

TEST(SimScenario, EveryExampleFileLoads) {
    const std::string dir = sourceDir() + "/tools/handset-sim/scenarios";
    DIR *d = ::opendir(dir.c_str());
    ASSERT_NE(d, nullptr) << dir;
    int files = 0;
    while (const dirent *e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 5 || name.compare(name.size() - 5, 5, ".json") != 0)
            continue;
        ++files;
        EXPECT_NO_THROW(handsetsim::loadScenario(dir + "/" + name)) << name;
    }
    ::closedir(d);
    EXPECT_GT(files, 0);
}

TEST(SimScenario, ContentsReachTheHandset) {
    auto sim = HandsetSim::fromJson(R"({
        "identity": {"manufacturer": "ACME", "imei": "111"},
        "charset": "UCS2", "echo": false, "cmee": 2,
        "phonebooks": {"SM": {"last": 10, "text_length": 8, "entries": [
            {"index": 2, "number": "+4930", "text": "Ann"}]}},
        "sms": {"SM": {"capacity": 5, "messages": [
            {"index": 4, "stat": 0, "deliver": {"from": "+4930", "text": "Hi"}}]}},
        "profile": {"layout": "compact"},
        "canned": {"+CGMR": "\r\nV9\r\nOK\r\n"},
        "unsolicited": [{"text": "RING", "when": "now"}]
    })");
    Client c(sim->start(), false); // the RING may already wait in the pty: do not flush it away
    EXPECT_EQ(c.readUntil("RING\r\n"), "\r\nRING\r\n");
    EXPECT_EQ(c.at("+CGMI"), "\r\nACME\r\nOK\r\n");
    EXPECT_EQ(c.at("+CGMR"), "\r\nV9\r\nOK\r\n");
    EXPECT_EQ(c.at("+CPBR=1,10"), "\r\n+CPBR: 2,\"+4930\",145,\"0041006E006E\"\r\nOK\r\n");
    EXPECT_EQ(c.at("+CPBR=11"), "\r\n+CME ERROR: invalid index\r\n");
    // DELIVER of 17 octets: first octet, address (4), PID, DCS, time stamp (7), UDL, "Hi" (2).
    const std::string listed = c.at("+CMGL=4");
    EXPECT_EQ(listed.rfind("\r\n+CMGL: 4,0,,17\r\n0004", 0), 0u) << listed;
}

// ---- the program

TEST(SimProgram, RunsAsAChildProcess) {
    const std::string transcript = "/tmp/handset-sim-transcript-" + std::to_string(::getpid());
    {
        handsetsim::SimProcess p({"--scenario", sourceDir() + "/tools/handset-sim/scenarios/default.json",
                                  "--transcript", transcript});
        Client c(p.slavePath());
        EXPECT_EQ(c.at("+CGMI"), "AT+CGMI\r\r\nSIMULATED\r\n\r\nOK\r\n");
        const int status = p.terminate();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::ifstream in(transcript);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_NE(ss.str().find("RX \"AT+CGMI\\r\""), std::string::npos) << ss.str();
    ::unlink(transcript.c_str());
}

} // namespace
