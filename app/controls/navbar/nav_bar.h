// The navigation bar control: a framed panel showing a stack of groups, each with a caption button
// and either links or a hosted control. The bar keeps state and reacts to input; every position
// test goes to the view information and every pixel is drawn by the painter into a back buffer.
//
// The bar implements the sink of its content, the view information's source and the painter's host.
// Its vertical scroll bar (TqvNavBarScrollBar) keeps its own numbers and drives a child QScrollBar
// at the right edge, which narrows the client area while shown.
//
// Timers: the scroll timer and the hint timer are QTimers; tests shorten their intervals
// (SetScrollInterval, SetHintPauseOverride) instead of waiting out real time.
//
// Call-outs (events) may delete what they were handed or the bar itself: the bar re-checks itself
// with a QPointer after each one and forgets every reference to a removed group or link, including
// the mouse-down ones and the hint's subject.
#pragma once

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

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QPointer<TqvCustomNavBar> bar_;
    QString text_;
};

enum TqvNavBarDragDropFlag : int {
    fAllowDragLink = 1, fAllowDropLink = 2, fAllowDragGroup = 4, fAllowDropGroup = 8,
};
inline constexpr int kNavBarAllDragDropFlags = 15;

// Resource cursors: -1120 drag, -1119 drag copy, -1118 links; 0 the default cursor.
Qt::CursorShape NavBarCursorShape(int cursor);

// The drag under way: what is dragged and where it would land. One at a time in the program.
struct TqvNavBarDragObject {
    TqvCustomNavBar *bar = nullptr;
    TqvNavBarGroup *group = nullptr;
    TqvNavBarItemLink *link = nullptr;
    TqvNavBarItem *item = nullptr; // an item dragged as such; the bar never sets it
    TqvNavBarDropTarget target;
    bool ctrl = false; // Ctrl held, from the latest mouse or key event
    // The item a drop would link: the dragged item, else the dragged link's item while Ctrl is held.
    TqvNavBarItem *DraggedItem() const;
};

