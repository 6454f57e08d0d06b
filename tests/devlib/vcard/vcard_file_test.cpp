// vCard files as people have them: written on other systems (LF or CR line ends), cut short, with
// stray bytes after END:VCARD, or in a character set other than UTF-8. Each file goes from disk
// through the card splitter and the reader, as a .vcf import does, and every card must come back.

#include "charset/charset_int.h"
#include "dv_result.h"
#include "dv_stream.h"
#include "dv_vcard.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifndef SELVARK_QUORL_PATH
#error "the build passes the path of the built libquorl.so"
#endif

namespace {

struct Card {
    std::string name; // the N value
    std::vector<std::string> tels;
    bool operator==(const Card &o) const { return name == o.name && tels == o.tels; }
};

std::ostream &operator<<(std::ostream &os, const Card &c) {
    os << "{" << c.name;
    for (const std::string &t : c.tels)
        os << " " << t;
    return os << "}";
}

// A file in the test's own temporary folder, removed when done.
class TempFile {
public:
    explicit TempFile(const std::string &bytes) {
        char tmpl[] = "/tmp/selvark-vcf-XXXXXX";
        int fd = mkstemp(tmpl);
        EXPECT_GE(fd, 0);
        close(fd);
        path_ = tmpl;
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

Card readCard(AbsFile *card) {
    AbsFile_seek(card, 0, 0);
    Vcard *v = Vcard_new(card);
    EXPECT_NE(v, nullptr);
    Card c;
    for (;;) {
        char value[512];
        int32_t type = 0, flags = 0, size = sizeof value;
        if (Vcard_get(v, &type, &flags, value, &size, nullptr, 0) != 1)
            break;
        if (type == VCARD_TYPE_N)
            c.name = value;
        else if (type == VCARD_TYPE_TEL)
            c.tels.push_back(value);
    }
    Vcard_delete(v);
    return c;
}

// Splits the file into cards and reads each, as an import does: cards until the input runs out,
// then the splitter is told that the input has ended.
std::vector<Card> importFile(const std::string &bytes) {
    TempFile file(bytes);
    AbsFile *in = AbsFileFile_new(file.path().c_str(), "rb");
    EXPECT_NE(in, nullptr);
    VcfStrmDec *d = VcfStrmDec_new();
    std::vector<Card> cards;
    // The lines of an open card stay in its buffer across calls.
    AbsFile *card = MemBuf_new(256, 0);
    for (bool ended = false;;) {
        int32_t r = ended ? VcfStrmDec_finish(d, card) : VcfStrmDec_dec(d, in, card);
        EXPECT_GE(r, 0);
        if (r == 1) {
            cards.push_back(readCard(card));
            MemBuf_clear(card);
        } else if (ended) {
            break;
        } else {
            ended = true;
        }
    }
    MemBuf_delete(card);
    VcfStrmDec_delete(d);
    AbsFileFile_delete(in);
    return cards;
}

const char kCrLfFile[] = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Kowal;Jan\r\nTEL;CELL:+48600100200\r\nEND:VCARD\r\n"
                         "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Nowak;Anna\r\nTEL:1\r\nTEL:2\r\nEND:VCARD\r\n"
                         "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;Ola\r\nEND:VCARD\r\n";

const std::vector<Card> kCards = {
    {"Kowal;Jan", {"+48600100200"}}, {"Nowak;Anna", {"1", "2"}}, {";Ola", {}}};

std::string withLineEnds(std::string text, const std::string &end) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            out += end;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string withoutFinalLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

TEST(VcardFiles, EveryLineEndReadsEveryCard) {
    for (const char *end : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(end)));
        std::string text = withLineEnds(kCrLfFile, end);
        EXPECT_EQ(importFile(text), kCards);
        EXPECT_EQ(importFile(withoutFinalLineEnd(text)), kCards);
    }
}

// Editors on other systems save UTF-8 with a byte-order mark in front of the first line.
TEST(VcardFiles, ByteOrderMarkBeforeTheFirstCard) {
    for (const char *end : {"\r\n", "\n"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(end)));
        EXPECT_EQ(importFile("\xEF\xBB\xBF" + withLineEnds(kCrLfFile, end)), kCards);
    }
}

