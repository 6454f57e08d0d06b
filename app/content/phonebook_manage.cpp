#include "content/phonebook_manage.h"

#include "core/prompt.h"
#include "dv_vcard.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

namespace content {

namespace {

using namespace contact_column;

int handsetIndex(StorageCode s)
{
    switch (s) {
    case StorageCode::Sim:
        return 0;
    case StorageCode::Phone:
        return 1;
    case StorageCode::Contacts:
        return 2;
    default:
        return -1;
    }
}

platform::Filter storageFilter(StorageCode s) { return platform::eq(kPos, toInt(s)); }

platform::Filter entryFilter(StorageCode s, int32_t pos)
{
    return platform::eq(kPos, toInt(s)) && platform::eq(kPbId, pos);
}

// The family name of an N value, as the group lists show it.
std::string familyName(const std::string &nValue)
{
    VcardName n;
    VcardName_dec(&n, nValue.c_str());
    return std::string(n.family, strnlen(n.family, sizeof n.family));
}

} // namespace

ContactBook::ContactBook() : table(TPhoneBookManage::makeContactTable()) {}

platform::Table TPhoneBookManage::makeContactTable()
{
    return platform::Table({{kId, platform::FieldType::Integer},
                            {kStor, platform::FieldType::Integer},
                            {kPos, platform::FieldType::Integer},
                            {kPbId, platform::FieldType::Integer},
                            {kValue, platform::FieldType::Text, kContactValueChars}});
}

TPhoneBookManage::TPhoneBookManage(Env &env) : env_(env)
{
    books_.push_back(std::make_unique<ContactBook>());
}

TPhoneBookManage::~TPhoneBookManage() = default;

void TPhoneBookManage::Init(const CardClientFactory &makeClient, const std::function<void(uint16_t)> &setPbCaps)
{
    const int32_t ids[3] = {kItfPhoneBook, kItfContacts, kItfGroups};
    for (size_t i = 0; i < clients_.size(); ++i)
        clients_[i] = makeClient ? makeClient(ids[i]) : nullptr;
    ClearContacts();
    if (setPbCaps)
        setPbCaps(kPbCapPhone);
}

void TPhoneBookManage::BindCardClients(uint64_t connSerial)
{
    const int32_t ids[3] = {kItfPhoneBook, kItfContacts, kItfGroups};
    for (size_t i = 0; i < clients_.size(); ++i)
        if (clients_[i])
            clients_[i]->SetItf(ids[i], connSerial);
}

CardClient *TPhoneBookManage::cardClient(int32_t itfId) const
{
    if (itfId < kItfPhoneBook || itfId > kItfGroups)
        return nullptr;
    return clients_[static_cast<size_t>(itfId - kItfPhoneBook)].get();
}

ContactBook *TPhoneBookManage::bookAt(int b) { return validBook(b) ? books_[static_cast<size_t>(b)].get() : nullptr; }

const ContactBook *TPhoneBookManage::bookAt(int b) const
{
    return validBook(b) ? books_[static_cast<size_t>(b)].get() : nullptr;
}

int TPhoneBookManage::AddFileBook(std::string fileName)
{
    auto bk = std::make_unique<ContactBook>();
    bk->fileName = std::move(fileName);
    books_.push_back(std::move(bk));
    return BookCount() - 1;
}

HandsetStorage &TPhoneBookManage::handsetStorage(StorageCode storage)
{
    int i = handsetIndex(storage);
    if (i < 0)
        throw std::invalid_argument("groups have no position records");
    return handset_.storages[static_cast<size_t>(i)];
}

const HandsetStorage &TPhoneBookManage::handsetStorage(StorageCode storage) const
{
    return const_cast<TPhoneBookManage *>(this)->handsetStorage(storage);
}

void TPhoneBookManage::SetStorageStatus(StorageCode storage, int32_t first, int32_t last, int32_t capCode)
{
    HandsetStorage &hs = handsetStorage(storage);
    hs.first = first;
    hs.last = last;
    hs.capCode = capCode;
    hs.idMng.clear();
    // last - first + 1 reported positions and ten spare ones past the last; a handset's numbers are
    // not trusted, so the count is bounded and computed without overflow.
    int64_t reported = std::clamp<int64_t>(int64_t{last} - first + 1, 0, kMaxPositions);
    int64_t count = reported + kSparePositions;
    hs.idMng.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        int64_t pos = int64_t{first} + i;
        if (pos > INT32_MAX)
            break;
        hs.idMng.push_back({static_cast<int32_t>(i + 1), static_cast<int32_t>(pos), driverStorageOf(storage),
                            PosState::Free});
    }
}

