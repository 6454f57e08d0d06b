// Bitmap and text helpers of the speed-button family.
//
//  ReplaceBitmapColors  recolours a two-colour bitmap (a glyph drawn in black on any other colour)
//                       into the current system colours;
//  DrawDisabledText     draws a caption the way a disabled button shows it: embossed, a highlight
//                       copy one pixel right and down under a shadow copy in place.
// User-interface thread only.
#pragma once

#include "controls/paint/canvas.h"
#include "controls/paint/color.h"
#include "controls/paint/types.h"

#include <QImage>
#include <QPalette>
#include <QString>

namespace controls {

// Converts image to 24-bit colour (QImage::Format_RGB32) and replaces every pixel that is not black
// (0, 0, 0) with nonBlack and every black pixel with black; system colours are resolved against
// palette first. A null image stays null.
void ReplaceBitmapColors(QImage &image, TColor nonBlack, TColor black, const QPalette &palette);
void ReplaceBitmapColors(QImage &image, TColor nonBlack, TColor black); // the application's palette

// Unless flags hold DT_CALCRECT, draws text in the canvas's font without a background, first at r
// moved one pixel right and down in clBtnHighlight, then at r in clBtnShadow; with DT_CALCRECT it
// only measures (r takes the text's extent). Either way r then grows by one pixel to the right and
// down, to cover the highlight copy. The canvas's brush style and font colour are left as found.
// Answers the text's height.
int DrawDisabledText(TqvCanvas &canvas, const QString &text, TRect &r, uint32_t flags);

} // namespace controls
