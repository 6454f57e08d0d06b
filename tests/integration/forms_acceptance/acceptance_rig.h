// The rig every user scenario runs on: a fresh program folder (the built Plug-in and Language),
// the simulated handset from a scenario file beside the tests, in range on the folder's IrDA
// stand-in, and the whole program started in-process with a scripted prompt. Scenarios act only
// through the window: menu actions, clicks and keys on its lists, modal dialogs answered with
// whenModal(), message boxes and file names from the prompt's script.
//
// At the end of every test: a prompt nobody scripted, a scripted answer left over, a modal dialog
// still open, or a worker that did not stop within its wait fails the test.
#pragma once

#include "program_fixture.h"

#include "forms/f_main.h"
#include "program/program.h"
#include "scripted_prompt.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QString>

#include <initializer_list>
#include <memory>
#include <string>

class QTreeWidgetItem;
class QMenu;

namespace acceptance {

// The handset of a scenario file (name relative to the scenario folder), in range on dir.
handsetsim::Scenario loadScenario(const std::string &name, const std::string &irdaDir);

class Rig : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The handset of scenario file name, started (in range on the stand-in when irda).
    void startHandset(const std::string &name = "scenario_handset.json", bool irda = true);
    void startHandset(handsetsim::Scenario sc);
    // The program on the folder; connected when wait says so.
    void startProgram(bool waitConnected = true);
    // Closes the window the way the user does and runs the program's shut-down.
    void endProgram();

    forms::TfMain &w() { return program->mainWindow(); }
    // A menu or tool-bar item by object name, enabled, triggered.
    void trigger(const char *name);
    // A right-click: the pop-up's opening rules, then its item.
    void fromPopup(const char *menu, const char *item);
    // A click on a node of the box tree; rows (by index) then selected in the list.
    void chooseBox(int box, std::initializer_list<int> rows = {});
    QTreeWidgetItem *boxNode(int box);
    int listed();
    // Texts of one column of the message list.
    QStringList listColumn(int column);
    // Contact area shown, no node chosen, the handset's phone books read from its pop-up.
    void readHandsetBook();
    // Contact area: the node of the handset's book and storage (1 SIM, 2 phone), chosen.
    QTreeWidgetItem *chooseHandsetStorage(int storage);
    QStringList contactNames();
    QString panel(int i) { return w().statusPanel(i)->text(); }
    QString t(const char *key);
    // Downloads through the menu with box 1 chosen.
    void download();

    program_test::ProgramFolder folder;
    platform::FakeClock clock{1000000};
    std::unique_ptr<forms_test::ScriptedPrompt> prompt = std::make_unique<forms_test::ScriptedPrompt>();
    std::unique_ptr<handsetsim::HandsetSim> sim;
    std::string tty; // the handset's pty slave
    std::unique_ptr<program::Program> program;
};

} // namespace acceptance
