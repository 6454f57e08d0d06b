// The phone-book manager's traffic with the handset: reading its storages, writing the changes
// back, and copying contacts between books and storages.
#include "content/phonebook_manage.h"

#include "content/contacts_view.h"

#include "core/prompt.h"
#include "dv_result.h"
#include "dv_vcard.h"
#include "dv_util.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace content {

namespace {

using namespace contact_column;
constexpr size_t kMaxRowText = 2048;

bool isFault(int32_t r) { return r < 0 && NetUtil_isFaultErr(r) != 0; }

std::string familyOf(const std::string &nValue)
{
    VcardName n;
    VcardName_dec(&n, nValue.c_str());
    return std::string(n.family, strnlen(n.family, sizeof n.family)).substr(0, 80);
}

struct RowRef {
    int32_t id;
    int32_t stor;
    int32_t pbId;
    std::string value;
};

std::vector<RowRef> rowsOf(const ContactBook &bk, StorageCode s)
{
    const platform::Table &t = bk.table;
    const int fId = t.fieldIndex(kId), fStor = t.fieldIndex(kStor), fPos = t.fieldIndex(kPos),
              fPb = t.fieldIndex(kPbId), fVal = t.fieldIndex(kValue);
    std::vector<RowRef> out;
    for (const platform::Row &r : t.rows())
        if (r.intAt(size_t(fPos)) == toInt(s))
            out.push_back({r.intAt(size_t(fId)), r.intAt(size_t(fStor)), r.intAt(size_t(fPb)),
                           std::string(r.textAt(size_t(fVal)))});
    return out;
}

// The storage's rows at one position, found through the table's index (a copy or paste of
// thousands asks once per position: copying the whole storage each time made it quadratic).
std::vector<RowRef> rowsAt(ContactBook &bk, StorageCode s, int32_t pos)
{
    platform::Table &t = bk.table;
    const int fId = t.fieldIndex(kId), fStor = t.fieldIndex(kStor), fPb = t.fieldIndex(kPbId),
              fVal = t.fieldIndex(kValue);
    t.setFilter(platform::eq(kPbId, pos) && platform::eq(kPos, toInt(s)));
    std::vector<RowRef> out;
    for (int i = 0; i < t.count(); ++i) {
        const platform::RowView r = *t.rowAt(i);
        out.push_back({r.intAt(fId), r.intAt(fStor), r.intAt(fPb), std::string(r.textAt(fVal))});
    }
    t.clearFilter();
    return out;
}

IdMngRec *recordAt(IdMngArray &recs, int32_t pos)
{
    for (IdMngRec &r : recs)
        if (r.pos == pos)
            return &r;
    return nullptr;
}

} // namespace

void TPhoneBookManage::AttachTransfers(BatchRunner &runner, core::TBaseClt *pb, core::TBaseClt *contacts,
                                       core::TBaseClt *groups)
{
    runner_ = &runner;
    transferClients_ = {pb, contacts, groups};
}

BatchOutcome TPhoneBookManage::runBatch(core::TBaseClt *client, const std::vector<BatchRequest> &batch)
{
    if (!runner_ || !client) {
        BatchOutcome out;
        out.result = DV_E_NOTCONN;
        return out;
    }
    busy_ = true;
    disconnectPending_ = false;
    BatchOutcome out = runner_->run(*client, batch);
    busy_ = false;
    faultShown_ = faultShown_ || out.faultShown;
    return out;
}

void TPhoneBookManage::PhoneDisconnected()
{
    if (busy_) {
        disconnectPending_ = true; // the batch's wait delivered it: applied once the batch is over
        return;
    }
    disconnectPending_ = false;
    if (validBook(kHandsetBook) && HasChanges(kHandsetBook, 0)) {
        // The only copy of a pasted, edited or moved contact may be in this book: it stays, with
        // its pending changes, for the next write.
        if (!handset_.keptOverDrop)
            env_.messageBox(env_.text("PbMng_LinkLost"), core::kMbOk | core::kMbIconInformation);
        handset_.keptOverDrop = true;
        return;
    }
    ClearContacts();
}

// ---- reading ----

