// Element painters of the navigation bar: backgrounds (plain, gradient, tiled picture), item
// images, selection frames, expand signs, hints, group-caption buttons, scroll buttons and
// drop-target marks.
//
// Each painter is a stateless class with static drawing operations; none is ever instantiated.
// A view picks a painter by its class reference (the `Class` member: a table with the class name
// and the drawing operations), so the bar's painter calls e.g.
//     view.buttonPainter->DrawButton(canvas, rect, state, ...);
// Derived painters follow the family tree (an XP painter derives from the painter it falls back
// to). The base classes draw nothing.
//
// Shared rules:
//  - colours are TColor values; system colours are resolved before any arithmetic, and an element
//    whose colour is clNone is not drawn;
//  - every painter stays inside the rectangle it is given (empty and tiny rectangles included) and
//    leaves the canvas's clipping region as it found it, except the scroll-buttons painters, which
//    exclude the button they drew so that later drawing leaves it alone;
//  - XP painters draw a theme part when visual styles are available (theme.h) and otherwise draw
//    exactly what their base painter draws;
//  - gradients use the gradient stand-in (gdiplus.h) when IsGDIPlusAvailable().
// User-interface thread only.
#pragma once

#include "controls/paint/canvas.h"
#include "controls/paint/color.h"
#include "controls/paint/graphic.h"
#include "controls/paint/theme.h"
#include "controls/paint/types.h"

#include <QString>

