// The simulated handset's short messages over a real pty (store, list, read, delete, the prompt,
// send, storages, service centre, listing quirks), and its own PDU parser on known and hostile
// TPDUs.

#include "handset_sim.h"
#include "sim/sim_client.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using handsetsim::CpmsTestShape;
using handsetsim::HandsetSim;
using handsetsim::Profile;
using handsetsim::PromptStyle;
using handsetsim::ScaEncoding;
using handsetsim::SmsMessage;
using handsetsim::Tpdu;
using handsetsim::TpduKind;
using simtest::Client;

namespace {

// SUBMIT to +86130108000, 7-bit "hello", relative validity; 19 octets after "00".
const std::string kSubmitHello = "0011000B916831108000F00000A705E8329BFD06";
// A widely published DELIVER: from +31641600986, "How are you?", service centre +31624000000.
const std::string kDeliverHowAreYou =
    "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

class SimSms : public ::testing::Test {
  protected:
    void SetUp() override {
        client_ = std::make_unique<Client>(sim_.start());
        ASSERT_EQ(at("E0"), "ATE0\r\r\nOK\r\n");
    }
    std::string at(const std::string &cmd) { return client_->at(cmd); }
    // +CMGW/+CMGS: the prompt, then the PDU and Ctrl-Z; returns the reply after the PDU.
    std::string withPrompt(const std::string &cmd, const std::string &pdu) {
        EXPECT_EQ(at(cmd), "\r\n> ");
        client_->send(pdu + "\x1A");
        return client_->readReply();
    }

