// libquorl.so: local code page <-> UTF-8 on iconv.

#include "quorl.h"

#include <errno.h>
#include <iconv.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t kBadArgument = -81;
constexpr int32_t kFailure = -51;
constexpr size_t kNameRoom = 64;

char g_codePage[kNameRoom] = "UTF-8";

bool knownCodePage(const char *name) {
    iconv_t cd = iconv_open(name, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

bool setCodePage(const char *name) {
    if (!name || std::strlen(name) >= kNameRoom || !knownCodePage(name))
        return false;
    std::strcpy(g_codePage, name);
    return true;
}

__attribute__((constructor)) void quorlLoad() {
    const char *env = std::getenv("QUORL_LOCAL_CODEPAGE");
    if (env && *env)
        setCodePage(env);
}

// Bytes of the character that starts at s when s is UTF-8: the lead and its continuation bytes.
size_t utf8CharLen(const char *s, size_t left) {
    size_t n = 1;
    while (n < left && n < 4 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

// A character-set name as it may come from a file: iconv gets only plain names, never a path, a
// "//" option or a name that would not fit its tables.
bool plainName(const char *name) {
    size_t n = 0;
    for (; name[n]; ++n) {
        char c = name[n];
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '_' || c == '.' || c == ':' || c == '+';
        if (!ok || n + 1 >= kNameRoom)
            return false;
    }
    return n > 0;
}

int32_t convert(const char *to, const char *from, bool srcIsUtf8, const char *src, size_t srcLen, char *dst,
                int32_t dstSize, int32_t openFailure) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        dst[0] = '\0';
        return openFailure;
    }
    char *in = const_cast<char *>(src); // iconv's prototype; the input is not written
    size_t inLeft = srcLen;
    char *out = dst;
    size_t outLeft = static_cast<size_t>(dstSize) - 1;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            break; // iconv stops between characters: the result is cut there
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A character the other side cannot hold, or a broken one: "?" in its place.
        if (outLeft == 0)
            break;
        *out++ = '?';
        --outLeft;
        size_t skip = errno == EINVAL ? inLeft : srcIsUtf8 ? utf8CharLen(in, inLeft) : 1;
        in += skip;
        inLeft -= skip;
    }
    iconv(cd, nullptr, nullptr, &out, &outLeft); // end a stateful encoding's shift sequence
    *out = '\0';
    iconv_close(cd);
    return static_cast<int32_t>(out - dst);
}

} // namespace

extern "C" int32_t CsUtil_localToUtf8(const char *src, char *dst, int32_t dstSize) {
    if (!src || !dst || dstSize <= 0)
        return kBadArgument;
    return convert("UTF-8", g_codePage, false, src, std::strlen(src), dst, dstSize, kFailure);
}

extern "C" int32_t CsUtil_utf8ToLocal(const char *src, char *dst, int32_t dstSize) {
    if (!src || !dst || dstSize <= 0)
        return kBadArgument;
    return convert(g_codePage, "UTF-8", true, src, std::strlen(src), dst, dstSize, kFailure);
}

extern "C" int32_t Quorl_charsetToUtf8(const char *charset, const char *src, int32_t n, char *dst,
                                       int32_t dstSize) {
    if (!dst || dstSize <= 0)
        return kBadArgument;
    dst[0] = '\0';
    if (!charset || !src || n < 0 || !plainName(charset))
        return kBadArgument;
    return convert("UTF-8", charset, false, src, static_cast<size_t>(n), dst, dstSize, kBadArgument);
}

extern "C" int32_t Quorl_setLocalCodePage(const char *name) { return setCodePage(name) ? 0 : kBadArgument; }
