// The structured N and ADR values as fixed records, and the small text helpers of the module.
//
// Record parts are read with their field size as the bound: a record filled by a caller (or read
// from a file) may lack its terminator, and a part is then taken to its field's end, never beyond.

#include "vcard/vcard_int.h"

#include "dv_result.h"

#include <cstring>
#include <new>

static_assert(sizeof(VcardName) == 256, "VcardName keeps its 256-byte layout");
static_assert(sizeof(VcardAddr) == 560, "VcardAddr keeps its 560-byte layout");

namespace vcard {

size_t copyCut(std::string_view s, char *out, int32_t size) {
    if (!out || size < 1)
        return 0;
    size_t n = utf8Cut(s, static_cast<size_t>(size) - 1);
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
    return n;
}

std::string_view fieldView(const char *field, size_t size) { return std::string_view(field, strnlen(field, size)); }

void appendEscaped(std::string &out, std::string_view value) {
    for (char c : value) {
        if (c == ';' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
}

static char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

bool containsNoCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size())
        return false;
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (equalsNoCase(text.substr(i, part.size()), part))
            return true;
    return false;
}

bool isMarkerLine(std::string_view line, std::string_view marker) {
    if (line.size() < marker.size() || !equalsNoCase(line.substr(0, marker.size()), marker))
        return false;
    size_t stray = 0;
    for (char c : line.substr(marker.size())) {
        auto b = static_cast<unsigned char>(c);
        if (b > ' ' && b != 0x7F && ++stray > 1)
            return false;
    }
    return true;
}

} // namespace vcard

namespace {

struct Field {
    size_t offset;
    size_t size;
};

const Field kNameFields[] = {{offsetof(VcardName, family), sizeof(VcardName::family)},
                             {offsetof(VcardName, given), sizeof(VcardName::given)},
                             {offsetof(VcardName, middle), sizeof(VcardName::middle)},
                             {offsetof(VcardName, prefix), sizeof(VcardName::prefix)},
                             {offsetof(VcardName, suffix), sizeof(VcardName::suffix)}};

const Field kAddrFields[] = {{offsetof(VcardAddr, poBox), sizeof(VcardAddr::poBox)},
                             {offsetof(VcardAddr, extended), sizeof(VcardAddr::extended)},
                             {offsetof(VcardAddr, street), sizeof(VcardAddr::street)},
                             {offsetof(VcardAddr, locality), sizeof(VcardAddr::locality)},
                             {offsetof(VcardAddr, region), sizeof(VcardAddr::region)},
                             {offsetof(VcardAddr, postalCode), sizeof(VcardAddr::postalCode)},
                             {offsetof(VcardAddr, country), sizeof(VcardAddr::country)}};

// Fills the record's parts from value: split at unescaped ";", leading blanks dropped, "\;" and
// "\\" taken out, each part cut to its field on a character boundary. The record is zeroed first.
void decode(char *rec, size_t recSize, const Field *fields, size_t count, const char *value) {
    std::memset(rec, 0, recSize);
    size_t k = 0;
    std::string part;
    auto store = [&] {
        vcard::copyCut(part, rec + fields[k].offset, static_cast<int32_t>(fields[k].size));
        part.clear();
        ++k;
    };
    for (const char *s = value; *s && k < count; ++s) {
        char c = *s;
        if (c == ';') {
            store();
            continue;
        }
        if (c == '\\' && (s[1] == ';' || s[1] == '\\'))
            c = *++s;
        else if (part.empty() && (c == ' ' || c == '\t'))
            continue; // leading blanks of a part
        if (part.size() < fields[k].size) // more than the field holds is cut anyway
            part.push_back(c);
    }
    if (k < count)
        store();
}

// Joins the parts with ";" (escaping ";" and "\" inside a part) into out. Whole characters and whole
// escapes only: 0, or -201 when something did not fit.
int32_t encode(const char *rec, const Field *fields, size_t count, char *out, int32_t size) {
    std::string text;
    for (size_t k = 0; k < count; ++k) {
        if (k > 0)
            text.push_back(';');
        vcard::appendEscaped(text, vcard::fieldView(rec + fields[k].offset, fields[k].size));
    }
    size_t room = static_cast<size_t>(size) - 1;
    if (text.size() <= room) {
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\0';
        return 0;
    }
    size_t n = vcard::utf8Cut(text, room);
    // Never end on the backslash of an escape: count the backslashes in front of the cut.
    size_t slashes = 0;
    while (slashes < n && text[n - 1 - slashes] == '\\')
        ++slashes;
    if (slashes % 2 == 1)
        --n;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return DV_E_FULL;
}

// Joins the non-empty parts, in the order given, with one blank.
int32_t join(const std::string_view *parts, size_t count, char *out, int32_t size) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (parts[i].empty())
            continue;
        if (!text.empty())
            text.push_back(' ');
        text += parts[i];
    }
    return static_cast<int32_t>(vcard::copyCut(text, out, size));
}

