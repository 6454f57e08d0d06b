// Language texts as editable text: the reader of lang/*.tsv used by the lang-build tool.
//
// One entry a line: key, a tab, value. UTF-8. Lines starting with '#' and empty lines are skipped.
// In the value, \t \n and \\ stand for a tab, a line break and a backslash; no other escape exists.
// Refused, each naming its line: a line without a tab, a second tab (write \t), an empty key, a
// duplicate key (byte-exact: keys differing only in case are two keys), a key over 50 or a value
// over 200 characters, invalid UTF-8, a control character, an unknown escape.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace langbuild {

struct Entry {
    std::string key;
    std::string value;
    int line = 0;
};

struct ParseResult {
    std::vector<Entry> entries;       // in file order
    std::vector<std::string> errors;  // "<file>:<line>: <what>"
    bool ok() const { return errors.empty(); }
};

// fileName only names the file in the messages.
ParseResult parseTsv(std::string_view text, const std::string &fileName);

// Writes the entries as a language table file (atomically). Empty on success, else the message.
std::string writeLanguageFile(const std::vector<Entry> &entries, const std::string &path);

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool validUtf8(std::string_view s);

} // namespace langbuild
