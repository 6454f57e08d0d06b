// The phrase manager over real table files in a temporary program folder: ids, names and texts
// that would break a query, what is saved at shut-down, the update modes, cut and paste, renames,
// and export and import of file pairs (damaged, foreign and missing files included).
#include "phrase_test_env.h"

#include "content/phrase_mng.h"
#include "core/db_schema.h"
#include "platform/table.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;
using content::PhraseRow;
using content::TPhraseMng;
using phrase_test::Session;
using phrase_test::slurp;

namespace {

std::vector<std::string> contents(const std::vector<PhraseRow> &rows)
{
    std::vector<std::string> out;
    for (const PhraseRow &r : rows)
        out.push_back(r.content);
    return out;
}

std::vector<int32_t> ids(const std::vector<PhraseRow> &rows)
{
    std::vector<int32_t> out;
    for (const PhraseRow &r : rows)
        out.push_back(r.id);
    return out;
}

using Strings = std::vector<std::string>;

} // namespace

// ---------------------------------------------------------------- ids

TEST(PhraseIds, FirstIsOneThenLastPlusOneSoADeletedLastIdComesBack)
{
    Session s;
    ASSERT_EQ(s->AddGroup("G"), 1);
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(s->AddPhrase("G", "p" + std::to_string(i)), i);
    s->DeletePhrase(5);
    EXPECT_EQ(s->AddPhrase("G", "again"), 5);
    s->DeletePhrase(3);
    EXPECT_EQ(s->AddPhrase("G", "after a gap"), 6);

    for (int i = 2; i <= 5; ++i)
        EXPECT_EQ(s->AddGroup("G" + std::to_string(i)), i);
    s->DeleteGroup("G5");
    EXPECT_EQ(s->AddGroup("G5 again"), 5);

    // The numbering goes on from the files in the next session.
    s.restart();
    EXPECT_EQ(s->AddPhrase("G", "next session"), 7);
    EXPECT_EQ(s->AddGroup("G6"), 6);
}

// ---------------------------------------------------------------- names and texts

TEST(PhraseNames, QuotesApostrophesAndNonAsciiRoundTrip)
{
    const std::string mum = "Mum's \"best\" phrases";
    const std::string other = "Ærøskøbing 你好 'x'";
    const std::string text = "It's \"ok\" — 谢谢, Grüße\tand a tab";
    Session s;
    ASSERT_EQ(s->AddGroup(mum), 1);
    ASSERT_EQ(s->AddGroup(other), 2);
    EXPECT_TRUE(s->GroupExists(mum));
    EXPECT_EQ(s->GroupId(other), 2);
    EXPECT_EQ(s->AddGroup(mum), 0) << "taken";
    ASSERT_EQ(s->AddPhrase(mum, text), 1);
    EXPECT_EQ(contents(s->FillList(mum)), Strings{text});

    const std::string renamed = "Mum's 'new' «name»";
    ASSERT_TRUE(s->RenameGroup(mum, renamed));
    EXPECT_FALSE(s->GroupExists(mum));
    EXPECT_EQ(s->GroupId(renamed), 1);
    EXPECT_EQ(contents(s->FillList(renamed)), Strings{text});

    // Saved and loaded again.
    s.restart();
    EXPECT_EQ(s->GroupNames(), (Strings{renamed, other}));
    EXPECT_EQ(contents(s->FillList(renamed)), Strings{text});

    // Exported and imported into an empty program folder.
    const std::string file = s.tree.path("out/it's.ase");
    fs::create_directories(s.tree.path("out"));
    ASSERT_TRUE(s->ExportToFile(file));
    Session fresh;
    ASSERT_TRUE(fresh->ImportFromFile(file));
    EXPECT_EQ(fresh->GroupNames(), (Strings{renamed, other}));
    EXPECT_EQ(contents(fresh->FillList(renamed)), Strings{text});
}

