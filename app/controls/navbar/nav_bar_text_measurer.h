// How the navigation bar's layout measures text. The layout never reads font metrics itself: it
// asks a TextMeasurer, so that the program measures with the real fonts and tests with fixed
// metrics that give the same rows on every machine.
#pragma once

#include "controls/paint/graphic.h"
#include "controls/paint/types.h"

#include <QImage>
#include <QString>
#include <cstdint>

namespace controls {

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // The font's character height in pixels.
    virtual int TextHeight(const TqvStyleFont &font) = 0;
    // Measures text with the text flags (DT_CALCRECT implied): r keeps its left and top, its right
    // edge becomes left + the widest line (word-wrapped text breaks at r's width) and its bottom
    // top + the text's height. Empty text gives an empty rectangle at r's corner.
    virtual void Measure(const TqvStyleFont &font, const QString &text, TRect &r, uint32_t flags) = 0;
};

// Measures with the fonts' real metrics, through the same text routine the canvas draws with.
class QtTextMeasurer final : public TextMeasurer {
public:
    int TextHeight(const TqvStyleFont &font) override;
    void Measure(const TqvStyleFont &font, const QString &text, TRect &r, uint32_t flags) override;

private:
    QImage scratch_{1, 1, QImage::Format_ARGB32_Premultiplied};
};

} // namespace controls
