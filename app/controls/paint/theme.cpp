#include "controls/paint/theme.h"

#include "controls/paint/canvas.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <algorithm>

namespace controls {

namespace {

const char16_t *const kThemeClassNames[ThemeClassCount] = {
    u"Button", u"Clock", u"ComboBox", u"Edit", u"ExplorerBar", u"Header", u"ListView", u"Menu",
    u"Page", u"Progress", u"Rebar", u"ScrollBar", u"Spin", u"StartPanel", u"Status", u"Tab",
    u"TaskBand", u"TaskBar", u"ToolBar", u"ToolTip", u"TrackBar", u"TrayNotify", u"TreeView", u"Window",
};

// Watches Qt's theme, style and palette changes. A style or palette change reaches every widget,
// so the events are folded into one theme change, run from the event loop.
class ThemeChangedEventReceiver : public QObject {
public:
    ThemeChangedEventReceiver() { QCoreApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::ThemeChange:
        case QEvent::StyleChange:
        case QEvent::ApplicationPaletteChange:
            if (!pending_) {
                pending_ = true;
                QMetaObject::invokeMethod(this, [this] {
                    pending_ = false;
                    ThemeChanged();
                }, Qt::QueuedConnection);
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool pending_ = false;
};

struct ThemeCacheEntry {
    HTHEME theme = 0;
    QString name;
};

struct ThemeState {
    std::unique_ptr<ThemeBackend> backend;
    bool themesActive = false;
    ThemeCacheEntry cache[ThemeClassCount];
    std::vector<TqvThemeChangedNotificator *> notificators;
    QPointer<QObject> receiver;
};

// Never destroyed: a notificator may be destroyed during static destruction, after the state
// would otherwise be gone.
ThemeState *g_state = nullptr;
bool g_shutDown = false;

ThemeState &state()
{
    if (!g_state)
        InitThemeLibrary();
    return *g_state;
}

bool validClass(int cls) { return cls >= 0 && cls < ThemeClassCount; }

} // namespace

QString themeClassName(int cls)
{
    return validClass(cls) ? QString::fromUtf16(kThemeClassNames[cls]) : QString();
}

// ---- RecordingThemeBackend -------------------------------------------------------------------

RecordingThemeBackend::RecordingThemeBackend(std::vector<QString> available, bool active)
    : available_(std::move(available)), active_(active)
{
}

HTHEME RecordingThemeBackend::openThemeData(const QString &classList)
{
    const bool ok = std::any_of(available_.begin(), available_.end(), [&](const QString &c) {
        return c.compare(classList, Qt::CaseInsensitive) == 0;
    });
    const HTHEME h = ok ? next_++ : 0;
    if (h)
        open_.emplace_back(h, classList);
    calls_.push_back({Call::Open, classList, h, 0, 0, {}});
    return h;
}

int RecordingThemeBackend::closeThemeData(HTHEME theme)
{
    auto it = std::find_if(open_.begin(), open_.end(), [&](const auto &p) { return p.first == theme; });
    if (it == open_.end()) {
        calls_.push_back({Call::Close, QString(), theme, 0, 0, {}});
        return -1;
    }
    calls_.push_back({Call::Close, it->second, theme, 0, 0, {}});
    open_.erase(it);
    return 0;
}

int RecordingThemeBackend::drawThemeBackground(HTHEME theme, TqvCanvas &canvas, int part, int state, const TRect &r)
{
    auto it = std::find_if(open_.begin(), open_.end(), [&](const auto &p) { return p.first == theme; });
    if (it == open_.end())
        return -1;
    calls_.push_back({Call::Draw, it->second, theme, part, state, r});
    if (!r.isEmpty())
        canvas.painter().fillRect(r.toQRect(), partColor(it->second, part, state));
    return 0;
}

QColor RecordingThemeBackend::partColor(const QString &className, int part, int state)
{
    uint32_t h = 2166136261u;
    for (QChar ch : className.toLower())
        h = (h ^ ch.unicode()) * 16777619u;
    h = (h ^ uint32_t(part)) * 16777619u;
    h = (h ^ uint32_t(state)) * 16777619u;
    return QColor(int(h & 0xFF), int((h >> 8) & 0xFF), int((h >> 16) & 0xFF));
}

// ---- state -----------------------------------------------------------------------------------

void InitThemeLibrary(std::unique_ptr<ThemeBackend> backend)
{
    if (g_state)
        DoneThemeLibrary();
    g_state = new ThemeState;
    g_shutDown = false;
    g_state->backend = backend ? std::move(backend) : std::make_unique<LinuxThemeBackend>();
    for (int i = 0; i < ThemeClassCount; ++i)
        g_state->cache[i].name.clear();
    if (g_state->backend->isLoaded()) {
        g_state->themesActive = g_state->backend->isThemeActive();
        if (QCoreApplication::instance())
            g_state->receiver = new ThemeChangedEventReceiver;
    }
}

void DoneThemeLibrary()
{
    if (!g_state)
        return;
    ThemeState *s = g_state;
    delete s->receiver.data();
    s->themesActive = false;
    CloseAllThemes();
    s->notificators.clear();
    g_state = nullptr;
    g_shutDown = true;
    delete s;
}

ThemeBackend &themeBackend() { return *state().backend; }

bool IsThemeLibraryLoaded() { return state().backend->isLoaded(); }

bool AreVisualStylesAvailable(TqvThemeClasses classes)
{
    ThemeState &s = state();
    if (!s.themesActive || !s.backend->isLoaded())
        return false;
    for (int i = 0; i < ThemeClassCount; ++i)
        if ((classes & themeClassBit(TqvThemeClass(i))) && !OpenTheme(TqvThemeClass(i)))
            return false;
    return true;
}

// Cache rules: a cached handle is answered when no name is given or the name equals the cached
// one (compared in upper case); another name closes the class first. The name opened is the given
// one, else the cached one, else the class's own. A failed open forgets the cached name.
HTHEME OpenTheme(TqvThemeClass cls, const QString &name)
{
    if (!validClass(cls) || !AreVisualStylesAvailable())
        return 0;
    ThemeState &s = state();
    ThemeCacheEntry &e = s.cache[cls];
    if (e.theme) {
        if (name.isEmpty() || name.toUpper() == e.name.toUpper())
            return e.theme;
        CloseTheme(cls);
    }
    const QString open = !name.isEmpty() ? name : !e.name.isEmpty() ? e.name : themeClassName(cls);
    e.theme = s.backend->openThemeData(open);
    if (e.theme)
        e.name = open;
    else
        e.name.clear();
    return e.theme;
}

int CloseTheme(TqvThemeClass cls)
{
    if (!validClass(cls) || !AreVisualStylesAvailable())
        return 1;
    ThemeCacheEntry &e = state().cache[cls];
    e.name.clear();
    if (!e.theme)
        return 0;
    const HTHEME h = e.theme;
    e.theme = 0;
    return state().backend->closeThemeData(h);
}

void CloseAllThemes()
{
    if (!g_state)
        return;
    for (ThemeCacheEntry &e : g_state->cache) {
        if (e.theme) {
            g_state->backend->closeThemeData(e.theme);
            e.theme = 0;
        }
    }
}

void ThemeChanged()
{
    ThemeState &s = state();
    CloseAllThemes();
    s.themesActive = s.backend->isLoaded() && s.backend->isThemeActive();
    // A handler may destroy a bar, and with it any notificator: walk a copy and call only those
    // still registered.
    const std::vector<TqvThemeChangedNotificator *> snapshot = s.notificators;
    for (TqvThemeChangedNotificator *n : snapshot) {
        if (!g_state)
            return;
        const auto &live = g_state->notificators;
        if (std::find(live.begin(), live.end(), n) == live.end())
            continue;
        if (n->onThemeChanged_) {
            const auto handler = n->onThemeChanged_; // the handler may destroy n
            handler();
        }
    }
}

HTHEME OpenThemeData(const QString &classList) { return themeBackend().openThemeData(classList); }
int CloseThemeData(HTHEME theme) { return themeBackend().closeThemeData(theme); }
int DrawThemeBackground(HTHEME theme, TqvCanvas &canvas, int part, int state, const TRect &r)
{
    return themeBackend().drawThemeBackground(theme, canvas, part, state, r);
}
bool IsThemeActive() { return themeBackend().isThemeActive(); }

// ---- notificator -----------------------------------------------------------------------------

TqvThemeChangedNotificator::TqvThemeChangedNotificator(std::function<void()> onThemeChanged)
    : onThemeChanged_(std::move(onThemeChanged))
{
    if (g_shutDown)
        return;
    ThemeState &s = state();
    if (s.backend->isLoaded())
        s.notificators.push_back(this);
}

TqvThemeChangedNotificator::~TqvThemeChangedNotificator()
{
    // After shut-down the list is gone: nothing to leave.
    if (!g_state)
        return;
    auto &list = g_state->notificators;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

} // namespace controls
