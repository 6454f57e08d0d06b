// The AT terminal against the simulated handset over a real pseudo-terminal: replies, final
// results, prompts, the link test, the identity queries, and the handset quirks and faults the
// terminal must survive while staying in step with the handset.

#include "attach.h"
#include "dv_at.h"
#include "dv_result.h"
#include "dv_transport.h"
#include "dv_vos.h"

#include "handset_sim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using handsetsim::CannedReply;
using handsetsim::HandsetSim;
using handsetsim::Profile;
using handsetsim::When;

constexpr int32_t kTimeoutMs = 1500; // generous: the tests run under sanitizers
constexpr int32_t kShortTimeoutMs = 250;

class SimTerminal : public ::testing::Test {
  protected:
    void SetUp() override {
        Dravnik_attach();
        sim = std::make_unique<HandsetSim>();
        std::string path = sim->start();
        port = Cns232_newPath(path.c_str(), 115200, 2048, 0);
        ASSERT_NE(port, nullptr);
        sock = Cns232_toSock(port);
        ASSERT_EQ(CnsSock_open(sock), 0);
        te = AtTe_new(sock);
        ASSERT_NE(te, nullptr);
        ASSERT_GE(AtTe_setRxTimeout(te, kTimeoutMs, nullptr), 0);
    }

    void TearDown() override {
        CnsVos_setPumpHook(nullptr, nullptr);
        AtTe_delete(te);
        Cns232_delete(port);
        sim->stop();
        Dravnik_detach();
    }

    // The value of an identity query, or the error as text.
    std::string ask(int32_t (*query)(AtTe *, char *, int32_t)) {
        char buf[64];
        std::memset(buf, '#', sizeof buf);
        int32_t r = query(te, buf, sizeof buf);
        if (r < 0)
            return "error " + std::to_string(r);
        EXPECT_EQ(std::strlen(buf), static_cast<size_t>(r));
        return buf;
    }

    std::string get(const char *cmd, const char *prefix = nullptr, const char *errorPrefix = "+CME") {
        char buf[128];
        int32_t r = AtTe_getAny(te, cmd, prefix, errorPrefix, buf, sizeof buf, 0);
        if (r < 0)
            return "error " + std::to_string(r);
        return std::string(buf, static_cast<size_t>(r));
    }

    // The terminal and the handset are in step: a query answers its own value.
    void expectInStep() {
        EXPECT_EQ(ask(GdcTe_getSerial), "350000000000006");
        EXPECT_EQ(get("+CGMM"), "HS-1000");
    }

    // Closes the port and opens it again with a new terminal.
    void reopen() {
        AtTe_delete(te);
        Cns232_delete(port);
        port = Cns232_newPath(sim->slavePath().c_str(), 115200, 2048, 0);
        ASSERT_NE(port, nullptr);
        sock = Cns232_toSock(port);
        ASSERT_EQ(CnsSock_open(sock), 0);
        te = AtTe_new(sock);
        ASSERT_NE(te, nullptr);
        ASSERT_GE(AtTe_setRxTimeout(te, kTimeoutMs, nullptr), 0);
    }

    size_t commandsSeen(const std::string &cmd) {
        size_t n = 0;
        for (const auto &c : sim->commands())
            n += c == cmd;
        return n;
    }

    std::unique_ptr<HandsetSim> sim;
    Cns232 *port = nullptr;
    CnsSock *sock = nullptr;
    AtTe *te = nullptr;
};

// ---- replies and final results ----

TEST_F(SimTerminal, IntermediateLineThenFinalOk) {
    sim->addCanned({"+CPMS?", "\r\n+CPMS: 1,20\r\n\r\nOK\r\n"});
    ASSERT_EQ(AtTe_sendCmd(te, "+CPMS?"), 6);
    char line[64];
    int32_t lineLen = -1, ok = -1, code = -1;
    EXPECT_EQ(AtTe_recvFrmLine(te, "+CMS", line, sizeof line, &lineLen, &ok, &code), 2);
    EXPECT_STREQ(line, "+CPMS: 1,20");
    EXPECT_EQ(lineLen, 11);
    EXPECT_EQ(AtTe_recvFrmLine(te, "+CMS", line, sizeof line, &lineLen, &ok, &code), 1);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(sim->commands().back(), "AT+CPMS?") << "the command went out as AT + command + CR";
}

