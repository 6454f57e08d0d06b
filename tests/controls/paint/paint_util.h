// Helpers of the paint tests: an image to draw on, a canvas over it, pixel probes.
#pragma once

#include "controls/paint/canvas.h"
#include "controls/paint/color.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <functional>
#include <memory>

namespace painttest {

using namespace controls;

inline constexpr QRgb kBackground = 0xFF102030; // a colour no painter produces

// An image filled with kBackground.
inline QImage blank(int w = 40, int h = 40, QRgb fill = kBackground)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(fill);
    return img;
}

// Draws with a canvas into img.
inline void paint(QImage &img, const std::function<void(TqvCanvas &)> &draw)
{
    QPainter p(&img);
    TqvCanvas canvas(p);
    draw(canvas);
}

// The pixel as an ordinary colour value (0x00BBGGRR).
inline TColor at(const QImage &img, int x, int y) { return fromQColor(QColor(img.pixel(x, y))); }

inline TColor resolved(TColor c) { return ColorToRGB(c); }

// True when every pixel outside r still has the background colour.
inline bool untouchedOutside(const QImage &img, const TRect &r, QRgb bg = kBackground)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (!r.contains(x, y) && img.pixel(x, y) != bg)
                return false;
    return true;
}

inline int countPixels(const QImage &img, const TRect &r, const std::function<bool(QRgb)> &pred)
{
    int n = 0;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, img.height()); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, img.width()); ++x)
            if (pred(img.pixel(x, y)))
                ++n;
    return n;
}

// The bounding box of the pixels that differ from bg (empty when none).
inline TRect inkBox(const QImage &img, QRgb bg = kBackground)
{
    int l = img.width(), t = img.height(), r = -1, b = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != bg) {
                l = std::min(l, x);
                t = std::min(t, y);
                r = std::max(r, x);
                b = std::max(b, y);
            }
    return r < 0 ? TRect() : TRect(l, t, r + 1, b + 1);
}

// Where screenshots go: <build>/screenshots/controls.
inline QString screenshotDir()
{
    const QByteArray bin = qgetenv("SELVARK_BINARY_DIR");
    const QString dir = (bin.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(bin)) + "/screenshots/controls";
    QDir().mkpath(dir);
    return dir;
}

} // namespace painttest
