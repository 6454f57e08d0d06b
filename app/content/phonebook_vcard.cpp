// The phone-book manager's conversions: a vCard text to its fields and back, and fitting fields to
// a storage's template.

#include "content/phonebook_manage.h"

#include "dv_result.h"
#include "dv_stream.h"
#include "dv_vcard.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace content {

namespace {

// The reader joins a logical line of at most this many bytes (dv_vcard.h), and a decoded value
// takes at most four bytes of UTF-8 per byte of the line (a one-byte character of another
// character set can become three or four bytes).
constexpr size_t kMaxLineBytes = 256 * 1024;
constexpr size_t kValueRoomPerByte = 4;

// The room that holds any value of text whole.
size_t valueRoom(size_t textBytes)
{
    return std::min(textBytes, kMaxLineBytes) * kValueRoomPerByte + 16;
}

// The name as a driver writes it: the non-empty parts joined by one blank, prefix first.
std::vector<std::string_view> driverNameParts(const VcardName &n)
{
    auto part = [](const char *p, size_t size) { return std::string_view(p, strnlen(p, size)); };
    return {part(n.prefix, sizeof n.prefix), part(n.family, sizeof n.family), part(n.given, sizeof n.given),
            part(n.middle, sizeof n.middle), part(n.suffix, sizeof n.suffix)};
}

size_t driverNameChars(const VcardName &n)
{
    size_t chars = 0;
    bool any = false;
    for (std::string_view p : driverNameParts(n)) {
        if (p.empty())
            continue;
        chars += (any ? 1 : 0) + utf8Chars(p);
        any = true;
    }
    return chars;
}

// An N value whose driver form holds at most maxChars characters. A value that fits stays as it
// is; a longer one is cut part by part (so an escaped ";" inside a part is never split) and
// written again in the five-part form.
std::string fitName(const std::string &value, int32_t maxChars)
{
    if (maxChars <= 0)
        return value;
    VcardName n;
    VcardName_dec(&n, value.c_str());
    if (driverNameChars(n) <= static_cast<size_t>(maxChars))
        return value;

    VcardName cut;
    VcardName_clear(&cut);
    char *targets[5] = {cut.prefix, cut.family, cut.given, cut.middle, cut.suffix};
    std::vector<std::string_view> parts = driverNameParts(n);
    size_t budget = static_cast<size_t>(maxChars);
    bool any = false;
    for (size_t i = 0; i < parts.size() && budget > 0; ++i) {
        if (parts[i].empty())
            continue;
        size_t sep = any ? 1 : 0;
        if (budget <= sep)
            break;
        std::string_view head = utf8Head(parts[i], budget - sep);
        std::memcpy(targets[i], head.data(), head.size()); // head fits: it is a head of the part
        budget -= sep + utf8Chars(head);
        any = true;
    }
    char out[sizeof(VcardName) * 2 + 8];
    if (VcardName_enc(&cut, out, sizeof out) < 0)
        return std::string(); // cannot happen: every escaped part fits twice its size
    return out;
}

// The head of an escaped value (ADR) holding maxChars characters, where "\;" and "\\" count as one
// character and are never split.
std::string cutEscaped(const std::string &value, int32_t maxChars)
{
    if (maxChars <= 0)
        return value;
    size_t chars = 0;
    size_t i = 0;
    while (i < value.size()) {
        size_t len = 1;
        if (value[i] == '\\' && i + 1 < value.size() && (value[i + 1] == ';' || value[i + 1] == '\\')) {
            len = 2;
        } else {
            while (i + len < value.size() && (static_cast<unsigned char>(value[i + len]) & 0xC0) == 0x80)
                ++len;
        }
        if (chars == static_cast<size_t>(maxChars))
            break;
        ++chars;
        i += len;
    }
    return value.substr(0, i);
}

std::string cutPlain(const std::string &value, int32_t maxChars)
{
    if (maxChars <= 0)
        return value;
    return std::string(utf8Head(value, static_cast<size_t>(maxChars)));
}

bool numberFits(const std::string &value, int32_t maxChars)
{
    return maxChars <= 0 || utf8Chars(value) <= static_cast<size_t>(maxChars);
}

// A value cut to a template entry's limit by the rules of its type. Numbers and group numbers are
// never cut: a cut number is a wrong number.
std::string fitValue(int32_t type, const std::string &value, int32_t maxChars)
{
    switch (type) {
    case kFieldName:
        return fitName(value, maxChars);
    case kFieldTel:
    case kFieldGroup:
        return value;
    case kFieldAddr:
        return cutEscaped(value, maxChars);
    default:
        return cutPlain(value, maxChars);
    }
}

int findEntry(const TFieldParams &tmpl, int32_t type)
{
    for (size_t i = 0; i < tmpl.size(); ++i)
        if (tmpl[i].type == type)
            return static_cast<int>(i);
    return -1;
}

} // namespace