TEST_F(SimTerminal, ExtendedErrorCarriesItsCode) {
    sim->addCanned({"+CPBS?", "\r\n+CME ERROR: 10\r\n"});
    ASSERT_GE(AtTe_sendCmd(te, "+CPBS?"), 0);
    char line[64];
    int32_t ok = -1, code = -1;
    EXPECT_EQ(AtTe_recvFrmLine(te, "+CME", line, sizeof line, nullptr, &ok, &code), 1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(code, 10);
    code = 0;
    EXPECT_EQ(AtTe_setAny(te, "+CPBS?", "+CME", &code), DV_E_IO);
    EXPECT_EQ(code, 10);
    expectInStep();
}

TEST_F(SimTerminal, EchoedCommandIsSkipped) {
    ASSERT_TRUE(sim->state().echo);
    EXPECT_EQ(get("+CGMI"), "SIMULATED");
    bool echoed = false;
    for (const auto &e : sim->transcript())
        echoed =
            echoed || (e.dir == handsetsim::Direction::Out && e.bytes.find("AT+CGMI\r") != std::string::npos);
    EXPECT_TRUE(echoed) << "the handset echoed the command";
    EXPECT_EQ(AtTe_setEcho(te, 0), 0);
    EXPECT_FALSE(sim->state().echo);
    EXPECT_EQ(get("+CGMI"), "SIMULATED");
}

TEST_F(SimTerminal, ReplyWithAllLinesInTheBuffer) {
    char buf[128];
    int32_t total = -1, code = -1;
    ASSERT_GE(AtTe_sendCmd(te, "+CSQ"), 0);
    EXPECT_EQ(AtTe_recvRsp(te, "+CME", buf, sizeof buf, &total, &code), 0);
    EXPECT_STREQ(buf, "+CSQ: 17,99\r\nOK\r\n");
    EXPECT_EQ(total, 15);
    EXPECT_EQ(code, 0);
}

// Fault: a buffer with room for a line but not for its CR LF took the first character of the next
// line glued onto it ("+CSQ: 17,99O"). The lines that find no room are dropped whole.
TEST_F(SimTerminal, ReplyBufferWithoutRoomForTheLineEnd) {
    struct Row {
        size_t size;
        const char *text;
        int32_t total;
    };
    for (const Row &row : {Row{12, "+CSQ: 17,99", 11}, Row{13, "+CSQ: 17,99", 11}, Row{14, "+CSQ: 17,99\r\n", 13},
                           Row{15, "+CSQ: 17,99\r\nO", 14}}) {
        SCOPED_TRACE(row.size);
        std::vector<char> buf(row.size, '#');
        int32_t total = -1;
        ASSERT_GE(AtTe_sendCmd(te, "+CSQ"), 0);
        EXPECT_EQ(AtTe_recvRsp(te, "+CME", buf.data(), static_cast<int32_t>(row.size), &total, nullptr), 0);
        EXPECT_STREQ(buf.data(), row.text);
        EXPECT_EQ(total, row.total);
    }
    expectInStep();
}

TEST_F(SimTerminal, GetAnyDropsTheReplyPrefix) {
    EXPECT_EQ(get("+CSCS?", "+CSCS:"), "\"GSM\"");
    EXPECT_EQ(get("+CSQ", "+csq:"), "17,99") << "the prefix is matched without regard to case";
    EXPECT_EQ(get("+CSQ", "+CBC:"), "+CSQ: 17,99") << "another prefix is left in place";
}

TEST_F(SimTerminal, FinalResultInPlaceOfDataIsAnError) {
    sim->addCanned({"+CIMI", "\r\nOK\r\n"});
    EXPECT_EQ(get("+CIMI"), "error -9");
    sim->addCanned({"+CGSN", "\r\n+CME ERROR: 10\r\n"});
    EXPECT_EQ(get("+CGSN"), "error -9");
    expectInStep();
}

// ---- the prompt of a message send ----

TEST_F(SimTerminal, PromptThenPduThenReply) {
    std::string pdu = handsetsim::encodeSubmitPdu("+4915211112222", "hello");
    int tpduLen = static_cast<int>(pdu.size() / 2) - 1; // without the "00" service-centre field
    int32_t code = -1;
    ASSERT_GE(AtTe_sendCmd(te, ("+CMGS=" + std::to_string(tpduLen)).c_str()), 0);
    ASSERT_EQ(AtTe_waitUntil(te, "\r\n> ", "+CMS", &code), 0);
    ASSERT_EQ(AtTe_sendData(te, pdu.c_str(), 0), static_cast<int32_t>(pdu.size()));
    ASSERT_EQ(AtTe_sendData(te, "\x1a", 1), 1);
    char buf[64];
    EXPECT_EQ(AtTe_recvRsp(te, "+CMS", buf, sizeof buf, nullptr, &code), 0);
    EXPECT_EQ(std::string(buf).rfind("+CMGS: ", 0), 0u) << buf;
    ASSERT_EQ(sim->submitted().size(), 1u);
    EXPECT_EQ(sim->submitted()[0].decoded.text, "hello");
    expectInStep();
}

struct PromptCase {
    const char *name;
    const char *reply; // what the handset answers in place of the prompt
    int32_t result;
    int32_t code;
};

const PromptCase kPromptCases[] = {
    {"error", "\r\nERROR\r\n", DV_E_IO, 0},
    {"extended_error", "\r\n+CMS ERROR: 304\r\n", DV_E_IO, 304},
    {"ok_where_prompt_due", "\r\nOK\r\n", DV_E_MALFORMED, 0},
    {"data_then_ok", "\r\n+CMGS: 12\r\n\r\nOK\r\n", DV_E_MALFORMED, 0},
};

void PrintTo(const PromptCase &c, std::ostream *os) {
    *os << c.name;
}

class PromptReplaced : public SimTerminal, public ::testing::WithParamInterface<PromptCase> {};

TEST_P(PromptReplaced, IsReadAsTheReply) {
    const PromptCase &c = GetParam();
    sim->addCanned({"+CMGS=*", c.reply});
    int32_t code = -1;
    ASSERT_GE(AtTe_sendCmd(te, "+CMGS=20"), 0);
    EXPECT_EQ(AtTe_waitUntil(te, "\r\n> ", "+CMS", &code), c.result);
    EXPECT_EQ(code, c.code);
    sim->clearCanned();
    expectInStep();
}

INSTANTIATE_TEST_SUITE_P(Replies, PromptReplaced, ::testing::ValuesIn(kPromptCases),
                         [](const auto &row) { return std::string(row.param.name); });

// A literal of line ends only: it arrives as soon as its bytes do, and no handset byte (a NUL
// included) moves the match past the literal's end. The literal lives on the heap so that the
// sanitizer sees any read beyond it.
TEST_F(SimTerminal, LiteralOfLineEndsOnly) {
    std::unique_ptr<char[]> lit(new char[3]{'\r', '\n', '\0'});
    sim->addCanned({"+CMGS=*", std::string("\r\n\0\0X\r\nOK\r\n", 11), -1, 1});
    ASSERT_GE(AtTe_sendCmd(te, "+CMGS=20"), 0);
    EXPECT_EQ(AtTe_waitUntil(te, lit.get(), "+CMS", nullptr), 0);
    EXPECT_EQ(AtTe_recvRsp(te, "+CMS", nullptr, 0, nullptr, nullptr), 0) << "the rest is the reply";
    expectInStep();
}

TEST_F(SimTerminal, PromptAfterAnEchoEndingCrCrLf) {
    sim->updateProfile([](Profile &p) {
        p.echoCrCrLf = true;
        p.doubleEcho = true;
    });
    int32_t code = 0;
    ASSERT_GE(AtTe_sendCmd(te, "+CMGS=20"), 0);
    EXPECT_EQ(AtTe_waitUntil(te, "\r\n> ", "+CMS", &code), 0);
    // Leave the prompt the way a user's cancel does: ESC, then the handset answers OK.
    ASSERT_EQ(AtTe_sendData(te, "\x1b", 1), 1);
    EXPECT_EQ(AtTe_recvRsp(te, "+CMS", nullptr, 0, nullptr, nullptr), 0);
    sim->updateProfile([](Profile &p) { p = Profile{}; });
    expectInStep();
}

// ---- the link test ----

TEST_F(SimTerminal, LinkTestAnswersAtOnceOnALiveLink) {
    sim->clearCommands();
    EXPECT_EQ(AtTe_testLink(te, 1000, 3), 0);
    EXPECT_EQ(commandsSeen("AT"), 1u);
    int32_t old = 0;
    AtTe_setRxTimeout(te, kTimeoutMs, &old);
    EXPECT_EQ(old, kTimeoutMs) << "the receive time-out is restored";
    EXPECT_EQ(AtTe_testLink(te, 1000, 0), 0);
    EXPECT_EQ(commandsSeen("AT"), 1u) << "no tries, nothing sent";
}

TEST_F(SimTerminal, LinkTestRetriesUntilTheHandsetAnswers) {
    sim->addCanned({"", "", -1, 1}); // the first bare "AT" goes unanswered
    sim->clearCommands();
    EXPECT_EQ(AtTe_testLink(te, kShortTimeoutMs, 3), 0);
    EXPECT_EQ(commandsSeen("AT"), 2u);
}

TEST_F(SimTerminal, LinkTestGivesUpOnASilentHandset) {
    sim->setSilent(true);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(AtTe_testLink(te, kShortTimeoutMs, 3), DV_E_TIMEOUT);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 3 * kShortTimeoutMs - 30) << "three tries, each waited out";
    EXPECT_EQ(AtTe_testLink(te, kShortTimeoutMs, 2), DV_E_TIMEOUT);
    sim->setSilent(false);
    expectInStep();
}

