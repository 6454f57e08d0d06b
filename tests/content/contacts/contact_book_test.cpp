// Books and positions: saving new and changed contacts, position records on the handset, deleting
// and clearing, groups, the handset reset on disconnect, and Init with the card clients.

#include "content/fake_env.h"
#include "content/phonebook_manage.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

using namespace content;

namespace {

TMobileVacrd person(const std::string &name, const std::string &tel)
{
    return {{kFieldName, -1, name}, {kFieldTel, 0, tel}};
}

TMobileVacrd group(const std::string &name) { return {{kFieldName, -1, name + ";"}}; }

std::vector<PosState> statesOf(const HandsetStorage &hs, size_t n)
{
    std::vector<PosState> out;
    for (size_t i = 0; i < n && i < hs.idMng.size(); ++i)
        out.push_back(hs.idMng[i].state);
    return out;
}

// (Pos, PbId) of every row, in table order.
std::vector<std::pair<int32_t, int32_t>> rowKeys(const ContactBook &bk)
{
    std::vector<std::pair<int32_t, int32_t>> keys;
    const int pos = bk.table.fieldIndex("Pos"), id = bk.table.fieldIndex("PbId");
    for (const platform::Row &r : bk.table.rows())
        keys.emplace_back(r.intAt(size_t(pos)), r.intAt(size_t(id)));
    return keys;
}

std::string valueAt(const ContactBook &bk, StorageCode s, int32_t pbid)
{
    const int pos = bk.table.fieldIndex("Pos"), id = bk.table.fieldIndex("PbId"), v = bk.table.fieldIndex("Value");
    for (const platform::Row &r : bk.table.rows())
        if (r.intAt(size_t(pos)) == toInt(s) && r.intAt(size_t(id)) == pbid)
            return std::string(r.textAt(size_t(v)));
    return {};
}

class ContactBooks : public ::testing::Test {
protected:
    FakeEnv env;
    TPhoneBookManage pb{env};
};

// ---- File books ----

TEST_F(ContactBooks, FileBookGivesSmallestUnusedPosition)
{
    int b = pb.AddFileBook("/tmp/c.csv");
    for (int i = 0; i < 4; ++i) {
        int32_t pos = -1;
        ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, pos, person("N" + std::to_string(i) + ";", "1")), 0);
        EXPECT_EQ(pos, i + 1);
    }
    ASSERT_EQ(pb.DeleteContacts(b, StorageCode::Sim, {3}), 0);
    int32_t pos = -1;
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, pos, person("New;", "2")), 0);
    EXPECT_EQ(pos, 3);
    // Other storages count their positions on their own.
    pos = -1;
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Phone, pos, person("P;", "3")), 0);
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(pb.GetCountText(b, StorageCode::Sim), "4");
    EXPECT_EQ(pb.GetCountText(b, StorageCode::Phone), "1");
    EXPECT_EQ(pb.GetCountText(b, StorageCode::Groups), "0");
    EXPECT_TRUE(pb.book(b).changed);
    EXPECT_FALSE(pb.book(0).changed);
}

// Positions a file may hold (0, negative, repeated, far past the row count) and the other
// storages' positions leave the smallest free SIM position where it is.
TEST_F(ContactBooks, SmallestUnusedPositionIgnoresOddStoredPositions)
{
    struct Case {
        std::vector<std::pair<int32_t, int32_t>> rows; // storage code, position
        int32_t expected;
    };
    const std::vector<Case> cases{
        {{}, 1},
        {{{1, 0}, {1, -5}, {1, 2}, {1, 2}, {1, 1}, {1, 100000}, {2, 3}}, 3},
        {{{2, 1}, {4, 1}, {8, 1}}, 1},
        {{{1, 1}, {1, 2}, {1, 3}}, 4},
        {{{1, 3}, {1, 2}, {1, 1}, {1, 5}}, 4},
        {{{1, 2147483647}, {1, 1}}, 2},
    };
    for (const Case &c : cases) {
        int b = pb.AddFileBook("/tmp/odd.csv");
        platform::Table &t = pb.book(b).table;
        int id = 0;
        for (auto [storage, position] : c.rows) {
            t.append();
            t.setInt("Id", ++id);
            t.setInt("Stor", 1);
            t.setInt("Pos", storage);
            t.setInt("PbId", position);
            t.setText("Value", TPhoneBookManage::BuildContact(person("X;", "1")));
            t.post();
        }
        int32_t pos = -1;
        ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, pos, person("New;", "2")), 0);
        EXPECT_EQ(pos, c.expected) << "case with " << c.rows.size() << " rows";
    }
}

