// The program as a user meets it on the desktop: the simulated handset (demo scenario) in
// infrared range, the program with its own dialogs (no scripted answers), connected and shown.
// Desktop tests derive their fixtures from it.
#pragma once

#include "desktop.h"
#include "program_fixture.h"

#include "core/app_manage.h"
#include "forms/f_main.h"
#include "forms_app.h"
#include "when_modal.h"
#include "program/program.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace desktop_test {

class ProgramOnDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        forms_test::app();
        requireDesktop();
        if (!handsetsim::HandsetSim::irdaSupported())
            GTEST_SKIP() << "the simulated handset was built without the IrDA stand-in";
        handsetsim::Scenario sc =
            handsetsim::loadScenario(std::string(SV_SOURCE_DIR) + "/tools/handset-sim/scenarios/demo.json");
        sc.irda.enabled = true;
        sc.irda.dir = folder.irdaDir();
        sim = std::make_unique<handsetsim::HandsetSim>(std::move(sc));
        sim->start();

        program::ProgramOptions o;
        o.programDir = folder.root();
        o.lockDir = folder.root();
        o.clock = &clock;
        o.workerPause = [](int) {};
        o.handleSignals = false; // the program's own dialogs: prompt left null
        program = std::make_unique<program::Program>(std::move(o));
        int argc = 1;
        char name[] = "Selvark";
        char *argv[] = {name, nullptr};
        ASSERT_EQ(program->start(argc, argv), program::Program::Start::Running);
        ASSERT_TRUE(forms_test::waitUntil([&] { return program->manage().Connected; }, 30000));
        ASSERT_TRUE(waitShown(&w()));
    }
    void TearDown() override
    {
        if (program) {
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "a dialog was left open";
            if (w().isVisible())
                w().close();
            program->shutDown();
            program.reset();
        }
        if (sim)
            sim->stop();
    }

    forms::TfMain &w() { return program->mainWindow(); }

    program_test::ProgramFolder folder;
    platform::FakeClock clock{1000000};
    std::unique_ptr<handsetsim::HandsetSim> sim;
    std::unique_ptr<program::Program> program;
};

} // namespace desktop_test
