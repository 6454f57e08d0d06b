// The navigation bar's layout file: its whole content (view, style items, items, groups with their
// links, the bar's style references) as an ini file, and the bar rebuilt from one.
//
// Sections: "Layout", "Style<n>", "Item<n>", "Group<n>" (n in decimal). Sections and keys are read
// without regard to case. Saving keeps every other section of a shared file; it erases "Layout" and
// every "Style"/"Item"/"Group" followed by decimal digits only, stale ones from a larger earlier save
// included, and replaces the file safely (a failed write leaves the old file whole).
//
// Loading treats the file as untrusted: a count is taken as at most the number of sections the file
// has and never below 0; an index outside its collection leaves its reference unassigned, and a link
// to a missing item is skipped; an "Image" that is not even-length hexadecimal, or bytes that do not
// decode as the named class, leave the style without a picture; enumerations go through the setters'
// clamping. A file that cannot be read (missing, too large) changes nothing and returns false.
// Loading replaces the groups: their group controls, and whatever those host, are freed with them.
#pragma once

#include <QString>
#include <string>

namespace controls {

class TqvCustomNavBar;

// Writes the layout into the ini file at path. False (with a message) when the file cannot be
// read or written; the old file is then untouched.
bool SaveLayoutToIni(TqvCustomNavBar &bar, const std::string &path, std::string *error = nullptr);
// Rebuilds the bar from the ini file at path. False when the file cannot be read (bar untouched).
bool LoadLayoutFromIni(TqvCustomNavBar &bar, const std::string &path, std::string *error = nullptr);

} // namespace controls
