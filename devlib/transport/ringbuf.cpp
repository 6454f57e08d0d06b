// The byte ring behind the transports' receive queues and the AT terminal's push-back.

#include "transport/ringbuf.h"
#include "dv_log.h"
#include "dv_result.h"
#include "dv_vos.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Indices outside the slots mean the ring's memory was overwritten: going on would read or write
// outside the buffer, so stop here, and stop with a failure code so the fault is not mistaken for a
// clean end.
void checkRing(const RingBuf *rb) {
    if (rb->slots >= 2 && rb->capacity == rb->slots - 1 && rb->read >= 0 && rb->read < rb->slots &&
        rb->write >= 0 && rb->write < rb->slots)
        return;
    Stdout_printf("fault err(%d,t=%d,h=%d,bs=%d,p=%p)\n", rb->write - rb->read, rb->write, rb->read, rb->slots,
                  static_cast<const void *>(rb));
    CnsVos_exit(RINGBUF_FAULT_EXIT);
}

int32_t usedOf(const RingBuf *rb) {
    int32_t d = rb->write - rb->read;
    return d >= 0 ? d : d + rb->slots;
}

} // namespace

extern "C" RingBuf *RingBuf_new(int32_t capacity) {
    if (capacity < 1 || capacity == INT32_MAX)
        return nullptr;
    auto *rb = new (std::nothrow) RingBuf{};
    if (!rb)
        return nullptr;
    rb->buf = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(capacity) + 1));
    if (!rb->buf) {
        delete rb;
        return nullptr;
    }
    rb->owned = 1;
    rb->slots = capacity + 1;
    rb->capacity = capacity;
    return rb;
}

extern "C" void RingBuf_delete(RingBuf *rb) {
    if (!rb)
        return;
    if (rb->owned)
        std::free(rb->buf);
    delete rb;
}

extern "C" int32_t RingBuf_init(RingBuf *rb, uint8_t *storage, int32_t slots) {
    if (!rb || !storage || slots < 2)
        return DV_E_ARG;
    *rb = RingBuf{storage, 0, slots, slots - 1, 0, 0};
    return 0;
}

extern "C" int32_t RingBuf_used(const RingBuf *rb) {
    checkRing(rb);
    return usedOf(rb);
}

extern "C" int32_t RingBuf_free(const RingBuf *rb) {
    checkRing(rb);
    return rb->capacity - usedOf(rb);
}

extern "C" void RingBuf_clear(RingBuf *rb) { rb->read = rb->write = 0; }

extern "C" int32_t RingBuf_write(RingBuf *rb, const void *src, int32_t n) {
    checkRing(rb);
    int32_t room = rb->capacity - usedOf(rb);
    if (n <= 0 || room == 0 || !src)
        return 0;
    int32_t k = n < room ? n : room;
    const auto *from = static_cast<const uint8_t *>(src);
    int32_t first = rb->slots - rb->write < k ? rb->slots - rb->write : k;
    std::memcpy(rb->buf + rb->write, from, static_cast<size_t>(first));
    std::memcpy(rb->buf, from + first, static_cast<size_t>(k - first));
    rb->write = (rb->write + k) % rb->slots;
    return k;
}

extern "C" int32_t RingBuf_read(RingBuf *rb, void *dst, int32_t n) {
    checkRing(rb);
    int32_t used = usedOf(rb);
    if (n <= 0 || used == 0 || !dst)
        return 0;
    int32_t k = n < used ? n : used;
    auto *to = static_cast<uint8_t *>(dst);
    int32_t first = rb->slots - rb->read < k ? rb->slots - rb->read : k;
    std::memcpy(to, rb->buf + rb->read, static_cast<size_t>(first));
    std::memcpy(to + first, rb->buf, static_cast<size_t>(k - first));
    rb->read = (rb->read + k) % rb->slots;
    return k;
}

extern "C" int32_t RingBuf_push(RingBuf *rb, uint8_t byte) { return RingBuf_write(rb, &byte, 1) == 1 ? 0 : -1; }

extern "C" int32_t RingBuf_pop(RingBuf *rb) {
    uint8_t byte;
    return RingBuf_read(rb, &byte, 1) == 1 ? byte : -1;
}
