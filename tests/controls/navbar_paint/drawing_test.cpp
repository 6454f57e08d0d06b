// What the painter draws and when: links without a valid image, links cut at the item area's
// bottom, the insertion mark of a dragged link, custom drawing, the explorer bar's border, one
// painter per View change, changes made during a paint, stale scroll buttons, partial copies, and
// the group operations of the two families.
#include "paint_bar.h"

#include <QPaintEvent>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace navbar_paint_test {
namespace {

int countNot(const QImage &img, const TRect &r, TColor colour)
{
    int n = 0;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, img.height()); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, img.width()); ++x)
            if (pixel(img, x, y) != colour)
                ++n;
    return n;
}

TEST(NavBarPainterDrawing, LinkWithImageIndexOutsideItsListDrawsOnlyItsCaption)
{
    PaintBar bar(vkBase);
    bar.fill();
    bar.group(0)->Links(0)->Item()->SetSmallImageIndex(9); // the list holds four
    bar.group(0)->Links(0)->Item()->SetLargeImageIndex(9);
    bar.group(0)->SetSelectedLinkIndex(0);                 // a valid image would get a frame
    bar.hotLink = bar.group(0)->Links(0);
    const QImage img = bar.render();
    const TqvNavBarLinkViewInfo *l = bar.VI().Groups(0)->Links(0);
    const TColor bg = sys(clAppWorkSpace);
    const TRect sel = l->SelectionRect();
    ASSERT_FALSE(sel.isEmpty());
    EXPECT_EQ(countNot(img, sel, bg), 0) << "selection or image drawn";
    EXPECT_GT(countNot(img, l->CaptionRect(), bg), 0) << "caption missing";

    // The same link with a valid index: frame and image.
    bar.group(0)->Links(0)->Item()->SetSmallImageIndex(1);
    const QImage with = bar.render();
    EXPECT_GT(countNot(with, sel, bg), 16 * 16 - 1);
}

TEST(NavBarPainterDrawing, LinkHalfBelowTheItemAreaLeavesNoPixelBelowIt)
{
    PaintBar bar(vkBase);
    bar.fill(2, 4);
    // Group 1's caption is not drawn, so whatever lies below group 0's item area shows.
    bar.painterEvents.OnCustomDrawGroupCaption = [](TqvCanvas &, TqvNavBarGroupViewInfo &g, bool &handled) {
        handled = g.Group()->Index() == 1;
    };
    bar.height = 600;
    bar.VI().EnsureLayout();
    const TqvNavBarGroupViewInfo *g = bar.VI().Groups(0);
    const TRect link1 = g->Links(1)->Rect();
    const int below = bar.height - g->ItemsRect().bottom; // group 1's caption and spacing
    bar.height = link1.top + link1.height() / 2 + below;
    bar.InvalidateAll(ctRelayout);
    const QImage img = bar.render();
    const TqvNavBarGroupViewInfo *cut = bar.VI().Groups(0);
    const TRect &items = cut->ItemsRect();
    ASSERT_LT(cut->Links(1)->Rect().top, items.bottom);
    ASSERT_GT(cut->Links(1)->Rect().bottom, items.bottom);
    // The link's upper half is drawn ...
    const TRect img1 = cut->Links(1)->ImageRect();
    EXPECT_GT(countNot(img, TRect(img1.left, img1.top, img1.right, items.bottom), sys(clAppWorkSpace)), 0);
    // ... and nothing of it below the item area: only the bar's background (the scroll button sits
    // inside the item area).
    EXPECT_EQ(countNot(img, TRect(0, items.bottom, bar.width, bar.height), sys(clAppWorkSpace)), 0);
}

// A hot point between links `before` and `before + 1` of group 0.
TPoint pointBetween(PaintBar &bar, int before)
{
    TqvNavBarViewInfo &vi = bar.VI();
    vi.EnsureLayout();
    const TRect &items = vi.Groups(0)->ItemsRect();
    const int x = (items.left + items.right) / 2;
    for (int y = items.top; y < items.bottom; ++y) {
        const TqvNavBarDropInfo d = vi.GetDropInfo({x, y});
        if (d.before && d.after && d.before->Link() == bar.group(0)->Links(before) &&
            d.after->Link() == bar.group(0)->Links(before + 1))
            return {x, y};
    }
    return {-1, -1};
}