TEST(PhraseNames, ExactBytesDecideAndLongNamesAreCutAlikeEverywhere)
{
    Session s;
    ASSERT_EQ(s->AddGroup("Work"), 1);
    EXPECT_EQ(s->AddGroup("work"), 2) << "case matters";
    EXPECT_EQ(s->AddGroup("Work "), 3) << "blanks matter";
    EXPECT_EQ(s->AddGroup(""), 0);
    EXPECT_FALSE(s->GroupExists("WORK"));

    // A name longer than the table's 100 characters is kept cut, and found by its long form too.
    std::string longName;
    for (int i = 0; i < 120; ++i)
        longName += "ж";
    ASSERT_EQ(s->AddGroup(longName), 4);
    ASSERT_EQ(s->GroupNames().back().size(), 200u) << "100 two-byte characters";
    EXPECT_TRUE(s->GroupExists(longName));
    EXPECT_EQ(s->AddPhrase(longName, "x"), 1);
    EXPECT_EQ(s->FillList(s->GroupNames().back()).size(), 1u);
}

// ---------------------------------------------------------------- saving

TEST(PhraseSave, WithoutLoadBothFilesStayByteIdentical)
{
    Session s;
    s->AddGroup("Kept");
    s->AddPhrase("Kept", "do not lose me");
    s.restart();
    const std::string groups = slurp(s.groupFile());
    const std::string phrases = slurp(s.phraseFile());
    ASSERT_FALSE(groups.empty());
    ASSERT_FALSE(phrases.empty());
    // A session that never shows the phrases.
    s.restart();
    EXPECT_EQ(slurp(s.groupFile()), groups);
    EXPECT_EQ(slurp(s.phraseFile()), phrases);
    EXPECT_TRUE(s.env.prompt.shown().empty());
}

TEST(PhraseSave, AfterLoadChangesAreWrittenBack)
{
    Session s;
    s->Load();
    s.restart();
    EXPECT_TRUE(fs::exists(s.groupFile())) << "a loaded empty table is saved";
    EXPECT_TRUE(fs::exists(s.phraseFile()));
    s->AddGroup("A");
    s->AddPhrase("A", "one");
    s->AddPhrase("A", "two");
    s.restart();
    EXPECT_EQ(s->GroupNames(), Strings{"A"});
    EXPECT_EQ(contents(s->FillList("A")), (Strings{"one", "two"}));
}

// A damaged phrase file is kept as "<file>.damaged", the phrases start empty and the library
// works on: one box names the file and where it went, the groups stay, new phrases are saved.
TEST(PhraseSave, ADamagedPhraseFileIsSetAsideAndThePhrasesStartEmpty)
{
    Session s;
    s->AddGroup("A");
    s->AddPhrase("A", "one");
    s.end();
    const std::string damaged = "SVKTABLE but cut short";
    {
        std::ofstream(s.phraseFile(), std::ios::binary | std::ios::trunc) << damaged;
    }
    s.start();
    s->Load();
    ASSERT_EQ(s.env.prompt.shown().size(), 1u);
    const std::string box = s.env.prompt.shown()[0].text;
    EXPECT_EQ(box.rfind(core::kDbCorrupted, 0), 0u) << box;
    EXPECT_NE(box.find("kept as " + s.phraseFile() + ".damaged;"), std::string::npos) << box;
    EXPECT_TRUE(s->writable());
    EXPECT_EQ(s->GroupNames(), Strings{"A"}) << "the groups still show";
    EXPECT_TRUE(contents(s->FillList("A")).empty());
    EXPECT_EQ(slurp(s.phraseFile() + ".damaged"), damaged);
    s->AddPhrase("A", "new");
    s->Load(); // once per session: no second box
    EXPECT_EQ(s.env.prompt.shown().size(), 1u);
    s.restart();
    EXPECT_EQ(contents(s->FillList("A")), Strings{"new"});
    EXPECT_EQ(slurp(s.phraseFile() + ".damaged"), damaged);
}

