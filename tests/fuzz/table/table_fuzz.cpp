// Fuzz entry for the table loader, over any bytes a table file may hold.
// Promise on any input: a result, never a crash; a refused file leaves the table as it was; a
// loaded table keeps every value within its field's size and saves to bytes that load back equal,
// and deleting rows in one pass keeps its ordered view right.
// Each input is tried twice: as it is, and resealed (size and checksum made right) so that the
// checks behind the checksum get explored too.

#include "fuzz/fuzz_check.h"
#include "platform/table.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

std::string reseal(std::string b)
{
    if (b.size() < 24 || b.compare(0, 8, "SVKTABLE") != 0)
        return b;
    uint64_t total = b.size();
    for (int k = 0; k < 8; ++k)
        b[12 + k] = char(total >> (8 * k));
    uint32_t crc = platform::crc32(std::string_view(b).substr(0, b.size() - 4));
    for (int k = 0; k < 4; ++k)
        b[b.size() - 4 + k] = char(crc >> (8 * k));
    return b;
}

void check(const std::string &bytes, bool declared)
{
    platform::Table t = declared ? platform::Table({{"id", platform::FieldType::Integer},
                                                    {"body", platform::FieldType::Text, 160}})
                                 : platform::Table();
    const auto before = t.fields();
    auto r = t.loadFromBytes(bytes);
    FUZZ_CHECK(bool(r) == r.message.empty());
    if (!r) {
        FUZZ_CHECK(t.fields() == before && t.totalRows() == 0);
        return;
    }
    FUZZ_CHECK(t.count() == t.totalRows());
    for (const platform::Row &row : t.rows()) {
        FUZZ_CHECK(row.fieldCount() == t.fields().size());
        for (size_t f = 0; f < row.fieldCount(); ++f) {
            const platform::FieldDef &def = t.fields()[f];
            if (def.type == platform::FieldType::Text)
                FUZZ_CHECK(platform::Table::countChars(row.textAt(f)) <= def.size);
            if (def.type == platform::FieldType::Blob)
                FUZZ_CHECK(row.textAt(f).size() <= def.size);
        }
    }
    int walked = 0;
    for (t.first(); !t.eof(); t.next())
        ++walked;
    FUZZ_CHECK(walked == t.count());
    platform::Table again;
    FUZZ_CHECK(bool(again.loadFromBytes(t.serialize())));
    FUZZ_CHECK(again.rows() == t.rows() && again.fields() == t.fields() && again.activeIndex() == t.activeIndex());

    // Deleting every other row in one pass leaves the walk a view built afresh would give.
    platform::Table cut = t;
    int k = 0;
    const int gone = cut.removeWhere(platform::Filter::where([&](const platform::RowView &) { return k++ % 2 == 1; }));
    FUZZ_CHECK(gone == t.totalRows() / 2 && cut.totalRows() == t.totalRows() - gone);
    platform::Table fresh = cut;
    FUZZ_CHECK(fresh.setActiveIndex(cut.activeIndex()));
    FUZZ_CHECK(cut.count() == fresh.count());
    const int fields = int(cut.fields().size());
    for (int i = 0; i < cut.count(); ++i)
        for (int f = 0; f < fields; ++f)
            FUZZ_CHECK(cut.rowAt(i)->intAt(f) == fresh.rowAt(i)->intAt(f) &&
                       cut.rowAt(i)->textAt(f) == fresh.rowAt(i)->textAt(f));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes(reinterpret_cast<const char *>(data), size);
    check(bytes, false);
    std::string sealed = reseal(bytes);
    check(sealed, false);
    check(sealed, true);
    return 0;
}
