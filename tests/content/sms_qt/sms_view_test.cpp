// The message manager on real widgets offscreen: the box tree, the list filled from a message
// table on disk, and every menu rule on real QActions and tool-bar buttons, one table of
// (box) x (connected) x (messages listed).
#include "content/qt/apply_menu.h"
#include "content/pictures.h"
#include "content/qt/sms_view.h"
#include "content/sms/sms_store.h"
#include "content/sms_qt/sms_list_rows.h"
#include "core/qt/menu_merge.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <set>

using content::keyText;
using content_test::SmsStore;

namespace {

QString qs(const std::string &s) { return QString::fromStdString(s); }

QString screenshotDir()
{
    const QByteArray bin = qgetenv("SELVARK_BINARY_DIR");
    const QString dir = (bin.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(bin)) + "/screenshots/content";
    QDir().mkpath(dir);
    return dir;
}

// The main window's message controls, named as the main window names them.
struct MainWindow {
    QMainWindow window;
    QMenu *m_Edit = nullptr;
    QMenu *m_tool = nullptr;
    QMenu *mSms = nullptr;
    QMenu *menu_list_sms = nullptr;
    QMenu *menu_tree_sms = nullptr;
    QToolBar *ToolBar_sms = nullptr;
    QTreeWidget *TreeView_sms = nullptr;
    QTreeView *ListView_sms = nullptr;
    QToolButton *tagOneButton = nullptr;
    core::MenuMerge merge;
    QMap<QString, int> clicks;

    static QAction *add(QMenu *m, const QString &name)
    {
        QAction *a = name.startsWith('N') && name.size() <= 3 ? m->addSeparator() : m->addAction(name);
        a->setObjectName(name);
        return a;
    }
    void counted(QAction *a)
    {
        QObject::connect(a, &QAction::triggered, [this, a] { ++clicks[a->objectName()]; });
    }

    MainWindow()
    {
        m_Edit = window.menuBar()->addMenu("Edit");
        for (const char *n : {"mCopy", "mCut", "mPaste", "N40", "mDelete", "mClear", "mFind"})
            add(m_Edit, n);
        mSms = window.menuBar()->addMenu("Messages");
        mSms->setObjectName("mSms");
        for (const char *n : {"mSmsLoad", "mSmsSend", "N30", "mSmsNew", "mSmsEdit", "mSmsClear"})
            add(mSms, n);
        mSms->actions()[3]->setEnabled(false); // new and edit are the main window's business
        mSms->actions()[4]->setEnabled(false);
        m_tool = window.menuBar()->addMenu("Tools");
        m_tool->addAction("Options");

        menu_list_sms = new QMenu(&window);
        for (const char *n : {"pSmsNew", "pSmsEdit", "pSmsDel", "pSmsSa", "N12", "pSmsSendto", "pSmsResend",
                              "pSmsSend", "pSmsSendBack", "N13", "pSmsWrite", "N1", "pSmsUndel", "pSmsProperty"})
            counted(add(menu_list_sms, n));
        menu_tree_sms = new QMenu(&window);
        for (const char *n : {"menu_load_sms", "menu_sendall", "menu_add_sms", "menu_clear_sms", "menu_allundel_sms"})
            counted(add(menu_tree_sms, n));

        ToolBar_sms = window.addToolBar("sms");
        ToolBar_sms->setObjectName("ToolBar_sms");
        QAction *connect = ToolBar_sms->addAction("Connect");
        connect->setProperty(content::kTagProperty, 0);
        QAction *load = ToolBar_sms->addAction("Load");
        load->setProperty(content::kTagProperty, 1);
        QAction *other = ToolBar_sms->addAction("Other");
        other->setProperty(content::kTagProperty, 2);
        other->setEnabled(false);
        ToolBar_sms->addAction("Untagged")->setEnabled(false);
        tagOneButton = new QToolButton;
        tagOneButton->setText("Send");
        tagOneButton->setProperty(content::kTagProperty, 1);
        ToolBar_sms->addWidget(tagOneButton);

        auto *split = new QSplitter;
        TreeView_sms = new QTreeWidget;
        TreeView_sms->setObjectName("TreeView_sms");
        ListView_sms = new QTreeView;
        ListView_sms->setObjectName("ListView_sms");
        split->addWidget(TreeView_sms);
        split->addWidget(ListView_sms);
        split->setSizes({160, 560});
        window.setCentralWidget(split);
        window.resize(760, 360);
    }

