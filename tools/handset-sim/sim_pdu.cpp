// The simulator's PDU codec: decodes DELIVER, SUBMIT and STATUS-REPORT TPDUs (3GPP 23.040) and
// builds DELIVER and SUBMIT PDUs for scenarios. Every field is read through Reader, which never
// goes past the end of its buffer; every count from the wire is checked before it is used.

#include "sim_pdu.h"
#include "sim_charset.h"

#include <cstdio>
#include <stdexcept>

namespace handsetsim {

namespace {

struct Reader {
    const uint8_t *buf;
    size_t len;
    size_t pos = 0;

    size_t left() const { return len - pos; }
    bool next(uint8_t &v) {
        if (pos >= len)
            return false;
        v = buf[pos++];
        return true;
    }
    bool take(size_t n, const uint8_t *&p) {
        if (n > left())
            return false;
        p = buf + pos;
        pos += n;
        return true;
    }
};

bool fail(std::string *error, const std::string &what) {
    if (error)
        *error = what;
    return false;
}

std::string num(size_t v) {
    return std::to_string(v);
}

char semiOctetChar(unsigned n) {
    static const char kDigits[] = "0123456789*#abc";
    return n < 15 ? kDigits[n] : '?';
}

// Septet i of a packed 7-bit stream (23.038 6.1.2.1.1): bits are counted from the least significant
// end of the first octet.
uint8_t septetAt(const uint8_t *p, size_t octets, size_t i) {
    const size_t bit = i * 7;
    const size_t byte = bit / 8;
    const unsigned shift = bit % 8;
    unsigned v = p[byte] >> shift;
    if (shift > 1 && byte + 1 < octets)
        v |= static_cast<unsigned>(p[byte + 1]) << (8 - shift);
    return static_cast<uint8_t>(v & 0x7F);
}

// Septets [from, to) into UTF-8, with the extension table behind 0x1B.
std::string unpackGsm(const uint8_t *p, size_t octets, size_t from, size_t to) {
    std::string text;
    for (size_t i = from; i < to; ++i) {
        const uint8_t code = septetAt(p, octets, i);
        if (code == 0x1B && i + 1 < to) {
            cs::appendUtf8(text, cs::fromGsmExtension(septetAt(p, octets, ++i)));
        } else {
            cs::appendUtf8(text, cs::fromGsm(code));
        }
    }
    return text;
}

bool readAddress(Reader &r, std::string &number, int &type, std::string *error, const char *what) {
    uint8_t digits, toa;
    if (!r.next(digits) || !r.next(toa))
        return fail(error, std::string("cannot read the ") + what + " address");
    // 23.040 9.1.2.5: the address value holds at most 10 octets, 20 digits.
    if (digits > 20)
        return fail(error,
                    std::string(what) + " address length " + std::to_string(digits) + " exceeds 20 digits");
    const size_t octets = (digits + 1u) / 2u;
    const uint8_t *p;
    if (!r.take(octets, p))
        return fail(error, std::string("the ") + what + " address runs past the end");
    type = toa;
    number.clear();
    if ((toa & 0x70) == 0x50) {
        // Alphanumeric address (23.040 9.1.2.5): the length counts the semi-octets used.
        number = unpackGsm(p, octets, 0, digits * 4u / 7u);
        return true;
    }
    if ((toa & 0x70) == 0x10)
        number.push_back('+');
    for (size_t i = 0; i < digits; ++i) {
        const unsigned nib = (i % 2 == 0) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4);
        if (nib == 0x0F)
            return fail(error, std::string("filler inside the ") + what + " address");
        number.push_back(semiOctetChar(nib));
    }
    return true;
}

bool readTimestamp(Reader &r, std::string &out, std::string *error, const char *what) {
    const uint8_t *p;
    if (!r.take(7, p))
        return fail(error, std::string("cannot read the ") + what);
    int f[7];
    for (int i = 0; i < 6; ++i)
        f[i] = (p[i] & 0x0F) * 10 + (p[i] >> 4);
    // The zone's sign is bit 3 of the octet, its first digit in the low nibble.
    f[6] = (p[6] & 0x07) * 10 + (p[6] >> 4);
    if (p[6] & 0x08)
        f[6] = -f[6];
    out = pdu::formatTimestamp(f);
    return true;
}

Tpdu::Alphabet alphabetOf(int dcs) {
    const int group = dcs >> 4;
    if (group <= 7) {
        if (dcs & 0x20) // compressed: octets to us
            return Tpdu::Octets;
        switch ((dcs >> 2) & 3) {
        case 1:
            return Tpdu::Octets;
        case 2:
            return Tpdu::Ucs2;
        default:
            return Tpdu::Gsm7;
        }
    }
    if (group == 0x0E)
        return Tpdu::Ucs2;
    if (group == 0x0F)
        return (dcs & 0x04) ? Tpdu::Octets : Tpdu::Gsm7;
    return Tpdu::Gsm7; // 0xC, 0xD (message waiting) and the reserved groups
}

bool readUserData(Reader &r, Tpdu &out, std::string *error) {
    uint8_t udl;
    if (!r.next(udl))
        return fail(error, "cannot read TP-UDL");
    out.udl = udl;
    out.alphabet = alphabetOf(out.dcs);
    size_t octets;
    if (out.alphabet == Tpdu::Gsm7) {
        if (udl > 160)
            return fail(error, "TP-UDL " + num(udl) + " septets exceeds 160");
        octets = (udl * 7u + 7u) / 8u;
    } else {
        if (udl > 140)
            return fail(error, "TP-UDL " + num(udl) + " octets exceeds 140");
        octets = udl;
    }
    if (r.left() != octets)
        return fail(error, "TP-UDL " + num(udl) + " needs " + num(octets) + " octets of user data, " +
                               num(r.left()) + " present");
    const uint8_t *p = nullptr;
    r.take(octets, p);
    size_t hdr = 0;
    if (out.udhi) {
        if (octets < 1)
            return fail(error, "header indicated but no user data");
        hdr = p[0] + 1u;
        if (hdr > octets)
            return fail(error, "header length " + num(p[0]) + " runs past the user data (" + num(octets) +
                                   " octets)");
        out.udh.assign(p + 1, p + hdr);
    }
    if (out.alphabet == Tpdu::Gsm7) {
        // The text starts on the septet boundary after the header (fill bits, 23.040 9.2.3.24).
        const size_t skip = (hdr * 8 + 6) / 7;
        if (skip > udl)
            return fail(error, "the header is longer than TP-UDL");
        out.text = unpackGsm(p, octets, skip, udl);
    } else if (out.alphabet == Tpdu::Ucs2) {
        const size_t n = octets - hdr;
        if (n % 2)
            return fail(error, "odd UCS2 user data length " + num(n));
        std::vector<uint16_t> units;
        for (size_t i = hdr; i + 1 < octets; i += 2)
            units.push_back(static_cast<uint16_t>((p[i] << 8) | p[i + 1]));
        out.text = cs::encodeUtf8(cs::fromUtf16(units));
    } else {
        out.data.assign(p + hdr, p + octets);
    }
    return true;
}

std::vector<uint8_t> packSeptets(const std::vector<uint8_t> &codes) {
    std::vector<uint8_t> out((codes.size() * 7 + 7) / 8, 0);
    for (size_t i = 0; i < codes.size(); ++i) {
        const size_t bit = i * 7;
        const unsigned v = codes[i] & 0x7Fu;
        out[bit / 8] |= static_cast<uint8_t>(v << (bit % 8));
        if (bit % 8 > 1 && bit / 8 + 1 < out.size())
            out[bit / 8 + 1] |= static_cast<uint8_t>(v >> (8 - bit % 8));
    }
    return out;
}

// DCS and user data (length octet first) for a text, 7-bit when it fits the default alphabet.
void encodeText(const std::string &textUtf8, std::vector<uint8_t> &tp) {
    const std::u32string text = cs::decodeUtf8Lenient(textUtf8);
    std::vector<uint8_t> codes;
    bool gsm = true;
    for (char32_t c : text)
        if (!cs::toGsm(c, codes)) {
            gsm = false;
            break;
        }
    if (gsm) {
        if (codes.size() > 160)
            throw std::invalid_argument("text longer than 160 septets");
        tp.push_back(0x00); // DCS
        tp.push_back(static_cast<uint8_t>(codes.size()));
        const auto packed = packSeptets(codes);
        tp.insert(tp.end(), packed.begin(), packed.end());
        return;
    }
    const auto units = cs::toUtf16(text);
    if (units.size() > 70)
        throw std::invalid_argument("UCS2 text longer than 70 characters");
    tp.push_back(0x08);
    tp.push_back(static_cast<uint8_t>(units.size() * 2));
    for (uint16_t u : units) {
        tp.push_back(static_cast<uint8_t>(u >> 8));
        tp.push_back(static_cast<uint8_t>(u & 0xFF));
    }
}

std::string withSc(const std::string &smsc, const std::vector<uint8_t> &tp) {
    std::vector<uint8_t> sc;
    if (!pdu::encodeScAddress(smsc, sc))
        throw std::invalid_argument("bad service-centre number: " + smsc);
    return toHex(sc.data(), sc.size()) + toHex(tp.data(), tp.size());
}

} // namespace

