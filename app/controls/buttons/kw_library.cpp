#include "controls/buttons/kw_library.h"

#include <QGuiApplication>

namespace controls {

void ReplaceBitmapColors(QImage &image, TColor nonBlack, TColor black, const QPalette &palette)
{
    if (image.isNull())
        return;
    image = image.convertToFormat(QImage::Format_RGB32);
    const QRgb light = toQColor(nonBlack, palette).rgb();
    const QRgb dark = toQColor(black, palette).rgb();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = (line[x] & 0x00FFFFFFu) == 0 ? dark : light;
    }
}

void ReplaceBitmapColors(QImage &image, TColor nonBlack, TColor black)
{
    ReplaceBitmapColors(image, nonBlack, black, QGuiApplication::palette());
}

int DrawDisabledText(TqvCanvas &canvas, const QString &text, TRect &r, uint32_t flags)
{
    const TqvCanvas::BrushStyle brush = canvas.brushStyle();
    const TColor color = canvas.fontColor();
    const QFont font = canvas.font();
    int height = 0;
    if (flags & DT_CALCRECT) {
        height = canvas.drawText(text, r, flags);
    } else {
        canvas.setBrushStyle(TqvCanvas::BrushStyle::Clear);
        TRect shifted = r.offset(1, 1);
        canvas.setFont(font, clBtnHighlight);
        canvas.drawText(text, shifted, flags);
        canvas.setFont(font, clBtnShadow);
        height = canvas.drawText(text, r, flags);
    }
    r.right += 1;
    r.bottom += 1;
    canvas.setBrushStyle(brush);
    canvas.setFont(font, color);
    return height;
}

} // namespace controls
