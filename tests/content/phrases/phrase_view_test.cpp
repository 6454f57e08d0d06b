// The phrase manager on real widgets, offscreen: the group tree, a phrase list, the paste item
// following the cut buffer, the edit menu's fifth and sixth items acting for the group commands,
// the phrase menu shown in the tool menu, and a refused rename taken back in the tree.
#include "phrase_test_env.h"

#include "content/qt/phrase_view.h"
#include "core/qt/menu_merge.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

using content::PhraseView;
using phrase_test::Session;

namespace {

// The part of the main window the phrase manager works on, with the main window's own handlers
// for the group commands.
struct MainWindow {
    QMainWindow window;
    QMenu *m_tool = nullptr;
    QMenu *m_Edit = nullptr;
    QMenu mUser;
    QMenu menu_treeuser;
    QMenu menu_userview;
    QToolBar *tbUser = nullptr;
    QTreeWidget *TreeView_usersms = nullptr;
    QTreeWidget *ListView_usersms = nullptr;
    core::MenuMerge toolMerge;

    MainWindow()
    {
        m_Edit = window.menuBar()->addMenu("Edit");
        for (const char *name : {"m_copy", "m_paste", "m_selectall", "m_find", "m_del", "menu_user_clear"})
            m_Edit->addAction(name)->setObjectName(name);
        m_tool = window.menuBar()->addMenu("Tool");
        m_tool->addAction("Settings");
        mUser.setObjectName("mUser");
        for (const char *name : {"N16", "N22"})
            mUser.addAction(name)->setObjectName(name);
        for (const char *name : {"N9", "nRename", "nGrpDel", "npClear"})
            menu_treeuser.addAction(name)->setObjectName(name);
        for (const char *name : {"nNew", "nEdit", "nDel", "nSelA", "npCut", "npProperty", "npPaste"})
            menu_userview.addAction(name)->setObjectName(name);
        tbUser = window.addToolBar("tbUser");
        auto *central = new QWidget;
        auto *row = new QHBoxLayout(central);
        TreeView_usersms = new QTreeWidget;
        TreeView_usersms->setObjectName("TreeView_usersms");
        TreeView_usersms->setFixedWidth(139);
        ListView_usersms = new QTreeWidget;
        ListView_usersms->setObjectName("ListView_usersms");
        ListView_usersms->setHeaderLabels({"Content", "Record Time", "Use Times"});
        for (int i = 0; i < 3; ++i)
            ListView_usersms->setColumnWidth(i, content::kPhraseColumnWidths[i]);
        row->addWidget(TreeView_usersms);
        row->addWidget(ListView_usersms);
        window.setCentralWidget(central);
        window.resize(780, 300);
    }

    content::PhraseControls controls()
    {
        return {m_tool, m_Edit, &mUser, &menu_treeuser, &menu_userview, tbUser, TreeView_usersms};
    }
    QAction *action(QMenu &m, const char *name) { return m.findChild<QAction *>(name); }
    QAction *editItem(int i) { return m_Edit->actions().value(i); }

    QStringList tree() const
    {
        QStringList out;
        for (int i = 0; i < TreeView_usersms->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *top = TreeView_usersms->topLevelItem(i);
            out << top->text(0);
            for (int k = 0; k < top->childCount(); ++k)
                out << "  " + top->child(k)->text(0);
        }
        return out;
    }
    QTreeWidgetItem *group(int k) { return TreeView_usersms->topLevelItem(0)->child(k); }
    // Rows as "content|time|uses|id".
    QStringList list() const
    {
        QStringList out;
        for (int i = 0; i < ListView_usersms->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *r = ListView_usersms->topLevelItem(i);
            out << QStringList{r->text(0), r->text(1), r->text(2), r->text(3)}.join('|');
        }
        return out;
    }
};

// A phrase area over its own program folder: groups "Work" and "Home" with phrases.
struct Area {
    Session s;
    MainWindow w;
    PhraseView view{*s, w.controls(), &w.toolMerge};

    Area()
    {
        s->AddGroup("Work");
        s->AddGroup("Home");
        s->AddPhrase("Work", "In a meeting");     // 1
        s->AddPhrase("Home", "On my way");        // 2
        s->AddPhrase("Work", "Call me later");    // 3
        // The main window's group commands, as its handlers run them.
        QObject::connect(w.action(w.menu_treeuser, "nGrpDel"), &QAction::triggered,
                         [this] { view.DeleteSelectedGroup(w.ListView_usersms); });
        QObject::connect(w.action(w.menu_treeuser, "npClear"), &QAction::triggered,
                         [this] { view.ClearSelectedGroup(w.ListView_usersms); });
        view.BuildTree();
    }
    int select(int k)
    {
        w.TreeView_usersms->setCurrentItem(w.group(k));
        return view.FillList(PhraseView::groupOf(w.group(k)), w.ListView_usersms);
    }
};

} // namespace

