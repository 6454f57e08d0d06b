// Fuzz entry for the encoders that callers feed: the SMS SUBMIT encoder (a message record as a
// caller fills it, fields possibly unterminated, counts possibly wrong), the vCard writers (every
// property, every character set and encoding, records read within their fields) and the CSV
// encoder (long fields, quotes, line ends). The input is cut into the records and texts.
// Promise on any input: a result, never a crash; nothing written past an output's size; a SUBMIT
// that encodes decodes as a SUBMIT; every vCard property written reads back as one property; every
// CSV line written reads back (as one line or more: CR and LF are not quoted).

#include "dv_csv.h"
#include "dv_result.h"
#include "dv_stream.h"
#include "dv_vcard.h"
#include "fuzz/fuzz_check.h"
#include "sms_pdu.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Hands out the input piece by piece; zero bytes when it runs out.
struct Take {
    const uint8_t *data;
    size_t size;
    size_t pos = 0;
    void bytes(void *out, size_t n) {
        auto *o = static_cast<uint8_t *>(out);
        for (size_t i = 0; i < n; ++i)
            o[i] = pos < size ? data[pos++] : 0;
    }
    uint8_t byte() {
        uint8_t b = 0;
        bytes(&b, 1);
        return b;
    }
    // A text of up to max bytes (no zero byte inside), ended by a zero byte in the input.
    std::string text(size_t max) {
        std::string s;
        while (pos < size && data[pos] != 0 && s.size() < max)
            s.push_back(static_cast<char>(data[pos++]));
        if (pos < size && data[pos] == 0)
            ++pos;
        return s;
    }
};

void smsSubmit(Take &in) {
    SmsPduRec rec;
    in.bytes(&rec, sizeof rec);
    std::vector<uint8_t> out(SMS_PDU_SUBMIT_BUF + 8, 0xA5);
    int32_t n = SmsPdu_encodeSubmit(&rec, out.data(), SMS_PDU_SUBMIT_BUF);
    FUZZ_CHECK(n == DV_E_ARG || (n > 0 && n <= SMS_PDU_SUBMIT_BUF));
    for (size_t i = SMS_PDU_SUBMIT_BUF; i < out.size(); ++i)
        FUZZ_CHECK(out[i] == 0xA5);
    if (n > 0) {
        SmsPduRec back;
        FUZZ_CHECK(SmsPdu_decode(out.data(), static_cast<size_t>(n), &back) == SMS_PDU_SUBMIT);
    }
    SmsSendRec msg;
    in.bytes(&msg, sizeof msg);
    n = SmsPdu_encodeSendRec(&msg, out.data(), SMS_PDU_SUBMIT_BUF);
    FUZZ_CHECK(n == DV_E_TOOLONG || (n > 0 && n <= SMS_PDU_SUBMIT_BUF));
    if (n > 0) {
        SmsPduRec back;
        FUZZ_CHECK(SmsPdu_decode(out.data(), static_cast<size_t>(n), &back) == SMS_PDU_SUBMIT);
    }
}

void vcardWriters(Take &in) {
    static const int32_t kCharsets[] = {VCARD_CHARSET_LOCAL, VCARD_CHARSET_UCS2, VCARD_CHARSET_UTF8,
                                        VCARD_CHARSET_UTF7};
    uint8_t pick = in.byte();
    int32_t flags = static_cast<int32_t>(in.byte()) << 4 | (in.byte() & 0xF);
    VcardName name;
    VcardAddr addr;
    in.bytes(&name, sizeof name); // parts possibly unterminated
    in.bytes(&addr, sizeof addr);
    std::string s = in.text(4096);
    AbsFile *f = MemBuf_new(256, 0);
    FUZZ_CHECK(f != nullptr);
    Vcard *v = Vcard_new(f);
    FUZZ_CHECK(v != nullptr);
    FUZZ_CHECK(Vcard_setEncodeMethod(v, kCharsets[pick % 4], (pick >> 2) & 1) == 0);
    const char *t = s.c_str();
    int32_t results[] = {Vcard_addBeg(v),
                         Vcard_addName(v, t),
                         Vcard_addNameExt(v, &name),
                         Vcard_addBirthday(v, t),
                         Vcard_addTel(v, flags, t),
                         Vcard_addMail(v, flags, t),
                         Vcard_addWeb(v, flags, t),
                         Vcard_addAddr(v, flags, &addr),
                         Vcard_addOrganize(v, t),
                         Vcard_addTitle(v, t),
                         Vcard_addNote(v, t),
                         Vcard_addGrp(v, t),
                         Vcard_addEnd(v)};
    for (int32_t r : results)
        FUZZ_CHECK(r == 0);
    // BEGIN, then eleven properties and END (VERSION is skipped by the reader).
    AbsFile_seek(f, 0, 0);
    int count = 0;
    std::vector<char> value(8192);
    for (;;) {
        int32_t type = 0, size = static_cast<int32_t>(value.size());
        int32_t r = Vcard_get(v, &type, nullptr, value.data(), &size, nullptr, 0);
        FUZZ_CHECK(r == 0 || r == 1);
        if (r == 0)
            break;
        FUZZ_CHECK(size >= 0 && size < static_cast<int32_t>(value.size()));
        ++count;
    }
    FUZZ_CHECK(count == 13);
    Vcard_delete(v);
    MemBuf_delete(f);
}

struct CsvLines {
    int begins = 0, ends = 0;
    static void begin(void *ctx) { ++static_cast<CsvLines *>(ctx)->begins; }
    static void item(void *, const char *text) { FUZZ_CHECK(text != nullptr); }
    static void end(void *ctx) { ++static_cast<CsvLines *>(ctx)->ends; }
};

void csvEncoder(Take &in) {
    char path[] = "/tmp/selvark-encode-fuzz-XXXXXX";
    int fd = mkstemp(path);
    FUZZ_CHECK(fd >= 0);
    close(fd);
    CsvFileEnc *e = CsvFileEnc_new(path);
    FUZZ_CHECK(e != nullptr);
    int lines = 1 + in.byte() % 4;
    for (int l = 0; l < lines; ++l) {
        FUZZ_CHECK(CsvFileEnc_addLineBeg(e) == 1);
        int items = 1 + in.byte() % 8;
        for (int i = 0; i < items; ++i) {
            std::string field = in.text(16 * 1024);
            int32_t r = (field.size() == 1 && field[0] == '#') ? CsvFileEnc_addLineItemInt(e, INT32_MIN)
                                                               : CsvFileEnc_addLineItemStr(e, field.c_str());
            FUZZ_CHECK(r == 1 || r < 0);
        }
        int32_t r = CsvFileEnc_addLineEnd(e);
        FUZZ_CHECK(r == 1 || r < 0);
    }
    CsvFileEnc_delete(e);
    CsvFileDec *d = CsvFileDec_new(path);
    FUZZ_CHECK(d != nullptr);
    CsvLines seen;
    CsvFileDecHandler table{CsvLines::begin, CsvLines::item, CsvLines::end, &seen};
    FUZZ_CHECK(CsvFileDec_regHandle(d, &table) == 1);
    int32_t r = CsvFileDec_do(d, 0);
    // CR or LF inside a field is written as it stands, so lines may read back split.
    FUZZ_CHECK((r >= 0 || r == -4) && seen.begins == seen.ends);
    CsvFileDec_delete(d);
    std::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 64 * 1024)
        return 0;
    Take in{data, size};
    smsSubmit(in);
    vcardWriters(in);
    csvEncoder(in);
    return 0;
}