bool TPhoneBookManage::ReadStorage(StorageCode storage)
{
    const bool groups = storage == StorageCode::Groups;
    core::TBaseClt *client = groups ? transferClients_[2]
                             : storage == StorageCode::Contacts ? transferClients_[1]
                                                                : transferClients_[0];
    const int32_t word = toInt(driverStorageOf(storage));
    auto st = std::make_shared<core::StorageStatusEx>();
    st->Stor = word;
    auto jobs = std::make_shared<core::TDataArray>(1);
    (*jobs)[0].Kind = core::kJobRead;
    (*jobs)[0].Stor = word;
    BatchOutcome out = runBatch(client, {BatchRequest::storageStatusEx(st), BatchRequest::readList(jobs)});
    if (disconnectPending_) {
        PhoneDisconnected();
        return false;
    }
    if (out.cancelled) {
        handset_.cancelled = true;
        return false;
    }
    // Only a batch that ended normally replaces the storage: its earlier rows and records stay
    // after a link fault, a failed status or a read that stopped.
    if (out.result < 0 || st->Kind == 0 || (*jobs)[0].Result < 0)
        return false;

    std::vector<HandOverRow> rows;
    for (HandOverRow &r : out.rows)
        if (r.stor == word)
            rows.push_back(std::move(r));
    ContactBook &bk = book(kHandsetBook);
    const TFieldParams fields = fieldParamsFromDriver(st->Fields.data(), static_cast<int32_t>(st->Fields.size()));
    if (groups) {
        handset_.groupsLast = st->Last;
        handset_.groupsFirst = st->First;
        bk.limits.groupName = fields.empty() ? 0 : fields.front().maxLen;
        StoreRows(storage, 0, 0, rows);
        return true;
    }
    const int32_t last = st->Last < 0 ? 100 : st->Last;
    const int32_t first = st->First < 0 ? 1 : st->First;
    SetStorageStatus(storage, first, last, st->Kind);
    if (storage == StorageCode::Contacts) {
        bk.contactsTemplate = fields;
        SortFields(bk.contactsTemplate);
    } else {
        int32_t name = 0, number = 0;
        for (const FieldParam &f : fields) {
            if (f.type == kFieldName)
                name = std::max(name, f.maxLen);
            if (f.type == kFieldTel)
                number = std::max(number, f.maxLen);
        }
        (storage == StorageCode::Sim ? bk.limits.simName : bk.limits.phoneName) = name;
        (storage == StorageCode::Sim ? bk.limits.simNumber : bk.limits.phoneNumber) = number;
    }
    StoreRows(storage, last, first, rows);
    return true;
}

void TPhoneBookManage::StoreRows(StorageCode storage, int32_t last, int32_t first, const std::vector<HandOverRow> &rows)
{
    ContactBook &bk = book(kHandsetBook);
    platform::Table &t = bk.table;
    t.clearFilter();
    t.removeWhere(platform::eq(kPos, toInt(storage)));
    const bool groups = storage == StorageCode::Groups;
    if (groups)
        handset_.groupStorNumbers.assign(rows.size(), 0);
    IdMngArray *recs = groups ? nullptr : &handsetStorage(storage).idMng;
    int32_t nextId = 1;
    for (const platform::Row &r : t.rows())
        nextId = std::max(nextId, r.intAt(size_t(t.fieldIndex(kId))) + 1);
    bool unknownShown = false;
    for (size_t i = 0; i < rows.size(); ++i) {
        const HandOverRow &row = rows[i];
        std::string text(row.data.begin(), row.data.begin() + std::min(row.data.size(), kMaxRowText));
        text.resize(strnlen(text.c_str(), text.size()));
        if (row.data.size() > kMaxRowText) // never end inside a character
            while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
                text.pop_back();
        if (recs && row.index >= first && row.index <= last) {
            IdMngRec *rec = recordAt(*recs, row.index);
            if (!rec) {
                if (!unknownShown) // once per read, not a box per row
                    env_.messageBox(env_.text("PbMng_MessCode2"), core::kMbOk | core::kMbIconInformation);
                unknownShown = true;
                continue;
            }
            rec->state = PosState::AsOnHandset;
        }
        if (groups)
            handset_.groupStorNumbers[i] = row.stor;
        t.append();
        t.setInt(kId, nextId++);
        t.setInt(kStor, row.stor);
        t.setInt(kPos, toInt(storage));
        t.setInt(kPbId, row.index);
        t.setText(kValue, text);
        t.post();
    }
    if (groups) {
        RebuildGroupNames(kHandsetBook);
        handset_.groupNamesRead = currentGroupNames();
    }
}

