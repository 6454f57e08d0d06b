/*
 * dv_at.h — the AT-command terminal, the reply lexers and the generic identity queries.
 *
 * AtTe talks to a handset in AT commands (3GPP 27.007 / 27.005, verbose result codes, V.250
 * framing) over a transport (dv_transport.h). It sends "AT" + command + CR and frames the reply into
 * lines, telling intermediate lines from the final result: "OK", "ERROR", "COMMAND NOT SUPPORT" (the
 * ERROR of some handsets), or an extended error, that is the caller's error prefix ("+CME", "+CMS"),
 * a blank, "ERROR" and a number. The terminal never retries a command; its waits are the transport's
 * receive time-out.
 *
 * Framing. The line state persists between calls: before a reply, inside a reply, or after the blank
 * line that precedes a final result. Lines end in CR LF, CR alone or LF alone (CR CR LF counts as
 * one line end); a line is complete at its CR. Before a reply the echo of the command and the line
 * end that opens a verbose reply are skipped; without echo a reply that lacks that line end keeps
 * its first line. With everyLine 0 only the first line of a reply, or the line after a blank line,
 * is tested as a final result, so data lines may safely read "OK" or "ERROR"; with everyLine 1 blank
 * lines are skipped and every line is tested. A line of fewer than 2 characters counts as blank; one
 * blank line ahead of a reply's first line is a handset's habit, a second one makes the reply
 * malformed. Where a reply's first line is due, a second echo of the command and the well-known
 * unsolicited result codes (RING, +CMTI:, +CREG:, ...) are skipped, the latter unless the command
 * just sent has the same name.
 *
 * Command and reply in step. Once the handset has shown that it echoes, lines that come before the
 * echo of the command just sent belong to an earlier exchange (a reply that came after its
 * time-out, the rest of a reply left half read, the echo of an earlier command) and are skipped.
 * Before a command that follows an unfinished reply, or a reply that no echo could tell from a late
 * one, the line is drained until it has been quiet for 50 ms; what has arrived of a malformed reply
 * is dropped.
 *
 * Reading a character takes the 16-byte push-back ring first, then the socket stream over the
 * transport. Lines longer than the caller's buffer are cut (the rest is read and dropped); every
 * buffer the terminal fills is zero-terminated.
 *
 * A terminal owns its socket stream, push-back ring and buffers; it does not own the transport.
 *
 * AtLex and BnfLex cut reply texts read from an AbsFile stream (dv_stream.h) into tokens placed in
 * a StrBuf; they own nothing. GdcTe asks the handset identity with the generic V.250 commands.
 *
 * Result codes: -261 terminal disabled (nothing is sent or read); -9 final result ERROR or an
 * extended error; -92 malformed reply (a blank line where a final result was due, a reply of
 * nothing but blank lines, "OK" where a prompt was due); -12 time-out, -5 cancelled and -71 link closed (a send that moved nothing, a read
 * on a closed transport) come from the transport; -81 bad argument; -2 no memory; a lexer answers
 * its stream's error (-202 end of data).
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_AT_H
#define DV_AT_H

#include "dv_export.h"
#include "dv_stream.h"
#include "dv_transport.h"

DV_BEGIN_DECLS

typedef struct AtTe AtTe;

/* Token codes of the lexers; a separator answers its own character code, an error is negative. */
enum {
    AT_TOK_CR = 13,      /* a lone CR (BnfLex only) */
    AT_TOK_STRING = 256, /* a double-quoted string, without its quotes */
    AT_TOK_WORD = 257,
    AT_TOK_NUMBER = 258, /* decimal digits (AtLex only) */
    AT_TOK_CRLF = 259    /* CR LF (BnfLex only) */
};

/* ---- AtTe: life cycle ---- */

/* A new, enabled terminal over sock (not owned; it must outlive the terminal). NULL for a NULL sock
 * or out of memory. Free it with AtTe_delete. */
