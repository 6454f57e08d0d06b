#include "controls/navbar/nav_bar_input.h"

#include <QAction>
#include <QPointer>
#include <cstdlib>

namespace controls {

Qt::CursorShape NavBarCursorShape(int cursor)
{
    switch (cursor) {
    case -1120: return Qt::DragMoveCursor;
    case -1119: return Qt::DragCopyCursor;
    case -1118: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
    }
}

namespace {
TqvNavBarDragObject *g_drag = nullptr; // the program's one drag
} // namespace

TqvNavBarItem *TqvNavBarDragObject::DraggedItem() const
{
    if (item)
        return item;
    return ctrl && link ? link->Item() : nullptr;
}

TqvNavBarDragObject *TqvNavBarInput::CurrentDrag() { return g_drag; }

// ---- the host's operations: the input logic's defaults -----------------------------------------

void TqvNavBarInputHost::HotGroupChanged(TqvNavBarGroup *group) { Input().hotGroupChanged(group); }
void TqvNavBarInputHost::GroupPressed(TqvNavBarGroup *group) { Input().groupPressed(group); }
void TqvNavBarInputHost::GroupClicked(TqvNavBarGroup *group) { Input().groupClicked(group); }
void TqvNavBarInputHost::HotLinkChanged(TqvNavBarItemLink *link) { Input().hotLinkChanged(link); }
void TqvNavBarInputHost::LinkPressed(TqvNavBarItemLink *link) { Input().linkPressed(link); }
void TqvNavBarInputHost::LinkClicked(TqvNavBarItemLink *link) { Input().linkClicked(link); }
void TqvNavBarInputHost::BottomScrollButtonPressed() { Input().scrollButtonPressed(false); }
void TqvNavBarInputHost::BottomScrollButtonReleased() { Input().scrollButtonReleased(false); }
void TqvNavBarInputHost::TopScrollButtonPressed() { Input().scrollButtonPressed(true); }
void TqvNavBarInputHost::TopScrollButtonReleased() { Input().scrollButtonReleased(true); }
void TqvNavBarInputHost::StartGroupHintTimer() { Input().startHintTimer(true); }
void TqvNavBarInputHost::StartLinkHintTimer() { Input().startHintTimer(false); }
void TqvNavBarInputHost::HideHint() { Input().hideHint(); }
void TqvNavBarInputHost::GroupDraggedOver(TqvNavBarGroup *group, bool &accept)
{
    Input().groupDraggedOver(group, accept);
}
void TqvNavBarInputHost::GroupDropped(TqvNavBarGroup *group) { Input().groupDropped(group); }
void TqvNavBarInputHost::LinkDraggedOver(TqvNavBarItemLink *link, bool &accept)
{
    Input().linkDraggedOver(link, accept);
}
void TqvNavBarInputHost::LinkDropped(TqvNavBarItemLink *link) { Input().linkDropped(link); }
void TqvNavBarInputHost::ItemDraggedOver(TqvNavBarItem *, bool &accept) { Input().linkDraggedOver(nullptr, accept); }
void TqvNavBarInputHost::ItemDropped(TqvNavBarItem *item) { Input().itemDropped(item); }

// ---- the input ---------------------------------------------------------------------------------

TqvNavBarInput::TqvNavBarInput(TqvNavBarInputHost &host, TqvNavBarTimers &timers) : host_(host), timers_(timers) {}

TqvNavBarInput::~TqvNavBarInput()
{
    if (drag_ && g_drag == drag_.get())
        g_drag = nullptr;
}

void TqvNavBarInput::clearMouseDown()
{
    if (drag_)
        endDrag();
    mouseDownGroup_ = nullptr;
    mouseDownLink_ = nullptr;
    mouseDownShift_ = {};
    buttonDown_ = false;
    dragging_ = false;
}

void TqvNavBarInput::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, TPoint p)
{
    const Alive self = alive();
    host_.HideHint();
    if (self.expired())
        return;
    if (host_.OnMouseDown) {
        host_.OnMouseDown(host_.EventSender(), button, shift, p.x, p.y);
        if (self.expired())
            return;
    }
    if (button == Qt::LeftButton) {
        // A press never seen released (a dialog took the grab) leaves nothing behind.
        clearMouseDown();
        if (self.expired())
            return;
        buttonDown_ = true;
        mouseDownShift_ = shift;
        mouseDownPoint_ = p;
        if (host_.TopScrollButtonRect().contains(p)) {
            host_.TopScrollButtonPressed();
            return;
        }
        if (host_.BottomScrollButtonRect().contains(p)) {
            host_.BottomScrollButtonPressed();
            return;
        }
        // Both a caption and a link may be under the point; the release clicks the caption.
        if (TqvNavBarGroup *g = host_.GroupCaptionAt(p)) {
            mouseDownGroup_ = g;
            host_.GroupPressed(g);
            if (self.expired())
                return;
        }
        TqvNavBarItemLink *l = host_.SelectableLinkAt(p);
        if (l && l->Group()) {
            mouseDownLink_ = l;
            host_.LinkPressed(l);
        }
        return;
    }
    if (button == Qt::RightButton && dragging_) {
        clearMouseDown(); // the right button cancels a drag
        if (!self.expired())
            host_.InvalidateAll(ctRedraw);
        return;
    }
    if (hotGroup_ || hotLink_) {
        hotGroup_ = nullptr;
        hotLink_ = nullptr;
        host_.InvalidateAll(ctRedraw);
    }
}

