// The element painters drawn into QImages and probed where it matters.
#include "controls/paint/gdiplus.h"
#include "controls/paint/painters.h"
#include "paint_util.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace controls;
using namespace painttest;

namespace {

const TColor kFace = clBtnFace;
const TColor kRed = RGBColor(255, 0, 0);
const TColor kBlue = RGBColor(0, 0, 255);

// Every test starts with gradients usable and the Linux theme backend.
class Painters : public testing::Test {
protected:
    void SetUp() override
    {
        SetGDIPlusForcedOff(false);
        InitThemeLibrary();
    }
    void TearDown() override
    {
        SetGDIPlusForcedOff(false);
        InitThemeLibrary();
    }
};

void drawButton(const TqvButtonPainterClass &cls, QImage &img, const TRect &r, TqvNavBarObjectStates state,
                TColor c1 = kFace, TColor c2 = kFace)
{
    paint(img, [&](TqvCanvas &c) { cls.DrawButton(c, r, state, gmHorizontal, 255, 255, c1, c2, nullptr); });
}

TColor face() { return resolved(kFace); }

} // namespace

// ---- selection frames ------------------------------------------------------------------------

TEST_F(Painters, SelectionRaisedAndSunkenOnTheOutermostPixels)
{
    const TRect r(5, 5, 25, 21);
    struct Row {
        const char *name;
        TqvNavBarObjectStates state;
        bool drawn;
        bool sunken;
    } rows[] = {
        {"hot: raised", sHotTracked, true, false},
        {"pressed: sunken", sPressed, true, true},
        {"selected: sunken", sSelected, true, true},
        {"pressed wins over hot", sPressed | sHotTracked, true, true},
        {"normal: nothing", 0, false, false},
        {"disabled: nothing", sDisabled, false, false},
    };
    const TColor light = LightColor(kFace, 20), dark = DarkColor(kFace, 20);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QImage img = blank();
        paint(img, [&](TqvCanvas &c) { TqvNavBarSelectionPainter::DrawSelection(c, r, row.state, kFace); });
        if (!row.drawn) {
            EXPECT_EQ(inkBox(img), TRect());
            continue;
        }
        const TColor tl = row.sunken ? dark : light, br = row.sunken ? light : dark;
        EXPECT_EQ(at(img, 15, r.top), tl);
        EXPECT_EQ(at(img, r.left, 13), tl);
        EXPECT_EQ(at(img, 15, r.bottom - 1), br);
        EXPECT_EQ(at(img, r.right - 1, 13), br);
        EXPECT_EQ(img.pixel(15, 13), kBackground); // a frame, not a fill
        EXPECT_TRUE(untouchedOutside(img, r));
    }
}

TEST_F(Painters, VSToolBoxSelectionAddsALightInnerLineWhenHot)
{
    const TRect r(5, 5, 25, 21);
    QImage hot = blank(), pressed = blank();
    paint(hot, [&](TqvCanvas &c) { TqvNavBarVSToolBoxSelectionPainter::DrawSelection(c, r, sHotTracked, kFace); });
    paint(pressed, [&](TqvCanvas &c) { TqvNavBarVSToolBoxSelectionPainter::DrawSelection(c, r, sPressed, kFace); });
    EXPECT_EQ(at(hot, 15, 6), LightColor(kFace, 70));
    EXPECT_EQ(at(hot, 6, 13), LightColor(kFace, 70));
    EXPECT_EQ(at(hot, 15, r.top), LightColor(kFace, 20));
    EXPECT_EQ(pressed.pixel(15, 6), kBackground);
    EXPECT_EQ(at(pressed, 15, r.top), DarkColor(kFace, 20));
}

TEST_F(Painters, UltraFlatSelectionFillsWithTheMixes)
{
    const TRect r(5, 5, 25, 21);
    QImage pressed = blank(), selected = blank(), normal = blank();
    paint(pressed, [&](TqvCanvas &c) { TqvNavBarUltraFlatSelectionPainter::DrawSelection(c, r, sPressed, clNone); });
    paint(selected, [&](TqvCanvas &c) {
        TqvNavBarUltraFlatSelectionPainter::DrawSelection(c, r, sPressed | sSelected, clNone);
    });
    paint(normal, [&](TqvCanvas &c) { TqvNavBarUltraFlatSelectionPainter::DrawSelection(c, r, 0, clNone); });
    EXPECT_EQ(at(pressed, 15, 13), UltraFlatPressedColor());
    EXPECT_EQ(at(selected, 15, 13), UltraFlatSelectedColor());
    EXPECT_EQ(at(pressed, r.left, 13), resolved(clHighlight));
    EXPECT_EQ(at(pressed, 15, r.bottom - 1), resolved(clHighlight));
    EXPECT_NE(UltraFlatPressedColor(), UltraFlatSelectedColor());
    EXPECT_EQ(inkBox(normal), TRect());
    EXPECT_TRUE(untouchedOutside(pressed, r));
}

// ---- caption buttons -------------------------------------------------------------------------