bool decodeTpdu(const uint8_t *buf, size_t len, Tpdu &out, std::string *error) {
    out = Tpdu{};
    if (!buf && len)
        return fail(error, "no buffer");
    Reader r{buf, len};
    uint8_t fo;
    if (!r.next(fo))
        return fail(error, "cannot read the first octet");
    out.firstOctet = fo;
    out.udhi = (fo & 0x40) != 0;
    out.statusReport = (fo & 0x20) != 0;
    uint8_t v;
    switch (fo & 3) {
    case 0: // SMS-DELIVER
        out.kind = TpduKind::Deliver;
        if (!readAddress(r, out.number, out.numberType, error, "originating"))
            return false;
        if (!r.next(v))
            return fail(error, "cannot read TP-PID");
        out.pid = v;
        if (!r.next(v))
            return fail(error, "cannot read TP-DCS");
        out.dcs = v;
        if (!readTimestamp(r, out.timestamp, error, "TP-SCTS"))
            return false;
        return readUserData(r, out, error);
    case 1: { // SMS-SUBMIT
        out.kind = TpduKind::Submit;
        if (!r.next(v))
            return fail(error, "cannot read TP-MR");
        out.messageRef = v;
        if (!readAddress(r, out.number, out.numberType, error, "destination"))
            return false;
        if (!r.next(v))
            return fail(error, "cannot read TP-PID");
        out.pid = v;
        if (!r.next(v))
            return fail(error, "cannot read TP-DCS");
        out.dcs = v;
        out.validityFormat = fo & 0x18;
        const size_t vpLen = out.validityFormat == 0x10 ? 1 : out.validityFormat == 0 ? 0 : 7;
        const uint8_t *p;
        if (!r.take(vpLen, p))
            return fail(error, "cannot read TP-VP");
        out.validity.assign(p, p + vpLen);
        return readUserData(r, out, error);
    }
    case 2: { // SMS-STATUS-REPORT
        out.kind = TpduKind::StatusReport;
        if (!r.next(v))
            return fail(error, "cannot read TP-MR");
        out.messageRef = v;
        if (!readAddress(r, out.number, out.numberType, error, "recipient"))
            return false;
        if (!readTimestamp(r, out.timestamp, error, "TP-SCTS") ||
            !readTimestamp(r, out.dischargeTime, error, "TP-DT"))
            return false;
        if (!r.next(v))
            return fail(error, "cannot read TP-ST");
        out.status = v;
        if (r.left() == 0)
            return true;
        uint8_t pi;
        r.next(pi);
        if ((pi & 1) && !r.next(v))
            return fail(error, "cannot read TP-PID");
        if (pi & 1)
            out.pid = v;
        if ((pi & 2) && !r.next(v))
            return fail(error, "cannot read TP-DCS");
        if (pi & 2)
            out.dcs = v;
        if (pi & 4)
            return readUserData(r, out, error);
        if (r.left())
            return fail(error, "octets after TP-PI");
        return true;
    }
    default:
        return fail(error, "message type 3 is reserved");
    }
}

