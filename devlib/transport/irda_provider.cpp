// CnsIrda's default provider: the IrDA stand-in stack of irda_standin.h, reached through the
// transports' system-call table so tests can break the link underneath it.

#include "transport/irda_standin.h"
#include "transport/transport_int.h"
#include "dv_result.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// A frame the peer does not take within this time means the link is gone.
constexpr int kSendStallMs = 9000;

// The MTU each connected descriptor announced (0: none announced).
constexpr int kMaxLinks = 16;
struct Link {
    int fd = -1;
    int mtu = 0;
};
Link g_links[kMaxLinks];

void remember(int fd, int mtu) {
    for (Link &l : g_links)
        if (l.fd == -1 || l.fd == fd) {
            l = Link{fd, mtu};
            return;
        }
}

void forget(int fd) {
    for (Link &l : g_links)
        if (l.fd == fd)
            l = Link{};
}

int32_t standinEnum(void *, CnsIrdaDevice *out, int32_t max) {
    IrdaStandinDevice found[8];
    if (max > 8)
        max = 8;
    int n = IrdaStandin_discover(nullptr, found, max);
    if (n == -ENETDOWN)
        return DV_E_STACKDOWN;
    if (n < 0)
        return DV_E_FAIL;
    for (int i = 0; i < n; ++i) {
        out[i].id = found[i].id;
        std::snprintf(out[i].name, sizeof out[i].name, "%s", found[i].name);
    }
    return n;
}

int32_t standinConnect(void *, uint32_t deviceId, const char *service, int32_t *handle) {
    int fd = IrdaStandin_connect(nullptr, deviceId, service);
    if (fd >= 0) {
        *handle = fd;
        return 0;
    }
    if (fd == -ECONNREFUSED || fd == -EAGAIN)
        return DV_E_REFUSED;
    if (fd == -ENETDOWN)
        return DV_E_STACKDOWN;
    return DV_E_FAIL;
}

int32_t standinConnectDone(void *, int32_t handle) {
    int mtu = 0;
    int r = IrdaStandin_readHello(handle, &mtu);
    if (r == 1) {
        remember(handle, mtu);
        return 1;
    }
    return r == 0 ? 0 : DV_E_REFUSED;
}

int32_t standinSendPduLen(void *, int32_t handle) {
    for (const Link &l : g_links)
        if (l.fd == handle)
            return l.mtu > 0 ? l.mtu : DV_E_FAIL;
    return DV_E_FAIL;
}

int32_t standinRecv(void *, int32_t handle, void *buf, int32_t size) {
    // MSG_TRUNC makes the answer the frame's full length, so a frame cut to the buffer is noticed.
    ssize_t n = TransportSys_get()->recv(handle, buf, static_cast<size_t>(size), MSG_DONTWAIT | MSG_TRUNC);
    if (n > 0)
        return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    // End of file (the stand-in never sends empty frames) or a socket error: the link is gone.
    return DV_E_CLOSED;
}

int32_t standinSend(void *, int32_t handle, const void *buf, int32_t len) {
    const TransportSys *sys = TransportSys_get();
    for (;;) {
        ssize_t n = sys->send(handle, buf, static_cast<size_t>(len), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0)
            return static_cast<int32_t>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return DV_E_CLOSED;
        // The peer's queue is full: wait for room, as a link layer holds a frame until it is taken.
        pollfd pfd{handle, POLLOUT, 0};
        int pr = sys->poll(&pfd, 1, kSendStallMs);
        if (pr == 0)
            return DV_E_TIMEOUT;
        if (pr < 0 && errno != EINTR)
            return DV_E_CLOSED;
        if (pr > 0 && !(pfd.revents & POLLOUT))
            return DV_E_CLOSED;
    }
}

void standinClose(void *, int32_t handle) {
    forget(handle);
    close(handle);
}

const CnsIrdaProvider kStandin = {nullptr,          standinEnum, standinConnect, standinConnectDone, standinSendPduLen,
                                  standinRecv,      standinSend, standinClose};
const CnsIrdaProvider *g_provider = &kStandin;

} // namespace

extern "C" const CnsIrdaProvider *CnsIrda_provider(void) { return g_provider; }

extern "C" void CnsIrda_setProviderForTest(const CnsIrdaProvider *provider) {
    g_provider = provider ? provider : &kStandin;
}

extern "C" const CnsIrdaProvider *CnsIrda_standinProvider(void) { return &kStandin; }
