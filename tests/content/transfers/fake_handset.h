// FakeHandset: a handset held in memory, driven by the real worker. Its message storages and its
// phone books are in-memory driver interface objects (SmsItf 11, PbItf 12, 13 and 14; each phone
// book with a capability code, first and last, a field-limit table and vCard texts) that the Ctl fixture plug-in hands out in place of
// its own (fixctl_setItf); the real connection manager connects through the fixture pair and the
// real TCommThread runs each batch, stepped on the test's thread (batchStep) by the headless
// runner. So a test sees exactly the requests the worker makes, and can script the handset:
//
//   transfer_test::FakeHandset h;                 // storages 1 (1..20) and 2 (1..100), empty
//   h.store.put(1, 3, transfer_test::received("+4411", "hi", {5, 3, 17, 14, 30, 0}));
//   h.store.itemAnswer[2] = -9;                   // the second item answers -9 (a job result)
//   h.store.linkDownAt = 3;                       // from the third item on, the link is gone
//   h.store.onItem = [&](int n) { if (n == 2) h.runner->cancel(); };
//   h.store.onRequest = [&](size_t r) { if (r == 4) h.runner->cancel(); };  // at any request
//   h.connect();
//   ... h.store.log: every request, in order
//
// Items are the per-entry steps: each entry read (readData), each write (beginWrite), each
// delete and each send, counted from 1 over the handset's life (resetItems() starts again).
#pragma once

#include "content/batch_runner.h"
#include "core/comm/comm_fixture.h"
#include "core/comm/comm_thread.h"