TEST(NavBarPainterDrawing, DraggedLinkDirectlyBelowItselfDrawsNoMark)
{
    PaintBar bar(vkBase);
    bar.fill();
    const QImage still = bar.render();
    bar.hotPoint = pointBetween(bar, 0);
    ASSERT_NE(bar.hotPoint.x, -1);
    bar.drag = {true, nullptr, bar.group(0)->Links(0), nullptr, true, true};
    bar.InvalidateAll(ctRedraw);
    EXPECT_TRUE(bar.render() == still);

    // Another link dragged to the same place gets a black mark between the two links, inside the
    // group's item area.
    bar.drag.link = bar.group(0)->Links(2);
    bar.InvalidateAll(ctRedraw);
    const QImage marked = bar.render();
    const TqvNavBarGroupViewInfo *g = bar.VI().Groups(0);
    const int y = g->Links(0)->Rect().bottom;
    const TqvNavBarViewConstants c = bar.VI().Constants();
    EXPECT_EQ(pixel(marked, bar.width / 2, y), clBlack);
    EXPECT_EQ(pixel(marked, g->ItemsRect().left + c.Constant8, y), clBlack); // the left tick
    EXPECT_NE(pixel(marked, g->ItemsRect().left + c.Constant8 - 1, y), clBlack);
    int changed = 0;
    for (int yy = 0; yy < marked.height(); ++yy)
        for (int xx = 0; xx < marked.width(); ++xx)
            if (marked.pixel(xx, yy) != still.pixel(xx, yy)) {
                ++changed;
                EXPECT_TRUE(g->ItemsRect().contains(xx, yy)) << xx << "," << yy;
            }
    EXPECT_GT(changed, 100);

    // Not allowed to drop: no mark.
    bar.drag.allowDropLink = false;
    bar.InvalidateAll(ctRedraw);
    EXPECT_TRUE(bar.render() == still);
}

// Each hook fills its element with a marker and, when it says handled, the default drawing must
// leave the marker alone.
TEST(NavBarPainterDrawing, EachCustomDrawHookThatHandlesSuppressesTheDefault)
{
    constexpr TColor kMarker = RGBColor(255, 0, 255);
    using Ev = TqvNavBarPainterEvents;
    struct Hook {
        const char *name;
        std::function<void(Ev &, bool handled)> install;
        std::function<TPoint(PaintBar &)> probe;
    };
    auto whole = [](bool h) {
        return [h](TqvCanvas &c, TqvNavBarViewInfo &vi, bool &handled) {
            c.fillRect(TRect(0, 0, vi.Bar().ClientWidth(), vi.Bar().ClientHeight()), kMarker);
            handled = h;
        };
    };
    const std::vector<Hook> hooks{
        {"background", [&](Ev &e, bool h) { e.OnCustomDrawBackground = whole(h); },
         [](PaintBar &b) { return TPoint{b.width / 2, b.VI().Groups(1)->CaptionRect().top - 2}; }},
        {"group client background",
         [](Ev &e, bool h) {
             e.OnCustomDrawGroupClientBackground = [h](TqvCanvas &c, TqvNavBarGroupViewInfo &g, bool &handled) {
                 c.fillRect(g.ItemsRect(), kMarker);
                 handled = h;
             };
         },
         [](PaintBar &b) { return TPoint{2, b.VI().Groups(0)->ItemsRect().top + 2}; }},
        {"group client foreground",
         [](Ev &e, bool h) {
             e.OnCustomDrawGroupClientForeground = [h](TqvCanvas &c, TqvNavBarGroupViewInfo &g, bool &handled) {
                 c.fillRect(g.ItemsRect(), kMarker);
                 handled = h;
             };
         },
         [](PaintBar &b) {
             const TRect r = b.VI().Groups(0)->Links(1)->ImageRect(); // link 0 is scrolled away
             return TPoint{r.left + 8, r.top + 8};
         }},
        {"group caption",
         [](Ev &e, bool h) {
             e.OnCustomDrawGroupCaption = [h](TqvCanvas &c, TqvNavBarGroupViewInfo &g, bool &handled) {
                 c.fillRect(g.CaptionRect(), kMarker);
                 handled = h;
             };
         },
         [](PaintBar &b) { return TPoint{1, b.VI().Groups(0)->CaptionRect().top}; }},
        {"link",
         [](Ev &e, bool h) {
             e.OnCustomDrawLink = [h](TqvCanvas &c, TqvNavBarLinkViewInfo &l, bool &handled) {
                 c.fillRect(l.Rect(), kMarker);
                 handled = h;
             };
         },
         [](PaintBar &b) {
             const TRect r = b.VI().Groups(0)->Links(1)->ImageRect(); // link 0 is scrolled away
             return TPoint{r.left + 8, r.top + 8};
         }},
        {"top scroll button",
         [](Ev &e, bool h) {
             e.OnCustomDrawTopScrollButton = [h](TqvCanvas &c, TqvNavBarViewInfo &vi, bool &handled) {
                 c.fillRect(vi.TopScrollButtonRect(), kMarker);
                 handled = h;
             };
         },
         [](PaintBar &b) {
             const TRect r = b.VI().TopScrollButtonRect();
             return TPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
         }},
        {"bottom scroll button",
         [](Ev &e, bool h) {
             e.OnCustomDrawBottomScrollButton = [h](TqvCanvas &c, TqvNavBarViewInfo &vi, bool &handled) {
                 c.fillRect(vi.BottomScrollButtonRect(), kMarker);
                 handled = h;
             };
         },
         [](PaintBar &b) {
             const TRect r = b.VI().BottomScrollButtonRect();
             return TPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
         }},
    };
    for (const Hook &hook : hooks)
        for (bool handled : {true, false}) {
            SCOPED_TRACE(std::string(hook.name) + (handled ? " handled" : " not handled"));
            PaintBar bar(vkBase);
            bar.fill(3, 12); // enough links for both scroll buttons
            bar.space = 6;
            bar.group(0)->SetTopVisibleLinkIndex(1);
            hook.install(bar.painterEvents, handled);
            const QImage img = bar.render();
            const TPoint p = hook.probe(bar);
            ASSERT_TRUE(TRect(0, 0, bar.width, bar.height).contains(p)) << p.x << "," << p.y;
            EXPECT_EQ(pixel(img, p.x, p.y) == kMarker, handled) << p.x << "," << p.y;
        }
}

