/*
 * dv_util.h — what the whole library shares: the interface registry, storage names, the link-fault
 * test, the empty-slot routine, unaligned stores and small string utilities.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_UTIL_H
#define DV_UTIL_H

#include "dv_export.h"

DV_BEGIN_DECLS

/* ---- ItfMng: the interface registry ----
 *
 * The generic driver registers each of its objects with an enter routine (switch the handset into
 * the object's mode: PDU mode, a character set) and a leave routine, and calls ItfMng_exec with the
 * object's index before every operation, so the handset is switched only when another object was
 * used last. */
typedef int32_t (*ItfMngFn)(void *user);
typedef struct ItfMng ItfMng;

/* A registry of `slots` free slots and no current entry; NULL for slots < 0 or no memory.
 * Free it with ItfMng_delete (NULL is a no-op). */
DV_API ItfMng *ItfMng_new(int32_t slots);
DV_API void ItfMng_delete(ItfMng *mng);
/* Index of the first free slot, -201 when all are in use, -81 for a NULL registry or user. */
DV_API int32_t ItfMng_reg(ItfMng *mng, void *user, ItfMngFn enter, ItfMngFn leave);
/* 0, or -81 for an index outside the table. Unregistering the current entry leaves none current. */
DV_API int32_t ItfMng_unreg(ItfMng *mng, int32_t index);
/* Makes index current: a NULL registry answers 0; an index outside the table or a free slot -81; the
 * current index 0 without calling anything. Otherwise the current entry's leave routine runs, then the
 * new entry's enter routine when the leave did not fail; the result is the enter routine's (or the
 * leave's). After a failure no entry is current, so the next call retries the switch. */
DV_API int32_t ItfMng_exec(ItfMng *mng, int32_t index);
/* The current index, -1 when none (NULL registry: -1). */
DV_API int32_t ItfMng_current(const ItfMng *mng);

/* ---- MsStor: storage names ---- 0 "CUR", 1 "SM", 2 "ME", 3 "OTHER". */
DV_API const char *MsStor_typeToName(int32_t type); /* static text; "UNKNOWN" outside 0..3 */
DV_API int32_t MsStor_nameToType(const char *name); /* case-insensitive; 0 when unknown or NULL */

/* 1 for the link faults -92, -71, -12, -7 and -5, else 0. A sequence of handset operations stops at
 * a fault and goes on after other errors. */
DV_API int32_t NetUtil_isFaultErr(int32_t code);

/* The routine in every unset operation slot: logs "exit program for NULL virtual func call\n" and
 * ends the process with code 101. */
DV_API void ObjUtil_vfuncNull(void) __attribute__((noreturn));

/* Store a value's bytes in machine order at any alignment. */
DV_API void put_unaligned_u16(uint16_t value, void *address);
DV_API void put_unaligned_u32(uint32_t value, void *address);
DV_API uint16_t get_unaligned_u16(const void *address);
DV_API uint32_t get_unaligned_u32(const void *address);

/* ---- StrUtil: zero-terminated byte strings, changed in place ---- */
DV_API int32_t StrUtil_isAllAscii(const char *s);
DV_API char *StrUtil_strupr(char *s); /* ASCII letters only */
DV_API char *StrUtil_strlwr(char *s);
DV_API char *StrUtil_strtrim(char *s); /* blanks and tabs, both ends */
DV_API char *StrUtil_strtrimExt(char *s, const char *set);
/* First and last character that is not in the set, without changing s; for an empty or all-blank
 * text, *last is the position just before *first. */
DV_API void StrUtil_trimTry(const char *s, const char **first, const char **last);
DV_API void StrUtil_trimExtTry(const char *s, const char *set, const char **first, const char **last);
DV_API int32_t StrUtil_stricmp(const char *a, const char *b);
DV_API int32_t StrUtil_strincmp(const char *a, const char *b, int32_t n);
DV_API char *StrUtil_stristr(const char *text, const char *part); /* empty part matches at the start */
/* Copies at most size - 1 characters, always terminated when size > 0; answers the count copied. */
DV_API int32_t StrUtil_strxfrm(char *dst, const char *src, int32_t size);
/* A malloc'd copy (free with free()); NULL for NULL or no memory. */
DV_API char *StrUtil_strdup(const char *s);

DV_END_DECLS

#endif
