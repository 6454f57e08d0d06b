/*
 * dv_transport.h — the serial and IrDA transports behind one socket-like operation record.
 *
 * A transport moves bytes between the handset and the AT terminal, the socket stream and the OBEX
 * client. Cns232 drives a serial port (termios on a non-blocking descriptor, raw 8N1, exclusive
 * open); CnsIrda speaks IrCOMM in 3-wire raw framing over an IrDA link (on Linux, the IrDA
 * stand-in stack: see transport/irda_standin.h). Both records begin with a CnsSock, so callers
 * hold a CnsSock * and call its slots (or the CnsSock_* helpers below) without knowing which
 * transport they drive.
 *
 * Received bytes are moved from the port into the transport's receive ring by a poll callback that
 * the wait loop (dv_vos.h) runs; a receive takes bytes from the ring and, when the ring is empty,
 * waits in the wait loop until data arrives, the receive time-out runs out, the wait is cancelled
 * or the link drops. A serial send blocks the calling thread until the port has taken the bytes.
 * Nothing is ever dropped for lack of room: bytes stay with the system until the ring can hold them.
 *
 * A transport owns its ring, buffers and port; the caller owns the transport (free it with the
 * delete slot or Cns232_delete / CnsIrda_delete) and the buffers it passes in.
 *
 * Result codes: -5 cancelled, -8 IrDA connect refused, -9 write failure, -12 time-out (connect,
 * receive, a write the port would not take), -25 no IrDA device in range (after 3 attempts),
 * -51 no socket, -64 serial port cannot be opened or configured (busy, missing, not a terminal,
 * unsupported baud rate), -71 link closed (the port hung up, or I/O on a closed transport),
 * -81 bad argument, -94 option or level not handled, -102 IrDA stack down, -201 no free poll slot.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_TRANSPORT_H
#define DV_TRANSPORT_H

#include "dv_export.h"

DV_BEGIN_DECLS

/* ---- CnsSock: the operation record every transport begins with ----
 *
 * A pointer-sized self word (the transport object) followed by 20 slots. Every operation is called
 * with the address of the record. Slots 2-7 are NULL; slots 11-13, 15, 17 and 18 hold
 * ObjUtil_vfuncNull (dv_util.h), which ends the process: never call them. */
typedef struct CnsSock CnsSock;

/* Slot 1: closes when open and frees the transport. */
typedef void (*CnsSockDeleteFn)(CnsSock *sock);
/* Slot 8: does nothing, answers 0. */
typedef int32_t (*CnsSockNopFn)(CnsSock *sock);
/* Slot 9: opens the port (serial) or discovers and connects (IrDA). 0 or an error; 0 at once when
 * already open. Slot 10: closes; 0. */
typedef int32_t (*CnsSockOpenFn)(CnsSock *sock);
typedef int32_t (*CnsSockCloseFn)(CnsSock *sock);
/* Slot 14: sends len bytes (flags and reserved are 0). Answers len when all were taken, a smaller
 * count when the port stalled part-way, or an error: -71 closed or hung up, -9 write failure,
 * -12 the port took nothing. */
typedef int32_t (*CnsSockSendFn)(CnsSock *sock, const void *buf, int32_t len, int32_t flags, int32_t reserved);
/* Slot 16: receives up to len bytes into buf: the count (>= 1), 0 for len <= 0, or -12 time-out,
 * -5 cancelled, -71 closed (before or during the wait). Bytes already received come back at once. */
typedef int32_t (*CnsSockRecvFn)(CnsSock *sock, void *buf, int32_t len);
/* Slots 19 and 20: options, see CNSSOCK_* below. 0, -94 unknown level or name, -81 NULL pointer. */
typedef int32_t (*CnsSockGetOptFn)(CnsSock *sock, int32_t level, int32_t name, int32_t *out);
typedef int32_t (*CnsSockSetOptFn)(CnsSock *sock, int32_t level, int32_t name, const int32_t *in);
/* The unset slots. */
typedef void (*CnsSockUnsetFn)(void);

struct CnsSock {
    void *self;                /* the transport object */
    CnsSockDeleteFn del;       /* 1 */
    CnsSockUnsetFn empty2;     /* 2-7: NULL */
    CnsSockUnsetFn empty3;
    CnsSockUnsetFn empty4;
    CnsSockUnsetFn empty5;
    CnsSockUnsetFn empty6;
    CnsSockUnsetFn empty7;
    CnsSockNopFn nop;          /* 8 */
    CnsSockOpenFn open;        /* 9 */
    CnsSockCloseFn close;      /* 10 */
    CnsSockUnsetFn unset11;    /* 11-13: ObjUtil_vfuncNull */
    CnsSockUnsetFn unset12;
    CnsSockUnsetFn unset13;
    CnsSockSendFn send;        /* 14 */
    CnsSockUnsetFn unset15;    /* 15: ObjUtil_vfuncNull */
    CnsSockRecvFn recv;        /* 16 */
    CnsSockUnsetFn unset17;    /* 17-18: ObjUtil_vfuncNull */
    CnsSockUnsetFn unset18;
    CnsSockGetOptFn getOpt;    /* 19 */
    CnsSockSetOptFn setOpt;    /* 20 */
};

