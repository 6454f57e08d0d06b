// Message texts shared by the benchmarks that fill message tables.
#pragma once

#include <string>

namespace bench {

// 70 Chinese characters: the longest body a single UCS-2 message holds.
inline std::string chineseBody()
{
    std::string s;
    for (int i = 0; i < 35; ++i)
        s += "短信";
    return s;
}

} // namespace bench
