// The contact CSV file: a book exported and imported again keeps its entries, limits, template and
// handset type; the layout line by line; the tree node an import makes; and hostile files, which
// give a result or a reported error and never lose what could be read.

#include "content/fake_env.h"
#include "content/phonebook_manage.h"
#include "core/platform/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace content;
using platform_test::readText;
using platform_test::TempDir;
using platform_test::writeText;
using Lines = std::vector<std::string>;

namespace {

FieldParam param(int32_t type, int32_t flags, int32_t maxLen, std::array<int32_t, 7> parts = {})
{
    FieldParam p;
    p.type = type;
    p.flags = flags;
    p.maxLen = maxLen;
    p.partLimits = parts;
    return p;
}

// Parsed fields of every row of a storage, by position.
std::map<int32_t, TMobileVacrd> entries(const ContactBook &bk, StorageCode s)
{
    std::map<int32_t, TMobileVacrd> out;
    const int pos = bk.table.fieldIndex("Pos"), id = bk.table.fieldIndex("PbId"), v = bk.table.fieldIndex("Value");
    for (const platform::Row &r : bk.table.rows())
        if (r.intAt(size_t(pos)) == toInt(s))
            out[r.intAt(size_t(id))] = TPhoneBookManage::ParseContact(r.textAt(size_t(v)));
    return out;
}

// The value of each field, type by type, as the SIM and phone sections carry them.
std::vector<std::string> values(const TMobileVacrd &fields)
{
    std::vector<std::string> out;
    for (const TVcardFields &f : fields)
        out.push_back(std::to_string(f.type) + "=" + f.value);
    return out;
}

std::map<int32_t, std::vector<std::string>> entryValues(const ContactBook &bk, StorageCode s)
{
    std::map<int32_t, std::vector<std::string>> out;
    for (auto &[pos, fields] : entries(bk, s))
        out[pos] = values(fields);
    return out;
}

Lines linesOf(const std::string &text)
{
    TCsvFile csv;
    EXPECT_TRUE(csv.LoadFromText(text));
    return csv.lines();
}

class ContactCsv : public ::testing::Test {
protected:
    void save(int b, StorageCode s, const TMobileVacrd &fields, int32_t pos = -1)
    {
        ASSERT_EQ(pb.SaveContact(b, s, pos, fields), 0);
    }

    // A file book with groups, SIM and phone entries and contacts, built through SaveContact.
    int fixtureBook(bool groups = true)
    {
        int b = pb.AddFileBook(dir.file("fixture.csv"));
        ContactBook &bk = pb.book(b);
        bk.phoneType = {"Maker, Inc.", "Model \"X\" 7"};
        bk.limits = {14, 40, 20, 32, groups ? 10 : 0};
        bk.contactsTemplate = {param(kFieldName, 0, 30, {10, 20, 0, 0, 0, 0, 0}), param(kFieldTel, 2, 40),
                               param(kFieldTel, 256, 40), param(kFieldEmail, 0, 60),
                               param(kFieldAddr, 0, 100, {5, 5, 30, 20, 10, 10, 20}), param(kFieldNote, 0, 200),
                               param(kFieldGroup, 0, 3)};
        if (groups) {
            save(b, StorageCode::Groups, {{kFieldName, -1, "Friends;"}});
            save(b, StorageCode::Groups, {{kFieldName, -1, "Work (old), \"main\";"}});
        }
        save(b, StorageCode::Sim, {{kFieldName, -1, "Ann (work) B;"}, {kFieldTel, 0, "+8613800138000"}});
        save(b, StorageCode::Sim, {{kFieldName, -1, "Smith, \"J\";John"}, {kFieldTel, 0, "0044207"}});
        save(b, StorageCode::Sim, {{kFieldName, -1, "張;三丰"}, {kFieldTel, 0, "13912345678"}, {kFieldGroup, 0, "2"}});
        save(b, StorageCode::Phone, {{kFieldName, -1, "=1+1;@x"}, {kFieldTel, 0, "+4822"}, {kFieldGroup, 0, "1"}});
        TMobileVacrd c = {{kFieldName, -1, "Kowalski;Jan"},
                          {kFieldTel, 2, "+48600100200"},
                          {kFieldTel, 256, "+48600300400"},
                          {kFieldEmail, 0, "jan@example.com"},
                          {kFieldAddr, 1, ";;Prosta 1;Warszawa;;00-950;Polska"},
                          {kFieldNote, 0, "met at the fair (2024), \"VIP\""},
                          {kFieldGroup, 0, "1"}};
        save(b, StorageCode::Contacts, c);
        save(b, StorageCode::Contacts, {{kFieldName, -1, "王;小明"}, {kFieldTel, 256, "13800000000"}});
        // A contact of one field only: every other cell is written as "no value".
        save(b, StorageCode::Contacts, {{kFieldNote, 0, "only a note"}});
        return b;
    }

