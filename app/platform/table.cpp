#include "platform/table.h"

#include "platform/paths.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace platform {

// ------------------------------------------------------------------------------------------------
// Helpers

namespace {

bool isIntType(FieldType t) { return t == FieldType::Integer || t == FieldType::AutoInc; }

// CRC-32 (IEEE 802.3, reflected, as zlib computes it), eight bytes a step.
struct Crc32Tables {
    std::array<std::array<uint32_t, 256>, 8> t{};
    Crc32Tables()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s)
                t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
};

} // namespace

uint32_t crc32(std::string_view data)
{
    static const Crc32Tables tables;
    const auto &t = tables.t;
    uint32_t c = 0xFFFFFFFFu;
    auto p = reinterpret_cast<const unsigned char *>(data.data());
    size_t n = data.size();
    while (n >= 8) {
        uint32_t lo = (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24) ^ c;
        uint32_t hi = uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    while (n--)
        c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

namespace {

void put8(std::string &out, uint8_t v) { out.push_back(char(v)); }
void put16(std::string &out, uint16_t v)
{
    char b[2] = {char(v), char(v >> 8)};
    out.append(b, 2);
}
void put32(std::string &out, uint32_t v)
{
    char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.append(b, 4);
}
void put64(std::string &out, uint64_t v)
{
    put32(out, uint32_t(v));
    put32(out, uint32_t(v >> 32));
}

// Bounded reader over the file's bytes: every get checks what is left.
class Reader {
public:
    explicit Reader(std::string_view d) : d_(d) {}
    size_t left() const { return d_.size() - pos_; }
    bool get8(uint8_t &v)
    {
        if (left() < 1)
            return false;
        v = uint8_t(d_[pos_++]);
        return true;
    }
    bool get16(uint16_t &v)
    {
        if (left() < 2)
            return false;
        v = uint16_t(byte(0) | byte(1) << 8);
        pos_ += 2;
        return true;
    }
    bool get32(uint32_t &v)
    {
        if (left() < 4)
            return false;
        v = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
        pos_ += 4;
        return true;
    }
    bool get64(uint64_t &v)
    {
        uint32_t lo = 0, hi = 0;
        if (left() < 8 || !get32(lo) || !get32(hi))
            return false;
        v = uint64_t(hi) << 32 | lo;
        return true;
    }
    bool bytes(size_t n, std::string_view &v)
    {
        if (left() < n)
            return false;
        v = d_.substr(pos_, n);
        pos_ += n;
        return true;
    }

private:
    uint32_t byte(size_t k) const { return uint8_t(d_[pos_ + k]); }
    std::string_view d_;
    size_t pos_ = 0;
};

constexpr char kMagic[8] = {'S', 'V', 'K', 'T', 'A', 'B', 'L', 'E'};
// magic, version, total size ... crc
constexpr size_t kFixedHead = 8 + 4 + 8;
constexpr size_t kMinFile = kFixedHead + 4 + 4 + 4 + 8 + 4 + 4;
constexpr size_t kMaxNameBytes = 255;

// Why a set of definitions is unusable, or empty when it is fine.
std::string checkDefinitions(const std::vector<FieldDef> &fields, const std::vector<IndexDef> &indexes)
{
    if (fields.size() > kMaxFields)
        return "too many fields";
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef &f = fields[i];
        if (f.name.empty() || f.name.size() > kMaxNameBytes)
            return "bad field name";
        switch (f.type) {
        case FieldType::Integer:
        case FieldType::AutoInc:
            if (f.size != 0)
                return "integer field " + f.name + " with a size";
            break;
        case FieldType::Text:
            if (f.size == 0 || f.size > kMaxTextChars)
                return "bad size of text field " + f.name;
            break;
        case FieldType::Blob:
            if (f.size == 0 || f.size > kMaxBlobBytes)
                return "bad size of blob field " + f.name;
            break;
        default:
            return "unknown field type";
        }
        for (size_t k = 0; k < i; ++k)
            if (equalsNoCase(fields[k].name, f.name))
                return "duplicate field " + f.name;
    }
    for (size_t i = 0; i < indexes.size(); ++i) {
        const IndexDef &x = indexes[i];
        if (x.name.empty() || x.name.size() > kMaxNameBytes)
            return "bad index name";
        bool found = false;
        for (const FieldDef &f : fields)
            found = found || equalsNoCase(f.name, x.field);
        if (!found)
            return "index " + x.name + " on a missing field";
        for (size_t k = 0; k < i; ++k)
            if (equalsNoCase(indexes[k].name, x.name))
                return "duplicate index " + x.name;
    }
    return {};
}

int findIndexDef(const std::vector<IndexDef> &indexes, std::string_view name)
{
    for (size_t i = 0; i < indexes.size(); ++i)
        if (equalsNoCase(indexes[i].name, name))
            return int(i);
    return -1;
}

bool startsWith(std::string_view s, std::string_view prefix, bool noCase)
{
    if (prefix.size() > s.size())
        return false;
    return noCase ? equalsNoCase(s.substr(0, prefix.size()), prefix) : s.substr(0, prefix.size()) == prefix;
}

// Strict decimal integer within 32 bits (for locating an integer field by text).
bool parseInt32(std::string_view s, int32_t &out)
{
    bool neg = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        neg = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 10)
        return false;
    int64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    n = neg ? -n : n;
    if (n < INT32_MIN || n > INT32_MAX)
        return false;
    out = int32_t(n);
    return true;
}

} // namespace

// ------------------------------------------------------------------------------------------------
// Rows and filters

uint32_t Row::get32(size_t at) const
{
    uint32_t v;
    std::memcpy(&v, block_.get() + at, 4);
    return v;
}

uint16_t Row::link(size_t field) const
{
    uint16_t v;
    std::memcpy(&v, block_.get() + kHead + 4 * fieldCount() + 2 * field, 2);
    return v;
}

size_t Row::blockBytes() const { return block_ ? kHead + 6 * size_t(get32(0)) + get32(4) : 0; }

