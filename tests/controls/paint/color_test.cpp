// Colours, colour operations, ARGB conversion, rectangles and text flags.
#include "controls/paint/gdiplus.h"
#include "controls/paint/graphic.h"
#include "paint_util.h"

#include <QApplication>
#include <QFontMetrics>
#include <gtest/gtest.h>

using namespace controls;
using namespace painttest;

namespace {

// A palette whose every role (and the disabled text) has its own colour, so a wrong row shows.
QPalette distinctPalette()
{
    QPalette p;
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        p.setColor(QPalette::Active, QPalette::ColorRole(role), QColor(role * 9 + 3, 200 - role * 5, 17));
        p.setColor(QPalette::Inactive, QPalette::ColorRole(role), QColor(1, 2, 3));
        p.setColor(QPalette::Disabled, QPalette::ColorRole(role), QColor(4, 5, 6));
    }
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(250, 1, 250));
    return p;
}

struct SystemColorRow {
    const char *name;
    TColor color;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

const SystemColorRow kSystemRows[] = {
    {"ScrollBar", clScrollBar, QPalette::Active, QPalette::Button},
    {"Background", clBackground, QPalette::Active, QPalette::Dark},
    {"ActiveCaption", clActiveCaption, QPalette::Active, QPalette::Highlight},
    {"InactiveCaption", clInactiveCaption, QPalette::Active, QPalette::Mid},
    {"Menu", clMenu, QPalette::Active, QPalette::Window},
    {"Window", clWindow, QPalette::Active, QPalette::Base},
    {"WindowFrame", clWindowFrame, QPalette::Active, QPalette::Shadow},
    {"MenuText", clMenuText, QPalette::Active, QPalette::WindowText},
    {"WindowText", clWindowText, QPalette::Active, QPalette::Text},
    {"CaptionText", clCaptionText, QPalette::Active, QPalette::HighlightedText},
    {"ActiveBorder", clActiveBorder, QPalette::Active, QPalette::Button},
    {"InactiveBorder", clInactiveBorder, QPalette::Active, QPalette::Button},
    {"AppWorkSpace", clAppWorkSpace, QPalette::Active, QPalette::Dark},
    {"Highlight", clHighlight, QPalette::Active, QPalette::Highlight},
    {"HighlightText", clHighlightText, QPalette::Active, QPalette::HighlightedText},
    {"BtnFace", clBtnFace, QPalette::Active, QPalette::Button},
    {"BtnShadow", clBtnShadow, QPalette::Active, QPalette::Dark},
    {"GrayText", clGrayText, QPalette::Disabled, QPalette::Text},
    {"BtnText", clBtnText, QPalette::Active, QPalette::ButtonText},
    {"InactiveCaptionText", clInactiveCaptionText, QPalette::Active, QPalette::Midlight},
    {"BtnHighlight", clBtnHighlight, QPalette::Active, QPalette::Light},
    {"3DDkShadow", cl3DDkShadow, QPalette::Active, QPalette::Shadow},
    {"3DLight", cl3DLight, QPalette::Active, QPalette::Midlight},
    {"InfoText", clInfoText, QPalette::Active, QPalette::ToolTipText},
    {"InfoBk", clInfoBk, QPalette::Active, QPalette::ToolTipBase},
};

} // namespace

TEST(SystemColors, EachIndexResolvesToItsRole)
{
    static_assert(std::size(kSystemRows) == SystemColorCount);
    const QPalette pal = distinctPalette();
    for (size_t i = 0; i < std::size(kSystemRows); ++i) {
        const SystemColorRow &row = kSystemRows[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.color, 0x80000000u | i);
        EXPECT_EQ(ColorToRGB(row.color, pal), fromQColor(pal.color(row.group, row.role)));
    }
}

TEST(SystemColors, FusionShadesThatTheProbesRelyOn)
{
    EXPECT_EQ(ColorToRGB(clBtnFace), RGBColor(0xEF, 0xEF, 0xEF));
    EXPECT_EQ(ColorToRGB(clHighlight), RGBColor(0x30, 0x8C, 0xC6));
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clGrayText), RGBColor(0xBE, 0xBE, 0xBE));
    EXPECT_EQ(ColorToRGB(clInfoBk), RGBColor(0xFF, 0xFF, 0xDC));
}

TEST(SystemColors, OutOfTableNoneAndOrdinary)
{
    // A damaged layout file: an index past the table is black, never a read past it.
    EXPECT_EQ(ColorToRGB(0x80000019u), clBlack);
    EXPECT_EQ(ColorToRGB(0x800000FFu), clBlack);
    EXPECT_EQ(ColorToRGB(0xFFFFFFFFu), clBlack);
    EXPECT_EQ(ColorToRGB(RGBColor(1, 2, 3)), RGBColor(1, 2, 3));
    EXPECT_EQ(ColorToRGB(clNone), clNone);
    EXPECT_FALSE(toQColor(clNone).isValid());
    EXPECT_FALSE(toQColor(clDefault).isValid());
    EXPECT_EQ(toQColor(RGBColor(1, 2, 3), 77), QColor(1, 2, 3, 77));
}

