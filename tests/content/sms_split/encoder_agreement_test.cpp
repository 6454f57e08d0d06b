// The composer's counting agrees with the driver's SUBMIT encoder: every text it calls one message
// and every part it cuts is a message the encoder takes, for every printable ASCII character and
// for samples of other scripts, with and without titles and signatures.
#include "content/sms_split.h"

#include "sms_pdu.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using content::SplitSettings;
using content::Ssms;

int32_t encode(const std::string &text)
{
    SmsSendRec rec{};
    std::strcpy(rec.number, "+4930123456");
    if (text.size() >= sizeof rec.text)
        return -1000 - static_cast<int32_t>(text.size());
    std::memcpy(rec.text, text.data(), text.size());
    uint8_t out[SMS_PDU_SUBMIT_BUF];
    return SmsPdu_encodeSendRec(&rec, out, sizeof out);
}

std::string rep(const std::string &s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::vector<SplitSettings> settingsVariants()
{
    return {
        {.haveTitle = false, .signatureOn = false, .signature = ""},
        {.haveTitle = true, .signatureOn = false, .signature = ""},
        {.haveTitle = true, .signatureOn = true, .signature = "Jo"},
        {.haveTitle = true, .signatureOn = true, .signature = "\xE4\xB8\xAD\xE6\x96\x87"},
        {.haveTitle = false, .signatureOn = true, .signature = "[x]"},
    };
}

// Checks one body under every settings variant; answers the number of messages checked.
int checkBody(const std::string &body, const std::string &label)
{
    int checked = 0;
    for (const SplitSettings &s : settingsVariants()) {
        if (!content::IsSmsTooLong(body, s)) {
            const std::string whole = body + (content::SignatureAllowance(s) ? "<" + s.signature + ">" : "");
            EXPECT_GT(encode(whole), 0) << label << " counted as one message, sig '" << s.signature << "'";
            ++checked;
        }
        const content::SplitResult r = content::SplitSms(Ssms{.Tel = "+4930123456", .body = body}, s);
        EXPECT_FALSE(r.noRoom) << label;
        for (const Ssms &m : r.records) {
            EXPECT_GT(encode(m.body), 0) << label << " part '" << m.body << "' sig '" << s.signature << "'";
            ++checked;
        }
    }
    return checked;
}

TEST(SmsSplitEncoder, EveryPrintableAsciiCharacter)
{
    for (int c = 0x20; c <= 0x7E; ++c) {
        const std::string ch(1, char(c));
        const std::string label = "char " + std::to_string(c);
        for (int n : {70, 71, 159, 160, 161, 320})
            checkBody(rep(ch, n), label + " x" + std::to_string(n));
        // One such character among letters, at the start, the middle and the end.
        const std::string letters = rep("abcdefghij", 16);
        checkBody(ch + letters, label + " first");
        checkBody(letters.substr(0, 80) + ch + letters.substr(80), label + " middle");
        checkBody(letters + ch, label + " last");
        checkBody(letters.substr(0, 69) + ch, label + " at 70");
    }
}

TEST(SmsSplitEncoder, OtherScripts)
{
    const std::vector<std::pair<const char *, std::string>> samples = {
        {"CJK", "\xE4\xB8\xAD"},
        {"accented", "\xC3\xA9"},
        {"Cyrillic", "\xD0\x96"},
        {"Greek", "\xCE\xA9"},
        {"Arabic", "\xD8\xB9"},
        {"euro sign", "\xE2\x82\xAC"},
        {"emoji", "\xF0\x9F\x98\x80"},
        {"CJK and emoji", "\xE4\xB8\xAD\xF0\x9F\x98\x80"},
    };
    for (const auto &[name, s] : samples) {
        for (int n : {1, 34, 35, 36, 69, 70, 71, 140, 141, 300})
            checkBody(rep(s, n), std::string(name) + " x" + std::to_string(n));
        for (int pre : {1, 66, 67, 68, 69, 70, 100, 157, 159})
            checkBody(rep("x", pre) + s + rep("y", 100), std::string(name) + " after " + std::to_string(pre));
    }
}

} // namespace
