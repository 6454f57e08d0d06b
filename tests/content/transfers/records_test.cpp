// The driver records, the time text and the slot table operations.

#include "transfer_fixture.h"

#include <cstring>

namespace transfer_test {
namespace {

using content::SmsSlot;

TEST(SmsTimeText, YearsMonthsAndTheEmptyDate)
{
    struct Case {
        PhoneTime t;
        const char *text;
    } cases[] = {
        {{0, 0, 0, 10, 11, 12, 0}, "--"},
        {{5, 3, 7, 4, 5, 6, 0}, "2005-03-07 04:05:06"},
        {{99, 12, 31, 23, 59, 59, 0}, "2099-12-31 23:59:59"},
        {{2026, 1, 2, 0, 0, 0, 0}, "2026-01-02 00:00:00"},
        {{0, 1, 1, 0, 0, 0, 0}, "2000-01-01 00:00:00"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(content::smsTimeText(c.t), c.text);
}

TEST(SmsSendRecord, FieldsReservedBytesAndTextsThatDoNotFit)
{
    SmsSendRec rec;
    std::memset(&rec, 0x55, sizeof rec);
    ASSERT_EQ(content::makeSendRec("+4412", "h\xC3\xA9llo", "+4499", "<Info_DefaultSCA>", rec), 0);
    EXPECT_STREQ(rec.number, "+4412");
    EXPECT_STREQ(rec.text, "h\xC3\xA9llo");
    EXPECT_STREQ(rec.sca, "+4499");
    EXPECT_EQ(rec.validity, 0u);
    EXPECT_EQ(rec.statusReport, 0);
    EXPECT_EQ(rec.reserved[0], 0);
    EXPECT_EQ(rec.reserved[1], 0);
    EXPECT_EQ(rec.number[43], 0);

    // The default centre and an empty one are the handset's own: 44 zero bytes.
    for (const char *sca : {"<Info_DefaultSCA>", ""}) {
        ASSERT_EQ(content::makeSendRec("1", "x", sca, "<Info_DefaultSCA>", rec), 0);
        EXPECT_EQ(std::string(rec.sca, sizeof rec.sca), std::string(44, '\0')) << sca;
    }

    // 43 bytes fit, 44 do not: refused, never cut.
    EXPECT_EQ(content::makeSendRec(std::string(43, '1'), "x", "", "", rec), 0);
    EXPECT_EQ(content::makeSendRec(std::string(44, '1'), "x", "", "", rec), content::kSmsTooLong);
    EXPECT_EQ(content::makeSendRec("1", std::string(211, 'a'), "", "", rec), 0);
    EXPECT_EQ(content::makeSendRec("1", std::string(212, 'a'), "", "", rec), content::kSmsTooLong);
    EXPECT_EQ(content::makeSendRec("1", "x", std::string(44, '9'), "", rec), content::kSmsTooLong);
}

TEST(SmsRecordRead, ShortRowsAreZeroPaddedAndTextsStayInTheirFields)
{
    SmsRecord full = received("+4411", "hello", {5, 3, 7, 1, 2, 3});
    const auto *b = reinterpret_cast<const uint8_t *>(&full);
    const SmsRecord same = content::readSmsRecord(b, sizeof full + 100); // longer rows: 292 bytes taken
    EXPECT_EQ(std::memcmp(&same, &full, sizeof full), 0);

    const SmsRecord cut = content::readSmsRecord(b, 20); // kind, state, list status, 8 number bytes
    EXPECT_EQ(cut.kind, SMS_KIND_RECEIVED);
    EXPECT_EQ(content::fieldText(cut.number, sizeof cut.number), "+4411");
    EXPECT_EQ(content::fieldText(cut.text, sizeof cut.text), "");

    // Fields without a terminator end at the field's end.
    SmsRecord filled;
    std::memset(&filled, 'A', sizeof filled);
    EXPECT_EQ(content::fieldText(filled.number, sizeof filled.number), std::string(44, 'A'));
    EXPECT_EQ(content::fieldText(filled.text, sizeof filled.text), std::string(212, 'A'));
    EXPECT_EQ(content::readSmsRecord(nullptr, 0).kind, 0);
}

TEST(SlotTable, BookkeepingStepByStep)
{
    content::SlotTable t{SmsSlot{-1, 1, 1, 1}, SmsSlot{-1, 2, 1, 1}, SmsSlot{-1, 3, 1, 1}};
    struct Step {
        std::function<int()> op;
        int answer;
        const char *table;
    };
    int32_t wanted = 0;
    const std::vector<Step> steps{
        {[&] { wanted = 2; return content::FindFreeSlot(t, wanted, 10); }, 1, "1:1:-1 2:2:10 3:1:-1"},
        {[&] { return wanted; }, 2, "1:1:-1 2:2:10 3:1:-1"},
        {[&] { wanted = 2; return content::FindFreeSlot(t, wanted, 11); }, -92, "1:1:-1 2:2:10 3:1:-1"},
        {[&] { wanted = -1; return content::FindFreeSlot(t, wanted, 11); }, 1, "1:2:11 2:2:10 3:1:-1"},
        {[&] { return wanted; }, 1, "1:2:11 2:2:10 3:1:-1"},
        {[&] { return int(content::MarkSlotUsed(t, 2, 10)); }, 1, "1:2:11 2:4:10 3:1:-1"},
        {[&] { return int(content::MarkSlotUsed(t, 9, 10)); }, 0, "1:2:11 2:4:10 3:1:-1"},
        {[&] { content::MoveSlotPosition(t, 1, 7); return 0; }, 0, "7:2:11 2:4:10 3:1:-1"},
        {[&] { wanted = -1; return content::FindFreeSlot(t, wanted, 12); }, 1, "7:2:11 2:4:10 3:2:12"},
        {[&] { wanted = -1; return content::FindFreeSlot(t, wanted, 13); }, -92, "7:2:11 2:4:10 3:2:12"},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].op(), steps[i].answer) << "step " << i;
        EXPECT_EQ(slotText(t), steps[i].table) << "step " << i;
    }
}

// Reserve and release through the manager, on tables a download built (storage 1: 1..3, 2: 1..2).
TEST_F(TransferTest, ReserveAndReleaseStepByStep)
{
    handset.store.storage(1) = FakeStorage{1, 3};
    handset.store.storage(2) = FakeStorage{1, 2};
    handset.store.put(2, 1, stored("+1", "there"));
    download();
    const int32_t there = box(9).at(0).id;
    struct Step {
        std::function<int()> op;
        int answer;
        const char *one;
        const char *two;
    };
    int32_t wanted = -1;
    const std::vector<Step> steps{
        {[&] { wanted = -1; return phone->ReserveSlot(wanted, 50, 2); }, 2, "1:1:-1 2:1:-1 3:1:-1",
         "1:4:T 2:2:50"},
        {[&] { wanted = -1; return phone->ReserveSlot(wanted, 51, 2); }, -92, "1:1:-1 2:1:-1 3:1:-1",
         "1:4:T 2:2:50"},
        {[&] { wanted = 3; return phone->ReserveSlot(wanted, 52, -1); }, 1, "1:1:-1 2:1:-1 3:2:52",
         "1:4:T 2:2:50"},
        {[&] { return phone->ReleaseSlot(52, false); }, 1, "1:1:-1 2:1:-1 3:2:52", "1:4:T 2:2:50"},
        // A freed slot forgets its id: a later release of the same id finds nothing.
        {[&] { return phone->ReleaseSlot(52, true); }, 1, "1:1:-1 2:1:-1 3:0:-1", "1:4:T 2:2:50"},
        {[&] { return phone->ReleaseSlot(52, true); }, content::kSmsNoSlot, "1:1:-1 2:1:-1 3:0:-1",
         "1:4:T 2:2:50"},
        {[&] { return phone->ReleaseSlot(50, true); }, 2, "1:1:-1 2:1:-1 3:0:-1", "1:4:T 2:0:-1"},
    };
    EXPECT_EQ(slotText(phone->slotTable(2)), "1:4:" + std::to_string(there) + " 2:1:-1");
    auto withId = [&](std::string s) {
        if (const size_t at = s.find('T'); at != std::string::npos)
            s.replace(at, 1, std::to_string(there));
        return s;
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].op(), steps[i].answer) << "step " << i;
        EXPECT_EQ(slotText(phone->slotTable(1)), steps[i].one) << "step " << i;
        EXPECT_EQ(slotText(phone->slotTable(2)), withId(steps[i].two)) << "step " << i;
    }
    EXPECT_EQ(shown(), std::vector<std::string>{"<SmsMng_MessCode2>"});

