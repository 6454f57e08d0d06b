// What the terminal hands to its transport: how a command is cut into writes, partial writes, and a
// transport that takes nothing or answers the end of data. A scripted transport records every write;
// replies from a handset are tested against the simulated handset (te_sim_test.cpp).

#include "dv_at.h"
#include "dv_result.h"
#include "dv_transport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

struct ScriptSock {
    CnsSock sock{};
    std::vector<std::string> writes;
    std::deque<int32_t> sendLimits; // per write: at most this many bytes taken (0 takes nothing)
    std::string rx;                 // what a receive hands out
    int32_t rxEnd = 0;              // answered once rx is used up (0: end of data)
    int32_t rxTimeout = 9000;

    ScriptSock() {
        sock.self = this;
        sock.send = [](CnsSock *s, const void *buf, int32_t len, int32_t, int32_t) -> int32_t {
            auto *me = static_cast<ScriptSock *>(s->self);
            int32_t n = len;
            if (!me->sendLimits.empty()) {
                n = std::min(n, me->sendLimits.front());
                me->sendLimits.pop_front();
            }
            if (n > 0)
                me->writes.emplace_back(static_cast<const char *>(buf), static_cast<size_t>(n));
            return n;
        };
        sock.recv = [](CnsSock *s, void *buf, int32_t len) -> int32_t {
            auto *me = static_cast<ScriptSock *>(s->self);
            if (me->rx.empty())
                return me->rxEnd;
            int32_t n = std::min<int32_t>(len, static_cast<int32_t>(me->rx.size()));
            me->rx.copy(static_cast<char *>(buf), static_cast<size_t>(n));
            me->rx.erase(0, static_cast<size_t>(n));
            return n;
        };
        sock.getOpt = [](CnsSock *s, int32_t level, int32_t name, int32_t *out) -> int32_t {
            auto *me = static_cast<ScriptSock *>(s->self);
            if (level != CNSSOCK_SOL || name != CNSSOCK_SO_RCVTIMEO)
                return DV_E_UNSUPPORTED;
            *out = me->rxTimeout;
            return 0;
        };
        sock.setOpt = [](CnsSock *s, int32_t level, int32_t name, const int32_t *in) -> int32_t {
            auto *me = static_cast<ScriptSock *>(s->self);
            if (level != CNSSOCK_SOL || name != CNSSOCK_SO_RCVTIMEO)
                return DV_E_UNSUPPORTED;
            me->rxTimeout = *in;
            return 0;
        };
    }
};

struct Terminal {
    ScriptSock t;
    AtTe *te = AtTe_new(&t.sock);
    ~Terminal() { AtTe_delete(te); }
};

std::string joined(const std::vector<std::string> &writes) {
    std::string all;
    for (const auto &w : writes)
        all += w;
    return all;
}

struct SplitCase {
    const char *name;
    size_t length;
    size_t writes;
};

// A command goes out in one write while it and "AT" + CR + one spare byte fit the 64-byte command
// buffer (60 characters), else as "AT", the command, CR.
const SplitCase kSplitCases[] = {
    {"empty", 0, 1}, {"fits_59", 59, 1}, {"fits_60", 60, 1}, {"split_61", 61, 3}, {"split_200", 200, 3},
};

void PrintTo(const SplitCase &c, std::ostream *os) {
    *os << c.name;
}

class SendSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SendSplit, WritesOfACommand) {
    const SplitCase &c = GetParam();
    Terminal term;
    std::string cmd(c.length, 'X');
    EXPECT_EQ(AtTe_sendCmd(term.te, cmd.c_str()), static_cast<int32_t>(c.length));
    EXPECT_EQ(term.t.writes.size(), c.writes);
    EXPECT_EQ(joined(term.t.writes), "AT" + cmd + "\r") << "no line feed, nothing else";
    if (c.writes == 3) {
        EXPECT_EQ(term.t.writes[0], "AT");
        EXPECT_EQ(term.t.writes[2], "\r");
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, SendSplit, ::testing::ValuesIn(kSplitCases),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(Send, PartialWritesAreCompleted) {
    Terminal term;
    term.t.sendLimits = {3, 2, 100};
    EXPECT_EQ(AtTe_sendCmd(term.te, "+CGMI"), 5);
    EXPECT_EQ(joined(term.t.writes), "AT+CGMI\r");
    term.t.writes.clear();
    term.t.sendLimits = {1, 1};
    EXPECT_EQ(AtTe_sendData(term.te, "0011", 0), 4) << "len <= 0 sends the string";
    EXPECT_EQ(joined(term.t.writes), "0011");
}

TEST(Send, ATransportThatTakesNothingIsAClosedLink) {
    Terminal term;
    term.t.sendLimits = {0};
    EXPECT_EQ(AtTe_sendCmd(term.te, "+CGMI"), DV_E_CLOSED);
    term.t.sendLimits = {2, 0};
    EXPECT_EQ(AtTe_sendCmd(term.te, std::string(70, 'Y').c_str()), DV_E_CLOSED)
        << "stops at the first failed write";
    EXPECT_EQ(term.t.writes.back(), "AT");
    term.t.sendLimits = {0};
    EXPECT_EQ(AtTe_sendData(term.te, "\x1a", 1), DV_E_CLOSED);
}

TEST(Recv, TheEndOfTheStreamIsAClosedLink) {
    Terminal term;
    term.t.rx = "\r\n+CSQ: 1";
    term.t.rxEnd = 0; // a transport receive answering 0: the socket stream's end of data
    int32_t lineLen = -1;
    EXPECT_EQ(AtTe_recvFrmLine(term.te, nullptr, nullptr, 0, &lineLen, nullptr, nullptr), DV_E_CLOSED);
    term.t.rxEnd = DV_E_TIMEOUT;
    EXPECT_EQ(AtTe_recvRsp(term.te, nullptr, nullptr, 0, nullptr, nullptr), DV_E_TIMEOUT);
}

TEST(Terminal, DisabledDoesNothing) {
    Terminal term;
    term.t.rx = "\r\nOK\r\n";
    ASSERT_EQ(AtTe_disable(term.te), 0);
    char buf[16];
    int32_t code = 0;
    EXPECT_EQ(AtTe_sendCmd(term.te, ""), DV_E_DISABLED);
    EXPECT_EQ(AtTe_sendData(term.te, "x", 1), DV_E_DISABLED);
    EXPECT_EQ(AtTe_recvRsp(term.te, nullptr, nullptr, 0, nullptr, nullptr), DV_E_DISABLED);
    EXPECT_EQ(AtTe_recvFrmLine(term.te, nullptr, buf, sizeof buf, nullptr, nullptr, nullptr), DV_E_DISABLED);
    EXPECT_EQ(AtTe_getAny(term.te, "+CGMI", nullptr, nullptr, buf, sizeof buf, 0), DV_E_DISABLED);
    EXPECT_EQ(AtTe_setAny(term.te, "E0", nullptr, &code), DV_E_DISABLED);
    EXPECT_EQ(AtTe_waitUntil(term.te, "\r\n> ", nullptr, &code), DV_E_DISABLED);
    EXPECT_EQ(AtTe_testLink(term.te, 100, 3), DV_E_DISABLED);
    EXPECT_EQ(AtTe_setRxTimeout(term.te, 5, nullptr), DV_E_DISABLED);
    EXPECT_TRUE(term.t.writes.empty());
    EXPECT_EQ(term.t.rx, "\r\nOK\r\n") << "nothing was read";
    ASSERT_EQ(AtTe_enable(term.te), 0);
    EXPECT_EQ(AtTe_setAny(term.te, "", nullptr, &code), 0);
}

TEST(Terminal, LifeCycleAndArguments) {
    EXPECT_EQ(AtTe_new(nullptr), nullptr);
    AtTe_delete(nullptr);
    Terminal term;
    EXPECT_EQ(AtTe_getSock(term.te), &term.t.sock);
    EXPECT_EQ(AtTe_sendCmd(term.te, nullptr), DV_E_ARG);
    EXPECT_EQ(AtTe_getAny(term.te, "+CGMI", nullptr, nullptr, nullptr, 10, 0), DV_E_ARG);
    EXPECT_EQ(AtTe_waitUntil(term.te, "", nullptr, nullptr), DV_E_ARG);
    EXPECT_EQ(AtTe_waitUntil(term.te, "0123456789ABCDEFG", nullptr, nullptr), DV_E_ARG);
    EXPECT_EQ(AtTe_getEcho(term.te), DV_E_NOTIMPL);
    EXPECT_TRUE(term.t.writes.empty());
}

TEST(Terminal, SetRxTimeoutAnswersThePreviousOne) {
    Terminal term;
    int32_t old = 0;
    EXPECT_EQ(AtTe_setRxTimeout(term.te, 30000, &old), 9000);
    EXPECT_EQ(old, 9000);
    EXPECT_EQ(term.t.rxTimeout, 30000);
    EXPECT_EQ(AtTe_setRxTimeout(term.te, 9000, nullptr), 30000);
}

// The reply buffer of recvRsp is bounded: lines are cut, CR LF only where it fits, always
// terminated, and the final result is still found.
TEST(Recv, ReplyBufferIsBounded) {
    Terminal term;
    term.t.rx = "\r\n+CMGS: 1234567890\r\n+X: abc\r\n\r\nOK\r\n";
    term.t.rxEnd = DV_E_TIMEOUT;
    char buf[12];
    std::memset(buf, '#', sizeof buf);
    int32_t total = -1;
    EXPECT_EQ(AtTe_recvRsp(term.te, "+CMS", buf, sizeof buf, &total, nullptr), 0);
    EXPECT_EQ(std::string(buf), "+CMGS: 1234");
    EXPECT_EQ(total, 11);

    term.t.rx = "\r\n+CMGW: 5\r\n\r\nOK\r\n";
    char roomy[32];
    EXPECT_EQ(AtTe_recvRsp(term.te, "+CMS", roomy, sizeof roomy, &total, nullptr), 0);
    EXPECT_EQ(std::string(roomy), "+CMGW: 5\r\nOK\r\n");
    EXPECT_EQ(total, 12);
}

} // namespace
