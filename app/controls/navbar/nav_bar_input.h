// The navigation bar's input logic without a widget: hot and pressed tracking, the start of a drag,
// the scroll buttons and their routine, the hint timers and the drag machine. It is fed with a
// client point, the buttons and the modifiers, and drives two named timers through a seam, so
// it runs (and is tested) without a window: the bar forwards its Qt events and owns two QTimers
// implementing the seam.
//
// What the logic asks of the bar (positions, settings, redraws, the hint window) is the host.
// The host's operations (GroupPressed, LinkDropped, ...) are virtual; their defaults are the
// logic below, so a bar may override any of them.
//
// Call-outs (events, operations) may delete what they were handed, or the bar and with it this
// object: every call-out is followed by a liveness check.
#pragma once

#include "controls/navbar/nav_bar_view_info.h"

#include <functional>
#include <memory>

class QObject;

namespace controls {

class TqvNavBarInput;

enum TqvNavBarDragDropFlag : int {
    fAllowDragLink = 1, fAllowDropLink = 2, fAllowDragGroup = 4, fAllowDropGroup = 8,
};
inline constexpr int kNavBarAllDragDropFlags = 15;

// Resource cursors: -1120 drag, -1119 drag copy, -1118 links; 0 the default cursor.
Qt::CursorShape NavBarCursorShape(int cursor);

// Where a drag-over stands: the first one inside the bar, one of those that follow, or the
// pointer leaving the bar.
enum TqvDragState { dsDragEnter, dsDragLeave, dsDragMove };

// The drag under way: what is dragged and where it would land. One at a time in the program.
// A start-drag handler may hand in one of its own (for instance with an item dragged as such).
struct TqvNavBarDragObject {
    virtual ~TqvNavBarDragObject() = default;
    QObject *bar = nullptr; // the bar the drag runs in (set by the bar)
    TqvNavBarGroup *group = nullptr;
    TqvNavBarItemLink *link = nullptr;
    TqvNavBarItem *item = nullptr; // an item dragged as such; the bar itself never sets it
    TqvNavBarDropTarget target;
    bool ctrl = false; // Ctrl held, from the latest mouse or key event
    // The item a drop would link: the dragged item, else the dragged link's item while Ctrl is held.
    TqvNavBarItem *DraggedItem() const;

private:
    friend class TqvNavBarInput;
    TqvNavBarInput *owner_ = nullptr;
};

// The two timers of the bar. The scroll timer repeats; the hint timer fires once.
enum class TqvNavBarTimer { Scroll, Hint };

class TqvNavBarTimers {
public:
    virtual ~TqvNavBarTimers() = default;
    virtual void Start(TqvNavBarTimer which, int ms) = 0;
    virtual void Stop(TqvNavBarTimer which) = 0;
    virtual bool IsActive(TqvNavBarTimer which) const = 0;
};

using TqvNavBarGroupEvent = std::function<void(QObject *sender, TqvNavBarGroup *group)>;
using TqvNavBarLinkEvent = std::function<void(QObject *sender, TqvNavBarItemLink *link)>;
// Mouse events in client coordinates (those of HotPoint).
using TqvNavBarMouseEvent =
    std::function<void(QObject *sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
using TqvNavBarMouseMoveEvent = std::function<void(QObject *sender, Qt::KeyboardModifiers shift, int x, int y)>;
// Drags never leave their bar, so the source is always the bar itself; accept may be changed.
using TqvNavBarDragOverEvent =
    std::function<void(QObject *sender, QObject *source, int x, int y, TqvDragState state, bool &accept)>;
// A drag begins. The handler may hand back a drag object of its own (the bar takes it over);
// left empty, the bar makes one for what was pressed.
using TqvNavBarStartDragEvent =
    std::function<void(QObject *sender, std::unique_ptr<TqvNavBarDragObject> &dragObject)>;

class TqvNavBarInputHost {
public:
    virtual ~TqvNavBarInputHost() = default;
    virtual TqvNavBarInput &Input() = 0;
    // The sender of every event.
    virtual QObject *EventSender() = 0;

    // ---- positions, in client coordinates
    virtual TqvNavBarGroup *GroupCaptionAt(TPoint p) = 0;
    virtual TqvNavBarGroup *GroupItemsAt(TPoint p) = 0;
    virtual TqvNavBarItemLink *LinkAt(TPoint p) = 0;
    // The link under p where a press selects it (LinkAtSelectedPos).
    virtual TqvNavBarItemLink *SelectableLinkAt(TPoint p) = 0;
    virtual TRect TopScrollButtonRect() = 0;
    virtual TRect BottomScrollButtonRect() = 0;
    virtual TqvNavBarObjectStates TopScrollButtonState() = 0;
    virtual TqvNavBarObjectStates BottomScrollButtonState() = 0;
    virtual TqvNavBarDropTarget DropTargetAt(TPoint p) = 0;
    // The hint for the element under p, its rectangle on the screen.
    virtual TqvNavBarHintInfo HintAt(TPoint p) = 0;
    virtual int HintPause() = 0;
    virtual bool InClientArea(TPoint p) = 0;
    virtual TqvNavBarGroup *ActiveGroup() const = 0;
    virtual const TqvNavBarGroups &Groups() const = 0;

    // ---- effects
    virtual void InvalidateAll(TqvNavBarChangeType kind) = 0;
    // The hot state of the group's caption or of the link (either may be null) is about to change
    // or has changed: invalidate what that needs. A bar whose hot styles lay out as the plain ones
    // only redraws.
    virtual void InvalidateHotTracking(const TqvNavBarGroup *group, const TqvNavBarItemLink *link)
    {
        Q_UNUSED(group);
        Q_UNUSED(link);
        InvalidateAll(ctRelayout);
    }
    virtual void InvalidateScrollButtons() = 0;
    virtual void ShowCursorShape(Qt::CursorShape shape) = 0; // Qt::ArrowCursor: the default cursor
    virtual void ShowHintWindow(const TqvNavBarHintInfo &hint) = 0;
    virtual void HideHintWindow() = 0;
    // The painter's expand and collapse of a group.
    virtual bool IsGroupExpanded(TqvNavBarGroup *group) = 0;
    virtual void ExpandGroup(TqvNavBarGroup *group) = 0;
    virtual void CollapseGroup(TqvNavBarGroup *group) = 0;

    // ---- settings
    virtual int DragDropFlags() const = 0;
    virtual int DragCursor() const = 0;
    virtual int DragCopyCursor() const = 0;
    virtual int HotTrackedGroupCursor() const = 0;
    virtual int HotTrackedLinkCursor() const = 0;
    virtual bool AllowSelectLinks() const = 0;
    virtual bool EachGroupHasSelectedLink() const = 0;
    virtual bool ShowGroupsHint() const = 0;
    virtual bool ShowLinksHint() const = 0;
    virtual bool IsDestroying() const = 0;

    // ---- operations; the defaults are the input logic's
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
    virtual void GroupDraggedOver(TqvNavBarGroup *group, bool &accept);
    virtual void GroupDropped(TqvNavBarGroup *group);
    virtual void LinkDraggedOver(TqvNavBarItemLink *link, bool &accept);
    virtual void LinkDropped(TqvNavBarItemLink *link);
    virtual void ItemDraggedOver(TqvNavBarItem *item, bool &accept);
    virtual void ItemDropped(TqvNavBarItem *item);

    // ---- events
    // Every drag end, dropped or not.
    TNotifyEvent OnEndDrag;
    // A drag begins (before the drag object exists).
    TqvNavBarStartDragEvent OnStartDrag;
    // Last in every drag over, after the bar's own verdict; once more when the pointer leaves.
    TqvNavBarDragOverEvent OnDragOver;
    // Raised for every press; a move only when no drag starts or runs; a release only outside a drag.
    TqvNavBarMouseEvent OnMouseDown, OnMouseUp;
    TqvNavBarMouseMoveEvent OnMouseMove;
    TqvNavBarGroupEvent OnGroupClick, OnGroupHotTrack, OnGroupPress;
    TqvNavBarLinkEvent OnLinkClick, OnLinkHotTrack, OnLinkPress;
};

class TqvNavBarInput {
public:
    TqvNavBarInput(TqvNavBarInputHost &host, TqvNavBarTimers &timers);
    ~TqvNavBarInput();
    TqvNavBarInput(const TqvNavBarInput &) = delete;
    TqvNavBarInput &operator=(const TqvNavBarInput &) = delete;

    // ---- input, in client coordinates
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, TPoint p);
    void MouseMove(Qt::MouseButtons held, Qt::KeyboardModifiers shift, TPoint p);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, TPoint p);
    // True when the key was used (Escape ends a drag, Ctrl re-evaluates it).
    bool KeyDown(int key);
    bool KeyUp(int key);
    void MouseLeave();
    // The release went elsewhere (a lost grab, a deactivated window): forget the press.
    void PressLost();
    void TimerFired(TqvNavBarTimer which);