#include "dv_result.h"
#include "ms_itf.h"

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace transfer_test {

struct Time {
    int16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

inline SmsRecord record(int32_t kind, const std::string &number, const std::string &text, Time t = {})
{
    SmsRecord r;
    std::memset(&r, 0, sizeof r);
    r.kind = kind;
    r.state = SMS_STATE_TEXT;
    std::strncpy(r.number, number.c_str(), sizeof r.number - 1);
    std::strncpy(r.text, text.c_str(), sizeof r.text - 1);
    r.time = PhoneTime{t.year, t.month, t.day, t.hour, t.minute, t.second, 0};
    return r;
}
inline SmsRecord received(const std::string &number, const std::string &text, Time t = {5, 3, 17, 14, 30, 0})
{
    return record(SMS_KIND_RECEIVED, number, text, t);
}
inline SmsRecord stored(const std::string &number, const std::string &text)
{
    return record(SMS_KIND_SUBMITTED, number, text);
}

struct FakeStorage {
    int32_t first = 1;
    int32_t last = 20;
    int32_t caps = MS_CAPS_SMS;
    int32_t setAnswer = 0;  // < 0: setStor refuses the storage (-94: not supported)
    int32_t statAnswer = 0; // < 0: getStat fails
    std::optional<std::pair<int32_t, int32_t>> reportRange; // first and last as reported (e.g. -1, -1)
    std::optional<int32_t> reportUsed;
    std::map<int32_t, std::vector<uint8_t>> entries; // index -> the driver's bytes (an SmsRecord)
    std::set<int32_t> undecodable; // held by the handset, skipped by the driver's listing
};

struct FakeStore {
    // true: a message store (writes take an SmsSendRec and keep it as an SmsRecord); false: a
    // phone book (entries are kept as written).
    bool messages = true;
    std::map<int32_t, FakeStorage> storages;
    std::vector<std::string> log;
    std::vector<SmsSendRec> sent;
    std::map<int, int32_t> itemAnswer; // item n answers this (a failed job)
    int linkDownAt = 0;                // > 0: from this item on every operation answers DV_E_CLOSED
    std::function<void(int item)> onItem;
    std::function<void(size_t request)> onRequest; // after request n (from 0) is logged
    int32_t fullAnswer = DV_E_IO;      // a write with no free index

    int items = 0;
    bool linkDown = false;
    int32_t current = 0;
    std::vector<int32_t> listing; // indexes of the walk in progress
    size_t cursor = 0;
    int32_t writeIndex = 0, writeMode = 0;
    std::vector<uint8_t> writeData;

    void note(std::string line)
    {
        log.push_back(std::move(line));
        if (onRequest)
            onRequest(log.size() - 1);
    }
    FakeStorage &storage(int32_t s) { return storages[s]; }
    void put(int32_t s, int32_t index, const SmsRecord &r)
    {
        const auto *b = reinterpret_cast<const uint8_t *>(&r);
        storages[s].entries[index].assign(b, b + sizeof r);
    }
    std::optional<SmsRecord> at(int32_t s, int32_t index) const
    {
        auto st = storages.find(s);
        if (st == storages.end())
            return std::nullopt;
        auto e = st->second.entries.find(index);
        if (e == st->second.entries.end())
            return std::nullopt;
        SmsRecord r;
        std::memset(&r, 0, sizeof r);
        std::memcpy(&r, e->second.data(), std::min(e->second.size(), sizeof r));
        return r;
    }
    std::string textAt(int32_t s, int32_t index) const
    {
        auto r = at(s, index);
        return r ? std::string(r->text, strnlen(r->text, sizeof r->text)) : std::string("<none>");
    }
    void resetItems() { items = 0; }
    // A phone book's entry as text (entries are kept as written).
    void putText(int32_t s, int32_t index, const std::string &text)
    {
        storages[s].entries[index].assign(text.begin(), text.end());
    }
    std::string entryText(int32_t s, int32_t index) const
    {
        auto st = storages.find(s);
        if (st == storages.end() || !st->second.entries.count(index))
            return "<none>";
        const std::vector<uint8_t> &b = st->second.entries.at(index);
        return std::string(b.begin(), b.end());
    }
    // Requests of one kind in the log ("del 1 3", "beginWrite 2 -1 1" ...).
    std::vector<std::string> logOf(const std::string &prefix) const
    {
        std::vector<std::string> out;
        for (const std::string &l : log)
            if (l.rfind(prefix, 0) == 0)
                out.push_back(l);
        return out;
    }

    // One item begins: the script may answer for it.
    std::optional<int32_t> item()
    {
        ++items;
        if (onItem)
            onItem(items);
        if (linkDownAt > 0 && items >= linkDownAt)
            linkDown = true;
        if (linkDown)
            return DV_E_CLOSED;
        if (auto it = itemAnswer.find(items); it != itemAnswer.end())
            return it->second;
        return std::nullopt;
    }
};

struct FakeSmsObject {
    SmsItf itf{};
    FakeStore *store = nullptr;
};
struct FakePbObject {
    PbItf itf{};
    FakeStore *store = nullptr;
    std::vector<TFieldParam> fields; // getFieldInfo's table
};

namespace detail {

inline FakeStore &of(StorItf *s)
{
    return *static_cast<FakeStore *>(static_cast<FakeStore **>(s->self)[0]);
}
inline int32_t setStor(StorItf *s, int32_t stor)
{
    FakeStore &f = of(s);
    f.note("setStor " + std::to_string(stor));
    if (f.linkDown)
        return DV_E_CLOSED;
    auto it = f.storages.find(stor);
    if (it == f.storages.end())
        return DV_E_UNSUPPORTED;
    if (it->second.setAnswer < 0)
        return it->second.setAnswer;
    f.current = stor;
    return 0;
}
inline int32_t getCaps(StorItf *s, int32_t *kind)
{
    FakeStore &f = of(s);
    f.note("getCaps " + std::to_string(f.current));
    *kind = f.storage(f.current).caps;
    return 0;
}
inline int32_t getStat(StorItf *s, int32_t, int32_t *total, int32_t *used, int32_t *first, int32_t *last)
{
    FakeStore &f = of(s);
    f.note("getStat " + std::to_string(f.current));
    if (f.linkDown)
        return DV_E_CLOSED;
    FakeStorage &st = f.storage(f.current);
    if (st.statAnswer < 0)
        return st.statAnswer;
    *total = st.last - st.first + 1;
    *used = st.reportUsed ? *st.reportUsed : static_cast<int32_t>(st.entries.size());
    *first = st.reportRange ? st.reportRange->first : st.first;
    *last = st.reportRange ? st.reportRange->second : st.last;
    return 0;
}
inline int32_t readNext(StorItf *s, int32_t, int32_t *index, int32_t first)
{
    FakeStore &f = of(s);
    f.note(std::string("readNext ") + (first ? "1" : "0"));
    if (f.linkDown)
        return DV_E_CLOSED;
    if (first) {
        f.listing.clear();
        for (const auto &[i, bytes] : f.storage(f.current).entries)
            if (!f.storage(f.current).undecodable.count(i))
                f.listing.push_back(i);
        f.cursor = 0;
    } else {
        ++f.cursor;
    }
    if (f.cursor >= f.listing.size())
        return DV_E_LISTEND;
    *index = f.listing[f.cursor];
    return 1;
}
inline int32_t readData(StorItf *s, void *buf, int32_t size)
{
    FakeStore &f = of(s);
    f.note("readData " + std::to_string(f.listing.at(f.cursor)));
    if (auto r = f.item())
        return *r;
    const std::vector<uint8_t> &bytes = f.storage(f.current).entries.at(f.listing.at(f.cursor));
    const int32_t n = std::min<int32_t>(size, static_cast<int32_t>(bytes.size()));
    std::memcpy(buf, bytes.data(), static_cast<size_t>(n));
    return n;
}
inline int32_t beginWrite(StorItf *s, int32_t, int32_t index, int32_t mode)
{
    FakeStore &f = of(s);
    f.note("beginWrite " + std::to_string(f.current) + " " + std::to_string(index) + " " +
                    std::to_string(mode));
    if (auto r = f.item())
        return *r;
    f.writeIndex = index;
    f.writeMode = mode;
    f.writeData.clear();
    return 0;
}
inline int32_t writeData(StorItf *s, const void *buf, int32_t len)
{
    FakeStore &f = of(s);
    f.note("writeData " + std::to_string(len));
    if (f.linkDown)
        return DV_E_CLOSED;
    const auto *b = static_cast<const uint8_t *>(buf);
    f.writeData.assign(b, b + len);
    return len;
}
// Messages (mode 1) go where the handset chooses: its first free index. Mode 0 overwrites.
inline int32_t commitWrite(StorItf *s, int32_t *index)
{
    FakeStore &f = of(s);
    if (f.linkDown) {
        f.note("commitWrite");
        return DV_E_CLOSED;
    }
    FakeStorage &st = f.storage(f.current);
    int32_t at = f.writeIndex;
    if (f.writeMode == 1) {
        at = -1;
        for (int32_t i = st.first; i <= st.last && at < 0; ++i)
            if (!st.entries.count(i))
                at = i;
    }
    f.note("commitWrite " + std::to_string(at));
    if (at < st.first || at > st.last)
        return f.fullAnswer;
    *index = at;
    if (!f.messages) {
        st.entries[at] = f.writeData;
        return 0;
    }
    SmsSendRec rec;
    std::memset(&rec, 0, sizeof rec);
    std::memcpy(&rec, f.writeData.data(), std::min(f.writeData.size(), sizeof rec));
    f.put(f.current, at,
          record(SMS_KIND_SUBMITTED, std::string(rec.number, strnlen(rec.number, sizeof rec.number)),
                 std::string(rec.text, strnlen(rec.text, sizeof rec.text))));
    *index = at;
    return 0;
}
inline int32_t del(StorItf *s, int32_t, int32_t index)
{
    FakeStore &f = of(s);
    f.note("del " + std::to_string(f.current) + " " + std::to_string(index));
    if (auto r = f.item())
        return *r;
    f.storage(f.current).entries.erase(index);
    return 0;
}
inline int32_t send(SmsItf *s, const SmsSendRec *rec)
{
    FakeStore &f = of(&s->stor);
    f.note("send");
    if (auto r = f.item())
        return *r;
    f.sent.push_back(*rec);
    return 0;
}
inline int32_t getFieldInfo(PbItf *p, const TFieldParam **table, int32_t *count)
{
    FakeStore &f = of(&p->stor);
    f.note("getFieldInfo");
    auto *o = reinterpret_cast<FakePbObject *>(reinterpret_cast<char *>(p->stor.self) - offsetof(FakePbObject, store));
    *table = o->fields.empty() ? nullptr : o->fields.data();
    *count = static_cast<int32_t>(o->fields.size());
    return 0;
}
inline int32_t zero(PbItf *)
{
    return 0;
}
inline int32_t notUsed()
{
    return DV_E_NOTIMPL;
}
template <class Fn> Fn notImpl()
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(notUsed));
}

} // namespace detail

