// The AT-command terminal: sends commands on a transport and reads their replies through the
// framer (at_framer.cpp), a byte at a time from the push-back ring and then the socket stream.

#include "dv_at.h"

#include <cstring>
#include <new>

#include "at/at_int.h"
#include "dv_log.h"
#include "dv_result.h"
#include "dv_util.h"
#include "dv_vos.h"
#include "transport/ringbuf.h"

namespace {

constexpr int32_t kRxBufSize = 256;
constexpr int32_t kLineBufSize = 256;
constexpr int32_t kCmdBufSize = 64;
constexpr int32_t kPushBackSize = 16;
// At most this much of an old reply is dropped before a command, and a drain for a quiet line
// lasts at most kDrainMaxMs: a handset that never stops talking is not waited out here.
constexpr int32_t kStaleLimit = 64 * 1024;
constexpr uint32_t kDrainMaxMs = 3000;
// How long the line must stay quiet before a command that follows an unfinished reply: long enough
// for the rest of a reply already on its way, short beside any receive time-out.
constexpr int32_t kQuietMs = 50;

// Fixed number of the "comm error" diagnostic line.
constexpr int kDiagComm = 1;

} // namespace

struct AtTe {
    CnsSock *sock = nullptr;   // not owned
    AbsFile *stream = nullptr; // socket stream over sock; owned
    int32_t enabled = 1;
    // The last exchange ended early (a read error, a malformed reply, a reply left half read): what
    // is still on its way belongs to it and is dropped before the next command is sent.
    bool stale = false;
    dvat::Framer framer;
    RingBuf pushBack{}; // read before the socket stream
    uint8_t pushBackStore[kPushBackSize + 1] = {};
    char lineBuf[kLineBufSize] = {};
    char cmdBuf[kCmdBufSize] = {'A', 'T'};
};

namespace {

template <typename F> int32_t guarded(F &&body) {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return DV_E_NOMEM;
    } catch (...) {
        return DV_E_FAIL;
    }
}

// One character of the reply: the push-back ring first, then the socket stream. A socket stream
// reports a closed transport as the end of its data; for the terminal that is a closed link.
int32_t readChar(AtTe *te) {
    if (!te->enabled)
        return DV_E_DISABLED;
    int32_t c = RingBuf_pop(&te->pushBack);
    if (c >= 0)
        return c;
    c = AbsFile_getc(te->stream);
    if (c == ABSFILE_EOF)
        return DV_E_CLOSED;
    return c;
}

// Puts bytes back in front of whatever the push-back ring still holds. Answers how many were
// stored (the ring keeps at most kPushBackSize bytes).
int32_t pushBackFront(AtTe *te, const uint8_t *bytes, int32_t n) {
    uint8_t rest[kPushBackSize];
    int32_t kept = RingBuf_read(&te->pushBack, rest, kPushBackSize);
    RingBuf_clear(&te->pushBack);
    int32_t stored = RingBuf_write(&te->pushBack, bytes, n);
    RingBuf_write(&te->pushBack, rest, kept);
    return stored;
}

// Sends all n bytes, going on after partial writes. A write that moves nothing means the transport
// is closed.
int32_t sendAll(AtTe *te, const void *bytes, int32_t n) {
    const char *p = static_cast<const char *>(bytes);
    int32_t sent = 0;
    while (sent < n) {
        int32_t r = CnsSock_send(te->sock, p + sent, n - sent);
        if (r < 0)
            return r;
        if (r == 0)
            return DV_E_CLOSED;
        sent += r > n - sent ? n - sent : r;
    }
    return sent;
}