void TPhoneBookManage::resetHandset()
{
    handset_ = HandsetStatus{};
    ContactBook &bk = *books_[0];
    std::array<SortState, 4> sort = bk.sort;
    bk = ContactBook();
    bk.sort = sort;
    if (clipboard_.book == kHandsetBook)
        clipboard_ = ContactClipboard{};
}

void TPhoneBookManage::ClearContacts() { resetHandset(); }

void TPhoneBookManage::SetCurrentBook(int book, StorageCode storage)
{
    currentBook_ = book;
    currentStorage_ = storage;
}

int32_t TPhoneBookManage::AllocPosition(IdMngArray &records, int32_t last, int32_t first)
{
    if (last == -1 && first == -1) {
        if (!copying_) // a copy counts it and says so once, in its summary
            env_.messageBox(env_.text("SmsMng_MessCode1"), core::kMbOk);
        return kPbNoStatus;
    }
    for (IdMngRec &r : records) {
        if (r.pos < first || r.pos > last)
            continue;
        if (r.state == PosState::Free) {
            r.state = PosState::New;
            return r.pos;
        }
        if (r.state == PosState::Deleted) {
            r.state = PosState::Changed;
            return r.pos;
        }
    }
    return kPbFull;
}

int32_t TPhoneBookManage::smallestFreePosition(ContactBook &bk, StorageCode storage)
{
    // Each position is looked up through the table's index, from the book's hint: every position
    // below it was taken when it was set, which holds while the rows are as they were then (a
    // copy of thousands saves one by one and asks each time).
    platform::Table &t = bk.table;
    const bool hinted = bk.freeHint.changes == t.changes() && bk.freeHint.storage == toInt(storage);
    int32_t p = hinted ? bk.freeHint.from : 1;
    for (; p < INT32_MAX; ++p) {
        t.setFilter(entryFilter(storage, p));
        if (t.count() == 0)
            break;
    }
    t.clearFilter();
    bk.freeHint = {t.changes(), toInt(storage), p};
    return p;
}

