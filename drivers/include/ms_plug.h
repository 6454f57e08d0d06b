/*
 * ms_plug.h — the model plug-in contract.
 *
 * A model plug-in is a shared library named *.plug in the program's Plug-in folder. The program
 * catalogues it at start-up (MsPlug_getVer, MsPlug_getSupp, then unloads it without MsPlug_init),
 * and at connect loads it, calls MsPlug_init with the ConnHandle that the driver's MsMng_connect
 * returned, asks for the interfaces 15, 11, 12, 13, 14, 21 and 22 in that order, uses them, and
 * calls MsPlug_cleanup before it unloads the plug-in and the driver closes the connection. A file
 * that lacks any of the five exports is not a plug-in.
 *
 * Ownership: the PlugSupp table and its texts are static and live while the library is loaded.
 * The interface objects belong to the plug-in and stay valid until MsPlug_cleanup; the ConnHandle
 * stays the driver's.
 *
 * Result codes: 0 or more success; MsPlug_getItf answers -94, -95 or -81 for an interface the
 * plug-in does not have (the pointer is left NULL); any other negative answer fails the connect.
 *
 * Calls for one connection come from one thread at a time (the program's connection lock); nothing
 * here takes a lock.
 */
#ifndef MS_PLUG_H
#define MS_PLUG_H

#include <stdint.h>

#include "ms_itf.h"

#ifdef __cplusplus
extern "C" {
#endif

struct ConnHandle;

/* One model a plug-in serves. A row with a NULL Man ends the table early. */
typedef struct PlugSupp {
    const char *Man;
    const char *Model1;
    const char *Model2;
} PlugSupp;

/* Export names, as the program looks them up. */
#define MS_PLUG_GETVER "MsPlug_getVer"
#define MS_PLUG_GETSUPP "MsPlug_getSupp"
#define MS_PLUG_INIT "MsPlug_init"
#define MS_PLUG_GETITF "MsPlug_getItf"
#define MS_PLUG_CLEANUP "MsPlug_cleanup"

/* Fills all three (each may be NULL). 0. */
typedef int32_t (*MsPlugGetVerFn)(int32_t *major, int32_t *minor, int32_t *build);
/* The manufacturer served (the driver whose MsMng_getSupp names it) and the model table. Answers
 * the row count; negative: the file is skipped. */
typedef int32_t (*MsPlugGetSuppFn)(const char **man, const PlugSupp **table);
/* Binds the plug-in to an open connection. Negative fails the connect. */
typedef int32_t (*MsPlugInitFn)(struct ConnHandle *conn);
/* The interface with that id (MS_ITF_*) into *itf. */
typedef int32_t (*MsPlugGetItfFn)(int32_t id, void **itf);
/* Ends the binding; no interface pointer is used afterwards. */
typedef int32_t (*MsPlugCleanupFn)(void);

#ifdef __cplusplus
}
#endif

#endif
