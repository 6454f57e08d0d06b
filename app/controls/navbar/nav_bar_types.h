// What the navigation bar's content (groups, items, links, styles) shares with the bar itself:
// the change kinds, the notify-event shape, and the sink through which the content reaches the bar.
//
// The content never sees the bar's class. The bar implements TqvNavBarSink and hands it to its
// collections; tests hand them a recording sink instead.
#pragma once

#include <cstdint>
#include <functional>

class QObject;
class QWidget;

namespace controls {

class TqvNavBarItemLink;

// How much of the bar a change invalidates. Lower is more work: a change reported as 0 also
// needs what 1 and 2 need.
enum TqvNavBarChangeType : uint8_t {
    ctRebuild = 0,  // rebuild the view information, lay out again, redraw
    ctRelayout = 1, // lay out again, redraw
    ctRedraw = 2,   // redraw only
};

// An event that carries only its sender (a group, an item, a style's owner).
using TNotifyEvent = std::function<void(QObject *sender)>;

// The bar as its content sees it. Every call comes on the user-interface thread.
class TqvNavBarSink {
public:
    virtual ~TqvNavBarSink() = default;

    // Something the bar shows changed; see TqvNavBarChangeType.
    virtual void InvalidateAll(TqvNavBarChangeType kind) = 0;
    // True between the bar's beginLoading() and endLoading(): setters then only store values and
    // no group control is created.
    virtual bool IsLoading() const = 0;
    // A link was created in a group (removed = false) or is about to be freed (removed = true;
    // its item is already cleared). The bar forgets a removed link as its hot or pressed link.
    // Sent for every link, also inside a collection update and while a group is being freed.
    virtual void LinkChanged(TqvNavBarItemLink *link, bool removed) = 0;
    // A group, item or style item is being freed (the pointer may only be compared). It has left
    // its collection and every group and item of the same owner has dropped its references.
    virtual void ComponentRemoved(QObject *component) = 0;
    // The widget group controls live on (the bar); nullptr means no group control can be made.
    virtual QWidget *ControlParent() = 0;
};

} // namespace controls
