// The views registry: its twelve entries, its two errors, the View clamp and the fall-back to
// view 0; the class table of each view; the default styles each view gives.
#include "paint_bar.h"

#include <gtest/gtest.h>

namespace navbar_paint_test {
namespace {

const std::vector<std::pair<int, QString>> kOrder{
    {8, "ExplorerBarView"}, {9, "UltraFlatExplorerView"}, {10, "AdvExplorerBarView"}, {0, "BaseView"},
    {1, "FlatView"},        {5, "VSToolBoxView"},         {2, "Office1View"},        {3, "Office2View"},
    {4, "Office3View"},     {6, "XP1View"},               {7, "XP2View"},            {11, "XPExplorerBarView"},
};

TEST(NavBarViewsRegistry, TwelveEntriesInRegistrationOrder)
{
    const TqvNavBarViewsFactory &f = ViewsFactory();
    ASSERT_EQ(f.Count(), 12);
    for (int i = 0; i < f.Count(); ++i) {
        EXPECT_EQ(f.Entry(i).ID, kOrder[size_t(i)].first) << i;
        EXPECT_EQ(f.Entry(i).Name, kOrder[size_t(i)].second) << i;
        EXPECT_EQ(f.IndexOfID(kOrder[size_t(i)].first), i);
    }
    EXPECT_EQ(f.IndexOfID(12), -1);
    EXPECT_EQ(f.IndexOfID(-1), -1);
}

TEST(NavBarViewsRegistry, DuplicateOfFirstOrLastEntryIsRefusedAndChangesNothing)
{
    TqvNavBarViewsFactory &f = ViewsFactory();
    for (int id : {8, 11}) {
        try {
            f.RegisterView(id, "Again", &TqvNavBarPainter::Create<TqvNavBarBasePainter>);
            ADD_FAILURE() << "no error for " << id;
        } catch (const EqvNavBarViewError &e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), QString("ID of view = %1 is already exists.").arg(id));
        }
        ASSERT_EQ(f.Count(), 12);
        EXPECT_EQ(f.Entry(f.IndexOfID(id)).Name, id == 8 ? "ExplorerBarView" : "XPExplorerBarView");
    }
}

TEST(NavBarViewsRegistry, UnknownIdGivesTheErrorWithTheId)
{
    try {
        ViewsFactory().PainterClassByID(12);
        ADD_FAILURE() << "no error";
    } catch (const EqvNavBarViewError &e) {
        EXPECT_STREQ(e.what(), "Cannot find view with ID = 12.");
    }
    EXPECT_EQ(ViewsFactory().Count(), 12);
}

TEST(NavBarViewsRegistry, ViewValueIsClampedAndAnUnregisteredOneFallsBackToViewZero)
{
    EXPECT_EQ(NavBarViewForValue(-5), 0);
    EXPECT_EQ(NavBarViewForValue(99), 11);
    EXPECT_EQ(NavBarViewForValue(7), 7);

    // A registry whose IDs are not 0 .. Count - 1: a clamped value may name nothing.
    TqvNavBarViewsFactory sparse;
    sparse.RegisterView(0, "BaseView", &TqvNavBarPainter::Create<TqvNavBarBasePainter>);
    sparse.RegisterView(5, "VSToolBoxView", &TqvNavBarPainter::Create<TqvNavBarVSToolBoxPainter>);
    EXPECT_EQ(NavBarViewForValue(99, sparse), 0); // clamps to 1, which is not registered
    EXPECT_EQ(NavBarViewForValue(0, sparse), 0);
}

TEST(NavBarViewsRegistry, APainterThatCannotBeMadeFallsBackToBaseView)
{
    TqvNavBarViewsFactory f;
    f.RegisterView(0, "BaseView", &TqvNavBarPainter::Create<TqvNavBarBasePainter>);
    f.RegisterView(1, "Broken", [](TqvNavBarPainterHost &) -> std::unique_ptr<TqvNavBarPainter> {
        throw std::runtime_error("cannot make it");
    });
    f.RegisterView(2, "Empty", [](TqvNavBarPainterHost &) { return std::unique_ptr<TqvNavBarPainter>(); });
    PaintBar bar;
    bar.registry = &f;
    for (int view : {1, 2, 7}) {
        std::unique_ptr<TqvNavBarPainter> p;
        EXPECT_NO_THROW(p = MakeNavBarPainter(view, bar, f));
        ASSERT_TRUE(p);
        EXPECT_NE(dynamic_cast<TqvNavBarBasePainter *>(p.get()), nullptr);
        EXPECT_EQ(p->GetViewInfoClass(), vkBase);
    }
    // Through the bar: the paint makes the painter and no exception leaves it.
    bar.fill();
    bar.SetView(1);
    QImage img;
    EXPECT_NO_THROW(img = bar.render());
    EXPECT_EQ(img.pixel(2, 100) == kUnpainted, false);
}

