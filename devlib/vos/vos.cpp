// The wait loop, the timer list and the poll table.
//
// Waits never block in the kernel for longer than one 5 ms pass, so the host's pump and the
// transports' receive polls keep running; a watched descriptor cuts a pass's sleep short so that a
// reply is seen as soon as its bytes arrive rather than on the next 5 ms tick.

#include "vos/vos_int.h"
#include "dv_result.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

// ---- clock ----

uint32_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

uint32_t defaultClock(void *) { return monotonicMs(); }

CnsVosClockFn g_clock = defaultClock;
void *g_clockCtx = nullptr;

// Signed difference of two ticks, well defined across a wrap of the 32-bit counter.
int32_t tickDiff(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// ---- host hooks ----

CnsVosPumpFn g_pump = nullptr;
void *g_pumpCtx = nullptr;
CnsVosKeyHitFn g_keyHit = nullptr;
CnsVosKeyReadFn g_keyRead = nullptr;
void *g_keyCtx = nullptr;
int32_t g_keyMode = 0;

void defaultMessageBox(const char *text, const char *title, void *) {
    std::fprintf(stderr, "%s: %s\n", title, text);
}
CnsVosMessageBoxFn g_msgBox = defaultMessageBox;
void *g_msgBoxCtx = nullptr;

// ---- timers ----

VosTimer *g_timerHead = nullptr;
uint32_t g_lastTick = 0;

void unlinkTimer(VosTimer *t) {
    if (t->prev)
        t->prev->next = t->next;
    else if (g_timerHead == t)
        g_timerHead = t->next;
    if (t->next)
        t->next->prev = t->prev;
    t->next = t->prev = nullptr;
    t->state = -1;
}

// ---- poll table ----

struct PollSlot {
    VosPollFn fn;
    void *obj;
};

VosPollTable *g_pollTable = nullptr;

// ---- wait frames ----

// Each wait keeps its own cancel state. A cancel hits the innermost wait that is inside its pump,
// so a wait started by a window procedure running in the pump never cancels the wait around it.
struct WaitFrame {
    WaitFrame *outer;
    bool pumping;
    bool cancelled;
};
thread_local WaitFrame *t_waits = nullptr;

// Passes, in any wait, whose polls reported activity. A wait whose pump ran a nested wait compares it
// across its pump: the nested wait may have taken the news (its timer fired, bytes reached a ring)
// that this wait is waiting for, and no poll would report it a second time.
thread_local uint32_t g_activePasses = 0;

// ---- watched descriptors ----

constexpr int kMaxWatched = 16;
int g_watched[kMaxWatched];
int g_watchedCount = 0;

// Sleeps up to ms, or less when a watched descriptor has input. Answers true when woken early.
bool sleepOrWake(int ms, bool useFds) {
    if (ms <= 0)
        return false;
    if (!useFds || g_watchedCount == 0) {
        timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
        nanosleep(&ts, nullptr);
        return false;
    }
    pollfd fds[kMaxWatched];
    for (int i = 0; i < g_watchedCount; ++i)
        fds[i] = pollfd{g_watched[i], POLLIN, 0};
    int n = ::poll(fds, static_cast<nfds_t>(g_watchedCount), ms);
    return n > 0;
}

} // namespace

struct VosPollTable {
    PollSlot *slots;
    int32_t count;
    int32_t used;
};

// ---- timers ----

extern "C" void VosTimer_init(VosTimer *t) {
    t->next = t->prev = nullptr;
    t->due = 0;
    t->user = nullptr;
    t->callback = nullptr;
    t->state = -1;
}

extern "C" void VosTimer_start(VosTimer *t, int32_t ms, void *user, VosTimerFn callback) {
    if (t->state == 0)
        unlinkTimer(t);
    t->due = static_cast<int32_t>(CnsVos_now() + static_cast<uint32_t>(ms));
    t->user = user;
    t->callback = callback;
    t->state = 0;
    // Insert before the first timer that is not earlier: a new timer goes in front of those with the
    // same due tick.
    VosTimer *prev = nullptr;
    VosTimer *node = g_timerHead;
    while (node && tickDiff(node->due, t->due) < 0) {
        prev = node;
        node = node->next;
    }
    t->prev = prev;
    t->next = node;
    if (node)
        node->prev = t;
    if (prev)
        prev->next = t;
    else
        g_timerHead = t;
}

