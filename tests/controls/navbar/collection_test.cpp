// Owner-bound collections: adding, moving, removing, clearing, updates and assignment.
#include "recording_bar.h"

#include <gtest/gtest.h>

namespace {

using namespace controls;
using navbar_test::Content;
using Kinds = std::vector<TqvNavBarChangeType>;

QStringList names(const TqvNavBarGroups &groups)
{
    QStringList out;
    for (int i = 0; i < groups.Count(); ++i)
        out << groups.Items(i)->objectName();
    return out;
}

TEST(NavBarCollection, AddOwnsByTheBarAndReportsARebuild)
{
    Content c;
    TqvNavBarGroup *g = c.groups.Add();
    EXPECT_EQ(g->parent(), &c.sink.bar);
    EXPECT_EQ(g->Collection(), &c.groups);
    EXPECT_EQ(g->Index(), 0);
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});
    g->SetTag(42);
    EXPECT_EQ(g->Tag(), 42);
}

TEST(NavBarCollection, IndexIsClampedAndAlwaysReportsARebuild)
{
    struct Row {
        const char *name;
        int from, to;
        QStringList expected;
    } rows[] = {
        {"-5 goes first", 2, -5, {"c", "a", "b"}},
        {"past the end goes last", 0, 99, {"b", "c", "a"}},
        {"first to -5 stays first", 0, -5, {"a", "b", "c"}},
        {"last past the end stays last", 2, 3, {"a", "b", "c"}},
        {"an ordinary move", 0, 1, {"b", "a", "c"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Content c;
        c.group("a");
        c.group("b");
        c.group("c");
        c.sink.reset();
        c.groups.Items(row.from)->SetIndex(row.to);
        EXPECT_EQ(names(c.groups), row.expected);
        EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});
    }
}

TEST(NavBarCollection, NothingIsReportedInsideAnUpdateAndItsEndReportsTheStrongestKindOnce)
{
    Content c;
    TqvNavBarItem *item = c.item("i");
    c.sink.reset();
    c.items.BeginUpdate();
    c.items.BeginUpdate();
    item->SetEnabled(false);        // 2
    item->SetCaption("x");          // 1
    item->SetSmallImageIndex(3);    // 2
    c.items.EndUpdate();
    EXPECT_TRUE(c.sink.kinds.empty());
    c.items.EndUpdate();
    EXPECT_EQ(c.sink.kinds, Kinds{ctRelayout});
    c.items.EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(c.items.UpdateCount(), 0);

    c.sink.reset();
    c.items.BeginUpdate();
    c.items.EndUpdate(); // nothing changed, nothing reported
    EXPECT_TRUE(c.sink.kinds.empty());
}

TEST(NavBarCollection, ClearFreesEveryElementAndReportsOnce)
{
    Content c;
    QPointer<TqvNavBarGroup> a = c.group("a"), b = c.group("b");
    c.sink.reset();
    c.groups.Clear();
    EXPECT_EQ(c.groups.Count(), 0);
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(b.isNull());
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});
    EXPECT_EQ(c.sink.removed.size(), 2u); // the bar hears of each
    c.sink.reset();
    c.groups.Clear();
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});
}

TEST(NavBarCollection, DeletingAnElementTakesItOutOfItsCollection)
{
    Content c;
    c.group("a");
    TqvNavBarGroup *b = c.group("b");
    c.group("c");
    c.sink.reset();
    delete b;
    EXPECT_EQ(names(c.groups), (QStringList{"a", "c"}));
    EXPECT_EQ(c.sink.kinds, Kinds{ctRebuild});
    ASSERT_EQ(c.sink.removed.size(), 1u);
    EXPECT_EQ(c.sink.removed[0], static_cast<QObject *>(b));
}

TEST(NavBarCollection, InsertMovesAnElementUnderTheOwner)
{
    Content c;
    auto *loose = new TqvNavBarItem; // made outside the bar
    c.items.Insert(loose);
    EXPECT_EQ(loose->parent(), &c.sink.bar);
    EXPECT_EQ(loose->Index(), 0);
    TqvNavBarGroup *g = c.group("g");
    g->CreateLink(loose);
    delete loose; // found as a sibling: its link goes
    EXPECT_EQ(g->LinkCount(), 0);

    Content other;
    TqvNavBarItem *moved = other.item("moved");
    c.items.Insert(moved);
    EXPECT_EQ(other.items.Count(), 0);
    EXPECT_EQ(c.items.Items(0), moved);
    EXPECT_EQ(moved->parent(), &c.sink.bar);
    c.items.Remove(moved);
    EXPECT_EQ(moved->Collection(), nullptr);
    EXPECT_EQ(moved->Index(), -1);
}

TEST(NavBarCollection, AssignClearsAndCopies)
{
    Content source, target;
    TqvNavBarItem *i = source.item("i");
    i->SetCaption("Inbox");
    i->SetLargeImageIndex(4);
    target.item("old");
    target.items.Assign(source.items);
    ASSERT_EQ(target.items.Count(), 1);
    EXPECT_EQ(target.items.Items(0)->Caption(), "Inbox");
    EXPECT_EQ(target.items.Items(0)->LargeImageIndex(), 4);
    EXPECT_EQ(target.items.Items(0)->parent(), &target.sink.bar);

    TqvNavBarGroup *g = source.group("g");
    g->CreateLink(i);
    g->SetCaption("Messages");
    target.groups.Assign(source.groups);
    ASSERT_EQ(target.groups.Count(), 1);
    EXPECT_EQ(target.groups.Items(0)->Caption(), "Messages");
    EXPECT_EQ(target.groups.Items(0)->LinkCount(), 1);

    source.styles.Add()->Style().SetBackColor(0x123);
    target.styles.Assign(source.styles);
    ASSERT_EQ(target.styles.Count(), 1);
    EXPECT_EQ(target.styles.Items(0)->Style().BackColor(), 0x123u);
}

} // namespace