inline void fillStor(StorItf &s, FakeStore **self)
{
    s.self = self;
    s.getStor = detail::notImpl<StorItf_getStorFn>();
    s.setStor = detail::setStor;
    s.getCaps = detail::getCaps;
    s.getStat = detail::getStat;
    s.readNext = detail::readNext;
    s.readData = detail::readData;
    s.readAt = detail::notImpl<StorItf_readAtFn>();
    s.readDataAgain = detail::notImpl<StorItf_readDataFn>();
    s.beginWrite = detail::beginWrite;
    s.writeData = detail::writeData;
    s.commitWrite = detail::commitWrite;
    s.del = detail::del;
    s.delAll = detail::notImpl<StorItf_delAllFn>();
}

inline std::unique_ptr<FakeSmsObject> makeSmsObject(FakeStore &store)
{
    auto o = std::make_unique<FakeSmsObject>();
    o->store = &store;
    fillStor(o->itf.stor, &o->store);
    o->itf.send = detail::send;
    o->itf.sendFromStor = detail::notImpl<SmsItf_sendFromStorFn>();
    o->itf.sendPdu = detail::notImpl<SmsItf_sendPduFn>();
    o->itf.setSca = detail::notImpl<SmsItf_setScaFn>();
    o->itf.getSca = detail::notImpl<SmsItf_getScaFn>();
    return o;
}

