// Small value types shared by the navigation bar family: rectangles and points, element state
// flags, gradient modes and text flags.
#pragma once

#include <QPoint>
#include <QRect>
#include <algorithm>
#include <cstdint>

namespace controls {

struct TPoint {
    int x = 0;
    int y = 0;
    constexpr bool operator==(const TPoint &) const = default;
    QPoint toQPoint() const { return QPoint(x, y); }
};

// A rectangle whose right and bottom edges are exclusive: (0, 0, 3, 2) covers pixels x 0..2,
// y 0..1. A rectangle with right <= left or bottom <= top is empty; an inverted one (right < left)
// keeps its values, has a negative width and covers nothing.
struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr TRect() = default;
    constexpr TRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    static constexpr TRect fromSize(int l, int t, int w, int h) { return TRect(l, t, l + w, t + h); }
    static TRect fromQRect(const QRect &r) { return TRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()); }

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    constexpr bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    constexpr bool contains(TPoint p) const { return contains(p.x, p.y); }
    constexpr bool operator==(const TRect &) const = default;

    // Grown by dx and dy on each side (negative values shrink it).
    constexpr TRect inflated(int dx, int dy) const { return TRect(left - dx, top - dy, right + dx, bottom + dy); }
    constexpr TRect offset(int dx, int dy) const { return TRect(left + dx, top + dy, right + dx, bottom + dy); }
    // The common part; an empty rectangle (all zero) when they do not meet.
    constexpr TRect intersected(const TRect &o) const
    {
        const TRect r(std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom));
        return r.isEmpty() ? TRect() : r;
    }
    constexpr bool intersects(const TRect &o) const { return !intersected(o).isEmpty(); }

    // The same pixels as a QRect (empty for an empty or inverted rectangle).
    QRect toQRect() const { return QRect(QPoint(left, top), QSize(right - left, bottom - top)); }
};

// State flags of a drawn element (one byte). Flag 2 means disabled for links and hidden for scroll
// buttons.
using TqvNavBarObjectStates = uint8_t;
enum TqvNavBarObjectState : uint8_t {
    sActive = 1,
    sDisabled = 2,
    sHidden = 2,
    sExpanded = 4,
    sHotTracked = 8,
    sPressed = 16,
    sSelected = 32,
};

// Direction of a two-colour gradient: left to right, top to bottom, top-left to bottom-right,
// top-right to bottom-left.
enum TqvBarStyleGradientMode : uint8_t {
    gmHorizontal = 0,
    gmVertical = 1,
    gmForwardDiagonal = 2,
    gmBackwardDiagonal = 3,
};

// Text flags with the values layout code computes with (DrawText, TqvCanvas::drawText).
enum TextFlag : uint32_t {
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_TOP = 0x0,
    DT_VCENTER = 0x4,  // single line only
    DT_BOTTOM = 0x8,   // single line only
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_CALCRECT = 0x400, // measure: adjust the rectangle, draw nothing
    DT_NOPREFIX = 0x800, // without it "&x" underlines x and "&&" shows "&"
    DT_END_ELLIPSIS = 0x8000,
};

} // namespace controls
