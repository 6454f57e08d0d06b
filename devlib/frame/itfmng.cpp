// The interface registry: which driver object the handset is currently set up for.

#include "dv_util.h"
#include "dv_result.h"

#include <new>

namespace {
struct Entry {
    void *user;
    ItfMngFn enter;
    ItfMngFn leave;
};
} // namespace

struct ItfMng {
    Entry *entries;
    int32_t count;
    int32_t used;
    int32_t current;
};

extern "C" DV_API ItfMng *ItfMng_new(int32_t slots) {
    if (slots < 0)
        return nullptr;
    auto *mng = new (std::nothrow) ItfMng{nullptr, slots, 0, -1};
    if (!mng)
        return nullptr;
    if (slots > 0) {
        mng->entries = new (std::nothrow) Entry[static_cast<size_t>(slots)]();
        if (!mng->entries) {
            delete mng;
            return nullptr;
        }
    }
    return mng;
}

extern "C" DV_API void ItfMng_delete(ItfMng *mng) {
    if (!mng)
        return;
    delete[] mng->entries;
    delete mng;
}

extern "C" DV_API int32_t ItfMng_reg(ItfMng *mng, void *user, ItfMngFn enter, ItfMngFn leave) {
    if (!mng || !user)
        return DV_E_ARG;
    for (int32_t i = 0; i < mng->count; ++i) {
        if (!mng->entries[i].user) {
            mng->entries[i] = Entry{user, enter, leave};
            ++mng->used;
            return i;
        }
    }
    return DV_E_FULL;
}

extern "C" DV_API int32_t ItfMng_unreg(ItfMng *mng, int32_t index) {
    if (!mng || index < 0 || index >= mng->count)
        return DV_E_ARG;
    if (mng->entries[index].user) {
        mng->entries[index] = Entry{};
        --mng->used;
    }
    // The handset's mode belonged to that entry; whoever comes next must set it up again.
    if (mng->current == index)
        mng->current = -1;
    return 0;
}

extern "C" DV_API int32_t ItfMng_exec(ItfMng *mng, int32_t index) {
    if (!mng)
        return 0;
    if (index < 0 || index >= mng->count || !mng->entries[index].user)
        return DV_E_ARG;
    if (index == mng->current)
        return 0;
    int32_t result = 0;
    if (mng->current >= 0) {
        const Entry &old = mng->entries[mng->current];
        if (old.leave)
            result = old.leave(old.user);
    }
    mng->current = index;
    const Entry &now = mng->entries[index];
    if (result >= 0 && now.enter)
        result = now.enter(now.user);
    // A failed switch leaves the handset in an unknown mode: with nothing current, the next
    // operation tries the switch again instead of trusting it.
    if (result < 0)
        mng->current = -1;
    return result;
}

extern "C" DV_API int32_t ItfMng_current(const ItfMng *mng) { return mng ? mng->current : -1; }
