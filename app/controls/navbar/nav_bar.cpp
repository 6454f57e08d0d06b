#include "controls/navbar/nav_bar.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

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

// ---- scroll bar ------------------------------------------------------------------------------

TqvNavBarScrollBar::TqvNavBarScrollBar(TqvCustomNavBar &bar) : bar_(bar), widget_(new QScrollBar(Qt::Vertical, &bar))
{
    widget_->hide();
    QObject::connect(widget_, &QScrollBar::actionTriggered, widget_, [this](int action) {
        if (applying_)
            return;
        int code = -1;
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
        case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
        case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
        case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
        case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
        case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
        case QAbstractSlider::SliderMove: code = widget_->isSliderDown() ? SB_THUMBTRACK : SB_THUMBPOSITION; break;
        default: return;
        }
        const int track = widget_->sliderPosition();
        // The bar decides; the slider then shows the wrapper's position, not its own.
        QTimer::singleShot(0, widget_, [this] { apply(); });
        bar_.VScroll(code, track);
    });
    apply();
}

void TqvNavBarScrollBar::apply()
{
    applying_ = true;
    widget_->setRange(min_, std::max(min_, max_ - page_));
    widget_->setPageStep(std::max(page_, 1));
    widget_->setSingleStep(SmallChange());
    widget_->setSliderPosition(position_);
    widget_->setValue(position_);
    applying_ = false;
}

void TqvNavBarScrollBar::SetParams(int position, int min, int max)
{
    if (max < min || max < page_)
        return;
    position = std::clamp(position, min, max);
    min_ = min;
    max_ = max;
    position_ = position;
    apply();
}

void TqvNavBarScrollBar::SetPageSize(int page)
{
    if (page == page_ || page > max_)
        return;
    page_ = page;
    apply();
}

void TqvNavBarScrollBar::SetVisible(bool on)
{
    if (on == visible_)
        return;
    visible_ = on;
    widget_->setVisible(on);
}

void TqvNavBarScrollBar::Scroll(int code, int trackPos)
{
    int p = position_;
    switch (code) {
    case SB_LINEUP: p -= SmallChange(); break;
    case SB_LINEDOWN: p += SmallChange(); break;
    case SB_PAGEUP: p -= LargeChange(); break;
    case SB_PAGEDOWN: p += LargeChange(); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: p = trackPos; break;
    case SB_TOP: p = min_; break;
    case SB_BOTTOM: p = max_; break;
    default: return;
    }
    SetPosition(std::clamp(p, min_, max_));
}

// ---- hint window -----------------------------------------------------------------------------

TqvNavBarHintWindow::TqvNavBarHintWindow(TqvCustomNavBar *bar)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus), bar_(bar)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QRect TqvNavBarHintWindow::Clamp(const QRect &r, const QRect &screen)
{
    QRect out = r;
    if (out.top() + out.height() > screen.top() + screen.height())
        out.moveTop(screen.top() + screen.height() - out.height());
    if (out.left() + out.width() > screen.left() + screen.width())
        out.moveLeft(screen.left() + screen.width() - out.width());
    if (out.left() < screen.left())
        out.moveLeft(screen.left());
    if (out.top() < screen.top())
        out.moveTop(screen.top());
    return out;
}

void TqvNavBarHintWindow::ShowHintAt(const TRect &r, const QString &text)
{
    text_ = text;
    QRect screen;
    if (QScreen *s = QGuiApplication::primaryScreen())
        screen = s->virtualGeometry();
    const QRect placed = screen.isValid() ? Clamp(r.toQRect(), screen) : r.toQRect();
    setGeometry(placed);
    show();
    update();
}

