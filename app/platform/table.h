// The table engine: an in-memory table of named, typed, sized fields with a cursor, lookup, typed
// filters, one optional ordering index, and whole-table load and save (one file per table).
//
//   platform::Table sms({{"id", FieldType::Integer},
//                        {"boxid", FieldType::Integer},
//                        {"body", FieldType::Text, 160}},
//                       {{"cdsSmsinfoIndex1", "id"}}, "cdsSmsinfoIndex1");
//   sms.append(); sms.setInt("id", 1); sms.setText("body", "..."); sms.post();
//   sms.setFilter(platform::eq("boxid", 8));
//   for (sms.first(); !sms.eof(); sms.next()) use(sms.text("body"));
//   if (platform::TableResult r = sms.save(path); !r) show(r.message);
//
// Fields: Integer (signed 32 bits), AutoInc (signed 32 bits, numbered by the table when a new row is
// posted), Text of N characters and Blob of N bytes. Field names match without regard to ASCII case.
// Text sizes count UTF-8 characters, not bytes: a character is a byte that is not a continuation
// byte (10xxxxxx). A longer text is cut on a character boundary and the setter answers
// SetResult::Cut; so is a text of more than 4 x N bytes (only bytes that are not UTF-8 get there).
// A longer blob is cut to N bytes, also answering Cut.
//
// Rows keep the order they were appended in. With an active index the cursor walks them ordered by
// the index field (integers by value, texts byte-wise), rows with equal keys in append order. A
// filter hides rows from the cursor, count(), locate() and walks; it never affects save().
//
// Cursor: the current row is one of the visible rows; recNo() is its place from 0 (-1 on an empty
// view). bof()/eof() follow the usual data-set rule: first() sets bof, next() past the last row
// sets eof (the current row stays the last one), prior() before the first sets bof; an empty view is
// both.
//
// Editing: append() or edit() opens a row buffer (append: integers 0, texts and blobs empty); the
// setters change the buffer; post() stores it (the cursor is then on that row when it is visible)
// and cancel() drops it. Reads while editing see the buffer. Calling append(), edit(), a cursor move,
// locate(), setFilter() or setActiveIndex() while a buffer is open posts it first. remove() deletes
// the current row (an open edit is dropped; an open append is only dropped and nothing is deleted);
// the cursor moves to the row that followed it, or when it was the last to the new last row with
// eof() set. removeWhere() deletes many rows at once.
//
// Files (little-endian): magic "SVKTABLE", format version, total size, field and index definitions,
// the active index, the next auto-increment number, row count, the rows, and a CRC-32 of all bytes
// before it. save() goes through writeFileSafely(): the old file stays whole on any failure.
// load() checks everything before it allocates and changes the table only when the whole file is
// good.
//
// Not thread-safe: one thread at a time (callers that share a table hold their own lock). The const
// members (count(), rowAt(), fields(), serialize(), save() ...) may run on several threads at once
// while no thread changes the table; cursor moves are changes.
#pragma once

#include "platform/safe_file.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

enum class FieldType : uint8_t { Integer = 1, AutoInc = 2, Text = 3, Blob = 4 };

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Integer;
    uint32_t size = 0; // Text: characters; Blob: bytes; 0 for integers

    bool operator==(const FieldDef &) const = default;
};

// An ordering index on one field.
struct IndexDef {
    std::string name;
    std::string field;

    bool operator==(const IndexDef &) const = default;
};

// Biggest declared sizes: larger definitions (in code or in a file) are refused.
inline constexpr uint32_t kMaxTextChars = 1u << 20;
inline constexpr uint32_t kMaxBlobBytes = 16u << 20;
inline constexpr uint32_t kMaxFields = 1024;
// One set of limits for saving and loading, so that every table the program can hold it can also
// read back. A table takes at most kMaxTableRows rows and kMaxTableValues values (rows x fields;
// bounds the memory a hostile file can make load() take, whatever its counts say): post() refuses
// a new row past either. A file is read up to kMaxTableFileBytes, more than any table of the
// program's layouts can reach within the row limit (maxFileBytes()); save() refuses a larger one.
// 1,000,000 messages of 160 four-byte characters fit.
inline constexpr uint64_t kMaxTableRows = 1u << 20;
inline constexpr uint64_t kMaxTableValues = kMaxTableRows * 16;
inline constexpr uint64_t kMaxTableFileBytes = 5ull << 29; // 2.5 GiB
// The file format this build writes; it reads this and every older one.
inline constexpr uint32_t kTableFormatVersion = 1;

class Table;
class Row;

// CRC-32 (IEEE 802.3, the one zlib computes) of `data`: the checksum that ends a table file.
uint32_t crc32(std::string_view data);

