#include "controls/paint/gdiplus.h"

#include "controls/paint/canvas.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <cmath>

namespace controls {

namespace {
bool g_forcedOff = false;
int g_drawCount = 0;
} // namespace

bool IsGDIPlusAvailable() { return !g_forcedOff; }
void SetGDIPlusForcedOff(bool off) { g_forcedOff = off; }

ARGB ColorRefToARGB(TColor c, const QPalette &palette, uint8_t alpha)
{
    const TColor rgb = ColorToRGB(c, palette);
    return MakeColor(alpha, uint8_t(GetRValue(rgb)), uint8_t(GetGValue(rgb)), uint8_t(GetBValue(rgb)));
}

ARGB ColorRefToARGB(TColor c, uint8_t alpha) { return ColorRefToARGB(c, QGuiApplication::palette(), alpha); }

QColor argbToQColor(ARGB c)
{
    return QColor(int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF), int((c >> 24) & 0xFF));
}

TqvGPLinearGradientBrush::TqvGPLinearGradientBrush(const TRect &r, ARGB color1, ARGB color2, TqvBarStyleGradientMode mode)
    : rect_(r), color1_(color1), color2_(color2), mode_(mode)
{
    if (r.width() <= 0 || r.height() <= 0 || mode > gmBackwardDiagonal)
        setStatus(gpInvalidParameter);
}

std::unique_ptr<TqvGPBrush> TqvGPLinearGradientBrush::Clone() const
{
    return std::make_unique<TqvGPLinearGradientBrush>(*this);
}

QBrush TqvGPLinearGradientBrush::qbrush() const
{
    const double l = rect_.left, t = rect_.top, r = rect_.right, b = rect_.bottom;
    QPointF from(l, t), to(r, t);
    switch (mode_) {
    case gmHorizontal: from = {l, t}; to = {r, t}; break;
    case gmVertical: from = {l, t}; to = {l, b}; break;
    case gmForwardDiagonal: from = {l, t}; to = {r, b}; break;
    case gmBackwardDiagonal: from = {r, t}; to = {l, b}; break;
    }
    QLinearGradient g(from, to);
    g.setColorAt(0, argbToQColor(color1_));
    g.setColorAt(1, argbToQColor(color2_));
    g.setSpread(QGradient::RepeatSpread); // wrap mode tile
    return QBrush(g);
}

TqvGPPen::TqvGPPen(ARGB color, double width) : color_(color), width_(width)
{
    if (!(width > 0))
        setStatus(gpInvalidParameter);
}

TqvGPGraphics::TqvGPGraphics(TqvCanvas &canvas) : canvas_(canvas) {}

int TqvGPGraphics::FillRectangle(const TqvGPBrush &brush, const TRect &r)
{
    if (brush.lastStatus() != gpOk) {
        setStatus(gpInvalidParameter);
        return gpInvalidParameter;
    }
    ++g_drawCount;
    if (!r.isEmpty())
        canvas_.painter().fillRect(r.toQRect(), brush.qbrush());
    return gpOk;
}

int TqvGPGraphics::DrawArc(const TqvGPPen &pen, const TRect &r, double startAngle, double sweepAngle)
{
    if (pen.lastStatus() != gpOk || r.isEmpty()) {
        setStatus(gpInvalidParameter);
        return gpInvalidParameter;
    }
    ++g_drawCount;
    QPainter &p = canvas_.painter();
    QPen qp(argbToQColor(pen.color()));
    qp.setWidthF(pen.width());
    qp.setCapStyle(Qt::FlatCap);
    p.setPen(qp);
    p.setBrush(Qt::NoBrush);
    // The pen is centred on the ellipse inscribed in r; QPainter's angles run counter-clockwise.
    const QRectF ellipse(r.left, r.top, r.width() - 1, r.height() - 1);
    p.drawArc(ellipse, int(std::lround(-startAngle * 16)), int(std::lround(-sweepAngle * 16)));
    return gpOk;
}

int TqvGPGraphics::drawCount() { return g_drawCount; }
void TqvGPGraphics::resetDrawCount() { g_drawCount = 0; }

} // namespace controls
