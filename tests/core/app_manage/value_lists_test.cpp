// Value lists over SSinfo: rows before, one operation, rows after; the default service centre; no
// filter left behind on the shared table.
#include "core/app_manage.h"
#include "core/db_main.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "core/value_lists.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <functional>

using core::DbTable;
using platform_test::TempTree;

namespace {

using Rows = std::vector<std::pair<int, std::string>>;

platform::Table ssinfoWith(const Rows &rows)
{
    platform::Table t = core::makeDbTable(DbTable::SSinfo);
    for (const auto &[cls, value] : rows) {
        t.append();
        t.setInt("ClassId", cls);
        t.setText("Values", value);
        t.post();
    }
    return t;
}

Rows rowsOf(const platform::Table &t)
{
    Rows out;
    for (const platform::Row &r : t.rows())
        out.emplace_back(r.intAt(0), std::string(r.textAt(1)));
    return out;
}

// Every row seen by a plain walk of the table, as the next user of SSinfo would walk it.
Rows walk(platform::Table &t)
{
    Rows out;
    for (t.first(); !t.eof(); t.next())
        out.emplace_back(t.integer("ClassId"), std::string(t.text("Values")));
    return out;
}

} // namespace

TEST(ValueLists, Operations)
{
    using Op = std::function<bool(platform::Table &)>;
    struct Row {
        const char *name;
        Rows before;
        Op op;
        bool changed;
        Rows after;
    };
    const Rows sigs = {{1, "Hi"}, {1, "Cheers, O'Brien"}, {0, "Cheers, O'Brien"}, {1, "Cheers, O'Brien"}};
    const std::vector<Row> rows = {
        {"add", {{0, "+861"}}, [](auto &t) { return core::addSSInfo(t, 1, "Bye"); }, true,
         {{0, "+861"}, {1, "Bye"}}},
        {"add keeps blanks at the edges", {}, [](auto &t) { return core::addSSInfo(t, 1, "  Bye \t"); },
         true, {{1, "  Bye \t"}}},
        {"add blanks only: nothing", {{1, "a"}},
         [](auto &t) { return core::addSSInfo(t, 1, " \t\r\n\x1f "); }, false, {{1, "a"}}},
        {"add empty: nothing", {}, [](auto &t) { return core::addSSInfo(t, 0, ""); }, false, {}},
        {"add cut to 100 characters", {},
         [](auto &t) { return core::addSSInfo(t, 1, std::string(101, 'z')); }, true,
         {{1, std::string(100, 'z')}}},
        {"delete with an apostrophe: first of its class", sigs,
         [](auto &t) { return core::deleteSSInfo(t, 1, "Cheers, O'Brien"); }, true,
         {{1, "Hi"}, {0, "Cheers, O'Brien"}, {1, "Cheers, O'Brien"}}},
        {"delete needs the exact value", sigs, [](auto &t) { return core::deleteSSInfo(t, 1, "hi"); },
         false, sigs},
        {"delete needs the class", {{1, "Hi"}}, [](auto &t) { return core::deleteSSInfo(t, 0, "Hi"); },
         false, {{1, "Hi"}}},
        {"delete a quote-only value", {{1, "'"}, {1, "x"}},
         [](auto &t) { return core::deleteSSInfo(t, 1, "'"); }, true, {{1, "x"}}},
        {"update with apostrophes", sigs,
         [](auto &t) { return core::updateSSInfo(t, 1, "Cheers, O'Brien", "It's me"); }, true,
         {{1, "Hi"}, {1, "It's me"}, {0, "Cheers, O'Brien"}, {1, "Cheers, O'Brien"}}},
        {"update of a missing value", sigs,
         [](auto &t) { return core::updateSSInfo(t, 1, "Nope", "x"); }, false, sigs},
        {"update of the last row", {{0, "a"}, {0, "b"}},
         [](auto &t) { return core::updateSSInfo(t, 0, "b", "c"); }, true, {{0, "a"}, {0, "c"}}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        platform::Table t = ssinfoWith(r.before);
        EXPECT_EQ(r.op(t), r.changed);
        EXPECT_EQ(rowsOf(t), r.after);
        EXPECT_FALSE(t.filtered());
        EXPECT_EQ(walk(t), r.after);
    }
}

// Lists per class in table order; class 0 without rows gets the default centre stored first,
// class 1 stays empty; a filter another user left is cleared, none is left behind.
TEST(ValueLists, ListsAndDefaultCentre)
{
    platform::Table t = core::makeDbTable(DbTable::SSinfo);
    EXPECT_TRUE(core::getSSInfoList(t, 1, "(default)").empty());
    EXPECT_TRUE(t.rows().empty());
    EXPECT_EQ(core::getSSInfoList(t, 0, "(default)"), (std::vector<std::string>{"(default)"}));
    EXPECT_EQ(rowsOf(t), (Rows{{0, "(default)"}}));
    EXPECT_EQ(core::getSSInfoList(t, 0, "(other)"), (std::vector<std::string>{"(default)"}));

    platform::Table u = ssinfoWith({{1, "b"}, {0, "+86"}, {1, "a"}});
    u.setFilter(platform::eq("ClassId", 0)); // left behind by someone
    EXPECT_EQ(core::getSSInfoList(u, 1, "x"), (std::vector<std::string>{"b", "a"}));
    EXPECT_FALSE(u.filtered());
    EXPECT_EQ(walk(u), (Rows{{1, "b"}, {0, "+86"}, {1, "a"}}));

    // Without a text for the default centre nothing blank is stored.
    platform::Table v = core::makeDbTable(DbTable::SSinfo);
    EXPECT_TRUE(core::getSSInfoList(v, 0, "").empty());
    EXPECT_TRUE(v.rows().empty());
}

// Through the manager and the database: the default centre comes from the language file and the
// lists survive the run.
TEST(ValueLists, ThroughManagerAndDatabase)
{
    TempTree tree;
    core_test::writeLanguage(tree.root());
    core::RecordingPrompt prompt;
    core::TManage m(tree.root(), &prompt);
    std::vector<std::string> list{"stale"};
    m.GetSSInfoList(0, list); // no database yet
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(m.AddSSInfo(1, "x"));
    {
        core::TdbMain db(m.DatabaseDir(), &prompt, &m.LangMng());
        m.SetDatabase(&db);
        m.GetSSInfoList(1, list);
        EXPECT_TRUE(list.empty());
        m.GetSSInfoList(0, list);
        EXPECT_EQ(list, (std::vector<std::string>{core_test::kDefaultSca}));
        EXPECT_TRUE(m.AddSSInfo(1, "Bye, O'Neil"));
        EXPECT_TRUE(m.AddSSInfo(1, "Regards"));
        EXPECT_TRUE(m.UpdateSSInfo(1, "Bye, O'Neil", "Bye, D'Arcy"));
        EXPECT_TRUE(m.DeleteSSInfo(1, "Regards"));
        m.GetSSInfoList(1, list);
        EXPECT_EQ(list, (std::vector<std::string>{"Bye, D'Arcy"}));
        m.SetDatabase(nullptr);
    }
    core::TdbMain db(m.DatabaseDir(), &prompt, &m.LangMng());
    m.SetDatabase(&db);
    m.GetSSInfoList(0, list);
    EXPECT_EQ(list, (std::vector<std::string>{core_test::kDefaultSca}));
    m.GetSSInfoList(1, list);
    EXPECT_EQ(list, (std::vector<std::string>{"Bye, D'Arcy"}));
    EXPECT_TRUE(prompt.shown().empty());
    m.SetDatabase(nullptr);
}
