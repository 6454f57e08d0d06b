// What the serial and IrDA transports share: the operation record, the receive wait, the options.

#include "transport/transport_base.h"
#include "dv_log.h"
#include "dv_result.h"
#include "dv_util.h"

#include <cstring>

namespace dvtransport {

namespace {

int32_t sockNop(CnsSock *) { return 0; }

void logReceived(TransportBase *b, const void *buf, int32_t n) {
    int32_t k = n < kLogCopySize - 1 ? n : kLogCopySize - 1;
    std::memcpy(b->logCopy, buf, static_cast<size_t>(k));
    b->logCopy[k] = '\0';
    Stdout_printf("%s", b->logCopy);
}

// Bytes from the ring. Bytes that arrived before the link dropped are still handed out: after a
// close the transport's poll gets one last chance to move what it holds into the ring.
int32_t takeBytes(TransportBase *b, void *buf, int32_t len) {
    int32_t n = RingBuf_read(b->ring, buf, len);
    if (n == 0 && !b->isOpen) {
        b->poll(b);
        n = RingBuf_read(b->ring, buf, len);
    }
    if (n > 0)
        logReceived(b, buf, n);
    return n;
}

} // namespace

void initSock(TransportBase *b, CnsSockDeleteFn del, CnsSockOpenFn open, CnsSockCloseFn close, CnsSockSendFn send,
              CnsSockRecvFn recv, CnsSockGetOptFn getOpt, CnsSockSetOptFn setOpt) {
    CnsSockUnsetFn unset = ObjUtil_vfuncNull;
    b->sock = CnsSock{b,      del,    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, sockNop, open,  close,
                      unset,  unset,  unset,   send,    unset,   recv,    unset,   unset,   getOpt,  setOpt};
}

int32_t receive(TransportBase *b, void *buf, int32_t len) {
    if (len <= 0 || !buf)
        return 0;
    int32_t n = takeBytes(b, buf, len);
    if (n > 0)
        return n;
    if (!b->isOpen)
        return DV_E_CLOSED;
    VosTimer timer;
    VosTimer_init(&timer);
    if (b->rxTimeoutMs >= 0)
        VosTimer_start(&timer, b->rxTimeoutMs, nullptr, nullptr);
    int32_t result;
    for (;;) {
        if (CnsVos_blocking(-1) == DV_E_CANCELLED) {
            result = DV_E_CANCELLED;
            break;
        }
        // Data that came in the same pass as the time-out still counts.
        n = takeBytes(b, buf, len);
        if (n > 0) {
            result = n;
            break;
        }
        if (!b->isOpen) {
            result = DV_E_CLOSED;
            break;
        }
        if (b->rxTimeoutMs >= 0 && VosTimer_expired(&timer)) {
            result = DV_E_TIMEOUT;
            break;
        }
    }
    VosTimer_stop(&timer);
    return result;
}

int32_t commonGetOpt(TransportBase *b, int32_t level, int32_t name, int32_t *out, int32_t *result) {
    if (level != CNSSOCK_SOL) {
        *result = DV_E_UNSUPPORTED;
        return 1;
    }
    if (name != CNSSOCK_SO_SNDTIMEO && name != CNSSOCK_SO_RCVTIMEO)
        return 0;
    if (!out) {
        *result = DV_E_ARG;
        return 1;
    }
    *out = name == CNSSOCK_SO_SNDTIMEO ? 0 : b->rxTimeoutMs;
    *result = 0;
    return 1;
}

int32_t commonSetOpt(TransportBase *b, int32_t level, int32_t name, const int32_t *in, int32_t *result) {
    if (level != CNSSOCK_SOL) {
        *result = DV_E_UNSUPPORTED;
        return 1;
    }
    if (name != CNSSOCK_SO_SNDTIMEO && name != CNSSOCK_SO_RCVTIMEO)
        return 0;
    if (!in) {
        *result = DV_E_ARG;
        return 1;
    }
    if (name == CNSSOCK_SO_RCVTIMEO)
        b->rxTimeoutMs = *in < 0 ? -1 : *in;
    *result = 0;
    return 1;
}

int32_t addPoll(TransportBase *b) { return VosPoll_add(Vos_pollTable(), b->poll, b); }

void removePoll(TransportBase *b) { VosPoll_remove(Vos_pollTable(), b->poll, b); }

} // namespace dvtransport