    std::string exportText(int b)
    {
        const std::string path = dir.file("export-" + std::to_string(b) + ".csv");
        EXPECT_EQ(pb.ExportToCsv(b, path), 0);
        return readText(path);
    }

    int importText(const std::string &name, const std::string &text)
    {
        writeText(dir.file(name), text);
        return pb.ImportFromCsv(dir.file(name));
    }

    std::vector<std::string> shown() const { return env.prompt.texts(); }

    FakeEnv env;
    TPhoneBookManage pb{env};
    TempDir dir;
};

// ---- Round trips ----

TEST_F(ContactCsv, ExportAndImportKeepEntriesLimitsTemplateAndType)
{
    int a = fixtureBook();
    const std::string path = dir.file("round.csv");
    ASSERT_EQ(pb.ExportToCsv(a, path), 0);
    int b = pb.ImportFromCsv(path);
    ASSERT_EQ(b, a + 1);
    EXPECT_TRUE(shown().empty()) << shown()[0];

    const ContactBook &x = pb.book(a), &y = pb.book(b);
    EXPECT_EQ(y.phoneType, x.phoneType);
    EXPECT_EQ(y.limits, x.limits);
    EXPECT_EQ(y.contactsTemplate, x.contactsTemplate);
    // SIM and phone entries carry name, number and group; contacts every field with its flags.
    EXPECT_EQ(entryValues(y, StorageCode::Sim), entryValues(x, StorageCode::Sim));
    EXPECT_EQ(entryValues(y, StorageCode::Phone), entryValues(x, StorageCode::Phone));
    EXPECT_EQ(entries(y, StorageCode::Contacts), entries(x, StorageCode::Contacts));
    EXPECT_EQ(entries(y, StorageCode::Groups), entries(x, StorageCode::Groups));
    EXPECT_EQ(y.groupNames, x.groupNames);
    EXPECT_EQ(y.groupNames, (std::vector<std::string>{"Friends", "Work (old), \"main\""}));
    EXPECT_EQ(entryValues(y, StorageCode::Sim)[1], (std::vector<std::string>{"3=Ann (work) B;;;;", "5=+8613800138000"}));
    EXPECT_EQ(entryValues(y, StorageCode::Sim)[3],
              (std::vector<std::string>{"3=張;三丰;;;", "5=13912345678", "61=2"}));
    EXPECT_EQ(y.fileName, std::filesystem::weakly_canonical(path).string());
    EXPECT_FALSE(y.changed);
}

TEST_F(ContactCsv, ExportImportExportGivesTheSameBytes)
{
    int a = fixtureBook();
    const std::string first = exportText(a);
    int b = pb.ImportFromCsv(dir.file("export-" + std::to_string(a) + ".csv"));
    ASSERT_GT(b, a);
    EXPECT_EQ(exportText(b), first);
}

TEST_F(ContactCsv, TheLayoutLineByLine)
{
    int a = fixtureBook();
    const Lines lines = linesOf(exportText(a));
    const Lines want = {
        R"("Maker, Inc.","Model ""X"" 7")",
        "",
        "Group",
        "Index,GroupName(10)",
        "1,Friends;;;;",
        R"(2,"Work (old), ""main"";;;;")",
        "",
        "SIM",
        "Index,Name(14),Tel(40),Group",
        "1,Ann (work) B;;;;,+8613800138000,",
        R"(2,"Smith, ""J"";John;;;",0044207,)",
        "3,張;三丰;;;,13912345678,2",
        "",
        "Phone",
        "Index,Name(20),Tel(32),Group",
        "1,=1+1;@x;;;,+4822,1",
        "",
        "Contact",
        "Index,<PbMng_Pb_Column_3>(3),<PbMng_Pb_Column_5>(5),<PbMng_Pb_Column_5>(5),<PbMng_Pb_Column_6>(6),"
        "<PbMng_Pb_Column_8>(8),<PbMng_Pb_Column_12>(12),<PbMng_Pb_Column_61>(61)",
        "-100,0(30_10_20_0_0_0_0_0),2(40_0_0_0_0_0_0_0),256(40_0_0_0_0_0_0_0),0(60_0_0_0_0_0_0_0),"
        "0(100_5_5_30_20_10_10_20),0(200_0_0_0_0_0_0_0),0(3_0_0_0_0_0_0_0)",
        // Cells hold "(flags)value" as the contact model keeps them (the vCard reader adds its
        // default number-type bits); each entry takes the first field of its type not yet taken.
        "1,(0)Kowalski;Jan;;;,(2050)+48600100200,(320)+48600300400,(64)jan@example.com,"
        "(1);;Prosta 1;Warszawa;;00-950;Polska,\"(0)met at the fair (2024), \"\"VIP\"\"\",(0)1",
        "2,(0)王;小明;;;,(320)13800000000,(0)_,(0)_,(0)_,(0)_,(0)_",
        // A contact of one note: every other entry is "no value".
        "3,(0)_,(0)_,(0)_,(0)_,(0)_,(0)only a note,(0)_",
        "",
    };
    EXPECT_EQ(lines.size(), want.size());
    for (size_t i = 0; i < lines.size() && i < want.size(); ++i)
        EXPECT_EQ(lines[i], want[i]) << "line " << i + 1;
    for (const std::string &l : lines)
        EXPECT_EQ(l.find('\r'), std::string::npos);
}

TEST_F(ContactCsv, ABookWithoutGroupsKeepsItsEmptyThirdLineAndWithoutSimRowsHasNoSimSection)
{
    int b = pb.AddFileBook(dir.file("p.csv"));
    pb.book(b).phoneType = {"M", "X"};
    save(b, StorageCode::Phone, {{kFieldName, -1, "P;"}, {kFieldTel, 0, "1"}});
    EXPECT_EQ(linesOf(exportText(b)), (Lines{"M,X", "", "", "Phone", "Index,Name(0),Tel(0),Group", "1,P;;;;,1,", ""}));

    // An empty book: the type line (two empty cells) and the two empty lines.
    int e = pb.AddFileBook(dir.file("e.csv"));
    EXPECT_EQ(exportText(e), ",\r\n\r\n\r\n");
}

TEST_F(ContactCsv, AValueWithLineBreaksStaysOnItsRow)
{
    int b = pb.AddFileBook(dir.file("n.csv"));
    pb.book(b).contactsTemplate = {param(kFieldName, 0, 0), param(kFieldNote, 0, 0)};
    save(b, StorageCode::Contacts, {{kFieldName, -1, "A;"}, {kFieldNote, 0, "line one\r\nline two\nthree"}});
    save(b, StorageCode::Contacts, {{kFieldName, -1, "B;"}});
    const std::string text = exportText(b);
    EXPECT_NE(text.find("(0)line one line two three"), std::string::npos);
    int c = pb.ImportFromCsv(dir.file("export-" + std::to_string(b) + ".csv"));
    auto got = entries(pb.book(c), StorageCode::Contacts);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].back().value, "line one line two three");
    EXPECT_EQ(got[2].size(), 1u);
}

