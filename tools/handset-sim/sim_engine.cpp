// The simulated handset's AT interpreter.
//
// Layout of this file: constants and small helpers; framing (command line, echo, the PDU prompt);
// the V.250 command-line parser and reply formatter; then the commands, grouped as identity and
// status (27.007 5, 8), phone book (27.007 8.11-8.14) and short messages (27.005 3, 4).

#include "sim_engine.h"
#include "sim_pdu.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace handsetsim {

namespace {

// V.250 asks for at least 40 characters; real handsets take a few hundred. A longer line is
// answered with ERROR.
constexpr size_t kMaxLine = 1024;
// Service-centre field (12 octets) plus the longest TPDU (164 octets), as hex, with room to spare.
constexpr size_t kMaxPduHex = 512;
constexpr size_t kMaxDiagnostics = 256;
constexpr size_t kMaxCommands = 100000; // the newest are kept
constexpr uint8_t kCtrlZ = 0x1A;
constexpr uint8_t kEsc = 0x1B;

std::string upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool startsWithNoCase(const std::string &s, const std::string &prefix) {
    if (prefix.size() > s.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::string quote(const std::string &s) {
    return "\"" + s + "\"";
}

std::vector<std::string> splitLines(const std::string &s) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= s.size()) {
        const size_t nl = s.find('\n', start);
        out.push_back(s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return out;
}

struct ErrorText {
    int code;
    const char *text;
};

// 3GPP 27.007 9.2.
constexpr ErrorText kCmeTexts[] = {
    {0, "phone failure"},
    {1, "no connection to phone"},
    {3, "operation not allowed"},
    {4, "operation not supported"},
    {10, "SIM not inserted"},
    {11, "SIM PIN required"},
    {13, "SIM failure"},
    {20, "memory full"},
    {21, "invalid index"},
    {22, "not found"},
    {23, "memory failure"},
    {24, "text string too long"},
    {25, "invalid characters in text string"},
    {26, "dial string too long"},
    {27, "invalid characters in dial string"},
    {30, "no network service"},
    {100, "unknown"},
};

// 3GPP 27.005 3.2.5.
constexpr ErrorText kCmsTexts[] = {
    {300, "ME failure"},
    {301, "SMS service of ME reserved"},
    {302, "operation not allowed"},
    {303, "operation not supported"},
    {304, "invalid PDU mode parameter"},
    {305, "invalid text mode parameter"},
    {310, "SIM not inserted"},
    {313, "SIM failure"},
    {320, "memory failure"},
    {321, "invalid memory index"},
    {322, "memory full"},
    {330, "SMSC address unknown"},
    {331, "no network service"},
    {332, "network timeout"},
    {500, "unknown error"},
};

template <size_t N> const char *errorText(const ErrorText (&table)[N], int code) {
    for (const auto &row : table)
        if (row.code == code)
            return row.text;
    return "unknown";
}

bool isHexDigit(uint8_t c) {
    return std::isxdigit(c) != 0;
}

bool validDialString(const std::string &n) {
    for (size_t i = 0; i < n.size(); ++i) {
        const char c = n[i];
        if (c == '+' && i == 0)
            continue;
        if (!std::strchr("0123456789*#pPwW,ABCDabcd", c) || c == '\0')
            return false;
    }
    return true;
}

} // namespace

// ----------------------------------------------------------------------------------------------
// Set-up

Engine::Engine(Scenario s) : sc(std::move(s)) {
    reset(true);
    int f[7];
    if (!pdu::parseTimestamp(sc.status.clock, f))
        pdu::parseTimestamp("05/03/17,14:30:00+32", f);
    std::copy(f, f + 7, clock_);
    clockSetAt_ = std::chrono::steady_clock::now();
}

// ATZ restores the settings the handset started with (its stored profile); AT&F does the same
// here: the scenario is the factory profile. Contents stay.
void Engine::reset(bool factory) {
    echo_ = sc.echo;
    verbose_ = true;
    quiet_ = false;
    cmee_ = sc.cmee;
    cmgf_ = sc.cmgf;
    if (!cs::charsetByName(sc.charset, charset_))
        charset_ = cs::Charset::Gsm;
    resetStartup();
    if (factory) {
        pbSel_ = sc.phonebooks.empty() ? "" : sc.phonebooks.front().name;
        for (size_t i = 0; i < 3; ++i)
            mem_[i] =
                i < sc.smsMem.size() ? sc.smsMem[i] : (sc.smsStorages.empty() ? "" : sc.smsStorages[0].name);
        sreg_.fill(0);
        sreg_[3] = 13;
        sreg_[4] = 10;
        sreg_[5] = 8;
    }
}

void Engine::note(std::string text) {
    if (diagnostics.size() >= kMaxDiagnostics)
        diagnostics.erase(diagnostics.begin());
    diagnostics.push_back(text);
    if (freshNotes.size() < kMaxDiagnostics)
        freshNotes.push_back(std::move(text));
}

ModemState Engine::state() const {
    ModemState s;
    s.echo = echo_;
    s.verbose = verbose_;
    s.quiet = quiet_;
    s.cmee = cmee_;
    s.cmgf = cmgf_;
    s.charset = cs::charsetName(charset_);
    s.phonebook = pbSel_;
    s.smsMem.assign(mem_.begin(), mem_.end());
    s.serviceCentre = sc.serviceCentre;
    s.imei = sc.identity.imei;
    s.awaitingPdu = awaiting_;
    return s;
}

Status Engine::status() const {
    Status s = sc.status;
    s.clock = clockNow();
    return s;
}

void Engine::setStatus(const Status &s) {
    int f[7];
    if (!pdu::parseTimestamp(s.clock, f))
        throw std::invalid_argument("bad clock: " + s.clock);
    sc.status = s;
    std::copy(f, f + 7, clock_);
    clockSetAt_ = std::chrono::steady_clock::now();
}

std::string Engine::clockNow() const {
    if (!sc.status.clockRuns)
        return pdu::formatTimestamp(clock_);
    std::tm t{};
    t.tm_year = 100 + clock_[0];
    t.tm_mon = clock_[1] - 1;
    t.tm_mday = clock_[2];
    t.tm_hour = clock_[3];
    t.tm_min = clock_[4];
    t.tm_sec = clock_[5];
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - clockSetAt_)
            .count();
    const time_t when = timegm(&t) + static_cast<time_t>(elapsed);
    std::tm now{};
    gmtime_r(&when, &now);
    const int f[7] = {now.tm_year % 100, now.tm_mon + 1, now.tm_mday, now.tm_hour,
                      now.tm_min,        now.tm_sec,     clock_[6]};
    return pdu::formatTimestamp(f);
}

// ----------------------------------------------------------------------------------------------
// Framing

void Engine::feed(const char *data, size_t len, OutputSink &out) {
    for (size_t i = 0; i < len; ++i) {
        const auto c = static_cast<uint8_t>(data[i]);
        if (sc.faults.silent)
            continue;
        if (awaiting_) {
            pduByte(c, out);
            continue;
        }
        if (c == '\r') { // S3
            lineDone(out);
        } else if (c == '\n') {
            // S4 after the S3 of the previous line, or stray: V.250 ignores it.
        } else if (c == 0x08) { // S5: edit the line
            if (!line_.empty())
                line_.pop_back();
            if (raw_.size() < kMaxLine)
                raw_.push_back(static_cast<char>(c));
        } else if (c >= 0x20 && c != 0x7F) {
            if (line_.size() < kMaxLine) {
                line_.push_back(static_cast<char>(c));
                raw_.push_back(static_cast<char>(c));
            } else {
                overflow_ = true;
            }
        }
    }
    flushPduEcho(out);
}

void Engine::inject(const Injection &inj, OutputSink &out) {
    if (inj.when == When::Now) {
        out.emit(inj.frame ? frameLine(inj.bytes) : inj.bytes, 0);
        return;
    }
    sc.injections.push_back(inj);
}

void Engine::startInjections(OutputSink &out) {
    for (auto it = sc.injections.begin(); it != sc.injections.end();) {
        if (it->when == When::Now) {
            out.emit(it->frame ? frameLine(it->bytes) : it->bytes, 0);
            it = sc.injections.erase(it);
        } else {
            ++it;
        }
    }
}

void Engine::fire(When when, const std::string &cmd, int delayMs, OutputSink &out) {
    for (auto it = sc.injections.begin(); it != sc.injections.end();) {
        if (it->when == when && startsWithNoCase(cmd, it->onCommand)) {
            out.emit(it->frame ? frameLine(it->bytes) : it->bytes, delayMs);
            if (!it->repeat) {
                it = sc.injections.erase(it);
                continue;
            }
        }
        ++it;
    }
}

void Engine::lineDone(OutputSink &out) {
    std::string raw = std::move(raw_);
    std::string line = std::move(line_);
    const bool overflow = overflow_;
    raw_.clear();
    line_.clear();
    overflow_ = false;
    raw.push_back('\r');

    // V.250: everything before the "AT" prefix is ignored, and so is a line without one.
    size_t at = std::string::npos;
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        if ((line[i] == 'A' || line[i] == 'a') && (line[i + 1] == 'T' || line[i + 1] == 't')) {
            at = i;
            break;
        }
    }
    const std::string cmd = at == std::string::npos ? std::string() : line.substr(at + 2);
    int delay = sc.faults.replyDelayMs;
    int echoDelay = 0;
    if (at != std::string::npos && waking_) {
        waking_ = false;
        delay = std::max(delay, sc.faults.firstReplyDelayMs);
        if (sc.faults.firstEchoLate)
            echoDelay = sc.faults.firstReplyDelayMs;
    }
    if (at != std::string::npos)
        fire(When::BeforeEcho, cmd, 0, out);
    if (echo_) {
        std::string e = raw;
        if (sc.profile.echoCrCrLf)
            e += "\r\n";
        if (sc.profile.doubleEcho)
            e += e;
        out.emit(std::move(e), echoDelay);
    }
    if (at == std::string::npos)
        return;
    if (commands.size() >= kMaxCommands)
        commands.erase(commands.begin(), commands.begin() + kMaxCommands / 10);
    commands.push_back(line.substr(at));