struct ShadeRow {
    int byte;
    int percent;
    int dark;
    int light;
};

// Rounded half up; 255 at 70 % is 179 + 77 = 256 before the clamp.
const ShadeRow kShades[] = {
    {0, 20, 0, 204},     {0, 40, 0, 153},     {0, 70, 0, 77},      {0, 80, 0, 51},
    {128, 20, 26, 230},  {128, 40, 51, 204},  {128, 70, 90, 167},  {128, 80, 102, 153},
    {255, 20, 51, 255},  {255, 40, 102, 255}, {255, 70, 179, 255}, {255, 80, 204, 255},
};

TEST(ColorOperations, DarkAndLightPerByte)
{
    for (const ShadeRow &row : kShades) {
        SCOPED_TRACE(testing::Message() << row.byte << " at " << row.percent << "%");
        const TColor grey = RGBColor(row.byte, row.byte, row.byte);
        EXPECT_EQ(DarkColor(grey, row.percent), RGBColor(row.dark, row.dark, row.dark));
        EXPECT_EQ(LightColor(grey, row.percent), RGBColor(row.light, row.light, row.light));
        // Each byte on its own: no carry into its neighbour.
        EXPECT_EQ(LightColor(RGBColor(row.byte, 0, 0), row.percent) & 0xFFFF00u,
                  LightColor(RGBColor(0, 0, 0), row.percent) & 0xFFFF00u);
    }
    EXPECT_EQ(LightColor(clWhite, 70), clWhite);
    EXPECT_EQ(LightColor(RGBColor(255, 0, 128), 70), RGBColor(255, 77, 167));
}

TEST(ColorOperations, SystemColoursAreResolvedFirst)
{
    EXPECT_EQ(DarkColor(clHighlight, 40), DarkColor(RGBColor(0x30, 0x8C, 0xC6), 40));
    EXPECT_EQ(LightColor(clBtnFace, 20), LightColor(RGBColor(0xEF, 0xEF, 0xEF), 20));
    EXPECT_EQ(NearestColor(clBtnFace), RGBColor(0xEF, 0xEF, 0xEF));
}

TEST(ColorOperations, StateColor)
{
    const TColor darkerHighlight = RGBColor(0x30 - 10, 0x8C - 15, 0xC6 - 15);
    EXPECT_EQ(StateColor(clNone, 0), darkerHighlight);
    EXPECT_EQ(StateColor(clNone, sDisabled), LightColor(darkerHighlight, 40));
    EXPECT_EQ(StateColor(clNone, sHotTracked), LightColor(darkerHighlight, 80));
    EXPECT_EQ(StateColor(clBtnText, sPressed), LightColor(clBlack, 80));
    EXPECT_EQ(StateColor(clBtnText, sSelected), LightColor(clBlack, 80));
    EXPECT_EQ(StateColor(clWindow, 0), clWhite);
}

TEST(ColorOperations, StateColorOfADarkHighlightClampsAtZero)
{
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Highlight, QColor(5, 20, 9));
    QApplication::setPalette(dark);
    const TColor c = StateColor(clNone, 0);
    QApplication::setPalette(saved);
    EXPECT_EQ(c, RGBColor(0, 5, 0));
}

TEST(ColorOperations, SystemColourMixes)
{
    // Fusion: face EF, highlight 30 8C C6, window FF.
    EXPECT_EQ(SystemColorMix(14, 44, 40),
              RGBColor((0xEF * 14 + 0x30 * 44 + 0xFF * 40) / 100, (0xEF * 14 + 0x8C * 44 + 0xFF * 40) / 100,
                       (0xEF * 14 + 0xC6 * 44 + 0xFF * 40) / 100));
    EXPECT_EQ(SystemColorMix(-2, 30, 72),
              RGBColor((-0xEF * 2 + 0x30 * 30 + 0xFF * 72) / 100, (-0xEF * 2 + 0x8C * 30 + 0xFF * 72) / 100,
                       (-0xEF * 2 + 0xC6 * 30 + 0xFF * 72) / 100));
    const QPalette saved = QApplication::palette();
    QPalette white = saved;
    white.setColor(QPalette::Button, Qt::white);
    QApplication::setPalette(white);
    const TColor c = SystemColorMix(14, 44, 40);
    QApplication::setPalette(saved);
    EXPECT_EQ(c, RGBColor(0x30, 0x8C, 0xC6));
}

