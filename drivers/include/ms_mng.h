/*
 * ms_mng.h — the driver entry points (MsMng_*), the connection handle and the identity queries of
 * the generic driver (GmcTe_*).
 *
 * Every driver exports MsMng_getVer, MsMng_getSupp, MsMng_connect, MsMng_disconnect and
 * MsMng_isConnected; the main program catalogues drivers with the first two and opens and closes
 * the link to a handset with the others. MsMng_connect opens a serial port or an IrDA link, builds
 * an AT terminal over it, checks that the handset answers and reads its identity. The ConnHandle it
 * returns is what the main program hands to a model plug-in's MsPlug_init: the plug-in reaches the
 * AT terminal through the handle's `te` field (its layout below is part of the contract).
 *
 * Ownership: MsMng_connect allocates the handle together with its transport and terminal; all three
 * belong to the driver and are released by MsMng_disconnect, after which the handle must not be
 * used. The ConnSupp table and the manufacturer text are static and live as long as the driver is
 * loaded. Texts passed in stay the caller's; PhoneIdent and the GmcTe buffers are the caller's.
 *
 * Result codes: 0 or more success (a length for the GmcTe queries); -8 the handset did not answer
 * the link test; -9 the handset answered ERROR; -12 time-out, -71 link closed, -92 malformed reply
 * (link faults from the terminal); -64 the serial port cannot be opened; -25, -51, -102 IrDA link
 * failures; -81 bad argument (an unknown connection type, a NULL or stale handle); -2 no memory.
 *
 * Handles and the driver's objects are created and deleted from one thread at a time (the main
 * program's connection lock); a handle's operations run on the caller's thread. Runs on the
 * caller's thread and takes no lock.
 */
#ifndef MS_MNG_H
#define MS_MNG_H

#include <stddef.h>
#include <stdint.h>

#include "dv_at.h"
#include "dv_transport.h"
#include "ms_itf.h"

/* The same definition as pl_export.h, so that this header stands alone for plug-ins. */
#define PL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The connection handle ---- */

#define MS_CONN_MAGIC 0xE691F850u

/* Called with its context before every link test (MsMng_isConnected). */
typedef void (*MsMngPreHookFn)(void *ctx);

typedef struct ConnHandle {
    uint32_t magic;        /* MS_CONN_MAGIC while open, 0 once closed */
    uint16_t owned;        /* 1: MsMng_connect allocated the record */
    CnsSock *sock;         /* the open transport (serial or IrDA), owned by the handle */
    AtTe *te;              /* the AT terminal over sock, owned by the handle */
    void *preCtx;          /* pre-hook context */
    MsMngPreHookFn preFn;  /* pre-hook function, NULL when unset */
} ConnHandle;

/* What to connect to. type "Cable" or "IrDA" (any case). port: "COMn" (any case) is the serial
 * port /dev/ttyS<n-1>; a text beginning with '/' is a device path used as it stands; anything
 * else (NULL, "", "any", "USB1") is COM1; not used for IrDA. baud: a decimal text; NULL, empty or
 * not above 0 means the driver's default, 57600. */
typedef struct ConnCfg {
    const char *type;
    const char *port;
    const char *baud;
} ConnCfg;

/* One way a driver can connect: texts for the settings dialog. A row of NULLs ends the table. */
typedef struct ConnSupp {
    const char *type;
    const char *port;
    const char *bauds; /* comma-separated */
} ConnSupp;

/* ---- Entry points ---- */

/* The driver's version: 1, 2, 0. Each out-value may be NULL. Answers 0. */
PL_API int32_t MsMng_getVer(int32_t *major, int32_t *minor, int32_t *build);

/* The manufacturer this driver serves ("Other") and its connection table (static, valid while the
 * driver is loaded). Either out-value may be NULL. Answers the table's row count, 2. */
PL_API int32_t MsMng_getSupp(const char **man, const ConnSupp **supp);