void cancelFromPump(void *ctx) {
    // A window procedure that runs inside the wait and cancels it (the user's Cancel button).
    auto *calls = static_cast<int *>(ctx);
    if (++*calls == 3)
        CnsVos_cancelBlocking();
}

TEST_F(SimTerminal, LinkTestStopsAfterACancel) {
    sim->setSilent(true);
    int calls = 0;
    CnsVos_setPumpHook(cancelFromPump, &calls);
    EXPECT_EQ(AtTe_testLink(te, kTimeoutMs, 3), DV_E_CANCELLED);
    CnsVos_setPumpHook(nullptr, nullptr);
    sim->setSilent(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // A silent handset keeps no command list; count what reached it.
    std::string in;
    for (const auto &e : sim->transcript())
        if (e.dir == handsetsim::Direction::In)
            in += e.bytes;
    size_t sent = 0;
    for (size_t at = in.find("AT\r"); at != std::string::npos; at = in.find("AT\r", at + 1))
        ++sent;
    EXPECT_EQ(sent, 1u) << "one try only";
    expectInStep();
}

// ---- identity ----

TEST_F(SimTerminal, IdentityQueries) {
    EXPECT_EQ(ask(GdcTe_getMan), "SIMULATED");
    EXPECT_EQ(ask(GdcTe_getModel), "HS-1000");
    EXPECT_EQ(ask(GdcTe_getVer), "R1A 1.00");
    EXPECT_EQ(ask(GdcTe_getSerial), "350000000000006");
    std::vector<std::string> sent = sim->commands();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(sent.end() - 4, sent.end()),
              (std::vector<std::string>{"AT+GMI", "AT+GMM", "AT+GMR", "AT+GSN"}));
}

