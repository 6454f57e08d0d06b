// SMS PDU codec: SUBMIT encoder, DELIVER / SUBMIT / STATUS-REPORT decoder (3GPP 23.040, 23.038).
//
// The file is organised as: the GSM 7-bit alphabet tables and UTF-8 writers; the TPDU reader;
// the field decoders (address, time stamp, user data); the three message decoders; the record
// builder; the encoder.

#include "sms_pdu.h"

#include <cstring>

#include "dv_charset.h"
#include "dv_result.h"
#include "gsm_text.h"

namespace {

// ---- GSM 03.38 default alphabet (gsm_text.h) and UTF-8 writers ----

using gsmtext::kEsc;

uint32_t gsmExtended(uint8_t code) { return gsmtext::fromExtension(code); }

size_t utf8Len(uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

// Appends cp to out when it fits before the terminator; false (nothing written) otherwise.
bool putUtf8(char *out, size_t size, size_t &pos, uint32_t cp) {
    const size_t n = utf8Len(cp);
    if (size == 0 || pos + n > size - 1)
        return false;
    auto *o = reinterpret_cast<unsigned char *>(out + pos);
    switch (n) {
    case 1:
        o[0] = static_cast<unsigned char>(cp);
        break;
    case 2:
        o[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        o[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        break;
    case 3:
        o[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        o[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        o[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        break;
    default:
        o[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
        o[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
        o[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        o[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        break;
    }
    pos += n;
    return true;
}

// GSM septets to UTF-8 in out (size bytes, always terminated when size > 0). Stops at the first
// character that does not fit, so a cut never splits a character. Answers the bytes written.
size_t gsmToUtf8(const uint8_t *septets, size_t n, char *out, size_t size) {
    size_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = septets[i] & 0x7F;
        uint32_t cp;
        if (c == kEsc) {
            // A lone escape at the end shows as a blank.
            cp = i + 1 < n ? gsmExtended(septets[++i] & 0x7F) : 0x20;
        } else {
            cp = gsmtext::fromDefault(c);
        }
        if (!putUtf8(out, size, pos, cp))
            break;
    }
    if (size > 0)
        out[pos] = '\0';
    return pos;
}

// UTF-16BE (UCS2 data as handsets really send it, emoji as surrogate pairs) to UTF-8. A lone
// surrogate becomes U+FFFD; a zero unit ends the text (the record's text is zero-terminated). A
// pair is written whole or not at all. Answers the bytes written.
size_t utf16beToUtf8(const uint8_t *src, size_t units, char *out, size_t size) {
    size_t pos = 0;
    for (size_t i = 0; i < units; ++i) {
        uint32_t cp = static_cast<uint32_t>(src[2 * i] << 8 | src[2 * i + 1]);
        if (cp == 0)
            break;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const uint32_t lo = i + 1 < units ? static_cast<uint32_t>(src[2 * i + 2] << 8 | src[2 * i + 3]) : 0;
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (!putUtf8(out, size, pos, cp))
            break;
    }
    if (size > 0)
        out[pos] = '\0';
    return pos;
}

// ---- TPDU reader: never reads past len ----

struct Reader {
    const uint8_t *buf;
    size_t len;
    size_t off;

    size_t left() const { return len - off; }
    const uint8_t *here() const { return buf + off; }
    bool octet(uint8_t &v) {
        if (off >= len)
            return false;
        v = buf[off++];
        return true;
    }
    bool skip(size_t n) {
        if (n > left())
            return false;
        off += n;
        return true;
    }
};

// 23.040 9.1.2.5: an address value holds at most 20 semi-octets (the field at most 12 octets).
constexpr uint8_t kMaxAddrSemiOctets = 20;
constexpr size_t kMaxAddrField = 2 + kMaxAddrSemiOctets / 2;

// Reads a TP address field into out (size bytes). The type is classified by its type-of-number
// bits (23.040 9.1.2.5), not by the exact octet: an international number comes as 0x91, 0x11 or
// 0x90 (other numbering plans), an alphanumeric sender as 0xD0 or 0x50.
bool readAddress(Reader &r, char *out, size_t size) {
    if (r.left() < 2)
        return false; // cannot read the address length and type
    const uint8_t semi = r.here()[0];
    if (semi > kMaxAddrSemiOctets)
        return false; // longer than any address field can be
    const size_t avail = r.left() < kMaxAddrField ? r.left() : kMaxAddrField;
    const int32_t fieldLen = GsmUtil_getNoPduLen(r.here(), static_cast<int32_t>(avail), 1);
    if (fieldLen < 2 || static_cast<size_t>(fieldLen) > avail)
        return false; // address value cut short
    uint8_t field[kMaxAddrField];
    std::memcpy(field, r.here(), static_cast<size_t>(fieldLen));
    const uint8_t ton = (field[1] >> 4) & 0x07;
    const bool alpha = ton == 5;
    field[1] = alpha ? 0xD0 : ton == 1 ? 0x91 : 0x81;
    // The length counts digits: after an odd count the last nibble is fill, whatever the handset
    // put there (some write 0 instead of F).
    if (!alpha && (semi & 1))
        field[fieldLen - 1] |= 0xF0;

    char raw[SMS_PDU_ADDR_MAX + 1];
    const int32_t n = GsmUtil_decNo(raw, sizeof raw, field, fieldLen, 1);
    if (n < 0)
        return false;
    if (alpha) {
        // The characters come back as GSM codes; "@" is code 0, so go by the count.
        gsmToUtf8(reinterpret_cast<const uint8_t *>(raw), static_cast<size_t>(n), out, size);
    } else {
        const size_t k = static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1;
        std::memcpy(out, raw, k);
        out[k] = '\0';
    }
    return r.skip(static_cast<size_t>(fieldLen));
}

// Reads a 7-octet time stamp (23.040 9.2.3.11); the zone in whole hours.
bool readTime(Reader &r, PhoneTime &t) {
    if (r.left() < 7)
        return false; // time stamp cut short
    int16_t words[8] = {};
    if (GsmUtil_decObsTime(words, r.here()) < -21)
        return false;
    t.year = words[0];
    t.month = words[1];
    t.day = words[2];
    t.hour = words[3];
    t.minute = words[4];
    t.second = words[5];
    t.zone = words[6];
    return r.skip(7);
}

enum class Alphabet { Gsm7, Data8, Ucs2, Other };

// The alphabet of a TP-DCS by the coding groups of 23.038 4. Reserved codings read as the default
// alphabet, as 23.038 asks of a receiving entity; compressed data cannot be read here.
Alphabet alphabetOf(uint8_t dcs) {
    switch (dcs >> 4) {
    case 0x0: case 0x1: case 0x2: case 0x3: // general data coding
    case 0x4: case 0x5: case 0x6: case 0x7: // the same, marked for automatic deletion
        if (dcs & 0x20)
            return Alphabet::Other;
        switch ((dcs >> 2) & 0x03) {
        case 1:
            return Alphabet::Data8;
        case 2:
            return Alphabet::Ucs2;
        default:
            return Alphabet::Gsm7;
        }
    case 0xC: case 0xD: // message waiting, discard / store, default alphabet
        return Alphabet::Gsm7;
    case 0xE: // message waiting, store, UCS2
        return Alphabet::Ucs2;
    case 0xF: // data coding / message class
        return (dcs & 0x04) ? Alphabet::Data8 : Alphabet::Gsm7;
    default: // 1000-1011 reserved groups
        return Alphabet::Gsm7;
    }
}

// 23.040 9.2.3.16: at most 160 septets or 140 octets of user data.
constexpr uint8_t kMaxSeptets = 160;
constexpr uint8_t kMaxUdOctets = 140;

// Reads TP-UDL and TP-UD (with its header when udhi) into rec.
bool readUserData(Reader &r, uint8_t dcs, bool udhi, SmsPduRec &rec) {
    uint8_t udl;
    if (!r.octet(udl))
        return false; // cannot read TP-UDL
    const Alphabet alphabet = alphabetOf(dcs);
    size_t octets;
    if (alphabet == Alphabet::Gsm7) {
        if (udl > kMaxSeptets)
            return false; // TP-UDL beyond 160 septets
        octets = (static_cast<size_t>(udl) * 7 + 7) / 8;
    } else {
        if (udl > kMaxUdOctets)
            return false; // TP-UDL beyond 140 octets
        octets = udl;
    }
    if (octets > r.left())
        return false; // user data cut short
    const uint8_t *ud = r.here();

    size_t g = 0; // header octets, its length octet included
    if (udhi) {
        if (octets < 1)
            return false; // no room for TP-UDHL
        g = static_cast<size_t>(ud[0]) + 1;
        if (g > octets)
            return false; // TP-UDHL beyond the user data
        rec.udhi = 1;
        rec.udhLen = ud[0];
        std::memcpy(rec.udh, ud + 1, rec.udhLen);
    }

    char *text = reinterpret_cast<char *>(rec.data);
    switch (alphabet) {
    case Alphabet::Gsm7: {
        const size_t fill = g ? (7 - (8 * g) % 7) % 7 : 0;
        const size_t skipSeptets = (8 * g + fill) / 7;
        if (skipSeptets > udl)
            return false; // header longer than TP-UDL
        const size_t count = udl - skipSeptets;
        uint8_t septets[kMaxSeptets + 1];
        const int32_t got = GsmUtil_dec7BitStr(reinterpret_cast<char *>(septets), static_cast<int32_t>(count + 1), ud + g,
                                               static_cast<int32_t>(octets - g), static_cast<int32_t>(fill));
        if (got < 0)
            return false;
        rec.dataLen = static_cast<uint8_t>(gsmToUtf8(septets, static_cast<size_t>(got), text, sizeof rec.data));
        break;
    }
    case Alphabet::Ucs2:
        // An odd last octet is half a unit and is dropped.
        rec.dataLen = static_cast<uint8_t>(utf16beToUtf8(ud + g, (octets - g) / 2, text, sizeof rec.data));
        break;
    case Alphabet::Other:
        rec.otherCoding = 1;
        rec.dcs = dcs;
        [[fallthrough]];
    case Alphabet::Data8:
        rec.binary = 1;
        rec.dataLen = static_cast<uint8_t>(octets - g);
        std::memcpy(rec.data, ud + g, octets - g);
        break;
    }
    return r.skip(octets);
}

bool decodeDeliver(Reader &r, uint8_t first, SmsPduRec &rec) {
    rec.moreMsgs = (first >> 2) & 1;
    rec.replyPath = (first >> 7) & 1;
    rec.deliver.statusReport = (first >> 5) & 1;
    uint8_t dcs;
    return readAddress(r, rec.address, sizeof rec.address) && r.octet(rec.pid) && r.octet(dcs) &&
           readTime(r, rec.deliver.scts) && readUserData(r, dcs, first & 0x40, rec);
}

bool decodeSubmit(Reader &r, uint8_t first, SmsPduRec &rec) {
    rec.rejectDup = (first >> 2) & 1;
    rec.replyPath = (first >> 7) & 1;
    rec.submit.statusReport = (first >> 5) & 1;
    uint8_t mr, dcs;
    if (!r.octet(mr) || !readAddress(r, rec.address, sizeof rec.address) || !r.octet(rec.pid) || !r.octet(dcs))
        return false;
    rec.submit.msgRef = mr;
    switch (first & 0x18) {
    case 0x10: { // relative: one octet, kept
        uint8_t vp;
        if (!r.octet(vp))
            return false;
        rec.submit.validity = vp;
        break;
    }
    case 0x08: // enhanced
    case 0x18: // absolute
        if (!r.skip(7))
            return false;
        break;
    default:
        break;
    }
    return readUserData(r, dcs, first & 0x40, rec);
}

// The optional part of a status report (23.040 9.2.3.27): TP-PI, then TP-PID, TP-DCS and TP-UD as it
// says. SIM records are padded with 0xFF after TP-ST, which would read as a TP-PI announcing every
// field and a user-data length of 255; a TP-PI of 0xFF, or an optional part that does not fit, is
// taken as padding: the mandatory part already holds everything the record needs.
void decodeReportOptional(Reader &r, bool udhi, SmsPduRec &rec) {
    uint8_t pi;
    if (!r.octet(pi) || pi == 0xFF)
        return;
    SmsPduRec opt = rec;
    Reader sub = r;
    bool ok = true;
    // Bit 7 extends TP-PI with octets whose bits have no meaning yet.
    for (uint8_t ext = pi; ok && (ext & 0x80);)
        ok = sub.octet(ext);
    uint8_t dcs = 0;
    if (ok && (pi & 0x01))
        ok = sub.octet(opt.pid);
    if (ok && (pi & 0x02))
        ok = sub.octet(dcs);
    if (ok && (pi & 0x04))
        ok = readUserData(sub, dcs, udhi, opt);
    if (!ok)
        return;
    opt.report.piPresent = 1;
    rec = opt;
    r = sub;
}

bool decodeReport(Reader &r, uint8_t first, SmsPduRec &rec) {
    rec.moreMsgs = (first >> 2) & 1;
    uint8_t mr, st;
    if (!r.octet(mr) || !readAddress(r, rec.address, sizeof rec.address) || !readTime(r, rec.report.scts) ||
        !readTime(r, rec.report.discharge) || !r.octet(st))
        return false;
    rec.report.msgRef = mr;
    rec.report.status = st;
    // TP-UDHI in the first octet says whether the optional user data starts with a header.
    decodeReportOptional(r, (first & 0x40) != 0, rec);
    return true;
}

// ---- Encoder helpers ----

// Characters that are the same in ASCII and the GSM default alphabet apart from "$", "@" and "_",
// which are mapped; any other character sends the text as UCS2.
bool isGsmSafe(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ' || c == '!' || c == '"' || c == '#' ||
           c == '$' || (c >= '%' && c <= '?') || c == '@' || c == '_' || c == '\r' || c == '\n';
}

uint8_t toGsm(unsigned char c) {
    switch (c) {
    case '@':
        return 0x00;
    case '$':
        return 0x02;
    case '_':
        return 0x11;
    default:
        return c;
    }
}

} // namespace

extern "C" uint8_t SmsPdu_validityOctet(int32_t minutes) {
    if (minutes <= 0)
        return 0xA9;
    if (minutes <= 720)
        return static_cast<uint8_t>((minutes + 4) / 5 - 1);
    if (minutes <= 1440)
        return static_cast<uint8_t>((minutes - 691) / 30 + 143);
    if (minutes <= 43200)
        return static_cast<uint8_t>((minutes + 1439) / 1440 + 166);
    return 0xFF;
}

extern "C" int32_t SmsPdu_fromSendRec(const SmsSendRec *msg, SmsPduRec *rec) {
    if (!msg || !rec)
        return DV_E_ARG;
    std::memset(rec, 0, sizeof *rec);
    const size_t numLen = strnlen(msg->number, sizeof msg->number);
    const size_t textLen = strnlen(msg->text, sizeof msg->text);
    if (numLen > SMS_PDU_ADDR_MAX || textLen > SMS_PDU_TEXT_MAX)
        return DV_E_ARG;
    std::memcpy(rec->address, msg->number, numLen);
    std::memcpy(rec->data, msg->text, textLen);
    rec->submit.statusReport = msg->statusReport != 0;
    rec->submit.validity = msg->validity > INT32_MAX ? INT32_MAX : static_cast<int32_t>(msg->validity);
    return 0;
}

extern "C" int32_t SmsPdu_encodeSubmit(const SmsPduRec *rec, uint8_t *out, size_t outSize) {
    if (!rec || !out)
        return DV_E_ARG;
    std::memset(out, 0, outSize);
    if (outSize < 2)
        return DV_E_ARG;
    const bool udhi = rec->udhi != 0;
    size_t pos = 0;
    out[pos++] = static_cast<uint8_t>(0x11 | (rec->rejectDup ? 0x04 : 0) | (rec->replyPath ? 0x80 : 0) |
                                      (rec->submit.statusReport ? 0x20 : 0) | (udhi ? 0x40 : 0));
    out[pos++] = static_cast<uint8_t>(rec->submit.msgRef);

    if (strnlen(rec->address, sizeof rec->address) > SMS_PDU_ADDR_MAX)
        return DV_E_ARG; // unterminated address
    // Into a field of the largest legal size, so an over-long number is refused, not cut.
    uint8_t addr[kMaxAddrField];
    const int32_t k = GsmUtil_encNo(addr, static_cast<int32_t>(sizeof addr), rec->address, 1);
    if (k < 0 || pos + static_cast<size_t>(k) + 3 > outSize)
        return DV_E_ARG;
    std::memcpy(out + pos, addr, static_cast<size_t>(k));
    pos += static_cast<size_t>(k);
    out[pos++] = rec->pid;
    const size_t dcsPos = pos++;
    out[pos++] = SmsPdu_validityOctet(rec->submit.validity);
    if (outSize - pos < 1 + kMaxUdOctets)
        return DV_E_ARG; // no room for the longest user data

    const size_t udlPos = pos++;
    uint8_t *ud = out + pos;
    size_t h = 0;
    if (udhi) {
        if (rec->udhLen > sizeof rec->udh)
            return DV_E_ARG;
        ud[0] = rec->udhLen;
        std::memcpy(ud + 1, rec->udh, rec->udhLen);
        h = static_cast<size_t>(rec->udhLen) + 1;
    }

    uint8_t coding;
    size_t dataOctets;
    size_t udl;
    if (rec->binary) {
        coding = 0x04;
        if (rec->dataLen > sizeof rec->data || h + rec->dataLen > kMaxUdOctets)
            return DV_E_ARG;
        std::memcpy(ud + h, rec->data, rec->dataLen);
        dataOctets = rec->dataLen;
        udl = h + dataOctets;
    } else {
        const char *text = reinterpret_cast<const char *>(rec->data);
        const size_t n = strnlen(text, sizeof rec->data);
        bool gsm = true;
        for (size_t i = 0; i < n && gsm; ++i)
            gsm = isGsmSafe(static_cast<unsigned char>(text[i]));
        if (gsm) {
            coding = 0x00;
            // The header ends on a septet boundary: fill bits after it (23.040 9.2.3.24).
            const size_t fill = h ? (7 - (8 * h) % 7) % 7 : 0;
            dataOctets = (7 * n + fill + 7) / 8;
            if (h + dataOctets > kMaxUdOctets)
                return DV_E_ARG;
            char septets[sizeof rec->data];
            for (size_t i = 0; i < n; ++i)
                septets[i] = static_cast<char>(toGsm(static_cast<unsigned char>(text[i])));
            // With no text the fill bits alone take one zero octet, which the buffer already holds.
            if (n > 0) {
                const int32_t packed = GsmUtil_enc7BitStr(ud + h, static_cast<int32_t>(kMaxUdOctets - h), septets,
                                                          static_cast<int32_t>(n), static_cast<int32_t>(fill));
                if (packed < 0 || static_cast<size_t>(packed) != dataOctets)
                    return DV_E_ARG;
            }
            udl = h ? (8 * h + fill) / 7 + n : n;
        } else {
            coding = 0x08;
            // Room for every unit the text can make, so a long text is refused, never cut.
            uint8_t ucs2[2 * (sizeof rec->data + 1)];
            const char *src = text;
            char terminated[sizeof rec->data + 1];
            if (n == sizeof rec->data) {
                std::memcpy(terminated, text, n);
                terminated[n] = '\0';
                src = terminated;
            }
            const int32_t units = CsUtil_utf8ToUcs2(src, ucs2, static_cast<int32_t>(sizeof ucs2 / 2));
            if (units < 0)
                return DV_E_ARG;
            dataOctets = 2 * static_cast<size_t>(units);
            if (h + dataOctets > kMaxUdOctets)
                return DV_E_ARG;
            std::memcpy(ud + h, ucs2, dataOctets);
            udl = h + dataOctets;
        }
    }
    const uint8_t dcs = static_cast<uint8_t>(coding | rec->dcs);
    // The caller's coding bits may add a message class, never change the alphabet the user data was
    // written in: TP-UDL would count the wrong units and the message would be misread.
    if (alphabetOf(dcs) != alphabetOf(coding)) {
        std::memset(out, 0, outSize);
        return DV_E_ARG;
    }
    out[dcsPos] = dcs;
    out[udlPos] = static_cast<uint8_t>(udl);
    return static_cast<int32_t>(pos + h + dataOctets);
}

extern "C" int32_t SmsPdu_encodeSendRec(const SmsSendRec *msg, uint8_t *out, size_t outSize) {
    if (!msg || !out || outSize < SMS_PDU_SUBMIT_BUF)
        return DV_E_ARG;
    SmsPduRec rec;
    if (SmsPdu_fromSendRec(msg, &rec) < 0)
        return DV_E_TOOLONG;
    const int32_t n = SmsPdu_encodeSubmit(&rec, out, outSize);
    return n >= 0 ? n : DV_E_TOOLONG;
}

extern "C" int32_t SmsPdu_decode(const uint8_t *tpdu, size_t len, SmsPduRec *rec) {
    if (!rec)
        return DV_E_ARG;
    std::memset(rec, 0, sizeof *rec);
    if (!tpdu)
        return DV_E_ARG;
    Reader r{tpdu, len, 0};
    uint8_t first;
    if (!r.octet(first))
        return DV_E_FAIL; // empty TPDU
    const int32_t type = first & 0x03;
    bool ok = false;
    switch (type) {
    case SMS_PDU_DELIVER:
        ok = decodeDeliver(r, first, *rec);
        break;
    case SMS_PDU_SUBMIT:
        ok = decodeSubmit(r, first, *rec);
        break;
    case SMS_PDU_STATUS_REPORT:
        ok = decodeReport(r, first, *rec);
        break;
    default:
        return DV_E_ARG; // reserved message type
    }
    if (!ok) {
        std::memset(rec, 0, sizeof *rec);
        return DV_E_FAIL;
    }
    return type;
}

extern "C" int32_t SmsPdu_buildRecord(const SmsPduRec *rec, int32_t type, SmsRecord *out) {
    if (!out)
        return DV_E_ARG;
    std::memset(out, 0, sizeof *out);
    if (!rec || type < SMS_PDU_DELIVER || type > SMS_PDU_STATUS_REPORT)
        return DV_E_ARG;
    out->kind = type == SMS_PDU_SUBMIT ? SMS_KIND_SUBMITTED : SMS_KIND_RECEIVED;
    const size_t addrLen = strnlen(rec->address, sizeof rec->address);
    std::memcpy(out->number, rec->address, addrLen < sizeof out->number ? addrLen : sizeof out->number - 1);
    switch (type) {
    case SMS_PDU_STATUS_REPORT:
        out->state = SMS_STATE_REPORT;
        out->time = rec->report.scts;
        out->reportStatus = rec->report.status;
        return 0;
    case SMS_PDU_DELIVER:
        out->time = rec->deliver.scts;
        break;
    default:
        out->validity = rec->submit.validity;
        break;
    }
    if (rec->binary) {
        out->state = SMS_STATE_BINARY;
        std::strcpy(out->text, "binary message");
    } else {
        out->state = SMS_STATE_TEXT;
        const char *text = reinterpret_cast<const char *>(rec->data);
        std::memcpy(out->text, text, strnlen(text, sizeof rec->data));
    }
    return 0;
}

extern "C" int32_t SmsPdu_decodeRecord(const uint8_t *tpdu, size_t len, SmsRecord *out) {
    if (out)
        std::memset(out, 0, sizeof *out);
    SmsPduRec rec;
    const int32_t type = SmsPdu_decode(tpdu, len, &rec);
    if (type < 0 || !out)
        return DV_E_FAIL;
    return SmsPdu_buildRecord(&rec, type, out) < 0 ? DV_E_FAIL : 0;
}
