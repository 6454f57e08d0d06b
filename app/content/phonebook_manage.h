// The phone-book manager's model (headless): contact books held as vCard texts, the bookkeeping of
// positions on the handset, the conversion between a contact's text and its typed fields, and the
// operations that load, save and delete contacts in memory. Transfers with the handset, CSV files
// and the tree and lists build on this core.
//
//   content::TPhoneBookManage pb(env);
//   pb.Init(makeCardClient, [&](uint16_t caps) { manage.SetPbCaps(caps); });
//   int32_t pos = -1;
//   if (int32_t r = pb.SaveContact(1, content::StorageCode::Sim, pos, fields); r < 0) report(r);
//
// Books: 0 is the connected handset (held in memory only, reset wholly on disconnect); 1..n are
// the contact files the user opened, in the order they were opened. A contact is addressed by
// book, storage code and position (`PbId`). Each book has a contact table with the columns Id,
// Stor, Pos, PbId and Value (the vCard text, at most 2048 characters; the table is never saved).
//
// Position records (book 0, storages SIM, phone memory and contacts): one record per position the
// handset reported, plus ten past the last that are never given out. States: 0 deleted in memory
// (the handset still holds the entry), 1 free, 2 changed in memory (or a deleted position given
// to a new contact), 3 new in memory at a free position, 4 as on the handset.
//
// Results: 0 or a position on success; kPbNoStatus (-23) a handset storage whose status was never
// read (the user is told "SmsMng_MessCode1"); kPbFull (-100) no free or deleted position (the
// caller reports it); kPbTooLong (-251) a contact whose text does not fit the row; kPbBadArg (-81)
// an unknown book or a storage the book cannot hold; a build failure passes the vCard writer's
// code through. A failed operation changes nothing.
//
// User-interface thread only.
#pragma once

#include "content/batch_runner.h"
#include "content/card_client.h"
#include "content/contact_fields.h"
#include "content/csv_file.h"
#include "content/env.h"
#include "platform/table.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace content {

inline constexpr uint32_t kContactValueChars = 2048;

// Column names of a book's contact table, for the manager's own sources.
namespace contact_column {
inline constexpr const char *kId = "Id";
inline constexpr const char *kStor = "Stor";
inline constexpr const char *kPos = "Pos";
inline constexpr const char *kPbId = "PbId";
inline constexpr const char *kValue = "Value";
} // namespace contact_column
inline constexpr int32_t kPbNoStatus = -23; // DV_E_STATE
inline constexpr int32_t kPbBadArg = -81;   // DV_E_ARG
inline constexpr int32_t kPbFull = -100;
inline constexpr int32_t kPbTooLong = -251; // DV_E_TOOLONG
inline constexpr int32_t kPbCancelledRead = -5; // DV_E_CANCELLED: the last read was cancelled
inline constexpr int32_t kPbFileError = -9;     // DV_E_IO: a contact file could not be read or written
// The handset's book.
inline constexpr int kHandsetBook = 0;
// Position records are made for at most this many reported positions (a handset's count is not
// trusted), plus the ten spare records.
inline constexpr int32_t kMaxPositions = 65535;
inline constexpr int32_t kSparePositions = 10;
// Group positions the group-names list is indexed by (1..kMaxGroupPosition).
inline constexpr int32_t kMaxGroupPosition = 1024;

// Capability bits of TManage::SetPbCaps: 2 phone memory, 4 contacts, 8 groups.
inline constexpr uint16_t kPbCapPhone = 2;
inline constexpr uint16_t kPbCapContacts = 4;
inline constexpr uint16_t kPbCapGroups = 8;

enum class PosState : uint8_t { Deleted = 0, Free = 1, Changed = 2, New = 3, AsOnHandset = 4 };

// One position record (IdMng).
struct IdMngRec {
    int32_t seq = 0; // from 1
    int32_t pos = 0; // position on the handset
    DriverStorage stor = DriverStorage::Sim;
    PosState state = PosState::Free;

    bool operator==(const IdMngRec &) const = default;
};
using IdMngArray = std::vector<IdMngRec>;

// A handset storage's status as last read: its records, last and first position (-1: never read)
// and capability code.
struct HandsetStorage {
    IdMngArray idMng;
    int32_t last = -1;
    int32_t first = -1;
    int32_t capCode = 0;

