// Scriptable driver interfaces for the worker tests: a message store (SmsItf) and a phone book (PbItf),
// handed out by the Ctl fixture plug-in in place of its own
// (fixctl_setItf), so the worker drives them through the real connection manager; the plug-in's
// own information interface stays (fixctl steers its IMEI and battery). Each call is
// logged; answers can be set per operation.
#pragma once

#include "ms_itf.h"

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace worker_test {

struct FakeStore {
    struct Storage {
        int32_t setAnswer = 0;  // setStor's answer
        int32_t total = 10;
        int32_t used = -2;      // -2: the number of entries; other values as given
        int32_t statAnswer = 0;
        std::vector<std::pair<int32_t, std::string>> entries; // index, bytes
        int32_t endAnswer = 0;  // readNext at the end of the listing
    };

    int32_t kind = MS_CAPS_PB;
    std::map<int32_t, Storage> storages;
    int32_t current = 0;
    size_t cursor = 0;
    std::map<int32_t, int32_t> failRead; // index -> readData's answer
    int32_t readClaim = 0;               // > 0: readData answers this count whatever the buffer
    int32_t writeAnswer = -1;            // >= 0: writeData answers this (else the length)
    std::vector<int32_t> opAnswers;      // answers of beginWrite / del / send, in turn (then 0)
    int32_t nextIndex = 100;             // commitWrite's position
    std::vector<std::vector<uint8_t>> written;
    std::vector<SmsSendRec> sent;
    std::vector<TFieldParam> *fields = nullptr; // getFieldInfo's table (the test owns it)
    int32_t slot15 = 7;
    std::function<void(const std::string &)> onCall; // after the log line
    std::vector<std::string> log;

    void call(const std::string &what)
    {
        log.push_back(what);
        if (onCall)
            onCall(what);
    }
    int32_t nextOp()
    {
        if (opAnswers.empty())
            return 0;
        const int32_t r = opAnswers.front();
        opAnswers.erase(opAnswers.begin());
        return r;
    }
};

// The interface objects: each has the driver's layout with a pointer back to its FakeStore.
struct FakeSms {
    SmsItf itf{};
    FakeStore *store = nullptr;
};
struct FakePb {
    PbItf itf{};
    FakeStore *store = nullptr;
};

namespace detail {

// StorItf is the head of both FakeSms and FakePb, so the back pointer sits at a fixed place after it.
inline FakeStore &of(StorItf *s)
{
    return *static_cast<FakeStore *>(static_cast<FakeStore **>(s->self)[0]);
}

inline int32_t setStor(StorItf *s, int32_t stor)
{
    FakeStore &f = of(s);
    f.call("setStor " + std::to_string(stor));
    auto it = f.storages.find(stor);
    if (it == f.storages.end())
        return -94;
    if (it->second.setAnswer < 0)
        return it->second.setAnswer;
    f.current = stor;
    return 0;
}
inline int32_t getCaps(StorItf *s, int32_t *kind)
{
    FakeStore &f = of(s);
    f.call("getCaps");
    *kind = f.kind;
    return 0;
}
inline int32_t getStat(StorItf *s, int32_t, int32_t *total, int32_t *used, int32_t *first, int32_t *last)
{
    FakeStore &f = of(s);
    f.call("getStat");
    FakeStore::Storage &st = f.storages[f.current];
    if (st.statAnswer < 0)
        return st.statAnswer;
    *total = st.total;
    *used = st.used == -2 ? static_cast<int32_t>(st.entries.size()) : st.used;
    *first = 1;
    *last = st.total;
    return 0;
}
inline int32_t readNext(StorItf *s, int32_t, int32_t *index, int32_t first)
{
    FakeStore &f = of(s);
    f.call(first ? "readNext 1" : "readNext 0");
    FakeStore::Storage &st = f.storages[f.current];
    f.cursor = first ? 0 : f.cursor + 1;
    if (f.cursor >= st.entries.size())
        return st.endAnswer;
    *index = st.entries[f.cursor].first;
    return 1;
}
inline int32_t readData(StorItf *s, void *buf, int32_t size)
{
    FakeStore &f = of(s);
    f.call("readData " + std::to_string(size));
    FakeStore::Storage &st = f.storages[f.current];
    const auto &[index, bytes] = st.entries.at(f.cursor);
    if (auto it = f.failRead.find(index); it != f.failRead.end())
        return it->second;
    const int32_t n = std::min<int32_t>(size, static_cast<int32_t>(bytes.size()));
    std::memcpy(buf, bytes.data(), static_cast<size_t>(n));
    return f.readClaim > 0 ? f.readClaim : n;
}
inline int32_t beginWrite(StorItf *s, int32_t, int32_t index, int32_t mode)
{
    FakeStore &f = of(s);
    f.call("beginWrite " + std::to_string(index) + " " + std::to_string(mode));
    return f.nextOp();
}
inline int32_t writeData(StorItf *s, const void *buf, int32_t len)
{
    FakeStore &f = of(s);
    f.call("writeData " + std::to_string(len));
    const auto *b = static_cast<const uint8_t *>(buf);
    f.written.emplace_back(b, b + len);
    return f.writeAnswer >= 0 ? f.writeAnswer : len;
}
inline int32_t commitWrite(StorItf *s, int32_t *index)
{
    FakeStore &f = of(s);
    f.call("commitWrite");
    *index = f.nextIndex++;
    return 0;
}
inline int32_t del(StorItf *s, int32_t, int32_t index)
{
    FakeStore &f = of(s);
    f.call("del " + std::to_string(index));
    return f.nextOp();
}
inline int32_t notUsed()
{
    return -95;
}
inline int32_t send(SmsItf *s, const SmsSendRec *rec)
{
    FakeStore &f = of(&s->stor);
    f.call("send");
    f.sent.push_back(*rec);
    return f.nextOp();
}
inline int32_t getFieldInfo(PbItf *p, const TFieldParam **table, int32_t *count)
{
    FakeStore &f = of(&p->stor);
    f.call("getFieldInfo");
    *table = f.fields ? f.fields->data() : nullptr;
    *count = f.fields ? static_cast<int32_t>(f.fields->size()) : 0;
    return 0;
}
inline int32_t reserved15(PbItf *p)
{
    FakeStore &f = of(&p->stor);
    f.call("slot15");
    return f.slot15;
}
template <class Fn> Fn notImpl()
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(notUsed));
}

