#include "controls/navbar/nav_bar_items.h"

#include <QAction>
#include <QCoreApplication>
#include <QDynamicPropertyChangeEvent>
#include <QEvent>
#include <QResizeEvent>
#include <algorithm>

namespace controls {

namespace {
const char kImageIndexProperty[] = "imageIndex";
} // namespace

// ---- TqvNavBarItemLink -----------------------------------------------------------------------

void TqvNavBarItemLink::SetItem(TqvNavBarItem *item)
{
    if (item_.data() == item)
        return;
    group_->DropReference(item_.data());
    item_ = item;
    group_->AddReference(item);
    group_->linksChanged();
}

int TqvNavBarItemLink::Index() const
{
    return group_->IndexOfLink(this);
}

bool TqvNavBarItemLink::IsSelected() const
{
    return Index() == group_->SelectedLinkIndex();
}

// ---- TqvNavBarGroup --------------------------------------------------------------------------

TqvNavBarGroup::TqvNavBarGroup(QObject *owner) : TqvNavBarComponentCollectionItem(owner)
{
    connect(this, &QObject::objectNameChanged, this, &TqvNavBarGroup::nameChanged);
}

TqvNavBarGroup::~TqvNavBarGroup()
{
    // Links and control go while the group is still listed, so the bar hears of every link.
    DestroyGroupControl();
    while (!links_.empty())
        deleteLink(LinkCount() - 1);
    NotifyRemoval();
}

TqvNavBarGroups *TqvNavBarGroup::groups() const
{
    return dynamic_cast<TqvNavBarGroups *>(Collection());
}

void TqvNavBarGroup::nameChanged(const QString &name)
{
    if (!IsLoading() && caption_ == name_)
        SetCaption(name);
    name_ = name;
}

void TqvNavBarGroup::SetCaption(const QString &v)
{
    setField(caption_, v, ctRelayout);
}

void TqvNavBarGroup::SetExpanded(bool v)
{
    if (!setField(expanded_, v, ctRebuild))
        return;
    if (const TNotifyEvent &event = v ? OnExpanded : OnCollapsed)
        event(this);
}

void TqvNavBarGroup::SetLargeImageIndex(int v)
{
    setField(largeImageIndex_, v, ctRedraw);
}

void TqvNavBarGroup::SetLinksUseSmallImages(bool v)
{
    setField(linksUseSmallImages_, v, ctRelayout);
}

void TqvNavBarGroup::SetSelectedLinkIndex(int v)
{
    // Compared after clamping: clearing a selection that is already clear does nothing.
    v = std::clamp(v, -1, LinkCount() - 1);
    if (v == selectedLinkIndex_)
        return;
    selectedLinkIndex_ = v;
    Changed(ctRedraw);
    if (OnSelectedLinkChanged)
        OnSelectedLinkChanged(this);
}

void TqvNavBarGroup::SetShowAsIconView(bool v)
{
    setField(showAsIconView_, v, ctRelayout);
}

void TqvNavBarGroup::SetShowExpandButton(bool v)
{
    setField(showExpandButton_, v, ctRedraw);
}

void TqvNavBarGroup::SetSmallImageIndex(int v)
{
    setField(smallImageIndex_, v, ctRedraw);
}

void TqvNavBarGroup::setStyleRef(QPointer<TqvNavBarStyleItem> &ref, TqvNavBarStyleItem *v)
{
    TqvNavBarStyleItem *old = ref.data();
    if (!setField(ref, v, ctRelayout))
        return;
    DropReference(old);
    AddReference(v);
}

void TqvNavBarGroup::SetTopVisibleLinkIndex(int v)
{
    if (v == topVisibleLinkIndex_)
        return;
    v = std::max(v, 0);
    if (v >= LinkCount() - 1)
        v = LinkCount() - 1;
    if (v == topVisibleLinkIndex_)
        return;
    topVisibleLinkIndex_ = v;
    Changed(ctRelayout);
    if (OnTopVisibleLinkChanged)
        OnTopVisibleLinkChanged(this);
}

void TqvNavBarGroup::clampTopVisibleLinkIndex()
{
    // The stored value is re-clamped to the links there are now (a top index past the end would
    // scroll every link out of sight).
    int v = std::max(topVisibleLinkIndex_, 0);
    if (v >= LinkCount() - 1)
        v = LinkCount() - 1;
    if (v == topVisibleLinkIndex_)
        return;
    topVisibleLinkIndex_ = v;
    Changed(ctRelayout);
    if (OnTopVisibleLinkChanged)
        OnTopVisibleLinkChanged(this);
}

void TqvNavBarGroup::SetUseControl(bool v)
{
    if (useControl_ == v)
        return;
    if (!IsLoading()) {
        if (v) {
            showControl_ = true;
            useControl_ = true;
            CreateGroupControl();
        } else {
            showControl_ = false;
            useControl_ = false;
            DestroyGroupControl();
        }
    }
    useControl_ = v;
    Changed(ctRebuild);
}

void TqvNavBarGroup::SetShowControl(bool v)
{
    if (showControl_ == v)
        return;
    if (v && !useControl_ && !IsLoading()) {
        useControl_ = true;
        showControl_ = true;
        CreateGroupControl();
    }
    showControl_ = v;
    Changed(ctRebuild);
}

void TqvNavBarGroup::SetUseSmallImages(bool v)
{
    setField(useSmallImages_, v, ctRelayout);
}

void TqvNavBarGroup::SetVisible(bool v)
{
    if (visible_ == v)
        return;
    visible_ = v;
    // Hidden with its group; the layout shows it again when the group is open.
    if (control_ && !v)
        control_->hide();
    Changed(ctRebuild);
}

void TqvNavBarGroup::CreateGroupControl()
{
    if (IsLoading() || control_ || !Collection())
        return;
    QWidget *bar = Bar() ? Bar()->ControlParent() : nullptr;
    if (!bar) // without a bar it would become a window of its own
        return;
    control_ = new TqvNavBarGroupControl(this, bar);
    if (!objectName().isEmpty())
        control_->setObjectName(objectName() + QLatin1String("Control"));
}

void TqvNavBarGroup::DestroyGroupControl()
{
    TqvNavBarGroupControl *control = control_;
    control_ = nullptr;
    if (control) {
        control->group_ = nullptr;
        delete control;
    }
}

void TqvNavBarGroup::controlGone(TqvNavBarGroupControl *control)
{
    if (control != control_)
        return;
    control_ = nullptr;
    SetUseControl(false);
}

TqvNavBarItemLink *TqvNavBarGroup::Links(int index) const
{
    return index >= 0 && index < LinkCount() ? links_[size_t(index)].get() : nullptr;
}

int TqvNavBarGroup::IndexOfLink(const TqvNavBarItemLink *link) const
{
    for (size_t i = 0; i < links_.size(); ++i)
        if (links_[i].get() == link)
            return int(i);
    return -1;
}

TqvNavBarItemLink *TqvNavBarGroup::CreateLink(TqvNavBarItem *item)
{
    if (!item)
        return nullptr;
    links_.push_back(std::unique_ptr<TqvNavBarItemLink>(new TqvNavBarItemLink(this, item)));
    TqvNavBarItemLink *link = links_.back().get();
    AddReference(item);
    if (TqvNavBarGroups *g = groups())
        g->LinkChanged(link, false);
    linksChanged();
    return link;
}

void TqvNavBarGroup::RemoveLink(int index)
{
    if (index < 0 || index >= LinkCount())
        return;
    deleteLink(index);
    // Keep the selection on the link it was on and the top index within the links.
    if (selectedLinkIndex_ == index)
        SetSelectedLinkIndex(-1);
    else if (index < selectedLinkIndex_)
        SetSelectedLinkIndex(selectedLinkIndex_ - 1);
    clampTopVisibleLinkIndex();
    linksChanged();
}

void TqvNavBarGroup::deleteLink(int index)
{
    TqvNavBarItemLink *link = links_[size_t(index)].get();
    DropReference(link->item_.data());
    link->item_ = nullptr;
    if (TqvNavBarGroups *g = groups())
        g->LinkChanged(link, true);
    links_.erase(links_.begin() + index);
}

void TqvNavBarGroup::MoveLink(TqvNavBarItemLink *link, int index)
{
    const int from = IndexOfLink(link);
    if (from < 0)
        return;
    index = std::clamp(index, 0, LinkCount() - 1);
    TqvNavBarItemLink *selected = Links(selectedLinkIndex_);
    auto moved = std::move(links_[size_t(from)]);
    links_.erase(links_.begin() + from);
    links_.insert(links_.begin() + index, std::move(moved));
    if (selected)
        selectedLinkIndex_ = IndexOfLink(selected);
    linksChanged();
}

void TqvNavBarGroup::linksChanged()
{
    Changed(ctRebuild);
}

void TqvNavBarGroup::Notification(QObject *removed)
{
    // Walk from the front and test the same position again after a deletion, so adjacent links
    // to the item all go; the walk ends once the links the item knows of are gone.
    const auto *item = qobject_cast<TqvNavBarItem *>(removed);
    int left = item ? item->ReferencesFrom(this) : 0;
    for (int i = 0; i < LinkCount() && left > 0;) {
        if (static_cast<QObject *>(links_[size_t(i)]->item_.data()) == removed) {
            RemoveLink(i);
            --left;
        } else {
            ++i;
        }
    }
    for (QPointer<TqvNavBarStyleItem> *ref :
         {&styleBackground_, &styleHeader_, &styleHeaderActive_, &styleHeaderHotTracked_, &styleHeaderPressed_})
        if (static_cast<QObject *>(ref->data()) == removed)
            setStyleRef(*ref, nullptr);
}

void TqvNavBarGroup::Assign(const TqvNavBarGroup &source)
{
    if (&source == this)
        return;
    SetCaption(source.caption_);
    SetExpanded(source.expanded_);
    SetHint(source.hint_);
    SetLargeImageIndex(source.largeImageIndex_);
    SetLinksUseSmallImages(source.linksUseSmallImages_);
    SetShowAsIconView(source.showAsIconView_);
    SetShowExpandButton(source.showExpandButton_);
    SetSmallImageIndex(source.smallImageIndex_);
    SetStyleBackground(source.StyleBackground());
    SetStyleHeader(source.StyleHeader());
    SetStyleHeaderActive(source.StyleHeaderActive());
    SetStyleHeaderHotTracked(source.StyleHeaderHotTracked());
    SetStyleHeaderPressed(source.StyleHeaderPressed());
    SetUseSmallImages(source.useSmallImages_);
    SetVisible(source.visible_);
    while (LinkCount() > 0)
        RemoveLink(LinkCount() - 1);
    for (const auto &link : source.links_)
        if (link->Item())
            CreateLink(link->Item());
    SetSelectedLinkIndex(source.selectedLinkIndex_);
    SetTopVisibleLinkIndex(source.topVisibleLinkIndex_);
    SetUseControl(source.useControl_);
    SetShowControl(source.showControl_);
    SetTag(source.Tag());
}

// ---- TqvNavBarGroupControl -------------------------------------------------------------------

TqvNavBarGroupControl::TqvNavBarGroupControl(TqvNavBarGroup *group, QWidget *bar)
    : QFrame(bar), group_(group), bar_(bar), originalHeight_(height())
{
    setFrameShape(QFrame::NoFrame);
    setBackgroundRole(QPalette::Button); // button face
    setAutoFillBackground(true);
    // Not shown here: the layout shows it when its group is open.
}

TqvNavBarGroupControl::~TqvNavBarGroupControl()
{
    detach();
}

void TqvNavBarGroupControl::detach()
{
    if (TqvNavBarGroup *group = group_) {
        group_ = nullptr;
        group->controlGone(this);
    }
}

bool TqvNavBarGroupControl::event(QEvent *e)
{
    // Clearing the parent keeps the control with its group; any other parent takes it away.
    if (e->type() == QEvent::ParentChange && group_ && parentWidget() && parentWidget() != bar_.data())
        detach();
    return QFrame::event(e);
}

void TqvNavBarGroupControl::flushPendingResize()
{
    // A hidden widget gets its resize event only when shown; deliver it now so it is judged by
    // who set the size.
    if (testAttribute(Qt::WA_PendingResizeEvent)) {
        setAttribute(Qt::WA_PendingResizeEvent, false);
        QResizeEvent e(size(), QSize());
        QCoreApplication::sendEvent(this, &e);
    }
}

void TqvNavBarGroupControl::PlaceControl(const QRect &r)
{
    flushPendingResize(); // a resize from outside not yet delivered still counts as one
    placing_ = true;
    // r is in the bar's client coordinates, which start inside the bar's frame.
    const auto *frame = qobject_cast<const QFrame *>(parentWidget());
    setGeometry(frame ? r.translated(frame->contentsRect().topLeft()) : r);
    flushPendingResize();
    placing_ = false;
}

void TqvNavBarGroupControl::resizeEvent(QResizeEvent *e)
{
    QFrame::resizeEvent(e);
    if (placing_ || e->size().height() == originalHeight_)
        return;
    originalHeight_ = e->size().height();
    if (group_)
        group_->Changed(ctRebuild);
}

// ---- TqvNavBarItem ---------------------------------------------------------------------------

TqvNavBarItem::TqvNavBarItem(QObject *owner) : TqvNavBarComponentCollectionItem(owner)
{
    connect(this, &QObject::objectNameChanged, this, &TqvNavBarItem::nameChanged);
}

TqvNavBarItem::~TqvNavBarItem()
{
    NotifyRemoval();
    releaseAction();
}

void TqvNavBarItem::nameChanged(const QString &name)
{
    if (!IsLoading() && caption_ == name_)
        SetCaption(name);
    name_ = name;
}

void TqvNavBarItem::SetCaption(const QString &v)
{
    setField(caption_, v, ctRelayout);
}

void TqvNavBarItem::SetEnabled(bool v)
{
    setField(enabled_, v, ctRedraw);
}

void TqvNavBarItem::SetLargeImageIndex(int v)
{
    setField(largeImageIndex_, v, ctRedraw);
}

void TqvNavBarItem::SetSmallImageIndex(int v)
{
    setField(smallImageIndex_, v, ctRedraw);
}

void TqvNavBarItem::SetVisible(bool v)
{
    setField(visible_, v, ctRebuild);
}

void TqvNavBarItem::setStyleRef(QPointer<TqvNavBarStyleItem> &ref, TqvNavBarStyleItem *v)
{
    TqvNavBarStyleItem *old = ref.data();
    if (!setField(ref, v, ctRelayout))
        return;
    DropReference(old);
    AddReference(v);
}

void TqvNavBarItem::Notification(QObject *removed)
{
    for (QPointer<TqvNavBarStyleItem> *ref : {&style_, &styleDisabled_, &styleHotTracked_, &stylePressed_})
        if (static_cast<QObject *>(ref->data()) == removed)
            setStyleRef(*ref, nullptr);
}

int TqvNavBarItem::ActionImageIndex(const QAction *action)
{
    bool ok = false;
    const int index = action ? action->property(kImageIndexProperty).toInt(&ok) : -1;
    return ok ? index : -1;
}

TqvNavBarItem::ActionValues TqvNavBarItem::valuesOf(const QAction *action)
{
    ActionValues v;
    v.caption = action->text();
    v.enabled = action->isEnabled();
    v.hint = action->toolTip();
    v.imageIndex = ActionImageIndex(action);
    v.visible = action->isVisible();
    return v;
}

void TqvNavBarItem::releaseAction()
{
    for (const auto &c : actionConnections_)
        disconnect(c);
    actionConnections_.clear();
    if (action_)
        action_->removeEventFilter(this);
    action_ = nullptr;
}

void TqvNavBarItem::SetAction(QAction *action)
{
    if (action_.data() == action)
        return;
    releaseAction();
    if (!action)
        return;
    attachAction(action);
    updateFromAction(IsLoading());
}

void TqvNavBarItem::attachAction(QAction *action)
{
    action_ = action;
    actionConnections_ << connect(action, &QAction::changed, this, &TqvNavBarItem::actionChanged)
                       << connect(action, &QObject::destroyed, this, [this] { releaseAction(); });
    action->installEventFilter(this); // "imageIndex" is a dynamic property: no changed() for it
}

void TqvNavBarItem::updateFromAction(bool checkDefaults)
{
    if (!action_)
        return;
    const ActionValues a = valuesOf(action_);
    if (!checkDefaults || caption_.isEmpty())
        SetCaption(a.caption);
    if (!checkDefaults || enabled_)
        SetEnabled(a.enabled);
    if (!checkDefaults || hint_.isEmpty())
        SetHint(a.hint);
    if (!checkDefaults || (largeImageIndex_ == -1 && smallImageIndex_ == -1)) {
        SetLargeImageIndex(a.imageIndex);
        SetSmallImageIndex(a.imageIndex);
    }
    if (!checkDefaults || visible_)
        SetVisible(a.visible);
    actionSeen_ = a;
}

bool TqvNavBarItem::IsTakenFromAction(ActionValue v) const
{
    if (!action_)
        return false;
    switch (v) {
    case avCaption: return caption_ == actionSeen_.caption;
    case avEnabled: return enabled_ == actionSeen_.enabled;
    case avHint: return hint_ == actionSeen_.hint;
    case avImageIndex: return largeImageIndex_ == actionSeen_.imageIndex && smallImageIndex_ == actionSeen_.imageIndex;
    case avVisible: return visible_ == actionSeen_.visible;
    }
    return false;
}

void TqvNavBarItem::actionChanged()
{
    // Only values the item still holds as the action had them follow the action; a value the
    // user set on the item stays.
    if (!action_)
        return;
    const ActionValues a = valuesOf(action_);
    const bool caption = IsTakenFromAction(avCaption), enabled = IsTakenFromAction(avEnabled),
               hint = IsTakenFromAction(avHint), image = IsTakenFromAction(avImageIndex),
               visible = IsTakenFromAction(avVisible);
    actionSeen_ = a;
    if (caption)
        SetCaption(a.caption);
    if (enabled)
        SetEnabled(a.enabled);
    if (hint)
        SetHint(a.hint);
    if (image) {
        SetLargeImageIndex(a.imageIndex);
        SetSmallImageIndex(a.imageIndex);
    }
    if (visible)
        SetVisible(a.visible);
}

bool TqvNavBarItem::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == action_.data() && event->type() == QEvent::DynamicPropertyChange &&
        static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName() == kImageIndexProperty)
        actionChanged();
    return false;
}

