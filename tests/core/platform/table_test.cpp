// The table engine: cursor, editing, lookups, filters, ordering, text sizes, files.
#include "platform/table.h"

#include "table_fixture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace platform;
using platform_test::repeat;
using platform_test::sameTable;
using platform_test::smsTable;
using platform_test::TempDir;

namespace {

// Ids of the visible rows in walk order.
std::vector<int32_t> walk(Table &t, const char *field = "id")
{
    std::vector<int32_t> ids;
    for (t.first(); !t.eof(); t.next())
        ids.push_back(t.integer(field));
    return ids;
}

void addSms(Table &t, int32_t id, int32_t box, const std::string &tel = "", const std::string &body = "")
{
    t.append();
    t.setInt("id", id);
    t.setInt("boxid", box);
    t.setText("Tel", tel);
    t.setText("body", body);
    ASSERT_TRUE(t.post());
}

Table allTypes()
{
    return Table({{"ID", FieldType::AutoInc},
                  {"Num", FieldType::Integer},
                  {"Msg", FieldType::Text, 160},
                  {"Data", FieldType::Blob, 10240}});
}

} // namespace

TEST(Table, DefinitionsAreChecked)
{
    EXPECT_TRUE(smsTable().valid());
    EXPECT_FALSE(Table({{"a", FieldType::Integer}, {"A", FieldType::Integer}}).valid());
    EXPECT_FALSE(Table({{"t", FieldType::Text, 0}}).valid());
    EXPECT_FALSE(Table({{"a", FieldType::Integer}}, {{"i", "b"}}).valid());
    EXPECT_FALSE(Table({{"a", FieldType::Integer}}, {{"i", "a"}}, "j").valid());
    Table t = smsTable();
    EXPECT_EQ(t.fieldIndex("BOXID"), 2);
    EXPECT_EQ(t.fieldIndex("nope"), -1);
}

TEST(Table, CursorWalk)
{
    Table t = smsTable();
    t.first();
    EXPECT_TRUE(t.eof());
    EXPECT_TRUE(t.bof());
    EXPECT_EQ(t.recNo(), -1);
    EXPECT_EQ(t.integer("id"), 0);
    for (int i = 1; i <= 3; ++i)
        addSms(t, i, 1);
    EXPECT_EQ(t.count(), 3);
    t.first();
    EXPECT_TRUE(t.bof());
    EXPECT_FALSE(t.eof());
    t.next();
    EXPECT_EQ(t.integer("id"), 2);
    EXPECT_EQ(t.recNo(), 1);
    EXPECT_FALSE(t.bof());
    t.moveBy(5);
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.integer("id"), 3); // stays on the last row
    t.prior();
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.integer("id"), 2);
    t.moveBy(-4);
    EXPECT_TRUE(t.bof());
    EXPECT_EQ(t.integer("id"), 1);
    t.last();
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.recNo(), 2);
    EXPECT_TRUE(t.setRecNo(0));
    EXPECT_FALSE(t.setRecNo(3));
    EXPECT_EQ(t.recNo(), 0);
    ASSERT_TRUE(t.rowAt(2));
    EXPECT_EQ(t.rowAt(2)->integer("ID"), 3);
    EXPECT_FALSE(t.rowAt(3));
    EXPECT_EQ(t.recNo(), 0); // the cursor stays
}

TEST(Table, EditPostCancelAndAutoIncrement)
{
    Table t = allTypes();
    t.append();
    EXPECT_EQ(t.setInt("id", 5), SetResult::WrongType); // the table numbers it
    EXPECT_EQ(t.setInt("num", 7), SetResult::Ok);
    EXPECT_EQ(t.setText("Num", "x"), SetResult::WrongType);
    EXPECT_EQ(t.setInt("none", 1), SetResult::NoField);
    EXPECT_EQ(t.integer("num"), 7); // reads see the buffer
    ASSERT_TRUE(t.post());
    t.append();
    t.cancel();
    EXPECT_EQ(t.count(), 1);
    EXPECT_EQ(t.setInt("num", 1), SetResult::NotEditing);
    t.append();
    t.post();
    EXPECT_EQ(walk(t, "ID"), (std::vector<int32_t>{1, 2}));
    t.first();
    ASSERT_TRUE(t.edit());
    t.setInt("num", 99);
    t.next(); // a move posts the open edit
    t.first();
    EXPECT_EQ(t.integer("num"), 99);
    t.last();
    t.remove();
    t.append();
    t.post();
    EXPECT_EQ(walk(t, "ID"), (std::vector<int32_t>{1, 3})); // numbers are not reused
}

