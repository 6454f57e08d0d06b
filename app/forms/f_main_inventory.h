// The main window's menus, pop-ups and tool buttons in one table: object name, parent, position
// among the parent's items, shortcut, tag and the state at start. The window builds every item from
// it (the commands bind to the items later by object name), and tests read positions the managers
// rely on from it.
//
//   for (const forms::MainItem &i : forms::mainInventory()) ...
#pragma once
#include <span>

namespace forms {

enum class MainItemKind {
    Menu,      // a main-menu item with items, or a sub-menu
    Popup,     // a pop-up menu (no parent)
    Action,    // a menu item
    Separator,
    ToolBar,   // a tool bar (parent: its cool bar)
    Button,    // a tool button (an action of its tool bar)
};

struct MainItem {
    MainItemKind kind;
    const char *name;
    const char *parent;   // "Menu_Main", a menu, a pop-up or a tool bar; null for a pop-up
    int position;         // index among the parent's items (separators count)
    const char *shortcut; // QKeySequence text, or null
    int tag;
    const char *icon;     // command icon name (content::commandIcon), or null
    bool checkable = false;
    bool checked = false;
    bool visible = true;
    bool enabled = true;
    const char *dropDown = nullptr; // a tool button's drop-down pop-up
};

// Every item, parents before their items, in position order within each parent.
std::span<const MainItem> mainInventory();
// The item of that object name, or null.
const MainItem *findMainItem(const char *name);

} // namespace forms
