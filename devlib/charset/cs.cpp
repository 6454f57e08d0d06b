// Character sets: UTF-8, UCS-2 (big-endian), UTF-7 and the local code page through libquorl.so.
//
// The UTF-8 decoder reads handset and file text: it never steps over the terminator, answers "?"
// for each bad sequence and skips only the continuation bytes that belong to it. Every cut lands on
// a character boundary.

#include "charset/charset_int.h"
#include "dv_charset.h"
#include "dv_log.h"
#include "dv_result.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using dvcs::b64Value;

constexpr const char *kQuorlName = "libquorl.so";

// quorl's two entry points: (source text, destination, destination size in bytes) -> bytes written,
// negative on failure.
typedef int32_t (*QuorlConvFn)(const char *src, char *dst, int32_t dstSize);
typedef int32_t (*QuorlSetCodePageFn)(const char *name);
typedef int32_t (*QuorlCharsetFn)(const char *charset, const char *src, int32_t n, char *dst, int32_t dstSize);

struct Quorl {
    void *handle = nullptr;
    QuorlConvFn localToUtf8 = nullptr;
    QuorlConvFn utf8ToLocal = nullptr;
};
Quorl g_quorl;

size_t sizeOf(int32_t n) { return n > 0 ? static_cast<size_t>(n) : 0; }
int32_t toResult(size_t n) { return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n); }

bool isCont(uint8_t b) { return (b & 0xC0) == 0x80; }

bool allAscii(const char *s) {
    for (; *s; ++s)
        if (static_cast<uint8_t>(*s) >= 0x80)
            return false;
    return true;
}

void putUnit(uint8_t *out, size_t k, uint32_t u) {
    out[2 * k] = static_cast<uint8_t>(u >> 8);
    out[2 * k + 1] = static_cast<uint8_t>(u & 0xFF);
}

// Decodes one UTF-8 sequence at s (not at the terminator) into *unit ('?' when bad); answers the
// bytes it takes. Continuation bytes are looked at one at a time, so the terminator stops the walk.
size_t decodeOne(const uint8_t *s, uint32_t *unit) {
    uint8_t b = s[0];
    if (b < 0x80) {
        *unit = b;
        return 1;
    }
    size_t len;
    uint32_t u;
    if (b >= 0xC0 && b <= 0xDF) {
        len = 2;
        u = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        u = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF7) {
        len = 4;
        u = b & 0x07;
    } else if (b >= 0xF8 && b <= 0xFB) {
        len = 5;
        u = 0;
    } else if (b >= 0xFC && b <= 0xFD) {
        len = 6;
        u = 0;
    } else { // a stray continuation byte, 0xFE or 0xFF
        *unit = '?';
        return 1;
    }
    size_t i = 1;
    while (i < len && isCont(s[i])) {
        u = (u << 6) | (s[i] & 0x3F);
        ++i;
    }
    // Not cut short, not overlong, not a surrogate code point, and within Unicode. Characters beyond
    // the BMP (emoji) are kept: the caller writes them as a UTF-16 surrogate pair, as handsets do.
    static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    bool good = i == len && len <= 4 && u >= kMin[len] && u <= 0x10FFFF && (u < 0xD800 || u > 0xDFFF);
    *unit = good ? u : '?';
    return i;
}

size_t utf8ToUcs2(const char *text, uint8_t *out, size_t maxUnits) {
    const auto *s = reinterpret_cast<const uint8_t *>(text);
    size_t i = 0, k = 0;
    while (k < maxUnits && s[i] != 0) {
        uint32_t u;
        size_t used = decodeOne(s + i, &u);
        if (u > 0xFFFF) {
            if (k + 2 > maxUnits)
                break; // never split a surrogate pair at the end of the room
            u -= 0x10000;
            putUnit(out, k++, 0xD800 | (u >> 10));
            putUnit(out, k++, 0xDC00 | (u & 0x3FF));
        } else {
            putUnit(out, k++, u);
        }
        i += used;
    }
    return k;
}

