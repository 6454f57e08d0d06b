/*
 * gsm_text.h — the GSM 03.38 default alphabet (with its extension table) against Unicode, and the
 * text clean-up every handset text passes before it leaves the driver.
 *
 * What it does: maps GSM codes (one byte each, 0x1B followed by an extension code) to Unicode and
 * back, converts phone-book texts of the "GSM" character set between the handset's form and
 * UTF-8, and turns any byte string from a handset into valid UTF-8 without control bytes.
 *
 * Untrusted input: every function reads only the bytes given; nothing is assumed terminated.
 *
 * Internal to the driver. Pure functions; no state, no lock.
 */
#ifndef PL_GSM_TEXT_H
#define PL_GSM_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace gsmtext {

constexpr uint8_t kEsc = 0x1B;

/* The value of a hex digit (either case), -1 for any other character. */
int hexValue(char c);

/* The Unicode character of a default-alphabet code (only its low seven bits count). The escape
 * code itself reads as a blank. */
uint32_t fromDefault(uint8_t code);
/* The character after an escape; a code missing from the extension table shows as the default
 * character, ESC ESC as a blank. */
uint32_t fromExtension(uint8_t code);
/* Appends the GSM code(s) of cp to out (0x1B and a code for the extension table); false, nothing
 * appended, when the alphabet lacks cp. */
bool toGsm(uint32_t cp, std::string *out);

/* Appends the UTF-8 form of cp (U+FFFD for a value that is not a scalar value). */
void appendUtf8(std::string *out, uint32_t cp);

/* GSM codes to UTF-8. A lone escape at the end reads as a blank; a byte above 0x7F is no GSM code
 * and becomes U+FFFD. */
std::string codesToUtf8(std::string_view codes);
/* UTF-8 to GSM codes; false (out unchanged) when a character has no GSM form or the text is not
 * valid UTF-8. */
bool utf8ToCodes(std::string_view utf8, std::string *out);

/* A text field of the "GSM" character set as the handset wrote it inside quotes: GSM codes, where
 * "\" and two hex digits stand for one code (the string escape of V.250, needed for a quote, a
 * line end or the code 0x5C), into UTF-8. */
std::string fieldToUtf8(std::string_view field);
/* UTF-8 into the form that goes between the quotes of a command: GSM codes, each code that cannot
 * stand there as itself (control codes, "@" = 0, the quote, 0x5C, 0x7F) as "\" and two hex
 * digits. False when a character has no GSM form or is a control character. */
bool utf8ToField(std::string_view utf8, std::string *out);

/* s without the escape "\00" that the AT terminal writes for a zero byte inside quotes. Only in a
 * text of the GSM alphabet is that byte a character ("@"); in a number or a text of another
 * character set it is padding. */
std::string withoutZeroEscapes(std::string_view s);

/* Valid UTF-8 of any byte string: control bytes (below 0x20, 0x7F) are dropped, every byte that
 * does not belong to a well-formed sequence becomes U+FFFD. */
std::string cleanUtf8(std::string_view bytes);

} // namespace gsmtext

#endif