// Handsets that put no blank line before the final result must not cost a time-out per query.
TEST_F(SimTerminal, ValueQueriesInTheCompactLayoutAnswerAtOnce) {
    sim->updateProfile([](Profile &p) { p.layout = handsetsim::Layout::Compact; });
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ask(GdcTe_getMan), "SIMULATED");
    char buf[64];
    EXPECT_EQ(AtTe_getAny(te, "+CSQ", "+CSQ:", "+CME", buf, sizeof buf, 0), 5);
    EXPECT_STREQ(buf, "17,99");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_EQ(ask(GdcTe_getModel), "HS-1000"); // and the next exchange is in step
    sim->updateProfile([](Profile &p) { p = Profile{}; });
}

TEST_F(SimTerminal, IdentityQueryRefused) {
    auto id = sim->identity();
    id.gmmMode = handsetsim::GmmMode::Error;
    sim->setIdentity(id);
    EXPECT_EQ(ask(GdcTe_getModel), "error -9");
    sim->updateProfile([](Profile &p) { p.errorText = "COMMAND NOT SUPPORT"; });
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ask(GdcTe_getModel), "error -9");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(kTimeoutMs))
        << "COMMAND NOT SUPPORT ends the reply; no time-out";
    expectInStep();
}

TEST_F(SimTerminal, IdentityWithLeadingBlanksOrOverSeveralLines) {
    auto id = sim->identity();
    id.manufacturer = "  \tACME Mobile";
    id.revision = "R2B\nbuild 7";
    sim->setIdentity(id);
    EXPECT_EQ(ask(GdcTe_getMan), "ACME Mobile");
    EXPECT_EQ(ask(GdcTe_getVer), "R2B") << "the first line is the value";
    expectInStep();
}