Row::Row(const Row &o)
{
    if (const size_t n = o.blockBytes()) {
        block_.reset(new char[n]);
        std::memcpy(block_.get(), o.block_.get(), n);
    }
}

Row &Row::operator=(const Row &o)
{
    if (this != &o)
        *this = Row(o);
    return *this;
}

bool Row::operator==(const Row &o) const
{
    const size_t n = blockBytes();
    return n == o.blockBytes() && (n == 0 || std::memcmp(block_.get(), o.block_.get(), n) == 0);
}

int32_t Row::intAt(size_t field) const
{
    if (field >= fieldCount() || link(field) != kIntLink)
        return 0;
    return int32_t(get32(kHead + 4 * field));
}

std::string_view Row::textAt(size_t field) const
{
    const size_t n = fieldCount();
    if (field >= n)
        return {};
    const uint16_t l = link(field);
    if (l == kIntLink)
        return {};
    const uint32_t end = get32(kHead + 4 * field);
    const uint32_t begin = l == 0 ? 0 : get32(kHead + 4 * size_t(l - 1));
    return {block_.get() + kHead + 6 * n + begin, size_t(end - begin)};
}

int32_t RowView::intAt(int field) const { return field < 0 ? 0 : row_.intAt(size_t(field)); }

std::string_view RowView::textAt(int field) const { return field < 0 ? std::string_view() : row_.textAt(size_t(field)); }

int32_t RowView::integer(std::string_view field) const { return intAt(table_.fieldIndex(field)); }
std::string_view RowView::text(std::string_view field) const { return textAt(table_.fieldIndex(field)); }

namespace {

void appendKeyPart(std::string &key, std::string_view part)
{
    key += std::to_string(part.size());
    key += ':';
    key += part;
}

std::string keyOf(const std::vector<Filter::Term> &terms)
{
    std::string key;
    for (const Filter::Term &t : terms) {
        key += char('0' + int(t.op));
        key += t.isText ? 't' : 'i';
        appendKeyPart(key, asciiLower(t.field));
        if (t.isText)
            appendKeyPart(key, t.s);
        else
            key += std::to_string(t.i) + ';';
    }
    return key;
}

} // namespace

Filter::Filter(Binder b, std::vector<Term> terms) : bind_(std::move(b)), terms_(std::move(terms))
{
    if (!terms_.empty())
        key_ = keyOf(terms_);
}

Filter Filter::where(Predicate p)
{
    return Filter([p = std::move(p)](const Table &) { return p; });
}

namespace {

Filter::Predicate never() { return [](const RowView &) { return false; }; }

template <class Cmp> Filter intFilter(std::string_view field, int32_t value, Filter::Term::Op op, Cmp cmp)
{
    Filter::Term term{std::string(field), op, false, value, {}};
    return Filter(
        [name = std::string(field), value, cmp](const Table &t) -> Filter::Predicate {
            int f = t.fieldIndex(name);
            if (f < 0 || !isIntType(t.fields()[f].type))
                return never();
            return [f, value, cmp](const RowView &r) { return cmp(r.intAt(f), value); };
        },
        {std::move(term)});
}

template <class Cmp>
Filter textFilter(std::string_view field, std::string_view value, Filter::Term::Op op, Cmp cmp)
{
    Filter::Term term{std::string(field), op, true, 0, std::string(value)};
    return Filter(
        [name = std::string(field), value = std::string(value), cmp](const Table &t) -> Filter::Predicate {
            int f = t.fieldIndex(name);
            if (f < 0 || isIntType(t.fields()[f].type))
                return never();
            return [f, value, cmp](const RowView &r) { return cmp(r.textAt(f), std::string_view(value)); };
        },
        {std::move(term)});
}

using Op = Filter::Term::Op;

} // namespace

Filter eq(std::string_view field, int32_t value)
{
    return intFilter(field, value, Op::Eq, [](int32_t a, int32_t b) { return a == b; });
}
Filter lt(std::string_view field, int32_t value)
{
    return intFilter(field, value, Op::Lt, [](int32_t a, int32_t b) { return a < b; });
}
Filter gt(std::string_view field, int32_t value)
{
    return intFilter(field, value, Op::Gt, [](int32_t a, int32_t b) { return a > b; });
}
Filter eq(std::string_view field, std::string_view value, bool caseInsensitive)
{
    if (caseInsensitive)
        return textFilter(field, value, Op::EqNoCase,
                          [](std::string_view a, std::string_view b) { return equalsNoCase(a, b); });
    return textFilter(field, value, Op::Eq, [](std::string_view a, std::string_view b) { return a == b; });
}
Filter lt(std::string_view field, std::string_view value)
{
    return textFilter(field, value, Op::Lt, [](std::string_view a, std::string_view b) { return a < b; });
}
Filter gt(std::string_view field, std::string_view value)
{
    return textFilter(field, value, Op::Gt, [](std::string_view a, std::string_view b) { return a > b; });
}

Filter allOf(std::vector<Filter> parts)
{
    // Described only when every part is: one opaque part makes the whole opaque.
    std::vector<Filter::Term> terms;
    bool described = true;
    for (const Filter &p : parts) {
        if (p.empty())
            continue;
        if (p.terms().empty())
            described = false;
        terms.insert(terms.end(), p.terms().begin(), p.terms().end());
    }
    if (!described)
        terms.clear();
    return Filter(
        [parts = std::move(parts)](const Table &t) -> Filter::Predicate {
            std::vector<Filter::Predicate> bound;
            for (const Filter &p : parts)
                if (!p.empty())
                    bound.push_back(p.bind(t));
            return [bound = std::move(bound)](const RowView &r) {
                for (const auto &b : bound)
                    if (!b(r))
                        return false;
                return true;
            };
        },
        std::move(terms));
}

Filter operator&&(Filter a, Filter b) { return allOf({std::move(a), std::move(b)}); }

// ------------------------------------------------------------------------------------------------
// Table

