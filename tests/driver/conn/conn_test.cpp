// The driver's entry points against the simulated handset: reading the connection texts, opening
// and closing the link, the link test, the identity read at connect, and the unwinding of every
// failed connect (no handle, the port free again; leaks are LeakSanitizer's to report).

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ostream>
#include <string>

#include "driver/sim_fixture.h"
#include "dv_log.h"
#include "dv_util.h"
#include "ms_mng.h"
#include "gmc_te.h"
#include "ms_mng_int.h"

namespace {

using handsetsim::CannedReply;
using handsetsim::DropMode;
using handsetsim::GmmMode;
using handsetsim::Scenario;
using simfx::SimSession;

// ---- Catalogue answers ----

TEST(MsMngCatalogue, VersionAndConnectionTable) {
    int32_t major = -1, minor = -1, build = -1;
    EXPECT_EQ(0, MsMng_getVer(&major, &minor, &build));
    EXPECT_EQ(1, major);
    EXPECT_EQ(2, minor);
    EXPECT_EQ(0, build);
    EXPECT_EQ(0, MsMng_getVer(nullptr, nullptr, nullptr));

    const char *man = nullptr;
    const ConnSupp *supp = nullptr;
    ASSERT_EQ(2, MsMng_getSupp(&man, &supp));
    EXPECT_STREQ("Other", man);
    EXPECT_STREQ("Cable", supp[0].type);
    EXPECT_STREQ("any", supp[0].port);
    EXPECT_STREQ("57600,38400,19200,9600", supp[0].bauds);
    EXPECT_STREQ("IrDA", supp[1].type);
    EXPECT_STREQ("", supp[1].port);
    EXPECT_STREQ("", supp[1].bauds);
    EXPECT_EQ(nullptr, supp[2].type);
    EXPECT_EQ(nullptr, supp[2].port);
    EXPECT_EQ(nullptr, supp[2].bauds);
    EXPECT_EQ(2, MsMng_getSupp(nullptr, nullptr));
}

// ---- Connection texts ----

struct PortCase {
    const char *name;
    const char *text;
    int32_t com;      // expected port number, 0 for a path
    const char *path; // expected path, or nullptr
};
void PrintTo(const PortCase &c, std::ostream *os) { *os << c.name; }

class PortText : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortText, ChoosesPortOrPath) {
    const PortCase &c = GetParam();
    pl::PortChoice p = pl::choosePort(c.text);
    EXPECT_EQ(c.com, p.com);
    if (c.path)
        EXPECT_STREQ(c.path, p.path);
    else
        EXPECT_EQ(nullptr, p.path);
}

INSTANTIATE_TEST_SUITE_P(Texts, PortText,
                         ::testing::Values(PortCase{"COM3", "COM3", 3, nullptr},
                                           PortCase{"com3_lower", "com3", 3, nullptr},
                                           PortCase{"Com12", "Com12", 12, nullptr},
                                           PortCase{"path", "/dev/pts/5", 0, "/dev/pts/5"},
                                           PortCase{"any", "any", 1, nullptr},
                                           PortCase{"empty", "", 1, nullptr},
                                           PortCase{"USB1", "USB1", 1, nullptr},
                                           PortCase{"null", nullptr, 1, nullptr},
                                           // no digits after COM: a port no open accepts
                                           PortCase{"COM_alone", "COM", 0, nullptr},
                                           PortCase{"COM_huge", "COM99999999999999", INT32_MAX, nullptr}),
                         [](const auto &row) { return std::string(row.param.name); });

struct BaudCase {
    const char *name;
    const char *text;
    int32_t baud;
};
void PrintTo(const BaudCase &c, std::ostream *os) { *os << c.name; }

class BaudText : public ::testing::TestWithParam<BaudCase> {};

TEST_P(BaudText, Parses) { EXPECT_EQ(GetParam().baud, pl::parseBaud(GetParam().text)); }

INSTANTIATE_TEST_SUITE_P(Texts, BaudText,
                         ::testing::Values(BaudCase{"rate", "57600", 57600}, BaudCase{"blanks", " 9600", 9600},
                                           // the connection search passes an empty baud: B0 would hang up
                                           BaudCase{"empty", "", -1}, BaudCase{"null", nullptr, -1},
                                           BaudCase{"zero", "0", -1}, BaudCase{"negative", "-5", -1},
                                           BaudCase{"word", "fast", -1},
                                           BaudCase{"huge", "99999999999", INT32_MAX}),
                         [](const auto &row) { return std::string(row.param.name); });