    bool statusRead() const { return !(last == -1 && first == -1); }
};

// Field limits of a book's SIM, phone-memory and groups storages, in characters (0: none given).
struct BookLimits {
    int32_t simName = 0;
    int32_t simNumber = 0;
    int32_t phoneName = 0;
    int32_t phoneNumber = 0;
    int32_t groupName = 0;

    bool operator==(const BookLimits &) const = default;
};

// The manufacturer and model a book came from (tPhoneType).
struct PhoneType {
    std::string man;
    std::string model;
    bool operator==(const PhoneType &) const = default;
};

struct SortState {
    int32_t column = 0;
    int32_t direction = 1;
    bool operator==(const SortState &) const = default;
};

// A node of the contact tree: a book's root (storage 0) or one of its storages. The storage code is
// also the node's image.
struct ContactTreeNode {
    std::string caption;
    int32_t storage = 0;
    std::vector<ContactTreeNode> children;
    bool expanded = false;

    bool operator==(const ContactTreeNode &) const = default;
};

// One contact book.
struct ContactBook {
    ContactBook();

    platform::Table table; // Id, Stor, Pos, PbId, Value
    // Group names by position: entry k is the group at position k + 1 (empty where none).
    std::vector<std::string> groupNames;
    TFieldParams contactsTemplate; // ordered by type (SortFields)
    BookLimits limits;
    PhoneType phoneType;
    std::string fileName; // full path; empty for the handset
    bool changed = false;
    std::array<SortState, 4> sort{}; // storages 1, 2, 4, 8 in this order
    ContactTreeNode node;            // a file book's tree node, made by the import
    // Where the search for a free position in a storage starts: every position below `from` was
    // taken while table.changes() was `changes`.
    struct FreeHint {
        uint64_t changes = ~uint64_t(0);
        int32_t storage = 0;
        int32_t from = 1;
    } freeHint;
};

// The handset's status beside book 0.
struct HandsetStatus {
    std::array<HandsetStorage, 3> storages{}; // SIM, phone memory, contacts
    int32_t groupsLast = -1;
    int32_t groupsFirst = -1;
    // Storage number of each group row as read, by the row's order (phone-book transfers).
    std::vector<int32_t> groupStorNumbers;
    // Group names by position as last read or written: what a rename is told by.
    std::map<int32_t, std::string> groupNamesRead;
    // The last read from the handset was cancelled (phone-book transfers, CSV export).
    bool cancelled = false;
    // Maker and model of the handset the book was read from: changes kept over a link drop are
    // written only to that same handset.
    std::string readMan, readModel;
    bool keptOverDrop = false; // the link went while changes were pending
};

// The contact clipboard: book, storage, positions and mode (0 copy, 1 cut). Kept here so that a
// handset reset drops a clipboard that points into the old handset.
struct ContactClipboard {
    int book = -1;
    int32_t storage = 0;
    uint8_t mode = 0;
    std::vector<int32_t> ids;
};

// One write job of a storage with what ApplyWriteResults needs to settle it.
struct PbWriteJob {
    int32_t key = 0;         // the PbId of the row the job writes (deletes: the position)
    int32_t rowId = -1;      // Id of the row written (-1: a delete)
    int32_t recordPos = 0;   // the position record the job settles
    PosState before = PosState::Free; // that record's state before the jobs were built
    int32_t relocatedFrom = -1; // a relocated entry's old position (its delete job comes first)
};
struct PbWriteJobs {
    std::shared_ptr<core::TDataArray> jobs = std::make_shared<core::TDataArray>();
    std::vector<PbWriteJob> meta; // beside each job
};

class TPhoneBookManage {
public:
    // env must outlive the manager. Book 0 exists from the start (empty, nothing read).
    explicit TPhoneBookManage(Env &env);
    TPhoneBookManage(const TPhoneBookManage &) = delete;
    TPhoneBookManage &operator=(const TPhoneBookManage &) = delete;
    ~TPhoneBookManage();

    // Creates the three card clients (interfaces 12, 13, 14; bound later), resets book 0 with
    // every last position at -1, and sets the application manager's phone-book flags to "phone
    // memory only" through setPbCaps (bits: kPbCap*). The tree is built by the view.
    void Init(const CardClientFactory &makeClient, const std::function<void(uint16_t)> &setPbCaps);
    // Binds the three clients to the connection's interfaces 12, 13 and 14 (at connect).
    void BindCardClients(uint64_t connSerial);
    // The client of interface 12, 13 or 14; null before Init or for another id.
    CardClient *cardClient(int32_t itfId) const;