    HandsetSim sim_;
    std::unique_ptr<Client> client_;
};

TEST_F(SimSms, StoreListReadDelete) {
    EXPECT_EQ(at("+CSMS=0"), "\r\n+CSMS: 1,1,1\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CMGF=0"), "\r\nOK\r\n");
    EXPECT_EQ(withPrompt("+CMGW=19,2", kSubmitHello), "\r\n+CMGW: 1\r\n\r\nOK\r\n");
    sim_.putSms("SM", SmsMessage{3, 0, kDeliverHowAreYou});
    EXPECT_EQ(at("+CPMS?"), "\r\n+CPMS: \"SM\",2,20,\"SM\",2,20,\"SM\",2,20\r\n\r\nOK\r\n");
    // The listed length counts the TPDU, not the service-centre field.
    EXPECT_EQ(at("+CMGL=4"), "\r\n+CMGL: 1,2,,19\r\n" + kSubmitHello + "\r\n+CMGL: 3,0,,30\r\n" +
                                 kDeliverHowAreYou + "\r\n\r\nOK\r\n");
    // Listing turned the unread message into a read one.
    EXPECT_EQ(at("+CMGL=0"), "\r\nOK\r\n");
    EXPECT_EQ(at("+CMGR=3"), "\r\n+CMGR: 1,,30\r\n" + kDeliverHowAreYou + "\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CMGR=2"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(at("+CMGR=21"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(at("+CMGD=1"), "\r\nOK\r\n");
    EXPECT_EQ(at("+CMGD=1"), "\r\nOK\r\n"); // an empty position deletes quietly
    EXPECT_EQ(at("+CMGD=?"), "\r\n+CMGD: (3),(0-4)\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CMGD=0,4"), "\r\nOK\r\n");
    EXPECT_TRUE(sim_.smsStorage("SM")->messages.empty());
}

TEST_F(SimSms, UnreadBecomesReadOnCmgr) {
    sim_.putSms("SM", SmsMessage{1, 0, kDeliverHowAreYou});
    EXPECT_EQ(at("+CMGR=1"), "\r\n+CMGR: 0,,30\r\n" + kDeliverHowAreYou + "\r\n\r\nOK\r\n");
    EXPECT_EQ(sim_.smsStorage("SM")->messages.at(1).stat, 1);
}

struct PromptRow {
    const char *name;
    PromptStyle style;
    const char *command;
    std::vector<std::string> chunks; // written one after another after the prompt
    const char *reply;
    size_t stored; // messages in SM afterwards
};
void PrintTo(const PromptRow &row, std::ostream *os) {
    *os << row.name;
}

const PromptRow kPrompt[] = {
    {"ctrl_z_stores",
     PromptStyle::CrLf,
     "+CMGW=19",
     {kSubmitHello + "\x1A"},
     "\r\n+CMGW: 1\r\n\r\nOK\r\n",
     1},
    {"bare_prompt", PromptStyle::Bare, "+CMGW=19", {kSubmitHello + "\x1A"}, "\r\n+CMGW: 1\r\n\r\nOK\r\n", 1},
    {"lower_case_in_pieces",
     PromptStyle::CrLf,
     "+CMGW=19",
     {"0011000b91", "6831108000f00000a705", "e8329bfd06", "\x1A"},
     "\r\n+CMGW: 1\r\n\r\nOK\r\n",
     1},
    {"escape_cancels", PromptStyle::CrLf, "+CMGW=19", {kSubmitHello.substr(0, 10), "\x1B"}, "\r\nOK\r\n", 0},
    {"length_too_small",
     PromptStyle::CrLf,
     "+CMGW=18",
     {kSubmitHello + "\x1A"},
     "\r\n+CMS ERROR: 304\r\n",
     0},
    {"length_counting_sc_field",
     PromptStyle::CrLf,
     "+CMGW=20",
     {kSubmitHello + "\x1A"},
     "\r\n+CMS ERROR: 304\r\n",
     0},
    {"not_hex",
     PromptStyle::CrLf,
     "+CMGW=19",
     {"00110G0B916831108000F00000A705E8329BFD06\x1A"},
     "\r\n+CMS ERROR: 304\r\n",
     0},
    {"odd_digit_count",
     PromptStyle::CrLf,
     "+CMGW=19",
     {kSubmitHello + "0\x1A"},
     "\r\n+CMS ERROR: 304\r\n",
     0},
    // UDL 6 septets needs 6 octets, the PDU has 5.
    {"udl_does_not_match",
     PromptStyle::CrLf,
     "+CMGW=19",
     {"0011000B916831108000F00000A706E8329BFD06\x1A"},
     "\r\n+CMS ERROR: 304\r\n",
     0},
    {"deliver_sent_is_refused",
     PromptStyle::CrLf,
     "+CMGS=30",
     {kDeliverHowAreYou + "\x1A"},
     "\r\n+CMS ERROR: 304\r\n",
     0},
};

class SimSmsPrompt : public SimSms, public ::testing::WithParamInterface<PromptRow> {};

TEST_P(SimSmsPrompt, Answers) {
    const auto &row = GetParam();
    sim_.updateProfile([&](Profile &p) { p.prompt = row.style; });
    client_->send("AT" + std::string(row.command) + "\r");
    EXPECT_EQ(client_->readReply(), row.style == PromptStyle::CrLf ? "\r\n> " : "> ");
    for (const auto &chunk : row.chunks)
        client_->send(chunk);
    EXPECT_EQ(client_->readReply(), row.reply) << sim_.transcriptText();
    EXPECT_EQ(sim_.smsStorage("SM")->messages.size(), row.stored);
    EXPECT_FALSE(sim_.state().awaitingPdu);
    // Back in command mode.
    EXPECT_EQ(at(""), "\r\nOK\r\n");
}

INSTANTIATE_TEST_SUITE_P(Rows, SimSmsPrompt, ::testing::ValuesIn(kPrompt),
                         [](const auto &p) { return p.param.name; });

TEST_F(SimSms, PduIsEchoedWhenEchoIsOn) {
    ASSERT_EQ(at("E1"), "\r\nOK\r\n");
    client_->send("AT+CMGS=19\r");
    EXPECT_EQ(client_->readReply(), "AT+CMGS=19\r\r\n> ");
    client_->send(kSubmitHello + "\x1A");
    EXPECT_EQ(client_->readReply(), kSubmitHello + "\r\n+CMGS: 0\r\n\r\nOK\r\n");
}

TEST_F(SimSms, SendRecordsSubmittedMessages) {
    const std::string ucs2 = handsetsim::encodeSubmitPdu("+8613912345678", "Gr\xC3\xBC\xC3\x9F \xE4\xB8\xAD");
    EXPECT_EQ(withPrompt("+CMGS=19", kSubmitHello), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
    EXPECT_EQ(withPrompt("+CMGS=" + std::to_string(ucs2.size() / 2 - 1), ucs2), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    // With an explicit service centre in front of the TPDU.
    const std::string withSc = "07916831080000F0" + kSubmitHello.substr(2);
    EXPECT_EQ(withPrompt("+CMGS=19", withSc), "\r\n+CMGS: 2\r\n\r\nOK\r\n");
    const auto sent = sim_.submitted();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].smsc, "00");
    EXPECT_EQ(sent[0].tpdu, kSubmitHello.substr(2));
    EXPECT_EQ(sent[0].decoded.number, "+86130108000");
    EXPECT_EQ(sent[0].decoded.text, "hello");
    EXPECT_EQ(sent[1].decoded.number, "+8613912345678");
    EXPECT_EQ(sent[1].decoded.text, "Gr\xC3\xBC\xC3\x9F \xE4\xB8\xAD");
    EXPECT_EQ(sent[1].decoded.alphabet, Tpdu::Ucs2);
    EXPECT_EQ(sent[2].smsc, "07916831080000F0");
    EXPECT_EQ(sent[2].messageRef, 2);
    EXPECT_TRUE(sim_.smsStorage("SM")->messages.empty());

    sim_.setSendError(331);
    EXPECT_EQ(withPrompt("+CMGS=19", kSubmitHello), "\r\n+CMS ERROR: 331\r\n");
    EXPECT_EQ(sim_.submitted().size(), 3u);

    // Only the second send from now on fails; the first and third go out.
    sim_.setSendError(0);
    sim_.setSendErrorAt(2, 42);
    EXPECT_EQ(withPrompt("+CMGS=19", kSubmitHello), "\r\n+CMGS: 3\r\n\r\nOK\r\n");
    EXPECT_EQ(withPrompt("+CMGS=19", kSubmitHello), "\r\n+CMS ERROR: 42\r\n");
    EXPECT_EQ(withPrompt("+CMGS=19", kSubmitHello), "\r\n+CMGS: 4\r\n\r\nOK\r\n");
    EXPECT_EQ(sim_.submitted().size(), 5u);
}

TEST_F(SimSms, SeparateStoragesAndSendFromStorage) {
    EXPECT_EQ(at("+CPMS=?"), "\r\n+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CPMS=\"SM\",\"ME\""), "\r\n+CPMS: 0,20,0,100,0,20\r\n\r\nOK\r\n");
    EXPECT_EQ(withPrompt("+CMGW=19", kSubmitHello), "\r\n+CMGW: 1\r\n\r\nOK\r\n");
    EXPECT_TRUE(sim_.smsStorage("SM")->messages.empty());
    EXPECT_EQ(sim_.smsStorage("ME")->messages.at(1).stat, 2);
    // Lists and reads come from <mem1>, sends from storage from <mem2>.
    EXPECT_EQ(at("+CMGL=4"), "\r\nOK\r\n");
    EXPECT_EQ(at("+CMSS=1"), "\r\n+CMSS: 0\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CMSS=1,\"+4930123\",145"), "\r\n+CMSS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CMSS=2"), "\r\n+CMS ERROR: 321\r\n");
    const auto sent = sim_.submitted();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].fromIndex, 1);
    EXPECT_EQ(sent[0].decoded.number, "+86130108000");
    EXPECT_EQ(sent[1].decoded.number, "+4930123");
    EXPECT_EQ(sent[1].decoded.text, "hello");
    EXPECT_EQ(sim_.smsStorage("ME")->messages.at(1).stat, 3);
    EXPECT_EQ(at("+CPMS=\"XX\""), "\r\n+CMS ERROR: 302\r\n");
}

