// Visual styles for the navigation bar: the theme-handle cache and theme-change notification.
//
// The painters ask for a theme class (24 of them, by index), draw one part of it in one state, and
// fall back to plain drawing when visual styles are not available. The drawing itself comes from a
// ThemeBackend:
//  - LinuxThemeBackend (the default): the theme library counts as loaded, so theme-change
//    notification works, but themes are never active: OpenTheme answers none and every XP painter
//    draws as its base painter.
//  - RecordingThemeBackend (tests and screenshots): active for the classes it is given; it fills a
//    drawn part's rectangle with a colour derived from (class, part, state) and records each call.
// Qt's theme, style and application-palette change events count as theme changes: the cache is
// closed, the themes-active flag read again, and every registered notificator called in
// registration order (see TqvThemeChangedNotificator).
//
// Process-wide state, user-interface thread only; nothing is locked. InitThemeLibrary and
// DoneThemeLibrary bracket the state (the first use initialises it with the Linux backend); after
// DoneThemeLibrary, registering and unregistering notificators are no-ops.
#pragma once

#include "controls/paint/types.h"

#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace controls {

class TqvCanvas;

using HTHEME = uintptr_t; // 0: none

enum TqvThemeClass : int {
    tcButton, tcClock, tcComboBox, tcEdit, tcExplorerBar, tcHeader, tcListView, tcMenu, tcPage,
    tcProgress, tcRebar, tcScrollBar, tcSpin, tcStartPanel, tcStatus, tcTab, tcTaskBand, tcTaskBar,
    tcToolBar, tcToolTip, tcTrackBar, tcTrayNotify, tcTreeView, tcWindow,
};
inline constexpr int ThemeClassCount = 24;
// A set of theme classes: bit n for class n.
using TqvThemeClasses = uint32_t;
constexpr TqvThemeClasses themeClassBit(TqvThemeClass c) { return TqvThemeClasses(1) << c; }

// The class's name in the theme ("Button" .. "Window"); empty outside 0 .. 23.
QString themeClassName(int cls);

// What the navigation bar needs of a visual-style library.
class ThemeBackend {
public:
    virtual ~ThemeBackend() = default;
    // The library is there (its handle is set).
    virtual bool isLoaded() const = 0;
    // Visual styles are switched on for the application.
    virtual bool isThemeActive() = 0;
    // Opens the theme data of a class name list ("Button"); 0 on failure.
    virtual HTHEME openThemeData(const QString &classList) = 0;
    // Closes a handle; 0 on success.
    virtual int closeThemeData(HTHEME theme) = 0;
    // Draws a part's background in a state into r; 0 on success.
    virtual int drawThemeBackground(HTHEME theme, TqvCanvas &canvas, int part, int state, const TRect &r) = 0;
};

class LinuxThemeBackend final : public ThemeBackend {
public:
    bool isLoaded() const override { return true; }
    bool isThemeActive() override { return false; }
    HTHEME openThemeData(const QString &) override { return 0; }
    int closeThemeData(HTHEME) override { return 0; }
    int drawThemeBackground(HTHEME, TqvCanvas &, int, int, const TRect &) override { return -1; }
};

class RecordingThemeBackend final : public ThemeBackend {
public:
    struct Call {
        enum Kind { Open, Close, Draw } kind;
        QString className; // the class the handle was opened for
        HTHEME theme = 0;
        int part = 0;
        int state = 0;
        TRect rect;
    };

    // Active with the classes in available (by name, compared without regard to case).
    explicit RecordingThemeBackend(std::vector<QString> available, bool active = true);

    bool isLoaded() const override { return loaded_; }
    bool isThemeActive() override { return active_; }
    HTHEME openThemeData(const QString &classList) override;
    int closeThemeData(HTHEME theme) override;
    int drawThemeBackground(HTHEME theme, TqvCanvas &canvas, int part, int state, const TRect &r) override;

    void setActive(bool on) { active_ = on; }
    void setLoaded(bool on) { loaded_ = on; }
    const std::vector<Call> &calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    // Handles open now.
    int openCount() const { return int(open_.size()); }

    // The fill colour of a drawn part.
    static QColor partColor(const QString &className, int part, int state);

private:
    std::vector<QString> available_;
    bool active_;
    bool loaded_ = true;
    HTHEME next_ = 0x100;
    std::vector<std::pair<HTHEME, QString>> open_;
    std::vector<Call> calls_;
};

// (Re)starts the theme state with a backend (the Linux one when none is given): any earlier state is
// shut down first; the themes-active flag is read and, with a Qt application, theme changes are
// watched. The program calls it once its QApplication exists (state made earlier, on first use,
// watches nothing).
void InitThemeLibrary(std::unique_ptr<ThemeBackend> backend = nullptr);
// Shuts the theme state down: every cached handle is closed and the notificator list dropped.
void DoneThemeLibrary();
// The backend in use (initialising the state on first use).
ThemeBackend &themeBackend();

bool IsThemeLibraryLoaded();
// True when themes are active, the library is loaded and every class in the set opens.
bool AreVisualStylesAvailable(TqvThemeClasses classes = 0);
// The class's cached theme handle, opened on first use; see the cache rules in theme.cpp.
// 0 when visual styles are not available or the class cannot be opened.
HTHEME OpenTheme(TqvThemeClass cls, const QString &name = QString());
// Closes the class's handle and forgets its name: 1 when visual styles are not available, 0 when the
// class had no handle, else the close result.
int CloseTheme(TqvThemeClass cls);
// Closes every open handle; the names stay cached.
void CloseAllThemes();
// The theme changed: close every handle, read the themes-active flag again, call the notificators.
void ThemeChanged();

// Thin wrappers of the backend.
HTHEME OpenThemeData(const QString &classList);
int CloseThemeData(HTHEME theme);
int DrawThemeBackground(HTHEME theme, TqvCanvas &canvas, int part, int state, const TRect &r);
bool IsThemeActive();

// Calls its handler on every theme change, from creation to destruction. Handlers run in
// registration order; a handler may destroy any notificator (its own included): one destroyed
// before its turn is not called.
class TqvThemeChangedNotificator {
public:
    explicit TqvThemeChangedNotificator(std::function<void()> onThemeChanged = {});
    ~TqvThemeChangedNotificator();
    TqvThemeChangedNotificator(const TqvThemeChangedNotificator &) = delete;
    TqvThemeChangedNotificator &operator=(const TqvThemeChangedNotificator &) = delete;

    void setOnThemeChanged(std::function<void()> handler) { onThemeChanged_ = std::move(handler); }

private:
    friend void ThemeChanged();
    std::function<void()> onThemeChanged_;
};

} // namespace controls
