// The interface registry, storage names, the fault test, string helpers and the logging sinks.

#include "dv_log.h"
#include "dv_result.h"
#include "dv_util.h"
#include "dv_vos.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---- ItfMng ----

struct Mode {
    std::vector<std::string> *calls;
    std::string name;
    int32_t enterResult = 0;
    int32_t leaveResult = 0;
};
int32_t enterMode(void *u) {
    auto *m = static_cast<Mode *>(u);
    m->calls->push_back("enter " + m->name);
    return m->enterResult;
}
int32_t leaveMode(void *u) {
    auto *m = static_cast<Mode *>(u);
    m->calls->push_back("leave " + m->name);
    return m->leaveResult;
}

class Registry : public ::testing::Test {
protected:
    std::vector<std::string> calls;
    Mode sms{&calls, "sms"}, pb{&calls, "pb"};
    ItfMng *mng = ItfMng_new(2);
    int32_t iSms = ItfMng_reg(mng, &sms, enterMode, leaveMode);
    int32_t iPb = ItfMng_reg(mng, &pb, enterMode, leaveMode);
    void TearDown() override { ItfMng_delete(mng); }
};

TEST_F(Registry, SwitchLeavesTheOldEntryAndEntersTheNew) {
    ASSERT_EQ(iSms, 0);
    ASSERT_EQ(iPb, 1);
    EXPECT_EQ(ItfMng_exec(mng, iSms), 0);
    EXPECT_EQ(ItfMng_exec(mng, iSms), 0); // already current: nothing runs
    EXPECT_EQ(ItfMng_exec(mng, iPb), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"enter sms", "leave sms", "enter pb"}));
}

TEST_F(Registry, BadIndexesAndAFullTable) {
    int other;
    EXPECT_EQ(ItfMng_reg(mng, &other, nullptr, nullptr), DV_E_FULL);
    EXPECT_EQ(ItfMng_exec(mng, 2), DV_E_ARG);
    EXPECT_EQ(ItfMng_exec(mng, -1), DV_E_ARG);
    EXPECT_EQ(ItfMng_exec(nullptr, 5), 0);
    EXPECT_EQ(ItfMng_unreg(mng, 7), DV_E_ARG);
    EXPECT_EQ(ItfMng_unreg(mng, iPb), 0);
    EXPECT_EQ(ItfMng_exec(mng, iPb), DV_E_ARG); // a free slot
    EXPECT_EQ(ItfMng_reg(mng, &other, nullptr, nullptr), iPb); // the slot is reused
}

// Fault: a failed switch kept the entry current, so the mode change was never retried.
TEST_F(Registry, AFailedLeaveSkipsTheEnterAndLeavesNothingCurrent) {
    ASSERT_EQ(ItfMng_exec(mng, iSms), 0);
    sms.leaveResult = DV_E_IO;
    EXPECT_EQ(ItfMng_exec(mng, iPb), DV_E_IO);
    EXPECT_EQ(ItfMng_current(mng), -1);
    EXPECT_EQ(calls, (std::vector<std::string>{"enter sms", "leave sms"}));
    EXPECT_EQ(ItfMng_exec(mng, iPb), 0); // retried: nothing current, so only the enter runs
    EXPECT_EQ(calls.back(), "enter pb");
}

TEST_F(Registry, AFailedEnterIsRetriedByTheNextOperation) {
    pb.enterResult = DV_E_TIMEOUT;
    EXPECT_EQ(ItfMng_exec(mng, iPb), DV_E_TIMEOUT);
    pb.enterResult = 0;
    EXPECT_EQ(ItfMng_exec(mng, iPb), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"enter pb", "enter pb"}));
    EXPECT_EQ(ItfMng_current(mng), iPb);
}

TEST_F(Registry, UnregisteringTheCurrentEntryClearsCurrent) {
    ASSERT_EQ(ItfMng_exec(mng, iSms), 0);
    ASSERT_EQ(ItfMng_unreg(mng, iSms), 0);
    EXPECT_EQ(ItfMng_current(mng), -1);
    EXPECT_EQ(ItfMng_exec(mng, iPb), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"enter sms", "enter pb"})); // no leave of a dead entry
}

