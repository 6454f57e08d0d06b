// The real worker over the real connection manager, posting through the recording hub the forms
// attach to; with the real driver, our plug-in and the simulated handset when a test asks for it.
// The worker's waits between connection attempts are recorded, not slept, and a test may act in
// them (onPause).
#pragma once

#include "core/catalogue/catalogue_fixture.h"
#include "core/comm/comm_mng.h"
#include "core/comm/comm_thread.h"
#include "core/comm_data.h"
#include "core/lang_mng.h"
#include "forms/support/forms_app.h"
#include "forms/support/message_recorder.h"
#include "forms/support/scripted_prompt.h"

#include "handset_sim.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace forms_test {

class WorkerRig {
public:
    WorkerRig() : lang(lang_qt_test::distDir()) { lang.setLanguage("English"); }
    ~WorkerRig()
    {
        if (worker)
            worker->stop(std::chrono::seconds(10));
        worker.reset();
        comm.reset();
        if (sim)
            sim->stop();
    }

    // The program folder (with the real pair and a running simulated handset when withHandset).
    void make(bool withHandset)
    {
        if (withHandset) {
            // The scenario with messages in both storages.
            sim = handsetsim::HandsetSim::fromFile(std::string(SV_SCENARIO_DIR) + "/default.json");
            link = dir.root() + "/handset";
            sim->start(link);
            dir.addRealPair();
        }
        ASSERT_TRUE(core::ScanPlugins(tables.refs(), dir.root(), recorder));
        auto pause = [this](int ms) {
            pauses.push_back(ms);
            if (onPause)
                onPause(ms);
        };
        comm = std::make_unique<core::TCommMng>(messages, messages.mainWindow(),
                                                core::CommMngSetup{dir.root(), tables.snapshot(), pause});
        worker = std::make_unique<core::TCommThread>(*comm, data, messages, messages.mainWindow(),
                                                     core::CommThreadSetup{nullptr, pause});
    }

    QApplication &application = app();
    MessageRecorder messages;
    core::TLangMng lang;
    ScriptedPrompt prompt;
    catalogue_test::ProgramDir dir;
    catalogue_test::Tables tables;
    catalogue_test::Recorder recorder;
    std::unique_ptr<handsetsim::HandsetSim> sim;
    std::string link;
    std::unique_ptr<core::TCommMng> comm;
    core::TdmCommData data;
    std::unique_ptr<core::TCommThread> worker;
    std::vector<int> pauses;
    std::function<void(int)> onPause;
};

} // namespace forms_test