    content::SmsControls controls()
    {
        return {m_tool, m_Edit, mSms, menu_tree_sms, menu_list_sms, ToolBar_sms, ListView_sms, TreeView_sms};
    }
    QAction *action(const char *name) const { return window.findChild<QAction *>(name); }
};

// Opens the menu offscreen and clicks the item; false when it is not on the open menu.
bool clickItem(QMenu *menu, QAction *item)
{
    menu->popup(QPoint(10, 10));
    if (!QTest::qWaitForWindowExposed(menu))
        return false;
    const QRect r = menu->actionGeometry(item);
    if (r.isEmpty() || !item->isVisible()) {
        menu->hide();
        return false;
    }
    QTest::mouseClick(menu, Qt::LeftButton, {}, r.center());
    QApplication::processEvents();
    menu->hide();
    return true;
}

} // namespace

TEST(SmsView, TreeCarriesTheBoxIds)
{
    SmsStore s;
    MainWindow w;
    content::SmsView view(*s.sms, w.controls(), &w.merge);
    QTreeWidget *t = w.TreeView_sms;
    ASSERT_EQ(t->topLevelItemCount(), 2);
    std::vector<int> ids;
    for (int i = 0; i < 2; ++i) {
        QTreeWidgetItem *top = t->topLevelItem(i);
        EXPECT_TRUE(top->isExpanded());
        ids.push_back(top->data(0, content::kBoxIdRole).toInt());
        for (int k = 0; k < top->childCount(); ++k)
            ids.push_back(top->child(k)->data(0, content::kBoxIdRole).toInt());
    }
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 3, 4, 5, 7, 8, 9}));
    EXPECT_EQ(t->topLevelItem(1)->child(0)->text(0), qs(keyText("SmsMng_Tree_8")));
}

TEST(SmsView, ListFilledFromTheTable)
{
    SmsStore s;
    const int32_t draft = s.add(content::kBoxDrafts, "+441 it's", "draft: 'quoted' 你好", 1);
    const int32_t sent = s.add(content::kBoxSent, "+442", "sent", 0, "--");
    s.add(content::kBoxRecycle, "+443", "recycled", 2);
    s.reopen();
    MainWindow w;
    content::SmsView view(*s.sms, w.controls(), &w.merge);
    view.FillList(0);
    QTreeView *l = w.ListView_sms;
    ASSERT_EQ(sms_list::count(l), 2);
    EXPECT_EQ(l->model()->columnCount(), 5);
    EXPECT_TRUE(l->isColumnHidden(content::subItemColumn(content::kIdSubItem)));
    EXPECT_EQ(l->columnWidth(1), 120);
    EXPECT_EQ(sms_list::caption(l, 2), qs(keyText("SmsMng_0_DataListColumn2")));
    EXPECT_EQ(sms_list::id(l, 0), draft);
    EXPECT_EQ(sms_list::text(l, 0, content::subItemColumn(0)), QString::fromUtf8("+441 it's"));
    EXPECT_EQ(sms_list::text(l, 0, content::subItemColumn(1)), QString::fromUtf8("draft: 'quoted' 你好"));
    EXPECT_EQ(sms_list::image(l, 0), content::kPicDraft);
    EXPECT_EQ(sms_list::text(l, 1, content::subItemColumn(2)), "--");
    EXPECT_EQ(sms_list::image(l, 1), content::kPicSent);
    EXPECT_EQ(sms_list::text(l, 1, 4), QString::number(sent));

    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    EXPECT_TRUE(w.window.grab().save(screenshotDir() + "/sms_list_box0.png"));

    // Listing another box replaces the items.
    view.FillList(5);
    ASSERT_EQ(sms_list::count(l), 1);
    EXPECT_EQ(sms_list::image(l, 0), content::kPicDeleted);
    EXPECT_EQ(sms_list::caption(l, 0), qs(keyText("SmsMng_5_DataListColumn0")));
}