Table::Table(std::vector<FieldDef> fields, std::vector<IndexDef> indexes, std::string_view activeIndex)
{
    for (FieldDef &f : fields)
        if (isIntType(f.type))
            f.size = 0;
    int active = activeIndex.empty() ? -1 : findIndexDef(indexes, activeIndex);
    if (!checkDefinitions(fields, indexes).empty() || (!activeIndex.empty() && active < 0)) {
        valid_ = false;
        return;
    }
    fields_ = std::move(fields);
    indexes_ = std::move(indexes);
    if (active >= 0) {
        active_ = active;
        activeField_ = fieldIndex(indexes_[active].field);
    }
}

int Table::fieldIndex(std::string_view name) const
{
    for (size_t i = 0; i < fields_.size(); ++i)
        if (equalsNoCase(fields_[i].name, name))
            return int(i);
    return -1;
}

size_t Table::countChars(std::string_view s)
{
    size_t n = 0;
    for (char c : s)
        n += (uint8_t(c) & 0xC0) != 0x80;
    return n;
}

bool Table::cutToChars(std::string &s, uint32_t maxChars)
{
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((uint8_t(s[i]) & 0xC0) != 0x80) {
            if (chars == maxChars) {
                s.resize(i);
                return true;
            }
            ++chars;
        }
    }
    return false;
}

Row Table::packValues(const std::vector<FieldDef> &fields, const uint32_t *ints, const std::string_view *texts,
                      size_t textBytes)
{
    const size_t n = fields.size();
    Row row;
    row.block_.reset(new char[Row::kHead + 6 * n + textBytes]);
    char *p = row.block_.get();
    const uint32_t head[2] = {uint32_t(n), uint32_t(textBytes)};
    std::memcpy(p, head, sizeof head);
    char *slots = p + Row::kHead, *links = slots + 4 * n, *text = links + 2 * n;
    uint32_t end = 0;
    uint16_t prev = 0; // 1 + the last text field so far
    for (size_t f = 0; f < n; ++f) {
        uint32_t slot;
        uint16_t link;
        if (isIntType(fields[f].type)) {
            slot = ints[f];
            link = Row::kIntLink;
        } else {
            const std::string_view s = texts[f];
            if (!s.empty())
                std::memcpy(text + end, s.data(), s.size());
            end += uint32_t(s.size());
            slot = end;
            link = prev;
            prev = uint16_t(f + 1);
        }
        std::memcpy(slots + 4 * f, &slot, 4);
        std::memcpy(links + 2 * f, &link, 2);
    }
    return row;
}

Row Table::pack(const Buffer &b) const
{
    const size_t n = fields_.size();
    std::vector<uint32_t> ints(n);
    std::vector<std::string_view> texts(n);
    size_t textBytes = 0;
    for (size_t f = 0; f < n; ++f) {
        ints[f] = uint32_t(b[f].i);
        texts[f] = b[f].s;
        textBytes += isIntType(fields_[f].type) ? 0 : b[f].s.size();
    }
    return packValues(fields_, ints.data(), texts.data(), textBytes);
}

Table::Buffer Table::unpack(const Row &r) const
{
    Buffer b(fields_.size());
    for (size_t f = 0; f < b.size(); ++f) {
        if (isIntType(fields_[f].type))
            b[f].i = r.intAt(f);
        else
            b[f].s.assign(r.textAt(f));
    }
    return b;
}

bool Table::lessInOrder(uint32_t a, uint32_t b) const
{
    if (activeField_ >= 0) {
        const Row &x = rows_[a], &y = rows_[b];
        const size_t f = size_t(activeField_);
        if (isIntType(fields_[f].type)) {
            const int32_t xi = x.intAt(f), yi = y.intAt(f);
            if (xi != yi)
                return xi < yi;
        } else {
            int c = x.textAt(f).compare(y.textAt(f));
            if (c != 0)
                return c < 0;
        }
    }
    return a < b; // equal keys keep append order
}

// Every list is sorted by lessInOrder, a strict order over row indexes: a row is found, and a new
// one placed, by binary search.
void Table::insertSorted(RowList &list, uint32_t r) const
{
    if (list.empty() || lessInOrder(list.back(), r)) {
        list.push_back(r); // the usual case: a new row at the end of the walk
        return;
    }
    list.insert(std::lower_bound(list.begin(), list.end(), r,
                                 [this](uint32_t a, uint32_t b) { return lessInOrder(a, b); }),
                r);
}

void Table::eraseSorted(RowList &list, uint32_t r) const
{
    auto it = std::lower_bound(list.begin(), list.end(), r,
                               [this](uint32_t a, uint32_t b) { return lessInOrder(a, b); });
    if (it != list.end() && *it == r)
        list.erase(it);
}

void Table::rebuildOrder()
{
    order_.resize(rows_.size());
    for (uint32_t i = 0; i < rows_.size(); ++i)
        order_[i] = i;
    // Rows are mostly stored in index order already (numbered as appended): check before sorting.
    auto less = [this](uint32_t a, uint32_t b) { return lessInOrder(a, b); };
    if (activeField_ >= 0 && !std::is_sorted(order_.begin(), order_.end(), less))
        std::sort(order_.begin(), order_.end(), less); // a strict order: ties are broken by row index
}

void Table::dropDerived()
{
    views_.clear();
    eqIndexes_.clear();
}

Table::RowList Table::scanMatching(const Filter::Predicate &pred) const
{
    RowList out;
    for (uint32_t r : order_)
        if (pred(RowView(*this, rows_[r])))
            out.push_back(r);
    return out;
}

int64_t Table::indexKey(int field, uint32_t r) const
{
    const Row &row = rows_[r];
    return isIntType(fields_[size_t(field)].type) ? int64_t(row.intAt(size_t(field)))
                                                  : int64_t(std::hash<std::string_view>{}(row.textAt(size_t(field))));
}