TEST(Table, EveryTypeRoundTripsThroughAFile)
{
    TempDir dir;
    Table t = allTypes();
    const std::string maxCjk = repeat("中", 160);
    const std::string bin("\0\x01\xff\x80 z", 6);
    struct Values {
        int32_t num;
        std::string msg, data;
    };
    const std::vector<Values> rows = {
        {0, "", ""},                                   // empty text, 0-byte blob
        {INT32_MIN, maxCjk, bin},                      // maximum CJK text
        {INT32_MAX, "it's \"quoted\"", std::string(10240, '\xAA')},
        {-1, repeat("é", 160), std::string(1, '\0')},
        {42, "😀" + repeat("a", 159), "x"},
    };
    for (const Values &v : rows) {
        t.append();
        t.setInt("Num", v.num);
        EXPECT_EQ(t.setText("Msg", v.msg), SetResult::Ok);
        EXPECT_EQ(t.setText("Data", v.data), SetResult::Ok);
        t.post();
    }
    const std::string f = dir.file("all.cds");
    ASSERT_TRUE(t.save(f));
    Table back = allTypes();
    ASSERT_TRUE(back.load(f));
    EXPECT_TRUE(sameTable(t, back));
    back.first();
    for (const Values &v : rows) {
        EXPECT_EQ(back.integer("num"), v.num);
        EXPECT_EQ(back.text("msg"), v.msg);
        EXPECT_EQ(back.text("data"), v.data);
        back.next();
    }
    // Auto-increment numbering goes on after a load.
    back.append();
    back.post();
    EXPECT_EQ(back.integer("ID"), 6);
    // An empty table, and a table with no declared fields, load too.
    Table empty = allTypes();
    ASSERT_TRUE(empty.save(f));
    Table any;
    ASSERT_TRUE(any.load(f));
    EXPECT_TRUE(sameTable(empty, any));
}

// Files written before rows were packed: each loads and serializes to the very same bytes.
TEST(Table, EarlierFilesLoadAndSaveByteForByte)
{
    for (const char *name : {"every_type", "smsinfo_three_rows", "language", "handover_blob", "smsinfo_empty",
                             "one_text_field"}) {
        SCOPED_TRACE(name);
        const ReadResult file = readWholeFile(std::string(SV_TABLE_CORPUS) + "/" + name, 1 << 20);
        ASSERT_EQ(file.status, ReadStatus::Ok);
        Table t;
        ASSERT_TRUE(t.loadFromBytes(file.data));
        EXPECT_EQ(t.serialize(), file.data);
        EXPECT_EQ(t.snapshot().bytes, file.data.substr(0, file.data.size() - 4));
    }
    // every_type: an auto-increment, texts (some empty, non-ASCII) and a blob with NUL bytes,
    // walked by the text index it was saved with.
    const ReadResult file = readWholeFile(std::string(SV_TABLE_CORPUS) + "/every_type", 1 << 20);
    Table t;
    ASSERT_TRUE(t.loadFromBytes(file.data));
    EXPECT_EQ(walk(t), (std::vector<int32_t>{2, 3, 1, 4}));
    const Row &r = t.rows()[0];
    EXPECT_EQ(r.fieldCount(), 5u);
    EXPECT_EQ(r.intAt(0), 1);
    EXPECT_EQ(r.textAt(1), "zeta");
    EXPECT_EQ(r.intAt(2), -7);
    EXPECT_EQ(r.textAt(3), std::string_view("\0\1\2", 3));
    EXPECT_EQ(r.textAt(4), "");
    EXPECT_EQ(t.rows()[1].textAt(4), "你好");
    EXPECT_EQ(t.rows()[2].intAt(2), INT32_MIN);
    EXPECT_EQ(t.rows()[3].textAt(1), "😀x");
    // A wrong type or number reads as nothing, never as another field's bytes.
    EXPECT_EQ(r.intAt(1), 0);
    EXPECT_EQ(r.textAt(0), "");
    EXPECT_EQ(r.textAt(5), "");
    EXPECT_EQ(r.intAt(size_t(-1)), 0);
    EXPECT_EQ(Row().fieldCount(), 0u);
    EXPECT_EQ(Row().textAt(0), "");
}