// Serial ports are /dev/ttyS<n-1>; without that device the open fails and the log names it.
TEST(MsMngConnect, ComTextOpensTtyS) {
    if (access("/dev/ttyS2", F_OK) == 0)
        GTEST_SKIP() << "this machine has a /dev/ttyS2";
    for (const char *text : {"COM3", "com3"}) {
        StdoutConsole_init();
        ::testing::internal::CaptureStderr();
        ConnCfg cfg{"Cable", text, "57600"};
        ConnHandle *h = reinterpret_cast<ConnHandle *>(1);
        int32_t rc = MsMng_connect(&h, &cfg, nullptr);
        std::string log = ::testing::internal::GetCapturedStderr();
        StdoutConsole_cleanup();
        EXPECT_EQ(-64, rc) << text;
        EXPECT_EQ(nullptr, h) << text;
        EXPECT_NE(std::string::npos, log.find("/dev/ttyS2")) << log;
        EXPECT_NE(std::string::npos, log.find("MsMng_connect ERR_END (-64)")) << log;
    }
}

// ---- Connect against the simulated handset ----

int32_t connectTo(const std::string &path, ConnHandle **h, PhoneIdent *ident, const char *type = "Cable",
                  const char *baud = "57600") {
    ConnCfg cfg{type, path.c_str(), baud};
    return MsMng_connect(h, &cfg, ident);
}

TEST(MsMngConnect, OpensReadsIdentityAndCloses) {
    SimSession s;
    ConnHandle *h = nullptr;
    PhoneIdent id;
    std::memset(&id, 0x5a, sizeof id);
    ASSERT_EQ(0, connectTo(s.path(), &h, &id));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(MS_CONN_MAGIC, h->magic);
    EXPECT_EQ(1, h->owned);
    EXPECT_NE(nullptr, h->sock);
    EXPECT_NE(nullptr, h->te);
    EXPECT_STREQ("SIMULATED", id.Man);
    EXPECT_STREQ("HS-1000", id.ModelA); // +GMM answers like +CGMM
    EXPECT_STREQ("HS-1000", id.ModelB);
    // zero-filled before filling: nothing of the 0x5a pattern is left behind the texts
    for (size_t i = std::strlen(id.ModelB); i < sizeof id.ModelB; ++i)
        ASSERT_EQ('\0', id.ModelB[i]);

    // A plug-in reaches the terminal through the published handle layout.
    char imei[32];
    EXPECT_EQ(15, GmcTe_getImei(h->te, imei, sizeof imei));
    EXPECT_STREQ("350000000000006", imei);

    // one connection per port: a second one is refused and leaves the first alone
    ConnHandle *second = nullptr;
    EXPECT_EQ(-64, connectTo(s.path(), &second, nullptr));
    EXPECT_EQ(nullptr, second);

    EXPECT_EQ(1, MsMng_isConnected(h));
    EXPECT_EQ(0, MsMng_disconnect(h));
    // the port is free again
    ASSERT_EQ(0, connectTo(s.path(), &h, nullptr));
    EXPECT_EQ(0, MsMng_disconnect(h));
}

TEST(MsMngConnect, NullIdentityOpensTheLinkOnly) {
    SimSession s;
    ConnHandle *h = nullptr;
    ASSERT_EQ(0, connectTo(s.path(), &h, nullptr));
    for (const std::string &cmd : s.sim().commands())
        EXPECT_EQ(std::string::npos, cmd.find("GM")) << cmd;
    EXPECT_EQ(0, MsMng_disconnect(h));
}

// The connection manager falls back to the "Other" driver for a handset without a manufacturer.
TEST(MsMngConnect, RefusedManufacturerStaysEmpty) {
    SimSession s;
    s.sim().addCanned(CannedReply{"+CGMI", "\r\n+CME ERROR: 4\r\n"});
    ConnHandle *h = nullptr;
    PhoneIdent id;
    std::memset(&id, 0x5a, sizeof id);
    ASSERT_EQ(0, connectTo(s.path(), &h, &id));
    EXPECT_STREQ("", id.Man);
    EXPECT_STREQ("HS-1000", id.ModelA);
    EXPECT_EQ(0, MsMng_disconnect(h));
}