TEST_F(ContactCsv, EntriesWrittenAsTheirPositionAloneAreReadBack)
{
    // Contacts without a template and a group without a name give lines of one cell: they are
    // entries, not the end of their section.
    int b = pb.AddFileBook(dir.file("bare.csv"));
    pb.book(b).limits.groupName = 8;
    save(b, StorageCode::Contacts, {{kFieldName, -1, "A;"}});
    save(b, StorageCode::Contacts, {{kFieldName, -1, "B;"}});
    save(b, StorageCode::Groups, {{kFieldNote, 0, "no name"}});
    save(b, StorageCode::Groups, {{kFieldName, -1, "G;"}});
    const std::string text = exportText(b);
    EXPECT_EQ(linesOf(text), (Lines{",", "", "Group", "Index,GroupName(8)", "1", "2,G;;;;", "", "Contact", "Index", "-100",
                                    "1", "2", ""}));
    int c = pb.ImportFromCsv(dir.file("export-" + std::to_string(b) + ".csv"));
    EXPECT_EQ(pb.GetCountText(c, StorageCode::Contacts), "2");
    EXPECT_EQ(pb.GetCountText(c, StorageCode::Groups), "2");
    EXPECT_EQ(pb.GetGroupNames(c), (std::vector<std::string>{"", "G"}));
    EXPECT_EQ(exportText(c), text);
}

