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