void TqvNavBarInput::MouseMove(Qt::MouseButtons held, Qt::KeyboardModifiers shift, TPoint p)
{
    const Alive self = alive();
    hotPoint_ = p;
    if (host_.TopScrollButtonState() != sHidden || host_.BottomScrollButtonState() != sHidden)
        host_.InvalidateScrollButtons();
    // A drag needs the left button held; a press lost track of starts nothing.
    if (buttonDown_ && !(held & Qt::LeftButton)) {
        clearMouseDown();
        if (self.expired())
            return;
    }
    if (drag_) {
        drag_->ctrl = shift & Qt::ControlModifier;
        dragOver(p);
        return;
    }
    const int flags = host_.DragDropFlags();
    const bool canDrag = buttonDown_ && (((flags & fAllowDragGroup) && mouseDownGroup_) ||
                                         ((flags & fAllowDragLink) && mouseDownLink_ && mouseDownLink_->Item() &&
                                          mouseDownLink_->Item()->Enabled()));
    if (canDrag && (std::abs(p.x - mouseDownPoint_.x) > 3 || std::abs(p.y - mouseDownPoint_.y) > 3)) {
        mouseDownShift_ = {};
        startDrag(shift);
        if (!self.expired() && drag_)
            dragOver(p);
        return;
    }
    if (host_.OnMouseMove) {
        host_.OnMouseMove(host_.EventSender(), shift, p.x, p.y);
        if (self.expired())
            return;
    }
    if (!buttonDown_) {
        TqvNavBarItemLink *link = host_.LinkAt(p);
        if (link != hotLink_)
            host_.HotLinkChanged(link);
        if (self.expired())
            return;
        TqvNavBarGroup *group = host_.GroupCaptionAt(p);
        if (group != hotGroup_)
            host_.HotGroupChanged(group);
        if (self.expired())
            return;
    }
    updateCursor();
}

