// Files and folders of the program on a case-sensitive file system.
//
// The program and its data name files in whatever case they were written with ("Plug-in", "ini",
// "Language\\English.dat"), while a Linux folder may spell them otherwise. resolveCase() maps a path
// onto what is on disk; filesWithSuffix() lists a folder the way the catalogue needs it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The folder that holds the running program (from /proc/self/exe), without a trailing '/'.
// Answers an empty text when the link cannot be read. A folder set with setProgramDirOverride() wins.
std::string programDir();

// Tests point the program folder elsewhere; an empty text goes back to /proc/self/exe. Thread-safe.
void setProgramDirOverride(std::string dir);

// Maps path onto the file system component by component: a component that exists as spelled is
// kept; otherwise an entry of the folder that equals it when letters A-Z are folded to a-z is used
// (when several do, the byte-wise smallest name, so the answer never depends on folder order).
// From the first component with no match on, the rest keeps its spelling, so the answer can name a
// file that is to be created. "." and ".." and empty components are kept as they are.
std::string resolveCase(std::string_view path);

// Names (not paths) of the entries of dir that end in suffix, compared without regard to ASCII case,
// and that are not folders (a link to a file counts), sorted byte-wise so catalogue ids come out the
// same on every run. The name must be longer than the suffix. A missing or unreadable folder gives
// an empty list.
std::vector<std::string> filesWithSuffix(const std::string &dir, std::string_view suffix);

// ASCII-only case folding and comparison (letters A-Z and a-z only; other bytes compare as they are).
std::string asciiLower(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
bool endsWithNoCase(std::string_view s, std::string_view suffix);

} // namespace platform
