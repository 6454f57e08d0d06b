// The protocol facts of the AT terminal: which lines end a reply, and which lines are unsolicited
// result codes that may arrive between commands.

#include "at/at_int.h"

#include <climits>
#include <cstring>

namespace dvat {
namespace {

inline char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive (ASCII) test that line[0..len) begins with text.
bool beginsWith(const char *line, size_t len, const char *text) {
    size_t n = std::strlen(text);
    if (len < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (lower(line[i]) != lower(text[i]))
            return false;
    return true;
}

bool sameName(const char *a, const char *b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool equalsText(const char *line, size_t len, const char *text) {
    return std::strlen(text) == len && beginsWith(line, len, text);
}

// Final result codes of V.250 verbose mode as the handsets we meet send them. The extended errors
// ("+CME ERROR: <n>", "+CMS ERROR: <n>") are recognised by the caller's prefix, below.
struct FinalRow {
    const char *text; // the whole line, any case
    int32_t ok;
};
constexpr FinalRow kFinals[] = {
    {"OK", 1},
    {"ERROR", 0},
    // Some handsets answer a command they do not know with this line in place of ERROR; it ends
    // the reply like ERROR does.
    {"COMMAND NOT SUPPORT", 0},
};

// Unsolicited result codes of 27.007 / 27.005 that a handset may push at any time, and how many
// lines follow each one's own line.
enum class Trailing { None, One, OneIfPdu };
struct UrcRow {
    const char *text; // line start, any case; a code without ':' must be the whole line
    Trailing trailing;
};
constexpr UrcRow kUrcs[] = {
    {"RING", Trailing::None},
    {"+CRING:", Trailing::None},
    {"+CLIP:", Trailing::None},
    {"+CCWA:", Trailing::None},
    {"+CMTI:", Trailing::None},
    {"+CDSI:", Trailing::None},
    {"+CBMI:", Trailing::None},
    {"+CREG:", Trailing::None},
    {"+CGREG:", Trailing::None},
    {"+CUSD:", Trailing::None},
    // A routed message or broadcast brings its PDU (or its text) on the next line.
    {"+CMT:", Trailing::One},
    {"+CBM:", Trailing::One},
    // A routed status report: in PDU mode "+CDS: <length>" and the PDU on the next line; in text
    // mode the report is the one line.
    {"+CDS:", Trailing::OneIfPdu},
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "+CDS: 25" (PDU mode) as opposed to "+CDS: 6,46,..." (text mode).
bool onlyNumberAfter(const char *line, size_t len, size_t from) {
    size_t i = from;
    while (i < len && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    size_t digits = 0;
    while (i < len && isDigit(line[i])) {
        ++i;
        ++digits;
    }
    while (i < len && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return digits > 0 && i == len;
}

} // namespace

FinalResult classifyFinal(const char *line, size_t len, const char *errorPrefix) {
    for (const FinalRow &row : kFinals)
        if (equalsText(line, len, row.text))
            return {true, row.ok, 0};
    if (!errorPrefix || !errorPrefix[0])
        return {false, 0, 0};
    size_t plen = std::strlen(errorPrefix);
    if (plen > kMaxErrorPrefix)
        return {false, 0, 0};
    if (!beginsWith(line, len, errorPrefix) || !beginsWith(line + plen, len - plen, " ERROR"))
        return {false, 0, 0};
    size_t i = plen + 6;
    while (i < len && (line[i] == ' ' || line[i] == '\t' || line[i] == ':'))
        ++i;
    int32_t code = 0;
    for (; i < len && isDigit(line[i]); ++i) {
        int32_t d = line[i] - '0';
        code = code > (INT32_MAX - d) / 10 ? INT32_MAX : code * 10 + d;
    }
    return {true, 0, code};
}

int urcTrailingLines(const char *line, size_t len, const char *commandName) {
    for (const UrcRow &row : kUrcs) {
        size_t n = std::strlen(row.text);
        bool hasValues = row.text[n - 1] == ':';
        if (hasValues ? !beginsWith(line, len, row.text) : !equalsText(line, len, row.text))
            continue;
        // "+CREG: 0,1" is the reply to "AT+CREG?" as well as the unsolicited code.
        size_t nameLen = hasValues ? n - 1 : n;
        if (commandName && std::strlen(commandName) == nameLen && sameName(commandName, row.text, nameLen))
            return -1;
        switch (row.trailing) {
        case Trailing::None:
            return 0;
        case Trailing::One:
            return 1;
        case Trailing::OneIfPdu:
            return onlyNumberAfter(line, len, n) ? 1 : 0;
        }
    }
    return -1;
}

void commandNameOf(const char *cmd, char *name, size_t size) {
    if (!name || size == 0)
        return;
    size_t k = 0;
    if (cmd)
        for (; cmd[k] && cmd[k] != '=' && cmd[k] != '?' && cmd[k] != ';' && k + 1 < size; ++k)
            name[k] = cmd[k];
    name[k] = '\0';
}

} // namespace dvat
