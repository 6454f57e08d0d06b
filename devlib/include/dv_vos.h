/*
 * dv_vos.h — the wait loop of the device library.
 *
 * Every wait in the library (a receive with no data yet, an IrDA discovery pause, a connect in
 * progress, a delay) is a loop on the calling thread: each pass runs the host's message pump, then the
 * process-wide poll callbacks (the open transports read their ports there, the timer list fires), and
 * then sleeps up to 5 ms — less when a watched descriptor becomes readable, so received bytes are
 * picked up as soon as they arrive.
 *
 * A routine that runs inside the pump (a window procedure, a host callback) may cancel the innermost
 * wait that is pumping; each wait keeps its own cancel state, so a wait started from inside the pump
 * never cancels the wait around it.
 *
 * Runs on the caller's thread and takes no lock. Results: > 0 active polls, -5 cancelled,
 * -12 time-out, -23 cancel without a pumping wait.
 */
#ifndef DV_VOS_H
#define DV_VOS_H

#include "dv_export.h"

DV_BEGIN_DECLS

/* Wait up to ms milliseconds (negative: no limit) until a poll reports activity. Answers the number
 * of active polls (> 0), -5 when cancelled from inside the pump, -12 when the time ran out.
 * CnsVos_blocking(0) runs exactly one pass. A pass whose pump ran a nested wait that saw activity
 * answers 1: that activity (a timer that fired, received bytes) was meant for this wait too. */
DV_API int32_t CnsVos_blocking(int32_t ms);

/* The same as CnsVos_blocking: a delay ends early, with a positive result, when any open transport
 * received data. */
DV_API int32_t CnsVos_delay(int32_t ms);

/* Cancels the innermost wait that is inside its message pump: 0, or -23 when no wait is pumping. */
DV_API int32_t CnsVos_cancelBlocking(void);

/* Key check: mode 1 lets an Esc key from the key source cancel waits, 0 turns it off. Answers mode. */
DV_API int32_t CnsVos_kbCancelCheckCtrl(int32_t mode);

/* Turns the key check off, runs wait passes until the key source has a key, reads it, restores the
 * key-check mode and answers the key code. Without a key source it answers -1 at once. */
DV_API int32_t CnsVos_pause(void);

/* The library's fatal stop: shows "Press OK to exit the program" titled "Info" through the exit hook,
 * then ends the process with code. Never returns. */
DV_API void CnsVos_exit(int32_t code) __attribute__((noreturn));

/* ---- Host hooks (the Linux stand-ins for the window-message pump, console keys and message box) ---- */

/* Called once at the start of every pass on the waiting thread; the host processes its pending
 * events there. NULL (the default) pumps nothing. The hook may start a wait of its own. */
typedef void (*CnsVosPumpFn)(void *ctx);
DV_API void CnsVos_setPumpHook(CnsVosPumpFn fn, void *ctx);

/* Key source for the Esc check and CnsVos_pause: hit answers non-zero when a key is waiting, read
 * takes it and answers its code. NULL functions (the default) mean no key is ever waiting. */
typedef int32_t (*CnsVosKeyHitFn)(void *ctx);
typedef int32_t (*CnsVosKeyReadFn)(void *ctx);
DV_API void CnsVos_setKeySource(CnsVosKeyHitFn hit, CnsVosKeyReadFn read, void *ctx);

/* Shown by CnsVos_exit before the process ends. The default writes "title: text" to stderr. */
typedef void (*CnsVosMessageBoxFn)(const char *text, const char *title, void *ctx);
DV_API void CnsVos_setMessageBoxHook(CnsVosMessageBoxFn fn, void *ctx);

/* Millisecond clock behind the timer list and wait loop. The default is CLOCK_MONOTONIC; tests
 * install their own to step time or force a wrap of the 32-bit tick. NULL restores the default. */
typedef uint32_t (*CnsVosClockFn)(void *ctx);
DV_API void CnsVos_setClock(CnsVosClockFn fn, void *ctx);
DV_API uint32_t CnsVos_now(void);

DV_END_DECLS

#endif