template <typename F> int32_t guarded(F f) {
    try {
        return f();
    } catch (const std::bad_alloc &) {
        return DV_E_NOMEM;
    } catch (...) {
        return DV_E_FAIL;
    }
}

} // namespace

extern "C" DV_API void VcardName_clear(VcardName *name) {
    if (name)
        std::memset(name, 0, sizeof *name);
}

extern "C" DV_API int32_t VcardName_dec(VcardName *name, const char *value) {
    if (!name || !value)
        return DV_E_ARG;
    return guarded([&] {
        decode(reinterpret_cast<char *>(name), sizeof *name, kNameFields, 5, value);
        return 0;
    });
}

extern "C" DV_API int32_t VcardName_enc(const VcardName *name, char *out, int32_t size) {
    if (!name || !out || size < 1)
        return DV_E_ARG;
    return guarded([&] { return encode(reinterpret_cast<const char *>(name), kNameFields, 5, out, size); });
}

extern "C" DV_API int32_t VcardName_toStr(const VcardName *name, char *out, int32_t size) {
    if (!name || !out || size < 1)
        return DV_E_ARG;
    return guarded([&] {
        std::string_view parts[5] = {
            vcard::fieldView(name->prefix, sizeof name->prefix), vcard::fieldView(name->family, sizeof name->family),
            vcard::fieldView(name->given, sizeof name->given), vcard::fieldView(name->middle, sizeof name->middle),
            vcard::fieldView(name->suffix, sizeof name->suffix)};
        return join(parts, 5, out, size);
    });
}

extern "C" DV_API void VcardAddr_clear(VcardAddr *addr) {
    if (addr)
        std::memset(addr, 0, sizeof *addr);
}

extern "C" DV_API int32_t VcardAddr_dec(VcardAddr *addr, const char *value) {
    if (!addr || !value)
        return DV_E_ARG;
    return guarded([&] {
        decode(reinterpret_cast<char *>(addr), sizeof *addr, kAddrFields, 7, value);
        return 0;
    });
}

extern "C" DV_API int32_t VcardAddr_enc(const VcardAddr *addr, char *out, int32_t size) {
    if (!addr || !out || size < 1)
        return DV_E_ARG;
    return guarded([&] { return encode(reinterpret_cast<const char *>(addr), kAddrFields, 7, out, size); });
}

extern "C" DV_API int32_t VcardAddr_toStr(const VcardAddr *addr, char *out, int32_t size) {
    if (!addr || !out || size < 1)
        return DV_E_ARG;
    return guarded([&] {
        std::string postal;
        std::string_view code = vcard::fieldView(addr->postalCode, sizeof addr->postalCode);
        if (!code.empty())
            postal = "(" + std::string(code) + ")";
        std::string_view parts[7] = {vcard::fieldView(addr->country, sizeof addr->country),
                                     vcard::fieldView(addr->region, sizeof addr->region),
                                     vcard::fieldView(addr->locality, sizeof addr->locality),
                                     vcard::fieldView(addr->street, sizeof addr->street),
                                     vcard::fieldView(addr->extended, sizeof addr->extended),
                                     vcard::fieldView(addr->poBox, sizeof addr->poBox),
                                     postal};
        return join(parts, 7, out, size);
    });
}