std::string toHex(const uint8_t *buf, size_t len) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(len * 2);
    for (size_t i = 0; i < len; ++i) {
        s.push_back(kHex[buf[i] >> 4]);
        s.push_back(kHex[buf[i] & 0x0F]);
    }
    return s;
}

bool fromHex(const std::string &hex, std::vector<uint8_t> &out) {
    out.clear();
    if (hex.size() % 2)
        return false;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        int v = 0;
        for (size_t k = 0; k < 2; ++k) {
            const char c = hex[i + k];
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            v = v * 16 + d;
        }
        out.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

namespace {

// The seven semi-octets of a DELIVER's service-centre time stamp ("yy/MM/dd,hh:mm:ss±zz").
std::vector<uint8_t> serviceCentreTime(const std::string &timestamp) {
    int f[7];
    if (!pdu::parseTimestamp(timestamp, f))
        throw std::invalid_argument("bad time stamp: " + timestamp);
    std::vector<uint8_t> out;
    for (int i = 0; i < 6; ++i)
        out.push_back(static_cast<uint8_t>((f[i] % 10) << 4 | (f[i] / 10)));
    const int z = f[6] < 0 ? -f[6] : f[6];
    out.push_back(static_cast<uint8_t>((z % 10) << 4 | (z / 10) | (f[6] < 0 ? 0x08 : 0)));
    return out;
}

} // namespace

std::string encodeDeliverPdu(const std::string &from, const std::string &textUtf8,
                             const std::string &timestamp, const std::string &smsc) {
    std::vector<uint8_t> tp{0x04}; // DELIVER, no more messages
    if (!pdu::encodeAddress(from, 129, tp))
        throw std::invalid_argument("bad originating number: " + from);
    tp.push_back(0x00); // PID
    const std::vector<uint8_t> scts = serviceCentreTime(timestamp);
    std::vector<uint8_t> ud;
    encodeText(textUtf8, ud);
    tp.push_back(ud[0]); // DCS
    tp.insert(tp.end(), scts.begin(), scts.end());
    tp.insert(tp.end(), ud.begin() + 1, ud.end());
    return withSc(smsc, tp);
}

std::string encodeSubmitPdu(const std::string &to, const std::string &textUtf8, int messageRef,
                            const std::string &smsc) {
    std::vector<uint8_t> tp{0x11, static_cast<uint8_t>(messageRef & 0xFF)}; // SUBMIT, relative validity
    if (!pdu::encodeAddress(to, 129, tp))
        throw std::invalid_argument("bad destination number: " + to);
    tp.push_back(0x00); // PID
    std::vector<uint8_t> ud;
    encodeText(textUtf8, ud);
    tp.push_back(ud[0]); // DCS
    tp.push_back(0xA7);  // validity: one day
    tp.insert(tp.end(), ud.begin() + 1, ud.end());
    return withSc(smsc, tp);
}

std::string encodeDeliverPartPdu(const std::string &from, const std::string &textUtf8, int ref, int parts,
                                 int seq, const std::string &timestamp) {
    if (parts < 1 || parts > 255 || seq < 1 || seq > parts)
        throw std::invalid_argument("bad part numbers");
    // Concatenation information element, 8-bit reference (23.040 9.2.3.24.1): six octets with
    // its length octet, which 7-bit text follows after one fill bit (seven septets in all).
    const uint8_t udh[6] = {0x05, 0x00, 0x03, static_cast<uint8_t>(ref & 0xFF), static_cast<uint8_t>(parts),
                            static_cast<uint8_t>(seq)};
    std::vector<uint8_t> tp{0x44}; // DELIVER with a user-data header
    if (!pdu::encodeAddress(from, 129, tp))
        throw std::invalid_argument("bad originating number: " + from);
    tp.push_back(0x00); // PID
    const std::vector<uint8_t> scts = serviceCentreTime(timestamp);
    const std::u32string text = cs::decodeUtf8Lenient(textUtf8);
    std::vector<uint8_t> codes(7, 0); // room for the header and its fill bit
    bool gsm = true;
    for (char32_t c : text)
        if (!cs::toGsm(c, codes)) {
            gsm = false;
            break;
        }
    std::vector<uint8_t> ud;
    uint8_t dcs = 0x00;
    if (gsm) {
        if (codes.size() > 160)
            throw std::invalid_argument("text longer than 153 septets");
        ud.push_back(static_cast<uint8_t>(codes.size()));
        auto packed = packSeptets(codes);
        std::copy(udh, udh + 6, packed.begin());
        ud.insert(ud.end(), packed.begin(), packed.end());
    } else {
        const auto units = cs::toUtf16(text);
        if (units.size() > 67)
            throw std::invalid_argument("UCS2 text longer than 67 characters");
        dcs = 0x08;
        ud.push_back(static_cast<uint8_t>(6 + units.size() * 2));
        ud.insert(ud.end(), udh, udh + 6);
        for (uint16_t u : units) {
            ud.push_back(static_cast<uint8_t>(u >> 8));
            ud.push_back(static_cast<uint8_t>(u & 0xFF));
        }
    }
    tp.push_back(dcs);
    tp.insert(tp.end(), scts.begin(), scts.end());
    tp.insert(tp.end(), ud.begin(), ud.end());
    return withSc("", tp);
}

namespace pdu {

bool parseTimestamp(const std::string &text, int f[7]) {
    // yy/MM/dd,hh:mm:ss[±zz]
    static const char kSeps[] = "//,::";
    size_t p = 0;
    auto two = [&](int &v) {
        if (p + 2 > text.size() || text[p] < '0' || text[p] > '9' || text[p + 1] < '0' || text[p + 1] > '9')
            return false;
        v = (text[p] - '0') * 10 + (text[p + 1] - '0');
        p += 2;
        return true;
    };
    for (int i = 0; i < 6; ++i) {
        if (!two(f[i]))
            return false;
        if (i < 5) {
            if (p >= text.size() || text[p] != kSeps[i])
                return false;
            ++p;
        }
    }
    f[6] = 0;
    if (p < text.size()) {
        const char sign = text[p++];
        if (sign != '+' && sign != '-')
            return false;
        if (!two(f[6]))
            return false;
        if (sign == '-')
            f[6] = -f[6];
    }
    if (p != text.size())
        return false;
    return f[1] >= 1 && f[1] <= 12 && f[2] >= 1 && f[2] <= 31 && f[3] < 24 && f[4] < 60 && f[5] < 60 &&
           f[6] >= -48 && f[6] <= 56;
}

std::string formatTimestamp(const int f[7]) {
    char buf[40];
    const int z = f[6] < 0 ? -f[6] : f[6];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d,%02d:%02d:%02d%c%02d", f[0] % 100, f[1] % 100, f[2] % 100,
                  f[3] % 100, f[4] % 100, f[5] % 100, f[6] < 0 ? '-' : '+', z % 100);
    return buf;
}

namespace {

bool semiOctets(const std::string &digits, std::vector<uint8_t> &out) {
    std::vector<uint8_t> nibs;
    for (char c : digits) {
        if (c >= '0' && c <= '9')
            nibs.push_back(static_cast<uint8_t>(c - '0'));
        else if (c == '*')
            nibs.push_back(10);
        else if (c == '#')
            nibs.push_back(11);
        else if (c == 'a' || c == 'A')
            nibs.push_back(12);
        else if (c == 'b' || c == 'B')
            nibs.push_back(13);
        else if (c == 'c' || c == 'C')
            nibs.push_back(14);
        else
            return false;
    }
    if (nibs.size() % 2)
        nibs.push_back(0x0F);
    for (size_t i = 0; i < nibs.size(); i += 2)
        out.push_back(static_cast<uint8_t>(nibs[i] | nibs[i + 1] << 4));
    return true;
}

} // namespace

bool encodeAddress(const std::string &number, int type, std::vector<uint8_t> &out) {
    const bool intl = !number.empty() && number[0] == '+';
    const std::string digits = intl ? number.substr(1) : number;
    if (digits.size() > 20)
        return false;
    std::vector<uint8_t> packed;
    if (!semiOctets(digits, packed))
        return false;
    out.push_back(static_cast<uint8_t>(digits.size()));
    out.push_back(static_cast<uint8_t>(intl ? 145 : (type & 0xFF) | 0x80));
    out.insert(out.end(), packed.begin(), packed.end());
    return true;
}

bool encodeScAddress(const std::string &number, std::vector<uint8_t> &out) {
    if (number.empty()) {
        out.push_back(0);
        return true;
    }
    const bool intl = number[0] == '+';
    const std::string digits = intl ? number.substr(1) : number;
    std::vector<uint8_t> packed;
    if (digits.size() > 20 || !semiOctets(digits, packed))
        return false;
    out.push_back(static_cast<uint8_t>(packed.size() + 1));
    out.push_back(intl ? 0x91 : 0x81);
    out.insert(out.end(), packed.begin(), packed.end());
    return true;
}

int scFieldLength(const std::vector<uint8_t> &full) {
    // 24.011 8.2.5.1: the RP address, type octet included, is at most 11 octets.
    if (full.empty() || full[0] > 11 || full[0] + 1u > full.size())
        return -1;
    return full[0] + 1;
}

bool replaceDestination(std::vector<uint8_t> &tpdu, const std::string &number, int type) {
    if (tpdu.size() < 4 || (tpdu[0] & 3) != 1)
        return false;
    const size_t oldLen = 2u + (tpdu[2] + 1u) / 2u;
    if (tpdu[2] > 20 || 2 + oldLen > tpdu.size())
        return false;
    std::vector<uint8_t> addr;
    if (!encodeAddress(number, type, addr))
        return false;
    std::vector<uint8_t> out(tpdu.begin(), tpdu.begin() + 2);
    out.insert(out.end(), addr.begin(), addr.end());
    out.insert(out.end(), tpdu.begin() + static_cast<long>(2 + oldLen), tpdu.end());
    tpdu.swap(out);
    return true;
}

} // namespace pdu

} // namespace handsetsim
