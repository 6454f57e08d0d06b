#include "controls/paint/painters.h"

#include "controls/paint/gdiplus.h"

namespace controls {

namespace {

// Shades of one colour used by the frames.
struct Shades {
    TColor light20, light70, dark20, dark70;
    Shades(const TqvCanvas &canvas, TColor color)
    {
        const TColor c = canvas.resolve(color);
        light20 = LightColor(c, 20);
        light70 = LightColor(c, 70);
        dark20 = DarkColor(c, 20);
        dark70 = DarkColor(c, 70);
    }
};

// Keeps a painter inside its rectangle and puts the clipping region back afterwards.
class ClipToRect {
public:
    ClipToRect(TqvCanvas &canvas, const TRect &r) : saver_(canvas) { canvas.intersectClipRect(r); }

private:
    TqvCanvas::ClipSaver saver_;
};

bool isPressedOrSelected(TqvNavBarObjectStates s) { return s & (sPressed | sSelected); }

} // namespace

// ---- class references ------------------------------------------------------------------------

const TqvBackgroundPainterClass TqvBaseBackgroundPainter::Class{"TqvBaseBackgroundPainter", &TqvBaseBackgroundPainter::DrawBackground};
const TqvBackgroundPainterClass TqvNavBarBackgroundPainter::Class{"TqvNavBarBackgroundPainter", &TqvNavBarBackgroundPainter::DrawBackground};
const TqvImagePainterClass TqvBaseImagePainter::Class{"TqvBaseImagePainter", &TqvBaseImagePainter::DrawImage};
const TqvImagePainterClass TqvNavBarImagePainter::Class{"TqvNavBarImagePainter", &TqvNavBarImagePainter::DrawImage};
const TqvSelectionPainterClass TqvBaseSelectionPainter::Class{"TqvBaseSelectionPainter", &TqvBaseSelectionPainter::DrawSelection};
const TqvSelectionPainterClass TqvNavBarSelectionPainter::Class{"TqvNavBarSelectionPainter", &TqvNavBarSelectionPainter::DrawSelection};
const TqvSelectionPainterClass TqvNavBarVSToolBoxSelectionPainter::Class{"TqvNavBarVSToolBoxSelectionPainter", &TqvNavBarVSToolBoxSelectionPainter::DrawSelection};
const TqvSelectionPainterClass TqvNavBarUltraFlatSelectionPainter::Class{"TqvNavBarUltraFlatSelectionPainter", &TqvNavBarUltraFlatSelectionPainter::DrawSelection};
const TqvSelectionPainterClass TqvNavBarXPSelectionPainter::Class{"TqvNavBarXPSelectionPainter", &TqvNavBarXPSelectionPainter::DrawSelection};
const TqvSignPainterClass TqvBaseSignPainter::Class{"TqvBaseSignPainter", &TqvBaseSignPainter::DrawSign};
const TqvSignPainterClass TqvNavBarExplorerBarSignPainter::Class{"TqvNavBarExplorerBarSignPainter", &TqvNavBarExplorerBarSignPainter::DrawSign};
const TqvSignPainterClass TqvNavBarAdvExplorerBarSignPainter::Class{"TqvNavBarAdvExplorerBarSignPainter", &TqvNavBarAdvExplorerBarSignPainter::DrawSign};
const TqvSignPainterClass TqvNavBarXPExplorerBarSignPainter::Class{"TqvNavBarXPExplorerBarSignPainter", &TqvNavBarXPExplorerBarSignPainter::DrawSign};
const TqvHintPainterClass TqvBaseHintPainter::Class{"TqvBaseHintPainter", &TqvBaseHintPainter::DrawHint};
const TqvHintPainterClass TqvNavBarHintPainter::Class{"TqvNavBarHintPainter", &TqvNavBarHintPainter::DrawHint};
const TqvButtonPainterClass TqvBaseButtonPainter::Class{"TqvBaseButtonPainter", &TqvBaseButtonPainter::DrawButton};
const TqvButtonPainterClass TqvNavBarButtonPainter::Class{"TqvNavBarButtonPainter", &TqvNavBarButtonPainter::DrawButton};
const TqvButtonPainterClass TqvNavBarFlatButtonPainter::Class{"TqvNavBarFlatButtonPainter", &TqvNavBarFlatButtonPainter::DrawButton};
const TqvButtonPainterClass TqvNavBarVSToolBoxButtonPainter::Class{"TqvNavBarVSToolBoxButtonPainter", &TqvNavBarVSToolBoxButtonPainter::DrawButton};
const TqvButtonPainterClass TqvNavBarOfficeButtonPainter::Class{"TqvNavBarOfficeButtonPainter", &TqvNavBarOfficeButtonPainter::DrawButton};
const TqvButtonPainterClass TqvNavBarExplorerButtonPainter::Class{"TqvNavBarExplorerButtonPainter", &TqvNavBarExplorerButtonPainter::DrawButton};
const TqvButtonPainterClass TqvNavBarAdvExplorerButtonPainter::Class{"TqvNavBarAdvExplorerButtonPainter", &TqvNavBarAdvExplorerButtonPainter::DrawButton};
const TqvButtonPainterClass TqvNavBarXPButtonPainter::Class{"TqvNavBarXPButtonPainter", &TqvNavBarXPButtonPainter::DrawButton};
const TqvButtonPainterClass TqvNavBarXPExplorerBarButtonPainter::Class{"TqvNavBarXPExplorerBarButtonPainter", &TqvNavBarXPExplorerBarButtonPainter::DrawButton};
const TqvScrollButtonsPainterClass TqvBaseScrollButtonsPainter::Class{"TqvBaseScrollButtonsPainter", &TqvBaseScrollButtonsPainter::DrawBottomButton, &TqvBaseScrollButtonsPainter::DrawTopButton};
const TqvScrollButtonsPainterClass TqvNavBarScrollButtonsPainter::Class{"TqvNavBarScrollButtonsPainter", &TqvNavBarScrollButtonsPainter::DrawBottomButton, &TqvNavBarScrollButtonsPainter::DrawTopButton};
const TqvScrollButtonsPainterClass TqvNavBarXPScrollButtonsPainter::Class{"TqvNavBarXPScrollButtonsPainter", &TqvNavBarXPScrollButtonsPainter::DrawBottomButton, &TqvNavBarXPScrollButtonsPainter::DrawTopButton};
const TqvDropTargetLinkPainterClass TqvBaseDropTargetLinkPainter::Class{"TqvBaseDropTargetLinkPainter", &TqvBaseDropTargetLinkPainter::DrawTargetLink};
const TqvDropTargetLinkPainterClass TqvNavBarDropTargetLinkPainter::Class{"TqvNavBarDropTargetLinkPainter", &TqvNavBarDropTargetLinkPainter::DrawTargetLink};
const TqvDropTargetGroupPainterClass TqvBaseDropTargetGroupPainter::Class{"TqvBaseDropTargetGroupPainter", &TqvBaseDropTargetGroupPainter::DrawTargetGroup};
const TqvDropTargetGroupPainterClass TqvNavBarDropTargetGroupPainter::Class{"TqvNavBarDropTargetGroupPainter", &TqvNavBarDropTargetGroupPainter::DrawTargetGroup};

// ---- themed drawing --------------------------------------------------------------------------

bool TqvNavBarXPPainter::DrawThemed(TqvCanvas &canvas, const TRect &r, TqvThemeClass cls, int part, int state)
{
    const HTHEME theme = OpenTheme(cls);
    if (!theme)
        return false;
    DrawThemeBackground(theme, canvas, part, state, r);
    return true;
}

// ---- backgrounds -----------------------------------------------------------------------------

void TqvNavBarBackgroundPainter::TilePicture(TqvCanvas &canvas, const TRect &r, const TqvPicture &picture)
{
    if (picture.isDrawable())
        canvas.tile(r, picture.image());
}

void TqvNavBarBackgroundPainter::DrawBackground(TqvCanvas &canvas, const TRect &r, const TqvPicture *picture,
                                                TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                                                TColor color1, TColor color2, bool erase)
{
    if (r.isEmpty())
        return;
    const bool hasPicture = picture && !picture->isEmpty();
    const bool oneOpaqueColor = canvas.resolve(color1) == canvas.resolve(color2) && alpha1 == 255 && alpha2 == 255;
    if (IsGDIPlusAvailable() && !oneOpaqueColor) {
        if (hasPicture)
            TilePicture(canvas, r, *picture);
        else if (erase)
            canvas.fillRect(r, clWhite);
        if (isNoColor(color1) && isNoColor(color2))
            return;
        // A clNone end fades to nothing: it takes the other end's colour with alpha 0.
        const ARGB argb1 = isNoColor(color1) ? ColorRefToARGB(color2, canvas.palette(), 0)
                                             : ColorRefToARGB(color1, canvas.palette(), alpha1);
        const ARGB argb2 = isNoColor(color2) ? ColorRefToARGB(color1, canvas.palette(), 0)
                                             : ColorRefToARGB(color2, canvas.palette(), alpha2);
        TqvGPGraphics graphics(canvas);
        TqvGPLinearGradientBrush brush(r, argb1, argb2, mode);
        graphics.FillRectangle(brush, r);
        return;
    }
    if (alpha1 == 0) {
        if (hasPicture) {
            TilePicture(canvas, r, *picture);
            return;
        }
        if (erase)
            canvas.fillRect(r, clWhite);
        return;
    }
    canvas.fillRect(r, color1);
}

// ---- images ----------------------------------------------------------------------------------

void TqvNavBarImagePainter::DrawImage(TqvCanvas &canvas, const TqvImageList *list, int index, const TRect &r,
                                      bool enabled)
{
    if (!list || index < 0 || index >= list->count())
        return;
    list->draw(canvas, r.left, r.top, index, enabled);
}

// ---- selections ------------------------------------------------------------------------------

void TqvNavBarSelectionPainter::DrawSelection(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                                              TColor color)
{
    if (r.isEmpty() || isNoColor(color))
        return;
    const Shades s(canvas, color);
    if (isPressedOrSelected(state))
        canvas.frame3D(r, s.dark20, s.light20);
    else if (state & sHotTracked)
        canvas.frame3D(r, s.light20, s.dark20);
}

void TqvNavBarVSToolBoxSelectionPainter::DrawSelection(TqvCanvas &canvas, const TRect &r,
                                                       TqvNavBarObjectStates state, TColor color)
{
    TqvNavBarSelectionPainter::DrawSelection(canvas, r, state, color);
    if (r.isEmpty() || isNoColor(color) || isPressedOrSelected(state) || !(state & sHotTracked))
        return;
    canvas.innerTopLeftLine(r, Shades(canvas, color).light70);
}

void TqvNavBarUltraFlatSelectionPainter::DrawSelection(TqvCanvas &canvas, const TRect &r,
                                                       TqvNavBarObjectStates state, TColor)
{
    if (r.isEmpty() || !(state & (sHotTracked | sPressed | sSelected)))
        return;
    const bool onlyPressed = (state & sPressed) && !(state & sSelected);
    canvas.setPen(clHighlight);
    canvas.setBrush(onlyPressed ? UltraFlatPressedColor() : UltraFlatSelectedColor());
    canvas.rectangle(r);
}

void TqvNavBarXPSelectionPainter::DrawSelection(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                                                TColor color)
{
    const int themeState = isPressedOrSelected(state) ? 3 : (state & sHotTracked) ? 2 : 1;
    if (!TqvNavBarXPPainter::DrawThemed(canvas, r, tcToolBar, 1, themeState))
        TqvNavBarSelectionPainter::DrawSelection(canvas, r, state, color);
}

// ---- signs -----------------------------------------------------------------------------------

void TqvNavBarExplorerBarSignPainter::drawChevrons(TqvCanvas &canvas, const TRect &r, TColor color, bool up)
{
    if (isNoColor(color))
        return;
    canvas.setPen(color);
    const int cx = r.left + r.width() / 2 - 1;
    const int cy = r.top + r.height() / 2;
    // Each chevron is 7 pixels wide and 4 high (arms of 3 plus the second copy); the two are 4
    // pixels apart and together span cy - 4 .. cy + 4.
    const int dir = up ? -1 : 1;
    auto chevron = [&](int apexY) {
        for (int copy = 0; copy < 2; ++copy) {
            const int ay = apexY + copy * dir;
            const int armY = ay - 3 * dir;
            canvas.line(TPoint{cx - 3, armY}, TPoint{cx, ay});
            canvas.line(TPoint{cx, ay}, TPoint{cx + 4, armY - dir}); // the end point is not drawn
        }
    };
    if (up) {
        chevron(cy - 3);
        chevron(cy + 1);
    } else {
        chevron(cy - 1);
        chevron(cy + 3);
    }
}

void TqvNavBarExplorerBarSignPainter::drawSignWith(decltype(&DrawSignBackground) background, TqvCanvas &canvas,
                                                   const TRect &r, TColor foreColor, TColor backColor,
                                                   TqvNavBarObjectStates state)
{
    if (r.isEmpty())
        return;
    ClipToRect clip(canvas, r);
    background(canvas, r, foreColor, backColor, state);
    drawChevrons(canvas, r, foreColor, state & sExpanded);
}

void TqvNavBarExplorerBarSignPainter::DrawSign(TqvCanvas &canvas, const TRect &r, TColor foreColor, TColor backColor,
                                               TqvNavBarObjectStates state)
{
    drawSignWith(&TqvNavBarExplorerBarSignPainter::DrawSignBackground, canvas, r, foreColor, backColor, state);
}

void TqvNavBarExplorerBarSignPainter::DrawSignBackground(TqvCanvas &canvas, const TRect &r, TColor, TColor,
                                                         TqvNavBarObjectStates state)
{
    if (state & sHotTracked)
        canvas.drawEdge(r, true);
}

void TqvNavBarAdvExplorerBarSignPainter::DrawSign(TqvCanvas &canvas, const TRect &r, TColor foreColor,
                                                  TColor backColor, TqvNavBarObjectStates state)
{
    drawSignWith(&TqvNavBarAdvExplorerBarSignPainter::DrawSignBackground, canvas, r, foreColor, backColor, state);
}

void TqvNavBarAdvExplorerBarSignPainter::DrawSignBackground(TqvCanvas &canvas, const TRect &r, TColor,
                                                            TColor backColor, TqvNavBarObjectStates)
{
    const TRect circle = r.inflated(-2, -2);
    if (circle.isEmpty())
        return;
    canvas.setPen(RGBColor(192, 192, 192), 2);
    canvas.setBrush(backColor);
    canvas.ellipse(circle);
    if (IsGDIPlusAvailable()) {
        TqvGPGraphics graphics(canvas);
        const TqvGPPen pen(ColorRefToARGB(clHighlight, canvas.palette(), 90), 2);
        graphics.DrawArc(pen, circle, 0, 100);
    } else {
        // From the right-middle point clockwise to the bottom-middle one.
        canvas.setPen(clHighlight, 1);
        canvas.arc(circle, 0, 90);
    }
}

void TqvNavBarXPExplorerBarSignPainter::DrawSign(TqvCanvas &canvas, const TRect &r, TColor foreColor,
                                                 TColor backColor, TqvNavBarObjectStates state)
{
    const int part = (state & sExpanded) ? 6 : 7;
    const int themeState = (state & sPressed) ? 3 : (state & sHotTracked) ? 2 : 1;
    if (!TqvNavBarXPPainter::DrawThemed(canvas, r, tcExplorerBar, part, themeState))
        TqvNavBarExplorerBarSignPainter::DrawSign(canvas, r, foreColor, backColor, state);
}

// ---- hints -----------------------------------------------------------------------------------

void TqvNavBarHintPainter::DrawHint(TqvCanvas &canvas, const TRect &r, const TqvStyleFont &font,
                                    TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                                    TColor color2, const TqvPicture *picture, const QString &text)
{
    if (text.isEmpty() || r.isEmpty())
        return;
    ClipToRect clip(canvas, r);
    TqvNavBarBackgroundPainter::DrawBackground(canvas, r, picture, mode, alpha1, alpha2, color1, color2, true);
    canvas.drawEdge(r, true);
    canvas.setFont(font);
    TRect textRect = r.inflated(-1, -1);
    canvas.drawText(text, textRect, DT_WORDBREAK | DT_NOPREFIX);
}

// ---- group-caption buttons -------------------------------------------------------------------

void TqvNavBarButtonPainter::drawBackground(TqvCanvas &canvas, const TRect &r, TqvBarStyleGradientMode mode,
                                            uint8_t alpha1, uint8_t alpha2, TColor color1, TColor color2,
                                            const TqvPicture *picture)
{
    TqvNavBarBackgroundPainter::DrawBackground(canvas, r, picture, mode, alpha1, alpha2, color1, color2, false);
}

void TqvNavBarButtonPainter::drawActiveLine(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state)
{
    if (state & sActive)
        canvas.fillRect(TRect(r.left, r.bottom - 1, r.right, r.bottom), clBlack);
}

void TqvNavBarButtonPainter::DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                                        TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                                        TColor color2, const TqvPicture *picture)
{
    if (r.isEmpty())
        return;
    drawBackground(canvas, r, mode, alpha1, alpha2, color1, color2, picture);
    if (!isNoColor(color1)) {
        const Shades s(canvas, color1);
        if (state & sPressed) {
            canvas.frameRect(r, s.dark20);
            canvas.frameRect(r.inflated(-1, -1), s.dark70);
        } else {
            canvas.frame3D(r, s.light20, s.dark20);
            canvas.frame3D(r.inflated(-1, -1), s.light70, s.dark70);
        }
    }
    drawActiveLine(canvas, r, state);
}

