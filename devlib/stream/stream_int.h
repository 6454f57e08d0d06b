/*
 * stream_int.h — what the stream implementations share: the magic words that tell the stream kinds
 * apart and the print buffer behind their printf slot.
 *
 * Runs on the caller's thread and takes no lock. Internal to the library.
 */
#ifndef DV_STREAM_INT_H
#define DV_STREAM_INT_H

#include "dv_stream.h"

#include <cstdarg>
#include <cstdint>

namespace dvstream {

// Every stream object begins with one of these, so a MemBuf_* call on another kind of stream is
// answered with an error instead of scribbling over it.
constexpr uint32_t kMagicMem = 0xA8F11E3Eu;
constexpr uint32_t kMagicMemBuf = 0xE15DC16Du;
constexpr uint32_t kMagicFile = 0xA8F11EF1u;
constexpr uint32_t kMagicSock = 0xA8F1150Cu;

constexpr int32_t kDefaultPrintSize = 256;

// The print buffer of a stream: configured size (<= 0: the stream prints nothing) and the buffer.
struct PrintBuf {
    int32_t size = 0;
    char *buf = nullptr;
};

// printSize < 0 gives the default size, 0 none. False when the buffer cannot be had (the stream
// then answers -2 from its printf).
bool PrintBuf_init(PrintBuf &pb, int32_t printSize);
void PrintBuf_free(PrintBuf &pb);

// Formats into the print buffer: the text's length, -94 without a print buffer, -2 when it is
// missing, -201 (after logging faultText) when the text does not fit and mayGrow is false. With
// mayGrow the buffer grows to hold the text.
int32_t PrintBuf_format(PrintBuf &pb, bool mayGrow, const char *faultText, const char *fmt, va_list args);

// The position a seek on a memory stream of `length` bytes lands on, from whence 0 (start), 1 (pos)
// or 2 (end): true and *target, or false for a bad whence or a position outside 0..length.
inline bool seekTarget(int32_t pos, int32_t length, int32_t offset, int32_t whence, int32_t *target) {
    int64_t base;
    switch (whence) {
    case 0: base = 0; break;
    case 1: base = pos; break;
    case 2: base = length; break;
    default: return false;
    }
    int64_t t = base + offset;
    if (t < 0 || t > length)
        return false;
    *target = static_cast<int32_t>(t);
    return true;
}

// The object behind a stream when it is of the given kind, else nullptr. Every object starts with
// its magic word and keeps its AbsFile record as its member `itf`.
template <typename T>
T *objectOf(AbsFile *f, uint32_t magic) {
    if (!f || !f->self)
        return nullptr;
    T *obj = static_cast<T *>(f->self);
    if (obj->magic != magic || &obj->itf != f)
        return nullptr;
    return obj;
}

} // namespace dvstream

#endif
