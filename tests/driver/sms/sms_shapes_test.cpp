// Handsets as they are, through the message object against the simulated handset: absurd storage
// totals, positions numbered from 0, +CMGR and +CMGL headers of every shape, entries that do not
// decode, destinations that must not be sent, and the object deleted twice.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "dv_log.h"
#include "sms_at.h"
#include "sms_fixture.h"

namespace {

using handsetsim::Profile;
using smsfx::Listing;
using smsfx::SmsTest;

const std::string kOne = handsetsim::encodeDeliverPdu("+8613912345678", "one");
const std::string kTwo = handsetsim::encodeDeliverPdu("+8613912345678", "two");
const std::string kDraft = handsetsim::encodeSubmitPdu("+4912345", "draft");

// ---- absurd totals ----

class AbsurdTotal : public SmsTest {
protected:
    handsetsim::Scenario scenario() override {
        auto sc = smsfx::smallStorages();
        sc.smsStorages = {{"SM", 999999999, {}}, {"ME", 10, {}}};
        return sc;
    }
};

// "+CPMS: "SM",2,999999999": the walk and delete-all stop once the used messages were met.
TEST_F(AbsurdTotal, WalkAndDeleteAllStopAtTheUsedCount) {
    putSms("SM", 1, 1, kOne);
    putSms("SM", 3, 1, kTwo);
    sim().updateProfile([](Profile &p) { p.cmglFails = true; });
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    newCommands();
    const auto t0 = std::chrono::steady_clock::now();
    const Listing got = smsfx::listAll(stor());
    EXPECT_EQ(0, got.end);
    ASSERT_EQ(2u, got.entries.size());
    EXPECT_EQ(3, got.entries[1].index);
    EXPECT_EQ((std::vector<std::string>{"AT+CMGL=4", "AT+CPMS?", "AT+CMGR=0", "AT+CMGR=1", "AT+CMGR=2",
                                        "AT+CMGR=3"}),
              newCommands());

    ASSERT_EQ(0, stor()->delAll(stor()));
    EXPECT_TRUE(sim().smsStorage("SM")->messages.empty());
    EXPECT_EQ((std::vector<std::string>{"AT+CPMS?", "AT+CMGD=0", "AT+CMGD=1", "AT+CMGD=2", "AT+CPMS?",
                                        "AT+CMGD=3", "AT+CPMS?"}),
              newCommands())
        << "an empty position answered OK counts until the handset says none are left";
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

// A handset that numbers its positions from 0 keeps nothing from the walk.
TEST_F(SmsTest, WalkReadsPositionZero) {
    putSms("SM", 1, 1, kOne);
    putSms("SM", 2, 1, kTwo);
    sim().updateProfile([](Profile &p) { p.cmglFails = true; });
    reply("+CMGR=0", "\r\n+CMGR: 1,,20\r\n" + kDraft + "\r\n\r\nOK\r\n");
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    const Listing got = smsfx::listAll(stor());
    EXPECT_EQ(0, got.end);
    ASSERT_EQ(2u, got.entries.size());
    EXPECT_EQ(0, got.entries[0].index);
    EXPECT_STREQ("draft", got.entries[0].rec.text);
    EXPECT_EQ(1, got.entries[1].index);
}

// ---- headers ----

struct CmgrRow {
    const char *name;
    std::string header; // the +CMGR header line for position 1 (a received message)
    int32_t status;
};

void PrintTo(const CmgrRow &row, std::ostream *os) { *os << row.name; }

class CmgrHeader : public SmsTest, public ::testing::WithParamInterface<CmgrRow> {};

// The status comes only from a field that holds one; otherwise the message counts as read.
TEST_P(CmgrHeader, StatusOnlyFromAStatusField) {
    putSms("SM", 1, 0, kOne);
    sim().updateProfile([](Profile &p) { p.cmglFails = true; });
    reply("+CMGR=1", "\r\n" + GetParam().header + "\r\n" + kOne + "\r\n\r\nOK\r\n");
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    const Listing got = smsfx::listAll(stor());
    ASSERT_EQ(1u, got.entries.size());
    EXPECT_EQ(1, got.entries[0].index);
    EXPECT_STREQ("one", got.entries[0].rec.text);
    EXPECT_EQ(GetParam().status, got.entries[0].rec.listStatus);
}

INSTANTIATE_TEST_SUITE_P(Shapes, CmgrHeader,
                         ::testing::Values(CmgrRow{"standard", "+CMGR: 0,,23", 0},
                                           CmgrRow{"noAlpha", "+CMGR: 0,23", 0},
                                           CmgrRow{"noStatus", "+CMGR: ,,23", 1},
                                           CmgrRow{"lengthOnly", "+CMGR: 23", 1},
                                           CmgrRow{"lengthOnlyBelowFour", "+CMGR: 2", 1},
                                           CmgrRow{"indexInFront", "+CMGR: 3,0,,23", 0},
                                           CmgrRow{"statusOutOfRange", "+CMGR: 7,,23", 1}),
                         [](const auto &p) { return std::string(p.param.name); });

// Where a +CMGL header is due, another line is no entry; a status out of range counts as read.
TEST_F(SmsTest, LineThatIsNoCmglHeaderIsNoEntry) {
    enterSmsMode();
    reply("+CMGL=4", "\r\n+CMGL: 1,0,,20\r\n" + kOne + "\r\n" + "+CMTI: \"SM\",9\r\n" + kTwo + "\r\n" +
                         "+CMGL: 2,9,,20\r\n" + kTwo + "\r\n\r\nOK\r\n");
    const Listing got = smsfx::listAll(stor());
    EXPECT_EQ(0, got.end);
    ASSERT_EQ(2u, got.entries.size());
    EXPECT_EQ(1, got.entries[0].index);
    EXPECT_EQ(0, got.entries[0].rec.listStatus);
    EXPECT_EQ(2, got.entries[1].index);
    EXPECT_EQ(1, got.entries[1].rec.listStatus);
    EXPECT_STREQ("two", got.entries[1].rec.text);
}

// ---- entries that do not decode ----

TEST_F(SmsTest, UndecodableEntryIsLoggedWithStorageAndIndex) {
    putSms("SM", 1, 1, kOne);
    putSms("SM", 4, 1, "00040C91"); // DELIVER cut inside its address
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    StdoutConsole_init();
    testing::internal::CaptureStderr();
    const Listing listed = smsfx::listAll(stor());
    sim().updateProfile([](Profile &p) { p.cmglFails = true; });
    const Listing walked = smsfx::listAll(stor());
    const std::string log = testing::internal::GetCapturedStderr();
    StdoutConsole_cleanup();
    EXPECT_EQ(1u, listed.entries.size());
    EXPECT_EQ(1u, walked.entries.size());
    size_t n = 0;
    for (size_t at = log.find("storage SM index 4"); at != std::string::npos;
         at = log.find("storage SM index 4", at + 1))
        ++n;
    EXPECT_EQ(2u, n) << log;
}

// ---- what must never be sent ----

class BadDestination : public SmsTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(BadDestination, RefusedBeforeAnythingIsSent) {
    enterSmsMode();
    EXPECT_EQ(DV_E_ARG, send(GetParam(), "hello"));
    // stored through the write slots
    const SmsSendRec m = smsfx::sendRec(GetParam(), "hello");
    ASSERT_EQ(0, stor()->beginWrite(stor(), 0, -1, MS_WRITE_SMS));
    ASSERT_EQ(static_cast<int32_t>(sizeof m), stor()->writeData(stor(), &m, sizeof m));
    int32_t index = 0;
    EXPECT_EQ(DV_E_ARG, stor()->commitWrite(stor(), &index));
    // a decoded SUBMIT
    SmsPduRec rec{};
    std::snprintf(rec.address, sizeof rec.address, "%s", GetParam().c_str());
    EXPECT_EQ(DV_E_ARG, itf()->sendPdu(itf(), &rec, nullptr));
    EXPECT_TRUE(newCommands().empty());
    EXPECT_TRUE(sim().submitted().empty());
}

INSTANTIATE_TEST_SUITE_P(Numbers, BadDestination,
                         ::testing::Values("", "+", "\"", "123\"4", "123\r", "\r\nAT+CMGD=1", "12a4", "*100#",
                                           "#31#", "+86 138", "bob"));

TEST_F(SmsTest, PerMessageServiceCentreIsCheckedLikeSetSca) {
    enterSmsMode();
    for (const std::string &sca : {std::string("+86\""), std::string("+86\r\nAT+CMGD=1"), std::string("+86\\22")})
        EXPECT_EQ(DV_E_ARG, send("+8613912345678", "hi", sca)) << sca;
    EXPECT_TRUE(newCommands().empty());
    ASSERT_EQ(0, send("+8613912345678", "hi", "+8613800138000"));
}

TEST_F(SmsTest, BadStorageCodeLeavesTheCountsAlone) {
    putSms("SM", 1, 1, kOne);
    ASSERT_EQ(0, stor()->setStor(stor(), 1));
    EXPECT_EQ(10, sms_->at->total);
    EXPECT_EQ(1, sms_->at->used);
    EXPECT_EQ(DV_E_ARG, stor()->setStor(stor(), 3));
    EXPECT_EQ(10, sms_->at->total);
    EXPECT_EQ(1, sms_->at->used);
}

// ---- the object ----

TEST_F(SmsTest, DeletedTwice) {
    OthSms *o = OthSms_new(nullptr, nullptr, te());
    ASSERT_NE(nullptr, o);
    EXPECT_EQ(0, OthSms_delete(o));
    EXPECT_EQ(DV_E_ARG, OthSms_delete(o)) << "the freed record is not read";
}

} // namespace

namespace {

// The scenario file of absurd ranges, read through both objects as the program's download does: in
// seconds, with every entry and the international number's "+".
TEST(AbsurdScenario, PhoneBookAndMessagesReadInSeconds) {
    const char *src = std::getenv("SELVARK_SOURCE_DIR");
    ASSERT_NE(nullptr, src);
    simfx::SimSession s(handsetsim::loadScenario(std::string(src) + "/tools/handset-sim/scenarios/absurd-ranges.json"));
    ASSERT_EQ(0, s.open());
    ItfMng *mng = ItfMng_new(4);
    OthPb *pb = OthPb_new(nullptr, mng, s.te());
    OthSms *sms = OthSms_new(nullptr, mng, s.te());
    ASSERT_TRUE(mng && pb && sms);
    const auto t0 = std::chrono::steady_clock::now();

    StorItf *book = &pb->itf.stor;
    int32_t total = 0, used = 0, first = 0, last = 0, index = -1;
    ASSERT_EQ(0, book->getStat(book, 0, &total, &used, &first, &last));
    std::vector<std::string> cards;
    for (int32_t r = book->readNext(book, 0, &index, 1); r == 1; r = book->readNext(book, 0, &index, 0)) {
        std::string card(2048, '\0');
        card.resize(static_cast<size_t>(book->readData(book, card.data(), static_cast<int32_t>(card.size()))));
        cards.push_back(card);
    }
    ASSERT_EQ(2u, cards.size());
    EXPECT_NE(std::string::npos, cards[0].find("TEL:+8613800000001"));

    StorItf *msgs = &sms->itf.stor;
    ASSERT_EQ(0, msgs->setStor(msgs, 1));
    const Listing got = smsfx::listAll(msgs);
    EXPECT_EQ(0, got.end);
    ASSERT_EQ(2u, got.entries.size());
    EXPECT_EQ(3, got.entries[1].index);
    EXPECT_EQ(1, got.entries[1].rec.listStatus) << "no status in the header: read";
    ASSERT_EQ(0, msgs->delAll(msgs));
    EXPECT_TRUE(s.sim().smsStorage("SM")->messages.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));

    EXPECT_EQ(0, OthSms_delete(sms));
    EXPECT_EQ(0, OthPb_delete(pb));
    ItfMng_delete(mng);
}

} // namespace