    const std::string ucmd = upper(cmd);
    const bool hold = takeHold(ucmd);
    for (auto it = sc.canned.begin(); it != sc.canned.end(); ++it) {
        const std::string pat = upper(it->command);
        const bool match = !pat.empty() && pat.back() == '*'
                               ? ucmd.compare(0, pat.size() - 1, pat, 0, pat.size() - 1) == 0
                               : ucmd == pat;
        if (!match || it->times == 0)
            continue;
        const int d = it->delayMs >= 0 ? it->delayMs : delay;
        if (hold)
            out.hold();
        fire(When::BeforeReply, cmd, d, out);
        out.emit(it->reply, d);
        fire(When::AfterReply, cmd, d, out);
        if (it->drop != DropMode::None) {
            sc.faults.silent = true; // nothing more is answered until the link is back
            out.drop(it->drop, it->restoreAfterMs);
        }
        if (it->times > 0 && --it->times == 0)
            sc.canned.erase(it);
        return;
    }

    Reply r;
    Result res = overflow ? error() : execute(cmd, r);
    if (overflow)
        note("command line longer than " + std::to_string(kMaxLine) + " characters");
    if (hold && res.kind == Result::Prompt)
        holdAfterText_ = true; // the prompt goes out; the answer to the text is held
    else if (hold)
        out.hold();
    fire(When::BeforeReply, cmd, delay, out);
    out.emit(formatReply(r, res), delay);
    if (res.kind != Result::Prompt)
        fire(When::AfterReply, cmd, delay, out);
}

bool Engine::takeHold(const std::string &ucmd) {
    if (holdPattern.empty())
        return false;
    const std::string pat = upper(holdPattern);
    const bool match = pat.back() == '*' ? ucmd.compare(0, pat.size() - 1, pat, 0, pat.size() - 1) == 0 : ucmd == pat;
    if (match)
        holdPattern.clear();
    return match;
}

void Engine::pduByte(uint8_t c, OutputSink &out) {
    if (c == kCtrlZ || c == kEsc) {
        flushPduEcho(out);
        Reply r;
        Result res;
        if (c == kEsc) {
            // 27.005 3.5.1: ESC quits without sending.
            awaiting_ = false;
            pduHex_.clear();
        } else {
            res = finishPdu(r);
        }
        if (holdAfterText_) {
            holdAfterText_ = false;
            out.hold();
        }
        const int delay = sc.faults.replyDelayMs;
        out.emit(formatReply(r, res), delay);
        fire(When::AfterReply, pduSend_ ? "+CMGS" : "+CMGW", delay, out);
        return;
    }
    if (echo_ && sc.profile.echoPdu)
        pduEcho_.push_back(static_cast<char>(c));
    if (isHexDigit(c)) {
        if (pduHex_.size() < kMaxPduHex)
            pduHex_.push_back(static_cast<char>(c));
        else
            pduBad_ = true;
    } else if (c != '\r' && c != '\n' && c != ' ') {
        pduBad_ = true;
    }
}