TEST(VcardFiles, LastCardWithoutFinalLineEndNeedsNoFinishCall) {
    {
        std::string text = withoutFinalLineEnd(withLineEnds(kCrLfFile, "\n"));
        AbsFile *in = MemBuf_new(256, 0);
        AbsFile_write(in, text.data(), static_cast<int32_t>(text.size()));
        AbsFile_seek(in, 0, 0);
        VcfStrmDec *d = VcfStrmDec_new();
        AbsFile *out = MemBuf_new(256, 0);
        int cards = 0;
        while (VcfStrmDec_dec(d, in, out) == 1)
            ++cards;
        EXPECT_EQ(cards, 3);
        EXPECT_EQ(std::string(MemBuf_buf(out), static_cast<size_t>(MemBuf_len(out))).substr(
                      static_cast<size_t>(MemBuf_len(out)) - 11),
                  "END:VCARD\r\n"); // written with its line end
        MemBuf_delete(out);
        VcfStrmDec_delete(d);
        MemBuf_delete(in);
    }
}

TEST(VcardFiles, StrayBytesAfterMarkersStillOpenAndCloseCards) {
    std::string text = "BEGIN:VCARD \r\nN:A;a\r\nEND:VCARD  \r\n"
                       "begin:vcard\tx\nN:B;b\nEND:VCARD x\n"
                       "BEGIN:VCARD\r\nN:C;c\r\nEND:VCARD\x1a\r\n";
    std::vector<Card> cards = importFile(text);
    EXPECT_EQ(cards, (std::vector<Card>{{"A;a", {}}, {"B;b", {}}, {"C;c", {}}}));
    // A line that only begins like a marker is a property line inside the card.
    cards = importFile("BEGIN:VCARD\r\nN:D;d\r\nEND:VCARDS-AND-MORE\r\nTEL:5\r\nEND:VCARD\r\n");
    EXPECT_EQ(cards, (std::vector<Card>{{"D;d", {"5"}}}));
}

TEST(VcardFiles, CardCutShortKeepsWhatItHas) {
    std::vector<Card> cards = importFile("BEGIN:VCARD\r\nN:Kowal;Jan\r\nTEL:7\r\nBEGIN:VCARD\r\nN:Nowak;Anna\nTEL:8");
    // The second BEGIN opens a nested card inside the first; both are closed at the end.
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].tels, (std::vector<std::string>{"7", "8"}));
    EXPECT_EQ(importFile("BEGIN:VCARD\nN:;Solo\nTEL:9"), (std::vector<Card>{{";Solo", {"9"}}}));
}

// Character sets named by CHARSET: the bytes are made here with iconv, not typed in as a guess.
class VcardFileCharsets : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CsUtil_loadFrom(SELVARK_QUORL_PATH), 0); }
    void TearDown() override { CsUtil_loadFrom(nullptr); }

    static std::string encode(const char *charset, const std::string &utf8) {
        iconv_t cd = iconv_open(charset, "UTF-8");
        EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << charset;
        std::string out(4 * utf8.size() + 8, '\0');
        char *in = const_cast<char *>(utf8.data());
        size_t inLeft = utf8.size();
        char *o = out.data();
        size_t outLeft = out.size();
        EXPECT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<size_t>(-1)) << charset;
        iconv_close(cd);
        out.resize(out.size() - outLeft);
        return out;
    }

    static std::string qp(const std::string &bytes) {
        std::string out;
        char hex[4];
        for (unsigned char b : bytes) {
            std::snprintf(hex, sizeof hex, "=%02X", b);
            out += hex;
        }
        return out;
    }
};

TEST_F(VcardFileCharsets, ShiftJisFileReadsEveryCard) {
    // 表 and ソ carry the trail byte 0x5C, the backslash: it must not be taken for an escape.
    const std::string family = "山田表", given = "ソニア", note = "東京 表示";
    std::string sjisName = encode("SHIFT_JIS", family) + ";" + encode("SHIFT_JIS", given);
    ASSERT_NE(sjisName.find('\x5c'), std::string::npos);
    std::string text = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:" + sjisName +
                       "\r\nTEL:1\r\nEND:VCARD\r\n"
                       "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:" +
                       qp(encode("SHIFT_JIS", given)) + "\r\nTEL:2\r\nEND:VCARD\r\n";
    std::vector<Card> want = {{family + ";" + given, {"1"}}, {given, {"2"}}};
    for (const char *end : {"\r\n", "\n"}) {
        std::vector<Card> cards = importFile(withoutFinalLineEnd(withLineEnds(text, end)));
        ASSERT_EQ(cards.size(), 2u);
        VcardName n;
        ASSERT_EQ(VcardName_dec(&n, cards[0].name.c_str()), 0);
        EXPECT_EQ(std::string(n.family), family);
        EXPECT_EQ(std::string(n.given), given);
        EXPECT_EQ(cards, want);
    }
}