// n units, or up to the zero unit when n is SIZE_MAX; a zero unit always ends the text.
size_t ucs2ToUtf8(const uint8_t *in, size_t n, char *out, size_t room) {
    size_t k = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t u = (static_cast<uint32_t>(in[2 * i]) << 8) | in[2 * i + 1];
        if (u == 0)
            break;
        size_t pairLen = 0;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            uint32_t lo = (static_cast<uint32_t>(in[2 * i + 2]) << 8) | in[2 * i + 3];
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                pairLen = 1;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            u = 0xFFFD; // a lone surrogate has no UTF-8 form
        size_t len = u < 0x80 ? 1 : u < 0x800 ? 2 : u < 0x10000 ? 3 : 4;
        if (k + len > room)
            break;
        i += pairLen;
        if (len == 4) {
            out[k++] = static_cast<char>(0xF0 | (u >> 18));
            out[k++] = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            out[k++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out[k++] = static_cast<char>(0x80 | (u & 0x3F));
        } else if (len == 1) {
            out[k++] = static_cast<char>(u);
        } else if (len == 2) {
            out[k++] = static_cast<char>(0xC0 | (u >> 6));
            out[k++] = static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out[k++] = static_cast<char>(0xE0 | (u >> 12));
            out[k++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out[k++] = static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return k;
}

size_t ucs2Units(const uint8_t *in) {
    size_t i = 0;
    while (in[2 * i] != 0 || in[2 * i + 1] != 0)
        ++i;
    return i;
}

size_t copyBounded(const char *src, char *dst, size_t room) {
    size_t k = 0;
    while (k < room && src[k] != 0) {
        dst[k] = src[k];
        ++k;
    }
    dst[k] = '\0';
    return k;
}

// Local text to UTF-8 through quorl, re-encoded through UCS-2 so that the result holds only what
// the rest of the system can carry. Empty on failure.
std::string localToUtf8Text(const char *local) {
    size_t len = std::strlen(local);
    std::vector<char> raw(3 * len + 2);
    int32_t r = g_quorl.localToUtf8(local, raw.data(), toResult(raw.size()));
    if (r < 0)
        return {};
    raw.back() = '\0';
    std::vector<uint8_t> units(2 * (len + 1));
    size_t n = utf8ToUcs2(raw.data(), units.data(), len);
    std::string utf8(3 * n + 1, '\0');
    utf8.resize(ucs2ToUtf8(units.data(), n, utf8.data(), 3 * n));
    return utf8;
}

// UTF-8 (non-ASCII) to local through quorl into out; out holds an empty text on failure.
size_t utf8ToLocalText(const char *utf8, char *out, size_t size) {
    size_t len = std::strlen(utf8);
    std::vector<uint8_t> units(2 * (len + 1));
    size_t n = utf8ToUcs2(utf8, units.data(), len);
    std::vector<char> clean(3 * n + 2, '\0');
    ucs2ToUtf8(units.data(), n, clean.data(), 3 * n);
    int32_t r = g_quorl.utf8ToLocal(clean.data(), out, toResult(size));
    if (r < 0) {
        out[0] = '\0';
        return 0;
    }
    out[size - 1] = '\0';
    return std::strlen(out);
}

// Writes UTF-8 (any text) as local text into out (size > 0).
size_t utf8ToLocal(const char *utf8, char *out, size_t size) {
    if (allAscii(utf8))
        return copyBounded(utf8, out, size - 1);
    if (!g_quorl.handle) {
        out[0] = '\0';
        return 0;
    }
    return utf8ToLocalText(utf8, out, size);
}

// RFC 2152: a "+" opens a run of modified Base64 holding UCS-2 units; the run ends at the first
// character outside the Base64 set, and a "-" there is absorbed. Some handsets fold long values, so
// CR and LF inside a run are passed over.
size_t utf7ToUtf8(const char *s, char *out, size_t room) {
    size_t i = 0, k = 0;
    while (s[i] != 0) {
        if (s[i] != '+') {
            if (k >= room)
                break;
            out[k++] = s[i++];
            continue;
        }
        ++i;
        // "+-" is a plus sign; so is a "+" that opens no run at all ("1 + 1"), which is ill-formed
        // UTF-7 but plainly meant as one.
        if (s[i] == '-' || (b64Value(s[i]) < 0 && s[i] != '\r' && s[i] != '\n')) {
            if (k >= room)
                break;
            out[k++] = '+';
            if (s[i] == '-')
                ++i;
            continue;
        }
        uint32_t acc = 0;
        unsigned bits = 0;
        // A high surrogate waits for its partner so that a pair becomes one 4-byte character.
        uint8_t units[4];
        size_t held = 0;
        for (;; ++i) {
            if (s[i] == '\r' || s[i] == '\n')
                continue;
            int v = b64Value(s[i]);
            if (v < 0)
                break;
            acc = ((acc << 6) | static_cast<uint32_t>(v)) & 0x3FFFFF;
            bits += 6;
            if (bits < 16)
                continue;
            bits -= 16;
            uint8_t hi = static_cast<uint8_t>(acc >> (bits + 8)), lo = static_cast<uint8_t>(acc >> bits);
            if (hi == 0 && lo == 0)
                continue; // a zero unit would end the text early
            bool high = hi >= 0xD8 && hi <= 0xDB;
            bool low = hi >= 0xDC && hi <= 0xDF;
            if (held && !low) { // a lone high surrogate
                size_t w = ucs2ToUtf8(units, 1, out + k, room - k);
                if (w == 0)
                    return k;
                k += w;
                held = 0;
            }
            units[2 * held] = hi;
            units[2 * held + 1] = lo;
            ++held;
            if (high && held == 1)
                continue;
            size_t w = ucs2ToUtf8(units, held, out + k, room - k);
            held = 0;
            if (w == 0)
                return k; // the character does not fit: the conversion ends here
            k += w;
        }
        if (held) {
            size_t w = ucs2ToUtf8(units, 1, out + k, room - k);
            if (w == 0)
                return k;
            k += w;
        }
        if (s[i] == '-')
            ++i;
    }
    return k;
}

void closeQuorl() {
    if (g_quorl.handle)
        dlclose(g_quorl.handle);
    g_quorl = Quorl{};
}

bool openQuorl(const char *path) {
    void *h = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!h)
        return false;
    auto toUtf8 = reinterpret_cast<QuorlConvFn>(dlsym(h, "CsUtil_localToUtf8"));
    auto toLocal = toUtf8 ? reinterpret_cast<QuorlConvFn>(dlsym(h, "CsUtil_utf8ToLocal")) : nullptr;
    if (!toUtf8 || !toLocal) {
        dlclose(h);
        return false;
    }
    g_quorl.handle = h;
    g_quorl.localToUtf8 = toUtf8;
    g_quorl.utf8ToLocal = toLocal;
    return true;
}

// The folder of the object that holds this code (libDravnik.so), with a trailing slash.
std::string ownFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&CsUtil_init), &info) == 0 || !info.dli_fname)
        return {};
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

