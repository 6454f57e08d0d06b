// The vCard object and the helpers its writer, reader and record code share. Library-internal.

#ifndef DV_VCARD_INT_H
#define DV_VCARD_INT_H

#include "dv_vcard.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A logical line (and a splitter line) may grow to this size; the rest of a longer one is dropped,
// so a hostile stream cannot make the reader hold more than this.
constexpr size_t kVcardMaxLine = 256 * 1024;
// The line buffer starts at the size handsets' cards need.
constexpr size_t kVcardLineStart = 2160;

struct Vcard {
    AbsFile *stream = nullptr;
    int32_t charset = VCARD_CHARSET_UTF8;
    int32_t encoding = VCARD_ENCODING_NONE;
    int32_t decodeBits = 0;

    // Line reader state, kept between calls so that a card can arrive in pieces.
    std::string line;     // the logical line so far (at most kVcardMaxLine bytes)
    int lineState = 0;    // 0 in text, 1 after CR, 2 after a line end (waiting for the next character)
    bool lastStored = false; // whether the last character read was kept (not cut by the limit)
    char lastChar = 0;
    int held = -1;        // a character stepped back when the stream cannot step back itself
};

namespace vcard {

inline bool isCont(unsigned char b) { return (b & 0xC0) == 0x80; }

// The largest length <= n at which s can be cut without splitting a UTF-8 sequence.
inline size_t utf8Cut(std::string_view s, size_t n) {
    if (n >= s.size())
        return s.size();
    while (n > 0 && isCont(static_cast<unsigned char>(s[n])))
        --n;
    return n;
}

// Copies s into out (size bytes), cut at size - 1 on a character boundary, and terminates it.
// Answers the bytes copied (0 when size < 1, nothing written then).
size_t copyCut(std::string_view s, char *out, int32_t size);

// The part of a fixed record field before its first zero byte (never more than size bytes).
std::string_view fieldView(const char *field, size_t size);

// Appends value to out with ";" and "\" escaped by a backslash.
void appendEscaped(std::string &out, std::string_view value);

bool containsNoCase(std::string_view text, std::string_view part);
bool equalsNoCase(std::string_view a, std::string_view b);

// A line (without its line end) that is marker ("BEGIN:VCARD" or "END:VCARD", any case), also when
// files carry stray blanks, control bytes or one stray character after it. A leading blank is not
// allowed: that line continues the property before it.
bool isMarkerLine(std::string_view line, std::string_view marker);

} // namespace vcard

#endif