TEST(Argb, MakeColorAndColorRefToARGB)
{
    EXPECT_EQ(MakeColor(1, 2, 3, 4), 0x01020304u);
    // An ordinary colour keeps red in its low byte; ARGB wants it in bits 16-23.
    EXPECT_EQ(ColorRefToARGB(RGBColor(0x11, 0x22, 0x33)), 0xFF112233u);
    EXPECT_EQ(ColorRefToARGB(RGBColor(0x11, 0x22, 0x33), 90), 0x5A112233u);
    // A system colour is resolved, not taken byte by byte (0x8000000F would be near-black).
    EXPECT_EQ(ColorRefToARGB(clHighlight), 0xFF308CC6u);
    EXPECT_EQ(ColorRefToARGB(clBtnFace, 0), 0x00EFEFEFu);
    EXPECT_EQ(argbToQColor(0x80112233u), QColor(0x11, 0x22, 0x33, 0x80));
}

TEST(Rect, ExclusiveEdgesEmptyAndInverted)
{
    const TRect r(0, 0, 3, 2);
    EXPECT_EQ(r.width(), 3);
    EXPECT_EQ(r.height(), 2);
    EXPECT_TRUE(r.contains(2, 1));
    EXPECT_FALSE(r.contains(3, 1));
    EXPECT_FALSE(r.contains(2, 2));
    EXPECT_EQ(r.toQRect(), QRect(0, 0, 3, 2));
    EXPECT_EQ(r.toQRect().right(), 2);
    EXPECT_EQ(TRect::fromQRect(QRect(4, 5, 6, 7)), TRect(4, 5, 10, 12));

    const TRect empty(5, 5, 5, 9);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.contains(5, 5));
    const TRect inverted(5, 5, 2, 9);
    EXPECT_TRUE(inverted.isEmpty());
    EXPECT_EQ(inverted.width(), -3);
    EXPECT_TRUE(inverted.toQRect().isEmpty());

    EXPECT_EQ(r.inflated(-1, -1), TRect(1, 1, 2, 1));
    EXPECT_EQ(r.offset(2, 3), TRect(2, 3, 5, 5));
    EXPECT_EQ(TRect(0, 0, 10, 10).intersected(TRect(5, 5, 20, 20)), TRect(5, 5, 10, 10));
    EXPECT_EQ(TRect(0, 0, 10, 10).intersected(TRect(10, 0, 20, 20)), TRect());

    // Fills cover exactly the rectangle's pixels; empty and inverted ones nothing.
    QImage img = blank(12, 12);
    paint(img, [](TqvCanvas &c) {
        c.fillRect(TRect(2, 3, 5, 4), clBlack);
        c.fillRect(TRect(8, 8, 6, 10), clBlack);
        c.fillRect(TRect(8, 8, 8, 10), clBlack);
    });
    EXPECT_EQ(inkBox(img), TRect(2, 3, 5, 4));
}

TEST(Canvas, NoColourDrawsNothing)
{
    QImage img = blank(20, 20);
    paint(img, [](TqvCanvas &c) {
        c.fillRect(TRect(0, 0, 20, 20), clNone);
        c.frameRect(TRect(0, 0, 20, 20), clNone);
        c.setPen(clNone);
        c.line(TPoint{0, 0}, TPoint{19, 19});
        c.setBrush(clNone);
        c.polygon({{0, 0}, {19, 0}, {0, 19}});
        c.setFont(QFont(), clNone);
        TRect r(0, 0, 20, 20);
        c.drawText(QStringLiteral("Xy"), r, DT_SINGLELINE);
    });
    EXPECT_EQ(inkBox(img), TRect());
}

TEST(Canvas, LinesLeaveTheirEndPointOut)
{
    QImage img = blank(10, 10);
    paint(img, [](TqvCanvas &c) {
        c.setPen(clBlack);
        c.moveTo(1, 1);
        c.lineTo(5, 1);
        c.line(TPoint{1, 3}, TPoint{4, 6});
    });
    EXPECT_EQ(at(img, 4, 1), clBlack);
    EXPECT_NE(img.pixel(5, 1), 0xFF000000u);
    EXPECT_EQ(at(img, 3, 5), clBlack);
    EXPECT_NE(img.pixel(4, 6), 0xFF000000u);
}

TEST(Canvas, ClipExclusionSaveAndRestore)
{
    QImage img = blank(20, 20);
    paint(img, [](TqvCanvas &c) {
        c.excludeClipRect(TRect(0, 0, 5, 5));
        {
            TqvCanvas::ClipSaver saver(c);
            c.excludeClipRect(TRect(10, 10, 15, 15));
            c.fillRect(TRect(0, 0, 20, 20), clBlack);
        }
        c.fillRect(TRect(10, 10, 20, 20), clWhite); // the inner exclusion is gone again
    });
    EXPECT_EQ(at(img, 2, 2), fromQColor(QColor(kBackground)));
    EXPECT_EQ(at(img, 12, 12), clWhite);
    EXPECT_EQ(at(img, 7, 7), clBlack);
}