namespace controls {

// ---- class references ------------------------------------------------------------------------

using DrawBackgroundFn = void (*)(TqvCanvas &, const TRect &, const TqvPicture *, TqvBarStyleGradientMode,
                                  uint8_t alpha1, uint8_t alpha2, TColor color1, TColor color2, bool erase);
using DrawImageFn = void (*)(TqvCanvas &, const TqvImageList *, int index, const TRect &, bool enabled);
using DrawSelectionFn = void (*)(TqvCanvas &, const TRect &, TqvNavBarObjectStates, TColor);
using DrawSignFn = void (*)(TqvCanvas &, const TRect &, TColor foreColor, TColor backColor, TqvNavBarObjectStates);
using DrawHintFn = void (*)(TqvCanvas &, const TRect &, const TqvStyleFont &, TqvBarStyleGradientMode,
                            uint8_t alpha1, uint8_t alpha2, TColor color1, TColor color2, const TqvPicture *,
                            const QString &text);
using DrawButtonFn = void (*)(TqvCanvas &, const TRect &, TqvNavBarObjectStates, TqvBarStyleGradientMode,
                              uint8_t alpha1, uint8_t alpha2, TColor color1, TColor color2, const TqvPicture *);
struct TqvButtonPainterClass;
using DrawScrollButtonFn = void (*)(TqvCanvas &, const TRect &, const TqvButtonPainterClass *buttonPainter,
                                    TqvNavBarObjectStates, TqvBarStyleGradientMode, uint8_t alpha1,
                                    uint8_t alpha2, TColor color1, TColor color2, const TqvPicture *);
using DrawTargetLinkFn = void (*)(TqvCanvas &, TPoint a, TColor, TPoint b, TPoint c, TPoint d, TPoint e, TPoint f);
using DrawTargetGroupFn = void (*)(TqvCanvas &, const TRect &, TqvBarStyleGradientMode, uint8_t alpha1,
                                   uint8_t alpha2, TColor color1, TColor color2);

struct TqvBackgroundPainterClass { const char *className; DrawBackgroundFn DrawBackground; };
struct TqvImagePainterClass { const char *className; DrawImageFn DrawImage; };
struct TqvSelectionPainterClass { const char *className; DrawSelectionFn DrawSelection; };
struct TqvSignPainterClass { const char *className; DrawSignFn DrawSign; };
struct TqvHintPainterClass { const char *className; DrawHintFn DrawHint; };
struct TqvButtonPainterClass { const char *className; DrawButtonFn DrawButton; };
struct TqvScrollButtonsPainterClass {
    const char *className;
    DrawScrollButtonFn DrawBottomButton;
    DrawScrollButtonFn DrawTopButton;
};
struct TqvDropTargetLinkPainterClass { const char *className; DrawTargetLinkFn DrawTargetLink; };
struct TqvDropTargetGroupPainterClass { const char *className; DrawTargetGroupFn DrawTargetGroup; };

// Every painter class: never instantiated.
class TqvPainterClassBase {
public:
    TqvPainterClassBase() = delete;
};

// ---- backgrounds -----------------------------------------------------------------------------

class TqvBaseBackgroundPainter : public TqvPainterClassBase {
public:
    static void DrawBackground(TqvCanvas &, const TRect &, const TqvPicture *, TqvBarStyleGradientMode, uint8_t,
                               uint8_t, TColor, TColor, bool) {}
    static const TqvBackgroundPainterClass Class;
};

// With gradients usable and a background that is not one opaque colour (colour 1 = colour 2, both
// alphas 255): the picture tiled (or white with erase), then a gradient from colour 1 at alpha 1 to
// colour 2 at alpha 2 over it. Otherwise: with alpha 1 = 0 the picture tiled (or white with erase,
// or nothing); else a solid fill of colour 1. A clNone end of a gradient is transparent.
class TqvNavBarBackgroundPainter : public TqvBaseBackgroundPainter {
public:
    static void DrawBackground(TqvCanvas &canvas, const TRect &r, const TqvPicture *picture,
                               TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                               TColor color2, bool erase);
    // Tiles a picture over r, tiles aligned to the canvas origin; a picture that cannot be drawn
    // (empty, a metafile, no pixels) draws nothing.
    static void TilePicture(TqvCanvas &canvas, const TRect &r, const TqvPicture &picture);
    static const TqvBackgroundPainterClass Class;
};

// ---- images ----------------------------------------------------------------------------------

class TqvBaseImagePainter : public TqvPainterClassBase {
public:
    static void DrawImage(TqvCanvas &, const TqvImageList *, int, const TRect &, bool) {}
    static const TqvImagePainterClass Class;
};

// The image at the rectangle's top-left corner; nothing without a list or for an index outside
// 0 .. count - 1.
class TqvNavBarImagePainter : public TqvBaseImagePainter {
public:
    static void DrawImage(TqvCanvas &canvas, const TqvImageList *list, int index, const TRect &r, bool enabled);
    static const TqvImagePainterClass Class;
};

// ---- selections ------------------------------------------------------------------------------

class TqvBaseSelectionPainter : public TqvPainterClassBase {
public:
    static void DrawSelection(TqvCanvas &, const TRect &, TqvNavBarObjectStates, TColor) {}
    static const TqvSelectionPainterClass Class;
};

// Pressed or selected: a sunken frame (top-left dark 20, bottom-right light 20); hot-tracked: a
// raised frame (top-left light 20, bottom-right dark 20); on the rectangle's outermost pixels.
class TqvNavBarSelectionPainter : public TqvBaseSelectionPainter {
public:
    static void DrawSelection(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state, TColor color);
    static const TqvSelectionPainterClass Class;
};

// As the plain selection, plus for a hot-tracked link a top-left line of light 70 one pixel inside.
class TqvNavBarVSToolBoxSelectionPainter : public TqvBaseSelectionPainter {
public:
    static void DrawSelection(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state, TColor color);
    static const TqvSelectionPainterClass Class;
};

// Hot, pressed or selected: the rectangle framed in the highlight colour and filled with the
// pressed mix (pressed, not selected) or the selected mix (colour.h).
class TqvNavBarUltraFlatSelectionPainter : public TqvBaseSelectionPainter {
public:
    static void DrawSelection(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state, TColor color);
    static const TqvSelectionPainterClass Class;
};

// Theme "ToolBar", part 1, state 3 pressed or selected, 2 hot-tracked, else 1.
class TqvNavBarXPSelectionPainter : public TqvNavBarSelectionPainter {
public:
    static void DrawSelection(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state, TColor color);
    static const TqvSelectionPainterClass Class;
};

// ---- signs -----------------------------------------------------------------------------------

class TqvBaseSignPainter : public TqvPainterClassBase {
public:
    static void DrawSign(TqvCanvas &, const TRect &, TColor, TColor, TqvNavBarObjectStates) {}
    static const TqvSignPainterClass Class;
};

// The sign background, then two chevrons 4 pixels apart in foreColor, about 7 pixels wide and
// centred on the rectangle, pointing up for an expanded group (flag 4) and down otherwise.
class TqvNavBarExplorerBarSignPainter : public TqvBaseSignPainter {
public:
    static void DrawSign(TqvCanvas &canvas, const TRect &r, TColor foreColor, TColor backColor,
                         TqvNavBarObjectStates state);
    // A raised edge around the rectangle while hot-tracked.
    static void DrawSignBackground(TqvCanvas &canvas, const TRect &r, TColor foreColor, TColor backColor,
                                   TqvNavBarObjectStates state);
    static const TqvSignPainterClass Class;

protected:
    static void drawSignWith(decltype(&DrawSignBackground) background, TqvCanvas &canvas, const TRect &r,
                             TColor foreColor, TColor backColor, TqvNavBarObjectStates state);
    static void drawChevrons(TqvCanvas &canvas, const TRect &r, TColor color, bool up);
};

// The sign background is a circle (the rectangle shrunk by 2) filled with backColor, outlined with
// a 2-pixel light grey pen, with a highlight arc from its right-middle point clockwise past the
// bottom (100 degrees, alpha 90) when gradients are usable, else to the bottom-middle point.
class TqvNavBarAdvExplorerBarSignPainter : public TqvNavBarExplorerBarSignPainter {
public:
    static void DrawSign(TqvCanvas &canvas, const TRect &r, TColor foreColor, TColor backColor,
                         TqvNavBarObjectStates state);
    static void DrawSignBackground(TqvCanvas &canvas, const TRect &r, TColor foreColor, TColor backColor,
                                   TqvNavBarObjectStates state);
    static const TqvSignPainterClass Class;
};

// Theme "ExplorerBar", part 6 expanded or 7 collapsed, state 3 pressed, 2 hot-tracked, else 1.
class TqvNavBarXPExplorerBarSignPainter : public TqvNavBarExplorerBarSignPainter {
public:
    static void DrawSign(TqvCanvas &canvas, const TRect &r, TColor foreColor, TColor backColor,
                         TqvNavBarObjectStates state);
    static const TqvSignPainterClass Class;
};

// ---- hints -----------------------------------------------------------------------------------

class TqvBaseHintPainter : public TqvPainterClassBase {
public:
    static void DrawHint(TqvCanvas &, const TRect &, const TqvStyleFont &, TqvBarStyleGradientMode, uint8_t,
                         uint8_t, TColor, TColor, const TqvPicture *, const QString &) {}
    static const TqvHintPainterClass Class;
};

// With a non-empty text: the background (with erase), a raised edge around the rectangle, and the
// text word-wrapped, without prefix processing, inside the rectangle shrunk by 1.
class TqvNavBarHintPainter : public TqvBaseHintPainter {
public:
    static void DrawHint(TqvCanvas &canvas, const TRect &r, const TqvStyleFont &font, TqvBarStyleGradientMode mode,
                         uint8_t alpha1, uint8_t alpha2, TColor color1, TColor color2, const TqvPicture *picture,
                         const QString &text);
    static const TqvHintPainterClass Class;
};

// ---- group-caption buttons -------------------------------------------------------------------
// Each draws the background (without erase) and then frames in shades of colour 1; a "raised"
// frame is top-left light 20 and bottom-right dark 20, a "sunken" one the reverse. The base, flat
// and Office painters mark an active caption (flag 1) with a black line along the bottom edge.

class TqvBaseButtonPainter : public TqvPainterClassBase {
public:
    static void DrawButton(TqvCanvas &, const TRect &, TqvNavBarObjectStates, TqvBarStyleGradientMode, uint8_t,
                           uint8_t, TColor, TColor, const TqvPicture *) {}
    static const TqvButtonPainterClass Class;
};

// Pressed: a frame of dark 20 and one of dark 70 inside it; otherwise raised, and inside it a
// raised frame of light 70 and dark 70.
class TqvNavBarButtonPainter : public TqvBaseButtonPainter {
public:
    static void DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                           TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                           TColor color2, const TqvPicture *picture);
    static const TqvButtonPainterClass Class;

protected:
    static void drawBackground(TqvCanvas &canvas, const TRect &r, TqvBarStyleGradientMode mode, uint8_t alpha1,
                               uint8_t alpha2, TColor color1, TColor color2, const TqvPicture *picture);
    static void drawActiveLine(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state);
};

