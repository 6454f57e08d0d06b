// The navigation bar's painter: draws one view of the bar into the bar's back buffer and copies it
// to the screen.
//
// TqvNavBarPainter owns the bar's view information, names (through its class table) the view
// information kind and the element painters of its view, fills the bar's default styles for the
// view, and paints. Each view of the views registry (nav_bar_views.h) is a class derived from it.
//
// The bar is reached through TqvNavBarPainterHost: the view information's source plus what only the
// painter needs (the back buffer, the palette, the custom-draw handlers, the drag state, the active
// group and partial invalidation).
//
// Painting: the bar reports every change to InvalidateViewInfo (the painter marks its three flags
// and passes the change on to the view information). Paint clears each flag as its step starts, so
// a change reported while the picture is drawn (a custom-draw handler that sets a caption) leaves
// its flag set and shows in the next paint; a change that needs a rebuild (something freed) stops
// the drawing at once and Paint draws again from a new layout. The back buffer is redrawn only when the redraw flag is
// set (or the buffer was remade); otherwise Paint only copies it. Clip exclusions live for one
// paint: every paint draws through a fresh canvas. Hosted group controls are child widgets, which Qt
// never paints over, so nothing here clips them out.
//
// A painter is made only through MakeNavBarPainter (nav_bar_views.h) or Create<T>: construction
// then runs the view's virtual choices (view information kind, ResetState), which a C++ constructor
// cannot. User-interface thread only.
#pragma once

#include "controls/navbar/nav_bar_view_info.h"
#include "controls/paint/painters.h"

#include <QImage>
#include <QPalette>
#include <functional>
#include <memory>

class QPainter;
class QRect;

namespace controls {

class TqvNavBarPainter;

// Custom drawing: the handler draws on the canvas and sets handled to suppress the default drawing
// (handled starts false on every call).
using TqvNavBarCustomDrawEvent = std::function<void(TqvCanvas &canvas, TqvNavBarViewInfo &viewInfo, bool &handled)>;
using TqvNavBarCustomDrawGroupEvent =
    std::function<void(TqvCanvas &canvas, TqvNavBarGroupViewInfo &viewInfo, bool &handled)>;
using TqvNavBarCustomDrawLinkEvent =
    std::function<void(TqvCanvas &canvas, TqvNavBarLinkViewInfo &viewInfo, bool &handled)>;

struct TqvNavBarPainterEvents {
    TqvNavBarCustomDrawEvent OnCustomDrawBackground;
    TqvNavBarCustomDrawEvent OnCustomDrawBottomScrollButton;
    TqvNavBarCustomDrawEvent OnCustomDrawTopScrollButton;
    TqvNavBarCustomDrawGroupEvent OnCustomDrawGroupCaption;
    TqvNavBarCustomDrawGroupEvent OnCustomDrawGroupClientBackground;
    TqvNavBarCustomDrawGroupEvent OnCustomDrawGroupClientForeground;
    TqvNavBarCustomDrawLinkEvent OnCustomDrawLink;
};

// What a drag under way means to the painter (the bar's drag queries).
struct TqvNavBarPaintDragState {
    bool dragging = false;
    TqvNavBarGroup *group = nullptr;    // the dragged group
    TqvNavBarItemLink *link = nullptr;  // the dragged link
    TqvNavBarItem *item = nullptr;      // an item dragged in from outside the groups
    bool allowDropGroup = false;
    bool allowDropLink = false;
};

// The bar as its painter sees it. The bar hands every change to an existing painter only
// (InvalidateViewInfo); it never makes one to report a change: a painter being made reports
// changes itself (ResetState clears link selections), and making a second one then would leave
// two.
class TqvNavBarPainterHost : public TqvNavBarViewInfoSource {
public:
    // The off-screen bitmap the bar owns; the painter sizes it on first use (see Paint).
    virtual QImage &BackBuffer() = 0;
    // The device pixel ratio the back buffer is made for.
    virtual qreal DevicePixelRatio() const { return 1.0; }
    // The colours system colours resolve to.
    virtual QPalette PaintPalette() const = 0;
    virtual const TqvNavBarPainterEvents &PainterEvents() const = 0;
    virtual TqvNavBarPaintDragState DragState() const = 0;
    // The bar's active group becomes group (raises the bar's active-group change).
    virtual void SetActiveGroup(TqvNavBarGroup *group) = 0;
    // Asks for a repaint of part of the client area.
    virtual void InvalidateRect(const TRect &r, bool erase) = 0;
};

class TqvNavBarPainter {
public:
    virtual ~TqvNavBarPainter();
    TqvNavBarPainter(const TqvNavBarPainter &) = delete;
    TqvNavBarPainter &operator=(const TqvNavBarPainter &) = delete;

