// Layout of every view kind on the standard content (three groups of four links, the third item
// invisible), with fixed text metrics: constants, caption parts, links in both lists and the icon
// view, and the scroll buttons; then the layout's edge rows.
#include "view_bar.h"

#include "controls/paint/theme.h"

#include <gtest/gtest.h>

namespace {

using namespace controls;
using navbar_view_test::ViewBar;

constexpr TRect kNone{};

struct KindRow {
    const char *name;
    TqvNavBarViewKind kind;
    bool explorerTheme; // the theme class "ExplorerBar" opens
    // constants
    int extra, spacing, sign, left, border, margin, largeSpace, hintPause;
    bool captionImage, expandSign, iconView, captionButtons, largeLinkImages;
    // group 0 (active, expanded) at 200 x 600
    TRect caption, text, image, signRect;
    // links 0 and 1 as a small list, a large list and an icon view (large images asked for)
    TRect small0, small1, smallImage0, smallCaption0;
    TRect large0, large1, largeImage0, largeCaption0;
    TRect icon0, icon1;
    // top visible link 1, bar 100 high, small list
    TRect topButton, bottomButton;
};

// Families share their numbers; each kind still gets its own row.
#define BASE_FAMILY(n, k)                                                                                        \
    {n, k, false, 6, 0, 16, 0, 0, 8, 6, 1000, false, false, true, false, true,                                     \
     {0, 0, 200, 19}, {2, 1, 198, 18}, kNone, kNone,                                                               \
     {0, 27, 199, 50}, {0, 50, 199, 73}, {4, 30, 20, 46}, {24, 30, 54, 47},                                        \
     {0, 27, 199, 82}, {0, 82, 199, 137}, {84, 30, 116, 62}, {85, 66, 115, 79},                                    \
     {0, 27, 40, 67}, {40, 27, 80, 67},                                                                           \
     {178, 25, 194, 41}, {178, 47, 194, 63}}
#define OFFICE_FAMILY(n, k, largeSp, l0, l1, li0, lc0)                                                           \
    {n, k, false, 8, 1, 16, 0, 0, 8, largeSp, 1000, false, false, true, false, true,                               \
     {0, 1, 200, 22}, {2, 2, 198, 21}, kNone, kNone,                                                               \
     {0, 30, 199, 53}, {0, 53, 199, 76}, {4, 33, 20, 49}, {24, 33, 54, 50},                                        \
     l0, l1, li0, lc0,                                                                                            \
     {0, 30, 40, 70}, {40, 30, 80, 70},                                                                           \
     {178, 28, 194, 44}, {178, 50, 194, 66}}
#define EXPLORER_FAMILY(n, k, theme)                                                                             \
    {n, k, theme, 8, 4, 16, 10, 1, 8, 6, 1000, true, true, false, false, true,                                     \
     {10, 4, 190, 25}, {31, 5, 168, 24}, {10, 6, 26, 22}, {171, 7, 187, 23},                                       \
     {10, 33, 189, 56}, {10, 56, 189, 79}, {14, 36, 30, 52}, {34, 36, 64, 53},                                     \
     {10, 33, 189, 88}, {10, 88, 189, 143}, {84, 36, 116, 68}, {85, 72, 115, 85},                                  \
     {10, 33, 189, 88}, {10, 88, 189, 143},                                                                       \
     kNone, kNone}
#define TALL_EXPLORER(n, k, theme)                                                                               \
    {n, k, theme, 12, 4, 22, 10, 1, 8, 6, 1000, true, true, false, false, true,                                    \
     {10, 4, 190, 29}, {31, 5, 164, 28}, {10, 8, 26, 24}, {166, 6, 188, 28},                                       \
     {10, 37, 189, 60}, {10, 60, 189, 83}, {14, 40, 30, 56}, {34, 40, 64, 57},                                     \
     {10, 37, 189, 92}, {10, 92, 189, 147}, {84, 40, 116, 72}, {85, 76, 115, 89},                                  \
     {10, 37, 189, 92}, {10, 92, 189, 147},                                                                       \
     kNone, kNone}

const KindRow kRows[] = {
    BASE_FAMILY("BaseView", vkBase),
    BASE_FAMILY("FlatView", vkFlat),
    OFFICE_FAMILY("Office1View", vkOffice1, 6, TRect(0, 30, 199, 85), TRect(0, 85, 199, 140), TRect(84, 33, 116, 65),
                  TRect(85, 69, 115, 82)),
    OFFICE_FAMILY("Office2View", vkOffice2, 6, TRect(0, 30, 199, 85), TRect(0, 85, 199, 140), TRect(84, 33, 116, 65),
                  TRect(85, 69, 115, 82)),
    OFFICE_FAMILY("Office3View", vkOffice3, 16, TRect(0, 30, 199, 95), TRect(0, 95, 199, 160), TRect(84, 38, 116, 70),
                  TRect(85, 74, 115, 87)),
    // VSToolBox: the two captions beside the scroll buttons are narrowed, links always use small
    // images, and the top scroll button sits right of the active caption.
    {"VSToolBoxView", vkVSToolBox, false, 4, 1, 16, 0, 0, 2, 6, 0, false, false, true, true, false,
     {0, 1, 181, 18}, {2, 2, 179, 17}, kNone, kNone,
     {0, 20, 199, 43}, {0, 43, 199, 66}, {4, 23, 20, 39}, {24, 23, 54, 40},
     {0, 20, 199, 43}, {0, 43, 199, 66}, {4, 23, 20, 39}, {24, 23, 54, 40},
     {0, 20, 24, 44}, {24, 20, 48, 44},
     {183, 1, 200, 18}, kNone},
    BASE_FAMILY("XP1View", vkXP1),
    OFFICE_FAMILY("XP2View", vkXP2, 6, TRect(0, 30, 199, 85), TRect(0, 85, 199, 140), TRect(84, 33, 116, 65),
                  TRect(85, 69, 115, 82)),
    EXPLORER_FAMILY("ExplorerBarView", vkExplorerBar, false),
    EXPLORER_FAMILY("UltraFlatExplorerView", vkUltraFlatExplorer, false),
    TALL_EXPLORER("AdvExplorerBarView", vkAdvExplorerBar, false),
    EXPLORER_FAMILY("XPExplorerBarView", vkXPExplorerBar, false),
    TALL_EXPLORER("XPExplorerBarView themed", vkXPExplorerBar, true),
};

class ViewKindLayout : public ::testing::TestWithParam<KindRow> {
protected:
    void SetUp() override
    {
        if (GetParam().explorerTheme)
            InitThemeLibrary(std::make_unique<RecordingThemeBackend>(std::vector<QString>{"ExplorerBar"}));
    }
    void TearDown() override
    {
        if (GetParam().explorerTheme)
            InitThemeLibrary();
    }
};

TEST_P(ViewKindLayout, ConstantsOfTheKind)
{
    const KindRow &row = GetParam();
    const TqvNavBarViewConstants c = NavBarViewConstants(row.kind);
    EXPECT_EQ(c.CaptionExtraHeight, row.extra);
    EXPECT_EQ(c.DefaultGroupSpacing, row.spacing);
    EXPECT_EQ(c.SignSize, row.sign);
    EXPECT_EQ(c.GroupLeft, row.left);
    EXPECT_EQ(c.GroupClientBorder, row.border);
    EXPECT_EQ(c.LinksMargin, row.margin);
    EXPECT_EQ(c.LargeLinkVerticalSpace, row.largeSpace);
    EXPECT_EQ(c.HintPause, row.hintPause);
    EXPECT_EQ(c.HasCaptionImage, row.captionImage);
    EXPECT_EQ(c.HasExpandSign, row.expandSign);
    EXPECT_EQ(c.AllowIconView, row.iconView);
    EXPECT_EQ(c.HasCaptionScrollButtons, row.captionButtons);
    EXPECT_EQ(c.AllowLargeLinkImages, row.largeLinkImages);
    // Shared by every kind.
    EXPECT_EQ(c.SmallLinkVerticalSpace, 6);
    EXPECT_EQ(c.LinkImageLeftSpace, 4);
    EXPECT_EQ(c.LinkImageTopSpace, 4);
    EXPECT_EQ(c.ScrollButtonVerticalOffset, 6);
    EXPECT_EQ(c.ScrollButtonHorizontalOffset, 6);
    EXPECT_EQ(c.ScrollButtonHeight, 16);
    EXPECT_EQ(c.ScrollButtonWidth, 16);
    EXPECT_TRUE(c.AllowLargeCaptionImages);
    EXPECT_EQ(c.GroupOpenWhenExpanded, isExplorerBarFamily(row.kind));

    ViewBar bar(row.kind);
    EXPECT_EQ(bar.vi->HintPause(), row.hintPause);
}

TEST_P(ViewKindLayout, CaptionAndLinkRectangles)
{
    const KindRow &row = GetParam();
    ViewBar bar(row.kind);
    bar.fillStandard();
    TqvNavBarGroup *g = bar.group(0);

    TqvNavBarGroupViewInfo *gv = bar.vi->GroupViewInfo(g);
    ASSERT_NE(gv, nullptr);
    EXPECT_EQ(gv->CaptionRect(), row.caption);
    EXPECT_EQ(gv->CaptionTextRect(), row.text);
    EXPECT_EQ(gv->CaptionImageRect(), row.image);
    EXPECT_EQ(gv->CaptionSignRect(), row.signRect);
    ASSERT_EQ(gv->LinkCount(), 3); // the invisible item has no link view information
    EXPECT_EQ(gv->Links(2)->Link()->Index(), 3);
    EXPECT_EQ(gv->Links(0)->Rect(), row.small0);
    EXPECT_EQ(gv->Links(1)->Rect(), row.small1);
    EXPECT_EQ(gv->Links(0)->ImageRect(), row.smallImage0);
    EXPECT_EQ(gv->Links(0)->CaptionRect(), row.smallCaption0);
    EXPECT_FALSE(bar.scrollBar.visible);

    g->SetLinksUseSmallImages(false);
    gv = bar.vi->GroupViewInfo(g);
    ASSERT_EQ(gv->LinkCount(), 3);
    EXPECT_EQ(gv->Links(0)->Rect(), row.large0);
    EXPECT_EQ(gv->Links(1)->Rect(), row.large1);
    EXPECT_EQ(gv->Links(0)->ImageRect(), row.largeImage0);
    EXPECT_EQ(gv->Links(0)->CaptionRect(), row.largeCaption0);
    EXPECT_EQ(gv->Links(0)->CaptionTextFlags(), row.largeLinkImages ? 17u : 36u);

    g->SetShowAsIconView(true);
    gv = bar.vi->GroupViewInfo(g);
    ASSERT_EQ(gv->LinkCount(), 3);
    EXPECT_EQ(gv->Links(0)->Rect(), row.icon0);
    EXPECT_EQ(gv->Links(1)->Rect(), row.icon1);
}

TEST_P(ViewKindLayout, ScrollButtonRectangles)
{
    const KindRow &row = GetParam();
    ViewBar bar(row.kind);
    bar.fillStandard();
    bar.height = 100;
    bar.group(0)->SetTopVisibleLinkIndex(1);
    EXPECT_EQ(bar.vi->TopScrollButtonRect(), row.topButton);
    EXPECT_EQ(bar.vi->BottomScrollButtonRect(), row.bottomButton);
    EXPECT_EQ(bar.vi->TopScrollButtonState(), row.topButton.isEmpty() ? sHidden : 0);
}

INSTANTIATE_TEST_SUITE_P(AllViews, ViewKindLayout, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<KindRow> &param) {
                             std::string n = param.param.name;
                             for (char &ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

// ---- the layout's edge rows ------------------------------------------------------------------

TEST(NavBarLayout, ImageSizesComeFromTheListsElse32And16)
{
    ViewBar bar(vkExplorerBar);
    bar.fillStandard();
    EXPECT_EQ(bar.vi->LargeImageWidth(), 32);
    EXPECT_EQ(bar.vi->LargeImageHeight(), 32);
    EXPECT_EQ(bar.vi->SmallImageWidth(), 16);
    EXPECT_EQ(bar.vi->SmallImageHeight(), 16);

    TqvImageList large(24, 20), small(12, 10);
    bar.large = &large;
    bar.small = &small;
    bar.relayout();
    TqvNavBarGroupViewInfo *gv = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(gv->CaptionImageRect().width(), 12);
    EXPECT_EQ(gv->CaptionImageRect().height(), 10);
    EXPECT_EQ(gv->Links(0)->ImageRect().width(), 12);

    bar.group(0)->SetUseSmallImages(false);
    bar.group(0)->SetLinksUseSmallImages(false);
    gv = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(gv->CaptionImageRect(), TRect(10, 4, 34, 24)); // 20 high, centred on the 21-pixel caption
    EXPECT_EQ(gv->Links(0)->ImageRect(), TRect(88, 36, 112, 56));
}

TEST(NavBarLayout, ATallCaptionImagePushesTheCaptionDown)
{
    ViewBar bar(vkExplorerBar);
    bar.fillStandard();
    bar.group(0)->SetUseSmallImages(false); // 32 high, caption 21
    TqvNavBarGroupViewInfo *gv = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(gv->CaptionImageRect(), TRect(10, 4, 42, 36));
    EXPECT_EQ(gv->CaptionRect(), TRect(10, 15, 190, 36));
    EXPECT_EQ(gv->CaptionTextRect(), TRect(47, 16, 168, 35));
    EXPECT_EQ(gv->ItemsRect().top, 36);
    EXPECT_EQ(gv->Rect().top, 4);
}

TEST(NavBarLayout, WithoutGroupCaptionsOnlyTheActiveGroupIsLaidOut)
{
    ViewBar bar(vkBase);
    bar.fillStandard();
    bar.showCaptions = false;
    bar.active = bar.group(1);
    bar.relayout();
    bar.vi->EnsureLayout();
    ASSERT_EQ(bar.vi->GroupCount(), 1);
    TqvNavBarGroupViewInfo *gv = bar.vi->Groups(0);
    EXPECT_EQ(gv->Group(), bar.group(1));
    EXPECT_EQ(gv->CaptionRect(), TRect(0, 0, 200, 0));
    EXPECT_TRUE(gv->CaptionRect().isEmpty());
    EXPECT_EQ(gv->Links(0)->Rect(), TRect(0, 8, 199, 31));
    EXPECT_EQ(gv->Rect(), TRect(0, 0, 200, 600)); // it takes the whole height
    EXPECT_EQ(bar.vi->GroupAtCaptionPos({100, 0}), nullptr);

    // The explorer-bar views lay out every visible group all the same.
    bar.setView(vkExplorerBar);
    bar.group(2)->SetVisible(false);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->CaptionRect().height(), 0);
    EXPECT_EQ(bar.vi->GroupCount(), 2);
}

TEST(NavBarLayout, AShortBaseBarKeeps50PixelsForTheActiveGroup)
{
    ViewBar bar(vkBase);
    bar.fillStandard();
    bar.height = 60;
    TqvNavBarGroupViewInfo *active = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(active->ItemsRect(), TRect(0, 19, 200, 69));
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(1))->CaptionRect(), TRect(0, 69, 200, 88));
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(2))->CaptionRect(), TRect(0, 88, 200, 107));
    EXPECT_EQ(bar.vi->BottomScrollButtonRect(), TRect(178, 47, 194, 63));

    // A tall bar: the active group takes all the free height, the others sit at the bottom.
    bar.height = 600;
    bar.relayout();
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->Rect(), TRect(0, 0, 200, 562));
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(2))->Rect(), TRect(0, 581, 200, 600));
    EXPECT_TRUE(bar.vi->BottomScrollButtonRect().isEmpty());
}

