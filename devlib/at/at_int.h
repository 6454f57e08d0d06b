/*
 * at_int.h — the AT terminal's byte-level machinery, kept apart from the C ABI so that it runs
 * without a transport: the final-result table, the unsolicited-result table and the reply framer.
 *
 * The framer is an explicit state machine over bytes. It accepts any slice of input, a single byte
 * included, reports how much of it it consumed, and stops after the byte that completes an event
 * (an intermediate line, a final result, a malformed reply). Its line state survives between
 * calls, exactly like the terminal's.
 *
 * Runs on the caller's thread and takes no lock. Internal to the library.
 */
#ifndef DV_AT_INT_H
#define DV_AT_INT_H

#include <cstddef>
#include <cstdint>

namespace dvat {

/* ---- final results ---- */

struct FinalResult {
    bool isFinal;
    int32_t ok;   /* 1 for OK, 0 for an error */
    int32_t code; /* extended error number, 0 when none */
};

/* The longest error prefix that is honoured ("+CME", "+CMS" and the like). */
inline constexpr size_t kMaxErrorPrefix = 8;

/* Classifies one line (without its line end). errorPrefix may be NULL or empty. */
FinalResult classifyFinal(const char *line, size_t len, const char *errorPrefix);

/* ---- unsolicited result codes (3GPP 27.007 / 27.005) ----
 * How many lines follow the unsolicited line itself (0 or 1: the PDU or text of +CMT:, +CBM:,
 * +CDS:), or -1 when the line is no unsolicited result code or carries the name of the command just
 * sent (its reply would look the same). commandName may be NULL or empty. */
int urcTrailingLines(const char *line, size_t len, const char *commandName);

/* The name of an AT command as its reply carries it: "+CREG?" and "+CREG=2" give "+CREG". The
 * result is cut to size - 1 characters and terminated. */
void commandNameOf(const char *cmd, char *name, size_t size);

/* ---- the reply framer ---- */

class Framer {
  public:
    enum : int32_t { kNone = 0, kFinal = 1, kLine = 2, kMalformed = -92 };
    enum class Mode {
        Line, /* one line per call (AtTe_recvFrmLineExt) */
        Whole /* every intermediate line up to a blank line (AtTe_recvFrmWhole) */
    };

    /* Line state as the terminal names it: 0 before a reply, 1 inside, 2 after the blank line
     * that precedes the final result (3 while reading through a malformed reply). */
    int state() const { return frame_; }

    /* Starts one call. buf (cap bytes) receives the line, cut to cap - 1 characters and always
     * terminated; a NULL buf or cap 0 stores nothing. errorPrefix must outlive the call. */
    void start(const char *errorPrefix, bool everyLine, Mode mode, char *buf, size_t cap);
    /* Feeds bytes and answers how many it consumed; it stops after the byte that completes an
     * event. */
    size_t feed(const uint8_t *bytes, size_t n);
    /* kNone while more input is needed, else the event of this call. */
    int32_t event() const { return event_; }
    int32_t ok() const { return ok_; }
    int32_t code() const { return code_; }
    /* Characters stored in buf by this call. */
    size_t stored() const { return pos_; }

    /* A read failed: back to "before a reply", the partial line dropped. */
    void reset();
    /* A command was sent: a new reply begins, and its name tells its own lines from unsolicited
     * ones. cmd is the command without "AT"; NULL forgets the name. */
    void newCommand(const char *cmd);
    /* Raw text was sent after the command (the PDU after a "> " prompt): a line of hex digits
     * before the reply is its echo. */
    void dataSent();
    /* Bytes were read past the framer (a prompt wait, a drain): the next byte starts a line. */
    void lineStart() { byte_ = Byte::Line; }
    /* The command's echo was read past the framer (by a prompt wait). */
    void echoRead() {
        echoSeen_ = true;
        echoOn_ = true;
    }

    /* The reply to the last command has not been read through its final result (a time-out, a
     * reply left half read): more of it may still arrive. */
    bool awaiting() const { return awaiting_; }
    /* A reply was taken as the last command's while an earlier one was still due and no echo
     * told them apart: what is still on its way should be dropped before the next command. */
    bool drainWanted() const { return drainWanted_; }
    /* Whether the handset echoes commands, as far as its replies have shown. */
    bool echoOn() const { return echoOn_; }
    /* Earlier replies that may still arrive ahead of the next reply. */
    uint32_t lateReplies() const { return late_; }

  private:
    enum class Byte : uint8_t {
        Line, /* inside a line, or at its start */
        Cr,   /* a line just ended with CR: an LF next belongs to that line end */
        CrCr  /* CR CR: with LF next one line end (CR CR LF), else a blank line in between */
    };

    void beginLine();
    void putLine(uint8_t c);
    void lineDone();
    void scanLine(bool blank, size_t headLen);
    void enterReply();
    void lineDoneWhole(bool blank, size_t headLen);
    bool blankAhead();
    bool isEcho() const;
    bool beginsWithAt(size_t headLen) const;
    bool skipAhead(size_t headLen);
    void toScan();
    void replyEnded(int32_t ok, int32_t code);
    void finish(int32_t event);

    static constexpr size_t kTail = 64;

    /* persists between calls */
    int frame_ = 0;
    Byte byte_ = Byte::Line;
    uint32_t lineCount_ = 0;
    uint32_t blanksAhead_ = 0; // blank lines met where the reply's first line is due
    uint32_t skipLines_ = 0;
    char command_[16] = {};
    char echoTail_[kTail] = {}; // the end of "AT" + the command
    size_t echoLen_ = 0;        // the full length of "AT" + the command
    /* what the replies have shown about this handset and the exchanges still open */
    bool echoOn_ = false;       // the last command's echo was seen
    bool echoSeen_ = false;     // ... in the current exchange
    bool awaiting_ = false;     // the current exchange's final result is still due
    bool dataSent_ = false;     // raw text went out in the current exchange
    bool skippedFinal_ = false; // a final result of an earlier exchange was skipped in this one
    bool drainWanted_ = false;
    bool echoReset_ = false;    // the command may change the echo (E0, Z, &F)
    uint32_t late_ = 0;

    /* per call */
    const char *errorPrefix_ = nullptr;
    bool everyLine_ = false;
    Mode mode_ = Mode::Line;
    char *buf_ = nullptr;
    size_t cap_ = 0;
    size_t pos_ = 0;
    bool store_ = true;
    uint32_t callLines_ = 0;
    size_t wholeMark_ = 0;
    int32_t event_ = kNone;
    int32_t ok_ = 0;
    int32_t code_ = 0;

    /* the line being read: its head for classification, its last characters, its full length */
    char head_[80] = {};
    char tail_[kTail] = {}; // ring: character i of the line at tail_[i % kTail]
    uint32_t full_ = 0;
    bool allHex_ = true;
    bool noise_ = false; // control bytes that no reply text holds
    bool quoted_ = false; // inside a double-quoted text of the line
};

} // namespace dvat

#endif
