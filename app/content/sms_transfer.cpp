#include "content/sms_transfer.h"

#include "core/prompt.h"
#include "dv_result.h"
#include "dv_util.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace content {

namespace {

// A handset's index range is not trusted: one download builds at most this many slots a storage.
constexpr int32_t kMaxSlots = 10000;

bool isFault(int32_t r)
{
    return r < 0 && NetUtil_isFaultErr(r) != 0;
}

bool isPhoneRecord(const Ssms &m)
{
    return m.boxid == kBoxPhoneReceived || m.boxid == kBoxPhoneStored;
}

std::string lastDigits(int value, size_t keep, const char *pad)
{
    std::string s = pad + std::to_string(value);
    return s.substr(s.size() > keep ? s.size() - keep : 0);
}

// Copies text into a zero-filled field of size bytes; false (field untouched) when it needs more
// than size - 1 bytes.
bool putField(char *field, size_t size, const std::string &text)
{
    if (text.size() >= size)
        return false;
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), text.size());
    return true;
}

} // namespace

int FindFreeSlot(SlotTable &table, int32_t &wanted, int32_t id)
{
    for (SmsSlot &s : table)
        if (s.state < kSlotReserved && (wanted == -1 || s.position == wanted)) {
            wanted = s.position;
            s.state = kSlotReserved;
            s.id = id;
            return s.storage;
        }
    return kSmsFailed;
}

bool MarkSlotUsed(SlotTable &table, int32_t position, int32_t id)
{
    for (SmsSlot &s : table)
        if (s.position == position) {
            s.state = kSlotOccupied;
            s.id = id;
            return true;
        }
    return false;
}

void MoveSlotPosition(SlotTable &table, int32_t oldPos, int32_t newPos)
{
    for (SmsSlot &s : table)
        if (s.position == oldPos)
            s.position = newPos;
}

std::string smsTimeText(const PhoneTime &t)
{
    if (t.year == 0 && t.month == 0 && t.day == 0)
        return "--";
    std::string year = lastDigits(t.year, 4, "000");
    year[0] = '2';
    return year + "-" + lastDigits(t.month, 2, "0") + "-" + lastDigits(t.day, 2, "0") + " " +
           lastDigits(t.hour, 2, "0") + ":" + lastDigits(t.minute, 2, "0") + ":" + lastDigits(t.second, 2, "0");
}

int makeSendRec(const std::string &tel, const std::string &body, const std::string &sca,
                const std::string &defaultSca, SmsSendRec &out)
{
    SmsSendRec rec;
    std::memset(&rec, 0, sizeof rec);
    // The program's text is UTF-8 already (the local code page), so the body goes as it is.
    if (!putField(rec.number, sizeof rec.number, tel) || !putField(rec.text, sizeof rec.text, body))
        return kSmsTooLong;
    if (!sca.empty() && sca != defaultSca && !putField(rec.sca, sizeof rec.sca, sca))
        return kSmsTooLong;
    out = rec;
    return 0;
}

