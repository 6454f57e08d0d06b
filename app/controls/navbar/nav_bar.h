// The navigation bar control: a framed panel showing a stack of groups, each with a caption button
// and either links or a hosted control. The bar keeps state and reacts to input; every position
// test goes to the view information and every pixel is drawn by the painter into a back buffer.
//
// The bar implements the sink of its content, the view information's source and the painter's host.
// Its vertical scroll bar (TqvNavBarScrollBar) keeps its own numbers and drives a child QScrollBar
// at the right edge, which narrows the client area while shown.
//
// Input: the bar forwards its Qt events to its input logic (TqvNavBarInput, nav_bar_input.h), which
// holds the mouse, hint and drag state; the bar owns the two QTimers behind the logic's timer seam.
//
// Call-outs (events) may delete what they were handed or the bar itself: the bar re-checks itself
// after each one and forgets every reference to a removed group or link, including the mouse-down
// ones, the drag's and the hint's subject.
#pragma once

#include "controls/navbar/nav_bar_input.h"
#include "controls/navbar/nav_bar_painter.h"
#include "controls/navbar/nav_bar_views.h"

#include <QFrame>
#include <QPointer>
#include <QTimer>
#include <array>
#include <string>

class QScrollBar;

namespace controls {

class TqvCustomNavBar;

// The scroll-bar wrapper: min 0, max 100 (the maximum includes the page), small change 2, large 10.
class TqvNavBarScrollBar final : public TqvNavBarScrollBarControl {
public:
    enum Code { SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
                SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7 };
    static constexpr int kWidth = 16;

    explicit TqvNavBarScrollBar(TqvCustomNavBar &bar);

    int PageSize() const override { return page_; }
    // Ignored when equal or above the maximum.
    void SetPageSize(int page) override;
    int Min() const override { return min_; }
    void SetMin(int v) override { SetParams(position_, v, max_); }
    int Max() const override { return max_; }
    void SetMax(int v) override { SetParams(position_, min_, v); }
    int Position() const override { return position_; }
    void SetPosition(int v) override { SetParams(v, min_, max_); }
    bool Visible() const override { return visible_; }
    void SetVisible(bool on) override;
    // Ignored when max is below min or below the page; the position is clamped to min .. max.
    void SetParams(int position, int min, int max);
    // A scroll request; trackPos is the thumb position for the two thumb codes.
    void Scroll(int code, int trackPos = 0);
    int SmallChange() const { return 2; }
    int LargeChange() const { return 10; }
    QScrollBar *Widget() const { return widget_; }

private:
    void apply();
    TqvCustomNavBar &bar_;
    QScrollBar *widget_;
    int page_ = 0, min_ = 0, max_ = 100, position_ = 0;
    bool visible_ = false;
    bool applying_ = false;
};

// The hint window: frameless, shown without activation, transparent for the mouse.
class TqvNavBarHintWindow final : public QWidget {
    Q_OBJECT
public:
    explicit TqvNavBarHintWindow(TqvCustomNavBar *bar);
    // Places the window at r (screen coordinates), moved onto the virtual screen, and shows it.
    void ShowHintAt(const TRect &r, const QString &text);
    // The placing rule alone: r moved inside screen (bottom, right, then left, top).
    static QRect Clamp(const QRect &r, const QRect &screen);
    QString Text() const { return text_; }