// ---- names and codes ----

TEST(StorageNames, BothDirections) {
    EXPECT_EQ(MsStor_nameToType("sm"), 1);
    EXPECT_EQ(MsStor_nameToType("Me"), 2);
    EXPECT_EQ(MsStor_nameToType("OTHER"), 3);
    EXPECT_EQ(MsStor_nameToType("XX"), 0);
    EXPECT_EQ(MsStor_nameToType(nullptr), 0);
    EXPECT_STREQ(MsStor_typeToName(2), "ME");
    EXPECT_STREQ(MsStor_typeToName(4), "UNKNOWN");
    EXPECT_STREQ(MsStor_typeToName(-1), "UNKNOWN");
}

TEST(FaultTest, OnlyLinkFaultsAreFaults) {
    const struct {
        int32_t code;
        int32_t fault;
    } rows[] = {{DV_E_MALFORMED, 1}, {DV_E_CLOSED, 1}, {DV_E_TIMEOUT, 1}, {DV_E_NOTCONN, 1},
                {DV_E_CANCELLED, 1}, {DV_E_IO, 0},     {DV_E_RANGE, 0},   {DV_E_ARG, 0},
                {DV_E_UNSUPPORTED, 0}, {DV_E_REFUSED, 0}, {0, 0},        {5, 0}};
    for (const auto &r : rows)
        EXPECT_EQ(NetUtil_isFaultErr(r.code), r.fault) << r.code;
}

TEST(EmptySlotDeathTest, EndsTheProcessWith101) {
    EXPECT_EXIT(ObjUtil_vfuncNull(), ::testing::ExitedWithCode(101), "Press OK to exit the program");
}

TEST(Unaligned, StoresInMachineOrderAtAnyAddress) {
    unsigned char buf[8] = {};
    put_unaligned_u32(0x11223344u, buf + 1);
    put_unaligned_u16(0xA1B2u, buf + 5);
    EXPECT_EQ(get_unaligned_u32(buf + 1), 0x11223344u);
    EXPECT_EQ(get_unaligned_u16(buf + 5), 0xA1B2u);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[7], 0);
}

// ---- StrUtil ----

TEST(StrUtil, TrimAndCase) {
    const struct {
        const char *name, *in, *trimmed, *upper;
    } rows[] = {
        {"plain", "abc", "abc", "ABC"},
        {"both ends", " \tab c\t ", "ab c", " \tAB C\t "},
        {"all blank", " \t ", "", " \t "},
        {"empty", "", "", ""},
        {"non-ascii kept", "\xc3\xa9x", "\xc3\xa9x", "\xc3\xa9X"},
    };
    for (const auto &r : rows) {
        std::string a = r.in, b = r.in;
        EXPECT_STREQ(StrUtil_strtrim(a.data()), r.trimmed) << r.name;
        EXPECT_STREQ(StrUtil_strupr(b.data()), r.upper) << r.name;
    }
    std::string s = "--x-y--";
    EXPECT_STREQ(StrUtil_strtrimExt(s.data(), "-"), "x-y");
}

TEST(StrUtil, TrimTryLeavesTheTextAlone) {
    const char *first, *last;
    const char *text = "  ab ";
    StrUtil_trimTry(text, &first, &last);
    EXPECT_EQ(first, text + 2);
    EXPECT_EQ(last, text + 3);
    const char *blank = "   ";
    StrUtil_trimTry(blank, &first, &last);
    EXPECT_EQ(last + 1, first);
}

