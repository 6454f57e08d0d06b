// Work requests for the worker thread: the command record, the jobs and status records it carries,
// and the device clients that build commands for one driver interface.
//
//   auto jobs = std::make_shared<core::TDataArray>(1, core::TCommData{core::kJobRead, 1});
//   smsClt.SetItf(MS_ITF_SMS, comm.currentSerial());   // when the handset connects
//   smsClt.ReadList(jobs, progressWindow);
//   uint64_t batch = worker.EndBatch();                 // WM_COMM_DONE carries it as l
//
// Arguments are shared: requester and worker each hold a reference, so neither frees what the
// other may still read (a cancelled batch simply drops the worker's reference). A command names
// its interface by id and connection serial; a serial from an earlier connection finds nothing
// and the command answers -7 without calling the driver.
#pragma once

#include "core/conn_param.h"
#include "platform/window_messages.h"

#include "ms_itf.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <variant>
#include <vector>

namespace core {

class TCommThread;

// Window messages of the worker (to windows of the user-interface thread).
inline constexpr uint32_t WM_PHONE_CONNECTED = 1125;    // main window; 0, 0
inline constexpr uint32_t WM_PHONE_DISCONNECTED = 1126; // main window; 0, 0
// Requesting window. w: batch serial (low 32 bits) << 32 | stage; l: the stage's value.
inline constexpr uint32_t WM_COMM_PROGRESS = 1145;
// Window of the batch's last command. w: batch result; l: batch serial (EndBatch's answer).
inline constexpr uint32_t WM_COMM_DONE = 1146;
// Main window. w: battery percent (0 unreadable); l: signal 0..100 or -1 (0 unreadable).
inline constexpr uint32_t WM_BATTERY_STATUS = 1174;

// WM_COMM_PROGRESS stages.
enum : int32_t { kStageBegin = 1, kStageStep = 2, kStageEnd = 3, kStageSearchEnd = 4 };

inline constexpr intptr_t progressW(uint64_t batch, int32_t stage)
{
    return static_cast<intptr_t>(((batch & 0xFFFFFFFFull) << 32) | static_cast<uint32_t>(stage));
}
inline constexpr int32_t progressStage(intptr_t w) { return static_cast<int32_t>(w & 0xFFFFFFFF); }
inline constexpr uint32_t progressBatch(intptr_t w) { return static_cast<uint32_t>(static_cast<uint64_t>(w) >> 32); }

// Command codes.
enum CommCmd : uint8_t {
    kCmdSearch = 1,
    kCmdEndBatch = 2, // queued by TCommThread::EndBatch only
    kCmdReadList = 3,
    kCmdWriteList = 4,
    kCmdSendList = 5,
    kCmdStorStatus = 6,
    kCmdStorStatusEx = 7,
};

// Job kinds.
enum : int32_t { kJobWritePb = 1, kJobWriteSms = 2, kJobRead = 8, kJobDelete = 16 };

// One job of a list command.
struct TCommData {
    int32_t Kind = 0;
    int32_t Stor = 0;    // 1 "SM", 2 "ME"
    int32_t Index = 0;   // write: position (negative: first free), the one used comes back; read: last read
    int32_t Result = 0;  // written by the worker; jobs a stopped list never reached get the stop reason
    int32_t DataLen = 0; // bytes of Data to write (below 1: one byte; never more than Data holds)
    uint8_t Done = 0;    // read list: an entry of this storage was read
    std::vector<uint8_t> Data; // vCard text, or a 308-byte SmsSendRec for a message
};
using TDataArray = std::vector<TCommData>;

struct StorageStatus {
    int32_t Stor = 0;  // in
    int32_t Kind = 0;  // 57 phone book, 58 messages
    int32_t Total = 0;
    int32_t Used = 0;
    int32_t First = 0;
    int32_t Last = 0;
};

// With the phone book's field limits, copied under the connection lock (the driver's table dies
// with the plug-in).
struct StorageStatusEx : StorageStatus {
    int32_t FieldCount = 0;
    std::vector<TFieldParam> Fields;
    int32_t Slot15 = 0; // the answer of the phone book's slot 15
};

using CommArgument = std::variant<std::monostate, std::shared_ptr<UIConnParam>, std::shared_ptr<TDataArray>,
                                  std::shared_ptr<StorageStatus>, std::shared_ptr<StorageStatusEx>>;

// One queued command.
struct TCommCommand {
    int32_t itfId = 0;     // MS_ITF_SMS, MS_ITF_PB..PB3; 0 for codes 1 and 2
    uint64_t serial = 0;   // connection serial the interface belongs to (TCommMng::currentSerial)
    platform::WindowId window = platform::kNoWindow;
    bool progress = true;  // post WM_COMM_PROGRESS to window
    uint8_t code = 0;
    CommArgument arg;
};

// A command template for one driver interface. Clients live as long as their manager.
class TBaseClt {
public:
    explicit TBaseClt(TCommThread &worker) : worker_(worker) {}
    virtual ~TBaseClt() = default;

    // Binds the client to interface id of connection serial.
    void SetItf(int32_t id, uint64_t serial);
    int32_t itfId() const;
    uint64_t serial() const;

    // Queue one command on the worker; 0. The caller then closes the batch (TCommThread::EndBatch).
    virtual int32_t ReadList(std::shared_ptr<TDataArray> jobs, platform::WindowId window);
    virtual int32_t WriteList(std::shared_ptr<TDataArray> jobs, platform::WindowId window);
    int32_t SendList(std::shared_ptr<TDataArray> jobs, platform::WindowId window);
    int32_t GetStorageInfo(std::shared_ptr<StorageStatus> status, platform::WindowId window);
    int32_t GetStorageInfoEx(std::shared_ptr<StorageStatusEx> status, platform::WindowId window);

private:
    int32_t queue(uint8_t code, CommArgument arg, platform::WindowId window);

    TCommThread &worker_;
    mutable std::mutex mutex_; // the template is bound on connect while a manager may queue
    TCommCommand template_;
};

// Interface 11.
class TSmsClt final : public TBaseClt {
public:
    using TBaseClt::TBaseClt;
};
// Interfaces 12, 13 and 14, one client each.
class TCardClt final : public TBaseClt {
public:
    using TBaseClt::TBaseClt;
};

} // namespace core