DV_API AtTe *AtTe_new(CnsSock *sock);
/* Frees the push-back ring, the socket stream and the record, never the transport. NULL is a
 * no-op. */
DV_API void AtTe_delete(AtTe *te);
/* The transport the terminal was made over (still owned by the caller); NULL for a NULL te. */
DV_API CnsSock *AtTe_getSock(AtTe *te);
/* While disabled every operation answers -261 and nothing is sent or read. 0, or -81 for NULL. */
DV_API int32_t AtTe_enable(AtTe *te);
DV_API int32_t AtTe_disable(AtTe *te);

/* Sets the transport's receive time-out to ms and answers the previous one (also stored in *old
 * when old is given), or the transport's option error. */
DV_API int32_t AtTe_setRxTimeout(AtTe *te, int32_t ms, int32_t *old);

/* ---- AtTe: sending ---- */

/* Sends "AT" + cmd + CR (cmd is given without "AT"; "" sends a bare "AT"): in one write when the
 * command and its 4 bytes of framing fit the 64-byte command buffer, else as "AT", cmd, CR. Answers
 * the length of cmd, or the first send error (-71 when the transport took nothing). The caller keeps
 * cmd. */
DV_API int32_t AtTe_sendCmd(AtTe *te, const char *cmd);
/* Sends len raw bytes (len <= 0: the string length of bytes), no "AT" and no CR: the count sent, or
 * the send error. The caller keeps bytes. */
DV_API int32_t AtTe_sendData(AtTe *te, const void *bytes, int32_t len);

/* ---- AtTe: reading replies ----
 * The out-values are optional (NULL); *lineLen is the length stored in buf. buf receives at most
 * len - 1 characters and a terminator; a NULL buf or len <= 0 selects the terminal's own 256-byte
 * line buffer (the text is then dropped). Error prefixes longer than 8 characters are not used. */

/* One line of the reply: 2 intermediate line, 1 final result (*ok 1 for "OK", else 0; *code the
 * extended error number, 0 when none), or an error. A line that follows the blank line before the
 * final result but is no final result is a malformed reply: the rest of the reply is read through
 * its final result and the answer is 1 with *ok 0 and *code 0, so the next command stays in step. */
DV_API int32_t AtTe_recvFrmLineExt(AtTe *te, const char *errorPrefix, int32_t everyLine, char *buf,
                                   int32_t len, int32_t *lineLen, int32_t *ok, int32_t *code);
/* AtTe_recvFrmLineExt with everyLine 0. */
DV_API int32_t AtTe_recvFrmLine(AtTe *te, const char *errorPrefix, char *buf, int32_t len, int32_t *lineLen,
                                int32_t *ok, int32_t *code);
/* All intermediate lines of a reply in buf, joined by CR LF: 2, and the next call reads the final
 * result (1); a final result as the reply's first line answers 1 at once; a blank first line -92. */
DV_API int32_t AtTe_recvFrmWhole(AtTe *te, const char *errorPrefix, char *buf, int32_t len, int32_t *lineLen,
                                 int32_t *ok, int32_t *code);
/* Reads the reply through its final result. With a buffer, buf holds every line, the final result
 * included, each followed by CR LF while room remains (lines that do not fit are cut or dropped;
 * buf stays terminated); *total is that length without the last CR LF. 0 when the final result was
 * "OK", -9 otherwise (*code the extended error number), or the read error. */
DV_API int32_t AtTe_recvRsp(AtTe *te, const char *errorPrefix, char *buf, int32_t len, int32_t *total,
                            int32_t *code);

/* ---- AtTe: whole exchanges ---- */

/* Sends cmd and reads its reply without keeping it: 0 for "OK", -9 (and *code) for an error reply,
 * or a send or read error. */
DV_API int32_t AtTe_setAny(AtTe *te, const char *cmd, const char *errorPrefix, int32_t *code);
/* Sends cmd and places the first line of its reply in buf (len bytes, terminated), without the
 * reply prefix when the line begins with prefix (any case) and without the blanks and tabs that lead
 * the value; the rest of the reply is read through its final result. Answers the value length, -9
 * when the handset answered a final result in place of data or an error, a link fault at once, or
 * another read error. spare is not used. */
