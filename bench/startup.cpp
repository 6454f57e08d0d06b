// The start of Selvark on a program folder with 100,000 and then 1,000,000 messages across the
// local boxes (made through the message store, a third of them Chinese), and the first choice of
// box 0 that lists them all. A program, not a test: run it by hand in a Release build without
// sanitizers,
//
//   build-rel/bench/startup [messages] [runs]     (messages given: that case only)
//
// 1. Start: the built Selvark is started offscreen with --quit-after-paint, with no handset in
//    range, `runs` times after one warm-up start; it prints the time from process start to the
//    main window's first paint. Median and spread of those, and of the whole run to its exit.
// 2. Box 0: the program block in-process on the same folder. First the time from start() until the
//    message table, read in the background, is open and the box chosen at start is listed. Then
//    choosing box 0 (every local message) after a small box: "first rows shown" runs from the
//    choice until the store has answered the whole box, the first rows are list items and the
//    events (a paint among them) are processed; "every row in" until the last row is an item (a
//    long list fills from the event loop).
// Targets: first paint under 0.4 s with 100,000 messages (under 1 s with 1,000,000), box 0 shown
// under 0.15 s.

#include "bench_folder.h"
#include "bench_timing.h"
#include "content/qt/sms_view.h"
#include "forms/f_main.h"
#include "program/program.h"
#include "program/stages.h"

#include <QApplication>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using bench::Clock;
using bench::makeFolder;
using bench::median;
using bench::msSince;

namespace {

// One start of the program with its quit option: the printed time to the first paint, and the
// whole run in ms; negative when it failed.
bool startOnce(const fs::path &dir, double &paintMs, double &wholeMs)
{
    const std::string cmd = "'" + (dir / "Selvark").string() + "' --quit-after-paint";
    const auto t0 = Clock::now();
    FILE *out = popen(cmd.c_str(), "r");
    if (!out)
        return false;
    char line[256];
    paintMs = -1;
    while (std::fgets(line, sizeof line, out))
        std::sscanf(line, "first paint: %lf ms", &paintMs);
    const int status = pclose(out);
    wholeMs = msSince(t0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && paintMs >= 0;
}

void report(const char *what, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("%-34s median %7.1f ms   min %7.1f   max %7.1f   (%zu runs)\n", what, median(v), v.front(),
                v.back(), v.size());
}

QTreeWidgetItem *boxNode(QTreeWidget *tree, int box)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, content::kBoxIdRole).toInt() == box)
            return *it;
    return nullptr;
}

} // namespace

namespace {

int runCase(int messages, int runs)
{
    std::printf("--- %d messages\n", messages);

    char tmpl[] = "/tmp/sv_startup_bench_XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    const fs::path work = tmpl;
    const fs::path dir = work / "program", runtime = work / "runtime", irda = work / "irda";
    fs::create_directories(dir);
    fs::create_directories(runtime);
    fs::create_directories(irda);
    fs::permissions(runtime, fs::perms::owner_all);
    // Apart from a Selvark the user runs, and no handset in range.
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("SELVARK_IRDA_DIR", irda.c_str(), 1);

    const auto m0 = Clock::now();
    if (!makeFolder(dir, messages))
        return 1;
    std::printf("program folder with %d messages made in %.0f ms (%s, %ju bytes of messages)\n", messages,
                msSince(m0), dir.c_str(),
                uintmax_t(fs::file_size(dir / "Database" / core::dbTableDef(core::DbTable::Smsinfo).fileName)));

    int failed = 0;
    std::vector<double> paint, whole;
    for (int r = 0; r <= runs; ++r) {
        double p = 0, w = 0;
        if (!startOnce(dir, p, w)) {
            std::fprintf(stderr, "start %d failed\n", r);
            ++failed;
            continue;
        }
        if (r > 0) { // the first start makes the settings and warms the file cache
            paint.push_back(p);
            whole.push_back(w);
        }
    }
    if (paint.empty())
        return 1;
    report("start to first paint", paint);
    report("start to exit (incl. shut-down)", whole);

    // Box 0 in-process, on the same folder.
    {
        int qargc = 1;
        char name[] = "startup";
        char *qargv[] = {name, nullptr};
        QApplication app(qargc, qargv);
        program::ProgramOptions o;
        o.programDir = dir.string();
        o.lockDir = runtime.string();
        o.handleSignals = false;
        program::Program p(o);
        const auto s0 = Clock::now();
        if (p.start(qargc, qargv) != program::Program::Start::Running)
            return 1;
        while (!p.stages().messagesOpen() || p.stages().smsView().waitingForStore())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::printf("in-process start() to messages read and listed: %.1f ms\n", msSince(s0));
        forms::TfMain &main = p.mainWindow();
        QTreeWidget *tree = main.TreeView_sms();
        QTreeWidgetItem *all = boxNode(tree, content::kBoxLocal), *small = boxNode(tree, content::kBoxDrafts);
        if (!all || !small)
            return 1;
        QApplication::processEvents();
        std::vector<double> box0, box0Whole;
        int listed = 0;
        for (int r = 0; r < runs; ++r) {
            tree->setCurrentItem(small);
            main.TreeView_smsChange();
            QApplication::processEvents();
            const auto t0 = Clock::now();
            tree->setCurrentItem(all);
            main.TreeView_smsChange();
            QApplication::processEvents();
            box0.push_back(msSince(t0));
            while (main.content().smsView && main.content().smsView->Filling())
                QApplication::processEvents();
            box0Whole.push_back(msSince(t0));
            listed = main.ListView_sms()->topLevelItemCount();
        }
        std::printf("box 0 lists %d rows\n", listed);
        report("choosing box 0 (first rows shown)", box0);
        report("choosing box 0 (every row in)", box0Whole);
        p.shutDown();
    }
    fs::remove_all(work);
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc > 1)
        return runCase(std::max(1, std::atoi(argv[1])), runs);
    int failed = 0;
    for (int messages : {100000, 1000000})
        failed += runCase(messages, messages > 100000 ? std::min(runs, 3) : runs);
    return failed ? 1 : 0;
}
