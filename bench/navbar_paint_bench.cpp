// Timings of the navigation bar's painter: a full redraw of a large explorer bar (50 expanded
// groups of 200 links, 300 x 800) and the main window's bar (BaseView, 139 x 1000, five groups
// hosting tree views) repainted after a resize. Prints the median of many frames. A program, not a
// test: run it by hand in a Release build without sanitizers, e.g. `build-rel/bench/navbar_paint_bench`.

#include "paint_bar.h"

#include <QApplication>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace navbar_paint_test;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F>
double frames(int n, F &&frame)
{
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        const Clock::time_point t0 = Clock::now();
        frame(i);
        t.push_back(msSince(t0));
    }
    return median(t);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setPalette(fixedPalette());
    QtTextMeasurer measurer;

    {
        PaintBar bar(vkExplorerBar);
        bar.measurer = &measurer;
        bar.width = 300;
        bar.height = 800;
        bar.fill(50, 200);
        QImage target(bar.width, bar.height, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&target);
        bar.Painter().Paint(p, QRect(0, 0, bar.width, bar.height)); // first layout
        const double redraw = frames(200, [&](int) {
            bar.InvalidateAll(ctRedraw);
            bar.Painter().Paint(p, QRect(0, 0, bar.width, bar.height));
        });
        const double rebuild = frames(20, [&](int) {
            bar.InvalidateAll(ctRebuild);
            bar.Painter().Paint(p, QRect(0, 0, bar.width, bar.height));
        });
        std::printf("ExplorerBarView 300x800, 50 groups x 200 links: full redraw %.3f ms/frame (limit 16), "
                    "rebuild + layout + redraw %.3f ms\n", redraw, rebuild);
    }
    {
        PaintBar bar(vkBase);
        bar.measurer = &measurer;
        bar.width = 139;
        bar.height = 1000;
        bar.widget.resize(bar.width, bar.height);
        bar.fill(5, 0);
        for (int i = 0; i < 5; ++i) {
            TqvNavBarGroup *g = bar.group(i);
            g->SetUseControl(true);
            g->SetShowControl(true);
            auto *tree = new QTreeWidget(g->Control());
            for (int r = 0; r < 50; ++r)
                new QTreeWidgetItem(tree, QStringList{QString("Folder %1").arg(r)});
        }
        QImage target(bar.width, 1100, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&target);
        bar.Painter().Paint(p, QRect(0, 0, bar.width, bar.height));
        const double resize = frames(500, [&](int i) {
            bar.height = 1000 + (i % 2) * 40; // the bar grows and shrinks by 40 pixels
            bar.InvalidateAll(ctRelayout);
            bar.Painter().Paint(p, QRect(0, 0, bar.width, bar.height));
        });
        std::printf("BaseView 139x1000, five groups hosting trees: repaint after a resize %.3f ms (limit 2)\n", resize);
    }
    return 0;
}