// ---- Conversion library ----

extern "C" int32_t CsUtil_loadFrom(const char *path) {
    try {
        closeQuorl();
        if (!path)
            return DV_E_FAIL;
        Stdout_printf("Load library %s...", kQuorlName);
        bool ok = openQuorl(path);
        Stdout_printf(ok ? "\n" : "fail\n");
        return ok ? 0 : DV_E_FAIL;
    } catch (...) {
        closeQuorl();
        return DV_E_FAIL;
    }
}

extern "C" int32_t CsUtil_init(void) {
    try {
        closeQuorl();
        Stdout_printf("Load library %s...", kQuorlName);
        // Beside libDravnik.so first (the program folder), then wherever the loader looks.
        std::string folder = ownFolder();
        bool ok = (!folder.empty() && openQuorl((folder + kQuorlName).c_str())) || openQuorl(kQuorlName);
        Stdout_printf(ok ? "\n" : "fail\n");
        return ok ? 0 : DV_E_FAIL;
    } catch (...) {
        closeQuorl();
        return DV_E_FAIL;
    }
}

extern "C" void CsUtil_cleanup(void) { closeQuorl(); }

extern "C" int32_t CsUtil_isLoaded(void) { return g_quorl.handle ? 1 : 0; }

extern "C" int32_t CsUtil_setLocalCodePage(const char *name) {
    if (!g_quorl.handle)
        return DV_E_FAIL;
    auto set = reinterpret_cast<QuorlSetCodePageFn>(dlsym(g_quorl.handle, "Quorl_setLocalCodePage"));
    return set ? set(name) : DV_E_FAIL;
}

