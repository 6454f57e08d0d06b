#include "lang_tsv.h"

#include "core/lang_mng.h"
#include "platform/table.h"

#include <unordered_map>

namespace langbuild {

bool validUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t n;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (s.size() - i <= n)
            return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

namespace {

// C0 controls, DEL and the C1 controls (U+0080-U+009F, "\xC2\x80".."\xC2\x9F" in valid UTF-8).
bool hasControl(std::string_view s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F)
            return true;
        if (c == 0xC2 && i + 1 < s.size()) {
            const auto d = static_cast<unsigned char>(s[i + 1]);
            if (d >= 0x80 && d <= 0x9F)
                return true;
        }
    }
    return false;
}

// Unescapes \t \n \\; false on any other use of a backslash.
bool unescape(std::string_view in, std::string &out, std::string &why)
{
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (i + 1 >= in.size()) {
            why = "a backslash ends the value (write \\\\ for a backslash)";
            return false;
        }
        switch (in[++i]) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case '\\': out += '\\'; break;
        default:
            why = std::string("unknown escape \\") + in[i] + " (only \\t, \\n and \\\\)";
            return false;
        }
    }
    return true;
}

} // namespace

ParseResult parseTsv(std::string_view text, const std::string &fileName)
{
    ParseResult r;
    std::unordered_map<std::string, int> seen;
    int lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        ++lineNo;
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;

        auto fail = [&](const std::string &what) {
            r.errors.push_back(fileName + ":" + std::to_string(lineNo) + ": " + what);
        };
        if (line.empty() || line.front() == '#')
            continue;
        if (!validUtf8(line)) {
            fail("invalid UTF-8");
            continue;
        }
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            fail("no tab between key and value");
            continue;
        }
        const std::string_view key = line.substr(0, tab);
        const std::string_view raw = line.substr(tab + 1);
        if (key.empty()) {
            fail("empty key");
            continue;
        }
        if (raw.find('\t') != std::string_view::npos) {
            fail("a second tab (write \\t for a tab in the value)");
            continue;
        }
        if (hasControl(key) || hasControl(raw)) {
            fail("control character (a carriage return? save the file with LF line ends)");
            continue;
        }
        if (platform::Table::countChars(key) > core::kLangKeyChars) {
            fail("key longer than " + std::to_string(core::kLangKeyChars) + " characters");
            continue;
        }
        std::string value, why;
        if (!unescape(raw, value, why)) {
            fail(why);
            continue;
        }
        if (platform::Table::countChars(value) > core::kLangValueChars) {
            fail("value longer than " + std::to_string(core::kLangValueChars) + " characters");
            continue;
        }
        auto [it, fresh] = seen.emplace(std::string(key), lineNo);
        if (!fresh) {
            fail("duplicate key \"" + std::string(key) + "\" (first on line " +
                 std::to_string(it->second) + ")");
            continue;
        }
        r.entries.push_back({std::string(key), std::move(value), lineNo});
    }
    return r;
}

std::string writeLanguageFile(const std::vector<Entry> &entries, const std::string &path)
{
    platform::Table t = core::makeLanguageTable();
    for (const Entry &e : entries) {
        t.append();
        // Lengths were checked on reading: nothing is cut here.
        if (t.setText("Name", e.key) != platform::SetResult::Ok ||
            t.setText("Value", e.value) != platform::SetResult::Ok) {
            t.cancel();
            return "cannot store key \"" + e.key + "\"";
        }
        t.post();
    }
    platform::TableResult res = t.save(path);
    return res ? std::string() : res.message;
}

} // namespace langbuild