TEST(NavBarLayout, IconViewWrapsOnlyFromTheSecondLink)
{
    ViewBar bar(vkBase);
    bar.fillStandard();
    bar.width = 30; // narrower than one 40-pixel icon link
    bar.group(0)->SetLinksUseSmallImages(false);
    bar.group(0)->SetShowAsIconView(true);
    TqvNavBarGroupViewInfo *gv = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(gv->Links(0)->Rect(), TRect(0, 27, 40, 67));
    EXPECT_EQ(gv->Links(1)->Rect(), TRect(0, 67, 40, 107));
    EXPECT_EQ(gv->Links(2)->Rect(), TRect(0, 107, 40, 147));

    bar.width = 100; // two a row
    bar.relayout();
    gv = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(gv->Links(1)->Rect(), TRect(40, 27, 80, 67));
    EXPECT_EQ(gv->Links(2)->Rect(), TRect(0, 67, 40, 107));
    EXPECT_TRUE(gv->Links(0)->CaptionRect().isEmpty());
}

TEST(NavBarLayout, LargeCaptionsWrapAndAreCentred)
{
    ViewBar bar(vkBase);
    bar.fillStandard();
    bar.items.Items(0)->SetCaption("Messages waiting on the handset"); // 31 characters
    bar.width = 120;                                                   // 119 wide: 19 characters a line
    bar.group(0)->SetLinksUseSmallImages(false);
    TqvNavBarLinkViewInfo *l = bar.vi->GroupViewInfo(bar.group(0))->Links(0);
    // "Messages waiting on" / "the handset": two lines, 19 characters wide.
    EXPECT_EQ(l->CaptionRect(), TRect(3, 66, 117, 92));
    EXPECT_EQ(l->Rect(), TRect(0, 27, 119, 95));

    // A long small caption is cut back to the link's right edge.
    bar.group(0)->SetLinksUseSmallImages(true);
    l = bar.vi->GroupViewInfo(bar.group(0))->Links(0);
    EXPECT_EQ(l->CaptionRect(), TRect(24, 30, 119, 47));
}