TEST(MsMngConnect, EmptyBaudUsesTheDefault) {
    SimSession s;
    ConnHandle *h = nullptr;
    PhoneIdent id{};
    ASSERT_EQ(0, connectTo(s.path(), &h, &id, "cable", ""));
    EXPECT_STREQ("SIMULATED", id.Man);
    EXPECT_EQ(0, MsMng_disconnect(h));
}

// Refusals that must leave nothing open: afterwards the same port connects at once.
TEST(MsMngConnect, BadArgumentsOpenNothing) {
    SimSession s;
    ConnCfg usb{"USB", s.path().c_str(), "57600"};
    ConnCfg noType{nullptr, s.path().c_str(), "57600"};
    ConnCfg cable{"Cable", s.path().c_str(), "57600"};
    ConnHandle *h = reinterpret_cast<ConnHandle *>(1);
    PhoneIdent id;
    std::memset(&id, 0x5a, sizeof id);
    EXPECT_EQ(-81, MsMng_connect(&h, &usb, &id));
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ('\0', id.Man[0]);
    EXPECT_EQ(-81, MsMng_connect(&h, &noType, nullptr));
    EXPECT_EQ(-81, MsMng_connect(&h, nullptr, nullptr));
    // No place for the handle: refused before the port is opened (it used to stay held).
    EXPECT_EQ(-81, MsMng_connect(nullptr, &cable, nullptr));
    EXPECT_TRUE(s.sim().commands().empty());

    ASSERT_EQ(0, MsMng_connect(&h, &cable, nullptr));
    EXPECT_EQ(0, MsMng_disconnect(h));
}

TEST(MsMngConnect, MissingDeviceAnswersPortError) {
    ConnHandle *h = nullptr;
    PhoneIdent id;
    std::memset(&id, 0x5a, sizeof id);
    EXPECT_EQ(-64, connectTo("/dev/selvark-no-such-port", &h, &id));
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ('\0', id.Man[0]);
}

TEST(MsMngConnect, SilentHandsetFailsLinkTestAndFreesThePort) {
    SimSession s;
    s.sim().setSilent(true);
    ConnHandle *h = nullptr;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(-8, connectTo(s.path(), &h, nullptr));
    auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(nullptr, h);
    // three tries of one second each, not the 9 s receive time-out
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_GE(waited, std::chrono::milliseconds(2900));

    s.sim().setSilent(false);
    ASSERT_EQ(0, connectTo(s.path(), &h, nullptr));
    EXPECT_EQ(0, MsMng_disconnect(h));
}

// The link drops while the identity is read: a link fault, no handle, nothing left open.
TEST(MsMngConnect, LinkDroppedDuringIdentity) {
    for (const char *cmd : {"+CGMI", "+CGMM"}) {
        SimSession s;
        s.sim().addCanned(CannedReply{cmd, "", -1, -1, DropMode::Hangup});
        ConnHandle *h = nullptr;
        PhoneIdent id;
        std::memset(&id, 0x5a, sizeof id);
        int32_t rc = connectTo(s.path(), &h, &id);
        EXPECT_TRUE(NetUtil_isFaultErr(rc)) << cmd << ": " << rc;
        EXPECT_EQ(nullptr, h);
        EXPECT_EQ('\0', id.ModelA[0]);
    }
}

// Each failed connect gives back the port and its poll slot (the wait loop has only a few): a
// leak would make the later connects fail with -64 or -201.
TEST(MsMngConnect, RepeatedFailuresReleaseEverything) {
    SimSession s;
    s.sim().addCanned(CannedReply{"+CGMM", "\r\nERROR\r\n", -1, 6});
    for (int i = 0; i < 6; ++i) {
        ConnHandle *h = nullptr;
        PhoneIdent id{};
        ASSERT_EQ(-9, connectTo(s.path(), &h, &id)) << "attempt " << i;
        EXPECT_EQ(nullptr, h);
    }
    ConnHandle *h = nullptr;
    ASSERT_EQ(0, connectTo(s.path(), &h, nullptr));
    EXPECT_EQ(0, MsMng_disconnect(h));
}