extern "C" int32_t CsUtil_charsetToUtf8(const char *charset, const char *src, int32_t n, char *utf8, int32_t size) {
    if (utf8 && size > 0)
        utf8[0] = '\0';
    if (!charset || !src || n < 0 || !utf8 || size <= 0)
        return DV_E_ARG;
    if (!g_quorl.handle)
        return DV_E_FAIL;
    auto conv = reinterpret_cast<QuorlCharsetFn>(dlsym(g_quorl.handle, "Quorl_charsetToUtf8"));
    if (!conv)
        return DV_E_FAIL;
    try {
        // A byte becomes at most four UTF-8 bytes (a character beyond the basic plane from UTF-32).
        std::vector<char> raw(4 * sizeOf(n) + 4);
        int32_t r = conv(charset, src, n, raw.data(), toResult(raw.size()));
        if (r < 0)
            return r == DV_E_ARG ? DV_E_ARG : DV_E_FAIL;
        raw.back() = '\0';
        size_t k = std::strlen(raw.data());
        if (k > sizeOf(size) - 1) {
            k = sizeOf(size) - 1;
            while (k > 0 && isCont(static_cast<uint8_t>(raw[k])))
                --k;
        }
        std::memcpy(utf8, raw.data(), k);
        utf8[k] = '\0';
        return toResult(k);
    } catch (...) {
        utf8[0] = '\0';
        return DV_E_NOMEM;
    }
}

// ---- UTF-8 and UCS-2 ----

extern "C" int32_t CsUtil_utf8ToUcs2(const char *utf8, uint8_t *ucs2, int32_t units) {
    if (units <= 0)
        return 0;
    if (!ucs2)
        return DV_E_ARG;
    if (!utf8) {
        putUnit(ucs2, 0, 0);
        return DV_E_ARG;
    }
    size_t k = utf8ToUcs2(utf8, ucs2, sizeOf(units) - 1);
    putUnit(ucs2, k, 0);
    return toResult(k);
}

extern "C" int32_t CsUtil_ucs2ToUtf8(const uint8_t *ucs2, int32_t n, char *utf8, int32_t size) {
    if (size <= 0)
        return 0;
    if (!utf8)
        return DV_E_ARG;
    utf8[0] = '\0';
    if (!ucs2)
        return n == 0 ? 0 : DV_E_ARG;
    size_t k = ucs2ToUtf8(ucs2, n < 0 ? SIZE_MAX : sizeOf(n), utf8, sizeOf(size) - 1);
    utf8[k] = '\0';
    return toResult(k);
}

extern "C" int32_t Ucs2Util_strlen(const uint8_t *ucs2) {
    if (!ucs2)
        return DV_E_ARG;
    return toResult(2 * ucs2Units(ucs2));
}

// ---- The local code page ----

