#include "content/contacts_view.h"

#include "dv_vcard.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <set>

namespace content {
namespace {

struct BookRow {
    int32_t id;
    int32_t storage;
    int32_t pos;
    std::string_view value;
};

std::vector<BookRow> rowsOf(const ContactBook &bk, std::optional<StorageCode> only)
{
    const platform::Table &t = bk.table;
    const size_t fId = size_t(t.fieldIndex("Id")), fPos = size_t(t.fieldIndex("Pos")),
                 fPb = size_t(t.fieldIndex("PbId")), fVal = size_t(t.fieldIndex("Value"));
    std::vector<BookRow> out;
    for (const platform::Row &r : t.rows()) {
        const int32_t stor = r.intAt(fPos);
        if (!only || stor == toInt(*only))
            out.push_back({r.intAt(fId), stor, r.intAt(fPb), r.textAt(fVal)});
    }
    return out;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::string column(const Env &env, int code) { return env.text("PbMng_Pb_Column_" + std::to_string(code)); }

} // namespace

std::string DisplayName(std::string_view nValue, size_t maxBytes)
{
    VcardName n;
    std::string v(nValue);
    VcardName_dec(&n, v.c_str());
    std::vector<char> out(maxBytes + 1);
    int32_t len = VcardName_toStr(&n, out.data(), int32_t(out.size()));
    return len > 0 ? std::string(out.data(), size_t(len)) : std::string();
}

std::string AddressText(const std::string &adrValue)
{
    VcardAddr a;
    VcardAddr_dec(&a, adrValue.c_str());
    char out[301];
    int32_t n = VcardAddr_toStr(&a, out, sizeof out);
    return n > 0 ? std::string(out, size_t(n)) : std::string();
}

const TVcardFields *FirstField(const TMobileVacrd &fields, int32_t type)
{
    for (const TVcardFields &f : fields)
        if (f.type == type)
            return &f;
    return nullptr;
}

std::string GroupNameOf(const std::vector<std::string> &names, std::string_view grp)
{
    grp = trim(grp);
    int64_t k = 0;
    auto [end, ec] = std::from_chars(grp.data(), grp.data() + grp.size(), k);
    if (ec != std::errc() || end != grp.data() + grp.size() || k < 1 || k > int64_t(names.size()))
        return {};
    return names[size_t(k - 1)];
}

ContactTreeNode BuildHandsetNode(const Env &env)
{
    const AppState st = env.state();
    ContactTreeNode root{env.text("PbMng_Tree_0"), 0, {}, true};
    auto add = [&](int code) { root.children.push_back({env.text("PbMng_Tree_" + std::to_string(code)), code, {}, false}); };
    add(1);
    if (st.PbCap2)
        add(2);
    if (st.PbCap4)
        add(4);
    if (st.PbCap8)
        add(8);
    return root;
}

ContactTree BuildTree(const TPhoneBookManage &pb, const Env &env)
{
    ContactTree tree{BuildHandsetNode(env)};
    for (int b = 1; b < pb.BookCount(); ++b)
        tree.push_back(pb.book(b).node);
    return tree;
}

ContactListRow UpdateEntryRow(const TPhoneBookManage &pb, int book, StorageCode storage, int32_t pos,
                              const TMobileVacrd &fields, int32_t id)
{
    ContactListRow row{pos, toInt(storage) + 2, {}, id};
    const TVcardFields *n = FirstField(fields, kFieldName);
    const TVcardFields *tel = FirstField(fields, kFieldTel);
    const TVcardFields *grp = FirstField(fields, kFieldGroup);
    row.cells.push_back(n ? DisplayName(n->value, 80) : std::string());
    row.cells.push_back(tel ? tel->value : std::string());
    const std::vector<std::string> &groups = pb.validBook(book) ? pb.book(book).groupNames : std::vector<std::string>{};
    row.cells.push_back(grp && !groups.empty() ? GroupNameOf(groups, grp->value) : std::string());
    return row;
}

ContactListRow UpdateContactRow(const TPhoneBookManage &pb, int book, int32_t pos, const TMobileVacrd &fields,
                                int32_t id)
{
    ContactListRow row{pos, toInt(StorageCode::Contacts) + 2, {}, id};
    if (!pb.validBook(book))
        return row;
    const ContactBook &bk = pb.book(book);
    std::vector<bool> taken(fields.size(), false);
    for (const FieldParam &p : bk.contactsTemplate) {
        std::string text;
        for (size_t i = 0; i < fields.size(); ++i) {
            if (taken[i] || fields[i].type != p.type)
                continue;
            taken[i] = true;
            const std::string &v = fields[i].value;
            if (p.type == kFieldName)
                text = DisplayName(v, 160);
            else if (p.type == kFieldAddr)
                text = AddressText(v);
            else if (p.type == kFieldGroup)
                text = GroupNameOf(bk.groupNames, v);
            else
                text = v;
            break;
        }
        row.cells.push_back(std::move(text));
    }
    return row;
}

ContactList FillList(const TPhoneBookManage &pb, const Env &env, int book, StorageCode storage, int listWidth)
{
    ContactList list;
    if (!pb.validBook(book))
        return list;
    const ContactBook &bk = pb.book(book);
    const std::vector<BookRow> rows = rowsOf(bk, storage);
    switch (storage) {
    case StorageCode::Sim:
    case StorageCode::Phone: {
        const int half = std::max(0, (listWidth - 150) / 2);
        list.columns = {{column(env, 1), 40}, {column(env, 3), half}, {column(env, 5), half}, {column(env, 61), 80}};
        std::set<int32_t> shown;
        for (const BookRow &r : rows) {
            if (pb.IsCut(book, toInt(storage), r.pos))
                continue;
            list.rows.push_back(UpdateEntryRow(pb, book, storage, r.pos, TPhoneBookManage::ParseContact(r.value), r.id));
            shown.insert(r.pos);
        }
        int32_t first = 1, last = 0;
        if (book == kHandsetBook) {
            const HandsetStorage &hs = pb.handsetStorage(storage);
            first = hs.first;
            last = std::min<int64_t>(hs.last, int64_t(hs.first) + kMaxPositions);
            if (!hs.statusRead())
                last = first - 1;
        } else {
            last = int32_t(rows.size());
        }
        for (int32_t p = first; p <= last; ++p)
            if (!shown.count(p))
                list.rows.push_back({p, -1, {}, -1});
        break;
    }
    case StorageCode::Contacts:
        list.columns.push_back({column(env, 1), 60});
        for (const FieldParam &p : bk.contactsTemplate)
            list.columns.push_back({column(env, p.type), p.type == kFieldGroup ? 80 : 2 * p.maxLen + 10});
        for (const BookRow &r : rows)
            list.rows.push_back(UpdateContactRow(pb, book, r.pos, TPhoneBookManage::ParseContact(r.value), r.id));
        break;
    case StorageCode::Groups:
        list.columns = {{column(env, 1), 60}, {column(env, 3), 200}};
        for (const BookRow &r : rows) {
            const TMobileVacrd f = TPhoneBookManage::ParseContact(r.value);
            const TVcardFields *n = FirstField(f, kFieldName);
            list.rows.push_back({r.pos, toInt(storage) + 2, {n ? DisplayName(n->value, 80) : std::string()}, r.id});
        }
        break;
    }
    return list;
}

namespace {
int sortSlot(int32_t storage)
{
    switch (storage) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    default: return -1;
    }
}
} // namespace

SortState GetSortState(const TPhoneBookManage &pb, int book, int32_t storage)
{
    const int slot = sortSlot(storage);
    if (slot < 0 || !pb.validBook(book))
        return {-100, -100};
    return pb.book(book).sort[size_t(slot)];
}

void SetSortState(TPhoneBookManage &pb, int book, int32_t storage, int32_t column, int32_t direction)
{
    const int slot = sortSlot(storage);
    if (slot >= 0 && pb.validBook(book))
        pb.book(book).sort[size_t(slot)] = {column, direction};
}

int CompareListTexts(std::string_view a, std::string_view b, bool numeric)
{
    if (numeric) {
        int64_t x = 0, y = 0;
        std::from_chars(a.data(), a.data() + a.size(), x);
        std::from_chars(b.data(), b.data() + b.size(), y);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::string GetTelTypeText(const Env &env, int32_t flags)
{
    std::string a, b;
    for (int32_t bit : {1, 2, 128, 64})
        if (flags & bit)
            a = env.text("PbMng_ParamA" + std::to_string(bit));
    for (int32_t bit : {256, 512, 1024, 2048})
        if (flags & bit)
            b = env.text("PbMng_ParamB" + std::to_string(bit));
    return a + b;
}

std::vector<std::string> GetBookNames(const TPhoneBookManage &pb, const Env &env)
{
    std::vector<std::string> names{env.text("PbMng_Tree_0")};
    for (int b = 1; b < pb.BookCount(); ++b) {
        std::string name = pb.book(b).fileName;
        if (size_t slash = name.find_last_of('/'); slash != std::string::npos)
            name.erase(0, slash + 1);
        if (size_t dot = name.find('.'); dot != std::string::npos)
            name.erase(dot, 4);
        names.push_back(std::move(name));
    }
    return names;
}

std::string GetSelectedNumbers(const TPhoneBookManage &pb, int book, StorageCode storage, int32_t pos)
{
    if (!pb.validBook(book))
        return {};
    std::string out;
    for (const BookRow &r : rowsOf(pb.book(book), storage)) {
        if (r.pos != pos)
            continue;
        for (const TVcardFields &f : TPhoneBookManage::ParseContact(r.value)) {
            std::string_view v = trim(f.value);
            if (f.type == kFieldTel && !v.empty()) {
                out += v;
                out += ';';
            }
        }
        break;
    }
    return out;
}

std::vector<PickerRow> FillNumberList(const TPhoneBookManage &pb, int book, bool mobileOnly)
{
    std::vector<PickerRow> out;
    if (!pb.validBook(book))
        return out;
    for (const BookRow &r : rowsOf(pb.book(book), std::nullopt)) {
        if (r.storage == toInt(StorageCode::Groups))
            continue;
        const TMobileVacrd f = TPhoneBookManage::ParseContact(r.value);
        const TVcardFields *n = FirstField(f, kFieldName);
        PickerRow row{n ? DisplayName(n->value) : std::string(), {}};
        if (r.storage != toInt(StorageCode::Contacts)) {
            const TVcardFields *tel = FirstField(f, kFieldTel);
            row.number = tel ? tel->value : std::string();
            out.push_back(std::move(row));
            continue;
        }
        const TVcardFields *pick = nullptr;
        for (const TVcardFields &x : f)
            if (x.type == kFieldTel && (x.flags & 256))
                pick = &x;
        if (!pick)
            pick = FirstField(f, kFieldTel);
        if (!pick || pick->value.empty())
            continue;
        const std::string &num = pick->value;
        if (mobileOnly && !(num.starts_with("+") || num.starts_with("13")))
            continue;
        row.number = num;
        out.push_back(std::move(row));
    }
    return out;
}

NamedMenuState UpdateMenus(TPhoneBookManage &pb, const Env &env, int book, int32_t storage, int listRows,
                           int selectedRows, const std::vector<ContactMenuItem> &items)
{
    NamedMenuState state;
    const bool connected = env.state().Connected;
    const bool groups = storage == toInt(StorageCode::Groups);
    const bool tag1 = book == kHandsetBook ? connected && listRows > 0 : selectedRows > 0;
    // Read and write are enabled when they can run, as their tool-bar buttons are: a read needs
    // only the link (an empty list is what it fills), a write needs something to write.
    static const std::set<std::string> readItems{"menu_readcont", "menu_cont_read", "button_loadcont"};
    static const std::set<std::string> writeItems{"menu_flash", "N88", "button_flash"};
    const bool canWrite = (book != kHandsetBook || connected) && pb.HasChanges(book, storage);
    for (const ContactMenuItem &it : items) {
        ItemState s;
        s.shown = !groups;
        if (it.tag == 99)
            s.enabled = pb.PasteEnabled();
        else if (readItems.count(it.name))
            s.enabled = connected;
        else if (writeItems.count(it.name))
            s.enabled = canWrite;
        else if (it.tag == 1)
            s.enabled = tag1;
        state[it.name] = s;
    }
    return state;
}

} // namespace content
