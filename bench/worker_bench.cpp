// worker_bench — what the worker thread costs on top of the driver calls it makes.
//
// The simulated handset runs throttled at the baud rate with 200 messages (60 in "SM", 140 in
// "ME") and 250 contacts in the "SM" phone book. A program folder holding the real driver and our
// model plug-in is scanned, the connection manager connects over Cable, and the same download
// (messages of both storages, then the SM book) is done twice, alternately, several rounds:
//   direct  the read-list slots called on this thread inside the connection lock, filling the
//           hand-over table as the worker does;
//   worker  read-list commands through TSmsClt/TCardClt on the running worker thread, waiting
//           for WM_COMM_DONE.
// It prints the best time of each and the worker's overhead.
//
//   worker_bench [--baud N] [--rounds N]     (a Release build: -DCMAKE_BUILD_TYPE=Release)
//
// Exit status 0 when the overhead is at most 5 %, else 1.

#include "core/catalogue.h"
#include "core/catalogue_scan.h"
#include "core/comm/comm_thread.h"
#include "core/db_schema.h"
#include "platform/pump.h"

#include "dv_vos.h"
#include "handset_sim.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

std::string phone(int i) { return "+86139" + std::to_string(10000000 + i * 7919 % 90000000); }

handsetsim::Scenario scenario()
{
    handsetsim::Scenario sc = handsetsim::defaultScenario();
    sc.smsStorages = {handsetsim::SmsStorage{"SM", 60, {}}, handsetsim::SmsStorage{"ME", 150, {}}};
    int n = 0;
    for (auto &[storage, count] : std::vector<std::pair<handsetsim::SmsStorage *, int>>{
             {&sc.smsStorages[0], 60}, {&sc.smsStorages[1], 140}})
        for (int i = 1; i <= count; ++i, ++n) {
            const std::string text = n % 3 == 2 ? "明天下午三点在会议室见面，请带上第" + std::to_string(n) + "季度的报告。"
                                                : "Meeting moved to room " + std::to_string(n) +
                                                      ", bring the printed agenda and the budget figures.";
            storage->messages[i] = {i, n % 4 == 0 ? 0 : 1, handsetsim::encodeDeliverPdu(phone(n), text)};
        }
    auto &sm = sc.phonebooks[0];
    for (int i = 1; i <= 250; ++i)
        sm.entries[i] = {i, phone(1000 + i), 145, (i % 2 ? "Contact " : "联系人") + std::to_string(i)};
    return sc;
}

struct Quiet : core::ScanObserver {
    void notice(const std::string &) override {}
};

// The read-list slots as the worker calls them, without the worker.
int32_t readDirect(core::TCommMng &comm, core::TdmCommData &data, int32_t itfId, std::initializer_list<int32_t> stors)
{
    core::CommLock lock(comm);
    auto *stor = comm.interfaceAs<StorItf>(itfId, comm.currentSerial());
    if (!stor)
        return -7;
    data.ClearData();
    std::vector<uint8_t> buf(core::TdmCommData::kMaxDataLen + 1);
    for (int32_t s : stors) {
        if (stor->setStor(stor, s) < 0)
            return -1;
        int32_t total = 0, used = 0, first = 0, last = 0, index = 0;
        if (stor->getStat(stor, 0, &total, &used, &first, &last) < 0)
            return -1;
        for (int32_t r = stor->readNext(stor, 0, &index, 1); r == 1; r = stor->readNext(stor, 0, &index, 0)) {
            const int32_t got = stor->readData(stor, buf.data(), core::TdmCommData::kMaxDataLen);
            if (got >= 0)
                data.AddData(s, index, buf.data(), std::min(got, core::TdmCommData::kMaxDataLen));
        }
    }
    return data.Count();
}

} // namespace

