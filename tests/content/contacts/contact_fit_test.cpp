// Fitting a contact to a storage's template, the templates themselves and which storages take new
// entries.

#include "content/fake_env.h"
#include "content/phonebook_manage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace content;

namespace {

FieldParam entry(int32_t type, int32_t maxLen, int32_t flags = 0)
{
    FieldParam p;
    p.type = type;
    p.flags = flags;
    p.maxLen = maxLen;
    return p;
}

const TVcardFields kEmpty{};

struct FitCase {
    const char *name;
    TFieldParams tmpl;
    StorageCode storage;
    TMobileVacrd in;
    TMobileVacrd out;
    bool fits = true;
};

std::vector<FitCase> fitCases()
{
    const TFieldParams sim{entry(kFieldName, 20), entry(kFieldTel, 20)};
    const TFieldParams simGroups{entry(kFieldName, 20), entry(kFieldTel, 20), entry(kFieldGroup, 10)};
    return {
        // SIM and phone memory: the first field of each kind wins; everything else is dropped.
        {"sim_first_of_each_kind",
         sim,
         StorageCode::Sim,
         {{kFieldName, 0, "A;"}, {kFieldName, 0, "B;"}, {kFieldTel, 0x140, "1"}, {kFieldTel, 0x802, "2"},
          {kFieldEmail, 0, "e@x"}, {kFieldGroup, 0, "2"}},
         {{kFieldName, -1, "A;"}, {kFieldTel, 0, "1"}}},
        {"phone_first_of_each_kind",
         sim,
         StorageCode::Phone,
         {{kFieldName, 0, "A;"}, {kFieldTel, 0x140, "1"}, {kFieldTel, 0x802, "2"}},
         {{kFieldName, -1, "A;"}, {kFieldTel, 0, "1"}}},
        {"sim_group_with_three_entries",
         simGroups,
         StorageCode::Sim,
         {{kFieldName, 0, "A;"}, {kFieldTel, 0, "1"}, {kFieldGroup, 0, "12345678901234"}, {kFieldGroup, 0, "9"}},
         {{kFieldName, -1, "A;"}, {kFieldTel, 0, "1"}, {kFieldGroup, 0, "12345678901234"}}},
        // Nothing left to store does not fit: stored, it would be an empty card.
        {"sim_nothing_to_fill", sim, StorageCode::Sim, {{kFieldEmail, 0, "e@x"}}, {kEmpty, kEmpty}, false},
        // Contacts: each entry takes the first field of its type not yet taken.
        {"contacts_first_not_taken",
         {entry(kFieldName, 0), entry(kFieldTel, 0, 0x100), entry(kFieldTel, 0, 0x800), entry(kFieldEmail, 5),
          entry(kFieldNote, 0)},
         StorageCode::Contacts,
         {{kFieldName, 0, "A;B"}, {kFieldTel, 0x802, "1"}, {kFieldTel, 0x140, "2"}, {kFieldTel, 0x140, "3"},
          {kFieldEmail, 0x1, "abcdefgh"}, {kFieldUrl, 0, "http://x"}},
         {{kFieldName, -1, "A;B"}, {kFieldTel, 0x802, "1"}, {kFieldTel, 0x140, "2"}, {kFieldEmail, 0x1, "abcde"},
          kEmpty}},
        {"contacts_address_cut_keeps_escapes",
         {entry(kFieldAddr, 2), entry(kFieldAddr, 5)},
         StorageCode::Contacts,
         {{kFieldAddr, 0x1, "a\\;b;c;d"}, {kFieldAddr, 0x2, "a\\;b;c;d"}},
         {{kFieldAddr, 0x1, "a\\;"}, {kFieldAddr, 0x2, "a\\;b;c"}}},
        {"contacts_group_number_not_cut",
         {entry(kFieldGroup, 1)},
         StorageCode::Contacts,
         {{kFieldGroup, 0, "12"}},
         {{kFieldGroup, 0, "12"}}},
        // Groups: the first N.
        {"groups_first_name",
         {entry(kFieldName, 3)},
         StorageCode::Groups,
         {{kFieldTel, 0, "1"}, {kFieldName, 0, "Friends;"}, {kFieldName, 0, "Other;"}},
         {{kFieldName, -1, "Fri;;;;"}}},
        // A limit of 0 (a handset that gave no lengths) or less cuts nothing.
        {"limit_zero_cuts_nothing",
         {entry(kFieldName, 0), entry(kFieldTel, 0)},
         StorageCode::Sim,
         {{kFieldName, 0, "Averyveryverylongname;Given"}, {kFieldTel, 0, "+4860012345678901234"}},
         {{kFieldName, -1, "Averyveryverylongname;Given"}, {kFieldTel, 0, "+4860012345678901234"}}},
        {"negative_limit_cuts_nothing",
         {entry(kFieldName, -1), entry(kFieldTel, -5)},
         StorageCode::Phone,
         {{kFieldName, 0, "Long name;"}, {kFieldTel, 0, "123456"}},
         {{kFieldName, -1, "Long name;"}, {kFieldTel, 0, "123456"}}},
        // A number is never cut: the contact does not fit.
        {"long_number_reported",
         {entry(kFieldName, 10), entry(kFieldTel, 5)},
         StorageCode::Sim,
         {{kFieldName, 0, "A;"}, {kFieldTel, 0, "123456"}},
         {{kFieldName, -1, "A;"}, {kFieldTel, 0, "123456"}},
         false},
        {"long_contacts_number_reported",
         {entry(kFieldTel, 3)},
         StorageCode::Contacts,
         {{kFieldTel, 0x140, "1234"}},
         {{kFieldTel, 0x140, "1234"}},
         false},
        {"number_at_limit_fits",
         {entry(kFieldName, 10), entry(kFieldTel, 6)},
         StorageCode::Sim,
         {{kFieldTel, 0, "123456"}},
         {kEmpty, {kFieldTel, 0, "123456"}}},
        // Names are counted in characters, as the driver writes them (parts joined by blanks).
        {"chinese_name_by_characters",
         {entry(kFieldName, 2), entry(kFieldTel, 0)},
         StorageCode::Sim,
         {{kFieldName, 0, "张三丰李;"}},
         {{kFieldName, -1, "张三;;;;"}, kEmpty}},
        {"chinese_name_fits_in_characters",
         {entry(kFieldName, 4), entry(kFieldTel, 0)},
         StorageCode::Sim,
         {{kFieldName, 0, "张三丰李;"}},
         {{kFieldName, -1, "张三丰李;"}, kEmpty}},
        {"name_at_limit_kept_as_is",
         {entry(kFieldName, 9), entry(kFieldTel, 0)},
         StorageCode::Sim,
         {{kFieldName, 0, "Kowal;Jan"}},
         {{kFieldName, -1, "Kowal;Jan"}, kEmpty}},
        {"name_cut_in_given_part",
         {entry(kFieldName, 7), entry(kFieldTel, 0)},
         StorageCode::Sim,
         {{kFieldName, 0, "Kowal;Jan"}},
         {{kFieldName, -1, "Kowal;J;;;"}, kEmpty}},
        {"name_cut_before_blank",
         {entry(kFieldName, 6), entry(kFieldTel, 0)},
         StorageCode::Sim,
         {{kFieldName, 0, "Kowal;Jan"}},
         {{kFieldName, -1, "Kowal;;;;"}, kEmpty}},
        {"name_prefix_comes_first",
         {entry(kFieldName, 5), entry(kFieldTel, 0)},
         StorageCode::Sim,
         {{kFieldName, 0, "Kowal;Jan;;Dr.;"}},
         {{kFieldName, -1, "K;;;Dr.;"}, kEmpty}},
        {"name_cut_keeps_escaped_semicolon",
         {entry(kFieldName, 2), entry(kFieldTel, 0)},
         StorageCode::Sim,
         {{kFieldName, 0, "A\\;B;C"}},
         {{kFieldName, -1, "A\\;;;;;"}, kEmpty}},
        {"name_cut_before_escaped_semicolon",
         {entry(kFieldName, 1), entry(kFieldTel, 0)},
         StorageCode::Sim,
         {{kFieldName, 0, "A\\;B;C"}},
         {{kFieldName, -1, "A;;;;"}, kEmpty}},
    };
}

class FitToStorageTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitToStorageTest, FitsFieldsToTemplate)
{
    const FitCase &c = GetParam();
    TMobileVacrd fields = c.in;
    EXPECT_EQ(TPhoneBookManage::FitFields(c.tmpl, c.storage, fields), c.fits);
    EXPECT_EQ(fields, c.out);
}