// Read access to one row, given to filter predicates.
class RowView {
public:
    RowView(const Table &table, const Row &row) : table_(table), row_(row) {}
    // By field number (Table::fieldIndex()); a wrong number or type gives 0 / empty.
    int32_t intAt(int field) const;
    std::string_view textAt(int field) const;
    // By name (slower: a lookup per call).
    int32_t integer(std::string_view field) const;
    std::string_view text(std::string_view field) const;

private:
    const Table &table_;
    const Row &row_;
};

// A typed row predicate. Built from eq/lt/gt/allOf or from any callable on a RowView. Field names
// are looked up once, when the filter is set on a table; a name the table lacks matches no row.
//
// Filters built from eq/lt/gt/allOf carry a description of their terms. A filter with an eq term on
// an integer field (or an exact eq on a text field: the first such of the filter) is answered from
// an index of that field, built on first use and kept up to date as rows change; the rows of the
// last few large or unindexed described filters are kept up to date too. Either way setting one costs about the
// rows that match, not a pass over the table. Filter::where() filters are opaque: setting one asks
// it of every row.
class Filter {
public:
    using Predicate = std::function<bool(const RowView &)>;
    // Binds the filter to a table: resolves names, returns the predicate to run per row.
    using Binder = std::function<Predicate(const Table &)>;

    // One described term: field op value.
    struct Term {
        enum class Op : uint8_t { Eq, EqNoCase, Lt, Gt };
        std::string field;
        Op op = Op::Eq;
        bool isText = false;
        int32_t i = 0;
        std::string s;
    };

    Filter() = default;
    explicit Filter(Binder b) : bind_(std::move(b)) {}
    Filter(Binder b, std::vector<Term> terms);
    // Any callable on a row.
    static Filter where(Predicate p);

    bool empty() const { return !bind_; }
    Predicate bind(const Table &t) const { return bind_ ? bind_(t) : Predicate{}; }
    // The described terms (all must hold) and a key naming them; both empty for an opaque filter.
    const std::vector<Term> &terms() const { return terms_; }
    const std::string &key() const { return key_; }

private:
    Binder bind_;
    std::vector<Term> terms_;
    std::string key_;
};

// field = value, field < value, field > value. Texts compare byte-wise (and exactly for eq; with
// caseInsensitive, eq folds ASCII letters).
Filter eq(std::string_view field, int32_t value);
Filter eq(std::string_view field, std::string_view value, bool caseInsensitive = false);
Filter lt(std::string_view field, int32_t value);
Filter gt(std::string_view field, int32_t value);
Filter lt(std::string_view field, std::string_view value);
Filter gt(std::string_view field, std::string_view value);
// All of the filters hold.
Filter allOf(std::vector<Filter> parts);
Filter operator&&(Filter a, Filter b);

struct LocateOptions {
    bool caseInsensitive = false; // ASCII letters only
    bool partialKey = false;      // the field starts with the value
};

// What a setter did.
enum class SetResult {
    Ok,
    Cut,        // stored, cut to the field's size
    NotEditing, // no append()/edit() open
    NoField,    // no field of that name
    WrongType,  // e.g. setText on an integer field
};

// The answer of save() and load().
enum class TableStatus {
    Ok,
    Missing,       // load: no such file
    Damaged,       // load: not a table file, cut short, checksum or structure wrong (see message)
    NewerVersion,  // load: written by a newer format than this build reads
    MissingField,  // load: a field the table declares is not in the file (or has another type)
    IoError,       // load or save: the system refused (message holds its text)
    NotRegular,    // load: a named pipe, folder, device or socket stands at the path; not opened
    ReadOnly,      // save: the file has no write permission bit; it was not replaced
};

// A table's file bytes less the trailing checksum, taken by snapshot() on the thread that owns the
// table. It is a copy: the table may change at once, while another thread finishes and writes it
// (saveSnapshot()), which keeps the expensive part of a save (checksum, write, flush) off the
// owner's thread.
struct TableSnapshot {
    std::string bytes;
    uint64_t changes = 0; // the table's changes() when it was taken
};

struct TableResult {
    TableStatus status = TableStatus::Ok;
    std::string message; // empty when Ok; else what went wrong, naming the file

    explicit operator bool() const { return status == TableStatus::Ok; }
};

// One stored row, packed in a single allocation (a row of many fields costs about its file bytes):
//   uint32 field count, uint32 bytes of text,
//   per field a uint32 slot: an integer's value, or where a text's bytes end in the text area,
//   per field a uint16 link: kIntLink for an integer, else 1 + the text field whose bytes this
//   text's follow (0: it starts the area),
//   the texts' bytes in field order.
// Texts and blobs read as views into the row: valid while the row lives unchanged.
class Row {
public:
    Row() = default;
    Row(const Row &o);
    Row &operator=(const Row &o);
    Row(Row &&) noexcept = default;
    Row &operator=(Row &&) noexcept = default;

