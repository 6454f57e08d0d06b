// The reply lexers: AtLex cuts the fields of an information line ("+CSQ: 17,99") into strings,
// numbers, words and separators; BnfLex also reports line ends and lets blanks live inside words.

#include "dv_at.h"

#include <cstring>

#include "dv_result.h"
#include "dv_util.h"

namespace {

bool inSet(int32_t c, const char *set) {
    return c > 0 && c < 256 && set && std::strchr(set, c) != nullptr;
}

void append(StrBuf *sb, int32_t c) {
    if (sb)
        StrBuf_appendChar(sb, static_cast<char>(c));
}

// The body of a quoted string, the opening quote already read: AT_TOK_STRING, or the stream's error
// (an unterminated string is cut by the end of data).
int32_t readString(AbsFile *in, StrBuf *sb) {
    for (;;) {
        int32_t c = AbsFile_getc(in);
        if (c < 0)
            return c;
        if (c == '"')
            return AT_TOK_STRING;
        if (c == '\\') {
            c = AbsFile_getc(in);
            if (c < 0)
                return c;
        }
        append(sb, c);
    }
}

// Skips blanks: the first other character, or the stream's error.
int32_t skipBlanks(AbsFile *in, const char *blanks) {
    int32_t c;
    do
        c = AbsFile_getc(in);
    while (c >= 0 && inSet(c, blanks));
    return c;
}

template <typename F> int32_t guarded(F &&body) {
    try {
        return body();
    } catch (...) {
        return DV_E_FAIL;
    }
}

} // namespace

extern "C" DV_API int32_t AtLex_doExt(AbsFile *stream, StrBuf *sb, const char *separators,
                                      const char *blanks) {
    return guarded([&]() -> int32_t {
        if (sb)
            StrBuf_clear(sb);
        if (!stream || !sb)
            return DV_E_ARG;
        int32_t c = skipBlanks(stream, blanks);
        if (c < 0)
            return c;
        if (c == '"')
            return readString(stream, sb);
        if (inSet(c, separators)) {
            append(sb, c);
            return c;
        }
        if (c >= '0' && c <= '9') {
            for (;;) {
                append(sb, c);
                c = AbsFile_getc(stream);
                if (c == ABSFILE_EOF)
                    return AT_TOK_NUMBER;
                if (c < 0)
                    return c;
                if (c < '0' || c > '9') {
                    AbsFile_ungetc(stream);
                    return AT_TOK_NUMBER;
                }
            }
        }
        for (;;) {
            append(sb, c);
            c = AbsFile_getc(stream);
            if (c == ABSFILE_EOF)
                return AT_TOK_WORD;
            if (c < 0)
                return c;
            if (inSet(c, blanks))
                return AT_TOK_WORD; // the blank that ends a word is taken with it
            if (c == '"' || inSet(c, separators)) {
                AbsFile_ungetc(stream);
                return AT_TOK_WORD;
            }
        }
    });
}

extern "C" DV_API int32_t AtLex_do(AbsFile *stream, StrBuf *sb) {
    return AtLex_doExt(stream, sb, ",;(-)", " \t\r\n");
}

extern "C" DV_API int32_t BnfLex_get2(AbsFile *stream, StrBuf *sb, const char *separators,
                                      const char *blanks) {
    return guarded([&]() -> int32_t {
        if (sb)
            StrBuf_clear(sb);
        if (!stream)
            return DV_E_ARG;
        int32_t c = skipBlanks(stream, blanks);
        if (c < 0)
            return c;
        if (c == '"')
            return readString(stream, sb);
        if (inSet(c, separators)) {
            append(sb, c);
            return c;
        }
        if (c == '\r') {
            append(sb, c);
            c = AbsFile_getc(stream);
            if (c == '\n') {
                append(sb, c);
                return AT_TOK_CRLF;
            }
            if (c >= 0)
                AbsFile_ungetc(stream);
            else if (NetUtil_isFaultErr(c))
                return c;
            return AT_TOK_CR;
        }
        for (;;) {
            append(sb, c);
            c = AbsFile_getc(stream);
            if (c < 0)
                return NetUtil_isFaultErr(c) ? c : AT_TOK_WORD;
            if (c == '\r' || c == '"' || inSet(c, separators)) {
                AbsFile_ungetc(stream);
                return AT_TOK_WORD;
            }
        }
    });
}

extern "C" DV_API int32_t BnfLex_get1(AbsFile *stream, StrBuf *sb, const char *separators) {
    return BnfLex_get2(stream, sb, separators, " \t");
}
