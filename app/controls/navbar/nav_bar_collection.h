// Owner-bound collections of the navigation bar: the base of its groups, items and style items.
//
// An element (TqvNavBarComponentCollectionItem) is a QObject whose parent is the bar (its owner);
// it holds its collection and knows its position there. A collection belongs to the bar, lists
// its elements and reports every change to the bar's sink with a change kind.
//
// Freeing an element, by `delete` or through its collection, is one removal notice: the element
// leaves its collection (kind 0), every other element with the same owner that refers to it drops
// its references to it (Notification), and the bar is told (ComponentRemoved). An element that
// takes a reference to another records it (AddReference, DropReference when it lets go), so a
// removal tells only those, not every sibling: freeing a large bar stays linear. Notices are never held back; an update
// (BeginUpdate .. EndUpdate) only gathers the change kinds and reports the strongest one at its end.
//
// The bar clears its collections in its destructor, before its children are freed. Clearing first
// moves the elements to the front of the owner's child list, where Qt takes a child out at no
// cost, so freeing a large bar stays linear in Qt's part too; the bar's destructor takes them out
// of its children altogether before it clears (DetachForFreeing).
#pragma once

#include "controls/navbar/nav_bar_types.h"

#include <QList>
#include <QObject>

#include <initializer_list>
#include <memory>
#include <unordered_map>
#include <vector>

namespace controls {

class TqvNavBarComponentCollection;

class TqvNavBarComponentCollectionItem : public QObject {
    Q_OBJECT
public:
    explicit TqvNavBarComponentCollectionItem(QObject *owner = nullptr);
    ~TqvNavBarComponentCollectionItem() override;

    TqvNavBarComponentCollection *Collection() const { return collection_; }
    // Position in the collection; -1 when in none.
    int Index() const;
    // Moves the element to the index clamped to 0 .. count - 1 and reports kind 0, even when it
    // stays where it was. Does nothing outside a collection.
    void SetIndex(int index);

    qintptr Tag() const { return tag_; }
    void SetTag(qintptr tag) { tag_ = tag; }

    // Another element of the same owner is being freed: drop every reference to it.
    virtual void Notification(QObject *removed) { Q_UNUSED(removed); }
    // How many references from referrer this element has recorded.
    int ReferencesFrom(const TqvNavBarComponentCollectionItem *referrer) const;

protected:
    // Reports a change of this element to its collection (nothing outside one).
    void Changed(TqvNavBarChangeType kind);
    // A property setter: stores value and reports kind, unless field holds it already. True when
    // it stored.
    template <typename Field, typename Value>
    bool setField(Field &field, const Value &value, TqvNavBarChangeType kind)
    {
        if (field == value)
            return false;
        field = value;
        Changed(kind);
        return true;
    }
    TqvNavBarSink *Bar() const;
    bool IsLoading() const;
    // The removal notice; each most-derived destructor sends it first, while the element is whole.
    void NotifyRemoval();
    // Records one reference of this element to target (nothing for null or itself); its removal
    // notice then reaches this element. DropReference forgets one such reference.
    void AddReference(TqvNavBarComponentCollectionItem *target);
    void DropReference(TqvNavBarComponentCollectionItem *target);

private:
    friend class TqvNavBarComponentCollection;
    // Passes that go element by element over a bar too large for the caches ask for an element
    // ahead of its turn: first its own lines, some steps later (when they are in) its Qt data.
    void PrefetchObject() const
    {
        // The derived elements' fields reach some 400 bytes; a line past the end costs nothing.
        const char *p = reinterpret_cast<const char *>(this);
        for (int line = 0; line < 8; ++line)
            __builtin_prefetch(p + 64 * line);
    }
    void PrefetchData() const
    {
        const char *d = reinterpret_cast<const char *>(d_ptr.data());
        __builtin_prefetch(d);
        __builtin_prefetch(d + 64);
        if (!referrers_.empty())
            __builtin_prefetch(referrers_.begin());
        if (!references_.empty())
            __builtin_prefetch(references_.begin());
    }
    struct Referrer {
        int count = 0;
        quint64 serial = 0; // order of the first reference: notices go out in that order
    };
    // Elements of a reference table: mostly one or two an element, now and then thousands (a
    // style shared by every group). A flat list, searched while short; a long one also keeps a
    // hash of places. (A hash alone costs an element with one entry over a kilobyte, and a large
    // bar's elements then no longer fit the caches.)
    template <typename Value> class RefTable {
    public:
        using Key = TqvNavBarComponentCollectionItem *;
        struct Entry {
            Key key;
            Value value;
        };
        Value *find(Key k)
        {
            const size_t at = place(k);
            return at < entries_.size() ? &entries_[at].value : nullptr;
        }
        const Value *find(Key k) const { return const_cast<RefTable *>(this)->find(k); }
        // Inserts Value{} when missing.
        Value &operator[](Key k)
        {
            if (Value *v = find(k))
                return *v;
            entries_.push_back({k, Value{}});
            if (places_)
                places_->emplace(k, entries_.size() - 1);
            else if (entries_.size() > kFlat)
                index();
            return entries_.back().value;
        }
        void remove(Key k)
        {
            const size_t at = place(k);
            if (at >= entries_.size())
                return;
            if (places_)
                places_->erase(k);
            if (at + 1 != entries_.size()) { // the last entry fills the gap
                entries_[at] = entries_.back();
                if (places_)
                    (*places_)[entries_[at].key] = at;
            }
            entries_.pop_back();
            if (places_ && entries_.size() < kFlat / 2)
                places_.reset();
        }
        void clear()
        {
            std::vector<Entry>().swap(entries_);
            places_.reset();
        }
        size_t size() const { return entries_.size(); }
        bool empty() const { return entries_.empty(); }
        const Entry *begin() const { return entries_.data(); }
        const Entry *end() const { return entries_.data() + entries_.size(); }

    private:
        static constexpr size_t kFlat = 16;
        size_t place(Key k) const
        {
            if (places_) {
                const auto it = places_->find(k);
                return it == places_->end() ? entries_.size() : it->second;
            }
            for (size_t i = 0; i < entries_.size(); ++i)
                if (entries_[i].key == k)
                    return i;
            return entries_.size();
        }
        void index()
        {
            places_ = std::make_unique<std::unordered_map<Key, size_t>>();
            places_->reserve(entries_.size() * 2);
            for (size_t i = 0; i < entries_.size(); ++i)
                places_->emplace(entries_[i].key, i);
        }
        std::vector<Entry> entries_;
        std::unique_ptr<std::unordered_map<Key, size_t>> places_; // only for a long table
    };
    TqvNavBarComponentCollection *collection_ = nullptr;
    qintptr tag_ = 0;
    bool removalNotified_ = false;
    RefTable<Referrer> referrers_; // who refers to this element
    RefTable<int> references_;     // whom this element refers to
};

class TqvNavBarComponentCollection {
public:
    // bar may be nullptr (nothing is reported); owner becomes the parent of the elements Add makes.
    TqvNavBarComponentCollection(TqvNavBarSink *bar, QObject *owner);
    // Frees every element still listed.
    virtual ~TqvNavBarComponentCollection();
    TqvNavBarComponentCollection(const TqvNavBarComponentCollection &) = delete;
    TqvNavBarComponentCollection &operator=(const TqvNavBarComponentCollection &) = delete;

