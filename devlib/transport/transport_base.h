/*
 * transport_base.h — what the serial and IrDA transports share: the head of their records, the
 * filling of the CnsSock slots, the receive wait and the common options.
 *
 * Runs on the caller's thread and takes no lock. Internal to the library.
 */
#ifndef DV_TRANSPORT_BASE_H
#define DV_TRANSPORT_BASE_H

#include "transport/ringbuf.h"
#include "vos/vos_int.h"
#include "dv_transport.h"

namespace dvtransport {

constexpr int32_t kDefaultRingSize = 2048;
constexpr int32_t kLogCopySize = 2048;

// The head of Cns232 and CnsIrda; the CnsSock record comes first, so the transport, its base and its
// operation record share one address.
struct TransportBase {
    CnsSock sock;
    bool isOpen;
    RingBuf *ring;
    int32_t rxTimeoutMs;   // -1: no limit
    VosPollFn poll;        // the receive poll registered while open
    char logCopy[kLogCopySize];
};

// Fills the record: self, the transport's own slots, a no-op in slot 8, NULL in slots 2-7 and
// ObjUtil_vfuncNull in the unset slots.
void initSock(TransportBase *b, CnsSockDeleteFn del, CnsSockOpenFn open, CnsSockCloseFn close, CnsSockSendFn send,
              CnsSockRecvFn recv, CnsSockGetOptFn getOpt, CnsSockSetOptFn setOpt);

// The receive shared by both transports: bytes already in the ring at once; otherwise waits in the
// wait loop for the receive poll to bring some. The count, or -12, -5, -71 (closed before or during
// the wait).
int32_t receive(TransportBase *b, void *buf, int32_t len);

// Options common to both: 1 handled (result in *result), 0 not a common option.
int32_t commonGetOpt(TransportBase *b, int32_t level, int32_t name, int32_t *out, int32_t *result);
int32_t commonSetOpt(TransportBase *b, int32_t level, int32_t name, const int32_t *in, int32_t *result);

// Registers the receive poll: 0 or -201.
int32_t addPoll(TransportBase *b);
void removePoll(TransportBase *b);

} // namespace dvtransport

#endif
