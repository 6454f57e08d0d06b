// The composer's engine over ASCII, CJK, accented Latin and emoji texts: counting, the one-message
// rule, parts and their titles, recipients, the no-room refusal, the cut without splitting, and
// the stripping of stored titles and signatures.
#include "content/sms_split.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using content::SplitSettings;
using content::Ssms;

const std::string kCjk = "\xE4\xB8\xAD";        // 中
const std::string kAccent = "\xC3\xA9";         // é
const std::string kEmoji = "\xF0\x9F\x98\x80";  // 😀, outside the BMP

std::string rep(const std::string &s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::string ascii(int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += char('a' + i % 26);
    return out;
}

const SplitSettings kPlain{.haveTitle = false, .signatureOn = false, .signature = ""};
const SplitSettings kTitled{.haveTitle = true, .signatureOn = false, .signature = ""};
const SplitSettings kSigned{.haveTitle = false, .signatureOn = true, .signature = "ab"};

std::vector<std::string> bodies(const content::SplitResult &r)
{
    std::vector<std::string> out;
    for (const Ssms &m : r.records)
        out.push_back(m.body);
    return out;
}

TEST(SmsSplit, Counting)
{
    EXPECT_EQ(content::GetSmsLength(""), 0);
    EXPECT_EQ(content::GetSmsLength(ascii(7)), 7);
    EXPECT_EQ(content::GetSmsLength(rep(kCjk, 3) + rep(kAccent, 2)), 5);
    EXPECT_EQ(content::GetSmsLength(kEmoji), 2) << "a surrogate pair";
    EXPECT_FALSE(content::HasWideChar("Hello, world! <1> @_$#%&'()*+-./:;=?\r\n"));
    for (const char *w : {"[", "\\", "]", "^", "`", "{", "|", "}", "~", "\t", "\x7F"})
        EXPECT_TRUE(content::HasWideChar(std::string("abc") + w)) << int(w[0]);
    EXPECT_TRUE(content::HasWideChar(kAccent));
}

struct OneMessageRow {
    const char *name;
    std::string text;
    SplitSettings settings;
    bool tooLong;
};

TEST(SmsSplit, OneMessageRule)
{
    const SplitSettings cjkSig{.haveTitle = false, .signatureOn = true, .signature = kCjk + kCjk};
    const SplitSettings sigOff{.haveTitle = false, .signatureOn = false, .signature = "ab"};
    const OneMessageRow rows[] = {
        {"160 ASCII", ascii(160), kPlain, false},
        {"161 ASCII", ascii(161), kPlain, true},
        {"159 ASCII and a bracket", ascii(159) + "[", kPlain, true},
        {"70 ASCII and a bracket", ascii(69) + "[", kPlain, false},
        {"70 CJK", rep(kCjk, 70), kPlain, false},
        {"71 CJK", rep(kCjk, 71), kPlain, true},
        {"70 accented", rep(kAccent, 70), kPlain, false},
        {"35 emoji", rep(kEmoji, 35), kPlain, false},
        {"35 emoji and one letter", rep(kEmoji, 35) + "a", kPlain, true},
        {"100 ASCII and one CJK", ascii(100) + kCjk, kPlain, true},
        {"signature ab, 156 ASCII", ascii(156), kSigned, false},
        {"signature ab, 157 ASCII", ascii(157), kSigned, true},
        {"signature off counts nothing", ascii(160), sigOff, false},
        {"CJK signature, 100 ASCII", ascii(100), cjkSig, true},
        {"CJK signature, 66 ASCII", ascii(66), cjkSig, false},
        {"CJK signature, 67 ASCII", ascii(67), cjkSig, true},
    };
    for (const OneMessageRow &r : rows)
        EXPECT_EQ(content::IsSmsTooLong(r.text, r.settings), r.tooLong) << r.name;
}

struct SplitRow {
    const char *name;
    std::string body;
    SplitSettings settings;
    std::vector<std::string> parts;
};

TEST(SmsSplit, Parts)
{
    const SplitSettings titledSigned{.haveTitle = true, .signatureOn = true, .signature = "ab"};
    const SplitSettings cjkSig{.haveTitle = true, .signatureOn = true, .signature = kCjk};
    const SplitRow rows[] = {
        {"160 ASCII, one message", ascii(160), kTitled, {ascii(160)}},
        {"161 ASCII with titles", ascii(161), kTitled, {"<1>" + ascii(157), "<2>" + ascii(161).substr(157)}},
        {"161 ASCII without titles", ascii(161), kPlain, {ascii(160), ascii(161).substr(160)}},
        {"70 CJK, one message", rep(kCjk, 70), kTitled, {rep(kCjk, 70)}},
        {"71 CJK with titles", rep(kCjk, 71), kTitled, {"<1>" + rep(kCjk, 67), "<2>" + rep(kCjk, 4)}},
        {"71 CJK without titles", rep(kCjk, 71), kPlain, {rep(kCjk, 70), kCjk}},
        {"a signature on every part", ascii(161), titledSigned,
         {"<1>" + ascii(153) + "<ab>", "<2>" + ascii(161).substr(153) + "<ab>"}},
        // b = 3: a part that has 68 ASCII when it meets the CJK ends before it.
        {"first wide after more than 70 - b", ascii(100) + kCjk + ascii(80), kTitled,
         {"<1>" + ascii(100), "<2>" + kCjk + ascii(80).substr(0, 66), "<3>" + ascii(80).substr(66)}},
        {"first wide exactly at 70 - b", ascii(66) + kCjk + ascii(100), kTitled,
         {"<1>" + ascii(66) + kCjk, "<2>" + ascii(100)}},
        {"a last part of one character", ascii(315), kTitled,
         {"<1>" + ascii(157), "<2>" + ascii(315).substr(157, 157), "<3>" + ascii(315).substr(314)}},
        {"last part holds one character", ascii(161), kPlain, {ascii(160), "e"}},
        {"emoji pair never cut", "a" + rep(kEmoji, 35), kPlain, {"a" + rep(kEmoji, 34), kEmoji}},
        {"accented 71", rep(kAccent, 71), kPlain, {rep(kAccent, 70), kAccent}},
        // The CJK signature puts every part on the 70 limit from its start: 70 - 3 - 3 = 64.
        {"wide signature", ascii(100), cjkSig,
         {"<1>" + ascii(64) + "<" + kCjk + ">", "<2>" + ascii(100).substr(64) + "<" + kCjk + ">"}},
    };
    for (const SplitRow &r : rows) {
        const content::SplitResult out = content::SplitSms(Ssms{.Tel = "+1", .body = r.body}, r.settings);
        EXPECT_FALSE(out.noRoom) << r.name;
        EXPECT_EQ(bodies(out), r.parts) << r.name;
    }
}

TEST(SmsSplit, Recipients)
{
    const Ssms r{.id = 41, .boxid = 4, .Tid = 7, .states = 2, .Tel = "a;b", .time = "", .body = ascii(161),
                 .V_time = "v", .Sca = "+4917"};
    const content::SplitResult out = content::SplitSms(r, kTitled);
    ASSERT_EQ(out.records.size(), 4u);
    const std::string tels[] = {"a", "a", "b", "b"};
    const std::string titles[] = {"<1>", "<2>", "<1>", "<2>"};
    for (size_t i = 0; i < 4; ++i) {
        const Ssms &m = out.records[i];
        EXPECT_EQ(m.Tel, tels[i]);
        EXPECT_EQ(m.body.substr(0, 3), titles[i]);
        EXPECT_EQ(m.id, i == 0 ? 41 : -1);
        EXPECT_EQ(m.Tid, i == 0 ? 7 : -1);
        EXPECT_EQ(m.boxid, 4);
        EXPECT_EQ(m.states, 2);
        EXPECT_EQ(m.time, "--");
        EXPECT_EQ(m.V_time, "v");
        EXPECT_EQ(m.Sca, "+4917");
    }

    const std::map<std::string, std::vector<std::string>> rows = {
        {"a;;b", {"a", "", "b"}},
        {"a; b", {"a", " b"}},
        {"a;b;", {"a", "b"}},
        {"", {""}},
    };
    for (const auto &[tel, want] : rows) {
        std::vector<std::string> got;
        for (const Ssms &m : content::SplitSms(Ssms{.Tel = tel, .body = "hi"}, kPlain).records)
            got.push_back(m.Tel);
        EXPECT_EQ(got, want) << tel;
    }
}

TEST(SmsSplit, NoRoomIsRefused)
{
    // A 66-character CJK signature leaves a titled part 70 - 3 - 68 < 1: no character fits.
    const SplitSettings longSig{.haveTitle = true, .signatureOn = true, .signature = rep(kCjk, 66)};
    EXPECT_TRUE(content::IsSmsTooLong("hello", longSig));
    const content::SplitResult r = content::SplitSms(Ssms{.Tel = "+1", .body = "hello"}, longSig);
    EXPECT_TRUE(r.noRoom);
    EXPECT_TRUE(r.records.empty());
    // An ASCII signature of 157 with titles: 160 - 3 - 159 < 0.
    const SplitSettings huge{.haveTitle = true, .signatureOn = true, .signature = ascii(157)};
    EXPECT_TRUE(content::SplitSms(Ssms{.Tel = "+1", .body = ascii(5)}, huge).noRoom);
    // One unit left per part and a surrogate pair to place: no part could ever take it.
    const SplitSettings sig67{.haveTitle = false, .signatureOn = true, .signature = rep(kCjk, 67)};
    EXPECT_TRUE(content::SplitSms(Ssms{.Tel = "+1", .body = kEmoji}, sig67).noRoom);
}

TEST(SmsSplit, CutWithoutSplitting)
{
    EXPECT_EQ(content::CutToOneMessage(ascii(200), kPlain), ascii(160));
    EXPECT_EQ(content::CutToOneMessage(ascii(200), kSigned), ascii(156));
    EXPECT_EQ(content::CutToOneMessage(rep(kCjk, 80), kPlain), rep(kCjk, 70));
    EXPECT_EQ(content::CutToOneMessage(ascii(100) + kCjk, kPlain), ascii(100));
    EXPECT_EQ(content::CutToOneMessage(ascii(69) + kEmoji, kPlain), ascii(69)) << "never half a pair";
    EXPECT_EQ(content::CutToOneMessage(ascii(68) + kEmoji + "x", kPlain), ascii(68) + kEmoji);
    EXPECT_EQ(content::CutToOneMessage("short", kPlain), "short");
}

struct StripRow {
    std::string in, text, signature;
};

TEST(SmsSplit, StripTags)
{
    const StripRow rows[] = {
        {"<2>text<sig>", "text", "sig"},
        {"<12>text", "text", ""},
        {"text<sig>", "text", "sig"},
        {"x<y and y>z", "x<y and y>z", ""},  // inner brackets are text
        {"a<b", "a<b", ""},                    // unterminated
        {"a>b<c", "a>b<c", ""},                // reversed
        {"<a>b", "<a>b", ""},                  // not a title
        {"<1>x<a>y<sig>", "x<a>y", "sig"},     // only the last segment is the signature
        {"x<>", "x<>", ""},
        {"<2>" + kCjk + "<" + kCjk + ">", kCjk, kCjk},
        {"", "", ""},
    };
    for (const StripRow &r : rows) {
        const content::StrippedText out = content::StripTags(r.in);
        EXPECT_EQ(out.text, r.text) << r.in;
        EXPECT_EQ(out.signature, r.signature) << r.in;
    }
}

TEST(SmsSplit, ValueLists)
{
    std::vector<std::pair<int, std::string>> added;
    auto sink = [&](int cls, const std::string &v) { added.emplace_back(cls, v); };
    content::ComboValues sign{" Jo ", {"Al"}}, sca{"+4917", {"+4917"}};
    content::SaveValueLists(sink, sign, sca);
    EXPECT_EQ(added, (std::vector<std::pair<int, std::string>>{{1, "Jo"}}));
    EXPECT_EQ(sign.entries, (std::vector<std::string>{"Al", "Jo"}));
    // Again, and blanks only: nothing more.
    content::SaveValueLists(sink, sign, sca);
    sca.typed = "  ";
    content::SaveValueLists(sink, sign, sca);
    EXPECT_EQ(added.size(), 1u);
}

} // namespace
