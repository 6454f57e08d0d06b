// The phone-information object (InfoItf) and the GmcTe queries against the simulated handset:
// each reply shape the handset may give, the malformed ones, and the object's life in a registry.

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "driver/sim_fixture.h"
#include "dv_util.h"
#include "gmc_te.h"
#include "ms_mng.h"
#include "oth_info.h"

namespace {

using handsetsim::CannedReply;
using handsetsim::GmmMode;

// An information object over the fixture's terminal, without a registry.
class InfoTest : public simfx::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        info_ = OthInfo_new(nullptr, nullptr, te());
        ASSERT_NE(nullptr, info_);
    }
    void TearDown() override {
        EXPECT_EQ(0, OthInfo_delete(info_));
        SimFixture::TearDown();
    }
    InfoItf *itf() { return &info_->itf; }
    // The handset's next answer to cmd (the bytes after the echo).
    void reply(const char *cmd, const std::string &bytes) { sim().addCanned(CannedReply{cmd, bytes, -1, 1}); }

    OthInfo *info_ = nullptr;
};

TEST_F(InfoTest, IdentityTexts) {
    char buf[64];
    EXPECT_EQ(9, itf()->getMan(itf(), buf, sizeof buf));
    EXPECT_STREQ("SIMULATED", buf);
    EXPECT_EQ(8, itf()->getVer(itf(), buf, sizeof buf));
    EXPECT_STREQ("R1A 1.00", buf);
    EXPECT_EQ(-95, itf()->getFirmVer(itf(), buf, sizeof buf));
    EXPECT_EQ(15, itf()->getImei(itf(), buf, sizeof buf));
    EXPECT_STREQ("350000000000006", buf);
    EXPECT_EQ(15, itf()->getImsi(itf(), buf, sizeof buf));
    EXPECT_STREQ("460001234567890", buf);
    EXPECT_EQ(3, itf()->getNetName(itf(), buf, sizeof buf));
    EXPECT_STREQ("GSM", buf);
    EXPECT_EQ(2, itf()->getNetName(itf(), buf, 3));
    EXPECT_STREQ("GS", buf);
    // a value longer than the buffer is cut and terminated
    EXPECT_EQ(5, itf()->getImei(itf(), buf, 6));
    EXPECT_STREQ("35000", buf);
}

// The worker compares the IMEI on every idle step: a handset swapped on the same cable shows.
TEST_F(InfoTest, ImeiChangesMidSession) {
    char buf[32];
    ASSERT_EQ(15, itf()->getImei(itf(), buf, sizeof buf));
    sim().setImei("351111111111118");
    ASSERT_EQ(15, itf()->getImei(itf(), buf, sizeof buf));
    EXPECT_STREQ("351111111111118", buf);
}

TEST_F(InfoTest, NetworkCodeIsTheImsiPrefix) {
    char buf[16];
    EXPECT_EQ(5, itf()->getNetCode(itf(), buf, sizeof buf));
    EXPECT_STREQ("46000", buf);
    EXPECT_EQ(2, itf()->getNetCode(itf(), buf, 3));
    EXPECT_STREQ("46", buf);
    reply("+CIMI", "\r\n4600\r\n\r\nOK\r\n");
    EXPECT_EQ(-92, itf()->getNetCode(itf(), buf, sizeof buf));
    EXPECT_STREQ("", buf);
    EXPECT_EQ(-81, itf()->getNetCode(itf(), nullptr, 0));
}

TEST_F(InfoTest, ModelPairThroughTheInterface) {
    handsetsim::Identity id = sim().identity();
    id.gmmMode = GmmMode::Own;
    id.gmm = "GM-A";
    id.model = "CGM-B";
    sim().setIdentity(id);
    char a[32], b[32];
    EXPECT_EQ(5, itf()->getModel(itf(), a, sizeof a, b, sizeof b));
    EXPECT_STREQ("GM-A", a);
    EXPECT_STREQ("CGM-B", b);
    // no buffer: "+CGMM" alone
    sim().clearCommands();
    EXPECT_EQ(5, itf()->getModel(itf(), nullptr, 0, nullptr, 0));
    ASSERT_EQ(1u, sim().commands().size());
    EXPECT_EQ("AT+CGMM", sim().commands()[0]);
    // only the second buffer: it is the first given one and takes "+GMM"
    EXPECT_EQ(4, itf()->getModel(itf(), nullptr, 0, b, sizeof b));
    EXPECT_STREQ("GM-A", b);

    id.gmmMode = GmmMode::Error;
    sim().setIdentity(id);
    std::strcpy(b, "old");
    EXPECT_EQ(5, itf()->getModel(itf(), a, sizeof a, b, sizeof b));
    EXPECT_STREQ("CGM-B", a);
    EXPECT_STREQ("", b);
}