TMobileVacrd TPhoneBookManage::ParseContact(std::string_view text)
{
    TMobileVacrd fields;
    if (text.empty())
        return fields;
    // The stream only reads: the buffer is never written through.
    AbsFile *stream = AbsFileMem_new(const_cast<char *>(text.data()), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)),
                                     static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)), 0);
    if (!stream)
        return fields;
    Vcard *reader = Vcard_new(stream);
    if (!reader) {
        AbsFileMem_delete(stream);
        return fields;
    }
    std::vector<char> value(valueRoom(text.size()));
    for (;;) {
        int32_t type = 0, flags = 0;
        int32_t size = static_cast<int32_t>(value.size());
        if (Vcard_get(reader, &type, &flags, value.data(), &size, nullptr, 0) != 1)
            break;
        if (type == VCARD_TYPE_END)
            break;
        if (type < VCARD_TYPE_END)
            continue;
        // A binary value may hold a zero byte; a field value is a text and ends there.
        size_t len = strnlen(value.data(), static_cast<size_t>(std::max(size, 0)));
        fields.push_back({type, flags, std::string(value.data(), len)});
    }
    Vcard_delete(reader);
    AbsFileMem_delete(stream);
    SortFields(fields);
    return fields;
}

std::string TPhoneBookManage::BuildContact(const TMobileVacrd &fields, int32_t *result)
{
    auto fail = [&](int32_t r) {
        if (result)
            *result = r;
        return std::string();
    };
    AbsFile *buf = MemBuf_new(512, 0);
    if (!buf)
        return fail(DV_E_NOMEM);
    Vcard *writer = Vcard_new(buf);
    if (!writer) {
        MemBuf_delete(buf);
        return fail(DV_E_NOMEM);
    }
    int32_t r = Vcard_addBeg(writer);
    for (size_t i = 0; i < fields.size() && r >= 0; ++i) {
        const TVcardFields &f = fields[i];
        if (f.value.empty())
            continue;
        const char *v = f.value.c_str();
        switch (f.type) {
        case kFieldName: {
            VcardName n;
            VcardName_dec(&n, v);
            r = Vcard_addNameExt(writer, &n);
            break;
        }
        case kFieldBirthday:
            r = Vcard_addBirthday(writer, v);
            break;
        case kFieldTel:
            r = Vcard_addTel(writer, f.flags, v);
            break;
        case kFieldEmail:
            r = Vcard_addMail(writer, f.flags, v);
            break;
        case kFieldUrl:
            r = Vcard_addWeb(writer, f.flags, v);
            break;
        case kFieldAddr: {
            VcardAddr a;
            VcardAddr_dec(&a, v);
            r = Vcard_addAddr(writer, f.flags, &a);
            break;
        }
        case kFieldAddrText: {
            VcardAddr a;
            VcardAddr_clear(&a);
            std::string_view head = utf8HeadBytes(f.value, sizeof a.poBox - 1);
            std::memcpy(a.poBox, head.data(), head.size());
            r = Vcard_addAddr(writer, f.flags, &a);
            break;
        }
        case kFieldOrg:
            r = Vcard_addOrganize(writer, v);
            break;
        case kFieldTitle:
            r = Vcard_addTitle(writer, v);
            break;
        case kFieldNote:
            r = Vcard_addNote(writer, v);
            break;
        case kFieldGroup:
            // " ", "-100" (no group) or a value that is no number names no group: leave it out and
            // keep the rest of the contact.
            if (isGroupNumber(f.value))
                r = Vcard_addGrp(writer, v);
            break;
        default:
            break;
        }
    }
    if (r >= 0)
        r = Vcard_addEnd(writer);
    Vcard_delete(writer);
    std::string text;
    if (r >= 0) {
        const char *data = MemBuf_buf(buf);
        int32_t len = MemBuf_len(buf);
        if (data && len > 0)
            text.assign(data, static_cast<size_t>(len));
        else
            r = DV_E_FAIL;
    }
    MemBuf_delete(buf);
    if (r < 0)
        return fail(r);
    if (result)
        *result = 0;
    return text;
}

