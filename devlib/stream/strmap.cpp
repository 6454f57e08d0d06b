// StrMap: a fixed table of short texts whose keys are the slot indices.

#include "dv_stream.h"
#include "dv_result.h"

#include <cstdlib>
#include <cstring>
#include <new>

struct StrMap {
    char *slots; // count * width bytes, zero-filled; a slot whose first byte is 0 is free
    int32_t width;
    int32_t count;
    int32_t used; // always the number of used slots
};

namespace {

char *slotAt(const StrMap *map, int32_t index) {
    return map->slots + static_cast<size_t>(index) * static_cast<size_t>(map->width);
}

// Copies s into the slot, cut to width - 1 characters, and keeps the used count in step.
void store(StrMap *map, int32_t index, const char *s) {
    char *slot = slotAt(map, index);
    bool wasUsed = slot[0] != '\0';
    size_t n = s ? std::strlen(s) : 0;
    size_t room = static_cast<size_t>(map->width) - 1;
    if (n > room)
        n = room;
    std::memset(slot, 0, static_cast<size_t>(map->width));
    if (n > 0)
        std::memcpy(slot, s, n);
    bool isUsed = n > 0;
    if (isUsed && !wasUsed)
        ++map->used;
    else if (!isUsed && wasUsed)
        --map->used;
}

} // namespace

extern "C" DV_API StrMap *StrMap_new(int32_t width, int32_t count) {
    if (width < 1 || count < 0)
        return nullptr;
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(count);
    if (count > 0 && bytes / static_cast<size_t>(count) != static_cast<size_t>(width))
        return nullptr;
    auto *map = new (std::nothrow) StrMap{nullptr, width, count, 0};
    if (!map)
        return nullptr;
    map->slots = static_cast<char *>(std::calloc(bytes > 0 ? bytes : 1, 1));
    if (!map->slots) {
        delete map;
        return nullptr;
    }
    return map;
}

extern "C" DV_API void StrMap_delete(StrMap *map) {
    if (!map)
        return;
    std::free(map->slots);
    delete map;
}

extern "C" DV_API int32_t StrMap_add(StrMap *map, const char *s, int32_t *index) {
    if (!map || !s)
        return DV_E_ARG;
    if (map->used >= map->count)
        return DV_E_FULL;
    for (int32_t i = 0; i < map->count; ++i) {
        if (slotAt(map, i)[0] == '\0') {
            store(map, i, s);
            if (index)
                *index = i;
            return 0;
        }
    }
    return DV_E_FAIL;
}

extern "C" DV_API int32_t StrMap_find(const StrMap *map, const char *s, int32_t *index) {
    if (!map || !s || s[0] == '\0')
        return DV_E_NOTFOUND;
    for (int32_t i = 0; i < map->count; ++i) {
        const char *slot = slotAt(map, i);
        if (slot[0] != '\0' && std::strcmp(slot, s) == 0) { // slots are always terminated
            if (index)
                *index = i;
            return 1;
        }
    }
    return DV_E_NOTFOUND;
}

extern "C" DV_API int32_t StrMap_uadd(StrMap *map, const char *s, int32_t *index) {
    if (!map || !s)
        return DV_E_ARG;
    // Look for the text as a slot would hold it, so a long text is not added again on every call.
    size_t n = ::strnlen(s, static_cast<size_t>(map->width) - 1);
    char *cut = static_cast<char *>(std::malloc(n + 1));
    if (!cut)
        return DV_E_FAIL;
    std::memcpy(cut, s, n);
    cut[n] = '\0';
    int32_t found = StrMap_find(map, cut, index);
    std::free(cut);
    if (found == 1)
        return 0;
    return StrMap_add(map, s, index);
}

extern "C" DV_API int32_t StrMap_del(StrMap *map, int32_t index) {
    if (!map || index < 0 || index >= map->count)
        return DV_E_RANGE;
    store(map, index, nullptr);
    return 0;
}

extern "C" DV_API int32_t StrMap_set(StrMap *map, int32_t index, const char *s) {
    if (!map || index < 0 || index >= map->count)
        return DV_E_RANGE;
    store(map, index, s);
    return 0;
}

extern "C" DV_API const char *StrMap_get(const StrMap *map, int32_t index) {
    if (!map || index < 0 || index >= map->count)
        return nullptr;
    const char *slot = slotAt(map, index);
    return slot[0] != '\0' ? slot : nullptr;
}

extern "C" DV_API void StrMap_clear(StrMap *map) {
    if (!map)
        return;
    std::memset(map->slots, 0, static_cast<size_t>(map->width) * static_cast<size_t>(map->count));
    map->used = 0;
}

extern "C" DV_API int32_t StrMap_used(const StrMap *map) { return map ? map->used : 0; }
extern "C" DV_API int32_t StrMap_count(const StrMap *map) { return map ? map->count : 0; }
