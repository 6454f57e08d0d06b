// Fuzz entry for what a handset may send the AT terminal: the reply framer and the two lexers.
// The first input byte picks the framer's settings (everyLine, buffer size, error prefix); the rest
// is the reply.
// Promise on any input: a result, never a crash; every line stored fits its buffer and is
// terminated at the length reported; every event is one the framer may answer; the same events
// come out whether the reply is fed whole or byte by byte; lexer tokens stay terminated.

#include "at/at_int.h"
#include "dv_at.h"
#include "dv_stream.h"
#include "fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Event {
    int32_t event;
    std::string line;
    int32_t ok;
    int32_t code;
    bool operator==(const Event &o) const {
        return event == o.event && line == o.line && ok == o.ok && code == o.code;
    }
};

std::vector<Event> frameAll(const uint8_t *data, size_t size, size_t slice, bool everyLine, size_t cap,
                            const char *errorPrefix, dvat::Framer::Mode mode) {
    dvat::Framer f;
    f.newCommand("+CPBR=1,10");
    std::vector<char> buf(cap + 1, '#'); // one guard byte after the buffer handed out
    std::vector<Event> events;
    size_t at = 0;
    while (at < size) {
        f.start(errorPrefix, everyLine, mode, cap ? buf.data() : nullptr, cap);
        while (at < size && f.event() == dvat::Framer::kNone) {
            size_t n = size - at < slice ? size - at : slice;
            size_t used = f.feed(data + at, n);
            FUZZ_CHECK(used <= n);
            FUZZ_CHECK(used == n || f.event() != dvat::Framer::kNone);
            at += used;
        }
        FUZZ_CHECK(buf[cap] == '#');
        const int32_t e = f.event();
        if (e == dvat::Framer::kNone)
            break;
        FUZZ_CHECK(e == dvat::Framer::kLine || e == dvat::Framer::kFinal || e == dvat::Framer::kMalformed);
        std::string line;
        if (cap) {
            FUZZ_CHECK(f.stored() < cap);
            FUZZ_CHECK(buf[f.stored()] == '\0');
            line.assign(buf.data(), f.stored());
        }
        events.push_back(
            {e, line, e == dvat::Framer::kFinal ? f.ok() : 0, e == dvat::Framer::kFinal ? f.code() : 0});
    }
    return events;
}

void lexAll(const uint8_t *data, size_t size, bool bnf) {
    std::vector<uint8_t> copy(data, data + size);
    AbsFile *in =
        AbsFileMem_new(copy.data(), static_cast<int32_t>(copy.size()), static_cast<int32_t>(copy.size()), 0);
    StrBuf *sb = StrBuf_new(8);
    FUZZ_CHECK(in && sb);
    // Every call takes at least one byte or ends with an error, so size + 1 calls always finish.
    for (size_t i = 0; i <= size; ++i) {
        int32_t r = bnf ? BnfLex_get1(in, sb, ",") : AtLex_do(in, sb);
        FUZZ_CHECK(std::strlen(StrBuf_buf(sb)) <= static_cast<size_t>(StrBuf_len(sb)));
        if (r < 0)
            break;
        FUZZ_CHECK(r < 260);
    }
    StrBuf_delete(sb);
    AbsFileMem_delete(in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t knobs = data[0];
    ++data;
    --size;
    const bool everyLine = knobs & 1;
    static const size_t kCaps[] = {0, 1, 2, 8, 64};
    const size_t cap = kCaps[(knobs >> 1) % 5];
    static const char *const kPrefixes[] = {nullptr, "+CME", "+CMS", "123456789"};
    const char *prefix = kPrefixes[(knobs >> 4) & 3];
    const auto mode = (knobs & 0x40) ? dvat::Framer::Mode::Whole : dvat::Framer::Mode::Line;

    const std::vector<Event> whole = frameAll(data, size, size ? size : 1, everyLine, cap, prefix, mode);
    FUZZ_CHECK(frameAll(data, size, 1, everyLine, cap, prefix, mode) == whole);
    FUZZ_CHECK(frameAll(data, size, 7, everyLine, cap, prefix, mode) == whole);

    dvat::FinalResult f = dvat::classifyFinal(reinterpret_cast<const char *>(data), size, prefix);
    FUZZ_CHECK(!f.isFinal || f.ok == 0 || f.ok == 1);
    FUZZ_CHECK(f.code >= 0);

    lexAll(data, size, false);
    lexAll(data, size, true);
    return 0;
}
