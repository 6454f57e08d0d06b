// The generic phone-information object: identity, battery, signal and clock (3GPP 27.007).

#include "oth_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "dv_result.h"
#include "gmc_te.h"
#include "ms_mng.h"

namespace {

// Reply buffers: "+CNUM" may list an alpha tag, the number and its type; the others are short.
constexpr int32_t kNumReply = 256;
constexpr int32_t kStatusReply = 64;
constexpr int32_t kClockReply = 80;
constexpr int32_t kImsiScratch = 64;
constexpr size_t kNetCodeLen = 5; // MCC + 2-digit MNC
constexpr int kMaxFields = 8;

AtTe *teOf(InfoItf *itf) { return pl::self<OthInfo>(itf)->te; }

// One comma-separated field of a reply value, blanks trimmed and quotes removed.
struct Field {
    const char *p = nullptr;
    size_t n = 0;
    bool quoted = false;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits s at the commas that lie outside double quotes: the field count (at most max are kept),
// 0 for an empty value, -1 for an unterminated quote or text after a closing quote.
int splitFields(const char *s, Field *out, int max) {
    int count = 0;
    const char *p = s;
    while (isBlank(*p))
        ++p;
    if (*p == '\0')
        return 0;
    for (;;) {
        Field f;
        while (isBlank(*p))
            ++p;
        if (*p == '"') {
            const char *q = std::strchr(p + 1, '"');
            if (!q)
                return -1;
            f = Field{p + 1, static_cast<size_t>(q - p - 1), true};
            p = q + 1;
            while (isBlank(*p))
                ++p;
            if (*p != ',' && *p != '\0')
                return -1;
        } else {
            const char *e = p;
            while (*e && *e != ',')
                ++e;
            const char *t = e;
            while (t > p && isBlank(t[-1]))
                --t;
            f = Field{p, static_cast<size_t>(t - p), false};
            p = e;
        }
        if (count < max)
            out[count] = f;
        ++count;
        if (*p == '\0')
            return count;
        ++p; // the comma
    }
}

// A field that is a plain decimal number (at most 9 digits): true and *value.
bool fieldNumber(const Field &f, int32_t *value) {
    if (f.quoted || f.n == 0 || f.n > 9)
        return false;
    int32_t v = 0;
    for (size_t i = 0; i < f.n; ++i) {
        if (f.p[i] < '0' || f.p[i] > '9')
            return false;
        v = v * 10 + (f.p[i] - '0');
    }
    *value = v;
    return true;
}

// Reads 1 to 4 digits at *p (a clock field); advances *p.
bool clockNumber(const char **p, int16_t *value) {
    int v = 0;
    int digits = 0;
    while (**p >= '0' && **p <= '9' && digits < 4) {
        v = v * 10 + (**p - '0');
        ++*p;
        ++digits;
    }
    if (digits == 0 || (**p >= '0' && **p <= '9'))
        return false;
    *value = static_cast<int16_t>(v);
    return true;
}

// "yy/MM/dd,hh:mm:ss" and an optional signed zone (quarters of an hour), nothing else.
bool parseClock(const char *s, PhoneTime *t) {
    const char *p = s;
    int16_t *const fields[] = {&t->year, &t->month, &t->day, &t->hour, &t->minute, &t->second};
    const char seps[] = {'/', '/', ',', ':', ':'};
    for (int i = 0; i < 6; ++i) {
        if (!clockNumber(&p, fields[i]))
            return false;
        if (i < 5 && *p++ != seps[i])
            return false;
    }
    if (*p == '+' || *p == '-') {
        const bool negative = *p == '-';
        ++p;
        int16_t zone = 0;
        if (!clockNumber(&p, &zone))
            return false;
        t->zone = static_cast<int16_t>(negative ? -zone : zone);
    }
    return *p == '\0';
}

struct OthInfoOps {
    static int32_t getMan(InfoItf *itf, char *buf, int32_t size) { return GmcTe_getMan(teOf(itf), buf, size); }

    static int32_t getModel(InfoItf *itf, char *buf1, int32_t size1, char *buf2, int32_t size2) {
        return GmcTe_getModelPair(teOf(itf), buf1, size1, buf2, size2);
    }

    static int32_t getVer(InfoItf *itf, char *buf, int32_t size) { return GmcTe_getVer(teOf(itf), buf, size); }

    static int32_t getFirmVer(InfoItf *, char *, int32_t) { return DV_E_NOTIMPL; }

    static int32_t getImei(InfoItf *itf, char *buf, int32_t size) { return GmcTe_getImei(teOf(itf), buf, size); }

    static int32_t getImsi(InfoItf *itf, char *buf, int32_t size) { return GmcTe_getImsi(teOf(itf), buf, size); }

    // +CNUM: [<alpha>],<number>,<type>: the number is the second field.
    static int32_t getNum(InfoItf *itf, char *buf, int32_t size) {
        if (buf && size > 0)
            buf[0] = '\0';
        char reply[kNumReply];
        int32_t r = AtTe_getAny(teOf(itf), "+CNUM", "+CNUM:", GMC_CME, reply, kNumReply, 0);
        if (r < 0)
            return r;
        Field f[kMaxFields];
        if (splitFields(reply, f, kMaxFields) < 2)
            return DV_E_MALFORMED;
        if (!buf || size <= 0)
            return 0;
        size_t n = f[1].n < static_cast<size_t>(size) - 1 ? f[1].n : static_cast<size_t>(size) - 1;
        std::memcpy(buf, f[1].p, n);
        buf[n] = '\0';
        return static_cast<int32_t>(n);
    }