    size_t fieldCount() const { return block_ ? get32(0) : 0; }
    // A wrong field number or type gives 0 / empty.
    int32_t intAt(size_t field) const;
    std::string_view textAt(size_t field) const;

    bool operator==(const Row &o) const;

private:
    friend class Table;
    static constexpr uint16_t kIntLink = 0xFFFF;
    static constexpr size_t kHead = 8;

    uint32_t get32(size_t at) const;
    uint16_t link(size_t field) const;
    size_t blockBytes() const;

    std::unique_ptr<char[]> block_;
};

class Table {
public:
    // A table of these fields; `indexes` are ordering indexes that may be made active by name,
    // `activeIndex` names the one active from the start (empty: none). Definitions with empty,
    // duplicate (without case) or over-long names, sizes above the limits, or an index on a
    // missing field are a programming error: valid() is then false and the table holds no fields.
    explicit Table(std::vector<FieldDef> fields = {}, std::vector<IndexDef> indexes = {},
                   std::string_view activeIndex = {});

    bool valid() const { return valid_; }
    const std::vector<FieldDef> &fields() const { return fields_; }
    const std::vector<IndexDef> &indexes() const { return indexes_; }
    // Field number of a name (without case), or -1.
    int fieldIndex(std::string_view name) const;

    // --- ordering and filtering ---
    // Makes the named index active (true), or none with an empty name. An unknown name: false and
    // nothing changes.
    bool setActiveIndex(std::string_view indexName);
    std::string activeIndex() const;
    void setFilter(Filter f);
    void clearFilter() { setFilter(Filter{}); }
    bool filtered() const { return bool(pred_); }

    // --- cursor ---
    int count() const;      // visible rows
    int totalRows() const { return int(rows_.size()); } // all rows, filter ignored
    void first();
    void last();
    void next();
    void prior();
    void moveBy(int n); // n > 0: next() n times; n < 0: prior() -n times
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    int recNo() const;        // place of the current row among the visible ones, from 0; -1 if none
    bool setRecNo(int n);     // false (cursor unchanged) when outside 0 .. count()-1
    // The visible row at place n (0 .. count()-1) without moving the cursor, e.g. for readers
    // that must not disturb a walk; valid until the table changes. Outside the range: nothing.
    std::optional<RowView> rowAt(int n) const;
    // The highest value of an integer field over every row (filter ignored), 0 for an empty table
    // or a field that is not an integer: at once when the active index orders by the field.
    int32_t highestInt(int field) const;
    // The first row in walk order (filter ignored) whose integer field holds value, without moving
    // the cursor; valid until the table changes. A binary search when the active index orders by
    // the field, else a pass over the rows. A wrong field number or type: nothing.
    std::optional<RowView> findInt(int field, int32_t value) const;
    // Moves to the first visible row whose field matches; false and the cursor unchanged when none.
    bool locate(std::string_view field, std::string_view value, LocateOptions opts = {});
    bool locate(std::string_view field, int32_t value);

    // --- current row (or the open buffer) ---
    // Texts come back as views into the table: valid until the table next changes or moves.
    int32_t integer(std::string_view field) const;
    std::string_view text(std::string_view field) const; // texts and blobs
    int32_t intAt(int field) const;
    std::string_view textAt(int field) const;

    // --- changes ---
    void append();
    bool edit();    // false when there is no current row
    bool editing() const { return state_ != State::Browse; }
    SetResult setInt(std::string_view field, int32_t value);
    SetResult setText(std::string_view field, std::string_view value); // texts and blobs
    SetResult setIntAt(int field, int32_t value);
    SetResult setTextAt(int field, std::string_view value);
    // False when no buffer is open, or when a new row would pass the row or value limit (the new
    // row is then dropped: see full()), or when the row's texts and blobs together pass
    // kMaxTableFileBytes (the buffer is then dropped: no file could hold the row).
    bool post();
    void cancel();
    bool remove();  // false when no row was deleted
    // Deletes every row the filter holds for, whether the current filter shows it or not, in one
    // pass (remove() per row costs a pass over the table each). An open buffer is posted first;
    // an empty filter deletes nothing. The filter is asked once per row, in storage (append)
    // order. The cursor goes to the row it stood on or, when that went, to the visible row that
    // followed it, as remove() does. Answers how many rows went.
    int removeWhere(const Filter &which);
    void clear();   // deletes every row (auto-increment numbering goes on)
    // True when no new row fits (kMaxTableRows, kMaxTableValues).
    bool full() const;
    // Rows this table can hold.
    uint64_t maxRows() const;
    // The largest file this table can make: every row at the limit, every value at its size.
    uint64_t maxFileBytes() const;