TEST_F(SimTerminal, IdentityIntoASmallBuffer) {
    char buf[5];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(GdcTe_getSerial(te, buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "3500");
    expectInStep();
}

// ---- quirks and faults the terminal survives ----

struct QuirkCase {
    const char *name;
    void (*apply)(HandsetSim &);
    const char *seen; // bytes the handset must have sent, so the quirk was really exercised
};

const QuirkCase kQuirkCases[] = {
    {"double_echo", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.doubleEcho = true; }); },
     "AT+GSN\rAT+GSN\r"},
    {"echo_cr_cr_lf", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.echoCrCrLf = true; }); },
     "AT+GSN\r\r\n"},
    {"double_echo_cr_cr_lf",
     [](HandsetSim &s) {
         s.updateProfile([](Profile &p) {
             p.doubleEcho = true;
             p.echoCrCrLf = true;
         });
     },
     "AT+GSN\r\r\nAT+GSN\r\r\n"},
    {"byte_by_byte", [](HandsetSim &s) { s.setBytewise(true, 2); }, nullptr},
    {"throttled_9600", [](HandsetSim &s) { s.setThrottle(9600); }, nullptr},
    {"slow_reply", [](HandsetSim &s) { s.setReplyDelay(120); }, nullptr},
    {"ring_between_commands", [](HandsetSim &s) { s.injectUnsolicited("RING", When::Now); }, "\r\nRING\r\n"},
    {"new_message_before_echo",
     [](HandsetSim &s) { s.injectUnsolicited("+CMTI: \"SM\",3", When::BeforeEcho, "+GSN"); },
     "\r\n+CMTI: \"SM\",3\r\nAT+GSN\r"},
    {"registration_before_reply",
     [](HandsetSim &s) { s.injectUnsolicited("+CREG: 1", When::BeforeReply, "+GSN"); },
     "AT+GSN\r\r\n+CREG: 1\r\n"},
    {"routed_message_before_echo",
     [](HandsetSim &s) {
         s.injectUnsolicited(
             "+CMT: ,24\r\n07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07",
             When::BeforeEcho, "+GSN");
     },
     "+CMT: ,24"},
    {"garbage_between_commands", [](HandsetSim &s) { s.injectGarbage(std::string("\x00\xff\x7f junk", 9)); },
     "junk"},
    // Line ends other than CR LF.
    {"cr_line_ends", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.bareCr = true; }); },
     "AT+GSN\r\r350000000000006\r\rOK\r"},
    {"lf_line_ends", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.bareLf = true; }); },
     "AT+GSN\r\n350000000000006\n\nOK\n"},
    {"cr_line_ends_compact",
     [](HandsetSim &s) {
         s.updateProfile([](Profile &p) {
             p.bareCr = true;
             p.layout = handsetsim::Layout::Compact;
         });
     },
     "AT+GSN\r\r350000000000006\rOK\r"},
    {"no_opening_line_end", [](HandsetSim &s) { s.updateProfile([](Profile &p) { p.noLeadingEol = true; }); },
     "AT+GSN\r350000000000006\r\n"},
};

std::string handsetOutput(const HandsetSim &s) {
    std::string out;
    for (const auto &e : s.transcript())
        if (e.dir == handsetsim::Direction::Out)
            out += e.bytes;
    return out;
}

void PrintTo(const QuirkCase &c, std::ostream *os) {
    *os << c.name;
}

class Quirk : public SimTerminal, public ::testing::WithParamInterface<QuirkCase> {};