// An edit that grows, shrinks or empties one text leaves the row's other values as they were,
// and a copied row stays apart from the table's.
TEST(Table, EditingOneValueKeepsTheOthers)
{
    Table t = smsTable();
    addSms(t, 1, 3, "+123", "first body");
    const Row before = t.rows()[0];
    struct Case {
        const char *field;
        std::string value;
    };
    for (const Case &c : {Case{"Tel", repeat("9", 50)}, Case{"Tel", ""}, Case{"body", repeat("中", 160)},
                          Case{"body", "x"}, Case{"time", "2026-01-02"}}) {
        SCOPED_TRACE(std::string(c.field) + "=" + c.value);
        const std::string tel(t.text("Tel")), body(t.text("body")), time(t.text("time"));
        ASSERT_TRUE(t.edit());
        EXPECT_EQ(t.setText(c.field, c.value), SetResult::Ok);
        EXPECT_EQ(t.text(c.field), c.value); // reads while editing see the buffer
        ASSERT_TRUE(t.post());
        const Row &r = t.rows()[0];
        const int f = t.fieldIndex(c.field);
        EXPECT_EQ(r.textAt(size_t(f)), c.value);
        EXPECT_EQ(r.intAt(0), 1);
        EXPECT_EQ(r.intAt(2), 3);
        const std::string_view changed = c.field;
        EXPECT_EQ(r.textAt(4), changed == "Tel" ? c.value : tel);
        EXPECT_EQ(r.textAt(6), changed == "body" ? c.value : body);
        EXPECT_EQ(r.textAt(5), changed == "time" ? c.value : time);
    }
    EXPECT_EQ(before.textAt(6), "first body");
    EXPECT_NE(before, t.rows()[0]);
    Row copy = t.rows()[0];
    EXPECT_EQ(copy, t.rows()[0]);
    copy = before;
    EXPECT_EQ(copy, before);
}

TEST(Table, TextSizesCountCharactersAndCutsAreReported)
{
    Table t = smsTable();
    t.append();
    // 70 Chinese characters are 210 bytes and fit a 160-character field.
    EXPECT_EQ(t.setText("body", repeat("汉", 70)), SetResult::Ok);
    EXPECT_EQ(t.text("body").size(), 210u);
    EXPECT_EQ(t.setText("body", repeat("汉", 160)), SetResult::Ok);
    EXPECT_EQ(t.setText("body", repeat("汉", 161)), SetResult::Cut);
    EXPECT_EQ(t.text("body"), repeat("汉", 160));
    // The cut lands on a character boundary, never inside a character.
    EXPECT_EQ(t.setText("Sca", repeat("a", 29) + "字字"), SetResult::Cut);
    EXPECT_EQ(t.text("Sca"), repeat("a", 29) + "字");
    EXPECT_EQ(t.setText("time", repeat("1", 21)), SetResult::Cut);
    EXPECT_EQ(t.text("time"), repeat("1", 20));
    // Bytes that are not UTF-8 are bounded too: what is stored always loads again.
    for (const std::string &junk : {std::string(50, '\x80'), "\xE4" + std::string(60, '\x80')}) {
        Table n({{"Name", FieldType::Text, 10}});
        n.append();
        EXPECT_EQ(n.setText("Name", junk), SetResult::Cut);
        EXPECT_LE(n.text("Name").size(), 40u);
        ASSERT_TRUE(n.post());
        Table back({{"Name", FieldType::Text, 10}});
        TableResult r = back.loadFromBytes(n.serialize());
        EXPECT_TRUE(r) << r.message;
        EXPECT_TRUE(sameTable(n, back));
    }
    Table b({{"Data", FieldType::Blob, 4}});
    b.append();
    EXPECT_EQ(b.setText("Data", "12345"), SetResult::Cut);
    EXPECT_EQ(b.text("Data"), "1234");
}