TEST(PhraseSave, TablesWrittenWithAnotherFieldOrderAreReadByName)
{
    Session s;
    s.end();
    using platform::FieldType;
    platform::Table g({{"pM", FieldType::Text, 100}, {"id", FieldType::Integer}});
    g.append();
    g.setText("pM", "Old");
    g.setInt("id", 7);
    g.post();
    ASSERT_TRUE(g.save(s.groupFile()));
    platform::Table p({{"RecordTime", FieldType::Text, 30},
                       {"Note", FieldType::Text, 10},
                       {"Content", FieldType::Text, 500},
                       {"UseCount", FieldType::Integer},
                       {"Mid", FieldType::Integer},
                       {"id", FieldType::Integer}});
    p.append();
    p.setText("RecordTime", "2020-01-01 00:00:00");
    p.setText("Content", "kept");
    p.setInt("UseCount", 3);
    p.setInt("Mid", 7);
    p.setInt("id", 4);
    p.post();
    ASSERT_TRUE(p.save(s.phraseFile()));
    s.start();
    EXPECT_EQ(s->GroupNames(), Strings{"Old"});
    EXPECT_EQ(s->FillList("Old"), (std::vector<PhraseRow>{{4, "kept", "2020-01-01 00:00:00", 3}}));
    EXPECT_EQ(s->AddGroup("New"), 8);
    EXPECT_EQ(s->AddPhrase("Old", "new"), 5);
    s.restart();
    EXPECT_EQ(contents(s->FillList("Old")), (Strings{"kept", "new"}));
}

TEST(PhraseSave, TablesWhoseIdsAreUsedUpTakeNoMore)
{
    Session s;
    s->AddGroup("A");
    s->AddPhrase("A", "one");
    s.end();
    for (core::DbTable t : {core::DbTable::PhraseGroup, core::DbTable::Phrase}) {
        platform::Table table = core::makeDbTable(t);
        const std::string file = t == core::DbTable::Phrase ? s.phraseFile() : s.groupFile();
        ASSERT_TRUE(table.load(file));
        ASSERT_TRUE(table.locate("id", 1));
        table.edit();
        table.setInt("id", INT32_MAX);
        if (t == core::DbTable::Phrase)
            table.setInt("Mid", INT32_MAX);
        table.post();
        ASSERT_TRUE(table.save(file));
    }
    s.start();
    EXPECT_EQ(s->AddGroup("B"), 0);
    EXPECT_EQ(s->AddPhrase("A", "two"), 0);
    s->Cut({INT32_MAX});
    EXPECT_FALSE(s->Paste("A"));
    EXPECT_EQ(contents(s->FillList("A")), Strings{});
    s->Cut({});
    EXPECT_EQ(contents(s->FillList("A")), Strings{"one"});
    EXPECT_EQ(s.env.prompt.texts(),
              (Strings{content::kPhraseNoIdLeft, content::kPhraseNoIdLeft, content::kPhraseNoIdLeft}));

    Session other;
    other->AddGroup("B");
    other->AddPhrase("B", "b");
    other.tree.dir("out");
    ASSERT_TRUE(other->ExportToFile(other.tree.path("out/b.ase")));
    s.env.prompt.clear();
    EXPECT_FALSE(s->ImportFromFile(other.tree.path("out/b.ase")));
    EXPECT_EQ(s.env.prompt.shown().size(), 1u);
    EXPECT_EQ(s->GroupNames(), Strings{"A"});

    // A named pipe in place of the file pair is refused at once, not waited on.
    ASSERT_EQ(::mkfifo(other.tree.path("out/p.ase").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(other.tree.path("out/p.Sys").c_str(), 0600), 0);
    s.env.prompt.clear();
    EXPECT_FALSE(s->ImportFromFile(other.tree.path("out/p.ase")));
    EXPECT_EQ(s.env.prompt.shown().size(), 1u);
    EXPECT_EQ(s->GroupNames(), Strings{"A"});
}

// ---------------------------------------------------------------- update modes

TEST(PhraseUpdate, ModesZeroOneAndOther)
{
    struct Case {
        int mode;
        const char *group;
        int32_t id;
        bool changes;
        const char *content;
        bool timeIsNow;
        int32_t uses;
        const char *movedTo;
    };
    const Case cases[] = {
        {0, "B", 1, true, "new text", true, 0, "B"},
        {1, "A", 1, true, "old text", false, 4, "A"},
        {1, "B", 1, true, "old text", false, 4, "B"},
        {7, "A", 1, true, "old text", false, 0, "A"},
        {-1, "A", 1, true, "old text", false, 0, "A"},
        {0, "nobody", 1, false, "old text", false, 3, "A"},
        {0, "", 1, false, "old text", false, 3, "A"},
        {0, "A", 99, false, "old text", false, 3, "A"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " group '" << c.group << "' id " << c.id);
        Session s;
        phrase_test::setTime(s.env, 2026, 1, 2, 3, 4, 5);
        s->AddGroup("A");
        s->AddGroup("B");
        ASSERT_EQ(s->AddPhrase("A", "old text"), 1);
        for (int i = 0; i < 3; ++i)
            s->UpdatePhrase(1, "A", "", 1);
        phrase_test::setTime(s.env, 2027, 11, 12, 13, 14, 15);
        EXPECT_EQ(s->UpdatePhrase(c.id, c.group, "new text", c.mode), c.changes);
        s.restart();
        const std::vector<PhraseRow> rows = s->FillList(c.movedTo);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].id, 1);
        EXPECT_EQ(rows[0].content, c.content);
        EXPECT_EQ(rows[0].recordTime, c.timeIsNow ? "2027-11-12 13:14:15" : "2026-01-02 03:04:05");
        EXPECT_EQ(rows[0].useCount, c.uses);
    }
}