void Engine::flushPduEcho(OutputSink &out) {
    if (!pduEcho_.empty()) {
        out.emit(std::move(pduEcho_), 0);
        pduEcho_.clear();
    }
}

// ----------------------------------------------------------------------------------------------
// V.250 command line

const Engine::HandlerRow Engine::kHandlers[] = {
    {"+CGMI", &Engine::cmdIdentity}, {"+GMI", &Engine::cmdIdentity},  {"+CGMM", &Engine::cmdIdentity},
    {"+GMM", &Engine::cmdIdentity},  {"+CGMR", &Engine::cmdIdentity}, {"+GMR", &Engine::cmdIdentity},
    {"+CGSN", &Engine::cmdIdentity}, {"+GSN", &Engine::cmdIdentity},  {"+CIMI", &Engine::cmdIdentity},
    {"+CNUM", &Engine::cmdCnum},     {"+CBC", &Engine::cmdCbc},       {"+CSQ", &Engine::cmdCsq},
    {"+CCLK", &Engine::cmdCclk},     {"+CSCS", &Engine::cmdCscs},     {"+CMEE", &Engine::cmdCmee},
    {"+CPBS", &Engine::cmdCpbs},     {"+CPBR", &Engine::cmdCpbr},     {"+CPBW", &Engine::cmdCpbw},
    {"+CSMS", &Engine::cmdCsms},     {"+CMGF", &Engine::cmdCmgf},     {"+CPMS", &Engine::cmdCpms},
    {"+CMGL", &Engine::cmdCmgl},     {"+CMGR", &Engine::cmdCmgr},     {"+CMGD", &Engine::cmdCmgd},
    {"+CMGW", &Engine::cmdCmgw},     {"+CMGS", &Engine::cmdCmgw},     {"+CMSS", &Engine::cmdCmss},
    {"+CSCA", &Engine::cmdCsca},
};
const size_t Engine::kHandlerCount = sizeof kHandlers / sizeof kHandlers[0];

Engine::Result Engine::execute(const std::string &cmd, Reply &r) {
    size_t i = 0;
    const size_t n = cmd.size();
    for (;;) {
        while (i < n && (cmd[i] == ' ' || cmd[i] == ';'))
            ++i;
        if (i >= n)
            return ok();
        r.blocks.emplace_back();
        Result res;
        const char c = cmd[i];
        if (c == '+' || c == '*' || c == '^' || c == '$' || c == '%') {
            size_t j = i + 1;
            while (j < n &&
                   (std::isalnum(static_cast<unsigned char>(cmd[j])) || std::strchr("!%-./:_", cmd[j])))
                ++j;
            const std::string name = upper(cmd.substr(i, j - i));
            size_t k = j;
            bool inQuote = false;
            while (k < n && (inQuote || cmd[k] != ';')) {
                if (cmd[k] == '"')
                    inQuote = !inQuote;
                ++k;
            }
            std::string tail = cmd.substr(j, k - j);
            while (!tail.empty() && tail.back() == ' ')
                tail.pop_back();
            i = k;
            Op op;
            std::string args;
            if (tail.empty()) {
                op = Op::Exec;
            } else if (tail == "?") {
                op = Op::Read;
            } else if (tail == "=?") {
                op = Op::Test;
            } else if (tail[0] == '=') {
                op = Op::Set;
                args = tail.substr(1);
            } else {
                return error();
            }
            res = extended(name, op, args, r);
        } else {
            res = basic(cmd, i, r);
        }
        if (r.blocks.back().empty())
            r.blocks.pop_back();
        if (res.kind != Result::Ok)
            return res;
    }
}

Engine::Result Engine::extended(const std::string &name, Op op, const std::string &args, Reply &r) {
    Params p;
    if (op == Op::Set && !parseParams(args, p))
        return error();
    for (const auto &row : kHandlers)
        if (name == row.name)
            return (this->*row.fn)(name, op, p, r);
    for (const HandlerRow *row = kStartupHandlers; row->name; ++row)
        if (name == row->name)
            return (this->*row->fn)(name, op, p, r);
    note("unknown command " + name);
    return error();
}

Engine::Result Engine::basic(const std::string &cmd, size_t &i, Reply &r) {
    const size_t n = cmd.size();
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(cmd[i++])));
    std::string name(1, c);
    if (c == '&') {
        if (i >= n)
            return error();
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(cmd[i++])));
    }
    if (c == 'S') {
        int reg = 0, digits = 0;
        while (i < n && std::isdigit(static_cast<unsigned char>(cmd[i])) && digits < 3) {
            reg = reg * 10 + (cmd[i++] - '0');
            ++digits;
        }
        if (digits == 0 || reg >= static_cast<int>(sreg_.size()))
            return error();
        if (i < n && cmd[i] == '?') {
            ++i;
            char buf[8];
            std::snprintf(buf, sizeof buf, "%03d", sreg_[static_cast<size_t>(reg)]);
            r.line(buf);
            return ok();
        }
        if (i < n && cmd[i] == '=') {
            ++i;
            int v = 0, vd = 0;
            while (i < n && std::isdigit(static_cast<unsigned char>(cmd[i])) && vd < 3) {
                v = v * 10 + (cmd[i++] - '0');
                ++vd;
            }
            if (v > 255)
                return error();
            // S3/S4/S5 stay as they are: a client that changes the line end is not supported here.
            if (reg != 3 && reg != 4 && reg != 5)
                sreg_[static_cast<size_t>(reg)] = v;
            return ok();
        }
        return error();
    }
    int v = 0, digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(cmd[i]))) {
        if (++digits > 3)
            return error();
        v = v * 10 + (cmd[i++] - '0');
    }
    if (name == "E" || name == "V" || name == "Q") {
        if (v > 1)
            return error();
        (name == "E" ? echo_ : name == "V" ? verbose_ : quiet_) = v == 1;
        return ok();
    }
    if (name == "Z" || name == "&F") {
        reset(name == "&F");
        return ok();
    }
    if (name == "I") {
        for (const auto &s : {sc.identity.manufacturer, sc.identity.model, sc.identity.revision})
            for (const auto &l : splitLines(s))
                r.line(l);
        return ok();
    }
    // Accepted and without effect on a cable: hook, speaker, result sets, DCD/DTR/flow control.
    static const char *const kAccepted[] = {"H", "L", "M", "X", "&C", "&D", "&K", "&W", "&V"};
    for (const char *a : kAccepted)
        if (name == a)
            return ok();
    note("unknown basic command " + name);
    return error();
}