TEST(Table, OrderingIndexKeepsTiesInAppendOrderAndSurvivesSaveLoad)
{
    TempDir dir;
    Table t = smsTable();
    addSms(t, 5, 1, "a");
    addSms(t, 3, 1, "first 3");
    addSms(t, 9, 1, "b");
    addSms(t, 3, 1, "second 3");
    EXPECT_EQ(walk(t), (std::vector<int32_t>{3, 3, 5, 9}));
    t.first();
    EXPECT_EQ(t.text("Tel"), "first 3");
    // Posting moves the cursor with the row to its new place.
    ASSERT_TRUE(t.locate("Tel", "b"));
    t.edit();
    t.setInt("id", 1);
    t.post();
    EXPECT_EQ(t.recNo(), 0);
    EXPECT_EQ(t.text("Tel"), "b");
    t.last();
    EXPECT_EQ(t.integer("id"), 5);

    const std::string f = dir.file("Smsinfo.cds");
    ASSERT_TRUE(t.save(f));
    Table back = smsTable();
    back.setActiveIndex(""); // the file says which index is active
    ASSERT_TRUE(back.load(f));
    EXPECT_EQ(back.activeIndex(), "cdsSmsinfoIndex1");
    EXPECT_EQ(walk(back), (std::vector<int32_t>{1, 3, 3, 5}));
    // Without the index: append order.
    ASSERT_TRUE(back.setActiveIndex(""));
    EXPECT_EQ(walk(back), (std::vector<int32_t>{5, 3, 1, 3}));
    EXPECT_FALSE(back.setActiveIndex("nosuch"));
    // A text index sorts byte-wise.
    Table lang({{"Name", FieldType::Text, 50}, {"Value", FieldType::Text, 200}}, {{"ix", "Name"}}, "ix");
    for (const char *k : {"b", "B", "a", "ab"}) {
        lang.append();
        lang.setText("Name", k);
        lang.post();
    }
    std::vector<std::string> keys;
    for (lang.first(); !lang.eof(); lang.next())
        keys.emplace_back(lang.text("Name"));
    EXPECT_EQ(keys, (std::vector<std::string>{"B", "a", "ab", "b"}));
}

TEST(Table, FiltersAreTypedAndSaveIgnoresThem)
{
    TempDir dir;
    Table t = smsTable();
    addSms(t, 1, 0, "100", "it's");
    addSms(t, 2, 3, "101", "x' OR '1'='1");
    addSms(t, 3, 8, "102", "hello");
    addSms(t, 4, 9, "100", "it's");
    addSms(t, 5, 8, "103", "");

    t.setFilter(lt("boxid", 5));
    EXPECT_EQ(walk(t), (std::vector<int32_t>{1, 2}));
    t.setFilter(gt("boxid", 7));
    EXPECT_EQ(walk(t), (std::vector<int32_t>{3, 4, 5}));
    EXPECT_EQ(t.count(), 3);
    // User text with an apostrophe is a value, never part of a query.
    t.setFilter(eq("body", "it's") && eq("Tel", "100"));
    EXPECT_EQ(walk(t), (std::vector<int32_t>{1, 4}));
    t.setFilter(eq("body", "x' OR '1'='1"));
    EXPECT_EQ(walk(t), (std::vector<int32_t>{2}));
    t.setFilter(allOf({eq("boxid", 8), eq("TEL", "102")}));
    EXPECT_EQ(walk(t), (std::vector<int32_t>{3}));
    t.setFilter(eq("BODY", "HELLO", true));
    EXPECT_EQ(walk(t), (std::vector<int32_t>{3}));
    t.setFilter(eq("nosuch", 1));
    EXPECT_EQ(t.count(), 0);
    t.setFilter(Filter::where([](const RowView &r) { return r.integer("id") % 2 == 0; }));
    EXPECT_EQ(walk(t), (std::vector<int32_t>{2, 4}));

    // A row that stops matching leaves the view when posted; an appended one that matches joins.
    t.setFilter(eq("boxid", 8));
    t.first();
    t.edit();
    t.setInt("boxid", 5);
    t.post();
    EXPECT_EQ(walk(t), (std::vector<int32_t>{5}));
    addSms(t, 6, 8);
    addSms(t, 7, 1);
    EXPECT_EQ(walk(t), (std::vector<int32_t>{5, 6}));

    // A filtered table saves every row.
    const std::string f = dir.file("Smsinfo.cds");
    ASSERT_TRUE(t.save(f));
    Table back = smsTable();
    ASSERT_TRUE(back.load(f));
    EXPECT_EQ(back.count(), 7);
    EXPECT_TRUE(sameTable(t, back));
    // The filter stays set across a load.
    ASSERT_TRUE(t.load(f));
    EXPECT_EQ(t.count(), 2);
    t.clearFilter();
    EXPECT_EQ(t.count(), 7);
}