// A phone book over store (set store.messages = false and the storages' caps to MS_CAPS_PB).
inline std::unique_ptr<FakePbObject> makePbObject(FakeStore &store)
{
    auto o = std::make_unique<FakePbObject>();
    o->store = &store;
    fillStor(o->itf.stor, &o->store);
    o->itf.getFieldInfo = detail::getFieldInfo;
    o->itf.reserved15 = detail::zero;
    o->itf.reserved16 = detail::zero;
    o->itf.reserved17 = detail::notImpl<PbItf_reservedFn>();
    return o;
}

inline TFieldParam pbField(int32_t type, int32_t maxLen)
{
    TFieldParam f;
    std::memset(&f, 0, sizeof f);
    f.type = type;
    f.maxLen = maxLen;
    return f;
}

// The connection, the worker and the runner around the in-memory handset. Make it after
// fixctl_reset() (FakeHandset does that itself first).
class FakeHandset {
public:
    FakeHandset()
    {
        fixctl_reset();
        store.storages[1] = FakeStorage{1, 20};
        store.storages[2] = FakeStorage{1, 100};
        fixctl_setItf(MS_ITF_SMS, &object->itf);
        pbStore.messages = false;
        pbStore.storages[1] = FakeStorage{1, 250, MS_CAPS_PB};
        pbStore.storages[2] = FakeStorage{1, 500, MS_CAPS_PB};
        fixctl_setItf(MS_ITF_PB, &pbObject->itf);
        pbObject->fields = {pbField(3, 14), pbField(5, 40)};
        contactsStore.messages = false;
        contactsStore.storages[2] = FakeStorage{1, 200, MS_CAPS_PB};
        contactsObject->fields = {pbField(5, 40), pbField(3, 30), pbField(6, 60)};
        fixctl_setItf(MS_ITF_PB2, &contactsObject->itf);
        groupsStore.messages = false;
        groupsStore.storages[2] = FakeStorage{1, 10, MS_CAPS_PB};
        groupsObject->fields = {pbField(3, 20)};
        fixctl_setItf(MS_ITF_PB3, &groupsObject->itf);
        dir.addFixture("CtlAlpha.so");
        dir.addFixture("CtlAlphaPlug.plug");
        EXPECT_TRUE(core::ScanPlugins(tables.refs(), dir.root(), recorder));
        comm = std::make_unique<core::TCommMng>(messages, mainWindow,
                                                core::CommMngSetup{dir.root(), tables.snapshot(), [](int) {}});
        comm->SetParams(comm_test::selected("Alpha"), "Cable", "COM1", "9600");
        worker = std::make_unique<core::TCommThread>(*comm, commData, messages, mainWindow,
                                                     core::CommThreadSetup{&clock, [](int) {}});
        smsClt = std::make_unique<core::TSmsClt>(*worker);
        cardClt = std::make_unique<core::TCardClt>(*worker);
        contactsClt = std::make_unique<core::TCardClt>(*worker);
        groupsClt = std::make_unique<core::TCardClt>(*worker);
        runner = std::make_unique<content::WorkerBatchRunner>(*worker, commData, messages);
    }
    ~FakeHandset()
    {
        runner.reset();
        smsClt.reset();
        cardClt.reset();
        contactsClt.reset();
        groupsClt.reset();
        worker.reset();
        comm.reset();
        fixctl_reset();
    }