TEST(NavBarLayout, VSToolBoxBottomButtonSitsBesideTheNextCaptionOrBelowTheLastGroup)
{
    ViewBar bar(vkVSToolBox);
    bar.fillStandard();
    bar.height = 100;
    // Active "Mail": the caption after it ("Phone") is narrowed and carries the bottom button.
    EXPECT_TRUE(bar.vi->TopScrollButtonRect().isEmpty());
    EXPECT_EQ(bar.vi->BottomScrollButtonRect(), TRect(183, 69, 200, 86));
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(1))->CaptionRect(), TRect(0, 69, 181, 86));
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(1))->Rect().right, 200);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(2))->CaptionRect(), TRect(0, 87, 200, 104));

    // Active "Tools", the last group: the button goes where a next caption would be.
    bar.active = bar.group(2);
    bar.relayout();
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(1))->CaptionRect(), TRect(0, 19, 200, 36));
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(2))->CaptionRect(), TRect(0, 37, 181, 54));
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(2))->ItemsRect(), TRect(0, 54, 200, 104));
    EXPECT_EQ(bar.vi->BottomScrollButtonRect(), TRect(183, 87, 200, 104));
    bar.group(2)->SetTopVisibleLinkIndex(1);
    EXPECT_EQ(bar.vi->TopScrollButtonRect(), TRect(183, 37, 200, 54));
}

