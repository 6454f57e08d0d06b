// Downloading 1,000 messages from the in-memory FakeHandset (the real worker stepped on this
// thread, through the fixture plug-in) into a message table that already holds 100,000: the whole
// TSmsTransfer::Download, batch included. The table is saved and loaded first, as the program
// opens it. Prints the first download and the median of the following ones (which find their
// received messages in box 1 already). A program, not a test: run it by hand in a Release build,
// e.g. `build-rel/bench/sms_transfer_bench [messages in the table] [messages on the handset]`;
// exit code 2 when a download takes 0.5 s or more.

#include "content/fake_env.h"
#include "content/sms_transfer.h"
#include "content/transfers/fake_handset.h"
#include "core/db_schema.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

platform::Table makeTable(int n)
{
    platform::Table t = core::makeDbTable(core::DbTable::Smsinfo);
    for (int i = 1; i <= n; ++i) {
        t.append();
        t.setInt("id", i);
        t.setInt("boxid", 1 + i % 4);
        t.setText("Tel", "+86138" + std::to_string(10000000 + i));
        t.setText("time", "2026-03-04 05:06:07");
        t.setText("body", "Message number " + std::to_string(i) + ": see you at the station at eight.");
        t.setText("Sca", "+8613800000000");
        t.post();
    }
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int onHandset = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    const int runs = 7;

    char dir[] = "/tmp/sv_transfer_bench_XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string path = std::string(dir) + "/Smsinfo.cds";
    if (!makeTable(n).save(path))
        return 1;
    platform::Table table = core::makeDbTable(core::DbTable::Smsinfo);
    if (!table.load(path))
        return 1;

    transfer_test::FakeHandset handset;
    const int perStorage = (onHandset + 1) / 2;
    handset.store.storage(1) = transfer_test::FakeStorage{1, perStorage};
    handset.store.storage(2) = transfer_test::FakeStorage{1, perStorage};
    for (int i = 0; i < onHandset; ++i) {
        const int s = 1 + i % 2, at = 1 + i / 2;
        const std::string text = "Handset message " + std::to_string(i) + ", kept on the " + (s == 1 ? "SIM" : "phone");
        handset.store.put(s, at,
                          i % 3 == 2 ? transfer_test::stored("+4930" + std::to_string(i), text)
                                     : transfer_test::received("+4930" + std::to_string(i), text,
                                                               {26, 3, 4, 5, int16_t(i % 60), 7}));
    }
    content::FakeEnv env;
    env.app.Connected = true;
    content::TSMSManage sms(env, &table);
    content::TSmsTransfer phone(sms, env, *handset.runner, *handset.smsClt);
    handset.connect();

    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        phone.Download();
        times.push_back(msSince(t0));
    }
    const double first = times.front();
    std::vector<double> rest(times.begin() + 1, times.end());
    std::sort(rest.begin(), rest.end());
    int eight = 0, nine = 0;
    for (const content::SmsListRow &row : sms.FillList(content::kBoxPhone).rows) {
        content::Ssms m{.id = row.id};
        sms.GetMessage(m);
        eight += m.boxid == 8;
        nine += m.boxid == 9;
    }
    std::printf("download of %d messages into a table of %d: first %.1f ms, again (median of %d) %.1f ms; "
                "box 8 %d, box 9 %d, table %d rows\n",
                onHandset, n, first, runs - 1, rest[rest.size() / 2], eight, nine, table.totalRows());
    std::remove(path.c_str());
    rmdir(dir);
    return std::max(first, rest[rest.size() / 2]) < 500.0 ? 0 : 2; // the budget: half a second
}