TEST_F(VcardFileCharsets, NamedCharsetsAreConvertedByName) {
    struct Case {
        const char *charset;
        std::string text;
    };
    const Case cases[] = {{"ISO-8859-1", "Müller Ærø"},   {"WINDOWS-1252", "50€ „Zoë“"},
                          {"BIG5", "陳大文"},             {"GB2312", "王小明"},
                          {"ISO-8859-2", "Łódź Gęś"},     {"KOI8-R", "Иванов"},
                          {"Shift_JIS", "ｶﾀｶﾅ"}, {"EUC-KR", "김민준"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.charset);
        std::string line = std::string("NOTE;CHARSET=") + c.charset + ":" + encode(c.charset, c.text);
        std::string b64 = std::string("NOTE;CHARSET=") + c.charset + ";ENCODING=QUOTED-PRINTABLE:" +
                          qp(encode(c.charset, c.text));
        AbsFile *f = MemBuf_new(256, 0);
        std::string card = line + "\nEND:VCARD\n" + b64 + "\nEND:VCARD\n";
        AbsFile_write(f, card.data(), static_cast<int32_t>(card.size()));
        AbsFile_seek(f, 0, 0);
        Vcard *v = Vcard_new(f);
        for (int i = 0; i < 2; ++i) {
            char value[256];
            int32_t type = 0, size = sizeof value;
            ASSERT_EQ(Vcard_get(v, &type, nullptr, value, &size, nullptr, 0), 1);
            EXPECT_EQ(type, VCARD_TYPE_NOTE);
            EXPECT_EQ(std::string(value), c.text);
            size = sizeof value;
            ASSERT_EQ(Vcard_get(v, &type, nullptr, value, &size, nullptr, 0), 1);
        }
        Vcard_delete(v);
        MemBuf_delete(f);
    }
}

TEST_F(VcardFileCharsets, UnknownOrHostileNameFallsBackToTheLocalCodePage) {
    // The local code page is UTF-8 here: the bytes come through as they are.
    for (const char *charset : {"X-NO-SUCH-SET", "../../etc/passwd", "UTF-16//TRANSLIT", ""}) {
        std::string card = std::string("NOTE;CHARSET=") + charset + ":Zo\xc3\xab\r\nEND:VCARD\r\n";
        AbsFile *f = MemBuf_new(64, 0);
        AbsFile_write(f, card.data(), static_cast<int32_t>(card.size()));
        AbsFile_seek(f, 0, 0);
        Vcard *v = Vcard_new(f);
        char value[64];
        int32_t size = sizeof value;
        ASSERT_EQ(Vcard_get(v, nullptr, nullptr, value, &size, nullptr, 0), 1) << charset;
        EXPECT_STREQ(value, "Zo\xc3\xab") << charset;
        Vcard_delete(v);
        MemBuf_delete(f);
    }
    char out[16];
    EXPECT_EQ(CsUtil_charsetToUtf8("NO-SUCH", "a", 1, out, sizeof out), DV_E_ARG);
    EXPECT_EQ(CsUtil_charsetToUtf8("SHIFT_JIS", "a", 1, out, sizeof out), 1);
    CsUtil_loadFrom(nullptr);
    EXPECT_EQ(CsUtil_charsetToUtf8("SHIFT_JIS", "a", 1, out, sizeof out), DV_E_FAIL);
}

TEST_F(VcardFileCharsets, Base64TextWithANamedCharsetIsTextNotBinary) {
    std::string bytes = encode("ISO-8859-1", "Müller");
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string b64;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<uint8_t>(bytes[i + 2]);
        b64 += kAlphabet[(v >> 18) & 63];
        b64 += kAlphabet[(v >> 12) & 63];
        b64 += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        b64 += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
    }
    std::string card = "NOTE;CHARSET=ISO-8859-1;ENCODING=BASE64:" + b64 + "\r\n\r\nEND:VCARD\r\n";
    AbsFile *f = MemBuf_new(64, 0);
    AbsFile_write(f, card.data(), static_cast<int32_t>(card.size()));
    AbsFile_seek(f, 0, 0);
    Vcard *v = Vcard_new(f);
    char value[64];
    int32_t size = sizeof value;
    ASSERT_EQ(Vcard_get(v, nullptr, nullptr, value, &size, nullptr, 0), 1);
    EXPECT_STREQ(value, "Müller");
    Vcard_delete(v);
    MemBuf_delete(f);
}

} // namespace
