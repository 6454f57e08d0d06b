// CnsIrda: IrCOMM in 3-wire raw framing over an IrDA link. Every frame carries a control-length
// byte first; we send it as 0 (no control parameters) and skip the control part of what we receive.

#include "transport/transport_base.h"
#include "transport/transport_int.h"
#include "dv_log.h"
#include "dv_result.h"
#include "dv_util.h"

#include <cstring>
#include <new>

using namespace dvtransport;

namespace {

constexpr int32_t kDefaultSpeed = 57600;
constexpr int32_t kDefaultRxTimeoutMs = 30000;
constexpr int32_t kRxBufSize = 2048;
constexpr int32_t kTxFrameSize = 2052;
constexpr int32_t kMaxPayload = kTxFrameSize - 1;
constexpr int32_t kDiscoveryAttempts = 3;
constexpr int32_t kDiscoveryPauseMs = 2000;
constexpr int32_t kConnectTimeoutMs = 3000;
constexpr int32_t kFallbackMtu = 60;
constexpr int32_t kMaxDevices = 3; // what the discovery list of the IrDA socket interface holds
const char *const kService = "IrDA:IrCOMM";

} // namespace

struct CnsIrda {
    TransportBase base;
    int32_t payload;    // data bytes per transmitted frame: mtu - 2, within 1..2051
    int32_t speed;      // stored, not used
    bool raw;           // keep the NUL bytes of received frames
    int32_t handle;     // provider handle (a descriptor), -1 when closed
    // Data of the last frame received that has not found room in the ring yet: a frame is taken
    // from the link only when this is empty, so nothing is dropped when the ring is full.
    uint8_t rx[kRxBufSize];
    int32_t rxStart;
    int32_t rxEnd;
    uint8_t tx[kTxFrameSize];
};

