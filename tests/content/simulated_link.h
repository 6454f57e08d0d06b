// The handset side the transfer tests share: the simulated handset of a scenario on a
// pseudo-terminal in a program folder of the test's own, the real driver and our plug-in scanned
// there, and the real connection manager, worker and batch runner over them. A test makes its own
// interface clients and managers on top, and ends them before close().
#pragma once

#include "content/batch_runner.h"
#include "core/catalogue/catalogue_fixture.h"
#include "core/comm/comm_fixture.h"
#include "core/comm/comm_thread.h"
#include "core/comm_data.h"

#include "handset_sim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>

namespace content_test {

class SimulatedLink {
public:
    SimulatedLink() = default;
    SimulatedLink(const SimulatedLink &) = delete;
    SimulatedLink &operator=(const SimulatedLink &) = delete;
    ~SimulatedLink() { close(); }

    // Starts the handset of scenario (a file of the simulator's scenarios) and makes the manager,
    // set to the cable on the handset's link, the worker and a runner with setup. Not connected.
    void open(const std::string &scenario, content::WorkerBatchRunner::Setup setup)
    {
        sim = handsetsim::HandsetSim::fromFile(std::string(SV_SCENARIO_DIR) + "/" + scenario);
        link = dir.root() + "/handset";
        sim->start(link);
        dir.addRealPair();
        ASSERT_TRUE(core::ScanPlugins(tables.refs(), dir.root(), recorder));
        comm = std::make_unique<core::TCommMng>(messages, mainWindow,
                                                core::CommMngSetup{dir.root(), tables.snapshot(), [](int) {}});
        comm->SetParams(comm_test::selected(""), "Cable", link, "115200");
        worker = std::make_unique<core::TCommThread>(*comm, commData, messages, mainWindow);
        runner = std::make_unique<content::WorkerBatchRunner>(*worker, commData, messages, std::move(setup));
    }

    // Ends the runner, the worker, the manager and the handset, in that order.
    void close()
    {
        runner.reset();
        if (worker)
            worker->stop(std::chrono::seconds(10));
        worker.reset();
        comm.reset();
        if (sim)
            sim->stop();
    }

    catalogue_test::ProgramDir dir;
    catalogue_test::Tables tables;
    catalogue_test::Recorder recorder;
    platform::RecordingWindowMessages messages;
    platform::WindowId mainWindow = messages.openWindow();
    std::unique_ptr<handsetsim::HandsetSim> sim;
    std::string link;
    std::unique_ptr<core::TCommMng> comm;
    core::TdmCommData commData;
    std::unique_ptr<core::TCommThread> worker;
    std::unique_ptr<content::WorkerBatchRunner> runner;
};

} // namespace content_test