void TqvNavBarInput::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, TPoint p)
{
    const Alive self = alive();
    if (button != Qt::LeftButton) {
        if (!drag_ && host_.OnMouseUp)
            host_.OnMouseUp(host_.EventSender(), button, shift, p.x, p.y);
        return;
    }
    hotPoint_ = p;
    if (drag_) {
        drag_->ctrl = shift & Qt::ControlModifier;
        drop(p);
        return;
    }
    if (host_.OnMouseUp) {
        host_.OnMouseUp(host_.EventSender(), button, shift, p.x, p.y);
        if (self.expired())
            return;
    }
    TqvNavBarGroup *group = mouseDownGroup_;
    TqvNavBarItemLink *link = mouseDownLink_;
    if (host_.TopScrollButtonRect().contains(p) || topHeld_) {
        host_.TopScrollButtonReleased();
    } else if (host_.BottomScrollButtonRect().contains(p) || bottomHeld_) {
        host_.BottomScrollButtonReleased();
    } else {
        topHeld_ = bottomHeld_ = false;
        timers_.Stop(TqvNavBarTimer::Scroll);
        clearMouseDown();
        // The click goes to what was under the mouse at the press; a caption wins over a link.
        if (group)
            host_.GroupClicked(group);
        else if (link)
            host_.LinkClicked(link);
    }
    if (self.expired())
        return;
    clearMouseDown();
    updateCursor();
}

bool TqvNavBarInput::KeyDown(int key)
{
    const Alive self = alive();
    host_.HideHint();
    if (self.expired())
        return true;
    if (key == Qt::Key_Escape && drag_) {
        clearMouseDown();
        return true;
    }
    if (key == Qt::Key_Control && drag_) {
        drag_->ctrl = true;
        dragOver(hotPoint_);
        return true;
    }
    return false;
}

bool TqvNavBarInput::KeyUp(int key)
{
    if (key == Qt::Key_Control && drag_) {
        drag_->ctrl = false;
        dragOver(hotPoint_);
        return true;
    }
    return false;
}

void TqvNavBarInput::MouseLeave()
{
    const Alive self = alive();
    host_.HideHint();
    if (self.expired())
        return;
    hotPoint_ = {-1, -1};
    hotGroup_ = pressedGroup_ = nullptr;
    hotLink_ = pressedLink_ = nullptr;
    if (drag_)
        dragOver(hotPoint_); // outside the bar: no target, and the drag-over hears of the leave
}

void TqvNavBarInput::PressLost()
{
    const Alive self = alive();
    host_.HideHint();
    if (self.expired())
        return;
    clearMouseDown();
    if (self.expired())
        return;
    timers_.Stop(TqvNavBarTimer::Scroll);
    topHeld_ = bottomHeld_ = false;
    pressedGroup_ = nullptr;
    pressedLink_ = nullptr;
}

void TqvNavBarInput::TimerFired(TqvNavBarTimer which)
{
    if (which == TqvNavBarTimer::Scroll)
        scrollTick();
    else
        hintTick();
}

void TqvNavBarInput::updateCursor()
{
    int c = 0;
    if (dragging_)
        c = drag_ && drag_->ctrl ? host_.DragCopyCursor() : host_.DragCursor();
    else if (hotGroup_)
        c = host_.HotTrackedGroupCursor();
    else if (hotLink_ && hotLink_->Item() && hotLink_->Item()->Enabled())
        c = host_.HotTrackedLinkCursor();
    host_.ShowCursorShape(NavBarCursorShape(c));
}

// ---- removals

void TqvNavBarInput::ForgetLink(TqvNavBarItemLink *link)
{
    if (hotLink_ == link)
        hotLink_ = nullptr;
    if (pressedLink_ == link)
        pressedLink_ = nullptr;
    if (mouseDownLink_ == link)
        mouseDownLink_ = nullptr;
    if (drag_) {
        if (drag_->link == link) {
            drag_->link = nullptr;
            endDrag(); // the dragged link is gone: the drag ends without a drop
        } else if (drag_->target.before == link || drag_->target.after == link) {
            drag_->target = {};
            dropAccepted_ = false;
        }
    }
    if (hintLink_ == link) {
        hintLink_ = nullptr;
        host_.HideHint();
    }
}

void TqvNavBarInput::ForgetComponent(QObject *component)
{
    if (hotGroup_ == component)
        hotGroup_ = nullptr;
    if (pressedGroup_ == component)
        pressedGroup_ = nullptr;
    if (mouseDownGroup_ == component)
        mouseDownGroup_ = nullptr;
    if (drag_) {
        if (drag_->group == component || drag_->item == component) {
            drag_->group = nullptr;
            drag_->item = nullptr;
            endDrag(); // what was dragged is gone: the drag ends without a drop
        } else if (drag_->target.group == component) {
            drag_->target = {};
            dropAccepted_ = false;
        }
    }
    if (hintGroup_ == component) {
        hintGroup_ = nullptr;
        host_.HideHint();
    }
}