TEST_F(SimSms, ListingFailsAndTextMode) {
    sim_.putSms("SM", SmsMessage{2, 1, kDeliverHowAreYou});
    sim_.updateProfile([](Profile &p) { p.cmglFails = true; });
    EXPECT_EQ(at("+CMGL=4"), "\r\n+CMS ERROR: 303\r\n");
    EXPECT_EQ(at("+CMGR=2"), "\r\n+CMGR: 1,,30\r\n" + kDeliverHowAreYou + "\r\n\r\nOK\r\n");
    sim_.updateProfile([](Profile &p) { p.cmglFails = false; });
    EXPECT_EQ(at("+CMGF=1"), "\r\nOK\r\n");
    EXPECT_EQ(at("+CMGL=4"), "\r\nERROR\r\n");
    EXPECT_EQ(at("+CMGF?"), "\r\n+CMGF: 1\r\n\r\nOK\r\n");
}

struct ListQuirkRow {
    const char *name;
    void (*edit)(Profile &);
    const char *command;
    std::string reply;
};
void PrintTo(const ListQuirkRow &row, std::ostream *os) {
    *os << row.name;
}

const ListQuirkRow kListQuirks[] = {
    {"length_mismatch", [](Profile &p) { p.listLengthDelta = 2; }, "+CMGL=4",
     "\r\n+CMGL: 1,1,,32\r\n" + kDeliverHowAreYou + "\r\n\r\nOK\r\n"},
    {"no_alpha_field", [](Profile &p) { p.cmglNoAlpha = true; }, "+CMGL=4",
     "\r\n+CMGL: 1,1,30\r\n" + kDeliverHowAreYou + "\r\n\r\nOK\r\n"},
    {"cmgr_without_stat", [](Profile &p) { p.cmgrNoStat = true; }, "+CMGR=1",
     "\r\n+CMGR: ,,30\r\n" + kDeliverHowAreYou + "\r\n\r\nOK\r\n"},
    {"blank_before_pdu", [](Profile &p) { p.pduSameLine = true; }, "+CMGL=4",
     "\r\n+CMGL: 1,1,,30 " + kDeliverHowAreYou + "\r\n\r\nOK\r\n"},
    {"stray_quote", [](Profile &p) { p.pduTrailingQuote = true; }, "+CMGR=1",
     "\r\n+CMGR: 1,,30\r\n" + kDeliverHowAreYou + "\"\r\n\r\nOK\r\n"},
    {"empty_cmgr_ok", [](Profile &p) { p.cmgrEmptyOk = true; }, "+CMGR=2", "\r\nOK\r\n"},
    {"empty_cmgd_error", [](Profile &p) { p.cmgdEmptyError = true; }, "+CMGD=2", "\r\n+CMS ERROR: 321\r\n"},
    {"cpms_nested", [](Profile &p) { p.cpmsTest = CpmsTestShape::Nested; }, "+CPMS=?",
     "\r\n+CPMS: ((\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\"))\r\n\r\nOK\r\n"},
    {"cpms_no_paren_extra",
     [](Profile &p) {
         p.cpmsTest = CpmsTestShape::NoParen;
         p.cpmsExtra = {"SM_P"};
     },
     "+CPMS=?", "\r\n+CPMS: \"SM\",\"ME\",\"SM_P\"\r\n\r\nOK\r\n"},
    {"cpms_empty", [](Profile &p) { p.cpmsTest = CpmsTestShape::Empty; }, "+CPMS=?",
     "\r\n+CPMS: (),(),()\r\n\r\nOK\r\n"},
    {"sca_ucs2_without_plus",
     [](Profile &p) {
         p.scaEncoding = ScaEncoding::Ucs2;
         p.scaPlus = false;
     },
     "+CSCA?", "\r\n+CSCA: \"0038003600310033003800300030003100330038003000300030\",145\r\n\r\nOK\r\n"},
    {"sca_hex_unquoted",
     [](Profile &p) {
         p.scaEncoding = ScaEncoding::Hex;
         p.scaQuotes = false;
     },
     "+CSCA?", "\r\n+CSCA: 2B38363133383030313338303030,145\r\n\r\nOK\r\n"},
};

