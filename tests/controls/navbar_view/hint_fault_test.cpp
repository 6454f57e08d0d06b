// Hints of the view information, and the faults it guards against: stale layouts after removals,
// links scrolled above the item area, top indexes past the shown links, a scroll bar whose
// showing and hiding would flip for ever, negative group heights and degenerate client areas.
#include "view_bar.h"

#include <gtest/gtest.h>

namespace {

using namespace controls;
using navbar_view_test::FixedMeasurer;
using navbar_view_test::ViewBar;

constexpr TPoint kScreen{500, 300};

// ---- hints -----------------------------------------------------------------------------------

TEST(NavBarHint, CaptionSubjectBeforeLinkAndTheTextCutAtTheBar)
{
    ViewBar bar;
    bar.fillStandard();
    bar.group(0)->SetHint("Mail group|Messages on the phone and here");
    bar.items.Items(0)->SetHint("Inbox hint");

    const TqvNavBarHintInfo g = bar.vi->CalculateHintRect({100, 5}, kScreen);
    EXPECT_EQ(g.group, bar.group(0));
    EXPECT_EQ(g.link, nullptr);
    EXPECT_EQ(g.text, "Mail group");
    EXPECT_EQ(g.rect, TRect(520, 300, 586, 317)); // 60 x 13 text, +6 +4, 20 right of the mouse

    const TqvNavBarHintInfo l = bar.vi->CalculateHintRect({10, 35}, kScreen);
    EXPECT_EQ(l.group, nullptr);
    EXPECT_EQ(l.link, bar.group(0)->Links(0));
    EXPECT_EQ(l.text, "Inbox hint");
    EXPECT_EQ(l.rect, TRect(520, 300, 586, 317));

    // Nothing under the point, or nothing to say: no hint.
    EXPECT_TRUE(bar.vi->CalculateHintRect({150, 300}, kScreen).text.isEmpty());
    const TqvNavBarHintInfo silent = bar.vi->CalculateHintRect({10, 55}, kScreen);
    EXPECT_EQ(silent.link, bar.group(0)->Links(1));
    EXPECT_TRUE(silent.text.isEmpty());
    EXPECT_TRUE(silent.rect.isEmpty());
}

TEST(NavBarHint, LongTextWrapsAtTheClientWidth)
{
    ViewBar bar;
    bar.fillStandard();
    bar.width = 120; // 20 characters a line
    bar.group(0)->SetHint("Messages that wait on the handset");
    const TqvNavBarHintInfo h = bar.vi->CalculateHintRect({50, 5}, {0, 0});
    // "Messages that wait" / "on the handset": 18 characters wide, two lines.
    EXPECT_EQ(h.rect, TRect(20, 0, 20 + 108 + 6, 26 + 4));
}

TEST(NavBarHint, HooksChangeTextAndRectangle)
{
    ViewBar bar;
    bar.fillStandard();
    bar.items.Items(0)->SetHint("Inbox");
    bar.events.OnGetLinkHint = [](TqvNavBarItemLink *link, QString &hint) {
        hint = QString("%1 (%2)|rest").arg(hint).arg(link->Index());
    };
    TqvNavBarViewInfo *seen = nullptr;
    bar.events.OnCalcLinkHintRect = [&](TqvNavBarItemLink *, TqvNavBarViewInfo *vi, TRect &r) {
        seen = vi;
        r.right += 10;
    };
    bar.events.OnGetGroupHint = [](TqvNavBarGroup *group, QString &hint) { hint = group->Caption(); };
    bar.events.OnCalcGroupHintRect = [](TqvNavBarGroup *, TqvNavBarViewInfo *, TRect &r) { r = r.offset(0, 5); };

    const TqvNavBarHintInfo l = bar.vi->CalculateHintRect({10, 35}, kScreen);
    EXPECT_EQ(l.text, "Inbox (0)");
    EXPECT_EQ(l.rect, TRect(520, 300, 520 + 54 + 6 + 10, 317));
    EXPECT_EQ(seen, bar.vi.get());

    const TqvNavBarHintInfo g = bar.vi->CalculateHintRect({10, 5}, kScreen);
    EXPECT_EQ(g.text, "Mail");
    EXPECT_EQ(g.rect, TRect(520, 305, 550, 322));
}

TEST(NavBarHint, VSToolBoxShowsTheHintInPlaceOverTheLink)
{
    ViewBar bar(vkVSToolBox);
    bar.fillStandard();
    // Link 0: selection rectangle (1, 21, 198, 42), caption (24, 23, 54, 40); the bar's client
    // origin lies at (300, 200) on the screen. The hint is the link drawn again, so it starts where
    // the link does: started at the caption, it showed the caption shifted right and cut off.
    const TPoint client{30, 30};
    const TPoint screen{330, 230};
    const TqvNavBarHintInfo h = bar.vi->CalculateHintRect(client, screen);
    EXPECT_EQ(h.text, "Inbox"); // no hint: the caption stands in
    EXPECT_EQ(h.rect, TRect(301, 221, 498, 242));

    bar.items.Items(0)->SetHint("Inbox of the phone"); // 108 pixels: fits in the link after the caption
    EXPECT_EQ(bar.vi->CalculateHintRect(client, screen).rect, TRect(301, 221, 498, 242));
    bar.items.Items(0)->SetHint("Inbox of the phone in the pocket"); // 192 pixels: reaches past it
    EXPECT_EQ(bar.vi->CalculateHintRect(client, screen).rect, TRect(301, 221, 324 + 192 + 4, 242));
    EXPECT_EQ(bar.vi->HintPause(), 0);
}

// ---- faults ----------------------------------------------------------------------------------

TEST(NavBarFault, ARemovedGroupIsNeverAnsweredBeforeThePaint)
{
    ViewBar bar;
    bar.fillStandard();
    bar.vi->EnsureLayout(); // laid out, as after a paint
    TqvNavBarGroup *phone = bar.group(1);
    const TPoint onPhone{100, 570};
    ASSERT_EQ(bar.vi->GroupAtCaptionPos(onPhone)->Group(), phone);

    delete phone; // no paint follows before the next mouse event
    EXPECT_EQ(bar.vi->GroupAtCaptionPos(onPhone), nullptr); // "Mail" took the space
    for (TPoint p : {onPhone, TPoint{100, 590}, TPoint{100, 30}}) {
        const TqvNavBarDropInfo d = bar.vi->GetDropInfo(p);
        ASSERT_NE(d.group, nullptr);
        ASSERT_NE(d.group->Group(), nullptr);
        EXPECT_NE(static_cast<QObject *>(d.group->Group()), static_cast<QObject *>(phone));
    }
    EXPECT_EQ(bar.vi->GetDropTarget(onPhone).group, bar.group(0));
    EXPECT_EQ(bar.vi->GroupAtCaptionPos({100, 590})->Group(), bar.group(1)); // "Tools" moved up

    // An item freed inside a collection update: its links are gone at once, and so are their
    // view informations, before any paint.
    bar.items.BeginUpdate();
    delete bar.items.Items(0);
    TqvNavBarLinkViewInfo *l = bar.vi->LinkAtPos({150, 30});
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->Link(), bar.group(0)->Links(0));
    EXPECT_EQ(l->Item()->Caption(), "Outbox");
    EXPECT_EQ(bar.vi->GetDropInfo({100, 45}).index, 2); // before "Drafts", now link 2
    bar.items.EndUpdate();
}

