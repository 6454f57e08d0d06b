// Cns232: the serial transport. termios on a non-blocking descriptor, raw 8N1, no flow control,
// exclusive open; the receive poll moves bytes from the port into the ring, never more than the ring
// can hold, so what does not fit yet stays in the port's queue.

#include "transport/transport_base.h"
#include "transport/transport_int.h"
#include "dv_log.h"
#include "dv_result.h"
#include "dv_util.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

using namespace dvtransport;

namespace {

constexpr int32_t kDefaultBaud = 57600;
constexpr int32_t kReadBufSize = 2048;
constexpr int32_t kDefaultRxTimeoutMs = 9000;
// A send gives up when the port takes no byte for this long and no receive time-out says otherwise
// (a handset holding the line with hardware flow control, a pseudo-terminal nobody reads).
constexpr int32_t kDefaultWriteStallMs = 9000;
constexpr long kLogCode = 232;

} // namespace

struct Cns232 {
    TransportBase base;
    int32_t port;     // COM number, 0 when made from a path
    int32_t baud;
    char path[256];   // the device
    int fd;           // -1 when closed
    uint8_t readBuf[kReadBufSize];
};

namespace {

Cns232 *of(CnsSock *sock) { return static_cast<Cns232 *>(sock->self); }

speed_t speedOf(int32_t baud, bool *ok) {
    struct Rate {
        int32_t baud;
        speed_t speed;
    };
    static const Rate kRates[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000},
    };
    for (const Rate &r : kRates)
        if (r.baud == baud) {
            *ok = true;
            return r.speed;
        }
    *ok = false;
    return B0;
}

int32_t serialClose(CnsSock *sock);

// The port hung up or failed: close it, so the waits around end and later I/O answers -71.
void dropLink(Cns232 *t) { serialClose(&t->base.sock); }

int32_t serialPoll(void *obj) {
    auto *t = static_cast<Cns232 *>(obj);
    if (!t->base.isOpen)
        return 0;
    int32_t room = RingBuf_free(t->base.ring);
    if (room == 0)
        return 0;
    int32_t want = room < kReadBufSize ? room : kReadBufSize;
    ssize_t n = TransportSys_get()->read(t->fd, t->readBuf, static_cast<size_t>(want));
    if (n > 0) {
        RingBuf_write(t->base.ring, t->readBuf, static_cast<int32_t>(n));
        return static_cast<int32_t>(n);
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    if (n == 0)
        Stdout_printf("Cns232[%ld]: rx com fail (ret = %d)\n", kLogCode, 0);
    else
        Stdout_printf("Cns232[%ld]: rx fail (ret=%ld)\n", kLogCode, static_cast<long>(errno));
    dropLink(t);
    // Report activity so a receive waiting on this port ends now rather than at its time-out.
    return 1;
}

int32_t applyLine(Cns232 *t) {
    bool ok = false;
    speed_t speed = speedOf(t->baud, &ok);
    if (!ok) {
        Stdout_printf("unsupported baud rate %d\n", t->baud);
        return DV_E_PORT;
    }
    struct termios tio;
    if (tcgetattr(t->fd, &tio) != 0)
        return DV_E_PORT;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // VMIN 1: with O_NONBLOCK an empty queue then reads as EAGAIN, and 0 is left to mean a hang-up
    // (with VMIN 0 the terminal layer answers 0 for "nothing yet").
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0)
        return DV_E_PORT;
    if (tcsetattr(t->fd, TCSANOW, &tio) != 0)
        return DV_E_PORT;
    return 0;
}

int32_t serialOpen(CnsSock *sock) {
    Cns232 *t = of(sock);
    if (t->base.isOpen)
        return 0;
    if (t->path[0] == '\0') {
        Stdout_printf("open COM%d fail: %ld\n", t->port, static_cast<long>(ENOENT));
        return DV_E_PORT;
    }
    int fd = ::open(t->path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        Stdout_printf("open %s fail: %ld\n", t->path, static_cast<long>(err));
        if (err == EBUSY)
            Stdout_printf("%s is in use by another program\n", t->path);
        return DV_E_PORT;
    }
    // TIOCEXCL keeps other programs out (it does not bind root); the lock also keeps out a second
    // transport of this process and any program that locks ports the same way.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        Stdout_printf("open %s fail: %ld\n", t->path, static_cast<long>(err));
        if (err == EWOULDBLOCK)
            Stdout_printf("%s is in use by another program\n", t->path);
        ::close(fd);
        return DV_E_PORT;
    }
    t->fd = fd;
    ioctl(fd, TIOCEXCL);
    tcflush(fd, TCIOFLUSH);
    if (applyLine(t) != 0) {
        Stdout_printf("Close RS232 handle(h=%d)...\n", fd);
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        t->fd = -1;
        return DV_E_PORT;
    }
    // A pseudo-terminal has no modem lines: note it and go on.
    int bit = TIOCM_DTR;
    if (TransportSys_get()->ioctl(fd, TIOCMBIS, &bit) != 0)
        Stdout_printf("cannot set DTR (%ld)\n", static_cast<long>(errno));
    bit = TIOCM_RTS;
    if (TransportSys_get()->ioctl(fd, TIOCMBIS, &bit) != 0)
        Stdout_printf("cannot set RTS (%ld)\n", static_cast<long>(errno));
    RingBuf_clear(t->base.ring);
    if (addPoll(&t->base) != 0) {
        Stdout_printf("Close RS232 handle(h=%d)...\n", fd);
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        t->fd = -1;
        return DV_E_FULL;
    }
    Vos_watchFd(fd);
    t->base.isOpen = true;
    return 0;
}