void TqvNavBarHintWindow::paintEvent(QPaintEvent *)
{
    QImage img(size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    if (bar_) {
        QPainter ip(&img);
        TqvCanvas canvas(ip, bar_->PaintPalette());
        const TRect r(0, 0, width(), height());
        QPointer<TqvCustomNavBar> bar = bar_;
        bool handled = false;
        if (TqvNavBarGroup *g = bar->HotGroup()) {
            if (bar->OnCustomDrawGroupHint)
                bar->OnCustomDrawGroupHint(bar.data(), canvas, g, text_, r, handled);
            if (!handled && bar && bar->HotGroup() == g)
                bar->Painter().DrawGroupHint(canvas, r, g, text_);
        } else if (TqvNavBarItemLink *l = bar->HotLink()) {
            if (bar->OnCustomDrawLinkHint)
                bar->OnCustomDrawLinkHint(bar.data(), canvas, l, text_, r, handled);
            if (!handled && bar && bar->HotLink() == l)
                bar->Painter().DrawLinkHint(canvas, r, l, text_);
        }
    }
    QPainter(this).drawImage(0, 0, img);
}

// ---- drag object -----------------------------------------------------------------------------

namespace {
TqvNavBarDragObject *g_drag = nullptr; // the program's one drag
} // namespace

TqvNavBarItem *TqvNavBarDragObject::DraggedItem() const
{
    if (item)
        return item;
    return ctrl && link ? link->Item() : nullptr;
}

TqvNavBarDragObject *TqvCustomNavBar::CurrentDrag() { return g_drag; }

// ---- the bar ---------------------------------------------------------------------------------

TqvCustomNavBar::TqvCustomNavBar(QWidget *parent)
    : QFrame(parent), scrollBar_(*this), groups_(this, this), items_(this, this), styles_(this, this),
      defaults_(this), hintWindow_(new TqvNavBarHintWindow(this))
{
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(150, 300);
    defaults_.SetAssignDefaultHandler([this](int index, TqvNavBarDefaultStyle &s) { Painter().AssignDefaultStyle(index, s); });
    defaults_.OnChange = [this](TqvNavBarDefaultStyles *, TqvNavBarChangeType) { InvalidateAll(ctRebuild); };
    scrollTimer_.setTimerType(Qt::PreciseTimer);
    connect(&scrollTimer_, &QTimer::timeout, this, [this] { scrollTimerTick(); });
    hintTimer_.setSingleShot(true);
    connect(&hintTimer_, &QTimer::timeout, this, [this] { hintTimerTick(); });
    MapToScreen = [this](QPoint p) { return mapToGlobal(p + ClientRectInWidget().topLeft()); };
    defaults_.ApplyDefaults(false);
    InvalidateAll(ctRelayout);
}

TqvCustomNavBar::~TqvCustomNavBar()
{
    destroying_ = true;
    if (g_drag == drag_.get())
        g_drag = nullptr;
    drag_.reset();
    scrollTimer_.stop();
    hintTimer_.stop();
    groups_.Clear();
    items_.Clear();
    styles_.Clear();
    painter_.reset();
    delete hintWindow_;
}

void TqvCustomNavBar::beginLoading() { loading_ = true; }

void TqvCustomNavBar::endLoading()
{
    if (!loading_)
        return;
    loading_ = false;
    for (int i = 0; i < items_.Count(); ++i)
        items_.Items(i)->Loaded();
    for (int i = 0; i < groups_.Count(); ++i) {
        TqvNavBarGroup *g = groups_.Items(i);
        // Group controls are made only now that the bar is loaded.
        if (g->UseControl()) {
            g->SetUseControl(false);
            g->SetUseControl(true);
        }
    }
    // The active group is empty until now, so the stored index raises the change once.
    if (storedActiveGroupIndex_ >= 0 && storedActiveGroupIndex_ < groups_.Count() &&
        groups_.Items(storedActiveGroupIndex_) != activeGroup_) {
        activeGroup_ = groups_.Items(storedActiveGroupIndex_);
        InvalidateAll(ctRebuild);
        ActiveGroupChanged();
    }
    if (destroying_)
        return;
    defaults_.ApplyDefaults(true);
    InvalidateAll(ctRelayout);
}

// ---- properties

TqvNavBarGroup *TqvCustomNavBar::ActiveGroup() const
{
    auto *self = const_cast<TqvCustomNavBar *>(this);
    if (!activeGroup_ && groups_.Count() > 0 && !loading_)
        self->activeGroup_ = groups_.Items(0);
    return activeGroup_;
}

int TqvCustomNavBar::ActiveGroupIndex() const
{
    if (loading_)
        return storedActiveGroupIndex_;
    TqvNavBarGroup *g = ActiveGroup();
    return g ? g->Index() : -1;
}

void TqvCustomNavBar::SetActiveGroupIndex(int index)
{
    if (loading_) {
        storedActiveGroupIndex_ = index;
        return;
    }
    if (index < 0 || index >= groups_.Count())
        return;
    SetActiveGroup(groups_.Items(index));
}

void TqvCustomNavBar::SetActiveGroup(TqvNavBarGroup *group)
{
    if (!group || group == ActiveGroup())
        return;
    activeGroup_ = group;
    InvalidateAll(ctRebuild);
    ActiveGroupChanged();
}

void TqvCustomNavBar::ActiveGroupChanged()
{
    if (!destroying_ && OnActiveGroupChanged)
        OnActiveGroupChanged(this);
}

void TqvCustomNavBar::SetAllowSelectLinks(bool v)
{
    if (v == allowSelectLinks_)
        return;
    allowSelectLinks_ = v;
    if (!v)
        for (int i = 0; i < groups_.Count(); ++i)
            groups_.Items(i)->SetSelectedLinkIndex(-1);
    InvalidateAll(ctRedraw);
}

void TqvCustomNavBar::SetEachGroupHasSelectedLink(bool v)
{
    if (v == eachGroupHasSelectedLink_)
        return;
    eachGroupHasSelectedLink_ = v;
    if (!v)
        for (int i = 0; i < groups_.Count(); ++i)
            groups_.Items(i)->SetSelectedLinkIndex(-1);
    InvalidateAll(ctRedraw);
}

void TqvCustomNavBar::watchImageList(TqvImageList *&slot, TqvImageList *list,
                                     std::array<QMetaObject::Connection, 2> &links)
{
    for (auto &c : links)
        QObject::disconnect(c);
    slot = list;
    if (list) {
        links[0] = connect(list, &TqvImageList::changed, this, [this] { InvalidateAll(ctRebuild); });
        // A freed list must not be drawn from: drop it and lay out without its images.
        links[1] = connect(list, &QObject::destroyed, this, [this, &slot, &links] {
            for (auto &c : links)
                QObject::disconnect(c);
            slot = nullptr;
            InvalidateAll(ctRebuild);
        });
    }
    InvalidateAll(ctRebuild);
}

void TqvCustomNavBar::SetLargeImages(TqvImageList *list) { watchImageList(largeImages_, list, largeLinks_); }

void TqvCustomNavBar::SetSmallImages(TqvImageList *list) { watchImageList(smallImages_, list, smallLinks_); }

void TqvCustomNavBar::SetShowGroupCaptions(bool v)
{
    showGroupCaptions_ = v;
    InvalidateAll(ctRebuild);
}

void TqvCustomNavBar::SetSpaceBetweenGroups(int v)
{
    spaceBetweenGroups_ = std::max(v, 0);
    InvalidateAll(ctRelayout);
}

void TqvCustomNavBar::SetBarStyle(TqvNavBarBarStyle which, TqvNavBarStyleItem *item)
{
    if (which < 0 || size_t(which) >= barStyles_.size())
        return;
    barStyles_[size_t(which)] = item;
    InvalidateAll(ctRebuild);
}

TqvNavBarStyleItem *TqvCustomNavBar::BarStyle(TqvNavBarBarStyle which) const
{
    if (which < 0 || size_t(which) >= barStyles_.size())
        return nullptr;
    return barStyles_[size_t(which)].data();
}

void TqvCustomNavBar::SetView(int v)
{
    if (v == view_)
        return;
    v = NavBarViewForValue(v);
    if (v == view_)
        return;
    view_ = v;
    HideHint();
    painter_.reset();
    if (!loading_)
        defaults_.ApplyDefaults(false);
    InvalidateAll(ctRebuild);
}

TqvNavBarPainter &TqvCustomNavBar::Painter()
{
    if (!painter_)
        painter_ = MakeNavBarPainter(view_, *this);
    return *painter_;
}

// ---- sink

void TqvCustomNavBar::InvalidateAll(TqvNavBarChangeType kind)
{
    if (destroying_)
        return;
    if (painter_)
        painter_->InvalidateViewInfo(kind);
    update();
}

void TqvCustomNavBar::forgetLink(TqvNavBarItemLink *link)
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
        HideHint();
    }
}