TEST(NavBarPainterDrawing, ExplorerBarBorderIsInTheCaptionBackColour)
{
    PaintBar bar(vkExplorerBar);
    bar.fill();
    TqvNavBarStyleItem *header = bar.styles.Add();
    header->Style().SetBackColor(RGBColor(200, 40, 40));
    for (int i = 0; i < 3; ++i) {
        bar.group(i)->SetStyleHeader(header);
        bar.group(i)->SetStyleHeaderActive(header);
    }
    bar.group(2)->SetExpanded(false);
    const QImage img = bar.render();
    const TqvNavBarGroupViewInfo *g = bar.VI().Groups(0);
    const TColor caption = g->CaptionBackColor();
    ASSERT_EQ(caption, RGBColor(200, 40, 40));
    const TRect &r = g->ItemsRect();
    ASSERT_GT(r.height(), 2);
    for (int y = r.top; y < r.bottom; ++y) {
        EXPECT_EQ(pixel(img, r.left, y), caption) << y;
        EXPECT_EQ(pixel(img, r.right - 1, y), caption) << y;
    }
    for (int x = r.left; x < r.right; ++x)
        EXPECT_EQ(pixel(img, x, r.bottom - 1), caption) << x;
    EXPECT_EQ(pixel(img, r.left + 1, r.top + 1), sys(clWindow));
    // A collapsed group has no item area to frame: the bar background right below its caption.
    const TqvNavBarGroupViewInfo *collapsed = bar.VI().Groups(2);
    EXPECT_EQ(pixel(img, collapsed->CaptionRect().left, collapsed->CaptionRect().bottom + 1), sys(clWindow));
}

TEST(NavBarPainterLifecycle, OnePainterPerViewChangeWhileALinkIsSelected)
{
    int made = 0;
    TqvNavBarViewsFactory counting;
    for (int i = 0; i < ViewsFactory().Count(); ++i) {
        const TqvNavBarViewsFactoryEntry &e = ViewsFactory().Entry(i);
        counting.RegisterView(e.ID, e.Name, [&made, make = e.PainterClass](TqvNavBarPainterHost &bar) {
            ++made;
            return make(bar);
        });
    }
    PaintBar bar(vkBase);
    bar.fill();
    bar.registry = &counting;
    for (int view : {1, 8, 11, 0, 5}) {
        bar.group(0)->SetSelectedLinkIndex(1); // clearing it reports a change while the painter is made
        const int before = made;
        bar.SetView(view);
        bar.render();
        EXPECT_EQ(made - before, 1) << view;
        EXPECT_EQ(bar.group(0)->SelectedLinkIndex(), -1);
        EXPECT_EQ(bar.view, view);
    }
}

