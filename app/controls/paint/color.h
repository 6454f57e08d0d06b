// Colours of the control families.
//
// A `TColor` is the 32-bit value that layout files store and the styles hold:
//   0x00BBGGRR          an ordinary colour (red in the low byte);
//   0x80000000 | index  a system colour, index 0 (`clScrollBar`) .. 24 (`clInfoBk`), resolved
//                       against a `QPalette` when it is drawn or computed with;
//   `clNone`            no colour: a fill, frame, line or text in it draws nothing;
//   `clDefault`         "the default colour" (image lists only).
// System colours resolve through one table (systemColorRole); a damaged value whose index lies
// outside it resolves to black. Every colour operation resolves first and answers an ordinary colour.
//
// Runs on the user-interface thread; the default palette is the application's.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <cstdint>

namespace controls {

using TColor = uint32_t;

// System colours, by index (the low bits of 0x80000000 | index).
enum : TColor {
    clScrollBar = 0x80000000u,
    clBackground = 0x80000001u,
    clActiveCaption = 0x80000002u,
    clInactiveCaption = 0x80000003u,
    clMenu = 0x80000004u,
    clWindow = 0x80000005u,
    clWindowFrame = 0x80000006u,
    clMenuText = 0x80000007u,
    clWindowText = 0x80000008u,
    clCaptionText = 0x80000009u,
    clActiveBorder = 0x8000000Au,
    clInactiveBorder = 0x8000000Bu,
    clAppWorkSpace = 0x8000000Cu,
    clHighlight = 0x8000000Du,
    clHighlightText = 0x8000000Eu,
    clBtnFace = 0x8000000Fu,
    clBtnShadow = 0x80000010u,
    clGrayText = 0x80000011u,
    clBtnText = 0x80000012u,
    clInactiveCaptionText = 0x80000013u,
    clBtnHighlight = 0x80000014u,
    cl3DDkShadow = 0x80000015u,
    cl3DLight = 0x80000016u,
    clInfoText = 0x80000017u,
    clInfoBk = 0x80000018u,
};

inline constexpr TColor clNone = 0x1FFFFFFFu;
inline constexpr TColor clDefault = 0x20000000u;
inline constexpr TColor clBlack = 0x000000u;
inline constexpr TColor clWhite = 0xFFFFFFu;
inline constexpr int SystemColorCount = 25;

// Builds an ordinary colour from its bytes.
constexpr TColor RGBColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int GetRValue(TColor c) { return int(c & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }

constexpr bool isSystemColor(TColor c) { return (c & 0x80000000u) != 0; }
// clNone and clDefault name no drawable colour.
constexpr bool isNoColor(TColor c) { return c == clNone || c == clDefault; }

// The palette role (and group) a system colour index resolves to; false outside the table.
bool systemColorRole(int index, QPalette::ColorGroup *group, QPalette::ColorRole *role);

// Resolves a system colour to an ordinary colour; ordinary colours, clNone and clDefault pass
// unchanged. An index outside the table gives black.
TColor ColorToRGB(TColor c, const QPalette &palette);
TColor ColorToRGB(TColor c); // against the application's palette

// The resolved colour as a QColor with the given alpha (invalid for clNone and clDefault).
QColor toQColor(TColor c, const QPalette &palette, int alpha = 255);
QColor toQColor(TColor c, int alpha = 255);
// An ordinary colour from a QColor (alpha dropped).
TColor fromQColor(const QColor &c);

// Colour operations of the element painters. Each resolves a system colour first and answers an
// ordinary colour; every byte is clamped to 0..255 and rounded half up.
//  DarkColor: each byte * percent / 100.
//  LightColor: each byte * percent / 100 + 255 * (100 - percent) / 100, a blend toward white.
TColor DarkColor(TColor c, int percent);
TColor LightColor(TColor c, int percent);
// The nearest colour the screen can show: the colour itself on a 24-bit screen.
TColor NearestColor(TColor c);
// A weighted mix of the button face, highlight and window colours (percentages, each may be
// negative); when the button face is black or white the highlight colour is answered unchanged.
TColor SystemColorMix(int facePercent, int highlightPercent, int windowPercent);
// The fill of the ultra-flat selection: (14, 44, 40) for a link that is only pressed, else
// (-2, 30, 72), both through NearestColor.
TColor UltraFlatPressedColor();
TColor UltraFlatSelectedColor();
// The state colour of the explorer-bar views: clNone becomes a darker highlight (red - 10,
// green - 15, blue - 15, clamped at 0); a disabled state then gives LightColor(c, 40), a
// hot-tracked, pressed or selected state LightColor(c, 80), any other state the colour itself.
TColor StateColor(TColor c, uint8_t state);
// The font's character height in pixels.
int TextHeight(const QFont &font);

} // namespace controls
