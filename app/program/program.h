// The program block of Selvark: one instance per user, the splash while the parts come up, the
// main window and the message loop, and an orderly end. main() calls runProgram(); tests run the
// same block in-process on a program folder of their own, step by step:
//
//   program::ProgramOptions opt;
//   opt.programDir = dir; opt.lockDir = dir;          // parallel tests: a lock of their own
//   program::Program p(opt);
//   if (p.start(argc, argv) != program::Program::Start::Running) return p.exitCode();
//   p.run();                                          // until the main window closes
//   p.shutDown();                                     // stages, worker, connection, tables
//
// Start-up order: instance guard ("ZeqSelvarkTarnovel"; a second instance ends at once, silently,
// with code 0), splash, application manager (working folders, language), splash painted, title
// "Selvark Tarnovel", main window, hand-over table, database, find dialog, the second start stage,
// splash closed. The device library's waits pump the user-interface thread's events. The message
// table, which may be large, is read in the background from step 7 on: the main window paints
// first and lists its messages once they are read, after its first paint; an operation on the
// messages before that waits for the read.
//
// SIGTERM, SIGINT and SIGHUP end the loop as closing the main window does (through a self-pipe),
// so the shut-down stage runs and the session's table changes are saved. A quit while a modal
// dialog is up closes that dialog first (a progress dialog cancels its batch and waits for the
// worker's answer), then the main window.
//
// An exception out of a start step is caught: the splash goes, one box shows its text, start()
// answers Failed and the exit code is 1; nothing of the stages' shut-down runs.
//
// Shut-down: the stages' shut-down, the worker stopped within a bounded wait (a driver wait in
// progress is cancelled), the connection closed under its lock, every open table saved.
#pragma once

#include "platform/clock.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace core {
class Prompt;
class TdbMain;
class TdmCommData;
class TManage;
} // namespace core
namespace forms {
class TfMain;
}

namespace program {

class Stages;

struct ProgramOptions {
    std::string programDir;  // the program folder; empty: the executable's
    std::string lockDir;     // where the instance lock lies; empty: the user's runtime folder
    bool quitAfterFirstPaint = false; // start, paint the main window once, end (start-up timing)
    std::function<void()> firstPaint; // called once at the main window's first paint, if set
    bool handleSignals = true;        // SIGTERM, SIGINT, SIGHUP end the loop
    platform::Clock *clock = nullptr; // the worker's clock; null: the system's
    std::function<void(int ms)> workerPause; // the worker's short waits; empty: real ones
    std::function<int32_t(int32_t ms)> workerIdleSleep; // the worker's sleep between idle steps; empty: as asked
    std::chrono::milliseconds workerStopWait{3000}; // how long shut-down waits for the worker
    core::Prompt *prompt = nullptr;   // message boxes and standard dialogs; null: the program's own
    // Called before start-up steps 3 (splash), 4 (application manager), 7 (main window and the
    // data modules), 8 (second start stage) and 9 (splash closed) with the step's number; tests
    // throw from it. Empty: nothing.
    std::function<void(int step)> beforeStep;
    // Runs on the thread that reads the message table, before it reads (tests hold the read here).
    std::function<void()> beforeMessagesRead;
};

inline constexpr const char *kApplicationTitle = "Selvark Tarnovel";
inline constexpr const char *kInstanceName = "ZeqSelvarkTarnovel";

class Program {
public:
    enum class Start {
        Running,        // the main window is up; run() next
        AlreadyRunning, // another instance holds the lock: end with exitCode() (0), nothing shown
        Failed,         // a start step threw: its text was shown in a box; end with exitCode() (1)
    };

    explicit Program(ProgramOptions options);
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // Everything up to the message loop. Uses the QApplication that exists, or makes the
    // program's own from argc and argv.
    Start start(int &argc, char **argv);
    // The message loop, until the main window closes. Answers the exit code.
    int run();
    // The end: stages, worker, connection, tables (also when run() was never called).
    void shutDown();
    // What a quit signal does: closes the modal dialogs, then the main window.
    void requestQuit();

    int exitCode() const { return exitCode_; }

    // --- the parts, for tests (valid between start() and the end of the object) ---
    core::TManage &manage();
    core::TdbMain &db();
    core::TdmCommData &commData();
    Stages &stages();
    forms::TfMain &mainWindow();
    // True when shut-down found the worker ended within its wait.
    bool workerStoppedInTime() const { return workerStopped_; }

private:
    struct Parts;
    Start startSteps(int &argc, char **argv);
    void failStart(const std::string &what);
    void installSignals();
    void removeSignals();

    ProgramOptions options_;
    std::unique_ptr<Parts> parts_;
    int exitCode_ = 0;
    bool workerStopped_ = true;
    bool shutDown_ = false;
};

// start, run, shut down; the exit code.
int runProgram(int argc, char **argv, ProgramOptions options = {});

} // namespace program