// Saves one by one take the smallest free position each time, also after the positions changed
// between them: another storage saved, a delete, a row moved by hand.
TEST_F(ContactBooks, SavesOneByOneFollowChangesBetweenThem)
{
    int b = pb.AddFileBook("/tmp/steps.csv");
    auto save = [&](StorageCode s) {
        int32_t pos = -1;
        EXPECT_EQ(pb.SaveContact(b, s, pos, person("N;", "1")), 0);
        return pos;
    };
    for (int32_t p = 1; p <= 5; ++p)
        EXPECT_EQ(save(StorageCode::Sim), p);
    EXPECT_EQ(save(StorageCode::Phone), 1);
    EXPECT_EQ(save(StorageCode::Sim), 6);
    ASSERT_EQ(pb.DeleteContacts(b, StorageCode::Sim, {2}), 0);
    EXPECT_EQ(save(StorageCode::Sim), 2);
    EXPECT_EQ(save(StorageCode::Sim), 7);

    platform::Table &t = pb.book(b).table;
    t.setFilter(platform::eq("Pos", toInt(StorageCode::Sim)) && platform::eq("PbId", 3));
    ASSERT_TRUE(t.edit());
    t.setInt("PbId", 50);
    t.post();
    t.clearFilter();
    EXPECT_EQ(save(StorageCode::Sim), 3);
    EXPECT_EQ(save(StorageCode::Sim), 8);

    // Saving at a taken position edits that entry and takes no new one.
    int32_t pos = 4;
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, pos, person("Edited;", "9")), 0);
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(save(StorageCode::Sim), 9);
    EXPECT_EQ(pb.GetCountText(b, StorageCode::Sim), "10") << "positions 1 to 9 and 50";
}

// Clearing a storage of a file book takes its rows only, and its positions start again from 1.
TEST_F(ContactBooks, ClearStorageTakesOnlyThatStorage)
{
    int b = pb.AddFileBook("/tmp/c.csv");
    for (int i = 0; i < 40; ++i) {
        int32_t pos = -1;
        const StorageCode s = i % 4 == 0 ? StorageCode::Phone : StorageCode::Sim;
        ASSERT_EQ(pb.SaveContact(b, s, pos, person("N" + std::to_string(i) + ";", "1")), 0);
    }
    ASSERT_EQ(pb.ClearStorage(b, StorageCode::Sim), 0);
    EXPECT_EQ(pb.GetCountText(b, StorageCode::Sim), "0");
    EXPECT_EQ(pb.GetCountText(b, StorageCode::Phone), "10");
    std::vector<std::pair<int32_t, int32_t>> phone;
    for (int32_t p = 1; p <= 10; ++p)
        phone.emplace_back(toInt(StorageCode::Phone), p);
    EXPECT_EQ(rowKeys(pb.book(b)), phone);
    int32_t pos = -1;
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, pos, person("Again;", "2")), 0);
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(pb.ClearStorage(b, StorageCode::Groups), 0); // nothing there
    EXPECT_EQ(pb.book(b).table.totalRows(), 11);
}

