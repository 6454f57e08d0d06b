// OthSms: the short-message interface (SmsItf) of the generic driver over the PDU-mode AT layer.

#include "oth_sms.h"

#include <cstdlib>
#include <cstring>

#include "dv_result.h"
#include "dv_util.h"
#include "sms_pdu.h"

namespace {

OthSms *objOf(const void *itf) { return pl::self<OthSms>(itf); }

// The destination and the service centre of a message are checked before anything is sent: a
// number with letters would go out as an alphanumeric address, "" or "+" to nobody.
int32_t checkAddresses(const char *number, size_t numberSize, const char *sca) {
    if (SmsAt_checkNumber(number, numberSize) < 0)
        return DV_E_ARG;
    if (sca && sca[0] && SmsAt_checkSca(sca, SMS_AT_SCA_MAX_SEND) < 0)
        return DV_E_ARG;
    return 0;
}

// The slots that do not switch modes check the object themselves (the others are checked by the
// registry switch in front of them).
OthSms *liveObj(const void *itf) {
    OthSms *o = objOf(itf);
    return o && o->head.magic == OTH_SMS_MAGIC ? o : nullptr;
}

// The registry's enter routine: phase-2 message service and PDU mode (27.005 +CSMS=0, +CMGF=0).
int32_t enterPduMode(void *user) noexcept {
    try {
        return SmsAt_enter(static_cast<OthSms *>(user)->at);
    } catch (...) {
        return DV_E_FAIL;
    }
}

// A message record with its texts cut to their fields, whatever the caller wrote into them.
SmsSendRec terminated(const SmsSendRec &in) {
    SmsSendRec msg = in;
    msg.number[sizeof msg.number - 1] = '\0';
    msg.text[sizeof msg.text - 1] = '\0';
    msg.sca[sizeof msg.sca - 1] = '\0';
    return msg;
}

// Encodes msg as a SUBMIT into the object's PDU buffer: the TPDU length, or -251.
int32_t encodeSendRec(OthSms *o, const SmsSendRec &msg) {
    const int32_t n = SmsPdu_encodeSendRec(&msg, o->pdu, sizeof o->pdu);
    return n <= 0 ? DV_E_TOOLONG : n;
}

struct OthSmsOps {
    // ---- StorItf ----
    static int32_t getStor(StorItf *itf, int32_t *stor) {
        OthSms *o = objOf(itf);
        int32_t s = 0;
        const int32_t r = SmsAt_getStor(o->at, &s, nullptr, nullptr);
        if (r == 0 && stor)
            *stor = s;
        return r;
    }

    static int32_t setStor(StorItf *itf, int32_t stor) { return SmsAt_setStor(objOf(itf)->at, stor); }

    static int32_t getCaps(StorItf *, int32_t *kind) {
        if (kind)
            *kind = MS_CAPS_SMS;
        return 0;
    }

    static int32_t getStat(StorItf *itf, int32_t, int32_t *total, int32_t *used, int32_t *first, int32_t *last) {
        OthSms *o = objOf(itf);
        int32_t u = 0, t = 0;
        const int32_t r = SmsAt_getStor(o->at, nullptr, &u, &t);
        if (r < 0)
            return r;
        if (total)
            *total = t;
        if (used)
            *used = u;
        if (first)
            *first = 1;
        if (last)
            *last = t > 0 ? t : -1;
        return 0;
    }

    static int32_t readNext(StorItf *itf, int32_t, int32_t *index, int32_t first) {
        OthSms *o = objOf(itf);
        o->hasEntry = 0;
        int32_t idx = -1;
        const int32_t r = SmsAt_readNext(o->at, first, o->pdu, &o->rec, &idx);
        if (r != 1)
            return r;
        AbsFileMem_reset(o->rd, &o->rec, sizeof o->rec, sizeof o->rec, 0);
        o->hasEntry = 1;
        if (index)
            *index = idx;
        return 1;
    }

    static int32_t readData(StorItf *itf, void *buf, int32_t size) {
        OthSms *o = liveObj(itf);
        if (!o)
            return DV_E_ARG;
        if (!o->hasEntry)
            return DV_E_STATE;
        if (!buf)
            return DV_E_ARG;
        if (size <= 0)
            return 0;
        return AbsFile_read(o->rd, buf, size);
    }

    static int32_t readAt(StorItf *, int32_t, int32_t) { return DV_E_UNSUPPORTED; }
    static int32_t readDataAgain(StorItf *, void *, int32_t) { return DV_E_UNSUPPORTED; }

    static int32_t beginWrite(StorItf *itf, int32_t, int32_t, int32_t mode) {
        OthSms *o = liveObj(itf);
        if (!o)
            return DV_E_ARG;
        if (mode != MS_WRITE_SMS)
            return DV_E_UNSUPPORTED;
        // A short write must not leave parts of the previous message behind.
        std::memset(o->sendBuf, 0, sizeof o->sendBuf);
        AbsFileMem_reset(o->wr, o->sendBuf, sizeof o->sendBuf, 0, 0);
        o->writing = 1;
        return 0;
    }