// Pressed: sunken, inner top-left dark 70; hot: raised, inner bottom-right dark 70; otherwise top-left
// light 20 and bottom-right dark 70.
class TqvNavBarFlatButtonPainter : public TqvNavBarButtonPainter {
public:
    static void DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                           TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                           TColor color2, const TqvPicture *picture);
    static const TqvButtonPainterClass Class;
};

// Pressed: sunken, inner top-left dark 70; otherwise raised, inner top-left light 70; no active line.
class TqvNavBarVSToolBoxButtonPainter : public TqvNavBarButtonPainter {
public:
    static void DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                           TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                           TColor color2, const TqvPicture *picture);
    static const TqvButtonPainterClass Class;
};

// Pressed: sunken, inner top-left dark 70; hot: raised, inner frame light 70 / dark 70; otherwise
// raised.
class TqvNavBarOfficeButtonPainter : public TqvNavBarButtonPainter {
public:
    static void DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                           TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                           TColor color2, const TqvPicture *picture);
    static const TqvButtonPainterClass Class;
};

// The background only.
class TqvNavBarExplorerButtonPainter : public TqvNavBarButtonPainter {
public:
    static void DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                           TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                           TColor color2, const TqvPicture *picture);
    static const TqvButtonPainterClass Class;
};

// The background with the two top corners cut (a 2 x 1 and a 1 x 2 notch at each).
class TqvNavBarAdvExplorerButtonPainter : public TqvNavBarButtonPainter {
public:
    static void DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                           TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                           TColor color2, const TqvPicture *picture);
    static const TqvButtonPainterClass Class;
};