void TPhoneBookManage::ReadFromPhone(int32_t mask)
{
    // As the message download: without a handset there is nothing to read, and asking the worker
    // would hold a progress dialog up through its connection attempts only to report a fault. What
    // was read before, a pending cut and the changed flag all stay as they are.
    if (!env_.state().Connected)
        return;
    handset_.cancelled = false;
    handset_.keptOverDrop = false;
    handset_.readMan = env_.state().PhoneMan;
    handset_.readModel = env_.state().PhoneModel;
    if (clipboard_.book == kHandsetBook)
        clipboard_.mode = 0; // a pending cut of the old contents is forgotten
    auto clearClip = [&](StorageCode s) {
        if (clipboard_.book == kHandsetBook && clipboard_.storage == toInt(s))
            clipboard_.ids.clear();
    };
    const AppState app = env_.state();
    if (app.PbCap8) {
        ReadStorage(StorageCode::Groups);
        clearClip(StorageCode::Groups);
    }
    if (mask == 0 || (mask & 1)) {
        ReadStorage(StorageCode::Sim);
        clearClip(StorageCode::Sim);
    }
    if ((mask == 0 || (mask & 2)) && app.PbCap2 && validBook(kHandsetBook)) {
        ReadStorage(StorageCode::Phone);
        clearClip(StorageCode::Phone);
    }
    if ((mask == 0 || (mask & 4)) && app.PbCap4) {
        ReadStorage(StorageCode::Contacts);
        clearClip(StorageCode::Contacts);
    }
    book(kHandsetBook).changed = false;
}

// ---- pending changes ----

bool TPhoneBookManage::HasChanges(int b, int32_t storage)
{
    ContactBook *bk = bookAt(b);
    if (!bk)
        return false;
    if (b != kHandsetBook)
        return bk->changed;
    auto pending = [&](StorageCode s) {
        for (const IdMngRec &r : handsetStorage(s).idMng)
            if (r.state == PosState::Deleted || r.state == PosState::Changed || r.state == PosState::New)
                return true;
        return false;
    };
    if ((storage == 0 || storage == 1) && pending(StorageCode::Sim))
        return true;
    if ((storage == 0 || storage == 2) && pending(StorageCode::Phone))
        return true;
    if ((storage == 0 || storage == 4) && pending(StorageCode::Contacts))
        return true;
    // Groups: a group whose decoded name differs from the name read (the list of names is rebuilt
    // from the rows on every save, so the rows are compared with the read, never as raw text).
    return groupsChanged();
}

bool TPhoneBookManage::groupsChanged() const
{
    return currentGroupNames() != handset_.groupNamesRead;
}

std::map<int32_t, std::string> TPhoneBookManage::currentGroupNames() const
{
    std::map<int32_t, std::string> names;
    for (const RowRef &r : rowsOf(book(kHandsetBook), StorageCode::Groups)) {
        std::string &name = names[r.pbId];
        for (const TVcardFields &f : ParseContact(r.value))
            if (f.type == kFieldName) {
                name = familyOf(f.value);
                break;
            }
    }
    return names;
}

// ---- writing ----