TEST(NavBarLayout, CaptionTextFlagsFollowTheHeaderAlignment)
{
    ViewBar bar;
    bar.fillStandard();
    TqvNavBarDefaultStyle *header = bar.defaults.Style(TqvNavBarDefaultStyles::GroupHeader);
    TqvNavBarGroupViewInfo *gv = bar.vi->GroupViewInfo(bar.group(1));
    EXPECT_EQ(gv->CaptionTextFlags(), DT_SINGLELINE | DT_END_ELLIPSIS | DT_VCENTER); // left, centre
    header->SetHAlignment(haRight);
    header->SetVAlignment(vaBottom);
    EXPECT_EQ(gv->CaptionTextFlags(), DT_SINGLELINE | DT_END_ELLIPSIS | DT_RIGHT | DT_BOTTOM);
    header->SetHAlignment(haCenter);
    header->SetVAlignment(vaTop);
    EXPECT_EQ(gv->CaptionTextFlags(), DT_SINGLELINE | DT_END_ELLIPSIS | DT_CENTER);
    EXPECT_EQ(gv->Links(0), nullptr); // a closed base group has no links
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->Links(0)->CaptionTextFlags(), 36u);
}

TEST(NavBarLayout, SpaceBetweenGroupsReplacesTheViewsSpacing)
{
    ViewBar bar(vkExplorerBar);
    bar.fillStandard();
    bar.space = 9;
    bar.relayout();
    EXPECT_EQ(bar.vi->GroupSpacing(), 9);
    const TRect g0 = bar.vi->GroupViewInfo(bar.group(0))->Rect();
    EXPECT_EQ(g0.top, 9);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(1))->Rect().top, g0.bottom + 9);
}

