// The navigation bar as a real widget: properties, the active group, mouse input, scroll buttons,
// hints, the start and the ends of a drag, the scroll bar and the main window's shape.
#include "controls/navbar/nav_bar.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

using namespace controls;

namespace {

QString screenshotDir()
{
    const QByteArray bin = qgetenv("SELVARK_BINARY_DIR");
    const QString dir =
        (bin.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(bin)) + "/screenshots/controls/navbar";
    QDir().mkpath(dir);
    return dir;
}

// A bar of `groups` groups with `links` links each, shown in a window.
struct Fixture {
    QWidget window;
    TqvNavBar *bar;
    explicit Fixture(int groups = 3, int links = 4, int view = vkBase, QSize size = {150, 300})
    {
        bar = new TqvNavBar(&window);
        bar->setObjectName("nbMain");
        bar->SetView(view);
        bar->setFrameStyle(QFrame::Box | QFrame::Plain);
        bar->setLineWidth(1);
        bar->resize(size);
        const QStringList names{"Inbox", "Outbox", "Sent items", "Drafts", "Archive", "Trash"};
        for (int g = 0; g < groups; ++g) {
            TqvNavBarGroup *grp = bar->GroupsRef().Add();
            grp->SetCaption(QStringList{"Mail", "Phone", "Tools", "Extras"}[g % 4]);
            for (int i = 0; i < links; ++i) {
                TqvNavBarItem *it = bar->Items().Add();
                it->SetCaption(names[i % names.size()]);
                grp->CreateLink(it);
            }
        }
        window.resize(size + QSize(20, 20));
        window.show();
        bar->move(10, 10);
    }
    TqvNavBarGroup *group(int i) const { return bar->GroupsRef().Items(i); }
    // A client point as a widget point.
    QPoint w(TPoint p) const { return p.toQPoint() + bar->ClientRectInWidget().topLeft(); }
    static TPoint mid(const TRect &r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    QPoint caption(int g) const { return w(mid(bar->ViewInfo().GroupViewInfo(group(g))->CaptionRect())); }
    QPoint link(int g, int i) const { return w(mid(bar->ViewInfo().LinkViewInfo(group(g)->Links(i))->ImageRect())); }

    void mouse(QEvent::Type t, QPoint p, Qt::MouseButton b, Qt::MouseButtons held, Qt::KeyboardModifiers m = {})
    {
        QMouseEvent e(t, QPointF(p), QPointF(bar->mapToGlobal(p)), b, held, m);
        QApplication::sendEvent(bar, &e);
    }
    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton) { mouse(QEvent::MouseButtonPress, p, b, b); }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton) { mouse(QEvent::MouseButtonRelease, p, b, {}); }
    void move(QPoint p, Qt::MouseButtons held = {}) { mouse(QEvent::MouseMove, p, Qt::NoButton, held); }
    void key(int k)
    {
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(bar, &e);
    }
};

bool notBlank(const QImage &img)
{
    if (img.isNull())
        return false;
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            if (img.pixel(x, y) != first)
                return true;
    return false;
}

} // namespace

// ---- properties ------------------------------------------------------------------------------

TEST(NavBarControl, InitialValuesAndPropertyEffects)
{
    Fixture f(2, 3);
    TqvNavBar &bar = *f.bar;
    EXPECT_EQ(bar.objectName(), "nbMain");
    EXPECT_EQ(bar.DragCursor(), -1120);
    EXPECT_EQ(bar.DragCopyCursor(), -1119);
    EXPECT_EQ(bar.HotTrackedLinkCursor(), -1118);
    EXPECT_EQ(bar.HotTrackedGroupCursor(), 0);
    EXPECT_EQ(bar.DragDropFlags(), kNavBarAllDragDropFlags);
    EXPECT_FALSE(bar.AllowSelectLinks());
    EXPECT_FALSE(bar.EachGroupHasSelectedLink());
    EXPECT_TRUE(bar.ShowGroupCaptions());
    EXPECT_EQ(TqvNavBar().size(), QSize(150, 300));
    // The one-pixel frame puts the client area one pixel in.
    EXPECT_EQ(bar.ClientRectInWidget(), QRect(1, 1, 148, 298));

    bar.SetSpaceBetweenGroups(-5);
    EXPECT_EQ(bar.SpaceBetweenGroups(), 0);
    bar.SetSpaceBetweenGroups(7);
    EXPECT_EQ(bar.SpaceBetweenGroups(), 7);

    for (int which = 0; which < 2; ++which) {
        bar.SetAllowSelectLinks(true);
        bar.SetEachGroupHasSelectedLink(true);
        f.group(0)->SetSelectedLinkIndex(1);
        f.group(1)->SetSelectedLinkIndex(2);
        if (which == 0)
            bar.SetAllowSelectLinks(false);
        else
            bar.SetEachGroupHasSelectedLink(false);
        EXPECT_EQ(f.group(0)->SelectedLinkIndex(), -1) << which;
        EXPECT_EQ(f.group(1)->SelectedLinkIndex(), -1) << which;
    }

    EXPECT_EQ(NavBarCursorShape(-1120), Qt::DragMoveCursor);
    EXPECT_EQ(NavBarCursorShape(-1119), Qt::DragCopyCursor);
    EXPECT_EQ(NavBarCursorShape(-1118), Qt::PointingHandCursor);
    EXPECT_EQ(NavBarCursorShape(0), Qt::ArrowCursor);
}

TEST(NavBarControl, EveryViewPaintsAndSurvivesExtremeSizes)
{
    for (int view = 0; view < kNavBarViewKindCount; ++view) {
        Fixture f(3, 4, view);
        const QImage img = f.bar->grab().toImage();
        EXPECT_TRUE(notBlank(img)) << view;
        f.bar->resize(0, 0);
        (void)f.bar->grab();
        f.bar->resize(3000, 3000);
        EXPECT_TRUE(notBlank(f.bar->grab().toImage())) << view;
        f.bar->SetView(view + 1);
    }
}

// ---- the active group ------------------------------------------------------------------------

TEST(NavBarControl, ActiveGroupRules)
{
    TqvNavBar empty;
    int raised = 0;
    empty.OnActiveGroupChanged = [&](QObject *) { ++raised; };
    EXPECT_EQ(empty.ActiveGroupIndex(), -1);
    empty.SetActiveGroupIndex(0);
    EXPECT_EQ(empty.ActiveGroupIndex(), -1);
    EXPECT_EQ(raised, 0);

    Fixture f(3, 2);
    f.bar->OnActiveGroupChanged = [&](QObject *) { ++raised; };
    EXPECT_EQ(f.bar->ActiveGroupIndex(), 0);
    f.bar->SetActiveGroupIndex(0);
    EXPECT_EQ(raised, 0) << "the same index raises nothing";
    f.bar->SetActiveGroupIndex(7);
    EXPECT_EQ(f.bar->ActiveGroupIndex(), 0);
    f.group(2)->SetVisible(false);
    f.bar->SetActiveGroupIndex(2);
    EXPECT_EQ(f.bar->ActiveGroupIndex(), 2) << "an invisible group may become active";
    EXPECT_EQ(raised, 1);
    delete f.group(2);
    EXPECT_EQ(f.bar->ActiveGroupIndex(), 0) << "removing the active group falls back to group 0";
    EXPECT_EQ(raised, 1) << "silently";
}