PbWriteJobs TPhoneBookManage::BuildWriteJobs(StorageCode storage)
{
    PbWriteJobs out;
    HandsetStorage &hs = handsetStorage(storage);
    const int32_t word = toInt(driverStorageOf(storage));
    const bool inPlace = hs.capCode & 1, modeOne = hs.capCode & 2;
    const std::vector<RowRef> rows = rowsOf(book(kHandsetBook), storage);
    auto rowAt = [&](int32_t pos) -> const RowRef * {
        for (const RowRef &r : rows)
            if (r.pbId == pos)
                return &r;
        return nullptr;
    };
    auto add = [&](int32_t kind, int32_t pos, const RowRef *row, PbWriteJob meta) {
        core::TCommData j;
        j.Kind = kind;
        j.Stor = word;
        j.Index = pos;
        if (row) {
            j.Data.assign(row->value.begin(), row->value.end());
            j.DataLen = static_cast<int32_t>(j.Data.size());
        }
        out.jobs->push_back(std::move(j));
        out.meta.push_back(meta);
    };
    // Relocations allocate records while the walk goes on: walk by index over the records as they
    // were.
    const size_t n = hs.idMng.size();
    for (size_t i = 0; i < n; ++i) {
        const IdMngRec rec = hs.idMng[i];
        const RowRef *row = rowAt(rec.pos);
        switch (rec.state) {
        case PosState::Deleted:
            add(core::kJobDelete, rec.pos, nullptr, {rec.pos, -1, rec.pos, rec.state, -1});
            break;
        case PosState::Changed:
            if (!row)
                break;
            if (inPlace) {
                add(core::kJobWritePb, rec.pos, row, {rec.pos, row->id, rec.pos, rec.state, -1});
            } else {
                hs.idMng[i].state = PosState::Deleted;
                const PosState beforeAlloc = PosState::Free;
                IdMngArray snapshot = hs.idMng;
                const int32_t at = AllocPosition(hs.idMng, hs.last, hs.first);
                if (at < 0) { // no room: nothing is moved
                    hs.idMng[i].state = rec.state;
                    break;
                }
                PosState was = beforeAlloc;
                if (IdMngRec *s = recordAt(snapshot, at))
                    was = s->state;
                add(core::kJobDelete, rec.pos, nullptr, {rec.pos, -1, rec.pos, rec.state, -1});
                // The moved entry's own text: nothing is held at the new position yet.
                add(modeOne ? core::kJobWriteSms : core::kJobWritePb, at, row, {rec.pos, row->id, at, was, rec.pos});
            }
            break;
        case PosState::New:
            if (row)
                add(inPlace ? core::kJobWritePb : core::kJobWriteSms, rec.pos, row,
                    {rec.pos, row->id, rec.pos, rec.state, -1});
            break;
        default:
            break;
        }
    }
    return out;
}

int32_t TPhoneBookManage::ApplyWriteResults(StorageCode storage, const PbWriteJobs &w)
{
    HandsetStorage &hs = handsetStorage(storage);
    platform::Table &t = book(kHandsetBook).table;
    t.clearFilter();
    int32_t answer = 0;
    std::map<int32_t, bool> deleteOk; // position -> its delete job succeeded
    for (size_t i = 0; i < w.jobs->size() && i < w.meta.size(); ++i) {
        const core::TCommData &j = (*w.jobs)[i];
        const PbWriteJob &m = w.meta[i];
        if (j.Result < 0)
            answer = j.Result;
        if (j.Kind == core::kJobDelete) {
            deleteOk[m.recordPos] = j.Result >= 0;
            if (j.Result >= 0)
                if (IdMngRec *r = recordAt(hs.idMng, m.recordPos))
                    if (r->state == PosState::Deleted)
                        r->state = PosState::Free;
            continue;
        }
        IdMngRec *target = recordAt(hs.idMng, m.recordPos);
        if (j.Result < 0) {
            // The change stays pending: a relocation is undone so that the entry is written again.
            if (m.relocatedFrom >= 0) {
                if (target)
                    target->state = m.before == PosState::Deleted ? PosState::Deleted : PosState::Free;
                if (IdMngRec *old = recordAt(hs.idMng, m.relocatedFrom))
                    old->state = deleteOk[m.relocatedFrom] ? PosState::New : PosState::Changed;
            }
            continue;
        }
        int32_t at = m.recordPos;
        // The handset chose the position; one it never reported is not believed.
        if (j.Kind == core::kJobWriteSms && j.Index != -1 && recordAt(hs.idMng, j.Index))
            at = j.Index;
        if (at != m.recordPos && target && (target->state == PosState::New || target->state == PosState::Changed))
            target->state = PosState::Free;
        if (IdMngRec *r = recordAt(hs.idMng, at))
            r->state = PosState::AsOnHandset;
        if (m.rowId >= 0 && t.locate(kId, m.rowId) && t.integer(kPbId) != at) {
            t.edit();
            t.setInt(kPbId, at);
            t.post();
        }
    }
    return answer;
}