// The element painters each view names.
TEST(NavBarViewsRegistry, ClassTableOfEachView)
{
    struct Row {
        int view;
        const char *button, *scroll, *selection, *sign;
    };
    const Row rows[] = {
        {0, "TqvNavBarButtonPainter", "TqvNavBarScrollButtonsPainter", "TqvNavBarSelectionPainter", "TqvBaseSignPainter"},
        {1, "TqvNavBarFlatButtonPainter", "TqvNavBarScrollButtonsPainter", "TqvNavBarSelectionPainter", "TqvBaseSignPainter"},
        {5, "TqvNavBarVSToolBoxButtonPainter", "TqvNavBarScrollButtonsPainter", "TqvNavBarVSToolBoxSelectionPainter", "TqvBaseSignPainter"},
        {2, "TqvNavBarOfficeButtonPainter", "TqvNavBarScrollButtonsPainter", "TqvNavBarSelectionPainter", "TqvBaseSignPainter"},
        {3, "TqvNavBarOfficeButtonPainter", "TqvNavBarScrollButtonsPainter", "TqvNavBarUltraFlatSelectionPainter", "TqvBaseSignPainter"},
        {4, "TqvNavBarOfficeButtonPainter", "TqvNavBarScrollButtonsPainter", "TqvNavBarUltraFlatSelectionPainter", "TqvBaseSignPainter"},
        {6, "TqvNavBarFlatButtonPainter", "TqvNavBarXPScrollButtonsPainter", "TqvNavBarXPSelectionPainter", "TqvBaseSignPainter"},
        {7, "TqvNavBarXPButtonPainter", "TqvNavBarXPScrollButtonsPainter", "TqvNavBarXPSelectionPainter", "TqvBaseSignPainter"},
        {8, "TqvNavBarExplorerButtonPainter", "TqvBaseScrollButtonsPainter", "TqvBaseSelectionPainter", "TqvNavBarExplorerBarSignPainter"},
        {9, "TqvNavBarExplorerButtonPainter", "TqvBaseScrollButtonsPainter", "TqvNavBarUltraFlatSelectionPainter", "TqvNavBarExplorerBarSignPainter"},
        {10, "TqvNavBarAdvExplorerButtonPainter", "TqvBaseScrollButtonsPainter", "TqvBaseSelectionPainter", "TqvNavBarAdvExplorerBarSignPainter"},
        {11, "TqvNavBarXPExplorerBarButtonPainter", "TqvBaseScrollButtonsPainter", "TqvBaseSelectionPainter", "TqvNavBarXPExplorerBarSignPainter"},
    };
    PaintBar bar;
    for (const Row &r : rows) {
        bar.SetView(r.view);
        const TqvNavBarPainter &p = bar.Painter();
        SCOPED_TRACE(r.view);
        EXPECT_EQ(int(p.GetViewInfoClass()), r.view);
        EXPECT_EQ(p.ViewInfo().Kind(), r.view);
        EXPECT_STREQ(p.GetBackgroundPainterClass()->className, "TqvNavBarBackgroundPainter");
        EXPECT_STREQ(p.GetImagePainterClass()->className, "TqvNavBarImagePainter");
        EXPECT_STREQ(p.GetDropTargetGroupPainterClass()->className, "TqvNavBarDropTargetGroupPainter");
        EXPECT_STREQ(p.GetDropTargetLinkPainterClass()->className, "TqvNavBarDropTargetLinkPainter");
        EXPECT_STREQ(p.GetButtonPainterClass()->className, r.button);
        EXPECT_STREQ(p.GetScrollButtonsPainterClass()->className, r.scroll);
        EXPECT_STREQ(p.GetSelectionPainterClass()->className, r.selection);
        EXPECT_STREQ(p.GetSignPainterClass()->className, r.sign);
    }
}

// A painter class that overrides none of the element painters draws nothing but what the bases
// draw: nothing at all, except the images and drop marks that the base names concretely.
TEST(NavBarPainterBase, ElementPainterBasesDrawNothing)
{
    PaintBar bar;
    bar.fill();
    std::unique_ptr<TqvNavBarPainter> base = TqvNavBarPainter::Create<TqvNavBarPainter>(bar);
    bar.painter = std::move(base);
    for (int i = 0; i < bar.groups.Count(); ++i)
        for (int l = 0; l < bar.group(i)->LinkCount(); ++l)
            bar.group(i)->Links(l)->Item()->SetSmallImageIndex(-1); // no images either
    bar.painterEvents.OnCustomDrawLink = [](TqvCanvas &, TqvNavBarLinkViewInfo &, bool &handled) { handled = true; };
    bar.painterEvents.OnCustomDrawGroupCaption = [](TqvCanvas &, TqvNavBarGroupViewInfo &, bool &handled) {
        handled = true;
    };
    bar.painter->InvalidateViewInfo(ctRebuild);
    // The back buffer starts transparent and the copy replaces the target's pixels.
    const QImage img = bar.render();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) != 0)
                FAIL() << "pixel drawn at " << x << "," << y;
}