// ---- operations

void TqvNavBarInput::hotGroupChanged(TqvNavBarGroup *group)
{
    const Alive self = alive();
    host_.HideHint();
    if (self.expired())
        return;
    if (hotGroup_)
        host_.InvalidateHotTracking(hotGroup_, nullptr);
    hotGroup_ = group;
    host_.StartGroupHintTimer();
    if (self.expired())
        return;
    if (group)
        host_.InvalidateHotTracking(group, nullptr);
    if (host_.OnGroupHotTrack)
        host_.OnGroupHotTrack(host_.EventSender(), group);
}

void TqvNavBarInput::hotLinkChanged(TqvNavBarItemLink *link)
{
    const Alive self = alive();
    host_.HideHint();
    if (self.expired())
        return;
    if (hotLink_)
        host_.InvalidateHotTracking(nullptr, hotLink_);
    hotLink_ = link;
    host_.StartLinkHintTimer();
    if (self.expired())
        return;
    if (link)
        host_.InvalidateHotTracking(nullptr, link);
    if (host_.OnLinkHotTrack)
        host_.OnLinkHotTrack(host_.EventSender(), link);
}

void TqvNavBarInput::groupPressed(TqvNavBarGroup *group)
{
    const Alive self = alive();
    pressedGroup_ = group;
    if (host_.OnGroupPress)
        host_.OnGroupPress(host_.EventSender(), group);
    if (!self.expired())
        host_.InvalidateAll(ctRelayout);
}

void TqvNavBarInput::linkPressed(TqvNavBarItemLink *link)
{
    const Alive self = alive();
    if (link->Group() && link->Group()->SelectedLinkIndex() > -1)
        host_.InvalidateAll(ctRelayout);
    if (link->Item() && link->Item()->Enabled()) {
        pressedLink_ = link;
        if (host_.OnLinkPress)
            host_.OnLinkPress(host_.EventSender(), link);
        if (self.expired())
            return;
        if (!host_.EachGroupHasSelectedLink()) {
            const TqvNavBarGroups &groups = host_.Groups();
            for (int i = 0; i < groups.Count(); ++i)
                groups.Items(i)->SetSelectedLinkIndex(-1);
        }
    }
    host_.InvalidateAll(ctRelayout);
}

void TqvNavBarInput::groupClicked(TqvNavBarGroup *group)
{
    const Alive self = alive();
    QPointer<TqvNavBarGroup> g(group);
    if (group->OnClick)
        group->OnClick(group);
    else if (host_.OnGroupClick)
        host_.OnGroupClick(host_.EventSender(), group);
    if (self.expired())
        return;
    if (g) {
        if (!host_.IsGroupExpanded(g))
            host_.ExpandGroup(g);
        else
            host_.CollapseGroup(g);
    }
    if (self.expired())
        return;
    pressedGroup_ = nullptr;
    host_.InvalidateAll(ctRelayout);
}

void TqvNavBarInput::linkClicked(TqvNavBarItemLink *link)
{
    TqvNavBarItem *item = link->Item();
    if (!item || !item->Enabled())
        return;
    const Alive self = alive();
    QPointer<TqvNavBarGroup> group(link->Group());
    const int pressedIndex = pressedLink_ == link ? link->Index() : (pressedLink_ ? pressedLink_->Index() : -1);
    // Handlers may free the link; only the group and index survive the call.
    if (item->OnClick)
        item->OnClick(item);
    else if (QAction *a = item->Action())
        a->trigger();
    else if (host_.OnLinkClick)
        host_.OnLinkClick(host_.EventSender(), link);
    if (self.expired())
        return;
    if (pressedIndex >= 0 && host_.AllowSelectLinks() && group && pressedLink_)
        group->SetSelectedLinkIndex(pressedIndex);
    pressedLink_ = nullptr;
    host_.InvalidateAll(ctRelayout);
}