TEST(NavBarLayout, CollapsedExplorerGroupEndsAtItsCaption)
{
    ViewBar bar(vkExplorerBar);
    bar.fillStandard();
    bar.group(1)->SetExpanded(false);
    TqvNavBarGroupViewInfo *gv = bar.vi->GroupViewInfo(bar.group(1));
    EXPECT_EQ(gv->LinkCount(), 0);
    EXPECT_EQ(gv->Rect().bottom, gv->CaptionRect().bottom);
    EXPECT_EQ(gv->CaptionState() & sExpanded, 0);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->CaptionState(), sActive | sExpanded);
}

TEST(NavBarLayout, GroupControlFillsTheItemArea)
{
    ViewBar bar(vkBase);
    bar.fillStandard();
    bar.group(0)->SetUseControl(true);
    TqvNavBarGroupControl *control = bar.group(0)->Control();
    ASSERT_NE(control, nullptr);
    control->resize(180, 70);
    bar.group(1)->SetUseControl(true);
    bar.group(1)->Control()->show();
    bar.vi->EnsureLayout();
    TqvNavBarGroupViewInfo *gv = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(gv->LinkCount(), 0);
    EXPECT_EQ(gv->ItemsRect(), TRect(0, 19, 200, 562)); // grown to the free height
    EXPECT_EQ(control->geometry(), QRect(0, 19, 200, 543));
    EXPECT_FALSE(control->isHidden());
    EXPECT_TRUE(bar.group(1)->Control()->isHidden()); // a closed group hides its control

    // The explorer-bar views keep the recorded height and a border of one pixel.
    bar.setView(vkExplorerBar);
    bar.vi->EnsureLayout();
    gv = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(gv->ItemsRect(), TRect(10, 25, 190, 97)); // 70 + 2 borders
    EXPECT_EQ(control->geometry(), QRect(11, 25, 178, 71));

    // Without captions, a group that is not shown must not leave its control standing.
    bar.setView(vkBase);
    bar.showCaptions = false;
    bar.group(1)->Control()->show();
    bar.vi->EnsureLayout();
    EXPECT_TRUE(bar.group(1)->Control()->isHidden());
}

} // namespace
