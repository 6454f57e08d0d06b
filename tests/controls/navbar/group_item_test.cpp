// Groups and items: initial values, the change kind and event of each property, links,
// selection and scrolling, and the group control switches.
#include "recording_bar.h"

#include <gtest/gtest.h>

namespace {

using namespace controls;
using navbar_test::Content;
using Kinds = std::vector<TqvNavBarChangeType>;

TEST(NavBarGroup, InitialValues)
{
    TqvNavBarGroup g;
    EXPECT_EQ(g.Caption(), "");
    EXPECT_EQ(g.Control(), nullptr);
    EXPECT_TRUE(g.Expanded());
    EXPECT_EQ(g.Hint(), "");
    EXPECT_EQ(g.LargeImageIndex(), -1);
    EXPECT_EQ(g.LinkCount(), 0);
    EXPECT_TRUE(g.LinksUseSmallImages());
    EXPECT_EQ(g.SelectedLinkIndex(), -1);
    EXPECT_FALSE(g.ShowAsIconView());
    EXPECT_FALSE(g.ShowControl());
    EXPECT_TRUE(g.ShowExpandButton());
    EXPECT_EQ(g.SmallImageIndex(), -1);
    EXPECT_EQ(g.StyleBackground(), nullptr);
    EXPECT_EQ(g.StyleHeader(), nullptr);
    EXPECT_EQ(g.StyleHeaderActive(), nullptr);
    EXPECT_EQ(g.StyleHeaderHotTracked(), nullptr);
    EXPECT_EQ(g.StyleHeaderPressed(), nullptr);
    EXPECT_EQ(g.TopVisibleLinkIndex(), 0);
    EXPECT_FALSE(g.UseControl());
    EXPECT_TRUE(g.UseSmallImages());
    EXPECT_TRUE(g.Visible());
    EXPECT_EQ(g.Index(), -1);
    EXPECT_EQ(g.Tag(), 0);
}

TEST(NavBarItem, InitialValues)
{
    TqvNavBarItem i;
    EXPECT_EQ(i.Caption(), "");
    EXPECT_TRUE(i.Enabled());
    EXPECT_EQ(i.Hint(), "");
    EXPECT_EQ(i.LargeImageIndex(), -1);
    EXPECT_EQ(i.SmallImageIndex(), -1);
    EXPECT_EQ(i.Style(), nullptr);
    EXPECT_EQ(i.StyleDisabled(), nullptr);
    EXPECT_EQ(i.StyleHotTracked(), nullptr);
    EXPECT_EQ(i.StylePressed(), nullptr);
    EXPECT_TRUE(i.Visible());
    EXPECT_EQ(i.Action(), nullptr);
}

template <typename T>
struct PropertyRow {
    const char *name;
    std::function<void(T &, TqvNavBarStyleItem *)> set; // sets a value other than the initial one
    Kinds kinds;                                        // empty: reports nothing
};

TEST(NavBarGroup, EachPropertyReportsItsKindOnceAndNothingForTheSameValue)
{
    const PropertyRow<TqvNavBarGroup> rows[] = {
        {"Caption", [](auto &g, auto *) { g.SetCaption("Messages"); }, {ctRelayout}},
        {"Expanded", [](auto &g, auto *) { g.SetExpanded(false); }, {ctRebuild}},
        {"Hint", [](auto &g, auto *) { g.SetHint("h"); }, {}},
        {"LargeImageIndex", [](auto &g, auto *) { g.SetLargeImageIndex(3); }, {ctRedraw}},
        {"LinksUseSmallImages", [](auto &g, auto *) { g.SetLinksUseSmallImages(false); }, {ctRelayout}},
        {"ShowAsIconView", [](auto &g, auto *) { g.SetShowAsIconView(true); }, {ctRelayout}},
        {"ShowExpandButton", [](auto &g, auto *) { g.SetShowExpandButton(false); }, {ctRedraw}},
        {"SmallImageIndex", [](auto &g, auto *) { g.SetSmallImageIndex(0); }, {ctRedraw}},
        {"StyleBackground", [](auto &g, auto *s) { g.SetStyleBackground(s); }, {ctRelayout}},
        {"StyleHeader", [](auto &g, auto *s) { g.SetStyleHeader(s); }, {ctRelayout}},
        {"StyleHeaderActive", [](auto &g, auto *s) { g.SetStyleHeaderActive(s); }, {ctRelayout}},
        {"StyleHeaderHotTracked", [](auto &g, auto *s) { g.SetStyleHeaderHotTracked(s); }, {ctRelayout}},
        {"StyleHeaderPressed", [](auto &g, auto *s) { g.SetStyleHeaderPressed(s); }, {ctRelayout}},
        {"UseSmallImages", [](auto &g, auto *) { g.SetUseSmallImages(false); }, {ctRelayout}},
        {"Visible", [](auto &g, auto *) { g.SetVisible(false); }, {ctRebuild}},
        {"UseControl", [](auto &g, auto *) { g.SetUseControl(true); }, {ctRebuild}},
        {"ShowControl", [](auto &g, auto *) { g.SetShowControl(true); }, {ctRebuild}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        Content c;
        TqvNavBarStyleItem *style = c.styles.Add();
        TqvNavBarGroup *g = c.groups.Add();
        c.sink.reset();
        row.set(*g, style);
        EXPECT_EQ(c.sink.kinds, row.kinds);
        c.sink.reset();
        row.set(*g, style);
        EXPECT_TRUE(c.sink.kinds.empty());
    }
}

TEST(NavBarItem, EachPropertyReportsItsKindOnceAndNothingForTheSameValue)
{
    const PropertyRow<TqvNavBarItem> rows[] = {
        {"Caption", [](auto &i, auto *) { i.SetCaption("Inbox"); }, {ctRelayout}},
        {"Enabled", [](auto &i, auto *) { i.SetEnabled(false); }, {ctRedraw}},
        {"Hint", [](auto &i, auto *) { i.SetHint("h"); }, {}},
        {"LargeImageIndex", [](auto &i, auto *) { i.SetLargeImageIndex(3); }, {ctRedraw}},
        {"SmallImageIndex", [](auto &i, auto *) { i.SetSmallImageIndex(3); }, {ctRedraw}},
        {"Style", [](auto &i, auto *s) { i.SetStyle(s); }, {ctRelayout}},
        {"StyleDisabled", [](auto &i, auto *s) { i.SetStyleDisabled(s); }, {ctRelayout}},
        {"StyleHotTracked", [](auto &i, auto *s) { i.SetStyleHotTracked(s); }, {ctRelayout}},
        {"StylePressed", [](auto &i, auto *s) { i.SetStylePressed(s); }, {ctRelayout}},
        {"Visible", [](auto &i, auto *) { i.SetVisible(false); }, {ctRebuild}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        Content c;
        TqvNavBarStyleItem *style = c.styles.Add();
        TqvNavBarItem *i = c.items.Add();
        c.sink.reset();
        row.set(*i, style);
        EXPECT_EQ(c.sink.kinds, row.kinds);
        c.sink.reset();
        row.set(*i, style);
        EXPECT_TRUE(c.sink.kinds.empty());
    }
}

TEST(NavBarGroup, ExpandedRaisesExpandedOrCollapsedAfterTheReport)
{
    Content c;
    TqvNavBarGroup *g = c.groups.Add();
    std::vector<std::string> events;
    g->OnExpanded = [&](QObject *sender) {
        EXPECT_EQ(sender, g);
        events.push_back("expanded after " + std::to_string(c.sink.kinds.size()));
    };
    g->OnCollapsed = [&](QObject *) { events.push_back("collapsed after " + std::to_string(c.sink.kinds.size())); };
    c.sink.reset();
    g->SetExpanded(true);
    g->SetExpanded(false);
    g->SetExpanded(false);
    g->SetExpanded(true);
    EXPECT_EQ(events, (std::vector<std::string>{"collapsed after 1", "expanded after 2"}));
}

TEST(NavBarGroup, SelectedLinkIndexIsClampedAndReportsOnlyARealChange)
{
    Content c;
    TqvNavBarGroup *g = c.groups.Add();
    TqvNavBarItem *item = c.items.Add();
    for (int i = 0; i < 3; ++i)
        g->CreateLink(item);
    int raised = 0;
    g->OnSelectedLinkChanged = [&](QObject *) { ++raised; };
    struct Row {
        int set, stored;
        bool reported;
    } rows[] = {
        {-1, -1, false}, // clearing a clear selection does nothing
        {10, 2, true},   {10, 2, false}, {2, 2, false}, {0, 0, true}, {-7, -1, true}, {-7, -1, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.set);
        c.sink.reset();
        raised = 0;
        g->SetSelectedLinkIndex(row.set);
        EXPECT_EQ(g->SelectedLinkIndex(), row.stored);
        EXPECT_EQ(c.sink.kinds, row.reported ? Kinds{ctRedraw} : Kinds{});
        EXPECT_EQ(raised, row.reported ? 1 : 0);
    }
    g->SetSelectedLinkIndex(1);
    EXPECT_TRUE(g->Links(1)->IsSelected());
    EXPECT_FALSE(g->Links(0)->IsSelected());
}

TEST(NavBarGroup, TopVisibleLinkIndexIsClampedToTheLinks)
{
    Content c;
    TqvNavBarGroup *g = c.groups.Add();
    int raised = 0;
    g->OnTopVisibleLinkChanged = [&](QObject *) { ++raised; };
    c.sink.reset();
    g->SetTopVisibleLinkIndex(3); // no links
    EXPECT_EQ(g->TopVisibleLinkIndex(), -1);
    EXPECT_EQ(c.sink.kinds, Kinds{ctRelayout});
    EXPECT_EQ(raised, 1);

    TqvNavBarItem *item = c.items.Add();
    for (int i = 0; i < 3; ++i)
        g->CreateLink(item);
    struct Row {
        int set, stored;
        bool reported;
    } rows[] = {{-4, 0, true}, {-4, 0, false}, {1, 1, true}, {5, 2, true}, {9, 2, false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.set);
        c.sink.reset();
        raised = 0;
        g->SetTopVisibleLinkIndex(row.set);
        EXPECT_EQ(g->TopVisibleLinkIndex(), row.stored);
        EXPECT_EQ(c.sink.kinds, row.reported ? Kinds{ctRelayout} : Kinds{});
        EXPECT_EQ(raised, row.reported ? 1 : 0);
    }
}

TEST(NavBarGroup, LinksAreCreatedAtTheEndAndReportedToTheBar)
{
    Content c;
    TqvNavBarGroup *g = c.groups.Add();
    TqvNavBarItem *a = c.items.Add(), *b = c.items.Add();
    c.sink.reset();
    TqvNavBarItemLink *la = g->CreateLink(a);
    TqvNavBarItemLink *lb = g->CreateLink(b);
    EXPECT_EQ(g->CreateLink(nullptr), nullptr);
    EXPECT_EQ(g->LinkCount(), 2);
    EXPECT_EQ(g->Links(0), la);
    EXPECT_EQ(g->Links(1), lb);
    EXPECT_EQ(g->Links(2), nullptr);
    EXPECT_EQ(lb->Group(), g);
    EXPECT_EQ(lb->Item(), b);
    EXPECT_EQ(lb->Index(), 1);
    EXPECT_EQ(c.sink.kinds, (Kinds{ctRebuild, ctRebuild}));
    ASSERT_EQ(c.sink.links.size(), 2u);
    EXPECT_EQ(c.sink.links[0].link, la);
    EXPECT_FALSE(c.sink.links[0].removed);

    c.sink.reset();
    la->SetItem(b);
    la->SetItem(b);
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});

    c.sink.reset();
    g->RemoveLink(5);
    g->RemoveLink(-1);
    EXPECT_TRUE(c.sink.kinds.empty());
    g->RemoveLink(0);
    EXPECT_EQ(g->LinkCount(), 1);
    ASSERT_EQ(c.sink.links.size(), 1u);
    EXPECT_TRUE(c.sink.links[0].removed);
    EXPECT_EQ(c.sink.links[0].itemAtNotice, nullptr); // the link clears its item first
}

TEST(NavBarGroup, UseControlAndShowControl)
{
    Content c;
    TqvNavBarGroup *g = c.group("ngSms");
    g->SetUseControl(true);
    ASSERT_NE(g->Control(), nullptr);
    EXPECT_TRUE(g->ShowControl());
    EXPECT_EQ(g->Control()->Group(), g);
    EXPECT_EQ(g->Control()->parentWidget(), &c.sink.bar);
    QPointer<TqvNavBarGroupControl> first = g->Control();

    g->SetShowControl(false); // hides nothing, frees nothing
    EXPECT_EQ(g->Control(), first.data());
    EXPECT_TRUE(g->UseControl());

    g->SetUseControl(false);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(g->Control(), nullptr);
    EXPECT_FALSE(g->ShowControl());

    g->SetShowControl(true); // turns UseControl on and makes a control
    EXPECT_TRUE(g->UseControl());
    EXPECT_NE(g->Control(), nullptr);

    g->SetVisible(false); // the control's visibility follows the group
    EXPECT_TRUE(g->Control()->isHidden());
}

TEST(NavBarGroup, NoControlIsCreatedWhileLoading)
{
    Content c;
    TqvNavBarGroup *g = c.group("ngSms");
    c.sink.loading = true;
    g->SetUseControl(true);
    g->SetShowControl(true);
    EXPECT_TRUE(g->UseControl());
    EXPECT_TRUE(g->ShowControl());
    EXPECT_EQ(g->Control(), nullptr);
    EXPECT_TRUE(c.sink.bar.findChildren<TqvNavBarGroupControl *>().isEmpty());

    TqvNavBarGroup outside; // in no collection: nowhere to put a control
    c.sink.loading = false;
    outside.SetUseControl(true);
    EXPECT_EQ(outside.Control(), nullptr);
}

TEST(NavBarGroup, CaptionFollowsARenameWhileItEqualsTheName)
{
    Content c;
    TqvNavBarGroup *g = c.group("ngSms");
    EXPECT_EQ(g->Caption(), "ngSms");
    g->setObjectName("ngMessages");
    EXPECT_EQ(g->Caption(), "ngMessages");
    g->SetCaption("Messages");
    g->setObjectName("ngOther");
    EXPECT_EQ(g->Caption(), "Messages");

    c.sink.loading = true;
    TqvNavBarItem *i = c.item("niInbox");
    EXPECT_EQ(i->Caption(), "");
}

} // namespace
