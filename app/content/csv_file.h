// The comma-separated text file the phone-book manager exports contact books to and imports them
// from. It holds the whole file in memory as a list of lines, one row a line, and turns a row into
// its fields and back; what the rows mean is the caller's business.
//
//   content::TCsvFile csv;
//   csv.AddRow({"SIM"});
//   csv.AddRow({"Index", "Name(14)", "Tel(40)", "Group"});
//   if (platform::FileResult r = csv.SaveToFile(path); !r) show(r.message);
//
//   if (platform::FileResult r = csv.LoadFromFile(path); !r) show(r.message);
//   std::vector<std::string> cells = csv.GetRow(0);
//
// Writing a field: it is trimmed (bytes below 33 go from both ends), line breaks inside it become
// blanks (the format is one row a line, so a break would split the row), each double quote is
// doubled, and a field holding a double quote or a comma is enclosed in double quotes. Nothing
// else is escaped: a cell that begins with "=", "+", "-" or "@" is written and read as it stands.
//
// Reading a line: split at the commas outside quotes by a fixed state table (ParseLine); each field
// is trimmed and unquoted. Malformed quoting loses the field it spoils, never the rest of the
// line. Bytes are bytes: no character set is converted, and trimming compares bytes unsigned, so
// the bytes of a UTF-8 character are never trimmed.
//
// Files: saving ends every line with CR LF and replaces the file safely (the old file stays whole
// on any failure, which is answered). Loading takes lines ended by CR LF, CR or LF, refuses a file
// over kMaxFileBytes or kMaxLines, and leaves no lines on any failure.
#pragma once

#include "platform/safe_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace content {

class TCsvFile {
public:
    // The largest file LoadFromFile reads (16 MiB), and the most lines it takes.
    static constexpr size_t kMaxFileBytes = 16u << 20;
    static constexpr size_t kMaxLines = 1u << 20;

    // --- fields and rows ---
    // The field as it is written in a row.
    static std::string QuoteField(std::string_view field);
    // The fields joined by "," (an empty list gives an empty line).
    static std::string JoinRow(const std::vector<std::string> &fields);
    // The fields of a line (at least one, except where an unclosed quote takes the only field);
    // only the first maxFields, the rest of the line unread (a reader that uses a few fields of
    // a line of millions need not hold them all).
    static std::vector<std::string> ParseLine(std::string_view line, size_t maxFields = SIZE_MAX);
    // A trimmed field without its enclosing quotes and with doubled quotes made single; empty when
    // the quoting is broken (an opening quote without a closing one, a lone quote inside).
    static std::string UnquoteField(std::string_view field);
    // s without the bytes below 33 at either end.
    static std::string_view Trim(std::string_view s);

    // --- the line list ---
    void AddRow(const std::vector<std::string> &fields) { lines_.push_back(JoinRow(fields)); }
    // The fields of row i; empty for an i outside 0..RowCount()-1.
    void GetRow(int i, std::vector<std::string> &out, size_t maxFields = SIZE_MAX) const;
    std::vector<std::string> GetRow(int i) const;
    int RowCount() const { return static_cast<int>(lines_.size()); }
    void Clear() { lines_.clear(); }
    const std::vector<std::string> &lines() const { return lines_; }

    // --- files ---
    // The whole file: every line ended by CR LF.
    std::string ToText() const;
    // Replaces (or creates) path with ToText(). On failure the old file is untouched and the
    // answer names the file and the cause.
    platform::FileResult SaveToFile(const std::string &path,
                                    const platform::FileOps &ops = platform::FileOps::system()) const;
    // Replaces the lines with the file's. On failure (missing, unreadable, too large) no line is
    // left and the answer says why.
    platform::FileResult LoadFromFile(const std::string &path);
    // The same for the file's bytes already in memory (nameForMessages names it in a failure).
    platform::FileResult LoadFromText(std::string_view text, const std::string &nameForMessages = "file");

private:
    std::vector<std::string> lines_;
};

} // namespace content