void TqvCustomNavBar::forgetGroup(QObject *group)
{
    if (activeGroup_ == group)
        activeGroup_ = nullptr; // the first group becomes active on the next read, silently
    if (hotGroup_ == group)
        hotGroup_ = nullptr;
    if (pressedGroup_ == group)
        pressedGroup_ = nullptr;
    if (mouseDownGroup_ == group)
        mouseDownGroup_ = nullptr;
    if (drag_) {
        if (drag_->group == group) {
            drag_->group = nullptr;
            endDrag();
        } else if (drag_->target.group == group) {
            drag_->target = {};
            dropAccepted_ = false;
        }
    }
    if (hintGroup_ == group) {
        hintGroup_ = nullptr;
        HideHint();
    }
}

void TqvCustomNavBar::LinkChanged(TqvNavBarItemLink *link, bool removed)
{
    if (!removed)
        return;
    forgetLink(link);
    InvalidateAll(ctRebuild);
}

void TqvCustomNavBar::ComponentRemoved(QObject *component)
{
    forgetGroup(component);
    for (auto &s : barStyles_)
        if (s.data() == component)
            s = nullptr;
    InvalidateAll(ctRebuild);
}

int TqvCustomNavBar::ClientWidth() const { return ClientRectInWidget().width(); }
int TqvCustomNavBar::ClientHeight() const { return ClientRectInWidget().height(); }

QRect TqvCustomNavBar::ClientRectInWidget() const
{
    QRect r = contentsRect();
    if (scrollBar_.Visible())
        r.setWidth(std::max(0, r.width() - TqvNavBarScrollBar::kWidth));
    return r;
}

TqvNavBarPaintDragState TqvCustomNavBar::DragState() const
{
    TqvNavBarPaintDragState s;
    s.dragging = dragging_;
    s.group = drag_ ? drag_->group : mouseDownGroup_;
    s.link = drag_ ? drag_->link : mouseDownLink_;
    s.item = drag_ ? drag_->DraggedItem() : nullptr;
    s.allowDropGroup = dragDropFlags_ & fAllowDropGroup;
    s.allowDropLink = dragDropFlags_ & fAllowDropLink;
    return s;
}

void TqvCustomNavBar::InvalidateRect(const TRect &r, bool)
{
    update(r.toQRect().translated(ClientRectInWidget().topLeft()));
}