    // ---- removals: every reference to the freed thing goes; a drag losing it ends undropped
    void ForgetLink(TqvNavBarItemLink *link);
    void ForgetComponent(QObject *component);

    // ---- state
    TqvNavBarGroup *HotGroup() const { return hotGroup_; }
    TqvNavBarGroup *PressedGroup() const { return pressedGroup_; }
    TqvNavBarItemLink *HotLink() const { return hotLink_; }
    TqvNavBarItemLink *PressedLink() const { return pressedLink_; }
    TqvNavBarGroup *MouseDownGroup() const { return mouseDownGroup_; }
    TqvNavBarItemLink *MouseDownLink() const { return mouseDownLink_; }
    TPoint HotPoint() const { return hotPoint_; }
    bool TopScrollButtonHeld() const { return topHeld_; }
    bool BottomScrollButtonHeld() const { return bottomHeld_; }
    bool IsDragging() const { return dragging_; }
    bool DropAccepted() const { return dropAccepted_; }
    TqvNavBarDragObject *Drag() const { return drag_.get(); }
    bool IsHintShowing() const { return hintShowing_; }
    // The part of the last shown hint's text after its first "|".
    QString Hint() const { return hint_; }
    // The program's one drag, or nullptr.
    static TqvNavBarDragObject *CurrentDrag();

