/*
 * dv_export.h — export and linkage macros shared by every public header of the device library.
 *
 * The library is built with hidden default visibility; only functions marked DV_API are exported
 * from libDravnik.so. Every public header wraps its declarations in DV_BEGIN_DECLS/DV_END_DECLS so
 * that the C ABI is the contract for C and C++ callers alike.
 */
#ifndef DV_EXPORT_H
#define DV_EXPORT_H

#include <stddef.h>
#include <stdint.h>

#define DV_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define DV_BEGIN_DECLS extern "C" {
#define DV_END_DECLS }
#else
#define DV_BEGIN_DECLS
#define DV_END_DECLS
#endif

#endif