namespace {

enum class When { Always, Items, Connected, Unset };
struct ListRule {
    const char *name;
    std::set<int> shownIn; // empty: never; {-1}: every box
    When enabled;
};
const ListRule kListRules[] = {
    {"pSmsNew", {2, 4, 9}, When::Always},
    {"pSmsEdit", {2, 4, 9}, When::Always},
    {"pSmsDel", {-1}, When::Items},
    {"pSmsSa", {-1}, When::Items},
    {"N12", {-1}, When::Unset},
    {"pSmsSendto", {}, When::Unset},
    {"pSmsResend", {9}, When::Connected},
    {"pSmsSend", {2, 4}, When::Connected},
    {"pSmsSendBack", {7, 8}, When::Connected},
    {"N13", {0, 1, 2, 3, 4, 7, 8, 9}, When::Unset},
    {"pSmsWrite", {}, When::Unset},
    {"N1", {}, When::Unset},
    {"pSmsUndel", {5}, When::Items},
    {"pSmsProperty", {0, 1, 2, 3, 4, 6, 7, 8, 9}, When::Always},
};

} // namespace

TEST(SmsView, MenuRulesOnRealActions)
{
    SmsStore s;
    MainWindow w;
    content::SmsView view(*s.sms, w.controls(), &w.merge);
    for (int box = 0; box <= 9; ++box)
        for (bool connected : {false, true})
            for (int rows : {0, 1}) {
                SCOPED_TRACE(testing::Message() << "box " << box << (connected ? " connected " : " offline ")
                                                << rows << " rows");
                s.table().clear();
                if (rows)
                    s.add(box == 7 ? 8 : box, "+44", "one");
                s.env.app.Connected = connected;
                view.FillList(box);
                ASSERT_EQ(sms_list::count(w.ListView_sms), rows);
                view.UpdateMenus(box);

                for (const ListRule &r : kListRules) {
                    SCOPED_TRACE(r.name);
                    QAction *a = w.action(r.name);
                    ASSERT_TRUE(a);
                    const bool shown = r.shownIn.count(-1) || r.shownIn.count(box);
                    EXPECT_EQ(a->isVisible(), shown);
                    // A hidden action reports itself disabled whatever it was set to.
                    if (!shown)
                        continue;
                    if (r.enabled == When::Always) {
                        EXPECT_TRUE(a->isEnabled());
                    } else if (r.enabled == When::Items) {
                        EXPECT_EQ(a->isEnabled(), rows > 0);
                    } else if (r.enabled == When::Connected) {
                        EXPECT_EQ(a->isEnabled(), connected);
                    }
                }
                const std::set<int> loadBoxes{0, 1, 7, 8, 9};
                EXPECT_EQ(w.action("menu_load_sms")->isEnabled(), connected && loadBoxes.count(box));
                EXPECT_FALSE(w.action("menu_sendall")->isVisible());
                EXPECT_EQ(w.action("menu_add_sms")->isEnabled(), box == 2 || box == 4 || (box == 9 && connected));
                const bool clear = box <= 6 ? rows > 0 : connected && rows > 0;
                EXPECT_EQ(w.action("menu_clear_sms")->isEnabled(), clear);
                EXPECT_EQ(w.action("menu_allundel_sms")->isEnabled(), (box == 5 || box == 6) && rows > 0);

                const QList<QAction *> edit = w.m_Edit->actions();
                for (int i : {0, 1, 2})
                    EXPECT_FALSE(edit[i]->isEnabled()) << i;
                EXPECT_EQ(edit[4]->isEnabled(), rows > 0);
                EXPECT_EQ(edit[5]->isEnabled(), clear);
                EXPECT_TRUE(edit[6]->isEnabled());

                const QList<QAction *> sub = w.mSms->actions();
                for (int i = 0; i < sub.size(); ++i)
                    EXPECT_EQ(sub[i]->isEnabled(), (i == 3 || i == 4) ? false : connected) << i;
                // The tool menu shows mSms's commands, then its own.
                const QList<QAction *> tool = w.m_tool->actions();
                ASSERT_EQ(tool.size(), sub.size() + 2);
                EXPECT_EQ(tool.mid(0, sub.size()), sub);

                const QList<QAction *> bar = w.ToolBar_sms->actions();
                EXPECT_EQ(bar[0]->isEnabled(), !connected);
                EXPECT_EQ(bar[1]->isEnabled(), connected);
                EXPECT_FALSE(bar[2]->isEnabled());
                EXPECT_FALSE(bar[3]->isEnabled());
                EXPECT_EQ(w.tagOneButton->isEnabled(), connected);
            }
}

