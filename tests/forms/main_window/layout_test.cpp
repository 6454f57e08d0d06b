// The main window's shape: every menu item, pop-up item and tool button from the inventory with
// its name, tag, shortcut and place; the areas switched by the group's tag; the layout at three
// window sizes; the keyboard walk and the keys.

#include "main_rig.h"

#include "controls/navbar/nav_bar.h"
#include "forms/f_find.h"
#include "content/qt/pictures.h"
#include "forms/f_main_inventory.h"
#include "forms/support/screenshot.h"
#include "forms/support/when_modal.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace main_window_test {
namespace {

using forms::MainItemKind;
using forms::tagOf;

// Window shortcuts need the window to be the active one (also again after a dialog closed).
void activate(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

QStringList names(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        out << (a->menu() ? a->menu()->objectName() : a->objectName());
    return out;
}

TEST(MainWindowInventory, EveryItemExistsWithItsNameTagShortcutAndPlace)
{
    MainRig rig;
    forms::TfMain &w = *rig.main;
    for (const forms::MainItem &i : forms::mainInventory()) {
        SCOPED_TRACE(i.name);
        const QString name = QString::fromLatin1(i.name);
        switch (i.kind) {
        case MainItemKind::Menu:
        case MainItemKind::Popup:
            ASSERT_NE(w.menu(name), nullptr);
            break;
        case MainItemKind::ToolBar:
            ASSERT_NE(w.toolBar(name), nullptr);
            EXPECT_EQ(w.toolBar(name)->parentWidget()->objectName(), QString::fromLatin1(i.parent));
            break;
        default: {
            QAction *a = w.action(name);
            ASSERT_NE(a, nullptr);
            EXPECT_EQ(tagOf(a), i.tag);
            EXPECT_EQ(a->shortcut(), i.shortcut ? QKeySequence(QString::fromLatin1(i.shortcut)) : QKeySequence());
            EXPECT_EQ(a->isSeparator(), i.kind == MainItemKind::Separator);
        }
        }
        if (i.parent && i.kind != MainItemKind::ToolBar) {
            const QString parent = QString::fromLatin1(i.parent);
            const QList<QAction *> items = parent == "Menu_Main" ? w.menuBar()->actions()
                                           : w.menu(parent)      ? w.menu(parent)->actions()
                                                                 : w.toolBar(parent)->actions();
            ASSERT_LT(i.position, items.size());
            EXPECT_EQ(names(items)[i.position], name);
        }
    }
}

// Real icons: the theme is found offscreen too (set explicitly, not by a desktop), every tool-bar
// command has one, and the message states and the boxes can be told apart at a glance. The
// placeholders were coloured tiles, and unread messages wore the outbox's.
TEST(MainWindowIcons, ThemeIconsForEveryCommandStateAndBox)
{
    MainRig rig;
    ASSERT_TRUE(content::useIconTheme()) << "the icon theme is not installed (scripts/deps.sh)";
    EXPECT_EQ(QIcon::themeName(), QString::fromLatin1(content::kIconTheme));
    auto image = [](const QIcon &i) { return i.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32); };
    auto allDifferent = [&](const std::vector<std::pair<std::string, QIcon>> &icons) {
        for (size_t a = 0; a < icons.size(); ++a) {
            EXPECT_FALSE(icons[a].second.isNull()) << icons[a].first;
            for (size_t b = a + 1; b < icons.size(); ++b)
                EXPECT_NE(image(icons[a].second), image(icons[b].second)) << icons[a].first << " = " << icons[b].first;
        }
    };
    // Where the theme has an icon, it is the theme's.
    for (int i = 0; i < content::kPictureCount; ++i)
        for (const QString &n : content::themeNames(i))
            if (QIcon::hasThemeIcon(n)) {
                EXPECT_EQ(content::picture(i).name(), n) << i;
                break;
            }

    using P = std::pair<std::string, QIcon>;
    allDifferent({P{"unread", content::picture(content::kPicUnread)}, P{"read", content::picture(content::kPicRead)},
                  P{"sent", content::picture(content::kPicSent)}, P{"unsent", content::picture(content::kPicUnsent)},
                  P{"draft", content::picture(content::kPicDraft)}, P{"deleted", content::picture(content::kPicDeleted)}});
    std::vector<P> boxes;
    for (int box : {0, 1, 2, 3, 4, 5, 7, 8, 9})
        boxes.push_back({"box " + std::to_string(box), content::picture(content::boxPicture(box))});
    allDifferent(boxes);
    allDifferent({P{"book", content::picture(content::kPicBook)}, P{"SIM", content::picture(content::kPicStorageSim)},
                  P{"phone", content::picture(content::kPicStoragePhone)},
                  P{"contacts", content::picture(content::kPicStorageContacts)},
                  P{"groups", content::picture(content::kPicStorageGroups)},
                  P{"contact", content::picture(content::kPicContact)}});

    // Every tool-bar command, and one look per command name.
    std::map<std::string, QIcon> byName;
    for (const forms::MainItem &i : forms::mainInventory())
        if (i.kind == MainItemKind::Button) {
            SCOPED_TRACE(i.name);
            ASSERT_NE(i.icon, nullptr) << "a tool-bar command without an icon";
            QAction *a = rig.main->action(QString::fromLatin1(i.name));
            ASSERT_NE(a, nullptr);
            EXPECT_FALSE(a->icon().isNull());
            EXPECT_FALSE(content::commandThemeNames(i.icon).isEmpty());
            byName.emplace(i.icon, a->icon());
        }
    allDifferent(std::vector<P>(byName.begin(), byName.end()));
}

TEST(MainWindowInventory, PositionsTheManagersRelyOn)
{
    MainRig rig;
    forms::TfMain &w = *rig.main;
    const QStringList edit = names(w.menu("m_Edit")->actions());
    EXPECT_EQ(edit.mid(0, 3), (QStringList{"m_copy", "m_cut", "m_pase"}));
    EXPECT_EQ(edit[4], "m_del");
    EXPECT_EQ(edit[5], "menu_user_clear");
    EXPECT_EQ(names(w.menu("menu_userview")->actions())[6], "npPaste");
    EXPECT_EQ(names(w.menu("menu_treeuser")->actions()).mid(2, 2), (QStringList{"nGrpDel", "npClear"}));
    EXPECT_EQ(names(w.menu("menu_list_sms")->actions()).size(), 14);
    EXPECT_EQ(names(w.menu("mSms")->actions()).mid(3, 2), (QStringList{"mSmsNew", "mSmsEdit"}));
    QAction *paste = nullptr;
    for (QAction *a : w.menu("menu_contview")->actions())
        if (tagOf(a) == 99)
            paste = a;
    ASSERT_NE(paste, nullptr);
    EXPECT_EQ(paste->objectName(), "nPaste");
    EXPECT_TRUE(w.action("m_Forward")->isChecked());
    EXPECT_FALSE(w.action("m_Backward")->isChecked());
    EXPECT_TRUE(w.action("N60")->isChecked());
    EXPECT_TRUE(w.action("N62")->isChecked());
    EXPECT_FALSE(w.action("N53")->isVisible());
    EXPECT_FALSE(w.action("menu_toring")->isVisible());
    // The find buttons drop the direction menu down.
    for (const char *b : {"tbSearch", "button_findcont"}) {
        QToolBar *bar = qobject_cast<QToolBar *>(w.action(b)->parent());
        ASSERT_NE(bar, nullptr);
        auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(w.action(b)));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->menu(), w.menu("PopupMenu1"));
    }
}

