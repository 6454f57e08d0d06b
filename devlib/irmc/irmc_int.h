/*
 * irmc_int.h — the IrMC client's parsers and helpers that the store, the self-test, the fuzz
 * targets and the tests reach: the info.log parser, the Application-Parameters reader, a stream
 * that refuses to grow past a bound, and the client's OBEX client.
 *
 * Runs on the caller's thread and takes no lock. Internal to the library.
 */
#ifndef DV_IRMC_INT_H
#define DV_IRMC_INT_H

#include "dv_irmc.h"
#include "dv_obex.h"

DV_BEGIN_DECLS

/* The longest card or record read in one piece: a bound against a handset that never stops. */
#define MC_MAX_OBJECT (1024 * 1024)

/* Sets info to "nothing known" (counts -1, access 1, no descriptions), keeping its field table. */
void McInfo_clear(McStoreInfo *info);

/* Parses an info.log text read from in (to its end) into info, which McInfo_clear resets first.
 * Lines longer than 1024 bytes are cut. A malformed line is skipped. 0, -201 for a text over
 * MC_MAX_OBJECT bytes, or the stream's error (other than the end of data). */
int32_t McInfo_parse(AbsFile *in, McStoreInfo *info);

/* The access flags for an IEL value: 1 → 1, 2 → 3, 4 → 7, 8 → 11, 16 → 15, anything else 1. */
int32_t McInfo_accessOfIel(int32_t iel);

/* Reads the tag-length-value items of an Application-Parameters value (length bytes): tag 1
 * replaces the text of id, tag 2 sets *changeCounter from its decimal digits, tag 3 replaces the
 * text of extra (each output optional). A value that runs past the end stops the reading. */
void McApp_parse(const uint8_t *value, int32_t length, StrBuf *id, int32_t *changeCounter, StrBuf *extra);

/* A write-only stream over inner (not owned) that takes at most max bytes in all, then answers
 * -201. Free it with its delete slot. NULL when out of memory. */
AbsFile *McLimit_new(AbsFile *inner, int32_t max);

/* The client's OBEX client (owned by the client). */
ObxClt *McClt_obex(McClt *m);

DV_END_DECLS

#endif