TEST_F(InfoTest, OwnNumber) {
    handsetsim::Identity id = sim().identity();
    id.ownNumbers = {{"Me", "+8613912345678", 145}};
    sim().setIdentity(id);
    char buf[32];
    EXPECT_EQ(14, itf()->getNum(itf(), buf, sizeof buf));
    EXPECT_STREQ("+8613912345678", buf);
    EXPECT_EQ(0, itf()->getNum(itf(), nullptr, 0));
    EXPECT_EQ(4, itf()->getNum(itf(), buf, 5));
    EXPECT_STREQ("+861", buf);
    // some handsets leave the alpha field empty
    reply("+CNUM", "\r\n+CNUM: ,\"12345\",129\r\n\r\nOK\r\n");
    EXPECT_EQ(5, itf()->getNum(itf(), buf, sizeof buf));
    EXPECT_STREQ("12345", buf);
}

// Battery and signal: the handset's fields and what the interface answers.
struct StatusCase {
    const char *name;
    int bcs, bcl, rssi, ber;
    int32_t battery, signal;
};
void PrintTo(const StatusCase &c, std::ostream *os) { *os << c.name; }

class StatusValues : public InfoTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusValues, BatteryAndSignal) {
    const StatusCase &c = GetParam();
    handsetsim::Status st = sim().status();
    st.batteryStatus = c.bcs;
    st.batteryLevel = c.bcl;
    st.rssi = c.rssi;
    st.ber = c.ber;
    sim().setStatus(st);
    int32_t battery = -5, signal = -5;
    ASSERT_EQ(0, itf()->getBattery(itf(), &battery));
    EXPECT_EQ(c.battery, battery);
    ASSERT_EQ(0, itf()->getSignal(itf(), &signal));
    EXPECT_EQ(c.signal, signal);
}