// ---------------------------------------------------------------- cut and paste

TEST(PhraseCut, CutPhrasesAreHiddenAndALaterCutReplacesTheBuffer)
{
    Session s;
    s->AddGroup("A");
    s->AddGroup("B");
    for (const char *t : {"a1", "a2", "a3"})
        s->AddPhrase("A", t);
    s->AddPhrase("B", "b1"); // id 4
    s->Cut({1, 4});
    EXPECT_TRUE(s->IsCut(1));
    EXPECT_TRUE(s->hasCut());
    EXPECT_EQ(contents(s->FillList("A")), (Strings{"a2", "a3"}));
    EXPECT_TRUE(s->FillList("B").empty());
    s->Cut({2});
    EXPECT_FALSE(s->IsCut(1));
    EXPECT_EQ(contents(s->FillList("A")), (Strings{"a1", "a3"}));
    EXPECT_EQ(contents(s->FillList("B")), Strings{"b1"});
}

TEST(PhraseCut, PasteIntoTheOwnGroupGivesNewIdsTheCurrentTimeAndNoUses)
{
    Session s;
    phrase_test::setTime(s.env, 2026, 5, 6, 7, 8, 9);
    s->AddGroup("A");
    s->AddPhrase("A", "first");
    s->AddPhrase("A", "second");
    s->AddPhrase("A", "third");
    s->UpdatePhrase(1, "A", "", 1);
    phrase_test::setTime(s.env, 2026, 5, 6, 10, 0, 0);
    s->Cut({1, 2});
    ASSERT_TRUE(s->Paste("A"));
    EXPECT_FALSE(s->hasCut());
    const std::vector<PhraseRow> rows = s->FillList("A");
    ASSERT_EQ(ids(rows), (std::vector<int32_t>{3, 4, 5}));
    EXPECT_EQ(rows[1], (PhraseRow{4, "first", "2026-05-06 10:00:00", 0}));
    EXPECT_EQ(rows[2], (PhraseRow{5, "second", "2026-05-06 10:00:00", 0}));
}