TEST_P(Quirk, RepliesStayInStep) {
    GetParam().apply(*sim);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let "Now" injections arrive first
    expectInStep();
    EXPECT_EQ(get("+CPMS?", "+CPMS:", "+CMS"), "\"SM\",0,20,\"SM\",0,20,\"SM\",0,20");
    EXPECT_EQ(AtTe_setAny(te, "+CSCS=\"UCS2\"", "+CME", nullptr), 0);
    EXPECT_EQ(AtTe_testLink(te, kTimeoutMs, 1), 0);
    EXPECT_EQ(ask(GdcTe_getMan), "SIMULATED");
    if (GetParam().seen) {
        EXPECT_NE(handsetOutput(*sim).find(GetParam().seen), std::string::npos)
            << "the quirk was not exercised";
    }
}

// The same handsets with echo off: no line may be dropped as an echo.
TEST_P(Quirk, RepliesStayInStepWithoutEcho) {
    ASSERT_EQ(AtTe_setEcho(te, 0), 0);
    GetParam().apply(*sim);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    expectInStep();
    EXPECT_EQ(get("+CPMS?", "+CPMS:", "+CMS"), "\"SM\",0,20,\"SM\",0,20,\"SM\",0,20");
    EXPECT_EQ(AtTe_testLink(te, kTimeoutMs, 1), 0);
    EXPECT_EQ(ask(GdcTe_getMan), "SIMULATED");
}

INSTANTIATE_TEST_SUITE_P(Handsets, Quirk, ::testing::ValuesIn(kQuirkCases),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(SimTerminal, LineAfterTheBlankLineThatIsNoFinalResult) {
    // Each entry framed as a reply of its own: the terminal answers ERROR for the listing, but reads
    // it through its OK, so the next command gets its own reply.
    sim->addCanned(
        {"+CPBR=1,2", "\r\n+CPBR: 1,\"111\",129,\"A\"\r\n\r\n+CPBR: 2,\"222\",129,\"B\"\r\n\r\nOK\r\n"});
    char line[64];
    int32_t ok = -1, code = -1;
    ASSERT_GE(AtTe_sendCmd(te, "+CPBR=1,2"), 0);
    EXPECT_EQ(AtTe_recvFrmLine(te, "+CME", line, sizeof line, nullptr, &ok, &code), 2);
    EXPECT_STREQ(line, "+CPBR: 1,\"111\",129,\"A\"");
    EXPECT_EQ(AtTe_recvFrmLine(te, "+CME", line, sizeof line, nullptr, &ok, &code), 1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(code, 0);
    EXPECT_STREQ(line, "+CPBR: 2,\"222\",129,\"B\"");
    expectInStep();
    EXPECT_EQ(AtTe_setAny(te, "+CPBR=1,2", "+CME", nullptr), DV_E_IO);
    expectInStep();
}

TEST_F(SimTerminal, BlankLineWhereTheFinalResultIsDue) {
    sim->addCanned({"+CSQ", "\r\n+CSQ: 17,99\r\n\r\n\r\nOK\r\n"});
    EXPECT_EQ(AtTe_setAny(te, "+CSQ", "+CME", nullptr), DV_E_MALFORMED);
    expectInStep();
    // A single-value query only reads through to the final result, so the extra blank line
    // costs it nothing.
    EXPECT_EQ(get("+CSQ"), "+CSQ: 17,99");
    expectInStep();
}

TEST_F(SimTerminal, ReplyWithoutFinalResultEndsAtTheTimeOut) {
    AtTe_setRxTimeout(te, kShortTimeoutMs, nullptr);
    sim->addCanned({"+CSQ", "\r\n+CSQ: 17,99\r\n"});
    EXPECT_EQ(get("+CSQ"), "error -12");
    AtTe_setRxTimeout(te, kTimeoutMs, nullptr);
    expectInStep();
}

TEST_F(SimTerminal, LateReplyIsNotTakenForTheNextOne) {
    AtTe_setRxTimeout(te, kShortTimeoutMs, nullptr);
    sim->addCanned({"+CSQ", "\r\n+CSQ: 17,99\r\n\r\nOK\r\n", 2 * kShortTimeoutMs, 1});
    EXPECT_EQ(get("+CSQ"), "error -12");
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * kShortTimeoutMs)); // the late reply arrives
    AtTe_setRxTimeout(te, kTimeoutMs, nullptr);
    expectInStep();
}