    static int32_t getNetCode(InfoItf *itf, char *buf, int32_t size) {
        if (!buf || size <= 0)
            return DV_E_ARG;
        buf[0] = '\0';
        char imsi[kImsiScratch];
        int32_t r = GmcTe_getImsi(teOf(itf), imsi, kImsiScratch);
        if (r < 0)
            return r;
        if (static_cast<size_t>(r) < kNetCodeLen)
            return DV_E_MALFORMED;
        imsi[kNetCodeLen] = '\0';
        return StrUtil_strxfrm(buf, imsi, size);
    }

    static int32_t getNetName(InfoItf *, char *buf, int32_t size) {
        if (!buf || size <= 0)
            return DV_E_ARG;
        return StrUtil_strxfrm(buf, "GSM", size);
    }

    // +CBC: <bcs>,<bcl>: the level is the second field.
    static int32_t getBattery(InfoItf *itf, int32_t *level) {
        if (!level)
            return DV_E_ARG;
        char reply[kStatusReply];
        int32_t r = AtTe_getAny(teOf(itf), "+CBC", "+CBC:", GMC_CME, reply, kStatusReply, 0);
        if (r < 0)
            return r;
        Field f[kMaxFields];
        int32_t value = 0;
        // A level beyond 100 percent is no level: never hand it out as one.
        if (splitFields(reply, f, kMaxFields) < 2 || !fieldNumber(f[1], &value) || value > 100)
            return DV_E_MALFORMED;
        *level = value;
        return 0;
    }

    // +CSQ: <rssi>,<ber>: rssi 0..31 scaled to 0..100; 99 means not known.
    static int32_t getSignal(InfoItf *itf, int32_t *value) {
        if (!value)
            return DV_E_ARG;
        char reply[kStatusReply];
        int32_t r = AtTe_getAny(teOf(itf), "+CSQ", "+CSQ:", GMC_CME, reply, kStatusReply, 0);
        if (r < 0)
            return r;
        Field f[kMaxFields];
        int32_t rssi = 0;
        if (splitFields(reply, f, kMaxFields) < 1 || !fieldNumber(f[0], &rssi))
            return DV_E_MALFORMED;
        *value = rssi > 31 ? -1 : rssi * 100 / 31;
        return 0;
    }

    // +CCLK: "yy/MM/dd,hh:mm:ss±zz"
    static int32_t getClock(InfoItf *itf, PhoneTime *time) {
        if (!time)
            return DV_E_ARG;
        std::memset(time, 0, sizeof *time);
        char reply[kClockReply];
        int32_t r = AtTe_getAny(teOf(itf), "+CCLK?", "+CCLK:", GMC_CME, reply, kClockReply, 0);
        if (r < 0)
            return r;
        Field f[kMaxFields];
        if (splitFields(reply, f, kMaxFields) < 1 || !f[0].quoted)
            return DV_E_MALFORMED;
        char text[kClockReply];
        std::memcpy(text, f[0].p, f[0].n);
        text[f[0].n] = '\0';
        PhoneTime t{};
        if (!parseClock(text, &t))
            return DV_E_MALFORMED;
        *time = t;
        return 0;
    }

    static int32_t setClock(InfoItf *itf, const PhoneTime *time) {
        if (!time)
            return DV_E_ARG;
        char cmd[96];
        const int zone = time->zone;
        std::snprintf(cmd, sizeof cmd, "+CCLK=\"%02d/%02d/%02d,%02d:%02d:%02d%s%02d\"", time->year, time->month,
                      time->day, time->hour, time->minute, time->second, zone < 0 ? "-" : "+", std::abs(zone));
        return AtTe_setAny(teOf(itf), cmd, GMC_CME, nullptr);
    }
};

constexpr InfoItf kSlots = pl::infoSlots<OthInfoOps>();

} // namespace

extern "C" {

PL_API OthInfo *OthInfo_new(void *buf, ItfMng *mng, AtTe *te) {
    try {
        if (!te)
            return nullptr;
        OthInfo *info = buf ? new (buf) OthInfo{} : new (std::nothrow) OthInfo{};
        if (!info)
            return nullptr;
        info->head.magic = OTH_INFO_MAGIC;
        info->head.owned = buf ? 0 : 1;
        info->head.mng = mng;
        info->head.entry = -1;
        info->te = te;
        info->itf = kSlots;
        info->itf.self = info;
        if (!pl::LiveObjects<OthInfo>::add(info)) {
            info->head.magic = 0;
            if (info->head.owned)
                delete info;
            return nullptr;
        }
        if (mng) {
            // No enter or leave routine: reading the identity needs no mode of its own.
            int32_t entry = ItfMng_reg(mng, info, nullptr, nullptr);
            if (entry < 0) {
                OthInfo_delete(info);
                return nullptr;
            }
            info->head.entry = entry;
        }
        return info;
    } catch (...) {
        return nullptr;
    }
}

PL_API int32_t OthInfo_delete(OthInfo *info) {
    try {
        if (!info || !pl::LiveObjects<OthInfo>::has(info) || info->head.magic != OTH_INFO_MAGIC)
            return DV_E_ARG;
        pl::LiveObjects<OthInfo>::remove(info);
        if (info->head.mng && info->head.entry >= 0)
            ItfMng_unreg(info->head.mng, info->head.entry);
        info->head.magic = 0;
        info->head.entry = -1;
        info->itf.self = nullptr;
        if (info->head.owned)
            delete info;
        return 0;
    } catch (...) {
        return DV_E_FAIL;
    }
}

} // extern "C"
