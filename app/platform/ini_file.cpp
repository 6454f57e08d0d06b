#include "platform/ini_file.h"

#include "platform/paths.h"

#include <cerrno>
#include <vector>

namespace platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

enum class Kind { Other, Section, Key };

struct Line {
    size_t start = 0;      // first byte of the line (after a BOM on the first line)
    size_t contentEnd = 0; // end of its text, before CR LF / LF
    size_t end = 0;        // after its line end (== contentEnd on a last line without one)
    Kind kind = Kind::Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // raw value, trimmed (keys only)
};

std::vector<Line> splitLines(std::string_view text)
{
    std::vector<Line> lines;
    size_t pos = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        pos = 3;
    while (pos < text.size()) {
        Line l;
        l.start = pos;
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            l.contentEnd = l.end = text.size();
            // A last line ending in a lone CR reads the same once a line end is added after it.
            if (l.contentEnd > pos && text[l.contentEnd - 1] == '\r')
                --l.contentEnd;
        } else {
            l.end = nl + 1;
            l.contentEnd = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
        }
        std::string_view body = trim(text.substr(l.start, l.contentEnd - l.start));
        if (!body.empty() && body.front() == '[') {
            l.kind = Kind::Section;
            std::string_view inner = body.substr(1);
            auto close = inner.find(']');
            l.name = trim(close == std::string_view::npos ? inner : inner.substr(0, close));
        } else if (!body.empty() && body.front() != ';' && body.front() != '#') {
            auto eq = body.find('=');
            if (eq != std::string_view::npos) {
                l.kind = Kind::Key;
                l.name = trim(body.substr(0, eq));
                l.value = trim(body.substr(eq + 1));
            }
        }
        lines.push_back(l);
        pos = l.end;
    }
    return lines;
}

std::string_view unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Range of lines [first, last) of the first section named `section`; first is its header.
bool findSection(const std::vector<Line> &lines, std::string_view section, size_t &first,
                 size_t &last)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Kind::Section && equalsNoCase(lines[i].name, section)) {
            first = i;
            last = i + 1;
            while (last < lines.size() && lines[last].kind != Kind::Section)
                ++last;
            return true;
        }
    }
    return false;
}

bool validName(std::string_view n, std::string_view forbidden)
{
    if (n.empty() || trim(n) != n)
        return false;
    for (char c : n)
        if (c == '\r' || c == '\n' || c == '\0' || forbidden.find(c) != std::string_view::npos)
            return false;
    return true;
}

std::string encodeValue(std::string_view value)
{
    std::string v(value);
    for (char &c : v)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    bool quoted = v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
    if (trim(v) != std::string_view(v) || quoted)
        return '"' + v + '"';
    return v;
}

} // namespace

std::vector<IniEntry> iniEntries(std::string_view text)
{
    std::vector<IniEntry> out;
    const std::vector<Line> lines = splitLines(text);
    std::string_view section;
    bool inSection = false;
    for (const Line &l : lines) {
        if (l.kind == Kind::Section) {
            section = l.name;
            inSection = true;
        } else if (l.kind == Kind::Key && inSection) {
            out.push_back({std::string(section), std::string(l.name), std::string(unquote(l.value))});
        }
    }
    return out;
}

std::vector<std::string> iniSectionNames(std::string_view text)
{
    std::vector<std::string> out;
    for (const Line &l : splitLines(text))
        if (l.kind == Kind::Section)
            out.emplace_back(l.name);
    return out;
}

std::string iniEraseSections(std::string_view text, const std::function<bool(std::string_view name)> &erase)
{
    std::string out;
    const std::vector<Line> lines = splitLines(text);
    out.append(text.substr(0, lines.empty() ? text.size() : lines.front().start)); // a BOM stays
    bool erasing = false;
    for (const Line &l : lines) {
        if (l.kind == Kind::Section)
            erasing = erase(l.name);
        if (!erasing)
            out.append(text.substr(l.start, l.end - l.start));
    }
    return out;
}

std::optional<std::string> iniFind(std::string_view text, std::string_view section,
                                   std::string_view key)
{
    auto lines = splitLines(text);
    size_t first = 0, last = 0;
    if (!findSection(lines, section, first, last))
        return std::nullopt;
    for (size_t i = first + 1; i < last; ++i)
        if (lines[i].kind == Kind::Key && equalsNoCase(lines[i].name, key))
            return std::string(unquote(lines[i].value));
    return std::nullopt;
}

