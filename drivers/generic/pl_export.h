/*
 * pl_export.h — export macro of the generic driver.
 *
 * The driver is built with hidden default visibility; only the functions marked PL_API (the
 * MsMng_*, GmcTe_*, OthInfo_*, OthPb_* and OthSms_* entry points) are exported from Pelurin.so.
 * Everything else, the SMS PDU codec and the interface wrappers included, stays inside the driver.
 */
#ifndef PL_EXPORT_H
#define PL_EXPORT_H

#include <stddef.h>
#include <stdint.h>

#define PL_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define PL_BEGIN_DECLS extern "C" {
#define PL_END_DECLS }
#else
#define PL_BEGIN_DECLS
#define PL_END_DECLS
#endif

#endif