int main(int argc, char **argv)
{
    int baud = 115200, rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--baud"))
            baud = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::max(1, std::atoi(argv[i + 1]));
    }

    // A program folder with the real pair.
    std::string root = (fs::temp_directory_path() / "sv_worker_bench_XXXXXX").string();
    if (!mkdtemp(root.data()))
        return 2;
    fs::create_directories(root + "/Plug-in");
    fs::copy_file(std::string(SELVARK_DIST_DIR) + "/Plug-in/Pelurin.so", root + "/Plug-in/Pelurin.so");
    fs::copy_file(std::string(SELVARK_DIST_DIR) + "/Plug-in/Generic.plug", root + "/Plug-in/Generic.plug");
    for (const auto &e : fs::directory_iterator(SELVARK_DIST_DIR))
        if (e.is_regular_file() && e.path().extension() == ".so")
            fs::create_symlink(e.path(), fs::path(root) / e.path().filename());
    platform::Table base = core::makeDbTable(core::DbTable::BaseInfo), plug = core::makeDbTable(core::DbTable::PlugInfo),
                    model = core::makeDbTable(core::DbTable::ModelRef), conn = core::makeDbTable(core::DbTable::ConnInfo);
    Quiet quiet;
    if (!core::ScanPlugins({base, plug, model, conn}, root, quiet))
        return 2;

    CnsVos_setPumpHook(platform::threadPumpHook, nullptr);
    int status = 0;
    {
        handsetsim::HandsetSim sim(scenario());
        const std::string link = root + "/handset";
        sim.start(link);
        sim.setThrottle(baud);

        platform::RecordingWindowMessages messages;
        const platform::WindowId mainWindow = messages.openWindow(), dialog = messages.openWindow();
        core::TCommMng comm(messages, mainWindow,
                            core::CommMngSetup{root, core::Catalogue::fromTables({base, plug, model, conn}), {}});
        comm.SetParams(core::SelectedPhone{}, "Cable", link, std::to_string(baud));
        comm.SetAutoConnect(true, 1000);
        comm.SetConnectMode(true);
        core::TdmCommData data;
        core::TCommThread worker(comm, data, messages, mainWindow);
        core::TSmsClt smsClt(worker);
        core::TCardClt cardClt(worker);
        worker.start();
        if (!messages.waitFor(core::WM_PHONE_CONNECTED, std::chrono::seconds(30))) {
            std::fprintf(stderr, "no connection\n");
            return 2;
        }
        smsClt.SetItf(MS_ITF_SMS, comm.currentSerial());
        cardClt.SetItf(MS_ITF_PB, comm.currentSerial());

        auto reads = [](std::initializer_list<int32_t> stors) {
            auto jobs = std::make_shared<core::TDataArray>();
            for (int32_t s : stors)
                jobs->push_back(core::TCommData{core::kJobRead, s, 0, 0, 0, 0, {}});
            return jobs;
        };
        auto viaWorker = [&](core::TBaseClt &clt, std::initializer_list<int32_t> stors) {
            clt.ReadList(reads(stors), dialog);
            const uint64_t batch = worker.EndBatch();
            const auto deadline = SteadyClock::now() + std::chrono::minutes(5);
            while (auto m = messages.waitFor(core::WM_COMM_DONE, deadline))
                if (static_cast<uint64_t>(m->l) == batch)
                    return m->w == 0 ? data.Count() : -1;
            return -1;
        };
        auto seconds = [](SteadyClock::time_point t0) {
            return std::chrono::duration<double>(SteadyClock::now() - t0).count();
        };

        double bestDirect = 1e9, bestWorker = 1e9;
        for (int round = 0; round < rounds; ++round) {
            auto t0 = SteadyClock::now();
            const int dm = readDirect(comm, data, MS_ITF_SMS, {1, 2});
            const int dc = readDirect(comm, data, MS_ITF_PB, {1});
            const double direct = seconds(t0);
            t0 = SteadyClock::now();
            const int wm = viaWorker(smsClt, {1, 2});
            const int wc = viaWorker(cardClt, {1});
            const double viaThread = seconds(t0);
            std::printf("round %d: direct %.3f s (%d messages, %d contacts), worker %.3f s (%d, %d)\n", round + 1,
                        direct, dm, dc, viaThread, wm, wc);
            if (dm != 200 || dc != 250 || wm != 200 || wc != 250)
                status = 2;
            bestDirect = std::min(bestDirect, direct);
            bestWorker = std::min(bestWorker, viaThread);
        }
        const double overhead = (bestWorker - bestDirect) / bestDirect * 100.0;
        std::printf("baud %d: best direct %.3f s, best worker %.3f s, overhead %.2f %% (limit 5 %%)\n", baud,
                    bestDirect, bestWorker, overhead);
        if (status == 0 && overhead > 5.0)
            status = 1;
        worker.stop(std::chrono::seconds(10));
    }
    CnsVos_setPumpHook(nullptr, nullptr);
    fs::remove_all(root);
    return status;
}
