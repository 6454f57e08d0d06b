// UTF-8, UCS-2 and UTF-7 conversions, malformed handset text among them, and the local code page
// with and without the conversion library (a GBK local code page proves real conversion).
// Inputs are copied into exact-size heap buffers, so a read past a terminator is an ASan report.

#include "charset/charset_int.h"
#include "dv_charset.h"
#include "dv_result.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifndef SELVARK_QUORL_PATH
#error "the build passes the path of the built libquorl.so"
#endif

namespace {

using Bytes = std::vector<uint8_t>;

template <class Row> std::string rowName(const ::testing::TestParamInfo<Row> &info) { return info.param.name; }

std::vector<char> exact(const std::string &s) { return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1); }

// Units as big-endian bytes, with a zero unit after them.
Bytes ucs2(std::initializer_list<uint16_t> units) {
    Bytes b;
    for (uint16_t u : units) {
        b.push_back(static_cast<uint8_t>(u >> 8));
        b.push_back(static_cast<uint8_t>(u & 0xFF));
    }
    b.push_back(0);
    b.push_back(0);
    return b;
}

std::vector<uint16_t> unitsOf(const Bytes &b, int32_t n) {
    std::vector<uint16_t> u;
    for (int32_t i = 0; i < n; ++i)
        u.push_back(static_cast<uint16_t>(b[2 * static_cast<size_t>(i)] << 8 | b[2 * static_cast<size_t>(i) + 1]));
    return u;
}

// Every test starts without the conversion library unless its fixture loads it.
class NoQuorl : public ::testing::Test {
protected:
    void SetUp() override { CsUtil_loadFrom(nullptr); }
    void TearDown() override { CsUtil_loadFrom(nullptr); }
};

class WithQuorl : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CsUtil_loadFrom(SELVARK_QUORL_PATH), 0); }
    void TearDown() override {
        CsUtil_setLocalCodePage("UTF-8");
        CsUtil_loadFrom(nullptr);
    }
};

class WithGbk : public WithQuorl {
protected:
    void SetUp() override {
        WithQuorl::SetUp();
        ASSERT_EQ(CsUtil_setLocalCodePage("GBK"), 0);
    }
};

// ---- UCS-2 to UTF-8 ----

TEST(Ucs2ToUtf8, UnitsAtTheSequenceLengthBoundaries) {
    struct {
        uint16_t unit;
        const char *utf8;
    } rows[] = {
        {0x0041, "A"},
        {0x007F, "\x7f"},
        {0x0080, "\xc2\x80"},
        {0x07FF, "\xdf\xbf"},
        {0x0800, "\xe0\xa0\x80"},
        {0x4E2D, "\xe4\xb8\xad"},
        {0xFFFF, "\xef\xbf\xbf"},
    };
    for (const auto &r : rows) {
        Bytes in = ucs2({r.unit});
        char out[8];
        EXPECT_EQ(CsUtil_ucs2ToUtf8(in.data(), 1, out, sizeof out), static_cast<int32_t>(std::strlen(r.utf8)))
            << std::hex << r.unit;
        EXPECT_STREQ(out, r.utf8);
    }
}