void TqvCustomNavBar::InvalidateScrollButtons()
{
    if (painter_) {
        painter_->InvalidateViewInfo(ctRedraw);
        painter_->InvalidateScrollButtons();
    }
}

// ---- painting and geometry

void TqvCustomNavBar::paintEvent(QPaintEvent *e)
{
    QPainter p(this);
    const QRect client = ClientRectInWidget();
    if (client.width() > 0 && client.height() > 0) {
        p.save();
        p.translate(client.topLeft());
        p.setClipRect(QRect(QPoint(0, 0), client.size()));
        // Painting may lay out again, which may show or hide the scroll bar: place it afterwards.
        Painter().Paint(p, e->rect().translated(-client.topLeft()) & QRect(QPoint(0, 0), client.size()));
        p.restore();
    }
    drawFrame(&p);
}

void TqvCustomNavBar::placeScrollBar()
{
    const QRect c = contentsRect();
    scrollBar_.Widget()->setGeometry(c.right() + 1 - TqvNavBarScrollBar::kWidth, c.top(), TqvNavBarScrollBar::kWidth,
                                     c.height());
}

void TqvCustomNavBar::resizeEvent(QResizeEvent *e)
{
    QFrame::resizeEvent(e);
    placeScrollBar();
    InvalidateAll(ctRelayout);
}

// ---- input

TPoint TqvCustomNavBar::toClient(const QPointF &p) const
{
    const QPoint c = p.toPoint() - ClientRectInWidget().topLeft();
    return {c.x(), c.y()};
}

void TqvCustomNavBar::clearMouseDown()
{
    if (drag_)
        endDrag();
    mouseDownGroup_ = nullptr;
    mouseDownLink_ = nullptr;
    mouseDownShift_ = {};
    buttonDown_ = false;
    dragging_ = false;
}

void TqvCustomNavBar::mousePressEvent(QMouseEvent *e)
{
    HideHint();
    QPointer<TqvCustomNavBar> self(this);
    const TPoint p = toClient(e->position());
    if (OnMouseDown) {
        OnMouseDown(this, e->button(), e->modifiers(), p.x, p.y);
        if (!self)
            return;
    }
    if (e->button() == Qt::LeftButton) {
        // A press the bar never saw released (a dialog took the grab) leaves nothing behind.
        clearMouseDown();
        buttonDown_ = true;
        mouseDownShift_ = e->modifiers();
        mouseDownPoint_ = p;
        TqvNavBarViewInfo &vi = ViewInfo();
        if (vi.TopScrollButtonRect().contains(p)) {
            TopScrollButtonPressed();
            return;
        }
        if (vi.BottomScrollButtonRect().contains(p)) {
            BottomScrollButtonPressed();
            return;
        }
        if (TqvNavBarGroupViewInfo *g = vi.GroupAtCaptionPos(p); g && g->Group()) {
            mouseDownGroup_ = g->Group();
            GroupPressed(mouseDownGroup_);
            if (!self)
                return;
        }
        TqvNavBarLinkViewInfo *l = ViewInfo().LinkAtSelectedPos(p);
        if (l && l->Link() && l->Link()->Group()) {
            mouseDownLink_ = l->Link();
            LinkPressed(mouseDownLink_);
        }
        return;
    }
    if (e->button() == Qt::RightButton && dragging_) {
        clearMouseDown(); // the right button cancels a drag
        InvalidateAll(ctRedraw);
        return;
    }
    if (hotGroup_ || hotLink_) {
        hotGroup_ = nullptr;
        hotLink_ = nullptr;
        InvalidateAll(ctRedraw);
    }
}

void TqvCustomNavBar::mouseMoveEvent(QMouseEvent *e)
{
    QPointer<TqvCustomNavBar> self(this);
    const TPoint p = toClient(e->position());
    hotPoint_ = p;
    if (ViewInfo().TopScrollButtonState() != sHidden || ViewInfo().BottomScrollButtonState() != sHidden)
        InvalidateScrollButtons();
    // A drag needs the left button held; a press the bar lost track of starts nothing.
    if (buttonDown_ && !(e->buttons() & Qt::LeftButton))
        clearMouseDown();
    if (drag_) {
        drag_->ctrl = e->modifiers() & Qt::ControlModifier;
        dragOver(p);
        return;
    }
    const bool canDrag = buttonDown_ && (((dragDropFlags_ & fAllowDragGroup) && mouseDownGroup_) ||
                                         ((dragDropFlags_ & fAllowDragLink) && mouseDownLink_ &&
                                          mouseDownLink_->Item() && mouseDownLink_->Item()->Enabled()));
    if (canDrag && (std::abs(p.x - mouseDownPoint_.x) > 3 || std::abs(p.y - mouseDownPoint_.y) > 3)) {
        mouseDownShift_ = {};
        startDrag();
        if (self && drag_) {
            drag_->ctrl = e->modifiers() & Qt::ControlModifier;
            dragOver(p);
        }
        return;
    }
    if (OnMouseMove) {
        OnMouseMove(this, e->modifiers(), p.x, p.y);
        if (!self)
            return;
    }
    if (!buttonDown_) {
        TqvNavBarLinkViewInfo *l = ViewInfo().LinkAtPos(p);
        TqvNavBarItemLink *link = l ? l->Link() : nullptr;
        if (link != hotLink_)
            HotLinkChanged(link);
        if (!self)
            return;
        TqvNavBarGroupViewInfo *g = ViewInfo().GroupAtCaptionPos(p);
        TqvNavBarGroup *group = g ? g->Group() : nullptr;
        if (group != hotGroup_)
            HotGroupChanged(group);
        if (!self)
            return;
    }
    updateCursor();
}