    // Makes a painter of class T for the bar: stores the bar, creates the view information of
    // T's kind, sets the three flags and runs ResetState.
    template <typename T>
    static std::unique_ptr<TqvNavBarPainter> Create(TqvNavBarPainterHost &bar)
    {
        std::unique_ptr<TqvNavBarPainter> p(new T(bar));
        p->Initialize();
        return p;
    }

    TqvNavBarPainterHost &Bar() const { return bar_; }
    TqvNavBarViewInfo &ViewInfo() const { return *viewInfo_; }
    // The canvas of the back buffer while a paint draws it; nullptr otherwise.
    TqvCanvas *Canvas() const { return canvas_; }

    // ---- drawing operations (in their slot order)
    virtual void DrawNavBar();
    virtual void DrawBackground();
    virtual void DrawGroups();
    virtual void DrawGroup(TqvNavBarGroupViewInfo &group);
    virtual void DrawGroupBackground(TqvNavBarGroupViewInfo &group);
    virtual void DrawGroupBorder(TqvNavBarGroupViewInfo &group);
    virtual void DrawGroupCaption(TqvNavBarGroupViewInfo &group);
    virtual void DrawGroupCaptionButton(TqvNavBarGroupViewInfo &group);
    virtual void DrawGroupCaptionText(TqvNavBarGroupViewInfo &group);
    virtual void DrawGroupCaptionImage(TqvNavBarGroupViewInfo &group);
    virtual void DrawGroupCaptionSign(TqvNavBarGroupViewInfo &group);
    virtual void DrawGroupLinks(TqvNavBarGroupViewInfo &group);
    virtual void DrawLink(TqvNavBarLinkViewInfo &link);
    virtual void DrawLinkCaption(TqvNavBarLinkViewInfo &link);
    virtual void DrawLinkImage(TqvNavBarLinkViewInfo &link);
    virtual void DrawLinkSelection(TqvNavBarLinkViewInfo &link);
    virtual void DrawScrollButtons();
    virtual void DrawBottomScrollButton();
    virtual void DrawTopScrollButton();
    virtual void DrawDropTargetGroupSelection();
    virtual void DrawDropTargetLinkSelection();
    // Hints are drawn on the hint window's canvas; r is its client rectangle.
    virtual void DrawGroupHint(TqvCanvas &canvas, const TRect &r, TqvNavBarGroup *group, const QString &text);
    virtual void DrawLinkHint(TqvCanvas &canvas, const TRect &r, TqvNavBarItemLink *link, const QString &text);

    // ---- the class table
    // The view information's kind: its class and its constants.
    virtual TqvNavBarViewKind GetViewInfoClass() const { return vkBase; }
    virtual const char *GetGroupViewInfoClass() const { return "TqvNavBarGroupViewInfo"; }
    virtual const char *GetLinkViewInfoClass() const { return "TqvNavBarLinkViewInfo"; }
    virtual const TqvBackgroundPainterClass *GetBackgroundPainterClass() const { return &TqvBaseBackgroundPainter::Class; }
    virtual const TqvButtonPainterClass *GetButtonPainterClass() const { return &TqvBaseButtonPainter::Class; }
    virtual const TqvDropTargetGroupPainterClass *GetDropTargetGroupPainterClass() const
    {
        return &TqvNavBarDropTargetGroupPainter::Class;
    }
    virtual const TqvDropTargetLinkPainterClass *GetDropTargetLinkPainterClass() const
    {
        return &TqvNavBarDropTargetLinkPainter::Class;
    }
    virtual const TqvScrollButtonsPainterClass *GetScrollButtonsPainterClass() const
    {
        return &TqvBaseScrollButtonsPainter::Class;
    }
    virtual const TqvImagePainterClass *GetImagePainterClass() const { return &TqvNavBarImagePainter::Class; }
    virtual const TqvSelectionPainterClass *GetSelectionPainterClass() const { return &TqvBaseSelectionPainter::Class; }
    virtual const TqvSignPainterClass *GetSignPainterClass() const { return &TqvBaseSignPainter::Class; }

