// Settings files in the classic ini layout:
//
//   ; comment
//   [Section]
//   Key=Value
//
// Reading: sections and keys match without regard to ASCII case; the first section of a name and,
// inside it, the first key of a name win over later duplicates. A value is trimmed of blanks and
// tabs, and one pair of enclosing double or single quotes is dropped. Lines starting with ';' or
// '#' are comments. A missing file reads as empty.
//
// Writing: an existing key gets its new value in place (its own spelling kept); a missing key is
// added after the last line of its section that is not blank; a missing section is added at the end
// of the file. Every other line stays byte for byte, and new lines follow the file's own line end
// (CR LF when its first line ends so, else LF). CR, LF and NUL inside a value become blanks, and a
// value with blanks at its edges (or already enclosed in quotes) is written in double quotes so it
// reads back unchanged. Files are replaced through writeFileSafely().
#pragma once

#include "platform/safe_file.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// --- on the text of a file (no I/O) ---

// The value of section/key in `text`, or nothing when the section or the key is absent.
std::optional<std::string> iniFind(std::string_view text, std::string_view section,
                                   std::string_view key);

// `text` with section/key set to `value`, as described above. A section or key name holding '[', ']',
// '=', CR, LF or NUL, or an empty or blank-edged one, cannot be written: nothing is returned.
std::optional<std::string> iniUpdate(std::string_view text, std::string_view section,
                                     std::string_view key, std::string_view value);

// One key = value line of a file, as the reader sees it (value trimmed and unquoted).
struct IniEntry {
    std::string section; // as spelled in its header
    std::string key;
    std::string value;
};
// Every key line under a section header, in file order (duplicates included: the first of a name
// is the one iniFind gives). Lines before the first header belong to no section and are left out.
std::vector<IniEntry> iniEntries(std::string_view text);
// The name of every section header, in file order (duplicates included).
std::vector<std::string> iniSectionNames(std::string_view text);
// `text` without every section (its header and every line up to the next header) whose name
// `erase` accepts; every other line stays byte for byte.
std::string iniEraseSections(std::string_view text, const std::function<bool(std::string_view name)> &erase);

// A value read as an integer: optional blanks, an optional sign and decimal digits, within
// -2^31 .. 2^31-1; anything else (empty, "12abc", "2147483648") gives the default.
int32_t iniParseInt(std::string_view value, int32_t defaultValue);

// --- on files ---

// Files larger than this are not read (they read as empty; writes to them fail).
inline constexpr size_t kIniMaxBytes = 4 * 1024 * 1024;

std::string iniReadString(const std::string &path, std::string_view section, std::string_view key,
                          std::string_view defaultValue);
int32_t iniReadInt(const std::string &path, std::string_view section, std::string_view key,
                   int32_t defaultValue);

// Sets section/key in the file (creating the file when it is missing; its folder must exist).
FileResult iniWriteString(const std::string &path, std::string_view section, std::string_view key,
                          std::string_view value, const FileOps &ops = FileOps::system());
FileResult iniWriteInt(const std::string &path, std::string_view section, std::string_view key,
                       int32_t value, const FileOps &ops = FileOps::system());

} // namespace platform