    int Count() const { return int(items_.size()); }
    // nullptr for an index out of range.
    TqvNavBarComponentCollectionItem *Item(int index) const;
    int IndexOf(const TqvNavBarComponentCollectionItem *item) const { return int(items_.indexOf(item)); }
    TqvNavBarSink *Bar() const { return bar_; }
    QObject *Owner() const { return owner_; }

    void BeginUpdate() { ++updateCount_; }
    // Ends an update; the outermost end reports the strongest change kind gathered, if any.
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    // Frees every element, last first, and reports kind 0 once.
    void Clear();
    // For an owner that is being freed and clears these collections (of one owner) in this
    // order: takes their elements out of the owner's children beforehand, front first, each in
    // constant time, so that freeing them searches no list of children (Qt would search the
    // owner's list for each). Moving them to the front instead costs passes over every element,
    // which a bar too large for the caches pays in misses. An element gone from the owner's
    // children sends its removal notice to no sibling: the order must free whatever could
    // refer to an element before it.
    static void DetachForFreeing(std::initializer_list<TqvNavBarComponentCollection *> inOrder);

    // Puts an element into this collection (kind 0), out of any other, as a child of the owner.
    void Insert(TqvNavBarComponentCollectionItem *item);
    // Takes the element out without freeing it (kind 0).
    void Remove(TqvNavBarComponentCollectionItem *item);

protected:
    virtual void Changed(TqvNavBarChangeType kind);
    void ReportChange(TqvNavBarChangeType kind);
    // The Assign of a collection: clears `to` and adds a copy of each of from's elements, inside
    // one update.
    template <typename Collection>
    static void assignCopies(Collection &to, const Collection &from)
    {
        if (&from == &to)
            return;
        to.BeginUpdate();
        to.Clear();
        for (int i = 0; i < from.Count(); ++i)
            to.Add()->Assign(*from.Items(i));
        to.EndUpdate();
    }
    // Frees every element without reporting change kinds (destructors).
    void FreeAll();

private:
    friend class TqvNavBarComponentCollectionItem;
    // Puts the elements first among the owner's children, in the order Clear frees them.
    void frontForFreeing();
    // Deletes the elements, last first (each leaves the list as it goes).
    void freeAllLastFirst();
    void Move(TqvNavBarComponentCollectionItem *item, int index);

    QList<TqvNavBarComponentCollectionItem *> items_;
    TqvNavBarSink *bar_;
    QObject *owner_;
    int updateCount_ = 0;
    int pendingKind_ = -1; // strongest kind gathered during an update; -1 none
};

} // namespace controls
