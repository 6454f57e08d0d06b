// Storing, sending and deleting through the message object against the simulated handset: the
// "> " prompt in its forms and its failures, the long time-out of a send and its restoration, the
// handset left waiting for PDU text, delete-all over errors and faults, and the service centre.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sms_at.h"
#include "sms_fixture.h"

namespace {

using handsetsim::CannedReply;
using handsetsim::Layout;
using handsetsim::Profile;
using handsetsim::PromptStyle;
using handsetsim::ScaEncoding;
using smsfx::sendRec;
using smsfx::SmsTest;

constexpr int32_t kDefaultRxTimeout = 9000; // the serial transport's own

handsetsim::Tpdu decodeStored(const std::string &hex) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(handsetsim::fromHex(hex, bytes));
    handsetsim::Tpdu t;
    const size_t sca = bytes.empty() ? 0 : bytes[0] + 1u;
    std::string why;
    EXPECT_TRUE(handsetsim::decodeTpdu(bytes.data() + sca, bytes.size() - sca, t, &why)) << why;
    return t;
}

// ---- storing ----

struct PromptRow {
    const char *name;
    std::function<void(Profile &)> edit;
};

void PrintTo(const PromptRow &row, std::ostream *os) { *os << row.name; }

class StoreShape : public SmsTest, public ::testing::WithParamInterface<PromptRow> {};

TEST_P(StoreShape, StoresAndAnswersThePosition) {
    sim().updateProfile(GetParam().edit);
    putSms("SM", 1, 1, handsetsim::encodeDeliverPdu("+111", "taken"));
    enterSmsMode();
    const SmsSendRec msg = sendRec("+8613800138000", "hello");
    ASSERT_EQ(0, stor()->beginWrite(stor(), 0, -1, MS_WRITE_SMS));
    ASSERT_EQ(static_cast<int32_t>(sizeof msg), stor()->writeData(stor(), &msg, sizeof msg));
    int32_t index = -7;
    ASSERT_EQ(0, stor()->commitWrite(stor(), &index));
    EXPECT_EQ(2, index);
    EXPECT_EQ(std::vector<std::string>{"AT+CMGW=20,2"}, newCommands());
    EXPECT_EQ(kDefaultRxTimeout, rxTimeout());

    const auto stored = sim().smsStorage("SM");
    ASSERT_TRUE(stored && stored->messages.count(2));
    EXPECT_EQ(2, stored->messages.at(2).stat);
    const handsetsim::Tpdu t = decodeStored(stored->messages.at(2).pdu);
    EXPECT_EQ(handsetsim::TpduKind::Submit, t.kind);
    EXPECT_EQ("+8613800138000", t.number);
    EXPECT_EQ("hello", t.text);
    // the default service centre ("00"), then SUBMIT, MR 0, the number, PID 0, DCS 0, VP 0xA9
    // (three days) and five packed septets
    EXPECT_EQ("0011000D91683108108300F00000A905E8329BFD06", stored->messages.at(2).pdu);

    // in step: the next operation works
    int32_t t0 = 0, u = 0, f = 0, l = 0;
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t0, &u, &f, &l));
    EXPECT_EQ(2, u);
}