TEST(Table, LocateOptions)
{
    Table t({{"ID", FieldType::Integer}, {"Man", FieldType::Text, 50}});
    int id = 0;
    for (const char *m : {"Nokia", "nokia 6610", "SAMSUNG", "Other"}) {
        t.append();
        t.setInt("ID", ++id);
        t.setText("Man", m);
        t.post();
    }
    struct Row {
        const char *value;
        LocateOptions opts;
        int want; // row id, 0 = not found
    };
    const std::vector<Row> rows = {
        {"Nokia", {}, 1},
        {"NOKIA", {}, 0},
        {"NOKIA", {true, false}, 1},
        {"nokia 6", {false, true}, 2},
        {"sam", {false, true}, 0},
        {"sam", {true, true}, 3},
        {"Samsung Galaxy", {true, true}, 0}, // the value longer than the field text
        {"OTHER", {true, false}, 4},
        {"", {false, true}, 1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.value);
        t.setRecNo(3 - 1);
        bool found = t.locate("man", r.value, r.opts);
        EXPECT_EQ(found, r.want != 0);
        EXPECT_EQ(t.integer("ID"), found ? r.want : 3); // not found: cursor unchanged
    }
    EXPECT_TRUE(t.locate("id", 4));
    EXPECT_TRUE(t.locate("ID", "2"));
    EXPECT_EQ(t.integer("id"), 2);
    EXPECT_FALSE(t.locate("id", "2x"));
    EXPECT_FALSE(t.locate("nosuch", "1"));
    // Locate looks only at visible rows.
    t.setFilter(gt("ID", 2));
    EXPECT_FALSE(t.locate("Man", "Nokia"));
    EXPECT_TRUE(t.locate("Man", "Other"));
    EXPECT_EQ(t.recNo(), 1);
}

TEST(Table, DeleteMovesToTheFollowingRow)
{
    Table t = smsTable();
    for (int i = 1; i <= 5; ++i)
        addSms(t, i, i % 2);
    t.setRecNo(1);
    ASSERT_TRUE(t.remove());
    EXPECT_EQ(t.integer("id"), 3);
    EXPECT_FALSE(t.eof());
    t.last();
    ASSERT_TRUE(t.remove());
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.integer("id"), 4); // the new last row
    EXPECT_EQ(walk(t), (std::vector<int32_t>{1, 3, 4}));
    // Deleting while appending drops only the new row; while editing, the edited row goes.
    t.first();
    t.append();
    EXPECT_FALSE(t.remove());
    EXPECT_EQ(walk(t), (std::vector<int32_t>{1, 3, 4}));
    t.first();
    t.edit();
    t.setInt("boxid", 7);
    EXPECT_TRUE(t.remove());
    EXPECT_EQ(walk(t), (std::vector<int32_t>{3, 4}));

    // The catalogue's walk: delete some rows, step over the others.
    Table c = smsTable();
    for (int i = 1; i <= 8; ++i)
        addSms(c, i, i % 3 == 0 ? 1 : 0);
    c.first();
    while (!c.eof()) {
        if (c.integer("boxid") == 0)
            c.remove();
        else
            c.next();
    }
    EXPECT_EQ(walk(c), (std::vector<int32_t>{3, 6}));
    // Under a filter, with the index: the following visible row.
    c.setFilter(gt("id", 0));
    c.first();
    c.remove();
    EXPECT_EQ(c.integer("id"), 6);
    c.remove();
    EXPECT_TRUE(c.eof());
    EXPECT_TRUE(c.bof());
    EXPECT_FALSE(c.remove());
    EXPECT_EQ(c.totalRows(), 0);
}

