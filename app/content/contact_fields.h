// A contact as the phone-book manager holds it: a list of typed fields (vCard property code,
// parameter flags, value), the field template of a storage, and the codes that address storages.
//
//   TMobileVacrd card = TPhoneBookManage::ParseContact(row.text("Value"));
//   std::string text = TPhoneBookManage::BuildContact(card, &result); // empty only on failure
//
// Values are UTF-8 texts: the program's code page is UTF-8, so no conversion happens between the
// vCard text and the fields. N and ADR values stay escaped as the reader gives them ("\;" inside a
// part), so that VcardName_dec / VcardAddr_dec can tell a ";" inside a part from the separator.
//
// Every length limit here counts characters (UTF-8 code points), and every cut lands on a character
// boundary.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TFieldParam; // the driver's 44-byte field limit (drivers/include/ms_itf.h)

namespace content {

// Field type codes, as the device library's vCard reader reports them (dv_vcard.h), plus 9: an
// address given as one line of text (made by the contact editor or a file; the reader never reports
// it; it is written as an ADR whose first part holds the text).
enum : int32_t {
    kFieldOther = 0,
    kFieldName = 3,
    kFieldBirthday = 4,
    kFieldTel = 5,
    kFieldEmail = 6,
    kFieldUrl = 7,
    kFieldAddr = 8,
    kFieldAddrText = 9,
    kFieldOrg = 10,
    kFieldTitle = 11,
    kFieldNote = 12,
    kFieldFullName = 13,
    kFieldGroup = 61,
};

// The GRP value of a contact that belongs to no group.
inline constexpr std::string_view kNoGroup = "-100";

// One typed contact field.
struct TVcardFields {
    int32_t type = kFieldOther;
    int32_t flags = 0;
    std::string value;

    bool operator==(const TVcardFields &) const = default;
};

// One contact: its fields, kept ordered by type with SortFields().
using TMobileVacrd = std::vector<TVcardFields>;

// One entry of a storage's field template: type, flags, longest value in characters (0 or less:
// no limit), the seven part limits (name: family, given; address: post-office box ... country) and
// one spare word. Mirrors the driver's TFieldParam, whose 32 trailing bytes hold the eight words.
struct FieldParam {
    int32_t type = kFieldOther;
    int32_t flags = 0;
    int32_t maxLen = 0;
    std::array<int32_t, 7> partLimits{};
    int32_t spare = 0;

    bool operator==(const FieldParam &) const = default;
};
using TFieldParams = std::vector<FieldParam>;

// The template a handset reports (count entries of the driver's table; NULL or count <= 0: none).
// The part limits and the spare word are read from the record's trailing words, little-endian.
TFieldParams fieldParamsFromDriver(const ::TFieldParam *table, int32_t count);

// Storage codes: column `Pos` of a contact row, the tree's storage nodes.
enum class StorageCode : int32_t { Sim = 1, Phone = 2, Contacts = 4, Groups = 8 };
// The driver's storage word: column `Stor`, the argument of a phone-book interface ("SM", "ME").
enum class DriverStorage : int32_t { Sim = 1, Memory = 2 };

// The code for an integer from a row or a tree node; nothing for any other value.
std::optional<StorageCode> storageCodeOf(int32_t code);
inline int32_t toInt(StorageCode s) { return static_cast<int32_t>(s); }
inline int32_t toInt(DriverStorage s) { return static_cast<int32_t>(s); }
// The driver storage word a storage is reached with: 1 for SIM, 2 for the others.
DriverStorage driverStorageOf(StorageCode s);

// The exchange sort every writer of a contact uses: for each i, for each later j, swap i and j when
// the type at i is greater. Not stable; its order of equal-typed fields is the model's order, so
// use this one and no other.
void SortFields(TMobileVacrd &fields);
void SortFields(TFieldParams &params);

// UTF-8 helpers. A character is a byte that is not a continuation byte (10xxxxxx).
size_t utf8Chars(std::string_view s);
// The first maxChars characters of s.
std::string_view utf8Head(std::string_view s, size_t maxChars);
// The longest head of s of at most maxBytes bytes that ends on a character boundary.
std::string_view utf8HeadBytes(std::string_view s, size_t maxBytes);

// A GRP value that names a group: a whole decimal number (optional sign) of at least 0.
bool isGroupNumber(std::string_view value);

} // namespace content
