// AtLex and BnfLex over memory streams, and over a stream that fails with a link fault.

#include "dv_at.h"
#include "dv_result.h"
#include "dv_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using Token = std::pair<int32_t, std::string>;

enum class Lexer { At, Bnf };

// Every token of text until the first error, which ends the list as (error, "").
std::vector<Token> tokens(Lexer lexer, const std::string &text, const char *separators = ",") {
    std::string copy = text;
    AbsFile *in =
        AbsFileMem_new(copy.data(), static_cast<int32_t>(copy.size()), static_cast<int32_t>(copy.size()), 0);
    StrBuf *sb = StrBuf_new(16);
    std::vector<Token> out;
    for (int i = 0; i < 64; ++i) {
        int32_t r = lexer == Lexer::At ? AtLex_do(in, sb) : BnfLex_get1(in, sb, separators);
        if (r < 0) {
            out.emplace_back(r, "");
            break;
        }
        out.emplace_back(r, StrBuf_buf(sb));
    }
    StrBuf_delete(sb);
    AbsFileMem_delete(in);
    return out;
}

constexpr int32_t kEnd = -202;

struct LexCase {
    const char *name;
    Lexer lexer;
    std::string text;
    std::vector<Token> tokens;
};

const LexCase kLexCases[] = {
    {"signal_quality",
     Lexer::At,
     " +CSQ: 17,99",
     {{AT_TOK_WORD, "+CSQ:"}, {AT_TOK_NUMBER, "17"}, {',', ","}, {AT_TOK_NUMBER, "99"}, {kEnd, ""}}},
    {"storage_reply",
     Lexer::At,
     "+CPMS: \"SM\",3,20",
     {{AT_TOK_WORD, "+CPMS:"},
      {AT_TOK_STRING, "SM"},
      {',', ","},
      {AT_TOK_NUMBER, "3"},
      {',', ","},
      {AT_TOK_NUMBER, "20"},
      {kEnd, ""}}},
    {"range_with_dash",
     Lexer::At,
     "(1-250),40",
     {{'(', "("},
      {AT_TOK_NUMBER, "1"},
      {'-', "-"},
      {AT_TOK_NUMBER, "250"},
      {')', ")"},
      {',', ","},
      {AT_TOK_NUMBER, "40"},
      {kEnd, ""}}},
    {"escaped_quote",
     Lexer::At,
     "\"a\\\"b\\\\c\",1",
     {{AT_TOK_STRING, "a\"b\\c"}, {',', ","}, {AT_TOK_NUMBER, "1"}, {kEnd, ""}}},
    {"empty_string", Lexer::At, "\"\"", {{AT_TOK_STRING, ""}, {kEnd, ""}}},
    {"word_stops_at_quote", Lexer::At, "ab\"c\"", {{AT_TOK_WORD, "ab"}, {AT_TOK_STRING, "c"}, {kEnd, ""}}},
    {"number_then_word", Lexer::At, "12ab", {{AT_TOK_NUMBER, "12"}, {AT_TOK_WORD, "ab"}, {kEnd, ""}}},
    {"line_ends_are_blanks", Lexer::At, "\r\n1\r\n", {{AT_TOK_NUMBER, "1"}, {kEnd, ""}}},
    {"unterminated_string", Lexer::At, "\"abc", {{kEnd, ""}}},
    {"only_blanks", Lexer::At, " \t ", {{kEnd, ""}}},
    {"bnf_blank_inside_word",
     Lexer::Bnf,
     "one two,three",
     {{AT_TOK_WORD, "one two"}, {',', ","}, {AT_TOK_WORD, "three"}, {kEnd, ""}}},
    {"bnf_line_ends",
     Lexer::Bnf,
     "a\r\nb\rc\r",
     {{AT_TOK_WORD, "a"},
      {AT_TOK_CRLF, "\r\n"},
      {AT_TOK_WORD, "b"},
      {AT_TOK_CR, "\r"},
      {AT_TOK_WORD, "c"},
      {AT_TOK_CR, "\r"},
      {kEnd, ""}}},
    {"bnf_string_and_number_word",
     Lexer::Bnf,
     " \"x y\",12",
     {{AT_TOK_STRING, "x y"}, {',', ","}, {AT_TOK_WORD, "12"}, {kEnd, ""}}},
};

void PrintTo(const LexCase &c, std::ostream *os) {
    *os << c.name;
}

class LexTable : public ::testing::TestWithParam<LexCase> {};

TEST_P(LexTable, Tokens) {
    const LexCase &c = GetParam();
    EXPECT_EQ(tokens(c.lexer, c.text), c.tokens);
}

