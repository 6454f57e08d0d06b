// The reply framer and the final-result table, without a transport: every reply is framed whole,
// byte by byte and in odd slices, and must give the same events each way.

#include "at/at_int.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

using dvat::Framer;

// ---- the final-result table ----

struct FinalCase {
    const char *name;
    const char *line;
    const char *errorPrefix;
    bool isFinal;
    int32_t ok;
    int32_t code;
};

const FinalCase kFinalCases[] = {
    {"ok", "OK", nullptr, true, 1, 0},
    {"ok_lower_case", "ok", nullptr, true, 1, 0},
    {"ok_with_blank", "OK ", nullptr, false, 0, 0},
    {"okay", "OKAY", nullptr, false, 0, 0},
    {"error", "ERROR", nullptr, true, 0, 0},
    {"error_mixed_case", "Error", nullptr, true, 0, 0},
    {"errors", "ERRORS", nullptr, false, 0, 0},
    {"command_not_support", "COMMAND NOT SUPPORT", nullptr, true, 0, 0},
    {"command_not_supported", "COMMAND NOT SUPPORTED", nullptr, false, 0, 0},
    {"cme_error", "+CME ERROR: 10", "+CME", true, 0, 10},
    {"cme_error_lower_case", "+cme error: 10", "+CME", true, 0, 10},
    {"cme_error_no_blank", "+CME ERROR:10", "+CME", true, 0, 10},
    {"cme_error_no_number", "+CME ERROR", "+CME", true, 0, 0},
    {"cme_error_text", "+CME ERROR: SIM not inserted", "+CME", true, 0, 0},
    {"cme_error_cut", "+CME ERRO", "+CME", false, 0, 0},
    {"cme_error_without_prefix", "+CME ERROR: 10", nullptr, false, 0, 0},
    {"cme_error_empty_prefix", "+CME ERROR: 10", "", false, 0, 0},
    {"cms_error_under_cme", "+CMS ERROR: 500", "+CME", false, 0, 0},
    {"cms_error", "+CMS ERROR: 500", "+CMS", true, 0, 500},
    {"code_overflow_clamped", "+CMS ERROR: 99999999999999", "+CMS", true, 0, INT32_MAX},
    {"prefix_of_8", "12345678 ERROR: 7", "12345678", true, 0, 7},
    {"prefix_of_9_not_honoured", "123456789 ERROR: 7", "123456789", false, 0, 0},
    {"data_line", "+CSQ: 17,99", "+CME", false, 0, 0},
};

void PrintTo(const FinalCase &c, std::ostream *os) {
    *os << c.name;
}

class FinalTable : public ::testing::TestWithParam<FinalCase> {};

