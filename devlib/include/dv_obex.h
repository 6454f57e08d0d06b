/*
 * dv_obex.h — the OBEX client (IrOBEX 1.2) over a transport, its body stream and two self-tests.
 *
 * What it does: ObxClt connects to an OBEX server over a CnsSock transport (dv_transport.h; over
 * IrDA this is OBEX carried by IrCOMM), sends PUT and GET requests header by header, splitting them
 * into packets of the negotiated size (each packet but the last sent without the final bit and
 * answered with Continue), reads the response headers across Continue packets, sets paths and
 * disconnects. A Connection-Id given by the server at connect goes into the first packet of every
 * later request. The model plug-ins use it; the IrMC client (dv_irmc.h) is built on it.
 *
 * Packet sizes: the client announces a receive size of at least 255 bytes (the IrOBEX minimum) and
 * sizes its response buffer to it; a response longer than that is malformed. It sends packets of
 * min(the server's maximum, the transmit limit) rounded down to a multiple of 16; a server that
 * announces less than the IrOBEX minimum of 255 is taken at 255.
 *
 * States: 0 idle (not connected), 1 connected, 2 a request is being built, 3 its response is being
 * read. A failure of the link or a malformed response in any state drops the request and returns to
 * state 0; a response code other than Continue or Success ends the request (back to state 1).
 *
 * Header values: text headers (ids 0x00-0x3F) take and give UCS-2 big-endian bytes without the
 * terminating zero unit (the client adds it when sending and leaves it out when reading); byte
 * sequences (0x40-0x7F) their bytes; one-byte (0x80-0xBF) and four-byte (0xC0-0xFF) headers the
 * value's bytes as on the wire (length 1 or 4, big-endian).
 *
 * What it owns: a client owns its packets and its copy of the Connection-Id, never the transport
 * (the caller keeps it alive and open while the client uses it). A body stream owns nothing but
 * itself. Header packets passed in stay the caller's.
 *
 * Result codes: -7 not connected, -9 a response code other than Continue or Success (or other than
 * Continue to a packet sent without the final bit), -23 wrong state (or body data after
 * End-of-Body), -71 link closed, -81 bad opcode, argument or a header larger than a packet, -92
 * malformed response (a packet length under 3 or over the announced receive size, a header running
 * past the packet end, a truncated header, a CONNECT response without its 4 bytes), -94/-95 from
 * the body stream for what it does not offer, -202 end of the body; the transport's errors (-12
 * time-out, -5 cancelled, -9) pass through.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_OBEX_H
#define DV_OBEX_H

#include "dv_export.h"
#include "dv_stream.h"
#include "dv_transport.h"

DV_BEGIN_DECLS

/* Opcodes (the final bit 0x80 included where the request is always final). */
enum {
    OBX_OP_PUT = 0x02,
    OBX_OP_GET = 0x03,
    OBX_OP_CONNECT = 0x80,
    OBX_OP_DISCONNECT = 0x81,
    OBX_OP_SETPATH = 0x85,
    OBX_FINAL = 0x80
};

/* Response codes without the final bit. */
enum { OBX_RSP_CONTINUE = 0x10, OBX_RSP_SUCCESS = 0x20 };

/* Header ids. */
enum {
    OBX_HDR_NAME = 0x01,
    OBX_HDR_TYPE = 0x42,
    OBX_HDR_TARGET = 0x46,
    OBX_HDR_BODY = 0x48,
    OBX_HDR_END_OF_BODY = 0x49,
    OBX_HDR_WHO = 0x4A,
    OBX_HDR_APP_PARAMS = 0x4C,
    OBX_HDR_LENGTH = 0xC3,
    OBX_HDR_CONNECTION_ID = 0xCB
};

/* Client states. */
enum { OBX_STATE_IDLE = 0, OBX_STATE_CONNECTED = 1, OBX_STATE_REQUEST = 2, OBX_STATE_RESPONSE = 3 };

typedef struct ObxClt ObxClt;

/* A client over sock (not owned). rxSize is the receive packet size announced at connect: 0 means
 * 255, and a size under 255 or over 65535 is brought into that range. txLimit caps the packets
 * sent: 0 means 240, and a limit under 64 counts as 64. NULL for a NULL sock or out of memory. Free
 * it with ObxClt_delete. */
DV_API ObxClt *ObxClt_new(CnsSock *sock, int32_t rxSize, int32_t txLimit);
/* Disconnects when connected (errors are ignored), then frees the client and its packets, never
 * the transport. NULL is a no-op. */