TEST(Ucs2ToUtf8, CountsTerminatorsAndCuts) {
    Bytes in = ucs2({'A', 0x4E2D, 'B'});
    char out[16];
    EXPECT_EQ(CsUtil_ucs2ToUtf8(in.data(), -1, out, sizeof out), 5); // up to the zero unit
    EXPECT_STREQ(out, "A\xe4\xb8\xad" "B");
    EXPECT_EQ(CsUtil_ucs2ToUtf8(in.data(), 1, out, sizeof out), 1);
    EXPECT_STREQ(out, "A");
    EXPECT_EQ(CsUtil_ucs2ToUtf8(in.data(), 3, out, 4), 1); // the 3-byte character does not fit in 3 bytes
    EXPECT_STREQ(out, "A");
    EXPECT_EQ(CsUtil_ucs2ToUtf8(in.data(), 3, out, 5), 4);
    EXPECT_EQ(CsUtil_ucs2ToUtf8(in.data(), 0, out, sizeof out), 0);
    EXPECT_STREQ(out, "");

    Bytes zeroInside = ucs2({'A', 0, 'B'});
    // Surrogate pairs become one 4-byte character; a pair is never split by the room left, and a
    // lone surrogate reads as U+FFFD.
    Bytes emoji = ucs2({'a', 0xD83D, 0xDE00, 'b'});
    EXPECT_EQ(CsUtil_ucs2ToUtf8(emoji.data(), 4, out, sizeof out), 6);
    EXPECT_STREQ(out, "a\xf0\x9f\x98\x80" "b");
    EXPECT_EQ(CsUtil_ucs2ToUtf8(emoji.data(), 4, out, 5), 1);
    EXPECT_STREQ(out, "a");
    Bytes lone = ucs2({0xDE00, 'x', 0xD83D});
    EXPECT_EQ(CsUtil_ucs2ToUtf8(lone.data(), 3, out, sizeof out), 7);
    EXPECT_STREQ(out, "\xef\xbf\xbd" "x\xef\xbf\xbd");
    EXPECT_EQ(CsUtil_ucs2ToUtf8(zeroInside.data(), 3, out, sizeof out), 1); // a zero unit ends the text
    EXPECT_EQ(Ucs2Util_strlen(in.data()), 6);
    Bytes oddZeros = {0x41, 0x00, 0x00, 0x42, 0x00, 0x00}; // zero bytes that straddle two units
    EXPECT_EQ(Ucs2Util_strlen(oddZeros.data()), 4);
}

// ---- UTF-8 to UCS-2, malformed input among it ----

struct Utf8Row {
    const char *name;
    std::string utf8;
    std::vector<uint16_t> units;
};

class Utf8ToUcs2 : public ::testing::TestWithParam<Utf8Row> {};

