#include "content/sms_split.h"

#include "core/value_lists.h"

#include <algorithm>

namespace content {
namespace {

// One character of a UTF-8 text.
struct Char {
    size_t bytes = 1;
    int units = 1;  // UCS-2 units it takes
    bool wide = false;
};

// Bytes the driver's encoder sends in 7 bits; anything else makes the message UCS-2.
bool sevenBitSafe(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ' || (c >= '!' && c <= '?') ||
           c == '@' || c == '_' || c == '\r' || c == '\n';
}

Char charAt(std::string_view s, size_t pos)
{
    const auto b = static_cast<unsigned char>(s[pos]);
    if (b < 0x80)
        return {1, 1, !sevenBitSafe(b)};
    size_t len = 0;
    if ((b & 0xE0) == 0xC0 && b >= 0xC2)
        len = 2;
    else if ((b & 0xF0) == 0xE0)
        len = 3;
    else if ((b & 0xF8) == 0xF0 && b <= 0xF4)
        len = 4;
    if (len == 0 || pos + len > s.size())
        return {1, 1, true}; // a stray byte: one wide character, so no cut can split a sequence
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[pos + k]) & 0xC0) != 0x80)
            return {1, 1, true};
    return {len, len == 4 ? 2 : 1, true};
}

std::string frame(const SplitSettings &s)
{
    return SignatureAllowance(s) > 0 ? "<" + s.signature + ">" : std::string();
}

bool signatureWide(const SplitSettings &s)
{
    return SignatureAllowance(s) > 0 && HasWideChar(s.signature);
}

} // namespace

int GetSmsLength(std::string_view text)
{
    int n = 0;
    for (size_t pos = 0; pos < text.size();) {
        const Char c = charAt(text, pos);
        n += c.units;
        pos += c.bytes;
    }
    return n;
}

bool HasWideChar(std::string_view text)
{
    for (size_t pos = 0; pos < text.size();) {
        const Char c = charAt(text, pos);
        if (c.wide)
            return true;
        pos += c.bytes;
    }
    return false;
}

int SignatureAllowance(const SplitSettings &s)
{
    return s.signatureOn && !s.signature.empty() ? GetSmsLength(s.signature) + 2 : 0;
}

bool IsSmsTooLong(std::string_view text, const SplitSettings &s)
{
    const int limit = HasWideChar(text) || signatureWide(s) ? kSmsWideLimit : kSmsNarrowLimit;
    return GetSmsLength(text) > limit - SignatureAllowance(s);
}

std::string CutToOneMessage(std::string_view text, const SplitSettings &s)
{
    const int a = SignatureAllowance(s);
    bool wide = signatureWide(s);
    int n = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const Char c = charAt(text, pos);
        const bool w = wide || c.wide;
        if (n + c.units > (w ? kSmsWideLimit : kSmsNarrowLimit) - a)
            break;
        wide = w;
        n += c.units;
        pos += c.bytes;
    }
    return std::string(text.substr(0, pos));
}

SplitResult SplitSms(const Ssms &r, const SplitSettings &s)
{
    SplitResult out;
    const std::string sig = frame(s);
    const int a = SignatureAllowance(s);
    const bool sigWide = signatureWide(s);
    const std::string_view body = r.body;
    const bool single = !IsSmsTooLong(body, s);

    // The parts of the body, the same for every recipient.
    std::vector<std::string> parts;
    if (single) {
        parts.push_back(r.body + sig);
    } else {
        size_t pos = 0;
        int k = 1;
        do {
            const std::string title = s.haveTitle ? "<" + std::to_string(k) + ">" : std::string();
            const int b = static_cast<int>(title.size()) + a;
            bool wide = sigWide;
            int limit = (wide ? kSmsWideLimit : kSmsNarrowLimit) - b;
            const size_t start = pos;
            int m = 0;
            while (pos < body.size()) {
                const Char c = charAt(body, pos);
                if (c.wide && !wide) {
                    wide = true;
                    limit = kSmsWideLimit - b;
                }
                if (m + c.units > limit)
                    break;
                m += c.units;
                pos += c.bytes;
            }
            if (limit < 0 || (pos == start && pos < body.size())) {
                out.noRoom = true;
                return out;
            }
            parts.push_back(title + std::string(body.substr(start, pos - start)) + sig);
            ++k;
        } while (pos < body.size());
    }

    std::string tel = r.Tel;
    if (tel.empty() || tel.back() != ';')
        tel += ';';
    size_t from = 0;
    for (size_t semi = tel.find(';'); semi != std::string::npos; semi = tel.find(';', from)) {
        const std::string recipient = tel.substr(from, semi - from);
        from = semi + 1;
        for (const std::string &part : parts) {
            Ssms m;
            const bool first = out.records.empty();
            m.id = first ? r.id : -1;
            m.Tid = first ? r.Tid : -1;
            m.boxid = r.boxid;
            m.states = r.states;
            m.Tel = recipient;
            m.time = r.time.empty() ? "--" : r.time;
            m.body = part;
            m.V_time = r.V_time;
            m.Sca = r.Sca;
            out.records.push_back(std::move(m));
        }
    }
    return out;
}

StrippedText StripTags(std::string_view text)
{
    std::string_view s = text;
    if (s.size() >= 3 && s[0] == '<') {
        size_t j = 1;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9')
            ++j;
        if (j > 1 && j < s.size() && s[j] == '>')
            s.remove_prefix(j + 1);
    }
    StrippedText out;
    if (!s.empty() && s.back() == '>') {
        const size_t open = s.rfind('<');
        if (open != std::string_view::npos && open + 2 < s.size()) {
            out.signature = std::string(s.substr(open + 1, s.size() - open - 2));
            s = s.substr(0, open);
        }
    }
    out.text = std::string(s);
    return out;
}

std::string TrimText(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return std::string(text.substr(b, e - b));
}

void SaveValueLists(const ValueListSink &add, ComboValues &signature, ComboValues &centre)
{
    const std::pair<int, ComboValues *> combos[] = {{core::kSSInfoSignature, &signature},
                                                    {core::kSSInfoServiceCentre, &centre}};
    for (auto [cls, combo] : combos) {
        const std::string value = TrimText(combo->typed);
        if (value.empty() ||
            std::find(combo->entries.begin(), combo->entries.end(), value) != combo->entries.end())
            continue;
        if (add)
            add(cls, value);
        combo->entries.push_back(value);
    }
}

} // namespace content
