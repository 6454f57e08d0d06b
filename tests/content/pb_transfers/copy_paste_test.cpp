// Copying contacts between books and storages, and cut, copy and paste, with a scripted prompt.

#include "pb_fixture.h"

namespace pb_test {
namespace {

class CopyPasteTest : public PbTransferTest {
protected:
    void SetUp() override
    {
        PbTransferTest::SetUp();
        auto &sim = handset.pbStore.storage(1);
        sim.first = 1;
        sim.last = 3;
        handset.pbStore.putText(1, 1, vc("Ann", "111"));
        src = pb.AddFileBook("/tmp/src.csv");
        tgt = pb.AddFileBook("/tmp/tgt.csv");
        for (const char *n : {"Amy", "Ben", "Cid"})
            save(src, StorageCode::Sim, -1, n, "12345");
        save(tgt, StorageCode::Sim, -1, "Xav", "9");
    }
    void readHandset()
    {
        pb.ReadFromPhone(0);
        clearLogs();
    }
    int src = 0, tgt = 0;
};

TEST_F(CopyPasteTest, TheSameBookAndStorageIsRefused)
{
    pb.CopyContacts(src, 1, {1}, 1, src);
    EXPECT_EQ(env.prompt.texts(), (std::vector<std::string>{"<PbMng_CopyError1>"}));
    EXPECT_EQ(names(src, StorageCode::Sim), "1=Amy 2=Ben 3=Cid");
}

TEST_F(CopyPasteTest, CancelChangesNothingNoEmptiesTheTargetYesAdds)
{
    const struct {
        int answer;
        const char *target;
    } cases[] = {
        {core::kIdCancel, "1=Xav"},
        {core::kIdNo, "1=Amy 2=Cid"},
        {core::kIdYes, "1=Xav 2=Amy 3=Cid"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        pb.ClearStorage(tgt, StorageCode::Sim);
        save(tgt, StorageCode::Sim, -1, "Xav", "9");
        env.prompt.clear();
        env.prompt.script({c.answer});
        pb.CopyContacts(src, 1, {1, 3}, 1, tgt);
        EXPECT_EQ(names(tgt, StorageCode::Sim), c.target);
        ASSERT_EQ(env.prompt.shown().size(), 1u);
        EXPECT_EQ(env.prompt.shown()[0].text, "<PbMng_CopyError20>\r<PbMng_CopyError21>");
        EXPECT_EQ(env.prompt.shown()[0].flags, core::kMbYesNoCancel | core::kMbIconQuestion);
    }
    EXPECT_EQ(names(src, StorageCode::Sim), "1=Amy 2=Ben 3=Cid");
}

TEST_F(CopyPasteTest, AWholeBookWithGroupsOntoAHandsetWithoutGroupsCopiesTheOtherStorages)
{
    env.app.PbCap8 = false;
    handset.pbStore.storage(1).last = 10;
    readHandset();
    pb.book(src).limits.groupName = 20;
    int32_t g = -1;
    ASSERT_EQ(pb.SaveContact(src, StorageCode::Groups, g, {{content::kFieldName, -1, "Family"}}), 0);
    save(src, StorageCode::Phone, -1, "Pho", "77");
    env.prompt.script({core::kIdYes});
    pb.CopyContacts(src, 0, {}, 0, content::kHandsetBook);
    EXPECT_EQ(env.prompt.texts(), (std::vector<std::string>{"<PbMng_CopyError20>\r<PbMng_CopyError21>",
                                                            "<PbMng_CopyError4>\r<PbMng_CopyError8>"}));
    EXPECT_EQ(names(0, StorageCode::Sim), "1=Ann 2=Amy 3=Ben 4=Cid");
    EXPECT_EQ(names(0, StorageCode::Phone), "1=Pho");
    EXPECT_EQ(names(0, StorageCode::Groups), "");
    EXPECT_TRUE(pb.HasChanges(0, 1));
}

TEST_F(CopyPasteTest, PasteAfterACutIntoAFullTargetDeletesOnlyTheCopiedSources)
{
    readHandset(); // SIM 1..3 holds Ann at 1: two free positions
    EXPECT_TRUE(pb.SetClipboard(src, 1, 1, {1, 9, 2, 3})); // 9: gone since
    EXPECT_TRUE(pb.IsCut(src, 1, 2));
    pb.Paste(content::kHandsetBook, 1);
    EXPECT_EQ(names(0, StorageCode::Sim), "1=Ann 2=Amy 3=Ben");
    EXPECT_EQ(names(src, StorageCode::Sim), "3=Cid");
    EXPECT_FALSE(pb.IsCut(src, 1, 3));
    EXPECT_EQ(pb.clipboard().mode, 0);
    EXPECT_FALSE(pb.PasteEnabled());
}

// A copy or paste ends with at most one box, which counts what was copied and why the rest was
// not; a contact with nothing the target can store is never stored as an empty card, and after a
// cut its source stays.
TEST_F(CopyPasteTest, ACopyOrPasteEndsWithOneBoxSayingWhatWasNotCopied)
{
    struct Case {
        const char *name;
        bool readFirst;                      // the handset's storages were read
        std::vector<content::TMobileVacrd> contacts; // the source's SIM entries
        bool cut;                            // by cut and paste, else by a copy (answered Yes)
        const char *handsetSim;              // afterwards
        const char *sourceLeft;
        const char *box;                     // the summary ("" none)
    };
    using content::kFieldEmail;
    using content::kFieldName;
    using content::kFieldTel;
    const std::string longNumber(60, '1');
    const Case cases[] = {
        {"everything fits", true, {{{kFieldName, -1, "Amy"}, {kFieldTel, 0, "1"}}}, false, "1=Ann 2=Amy", "1=Amy", ""},
        {"an e-mail only, cut", true, {{{kFieldEmail, 0, "a@b.c"}}}, true, "1=Ann", "1=", "<PbMng_CopyDone> 0\r<PbMng_CopyNotField> 1"},
        {"the target is full", true,
         {{{kFieldName, -1, "Amy"}, {kFieldTel, 0, "1"}}, {{kFieldName, -1, "Ben"}, {kFieldTel, 0, "2"}},
          {{kFieldName, -1, "Cid"}, {kFieldTel, 0, "3"}}},
         false, "1=Ann 2=Amy 3=Ben", "1=Amy 2=Ben 3=Cid", "<PbMng_CopyDone> 2\r<PbMng_CopyNotFull> 1"},
        {"a number too long, cut", true, {{{kFieldName, -1, "Amy"}, {kFieldTel, 0, longNumber}}}, true, "1=Ann", "1=Amy",
         "<PbMng_CopyDone> 0\r<PbMng_CopyNotLong> 1"},
        {"the storage was never read", false,
         {{{kFieldName, -1, "Amy"}, {kFieldTel, 0, "1"}}, {{kFieldName, -1, "Ben"}, {kFieldTel, 0, "2"}}}, false, "",
         "1=Amy 2=Ben", "<PbMng_CopyDone> 0\r<PbMng_CopyNotRead> 2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        pb.ClearContacts();
        if (c.readFirst)
            readHandset();
        const int from = pb.AddFileBook(std::string("/tmp/from-") + c.name + ".csv");
        std::vector<int32_t> positions;
        for (const content::TMobileVacrd &f : c.contacts) {
            int32_t pos = -1;
            ASSERT_EQ(pb.SaveContact(from, StorageCode::Sim, pos, f), 0);
            positions.push_back(pos);
        }
        env.prompt.clear();
        if (c.cut) {
            pb.SetClipboard(from, 1, 1, positions);
            pb.Paste(content::kHandsetBook, 1);
        } else {
            env.prompt.script({core::kIdYes});
            pb.CopyContacts(from, 1, positions, 1, content::kHandsetBook);
        }
        EXPECT_EQ(names(0, StorageCode::Sim), c.handsetSim);
        EXPECT_EQ(names(from, StorageCode::Sim), c.sourceLeft);
        std::vector<std::string> boxes = env.prompt.texts();
        if (!c.cut)
            boxes.erase(boxes.begin()); // the add-or-empty question
        EXPECT_EQ(boxes, std::string(c.box).empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
    }
}

TEST_F(CopyPasteTest, ACopyOrCutDuringAPendingCutIsIgnored)
{
    pb.SetClipboard(src, 1, 1, {1});
    pb.SetClipboard(src, 1, 0, {2});
    pb.SetClipboard(tgt, 1, 1, {1});
    EXPECT_EQ(pb.clipboard().book, src);
    EXPECT_EQ(pb.clipboard().ids, (std::vector<int32_t>{1}));
    EXPECT_TRUE(pb.IsCut(src, 1, 1));
    EXPECT_FALSE(pb.IsCut(src, 1, 2));
    pb.Paste(tgt, 1);
    EXPECT_EQ(names(tgt, StorageCode::Sim), "1=Xav 2=Amy");
    EXPECT_EQ(names(src, StorageCode::Sim), "2=Ben 3=Cid");
    // A copy is taken again once the cut is done, and leaves its sources.
    EXPECT_TRUE(pb.SetClipboard(src, 1, 0, {2}));
    pb.Paste(tgt, 1);
    EXPECT_EQ(names(src, StorageCode::Sim), "2=Ben 3=Cid");
    EXPECT_EQ(names(tgt, StorageCode::Sim), "1=Xav 2=Amy 3=Ben");
}

} // namespace
} // namespace pb_test