int32_t TPhoneBookManage::writeStorage(StorageCode storage, bool always, bool &stop)
{
    PbWriteJobs w = BuildWriteJobs(storage);
    if (w.jobs->empty() && !always)
        return 0;
    core::TBaseClt *client = storage == StorageCode::Contacts ? transferClients_[1] : transferClients_[0];
    BatchOutcome out = runBatch(client, {BatchRequest::writeList(w.jobs)});
    if (!out.settled) {
        // The worker may still write the jobs: nothing of them is read, everything stays pending.
        PbWriteJobs unknown;
        for (const PbWriteJob &m : w.meta) {
            core::TCommData j;
            j.Kind = m.rowId < 0 ? core::kJobDelete : core::kJobWritePb;
            j.Index = -1;
            j.Result = DV_E_CANCELLED;
            unknown.jobs->push_back(std::move(j));
        }
        unknown.meta = w.meta;
        w = std::move(unknown);
    }
    // Applied before a disconnect is: what the handset took is no longer pending, the rest is.
    const int32_t r = ApplyWriteResults(storage, w);
    if (disconnectPending_) {
        PhoneDisconnected();
        stop = true;
        return DV_E_NOTCONN;
    }
    if (out.cancelled) {
        stop = true;
        return 0;
    }
    if (isFault(out.result)) {
        stop = true;
        return out.result;
    }
    return r;
}

int32_t TPhoneBookManage::writeGroups(bool &stop)
{
    ContactBook &bk = book(kHandsetBook);
    const std::vector<RowRef> rows = rowsOf(bk, StorageCode::Groups);
    auto jobs = std::make_shared<core::TDataArray>();
    bool tooMany = false;
    std::map<int32_t, bool> present;
    for (const RowRef &r : rows) {
        // Each group goes to its own position, whatever its place among the rows.
        if (r.pbId < handset_.groupsFirst || r.pbId > handset_.groupsLast) {
            tooMany = true; // outside the handset's groups: reported, never written
            continue;
        }
        present[r.pbId] = true;
        core::TCommData j;
        j.Kind = core::kJobWritePb;
        // The storage number the group was read with; a group added since has the groups' word.
        j.Stor = r.stor > 0 ? r.stor : toInt(DriverStorage::Memory);
        j.Index = r.pbId;
        j.Data.assign(r.value.begin(), r.value.end());
        j.DataLen = static_cast<int32_t>(j.Data.size());
        jobs->push_back(std::move(j));
    }
    // A group read from the handset and deleted here is deleted there too.
    for (const auto &[pos, name] : handset_.groupNamesRead) {
        if (present.count(pos) || pos < handset_.groupsFirst || pos > handset_.groupsLast)
            continue;
        core::TCommData j;
        j.Kind = core::kJobDelete;
        j.Stor = toInt(DriverStorage::Memory);
        j.Index = pos;
        jobs->push_back(std::move(j));
    }
    BatchOutcome out = runBatch(transferClients_[2], {BatchRequest::writeList(jobs)});
    if (disconnectPending_) {
        PhoneDisconnected();
        stop = true;
        return DV_E_NOTCONN;
    }
    if (out.cancelled) {
        stop = true;
        return 0;
    }
    if (isFault(out.result)) {
        stop = true;
        return out.result;
    }
    int32_t answer = 0;
    for (const core::TCommData &j : *jobs)
        if (j.Result < 0)
            answer = j.Result;
    if (answer == 0 && !tooMany)
        handset_.groupNamesRead = currentGroupNames(); // as on the handset now
    // Groups past the handset's last were not written: reported as a failed write, still pending.
    return answer != 0 ? answer : tooMany ? kPbFull : 0;
}

