// Fuzz entry for the AT terminal's readers over a transport that serves the input as the handset's
// replies (tests/fuzz/feed_sock.h), and for the BNF and AT lexers with every separator and blank
// set the callers use, over a memory stream and over the socket stream. The first byte picks the
// buffer sizes and the lexer sets; the rest is what the handset sends.
// Promise on any input: a result, never a crash or a hang; every buffer the terminal fills is
// terminated within its length at the length reported, and nothing is written past it; results
// are the codes the terminal may answer.

#include "dv_at.h"
#include "dv_result.h"
#include "dv_stream.h"
#include "fuzz/feed_sock.h"
#include "fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxLines = 4000;

// A buffer of len bytes with guard bytes after it.
struct Guarded {
    std::vector<char> bytes;
    int32_t len;
    explicit Guarded(int32_t n) : bytes(static_cast<size_t>(n) + 8, '#'), len(n) {}
    char *buf() { return bytes.data(); }
    void check(int32_t stored) {
        for (size_t i = static_cast<size_t>(len); i < bytes.size(); ++i)
            FUZZ_CHECK(bytes[i] == '#');
        if (len > 0 && stored >= 0) {
            FUZZ_CHECK(stored < len);
            FUZZ_CHECK(bytes[static_cast<size_t>(stored)] == '\0');
        }
    }
};

void checkCode(int32_t r) { FUZZ_CHECK(r >= DV_E_DISABLED); }

void terminal(const uint8_t *data, size_t size, int32_t len) {
    FeedSock feed(data, size);
    AtTe *te = AtTe_new(&feed.sock);
    FUZZ_CHECK(te != nullptr);
    checkCode(AtTe_testLink(te, 10, 2));
    checkCode(AtTe_setEcho(te, 0));
    {
        Guarded g(len);
        int32_t r = AtTe_getAny(te, "+CGMI", "+CGMI:", "+CME", g.buf(), g.len, 0);
        checkCode(r);
        g.check(r >= 0 ? r : -1);
        Guarded m(len);
        r = GdcTe_getModel(te, m.buf(), m.len);
        m.check(r >= 0 ? r : -1);
    }
    // A listing read line by line, both framings.
    for (int32_t everyLine = 0; everyLine < 2; ++everyLine) {
        checkCode(AtTe_sendCmd(te, "+CPBR=1,10"));
        for (int i = 0;; ++i) {
            FUZZ_CHECK(i < kMaxLines);
            Guarded g(len);
            int32_t lineLen = -1, ok = -1, code = -1;
            int32_t r = AtTe_recvFrmLineExt(te, "+CME", everyLine, g.buf(), g.len, &lineLen, &ok, &code);
            checkCode(r);
            if (r < 0)
                break;
            FUZZ_CHECK(r == 1 || r == 2);
            g.check(lineLen);
            if (r == 1) {
                FUZZ_CHECK(ok == 0 || ok == 1);
                break;
            }
        }
    }
    {
        checkCode(AtTe_sendCmd(te, "+CMGL=4"));
        Guarded g(len);
        int32_t lineLen = -1, ok = -1, code = -1;
        int32_t r = AtTe_recvFrmWhole(te, "+CMS", g.buf(), g.len, &lineLen, &ok, &code);
        checkCode(r);
        if (r >= 0)
            g.check(lineLen);
        if (r == 2) {
            Guarded f(len);
            r = AtTe_recvFrmWhole(te, "+CMS", f.buf(), f.len, &lineLen, &ok, &code);
            checkCode(r);
        }
    }
    {
        checkCode(AtTe_sendCmd(te, "+CPMS?"));
        Guarded g(len);
        int32_t total = -1, code = -1;
        int32_t r = AtTe_recvRsp(te, "+CMS", g.buf(), g.len, &total, &code);
        checkCode(r);
        g.check(-1);
        if ((r == 0 || r == DV_E_IO) && g.len > 0) {
            // total leaves out the last CR LF, which stays in the buffer.
            size_t n = strnlen(g.buf(), static_cast<size_t>(g.len));
            FUZZ_CHECK(n < static_cast<size_t>(g.len) && total >= 0 && static_cast<size_t>(total) <= n);
        }
    }
    int32_t code = 0;
    checkCode(AtTe_sendCmd(te, "+CMGS=20"));
    checkCode(AtTe_waitUntil(te, "\r\n> ", "+CMS", &code));
    checkCode(AtTe_setAny(te, "+CMEE=1", "+CME", &code));
    AtTe_delete(te);
}

void lexers(const uint8_t *data, size_t size, uint8_t pick) {
    static const char *const kSeparators[] = {",", ",;()", ":", ",;(-)", "", nullptr};
    static const char *const kBlanks[] = {" \t", " \t\r\n", "", nullptr};
    const char *seps = kSeparators[pick % 6];
    const char *blanks = kBlanks[(pick / 6) % 4];
    bool keep = (pick & 0x80) == 0;
    for (int overSocket = 0; overSocket < 2; ++overSocket) {
        std::vector<uint8_t> copy(data, data + size);
        FeedSock feed(data, size);
        AbsFile *in = overSocket ? AbsFileSock_new(&feed.sock, 16, 0)
                                 : AbsFileMem_new(copy.data(), static_cast<int32_t>(copy.size()),
                                                  static_cast<int32_t>(copy.size()), 0);
        FUZZ_CHECK(in != nullptr);
        StrBuf *sb = StrBuf_new(8);
        FUZZ_CHECK(sb != nullptr);
        for (int bnf = 0; bnf < 2; ++bnf) {
            // Each token takes at least one byte or ends with an error.
            for (size_t i = 0; i <= size; ++i) {
                int32_t r = bnf ? BnfLex_get2(in, keep ? sb : nullptr, seps, blanks) : AtLex_doExt(in, sb, seps, blanks);
                FUZZ_CHECK(std::strlen(StrBuf_buf(sb)) <= static_cast<size_t>(StrBuf_len(sb)));
                if (r < 0)
                    break;
                FUZZ_CHECK(r <= AT_TOK_CRLF);
            }
            AbsFile_seek(in, 0, 0);
        }
        StrBuf_delete(sb);
        if (overSocket)
            AbsFileSock_delete(in);
        else
            AbsFileMem_delete(in);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 16 * 1024)
        return 0;
    static const int32_t kLens[] = {0, 1, 2, 3, 8, 64, 256, 1024};
    terminal(data + 1, size - 1, kLens[data[0] % 8]);
    lexers(data + 1, size - 1, data[0]);
    return 0;
}
