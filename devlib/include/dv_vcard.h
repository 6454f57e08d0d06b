/*
 * dv_vcard.h — the vCard 2.1 writer and reader, the N and ADR records, and the card splitter.
 *
 * What it does: Vcard writes properties to an AbsFile stream and reads them back one logical line
 * at a time (folded lines joined, quoted-printable soft breaks removed, Base64 and quoted-printable
 * decoded, the UTF-8, UCS-2, UTF-7 and local character sets, and any other character set a CHARSET
 * parameter names (SHIFT_JIS, ISO-8859-1, BIG5 ... through libquorl.so), turned into UTF-8; lines
 * may end with CR LF, LF alone or CR alone). VcardName and VcardAddr split and join the structured
 * N and ADR values. VcfStrmDec cuts a stream holding several cards into single cards.
 *
 * What it owns: a Vcard owns its line buffers, never its stream; a VcfStrmDec owns its line buffer,
 * never the streams handed to it. Name and address records are the caller's.
 *
 * Escapes: the writer puts "\" before every ";" and every "\" of a value (vCard 2.1 escapes the
 * ";" of compound values; the backslash is escaped too so that a value ending in "\" survives).
 * The reader turns "\;" into ";" and "\\" into "\" and keeps any other backslash as it stands. N
 * and ADR values are returned still escaped, so that a ";" inside a part is told from the separator;
 * VcardName_dec and VcardAddr_dec take the escapes out part by part.
 *
 * Result codes: 0 or positive on success; -2 (DV_E_NOMEM) out of memory; -81 (DV_E_ARG) a NULL
 * object or argument, or a setting out of range; -201 (DV_E_FULL) a stream that took fewer bytes
 * than written, or a text that had to be cut (the _enc functions); any other error of the stream
 * (-9, -71, -12 ...) is passed through. The reader never fails on content: unknown properties come
 * back as type 0, bad encodings decode to what can be read, values are cut to the room given.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_VCARD_H
#define DV_VCARD_H

#include "dv_export.h"
#include "dv_stream.h"

DV_BEGIN_DECLS

/* Property type codes answered by Vcard_get. VERSION and UID lines are skipped. */
enum {
    VCARD_TYPE_OTHER = 0, /* any other property; its name can be returned */
    VCARD_TYPE_BEGIN = 1,
    VCARD_TYPE_END = 2,
    VCARD_TYPE_N = 3,
    VCARD_TYPE_BDAY = 4,
    VCARD_TYPE_TEL = 5,
    VCARD_TYPE_EMAIL = 6,
    VCARD_TYPE_URL = 7, /* also a TEL whose value begins with "Website:" */
    VCARD_TYPE_ADR = 8,
    VCARD_TYPE_ORG = 10,
    VCARD_TYPE_TITLE = 11,
    VCARD_TYPE_NOTE = 12,
    VCARD_TYPE_FN = 13,
    VCARD_TYPE_GRP = 61
};

/* Parameter flags: writer input and reader output. DOM also reads as HOME. */
enum {
    VCARD_FLAG_HOME = 0x1,
    VCARD_FLAG_WORK = 0x2,
    VCARD_FLAG_GENERAL = 0x40, /* reader only: TEL, EMAIL, URL, ADR without HOME, WORK or PREF */
    VCARD_FLAG_PREF = 0x80,
    VCARD_FLAG_CELL = 0x100,
    VCARD_FLAG_PAGER = 0x200,
    VCARD_FLAG_FAX = 0x400,
    VCARD_FLAG_VOICE = 0x800 /* reader only: a TEL without CELL, PAGER or FAX */
};

/* Writer character sets and encodings (Vcard_setEncodeMethod). */
enum {
    VCARD_CHARSET_LOCAL = 0, /* local code page, no CHARSET parameter */
    VCARD_CHARSET_UCS2 = 1,  /* "CHARSET=UCS2", big-endian UCS-2 bytes, always quoted-printable */
    VCARD_CHARSET_UTF8 = 2,  /* "CHARSET=UTF-8" (the default) */
    VCARD_CHARSET_UTF7 = 4   /* "CHARSET=UTF-7" */
};
enum { VCARD_ENCODING_NONE = 0, VCARD_ENCODING_QP = 1 };

/* Reader setting bits (Vcard_setDecodeSetting). */
enum { VCARD_DECODE_TEL_NO_DASH = 0x1 /* remove every "-" from TEL values */ };

