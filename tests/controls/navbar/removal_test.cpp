// Removal: freeing an item, a style item, a group, a group control or an action, by delete or by
// clearing a collection, and the links, references, selection and scrolling that follow.
#include "recording_bar.h"

#include <QAction>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

using namespace controls;
using navbar_test::Content;
using Kinds = std::vector<TqvNavBarChangeType>;

TEST(NavBarRemoval, AnItemLinkedTwiceLosesEveryLinkInEveryGroup)
{
    Content c;
    TqvNavBarItem *gone = c.item("gone"), *kept = c.item("kept");
    TqvNavBarGroup *g = c.group("g"), *h = c.group("h");
    g->CreateLink(gone);
    g->CreateLink(gone); // adjacent
    g->CreateLink(kept);
    g->CreateLink(gone);
    h->CreateLink(gone);
    c.sink.reset();
    delete gone;
    ASSERT_EQ(g->LinkCount(), 1);
    EXPECT_EQ(g->Links(0)->Item(), kept);
    EXPECT_EQ(h->LinkCount(), 0);
    EXPECT_EQ(c.items.Count(), 1);
    ASSERT_EQ(c.sink.links.size(), 4u);
    for (const auto &notice : c.sink.links) {
        EXPECT_TRUE(notice.removed);
        EXPECT_EQ(notice.itemAtNotice, nullptr);
    }
    EXPECT_EQ(c.sink.removed, std::vector<QObject *>{static_cast<QObject *>(gone)});
}

TEST(NavBarRemoval, ADeletedStyleItemIsUnassignedEverywhere)
{
    Content c;
    TqvNavBarStyleItem *style = c.styles.Add(), *other = c.styles.Add();
    TqvNavBarGroup *g = c.group("g");
    TqvNavBarItem *i = c.item("i");
    g->SetStyleHeader(style);
    g->SetStyleHeaderPressed(style);
    g->SetStyleBackground(other);
    i->SetStyle(style);
    i->SetStyleHotTracked(style);
    c.sink.reset();
    delete style;
    EXPECT_EQ(g->StyleHeader(), nullptr);
    EXPECT_EQ(g->StyleHeaderPressed(), nullptr);
    EXPECT_EQ(g->StyleBackground(), other);
    EXPECT_EQ(i->Style(), nullptr);
    EXPECT_EQ(i->StyleHotTracked(), nullptr);
    EXPECT_EQ(c.styles.Count(), 1);
    // The bar hears of it too (it unassigns its own style properties).
    EXPECT_EQ(c.sink.removed, std::vector<QObject *>{static_cast<QObject *>(style)});
    EXPECT_FALSE(c.sink.kinds.empty());
}

TEST(NavBarRemoval, LinksFreedByClearReachTheLinkHandler)
{
    Content c;
    TqvNavBarItem *i = c.item("i");
    TqvNavBarGroup *g = c.group("g"), *h = c.group("h");
    TqvNavBarItemLink *a = g->CreateLink(i), *b = g->CreateLink(i), *d = h->CreateLink(i);
    c.sink.reset();
    c.groups.Clear();
    std::vector<TqvNavBarItemLink *> removed;
    for (const auto &notice : c.sink.links)
        if (notice.removed)
            removed.push_back(notice.link);
    std::sort(removed.begin(), removed.end());
    std::vector<TqvNavBarItemLink *> expected{a, b, d};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});

    // Clearing the items frees the links to them, inside the items' update, all reported.
    TqvNavBarGroup *k = c.group("k");
    k->CreateLink(i);
    c.sink.reset();
    c.items.Clear();
    EXPECT_EQ(k->LinkCount(), 0);
    ASSERT_EQ(c.sink.links.size(), 1u);
    EXPECT_TRUE(c.sink.links[0].removed);
}

