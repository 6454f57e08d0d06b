/*
 * dv_csv.h — the comma-separated file codec (RFC 4180 quoting, CR LF line ends).
 *
 * What it does: CsvFileEnc writes a file line by line, field by field; CsvFileDec reads a file and
 * reports each line to a table of three handler routines (line begin, item, line end).
 *
 * Format: fields are separated by ","; a field that holds ",", a double quote, CR or LF is written
 * between double quotes with each double quote doubled; each line ends with CR LF. When reading, a
 * CR followed by LF (or a CR alone) ends a line, a lone LF is an ordinary character, a separator at
 * the start of a line or after another separator is an empty field, and a separator just before a
 * line end adds no empty field.
 *
 * What it owns: each object owns its file (closed by its _delete) and its buffers. Texts handed in
 * stay the caller's; a text handed to the item routine belongs to the decoder and lives until the
 * routine returns.
 *
 * Result codes: -2 (DV_E_NOMEM) out of memory, -4 (DV_E_EMPTY) an empty file, -5 (DV_E_CANCELLED)
 * reading stopped (see CsvFileDec_do), -9 (DV_E_IO) a read error, -53 (DV_E_NOFILE) the file could
 * not be opened or written, -81 (DV_E_ARG) a NULL argument.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_CSV_H
#define DV_CSV_H

#include "dv_export.h"

DV_BEGIN_DECLS

typedef struct CsvFileEnc CsvFileEnc;
typedef struct CsvFileDec CsvFileDec;

/* The decoder's handler table. Every routine gets ctx first; a NULL routine is skipped. */
typedef struct CsvFileDecHandler {
    void (*lineBegin)(void *ctx);
    void (*item)(void *ctx, const char *text); /* the field's text, zero-terminated */
    void (*lineEnd)(void *ctx);
    void *ctx;
} CsvFileDecHandler;

/* ---- CsvFileEnc ---- */

/* An encoder over path, opened "wb" (created or truncated). It is answered also when the file cannot
 * be opened; its operations then answer -53. NULL only for a NULL path or out of memory. Free with
 * CsvFileEnc_delete. */
DV_API CsvFileEnc *CsvFileEnc_new(const char *path);
/* Closes the file (a line not ended is not written) and frees the encoder. NULL is a no-op. */
DV_API void CsvFileEnc_delete(CsvFileEnc *e);
/* Starts an empty line (dropping a line not ended). 1, or -53 without a file. */
DV_API int32_t CsvFileEnc_addLineBeg(CsvFileEnc *e);
/* Appends a field, with a separator before every field but the first of the line (an empty first
 * field counts). 1; -53 without a file; -81 for a NULL text; -2 out of memory. */
DV_API int32_t CsvFileEnc_addLineItemStr(CsvFileEnc *e, const char *text);
/* Appends the number as "%d". 1, or as CsvFileEnc_addLineItemStr. */
DV_API int32_t CsvFileEnc_addLineItemInt(CsvFileEnc *e, int32_t n);
/* Writes the line and CR LF and starts a new empty line. 1, or -53 without a file or when the write
 * fails. */
DV_API int32_t CsvFileEnc_addLineEnd(CsvFileEnc *e);

/* ---- CsvFileDec ---- */

/* A decoder over path, opened "rb". It is answered also when the file cannot be opened; CsvFileDec_do
 * then answers -53. NULL only for a NULL path or out of memory. Free with CsvFileDec_delete. */
DV_API CsvFileDec *CsvFileDec_new(const char *path);
/* Closes the file and frees the decoder. NULL is a no-op. */
DV_API void CsvFileDec_delete(CsvFileDec *d);
/* Copies the handler table into the decoder. 1, or -81 for a NULL argument. */
DV_API int32_t CsvFileDec_regHandle(CsvFileDec *d, const CsvFileDecHandler *table);
/* Reads lines from where the last call stopped, reporting each field to the handlers. Answers the
 * lines read (a last line without CR LF is closed at the end of the file and counted, its last field
 * included); -4 when the file is empty; -53 without a file; -9 on a read error; -2 out of memory.
 * With maxLines > 0 it stops after that many lines and answers the count, or -5 when the line that
 * reached it held no field; with maxLines = -8 it stops after the first line end and answers -5. A
 * field longer than 1 MiB is cut there. */
DV_API int32_t CsvFileDec_do(CsvFileDec *d, int32_t maxLines);

DV_END_DECLS

#endif