// Rows of a file may share a position (lines without one): deleting a position takes one row
// for each time it is listed, the first in table order, and only in the storage named.
TEST_F(ContactBooks, DeleteTakesOneRowPerListedPosition)
{
    int b = pb.AddFileBook("/tmp/c.csv");
    platform::Table &t = pb.book(b).table;
    const std::pair<StorageCode, int32_t> rows[] = {{StorageCode::Sim, 0}, {StorageCode::Phone, 0},
                                                    {StorageCode::Sim, 0}, {StorageCode::Sim, 5},
                                                    {StorageCode::Sim, 0}};
    int32_t id = 0;
    for (const auto &[s, p] : rows) {
        t.append();
        t.setInt("Id", ++id);
        t.setInt("Pos", toInt(s));
        t.setInt("PbId", p);
        t.setText("Value", "row " + std::to_string(id));
        t.post();
    }
    ASSERT_EQ(pb.DeleteContacts(b, StorageCode::Sim, {0}), 0);
    EXPECT_EQ(valueAt(pb.book(b), StorageCode::Sim, 0), "row 3");
    ASSERT_EQ(pb.DeleteContacts(b, StorageCode::Sim, {5, 0, 9}), 0);
    using Key = std::pair<int32_t, int32_t>;
    EXPECT_EQ(rowKeys(pb.book(b)), (std::vector<Key>{{2, 0}, {1, 0}}));
    EXPECT_EQ(valueAt(pb.book(b), StorageCode::Sim, 0), "row 5");
    ASSERT_EQ(pb.DeleteContacts(b, StorageCode::Sim, {0, 0}), 0);
    EXPECT_EQ(rowKeys(pb.book(b)), (std::vector<Key>{{2, 0}}));
}

TEST_F(ContactBooks, RowsGetIdsStorWordAndText)
{
    int b = pb.AddFileBook("/tmp/c.csv");
    int32_t p1 = -1, p2 = -1;
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, p1, person("A;", "1")), 0);
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Contacts, p2, person("B;", "2")), 0);
    const platform::Table &t = pb.book(b).table;
    ASSERT_EQ(t.totalRows(), 2);
    EXPECT_EQ(t.rows()[0].intAt(0), 1); // Id
    EXPECT_EQ(t.rows()[0].intAt(1), 1); // Stor: SIM
    EXPECT_EQ(t.rows()[1].intAt(0), 2);
    EXPECT_EQ(t.rows()[1].intAt(1), 2); // Stor: memory
    EXPECT_EQ(t.rows()[1].intAt(2), 4); // Pos
    EXPECT_EQ(valueAt(pb.book(b), StorageCode::Sim, 1),
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A;;;;\r\nTEL:1\r\nEND:VCARD\r\n");
}

TEST_F(ContactBooks, EditChangesTheRowInPlace)
{
    int b = pb.AddFileBook("/tmp/c.csv");
    int32_t pos = -1;
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, pos, person("A;", "1")), 0);
    pb.book(b).changed = false;
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, pos, person("A;", "999")), 0);
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(pb.book(b).table.totalRows(), 1);
    EXPECT_EQ(pb.LoadContact(b, StorageCode::Sim, 1), person("A;;;;", "999"));
    EXPECT_TRUE(pb.book(b).changed);
}

TEST_F(ContactBooks, TextLongerThanTheRowIsRefused)
{
    int b = pb.AddFileBook("/tmp/c.csv");
    int32_t pos = -1;
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Contacts, pos, {{kFieldNote, 0, std::string(1900, 'a')}}), 0);
    const std::string before = valueAt(pb.book(b), StorageCode::Contacts, pos);
    pb.book(b).changed = false;
    // Edit and new contact alike: refused whole, nothing cut, nothing changed.
    int32_t same = pos;
    EXPECT_EQ(pb.SaveContact(b, StorageCode::Contacts, same, {{kFieldNote, 0, std::string(2100, 'b')}}), kPbTooLong);
    int32_t fresh = -1;
    EXPECT_EQ(pb.SaveContact(b, StorageCode::Contacts, fresh, {{kFieldNote, 0, std::string(700, 'c') + std::string(700, 'd') + std::string(700, 'e')}}),
              kPbTooLong);
    EXPECT_EQ(fresh, -1);
    EXPECT_EQ(valueAt(pb.book(b), StorageCode::Contacts, pos), before);
    EXPECT_EQ(pb.book(b).table.totalRows(), 1);
    EXPECT_FALSE(pb.book(b).changed);
    // Nearly 2048 characters of Chinese text are 6 KiB and still fit a row counted in characters.
    std::string note;
    for (int i = 0; i < 1950; ++i)
        note += "\xE4\xB8\xAD";
    int32_t p = -1;
    EXPECT_EQ(pb.SaveContact(b, StorageCode::Contacts, p, {{kFieldNote, 0, note}}), 0);
    EXPECT_EQ(TPhoneBookManage::ParseContact(valueAt(pb.book(b), StorageCode::Contacts, p)),
              (TMobileVacrd{{kFieldNote, 0, note}}));
}

