// MemBuf: an owned, growable byte buffer behind the stream interface. The data is always followed by
// a zero byte, so a buffer of text can be handed on as a C string.

#include "stream/stream_int.h"
#include "dv_result.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

using namespace dvstream;

namespace {

struct MemBufObj {
    uint32_t magic;
    AbsFile itf;
    char *buf;
    bool owned;
    int32_t capacity; // the zero byte included
    int32_t length;
    int32_t pos;
    bool expandable;
    PrintBuf print;
};

MemBufObj *self(AbsFile *f) { return static_cast<MemBufObj *>(f->self); }
MemBufObj *live(AbsFile *f) { return objectOf<MemBufObj>(f, kMagicMemBuf); }

// Makes room for `extra` bytes at the position and the zero byte after them: 0 or -201.
int32_t ensureRoom(MemBufObj *m, int32_t extra) {
    int64_t need = static_cast<int64_t>(m->pos) + extra + 1;
    if (m->buf && need <= m->capacity)
        return 0;
    if (!m->expandable || !m->owned)
        return DV_E_FULL;
    // Raised to the next multiple of 16; a need that already is one gets 16 more.
    int64_t grown = (need & ~static_cast<int64_t>(15)) + 16;
    if (grown > INT32_MAX)
        return DV_E_FULL;
    char *bigger = static_cast<char *>(std::realloc(m->buf, static_cast<size_t>(grown)));
    if (!bigger)
        return DV_E_FULL;
    m->buf = bigger;
    m->capacity = static_cast<int32_t>(grown);
    m->buf[m->length] = '\0';
    return 0;
}

void afterWrite(MemBufObj *m) {
    if (m->pos > m->length) {
        m->length = m->pos;
        m->buf[m->length] = '\0';
    }
}

void mbDel(AbsFile *f) { MemBuf_delete(f); }

int32_t mbPutc(AbsFile *f, int32_t ch) {
    MemBufObj *m = self(f);
    int32_t r = ensureRoom(m, 1);
    if (r < 0)
        return r;
    m->buf[m->pos++] = static_cast<char>(ch);
    afterWrite(m);
    return static_cast<uint8_t>(ch);
}

int32_t mbGetc(AbsFile *f) {
    MemBufObj *m = self(f);
    if (m->pos >= m->length)
        return DV_E_EOF;
    return static_cast<uint8_t>(m->buf[m->pos++]);
}

int32_t mbUngetc(AbsFile *f) {
    MemBufObj *m = self(f);
    if (m->pos <= 0)
        return DV_E_STATE;
    --m->pos;
    return 0;
}

int32_t mbRead(AbsFile *f, void *dst, int32_t n) {
    MemBufObj *m = self(f);
    if (n <= 0 || !dst || m->pos >= m->length)
        return 0;
    int32_t k = m->length - m->pos < n ? m->length - m->pos : n;
    std::memcpy(dst, m->buf + m->pos, static_cast<size_t>(k));
    m->pos += k;
    return k;
}

int32_t mbWrite(AbsFile *f, const void *src, int32_t n) {
    MemBufObj *m = self(f);
    if (n <= 0 || !src)
        return 0;
    // The source may lie in this very buffer, which growing can move.
    const char *from = static_cast<const char *>(src);
    auto at = reinterpret_cast<uintptr_t>(from), base = reinterpret_cast<uintptr_t>(m->buf);
    bool inside = m->buf && at >= base && at < base + static_cast<uintptr_t>(m->capacity);
    size_t offset = inside ? at - base : 0;
    int32_t r = ensureRoom(m, n);
    if (r < 0)
        return r;
    if (inside)
        from = m->buf + offset;
    std::memmove(m->buf + m->pos, from, static_cast<size_t>(n));
    m->pos += n;
    afterWrite(m);
    return n;
}

int32_t mbPrintf(AbsFile *f, const char *fmt, ...) {
    MemBufObj *m = self(f);
    va_list args;
    va_start(args, fmt);
    int32_t len = PrintBuf_format(m->print, m->expandable && m->owned, "Fault err on MemBuf_printf\n", fmt, args);
    va_end(args);
    if (len <= 0)
        return len;
    return mbWrite(f, m->print.buf, len);
}

int32_t mbSeek(AbsFile *f, int32_t offset, int32_t whence) {
    MemBufObj *m = self(f);
    return seekTarget(m->pos, m->length, offset, whence, &m->pos) ? 0 : DV_E_ARG;
}

int32_t mbTell(AbsFile *f) { return self(f)->pos; }
int32_t mbFlush(AbsFile *) { return 0; }
int32_t mbSize(AbsFile *f) { return self(f)->length; }

} // namespace

extern "C" DV_API AbsFile *MemBuf_new(int32_t capacity, int32_t printSize) {
    auto *m = new (std::nothrow) MemBufObj{};
    if (!m)
        return nullptr;
    m->magic = kMagicMemBuf;
    m->itf = AbsFile{m, mbDel, mbPutc, mbGetc, mbUngetc, mbRead, mbWrite, mbPrintf,
                     mbSeek, mbTell, mbFlush, mbSize};
    if (capacity > 0) {
        m->buf = static_cast<char *>(std::malloc(static_cast<size_t>(capacity)));
        if (!m->buf) {
            delete m;
            return nullptr;
        }
        m->buf[0] = '\0';
        m->owned = true;
        m->expandable = true;
        m->capacity = capacity;
    }
    // A print buffer that cannot be had is reported by printf (-2).
    PrintBuf_init(m->print, printSize);
    return &m->itf;
}

extern "C" DV_API char *MemBuf_buf(AbsFile *mb) {
    MemBufObj *m = live(mb);
    return m ? m->buf : nullptr;
}

extern "C" DV_API int32_t MemBuf_len(AbsFile *mb) {
    MemBufObj *m = live(mb);
    return m ? m->length : DV_E_ARG;
}

extern "C" DV_API int32_t MemBuf_capacity(AbsFile *mb) {
    MemBufObj *m = live(mb);
    return m ? m->capacity : DV_E_ARG;
}

extern "C" DV_API int32_t MemBuf_clear(AbsFile *mb) {
    MemBufObj *m = live(mb);
    if (!m)
        return DV_E_ARG;
    if (m->buf) {
        m->length = m->pos = 0;
        m->buf[0] = '\0';
    }
    return 0;
}

extern "C" DV_API int32_t MemBuf_enableExpand(AbsFile *mb) {
    MemBufObj *m = live(mb);
    if (!m)
        return DV_E_ARG;
    if (!m->owned)
        return DV_E_IO;
    m->expandable = true;
    return 0;
}

extern "C" DV_API int32_t MemBuf_disableExpand(AbsFile *mb) {
    MemBufObj *m = live(mb);
    if (!m)
        return DV_E_ARG;
    m->expandable = false;
    return 0;
}

extern "C" DV_API void MemBuf_delete(AbsFile *mb) {
    MemBufObj *m = live(mb);
    if (!m)
        return;
    m->magic = 0;
    if (m->owned)
        std::free(m->buf);
    PrintBuf_free(m->print);
    delete m;
}