TEST(NavBarPainterLifecycle, AChangeMadeDuringAPaintShowsInTheNextOne)
{
    PaintBar bar(vkBase);
    bar.fill();
    bool once = true;
    // The last caption drawn renames the first group, whose caption is already in the picture.
    bar.painterEvents.OnCustomDrawGroupCaption = [&](TqvCanvas &, TqvNavBarGroupViewInfo &g, bool &) {
        if (once && g.Group()->Index() == 2) {
            once = false;
            bar.group(0)->SetCaption("Messages and calls");
        }
    };
    const QImage first = bar.render();
    EXPECT_TRUE(bar.Painter().IsRedrawNeeded());
    EXPECT_TRUE(bar.Painter().IsRelayoutNeeded());
    const QImage second = bar.render();
    EXPECT_FALSE(bar.Painter().IsRedrawNeeded());
    const TRect caption = bar.VI().Groups(0)->CaptionRect();
    EXPECT_FALSE(first.copy(caption.toQRect()) == second.copy(caption.toQRect()));
    EXPECT_TRUE(bar.render() == second);
}

TEST(NavBarPainterLifecycle, InvalidateViewInfoMarksByKind)
{
    PaintBar bar(vkBase);
    bar.fill();
    bar.render();
    TqvNavBarPainter &p = bar.Painter();
    EXPECT_FALSE(p.IsRebuildNeeded() || p.IsRelayoutNeeded() || p.IsRedrawNeeded());
    p.InvalidateViewInfo(ctRedraw);
    EXPECT_TRUE(!p.IsRebuildNeeded() && !p.IsRelayoutNeeded() && p.IsRedrawNeeded());
    p.InvalidateViewInfo(ctRelayout);
    EXPECT_TRUE(!p.IsRebuildNeeded() && p.IsRelayoutNeeded());
    p.InvalidateViewInfo(ctRebuild);
    EXPECT_TRUE(p.IsRebuildNeeded() && p.IsRelayoutNeeded() && p.IsRedrawNeeded());
    bar.render();
    EXPECT_FALSE(p.IsRebuildNeeded() || p.IsRelayoutNeeded() || p.IsRedrawNeeded());
}

TEST(NavBarPainterLifecycle, HiddenScrollButtonLeavesNoStalePicture)
{
    PaintBar bar(vkBase);
    bar.fill(3, 12);
    bar.group(0)->SetTopVisibleLinkIndex(1);
    bar.render();
    const TRect top = bar.VI().TopScrollButtonRect();
    ASSERT_FALSE(top.isEmpty());
    bar.group(0)->SetTopVisibleLinkIndex(0);
    const QImage after = bar.render();
    ASSERT_TRUE(bar.VI().TopScrollButtonRect().isEmpty());
    bar.painter.reset(); // a painter that never saw the button
    bar.buffer = QImage();
    const QImage fresh = bar.render();
    EXPECT_TRUE(after.copy(top.toQRect()) == fresh.copy(top.toQRect()));
    EXPECT_TRUE(after == fresh);
}

TEST(NavBarPainterLifecycle, PaintCopiesOnlyTheUpdateRectangleAndRedrawsOnlyWhenMarked)
{
    PaintBar bar(vkBase);
    bar.fill();
    bar.render();
    int backgrounds = 0;
    bar.painterEvents.OnCustomDrawBackground = [&](TqvCanvas &, TqvNavBarViewInfo &, bool &) { ++backgrounds; };
    QImage target(bar.width, bar.height, QImage::Format_ARGB32);
    target.fill(kUnpainted);
    {
        QPainter p(&target);
        bar.Painter().Paint(p, QRect(10, 20, 30, 40));
    }
    EXPECT_EQ(backgrounds, 0); // nothing marked: the buffer is only copied
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x)
            ASSERT_EQ(target.pixel(x, y) != kUnpainted, QRect(10, 20, 30, 40).contains(x, y)) << x << "," << y;
    bar.InvalidateAll(ctRedraw);
    bar.render();
    EXPECT_EQ(backgrounds, 1);
}