TEST_F(ContactBooks, InvalidGroupIsSkippedAndTheRestSaved)
{
    int b = pb.AddFileBook("/tmp/c.csv");
    int32_t pos = -1;
    TMobileVacrd fields = person("A;", "123");
    fields.push_back({kFieldGroup, 0, "x"});
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, pos, fields), 0);
    EXPECT_EQ(valueAt(pb.book(b), StorageCode::Sim, pos),
              "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A;;;;\r\nTEL:123\r\nEND:VCARD\r\n");
}

TEST_F(ContactBooks, UnknownBookIsRefused)
{
    int32_t pos = -1;
    EXPECT_EQ(pb.SaveContact(3, StorageCode::Sim, pos, person("A;", "1")), kPbBadArg);
    EXPECT_EQ(pb.DeleteContacts(-1, StorageCode::Sim, {1}), kPbBadArg);
    EXPECT_EQ(pb.ClearStorage(3, StorageCode::Sim), kPbBadArg);
    EXPECT_EQ(pb.LoadContact(3, StorageCode::Sim, 1), std::nullopt);
    EXPECT_EQ(pb.GetCountText(3, StorageCode::Sim), "0");
}

// ---- Handset positions ----

struct TransitionCase {
    const char *name;
    std::vector<PosState> before; // records of positions 1..n
    enum Op { New, Edit, Delete, Clear } op;
    int32_t position; // edited or deleted
    std::vector<PosState> after;
    int32_t newPosition = 0; // New: the position given
};

using S = PosState;

std::vector<TransitionCase> transitionCases()
{
    return {
        {"new_takes_free", {S::AsOnHandset, S::Free, S::Free}, TransitionCase::New, 0,
         {S::AsOnHandset, S::New, S::Free}, 2},
        {"new_takes_deleted", {S::AsOnHandset, S::Deleted, S::Free}, TransitionCase::New, 0,
         {S::AsOnHandset, S::Changed, S::Free}, 2},
        {"new_takes_first_of_free_and_deleted", {S::AsOnHandset, S::Free, S::Deleted}, TransitionCase::New, 0,
         {S::AsOnHandset, S::New, S::Deleted}, 2},
        {"edit_as_on_handset", {S::AsOnHandset, S::AsOnHandset, S::Free}, TransitionCase::Edit, 2,
         {S::AsOnHandset, S::Changed, S::Free}},
        {"edit_changed", {S::Changed, S::Free, S::Free}, TransitionCase::Edit, 1, {S::Changed, S::Free, S::Free}},
        {"delete_as_on_handset", {S::AsOnHandset, S::AsOnHandset, S::Free}, TransitionCase::Delete, 1,
         {S::Deleted, S::AsOnHandset, S::Free}},
        {"delete_changed", {S::Changed, S::Free, S::Free}, TransitionCase::Delete, 1, {S::Deleted, S::Free, S::Free}},
        {"delete_free_position_stays_free", {S::AsOnHandset, S::Free, S::Free}, TransitionCase::Delete, 2,
         {S::AsOnHandset, S::Free, S::Free}},
        {"clear", {S::AsOnHandset, S::Deleted, S::Changed, S::New, S::Free}, TransitionCase::Clear, 0,
         {S::Deleted, S::Deleted, S::Deleted, S::Deleted, S::Free}},
    };
}

class PositionTransitions : public ::testing::TestWithParam<TransitionCase> {};

