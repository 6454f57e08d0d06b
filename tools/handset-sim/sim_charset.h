// sim_charset.h — text conversions of the simulated handset: UTF-8, the GSM 7-bit default alphabet
// with its extension table (3GPP 23.038), UCS2 as hex of UCS-2 big-endian, IRA and 8859-1, and the
// +CSCS character sets built from them. Internal to the simulator.

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace handsetsim::cs {

// Appends the UTF-8 form of `c` (U+FFFD for a value that is not a scalar value).
void appendUtf8(std::string &out, char32_t c);
// Strict decoder: false on a malformed or overlong sequence or a surrogate.
bool decodeUtf8(std::string_view in, std::u32string &out);
// Lenient: malformed bytes become U+FFFD.
std::u32string decodeUtf8Lenient(std::string_view in);
std::string encodeUtf8(const std::u32string &in);

// GSM default alphabet. toGsm appends one code, or 0x1B and an extension code; false when the
// character has no GSM form.
bool toGsm(char32_t c, std::vector<uint8_t> &out);
char32_t fromGsm(uint8_t code);          // code 0..127 of the default table
char32_t fromGsmExtension(uint8_t code); // the code after 0x1B

// UTF-16 big-endian units, with surrogate pairs above U+FFFF.
std::vector<uint16_t> toUtf16(const std::u32string &in);
std::u32string fromUtf16(const std::vector<uint16_t> &units); // lone surrogates → U+FFFD

// The +CSCS character sets the simulator knows.
enum class Charset { Gsm, Ira, Ucs2, Utf8, Latin1 };
bool charsetByName(std::string_view name, Charset &out); // case-insensitive; "8859-1" is Latin1
const char *charsetName(Charset c);

// Text as the handset writes it inside a quoted string field. Characters the set cannot carry
// become '?'.
std::string encodeText(Charset c, const std::u32string &text);
// Text the client sent in that set; false on bytes the set cannot hold (odd UCS2 hex, a byte above
// 0x7F in GSM or IRA, malformed UTF-8).
bool decodeText(Charset c, std::string_view wire, std::u32string &out);

// V.250 string escapes: "\" and two hex digits stand for one byte. escapeGsmField writes GSM codes
// for a quoted reply field with the bytes that would end the field or the line (the quote, 0x5C,
// CR, LF) or be taken for line noise (0, the "@") escaped; other codes go as they are.
std::string escapeGsmField(std::string_view codes);
std::string unescapeField(std::string_view field);

} // namespace handsetsim::cs