DV_API int32_t AtTe_getAny(AtTe *te, const char *cmd, const char *prefix, const char *errorPrefix, char *buf,
                           int32_t len, int32_t spare);
/* Waits for literal, such as the "\r\n> " prompt of a message send, skipping echoed command lines;
 * the CRs and LFs that lead the literal match any run of CRs and LFs (handsets end the echo before
 * the prompt in different ways); a literal made only of CRs and LFs is matched as it stands. 0 when
 * it arrived; otherwise the reply that came instead is read through its final result: -92 when it
 * was "OK", -9 (and *code) for an error. -81 for an empty literal, or one whose part after the
 * leading run is longer than 14 bytes (16 without a run). */
DV_API int32_t AtTe_waitUntil(AtTe *te, const char *literal, const char *errorPrefix, int32_t *code);
/* Sends a bare "AT" and reads its reply, up to tries times while the answer is an error other than
 * -5 (cancelled) and -261, with the receive time-out set to ms meanwhile (the previous one is
 * restored). 0 when the last try succeeded, else its error; tries <= 0 sends nothing and answers 0. */
DV_API int32_t AtTe_testLink(AtTe *te, int32_t ms, int32_t tries);
/* Sends "E1" when on is 1, else "E0", and reads the reply: 0, -9, or a link error. */
DV_API int32_t AtTe_setEcho(AtTe *te, int32_t on);
/* Not implemented: -95. */
DV_API int32_t AtTe_getEcho(AtTe *te);

/* ---- GdcTe: identity by the V.250 commands ("+GMI", "+GMM", "+GMR", "+GSN") ----
 * AtTe_getAny with no reply prefix and no error prefix: the value length placed in buf (len bytes,
 * terminated), or AtTe_getAny's error. */
DV_API int32_t GdcTe_getMan(AtTe *te, char *buf, int32_t len);
DV_API int32_t GdcTe_getModel(AtTe *te, char *buf, int32_t len);
DV_API int32_t GdcTe_getVer(AtTe *te, char *buf, int32_t len);
DV_API int32_t GdcTe_getSerial(AtTe *te, char *buf, int32_t len);

/* ---- AtLex and BnfLex: reply tokens ----
 * The stream and sb stay the caller's; the token replaces the contents of sb. A character that ends
 * a token without belonging to it is stepped back in the stream (AbsFile_ungetc). Inside a quoted
 * string a backslash takes the next character literally. */

/* AtLex_doExt(stream, sb, ",;(-)", " \t\r\n"). */
DV_API int32_t AtLex_do(AbsFile *stream, StrBuf *sb);
/* Skips blanks, then answers one token: AT_TOK_STRING, a separator's own code, AT_TOK_NUMBER (a run
 * of digits), or AT_TOK_WORD (up to a separator, a quote, a blank or the end of data); a stream error
 * (-202 at the end of data) when no token starts. -81 for a NULL stream or sb; NULL sets are empty. */
DV_API int32_t AtLex_doExt(AbsFile *stream, StrBuf *sb, const char *separators, const char *blanks);
/* BnfLex_get2(stream, sb, separators, " \t"). */
DV_API int32_t BnfLex_get1(AbsFile *stream, StrBuf *sb, const char *separators);
/* Skips blanks, then answers one token: AT_TOK_STRING, a separator's own code, AT_TOK_CRLF for
 * CR LF, AT_TOK_CR for a CR not followed by LF, or AT_TOK_WORD (up to a separator, CR or quote; blanks
 * inside belong to it); a link fault or the stream's error when no token starts. sb may be NULL:
 * the token is then only skipped. -81 for a NULL stream. */
DV_API int32_t BnfLex_get2(AbsFile *stream, StrBuf *sb, const char *separators, const char *blanks);

DV_END_DECLS

#endif
