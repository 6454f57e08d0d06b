// The navigation bar's hint under a real pointer: the hint window opens beside the pointer and
// the window system reports the pointer's moves around it; the hint must stay up while the
// pointer is over the bar or over the hint, and go when the pointer leaves both.

#include "desktop.h"

#include "controls/navbar/nav_bar.h"
#include "forms_app.h"
#include "when_modal.h"

#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace desktop_test {
namespace {

using namespace controls;

// Runs events for a while and answers whether cond held all along.
bool holdsFor(const std::function<bool()> &cond, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (!cond())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(5);
    }
    return cond();
}

TEST(NavBarOnTheDesktop, HintUnderAMovingPointer)
{
    forms_test::app();
    requireDesktop();
    QWidget window;
    window.setWindowTitle("Hints");
    auto *bar = new TqvNavBar(&window);
    bar->SetView(vkVSToolBox);
    bar->SetShowLinksHint(true);
    bar->SetShowGroupsHint(true);
    bar->SetHintPauseOverride(50);
    bar->setGeometry(10, 10, 160, 300);
    TqvNavBarGroup *g = bar->GroupsRef().Add();
    g->SetCaption("Messages");
    for (const char *name : {"Inbox", "Outbox", "Sent items"}) {
        TqvNavBarItem *it = bar->Items().Add();
        it->SetCaption(name);
        it->SetHint(QString("%1|the %1 box").arg(name));
        g->CreateLink(it);
    }
    window.resize(400, 340);
    window.show();
    ASSERT_TRUE(waitShown(&window));

    const TRect r = bar->ViewInfo().LinkViewInfo(g->Links(1))->Rect();
    const QPoint link = QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2) + bar->ClientRectInWidget().topLeft();
    moveTo(&window, QPoint(390, 330)); // from outside the bar
    moveTo(bar, link);
    ASSERT_TRUE(forms_test::waitUntil([&] { return bar->IsHintShowing() && bar->HintWindow().isVisible(); }, 20000))
        << "no hint over the link";
    EXPECT_EQ(bar->HintWindow().Text(), "Outbox");
    shot(&window, "navbar_hint");

    // Small moves inside the bar, then onto the hint itself: the hint stays.
    moveTo(bar, link + QPoint(3, 1));
    EXPECT_TRUE(holdsFor([&] { return bar->IsHintShowing(); }, 300)) << "the hint went while the pointer was in the bar";
    const QRect hint = bar->HintWindow().geometry();
    moveTo(&window, window.mapFromGlobal(hint.center()));
    EXPECT_TRUE(holdsFor([&] { return bar->IsHintShowing(); }, 300)) << "the hint went under the pointer";

    // Off the bar and the hint: it goes.
    moveTo(&window, QPoint(390, 330));
    EXPECT_TRUE(forms_test::waitUntil([&] { return !bar->IsHintShowing(); }, 20000)) << "the hint stayed";
}

} // namespace
} // namespace desktop_test