TEST(NavBarPainterLifecycle, BackBufferFollowsTheDevicePixelRatio)
{
    PaintBar bar(vkBase);
    bar.fill();
    bar.dpr = 2.0;
    QImage target(bar.width * 2, bar.height * 2, QImage::Format_ARGB32);
    target.setDevicePixelRatio(2.0);
    target.fill(kUnpainted);
    {
        QPainter p(&target);
        bar.Painter().Paint(p, QRect(0, 0, bar.width, bar.height));
    }
    EXPECT_EQ(bar.buffer.size(), QSize(300, 600));
    EXPECT_EQ(bar.buffer.devicePixelRatio(), 2.0);
    EXPECT_NE(target.pixel(299, 599), kUnpainted);
    EXPECT_EQ(pixel(target, 299, 599), pixel(bar.buffer, 299, 599));
}

TEST(NavBarPainterGroups, BaseViewsActivateExplorerViewsExpand)
{
    PaintBar bar(vkBase);
    bar.fill();
    TqvNavBarPainter &base = bar.Painter();
    EXPECT_TRUE(base.IsGroupActive(bar.group(0)));
    EXPECT_FALSE(base.IsGroupActive(bar.group(2)));
    base.ActivateGroup(bar.group(2));
    EXPECT_EQ(bar.ActiveGroup(), bar.group(2));
    base.DeactivateGroup(bar.group(2));
    EXPECT_EQ(bar.ActiveGroup(), bar.group(2));

    bar.SetView(vkAdvExplorerBar);
    TqvNavBarPainter &explorer = bar.Painter();
    bar.group(1)->SetExpanded(false);
    EXPECT_FALSE(explorer.IsGroupActive(bar.group(1)));
    explorer.ActivateGroup(bar.group(1));
    EXPECT_TRUE(bar.group(1)->Expanded());
    EXPECT_TRUE(explorer.IsGroupActive(bar.group(1)));
    explorer.DeactivateGroup(bar.group(1));
    EXPECT_FALSE(bar.group(1)->Expanded());
    EXPECT_EQ(bar.ActiveGroup(), bar.group(2)); // untouched by the explorer operations
}

TEST(NavBarPainterGroups, ConstructionHidesTheScrollBarAndClearsSelections)
{
    PaintBar bar(vkBase);
    bar.fill();
    bar.hasScrollBar = true;
    bar.scrollBar.visible = true;
    bar.group(1)->SetSelectedLinkIndex(2);
    bar.SetView(vkExplorerBar);
    EXPECT_FALSE(bar.scrollBar.visible);
    EXPECT_EQ(bar.group(1)->SelectedLinkIndex(), -1);
}

TEST(NavBarPainterGroups, InvalidateScrollButtonsAsksForTheVisibleButtonsOnly)
{
    PaintBar bar(vkBase);
    bar.fill(3, 12);
    bar.render();
    bar.invalidated.clear();
    bar.Painter().InvalidateScrollButtons();
    ASSERT_EQ(bar.invalidated.size(), 1u); // only the bottom one: nothing above the first link
    EXPECT_EQ(bar.invalidated[0], bar.VI().BottomScrollButtonRect());
    bar.group(0)->SetTopVisibleLinkIndex(1);
    bar.invalidated.clear();
    bar.Painter().InvalidateScrollButtons();
    ASSERT_EQ(bar.invalidated.size(), 2u);
    EXPECT_EQ(bar.invalidated[0], bar.VI().TopScrollButtonRect());
}

