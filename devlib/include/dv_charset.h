/*
 * dv_charset.h — character sets and the GSM field codecs.
 *
 * What it does: converts text between the local code page, UTF-8, UCS-2 (big-endian) and UTF-7;
 * packs and unpacks GSM 03.38 7-bit text; encodes and decodes GSM 03.40 address fields and
 * service-centre time stamps with the swapped BCD they use; turns bytes into hex text and back (as
 * handsets send PDUs); encodes and decodes Base64 (RFC 4648) and quoted-printable.
 *
 * What it owns: the handle of the conversion library libquorl.so (loaded by CsUtil_init when the
 * library attaches, freed by CsUtil_cleanup at detach) and its two entry points. Only the local code
 * page, and a character set a vCard names by CHARSET (SHIFT_JIS, ISO-8859-1 ...), need it. Without it a text made only of ASCII bytes passes unchanged and any other text
 * converts to an empty text, in both directions; UTF-8, UCS-2 and UTF-7 never need it. On Linux the
 * local code page is UTF-8 unless quorl is told otherwise (QUORL_LOCAL_CODEPAGE, see quorl.h).
 *
 * Conventions:
 * - UCS-2 text is a byte buffer of 16-bit units stored high byte first, ended by a zero unit where
 *   no count is given. Unit counts are in units, byte counts in bytes.
 * - Every text output is zero-terminated and its size counts the terminator, so at most size - 1
 *   bytes (units - 1 units) of text are written. A result that does not fit is cut, never overrun,
 *   and a cut always lands on a character boundary (no half UTF-8 sequence, no half local character).
 * - Conversions never fail loudly: a bad UTF-8 sequence becomes "?", bad BCD and quoted-printable are
 *   skipped, anything else ends the conversion. Inputs are untrusted: no decoder reads past the
 *   count or terminator it is given, whatever the counts inside the data say.
 * - Sizes and counts are int32_t; a negative size counts as 0 unless a function says otherwise.
 * - Ownership: callers own every buffer they pass in, and nothing is kept after a call returns; the
 *   few functions that return new memory say so, and the caller frees it with free().
 *
 * Result codes: a count (>= 0) on success; -81 (DV_E_ARG) for a NULL pointer where data is needed
 * or an argument out of range; -92 (DV_E_MALFORMED) where a field says it is longer than the bytes
 * given (GsmUtil_getNoPduLen); -51 (DV_E_FAIL) when the conversion library cannot be loaded.
 *
 * Runs on the caller's thread and takes no lock. CsUtil_init and CsUtil_cleanup run at library
 * attach and detach, when no conversion may be running.
 */
#ifndef DV_CHARSET_H
#define DV_CHARSET_H

#include "dv_export.h"

DV_BEGIN_DECLS

/* ======================================================================================
 * Conversion library
 * ====================================================================================== */

/* Loads libquorl.so (first from the folder that holds libDravnik.so, then by plain name) and looks
 * up "CsUtil_localToUtf8" and "CsUtil_utf8ToLocal". Logs "Load library libquorl.so..." and then a
 * line feed, or "fail\n". 0, or -51 when the library or an entry point is missing (the module then
 * works without it). Calling it again first frees the library it holds. */
DV_API int32_t CsUtil_init(void);
/* Frees the conversion library; harmless when none is loaded. */
DV_API void CsUtil_cleanup(void);

/* ======================================================================================
 * Character sets (all outputs zero-terminated; sizes include the terminator)
 * ====================================================================================== */

/* UTF-8 to UCS-2: writes at most units - 1 units and a zero unit into ucs2 (2 * units bytes) and
 * answers the units written. Sequences of up to three bytes become one unit and a 4-byte character
 * beyond the basic plane a UTF-16 surrogate pair (never split by the end of the room); a 5- or 6-byte
 * sequence, an overlong form, an encoded surrogate, a stray continuation byte or a sequence cut short
 * becomes one "?" and only its continuation bytes are skipped, so the text after it and the
 * terminator are never lost. */
