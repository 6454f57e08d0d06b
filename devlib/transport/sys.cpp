// The system calls the transports make on an open port, behind a table so tests can inject faults.

#include "transport/transport_int.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

ssize_t sysRead(int fd, void *buf, size_t n) { return ::read(fd, buf, n); }
ssize_t sysWrite(int fd, const void *buf, size_t n) { return ::write(fd, buf, n); }
ssize_t sysRecv(int fd, void *buf, size_t n, int flags) { return ::recv(fd, buf, n, flags); }
ssize_t sysSend(int fd, const void *buf, size_t n, int flags) { return ::send(fd, buf, n, flags); }
int sysPoll(struct pollfd *fds, nfds_t n, int timeoutMs) { return ::poll(fds, n, timeoutMs); }
int sysIoctl(int fd, unsigned long request, void *arg) { return ::ioctl(fd, request, arg); }

const TransportSys kRealSys = {sysRead, sysWrite, sysRecv, sysSend, sysPoll, sysIoctl};
const TransportSys *g_sys = &kRealSys;

} // namespace

extern "C" const TransportSys *TransportSys_get(void) { return g_sys; }

extern "C" void TransportSys_setForTest(const TransportSys *sys) { g_sys = sys ? sys : &kRealSys; }