TEST(Table, RemoveWhereDeletesTheMatchingRowsInOnePass)
{
    // Rows appended out of id order, walked by the id index under a filter that hides box 2.
    Table t = smsTable();
    for (int id : {6, 1, 4, 9, 2, 7, 3, 8, 5})
        addSms(t, id, id % 3);
    t.setFilter(lt("boxid", 2));
    EXPECT_EQ(walk(t), (std::vector<int32_t>{1, 3, 4, 6, 7, 9}));

    // The cursor on a surviving row stays on it; hidden rows match too.
    ASSERT_TRUE(t.locate("id", 6));
    EXPECT_EQ(t.removeWhere(Filter::where([](const RowView &r) { return r.integer("id") % 2 == 1; })), 5);
    EXPECT_EQ(t.integer("id"), 6);
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(walk(t), (std::vector<int32_t>{4, 6}));
    EXPECT_EQ(t.totalRows(), 4);
    t.clearFilter();
    EXPECT_EQ(walk(t), (std::vector<int32_t>{2, 4, 6, 8}));
    std::vector<int32_t> stored;
    for (const Row &r : t.rows())
        stored.push_back(r.intAt(0));
    EXPECT_EQ(stored, (std::vector<int32_t>{6, 4, 2, 8})); // append order kept

    // The cursor's row goes: it moves to the row that followed, or to the last with eof set.
    ASSERT_TRUE(t.locate("id", 4));
    EXPECT_EQ(t.removeWhere(eq("id", 4)), 1);
    EXPECT_EQ(t.integer("id"), 6);
    EXPECT_FALSE(t.eof());
    t.last();
    EXPECT_EQ(t.removeWhere(gt("id", 5)), 2);
    EXPECT_EQ(t.integer("id"), 2);
    EXPECT_TRUE(t.eof());

    // An open edit is posted before the rows are matched; nothing matching, an empty filter or an
    // unknown field deletes nothing.
    t.first();
    t.edit();
    t.setInt("boxid", 9);
    EXPECT_EQ(t.removeWhere(eq("boxid", 9)), 1);
    EXPECT_EQ(t.totalRows(), 0);
    EXPECT_TRUE(t.eof() && t.bof());
    addSms(t, 1, 1);
    EXPECT_EQ(t.removeWhere(eq("boxid", 3)), 0);
    EXPECT_EQ(t.removeWhere(Filter{}), 0);
    EXPECT_EQ(t.removeWhere(eq("nosuch", 1)), 0);
    EXPECT_EQ(walk(t), (std::vector<int32_t>{1}));

    // Appending after a bulk removal places rows right.
    addSms(t, 0, 1);
    EXPECT_EQ(walk(t), (std::vector<int32_t>{0, 1}));
}

TEST(Table, LoadAnswersMissingDamagedNewerAndMissingField)
{
    TempDir dir;
    Table t = smsTable();
    addSms(t, 1, 8, "100", "one");
    addSms(t, 2, 1, "101", "two");
    const std::string f = dir.file("Smsinfo.cds");

    Table keep = smsTable();
    addSms(keep, 77, 1);
    EXPECT_EQ(keep.load(dir.file("none.cds")).status, TableStatus::Missing);

    // Another table's file lacks declared fields (or has them with another type).
    Table other({{"id", FieldType::Integer}, {"Content", FieldType::Text, 500}});
    ASSERT_TRUE(other.save(f));
    auto r = keep.load(f);
    EXPECT_EQ(r.status, TableStatus::MissingField);
    EXPECT_NE(r.message.find("Tid"), std::string::npos) << r.message;
    Table wrongType({{"id", FieldType::Text, 5}});
    ASSERT_TRUE(wrongType.save(f));
    r = keep.load(f);
    EXPECT_EQ(r.status, TableStatus::MissingField);
    EXPECT_NE(r.message.find("id with another type"), std::string::npos) << r.message;

    // A newer format version (with a correct checksum) is refused as such.
    std::string bytes = t.serialize();
    bytes[8] = char(kTableFormatVersion + 1);
    uint32_t crc = crc32(std::string_view(bytes).substr(0, bytes.size() - 4));
    for (int k = 0; k < 4; ++k)
        bytes[bytes.size() - 4 + k] = char(crc >> (8 * k));
    EXPECT_EQ(keep.loadFromBytes(bytes).status, TableStatus::NewerVersion);

    // A file the user cannot read is an I/O error, not damage.
    ASSERT_TRUE(t.save(f));
    if (::geteuid() != 0) {
        ::chmod(f.c_str(), 0);
        EXPECT_EQ(keep.load(f).status, TableStatus::IoError);
        ::chmod(f.c_str(), 0644);
    }
    EXPECT_EQ(walk(keep), (std::vector<int32_t>{77})); // every refusal left the table as it was
}