DV_API int32_t CsUtil_utf8ToUcs2(const char *utf8, uint8_t *ucs2, int32_t units);

/* UCS-2 to UTF-8 (1, 2 or 3 bytes a unit, 4 for a surrogate pair; a lone surrogate reads as U+FFFD): reads n units, or up to the zero unit when n < 0 (a zero
 * unit also ends a counted text). Answers the bytes written; a character that does not fit before
 * the terminator ends the conversion. */
DV_API int32_t CsUtil_ucs2ToUtf8(const uint8_t *ucs2, int32_t n, char *utf8, int32_t size);

/* Local code page to UCS-2: answers the units written, 0 for an empty text, for non-ASCII text
 * without the conversion library, or when the library fails (ucs2 then holds an empty text). */
DV_API int32_t CsUtil_localToUcs2(const char *local, uint8_t *ucs2, int32_t units);

/* UCS-2 (n units, or up to the zero unit when n < 0) to the local code page: answers the length of
 * the local text, 0 when there is nothing to convert, or for non-ASCII text without the library
 * (local then holds an empty text). */
DV_API int32_t CsUtil_ucs2ToLocal(const uint8_t *ucs2, int32_t n, char *local, int32_t size);

/* UTF-8 to the local code page and back: answers the bytes written. A text of ASCII bytes only is
 * copied unchanged (cut at size - 1); any other text goes through UCS-2 and the conversion library
 * (an empty text without it). */
DV_API int32_t CsUtil_utf8ToLocal(const char *utf8, char *local, int32_t size);
DV_API int32_t CsUtil_localToUtf8(const char *local, char *utf8, int32_t size);

/* UTF-7 (RFC 2152) to UTF-8 or to the local code page: answers the bytes written. "+-" is "+"; a
 * "+" opens a Base64 run of UCS-2 units (CR and LF inside it are skipped) that ends at the first
 * character outside the Base64 alphabet; a "-" there is consumed, any other character is kept. */
DV_API int32_t CsUtil_utf7ToUtf8(const char *utf7, char *utf8, int32_t size);
DV_API int32_t CsUtil_utf7ToLocal(const char *utf7, char *local, int32_t size);

/* Length in bytes of a UCS-2 text: up to its first zero unit (the two bytes at an even offset). */
DV_API int32_t Ucs2Util_strlen(const uint8_t *ucs2);

/* ======================================================================================
 * GSM 03.38 / 03.40 fields
 * ====================================================================================== */

/* Packs n septets (the low 7 bits of each byte of chars; the caller maps its text to GSM codes
 * first) least significant bit first, after fillBits (0..6) zero bits, so the first septet starts
 * on the septet boundary that follows a user-data header. Answers the octets written,
 * ceil((7 * n + fillBits) / 8), packing only the septets whose octets fit in outSize. -81 for a
 * NULL pointer or fillBits outside 0..6. Writes no terminator. */
DV_API int32_t GsmUtil_enc7BitStr(uint8_t *out, int32_t outSize, const char *chars, int32_t n,
                                  int32_t fillBits);

/* Unpacks the n octets at octets (skipping fillBits (0..6) leading bits) into septet values, one
 * byte each, at most outSize - 1 of them, then a zero byte. n is the count of octets actually
 * there: floor((8 * n - fillBits) / 7) septets at most. Answers the septets written; to take the
 * TP-UDL's count, pass outSize = count + 1. Septet 0 (GSM "@") is written as a zero byte, so use the
 * answer, not strlen. -81 for a NULL pointer or fillBits outside 0..6. */
DV_API int32_t GsmUtil_dec7BitStr(char *out, int32_t outSize, const uint8_t *octets, int32_t n,
                                  int32_t fillBits);