bool TPhoneBookManage::HasContent(const TMobileVacrd &fields)
{
    return std::any_of(fields.begin(), fields.end(), [](const TVcardFields &f) {
        return f.type != 0 && !f.value.empty() && f.value.find_first_not_of(';') != std::string::npos;
    });
}

bool TPhoneBookManage::FitFields(const TFieldParams &tmpl, StorageCode storage, TMobileVacrd &fields)
{
    TMobileVacrd out(tmpl.size());
    switch (storage) {
    case StorageCode::Sim:
    case StorageCode::Phone: {
        // Walked from the last field to the first, so that the first of each kind wins.
        int name = findEntry(tmpl, kFieldName);
        int tel = findEntry(tmpl, kFieldTel);
        int grp = tmpl.size() == 3 ? findEntry(tmpl, kFieldGroup) : -1;
        for (size_t i = fields.size(); i-- > 0;) {
            const TVcardFields &f = fields[i];
            if (f.type == kFieldName && name >= 0)
                out[static_cast<size_t>(name)] = {kFieldName, -1, fitName(f.value, tmpl[static_cast<size_t>(name)].maxLen)};
            else if (f.type == kFieldTel && tel >= 0)
                out[static_cast<size_t>(tel)] = {kFieldTel, 0, f.value};
            else if (f.type == kFieldGroup && grp >= 0)
                out[static_cast<size_t>(grp)] = {kFieldGroup, f.flags, f.value};
        }
        break;
    }
    case StorageCode::Contacts: {
        std::vector<bool> taken(fields.size(), false);
        for (size_t k = 0; k < tmpl.size(); ++k) {
            for (size_t i = 0; i < fields.size(); ++i) {
                if (taken[i] || fields[i].type != tmpl[k].type)
                    continue;
                taken[i] = true;
                const TVcardFields &f = fields[i];
                out[k] = {f.type, f.type == kFieldName ? -1 : f.flags, fitValue(f.type, f.value, tmpl[k].maxLen)};
                break;
            }
        }
        break;
    }
    case StorageCode::Groups:
        if (!tmpl.empty()) {
            for (const TVcardFields &f : fields) {
                if (f.type == kFieldName) {
                    out[0] = {kFieldName, -1, fitName(f.value, tmpl[0].maxLen)};
                    break;
                }
            }
        }
        break;
    }
    bool fits = HasContent(out); // nothing left to store: written, it would be an empty card
    for (size_t k = 0; k < out.size(); ++k)
        if (out[k].type == kFieldTel && !numberFits(out[k].value, tmpl[k].maxLen))
            fits = false;
    fields = std::move(out);
    return fits;
}

} // namespace content