bool Engine::parseParams(const std::string &s, Params &out) {
    out.clear();
    size_t i = 0;
    const size_t n = s.size();
    while (i < n && s[i] == ' ')
        ++i;
    if (i >= n)
        return true;
    for (;;) {
        while (i < n && s[i] == ' ')
            ++i;
        Param p;
        if (i < n && s[i] == '"') {
            const size_t close = s.find('"', i + 1);
            if (close == std::string::npos)
                return false;
            p.v = s.substr(i + 1, close - i - 1);
            p.quoted = true;
            i = close + 1;
            while (i < n && s[i] == ' ')
                ++i;
        } else {
            const size_t comma = s.find(',', i);
            const size_t end = comma == std::string::npos ? n : comma;
            p.v = s.substr(i, end - i);
            while (!p.v.empty() && p.v.back() == ' ')
                p.v.pop_back();
            if (p.v.find('"') != std::string::npos)
                return false;
            i = end;
        }
        if (out.size() >= 16)
            return false;
        out.push_back(std::move(p));
        if (i >= n)
            return true;
        if (s[i] != ',')
            return false;
        ++i;
        if (i >= n) {
            out.push_back(Param{});
            return true;
        }
    }
}

Engine::Arg Engine::intArg(const Params &p, size_t i, int &v) {
    if (i >= p.size() || (!p[i].quoted && p[i].v.empty()))
        return Arg::Absent;
    const std::string &s = p[i].v;
    if (p[i].quoted || s.empty() || s.size() > 9)
        return Arg::Bad;
    int x = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return Arg::Bad;
        x = x * 10 + (c - '0');
    }
    v = x;
    return Arg::Ok;
}

std::string Engine::lineEnd() const {
    return sc.profile.bareCr ? "\r" : sc.profile.bareLf ? "\n" : "\r\n";
}

std::string Engine::frameLine(const std::string &text) const {
    if (!verbose_)
        return text + "\r\n";
    const std::string eol = lineEnd();
    return eol + text + eol;
}

std::string Engine::finalText(Result res) const {
    const auto extendedError = [&](const char *prefix, const char *text) {
        if (cmee_ == 0)
            return verbose_ ? sc.profile.errorText : std::string("4");
        if (cmee_ == 1)
            return std::string(prefix) + std::to_string(res.code);
        return std::string(prefix) + text;
    };
    switch (res.kind) {
    case Result::Ok:
        return verbose_ ? "OK" : "0";
    case Result::Error:
        return verbose_ ? sc.profile.errorText : "4";
    case Result::Cme:
        return extendedError("+CME ERROR: ", errorText(kCmeTexts, res.code));
    case Result::Cms:
        return extendedError("+CMS ERROR: ", errorText(kCmsTexts, res.code));
    case Result::Prompt:
        break;
    }
    return "";
}

std::string Engine::formatReply(const Reply &r, Result res) const {
    std::string s;
    if (!verbose_) {
        // V0: information text ends in CR LF, result codes are a digit and CR.
        for (const auto &b : r.blocks)
            for (const auto &l : b)
                s += l + "\r\n";
        if (res.kind == Result::Prompt)
            return s + "> ";
        if (!quiet_)
            s += finalText(res) + "\r";
        return s;
    }
    const std::string eol = lineEnd();
    bool any = false;
    if (sc.profile.layout == Layout::Blank) {
        for (const auto &b : r.blocks) {
            s += eol;
            for (size_t i = 0; i < b.size(); ++i)
                s += (i ? eol : "") + b[i];
            s += eol;
            any = true;
        }
    } else {
        for (const auto &b : r.blocks) {
            for (const auto &l : b) {
                s += eol + l;
                any = true;
            }
        }
        if (any)
            s += eol;
    }
    if (res.kind == Result::Prompt)
        return s + (sc.profile.prompt == PromptStyle::CrLf ? "\r\n> " : "> ");
    if (!quiet_) {
        if (sc.profile.layout == Layout::Blank || !any)
            s += eol;
        s += finalText(res) + eol;
    }
    for (const auto &l : r.afterFinal)
        s += eol + l + eol;
    if (sc.profile.noLeadingEol && s.compare(0, eol.size(), eol) == 0)
        s.erase(0, eol.size());
    return s;
}

// ----------------------------------------------------------------------------------------------
// Identity and status (27.007 5, 8)

Engine::Result Engine::cmdIdentity(const std::string &name, Op op, const Params &, Reply &r) {
    if (op == Op::Test)
        return ok();
    if (op != Op::Exec)
        return error();
    const Identity &id = sc.identity;
    std::string value;
    if (name == "+CGMI" || name == "+GMI") {
        value = id.manufacturer;
    } else if (name == "+CGMM") {
        value = id.model;
    } else if (name == "+GMM") {
        if (id.gmmMode == GmmMode::Error)
            return error();
        value = id.gmmMode == GmmMode::Own ? id.gmm : id.model;
    } else if (name == "+CGMR" || name == "+GMR") {
        value = id.revision;
    } else if (name == "+CGSN" || name == "+GSN") {
        value = id.imei;
    } else {
        value = id.imsi;
    }
    if (value.empty())
        return ok();
    for (const auto &l : splitLines(value))
        r.line(sc.profile.identityPrefix ? name + ": " + l : l);
    return ok();
}

Engine::Result Engine::cmdCnum(const std::string &, Op op, const Params &, Reply &r) {
    if (op == Op::Test)
        return ok();
    if (op != Op::Exec)
        return error();
    for (const auto &n : sc.identity.ownNumbers)
        r.line("+CNUM: " + quote(cs::encodeText(charset_, cs::decodeUtf8Lenient(n.alpha))) + "," +
               quote(n.number) + "," + std::to_string(n.type));
    return ok();
}

Engine::Result Engine::cmdCbc(const std::string &, Op op, const Params &, Reply &r) {
    if (op == Op::Test) {
        r.line("+CBC: (0-3),(0-100)");
        return ok();
    }
    if (op != Op::Exec)
        return error();
    r.line("+CBC: " + std::to_string(sc.status.batteryStatus) + "," + std::to_string(sc.status.batteryLevel));
    return ok();
}