TEST_P(PositionTransitions, RecordsFollowTheContact)
{
    const TransitionCase &c = GetParam();
    FakeEnv env;
    TPhoneBookManage pb(env);
    pb.SetStorageStatus(StorageCode::Sim, 1, int32_t(c.before.size()), 0);
    HandsetStorage &hs = pb.handsetStorage(StorageCode::Sim);
    platform::Table &t = pb.book(0).table;
    for (size_t i = 0; i < c.before.size(); ++i) {
        hs.idMng[i].state = c.before[i];
        if (c.before[i] == S::AsOnHandset || c.before[i] == S::Changed || c.before[i] == S::New) {
            t.append();
            t.setInt("Id", int32_t(i + 1));
            t.setInt("Stor", 1);
            t.setInt("Pos", 1);
            t.setInt("PbId", int32_t(i + 1));
            t.setText("Value", TPhoneBookManage::BuildContact(person("P" + std::to_string(i) + ";", "1")));
            t.post();
        }
    }
    const int rowsBefore = t.totalRows();
    int32_t pos = c.position;
    switch (c.op) {
    case TransitionCase::New:
        pos = -1;
        ASSERT_EQ(pb.SaveContact(0, StorageCode::Sim, pos, person("New;", "5")), 0);
        EXPECT_EQ(pos, c.newPosition);
        EXPECT_EQ(t.totalRows(), rowsBefore + 1);
        break;
    case TransitionCase::Edit:
        ASSERT_EQ(pb.SaveContact(0, StorageCode::Sim, pos, person("Edited;", "5")), 0);
        EXPECT_EQ(pos, c.position);
        EXPECT_EQ(t.totalRows(), rowsBefore);
        break;
    case TransitionCase::Delete:
        ASSERT_EQ(pb.DeleteContacts(0, StorageCode::Sim, {c.position}), 0);
        break;
    case TransitionCase::Clear:
        ASSERT_EQ(pb.ClearStorage(0, StorageCode::Sim), 0);
        EXPECT_EQ(t.totalRows(), 0);
        break;
    }
    EXPECT_EQ(statesOf(hs, c.after.size()), c.after);
    // The spare records past the last position are never touched.
    for (size_t i = c.before.size(); i < hs.idMng.size(); ++i)
        EXPECT_EQ(hs.idMng[i].state, S::Free);
    EXPECT_TRUE(env.prompt.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(Handset, PositionTransitions, ::testing::ValuesIn(transitionCases()),
                         [](const auto &p) { return std::string(p.param.name); });

TEST_F(ContactBooks, StatusRebuildsRecords)
{
    // last - first + 11 records: positions first..last and ten spare ones past the last.
    pb.SetStorageStatus(StorageCode::Phone, 1, 100, 3);
    const HandsetStorage &hs = pb.handsetStorage(StorageCode::Phone);
    ASSERT_EQ(hs.idMng.size(), 110u);
    EXPECT_EQ(hs.idMng.front(), (IdMngRec{1, 1, DriverStorage::Memory, S::Free}));
    EXPECT_EQ(hs.idMng.back(), (IdMngRec{110, 110, DriverStorage::Memory, S::Free}));
    EXPECT_EQ(hs.capCode, 3);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Contacts).idMng.size(), 0u);

    pb.SetStorageStatus(StorageCode::Sim, 5, 7, 0);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Sim).idMng.size(), 13u);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Sim).idMng[0].pos, 5);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Sim).idMng[0].stor, DriverStorage::Sim);
}

TEST_F(ContactBooks, StatusCountsAreNotTrusted)
{
    pb.SetStorageStatus(StorageCode::Sim, 1, INT32_MAX, 0);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Sim).idMng.size(), size_t(kMaxPositions + kSparePositions));
    pb.SetStorageStatus(StorageCode::Sim, INT32_MIN, INT32_MAX, 0);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Sim).idMng.size(), size_t(kMaxPositions + kSparePositions));
    pb.SetStorageStatus(StorageCode::Sim, INT32_MAX - 2, INT32_MAX, 0);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Sim).idMng.size(), 3u); // no position past INT32_MAX
    pb.SetStorageStatus(StorageCode::Sim, 10, 5, 0);
    EXPECT_EQ(pb.handsetStorage(StorageCode::Sim).idMng.size(), 10u);
    int32_t pos = -1;
    EXPECT_EQ(pb.SaveContact(0, StorageCode::Sim, pos, person("A;", "1")), kPbFull);
}