TEST_F(ContactCsv, TheHandsetsBookCarriesTheConnectedHandsetsType)
{
    env.app.PhoneMan = "Acme";
    env.app.PhoneModel = "A100";
    pb.book(0).limits = {14, 40, 0, 0, 0};
    save(0, StorageCode::Groups, {{kFieldName, -1, "G;"}});
    EXPECT_EQ(linesOf(exportText(0)),
              (Lines{"Acme,A100", "", "Group", "Index,GroupName(0)", "1,G;;;;", ""}));
}

TEST_F(ContactCsv, ExportAfterACancelledReadWritesNothing)
{
    pb.handset().cancelled = true;
    const std::string path = dir.file("h.csv");
    EXPECT_EQ(pb.ExportToCsv(0, path), kPbCancelledRead);
    EXPECT_EQ(shown(), std::vector<std::string>{"<PbMng_MessCode1>"});
    EXPECT_FALSE(std::filesystem::exists(path));
    // A file book is not concerned.
    int b = pb.AddFileBook(dir.file("f.csv"));
    EXPECT_EQ(pb.ExportToCsv(b, path), 0);
    EXPECT_EQ(pb.ExportToCsv(7, path), kPbBadArg);
}

TEST_F(ContactCsv, AFailedExportIsReportedAndKeepsTheOldFile)
{
    int b = fixtureBook();
    const std::string path = dir.file("ro.csv");
    writeText(path, "old\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(pb.ExportToCsv(b, path), kPbFileError);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_NE(shown()[0].find(path), std::string::npos);
    EXPECT_EQ(readText(path), "old\r\n");

    EXPECT_EQ(pb.ExportToCsv(b, dir.file("missing/folder.csv")), kPbFileError);
    EXPECT_EQ(shown().size(), 2u);
}

// ---- The import's book and tree node ----

TEST_F(ContactCsv, TheImportAddsABookWithItsNodeAndAChildPerSectionGroupsLast)
{
    int a = fixtureBook();
    const std::string path = dir.file("my.contacts.csv");
    ASSERT_EQ(pb.ExportToCsv(a, path), 0);
    int b = pb.ImportFromCsv(path);
    ASSERT_EQ(b, pb.BookCount() - 1);
    const ContactTreeNode &node = pb.book(b).node;
    EXPECT_EQ(node.caption, "my.contacts");
    EXPECT_EQ(node.storage, 0);
    EXPECT_TRUE(node.expanded);
    std::vector<std::pair<std::string, int32_t>> children;
    for (const ContactTreeNode &c : node.children)
        children.emplace_back(c.caption, c.storage);
    EXPECT_EQ(children, (std::vector<std::pair<std::string, int32_t>>{
                            {"<PbMng_Tree_1>", 1}, {"<PbMng_Tree_2>", 2}, {"<PbMng_Tree_4>", 4}, {"<PbMng_Tree_8>", 8}}));
    // Rows: running ids, the driver storage word, positions as written.
    const platform::Table &t = pb.book(b).table;
    int32_t id = 0;
    for (const platform::Row &r : t.rows()) {
        EXPECT_EQ(r.intAt(size_t(t.fieldIndex("Id"))), ++id);
        int32_t pos = r.intAt(size_t(t.fieldIndex("Pos")));
        EXPECT_EQ(r.intAt(size_t(t.fieldIndex("Stor"))), pos == 1 ? 1 : 2);
    }
    EXPECT_EQ(id, 9);
}

TEST_F(ContactCsv, TheSameFileIsOpenedOnce)
{
    const std::string text = "M,X\r\n\r\n\r\nSIM\r\nIndex,Name(5),Tel(9),Group\r\n1,A,1,\r\n\r\n";
    int b = importText("twice.csv", text);
    ASSERT_EQ(b, 1);
    EXPECT_EQ(pb.ImportFromCsv(dir.file("twice.csv")), b);
    EXPECT_EQ(pb.ImportFromCsv(dir.path() + "/./sub/../twice.csv"), b);
    std::filesystem::path rel = std::filesystem::relative(dir.file("twice.csv"));
    EXPECT_EQ(pb.ImportFromCsv("./" + rel.string()), b);
    EXPECT_EQ(pb.BookCount(), 2);
    EXPECT_TRUE(shown().empty());
}

TEST_F(ContactCsv, AFileThatCannotBeReadAddsNoBook)
{
    EXPECT_EQ(pb.ImportFromCsv(dir.file("missing.csv")), kPbFileError);
    EXPECT_EQ(importText("empty.csv", ""), kPbFileError);
    EXPECT_EQ(pb.ImportFromCsv(dir.path()), kPbFileError);
    // A named pipe answers at once (no writer is waited for).
    ASSERT_EQ(::mkfifo(dir.file("pipe.csv").c_str(), 0600), 0);
    EXPECT_EQ(pb.ImportFromCsv(dir.file("pipe.csv")), kPbFileError);
    EXPECT_EQ(pb.BookCount(), 1);
    ASSERT_EQ(shown().size(), 4u);
    EXPECT_NE(shown()[0].find("missing.csv"), std::string::npos);
    EXPECT_NE(shown()[1].find("empty.csv"), std::string::npos);
    EXPECT_NE(shown()[3].find("pipe.csv: not a regular file (a named pipe)"), std::string::npos) << shown()[3];
    // The file can be opened once it is good.
    writeText(dir.file("empty.csv"), "M,X\r\n");
    EXPECT_EQ(pb.ImportFromCsv(dir.file("empty.csv")), 1);
    EXPECT_TRUE(pb.book(1).node.children.empty());
    EXPECT_EQ(pb.book(1).phoneType, (PhoneType{"M", "X"}));
}

// ---- Hostile files ----

struct HostileCase {
    const char *name;
    std::string text;
    // Expected: entries per storage (name=value lists by position), the shown message (a part of
    // it; empty: none), the storage codes of the node's children.
    std::map<int32_t, std::map<int32_t, std::vector<std::string>>> entries;
    std::string message;
    std::vector<int32_t> children;
};

const std::string kHead = "Man,Model\r\n\r\n\r\n";
const std::string kSimHead = "SIM\r\nIndex,Name(10),Tel(20),Group\r\n";

std::string manyCells(int n, const std::string &cell)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "," + cell;
    return s;
}