// The model pair: "+GMM" into ModelA and "+CGMM" into ModelB, or "+CGMM" into ModelA when the
// handset refuses "+GMM".
struct ModelCase {
    const char *name;
    GmmMode gmmMode;
    const char *gmm;
    const char *cgmm;
    const char *gmmReply;  // canned reply to "+GMM", or nullptr
    const char *cgmmReply; // canned reply to "+CGMM", or nullptr
    int32_t rc;
    const char *modelA;
    const char *modelB;
};
void PrintTo(const ModelCase &c, std::ostream *os) { *os << c.name; }

class ModelPair : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ModelPair, Connect) {
    const ModelCase &c = GetParam();
    Scenario sc = handsetsim::defaultScenario();
    sc.identity.gmmMode = c.gmmMode;
    sc.identity.gmm = c.gmm;
    sc.identity.model = c.cgmm;
    if (c.gmmReply)
        sc.canned.push_back(CannedReply{"+GMM", c.gmmReply});
    if (c.cgmmReply)
        sc.canned.push_back(CannedReply{"+CGMM", c.cgmmReply});
    SimSession s(sc);
    ConnHandle *h = nullptr;
    PhoneIdent id{};
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(c.rc, connectTo(s.path(), &h, &id));
    // an error reply is classified, not waited out
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    if (c.rc == 0) {
        EXPECT_STREQ(c.modelA, id.ModelA);
        EXPECT_STREQ(c.modelB, id.ModelB);
        EXPECT_EQ(0, MsMng_disconnect(h));
    } else {
        EXPECT_EQ(nullptr, h);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ModelPair,
    ::testing::Values(
        ModelCase{"BothAnswer", GmmMode::Own, "GM-A", "CGM-B", nullptr, nullptr, 0, "GM-A", "CGM-B"},
        ModelCase{"GmmLikeCgmm", GmmMode::LikeCgmm, "", "T28", nullptr, nullptr, 0, "T28", "T28"},
        ModelCase{"GmmError", GmmMode::Error, "", "T28", nullptr, nullptr, 0, "T28", ""},
        // +GMM refused with an extended error under +CMEE=1 (it used to be read as the model)
        ModelCase{"GmmCmeError", GmmMode::Own, "GM-A", "T28", "\r\n+CME ERROR: 4\r\n", nullptr, 0, "T28", ""},
        ModelCase{"CgmmError", GmmMode::Own, "GM-A", "CGM-B", nullptr, "\r\nERROR\r\n", -9, "", ""},
        ModelCase{"BothError", GmmMode::Error, "", "CGM-B", nullptr, "\r\n+CME ERROR: 3\r\n", -9, "", ""},
        ModelCase{"LongModelCut", GmmMode::Own, "0123456789012345678901234567890123456789", "CGM-B", nullptr, nullptr,
                  0, "0123456789012345678901234567890", "CGM-B"}),
    [](const auto &row) { return std::string(row.param.name); });

// What a handset says as the port opens is no reply to the link test. Without echo nothing else
// would tell it from one, and every later reply would go to the command after its own.
TEST(MsMngConnect, WhatComesAsThePortOpensIsDropped) {
    Scenario sc = handsetsim::defaultScenario();
    sc.echo = false;
    sc.faults.openGreeting = "\r\nOK\r\n";
    SimSession s(sc);
    for (int i = 0; i < 2; ++i) {
        ConnHandle *h = nullptr;
        PhoneIdent id{};
        ASSERT_EQ(0, connectTo(s.path(), &h, &id));
        EXPECT_STREQ("SIMULATED", id.Man);
        EXPECT_STREQ("HS-1000", id.ModelA);
        EXPECT_STREQ("HS-1000", id.ModelB);
        char buf[32];
        EXPECT_EQ(8, GmcTe_getVer(h->te, buf, sizeof buf));
        EXPECT_STREQ("R1A 1.00", buf);
        EXPECT_EQ(0, MsMng_disconnect(h));
    }
    const std::string out = s.sim().transcriptText();
    EXPECT_NE(std::string::npos, out.find("client opened")) << out;
}

// Identity texts padded with blanks reach the catalogue without them, from every query that hands
// them out.
TEST(MsMngConnect, IdentityTextsAreTrimmed) {
    Scenario sc = handsetsim::defaultScenario();
    sc.identity.manufacturer = "  ACME \t";
    sc.identity.model = "MODEL X  ";
    sc.identity.gmmMode = GmmMode::Own;
    sc.identity.gmm = " MODEL X GSM  ";
    sc.identity.revision = "R2B 7.1   ";
    sc.identity.imei = "351234567890123  ";
    sc.identity.imsi = "\t262019876543210 ";
    SimSession s(sc);
    ConnHandle *h = nullptr;
    PhoneIdent id{};
    ASSERT_EQ(0, connectTo(s.path(), &h, &id));
    EXPECT_STREQ("ACME", id.Man);
    EXPECT_STREQ("MODEL X GSM", id.ModelA);
    EXPECT_STREQ("MODEL X", id.ModelB);

    struct Query {
        int32_t (*fn)(AtTe *, char *, int32_t);
        const char *value;
    };
    const Query queries[] = {{GmcTe_getMan, "ACME"},
                             {GmcTe_getModel, "MODEL X"},
                             {GmcTe_getVer, "R2B 7.1"},
                             {GmcTe_getImei, "351234567890123"},
                             {GmcTe_getImsi, "262019876543210"}};
    for (const Query &q : queries) {
        char buf[32];
        EXPECT_EQ(static_cast<int32_t>(std::strlen(q.value)), q.fn(h->te, buf, sizeof buf)) << q.value;
        EXPECT_STREQ(q.value, buf);
    }
    char a[32], b[32];
    EXPECT_GT(GmcTe_getModelPair(h->te, a, sizeof a, b, sizeof b), 0);
    EXPECT_STREQ("MODEL X GSM", a);
    EXPECT_STREQ("MODEL X", b);
    // a value of blanks only is an empty text
    s.sim().addCanned(CannedReply{"+CGMR", "\r\n   \r\n\r\nOK\r\n"});
    char buf[32];
    EXPECT_EQ(0, GmcTe_getVer(h->te, buf, sizeof buf));
    EXPECT_STREQ("", buf);
    EXPECT_EQ(0, MsMng_disconnect(h));
}

// ---- The open handle ----

int g_hookCalls = 0;
void countHook(void *ctx) {
    ++g_hookCalls;
    *static_cast<int *>(ctx) += 1;
}

TEST(MsMngHandle, LinkTestRunsPreHookAndSeesASilentHandset) {
    SimSession s;
    ConnHandle *h = nullptr;
    ASSERT_EQ(0, connectTo(s.path(), &h, nullptr));

    void *ctx = reinterpret_cast<void *>(1);
    MsMngPreHookFn fn = countHook;
    EXPECT_EQ(0, MsMng_getPreHandle(h, &ctx, &fn));
    EXPECT_EQ(nullptr, ctx);
    EXPECT_EQ(nullptr, fn);

    int mine = 0;
    g_hookCalls = 0;
    ASSERT_EQ(0, MsMng_setPreHandle(h, &mine, countHook));
    EXPECT_EQ(0, MsMng_getPreHandle(h, &ctx, &fn));
    EXPECT_EQ(&mine, ctx);
    EXPECT_EQ(countHook, fn);
    EXPECT_EQ(0, MsMng_getPreHandle(h, nullptr, nullptr));

    EXPECT_EQ(1, MsMng_isConnected(h));
    EXPECT_EQ(1, mine);
    s.sim().setSilent(true);
    EXPECT_EQ(0, MsMng_isConnected(h));
    EXPECT_EQ(2, mine);
    s.sim().setSilent(false);
    EXPECT_EQ(1, MsMng_isConnected(h));
    EXPECT_EQ(3, g_hookCalls);
    EXPECT_EQ(0, MsMng_disconnect(h));
}

TEST(MsMngHandle, StaleHandlesAreRefused) {
    SimSession s;
    ConnHandle *h = nullptr;
    ASSERT_EQ(0, connectTo(s.path(), &h, nullptr));
    ASSERT_EQ(0, MsMng_disconnect(h));
    // The record is gone: every call answers without touching it (ASan would see a read).
    EXPECT_EQ(-81, MsMng_disconnect(h));
    EXPECT_EQ(0, MsMng_isConnected(h));
    EXPECT_EQ(-81, MsMng_setPreHandle(h, nullptr, nullptr));
    EXPECT_EQ(-81, MsMng_getPreHandle(h, nullptr, nullptr));

    EXPECT_EQ(-81, MsMng_disconnect(nullptr));
    EXPECT_EQ(0, MsMng_isConnected(nullptr));
    ConnHandle fake{};
    fake.magic = MS_CONN_MAGIC;
    EXPECT_EQ(-81, MsMng_disconnect(&fake));
}

} // namespace