extern "C" int32_t CsUtil_localToUtf8(const char *local, char *utf8, int32_t size) {
    if (size <= 0)
        return 0;
    if (!utf8)
        return DV_E_ARG;
    utf8[0] = '\0';
    if (!local)
        return DV_E_ARG;
    try {
        if (allAscii(local))
            return toResult(copyBounded(local, utf8, sizeOf(size) - 1));
        if (!g_quorl.handle)
            return 0;
        std::string text = localToUtf8Text(local);
        // The text is well-formed UTF-8: a cut backs up to the start of the character it splits.
        size_t k = text.size();
        if (k > sizeOf(size) - 1) {
            k = sizeOf(size) - 1;
            while (k > 0 && isCont(static_cast<uint8_t>(text[k])))
                --k;
        }
        std::memcpy(utf8, text.data(), k);
        utf8[k] = '\0';
        return toResult(k);
    } catch (...) {
        utf8[0] = '\0';
        return 0;
    }
}

extern "C" int32_t CsUtil_utf8ToLocal(const char *utf8, char *local, int32_t size) {
    if (size <= 0)
        return 0;
    if (!local)
        return DV_E_ARG;
    local[0] = '\0';
    if (!utf8)
        return DV_E_ARG;
    try {
        return toResult(utf8ToLocal(utf8, local, sizeOf(size)));
    } catch (...) {
        local[0] = '\0';
        return 0;
    }
}

extern "C" int32_t CsUtil_localToUcs2(const char *local, uint8_t *ucs2, int32_t units) {
    if (units <= 0)
        return 0;
    if (!ucs2)
        return DV_E_ARG;
    putUnit(ucs2, 0, 0);
    if (!local)
        return DV_E_ARG;
    try {
        if (allAscii(local))
            return CsUtil_utf8ToUcs2(local, ucs2, units);
        if (!g_quorl.handle)
            return 0;
        return CsUtil_utf8ToUcs2(localToUtf8Text(local).c_str(), ucs2, units);
    } catch (...) {
        putUnit(ucs2, 0, 0);
        return 0;
    }
}

extern "C" int32_t CsUtil_ucs2ToLocal(const uint8_t *ucs2, int32_t n, char *local, int32_t size) {
    if (size <= 0)
        return 0;
    if (!local)
        return DV_E_ARG;
    local[0] = '\0';
    if (!ucs2)
        return n == 0 ? 0 : DV_E_ARG;
    try {
        size_t count = n < 0 ? ucs2Units(ucs2) : sizeOf(n);
        std::vector<char> utf8(3 * count + 1, '\0');
        ucs2ToUtf8(ucs2, count, utf8.data(), 3 * count);
        return toResult(utf8ToLocal(utf8.data(), local, sizeOf(size)));
    } catch (...) {
        local[0] = '\0';
        return 0;
    }
}

// ---- UTF-7 ----

extern "C" int32_t CsUtil_utf7ToUtf8(const char *utf7, char *utf8, int32_t size) {
    if (size <= 0)
        return 0;
    if (!utf8)
        return DV_E_ARG;
    utf8[0] = '\0';
    if (!utf7)
        return DV_E_ARG;
    size_t k = utf7ToUtf8(utf7, utf8, sizeOf(size) - 1);
    utf8[k] = '\0';
    return toResult(k);
}

extern "C" int32_t CsUtil_utf7ToLocal(const char *utf7, char *local, int32_t size) {
    if (size <= 0)
        return 0;
    if (!local)
        return DV_E_ARG;
    local[0] = '\0';
    if (!utf7)
        return DV_E_ARG;
    try {
        // A Base64 run never grows: 8 characters carry 3 units, at most 9 UTF-8 bytes.
        size_t len = std::strlen(utf7);
        std::vector<char> utf8(2 * len + 1, '\0');
        utf7ToUtf8(utf7, utf8.data(), 2 * len);
        return toResult(utf8ToLocal(utf8.data(), local, sizeOf(size)));
    } catch (...) {
        local[0] = '\0';
        return 0;
    }
}
