// Hit tests, drop positions, state flags and style values of the view information, on the
// standard content of view_bar.h. Base view at 200 x 600 unless a case says otherwise: the active
// group "Mail" has its caption at (0, 0, 200, 19) and its shown links 0, 1 and 3 at y 27..50,
// 50..73 and 73..96; "Phone" and "Tools" sit at the bottom (562..581, 581..600).
#include "view_bar.h"

#include "controls/paint/theme.h"

#include <gtest/gtest.h>

namespace {

using namespace controls;
using navbar_view_test::ViewBar;

TqvNavBarItemLink *linkOf(TqvNavBarLinkViewInfo *l)
{
    return l ? l->Link() : nullptr;
}

TEST(NavBarHitTest, CaptionAgainstItems)
{
    ViewBar bar;
    bar.fillStandard();
    TqvNavBarViewInfo &vi = *bar.vi;
    EXPECT_EQ(vi.GroupAtCaptionPos({100, 5})->Group(), bar.group(0));
    EXPECT_EQ(vi.GroupAtItemsPos({100, 5}), nullptr);
    EXPECT_EQ(vi.GroupAtItemsPos({100, 19})->Group(), bar.group(0));
    EXPECT_EQ(vi.GroupAtCaptionPos({100, 19}), nullptr);
    EXPECT_EQ(vi.GroupAtCaptionPos({100, 570})->Group(), bar.group(1));
    EXPECT_EQ(vi.GroupAtItemsPos({100, 570}), nullptr); // a closed group has no item area
    EXPECT_EQ(vi.GroupAtCaptionPos({200, 5}), nullptr); // right edge is exclusive
    EXPECT_EQ(vi.GroupAtCaptionPos({-1, 5}), nullptr);
    EXPECT_EQ(linkOf(vi.LinkAtPos({150, 30})), bar.group(0)->Links(0));
    EXPECT_EQ(linkOf(vi.LinkAtPos({150, 75})), bar.group(0)->Links(3));
    EXPECT_EQ(vi.LinkAtPos({150, 100}), nullptr); // below the last link
    EXPECT_EQ(vi.LinkAtPos({199, 30}), nullptr);  // the link ends at W - 1
}

TEST(NavBarHitTest, SelectedPosUsesImageAndCaptionExtendedToTheImage)
{
    ViewBar bar;
    bar.fillStandard();
    TqvNavBarViewInfo &vi = *bar.vi;
    TqvNavBarItemLink *first = bar.group(0)->Links(0);
    // Small images: image (4, 30, 20, 46), caption (24, 30, 54, 47).
    EXPECT_EQ(linkOf(vi.LinkAtSelectedPos({10, 35})), first);
    EXPECT_EQ(linkOf(vi.LinkAtSelectedPos({22, 35})), first); // the gap between image and caption
    EXPECT_EQ(linkOf(vi.LinkAtSelectedPos({53, 46})), first);
    EXPECT_EQ(vi.LinkAtSelectedPos({60, 35}), nullptr); // right of the caption
    EXPECT_EQ(vi.LinkAtSelectedPos({2, 35}), nullptr);  // left of the image
    EXPECT_EQ(linkOf(vi.LinkAtPos({60, 35})), first);

    // Large images: image (84, 30, 116, 62), caption (85, 66, 115, 79).
    bar.group(0)->SetLinksUseSmallImages(false);
    EXPECT_EQ(linkOf(vi.LinkAtSelectedPos({100, 40})), first);
    EXPECT_EQ(linkOf(vi.LinkAtSelectedPos({100, 64})), first); // between image and caption
    EXPECT_EQ(vi.LinkAtSelectedPos({50, 70}), nullptr);
    EXPECT_EQ(vi.LinkAtSelectedPos({100, 80}), nullptr);
}

TEST(NavBarHitTest, Office3AndVSToolBoxSelectTheWholeLink)
{
    for (TqvNavBarViewKind kind : {vkOffice3, vkVSToolBox, vkOffice1}) {
        SCOPED_TRACE(kind);
        ViewBar bar(kind);
        bar.fillStandard();
        TqvNavBarLinkViewInfo *l = bar.vi->GroupViewInfo(bar.group(0))->Links(0);
        const TPoint p{150, l->Rect().top + 1}; // inside the link, outside image and caption
        EXPECT_EQ(linkOf(bar.vi->LinkAtSelectedPos(p)), kind == vkOffice1 ? nullptr : l->Link());
        EXPECT_EQ(l->SelectionRect(), kind == vkOffice1 ? l->ImageRect().inflated(2, 2) : l->Rect().inflated(-1, -1));
    }
}

TEST(NavBarHitTest, SelectedPosIsRefusedInAShownScrollButton)
{
    ViewBar bar(vkOffice3);
    bar.fillStandard();
    bar.height = 100;
    bar.group(0)->SetTopVisibleLinkIndex(1);
    // Top button (178, 28, 194, 44) lies over link 1 (0, 30, 199, 53).
    ASSERT_EQ(bar.vi->TopScrollButtonRect(), TRect(178, 28, 194, 44));
    TqvNavBarItemLink *second = bar.group(0)->Links(1);
    EXPECT_EQ(linkOf(bar.vi->LinkAtPos({180, 35})), second);
    EXPECT_EQ(bar.vi->LinkAtSelectedPos({180, 35}), nullptr);
    EXPECT_EQ(linkOf(bar.vi->LinkAtSelectedPos({150, 35})), second);
    EXPECT_EQ(bar.vi->BottomScrollButtonRect(), TRect(178, 50, 194, 66));
    EXPECT_EQ(bar.vi->LinkAtSelectedPos({180, 60}), nullptr);
}

// ---- drop positions --------------------------------------------------------------------------

struct DropRow {
    const char *what;
    TPoint p;
    int before; // link index, -1 none
    int after;
    int index;
};

void expectDrop(ViewBar &bar, const DropRow &row)
{
    SCOPED_TRACE(row.what);
    const TqvNavBarDropInfo info = bar.vi->GetDropInfo(row.p);
    ASSERT_NE(info.group, nullptr);
    EXPECT_EQ(info.group->Group(), bar.group(0));
    EXPECT_EQ(linkOf(info.before), row.before < 0 ? nullptr : bar.group(0)->Links(row.before));
    EXPECT_EQ(linkOf(info.after), row.after < 0 ? nullptr : bar.group(0)->Links(row.after));
    EXPECT_EQ(info.index, row.index);
    const TqvNavBarDropTarget t = bar.vi->GetDropTarget(row.p);
    EXPECT_EQ(t.group, bar.group(0));
    EXPECT_EQ(t.before, linkOf(info.before));
    EXPECT_EQ(t.after, linkOf(info.after));
    EXPECT_EQ(t.index, row.index);
}

TEST(NavBarDropInfo, ListDecidesByTheLinksVerticalMiddle)
{
    ViewBar bar;
    bar.fillStandard();
    // Indexes are the links' own: link 3 is the third shown link.
    const DropRow rows[] = {
        {"first link, upper half: first position", {100, 30}, -1, 0, 0},
        {"first link, at its middle", {100, 38}, 0, 1, 1},
        {"first link, lower half", {100, 45}, 0, 1, 1},
        {"second link, upper half", {100, 52}, 0, 1, 1},
        {"last link, upper half", {100, 75}, 1, 3, 3},
        {"last link, lower half: last position", {100, 90}, 3, -1, 4},
        {"below every link", {100, 300}, 3, -1, 4},
        {"the top margin above the first link", {100, 22}, -1, 0, 0},
        {"on the caption, above the first link", {100, 5}, -1, 0, 0},
    };
    for (const DropRow &row : rows)
        expectDrop(bar, row);
}

TEST(NavBarDropInfo, IconViewDecidesByTheHorizontalMiddleAndTheRow)
{
    ViewBar bar;
    bar.fillStandard();
    bar.group(0)->SetLinksUseSmallImages(false);
    bar.group(0)->SetShowAsIconView(true);
    // Icons (0, 27, 40, 67), (40, 27, 80, 67), (80, 27, 120, 67).
    const DropRow rows[] = {
        {"first icon, left half", {10, 40}, -1, 0, 0},
        {"first icon, right half", {30, 40}, 0, 1, 1},
        {"second icon, left half", {45, 40}, 0, 1, 1},
        {"last icon, right half", {110, 40}, 3, -1, 4},
        {"right of the row", {150, 40}, 3, -1, 4},
        {"below the row", {50, 100}, 3, -1, 4},
    };
    for (const DropRow &row : rows)
        expectDrop(bar, row);
}

TEST(NavBarDropInfo, EmptyGroupGivesZeroAndOutsideEveryGroupMinusOne)
{
    ViewBar bar(vkExplorerBar);
    bar.fillStandard();
    TqvNavBarGroup *empty = bar.groups.Add();
    bar.vi->EnsureLayout();
    const TRect r = bar.vi->GroupViewInfo(empty)->Rect();
    ASSERT_EQ(bar.vi->GroupViewInfo(empty)->LinkCount(), 0);
    const TqvNavBarDropInfo inEmpty = bar.vi->GetDropInfo({100, r.bottom - 2});
    EXPECT_EQ(inEmpty.group->Group(), empty);
    EXPECT_EQ(inEmpty.before, nullptr);
    EXPECT_EQ(inEmpty.after, nullptr);
    EXPECT_EQ(inEmpty.index, 0);

    const TqvNavBarDropInfo outside = bar.vi->GetDropInfo({100, 590});
    EXPECT_EQ(outside.group, nullptr);
    EXPECT_EQ(outside.index, -1);
    EXPECT_EQ(bar.vi->GetDropInfo({3, 40}).index, -1); // left of the explorer groups
    EXPECT_EQ(bar.vi->GetDropTarget({100, 590}).group, nullptr);
}

// ---- state flags and style values ------------------------------------------------------------

TqvNavBarStyleItem *styleWithBackColor(ViewBar &bar, TColor c)
{
    TqvNavBarStyleItem *s = bar.styles.Add();
    s->Style().SetBackColor(c);
    return s;
}

TEST(NavBarStyles, CaptionStylePressedOverHotOverActiveOverHeader)
{
    ViewBar bar;
    bar.fillStandard();
    bar.defaults.Style(TqvNavBarDefaultStyles::GroupHeader)->SetBackColor(0x000001);
    bar.defaults.Style(TqvNavBarDefaultStyles::GroupHeaderActive)->SetBackColor(0x000002);
    TqvNavBarGroup *g = bar.group(0);
    g->SetStyleHeader(styleWithBackColor(bar, 0x0000FF));
    g->SetStyleHeaderActive(styleWithBackColor(bar, 0x00FF00));
    g->SetStyleHeaderHotTracked(styleWithBackColor(bar, 0xFF0000));
    g->SetStyleHeaderPressed(styleWithBackColor(bar, 0x00FFFF));
    bar.active = bar.group(1);

    auto caption = [&](TqvNavBarGroup *group) { return bar.vi->GroupViewInfo(group)->CaptionBackColor(); };
    EXPECT_EQ(caption(g), 0x0000FFu);
    bar.active = g;
    EXPECT_EQ(caption(g), 0x00FF00u);
    bar.hot = g;
    EXPECT_EQ(caption(g), 0xFF0000u);
    bar.pressed = g;
    EXPECT_EQ(caption(g), 0x00FFFFu);
    EXPECT_EQ(bar.vi->GroupCaptionState(g), sActive | sExpanded | sHotTracked | sPressed);
    // Groups without styles take the default style of their state.
    EXPECT_EQ(caption(bar.group(1)), 0x000001u);
    bar.active = bar.group(1);
    EXPECT_EQ(caption(bar.group(1)), 0x000002u);
}

TEST(NavBarStyles, AValueComesFromTheStyleOnlyWhenAssigned)
{
    ViewBar bar;
    bar.fillStandard();
    bar.defaults.Style(TqvNavBarDefaultStyles::Item)->SetBackColor(0x123456);
    bar.defaults.Style(TqvNavBarDefaultStyles::Item)->SetAlphaBlending(10);
    TqvNavBarStyleItem *s = bar.styles.Add();
    s->Style().SetAlphaBlending(99); // back colour keeps its initial white, unassigned
    bar.items.Items(0)->SetStyle(s);
    TqvNavBarLinkViewInfo *l = bar.vi->LinkViewInfo(bar.group(0)->Links(0));
    EXPECT_EQ(l->StyleItem(), s);
    EXPECT_EQ(l->StyleValues().AlphaBlending(), 99);
    EXPECT_EQ(l->StyleValues().BackColor(), 0x123456u);
    s->Style().SetAssignedValues(s->Style().AssignedValues() | savBit(savBackColor)); // white, assigned now
    l = bar.vi->LinkViewInfo(bar.group(0)->Links(0));
    EXPECT_EQ(l->StyleValues().BackColor(), clWhite);
}

TEST(NavBarStyles, LinkStylesFollowTheState)
{
    ViewBar bar;
    bar.fillStandard();
    TqvNavBarItem *item = bar.items.Items(0);
    item->SetStyle(styleWithBackColor(bar, 1));
    item->SetStyleHotTracked(styleWithBackColor(bar, 2));
    item->SetStylePressed(styleWithBackColor(bar, 3));
    item->SetStyleDisabled(styleWithBackColor(bar, 4));
    TqvNavBarItemLink *link = bar.group(0)->Links(0);
    auto back = [&] { return bar.vi->LinkViewInfo(link)->StyleValues().BackColor(); };
    auto defaultIndex = [&] {
        return bar.vi->LinkViewInfo(link)->DefaultStyle() == bar.defaults.Style(TqvNavBarDefaultStyles::Item)           ? 10
               : bar.vi->LinkViewInfo(link)->DefaultStyle() == bar.defaults.Style(TqvNavBarDefaultStyles::ItemDisabled) ? 11
               : bar.vi->LinkViewInfo(link)->DefaultStyle() == bar.defaults.Style(TqvNavBarDefaultStyles::ItemHotTracked) ? 12
                                                                                                                          : 13;
    };
    EXPECT_EQ(back(), 1u);
    EXPECT_EQ(defaultIndex(), 10);
    bar.hotLink = link;
    EXPECT_EQ(back(), 2u);
    EXPECT_EQ(defaultIndex(), 12);
    bar.pressedLink = link;
    EXPECT_EQ(back(), 3u);
    EXPECT_EQ(defaultIndex(), 13);
    bar.group(0)->SetSelectedLinkIndex(0);
    EXPECT_EQ(bar.vi->LinkState(link), sHotTracked | sPressed | sSelected);
    item->SetEnabled(false);
    EXPECT_EQ(back(), 4u);
    EXPECT_EQ(defaultIndex(), 11);
    EXPECT_EQ(bar.vi->LinkState(link), sDisabled | sHotTracked | sPressed | sSelected);
}

TEST(NavBarStyles, ScrollButtonStateAndStyle)
{
    ViewBar bar;
    bar.fillStandard();
    bar.height = 100;
    bar.group(0)->SetTopVisibleLinkIndex(1);
    TqvNavBarStyleItem *hot = styleWithBackColor(bar, 0xAA);
    bar.barStyles[bsButtonHotTracked] = hot;
    bar.defaults.Style(TqvNavBarDefaultStyles::ButtonPressed)->SetBackColor(0xBB);
    EXPECT_EQ(bar.vi->TopScrollButtonState(), 0);
    bar.hotPoint = {180, 30};
    EXPECT_EQ(bar.vi->TopScrollButtonState(), sHotTracked);
    EXPECT_EQ(bar.vi->TopScrollButtonStyleItem(), hot);
    EXPECT_EQ(bar.vi->TopScrollButtonValues().BackColor(), 0xAAu);
    EXPECT_EQ(bar.vi->BottomScrollButtonState(), 0);
    bar.bottomHeld = true;
    EXPECT_EQ(bar.vi->BottomScrollButtonState(), sPressed);
    EXPECT_EQ(bar.vi->BottomScrollButtonDefaultStyle(), bar.defaults.Style(TqvNavBarDefaultStyles::ButtonPressed));
    EXPECT_EQ(bar.vi->BottomScrollButtonValues().BackColor(), 0xBBu);
    bar.group(0)->SetTopVisibleLinkIndex(0);
    EXPECT_EQ(bar.vi->TopScrollButtonState(), sHidden);
}

TEST(NavBarStyles, ViewSubclassesReplaceColours)
{
    ViewBar bar(vkAdvExplorerBar);
    bar.fillStandard();
    bar.defaults.Style(TqvNavBarDefaultStyles::GroupBackground)->SetBackColor(clNone);
    bar.defaults.Style(TqvNavBarDefaultStyles::GroupHeaderActive)->SetBackColor(clNone);
    bar.defaults.Style(TqvNavBarDefaultStyles::GroupHeaderActive)->SetBackColor2(clNone);
    bar.defaults.Style(TqvNavBarDefaultStyles::Item)->Font().setColor(0x404040);
    bar.defaults.Style(TqvNavBarDefaultStyles::ItemHotTracked)->Font().setColor(0x404040);
    TqvNavBarGroupViewInfo *gv = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(gv->BgBackColor(), LightColor(clInactiveCaption, 40));
    EXPECT_EQ(gv->CaptionBackColor(), clWindow);
    EXPECT_EQ(gv->CaptionBackColor2(), LightColor(clHighlight, 40));
    TqvNavBarItemLink *link = bar.group(0)->Links(0);
    EXPECT_EQ(bar.vi->LinkViewInfo(link)->FontColor(), 0x404040u);
    bar.hotLink = link;
    EXPECT_EQ(bar.vi->LinkViewInfo(link)->FontColor(), LightColor(0x404040, 80));

    ViewBar xp1(vkXP1);
    xp1.fillStandard();
    xp1.defaults.Style(TqvNavBarDefaultStyles::GroupBackground)->SetBackColor(0x808080);
    xp1.defaults.Style(TqvNavBarDefaultStyles::GroupHeaderActive)->SetBackColor(0x646464);
    gv = xp1.vi->GroupViewInfo(xp1.group(0));
    EXPECT_EQ(gv->BgBackColor(), LightColor(0x808080, 40));
    EXPECT_EQ(gv->BgBackColor2(), 0x808080u);
    EXPECT_EQ(gv->CaptionBackColor2(), DarkColor(0x646464, 60));
    xp1.hot = xp1.group(0);
    xp1.defaults.Style(TqvNavBarDefaultStyles::GroupHeaderHotTracked)->SetBackColor(0x646464);
    EXPECT_EQ(xp1.vi->GroupViewInfo(xp1.group(0))->CaptionBackColor2(), 0x646464u);
}

TEST(NavBarStyles, XPExplorerBarColoursFollowTheStateOnlyWithTheTheme)
{
    ViewBar bar(vkXPExplorerBar);
    bar.fillStandard();
    bar.defaults.Style(TqvNavBarDefaultStyles::GroupHeaderHotTracked)->Font().setColor(0x404040);
    bar.hot = bar.group(1);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(1))->CaptionFontColor(), 0x404040u);
    InitThemeLibrary(std::make_unique<RecordingThemeBackend>(std::vector<QString>{"ExplorerBar"}));
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(1))->CaptionFontColor(), LightColor(0x404040, 80));
    InitThemeLibrary();
}

} // namespace
