/*
 * irda_standin.h — the local IrDA stand-in stack: how a device appears in range, and the server side
 * that lets a program (the simulated handset, a test) be that device.
 *
 * Linux has no IrDA stack any more, so CnsIrda reaches "devices in range" through this stand-in,
 * built on Unix-domain SOCK_SEQPACKET sockets in one runtime folder. The protocol:
 *
 *  - The folder is $SELVARK_IRDA_DIR, else $XDG_RUNTIME_DIR/selvark-irda, else
 *    /tmp/selvark-irda-<uid> (IrdaStandin_dir). The stack is "down" when the folder does not exist
 *    or holds a file named "down" (IrdaStandin_setStackDown).
 *  - Each visible device offers each of its services as one listening socket in the folder, named
 *    "<id>,<nickname>,<service>": <id> the 32-bit device id as 8 lower-case hex digits, <nickname>
 *    the device name (at most 21 characters; ',' '/' and bytes outside printable ASCII become '_'),
 *    <service> the IAS service name, e.g. "IrDA:IrCOMM" or "OBEX" (same character rules, at most 31
 *    characters). Discovery lists the distinct ids of such sockets, in name order.
 *  - A client connects to the socket of a device id and service. The server accepts and sends one
 *    hello packet of IRDA_STANDIN_HELLO_LEN bytes: "IrLM" then the send PDU size (the MTU, 16 bits,
 *    big-endian). Only then is the link up. A server that accepts and closes without a hello has
 *    refused the connection; a missing socket or a stale one refuses it too.
 *  - After the hello every packet, either way, is one IrDA frame exactly as on the air (for IrCOMM
 *    the control-length byte included). Neither side sends empty packets. Closing the socket drops
 *    the link.
 *
 * This library depends on nothing but the C library, so a simulated handset can link it alone.
 * Functions answer 0 or a descriptor on success and -errno on failure. Runs on the caller's thread
 * and takes no lock.
 */
#ifndef DV_IRDA_STANDIN_H
#define DV_IRDA_STANDIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IRDA_STANDIN_HELLO_LEN 6
#define IRDA_STANDIN_NICK_MAX 21
#define IRDA_STANDIN_SERVICE_MAX 31
/* The largest frame a peer may send (IrLAP's largest data size and the IrCOMM control byte). */
#define IRDA_STANDIN_FRAME_MAX 2052

/* One service of one device, listening. */
typedef struct IrdaStandinListener {
    int fd;          /* listening socket, non-blocking; -1 when closed */
    uint16_t mtu;    /* announced in every hello */
    char path[108];  /* the socket's file, removed by IrdaStandin_close */
} IrdaStandinListener;

/* Writes the stand-in folder into buf (size bytes, terminated). 0, or -ENAMETOOLONG. */
int IrdaStandin_dir(char *buf, size_t size);

/* Makes the device deviceId visible in dir (NULL: IrdaStandin_dir) with the given nickname, offering
 * service, announcing mtu (0..65535; 0 announces none) to each client. Creates the folder (mode 0700) when missing and
 * replaces a stale socket of the same name. 0 and l filled, or -errno (-EINVAL for a bad mtu, an
 * empty service or a path longer than a socket address holds). */
int IrdaStandin_listen(IrdaStandinListener *l, const char *dir, uint32_t deviceId, const char *nickname,
                       const char *service, int mtu);

/* Accepts one waiting client and sends it the hello: the connected descriptor (blocking,
 * close-on-exec), -EAGAIN when no client waits, or another -errno. The caller owns the descriptor. */
int IrdaStandin_accept(IrdaStandinListener *l);

/* Accepts one waiting client and closes it without a hello: the client sees a refused connect.
 * 0, -EAGAIN when no client waits, or another -errno. */
int IrdaStandin_refuse(IrdaStandinListener *l);

/* Stops listening and removes the socket file: the service leaves the range. Connections already
 * accepted stay up. Safe on a closed listener. */
void IrdaStandin_close(IrdaStandinListener *l);

/* Marks the stack down (creates dir/down) or up again (removes it). 0 or -errno. */
int IrdaStandin_setStackDown(const char *dir, int down);

/* ---- client side (used by CnsIrda's default provider) ---- */

/* One device in range. */
typedef struct IrdaStandinDevice {
    uint32_t id;
    char name[IRDA_STANDIN_NICK_MAX + 1];
} IrdaStandinDevice;

/* Lists up to max devices of dir (NULL: IrdaStandin_dir) in name order: the count, or -ENETDOWN when
 * the stack is down. */
int IrdaStandin_discover(const char *dir, IrdaStandinDevice *out, int max);

/* Starts a connection to the service of device id: a non-blocking, close-on-exec descriptor whose
 * hello is still to come, or -ECONNREFUSED (no such service, nobody listening), -EAGAIN (the
 * listener's backlog is full: try again), or another -errno. */
int IrdaStandin_connect(const char *dir, uint32_t id, const char *service);

/* Reads the hello on a connecting descriptor: 1 and *mtu (the announced MTU, 0 when the server
 * announced none), 0 when it has not come yet, -ECONNREFUSED when the server closed without one or
 * sent something else. */
int IrdaStandin_readHello(int fd, int *mtu);

#ifdef __cplusplus
}
#endif

#endif
