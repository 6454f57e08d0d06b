// The contact tree and lists, sort states, number captions, the picker's rows and the contact
// menus, computed from real books.

#include "content/contacts_view.h"
#include "content/fake_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace content;

namespace {

TMobileVacrd entry(const std::string &name, const std::string &tel, const std::string &grp = {})
{
    TMobileVacrd f{{kFieldName, -1, name}, {kFieldTel, 0, tel}};
    if (!grp.empty())
        f.push_back({kFieldGroup, 0, grp});
    return f;
}

std::vector<int32_t> positions(const ContactList &l)
{
    std::vector<int32_t> out;
    for (const ContactListRow &r : l.rows)
        out.push_back(r.pos);
    return out;
}

class ContactsView : public ::testing::Test {
protected:
    int32_t save(int book, StorageCode s, const TMobileVacrd &f)
    {
        int32_t pos = -1;
        EXPECT_EQ(pb.SaveContact(book, s, pos, f), 0);
        return pos;
    }
    FakeEnv env;
    TPhoneBookManage pb{env};
};

// ---- Tree ----

TEST_F(ContactsView, HandsetRootFollowsThePhoneBookFlags)
{
    ContactTreeNode root = BuildHandsetNode(env);
    EXPECT_EQ(root.caption, "<PbMng_Tree_0>");
    EXPECT_TRUE(root.expanded);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0].storage, 1);

    env.app.PbCap2 = env.app.PbCap8 = true;
    root = BuildHandsetNode(env);
    ASSERT_EQ(root.children.size(), 3u);
    EXPECT_EQ(root.children[1].caption, "<PbMng_Tree_2>");
    EXPECT_EQ(root.children[2].storage, 8);

    int b = pb.AddFileBook("/a/x.csv");
    pb.book(b).node = {"x", 0, {{"sim", 1, {}, false}}, true};
    ContactTree tree = BuildTree(pb, env);
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[1].caption, "x");
}

// ---- Lists ----

