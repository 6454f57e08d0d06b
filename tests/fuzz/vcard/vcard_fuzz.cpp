// Fuzz entry for the vCard reader, the N and ADR splitters and the card splitter, over any bytes a
// handset or a file may hold.
// Promise on any input: every call answers a result (never a crash); a value is terminated and
// shorter than its room; feeding the input in two pieces gives the same properties as feeding it
// whole; and a value written in UTF-8 (any bytes), UCS-2 or UTF-7 (basic-plane text) reads back
// unchanged.

#include "charset/charset_int.h"
#include "dv_charset.h"
#include "dv_result.h"
#include "dv_stream.h"
#include "dv_vcard.h"
#include "fuzz/fuzz_check.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Prop {
    int32_t type, flags;
    std::string value;
    bool operator==(const Prop &o) const { return type == o.type && flags == o.flags && value == o.value; }
};

// Reads every property the stream holds now.
void drain(Vcard *v, int32_t room, std::vector<Prop> &props) {
    std::vector<char> out(static_cast<size_t>(room) + 1);
    for (;;) {
        char name[16];
        int32_t type = -1, flags = -1, size = room;
        out[0] = '#';
        int32_t r = Vcard_get(v, &type, &flags, out.data(), &size, name, sizeof name);
        FUZZ_CHECK(r == 0 || r == 1);
        if (r == 0) {
            FUZZ_CHECK(size == 0 && type == 0 && flags == 0);
            return;
        }
        FUZZ_CHECK(size >= 0 && size < room && out[static_cast<size_t>(size)] == '\0');
        if (type == VCARD_TYPE_OTHER)
            FUZZ_CHECK(std::strlen(name) < sizeof name);
        std::string value(out.data(), static_cast<size_t>(size));
        props.push_back({type, flags, value});

        VcardName n;
        VcardAddr a;
        char text[64];
        FUZZ_CHECK(VcardName_dec(&n, value.c_str()) == 0);
        FUZZ_CHECK(VcardName_toStr(&n, text, sizeof text) < static_cast<int32_t>(sizeof text));
        int32_t e = VcardName_enc(&n, text, sizeof text);
        FUZZ_CHECK((e == 0 || e == DV_E_FULL) && std::strlen(text) < sizeof text);
        FUZZ_CHECK(VcardAddr_dec(&a, value.c_str()) == 0);
        FUZZ_CHECK(VcardAddr_toStr(&a, text, sizeof text) < static_cast<int32_t>(sizeof text));
        e = VcardAddr_enc(&a, text, sizeof text);
        FUZZ_CHECK((e == 0 || e == DV_E_FULL) && std::strlen(text) < sizeof text);
    }
}

// Reads the data, first split into two pieces at cut.
std::vector<Prop> readPieces(const uint8_t *data, size_t size, size_t cut, int32_t room) {
    AbsFile *f = MemBuf_new(static_cast<int32_t>(size) + 16, 0);
    FUZZ_CHECK(f != nullptr);
    Vcard *v = Vcard_new(f);
    FUZZ_CHECK(v != nullptr);
    std::vector<Prop> props;
    // A MemBuf shares its position between reading and writing: append each piece at the end, then
    // go back to where reading stopped.
    int32_t readPos = 0;
    for (int piece = 0; piece < 2; ++piece) {
        const uint8_t *p = piece == 0 ? data : data + cut;
        size_t n = piece == 0 ? cut : size - cut;
        FUZZ_CHECK(AbsFile_seek(f, 0, 2) == 0);
        FUZZ_CHECK(AbsFile_write(f, p, static_cast<int32_t>(n)) == static_cast<int32_t>(n));
        FUZZ_CHECK(AbsFile_seek(f, readPos, 0) == 0);
        drain(v, room, props);
        readPos = AbsFile_tell(f);
    }
    Vcard_delete(v);
    MemBuf_delete(f);
    return props;
}