/* The N value: zero-terminated parts (at most size - 1 bytes each). 256 bytes. */
typedef struct VcardName {
    char family[80];
    char given[80];
    char middle[32];
    char prefix[32];
    char suffix[32];
} VcardName;

/* The ADR value: zero-terminated parts in vCard order. 560 bytes. */
typedef struct VcardAddr {
    char poBox[128];
    char extended[128];
    char street[128];
    char locality[64];
    char region[64];
    char postalCode[16];
    char country[32];
} VcardAddr;

typedef struct Vcard Vcard;
typedef struct VcfStrmDec VcfStrmDec;

/* ---- Vcard: object ---- */

/* A reader and writer over stream (not owned; it must outlive the object), writing UTF-8 without
 * encoding until told otherwise. NULL for a NULL stream or out of memory. Free with Vcard_delete. */
DV_API Vcard *Vcard_new(AbsFile *stream);
/* Frees the object and its buffers, never the stream. NULL is a no-op. */
DV_API void Vcard_delete(Vcard *v);
/* Sets the character set (VCARD_CHARSET_*) and encoding (VCARD_ENCODING_*) used for values that are
 * not plain ASCII. 0, or -81 for a value out of range (the setting is then unchanged). */
DV_API int32_t Vcard_setEncodeMethod(Vcard *v, int32_t charset, int32_t encoding);
/* Sets the reader bits (VCARD_DECODE_*) and answers them; -81 for a NULL object. */
DV_API int32_t Vcard_setDecodeSetting(Vcard *v, int32_t bits);

/* ---- Vcard: writer ----
 * Each writer answers 0 when the whole property was written, else the stream's error (-201 for a
 * short write). Values are UTF-8 texts owned by the caller and never changed. A value that is ASCII
 * only is written without a CHARSET parameter; it is quoted-printable only when it holds CR or LF.
 * Other values take the object's character set and encoding, and become quoted-printable when they
 * hold CR or LF or are written as UCS-2. Quoted-printable writes bytes 0, 0x80-0xff, CR and LF as
 * "=%02x", "=" as "=3D", and puts the soft break "=" CR LF TAB after each encoded line feed. */

DV_API int32_t Vcard_addBeg(Vcard *v); /* "BEGIN:VCARD" and "VERSION:2.1" */
DV_API int32_t Vcard_addEnd(Vcard *v); /* "END:VCARD" */
/* N with an empty family name and name as the given name. */
DV_API int32_t Vcard_addName(Vcard *v, const char *name);
/* N with the record's five parts (the record is only read; each part is read up to its size). */
DV_API int32_t Vcard_addNameExt(Vcard *v, const VcardName *name);
DV_API int32_t Vcard_addBirthday(Vcard *v, const char *s);
DV_API int32_t Vcard_addTel(Vcard *v, int32_t flags, const char *s);
DV_API int32_t Vcard_addMail(Vcard *v, int32_t flags, const char *s);
DV_API int32_t Vcard_addWeb(Vcard *v, int32_t flags, const char *s);
/* ADR with the record's seven parts in the record's order. */
DV_API int32_t Vcard_addAddr(Vcard *v, int32_t flags, const VcardAddr *addr);
DV_API int32_t Vcard_addOrganize(Vcard *v, const char *s);
DV_API int32_t Vcard_addTitle(Vcard *v, const char *s);
DV_API int32_t Vcard_addNote(Vcard *v, const char *s);
DV_API int32_t Vcard_addGrp(Vcard *v, const char *s);

/* ---- Vcard: reader ---- */

/* Reads the next property. Answers 1 when one was read, 0 when the stream holds no complete line
 * yet (what was read stays in the object and the next call goes on from it, so a card can be fed in
 * pieces), -2 when the line buffer cannot be had, -81 for a NULL object, or the stream's error
 * (other than the end of data).
 * On 1: *type (VCARD_TYPE_*) and *flags (VCARD_FLAG_*) are set when the pointers are given; on
 * input *outSize is the room of out, and at most *outSize - 1 bytes of the value in UTF-8 are copied
 * (cut at a character boundary) and terminated, and *outSize becomes their count. A BASE64 value
 * without a CHARSET parameter is binary: its bytes come back as they are and may hold zero bytes.
 * For type 0 the upper-cased property name is copied into nameOut (at most nameSize - 1
 * characters) when given. Otherwise *type, *flags and *outSize are 0 and out (when it has room)
 * holds an empty text. Each logical line may be up to 256 KiB; the rest of a longer one is dropped. */
