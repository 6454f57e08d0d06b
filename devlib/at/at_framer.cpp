// The reply framer: an explicit state machine over the bytes of a handset's reply.
//
// Byte level: before a reply (Scan, ScanCr) everything up to the first CR LF is skipped — the
// echoed command and the CR LF that opens a verbose reply. Inside a reply (Line, LineCr) bytes are
// gathered up to CR LF; a CR that is not followed by LF stays in the line, except that CRs directly
// before the CR LF are dropped (some handsets end lines with CR CR LF), and so are NUL bytes.
//
// Line level, by line state: 1 inside a reply, where only the reply's first line (or every line
// with everyLine) is tested as a final result and a blank line moves to 2; 2 after that blank line,
// where the final result is due; 3 reading through a malformed reply to its real final result.

#include "at/at_int.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "dv_log.h"

namespace dvat {

// Fixed numbers that tell the terminal's diagnostic lines apart in a log.
enum : int { kDiagNoData = 2, kDiagNotFinal = 3 };

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
    // Between calls the machine rests either before a reply or at the start of a line.
    if (byte_ == Byte::Line || byte_ == Byte::LineCr) {
        byte_ = Byte::Line;
        beginLine();
    }
}

void Framer::reset() {
    frame_ = 0;
    byte_ = Byte::Scan;
    lineCount_ = 0;
    skipLines_ = 0;
    full_ = 0;
    pendingCr_ = 0;
}

void Framer::newCommand(const char *cmd) {
    commandNameOf(cmd, command_, sizeof command_);
    echoLen_ = 0;
    if (cmd) {
        const size_t n = std::strlen(cmd);
        echo_[0] = 'A';
        echo_[1] = 'T';
        const size_t kept = std::min(n, sizeof echo_ - 2);
        std::memcpy(echo_ + 2, cmd, kept);
        echoLen_ = n + 2;
    }
    reset();
}

// The echo of the command just sent, met as a line: a handset that echoes twice and ends the echo
// with CR CR LF puts the second echo inside the reply.
bool Framer::isEcho(size_t headLen) const {
    if (echoLen_ == 0 || full_ != echoLen_)
        return false;
    const size_t n = std::min({headLen, echoLen_, sizeof echo_});
    for (size_t i = 0; i < n; ++i) {
        char a = head_[i], b = echo_[i];
        if (a >= 'a' && a <= 'z')
            a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z')
            b = static_cast<char>(b - 'a' + 'A');
        if (a != b)
            return false;
    }
    return true;
}

void Framer::toScan() {
    frame_ = 0;
    byte_ = Byte::Scan;
}

void Framer::finish(int32_t event) {
    event_ = event;
}

void Framer::beginLine() {
    full_ = 0;
    pendingCr_ = 0;
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
        case Byte::Scan:
            if (c == '\r')
                byte_ = Byte::ScanCr;
            ++i;
            break;
        case Byte::ScanCr:
            if (c != '\n') {
                byte_ = Byte::Scan; // look at c again as an ordinary byte
                break;
            }
            ++i;
            if (skipLines_ > 0) {
                // the PDU or text line that belongs to an unsolicited code
                --skipLines_;
                byte_ = Byte::Scan;
            } else {
                frame_ = 1;
                lineCount_ = 0;
                byte_ = Byte::Line;
                beginLine();
            }
            break;
        case Byte::Line:
            if (c == '\r') {
                byte_ = Byte::LineCr;
                pendingCr_ = 1;
            } else if (c != '\0') {
                // A NUL (line noise) would cut the text short of the length reported for it.
                putLine(c);
            }
            ++i;
            break;
        case Byte::LineCr:
            if (c == '\n') {
                ++i;
                byte_ = Byte::Line;
                pendingCr_ = 0;
                lineDone();
            } else if (c == '\r') {
                if (pendingCr_ < UINT32_MAX)
                    ++pendingCr_;
                ++i;
            } else {
                // CRs inside a line belong to it; c is looked at again.
                for (; pendingCr_ > 0; --pendingCr_)
                    putLine('\r');
                byte_ = Byte::Line;
            }
            break;
        }
    }
    return i;
}

// Lines met where a reply's first line is due that belong to no reply: a second echo of the
// command, or an unsolicited result code (with the PDU line some of them bring). Answers whether
// the line was skipped.
bool Framer::skipAhead(size_t headLen) {
    if (isEcho(headLen)) {
        beginLine();
        return true;
    }
    const int trailing = urcTrailingLines(head_, headLen, command_);
    if (trailing < 0)
        return false;
    Stdout_printf("AtTe: unsolicited \"%.*s\" skipped\n", static_cast<int>(headLen), head_);
    skipLines_ = static_cast<uint32_t>(trailing);
    toScan();
    return true;
}

void Framer::lineDone() {
    const size_t headLen = std::min<size_t>(full_, sizeof head_);
    const bool blank = full_ < 2; // a lone character (a V0 digit, a stray byte) counts as blank
    if (mode_ == Mode::Whole && frame_ == 1) {
        lineDoneWhole(blank, headLen);
        return;
    }
    switch (frame_) {
    case 1: {
        if (blank) {
            // Blank lines ahead of the reply's first line (an echo ending CR CR LF, a reply that
            // opens with an extra CR LF) carry nothing; later ones announce the final result.
            // The same holds in lineDoneWhole.
            if (lineCount_ > 0 && !everyLine_)
                frame_ = 2;
            beginLine();
            return;
        }
        if (lineCount_ == 0 && skipAhead(headLen))
            return;
        if (lineCount_ == 0 || everyLine_) {
            FinalResult f = classifyFinal(head_, headLen, errorPrefix_);
            if (f.isFinal) {
                ok_ = f.ok;
                code_ = f.code;
                toScan();
                finish(kFinal);
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
            finish(kMalformed);
            return;
        }
        FinalResult f = classifyFinal(head_, headLen, errorPrefix_);
        if (f.isFinal) {
            ok_ = f.ok;
            code_ = f.code;
            toScan();
            finish(kFinal);
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
            ok_ = 0;
            code_ = 0;
            toScan();
            finish(kFinal);
            return;
        }
        beginLine();
        return;
    default:
        toScan();
        return;
    }
}

void Framer::lineDoneWhole(bool blank, size_t headLen) {
    if (callLines_ == 0) {
        if (blank && lineCount_ == 0) {
            beginLine(); // ahead of the reply's first line, as above
            return;
        }
        if (blank) {
            Stdout_printf("AtTe(%d): result frm without data, FAULT\n", kDiagNoData);
            toScan();
            finish(kMalformed);
            return;
        }
        if (lineCount_ == 0 && skipAhead(headLen))
            return;
        FinalResult f = classifyFinal(head_, headLen, errorPrefix_);
        if (f.isFinal) {
            ok_ = f.ok;
            code_ = f.code;
            toScan();
            finish(kFinal);
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
