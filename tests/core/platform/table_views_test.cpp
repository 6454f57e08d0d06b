// The table's kept views and field indexes against a plain model: after every change, each filter
// the table has seen (and switched away from) must show exactly the rows a fresh pass would, in
// walk order, and the cursor must stand where the documented rules put it.
#include "platform/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace platform;

namespace {

// n names a row for good (never edited), so equal keys do not hide a row out of place.
struct ModelRow {
    int32_t n, id, box, pos;
    std::string tel;
};

Table makeTable()
{
    return Table({{"n", FieldType::Integer},
                  {"id", FieldType::Integer},
                  {"box", FieldType::Integer},
                  {"pos", FieldType::Integer},
                  {"tel", FieldType::Text, 8}},
                 {{"byId", "id"}, {"byTel", "tel"}}, "byId");
}

// The filters a test switches between, each with the same condition written out for the model.
struct Case {
    const char *name;
    Filter filter;
    bool (*holds)(const ModelRow &);
};

std::vector<Case> cases()
{
    return {
        {"box=1", eq("box", 1), [](const ModelRow &r) { return r.box == 1; }},
        {"box=2", eq("box", 2), [](const ModelRow &r) { return r.box == 2; }},
        {"box<3", lt("box", 3), [](const ModelRow &r) { return r.box < 3; }},
        {"box>1", gt("box", 1), [](const ModelRow &r) { return r.box > 1; }},
        {"box=1&pos=2", eq("box", 1) && eq("pos", 2), [](const ModelRow &r) { return r.box == 1 && r.pos == 2; }},
        {"pos=3&box=2", eq("pos", 3) && eq("box", 2), [](const ModelRow &r) { return r.pos == 3 && r.box == 2; }},
        {"box=9 (no row)", eq("box", 9), [](const ModelRow &r) { return r.box == 9; }},
        {"tel=b", eq("tel", "b"), [](const ModelRow &r) { return r.tel == "b"; }},
        {"tel=B nocase", eq("tel", "B", true), [](const ModelRow &r) { return r.tel == "b"; }},
        {"where pos odd", Filter::where([](const RowView &v) { return v.integer("pos") % 2 != 0; }),
         [](const ModelRow &r) { return r.pos % 2 != 0; }},
        {"box=1&where", eq("box", 1) && Filter::where([](const RowView &v) { return v.integer("pos") > 1; }),
         [](const ModelRow &r) { return r.box == 1 && r.pos > 1; }},
    };
}

// The model's visible rows (their n) for a condition, in walk order (by id or tel, ties in append order).
std::vector<int32_t> expected(const std::vector<ModelRow> &rows, bool (*holds)(const ModelRow &), bool byTel)
{
    std::vector<size_t> order;
    for (size_t i = 0; i < rows.size(); ++i)
        if (!holds || holds(rows[i]))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return byTel ? rows[a].tel < rows[b].tel : rows[a].id < rows[b].id;
    });
    std::vector<int32_t> ids;
    for (size_t i : order)
        ids.push_back(rows[i].n);
    return ids;
}

std::vector<int32_t> shown(const Table &t)
{
    std::vector<int32_t> ids;
    for (int i = 0; i < t.count(); ++i)
        ids.push_back(t.rowAt(i)->integer("n"));
    return ids;
}

} // namespace