class SimSmsListQuirk : public SimSms, public ::testing::WithParamInterface<ListQuirkRow> {};

TEST_P(SimSmsListQuirk, Answers) {
    sim_.putSms("SM", SmsMessage{1, 1, kDeliverHowAreYou});
    sim_.updateProfile(GetParam().edit);
    EXPECT_EQ(at(GetParam().command), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(Rows, SimSmsListQuirk, ::testing::ValuesIn(kListQuirks),
                         [](const auto &p) { return p.param.name; });

TEST_F(SimSms, ServiceCentre) {
    EXPECT_EQ(at("+CSCA?"), "\r\n+CSCA: \"+8613800138000\",145\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CSCA=\"0123456\",129"), "\r\nOK\r\n");
    EXPECT_EQ(at("+CSCA?"), "\r\n+CSCA: \"0123456\",129\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CSCA=\"+4917\""), "\r\nOK\r\n");
    EXPECT_EQ(at("+CSCA?"), "\r\n+CSCA: \"+4917\",145\r\n\r\nOK\r\n");
    // With the centre following the character set, a UCS2 handset wants it in UCS2 too.
    sim_.updateProfile([](Profile &p) { p.scaEncoding = ScaEncoding::Charset; });
    EXPECT_EQ(at("+CSCS=\"UCS2\";+CSCA=\"002B0031\""), "\r\nOK\r\n");
    EXPECT_EQ(at("+CSCA?"), "\r\n+CSCA: \"002B0031\",145\r\n\r\nOK\r\n");
    EXPECT_EQ(sim_.state().serviceCentre.number, "+1");
    // No centre at all: a send with the default centre cannot go.
    EXPECT_EQ(at("+CSCS=\"GSM\";+CSCA=\"\""), "\r\nOK\r\n");
    EXPECT_EQ(withPrompt("+CMGS=19", kSubmitHello), "\r\n+CMS ERROR: 330\r\n");
}

