// The group control: its name, the height it records, placement by the layout, and moving it to
// another parent.
#include "recording_bar.h"

#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

using namespace controls;
using navbar_test::Content;
using Kinds = std::vector<TqvNavBarChangeType>;

TEST(NavBarGroupControl, IsNamedAfterItsGroup)
{
    Content c;
    TqvNavBarGroup *g = c.group("ngSms");
    g->SetUseControl(true);
    ASSERT_NE(g->Control(), nullptr);
    EXPECT_EQ(g->Control()->objectName(), "ngSmsControl");
    EXPECT_EQ(c.sink.bar.findChild<TqvNavBarGroupControl *>("ngSmsControl"), g->Control());

    TqvNavBarGroup *unnamed = c.groups.Add();
    unnamed->SetUseControl(true);
    EXPECT_EQ(unnamed->Control()->objectName(), "");
}

TEST(NavBarGroupControl, AnOutsideResizeIsRecordedAndReportedOncePlacementIsNot)
{
    Content c;
    c.sink.bar.resize(150, 300);
    c.sink.bar.show();
    TqvNavBarGroup *g = c.group("ngSms");
    g->SetUseControl(true);
    TqvNavBarGroupControl *control = g->Control();
    control->show();

    c.sink.reset();
    control->resize(140, 77); // e.g. a layout file restoring the user's height
    EXPECT_EQ(control->OriginalHeight(), 77);
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});
    control->resize(120, 77); // the height is what the layout uses: no change
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});

    c.sink.reset();
    control->PlaceControl(QRect(2, 20, 146, 200));
    EXPECT_EQ(control->geometry(), QRect(2, 20, 146, 200));
    EXPECT_EQ(control->OriginalHeight(), 77);
    control->PlaceControl(QRect(2, 20, 146, 180));
    EXPECT_TRUE(c.sink.kinds.empty());
}

TEST(NavBarGroupControl, AResizeWhileHiddenCountsAsOutsideWhenPlaced)
{
    Content c;
    TqvNavBarGroup *g = c.group("ngSms");
    g->SetUseControl(true);
    TqvNavBarGroupControl *control = g->Control(); // never shown: Qt holds its resize events back
    c.sink.reset();
    control->resize(100, 66);
    control->PlaceControl(QRect(0, 0, 150, 120));
    EXPECT_EQ(control->OriginalHeight(), 66);
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});
    EXPECT_EQ(control->height(), 120);
}

TEST(NavBarGroupControl, HostsOrdinaryWidgets)
{
    Content c;
    TqvNavBarGroup *g = c.group("ngContacts");
    g->SetUseControl(true);
    auto *layout = new QVBoxLayout(g->Control());
    auto *child = new QWidget;
    layout->addWidget(child);
    EXPECT_EQ(child->parentWidget(), g->Control());
    QPointer<QWidget> guard = child;
    g->SetUseControl(false);
    EXPECT_TRUE(guard.isNull()); // freed with the control
}

TEST(NavBarGroupControl, MovedToAnotherParentItDetachesFromItsGroup)
{
    Content c;
    TqvNavBarGroup *g = c.group("ngSms");
    g->SetUseControl(true);
    QPointer<TqvNavBarGroupControl> control = g->Control();
    QWidget elsewhere;
    c.sink.reset();
    control->setParent(&elsewhere);
    EXPECT_EQ(g->Control(), nullptr);
    EXPECT_FALSE(g->UseControl());
    EXPECT_FALSE(g->ShowControl());
    EXPECT_EQ(control->Group(), nullptr);
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});
    ASSERT_FALSE(control.isNull()); // it belongs to its new parent now
    delete control.data();          // and tells no one
    EXPECT_FALSE(g->UseControl());

    // Clearing the parent keeps it with its group.
    g->SetUseControl(true);
    TqvNavBarGroupControl *kept = g->Control();
    kept->setParent(nullptr);
    EXPECT_EQ(g->Control(), kept);
    EXPECT_EQ(kept->Group(), g);
    kept->setParent(&c.sink.bar);
    EXPECT_EQ(g->Control(), kept);
}

} // namespace
