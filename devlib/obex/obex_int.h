/*
 * obex_int.h — the OBEX client's header codec and the internals that the IrMC client and the tests
 * reach: building one header into a packet, walking the headers of a received packet, the
 * negotiated sizes, and dropping a request without a word to the server.
 *
 * Runs on the caller's thread and takes no lock. Internal to the library.
 */
#ifndef DV_OBEX_INT_H
#define DV_OBEX_INT_H

#include <stddef.h>

#include "dv_obex.h"

DV_BEGIN_DECLS

/* The IrOBEX minimum for a maximum packet length, and the largest the 16-bit length field holds. */
#define OBX_MIN_PACKET 255
#define OBX_MAX_PACKET 65535

/* One header of a received packet; value points into the packet. */
typedef struct ObxHdr {
    int32_t id;
    const uint8_t *value;
    int32_t length;
} ObxHdr;

/* The wire size of a header with a value of length bytes: 3 + length (byte sequence), 5 + length
 * (text: a zero unit is added), 2 (one byte: length must be 1), 5 (four bytes: length must be 4);
 * -81 for a bad length or a header longer than the 16-bit length field allows. */
int32_t ObxHdr_wireSize(int32_t id, int32_t length);

/* Appends one header at the tail of skb: 0, -81 (bad length), -201 when it does not fit before the
 * packet's end (nothing is written then). */
int32_t ObxHdr_put(SkBuff *skb, int32_t id, const void *value, int32_t length);

/* Reads the header at buf[*off] of a header area of len bytes: 1 with *out and *off moved past it,
 * 0 at the end (*off == len), -92 when the header is cut short by the end of the area (its id
 * alone, a one-byte or four-byte value, or the 16-bit length), when a length is under 3, or when
 * it runs past the end. Never reads outside buf[0..len). */
int32_t ObxHdr_next(const uint8_t *buf, size_t len, size_t *off, ObxHdr *out);

/* The client's state, packet size (what it sends), and announced receive size. */
int32_t ObxClt_state(const ObxClt *clt);
int32_t ObxClt_packetSize(const ObxClt *clt);
int32_t ObxClt_rxSize(const ObxClt *clt);

/* Drops the request in progress without telling the server: packets freed, state 0 (a reader that
 * gave up on a response cannot tell where the next one starts). */
void ObxClt_abort(ObxClt *clt);

DV_END_DECLS

#endif
