// The phone-book manager's contact CSV files: a whole book written to its own comma-separated
// layout (phonebook_manage.h) and such a file opened again as a further book.
//
// A file is untrusted input: every number is checked, the template and the limits are bounded, a
// damaged head ends the reading with what was read so far kept, and entries that cannot be stored
// are counted and reported, never stored half.

#include "content/phonebook_manage.h"

#include "core/prompt.h"
#include "platform/paths.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>

namespace content {

namespace {

// Bounds on what a file may ask for: template entries, and every length limit.
constexpr size_t kMaxTemplateEntries = 64;
// The most fields of a line the import reads: a position and a full template, and one more so a
// longer line is still seen as one (the rest of a line of millions is never split).
constexpr size_t kMaxReadFields = kMaxTemplateEntries + 2;
constexpr int64_t kMaxLimit = 2048;
// The first cell of the contacts section's limits line.
constexpr std::string_view kLimitsMark = "-100";
// The cell that stands for "no value" in the contacts section.
constexpr std::string_view kNoValue = "_";

constexpr StorageCode kSectionOrder[] = {StorageCode::Sim, StorageCode::Phone, StorageCode::Contacts};

// A whole decimal number, optionally signed; nothing for anything else (an empty text, a blank
// inside, a number beyond 64 bits).
std::optional<int64_t> readNumber(std::string_view s)
{
    s = TCsvFile::Trim(s);
    // from_chars takes a leading "-" but no "+", and one sign at most.
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-')
            return std::nullopt;
    }
    int64_t n = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return n;
}

// A name as the file shows it: in the five-part form a name built here has. A name read from the
// handset may come with fewer parts (";Ann"); importing builds it again with five (";Ann;;;"), so
// without this an exported book imported and exported again would not give the same file.
std::string fileName(std::string_view n)
{
    if (n.empty())
        return {};
    size_t separators = 0;
    for (size_t i = 0; i < n.size(); ++i) {
        if (n[i] == '\\')
            ++i; // an escaped character, ";" included
        else if (n[i] == ';')
            ++separators;
    }
    std::string out(n);
    for (; separators < 4; ++separators)
        out += ';';
    return out;
}

int32_t clampLimit(int64_t n) { return static_cast<int32_t>(std::clamp<int64_t>(n, 0, kMaxLimit)); }

// The text inside the last "(...)" of a cell; nothing when it has none.
std::optional<std::string_view> lastParenText(std::string_view cell)
{
    size_t close = cell.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    size_t open = cell.rfind('(', close);
    if (open == std::string_view::npos)
        return std::nullopt;
    return cell.substr(open + 1, close - open - 1);
}

// The limit a head cell carries ("Name(14)"): a missing cell is no limit (0); a cell without a
// readable number is a damaged head.
std::optional<int32_t> headLimit(const std::vector<std::string> &head, size_t index)
{
    if (index >= head.size())
        return 0;
    std::optional<std::string_view> inner = lastParenText(head[index]);
    if (!inner)
        return std::nullopt;
    std::optional<int64_t> n = readNumber(*inner);
    if (!n)
        return std::nullopt;
    return clampLimit(*n);
}

// The field type of a contacts head cell: the number of its last "(...)", or the whole cell read
// as a number; negative numbers count by their size.
std::optional<int32_t> headType(std::string_view cell)
{
    std::optional<std::string_view> inner = lastParenText(cell);
    std::optional<int64_t> n = readNumber(inner ? *inner : cell);
    if (!n || *n < -INT32_MAX || *n > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(std::llabs(*n));
}

// One cell of the limits line: "flags(max_p1_..._p7)" into entry p.
bool readLimitsCell(std::string_view cell, FieldParam &p)
{
    size_t open = cell.find('(');
    size_t close = cell.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return false;
    std::optional<int64_t> flags = readNumber(cell.substr(0, open));
    if (!flags || *flags < INT32_MIN || *flags > INT32_MAX)
        return false;
    std::string_view inner = cell.substr(open + 1, close - open - 1);
    std::vector<int32_t> numbers;
    for (size_t start = 0; numbers.size() < 1 + p.partLimits.size();) {
        size_t sep = inner.find('_', start);
        std::optional<int64_t> n = readNumber(inner.substr(start, sep == std::string_view::npos ? sep : sep - start));
        if (!n)
            return false;
        numbers.push_back(clampLimit(*n));
        if (sep == std::string_view::npos)
            break;
        start = sep + 1;
    }
    p.flags = static_cast<int32_t>(*flags);
    p.maxLen = numbers[0];
    for (size_t k = 1; k < numbers.size(); ++k)
        p.partLimits[k - 1] = numbers[k];
    return true;
}

std::optional<StorageCode> sectionOf(const std::vector<std::string> &cells)
{
    if (cells.empty())
        return std::nullopt;
    std::string word = platform::asciiLower(cells[0]);
    if (word == "group")
        return StorageCode::Groups;
    if (word == "sim")
        return StorageCode::Sim;
    if (word == "phone")
        return StorageCode::Phone;
    if (word == "contact")
        return StorageCode::Contacts;
    return std::nullopt;
}

// An entry's position: a whole number from 0 to the largest 32-bit one.
std::optional<int32_t> readPosition(std::string_view cell)
{
    std::optional<int64_t> n = readNumber(cell);
    if (!n || *n < 0 || *n > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(*n);
}

// A section's entries end at a line of one cell, unless that cell is a position (an entry whose
// other cells are all empty is written as its position alone).
bool endsSection(const std::vector<std::string> &cells)
{
    return cells.size() == 1 && !readPosition(cells[0]);
}

std::string resolvedPath(const std::string &path)
{
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(path, ec);
    if (ec)
        return path;
    std::filesystem::path canon = std::filesystem::weakly_canonical(abs, ec);
    return (ec ? abs.lexically_normal() : canon).string();
}

std::string storageCaption(const Env &env, StorageCode code)
{
    return env.text("PbMng_Tree_" + std::to_string(toInt(code)));
}

} // namespace

TCsvFile TPhoneBookManage::BuildCsv(int b) const
{
    TCsvFile csv;
    const ContactBook *bk = bookAt(b);
    if (!bk)
        return csv;
    PhoneType type = bk->phoneType;
    if (b == kHandsetBook) {
        AppState st = env_.state();
        type = {st.PhoneMan, st.PhoneModel};
    }
    csv.AddRow({type.man, type.model});
    csv.AddRow({""});

    // The rows of each storage, in table order.
    const platform::Table &t = bk->table;
    const int posF = t.fieldIndex("Pos"), idF = t.fieldIndex("PbId"), valueF = t.fieldIndex("Value");
    std::map<int32_t, std::vector<const platform::Row *>> rows;
    for (const platform::Row &r : t.rows())
        rows[r.intAt(static_cast<size_t>(posF))].push_back(&r);
    auto position = [&](const platform::Row *r) { return std::to_string(r->intAt(static_cast<size_t>(idF))); };
    auto fieldsOf = [&](const platform::Row *r) { return ParseContact(r->textAt(static_cast<size_t>(valueF))); };
    auto paren = [](int32_t n) { return "(" + std::to_string(n) + ")"; };
    const BookLimits &lim = bk->limits;

    if (const auto &groups = rows[toInt(StorageCode::Groups)]; !groups.empty()) {
        csv.AddRow({"Group"});
        csv.AddRow({"Index", "GroupName" + paren(lim.groupName)});
        for (const platform::Row *r : groups) {
            std::vector<std::string> cells{position(r)};
            for (const TVcardFields &f : fieldsOf(r))
                if (f.type == kFieldName)
                    cells.push_back(f.value);
            csv.AddRow(cells);
        }
    }
    csv.AddRow({""});

    for (StorageCode code : {StorageCode::Sim, StorageCode::Phone}) {
        const auto &entries = rows[toInt(code)];
        if (entries.empty())
            continue;
        bool sim = code == StorageCode::Sim;
        csv.AddRow({sim ? "SIM" : "Phone"});
        csv.AddRow({"Index", "Name" + paren(sim ? lim.simName : lim.phoneName),
                    "Tel" + paren(sim ? lim.simNumber : lim.phoneNumber), "Group"});
        for (const platform::Row *r : entries) {
            std::string name, number, group;
            for (const TVcardFields &f : fieldsOf(r)) {
                if (f.type == kFieldName)
                    name = fileName(f.value);
                else if (f.type == kFieldTel)
                    number = f.value;
                else if (f.type == kFieldGroup)
                    group = f.value;
            }
            csv.AddRow({position(r), name, number, group});
        }
        csv.AddRow({""});
    }

    if (const auto &contacts = rows[toInt(StorageCode::Contacts)]; !contacts.empty()) {
        const TFieldParams &tmpl = bk->contactsTemplate;
        std::vector<std::string> head{"Index"}, limits{std::string(kLimitsMark)};
        for (const FieldParam &p : tmpl) {
            head.push_back(env_.text("PbMng_Pb_Column_" + std::to_string(p.type)) + paren(p.type));
            std::string cell = std::to_string(p.flags) + "(" + std::to_string(p.maxLen);
            for (int32_t part : p.partLimits)
                cell += "_" + std::to_string(part);
            limits.push_back(cell + ")");
        }
        csv.AddRow({"Contact"});
        csv.AddRow(head);
        csv.AddRow(limits);
        for (const platform::Row *r : contacts) {
            TMobileVacrd fields = fieldsOf(r);
            std::vector<bool> taken(fields.size(), false);
            std::vector<std::string> cells{position(r)};
            for (const FieldParam &p : tmpl) {
                std::string cell = std::string(paren(0)) + std::string(kNoValue);
                for (size_t i = 0; i < fields.size(); ++i) {
                    // A field without a value is never built into a contact, and one of blanks
                    // only loses them to the file's trimming: either counts as none.
                    if (taken[i] || fields[i].type != p.type || TCsvFile::Trim(fields[i].value).empty())
                        continue;
                    taken[i] = true;
                    cell = paren(fields[i].flags) +
                           (p.type == kFieldName ? fileName(fields[i].value) : fields[i].value);
                    break;
                }
                cells.push_back(std::move(cell));
            }
            csv.AddRow(cells);
        }
        csv.AddRow({""});
    }
    return csv;
}

int32_t TPhoneBookManage::ExportToCsv(int b, const std::string &path)
{
    if (!validBook(b))
        return kPbBadArg;
    if (b == kHandsetBook && handset_.cancelled) {
        env_.messageBox(env_.text("PbMng_MessCode1"), core::kMbOk);
        return kPbCancelledRead;
    }
    platform::FileResult r = BuildCsv(b).SaveToFile(path);
    if (!r) {
        env_.messageBox(r.message, core::kMbOk | core::kMbIconError);
        return kPbFileError;
    }
    return 0;
}

int TPhoneBookManage::ImportFromCsv(const std::string &path)
{
    const std::string full = resolvedPath(path);
    for (int b = 1; b < BookCount(); ++b)
        if (resolvedPath(book(b).fileName) == full)
            return b;
    TCsvFile csv;
    platform::FileResult r = csv.LoadFromFile(path);
    if (r && csv.RowCount() == 0)
        r = platform::FileResult::failure(0, "Cannot read " + path + ": the file is empty");
    if (!r) {
        env_.messageBox(r.message, core::kMbOk | core::kMbIconError);
        return kPbFileError;
    }
    return ImportCsv(csv, full);
}

int TPhoneBookManage::ImportCsv(const TCsvFile &csv, const std::string &fullName)
{
    const int b = AddFileBook(fullName);
    ContactBook &bk = book(b);
    std::vector<std::string> first;
    csv.GetRow(0, first, kMaxReadFields);
    bk.phoneType = {first.size() > 0 ? first[0] : std::string(), first.size() > 1 ? first[1] : std::string()};
    bk.node = {std::filesystem::path(fullName).stem().string(), 0, {}, true};

    platform::Table &t = bk.table;
    const int idF = t.fieldIndex("Id"), storF = t.fieldIndex("Stor"), posF = t.fieldIndex("Pos"),
              pbIdF = t.fieldIndex("PbId"), valueF = t.fieldIndex("Value");
    int32_t nextId = 1;
    auto addRow = [&](StorageCode code, int32_t pos, const std::string &text) {
        t.append();
        t.setIntAt(idF, nextId++);
        t.setIntAt(storF, toInt(driverStorageOf(code)));
        t.setIntAt(posF, toInt(code));
        t.setIntAt(pbIdF, pos);
        t.setTextAt(valueF, text);
        t.post();
    };

    // Positions used per storage; entries without a usable position (none, or one taken already)
    // get the smallest free ones once every section is read.
    std::map<int32_t, std::set<int32_t>> used;
    struct Pending {
        StorageCode code;
        std::string text;
    };
    std::vector<Pending> pending;
    std::map<int32_t, size_t> stored; // entries per storage
    std::set<int32_t> sectionsMet;
    int leftOut = 0;
    int damagedLine = 0; // 1-based; 0 when every line read

    std::vector<std::string> cells;
    const int n = csv.RowCount();
    int i = 1;
    while (i < n && damagedLine == 0) {
        csv.GetRow(i, cells, kMaxReadFields);
        std::optional<StorageCode> code = sectionOf(cells);
        ++i;
        if (!code)
            continue;
        if (i >= n)
            break;
        // The head line, and for contacts the limits line.
        std::vector<int32_t> types;
        csv.GetRow(i, cells, kMaxReadFields);
        if (*code == StorageCode::Sim || *code == StorageCode::Phone) {
            std::optional<int32_t> name = headLimit(cells, 1), number = headLimit(cells, 2);
            if (!name || !number) {
                damagedLine = i + 1;
                break;
            }
            bool sim = *code == StorageCode::Sim;
            (sim ? bk.limits.simName : bk.limits.phoneName) = *name;
            (sim ? bk.limits.simNumber : bk.limits.phoneNumber) = *number;
            types = {kFieldName, kFieldTel, kFieldGroup};
        } else if (*code == StorageCode::Groups) {
            std::optional<int32_t> name = headLimit(cells, 1);
            if (!name) {
                damagedLine = i + 1;
                break;
            }
            bk.limits.groupName = *name;
            types = {kFieldName};
        } else {
            TFieldParams tmpl;
            for (size_t k = 1; k < cells.size() && tmpl.size() < kMaxTemplateEntries; ++k) {
                std::optional<int32_t> type = headType(cells[k]);
                if (!type)
                    break;
                FieldParam p;
                p.type = *type;
                tmpl.push_back(p);
            }
            const size_t wanted = cells.empty() ? 0 : std::min(cells.size() - 1, kMaxTemplateEntries);
            if (tmpl.size() < wanted) {
                damagedLine = i + 1;
                break;
            }
            ++i;
            if (i < n)
                csv.GetRow(i, cells, kMaxReadFields);
            if (i >= n || cells.empty() || cells[0] != kLimitsMark) {
                damagedLine = i + 1;
                break;
            }
            for (size_t k = 0; k < tmpl.size() && k + 1 < cells.size(); ++k) {
                if (!readLimitsCell(cells[k + 1], tmpl[k])) {
                    damagedLine = i + 1;
                    break;
                }
            }
            if (damagedLine)
                break;
            for (const FieldParam &p : tmpl)
                types.push_back(p.type);
            bk.contactsTemplate = tmpl;
            SortFields(bk.contactsTemplate);
        }
        ++i;

        // The entries, up to the empty line that closes the section (or the end of the file).
        const bool contacts = *code == StorageCode::Contacts;
        std::set<int32_t> &usedHere = used[toInt(*code)];
        for (; i < n; ++i) {
            csv.GetRow(i, cells, kMaxReadFields);
            if (endsSection(cells))
                break;
            if (cells.empty())
                continue;
            TMobileVacrd fields;
            bool anyValue = false;
            for (size_t k = 0; k < types.size() && k + 1 < cells.size(); ++k) {
                std::string_view value = cells[k + 1];
                int32_t flags = 0;
                if (contacts && !value.empty() && value.front() == '(') {
                    size_t close = value.find(')');
                    if (close != std::string_view::npos) {
                        std::optional<int64_t> f = readNumber(value.substr(1, close - 1));
                        if (f && *f >= INT32_MIN && *f <= INT32_MAX)
                            flags = static_cast<int32_t>(*f);
                        value.remove_prefix(close + 1);
                        if (value == kNoValue)
                            value = {};
                    }
                }
                anyValue = anyValue || !value.empty();
                fields.push_back({types[k], flags, std::string(value)});
            }
            std::optional<int32_t> pos = readPosition(cells[0]);
            if (!pos && !anyValue)
                continue; // neither a position nor anything to keep
            // A storage holds at most as many entries as a handset's has positions.
            size_t &count = stored[toInt(*code)];
            if (count >= static_cast<size_t>(kMaxPositions)) {
                ++leftOut;
                continue;
            }
            int32_t r = 0;
            std::string text = BuildContact(fields, &r);
            if (text.empty() || utf8Chars(text) > kContactValueChars) {
                ++leftOut;
                continue;
            }
            ++count;
            if (pos && usedHere.insert(*pos).second)
                addRow(*code, *pos, text);
            else
                pending.push_back({*code, std::move(text)});
        }
        if (sectionsMet.insert(toInt(*code)).second && *code != StorageCode::Groups)
            bk.node.children.push_back({storageCaption(env_, *code), toInt(*code), {}, false});
        // The scan goes on at the closing line: a section word there starts the next section.
    }

    // Positions only get taken, so the smallest free one never moves back: one walk per storage.
    std::map<int32_t, int32_t> nextFree;
    for (Pending &p : pending) {
        std::set<int32_t> &u = used[toInt(p.code)];
        int32_t &pos = nextFree.try_emplace(toInt(p.code), 1).first->second;
        while (u.count(pos))
            ++pos;
        u.insert(pos);
        addRow(p.code, pos, p.text);
    }
    if (sectionsMet.count(toInt(StorageCode::Groups))) {
        bk.node.children.push_back({storageCaption(env_, StorageCode::Groups), toInt(StorageCode::Groups), {}, false});
        RebuildGroupNames(b);
    }

    std::string report;
    if (damagedLine)
        report = env_.text("ErrInfo_92") + "\n" + fullName + ", line " + std::to_string(damagedLine);
    if (leftOut) {
        if (!report.empty())
            report += "\n";
        report += std::to_string(leftOut) + (leftOut == 1 ? " entry" : " entries") + " of " + fullName +
                  " could not be read and " + (leftOut == 1 ? "was" : "were") + " left out.";
    }
    if (!report.empty())
        env_.messageBox(report, core::kMbOk | core::kMbIconWarning);
    return b;
}

} // namespace content
