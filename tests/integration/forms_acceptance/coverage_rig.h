// What the coverage and geometry tests share: the whole program in-process on a folder of its own
// with the simulated handset on the IrDA stand-in, and a walk over every form the user can reach —
// each area and box of the main window, disconnected and connected (after a download), every
// command that opens a dialog, each page of a dialog with pages — handing each form that comes up
// to a visitor before it is closed again.
#pragma once

#include "program_fixture.h"

#include "program/program.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <set>
#include <string>

namespace coverage_test {

// Called once for every form that comes up (a dialog per page of its pages, the main window per
// area, box and connection state); state names the moment ("sms box 3, connected").
using Visitor = std::function<void(QWidget *form, const std::string &state)>;

class Walk {
public:
    explicit Walk(Visitor visitor);
    ~Walk();

    // Starts the program (disconnected), walks, brings the handset into range, downloads, walks
    // again, then the dialogs that only other dialogs open. Failures are test failures.
    void run();

    program::Program &program() { return *program_; }
    // The object names of every form visited.
    const std::set<std::string> &visited() const { return visited_; }

private:
    void walkWindow(const std::string &state);
    void walkDialogs(const std::string &state);
    void triggerAndVisit(const char *action, const std::string &state);
    void visitModal(QWidget *w, const std::string &state);
    void visitForm(QWidget *w, const std::string &state);
    void nestedDialogs();

    Visitor visitor_;
    program_test::ProgramFolder folder_;
    platform::FakeClock clock_{1000000};
    std::unique_ptr<handsetsim::HandsetSim> sim_;
    std::unique_ptr<program::Program> program_;
    std::set<std::string> visited_;
};

// "fSet" for a widget named "fSet"; the class name when it has no object name.
std::string formName(const QWidget *w);

} // namespace coverage_test
