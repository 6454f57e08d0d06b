#include "controls/navbar/nav_bar.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

namespace controls {

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
    // Transparent for input at the window system too: on X11 the pointer would otherwise enter the
    // hint's window and leave the bar's.
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput),
      bar_(bar)
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

void TqvNavBarHintWindow::Release()
{
    bar_ = nullptr;
    if (painting_) {
        // Freed by a handler inside this window's own paint: go once the paint has returned.
        hide();
        deleteLater();
        return;
    }
    delete this;
}

void TqvNavBarHintWindow::paintEvent(QPaintEvent *)
{
    QImage img(size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    if (bar_) {
        painting_ = true;
        {
            QPainter ip(&img);
            TqvCanvas canvas(ip, bar_->PaintPalette());
            const TRect r(0, 0, width(), height());
            // A handler may free the bar (and so release this window): look at bar_ again after it.
            bool handled = false;
            if (TqvNavBarGroup *g = bar_->HotGroup()) {
                if (bar_->OnCustomDrawGroupHint)
                    bar_->OnCustomDrawGroupHint(bar_.data(), canvas, g, text_, r, handled);
                if (!handled && bar_ && bar_->HotGroup() == g)
                    bar_->Painter().DrawGroupHint(canvas, r, g, text_);
            } else if (TqvNavBarItemLink *l = bar_->HotLink()) {
                if (bar_->OnCustomDrawLinkHint)
                    bar_->OnCustomDrawLinkHint(bar_.data(), canvas, l, text_, r, handled);
                if (!handled && bar_ && bar_->HotLink() == l)
                    bar_->Painter().DrawLinkHint(canvas, r, l, text_);
            }
        }
        painting_ = false;
    }
    QPainter(this).drawImage(0, 0, img);
}

// ---- timers ----------------------------------------------------------------------------------

TqvNavBarQtTimers::TqvNavBarQtTimers(std::function<void(TqvNavBarTimer)> fired)
{
    scroll_.setTimerType(Qt::PreciseTimer);
    hint_.setSingleShot(true);
    QObject::connect(&scroll_, &QTimer::timeout, [fired] { fired(TqvNavBarTimer::Scroll); });
    QObject::connect(&hint_, &QTimer::timeout, [fired] { fired(TqvNavBarTimer::Hint); });
}

// ---- the bar ---------------------------------------------------------------------------------

TqvCustomNavBar::TqvCustomNavBar(QWidget *parent)
    : QFrame(parent), timers_([this](TqvNavBarTimer which) { input_.TimerFired(which); }),
      input_(*this, timers_),
      scrollBar_(*this), groups_(this, this), items_(this, this), styles_(this, this),
      defaults_(this), hintWindow_(new TqvNavBarHintWindow(this))
{
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(150, 300);
    defaults_.SetAssignDefaultHandler([this](int index, TqvNavBarDefaultStyle &s) { Painter().AssignDefaultStyle(index, s); });
    defaults_.OnChange = [this](TqvNavBarDefaultStyles *, TqvNavBarChangeType) { InvalidateAll(ctRebuild); };
    MapToScreen = [this](QPoint p) { return mapToGlobal(p + ClientRectInWidget().topLeft()); };
    leaveWatch_.setInterval(100);
    connect(&leaveWatch_, &QTimer::timeout, this, &TqvCustomNavBar::PointerCheck);
    defaults_.ApplyDefaults(false);
    InvalidateAll(ctRelayout);
}

TqvCustomNavBar::~TqvCustomNavBar()
{
    destroying_ = true;
    leaveWatch_.stop();
    input_.CancelDrag(); // no event: the bar is going
    timers_.Stop(TqvNavBarTimer::Scroll);
    timers_.Stop(TqvNavBarTimer::Hint);
    // Groups link items, groups and items use styles: in this order nothing that could refer
    // to an element outlives it.
    TqvNavBarComponentCollection::DetachForFreeing({&groups_, &items_, &styles_});
    groups_.Clear();
    items_.Clear();
    styles_.Clear();
    painter_.reset();
    TqvNavBarHintWindow *hint = hintWindow_;
    hintWindow_ = nullptr;
    hint->Release();
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

void TqvCustomNavBar::InvalidateHotTracking(const TqvNavBarGroup *group, const TqvNavBarItemLink *link)
{
    // Hover over a large bar: a full layout each step would measure every caption again.
    InvalidateAll(painter_ ? painter_->ViewInfo().HotTrackChangeKind(group, link) : ctRelayout);
}

void TqvCustomNavBar::LinkChanged(TqvNavBarItemLink *link, bool removed)
{
    if (!removed)
        return;
    input_.ForgetLink(link);
    InvalidateAll(ctRebuild);
}

void TqvCustomNavBar::ComponentRemoved(QObject *component)
{
    if (activeGroup_ == component)
        activeGroup_ = nullptr; // the first group becomes active on the next read, silently
    input_.ForgetComponent(component);
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
    const TqvNavBarDragObject *drag = input_.Drag();
    s.dragging = input_.IsDragging();
    s.group = drag ? drag->group : input_.MouseDownGroup();
    s.link = drag ? drag->link : input_.MouseDownLink();
    s.item = drag ? drag->DraggedItem() : nullptr;
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

// ---- input: the Qt events go to the input logic

TPoint TqvCustomNavBar::toClient(const QPointF &p) const
{
    const QPoint c = p.toPoint() - ClientRectInWidget().topLeft();
    return {c.x(), c.y()};
}

void TqvCustomNavBar::mousePressEvent(QMouseEvent *e)
{
    input_.MouseDown(e->button(), e->modifiers(), toClient(e->position()));
}

void TqvCustomNavBar::mouseMoveEvent(QMouseEvent *e)
{
    input_.MouseMove(e->buttons(), e->modifiers(), toClient(e->position()));
}

void TqvCustomNavBar::mouseReleaseEvent(QMouseEvent *e)
{
    input_.MouseUp(e->button(), e->modifiers(), toClient(e->position()));
}

void TqvCustomNavBar::wheelEvent(QWheelEvent *e)
{
    HideHint();
    QFrame::wheelEvent(e);
}

void TqvCustomNavBar::keyPressEvent(QKeyEvent *e)
{
    if (!input_.KeyDown(e->key()))
        QFrame::keyPressEvent(e);
}

void TqvCustomNavBar::keyReleaseEvent(QKeyEvent *e)
{
    if (!input_.KeyUp(e->key()))
        QFrame::keyReleaseEvent(e);
}

void TqvCustomNavBar::enterEvent(QEnterEvent *e)
{
    leaveWatch_.stop();
    QFrame::enterEvent(e);
    if (OnMouseEnter)
        OnMouseEnter(this);
    InvalidateAll(ctRedraw);
}

bool TqvCustomNavBar::pointerOverBarOrHint() const
{
    const QPoint g = QCursor::pos();
    if (rect().contains(mapFromGlobal(g)))
        return true;
    return hintWindow_ && hintWindow_->isVisible() && hintWindow_->geometry().contains(g);
}

void TqvCustomNavBar::PointerCheck()
{
    if (!leaveWatch_.isActive())
        return;
    if (!pointerOverBarOrHint())
        mouseLeft();
}

void TqvCustomNavBar::leaveEvent(QEvent *e)
{
    QFrame::leaveEvent(e);
    // A window system may report the pointer going onto the hint's window as leaving the bar:
    // the hint stays while the pointer is over the bar or the hint.
    if (input_.IsHintShowing() && pointerOverBarOrHint()) {
        leaveWatch_.start();
        return;
    }
    mouseLeft();
}

void TqvCustomNavBar::mouseLeft()
{
    leaveWatch_.stop();
    QPointer<TqvCustomNavBar> self(this);
    input_.MouseLeave();
    if (self && OnMouseLeave)
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
    case QEvent::WindowDeactivate: {
        // The release went elsewhere: forget the press, stop scrolling.
        QPointer<TqvCustomNavBar> self(this);
        input_.PressLost();
        if (!self)
            return true;
        break;
    }
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

// ---- the input logic's host

TqvNavBarGroup *TqvCustomNavBar::GroupCaptionAt(TPoint p)
{
    TqvNavBarGroupViewInfo *g = ViewInfo().GroupAtCaptionPos(p);
    return g ? g->Group() : nullptr;
}

TqvNavBarGroup *TqvCustomNavBar::GroupItemsAt(TPoint p)
{
    TqvNavBarGroupViewInfo *g = ViewInfo().GroupAtItemsPos(p);
    return g ? g->Group() : nullptr;
}

TqvNavBarItemLink *TqvCustomNavBar::LinkAt(TPoint p)
{
    TqvNavBarLinkViewInfo *l = ViewInfo().LinkAtPos(p);
    return l ? l->Link() : nullptr;
}

TqvNavBarItemLink *TqvCustomNavBar::SelectableLinkAt(TPoint p)
{
    TqvNavBarLinkViewInfo *l = ViewInfo().LinkAtSelectedPos(p);
    return l ? l->Link() : nullptr;
}

TqvNavBarHintInfo TqvCustomNavBar::HintAt(TPoint p)
{
    const QPoint screen = MapToScreen(p.toQPoint());
    return ViewInfo().CalculateHintRect(p, {screen.x(), screen.y()});
}

bool TqvCustomNavBar::InClientArea(TPoint p)
{
    return p.x >= 0 && p.y >= 0 && p.x < ClientWidth() && p.y < ClientHeight();
}

void TqvCustomNavBar::ShowCursorShape(Qt::CursorShape shape)
{
    if (shape == Qt::ArrowCursor)
        unsetCursor();
    else
        setCursor(shape);
}

void TqvCustomNavBar::ShowHintWindow(const TqvNavBarHintInfo &hint)
{
    if (hintWindow_)
        hintWindow_->ShowHintAt(hint.rect, hint.text);
}

void TqvCustomNavBar::HideHintWindow()
{
    if (hintWindow_ && hintWindow_->isVisible())
        hintWindow_->hide();
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
