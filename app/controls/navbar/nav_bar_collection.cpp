#include "controls/navbar/nav_bar_collection.h"

#include <QPointer>
#include <algorithm>

namespace controls {

// ---- TqvNavBarComponentCollectionItem --------------------------------------------------------

TqvNavBarComponentCollectionItem::TqvNavBarComponentCollectionItem(QObject *owner) : QObject(owner) {}

TqvNavBarComponentCollectionItem::~TqvNavBarComponentCollectionItem()
{
    NotifyRemoval();
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
        // While the owner frees its children, the ones already freed are null in its list. A
        // handler that a notice runs may free a sibling still to be told: guarded, it is passed over.
        QList<QPointer<TqvNavBarComponentCollectionItem>> siblings;
        for (QObject *o : owner->children())
            if (auto *sibling = qobject_cast<TqvNavBarComponentCollectionItem *>(o); sibling && sibling != this)
                siblings.append(sibling);
        for (const QPointer<TqvNavBarComponentCollectionItem> &sibling : siblings)
            if (sibling)
                sibling->Notification(this);
    }
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
    while (!items_.isEmpty())
        delete items_.last();
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
    // Each element sends its removal notice as it goes (links, references, the bar).
    while (!items_.isEmpty())
        delete items_.last();
    EndUpdate();
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
    items_.removeOne(item);
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
