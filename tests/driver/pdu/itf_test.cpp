// The driver interfaces: slot layout as the program and plug-ins see it, and which slots make their
// object current in the interface registry (switching the handset's mode) before they run.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

#include "dv_result.h"
#include "dv_util.h"
#include "itf.h"

namespace {

// ---- Layout: a self word, then slot k at k pointers ----

constexpr size_t kPtr = sizeof(void *);
static_assert(offsetof(StorItf, self) == 0);
static_assert(offsetof(StorItf, getStor) == 1 * kPtr);
static_assert(offsetof(StorItf, getCaps) == 3 * kPtr);
static_assert(offsetof(StorItf, readData) == 6 * kPtr);
static_assert(offsetof(StorItf, readDataAgain) == 8 * kPtr);
static_assert(offsetof(StorItf, delAll) == 13 * kPtr);
static_assert(offsetof(SmsItf, stor) == 0);
static_assert(offsetof(SmsItf, send) == 14 * kPtr);
static_assert(offsetof(SmsItf, getSca) == 18 * kPtr);
static_assert(offsetof(PbItf, getFieldInfo) == 14 * kPtr);
static_assert(offsetof(PbItf, reserved17) == 17 * kPtr);
static_assert(offsetof(InfoItf, getMan) == 1 * kPtr);
static_assert(offsetof(InfoItf, getBattery) == 10 * kPtr);
static_assert(offsetof(InfoItf, setClock) == 13 * kPtr);

// ---- A fake object whose operations record what the registry looked like when they ran ----

struct Probe {
    ItfMng *mng = nullptr;
    int slot = 0;             // the operation that ran last
    int32_t currentAtRun = -2; // ItfMng_current when it ran
    bool throwNext = false;
};
Probe g_probe;

int32_t ran(int slot) {
    g_probe.slot = slot;
    g_probe.currentAtRun = ItfMng_current(g_probe.mng);
    if (g_probe.throwNext)
        throw std::runtime_error("operation failed");
    return 100 + slot;
}

struct FakeOps {
    // StorItf
    static int32_t getStor(StorItf *, int32_t *) { return ran(1); }
    static int32_t setStor(StorItf *, int32_t) { return ran(2); }
    static int32_t getCaps(StorItf *, int32_t *) { return ran(3); }
    static int32_t getStat(StorItf *, int32_t, int32_t *, int32_t *, int32_t *, int32_t *) { return ran(4); }
    static int32_t readNext(StorItf *, int32_t, int32_t *, int32_t) { return ran(5); }
    static int32_t readData(StorItf *, void *, int32_t) { return ran(6); }
    static int32_t readAt(StorItf *, int32_t, int32_t) { return ran(7); }
    static int32_t readDataAgain(StorItf *, void *, int32_t) { return ran(8); }
    static int32_t beginWrite(StorItf *, int32_t, int32_t, int32_t) { return ran(9); }
    static int32_t writeData(StorItf *, const void *, int32_t) { return ran(10); }
    static int32_t commitWrite(StorItf *, int32_t *) { return ran(11); }
    static int32_t del(StorItf *, int32_t, int32_t) { return ran(12); }
    static int32_t delAll(StorItf *) { return ran(13); }
    // SmsItf
    static int32_t send(SmsItf *, const SmsSendRec *) { return ran(14); }
    static int32_t sendFromStor(SmsItf *, int32_t) { return ran(15); }
    static int32_t sendPdu(SmsItf *, const SmsPduRec *, const char *) { return ran(16); }
    static int32_t setSca(SmsItf *, const char *) { return ran(17); }
    static int32_t getSca(SmsItf *, char *, int32_t) { return ran(18); }
    // PbItf
    static int32_t getFieldInfo(PbItf *, const TFieldParam **, int32_t *) { return ran(14); }
    // InfoItf
    static int32_t getMan(InfoItf *, char *, int32_t) { return ran(1); }
    static int32_t getModel(InfoItf *, char *, int32_t, char *, int32_t) { return ran(2); }
    static int32_t getVer(InfoItf *, char *, int32_t) { return ran(3); }
    static int32_t getFirmVer(InfoItf *, char *, int32_t) { return ran(4); }
    static int32_t getImei(InfoItf *, char *, int32_t) { return ran(5); }
    static int32_t getImsi(InfoItf *, char *, int32_t) { return ran(6); }
    static int32_t getNum(InfoItf *, char *, int32_t) { return ran(7); }
    static int32_t getNetCode(InfoItf *, char *, int32_t) { return ran(8); }
    static int32_t getNetName(InfoItf *, char *, int32_t) { return ran(9); }
    static int32_t getBattery(InfoItf *, int32_t *) { return ran(10); }
    static int32_t getSignal(InfoItf *, int32_t *) { return ran(11); }
    static int32_t getClock(InfoItf *, PhoneTime *) { return ran(12); }
    static int32_t setClock(InfoItf *, const PhoneTime *) { return ran(13); }
};

constexpr SmsItf kSmsSlots = pl::smsSlots<FakeOps>();
constexpr PbItf kPbSlots = pl::pbSlots<FakeOps>();
constexpr InfoItf kInfoSlots = pl::infoSlots<FakeOps>();

template <class Itf>
struct FakeObj {
    PlItfHead head;
    Itf itf;
};

// Slot k of an interface, called through the record as the worker and the program call it.
using SlotCall = std::function<int32_t(void *itf)>;

std::vector<SlotCall> storCalls() {
    static int32_t v;
    static char buf[8];
    return {
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->getStor(s, &v); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->setStor(s, 1); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->getCaps(s, &v); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->getStat(s, 0, &v, &v, &v, &v); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->readNext(s, 0, &v, 1); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->readData(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->readAt(s, 0, 1); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->readDataAgain(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->beginWrite(s, 0, -1, 1); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->writeData(s, buf, 1); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->commitWrite(s, &v); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->del(s, 0, 1); },
        [](void *i) { auto *s = static_cast<StorItf *>(i); return s->delAll(s); },
    };
}

std::vector<SlotCall> smsCalls() {
    static SmsSendRec msg;
    static SmsPduRec pdu;
    static char buf[8];
    std::vector<SlotCall> calls = storCalls();
    calls.push_back([](void *i) { auto *s = static_cast<SmsItf *>(i); return s->send(s, &msg); });
    calls.push_back([](void *i) { auto *s = static_cast<SmsItf *>(i); return s->sendFromStor(s, 1); });
    calls.push_back([](void *i) { auto *s = static_cast<SmsItf *>(i); return s->sendPdu(s, &pdu, nullptr); });
    calls.push_back([](void *i) { auto *s = static_cast<SmsItf *>(i); return s->setSca(s, "+1"); });
    calls.push_back([](void *i) { auto *s = static_cast<SmsItf *>(i); return s->getSca(s, buf, sizeof buf); });
    return calls;
}

std::vector<SlotCall> pbCalls() {
    static const TFieldParam *table;
    static int32_t count;
    std::vector<SlotCall> calls = storCalls();
    calls.push_back([](void *i) { auto *p = static_cast<PbItf *>(i); return p->getFieldInfo(p, &table, &count); });
    calls.push_back([](void *i) { auto *p = static_cast<PbItf *>(i); return p->reserved15(p); });
    calls.push_back([](void *i) { auto *p = static_cast<PbItf *>(i); return p->reserved16(p); });
    calls.push_back([](void *i) { auto *p = static_cast<PbItf *>(i); return p->reserved17(p); });
    return calls;
}

std::vector<SlotCall> infoCalls() {
    static char buf[8];
    static int32_t v;
    static PhoneTime t;
    return {
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getMan(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getModel(s, buf, sizeof buf, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getVer(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getFirmVer(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getImei(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getImsi(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getNum(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getNetCode(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getNetName(s, buf, sizeof buf); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getBattery(s, &v); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getSignal(s, &v); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->getClock(s, &t); },
        [](void *i) { auto *s = static_cast<InfoItf *>(i); return s->setClock(s, &t); },
    };
}

// What a slot does: switch first, run without switching, or answer a fixed code without running.
enum class Kind { Enter, Direct, Fixed };
struct Expect {
    Kind kind;
    int32_t fixed; // the answer of a Fixed slot
};
constexpr Expect E{Kind::Enter, 0};
constexpr Expect D{Kind::Direct, 0};

// Slots 3, 6, 8, 9 and 10 only read or fill the object's own buffers, or answer a constant.
const std::vector<Expect> kSmsExpect = {E, E, D, E, E, D, E, D, D, D, E, E, E, E, E, E, E, E};
const std::vector<Expect> kPbExpect = {E, E, D, E, E, D, E, D, D, D, E, E, E,
                                       E, {Kind::Fixed, 0}, {Kind::Fixed, 0}, {Kind::Fixed, DV_E_UNSUPPORTED}};
const std::vector<Expect> kInfoExpect(13, E);

int32_t g_enters = 0;
int32_t g_enterResult = 0;
int32_t countEnter(void *) {
    ++g_enters;
    return g_enterResult;
}

class ItfSlots : public ::testing::Test {
protected:
    void SetUp() override {
        mng_ = ItfMng_new(4);
        ASSERT_NE(mng_, nullptr);
        g_probe = Probe{};
        g_probe.mng = mng_;
        g_enters = 0;
        g_enterResult = 0;
        other_ = ItfMng_reg(mng_, &otherUser_, nullptr, nullptr);
        ASSERT_GE(other_, 0);
    }
    void TearDown() override { ItfMng_delete(mng_); }

    template <class Itf>
    void bind(FakeObj<Itf> &obj, const Itf &slots, bool withRegistry = true) {
        obj.itf = slots;
        *reinterpret_cast<void **>(&obj.itf) = &obj;
        obj.head.magic = 0x5EEDF00D;
        obj.head.owned = 0;
        obj.head.mng = withRegistry ? mng_ : nullptr;
        obj.head.entry = withRegistry ? ItfMng_reg(mng_, &obj, countEnter, nullptr) : -1;
    }

    // Calls every slot with another object current and checks the switch and the answer.
    void checkSlots(void *itf, int32_t entry, const std::vector<SlotCall> &calls, const std::vector<Expect> &expect) {
        ASSERT_EQ(calls.size(), expect.size());
        for (size_t k = 0; k < calls.size(); ++k) {
            const int slot = static_cast<int>(k) + 1;
            ASSERT_EQ(ItfMng_exec(mng_, other_), 0);
            const int32_t enters = g_enters;
            g_probe.slot = 0;
            const int32_t rc = calls[k](itf);
            switch (expect[k].kind) {
            case Kind::Enter:
                EXPECT_EQ(rc, 100 + slot) << "slot " << slot;
                EXPECT_EQ(g_probe.currentAtRun, entry) << "slot " << slot << " ran before the switch";
                EXPECT_EQ(g_enters, enters + 1) << "slot " << slot;
                break;
            case Kind::Direct:
                EXPECT_EQ(rc, 100 + slot) << "slot " << slot;
                EXPECT_EQ(ItfMng_current(mng_), other_) << "slot " << slot << " switched the handset";
                EXPECT_EQ(g_enters, enters) << "slot " << slot;
                break;
            case Kind::Fixed:
                EXPECT_EQ(rc, expect[k].fixed) << "slot " << slot;
                EXPECT_EQ(g_probe.slot, 0) << "slot " << slot;
                EXPECT_EQ(ItfMng_current(mng_), other_) << "slot " << slot;
                break;
            }
        }
    }

    ItfMng *mng_ = nullptr;
    int otherUser_ = 0;
    int32_t other_ = -1;
};

TEST_F(ItfSlots, SmsSlotsSwitchWhereTheyTalkToTheHandset) {
    FakeObj<SmsItf> obj;
    bind(obj, kSmsSlots);
    checkSlots(&obj.itf, obj.head.entry, smsCalls(), kSmsExpect);
}

TEST_F(ItfSlots, PbSlotsSwitchWhereTheyTalkToTheHandset) {
    FakeObj<PbItf> obj;
    bind(obj, kPbSlots);
    checkSlots(&obj.itf, obj.head.entry, pbCalls(), kPbExpect);
}

TEST_F(ItfSlots, EveryInfoSlotSwitches) {
    FakeObj<InfoItf> obj;
    bind(obj, kInfoSlots);
    checkSlots(&obj.itf, obj.head.entry, infoCalls(), kInfoExpect);
}

// Once current, further operations send no mode commands.
TEST_F(ItfSlots, NoSwitchWhenAlreadyCurrent) {
    FakeObj<SmsItf> obj;
    bind(obj, kSmsSlots);
    const auto calls = smsCalls();
    EXPECT_EQ(calls[0](&obj.itf), 101);
    EXPECT_EQ(calls[4](&obj.itf), 105);
    EXPECT_EQ(calls[13](&obj.itf), 114);
    EXPECT_EQ(g_enters, 1);
}

// A failed switch (the handset refused "+CMGF=0", the link dropped) is the answer, and the
// operation does not run in the wrong mode; slots that do not switch are unaffected.
TEST_F(ItfSlots, FailedSwitchStopsTheOperation) {
    FakeObj<SmsItf> obj;
    bind(obj, kSmsSlots);
    g_enterResult = DV_E_TIMEOUT;
    const auto calls = smsCalls();
    for (size_t k = 0; k < calls.size(); ++k) {
        ASSERT_EQ(ItfMng_exec(mng_, other_), 0);
        g_probe.slot = 0;
        const int32_t rc = calls[k](&obj.itf);
        if (kSmsExpect[k].kind == Kind::Enter) {
            EXPECT_EQ(rc, DV_E_TIMEOUT) << "slot " << k + 1;
            EXPECT_EQ(g_probe.slot, 0) << "slot " << k + 1;
        } else {
            EXPECT_EQ(rc, static_cast<int32_t>(101 + k)) << "slot " << k + 1;
        }
    }
}

// An object created without a registry runs every operation without any mode switch.
TEST_F(ItfSlots, WithoutRegistryNoSwitch) {
    FakeObj<SmsItf> obj;
    bind(obj, kSmsSlots, false);
    ASSERT_EQ(ItfMng_exec(mng_, other_), 0);
    const auto calls = smsCalls();
    for (size_t k = 0; k < calls.size(); ++k)
        EXPECT_EQ(calls[k](&obj.itf), static_cast<int32_t>(101 + k)) << "slot " << k + 1;
    EXPECT_EQ(g_enters, 0);
    EXPECT_EQ(ItfMng_current(mng_), other_);
}

// No exception crosses the interface: the slot answers -51.
TEST_F(ItfSlots, ExceptionBecomesFailure) {
    FakeObj<PbItf> obj;
    bind(obj, kPbSlots);
    const auto calls = pbCalls();
    g_probe.throwNext = true;
    EXPECT_EQ(calls[0](&obj.itf), DV_E_FAIL);  // a switching slot
    EXPECT_EQ(calls[5](&obj.itf), DV_E_FAIL);  // a direct slot
    EXPECT_EQ(calls[13](&obj.itf), DV_E_FAIL); // getFieldInfo
}

TEST_F(ItfSlots, DeletedObjectRefused) {
    FakeObj<SmsItf> obj;
    bind(obj, kSmsSlots);
    obj.head.magic = 0;
    g_probe.slot = 0;
    EXPECT_EQ(smsCalls()[1](&obj.itf), DV_E_ARG);
    EXPECT_EQ(g_probe.slot, 0);
    EXPECT_EQ(g_enters, 0);
    EXPECT_EQ(PlItf_enter(nullptr), DV_E_ARG);
}

// The worker drives short messages and phone books through the same StorItf pointer.
TEST_F(ItfSlots, SmsAndPbShareTheStorageHead) {
    FakeObj<SmsItf> sms;
    FakeObj<PbItf> pb;
    bind(sms, kSmsSlots);
    bind(pb, kPbSlots);
    for (void *itf : {static_cast<void *>(&sms.itf), static_cast<void *>(&pb.itf)}) {
        auto *stor = static_cast<StorItf *>(itf);
        int32_t index = 0;
        EXPECT_EQ(stor->readNext(stor, 0, &index, 1), 105);
        EXPECT_EQ(pl::self<FakeObj<SmsItf>>(stor), itf == &sms.itf ? static_cast<void *>(&sms) : &pb);
    }
    EXPECT_EQ(g_enters, 2);
}

} // namespace