TEST(NavBarRemoval, SelectionAndTopIndexFollowLinkRemoval)
{
    struct Row {
        const char *name;
        int selected, top, remove;
        int selectedAfter, topAfter;
        int selectedEvents, topEvents;
    } rows[] = {
        {"the selected link", 2, 0, 2, -1, 0, 1, 0},
        {"a link before the selection", 2, 0, 0, 1, 0, 1, 0},
        {"a link after the selection", 1, 0, 3, 1, 0, 0, 0},
        {"the top link at the end", -1, 3, 3, -1, 2, 0, 1},
        {"the last but one with top there", 3, 2, 2, 2, 2, 1, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Content c;
        TqvNavBarGroup *g = c.group("g");
        for (int i = 0; i < 4; ++i)
            g->CreateLink(c.items.Add());
        g->SetSelectedLinkIndex(row.selected);
        g->SetTopVisibleLinkIndex(row.top);
        ASSERT_EQ(g->SelectedLinkIndex(), row.selected);
        ASSERT_EQ(g->TopVisibleLinkIndex(), row.top);
        int selectedEvents = 0, topEvents = 0;
        g->OnSelectedLinkChanged = [&](QObject *) { ++selectedEvents; };
        g->OnTopVisibleLinkChanged = [&](QObject *) { ++topEvents; };
        g->RemoveLink(row.remove);
        EXPECT_EQ(g->SelectedLinkIndex(), row.selectedAfter);
        EXPECT_EQ(g->TopVisibleLinkIndex(), row.topAfter);
        EXPECT_EQ(selectedEvents, row.selectedEvents);
        EXPECT_EQ(topEvents, row.topEvents);
    }
}

TEST(NavBarRemoval, SelectionFollowsAnItemsRemoval)
{
    Content c;
    TqvNavBarGroup *g = c.group("g");
    TqvNavBarItem *a = c.item("a"), *b = c.item("b"), *d = c.item("d");
    g->CreateLink(a);
    g->CreateLink(b);
    g->CreateLink(d);
    g->SetSelectedLinkIndex(2);
    g->SetTopVisibleLinkIndex(2);
    delete a;
    EXPECT_EQ(g->SelectedLinkIndex(), 1);
    EXPECT_EQ(g->Links(1)->Item(), d);
    EXPECT_EQ(g->TopVisibleLinkIndex(), 1);
    delete d;
    EXPECT_EQ(g->SelectedLinkIndex(), -1);
    EXPECT_EQ(g->TopVisibleLinkIndex(), 0);
}

TEST(NavBarRemoval, AFreedGroupControlTurnsUseControlOff)
{
    Content c;
    TqvNavBarGroup *g = c.group("ngSms");
    g->SetUseControl(true);
    c.sink.reset();
    delete g->Control();
    EXPECT_EQ(g->Control(), nullptr);
    EXPECT_FALSE(g->UseControl());
    EXPECT_FALSE(g->ShowControl());
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});
}

TEST(NavBarRemoval, AFreedGroupFreesItsControlAndLinks)
{
    Content c;
    TqvNavBarGroup *g = c.group("ngSms");
    g->SetUseControl(true);
    QPointer<TqvNavBarGroupControl> control = g->Control();
    TqvNavBarItemLink *link = g->CreateLink(c.item("i"));
    c.sink.reset();
    delete g;
    EXPECT_TRUE(control.isNull());
    ASSERT_EQ(c.sink.links.size(), 1u);
    EXPECT_EQ(c.sink.links[0].link, link);
    EXPECT_TRUE(c.sink.links[0].removed);
    EXPECT_EQ(c.groups.Count(), 0);
}

TEST(NavBarRemoval, AFreedActionLeavesTheItemWithout)
{
    Content c;
    TqvNavBarItem *i = c.item("i");
    auto *action = new QAction("Send");
    i->SetAction(action);
    delete action;
    EXPECT_EQ(i->Action(), nullptr);
    EXPECT_EQ(i->Caption(), "Send");
}