TEST(StrUtil, CompareAndSearch) {
    EXPECT_EQ(StrUtil_stricmp("Hello", "hELLO"), 0);
    EXPECT_LT(StrUtil_stricmp("abc", "abd"), 0);
    EXPECT_GT(StrUtil_stricmp("abc", "ab"), 0);
    EXPECT_EQ(StrUtil_strincmp("+CGMM: X", "+cgmm: y", 6), 0);
    EXPECT_NE(StrUtil_strincmp("ab", "abc", 3), 0);
    const char *t = "Model: Nova";
    EXPECT_EQ(StrUtil_stristr(t, "NOVA"), t + 7);
    EXPECT_EQ(StrUtil_stristr(t, ""), t);
    EXPECT_EQ(StrUtil_stristr(t, "novas"), nullptr);
    EXPECT_EQ(StrUtil_isAllAscii("plain"), 1);
    EXPECT_EQ(StrUtil_isAllAscii("\xc2\xa3"), 0);
}

TEST(StrUtil, BoundedCopy) {
    char buf[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(StrUtil_strxfrm(buf, "abcdef", 4), 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(StrUtil_strxfrm(buf, "abc", 1), 0);
    EXPECT_STREQ(buf, "");
    buf[0] = 'x';
    EXPECT_EQ(StrUtil_strxfrm(buf, "abc", 0), 0); // no room: nothing written
    EXPECT_EQ(buf[0], 'x');
    char *d = StrUtil_strdup("dup");
    EXPECT_STREQ(d, "dup");
    std::free(d);
}

// ---- sinks ----

class Sinks : public ::testing::Test {
protected:
    fs::path dir;
    fs::path oldCwd;
    void SetUp() override {
        oldCwd = fs::current_path();
        dir = fs::temp_directory_path() / ("dv-sinks-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    void TearDown() override {
        StdoutConsole_cleanup();
        StdoutEdit_cleanup();
        Stdout_setLog(nullptr);
        fs::current_path(oldCwd);
        fs::remove_all(dir);
    }
    static std::string slurp(const fs::path &p) {
        std::ifstream f(p, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
};

struct FakeEdit {
    std::string text;
    int deletes = 0;
    static int32_t length(void *c) { return static_cast<int32_t>(static_cast<FakeEdit *>(c)->text.size()); }
    static int32_t lines(void *c) {
        auto &t = static_cast<FakeEdit *>(c)->text;
        return static_cast<int32_t>(std::count(t.begin(), t.end(), '\n'));
    }
    static void drop(void *c, int32_t n) {
        auto *e = static_cast<FakeEdit *>(c);
        ++e->deletes;
        size_t pos = 0;
        for (int32_t i = 0; i < n && pos != std::string::npos; ++i) {
            pos = e->text.find('\n', pos);
            if (pos != std::string::npos)
                ++pos;
        }
        e->text.erase(0, pos == std::string::npos ? e->text.size() : pos);
    }
    static void append(void *c, const char *t) { static_cast<FakeEdit *>(c)->text += t; }
    StdoutEditHost host() { return StdoutEditHost{this, length, lines, drop, append}; }
};

TEST_F(Sinks, ALogFileAloneReceivesNothing) {
    Stdout_setLog("alone.log");
    EXPECT_EQ(Stdout_printf("lost %d\n", 1), -1);
    Stdout_setLog(nullptr);
    std::string log = slurp("alone.log");
    EXPECT_EQ(log.find("lost"), std::string::npos);
    EXPECT_NE(log.find("* Begin at "), std::string::npos);
    EXPECT_NE(log.find("* End at "), std::string::npos);
}

TEST_F(Sinks, ConsoleAndLogFileWithBanners) {
    ASSERT_EQ(StdoutConsole_init(), 0);
    ASSERT_EQ(StdoutConsole_init(), 0);
    Stdout_setLog("run.log");
    EXPECT_EQ(printLine("hello"), 6); // the log file's count
    EXPECT_EQ(printStr("x"), 1);
    StdoutConsole_cleanup(); // closing the console also ends the log file
    EXPECT_EQ(printLine("after"), -1);
    std::string log = slurp("run.log");
    std::string stars(78, '*');
    EXPECT_EQ(log.rfind(stars + "\n* Begin at ", 0), 0u) << log;
    EXPECT_NE(log.find("hello\nx" + stars + "\n* End at "), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - 3), "*\n\n"); // the end banner is followed by a line feed
}

// The console cannot take the text: the failure is shown through the host's message box and the
// print answers -1; the other sinks still get the text.
TEST_F(Sinks, AFailedConsoleWriteIsShownInAMessageBox) {
    struct Shown {
        std::vector<std::pair<std::string, std::string>> boxes;
        static void hook(const char *text, const char *title, void *ctx) {
            static_cast<Shown *>(ctx)->boxes.emplace_back(text, title);
        }
    } shown;
    CnsVos_setMessageBoxHook(Shown::hook, &shown);
    const int saved = dup(STDERR_FILENO);
    const int readOnly = open("/dev/null", O_RDONLY);
    ASSERT_GE(saved, 0);
    ASSERT_GE(readOnly, 0);
    dup2(readOnly, STDERR_FILENO); // a write there fails with EBADF
    ASSERT_EQ(StdoutConsole_init(), 0);
    const int32_t r = printLine("lost");
    FakeEdit edit;
    StdoutEditHost host = edit.host();
    ASSERT_EQ(StdoutEdit_init(&host), 0);
    const int32_t withEdit = printLine("kept");
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(readOnly);
    CnsVos_setMessageBoxHook(nullptr, nullptr);

    EXPECT_EQ(r, -1);
    ASSERT_GE(shown.boxes.size(), 1u);
    EXPECT_EQ(shown.boxes[0].first, "write stdout fail: " + std::to_string(EBADF));
    EXPECT_EQ(shown.boxes[0].second, "info");
    EXPECT_EQ(withEdit, 6) << "the edit sink's count when the console fails";
    EXPECT_EQ(edit.text, "kept\r\n");
}

TEST_F(Sinks, EditSinkTurnsLineFeedsIntoCrLfAndKeepsHistory) {
    FakeEdit edit;
    StdoutEditHost host = edit.host();
    ASSERT_EQ(StdoutEdit_init(&host), 0);
    EXPECT_EQ(Stdout_printf("a\nb\n"), 6);
    EXPECT_EQ(edit.text, "a\r\nb\r\n");
    StdoutEdit_cleanup();
    EXPECT_EQ(slurp("history.txt"), "a\r\nb\r\n");
    StdoutEditHost incomplete{nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(StdoutEdit_init(&incomplete), DV_E_ARG);
}

TEST_F(Sinks, EditSinkDropsTheFirstLinesOfALongControl) {
    FakeEdit edit;
    for (int i = 0; i < 60; ++i)
        edit.text += std::string(500, 'x') + "\n";
    StdoutEditHost host = edit.host();
    ASSERT_EQ(StdoutEdit_init(&host), 0);
    Stdout_printf("tail\n");
    EXPECT_EQ(edit.deletes, 1);
    EXPECT_EQ(FakeEdit::lines(&edit), 60 - 51 + 1);
    EXPECT_EQ(edit.text.substr(edit.text.size() - 6), "tail\r\n");
}

// A print longer than the shared buffer is cut, never overrun.
TEST_F(Sinks, OverlongPrintsAreCut) {
    FakeEdit edit;
    StdoutEditHost host = edit.host();
    ASSERT_EQ(StdoutEdit_init(&host), 0);
    std::string big(5000, 'y');
    EXPECT_EQ(Stdout_printf("%s", big.c_str()), 2046);
    std::string lines;
    for (int i = 0; i < 1500; ++i)
        lines += "\n";
    edit.text.clear();
    Stdout_printf("%s", lines.c_str());
    EXPECT_LE(edit.text.size(), 2046u);
    EXPECT_EQ(edit.text.size() % 2, 0u); // never half a CR LF
}

TEST_F(Sinks, DumpWritesSixteenBytesALine) {
    FakeEdit edit;
    StdoutEditHost host = edit.host();
    ASSERT_EQ(StdoutEdit_init(&host), 0);
    unsigned char bytes[17];
    for (int i = 0; i < 17; ++i)
        bytes[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(Stdout_dump(bytes, 17), 17);
    EXPECT_EQ(edit.text, "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f\r\n10 \r\n");
}

} // namespace
