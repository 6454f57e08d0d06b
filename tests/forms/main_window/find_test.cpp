// Find in the main window's lists: the search table (wrapping, hidden keys, the not-found box and
// row 0), the dialog and its direction, and the search-again key.

#include "main_rig.h"

#include "forms/f_find.h"
#include "forms/support/screenshot.h"
#include "forms/support/when_modal.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace main_window_test {
namespace {

class Find : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No digits in the shown columns: the ids (hidden) are the only numbers in a row.
        for (const char *body : {"apple pie", "banana", "apple tart", "cherry"})
            ids.push_back(rig.addMessage(1, "Ann", body));
        w.show();
        rig.showBox(1);
        ASSERT_EQ(sms_list::count(list()), 4);
    }
    QTreeView *list() { return w.ListView_sms(); }
    void select(int row)
    {
        list()->clearSelection();
        sms_list::choose(list(), row);
    }
    QList<int> selectedRows()
    {
        QList<int> out;
        for (int i = 0; i < sms_list::count(list()); ++i)
            if (list()->selectionModel()->isRowSelected(i, {}))
                out << i;
        return out;
    }
    std::vector<std::string> boxes() { return rig.prompt.texts(); }

    MainRig rig;
    forms::TfMain &w = *rig.main;
    std::vector<int> ids;
};

TEST_F(Find, Table)
{
    struct Case {
        const char *name;
        int selected; // -1: none
        QString text;
        bool forward;
        int found;
    };
    const Case cases[] = {
        {"forward from none", -1, "apple", true, 0},
        {"forward from the first match", 0, "apple", true, 2},
        {"forward from the last row starts at 0", 3, "apple", true, 0},
        {"forward has no second pass", 2, "apple", true, -1},
        {"backward from none starts at the last", -1, "apple", false, 2},
        {"backward from 0 starts at the last", 0, "cherry", false, 3},
        {"backward has no second pass", 1, "cherry", false, -1},
        {"case counts", -1, "Apple", true, -1},
        {"a column other than the body", 3, "Ann", true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        rig.prompt.clear();
        if (c.selected < 0)
            list()->clearSelection();
        else
            select(c.selected);
        EXPECT_EQ(w.FindInList(c.text, c.forward, list()), c.found);
        if (c.found >= 0) {
            EXPECT_EQ(selectedRows(), QList<int>{c.found});
            EXPECT_TRUE(boxes().empty());
        } else {
            EXPECT_EQ(boxes().size(), 1u);
        }
    }
}

TEST_F(Find, HiddenIdIsNotFoundAndRowZeroJoinsTheSelection)
{
    select(2);
    const QString id = QString::number(ids[1]);
    EXPECT_EQ(w.FindInList(id, true, list()), -1);
    ASSERT_EQ(rig.prompt.shown().size(), 1u);
    EXPECT_EQ(rig.prompt.shown()[0].text, "Cannot find \"" + id.toStdString() + "\".");
    EXPECT_EQ(rig.prompt.shown()[0].caption, "Selvark");
    EXPECT_EQ(selectedRows(), (QList<int>{0, 2}));

    rig.prompt.clear();
    EXPECT_EQ(w.FindInList("", true, list()), -1);
    EXPECT_EQ(boxes(), std::vector<std::string>{"Please enter the text to find."});
}

TEST_F(Find, DialogDirectionAndSearchAgain)
{
    forms::TfFind *find = w.findDialog();
    EXPECT_TRUE(find->windowFlags() & Qt::WindowStaysOnTopHint);
    // The direction menu opens the dialog with its direction; OK searches.
    forms_test::whenModal("fFind", [&](QWidget *) {
        EXPECT_TRUE(find->RadioButton2()->isChecked());
        find->Edit1()->setText("  apple ");
        forms_test::screenshot(find, "fFind");
        QTest::mouseClick(find->btnOk(), Qt::LeftButton);
    });
    select(3);
    w.action("m_Backward")->trigger();
    EXPECT_TRUE(w.action("m_Backward")->isChecked());
    EXPECT_FALSE(w.action("m_Forward")->isChecked());
    EXPECT_EQ(selectedRows(), QList<int>{2});

    // F3 searches again, backward, without the dialog.
    QTest::keyClick(list(), Qt::Key_F3);
    EXPECT_EQ(selectedRows(), QList<int>{0});
    // A typed "r" is only a letter.
    QTest::keyClick(list(), Qt::Key_R);
    QTest::keyClick(list(), 'r');
    EXPECT_EQ(selectedRows(), QList<int>{0});
    EXPECT_TRUE(boxes().empty());

    // Ctrl+F searches only on OK; cancel leaves the selection.
    forms_test::whenModal("fFind", [&](QWidget *) {
        EXPECT_TRUE(find->RadioButton2()->isChecked());
        QTest::mouseClick(find->btnCancel(), Qt::LeftButton);
    });
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), QList<int>{0});
    forms_test::whenModal("fFind", [&](QWidget *) {
        find->RadioButton1()->setChecked(true);
        QTest::mouseClick(find->btnOk(), Qt::LeftButton);
    });
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), QList<int>{2});
}

TEST_F(Find, SearchAgainDoesNothingInPhrases)
{
    w.findDialog()->Edit1()->setText("apple");
    w.setActiveArea(2);
    ASSERT_EQ(rig.manage->ActiveGroup, 2);
    select(1);
    QTest::keyClick(w.ListView_usersms(), Qt::Key_F3);
    EXPECT_EQ(selectedRows(), QList<int>{1});
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Find, FirstShowExpandsTheFirstMessageNode)
{
    MainRig other;
    QTreeWidgetItem *first = other.main->TreeView_sms()->topLevelItem(0);
    ASSERT_NE(first, nullptr);
    first->setExpanded(false);
    other.main->show();
    EXPECT_TRUE(first->isExpanded());
}

} // namespace
} // namespace main_window_test
