// What the start, shut-down and connection stages need of the main window: its window id (the
// target of the worker's and the connection manager's messages), the controls the three content
// managers fill, the tool menu's merge, and the trees' own change handlers.
//
// The main window implements it; the stages never reach past it into the window.
//
// User-interface thread only.
#pragma once

#include "content/qt/phrase_view.h"
#include "content/qt/sms_view.h"
#include "platform/window_messages.h"

#include <QIcon>
#include <QList>

class QMenu;
class QToolBar;
class QTreeWidget;
class QWidget;

namespace core {
class MenuMerge;
}

namespace program {

// The contact area's controls.
struct ContactControls {
    QTreeWidget *TreeView_cont = nullptr;
    QTreeWidget *ListView_cont = nullptr;
    QList<QMenu *> menus; // every menu that holds contact commands (main-menu item and pop-ups)
    QToolBar *toolBar = nullptr;
};

class MainHost {
public:
    virtual ~MainHost() = default;

    virtual QWidget *widget() = 0;
    virtual platform::WindowId windowId() const = 0;

    virtual content::SmsControls smsControls() = 0;
    virtual content::PhraseControls phraseControls() = 0;
    virtual ContactControls contactControls() = 0;
    // The tool menu's merge, shared by the three areas (may be null).
    virtual core::MenuMerge *toolMenuMerge() = 0;
    // The pictures of the trees' nodes and the message list's rows, by image index (none: no pictures).
    virtual QList<QIcon> images() const { return {}; }

    // The trees' change handlers of the window, for the node each tree has selected.
    virtual void messageTreeChanged() = 0;
    virtual void contactTreeChanged() = 0;
    virtual void phraseTreeChanged() = 0;
};

} // namespace program