    // The scroll routine's period (300 ms) and a hint pause in place of the view's (-1: the view's).
    void SetScrollInterval(int ms) { scrollInterval_ = ms; }
    void SetHintPauseOverride(int ms) { hintPauseOverride_ = ms; }

    // Re-evaluates the drag target from the hot point.
    void UpdateTarget();
    // Ends a running drag without a drop and forgets the press.
    void CancelDrag() { clearMouseDown(); }

private:
    friend class TqvNavBarInputHost;
    using Alive = std::weak_ptr<char>;
    Alive alive() const { return life_; }

    void hotGroupChanged(TqvNavBarGroup *group);
    void groupPressed(TqvNavBarGroup *group);
    void groupClicked(TqvNavBarGroup *group);
    void hotLinkChanged(TqvNavBarItemLink *link);
    void linkPressed(TqvNavBarItemLink *link);
    void linkClicked(TqvNavBarItemLink *link);
    void scrollButtonPressed(bool top);
    void scrollButtonReleased(bool top);
    void startHintTimer(bool group);
    void hideHint();
    void groupDraggedOver(TqvNavBarGroup *group, bool &accept);
    void groupDropped(TqvNavBarGroup *group);
    void linkDraggedOver(TqvNavBarItemLink *link, bool &accept);
    void linkDropped(TqvNavBarItemLink *link);
    void itemDropped(TqvNavBarItem *item);

    void clearMouseDown();
    void updateCursor();
    void startDrag(Qt::KeyboardModifiers shift);
    void dragOver(TPoint p);
    void drop(TPoint p);
    void endDrag();
    void scrollTick();
    void hintTick();

    TqvNavBarInputHost &host_;
    TqvNavBarTimers &timers_;
    std::shared_ptr<char> life_ = std::make_shared<char>();
    int scrollInterval_ = 300;
    int hintPauseOverride_ = -1;

    TPoint mouseDownPoint_{-1, -1};
    Qt::KeyboardModifiers mouseDownShift_{};
    bool buttonDown_ = false; // a press seen and not yet seen released
    TqvNavBarGroup *mouseDownGroup_ = nullptr;
    TqvNavBarItemLink *mouseDownLink_ = nullptr;
    TPoint hotPoint_{-1, -1};
    TqvNavBarGroup *hotGroup_ = nullptr, *pressedGroup_ = nullptr;
    TqvNavBarItemLink *hotLink_ = nullptr, *pressedLink_ = nullptr;
    bool topHeld_ = false, bottomHeld_ = false;
    bool dragging_ = false;
    bool dropAccepted_ = false;
    bool dragInside_ = false; // the drag has entered the bar and not left it
    std::unique_ptr<TqvNavBarDragObject> drag_;
    bool hintShowing_ = false;
    QString hint_;
    TqvNavBarGroup *hintGroup_ = nullptr;
    TqvNavBarItemLink *hintLink_ = nullptr;
};

} // namespace controls