const Table::EqIndex &Table::eqIndexOf(int field)
{
    for (const EqIndex &x : eqIndexes_)
        if (x.field == field)
            return x;
    EqIndex x;
    x.field = field;
    for (uint32_t r : order_) // walk order in, walk order in each list
        x.byKey[indexKey(field, r)].push_back(r);
    eqIndexes_.push_back(std::move(x));
    return eqIndexes_.back();
}

int32_t Table::highestInt(int field) const
{
    if (field < 0 || size_t(field) >= fields_.size() || !isIntType(fields_[size_t(field)].type) || rows_.empty())
        return 0;
    if (field == activeField_)
        return rows_[order_.back()].intAt(size_t(field));
    int32_t top = INT32_MIN;
    for (const Row &r : rows_)
        top = std::max(top, r.intAt(size_t(field)));
    return top;
}

std::optional<RowView> Table::findInt(int field, int32_t value) const
{
    if (field < 0 || size_t(field) >= fields_.size() || !isIntType(fields_[size_t(field)].type))
        return std::nullopt;
    const size_t f = size_t(field);
    if (field == activeField_) {
        // order_ is sorted by this field, equal keys in append order: the first match is the
        // first row not below the value.
        const auto it = std::partition_point(order_.begin(), order_.end(),
                                             [&](uint32_t r) { return rows_[r].intAt(f) < value; });
        if (it != order_.end() && rows_[*it].intAt(f) == value)
            return RowView(*this, rows_[*it]);
        return std::nullopt;
    }
    for (uint32_t r : order_)
        if (rows_[r].intAt(f) == value)
            return RowView(*this, rows_[r]);
    return std::nullopt;
}

void Table::unplaceRow(uint32_t r)
{
    eraseSorted(order_, r);
    for (CachedView &v : views_)
        eraseSorted(v.rows, r);
    if (viewSlot_ == kScratch)
        eraseSorted(scratch_, r);
    for (EqIndex &x : eqIndexes_) {
        auto it = x.byKey.find(indexKey(x.field, r));
        if (it == x.byKey.end())
            continue;
        eraseSorted(it->second, r);
        if (it->second.empty())
            x.byKey.erase(it);
    }
}

void Table::placeRow(uint32_t r)
{
    const RowView row(*this, rows_[r]);
    insertSorted(order_, r);
    for (CachedView &v : views_)
        if (v.pred(row))
            insertSorted(v.rows, r);
    if (viewSlot_ == kScratch && pred_(row))
        insertSorted(scratch_, r);
    for (EqIndex &x : eqIndexes_)
        insertSorted(x.byKey[indexKey(x.field, r)], r);
}

void Table::renumberAfterErase(uint32_t r)
{
    auto down = [r](RowList &list) {
        for (uint32_t &v : list)
            if (v > r)
                --v;
    };
    down(order_);
    for (CachedView &v : views_)
        down(v.rows);
    if (viewSlot_ == kScratch)
        down(scratch_);
    for (EqIndex &x : eqIndexes_)
        for (auto &[key, list] : x.byKey)
            down(list);
}

void Table::placeCursorAfterPost(uint32_t r)
{
    const RowList &v = view();
    // The usual case, a new row at the end of the walk, without a search: each step of one
    // lands on a cold row once the table outgrows the cache.
    if (!v.empty() && v.back() == r) {
        pos_ = int(v.size()) - 1;
        eof_ = bof_ = false;
        return;
    }
    auto it = std::lower_bound(v.begin(), v.end(), r, [this](uint32_t a, uint32_t b) { return lessInOrder(a, b); });
    if (it != v.end() && *it == r) {
        pos_ = int(it - v.begin());
        eof_ = bof_ = false;
        return;
    }
    // Hidden by the filter: the cursor stays where it was, within the view.
    if (pos_ >= int(v.size()))
        pos_ = int(v.size()) - 1;
    eof_ = bof_ = v.empty();
}

void Table::checkBrowse()
{
    if (state_ != State::Browse)
        post();
}

bool Table::setActiveIndex(std::string_view indexName)
{
    int idx = indexName.empty() ? -1 : findIndexDef(indexes_, indexName);
    if (!indexName.empty() && idx < 0)
        return false;
    checkBrowse();
    int keep = recNo() >= 0 ? int(view()[size_t(pos_)]) : -1;
    active_ = idx;
    activeField_ = idx < 0 ? -1 : fieldIndex(indexes_[idx].field);
    rebuildOrder();
    dropDerived();
    setFilter(filter_);
    if (keep >= 0) {
        const RowList &v = view();
        auto it = std::find(v.begin(), v.end(), uint32_t(keep));
        if (it != v.end()) {
            pos_ = int(it - v.begin());
            bof_ = eof_ = false;
        }
    }
    return true;
}

std::string Table::activeIndex() const { return active_ < 0 ? std::string() : indexes_[active_].name; }

