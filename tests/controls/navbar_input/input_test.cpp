// The bar's input logic with no widget: a host with a hand-made layout (rectangles chosen by the
// test, so a caption and a link can meet under one point) and timers the test fires by hand.
#include "controls/navbar/nav_bar_input.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

using namespace controls;

namespace {

struct HandTimers : TqvNavBarTimers {
    std::map<TqvNavBarTimer, int> running; // timer -> interval
    void Start(TqvNavBarTimer which, int ms) override { running[which] = ms; }
    void Stop(TqvNavBarTimer which) override { running.erase(which); }
    bool IsActive(TqvNavBarTimer which) const override { return running.count(which) != 0; }
    int interval(TqvNavBarTimer which) const { return IsActive(which) ? running.at(which) : -1; }
};

template <class T>
struct Area {
    TRect rect;
    T *what;
};

// The bar without a window: content, a layout of rectangles and what the logic showed.
struct Host : TqvNavBarSink, TqvNavBarInputHost {
    QObject owner;
    HandTimers timers;
    TqvNavBarInput input{*this, timers}; // before the content: it hears of the content's removal
    TqvNavBarGroups groups{this, &owner};
    TqvNavBarItems items{this, &owner};

    std::vector<Area<TqvNavBarGroup>> captions, itemAreas;
    std::vector<Area<TqvNavBarItemLink>> links;
    TRect top, bottom;
    TqvNavBarObjectStates topState = sHidden, bottomState = sHidden;
    std::function<TqvNavBarDropTarget(TPoint)> drop = [](TPoint) { return TqvNavBarDropTarget{}; };
    TRect client{0, 0, 100, 200};
    TqvNavBarGroup *active = nullptr;
    int flags = kNavBarAllDragDropFlags;
    bool groupsHint = false, linksHint = false;

    Qt::CursorShape cursor = Qt::ArrowCursor;
    std::vector<TqvNavBarHintInfo> shown;
    bool hintVisible = false;
    std::vector<TqvNavBarGroup *> expanded;

    // ---- content
    TqvNavBarGroup *group(const QString &caption, int linkCount)
    {
        TqvNavBarGroup *g = groups.Add();
        g->SetCaption(caption);
        for (int i = 0; i < linkCount; ++i) {
            TqvNavBarItem *it = items.Add();
            it->SetCaption(caption + QString::number(i));
            g->CreateLink(it);
        }
        return g;
    }

    // ---- TqvNavBarSink
    void InvalidateAll(TqvNavBarChangeType) override {}
    bool IsLoading() const override { return false; }
    void LinkChanged(TqvNavBarItemLink *link, bool removed) override
    {
        if (removed)
            input.ForgetLink(link);
    }
    void ComponentRemoved(QObject *c) override
    {
        if (active == c)
            active = nullptr;
        input.ForgetComponent(c);
    }
    QWidget *ControlParent() override { return nullptr; }

    // ---- TqvNavBarInputHost
    TqvNavBarInput &Input() override { return input; }
    QObject *EventSender() override { return &owner; }
    template <class T>
    static T *hit(const std::vector<Area<T>> &areas, TPoint p)
    {
        for (const auto &a : areas)
            if (a.rect.contains(p))
                return a.what;
        return nullptr;
    }
    TqvNavBarGroup *GroupCaptionAt(TPoint p) override { return hit(captions, p); }
    TqvNavBarGroup *GroupItemsAt(TPoint p) override { return hit(itemAreas, p); }
    TqvNavBarItemLink *LinkAt(TPoint p) override { return hit(links, p); }
    TqvNavBarItemLink *SelectableLinkAt(TPoint p) override { return hit(links, p); }
    TRect TopScrollButtonRect() override { return top; }
    TRect BottomScrollButtonRect() override { return bottom; }
    TqvNavBarObjectStates TopScrollButtonState() override { return topState; }
    TqvNavBarObjectStates BottomScrollButtonState() override { return bottomState; }
    TqvNavBarDropTarget DropTargetAt(TPoint p) override { return drop(p); }
    TqvNavBarHintInfo HintAt(TPoint p) override
    {
        TqvNavBarHintInfo h;
        if (TqvNavBarGroup *g = GroupCaptionAt(p)) {
            h.group = g;
            h.text = g->Hint().section('|', 0, 0);
            h.rect = TRect(p.x + 500, p.y + 400, p.x + 560, p.y + 420);
        }
        return h;
    }
    int HintPause() override { return 500; }
    bool InClientArea(TPoint p) override { return client.contains(p); }
    TqvNavBarGroup *ActiveGroup() const override
    {
        return active ? active : (groups.Count() ? groups.Items(0) : nullptr);
    }
    const TqvNavBarGroups &Groups() const override { return groups; }
    void InvalidateScrollButtons() override {}
    void ShowCursorShape(Qt::CursorShape shape) override { cursor = shape; }
    void ShowHintWindow(const TqvNavBarHintInfo &h) override
    {
        shown.push_back(h);
        hintVisible = true;
    }
    void HideHintWindow() override { hintVisible = false; }
    bool IsGroupExpanded(TqvNavBarGroup *g) override { return g == ActiveGroup(); }
    void ExpandGroup(TqvNavBarGroup *g) override
    {
        active = g;
        expanded.push_back(g);
    }
    void CollapseGroup(TqvNavBarGroup *) override {}
    int DragDropFlags() const override { return flags; }
    int DragCursor() const override { return -1120; }
    int DragCopyCursor() const override { return -1119; }
    int HotTrackedGroupCursor() const override { return 0; }
    int HotTrackedLinkCursor() const override { return -1118; }
    bool AllowSelectLinks() const override { return false; }
    bool EachGroupHasSelectedLink() const override { return false; }
    bool ShowGroupsHint() const override { return groupsHint; }
    bool ShowLinksHint() const override { return linksHint; }
    bool IsDestroying() const override { return false; }