Engine::Result Engine::cmdCsq(const std::string &, Op op, const Params &, Reply &r) {
    if (op == Op::Test) {
        r.line("+CSQ: (0-31,99),(0-7,99)");
        return ok();
    }
    if (op != Op::Exec)
        return error();
    r.line("+CSQ: " + std::to_string(sc.status.rssi) + "," + std::to_string(sc.status.ber));
    return ok();
}

Engine::Result Engine::cmdCclk(const std::string &, Op op, const Params &p, Reply &r) {
    switch (op) {
    case Op::Test:
        return ok();
    case Op::Read:
        r.line("+CCLK: " + quote(clockNow()));
        return ok();
    case Op::Set: {
        int f[7];
        if (p.size() != 1 || !p[0].quoted || !pdu::parseTimestamp(p[0].v, f)) {
            note("+CCLK: bad time " + (p.empty() ? std::string() : p[0].v));
            return error();
        }
        std::copy(f, f + 7, clock_);
        clockSetAt_ = std::chrono::steady_clock::now();
        sc.status.clock = pdu::formatTimestamp(f);
        return ok();
    }
    default:
        return error();
    }
}

Engine::Result Engine::cmdCscs(const std::string &, Op op, const Params &p, Reply &r) {
    switch (op) {
    case Op::Read:
        r.line("+CSCS: " + quote(cs::charsetName(charset_)));
        return ok();
    case Op::Test: {
        std::string list;
        for (const auto &c : sc.charsets)
            list += (list.empty() ? "" : ",") + quote(c);
        r.line("+CSCS: (" + list + ")");
        return ok();
    }
    case Op::Set: {
        cs::Charset c;
        if (p.size() != 1 || !cs::charsetByName(p[0].v, c))
            return error();
        bool listed = false;
        for (const auto &name : sc.charsets) {
            cs::Charset l;
            listed = listed || (cs::charsetByName(name, l) && l == c);
        }
        if (!listed)
            return error();
        charset_ = c;
        return ok();
    }
    default:
        return error();
    }
}

Engine::Result Engine::cmdCmee(const std::string &, Op op, const Params &p, Reply &r) {
    int v = 0;
    switch (op) {
    case Op::Read:
        r.line("+CMEE: " + std::to_string(cmee_));
        return ok();
    case Op::Test:
        r.line("+CMEE: (0-2)");
        return ok();
    case Op::Set: {
        const Arg a = intArg(p, 0, v);
        if (a == Arg::Bad || p.size() > 1 || v > 2)
            return error();
        cmee_ = a == Arg::Absent ? 0 : v;
        return ok();
    }
    default:
        return error();
    }
}

// ----------------------------------------------------------------------------------------------
// Phone book (27.007 8.11-8.14)

PhonebookStorage *Engine::pbFind(const std::string &name) {
    for (auto &pb : sc.phonebooks)
        if (upper(pb.name) == upper(name))
            return &pb;
    return nullptr;
}

