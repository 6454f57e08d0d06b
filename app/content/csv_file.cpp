#include "content/csv_file.h"

#include <cerrno>

namespace content {

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) < 33; }

// Character classes and states of the line splitter.
enum Class { Quote, Comma, Space, Other };
enum State { FieldStart = 0, InQuotes = 1, Bare = 2, QuoteInQuotes = 3, AfterClosingQuote = 4 };

Class classOf(char c)
{
    switch (c) {
    case '"':
        return Quote;
    case ',':
        return Comma;
    case ' ':
        return Space;
    default:
        return Other;
    }
}

} // namespace

std::string_view TCsvFile::Trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string TCsvFile::QuoteField(std::string_view field)
{
    field = Trim(field);
    std::string out;
    out.reserve(field.size() + 2);
    bool quote = false;
    for (size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '\r' || c == '\n') {
            // One blank per break, CR LF counting as one: the row must stay on its line.
            if (c == '\r' && i + 1 < field.size() && field[i + 1] == '\n')
                ++i;
            out += ' ';
            continue;
        }
        if (c == '"') {
            out += '"';
            quote = true;
        } else if (c == ',') {
            quote = true;
        }
        out += c;
    }
    if (quote)
        return '"' + out + '"';
    return out;
}

std::string TCsvFile::JoinRow(const std::vector<std::string> &fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += QuoteField(fields[i]);
    }
    return line;
}

std::string TCsvFile::UnquoteField(std::string_view field)
{
    field = Trim(field);
    if (field.empty())
        return {};
    if (field.front() == '"') {
        if (field.size() < 2 || field.back() != '"')
            return {};
        field = field.substr(1, field.size() - 2);
    }
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '"') {
            if (i + 1 >= field.size() || field[i + 1] != '"')
                return {};
            ++i;
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string> TCsvFile::ParseLine(std::string_view line, size_t maxFields)
{
    std::vector<std::string> out;
    if (maxFields == 0)
        return out;
    size_t start = 0;
    int state = FieldStart;
    auto endField = [&](size_t at) {
        out.push_back(UnquoteField(line.substr(start, at - start)));
        start = at + 1;
        state = FieldStart;
    };
    auto dropField = [&](size_t at) {
        start = at + 1;
        state = FieldStart;
    };
    for (size_t i = 0; i < line.size() && out.size() < maxFields; ++i) {
        Class c = classOf(line[i]);
        switch (state) {
        case FieldStart:
            if (c == Quote)
                state = InQuotes;
            else if (c == Comma)
                endField(i);
            else if (c == Other)
                state = Bare;
            break;
        case InQuotes:
            if (c == Quote)
                state = QuoteInQuotes;
            break;
        case Bare:
            if (c == Quote)
                dropField(i);
            else if (c == Comma)
                endField(i);
            break;
        case QuoteInQuotes:
            if (c == Quote)
                state = InQuotes;
            else if (c == Comma)
                endField(i);
            else if (c == Space)
                state = AfterClosingQuote;
            else
                dropField(i);
            break;
        case AfterClosingQuote:
            if (c == Comma)
                endField(i);
            else if (c != Space)
                dropField(i);
            break;
        }
    }
    if (out.size() < maxFields && state != InQuotes)
        out.push_back(UnquoteField(line.substr(start)));
    return out;
}

void TCsvFile::GetRow(int i, std::vector<std::string> &out, size_t maxFields) const
{
    out.clear();
    if (i >= 0 && i < RowCount())
        out = ParseLine(lines_[static_cast<size_t>(i)], maxFields);
}

std::vector<std::string> TCsvFile::GetRow(int i) const
{
    std::vector<std::string> out;
    GetRow(i, out);
    return out;
}

std::string TCsvFile::ToText() const
{
    size_t size = 0;
    for (const std::string &l : lines_)
        size += l.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string &l : lines_) {
        text += l;
        text += "\r\n";
    }
    return text;
}

platform::FileResult TCsvFile::SaveToFile(const std::string &path, const platform::FileOps &ops) const
{
    return platform::writeFileSafely(path, ToText(), ops);
}

platform::FileResult TCsvFile::LoadFromFile(const std::string &path)
{
    lines_.clear();
    platform::ReadResult r = platform::readWholeFile(path, kMaxFileBytes);
    if (r.status != platform::ReadStatus::Ok)
        return platform::FileResult::failure(r.error ? r.error : EIO, r.message);
    return LoadFromText(r.data, path);
}

platform::FileResult TCsvFile::LoadFromText(std::string_view text, const std::string &nameForMessages)
{
    lines_.clear();
    if (text.size() > kMaxFileBytes)
        return platform::FileResult::failure(EFBIG, "Cannot read " + nameForMessages + ": the file is too large");
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        if (lines_.size() == kMaxLines) {
            lines_.clear();
            return platform::FileResult::failure(EFBIG, "Cannot read " + nameForMessages + ": too many lines");
        }
        lines_.emplace_back(text.substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size()) {
        if (lines_.size() == kMaxLines) {
            lines_.clear();
            return platform::FileResult::failure(EFBIG, "Cannot read " + nameForMessages + ": too many lines");
        }
        lines_.emplace_back(text.substr(start));
    }
    return {};
}

} // namespace content