void TqvNavBarInput::scrollButtonPressed(bool top)
{
    if ((top ? host_.TopScrollButtonState() : host_.BottomScrollButtonState()) & sHidden)
        return;
    topHeld_ = top;
    bottomHeld_ = !top;
    timers_.Start(TqvNavBarTimer::Scroll, scrollInterval_);
    if (TqvNavBarGroup *g = host_.ActiveGroup())
        g->SetTopVisibleLinkIndex(g->TopVisibleLinkIndex() + (top ? -1 : 1));
    host_.InvalidateScrollButtons();
}

void TqvNavBarInput::scrollButtonReleased(bool top)
{
    (top ? topHeld_ : bottomHeld_) = false;
    timers_.Stop(TqvNavBarTimer::Scroll);
    host_.InvalidateScrollButtons();
}

void TqvNavBarInput::scrollTick()
{
    // Scrolling needs a held button or a drag; a hot point alone scrolls nothing.
    if (!(topHeld_ || bottomHeld_ || dragging_)) {
        timers_.Stop(TqvNavBarTimer::Scroll);
        return;
    }
    const bool inTop = host_.TopScrollButtonRect().contains(hotPoint_);
    const bool inBottom = host_.BottomScrollButtonRect().contains(hotPoint_);
    topHeld_ = inTop;
    bottomHeld_ = inBottom;
    if (!inTop && !inBottom) {
        timers_.Stop(TqvNavBarTimer::Scroll);
        return;
    }
    TqvNavBarGroup *g = host_.ActiveGroup();
    if (!g)
        return;
    if (inTop && !(host_.TopScrollButtonState() & sDisabled))
        g->SetTopVisibleLinkIndex(g->TopVisibleLinkIndex() - 1);
    else if (inBottom && !(host_.BottomScrollButtonState() & sDisabled))
        g->SetTopVisibleLinkIndex(g->TopVisibleLinkIndex() + 1);
}

void TqvNavBarInput::startHintTimer(bool group)
{
    if (dragging_ || !(group ? host_.ShowGroupsHint() && hotGroup_ : host_.ShowLinksHint() && hotLink_))
        return;
    timers_.Start(TqvNavBarTimer::Hint, hintPauseOverride_ >= 0 ? hintPauseOverride_ : host_.HintPause());
}

void TqvNavBarInput::hintTick()
{
    timers_.Stop(TqvNavBarTimer::Hint);
    if (hotPoint_.x < 0 || dragging_)
        return;
    const TqvNavBarHintInfo info = host_.HintAt(hotPoint_);
    if (info.text.isEmpty())
        return;
    hintGroup_ = info.group;
    hintLink_ = info.link;
    hintShowing_ = true;
    // The bar's hint is the long part of the subject's hint (the whole text when it has none).
    QString full = info.text;
    if (info.link && info.link->Item())
        full = info.link->Item()->Hint();
    else if (info.group)
        full = info.group->Hint();
    const int sep = int(full.indexOf(QLatin1Char('|')));
    hint_ = sep < 0 ? full : full.mid(sep + 1);
    host_.ShowHintWindow(info);
}

void TqvNavBarInput::hideHint()
{
    timers_.Stop(TqvNavBarTimer::Hint);
    hintShowing_ = false;
    hintGroup_ = nullptr;
    hintLink_ = nullptr;
    host_.HideHintWindow();
}

// ---- drag and drop

