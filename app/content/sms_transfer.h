// The handset side of the message store: reading both message storages of the handset into the
// phone-side boxes (8 received, 9 stored), sending, writing new messages into the handset's
// storages, rewriting and deleting them there, and the slot tables through which the store knows
// which handset positions are free. Every transfer is one batch on the worker (content/batch_runner.h).
//
//   content::TSmsTransfer phone(sms, env, runner, smsClt); // hooks itself into sms
//   phone.Download();                                      // boxes 1, 8 and 9 from the handset
//   phone.SendMessages(parts);                             // 0, or the first failure
//   phone.PhoneDisconnected();                             // from the disconnect handler
//
// Storage 1 is the SIM card's message memory ("SM"), storage 2 the handset's own ("ME").
//
// Rules the store keeps with the handset:
//  - nothing runs while the application is not connected, and nothing changes before the storage
//    status is known (a download since the last connect): "SmsMng_MessCode1" and DV_E_STATE;
//  - after every write the row's Tid and its slot follow the index the handset reports;
//  - a job that failed is never taken for done: a new message that the handset did not take
//    goes to the drafts, a message that was not sent to box 2, and the user is told once a batch;
//  - a disconnect that arrives while a batch runs is applied after the batch, whose rows are dropped;
//  - texts that do not fit the driver's record are refused (ErrInfo_251), never cut.
//
// User-interface thread only.
#pragma once

#include "content/batch_runner.h"
#include "content/env.h"
#include "content/sms_manage.h"

#include "ms_itf.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace content {

// Results (the device library's codes).
inline constexpr int kSmsNoState = -23;    // DV_E_STATE: no storage status read yet
inline constexpr int kSmsTooLong = -251;   // a text does not fit its field
inline constexpr int kSmsNoSlot = -100;    // ReleaseSlot: the id has no slot
inline constexpr int kSmsNotConnected = -7;
inline constexpr int kSmsBadNumber = -81;    // DV_E_ARG: a recipient the driver cannot send to

// Slot states.
enum : uint8_t { kSlotFree = 0, kSlotFreeRead = 1, kSlotReserved = 2, kSlotOccupied = 4 };

struct SmsSlot {
    int32_t id = -1;       // local message id, -1 when none
    int32_t position = 0;  // handset index
    int32_t storage = 0;   // 1 or 2
    uint8_t state = kSlotFreeRead;
    bool operator==(const SmsSlot &) const = default;
};
using SlotTable = std::vector<SmsSlot>;

// The first entry (in table order) below state 2 whose position is `wanted` (any when -1): it is
// reserved for id and its position written to wanted; its storage, or -92 when none.
int FindFreeSlot(SlotTable &table, int32_t &wanted, int32_t id);
// The first entry at position: occupied by id. false when no entry has the position.
bool MarkSlotUsed(SlotTable &table, int32_t position, int32_t id);
// Every entry at oldPos gets newPos.
void MoveSlotPosition(SlotTable &table, int32_t oldPos, int32_t newPos);

// "yyyy-mm-dd hh:nn:ss" from a handset time, "--" when year, month and day are 0; a two-digit
// year y is 20yy (the handset's clock counts from 2000).
std::string smsTimeText(const PhoneTime &t);

// The driver's record for one message: number, UTF-8 text and service centre (empty or the
// default-centre text: all zero, the handset's own). kSmsTooLong when a text does not fit.
int makeSendRec(const std::string &tel, const std::string &body, const std::string &sca,
                const std::string &defaultSca, SmsSendRec &out);
// A recipient the driver sends to: digits, an optional "+" in front (its length is makeSendRec's).
bool sendableNumber(const std::string &tel);
// The record read from a hand-over row: a zero-padded copy of at most 292 bytes.
SmsRecord readSmsRecord(const uint8_t *data, size_t len);
// A text field of a record up to its first zero, never past the field.
std::string fieldText(const char *field, size_t size);

class TSmsTransfer final : public SmsPhoneSide {
public:
    // client: the SMS device client (interface 11). All must outlive the object; it sets itself as
    // the store's handset side and unsets itself when destroyed.
    TSmsTransfer(TSMSManage &sms, Env &env, BatchRunner &runner, core::TBaseClt &client);
    ~TSmsTransfer() override;
    TSmsTransfer(const TSmsTransfer &) = delete;
    TSmsTransfer &operator=(const TSmsTransfer &) = delete;

