// The message object's PDU-mode switch, storages and listings against the simulated handset: the
// +CMGL reader under every reply shape real handsets use, entries that must be skipped, the +CMGR
// walk when the handset refuses the listing, and the next command staying in step after each.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sms_fixture.h"

namespace {

using handsetsim::Layout;
using handsetsim::Profile;
using smsfx::Listing;
using smsfx::SmsTest;

// ---- the PDU-mode switch ----

TEST_F(SmsTest, PduModeIsSetOnceAndAgainAfterThePhoneBookWasUsed) {
    int32_t t = 0, u = 0, f = 0, l = 0;
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    auto cmds = newCommands();
    EXPECT_EQ(1, count(cmds, "AT+CSMS=0"));
    EXPECT_EQ(1, count(cmds, "AT+CMGF=0"));
    EXPECT_EQ(2, count(cmds, "AT+CPMS?"));
    EXPECT_EQ(0, sim().state().cmgf);

    // A phone-book operation switches the character set; the next message operation switches back.
    PbItf *pb = &pb_->itf;
    int32_t pbStor = 0;
    ASSERT_EQ(0, pb->stor.getStor(&pb->stor, &pbStor));
    sim().clearCommands();
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    cmds = newCommands();
    ASSERT_GE(cmds.size(), 3u);
    EXPECT_EQ("AT+CSMS=0", cmds[0]);
    EXPECT_EQ("AT+CMGF=0", cmds[1]);
    EXPECT_EQ("AT+CPMS?", cmds[2]);
}

// The registry forgets the current object after a failed switch, so the next operation retries it
// rather than running in whatever mode the handset was left in.
TEST_F(SmsTest, FailedSwitchIsRetriedOnTheNextOperation) {
    reply("+CMGF=0", "\r\n+CMS ERROR: 302\r\n");
    int32_t t = 0, u = 0, f = 0, l = 0;
    EXPECT_EQ(DV_E_IO, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    EXPECT_EQ(0, count(newCommands(), "AT+CPMS?")) << "the operation must not run in the wrong mode";
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    auto cmds = newCommands();
    EXPECT_EQ(1, count(cmds, "AT+CSMS=0"));
    EXPECT_EQ(1, count(cmds, "AT+CMGF=0"));
    EXPECT_EQ(10, t);
}

TEST_F(SmsTest, WithoutRegistryNothingSwitches) {
    OthSms *bare = OthSms_new(nullptr, nullptr, te());
    ASSERT_NE(nullptr, bare);
    int32_t t = 0, u = 0, f = 0, l = 0;
    EXPECT_EQ(0, bare->itf.stor.getStat(&bare->itf.stor, 0, &t, &u, &f, &l));
    EXPECT_EQ(std::vector<std::string>{"AT+CPMS?"}, newCommands());
    EXPECT_EQ(0, OthSms_delete(bare));
}

// ---- storages ----

TEST_F(SmsTest, StorageSelectionAndCounts) {
    putSms("ME", 3, 1, handsetsim::encodeDeliverPdu("+8613912345678", "x"));
    enterSmsMode();
    EXPECT_EQ(0, stor()->setStor(stor(), 0));
    EXPECT_EQ(DV_E_ARG, stor()->setStor(stor(), 3));
    EXPECT_TRUE(newCommands().empty()) << "code 0 keeps the storage, a bad code sends nothing";

    ASSERT_EQ(0, stor()->setStor(stor(), 2));
    EXPECT_EQ(std::vector<std::string>{"AT+CPMS=\"ME\",\"ME\""}, newCommands());
    EXPECT_EQ(1, sms_->at->used);
    EXPECT_EQ(10, sms_->at->total);
    int32_t code = 0;
    ASSERT_EQ(0, stor()->getStor(stor(), &code));
    EXPECT_EQ(2, code);
    int32_t t = 0, u = 0, f = 0, l = 0;
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    EXPECT_EQ(10, t);
    EXPECT_EQ(1, u);
    EXPECT_EQ(1, f);
    EXPECT_EQ(10, l);
    ASSERT_EQ(0, stor()->getCaps(stor(), &code));
    EXPECT_EQ(MS_CAPS_SMS, code);
}

struct CpmsRow {
    const char *name;
    const char *reply; // to "+CPMS?"
    int32_t result, stor, used, total, last;
};

void PrintTo(const CpmsRow &row, std::ostream *os) { *os << row.name; }

class CpmsReply : public SmsTest, public ::testing::WithParamInterface<CpmsRow> {};

TEST_P(CpmsReply, ParsedOrRefused) {
    const CpmsRow &row = GetParam();
    enterSmsMode();
    reply("+CPMS?", row.reply);
    int32_t t = -7, u = -7, f = -7, l = -7;
    ASSERT_EQ(row.result, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    if (row.result == 0) {
        EXPECT_EQ(row.total, t);
        EXPECT_EQ(row.used, u);
        EXPECT_EQ(row.last, l);
        reply("+CPMS?", row.reply);
        int32_t code = -7;
        ASSERT_EQ(0, stor()->getStor(stor(), &code));
        EXPECT_EQ(row.stor, code);
    } else {
        EXPECT_EQ(-7, t) << "a failed status leaves the outputs alone";
    }
    // in step afterwards
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    EXPECT_EQ(10, t);
}

const CpmsRow kCpmsRows[] = {
    {"Standard", "\r\n+CPMS: \"ME\",4,100,\"ME\",4,100,\"SM\",0,20\r\n\r\nOK\r\n", 0, 2, 4, 100, 100},
    {"Compact", "\r\n+CPMS: \"SM\",4,100\r\nOK\r\n", 0, 1, 4, 100, 100},
    {"Unquoted", "\r\n+CPMS: SM,1,20\r\n\r\nOK\r\n", 0, 1, 1, 20, 20},
    {"NoPositions", "\r\n+CPMS: \"SM\",0,0\r\n\r\nOK\r\n", 0, 1, 0, 0, -1},
    {"ExtraStorage", "\r\n+CPMS: \"SM_P\",2,30\r\n\r\nOK\r\n", 0, 0, 2, 30, 30},
    {"MissingUsed", "\r\n+CPMS: \"SM\",,20\r\n\r\nOK\r\n", DV_E_MALFORMED, 0, 0, 0, 0},
    {"NoCounts", "\r\n+CPMS: \"SM\"\r\n\r\nOK\r\n", DV_E_MALFORMED, 0, 0, 0, 0},
    {"BareOk", "\r\nOK\r\n", DV_E_MALFORMED, 0, 0, 0, 0},
    {"Error", "\r\n+CMS ERROR: 302\r\n", DV_E_IO, 0, 0, 0, 0},
};
INSTANTIATE_TEST_SUITE_P(Rows, CpmsReply, ::testing::ValuesIn(kCpmsRows),
                         [](const auto &row) { return std::string(row.param.name); });

// Some handsets select the storage and answer a bare OK without counts.
TEST_F(SmsTest, StorageSelectedWithoutCounts) {
    enterSmsMode();
    reply("+CPMS=\"SM\",\"SM\"", "\r\nOK\r\n");
    EXPECT_EQ(0, stor()->setStor(stor(), 1));
    reply("+CPMS=\"SM\",\"SM\"", "\r\n+CPMS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(DV_E_MALFORMED, stor()->setStor(stor(), 1));
    reply("+CPMS=\"ME\",\"ME\"", "\r\n+CMS ERROR: 302\r\n");
    EXPECT_EQ(DV_E_IO, stor()->setStor(stor(), 2));
}

// ---- listings ----

const std::string kDeliver7 = handsetsim::encodeDeliverPdu("+8613912345678", "Hello there", "05/03/17,14:30:00+32");
const std::string kDeliverUcs2 = handsetsim::encodeDeliverPdu("10086", "你好, world", "24/12/31,23:59:58-08");
const std::string kSubmit = handsetsim::encodeSubmitPdu("+4912345", "stored draft", 0, "+8613800138000");

// A walk whose headers carry no status: received messages count as read, submits as sent.
constexpr int kUnknownStatus = -2;

void expectThree(const Listing &got, bool statusFromListing, int walkStatus) {
    ASSERT_EQ(0, got.end);
    ASSERT_EQ(3u, got.entries.size());
    const SmsRecord &a = got.entries[0].rec;
    EXPECT_EQ(1, got.entries[0].index);
    EXPECT_EQ(SMS_KIND_RECEIVED, a.kind);
    EXPECT_EQ(SMS_STATE_TEXT, a.state);
    EXPECT_STREQ("+8613912345678", a.number);
    EXPECT_STREQ("Hello there", a.text);
    EXPECT_EQ(5, a.time.year);
    EXPECT_EQ(3, a.time.month);
    EXPECT_EQ(17, a.time.day);
    EXPECT_EQ(14, a.time.hour);
    EXPECT_EQ(8, a.time.zone);
    const SmsRecord &b = got.entries[1].rec;
    EXPECT_EQ(4, got.entries[1].index);
    EXPECT_EQ(SMS_KIND_RECEIVED, b.kind);
    EXPECT_STREQ("10086", b.number);
    EXPECT_STREQ("你好, world", b.text);
    EXPECT_EQ(-2, b.time.zone);
    const SmsRecord &c = got.entries[2].rec;
    EXPECT_EQ(9, got.entries[2].index);
    EXPECT_EQ(SMS_KIND_SUBMITTED, c.kind);
    EXPECT_STREQ("+4912345", c.number);
    EXPECT_STREQ("stored draft", c.text);
    if (statusFromListing) {
        EXPECT_EQ(0, a.listStatus);
        EXPECT_EQ(1, b.listStatus);
        EXPECT_EQ(2, c.listStatus);
    } else if (walkStatus == kUnknownStatus) {
        EXPECT_EQ(1, a.listStatus);
        EXPECT_EQ(1, b.listStatus);
        EXPECT_EQ(3, c.listStatus);
    } else {
        EXPECT_EQ(walkStatus < 0 ? 1 : walkStatus, a.listStatus) << "read by the listing before";
        EXPECT_EQ(walkStatus < 0 ? 2 : walkStatus, c.listStatus);
    }
}

struct ShapeRow {
    const char *name;
    std::function<void(Profile &)> edit;
    int walkStatus; // what the +CMGR walk reports as status (-1: the messages' own)
};

void PrintTo(const ShapeRow &row, std::ostream *os) { *os << row.name; }

class ListingShape : public SmsTest, public ::testing::WithParamInterface<ShapeRow> {};

// The same three messages read through +CMGL and then through the +CMGR walk, under each reply
// shape seen from real handsets.
TEST_P(ListingShape, ReadsDeliverUcs2AndStoredSubmit) {
    putSms("SM", 1, 0, kDeliver7);
    putSms("SM", 4, 1, kDeliverUcs2);
    putSms("SM", 9, 2, kSubmit);
    sim().updateProfile(GetParam().edit);
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    newCommands();

    expectThree(smsfx::listAll(stor()), true, -1);
    EXPECT_EQ(std::vector<std::string>{"AT+CMGL=4"}, newCommands());

    sim().updateProfile([](Profile &p) { p.cmglFails = true; });
    expectThree(smsfx::listAll(stor()), false, GetParam().walkStatus);
    auto cmds = newCommands();
    EXPECT_EQ(1, count(cmds, "AT+CMGR=9"));
    EXPECT_EQ(0, count(cmds, "AT+CMGR=10")) << "the walk stops once the used count was found";

    int32_t t = 0, u = 0, f = 0, l = 0;
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    EXPECT_EQ(3, u);
}

const ShapeRow kShapes[] = {
    {"Standard", [](Profile &) {}, -1},
    {"Compact", [](Profile &p) { p.layout = Layout::Compact; }, -1},
    {"LengthTooLong", [](Profile &p) { p.listLengthDelta = 5; }, -1},
    {"LengthTooShort", [](Profile &p) { p.listLengthDelta = -3; }, -1},
    {"NoAlphaField", [](Profile &p) { p.cmglNoAlpha = true; }, -1},
    // "+CMGR: ,,<len>": no status, so read (received) and sent (stored submit), never the length
    {"NoStatusInCmgr", [](Profile &p) { p.cmgrNoStat = true; }, kUnknownStatus},
    {"PduOnHeaderLine", [](Profile &p) { p.pduSameLine = true; }, -1},
    {"TrailingQuote", [](Profile &p) { p.pduTrailingQuote = true; }, -1},
    {"CompactSameLineQuoted",
     [](Profile &p) {
         p.layout = Layout::Compact;
         p.pduSameLine = true;
         p.pduTrailingQuote = true;
         p.cmglNoAlpha = true;
     },
     -1},
};
INSTANTIATE_TEST_SUITE_P(Rows, ListingShape, ::testing::ValuesIn(kShapes),
                         [](const auto &row) { return std::string(row.param.name); });

// A pair whose hex is shorter than its service-centre field, a TPDU that does not decode and a
// header without its PDU are each skipped; the listing goes on and the reply is read to its end.
TEST_F(SmsTest, BadEntriesAreSkippedAndTheNextCommandStaysInStep) {
    const std::string good = handsetsim::encodeDeliverPdu("+8613912345678", "first");
    putSms("SM", 1, 1, good);
    putSms("SM", 2, 1, "0791683108");       // the SCA field announces 7 octets, 4 follow
    putSms("SM", 3, 1, "00040C91");         // DELIVER cut inside its address
    putSms("SM", 5, 1, handsetsim::encodeDeliverPdu("+8613912345678", "last"));
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    for (Layout layout : {Layout::Blank, Layout::Compact}) {
        sim().updateProfile([layout](Profile &p) { p.layout = layout; });
        const Listing got = smsfx::listAll(stor());
        EXPECT_EQ(0, got.end);
        ASSERT_EQ(2u, got.entries.size());
        EXPECT_EQ(1, got.entries[0].index);
        EXPECT_STREQ("first", got.entries[0].rec.text);
        EXPECT_EQ(5, got.entries[1].index);
        EXPECT_STREQ("last", got.entries[1].rec.text);
        int32_t t = 0, u = 0, f = 0, l = 0;
        ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
        EXPECT_EQ(4, u);
    }
    // Only bad entries: the listing is empty, not an error.
    sim().setSmsStorage({"SM", 10, {}});
    putSms("SM", 2, 1, "0791683108");
    const Listing none = smsfx::listAll(stor());
    EXPECT_EQ(0, none.end);
    EXPECT_TRUE(none.entries.empty());
}

TEST_F(SmsTest, HeaderWithoutPduIsFollowedByTheNextHeader) {
    enterSmsMode();
    const std::string pdu = handsetsim::encodeDeliverPdu("+8613912345678", "kept");
    reply("+CMGL=4", "\r\n+CMGL: 1,1,,20\r\n+CMGL: 2,1,,20\r\n" + pdu + "\r\n\r\nOK\r\n");
    const Listing got = smsfx::listAll(stor());
    EXPECT_EQ(0, got.end);
    ASSERT_EQ(1u, got.entries.size());
    EXPECT_EQ(2, got.entries[0].index);
    EXPECT_STREQ("kept", got.entries[0].rec.text);
}

// Lines no handset should send: over-long PDUs (cut by the terminal), huge numbers, no hex at all,
// hex with an odd digit, a same-line PDU behind a quoted alpha with blanks.
TEST_F(SmsTest, HostileListingLinesAreSurvived) {
    enterSmsMode();
    const std::string good = handsetsim::encodeDeliverPdu("+8613912345678", "survivor");
    std::string bytes = "\r\n+CMGL: 1,1,,200\r\n" + std::string(1000, 'F') + "\r\n";
    bytes += "+CMGL: 99999999999999999999,77777777777777\r\n" + good + "\r\n";
    bytes += "+CMGL: 3,1,,20\r\nNOT HEX AT ALL\r\n";
    bytes += "+CMGL: 4,1,,20\r\n" + good + "A\r\n";
    bytes += "+CMGL: 5,1,\"a b\",20 " + good + "\r\n";
    // zeros decode as an empty DELIVER: garbage, but well-formed garbage
    bytes += "+CMGL: " + std::string(600, ',') + "\r\n" + std::string(600, '0') + "\r\n";
    bytes += "\r\nOK\r\n";
    reply("+CMGL=4", bytes);
    const Listing got = smsfx::listAll(stor());
    EXPECT_EQ(0, got.end);
    ASSERT_EQ(4u, got.entries.size());
    EXPECT_EQ(999999999, got.entries[0].index) << "capped, not overflowed";
    EXPECT_EQ(4, got.entries[1].index);
    EXPECT_EQ(5, got.entries[2].index);
    for (int i = 0; i < 3; ++i)
        EXPECT_STREQ("survivor", got.entries[i].rec.text);
    EXPECT_EQ(-1, got.entries[3].index);
    EXPECT_STREQ("", got.entries[3].rec.number);
    int32_t t = 0, u = 0, f = 0, l = 0;
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    EXPECT_EQ(10, t);
}

// A listing left after its first entry is read to its final result before the next command,
// also when the rest of it is still on its way (a handset that pauses between bytes).
TEST_F(SmsTest, CommandAfterAnUnfinishedListingStaysInStep) {
    for (int i = 1; i <= 3; ++i)
        putSms("SM", i, 1, handsetsim::encodeDeliverPdu("+1", "m" + std::to_string(i)));
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    sim().setBytewise(true, 8);
    int32_t index = -1;
    ASSERT_EQ(1, stor()->readNext(stor(), 0, &index, 1));
    EXPECT_EQ(1, index);
    int32_t t = 0, u = 0, f = 0, l = 0;
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    EXPECT_EQ(3, u);
    EXPECT_EQ(10, t);
    EXPECT_EQ(0, stor()->readNext(stor(), 0, &index, 0)) << "the listing ended with the other command";
    sim().setBytewise(false);
    EXPECT_EQ(3u, smsfx::listAll(stor()).entries.size());
}

// A listing left unfinished while the phone book was used: the next message operation must not
// wait for a final result that the phone book's commands have long taken.
TEST_F(SmsTest, ListingLeftForThePhoneBookIsForgotten) {
    for (int i = 1; i <= 3; ++i)
        putSms("SM", i, 1, handsetsim::encodeDeliverPdu("+1", "m" + std::to_string(i)));
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    int32_t index = -1;
    ASSERT_EQ(1, stor()->readNext(stor(), 0, &index, 1));
    PbItf *pb = &pb_->itf;
    int32_t pbStor = 0;
    ASSERT_EQ(0, pb->stor.getStor(&pb->stor, &pbStor));
    ASSERT_EQ(0, CnsSock_setOpt(sock(), CNSSOCK_SO_RCVTIMEO, 2000));
    int32_t t = 0, u = 0, f = 0, l = 0;
    ASSERT_EQ(0, stor()->getStat(stor(), 0, &t, &u, &f, &l));
    EXPECT_EQ(3, u);
}

TEST_F(SmsTest, ListingEndsWithErrorAfterEntries) {
    enterSmsMode();
    const std::string pdu = handsetsim::encodeDeliverPdu("+8613912345678", "one");
    reply("+CMGL=4", "\r\n+CMGL: 1,1,,20\r\n" + pdu + "\r\n\r\n+CMS ERROR: 500\r\n");
    const Listing got = smsfx::listAll(stor());
    EXPECT_EQ(1u, got.entries.size());
    EXPECT_EQ(DV_E_IO, got.end);
    EXPECT_EQ(0, count(newCommands(), "AT+CPMS?")) << "no walk after entries were handed out";
}

// ---- the +CMGR walk ----

struct EmptyRow {
    const char *name;
    std::function<void(handsetsim::HandsetSim &)> setup; // how the handset answers an empty position
};

void PrintTo(const EmptyRow &row, std::ostream *os) { *os << row.name; }

class WalkEmpty : public SmsTest, public ::testing::WithParamInterface<EmptyRow> {};

void once(handsetsim::HandsetSim &sim, const char *cmd, const char *bytes) {
    sim.addCanned(handsetsim::CannedReply{cmd, bytes, -1, 1});
}

TEST_P(WalkEmpty, SkipsEmptyPositionsAndStopsAtTheUsedCount) {
    putSms("SM", 2, 1, handsetsim::encodeDeliverPdu("+111", "two"));
    putSms("SM", 5, 1, handsetsim::encodeDeliverPdu("+111", "five"));
    putSms("SM", 7, 3, handsetsim::encodeSubmitPdu("+222", "seven"));
    sim().updateProfile([](Profile &p) { p.cmglFails = true; });
    GetParam().setup(sim());
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    newCommands();

    const Listing got = smsfx::listAll(stor());
    EXPECT_EQ(0, got.end);
    ASSERT_EQ(3u, got.entries.size());
    EXPECT_EQ(2, got.entries[0].index);
    EXPECT_EQ(5, got.entries[1].index);
    EXPECT_EQ(7, got.entries[2].index);
    EXPECT_STREQ("seven", got.entries[2].rec.text);
    EXPECT_EQ(3, got.entries[2].rec.listStatus);
    // Position 0 first: handsets that number from there would lose that message.
    const std::vector<std::string> want = {"AT+CMGL=4", "AT+CPMS?",  "AT+CMGR=0", "AT+CMGR=1",
                                           "AT+CMGR=2", "AT+CMGR=3", "AT+CMGR=4", "AT+CMGR=5",
                                           "AT+CMGR=6", "AT+CMGR=7"};
    EXPECT_EQ(want, newCommands());
}

const EmptyRow kEmptyRows[] = {
    {"CmsError321", [](handsetsim::HandsetSim &) {}},
    {"BareOk", [](handsetsim::HandsetSim &s) { s.updateProfile([](Profile &p) { p.cmgrEmptyOk = true; }); }},
    {"PlainError",
     [](handsetsim::HandsetSim &s) {
         for (const char *c : {"+CMGR=1", "+CMGR=3", "+CMGR=4", "+CMGR=6"})
             once(s, c, "\r\nERROR\r\n");
     }},
    {"Mixed",
     [](handsetsim::HandsetSim &s) {
         s.updateProfile([](Profile &p) { p.cmgrEmptyOk = true; });
         once(s, "+CMGR=3", "\r\nERROR\r\n");
         once(s, "+CMGR=4", "\r\n+CMS ERROR: 321\r\n");
     }},
};
INSTANTIATE_TEST_SUITE_P(Rows, WalkEmpty, ::testing::ValuesIn(kEmptyRows),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(SmsTest, WalkWithNothingUsedSendsNoRead) {
    sim().updateProfile([](Profile &p) { p.cmglFails = true; });
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    newCommands();
    const Listing got = smsfx::listAll(stor());
    EXPECT_EQ(0, got.end);
    EXPECT_TRUE(got.entries.empty());
    EXPECT_EQ((std::vector<std::string>{"AT+CMGL=4", "AT+CPMS?"}), newCommands());
}

// A position whose read fails after its PDU line (ERROR) is passed; an undecodable one too; the
// walk then reads on to the end of the storage because fewer than `used` were found.
TEST_F(SmsTest, WalkPassesFailedAndUndecodablePositions) {
    putSms("SM", 1, 1, handsetsim::encodeDeliverPdu("+111", "one"));
    putSms("SM", 2, 1, "00040C91");
    putSms("SM", 3, 1, handsetsim::encodeDeliverPdu("+111", "three"));
    sim().updateProfile([](Profile &p) { p.cmglFails = true; });
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    reply("+CMGR=1", "\r\n+CMGR: 1,,20\r\n" + handsetsim::encodeDeliverPdu("+111", "one") + "\r\n\r\nERROR\r\n");
    newCommands();
    const Listing got = smsfx::listAll(stor());
    EXPECT_EQ(0, got.end);
    ASSERT_EQ(1u, got.entries.size());
    EXPECT_EQ(3, got.entries[0].index);
    EXPECT_EQ(1, count(newCommands(), "AT+CMGR=10"));
}

TEST_F(SmsTest, ReadDataWithoutCurrentEntry) {
    uint8_t buf[400];
    EXPECT_EQ(DV_E_STATE, stor()->readData(stor(), buf, sizeof buf));
    putSms("SM", 1, 1, handsetsim::encodeDeliverPdu("+111", "x"));
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    int32_t index = -1;
    ASSERT_EQ(1, stor()->readNext(stor(), 0, &index, 1));
    EXPECT_EQ(100, stor()->readData(stor(), buf, 100));
    EXPECT_EQ(192, stor()->readData(stor(), buf, sizeof buf)) << "the rest of the 292-byte record";
    EXPECT_EQ(0, stor()->readData(stor(), buf, sizeof buf));
    EXPECT_EQ(0, stor()->readNext(stor(), 0, &index, 0));
    EXPECT_EQ(DV_E_STATE, stor()->readData(stor(), buf, sizeof buf)) << "no entry after the end";
    EXPECT_EQ(DV_E_UNSUPPORTED, stor()->readAt(stor(), 0, 1));
    EXPECT_EQ(DV_E_UNSUPPORTED, stor()->readDataAgain(stor(), buf, sizeof buf));
}

} // namespace