/* Opens the link described by cfg, checks that the handset answers "AT" (1000 ms, 3 tries) and,
 * when ident is given, zero-fills it and reads the manufacturer ("+CGMI"; a handset that refuses
 * it keeps an empty Man) and the model pair ("+GMM" into ModelA and "+CGMM" into ModelB; when
 * "+GMM" is refused, "+CGMM" goes into ModelA and ModelB stays empty).
 * On success *out is the new handle (free it with MsMng_disconnect) and the answer is 0. On
 * failure *out is NULL (when out is given), ident is zero-filled, nothing stays allocated and the
 * port is free again: -81 NULL out or cfg, or a type other than "Cable" and "IrDA" (checked
 * before anything is opened); the transport's open code (-64, -25, -102, -12 ...); -8 no answer
 * to the link test; -9 or a link fault while the identity is read. */
PL_API int32_t MsMng_connect(ConnHandle **out, const ConnCfg *cfg, PhoneIdent *ident);

/* Closes the link and frees the handle, its terminal and its transport. 0; -81 for NULL or for a
 * handle that is not open (already disconnected, or not made by MsMng_connect), which is left
 * untouched. */
PL_API int32_t MsMng_disconnect(ConnHandle *h);

/* Runs the pre-hook when set, then the link test ("AT", 1000 ms, 3 tries). 1 when the handset
 * answers, else 0 (also for a NULL or stale handle). */
PL_API int32_t MsMng_isConnected(ConnHandle *h);

/* Stores the pre-hook pair (fn NULL clears it). 0, or -81 for a NULL or stale handle. */
PL_API int32_t MsMng_setPreHandle(ConnHandle *h, void *ctx, MsMngPreHookFn fn);
/* Reads the pre-hook pair; either out-value may be NULL. 0, or -81 for a NULL or stale handle. */
PL_API int32_t MsMng_getPreHandle(ConnHandle *h, void **ctx, MsMngPreHookFn *fn);

/* ---- GmcTe: identity and character set over an AT terminal ----
 * Every query sends its command, places the value in buf (size bytes, always terminated; a longer
 * value is cut) and answers the value's length, or -81 (NULL te or buf, size <= 0), -9 (ERROR or
 * "+CME ERROR"), or a link fault. The terminal and buffers stay the caller's. */

PL_API int32_t GmcTe_getMan(AtTe *te, char *buf, int32_t size);   /* "+CGMI" */
PL_API int32_t GmcTe_getModel(AtTe *te, char *buf, int32_t size); /* "+CGMM" */
PL_API int32_t GmcTe_getVer(AtTe *te, char *buf, int32_t size);   /* "+CGMR" */
PL_API int32_t GmcTe_getImei(AtTe *te, char *buf, int32_t size);  /* "+CGSN" */
PL_API int32_t GmcTe_getImsi(AtTe *te, char *buf, int32_t size);  /* "+CIMI" */
/* "+CSCS?": the name of the selected character set, without its quotes. */
PL_API int32_t GmcTe_getCs(AtTe *te, char *buf, int32_t size);
/* "+CSCS=?": the list of supported character sets as the handset writes it, e.g.
 * ("GSM","UCS2"), cut to size. */
PL_API int32_t GmcTe_testCs(AtTe *te, char *buf, int32_t size);
/* "+CSCS=\"name\"": 0, -9 when refused, a link fault, or -81 for a NULL te or name, a name longer
 * than 24 characters, or one holding a quote or a control character. */
PL_API int32_t GmcTe_setCs(AtTe *te, const char *name);
/* Console self-test: prints manufacturer, model, revision, IMEI, IMSI, sets "GSM", prints the
 * character set and its list (Stdout_printf). A step answering -9 is skipped; 0, or the first other
 * error. */
PL_API int32_t GmcTe_test(AtTe *te);

#ifdef __cplusplus
}
#endif

#endif