    // ---- input
    void press(TPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) { input.MouseDown(b, m, p); }
    void move(TPoint p, Qt::MouseButtons held = {}, Qt::KeyboardModifiers m = {}) { input.MouseMove(held, m, p); }
    void release(TPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) { input.MouseUp(b, m, p); }
    void fire(TqvNavBarTimer which) { input.TimerFired(which); }
};

} // namespace

TEST(NavBarInput, CaptionWinsOverALinkUnderTheSamePoint)
{
    Host h;
    TqvNavBarGroup *mail = h.group("Mail", 2);
    TqvNavBarGroup *phone = h.group("Phone", 1);
    // Phone's caption overlaps Mail's first link at y 10..19.
    h.links = {{TRect(0, 10, 100, 30), mail->Links(0)}, {TRect(0, 40, 100, 60), mail->Links(1)}};
    h.captions = {{TRect(0, 0, 100, 20), phone}};
    std::vector<QString> log;
    h.OnGroupClick = [&](QObject *s, TqvNavBarGroup *g) {
        EXPECT_EQ(s, &h.owner);
        log.push_back("group " + g->Caption());
    };
    h.OnLinkClick = [&](QObject *, TqvNavBarItemLink *l) { log.push_back("link " + l->Item()->Caption()); };
    h.OnLinkPress = [&](QObject *, TqvNavBarItemLink *l) { log.push_back("press " + l->Item()->Caption()); };

    h.press({50, 15});
    EXPECT_EQ(h.input.MouseDownGroup(), phone);
    EXPECT_EQ(h.input.MouseDownLink(), mail->Links(0)) << "the link under the caption is pressed as well";
    EXPECT_EQ(h.input.PressedGroup(), phone);
    h.release({50, 15});
    EXPECT_EQ(log, (std::vector<QString>{"press Mail0", "group Phone"}));
    EXPECT_EQ(h.ActiveGroup(), phone);

    // Released where only the link is, the press still clicks the caption.
    log.clear();
    h.press({50, 15});
    h.release({50, 25});
    EXPECT_EQ(log, (std::vector<QString>{"press Mail0", "group Phone"}));
    EXPECT_EQ(h.input.MouseDownGroup(), nullptr);
    EXPECT_EQ(h.input.MouseDownLink(), nullptr);

    // Where only the link is, the link is clicked.
    log.clear();
    h.press({50, 25});
    h.release({50, 25});
    EXPECT_EQ(log, (std::vector<QString>{"press Mail0", "link Mail0"}));
}

