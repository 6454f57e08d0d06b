// An item's action: what taking it copies, with and without the defaults check, and which later
// action changes reach the item.
#include "recording_bar.h"

#include <QAction>
#include <gtest/gtest.h>

namespace {

using namespace controls;
using navbar_test::Content;

struct ActionFixture : ::testing::Test {
    Content c;
    QAction action{"&Send"};
    TqvNavBarItem *item = nullptr;

    void SetUp() override
    {
        action.setToolTip("Send the message");
        action.setEnabled(false);
        action.setVisible(false);
        action.setProperty("imageIndex", 5);
        item = c.items.Add();
        item->SetCaption("Mine");
        item->SetHint("My hint");
        item->SetEnabled(true);
    }
};

TEST_F(ActionFixture, TakingAnActionCopiesEveryValue)
{
    item->SetSmallImageIndex(2);
    c.sink.reset();
    item->SetAction(&action);
    EXPECT_EQ(item->Action(), &action);
    EXPECT_EQ(item->Caption(), "&Send");
    EXPECT_EQ(item->Hint(), "Send the message");
    EXPECT_FALSE(item->Enabled());
    EXPECT_FALSE(item->Visible());
    EXPECT_EQ(item->LargeImageIndex(), 5);
    EXPECT_EQ(item->SmallImageIndex(), 5);
    EXPECT_FALSE(c.sink.kinds.empty());
    for (auto v : {TqvNavBarItem::avCaption, TqvNavBarItem::avEnabled, TqvNavBarItem::avHint,
                   TqvNavBarItem::avImageIndex, TqvNavBarItem::avVisible})
        EXPECT_TRUE(item->IsTakenFromAction(v));
}

TEST_F(ActionFixture, WhileLoadingOnlyInitialValuesAreTaken)
{
    struct Row {
        const char *name;
        std::function<void(TqvNavBarItem *)> prepare;
        bool keepsCaption, keepsHint, takesImage;
    } rows[] = {
        {"caption and hint set", [](TqvNavBarItem *) {}, true, true, true},
        {"nothing set", [](TqvNavBarItem *i) { i->SetCaption(""); i->SetHint(""); }, false, false, true},
        {"small image set", [](TqvNavBarItem *i) { i->SetSmallImageIndex(1); }, true, true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TqvNavBarItem *i = c.items.Add();
        i->SetCaption("Mine");
        i->SetHint("My hint");
        row.prepare(i);
        c.sink.loading = true;
        i->SetAction(&action);
        c.sink.loading = false;
        EXPECT_EQ(i->Caption(), row.keepsCaption ? "Mine" : "&Send");
        EXPECT_EQ(i->Hint(), row.keepsHint ? "My hint" : "Send the message");
        EXPECT_FALSE(i->Enabled()); // True is the initial value: the action's is taken
        EXPECT_FALSE(i->Visible());
        EXPECT_EQ(i->LargeImageIndex(), row.takesImage ? 5 : -1);
        EXPECT_EQ(i->SmallImageIndex(), row.takesImage ? 5 : 1);
    }
}

TEST_F(ActionFixture, EndOfLoadingTakesTheValuesNotSet)
{
    TqvNavBarItem *i = c.items.Add();
    i->SetCaption("Mine");
    c.sink.loading = true;
    i->SetAction(&action);
    i->SetEnabled(true); // the stored value, read after the action
    c.sink.loading = false;
    i->Loaded();
    EXPECT_EQ(i->Caption(), "Mine");
    EXPECT_FALSE(i->Enabled());
    EXPECT_EQ(i->LargeImageIndex(), 5);
}

TEST_F(ActionFixture, LaterActionChangesReachOnlyValuesTakenFromIt)
{
    item->SetAction(&action);
    item->SetCaption("Own caption"); // no longer taken from the action
    item->SetSmallImageIndex(9);     // neither is the image index
    EXPECT_FALSE(item->IsTakenFromAction(TqvNavBarItem::avCaption));
    EXPECT_FALSE(item->IsTakenFromAction(TqvNavBarItem::avImageIndex));

    action.setText("Send now");
    action.setEnabled(true);
    action.setToolTip("Send it now");
    action.setVisible(true);
    action.setProperty("imageIndex", 7);
    EXPECT_EQ(item->Caption(), "Own caption");
    EXPECT_TRUE(item->Enabled());
    EXPECT_EQ(item->Hint(), "Send it now");
    EXPECT_TRUE(item->Visible());
    EXPECT_EQ(item->LargeImageIndex(), 5);
    EXPECT_EQ(item->SmallImageIndex(), 9);

    // Set back to the action's value, the caption follows it again.
    item->SetCaption("Send now");
    action.setText("Send later");
    EXPECT_EQ(item->Caption(), "Send later");

    // Image indexes follow only while both equal the action's.
    item->SetSmallImageIndex(7);
    item->SetLargeImageIndex(7);
    action.setProperty("imageIndex", 8);
    EXPECT_EQ(item->LargeImageIndex(), 8);
    EXPECT_EQ(item->SmallImageIndex(), 8);
}

TEST_F(ActionFixture, ReleasingTheActionStopsFollowingIt)
{
    item->SetAction(&action);
    item->SetAction(nullptr);
    EXPECT_EQ(item->Action(), nullptr);
    action.setText("Other");
    EXPECT_EQ(item->Caption(), "&Send");
    EXPECT_FALSE(item->IsTakenFromAction(TqvNavBarItem::avCaption));
}

TEST_F(ActionFixture, AnItemCopyFollowsTheSameAction)
{
    item->SetAction(&action);
    item->SetCaption("Own");
    TqvNavBarItem *copy = c.items.Add();
    copy->Assign(*item);
    EXPECT_EQ(copy->Action(), &action);
    EXPECT_EQ(copy->Caption(), "Own"); // copied, not re-taken
    action.setToolTip("New hint");
    EXPECT_EQ(copy->Hint(), "New hint");
    action.setText("New");
    EXPECT_EQ(copy->Caption(), "Own");
}

} // namespace