TEST(PhraseCut, PasteIntoTheRootOrADeletedGroupKeepsThePhrases)
{
    Session s;
    s->AddGroup("A");
    s->AddGroup("B");
    s->AddPhrase("A", "keep me");
    s->Cut({1});
    EXPECT_FALSE(s->Paste("")) << "the root node has no group";
    EXPECT_FALSE(s->Paste("nobody"));
    s->DeleteGroup("B");
    EXPECT_FALSE(s->Paste("B"));
    EXPECT_TRUE(s->IsCut(1)) << "the buffer stays";
    s->Cut({});
    EXPECT_EQ(contents(s->FillList("A")), Strings{"keep me"});
    s->Cut({1});
    ASSERT_TRUE(s->Paste("A"));
    s.restart();
    EXPECT_EQ(contents(s->FillList("A")), Strings{"keep me"});
}

TEST(PhraseCut, DeletingCutPhrasesOrTheirGroupEmptiesTheBufferOfThem)
{
    Session s;
    s->AddGroup("A");
    s->AddGroup("B");
    s->AddPhrase("A", "a1");
    s->AddPhrase("B", "b1");
    s->AddPhrase("B", "b2"); // the last id: reused after a delete
    s->Cut({1, 3});
    s->DeletePhrase(3);
    EXPECT_EQ(s->cutIds(), std::vector<int32_t>{1});
    EXPECT_EQ(s->AddPhrase("B", "born visible"), 3);
    EXPECT_EQ(contents(s->FillList("B")), (Strings{"b1", "born visible"}));

    s->DeleteGroup("A");
    EXPECT_FALSE(s->hasCut());
    EXPECT_EQ(s->AddGroup("A"), 3);
    s->AddPhrase("B", "x");
    s->Cut({2});
    s->ClearGroup("B");
    EXPECT_FALSE(s->hasCut());
    EXPECT_FALSE(s->Paste("A")) << "nothing to paste";
    EXPECT_TRUE(s->FillList("A").empty());
}

// ---------------------------------------------------------------- groups

TEST(PhraseGroups, RenameToATakenOrEmptyNameIsRefused)
{
    Session s;
    s->AddGroup("A");
    s->AddGroup("B");
    s->AddPhrase("B", "in B");
    EXPECT_FALSE(s->RenameGroup("A", "B"));
    EXPECT_FALSE(s->RenameGroup("A", ""));
    EXPECT_FALSE(s->RenameGroup("nobody", "C"));
    EXPECT_EQ(s->GroupNames(), (Strings{"A", "B"}));
    EXPECT_TRUE(s->RenameGroup("B", "B")) << "the same name: nothing to do";
    EXPECT_TRUE(s->RenameGroup("B", "b"));
    s.restart();
    EXPECT_EQ(s->GroupNames(), (Strings{"A", "b"}));
    EXPECT_EQ(contents(s->FillList("b")), Strings{"in B"});
}

TEST(PhraseGroups, DeleteAndClearTakeOnlyTheirGroupsPhrases)
{
    Session s;
    s->AddGroup("A");
    s->AddGroup("B");
    for (int i = 0; i < 4; ++i) {
        s->AddPhrase("A", "a" + std::to_string(i));
        s->AddPhrase("B", "b" + std::to_string(i));
    }
    s->ClearGroup("A");
    EXPECT_TRUE(s->FillList("A").empty());
    EXPECT_EQ(s->FillList("B").size(), 4u);
    EXPECT_EQ(s->GroupNames(), (Strings{"A", "B"}));
    s->DeleteGroup("B");
    EXPECT_EQ(s->GroupNames(), Strings{"A"});
    s->DeleteGroup("");
    s->ClearGroup("nobody");
    s.restart();
    EXPECT_EQ(s->GroupNames(), Strings{"A"});
    EXPECT_EQ(s.db->table(core::DbTable::Phrase).totalRows(), 0);
}

