/*
 * itf.h — how the driver's objects fill the numbered interfaces of ms_itf.h.
 *
 * Every interface object of the driver (OthInfo, OthSms, OthPb) begins with a PlItfHead and hands
 * out the address of its interface record, whose self word points back at the object. Before an
 * operation talks to the handset, the object is made current in the interface registry
 * (ItfMng_exec): that is when the handset is switched into PDU mode for messages or into a phone
 * book's character set, and it happens only when another object was used last.
 *
 * Which slots switch: all of InfoItf; of StorItf all but getCaps (3), readData (6), readDataAgain
 * (8), beginWrite (9) and writeData (10), which only touch the object's buffers or answer a
 * constant; all SmsItf slots 14-18; PbItf.getFieldInfo (14) but not the reserved slots 15-17.
 * The table builders below encode that rule once, so an object only writes its operations:
 *
 *     struct OthSmsOps { static int32_t getStor(StorItf *itf, int32_t *stor); ... };
 *     static constexpr SmsItf kSlots = pl::smsSlots<OthSmsOps>();
 *     obj->itf = kSlots; obj->itf.stor.self = obj;
 *
 * A slot built here never lets an exception out: it answers -51 instead. A failed switch answers
 * the registry's code (a link fault or an ERROR from the mode commands) without running the
 * operation. An object without a registry runs its operations without any switch.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef PL_ITF_H
#define PL_ITF_H

#include "dv_result.h"
#include "dv_util.h"
#include "ms_itf.h"
#include "pl_export.h"

PL_BEGIN_DECLS

/* The common head of the driver's interface objects, in this order. */
typedef struct PlItfHead {
    uint32_t magic;  /* the object's magic word; 0 once deleted */
    uint16_t owned;  /* 1 when the object's _new allocated it */
    ItfMng *mng;     /* interface registry, NULL for none */
    int32_t entry;   /* the object's registry index, -1 without a registry */
} PlItfHead;

/* Makes the object behind the interface pointer `itf` current in its registry. 0 when it already is
 * or has no registry; the registry's negative answer when the switch failed; -81 for a NULL
 * interface, an interface without an object or a deleted object (magic 0). */
int32_t PlItf_enter(const void *itf);

PL_END_DECLS

#ifdef __cplusplus

#include <unordered_set>

namespace pl {

template <auto Fn>
struct Slot;

// Wraps an operation `int32_t op(Itf *, Args...)` into the function a slot points to.
template <typename Itf, typename... Args, int32_t (*Fn)(Itf *, Args...)>
struct Slot<Fn> {
    // Makes the object current first; the operation runs only when that succeeded.
    static int32_t entered(Itf *itf, Args... args) noexcept {
        try {
            const int32_t rc = PlItf_enter(itf);
            if (rc < 0)
                return rc;
            return Fn(itf, args...);
        } catch (...) {
            return DV_E_FAIL;
        }
    }
    // Runs the operation as it is, for slots that never talk to the handset.
    static int32_t direct(Itf *itf, Args... args) noexcept {
        try {
            if (!itf)
                return DV_E_ARG;
            return Fn(itf, args...);
        } catch (...) {
            return DV_E_FAIL;
        }
    }
};

template <auto Fn>
inline constexpr auto entered = &Slot<Fn>::entered;
template <auto Fn>
inline constexpr auto direct = &Slot<Fn>::direct;

// PbItf slots 15 and 16 answer 0, slot 17 -94; none of them switches.
inline int32_t pbReservedZero(PbItf *) noexcept { return 0; }
inline int32_t pbReservedUnsupported(PbItf *) noexcept { return DV_E_UNSUPPORTED; }

// Ops: static int32_t getMan, getModel, getVer, getFirmVer, getImei, getImsi, getNum, getNetCode,
// getNetName, getBattery, getSignal, getClock, setClock, each taking InfoItf * first.
template <class Ops>
constexpr InfoItf infoSlots() {
    return InfoItf{nullptr,
                   entered<&Ops::getMan>,
                   entered<&Ops::getModel>,
                   entered<&Ops::getVer>,
                   entered<&Ops::getFirmVer>,
                   entered<&Ops::getImei>,
                   entered<&Ops::getImsi>,
                   entered<&Ops::getNum>,
                   entered<&Ops::getNetCode>,
                   entered<&Ops::getNetName>,
                   entered<&Ops::getBattery>,
                   entered<&Ops::getSignal>,
                   entered<&Ops::getClock>,
                   entered<&Ops::setClock>};
}

// Ops: the thirteen StorItf operations by their slot names, each taking StorItf * first.
template <class Ops>
constexpr StorItf storSlots() {
    return StorItf{nullptr,
                   entered<&Ops::getStor>,
                   entered<&Ops::setStor>,
                   direct<&Ops::getCaps>,
                   entered<&Ops::getStat>,
                   entered<&Ops::readNext>,
                   direct<&Ops::readData>,
                   entered<&Ops::readAt>,
                   direct<&Ops::readDataAgain>,
                   direct<&Ops::beginWrite>,
                   direct<&Ops::writeData>,
                   entered<&Ops::commitWrite>,
                   entered<&Ops::del>,
                   entered<&Ops::delAll>};
}

// Ops: the StorItf operations, then send, sendFromStor, sendPdu, setSca, getSca (SmsItf * first).
template <class Ops>
constexpr SmsItf smsSlots() {
    return SmsItf{storSlots<Ops>(),
                  entered<&Ops::send>,
                  entered<&Ops::sendFromStor>,
                  entered<&Ops::sendPdu>,
                  entered<&Ops::setSca>,
                  entered<&Ops::getSca>};
}

// Ops: the StorItf operations, then getFieldInfo (PbItf * first); the reserved slots are fixed.
template <class Ops>
constexpr PbItf pbSlots() {
    return PbItf{storSlots<Ops>(), entered<&Ops::getFieldInfo>, pbReservedZero, pbReservedZero,
                 pbReservedUnsupported};
}

// The object behind an interface pointer (the self word), as its own type.
template <class Obj>
inline Obj *self(const void *itf) noexcept {
    return itf ? *static_cast<Obj *const *>(itf) : nullptr;
}

// The objects of one kind that its _new made and its _delete has not yet released: a delete looks
// here before it reads the record, so a second delete never reads freed memory. Objects are made
// and deleted from one thread at a time.
template <class Obj>
class LiveObjects {
  public:
    // false when the table could not grow (the object must then be given up)
    static bool add(const Obj *o) noexcept {
        try {
            table().insert(o);
            return true;
        } catch (...) {
            return false;
        }
    }
    // true when o was live; it no longer is
    static bool remove(const Obj *o) noexcept { return table().erase(o) > 0; }
    static bool has(const Obj *o) noexcept { return table().count(o) > 0; }

  private:
    static std::unordered_set<const Obj *> &table() noexcept {
        static std::unordered_set<const Obj *> live;
        return live;
    }
};

} // namespace pl

#endif

#endif