extern "C" void VosTimer_stop(VosTimer *t) {
    if (t->state == 0)
        unlinkTimer(t);
    t->state = -1;
}

extern "C" int VosTimer_expired(const VosTimer *t) { return t->state == -1; }

extern "C" void VosTimers_reset(void) {
    while (g_timerHead)
        unlinkTimer(g_timerHead);
    g_lastTick = CnsVos_now();
}

extern "C" int32_t VosTimers_pump(void *) {
    uint32_t now = CnsVos_now();
    g_lastTick = now;
    int32_t fired = 0;
    while (g_timerHead && tickDiff(g_timerHead->due, static_cast<int32_t>(now)) < 0) {
        VosTimer *t = g_timerHead;
        unlinkTimer(t);
        if (t->callback)
            t->callback(t->user);
        ++fired;
    }
    return fired;
}

// ---- poll table ----

extern "C" VosPollTable *VosPoll_new(int32_t slots) {
    if (slots < 0)
        slots = 0;
    auto *table = new (std::nothrow) VosPollTable{nullptr, slots, 0};
    if (!table)
        return nullptr;
    if (slots > 0) {
        table->slots = new (std::nothrow) PollSlot[static_cast<size_t>(slots)]();
        if (!table->slots) {
            delete table;
            return nullptr;
        }
    }
    return table;
}

extern "C" void VosPoll_delete(VosPollTable *table) {
    if (!table)
        return;
    delete[] table->slots;
    delete table;
}

extern "C" int32_t VosPoll_add(VosPollTable *table, VosPollFn fn, void *obj) {
    if (!table || !fn)
        return DV_E_FULL;
    for (int32_t i = 0; i < table->count; ++i) {
        if (!table->slots[i].fn) {
            table->slots[i] = PollSlot{fn, obj};
            ++table->used;
            return 0;
        }
    }
    return DV_E_FULL;
}

extern "C" void VosPoll_remove(VosPollTable *table, VosPollFn fn, void *obj) {
    if (!table)
        return;
    // The count follows the slots actually freed: removing a pair that was never added (a failed
    // open being closed) must not hide slot 0, or the timer pump would stop and timed waits hang.
    for (int32_t i = 0; i < table->count; ++i) {
        if (table->slots[i].fn == fn && table->slots[i].obj == obj) {
            table->slots[i] = PollSlot{nullptr, nullptr};
            --table->used;
        }
    }
}

extern "C" int32_t VosPoll_run(VosPollTable *table) {
    if (!table)
        return 0;
    int32_t seen = 0;
    int32_t active = 0;
    for (int32_t i = 0; i < table->count && seen < table->used; ++i) {
        PollSlot slot = table->slots[i];
        if (!slot.fn)
            continue;
        ++seen;
        if (slot.fn(slot.obj) != 0)
            ++active;
    }
    return active;
}

extern "C" VosPollTable *Vos_pollTable(void) { return g_pollTable; }

extern "C" void Vos_attach(void) {
    VosTimers_reset();
    if (!g_pollTable) {
        g_pollTable = VosPoll_new(4);
        if (g_pollTable)
            VosPoll_add(g_pollTable, VosTimers_pump, nullptr);
    }
}

extern "C" void Vos_detach(void) {
    VosPoll_delete(g_pollTable);
    g_pollTable = nullptr;
    VosTimers_reset();
    g_watchedCount = 0;
}

extern "C" int32_t Vos_watchFd(int fd) {
    for (int i = 0; i < g_watchedCount; ++i)
        if (g_watched[i] == fd)
            return 0;
    if (g_watchedCount >= kMaxWatched)
        return DV_E_FULL;
    g_watched[g_watchedCount++] = fd;
    return 0;
}