TEST(PhraseGroups, ABigGroupGoesWithoutTouchingTheOthers)
{
    Session s;
    s->AddGroup("Big");
    s->AddGroup("Small");
    std::vector<PhraseRow> small;
    for (int i = 0; i < 60; ++i) {
        phrase_test::setTime(s.env, 2026, 1, 1 + i % 28, 0, 0, i % 60);
        s->AddPhrase(i % 3 ? "Big" : "Small", "phrase " + std::to_string(i) + " it's");
    }
    s->UpdatePhrase(4, "Small", "", 1);
    s->Cut({2, 4, 5});
    s->DeleteGroup("Big");
    EXPECT_EQ(s->cutIds(), std::vector<int32_t>{4});
    s->Cut({});
    small = s->FillList("Small");
    ASSERT_EQ(small.size(), 20u);
    EXPECT_EQ(small[0], (PhraseRow{1, "phrase 0 it's", "2026-01-01 00:00:00", 0}));
    EXPECT_EQ(small[1], (PhraseRow{4, "phrase 3 it's", "2026-01-04 00:00:03", 1}));
    EXPECT_EQ(s->AddPhrase("Small", "after"), 59) << "phrase 59 (id 60) was in Big";
    s.restart();
    EXPECT_EQ(s->FillList("Small").size(), 21u);
    EXPECT_EQ(s.db->table(core::DbTable::Phrase).totalRows(), 21);
}

// ---------------------------------------------------------------- export and import

TEST(PhraseTwin, OnlyTheLastExtensionOfTheNameIsReplaced)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/a/b.ase", "/a/b.sys"},       {"/a/b.tar.ase", "/a/b.tar.sys"},
        {"/a.d/b", "/a.d/b.sys"},       {"b", "b.sys"},
        {"/a/b.", "/a/b.sys"},          {"/a/B.ASE", "/a/B.sys"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(content::phraseTwinName(in), out) << in;
}

// A program folder with two groups and three phrases, exported to out/set.ase.
struct Exported {
    Session s;
    std::string file;
    Exported()
    {
        s->AddGroup("Work");
        s->AddGroup("Home");
        s->AddPhrase("Work", "In a meeting");
        s->AddPhrase("Home", "On my way");
        s->AddPhrase("Work", "Call me");
        s->UpdatePhrase(2, "Home", "", 1);
        s.tree.dir("out");
        file = s.tree.path("out/set.ase");
        EXPECT_TRUE(s->ExportToFile(file));
    }
    std::string twin() const { return s.tree.path("out/set.sys"); }
};

TEST(PhraseExport, RoundTripIntoAnEmptyProgramFolderAndTwiceDoublesPhrasesOnly)
{
    Exported e;
    ASSERT_TRUE(fs::exists(e.twin()));
    Session fresh;
    ASSERT_TRUE(fresh->ImportFromFile(e.file));
    EXPECT_EQ(fresh->GroupNames(), (Strings{"Work", "Home"}));
    EXPECT_EQ(fresh->FillList("Work"), e.s->FillList("Work"));
    EXPECT_EQ(fresh->FillList("Home"), e.s->FillList("Home")) << "time and uses copied";

    ASSERT_TRUE(fresh->ImportFromFile(e.file));
    EXPECT_EQ(fresh->GroupNames(), (Strings{"Work", "Home"}));
    EXPECT_EQ(contents(fresh->FillList("Work")),
              (Strings{"In a meeting", "Call me", "In a meeting", "Call me"}));
    fresh.restart();
    EXPECT_EQ(fresh->FillList("Home").size(), 2u);
    EXPECT_TRUE(fresh.env.prompt.shown().empty());
}

TEST(PhraseExport, ImportMapsGroupsByNameIntoAFolderThatHasSome)
{
    Exported e;
    Session other;
    other->AddGroup("Home");  // id 1 here, 2 in the file
    other->AddGroup("Other");
    other->AddPhrase("Other", "mine");
    ASSERT_TRUE(other->ImportFromFile(e.file));
    EXPECT_EQ(other->GroupNames(), (Strings{"Home", "Other", "Work"}));
    EXPECT_EQ(contents(other->FillList("Home")), Strings{"On my way"});
    EXPECT_EQ(contents(other->FillList("Other")), Strings{"mine"});
    EXPECT_EQ(ids(other->FillList("Work")), (std::vector<int32_t>{2, 4}));
}

