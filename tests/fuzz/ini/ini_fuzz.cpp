// Fuzz entry for the ini reader and the in-place update.
// Promise on any input: a result, never a crash; a value written reads back as written (line
// breaks turned into blanks), and the other section's value does not change.
// Input: the file's text, then a 0 byte and the value to write (when there is no 0 byte the
// value is "v").

#include "fuzz/fuzz_check.h"
#include "platform/ini_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string_view in(reinterpret_cast<const char *>(data), size);
    auto cut = in.find('\0');
    std::string_view text = in.substr(0, cut);
    std::string value = cut == std::string_view::npos ? "v" : std::string(in.substr(cut + 1));

    auto before = platform::iniFind(text, "Other", "Key");
    auto port = platform::iniFind(text, "Set", "Port");
    if (port)
        (void)platform::iniParseInt(*port, 0);

    auto out = platform::iniUpdate(text, "Set", "Port", value);
    FUZZ_CHECK(out.has_value());
    for (char &c : value)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    FUZZ_CHECK(platform::iniFind(*out, "Set", "Port") == value);
    FUZZ_CHECK(platform::iniFind(*out, "Other", "Key") == before);
    return 0;
}
