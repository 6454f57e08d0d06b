// The family's bitmap recolouring and embossed text.
#include "button_util.h"
#include "controls/buttons/kw_library.h"

#include <QPainter>

using namespace controls;
using namespace buttontest;

TEST(KwLibrary, ReplaceBitmapColors)
{
    QImage img(3, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(0, 0, 0, 255));
    img.setPixel(1, 0, qRgba(1, 0, 0, 255)); // almost black is not black
    img.setPixel(2, 0, qRgba(255, 255, 255, 255));
    ReplaceBitmapColors(img, clBtnFace, RGBColor(10, 20, 30));
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    EXPECT_EQ(img.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(img.pixel(1, 0), sys(clBtnFace));
    EXPECT_EQ(img.pixel(2, 0), sys(clBtnFace));
    QImage none;
    ReplaceBitmapColors(none, clBtnFace, clBtnText);
    EXPECT_TRUE(none.isNull());
}

TEST(KwLibrary, DrawDisabledTextIsEmbossed)
{
    QImage plain(60, 30, QImage::Format_RGB32), embossed(60, 30, QImage::Format_RGB32);
    plain.fill(Qt::white);
    embossed.fill(Qt::white);
    QFont font;
    font.setPixelSize(14);
    font.setStyleStrategy(QFont::NoAntialias);
    const TRect area(5, 5, 50, 25);
    const uint32_t flags = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    {
        QPainter p(&plain);
        TqvCanvas c(p);
        c.setFont(font, RGBColor(1, 2, 3));
        TRect r = area;
        c.drawText(QStringLiteral("Wq"), r, flags);
    }
    TRect r = area;
    {
        QPainter p(&embossed);
        TqvCanvas c(p);
        c.setFont(font, RGBColor(1, 2, 3));
        c.setBrushStyle(TqvCanvas::BrushStyle::Solid);
        DrawDisabledText(c, QStringLiteral("Wq"), r, flags);
        EXPECT_EQ(c.fontColor(), RGBColor(1, 2, 3));
        EXPECT_EQ(c.brushStyle(), TqvCanvas::BrushStyle::Solid);
    }
    EXPECT_EQ(r, TRect(5, 5, 51, 26));
    const QRgb ink = qRgb(1, 2, 3), shadow = sys(clBtnShadow), light = sys(clBtnHighlight);
    int inked = 0;
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 59; ++x) {
            const bool here = plain.pixel(x, y) == ink;
            const bool upLeft = x > 0 && y > 0 && plain.pixel(x - 1, y - 1) == ink;
            const QRgb expected = here ? shadow : upLeft ? light : qRgb(255, 255, 255);
            ASSERT_EQ(embossed.pixel(x, y), expected) << x << "," << y;
            inked += here;
        }
    EXPECT_GT(inked, 20);

    // Measuring draws nothing and grows the measured extent by one.
    QImage blank(60, 30, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QPainter p(&blank);
    TqvCanvas c(p);
    c.setFont(font, clBtnText);
    TRect m(0, 0, 0, 0);
    const int h = DrawDisabledText(c, QStringLiteral("Wq"), m, DT_SINGLELINE | DT_CALCRECT);
    TRect plainMeasure(0, 0, 0, 0);
    c.drawText(QStringLiteral("Wq"), plainMeasure, DT_SINGLELINE | DT_CALCRECT);
    p.end();
    EXPECT_EQ(h, plainMeasure.height());
    EXPECT_EQ(m, TRect(0, 0, plainMeasure.right + 1, plainMeasure.bottom + 1));
    EXPECT_EQ(count(blank, qRgb(255, 255, 255)), 60 * 30);
}
