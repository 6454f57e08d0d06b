// Applying a manager's menu state to real menus, shared by the content managers.
//
//   content::applyMenuState({listMenu, treeMenu}, state.named);
//   content::forwardTrigger(editMenu->actions().value(4), listMenu->findChild<QAction *>("pSmsDel"));
#pragma once

#include "content/menu_state.h"

#include <QList>

class QAction;
class QMenu;
class QString;

namespace content {

// Sets shown and enabled (where the state sets them) of every action that carries a named
// state's object name, in the menus and their sub-menus. Names not found are left out.
void applyMenuState(const QList<QMenu *> &menus, const NamedMenuState &state);

// Applies one item state to an action (null does nothing).
void applyItemState(QAction *action, const ItemState &state);

// The action in the menus (and their sub-menus) with that object name, or null.
QAction *findMenuAction(const QList<QMenu *> &menus, const QString &name);

// Makes `item` run `target` when it is triggered, in place of whatever it ran for the manager that
// set it last: one shared menu item (the main window's edit menu) acts for whichever manager is
// current. A null target leaves the item doing nothing.
void forwardTrigger(QAction *item, QAction *target);

} // namespace content