TEST(NavBarInput, ScrollButtonsStepOnEachTickAndStopAtTheRelease)
{
    Host h;
    TqvNavBarGroup *g = h.group("Mail", 12);
    h.links = {{TRect(0, 20, 100, 40), g->Links(0)}};
    h.top = TRect(80, 0, 100, 16);
    h.bottom = TRect(80, 180, 100, 196);
    h.bottomState = 0;

    // The hidden top button does nothing.
    h.press({90, 8});
    EXPECT_FALSE(h.input.TopScrollButtonHeld());
    EXPECT_FALSE(h.timers.IsActive(TqvNavBarTimer::Scroll));
    h.release({90, 8});

    h.move({90, 190});
    h.press({90, 190});
    EXPECT_EQ(g->TopVisibleLinkIndex(), 1);
    EXPECT_TRUE(h.input.BottomScrollButtonHeld());
    EXPECT_EQ(h.timers.interval(TqvNavBarTimer::Scroll), 300);
    h.fire(TqvNavBarTimer::Scroll);
    h.fire(TqvNavBarTimer::Scroll);
    EXPECT_EQ(g->TopVisibleLinkIndex(), 3) << "each tick one more";
    h.release({90, 190});
    EXPECT_FALSE(h.timers.IsActive(TqvNavBarTimer::Scroll));
    EXPECT_FALSE(h.input.BottomScrollButtonHeld());
    h.fire(TqvNavBarTimer::Scroll); // a tick already queued when the button came up
    EXPECT_EQ(g->TopVisibleLinkIndex(), 3);

    // A disabled button holds but does not scroll; leaving it stops the routine.
    h.bottomState = sDisabled;
    h.press({90, 190});
    h.fire(TqvNavBarTimer::Scroll);
    EXPECT_EQ(g->TopVisibleLinkIndex(), 3);
    h.bottomState = 0;
    h.move({10, 100}, Qt::LeftButton);
    h.fire(TqvNavBarTimer::Scroll);
    EXPECT_EQ(g->TopVisibleLinkIndex(), 3);
    EXPECT_FALSE(h.timers.IsActive(TqvNavBarTimer::Scroll));
    h.release({10, 100});

    // A drag held over the button scrolls; after its drop, hovering there scrolls nothing.
    h.press({10, 30});
    h.move({10, 36}, Qt::LeftButton);
    ASSERT_TRUE(h.input.IsDragging());
    h.move({90, 190}, Qt::LeftButton);
    ASSERT_TRUE(h.timers.IsActive(TqvNavBarTimer::Scroll));
    h.fire(TqvNavBarTimer::Scroll);
    EXPECT_EQ(g->TopVisibleLinkIndex(), 4);
    h.release({90, 190});
    EXPECT_FALSE(h.input.IsDragging());
    EXPECT_FALSE(h.timers.IsActive(TqvNavBarTimer::Scroll));
    h.move({90, 190});
    h.fire(TqvNavBarTimer::Scroll);
    EXPECT_EQ(g->TopVisibleLinkIndex(), 4);
}

TEST(NavBarInput, HintShowsWhenItsTimerFiresAndHidesOnKeysAndButtons)
{
    Host h;
    TqvNavBarGroup *mail = h.group("Mail", 0);
    mail->SetHint("Mail|Messages on the phone");
    h.captions = {{TRect(0, 0, 100, 20), mail}};
    h.groupsHint = true;

    h.move({10, 10});
    EXPECT_EQ(h.input.HotGroup(), mail);
    EXPECT_EQ(h.timers.interval(TqvNavBarTimer::Hint), 500);
    h.input.SetHintPauseOverride(20);
    h.move({60, 10});
    EXPECT_EQ(h.timers.interval(TqvNavBarTimer::Hint), 500) << "a move on the same caption keeps the timer";
    h.fire(TqvNavBarTimer::Hint);
    ASSERT_EQ(h.shown.size(), 1u);
    EXPECT_EQ(h.shown[0].text, "Mail");
    EXPECT_EQ(h.shown[0].rect, TRect(560, 410, 620, 430)) << "at the rectangle computed for the hot point";
    EXPECT_TRUE(h.input.IsHintShowing());
    EXPECT_EQ(h.input.Hint(), "Messages on the phone");
    EXPECT_FALSE(h.timers.IsActive(TqvNavBarTimer::Hint));

    h.move({61, 10});
    EXPECT_TRUE(h.hintVisible) << "a move does not hide it";
    EXPECT_TRUE(h.input.KeyDown(Qt::Key_Down) == false);
    EXPECT_FALSE(h.hintVisible);
    EXPECT_FALSE(h.input.IsHintShowing());

    h.move({10, 100});
    h.move({10, 10});
    EXPECT_EQ(h.timers.interval(TqvNavBarTimer::Hint), 20);
    h.fire(TqvNavBarTimer::Hint);
    EXPECT_TRUE(h.hintVisible);
    h.press({10, 10}, Qt::RightButton);
    EXPECT_FALSE(h.hintVisible);
    EXPECT_EQ(h.input.HotGroup(), nullptr) << "a right press clears the hot references";

    // The subject freed while its hint shows: the hint goes with it.
    h.move({10, 100});
    h.move({10, 10});
    h.fire(TqvNavBarTimer::Hint);
    ASSERT_TRUE(h.hintVisible);
    h.captions.clear();
    delete mail;
    EXPECT_FALSE(h.hintVisible);
    EXPECT_EQ(h.input.HotGroup(), nullptr);
}