int32_t TPhoneBookManage::WriteChanges(int b)
{
    ContactBook *bk = bookAt(b);
    if (!bk)
        return kPbBadArg;
    if (b != kHandsetBook) {
        const int32_t r = ExportToCsv(b, bk->fileName);
        if (r == 0)
            bk->changed = false; // a failed export keeps the changes pending (it was reported)
        return r;
    }
    const AppState app = env_.state();
    if (handset_.keptOverDrop && (app.PhoneMan != handset_.readMan || app.PhoneModel != handset_.readModel)) {
        // Kept over a link drop, the positions are another handset's: never written there.
        env_.messageBox(env_.text("PbMng_OtherHandset"), core::kMbOk | core::kMbIconInformation);
        return kPbNoStatus;
    }
    bool stop = false;
    int32_t overall = 0;
    faultShown_ = false;
    auto take = [&](int32_t r) {
        if (overall == 0 && r != 0)
            overall = r;
    };
    if (app.PbCap8 && HasChanges(kHandsetBook, 8))
        take(writeGroups(stop));
    if (!stop && handsetStorage(StorageCode::Sim).statusRead())
        take(writeStorage(StorageCode::Sim, false, stop));
    if (!stop && app.PbCap2 && handsetStorage(StorageCode::Phone).statusRead())
        take(writeStorage(StorageCode::Phone, true, stop));
    if (!stop && app.PbCap4 && handsetStorage(StorageCode::Contacts).statusRead())
        take(writeStorage(StorageCode::Contacts, false, stop));
    if (!validBook(kHandsetBook))
        return overall;
    book(kHandsetBook).changed = HasChanges(kHandsetBook, 0);
    // A refused job keeps its change pending: reading the storage again would throw away the only
    // copy of a contact whose source is already deleted (a cut, a rewrite by delete-then-write).
    if (overall < 0 && !isFault(overall) && overall != DV_E_NOTCONN) {
        std::string text = env_.text("PbMng_MessCode3");
        const std::string names = unwrittenNames();
        if (!names.empty())
            text += "\r" + names;
        env_.messageBox(text, core::kMbOk | core::kMbIconInformation);
    } else if (isFault(overall) && overall != DV_E_NOTCONN && !faultShown_) {
        // Shown once: the progress dialog may have shown it already, a lost link is told apart.
        env_.messageBox(env_.text("ErrInfo_CommErrInfo") + env_.text("ErrInfo_" + std::to_string(-overall)),
                        core::kMbOk | core::kMbIconInformation);
    }
    return overall;
}