TEST(PhraseExport, ATwinSpelledInCapitalsIsFound)
{
    Exported e;
    fs::rename(e.twin(), e.s.tree.path("out/set.SYS"));
    Session fresh;
    ASSERT_TRUE(fresh->ImportFromFile(e.file));
    EXPECT_EQ(fresh->GroupNames(), (Strings{"Work", "Home"}));
}

TEST(PhraseExport, BadFilesShowTheErrorAndChangeNothing)
{
    enum What { Missing, Damaged, Foreign, Swapped };
    struct Case {
        const char *name;
        bool twin; // the twin, else the phrase file
        What what;
    };
    const Case cases[] = {
        {"missing twin", true, Missing},     {"missing phrase file", false, Missing},
        {"damaged twin", true, Damaged},     {"damaged phrase file", false, Damaged},
        {"foreign twin", true, Foreign},     {"foreign phrase file", false, Foreign},
        {"phrases as twin", true, Swapped},  {"groups as phrase file", false, Swapped},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Exported e;
        const std::string victim = c.twin ? e.twin() : e.file;
        const std::string partner = c.twin ? e.file : e.twin();
        switch (c.what) {
        case Missing:
            fs::remove(victim);
            break;
        case Damaged: {
            std::string bytes = slurp(victim);
            bytes[bytes.size() / 2] ^= 0x55;
            std::ofstream(victim, std::ios::binary | std::ios::trunc) << bytes;
            break;
        }
        case Foreign: {
            platform::Table t({{"Name", platform::FieldType::Text, 50},
                               {"Value", platform::FieldType::Text, 200}});
            t.append();
            t.setText("Name", "x");
            t.post();
            ASSERT_TRUE(t.save(victim));
            break;
        }
        case Swapped:
            fs::copy_file(partner, victim, fs::copy_options::overwrite_existing);
            break;
        }
        Session target;
        target->AddGroup("Mine");
        target->AddPhrase("Mine", "kept");
        target.restart();
        const std::string groups = slurp(target.groupFile());
        const std::string phrases = slurp(target.phraseFile());
        EXPECT_FALSE(target->ImportFromFile(e.file));
        ASSERT_EQ(target.env.prompt.shown().size(), 1u);
        // The language's text first, then which file and why.
        EXPECT_EQ(target.env.prompt.shown()[0].text.rfind(content::keyText("Phrase_FileError"), 0), 0u)
            << target.env.prompt.shown()[0].text;
        EXPECT_EQ(target.env.prompt.shown()[0].caption, content::keyText("Application_Hite_title"));
        EXPECT_EQ(target.env.prompt.shown()[0].flags, 0u);
        EXPECT_EQ(target->GroupNames(), Strings{"Mine"});
        target.restart();
        EXPECT_EQ(slurp(target.groupFile()), groups);
        EXPECT_EQ(slurp(target.phraseFile()), phrases);
    }
}

TEST(PhraseExport, APhraseWhoseGroupIsNotInTheTwinIsSkipped)
{
    Exported e;
    // Drop "Home" (id 2) from the twin.
    platform::Table twin = core::makeDbTable(core::DbTable::PhraseGroup);
    ASSERT_TRUE(twin.load(e.twin()));
    ASSERT_TRUE(twin.locate("id", 2));
    twin.remove();
    ASSERT_TRUE(twin.save(e.twin()));
    Session fresh;
    ASSERT_TRUE(fresh->ImportFromFile(e.file));
    EXPECT_EQ(fresh->GroupNames(), Strings{"Work"});
    EXPECT_EQ(contents(fresh->FillList("Work")), (Strings{"In a meeting", "Call me"}));
    EXPECT_EQ(fresh.db->table(core::DbTable::Phrase).totalRows(), 2);
}

