// The theme-handle cache, availability, and theme-change notification.
#include "controls/paint/theme.h"

#include <QApplication>
#include <QPalette>
#include <gtest/gtest.h>

using namespace controls;
using Call = RecordingThemeBackend::Call;

namespace {

class Themes : public testing::Test {
protected:
    void SetUp() override
    {
        auto backend = std::make_unique<RecordingThemeBackend>(std::vector<QString>{"Button", "ToolBar", "ExplorerBar", "MyButton"});
        rec = backend.get();
        InitThemeLibrary(std::move(backend));
        rec->clearCalls();
    }
    void TearDown() override { InitThemeLibrary(); }

    int count(Call::Kind kind) const
    {
        int n = 0;
        for (const Call &c : rec->calls())
            n += c.kind == kind;
        return n;
    }

    RecordingThemeBackend *rec = nullptr;
};

} // namespace

TEST(ThemeClasses, NamesByIndex)
{
    EXPECT_EQ(themeClassName(tcButton), "Button");
    EXPECT_EQ(themeClassName(tcExplorerBar), "ExplorerBar");
    EXPECT_EQ(themeClassName(tcScrollBar), "ScrollBar");
    EXPECT_EQ(themeClassName(tcToolBar), "ToolBar");
    EXPECT_EQ(themeClassName(tcWindow), "Window");
    EXPECT_EQ(themeClassName(24), QString());
    EXPECT_EQ(themeClassName(-1), QString());
}

TEST_F(Themes, SameNameSameHandle)
{
    const HTHEME h = OpenTheme(tcButton);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(OpenTheme(tcButton), h);
    EXPECT_EQ(OpenTheme(tcButton, QStringLiteral("button")), h); // compared in upper case
    EXPECT_EQ(count(Call::Open), 1);
}

TEST_F(Themes, AnotherNameClosesThenOpens)
{
    const HTHEME h = OpenTheme(tcButton);
    const HTHEME other = OpenTheme(tcButton, QStringLiteral("MyButton"));
    ASSERT_NE(other, 0u);
    EXPECT_NE(other, h);
    ASSERT_EQ(rec->calls().size(), 3u);
    EXPECT_EQ(rec->calls()[1].kind, Call::Close);
    EXPECT_EQ(rec->calls()[1].theme, h);
    EXPECT_EQ(rec->calls()[2].kind, Call::Open);
    EXPECT_EQ(rec->calls()[2].className, "MyButton");
    EXPECT_EQ(rec->openCount(), 1);
    // The cached name is now "MyButton": reopening after CloseAllThemes uses it.
    CloseAllThemes();
    EXPECT_EQ(rec->openCount(), 0);
    rec->clearCalls();
    EXPECT_NE(OpenTheme(tcButton), 0u);
    EXPECT_EQ(rec->calls().back().className, "MyButton");
}

TEST_F(Themes, AfterAThemeChangeAFreshHandle)
{
    const HTHEME h = OpenTheme(tcToolBar);
    ThemeChanged();
    EXPECT_EQ(rec->openCount(), 0);
    const HTHEME fresh = OpenTheme(tcToolBar);
    EXPECT_NE(fresh, 0u);
    EXPECT_NE(fresh, h);
}

TEST_F(Themes, CloseThemeResults)
{
    EXPECT_EQ(CloseTheme(tcButton), 0); // no handle
    OpenTheme(tcButton);
    EXPECT_EQ(CloseTheme(tcButton), 0); // the close result (success)
    EXPECT_EQ(rec->openCount(), 0);
    // A class the theme does not have: no handle, and its name is forgotten.
    EXPECT_EQ(OpenTheme(tcClock), 0u);
    EXPECT_EQ(OpenTheme(tcClock, QStringLiteral("Clock")), 0u);
    EXPECT_EQ(CloseTheme(tcClock), 0);
}

TEST_F(Themes, AvailabilityBySetOfClasses)
{
    EXPECT_TRUE(AreVisualStylesAvailable());
    EXPECT_TRUE(AreVisualStylesAvailable(themeClassBit(tcButton) | themeClassBit(tcToolBar)));
    EXPECT_FALSE(AreVisualStylesAvailable(themeClassBit(tcButton) | themeClassBit(tcTab)));
    rec->setActive(false);
    ThemeChanged();
    EXPECT_FALSE(AreVisualStylesAvailable());
    EXPECT_EQ(OpenTheme(tcButton), 0u);
    EXPECT_EQ(CloseTheme(tcButton), 1);
}

TEST(ThemesOnLinux, UnavailableGivesNoneAndCloseThemeOne)
{
    InitThemeLibrary();
    EXPECT_TRUE(IsThemeLibraryLoaded());
    EXPECT_FALSE(IsThemeActive());
    EXPECT_FALSE(AreVisualStylesAvailable());
    EXPECT_EQ(OpenTheme(tcButton), 0u);
    EXPECT_EQ(OpenTheme(tcExplorerBar, QStringLiteral("ExplorerBar")), 0u);
    EXPECT_EQ(CloseTheme(tcButton), 1);
}

TEST_F(Themes, NotificatorsRunInRegistrationOrder)
{
    std::vector<int> order;
    TqvThemeChangedNotificator a([&] { order.push_back(1); });
    TqvThemeChangedNotificator b([&] { order.push_back(2); });
    TqvThemeChangedNotificator c([&] { order.push_back(3); });
    ThemeChanged();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(Themes, AHandlerMayDestroyNotificators)
{
    std::vector<int> order;
    auto second = std::make_unique<TqvThemeChangedNotificator>([&] { order.push_back(2); });
    std::unique_ptr<TqvThemeChangedNotificator> self;
    // The first handler destroys a bar: its own notificator and the next one.
    TqvThemeChangedNotificator first([&] {
        order.push_back(1);
        second.reset();
        self.reset();
    });
    self = std::make_unique<TqvThemeChangedNotificator>([&] { order.push_back(3); });
    // Registration order: second, first, self.
    ThemeChanged();
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    order.clear();
    ThemeChanged();
    EXPECT_EQ(order, (std::vector<int>{1}));
}

TEST_F(Themes, UnregisteringAfterShutDownIsANoOp)
{
    int calls = 0;
    auto late = std::make_unique<TqvThemeChangedNotificator>([&] { ++calls; });
    DoneThemeLibrary();
    late.reset(); // would touch a freed list
    TqvThemeChangedNotificator afterwards([&] { ++calls; });
    InitThemeLibrary();
    ThemeChanged();
    EXPECT_EQ(calls, 0);
}

TEST_F(Themes, QtPaletteChangeCountsAsOneThemeChange)
{
    OpenTheme(tcButton);
    int calls = 0;
    TqvThemeChangedNotificator n([&] { ++calls; });
    const QPalette saved = QApplication::palette();
    QPalette changed = saved;
    changed.setColor(QPalette::Button, QColor(1, 2, 3));
    QApplication::setPalette(changed);
    QApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(rec->openCount(), 0); // the cache was closed first
    QApplication::setPalette(saved);
    QApplication::processEvents();
    EXPECT_EQ(calls, 2);
}
