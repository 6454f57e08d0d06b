/*
 * dv_result.h — the result codes shared by the device library, the phone drivers and the program.
 *
 * Every function of the libraries answers a signed 32-bit result: zero or positive is success
 * (often a count or a length), negative is one of the codes below. A code is exact: a time-out,
 * a closed link and a malformed reply are not interchangeable.
 */
#ifndef DV_RESULT_H
#define DV_RESULT_H

#include "dv_export.h"

enum {
    DV_OK = 0,
    DV_E_NOMEM = -2,           /* no memory (print buffer missing) */
    DV_E_EMPTY = -4,           /* empty input (CSV) */
    DV_E_CANCELLED = -5,       /* a wait was cancelled */
    DV_E_NOTCONN = -7,         /* not connected */
    DV_E_REFUSED = -8,         /* IrDA connect refused, non-blocking mode failed, link test failed */
    DV_E_IO = -9,              /* I/O failure, or final result ERROR */
    DV_E_TIMEOUT = -12,        /* time-out */
    DV_E_STATE = -23,          /* wrong state (cancel without a wait, push-back with nothing read) */
    DV_E_NOTFOUND = -25,       /* not found / no IrDA device */
    DV_E_RANGE = -36,          /* index out of range (ends a list normally) */
    DV_E_FAIL = -51,           /* general failure */
    DV_E_NOFILE = -53,         /* no file */
    DV_E_PORT = -64,           /* serial port cannot be opened */
    DV_E_CLOSED = -71,         /* link closed, or the handset changed */
    DV_E_ARG = -81,            /* bad argument */
    DV_E_MALFORMED = -92,      /* malformed reply */
    DV_E_UNSUPPORTED = -94,    /* unsupported option or operation, not found */
    DV_E_NOTIMPL = -95,        /* not implemented */
    DV_E_STACKDOWN = -102,     /* IrDA stack down */
    DV_E_NORECORD = -112,      /* no such record id (IrMC) */
    DV_E_LISTEND = -125,       /* end of a list (ends a read-next walk normally) */
    DV_E_FULL = -201,          /* table or buffer full */
    DV_E_EOF = -202,           /* end of stream */
    DV_E_TOOLONG = -251,       /* input too long for its field */
    DV_E_DISABLED = -261       /* AT terminal disabled */
};

#endif