    // --- vCard text and fields ---
    // The fields of a vCard text, ordered by SortFields. Values are read whole. A text the reader
    // cannot read gives an empty list.
    static TMobileVacrd ParseContact(std::string_view text);
    // The vCard 2.1 text of the fields, built in memory. Fields with an empty value, of type 0 or
    // of an unknown type are left out; so is a GRP field that is not a whole number of at least 0
    // (the others are still written). On a write failure the answer is empty and *result (when
    // given) holds the writer's code; otherwise *result is 0. Never empty on success.
    static std::string BuildContact(const TMobileVacrd &fields, int32_t *result = nullptr);

    // --- contacts ---
    // The contact at (book, storage, pos), fitted to the storage's template for the editor.
    // Nothing when there is no such entry. *fits (when given) is false when a value could not be
    // fitted without loss (a number longer than its limit, which is kept whole).
    std::optional<TMobileVacrd> LoadContact(int book, StorageCode storage, int32_t pos, bool *fits = nullptr);
    // Stores a new contact (no row at pos; pos answers the position used) or changes the one at
    // pos. New positions: a handset storage allocates a free or deleted position record (groups:
    // the smallest unused position from 1), a file book the smallest unused position from 1.
    // Saving a group rebuilds the book's group names. 0 or a negative result (header).
    int32_t SaveContact(int book, StorageCode storage, int32_t &pos, const TMobileVacrd &fields);
    // Removes the entries at positions; on the handset the first record of each position that is
    // not free becomes deleted. 0, or kPbBadArg.
    int32_t DeleteContacts(int book, StorageCode storage, const std::vector<int32_t> &positions);
    // Removes every entry of the storage; on the handset every record that is not free becomes
    // deleted. 0, or kPbBadArg.
    int32_t ClearStorage(int book, StorageCode storage);
    // Resets book 0 wholly (the handset is gone): rows, position records and status, template,
    // limits, group names, pending changes and a clipboard that points into it. Sort states stay.
    void ClearContacts();

    // The first record within first..last that is free (becomes new) or deleted (becomes
    // changed): its position. kPbNoStatus when the status was never read (last and first -1;
    // "SmsMng_MessCode1" is shown), kPbFull when there is none. Nothing changes on failure.
    int32_t AllocPosition(IdMngArray &records, int32_t last, int32_t first);

    // --- queries ---
    // The template for new and edited entries of a storage: SIM / phone memory {name, number and,
    // with groups, group}, groups {name}, contacts the book's contacts template. Empty for an
    // unknown book.
    TFieldParams GetStorageFields(int book, StorageCode storage) const;
    // The group names of the current book (SetCurrentBook), by position.
    std::vector<std::string> GetGroupNames() const;
    std::vector<std::string> GetGroupNames(int book) const;
    // The number of the book's entries of the storage, in decimal ("0" for an unknown book).
    std::string GetCountText(int book, StorageCode storage) const;
    // A file book takes new entries in any storage but groups; the handset in SIM, phone memory
    // and contacts once that storage's status was read, never in groups.
    bool CanAddEntry(int book, StorageCode storage) const;
    // Whether the book has groups: the handset when the groups flag is set, a file book when its
    // group-name limit is at least 1.
    bool HasGroups(int book) const;

    // Adapts fields to the storage's template: the result has one field per template entry (type
    // 0 where nothing fits). Texts are cut to the entry's limit in characters (0 or less: no
    // limit); a name's limit applies to the name the driver writes (the parts joined by blanks)
    // and is cut between parts, never inside an escape. Numbers and group numbers are never cut:
    // false when a number is longer than its limit (it is kept whole; a copy drops the contact),
    // and false when no field with a value is left (the target has no field for any of them).
    bool FitToStorage(int book, StorageCode storage, TMobileVacrd &fields) const;
    static bool FitFields(const TFieldParams &tmpl, StorageCode storage, TMobileVacrd &fields);
    // Some field has a type and a value (a name of separators only counts as none).
    static bool HasContent(const TMobileVacrd &fields);