TEST_F(SimTerminal, ListingLeftHalfReadIsNotTakenForTheNextReply) {
    sim->addCanned({"+CPBR=1,3",
                    "\r\n+CPBR: 1,\"1\",129,\"A\"\r\n+CPBR: 2,\"2\",129,\"B\"\r\n+CPBR: 3,\"3\",129,\"C\"\r\n"
                    "\r\nOK\r\n"});
    char line[64];
    ASSERT_GE(AtTe_sendCmd(te, "+CPBR=1,3"), 0);
    ASSERT_EQ(AtTe_recvFrmLine(te, "+CME", line, sizeof line, nullptr, nullptr, nullptr), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the rest of the listing has arrived
    expectInStep();
}

TEST_F(SimTerminal, ReplyOfBlankLinesOnlyIsMalformedAtOnce) {
    sim->addCanned({"+CSQ", "\r\n\r\n\r\n", -1, 1});
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(get("+CSQ"), "error -92");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(kTimeoutMs / 2));
    expectInStep();
}

// A handset waking up answers its first command late. Only the echo tells the late reply from the
// next command's: with echo, every later reply goes to its own command.
TEST_F(SimTerminal, LateFirstReplyDoesNotShiftTheReplies) {
    for (bool echoLate : {false, true}) {
        SCOPED_TRACE(echoLate ? "echo late too" : "echo at once");
        auto f = sim->faults();
        f.firstReplyDelayMs = 2 * kShortTimeoutMs;
        f.firstEchoLate = echoLate;
        sim->setFaults(f);
        reopen(); // the port opens: the handset wakes
        AtTe_setRxTimeout(te, kShortTimeoutMs, nullptr);
        // As the link test does: "AT" until one is answered.
        EXPECT_EQ(AtTe_testLink(te, kShortTimeoutMs, 3), 0);
        AtTe_setRxTimeout(te, kTimeoutMs, nullptr);
        EXPECT_EQ(ask(GdcTe_getMan), "SIMULATED");
        EXPECT_EQ(ask(GdcTe_getModel), "HS-1000");
        EXPECT_EQ(ask(GdcTe_getVer), "R1A 1.00");
        expectInStep();
        EXPECT_EQ(commandsSeen("AT"), 2u) << "the second \"AT\" was answered";
        sim->clearCommands();
    }
}

TEST_F(SimTerminal, DroppedLinkIsAClosedLink) {
    sim->dropLink(handsetsim::DropMode::Hangup);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    int32_t r = AtTe_setAny(te, "+CSQ", nullptr, nullptr);
    EXPECT_EQ(r, DV_E_CLOSED);
    EXPECT_EQ(AtTe_sendCmd(te, "+CSQ"), DV_E_CLOSED);
    EXPECT_EQ(AtTe_testLink(te, kShortTimeoutMs, 3), DV_E_CLOSED);
    char buf[16];
    EXPECT_EQ(AtTe_recvFrmLine(te, nullptr, buf, sizeof buf, nullptr, nullptr, nullptr), DV_E_CLOSED);
}

TEST_F(SimTerminal, WholeReplyBlock) {
    sim->addCanned({"+CPBR=1,2", "\r\n+CPBR: 1,\"1\",129,\"A\"\r\n+CPBR: 2,\"2\",129,\"B\"\r\n\r\nOK\r\n"});
    ASSERT_GE(AtTe_sendCmd(te, "+CPBR=1,2"), 0);
    char buf[128];
    int32_t len = -1, ok = -1, code = -1;
    EXPECT_EQ(AtTe_recvFrmWhole(te, "+CME", buf, sizeof buf, &len, &ok, &code), 2);
    EXPECT_STREQ(buf, "+CPBR: 1,\"1\",129,\"A\"\r\n+CPBR: 2,\"2\",129,\"B\"");
    EXPECT_EQ(len, static_cast<int32_t>(std::strlen(buf)));
    EXPECT_EQ(AtTe_recvFrmWhole(te, "+CME", buf, sizeof buf, &len, &ok, &code), 1);
    EXPECT_EQ(ok, 1);
    expectInStep();
}

} // namespace
