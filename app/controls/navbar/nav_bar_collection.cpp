#include "controls/navbar/nav_bar_collection.h"

#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <utility>
#include <vector>

namespace controls {

namespace {

// Qt finds a freed child in its parent's list by a search from the front and closes the gap
// behind it: only a child at the very front goes in constant time, so freeing many children last
// first from a list in creation order is quadratic. This moves `freed` (children of owner) to the
// front in that order (isFreed tells them among the children); the other children keep their
// order behind them, and the child widgets their stacking order.
template <class IsFreed>
void frontInFreeingOrder(QObject *owner, const std::vector<QObject *> &freed, IsFreed isFreed)
{
    if (!owner || freed.size() < 2)
        return;
    const QObjectList before = owner->children();
    // Qt leaves null entries while the owner frees its children: its list is not ours to touch.
    if (before.contains(nullptr))
        return;
    std::vector<QWidget *> widgets;
    std::vector<QObject *> others;
    for (QObject *o : before) {
        if (o->isWidgetType()) {
            // A window's raise would reach the screen: it stays where it is.
            if (auto *w = static_cast<QWidget *>(o); !w->isWindow())
                widgets.push_back(w);
        } else if (!isFreed(o)) {
            others.push_back(o);
        }
    }
    // raise() moves a widget to the end of the list; in their order, they keep their stacking.
    for (QWidget *w : widgets)
        w->raise();
    // The non-widgets now lead in their old order: each comes off the front.
    for (QObject *o : before)
        if (!o->isWidgetType())
            o->setParent(nullptr);
    for (QObject *o : freed)
        o->setParent(owner);
    for (QObject *o : others)
        o->setParent(owner);
    for (QWidget *w : widgets)
        w->raise();
}

} // namespace

// ---- TqvNavBarComponentCollectionItem --------------------------------------------------------

TqvNavBarComponentCollectionItem::TqvNavBarComponentCollectionItem(QObject *owner) : QObject(owner) {}

TqvNavBarComponentCollectionItem::~TqvNavBarComponentCollectionItem()
{
    NotifyRemoval();
    // Whatever a derived destructor did not let go of: the targets must not keep a freed referrer.
    for (const auto &e : references_)
        e.key->referrers_.remove(this);
    references_.clear();
}

void TqvNavBarComponentCollectionItem::AddReference(TqvNavBarComponentCollectionItem *target)
{
    static quint64 serial = 0;
    if (!target || target == this || target->removalNotified_)
        return;
    Referrer &r = target->referrers_[this];
    if (r.count++ == 0)
        r.serial = ++serial;
    ++references_[target];
}

void TqvNavBarComponentCollectionItem::DropReference(TqvNavBarComponentCollectionItem *target)
{
    int *mine = target ? references_.find(target) : nullptr;
    if (!mine)
        return;
    if (--*mine == 0)
        references_.remove(target);
    Referrer *theirs = target->referrers_.find(this);
    if (theirs && --theirs->count == 0)
        target->referrers_.remove(this);
}

int TqvNavBarComponentCollectionItem::ReferencesFrom(const TqvNavBarComponentCollectionItem *referrer) const
{
    const Referrer *r = referrers_.find(const_cast<TqvNavBarComponentCollectionItem *>(referrer));
    return r ? r->count : 0;
}

void TqvNavBarComponentCollectionItem::NotifyRemoval()
{
    if (removalNotified_)
        return;
    removalNotified_ = true;
    TqvNavBarSink *bar = Bar();
    if (collection_)
        collection_->Remove(this);
    if (QObject *owner = parent()) {
        // Only the elements of the same owner that refer to this one, in the order they first
        // did. A handler that a notice runs may free a referrer still to be told: guarded, it is
        // passed over.
        std::vector<std::pair<quint64, TqvNavBarComponentCollectionItem *>> order;
        order.reserve(referrers_.size());
        for (const auto &e : referrers_)
            if (e.key->parent() == owner)
                order.emplace_back(e.value.serial, e.key);
        std::sort(order.begin(), order.end());
        QList<QPointer<TqvNavBarComponentCollectionItem>> referrers;
        referrers.reserve(qsizetype(order.size()));
        for (const auto &o : order)
            referrers.append(o.second);
        for (const QPointer<TqvNavBarComponentCollectionItem> &referrer : referrers)
            if (referrer)
                referrer->Notification(this);
    }
    // References from other owners stay as guarded pointers that go null; none is recorded past
    // this point.
    for (const auto &e : referrers_)
        e.key->references_.remove(this);
    referrers_.clear();
    if (bar)
        bar->ComponentRemoved(this);
}

int TqvNavBarComponentCollectionItem::Index() const
{
    return collection_ ? collection_->IndexOf(this) : -1;
}

void TqvNavBarComponentCollectionItem::SetIndex(int index)
{
    if (collection_)
        collection_->Move(this, index);
}

void TqvNavBarComponentCollectionItem::Changed(TqvNavBarChangeType kind)
{
    if (collection_)
        collection_->Changed(kind);
}

TqvNavBarSink *TqvNavBarComponentCollectionItem::Bar() const
{
    return collection_ ? collection_->Bar() : nullptr;
}

bool TqvNavBarComponentCollectionItem::IsLoading() const
{
    TqvNavBarSink *bar = Bar();
    return bar && bar->IsLoading();
}

// ---- TqvNavBarComponentCollection ------------------------------------------------------------

TqvNavBarComponentCollection::TqvNavBarComponentCollection(TqvNavBarSink *bar, QObject *owner)
    : bar_(bar), owner_(owner)
{
}

TqvNavBarComponentCollection::~TqvNavBarComponentCollection()
{
    FreeAll();
}

void TqvNavBarComponentCollection::FreeAll()
{
    // The collection is going: no change kinds, but every removal notice.
    ++updateCount_;
    frontForFreeing();
    freeAllLastFirst();
}

TqvNavBarComponentCollectionItem *TqvNavBarComponentCollection::Item(int index) const
{
    return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

void TqvNavBarComponentCollection::EndUpdate()
{
    if (updateCount_ == 0)
        return;
    if (--updateCount_ == 0 && pendingKind_ >= 0) {
        const auto kind = TqvNavBarChangeType(pendingKind_);
        pendingKind_ = -1;
        ReportChange(kind);
    }
}

void TqvNavBarComponentCollection::Clear()
{
    BeginUpdate();
    pendingKind_ = ctRebuild;
    frontForFreeing();
    // Each element sends its removal notice as it goes (links, references, the bar).
    freeAllLastFirst();
    EndUpdate();
}

void TqvNavBarComponentCollection::freeAllLastFirst()
{
    constexpr qsizetype kAhead = 8;
    while (!items_.isEmpty()) {
        const qsizetype n = items_.size();
        if (n > kAhead)
            items_.at(n - 1 - kAhead)->PrefetchObject();
        if (n > kAhead / 2)
            items_.at(n - 1 - kAhead / 2)->PrefetchData();
        delete items_.last();
    }
}

void TqvNavBarComponentCollection::frontForFreeing()
{
    std::vector<QObject *> freed;
    freed.reserve(size_t(items_.size()));
    for (qsizetype i = items_.size() - 1; i >= 0; --i)
        if (owner_ && items_.at(i)->parent() == owner_)
            freed.push_back(items_.at(i));
    frontInFreeingOrder(owner_, freed, [this](QObject *o) {
        const auto *e = qobject_cast<TqvNavBarComponentCollectionItem *>(o);
        return e && e->collection_ == this;
    });
}

void TqvNavBarComponentCollection::DetachForFreeing(std::initializer_list<TqvNavBarComponentCollection *> inOrder)
{
    QObject *owner = inOrder.size() ? (*inOrder.begin())->owner_ : nullptr;
    for (const TqvNavBarComponentCollection *c : inOrder)
        if (c->owner_ != owner)
            return;
    if (!owner)
        return;
    const QObjectList before = owner->children();
    // Qt leaves null entries while the owner frees its children: its list is not ours to touch.
    if (before.contains(nullptr))
        return;
    // Qt takes a child out in constant time only at the very front, so a widget met on the way
    // goes to the end of the list (raise(): the widgets met keep their order among themselves;
    // they are freed with the owner). Each such move shifts the whole list: past a few widgets
    // Clear moves the remaining elements to the front instead.
    constexpr int kMostWidgets = 64;
    constexpr qsizetype kAhead = 8;
    int widgets = 0;
    std::vector<QObject *> others;
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (i + kAhead < before.size())
            __builtin_prefetch(before.at(i + kAhead));
        QObject *o = before.at(i);
        if (o->isWidgetType()) {
            auto *w = static_cast<QWidget *>(o);
            // A window's raise would reach the screen; past it no child goes at the front.
            if (w->isWindow() || ++widgets > kMostWidgets)
                break;
            w->raise();
            continue;
        }
        const auto *e = qobject_cast<TqvNavBarComponentCollectionItem *>(o);
        if (!e || std::find(inOrder.begin(), inOrder.end(), e->collection_) == inOrder.end())
            others.push_back(o);
        o->setParent(nullptr);
    }
    for (QObject *o : others)
        o->setParent(owner);
}

void TqvNavBarComponentCollection::Insert(TqvNavBarComponentCollectionItem *item)
{
    if (!item || item->collection_ == this)
        return;
    if (item->collection_)
        item->collection_->Remove(item);
    // Elements are children of the owner: that is how a removal notice finds its siblings.
    if (owner_ && item->parent() != owner_)
        item->setParent(owner_);
    items_.append(item);
    item->collection_ = this;
    Changed(ctRebuild);
}

void TqvNavBarComponentCollection::Remove(TqvNavBarComponentCollectionItem *item)
{
    if (!item || item->collection_ != this)
        return;
    // From the back: a collection is cleared last first.
    items_.removeAt(items_.lastIndexOf(item));
    item->collection_ = nullptr;
    Changed(ctRebuild);
}

void TqvNavBarComponentCollection::Move(TqvNavBarComponentCollectionItem *item, int index)
{
    const int from = IndexOf(item);
    if (from < 0)
        return;
    const int to = std::clamp(index, 0, Count() - 1);
    if (to != from)
        items_.move(from, to);
    Changed(ctRebuild);
}

void TqvNavBarComponentCollection::Changed(TqvNavBarChangeType kind)
{
    ReportChange(kind);
}

void TqvNavBarComponentCollection::ReportChange(TqvNavBarChangeType kind)
{
    if (updateCount_ > 0) {
        if (pendingKind_ < 0 || kind < pendingKind_)
            pendingKind_ = kind;
        return;
    }
    if (bar_)
        bar_->InvalidateAll(kind);
}

} // namespace controls
