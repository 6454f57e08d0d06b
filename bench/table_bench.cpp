// Timings of the table engine on a full message table: 100,000 rows shaped like the local
// database's messages, a third of them Chinese. Measures save (with fsync and rename), load, and a
// filtered walk of one box; prints the median of several runs. A program, not a test: run it by
// hand in a Release build, e.g. `build-rel/bench/table_bench [rows] [folder]`.

#include "bench_timing.h"
#include "core/db_schema.h"
#include "platform/table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace platform;
using bench::Clock;
using bench::median;
using bench::msSince;

namespace {

Table smsTable() { return core::makeDbTable(core::DbTable::Smsinfo); }

std::string cpuModel()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    return "unknown";
}

} // namespace

int main(int argc, char **argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string path = folder + "/table_bench_" + std::to_string(::getpid()) + ".cds";
    const int runs = 5;

    const std::string cjk = "短信内容测试中文字符汉字";
    Table t = smsTable();
    auto t0 = Clock::now();
    for (int i = 1; i <= rows; ++i) {
        t.append();
        t.setInt("id", i);
        t.setInt("Tid", i % 7);
        t.setInt("boxid", i % 10);
        t.setInt("states", i % 3);
        t.setText("Tel", "+86138" + std::to_string(10000000 + i));
        t.setText("time", "2026-12-10 03:04:05");
        std::string body;
        if (i % 3 == 0) {
            while (Table::countChars(body) < 70) // 70 Chinese characters: 210 bytes
                body += cjk;
            Table::cutToChars(body, 70);
        } else {
            body = "Message number " + std::to_string(i) + ": ";
            while (body.size() < 120)
                body += "lorem ipsum ";
        }
        t.setText("body", body);
        t.setText("V_time", "2026-12-11 03:04:05");
        t.setText("Sca", "+8613800100500");
        t.setInt("OldBoxid", 0);
        t.post();
    }
    const double buildMs = msSince(t0);

    std::vector<double> save, load, walk;
    size_t fileBytes = 0;
    int matched = 0;
    size_t bodyBytes = 0;
    for (int r = 0; r < runs; ++r) {
        t0 = Clock::now();
        TableResult s = t.save(path);
        save.push_back(msSince(t0));
        if (!s) {
            std::fprintf(stderr, "save failed: %s\n", s.message.c_str());
            return 1;
        }
        struct stat st{};
        ::stat(path.c_str(), &st);
        fileBytes = size_t(st.st_size);

        Table back = smsTable();
        t0 = Clock::now();
        TableResult l = back.load(path);
        load.push_back(msSince(t0));
        if (!l || back.totalRows() != rows) {
            std::fprintf(stderr, "load failed: %s\n", l.message.c_str());
            return 1;
        }

        t0 = Clock::now();
        back.setFilter(eq("boxid", 8));
        matched = 0;
        bodyBytes = 0;
        const int body = back.fieldIndex("body");
        for (back.first(); !back.eof(); back.next()) {
            ++matched;
            bodyBytes += back.textAt(body).size();
        }
        walk.push_back(msSince(t0));
    }
    ::unlink(path.c_str());

    std::printf("machine: %s, %u hardware threads\n", cpuModel().c_str(), std::thread::hardware_concurrency());
    std::printf("rows %d, file %.1f MiB in %s, median of %d runs\n", rows, fileBytes / 1048576.0,
                folder.c_str(), runs);
    std::printf("  build (append/post)      %8.1f ms\n", buildMs);
    std::printf("  save (write+fsync+rename) %7.1f ms   (limit 500)\n", median(save));
    std::printf("  load                     %8.1f ms   (limit 300)\n", median(load));
    std::printf("  filter boxid=8 and walk  %8.1f ms   (%d rows, %zu body bytes)\n", median(walk), matched,
                bodyBytes);
    const bool ok = median(save) < 500 && median(load) < 300;
    std::printf("%s\n", ok ? "within limits" : "OVER LIMIT");
    return ok ? 0 : 1;
}