TEST_F(ContactsView, HandsetSimListsEveryReportedPosition)
{
    pb.SetStorageStatus(StorageCode::Sim, 1, 10, 0);
    save(0, StorageCode::Sim, entry(";Alice", "+4411"));
    save(0, StorageCode::Sim, entry("Bob;", "222"));
    ContactList l = FillList(pb, env, 0, StorageCode::Sim, 550);
    ASSERT_EQ(l.columns.size(), 4u);
    EXPECT_EQ(l.columns[0], (ListColumn{"<PbMng_Pb_Column_1>", 40}));
    EXPECT_EQ(l.columns[1], (ListColumn{"<PbMng_Pb_Column_3>", 200}));
    EXPECT_EQ(l.columns[3], (ListColumn{"<PbMng_Pb_Column_61>", 80}));
    ASSERT_EQ(l.rows.size(), 10u);
    // The driver's "N:;Alice" form (name as the given part) still shows the name.
    EXPECT_EQ(l.rows[0].cells[0], "Alice");
    EXPECT_EQ(l.rows[0].image, 3);
    EXPECT_GE(l.rows[0].id, 0);
    EXPECT_EQ(l.rows[1].cells[0], "Bob");
    int blank = 0;
    for (const ContactListRow &r : l.rows)
        blank += r.cells.empty() && r.id == -1;
    EXPECT_EQ(blank, 8);
    EXPECT_EQ(positions(l), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(ContactsView, FileBookBlankRowsRunFromOne)
{
    int b = pb.AddFileBook("/a/x.csv");
    save(b, StorageCode::Sim, entry("A;", "1"));
    save(b, StorageCode::Sim, entry("B;", "2"));
    save(b, StorageCode::Sim, entry("C;", "3"));
    pb.DeleteContacts(b, StorageCode::Sim, {2});
    ContactList l = FillList(pb, env, b, StorageCode::Sim, 550);
    // Rows 1 and 3, and position 2 blank; never a phantom row 0.
    EXPECT_EQ(positions(l), (std::vector<int32_t>{1, 3, 2}));
}

TEST_F(ContactsView, GroupNumbersOutsideTheListShowNothing)
{
    const std::vector<std::string> groups{"A", "B"};
    struct Case {
        const char *grp;
        const char *shown;
    };
    for (const Case &c : {Case{"2", "B"}, Case{" 1 ", "A"}, Case{"0", ""}, Case{"3", ""}, Case{"-100", ""},
                          Case{"x", ""}, Case{"99999999999999999999", ""}, Case{"1x", ""}}) {
        EXPECT_EQ(GroupNameOf(groups, c.grp), c.shown) << c.grp;
    }
    int b = pb.AddFileBook("/a/x.csv");
    pb.book(b).groupNames = groups;
    save(b, StorageCode::Sim, entry("A;", "1", "2"));
    save(b, StorageCode::Sim, entry("B;", "1", "3"));
    ContactList l = FillList(pb, env, b, StorageCode::Sim, 550);
    EXPECT_EQ(l.rows[0].cells[2], "B");
    EXPECT_EQ(l.rows[1].cells[2], "");
}

TEST_F(ContactsView, PendingCutHidesSimRowsButNotContacts)
{
    int b = pb.AddFileBook("/a/x.csv");
    int32_t s = save(b, StorageCode::Sim, entry("A;", "1"));
    int32_t c = save(b, StorageCode::Contacts, entry("C;", "2"));
    pb.book(b).contactsTemplate = {{kFieldName, 0, 20}, {kFieldTel, 0, 10}};
    ASSERT_TRUE(pb.SetClipboard(b, 1, 1, {s}));
    ContactList sim = FillList(pb, env, b, StorageCode::Sim, 550);
    for (const ContactListRow &r : sim.rows)
        EXPECT_EQ(r.id, -1);
    pb.clipboard() = {};
    ASSERT_TRUE(pb.SetClipboard(b, 4, 1, {c}));
    ContactList con = FillList(pb, env, b, StorageCode::Contacts, 550);
    ASSERT_EQ(con.rows.size(), 1u);
    EXPECT_EQ(con.rows[0].cells[0], "C");
}

TEST_F(ContactsView, ContactColumnsFollowTheTemplate)
{
    int b = pb.AddFileBook("/a/x.csv");
    pb.book(b).groupNames = {"Work"};
    pb.book(b).contactsTemplate = {
        {kFieldName, 0, 20}, {kFieldTel, 0, 15}, {kFieldTel, 0, 12}, {kFieldAddr, 0, 40}, {kFieldGroup, 0, 3}};
    TMobileVacrd f{{kFieldName, -1, "Smith;Ann"},
                   {kFieldTel, 256, "111"},
                   {kFieldTel, 0, "222"},
                   {kFieldAddr, 0, ";;Main St;Town;;;"},
                   {kFieldGroup, 0, "1"}};
    save(b, StorageCode::Contacts, f);
    ContactList l = FillList(pb, env, b, StorageCode::Contacts, 550);
    EXPECT_EQ(l.columns, (std::vector<ListColumn>{{"<PbMng_Pb_Column_1>", 60},
                                                  {"<PbMng_Pb_Column_3>", 50},
                                                  {"<PbMng_Pb_Column_5>", 40},
                                                  {"<PbMng_Pb_Column_5>", 34},
                                                  {"<PbMng_Pb_Column_8>", 90},
                                                  {"<PbMng_Pb_Column_61>", 80}}));
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_EQ(l.rows[0].cells, (std::vector<std::string>{"Smith Ann", "111", "222", "Town Main St", "Work"}));
}

TEST_F(ContactsView, GroupsShowTwoColumns)
{
    int b = pb.AddFileBook("/a/x.csv");
    save(b, StorageCode::Groups, {{kFieldName, -1, "Friends;"}});
    ContactList l = FillList(pb, env, b, StorageCode::Groups, 550);
    EXPECT_EQ(l.columns, (std::vector<ListColumn>{{"<PbMng_Pb_Column_1>", 60}, {"<PbMng_Pb_Column_3>", 200}}));
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_EQ(l.rows[0].cells, (std::vector<std::string>{"Friends"}));
}

TEST_F(ContactsView, UnknownBookGivesEmptyList)
{
    EXPECT_TRUE(FillList(pb, env, 7, StorageCode::Sim, 550).rows.empty());
    EXPECT_TRUE(FillList(pb, env, -1, StorageCode::Contacts, 550).columns.empty());
}

// ---- Captions and sort state ----

TEST_F(ContactsView, TelTypeCaptions)
{
    struct Case {
        int32_t flags;
        const char *text;
    };
    for (const Case &c : {Case{2 + 256, "<PbMng_ParamA2><PbMng_ParamB256>"}, Case{0, ""},
                          Case{1 + 64, "<PbMng_ParamA64>"}, Case{128 + 64, "<PbMng_ParamA64>"},
                          Case{256 + 2048, "<PbMng_ParamB2048>"}}) {
        EXPECT_EQ(GetTelTypeText(env, c.flags), c.text) << c.flags;
    }
}

TEST_F(ContactsView, SortStatePerStorage)
{
    EXPECT_EQ(GetSortState(pb, 0, 1), (SortState{0, 1}));
    EXPECT_EQ(GetSortState(pb, 0, 3).column, -100);
    EXPECT_EQ(GetSortState(pb, 5, 1).column, -100);
    SetSortState(pb, 0, 4, 2, -1);
    SetSortState(pb, 0, 3, 9, 9);
    SetSortState(pb, 9, 1, 9, 9);
    EXPECT_EQ(GetSortState(pb, 0, 4), (SortState{2, -1}));
    for (int s : {1, 2, 8})
        EXPECT_EQ(GetSortState(pb, 0, s), (SortState{0, 1})) << s;
}

TEST(ContactListOrder, PositionsByNumberOthersByBytesIgnoringAsciiCase)
{
    EXPECT_LT(CompareListTexts("9", "10", true), 0);
    EXPECT_EQ(CompareListTexts("abc", "ABC", false), 0);
    EXPECT_LT(CompareListTexts("abc", "abd", false), 0);
    EXPECT_LT(CompareListTexts("ab", "abc", false), 0);
    // Bytes past ASCII compare as unsigned bytes.
    EXPECT_LT(CompareListTexts("z", "\xc3\xa9", false), 0);
}

TEST_F(ContactsView, BookNamesByIndex)
{
    pb.AddFileBook("/one/contacts.csv");
    pb.AddFileBook("/two/contacts.csv");
    EXPECT_EQ(GetBookNames(pb, env), (std::vector<std::string>{"<PbMng_Tree_0>", "contacts", "contacts"}));
}

// ---- Picker ----

TEST_F(ContactsView, PickerRows)
{
    int b = pb.AddFileBook("/a/x.csv");
    save(b, StorageCode::Sim, entry(";Alice", "123"));
    save(b, StorageCode::Sim, {{kFieldName, -1, "NoNumber;"}});
    save(b, StorageCode::Contacts, entry("Plus;", "+4411"));
    save(b, StorageCode::Contacts, entry("Thirteen;", "1311"));
    save(b, StorageCode::Contacts, entry("Zeros;", "004411"));
    save(b, StorageCode::Contacts, {{kFieldName, -1, "Nothing;"}});
    save(b, StorageCode::Contacts,
         {{kFieldName, -1, "Many;"}, {kFieldTel, 0, "1"}, {kFieldTel, 256, "+2"}, {kFieldTel, 256, "+3"}, {kFieldTel, 0, "4"}});
    save(b, StorageCode::Contacts, {{kFieldName, -1, "First;"}, {kFieldTel, 0, "+5"}, {kFieldTel, 0, "6"}});
    save(b, StorageCode::Groups, {{kFieldName, -1, "G;"}});

    const std::vector<PickerRow> all{{"Alice", "123"}, {"NoNumber", ""},  {"Plus", "+4411"}, {"Thirteen", "1311"},
                                     {"Zeros", "004411"}, {"Many", "+3"}, {"First", "+5"}};
    EXPECT_EQ(FillNumberList(pb, b, false), all);
    const std::vector<PickerRow> mobile{{"Alice", "123"}, {"NoNumber", ""}, {"Plus", "+4411"},
                                        {"Thirteen", "1311"}, {"Many", "+3"}, {"First", "+5"}};
    EXPECT_EQ(FillNumberList(pb, b, true), mobile);
    EXPECT_TRUE(FillNumberList(pb, 9, false).empty());
}

TEST_F(ContactsView, SelectedNumbersAreTrimmedAndEndWithSemicolon)
{
    int b = pb.AddFileBook("/a/x.csv");
    int32_t p = save(b, StorageCode::Contacts, {{kFieldName, -1, "A;"}, {kFieldTel, 0, " 123 "}, {kFieldTel, 256, "+44"}});
    EXPECT_EQ(GetSelectedNumbers(pb, b, StorageCode::Contacts, p), "123;+44;");
    EXPECT_EQ(GetSelectedNumbers(pb, b, StorageCode::Contacts, p + 1), "");
    EXPECT_EQ(GetSelectedNumbers(pb, 9, StorageCode::Contacts, p), "");
}

// ---- Menus ----

TEST_F(ContactsView, MenuStates)
{
    const std::vector<ContactMenuItem> items{{"Delete", 1}, {"Paste", 99}, {"Other", 0}};
    int file = pb.AddFileBook("/a/x.csv");
    struct Case {
        int book;
        bool connected;
        int rows;
        int selected;
        int32_t storage;
        bool tag1;
        bool shown;
    };
    for (const Case &c : {Case{0, true, 3, 0, 1, true, true}, Case{0, false, 3, 3, 1, false, true},
                          Case{0, true, 0, 0, 1, false, true}, Case{file, false, 3, 1, 1, true, true},
                          Case{file, true, 3, 0, 1, false, true}, Case{0, true, 3, 1, 8, true, false},
                          Case{file, false, 3, 1, 8, true, false}}) {
        env.app.Connected = c.connected;
        NamedMenuState m = UpdateMenus(pb, env, c.book, c.storage, c.rows, c.selected, items);
        EXPECT_EQ(stateOf(m, "Delete").enabled, c.tag1) << c.book << c.connected << c.rows << c.selected;
        EXPECT_EQ(stateOf(m, "Delete").shown, c.shown);
        EXPECT_EQ(stateOf(m, "Other").shown, c.shown);
        EXPECT_EQ(stateOf(m, "Paste").enabled, false);
    }
    save(file, StorageCode::Sim, entry("A;", "1"));
    ASSERT_TRUE(pb.SetClipboard(file, 1, 0, {1}));
    EXPECT_EQ(stateOf(UpdateMenus(pb, env, file, 1, 1, 0, items), "Paste").enabled, true);
}

// Read and write follow what their commands need, as their tool-bar buttons do: a read only the
// link (an empty list is what it fills), a write changes to write.
TEST_F(ContactsView, ReadAndWriteAreEnabledWhenTheyCanRun)
{
    const std::vector<ContactMenuItem> items{{"menu_cont_read", 1}, {"button_loadcont", 1}, {"N88", 1},
                                             {"button_flash", 1}};
    const int file = pb.AddFileBook("/a/x.csv");
    struct Case {
        const char *what;
        int book;
        bool connected;
        bool changes;
        bool read, write;
    };
    for (const Case &c : {Case{"handset, empty list, connected", 0, true, false, true, false},
                          Case{"handset, not connected", 0, false, false, false, false},
                          Case{"file unchanged, connected", file, true, false, true, false},
                          Case{"file changed, not connected", file, false, true, false, true}}) {
        SCOPED_TRACE(c.what);
        env.app.Connected = c.connected;
        if (c.changes)
            save(c.book, StorageCode::Sim, entry("Changed;", "1"));
        const NamedMenuState m = UpdateMenus(pb, env, c.book, 1, 0, 0, items);
        EXPECT_EQ(stateOf(m, "menu_cont_read").enabled, c.read);
        EXPECT_EQ(stateOf(m, "button_loadcont").enabled, c.read);
        EXPECT_EQ(stateOf(m, "N88").enabled, c.write);
        EXPECT_EQ(stateOf(m, "button_flash").enabled, c.write);
    }
}

} // namespace
