// TqvCanvas: the drawing surface the element painters and the bar's painter work on.
//
// A canvas wraps one QPainter for the length of one paint (a widget's paint event, or a QImage in
// tests) and gives it the drawing model the navigation bar's code is written against:
//  - rectangles are TRect (right and bottom exclusive) and every fill covers exactly its pixels;
//  - a brush (solid, clear, or a 50 % dither of its colour) and a pen (colour, width) are current
//    state, as are the font and its colour;
//  - lines run from a start point to an end point that is not drawn;
//  - colours are TColor values, resolved against the canvas's palette; anything drawn in clNone
//    (brush, pen or font colour) is not drawn at all;
//  - the clipping region can be narrowed by excluding rectangles; saveClip/restoreClip (or a
//    ClipSaver) put back the region a painter found.
// The canvas does not own the painter. Antialiasing stays off, as on the screens these shapes were
// designed for.
#pragma once

#include "controls/paint/color.h"
#include "controls/paint/types.h"

#include <QFont>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QString>
#include <vector>

class QImage;

namespace controls {

class TqvStyleFont;

class TqvCanvas {
public:
    enum class BrushStyle { Solid, Clear, Dither };

    // The saved clipping state: whether there was clipping, and its region.
    struct ClipState {
        bool clipped = false;
        QRegion region;
    };

    // Draws with painter (which must be active) and resolves system colours against palette
    // (the application's palette when none is given).
    explicit TqvCanvas(QPainter &painter);
    TqvCanvas(QPainter &painter, const QPalette &palette);
    TqvCanvas(const TqvCanvas &) = delete;
    TqvCanvas &operator=(const TqvCanvas &) = delete;

    QPainter &painter() { return painter_; }
    const QPalette &palette() const { return palette_; }
    // The colour resolved against this canvas's palette.
    TColor resolve(TColor c) const { return ColorToRGB(c, palette_); }
    QColor qcolor(TColor c, int alpha = 255) const { return toQColor(c, palette_, alpha); }

    // Brush, pen and font state.
    void setBrush(TColor color, BrushStyle style = BrushStyle::Solid);
    void setBrushStyle(BrushStyle style) { brushStyle_ = style; }
    TColor brushColor() const { return brushColor_; }
    BrushStyle brushStyle() const { return brushStyle_; }
    void setPen(TColor color, int width = 1);
    TColor penColor() const { return penColor_; }
    int penWidth() const { return penWidth_; }
    void setFont(const QFont &font, TColor color);
    void setFont(const TqvStyleFont &font);
    const QFont &font() const { return font_; }
    TColor fontColor() const { return fontColor_; }

    // Fills r with the current brush (nothing for a clear brush or clNone).
    void fillRect(const TRect &r);
    // Fills r with one colour.
    void fillRect(const TRect &r, TColor color);
    // A one-pixel frame on r's outermost pixels.
    void frameRect(const TRect &r, TColor color);
    // A 3-D frame on r's outermost pixels: top and left edges in topLeft, bottom and right edges in
    // bottomRight, which also owns the top-right and bottom-left corners.
    void frame3D(const TRect &r, TColor topLeft, TColor bottomRight);
    // One-pixel lines one pixel inside r: along the top and left edges, or along the bottom and
    // right edges.
    void innerTopLeftLine(const TRect &r, TColor color);
    void innerBottomRightLine(const TRect &r, TColor color);
    // A raised or sunken two-pixel edge around r in the button shades (outer: 3-D light and dark
    // shadow; inner: button highlight and shadow).
    void drawEdge(const TRect &r, bool raised);

    // Pen drawing. A line from a to b draws every pixel of it but b.
    void moveTo(int x, int y) { pos_ = TPoint{x, y}; }
    void lineTo(int x, int y);
    void line(TPoint a, TPoint b);
    void polyline(const std::vector<TPoint> &points);
    // A closed polygon filled with the brush and outlined with the pen.
    void polygon(const std::vector<TPoint> &points);
    // The shape inscribed in r: pen outline, brush inside.
    void rectangle(const TRect &r);
    void ellipse(const TRect &r);
    // An arc of the ellipse inscribed in r with the pen, from startDeg sweeping sweepDeg; angles
    // run clockwise on the screen from the right-middle point (so 90 is the bottom).
    void arc(const TRect &r, double startDeg, double sweepDeg);

    // Tiles image over r; tiles start at every multiple of the image's size from the canvas
    // origin. An image without pixels draws nothing.
    void tile(const TRect &r, const QImage &image);

    // Draws (or with DT_CALCRECT measures) text in the current font with the text flags; see
    // DrawText in text.h. Answers the text's height.
    int drawText(const QString &text, TRect &r, uint32_t flags);

    // Clipping.
    ClipState saveClip() const;
    void restoreClip(const ClipState &state);
    // Removes r from the clipping region (the whole device when there was none).
    void excludeClipRect(const TRect &r);
    // Narrows the clipping region to r.
    void intersectClipRect(const TRect &r);

    // Puts back the clipping region it found when it goes out of scope.
    class ClipSaver {
    public:
        explicit ClipSaver(TqvCanvas &canvas) : canvas_(canvas), state_(canvas.saveClip()) {}
        ~ClipSaver() { canvas_.restoreClip(state_); }
        ClipSaver(const ClipSaver &) = delete;
        ClipSaver &operator=(const ClipSaver &) = delete;

    private:
        TqvCanvas &canvas_;
        ClipState state_;
    };

private:
    QBrush qbrush() const;
    QPen qpen() const;
    bool hasBrush() const;
    bool hasPen() const;
    QRegion deviceRegion() const;
    void setClipRegion(const QRegion &region);

    QPainter &painter_;
    QPalette palette_;
    TColor brushColor_ = clWhite;
    BrushStyle brushStyle_ = BrushStyle::Solid;
    TColor penColor_ = clBlack;
    int penWidth_ = 1;
    QFont font_;
    TColor fontColor_ = clBlack;
    TPoint pos_;
};

// Draws or measures text with the text flags (types.h):
//  horizontal alignment 0 left, 1 centre, 2 right; vertical 0 top, 4 centre, 8 bottom (single
//  line only); 0x10 word break; 0x20 single line; 0x800 no prefix ("&x" otherwise underlines x);
//  0x8000 end ellipsis (a line wider than the rectangle ends in "…").
// With 0x400 (measure) nothing is drawn and r takes the text's extent: its right edge becomes
// left + the widest line (word-wrapped text keeps r's width unless one word is wider) and its
// bottom top + the text's height. Drawn text is clipped to r. Answers the text's height (0 for
// empty text).
int DrawText(QPainter &painter, const QFont &font, const QColor &color, const QString &text, TRect &r,
             uint32_t flags);

} // namespace controls