    // --- files ---
    TableResult save(const std::string &path, const FileOps &ops = FileOps::system()) const;
    // The file's bytes, as save() would write them.
    std::string serialize() const;
    // The bytes less their checksum (cheap: one copy of the rows), for saving on another thread.
    TableSnapshot snapshot() const;
    // Finishes a snapshot and writes it through writeFileSafely(), like save(); any thread.
    static TableResult saveSnapshot(TableSnapshot snap, const std::string &path,
                                    const FileOps &ops = FileOps::system());
    // Replaces the rows (and definitions) with the file's. When the table declares fields, each
    // must be in the file with the same type (MissingField otherwise); the file's own definitions
    // are taken. On any failure the table is unchanged. The filter stays; the cursor goes to
    // the first row.
    TableResult load(const std::string &path);
    TableResult loadFromBytes(std::string_view bytes, const std::string &nameForMessages = "table");

    // A number that grows with every change of the rows (post, remove, clear, load): a caller
    // that keeps its own facts about the rows knows them stale when it moved, and a saver
    // compares it with the count it last wrote.
    uint64_t changes() const { return changes_; }

    // Every row in storage (append) order, filter and index ignored: for passes that need no
    // order, tests and comparisons. Valid until the table changes.
    const std::vector<Row> &rows() const { return rows_; }

    // Cuts `s` to at most `maxChars` UTF-8 characters on a character boundary; true when it cut.
    static bool cutToChars(std::string &s, uint32_t maxChars);
    static size_t countChars(std::string_view s);

private:
    enum class State { Browse, Insert, Edit };
    // The open edit buffer, unpacked: integers in `i`, texts and blobs in `s`.
    struct Cell {
        int32_t i = 0;
        std::string s;
    };
    using Buffer = std::vector<Cell>;
    using RowList = std::vector<uint32_t>; // indexes into rows_, in walk order

    // A described filter's rows, kept up to date while it is cached.
    struct CachedView {
        std::string key;
        Filter::Predicate pred;
        RowList rows;
        uint64_t lastUse = 0;
    };
    // Rows of each value of a field (an integer's value, a text's hash), each list in walk order.
    struct EqIndex {
        int field = -1;
        std::unordered_map<int64_t, RowList> byKey;
    };

    // The visible rows: the active filter's, or every row.
    const RowList &view() const
    {
        return viewSlot_ == kNoFilter ? order_ : viewSlot_ == kScratch ? scratch_ : views_[size_t(viewSlot_)].rows;
    }
    void rebuildOrder();
    void dropDerived(); // cached views and indexes: rebuilt on demand
    RowList scanMatching(const Filter::Predicate &pred) const;
    int64_t indexKey(int field, uint32_t r) const;
    const EqIndex &eqIndexOf(int field);
    void unplaceRow(uint32_t r);           // takes row r (as stored now) out of every list
    void placeRow(uint32_t r);             // puts row r into every list it belongs to
    void renumberAfterErase(uint32_t r);   // row indexes above r go down by one
    void checkBrowse();
    bool lessInOrder(uint32_t a, uint32_t b) const;
    void insertSorted(RowList &list, uint32_t r) const;
    void eraseSorted(RowList &list, uint32_t r) const;
    void placeCursorAfterPost(uint32_t rowIndex);
    const Row *currentRow() const; // null while editing: reads then see buffer_
    // One row from per-field values (ints[f] for integer fields, texts[f] for the others).
    static Row packValues(const std::vector<FieldDef> &fields, const uint32_t *ints, const std::string_view *texts,
                          size_t textBytes);
    Row pack(const Buffer &b) const;
    Buffer unpack(const Row &r) const;
    SetResult checkSet(int field, bool wantInt) const;

    bool valid_ = true;
    std::vector<FieldDef> fields_;
    std::vector<IndexDef> indexes_;
    int active_ = -1;       // index number or -1
    int activeField_ = -1;  // its field number
    int64_t nextAutoInc_ = 1;
    uint64_t changes_ = 0;

    std::vector<Row> rows_;        // append order
    RowList order_;                // every row in walk order
    Filter filter_;
    Filter::Predicate pred_;
    // Where the visible rows are: order_ (no filter), scratch_ (an opaque filter) or views_[slot].
    static constexpr int kNoFilter = -2, kScratch = -1;
    int viewSlot_ = kNoFilter;
    RowList scratch_;
    std::vector<CachedView> views_;
    std::vector<EqIndex> eqIndexes_;
    uint64_t useClock_ = 0;

    int pos_ = -1; // place in view()
    bool eof_ = true;
    bool bof_ = true;

    State state_ = State::Browse;
    Buffer buffer_;
    uint32_t editRow_ = 0; // rows_ index being edited

    friend class RowView;
};

} // namespace platform