DV_API int32_t Vcard_get(Vcard *v, int32_t *type, int32_t *flags, char *out, int32_t *outSize,
                         char *nameOut, int32_t nameSize);

/* A static text naming the flags: "home" (1), else "work" (2), else "pref" (0x80); then, joined by
 * " & ", "mobile" (0x100), else "pager" (0x200), else "fax" (0x400); "general" when neither part
 * applies. The text is constant and lives as long as the library. */
DV_API const char *Vcard_getParamName(int32_t flags);

/* Self-test over a built-in card: logs "N:%s\n", "name-1: %s\n" to "name-5: %s\n" for the N
 * property and "N;%08x:%s\n" (flags, value) for the others through Stdout_printf. Answers the count
 * of properties read, or a negative code. */
DV_API int32_t Vcard_test(void);

/* ---- VcardName and VcardAddr ----
 * _clear zero-fills the record. _dec clears the record and fills it from an N or ADR value as
 * Vcard_get returns it: parts are split at each ";" not preceded by "\", leading blanks and tabs of
 * a part are dropped, "\;" and "\\" become ";" and "\", and each part is cut to its field's size - 1
 * at a character boundary; parts beyond the record's are ignored. It answers 0, or -81 for a NULL
 * argument. _enc joins the parts with ";", escaping ";" and "\" inside a part, into out (size bytes,
 * always terminated when size > 0): 0, -201 when the text had to be cut, -81 for a NULL argument or
 * size < 1. _toStr joins the non-empty parts with one blank into out (cut at size - 1 at a character
 * boundary, always terminated when size > 0) and answers the length written, or -81: a name as
 * prefix, family, given, middle, suffix; an address as country, region, locality, street, extended
 * address, post-office box and "(" postal code ")". The records are only read by _enc and _toStr;
 * each part is read up to its size, so an unterminated part is never overrun. */
DV_API void VcardName_clear(VcardName *name);
DV_API int32_t VcardName_dec(VcardName *name, const char *value);
DV_API int32_t VcardName_enc(const VcardName *name, char *out, int32_t size);
DV_API int32_t VcardName_toStr(const VcardName *name, char *out, int32_t size);
DV_API void VcardAddr_clear(VcardAddr *addr);
DV_API int32_t VcardAddr_dec(VcardAddr *addr, const char *value);
DV_API int32_t VcardAddr_enc(const VcardAddr *addr, char *out, int32_t size);
DV_API int32_t VcardAddr_toStr(const VcardAddr *addr, char *out, int32_t size);

/* ---- VcfStrmDec: the card splitter ---- */

/* A splitter with no card open; NULL when out of memory. Free with VcfStrmDec_delete. */
DV_API VcfStrmDec *VcfStrmDec_new(void);
/* Frees the splitter, never the streams it was given. NULL is a no-op. */
DV_API void VcfStrmDec_delete(VcfStrmDec *d);
/* Reads input line by line (a line ends with CR LF, LF alone or CR alone) and writes every line of
 * the next card, from "BEGIN:VCARD" (any case) to its matching "END:VCARD", each with CR LF, to
 * output (nested cards stay inside). A marker line may carry stray blanks, control bytes or one
 * stray character after it, and a UTF-8 byte-order mark before the first one. Lines outside a card are dropped. Answers 1 when a card is complete, 0
 * when input ran out first (a partial line and an open card carry over to the next call), -81 for a
 * NULL argument, or the error of either stream (-201 when output took fewer bytes than written). A
 * last "END:VCARD" without a line end completes its card when input runs out. A line longer than
 * 256 KiB is cut there. */
DV_API int32_t VcfStrmDec_dec(VcfStrmDec *d, AbsFile *input, AbsFile *output);
/* Tells the splitter that the input has ended: a last line without a line end is taken as a whole
 * line, and a card still open (its "END:VCARD" missing) is closed with "END:VCARD" CR LF, so that
 * nothing read is lost. Answers 1 when this completed a card, 0 when no card was open, -81 for a NULL
 * argument, or the output's error. The splitter is then ready for a new input. */
DV_API int32_t VcfStrmDec_finish(VcfStrmDec *d, AbsFile *output);

DV_END_DECLS

#endif