bool sendableNumber(const std::string &tel)
{
    const size_t from = !tel.empty() && tel[0] == '+' ? 1 : 0;
    if (tel.size() <= from)
        return false; // "" or "+" alone reaches nobody
    return std::all_of(tel.begin() + static_cast<std::ptrdiff_t>(from), tel.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

SmsRecord readSmsRecord(const uint8_t *data, size_t len)
{
    SmsRecord rec;
    std::memset(&rec, 0, sizeof rec);
    if (data)
        std::memcpy(&rec, data, std::min(len, sizeof rec));
    return rec;
}

std::string fieldText(const char *field, size_t size)
{
    const void *end = std::memchr(field, 0, size);
    return std::string(field, end ? static_cast<const char *>(end) - field : size);
}

// ---- TSmsTransfer ----

TSmsTransfer::TSmsTransfer(TSMSManage &sms, Env &env, BatchRunner &runner, core::TBaseClt &client)
    : sms_(sms), env_(env), runner_(runner), client_(client)
{
    sms_.setPhoneSide(this);
}

TSmsTransfer::~TSmsTransfer()
{
    sms_.setPhoneSide(nullptr);
}

void TSmsTransfer::noStatus()
{
    known_ = false;
    for (Storage &s : storages_) {
        s.first = -1;
        s.last = -1;
        s.caps = 0;
        s.table.clear();
    }
}

void TSmsTransfer::ClearPhoneBoxes()
{
    sms_.RemovePhoneRows();
}

void TSmsTransfer::PhoneDisconnected()
{
    if (busy_) {
        disconnectPending_ = true; // the batch's wait pumped it: applied when the batch is over
        return;
    }
    disconnectPending_ = false;
    ClearPhoneBoxes();
    noStatus();
}

BatchOutcome TSmsTransfer::runBatch(const std::vector<BatchRequest> &batch)
{
    busy_ = true;
    disconnectPending_ = false;
    BatchOutcome out = runner_.run(client_, batch);
    busy_ = false;
    return out;
}

void TSmsTransfer::showCode(int32_t code)
{
    env_.messageBox(env_.text("ErrInfo_CommErrInfo") + env_.text("ErrInfo_" + std::to_string(std::abs(code))),
                    core::kMbIconInformation);
}

void TSmsTransfer::report(int32_t code)
{
    if (code < 0 && code != DV_E_CANCELLED && firstFailure_ == 0)
        firstFailure_ = code;
}

int TSmsTransfer::sendRec(const Ssms &m, std::vector<uint8_t> &out) const
{
    SmsSendRec rec;
    const int r = makeSendRec(m.Tel, m.body, m.Sca, env_.text("Info_DefaultSCA"), rec);
    if (r < 0)
        return r;
    const auto *b = reinterpret_cast<const uint8_t *>(&rec);
    out.assign(b, b + sizeof rec);
    return 0;
}

// ---- Download ----

int TSmsTransfer::Download()
{
    if (!connected() || busy_)
        return 0;
    ClearPhoneBoxes();
    noStatus(); // until this download has read the storages
    unreadable_ = 0;

    std::array<std::shared_ptr<core::StorageStatus>, 2> st;
    for (int s = 0; s < 2; ++s) {
        st[s] = std::make_shared<core::StorageStatus>();
        st[s]->Stor = s + 1;
    }
    auto jobs = std::make_shared<core::TDataArray>(2);
    (*jobs)[0].Kind = core::kJobRead;
    (*jobs)[0].Stor = 1;
    (*jobs)[1].Kind = core::kJobRead;
    (*jobs)[1].Stor = 2;
    BatchOutcome out = runBatch({BatchRequest::storageStatus(st[0]), BatchRequest::storageStatus(st[1]),
                                 BatchRequest::readList(jobs)});
    if (disconnectPending_) {
        PhoneDisconnected();
        return 0;
    }
    if (out.cancelled || isFault(out.result))
        return 0;

    for (int s = 0; s < 2; ++s) {
        Storage &g = storages_[s];
        if (st[s]->Kind == 0) { // the status failed (the block is zero-filled): no slots
            g.first = 1;
            g.last = 0;
            continue;
        }
        g.caps = st[s]->Kind;
        g.first = st[s]->First < 0 ? 1 : st[s]->First;
        g.last = st[s]->Last < 0 ? 500 : st[s]->Last;
        const int64_t n = std::clamp<int64_t>(int64_t(g.last) - g.first + 1, 0, kMaxSlots);
        g.table.reserve(static_cast<size_t>(n));
        for (int64_t k = 0; k < n; ++k)
            g.table.push_back(SmsSlot{-1, static_cast<int32_t>(g.first + k), s + 1, kSlotFreeRead});
    }
    known_ = true;

    ArraySms local;
    std::array<ArraySms, 2> phone;
    std::array<int, 2> read{0, 0};
    for (const HandOverRow &row : out.rows) {
        const int s = row.stor == 2 ? 2 : 1;
        const SmsRecord rec = readSmsRecord(row.data.data(), row.data.size());
        ++read[s - 1];
        if (rec.kind != SMS_KIND_RECEIVED && rec.kind != SMS_KIND_SUBMITTED) {
            ++unreadable_; // another driver's kind: there is no box for it
            continue;
        }
        SlotTable &table = stor(s).table;
        SmsSlot *slot = nullptr;
        for (SmsSlot &e : table)
            if (e.position == row.index) {
                slot = &e;
                break;
            }
        if (!slot) { // listed outside first..last: the table grows to hold it
            table.push_back(SmsSlot{-1, row.index, s, kSlotFreeRead});
            slot = &table.back();
        } else if (slot->state >= kSlotReserved) {
            continue; // the same position listed twice: the first one stands
        }
        slot->state = kSlotReserved; // taken by this row; reserveForAdd finds it by position
        Ssms m;
        m.Tel = fieldText(rec.number, sizeof rec.number);
        m.body = fieldText(rec.text, sizeof rec.text);
        m.Tid = row.index;
        m.states = 2;
        m.time = smsTimeText(rec.time);
        if (rec.kind == SMS_KIND_RECEIVED) {
            m.boxid = kBoxReceived;
            local.push_back(m);
        }
        m.boxid = kBoxPhone + rec.kind;
        phone[s - 1].push_back(m);
    }
    for (int s = 0; s < 2; ++s) {
        if (st[s]->Kind != 0)
            unreadable_ += static_cast<int>(
                std::clamp<int64_t>(int64_t(st[s]->Used) - read[s], 0, kMaxSlots)); // the handset's count, bounded
        for (SmsSlot &e : storages_[s].table)
            if (e.state == kSlotReserved && e.id == -1)
                e.state = kSlotFreeRead; // reserveForAdd takes them again by position
    }

    // Received messages get their local copy (an identical earlier one is updated, not doubled),
    // then every message its phone-side row; one call per list keeps this fast on a large table.
    bool storedLocally = true;
    if (!local.empty()) {
        sms_.AddMessages(local, -1, false);
        for (const Ssms &m : local)
            storedLocally = storedLocally && m.id > 0;
    }
    downloading_ = true;
    for (int s = 0; s < 2; ++s) {
        if (phone[s].empty())
            continue;
        sms_.AddMessages(phone[s], s + 1, false);
        for (const Ssms &m : phone[s])
            if (m.id > 0)
                MarkSlotUsed(storages_[s].table, m.Tid, m.id);
    }
    downloading_ = false;
    if (env_.state().InCeptDel && storedLocally)
        deleteStoredCopies(phone);
    if (unreadable_ > 0) {
        std::string text = env_.text("SmsMng_Unreadable");
        const size_t at = text.find("%d");
        if (at != std::string::npos)
            text.replace(at, 2, std::to_string(unreadable_));
        else
            text += " (" + std::to_string(unreadable_) + ")";
        env_.messageBox(text, core::kMbIconInformation);
    }
    return 0;
}

// Received messages that now have their local copy in box 1 go from the handset: through the
// message store's delete, so the phone-side rows, the slots and the delete batch stay in step.
// Stored (outgoing) messages have no local copy and stay.
void TSmsTransfer::deleteStoredCopies(const std::array<ArraySms, 2> &phone)
{
    ArraySms doomed;
    for (const ArraySms &list : phone)
        for (const Ssms &m : list)
            if (m.id > 0 && m.boxid == kBoxPhoneReceived) {
                Ssms ref;
                ref.id = m.id;
                ref.boxid = m.boxid;
                doomed.push_back(ref);
            }
    if (!doomed.empty())
        sms_.DeleteMessages(doomed);
}

// ---- Sending ----

int TSmsTransfer::SendMessages(ArraySms &list)
{
    if (!connected() || list.empty())
        return 0;
    if (busy_)
        return kSmsNoState;
    // A number the driver refuses would fail only after the batch, as a fault of the handset
    // that never saw it: refused here, naming it, and nothing goes out.
    std::string bad;
    for (const Ssms &m : list)
        if (!sendableNumber(m.Tel))
            bad += (bad.empty() ? "\"" : ", \"") + m.Tel.substr(0, 80) + "\"";
    if (!bad.empty()) {
        env_.messageBox(env_.text("SmsMng_BadNumber") + " " + bad, core::kMbIconInformation);
        return kSmsBadNumber;
    }
    auto jobs = std::make_shared<core::TDataArray>();
    jobs->reserve(list.size());
    for (const Ssms &m : list) {
        core::TCommData job;
        job.Kind = core::kJobWriteSms;
        job.Stor = 1;
        if (const int r = sendRec(m, job.Data); r < 0) {
            showCode(r);
            return r;
        }
        job.DataLen = static_cast<int32_t>(job.Data.size());
        jobs->push_back(std::move(job));
    }
    for (Ssms &m : list) {
        m.boxid = kBoxSent;
        m.states = 3;
    }
    sms_.AddMessages(list, -1, false);

    BatchOutcome out = runBatch({BatchRequest::sendList(jobs)});
    int32_t first = 0;
    for (size_t i = 0; i < jobs->size() && i < list.size(); ++i) {
        const int32_t r = out.settled ? (*jobs)[i].Result : DV_E_CANCELLED;
        if (r >= 0)
            continue;
        // Not accepted by the handset (or never tried): kept for sending, not shown as sent.
        Ssms m;
        m.id = list[i].id;
        if (sms_.GetMessage(m) == 0)
            sms_.SetPlace(m.id, kBoxOutbox, m.Tid);
        list[i].boxid = kBoxOutbox;
        if (first == 0)
            first = r;
    }
    if (disconnectPending_)
        PhoneDisconnected();
    if (out.cancelled)
        return DV_E_CANCELLED;
    if (first < 0) {
        if (!(isFault(first) && out.faultShown)) // the progress dialog showed a link fault already
            showCode(first);
        return first;
    }
    return 0;
}

// ---- Slots ----

int TSmsTransfer::ReserveSlot(int32_t &wanted, int32_t id, int preference)
{
    if (!known_) {
        env_.messageBox(env_.text("SmsMng_MessCode1"), core::kMbOk);
        return kSmsNoState;
    }
    int r = kSmsFailed;
    if (preference == 1 || preference == 2) {
        r = FindFreeSlot(stor(preference).table, wanted, id);
    } else {
        r = FindFreeSlot(stor(1).table, wanted, id);
        if (r < 0)
            r = FindFreeSlot(stor(2).table, wanted, id);
    }
    if (r < 0)
        env_.messageBox(env_.text("SmsMng_MessCode2"), core::kMbOk);
    return r;
}

int TSmsTransfer::ReleaseSlot(int32_t id, bool free)
{
    if (!known_) {
        env_.messageBox(env_.text("SmsMng_MessCode1"), core::kMbOk);
        return kSmsNoState;
    }
    for (int s : {2, 1})
        for (SmsSlot &e : stor(s).table)
            if (e.id == id) {
                if (free) {
                    e.state = kSlotFree;
                    e.id = -1; // ids are reused: a freed slot must not answer for a later message
                } else {
                    e.state = kSlotReserved;
                }
                return s;
            }
    return kSmsNoSlot;
}

SmsSlot *TSmsTransfer::slotAt(int32_t s, int32_t position)
{
    for (SmsSlot &e : stor(s).table)
        if (e.position == position)
            return &e;
    return nullptr;
}

void TSmsTransfer::freeSlot(int32_t s, int32_t position, int32_t id)
{
    if (SmsSlot *e = slotAt(s, position); e && e->id == id) {
        e->state = kSlotFree;
        e->id = -1;
    }
}

void TSmsTransfer::settleWrite(int32_t s, int32_t reservedPos, int32_t reported, int32_t id)
{
    if (reported != reservedPos)
        freeSlot(s, reservedPos, id);
    SmsSlot *e = slotAt(s, reported);
    if (!e) {
        stor(s).table.push_back(SmsSlot{id, reported, s, kSlotOccupied});
        return;
    }
    e->id = id;
    e->state = kSlotOccupied;
}

void TSmsTransfer::toDrafts(int32_t id)
{
    sms_.SetPlace(id, kBoxDrafts, 0);
}

// ---- The store's hooks ----

int TSmsTransfer::begin(Operation op, const ArraySms &list, bool toHandset)
{
    if (downloading_)
        return 0;
    bool phone = false;
    for (const Ssms &m : list) {
        if (op == Operation::Delete ? m.boxid >= kBoxPhone : isPhoneRecord(m) && (op == Operation::Save || toHandset))
            phone = true;
    }
    if (!phone)
        return 0;
    if (busy_)
        return kSmsNoState;
    if (!connected()) {
        env_.messageBox(env_.text("SmsMng_NotConnected"), core::kMbOk);
        return kSmsNotConnected;
    }
    if (!known_) {
        env_.messageBox(env_.text("SmsMng_MessCode1"), core::kMbOk);
        return kSmsNoState;
    }
    // A save whose position lies outside both storages ends before anything changes.
    if (op == Operation::Save)
        for (const Ssms &m : list)
            if (isPhoneRecord(m) && beforeSave(m) == Step::Stop)
                return kSmsFailed;
    if (op != Operation::Delete)
        for (const Ssms &m : list) {
            std::vector<uint8_t> data;
            if (isPhoneRecord(m))
                if (const int r = sendRec(m, data); r < 0) {
                    showCode(r);
                    return r;
                }
        }
    jobs_.clear();
    pending_.clear();
    reserved_.clear();
    missingSlot_ = false;
    firstFailure_ = 0;
    return 0;
}

SmsPhoneSide::Step TSmsTransfer::reserveForAdd(const Ssms &m, int32_t newId, int storage, bool toHandset)
{
    if (downloading_) {
        int32_t wanted = m.Tid;
        return FindFreeSlot(stor(storage).table, wanted, newId) < 0 ? Step::Stop : Step::Go;
    }
    if (!toHandset)
        return Step::Go;
    int32_t wanted = -1;
    for (const Storage &g : storages_)
        if (m.Tid >= g.first && m.Tid <= g.last && m.Tid > 0)
            wanted = m.Tid;
    const int s = ReserveSlot(wanted, newId, storage);
    if (s < 0)
        return Step::Stop;
    reserved_.push_back({newId, Reserved{s, wanted}});
    return Step::Go;
}

void TSmsTransfer::queue(core::TCommData job, Pending p)
{
    jobs_.push_back(std::move(job));
    pending_.push_back(p);
}

void TSmsTransfer::added(const Ssms &m)
{
    auto it = std::find_if(reserved_.begin(), reserved_.end(), [&](const auto &r) { return r.first == m.id; });
    if (it == reserved_.end())
        return;
    core::TCommData job;
    job.Kind = core::kJobWriteSms;
    job.Stor = it->second.stor;
    job.Index = it->second.position;
    if (sendRec(m, job.Data) < 0)
        return;
    job.DataLen = static_cast<int32_t>(job.Data.size());
    queue(std::move(job), Pending{Role::NewWrite, m.id, it->second.stor, it->second.position});
}

bool TSmsTransfer::endAdd()
{
    return runWrites();
}

SmsPhoneSide::Step TSmsTransfer::beforeSave(const Ssms &m)
{
    Ssms row;
    row.id = m.id;
    if (sms_.GetMessage(row) != 0)
        return Step::Go; // no row yet: it is set aside and written like a new message
    for (const Storage &g : storages_)
        if (m.Tid >= g.first && m.Tid <= g.last)
            return Step::Go;
    return Step::Stop;
}

SmsPhoneSide::Step TSmsTransfer::saved(const Ssms &m, bool changed)
{
    if (!changed)
        return Step::Go; // only marked read, say: the handset keeps it where it is
    int s = 0;
    SmsSlot *old = nullptr;
    for (int k : {2, 1})
        for (SmsSlot &e : stor(k).table)
            if (!old && e.id == m.id) {
                old = &e;
                s = k;
            }
    if (!old) {
        // Not known to lie on the handset: this one stays as it was, the others still go.
        if (!missingSlot_)
            env_.messageBox(env_.text("SmsMng_MemFull"), core::kMbOk);
        missingSlot_ = true;
        return Step::Skip;
    }
    core::TCommData write;
    if (sendRec(m, write.Data) < 0)
        return Step::Skip;
    write.DataLen = static_cast<int32_t>(write.Data.size());
    write.Stor = s;
    if (stor(s).caps & 1) { // the storage overwrites in place
        old->state = kSlotReserved;
        write.Kind = core::kJobWritePb;
        write.Index = old->position;
        queue(std::move(write), Pending{Role::Overwrite, m.id, s, old->position});
        return Step::Go;
    }
    const int32_t oldPos = old->position;
    int32_t wanted = -1;
    if (FindFreeSlot(stor(s).table, wanted, m.id) < 0) {
        env_.messageBox(env_.text("SmsMng_MessCode2"), core::kMbOk);
        return Step::Skip; // the message stays as it is, on the handset and in its row
    }
    freeSlot(s, oldPos, m.id);
    core::TCommData del;
    del.Kind = core::kJobDelete;
    del.Stor = s;
    del.Index = oldPos;
    queue(std::move(del), Pending{Role::RewriteDelete, m.id, s, oldPos});
    write.Kind = core::kJobWriteSms;
    write.Index = wanted;
    queue(std::move(write), Pending{Role::RewriteWrite, m.id, s, wanted});
    return Step::Go;
}

bool TSmsTransfer::endSave()
{
    const bool ran = runWrites();
    return ran && !missingSlot_;
}

SmsPhoneSide::Step TSmsTransfer::deleted(const Ssms &m)
{
    int s = 0;
    for (int k : {2, 1})
        for (SmsSlot &e : stor(k).table)
            if (!s && e.id == m.id) {
                s = k;
                e.state = kSlotFree;
                e.id = -1;
            }
    if (!s) {
        missingSlot_ = true; // not known to lie on the handset: its row stays
        return Step::Skip;
    }
    core::TCommData job;
    job.Kind = core::kJobDelete;
    job.Stor = s;
    job.Index = m.Tid;
    queue(std::move(job), Pending{Role::Delete, m.id, s, m.Tid});
    return Step::Go;
}

bool TSmsTransfer::endDelete()
{
    const bool ran = runWrites();
    if (missingSlot_)
        env_.messageBox(env_.text("SmsMng_DelNoSlot"), core::kMbOk);
    return ran && !missingSlot_;
}

bool TSmsTransfer::runWrites()
{
    if (jobs_.empty()) {
        pending_.clear();
        return true;
    }
    auto jobs = std::make_shared<core::TDataArray>(std::move(jobs_));
    std::vector<Pending> pending = std::move(pending_);
    jobs_.clear();
    pending_.clear();
    reserved_.clear();
    firstFailure_ = 0;
    BatchOutcome out = runBatch({BatchRequest::writeList(jobs)});

    for (size_t i = 0; i < jobs->size() && i < pending.size(); ++i) {
        const core::TCommData &job = (*jobs)[i];
        const Pending &p = pending[i];
        // A cancel the runner could not see through leaves every job undecided: taken as not done.
        const int32_t r = out.settled ? job.Result : DV_E_CANCELLED;
        switch (p.role) {
        case Role::NewWrite:
        case Role::Overwrite:
        case Role::RewriteWrite:
            if (r >= 0) {
                settleWrite(p.stor, p.position, job.Index, p.id);
                Ssms m;
                m.id = p.id;
                if (sms_.GetMessage(m) == 0)
                    sms_.SetPlace(p.id, m.boxid, job.Index);
            } else {
                if (p.role == Role::Overwrite) {
                    // The old text is still at its place, no longer shown by any row.
                    if (SmsSlot *e = slotAt(p.stor, p.position)) {
                        e->state = kSlotOccupied;
                        e->id = -1;
                    }
                } else {
                    freeSlot(p.stor, p.position, p.id);
                }
                toDrafts(p.id); // the handset did not take the text: keep it for the user
                report(r);
            }
            break;
        case Role::RewriteDelete:
        case Role::Delete:
            if (r < 0) {
                // Still on the handset: its place is not free.
                if (SmsSlot *e = slotAt(p.stor, p.position)) {
                    e->state = kSlotOccupied;
                    e->id = -1;
                }
                report(r);
            }
            break;
        }
    }
    if (firstFailure_ < 0 && !(isFault(firstFailure_) && out.faultShown))
        showCode(firstFailure_);
    if (disconnectPending_)
        PhoneDisconnected();
    return !out.cancelled;
}

} // namespace content