    // ---- default styles 0 .. 15
    virtual void AssignDefaultBackgroundStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultButtonStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultButtonPressedStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultButtonHotTrackedStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultGroupBackgroundStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultGroupHeaderStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultGroupHeaderActiveStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultGroupHeaderHotTrackedStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultGroupHeaderPressedStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultHintStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultItemStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultItemDisabledStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultItemHotTrackedStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultItemPressedStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultDropTargetGroupStyle(TqvNavBarDefaultStyle &style);
    virtual void AssignDefaultDropTargetLinkStyle(TqvNavBarDefaultStyle &style);
    // The one of the sixteen at index (TqvNavBarDefaultStyles::Index); nothing out of range. The
    // bar hands this to its default styles as their assign-default handler.
    void AssignDefaultStyle(int index, TqvNavBarDefaultStyle &style);

    // ---- state
    // Hides the bar's scroll bar and clears every group's link selection.
    virtual void ResetState();
    // Base views: the group becomes the active group; explorer-bar views: expand, collapse, expanded.
    virtual void ActivateGroup(TqvNavBarGroup *group);
    virtual void DeactivateGroup(TqvNavBarGroup *group);
    virtual bool IsGroupActive(TqvNavBarGroup *group) const;

    // ---- invalidation and painting
    bool IsRebuildNeeded() const { return rebuild_; }
    bool IsRelayoutNeeded() const { return relayout_; }
    bool IsRedrawNeeded() const { return redraw_; }
    // Kind 0 marks a rebuild and a re-layout, kind 1 a re-layout; every kind marks a redraw.
    void InvalidateViewInfo(TqvNavBarChangeType kind);
    // Brings the back buffer up to date (layout, then drawing, each only when marked) and copies
    // the part of it inside updateRect to target at the same place.
    void Paint(QPainter &target, const QRect &updateRect);
    // Brings the back buffer up to date without copying it (Paint's first steps).
    void UpdateBackBuffer();
    // Asks the bar to repaint the visible scroll buttons' rectangles.
    void InvalidateScrollButtons();
    // True once a change asked for a rebuild of the view information while it is being drawn: a
    // custom-draw handler may have freed groups, links or items that the view informations of
    // this drawing refer to, so the drawing stops (Paint then draws again from a new layout).
    bool IsStale() const { return rebuild_ || (viewInfo_ && viewInfo_->IsRebuildPending()); }

    // Base values every default style assignment starts from (the views' style helpers use them too).
    static void resetStyle(TqvNavBarDefaultStyle &style, TColor color, uint8_t alpha = 255);
    static void setStyleFont(TqvNavBarDefaultStyle &style, TColor color, bool bold = false, bool underline = false);

protected:
    explicit TqvNavBarPainter(TqvNavBarPainterHost &bar);
    void Initialize();

    // The custom-draw handler, when set, with handled starting false; true when it handled.
    template <typename Handler, typename Arg>
    bool customDraw(const Handler &handler, Arg &arg)
    {
        bool handled = false;
        if (handler && canvas_)
            handler(*canvas_, arg, handled);
        return handled;
    }
    TqvNavBarDefaultStyle *defaultStyle(int index) const;

    TqvNavBarPainterHost &bar_;
    std::unique_ptr<TqvNavBarViewInfo> viewInfo_;
    TqvCanvas *canvas_ = nullptr;
    bool rebuild_ = true;
    bool relayout_ = true;
    bool redraw_ = true;

private:
    void drawInsertionMark(const TqvNavBarGroupViewInfo &group, const TqvNavBarLinkViewInfo *before,
                           const TqvNavBarLinkViewInfo *after);
};

} // namespace controls