void TqvCustomNavBar::mouseReleaseEvent(QMouseEvent *e)
{
    QPointer<TqvCustomNavBar> self(this);
    const TPoint p = toClient(e->position());
    if (e->button() != Qt::LeftButton) {
        if (!drag_ && OnMouseUp)
            OnMouseUp(this, e->button(), e->modifiers(), p.x, p.y);
        return;
    }
    hotPoint_ = p;
    if (drag_) {
        drag_->ctrl = e->modifiers() & Qt::ControlModifier;
        drop(p);
        return;
    }
    if (OnMouseUp) {
        OnMouseUp(this, e->button(), e->modifiers(), p.x, p.y);
        if (!self)
            return;
    }
    TqvNavBarViewInfo &vi = ViewInfo();
    TqvNavBarGroup *group = mouseDownGroup_;
    TqvNavBarItemLink *link = mouseDownLink_;
    if (vi.TopScrollButtonRect().contains(p) || topHeld_) {
        TopScrollButtonReleased();
    } else if (vi.BottomScrollButtonRect().contains(p) || bottomHeld_) {
        BottomScrollButtonReleased();
    } else {
        topHeld_ = bottomHeld_ = false;
        scrollTimer_.stop();
        clearMouseDown();
        if (group)
            GroupClicked(group);
        else if (link)
            LinkClicked(link);
        if (!self)
            return;
    }
    clearMouseDown();
    updateCursor();
}

void TqvCustomNavBar::wheelEvent(QWheelEvent *e)
{
    HideHint();
    QFrame::wheelEvent(e);
}

void TqvCustomNavBar::keyPressEvent(QKeyEvent *e)
{
    HideHint();
    if (e->key() == Qt::Key_Escape && drag_) {
        clearMouseDown();
        return;
    }
    if (e->key() == Qt::Key_Control && drag_) {
        drag_->ctrl = true;
        dragOver(hotPoint_);
        return;
    }
    QFrame::keyPressEvent(e);
}

void TqvCustomNavBar::keyReleaseEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Control && drag_) {
        drag_->ctrl = false;
        dragOver(hotPoint_);
        return;
    }
    QFrame::keyReleaseEvent(e);
}

// ---- drag and drop

void TqvCustomNavBar::startDrag()
{
    QPointer<TqvCustomNavBar> self(this);
    if (g_drag && g_drag->bar && g_drag->bar != this)
        g_drag->bar->clearMouseDown(); // one drag in the program
    if (OnStartDrag) {
        OnStartDrag(this);
        // The handler may have freed the bar or what was pressed (removals clear the mouse-down ones).
        if (!self || (!mouseDownGroup_ && !mouseDownLink_))
            return;
    }
    drag_ = std::make_unique<TqvNavBarDragObject>();
    drag_->bar = this;
    drag_->group = mouseDownGroup_;
    drag_->link = mouseDownLink_;
    g_drag = drag_.get();
    dragging_ = true;
    dropAccepted_ = false;
    HotLinkChanged(nullptr);
    if (self)
        HotGroupChanged(nullptr);
}

void TqvCustomNavBar::endDrag()
{
    const bool had = drag_ != nullptr;
    if (g_drag == drag_.get())
        g_drag = nullptr;
    drag_.reset();
    dragging_ = false;
    dropAccepted_ = false;
    mouseDownGroup_ = nullptr;
    mouseDownLink_ = nullptr;
    mouseDownShift_ = {};
    buttonDown_ = false;
    scrollTimer_.stop();
    topHeld_ = bottomHeld_ = false;
    if (!had)
        return;
    updateCursor();
    InvalidateAll(ctRedraw);
    if (!destroying_ && OnEndDrag)
        OnEndDrag(this);
}

void TqvCustomNavBar::UpdateTarget()
{
    if (!drag_)
        return;
    TqvNavBarDragObject &d = *drag_;
    const bool inside = hotPoint_.x >= 0 && hotPoint_.y >= 0 && hotPoint_.x < ClientWidth() && hotPoint_.y < ClientHeight();
    if (!inside) {
        d.target = {}; // drags never leave their bar
        return;
    }
    if (d.group) {
        TqvNavBarGroupViewInfo *g = ViewInfo().GroupAtCaptionPos(hotPoint_);
        if (!g)
            g = ViewInfo().GroupAtItemsPos(hotPoint_);
        d.target = {};
        d.target.group = g ? g->Group() : nullptr;
        return;
    }
    if (!d.link && !d.DraggedItem())
        return;
    d.target = ViewInfo().GetDropTarget(hotPoint_);
}