void Table::setFilter(Filter f)
{
    checkBrowse();
    filter_ = std::move(f);
    pred_ = filter_.bind(*this);
    scratch_.clear();
    if (!pred_) {
        viewSlot_ = kNoFilter;
    } else if (filter_.key().empty()) {
        scratch_ = scanMatching(pred_);
        viewSlot_ = kScratch;
    } else {
        ++useClock_;
        auto hit = std::find_if(views_.begin(), views_.end(),
                                [&](const CachedView &v) { return v.key == filter_.key(); });
        if (hit == views_.end()) {
            // Candidates: the rows of the smallest eq term's value from that field's index
            // (integer fields, and the first text field compared exactly), else every row.
            std::vector<std::pair<int, int64_t>> lookups; // field, key
            bool textIndexed = false;
            for (const Filter::Term &t : filter_.terms()) {
                const int fi = fieldIndex(t.field);
                if (t.op != Filter::Term::Op::Eq || fi < 0 || t.isText == isIntType(fields_[size_t(fi)].type))
                    continue;
                if (t.isText && std::exchange(textIndexed, true))
                    continue;
                eqIndexOf(fi); // every index made first: making one may move the others
                lookups.emplace_back(fi, t.isText ? int64_t(std::hash<std::string_view>{}(t.s)) : int64_t(t.i));
            }
            const RowList *from = &order_;
            const bool indexed = !lookups.empty();
            static const RowList none;
            for (size_t k = 0; k < lookups.size(); ++k) {
                const EqIndex &x = eqIndexOf(lookups[k].first);
                auto it = x.byKey.find(lookups[k].second);
                const RowList *bucket = it == x.byKey.end() ? &none : &it->second;
                if (k == 0 || bucket->size() < from->size())
                    from = bucket;
            }
            RowList rows;
            for (uint32_t r : *from)
                if (pred_(RowView(*this, rows_[r])))
                    rows.push_back(r);
            // A few views are kept up to date (each costs a binary search per change): those
            // that took a pass over the table, or that are large. A small view from an index is
            // as cheap to make again as to keep.
            constexpr size_t kMaxViews = 8, kKeepAbove = 64;
            if (indexed && rows.size() <= kKeepAbove) {
                scratch_ = std::move(rows);
                viewSlot_ = kScratch;
                first();
                return;
            }
            CachedView v{filter_.key(), pred_, std::move(rows), 0};
            if (views_.size() >= kMaxViews) {
                hit = std::min_element(views_.begin(), views_.end(), [](const CachedView &x, const CachedView &y) {
                    return x.lastUse < y.lastUse;
                });
                *hit = std::move(v);
            } else {
                views_.push_back(std::move(v));
                hit = views_.end() - 1;
            }
        }
        hit->lastUse = useClock_;
        viewSlot_ = int(hit - views_.begin());
    }
    first();
}

int Table::count() const { return int(view().size()); }

void Table::first()
{
    checkBrowse();
    const bool empty = view().empty();
    pos_ = empty ? -1 : 0;
    bof_ = true;
    eof_ = empty;
}

void Table::last()
{
    checkBrowse();
    pos_ = int(view().size()) - 1;
    eof_ = true;
    bof_ = view().empty();
}

void Table::next()
{
    checkBrowse();
    if (pos_ + 1 < int(view().size())) {
        ++pos_;
        bof_ = eof_ = false;
    } else {
        eof_ = true;
        bof_ = view().empty();
    }
}

void Table::prior()
{
    checkBrowse();
    if (pos_ > 0) {
        --pos_;
        bof_ = eof_ = false;
    } else {
        bof_ = true;
        eof_ = view().empty();
    }
}

void Table::moveBy(int n)
{
    for (; n > 0; --n)
        next();
    for (; n < 0; ++n)
        prior();
}

int Table::recNo() const { return (pos_ >= 0 && pos_ < int(view().size())) ? pos_ : -1; }

std::optional<RowView> Table::rowAt(int n) const
{
    const RowList &v = view();
    if (n < 0 || n >= int(v.size()))
        return std::nullopt;
    return RowView(*this, rows_[v[size_t(n)]]);
}

bool Table::setRecNo(int n)
{
    checkBrowse();
    if (n < 0 || n >= int(view().size()))
        return false;
    pos_ = n;
    bof_ = eof_ = false;
    return true;
}

bool Table::locate(std::string_view field, std::string_view value, LocateOptions opts)
{
    checkBrowse();
    int f = fieldIndex(field);
    if (f < 0)
        return false;
    if (isIntType(fields_[f].type)) {
        int32_t v = 0;
        return parseInt32(value, v) && locate(field, v);
    }
    const RowList &v = view();
    for (size_t i = 0; i < v.size(); ++i) {
        std::string_view s = rows_[v[i]].textAt(size_t(f));
        bool hit = opts.partialKey ? startsWith(s, value, opts.caseInsensitive)
                                   : (opts.caseInsensitive ? equalsNoCase(s, value) : s == value);
        if (hit) {
            pos_ = int(i);
            bof_ = eof_ = false;
            return true;
        }
    }
    return false;
}

bool Table::locate(std::string_view field, int32_t value)
{
    checkBrowse();
    int f = fieldIndex(field);
    if (f < 0 || !isIntType(fields_[f].type))
        return false;
    const RowList &v = view();
    if (f == activeField_) {
        // Ordered by this field: the first row of the value by binary search.
        auto it = std::lower_bound(v.begin(), v.end(), value,
                                   [&](uint32_t r, int32_t x) { return rows_[r].intAt(size_t(f)) < x; });
        if (it == v.end() || rows_[*it].intAt(size_t(f)) != value)
            return false;
        pos_ = int(it - v.begin());
        bof_ = eof_ = false;
        return true;
    }
    for (size_t i = 0; i < v.size(); ++i) {
        if (rows_[v[i]].intAt(size_t(f)) == value) {
            pos_ = int(i);
            bof_ = eof_ = false;
            return true;
        }
    }
    return false;
}

const Row *Table::currentRow() const
{
    if (state_ != State::Browse)
        return nullptr;
    const RowList &v = view();
    if (pos_ < 0 || pos_ >= int(v.size()))
        return nullptr;
    return &rows_[v[size_t(pos_)]];
}

int32_t Table::intAt(int field) const
{
    if (state_ != State::Browse)
        return field >= 0 && size_t(field) < fields_.size() && isIntType(fields_[size_t(field)].type)
                   ? buffer_[size_t(field)].i
                   : 0;
    const Row *r = currentRow();
    return r ? RowView(*this, *r).intAt(field) : 0;
}

std::string_view Table::textAt(int field) const
{
    if (state_ != State::Browse)
        return field >= 0 && size_t(field) < fields_.size() && !isIntType(fields_[size_t(field)].type)
                   ? std::string_view(buffer_[size_t(field)].s)
                   : std::string_view();
    const Row *r = currentRow();
    return r ? RowView(*this, *r).textAt(field) : std::string_view();
}

int32_t Table::integer(std::string_view field) const { return intAt(fieldIndex(field)); }
std::string_view Table::text(std::string_view field) const { return textAt(fieldIndex(field)); }