    // Reads both storages into boxes 8 and 9 and the received messages into box 1. 0, also when
    // not connected, cancelled or failed (the phone-side boxes then stay empty). With the
    // InCeptDel setting the received messages that box 1 now holds are then deleted on the
    // handset (one delete batch), and leave box 8.
    int Download();
    // Stores the records in the sent box and sends them. 0; the first failure (negative) when a
    // message did not go (those move to box 2); kSmsTooLong, nothing stored, for an over-long text.
    int SendMessages(ArraySms &list);
    // Deletes every phone-side row (boxes above 7).
    void ClearPhoneBoxes();
    // The handset is gone: phone-side rows deleted, storage indexes -1. During a batch this is
    // applied when the batch has ended.
    void PhoneDisconnected();

    // Reserves a free slot for id (wanted -1: any) in storage preference 1, 2 or either; the
    // storage, -92 when none is free ("SmsMng_MessCode2"), kSmsNoState before a download.
    int ReserveSlot(int32_t &wanted, int32_t id, int preference);
    // Frees (free) or re-reserves id's slot; the storage, kSmsNoSlot, or kSmsNoState.
    int ReleaseSlot(int32_t id, bool free);

    // State, for callers and tests.
    bool statusKnown() const { return known_; }
    const SlotTable &slotTable(int storage) const { return stor(storage).table; }
    int32_t firstIndex(int storage) const { return stor(storage).first; }
    int32_t lastIndex(int storage) const { return stor(storage).last; }
    int32_t capability(int storage) const { return stor(storage).caps; }
    // Messages the last download could not read (skipped by the driver or of an unknown kind).
    int unreadable() const { return unreadable_; }

    // SmsPhoneSide.
    int begin(Operation op, const ArraySms &list, bool toHandset) override;
    Step reserveForAdd(const Ssms &m, int32_t newId, int storage, bool toHandset) override;
    void added(const Ssms &m) override;
    bool endAdd() override;
    Step beforeSave(const Ssms &m) override;
    Step saved(const Ssms &m, bool changed) override;
    bool endSave() override;
    Step deleted(const Ssms &m) override;
    bool endDelete() override;

private:
    void deleteStoredCopies(const std::array<ArraySms, 2> &phone);
    struct Storage {
        int32_t first = 0;
        int32_t last = 0;
        int32_t caps = 0;
        SlotTable table;
    };
    // What a queued job is for.
    enum class Role { NewWrite, Overwrite, RewriteDelete, RewriteWrite, Delete };
    struct Pending {
        Role role = Role::Delete;
        int32_t id = -1;
        int32_t stor = 0;
        int32_t position = 0; // the slot's position when queued
    };

    Storage &stor(int s) { return storages_[s == 2 ? 1 : 0]; }
    const Storage &stor(int s) const { return storages_[s == 2 ? 1 : 0]; }
    bool connected() const { return env_.state().Connected; }
    void noStatus();
    void queue(core::TCommData job, Pending p);
    // Runs the queued write list; false when cancelled. Applies the job-result rules.
    bool runWrites();
    void settleWrite(int32_t stor, int32_t reservedPos, int32_t reported, int32_t id);
    void freeSlot(int32_t stor, int32_t position, int32_t id);
    SmsSlot *slotAt(int32_t stor, int32_t position);
    void toDrafts(int32_t id);
    void report(int32_t code);
    void showCode(int32_t code);
    BatchOutcome runBatch(const std::vector<BatchRequest> &batch);
    int sendRec(const Ssms &m, std::vector<uint8_t> &out) const;

    TSMSManage &sms_;
    Env &env_;
    BatchRunner &runner_;
    core::TBaseClt &client_;
    std::array<Storage, 2> storages_{};
    bool known_ = false;      // a download read the storages since the last connect
    bool busy_ = false;       // a batch is in flight
    bool disconnectPending_ = false;
    bool downloading_ = false;
    int unreadable_ = 0;
    // The current write batch.
    core::TDataArray jobs_;
    std::vector<Pending> pending_;
    struct Reserved {
        int32_t stor = 0;
        int32_t position = 0;
    };
    std::vector<std::pair<int32_t, Reserved>> reserved_; // id -> slot reserved by reserveForAdd
    bool missingSlot_ = false;
    int32_t firstFailure_ = 0;
};

} // namespace content