TEST(NavBarControl, BarBuiltWhileLoadingRaisesActiveGroupOnce)
{
    TqvNavBar bar;
    int raised = 0, indexSeen = -2;
    bar.OnActiveGroupChanged = [&](QObject *) {
        ++raised;
        indexSeen = bar.ActiveGroupIndex();
    };
    bar.beginLoading();
    bar.SetActiveGroupIndex(0);
    for (int i = 0; i < 3; ++i)
        bar.GroupsRef().Add()->SetUseControl(true);
    EXPECT_EQ(bar.GroupsRef().Items(0)->Control(), nullptr) << "no group controls while loading";
    EXPECT_EQ(raised, 0);
    bar.endLoading();
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(indexSeen, 0);
    EXPECT_NE(bar.GroupsRef().Items(0)->Control(), nullptr);
}

// ---- mouse -----------------------------------------------------------------------------------

TEST(NavBarControl, MouseRows)
{
    Fixture f(3, 3);
    TqvNavBar &bar = *f.bar;
    std::vector<TqvNavBarGroup *> groupClicks;
    std::vector<TqvNavBarItemLink *> linkClicks, linkPresses;
    bar.OnGroupClick = [&](QObject *, TqvNavBarGroup *g) { groupClicks.push_back(g); };
    bar.OnLinkClick = [&](QObject *, TqvNavBarItemLink *l) { linkClicks.push_back(l); };
    bar.OnLinkPress = [&](QObject *, TqvNavBarItemLink *l) { linkPresses.push_back(l); };

    // A caption pressed and released elsewhere is clicked, and becomes active.
    f.press(f.caption(1));
    EXPECT_EQ(bar.PressedGroup(), f.group(1));
    f.release(QPoint(140, 290));
    ASSERT_EQ(groupClicks.size(), 1u);
    EXPECT_EQ(groupClicks[0], f.group(1));
    EXPECT_EQ(bar.ActiveGroupIndex(), 1);
    EXPECT_EQ(bar.MouseDownGroup(), nullptr);

    // A link click; with AllowSelectLinks off the selection stays.
    f.press(f.link(1, 1));
    f.release(f.link(1, 1));
    ASSERT_EQ(linkClicks.size(), 1u);
    EXPECT_EQ(linkClicks[0], f.group(1)->Links(1));
    EXPECT_EQ(f.group(1)->SelectedLinkIndex(), -1);
    bar.SetAllowSelectLinks(true);
    f.press(f.link(1, 2));
    f.release(f.link(1, 2));
    EXPECT_EQ(f.group(1)->SelectedLinkIndex(), 2);

    // A disabled item's link neither presses nor clicks.
    f.group(1)->Links(0)->Item()->SetEnabled(false);
    linkClicks.clear();
    linkPresses.clear();
    f.press(f.link(1, 0));
    EXPECT_EQ(bar.PressedLink(), nullptr);
    f.release(f.link(1, 0));
    EXPECT_TRUE(linkPresses.empty());
    EXPECT_TRUE(linkClicks.empty());
    EXPECT_EQ(f.group(1)->SelectedLinkIndex(), 2);

    // Hot tracking, then a right press clears the hot references.
    f.move(f.link(1, 2));
    EXPECT_EQ(bar.HotLink(), f.group(1)->Links(2));
    EXPECT_EQ(bar.CurrentCursorShape(), Qt::PointingHandCursor);
    f.press(f.link(1, 2), Qt::RightButton);
    EXPECT_EQ(bar.HotLink(), nullptr);
    EXPECT_EQ(bar.HotGroup(), nullptr);
    f.release(f.link(1, 2), Qt::RightButton);
}

TEST(NavBarControl, CaptionWinsOverLinkWhenBothAreHit)
{
    // The icon views put links under captions nowhere, so stack a link under the caption by
    // letting the group caption and a link share the press: a caption press is remembered as the
    // mouse-down group and the release clicks the group, never the link.
    Fixture f(2, 2);
    int groupClicks = 0, linkClicks = 0;
    f.bar->OnGroupClick = [&](QObject *, TqvNavBarGroup *) { ++groupClicks; };
    f.bar->OnLinkClick = [&](QObject *, TqvNavBarItemLink *) { ++linkClicks; };
    f.press(f.caption(1));
    f.release(f.link(0, 0));
    EXPECT_EQ(groupClicks, 1);
    EXPECT_EQ(linkClicks, 0);
}

TEST(NavBarControl, DragStartsOnlyBeyondThreePixelsWithTheButtonHeld)
{
    Fixture f(2, 3);
    const QPoint p = f.link(0, 1);
    f.press(p);
    f.move(p + QPoint(3, -3), Qt::LeftButton);
    EXPECT_FALSE(f.bar->IsDragging());
    f.move(p + QPoint(0, 4), Qt::LeftButton);
    EXPECT_TRUE(f.bar->IsDragging());
    EXPECT_EQ(f.bar->CurrentCursorShape(), Qt::ForbiddenCursor) << "beside itself: nothing to move";
    f.move(f.link(0, 2) + QPoint(0, 8), Qt::LeftButton);
    EXPECT_EQ(f.bar->CurrentCursorShape(), Qt::DragMoveCursor);
    f.key(Qt::Key_Escape);
    EXPECT_FALSE(f.bar->IsDragging()) << "Escape cancels";
    EXPECT_EQ(f.bar->MouseDownLink(), nullptr);
    f.release(p);

    // The right button cancels too.
    f.press(p);
    f.move(p + QPoint(10, 0), Qt::LeftButton);
    ASSERT_TRUE(f.bar->IsDragging());
    f.press(p, Qt::RightButton);
    EXPECT_FALSE(f.bar->IsDragging());

    // A press whose release the bar never saw (a dialog took the mouse) starts no drag on the next
    // plain move.
    f.press(f.caption(1));
    f.move(f.caption(1) + QPoint(0, 20), Qt::NoButton);
    EXPECT_FALSE(f.bar->IsDragging());
    EXPECT_EQ(f.bar->MouseDownGroup(), nullptr);

    // A lost grab forgets the press as well.
    f.press(f.caption(0));
    QEvent ungrab(QEvent::UngrabMouse);
    QApplication::sendEvent(f.bar, &ungrab);
    EXPECT_EQ(f.bar->MouseDownGroup(), nullptr);
    EXPECT_EQ(f.bar->PressedGroup(), nullptr);
}

TEST(NavBarControl, RemovalClearsEveryReferenceAndHandlersMayFreeThings)
{
    Fixture f(5, 3);
    // The mouse-down group freed before the release: the release clicks nothing.
    int clicks = 0;
    f.bar->OnGroupClick = [&](QObject *, TqvNavBarGroup *) { ++clicks; };
    f.press(f.caption(2));
    delete f.group(2);
    EXPECT_EQ(f.bar->MouseDownGroup(), nullptr);
    EXPECT_EQ(f.bar->PressedGroup(), nullptr);
    f.release(QPoint(5, 5));
    EXPECT_EQ(clicks, 0);

    // The mouse-down link freed before the release.
    f.press(f.link(0, 1));
    f.group(0)->RemoveLink(1);
    EXPECT_EQ(f.bar->MouseDownLink(), nullptr);
    f.release(QPoint(5, 5));

    // The dragged group deleted mid-drag, from a timer: the drag ends without a drop.
    f.press(f.caption(1));
    f.move(f.caption(1) + QPoint(0, 10), Qt::LeftButton);
    ASSERT_TRUE(f.bar->IsDragging());
    QPointer<TqvNavBarGroup> dragged(f.group(1));
    QTimer::singleShot(0, dragged.data(), [&] { delete dragged.data(); });
    QTRY_VERIFY(!dragged);
    EXPECT_FALSE(f.bar->IsDragging());
    f.move(QPoint(20, 20), Qt::LeftButton);
    f.release(QPoint(20, 20));

    // A click handler that deletes the group it was handed, and one that deletes the bar.
    f.bar->OnGroupClick = [&](QObject *, TqvNavBarGroup *g) { delete g; };
    f.press(f.caption(1));
    f.release(f.caption(1));
    EXPECT_EQ(f.bar->GroupsRef().Count(), 2);
    QPointer<TqvNavBar> bar(f.bar);
    f.bar->OnGroupClick = [&](QObject *, TqvNavBarGroup *) { delete bar.data(); };
    f.press(f.caption(0));
    f.release(f.caption(0));
    EXPECT_TRUE(bar.isNull());
}