TEST_P(Utf8ToUcs2, Decodes) {
    const Utf8Row &r = GetParam();
    std::vector<char> in = exact(r.utf8);
    Bytes out(2 * 64, 0xEE);
    int32_t n = CsUtil_utf8ToUcs2(in.data(), out.data(), 64);
    EXPECT_EQ(unitsOf(out, n), r.units);
    EXPECT_EQ(out[2 * static_cast<size_t>(n)], 0);
    EXPECT_EQ(out[2 * static_cast<size_t>(n) + 1], 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, Utf8ToUcs2, ::testing::Values(
    Utf8Row{"ascii", "Ab1", {'A', 'b', '1'}},
    Utf8Row{"twoByte", "\xc3\xa9", {0x00E9}},
    Utf8Row{"threeByte", "\xe4\xb8\xad\xe6\x96\x87", {0x4E2D, 0x6587}},
    Utf8Row{"empty", "", {}},
    // Fault: a stray continuation byte skipped to the next lead byte, eating ASCII and the terminator.
    Utf8Row{"strayContinuation", "ab\x80" "cd", {'a', 'b', '?', 'c', 'd'}},
    Utf8Row{"strayContinuationAtEnd", "ab\x80", {'a', 'b', '?'}},
    // Fault: a sequence cut by the end of the text read past the terminator.
    Utf8Row{"cutThreeByteAtEnd", "abc\xe4\xb8", {'a', 'b', 'c', '?'}},
    Utf8Row{"cutTwoByteAtEnd", "\xc3", {'?'}},
    Utf8Row{"cutThreeByteBeforeAscii", "\xe4\xb8" "A", {'?', 'A'}},
    Utf8Row{"leadAfterLead", "\xe4\xe4\xb8\xad", {'?', 0x4E2D}},
    // An emoji travels as a UTF-16 surrogate pair, the way handsets put it in UCS2 messages.
    Utf8Row{"fourByteIsASurrogatePair", "x\xf0\x9f\x98\x80y", {'x', 0xD83D, 0xDE00, 'y'}},
    Utf8Row{"encodedSurrogateIsBad", "\xed\xa0\xbd" "a", {'?', 'a'}},
    Utf8Row{"beyondUnicodeIsBad", "\xf4\x90\x80\x80" "a", {'?', 'a'}},
    Utf8Row{"cutFourByte", "x\xf0\x9f", {'x', '?'}},
    Utf8Row{"fiveAndSixByteLeads", "\xf8\x88\x80\x80\x80" "a\xfc\x84\x80\x80\x80\x80" "b", {'?', 'a', '?', 'b'}},
    Utf8Row{"overlongTwoByte", "\xc0\x80" "A", {'?', 'A'}},
    Utf8Row{"overlongThreeByte", "\xe0\x80\x80" "B", {'?', 'B'}},
    Utf8Row{"bytesFeAndFf", "\xfe\xff" "A", {'?', '?', 'A'}}),
    rowName<Utf8Row>);

TEST(Utf8ToUcs2Bounds, UnitsIncludeTheTerminator) {
    std::vector<char> in = exact("abc");
    Bytes out(6, 0xEE);
    EXPECT_EQ(CsUtil_utf8ToUcs2(in.data(), out.data(), 3), 2);
    EXPECT_EQ(unitsOf(out, 3), (std::vector<uint16_t>{'a', 'b', 0}));
    EXPECT_EQ(CsUtil_utf8ToUcs2(in.data(), out.data(), 0), 0);
    EXPECT_EQ(CsUtil_utf8ToUcs2(in.data(), nullptr, 3), DV_E_ARG);
    std::vector<char> emoji = exact("a\xf0\x9f\x98\x80");
    Bytes small(6, 0xEE);
    EXPECT_EQ(CsUtil_utf8ToUcs2(emoji.data(), small.data(), 3), 1); // the pair does not fit: not split
    EXPECT_EQ(unitsOf(small, 2), (std::vector<uint16_t>{'a', 0}));
}

// ---- UTF-7 ----

struct Utf7Row {
    const char *name;
    const char *utf7;
    const char *utf8;
};

class Utf7ToUtf8 : public ::testing::TestWithParam<Utf7Row> {};

TEST_P(Utf7ToUtf8, Decodes) {
    const Utf7Row &r = GetParam();
    std::vector<char> in = exact(r.utf7);
    char out[64];
    EXPECT_EQ(CsUtil_utf7ToUtf8(in.data(), out, sizeof out), static_cast<int32_t>(std::strlen(r.utf8)));
    EXPECT_STREQ(out, r.utf8);
}

INSTANTIATE_TEST_SUITE_P(Rows, Utf7ToUtf8, ::testing::Values(
    Utf7Row{"plusMinus", "A+-B", "A+B"},
    Utf7Row{"rfcSmiley", "Hi Mom -+Jjo--!", "Hi Mom -\xe2\x98\xba-!"},
    Utf7Row{"rfcJapanese", "+ZeVnLIqe-", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
    // Fault: a "+" without a later "-" ended the conversion and lost the rest.
    Utf7Row{"runToTheEnd", "A+ZeVnLIqe", "A\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
    Utf7Row{"runEndsAtABlank", "+ZeVnLIqe text", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e text"},
    Utf7Row{"surrogatePairIsOneCharacter", "a+2D3eAA-b", "a\xf0\x9f\x98\x80" "b"},
    Utf7Row{"loneHighSurrogate", "+2D0AQQ-", "\xef\xbf\xbd" "A"},
    Utf7Row{"runEndsAtAPeriod", "+AGEAYgBj.", "abc."},
    Utf7Row{"lineBreakInsideARun", "a+ZeV\r\nnLIqe-b", "a\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e" "b"},
    Utf7Row{"plusBeforeABlank", "1 + 1", "1 + 1"},
    Utf7Row{"plusAtTheEnd", "A+", "A+"},
    Utf7Row{"leftoverBitsDropped", "+AGE-", "a"},
    Utf7Row{"plain", "Hello, World", "Hello, World"}),
    rowName<Utf7Row>);

TEST(Utf7Bounds, ACharacterThatDoesNotFitEndsTheConversion) {
    char out[5];
    EXPECT_EQ(CsUtil_utf7ToUtf8("+ZeVnLIqe-", out, sizeof out), 3);
    EXPECT_STREQ(out, "\xe6\x97\xa5");
    EXPECT_EQ(CsUtil_utf7ToUtf8("abcdef", out, sizeof out), 4);
    EXPECT_STREQ(out, "abcd");
}

// ---- The local code page without the conversion library ----

// Fault: localToUcs2 and ucs2ToLocal answered 0 without the library even for ASCII text.
TEST_F(NoQuorl, AsciiPassesAndOtherTextIsEmptyInEveryDirection) {
    EXPECT_EQ(CsUtil_isLoaded(), 0);
    char out[32];
    EXPECT_EQ(CsUtil_localToUtf8("John Smith", out, sizeof out), 10);
    EXPECT_STREQ(out, "John Smith");
    EXPECT_EQ(CsUtil_utf8ToLocal("John Smith", out, sizeof out), 10);
    EXPECT_STREQ(out, "John Smith");
    EXPECT_EQ(CsUtil_utf8ToLocal("John Smith", out, 5), 4);
    EXPECT_STREQ(out, "John");

    Bytes u(64, 0xEE);
    EXPECT_EQ(CsUtil_localToUcs2("AB", u.data(), 32), 2);
    EXPECT_EQ(unitsOf(u, 3), (std::vector<uint16_t>{'A', 'B', 0}));
    Bytes ab = ucs2({'A', 'B'});
    EXPECT_EQ(CsUtil_ucs2ToLocal(ab.data(), -1, out, sizeof out), 2);
    EXPECT_STREQ(out, "AB");
    EXPECT_EQ(CsUtil_utf7ToLocal("A+-B", out, sizeof out), 3);
    EXPECT_STREQ(out, "A+B");

    std::strcpy(out, "junk");
    EXPECT_EQ(CsUtil_localToUtf8("\xe4\xb8\xad", out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    std::strcpy(out, "junk");
    EXPECT_EQ(CsUtil_utf8ToLocal("A\xe4\xb8\xad", out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(CsUtil_localToUcs2("\xe4\xb8\xad", u.data(), 32), 0);
    EXPECT_EQ(unitsOf(u, 1), (std::vector<uint16_t>{0}));
    Bytes zhong = ucs2({0x4E2D});
    std::strcpy(out, "junk");
    EXPECT_EQ(CsUtil_ucs2ToLocal(zhong.data(), 1, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(CsUtil_utf7ToLocal("+Ti1lhw-", out, sizeof out), 0);
    EXPECT_STREQ(out, "");
}

TEST_F(NoQuorl, MissingLibraryOrEntryPointsFailTheLoad) {
    EXPECT_EQ(CsUtil_loadFrom("/nonexistent/libquorl.so"), DV_E_FAIL);
    EXPECT_EQ(CsUtil_isLoaded(), 0);
    EXPECT_EQ(CsUtil_loadFrom("libm.so.6"), DV_E_FAIL); // a library without the two entry points
    EXPECT_EQ(CsUtil_isLoaded(), 0);
    EXPECT_EQ(CsUtil_setLocalCodePage("GBK"), DV_E_FAIL);
    char out[8];
    EXPECT_EQ(CsUtil_localToUtf8("ok", out, sizeof out), 2);
}

// CsUtil_init looks beside the object that holds the module first: for this test binary, the copy
// of libquorl.so the build puts next to it (for the program, the one beside libDravnik.so).
TEST_F(NoQuorl, InitFindsTheLibraryBesideItsOwnFile) {
    EXPECT_EQ(CsUtil_init(), 0);
    EXPECT_EQ(CsUtil_isLoaded(), 1);
    char out[8];
    EXPECT_EQ(CsUtil_utf8ToLocal("\xe4\xb8\xad", out, sizeof out), 3);
    CsUtil_cleanup();
    EXPECT_EQ(CsUtil_isLoaded(), 0);
    CsUtil_cleanup(); // harmless twice
}

// The library and libquorl.so export two functions of the same names; neither may bind to the
// other's. The test binary keeps its copies out of the dynamic symbol table, and quorl is loaded
// locally, so a global lookup finds neither.
TEST_F(WithQuorl, TheSameNamedEntryPointsStayApart) {
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "CsUtil_localToUtf8"), nullptr);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "CsUtil_utf8ToLocal"), nullptr);
    void *lib = dlopen(SELVARK_QUORL_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(dlsym(lib, "CsUtil_localToUtf8"), reinterpret_cast<void *>(&CsUtil_localToUtf8));
    dlclose(lib);
}

// ---- The local code page through the conversion library ----

TEST_F(WithQuorl, Utf8LocalCodePageKeepsTextAndCleansBadBytes) {
    char out[32];
    EXPECT_EQ(CsUtil_utf8ToLocal("\xe4\xb8\xad\xe6\x96\x87", out, sizeof out), 6);
    EXPECT_STREQ(out, "\xe4\xb8\xad\xe6\x96\x87");
    EXPECT_EQ(CsUtil_localToUtf8("a\xff" "b\xe4\xb8\xad", out, sizeof out), 6);
    EXPECT_STREQ(out, "a?b\xe4\xb8\xad");
    // A cut lands between characters: 4 bytes of room hold one 3-byte character, not a half.
    EXPECT_EQ(CsUtil_utf8ToLocal("\xe4\xb8\xad\xe6\x96\x87", out, 5), 3);
    EXPECT_EQ(CsUtil_localToUtf8("\xe4\xb8\xad\xe6\x96\x87", out, 5), 3);
    EXPECT_STREQ(out, "\xe4\xb8\xad");
}

struct GbkRow {
    const char *name;
    const char *utf8;
    const char *gbk;
};

class Gbk : public WithGbk, public ::testing::WithParamInterface<GbkRow> {};

TEST_P(Gbk, ConvertsBothWays) {
    const GbkRow &r = GetParam();
    char out[64];
    EXPECT_EQ(CsUtil_utf8ToLocal(r.utf8, out, sizeof out), static_cast<int32_t>(std::strlen(r.gbk)));
    EXPECT_STREQ(out, r.gbk);
    EXPECT_EQ(CsUtil_localToUtf8(r.gbk, out, sizeof out), static_cast<int32_t>(std::strlen(r.utf8)));
    EXPECT_STREQ(out, r.utf8);
}

INSTANTIATE_TEST_SUITE_P(Rows, Gbk, ::testing::Values(
    GbkRow{"zhong", "\xe4\xb8\xad", "\xd6\xd0"},
    GbkRow{"zhongwen", "\xe4\xb8\xad\xe6\x96\x87", "\xd6\xd0\xce\xc4"},
    GbkRow{"mixed", "Tel \xe4\xb8\xad 1", "Tel \xd6\xd0 1"},
    GbkRow{"ascii", "plain", "plain"}),
    rowName<GbkRow>);

TEST_F(WithGbk, Ucs2AndUtf7ReachTheLocalCodePage) {
    Bytes u(32, 0xEE);
    EXPECT_EQ(CsUtil_localToUcs2("\xd6\xd0" "A", u.data(), 16), 2);
    EXPECT_EQ(unitsOf(u, 3), (std::vector<uint16_t>{0x4E2D, 'A', 0}));
    Bytes zhongwen = ucs2({0x4E2D, 0x6587});
    char out[16];
    EXPECT_EQ(CsUtil_ucs2ToLocal(zhongwen.data(), 2, out, sizeof out), 4);
    EXPECT_STREQ(out, "\xd6\xd0\xce\xc4");
    EXPECT_EQ(CsUtil_ucs2ToLocal(zhongwen.data(), 0, out, sizeof out), 0);
    EXPECT_EQ(CsUtil_utf7ToLocal("+Ti1lhw-!", out, sizeof out), 5);
    EXPECT_STREQ(out, "\xd6\xd0\xce\xc4!");
}

TEST_F(WithGbk, CutsLandOnCharacterBoundariesAndUnknownCharactersBecomeQuestionMarks) {
    char out[16];
    // Room for 3 bytes: one two-byte character, never half of the second.
    EXPECT_EQ(CsUtil_utf8ToLocal("\xe4\xb8\xad\xe6\x96\x87", out, 4), 2);
    EXPECT_STREQ(out, "\xd6\xd0");
    EXPECT_EQ(CsUtil_localToUtf8("\xd6\xd0\xce\xc4", out, 6), 3);
    EXPECT_STREQ(out, "\xe4\xb8\xad");
    // Thai has no GBK code: "?" in its place, and the text after it survives.
    EXPECT_EQ(CsUtil_utf8ToLocal("a\xe0\xb8\x81" "b", out, sizeof out), 3);
    EXPECT_STREQ(out, "a?b");
    // A broken GBK pair (lead byte, then a digit) loses only the lead byte.
    EXPECT_EQ(CsUtil_localToUtf8("\xd6" "0\xd6\xd0", out, sizeof out), 5);
    EXPECT_STREQ(out, "?0\xe4\xb8\xad");
    // Unknown code pages are refused and the old one stays.
    EXPECT_EQ(CsUtil_setLocalCodePage("NO-SUCH-CODEPAGE"), DV_E_ARG);
    EXPECT_EQ(CsUtil_utf8ToLocal("\xe4\xb8\xad", out, sizeof out), 2);
}

} // namespace