// ---- default styles --------------------------------------------------------------------------

struct StyleExpect {
    TColor back;
    TColor font = clNone; // clNone: no font check
    bool bold = false;
    int h = -1, v = -1;
};

void expectStyle(const TqvNavBarDefaultStyle &s, const StyleExpect &e, const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(s.BackColor(), e.back);
    EXPECT_EQ(s.BackColor2(), e.back);
    EXPECT_EQ(s.AlphaBlending(), 255);
    EXPECT_EQ(s.AlphaBlending2(), 255);
    EXPECT_TRUE(s.Image().isEmpty());
    if (e.h >= 0) {
        EXPECT_EQ(int(s.HAlignment()), e.h);
        EXPECT_EQ(int(s.VAlignment()), e.v);
    }
    if (e.font != clNone || e.bold) {
        EXPECT_EQ(s.Font().color(), e.font);
        EXPECT_EQ(s.Font().bold(), e.bold);
        EXPECT_EQ(s.Font().size(), 8);
        EXPECT_EQ(s.Font().name(), "MS Sans Serif");
    }
}

TEST(NavBarViewDefaults, EachViewChangesTheDefaultStylesOfItsTable)
{
    using S = TqvNavBarDefaultStyles;
    struct Row {
        std::vector<int> views;
        TColor background, groupBackground, header, headerFont;
        bool headerBold;
        int headerH;
        TColor itemFont, disabledFont;
        bool hotUnderlined;
    };
    const Row rows[] = {
        {{0, 1}, clAppWorkSpace, clAppWorkSpace, clBtnFace, clBtnText, false, 1, clBtnHighlight, clBtnText, false},
        {{2, 3, 4, 7}, clBtnFace, clBtnFace, clBtnFace, clBtnText, false, 1, clBtnText, clBtnShadow, false},
        {{5}, clBtnFace, clBtnFace, clBtnFace, clBtnText, false, 0, clBtnText, clBtnShadow, false},
        {{6}, clAppWorkSpace, clInactiveCaption, clActiveCaption, clCaptionText, false, 1, clBtnText, clBtnShadow, false},
        {{8, 9, 11}, clWindow, clWindow, clBtnFace, clBtnText, true, 0, clWindowText, clGrayText, true},
        {{10}, clHighlight, clNone, clNone, clNone, true, 0, clNone, clNone, true},
    };
    PaintBar bar(vkXP1); // every row below is reached by a View change
    for (const Row &r : rows)
        for (int view : r.views) {
            bar.SetView(view == 6 ? 0 : view);
            bar.SetView(view);
            SCOPED_TRACE(view);
            const S &d = bar.defaults;
            expectStyle(*d.Style(S::Background), {r.background}, "Background");
            expectStyle(*d.Style(S::GroupBackground), {r.groupBackground}, "GroupBackground");
            expectStyle(*d.Style(S::Button), {clBtnFace}, "Button");
            expectStyle(*d.Style(S::ButtonPressed), {clBtnFace}, "ButtonPressed");
            const StyleExpect header{r.header, r.headerFont, r.headerBold, r.headerH, 1};
            for (int i : {S::GroupHeader, S::GroupHeaderActive, S::GroupHeaderHotTracked, S::GroupHeaderPressed})
                expectStyle(*d.Style(i), header, qPrintable(S::StyleName(i)));
            expectStyle(*d.Style(S::Hint), {clInfoBk, clInfoText, false, 1, 1}, "Hint");
            const TqvNavBarDefaultStyle &item = *d.Style(S::Item);
            EXPECT_EQ(item.Font().color(), r.itemFont);
            EXPECT_FALSE(item.Font().bold());
            EXPECT_EQ(int(item.HAlignment()), 1);
            EXPECT_TRUE(item.Image().isEmpty());
            EXPECT_EQ(d.Style(S::ItemDisabled)->Font().color(), r.disabledFont);
            EXPECT_EQ(d.Style(S::ItemHotTracked)->Font().underline(), r.hotUnderlined);
            EXPECT_EQ(d.Style(S::ItemHotTracked)->Font().color(), r.itemFont);
            EXPECT_FALSE(d.Style(S::ItemPressed)->Font().underline());
            EXPECT_EQ(d.Style(S::DropTargetGroup)->BackColor(), clHighlight);
            EXPECT_EQ(d.Style(S::DropTargetGroup)->AlphaBlending(), 60);
            EXPECT_EQ(d.Style(S::DropTargetLink)->BackColor(), clBlack);
            for (int i = 0; i < S::kCount; ++i)
                EXPECT_TRUE(d.Style(i)->IsDefault()) << i;
        }
}

} // namespace
} // namespace navbar_paint_test