TEST(NavBarFault, NoRebuildRunsWhileAPaintWalksTheViewInformations)
{
    ViewBar bar;
    bar.fillStandard();
    bar.vi->EnsureLayout();
    {
        TqvNavBarViewInfo::PaintScope paint(*bar.vi);
        TqvNavBarGroupViewInfo *walked = bar.vi->Groups(1);
        delete bar.group(1);
        EXPECT_EQ(bar.vi->GroupAtCaptionPos({100, 570}), walked); // the paint's view still stands
        EXPECT_EQ(walked->Group(), nullptr);                      // and knows its group is gone
        EXPECT_TRUE(bar.vi->IsRebuildPending());
    }
    EXPECT_EQ(bar.vi->GroupAtCaptionPos({100, 570}), nullptr);
    EXPECT_EQ(bar.vi->GroupCount(), 2);
}

TEST(NavBarFault, TheBlankTopMarginOfAScrolledGroupHitsNothing)
{
    ViewBar bar;
    bar.fillStandard();
    bar.group(0)->SetTopVisibleLinkIndex(1);
    TqvNavBarGroupViewInfo *g = bar.vi->GroupViewInfo(bar.group(0));
    // Link 0 is scrolled to (0, 4, 199, 27): its image (4, 7, 20, 23) reaches into the margin
    // 19..27 of the item area, where nothing is drawn.
    ASSERT_EQ(g->Links(0)->Rect(), TRect(0, 4, 199, 27));
    ASSERT_EQ(g->Links(1)->Rect().top, 27);
    EXPECT_EQ(bar.vi->LinkAtPos({10, 20}), nullptr);
    EXPECT_EQ(bar.vi->LinkAtSelectedPos({10, 20}), nullptr);
    EXPECT_EQ(bar.vi->CalculateHintRect({10, 20}, kScreen).link, nullptr);
    // A drop there lands before the first visible link.
    const TqvNavBarDropInfo d = bar.vi->GetDropInfo({10, 20});
    EXPECT_EQ(d.before->Link(), bar.group(0)->Links(0));
    EXPECT_EQ(d.after->Link(), bar.group(0)->Links(1));
    EXPECT_EQ(d.index, 1);
    EXPECT_EQ(bar.vi->LinkAtPos({10, 30})->Link(), bar.group(0)->Links(1));
}

