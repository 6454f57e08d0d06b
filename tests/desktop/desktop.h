// Driving the program on a real desktop: an X server and a window manager that
// desktop_session.sh starts around the test binary. Input goes through the X server as a user's
// would (xdotool's synthetic device events, which the window manager sees too), and screenshots
// are taken from the screen, so they show the window manager's frames.
//
//   desktop_test::requireDesktop();                 // fails the test when not under the session
//   desktop_test::click(w.ListView_sms(), {20, 30});
//   desktop_test::key("ctrl+a");
//   desktop_test::shot(dialog, "fr_print");          // <build>/artefacts/forms/desktop_fr_print.png
#pragma once

#include <QPoint>
#include <QString>

#include <functional>
#include <string>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace desktop_test {

// True when the application runs on the X server the session started; a test that needs the
// desktop fails (never passes silently) without it.
bool onDesktop();
void requireDesktop();

// The pointer to a point of widget (its centre when at is null), then a click of button 1.
void moveTo(QWidget *widget, QPoint at = {});
void click(QWidget *widget, QPoint at = {});
void doubleClick(QWidget *widget, QPoint at = {});
// A menu bar's menu, or an item of an open menu, clicked where it is drawn.
void clickMenu(QMenuBar *bar, QMenu *menu);
void clickItem(QMenu *open, QAction *item);
// Keys as xdotool names them ("Return", "ctrl+a", "alt+f", "shift+F2") to the focused window.
void key(const QString &keys);
// Text typed into the focused widget.
void type(const QString &text);

// The window of widget as the screen shows it, frame included, saved as
// <artefacts>/desktop_<name>.png once it is painted; answers the path (empty and a failure when
// it could not be written).
std::string shot(QWidget *widget, const std::string &name);
// The whole screen.
std::string shotScreen(const std::string &name);

// Runs events until the window of widget is shown, active and painted.
bool waitShown(QWidget *widget);

// Runs fn on the next modal dialog to come up (whatever its name, other than the one up now),
// inside the dialog's own loop:
// open it after this call, e.g. with a click or by triggering an action. When none comes up in
// time the test fails.
void whenAnyModal(std::function<void(QWidget *)> fn, int timeoutMs = 20000);
// A screenshot of the modal dialog open() brings up, saved as desktop_<name>.png, then the
// dialog closed with Escape as a user would; answers the dialog's object name.
QString shotModal(const std::function<void()> &open, const std::string &name);

} // namespace desktop_test