// The bar frees its content in collection order (groups, items, style items, each last first)
// whatever it does to Qt's child list on the way, and frees every other child it holds.
// Whatever stands among the bar's children ahead of part of its content: nothing, a few
// widgets, more widgets than the bar steps past when it takes its content out, or a window.
TEST(NavBarControl, FreeingTheBarFreesContentInCollectionOrderAndEveryOtherChild)
{
    struct Case {
        const char *name;
        int widgetsAhead;
        bool windowAhead;
    } cases[] = {{"nothing", 0, false}, {"a few widgets", 3, false}, {"many widgets", 70, false},
                 {"a window", 0, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f(4, 2);
        std::vector<QPointer<QObject>> strangers;
        for (int i = 0; i < c.widgetsAhead; ++i)
            strangers.emplace_back(new QWidget(f.bar));
        if (c.windowAhead) {
            auto *w = new QWidget(f.bar, Qt::Tool);
            ASSERT_TRUE(w->isWindow());
            strangers.emplace_back(w);
        }
        // Content made after those children.
        for (int g = 0; g < 2; ++g) {
            TqvNavBarGroup *grp = f.bar->GroupsRef().Add();
            for (int i = 0; i < 2; ++i)
                grp->CreateLink(f.bar->Items().Add());
        }
        TqvNavBarStyleItem *style = f.bar->Styles().Add();
        TqvNavBarStyleItem *style2 = f.bar->Styles().Add();
        f.group(0)->SetStyleHeader(style2);
        f.group(5)->SetStyleBackground(style);
        f.bar->Items().Items(1)->SetStyle(style);
        // Children that are none of the bar's own content, among and after its content.
        strangers.emplace_back(new QObject(f.bar));
        f.group(1)->SetUseControl(true);
        QPointer<TqvNavBarGroupControl> control(f.group(1)->Control());
        ASSERT_TRUE(control);
        QPointer<QTreeWidget> tree(new QTreeWidget(control));
        strangers.emplace_back(new QWidget(f.bar));
        strangers.emplace_back(new QObject(f.bar));
        // Hot and pressed state that must not outlive its link.
        f.move(f.link(0, 1));
        ASSERT_NE(f.bar->HotLink(), nullptr);
        f.press(f.link(0, 0));
        ASSERT_NE(f.bar->PressedLink(), nullptr);

        std::vector<QObject *> expected, freed;
        auto watch = [&](QObject *o) {
            expected.push_back(o);
            QObject::connect(o, &QObject::destroyed, [&freed](QObject *gone) { freed.push_back(gone); });
        };
        for (int i = f.bar->GroupsRef().Count() - 1; i >= 0; --i)
            watch(f.group(i));
        for (int i = f.bar->Items().Count() - 1; i >= 0; --i)
            watch(f.bar->Items().Items(i));
        watch(style2);
        watch(style);

        delete f.bar;
        EXPECT_EQ(freed, expected);
        for (const QPointer<QObject> &o : strangers)
            EXPECT_FALSE(o);
        EXPECT_FALSE(control);
        EXPECT_FALSE(tree);
    }
}

// Clearing a live bar's collection leaves its other children, and the stacking of its widgets.
TEST(NavBarControl, ClearingKeepsOtherChildrenAndWidgetStacking)
{
    Fixture f(3, 3);
    auto *low = new QWidget(f.bar);
    auto *stranger = new QObject(f.bar);
    f.group(0)->SetUseControl(true);
    auto *high = new QWidget(f.bar);
    auto widgetsInOrder = [&] {
        std::vector<QObject *> w;
        for (QObject *o : f.bar->children())
            if (o->isWidgetType())
                w.push_back(o);
        return w;
    };
    const std::vector<QObject *> stacking = widgetsInOrder();
    ASSERT_GE(stacking.size(), 4u); // the scroll bar, low, the group control, high

    f.bar->Items().Clear();
    EXPECT_EQ(f.group(0)->LinkCount(), 0);
    EXPECT_EQ(widgetsInOrder(), stacking);
    EXPECT_EQ(stranger->parent(), f.bar);
    EXPECT_EQ(low->parent(), f.bar);
    EXPECT_EQ(high->parent(), f.bar);
    EXPECT_EQ(f.bar->GroupsRef().Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(f.group(i)->parent(), f.bar);
}

// ---- drag and drop ---------------------------------------------------------------------------

namespace {

// A widget point at which a drop lands in group g at index n.
QPoint dropPoint(Fixture &f, TqvNavBarGroup *g, int n)
{
    const int h = f.bar->ClientHeight(), w = f.bar->ClientWidth();
    for (int y = 0; y < h; ++y) {
        const TPoint p{w / 2, y};
        if (f.bar->ViewInfo().GroupAtCaptionPos(p))
            continue;
        const TqvNavBarDropTarget t = f.bar->ViewInfo().GetDropTarget(p);
        if (t.group == g && t.index == n)
            return f.w(p);
    }
    ADD_FAILURE() << "no drop point for index " << n;
    return {};
}

struct DragRecorder {
    int ends = 0;
    explicit DragRecorder(Fixture &f) { f.bar->OnEndDrag = [this](QObject *) { ++ends; }; }
};

TqvNavBarItem *itemAt(TqvNavBarGroup *g, int i) { return g->Links(i)->Item(); }

} // namespace

TEST(NavBarDrag, LinkWithinItsGroupLandsBeforeTheDropPosition)
{
    Fixture f(2, 5);
    DragRecorder rec(f);
    TqvNavBarGroup *g = f.group(0);
    TqvNavBarItem *moved = itemAt(g, 0);
    f.press(f.link(0, 0));
    f.move(f.link(0, 0) + QPoint(0, 6), Qt::LeftButton);
    const QPoint to = dropPoint(f, g, 3);
    f.move(to, Qt::LeftButton);
    EXPECT_TRUE(f.bar->DropAccepted());
    f.release(to);
    EXPECT_EQ(itemAt(g, 2), moved) << "dropped at 3, lands at 2";
    EXPECT_EQ(g->LinkCount(), 5);
    EXPECT_FALSE(f.bar->IsDragging());
    EXPECT_EQ(TqvCustomNavBar::CurrentDrag(), nullptr);
    EXPECT_EQ(rec.ends, 1);
}

TEST(NavBarDrag, LinkIntoAnotherGroupAndOverACaption)
{
    Fixture f(2, 3);
    DragRecorder rec(f);
    f.bar->SetAllowSelectLinks(true);
    f.bar->SetEachGroupHasSelectedLink(true);
    TqvNavBarGroup *src = f.group(0), *dst = f.group(1);
    src->SetSelectedLinkIndex(2);
    TqvNavBarItem *moved = itemAt(src, 1);
    f.press(f.link(0, 1));
    f.move(f.link(0, 1) + QPoint(0, 6), Qt::LeftButton);
    // Over the other group's caption: it opens and the drop there is refused.
    f.move(f.caption(1), Qt::LeftButton);
    EXPECT_EQ(f.bar->ActiveGroupIndex(), 1);
    EXPECT_FALSE(f.bar->DropAccepted());
    const QPoint to = dropPoint(f, dst, 1);
    f.move(to, Qt::LeftButton);
    EXPECT_TRUE(f.bar->DropAccepted());
    f.release(to);
    EXPECT_EQ(src->LinkCount(), 2);
    EXPECT_EQ(dst->LinkCount(), 4);
    EXPECT_EQ(itemAt(dst, 1), moved);
    EXPECT_EQ(src->SelectedLinkIndex(), -1);
    EXPECT_EQ(rec.ends, 1);

    // Released over a caption: refused, nothing moves, the drag still ends.
    f.press(f.link(1, 0));
    f.move(f.link(1, 0) + QPoint(0, 6), Qt::LeftButton);
    f.move(f.caption(0), Qt::LeftButton);
    f.release(f.caption(0));
    EXPECT_EQ(dst->LinkCount(), 4);
    EXPECT_EQ(src->LinkCount(), 2);
    EXPECT_FALSE(f.bar->IsDragging());
    EXPECT_EQ(rec.ends, 2);
}

TEST(NavBarDrag, CtrlCopiesWhileHeldAndMovesOnceReleased)
{
    Fixture f(1, 4);
    TqvNavBarGroup *g = f.group(0);
    TqvNavBarItem *dragged = itemAt(g, 0);
    f.press(f.link(0, 0));
    f.move(f.link(0, 0) + QPoint(0, 6), Qt::LeftButton);
    const QPoint to = dropPoint(f, g, 3);
    f.move(to, Qt::LeftButton);
    EXPECT_EQ(f.bar->CurrentCursorShape(), Qt::DragMoveCursor);
    QKeyEvent ctrlDown(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QApplication::sendEvent(f.bar, &ctrlDown);
    EXPECT_EQ(f.bar->CurrentCursorShape(), Qt::DragCopyCursor);
    f.mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, {}, Qt::ControlModifier);
    EXPECT_EQ(g->LinkCount(), 5) << "a copy adds a link";
    EXPECT_EQ(itemAt(g, 0), dragged);
    EXPECT_EQ(itemAt(g, 3), dragged);

    // Ctrl pressed and released again before the drop: a move.
    f.press(f.link(0, 0));
    f.move(f.link(0, 0) + QPoint(0, 6), Qt::LeftButton);
    const QPoint to2 = dropPoint(f, g, 2);
    f.mouse(QEvent::MouseMove, to2, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(f.bar->CurrentCursorShape(), Qt::DragCopyCursor);
    QKeyEvent ctrlUp(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
    QApplication::sendEvent(f.bar, &ctrlUp);
    EXPECT_EQ(f.bar->CurrentCursorShape(), Qt::DragMoveCursor);
    f.release(to2);
    EXPECT_EQ(g->LinkCount(), 5);
    EXPECT_EQ(itemAt(g, 1), dragged);
}

TEST(NavBarDrag, GroupDragReordersGroupsAndOutsideHasNoTarget)
{
    Fixture f(3, 2);
    DragRecorder rec(f);
    TqvNavBarGroup *first = f.group(0);
    f.press(f.caption(0));
    f.move(f.caption(0) + QPoint(0, 5), Qt::LeftButton);
    ASSERT_TRUE(f.bar->IsDragging());
    // Outside the bar there is no target: the release there drops nothing.
    f.move(QPoint(-30, 10), Qt::LeftButton);
    EXPECT_FALSE(f.bar->DropAccepted());
    const QPoint to = f.caption(2);
    f.move(to, Qt::LeftButton);
    EXPECT_TRUE(f.bar->DropAccepted());
    f.release(to);
    EXPECT_EQ(first->Index(), 2);
    EXPECT_EQ(rec.ends, 1);

    f.press(f.caption(0));
    f.move(f.caption(0) + QPoint(0, 5), Qt::LeftButton);
    f.move(QPoint(-30, 10), Qt::LeftButton);
    f.release(QPoint(-30, 10));
    EXPECT_EQ(first->Index(), 2);
    EXPECT_EQ(rec.ends, 2);
}

// ---- scroll buttons --------------------------------------------------------------------------

TEST(NavBarControl, ScrollButtons)
{
    Fixture f(2, 12, vkBase, {150, 200});
    TqvNavBar &bar = *f.bar;
    TqvNavBarViewInfo &vi = bar.ViewInfo();
    const TRect bottom = vi.BottomScrollButtonRect();
    ASSERT_FALSE(bottom.isEmpty());
    EXPECT_TRUE(vi.TopScrollButtonState() & sHidden);

    // A hidden button does nothing.
    f.press(f.w(Fixture::mid(vi.TopScrollButtonRect().isEmpty() ? TRect(0, 0, 0, 0) : vi.TopScrollButtonRect())));
    f.release(QPoint(1, 1));
    bar.TopScrollButtonPressed();
    EXPECT_EQ(f.group(0)->TopVisibleLinkIndex(), 0);
    EXPECT_FALSE(bar.ScrollTimer().isActive());

    const QPoint p = f.w(Fixture::mid(bottom));
    f.move(p);
    f.press(p);
    EXPECT_EQ(f.group(0)->TopVisibleLinkIndex(), 1);
    EXPECT_TRUE(bar.BottomScrollButtonHeld());
    EXPECT_TRUE(bar.ScrollTimer().isActive());
    EXPECT_EQ(bar.ScrollTimer().interval(), 300);
    // Each tick one more; the ticks are stepped by hand instead of waiting out 300 ms.
    bar.Input().TimerFired(TqvNavBarTimer::Scroll);
    bar.Input().TimerFired(TqvNavBarTimer::Scroll);
    EXPECT_EQ(f.group(0)->TopVisibleLinkIndex(), 3);
    f.release(f.w(Fixture::mid(bar.ViewInfo().BottomScrollButtonRect())));
    EXPECT_FALSE(bar.ScrollTimer().isActive());
    const int stopped = f.group(0)->TopVisibleLinkIndex();
    bar.Input().TimerFired(TqvNavBarTimer::Scroll); // a tick already queued at the release
    EXPECT_EQ(f.group(0)->TopVisibleLinkIndex(), stopped);
    EXPECT_FALSE(bar.BottomScrollButtonHeld());
}

TEST(NavBarControl, DragEndedOverScrollButtonLeavesNothingScrolling)
{
    Fixture f(2, 12, vkBase, {150, 200});
    TqvNavBar &bar = *f.bar;
    const QPoint from = f.link(0, 0);
    f.press(from);
    f.move(from + QPoint(0, 10), Qt::LeftButton);
    ASSERT_TRUE(bar.IsDragging());
    const QPoint over = f.w(Fixture::mid(bar.ViewInfo().BottomScrollButtonRect()));
    f.move(over, Qt::LeftButton);
    f.release(over);
    EXPECT_FALSE(bar.IsDragging());
    EXPECT_FALSE(bar.ScrollTimer().isActive());
    const int top = f.group(0)->TopVisibleLinkIndex();
    f.move(over);
    bar.Input().TimerFired(TqvNavBarTimer::Scroll); // a tick stepped by hand
    EXPECT_EQ(f.group(0)->TopVisibleLinkIndex(), top) << "hovering scrolls nothing";
}

// ---- hints -----------------------------------------------------------------------------------

TEST(NavBarControl, HintShowsAfterPauseAndHidesOnKeysAndButtons)
{
    Fixture f(2, 2);
    TqvNavBar &bar = *f.bar;
    bar.MapToScreen = [](QPoint p) { return p + QPoint(300, 200); };
    bar.SetShowGroupsHint(true);
    f.group(1)->SetHint("Phone book|Opens the phone book");
    const QPoint p = f.caption(1);
    f.move(p);
    ASSERT_TRUE(bar.HintTimer().isActive());
    EXPECT_EQ(bar.HintTimer().interval(), bar.ViewInfo().HintPause());
    bar.Input().TimerFired(TqvNavBarTimer::Hint);
    EXPECT_TRUE(bar.IsHintShowing());
    EXPECT_TRUE(bar.HintWindow().isVisible());
    EXPECT_EQ(bar.HintWindow().Text(), "Phone book");
    EXPECT_EQ(bar.Hint(), "Opens the phone book");
    EXPECT_TRUE(bar.toolTip().isEmpty());
    const TPoint hp = bar.HotPoint();
    const QPoint sp = QPoint(hp.x, hp.y) + QPoint(300, 200);
    const TqvNavBarHintInfo info = bar.ViewInfo().CalculateHintRect(hp, {sp.x(), sp.y()});
    EXPECT_EQ(bar.HintWindow().geometry(), info.rect.toQRect());

    f.move(p + QPoint(1, 0));
    EXPECT_TRUE(bar.IsHintShowing()) << "a move keeps the hint";
    f.key(Qt::Key_Down);
    EXPECT_FALSE(bar.IsHintShowing());
    EXPECT_FALSE(bar.HintWindow().isVisible());

    bar.HintWindow().ShowHintAt(info.rect, "x");
    f.move(f.caption(0));
    f.move(p);
    ASSERT_TRUE(bar.HintTimer().isActive());
    bar.Input().TimerFired(TqvNavBarTimer::Hint);
    EXPECT_TRUE(bar.IsHintShowing());
    f.press(p, Qt::RightButton);
    EXPECT_FALSE(bar.IsHintShowing());
}

// A leave reported while the pointer is still over the bar or over the hint (X11 reports the
// pointer going onto the hint's window so) keeps the hint; it goes once the pointer is off both.
TEST(NavBarControl, HintStaysWhileThePointerIsOverTheBarOrTheHint)
{
    Fixture f(2, 2);
    TqvNavBar &bar = *f.bar;
    bar.SetShowGroupsHint(true);
    f.group(1)->SetHint("Phone book");
    const QPoint p = f.caption(1);
    f.move(p);
    bar.Input().TimerFired(TqvNavBarTimer::Hint);
    ASSERT_TRUE(bar.IsHintShowing());
    const QRect hint = bar.HintWindow().geometry();
    const auto leave = [&] {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(&bar, &e);
    };
    struct Case {
        const char *where;
        QPoint pointer;
        bool stays;
    };
    const QRect barOnScreen(bar.mapToGlobal(QPoint(0, 0)), bar.size());
    for (const Case &c : {Case{"inside the bar", bar.mapToGlobal(p), true},
                          Case{"over the hint", hint.center(), true},
                          Case{"off both", barOnScreen.united(hint).bottomRight() + QPoint(40, 40), false}}) {
        SCOPED_TRACE(c.where);
        QCursor::setPos(c.pointer);
        leave();
        EXPECT_EQ(bar.IsHintShowing(), c.stays);
        EXPECT_EQ(bar.LeaveWatchTimer().isActive(), c.stays);
    }
    // A put-off leave ends when the pointer moves off both.
    f.move(p);
    bar.Input().TimerFired(TqvNavBarTimer::Hint);
    ASSERT_TRUE(bar.IsHintShowing());
    QCursor::setPos(hint.center());
    leave();
    bar.PointerCheck();
    EXPECT_TRUE(bar.IsHintShowing());
    QCursor::setPos(barOnScreen.united(bar.HintWindow().geometry()).bottomRight() + QPoint(40, 40));
    bar.PointerCheck();
    EXPECT_FALSE(bar.IsHintShowing());
    EXPECT_FALSE(bar.LeaveWatchTimer().isActive());
    EXPECT_EQ(bar.HotPoint(), TPoint(-1, -1));
    EXPECT_TRUE(bar.HintWindow().windowFlags() & Qt::WindowTransparentForInput);
}

TEST(NavBarControl, HintWindowStaysOnTheScreen)
{
    const QRect screen(0, 0, 1000, 800);
    struct Row {
        QRect in;
        QPoint out;
    } rows[] = {
        {{100, 790, 50, 20}, {100, 780}}, // bottom
        {{990, 100, 50, 20}, {950, 100}}, // right
        {{-10, 100, 50, 20}, {0, 100}},   // left
        {{100, -5, 50, 20}, {100, 0}},    // top
        {{100, 100, 50, 20}, {100, 100}},
    };
    for (const Row &r : rows)
        EXPECT_EQ(TqvNavBarHintWindow::Clamp(r.in, screen).topLeft(), r.out) << r.in.x() << "," << r.in.y();
    TqvNavBar bar;
    EXPECT_TRUE(bar.HintWindow().windowFlags() & Qt::ToolTip);
    EXPECT_TRUE(bar.HintWindow().testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(bar.HintWindow().testAttribute(Qt::WA_ShowWithoutActivating));
}

// ---- scroll bar ------------------------------------------------------------------------------

TEST(NavBarControl, ScrollBarNumbers)
{
    TqvNavBar bar;
    TqvNavBarScrollBar &sb = bar.ScrollBarWrapper();
    EXPECT_EQ(sb.Max(), 100);
    sb.SetPageSize(20);
    sb.SetParams(50, 10, 5); // max below min
    EXPECT_EQ(sb.Min(), 0);
    EXPECT_EQ(sb.Max(), 100);
    sb.SetParams(50, 0, 10); // max below page
    EXPECT_EQ(sb.Max(), 100);
    sb.SetParams(500, 0, 100);
    EXPECT_EQ(sb.Position(), 100) << "clamped";
    sb.SetParams(95, 0, 100);
    sb.Scroll(TqvNavBarScrollBar::SB_PAGEDOWN);
    EXPECT_EQ(sb.Position(), 100);
    sb.Scroll(TqvNavBarScrollBar::SB_LINEUP);
    EXPECT_EQ(sb.Position(), 98);
    sb.Scroll(TqvNavBarScrollBar::SB_TOP);
    EXPECT_EQ(sb.Position(), 0);
    // The child scroll bar: range min .. max - page, page step = page.
    EXPECT_EQ(sb.Widget()->maximum(), 80);
    EXPECT_EQ(sb.Widget()->pageStep(), 20);
}

TEST(NavBarControl, ExplorerContentTallerThanTheBarScrolls)
{
    Fixture f(4, 6, vkExplorerBar, {150, 200});
    TqvNavBar &bar = *f.bar;
    (void)bar.grab();
    ASSERT_TRUE(bar.ScrollBarWrapper().Visible());
    EXPECT_TRUE(bar.ScrollBarWrapper().Widget()->isVisibleTo(&bar));
    EXPECT_EQ(bar.ClientWidth(), 148 - TqvNavBarScrollBar::kWidth);
    const int top0 = bar.ViewInfo().GroupViewInfo(f.group(1))->CaptionRect().top;
    bar.VScroll(TqvNavBarScrollBar::SB_LINEDOWN);
    bar.VScroll(TqvNavBarScrollBar::SB_LINEDOWN);
    const int pos = bar.ScrollBarWrapper().Position();
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(bar.ViewInfo().GroupViewInfo(f.group(1))->CaptionRect().top, top0 - pos);

    // Thumb tracking is ignored while a group hosts a control; a thumb position is not.
    f.group(3)->SetUseControl(true);
    bar.VScroll(TqvNavBarScrollBar::SB_THUMBTRACK, 30);
    EXPECT_EQ(bar.ScrollBarWrapper().Position(), pos);
    bar.VScroll(TqvNavBarScrollBar::SB_THUMBPOSITION, 10);
    EXPECT_EQ(bar.ScrollBarWrapper().Position(), 10);
}

// ---- the main window's shape -----------------------------------------------------------------

TEST(NavBarControl, MainWindowShape)
{
    QWidget window;
    window.resize(600, 400);
    auto *bar = new TqvNavBar(&window);
    bar->setObjectName("nbMain");
    bar->setGeometry(0, 0, 139, 400);
    bar->setFrameStyle(QFrame::Box | QFrame::Plain); // the single border
    bar->setLineWidth(1);
    int raised = 0;
    bar->OnActiveGroupChanged = [&](QObject *) { ++raised; };
    bar->beginLoading();
    bar->SetView(0);
    bar->SetActiveGroupIndex(0);
    const char *captions[] = {"Phone", "Messages", "Calls", "Hidden one", "Hidden two"};
    for (int i = 0; i < 5; ++i) {
        TqvNavBarGroup *g = bar->GroupsRef().Add();
        g->setObjectName(QString("ng%1").arg(i));
        g->SetCaption(captions[i]);
        g->SetVisible(i < 3);
        g->SetUseControl(true);
        g->SetShowControl(true);
    }
    bar->endLoading();
    EXPECT_EQ(raised, 1);
    std::vector<QTreeWidget *> trees;
    for (int i = 0; i < 5; ++i) {
        TqvNavBarGroupControl *c = bar->GroupsRef().Items(i)->Control();
        ASSERT_NE(c, nullptr);
        auto *layout = new QVBoxLayout(c);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *tree = new QTreeWidget(c);
        tree->setHeaderHidden(true);
        new QTreeWidgetItem(tree, QStringList{QString("Folder %1").arg(i)});
        layout->addWidget(tree);
        trees.push_back(tree);
    }
    const int recorded = bar->GroupsRef().Items(2)->Control()->OriginalHeight();
    window.show();
    QApplication::processEvents();
    (void)bar->grab();
    auto shown = [&] {
        std::vector<int> v;
        for (int i = 0; i < 5; ++i)
            if (bar->GroupsRef().Items(i)->Control()->isVisibleTo(bar))
                v.push_back(i);
        return v;
    };
    EXPECT_EQ(shown(), std::vector<int>{0});
    const QRect items = bar->ViewInfo().GroupViewInfo(bar->GroupsRef().Items(0))->ItemsRect().toQRect();
    EXPECT_EQ(bar->GroupsRef().Items(0)->Control()->geometry(), items.translated(1, 1)) << "inside the frame";
    EXPECT_GT(items.height(), 300) << "fills the free height";
    window.grab().save(screenshotDir() + "/bar_main_window.png");

    bar->SetActiveGroupIndex(1);
    EXPECT_EQ(raised, 2);
    (void)bar->grab();
    EXPECT_EQ(shown(), std::vector<int>{1});
    EXPECT_EQ(bar->GroupsRef().Items(2)->Control()->OriginalHeight(), recorded) << "recorded heights stay put";
}

// ---- screenshots -----------------------------------------------------------------------------

TEST(NavBarControl, Screenshots)
{
    Fixture f(3, 4, vkBase, {150, 260});
    TqvNavBar &bar = *f.bar;
    f.move(f.link(0, 1));
    f.window.grab().save(screenshotDir() + "/bar_hot_link.png");
    f.press(f.caption(2));
    f.window.grab().save(screenshotDir() + "/bar_pressed_caption.png");
    f.release(f.caption(2));
    const QPoint from = f.link(2, 0);
    f.press(from);
    f.move(from + QPoint(0, 30), Qt::LeftButton);
    ASSERT_TRUE(bar.IsDragging());
    EXPECT_TRUE(f.window.grab().save(screenshotDir() + "/bar_drag.png"));
    f.key(Qt::Key_Escape);
}

// ---- the bar's own events --------------------------------------------------------------------

TEST(NavBarEvents, MouseEventsOutsideADragAndDragEventsWithin)
{
    Fixture f(2, 4);
    TqvNavBar &bar = *f.bar;
    QStringList log;
    QPoint downAt;
    bar.OnMouseDown = [&](QObject *s, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        EXPECT_EQ(s, &bar);
        log << (b == Qt::LeftButton ? "down" : "down-other");
        downAt = f.w({x, y});
    };
    bar.OnMouseMove = [&](QObject *, Qt::KeyboardModifiers, int, int) { log << "move"; };
    bar.OnMouseUp = [&](QObject *, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
        log << (b == Qt::LeftButton ? "up" : "up-other");
    };
    bar.OnStartDrag = [&](QObject *s, std::unique_ptr<TqvNavBarDragObject> &) {
        EXPECT_EQ(s, &bar);
        EXPECT_EQ(TqvCustomNavBar::CurrentDrag(), nullptr) << "raised before the drag object exists";
        log << "start";
    };
    bar.OnDragOver = [&](QObject *s, QObject *source, int, int, TqvDragState, bool &) {
        EXPECT_EQ(s, &bar);
        EXPECT_EQ(source, &bar);
        log << "over";
    };
    bar.OnEndDrag = [&](QObject *) { log << "end"; };

    // A click: the press carries client coordinates, the release follows.
    f.move(f.link(0, 1));
    f.press(f.link(0, 1));
    EXPECT_EQ(downAt, f.link(0, 1));
    f.release(f.link(0, 1));
    f.press(f.link(0, 1), Qt::RightButton);
    f.release(f.link(0, 1), Qt::RightButton);
    EXPECT_EQ(log, QStringList({"move", "down", "up", "down-other", "up-other"}));

    // A drag: moves within three pixels are plain moves; once the drag runs only drag events come,
    // and the drop raises the end of the drag, never a mouse up.
    log.clear();
    f.press(f.link(0, 0));
    f.move(f.link(0, 0) + QPoint(0, 2), Qt::LeftButton);
    f.move(f.link(0, 0) + QPoint(0, 6), Qt::LeftButton);
    const QPoint to = dropPoint(f, f.group(0), 3);
    f.move(to, Qt::LeftButton);
    f.release(to);
    EXPECT_EQ(log, QStringList({"down", "move", "start", "over", "over", "end"}));
}

TEST(NavBarEvents, DragOverHandlerHasTheLastWord)
{
    Fixture f(1, 4);
    TqvNavBarGroup *g = f.group(0);
    TqvNavBarItem *first = itemAt(g, 0);
    bool barVerdict = false;
    f.bar->OnDragOver = [&](QObject *, QObject *, int, int, TqvDragState, bool &accept) {
        barVerdict = accept;
        accept = false;
    };
    f.press(f.link(0, 0));
    f.move(f.link(0, 0) + QPoint(0, 6), Qt::LeftButton);
    const QPoint to = dropPoint(f, g, 3);
    f.move(to, Qt::LeftButton);
    EXPECT_TRUE(barVerdict) << "the handler sees the bar's own verdict";
    EXPECT_FALSE(f.bar->DropAccepted());
    EXPECT_EQ(f.bar->CurrentCursorShape(), Qt::ForbiddenCursor);
    f.release(to);
    EXPECT_EQ(itemAt(g, 0), first) << "a refused drop moves nothing";
    EXPECT_FALSE(f.bar->IsDragging());
}

TEST(NavBarEvents, StartDragHandlerThatRemovesThePressedLinkCancelsTheDrag)
{
    Fixture f(1, 3);
    TqvNavBarGroup *g = f.group(0);
    f.bar->OnStartDrag = [&](QObject *, std::unique_ptr<TqvNavBarDragObject> &) { g->RemoveLink(0); };
    f.press(f.link(0, 0));
    const QPoint from = f.link(0, 0);
    f.move(from + QPoint(0, 6), Qt::LeftButton);
    EXPECT_EQ(TqvCustomNavBar::CurrentDrag(), nullptr);
    EXPECT_FALSE(f.bar->IsDragging());
    EXPECT_EQ(g->LinkCount(), 2);
    f.release(from + QPoint(0, 6));
    EXPECT_EQ(f.bar->MouseDownLink(), nullptr);
}

TEST(NavBarEvents, CustomDrawnHintsSkipTheDefaultDrawingWhenHandled)
{
    Fixture f(2, 2);
    TqvNavBar &bar = *f.bar;
    bar.MapToScreen = [](QPoint p) { return p + QPoint(300, 200); };
    bar.SetShowGroupsHint(true);
    bar.SetShowLinksHint(true);
    f.group(1)->SetHint("Phone book|Opens the phone book");
    f.group(0)->Links(1)->Item()->SetHint("Outbox|Messages waiting");

    struct Seen {
        int calls = 0;
        QString hint;
        TRect r;
    } groupSeen, linkSeen;
    bool handle = true;
    auto paint = [&](Seen &seen, TqvCanvas &c, const QString &hint, const TRect &r, bool &handled) {
        ++seen.calls;
        seen.hint = hint;
        seen.r = r;
        if (handle) {
            c.painter().fillRect(r.toQRect(), Qt::red);
            handled = true;
        }
    };
    TqvNavBarGroup *hintGroup = nullptr;
    TqvNavBarItemLink *hintLink = nullptr;
    bar.OnCustomDrawGroupHint = [&](QObject *s, TqvCanvas &c, TqvNavBarGroup *g, const QString &h, const TRect &r,
                                    bool &handled) {
        EXPECT_EQ(s, &bar);
        hintGroup = g;
        paint(groupSeen, c, h, r, handled);
    };
    bar.OnCustomDrawLinkHint = [&](QObject *, TqvCanvas &c, TqvNavBarItemLink *l, const QString &h, const TRect &r,
                                   bool &handled) {
        hintLink = l;
        paint(linkSeen, c, h, r, handled);
    };
    auto allRed = [](const QImage &img) {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) != qRgb(255, 0, 0))
                    return false;
        return true;
    };
    auto showAt = [&](QPoint p) {
        bar.HideHint();
        f.move(f.link(0, 0)); // away from the subject, onto no caption
        f.move(p);
        if (!bar.HintTimer().isActive())
            return false;
        bar.Input().TimerFired(TqvNavBarTimer::Hint);
        return bar.IsHintShowing();
    };

    ASSERT_TRUE(showAt(f.caption(1)));
    QImage img = bar.HintWindow().grab().toImage();
    EXPECT_EQ(hintGroup, f.group(1));
    EXPECT_EQ(groupSeen.hint, "Phone book");
    EXPECT_EQ(groupSeen.r.toQRect(), QRect(QPoint(0, 0), bar.HintWindow().size()));
    EXPECT_TRUE(allRed(img)) << "handled: nothing drawn over it";

    handle = false;
    img = bar.HintWindow().grab().toImage();
    EXPECT_EQ(groupSeen.calls, 2);
    EXPECT_FALSE(allRed(img));
    EXPECT_TRUE(notBlank(img)) << "not handled: the painter draws the hint";
    EXPECT_EQ(linkSeen.calls, 0);

    handle = true;
    ASSERT_TRUE(showAt(f.link(0, 1)));
    img = bar.HintWindow().grab().toImage();
    EXPECT_EQ(hintLink, f.group(0)->Links(1));
    EXPECT_EQ(linkSeen.hint, "Outbox");
    EXPECT_TRUE(allRed(img));
    QDir().mkpath(screenshotDir());
    handle = false;
    bar.HintWindow().grab().save(screenshotDir() + "/link_hint.png");
}

TEST(NavBarControl, ImageListChangesRelayAndAFreedListIsDropped)
{
    Fixture f(2, 3);
    TqvNavBar &bar = *f.bar;
    auto *small = new TqvImageList(20, 20);
    QImage red(20, 20, QImage::Format_ARGB32);
    red.fill(Qt::red);
    small->add(red);
    for (int i = 0; i < 3; ++i)
        f.group(0)->Links(i)->Item()->SetSmallImageIndex(0);
    bar.SetSmallImages(small);
    auto imageHeight = [&] {
        (void)bar.grab();
        return bar.ViewInfo().LinkViewInfo(f.group(0)->Links(0))->ImageRect().toQRect().height();
    };
    EXPECT_EQ(imageHeight(), 20);
    small->setSize(24, 24);
    EXPECT_EQ(imageHeight(), 24) << "a change of the list lays the bar out again";
    delete small;
    EXPECT_EQ(bar.SmallImages(), nullptr);
    EXPECT_NE(imageHeight(), 24) << "laid out without the freed list";
    EXPECT_TRUE(notBlank(bar.grab().toImage()));

    // A replaced list no longer reaches the bar.
    auto *a = new TqvImageList(32, 32), *b = new TqvImageList(16, 16);
    bar.SetLargeImages(a);
    bar.SetLargeImages(b);
    delete a;
    EXPECT_EQ(bar.LargeImages(), b);
    delete b;
    EXPECT_EQ(bar.LargeImages(), nullptr);
}

TEST(NavBarDrag, ItemDraggedAsSuchIsLinkedAtTheDropPosition)
{
    // The bar itself drags links and groups; an item dragged as such comes from the drag object.
    Fixture f(2, 3);
    DragRecorder rec(f);
    TqvNavBarGroup *g = f.group(0);
    TqvNavBarItem *first = itemAt(g, 0);
    TqvNavBarItem *loose = f.bar->Items().Add();
    loose->SetCaption("Loose");
    f.press(f.link(0, 0));
    f.move(f.link(0, 0) + QPoint(0, 6), Qt::LeftButton);
    ASSERT_NE(TqvCustomNavBar::CurrentDrag(), nullptr);
    TqvCustomNavBar::CurrentDrag()->item = loose;
    const QPoint to = dropPoint(f, g, 2);
    f.move(to, Qt::LeftButton);
    EXPECT_TRUE(f.bar->DropAccepted());
    EXPECT_EQ(f.bar->CurrentCursorShape(), Qt::DragCopyCursor);
    f.release(to);
    ASSERT_EQ(g->LinkCount(), 4);
    EXPECT_EQ(itemAt(g, 2), loose);
    EXPECT_EQ(itemAt(g, 0), first) << "the link under the drag stays";
    EXPECT_EQ(rec.ends, 1);

    // Without fAllowDropLink an item is not dropped.
    f.bar->SetDragDropFlags(fAllowDragLink);
    f.press(f.link(0, 0));
    f.move(f.link(0, 0) + QPoint(0, 6), Qt::LeftButton);
    ASSERT_NE(TqvCustomNavBar::CurrentDrag(), nullptr);
    TqvCustomNavBar::CurrentDrag()->item = loose;
    f.move(to, Qt::LeftButton);
    EXPECT_FALSE(f.bar->DropAccepted());
    f.release(to);
    EXPECT_EQ(g->LinkCount(), 4);
}

TEST(NavBarControl, HintHidesWhenFocusOrActivationChanges)
{
    Fixture f(2, 2);
    TqvNavBar &bar = *f.bar;
    bar.MapToScreen = [](QPoint p) { return p + QPoint(300, 200); };
    bar.SetShowGroupsHint(true);
    f.group(1)->SetHint("Phone book");
    for (QEvent::Type t : {QEvent::FocusOut, QEvent::ActivationChange, QEvent::WindowDeactivate}) {
        SCOPED_TRACE(int(t));
        bar.HideHint();
        f.move(f.link(0, 0)); // away from the subject, onto no caption
        f.move(f.caption(1));
        ASSERT_TRUE(bar.HintTimer().isActive());
        bar.Input().TimerFired(TqvNavBarTimer::Hint);
        ASSERT_TRUE(bar.IsHintShowing());
        if (t == QEvent::FocusOut) {
            QFocusEvent e(t, Qt::ActiveWindowFocusReason);
            QApplication::sendEvent(&bar, &e);
        } else {
            QEvent e(t);
            QApplication::sendEvent(&bar, &e);
        }
        EXPECT_FALSE(bar.IsHintShowing());
        EXPECT_FALSE(bar.HintWindow().isVisible());
    }
}

TEST(NavBarControl, ChildScrollBarActionsBecomeScrollCodes)
{
    Fixture f(4, 6, vkExplorerBar, {150, 200});
    TqvNavBar &bar = *f.bar;
    (void)bar.grab();
    TqvNavBarScrollBar &sb = bar.ScrollBarWrapper();
    ASSERT_TRUE(sb.Visible());
    QScrollBar *w = sb.Widget();
    ASSERT_EQ(sb.Position(), 0);
    const struct {
        QAbstractSlider::SliderAction action;
        int expected; // -1: the maximum
    } rows[] = {
        {QAbstractSlider::SliderSingleStepAdd, 2}, {QAbstractSlider::SliderPageStepAdd, 12},
        {QAbstractSlider::SliderPageStepSub, 2},   {QAbstractSlider::SliderSingleStepSub, 0},
        {QAbstractSlider::SliderToMaximum, -1},    {QAbstractSlider::SliderToMinimum, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(int(row.action));
        w->triggerAction(row.action);
        EXPECT_EQ(sb.Position(), row.expected < 0 ? sb.Max() : row.expected);
        QCoreApplication::processEvents();
        EXPECT_EQ(w->value(), std::min(sb.Position(), w->maximum())) << "the slider shows the bar's position";
    }
    // A thumb moved without the button held is a thumb position.
    w->setSliderPosition(7);
    EXPECT_EQ(sb.Position(), 7);
}

TEST(NavBarEvents, HandlersMayFreeTheBar)
{
    enum Which { Down, Move, Up, Start, Over };
    for (Which which : {Down, Move, Up, Start, Over}) {
        SCOPED_TRACE(int(which));
        Fixture f(1, 3);
        QPointer<TqvNavBar> bar(f.bar);
        auto freeBar = [&] { delete bar.data(); };
        auto freeOnButton = [&](QObject *, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { freeBar(); };
        switch (which) {
        case Down: f.bar->OnMouseDown = freeOnButton; break;
        case Move: f.bar->OnMouseMove = [&](QObject *, Qt::KeyboardModifiers, int, int) { freeBar(); }; break;
        case Up: f.bar->OnMouseUp = freeOnButton; break;
        case Start: f.bar->OnStartDrag = [&](QObject *, std::unique_ptr<TqvNavBarDragObject> &) { freeBar(); }; break;
        case Over: f.bar->OnDragOver = [&](QObject *, QObject *, int, int, TqvDragState, bool &) { freeBar(); }; break;
        }
        const QPoint from = f.link(0, 0);
        if (bar)
            f.press(from);
        if (bar && which == Up)
            f.release(from);
        if (bar) // a plain move stays within three pixels; the others start a drag
            f.move(from + QPoint(0, which == Move ? 2 : 6), Qt::LeftButton);
        EXPECT_TRUE(bar.isNull());
        EXPECT_EQ(TqvCustomNavBar::CurrentDrag(), nullptr);
    }
}

TEST(NavBarEvents, HintDrawHandlerMayFreeTheBar)
{
    for (bool group : {true, false}) {
        SCOPED_TRACE(group);
        Fixture f(2, 2);
        QPointer<TqvNavBar> bar(f.bar);
        bar->MapToScreen = [](QPoint p) { return p + QPoint(300, 200); };
        bar->SetShowGroupsHint(true);
        bar->SetShowLinksHint(true);
        f.group(1)->SetHint("Phone book");
        f.group(0)->Links(1)->Item()->SetHint("Outbox");
        bar->OnCustomDrawGroupHint = [&](QObject *, TqvCanvas &, TqvNavBarGroup *, const QString &, const TRect &,
                                         bool &) { delete bar.data(); };
        bar->OnCustomDrawLinkHint = [&](QObject *, TqvCanvas &, TqvNavBarItemLink *, const QString &,
                                        const TRect &, bool &) { delete bar.data(); };
        f.move(group ? f.caption(1) : f.link(0, 1));
        ASSERT_TRUE(bar->HintTimer().isActive());
        bar->Input().TimerFired(TqvNavBarTimer::Hint);
        ASSERT_TRUE(bar->IsHintShowing());
        QPointer<TqvNavBarHintWindow> window(&bar->HintWindow());
        (void)window->grab(); // paints, and the handler frees the bar inside the paint
        EXPECT_TRUE(bar.isNull());
        ASSERT_FALSE(window.isNull()) << "the window outlives its own paint";
        EXPECT_FALSE(window->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull()) << "and goes right after it";
    }
}

// ---- hover -----------------------------------------------------------------------------------

// A hover change redraws only while the hot style measures as the plain one; a hot style with
// another font size or caption alignment lays the bar out again, and the hovered caption then
// takes the hot font's size.
TEST(NavBarControl, HoverLaysOutOnlyWhenTheHotStyleMeasuresDifferently)
{
    Fixture f(2, 3, vkExplorerBar, {220, 400});
    TqvNavBar &bar = *f.bar;
    TqvNavBarItemLink *link = f.group(0)->Links(1);
    TqvNavBarItem *item = link->Item();
    TqvNavBarStyleItem *hot = bar.Styles().Add();
    struct Case {
        const char *name;
        std::function<void(TqvNavBarStyle &)> style;
        bool link; // the style goes to the link's item, else to group 0's caption
        TqvNavBarChangeType kind;
    };
    const Case cases[] = {
        {"default styles", nullptr, true, ctRedraw},
        {"underline and colour", [](TqvNavBarStyle &s) { s.Font().setUnderline(true); s.Font().setColor(0x0000FFu); },
         true, ctRedraw},
        {"bigger font", [](TqvNavBarStyle &s) { s.Font().setSize(20); }, true, ctRelayout},
        {"bold font", [](TqvNavBarStyle &s) { s.Font().setBold(true); }, true, ctRelayout},
        {"caption colour", [](TqvNavBarStyle &s) { s.Font().setColor(0x0000FFu); }, false, ctRedraw},
        {"caption alignment", [](TqvNavBarStyle &s) { s.SetHAlignment(haRight); }, false, ctRelayout},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        item->SetStyleHotTracked(nullptr);
        f.group(0)->SetStyleHeaderHotTracked(nullptr);
        hot->SetStyle(TqvNavBarStyle());
        if (c.style) {
            // The hot style starts from the plain one's font.
            const int plain = c.link ? TqvNavBarDefaultStyles::Item : TqvNavBarDefaultStyles::GroupHeader;
            hot->Style().Font().assign(bar.DefaultStylesRef().Style(plain)->Font());
            c.style(hot->Style());
            if (c.link)
                item->SetStyleHotTracked(hot);
            else
                f.group(0)->SetStyleHeaderHotTracked(hot);
        }
        EXPECT_EQ(bar.ViewInfo().HotTrackChangeKind(c.link ? nullptr : f.group(0), c.link ? link : nullptr), c.kind);
    }

    // Through the mouse: the bigger hot font reaches the layout.
    item->SetStyleHotTracked(hot);
    f.group(0)->SetStyleHeaderHotTracked(nullptr);
    hot->SetStyle(TqvNavBarStyle());
    hot->Style().Font().setSize(20);
    const int plain = bar.ViewInfo().LinkViewInfo(link)->CaptionRect().toQRect().height();
    f.move(f.link(0, 1));
    ASSERT_EQ(bar.HotLink(), link);
    EXPECT_GT(bar.ViewInfo().LinkViewInfo(link)->CaptionRect().toQRect().height(), plain);
}