TEST_P(FinalTable, Classifies) {
    const FinalCase &c = GetParam();
    dvat::FinalResult f = dvat::classifyFinal(c.line, std::strlen(c.line), c.errorPrefix);
    EXPECT_EQ(f.isFinal, c.isFinal);
    if (c.isFinal) {
        EXPECT_EQ(f.ok, c.ok);
        EXPECT_EQ(f.code, c.code);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, FinalTable, ::testing::ValuesIn(kFinalCases),
                         [](const auto &row) { return std::string(row.param.name); });

// ---- unsolicited result codes ----

struct UrcCase {
    const char *name;
    const char *line;
    const char *command; // the command just sent, without "AT"
    int trailing;        // -1: not unsolicited
};

const UrcCase kUrcCases[] = {
    {"ring", "RING", "+CSQ", 0},
    {"ringing_is_no_ring", "RINGING", "+CSQ", -1},
    {"new_message", "+CMTI: \"SM\",3", "+CSQ", 0},
    {"registration", "+CREG: 1", "+CSQ", 0},
    {"registration_reply", "+CREG: 0,1", "+CREG?", -1},
    {"caller_id_reply", "+CLIP: 0,1", "+CLIP?", -1},
    {"routed_message_pdu", "+CMT: ,23", "+CSQ", 1},
    {"routed_status_pdu", "+CDS: 25", "+CSQ", 1},
    {"routed_status_text", "+CDS: 6,46,\"+4912\",145", "+CSQ", 0},
    {"reply_line", "+CSQ: 17,99", "+CSQ", -1},
    {"no_command", "+CMTI: \"ME\",1", nullptr, 0},
};

void PrintTo(const UrcCase &c, std::ostream *os) {
    *os << c.name;
}

class UrcTable : public ::testing::TestWithParam<UrcCase> {};

TEST_P(UrcTable, Recognises) {
    const UrcCase &c = GetParam();
    char name[16];
    dvat::commandNameOf(c.command, name, sizeof name);
    EXPECT_EQ(dvat::urcTrailingLines(c.line, std::strlen(c.line), c.command ? name : nullptr), c.trailing);
}

INSTANTIATE_TEST_SUITE_P(Lines, UrcTable, ::testing::ValuesIn(kUrcCases),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(CommandName, StopsAtTheArgumentsAndIsBounded) {
    char name[8];
    dvat::commandNameOf("+CREG?", name, sizeof name);
    EXPECT_STREQ(name, "+CREG");
    dvat::commandNameOf("+CPBR=1,10", name, sizeof name);
    EXPECT_STREQ(name, "+CPBR");
    dvat::commandNameOf("+VERYLONGNAME", name, sizeof name);
    EXPECT_STREQ(name, "+VERYLO");
    dvat::commandNameOf(nullptr, name, sizeof name);
    EXPECT_STREQ(name, "");
}

// ---- the framer ----

struct Event {
    int32_t event;
    std::string line;
    int32_t ok;
    int32_t code;
    bool operator==(const Event &o) const {
        return event == o.event && line == o.line &&
               (event != Framer::kFinal || (ok == o.ok && code == o.code));
    }
};

std::ostream &operator<<(std::ostream &os, const Event &e) {
    std::string shown;
    for (char c : e.line)
        shown += c == '\r' ? std::string("\\r") : std::string(1, c);
    return os << "{" << e.event << ", \"" << shown << "\", ok " << e.ok << ", code " << e.code << "}";
}

Event line(const char *text) {
    return {Framer::kLine, text, 0, 0};
}
Event final(const char *text, int32_t ok, int32_t code = 0) {
    return {Framer::kFinal, text, ok, code};
}
Event malformed() {
    return {Framer::kMalformed, "", 0, 0};
}

// Frames the input for the command the framer was last given, feeding it `slice` bytes at a time,
// and collects one event per call.
std::vector<Event> collect(Framer &f, const std::string &in, size_t slice, const char *errorPrefix, bool everyLine,
                           size_t bufSize, Framer::Mode mode = Framer::Mode::Line) {
    std::vector<char> buf(bufSize);
    std::vector<Event> events;
    const auto *bytes = reinterpret_cast<const uint8_t *>(in.data());
    size_t at = 0;
    while (at < in.size()) {
        f.start(errorPrefix, everyLine, mode, buf.data(), buf.size());
        while (at < in.size() && f.event() == Framer::kNone) {
            size_t n = std::min(slice, in.size() - at);
            size_t used = f.feed(bytes + at, n);
            EXPECT_LE(used, n);
            at += used;
            if (used < n) {
                EXPECT_NE(f.event(), Framer::kNone) << "stopped early without an event";
            }
        }
        if (f.event() == Framer::kNone)
            break;
        EXPECT_LE(f.stored(), bufSize - 1);
        EXPECT_EQ(std::strlen(buf.data()), f.stored()) << "buffer not terminated at its length";
        events.push_back({f.event(), std::string(buf.data(), f.stored()), f.ok(), f.code()});
    }
    return events;
}

// Frames the whole input as the reply to command.
std::vector<Event> frame(const std::string &in, size_t slice, const char *errorPrefix, bool everyLine,
                         const char *command, size_t bufSize, Framer::Mode mode = Framer::Mode::Line) {
    Framer f;
    f.newCommand(command);
    return collect(f, in, slice, errorPrefix, everyLine, bufSize, mode);
}

struct FrameCase {
    const char *name;
    std::string input;
    const char *errorPrefix;
    bool everyLine;
    const char *command;
    std::vector<Event> events;
    size_t bufSize = 64;
};

const FrameCase kFrameCases[] = {
    {"intermediate_then_ok",
     "\r\n+CPMS: 1,20\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CPMS?",
     {line("+CPMS: 1,20"), final("OK", 1)}},
    {"echo_skipped",
     "AT+CPMS?\r\r\n+CPMS: 1,20\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CPMS?",
     {line("+CPMS: 1,20"), final("OK", 1)}},
    {"doubled_echo",
     "AT+CGMI\rAT+CGMI\r\r\nACME\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CGMI",
     {line("ACME"), final("OK", 1)}},
    {"echo_ending_cr_cr_lf",
     "AT+CGMI\r\r\n\r\nACME\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CGMI",
     {line("ACME"), final("OK", 1)}},
    {"bare_ok", "AT\r\r\nOK\r\n", nullptr, false, "", {final("OK", 1)}},
    {"cme_error", "\r\n+CME ERROR: 10\r\n", "+CME", false, "+CPBS?", {final("+CME ERROR: 10", 0, 10)}},
    {"cme_error_with_9_char_prefix",
     "\r\n+CME ERROR: 10\r\n\r\nOK\r\n",
     "+CME ERRO",
     false,
     "+CPBS?",
     {line("+CME ERROR: 10"), final("OK", 1)}},
    {"command_not_support",
     "\r\nCOMMAND NOT SUPPORT\r\n",
     nullptr,
     false,
     "+GMM",
     {final("COMMAND NOT SUPPORT", 0)}},
    {"data_lines_may_read_ok",
     "\r\n+X: 1\r\nOK\r\nERROR\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+X",
     {line("+X: 1"), line("OK"), line("ERROR"), final("OK", 1)}},
    {"every_line_tested",
     "\r\n+CMGL: 1,0\r\n0791\r\nOK\r\n",
     "+CMS",
     true,
     "+CMGL=4",
     {line("+CMGL: 1,0"), line("0791"), final("OK", 1)}},
    {"every_line_skips_blanks",
     "\r\n+CMGL: 1,0\r\n\r\n0791\r\n\r\nOK\r\n",
     "+CMS",
     true,
     "+CMGL=4",
     {line("+CMGL: 1,0"), line("0791"), final("OK", 1)}},
    {"lone_digit_is_blank",
     "\r\n+X: 1\r\n0\r\nOK\r\n",
     nullptr,
     false,
     "+X",
     {line("+X: 1"), final("OK", 1)}},
    {"blank_where_final_due", "\r\n+X: 1\r\n\r\n\r\n", nullptr, false, "+X", {line("+X: 1"), malformed()}},
    // The line after the blank line is no final result: answered as ERROR, but only after the
    // real final result, so the next reply ("OK" at the end) is read as the next reply.
    {"not_final_after_blank_reads_through",
     "\r\n+X: 1\r\n\r\n+X: 2\r\n+X: 3\r\n\r\nOK\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+X",
     {line("+X: 1"), final("+X: 2", 0), final("OK", 1)}},
    {"unsolicited_before_reply",
     "\r\nRING\r\n\r\n+CSQ: 17,99\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CSQ",
     {line("+CSQ: 17,99"), final("OK", 1)}},
    {"unsolicited_before_echo",
     "\r\n+CMTI: \"SM\",3\r\nAT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CSQ",
     {line("+CSQ: 17,99"), final("OK", 1)}},
    {"unsolicited_with_pdu_line",
     "\r\n+CMT: ,23\r\n0791947106004034040D\r\nAT+CSQ\r\r\n+CSQ: 9,0\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CSQ",
     {line("+CSQ: 9,0"), final("OK", 1)}},
    {"reply_named_like_unsolicited",
     "\r\n+CREG: 0,1\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CREG?",
     {line("+CREG: 0,1"), final("OK", 1)}},
    {"unsolicited_after_first_line_is_data",
     "\r\n+CSQ: 17,99\r\nRING\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CSQ",
     {line("+CSQ: 17,99"), line("RING"), final("OK", 1)}},
    // Line ends as handsets send them: CR LF, CR alone, LF alone, and mixed.
    {"cr_alone_ends_a_line", "\r\nAB\rCD\r\n\r\nOK\r\n", nullptr, false, "+X", {line("AB"), line("CD"), final("OK", 1)}},
    {"cr_line_ends", "AT+CGMI\r\rACME\r\rOK\r", nullptr, false, "+CGMI", {line("ACME"), final("OK", 1)}},
    {"cr_line_ends_without_echo", "\rACME\r\rOK\r", nullptr, false, "+CGMI", {line("ACME"), final("OK", 1)}},
    {"cr_line_ends_bare_ok", "AT\r\rOK\r", nullptr, false, "", {final("OK", 1)}},
    {"lf_line_ends", "AT+CGMI\r\nACME\n\nOK\n", nullptr, false, "+CGMI", {line("ACME"), final("OK", 1)}},
    {"lf_line_ends_without_echo", "\nACME\n\nOK\n", nullptr, false, "+CGMI", {line("ACME"), final("OK", 1)}},
    {"lf_line_ends_every_line", "\n+CMGL: 1,0\n0791\nOK\n", "+CMS", true, "+CMGL=4",
     {line("+CMGL: 1,0"), line("0791"), final("OK", 1)}},
    // Without echo the first line of a reply that lacks its opening line end is the reply's.
    {"no_opening_line_end", "ACME\r\n\r\nOK\r\n", nullptr, false, "+CGMI", {line("ACME"), final("OK", 1)}},
    {"no_opening_line_end_ok", "OK\r\n", nullptr, false, "+CMEE=1", {final("OK", 1)}},
    {"no_opening_line_end_text_like_at", "ATMEL\r\n\r\nOK\r\n", nullptr, false, "+CGMI",
     {line("ATMEL"), final("OK", 1)}},
    {"no_opening_line_end_error", "+CME ERROR: 10\r\n", "+CME", false, "+CPIN?", {final("+CME ERROR: 10", 0, 10)}},
    // Line noise in front of the echo leaves it an echo.
    {"noise_before_echo", std::string("\xff\x7f junkAT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n"), nullptr, false,
     "+CSQ", {line("+CSQ: 17,99"), final("OK", 1)}},
    // A reply of nothing but blank lines is malformed at once, however its lines end.
    {"only_blank_lines", "AT+CSQ\r\r\n\r\n\r\n", nullptr, false, "+CSQ", {malformed()}},
    {"only_blank_lines_without_echo", "\r\n\r\n\r\n", nullptr, false, "+CSQ", {malformed()}},
    {"only_blank_lines_every_line", "AT+CMGL=4\r\r\n\r\n\r\n", "+CMS", true, "+CMGL=4", {malformed()}},
    {"only_blank_lines_lf", "AT+CSQ\r\n\n\n", nullptr, false, "+CSQ", {malformed()}},
    {"nul_bytes_dropped",
     std::string("\r\nAC\0ME\r\n\r\nO\0K\r\n", 16),
     nullptr,
     false,
     "+CGMI",
     {line("ACME"), final("OK", 1)}},
    {"cr_cr_lf_line_ends",
     "\r\nACME\r\r\n\r\nOK\r\r\n",
     nullptr,
     false,
     "+CGMI",
     {line("ACME"), final("OK", 1)}},
    {"value_over_lines",
     "\r\nACME\r\nPhones Ltd\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+CGMI",
     {line("ACME"), line("Phones Ltd"), final("OK", 1)}},
    {"long_line_cut",
     "\r\n0123456789ABCDEF\r\n\r\nOK\r\n",
     nullptr,
     false,
     "+X",
     {line("0123456"), final("OK", 1)},
     8},
    // The final result is recognised on the whole line, not on what fitted the buffer.
    {"final_found_in_tiny_buffer", "\r\n+CME ERROR: 321\r\n", "+CME", false, "+X", {final("", 0, 321)}, 1},
    {"ok_in_two_byte_buffer", "\r\nOK\r\n", nullptr, false, "+X", {final("O", 1)}, 2},
};

void PrintTo(const FrameCase &c, std::ostream *os) {
    *os << c.name;
}

class FrameTable : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameTable, WholeSlicedAndByteByByte) {
    const FrameCase &c = GetParam();
    for (size_t slice : {c.input.size(), size_t{1}, size_t{3}}) {
        SCOPED_TRACE("slice " + std::to_string(slice));
        EXPECT_EQ(frame(c.input, slice, c.errorPrefix, c.everyLine, c.command, c.bufSize), c.events);
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, FrameTable, ::testing::ValuesIn(kFrameCases),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(Framer, StopsRightAfterTheByteThatCompletesAnEvent) {
    // A line is complete at its CR: a handset that ends lines with CR alone sends nothing after it.
    const std::string in = "\r\nA1\r\n\r\nOK\r\nAT";
    const auto *bytes = reinterpret_cast<const uint8_t *>(in.data());
    Framer f;
    char buf[16];
    f.start(nullptr, false, Framer::Mode::Line, buf, sizeof buf);
    EXPECT_EQ(f.feed(bytes, in.size()), 5u);
    EXPECT_EQ(f.event(), Framer::kLine);
    f.start(nullptr, false, Framer::Mode::Line, buf, sizeof buf);
    EXPECT_EQ(f.feed(bytes + 5, in.size() - 5), 6u);
    EXPECT_EQ(f.event(), Framer::kFinal);
    EXPECT_EQ(f.state(), 0);
}

TEST(Framer, ResetDropsAPartialLine) {
    Framer f;
    char buf[16];
    f.start(nullptr, false, Framer::Mode::Line, buf, sizeof buf);
    const std::string part = "\r\n+CSQ: 1";
    f.feed(reinterpret_cast<const uint8_t *>(part.data()), part.size());
    EXPECT_EQ(f.state(), 1);
    f.reset();
    EXPECT_EQ(f.state(), 0);
    EXPECT_EQ(frame("\r\nOK\r\n", 1, nullptr, false, "", 16), std::vector<Event>{final("OK", 1)});
}

TEST(Framer, WithoutABufferStillFrames) {
    Framer f;
    f.start(nullptr, false, Framer::Mode::Line, nullptr, 0);
    const std::string in = "\r\nOK\r\n";
    f.feed(reinterpret_cast<const uint8_t *>(in.data()), in.size());
    EXPECT_EQ(f.event(), Framer::kFinal);
    EXPECT_EQ(f.stored(), 0u);
}

// ---- keeping command and reply in step ----

// One exchange of a sequence: the command sent, the bytes that arrive before the next command (or
// before a time-out when timedOut), and the events read from them.
struct Exchange {
    const char *command;
    std::string arrives;
    bool timedOut;
    std::vector<Event> events;
};

struct SequenceCase {
    const char *name;
    std::vector<Exchange> exchanges;
};

const SequenceCase kSequences[] = {
    // The first reply comes after the time-out, the echo at once: it is met ahead of the next
    // command's echo and skipped.
    {"late_reply_after_its_echo",
     {{"", "AT\r", true, {}},
      {"", "\r\nOK\r\nAT\r\r\nOK\r\n", false, {final("OK", 1)}},
      {"+CGMI", "AT+CGMI\r\r\nSIMULATED\r\n\r\nOK\r\n", false, {line("SIMULATED"), final("OK", 1)}}}},
    {"late_reply_then_other_command",
     {{"+CGMI", "AT+CGMI\r", true, {}},
      {"+CGMM", "\r\nSIMULATED\r\n\r\nOK\r\nAT+CGMM\r\r\nHS-1000\r\n\r\nOK\r\n", false,
       {line("HS-1000"), final("OK", 1)}}}},
    // Echo and reply both late: the earlier echo of the same command is taken, and the echo of the
    // second one then tells its reply from the next command's.
    {"late_echo_and_reply",
     {{"", "", true, {}},
      {"", "AT\r\r\nOK\r\nAT\r\r\nOK\r\n", false, {final("OK", 1)}},
      {"+CGMI", "AT+CGMI\r\r\nSIMULATED\r\n\r\nOK\r\n", false, {line("SIMULATED"), final("OK", 1)}}}},
    {"late_error_reply_skipped",
     {{"+CPBS?", "AT+CPBS?\r", true, {}},
      {"+CSQ", "\r\n+CME ERROR: 10\r\nAT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n", false,
       {line("+CSQ: 17,99"), final("OK", 1)}}}},
    // A listing left half read: its rest comes ahead of the next echo.
    {"listing_left_half_read",
     {{"+CPBR=1,3", "AT+CPBR=1,3\r\r\n+CPBR: 1,\"1\",129,\"A\"\r\n", false, {line("+CPBR: 1,\"1\",129,\"A\"")}},
      {"+CSQ", "+CPBR: 2,\"2\",129,\"B\"\r\n\r\nOK\r\nAT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n", false,
       {line("+CSQ: 17,99"), final("OK", 1)}}}},
    // Unframed stray lines of an echoing handset never stand in for the reply.
    {"stray_line_before_echo",
     {{"+CGMI", "AT+CGMI\r\r\nSIMULATED\r\n\r\nOK\r\n", false, {line("SIMULATED"), final("OK", 1)}},
      {"+CGMR", "junk\r\nAT+CGMR\r\r\nR1A\r\n\r\nOK\r\n", false, {line("R1A"), final("OK", 1)}}}},
    // A handset that stops echoing is still read.
    {"echo_turned_off",
     {{"E0", "ATE0\r\r\nOK\r\n", false, {final("OK", 1)}},
      {"+CGMI", "\r\nSIMULATED\r\n\r\nOK\r\n", false, {line("SIMULATED"), final("OK", 1)}},
      {"+CGMR", "R1A\r\n\r\nOK\r\n", false, {line("R1A"), final("OK", 1)}}}},
    // The PDU typed after the prompt is echoed as a line of hex digits ahead of the reply.
    {"pdu_echo_before_reply",
     {{"+CGMI", "AT+CGMI\r\r\nSIMULATED\r\n\r\nOK\r\n", false, {line("SIMULATED"), final("OK", 1)}},
      {"+CMGW=18", "0011000B916407281553F80000AA0AE8329BFD4697D9EC37\r\n+CMGW: 5\r\n\r\nOK\r\n", false,
       {line("+CMGW: 5"), final("OK", 1)}}}},
};

void PrintTo(const SequenceCase &c, std::ostream *os) {
    *os << c.name;
}

class SequenceTable : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(SequenceTable, EachReplyGoesToItsCommand) {
    for (size_t slice : {size_t{1000}, size_t{1}}) {
        SCOPED_TRACE("slice " + std::to_string(slice));
        Framer f;
        std::string pending; // bytes that arrived and are not yet read
        char buf[64];
        for (const Exchange &x : GetParam().exchanges) {
            SCOPED_TRACE(x.command);
            f.newCommand(x.command);
            if (std::string(x.command).rfind("+CMGW", 0) == 0)
                f.dataSent(); // as after the prompt
            pending += x.arrives;
            // Read as the terminal does: line by line up to the final result, the rest left for
            // the next command.
            std::vector<Event> got;
            size_t at = 0;
            for (bool done = false; !done;) {
                f.start("+CME", false, Framer::Mode::Line, buf, sizeof buf);
                while (at < pending.size() && f.event() == Framer::kNone)
                    at += f.feed(reinterpret_cast<const uint8_t *>(pending.data()) + at,
                                 std::min(slice, pending.size() - at));
                if (f.event() == Framer::kNone)
                    break;
                got.push_back({f.event(), std::string(buf, f.stored()), f.ok(), f.code()});
                done = f.event() != Framer::kLine;
            }
            pending.erase(0, at);
            EXPECT_EQ(got, x.events);
            if (x.timedOut)
                f.reset();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Exchanges, SequenceTable, ::testing::ValuesIn(kSequences),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(FramerInStep, WithoutEchoALateReplyAsksForADrain) {
    Framer f;
    f.newCommand("");
    f.reset(); // time-out
    f.newCommand("");
    EXPECT_EQ(f.lateReplies(), 1u);
    EXPECT_EQ(collect(f, "\r\nOK\r\n", 1, nullptr, false, 16), std::vector<Event>{final("OK", 1)});
    EXPECT_FALSE(f.echoOn());
    EXPECT_TRUE(f.drainWanted());
    f.newCommand("+CGMI");
    EXPECT_FALSE(f.drainWanted());
    EXPECT_EQ(f.lateReplies(), 0u);
}

TEST(FramerInStep, AnEchoingHandsetThatFallsSilentIsNotWaitedForEver) {
    // Echo seen, then the handset stops echoing and a reply is lost to a time-out: after one more
    // exchange the replies without echo are read again.
    Framer f;
    f.newCommand("+CGMI");
    EXPECT_EQ(collect(f, "AT+CGMI\r\r\nXY\r\n\r\nOK\r\n", 1, nullptr, false, 16),
              (std::vector<Event>{line("XY"), final("OK", 1)}));
    EXPECT_TRUE(f.echoOn());
    f.newCommand("+CSQ");
    f.reset(); // time-out before anything came
    f.newCommand("+CSQ");
    EXPECT_EQ(collect(f, "\r\n+CSQ: 1,2\r\n\r\nOK\r\n", 1, nullptr, false, 16), std::vector<Event>{});
    f.reset(); // time-out: the reply was taken for the late one
    f.newCommand("+CSQ");
    EXPECT_FALSE(f.echoOn());
    EXPECT_EQ(collect(f, "\r\n+CSQ: 1,2\r\n\r\nOK\r\n", 1, nullptr, false, 16),
              (std::vector<Event>{line("+CSQ: 1,2"), final("OK", 1)}));
}

// ---- whole-block mode ----

TEST(FramerWhole, JoinsTheLinesUpToTheBlankLine) {
    const std::string in = "\r\n+CPBR: 1,\"1\",129,\"A\"\r\n+CPBR: 2,\"2\",129,\"B\"\r\n\r\nOK\r\n";
    for (size_t slice : {in.size(), size_t{1}}) {
        EXPECT_EQ(frame(in, slice, "+CME", false, "+CPBR=1,2", 128, Framer::Mode::Whole),
                  (std::vector<Event>{line("+CPBR: 1,\"1\",129,\"A\"\r\n+CPBR: 2,\"2\",129,\"B\""),
                                      final("OK", 1)}));
    }
}

TEST(FramerWhole, FirstLineFinalOrBlank) {
    EXPECT_EQ(frame("\r\n+CME ERROR: 22\r\n", 1, "+CME", false, "+CPBR=1", 64, Framer::Mode::Whole),
              std::vector<Event>{final("+CME ERROR: 22", 0, 22)});
    // A blank line where the final result is due; blank lines ahead of the reply are skipped.
    EXPECT_EQ(
        frame("AT+CPBR=1\r\r\n\r\n+X: 1\r\n\r\n\r\n", 1, nullptr, false, "+CPBR=1", 64, Framer::Mode::Whole),
        (std::vector<Event>{line("+X: 1"), malformed()}));
}

TEST(FramerWhole, CutsToTheBuffer) {
    EXPECT_EQ(frame("\r\nABCDEF\r\nGHIJ\r\n\r\nOK\r\n", 1, nullptr, false, "+X", 10, Framer::Mode::Whole),
              (std::vector<Event>{line("ABCDEF\r\nG"), final("OK", 1)}));
}

} // namespace