void TqvNavBarInput::startDrag(Qt::KeyboardModifiers shift)
{
    const Alive self = alive();
    if (g_drag && g_drag->owner_ && g_drag->owner_ != this)
        g_drag->owner_->clearMouseDown(); // one drag in the program
    std::unique_ptr<TqvNavBarDragObject> handed;
    if (host_.OnStartDrag) {
        host_.OnStartDrag(host_.EventSender(), handed);
        // The handler may have freed the bar or what was pressed (removals clear the mouse-down ones).
        if (self.expired())
            return;
        if (!handed && !mouseDownGroup_ && !mouseDownLink_)
            return;
    }
    if (handed) {
        drag_ = std::move(handed);
    } else {
        drag_ = std::make_unique<TqvNavBarDragObject>();
        drag_->group = mouseDownGroup_;
        drag_->link = mouseDownLink_;
    }
    drag_->bar = host_.EventSender();
    drag_->owner_ = this;
    drag_->ctrl = shift & Qt::ControlModifier;
    g_drag = drag_.get();
    dragging_ = true;
    dropAccepted_ = false;
    dragInside_ = false;
    host_.HotLinkChanged(nullptr);
    if (!self.expired() && drag_)
        host_.HotGroupChanged(nullptr);
}

void TqvNavBarInput::endDrag()
{
    const Alive self = alive();
    const bool had = drag_ != nullptr;
    if (g_drag == drag_.get())
        g_drag = nullptr;
    drag_.reset();
    dragging_ = false;
    dropAccepted_ = false;
    dragInside_ = false;
    mouseDownGroup_ = nullptr;
    mouseDownLink_ = nullptr;
    mouseDownShift_ = {};
    buttonDown_ = false;
    timers_.Stop(TqvNavBarTimer::Scroll);
    topHeld_ = bottomHeld_ = false;
    if (!had)
        return;
    updateCursor();
    host_.InvalidateAll(ctRedraw);
    if (!host_.IsDestroying() && host_.OnEndDrag)
        host_.OnEndDrag(host_.EventSender());
}

void TqvNavBarInput::UpdateTarget()
{
    if (!drag_)
        return;
    TqvNavBarDragObject &d = *drag_;
    if (!host_.InClientArea(hotPoint_)) {
        d.target = {}; // drags never leave their bar
        return;
    }
    if (d.group) {
        TqvNavBarGroup *g = host_.GroupCaptionAt(hotPoint_);
        if (!g)
            g = host_.GroupItemsAt(hotPoint_);
        d.target = {};
        d.target.group = g;
        return;
    }
    if (!d.link && !d.DraggedItem())
        return;
    d.target = host_.DropTargetAt(hotPoint_);
}

void TqvNavBarInput::dragOver(TPoint p)
{
    const Alive self = alive();
    bool accept = false;
    hotPoint_ = p;
    topHeld_ = bottomHeld_ = false;
    pressedGroup_ = nullptr;
    pressedLink_ = nullptr;
    host_.InvalidateAll(ctRedraw);
    host_.InvalidateScrollButtons();
    UpdateTarget();
    if (!drag_)
        return;
    const bool inside = host_.InClientArea(p);
    TqvDragState state = dsDragMove;
    if (!inside) {
        // Outside the bar nothing is a target; the drag-over hears once that the pointer left.
        timers_.Stop(TqvNavBarTimer::Scroll);
        dropAccepted_ = false;
        host_.ShowCursorShape(Qt::ForbiddenCursor);
        if (!dragInside_)
            return;
        dragInside_ = false;
        if (host_.OnDragOver)
            host_.OnDragOver(host_.EventSender(), host_.EventSender(), p.x, p.y, dsDragLeave, accept);
        if (!self.expired() && drag_)
            dropAccepted_ = false;
        return;
    }
    if (!dragInside_) {
        dragInside_ = true;
        state = dsDragEnter;
    }
    const int flags = host_.DragDropFlags();
    if (TqvNavBarItem *item = drag_->DraggedItem(); item && (flags & fAllowDropLink))
        host_.ItemDraggedOver(item, accept);
    else if (drag_->link && (flags & fAllowDropLink))
        host_.LinkDraggedOver(drag_->link, accept);
    else if (drag_->group && (flags & fAllowDropGroup))
        host_.GroupDraggedOver(drag_->group, accept);
    if (self.expired() || !drag_)
        return;
    if (host_.OnDragOver) {
        host_.OnDragOver(host_.EventSender(), host_.EventSender(), p.x, p.y, state, accept);
        if (self.expired() || !drag_)
            return;
    }
    dropAccepted_ = accept;
    if (accept)
        host_.ShowCursorShape(NavBarCursorShape(drag_->DraggedItem() ? host_.DragCopyCursor() : host_.DragCursor()));
    else
        host_.ShowCursorShape(Qt::ForbiddenCursor);
}