TEST(TableViews, KeptViewsMatchAFreshPassAcrossEveryChange)
{
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto pick = [&](int n) { return int(rng() % unsigned(n)); };
        Table t = makeTable();
        std::vector<ModelRow> model;
        const std::vector<Case> all = cases();
        int current = -1; // the case set on the table, -1 for none
        bool byTel = false;

        for (int step = 0; step < 600; ++step) {
            const int op = pick(10);
            if (op <= 3) { // add: ids repeat now and then, so equal keys occur
                ModelRow r{int32_t(step), int32_t(pick(40)), int32_t(pick(4)), int32_t(pick(5)),
                           std::string(1, char('a' + pick(4)))};
                t.append();
                t.setInt("n", r.n);
                t.setInt("id", r.id);
                t.setInt("box", r.box);
                t.setInt("pos", r.pos);
                t.setText("tel", r.tel);
                ASSERT_TRUE(t.post());
                model.push_back(r);
                if (current < 0 || all[size_t(current)].holds(r)) {
                    EXPECT_EQ(t.integer("n"), r.n) << "the cursor goes to the posted row";
                }
            } else if (op <= 5 && t.count() > 0) { // edit the row at a random place
                ASSERT_TRUE(t.setRecNo(pick(t.count())));
                const int32_t n = t.integer("n");
                auto it = std::find_if(model.begin(), model.end(), [&](const ModelRow &m) { return m.n == n; });
                ASSERT_NE(it, model.end());
                ASSERT_TRUE(t.edit());
                it->box = int32_t(pick(4));
                it->pos = int32_t(pick(5));
                it->id = int32_t(pick(40));
                it->tel = std::string(1, char('a' + pick(4)));
                t.setInt("id", it->id);
                t.setInt("box", it->box);
                t.setInt("pos", it->pos);
                t.setText("tel", it->tel);
                ASSERT_TRUE(t.post());
            } else if (op == 6 && t.count() > 0) { // delete the row at a random place
                ASSERT_TRUE(t.setRecNo(pick(t.count())));
                const int place = t.recNo();
                const int before = t.count();
                const int32_t n = t.integer("n");
                ASSERT_TRUE(t.remove());
                EXPECT_EQ(t.count(), before - 1);
                EXPECT_EQ(t.recNo(), std::min(place, t.count() - 1)) << "the following row, or the new last";
                auto it = std::find_if(model.begin(), model.end(), [&](const ModelRow &m) { return m.n == n; });
                ASSERT_NE(it, model.end());
                model.erase(it);
            } else if (op == 7) { // remove many in one pass
                const int32_t box = int32_t(pick(4)), pos = int32_t(pick(5));
                const int gone = t.removeWhere(eq("box", box) && eq("pos", pos));
                const auto n = std::erase_if(model, [&](const ModelRow &m) { return m.box == box && m.pos == pos; });
                EXPECT_EQ(size_t(gone), n);
            } else if (op == 8) { // switch the filter
                current = pick(int(all.size()) + 1) - 1;
                if (current < 0)
                    t.clearFilter();
                else
                    t.setFilter(all[size_t(current)].filter);
                EXPECT_EQ(t.recNo(), t.count() > 0 ? 0 : -1);
            } else if (pick(8) == 0) { // switch the ordering now and then
                byTel = !byTel;
                ASSERT_TRUE(t.setActiveIndex(byTel ? "byTel" : "byId"));
            }
            bool (*holds)(const ModelRow &) = current < 0 ? nullptr : all[size_t(current)].holds;
            ASSERT_EQ(shown(t), expected(model, holds, byTel))
                << "step " << step << " op " << op << " filter " << (current < 0 ? "none" : all[size_t(current)].name);
            // A lookup by id ignores the filter and finds the first such row in walk order: by
            // binary search while the index orders by id, by a pass while it orders by tel.
            const int32_t wanted = int32_t(pick(42));
            const std::optional<RowView> found = t.findInt(t.fieldIndex("id"), wanted);
            int32_t firstN = -1;
            for (int32_t n : expected(model, nullptr, byTel))
                if (std::find_if(model.begin(), model.end(), [&](const ModelRow &m) { return m.n == n; })->id == wanted) {
                    firstN = n;
                    break;
                }
            ASSERT_EQ(found ? found->integer("n") : -1, firstN) << "step " << step << " id " << wanted;
        }
        // Every filter, set again after all those changes, still shows what a fresh pass does.
        for (const Case &c : all) {
            t.setFilter(c.filter);
            EXPECT_EQ(shown(t), expected(model, c.holds, byTel)) << c.name;
        }
        t.clearFilter();
        EXPECT_EQ(shown(t), expected(model, nullptr, byTel));
        EXPECT_FALSE(t.findInt(t.fieldIndex("tel"), 0)) << "a text field";
        EXPECT_FALSE(t.findInt(99, 0)) << "no such field";
    }
}

TEST(TableViews, LoadAndClearLeaveNoStaleView)
{
    Table a = makeTable();
    for (int i = 1; i <= 6; ++i) {
        a.append();
        a.setInt("n", i);
        a.setInt("id", i);
        a.setInt("box", i % 2);
        a.post();
    }
    a.setFilter(eq("box", 1));
    EXPECT_EQ(shown(a), (std::vector<int32_t>{1, 3, 5}));

    // A file whose fields come in another order: the kept view must not read the old numbers.
    Table other({{"tel", FieldType::Text, 8}, {"pos", FieldType::Integer}, {"box", FieldType::Integer},
                 {"id", FieldType::Integer}, {"n", FieldType::Integer}},
                {{"byId", "id"}, {"byTel", "tel"}}, "byId");
    for (int i = 10; i >= 7; --i) {
        other.append();
        other.setInt("n", i);
        other.setInt("id", i);
        other.setInt("box", i % 2);
        other.post();
    }
    ASSERT_TRUE(a.loadFromBytes(other.serialize()));
    EXPECT_EQ(shown(a), (std::vector<int32_t>{7, 9})) << "the filter stays, on the new rows";
    a.clearFilter();
    EXPECT_EQ(shown(a), (std::vector<int32_t>{7, 8, 9, 10}));

    a.setFilter(eq("box", 0));
    a.clear();
    EXPECT_EQ(a.count(), 0);
    a.append();
    a.setInt("n", 1);
    a.post();
    EXPECT_EQ(shown(a), (std::vector<int32_t>{1}));
    a.setFilter(eq("box", 1));
    EXPECT_EQ(a.count(), 0);

    // A copy keeps its own views.
    Table b = a;
    b.clearFilter();
    b.append();
    b.setInt("n", 2);
    b.setInt("id", 2);
    b.setInt("box", 1);
    b.post();
    EXPECT_EQ(a.count(), 0);
    b.setFilter(eq("box", 1));
    EXPECT_EQ(shown(b), (std::vector<int32_t>{2}));
}
