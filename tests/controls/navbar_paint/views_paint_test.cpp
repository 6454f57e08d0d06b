// Every view painted over the same bar (150 x 300, three groups of four links, a 16 x 16 image list):
// its background and header colours where they must show, any size without a crash, and the themed
// views with and without visual styles.
#include "paint_bar.h"

#include <QSet>
#include <gtest/gtest.h>

namespace navbar_paint_test {
namespace {

int channelDiff(TColor a, TColor b)
{
    return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                     std::abs(GetBValue(a) - GetBValue(b))});
}

// The commonest colour inside r.
TColor dominant(const QImage &img, const TRect &r)
{
    QHash<QRgb, int> n;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, img.height()); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, img.width()); ++x)
            ++n[img.pixel(x, y)];
    QRgb best = 0;
    int most = -1;
    for (auto it = n.cbegin(); it != n.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    return fromQColor(QColor(best));
}

struct ViewRow {
    int view;
    TColor barBackground;
    TColor groupBackground; // at the item area's left, past any border
    TColor header;          // the commonest colour of an inactive caption
    int headerTolerance;    // gradients are compared loosely
};

const std::vector<ViewRow> &viewRows()
{
    static const std::vector<ViewRow> rows{
        {vkBase, clAppWorkSpace, clAppWorkSpace, clBtnFace, 0},
        {vkFlat, clAppWorkSpace, clAppWorkSpace, clBtnFace, 0},
        {vkOffice1, clBtnFace, clBtnFace, clBtnFace, 0},
        {vkOffice2, clBtnFace, clBtnFace, clBtnFace, 0},
        {vkOffice3, clBtnFace, clBtnFace, clBtnFace, 0},
        {vkVSToolBox, clBtnFace, clBtnFace, clBtnFace, 0},
        {vkXP1, clAppWorkSpace, LightColor(clInactiveCaption, 40), clActiveCaption, 60},
        {vkXP2, clBtnFace, clBtnFace, clBtnFace, 0},
        {vkExplorerBar, clWindow, clWindow, clBtnFace, 0},
        {vkUltraFlatExplorer, clWindow, clWindow, clBtnFace, 0},
        {vkAdvExplorerBar, clHighlight, LightColor(clInactiveCaption, 40), clWindow, 60},
        {vkXPExplorerBar, clWindow, clWindow, clBtnFace, 0},
    };
    return rows;
}

// Where the bar's own background shows: the explorer views' left margin, else the space between
// the first group and the next caption.
TPoint barBackgroundPoint(PaintBar &bar)
{
    TqvNavBarViewInfo &vi = bar.VI();
    vi.EnsureLayout();
    if (isExplorerBarFamily(vi.Kind()))
        return {3, vi.Groups(0)->Rect().top + 5};
    return {bar.width / 2, vi.Groups(1)->CaptionRect().top - 2};
}

TEST(NavBarViewsPaint, EachViewShowsItsBackgroundAndHeaderColours)
{
    for (const ViewRow &row : viewRows()) {
        SCOPED_TRACE(row.view);
        PaintBar bar(row.view);
        bar.fill();
        bar.space = 6; // a gap between groups where the bar's background shows
        const QImage img = bar.render();
        QSet<QRgb> colours;
        for (int y = 0; y < img.height(); y += 3)
            for (int x = 0; x < img.width(); x += 3)
                colours.insert(img.pixel(x, y));
        EXPECT_GE(colours.size(), 4) << "blank picture";
        EXPECT_FALSE(colours.contains(kUnpainted));

        TqvNavBarViewInfo &vi = bar.VI();
        const TPoint bg = barBackgroundPoint(bar);
        EXPECT_EQ(pixel(img, bg.x, bg.y), sys(row.barBackground)) << bg.x << "," << bg.y;

        const TqvNavBarGroupViewInfo *g0 = vi.Groups(0);
        const TRect &items = g0->ItemsRect();
        ASSERT_GT(items.height(), 4);
        EXPECT_LE(channelDiff(pixel(img, items.left + 3, items.top + 2), sys(row.groupBackground)), 3);

        const TRect caption = vi.Groups(1)->CaptionRect();
        ASSERT_FALSE(caption.isEmpty());
        const TColor header = row.headerTolerance ? pixel(img, row.view == vkXP1 ? caption.right - 4 : caption.left + 4,
                                                          caption.top + 3)
                                                  : dominant(img, caption);
        EXPECT_LE(channelDiff(header, sys(row.header)), row.headerTolerance)
            << std::hex << header << " vs " << sys(row.header);
    }
}