// Groups, items and style items with links and references across them, freed in random orders;
// ASan reports any freed access.
TEST(NavBarRemoval, RandomOrdersOfDeletionLeaveNoDanglingReference)
{
    std::mt19937 rng(31);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        Content c;
        std::vector<QPointer<TqvNavBarComponentCollectionItem>> all;
        std::vector<TqvNavBarStyleItem *> styles;
        std::vector<TqvNavBarItem *> items;
        for (int i = 0; i < 3; ++i)
            styles.push_back(c.styles.Add());
        for (int i = 0; i < 6; ++i)
            items.push_back(c.items.Add());
        for (int i = 0; i < 4; ++i) {
            TqvNavBarGroup *g = c.groups.Add();
            g->setObjectName(QStringLiteral("g%1").arg(i));
            for (int n = 0; n < 5; ++n)
                g->CreateLink(items[rng() % items.size()]);
            g->SetStyleHeader(styles[rng() % styles.size()]);
            g->SetSelectedLinkIndex(int(rng() % 5));
            g->SetTopVisibleLinkIndex(int(rng() % 5));
            if (rng() % 2)
                g->SetUseControl(true);
            all.push_back(g);
        }
        for (TqvNavBarItem *item : items) {
            item->SetStyle(styles[rng() % styles.size()]);
            all.push_back(item);
        }
        for (TqvNavBarStyleItem *s : styles)
            all.push_back(s);
        std::shuffle(all.begin(), all.end(), rng);
        const int clearAt = int(rng() % all.size());
        for (int n = 0; n < int(all.size()); ++n) {
            if (n == clearAt) { // sometimes through a collection
                switch (rng() % 3) {
                case 0: c.groups.Clear(); break;
                case 1: c.items.Clear(); break;
                default: c.styles.Clear(); break;
                }
            }
            delete all[size_t(n)].data();
            for (int gi = 0; gi < c.groups.Count(); ++gi) {
                TqvNavBarGroup *g = c.groups.Items(gi);
                for (int li = 0; li < g->LinkCount(); ++li)
                    ASSERT_NE(g->Links(li)->Item(), nullptr);
                EXPECT_GE(g->SelectedLinkIndex(), -1);
                EXPECT_LT(g->SelectedLinkIndex(), g->LinkCount());
                EXPECT_LT(g->TopVisibleLinkIndex(), std::max(g->LinkCount(), 1));
                if (g->StyleHeader()) {
                    EXPECT_EQ(g->StyleHeader()->Collection(), &c.styles);
                }
            }
        }
        EXPECT_EQ(c.groups.Count() + c.items.Count() + c.styles.Count(), 0);
    }
}

// A handler run by a removal notice frees another element that the notice has still to reach.
TEST(NavBarRemoval, AnElementFreedByAHandlerDuringARemovalIsPassedOver)
{
    Content c;
    TqvNavBarItem *gone = c.item("gone");
    TqvNavBarGroup *g = c.group("g");
    QPointer<TqvNavBarGroup> h = c.group("h");
    g->CreateLink(gone);
    h->CreateLink(gone);
    g->SetSelectedLinkIndex(0);
    g->OnSelectedLinkChanged = [&](QObject *) { delete h.data(); };
    delete gone;
    EXPECT_TRUE(h.isNull());
    EXPECT_EQ(g->LinkCount(), 0);
    EXPECT_EQ(c.groups.Count(), 1);
}

// A removal reaches what refers to the element now: a link pointed elsewhere or a style replaced
// stays; a link to an item of another owner keeps its place and loses its item.
TEST(NavBarRemoval, OnlyWhatRefersToTheElementNowLetsGo)
{
    Content c;
    TqvNavBarItem *a = c.item("a"), *b = c.item("b");
    TqvNavBarGroup *g = c.group("g");
    TqvNavBarItemLink *link = g->CreateLink(a);
    link->SetItem(b);
    TqvNavBarStyleItem *s1 = c.styles.Add(), *s2 = c.styles.Add();
    g->SetStyleHeader(s1);
    g->SetStyleHeader(s2);
    b->SetStyle(s1);
    b->SetStyle(nullptr);
    b->SetStyleHotTracked(s2);

    delete a;
    ASSERT_EQ(g->LinkCount(), 1);
    EXPECT_EQ(g->Links(0)->Item(), b);
    delete s1;
    EXPECT_EQ(g->StyleHeader(), s2);
    EXPECT_EQ(b->StyleHotTracked(), s2);
    delete s2;
    EXPECT_EQ(g->StyleHeader(), nullptr);
    EXPECT_EQ(b->StyleHotTracked(), nullptr);
    delete b;
    EXPECT_EQ(g->LinkCount(), 0);

    QObject otherOwner;
    TqvNavBarItems other(&c.sink, &otherOwner);
    TqvNavBarItem *foreign = other.Add();
    g->CreateLink(foreign);
    delete foreign;
    ASSERT_EQ(g->LinkCount(), 1);
    EXPECT_EQ(g->Links(0)->Item(), nullptr);
    // The group freed before the items it links: nothing of it is left with them.
    TqvNavBarItem *later = c.item("later");
    g->CreateLink(later);
    delete g;
    delete later;
    EXPECT_EQ(c.items.Count(), 0);
}

