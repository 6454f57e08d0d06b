// The program started in-process on a program folder of the test's own, with a fake clock and no
// worker pauses, and the simulated handset in infrared range: the fixture the tests of the whole
// program derive from.
#pragma once

#include "program_fixture.h"

#include "content/qt/sms_view.h"
#include "forms/f_main.h"
#include "forms_app.h"
#include "platform/clock.h"
#include "program/program.h"
#include "program/stages.h"

#include <algorithm>
#include <QStringList>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace program_test {

// The names the main window's contact list shows, top to bottom (rows without a name left out).
// Chooses the node of message box `box` in the message tree, as a click does.
inline void chooseBox(forms::TfMain &w, int box)
{
    QTreeWidget *tree = w.TreeView_sms();
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, content::kBoxIdRole).toInt() == box) {
            tree->setCurrentItem(*it);
            w.TreeView_smsChange();
            return;
        }
    ADD_FAILURE() << "no node of box " << box;
}

inline QStringList contactNames(forms::TfMain &w)
{
    QStringList out;
    QTreeWidget *list = w.ListView_cont();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (!list->topLevelItem(i)->text(1).isEmpty())
            out << list->topLevelItem(i)->text(1);
    return out;
}

class RunningProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        forms_test::app();
        if (!handsetsim::HandsetSim::irdaSupported())
            GTEST_SKIP() << "the simulated handset was built without the IrDA stand-in";
    }
    void TearDown() override
    {
        program.reset();
        if (sim)
            sim->stop();
    }

    // The options every start uses; a fixture adds its own.
    virtual program::ProgramOptions options()
    {
        program::ProgramOptions o;
        o.programDir = folder.root();
        o.lockDir = folder.root();
        o.clock = &clock;
        o.workerPause = [](int) {};
        o.workerIdleSleep = [](int32_t ms) { return std::min<int32_t>(ms, 50); }; // steps 50 ms apart, not a second
        return o;
    }
    void start(program::ProgramOptions o)
    {
        program = std::make_unique<program::Program>(std::move(o));
        int argc = 1;
        char name[] = "Selvark";
        char *argv[] = {name, nullptr};
        ASSERT_EQ(program->start(argc, argv), program::Program::Start::Running);
        // The tests act on the messages at once: the table is read here, as a first command would.
        if (openMessagesAtStart)
            program->stages().sms().OpenStore();
    }
    void start() { start(options()); }
    void startHandset(handsetsim::Scenario sc)
    {
        sim = std::make_unique<handsetsim::HandsetSim>(std::move(sc));
        sim->start();
    }
    void startHandset() { startHandset(handsetInRange(folder)); }

    ProgramFolder folder;
    bool openMessagesAtStart = true;
    platform::FakeClock clock{1000000};
    std::unique_ptr<handsetsim::HandsetSim> sim;
    std::unique_ptr<program::Program> program;
};

} // namespace program_test