    static int32_t writeData(StorItf *itf, const void *buf, int32_t len) {
        OthSms *o = liveObj(itf);
        if (!o)
            return DV_E_ARG;
        if (len <= 0)
            return 0;
        if (!o->writing)
            return DV_E_STATE;
        if (!buf)
            return DV_E_ARG;
        const int32_t n = AbsFile_write(o->wr, buf, len);
        return n == len ? len : DV_E_ARG;
    }

    static int32_t commitWrite(StorItf *itf, int32_t *index) {
        OthSms *o = objOf(itf);
        if (index)
            *index = -1;
        if (!o->writing)
            return DV_E_STATE;
        o->writing = 0;
        SmsSendRec raw;
        std::memcpy(&raw, o->sendBuf, sizeof raw);
        const SmsSendRec msg = terminated(raw);
        if (checkAddresses(msg.number, sizeof msg.number, msg.sca) < 0)
            return DV_E_ARG;
        const int32_t n = encodeSendRec(o, msg);
        if (n < 0)
            return n;
        // 27.005 <stat> 2: stored unsent.
        return SmsAt_sendPdu(o->at, o->pdu, n, msg.sca, 1, 2, index);
    }

    static int32_t del(StorItf *itf, int32_t, int32_t index) { return SmsAt_del(objOf(itf)->at, index); }
    static int32_t delAll(StorItf *itf) { return SmsAt_delAll(objOf(itf)->at); }

    // ---- SmsItf ----
    static int32_t send(SmsItf *itf, const SmsSendRec *msg) {
        OthSms *o = objOf(itf);
        if (!msg)
            return DV_E_ARG;
        const SmsSendRec copy = terminated(*msg);
        if (checkAddresses(copy.number, sizeof copy.number, copy.sca) < 0)
            return DV_E_ARG;
        const int32_t n = encodeSendRec(o, copy);
        if (n < 0)
            return n;
        return SmsAt_sendPdu(o->at, o->pdu, n, copy.sca, 0, 0, nullptr);
    }

    static int32_t sendFromStor(SmsItf *itf, int32_t index) { return SmsAt_sendFromStor(objOf(itf)->at, index); }

    static int32_t sendPdu(SmsItf *itf, const SmsPduRec *submit, const char *sca) {
        OthSms *o = objOf(itf);
        if (!submit || checkAddresses(submit->address, sizeof submit->address, sca) < 0)
            return DV_E_ARG;
        const int32_t n = SmsPdu_encodeSubmit(submit, o->pdu, sizeof o->pdu);
        if (n <= 0)
            return DV_E_TOOLONG;
        return SmsAt_sendPdu(o->at, o->pdu, n, sca, 0, 0, nullptr);
    }

    static int32_t setSca(SmsItf *itf, const char *sca) { return SmsAt_setSca(objOf(itf)->at, sca); }
    static int32_t getSca(SmsItf *itf, char *buf, int32_t size) { return SmsAt_getSca(objOf(itf)->at, buf, size); }
};

constexpr SmsItf kSlots = pl::smsSlots<OthSmsOps>();

} // namespace

extern "C" {

PL_API OthSms *OthSms_new(void *buffer, ItfMng *mng, AtTe *te) {
    if (!te)
        return nullptr;
    auto *o = static_cast<OthSms *>(buffer ? buffer : std::malloc(sizeof(OthSms)));
    if (!o)
        return nullptr;
    std::memset(o, 0, sizeof *o);
    o->head.magic = OTH_SMS_MAGIC;
    o->head.owned = buffer ? 0 : 1;
    o->head.mng = nullptr;
    o->head.entry = -1;
    o->itf = kSlots;
    o->itf.stor.self = o;
    o->te = te;
    o->at = SmsAt_new(te);
    o->wr = AbsFileMem_new(nullptr, 0, 0, 0);
    o->rd = AbsFileMem_new(nullptr, 0, 0, 0);
    if (!pl::LiveObjects<OthSms>::add(o)) {
        SmsAt_delete(o->at);
        AbsFileMem_delete(o->wr);
        AbsFileMem_delete(o->rd);
        o->head.magic = 0;
        if (!buffer)
            std::free(o);
        return nullptr;
    }
    bool ok = o->at && o->wr && o->rd;
    if (ok && mng) {
        const int32_t entry = ItfMng_reg(mng, o, enterPduMode, nullptr);
        ok = entry >= 0;
        if (ok) {
            o->head.mng = mng;
            o->head.entry = entry;
        }
    }
    if (!ok) {
        OthSms_delete(o);
        return nullptr;
    }
    return o;
}

PL_API int32_t OthSms_delete(OthSms *sms) {
    // Only the table is consulted first: the record of a deleted object may be freed memory.
    if (!sms || !pl::LiveObjects<OthSms>::has(sms) || sms->head.magic != OTH_SMS_MAGIC)
        return DV_E_ARG;
    pl::LiveObjects<OthSms>::remove(sms);
    AbsFileMem_delete(sms->wr);
    AbsFileMem_delete(sms->rd);
    SmsAt_delete(sms->at);
    sms->wr = sms->rd = nullptr;
    sms->at = nullptr;
    if (sms->head.mng && sms->head.entry >= 0)
        ItfMng_unreg(sms->head.mng, sms->head.entry);
    sms->head.mng = nullptr;
    sms->head.entry = -1;
    sms->head.magic = 0;
    if (sms->head.owned)
        std::free(sms);
    return 0;
}

} // extern "C"
