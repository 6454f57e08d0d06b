// bench/scale paths of the user interface: freeing a navigation bar of n groups, hovering over an
// explorer bar of n links, and the message list's first rows and whole fill for n messages. The
// widgets are real and offscreen; the application is made on first use.

#include "content/fake_env.h"
#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "controls/navbar/nav_bar.h"
#include "controls/navbar/nav_bar_view_info.h"
#include "core/db_schema.h"
#include "scale.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTreeView>
#include <QTreeWidget>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using controls::TPoint;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

void ensureApp()
{
    static QApplication *app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "scale";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    (void)app;
}

// A bar of groups, each with links to items of its own.
void fillBar(controls::TqvNavBar &bar, int groups, int linksPerGroup)
{
    for (int g = 0; g < groups; ++g) {
        controls::TqvNavBarGroup *grp = bar.GroupsRef().Add();
        grp->SetCaption(QStringLiteral("Group %1").arg(g));
        grp->SetExpanded(true);
        for (int i = 0; i < linksPerGroup; ++i) {
            controls::TqvNavBarItem *it = bar.Items().Add();
            it->SetCaption(QStringLiteral("Link %1 of group %2").arg(i).arg(g));
            grp->CreateLink(it);
        }
    }
}

// Freeing a bar of n groups with two links each, and its items. Timed at 20,000 and 200,000
// groups, both past the processor's caches (a group with its two items takes some 3 KB): a bar of
// 2,000 fits a 32 MB cache, so from 2,000 to 20,000 the time also grows by the cache misses
// (exponent about 1.2-1.3 there while the instructions grow linearly); `--size 2000` shows it.
double freeBar(int n)
{
    ensureApp();
    auto *bar = new controls::TqvNavBar;
    fillBar(*bar, n, 2);
    const auto t0 = Clock::now();
    delete bar;
    return secondsSince(t0);
}

// 200 hover steps from link to link over an explorer bar of n links (groups of 200), each step
// painted: the cost of a step should not grow with the bar.
double hoverSteps(int n)
{
    ensureApp();
    controls::TqvNavBar bar;
    bar.SetView(controls::vkExplorerBar);
    bar.resize(300, 800);
    fillBar(bar, std::max(1, n / 200), 200);
    QImage target(300, 800, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&target);
    const QRect all(0, 0, 300, 800);
    bar.Painter().Paint(p, all); // the first layout
    // The centres of the first group's links, which the first screen shows.
    std::vector<TPoint> points;
    if (controls::TqvNavBarGroupViewInfo *g = bar.ViewInfo().Groups(0))
        for (int i = 0; i < g->LinkCount() && points.size() < 20; ++i) {
            const controls::TRect r = g->Links(i)->Rect();
            points.push_back({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        }
    if (points.empty())
        return 0;
    const auto t0 = Clock::now();
    for (int step = 0; step < 200; ++step) {
        bar.Input().MouseMove(Qt::NoButton, Qt::NoModifier, points[size_t(step) % points.size()]);
        bar.Painter().Paint(p, all);
    }
    return secondsSince(t0);
}

content::Ssms messageOf(int i)
{
    content::Ssms m;
    m.boxid = 1 + i % 4;
    m.states = uint8_t(i % 3);
    m.Tel = "+86138" + std::to_string(10000000 + i);
    m.time = "2026-03-04 05:06:07";
    m.body = "Message number " + std::to_string(i) + ": see you at the station at eight, bring the tickets please.";
    m.Sca = "+8613800000000";
    return m;
}

// Box 0 of n messages into the main window's kind of list, shown: until FillList has returned
// and the list is painted (what the user waits for), or, for wholeList, until the list has also
// gone to its last row and painted it (every row is reachable, none is left to fill).
double listBox0(int n, bool wholeList)
{
    ensureApp();
    platform::Table table = core::makeDbTable(core::DbTable::Smsinfo);
    content::FakeEnv env;
    content::TSMSManage store(env, &table);
    content::ArraySms list;
    list.reserve(size_t(n));
    for (int i = 1; i <= n; ++i)
        list.push_back(messageOf(i));
    store.AddMessages(list, 0, false);
    QTreeView tree;
    QTreeWidget boxes;
    tree.resize(600, 400);
    // Shown, as in the main window: laying the rows out belongs to the fill.
    tree.show();
    content::SmsControls c;
    c.ListView_sms = &tree;
    c.TreeView_sms = &boxes;
    content::SmsView view(store, c, nullptr);
    const auto t0 = Clock::now();
    view.FillList(content::kBoxLocal);
    QApplication::processEvents();
    if (wholeList) {
        tree.scrollToBottom();
        QApplication::processEvents();
    }
    return secondsSince(t0);
}

double firstRows(int n) { return listBox0(n, false); }
double wholeList(int n) { return listBox0(n, true); }

const bool registered = RegisterScalePath({"free a navigation bar", 20000, 200000, freeBar}) &&
                        RegisterScalePath({"hover step over an explorer bar", 1000, 10000, hoverSteps}) &&
                        RegisterScalePath({"first paint list (first rows of box 0)", 10000, 100000, firstRows}) &&
                        RegisterScalePath({"message list filled to the end", 20000, 200000, wholeList});

} // namespace
