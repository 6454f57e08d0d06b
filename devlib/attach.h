/*
 * attach.h — what happens when the library is attached to and detached from a process.
 *
 * libDravnik.so runs Dravnik_attach from an ELF constructor and Dravnik_detach from its destructor.
 * Tests that link the modules statically call them directly to start from a clean state.
 */
#ifndef DV_ATTACH_H
#define DV_ATTACH_H

#ifdef __cplusplus
extern "C" {
#endif

/* Empties the timer list, loads the conversion library, creates the poll table (4 slots, the timer
 * pump in slot 0). Calling it again first detaches. */
void Dravnik_attach(void);
/* Frees the poll table, unloads the conversion library, empties the timer list. */
void Dravnik_detach(void);

#ifdef __cplusplus
}
#endif

#endif