TEST(PhraseExport, ASysNameOrAFailedWriteIsRefusedWithTheError)
{
    Exported e;
    e.s.env.prompt.clear();
    const std::string sys = e.s.tree.path("out/clash.SyS");
    EXPECT_FALSE(e.s->ExportToFile(sys));
    EXPECT_FALSE(fs::exists(sys));
    EXPECT_FALSE(e.s->ExportToFile(e.s.tree.path("no such folder/x.ase")));
    ASSERT_EQ(e.s.env.prompt.shown().size(), 2u);
    for (const auto &shown : e.s.env.prompt.shown())
        EXPECT_EQ(shown.text.rfind(content::keyText("Phrase_FileError"), 0), 0u) << shown.text;
    // A read-only twin keeps the old export whole.
    const std::string before = slurp(e.twin());
    fs::permissions(e.twin(), fs::perms::owner_read);
    e.s->AddGroup("Later");
    EXPECT_FALSE(e.s->ExportToFile(e.file));
    EXPECT_EQ(slurp(e.twin()), before);
}

TEST(PhraseExport, ACancelledImportLeavesTheLibraryAsItWas)
{
    // A pair large enough to be asked again half-way: 1,500 groups of one phrase each.
    Session big;
    for (int g = 1; g <= 1500; ++g) {
        ASSERT_EQ(big->AddGroup("G" + std::to_string(g)), g);
        ASSERT_EQ(big->AddPhrase("G" + std::to_string(g), "p" + std::to_string(g)), g);
    }
    big.tree.dir("out");
    const std::string file = big.tree.path("out/big.ase");
    ASSERT_TRUE(big->ExportToFile(file));

    Session s;
    s->AddGroup("Home");
    s->AddGroup("G7"); // a name the pair has too
    s->AddPhrase("Home", "mine");
    s->AddPhrase("G7", "seven");
    const Strings namesBefore = s->GroupNames();

    for (int64_t cancelAt : {int64_t(0), int64_t(500), int64_t(1500)}) { // before, among groups, among phrases
        SCOPED_TRACE("cancel at " + std::to_string(cancelAt));
        std::vector<std::pair<int64_t, int64_t>> calls;
        EXPECT_FALSE(s->ImportFromFile(file, [&](int64_t done, int64_t total) {
            calls.emplace_back(done, total);
            return done <= cancelAt && !(cancelAt == 0);
        }));
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front(), (std::pair<int64_t, int64_t>{0, 3000}));
        EXPECT_EQ(s->GroupNames(), namesBefore);
        EXPECT_EQ(contents(s->FillList("Home")), Strings{"mine"});
        EXPECT_EQ(contents(s->FillList("G7")), Strings{"seven"});
        EXPECT_TRUE(s.env.prompt.shown().empty()) << "a cancel is no error";
    }

    // Nothing of the cancelled runs is saved, and a whole import still numbers on from the rows
    // there were.
    s.restart();
    EXPECT_EQ(s->GroupNames(), namesBefore);
    std::vector<std::pair<int64_t, int64_t>> calls;
    ASSERT_TRUE(s->ImportFromFile(file, [&](int64_t done, int64_t total) {
        calls.emplace_back(done, total);
        return true;
    }));
    EXPECT_EQ(calls.back(), (std::pair<int64_t, int64_t>{3000, 3000}));
    EXPECT_TRUE(std::is_sorted(calls.begin(), calls.end()));
    EXPECT_EQ(s->GroupNames().size(), 2u + 1499u);
    EXPECT_EQ(s->GroupId("G1"), 3);
    EXPECT_EQ(contents(s->FillList("G7")), (Strings{"seven", "p7"}));
    EXPECT_EQ(ids(s->FillList("Home")), (std::vector<int32_t>{1}));
    EXPECT_EQ(ids(s->FillList("G1")), (std::vector<int32_t>{3}));
}