// ---- the simulator's own PDU parser

struct DecodeRow {
    const char *name;
    const char *tpdu;
    bool ok;
    TpduKind kind;
    const char *number;
    const char *text;
};
void PrintTo(const DecodeRow &row, std::ostream *os) {
    *os << row.name;
}

const DecodeRow kDecode[] = {
    {"submit_published", "11000B916407281553F80000AA0AE8329BFD4697D9EC37", true, TpduKind::Submit,
     "+46708251358", "hellohello"},
    {"deliver_published", "040B911346610089F60000208062917314080CC8F71D14969741F977FD07", true,
     TpduKind::Deliver, "+31641600986", "How are you?"},
    {"deliver_alphanumeric_sender", "0404D0C83400005030714103002302C834", true, TpduKind::Deliver, "Hi",
     "Hi"},
    {"status_report",
     "06050B916407281553F85030714103002350307141040023"
     "00",
     true, TpduKind::StatusReport, "+46708251358", ""},
    // A header of 7 octets (UDHL 6) needs no fill bits; the text starts on septet 8.
    {"deliver_with_header",
     "440B911346610089F6000050307141030023"
     "09"
     "0608040001020141",
     true, TpduKind::Deliver, "+31641600986", "A"},
    {"empty_buffer", "", false, TpduKind::Deliver, "", ""},
    {"truncated_address", "11000B91640728", false, TpduKind::Submit, "", ""},
    {"address_over_20_digits", "1100FF916407281553F80000AA0AE8329BFD4697D9EC37", false, TpduKind::Submit, "",
     ""},
    {"udl_needs_more", "11000B916407281553F80000AA0CE8329BFD4697D9EC37", false, TpduKind::Submit, "", ""},
    {"trailing_octets", "11000B916407281553F80000AA0AE8329BFD4697D9EC3700", false, TpduKind::Submit, "", ""},
    {"udl_over_160", "11000B916407281553F80000AAA1E8329BFD4697D9EC37", false, TpduKind::Submit, "", ""},
    {"header_past_user_data", "51000B916407281553F80008AA03050003", false, TpduKind::Submit, "", ""},
    {"odd_ucs2", "11000B916407281553F80008AA03004100", false, TpduKind::Submit, "", ""},
    {"reserved_type", "03000B916407281553F80000AA00", false, TpduKind::Submit, "", ""},
    {"filler_inside_address", "11000B916407F81553F80000AA00", false, TpduKind::Submit, "", ""},
};