DV_API void ObxClt_delete(ObxClt *clt);
/* 1 when the state is not idle, else 0 (also for NULL). */
DV_API int32_t ObxClt_isConn(const ObxClt *clt);

/* Connects: CONNECT with version 0x12, flags and the receive size, followed by the bytes of headers
 * (optional, e.g. a Target header; the caller's). 0 when connected (also when already connected),
 * -9 when the server refused, -81 when headers do not fit a 255-byte packet, -92, or a transport
 * error. Switches an IrDA transport to raw mode first, since OBEX data holds NUL bytes. */
DV_API int32_t ObxClt_conn(ObxClt *clt, int32_t flags, const SkBuff *headers);
/* DISCONNECT with the bytes of headers (optional). Back to state 0 and packets freed whatever the
 * result: 0, -9, -92 or a transport error; -7 when not connected. */
DV_API int32_t ObxClt_disc(ObxClt *clt, const SkBuff *headers);
/* SETPATH with flags, constants 0 and the bytes of headers (optional): 0, -9, -92, a transport
 * error; -7 when not connected, -23 during a request. */
DV_API int32_t ObxClt_setPath(ObxClt *clt, int32_t flags, const SkBuff *headers);

/* Starts a request: opcode OBX_OP_PUT or OBX_OP_GET (else -81); -7 when not connected, -23 unless
 * connected and idle. State 2; the Connection-Id, when the server gave one, is its first header. */
DV_API int32_t ObxClt_txReqBeg(ObxClt *clt, int32_t opcode);
/* Adds a header (value: length bytes, the caller's; see "Header values"). A header that does not
 * fit the current packet goes into the next one, the current packet being sent without the final
 * bit. Body (0x48) and End-of-Body (0x49) data are appended to the packet's last Body header and
 * cut into Body headers that fill each packet; the piece that ends the data takes the given id, so
 * End-of-Body closes the body; End-of-Body with no data turns the last Body header into one.
 * 0, -7, -23 (not in state 2, or body data after End-of-Body), -81 (a header larger than a packet,
 * a bad length), -9 (a packet not answered with Continue), -92, or a transport error. */
DV_API int32_t ObxClt_txReqHdr(ObxClt *clt, int32_t id, const void *value, int32_t length);
/* Ends the request: adds an empty End-of-Body when a body was started and not ended, sends the
 * packet with the final bit and reads the first response packet. 0 (state 3), -9 (state 1), -7,
 * -23, -92 or a transport error (state 0). */
DV_API int32_t ObxClt_txReqEnd(ObxClt *clt);
/* The next response header: 1 with *id, *value (points into the client's response packet, valid
 * until the next call on the client) and *length; 0 when the response is complete (state 1); or
 * -7, -23 (not in state 3), -9 (a later packet's code), -92, a transport error. When a Continue
 * packet is used up, an empty final request with the same opcode fetches the next one. */
DV_API int32_t ObxClt_rxRspHdr(ObxClt *clt, int32_t *id, const uint8_t **value, int32_t *length);
/* Reads and drops the rest of the response: 0, or an error as ObxClt_rxRspHdr. */
DV_API int32_t ObxClt_rxRspWhole(ObxClt *clt);

/* ---- The body stream ----
 * getc and read deliver the bytes of the response's Body and End-of-Body headers in order, reading
 * on across Continue packets; at the end of the response they answer -202 (read 0) and the client
 * is back in state 1. ungetc steps back within the current header (-23 otherwise). putc, write and
 * printf answer -95; seek, tell, flush and size -94. Client errors pass through. */

/* A body stream over clt (not owned; it must outlive the stream), normally in state 3. NULL for
 * NULL or out of memory. Free it with ObxBody_delete (or its delete slot). */
DV_API AbsFile *ObxBody_new(ObxClt *clt);
/* Frees the stream, never the client. NULL is a no-op. */
DV_API void ObxBody_delete(AbsFile *stream);

/* ---- Self-tests ----
 * Both open sock when it is closed (and leave it open), connect with packet sizes 208/208 and
 * disconnect at the end. ObxIbxClt_test PUTs a sample card named "test.vcf" (Name, Length and Body)
 * to the inbox. ObxFldClt_test connects to the folder-browsing service (Target
 * F9EC7BC4-953C-11D2-984E-525400DC9E09), GETs the type "x-obex/folder-listing" and writes the body
 * to the file "fld-list.log" in the working directory. 0 or the first error (-53 when the file
 * cannot be written, -2 out of memory). */
DV_API int32_t ObxIbxClt_test(CnsSock *sock);
DV_API int32_t ObxFldClt_test(CnsSock *sock);

DV_END_DECLS

#endif
