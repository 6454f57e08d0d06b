// Fuzz entry for the contact CSV import: any bytes as a contact file, given in memory.
// Promise on any input: a book or nothing, never a crash; the book holds only storable rows
// (vCard texts that fit the row, positions unique within a storage), a template of at most 64
// entries, limits within 0..2048, a node with one child per storage and groups last; and what
// was read, written and read again, is written the same (after one more round where a value "_"
// reads back as none, or where the contact model needed a build to settle a value).

#include "content/fake_env.h"
#include "content/phonebook_manage.h"
#include "fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using namespace content;

namespace {

bool limitOk(int32_t n) { return n >= 0 && n <= 2048; }

void checkBook(const TPhoneBookManage &pb, int b)
{
    const ContactBook &bk = pb.book(b);
    FUZZ_CHECK(bk.contactsTemplate.size() <= 64);
    for (const FieldParam &p : bk.contactsTemplate) {
        FUZZ_CHECK(p.type >= 0 && limitOk(p.maxLen));
        for (int32_t part : p.partLimits)
            FUZZ_CHECK(limitOk(part));
    }
    const BookLimits &l = bk.limits;
    FUZZ_CHECK(limitOk(l.simName) && limitOk(l.simNumber) && limitOk(l.phoneName) && limitOk(l.phoneNumber) &&
               limitOk(l.groupName));

    const platform::Table &t = bk.table;
    const int posF = t.fieldIndex("Pos"), idF = t.fieldIndex("PbId"), valueF = t.fieldIndex("Value");
    std::map<int32_t, std::set<int32_t>> positions;
    for (const platform::Row &r : t.rows()) {
        int32_t code = r.intAt(size_t(posF));
        FUZZ_CHECK(storageCodeOf(code).has_value());
        FUZZ_CHECK(positions[code].insert(r.intAt(size_t(idF))).second);
        const std::string v(r.textAt(size_t(valueF)));
        FUZZ_CHECK(!v.empty() && utf8Chars(v) <= kContactValueChars);
    }
    std::set<int32_t> children;
    for (const ContactTreeNode &n : bk.node.children)
        FUZZ_CHECK(children.insert(n.storage).second && storageCodeOf(n.storage).has_value());
    if (children.count(8))
        FUZZ_CHECK(bk.node.children.back().storage == 8);
}

// Whether the book reads back exactly from our own file: no contact holds a value "_" (written as
// "(flags)_", it reads back as no value: the price of "_" standing for none), and every row's
// fields are as the contact model builds and reads them (a file's text can need one build to
// settle, e.g. an address line with a leading blank).
bool settled(const TPhoneBookManage &pb, int b)
{
    const platform::Table &t = pb.book(b).table;
    const int posF = t.fieldIndex("Pos"), valueF = t.fieldIndex("Value");
    for (const platform::Row &r : t.rows()) {
        TMobileVacrd fields = TPhoneBookManage::ParseContact(r.textAt(size_t(valueF)));
        if (TPhoneBookManage::ParseContact(TPhoneBookManage::BuildContact(fields)) != fields)
            return false;
        if (r.intAt(size_t(posF)) != toInt(StorageCode::Contacts))
            continue;
        for (const TVcardFields &f : fields)
            if (TCsvFile::Trim(f.value) == "_")
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 256 * 1024)
        return 0;
    FakeEnv env;
    TPhoneBookManage pb(env);
    TCsvFile csv;
    if (!csv.LoadFromText(std::string_view(reinterpret_cast<const char *>(data), size)) || csv.RowCount() == 0)
        return 0;
    int b = pb.ImportCsv(csv, "/fuzz/input.csv");
    FUZZ_CHECK(b == 1 && pb.BookCount() == 2);
    checkBook(pb, b);

    // Our own writer's file reads back to a book that is written the same.
    TCsvFile once = pb.BuildCsv(b);
    size_t shown = env.prompt.texts().size();
    int again = pb.ImportCsv(once, "/fuzz/again.csv");
    FUZZ_CHECK(env.prompt.texts().size() == shown); // nothing damaged, nothing left out
    checkBook(pb, again);
    TCsvFile twice = pb.BuildCsv(again);
    FUZZ_CHECK(twice.RowCount() == once.RowCount());
    for (int i = 0; i < once.RowCount(); ++i)
        FUZZ_CHECK(once.GetRow(i).size() == twice.GetRow(i).size());
    if (settled(pb, b)) {
        FUZZ_CHECK(twice.ToText() == once.ToText());
    } else {
        // After one more round the file is stable (a value "_" read back as none can also let a
        // later field of its type move up into its entry).
        int third = pb.ImportCsv(twice, "/fuzz/third.csv");
        FUZZ_CHECK(env.prompt.texts().size() == shown);
        FUZZ_CHECK(pb.BuildCsv(third).ToText() == twice.ToText());
    }
    return 0;
}