void TqvNavBarInput::drop(TPoint p)
{
    const Alive self = alive();
    // A drop happens only where the latest drag over accepted.
    const bool accepted = dropAccepted_;
    pressedGroup_ = nullptr;
    pressedLink_ = nullptr;
    hotPoint_ = p;
    if (accepted && drag_) {
        UpdateTarget();
        if (TqvNavBarItemLink *l = host_.LinkAt(p))
            hotLink_ = l;
        if (TqvNavBarGroup *g = host_.GroupCaptionAt(p))
            hotGroup_ = g;
        const int flags = host_.DragDropFlags();
        if (TqvNavBarItem *item = drag_->DraggedItem(); item && (flags & fAllowDropLink))
            host_.ItemDropped(item);
        else if (drag_->link && (flags & fAllowDropLink))
            host_.LinkDropped(drag_->link);
        else if (drag_->group && (flags & fAllowDropGroup))
            host_.GroupDropped(drag_->group);
    }
    if (!self.expired())
        endDrag();
}

void TqvNavBarInput::groupDraggedOver(TqvNavBarGroup *group, bool &accept)
{
    accept = drag_ && drag_->target.group && drag_->target.group != group;
    host_.InvalidateAll(ctRedraw);
}

void TqvNavBarInput::groupDropped(TqvNavBarGroup *group)
{
    if (drag_ && drag_->target.group && group)
        group->SetIndex(drag_->target.group->Index());
}

void TqvNavBarInput::linkDraggedOver(TqvNavBarItemLink *link, bool &accept)
{
    accept = true;
    if (!host_.TopScrollButtonRect().contains(hotPoint_) && !host_.BottomScrollButtonRect().contains(hotPoint_)) {
        if (TqvNavBarGroup *g = host_.GroupCaptionAt(hotPoint_)) {
            const Alive self = alive();
            host_.ExpandGroup(g);
            if (self.expired())
                return;
            accept = false;
        } else {
            accept = drag_ && drag_->target.group &&
                     (!link || (link != drag_->target.before && link != drag_->target.after));
        }
        host_.InvalidateAll(ctRedraw);
    } else if (!timers_.IsActive(TqvNavBarTimer::Scroll)) {
        // Holding a dragged link over a scroll button scrolls.
        timers_.Start(TqvNavBarTimer::Scroll, scrollInterval_);
    }
}

void TqvNavBarInput::linkDropped(TqvNavBarItemLink *link)
{
    if (!link || !drag_ || drag_->target.index == -1 || !drag_->target.group)
        return;
    int index = drag_->target.index;
    TqvNavBarGroup *target = drag_->target.group;
    TqvNavBarGroup *source = link->Group();
    if (!source)
        return;
    TqvNavBarItemLink *moved = link;
    if (target == source) {
        if (index > link->Index())
            --index;
    } else {
        source->SetSelectedLinkIndex(-1);
        moved = target->CreateLink(link->Item());
        drag_->link = nullptr; // freed next; the drop itself goes on
        source->RemoveLink(source->IndexOfLink(link));
    }
    if (moved && drag_)
        target->MoveLink(moved, index);
    host_.InvalidateAll(ctRedraw);
}

void TqvNavBarInput::itemDropped(TqvNavBarItem *item)
{
    if (!drag_ || !drag_->target.group)
        return;
    TqvNavBarGroup *target = drag_->target.group;
    const int index = drag_->target.index;
    if (TqvNavBarItemLink *l = target->CreateLink(item))
        target->MoveLink(l, index);
}

} // namespace controls