// ---- text flags ------------------------------------------------------------------------------

namespace {

QFont testFont()
{
    TqvStyleFont f;
    return f.font();
}

} // namespace

TEST(TextFlags, MeasureSingleLineAndPrefix)
{
    QImage img = blank(200, 60);
    QPainter p(&img);
    const QFont font = testFont();
    const QFontMetrics fm(font);

    TRect r(10, 5, 20, 6);
    const int h = DrawText(p, font, Qt::black, QStringLiteral("Messages"), r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(h, fm.height());
    EXPECT_EQ(r, TRect(10, 5, 10 + fm.horizontalAdvance(QStringLiteral("Messages")), 5 + fm.height()));

    // "&" marks the mnemonic unless 0x800 turns prefixes off.
    TRect withPrefix(0, 0, 100, 20), noPrefix(0, 0, 100, 20);
    DrawText(p, font, Qt::black, QStringLiteral("&File"), withPrefix, DT_CALCRECT | DT_SINGLELINE);
    DrawText(p, font, Qt::black, QStringLiteral("&File"), noPrefix, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_NEAR(withPrefix.width(), fm.horizontalAdvance(QStringLiteral("File")), 1);
    EXPECT_NEAR(noPrefix.width(), fm.horizontalAdvance(QStringLiteral("&File")), 1);
    EXPECT_LT(withPrefix.width(), noPrefix.width());

    TRect empty(3, 4, 50, 50);
    EXPECT_EQ(DrawText(p, font, Qt::black, QString(), empty, DT_CALCRECT), 0);
    EXPECT_EQ(empty, TRect(3, 4, 3, 4));
}

TEST(TextFlags, WordBreakMeasuresLinesWithinTheWidth)
{
    QImage img = blank(200, 100);
    QPainter p(&img);
    const QFont font = testFont();
    const QFontMetrics fm(font);
    TRect r(0, 0, fm.horizontalAdvance(QStringLiteral("three")) + 2, 0);
    const int h = DrawText(p, font, Qt::black, QStringLiteral("one two three"), r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GE(h, 2 * fm.height());
    EXPECT_EQ(r.bottom, h);
    EXPECT_LE(r.width(), fm.horizontalAdvance(QStringLiteral("three")) + 2);
}

struct AlignRow {
    const char *name;
    uint32_t flags;
    int expectLeftThird;   // -1 left, 0 middle, 1 right
    int expectVertical;    // -1 top, 0 middle, 1 bottom
};

const AlignRow kAlignRows[] = {
    {"left top", DT_SINGLELINE, -1, -1},
    {"centre middle", DT_SINGLELINE | DT_CENTER | DT_VCENTER, 0, 0},
    {"right bottom", DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, 1, 1},
    {"multi-line ignores vertical centring", DT_CENTER | DT_VCENTER, 0, -1},
};

TEST(TextFlags, AlignmentAndClipping)
{
    for (const AlignRow &row : kAlignRows) {
        SCOPED_TRACE(row.name);
        QImage img = blank(120, 60);
        const TRect box(10, 5, 110, 55);
        {
            QPainter p(&img);
            TRect r = box;
            DrawText(p, testFont(), Qt::black, QStringLiteral("Hi"), r, row.flags);
        }
        const TRect ink = inkBox(img);
        ASSERT_FALSE(ink.isEmpty());
        EXPECT_TRUE(untouchedOutside(img, box));
        const int cx = (ink.left + ink.right) / 2, cy = (ink.top + ink.bottom) / 2;
        const int third = cx < box.left + box.width() / 3 ? -1 : cx >= box.right - box.width() / 3 ? 1 : 0;
        const int vthird = cy < box.top + box.height() / 3 ? -1 : cy >= box.bottom - box.height() / 3 ? 1 : 0;
        EXPECT_EQ(third, row.expectLeftThird);
        EXPECT_EQ(vthird, row.expectVertical);
    }
}

TEST(TextFlags, EndEllipsisAndClipToTheRectangle)
{
    QImage img = blank(120, 30);
    const TRect box(5, 5, 45, 25);
    QPainter p(&img);
    const QString text = QStringLiteral("A rather long group caption");
    TRect measured = box;
    DrawText(p, testFont(), Qt::black, text, measured, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_LE(measured.width(), box.width());
    TRect r = box;
    DrawText(p, testFont(), Qt::black, text, r, DT_SINGLELINE | DT_END_ELLIPSIS);
    TRect r2(5, 25, 45, 30);
    DrawText(p, testFont(), Qt::black, text, r2, DT_SINGLELINE); // cut at the edge, not beyond
    p.end();
    EXPECT_TRUE(untouchedOutside(img, TRect(5, 5, 45, 30)));
}
