// Shows the current group's commands in a main-menu item: the source menu's actions, a
// separator, then the target's own items.
//
//   core::MenuMerge merge;                       // one per target (the main window keeps it)
//   merge.mergePopupItems(mainMenuEdit, smsManager.popupMenu());
//
// The target shows the source's own QActions (a QAction may sit in several menus), so their
// handlers, enabled and visible states are always the source's: a command disabled after the
// merge shows disabled in the main menu too. Merging from the same source again changes nothing
// (unless the source's action list changed since: then it is shown anew); merging another source
// replaces the first one's actions. Actions are never copied, and the source keeps them.
//
// User-interface thread only.
#pragma once

#include <QList>
#include <QPointer>

class QAction;
class QMenu;

namespace core {

class MenuMerge {
public:
    MenuMerge() = default;
    ~MenuMerge();
    MenuMerge(const MenuMerge &) = delete;
    MenuMerge &operator=(const MenuMerge &) = delete;

    // Puts source's actions and a separator in front of target's own items (see above). A null
    // target or source does nothing.
    void mergePopupItems(QMenu *target, QMenu *source);

    // The source merged last (null when none or it is gone).
    QMenu *source() const { return source_; }

private:
    void removeMerged();

    QPointer<QMenu> target_;
    QPointer<QMenu> source_;
    QList<QPointer<QAction>> merged_; // the source's actions as inserted, in order
    QPointer<QAction> separator_;      // owned by the target menu
};

} // namespace core
