// AbsFileSock: a transport read through a receive buffer, so the lexers can take a reply byte by
// byte without one transport receive per byte.

#include "stream/stream_int.h"
#include "dv_result.h"

#include <cstdlib>
#include <cstring>
#include <new>

using namespace dvstream;

namespace {

struct SockObj {
    uint32_t magic;
    AbsFile itf;
    CnsSock *sock;
    uint8_t *rx;
    int32_t rxSize;
    int32_t fill; // bytes in rx
    int32_t rpos; // next byte to hand out
    PrintBuf print;
};

SockObj *self(AbsFile *f) { return static_cast<SockObj *>(f->self); }

// One transport receive into the empty buffer: > 0 bytes, -202 when the transport answered 0, or
// the transport's error.
int32_t refill(SockObj *s) {
    int32_t r = s->sock->recv(s->sock, s->rx, s->rxSize);
    if (r == 0)
        return DV_E_EOF;
    if (r < 0)
        return r;
    s->fill = r > s->rxSize ? s->rxSize : r;
    s->rpos = 0;
    return s->fill;
}

void sockDel(AbsFile *f) { AbsFileSock_delete(f); }

int32_t sockSend(SockObj *s, const void *src, int32_t n) { return s->sock->send(s->sock, src, n, 0, 0); }

int32_t sockPutc(AbsFile *f, int32_t ch) {
    uint8_t byte = static_cast<uint8_t>(ch);
    int32_t r = sockSend(self(f), &byte, 1);
    if (r < 0)
        return r;
    return r == 1 ? static_cast<int32_t>(byte) : static_cast<int32_t>(DV_E_IO);
}

int32_t sockGetc(AbsFile *f) {
    SockObj *s = self(f);
    if (s->rpos >= s->fill) {
        int32_t r = refill(s);
        if (r < 0)
            return r;
    }
    return s->rx[s->rpos++];
}

int32_t sockUngetc(AbsFile *f) {
    SockObj *s = self(f);
    if (s->rpos <= 0)
        return DV_E_STATE;
    --s->rpos;
    return 0;
}

int32_t sockRead(AbsFile *f, void *dst, int32_t n) {
    SockObj *s = self(f);
    if (n <= 0 || !dst)
        return 0;
    if (s->rpos >= s->fill) {
        int32_t r = refill(s);
        if (r == DV_E_EOF)
            return 0;
        if (r < 0)
            return r;
    }
    int32_t k = s->fill - s->rpos < n ? s->fill - s->rpos : n;
    std::memcpy(dst, s->rx + s->rpos, static_cast<size_t>(k));
    s->rpos += k;
    return k;
}

int32_t sockWrite(AbsFile *f, const void *src, int32_t n) {
    if (n <= 0 || !src)
        return 0;
    return sockSend(self(f), src, n);
}

int32_t sockPrintf(AbsFile *f, const char *fmt, ...) {
    SockObj *s = self(f);
    va_list args;
    va_start(args, fmt);
    int32_t len = PrintBuf_format(s->print, false, "Fault err on AbsFileSock_printf\n", fmt, args);
    va_end(args);
    if (len <= 0)
        return len;
    return sockSend(s, s->print.buf, len);
}

int32_t sockSeek(AbsFile *, int32_t, int32_t) { return DV_E_UNSUPPORTED; }
int32_t sockNone(AbsFile *) { return DV_E_UNSUPPORTED; }

} // namespace

extern "C" DV_API AbsFile *AbsFileSock_new(CnsSock *sock, int32_t rxSize, int32_t printSize) {
    if (!sock)
        return nullptr;
    auto *s = new (std::nothrow) SockObj{};
    if (!s)
        return nullptr;
    s->rxSize = rxSize > 0 ? rxSize : 256;
    s->rx = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(s->rxSize)));
    if (!s->rx) {
        delete s;
        return nullptr;
    }
    s->magic = kMagicSock;
    s->sock = sock;
    s->itf = AbsFile{s, sockDel, sockPutc, sockGetc, sockUngetc, sockRead, sockWrite, sockPrintf,
                     sockSeek, sockNone, sockNone, sockNone};
    // A print buffer that cannot be had is reported by printf (-2).
    PrintBuf_init(s->print, printSize);
    return &s->itf;
}

extern "C" DV_API void AbsFileSock_delete(AbsFile *stream) {
    SockObj *s = objectOf<SockObj>(stream, kMagicSock);
    if (!s)
        return;
    std::free(s->rx);
    PrintBuf_free(s->print);
    s->magic = 0;
    delete s;
}
