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
//    choice until the store has answered the whole box with its ids, the list holds them and the
//    events (a paint among them) are processed; "last row shown" until the list has also gone
//    to its last row and painted it.
// 3. Memory: the program block started once more in a fresh process (this program run again),
//    with the same folder and options, left to run until the message table holds every message
//    (whether the start loads it before or after the first paint); it prints VmRSS and VmHWM
//    from /proc/self/status then. Run at both sizes, the memory per message is
//    (rss(1,000,000) - rss(100,000)) / 900,000, printed beside the file's bytes per message
//    taken the same way: the fixed cost of the program cancels out.
// Targets: first paint under 0.4 s with 100,000 messages (under 1 s with 1,000,000), box 0 shown
// under 0.15 s, memory per message at most twice its bytes in the file.

#include "bench_folder.h"
#include "bench_timing.h"
#include "content/qt/sms_view.h"
#include "core/db_main.h"
#include "forms/f_main.h"
#include "program/program.h"
#include "program/stages.h"

#include <QApplication>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
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

// A "Name:   123 kB" line of /proc/self/status, in kB; -1 when missing.
long statusKb(const char *name)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(name);
    while (std::getline(in, line))
        if (line.compare(0, n, name) == 0 && line.size() > n && line[n] == ':')
            return std::atol(line.c_str() + n + 1);
    return -1;
}

// The fresh process of part 3: starts the program block on `dir`, waits until its message table
// holds `messages` rows, prints "resident: <VmRSS> kB peak <VmHWM> kB rows <n>".
int residentChild(const char *dir, const char *lockDir, int messages)
{
    int qargc = 1;
    char name[] = "startup";
    char *qargv[] = {name, nullptr};
    QApplication app(qargc, qargv);
    program::ProgramOptions o;
    o.programDir = dir;
    o.lockDir = lockDir;
    o.handleSignals = false;
    program::Program p(o);
    if (p.start(qargc, qargv) != program::Program::Start::Running)
        return 1;
    auto loaded = [&] {
        core::TdbMain &db = p.db();
        return db.isOpen(core::DbTable::Smsinfo) ? db.table(core::DbTable::Smsinfo).totalRows() : 0;
    };
    const auto t0 = Clock::now();
    while (loaded() < messages && msSince(t0) < 120000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();
    std::printf("resident: %ld kB peak %ld kB rows %d\n", statusKb("VmRSS"), statusKb("VmHWM"), loaded());
    std::fflush(stdout);
    p.shutDown();
    return loaded() == messages ? 0 : 1;
}

// Runs part 3 in a fresh process: the resident kB, or -1.
long residentKb(const fs::path &dir, const fs::path &lockDir, int messages)
{
    const std::string cmd = "'" + fs::read_symlink("/proc/self/exe").string() + "' --resident '" + dir.string() +
                            "' '" + lockDir.string() + "' " + std::to_string(messages);
    FILE *out = popen(cmd.c_str(), "r");
    if (!out)
        return -1;
    char line[256];
    long rss = -1, peak = -1;
    int rows = -1;
    while (std::fgets(line, sizeof line, out))
        std::sscanf(line, "resident: %ld kB peak %ld kB rows %d", &rss, &peak, &rows);
    const int status = pclose(out);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || rss < 0)
        return -1;
    std::printf("resident after %d messages loaded: %ld kB (peak %ld kB)\n", rows, rss, peak);
    return rss;
}

struct Memory {
    long rssKb = -1;
    uintmax_t fileBytes = 0;
};

} // namespace

namespace {

int runCase(int messages, int runs, Memory &mem)
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
    mem.fileBytes = uintmax_t(fs::file_size(dir / "Database" / core::dbTableDef(core::DbTable::Smsinfo).fileName));
    std::printf("program folder with %d messages made in %.0f ms (%s, %ju bytes of messages)\n", messages,
                msSince(m0), dir.c_str(), mem.fileBytes);

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
            main.ListView_sms()->scrollToBottom(); // the last row reached and painted
            QApplication::processEvents();
            box0Whole.push_back(msSince(t0));
            listed = main.ListView_sms()->model()->rowCount();
        }
        std::printf("box 0 lists %d rows\n", listed);
        report("choosing box 0 (first rows shown)", box0);
        report("choosing box 0 (last row shown)", box0Whole);
        p.shutDown();
    }
    mem.rssKb = residentKb(dir, runtime, messages);
    if (mem.rssKb < 0) {
        std::fprintf(stderr, "the memory measurement failed\n");
        ++failed;
    }
    fs::remove_all(work);
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--resident") == 0)
        return residentChild(argv[2], argv[3], std::atoi(argv[4]));
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Memory small, large;
    if (argc > 1)
        return runCase(std::max(1, std::atoi(argv[1])), runs, small);
    int failed = 0;
    failed += runCase(100000, runs, small);
    failed += runCase(1000000, std::min(runs, 3), large);
    if (small.rssKb >= 0 && large.rssKb >= 0)
        std::printf("memory per message %.0f B, file %.0f B per message\n",
                    double(large.rssKb - small.rssKb) * 1024.0 / 900000.0,
                    double(large.fileBytes - small.fileBytes) / 900000.0);
    return failed ? 1 : 0;
}