std::string Engine::pbLine(const PhonebookEntry &e) const {
    std::string text;
    const std::u32string t = cs::decodeUtf8Lenient(e.text);
    if (charset_ == cs::Charset::Ucs2 && sc.profile.pbUcs2AsHex8) {
        // Some handsets give the name as hex of 8-bit characters although UCS2 is selected.
        const std::string bytes = cs::encodeText(cs::Charset::Latin1, t);
        text = toHex(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    } else {
        text = cs::encodeText(charset_, t);
        if (charset_ == cs::Charset::Gsm)
            text = cs::escapeGsmField(text);
    }
    if (!sc.profile.pbTextUnquoted)
        text = quote(text);
    std::string number = e.number;
    if (sc.profile.pbIntlWithoutPlus && e.type == 145 && !number.empty() && number[0] == '+')
        number.erase(0, 1);
    return "+CPBR: " + std::to_string(e.index + sc.profile.pbIndexOffset) + "," + quote(number) + "," +
           std::to_string(e.type) + "," + text + sc.profile.pbExtraFields;
}

Engine::Result Engine::cmdCpbs(const std::string &, Op op, const Params &p, Reply &r) {
    switch (op) {
    case Op::Read: {
        const PhonebookStorage *pb = pbFind(pbSel_);
        if (!pb)
            return cme(3);
        std::string line = "+CPBS: " + quote(pb->name);
        if (sc.profile.cpbsCounts)
            line += "," + std::to_string(pb->entries.size()) + "," +
                    std::to_string(pb->last >= pb->first ? pb->last - pb->first + 1 : 0);
        r.line(line);
        return ok();
    }
    case Op::Test: {
        std::string list;
        for (const auto &pb : sc.phonebooks)
            list += (list.empty() ? "" : ",") + quote(pb.name);
        r.line("+CPBS: (" + list + ")");
        return ok();
    }
    case Op::Set: {
        if (p.empty() || p.size() > 2 || !pbFind(p[0].v))
            return error();
        pbSel_ = pbFind(p[0].v)->name;
        return ok();
    }
    default:
        return error();
    }
}

Engine::Result Engine::cmdCpbr(const std::string &, Op op, const Params &p, Reply &r) {
    PhonebookStorage *pb = pbFind(pbSel_);
    if (op == Op::Test) {
        if (!pb)
            return cme(3);
        const std::string lens =
            "," + std::to_string(pb->numberLength) + "," + std::to_string(pb->textLength);
        const std::string range = std::to_string(pb->first) + "-" + std::to_string(pb->last);
        std::string line;
        switch (sc.profile.cpbrTest) {
        case CpbrTestShape::Standard:
        case CpbrTestShape::AfterOk:
            line = "+CPBR: " + (pb->first <= pb->last ? "(" + range + ")" : std::string("()")) + lens;
            break;
        case CpbrTestShape::NoParen:
            line = "+CPBR: " + range + lens;
            break;
        case CpbrTestShape::Empty:
            line = "+CPBR: ()" + lens;
            break;
        case CpbrTestShape::Single:
            line = "+CPBR: (" + std::to_string(pb->first) + ")" + lens;
            break;
        case CpbrTestShape::Extra:
            line = "+CPBR: (" + range + ")" + lens + ",0,0,0";
            break;
        }
        if (sc.profile.cpbrTest == CpbrTestShape::AfterOk)
            r.afterFinal.push_back(line);
        else
            r.line(line);
        return ok();
    }
    if (op != Op::Set)
        return error();
    if (!pb)
        return cme(3);
    int i1 = 0, i2 = 0;
    if (intArg(p, 0, i1) != Arg::Ok || p.size() > 2)
        return error();
    const Arg a2 = intArg(p, 1, i2);
    if (a2 == Arg::Bad)
        return error();
    if (a2 == Arg::Absent)
        i2 = i1;
    if (i1 < pb->first || i1 > pb->last || i2 < i1 || i2 > pb->last)
        return cme(21);
    bool any = false;
    for (auto it = pb->entries.lower_bound(i1); it != pb->entries.end() && it->first <= i2; ++it) {
        r.line(pbLine(it->second));
        any = true;
    }
    if (!any && sc.profile.emptyRange == EmptyRange::NotFound)
        return cme(22);
    return ok();
}

Engine::Result Engine::cmdCpbw(const std::string &, Op op, const Params &p, Reply &r) {
    PhonebookStorage *pb = pbFind(pbSel_);
    if (!pb)
        return cme(3);
    if (op == Op::Test) {
        r.line("+CPBW: (" + std::to_string(pb->first) + "-" + std::to_string(pb->last) + ")," +
               std::to_string(pb->numberLength) + ",(129,145,161)," + std::to_string(pb->textLength));
        return ok();
    }
    if (op != Op::Set || p.empty() || p.size() > 4)
        return error();
    int index = 0, type = 0;
    const Arg ai = intArg(p, 0, index);
    if (ai == Arg::Bad)
        return error();
    if (!pb->writable)
        return cme(3);
    if (ai == Arg::Ok && (index < pb->first || index > pb->last))
        return cme(21);
    // Only the index: 27.007 deletes the entry.
    if (p.size() == 1) {
        if (ai == Arg::Absent)
            return error();
        pb->entries.erase(index);
        return ok();
    }
    std::string number = p[1].v;
    const Arg at = intArg(p, 2, type);
    if (at == Arg::Bad || (at == Arg::Ok && (type < 128 || type > 255)))
        return error();
    std::u32string text;
    // GSM codes that cannot stand in a command line come as V.250 string escapes ("\00" is "@").
    const std::string wireText = p.size() > 3 && charset_ == cs::Charset::Gsm ? cs::unescapeField(p[3].v)
                                 : p.size() > 3                                ? p[3].v
                                                                               : std::string();
    if (p.size() > 3 && !cs::decodeText(charset_, wireText, text)) {
        note("+CPBW: text not valid " + std::string(cs::charsetName(charset_)) + ": " + p[3].v);
        return cme(25);
    }
    if (text.size() > static_cast<size_t>(pb->textLength))
        return cme(24);
    if (!validDialString(number))
        return cme(27);
    const bool intl = !number.empty() && number[0] == '+';
    if (number.size() - (intl ? 1 : 0) > static_cast<size_t>(pb->numberLength))
        return cme(26);
    if (at == Arg::Absent)
        type = intl ? 145 : 129;
    // The handset keeps the digits and the type of number: "+" and 145 go together.
    if (intl)
        type = 145;
    else if (type == 145 && !number.empty())
        number.insert(number.begin(), '+');
    if (number.empty() && text.empty()) {
        if (ai == Arg::Absent)
            return error();
        pb->entries.erase(index);
        return ok();
    }
    if (ai == Arg::Absent) {
        index = -1;
        for (int i = pb->first; i <= pb->last; ++i)
            if (!pb->entries.count(i)) {
                index = i;
                break;
            }
        if (index < 0)
            return cme(20);
    }
    pb->entries[index] = PhonebookEntry{index, number, type, cs::encodeUtf8(text)};
    return ok();
}

// ----------------------------------------------------------------------------------------------
// Short messages (27.005 3, 4), PDU mode

SmsStorage *Engine::smsFind(const std::string &name) {
    for (auto &s : sc.smsStorages)
        if (upper(s.name) == upper(name))
            return &s;
    return nullptr;
}

// The PDU line of a stored message and the TPDU length its header announces (27.005: the length
// counts the TPDU only, not the service-centre field in front).
std::string Engine::listedPdu(const SmsMessage &m, int &tpduLen) const {
    std::vector<uint8_t> bytes;
    const int hexOctets = static_cast<int>(m.pdu.size() / 2);
    if (fromHex(m.pdu, bytes)) {
        const int scLen = pdu::scFieldLength(bytes);
        tpduLen = scLen < 0 ? hexOctets : hexOctets - scLen;
    } else {
        tpduLen = hexOctets;
    }
    tpduLen += sc.profile.listLengthDelta;
    std::string line = upper(m.pdu);
    if (sc.profile.pduTrailingQuote)
        line += "\"";
    return line;
}

Engine::Result Engine::cmdCsms(const std::string &, Op op, const Params &p, Reply &r) {
    int v = 0;
    switch (op) {
    case Op::Read:
        r.line("+CSMS: " + std::to_string(csms_) + ",1,1,1");
        return ok();
    case Op::Test:
        r.line("+CSMS: (0,1)");
        return ok();
    case Op::Set:
        if (intArg(p, 0, v) != Arg::Ok || p.size() > 1 || v > 1)
            return error();
        csms_ = v;
        r.line("+CSMS: 1,1,1");
        return ok();
    default:
        return error();
    }
}

Engine::Result Engine::cmdCmgf(const std::string &, Op op, const Params &p, Reply &r) {
    int v = 0;
    switch (op) {
    case Op::Read:
        r.line("+CMGF: " + std::to_string(cmgf_));
        return ok();
    case Op::Test:
        r.line("+CMGF: (0,1)");
        return ok();
    case Op::Set: {
        const Arg a = intArg(p, 0, v);
        if (a == Arg::Bad || p.size() > 1 || v > 1)
            return error();
        cmgf_ = a == Arg::Absent ? 0 : v;
        return ok();
    }
    default:
        return error();
    }
}

Engine::Result Engine::cmdCpms(const std::string &, Op op, const Params &p, Reply &r) {
    const auto counts = [this](const std::string &name) {
        const SmsStorage *s = smsFind(name);
        return s ? std::to_string(s->messages.size()) + "," + std::to_string(s->capacity)
                 : std::string("0,0");
    };
    switch (op) {
    case Op::Read: {
        std::string line = "+CPMS: ";
        for (size_t i = 0; i < 3; ++i)
            line += (i ? "," : "") + quote(mem_[i]) + "," + counts(mem_[i]);
        r.line(line);
        return ok();
    }
    case Op::Test: {
        std::string names;
        for (const auto &s : sc.smsStorages)
            names += (names.empty() ? "" : ",") + quote(s.name);
        for (const auto &x : sc.profile.cpmsExtra)
            names += (names.empty() ? "" : ",") + quote(x);
        const std::string list = "(" + names + ")";
        switch (sc.profile.cpmsTest) {
        case CpmsTestShape::Standard:
            r.line("+CPMS: " + list + "," + list + "," + list);
            break;
        case CpmsTestShape::Nested:
            r.line("+CPMS: (" + list + "," + list + "," + list + ")");
            break;
        case CpmsTestShape::NoParen:
            r.line("+CPMS: " + names);
            break;
        case CpmsTestShape::Empty:
            r.line("+CPMS: (),(),()");
            break;
        }
        return ok();
    }
    case Op::Set: {
        if (p.empty() || p.size() > 3)
            return error();
        std::array<std::string, 3> mem = mem_;
        for (size_t i = 0; i < p.size(); ++i) {
            if (p[i].v.empty() && !p[i].quoted)
                continue;
            const SmsStorage *s = smsFind(p[i].v);
            if (!s) {
                note("+CPMS: no storage " + p[i].v);
                return cms(302);
            }
            mem[i] = s->name;
        }
        mem_ = mem;
        r.line("+CPMS: " + counts(mem_[0]) + "," + counts(mem_[1]) + "," + counts(mem_[2]));
        return ok();
    }
    default:
        return error();
    }
}

Engine::Result Engine::cmdCmgl(const std::string &, Op op, const Params &p, Reply &r) {
    if (op == Op::Test) {
        r.line("+CMGL: (0-4)");
        return ok();
    }
    if (op == Op::Read || cmgf_ != 0) // text mode lists by "ALL", "REC UNREAD", ...: a number is an error
        return error();
    int stat = 0;
    if (op == Op::Set && (intArg(p, 0, stat) == Arg::Bad || p.size() > 1 || stat > 4))
        return error();
    if (sc.profile.cmglFails)
        return cms(303);
    SmsStorage *s = smsFind(mem_[0]);
    if (!s)
        return cms(302);
    for (auto &[index, m] : s->messages) {
        if (stat != 4 && m.stat != stat)
            continue;
        int len;
        const std::string pduLine = listedPdu(m, len);
        std::string header = "+CMGL: " + std::to_string(index) + "," + std::to_string(m.stat) + "," +
                             (sc.profile.cmglNoAlpha ? "" : ",") + std::to_string(len);
        if (sc.profile.pduSameLine) {
            r.line(header + " " + pduLine);
        } else {
            r.line(header);
            r.line(pduLine);
        }
        if (m.stat == 0 && sc.profile.cmglMarksRead)
            m.stat = 1;
    }
    return ok();
}

Engine::Result Engine::cmdCmgr(const std::string &, Op op, const Params &p, Reply &r) {
    if (op == Op::Test)
        return ok();
    int index = 0;
    if (op != Op::Set || cmgf_ != 0 || intArg(p, 0, index) != Arg::Ok || p.size() > 1)
        return error();
    SmsStorage *s = smsFind(mem_[0]);
    if (!s)
        return cms(302);
    if (index < 1 || index > s->capacity)
        return cms(321);
    auto it = s->messages.find(index);
    if (it == s->messages.end())
        return sc.profile.cmgrEmptyOk ? ok() : cms(321);
    SmsMessage &m = it->second;
    int len;
    const std::string pduLine = listedPdu(m, len);
    const std::string header = "+CMGR: " + (sc.profile.cmgrNoStat ? std::string() : std::to_string(m.stat)) +
                               ",," + std::to_string(len);
    if (sc.profile.pduSameLine) {
        r.line(header + " " + pduLine);
    } else {
        r.line(header);
        r.line(pduLine);
    }
    if (m.stat == 0)
        m.stat = 1;
    return ok();
}

Engine::Result Engine::cmdCmgd(const std::string &, Op op, const Params &p, Reply &r) {
    SmsStorage *s = smsFind(mem_[0]);
    if (!s)
        return cms(302);
    if (op == Op::Test) {
        std::string used;
        for (const auto &[index, m] : s->messages)
            used += (used.empty() ? "" : ",") + std::to_string(index);
        r.line("+CMGD: (" + used + "),(0-4)");
        return ok();
    }
    int index = 0, flag = 0;
    if (op != Op::Set || p.size() > 2)
        return error();
    const Arg ai = intArg(p, 0, index);
    const Arg af = intArg(p, 1, flag);
    if (ai == Arg::Bad || af == Arg::Bad || flag > 4 || (flag == 0 && ai != Arg::Ok))
        return error();
    if (flag == 0) {
        if (index < 1 || index > s->capacity)
            return cms(321);
        if (!s->messages.erase(index) && sc.profile.cmgdEmptyError)
            return cms(321);
        return ok();
    }
    // 27.005 3.5.4 <delflag>: 1 read, 2 read and sent, 3 read, sent and unsent, 4 all.
    for (auto it = s->messages.begin(); it != s->messages.end();) {
        const int st = it->second.stat;
        const bool del = flag == 4 || st == 1 || (flag >= 2 && st == 3) || (flag >= 3 && st == 2);
        it = del ? s->messages.erase(it) : std::next(it);
    }
    return ok();
}

// +CMGW and +CMGS: the length of the TPDU that follows the prompt, and for +CMGW its status.
Engine::Result Engine::cmdCmgw(const std::string &name, Op op, const Params &p, Reply &) {
    if (op == Op::Test)
        return ok();
    if (op != Op::Set || cmgf_ != 0 || p.size() > 2)
        return error();
    int len = 0, stat = 2;
    if (intArg(p, 0, len) != Arg::Ok)
        return error();
    const Arg as = intArg(p, 1, stat);
    if (as == Arg::Bad || stat > 3 || (name == "+CMGS" && p.size() > 1))
        return error();
    // A TPDU is at least 7 octets (DELIVER/SUBMIT with an empty address) and at most 164.
    if (len < 7 || len > 164) {
        note(name + ": declared length " + std::to_string(len) + " out of range");
        return cms(304);
    }
    awaiting_ = true;
    pduSend_ = name == "+CMGS";
    pduLen_ = len;
    pduStat_ = stat;
    pduHex_.clear();
    pduBad_ = false;
    return {Result::Prompt, 0};
}

Engine::Result Engine::finishPdu(Reply &r) {
    awaiting_ = false;
    const char *cmd = pduSend_ ? "+CMGS" : "+CMGW";
    std::vector<uint8_t> bytes;
    const bool hexOk = !pduBad_ && fromHex(pduHex_, bytes);
    pduHex_.clear();
    if (!hexOk) {
        note(std::string(cmd) + ": the PDU is not hex (or too long)");
        return cms(304);
    }
    const int scLen = pdu::scFieldLength(bytes);
    if (scLen < 0) {
        note(std::string(cmd) + ": bad service-centre field");
        return cms(304);
    }
    const std::vector<uint8_t> tpdu(bytes.begin() + scLen, bytes.end());
    if (static_cast<int>(tpdu.size()) != pduLen_) {
        note(std::string(cmd) + ": declared length " + std::to_string(pduLen_) + ", TPDU has " +
             std::to_string(tpdu.size()) + " octets");
        return cms(304);
    }
    Tpdu decoded;
    std::string why;
    if (!decodeTpdu(tpdu.data(), tpdu.size(), decoded, &why)) {
        note(std::string(cmd) + ": " + why);
        return cms(304);
    }
    if (pduSend_) {
        if (decoded.kind != TpduKind::Submit) {
            note("+CMGS: the TPDU is not an SMS-SUBMIT");
            return cms(304);
        }
        if (sc.faults.sendError > 0)
            return cms(sc.faults.sendError);
        if (sc.faults.sendErrorAt > 0 && --sc.faults.sendErrorAt == 0) {
            note("+CMGS: the scripted send error");
            return cms(sc.faults.sendErrorCode > 0 ? sc.faults.sendErrorCode : 500);
        }
        if (scLen == 1 && sc.serviceCentre.number.empty())
            return cms(330);
        const int mr = nextMr_;
        nextMr_ = (nextMr_ + 1) & 0xFF;
        submitted.push_back(SubmittedPdu{toHex(bytes.data(), static_cast<size_t>(scLen)),
                                         toHex(tpdu.data(), tpdu.size()), mr, -1, decoded});
        r.blocks.emplace_back();
        r.line("+CMGS: " + std::to_string(mr));
        return ok();
    }
    SmsStorage *s = smsFind(mem_[1]);
    if (!s)
        return cms(302);
    int index = -1;
    for (int i = 1; i <= s->capacity; ++i)
        if (!s->messages.count(i)) {
            index = i;
            break;
        }
    if (index < 0)
        return cms(322);
    s->messages[index] = SmsMessage{index, pduStat_, toHex(bytes.data(), bytes.size())};
    r.blocks.emplace_back();
    r.line("+CMGW: " + std::to_string(index));
    return ok();
}

Engine::Result Engine::cmdCmss(const std::string &, Op op, const Params &p, Reply &r) {
    if (op == Op::Test)
        return ok();
    int index = 0, toda = 0;
    if (op != Op::Set || p.size() > 3 || intArg(p, 0, index) != Arg::Ok)
        return error();
    const Arg at = intArg(p, 2, toda);
    if (at == Arg::Bad)
        return error();
    SmsStorage *s = smsFind(mem_[1]);
    if (!s)
        return cms(302);
    auto it = s->messages.find(index);
    if (index < 1 || index > s->capacity || it == s->messages.end())
        return cms(321);
    std::vector<uint8_t> bytes;
    if (!fromHex(it->second.pdu, bytes) || pdu::scFieldLength(bytes) < 0)
        return cms(304);
    const int scLen = pdu::scFieldLength(bytes);
    std::vector<uint8_t> tpdu(bytes.begin() + scLen, bytes.end());
    if (p.size() > 1 && !p[1].v.empty() &&
        !pdu::replaceDestination(tpdu, p[1].v, at == Arg::Ok ? toda : (p[1].v[0] == '+' ? 145 : 129)))
        return error();
    Tpdu decoded;
    std::string why;
    if (!decodeTpdu(tpdu.data(), tpdu.size(), decoded, &why)) {
        note("+CMSS: stored PDU does not decode: " + why);
        return cms(304);
    }
    if (decoded.kind != TpduKind::Submit) {
        note("+CMSS: stored message is not an SMS-SUBMIT");
        return cms(302);
    }
    if (sc.faults.sendError > 0)
        return cms(sc.faults.sendError);
    const int mr = nextMr_;
    nextMr_ = (nextMr_ + 1) & 0xFF;
    submitted.push_back(SubmittedPdu{toHex(bytes.data(), static_cast<size_t>(scLen)),
                                     toHex(tpdu.data(), tpdu.size()), mr, index, decoded});
    if (it->second.stat == 2)
        it->second.stat = 3;
    r.line("+CMSS: " + std::to_string(mr));
    return ok();
}

std::string Engine::scaShown() const {
    std::string n = sc.serviceCentre.number;
    if (!sc.profile.scaPlus && !n.empty() && n[0] == '+')
        n.erase(0, 1);
    const std::u32string u = cs::decodeUtf8Lenient(n);
    switch (sc.profile.scaEncoding) {
    case ScaEncoding::Text:
        break;
    case ScaEncoding::Ucs2:
        n = cs::encodeText(cs::Charset::Ucs2, u);
        break;
    case ScaEncoding::Hex:
        n = toHex(reinterpret_cast<const uint8_t *>(n.data()), n.size());
        break;
    case ScaEncoding::Charset:
        n = cs::encodeText(charset_, u);
        break;
    }
    return sc.profile.scaQuotes ? quote(n) : n;
}

Engine::Result Engine::cmdCsca(const std::string &, Op op, const Params &p, Reply &r) {
    int type = 0;
    switch (op) {
    case Op::Test:
        return ok();
    case Op::Read:
        r.line("+CSCA: " + scaShown() + "," + std::to_string(sc.serviceCentre.type));
        return ok();
    case Op::Set: {
        if (p.empty() || p.size() > 2)
            return error();
        const Arg at = intArg(p, 1, type);
        if (at == Arg::Bad || (at == Arg::Ok && (type < 128 || type > 255)))
            return error();
        std::string number = p[0].v;
        if (sc.profile.scaEncoding == ScaEncoding::Charset) {
            std::u32string u;
            if (!cs::decodeText(charset_, number, u))
                return error();
            number = cs::encodeUtf8(u);
        }
        if (!validDialString(number) || number.size() > 21)
            return error();
        sc.serviceCentre.number = number;
        sc.serviceCentre.type = at == Arg::Ok ? type : (!number.empty() && number[0] == '+' ? 145 : 129);
        return ok();
    }
    default:
        return error();
    }
}

} // namespace handsetsim
