/*
 * feed_sock.h — a transport for fuzz entries that talk to a handset: every command sent is taken
 * whole, and the input bytes come back as the handset's replies, handed out in uneven pieces as a
 * link does. When the input runs out the link is closed (-71), so no call ever waits for a time-out.
 */
#ifndef SELVARK_FUZZ_FEED_SOCK_H
#define SELVARK_FUZZ_FEED_SOCK_H

#include "dv_result.h"
#include "dv_transport.h"
#include "fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

struct FeedSock {
    CnsSock sock{};
    const uint8_t *data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    int32_t rxTimeout = 1000;
    size_t sent = 0; // bytes of commands taken

    FeedSock(const uint8_t *bytes, size_t count) : data(bytes), size(count) {
        sock.self = this;
        sock.open = [](CnsSock *) -> int32_t { return 0; };
        sock.close = [](CnsSock *) -> int32_t { return 0; };
        sock.nop = [](CnsSock *) -> int32_t { return 0; };
        sock.send = [](CnsSock *s, const void *buf, int32_t len, int32_t, int32_t) -> int32_t {
            FUZZ_CHECK(buf && len >= 0);
            self(s)->sent += static_cast<size_t>(len);
            return len;
        };
        sock.recv = [](CnsSock *s, void *buf, int32_t len) -> int32_t {
            FeedSock *f = self(s);
            if (len <= 0)
                return 0;
            if (f->pos >= f->size)
                return DV_E_CLOSED;
            size_t n = static_cast<size_t>(len);
            size_t piece = 1 + (f->data[f->pos] % 13);
            if (n > piece)
                n = piece;
            if (n > f->size - f->pos)
                n = f->size - f->pos;
            std::memcpy(buf, f->data + f->pos, n);
            f->pos += n;
            return static_cast<int32_t>(n);
        };
        sock.getOpt = [](CnsSock *s, int32_t level, int32_t name, int32_t *out) -> int32_t {
            if (!out)
                return DV_E_ARG;
            if (level != CNSSOCK_SOL || (name != CNSSOCK_SO_RCVTIMEO && name != CNSSOCK_SO_SNDTIMEO))
                return DV_E_UNSUPPORTED;
            *out = name == CNSSOCK_SO_RCVTIMEO ? self(s)->rxTimeout : 0;
            return 0;
        };
        sock.setOpt = [](CnsSock *s, int32_t level, int32_t name, const int32_t *in) -> int32_t {
            if (!in)
                return DV_E_ARG;
            if (level != CNSSOCK_SOL || (name != CNSSOCK_SO_RCVTIMEO && name != CNSSOCK_SO_SNDTIMEO))
                return DV_E_UNSUPPORTED;
            if (name == CNSSOCK_SO_RCVTIMEO)
                self(s)->rxTimeout = *in;
            return 0;
        };
    }
    FeedSock(const FeedSock &) = delete;
    FeedSock &operator=(const FeedSock &) = delete;

    static FeedSock *self(CnsSock *s) { return static_cast<FeedSock *>(s->self); }
};

#endif