/* Options: the level must be CNSSOCK_SOL. */
#define CNSSOCK_SOL 0xffff
#define CNSSOCK_SO_SNDTIMEO 0x1005 /* get yields 0; set is accepted and ignored */
#define CNSSOCK_SO_RCVTIMEO 0x1006 /* receive time-out in ms; a negative value is stored as -1: no limit */
#define CNSIRDA_SO_RAW 0x2001      /* CnsIrda only: non-zero keeps the NUL bytes of received frames */

/* Calls through the record's slots. */
static inline void CnsSock_delete(CnsSock *sock) { if (sock) sock->del(sock); }
static inline int32_t CnsSock_open(CnsSock *sock) { return sock->open(sock); }
static inline int32_t CnsSock_close(CnsSock *sock) { return sock->close(sock); }
static inline int32_t CnsSock_send(CnsSock *sock, const void *buf, int32_t len) { return sock->send(sock, buf, len, 0, 0); }
static inline int32_t CnsSock_recv(CnsSock *sock, void *buf, int32_t len) { return sock->recv(sock, buf, len); }
static inline int32_t CnsSock_getOpt(CnsSock *sock, int32_t name, int32_t *out) { return sock->getOpt(sock, CNSSOCK_SOL, name, out); }
static inline int32_t CnsSock_setOpt(CnsSock *sock, int32_t name, int32_t value) { return sock->setOpt(sock, CNSSOCK_SOL, name, &value); }

/* ---- Cns232: the serial transport ----
 *
 * Opened with O_RDWR|O_NOCTTY|O_NONBLOCK, raw 8N1, no flow control, exclusive (a port that another
 * program or transport holds answers -64 and the log says it is in use); DTR and RTS are raised
 * where the device allows. The receive time-out defaults to 9000 ms. A hang-up (end of file, EIO)
 * closes the port; later sends and receives answer -71. */
typedef struct Cns232 Cns232;

/* A closed transport for serial port COM<port>, which is /dev/ttyS<port-1>. baud <= 0 means 57600;
 * a rate termios does not offer makes the open answer -64. rxRingSize <= 0 means 2048.
 * txRingSize is accepted and not used. NULL when out of memory. Free with Cns232_delete. */
DV_API Cns232 *Cns232_new(int32_t port, int32_t baud, int32_t rxRingSize, int32_t txRingSize);
/* The same for a port text: "COMn" (any case) is /dev/ttyS<n-1>; anything else is a device path used
 * as it stands ("/dev/ttyUSB0", "/dev/pts/5"). NULL for a NULL or empty text, or out of memory. */
DV_API Cns232 *Cns232_newPath(const char *port, int32_t baud, int32_t rxRingSize, int32_t txRingSize);
/* Closes the port when open and frees everything the transport owns. NULL is a no-op. */
DV_API void Cns232_delete(Cns232 *t);
/* The transport's operation record (the same address). */
DV_API CnsSock *Cns232_toSock(Cns232 *t);

/* ---- CnsIrda: IrCOMM (3-wire raw) over an IrDA link ----
 *
 * The connect discovers the devices in range (up to 3 attempts, 2 s apart, while none is seen),
 * connects to the first one's "IrDA:IrCOMM" service within 3000 ms and reads the link's send PDU
 * size (MTU; 60 when it cannot be read). Each frame sent is a control-length byte 0 and at most
 * MTU - 2 data bytes (clamped to 1..2051). Received frames lose their control part, and their NUL
 * bytes unless raw mode is on. The receive time-out defaults to 30000 ms. */
typedef struct CnsIrda CnsIrda;

/* A closed transport. speed is stored and not used (<= 0 means 57600); rxRingSize <= 0 means 2048;
 * txRingSize is accepted and not used. NULL when out of memory. Free with CnsIrda_delete. */
DV_API CnsIrda *CnsIrda_new(int32_t speed, int32_t rxRingSize, int32_t txRingSize);
/* Closes the link when open and frees everything the transport owns. NULL is a no-op. */
DV_API void CnsIrda_delete(CnsIrda *t);
/* The transport's operation record (the same address). */
DV_API CnsSock *CnsIrda_toSock(CnsIrda *t);

DV_END_DECLS

#endif
