// The gradient and arc drawing of the element painters, in the object model they were written
// against (graphics, linear gradient brush, pen, ARGB colours), drawn with QPainter.
//
// Colours here are ARGB words: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
// IsGDIPlusAvailable() is true; tests may force it off process-wide (SetGDIPlusForcedOff) to
// exercise the painters' plain-drawing paths. Angles run clockwise on the screen from the
// right-middle point, as in the model (QPainter's run the other way; the conversion is inside).
// Each object keeps the last non-zero status of its calls (0 = ok); nothing here throws.
// User-interface thread only.
#pragma once

#include "controls/paint/color.h"
#include "controls/paint/types.h"

#include <QColor>
#include <QPalette>
#include <cstdint>
#include <memory>

namespace controls {

class TqvCanvas;

using ARGB = uint32_t;

enum TqvGPStatus : int { gpOk = 0, gpGenericError = 1, gpInvalidParameter = 2 };

bool IsGDIPlusAvailable();
// Forces IsGDIPlusAvailable() to false (true) or back.
void SetGDIPlusForcedOff(bool off);

// blue + green * 256 + red * 65536 + alpha * 16777216.
constexpr ARGB MakeColor(uint8_t a, uint8_t r, uint8_t g, uint8_t b)
{
    return ARGB(b) | (ARGB(g) << 8) | (ARGB(r) << 16) | (ARGB(a) << 24);
}
// A colour value (system colours resolved first) with an alpha. The colour keeps red in its low
// byte, the ARGB word in bits 16-23: the bytes are swapped, not copied.
ARGB ColorRefToARGB(TColor c, uint8_t alpha = 255);
ARGB ColorRefToARGB(TColor c, const QPalette &palette, uint8_t alpha = 255);
QColor argbToQColor(ARGB c);

class TqvGPBase {
public:
    virtual ~TqvGPBase() = default;
    // The last non-zero status of a call on this object.
    int lastStatus() const { return status_; }

protected:
    void setStatus(int status)
    {
        if (status != gpOk)
            status_ = status;
    }

private:
    int status_ = gpOk;
};

class TqvGPBrush : public TqvGPBase {
public:
    virtual std::unique_ptr<TqvGPBrush> Clone() const = 0;
    virtual QBrush qbrush() const = 0;
};

// A two-colour gradient over a rectangle: left to right (horizontal), top to bottom (vertical),
// top-left to bottom-right (forward diagonal), top-right to bottom-left (backward diagonal);
// repeated beyond the rectangle.
class TqvGPLinearGradientBrush final : public TqvGPBrush {
public:
    TqvGPLinearGradientBrush(const TRect &r, ARGB color1, ARGB color2, TqvBarStyleGradientMode mode);
    std::unique_ptr<TqvGPBrush> Clone() const override;
    QBrush qbrush() const override;

    ARGB color1() const { return color1_; }
    ARGB color2() const { return color2_; }
    TqvBarStyleGradientMode mode() const { return mode_; }

private:
    TRect rect_;
    ARGB color1_;
    ARGB color2_;
    TqvBarStyleGradientMode mode_;
};

class TqvGPPen final : public TqvGPBase {
public:
    TqvGPPen(ARGB color, double width = 1.0);
    ARGB color() const { return color_; }
    double width() const { return width_; }

private:
    ARGB color_;
    double width_;
};

// Draws on a canvas. The canvas's clipping region applies.
class TqvGPGraphics final : public TqvGPBase {
public:
    explicit TqvGPGraphics(TqvCanvas &canvas);
    int FillRectangle(const TqvGPBrush &brush, const TRect &r);
    int DrawArc(const TqvGPPen &pen, const TRect &r, double startAngle, double sweepAngle);

    // How many fills and arcs this object drew (for tests of the fallback paths).
    static int drawCount();
    static void resetDrawCount();

private:
    TqvCanvas &canvas_;
};

} // namespace controls