void TqvNavBarFlatButtonPainter::DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                                            TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                                            TColor color1, TColor color2, const TqvPicture *picture)
{
    if (r.isEmpty())
        return;
    drawBackground(canvas, r, mode, alpha1, alpha2, color1, color2, picture);
    if (!isNoColor(color1)) {
        const Shades s(canvas, color1);
        if (state & sPressed) {
            canvas.frame3D(r, s.dark20, s.light20);
            canvas.innerTopLeftLine(r, s.dark70);
        } else if (state & sHotTracked) {
            canvas.frame3D(r, s.light20, s.dark20);
            canvas.innerBottomRightLine(r, s.dark70);
        } else {
            canvas.frame3D(r, s.light20, s.dark70);
        }
    }
    drawActiveLine(canvas, r, state);
}

void TqvNavBarVSToolBoxButtonPainter::DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                                                 TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                                                 TColor color1, TColor color2, const TqvPicture *picture)
{
    if (r.isEmpty())
        return;
    drawBackground(canvas, r, mode, alpha1, alpha2, color1, color2, picture);
    if (isNoColor(color1))
        return;
    const Shades s(canvas, color1);
    if (state & sPressed) {
        canvas.frame3D(r, s.dark20, s.light20);
        canvas.innerTopLeftLine(r, s.dark70);
    } else {
        canvas.frame3D(r, s.light20, s.dark20);
        canvas.innerTopLeftLine(r, s.light70);
    }
}