std::optional<std::string> iniUpdate(std::string_view text, std::string_view section,
                                     std::string_view key, std::string_view value)
{
    if (!validName(section, "[]") || !validName(key, "=[;#"))
        return std::nullopt;
    auto lines = splitLines(text);
    const std::string eol = (!lines.empty() && lines[0].end > lines[0].contentEnd + 1) ? "\r\n" : "\n";
    const std::string pair = std::string(key) + "=" + encodeValue(value);

    std::string out;
    out.reserve(text.size() + pair.size() + section.size() + 8);
    size_t first = 0, last = 0;
    if (!findSection(lines, section, first, last)) {
        out.assign(text);
        if (!out.empty() && out.back() != '\n')
            out += out.back() == '\r' ? "\n" : eol; // a lone CR at the end: complete it
        out += "[" + std::string(section) + "]" + eol + pair + eol;
        return out;
    }
    for (size_t i = first + 1; i < last; ++i) {
        const Line &l = lines[i];
        if (l.kind == Kind::Key && equalsNoCase(l.name, key)) {
            out.append(text.substr(0, l.start));
            out.append(l.name);
            out += "=" + encodeValue(value);
            out.append(text.substr(l.contentEnd));
            return out;
        }
    }
    // Missing key: after the last line of the section that is not blank (the header at least).
    size_t after = first;
    for (size_t i = first + 1; i < last; ++i)
        if (!trim(text.substr(lines[i].start, lines[i].contentEnd - lines[i].start)).empty())
            after = i;
    const Line &l = lines[after];
    out.append(text.substr(0, l.end));
    // A line holds at least one byte; the file's last one may lack its line end.
    if (text[l.end - 1] != '\n')
        out += text[l.end - 1] == '\r' ? "\n" : eol;
    out += pair + eol;
    out.append(text.substr(l.end));
    return out;
}

int32_t iniParseInt(std::string_view value, int32_t defaultValue)
{
    std::string_view v = trim(value);
    bool negative = false;
    if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    if (v.empty())
        return defaultValue;
    int64_t n = 0;
    for (char c : v) {
        if (c < '0' || c > '9')
            return defaultValue;
        n = n * 10 + (c - '0');
        if (n > int64_t(INT32_MAX) + 1)
            return defaultValue;
    }
    if (negative)
        n = -n;
    if (n < INT32_MIN || n > INT32_MAX)
        return defaultValue;
    return int32_t(n);
}

std::string iniReadString(const std::string &path, std::string_view section, std::string_view key,
                          std::string_view defaultValue)
{
    ReadResult r = readWholeFile(path, kIniMaxBytes);
    if (r.status != ReadStatus::Ok)
        return std::string(defaultValue);
    auto v = iniFind(r.data, section, key);
    return v ? *v : std::string(defaultValue);
}

int32_t iniReadInt(const std::string &path, std::string_view section, std::string_view key,
                   int32_t defaultValue)
{
    ReadResult r = readWholeFile(path, kIniMaxBytes);
    if (r.status != ReadStatus::Ok)
        return defaultValue;
    auto v = iniFind(r.data, section, key);
    return v ? iniParseInt(*v, defaultValue) : defaultValue;
}

FileResult iniWriteString(const std::string &path, std::string_view section, std::string_view key,
                          std::string_view value, const FileOps &ops)
{
    ReadResult r = readWholeFile(path, kIniMaxBytes);
    if (r.status != ReadStatus::Ok && r.status != ReadStatus::Missing)
        return FileResult::failure(r.error, r.message);
    auto updated = iniUpdate(r.data, section, key, value);
    if (!updated)
        return FileResult::failure(EINVAL, "Cannot write " + path + ": invalid section or key name");
    if (r.status == ReadStatus::Ok && *updated == r.data)
        return {}; // nothing changed: leave the file (and its time) alone
    return writeFileSafely(path, *updated, ops);
}

FileResult iniWriteInt(const std::string &path, std::string_view section, std::string_view key,
                       int32_t value, const FileOps &ops)
{
    return iniWriteString(path, section, key, std::to_string(value), ops);
}

} // namespace platform
