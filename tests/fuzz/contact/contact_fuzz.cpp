// Fuzz entry for the contact model: any bytes a handset or a contact file may hold as a contact's
// text. The first four bytes choose the limits of the storage templates.
// Promise on any input: parsing answers a field list; fitting gives one field per template entry,
// names within their limit as the driver writes them, other texts within theirs, numbers whole
// and reported when too long; building any parsed or fitted contact succeeds with a text; and once
// built, a contact reads back to what builds the same text again.

#include "content/phonebook_manage.h"
#include "dv_vcard.h"
#include "fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

using namespace content;

namespace {

size_t driverNameChars(const std::string &value)
{
    VcardName n;
    VcardName_dec(&n, value.c_str());
    char out[sizeof(VcardName) + 8];
    int32_t len = VcardName_toStr(&n, out, sizeof out);
    FUZZ_CHECK(len >= 0);
    return utf8Chars(std::string_view(out, static_cast<size_t>(len)));
}

std::string buildOk(const TMobileVacrd &fields)
{
    int32_t r = -1;
    std::string text = TPhoneBookManage::BuildContact(fields, &r);
    FUZZ_CHECK(r == 0 && !text.empty());
    return text;
}

void checkFit(const TMobileVacrd &parsed, const TFieldParams &tmpl, StorageCode storage)
{
    TMobileVacrd fields = parsed;
    bool fits = TPhoneBookManage::FitFields(tmpl, storage, fields);
    FUZZ_CHECK(fields.size() == tmpl.size());
    bool numberTooLong = false;
    for (size_t k = 0; k < fields.size(); ++k) {
        const TVcardFields &f = fields[k];
        FUZZ_CHECK(f.type == kFieldOther || f.type == tmpl[k].type);
        int32_t max = tmpl[k].maxLen;
        if (f.type == kFieldOther || max <= 0)
            continue;
        if (f.type == kFieldName)
            FUZZ_CHECK(driverNameChars(f.value) <= static_cast<size_t>(max));
        else if (f.type == kFieldTel)
            numberTooLong = numberTooLong || utf8Chars(f.value) > static_cast<size_t>(max);
        else if (f.type != kFieldGroup && f.type != kFieldAddr)
            FUZZ_CHECK(utf8Chars(f.value) <= static_cast<size_t>(max));
    }
    // A fit holds a number short enough and something to store: an empty card would delete.
    FUZZ_CHECK(fits == (!numberTooLong && TPhoneBookManage::HasContent(fields)));
    buildOk(fields);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    int32_t lim[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4 && i < size; ++i)
        lim[i] = static_cast<int32_t>(data[i] % 40) - 2; // -2..37: none, tiny and ordinary limits
    std::string_view text(reinterpret_cast<const char *>(data), size);

    TMobileVacrd parsed = TPhoneBookManage::ParseContact(text);
    for (const TVcardFields &f : parsed) {
        FUZZ_CHECK(f.type > VCARD_TYPE_END);
        FUZZ_CHECK(f.value.find('\0') == std::string::npos);
    }

    auto entry = [](int32_t type, int32_t max) {
        FieldParam p;
        p.type = type;
        p.maxLen = max;
        return p;
    };
    checkFit(parsed, {entry(kFieldName, lim[0]), entry(kFieldTel, lim[1])}, StorageCode::Sim);
    checkFit(parsed, {entry(kFieldName, lim[1]), entry(kFieldTel, lim[2]), entry(kFieldGroup, lim[3])},
             StorageCode::Phone);
    checkFit(parsed, {entry(kFieldName, lim[2])}, StorageCode::Groups);
    checkFit(parsed,
             {entry(kFieldName, lim[3]), entry(kFieldTel, lim[0]), entry(kFieldTel, lim[1]), entry(kFieldEmail, lim[2]),
              entry(kFieldAddr, lim[3]), entry(kFieldNote, lim[0]), entry(kFieldGroup, lim[1]),
              entry(kFieldBirthday, lim[2])},
             StorageCode::Contacts);

    // Building normalises a contact once (five-part names, groups that name none left out); from
    // then on reading and building are each other's inverse.
    std::string once = buildOk(parsed);
    TMobileVacrd again = TPhoneBookManage::ParseContact(once);
    std::string twice = buildOk(again);
    FUZZ_CHECK(TPhoneBookManage::ParseContact(twice) == again);
    FUZZ_CHECK(twice == buildOk(TPhoneBookManage::ParseContact(twice)));
    return 0;
}