// Qt never paints a parent over its children: a hosted group control stays on top of the picture
// without any clipping by the painter.
TEST(NavBarPainterHosting, HostedControlIsNeverPaintedOver)
{
    PaintBar bar(vkBase);
    bar.fill();
    bar.widget.resize(bar.width, bar.height);
    struct PaintFilter : QObject {
        PaintBar &bar;
        explicit PaintFilter(PaintBar &b) : bar(b) {}
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (o == &bar.widget && e->type() == QEvent::Paint) {
                QPainter p(&bar.widget);
                bar.Painter().Paint(p, static_cast<QPaintEvent *>(e)->rect());
                return true;
            }
            return false;
        }
    } filter(bar);
    bar.widget.installEventFilter(&filter);
    TqvNavBarGroup *g = bar.group(0);
    g->SetUseControl(true);
    g->SetShowControl(true);
    ASSERT_TRUE(g->Control());
    auto *tree = new QTreeWidget(g->Control());
    tree->setAutoFillBackground(true);
    QPalette pal = tree->palette();
    pal.setColor(QPalette::Base, QColor(0x20, 0xC0, 0x40));
    pal.setColor(QPalette::Window, QColor(0x20, 0xC0, 0x40));
    tree->setPalette(pal);
    tree->setFrameShape(QFrame::NoFrame);
    g->Control()->setAutoFillBackground(true);
    g->Control()->setPalette(pal);
    bar.InvalidateAll(ctRebuild);
    bar.VI().EnsureLayout();
    bar.widget.show();
    const QRect where = g->Control()->geometry();
    ASSERT_FALSE(where.isEmpty());
    tree->setGeometry(QRect(QPoint(0, 0), where.size()));
    const QImage shot = bar.widget.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(where.center())), QColor(0x20, 0xC0, 0x40));
    // Outside the control the painter's picture shows.
    const TRect caption = bar.VI().Groups(1)->CaptionRect();
    EXPECT_NE(QColor(shot.pixel(caption.left + 4, caption.top + 4)), QColor(0x20, 0xC0, 0x40));
    bar.widget.removeEventFilter(&filter);
}

} // namespace
} // namespace navbar_paint_test

namespace navbar_paint_test {
namespace {

// VSToolBox shows a link's hint in place: the hot-tracked link again, whole, on the hint window.
TEST(NavBarPainterHints, VSToolBoxLinkHintIsTheHotLinkInPlace)
{
    PaintBar bar(vkVSToolBox);
    bar.fill();
    bar.VI().EnsureLayout();
    const TqvNavBarLinkViewInfo *l = bar.VI().Groups(0)->Links(1);
    const TRect sel = l->SelectionRect();
    QImage hint(sel.width() + 60, sel.height(), QImage::Format_ARGB32);
    hint.fill(kUnpainted);
    {
        QPainter p(&hint);
        TqvCanvas canvas(p);
        bar.Painter().DrawLinkHint(canvas, TRect(0, 0, hint.width(), hint.height()), l->Link(), "Outbox");
    }
    // The image where it sits relative to the selection rectangle.
    const TRect img = l->ImageRect().offset(-sel.left, -sel.top);
    EXPECT_EQ(hint.pixel(img.left + 8, img.top + 8), bar.images.image((0 + 1) % 4).pixel(0, 0));
    // The group's background behind it, a raised frame around it.
    EXPECT_EQ(pixel(hint, hint.width() - 3, hint.height() / 2), sys(clBtnFace));
    EXPECT_NE(pixel(hint, 0, 0), sys(clBtnFace));
    EXPECT_NE(hint.pixel(0, 0), kUnpainted);
    hint.save(screenshotDir() + "/vstoolbox_link_hint.png");
    // The caption in the link's font colour (black here; its edges are smoothed).
    const TRect cap = l->CaptionRect().offset(-sel.left, -sel.top);
    bool text = false;
    for (int y = cap.top; y < cap.bottom && !text; ++y)
        for (int x = cap.left; x < hint.width() && !text; ++x)
            text = qGray(hint.pixel(x, y)) < 80;
    EXPECT_TRUE(text);
}

TEST(NavBarPainterHints, GroupHintUsesTheHintStyle)
{
    PaintBar bar(vkBase);
    bar.fill();
    QImage hint(80, 20, QImage::Format_ARGB32);
    hint.fill(kUnpainted);
    {
        QPainter p(&hint);
        TqvCanvas canvas(p);
        bar.Painter().DrawGroupHint(canvas, TRect(0, 0, 80, 20), bar.group(0), "Mail");
    }
    EXPECT_EQ(pixel(hint, 78 - 2, 10), sys(clInfoBk));
    EXPECT_NE(hint.pixel(0, 0), kUnpainted);
}

} // namespace
} // namespace navbar_paint_test