std::string TPhoneBookManage::unwrittenNames() const
{
    constexpr size_t kMaxNames = 20; // a long list ends with "..."
    std::vector<std::string> names;
    size_t more = 0;
    for (StorageCode s : {StorageCode::Sim, StorageCode::Phone, StorageCode::Contacts}) {
        const HandsetStorage &hs = handsetStorage(s);
        for (const RowRef &r : rowsOf(book(kHandsetBook), s)) {
            bool pending = false;
            for (const IdMngRec &rec : hs.idMng)
                if (rec.pos == r.pbId)
                    pending = rec.state == PosState::New || rec.state == PosState::Changed;
            if (!pending)
                continue;
            if (names.size() >= kMaxNames) {
                ++more;
                continue;
            }
            const TMobileVacrd fields = ParseContact(r.value);
            const TVcardFields *f = FirstField(fields, kFieldName);
            std::string name = f ? DisplayName(f->value) : std::string();
            if (name.empty() && !fields.empty()) {
                name = fields.front().value.substr(0, 160);
                while (name.size() == 160 && !name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
                    name.pop_back(); // never end inside a character
            }
            names.push_back(name.empty() ? std::to_string(r.pbId) : name);
        }
    }
    std::string out;
    for (const std::string &n : names)
        out += (out.empty() ? "" : ", ") + n;
    if (more)
        out += ", ...";
    return out;
}

// ---- copy and paste ----

bool TPhoneBookManage::offers(int b, StorageCode s) const
{
    const ContactBook *bk = bookAt(b);
    if (!bk)
        return false;
    if (b != kHandsetBook) {
        // A file book takes every storage but groups; groups only where it has some.
        if (s != StorageCode::Groups)
            return true;
        const int fPos = bk->table.fieldIndex(kPos);
        for (const platform::Row &r : bk->table.rows())
            if (r.intAt(size_t(fPos)) == toInt(s))
                return true;
        return false;
    }
    const AppState app = env_.state();
    switch (s) {
    case StorageCode::Sim: return true;
    case StorageCode::Phone: return app.PbCap2;
    case StorageCode::Contacts: return app.PbCap4;
    case StorageCode::Groups: return app.PbCap8;
    }
    return false;
}

std::vector<int32_t> TPhoneBookManage::CopyEntries(int srcBook, StorageCode src, bool all, int32_t pos, int tgtBook,
                                                   StorageCode tgt, CopyTally *tally)
{
    CopyTally own;
    CopyTally &n = tally ? *tally : own;
    std::vector<int32_t> saved;
    ContactBook *bk = bookAt(srcBook);
    if (!bk || !validBook(tgtBook))
        return saved;
    const bool wasCopying = copying_;
    copying_ = true;
    for (const RowRef &r : all ? rowsOf(*bk, src) : rowsAt(*bk, src, pos)) {
        if (!all && r.pbId != pos)
            continue;
        TMobileVacrd fields = ParseContact(r.value);
        if (!fields.empty()) {
            if (!FitToStorage(tgtBook, tgt, fields)) {
                // Never stored: an empty card, or a number the target would refuse.
                ++(HasContent(fields) ? n.tooLong : n.noField);
            } else {
                int32_t at = -1;
                const int32_t res = SaveContact(tgtBook, tgt, at, fields);
                if (res == 0) {
                    saved.push_back(r.pbId);
                    ++n.copied;
                } else {
                    ++(res == kPbFull ? n.full : res == kPbTooLong ? n.tooLong : res == kPbNoStatus ? n.notRead : n.other);
                }
            }
        }
        if (!all)
            break;
    }
    copying_ = wasCopying;
    return saved;
}

void TPhoneBookManage::ReportCopy(const CopyTally &t)
{
    const std::pair<int, const char *> reasons[] = {{t.full, "PbMng_CopyNotFull"},
                                                    {t.tooLong, "PbMng_CopyNotLong"},
                                                    {t.noField, "PbMng_CopyNotField"},
                                                    {t.notRead, "PbMng_CopyNotRead"},
                                                    {t.other, "PbMng_CopyNotOther"}};
    std::string text;
    for (const auto &[count, key] : reasons)
        if (count > 0)
            text += "\r" + env_.text(key) + " " + std::to_string(count);
    if (text.empty())
        return; // everything was copied: nothing to say
    env_.messageBox(env_.text("PbMng_CopyDone") + " " + std::to_string(t.copied) + text,
                    core::kMbOk | core::kMbIconInformation);
}

void TPhoneBookManage::CopyContacts(int srcBook, int32_t srcStorage, const std::vector<int32_t> &positions,
                                    int32_t tgtStorage, int tgtBook)
{
    CopyTally tally;
    copyContacts(srcBook, srcStorage, positions, tgtStorage, tgtBook, tally);
    ReportCopy(tally);
}

void TPhoneBookManage::copyContacts(int srcBook, int32_t srcStorage, const std::vector<int32_t> &positions,
                                    int32_t tgtStorage, int tgtBook, CopyTally &tally)
{
    const unsigned info = core::kMbOk | core::kMbIconInformation;
    if (srcBook == tgtBook && srcStorage == tgtStorage) {
        env_.messageBox(env_.text("PbMng_CopyError1"), info);
        return;
    }
    const int answer = env_.messageBox(env_.text("PbMng_CopyError20") + "\r" + env_.text("PbMng_CopyError21"),
                                       core::kMbYesNoCancel | core::kMbIconQuestion);
    if (answer != core::kIdYes && answer != core::kIdNo)
        return;
    const bool empty = answer == core::kIdNo;
    auto code = [](int32_t c) { return storageCodeOf(c); };

    if (!positions.empty()) {
        auto src = code(srcStorage);
        if (!src)
            return;
        auto tgt = tgtStorage == 0 ? src : code(tgtStorage);
        if (!tgt)
            return;
        if (tgtStorage == 0 && !offers(tgtBook, *src)) {
            env_.messageBox(env_.text("PbMng_CopyError3") + "\r" + env_.text("PbMng_CopyError8"), info);
            return;
        }
        if (empty)
            ClearStorage(tgtBook, *tgt);
        for (int32_t p : positions)
            CopyEntries(srcBook, *src, false, p, tgtBook, *tgt, &tally);
        return;
    }
    if (srcStorage == 0 && tgtStorage == 0) {
        std::string report;
        const char *keys[] = {"PbMng_CopyError4", "PbMng_CopyError5", "PbMng_CopyError6", "PbMng_CopyError7"};
        const StorageCode order[] = {StorageCode::Groups, StorageCode::Sim, StorageCode::Phone, StorageCode::Contacts};
        for (int k = 0; k < 4; ++k) {
            const ContactBook *sb = bookAt(srcBook);
            if (!sb || rowsOf(*sb, order[k]).empty())
                continue;
            if (!offers(tgtBook, order[k])) {
                report += env_.text(keys[k]) + "\r";
                continue;
            }
            if (empty)
                ClearStorage(tgtBook, order[k]);
            CopyEntries(srcBook, order[k], true, 0, tgtBook, order[k], &tally);
        }
        if (!report.empty())
            env_.messageBox(report + env_.text("PbMng_CopyError8"), info);
        return;
    }
    // A whole book dropped on a storage copies that same storage of the source.
    auto s = code(srcStorage == 0 ? tgtStorage : srcStorage);
    auto t = code(tgtStorage == 0 ? srcStorage : tgtStorage);
    if (!s || !t)
        return;
    const bool available = srcStorage == 0 ? offers(srcBook, *s) : offers(tgtBook, *t);
    if (!available) {
        env_.messageBox(env_.text("PbMng_CopyError9") + "\r" + env_.text("PbMng_CopyError8"), info);
        return;
    }
    if (empty)
        ClearStorage(tgtBook, *t);
    CopyEntries(srcBook, *s, true, 0, tgtBook, *t, &tally);
}

bool TPhoneBookManage::SetClipboard(int b, int32_t storage, uint8_t mode, std::vector<int32_t> positions)
{
    if (clipboard_.mode == 1 && !clipboard_.ids.empty())
        return PasteEnabled(); // a cut is pending: it is not replaced
    clipboard_.book = b;
    clipboard_.storage = storage;
    clipboard_.mode = mode;
    clipboard_.ids = std::move(positions);
    return PasteEnabled();
}

void TPhoneBookManage::Paste(int tgtBook, int32_t tgtStorage)
{
    auto src = storageCodeOf(clipboard_.storage);
    auto tgt = storageCodeOf(tgtStorage == 0 ? clipboard_.storage : tgtStorage);
    if (!src || !tgt || !validBook(clipboard_.book) || !validBook(tgtBook))
        return;
    std::vector<int32_t> copied;
    CopyTally tally;
    for (int32_t p : clipboard_.ids) {
        // An entry gone since the copy is skipped, never pasted as an empty contact.
        std::vector<int32_t> one = CopyEntries(clipboard_.book, *src, false, p, tgtBook, *tgt, &tally);
        copied.insert(copied.end(), one.begin(), one.end());
    }
    if (clipboard_.mode == 1) {
        // Only the sources whose copy was saved are removed.
        DeleteContacts(clipboard_.book, *src, copied);
        clipboard_.ids.clear();
    }
    clipboard_.mode = 0;
    ReportCopy(tally);
}

bool TPhoneBookManage::IsCut(int b, int32_t storage, int32_t pos) const
{
    return clipboard_.mode == 1 && clipboard_.book == b && clipboard_.storage == storage &&
           std::find(clipboard_.ids.begin(), clipboard_.ids.end(), pos) != clipboard_.ids.end();
}

} // namespace content