    void connect()
    {
        ASSERT_EQ(comm->Connect(), 0);
        smsClt->SetItf(MS_ITF_SMS, comm->currentSerial());
        cardClt->SetItf(MS_ITF_PB, comm->currentSerial());
        contactsClt->SetItf(MS_ITF_PB2, comm->currentSerial());
        groupsClt->SetItf(MS_ITF_PB3, comm->currentSerial());
        store.log.clear();
        pbStore.log.clear();
        contactsStore.log.clear();
        groupsStore.log.clear();
    }

    catalogue_test::ProgramDir dir;
    catalogue_test::Tables tables;
    catalogue_test::Recorder recorder;
    platform::RecordingWindowMessages messages;
    platform::WindowId mainWindow = messages.openWindow();
    platform::FakeClock clock{1000};
    FakeStore store;
    std::unique_ptr<FakeSmsObject> object = makeSmsObject(store);
    FakeStore pbStore; // phone book 12 (storages 1 "SM" 1..250, 2 "ME" 1..500), entries as written
    std::unique_ptr<FakePbObject> pbObject = makePbObject(pbStore);
    FakeStore contactsStore; // phone book 13: full contacts, storage 2 (1..200)
    std::unique_ptr<FakePbObject> contactsObject = makePbObject(contactsStore);
    FakeStore groupsStore; // phone book 14: groups, storage 2 (1..10)
    std::unique_ptr<FakePbObject> groupsObject = makePbObject(groupsStore);
    std::unique_ptr<core::TCommMng> comm;
    core::TdmCommData commData;
    std::unique_ptr<core::TCommThread> worker;
    std::unique_ptr<core::TSmsClt> smsClt;
    std::unique_ptr<core::TCardClt> cardClt;     // interface 12
    std::unique_ptr<core::TCardClt> contactsClt; // interface 13
    std::unique_ptr<core::TCardClt> groupsClt;   // interface 14
    std::unique_ptr<content::WorkerBatchRunner> runner;
};

} // namespace transfer_test