void Table::append()
{
    checkBrowse();
    buffer_.assign(fields_.size(), Cell{});
    state_ = State::Insert;
}

bool Table::edit()
{
    checkBrowse();
    if (recNo() < 0)
        return false;
    editRow_ = view()[size_t(pos_)];
    buffer_ = unpack(rows_[editRow_]);
    state_ = State::Edit;
    return true;
}

SetResult Table::checkSet(int field, bool wantInt) const
{
    if (state_ == State::Browse)
        return SetResult::NotEditing;
    if (field < 0 || field >= int(fields_.size()))
        return SetResult::NoField;
    FieldType t = fields_[field].type;
    if (wantInt ? t != FieldType::Integer : isIntType(t))
        return SetResult::WrongType; // auto-increment numbers are the table's to give
    return SetResult::Ok;
}

SetResult Table::setIntAt(int field, int32_t value)
{
    SetResult r = checkSet(field, true);
    if (r == SetResult::Ok)
        buffer_[size_t(field)].i = value;
    return r;
}

SetResult Table::setTextAt(int field, std::string_view value)
{
    SetResult r = checkSet(field, false);
    if (r != SetResult::Ok)
        return r;
    const FieldDef &f = fields_[field];
    std::string &cell = buffer_[size_t(field)].s;
    if (f.type == FieldType::Blob) {
        bool cut = value.size() > f.size;
        cell.assign(value.substr(0, f.size));
        return cut ? SetResult::Cut : SetResult::Ok;
    }
    cell.assign(value);
    bool cut = cutToChars(cell, f.size);
    // Bytes that are not UTF-8 (stray continuation bytes) count as no character; bound them too, or
    // the table would save a value that its own load refuses as damage.
    const size_t maxBytes = size_t(f.size) * 4;
    if (cell.size() > maxBytes) {
        size_t end = maxBytes;
        while (end > 0 && (uint8_t(cell[end]) & 0xC0) == 0x80)
            --end;
        cell.resize(end > 0 ? end : maxBytes);
        cut = true;
    }
    return cut ? SetResult::Cut : SetResult::Ok;
}

SetResult Table::setInt(std::string_view field, int32_t value) { return setIntAt(fieldIndex(field), value); }
SetResult Table::setText(std::string_view field, std::string_view value)
{
    return setTextAt(fieldIndex(field), value);
}

bool Table::post()
{
    if (state_ == State::Browse)
        return false;
    uint32_t r;
    size_t textBytes = 0;
    for (size_t f = 0; f < fields_.size(); ++f)
        textBytes += buffer_[f].s.size();
    if (textBytes > kMaxTableFileBytes) { // no file could hold it, nor a row's offsets
        cancel();
        return false;
    }
    if (state_ == State::Insert) {
        if (full()) {
            cancel();
            return false;
        }
        for (size_t f = 0; f < fields_.size(); ++f) {
            if (fields_[f].type == FieldType::AutoInc) {
                buffer_[f].i = int32_t(std::min<int64_t>(nextAutoInc_, INT32_MAX));
                if (nextAutoInc_ < INT32_MAX)
                    ++nextAutoInc_;
            }
        }
        rows_.push_back(pack(buffer_));
        r = uint32_t(rows_.size() - 1);
    } else {
        r = editRow_;
        unplaceRow(r); // found by its old values
        rows_[r] = pack(buffer_);
    }
    buffer_.clear();
    state_ = State::Browse;
    ++changes_;
    placeRow(r);
    placeCursorAfterPost(r);
    return true;
}

void Table::cancel()
{
    buffer_.clear();
    state_ = State::Browse;
}

bool Table::remove()
{
    const bool inserting = state_ == State::Insert;
    cancel();
    if (inserting || recNo() < 0) // deleting an unposted new row only drops it
        return false;
    uint32_t r = view()[size_t(pos_)];
    ++changes_;
    unplaceRow(r);
    rows_.erase(rows_.begin() + r);
    renumberAfterErase(r);
    const RowList &v = view();
    if (v.empty()) {
        pos_ = -1;
        eof_ = bof_ = true;
    } else if (pos_ >= int(v.size())) {
        pos_ = int(v.size()) - 1;
        eof_ = true;
        bof_ = false;
    } else {
        eof_ = bof_ = false;
    }
    return true;
}

int Table::removeWhere(const Filter &which)
{
    checkBrowse();
    const Filter::Predicate pred = which.bind(*this);
    if (!pred)
        return 0;
    // New place of each row, or kGone.
    constexpr uint32_t kGone = ~uint32_t(0);
    std::vector<uint32_t> moved(rows_.size());
    uint32_t kept = 0;
    for (uint32_t i = 0; i < rows_.size(); ++i) {
        if (pred(RowView(*this, rows_[i]))) {
            moved[i] = kGone;
        } else {
            if (kept != i)
                rows_[kept] = std::move(rows_[i]);
            moved[i] = kept++;
        }
    }
    const int removed = int(rows_.size() - kept);
    if (removed == 0)
        return 0;
    ++changes_;
    rows_.resize(kept);

    // Every list keeps its order: the surviving rows keep theirs relative to each other.
    auto renumber = [&](RowList &list) {
        size_t out = 0;
        for (uint32_t r : list)
            if (moved[r] != kGone)
                list[out++] = moved[r];
        list.resize(out);
    };
    const RowList &shown = view();
    const bool stayed = pos_ >= 0 && pos_ < int(shown.size()) && moved[shown[size_t(pos_)]] != kGone;
    int newPos = 0; // surviving view entries before the cursor
    for (int k = 0; k < pos_ && k < int(shown.size()); ++k)
        newPos += moved[shown[size_t(k)]] != kGone;
    renumber(order_);
    for (CachedView &v : views_)
        renumber(v.rows);
    renumber(scratch_);
    for (EqIndex &x : eqIndexes_) {
        for (auto it = x.byKey.begin(); it != x.byKey.end();) {
            renumber(it->second);
            it = it->second.empty() ? x.byKey.erase(it) : std::next(it);
        }
    }
    const RowList &v = view();
    if (v.empty()) {
        pos_ = -1;
        eof_ = bof_ = true;
    } else if (!stayed && newPos >= int(v.size())) {
        pos_ = int(v.size()) - 1;
        eof_ = true;
        bof_ = false;
    } else {
        pos_ = newPos;
        eof_ = bof_ = false;
    }
    return removed;
}