// Theme "Button", part 1, state 3 pressed, 2 hot-tracked, 5 active, else 1; else as Office.
class TqvNavBarXPButtonPainter : public TqvNavBarOfficeButtonPainter {
public:
    static void DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                           TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                           TColor color2, const TqvPicture *picture);
    static const TqvButtonPainterClass Class;
};

// Theme "ExplorerBar", part 8, state 0; else as Explorer.
class TqvNavBarXPExplorerBarButtonPainter : public TqvNavBarExplorerButtonPainter {
public:
    static void DrawButton(TqvCanvas &canvas, const TRect &r, TqvNavBarObjectStates state,
                           TqvBarStyleGradientMode mode, uint8_t alpha1, uint8_t alpha2, TColor color1,
                           TColor color2, const TqvPicture *picture);
    static const TqvButtonPainterClass Class;
};

// ---- scroll buttons --------------------------------------------------------------------------

class TqvBaseScrollButtonsPainter : public TqvPainterClassBase {
public:
    static void DrawBottomButton(TqvCanvas &, const TRect &, const TqvButtonPainterClass *, TqvNavBarObjectStates,
                                 TqvBarStyleGradientMode, uint8_t, uint8_t, TColor, TColor, const TqvPicture *) {}
    static void DrawTopButton(TqvCanvas &, const TRect &, const TqvButtonPainterClass *, TqvNavBarObjectStates,
                              TqvBarStyleGradientMode, uint8_t, uint8_t, TColor, TColor, const TqvPicture *) {}
    static const TqvScrollButtonsPainterClass Class;
};