    // The bar goes: the window goes with it, at once or, while it paints (a custom-draw handler
    // freed the bar), at the end of its paint.
    void Release();

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QPointer<TqvCustomNavBar> bar_;
    QString text_;
    bool painting_ = false;
};

// The bar's two timers behind the input logic's seam.
class TqvNavBarQtTimers final : public TqvNavBarTimers {
public:
    explicit TqvNavBarQtTimers(std::function<void(TqvNavBarTimer)> fired);
    void Start(TqvNavBarTimer which, int ms) override { timer(which).start(ms); }
    void Stop(TqvNavBarTimer which) override { timer(which).stop(); }
    bool IsActive(TqvNavBarTimer which) const override
    {
        return (which == TqvNavBarTimer::Scroll ? scroll_ : hint_).isActive();
    }
    QTimer &timer(TqvNavBarTimer which) { return which == TqvNavBarTimer::Scroll ? scroll_ : hint_; }

private:
    QTimer scroll_, hint_;
};

using TqvNavBarCustomDrawGroupHintEvent = std::function<void(QObject *sender, TqvCanvas &canvas, TqvNavBarGroup *group,
                                                             const QString &hint, const TRect &r, bool &handled)>;
using TqvNavBarCustomDrawLinkHintEvent = std::function<void(QObject *sender, TqvCanvas &canvas, TqvNavBarItemLink *link,
                                                            const QString &hint, const TRect &r, bool &handled)>;

class TqvCustomNavBar : public QFrame,
                        public TqvNavBarSink,
                        public TqvNavBarPainterHost,
                        public TqvNavBarInputHost {
    Q_OBJECT
public:
    explicit TqvCustomNavBar(QWidget *parent = nullptr);
    ~TqvCustomNavBar() override;

    // ---- content
    TqvNavBarGroups &GroupsRef() { return groups_; }
    TqvNavBarItems &Items() { return items_; }
    TqvNavBarStyles &Styles() { return styles_; }
    TqvNavBarDefaultStyles &DefaultStylesRef() { return defaults_; }

    // ---- loading (stands in for form streaming)
    void beginLoading();
    void endLoading();
    // The layout file (see nav_bar_layout.h); loading replaces the groups and their group controls.
    virtual bool SaveLayoutToIni(const std::string &path, std::string *error = nullptr);
    virtual bool LoadLayoutFromIni(const std::string &path, std::string *error = nullptr);

    // ---- properties
    int ActiveGroupIndex() const;
    void SetActiveGroupIndex(int index);
    bool AllowSelectLinks() const override { return allowSelectLinks_; }
    void SetAllowSelectLinks(bool v);
    bool EachGroupHasSelectedLink() const override { return eachGroupHasSelectedLink_; }
    void SetEachGroupHasSelectedLink(bool v);
    int DragCopyCursor() const override { return dragCopyCursor_; }
    void SetDragCopyCursor(int v) { dragCopyCursor_ = v; }
    int DragCursor() const override { return dragCursor_; }
    void SetDragCursor(int v) { dragCursor_ = v; }
    int DragDropFlags() const override { return dragDropFlags_; }
    void SetDragDropFlags(int v) { dragDropFlags_ = v & kNavBarAllDragDropFlags; }
    int HotTrackedGroupCursor() const override { return hotTrackedGroupCursor_; }
    void SetHotTrackedGroupCursor(int v) { hotTrackedGroupCursor_ = v; }
    int HotTrackedLinkCursor() const override { return hotTrackedLinkCursor_; }
    void SetHotTrackedLinkCursor(int v) { hotTrackedLinkCursor_ = v; }
    void SetLargeImages(TqvImageList *list);
    void SetSmallImages(TqvImageList *list);
    void SetShowGroupCaptions(bool v);
    bool ShowGroupsHint() const override { return showGroupsHint_; }
    void SetShowGroupsHint(bool v) { showGroupsHint_ = v; }
    bool ShowLinksHint() const override { return showLinksHint_; }
    void SetShowLinksHint(bool v) { showLinksHint_ = v; }
    void SetSpaceBetweenGroups(int v);
    void SetBarStyle(TqvNavBarBarStyle which, TqvNavBarStyleItem *item);
    int View() const { return view_; }
    void SetView(int v);
    // The bar's hint: the part of the last shown hint's text after its first "|".
    QString Hint() const { return input_.Hint(); }

    // ---- state
    void SetActiveGroup(TqvNavBarGroup *group) override;
    TqvNavBarPainter &Painter();
    TqvNavBarViewInfo &ViewInfo() { return Painter().ViewInfo(); }
    bool IsDestroying() const override { return destroying_; }
    TqvNavBarGroup *MouseDownGroup() const { return input_.MouseDownGroup(); }
    TqvNavBarItemLink *MouseDownLink() const { return input_.MouseDownLink(); }
    bool IsDragging() const { return input_.IsDragging(); }
    bool IsHintShowing() const { return input_.IsHintShowing(); }
    TqvNavBarHintWindow &HintWindow() { return *hintWindow_; }
    // While a hint is up, a leave with the pointer still over the bar or the hint is put off:
    // this timer then looks at the pointer until it is off both (PointerCheck, also for tests).
    QTimer &LeaveWatchTimer() { return leaveWatch_; }
    void PointerCheck();
    TqvNavBarScrollBar &ScrollBarWrapper() { return scrollBar_; }
    QTimer &ScrollTimer() { return timers_.timer(TqvNavBarTimer::Scroll); }
    QTimer &HintTimer() { return timers_.timer(TqvNavBarTimer::Hint); }
    void SetScrollInterval(int ms) { input_.SetScrollInterval(ms); }
    // A hint pause in place of the view's (tests); -1 uses the view's.
    void SetHintPauseOverride(int ms) { input_.SetHintPauseOverride(ms); }
    // Where the client origin is on the screen (the hint's screen point); tests may fix it.
    std::function<QPoint(QPoint)> MapToScreen;
    // The Qt cursor the bar shows now.
    Qt::CursorShape CurrentCursorShape() const { return cursor().shape(); }
    // The input logic the bar's events go to.
    TqvNavBarInput &Input() override { return input_; }

    // ---- virtual operations (the input operations are TqvNavBarInputHost's)
    virtual void ActiveGroupChanged();
    // The thumb and line requests of the scroll bar; thumb tracking is ignored while a group hosts
    // a control.
    void VScroll(int code, int trackPos = 0);
    void InvalidateScrollButtons() override;

    // ---- drag and drop
    // The drag under way (the program's one slot), or nullptr.
    static TqvNavBarDragObject *CurrentDrag() { return TqvNavBarInput::CurrentDrag(); }
    // Re-evaluates the target from the hot point.
    void UpdateTarget() { input_.UpdateTarget(); }
    // True when the latest drag over accepted (a release then drops).
    bool DropAccepted() const { return input_.DropAccepted(); }

    // ---- events (the input events are TqvNavBarInputHost's)
    TqvNavBarCustomDrawGroupHintEvent OnCustomDrawGroupHint;
    TqvNavBarCustomDrawLinkHintEvent OnCustomDrawLinkHint;
    TNotifyEvent OnActiveGroupChanged;
    TNotifyEvent OnMouseEnter, OnMouseLeave;
    TqvNavBarViewInfoEvents ViewInfoEvents;
    TqvNavBarPainterEvents PaintEvents;

    // ---- TqvNavBarSink
    void InvalidateAll(TqvNavBarChangeType kind) override;
    void InvalidateHotTracking(const TqvNavBarGroup *group, const TqvNavBarItemLink *link) override;
    bool IsLoading() const override { return loading_; }
    void LinkChanged(TqvNavBarItemLink *link, bool removed) override;
    void ComponentRemoved(QObject *component) override;
    QWidget *ControlParent() override { return this; }

    // ---- TqvNavBarViewInfoSource
    const TqvNavBarGroups &Groups() const override { return groups_; }
    TqvNavBarGroup *ActiveGroup() const override;
    TqvNavBarGroup *HotGroup() const override { return input_.HotGroup(); }
    TqvNavBarGroup *PressedGroup() const override { return input_.PressedGroup(); }
    TqvNavBarItemLink *HotLink() const override { return input_.HotLink(); }
    TqvNavBarItemLink *PressedLink() const override { return input_.PressedLink(); }
    TPoint HotPoint() const override { return input_.HotPoint(); }
    bool TopScrollButtonHeld() const override { return input_.TopScrollButtonHeld(); }
    bool BottomScrollButtonHeld() const override { return input_.BottomScrollButtonHeld(); }
    bool ShowGroupCaptions() const override { return showGroupCaptions_; }
    int SpaceBetweenGroups() const override { return spaceBetweenGroups_; }
    int ClientWidth() const override;
    int ClientHeight() const override;
    TqvImageList *LargeImages() const override { return largeImages_; }
    TqvImageList *SmallImages() const override { return smallImages_; }
    const TqvNavBarDefaultStyles &DefaultStyles() const override { return defaults_; }
    TqvNavBarStyleItem *BarStyle(TqvNavBarBarStyle which) const override;
    TqvNavBarScrollBarControl *ScrollBar() override { return &scrollBar_; }
    TextMeasurer &Measurer() override { return measurer_; }
    const TqvNavBarViewInfoEvents &Events() const override { return ViewInfoEvents; }

    // ---- TqvNavBarPainterHost
    QImage &BackBuffer() override { return buffer_; }
    qreal DevicePixelRatio() const override { return devicePixelRatioF(); }
    QPalette PaintPalette() const override { return palette(); }
    const TqvNavBarPainterEvents &PainterEvents() const override { return PaintEvents; }
    TqvNavBarPaintDragState DragState() const override;
    void InvalidateRect(const TRect &r, bool erase) override;

    // ---- TqvNavBarInputHost
    QObject *EventSender() override { return this; }
    TqvNavBarGroup *GroupCaptionAt(TPoint p) override;
    TqvNavBarGroup *GroupItemsAt(TPoint p) override;
    TqvNavBarItemLink *LinkAt(TPoint p) override;
    TqvNavBarItemLink *SelectableLinkAt(TPoint p) override;
    TRect TopScrollButtonRect() override { return ViewInfo().TopScrollButtonRect(); }
    TRect BottomScrollButtonRect() override { return ViewInfo().BottomScrollButtonRect(); }
    TqvNavBarObjectStates TopScrollButtonState() override { return ViewInfo().TopScrollButtonState(); }
    TqvNavBarObjectStates BottomScrollButtonState() override { return ViewInfo().BottomScrollButtonState(); }
    TqvNavBarDropTarget DropTargetAt(TPoint p) override { return ViewInfo().GetDropTarget(p); }
    TqvNavBarHintInfo HintAt(TPoint p) override;
    int HintPause() override { return ViewInfo().HintPause(); }
    bool InClientArea(TPoint p) override;
    void ShowCursorShape(Qt::CursorShape shape) override;
    void ShowHintWindow(const TqvNavBarHintInfo &hint) override;
    void HideHintWindow() override;
    bool IsGroupExpanded(TqvNavBarGroup *group) override { return Painter().IsGroupActive(group); }
    void ExpandGroup(TqvNavBarGroup *group) override { Painter().ActivateGroup(group); }
    void CollapseGroup(TqvNavBarGroup *group) override { Painter().DeactivateGroup(group); }

    // The client rectangle (inside the frame, without the scroll bar) in widget coordinates.
    QRect ClientRectInWidget() const;

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void changeEvent(QEvent *e) override;
    bool event(QEvent *e) override;

private:
    TPoint toClient(const QPointF &p) const;
    bool pointerOverBarOrHint() const;
    void mouseLeft();
    void placeScrollBar();
    void watchImageList(TqvImageList *&slot, TqvImageList *list, std::array<QMetaObject::Connection, 2> &links);

    // First, so that they outlive the content, whose removal they hear of.
    TqvNavBarQtTimers timers_;
    TqvNavBarInput input_;
    bool destroying_ = false;
    bool loading_ = false;
    int storedActiveGroupIndex_ = -1;
    QImage buffer_;
    TqvNavBarScrollBar scrollBar_;
    TqvNavBarGroups groups_;
    TqvNavBarItems items_;
    TqvNavBarStyles styles_;
    TqvNavBarDefaultStyles defaults_;
    QtTextMeasurer measurer_;
    std::unique_ptr<TqvNavBarPainter> painter_;
    TqvNavBarHintWindow *hintWindow_;
    QTimer leaveWatch_;

    TqvNavBarGroup *activeGroup_ = nullptr;
    bool allowSelectLinks_ = false;
    bool eachGroupHasSelectedLink_ = false;
    int dragCopyCursor_ = -1119, dragCursor_ = -1120, hotTrackedGroupCursor_ = 0, hotTrackedLinkCursor_ = -1118;
    int dragDropFlags_ = kNavBarAllDragDropFlags;
    TqvImageList *largeImages_ = nullptr, *smallImages_ = nullptr;
    std::array<QMetaObject::Connection, 2> largeLinks_, smallLinks_; // change and freed
    bool showGroupCaptions_ = true;
    bool showGroupsHint_ = false, showLinksHint_ = false;
    int spaceBetweenGroups_ = 0;
    std::array<QPointer<TqvNavBarStyleItem>, 7> barStyles_{};
    int view_ = 0;
};

// The bar with its properties and events published; adds no operation.
class TqvNavBar : public TqvCustomNavBar {
    Q_OBJECT
public:
    using TqvCustomNavBar::TqvCustomNavBar;
};

} // namespace controls