void Table::clear()
{
    cancel();
    if (!rows_.empty())
        ++changes_;
    rows_.clear();
    order_.clear();
    scratch_.clear();
    for (CachedView &v : views_)
        v.rows.clear();
    eqIndexes_.clear();
    pos_ = -1;
    eof_ = bof_ = true;
}

// ------------------------------------------------------------------------------------------------
// Files

// ------------------------------------------------------------------------------------------------
// Limits

uint64_t Table::maxRows() const
{
    return fields_.empty() ? kMaxTableRows : std::min<uint64_t>(kMaxTableRows, kMaxTableValues / fields_.size());
}

bool Table::full() const { return rows_.size() >= maxRows(); }

uint64_t Table::maxFileBytes() const
{
    uint64_t head = kMinFile;
    for (const FieldDef &f : fields_)
        head += 7 + f.name.size();
    for (const IndexDef &x : indexes_)
        head += 6 + x.name.size();
    uint64_t row = 0;
    for (const FieldDef &f : fields_)
        row += isIntType(f.type) ? 4 : 4 + (f.type == FieldType::Text ? uint64_t(f.size) * 4 : f.size);
    return head + maxRows() * row;
}

// ------------------------------------------------------------------------------------------------
// Files

TableSnapshot Table::snapshot() const
{
    // Every value takes four bytes (an integer, or a text's length) plus the texts' bytes.
    size_t rowBytes = rows_.size() * fields_.size() * 4;
    for (const Row &row : rows_)
        rowBytes += row.blockBytes() == 0 ? 0 : row.get32(4);
    size_t estimate = kMinFile + rowBytes + 4;
    for (const FieldDef &f : fields_)
        estimate += f.name.size() + 7;
    for (const IndexDef &x : indexes_)
        estimate += x.name.size() + 6;
    TableSnapshot snap;
    snap.changes = changes_;
    std::string &out = snap.bytes;
    out.reserve(estimate);
    out.append(kMagic, sizeof kMagic);
    put32(out, kTableFormatVersion);
    put64(out, 0); // total size, filled in below
    put32(out, uint32_t(fields_.size()));
    for (const FieldDef &f : fields_) {
        put8(out, uint8_t(f.type));
        put32(out, f.size);
        put16(out, uint16_t(f.name.size()));
        out += f.name;
    }
    put32(out, uint32_t(indexes_.size()));
    for (const IndexDef &x : indexes_) {
        put16(out, uint16_t(x.name.size()));
        out += x.name;
        put32(out, uint32_t(fieldIndex(x.field)));
    }
    put32(out, uint32_t(int32_t(active_)));
    put64(out, uint64_t(nextAutoInc_));
    put32(out, uint32_t(rows_.size()));
    // The rows straight into place: the bulk of a large table's bytes.
    const size_t rowsAt = out.size();
    out.resize(rowsAt + rowBytes);
    char *p = out.data() + rowsAt;
    auto store32 = [&p](uint32_t v) {
        const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        std::memcpy(p, b, 4);
        p += 4;
    };
    for (const Row &row : rows_) {
        for (size_t f = 0; f < fields_.size(); ++f) {
            if (isIntType(fields_[f].type)) {
                store32(uint32_t(row.intAt(f)));
            } else {
                const std::string_view t = row.textAt(f);
                store32(uint32_t(t.size()));
                if (!t.empty())
                    std::memcpy(p, t.data(), t.size());
                p += t.size();
            }
        }
    }
    uint64_t total = out.size() + 4;
    for (int k = 0; k < 8; ++k)
        out[kFixedHead - 8 + k] = char(total >> (8 * k));
    return snap;
}

namespace {

void finishSnapshot(std::string &bytes) { put32(bytes, crc32(bytes)); }

} // namespace

std::string Table::serialize() const
{
    TableSnapshot snap = snapshot();
    finishSnapshot(snap.bytes);
    return std::move(snap.bytes);
}

TableResult Table::saveSnapshot(TableSnapshot snap, const std::string &path, const FileOps &ops)
{
    if (snap.bytes.size() + 4 > kMaxTableFileBytes)
        return {TableStatus::IoError, "Cannot write " + path + ": " + std::strerror(EFBIG)};
    finishSnapshot(snap.bytes);
    FileResult w = writeFileSafely(path, snap.bytes, ops);
    if (w.ok)
        return {};
    return {w.error == EACCES ? TableStatus::ReadOnly : TableStatus::IoError, w.message};
}

TableResult Table::save(const std::string &path, const FileOps &ops) const
{
    return saveSnapshot(snapshot(), path, ops);
}

TableResult Table::load(const std::string &path)
{
    ReadResult r = readWholeFile(path, kMaxTableFileBytes);
    switch (r.status) {
    case ReadStatus::Ok:
        return loadFromBytes(r.data, path);
    case ReadStatus::Missing:
        return {TableStatus::Missing, "The table file " + path + " does not exist"};
    case ReadStatus::TooLarge:
        return {TableStatus::Damaged, "The table file " + path + " is damaged: too large"};
    case ReadStatus::NotRegular:
        return {TableStatus::NotRegular, r.message};
    case ReadStatus::Failed:
        break;
    }
    return {TableStatus::IoError, r.message};
}

