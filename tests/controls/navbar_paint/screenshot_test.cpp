// A gallery of the twelve views for a person to look at: three groups, links with images, the
// active group open, a hot caption, a selected, a hot, a pressed and a disabled link, measured with
// the real fonts. Saved under <build>/screenshots/controls/navbar/.
#include "paint_bar.h"

#include <gtest/gtest.h>

namespace navbar_paint_test {
namespace {

QImage panel(int view, QtTextMeasurer &measurer)
{
    PaintBar bar(view);
    bar.measurer = &measurer;
    bar.fill();
    bar.items.Items(3)->SetEnabled(false);
    bar.group(0)->SetSelectedLinkIndex(0);
    bar.group(2)->SetExpanded(false);
    bar.hot = bar.group(1);
    bar.pressed = bar.group(2);
    bar.hotLink = bar.group(0)->Links(1);
    bar.pressedLink = bar.group(0)->Links(2);
    bar.InvalidateAll(ctRebuild);
    return bar.render();
}

TEST(NavBarScreenshots, TwelveViews)
{
    QtTextMeasurer measurer;
    const TqvNavBarViewsFactory &f = ViewsFactory();
    constexpr int kW = 150, kH = 300, kLabel = 18, kGap = 8, kCols = 6;
    QImage sheet(kCols * (kW + kGap) + kGap, 2 * (kH + kLabel + kGap) + kGap, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    for (int i = 0; i < f.Count(); ++i) {
        const int id = f.Entry(i).ID;
        const QImage img = panel(id, measurer);
        img.save(screenshotDir() + QString("/view_%1_%2.png").arg(id, 2, 10, QChar('0')).arg(f.Entry(i).Name));
        const int x = kGap + (id % kCols) * (kW + kGap);
        const int y = kGap + (id / kCols) * (kH + kLabel + kGap);
        p.setPen(Qt::black);
        p.drawText(QRect(x, y, kW, kLabel), Qt::AlignLeft | Qt::AlignVCenter, QString("%1 %2").arg(id).arg(f.Entry(i).Name));
        p.drawImage(x, y + kLabel, img);
    }
    p.end();
    EXPECT_TRUE(sheet.save(screenshotDir() + "/navbar_views.png"));
}

// The base and explorer views scrolled, with scroll buttons and a link being dragged between two
// others; an icon-view group with its upright mark.
TEST(NavBarScreenshots, ScrollButtonsAndDropMark)
{
    QtTextMeasurer measurer;
    QImage sheet(3 * 158 + 8, 316, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    int x = 8;
    for (int view : {vkBase, vkExplorerBar}) {
        PaintBar bar(view);
        bar.measurer = &measurer;
        bar.fill(3, 12);
        bar.group(0)->SetTopVisibleLinkIndex(1);
        bar.VI().EnsureLayout();
        const TqvNavBarGroupViewInfo *g = bar.VI().Groups(0);
        const TRect r2 = g->Links(g->LinkCount() > 3 ? 2 : 0)->Rect();
        bar.hotPoint = {bar.width / 2, r2.bottom - 2};
        bar.drag = {true, nullptr, bar.group(0)->Links(0), nullptr, true, true};
        bar.InvalidateAll(ctRedraw);
        p.drawImage(x, 8, bar.render());
        x += 158;
    }
    // An icon-view group with a link dragged between the first two.
    PaintBar icons(vkBase);
    icons.measurer = &measurer;
    icons.fill();
    icons.group(0)->SetShowAsIconView(true);
    icons.group(0)->SetLinksUseSmallImages(false);
    icons.VI().EnsureLayout();
    const TRect first = icons.VI().Groups(0)->Links(0)->Rect();
    icons.hotPoint = {first.right + 2, (first.top + first.bottom) / 2};
    icons.drag = {true, nullptr, icons.group(0)->Links(3), nullptr, true, true};
    icons.InvalidateAll(ctRedraw);
    p.drawImage(x, 8, icons.render());
    p.end();
    EXPECT_TRUE(sheet.save(screenshotDir() + "/navbar_scroll_drop.png"));
}

} // namespace
} // namespace navbar_paint_test