const std::vector<HostileCase> &hostileCases()
{
    static const std::vector<HostileCase> cases = {
        {"NoClosingEmptyLine", kHead + kSimHead + "1,Ann,123,\r\n2,Bob,456,", {{1, {{1, {"3=Ann;;;;", "5=123"}}, {2, {"3=Bob;;;;", "5=456"}}}}}, "", {1}},
        {"SectionWordOnTheLastLine", kHead + "SIM", {}, "", {}},
        {"NoLimitsLine",
         kHead + kSimHead + "1,Ann,1,\r\n\r\nContact\r\nIndex,N(3)\r\n1,(0)Bob\r\n\r\nPhone\r\nIndex,Name(1),Tel(2),Group\r\n1,C,2,\r\n",
         {{1, {{1, {"3=Ann;;;;", "5=1"}}}}},
         "line 10",
         {1}},
        {"HeadLimitIsNoNumber", kHead + "SIM\r\nIndex,Name(x),Tel(20),Group\r\n1,Ann,1,\r\n", {}, "line 5", {}},
        {"HeadLimitWithoutParentheses", kHead + "SIM\r\nIndex,Name,Tel(20),Group\r\n1,Ann,1,\r\n", {}, "line 5", {}},
        {"NegativeLimitIsNoLimit", kHead + "SIM\r\nIndex,Name(-5),Tel(20),Group\r\n1,Ann,1,\r\n", {{1, {{1, {"3=Ann;;;;", "5=1"}}}}}, "", {1}},
        {"HugeLimitIsCapped", kHead + "SIM\r\nIndex,Name(99999999999),Tel(20),Group\r\n1,Ann,1,\r\n", {{1, {{1, {"3=Ann;;;;", "5=1"}}}}}, "", {1}},
        {"LimitBeyond64Bits", kHead + "SIM\r\nIndex,Name(99999999999999999999),Tel(20),Group\r\n", {}, "line 5", {}},
        {"ContactTypeIsNoNumber", kHead + "Contact\r\nIndex,Name(x)\r\n-100,0(5)\r\n1,(0)A\r\n", {}, "line 5", {}},
        {"ContactTypeBeyond32Bits", kHead + "Contact\r\nIndex,Name(99999999999)\r\n-100,0(5)\r\n", {}, "line 5", {}},
        {"BadLimitsCell", kHead + "Contact\r\nIndex,N(3)\r\n-100,0(5_x)\r\n1,(0)A\r\n", {}, "line 6", {}},
        {"ContactTypes", kHead + "Contact\r\nIndex,Tel (home)(5),7,-7,Name(-3)\r\n-100,0(9),0(9),0(9),0(9)\r\n1,(2)12,(0)a@b,(0)c@d,(0)N\r\n",
                  // Fields come back in the contact model's own order of equal types.
         {{4, {{1, {"3=N;;;;", "5=12", "7=c@d", "7=a@b"}}}}}, "", {4}},
        {"FormulaLikeCellsAreKeptLiterally",
         kHead + kSimHead + "1,=1+1,+8613800138000,\r\n2,@x,-5,\r\n3,\"=HYPERLINK(\"\"x\"\")\",+1,\r\n",
         {{1, {{1, {"3==1+1;;;;", "5=+8613800138000"}}, {2, {"3=@x;;;;", "5=-5"}}, {3, {"3==HYPERLINK(\"x\");;;;", "5=+1"}}}}},
         "", {1}},
        {"ParenthesesOnlyStrippedInContacts",
         kHead + kSimHead + "1,Ann (work) B,1,\r\n\r\nContact\r\nIndex,N(3),Note(12)\r\n-100,0(0),0(0)\r\n1,(0)Ann (x),(0)_\r\n2,plain (y) z,(5\r\n\r\nGroup\r\nIndex,GroupName(5)\r\n1,(G) one\r\n",
         {{1, {{1, {"3=Ann (work) B;;;;", "5=1"}}}},
          {4, {{1, {"3=Ann (x);;;;"}}, {2, {"3=plain (y) z;;;;", "12=(5"}}}},
          {8, {{1, {"3=(G) one;;;;"}}}}},
         "", {1, 4, 8}},
        {"MissingAndExtraCells", kHead + kSimHead + "1,OnlyName\r\n2,N,5,1,extra,cells\r\n3\r\n",
         {{1, {{1, {"3=OnlyName;;;;"}}, {2, {"3=N;;;;", "5=5", "61=1"}}, {3, {}}}}}, "", {1}},
        {"PositionsMissingOrTakenGetFreeOnes", kHead + kSimHead + "2,A,1,\r\n,B,2,\r\n2,C,3,\r\nx,D,4,\r\n,,,\r\n-1,E,5,\r\n",
         {{1, {{2, {"3=A;;;;", "5=1"}}, {1, {"3=B;;;;", "5=2"}}, {3, {"3=C;;;;", "5=3"}}, {4, {"3=D;;;;", "5=4"}}, {5, {"3=E;;;;", "5=5"}}}}},
         "", {1}},
        {"ValueSplitOverTwoLines", kHead + kSimHead + "1,\"Ann\r\nB\",123,\r\n2,Bob,456,\r\n",
                  // The head of the broken value is an entry of its own and its tail one without a position;
         // the entries after it are read.
         {{1, {{1, {}}, {2, {"3=Bob;;;;", "5=456"}}, {3, {"3=123;;;;"}}}}}, "", {1}},
        {"NextSectionWithoutAnEmptyLineBefore", kHead + kSimHead + "1,A,1,\r\nPhone\r\nIndex,Name(1),Tel(1),Group\r\n1,B,2,\r\n",
         {{1, {{1, {"3=A;;;;", "5=1"}}}}, {2, {{1, {"3=B;;;;", "5=2"}}}}}, "", {1, 2}},
        {"SectionsInAnyCaseAndTwice", kHead + "sim\r\nIndex,Name(1),Tel(1),Group\r\n1,A,1,\r\n\r\nSiM\r\nIndex,Name(3),Tel(4),Group\r\n1,B,2,\r\n",
         {{1, {{1, {"3=A;;;;", "5=1"}}, {2, {"3=B;;;;", "5=2"}}}}}, "", {1}},
        {"ContactHeadOf10000Cells", kHead + "Contact\r\nIndex" + manyCells(10000, "N(12)") + "\r\n-100" + manyCells(10000, "0(5)") +
                                        "\r\n1" + manyCells(10000, "(0)x") + "\r\n",
         {{4, {{1, std::vector<std::string>(64, "12=x")}}}}, "", {4}},
        {"AnEntryTooLongForTheRowIsLeftOutAndCounted",
         kHead + "Contact\r\nIndex" + manyCells(64, "N(12)") + "\r\n-100\r\n1" + manyCells(64, "(0)" + std::string(60, 'y')) +
             "\r\n2,(0)short\r\n",
         {{4, {{2, {"12=short"}}}}}, "1 entry", {4}},
    };
    return cases;
}