    // --- contact CSV files (phonebook_csv.cpp) ---
    // The layout, line by line: manufacturer and model; an empty line; the groups section when the
    // book has groups ("Group", "Index,GroupName(limit)", position and name per group); an empty
    // line; then the SIM and phone-memory sections ("SIM" / "Phone", "Index,Name(limit),Tel(limit),
    // Group", position, name, number and group per entry, an empty line) and the contacts section
    // ("Contact", a head cell "<column text>(type)" per template entry, the limits line "-100" and
    // "flags(max_p1_..._p7)" per entry, per contact the position and "(flags)value" per entry, "_"
    // standing for no value, an empty line), each only when the book has such rows.
    //
    // Writes the book to path; the file is replaced safely. 0, or after a message box:
    // kPbCancelledRead (the handset's book after a cancelled read: "PbMng_MessCode1", nothing is
    // written) or kPbFileError (not written; an old file stays whole). kPbBadArg for an unknown book.
    int32_t ExportToCsv(int book, const std::string &path);
    // The book's file as ExportToCsv writes it.
    TCsvFile BuildCsv(int book) const;
    // Opens the file as a new book with its tree node (caption: the file name without folder and
    // last extension; a child per storage met, groups last; expanded) and answers the book's
    // number. A file already open (compared by resolved path) is not opened again: its book's
    // number is the answer. A file that is missing, unreadable, too large or empty adds no book:
    // kPbFileError after a message box. A damaged line ends the reading there (ErrInfo_92 with the
    // line number is shown) and the book keeps what was read; entries that cannot be read are left
    // out and counted in a message.
    int ImportFromCsv(const std::string &path);
    // The import of a file already loaded (at least one line), under the full name given.
    int ImportCsv(const TCsvFile &csv, const std::string &fullName);

    // --- transfers with the handset (phonebook_transfer.cpp) ---
    // The runner and the worker's clients of interfaces 12, 13 and 14 the transfers go through
    // (null: that interface is not offered). They must outlive the manager's transfers.
    void AttachTransfers(BatchRunner &runner, core::TBaseClt *pb, core::TBaseClt *contacts, core::TBaseClt *groups);
    // Reads the storages of the mask (0: all; bits 1 SIM, 2 phone memory, 4 contacts; groups are
    // read whenever the handset has them) into book 0. Only a read that ended normally replaces a
    // storage's rows and records: a cancel (the cancelled flag), a link fault or a failed status
    // leave the earlier ones. A disconnect during a batch is applied after it. Without a connection
    // it does nothing.
    void ReadFromPhone(int32_t mask = 0);
    // Reads one storage's status and entries in one batch and stores them; true when it did.
    bool ReadStorage(StorageCode storage);
    // Replaces the storage's rows by the hand-over rows of its driver storage; records within
    // first..last go to "as on the handset". Unknown positions are reported once per call.
    void StoreRows(StorageCode storage, int32_t last, int32_t first, const std::vector<HandOverRow> &rows);
    // A file book: its changed flag. The handset: a position record of the storage (0: any) that
    // is deleted, changed or new, or a group whose name differs from the group row's.
    bool HasChanges(int book, int32_t storage);
    // The write jobs of storage 1, 2 or 4 of the handset; relocations change records at once.
    PbWriteJobs BuildWriteJobs(StorageCode storage);
    // Settles the records and rows after the batch: a deleted position becomes free, a written
    // one "as on the handset" (a row follows the position the handset reports); a failed job
    // keeps its change pending. The answer: the last negative job result, else 0.
    int32_t ApplyWriteResults(StorageCode storage, const PbWriteJobs &jobs);
    // Writes the book back: a file book to its file, the handset's groups, SIM, phone memory and
    // contacts in this order. A failed job shows "PbMng_MessCode3" and re-reads the storages that
    // still have changes. 0, or the first failure.
    int32_t WriteChanges(int book);
    // Copies contacts between books and storages (storage 0: a whole book; no positions: all).
    void CopyContacts(int srcBook, int32_t srcStorage, const std::vector<int32_t> &positions, int32_t tgtStorage,
                      int tgtBook);
    // What a copy or paste did, for its one summary box.
    struct CopyTally {
        int copied = 0;
        int full = 0;    // the target had no free position
        int tooLong = 0; // a number longer than the target takes, or a text too long for a row
        int noField = 0; // nothing of the contact has a field in the target
        int notRead = 0; // the handset storage's status was never read
        int other = 0;
    };
    // Copies the source storage's entries (all, or the one at pos) into the target storage as new
    // contacts; answers the source positions whose copy was saved and counts each outcome.
    std::vector<int32_t> CopyEntries(int srcBook, StorageCode src, bool all, int32_t pos, int tgtBook, StorageCode tgt,
                                     CopyTally *tally = nullptr);
    // The one box after a copy or paste when some contact was not copied.
    void ReportCopy(const CopyTally &tally);
    void copyContacts(int srcBook, int32_t srcStorage, const std::vector<int32_t> &positions, int32_t tgtStorage,
                      int tgtBook, CopyTally &tally);
    // Remembers contacts for a paste; ignored while a cut is pending. True when Paste has positions.
    bool SetClipboard(int book, int32_t storage, uint8_t mode, std::vector<int32_t> positions);
    // Pastes the clipboard into the target; after a cut only the sources whose copy was saved are
    // deleted. Entries gone since are skipped.
    void Paste(int tgtBook, int32_t tgtStorage);
    bool IsCut(int book, int32_t storage, int32_t pos) const;
    bool PasteEnabled() const { return !clipboard_.ids.empty(); }
    // The handset is gone: book 0 is reset, after the batch in flight when there is one. A book
    // with changes not yet written is kept (the user is told) for a write once it is back.
    void PhoneDisconnected();
    bool transferBusy() const { return busy_; }

