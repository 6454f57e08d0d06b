// The reply framer: an explicit state machine over the bytes of a handset's reply.
//
// Byte level: lines end in CR LF, CR alone or LF alone, as handsets differ. A line ends at its CR
// (a final result of a handset that sends no LF must not wait for one); an LF right after it
// belongs to that line end, and so does CR CR LF (some handsets end lines so), while CR CR followed
// by anything else holds a blank line. NUL bytes are dropped, except inside a quoted text, where
// they become the escape \00.
//
// Line level, by line state: 0 before a reply, where the echo of the command and the line end that
// opens a verbose reply are met; 1 inside a reply, where only the reply's first line (or every line
// with everyLine) is tested as a final result and a blank line moves to 2; 2 after that blank line,
// where the final result is due; 3 reading through a malformed reply to its real final result.
//
// Keeping command and reply in step: once a handset has shown that it echoes, nothing of a reply
// comes before the echo of its command, so lines met before it belong to an earlier exchange (a
// late reply, the rest of a reply left unread) and are skipped. A handset without echo gives no
// such hint; the terminal then drains the line before the next command instead.

#include "at/at_int.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "dv_log.h"

namespace dvat {

// Fixed numbers that tell the terminal's diagnostic lines apart in a log.
enum : int { kDiagNoData = 2, kDiagNotFinal = 3 };

namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isHexDigit(uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A final result of any exchange, whatever error prefix the current one uses.
bool isAnyFinal(const char *line, size_t len, const char *errorPrefix) {
    return classifyFinal(line, len, errorPrefix).isFinal || classifyFinal(line, len, "+CME").isFinal ||
           classifyFinal(line, len, "+CMS").isFinal;
}

// A basic command line that may switch the echo off or restore the stored settings ("E0", "Z",
// "&F"; any case, chained or not).
bool mayChangeEcho(const char *cmd) {
    if (!cmd || cmd[0] == '+')
        return false;
    for (const char *p = cmd; *p && *p != '+' && *p != ';'; ++p) {
        const char c = upper(*p);
        if ((c == 'E' && p[1] != '1') || c == 'Z' || (c == 'F' && p > cmd && p[-1] == '&'))
            return true;
    }
    return false;
}

// Bytes that are line noise before a reply: control characters other than tab, DEL, and 0xFF.
bool isNoise(uint8_t c) {
    return (c < 0x20 && c != '\t') || c == 0x7F || c == 0xFF;
}

} // namespace

void Framer::start(const char *errorPrefix, bool everyLine, Mode mode, char *buf, size_t cap) {
    errorPrefix_ = errorPrefix;
    everyLine_ = everyLine;
    mode_ = mode;
    buf_ = cap > 0 ? buf : nullptr;
    cap_ = buf_ ? cap : 0;
    pos_ = 0;
    store_ = true;
    callLines_ = 0;
    wholeMark_ = 0;
    event_ = kNone;
    ok_ = 0;
    code_ = 0;
    if (buf_)
        buf_[0] = '\0';
    // Between calls the machine always rests at a line boundary.
    beginLine();
}

void Framer::reset() {
    frame_ = 0;
    lineCount_ = 0;
    blanksAhead_ = 0;
    skipLines_ = 0;
    full_ = 0;
    allHex_ = true;
    noise_ = false;
    // A line end already read stays one: the LF of a CR LF may still come.
    if (byte_ == Byte::CrCr)
        byte_ = Byte::Cr;
}

void Framer::newCommand(const char *cmd) {
    if (awaiting_) {
        // The last reply was not read through: whatever is left of it is still to come.
        if (late_ < UINT32_MAX)
            ++late_;
        // Only replies without an echo were met where a reply of an echoing handset was due: the
        // handset no longer echoes.
        if (skippedFinal_ && !echoSeen_)
            echoOn_ = false;
    }
    commandNameOf(cmd, command_, sizeof command_);
    echoLen_ = 0;
    if (cmd) {
        const size_t n = std::strlen(cmd);
        echoLen_ = n + 2;
        // the last kTail characters of "AT" + cmd
        for (size_t i = echoLen_ > kTail ? echoLen_ - kTail : 0; i < echoLen_; ++i)
            echoTail_[i % kTail] = i < 2 ? "AT"[i] : cmd[i - 2];
    }
    awaiting_ = cmd != nullptr;
    echoReset_ = mayChangeEcho(cmd);
    echoSeen_ = false;
    dataSent_ = false;
    skippedFinal_ = false;
    drainWanted_ = false;
    reset();
}

void Framer::dataSent() {
    dataSent_ = true;
    // The prompt came, so the command was heard; its echo went by before the prompt.
    echoSeen_ = true;
}

// The echo of the command just sent: the line ends with "AT" + the command (whatever line noise
// stood in front of it).
bool Framer::isEcho() const {
    if (echoLen_ == 0 || full_ < echoLen_)
        return false;
    const size_t n = std::min(echoLen_, kTail);
    for (size_t k = 0; k < n; ++k) {
        const size_t li = full_ - n + k;
        const size_t ei = echoLen_ - n + k;
        if (upper(tail_[li % kTail]) != upper(echoTail_[ei % kTail]))
            return false;
    }
    return true;
}

// A command line as echoed: "AT" alone or followed by a character that is not a letter or digit
// ("AT+CGMI", "AT&F"). A reply text such as "ATMEL" is none.
bool Framer::beginsWithAt(size_t headLen) const {
    if (headLen < 2 || upper(head_[0]) != 'A' || upper(head_[1]) != 'T')
        return false;
    if (headLen == 2)
        return true;
    const char c = head_[2];
    return !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
}

void Framer::toScan() {
    frame_ = 0;
}

void Framer::enterReply() {
    frame_ = 1;
    lineCount_ = 0;
    blanksAhead_ = 0;
}

void Framer::finish(int32_t event) {
    event_ = event;
}

void Framer::replyEnded(int32_t ok, int32_t code) {
    ok_ = ok;
    code_ = code;
    toScan();
    awaiting_ = false;
    if (echoReset_)
        echoOn_ = false; // learnt again from the next reply
    if (!echoSeen_) {
        echoOn_ = false;
        if (late_ > 0) {
            // No echo tells whether this was the late reply or this command's own: the next
            // command starts on a quiet line.
            --late_;
            drainWanted_ = true;
        }
    }
    finish(kFinal);
}

void Framer::beginLine() {
    full_ = 0;
    quoted_ = false;
    allHex_ = true;
    noise_ = false;
    if (!store_ || !buf_)
        return;
    if (mode_ == Mode::Whole && callLines_ > 0) {
        // Lines after the first are joined by CR LF; the separator is taken back when the line
        // turns out blank.
        wholeMark_ = pos_;
        for (char c : {'\r', '\n'})
            if (pos_ + 1 < cap_)
                buf_[pos_++] = c;
    } else {
        pos_ = 0;
    }
    buf_[pos_] = '\0';
}

void Framer::putLine(uint8_t c) {
    if (full_ < sizeof head_)
        head_[full_] = static_cast<char>(c);
    tail_[full_ % kTail] = static_cast<char>(c);
    allHex_ = allHex_ && isHexDigit(c);
    noise_ = noise_ || isNoise(c);
    if (full_ < UINT32_MAX)
        ++full_;
    if (store_ && buf_ && pos_ + 1 < cap_) {
        buf_[pos_++] = static_cast<char>(c);
        buf_[pos_] = '\0';
    }
}

size_t Framer::feed(const uint8_t *bytes, size_t n) {
    size_t i = 0;
    while (i < n && event_ == kNone) {
        const uint8_t c = bytes[i];
        switch (byte_) {
        case Byte::Line:
            ++i;
            if (c == '\r') {
                byte_ = Byte::Cr;
                lineDone();
            } else if (c == '\n') {
                lineDone();
            } else if (c != '\0') {
                if (c == '"')
                    quoted_ = !quoted_;
                putLine(c);
            } else if (quoted_) {
                // Code 0 of the GSM alphabet ("@") sent raw inside a quoted text: kept as the
                // V.250 string escape, since a NUL would cut the text short.
                for (uint8_t e : {'\\', '0', '0'})
                    putLine(e);
            }
            // A NUL anywhere else is line noise.
            break;
        case Byte::Cr:
            if (c == '\n' || c == '\r') {
                ++i;
                byte_ = c == '\n' ? Byte::Line : Byte::CrCr;
            } else {
                byte_ = Byte::Line; // c starts the next line: looked at again
            }
            break;
        case Byte::CrCr:
            if (c == '\n') {
                ++i; // CR CR LF: one line end
                byte_ = Byte::Line;
                break;
            }
            // The second CR ended a blank line. Another CR may again be followed by LF; any other
            // character starts the next line and is looked at again.
            if (c == '\r')
                ++i;
            else
                byte_ = Byte::Line;
            lineDone();
            break;
        }
    }
    return i;
}

// Lines met where a reply's first line is due that belong to no reply: a second echo of the
// command, or an unsolicited result code (with the PDU line some of them bring). Answers whether
// the line was skipped.
bool Framer::skipAhead(size_t headLen) {
    if (isEcho()) {
        beginLine();
        return true;
    }
    const int trailing = urcTrailingLines(head_, headLen, command_);
    if (trailing < 0)
        return false;
    Stdout_printf("AtTe: unsolicited \"%.*s\" skipped\n", static_cast<int>(headLen), head_);
    skipLines_ = static_cast<uint32_t>(trailing);
    toScan();
    beginLine();
    return true;
}

// A blank line where the reply's first line is due. One is a handset's habit (an echo ending CR CR
// LF, a reply opening with an extra line end); a second means the reply holds nothing but blank
// lines, which is answered at once rather than after the receive time-out. Answers whether the
// reply ended.
bool Framer::blankAhead() {
    if (blanksAhead_ < UINT32_MAX)
        ++blanksAhead_;
    if (blanksAhead_ < 2) {
        beginLine();
        return false;
    }
    Stdout_printf("AtTe(%d): result frm without data, FAULT\n", kDiagNoData);
    toScan();
    awaiting_ = false;
    finish(kMalformed);
    return true;
}

// A line before the reply (line state 0).
void Framer::scanLine(bool blank, size_t headLen) {
    const bool strict = echoOn_ && late_ > 0;
    if (blank) {
        // The line end that opens a verbose reply; while an earlier reply is still due, an
        // echoing handset's blank lines are that reply's.
        if (!strict)
            enterReply();
        beginLine();
        return;
    }
    if (skipLines_ > 0) {
        // the PDU or text line that belongs to an unsolicited code
        --skipLines_;
        beginLine();
        return;
    }
    if (isEcho() || (dataSent_ && allHex_)) {
        // The command's echo (or that of the text sent after its prompt): its reply follows.
        echoOn_ = true;
        echoSeen_ = true;
        late_ = 0;
        enterReply();
        beginLine();
        return;
    }
    if (echoSeen_ && !noise_) {
        // The echo went by (read by a prompt wait): the reply follows, with or without the line end
        // that should open it.
        enterReply();
        lineDone();
        return;
    }
    const bool otherEcho = beginsWithAt(headLen);
    if (echoOn_ || otherEcho || noise_) {
        // Not this command's: an echoing handset puts nothing of a reply before its echo, and
        // line noise is no reply.
        echoOn_ = echoOn_ || otherEcho;
        if (otherEcho && late_ == 0)
            late_ = 1;
        if (isAnyFinal(head_, headLen, errorPrefix_)) {
            skippedFinal_ = true;
            if (late_ > 0)
                --late_;
        }
        Stdout_printf("AtTe: \"%.*s\" of an earlier exchange skipped\n", static_cast<int>(headLen), head_);
        beginLine();
        return;
    }
    // Without echo a reply may come without the line end that should open it: this is its first
    // line.
    enterReply();
    lineDone();
}

void Framer::lineDone() {
    const size_t headLen = std::min<size_t>(full_, sizeof head_);
    const bool blank = full_ < 2; // a lone character (a V0 digit, a stray byte) counts as blank
    if (frame_ == 0) {
        scanLine(blank, headLen);
        return;
    }
    if (mode_ == Mode::Whole && frame_ == 1) {
        lineDoneWhole(blank, headLen);
        return;
    }
    switch (frame_) {
    case 1: {
        if (blank) {
            if (lineCount_ == 0) {
                blankAhead();
                return;
            }
            if (!everyLine_)
                frame_ = 2;
            beginLine();
            return;
        }
        if (lineCount_ == 0 && skipAhead(headLen))
            return;
        if (lineCount_ == 0 || everyLine_) {
            FinalResult f = classifyFinal(head_, headLen, errorPrefix_);
            if (f.isFinal) {
                replyEnded(f.ok, f.code);
                return;
            }
        }
        if (lineCount_ < UINT32_MAX)
            ++lineCount_;
        finish(kLine);
        return;
    }
    case 2: {
        if (blank) {
            Stdout_printf("AtTe(%d): result frm without data, FAULT\n", kDiagNoData);
            toScan();
            awaiting_ = false;
            finish(kMalformed);
            return;
        }
        FinalResult f = classifyFinal(head_, headLen, errorPrefix_);
        if (f.isFinal) {
            replyEnded(f.ok, f.code);
            return;
        }
        // The reply is answered as ERROR, but only once its real final result has been read:
        // left unread, the rest of it would be taken as the next command's reply. The line stays
        // in the caller's buffer.
        Stdout_printf("AtTe(%d): result frm error, result is ERROR\n", kDiagNotFinal);
        frame_ = 3;
        store_ = false;
        beginLine();
        return;
    }
    case 3:
        if (!blank && classifyFinal(head_, headLen, errorPrefix_).isFinal) {
            replyEnded(0, 0);
            return;
        }
        beginLine();
        return;
    default:
        toScan();
        beginLine();
        return;
    }
}

void Framer::lineDoneWhole(bool blank, size_t headLen) {
    if (callLines_ == 0) {
        if (blank && lineCount_ == 0) {
            blankAhead();
            return;
        }
        if (blank) {
            Stdout_printf("AtTe(%d): result frm without data, FAULT\n", kDiagNoData);
            toScan();
            awaiting_ = false;
            finish(kMalformed);
            return;
        }
        if (lineCount_ == 0 && skipAhead(headLen))
            return;
        FinalResult f = classifyFinal(head_, headLen, errorPrefix_);
        if (f.isFinal) {
            replyEnded(f.ok, f.code);
            return;
        }
    } else if (blank) {
        // The blank line before the final result ends the block; the next call reads the final
        // result as its first line.
        pos_ = std::min(pos_, wholeMark_);
        if (buf_)
            buf_[pos_] = '\0';
        finish(kLine);
        return;
    }
    if (callLines_ < UINT32_MAX)
        ++callLines_;
    if (lineCount_ < UINT32_MAX)
        ++lineCount_;
    beginLine();
}

} // namespace dvat
