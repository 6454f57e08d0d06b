// Storage names, the link-fault test, the empty-slot routine, unaligned stores and string helpers.

#include "dv_util.h"
#include "dv_log.h"
#include "dv_result.h"
#include "dv_vos.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {
const char *const kStorNames[] = {"CUR", "SM", "ME", "OTHER"};

inline unsigned char up(char c) { return static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c))); }

bool inSet(char c, const char *set) { return c != '\0' && std::strchr(set, c) != nullptr; }
} // namespace

extern "C" DV_API const char *MsStor_typeToName(int32_t type) {
    if (type < 0 || type > 3)
        return "UNKNOWN";
    return kStorNames[type];
}

extern "C" DV_API int32_t MsStor_nameToType(const char *name) {
    if (!name)
        return 0;
    for (int32_t i = 0; i < 4; ++i)
        if (StrUtil_stricmp(name, kStorNames[i]) == 0)
            return i;
    return 0;
}

extern "C" DV_API int32_t NetUtil_isFaultErr(int32_t code) {
    switch (code) {
    case DV_E_MALFORMED:
    case DV_E_CLOSED:
    case DV_E_TIMEOUT:
    case DV_E_NOTCONN:
    case DV_E_CANCELLED:
        return 1;
    default:
        return 0;
    }
}

extern "C" DV_API void ObjUtil_vfuncNull(void) {
    Stdout_printf("exit program for NULL virtual func call\n");
    CnsVos_exit(101);
}

extern "C" DV_API void put_unaligned_u16(uint16_t value, void *address) { std::memcpy(address, &value, sizeof value); }
extern "C" DV_API void put_unaligned_u32(uint32_t value, void *address) { std::memcpy(address, &value, sizeof value); }
extern "C" DV_API uint16_t get_unaligned_u16(const void *address) {
    uint16_t v;
    std::memcpy(&v, address, sizeof v);
    return v;
}
extern "C" DV_API uint32_t get_unaligned_u32(const void *address) {
    uint32_t v;
    std::memcpy(&v, address, sizeof v);
    return v;
}

extern "C" DV_API int32_t StrUtil_isAllAscii(const char *s) {
    if (!s)
        return 1;
    for (; *s; ++s)
        if (static_cast<unsigned char>(*s) & 0x80)
            return 0;
    return 1;
}

extern "C" DV_API char *StrUtil_strupr(char *s) {
    if (s)
        for (char *p = s; *p; ++p)
            if (*p >= 'a' && *p <= 'z')
                *p = static_cast<char>(*p - 'a' + 'A');
    return s;
}

extern "C" DV_API char *StrUtil_strlwr(char *s) {
    if (s)
        for (char *p = s; *p; ++p)
            if (*p >= 'A' && *p <= 'Z')
                *p = static_cast<char>(*p - 'A' + 'a');
    return s;
}

extern "C" DV_API void StrUtil_trimExtTry(const char *s, const char *set, const char **first, const char **last) {
    const char *b = s;
    while (inSet(*b, set))
        ++b;
    const char *e = b + std::strlen(b);
    while (e > b && inSet(e[-1], set))
        --e;
    if (first)
        *first = b;
    if (last)
        *last = e - 1; // just before first when the text is empty or all trimmed
}

extern "C" DV_API void StrUtil_trimTry(const char *s, const char **first, const char **last) {
    StrUtil_trimExtTry(s, " \t", first, last);
}

extern "C" DV_API char *StrUtil_strtrimExt(char *s, const char *set) {
    if (!s || !set)
        return s;
    const char *b, *e;
    StrUtil_trimExtTry(s, set, &b, &e);
    size_t n = static_cast<size_t>(e + 1 - b);
    std::memmove(s, b, n);
    s[n] = '\0';
    return s;
}

extern "C" DV_API char *StrUtil_strtrim(char *s) { return StrUtil_strtrimExt(s, " \t"); }

extern "C" DV_API int32_t StrUtil_stricmp(const char *a, const char *b) {
    for (;; ++a, ++b) {
        int d = up(*a) - up(*b);
        if (d != 0 || *a == '\0')
            return d;
    }
}

extern "C" DV_API int32_t StrUtil_strincmp(const char *a, const char *b, int32_t n) {
    for (int32_t i = 0; i < n; ++i, ++a, ++b) {
        int d = up(*a) - up(*b);
        if (d != 0 || *a == '\0')
            return d;
    }
    return 0;
}

extern "C" DV_API char *StrUtil_stristr(const char *text, const char *part) {
    if (!text || !part)
        return nullptr;
    size_t n = std::strlen(part);
    for (const char *p = text;; ++p) {
        if (StrUtil_strincmp(p, part, static_cast<int32_t>(n)) == 0)
            return const_cast<char *>(p);
        if (*p == '\0')
            return nullptr;
    }
}

extern "C" DV_API int32_t StrUtil_strxfrm(char *dst, const char *src, int32_t size) {
    // A size of 0 or less leaves no room even for the terminator: write nothing.
    if (!dst || size <= 0)
        return 0;
    int32_t n = 0;
    if (src)
        while (n < size - 1 && src[n]) {
            dst[n] = src[n];
            ++n;
        }
    dst[n] = '\0';
    return n;
}

extern "C" DV_API char *StrUtil_strdup(const char *s) {
    if (!s)
        return nullptr;
    size_t n = std::strlen(s) + 1;
    char *d = static_cast<char *>(std::malloc(n));
    if (d)
        std::memcpy(d, s, n);
    return d;
}