const PromptRow kPromptRows[] = {
    {"CrLfPrompt", [](Profile &) {}},
    {"BarePrompt", [](Profile &p) { p.prompt = PromptStyle::Bare; }},
    {"CompactReply", [](Profile &p) { p.layout = Layout::Compact; }},
    {"BarePromptCompactNoPduEcho",
     [](Profile &p) {
         p.prompt = PromptStyle::Bare;
         p.layout = Layout::Compact;
         p.echoPdu = false;
     }},
};
INSTANTIATE_TEST_SUITE_P(Rows, StoreShape, ::testing::ValuesIn(kPromptRows),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(SmsTest, WriteProtocol) {
    const SmsSendRec msg = sendRec("+111", "x");
    int32_t index = 0;
    EXPECT_EQ(DV_E_UNSUPPORTED, stor()->beginWrite(stor(), 0, -1, MS_WRITE_PB));
    EXPECT_EQ(DV_E_STATE, stor()->writeData(stor(), &msg, sizeof msg));
    EXPECT_EQ(DV_E_STATE, stor()->commitWrite(stor(), &index));
    ASSERT_EQ(0, stor()->beginWrite(stor(), 0, -1, MS_WRITE_SMS));
    EXPECT_EQ(0, stor()->writeData(stor(), &msg, 0));
    uint8_t big[sizeof msg + 1] = {};
    EXPECT_EQ(DV_E_ARG, stor()->writeData(stor(), big, sizeof big)) << "more than one record";
    newCommands();
    // A record written in pieces is the same record.
    ASSERT_EQ(0, stor()->beginWrite(stor(), 0, -1, MS_WRITE_SMS));
    const auto *bytes = reinterpret_cast<const uint8_t *>(&msg);
    ASSERT_EQ(100, stor()->writeData(stor(), bytes, 100));
    ASSERT_EQ(static_cast<int32_t>(sizeof msg) - 100, stor()->writeData(stor(), bytes + 100, sizeof msg - 100));
    ASSERT_EQ(0, stor()->commitWrite(stor(), &index));
    EXPECT_EQ(1, index);
    EXPECT_EQ(DV_E_STATE, stor()->commitWrite(stor(), &index)) << "a commit ends the write";
}

// A shorter record must not pick up the tail of the previous one (its text, its service centre).
TEST_F(SmsTest, ShortWriteDoesNotReuseThePreviousMessage) {
    const SmsSendRec first = sendRec("+111", "first text", "+8613800138000");
    int32_t index = 0;
    ASSERT_EQ(0, stor()->beginWrite(stor(), 0, -1, MS_WRITE_SMS));
    ASSERT_EQ(static_cast<int32_t>(sizeof first), stor()->writeData(stor(), &first, sizeof first));
    ASSERT_EQ(0, stor()->commitWrite(stor(), &index));
    const SmsSendRec second = sendRec("+222", "");
    ASSERT_EQ(0, stor()->beginWrite(stor(), 0, -1, MS_WRITE_SMS));
    ASSERT_EQ(44, stor()->writeData(stor(), &second, 44)); // the number field only
    ASSERT_EQ(0, stor()->commitWrite(stor(), &index));
    const auto stored = sim().smsStorage("SM");
    ASSERT_TRUE(stored && stored->messages.count(index));
    const std::string hex = stored->messages.at(index).pdu;
    EXPECT_EQ("00", hex.substr(0, 2));
    const handsetsim::Tpdu t = decodeStored(hex);
    EXPECT_EQ("+222", t.number);
    EXPECT_EQ("", t.text);
}

// ---- sending ----

TEST_F(SmsTest, SendSendPduAndSendFromStorage) {
    enterSmsMode();
    ASSERT_EQ(0, send("+8613912345678", "to the network"));
    ASSERT_EQ(0, send("10086", "你好", "+8613800138000"));
    EXPECT_EQ((std::vector<std::string>{"AT+CMGS=28", "AT+CMGS=15"}), newCommands());

    SmsPduRec rec{};
    std::strcpy(rec.address, "+4912345");
    std::strcpy(reinterpret_cast<char *>(rec.data), "by record");
    rec.dataLen = 9;
    ASSERT_EQ(0, itf()->sendPdu(itf(), &rec, nullptr));
    ASSERT_EQ(0, itf()->sendPdu(itf(), &rec, ""));

    int32_t index = 0;
    ASSERT_EQ(0, stor()->beginWrite(stor(), 0, -1, MS_WRITE_SMS));
    const SmsSendRec draft = sendRec("+333", "stored then sent");
    ASSERT_EQ(static_cast<int32_t>(sizeof draft), stor()->writeData(stor(), &draft, sizeof draft));
    ASSERT_EQ(0, stor()->commitWrite(stor(), &index));
    ASSERT_EQ(0, itf()->sendFromStor(itf(), index));
    EXPECT_EQ(DV_E_IO, itf()->sendFromStor(itf(), 9)) << "an empty position";

    const auto sent = sim().submitted();
    ASSERT_EQ(5u, sent.size());
    EXPECT_EQ("00", sent[0].smsc);
    EXPECT_EQ("+8613912345678", sent[0].decoded.number);
    EXPECT_EQ("to the network", sent[0].decoded.text);
    EXPECT_EQ("0891683108108300F0", sent[1].smsc);
    EXPECT_EQ("你好", sent[1].decoded.text);
    EXPECT_EQ("+4912345", sent[2].decoded.number);
    EXPECT_EQ("by record", sent[3].decoded.text);
    EXPECT_EQ("00", sent[3].smsc);
    EXPECT_EQ(index, sent[4].fromIndex);
    EXPECT_EQ("stored then sent", sent[4].decoded.text);
    EXPECT_EQ(kDefaultRxTimeout, rxTimeout());
}

TEST_F(SmsTest, MessagesThatCannotBeSentSendNothing) {
    enterSmsMode();
    EXPECT_EQ(0, send("+111", std::string(160, 'a')));
    EXPECT_EQ(DV_E_TOOLONG, send("+111", std::string(161, 'a')));
    EXPECT_EQ(DV_E_TOOLONG, send("+111", "[" + std::string(70, 'a')));
    EXPECT_EQ(DV_E_ARG, send("+111", "x", std::string(31, '1')));
    EXPECT_EQ(DV_E_ARG, itf()->send(itf(), nullptr));
    int32_t index = 0;
    ASSERT_EQ(0, stor()->beginWrite(stor(), 0, -1, MS_WRITE_SMS));
    const SmsSendRec longOne = sendRec("+111", std::string(161, 'b'));
    ASSERT_EQ(static_cast<int32_t>(sizeof longOne), stor()->writeData(stor(), &longOne, sizeof longOne));
    EXPECT_EQ(DV_E_TOOLONG, stor()->commitWrite(stor(), &index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(std::vector<std::string>{"AT+CMGS=150"}, newCommands());
    EXPECT_EQ(1u, sim().submitted().size());
    EXPECT_EQ(kDefaultRxTimeout, rxTimeout());
}

// A network that answers later than the transport's own time-out (shortened here to keep the test
// quick): the send waits for it and the transport's time-out comes back afterwards.
TEST_F(SmsTest, SlowNetworkStillSucceeds) {
    enterSmsMode();
    ASSERT_EQ(0, CnsSock_setOpt(sock(), CNSSOCK_SO_RCVTIMEO, 500));
    sim().setReplyDelay(800); // the prompt and the final result each come after the 500 ms
    ASSERT_EQ(0, send("+111", "slow"));
    EXPECT_EQ(500, rxTimeout());
    EXPECT_EQ(1u, sim().submitted().size());
}

// +CMSS is answered once the network took the message, as late as +CMGS: the transport's own
// time-out (shortened here to keep the test quick) must not cut it off.
TEST_F(SmsTest, SlowSendFromStorageStillSucceeds) {
    enterSmsMode();
    ASSERT_EQ(0, CnsSock_setOpt(sock(), CNSSOCK_SO_RCVTIMEO, 500));
    sim().addCanned(CannedReply{"+CMSS=*", "\r\n+CMSS: 12\r\n\r\nOK\r\n", 1500, 1});
    EXPECT_EQ(0, itf()->sendFromStor(itf(), 3));
    EXPECT_EQ(500, rxTimeout());
    int32_t t = 0, u = 0, f = 0, l = 0;
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l)) << "in step after the late answer";
    EXPECT_EQ(10, t);
}

struct PromptFailRow {
    const char *name;
    const char *reply; // the handset's answer in place of the prompt
    int32_t result;
};

void PrintTo(const PromptFailRow &row, std::ostream *os) { *os << row.name; }

class PromptFailure : public SmsTest, public ::testing::WithParamInterface<PromptFailRow> {};

TEST_P(PromptFailure, ReportedAndInStep) {
    enterSmsMode();
    sim().addCanned(CannedReply{"+CMGS=*", GetParam().reply, -1, 1});
    EXPECT_EQ(GetParam().result, send("+111", "x"));
    EXPECT_EQ(kDefaultRxTimeout, rxTimeout());
    EXPECT_TRUE(sim().submitted().empty());
    int32_t t = 0, u = 0, f = 0, l = 0;
    EXPECT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    EXPECT_EQ(10, t);
}

const PromptFailRow kPromptFailRows[] = {
    {"Error", "\r\nERROR\r\n", DV_E_IO},
    {"CmsError", "\r\n+CMS ERROR: 304\r\n", DV_E_IO},
    {"Ok", "\r\nOK\r\n", DV_E_MALFORMED},
};
INSTANTIATE_TEST_SUITE_P(Rows, PromptFailure, ::testing::ValuesIn(kPromptFailRows),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(SmsTest, NetworkRefusalAfterTheText) {
    enterSmsMode();
    sim().setSendError(500);
    EXPECT_EQ(DV_E_IO, send("+111", "x"));
    EXPECT_EQ(kDefaultRxTimeout, rxTimeout());
    EXPECT_FALSE(sim().state().awaitingPdu);
}

// A prompt that never shows in a form the terminal knows leaves the handset taking PDU text; without
// ESC the next command would be swallowed as part of the message.
TEST_F(SmsTest, TimeOutAtThePromptAbandonsTheMessage) {
    enterSmsMode();
    sms_->at->sendTimeoutMs = 1500;
    handsetsim::Injection noise;
    noise.bytes = "\r\nBUSY";
    noise.frame = false;
    noise.when = handsetsim::When::BeforeReply;
    noise.onCommand = "+CMGS";
    sim().inject(noise);
    EXPECT_EQ(DV_E_TIMEOUT, send("+111", "x"));
    EXPECT_EQ(kDefaultRxTimeout, rxTimeout());
    EXPECT_FALSE(sim().state().awaitingPdu);
    EXPECT_TRUE(sim().submitted().empty());
    int32_t t = 0, u = 0, f = 0, l = 0;
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    EXPECT_EQ(10, t);
    ASSERT_EQ(0, send("+111", "again"));
}

// ---- deleting ----

TEST_F(SmsTest, DeleteAndDeleteAllPassOverRefusedPositions) {
    putSms("SM", 2, 1, handsetsim::encodeDeliverPdu("+111", "a"));
    putSms("SM", 5, 1, handsetsim::encodeDeliverPdu("+111", "b"));
    putSms("SM", 9, 1, handsetsim::encodeDeliverPdu("+111", "c"));
    sim().updateProfile([](Profile &p) { p.cmgdEmptyError = true; });
    enterSmsMode();
    ASSERT_EQ(0, stor()->del(stor(), 0, 9));
    EXPECT_EQ(std::vector<std::string>{"AT+CMGD=9"}, newCommands());
    EXPECT_EQ(DV_E_IO, stor()->del(stor(), 0, 9));
    newCommands();

    // Positions from 0 (refused here) until as many were emptied as were used; then "+CPMS?" says
    // none are left and the walk ends before the storage's end.
    ASSERT_EQ(0, stor()->delAll(stor()));
    const std::vector<std::string> want = {"AT+CPMS?",  "AT+CMGD=0", "AT+CMGD=1", "AT+CMGD=2",
                                           "AT+CMGD=3", "AT+CMGD=4", "AT+CMGD=5", "AT+CPMS?"};
    EXPECT_EQ(want, newCommands());
    EXPECT_TRUE(sim().smsStorage("SM")->messages.empty());
}

TEST_F(SmsTest, DeleteAllStopsOnALinkFault) {
    putSms("SM", 4, 1, handsetsim::encodeDeliverPdu("+111", "a"));
    enterSmsMode();
    sim().addCanned(CannedReply{"+CMGD=3", "", -1, 1}); // no answer at all
    ASSERT_EQ(0, CnsSock_setOpt(sock(), CNSSOCK_SO_RCVTIMEO, 500));
    EXPECT_EQ(DV_E_TIMEOUT, stor()->delAll(stor()));
    const auto cmds = sim().commands();
    EXPECT_EQ("AT+CMGD=3", cmds.back()) << "nothing after the fault";
}

// ---- service centre ----

TEST_F(SmsTest, SetServiceCentre) {
    enterSmsMode();
    ASSERT_EQ(0, itf()->setSca(itf(), "+8613800138000"));
    ASSERT_EQ(0, itf()->setSca(itf(), "13800138000"));
    EXPECT_EQ((std::vector<std::string>{"AT+CSCA=\"+8613800138000\",145", "AT+CSCA=\"13800138000\",129"}),
              newCommands());
    EXPECT_EQ("13800138000", sim().state().serviceCentre.number);
    EXPECT_EQ(129, sim().state().serviceCentre.type);
    // refused before anything is sent: too long, or able to break out of the quoted argument
    for (const std::string &bad : {std::string(33, '1'), std::string("+86\""), std::string("+86\r\nAT+CMGD=1"),
                                  std::string("+86\\22"), std::string("+86\x1b")})
        EXPECT_EQ(DV_E_ARG, itf()->setSca(itf(), bad.c_str())) << bad;
    EXPECT_EQ(DV_E_ARG, itf()->setSca(itf(), nullptr));
    EXPECT_TRUE(newCommands().empty());
}

struct ScaRow {
    const char *name;
    std::function<void(Profile &)> edit;
    const char *want;
};

void PrintTo(const ScaRow &row, std::ostream *os) { *os << row.name; }

class ScaShown : public SmsTest, public ::testing::WithParamInterface<ScaRow> {};

TEST_P(ScaShown, ReadAsText) {
    sim().updateProfile(GetParam().edit);
    char buf[64];
    ASSERT_EQ(0, itf()->getSca(itf(), buf, sizeof buf));
    EXPECT_STREQ(GetParam().want, buf);
}

const ScaRow kScaRows[] = {
    {"Text", [](Profile &) {}, "+8613800138000"},
    {"TextNoQuotes", [](Profile &p) { p.scaQuotes = false; }, "+8613800138000"},
    // type 145 shown without its "+": the "+" is put back
    {"TextNoPlus", [](Profile &p) { p.scaPlus = false; }, "+8613800138000"},
    {"Ucs2", [](Profile &p) { p.scaEncoding = ScaEncoding::Ucs2; }, "+8613800138000"},
    {"Ucs2NoQuotesNoPlus",
     [](Profile &p) {
         p.scaEncoding = ScaEncoding::Ucs2;
         p.scaQuotes = false;
         p.scaPlus = false;
     },
     "+8613800138000"},
    {"Hex", [](Profile &p) { p.scaEncoding = ScaEncoding::Hex; }, "+8613800138000"},
    {"HexNoPlusNoQuotes",
     [](Profile &p) {
         p.scaEncoding = ScaEncoding::Hex;
         p.scaPlus = false;
         p.scaQuotes = false;
     },
     "+8613800138000"},
};
INSTANTIATE_TEST_SUITE_P(Rows, ScaShown, ::testing::ValuesIn(kScaRows),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(SmsTest, ServiceCentreRepliesThatDoNotParse) {
    enterSmsMode();
    char buf[8];
    reply("+CSCA?", "\r\n+CSCA: \"+8613800138000\",145\r\n\r\nOK\r\n");
    ASSERT_EQ(0, itf()->getSca(itf(), buf, sizeof buf));
    EXPECT_STREQ("+861380", buf) << "cut to the buffer";
    char whole[64];
    reply("+CSCA?", std::string("\r\n+CSCA: \"+8613800138000\0\0\",145\r\n\r\nOK\r\n", 39));
    ASSERT_EQ(0, itf()->getSca(itf(), whole, sizeof whole));
    EXPECT_STREQ("+8613800138000", whole) << "zero bytes in the quotes are padding";
    reply("+CSCA?", "\r\n+CSCA: \"+86138,145\r\n\r\nOK\r\n");
    EXPECT_EQ(DV_E_MALFORMED, itf()->getSca(itf(), buf, sizeof buf));
    reply("+CSCA?", "\r\n+CSCA: ,145\r\n\r\nOK\r\n");
    EXPECT_EQ(DV_E_MALFORMED, itf()->getSca(itf(), buf, sizeof buf));
    reply("+CSCA?", "\r\nOK\r\n");
    EXPECT_EQ(DV_E_MALFORMED, itf()->getSca(itf(), buf, sizeof buf));
    EXPECT_EQ(DV_E_ARG, itf()->getSca(itf(), nullptr, 8));
    ASSERT_EQ(0, itf()->getSca(itf(), buf, sizeof buf));
}

// ---- the reply to a store and service-centre texts, line by line ----

TEST(SmsAtParse, StoredIndexOnlyAfterCmgw) {
    struct Row {
        const char *line;
        int32_t want;
    } rows[] = {
        {"+CMGW: 5", 5}, {"+CMGW:12", 12}, {"  +cmgw: 7", 7}, {"+CMGW: 3,\"x\"", 3},
        {"OK", -1},      {"+CMGW:", -1},   {"+CMGS: 3", -1},  {"+CMGW: x", -1}, {"", -1},
    };
    for (const Row &r : rows)
        EXPECT_EQ(r.want, SmsAt_storedIndex(r.line)) << '"' << r.line << '"';
    EXPECT_EQ(-1, SmsAt_storedIndex(nullptr));
}

TEST(SmsAtParse, ServiceCentreText) {
    struct Row {
        const char *value, *want;
    } rows[] = {
        {"+8613800138000", "+8613800138000"},
        {"002B0038003600310033", "+8613"},
        {"002b00380036", "+86"},
        {"2B3836313338", "+86138"},
        {"38363133", "8613"},
        {"0038003", "0038003"},     // not whole units
        {"00410042", "00410042"},   // UCS2, but not a number: kept as shown
        {"", ""},
    };
    for (const Row &r : rows) {
        char out[32];
        SmsAt_scaText(r.value, out, sizeof out);
        EXPECT_STREQ(r.want, out) << r.value;
    }
    char small[4];
    SmsAt_scaText("+8613800138000", small, sizeof small);
    EXPECT_STREQ("+86", small);
}

// ---- the object ----

TEST_F(SmsTest, ObjectLifeCycle) {
    EXPECT_EQ(nullptr, OthSms_new(nullptr, nullptr, nullptr));
    alignas(OthSms) unsigned char buf[sizeof(OthSms)];
    std::memset(buf, 0xA5, sizeof buf);
    OthSms *inBuf = OthSms_new(buf, nullptr, te());
    ASSERT_EQ(reinterpret_cast<OthSms *>(buf), inBuf);
    EXPECT_EQ(OTH_SMS_MAGIC, inBuf->head.magic);
    EXPECT_EQ(0, inBuf->head.owned);
    EXPECT_EQ(-1, inBuf->head.entry);
    EXPECT_EQ(inBuf, inBuf->itf.stor.self);
    SmsItf *dead = &inBuf->itf;
    EXPECT_EQ(0, OthSms_delete(inBuf));
    EXPECT_EQ(0u, inBuf->head.magic);
    EXPECT_EQ(DV_E_ARG, OthSms_delete(inBuf));
    EXPECT_EQ(DV_E_ARG, OthSms_delete(nullptr));
    int32_t v = 0;
    uint8_t data[8];
    EXPECT_EQ(DV_E_ARG, dead->stor.getStor(&dead->stor, &v)) << "a deleted object drives nothing";
    EXPECT_EQ(DV_E_ARG, dead->stor.readData(&dead->stor, data, sizeof data));
    EXPECT_EQ(DV_E_ARG, dead->stor.writeData(&dead->stor, data, sizeof data));
    EXPECT_TRUE(newCommands().empty());

    // A full registry: nothing is created and nothing stays registered.
    ItfMng *full = ItfMng_new(1);
    int dummy = 0;
    ASSERT_EQ(0, ItfMng_reg(full, &dummy, nullptr, nullptr));
    EXPECT_EQ(nullptr, OthSms_new(nullptr, full, te()));
    ASSERT_EQ(0, ItfMng_unreg(full, 0));
    OthSms *reg = OthSms_new(nullptr, full, te());
    ASSERT_NE(nullptr, reg);
    EXPECT_EQ(0, reg->head.entry);
    EXPECT_EQ(1, reg->head.owned);
    EXPECT_EQ(0, OthSms_delete(reg));
    EXPECT_EQ(0, ItfMng_reg(full, &dummy, nullptr, nullptr)) << "the slot was given back";
    ItfMng_delete(full);
}

} // namespace
