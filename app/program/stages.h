// The stages that tie the program's parts together, on the application manager's behalf: the
// second start stage (progress dialog, connection manager, catalogue scan, settings, worker,
// content managers over the main window's controls), the shut-down stage, the connected and
// disconnected handler, the switch of the active area, copying the last connect's parameters
// back into the settings, and handing the idle time-out to the worker.
//
//   program::Stages stages(manage, db, commData, hub, prompt);
//   stages.StartUp(mainWindow);          // after the main window, hand-over table and database
//   ... message loop; the window calls SetConnected, UpdatePhoneInfo, SetActiveGroup ...
//   stages.ShutDown();
//   stages.StopWorker(deadline);         // then the connection is closed under its lock
//
// The stored idle time-out is handed to the worker at start, so a stored "disconnect after 10
// minutes" is in effect from the first minute; SetKeepTime compares with what the worker holds.
// UpdatePhoneInfo copies the connection parameters only when the connection manager answers
// them (a link that dropped before the message was handled leaves the settings alone).
//
// User-interface thread only. The managers and the worker live as long as the object.
#pragma once

#include "content/env.h"
#include "content/phonebook_manage.h"
#include "content/phrase_mng.h"
#include "content/qt/phrase_view.h"
#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "core/catalogue_scan.h"
#include "core/comm/comm_mng.h"
#include "core/comm/comm_thread.h"
#include "platform/clock.h"
#include "program/main_host.h"

#include <chrono>
#include <functional>
#include <memory>

namespace core {
class Prompt;
class TdbMain;
class TdmCommData;
class TManage;
} // namespace core
namespace platform {
class QtWindowMessages;
}
namespace forms {
class TFrmProgress;
}
namespace content {
class TSmsTransfer;
}

namespace program {

// The catalogue scan's notices go to the main window as this message (the window ignores it).
inline constexpr uint32_t WM_PLUGIN_SCAN_INFO = 1133;
// The connection manager's poll interval for automatic connection.
inline constexpr int32_t kAutoConnectMs = 1000;

struct StagesSetup {
    platform::Clock *clock = nullptr;          // the worker's and the managers' clock; null: the system's
    std::function<void(int ms)> workerPause;   // the worker's short waits; empty: real ones
    std::function<int32_t(int32_t ms)> workerIdleSleep; // the worker's sleep between idle steps; empty: as asked
};

class Stages {
public:
    Stages(core::TManage &manage, core::TdbMain &db, core::TdmCommData &commData,
           platform::QtWindowMessages &hub, core::Prompt &prompt, StagesSetup setup = {});
    ~Stages();
    Stages(const Stages &) = delete;
    Stages &operator=(const Stages &) = delete;

    // The second start stage, in this order: progress dialog; connection manager with automatic
    // connection every 1000 ms; catalogue scan; settings; connection settings to the manager;
    // worker (started, with the stored idle time-out); history and help file; the message, contact
    // and phrase managers over the window's controls (handset-box rows a killed run left in the
    // message table are dropped). Runs once. A message table still being read is opened by the
    // first operation on it or by MessagesLoaded(), whichever comes first.
    void StartUp(MainHost &main);
    // Settings saved, phone-side message copies deleted, phrase tables saved, connection mode off.
    void ShutDown();
    // With ClearTrashOnExit: removes every message of the recycle boxes, after asking when
    // deletions are confirmed (DelQuestion). Part of ShutDown.
    void EmptyRecycleBox();
    // After ShutDown: stops the worker within the deadline (a driver wait in progress is cancelled),
    // then closes the connection under its lock. True when the worker ended in time.
    bool StopWorker(std::chrono::steady_clock::time_point deadline);

    // The message table read in the background has been read (any thread may have seen it end;
    // this runs on the user-interface thread): the store is opened, if no command opened it
    // first, and a list that waited for it is filled. Does nothing while the read goes on.
    void MessagesLoaded();
    // False while the message table is still being read.
    bool messagesOpen() const { return sms_ && !sms_->opening(); }

    void SetConnected(bool connected);
    void SetActiveGroup(int index);
    void UpdatePhoneInfo();
    void SetKeepTime(int32_t minutes);

    // --- what the window's commands reach ---
    bool started() const { return worker_ != nullptr; }
    core::TManage &manage() { return manage_; }
    content::Env &env() { return *env_; }
    core::TCommMng &commMng() { return *comm_; }
    core::TCommThread &worker() { return *worker_; }
    forms::TFrmProgress &progress() { return *progress_; }
    content::TSMSManage &sms() { return *sms_; }
    content::TSmsTransfer &smsTransfer() { return *smsTransfer_; }
    content::SmsView &smsView() { return *smsView_; }
    content::TPhoneBookManage &phoneBook() { return *pb_; }
    content::TPhraseMng &phrases() { return *phrases_; }
    content::PhraseView &phraseView() { return *phraseView_; }

private:
    // Waits for the message table's read, gives the store its table and drops the handset-box
    // rows a killed run left.
    void openMessages();
    void refreshMenusForNoSelection();
    void contactMenusForNoSelection();
    void rebuildContactTree();

    core::TManage &manage_;
    core::TdbMain &db_;
    core::TdmCommData &commData_;
    platform::QtWindowMessages &hub_;
    core::Prompt &prompt_;
    StagesSetup setup_;
    MainHost *main_ = nullptr;

    std::unique_ptr<content::ManageEnv> env_;
    std::unique_ptr<forms::TFrmProgress> progress_;
    std::unique_ptr<core::TCommMng> comm_;
    std::unique_ptr<core::TCommThread> worker_;
    std::unique_ptr<core::TSmsClt> smsClt_;
    std::unique_ptr<content::TSMSManage> sms_;
    std::unique_ptr<content::TSmsTransfer> smsTransfer_;
    std::unique_ptr<content::SmsView> smsView_;
    std::unique_ptr<content::TPhoneBookManage> pb_;
    std::unique_ptr<content::TPhraseMng> phrases_;
    std::unique_ptr<content::PhraseView> phraseView_;
};

} // namespace program