namespace {

CnsIrda *of(CnsSock *sock) { return static_cast<CnsIrda *>(sock->self); }

int32_t irdaClose(CnsSock *sock);

// Moves the held frame data into the ring as far as it fits: the count moved.
int32_t drainHeld(CnsIrda *t) {
    if (t->rxStart >= t->rxEnd)
        return 0;
    int32_t n = RingBuf_write(t->base.ring, t->rx + t->rxStart, t->rxEnd - t->rxStart);
    t->rxStart += n;
    return n;
}

int32_t irdaPoll(void *obj) {
    auto *t = static_cast<CnsIrda *>(obj);
    // Data held from before a close still goes to the ring; the receive hands it out first.
    int32_t moved = drainHeld(t);
    if (!t->base.isOpen)
        return moved > 0 ? 1 : 0;
    if (t->rxStart < t->rxEnd)
        return moved > 0 ? 1 : 0;
    const CnsIrdaProvider *p = CnsIrda_provider();
    int32_t r = p->recv(p->ctx, t->handle, t->rx, kRxBufSize);
    if (r == 0)
        return moved > 0 ? 1 : 0;
    if (r < 0) {
        Stdout_printf("rx irda fail(%d) or closed, close it\n", r);
        irdaClose(&t->base.sock);
        return 1;
    }
    if (r > kRxBufSize) {
        // Larger than any IrLAP frame: the peer broke the link's limits.
        Stdout_printf("rx irda frame too long (%d), cut to %d\n", r, kRxBufSize);
        r = kRxBufSize;
    }
    int32_t c = t->rx[0];
    if (c != 0)
        Stdout_printf("rx ctrl(%d)\n", c);
    t->rxStart = t->rxEnd = 0;
    if (c + 1 < r) {
        int32_t from = c + 1;
        if (t->raw) {
            t->rxStart = from;
            t->rxEnd = r;
        } else {
            // Without raw mode the NUL bytes of the data never reach the ring (AT traffic has none;
            // some stacks pad with them).
            int32_t out = from;
            for (int32_t i = from; i < r; ++i)
                if (t->rx[i] != 0)
                    t->rx[out++] = t->rx[i];
            t->rxStart = from;
            t->rxEnd = out;
        }
        drainHeld(t);
    }
    return 1;
}

// One discovery and connect attempt: 0, or -25 no device, -102, -8, -12, -5, -51, -201.
int32_t connectOnce(CnsIrda *t) {
    const CnsIrdaProvider *p = CnsIrda_provider();
    CnsIrdaDevice devices[kMaxDevices] = {};
    int32_t n = p->enumDevices(p->ctx, devices, kMaxDevices);
    if (n < 0)
        return n;
    if (n == 0) {
        VosTimer timer;
        VosTimer_init(&timer);
        VosTimer_start(&timer, kDiscoveryPauseMs, nullptr, nullptr);
        int32_t result = DV_E_NOTFOUND;
        while (!VosTimer_expired(&timer)) {
            if (CnsVos_blocking(-1) == DV_E_CANCELLED) {
                result = DV_E_CANCELLED;
                break;
            }
        }
        VosTimer_stop(&timer);
        return result;
    }
    devices[0].name[sizeof devices[0].name - 1] = '\0';
    Stdout_printf(" [%s]", devices[0].name);
    int32_t handle = -1;
    int32_t r = p->connect(p->ctx, devices[0].id, kService, &handle);
    if (r < 0)
        return r;
    Stdout_printf("SockID: %ld\n", static_cast<long>(handle));
    Vos_watchFd(handle);
    r = p->connectDone(p->ctx, handle);
    if (r == 1) {
        Stdout_printf("connected directly...\n");
    } else if (r == 0) {
        VosTimer timer;
        VosTimer_init(&timer);
        VosTimer_start(&timer, kConnectTimeoutMs, nullptr, nullptr);
        for (;;) {
            if (VosTimer_expired(&timer)) {
                r = DV_E_TIMEOUT;
                break;
            }
            if (CnsVos_blocking(5) == DV_E_CANCELLED) {
                r = DV_E_CANCELLED;
                break;
            }
            r = p->connectDone(p->ctx, handle);
            if (r != 0)
                break;
        }
        VosTimer_stop(&timer);
    }
    if (r != 1) {
        Vos_unwatchFd(handle);
        p->close(p->ctx, handle);
        return r < 0 ? r : DV_E_REFUSED;
    }
    int32_t mtu = p->sendPduLen(p->ctx, handle);
    if (mtu > 0) {
        Stdout_printf("mtu=%d,%d\n", mtu, mtu - 2);
    } else {
        Stdout_printf("get mtu fail (ret=%d)\n", mtu);
        Stdout_printf("regard mtu=60,58\n");
        mtu = kFallbackMtu;
    }
    // A frame must carry at least one data byte or a send never ends, and no more than the frame
    // buffer holds.
    int32_t payload = mtu - 2;
    t->payload = payload < 1 ? 1 : payload > kMaxPayload ? kMaxPayload : payload;
    t->handle = handle;
    t->rxStart = t->rxEnd = 0;
    RingBuf_clear(t->base.ring);
    if (addPoll(&t->base) != 0) {
        Vos_unwatchFd(handle);
        p->close(p->ctx, handle);
        t->handle = -1;
        return DV_E_FULL;
    }
    t->base.isOpen = true;
    return 0;
}

int32_t irdaOpen(CnsSock *sock) {
    CnsIrda *t = of(sock);
    if (t->base.isOpen)
        return 0;
    int32_t r = DV_E_NOTFOUND;
    for (int32_t attempt = 0; attempt < kDiscoveryAttempts && r == DV_E_NOTFOUND; ++attempt)
        r = connectOnce(t);
    return r;
}

int32_t irdaClose(CnsSock *sock) {
    CnsIrda *t = of(sock);
    if (t->handle >= 0) {
        const CnsIrdaProvider *p = CnsIrda_provider();
        Vos_unwatchFd(t->handle);
        p->close(p->ctx, t->handle);
        t->handle = -1;
    }
    if (t->base.isOpen) {
        t->base.isOpen = false;
        removePoll(&t->base);
    }
    return 0;
}

int32_t irdaSend(CnsSock *sock, const void *buf, int32_t len, int32_t, int32_t) {
    CnsIrda *t = of(sock);
    if (!t->base.isOpen)
        return DV_E_CLOSED;
    if (len <= 0 || !buf)
        return 0;
    const CnsIrdaProvider *p = CnsIrda_provider();
    const auto *bytes = static_cast<const uint8_t *>(buf);
    for (int32_t done = 0; done < len;) {
        int32_t chunk = len - done < t->payload ? len - done : t->payload;
        t->tx[0] = 0; // no control parameters
        std::memcpy(t->tx + 1, bytes + done, static_cast<size_t>(chunk));
        int32_t r = p->send(p->ctx, t->handle, t->tx, chunk + 1);
        if (r != chunk + 1) {
            Stdout_printf("tx irda fail(%d) or closed, close it\n", r);
            irdaClose(sock);
            return DV_E_CLOSED;
        }
        done += chunk;
    }
    return len;
}

int32_t irdaRecv(CnsSock *sock, void *buf, int32_t len) { return receive(&of(sock)->base, buf, len); }

int32_t irdaGetOpt(CnsSock *sock, int32_t level, int32_t name, int32_t *out) {
    int32_t result;
    if (commonGetOpt(&of(sock)->base, level, name, out, &result))
        return result;
    if (name != CNSIRDA_SO_RAW)
        return DV_E_UNSUPPORTED;
    if (!out)
        return DV_E_ARG;
    *out = of(sock)->raw ? 1 : 0;
    return 0;
}

int32_t irdaSetOpt(CnsSock *sock, int32_t level, int32_t name, const int32_t *in) {
    int32_t result;
    if (commonSetOpt(&of(sock)->base, level, name, in, &result))
        return result;
    if (name != CNSIRDA_SO_RAW)
        return DV_E_UNSUPPORTED;
    if (!in)
        return DV_E_ARG;
    of(sock)->raw = *in != 0;
    return 0;
}

void irdaDelete(CnsSock *sock) { CnsIrda_delete(of(sock)); }

} // namespace

extern "C" DV_API CnsIrda *CnsIrda_new(int32_t speed, int32_t rxRingSize, int32_t) {
    auto *t = new (std::nothrow) CnsIrda{};
    if (!t)
        return nullptr;
    t->base.ring = RingBuf_new(rxRingSize > 0 ? rxRingSize : kDefaultRingSize);
    if (!t->base.ring) {
        delete t;
        return nullptr;
    }
    initSock(&t->base, irdaDelete, irdaOpen, irdaClose, irdaSend, irdaRecv, irdaGetOpt, irdaSetOpt);
    t->base.rxTimeoutMs = kDefaultRxTimeoutMs;
    t->base.poll = irdaPoll;
    t->speed = speed > 0 ? speed : kDefaultSpeed;
    t->payload = kFallbackMtu - 2;
    t->handle = -1;
    return t;
}

extern "C" DV_API void CnsIrda_delete(CnsIrda *t) {
    if (!t)
        return;
    irdaClose(&t->base.sock);
    RingBuf_delete(t->base.ring);
    delete t;
}

extern "C" DV_API CnsSock *CnsIrda_toSock(CnsIrda *t) { return t ? &t->base.sock : nullptr; }
