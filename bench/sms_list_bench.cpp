// Listing box 0 of a message table of 100,000 messages (95,000 of them in the local boxes, a third
// Chinese): the core's listing of the box's ids alone, and the whole listing into the message
// list's view and model offscreen (filter, ids, one reset, a paint). The table is saved and loaded first, as the program opens
// it. Prints the median of several runs. A program, not a test: run it by hand in a Release build,
// e.g. `build-rel/bench/sms_list_bench [messages]`.

#include "bench_text.h"
#include "bench_timing.h"
#include "content/fake_env.h"
#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "core/db_schema.h"

#include <QApplication>
#include <QTreeView>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using bench::chineseBody;
using bench::Clock;
using bench::median;
using bench::msSince;

namespace {

// The fields of message i of the made table.
int boxOf(int i) { return i % 20 == 0 ? 5 : 1 + i % 4; }
std::string telOf(int i) { return "+86138" + std::to_string(10000000 + i); }
std::string bodyOf(int i)
{
    static const std::string chinese = chineseBody();
    return i % 3 == 0 ? chinese
                      : "Message number " + std::to_string(i) +
                            ": see you at the station at eight, bring the tickets please.";
}
const char *const kTime = "2026-03-04 05:06:07";

platform::Table makeTable(int n)
{
    platform::Table t = core::makeDbTable(core::DbTable::Smsinfo);
    for (int i = 1; i <= n; ++i) {
        t.append();
        t.setInt("id", i);
        t.setInt("boxid", boxOf(i));
        t.setInt("states", i % 3);
        t.setText("Tel", telOf(i));
        t.setText("time", kTime);
        t.setText("body", bodyOf(i));
        t.setText("Sca", "+8613800000000");
        t.post();
    }
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int runs = 7;

    char dir[] = "/tmp/sv_sms_bench_XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string path = std::string(dir) + "/Smsinfo.cds";
    {
        platform::Table made = makeTable(n);
        if (!made.save(path)) {
            std::fprintf(stderr, "cannot save %s\n", path.c_str());
            return 1;
        }
    }
    platform::Table table = core::makeDbTable(core::DbTable::Smsinfo);
    const auto t0 = Clock::now();
    if (!table.load(path))
        return 1;
    const double loadMs = msSince(t0);
    std::remove(path.c_str());
    rmdir(dir);

    content::FakeEnv env;
    content::TSMSManage sms(env, &table);

    std::vector<double> core, full;
    size_t listed = 0;
    for (int r = 0; r < runs; ++r) {
        const auto c0 = Clock::now();
        const content::SmsIdList list = sms.ListIds(content::kBoxLocal);
        core.push_back(msSince(c0));
        listed = list.ids.size();
    }
    QTreeView tree;
    tree.resize(800, 600);
    tree.show();
    content::SmsControls controls;
    controls.ListView_sms = &tree;
    content::SmsView view(sms, controls, nullptr);
    for (int r = 0; r < runs; ++r) {
        const auto f0 = Clock::now();
        view.FillList(content::kBoxLocal);
        QApplication::processEvents();
        full.push_back(msSince(f0));
    }
    if (tree.model()->rowCount() != int(listed))
        return 1;

    // A download's local copies: 500 received messages added to box 1, half of them already there.
    content::ArraySms received;
    for (int i = 1, known = 0; received.size() < 500; ++i) {
        if (received.size() % 2 == 0) { // new
            received.push_back(content::Ssms{.boxid = 1, .Tel = telOf(n + i), .time = kTime, .body = bodyOf(n + i)});
        } else { // already in box 1
            do
                known += 1;
            while (boxOf(known) != 1);
            received.push_back(content::Ssms{.boxid = 1, .Tel = telOf(known), .time = kTime, .body = bodyOf(known)});
        }
    }
    const auto a0 = Clock::now();
    sms.AddMessages(received, 1, false);
    const double addMs = msSince(a0);

    // Clearing the recycle box (5,000 rows) and deleting 2,000 received messages to it.
    content::ArraySms recycled, inbox;
    for (const content::SmsListRow &r : sms.FillList(content::kBoxRecycle).rows)
        recycled.push_back(content::Ssms{.id = r.id, .boxid = content::kBoxRecycle});
    for (const content::SmsListRow &r : sms.FillList(content::kBoxReceived).rows)
        if (inbox.size() < 2000)
            inbox.push_back(content::Ssms{.id = r.id, .boxid = content::kBoxReceived});
    const auto d0 = Clock::now();
    sms.DeleteMessages(recycled);
    const double clearMs = msSince(d0);
    const auto d1 = Clock::now();
    sms.DeleteMessages(inbox);
    const double moveMs = msSince(d1);

    std::printf("messages in the table:             %d (loaded in %.1f ms)\n", n, loadMs);
    std::printf("listed in box 0:                   %zu\n", listed);
    std::printf("core listing (ListIds):            %.1f ms median of %d (limit 100 ms)\n", median(core), runs);
    std::printf("listing into the list and painting: %.1f ms median of %d (limit 500 ms)\n", median(full), runs);
    std::printf("adding 500 received (250 known):   %.1f ms, %d rows after\n", addMs, table.totalRows());
    std::printf("clearing the recycle box (%zu):   %.1f ms\n", recycled.size(), clearMs);
    std::printf("deleting %zu received to it:     %.1f ms\n", inbox.size(), moveMs);
    return median(core) < 100 && median(full) < 500 ? 0 : 2;
}
