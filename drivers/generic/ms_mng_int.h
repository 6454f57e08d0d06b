/*
 * ms_mng_int.h — how MsMng_connect reads the texts of a ConnCfg (inside the driver and its tests).
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef PL_MS_MNG_INT_H
#define PL_MS_MNG_INT_H

#include <stdint.h>

#ifdef __cplusplus

namespace pl {

// Where a serial connection goes: COM<com> when com > 0 (also COM0 for a "COM0" text, which no
// open accepts); otherwise the device path `path` (the port text itself, which begins with '/').
struct PortChoice {
    int32_t com;
    const char *path;
};

// "COMn" (any case) → n (the decimal digits after "COM"; none gives 0); a text beginning with '/'
// → that path; anything else, NULL included → COM1.
PortChoice choosePort(const char *text);

// The decimal value of a baud text (leading blanks skipped, digits up to the first other
// character, capped at INT32_MAX); -1 (the transport's default) when it is NULL, has no digits or
// is 0.
int32_t parseBaud(const char *text);

// How long the line must stay quiet before the first command of a connection (50 ms; 0 skips the
// drain). Answers the previous value. For tests.
int32_t setConnectQuietMs(int32_t ms);

} // namespace pl

#endif

#endif