extern "C" void Vos_unwatchFd(int fd) {
    for (int i = 0; i < g_watchedCount; ++i) {
        if (g_watched[i] == fd) {
            g_watched[i] = g_watched[--g_watchedCount];
            return;
        }
    }
}

// ---- exported wait loop ----

extern "C" DV_API int32_t CnsVos_blocking(int32_t ms) {
    if (ms < 0)
        ms = INT32_MAX;
    WaitFrame frame{t_waits, false, false};
    t_waits = &frame;
    const uint32_t start = monotonicMs();
    bool wokeIdle = false; // a descriptor woke the last sleep but no poll had work: don't spin on it
    int32_t result = DV_E_TIMEOUT;
    for (;;) {
        const uint32_t activeBefore = g_activePasses;
        frame.pumping = true;
        if (g_pump)
            g_pump(g_pumpCtx);
        if (g_keyMode == 1 && g_keyHit && g_keyRead && g_keyHit(g_keyCtx) && g_keyRead(g_keyCtx) == 27)
            CnsVos_cancelBlocking();
        frame.pumping = false;
        if (frame.cancelled) {
            result = DV_E_CANCELLED;
            break;
        }
        int32_t active = VosPoll_run(g_pollTable);
        if (active > 0) {
            ++g_activePasses;
            result = active;
            break;
        }
        if (g_activePasses != activeBefore) {
            result = 1;
            break;
        }
        int64_t remaining = static_cast<int64_t>(ms) - static_cast<int64_t>(monotonicMs() - start);
        if (remaining <= 0)
            break;
        int step = remaining < 5 ? static_cast<int>(remaining) : 5;
        bool woke = sleepOrWake(step, !wokeIdle);
        wokeIdle = woke;
    }
    t_waits = frame.outer;
    return result;
}

extern "C" DV_API int32_t CnsVos_delay(int32_t ms) { return CnsVos_blocking(ms); }

extern "C" DV_API int32_t CnsVos_cancelBlocking(void) {
    for (WaitFrame *f = t_waits; f; f = f->outer) {
        if (f->pumping) {
            f->cancelled = true;
            f->pumping = false;
            return 0;
        }
    }
    return DV_E_STATE;
}

extern "C" DV_API int32_t CnsVos_kbCancelCheckCtrl(int32_t mode) {
    g_keyMode = mode;
    return mode;
}

extern "C" DV_API int32_t CnsVos_pause(void) {
    if (!g_keyHit || !g_keyRead)
        return -1;
    int32_t saved = g_keyMode;
    g_keyMode = 0;
    while (!g_keyHit(g_keyCtx)) {
        CnsVos_blocking(0);
        sleepOrWake(5, false);
    }
    int32_t key = g_keyRead(g_keyCtx);
    g_keyMode = saved;
    return key;
}

extern "C" DV_API void CnsVos_exit(int32_t code) {
    g_msgBox("Press OK to exit the program", "Info", g_msgBoxCtx);
    std::fflush(nullptr);
    _exit(code);
}

extern "C" DV_API void CnsVos_setPumpHook(CnsVosPumpFn fn, void *ctx) {
    g_pump = fn;
    g_pumpCtx = ctx;
}

extern "C" DV_API void CnsVos_setKeySource(CnsVosKeyHitFn hit, CnsVosKeyReadFn read, void *ctx) {
    g_keyHit = hit;
    g_keyRead = read;
    g_keyCtx = ctx;
}

extern "C" DV_API void CnsVos_setMessageBoxHook(CnsVosMessageBoxFn fn, void *ctx) {
    g_msgBox = fn ? fn : defaultMessageBox;
    g_msgBoxCtx = fn ? ctx : nullptr;
}

extern "C" void Vos_messageBox(const char *text, const char *title) {
    g_msgBox(text ? text : "", title ? title : "", g_msgBoxCtx);
}

extern "C" DV_API void CnsVos_setClock(CnsVosClockFn fn, void *ctx) {
    g_clock = fn ? fn : defaultClock;
    g_clockCtx = fn ? ctx : nullptr;
}

extern "C" DV_API uint32_t CnsVos_now(void) { return g_clock(g_clockCtx); }