TableResult Table::loadFromBytes(std::string_view d, const std::string &name)
{
    auto damaged = [&](const std::string &why) {
        return TableResult{TableStatus::Damaged, "The table file " + name + " is damaged: " + why};
    };
    if (d.size() > kMaxTableFileBytes)
        return damaged("too large");
    if (d.size() < sizeof kMagic || std::memcmp(d.data(), kMagic, sizeof kMagic) != 0)
        return damaged("not a table file");
    if (d.size() < kMinFile)
        return damaged("cut short");
    Reader head(d.substr(sizeof kMagic));
    uint32_t version = 0;
    uint64_t total = 0;
    head.get32(version);
    head.get64(total);
    if (total != d.size())
        return damaged(total > d.size() ? "cut short" : "bytes after the end");
    // The checksum trails every version of the format, so it is checked before the version: a
    // flipped bit in the version field reads as damage, not as a newer file.
    Reader tail(d.substr(d.size() - 4));
    uint32_t stored = 0;
    tail.get32(stored);
    if (crc32(d.substr(0, d.size() - 4)) != stored)
        return damaged("checksum mismatch");
    if (version == 0)
        return damaged("bad format version");
    if (version > kTableFormatVersion)
        return {TableStatus::NewerVersion, "The table file " + name + " was written by a newer version (format " +
                                               std::to_string(version) + ")"};

    Reader in(d.substr(kFixedHead, d.size() - kFixedHead - 4));
    uint32_t nFields = 0;
    if (!in.get32(nFields) || nFields > kMaxFields || size_t(nFields) * 7 > in.left())
        return damaged("bad field count");
    std::vector<FieldDef> fields(nFields);
    for (FieldDef &f : fields) {
        uint8_t type = 0;
        uint16_t len = 0;
        std::string_view nm;
        if (!in.get8(type) || !in.get32(f.size) || !in.get16(len) || len > kMaxNameBytes || !in.bytes(len, nm))
            return damaged("bad field definition");
        if (type < uint8_t(FieldType::Integer) || type > uint8_t(FieldType::Blob))
            return damaged("unknown field type");
        f.type = FieldType(type);
        f.name.assign(nm);
    }
    uint32_t nIndexes = 0;
    if (!in.get32(nIndexes) || nIndexes > kMaxFields || size_t(nIndexes) * 6 > in.left())
        return damaged("bad index count");
    std::vector<IndexDef> indexes(nIndexes);
    for (IndexDef &x : indexes) {
        uint16_t len = 0;
        std::string_view nm;
        uint32_t fieldNo = 0;
        if (!in.get16(len) || len > kMaxNameBytes || !in.bytes(len, nm) || !in.get32(fieldNo) || fieldNo >= nFields)
            return damaged("bad index definition");
        x.name.assign(nm);
        x.field = fields[fieldNo].name;
    }
    std::string bad = checkDefinitions(fields, indexes);
    if (!bad.empty())
        return damaged(bad);
    uint32_t activeRaw = 0;
    uint64_t autoRaw = 0;
    uint32_t nRows = 0;
    if (!in.get32(activeRaw) || !in.get64(autoRaw) || !in.get32(nRows))
        return damaged("cut short");
    int32_t active = int32_t(activeRaw);
    if (active < -1 || active >= int32_t(nIndexes))
        return damaged("bad active index");
    int64_t nextAuto = int64_t(autoRaw);
    if (nextAuto < 1 || nextAuto > INT32_MAX)
        return damaged("bad auto-increment number");

    // Every field takes at least four bytes a row: a row count the bytes cannot hold is damage,
    // found before anything is allocated for it.
    if (nRows > kMaxTableRows || uint64_t(nRows) * nFields > kMaxTableValues)
        return damaged("too many rows");
    if (nRows > 0 && (nFields == 0 || uint64_t(nRows) * nFields * 4 > in.left()))
        return damaged("row count larger than the file");

    // Declared fields must be there, with their types.
    for (const FieldDef &want : fields_) {
        auto it = std::find_if(fields.begin(), fields.end(),
                               [&](const FieldDef &f) { return equalsNoCase(f.name, want.name); });
        if (it == fields.end())
            return {TableStatus::MissingField, "The table file " + name + " lacks the field " + want.name};
        if (it->type != want.type)
            return {TableStatus::MissingField,
                    "The table file " + name + " holds the field " + want.name + " with another type"};
    }

    // One pass: each row's values are checked and taken as views into the file, then packed.
    std::vector<Row> rows;
    rows.reserve(nRows);
    std::vector<uint32_t> ints(nFields);
    std::vector<std::string_view> texts(nFields);
    for (uint32_t k = 0; k < nRows; ++k) {
        size_t textBytes = 0;
        for (uint32_t f = 0; f < nFields; ++f) {
            const FieldDef &def = fields[f];
            if (isIntType(def.type)) {
                if (!in.get32(ints[f]))
                    return damaged("cut short");
                const int32_t v = int32_t(ints[f]);
                if (def.type == FieldType::AutoInc && v >= nextAuto)
                    nextAuto = int64_t(v) + 1 > INT32_MAX ? INT32_MAX : int64_t(v) + 1;
                continue;
            }
            uint32_t len = 0;
            uint64_t maxBytes = def.type == FieldType::Text ? uint64_t(def.size) * 4 : def.size;
            if (!in.get32(len) || len > maxBytes || !in.bytes(len, texts[f]))
                return damaged("value longer than field " + def.name);
            if (def.type == FieldType::Text && countChars(texts[f]) > def.size)
                return damaged("text longer than field " + def.name);
            textBytes += len;
        }
        // A row's texts stay within the file, far below 4 GiB, so their offsets fit the slots.
        rows.push_back(packValues(fields, ints.data(), texts.data(), textBytes));
    }
    if (in.left() != 0)
        return damaged("bytes after the rows");

    // All good: take it.
    cancel();
    fields_ = std::move(fields);
    indexes_ = std::move(indexes);
    active_ = active;
    activeField_ = active < 0 ? -1 : fieldIndex(indexes_[active].field);
    nextAutoInc_ = nextAuto;
    rows_ = std::move(rows);
    ++changes_;
    valid_ = true;
    ++changes_;
    rebuildOrder();
    dropDerived(); // field numbers may differ in the file
    setFilter(filter_);
    return {};
}

} // namespace platform