void TqvNavBarOfficeButtonPainter::DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                                              TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                                              TColor color1, TColor color2, const TqvPicture *picture)
{
    if (r.isEmpty())
        return;
    drawBackground(canvas, r, mode, alpha1, alpha2, color1, color2, picture);
    if (!isNoColor(color1)) {
        const Shades s(canvas, color1);
        if (state & sPressed) {
            canvas.frame3D(r, s.dark20, s.light20);
            canvas.innerTopLeftLine(r, s.dark70);
        } else if (state & sHotTracked) {
            canvas.frame3D(r, s.light20, s.dark20);
            canvas.frame3D(r.inflated(-1, -1), s.light70, s.dark70);
        } else {
            canvas.frame3D(r, s.light20, s.dark20);
        }
    }
    drawActiveLine(canvas, r, state);
}

void TqvNavBarExplorerButtonPainter::DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates,
                                                TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                                                TColor color1, TColor color2, const TqvPicture *picture)
{
    drawBackground(canvas, r, mode, alpha1, alpha2, color1, color2, picture);
}

void TqvNavBarAdvExplorerButtonPainter::DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates,
                                                   TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                                                   TColor color1, TColor color2, const TqvPicture *picture)
{
    if (r.isEmpty())
        return;
    // Exclusions made earlier in the paint (scroll buttons, cut links) must survive: the clipping
    // region found here is put back, not reset.
    TqvCanvas::ClipSaver saver(canvas);
    canvas.excludeClipRect(TRect(r.left, r.top, r.left + 2, r.top + 1));
    canvas.excludeClipRect(TRect(r.left, r.top, r.left + 1, r.top + 2));
    canvas.excludeClipRect(TRect(r.right - 2, r.top, r.right, r.top + 1));
    canvas.excludeClipRect(TRect(r.right - 1, r.top, r.right, r.top + 2));
    drawBackground(canvas, r, mode, alpha1, alpha2, color1, color2, picture);
}