void PrintTo(const HostileCase &c, std::ostream *os) { *os << c.name; }

class HostileFiles : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFiles, GiveWhatCouldBeReadAndReportTheRest)
{
    const HostileCase &c = GetParam();
    FakeEnv env;
    TPhoneBookManage pb(env);
    TempDir dir;
    writeText(dir.file("h.csv"), c.text);
    int b = pb.ImportFromCsv(dir.file("h.csv"));
    ASSERT_EQ(b, 1);
    for (StorageCode s : {StorageCode::Sim, StorageCode::Phone, StorageCode::Contacts, StorageCode::Groups}) {
        auto want = c.entries.count(toInt(s)) ? c.entries.at(toInt(s)) : std::map<int32_t, std::vector<std::string>>{};
        EXPECT_EQ(entryValues(pb.book(b), s), want) << "storage " << toInt(s);
    }
    std::vector<int32_t> children;
    for (const ContactTreeNode &n : pb.book(b).node.children)
        children.push_back(n.storage);
    EXPECT_EQ(children, c.children);
    if (c.message.empty()) {
        EXPECT_TRUE(env.prompt.texts().empty()) << env.prompt.texts()[0];
    } else {
        ASSERT_EQ(env.prompt.texts().size(), 1u);
        EXPECT_NE(env.prompt.texts()[0].find(c.message), std::string::npos) << env.prompt.texts()[0];
    }
    // Whatever was read can be written and read again unchanged.
    const std::string path = dir.file("again.csv");
    ASSERT_EQ(pb.ExportToCsv(b, path), 0);
    int again = pb.ImportFromCsv(path);
    EXPECT_EQ(pb.BuildCsv(again).ToText(), readText(path));
}