TEST_F(ContactBooks, StatusNeverReadShowsMessageAndChangesNothing)
{
    int32_t pos = -1;
    EXPECT_EQ(pb.SaveContact(0, StorageCode::Sim, pos, person("A;", "1")), kPbNoStatus);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(env.prompt.texts(), std::vector<std::string>{"<SmsMng_MessCode1>"});
    EXPECT_EQ(env.prompt.shown()[0].caption, "<Application_Hite_title>");
    EXPECT_EQ(pb.book(0).table.totalRows(), 0);
    EXPECT_FALSE(pb.book(0).changed);

    IdMngArray recs{{1, 1, DriverStorage::Sim, S::Free}};
    EXPECT_EQ(pb.AllocPosition(recs, -1, -1), kPbNoStatus);
    EXPECT_EQ(recs[0].state, S::Free);
}

TEST_F(ContactBooks, FullStorageAnswers100AndChangesNothing)
{
    pb.SetStorageStatus(StorageCode::Sim, 1, 100, 0);
    HandsetStorage &hs = pb.handsetStorage(StorageCode::Sim);
    for (int i = 0; i < 100; ++i)
        hs.idMng[size_t(i)].state = S::AsOnHandset;
    const IdMngArray before = hs.idMng;
    int32_t pos = -1;
    EXPECT_EQ(pb.SaveContact(0, StorageCode::Sim, pos, person("A;", "1")), kPbFull);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(hs.idMng, before); // positions 101..110 are never given out
    EXPECT_EQ(pb.book(0).table.totalRows(), 0);
    EXPECT_FALSE(pb.book(0).changed);
    EXPECT_TRUE(env.prompt.shown().empty()); // the caller reports it

    hs.idMng[99].state = S::Deleted;
    EXPECT_EQ(pb.SaveContact(0, StorageCode::Sim, pos, person("A;", "1")), 0);
    EXPECT_EQ(pos, 100);
    EXPECT_EQ(hs.idMng[99].state, S::Changed);
}

TEST_F(ContactBooks, AllocPositionStaysWithinFirstAndLast)
{
    IdMngArray recs{{1, 0, DriverStorage::Sim, S::Free},
                    {2, 1, DriverStorage::Sim, S::AsOnHandset},
                    {3, 2, DriverStorage::Sim, S::Free},
                    {4, 3, DriverStorage::Sim, S::Free}};
    EXPECT_EQ(pb.AllocPosition(recs, 2, 1), 2);
    EXPECT_EQ(recs[0].state, S::Free);
    EXPECT_EQ(recs[2].state, S::New);
    EXPECT_EQ(pb.AllocPosition(recs, 2, 1), kPbFull);
    EXPECT_EQ(recs[3].state, S::Free);
}

// ---- Groups ----