void TqvNavBarXPButtonPainter::DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                                          TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                                          TColor color1, TColor color2, const TqvPicture *picture)
{
    const int themeState = (state & sPressed) ? 3 : (state & sHotTracked) ? 2 : (state & sActive) ? 5 : 1;
    if (!TqvNavBarXPPainter::DrawThemed(canvas, r, tcButton, 1, themeState))
        TqvNavBarOfficeButtonPainter::DrawButton(canvas, r, state, mode, alpha1, alpha2, color1, color2, picture);
}

void TqvNavBarXPExplorerBarButtonPainter::DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                                                     TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                                                     TColor color1, TColor color2, const TqvPicture *picture)
{
    if (!TqvNavBarXPPainter::DrawThemed(canvas, r, tcExplorerBar, 8, 0))
        TqvNavBarExplorerButtonPainter::DrawButton(canvas, r, state, mode, alpha1, alpha2, color1, color2, picture);
}

// ---- scroll buttons --------------------------------------------------------------------------

std::vector<TPoint> TqvNavBarScrollButtonsPainter::BottomTriangle(const TRect &r)
{
    const int h = r.height(), q = h / 4;
    const TPoint tip{r.left + r.width() / 2 - 1, r.top + h / 2 + q / 2 - 1};
    const int baseY = tip.y - (q - 1);
    const int x1 = tip.x - (2 * q - 1) / 2;
    return {tip, TPoint{x1, baseY}, TPoint{x1 + 2 * q - 2, baseY}};
}

