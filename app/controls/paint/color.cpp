#include "controls/paint/color.h"

#include "controls/paint/types.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <algorithm>

namespace controls {

namespace {

struct SystemColorEntry {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// One row per system colour index. Where Qt has no role of its own the nearest look was chosen
// (see the README's design notes): captions follow the highlight, work space and desktop the
// dark shade, borders and scroll bars the button face.
constexpr SystemColorEntry kSystemColors[SystemColorCount] = {
    {QPalette::Active, QPalette::Button},          // 0 clScrollBar
    {QPalette::Active, QPalette::Dark},            // 1 clBackground
    {QPalette::Active, QPalette::Highlight},       // 2 clActiveCaption
    {QPalette::Active, QPalette::Mid},             // 3 clInactiveCaption
    {QPalette::Active, QPalette::Window},          // 4 clMenu
    {QPalette::Active, QPalette::Base},            // 5 clWindow
    {QPalette::Active, QPalette::Shadow},          // 6 clWindowFrame
    {QPalette::Active, QPalette::WindowText},      // 7 clMenuText
    {QPalette::Active, QPalette::Text},            // 8 clWindowText
    {QPalette::Active, QPalette::HighlightedText}, // 9 clCaptionText
    {QPalette::Active, QPalette::Button},          // 10 clActiveBorder
    {QPalette::Active, QPalette::Button},          // 11 clInactiveBorder
    {QPalette::Active, QPalette::Dark},            // 12 clAppWorkSpace
    {QPalette::Active, QPalette::Highlight},       // 13 clHighlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 clHighlightText
    {QPalette::Active, QPalette::Button},          // 15 clBtnFace
    {QPalette::Active, QPalette::Dark},            // 16 clBtnShadow
    {QPalette::Disabled, QPalette::Text},          // 17 clGrayText
    {QPalette::Active, QPalette::ButtonText},      // 18 clBtnText
    {QPalette::Active, QPalette::Midlight},        // 19 clInactiveCaptionText
    {QPalette::Active, QPalette::Light},           // 20 clBtnHighlight
    {QPalette::Active, QPalette::Shadow},          // 21 cl3DDkShadow
    {QPalette::Active, QPalette::Midlight},        // 22 cl3DLight
    {QPalette::Active, QPalette::ToolTipText},     // 23 clInfoText
    {QPalette::Active, QPalette::ToolTipBase},     // 24 clInfoBk
};

int clampByte(int v) { return std::clamp(v, 0, 255); }

// x * percent / 100 rounded half up (x and percent not negative here).
int percentOf(int x, int percent) { return (x * percent + 50) / 100; }

} // namespace

bool systemColorRole(int index, QPalette::ColorGroup *group, QPalette::ColorRole *role)
{
    if (index < 0 || index >= SystemColorCount)
        return false;
    *group = kSystemColors[index].group;
    *role = kSystemColors[index].role;
    return true;
}

TColor ColorToRGB(TColor c, const QPalette &palette)
{
    if (!isSystemColor(c))
        return c;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    // A damaged layout file may carry any index: it resolves to black, never past the table.
    if (!systemColorRole(int(c & 0x7FFFFFFFu), &group, &role))
        return clBlack;
    return fromQColor(palette.color(group, role));
}

TColor ColorToRGB(TColor c) { return ColorToRGB(c, QGuiApplication::palette()); }

QColor toQColor(TColor c, const QPalette &palette, int alpha)
{
    if (isNoColor(c))
        return QColor();
    const TColor rgb = ColorToRGB(c, palette);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb), clampByte(alpha));
}

QColor toQColor(TColor c, int alpha) { return toQColor(c, QGuiApplication::palette(), alpha); }

TColor fromQColor(const QColor &c) { return RGBColor(c.red(), c.green(), c.blue()); }

TColor DarkColor(TColor c, int percent)
{
    const TColor rgb = ColorToRGB(c);
    const int p = std::max(percent, 0);
    return RGBColor(clampByte(percentOf(GetRValue(rgb), p)), clampByte(percentOf(GetGValue(rgb), p)),
                    clampByte(percentOf(GetBValue(rgb), p)));
}

TColor LightColor(TColor c, int percent)
{
    const TColor rgb = ColorToRGB(c);
    const int p = std::clamp(percent, 0, 100);
    const int white = percentOf(255, 100 - p);
    // 255 at 70 % is 179 + 77 = 256: without the clamp it would carry into the next byte.
    return RGBColor(clampByte(percentOf(GetRValue(rgb), p) + white),
                    clampByte(percentOf(GetGValue(rgb), p) + white),
                    clampByte(percentOf(GetBValue(rgb), p) + white));
}

TColor NearestColor(TColor c) { return ColorToRGB(c); }

TColor SystemColorMix(int facePercent, int highlightPercent, int windowPercent)
{
    const TColor face = ColorToRGB(clBtnFace);
    const TColor highlight = ColorToRGB(clHighlight);
    if (face == clBlack || face == clWhite)
        return highlight;
    const TColor window = ColorToRGB(clWindow);
    auto mix = [&](int f, int h, int w) {
        return clampByte((f * facePercent + h * highlightPercent + w * windowPercent) / 100);
    };
    return RGBColor(mix(GetRValue(face), GetRValue(highlight), GetRValue(window)),
                    mix(GetGValue(face), GetGValue(highlight), GetGValue(window)),
                    mix(GetBValue(face), GetBValue(highlight), GetBValue(window)));
}

TColor UltraFlatPressedColor() { return NearestColor(SystemColorMix(14, 44, 40)); }
TColor UltraFlatSelectedColor() { return NearestColor(SystemColorMix(-2, 30, 72)); }

TColor StateColor(TColor c, uint8_t state)
{
    if (c == clNone) {
        const TColor h = ColorToRGB(clHighlight);
        // Clamped at 0: a dark highlight must not turn light by taking absolute values.
        c = RGBColor(clampByte(GetRValue(h) - 10), clampByte(GetGValue(h) - 15), clampByte(GetBValue(h) - 15));
    }
    if (state & sDisabled)
        return LightColor(c, 40);
    if (state & (sHotTracked | sPressed | sSelected))
        return LightColor(c, 80);
    return ColorToRGB(c);
}

int TextHeight(const QFont &font) { return QFontMetrics(font).height(); }

} // namespace controls