INSTANTIATE_TEST_SUITE_P(ContactCsv, HostileFiles, ::testing::ValuesIn(hostileCases()),
                         [](const ::testing::TestParamInfo<HostileCase> &p) { return std::string(p.param.name); });

TEST_F(ContactCsv, AStorageTakesAsManyEntriesAsAHandsetHasPositions)
{
    std::string text = kHead + kSimHead;
    for (int i = 1; i <= kMaxPositions + 2; ++i)
        text += std::to_string(i) + ",N,1,\r\n";
    int b = importText("many.csv", text);
    ASSERT_EQ(b, 1);
    EXPECT_EQ(pb.GetCountText(b, StorageCode::Sim), std::to_string(kMaxPositions));
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_NE(shown()[0].find("2 entries"), std::string::npos) << shown()[0];
}

TEST_F(ContactCsv, UnderscoreStandsForNoValueInContactsOnly)
{
    // "_" after "(flags)" is no value; a one-character value "_" is the price. A SIM name "_" is
    // kept, and so is a longer value that begins with it.
    int b = importText("u.csv", kHead + "SIM\r\nIndex,Name(0),Tel(0),Group\r\n1,_,1,\r\n\r\n"
                                        "Contact\r\nIndex,N(3),Note(12)\r\n-100,0(0),0(0)\r\n1,(0)_,(4)_\r\n2,(0)__,(0)_x\r\n");
    ASSERT_EQ(b, 1);
    EXPECT_EQ(entryValues(pb.book(b), StorageCode::Sim)[1], (std::vector<std::string>{"3=_;;;;", "5=1"}));
    auto contacts = entryValues(pb.book(b), StorageCode::Contacts);
    EXPECT_TRUE(contacts[1].empty());
    EXPECT_EQ(contacts[2], (std::vector<std::string>{"3=__;;;;", "12=_x"}));
}

TEST_F(ContactCsv, LimitsAndTemplateFromAFile)
{
    int b = importText("l.csv", kHead + "Group\r\nIndex,GroupName(-3)\r\n\r\nPhone\r\nIndex,Name(7),Tel(99999)\r\n\r\n"
                                        "Contact\r\nIndex,E(6),N(3),X(0)\r\n-100,64(50_1_2_3_4_5_6_7_8_9),-2(20),0(-4_-1)\r\n");
    ASSERT_EQ(b, 1);
    const ContactBook &bk = pb.book(b);
    EXPECT_EQ(bk.limits, (BookLimits{0, 0, 7, 2048, 0}));
    EXPECT_FALSE(pb.HasGroups(b));
    // Kept ordered by type, as every template is.
    EXPECT_EQ(bk.contactsTemplate, (TFieldParams{param(0, 0, 0), param(3, -2, 20), param(6, 64, 50, {1, 2, 3, 4, 5, 6, 7})}));
    EXPECT_TRUE(shown().empty());
}

} // namespace