    // --- books and status (for transfers, CSV and the views) ---
    int BookCount() const { return static_cast<int>(books_.size()); }
    int FileCount() const { return BookCount() - 1; }
    bool validBook(int book) const { return book >= 0 && book < BookCount(); }
    ContactBook &book(int b) { return *books_.at(static_cast<size_t>(b)); }
    const ContactBook &book(int b) const { return *books_.at(static_cast<size_t>(b)); }
    // Adds an empty file book for fileName; answers its number.
    int AddFileBook(std::string fileName);

    HandsetStatus &handset() { return handset_; }
    const HandsetStatus &handset() const { return handset_; }
    // The status of SIM, phone memory or contacts (groups have none: an exception for them).
    HandsetStorage &handsetStorage(StorageCode storage);
    const HandsetStorage &handsetStorage(StorageCode storage) const;
    // Records a storage's status as read: last and first as given, records rebuilt (last - first +
    // 11 of them, position first + i, all free; the count bounded by kMaxPositions), capability
    // code kept.
    void SetStorageStatus(StorageCode storage, int32_t first, int32_t last, int32_t capCode);
    // Group names again from the book's group rows (the first N of each, its family name), by
    // position.
    void RebuildGroupNames(int book);

    ContactClipboard &clipboard() { return clipboard_; }

    // The book and storage the user is on (the views set them).
    void SetCurrentBook(int book, StorageCode storage);
    int currentBook() const { return currentBook_; }
    StorageCode currentStorage() const { return currentStorage_; }

    // An empty contact table (Id, Stor, Pos, PbId, Value).
    static platform::Table makeContactTable();

private:
    ContactBook *bookAt(int b);
    const ContactBook *bookAt(int b) const;
    void resetHandset();
    int32_t smallestFreePosition(ContactBook &bk, StorageCode storage);

    BatchOutcome runBatch(core::TBaseClt *client, const std::vector<BatchRequest> &batch);
    bool groupsChanged() const;
    std::map<int32_t, std::string> currentGroupNames() const;
    bool offers(int book, StorageCode storage) const;
    int32_t writeStorage(StorageCode storage, bool always, bool &stop);
    int32_t writeGroups(bool &stop);

    Env &env_;
    BatchRunner *runner_ = nullptr;
    std::array<core::TBaseClt *, 3> transferClients_{};
    // The contacts of the handset's storages whose change is still pending, for a failure report.
    std::string unwrittenNames() const;
    bool copying_ = false; // a copy or paste runs: AllocPosition leaves the telling to it
    bool busy_ = false;
    bool disconnectPending_ = false;
    bool faultShown_ = false; // a batch of this write showed its link fault already
    std::vector<std::unique_ptr<ContactBook>> books_;
    HandsetStatus handset_;
    ContactClipboard clipboard_;
    std::array<std::unique_ptr<CardClient>, 3> clients_{};
    int currentBook_ = 0;
    StorageCode currentStorage_ = StorageCode::Sim;
};

} // namespace content