namespace navbar_paint_test {
namespace {

// A custom-draw handler may free what the picture shows: the drawing stops before it reaches a
// freed group, link or item, and the paint draws again from a new layout.
TEST(NavBarPainterLifecycle, HandlerThatFreesGroupsAndItemsDuringAPaint)
{
    for (int view : {int(vkBase), int(vkExplorerBar), int(vkVSToolBox), int(vkAdvExplorerBar)}) {
        SCOPED_TRACE(view);
        PaintBar bar(view);
        bar.fill();
        bar.hotLink = bar.group(1)->Links(1);
        bar.hot = bar.group(1);
        bar.drag = {true, nullptr, bar.group(1)->Links(2), nullptr, true, true};
        bar.hotPoint = {40, 60};
        bool once = true;
        bar.painterEvents.OnCustomDrawGroupClientBackground = [&](TqvCanvas &, TqvNavBarGroupViewInfo &g, bool &) {
            if (once && g.Group() == bar.group(0)) {
                once = false;
                delete bar.items.Items(1); // a link of every group loses its item
                delete bar.group(1);       // drawn after this one
                bar.drag.link = nullptr;
            }
        };
        const QImage first = bar.render();
        EXPECT_EQ(bar.groups.Count(), 2);
        EXPECT_FALSE(bar.Painter().IsStale());
        EXPECT_EQ(bar.VI().GroupCount(), 2);
        // The paint drew again from the new layout: what reached the screen is already complete.
        bar.InvalidateAll(ctRedraw);
        EXPECT_TRUE(bar.render() == first);
    }
}

} // namespace
} // namespace navbar_paint_test

namespace navbar_paint_test {
namespace {

int channelDiff(TColor a, TColor b)
{
    return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                     std::abs(GetBValue(a) - GetBValue(b))});
}

// XP1's caption runs from a light shade to the caption colour, or to a lighter one when hot.
TEST(NavBarPainterDrawing, XP1CaptionGradientLightensWhenHot)
{
    PaintBar bar(vkXP1);
    bar.fill();
    const QImage cold = bar.render();
    const TRect c = bar.VI().Groups(1)->CaptionRect();
    const TColor back = sys(clActiveCaption);
    EXPECT_LE(channelDiff(pixel(cold, c.left + 3, c.top + 3), LightColor(back, 40)), 12);
    EXPECT_LE(channelDiff(pixel(cold, c.right - 4, c.top + 3), back), 12);
    bar.hot = bar.group(1);
    bar.InvalidateAll(ctRedraw);
    const QImage hot = bar.render();
    EXPECT_LE(channelDiff(pixel(hot, c.right - 4, c.top + 3), LightColor(back, 80)), 12);
    EXPECT_LE(channelDiff(pixel(hot, c.left + 3, c.top + 3), LightColor(back, 40)), 12);
}

// In icon view the mark stands upright at the side of the link before the drop position.
TEST(NavBarPainterDrawing, IconViewInsertionMarkIsUpright)
{
    PaintBar bar(vkBase);
    bar.fill();
    bar.group(0)->SetShowAsIconView(true);
    bar.group(0)->SetLinksUseSmallImages(false);
    TqvNavBarViewInfo &vi = bar.VI();
    vi.EnsureLayout();
    const TqvNavBarGroupViewInfo *g = vi.Groups(0);
    ASSERT_TRUE(g->IsIconView());
    TPoint at{-1, -1};
    for (int y = g->ItemsRect().top; y < g->ItemsRect().bottom && at.x < 0; ++y)
        for (int x = g->ItemsRect().left; x < g->ItemsRect().right && at.x < 0; ++x) {
            const TqvNavBarDropInfo d = vi.GetDropInfo({x, y});
            if (d.before && d.before->Link() == bar.group(0)->Links(0))
                at = {x, y};
        }
    ASSERT_NE(at.x, -1);
    bar.hotPoint = at;
    bar.drag = {true, nullptr, bar.group(0)->Links(3), nullptr, true, true};
    bar.InvalidateAll(ctRedraw);
    const QImage img = bar.render();
    const TRect l0 = bar.VI().Groups(0)->Links(0)->Rect();
    int black = 0;
    for (int y = l0.top; y < l0.bottom; ++y)
        black += pixel(img, l0.right, y) == clBlack;
    EXPECT_GT(black, l0.height() / 2);
}

} // namespace
} // namespace navbar_paint_test