// Drops what arrives of an earlier reply until the line has been quiet for quietMs (0: only what
// has already arrived, without waiting). The push-back ring is left alone. Answers 0, or -5 when the
// wait was cancelled meanwhile (the cancel is the caller's, not the drop's).
int32_t dropStale(AtTe *te, int32_t quietMs) {
    int32_t old = 0;
    if (CnsSock_getOpt(te->sock, CNSSOCK_SO_RCVTIMEO, &old) < 0 ||
        CnsSock_setOpt(te->sock, CNSSOCK_SO_RCVTIMEO, quietMs) < 0)
        return 0;
    const uint32_t begin = CnsVos_now();
    int32_t dropped = 0;
    int32_t c = 0;
    while (dropped < kStaleLimit && (c = AbsFile_getc(te->stream)) >= 0) {
        ++dropped;
        if (quietMs > 0 && CnsVos_now() - begin > kDrainMaxMs)
            break;
    }
    CnsSock_setOpt(te->sock, CNSSOCK_SO_RCVTIMEO, old);
    if (dropped > 0) {
        te->framer.lineStart();
        Stdout_printf("AtTe: %d bytes of an earlier reply dropped\n", static_cast<int>(dropped));
    }
    return c == DV_E_CANCELLED ? c : 0;
}

template <typename T> void put(T *out, T value) {
    if (out)
        *out = value;
}

