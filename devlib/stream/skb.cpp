// Packet buffers and their queues: the OBEX client builds its packets in them.

#include "dv_stream.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr int32_t kHeadroom = 16;

// The count of headers sharing a data area lives right after the area (its size is a multiple of 16,
// so the count is aligned).
uint32_t *sharedCount(const SkBuff *skb) { return reinterpret_cast<uint32_t *>(skb->end); }

} // namespace

extern "C" DV_API SkBuff *CFI_dev_alloc_skb(int32_t n) {
    if (n < 0 || n > INT32_MAX - 64)
        return nullptr;
    // n bytes and 16 of headroom, brought to a multiple of 16.
    size_t area = (static_cast<size_t>(n) + kHeadroom + 15) & ~static_cast<size_t>(15);
    auto *skb = static_cast<SkBuff *>(std::calloc(1, sizeof(SkBuff)));
    if (!skb)
        return nullptr;
    auto *head = static_cast<uint8_t *>(std::malloc(area + sizeof(uint32_t)));
    if (!head) {
        std::free(skb);
        return nullptr;
    }
    skb->head = head;
    skb->data = skb->tail = head + kHeadroom;
    skb->end = head + area;
    skb->len = 0;
    skb->truesize = static_cast<uint32_t>(area);
    skb->users = 1;
    *sharedCount(skb) = 1;
    return skb;
}

extern "C" DV_API void CFI_dev_kfree_skb(SkBuff *skb) {
    if (!skb)
        return;
    if (skb->users > 1) {
        --skb->users;
        return;
    }
    uint32_t *count = sharedCount(skb);
    if (--*count == 0)
        std::free(skb->head);
    std::free(skb);
}

extern "C" DV_API SkBuff *CFI_skb_clone(SkBuff *skb) {
    if (!skb)
        return nullptr;
    auto *copy = static_cast<SkBuff *>(std::malloc(sizeof(SkBuff)));
    if (!copy)
        return nullptr;
    *copy = *skb;
    copy->next = copy->prev = nullptr;
    copy->list = nullptr;
    copy->users = 1;
    copy->cloned = 1;
    skb->cloned = 1;
    ++*sharedCount(skb);
    return copy;
}

extern "C" DV_API uint8_t *skb_put(SkBuff *skb, int32_t n) {
    if (!skb || n < 0 || n > skb->end - skb->tail)
        return nullptr;
    uint8_t *old = skb->tail;
    skb->tail += n;
    skb->len += static_cast<uint32_t>(n);
    return old;
}

extern "C" DV_API uint8_t *skb_push(SkBuff *skb, int32_t n) {
    if (!skb || n < 0 || n > skb->data - skb->head)
        return nullptr;
    skb->data -= n;
    skb->len += static_cast<uint32_t>(n);
    return skb->data;
}

extern "C" DV_API uint8_t *skb_pull(SkBuff *skb, int32_t n) {
    if (!skb || n < 0 || static_cast<uint32_t>(n) > skb->len)
        return nullptr;
    skb->data += n;
    skb->len -= static_cast<uint32_t>(n);
    return skb->data;
}

extern "C" DV_API int32_t skb_headroom(const SkBuff *skb) {
    return skb ? static_cast<int32_t>(skb->data - skb->head) : 0;
}

extern "C" DV_API int32_t skb_tailroom(const SkBuff *skb) {
    return skb ? static_cast<int32_t>(skb->end - skb->tail) : 0;
}

extern "C" DV_API void skb_queue_head_init(SkBuffHead *list) {
    if (list)
        *list = SkBuffHead{nullptr, nullptr, 0};
}

extern "C" DV_API void skb_queue_tail(SkBuffHead *list, SkBuff *skb) {
    if (!list || !skb || skb->list)
        return;
    skb->list = list;
    skb->next = nullptr;
    skb->prev = list->prev;
    if (list->prev)
        list->prev->next = skb;
    else
        list->next = skb;
    list->prev = skb;
    ++list->qlen;
}

extern "C" DV_API void skb_queue_head(SkBuffHead *list, SkBuff *skb) {
    if (!list || !skb || skb->list)
        return;
    skb->list = list;
    skb->prev = nullptr;
    skb->next = list->next;
    if (list->next)
        list->next->prev = skb;
    else
        list->prev = skb;
    list->next = skb;
    ++list->qlen;
}

namespace {
SkBuff *unlink(SkBuffHead *list, SkBuff *skb) {
    if (!skb)
        return nullptr;
    if (skb->prev)
        skb->prev->next = skb->next;
    else
        list->next = skb->next;
    if (skb->next)
        skb->next->prev = skb->prev;
    else
        list->prev = skb->prev;
    skb->next = skb->prev = nullptr;
    skb->list = nullptr;
    --list->qlen;
    return skb;
}
} // namespace

extern "C" DV_API SkBuff *skb_dequeue(SkBuffHead *list) { return list ? unlink(list, list->next) : nullptr; }
extern "C" DV_API SkBuff *skb_dequeue_tail(SkBuffHead *list) { return list ? unlink(list, list->prev) : nullptr; }
extern "C" DV_API SkBuff *skb_peek(const SkBuffHead *list) { return list ? list->next : nullptr; }
extern "C" DV_API SkBuff *skb_peek_tail(const SkBuffHead *list) { return list ? list->prev : nullptr; }
