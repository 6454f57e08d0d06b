// OBEX headers (IrOBEX 1.2, 2.1): the two top bits of the id give the form — text with a 16-bit
// length and a zero unit at the end, byte sequence with a 16-bit length, one byte, four bytes.

#include "obex/obex_int.h"

#include "dv_result.h"

#include <cstring>

namespace {

enum : int32_t { kFormText = 0x00, kFormBytes = 0x40, kFormByte = 0x80, kFormQuad = 0xC0 };

int32_t formOf(int32_t id) { return id & 0xC0; }

} // namespace

extern "C" int32_t ObxHdr_wireSize(int32_t id, int32_t length) {
    if (id < 0 || id > 0xFF || length < 0)
        return DV_E_ARG;
    switch (formOf(id)) {
    case kFormText:
        return length <= OBX_MAX_PACKET - 5 ? length + 5 : DV_E_ARG;
    case kFormBytes:
        return length <= OBX_MAX_PACKET - 3 ? length + 3 : DV_E_ARG;
    case kFormByte:
        return length == 1 ? 2 : DV_E_ARG;
    default:
        return length == 4 ? 5 : DV_E_ARG;
    }
}

extern "C" int32_t ObxHdr_put(SkBuff *skb, int32_t id, const void *value, int32_t length) {
    int32_t size = ObxHdr_wireSize(id, length);
    if (size < 0 || !skb || (length > 0 && !value))
        return DV_E_ARG;
    if (skb_tailroom(skb) < size)
        return DV_E_FULL;
    uint8_t *p = skb_put(skb, size);
    p[0] = static_cast<uint8_t>(id);
    switch (formOf(id)) {
    case kFormText:
    case kFormBytes:
        p[1] = static_cast<uint8_t>(size >> 8);
        p[2] = static_cast<uint8_t>(size & 0xFF);
        if (length > 0)
            std::memcpy(p + 3, value, static_cast<size_t>(length));
        if (formOf(id) == kFormText) {
            p[3 + length] = 0;
            p[4 + length] = 0;
        }
        break;
    default:
        std::memcpy(p + 1, value, static_cast<size_t>(length));
        break;
    }
    return 0;
}

extern "C" int32_t ObxHdr_next(const uint8_t *buf, size_t len, size_t *off, ObxHdr *out) {
    size_t at = *off;
    if (at >= len)
        return 0;
    size_t left = len - at;
    const uint8_t *p = buf + at;
    int32_t id = p[0];
    size_t size;
    switch (formOf(id)) {
    case kFormText:
    case kFormBytes: {
        if (left < 3)
            return DV_E_MALFORMED; // the 16-bit length is cut off
        size = (static_cast<size_t>(p[1]) << 8) | p[2];
        if (size < 3 || size > left)
            return DV_E_MALFORMED; // shorter than its own prefix, or past the packet end
        out->value = p + 3;
        out->length = static_cast<int32_t>(size - 3);
        // A text header ends in a zero unit that is not part of the text.
        if (formOf(id) == kFormText && out->length >= 2 && p[size - 2] == 0 && p[size - 1] == 0)
            out->length -= 2;
        break;
    }
    case kFormByte:
        size = 2;
        if (left < size)
            return DV_E_MALFORMED;
        out->value = p + 1;
        out->length = 1;
        break;
    default:
        size = 5;
        if (left < size)
            return DV_E_MALFORMED;
        out->value = p + 1;
        out->length = 4;
        break;
    }
    out->id = id;
    *off = at + size;
    return 1;
}