std::vector<TPoint> TqvNavBarScrollButtonsPainter::TopTriangle(const TRect &r)
{
    const int h = r.height(), q = h / 4;
    const TPoint tip{r.left + r.width() / 2 - 1, r.top + h / 2 - q / 2 - 1};
    const int baseY = tip.y + (q - 1);
    const int x1 = tip.x - (2 * q - 1) / 2;
    return {tip, TPoint{x1, baseY}, TPoint{x1 + 2 * q - 2, baseY}};
}

namespace {

void drawScrollButton(TqvCanvas &canvas, const TRect &r, const TqvButtonPainterClass *buttonPainter,
                      TqvNavBarObjectStates state, TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                      TColor color1, TColor color2, const TqvPicture *picture, const std::vector<TPoint> &triangle)
{
    if (r.isEmpty())
        return;
    {
        ClipToRect clip(canvas, r);
        if (buttonPainter && buttonPainter->DrawButton)
            buttonPainter->DrawButton(canvas, r, state, mode, alpha1, alpha2, color1, color2, picture);
        const TColor arrow = (state & sHidden) ? clGrayText : clBlack;
        canvas.setPen(arrow);
        canvas.setBrush(arrow);
        canvas.polygon(triangle);
    }
    // Later drawing in this paint leaves the button alone.
    canvas.excludeClipRect(r);
}

} // namespace