/* Octets taken by the address field at field, of which len bytes are there: TP form (isTpAddress
 * non-zero; first octet = semi-octets of the value) (first + 1) / 2 + 2; service-centre form (first
 * octet = octets that follow) first + 1, so "00" is a one-octet empty field. -92 when len < 1 or the
 * field is longer than len; -81 for a NULL field. */
DV_API int32_t GsmUtil_getNoPduLen(const uint8_t *field, int32_t len, int32_t isTpAddress);

/* Encodes number as an address field: length octet, type of address, value. Type 0xD0
 * (alphanumeric, the whole text packed in 7 bits; TP length = semi-octets, ceil(7n / 4)) when a
 * character other than a leading "+" is not a decimal digit; else 0x91 (international, the digits
 * after "+") or 0x81, in swapped BCD with F fill. TP form length octet: digits (semi-octets for
 * 0xD0); service-centre form: value octets + 1. Answers the octets written; -81 when the field does
 * not fit in outSize or its length octet, or for a NULL pointer. An empty text gives "00 81" (TP) or
 * "01 81" (service centre). */
DV_API int32_t GsmUtil_encNo(uint8_t *out, int32_t outSize, const char *number, int32_t isTpAddress);

/* Decodes the address field at field (len bytes there) into a zero-terminated text of at most
 * outSize - 1 characters: type 0x91 gives "+" and the digits, 0xD0 the 7-bit text (floor(4L / 7)
 * septets for a TP length of L semi-octets, raw GSM codes), any other type the digits. Only the
 * octets both announced and present are read; a length octet of 0 is an empty number. Nibbles
 * 10-14 read as "*", "#", "a", "b", "c"; 15 (the F fill) is skipped. Answers the characters
 * written, -81 for a NULL pointer. */
DV_API int32_t GsmUtil_decNo(char *out, int32_t outSize, const uint8_t *field, int32_t len,
                             int32_t isTpAddress);

/* Time record: eight int16_t words: year, month, day, hour, minute, second, zone (hours), spare. */

/* Writes 7 octets to out: year (modulo 100), month, day, hour, minute, second in swapped BCD and a
 * zone octet of 0. Reads time[0..5]; a field outside 0..99 is taken modulo 100. Answers 7, or -81
 * for a NULL pointer. */
DV_API int32_t GsmUtil_encObsTime(uint8_t *out, const int16_t *time);
/* Reads exactly 7 octets (the caller checks that they are there) and fills time[0..6]: the year stays
 * two-digit; the zone is quarters of an hour = high nibble + 10 * (low nibble & 7), in whole hours
 * (truncated), negative when bit 3 of the octet is set. Answers the zone in hours (-21..21); -81 for
 * a NULL pointer. time[7] is left as it is. */
DV_API int32_t GsmUtil_decObsTime(int16_t *time, const uint8_t *octets);

/* ---- Swapped BCD: first digit in the low nibble ---- */

/* Packs the decimal digits of the text digits (other characters are skipped) two to an octet; an
 * odd count ends with 0xF (fillF non-zero) or 0x0 in the last high nibble. Answers the octets
 * written; only whole octets that fit in outSize are written. -81 for a NULL pointer. */
DV_API int32_t Bcd_enc(uint8_t *out, int32_t outSize, const char *digits, int32_t fillF);
/* Unpacks n octets into a zero-terminated text of at most outSize - 1 digits; nibbles 10-15 (the F
 * fill among them) are skipped. Answers the digits written, -81 for a NULL pointer. */
DV_API int32_t Bcd_dec(char *out, int32_t outSize, const uint8_t *octets, int32_t n);
/* high nibble + 10 * low nibble: 0x54 gives 45. */
DV_API int32_t Bcd_decToInt(uint8_t octet);
/* (v mod 10) * 16 + (v / 10) mod 10 for v taken modulo 100 (0..99): 45 gives 0x54. */
DV_API uint8_t Bcd_encFromInt(int32_t v);

/* ---- Hex text (IRA), as handsets carry PDUs ---- */