TEST(NavBarViewsPaint, AnySizePaintsWithoutACrash)
{
    for (const ViewRow &row : viewRows())
        for (const QSize size : {QSize(0, 0), QSize(1, 1), QSize(20, 20), QSize(3000, 3000)}) {
            SCOPED_TRACE(row.view);
            PaintBar bar(row.view);
            bar.fill();
            bar.width = size.width();
            bar.height = size.height();
            const QImage img = bar.render();
            if (!size.isEmpty()) {
                EXPECT_NE(img.pixel(0, 0), kUnpainted);
                EXPECT_NE(img.pixel(size.width() - 1, size.height() - 1), kUnpainted);
            }
        }
}

// XP2's group background and XPExplorerBar's backgrounds are theme parts when visual styles are
// available; without them (the Linux backend) each view draws exactly as the view it falls back to.
class NavBarThemedViews : public ::testing::Test {
protected:
    void TearDown() override { InitThemeLibrary(); }
};

TEST_F(NavBarThemedViews, ThemeBackendDrawsTheParts)
{
    auto backend = std::make_unique<RecordingThemeBackend>(std::vector<QString>{"Tab", "ExplorerBar"});
    RecordingThemeBackend *rec = backend.get();
    InitThemeLibrary(std::move(backend));
    auto drawn = [rec](const QString &cls, int part, int state) {
        int n = 0;
        for (const RecordingThemeBackend::Call &c : rec->calls())
            if (c.kind == RecordingThemeBackend::Call::Draw && c.className.compare(cls, Qt::CaseInsensitive) == 0 &&
                c.part == part && c.state == state)
                ++n;
        return n;
    };

    PaintBar xp2(vkXP2);
    xp2.fill();
    QImage img = xp2.render();
    EXPECT_EQ(drawn("Tab", 8, 1), 1); // the active group's item area, the only one open
    const TRect items = xp2.VI().Groups(0)->ItemsRect();
    EXPECT_EQ(img.pixel(items.left + 2, items.top + 2), RecordingThemeBackend::partColor("Tab", 8, 1).rgb());

    rec->clearCalls();
    PaintBar xpe(vkXPExplorerBar);
    xpe.fill();
    img = xpe.render();
    EXPECT_EQ(drawn("ExplorerBar", 1, 1), 1);
    EXPECT_EQ(drawn("ExplorerBar", 5, 1), 3); // every expanded group
    EXPECT_EQ(img.pixel(3, 3), RecordingThemeBackend::partColor("ExplorerBar", 1, 1).rgb());
    const TRect g = xpe.VI().Groups(0)->ItemsRect();
    // No border with visual styles: the item area's left column is the themed part.
    EXPECT_EQ(img.pixel(g.left, g.top + 4), RecordingThemeBackend::partColor("ExplorerBar", 5, 1).rgb());
}

TEST_F(NavBarThemedViews, WithoutVisualStylesThemedViewsEqualTheirFallbacks)
{
    InitThemeLibrary(); // the Linux backend
    for (const auto &[themedView, fallback] : {std::pair{vkXP2, vkOffice1}, std::pair{vkXPExplorerBar, vkExplorerBar}}) {
        SCOPED_TRACE(themedView);
        PaintBar a(themedView), b(fallback);
        for (PaintBar *bar : {&a, &b}) {
            bar->fill();
            bar->group(0)->SetSelectedLinkIndex(1);
        }
        a.hot = a.group(1);
        b.hot = b.group(1);
        const QImage ia = a.render(), ib = b.render();
        EXPECT_TRUE(ia == ib);
    }
}

} // namespace
} // namespace navbar_paint_test