TEST(SmsView, MinusOneKeepsTheLastBox)
{
    SmsStore s;
    s.add(content::kBoxRecycle, "+44", "x");
    MainWindow w;
    content::SmsView view(*s.sms, w.controls(), &w.merge);
    view.FillList(5);
    view.UpdateMenus(5);
    view.FillList(5);
    view.UpdateMenus(-1);
    EXPECT_TRUE(w.action("pSmsUndel")->isVisible());
    EXPECT_FALSE(w.action("pSmsProperty")->isVisible());
    EXPECT_EQ(s.sms->menuBox(), 5);
}

// The edit menu's fifth and sixth items run the message commands' handlers, clicked through the
// real menu; another manager may point them elsewhere later without both running.
TEST(SmsView, EditMenuRunsTheMessageCommands)
{
    SmsStore s;
    s.add(content::kBoxReceived, "+44", "x");
    MainWindow w;
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    content::SmsView view(*s.sms, w.controls(), &w.merge);
    view.FillList(1);
    view.UpdateMenus(1);
    view.UpdateMenus(1); // applied twice: still one handler
    const QList<QAction *> edit = w.m_Edit->actions();
    ASSERT_TRUE(clickItem(w.m_Edit, edit[4]));
    EXPECT_EQ(w.clicks.value("pSmsDel"), 1);
    ASSERT_TRUE(clickItem(w.m_Edit, edit[5]));
    EXPECT_EQ(w.clicks.value("menu_clear_sms"), 1);

    QAction other("phrase delete");
    int otherClicks = 0;
    QObject::connect(&other, &QAction::triggered, [&] { ++otherClicks; });
    content::forwardTrigger(edit[4], &other);
    edit[4]->trigger();
    EXPECT_EQ(otherClicks, 1);
    EXPECT_EQ(w.clicks.value("pSmsDel"), 1);
}

// ---- a long list: ids only, texts read as rows are shown ----

namespace {

constexpr int kLong = 5000;

// kLong drafts and three received messages; the ids of the drafts, in order.
std::vector<int32_t> addLongBox(SmsStore &s)
{
    content::ArraySms list;
    for (int i = 0; i < kLong + 3; ++i) {
        content::Ssms m;
        m.boxid = i < kLong ? content::kBoxDrafts : content::kBoxReceived;
        m.Tel = "+44" + std::to_string(i);
        m.body = "b";
        list.push_back(m);
    }
    s.sms->AddMessages(list, 0, false);
    std::vector<int32_t> ids;
    for (const content::Ssms &m : s.sms->Messages(content::kBoxDrafts))
        ids.push_back(m.id);
    return ids;
}

} // namespace