/* Reads pairs of hex digits (either case) into bytes: at most min(outSize - 1, strlen(hex) / 2),
 * ending early at the first pair that is not two hex digits; a zero byte follows the bytes. Answers
 * the bytes written, -81 for a NULL pointer. */
DV_API int32_t IraUtil_iraToBuf(const char *hex, uint8_t *out, int32_t outSize);
/* Writes at most (outSize - 1) / 2 of the n bytes as "%02x" (lower case), zero-terminated. Answers
 * the characters written, -81 for a NULL pointer. */
DV_API int32_t IraUtil_bufToIra(const uint8_t *bytes, int32_t n, char *out, int32_t outSize);

/* ======================================================================================
 * Base64 (RFC 4648 alphabet "A"-"Z", "a"-"z", "0"-"9", "+", "/", "=" padding) and quoted-printable
 * ====================================================================================== */

/* Encodes one group of n bytes (1..3; more counts as 3) into 4 characters, padded with "=". Writes
 * no terminator. Answers 4, or 0 for n <= 0 (nothing written); -81 for a NULL pointer. */
DV_API int32_t Base64_encode(const uint8_t *src, int32_t n, char *out4);
/* Decodes the 4 characters at in4 into out3: answers 3, 2 (one "="), 1 (two "="), or 0 for a
 * character outside the alphabet, more than two "=" or an "=" followed by a non-"=". */
DV_API int32_t Base64_decode(const char *in4, uint8_t *out3);

/* New zero-terminated Base64 text of n bytes (or of the text s), without line breaks, allocated with
 * malloc: the caller frees it with free(). NULL for n <= 0, an empty or NULL s, or no memory. */
DV_API char *Base64_encodeBuf(const uint8_t *bytes, int32_t n);
DV_API char *Base64_encodeChars(const char *s);
/* New zero-terminated byte string decoded from the whole 4-character groups of s (CR and LF
 * skipped; decoding stops at the first bad group), allocated with malloc: the caller frees it with
 * free(). NULL when s is NULL, shorter than 4 characters, or no memory. A decoded zero byte ends the
 * string for its reader: binary data should use Base64_decodeBuf. */
DV_API char *Base64_decodeChars(const char *s);

/* Decodes the zero-terminated text into out (outSize bytes; out may be text itself, decoding in
 * place), skipping CR and LF. Only complete groups are decoded; *n is set to the characters of text
 * consumed, so the characters of an incomplete last group (or of a group that did not fit in out)
 * can be fed again with the next piece. Decoding stops at a group with a character outside the
 * alphabet. Answers the bytes written (no terminator), -81 for a NULL pointer. */
DV_API int32_t Base64_decodeBuf(const char *text, int32_t *n, uint8_t *out, int32_t outSize);

/* 1 and the byte in *out for "=" followed by two hex digits (either case) at in3, else 0. Reads
 * in3[1] only when in3[0] is "=", in3[2] only when in3[1] is a hex digit. */
DV_API int32_t Qp_decode(const char *in3, uint8_t *out);
/* Decodes the zero-terminated quoted-printable text into out (outSize bytes; out may be text
 * itself): "=" CR LF is a soft line break and yields nothing; "=" and two hex digits yield one byte;
 * an "=" followed by anything else is skipped; every other character ("_" included) is itself. An
 * "=" with fewer than two characters after it, or a byte that does not fit in out, stops the
 * decoding. *n is set to the characters consumed. Answers the bytes written (no terminator), -81
 * for a NULL pointer. */
DV_API int32_t Qp_decodeBuf(const char *text, int32_t *n, uint8_t *out, int32_t outSize);
/* New zero-terminated text with every byte written as "=%02x", allocated with malloc: the caller
 * frees it with free(). NULL for n <= 0, a NULL bytes or no memory. */
DV_API char *Qp_encodeBuf(const uint8_t *bytes, int32_t n);

DV_END_DECLS

#endif
