#include "controls/paint/canvas.h"

#include "controls/paint/graphic.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPolygon>
#include <cmath>
#include <cstdlib>

namespace controls {

TqvCanvas::TqvCanvas(QPainter &painter) : TqvCanvas(painter, QGuiApplication::palette()) {}

TqvCanvas::TqvCanvas(QPainter &painter, const QPalette &palette)
    : painter_(painter), palette_(palette), font_(painter.font())
{
    painter_.setRenderHint(QPainter::Antialiasing, false);
}

void TqvCanvas::setBrush(TColor color, BrushStyle style)
{
    brushColor_ = color;
    brushStyle_ = style;
}

void TqvCanvas::setPen(TColor color, int width)
{
    penColor_ = color;
    penWidth_ = std::max(width, 1);
}

void TqvCanvas::setFont(const QFont &font, TColor color)
{
    font_ = font;
    fontColor_ = color;
}

void TqvCanvas::setFont(const TqvStyleFont &font) { setFont(font.font(), font.color()); }

bool TqvCanvas::hasBrush() const { return brushStyle_ != BrushStyle::Clear && !isNoColor(brushColor_); }
bool TqvCanvas::hasPen() const { return !isNoColor(penColor_); }

QBrush TqvCanvas::qbrush() const
{
    if (!hasBrush())
        return Qt::NoBrush;
    return QBrush(qcolor(brushColor_), brushStyle_ == BrushStyle::Dither ? Qt::Dense4Pattern : Qt::SolidPattern);
}

QPen TqvCanvas::qpen() const
{
    if (!hasPen())
        return Qt::NoPen;
    QPen pen(qcolor(penColor_));
    pen.setWidth(penWidth_ > 1 ? penWidth_ : 0); // 0: the one-pixel cosmetic pen
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

void TqvCanvas::fillRect(const TRect &r)
{
    if (r.isEmpty() || !hasBrush())
        return;
    painter_.fillRect(r.toQRect(), qbrush());
}

void TqvCanvas::fillRect(const TRect &r, TColor color)
{
    if (r.isEmpty() || isNoColor(color))
        return;
    painter_.fillRect(r.toQRect(), qcolor(color));
}

void TqvCanvas::frameRect(const TRect &r, TColor color) { frame3D(r, color, color); }

void TqvCanvas::frame3D(const TRect &r, TColor topLeft, TColor bottomRight)
{
    if (r.isEmpty())
        return;
    fillRect(TRect(r.left, r.top, r.right - 1, r.top + 1), topLeft);        // top
    fillRect(TRect(r.left, r.top + 1, r.left + 1, r.bottom - 1), topLeft);  // left
    fillRect(TRect(r.right - 1, r.top, r.right, r.bottom), bottomRight);    // right
    fillRect(TRect(r.left, r.bottom - 1, r.right - 1, r.bottom), bottomRight); // bottom
}

void TqvCanvas::innerTopLeftLine(const TRect &r, TColor color)
{
    const TRect in = r.inflated(-1, -1);
    if (in.isEmpty())
        return;
    fillRect(TRect(in.left, in.top, in.right, in.top + 1), color);
    fillRect(TRect(in.left, in.top + 1, in.left + 1, in.bottom), color);
}

void TqvCanvas::innerBottomRightLine(const TRect &r, TColor color)
{
    const TRect in = r.inflated(-1, -1);
    if (in.isEmpty())
        return;
    fillRect(TRect(in.right - 1, in.top, in.right, in.bottom), color);
    fillRect(TRect(in.left, in.bottom - 1, in.right - 1, in.bottom), color);
}

void TqvCanvas::drawEdge(const TRect &r, bool raised)
{
    if (raised) {
        frame3D(r, cl3DLight, cl3DDkShadow);
        frame3D(r.inflated(-1, -1), clBtnHighlight, clBtnShadow);
    } else {
        frame3D(r, clBtnShadow, clBtnHighlight);
        frame3D(r.inflated(-1, -1), cl3DDkShadow, cl3DLight);
    }
}

void TqvCanvas::lineTo(int x, int y)
{
    line(pos_, TPoint{x, y});
    pos_ = TPoint{x, y};
}

void TqvCanvas::line(TPoint a, TPoint b)
{
    if (!hasPen() || a == b)
        return;
    if (penWidth_ > 1) {
        painter_.setPen(qpen());
        painter_.drawLine(a.toQPoint(), b.toQPoint());
        return;
    }
    // Bresenham with the end point left out, as the line model promises.
    QPolygon pts;
    int x = a.x, y = a.y;
    const int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
    const int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
    int err = dx + dy;
    while (!(x == b.x && y == b.y)) {
        pts << QPoint(x, y);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    painter_.setPen(qpen());
    painter_.drawPoints(pts);
}

void TqvCanvas::polyline(const std::vector<TPoint> &points)
{
    for (size_t i = 1; i < points.size(); ++i)
        line(points[i - 1], points[i]);
    if (!points.empty())
        pos_ = points.back();
}

void TqvCanvas::polygon(const std::vector<TPoint> &points)
{
    if (points.size() < 2 || (!hasPen() && !hasBrush()))
        return;
    QPolygon poly;
    for (const TPoint &p : points)
        poly << p.toQPoint();
    painter_.setPen(qpen());
    painter_.setBrush(qbrush());
    painter_.drawPolygon(poly);
}

void TqvCanvas::rectangle(const TRect &r)
{
    if (r.isEmpty())
        return;
    if (!hasPen()) {
        fillRect(r);
        return;
    }
    const int w = std::min(penWidth_, std::max(1, std::min(r.width(), r.height()) / 2));
    fillRect(r.inflated(-w, -w));
    for (int i = 0; i < w; ++i)
        frameRect(r.inflated(-i, -i), penColor_);
}

namespace {

// The rectangle an aliased stroke of the given width follows so that it stays inside r.
QRectF strokeRect(const TRect &r, int penWidth)
{
    const double inset = penWidth > 1 ? penWidth / 2.0 : 0.0;
    const double shrink = penWidth > 1 ? penWidth : 1.0;
    return QRectF(r.left + inset, r.top + inset, r.width() - shrink, r.height() - shrink);
}

} // namespace

void TqvCanvas::ellipse(const TRect &r)
{
    if (r.isEmpty() || (!hasPen() && !hasBrush()))
        return;
    painter_.setPen(qpen());
    painter_.setBrush(qbrush());
    painter_.drawEllipse(strokeRect(r, hasPen() ? penWidth_ : 1));
}

void TqvCanvas::arc(const TRect &r, double startDeg, double sweepDeg)
{
    if (r.isEmpty() || !hasPen())
        return;
    painter_.setPen(qpen());
    painter_.setBrush(Qt::NoBrush);
    // QPainter counts angles counter-clockwise in sixteenths of a degree.
    painter_.drawArc(strokeRect(r, penWidth_), int(std::lround(-startDeg * 16)), int(std::lround(-sweepDeg * 16)));
}

void TqvCanvas::tile(const TRect &r, const QImage &image)
{
    // A picture without pixels would never advance the tiling.
    if (r.isEmpty() || image.isNull() || image.width() <= 0 || image.height() <= 0)
        return;
    const QPoint origin = painter_.brushOrigin();
    painter_.setBrushOrigin(0, 0);
    painter_.fillRect(r.toQRect(), QBrush(image));
    painter_.setBrushOrigin(origin);
}

int TqvCanvas::drawText(const QString &text, TRect &r, uint32_t flags)
{
    return DrawText(painter_, font_, qcolor(fontColor_), text, r, flags);
}

QRegion TqvCanvas::deviceRegion() const
{
    const QPaintDevice *dev = painter_.device();
    const QRect rect = dev ? QRect(0, 0, dev->width(), dev->height()) : QRect();
    return QRegion(painter_.transform().inverted().mapRect(rect));
}

TqvCanvas::ClipState TqvCanvas::saveClip() const
{
    ClipState s;
    s.clipped = painter_.hasClipping();
    if (s.clipped)
        s.region = painter_.clipRegion();
    return s;
}

void TqvCanvas::setClipRegion(const QRegion &region)
{
    // Qt 6.4 ignores a new clip region after setClipping(false) unless clipping is switched on
    // again first.
    painter_.setClipping(true);
    painter_.setClipRegion(region);
}

void TqvCanvas::restoreClip(const ClipState &state)
{
    if (state.clipped)
        setClipRegion(state.region);
    else
        painter_.setClipping(false);
}

void TqvCanvas::excludeClipRect(const TRect &r)
{
    const QRegion base = painter_.hasClipping() ? painter_.clipRegion() : deviceRegion();
    setClipRegion(r.isEmpty() ? base : base.subtracted(QRegion(r.toQRect())));
}

void TqvCanvas::intersectClipRect(const TRect &r)
{
    const QRect q = r.isEmpty() ? QRect() : r.toQRect();
    setClipRegion(painter_.hasClipping() ? painter_.clipRegion().intersected(QRegion(q)) : QRegion(q));
}

int DrawText(QPainter &painter, const QFont &font, const QColor &color, const QString &text, TRect &r,
             uint32_t flags)
{
    const bool measure = flags & DT_CALCRECT;
    if (text.isEmpty()) {
        if (measure) {
            r.right = r.left;
            r.bottom = r.top;
        }
        return 0;
    }
    const QFontMetrics fm(font);
    const bool single = flags & DT_SINGLELINE;
    const bool wrap = (flags & DT_WORDBREAK) && !single;

    int qflags = 0;
    if (!(flags & DT_NOPREFIX))
        qflags |= Qt::TextShowMnemonic;
    if (wrap)
        qflags |= Qt::TextWordWrap;
    if (single)
        qflags |= Qt::TextSingleLine;

    QString shown = text;
    if (single) {
        shown.replace(QLatin1String("\r\n"), QLatin1String(" "));
        shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
        shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
    }
    if ((flags & DT_END_ELLIPSIS) && !wrap) {
        QStringList lines = shown.split(QLatin1Char('\n'));
        for (QString &l : lines)
            l = fm.elidedText(l, Qt::ElideRight, std::max(r.width(), 0), qflags & Qt::TextShowMnemonic);
        shown = lines.join(QLatin1Char('\n'));
    }

    // Word-wrapped text breaks at r's width; other text is measured unbounded.
    constexpr int kUnbounded = 1 << 20;
    const QRect area(r.left, r.top, wrap ? std::max(r.width(), 1) : kUnbounded, kUnbounded);
    const QRect extent = fm.boundingRect(area, qflags | Qt::AlignLeft | Qt::AlignTop, shown);
    const int height = single ? fm.height() : extent.height();
    if (measure) {
        r.right = r.left + extent.width();
        r.bottom = r.top + height;
        return height;
    }
    if (r.isEmpty() || !color.isValid())
        return height;

    int align = (flags & DT_RIGHT) ? Qt::AlignRight : (flags & DT_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft;
    if (single)
        align |= (flags & DT_BOTTOM) ? Qt::AlignBottom : (flags & DT_VCENTER) ? Qt::AlignVCenter : Qt::AlignTop;
    else
        align |= Qt::AlignTop;

    painter.save();
    painter.setFont(font);
    painter.setPen(color);
    painter.setBrush(Qt::NoBrush);
    const QRegion clip = painter.hasClipping() ? painter.clipRegion().intersected(QRegion(r.toQRect()))
                                               : QRegion(r.toQRect());
    painter.setClipping(true); // see TqvCanvas::setClipRegion
    painter.setClipRegion(clip);
    painter.drawText(r.toQRect(), qflags | align, shown);
    painter.restore();
    return height;
}

} // namespace controls
