/*
 * charset_int.h — the library-internal half of the character-set module: loading the conversion
 * library from a given path and reaching its code-page setter, for tests and tools that link the
 * module statically (a test binary has no libDravnik.so folder to find libquorl.so in).
 *
 * Runs on the caller's thread and takes no lock; call it only while no conversion runs.
 */
#ifndef DV_CHARSET_INT_H
#define DV_CHARSET_INT_H

#include "dv_charset.h"

DV_BEGIN_DECLS

/* Frees the conversion library held, then loads the one at path (NULL: load nothing, so the module
 * runs "without quorl"). 0, or -51 when the file or an entry point is missing. Logs as CsUtil_init. */
int32_t CsUtil_loadFrom(const char *path);
/* Non-zero while the conversion library and both entry points are loaded. */
int32_t CsUtil_isLoaded(void);
/* Sets the local code page of the loaded conversion library by its iconv name ("GBK", "UTF-8"),
 * through its export Quorl_setLocalCodePage. 0; -81 for a name iconv does not know; -51 without the
 * library or that export. */
int32_t CsUtil_setLocalCodePage(const char *name);

/* Converts n bytes of text in the named character set (an iconv name as a CHARSET parameter gives
 * it: "SHIFT_JIS", "ISO-8859-1", "BIG5", "WINDOWS-1252") into UTF-8 in utf8 (size bytes, terminator
 * included, cut at a character boundary) through the conversion library. A zero character ends the
 * text. Answers the bytes written; -81 for a NULL pointer, n < 0 or a name the library does not know;
 * -51 without the library or its export; -2 out of memory. On failure utf8 holds an empty text
 * (when size > 0). */
int32_t CsUtil_charsetToUtf8(const char *charset, const char *src, int32_t n, char *utf8, int32_t size);

DV_END_DECLS

#ifdef __cplusplus
namespace dvcs {

// The value of a hex digit, -1 for anything else.
inline int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value of a Base64 character (RFC 4648 alphabet, also UTF-7's), -1 for anything else.
inline int b64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace dvcs
#endif

#endif