TEST(PhraseView, TreeShowsTheRootAndTheGroupsInTableOrder)
{
    Area a;
    EXPECT_EQ(a.w.tree(), (QStringList{"<Phrase_Cpation>", "  Work", "  Home"}));
    QTreeWidgetItem *root = a.w.TreeView_usersms->topLevelItem(0);
    EXPECT_EQ(a.w.TreeView_usersms->currentItem(), root);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(root->data(0, content::kImageRole).toInt(), content::kPicPhraseRoot);
    EXPECT_EQ(PhraseView::groupOf(root), QString());

    a.s->AddGroup("Mum's \"new\" 你好");
    a.view.BuildTree();
    EXPECT_EQ(a.w.tree().last(), QString::fromUtf8("  Mum's \"new\" 你好"));
}

TEST(PhraseView, ListShowsTheGroupsPhrasesWithTheIdInSubItemTwo)
{
    Area a;
    a.s.env.now = "2026-03-04 05:06:07";
    a.s->UpdatePhrase(3, "Work", "Call me later", 0);
    EXPECT_EQ(a.select(0), 2);
    EXPECT_EQ(a.w.list(), (QStringList{"In a meeting|2026-01-02 03:04:05|0|1",
                                       "Call me later|2026-03-04 05:06:07|0|3"}));
    EXPECT_TRUE(a.w.ListView_usersms->isColumnHidden(content::kPhraseIdColumn));
    EXPECT_EQ(a.w.ListView_usersms->topLevelItem(0)->data(0, content::kImageRole).toInt(), content::kPicPhrase);
    // The root lists nothing.
    EXPECT_EQ(a.view.FillList(QString(), a.w.ListView_usersms), 0);
    EXPECT_EQ(a.w.ListView_usersms->topLevelItemCount(), 0);
}

TEST(PhraseView, PasteItemFollowsTheCutBuffer)
{
    Area a;
    QAction *paste = a.w.action(a.w.menu_userview, "npPaste");
    a.select(0);
    EXPECT_FALSE(paste->isEnabled());
    a.s->Cut({1});
    EXPECT_EQ(a.select(0), 1) << "the cut phrase is hidden";
    EXPECT_TRUE(paste->isEnabled());
    ASSERT_TRUE(a.s->Paste("Home"));
    EXPECT_EQ(a.select(1), 2);
    EXPECT_FALSE(paste->isEnabled());
}

TEST(PhraseView, EditMenuItemsFiveAndSixActForTheGroupCommands)
{
    Area a;
    a.select(1); // Home
    a.w.action(a.w.menu_treeuser, "nGrpDel")->setEnabled(false);
    a.select(1);
    EXPECT_FALSE(a.w.editItem(4)->isEnabled()) << "takes nGrpDel's enabling";
    a.w.action(a.w.menu_treeuser, "nGrpDel")->setEnabled(true);
    a.select(1);
    EXPECT_TRUE(a.w.editItem(4)->isEnabled());

    a.w.editItem(4)->trigger();
    EXPECT_EQ(a.w.tree(), (QStringList{"<Phrase_Cpation>", "  Work"}));
    EXPECT_EQ(a.s->GroupNames(), std::vector<std::string>{"Work"});
    EXPECT_EQ(a.w.ListView_usersms->topLevelItemCount(), 0);

    a.select(0);
    a.w.editItem(5)->trigger();
    EXPECT_EQ(a.w.tree(), (QStringList{"<Phrase_Cpation>", "  Work"}));
    EXPECT_TRUE(a.s->FillList("Work").empty());

    // On the root the commands do nothing.
    a.w.TreeView_usersms->setCurrentItem(a.w.TreeView_usersms->topLevelItem(0));
    a.w.editItem(4)->trigger();
    EXPECT_EQ(a.s->GroupNames(), std::vector<std::string>{"Work"});
}

TEST(PhraseView, ThePhraseMenuIsShownInTheToolMenu)
{
    Area a;
    a.select(0);
    QStringList items;
    for (QAction *act : a.w.m_tool->actions())
        items << (act->isSeparator() ? QStringLiteral("-") : act->text());
    EXPECT_EQ(items, (QStringList{"N16", "N22", "-", "Settings"}));
}

TEST(PhraseView, ARenameToATakenNameIsTakenBackInTheTree)
{
    Area a;
    QTreeWidgetItem *home = a.w.group(1);
    home->setText(0, "Work");
    EXPECT_FALSE(a.view.RenameGroup(home, "Home"));
    EXPECT_EQ(home->text(0), "Home");
    home->setText(0, "");
    EXPECT_FALSE(a.view.RenameGroup(home, "Home"));
    EXPECT_EQ(home->text(0), "Home");
    home->setText(0, QString::fromUtf8("Zuhause — Mum's"));
    EXPECT_TRUE(a.view.RenameGroup(home, "Home"));
    EXPECT_EQ(a.s->GroupNames()[1], "Zuhause — Mum's");
    EXPECT_EQ(a.select(1), 1);
}

TEST(PhraseView, Screenshot)
{
    Area a;
    a.s->Cut({3});
    a.select(0);
    a.w.ListView_usersms->setCurrentItem(a.w.ListView_usersms->topLevelItem(0));
    a.w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&a.w.window));
    const QByteArray bin = qgetenv("SELVARK_BINARY_DIR");
    const QString dir = (bin.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(bin)) +
                        "/screenshots/content/phrases";
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(a.w.window.grab().save(dir + "/phrase_area.png"));
}