// Every truncation and every flipped byte of a saved file reads as damaged, and the table keeps
// its rows.
TEST(Table, EveryTruncationAndFlippedByteIsDamage)
{
    Table t = smsTable();
    addSms(t, 1, 8, "+8613800138000", "你好 world");
    addSms(t, 2, 1, "", "");
    t.append();
    t.post();
    const std::string good = t.serialize();
    ASSERT_LT(good.size(), 1000u);

    Table target = smsTable();
    addSms(target, 42, 3);
    for (size_t n = 0; n < good.size(); ++n) {
        auto r = target.loadFromBytes(good.substr(0, n));
        ASSERT_EQ(r.status, TableStatus::Damaged) << "cut to " << n;
    }
    EXPECT_EQ(target.loadFromBytes(good + "x").status, TableStatus::Damaged);
    for (size_t i = 0; i < good.size(); ++i) {
        for (uint8_t mask : {0x01, 0x80, 0xFF}) {
            std::string bad = good;
            bad[i] = char(bad[i] ^ mask);
            auto r = target.loadFromBytes(bad);
            ASSERT_EQ(r.status, TableStatus::Damaged) << "byte " << i << " mask " << int(mask);
            ASSERT_FALSE(r.message.empty());
        }
    }
    EXPECT_EQ(walk(target), (std::vector<int32_t>{42}));
    ASSERT_TRUE(target.loadFromBytes(good));
    EXPECT_TRUE(sameTable(t, target));
}

// Damage that keeps the checksum right (a buggy or hostile writer): counts and lengths are
// checked against the file before anything is allocated.
TEST(Table, StructuralDamageBehindAGoodChecksum)
{
    auto reseal = [](std::string b) {
        uint64_t total = b.size();
        for (int k = 0; k < 8; ++k)
            b[12 + k] = char(total >> (8 * k));
        uint32_t crc = crc32(std::string_view(b).substr(0, b.size() - 4));
        for (int k = 0; k < 4; ++k)
            b[b.size() - 4 + k] = char(crc >> (8 * k));
        return b;
    };
    Table t({{"T", FieldType::Text, 2}});
    t.append();
    t.setText("T", "ab");
    t.post();
    const std::string good = t.serialize();
    ASSERT_TRUE(Table().loadFromBytes(reseal(good)));
    // Layout: magic 8, version 4, total 8, nFields 4, [type 1, size 4, nameLen 2, "T"], nIndexes 4,
    // active 4, autoinc 8, rows 4, [len 4, "ab"], crc 4.
    const size_t fieldCount = 20, fieldSize = 25, rowCount = 48, textLen = 52;
    auto patch32 = [&](size_t at, uint32_t v) {
        std::string b = good;
        for (int k = 0; k < 4; ++k)
            b[at + k] = char(v >> (8 * k));
        return reseal(b);
    };
    const std::vector<std::pair<const char *, std::string>> cases = {
        {"huge field count", patch32(fieldCount, 0xFFFFFFFF)},
        {"huge row count", patch32(rowCount, 0x7FFFFFFF)},
        {"row count a little high", patch32(rowCount, 2)},
        {"text longer than the rest", patch32(textLen, 0xFFFFFFF0)},
        {"text longer than its field", patch32(fieldSize, 1)},
        {"zero-size field", patch32(fieldSize, 0)},
    };
    for (const auto &[name, bytes] : cases) {
        Table x;
        auto r = x.loadFromBytes(bytes);
        EXPECT_EQ(r.status, TableStatus::Damaged) << name;
        EXPECT_TRUE(x.fields().empty()) << name;
    }
}

TEST(Table, SaveFailuresKeepTheOldFile)
{
    TempDir dir;
    const std::string f = dir.file("PlugInfo.cds");
    Table t = smsTable();
    addSms(t, 1, 1);
    ASSERT_TRUE(t.save(f));
    addSms(t, 2, 1);
    FileOps full;
    full.write = [](int, const void *, size_t) -> ssize_t { errno = ENOSPC; return -1; };
    auto r = t.save(f, full);
    EXPECT_EQ(r.status, TableStatus::IoError);
    EXPECT_NE(r.message.find("No space"), std::string::npos) << r.message;
    ::chmod(f.c_str(), 0444);
    EXPECT_EQ(t.save(f).status, TableStatus::ReadOnly);
    Table back = smsTable();
    ASSERT_TRUE(back.load(f));
    EXPECT_EQ(back.totalRows(), 1);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"PlugInfo.cds"});
}