class SimPduDecode : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(SimPduDecode, ResultOrError) {
    const auto &row = GetParam();
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(handsetsim::fromHex(row.tpdu, bytes));
    Tpdu t;
    std::string error;
    const bool ok = handsetsim::decodeTpdu(bytes.data(), bytes.size(), t, &error);
    ASSERT_EQ(ok, row.ok) << error;
    EXPECT_EQ(ok, error.empty()); // an error always says why
    if (!ok)
        return;
    EXPECT_EQ(t.kind, row.kind);
    EXPECT_EQ(t.number, row.number);
    EXPECT_EQ(t.text, row.text);
}

INSTANTIATE_TEST_SUITE_P(Rows, SimPduDecode, ::testing::ValuesIn(kDecode),
                         [](const auto &p) { return p.param.name; });

TEST(SimPduDecode, EveryTruncationIsAnErrorNotACrash) {
    std::vector<uint8_t> whole;
    ASSERT_TRUE(handsetsim::fromHex("440B911346610089F6000050307141030023090608040001020141", whole));
    for (size_t n = 0; n < whole.size(); ++n) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(n));
        Tpdu t;
        EXPECT_FALSE(handsetsim::decodeTpdu(cut.data(), cut.size(), t)) << n;
    }
}

TEST(SimPduEncode, RoundTripAndLimits) {
    const std::string text = "Gr\xC3\xBC\xC3\x9F [x] \xE2\x82\xAC";
    for (const std::string &pdu :
         {handsetsim::encodeDeliverPdu("+8613912345678", text, "24/02/29,08:15:00-16", "+8613800138000"),
          handsetsim::encodeSubmitPdu("10086", text, 7)}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(handsetsim::fromHex(pdu, bytes));
        const size_t sc = bytes[0] + 1u;
        Tpdu t;
        std::string error;
        ASSERT_TRUE(handsetsim::decodeTpdu(bytes.data() + sc, bytes.size() - sc, t, &error)) << error;
        EXPECT_EQ(t.text, text);
        EXPECT_EQ(t.alphabet, Tpdu::Gsm7); // all of it is in the default alphabet or its extension
        if (t.kind == TpduKind::Deliver) {
            EXPECT_EQ(t.timestamp, "24/02/29,08:15:00-16");
            EXPECT_EQ(t.number, "+8613912345678");
        } else {
            EXPECT_EQ(t.messageRef, 7);
            EXPECT_EQ(t.number, "10086");
        }
    }
    EXPECT_NO_THROW(handsetsim::encodeSubmitPdu("1", std::string(160, 'a')));
    EXPECT_THROW(handsetsim::encodeSubmitPdu("1", std::string(161, 'a')), std::invalid_argument);
    std::string cjk70;
    for (int i = 0; i < 70; ++i)
        cjk70 += "\xE4\xB8\xAD";
    EXPECT_NO_THROW(handsetsim::encodeSubmitPdu("1", cjk70));
    EXPECT_THROW(handsetsim::encodeSubmitPdu("1", cjk70 + "\xE4\xB8\xAD"), std::invalid_argument);
}

} // namespace