void TqvCustomNavBar::dragOver(TPoint p)
{
    QPointer<TqvCustomNavBar> self(this);
    bool accept = false;
    hotPoint_ = p;
    topHeld_ = bottomHeld_ = false;
    pressedGroup_ = nullptr;
    pressedLink_ = nullptr;
    InvalidateAll(ctRedraw);
    InvalidateScrollButtons();
    UpdateTarget();
    if (!drag_)
        return;
    if (TqvNavBarItem *item = drag_->DraggedItem(); item && (dragDropFlags_ & fAllowDropLink))
        ItemDraggedOver(item, accept);
    else if (drag_->link && (dragDropFlags_ & fAllowDropLink))
        LinkDraggedOver(drag_->link, accept);
    else if (drag_->group && (dragDropFlags_ & fAllowDropGroup))
        GroupDraggedOver(drag_->group, accept);
    if (!self || !drag_)
        return;
    if (OnDragOver) {
        OnDragOver(this, this, p.x, p.y, accept);
        if (!self || !drag_)
            return;
    }
    dropAccepted_ = accept;
    if (accept)
        setCursor(NavBarCursorShape(drag_->DraggedItem() ? dragCopyCursor_ : dragCursor_));
    else
        setCursor(Qt::ForbiddenCursor);
}

void TqvCustomNavBar::drop(TPoint p)
{
    QPointer<TqvCustomNavBar> self(this);
    // A drop happens only where the latest drag over accepted.
    const bool accepted = dropAccepted_;
    pressedGroup_ = nullptr;
    pressedLink_ = nullptr;
    hotPoint_ = p;
    if (accepted && drag_) {
        UpdateTarget();
        if (TqvNavBarLinkViewInfo *l = ViewInfo().LinkAtPos(p))
            hotLink_ = l->Link();
        if (TqvNavBarGroupViewInfo *g = ViewInfo().GroupAtCaptionPos(p))
            hotGroup_ = g->Group();
        if (TqvNavBarItem *item = drag_->DraggedItem(); item && (dragDropFlags_ & fAllowDropLink))
            ItemDropped(item);
        else if (drag_ && drag_->link && (dragDropFlags_ & fAllowDropLink))
            LinkDropped(drag_->link);
        else if (drag_ && drag_->group && (dragDropFlags_ & fAllowDropGroup))
            GroupDropped(drag_->group);
    }
    if (self)
        endDrag();
}

void TqvCustomNavBar::GroupDraggedOver(TqvNavBarGroup *group, bool &accept)
{
    accept = drag_ && drag_->target.group && drag_->target.group != group;
    InvalidateAll(ctRedraw);
}

void TqvCustomNavBar::GroupDropped(TqvNavBarGroup *group)
{
    if (drag_ && drag_->target.group)
        group->SetIndex(drag_->target.group->Index());
}

void TqvCustomNavBar::LinkDraggedOver(TqvNavBarItemLink *link, bool &accept)
{
    accept = true;
    TqvNavBarViewInfo &vi = ViewInfo();
    if (!vi.TopScrollButtonRect().contains(hotPoint_) && !vi.BottomScrollButtonRect().contains(hotPoint_)) {
        if (TqvNavBarGroupViewInfo *g = vi.GroupAtCaptionPos(hotPoint_); g && g->Group()) {
            QPointer<TqvCustomNavBar> self(this);
            Painter().ActivateGroup(g->Group());
            if (!self)
                return;
            accept = false;
        } else {
            accept = drag_ && drag_->target.group &&
                     (!link || (link != drag_->target.before && link != drag_->target.after));
        }
        InvalidateAll(ctRedraw);
    } else {
        // Holding a dragged link over a scroll button scrolls.
        if (!scrollTimer_.isActive())
            scrollTimer_.start(scrollInterval_);
    }
}

void TqvCustomNavBar::ItemDraggedOver(TqvNavBarItem *, bool &accept) { LinkDraggedOver(nullptr, accept); }

void TqvCustomNavBar::LinkDropped(TqvNavBarItemLink *link)
{
    if (!drag_ || drag_->target.index == -1 || !drag_->target.group)
        return;
    int index = drag_->target.index;
    TqvNavBarGroup *target = drag_->target.group;
    TqvNavBarGroup *source = link->Group();
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
    InvalidateAll(ctRedraw);
}

void TqvCustomNavBar::ItemDropped(TqvNavBarItem *item)
{
    if (!drag_ || !drag_->target.group)
        return;
    TqvNavBarGroup *target = drag_->target.group;
    const int index = drag_->target.index;
    if (TqvNavBarItemLink *l = target->CreateLink(item))
        target->MoveLink(l, index);
}

void TqvCustomNavBar::enterEvent(QEnterEvent *e)
{
    QFrame::enterEvent(e);
    if (OnMouseEnter)
        OnMouseEnter(this);
    InvalidateAll(ctRedraw);
}