    // After a disconnect: "not known yet", never "no free slot", and nothing changes.
    phone->PhoneDisconnected();
    clearShown();
    wanted = -1;
    EXPECT_EQ(phone->ReserveSlot(wanted, 60, -1), content::kSmsNoState);
    EXPECT_EQ(phone->ReleaseSlot(60, true), content::kSmsNoState);
    EXPECT_EQ(shown(), (std::vector<std::string>{"<SmsMng_MessCode1>", "<SmsMng_MessCode1>"}));
    EXPECT_EQ(phone->firstIndex(1), -1);
    EXPECT_EQ(phone->lastIndex(2), -1);
}

} // namespace
} // namespace transfer_test

namespace transfer_test {
namespace {

// The FakeHandset's phone book serves the card client through the same runner: status, a write
// where asked (mode 0) and a read list that hands the entries over as written.
TEST(FakeHandsetPhoneBook, StatusWriteAndReadThroughTheRunner)
{
    FakeHandset h;
    h.connect();
    const std::string card = "BEGIN:VCARD\r\nN:Doe\r\nEND:VCARD\r\n";
    h.pbStore.storage(1).entries[4].assign(card.begin(), card.end());
    auto st = std::make_shared<core::StorageStatus>();
    st->Stor = 1;
    auto writes = std::make_shared<core::TDataArray>(1);
    (*writes)[0].Kind = core::kJobWritePb;
    (*writes)[0].Stor = 2;
    (*writes)[0].Index = 7;
    (*writes)[0].Data.assign(card.begin(), card.end());
    (*writes)[0].DataLen = static_cast<int32_t>(card.size());
    auto reads = std::make_shared<core::TDataArray>(2);
    (*reads)[0].Kind = core::kJobRead;
    (*reads)[0].Stor = 1;
    (*reads)[1].Kind = core::kJobRead;
    (*reads)[1].Stor = 2;
    const content::BatchOutcome out =
        h.runner->run(*h.cardClt, {content::BatchRequest::storageStatus(st), content::BatchRequest::writeList(writes),
                                   content::BatchRequest::readList(reads)});
    ASSERT_FALSE(out.cancelled);
    EXPECT_EQ(st->Kind, MS_CAPS_PB);
    EXPECT_EQ(st->Last, 250);
    EXPECT_EQ((*writes)[0].Result, 0);
    EXPECT_EQ((*writes)[0].Index, 7);
    ASSERT_EQ(out.rows.size(), 2u);
    EXPECT_EQ(out.rows[0].stor, 1);
    EXPECT_EQ(out.rows[0].index, 4);
    EXPECT_EQ(out.rows[1].stor, 2);
    EXPECT_EQ(out.rows[1].index, 7);
    EXPECT_EQ(std::string(out.rows[1].data.begin(), out.rows[1].data.end()), card);
    EXPECT_TRUE(h.store.log.empty()) << "the message store saw nothing";

    // An empty batch runs nothing; a batch without a read list hands over no rows.
    EXPECT_EQ(h.runner->run(*h.cardClt, {}).result, 0);
    auto st2 = std::make_shared<core::StorageStatus>();
    st2->Stor = 2;
    EXPECT_TRUE(h.runner->run(*h.cardClt, {content::BatchRequest::storageStatus(st2)}).rows.empty());
    EXPECT_EQ(h.runner->batchesRun(), 2);
}

} // namespace
} // namespace transfer_test