TEST(NavBarFault, ATopIndexPastAnInvisibleItem)
{
    ViewBar bar;
    bar.fillStandard();
    bar.group(0)->SetTopVisibleLinkIndex(2); // link 2's item is invisible: link 3 comes first
    TqvNavBarGroupViewInfo *g = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(g->Links(2)->Rect(), TRect(0, 27, 199, 50));
    EXPECT_EQ(bar.vi->LinkAtPos({150, 30})->Link(), bar.group(0)->Links(3));
    EXPECT_FALSE(bar.vi->TopScrollButtonRect().isEmpty());

    // Every link from the top index on is invisible: all shown links scroll away.
    bar.items.Items(3)->SetVisible(false);
    bar.group(0)->SetTopVisibleLinkIndex(3);
    g = bar.vi->GroupViewInfo(bar.group(0));
    ASSERT_EQ(g->LinkCount(), 2);
    EXPECT_EQ(g->Links(1)->Rect(), TRect(0, 4, 199, 27));
    EXPECT_EQ(bar.vi->LinkAtPos({150, 22}), nullptr);
    EXPECT_EQ(bar.vi->LinkAtPos({150, 40}), nullptr);
    EXPECT_TRUE(bar.vi->BottomScrollButtonRect().isEmpty());
    EXPECT_EQ(bar.vi->GetDropInfo({150, 40}).index, 4);
}

TEST(NavBarFault, NegativeGroupClientHeightIsClampedToZero)
{
    ViewBar bar(vkExplorerBar);
    bar.fillStandard();
    int asked = -1;
    bar.events.OnCalcGroupClientHeight = [&](TqvNavBarGroupViewInfo *gv, int &h) {
        if (gv->Group() == bar.group(0)) {
            asked = h;
            h = -50;
        }
    };
    bar.relayout();
    TqvNavBarGroupViewInfo *g = bar.vi->GroupViewInfo(bar.group(0));
    EXPECT_EQ(asked, 85); // 8 + 3 links of 23 + 8
    EXPECT_EQ(g->Rect(), TRect(10, 4, 190, 25));
    EXPECT_EQ(g->ItemsRect(), TRect(10, 25, 190, 25));
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(1))->Rect().top, 29);
    // Its links lie below the group now: none of them is hit in the next group's caption.
    EXPECT_EQ(bar.vi->GroupAtCaptionPos({100, 35})->Group(), bar.group(1));
    EXPECT_EQ(bar.vi->LinkAtPos({100, 40}), nullptr);
}

// Text that wraps into more lines the wider its rectangle is: the content fits only while the
// scroll bar narrows the client area, so hiding the bar makes it not fit and showing it makes it
// fit again.
class WiderIsTallerMeasurer : public FixedMeasurer {
public:
    void Measure(const TqvStyleFont &font, const QString &text, TRect &r, uint32_t flags) override
    {
        const bool wide = r.width() >= 170;
        FixedMeasurer::Measure(font, text, r, flags);
        if ((flags & DT_WORDBREAK) && wide)
            r.bottom = r.top + 20 * kLineHeight;
    }
};