TEST_F(ContactBooks, NewGroupsGetDistinctPositionsAndNames)
{
    env.app.PbCap8 = true;
    for (int i = 0; i < 3; ++i) {
        int32_t pos = -1;
        ASSERT_EQ(pb.SaveContact(0, StorageCode::Groups, pos, group(std::string(1, char('A' + i)))), 0);
        EXPECT_EQ(pos, i + 1);
    }
    EXPECT_EQ(pb.GetGroupNames(0), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(rowKeys(pb.book(0)), (std::vector<std::pair<int32_t, int32_t>>{{8, 1}, {8, 2}, {8, 3}}));

    // Renaming group 2 rebuilds the names; an edited group carries its position as GRP.
    int32_t two = 2;
    ASSERT_EQ(pb.SaveContact(0, StorageCode::Groups, two, group("Friends")), 0);
    EXPECT_EQ(pb.GetGroupNames(0), (std::vector<std::string>{"A", "Friends", "C"}));
    EXPECT_EQ(TPhoneBookManage::ParseContact(valueAt(pb.book(0), StorageCode::Groups, 2)),
              (TMobileVacrd{{kFieldName, 0, "Friends;;;;"}, {kFieldGroup, 0, "2"}}));

    // A new group fills the gap a deleted one left, and its name lands at its position.
    ASSERT_EQ(pb.DeleteContacts(0, StorageCode::Groups, {1}), 0);
    int32_t pos = -1;
    ASSERT_EQ(pb.SaveContact(0, StorageCode::Groups, pos, group("Work")), 0);
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(pb.GetGroupNames(0), (std::vector<std::string>{"Work", "Friends", "C"}));
    pb.SetCurrentBook(0, StorageCode::Sim);
    EXPECT_EQ(pb.GetGroupNames(), pb.GetGroupNames(0));
    EXPECT_TRUE(env.prompt.shown().empty()); // groups need no status read
}

TEST_F(ContactBooks, GroupNamesIgnoreUnusablePositions)
{
    int b = pb.AddFileBook("/tmp/g.csv");
    platform::Table &t = pb.book(b).table;
    std::string longName;
    for (int i = 0; i < 30; ++i)
        longName += "\xE4\xB8\xAD"; // 90 bytes; a family name holds 79
    const std::pair<int32_t, std::string> rows[] = {
        {3, "C"}, {0, "Zero"}, {kMaxGroupPosition + 1, "Far"}, {1, "A"}, {4, longName}};
    for (const auto &[pbid, name] : rows) {
        t.append();
        t.setInt("Pos", 8);
        t.setInt("PbId", pbid);
        t.setText("Value", TPhoneBookManage::BuildContact(group(name)));
        t.post();
    }
    pb.RebuildGroupNames(b);
    ASSERT_EQ(pb.GetGroupNames(b).size(), 4u);
    EXPECT_EQ(pb.GetGroupNames(b)[0], "A");
    EXPECT_EQ(pb.GetGroupNames(b)[1], "");
    EXPECT_EQ(pb.GetGroupNames(b)[2], "C");
    EXPECT_EQ(pb.GetGroupNames(b)[3], longName.substr(0, 78)); // cut on a character boundary
}

// ---- Disconnect and start ----

TEST_F(ContactBooks, ClearContactsResetsTheHandsetWholly)
{
    env.app.PbCap8 = true;
    pb.SetStorageStatus(StorageCode::Sim, 1, 10, 1);
    pb.SetStorageStatus(StorageCode::Contacts, 1, 10, 3);
    pb.handset().groupsFirst = 1;
    pb.handset().groupsLast = 5;
    pb.handset().groupStorNumbers = {2, 2};
    pb.handset().cancelled = true;
    pb.book(0).limits = {14, 20, 16, 40, 12};
    pb.book(0).contactsTemplate = {FieldParam{kFieldName, 0, 20, {}, 0}};
    pb.book(0).phoneType = {"Man", "Model"};
    pb.book(0).sort[1] = {2, 0};
    int32_t pos = -1;
    ASSERT_EQ(pb.SaveContact(0, StorageCode::Sim, pos, person("A;", "1")), 0);
    int32_t g = -1;
    ASSERT_EQ(pb.SaveContact(0, StorageCode::Groups, g, group("G")), 0);
    ASSERT_EQ(pb.DeleteContacts(0, StorageCode::Sim, {pos}), 0); // a pending delete
    pb.clipboard() = {0, 1, 1, {1}};

    pb.ClearContacts();

    const ContactBook &bk = pb.book(0);
    EXPECT_EQ(bk.table.totalRows(), 0);
    EXPECT_TRUE(bk.groupNames.empty());
    EXPECT_TRUE(bk.contactsTemplate.empty());
    EXPECT_EQ(bk.limits, BookLimits{});
    EXPECT_EQ(bk.phoneType, PhoneType{});
    EXPECT_FALSE(bk.changed);
    for (StorageCode s : {StorageCode::Sim, StorageCode::Phone, StorageCode::Contacts}) {
        EXPECT_TRUE(pb.handsetStorage(s).idMng.empty());
        EXPECT_FALSE(pb.handsetStorage(s).statusRead());
        EXPECT_EQ(pb.handsetStorage(s).capCode, 0);
    }
    EXPECT_EQ(pb.handset().groupsFirst, -1);
    EXPECT_EQ(pb.handset().groupsLast, -1);
    EXPECT_TRUE(pb.handset().groupStorNumbers.empty());
    EXPECT_FALSE(pb.handset().cancelled);
    EXPECT_EQ(pb.clipboard().book, -1);
    EXPECT_TRUE(pb.clipboard().ids.empty());
    EXPECT_EQ(bk.sort[1], (SortState{2, 0})); // the user's sort order is a view setting
    // A new contact after the reset is refused until the new handset's status is read.
    pos = -1;
    EXPECT_EQ(pb.SaveContact(0, StorageCode::Sim, pos, person("B;", "2")), kPbNoStatus);
    // Numbering starts again.
    pb.SetStorageStatus(StorageCode::Sim, 1, 10, 0);
    ASSERT_EQ(pb.SaveContact(0, StorageCode::Sim, pos, person("B;", "2")), 0);
    EXPECT_EQ(pb.book(0).table.rows()[0].intAt(0), 1);
}

TEST_F(ContactBooks, ClearContactsKeepsFileBooksAndTheirClipboard)
{
    int b = pb.AddFileBook("/tmp/k.csv");
    int32_t pos = -1;
    ASSERT_EQ(pb.SaveContact(b, StorageCode::Sim, pos, person("A;", "1")), 0);
    pb.clipboard() = {b, 1, 1, {pos}};
    pb.ClearContacts();
    EXPECT_EQ(pb.book(b).table.totalRows(), 1);
    EXPECT_TRUE(pb.book(b).changed);
    EXPECT_EQ(pb.clipboard().book, b);
    EXPECT_EQ(pb.clipboard().ids, std::vector<int32_t>{pos});
}

class FakeCardClient : public CardClient {
public:
    explicit FakeCardClient(std::vector<std::pair<int32_t, uint64_t>> &log) : log_(log) {}
    void SetItf(int32_t itfId, uint64_t connSerial) override { log_.emplace_back(itfId, connSerial); }

private:
    std::vector<std::pair<int32_t, uint64_t>> &log_;
};

TEST_F(ContactBooks, InitMakesClientsResetsTheHandsetAndSetsFlags)
{
    pb.SetStorageStatus(StorageCode::Sim, 1, 10, 0);
    std::vector<int32_t> made;
    std::vector<std::pair<int32_t, uint64_t>> bound;
    std::vector<uint16_t> caps;
    env.app.PbCap4 = env.app.PbCap8 = true;
    pb.Init(
        [&](int32_t id) {
            made.push_back(id);
            return std::make_unique<FakeCardClient>(bound);
        },
        [&](uint16_t c) {
            caps.push_back(c);
            env.app.PbCap2 = c & kPbCapPhone;
            env.app.PbCap4 = c & kPbCapContacts;
            env.app.PbCap8 = c & kPbCapGroups;
        });
    EXPECT_EQ(made, (std::vector<int32_t>{12, 13, 14}));
    EXPECT_EQ(caps, std::vector<uint16_t>{kPbCapPhone});
    EXPECT_TRUE(env.app.PbCap2);
    EXPECT_FALSE(env.app.PbCap4);
    EXPECT_FALSE(env.app.PbCap8);
    for (StorageCode s : {StorageCode::Sim, StorageCode::Phone, StorageCode::Contacts})
        EXPECT_EQ(pb.handsetStorage(s).last, -1);
    EXPECT_TRUE(bound.empty());

    pb.BindCardClients(42);
    EXPECT_EQ(bound, (std::vector<std::pair<int32_t, uint64_t>>{{12, 42}, {13, 42}, {14, 42}}));
    EXPECT_NE(pb.cardClient(13), nullptr);
    EXPECT_EQ(pb.cardClient(11), nullptr);
    EXPECT_EQ(pb.BookCount(), 1);
    EXPECT_EQ(pb.FileCount(), 0);
}

} // namespace