void TqvCustomNavBar::leaveEvent(QEvent *e)
{
    QFrame::leaveEvent(e);
    HideHint();
    hotPoint_ = {-1, -1};
    hotGroup_ = pressedGroup_ = nullptr;
    hotLink_ = pressedLink_ = nullptr;
    QPointer<TqvCustomNavBar> self(this);
    if (OnMouseLeave)
        OnMouseLeave(this);
    if (self)
        InvalidateAll(ctRedraw);
}

void TqvCustomNavBar::focusOutEvent(QFocusEvent *e)
{
    HideHint();
    QFrame::focusOutEvent(e);
}

void TqvCustomNavBar::changeEvent(QEvent *e)
{
    QFrame::changeEvent(e);
    switch (e->type()) {
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::ThemeChange:
        InvalidateAll(ctRebuild);
        break;
    case QEvent::ActivationChange:
        HideHint();
        break;
    default:
        break;
    }
}

bool TqvCustomNavBar::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::UngrabMouse:
    case QEvent::WindowDeactivate:
        // The release went elsewhere: forget the press, stop scrolling.
        HideHint();
        clearMouseDown();
        scrollTimer_.stop();
        topHeld_ = bottomHeld_ = false;
        pressedGroup_ = nullptr;
        pressedLink_ = nullptr;
        break;
    case QEvent::Polish:
        // Lay the group controls out before the window shows them: a child shown without a size
        // of its own is resized to its size hint, which would overwrite its recorded height.
        if (!loading_)
            ViewInfo().EnsureLayout();
        break;
    case QEvent::ToolTip:
        return true; // the bar shows its own hints, never a second tip
    default:
        break;
    }
    return QFrame::event(e);
}

void TqvCustomNavBar::updateCursor()
{
    int c = 0;
    if (dragging_)
        c = (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) ? dragCopyCursor_ : dragCursor_;
    else if (hotGroup_)
        c = hotTrackedGroupCursor_;
    else if (hotLink_ && hotLink_->Item() && hotLink_->Item()->Enabled())
        c = hotTrackedLinkCursor_;
    if (c == 0)
        unsetCursor();
    else
        setCursor(NavBarCursorShape(c));
}

// ---- operations

void TqvCustomNavBar::HotGroupChanged(TqvNavBarGroup *group)
{
    HideHint();
    if (hotGroup_)
        InvalidateAll(ctRelayout);
    hotGroup_ = group;
    StartGroupHintTimer();
    if (group)
        InvalidateAll(ctRelayout);
    if (OnGroupHotTrack)
        OnGroupHotTrack(this, group);
}

void TqvCustomNavBar::HotLinkChanged(TqvNavBarItemLink *link)
{
    HideHint();
    if (hotLink_)
        InvalidateAll(ctRelayout);
    hotLink_ = link;
    StartLinkHintTimer();
    if (link)
        InvalidateAll(ctRelayout);
    if (OnLinkHotTrack)
        OnLinkHotTrack(this, link);
}

void TqvCustomNavBar::GroupPressed(TqvNavBarGroup *group)
{
    QPointer<TqvCustomNavBar> self(this);
    pressedGroup_ = group;
    if (OnGroupPress)
        OnGroupPress(this, group);
    if (self)
        InvalidateAll(ctRelayout);
}

void TqvCustomNavBar::LinkPressed(TqvNavBarItemLink *link)
{
    QPointer<TqvCustomNavBar> self(this);
    if (link->Group() && link->Group()->SelectedLinkIndex() > -1)
        InvalidateAll(ctRelayout);
    if (link->Item() && link->Item()->Enabled()) {
        pressedLink_ = link;
        if (OnLinkPress)
            OnLinkPress(this, link);
        if (!self)
            return;
        if (!eachGroupHasSelectedLink_)
            for (int i = 0; i < groups_.Count(); ++i)
                groups_.Items(i)->SetSelectedLinkIndex(-1);
    }
    InvalidateAll(ctRelayout);
}

void TqvCustomNavBar::GroupClicked(TqvNavBarGroup *group)
{
    QPointer<TqvCustomNavBar> self(this);
    QPointer<TqvNavBarGroup> g(group);
    if (group->OnClick)
        group->OnClick(group);
    else if (OnGroupClick)
        OnGroupClick(this, group);
    if (!self)
        return;
    if (g) {
        if (!Painter().IsGroupActive(g))
            Painter().ActivateGroup(g);
        else
            Painter().DeactivateGroup(g);
    }
    if (!self)
        return;
    pressedGroup_ = nullptr;
    InvalidateAll(ctRelayout);
}