TEST(SmsViewLongList, EveryRowAtOnceInOrderAndTextsFollowTheStore)
{
    SmsStore s;
    const std::vector<int32_t> ids = addLongBox(s);
    ASSERT_EQ(int(ids.size()), kLong);
    MainWindow w;
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    content::SmsView view(*s.sms, w.controls(), &w.merge);
    QTreeView *l = w.ListView_sms;
    view.FillList(content::kBoxDrafts);
    EXPECT_EQ(sms_list::ids(l), ids);
    EXPECT_EQ(view.ListedCount(), kLong);
    EXPECT_EQ(sms_list::text(l, kLong - 1, content::subItemColumn(0)), qs("+44" + std::to_string(kLong - 1)));

    // The row shows what the store holds now: an edit is there once the row is read again, and a
    // message gone from the store leaves an empty row, never another message's texts.
    content::Ssms m;
    m.id = ids[3];
    ASSERT_EQ(s.sms->GetMessage(m), 0);
    m.body = "edited";
    content::ArraySms one{m};
    ASSERT_EQ(s.sms->SaveMessages(one), 0);
    view.model()->rowChanged(3);
    EXPECT_EQ(sms_list::text(l, 3, content::subItemColumn(1)), "edited");
    content::ArraySms gone{content::Ssms{.id = ids[4], .boxid = content::kBoxRecycle}};
    ASSERT_EQ(s.sms->DeleteMessages(gone), 0);
    EXPECT_EQ(sms_list::text(l, 4, content::subItemColumn(0)), QString());
    EXPECT_EQ(sms_list::id(l, 4), ids[4]);

    // Another box replaces the rows; a key in the list finds every row there.
    view.FillList(content::kBoxReceived);
    EXPECT_EQ(sms_list::count(l), 3);
    view.FillList(content::kBoxDrafts);
    l->setFocus();
    ASSERT_EQ(sms_list::count(l), kLong - 1) << "without the one deleted";
    QTest::keyClick(l, Qt::Key_End);
    EXPECT_EQ(l->currentIndex().row(), kLong - 2);
    EXPECT_EQ(sms_list::id(l, kLong - 2), ids.back());
}

// Rows taken out keep the others in order; a few runs keep the current row, many are one reset.
TEST(SmsViewLongList, RemovedRowsKeepTheOthersInOrder)
{
    SmsStore s;
    const std::vector<int32_t> ids = addLongBox(s);
    MainWindow w;
    content::SmsView view(*s.sms, w.controls(), &w.merge);
    QTreeView *l = w.ListView_sms;
    struct Case {
        const char *name;
        std::vector<int> rows;
    };
    std::vector<int> every3rd;
    for (int r = 0; r < kLong; r += 3)
        every3rd.push_back(r);
    const std::vector<Case> cases{
        {"one", {10}},
        {"a run, given twice and out of order", {12, 11, 10, 11, -1, kLong}},
        {"first and last", {0, kLong - 1}},
        {"many runs", every3rd},
        {"nothing", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        view.FillList(content::kBoxDrafts);
        sms_list::choose(l, 20);
        std::vector<int32_t> expected;
        for (int r = 0; r < kLong; ++r)
            if (std::find(c.rows.begin(), c.rows.end(), r) == c.rows.end())
                expected.push_back(ids[size_t(r)]);
        view.model()->removeListRows(c.rows);
        EXPECT_EQ(sms_list::ids(l), expected);
        if (c.rows.size() < 64) {
            EXPECT_EQ(view.model()->idAt(l->currentIndex().row()), ids[20]) << "the current row stays";
        }
    }
}

// A window may free its list before the view goes: the view then lists into nothing.
TEST(SmsView, AListFreedFirstIsLeftAlone)
{
    SmsStore s;
    s.add(content::kBoxDrafts, "+44", "x");
    MainWindow w;
    content::SmsView view(*s.sms, w.controls(), &w.merge);
    view.FillList(content::kBoxDrafts);
    ASSERT_EQ(view.ListedCount(), 1);
    delete w.ListView_sms;
    view.FillList(content::kBoxDrafts);
    view.UpdateMenus(content::kBoxDrafts);
    EXPECT_EQ(view.ListedCount(), 0);
    EXPECT_EQ(view.model(), nullptr);
}