void TqvNavBarItem::Loaded()
{
    updateFromAction(true);
}

void TqvNavBarItem::Assign(const TqvNavBarItem &source)
{
    if (&source == this)
        return;
    SetCaption(source.caption_);
    SetEnabled(source.enabled_);
    SetHint(source.hint_);
    SetLargeImageIndex(source.largeImageIndex_);
    SetSmallImageIndex(source.smallImageIndex_);
    SetStyle(source.Style());
    SetStyleDisabled(source.StyleDisabled());
    SetStyleHotTracked(source.StyleHotTracked());
    SetStylePressed(source.StylePressed());
    SetVisible(source.visible_);
    SetTag(source.Tag());
    if (source.Action()) {
        // Take the action without letting it overwrite the copied values.
        releaseAction();
        attachAction(source.Action());
        actionSeen_ = source.actionSeen_;
    } else {
        SetAction(nullptr);
    }
}

// ---- collections -----------------------------------------------------------------------------

TqvNavBarGroup *TqvNavBarGroups::Add()
{
    auto *group = new TqvNavBarGroup(Owner());
    Insert(group);
    return group;
}

void TqvNavBarGroups::Assign(const TqvNavBarGroups &source)
{
    assignCopies(*this, source);
}

void TqvNavBarGroups::LinkChanged(TqvNavBarItemLink *link, bool removed)
{
    if (Bar())
        Bar()->LinkChanged(link, removed);
}

TqvNavBarItem *TqvNavBarItems::Add()
{
    auto *item = new TqvNavBarItem(Owner());
    Insert(item);
    return item;
}

void TqvNavBarItems::Assign(const TqvNavBarItems &source)
{
    assignCopies(*this, source);
}

} // namespace controls