INSTANTIATE_TEST_SUITE_P(Texts, LexTable, ::testing::ValuesIn(kLexCases),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(Lex, BadArguments) {
    char text[] = "1";
    AbsFile *in = AbsFileMem_new(text, 1, 1, 0);
    StrBuf *sb = StrBuf_new(8);
    StrBuf_appendChars(sb, "old");
    EXPECT_EQ(AtLex_do(nullptr, sb), DV_E_ARG);
    EXPECT_STREQ(StrBuf_buf(sb), "") << "the token buffer is cleared first";
    EXPECT_EQ(AtLex_do(in, nullptr), DV_E_ARG);
    EXPECT_EQ(BnfLex_get1(nullptr, sb, ","), DV_E_ARG);
    EXPECT_EQ(AtLex_doExt(in, sb, nullptr, nullptr), AT_TOK_NUMBER) << "NULL sets are empty sets";
    StrBuf_delete(sb);
    AbsFileMem_delete(in);
}

TEST(Lex, BnfSkipsTokensWithoutABuffer) {
    char text[] = "one,two";
    AbsFile *in = AbsFileMem_new(text, 7, 7, 0);
    EXPECT_EQ(BnfLex_get1(in, nullptr, ","), AT_TOK_WORD);
    EXPECT_EQ(BnfLex_get1(in, nullptr, ","), ',');
    EXPECT_EQ(BnfLex_get1(in, nullptr, ","), AT_TOK_WORD);
    EXPECT_EQ(BnfLex_get1(in, nullptr, ","), kEnd);
    AbsFileMem_delete(in);
}

TEST(Lex, TokensLongerThanANonGrowingBufferAreCut) {
    char text[] = "ABCDEFGHIJKLMNOP,1";
    AbsFile *in = AbsFileMem_new(text, 18, 18, 0);
    StrBuf *sb = StrBuf_new(0);
    char small[6];
    StrBuf_setBuf(sb, small, sizeof small, 0);
    EXPECT_EQ(AtLex_do(in, sb), AT_TOK_WORD);
    EXPECT_LT(StrBuf_len(sb), static_cast<int32_t>(sizeof small));
    EXPECT_EQ(AtLex_do(in, sb), ',');
    StrBuf_delete(sb);
    AbsFileMem_delete(in);
}

// A stream that hands out its text and then fails with a fixed error.
struct FailingStream {
    AbsFile itf;
    std::string text;
    size_t pos = 0;
    int32_t error;
};

FailingStream *failing(AbsFile *f) {
    return static_cast<FailingStream *>(f->self);
}

int32_t failingGetc(AbsFile *f) {
    FailingStream *s = failing(f);
    if (s->pos < s->text.size())
        return static_cast<uint8_t>(s->text[s->pos++]);
    ++s->pos; // the failed read, so that a step back lands on the last real byte
    return s->error;
}

int32_t failingUngetc(AbsFile *f) {
    FailingStream *s = failing(f);
    if (s->pos == 0)
        return DV_E_STATE;
    --s->pos;
    return 0;
}

struct FailingFixture {
    FailingStream s;
    explicit FailingFixture(std::string text, int32_t error) {
        s.itf = AbsFile{};
        s.itf.self = &s;
        s.itf.getChar = failingGetc;
        s.itf.ungetChar = failingUngetc;
        s.text = std::move(text);
        s.error = error;
    }
    AbsFile *stream() { return &s.itf; }
};

TEST(Lex, BnfReturnsALinkFaultThatCutsAWord) {
    FailingFixture closed("word", DV_E_CLOSED);
    StrBuf *sb = StrBuf_new(16);
    EXPECT_EQ(BnfLex_get1(closed.stream(), sb, ","), DV_E_CLOSED);

    // Another error merely ends the word, and a lone CR.
    FailingFixture other("word", DV_E_IO);
    EXPECT_EQ(BnfLex_get1(other.stream(), sb, ","), AT_TOK_WORD);
    EXPECT_STREQ(StrBuf_buf(sb), "word");
    FailingFixture cr("\r", DV_E_IO);
    EXPECT_EQ(BnfLex_get1(cr.stream(), sb, ","), AT_TOK_CR);
    FailingFixture crClosed("\r", DV_E_TIMEOUT);
    EXPECT_EQ(BnfLex_get1(crClosed.stream(), sb, ","), DV_E_TIMEOUT);
    StrBuf_delete(sb);
}

TEST(Lex, AtLexReturnsAnErrorInsideAToken) {
    StrBuf *sb = StrBuf_new(16);
    FailingFixture str("\"abc", DV_E_TIMEOUT);
    EXPECT_EQ(AtLex_do(str.stream(), sb), DV_E_TIMEOUT);
    FailingFixture num("12", DV_E_CLOSED);
    EXPECT_EQ(AtLex_do(num.stream(), sb), DV_E_CLOSED);
    StrBuf_delete(sb);
}

} // namespace
