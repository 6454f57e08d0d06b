// AbsFileMem: a stream over a buffer that belongs to the caller.

#include "stream/stream_int.h"
#include "dv_result.h"

#include <cstring>
#include <new>

using namespace dvstream;

namespace {

struct MemFile {
    uint32_t magic;
    AbsFile itf;
    uint8_t *buf;
    int32_t capacity;
    int32_t length;
    int32_t pos; // shared by reading and writing
    PrintBuf print;
};

MemFile *self(AbsFile *f) { return static_cast<MemFile *>(f->self); }

int32_t clampLen(int32_t length, int32_t capacity) {
    if (length < 0)
        return 0;
    return length > capacity ? capacity : length;
}

void memDel(AbsFile *f) { AbsFileMem_delete(f); }

int32_t memPutc(AbsFile *f, int32_t ch) {
    MemFile *m = self(f);
    if (m->pos >= m->capacity)
        return DV_E_FULL;
    m->buf[m->pos++] = static_cast<uint8_t>(ch);
    if (m->pos > m->length)
        m->length = m->pos;
    return static_cast<uint8_t>(ch);
}

int32_t memGetc(AbsFile *f) {
    MemFile *m = self(f);
    if (m->pos >= m->length)
        return DV_E_EOF;
    return m->buf[m->pos++];
}

int32_t memUngetc(AbsFile *f) {
    MemFile *m = self(f);
    if (m->pos <= 0)
        return DV_E_STATE;
    --m->pos;
    return 0;
}

int32_t memRead(AbsFile *f, void *dst, int32_t n) {
    MemFile *m = self(f);
    if (n <= 0 || !dst || m->pos >= m->length)
        return 0;
    int32_t k = m->length - m->pos < n ? m->length - m->pos : n;
    std::memcpy(dst, m->buf + m->pos, static_cast<size_t>(k));
    m->pos += k;
    return k;
}

int32_t memWrite(AbsFile *f, const void *src, int32_t n) {
    MemFile *m = self(f);
    if (n <= 0 || !src)
        return 0;
    // A full buffer answers -201 rather than 0, so a caller that loops until everything is written
    // cannot spin.
    if (m->pos >= m->capacity)
        return DV_E_FULL;
    int32_t k = m->capacity - m->pos < n ? m->capacity - m->pos : n;
    std::memcpy(m->buf + m->pos, src, static_cast<size_t>(k));
    m->pos += k;
    if (m->pos > m->length)
        m->length = m->pos;
    return k;
}

int32_t memPrintf(AbsFile *f, const char *fmt, ...) {
    MemFile *m = self(f);
    va_list args;
    va_start(args, fmt);
    int32_t len = PrintBuf_format(m->print, false, "Fault err on AbsFileMem_printf\n", fmt, args);
    va_end(args);
    if (len <= 0)
        return len;
    return memWrite(f, m->print.buf, len);
}

int32_t memSeek(AbsFile *f, int32_t offset, int32_t whence) {
    MemFile *m = self(f);
    if (whence < 0 || whence > 2)
        return DV_E_ARG;
    // A position outside the text answers -9 here, as the memory stream always has.
    return seekTarget(m->pos, m->length, offset, whence, &m->pos) ? 0 : DV_E_IO;
}

int32_t memTell(AbsFile *f) { return self(f)->pos; }
int32_t memFlush(AbsFile *) { return 0; }
int32_t memSize(AbsFile *f) { return self(f)->length; }

} // namespace

extern "C" DV_API AbsFile *AbsFileMem_new(void *buffer, int32_t capacity, int32_t length, int32_t printSize) {
    auto *m = new (std::nothrow) MemFile{};
    if (!m)
        return nullptr;
    m->magic = kMagicMem;
    m->itf = AbsFile{m, memDel, memPutc, memGetc, memUngetc, memRead, memWrite, memPrintf,
                     memSeek, memTell, memFlush, memSize};
    m->buf = static_cast<uint8_t *>(buffer);
    m->capacity = buffer && capacity > 0 ? capacity : 0;
    m->length = clampLen(length, m->capacity);
    m->pos = 0;
    // A print buffer that cannot be had is reported by printf (-2), as for the other streams.
    PrintBuf_init(m->print, printSize);
    return &m->itf;
}

extern "C" DV_API int32_t AbsFileMem_reset(AbsFile *stream, void *buffer, int32_t capacity, int32_t length,
                                           int32_t printSize) {
    MemFile *m = objectOf<MemFile>(stream, kMagicMem);
    if (!m)
        return DV_E_ARG;
    int32_t result = 0;
    if (printSize > 0 && printSize != m->print.size) {
        PrintBuf fresh;
        if (PrintBuf_init(fresh, printSize)) {
            PrintBuf_free(m->print);
            m->print = fresh;
        } else {
            result = DV_E_NOMEM;
        }
    }
    if (buffer) {
        m->buf = static_cast<uint8_t *>(buffer);
        m->capacity = capacity > 0 ? capacity : 0;
    }
    m->length = clampLen(length, m->capacity);
    m->pos = 0;
    return result;
}

extern "C" DV_API int32_t AbsFileMem_capacity(AbsFile *stream) {
    MemFile *m = objectOf<MemFile>(stream, kMagicMem);
    return m ? m->capacity : DV_E_ARG;
}

extern "C" DV_API void AbsFileMem_delete(AbsFile *stream) {
    MemFile *m = objectOf<MemFile>(stream, kMagicMem);
    if (!m)
        return;
    PrintBuf_free(m->print);
    m->magic = 0;
    delete m;
}