TEST(NavBarInput, DragOverTellsEnterMoveAndLeave)
{
    Host h;
    TqvNavBarGroup *g = h.group("Mail", 3);
    h.links = {{TRect(0, 20, 100, 40), g->Links(0)}, {TRect(0, 40, 100, 60), g->Links(1)},
               {TRect(0, 60, 100, 80), g->Links(2)}};
    h.itemAreas = {{TRect(0, 20, 100, 200), g}};
    h.drop = [&](TPoint p) {
        TqvNavBarDropTarget t;
        t.group = g;
        t.index = std::clamp((p.y - 20 + 10) / 20, 0, 3);
        t.before = t.index > 0 ? g->Links(t.index - 1) : nullptr;
        t.after = t.index < 3 ? g->Links(t.index) : nullptr;
        return t;
    };
    std::vector<std::pair<TqvDragState, bool>> overs;
    h.OnDragOver = [&](QObject *s, QObject *source, int, int, TqvDragState state, bool &accept) {
        EXPECT_EQ(s, &h.owner);
        EXPECT_EQ(source, &h.owner);
        overs.push_back({state, accept});
    };
    int ends = 0;
    h.OnEndDrag = [&](QObject *) { ++ends; };

    TqvNavBarItem *first = g->Links(0)->Item();
    h.press({50, 30});
    h.move({50, 33}, Qt::LeftButton);
    EXPECT_FALSE(h.input.IsDragging()) << "3 px start nothing";
    h.move({50, 34}, Qt::LeftButton);
    ASSERT_TRUE(h.input.IsDragging());
    h.move({50, 75}, Qt::LeftButton);
    h.move({150, 75}, Qt::LeftButton); // out of the bar
    h.move({160, 75}, Qt::LeftButton);
    EXPECT_FALSE(h.input.DropAccepted());
    EXPECT_EQ(h.cursor, Qt::ForbiddenCursor);
    h.move({50, 75}, Qt::LeftButton); // back in
    EXPECT_TRUE(h.input.DropAccepted());
    EXPECT_EQ(h.cursor, Qt::DragMoveCursor);
    const std::vector<std::pair<TqvDragState, bool>> expected{
        {dsDragEnter, false}, {dsDragMove, true}, {dsDragLeave, false}, {dsDragEnter, true}};
    EXPECT_EQ(overs, expected);

    // The leave by the mouse-leave notice, then a release outside: nothing is dropped.
    overs.clear();
    h.input.MouseLeave();
    ASSERT_EQ(overs.size(), 1u);
    EXPECT_EQ(overs[0].first, dsDragLeave);
    h.release({150, 75});
    EXPECT_EQ(g->Links(0)->Item(), first);
    EXPECT_FALSE(h.input.IsDragging());
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(TqvNavBarInput::CurrentDrag(), nullptr);
}

namespace {
// A drag object of the caller's own, which says when it is freed.
struct OwnDrag : TqvNavBarDragObject {
    bool *freed;
    explicit OwnDrag(bool *f) : freed(f) {}
    ~OwnDrag() override { *freed = true; }
};
} // namespace

TEST(NavBarInput, StartDragHandlerMayHandBackItsOwnDragObject)
{
    Host h;
    TqvNavBarGroup *g = h.group("Mail", 2);
    TqvNavBarItem *loose = h.items.Add();
    loose->SetCaption("Loose");
    h.links = {{TRect(0, 20, 100, 40), g->Links(0)}, {TRect(0, 40, 100, 60), g->Links(1)}};
    h.drop = [&](TPoint) {
        TqvNavBarDropTarget t;
        t.group = g;
        t.index = 1;
        t.before = g->Links(0);
        t.after = g->Links(1);
        return t;
    };
    bool freed = false;
    h.OnStartDrag = [&](QObject *, std::unique_ptr<TqvNavBarDragObject> &d) {
        auto own = std::make_unique<OwnDrag>(&freed);
        own->item = loose;
        d = std::move(own);
    };
    h.press({50, 30});
    h.move({50, 50}, Qt::LeftButton);
    ASSERT_NE(dynamic_cast<OwnDrag *>(TqvNavBarInput::CurrentDrag()), nullptr);
    EXPECT_EQ(TqvNavBarInput::CurrentDrag()->bar, &h.owner);
    EXPECT_TRUE(h.input.DropAccepted());
    EXPECT_EQ(h.cursor, Qt::DragCopyCursor) << "an item dragged as such is copied";
    h.release({50, 50});
    EXPECT_TRUE(freed);
    ASSERT_EQ(g->LinkCount(), 3);
    EXPECT_EQ(g->Links(1)->Item(), loose);

    // The handed-in item freed mid-drag: the drag ends without a drop.
    freed = false;
    h.press({50, 30});
    h.move({50, 50}, Qt::LeftButton);
    ASSERT_TRUE(h.input.IsDragging());
    delete loose;
    EXPECT_FALSE(h.input.IsDragging());
    EXPECT_TRUE(freed);
    h.release({50, 50});
    EXPECT_EQ(g->LinkCount(), 2) << "its link went with it, nothing was added";
}
