/*
 * vos_int.h — the library-internal half of the wait loop: timers, the poll table and the descriptors
 * whose readiness wakes a sleeping wait early. Used by the transports and the OBEX client.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_VOS_INT_H
#define DV_VOS_INT_H

#include "dv_vos.h"

DV_BEGIN_DECLS

/* A timer record is owned by its caller (usually a local of the waiting function) and must be stopped
 * before it goes out of scope. */
typedef void (*VosTimerFn)(void *user);
typedef struct VosTimer {
    struct VosTimer *next;
    struct VosTimer *prev;
    int32_t due;         /* tick; compared by signed difference so the counter may wrap */
    void *user;
    VosTimerFn callback; /* may be NULL */
    int32_t state;       /* -1 idle or expired, 0 armed */
} VosTimer;

void VosTimer_init(VosTimer *t);
/* Arms (or re-arms) the timer ms milliseconds from now. A new timer goes in front of timers with the
 * same due tick. */
void VosTimer_start(VosTimer *t, int32_t ms, void *user, VosTimerFn callback);
void VosTimer_stop(VosTimer *t);
int VosTimer_expired(const VosTimer *t);

/* Process-wide timer list: reset at attach, emptied at detach. */
void VosTimers_reset(void);
/* Fires every timer whose due tick has passed; answers how many fired. */
int32_t VosTimers_pump(void *unused);

typedef int32_t (*VosPollFn)(void *obj);
typedef struct VosPollTable VosPollTable;

VosPollTable *VosPoll_new(int32_t slots);
void VosPoll_delete(VosPollTable *table);
/* 0, or -201 when no slot is free (or the table has no slots). */
int32_t VosPoll_add(VosPollTable *table, VosPollFn fn, void *obj);
/* Frees every slot that holds the pair; a pair that was never added changes nothing. */
void VosPoll_remove(VosPollTable *table, VosPollFn fn, void *obj);
/* Calls every filled slot in order and answers how many calls returned non-zero. */
int32_t VosPoll_run(VosPollTable *table);

/* The process-wide poll table that CnsVos_blocking runs (NULL before attach and after detach). */
VosPollTable *Vos_pollTable(void);
/* Creates the process table with 4 slots and the timer pump in slot 0; frees it. */
void Vos_attach(void);
void Vos_detach(void);

/* Descriptors watched while a wait sleeps: a readable (or hung-up) descriptor ends the 5 ms sleep
 * early. Adding the same descriptor twice keeps one entry; -201 when the set is full. */
int32_t Vos_watchFd(int fd);
void Vos_unwatchFd(int fd);

/* Shows text titled title through the host's message-box hook (CnsVos_setMessageBoxHook). */
void Vos_messageBox(const char *text, const char *title);

DV_END_DECLS

#endif