void TqvNavBarScrollButtonsPainter::DrawBottomButton(TqvCanvas &canvas, const TRect &r,
                                                     const TqvButtonPainterClass *buttonPainter,
                                                     TqvNavBarObjectStates state, TqvBarStyleGradientMode mode,
                                                     uint8_t alpha1, uint8_t alpha2, TColor color1, TColor color2,
                                                     const TqvPicture *picture)
{
    drawScrollButton(canvas, r, buttonPainter, state, mode, alpha1, alpha2, color1, color2, picture, BottomTriangle(r));
}

void TqvNavBarScrollButtonsPainter::DrawTopButton(TqvCanvas &canvas, const TRect &r,
                                                  const TqvButtonPainterClass *buttonPainter,
                                                  TqvNavBarObjectStates state, TqvBarStyleGradientMode mode,
                                                  uint8_t alpha1, uint8_t alpha2, TColor color1, TColor color2,
                                                  const TqvPicture *picture)
{
    drawScrollButton(canvas, r, buttonPainter, state, mode, alpha1, alpha2, color1, color2, picture, TopTriangle(r));
}

namespace {

int scrollThemeState(TqvNavBarObjectStates state, int firstState)
{
    return firstState + ((state & sPressed) ? 2 : (state & sHotTracked) ? 1 : 0);
}

} // namespace