int32_t TPhoneBookManage::SaveContact(int b, StorageCode storage, int32_t &pos, const TMobileVacrd &fieldsIn)
{
    ContactBook *bk = bookAt(b);
    if (!bk)
        return kPbBadArg;
    const bool handset = b == kHandsetBook;
    platform::Table &t = bk->table;

    t.setFilter(entryFilter(storage, pos));
    const bool found = t.count() > 0;
    if (found)
        t.first();
    // Stor of a new row: the word the storage's rows were read with, else the storage's own.
    int32_t stor = toInt(driverStorageOf(storage));
    if (!found) {
        t.setFilter(storageFilter(storage));
        if (t.count() > 0) {
            t.first();
            stor = t.integer(kStor);
        }
    }
    t.clearFilter();

    TMobileVacrd fields = fieldsIn;
    if (found && handset && storage == StorageCode::Groups &&
        std::none_of(fields.begin(), fields.end(), [](const TVcardFields &f) { return f.type == kFieldGroup; }))
        fields.push_back({kFieldGroup, 0, std::to_string(pos)});

    // The text first: a contact that cannot be built or does not fit the row changes nothing, and
    // an empty text is never stored (written back, it would delete the handset's entry).
    int32_t r = 0;
    std::string text = BuildContact(fields, &r);
    if (text.empty())
        return r < 0 ? r : kPbBadArg;
    if (utf8Chars(text) > kContactValueChars)
        return kPbTooLong;

    int32_t newPos = pos;
    if (!found) {
        if (handset && storage != StorageCode::Groups) {
            HandsetStorage &hs = handsetStorage(storage);
            newPos = AllocPosition(hs.idMng, hs.last, hs.first);
            if (newPos < 0)
                return newPos;
        } else {
            newPos = smallestFreePosition(*bk, storage);
        }
    }

    // The row is found again by the columns: the filter was dropped for the allocation.
    if (found) {
        t.setFilter(entryFilter(storage, pos));
        t.first();
        if (handset && storage != StorageCode::Groups) {
            for (IdMngRec &rec : handsetStorage(storage).idMng) {
                if (rec.pos == pos) {
                    rec.state = PosState::Changed;
                    break;
                }
            }
        }
        t.edit();
    } else {
        int32_t nextId = 1;
        if (!t.rows().empty())
            nextId = t.rows().back().intAt(static_cast<size_t>(t.fieldIndex(kId))) + 1;
        t.append();
        t.setInt(kId, nextId);
        t.setInt(kStor, stor);
        t.setInt(kPos, toInt(storage));
        t.setInt(kPbId, newPos);
    }
    t.setText(kValue, text);
    // A row added or edited here frees no position: the hint stays good.
    const bool hintGood = bk->freeHint.changes == t.changes();
    t.post();
    t.clearFilter();
    if (hintGood)
        bk->freeHint.changes = t.changes();
    bk->changed = true;
    pos = newPos;
    if (storage == StorageCode::Groups)
        RebuildGroupNames(b);
    return 0;
}

int32_t TPhoneBookManage::DeleteContacts(int b, StorageCode storage, const std::vector<int32_t> &positions)
{
    ContactBook *bk = bookAt(b);
    if (!bk)
        return kPbBadArg;
    bk->changed = true;
    platform::Table &t = bk->table;
    // One row per listed position (the first of the storage's rows at it, a position listed twice
    // takes two), all in one pass over the table: a cut of thousands from a large file book.
    std::map<int32_t, size_t> wanted;
    for (int32_t p : positions)
        ++wanted[p];
    const int fPos = t.fieldIndex(kPos), fPbId = t.fieldIndex(kPbId);
    t.removeWhere(platform::Filter::where([&](const platform::RowView &r) {
        if (r.intAt(fPos) != toInt(storage))
            return false;
        auto it = wanted.find(r.intAt(fPbId));
        if (it == wanted.end() || it->second == 0)
            return false;
        --it->second;
        return true;
    }));
    for (int32_t p : positions) {
        if (b == kHandsetBook && storage != StorageCode::Groups) {
            for (IdMngRec &rec : handsetStorage(storage).idMng) {
                if (rec.pos == p && rec.state != PosState::Free) {
                    rec.state = PosState::Deleted;
                    break;
                }
            }
        }
    }
    return 0;
}

int32_t TPhoneBookManage::ClearStorage(int b, StorageCode storage)
{
    ContactBook *bk = bookAt(b);
    if (!bk)
        return kPbBadArg;
    bk->changed = true;
    bk->table.removeWhere(storageFilter(storage));
    if (b == kHandsetBook && storage != StorageCode::Groups)
        for (IdMngRec &rec : handsetStorage(storage).idMng)
            if (rec.state != PosState::Free)
                rec.state = PosState::Deleted;
    return 0;
}

