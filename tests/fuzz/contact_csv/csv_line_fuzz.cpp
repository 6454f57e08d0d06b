// Fuzz entry for the CSV file's line splitter: any bytes as one line of a contact file.
// Promise on any input: a result, never a crash; no more fields than commas plus one; and the
// fields, written as a row again, read back as themselves trimmed at their ends with their line
// breaks made blanks (the writer's form), so a row survives a save and a load.

#include "content/csv_file.h"
#include "fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using content::TCsvFile;

namespace {

// A field as the writer leaves it: trimmed, each line break (CR LF as one) a blank.
std::string written(std::string_view f)
{
    f = TCsvFile::Trim(f);
    std::string out;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '\r' || f[i] == '\n') {
            if (f[i] == '\r' && i + 1 < f.size() && f[i + 1] == '\n')
                ++i;
            out += ' ';
        } else {
            out += f[i];
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    std::string_view line(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> fields = TCsvFile::ParseLine(line);
    size_t commas = 0;
    for (char c : line)
        commas += c == ',';
    FUZZ_CHECK(fields.size() <= commas + 1);
    for (const std::string &f : fields)
        FUZZ_CHECK(f.size() <= line.size());

    std::string row = TCsvFile::JoinRow(fields);
    FUZZ_CHECK(row.find('\r') == std::string::npos && row.find('\n') == std::string::npos);
    std::vector<std::string> back = TCsvFile::ParseLine(row);
    if (fields.empty()) {
        FUZZ_CHECK(back == std::vector<std::string>{""});
    } else {
        FUZZ_CHECK(back.size() == fields.size());
        for (size_t i = 0; i < fields.size(); ++i)
            FUZZ_CHECK(back[i] == written(fields[i]));
    }

    // The same bytes as a whole file: every line is kept whole and written back as it was read.
    TCsvFile csv;
    if (csv.LoadFromText(line)) {
        TCsvFile again;
        FUZZ_CHECK(again.LoadFromText(csv.ToText()));
        FUZZ_CHECK(again.lines() == csv.lines());
    }
    return 0;
}
