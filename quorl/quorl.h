/*
 * quorl.h — libquorl.so, the conversion library between the local code page and UTF-8 (on glibc
 * iconv). libDravnik.so loads it by name when it attaches (from its own folder first) and reaches
 * it only through dlsym, so the device library works, for ASCII text, without it.
 *
 * The local code page is UTF-8 unless the environment variable QUORL_LOCAL_CODEPAGE names another
 * iconv code page when the library is loaded (QUORL_LOCAL_CODEPAGE=GBK), or Quorl_setLocalCodePage
 * changes it. A character that cannot be converted becomes "?"; a result that does not fit is cut
 * between characters. The device library exports functions of the same two names: each library is
 * linked with -Bsymbolic so that neither binds to the other's.
 *
 * Runs on the caller's thread and takes no lock; change the code page only while no conversion runs.
 */
#ifndef QUORL_H
#define QUORL_H

#include <stdint.h>

#define QUORL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Converts the zero-terminated local text src into UTF-8 in dst (dstSize bytes, terminator
 * included). Answers the bytes written; -81 for a NULL pointer or dstSize <= 0; -51 when iconv cannot
 * convert from the local code page. */
QUORL_API int32_t CsUtil_localToUtf8(const char *src, char *dst, int32_t dstSize);
/* Converts the zero-terminated UTF-8 text src into the local code page; results as above. */
QUORL_API int32_t CsUtil_utf8ToLocal(const char *src, char *dst, int32_t dstSize);

/* Converts n bytes of src, text in the character set charset (an iconv name such as "SHIFT_JIS",
 * "ISO-8859-1", "BIG5"; below 64 characters of letters, digits, "-", "_", ".", ":" and "+"), into
 * UTF-8 in dst (dstSize bytes, terminator included). src may hold zero bytes (UTF-16). Answers the
 * bytes written; -81 for a NULL pointer, n < 0, dstSize <= 0 or a name iconv does not know (dst then
 * holds an empty text). */
QUORL_API int32_t Quorl_charsetToUtf8(const char *charset, const char *src, int32_t n, char *dst, int32_t dstSize);

/* Makes name (an iconv code-page name such as "GBK" or "UTF-8", below 64 characters) the local code
 * page. 0, or -81 for NULL or a name iconv does not know (the code page is then unchanged). */
QUORL_API int32_t Quorl_setLocalCodePage(const char *name);

#ifdef __cplusplus
}
#endif

#endif