TEST_F(Painters, ButtonFramesByPainterAndState)
{
    const TRect r(4, 4, 34, 24);
    const TColor l20 = LightColor(kFace, 20), l70 = LightColor(kFace, 70);
    const TColor d20 = DarkColor(kFace, 20), d70 = DarkColor(kFace, 70);
    struct Row {
        const char *name;
        const TqvButtonPainterClass *cls;
        TqvNavBarObjectStates state;
        TColor top, left, bottom, right;         // outermost pixels (mid-edge)
        TColor innerTop, innerLeft, innerBottom, innerRight; // one pixel inside; 0xFFFFFFFF: the face
    } rows[] = {
        {"base normal", &TqvNavBarButtonPainter::Class, 0, l20, l20, d20, d20, l70, l70, d70, d70},
        {"base pressed", &TqvNavBarButtonPainter::Class, sPressed, d20, d20, d20, d20, d70, d70, d70, d70},
        {"flat normal", &TqvNavBarFlatButtonPainter::Class, 0, l20, l20, d70, d70, ~0u, ~0u, ~0u, ~0u},
        {"flat hot", &TqvNavBarFlatButtonPainter::Class, sHotTracked, l20, l20, d20, d20, ~0u, ~0u, d70, d70},
        {"flat pressed", &TqvNavBarFlatButtonPainter::Class, sPressed, d20, d20, l20, l20, d70, d70, ~0u, ~0u},
        {"office normal", &TqvNavBarOfficeButtonPainter::Class, 0, l20, l20, d20, d20, ~0u, ~0u, ~0u, ~0u},
        {"office hot", &TqvNavBarOfficeButtonPainter::Class, sHotTracked, l20, l20, d20, d20, l70, l70, d70, d70},
        {"office pressed", &TqvNavBarOfficeButtonPainter::Class, sPressed, d20, d20, l20, l20, d70, d70, ~0u, ~0u},
        {"vstoolbox normal", &TqvNavBarVSToolBoxButtonPainter::Class, 0, l20, l20, d20, d20, l70, l70, ~0u, ~0u},
        {"vstoolbox pressed", &TqvNavBarVSToolBoxButtonPainter::Class, sPressed, d20, d20, l20, l20, d70, d70, ~0u, ~0u},
        {"explorer: background only", &TqvNavBarExplorerButtonPainter::Class, sPressed, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u},
    };
    auto expect = [](TColor c) { return c == ~0u ? face() : c; };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QImage img = blank();
        drawButton(*row.cls, img, r, row.state);
        EXPECT_EQ(at(img, 19, r.top), expect(row.top));
        EXPECT_EQ(at(img, r.left, 14), expect(row.left));
        EXPECT_EQ(at(img, 19, r.bottom - 1), expect(row.bottom));
        EXPECT_EQ(at(img, r.right - 1, 14), expect(row.right));
        EXPECT_EQ(at(img, 19, r.top + 1), expect(row.innerTop));
        EXPECT_EQ(at(img, r.left + 1, 14), expect(row.innerLeft));
        EXPECT_EQ(at(img, 19, r.bottom - 2), expect(row.innerBottom));
        EXPECT_EQ(at(img, r.right - 2, 14), expect(row.innerRight));
        EXPECT_EQ(at(img, 19, 14), face());
        EXPECT_TRUE(untouchedOutside(img, r));
    }
}

TEST_F(Painters, ActiveCaptionGetsABlackBottomLineExceptVSToolBox)
{
    const TRect r(4, 4, 34, 24);
    struct Row {
        const TqvButtonPainterClass *cls;
        bool line;
    } rows[] = {
        {&TqvNavBarButtonPainter::Class, true},
        {&TqvNavBarFlatButtonPainter::Class, true},
        {&TqvNavBarOfficeButtonPainter::Class, true},
        {&TqvNavBarVSToolBoxButtonPainter::Class, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.cls->className);
        QImage img = blank();
        drawButton(*row.cls, img, r, sActive);
        for (int x : {r.left, 19, r.right - 1})
            EXPECT_EQ(at(img, x, r.bottom - 1) == clBlack, row.line) << "x " << x;
        EXPECT_NE(at(img, 19, r.bottom - 2), clBlack);
    }
}

TEST_F(Painters, AdvExplorerButtonCutsTheTopCornersAndKeepsEarlierExclusions)
{
    const TRect r(4, 4, 34, 24);
    QImage img = blank();
    paint(img, [&](TqvCanvas &c) {
        c.excludeClipRect(TRect(20, 10, 25, 15)); // a scroll button drawn earlier
        TqvNavBarAdvExplorerButtonPainter::DrawButton(c, r, 0, gmHorizontal, 255, 255, kRed, kRed, nullptr);
        c.fillRect(TRect(0, 0, 40, 40), kBlue); // later drawing in the same paint
    });
    EXPECT_EQ(img.pixel(22, 12), kBackground);
    // The notches stay unpainted by the button (and the blue fill paints them afterwards).
    QImage alone = blank();
    paint(alone, [&](TqvCanvas &c) {
        TqvNavBarAdvExplorerButtonPainter::DrawButton(c, r, 0, gmHorizontal, 255, 255, kRed, kRed, nullptr);
    });
    for (auto [x, y] : {std::pair{4, 4}, {5, 4}, {4, 5}, {33, 4}, {32, 4}, {33, 5}})
        EXPECT_EQ(alone.pixel(x, y), kBackground) << x << "," << y;
    for (auto [x, y] : {std::pair{5, 5}, {6, 4}, {4, 6}, {32, 5}, {31, 4}, {33, 6}, {4, 23}, {33, 23}})
        EXPECT_EQ(at(alone, x, y), kRed) << x << "," << y;
}

