// The contact tree, lists, sort states, number captions and the contact picker, computed headless
// from the phone-book manager's books. The Qt side copies these models into its widgets in one
// bulk update; tests read them directly.
//
//   content::ContactList list = content::FillList(pb, env, book, content::StorageCode::Sim, width);
//   for (const content::ContactListRow &r : list.rows) addItem(r.pos, r.image, r.cells, r.id);
//
// Names are shown the same way everywhere (lists, picker, print, sorting): the parts of N joined
// by blanks. A group is shown by its name; a GRP value that names no listed group shows nothing.
// Books are addressed by index (GetBookNames' index is the book index).
//
// User-interface thread only.
#pragma once

#include "content/contact_fields.h"
#include "content/env.h"
#include "content/menu_state.h"
#include "content/phonebook_manage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace content {

// A node of the contact tree as a view shows it: caption, storage code (also the image; 0 for a
// book's root), children, expanded.
using ContactTree = std::vector<ContactTreeNode>;

struct ListColumn {
    std::string caption;
    int width = 0;
    bool operator==(const ListColumn &) const = default;
};

// One list row: the position (the item's caption), the image (-1: none), the sub-item texts and
// the row's Id in the contact table (-1: a blank row of an unused position).
struct ContactListRow {
    int32_t pos = 0;
    int image = -1;
    std::vector<std::string> cells;
    int32_t id = -1;
    bool operator==(const ContactListRow &) const = default;
};

struct ContactList {
    std::vector<ListColumn> columns;
    std::vector<ContactListRow> rows;
};

// The display name of an N value: its parts joined by blanks, at most maxBytes bytes (cut on a
// character boundary).
std::string DisplayName(std::string_view nValue, size_t maxBytes = 160);
// The name of the group a GRP value names (1-based into names); empty for "0", negatives, numbers
// past the list and anything that is not a number.
std::string GroupNameOf(const std::vector<std::string> &names, std::string_view grp);
// An ADR value as one line of text (its parts joined), at most 300 bytes; empty when it has none.
std::string AddressText(const std::string &adrValue);
// The first field of a type in a contact; null when it has none.
const TVcardFields *FirstField(const TMobileVacrd &fields, int32_t type);

// The handset's root ("PbMng_Tree_0", storage 0) with SIM always, then phone memory, contacts and
// groups by the application's phone-book flags; expanded.
ContactTreeNode BuildHandsetNode(const Env &env);
// The whole tree: the handset's root, then each file book's node as the import made it.
ContactTree BuildTree(const TPhoneBookManage &pb, const Env &env);

// The list of a book's storage. listWidth is the list's client width (SIM and phone memory share
// it out). An unknown book gives an empty list.
ContactList FillList(const TPhoneBookManage &pb, const Env &env, int book, StorageCode storage, int listWidth);
// The row of one SIM or phone-memory entry after editing.
ContactListRow UpdateEntryRow(const TPhoneBookManage &pb, int book, StorageCode storage, int32_t pos,
                              const TMobileVacrd &fields, int32_t id = -1);
// The row of one contact (storage 4) after editing, following the book's contacts template.
ContactListRow UpdateContactRow(const TPhoneBookManage &pb, int book, int32_t pos, const TMobileVacrd &fields,
                                int32_t id = -1);

// The stored sort state of a book's storage; {-100, -100} for an unknown book or a storage code
// other than 1, 2, 4 and 8.
SortState GetSortState(const TPhoneBookManage &pb, int book, int32_t storage);
// Stores it; other codes and unknown books are ignored.
void SetSortState(TPhoneBookManage &pb, int book, int32_t storage, int32_t column, int32_t direction);
// The order of two list texts: the position column as numbers, the others by bytes ignoring ASCII
// case. Negative, 0 or positive.
int CompareListTexts(std::string_view a, std::string_view b, bool numeric);

// The caption of a number type: "PbMng_ParamA" + the last of 1, 2, 128, 64 set, then
// "PbMng_ParamB" + the last of 256, 512, 1024, 2048 set.
std::string GetTelTypeText(const Env &env, int32_t flags);
// "PbMng_Tree_0", then each file book's name without folder and without its extension; the index
// is the book index.
std::vector<std::string> GetBookNames(const TPhoneBookManage &pb, const Env &env);
// Every non-empty TEL of the entry, trimmed, each followed by ";" (empty when there is none).
std::string GetSelectedNumbers(const TPhoneBookManage &pb, int book, StorageCode storage, int32_t pos);

struct PickerRow {
    std::string name;
    std::string number;
    bool operator==(const PickerRow &) const = default;
};
// The picker's rows of a book (all storages but groups, table order). An unknown book gives none.
std::vector<PickerRow> FillNumberList(const TPhoneBookManage &pb, int book, bool mobileOnly);

// One item of the contact menus: its object name and tag.
struct ContactMenuItem {
    std::string name;
    int tag = 0;
};
// The state of the contact menu items: Paste (tag 99) while the clipboard has positions; reading
// from the handset while connected; writing to it while the chosen book and storage have changes
// (and, for the handset's book, while connected); other tag 1 items for the handset while
// connected and the list has rows, for a file book while a row is selected; everything hidden for
// groups.
NamedMenuState UpdateMenus(TPhoneBookManage &pb, const Env &env, int book, int32_t storage, int listRows,
                           int selectedRows, const std::vector<ContactMenuItem> &items);

} // namespace content
