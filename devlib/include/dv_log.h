/*
 * dv_log.h — the library's logging sinks.
 *
 * Stdout_printf writes only while the console sink or the edit sink is open, and then to every open
 * sink: the console (standard error), the edit sink (a host text control, whose text also goes to
 * "history.txt" in the working directory) and the log file (framed by "* Begin at" / "* End at"
 * banners). A log file alone receives nothing. Nothing in the library opens a sink: its diagnostic
 * lines go nowhere unless the host opens one.
 *
 * A print is formatted into one 2048-byte buffer; a longer text is cut (never overrun).
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_LOG_H
#define DV_LOG_H

#include <stdarg.h>

#include "dv_export.h"

DV_BEGIN_DECLS

/* Opens the console sink (standard error). 0, also when already open. */
DV_API int32_t StdoutConsole_init(void);
/* Closes the console sink and the log file. */
DV_API void StdoutConsole_cleanup(void);

/* The edit sink: the host's text control, reached through these callbacks (all required). */
typedef struct StdoutEditHost {
    void *ctx;
    int32_t (*textLength)(void *ctx);                 /* characters in the control */
    int32_t (*lineCount)(void *ctx);                  /* lines in the control */
    void (*deleteFirstLines)(void *ctx, int32_t n);   /* drop the control's first n lines */
    void (*append)(void *ctx, const char *text);      /* insert at the end and scroll to it */
} StdoutEditHost;

/* Opens the edit sink (once; the host record is copied). 0, or -81 for a host with a missing
 * callback. "history.txt" is opened for appending. */
DV_API int32_t StdoutEdit_init(const StdoutEditHost *host);
/* Writes the pending history to "history.txt", closes it, frees the sink and closes the log file. */
DV_API void StdoutEdit_cleanup(void);

/* Closes the current log file (with its end banner) and opens path for appending with a begin
 * banner. 0; when the file cannot be opened no log file is set (and 0 is still answered). A NULL
 * path only closes the current file. */
DV_API int32_t Stdout_setLog(const char *path);

/* The count written (the log file's when one is open, else the edit sink's, else the console's),
 * or -1 when neither the console nor the edit sink is open. A console write that fails shows
 * "write stdout fail: <errno>" titled "info" through the message-box hook (CnsVos_setMessageBoxHook)
 * and counts -1. */
DV_API int32_t Stdout_printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
DV_API int32_t Stdout_vprintf(const char *fmt, va_list args);

/* Each byte as "%02x" and a blank, a line feed after every 16th byte and at the end. Answers n. */
DV_API int32_t Stdout_dump(const void *bytes, int32_t n);

/* Stdout_printf("%s\n", s) and Stdout_printf("%s", s). */
DV_API int32_t printLine(const char *s);
DV_API int32_t printStr(const char *s);

DV_END_DECLS

#endif