// The button by the view's button painter, a filled triangle (black, clGrayText with flag 2)
// pointing down (bottom) or up (top), then the button is excluded from the clipping region.
class TqvNavBarScrollButtonsPainter : public TqvBaseScrollButtonsPainter {
public:
    static void DrawBottomButton(TqvCanvas &canvas, const TRect &r, const TqvButtonPainterClass *buttonPainter,
                                 TqvNavBarObjectStates state, TqvBarStyleGradientMode mode, uint8_t alpha1,
                                 uint8_t alpha2, TColor color1, TColor color2, const TqvPicture *picture);
    static void DrawTopButton(TqvCanvas &canvas, const TRect &r, const TqvButtonPainterClass *buttonPainter,
                              TqvNavBarObjectStates state, TqvBarStyleGradientMode mode, uint8_t alpha1,
                              uint8_t alpha2, TColor color1, TColor color2, const TqvPicture *picture);
    static const TqvScrollButtonsPainterClass Class;

    // The triangle's three corners (tip first) for a button rectangle.
    static std::vector<TPoint> BottomTriangle(const TRect &r);
    static std::vector<TPoint> TopTriangle(const TRect &r);
};

// Theme "ScrollBar", part 1, states 5, 6, 7 (normal, hot, pressed) for the bottom button and 1, 2, 3
// for the top one; else as the plain scroll buttons.
class TqvNavBarXPScrollButtonsPainter : public TqvNavBarScrollButtonsPainter {
public:
    static void DrawBottomButton(TqvCanvas &canvas, const TRect &r, const TqvButtonPainterClass *buttonPainter,
                                 TqvNavBarObjectStates state, TqvBarStyleGradientMode mode, uint8_t alpha1,
                                 uint8_t alpha2, TColor color1, TColor color2, const TqvPicture *picture);
    static void DrawTopButton(TqvCanvas &canvas, const TRect &r, const TqvButtonPainterClass *buttonPainter,
                              TqvNavBarObjectStates state, TqvBarStyleGradientMode mode, uint8_t alpha1,
                              uint8_t alpha2, TColor color1, TColor color2, const TqvPicture *picture);
    static const TqvScrollButtonsPainterClass Class;
};

// ---- drop targets ----------------------------------------------------------------------------

class TqvBaseDropTargetLinkPainter : public TqvPainterClassBase {
public:
    static void DrawTargetLink(TqvCanvas &, TPoint, TColor, TPoint, TPoint, TPoint, TPoint, TPoint) {}
    static const TqvDropTargetLinkPainterClass Class;
};

// The mark outlined by A, F, E, A, D, C, B, D filled (brush and pen) in the colour: the wedges
// A-F-E and D-C-B and the bar A-D, solid where the wedges overlap.
class TqvNavBarDropTargetLinkPainter : public TqvBaseDropTargetLinkPainter {
public:
    static void DrawTargetLink(TqvCanvas &canvas, TPoint a, TColor color, TPoint b, TPoint c, TPoint d, TPoint e,
                               TPoint f);
    static const TqvDropTargetLinkPainterClass Class;
};

class TqvBaseDropTargetGroupPainter : public TqvPainterClassBase {
public:
    static void DrawTargetGroup(TqvCanvas &, const TRect &, TqvBarStyleGradientMode, uint8_t, uint8_t, TColor,
                                TColor) {}
    static const TqvDropTargetGroupPainterClass Class;
};

// With gradients usable: the drop-target style's background over the group and a 2-pixel frame of
// colour 1 around it; nothing otherwise.
class TqvNavBarDropTargetGroupPainter : public TqvBaseDropTargetGroupPainter {
public:
    static void DrawTargetGroup(TqvCanvas &canvas, const TRect &r, TqvBarStyleGradientMode mode, uint8_t alpha1,
                                uint8_t alpha2, TColor color1, TColor color2);
    static const TqvDropTargetGroupPainterClass Class;
};

// ---- themed drawing --------------------------------------------------------------------------

class TqvNavBarXPPainter : public TqvPainterClassBase {
public:
    // Opens the class's theme and, with a handle, draws the part in the state into r and answers
    // true; false (nothing drawn) when visual styles are not available: the caller falls back.
    static bool DrawThemed(TqvCanvas &canvas, const TRect &r, TqvThemeClass cls, int part, int state);
};

} // namespace controls