inline void fill(StorItf &s, void *self)
{
    s.self = self;
    s.getStor = notImpl<StorItf_getStorFn>();
    s.setStor = setStor;
    s.getCaps = getCaps;
    s.getStat = getStat;
    s.readNext = readNext;
    s.readData = readData;
    s.readAt = notImpl<StorItf_readAtFn>();
    s.readDataAgain = notImpl<StorItf_readDataFn>();
    s.beginWrite = beginWrite;
    s.writeData = writeData;
    s.commitWrite = commitWrite;
    s.del = del;
    s.delAll = notImpl<StorItf_delAllFn>();
}

} // namespace detail

// self points at the object's `store` member, which is how the operations find their FakeStore.
inline std::unique_ptr<FakeSms> makeSms(FakeStore &store)
{
    auto o = std::make_unique<FakeSms>();
    o->store = &store;
    detail::fill(o->itf.stor, &o->store);
    o->itf.send = detail::send;
    o->itf.sendFromStor = detail::notImpl<SmsItf_sendFromStorFn>();
    o->itf.sendPdu = detail::notImpl<SmsItf_sendPduFn>();
    o->itf.setSca = detail::notImpl<SmsItf_setScaFn>();
    o->itf.getSca = detail::notImpl<SmsItf_getScaFn>();
    return o;
}

inline std::unique_ptr<FakePb> makePb(FakeStore &store)
{
    auto o = std::make_unique<FakePb>();
    o->store = &store;
    detail::fill(o->itf.stor, &o->store);
    o->itf.getFieldInfo = detail::getFieldInfo;
    o->itf.reserved15 = detail::reserved15;
    o->itf.reserved16 = detail::notImpl<PbItf_reservedFn>();
    o->itf.reserved17 = detail::notImpl<PbItf_reservedFn>();
    return o;
}

} // namespace worker_test