INSTANTIATE_TEST_SUITE_P(Rules, FitToStorageTest, ::testing::ValuesIn(fitCases()),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(FitToStorage, FittedContactBuildsWhatTheDriverCanWrite)
{
    // A fitted SIM entry written and read back keeps its cut name and its whole number.
    TMobileVacrd fields{{kFieldName, 0, "张三丰李;"}, {kFieldTel, 0x140, "+8613800138000"}, {kFieldNote, 0, "x"}};
    EXPECT_TRUE(TPhoneBookManage::FitFields({entry(kFieldName, 3), entry(kFieldTel, 20)}, StorageCode::Sim, fields));
    EXPECT_EQ(TPhoneBookManage::ParseContact(TPhoneBookManage::BuildContact(fields)),
              (TMobileVacrd{{kFieldName, 0, "张三丰;;;;"}, {kFieldTel, 0x840, "+8613800138000"}}));
}

// ---- Templates and new entries ----

class StorageQueries : public ::testing::Test {
protected:
    StorageQueries()
    {
        pb.book(0).limits = {14, 20, 16, 40, 12};
        pb.book(0).contactsTemplate = {entry(kFieldName, 30), entry(kFieldTel, 20, 0x100)};
        noGroups = pb.AddFileBook("/tmp/a.csv");
        withGroups = pb.AddFileBook("/tmp/b.csv");
        pb.book(noGroups).limits = {10, 11, 12, 13, 0};
        pb.book(withGroups).limits = {10, 11, 12, 13, 8};
    }

    FakeEnv env;
    TPhoneBookManage pb{env};
    int noGroups = 0;
    int withGroups = 0;
};

TEST_F(StorageQueries, GetStorageFields)
{
    struct Row {
        const char *name;
        bool pbCap8;
        int book;
        StorageCode storage;
        TFieldParams tmpl;
    };
    const std::vector<Row> rows{
        {"handset_sim", false, 0, StorageCode::Sim, {entry(3, 14), entry(5, 20)}},
        {"handset_sim_groups", true, 0, StorageCode::Sim, {entry(3, 14), entry(5, 20), entry(61, 12)}},
        {"handset_phone", false, 0, StorageCode::Phone, {entry(3, 16), entry(5, 40)}},
        {"handset_phone_groups", true, 0, StorageCode::Phone, {entry(3, 16), entry(5, 40), entry(61, 12)}},
        {"handset_groups", true, 0, StorageCode::Groups, {entry(3, 12)}},
        {"handset_contacts", false, 0, StorageCode::Contacts, {entry(3, 30), entry(5, 20, 0x100)}},
        {"file_without_groups", true, noGroups, StorageCode::Sim, {entry(3, 10), entry(5, 11)}},
        {"file_with_groups", false, withGroups, StorageCode::Phone, {entry(3, 12), entry(5, 13), entry(61, 8)}},
        {"file_groups", false, withGroups, StorageCode::Groups, {entry(3, 8)}},
        {"file_contacts_empty", false, withGroups, StorageCode::Contacts, {}},
        {"unknown_book", false, 7, StorageCode::Sim, {}},
    };
    for (const Row &r : rows) {
        env.app.PbCap8 = r.pbCap8;
        EXPECT_EQ(pb.GetStorageFields(r.book, r.storage), r.tmpl) << r.name;
    }
}

TEST_F(StorageQueries, CanAddEntry)
{
    pb.SetStorageStatus(StorageCode::Sim, 1, 250, 0);
    pb.SetStorageStatus(StorageCode::Contacts, 1, 500, 0);
    struct Row {
        int book;
        StorageCode storage;
        bool can;
    };
    const std::vector<Row> rows{
        {0, StorageCode::Sim, true},          {0, StorageCode::Phone, false},     // phone memory never read
        {0, StorageCode::Contacts, true},     {0, StorageCode::Groups, false},    //
        {noGroups, StorageCode::Sim, true},   {noGroups, StorageCode::Phone, true}, //
        {noGroups, StorageCode::Contacts, true}, {noGroups, StorageCode::Groups, false},
        {withGroups, StorageCode::Groups, false}, {9, StorageCode::Sim, false},
    };
    for (const Row &r : rows)
        EXPECT_EQ(pb.CanAddEntry(r.book, r.storage), r.can) << r.book << "/" << toInt(r.storage);
}

TEST_F(StorageQueries, LoadContactFitsForTheEditor)
{
    int32_t pos = -1;
    ASSERT_EQ(pb.SaveContact(noGroups, StorageCode::Sim, pos,
                             {{kFieldName, 0, "Bartholomew;"}, {kFieldTel, 0, "123456789012"}, {kFieldEmail, 0, "e@x"}}),
              0);
    bool fits = true;
    std::optional<TMobileVacrd> loaded = pb.LoadContact(noGroups, StorageCode::Sim, pos, &fits);
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(fits); // the number is longer than the book's 11
    EXPECT_EQ(*loaded, (TMobileVacrd{{kFieldName, -1, "Bartholome;;;;"}, {kFieldTel, 0, "123456789012"}}));
    EXPECT_FALSE(pb.LoadContact(noGroups, StorageCode::Sim, pos + 1));
    EXPECT_FALSE(pb.LoadContact(noGroups, StorageCode::Phone, pos));
}

} // namespace