using TqvNavBarGroupEvent = std::function<void(QObject *sender, TqvNavBarGroup *group)>;
using TqvNavBarLinkEvent = std::function<void(QObject *sender, TqvNavBarItemLink *link)>;
// Mouse events in client coordinates (those of HotPoint).
using TqvNavBarMouseEvent =
    std::function<void(QObject *sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
using TqvNavBarMouseMoveEvent = std::function<void(QObject *sender, Qt::KeyboardModifiers shift, int x, int y)>;
// Drags never leave their bar, so the source is always the bar itself; accept may be changed.
using TqvNavBarDragOverEvent = std::function<void(QObject *sender, QObject *source, int x, int y, bool &accept)>;
// Hint painting; setting handled skips the painter's own drawing.
using TqvNavBarCustomDrawGroupHintEvent = std::function<void(QObject *sender, TqvCanvas &canvas, TqvNavBarGroup *group,
                                                             const QString &hint, const TRect &r, bool &handled)>;
using TqvNavBarCustomDrawLinkHintEvent = std::function<void(QObject *sender, TqvCanvas &canvas, TqvNavBarItemLink *link,
                                                            const QString &hint, const TRect &r, bool &handled)>;

class TqvCustomNavBar : public QFrame, public TqvNavBarSink, public TqvNavBarPainterHost {
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
    bool AllowSelectLinks() const { return allowSelectLinks_; }
    void SetAllowSelectLinks(bool v);
    bool EachGroupHasSelectedLink() const { return eachGroupHasSelectedLink_; }
    void SetEachGroupHasSelectedLink(bool v);
    int DragCopyCursor() const { return dragCopyCursor_; }
    void SetDragCopyCursor(int v) { dragCopyCursor_ = v; }
    int DragCursor() const { return dragCursor_; }
    void SetDragCursor(int v) { dragCursor_ = v; }
    int DragDropFlags() const { return dragDropFlags_; }
    void SetDragDropFlags(int v) { dragDropFlags_ = v & kNavBarAllDragDropFlags; }
    int HotTrackedGroupCursor() const { return hotTrackedGroupCursor_; }
    void SetHotTrackedGroupCursor(int v) { hotTrackedGroupCursor_ = v; }
    int HotTrackedLinkCursor() const { return hotTrackedLinkCursor_; }
    void SetHotTrackedLinkCursor(int v) { hotTrackedLinkCursor_ = v; }
    void SetLargeImages(TqvImageList *list);
    void SetSmallImages(TqvImageList *list);
    void SetShowGroupCaptions(bool v);
    bool ShowGroupsHint() const { return showGroupsHint_; }
    void SetShowGroupsHint(bool v) { showGroupsHint_ = v; }
    bool ShowLinksHint() const { return showLinksHint_; }
    void SetShowLinksHint(bool v) { showLinksHint_ = v; }
    void SetSpaceBetweenGroups(int v);
    void SetBarStyle(TqvNavBarBarStyle which, TqvNavBarStyleItem *item);
    int View() const { return view_; }
    void SetView(int v);
    // The bar's hint: the part of the last shown hint's text after its first "|".
    QString Hint() const { return hint_; }

    // ---- state
    void SetActiveGroup(TqvNavBarGroup *group) override;
    TqvNavBarPainter &Painter();
    TqvNavBarViewInfo &ViewInfo() { return Painter().ViewInfo(); }
    bool IsDestroying() const { return destroying_; }
    TqvNavBarGroup *MouseDownGroup() const { return mouseDownGroup_; }
    TqvNavBarItemLink *MouseDownLink() const { return mouseDownLink_; }
    bool IsDragging() const { return dragging_; }
    bool IsHintShowing() const { return hintShowing_; }
    TqvNavBarHintWindow &HintWindow() { return *hintWindow_; }
    TqvNavBarScrollBar &ScrollBarWrapper() { return scrollBar_; }
    QTimer &ScrollTimer() { return scrollTimer_; }
    QTimer &HintTimer() { return hintTimer_; }
    void SetScrollInterval(int ms) { scrollInterval_ = ms; }
    // A hint pause in place of the view's (tests); -1 uses the view's.
    void SetHintPauseOverride(int ms) { hintPauseOverride_ = ms; }
    // Where the client origin is on the screen (the hint's screen point); tests may fix it.
    std::function<QPoint(QPoint)> MapToScreen;
    // The Qt cursor the bar shows now.
    Qt::CursorShape CurrentCursorShape() const { return cursor().shape(); }

    // ---- virtual operations
    virtual void ActiveGroupChanged();
    virtual void HotGroupChanged(TqvNavBarGroup *group);
    virtual void GroupPressed(TqvNavBarGroup *group);
    virtual void GroupClicked(TqvNavBarGroup *group);
    virtual void HotLinkChanged(TqvNavBarItemLink *link);
    virtual void LinkPressed(TqvNavBarItemLink *link);
    virtual void LinkClicked(TqvNavBarItemLink *link);
    virtual void BottomScrollButtonPressed();
    virtual void BottomScrollButtonReleased();
    virtual void TopScrollButtonPressed();
    virtual void TopScrollButtonReleased();
    virtual void StartGroupHintTimer();
    virtual void StartLinkHintTimer();
    virtual void HideHint();
    // The thumb and line requests of the scroll bar; thumb tracking is ignored while a group hosts
    // a control.
    void VScroll(int code, int trackPos = 0);
    void InvalidateScrollButtons();

    // ---- drag and drop
    // The drag under way (the program's one slot), or nullptr.
    static TqvNavBarDragObject *CurrentDrag();
    // Re-evaluates the target from the hot point.
    void UpdateTarget();
    virtual void GroupDraggedOver(TqvNavBarGroup *group, bool &accept);
    virtual void GroupDropped(TqvNavBarGroup *group);
    virtual void LinkDraggedOver(TqvNavBarItemLink *link, bool &accept);
    virtual void LinkDropped(TqvNavBarItemLink *link);
    virtual void ItemDraggedOver(TqvNavBarItem *item, bool &accept);
    virtual void ItemDropped(TqvNavBarItem *item);
    // True when the latest drag over accepted (a release then drops).
    bool DropAccepted() const { return dropAccepted_; }

    // ---- events
    // Every drag end, dropped or not.
    TNotifyEvent OnEndDrag;
    // A drag begins (before the drag object exists).
    TNotifyEvent OnStartDrag;
    // Last in every drag over, after the bar's own verdict.
    TqvNavBarDragOverEvent OnDragOver;
    // Raised for every press; a move only when no drag starts or runs; a release only outside a drag.
    TqvNavBarMouseEvent OnMouseDown, OnMouseUp;
    TqvNavBarMouseMoveEvent OnMouseMove;
    TqvNavBarCustomDrawGroupHintEvent OnCustomDrawGroupHint;
    TqvNavBarCustomDrawLinkHintEvent OnCustomDrawLinkHint;
    TNotifyEvent OnActiveGroupChanged;
    TqvNavBarGroupEvent OnGroupClick, OnGroupHotTrack, OnGroupPress;
    TqvNavBarLinkEvent OnLinkClick, OnLinkHotTrack, OnLinkPress;
    TNotifyEvent OnMouseEnter, OnMouseLeave;
    TqvNavBarViewInfoEvents ViewInfoEvents;
    TqvNavBarPainterEvents PaintEvents;

    // ---- TqvNavBarSink
    void InvalidateAll(TqvNavBarChangeType kind) override;
    bool IsLoading() const override { return loading_; }
    void LinkChanged(TqvNavBarItemLink *link, bool removed) override;
    void ComponentRemoved(QObject *component) override;
    QWidget *ControlParent() override { return this; }

    // ---- TqvNavBarViewInfoSource
    const TqvNavBarGroups &Groups() const override { return groups_; }
    TqvNavBarGroup *ActiveGroup() const override;
    TqvNavBarGroup *HotGroup() const override { return hotGroup_; }
    TqvNavBarGroup *PressedGroup() const override { return pressedGroup_; }
    TqvNavBarItemLink *HotLink() const override { return hotLink_; }
    TqvNavBarItemLink *PressedLink() const override { return pressedLink_; }
    TPoint HotPoint() const override { return hotPoint_; }
    bool TopScrollButtonHeld() const override { return topHeld_; }
    bool BottomScrollButtonHeld() const override { return bottomHeld_; }
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
    void scrollTimerTick();
    void hintTimerTick();
    void startHintTimer();
    void clearMouseDown();
    void updateCursor();
    void placeScrollBar();
    void forgetGroup(QObject *group);
    void forgetLink(TqvNavBarItemLink *link);
    void startDrag();
    void dragOver(TPoint p);
    void drop(TPoint p);
    void endDrag();
    void watchImageList(TqvImageList *&slot, TqvImageList *list, std::array<QMetaObject::Connection, 2> &links);

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
    QTimer scrollTimer_, hintTimer_;
    int scrollInterval_ = 300;
    int hintPauseOverride_ = -1;
    bool hintShowing_ = false;
    QString hint_;

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

    TPoint mouseDownPoint_{-1, -1};
    Qt::KeyboardModifiers mouseDownShift_{};
    bool buttonDown_ = false; // a press the bar saw and has not seen released
    TqvNavBarGroup *mouseDownGroup_ = nullptr;
    TqvNavBarItemLink *mouseDownLink_ = nullptr;
    TPoint hotPoint_{-1, -1};
    TqvNavBarGroup *hotGroup_ = nullptr, *pressedGroup_ = nullptr;
    TqvNavBarItemLink *hotLink_ = nullptr, *pressedLink_ = nullptr;
    bool topHeld_ = false, bottomHeld_ = false;
    bool dragging_ = false;
    bool dropAccepted_ = false;
    std::unique_ptr<TqvNavBarDragObject> drag_;
    TqvNavBarGroup *hintGroup_ = nullptr;
    TqvNavBarItemLink *hintLink_ = nullptr;
};

// The bar with its properties and events published; adds no operation.
class TqvNavBar : public TqvCustomNavBar {
    Q_OBJECT
public:
    using TqvCustomNavBar::TqvCustomNavBar;
};

} // namespace controls