void checkSplitter(const uint8_t *data, size_t size) {
    AbsFile *in = MemBuf_new(static_cast<int32_t>(size) + 16, 0);
    AbsFile *out = MemBuf_new(64, 0);
    FUZZ_CHECK(in && out);
    FUZZ_CHECK(AbsFile_write(in, data, static_cast<int32_t>(size)) == static_cast<int32_t>(size));
    AbsFile_seek(in, 0, 0);
    VcfStrmDec *d = VcfStrmDec_new();
    FUZZ_CHECK(d != nullptr);
    int32_t r;
    int cards = 0;
    while ((r = VcfStrmDec_dec(d, in, out)) == 1)
        ++cards;
    FUZZ_CHECK(r == 0 && cards >= 0);
    r = VcfStrmDec_finish(d, out);
    FUZZ_CHECK(r == 0 || r == 1);
    FUZZ_CHECK(VcfStrmDec_finish(d, out) == 0); // nothing is left open
    // Each line goes out with CR LF (an empty line may double), and a card cut short gets one
    // "END:VCARD" CR LF per open level (a level needs a BEGIN line of 11 bytes at least).
    FUZZ_CHECK(MemBuf_len(out) <= static_cast<int32_t>(2 * size + 11 * (size / 11 + 1)));
    VcfStrmDec_delete(d);
    MemBuf_delete(out);
    MemBuf_delete(in);
}

void checkRoundTrip(const std::string &value, int32_t charset) {
    for (int32_t encoding : {0, 1}) {
        AbsFile *f = MemBuf_new(256, 0);
        Vcard *v = Vcard_new(f);
        FUZZ_CHECK(Vcard_setEncodeMethod(v, charset, encoding) == 0);
        FUZZ_CHECK(Vcard_addNote(v, value.c_str()) == 0);
        FUZZ_CHECK(Vcard_addEnd(v) == 0);
        AbsFile_seek(f, 0, 0);
        std::vector<Prop> props;
        drain(v, static_cast<int32_t>(value.size()) + 2, props);
        FUZZ_CHECK(props.size() == 2 && props[0].type == VCARD_TYPE_NOTE && props[0].value == value);
        Vcard_delete(v);
        MemBuf_delete(f);
    }
}

// A card's last line is complete at the end of the data, so a first piece whose last logical line
// (folded lines joined) begins with "END:VCARD" may read differently from the whole input (where
// more of that line could follow).
bool endsWithEnd(const uint8_t *data, size_t n) {
    std::string s(reinterpret_cast<const char *>(data), n);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n'))
        s.pop_back();
    for (;;) {
        size_t start = s.find_last_of("\r\n");
        std::string line = s.substr(start == std::string::npos ? 0 : start + 1);
        bool folded = !line.empty() && (line[0] == ' ' || line[0] == '\t');
        if (folded && start != std::string::npos) {
            s.resize(start); // a continuation: its logical line began further up
            while (!s.empty() && (s.back() == '\r' || s.back() == '\n'))
                s.pop_back();
            continue;
        }
        if (line.size() < 9)
            return false;
        for (size_t i = 0; i < 9; ++i)
            if (std::toupper(static_cast<unsigned char>(line[i])) != "END:VCARD"[i])
                return false;
        return true;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 64 * 1024)
        return 0;
    // Named character sets (CHARSET=SHIFT_JIS ...) go through the conversion library.
    static const bool loaded = CsUtil_loadFrom(SELVARK_QUORL_PATH) == 0;
    FUZZ_CHECK(loaded);
    std::vector<Prop> whole = readPieces(data, size, size, 4096);
    std::vector<Prop> pieces = readPieces(data, size, size / 2, 4096);
    FUZZ_CHECK(whole == pieces || endsWithEnd(data, size / 2));
    readPieces(data, size, size / 3, 3); // tiny room: values are cut, never overrun
    checkSplitter(data, size);
    // Any bytes survive UTF-8; text as the UCS-2 converters give it back survives UCS-2 and UTF-7.
    std::string value(reinterpret_cast<const char *>(data), size);
    value = value.substr(0, value.find('\0'));
    checkRoundTrip(value, VCARD_CHARSET_UTF8);
    std::vector<uint8_t> ucs2(2 * (value.size() + 1));
    int32_t units = CsUtil_utf8ToUcs2(value.c_str(), ucs2.data(), static_cast<int32_t>(value.size() + 1));
    std::vector<char> canonical(3 * static_cast<size_t>(units) + 1);
    int32_t n = CsUtil_ucs2ToUtf8(ucs2.data(), units, canonical.data(), static_cast<int32_t>(canonical.size()));
    std::string text(canonical.data(), static_cast<size_t>(n));
    checkRoundTrip(text, VCARD_CHARSET_UCS2);
    // Characters beyond the basic plane travel as surrogate pairs, which the UTF-7 decoder does not
    // join yet: UTF-7 is checked on basic-plane text only.
    bool basicPlane = true;
    for (unsigned char c : text)
        basicPlane = basicPlane && c < 0xF0;
    if (basicPlane)
        checkRoundTrip(text, VCARD_CHARSET_UTF7);
    return 0;
}