void TqvCustomNavBar::LinkClicked(TqvNavBarItemLink *link)
{
    TqvNavBarItem *item = link->Item();
    if (!item || !item->Enabled())
        return;
    QPointer<TqvCustomNavBar> self(this);
    QPointer<TqvNavBarGroup> group(link->Group());
    const int pressedIndex = pressedLink_ == link ? link->Index() : (pressedLink_ ? pressedLink_->Index() : -1);
    // Handlers may free the link; only the group and index survive the call.
    if (item->OnClick)
        item->OnClick(item);
    else if (QAction *a = item->Action())
        a->trigger();
    else if (OnLinkClick)
        OnLinkClick(this, link);
    if (!self)
        return;
    if (pressedIndex >= 0 && allowSelectLinks_ && group && pressedLink_)
        group->SetSelectedLinkIndex(pressedIndex);
    pressedLink_ = nullptr;
    InvalidateAll(ctRelayout);
}

void TqvCustomNavBar::TopScrollButtonPressed()
{
    if (ViewInfo().TopScrollButtonState() & sHidden)
        return;
    bottomHeld_ = false;
    topHeld_ = true;
    scrollTimer_.start(scrollInterval_);
    if (TqvNavBarGroup *g = ActiveGroup())
        g->SetTopVisibleLinkIndex(g->TopVisibleLinkIndex() - 1);
    InvalidateScrollButtons();
}

void TqvCustomNavBar::BottomScrollButtonPressed()
{
    if (ViewInfo().BottomScrollButtonState() & sHidden)
        return;
    topHeld_ = false;
    bottomHeld_ = true;
    scrollTimer_.start(scrollInterval_);
    if (TqvNavBarGroup *g = ActiveGroup())
        g->SetTopVisibleLinkIndex(g->TopVisibleLinkIndex() + 1);
    InvalidateScrollButtons();
}

void TqvCustomNavBar::TopScrollButtonReleased()
{
    topHeld_ = false;
    scrollTimer_.stop();
    InvalidateScrollButtons();
}

void TqvCustomNavBar::BottomScrollButtonReleased()
{
    bottomHeld_ = false;
    scrollTimer_.stop();
    InvalidateScrollButtons();
}

void TqvCustomNavBar::scrollTimerTick()
{
    // Scrolling needs a held button or a drag; a hot point alone scrolls nothing.
    if (!(topHeld_ || bottomHeld_ || dragging_)) {
        scrollTimer_.stop();
        return;
    }
    TqvNavBarViewInfo &vi = ViewInfo();
    const bool inTop = vi.TopScrollButtonRect().contains(hotPoint_);
    const bool inBottom = vi.BottomScrollButtonRect().contains(hotPoint_);
    topHeld_ = inTop;
    bottomHeld_ = inBottom;
    if (!inTop && !inBottom) {
        scrollTimer_.stop();
        return;
    }
    TqvNavBarGroup *g = ActiveGroup();
    if (!g)
        return;
    if (inTop && !(vi.TopScrollButtonState() & sDisabled))
        g->SetTopVisibleLinkIndex(g->TopVisibleLinkIndex() - 1);
    else if (inBottom && !(vi.BottomScrollButtonState() & sDisabled))
        g->SetTopVisibleLinkIndex(g->TopVisibleLinkIndex() + 1);
}

void TqvCustomNavBar::startHintTimer()
{
    const int pause = hintPauseOverride_ >= 0 ? hintPauseOverride_ : ViewInfo().HintPause();
    hintTimer_.start(pause);
}

void TqvCustomNavBar::StartGroupHintTimer()
{
    if (dragging_ || !showGroupsHint_ || !hotGroup_)
        return;
    startHintTimer();
}

void TqvCustomNavBar::StartLinkHintTimer()
{
    if (dragging_ || !showLinksHint_ || !hotLink_)
        return;
    startHintTimer();
}

void TqvCustomNavBar::hintTimerTick()
{
    hintTimer_.stop();
    if (hotPoint_.x < 0)
        return;
    const QPoint screen = MapToScreen(hotPoint_.toQPoint());
    TqvNavBarHintInfo info = ViewInfo().CalculateHintRect(hotPoint_, {screen.x(), screen.y()});
    if (info.text.isEmpty())
        return;
    hintGroup_ = info.group;
    hintLink_ = info.link;
    hintWindow_->ShowHintAt(info.rect, info.text);
    hintShowing_ = true;
    // The bar's hint is the long part of the subject's hint (the whole text when it has none).
    QString full = info.text;
    if (info.link && info.link->Item())
        full = info.link->Item()->Hint();
    else if (info.group)
        full = info.group->Hint();
    const int sep = int(full.indexOf(QLatin1Char('|')));
    hint_ = sep < 0 ? full : full.mid(sep + 1);
}

void TqvCustomNavBar::HideHint()
{
    hintTimer_.stop();
    if (hintWindow_ && hintWindow_->isVisible())
        hintWindow_->hide();
    hintShowing_ = false;
    hintGroup_ = nullptr;
    hintLink_ = nullptr;
}

void TqvCustomNavBar::VScroll(int code, int trackPos)
{
    if (code == TqvNavBarScrollBar::SB_THUMBTRACK)
        for (int i = 0; i < groups_.Count(); ++i)
            if (groups_.Items(i)->Control())
                return;
    scrollBar_.Scroll(code, trackPos);
    InvalidateAll(ctRelayout);
}

} // namespace controls
