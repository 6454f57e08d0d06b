/*
 * transport_int.h — the transports' seams: the system calls they make on an open port, and the IrDA
 * provider behind CnsIrda. Tests replace them to inject EAGAIN, short writes, EIO, hang-ups and
 * link faults without a device.
 *
 * Runs on the caller's thread and takes no lock. Internal to the library.
 */
#ifndef DV_TRANSPORT_INT_H
#define DV_TRANSPORT_INT_H

#include <poll.h>
#include <sys/types.h>

#include "dv_transport.h"

DV_BEGIN_DECLS

/* ---- system calls on an open port or socket ---- */
typedef struct TransportSys {
    ssize_t (*read)(int fd, void *buf, size_t n);
    ssize_t (*write)(int fd, const void *buf, size_t n);
    ssize_t (*recv)(int fd, void *buf, size_t n, int flags);
    ssize_t (*send)(int fd, const void *buf, size_t n, int flags);
    int (*poll)(struct pollfd *fds, nfds_t n, int timeoutMs);
    int (*ioctl)(int fd, unsigned long request, void *arg);
} TransportSys;

/* The table in use (never NULL). */
const TransportSys *TransportSys_get(void);
/* Test only: replaces the table (the caller keeps it alive); NULL restores the real calls. */
void TransportSys_setForTest(const TransportSys *sys);

/* ---- the IrDA provider ----
 * Handles are descriptors that become readable when a frame (or the hello, or a hang-up) arrives, so
 * the wait loop can watch them. */
typedef struct CnsIrdaDevice {
    uint32_t id;
    char name[24];
} CnsIrdaDevice;

typedef struct CnsIrdaProvider {
    void *ctx;
    /* Devices in range, at most max: the count, or -102 when the stack is down. */
    int32_t (*enumDevices)(void *ctx, CnsIrdaDevice *out, int32_t max);
    /* Starts connecting to the service of a device: 0 and *handle, or -8 refused, -51 no socket. */
    int32_t (*connect)(void *ctx, uint32_t deviceId, const char *service, int32_t *handle);
    /* 1 connected, 0 still connecting, -8 refused. */
    int32_t (*connectDone)(void *ctx, int32_t handle);
    /* The link's send PDU size (MTU), or a negative error when it cannot be read. */
    int32_t (*sendPduLen)(void *ctx, int32_t handle);
    /* Takes one frame into buf: its full length (more than size when it was cut), 0 when none is
     * waiting, -71 when the link is gone. */
    int32_t (*recv)(void *ctx, int32_t handle, void *buf, int32_t size);
    /* Sends one frame, waiting a bounded time for room: len, or a negative error. */
    int32_t (*send)(void *ctx, int32_t handle, const void *buf, int32_t len);
    void (*close)(void *ctx, int32_t handle);
} CnsIrdaProvider;

/* The provider in use (never NULL): the stand-in stack unless replaced. */
const CnsIrdaProvider *CnsIrda_provider(void);
/* Test only: replaces the provider (the caller keeps it alive); NULL restores the stand-in. */
void CnsIrda_setProviderForTest(const CnsIrdaProvider *provider);
/* The stand-in provider itself, so a test provider can wrap it. */
const CnsIrdaProvider *CnsIrda_standinProvider(void);

DV_END_DECLS

#endif
