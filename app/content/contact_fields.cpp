#include "content/contact_fields.h"

#include "ms_itf.h"

#include <charconv>
#include <cstring>
#include <utility>

namespace content {

namespace {

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

int32_t readLe32(const uint8_t *p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

template <typename T> void exchangeSort(std::vector<T> &items)
{
    for (size_t i = 0; i < items.size(); ++i)
        for (size_t j = i + 1; j < items.size(); ++j)
            if (items[i].type > items[j].type)
                std::swap(items[i], items[j]);
}

} // namespace

TFieldParams fieldParamsFromDriver(const ::TFieldParam *table, int32_t count)
{
    TFieldParams out;
    if (!table || count <= 0)
        return out;
    out.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const ::TFieldParam &src = table[i];
        FieldParam p;
        p.type = src.type;
        p.flags = src.flags;
        p.maxLen = src.maxLen;
        for (size_t k = 0; k < p.partLimits.size(); ++k)
            p.partLimits[k] = readLe32(src.reserved + 4 * k);
        p.spare = readLe32(src.reserved + 28);
        out.push_back(p);
    }
    return out;
}

std::optional<StorageCode> storageCodeOf(int32_t code)
{
    switch (code) {
    case 1:
        return StorageCode::Sim;
    case 2:
        return StorageCode::Phone;
    case 4:
        return StorageCode::Contacts;
    case 8:
        return StorageCode::Groups;
    default:
        return std::nullopt;
    }
}

DriverStorage driverStorageOf(StorageCode s)
{
    return s == StorageCode::Sim ? DriverStorage::Sim : DriverStorage::Memory;
}

void SortFields(TMobileVacrd &fields) { exchangeSort(fields); }
void SortFields(TFieldParams &params) { exchangeSort(params); }

size_t utf8Chars(std::string_view s)
{
    size_t n = 0;
    for (char c : s)
        if (!isContinuation(c))
            ++n;
    return n;
}

std::string_view utf8Head(std::string_view s, size_t maxChars)
{
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (!isContinuation(s[i])) {
            if (chars == maxChars)
                return s.substr(0, i);
            ++chars;
        }
    }
    return s;
}

std::string_view utf8HeadBytes(std::string_view s, size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    size_t n = maxBytes;
    while (n > 0 && isContinuation(s[n]))
        --n;
    return s.substr(0, n);
}

bool isGroupNumber(std::string_view value)
{
    if (!value.empty() && value.front() == '+')
        value.remove_prefix(1);
    if (value.empty())
        return false;
    int64_t n = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    return ec == std::errc() && end == value.data() + value.size() && n >= 0 && n <= INT32_MAX;
}

} // namespace content
