#include "controls/navbar/nav_bar_text_measurer.h"

#include "controls/paint/canvas.h"
#include "controls/paint/color.h"

#include <QPainter>

namespace controls {

int QtTextMeasurer::TextHeight(const TqvStyleFont &font)
{
    return controls::TextHeight(font.font());
}

void QtTextMeasurer::Measure(const TqvStyleFont &font, const QString &text, TRect &r, uint32_t flags)
{
    QPainter painter(&scratch_);
    DrawText(painter, font.font(), QColor(), text, r, flags | DT_CALCRECT);
}

} // namespace controls