int32_t serialClose(CnsSock *sock) {
    Cns232 *t = of(sock);
    if (t->fd >= 0) {
        Stdout_printf("Close RS232 handle(h=%d)...\n", t->fd);
        Vos_unwatchFd(t->fd);
        ioctl(t->fd, TIOCNXCL);
        ::close(t->fd);
        t->fd = -1;
    }
    if (t->base.isOpen) {
        t->base.isOpen = false;
        removePoll(&t->base);
    }
    return 0;
}

int32_t serialSend(CnsSock *sock, const void *buf, int32_t len, int32_t, int32_t) {
    Cns232 *t = of(sock);
    if (!t->base.isOpen)
        return DV_E_CLOSED;
    if (len <= 0 || !buf)
        return 0;
    const TransportSys *sys = TransportSys_get();
    const auto *bytes = static_cast<const uint8_t *>(buf);
    const int32_t stallMs = t->base.rxTimeoutMs > 0 ? t->base.rxTimeoutMs : kDefaultWriteStallMs;
    int32_t written = 0;
    uint32_t lastProgress = CnsVos_now();
    while (written < len) {
        ssize_t n = sys->write(t->fd, bytes + written, static_cast<size_t>(len - written));
        if (n > 0) {
            written += static_cast<int32_t>(n);
            lastProgress = CnsVos_now();
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            int err = errno;
            if (err == EIO || err == EPIPE || err == ENXIO || err == ENODEV) {
                Stdout_printf("write fail for com closed\n");
                dropLink(t);
                return DV_E_CLOSED;
            }
            Stdout_printf("write fail: %ld\n", static_cast<long>(err));
            return DV_E_IO;
        }
        // The port's queue is full: block this thread until it drains, within the stall limit.
        int32_t waited = static_cast<int32_t>(CnsVos_now() - lastProgress);
        if (waited >= stallMs)
            break;
        pollfd pfd{t->fd, POLLOUT, 0};
        int pr = sys->poll(&pfd, 1, stallMs - waited);
        if (pr < 0 && errno != EINTR) {
            Stdout_printf("write error: %ld\n", static_cast<long>(errno));
            return DV_E_IO;
        }
        if (pr > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(pfd.revents & POLLOUT)) {
            Stdout_printf("write fail for com closed\n");
            dropLink(t);
            return DV_E_CLOSED;
        }
    }
    if (written == len)
        return len;
    if (written == 0)
        return DV_E_TIMEOUT;
    Stdout_printf("Error, writeLen(%d) != dataLen(%d)\n", written, len);
    return written;
}

int32_t serialRecv(CnsSock *sock, void *buf, int32_t len) { return receive(&of(sock)->base, buf, len); }

int32_t serialGetOpt(CnsSock *sock, int32_t level, int32_t name, int32_t *out) {
    int32_t result;
    if (commonGetOpt(&of(sock)->base, level, name, out, &result))
        return result;
    return DV_E_UNSUPPORTED;
}

int32_t serialSetOpt(CnsSock *sock, int32_t level, int32_t name, const int32_t *in) {
    int32_t result;
    if (commonSetOpt(&of(sock)->base, level, name, in, &result))
        return result;
    return DV_E_UNSUPPORTED;
}

void serialDelete(CnsSock *sock) { Cns232_delete(of(sock)); }

Cns232 *create(int32_t baud, int32_t rxRingSize) {
    auto *t = new (std::nothrow) Cns232{};
    if (!t)
        return nullptr;
    t->base.ring = RingBuf_new(rxRingSize > 0 ? rxRingSize : kDefaultRingSize);
    if (!t->base.ring) {
        delete t;
        return nullptr;
    }
    initSock(&t->base, serialDelete, serialOpen, serialClose, serialSend, serialRecv, serialGetOpt, serialSetOpt);
    t->base.rxTimeoutMs = kDefaultRxTimeoutMs;
    t->base.poll = serialPoll;
    t->baud = baud > 0 ? baud : kDefaultBaud;
    t->fd = -1;
    return t;
}

// "COMn" (any case, n >= 1) answers n, anything else 0.
int32_t comNumber(const char *text) {
    if (StrUtil_strincmp(text, "COM", 3) != 0 || text[3] == '\0')
        return 0;
    long n = 0;
    for (const char *p = text + 3; *p; ++p) {
        if (*p < '0' || *p > '9' || n > 100000)
            return 0;
        n = n * 10 + (*p - '0');
    }
    return static_cast<int32_t>(n);
}

} // namespace

extern "C" DV_API Cns232 *Cns232_new(int32_t port, int32_t baud, int32_t rxRingSize, int32_t) {
    Cns232 *t = create(baud, rxRingSize);
    if (!t)
        return nullptr;
    t->port = port;
    if (port >= 1)
        std::snprintf(t->path, sizeof t->path, "/dev/ttyS%d", port - 1);
    return t;
}

extern "C" DV_API Cns232 *Cns232_newPath(const char *port, int32_t baud, int32_t rxRingSize, int32_t txRingSize) {
    if (!port || port[0] == '\0' || std::strlen(port) >= sizeof(Cns232::path))
        return nullptr;
    int32_t com = comNumber(port);
    if (com > 0)
        return Cns232_new(com, baud, rxRingSize, txRingSize);
    Cns232 *t = create(baud, rxRingSize);
    if (t)
        std::snprintf(t->path, sizeof t->path, "%s", port);
    return t;
}

extern "C" DV_API void Cns232_delete(Cns232 *t) {
    if (!t)
        return;
    serialClose(&t->base.sock);
    RingBuf_delete(t->base.ring);
    delete t;
}

extern "C" DV_API CnsSock *Cns232_toSock(Cns232 *t) { return t ? &t->base.sock : nullptr; }