INSTANTIATE_TEST_SUITE_P(Fields, StatusValues,
                         ::testing::Values(StatusCase{"Full", 0, 75, 31, 99, 75, 100},
                                           StatusCase{"Half", 1, 50, 15, 0, 50, 48},
                                           StatusCase{"Unknown", 0, 0, 99, 99, 0, -1},
                                           StatusCase{"None", 2, 100, 0, 7, 100, 0},
                                           StatusCase{"OutOfRange", 0, 10, 32, 0, 10, -1}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(InfoTest, ClockReadAndWrittenBack) {
    PhoneTime t;
    std::memset(&t, 0x5a, sizeof t);
    ASSERT_EQ(0, itf()->getClock(itf(), &t));
    EXPECT_EQ(5, t.year);
    EXPECT_EQ(3, t.month);
    EXPECT_EQ(17, t.day);
    EXPECT_EQ(14, t.hour);
    EXPECT_EQ(30, t.minute);
    EXPECT_EQ(0, t.second);
    EXPECT_EQ(32, t.zone);

    sim().clearCommands();
    ASSERT_EQ(0, itf()->setClock(itf(), &t));
    ASSERT_EQ(1u, sim().commands().size());
    EXPECT_EQ("AT+CCLK=\"05/03/17,14:30:00+32\"", sim().commands()[0]);

    PhoneTime west{99, 12, 31, 23, 59, 58, -8};
    ASSERT_EQ(0, itf()->setClock(itf(), &west));
    EXPECT_EQ("AT+CCLK=\"99/12/31,23:59:58-08\"", sim().commands()[1]);
    PhoneTime back{};
    ASSERT_EQ(0, itf()->getClock(itf(), &back));
    EXPECT_EQ(0, std::memcmp(&west, &back, sizeof west));

    EXPECT_EQ(-81, itf()->getClock(itf(), nullptr));
    EXPECT_EQ(-81, itf()->setClock(itf(), nullptr));
}

TEST_F(InfoTest, ClockWithoutZone) {
    reply("+CCLK?", "\r\n+CCLK: \"05/03/17,14:30:00\"\r\n\r\nOK\r\n");
    PhoneTime t;
    ASSERT_EQ(0, itf()->getClock(itf(), &t));
    PhoneTime want{5, 3, 17, 14, 30, 0, 0};
    EXPECT_EQ(0, std::memcmp(&want, &t, sizeof t));
}

// Replies the interface must refuse; the link stays in step for the next command.
struct BadReply {
    const char *name;
    const char *cmd;   // canned command
    const char *bytes; // the reply after the echo
    int32_t rc;
};
void PrintTo(const BadReply &c, std::ostream *os) { *os << c.name; }

class BadReplies : public InfoTest, public ::testing::WithParamInterface<BadReply> {};

TEST_P(BadReplies, AreRefused) {
    const BadReply &c = GetParam();
    reply(c.cmd, c.bytes);
    int32_t value = 1234;
    PhoneTime t;
    std::memset(&t, 0x5a, sizeof t);
    char buf[32] = "old";
    int32_t rc = 0;
    const std::string cmd = c.cmd;
    if (cmd == "+CSQ")
        rc = itf()->getSignal(itf(), &value);
    else if (cmd == "+CBC")
        rc = itf()->getBattery(itf(), &value);
    else if (cmd == "+CCLK?")
        rc = itf()->getClock(itf(), &t);
    else
        rc = itf()->getNum(itf(), buf, sizeof buf);
    EXPECT_EQ(c.rc, rc);
    EXPECT_EQ(1234, value);
    if (cmd == "+CCLK?") {
        PhoneTime zero{};
        EXPECT_EQ(0, std::memcmp(&zero, &t, sizeof t));
    }
    char imei[32];
    EXPECT_EQ(15, itf()->getImei(itf(), imei, sizeof imei));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, BadReplies,
    ::testing::Values(
        BadReply{"CsqNoField", "+CSQ", "\r\n+CSQ: \r\n\r\nOK\r\n", -92},
        BadReply{"CsqEmptyFirst", "+CSQ", "\r\n+CSQ: ,99\r\n\r\nOK\r\n", -92},
        BadReply{"CsqWord", "+CSQ", "\r\n+CSQ: high,0\r\n\r\nOK\r\n", -92},
        BadReply{"CsqCmeError", "+CSQ", "\r\n+CME ERROR: 10\r\n", -9},
        BadReply{"CbcOneField", "+CBC", "\r\n+CBC: 75\r\n\r\nOK\r\n", -92},
        BadReply{"CbcWord", "+CBC", "\r\n+CBC: 0,full\r\n\r\nOK\r\n", -92},
        BadReply{"CbcOver100Percent", "+CBC", "\r\n+CBC: 0,852\r\n\r\nOK\r\n", -92},
        BadReply{"CbcNoData", "+CBC", "\r\nOK\r\n", -9},
        BadReply{"ClockUnquoted", "+CCLK?", "\r\n+CCLK: 05/03/17,14:30:00+32\r\n\r\nOK\r\n", -92},
        BadReply{"ClockUnterminated", "+CCLK?", "\r\n+CCLK: \"05/03/17,14:30:00+32\r\n\r\nOK\r\n", -92},
        BadReply{"ClockDateOnly", "+CCLK?", "\r\n+CCLK: \"05/03/17\"\r\n\r\nOK\r\n", -92},
        BadReply{"ClockNoSeconds", "+CCLK?", "\r\n+CCLK: \"05/03/17,14:30\"\r\n\r\nOK\r\n", -92},
        BadReply{"ClockSignWithoutZone", "+CCLK?", "\r\n+CCLK: \"05/03/17,14:30:00+\"\r\n\r\nOK\r\n", -92},
        BadReply{"ClockTrailing", "+CCLK?", "\r\n+CCLK: \"05/03/17,14:30:00+32x\"\r\n\r\nOK\r\n", -92},
        BadReply{"ClockLongField", "+CCLK?", "\r\n+CCLK: \"05/03/17,14:30:123456+32\"\r\n\r\nOK\r\n", -92},
        BadReply{"CnumOneField", "+CNUM", "\r\n+CNUM: \"12345\"\r\n\r\nOK\r\n", -92},
        BadReply{"CnumNone", "+CNUM", "\r\nOK\r\n", -9}),
    [](const auto &row) { return std::string(row.param.name); });

// ---- The object's life ----

int g_enters = 0, g_leaves = 0;
int32_t countEnter(void *) { return ++g_enters, 0; }
int32_t countLeave(void *) { return ++g_leaves, 0; }

TEST_F(InfoTest, CurrentInRegistryWithoutModeCommands) {
    ItfMng *mng = ItfMng_new(4);
    ASSERT_NE(nullptr, mng);
    int other = 0;
    int32_t otherEntry = ItfMng_reg(mng, &other, countEnter, countLeave);
    OthInfo *info = OthInfo_new(nullptr, mng, te());
    ASSERT_NE(nullptr, info);
    g_enters = g_leaves = 0;
    ASSERT_EQ(0, ItfMng_exec(mng, otherEntry));
    EXPECT_EQ(1, g_enters);

    sim().clearCommands();
    char buf[32];
    ASSERT_EQ(15, info->itf.getImei(&info->itf, buf, sizeof buf));
    EXPECT_EQ(1, g_leaves);
    EXPECT_EQ(info->head.entry, ItfMng_current(mng));
    ASSERT_EQ(1u, sim().commands().size()); // becoming current sent nothing
    // the other object switches the handset back on its next use
    ASSERT_EQ(0, ItfMng_exec(mng, otherEntry));
    EXPECT_EQ(2, g_enters);

    ASSERT_EQ(15, info->itf.getImei(&info->itf, buf, sizeof buf));
    EXPECT_EQ(0, OthInfo_delete(info));
    EXPECT_EQ(-1, ItfMng_current(mng)); // unregistered
    ItfMng_delete(mng);
}

TEST_F(InfoTest, FullRegistryMakesNothing) {
    ItfMng *mng = ItfMng_new(1);
    int other = 0;
    ASSERT_EQ(0, ItfMng_reg(mng, &other, nullptr, nullptr));
    EXPECT_EQ(nullptr, OthInfo_new(nullptr, mng, te()));
    EXPECT_EQ(nullptr, OthInfo_new(nullptr, nullptr, nullptr));
    ItfMng_delete(mng);
}

TEST_F(InfoTest, CallerBufferAndRepeatedDelete) {
    alignas(OthInfo) unsigned char store[sizeof(OthInfo)];
    OthInfo *info = OthInfo_new(store, nullptr, te());
    ASSERT_EQ(static_cast<void *>(store), static_cast<void *>(info));
    EXPECT_EQ(OTH_INFO_MAGIC, info->head.magic);
    EXPECT_EQ(0, info->head.owned);
    EXPECT_EQ(-1, info->head.entry);
    EXPECT_EQ(info, info->itf.self);
    char buf[32];
    EXPECT_EQ(9, info->itf.getMan(&info->itf, buf, sizeof buf));
    ASSERT_EQ(0, OthInfo_delete(info));
    EXPECT_EQ(0u, info->head.magic);
    // a slot reached through the deleted object drives nothing
    EXPECT_EQ(-81, info->itf.getMan(&info->itf, buf, sizeof buf));
    EXPECT_EQ(-81, OthInfo_delete(info));
    EXPECT_EQ(-81, OthInfo_delete(nullptr));

    // an allocated one: the second delete must not read the freed record
    OthInfo *owned = OthInfo_new(nullptr, nullptr, te());
    ASSERT_NE(nullptr, owned);
    EXPECT_EQ(1, owned->head.owned);
    ASSERT_EQ(0, OthInfo_delete(owned));
    EXPECT_EQ(-81, OthInfo_delete(owned));
}

// ---- GmcTe ----

using GmcTeTest = simfx::SimFixture;

TEST_F(GmcTeTest, CharacterSets) {
    char buf[64];
    EXPECT_EQ(3, GmcTe_getCs(te(), buf, sizeof buf));
    EXPECT_STREQ("GSM", buf);
    EXPECT_EQ(0, GmcTe_setCs(te(), "UCS2"));
    EXPECT_EQ(4, GmcTe_getCs(te(), buf, sizeof buf));
    EXPECT_STREQ("UCS2", buf);
    EXPECT_EQ(-9, GmcTe_setCs(te(), "KOI8-R"));

    int32_t n = GmcTe_testCs(te(), buf, sizeof buf);
    EXPECT_EQ(static_cast<int32_t>(std::strlen(buf)), n);
    EXPECT_NE(nullptr, std::strstr(buf, "\"UCS2\""));
    EXPECT_EQ(7, GmcTe_testCs(te(), buf, 8)); // cut to the caller's buffer
    EXPECT_EQ(7u, std::strlen(buf));
}

TEST_F(GmcTeTest, SetCsRefusesNamesThatAreNotOne) {
    sim().clearCommands();
    EXPECT_EQ(-81, GmcTe_setCs(te(), "ABCDEFGHIJKLMNOPQRSTUVWXY")); // 25 characters
    // a quote or CR would end the command and run the rest as another one
    EXPECT_EQ(-81, GmcTe_setCs(te(), "GSM\";+CPBW=1"));
    EXPECT_EQ(-81, GmcTe_setCs(te(), "GSM\r+CPBW=1"));
    EXPECT_EQ(-81, GmcTe_setCs(te(), nullptr));
    EXPECT_EQ(-81, GmcTe_setCs(nullptr, "GSM"));
    EXPECT_TRUE(sim().commands().empty());
    EXPECT_EQ(-9, GmcTe_setCs(te(), "ABCDEFGHIJKLMNOPQRSTUVWX")); // 24: sent, refused by the handset
    EXPECT_EQ(1u, sim().commands().size());
}

TEST_F(GmcTeTest, IdentityQueriesAndSelfTest) {
    char buf[64];
    EXPECT_EQ(7, GmcTe_getModel(te(), buf, sizeof buf));
    EXPECT_STREQ("HS-1000", buf);
    EXPECT_EQ(-81, GmcTe_getMan(te(), nullptr, 10));
    EXPECT_EQ(-81, GmcTe_getMan(nullptr, buf, sizeof buf));
    EXPECT_EQ(0, GmcTe_test(te()));
    // the self-test leaves the handset in GSM
    EXPECT_EQ("GSM", sim().state().charset);
}

} // namespace