// Freeing a large bar asks each element about its own references only: a bar of thousands of
// groups, linked items and shared styles is freed with every link and reference gone.
TEST(NavBarRemoval, ALargeBarIsFreedWholly)
{
    Content c;
    TqvNavBarStyleItem *shared = c.styles.Add();
    for (int i = 0; i < 3000; ++i) {
        TqvNavBarGroup *g = c.groups.Add();
        TqvNavBarItem *it = c.items.Add();
        it->SetStyle(shared);
        g->SetStyleHeader(shared);
        g->CreateLink(it);
        g->CreateLink(c.items.Items(i / 2));
    }
    c.sink.reset();
    c.items.Clear();
    for (int i = 0; i < c.groups.Count(); ++i)
        ASSERT_EQ(c.groups.Items(i)->LinkCount(), 0) << i;
    EXPECT_EQ(c.sink.links.size(), 6000u);
    c.styles.Clear();
    for (int i = 0; i < c.groups.Count(); ++i)
        ASSERT_EQ(c.groups.Items(i)->StyleHeader(), nullptr) << i;
    c.groups.Clear();
    EXPECT_EQ(c.groups.Count() + c.items.Count() + c.styles.Count(), 0);
}

// A style shared by more and then fewer groups than an element keeps in a short list: every
// group's count of references stays right while the style's record of them grows and shrinks,
// and each group that goes is forgotten.
TEST(NavBarRemoval, ASharedStyleCountsEachReferrerAsItsNumberGrowsAndShrinks)
{
    Content c;
    TqvNavBarStyleItem *shared = c.styles.Add();
    std::vector<TqvNavBarGroup *> groups;
    for (int i = 0; i < 40; ++i) {
        TqvNavBarGroup *g = c.groups.Add();
        g->SetStyleHeader(shared);
        if (i % 3 == 0)
            g->SetStyleBackground(shared);
        groups.push_back(g);
    }
    auto expectCounts = [&] {
        for (size_t i = 0; i < groups.size(); ++i)
            ASSERT_EQ(shared->ReferencesFrom(groups[i]), 1 + (groups[i]->StyleBackground() == shared)) << i;
    };
    expectCounts();
    // Freed from the middle outwards and from both ends, down to two.
    std::mt19937 rng(7);
    while (groups.size() > 2) {
        const size_t at = rng() % groups.size();
        TqvNavBarGroup *g = groups[at];
        groups.erase(groups.begin() + std::ptrdiff_t(at));
        delete g;
        EXPECT_EQ(shared->ReferencesFrom(g), 0);
        expectCounts();
    }
    // Grown past the short list again; one reference of each let go.
    for (int i = 0; i < 30; ++i) {
        TqvNavBarGroup *g = c.groups.Add();
        g->SetStyleHeader(shared);
        g->SetStyleBackground(shared);
        groups.push_back(g);
    }
    for (TqvNavBarGroup *g : groups)
        g->SetStyleHeader(nullptr);
    for (TqvNavBarGroup *g : groups)
        ASSERT_EQ(shared->ReferencesFrom(g), g->StyleBackground() == shared ? 1 : 0);
    delete shared;
    for (TqvNavBarGroup *g : groups)
        EXPECT_EQ(g->StyleBackground(), nullptr);
}

TEST(NavBarRemoval, FreeingTheGroupsCollectionReportsItsLinks)
{
    navbar_test::RecordingSink sink;
    TqvNavBarItems items(&sink, &sink.bar);
    TqvNavBarItem *i = items.Add();
    TqvNavBarItemLink *link = nullptr;
    {
        TqvNavBarGroups groups(&sink, &sink.bar);
        link = groups.Add()->CreateLink(i);
        sink.reset();
    }
    ASSERT_EQ(sink.links.size(), 1u);
    EXPECT_EQ(sink.links[0].link, link);
    EXPECT_TRUE(sink.links[0].removed);
    EXPECT_TRUE(sink.kinds.empty());
}

TEST(NavBarRemoval, FreeingTheOwnerFirstIsSafe)
{
    // The owner goes before the collections: its children are freed one by one while the
    // collections still list them.
    auto *owner = new QWidget;
    navbar_test::RecordingSink sink;
    {
        TqvNavBarGroups groups(&sink, owner);
        TqvNavBarItems items(&sink, owner);
        TqvNavBarItem *i = items.Add();
        groups.Add()->CreateLink(i);
        groups.Add()->CreateLink(i);
        delete owner;
        EXPECT_EQ(groups.Count(), 0);
        EXPECT_EQ(items.Count(), 0);
    }
}

} // namespace