int32_t recvLine(AtTe *te, const char *errorPrefix, int32_t everyLine, dvat::Framer::Mode mode, char *buf,
                 int32_t len, int32_t *lineLen, int32_t *ok, int32_t *code) {
    char *dst = buf;
    size_t cap = len > 0 ? static_cast<size_t>(len) : 0;
    if (!buf || len <= 0) {
        dst = te->lineBuf;
        cap = sizeof te->lineBuf;
    }
    dvat::Framer &fr = te->framer;
    fr.start(errorPrefix, everyLine != 0, mode, dst, cap);
    for (;;) {
        int32_t c = readChar(te);
        if (c < 0) {
            Stdout_printf("AtTe(%d): comm error\n", kDiagComm);
            fr.reset();
            te->stale = true;
            put(lineLen, static_cast<int32_t>(fr.stored()));
            return c;
        }
        const uint8_t byte = static_cast<uint8_t>(c);
        fr.feed(&byte, 1);
        if (fr.event() != dvat::Framer::kNone)
            break;
    }
    put(lineLen, static_cast<int32_t>(fr.stored()));
    if (fr.event() == dvat::Framer::kMalformed)
        te->stale = true;
    if (fr.event() == dvat::Framer::kFinal) {
        put(ok, fr.ok());
        put(code, fr.code());
    }
    return fr.event();
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

/* ---- life cycle ---- */

extern "C" DV_API AtTe *AtTe_new(CnsSock *sock) {
    if (!sock)
        return nullptr;
    AtTe *te = new (std::nothrow) AtTe;
    if (!te)
        return nullptr;
    te->sock = sock;
    te->stream = AbsFileSock_new(sock, kRxBufSize, 0);
    if (!te->stream || RingBuf_init(&te->pushBack, te->pushBackStore, kPushBackSize + 1) != 0) {
        AbsFileSock_delete(te->stream);
        delete te;
        return nullptr;
    }
    return te;
}

extern "C" DV_API void AtTe_delete(AtTe *te) {
    if (!te)
        return;
    AbsFileSock_delete(te->stream);
    delete te;
}

extern "C" DV_API CnsSock *AtTe_getSock(AtTe *te) {
    return te ? te->sock : nullptr;
}

extern "C" DV_API int32_t AtTe_enable(AtTe *te) {
    if (!te)
        return DV_E_ARG;
    te->enabled = 1;
    return 0;
}

extern "C" DV_API int32_t AtTe_disable(AtTe *te) {
    if (!te)
        return DV_E_ARG;
    te->enabled = 0;
    return 0;
}

extern "C" DV_API int32_t AtTe_setRxTimeout(AtTe *te, int32_t ms, int32_t *old) {
    return guarded([&]() -> int32_t {
        if (!te)
            return DV_E_ARG;
        if (!te->enabled)
            return DV_E_DISABLED;
        int32_t previous = 0;
        int32_t r = CnsSock_getOpt(te->sock, CNSSOCK_SO_RCVTIMEO, &previous);
        if (r < 0)
            return r;
        r = CnsSock_setOpt(te->sock, CNSSOCK_SO_RCVTIMEO, ms);
        if (r < 0)
            return r;
        put(old, previous);
        return previous;
    });
}

/* ---- sending ---- */

extern "C" DV_API int32_t AtTe_sendCmd(AtTe *te, const char *cmd) {
    return guarded([&]() -> int32_t {
        if (!te || !cmd)
            return DV_E_ARG;
        if (!te->enabled)
            return DV_E_DISABLED;
        size_t n = std::strlen(cmd);
        if (n > INT32_MAX - kCmdBufSize)
            return DV_E_ARG;
        const int32_t len = static_cast<int32_t>(n);
        // The last reply was left unfinished (a time-out, a listing not read to its end), or was
        // taken for the last command's while an earlier one was still due: its rest may be on its
        // way, so the line is drained until quiet. Otherwise only what has already arrived of a
        // malformed reply is dropped.
        const dvat::Framer &fr = te->framer;
        const int32_t quiet = fr.awaiting() || fr.drainWanted() ? kQuietMs : 0;
        if (quiet > 0 || te->stale || fr.state() != 0) {
            int32_t r = dropStale(te, quiet);
            if (r < 0)
                return r;
        }
        te->stale = false;
        te->framer.newCommand(cmd);
        int32_t r;
        if (len + 4 <= kCmdBufSize) {
            // "AT", the command and CR in one write: the handset sees the command line whole.
            std::memcpy(te->cmdBuf + 2, cmd, n);
            te->cmdBuf[2 + n] = '\r';
            r = sendAll(te, te->cmdBuf, len + 3);
        } else {
            r = sendAll(te, "AT", 2);
            if (r > 0)
                r = sendAll(te, cmd, len);
            if (r > 0)
                r = sendAll(te, "\r", 1);
        }
        if (r < 0) {
            // Part of the line may have gone out, and the handset may yet answer it.
            te->stale = true;
            return r;
        }
        return len;
    });
}

extern "C" DV_API int32_t AtTe_sendData(AtTe *te, const void *bytes, int32_t len) {
    return guarded([&]() -> int32_t {
        if (!te || !bytes)
            return DV_E_ARG;
        if (!te->enabled)
            return DV_E_DISABLED;
        if (len <= 0) {
            size_t n = std::strlen(static_cast<const char *>(bytes));
            if (n > INT32_MAX)
                return DV_E_ARG;
            len = static_cast<int32_t>(n);
        }
        if (len == 0)
            return 0;
        te->framer.dataSent();
        return sendAll(te, bytes, len);
    });
}

/* ---- reading replies ---- */

extern "C" DV_API int32_t AtTe_recvFrmLineExt(AtTe *te, const char *errorPrefix, int32_t everyLine, char *buf,
                                              int32_t len, int32_t *lineLen, int32_t *ok, int32_t *code) {
    return guarded([&]() -> int32_t {
        if (!te)
            return DV_E_ARG;
        if (!te->enabled)
            return DV_E_DISABLED;
        return recvLine(te, errorPrefix, everyLine, dvat::Framer::Mode::Line, buf, len, lineLen, ok, code);
    });
}

extern "C" DV_API int32_t AtTe_recvFrmLine(AtTe *te, const char *errorPrefix, char *buf, int32_t len,
                                           int32_t *lineLen, int32_t *ok, int32_t *code) {
    return AtTe_recvFrmLineExt(te, errorPrefix, 0, buf, len, lineLen, ok, code);
}

extern "C" DV_API int32_t AtTe_recvFrmWhole(AtTe *te, const char *errorPrefix, char *buf, int32_t len,
                                            int32_t *lineLen, int32_t *ok, int32_t *code) {
    return guarded([&]() -> int32_t {
        if (!te)
            return DV_E_ARG;
        if (!te->enabled)
            return DV_E_DISABLED;
        return recvLine(te, errorPrefix, 0, dvat::Framer::Mode::Whole, buf, len, lineLen, ok, code);
    });
}

extern "C" DV_API int32_t AtTe_recvRsp(AtTe *te, const char *errorPrefix, char *buf, int32_t len,
                                       int32_t *total, int32_t *code) {
    return guarded([&]() -> int32_t {
        if (!te)
            return DV_E_ARG;
        if (!te->enabled)
            return DV_E_DISABLED;
        char *dst = buf;
        int32_t cap = len;
        if (!buf || len <= 0) {
            dst = te->lineBuf;
            cap = static_cast<int32_t>(sizeof te->lineBuf);
        }
        // Invariant: pos <= cap - 1, so dst[pos] is always a terminator and every line call gets a
        // buffer of at least one byte.
        int32_t pos = 0;
        int32_t end = 0; // the length without the last CR LF
        // Once a line's CR LF does not fit, later lines are dropped: a piece of one glued onto the
        // line before it would read as part of that line.
        bool full = false;
        dst[0] = '\0';
        for (;;) {
            int32_t lineLen = 0, ok = 0, lineCode = 0;
            int32_t r = recvLine(te, errorPrefix, 0, dvat::Framer::Mode::Line, dst + pos, full ? 1 : cap - pos,
                                 &lineLen, &ok, &lineCode);
            if (r < 0) {
                put(total, end);
                return r;
            }
            pos += lineLen;
            end = pos;
            if (pos + 2 <= cap - 1) {
                dst[pos++] = '\r';
                dst[pos++] = '\n';
                dst[pos] = '\0';
            } else {
                full = true;
            }
            if (r == dvat::Framer::kFinal) {
                put(total, end);
                put(code, lineCode);
                return ok == 1 ? 0 : DV_E_IO;
            }
        }
    });
}

/* ---- whole exchanges ---- */

extern "C" DV_API int32_t AtTe_setAny(AtTe *te, const char *cmd, const char *errorPrefix, int32_t *code) {
    int32_t r = AtTe_sendCmd(te, cmd);
    if (r < 0)
        return r;
    return AtTe_recvRsp(te, errorPrefix, nullptr, 0, nullptr, code);
}

extern "C" DV_API int32_t AtTe_getAny(AtTe *te, const char *cmd, const char *prefix, const char *errorPrefix,
                                      char *buf, int32_t len, int32_t spare) {
    return guarded([&]() -> int32_t {
        if (!te || !buf || len <= 0)
            return DV_E_ARG;
        buf[0] = '\0';
        int32_t r = AtTe_sendCmd(te, cmd);
        if (r < 0)
            return r;
        int32_t lineLen = 0;
        r = AtTe_recvFrmLine(te, errorPrefix, buf, len, &lineLen, nullptr, nullptr);
        if (r < 0) {
            buf[0] = '\0';
            if (NetUtil_isFaultErr(r))
                return r;
            int32_t rest = AtTe_recvRsp(te, errorPrefix, nullptr, 0, nullptr, nullptr);
            return rest < 0 ? rest : DV_E_IO;
        }
        if (r == 1) {
            // a final result where the value was due
            buf[0] = '\0';
            return DV_E_IO;
        }
        // Some handsets lead the value with blanks; none belong to it.
        int32_t from = 0;
        while (from < lineLen && isBlank(buf[from]))
            ++from;
        if (prefix && prefix[0]) {
            int32_t plen = static_cast<int32_t>(std::strlen(prefix));
            if (plen <= lineLen - from && StrUtil_strincmp(buf + from, prefix, plen) == 0) {
                from += plen;
                while (from < lineLen && isBlank(buf[from]))
                    ++from;
            }
        }
        int32_t valueLen = lineLen - from;
        std::memmove(buf, buf + from, static_cast<size_t>(valueLen));
        buf[valueLen] = '\0';
        // The value is one line; whatever follows is only read through to the final result. Every
        // line is tested, so a handset that puts no blank line before its OK ("\r\n+CSQ: 17,99\r\n
        // OK\r\n") answers at once instead of running into the time-out.
        for (;;) {
            int32_t ok = 0;
            r = recvLine(te, errorPrefix, 1, dvat::Framer::Mode::Line, te->lineBuf,
                         static_cast<int32_t>(sizeof te->lineBuf), nullptr, &ok, nullptr);
            if (r < 0)
                return r;
            if (r == dvat::Framer::kFinal)
                return ok == 1 ? valueLen : DV_E_IO;
        }
    });
}

extern "C" DV_API int32_t AtTe_waitUntil(AtTe *te, const char *literal, const char *errorPrefix,
                                         int32_t *code) {
    return guarded([&]() -> int32_t {
        if (!te || !literal || !literal[0])
            return DV_E_ARG;
        if (!te->enabled)
            return DV_E_DISABLED;
        // The literal is a run of line-end characters (possibly none) and a tail. Handsets differ in
        // how they end the echo ahead of a prompt (CR LF, CR CR LF, an extra CR LF), so the run
        // matches any non-empty run of CRs and LFs.
        const size_t litLen = std::strlen(literal);
        size_t lead = 0;
        while (lead < litLen && (literal[lead] == '\r' || literal[lead] == '\n'))
            ++lead;
        // A literal of line ends only has no tail to wait for: it is matched as it stands, so the
        // match never runs past its terminator.
        if (lead == litLen)
            lead = 0;
        const size_t tailLen = litLen - lead;
        // What a failed try gives back: CR LF for the run (when it held one), the matched part of the
        // tail and the byte that broke it.
        if ((lead > 0 ? 2 : 0) + tailLen > static_cast<size_t>(kPushBackSize))
            return DV_E_ARG;
        // What is read here bypasses the framer: it starts again at a line start.
        te->framer.lineStart();
        for (;;) {
            uint8_t back[kPushBackSize];
            int32_t nBack = 0;
            bool runHadCrLf = false, prevCr = false;
            size_t matched = 0; // of the tail
            int32_t c = readChar(te);
            if (c < 0)
                return c;
            bool echoLine = false;
            for (;;) {
                const bool lineEnd = c == '\r' || c == '\n';
                if (matched == 0 && (c == 'A' || c == 'a') && c != static_cast<uint8_t>(literal[lead])) {
                    // An echoed command line (after the end of an earlier echo, when the handset
                    // echoes twice): skip it up to its CR and try again.
                    echoLine = true;
                    break;
                }
                if (lead > 0 && matched == 0 && lineEnd) {
                    runHadCrLf = runHadCrLf || (prevCr && c == '\n');
                    prevCr = c == '\r';
                } else if (c == static_cast<uint8_t>(literal[lead + matched])) {
                    // The run of line ends may be missing altogether: some handsets send a bare "> ".
                    if (++matched == tailLen)
                        return 0;
                } else {
                    break;
                }
                c = readChar(te);
                if (c < 0)
                    return c;
            }
            if (echoLine) {
                te->framer.echoRead();
                do
                    c = readChar(te);
                while (c >= 0 && c != '\r');
                if (c < 0)
                    return c;
                continue;
            }
            // Something else came: give it back and read it as the reply.
            if (runHadCrLf) {
                back[nBack++] = '\r';
                back[nBack++] = '\n';
            }
            std::memcpy(back + nBack, literal + lead, matched);
            nBack += static_cast<int32_t>(matched);
            back[nBack++] = static_cast<uint8_t>(c);
            pushBackFront(te, back, nBack);
            int32_t r = AtTe_recvRsp(te, errorPrefix, nullptr, 0, nullptr, code);
            return r == 0 ? DV_E_MALFORMED : r;
        }
    });
}

extern "C" DV_API int32_t AtTe_testLink(AtTe *te, int32_t ms, int32_t tries) {
    return guarded([&]() -> int32_t {
        if (!te)
            return DV_E_ARG;
        if (!te->enabled)
            return DV_E_DISABLED;
        if (tries <= 0)
            return 0;
        int32_t old = 0;
        const bool restore = AtTe_setRxTimeout(te, ms, &old) >= 0;
        int32_t r = 0;
        for (int32_t i = 0; i < tries; ++i) {
            r = AtTe_sendCmd(te, "");
            if (r >= 0)
                r = AtTe_recvRsp(te, nullptr, nullptr, 0, nullptr, nullptr);
            if (r >= 0 || r == DV_E_CANCELLED || r == DV_E_DISABLED)
                break;
        }
        if (restore)
            CnsSock_setOpt(te->sock, CNSSOCK_SO_RCVTIMEO, old);
        return r < 0 ? r : 0;
    });
}

extern "C" DV_API int32_t AtTe_setEcho(AtTe *te, int32_t on) {
    return AtTe_setAny(te, on == 1 ? "E1" : "E0", nullptr, nullptr);
}

extern "C" DV_API int32_t AtTe_getEcho(AtTe *te) {
    return DV_E_NOTIMPL;
}