TEST(MainWindowInventory, FullyTranslated)
{
    MainRig rig;
    lang_qt_test::expectFullyTranslated(rig.main.get(), "fMain");
    lang_qt_test::expectFullyTranslated(rig.main->findDialog(), "fFind");
    EXPECT_EQ(rig.main->windowTitle(), "Selvark");
}

// ---- areas

struct Shown {
    QStringList panels, coolBars;
};
Shown shown(forms::TfMain &w)
{
    Shown s;
    for (const char *p : {"pSms", "pCard", "pUser", "pLogo", "pRing"})
        if (w.findChild<QWidget *>(p)->isVisible())
            s.panels << p;
    for (const char *c : {"cbsms", "cbCont", "dbUser"})
        if (w.findChild<QWidget *>(c)->isVisible())
            s.coolBars << c;
    return s;
}

TEST(MainWindowAreas, EachGroupShowsOnlyItsPanelAndToolBar)
{
    MainRig rig;
    forms::TfMain &w = *rig.main;
    w.show();
    controls::TqvNavBar *bar = w.dnbMain();
    ASSERT_EQ(bar->GroupsRef().Count(), 5);
    EXPECT_FALSE(bar->GroupsRef().Items(3)->Visible()); // Logo
    EXPECT_FALSE(bar->GroupsRef().Items(4)->Visible()); // Tone
    struct Case {
        int index;
        int area;
        QStringList panels, coolBars;
    };
    const Case cases[] = {{1, 1, {"pCard"}, {"cbCont"}},
                          {2, 2, {"pUser"}, {"dbUser"}},
                          {0, 0, {"pSms"}, {"cbsms"}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        bar->SetActiveGroupIndex(c.index);
        EXPECT_EQ(w.activeArea(), c.area);
        EXPECT_EQ(rig.manage->ActiveGroup, c.area);
        EXPECT_EQ(shown(w).panels, c.panels);
        EXPECT_EQ(shown(w).coolBars, c.coolBars);
    }
    // The invisible groups are never made active, not even by their menu items.
    w.setActiveArea(3);
    w.setActiveArea(4);
    EXPECT_EQ(shown(w).panels, QStringList{"pSms"});
}

TEST(MainWindowAreas, AfterDraggingCardAboveMessageAreasStillMatch)
{
    MainRig rig;
    forms::TfMain &w = *rig.main;
    w.show();
    controls::TqvNavBar *bar = w.dnbMain();
    bar->GroupsRef().Items(1)->SetIndex(0); // "Card" first, as a drag of the group leaves it
    ASSERT_EQ(bar->GroupsRef().Items(0)->Caption(), "Card");

    bar->SetActiveGroupIndex(0);
    EXPECT_EQ(rig.manage->ActiveGroup, 1);
    EXPECT_EQ(shown(w).panels, QStringList{"pCard"});
    bar->SetActiveGroupIndex(1);
    EXPECT_EQ(rig.manage->ActiveGroup, 0);
    EXPECT_EQ(shown(w).panels, QStringList{"pSms"});

    // The area keys go by the group's tag too.
    activate(&w);
    QTest::keyClick(&w, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(shown(w).panels, QStringList{"pUser"});
    QTest::keyClick(&w, Qt::Key_F2, Qt::ShiftModifier);
    EXPECT_EQ(shown(w).panels, QStringList{"pCard"});
    EXPECT_EQ(bar->ActiveGroupIndex(), 0);
    QTest::keyClick(&w, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_EQ(shown(w).panels, QStringList{"pSms"});
    EXPECT_EQ(rig.manage->ActiveGroup, 0);
}

TEST(MainWindowAreas, ToolMenuHoldsOnlyItsToolsInEveryArea)
{
    MainRig rig;
    forms::TfMain &w = *rig.main;
    w.show();
    QMenu *tool = w.menu("m_tool");
    const QList<QAction *> own = tool->actions();
    ASSERT_TRUE(own.contains(w.action("m_comset")));
    rig.showBox(1);
    for (int area : {1, 2, 0}) {
        w.setActiveArea(area);
        EXPECT_EQ(tool->actions(), own) << "area " << area;
    }
    // The area's commands stay in the area's own menu.
    EXPECT_TRUE(w.menu("mSms")->actions().contains(w.action("mSmsDownload")));
}

// ---- layout

TEST(MainWindowLayout, BarKeepsItsWidthListAndPreviewFillTheRest)
{
    MainRig rig;
    rig.addMessage(1, "Ann Example", "A message long enough to need a line of its own in the preview");
    forms::TfMain &w = *rig.main;
    w.show();
    rig.showBox(1);
    sms_list::choose(w.ListView_sms(), 0);
    for (QSize size : {QSize(800, 600), QSize(1280, 900), QSize(640, 480)}) {
        SCOPED_TRACE(size.width());
        w.resize(size);
        QCoreApplication::processEvents();
        ASSERT_TRUE(forms_test::waitUntil([&] { return w.size() == size; }, 2000));
        EXPECT_EQ(w.dnbMain()->width(), forms::kNavBarWidth);
        QWidget *pSms = w.findChild<QWidget *>("pSms");
        const QRect list = w.ListView_sms()->geometry();
        // The list and the preview take the whole width right of the bar.
        EXPECT_EQ(pSms->mapTo(&w, QPoint(0, 0)).x(), forms::kNavBarWidth);
        EXPECT_EQ(pSms->width(), w.width() - forms::kNavBarWidth);
        EXPECT_EQ(list.width(), pSms->width());
        EXPECT_GT(w.Memo_smstext()->height(), 20);
        // Nothing below the window's edge: the status bar's panels and the preview are inside.
        const QRect memo(w.Memo_smstext()->mapTo(&w, QPoint(0, 0)), w.Memo_smstext()->size());
        EXPECT_LE(memo.bottom(), w.statusBar()->geometry().top());
        for (int i = 0; i < 4; ++i) {
            const QRect r(w.statusPanel(i)->mapTo(&w, QPoint(0, 0)), w.statusPanel(i)->size());
            EXPECT_LE(r.right(), w.width());
        }
        forms_test::screenshot(&w, "fMain_" + std::to_string(size.width()) + "x" + std::to_string(size.height()));
    }
    // The splitter moves.
    QSplitter *split = w.smsSplitter();
    const QList<int> before = split->sizes();
    split->setSizes({before[0] - 60, before[1] + 60});
    EXPECT_LT(split->sizes()[0], before[0]);
    EXPECT_EQ(w.statusPanel(0)->width(), 150);
    EXPECT_EQ(w.statusPanel(2)->width(), 100);
}

TEST(MainWindowLayout, ScreenshotsOfTheOtherAreas)
{
    MainRig rig;
    forms::TfMain &w = *rig.main;
    w.show();
    w.setActiveArea(1);
    QTest::qWait(50);
    forms_test::screenshot(&w, "fMain_contacts");
    // The caption line belongs to the area shown: never the message tree's.
    const QString smsRoot = w.TreeView_sms()->topLevelItem(0)->text(0);
    QTreeWidgetItem *contNode = w.TreeView_cont()->currentItem();
    EXPECT_FALSE(w.Panel1()->text().contains(smsRoot)) << w.Panel1()->text().toStdString();
    if (contNode)
        EXPECT_TRUE(w.Panel1()->text().startsWith("  " + contNode->text(0))) << w.Panel1()->text().toStdString();
    w.setActiveArea(2);
    QTest::qWait(50);
    forms_test::screenshot(&w, "fMain_phrases");
    EXPECT_FALSE(w.Panel1()->text().contains(smsRoot)) << w.Panel1()->text().toStdString();
}

TEST(MainWindowKeys, TabWalksBarTreeListPreview)
{
    MainRig rig;
    rig.addMessage(1, "Ann", "hi");
    forms::TfMain &w = *rig.main;
    w.show();
    QApplication::setActiveWindow(&w);
    rig.showBox(1);
    w.TreeView_sms()->setFocus();
    ASSERT_TRUE(forms_test::waitUntil([&] { return w.TreeView_sms()->hasFocus(); }, 2000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.ListView_sms());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.Memo_smstext());
}

TEST(MainWindowKeys, KeysReachTheirActions)
{
    MainRig rig;
    rig.addMessage(1, "Ann", "hi");
    forms::TfMain &w = *rig.main;
    activate(&w);
    rig.showBox(1);

    QSignalSpy help(w.action("nHelp"), &QAction::triggered);
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_EQ(help.count(), 1);

    QSignalSpy smsDel(w.action("pSmsDel"), &QAction::triggered);
    w.ListView_sms()->setFocus();
    QTest::keyClick(w.ListView_sms(), Qt::Key_Delete);
    EXPECT_EQ(smsDel.count(), 1);
    QSignalSpy contDel(w.action("menu_delcont"), &QAction::triggered);
    w.setActiveArea(1);
    QTest::keyClick(w.ListView_cont(), Qt::Key_Delete);
    EXPECT_EQ(contDel.count(), 1);
    w.setActiveArea(0);

    // Ctrl+F and Ctrl+F1 open the find dialog.
    int opened = 0;
    forms_test::whenModal("fFind", [&](QWidget *d) {
        ++opened;
        static_cast<forms::TfFind *>(d)->done(forms::TfFind::kResultCancel);
    });
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(opened, 1);
    activate(&w);
    forms_test::whenModal("fFind", [&](QWidget *d) {
        ++opened;
        static_cast<forms::TfFind *>(d)->done(forms::TfFind::kResultCancel);
    });
    QTest::keyClick(&w, Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(rig.prompt.shown().empty());

    // Alt and a mnemonic open the menu; its item's mnemonic runs it.
    QSignalSpy selectAll(w.action("m_selectall"), &QAction::triggered);
    activate(&w);
    QTest::keyClick(&w, Qt::Key_E, Qt::AltModifier);
    ASSERT_TRUE(forms_test::waitUntil([&] { return w.menu("m_Edit")->isVisible(); }, 2000));
    QTest::keyClick(w.menu("m_Edit"), Qt::Key_A);
    EXPECT_EQ(selectAll.count(), 1);
}

} // namespace
} // namespace main_window_test
