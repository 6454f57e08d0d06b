// StrBuf: a zero-terminated text that grows as it is appended to.

#include "dv_stream.h"
#include "dv_result.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

struct StrBuf {
    bool owned;
    char *buf;
    int32_t capacity; // the terminator included
    int32_t length;
    bool expandable;
};

namespace {

// What StrBuf_buf answers for a buffer-less StrBuf; writable, since callers trim texts in place.
char g_empty[1];

// Room for n more characters and the terminator: true, or false when the buffer may not grow.
bool ensureRoom(StrBuf *sb, int32_t n) {
    int64_t need = static_cast<int64_t>(sb->length) + n + 1;
    if (sb->buf && need <= sb->capacity)
        return true;
    if (!sb->expandable || !sb->owned)
        return false;
    int64_t grown = (need & ~static_cast<int64_t>(15)) + 16; // next multiple of 16, or 16 more
    if (grown > INT32_MAX)
        return false;
    char *bigger = static_cast<char *>(std::realloc(sb->buf, static_cast<size_t>(grown)));
    if (!bigger)
        return false;
    if (!sb->buf)
        bigger[0] = '\0';
    sb->buf = bigger;
    sb->capacity = static_cast<int32_t>(grown);
    return true;
}

} // namespace

extern "C" DV_API StrBuf *StrBuf_new(int32_t capacity) {
    auto *sb = new (std::nothrow) StrBuf{};
    if (!sb)
        return nullptr;
    if (capacity > 0) {
        sb->buf = static_cast<char *>(std::malloc(static_cast<size_t>(capacity)));
        if (!sb->buf) {
            delete sb;
            return nullptr;
        }
        sb->buf[0] = '\0';
        sb->owned = true;
        sb->expandable = true;
        sb->capacity = capacity;
    }
    return sb;
}

extern "C" DV_API void StrBuf_delete(StrBuf *sb) {
    if (!sb)
        return;
    if (sb->owned)
        std::free(sb->buf);
    delete sb;
}

extern "C" DV_API StrBuf *StrBuf_appendBuf(StrBuf *sb, const void *bytes, int32_t n) {
    if (!sb || !bytes || n <= 0)
        return sb;
    // The bytes may lie in this very buffer, which growing can move.
    auto at = reinterpret_cast<uintptr_t>(bytes), base = reinterpret_cast<uintptr_t>(sb->buf);
    bool inside = sb->buf && at >= base && at < base + static_cast<uintptr_t>(sb->capacity);
    size_t offset = inside ? at - base : 0;
    if (!ensureRoom(sb, n))
        return sb;
    const char *from = inside ? sb->buf + offset : static_cast<const char *>(bytes);
    std::memmove(sb->buf + sb->length, from, static_cast<size_t>(n));
    sb->length += n;
    sb->buf[sb->length] = '\0';
    return sb;
}

extern "C" DV_API StrBuf *StrBuf_appendChar(StrBuf *sb, char c) { return StrBuf_appendBuf(sb, &c, 1); }

extern "C" DV_API StrBuf *StrBuf_appendChars(StrBuf *sb, const char *s) {
    if (!s)
        return sb;
    size_t n = std::strlen(s);
    return n > INT32_MAX ? sb : StrBuf_appendBuf(sb, s, static_cast<int32_t>(n));
}

extern "C" DV_API StrBuf *StrBuf_appendStrBuf(StrBuf *sb, const StrBuf *other) {
    if (!other || !other->buf)
        return sb;
    return StrBuf_appendBuf(sb, other->buf, other->length);
}

extern "C" DV_API int32_t StrBuf_setBuf(StrBuf *sb, char *buffer, int32_t capacity, int32_t length) {
    if (!sb)
        return DV_E_ARG;
    if (sb->owned)
        std::free(sb->buf);
    sb->owned = false;
    sb->expandable = false;
    sb->buf = buffer;
    sb->capacity = buffer && capacity > 0 ? capacity : 0;
    // The length is kept within the buffer and the text ends there, so length and text agree.
    if (length < 0 || sb->capacity == 0)
        length = 0;
    if (sb->capacity > 0 && length > sb->capacity - 1)
        length = sb->capacity - 1;
    sb->length = length;
    if (sb->capacity > 0)
        sb->buf[length] = '\0';
    else
        sb->buf = nullptr;
    return 0;
}

extern "C" DV_API int32_t StrBuf_enableExpand(StrBuf *sb) {
    if (!sb)
        return DV_E_ARG;
    if (!sb->owned)
        return DV_E_IO;
    sb->expandable = true;
    return 0;
}

extern "C" DV_API int32_t StrBuf_disableExpand(StrBuf *sb) {
    if (!sb)
        return DV_E_ARG;
    sb->expandable = false;
    return 0;
}

extern "C" DV_API int32_t StrBuf_len(const StrBuf *sb) { return sb ? sb->length : 0; }
extern "C" DV_API int32_t StrBuf_capacity(const StrBuf *sb) { return sb ? sb->capacity : 0; }

extern "C" DV_API char *StrBuf_buf(StrBuf *sb) {
    if (!sb || !sb->buf) {
        g_empty[0] = '\0';
        return g_empty;
    }
    return sb->buf;
}

extern "C" DV_API void StrBuf_clear(StrBuf *sb) {
    if (!sb)
        return;
    sb->length = 0;
    if (sb->buf)
        sb->buf[0] = '\0';
}