TEST(NavBarFault, AFlippingScrollBarStaysShownAndTheLayoutEnds)
{
    ViewBar bar(vkExplorerBar);
    WiderIsTallerMeasurer measurer;
    bar.measurer = &measurer;
    bar.fillStandard();
    for (int i = 0; i < 3; ++i)
        bar.group(i)->SetLinksUseSmallImages(false);
    bar.height = 700; // 622 high at 184 wide, far more at 200 wide

    bar.vi->EnsureLayout();
    EXPECT_TRUE(bar.scrollBar.visible);
    EXPECT_EQ(bar.scrollBar.flips, 1);
    EXPECT_EQ(bar.scrollBar.page, 700);
    EXPECT_EQ(bar.scrollBar.max, 700);
    EXPECT_EQ(bar.scrollBar.position, 0);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->CaptionRect(), TRect(10, 4, 174, 25));

    // Laid out again at the same size: it stays shown without flipping.
    bar.vi->Invalidate(ctRelayout);
    bar.vi->EnsureLayout();
    EXPECT_TRUE(bar.scrollBar.visible);
    EXPECT_EQ(bar.scrollBar.flips, 1);
    // Rebuilt: the decision is taken again, and ends the same way.
    bar.relayout();
    bar.vi->EnsureLayout();
    EXPECT_TRUE(bar.scrollBar.visible);
    EXPECT_LE(bar.scrollBar.flips, 3);
}

TEST(NavBarScrollBar, PageRangeAndPositionMoveTheGroups)
{
    ViewBar bar(vkExplorerBar);
    bar.fillStandard();
    bar.height = 300; // content 334
    bar.vi->EnsureLayout();
    EXPECT_TRUE(bar.scrollBar.visible);
    EXPECT_EQ(bar.scrollBar.page, 269); // 300 * 300 / 334, rounded
    EXPECT_EQ(bar.scrollBar.min, 0);
    EXPECT_EQ(bar.scrollBar.max, 303);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->CaptionRect(), TRect(10, 4, 174, 25));

    bar.scrollBar.position = 20;
    bar.vi->Invalidate(ctRelayout);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->CaptionRect(), TRect(10, -16, 174, 5));
    bar.scrollBar.position = 100; // past the range: pulled back to max - page
    bar.vi->Invalidate(ctRelayout);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->CaptionRect().top, 4 - 34);
    EXPECT_EQ(bar.scrollBar.position, 34);

    bar.height = 400; // fits again: hidden, nothing moved
    bar.vi->Invalidate(ctRelayout);
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->CaptionRect(), TRect(10, 4, 190, 25));
    EXPECT_FALSE(bar.scrollBar.visible);

    // Without a scroll bar the view simply does not scroll.
    bar.hasScrollBar = false;
    bar.height = 100;
    bar.relayout();
    EXPECT_EQ(bar.vi->GroupViewInfo(bar.group(0))->CaptionRect(), TRect(10, 4, 190, 25));
}

TEST(NavBarFault, DegenerateClientAreasLayOutInEveryView)
{
    for (int k = 0; k < kNavBarViewKindCount; ++k) {
        for (auto [w, h] : {std::pair{1, 400}, std::pair{200, 0}, std::pair{0, 0}, std::pair{-5, -5}}) {
            SCOPED_TRACE(testing::Message() << "view " << k << " size " << w << "x" << h);
            ViewBar bar{static_cast<TqvNavBarViewKind>(k)};
            bar.fillStandard();
            bar.group(0)->SetHint("Mail");
            bar.group(1)->SetShowAsIconView(true);
            bar.group(1)->SetLinksUseSmallImages(false);
            bar.width = w;
            bar.height = h;
            bar.vi->EnsureLayout();
            for (int i = 0; i < bar.vi->GroupCount(); ++i) {
                const TqvNavBarGroupViewInfo *g = bar.vi->Groups(i);
                EXPECT_GE(g->Rect().bottom, g->CaptionRect().bottom);
            }
            for (TPoint p : {TPoint{0, 0}, TPoint{0, 10}, TPoint{-20, 10}, TPoint{5, 30}, TPoint{50, 300}}) {
                TqvNavBarGroupViewInfo *g = bar.vi->GroupAtCaptionPos(p);
                if (g) {
                    EXPECT_FALSE(g->CaptionRect().isEmpty()); // an inverted caption is hit nowhere
                }
                bar.vi->GroupAtItemsPos(p);
                bar.vi->LinkAtPos(p);
                bar.vi->LinkAtSelectedPos(p);
                bar.vi->GetDropInfo(p);
                bar.vi->CalculateHintRect(p, kScreen);
            }
        }
    }
}

} // namespace