void TqvNavBarXPScrollButtonsPainter::DrawBottomButton(TqvCanvas &canvas, const TRect &r,
                                                       const TqvButtonPainterClass *buttonPainter,
                                                       TqvNavBarObjectStates state, TqvBarStyleGradientMode mode,
                                                       uint8_t alpha1, uint8_t alpha2, TColor color1, TColor color2,
                                                       const TqvPicture *picture)
{
    if (TqvNavBarXPPainter::DrawThemed(canvas, r, tcScrollBar, 1, scrollThemeState(state, 5)))
        canvas.excludeClipRect(r);
    else
        TqvNavBarScrollButtonsPainter::DrawBottomButton(canvas, r, buttonPainter, state, mode, alpha1, alpha2, color1,
                                                        color2, picture);
}

void TqvNavBarXPScrollButtonsPainter::DrawTopButton(TqvCanvas &canvas, const TRect &r,
                                                    const TqvButtonPainterClass *buttonPainter,
                                                    TqvNavBarObjectStates state, TqvBarStyleGradientMode mode,
                                                    uint8_t alpha1, uint8_t alpha2, TColor color1, TColor color2,
                                                    const TqvPicture *picture)
{
    if (TqvNavBarXPPainter::DrawThemed(canvas, r, tcScrollBar, 1, scrollThemeState(state, 1)))
        canvas.excludeClipRect(r);
    else
        TqvNavBarScrollButtonsPainter::DrawTopButton(canvas, r, buttonPainter, state, mode, alpha1, alpha2, color1,
                                                     color2, picture);
}

// ---- drop targets ----------------------------------------------------------------------------

void TqvNavBarDropTargetLinkPainter::DrawTargetLink(TqvCanvas &canvas, TPoint a, TColor color, TPoint b, TPoint c,
                                                    TPoint d, TPoint e, TPoint f)
{
    if (isNoColor(color))
        return;
    canvas.setPen(color);
    canvas.setBrush(color);
    // The outline A, F, E, A, D, C, B, D is two wedges (A-F-E and D-C-B) joined by the bar A-D.
    // Filled as one polygon the wedges cancel where they overlap, leaving a gap in the middle of
    // the mark; drawn as its parts the whole mark is solid.
    canvas.polygon({a, f, e});
    canvas.polygon({d, c, b});
    canvas.line(a, d);
    canvas.line(d, a);
}

void TqvNavBarDropTargetGroupPainter::DrawTargetGroup(TqvCanvas &canvas, const TRect &r,
                                                      TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2,
                                                      TColor color1, TColor color2)
{
    if (!IsGDIPlusAvailable() || r.isEmpty())
        return;
    TqvNavBarBackgroundPainter::DrawBackground(canvas, r, nullptr, mode, alpha1, alpha2, color1, color2, false);
    canvas.frameRect(r, color1);
    canvas.frameRect(r.inflated(-1, -1), color1);
}

} // namespace controls