// ---- backgrounds -----------------------------------------------------------------------------

TEST_F(Painters, TwoColourGradientDiffersAtItsEnds)
{
    const TRect r(0, 0, 40, 40);
    struct Row {
        TqvBarStyleGradientMode mode;
        QPoint start, end;
    } rows[] = {
        {gmHorizontal, {0, 20}, {39, 20}},
        {gmVertical, {20, 0}, {20, 39}},
        {gmForwardDiagonal, {0, 0}, {39, 39}},
        {gmBackwardDiagonal, {39, 0}, {0, 39}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(int(row.mode));
        QImage img = blank();
        paint(img, [&](TqvCanvas &c) {
            TqvNavBarBackgroundPainter::DrawBackground(c, r, nullptr, row.mode, 255, 255, kRed, kBlue, false);
        });
        const QColor s(img.pixel(row.start)), e(img.pixel(row.end));
        EXPECT_GT(s.red(), 230);
        EXPECT_LT(s.blue(), 25);
        EXPECT_GT(e.blue(), 230);
        EXPECT_LT(e.red(), 25);
    }
}

TEST_F(Painters, WithoutGradientsASolidFillOfColourOne)
{
    SetGDIPlusForcedOff(true);
    EXPECT_FALSE(IsGDIPlusAvailable());
    const TRect r(5, 5, 35, 35);
    QImage img = blank();
    TqvGPGraphics::resetDrawCount();
    paint(img, [&](TqvCanvas &c) {
        TqvNavBarBackgroundPainter::DrawBackground(c, r, nullptr, gmVertical, 100, 255, kRed, kBlue, false);
    });
    EXPECT_EQ(TqvGPGraphics::drawCount(), 0);
    EXPECT_EQ(countPixels(img, r, [](QRgb p) { return p == 0xFFFF0000u; }), 30 * 30);
    EXPECT_TRUE(untouchedOutside(img, r));
}

TEST_F(Painters, AlphaOneZeroWithoutPictureDrawsNothingOrWhiteWithErase)
{
    for (bool gdiOff : {true, false}) {
        SCOPED_TRACE(gdiOff ? "gradients off" : "gradients on");
        SetGDIPlusForcedOff(gdiOff);
        const TRect r(5, 5, 35, 35);
        QImage plain = blank(), erased = blank();
        paint(plain, [&](TqvCanvas &c) {
            TqvNavBarBackgroundPainter::DrawBackground(c, r, nullptr, gmHorizontal, 0, 0, kRed, kBlue, false);
        });
        paint(erased, [&](TqvCanvas &c) {
            TqvNavBarBackgroundPainter::DrawBackground(c, r, nullptr, gmHorizontal, 0, 0, kRed, kBlue, true);
        });
        EXPECT_EQ(inkBox(plain), TRect());
        EXPECT_EQ(countPixels(erased, r, [](QRgb p) { return p == 0xFFFFFFFFu; }), 30 * 30);
        EXPECT_TRUE(untouchedOutside(erased, r));
    }
}

TEST_F(Painters, EqualOpaqueColoursNeverReachTheGradient)
{
    ASSERT_TRUE(IsGDIPlusAvailable());
    const TRect r(0, 0, 40, 40);
    QImage img = blank();
    TqvGPGraphics::resetDrawCount();
    paint(img, [&](TqvCanvas &c) {
        TqvNavBarBackgroundPainter::DrawBackground(c, r, nullptr, gmHorizontal, 255, 255, kFace, kFace, false);
    });
    EXPECT_EQ(TqvGPGraphics::drawCount(), 0);
    EXPECT_EQ(countPixels(img, r, [](QRgb p) { return fromQColor(QColor(p)) == face(); }), 40 * 40);
    // Translucent equal colours do go through it.
    paint(img, [&](TqvCanvas &c) {
        TqvNavBarBackgroundPainter::DrawBackground(c, r, nullptr, gmHorizontal, 128, 128, kFace, kFace, false);
    });
    EXPECT_EQ(TqvGPGraphics::drawCount(), 1);
}

TEST_F(Painters, NoColourBackgroundDrawsNothing)
{
    for (bool gdiOff : {true, false}) {
        SetGDIPlusForcedOff(gdiOff);
        QImage img = blank();
        paint(img, [&](TqvCanvas &c) {
            TqvNavBarBackgroundPainter::DrawBackground(c, TRect(0, 0, 40, 40), nullptr, gmHorizontal, 255, 255, clNone,
                                                       clNone, false);
            TqvNavBarButtonPainter::DrawButton(c, TRect(0, 0, 40, 20), 0, gmHorizontal, 255, 255, clNone, clNone, nullptr);
            TqvNavBarSelectionPainter::DrawSelection(c, TRect(0, 20, 40, 40), sHotTracked, clNone);
            TqvNavBarDropTargetLinkPainter::DrawTargetLink(c, {1, 1}, clNone, {30, 1}, {30, 5}, {1, 5}, {1, 9}, {30, 9});
        });
        EXPECT_EQ(inkBox(img), TRect()) << gdiOff;
    }
}

namespace {

// A 4 x 3 picture whose every pixel differs.
QImage tilePattern()
{
    QImage p(4, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            p.setPixel(x, y, qRgb(40 + x * 50, 60 + y * 60, 7));
    return p;
}

} // namespace

TEST_F(Painters, TilesAlignToTheCanvasOrigin)
{
    TqvPicture picture;
    picture.setImage(tilePattern());
    for (bool gdiOff : {true, false}) {
        SCOPED_TRACE(gdiOff);
        SetGDIPlusForcedOff(gdiOff);
        const TRect r(5, 7, 31, 29);
        QImage img = blank();
        // Opaque colours with alpha 0 (plain path) or a fully transparent gradient over it.
        paint(img, [&](TqvCanvas &c) {
            TqvNavBarBackgroundPainter::DrawBackground(c, r, &picture, gmHorizontal, 0, 0, kRed, kBlue, false);
        });
        EXPECT_TRUE(untouchedOutside(img, r));
        for (int y = r.top; y < r.bottom; y += 5)
            for (int x = r.left; x < r.right; x += 3)
                ASSERT_EQ(img.pixel(x, y), tilePattern().pixel(x % 4, y % 3)) << x << "," << y;
    }
}

TEST_F(Painters, PicturesThatCannotBeDrawnNeverHang)
{
    TqvPicture metafile;
    ASSERT_TRUE(metafile.loadFromData(QStringLiteral("TMetafile"), QByteArray("\x01\x00\x00\x00 not drawn", 15)));
    EXPECT_FALSE(metafile.isEmpty());
    TqvPicture broken;
    ASSERT_TRUE(broken.loadFromData(QStringLiteral("TBitmap"), QByteArray("BM garbage")));
    EXPECT_TRUE(broken.isEmpty());
    for (const TqvPicture *p : {&metafile, &broken}) {
        QImage img = blank();
        paint(img, [&](TqvCanvas &c) {
            TqvNavBarBackgroundPainter::DrawBackground(c, TRect(0, 0, 40, 40), p, gmHorizontal, 0, 0, kRed, kRed, false);
        });
        EXPECT_EQ(inkBox(img), TRect());
    }
}

// ---- images ----------------------------------------------------------------------------------

TEST_F(Painters, ImageIndexOutsideTheListDrawsNothing)
{
    TqvImageList list(8, 8);
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    list.add(red);
    list.add(red);
    for (int index : {-1, 2, 100}) {
        QImage img = blank();
        paint(img, [&](TqvCanvas &c) { TqvNavBarImagePainter::DrawImage(c, &list, index, TRect(3, 4, 30, 30), true); });
        EXPECT_EQ(inkBox(img), TRect()) << index;
    }
    QImage none = blank();
    paint(none, [&](TqvCanvas &c) { TqvNavBarImagePainter::DrawImage(c, nullptr, 0, TRect(3, 4, 30, 30), true); });
    EXPECT_EQ(inkBox(none), TRect());

    QImage img = blank();
    paint(img, [&](TqvCanvas &c) { TqvNavBarImagePainter::DrawImage(c, &list, 1, TRect(3, 4, 30, 30), true); });
    EXPECT_EQ(inkBox(img), TRect(3, 4, 11, 12));
    EXPECT_EQ(img.pixel(5, 6), 0xFFFF0000u);

    QImage disabled = blank();
    paint(disabled, [&](TqvCanvas &c) { TqvNavBarImagePainter::DrawImage(c, &list, 0, TRect(3, 4, 30, 30), false); });
    EXPECT_EQ(at(disabled, 5, 6), resolved(clBtnShadow));
    EXPECT_EQ(at(disabled, 11, 12), resolved(clBtnHighlight)); // the embossed edge
}

// ---- hints -----------------------------------------------------------------------------------

TEST_F(Painters, HintDrawsNothingWithoutText)
{
    const TRect r(2, 2, 38, 30);
    TqvStyleFont font;
    QImage img = blank();
    paint(img, [&](TqvCanvas &c) {
        TqvNavBarHintPainter::DrawHint(c, r, font, gmHorizontal, 255, 255, clInfoBk, clInfoBk, nullptr, QString());
    });
    EXPECT_EQ(inkBox(img), TRect());

    paint(img, [&](TqvCanvas &c) {
        TqvNavBarHintPainter::DrawHint(c, r, font, gmHorizontal, 255, 255, clInfoBk, clInfoBk, nullptr,
                                       QStringLiteral("Inbox"));
    });
    EXPECT_EQ(inkBox(img), r);
    EXPECT_EQ(at(img, 20, r.top), resolved(cl3DLight));
    EXPECT_EQ(at(img, 20, r.bottom - 1), resolved(cl3DDkShadow));
    EXPECT_EQ(at(img, 20, r.top + 1), resolved(clBtnHighlight));
    EXPECT_EQ(at(img, r.right - 3, r.bottom - 3), resolved(clInfoBk));
    EXPECT_GT(countPixels(img, r.inflated(-2, -2), [](QRgb p) { return qGray(p) < 100; }), 5); // the text
}

// ---- scroll buttons --------------------------------------------------------------------------

TEST_F(Painters, ScrollTrianglesLieInsideTheirButtonsAndTheButtonIsExcluded)
{
    const TRect r(10, 8, 26, 24); // 16 x 16
    struct Row {
        const char *name;
        bool bottom;
        TqvNavBarObjectStates state;
        TColor arrow;
    } rows[] = {
        {"bottom", true, 0, clBlack},
        {"top", false, 0, clBlack},
        {"bottom hidden", true, sHidden, resolved(clGrayText)},
        {"top hidden", false, sHidden, resolved(clGrayText)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QImage img = blank();
        paint(img, [&](TqvCanvas &c) {
            auto fn = row.bottom ? &TqvNavBarScrollButtonsPainter::DrawBottomButton
                                 : &TqvNavBarScrollButtonsPainter::DrawTopButton;
            fn(c, r, &TqvNavBarFlatButtonPainter::Class, row.state, gmHorizontal, 255, 255, kFace, kFace, nullptr);
            c.fillRect(TRect(0, 0, 40, 40), kRed); // later drawing leaves the button alone
        });
        const TRect arrowBox = [&] {
            QImage probe = img;
            for (int y = 0; y < probe.height(); ++y)
                for (int x = 0; x < probe.width(); ++x)
                    if (at(img, x, y) != row.arrow)
                        probe.setPixel(x, y, kBackground);
            return inkBox(probe);
        }();
        ASSERT_FALSE(arrowBox.isEmpty());
        EXPECT_TRUE(r.inflated(-2, -2).intersected(arrowBox) == arrowBox);
        // Tip row: one pixel; base row: the widest.
        const int tipY = row.bottom ? arrowBox.bottom - 1 : arrowBox.top;
        const int baseY = row.bottom ? arrowBox.top : arrowBox.bottom - 1;
        auto width = [&](int y) {
            return countPixels(img, TRect(r.left, y, r.right, y + 1), [&](QRgb p) { return fromQColor(QColor(p)) == row.arrow; });
        };
        EXPECT_EQ(width(tipY), 1);
        EXPECT_GT(width(baseY), 3);
        EXPECT_EQ(countPixels(img, r, [](QRgb p) { return p == 0xFFFF0000u; }), 0);
        EXPECT_EQ(img.pixel(r.left - 1, r.top), 0xFFFF0000u);
    }
    EXPECT_EQ(TqvNavBarScrollButtonsPainter::BottomTriangle(r),
              (std::vector<TPoint>{{17, 17}, {14, 14}, {20, 14}}));
    EXPECT_EQ(TqvNavBarScrollButtonsPainter::TopTriangle(r), (std::vector<TPoint>{{17, 13}, {14, 16}, {20, 16}}));
}

// ---- signs -----------------------------------------------------------------------------------

TEST_F(Painters, ChevronsStayInsideTheSignAndPointUpWhenExpanded)
{
    const TRect r(8, 8, 24, 24);
    for (bool gdiOff : {false, true}) {
        SetGDIPlusForcedOff(gdiOff);
        for (const TqvSignPainterClass *cls :
             {&TqvNavBarExplorerBarSignPainter::Class, &TqvNavBarAdvExplorerBarSignPainter::Class}) {
            for (TqvNavBarObjectStates state : {TqvNavBarObjectStates(0), TqvNavBarObjectStates(sExpanded),
                                                TqvNavBarObjectStates(sExpanded | sHotTracked)}) {
                SCOPED_TRACE(testing::Message() << cls->className << " state " << int(state) << " gdi off " << gdiOff);
                QImage img = blank();
                paint(img, [&](TqvCanvas &c) { cls->DrawSign(c, r, kBlue, clWindow, state); });
                EXPECT_TRUE(untouchedOutside(img, r));
                QImage chevrons = blank();
                for (int y = 0; y < 40; ++y)
                    for (int x = 0; x < 40; ++x)
                        if (img.pixel(x, y) == 0xFF0000FFu)
                            chevrons.setPixel(x, y, 0xFF0000FFu);
                const TRect ink = inkBox(chevrons);
                ASSERT_FALSE(ink.isEmpty());
                EXPECT_LE(ink.width(), 8);
                const int apexX = r.left + r.width() / 2 - 1;
                const bool up = state & sExpanded;
                // The apex is the only chevron pixel of the row that points the way.
                const int apexRow = up ? ink.top : ink.bottom - 1;
                EXPECT_EQ(chevrons.pixel(apexX, apexRow), 0xFF0000FFu);
                EXPECT_EQ(chevrons.pixel(apexX - 3, apexRow), kBackground);
                const int armRow = up ? ink.bottom - 1 : ink.top;
                EXPECT_EQ(chevrons.pixel(apexX - 3, armRow), 0xFF0000FFu);
            }
        }
    }
}

TEST_F(Painters, HotExplorerSignHasARaisedEdge)
{
    const TRect r(8, 8, 24, 24);
    QImage img = blank();
    paint(img, [&](TqvCanvas &c) { TqvNavBarExplorerBarSignPainter::DrawSign(c, r, kBlue, clWindow, sHotTracked); });
    EXPECT_EQ(at(img, 10, r.top), resolved(cl3DLight));
    EXPECT_EQ(at(img, r.right - 1, 10), resolved(cl3DDkShadow));
}

TEST_F(Painters, AdvExplorerArcRunsFromTheRightDownPastTheBottom)
{
    const TRect r(0, 0, 30, 30);
    auto bluish = [&](QRgb p) { return qBlue(p) > qRed(p) + 40; };
    for (bool gdiOff : {false, true}) {
        SCOPED_TRACE(gdiOff);
        SetGDIPlusForcedOff(gdiOff);
        QImage img = blank(30, 30, 0xFFFFFFFF);
        paint(img, [&](TqvCanvas &c) { TqvNavBarAdvExplorerBarSignPainter::DrawSignBackground(c, r, clNone, clWindow, 0); });
        // Highlight only in the lower-right quarter of the ring (and, with the 100 degree sweep,
        // a little past the bottom), never in the upper half.
        EXPECT_GT(countPixels(img, TRect(15, 15, 30, 30), bluish), 5);
        EXPECT_EQ(countPixels(img, TRect(0, 0, 30, 14), bluish), 0);
        const int pastBottom = countPixels(img, TRect(0, 15, 14, 30), bluish);
        if (gdiOff)
            EXPECT_EQ(pastBottom, 0);
        else
            EXPECT_GT(pastBottom, 0);
        EXPECT_EQ(img.pixel(15, 15), 0xFFFFFFFFu); // filled with the window colour
        EXPECT_EQ(img.pixel(0, 0), 0xFFFFFFFFu);   // outside the circle
    }
}

// ---- drop targets ----------------------------------------------------------------------------

TEST_F(Painters, DropTargetLinkPolygonIsFilledInItsColour)
{
    // An insertion mark: a bar from D to A with ticks up to F/E and B/C (as the bar's painter
    // computes them).
    const TPoint a{4, 20}, b{2, 16}, c{2, 24}, d{35, 20}, e{37, 16}, f{37, 24};
    QImage img = blank();
    paint(img, [&](TqvCanvas &cv) { TqvNavBarDropTargetLinkPainter::DrawTargetLink(cv, a, kRed, b, c, d, e, f); });
    // The two wedges overlap along the bar: the overlap is filled too.
    for (int x = 4; x <= 35; ++x)
        for (int y = 19; y <= 21; ++y)
            ASSERT_EQ(img.pixel(x, y), 0xFFFF0000u) << x << "," << y;
    EXPECT_EQ(img.pixel(36, 20), 0xFFFF0000u);
    EXPECT_EQ(img.pixel(3, 20), 0xFFFF0000u);
    EXPECT_EQ(img.pixel(20, 5), kBackground);
    EXPECT_TRUE(untouchedOutside(img, TRect(2, 16, 38, 25)));
}

TEST_F(Painters, DropTargetGroupNeedsGradients)
{
    const TRect r(5, 5, 35, 25);
    QImage on = blank(), off = blank();
    paint(on, [&](TqvCanvas &c) {
        TqvNavBarDropTargetGroupPainter::DrawTargetGroup(c, r, gmHorizontal, 60, 60, clHighlight, clHighlight);
    });
    SetGDIPlusForcedOff(true);
    paint(off, [&](TqvCanvas &c) {
        TqvNavBarDropTargetGroupPainter::DrawTargetGroup(c, r, gmHorizontal, 60, 60, clHighlight, clHighlight);
    });
    EXPECT_EQ(inkBox(off), TRect());
    EXPECT_EQ(at(on, 20, 5), resolved(clHighlight));
    EXPECT_EQ(at(on, 20, 6), resolved(clHighlight));
    EXPECT_NE(on.pixel(20, 15), kBackground);          // translucent fill
    EXPECT_NE(at(on, 20, 15), resolved(clHighlight)); // not opaque
    EXPECT_TRUE(untouchedOutside(on, r));
}

// ---- XP painters -----------------------------------------------------------------------------

namespace {

struct XPCase {
    const char *name;
    std::function<void(TqvCanvas &, const TRect &, TqvNavBarObjectStates)> xp, base;
    QString themeClass;
    std::function<std::pair<int, int>(TqvNavBarObjectStates)> partState;
};

std::vector<XPCase> xpCases()
{
    auto button = [](const TqvButtonPainterClass &cls) {
        return [&cls](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates s) {
            cls.DrawButton(c, r, s, gmVertical, 255, 255, kFace, RGBColor(90, 120, 200), nullptr);
        };
    };
    auto scroll = [](DrawScrollButtonFn fn) {
        return [fn](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates s) {
            fn(c, r, &TqvNavBarOfficeButtonPainter::Class, s, gmHorizontal, 255, 255, kFace, kFace, nullptr);
        };
    };
    auto sign = [](const TqvSignPainterClass &cls) {
        return [&cls](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates s) { cls.DrawSign(c, r, kBlue, clWindow, s); };
    };
    auto selection = [](const TqvSelectionPainterClass &cls) {
        return [&cls](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates s) { cls.DrawSelection(c, r, s, kFace); };
    };
    auto bySt = [](int pressed, int hot, int active, int normal) {
        return [=](TqvNavBarObjectStates s) -> std::pair<int, int> {
            return {0, (s & sPressed) ? pressed : (s & sHotTracked) ? hot : (s & sActive) ? active : normal};
        };
    };
    return {
        {"selection", selection(TqvNavBarXPSelectionPainter::Class), selection(TqvNavBarSelectionPainter::Class),
         "ToolBar", [](TqvNavBarObjectStates s) { return std::pair{1, (s & (sPressed | sSelected)) ? 3 : (s & sHotTracked) ? 2 : 1}; }},
        {"button", button(TqvNavBarXPButtonPainter::Class), button(TqvNavBarOfficeButtonPainter::Class), "Button",
         [=](TqvNavBarObjectStates s) { return std::pair{1, bySt(3, 2, 5, 1)(s).second}; }},
        {"explorer-bar button", button(TqvNavBarXPExplorerBarButtonPainter::Class),
         button(TqvNavBarExplorerButtonPainter::Class), "ExplorerBar", [](TqvNavBarObjectStates) { return std::pair{8, 0}; }},
        {"explorer-bar sign", sign(TqvNavBarXPExplorerBarSignPainter::Class), sign(TqvNavBarExplorerBarSignPainter::Class),
         "ExplorerBar", [](TqvNavBarObjectStates s) { return std::pair{(s & sExpanded) ? 6 : 7, (s & sPressed) ? 3 : (s & sHotTracked) ? 2 : 1}; }},
        {"bottom scroll button", scroll(TqvNavBarXPScrollButtonsPainter::DrawBottomButton),
         scroll(TqvNavBarScrollButtonsPainter::DrawBottomButton), "ScrollBar",
         [](TqvNavBarObjectStates s) { return std::pair{1, (s & sPressed) ? 7 : (s & sHotTracked) ? 6 : 5}; }},
        {"top scroll button", scroll(TqvNavBarXPScrollButtonsPainter::DrawTopButton),
         scroll(TqvNavBarScrollButtonsPainter::DrawTopButton), "ScrollBar",
         [](TqvNavBarObjectStates s) { return std::pair{1, (s & sPressed) ? 3 : (s & sHotTracked) ? 2 : 1}; }},
    };
}

const TqvNavBarObjectStates kXPStates[] = {0, sActive, sHotTracked, sPressed, sSelected, sExpanded, sHidden};

} // namespace

TEST_F(Painters, XPPaintersEqualTheirBaseWithoutVisualStyles)
{
    const TRect r(3, 5, 35, 27);
    for (const XPCase &xc : xpCases()) {
        for (TqvNavBarObjectStates s : kXPStates) {
            SCOPED_TRACE(testing::Message() << xc.name << " state " << int(s));
            QImage a = blank(), b = blank();
            paint(a, [&](TqvCanvas &c) {
                xc.xp(c, r, s);
                c.fillRect(TRect(0, 0, 40, 40), kRed); // the clipping left behind matches too
            });
            paint(b, [&](TqvCanvas &c) {
                xc.base(c, r, s);
                c.fillRect(TRect(0, 0, 40, 40), kRed);
            });
            EXPECT_TRUE(a == b);
        }
    }
}

TEST_F(Painters, XPPaintersDrawTheRecordedPartWithVisualStyles)
{
    auto backend = std::make_unique<RecordingThemeBackend>(
        std::vector<QString>{"ToolBar", "Button", "ExplorerBar", "ScrollBar"});
    RecordingThemeBackend *rec = backend.get();
    InitThemeLibrary(std::move(backend));
    const TRect r(3, 5, 35, 27);
    for (const XPCase &xc : xpCases()) {
        for (TqvNavBarObjectStates s : kXPStates) {
            SCOPED_TRACE(testing::Message() << xc.name << " state " << int(s));
            rec->clearCalls();
            QImage img = blank();
            paint(img, [&](TqvCanvas &c) { xc.xp(c, r, s); });
            ASSERT_FALSE(rec->calls().empty());
            const auto &call = rec->calls().back();
            const auto [part, state] = xc.partState(s);
            EXPECT_EQ(call.kind, RecordingThemeBackend::Call::Draw);
            EXPECT_EQ(call.className, xc.themeClass);
            EXPECT_EQ(call.part, part);
            EXPECT_EQ(call.state, state);
            EXPECT_EQ(call.rect, r);
            EXPECT_EQ(img.pixel(19, 16), RecordingThemeBackend::partColor(xc.themeClass, part, state).rgb());
            EXPECT_TRUE(untouchedOutside(img, r));
        }
    }
}

// ---- tiny rectangles -------------------------------------------------------------------------

TEST_F(Painters, TinyRectanglesStayInside)
{
    TqvPicture picture;
    picture.setImage(tilePattern());
    TqvStyleFont font;
    TqvImageList list(16, 16);
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::green);
    list.add(icon);
    const std::vector<std::pair<const char *, std::function<void(TqvCanvas &, const TRect &, TqvNavBarObjectStates)>>> all = {
        {"background", [&](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates) {
             TqvNavBarBackgroundPainter::DrawBackground(c, r, nullptr, gmForwardDiagonal, 200, 255, kRed, kBlue, true);
             TqvNavBarBackgroundPainter::DrawBackground(c, r, &picture, gmHorizontal, 0, 255, kRed, kBlue, true);
         }},
        {"selection", [](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates s) {
             TqvNavBarSelectionPainter::DrawSelection(c, r, s, kFace);
             TqvNavBarVSToolBoxSelectionPainter::DrawSelection(c, r, s, kFace);
             TqvNavBarUltraFlatSelectionPainter::DrawSelection(c, r, s, kFace);
         }},
        {"buttons", [](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates s) {
             for (const TqvButtonPainterClass *cls :
                  {&TqvNavBarButtonPainter::Class, &TqvNavBarFlatButtonPainter::Class, &TqvNavBarOfficeButtonPainter::Class,
                   &TqvNavBarVSToolBoxButtonPainter::Class, &TqvNavBarExplorerButtonPainter::Class,
                   &TqvNavBarAdvExplorerButtonPainter::Class, &TqvNavBarXPButtonPainter::Class})
                 cls->DrawButton(c, r, s, gmVertical, 255, 128, kFace, kBlue, nullptr);
         }},
        {"signs", [](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates s) {
             TqvNavBarExplorerBarSignPainter::DrawSign(c, r, kBlue, clWindow, s);
             TqvNavBarAdvExplorerBarSignPainter::DrawSign(c, r, kBlue, clWindow, s);
         }},
        {"hint", [&](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates) {
             TqvNavBarHintPainter::DrawHint(c, r, font, gmHorizontal, 255, 255, clInfoBk, clInfoBk, nullptr,
                                            QStringLiteral("Hint text"));
         }},
        {"scroll buttons", [](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates s) {
             TqvCanvas::ClipSaver keep(c);
             TqvNavBarScrollButtonsPainter::DrawBottomButton(c, r, &TqvNavBarButtonPainter::Class, s, gmHorizontal, 255,
                                                             255, kFace, kFace, nullptr);
             TqvNavBarScrollButtonsPainter::DrawTopButton(c, r, &TqvNavBarButtonPainter::Class, s, gmHorizontal, 255,
                                                          255, kFace, kFace, nullptr);
         }},
        {"group drop target", [](TqvCanvas &c, const TRect &r, TqvNavBarObjectStates) {
             TqvNavBarDropTargetGroupPainter::DrawTargetGroup(c, r, gmHorizontal, 60, 60, clHighlight, clHighlight);
         }},
    };
    for (int size : {0, 1, 3}) {
        const TRect r = TRect::fromSize(10, 12, size, size);
        for (const auto &[name, draw] : all) {
            for (TqvNavBarObjectStates s : {TqvNavBarObjectStates(0), TqvNavBarObjectStates(sPressed | sActive),
                                            TqvNavBarObjectStates(sHotTracked | sExpanded | sHidden)}) {
                SCOPED_TRACE(testing::Message() << name << " size " << size << " state " << int(s));
                QImage img = blank();
                paint(img, [&](TqvCanvas &c) { draw(c, r, s); });
                EXPECT_TRUE(untouchedOutside(img, r));
            }
        }
    }
}

TEST_F(Painters, AClassTheThemeLacksFallsBackToTheBase)
{
    InitThemeLibrary(std::make_unique<RecordingThemeBackend>(std::vector<QString>{"Button"}));
    ASSERT_TRUE(AreVisualStylesAvailable());
    const TRect r(5, 5, 25, 21);
    QImage xp = blank(), base = blank();
    paint(xp, [&](TqvCanvas &c) { TqvNavBarXPSelectionPainter::DrawSelection(c, r, sHotTracked, kFace); });
    paint(base, [&](TqvCanvas &c) { TqvNavBarSelectionPainter::DrawSelection(c, r, sHotTracked, kFace); });
    EXPECT_TRUE(xp == base);
}