void TPhoneBookManage::RebuildGroupNames(int b)
{
    ContactBook *bk = bookAt(b);
    if (!bk)
        return;
    // Indexed by position, so that a GRP value (a group's position) finds its name at GRP - 1
    // whatever order the rows were added in.
    bk->groupNames.clear();
    const platform::Table &t = bk->table;
    const int pos = t.fieldIndex(kPos), id = t.fieldIndex(kPbId), value = t.fieldIndex(kValue);
    for (const platform::Row &row : t.rows()) {
        if (row.intAt(static_cast<size_t>(pos)) != toInt(StorageCode::Groups))
            continue;
        int32_t p = row.intAt(static_cast<size_t>(id));
        if (p < 1 || p > kMaxGroupPosition)
            continue;
        for (const TVcardFields &f : ParseContact(row.textAt(static_cast<size_t>(value)))) {
            if (f.type != kFieldName)
                continue;
            if (bk->groupNames.size() < static_cast<size_t>(p))
                bk->groupNames.resize(static_cast<size_t>(p));
            bk->groupNames[static_cast<size_t>(p - 1)] = familyName(f.value);
            break;
        }
    }
}

std::optional<TMobileVacrd> TPhoneBookManage::LoadContact(int b, StorageCode storage, int32_t pos, bool *fits)
{
    ContactBook *bk = bookAt(b);
    if (!bk)
        return std::nullopt;
    platform::Table &t = bk->table;
    t.setFilter(entryFilter(storage, pos));
    std::optional<TMobileVacrd> fields;
    if (t.count() > 0) {
        t.first();
        fields = ParseContact(t.text(kValue));
    }
    t.clearFilter();
    if (!fields)
        return std::nullopt;
    bool ok = FitToStorage(b, storage, *fields);
    if (fits)
        *fits = ok;
    return fields;
}

bool TPhoneBookManage::HasGroups(int b) const
{
    if (b == kHandsetBook)
        return env_.state().PbCap8;
    const ContactBook *bk = bookAt(b);
    return bk && bk->limits.groupName >= 1;
}

TFieldParams TPhoneBookManage::GetStorageFields(int b, StorageCode storage) const
{
    const ContactBook *bk = bookAt(b);
    if (!bk)
        return {};
    const BookLimits &l = bk->limits;
    auto entry = [](int32_t type, int32_t maxLen) {
        FieldParam p;
        p.type = type;
        p.maxLen = maxLen;
        return p;
    };
    switch (storage) {
    case StorageCode::Sim:
    case StorageCode::Phone: {
        bool sim = storage == StorageCode::Sim;
        TFieldParams t{entry(kFieldName, sim ? l.simName : l.phoneName),
                       entry(kFieldTel, sim ? l.simNumber : l.phoneNumber)};
        if (HasGroups(b))
            t.push_back(entry(kFieldGroup, l.groupName));
        return t;
    }
    case StorageCode::Groups:
        return {entry(kFieldName, l.groupName)};
    case StorageCode::Contacts:
        return bk->contactsTemplate;
    }
    return {};
}

std::vector<std::string> TPhoneBookManage::GetGroupNames() const { return GetGroupNames(currentBook_); }

std::vector<std::string> TPhoneBookManage::GetGroupNames(int b) const
{
    const ContactBook *bk = bookAt(b);
    return bk ? bk->groupNames : std::vector<std::string>{};
}

std::string TPhoneBookManage::GetCountText(int b, StorageCode storage) const
{
    const ContactBook *bk = bookAt(b);
    if (!bk)
        return "0";
    const int pos = bk->table.fieldIndex(kPos);
    int n = 0;
    for (const platform::Row &row : bk->table.rows())
        if (row.intAt(static_cast<size_t>(pos)) == toInt(storage))
            ++n;
    return std::to_string(n);
}

bool TPhoneBookManage::CanAddEntry(int b, StorageCode storage) const
{
    if (!validBook(b) || storage == StorageCode::Groups)
        return false;
    if (b != kHandsetBook)
        return true;
    // The handset's root node is no storage: nothing is added there.
    const int i = handsetIndex(storage);
    return i >= 0 && handset_.storages[static_cast<size_t>(i)].last != -1;
}

bool TPhoneBookManage::FitToStorage(int b, StorageCode storage, TMobileVacrd &fields) const
{
    return FitFields(GetStorageFields(b, storage), storage, fields);
}

} // namespace content
