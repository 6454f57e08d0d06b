// The main menu item that shows the current manager's commands in front of its own, driven
// offscreen: the same source twice, another source, and a command disabled or hidden after the
// merge, clicked through the real menu.
#include "core/qt/menu_merge.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMainWindow>
#include <QTest>

#include <memory>

namespace {

// Texts of a menu's items as the user sees them ("-" for a separator, hidden ones left out).
QStringList shown(const QMenu &m)
{
    QStringList out;
    for (QAction *a : m.actions())
        if (a->isVisible())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

// A manager's pop-up menu with counted commands.
struct Manager {
    QMenu menu;
    QMap<QString, int> clicks;

    explicit Manager(const QStringList &commands)
    {
        for (const QString &c : commands) {
            QAction *a = menu.addAction(c);
            a->setObjectName(c);
            QObject::connect(a, &QAction::triggered, [this, c] { ++clicks[c]; });
        }
    }
    QAction *action(const QString &name) const { return menu.findChild<QAction *>(name); }
};

struct MainMenu {
    QMainWindow window;
    QMenu *edit = nullptr;
    int findClicks = 0;

    MainMenu()
    {
        edit = window.menuBar()->addMenu("Edit");
        QObject::connect(edit->addAction("Find"), &QAction::triggered, [this] { ++findClicks; });
        edit->addAction("Select all");
        window.resize(400, 300);
    }
};

// Opens the menu offscreen and clicks the item with that text; false when the item cannot be
// found on the open menu.
bool clickItem(QMenu *menu, const QString &text)
{
    menu->popup(QPoint(10, 10));
    if (!QTest::qWaitForWindowExposed(menu))
        return false;
    for (QAction *a : menu->actions()) {
        if (a->text() != text)
            continue;
        const QRect r = menu->actionGeometry(a);
        if (r.isEmpty())
            return false;
        QTest::mouseClick(menu, Qt::LeftButton, {}, r.center());
        QApplication::processEvents();
        menu->hide();
        return true;
    }
    menu->hide();
    return false;
}

} // namespace

TEST(MenuMerge, SameSourceTwiceAddsNothing)
{
    MainMenu main;
    Manager sms({"Send", "Reply", "Delete"});
    core::MenuMerge merge;
    merge.mergePopupItems(main.edit, &sms.menu);
    EXPECT_EQ(shown(*main.edit), (QStringList{"Send", "Reply", "Delete", "-", "Find", "Select all"}));
    const QList<QAction *> first = main.edit->actions();
    EXPECT_EQ(first.mid(0, 3), sms.menu.actions()); // the source's own commands, not copies

    merge.mergePopupItems(main.edit, &sms.menu);
    EXPECT_EQ(main.edit->actions(), first);
    EXPECT_EQ(sms.menu.actions().size(), 3); // the source keeps its commands

    // Clicking in the main menu runs the source's handler; the target's own items still work.
    ASSERT_TRUE(clickItem(main.edit, "Reply"));
    EXPECT_EQ(sms.clicks.value("Reply"), 1);
    ASSERT_TRUE(clickItem(main.edit, "Find"));
    EXPECT_EQ(main.findClicks, 1);
}

TEST(MenuMerge, AnotherSourceReplaces)
{
    MainMenu main;
    Manager sms({"Send", "Reply", "Delete"});
    Manager book({"New contact", "Copy"});
    core::MenuMerge merge;
    merge.mergePopupItems(main.edit, &sms.menu);
    merge.mergePopupItems(main.edit, &book.menu);
    EXPECT_EQ(shown(*main.edit), (QStringList{"New contact", "Copy", "-", "Find", "Select all"}));
    merge.mergePopupItems(main.edit, &sms.menu);
    EXPECT_EQ(shown(*main.edit), (QStringList{"Send", "Reply", "Delete", "-", "Find", "Select all"}));
    EXPECT_EQ(shown(book.menu), (QStringList{"New contact", "Copy"}));

    // A command the manager added since its last merge shows up when it is merged again.
    sms.menu.addAction("Forward");
    merge.mergePopupItems(main.edit, &sms.menu);
    EXPECT_EQ(shown(*main.edit),
              (QStringList{"Send", "Reply", "Delete", "Forward", "-", "Find", "Select all"}));

    // A source that goes away takes its commands along; the next merge starts clean.
    {
        Manager phrases({"Insert phrase"});
        merge.mergePopupItems(main.edit, &phrases.menu);
        EXPECT_EQ(shown(*main.edit), (QStringList{"Insert phrase", "-", "Find", "Select all"}));
    }
    EXPECT_EQ(shown(*main.edit), (QStringList{"-", "Find", "Select all"}));
    merge.mergePopupItems(main.edit, &book.menu);
    EXPECT_EQ(shown(*main.edit), (QStringList{"New contact", "Copy", "-", "Find", "Select all"}));
}

// A command disabled or hidden by its manager after the merge shows so in the main menu, and a
// click on the disabled one does nothing.
TEST(MenuMerge, StateFollowsTheSource)
{
    MainMenu main;
    Manager book({"New contact", "Copy", "Paste"});
    core::MenuMerge merge;
    merge.mergePopupItems(main.edit, &book.menu);

    book.action("Copy")->setEnabled(false);
    book.action("Paste")->setVisible(false);
    EXPECT_EQ(shown(*main.edit), (QStringList{"New contact", "Copy", "-", "Find", "Select all"}));
    EXPECT_FALSE(main.edit->actions().at(1)->isEnabled());

    main.edit->popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.edit));
    const QString dir = qEnvironmentVariable("SELVARK_BINARY_DIR", QDir::tempPath()) + "/screenshots/core";
    QDir().mkpath(dir);
    main.edit->grab().save(dir + "/menu_merge_disabled.png");
    EXPECT_TRUE(main.edit->actionGeometry(book.action("Paste")).isEmpty());
    main.edit->hide();

    ASSERT_TRUE(clickItem(main.edit, "Copy"));
    EXPECT_EQ(book.clicks.value("Copy"), 0);
    book.action("Copy")->setEnabled(true);
    ASSERT_TRUE(clickItem(main.edit, "Copy"));
    EXPECT_EQ(book.clicks.value("Copy"), 1);
}

// The application lives on main's stack, so it goes before Qt's own statics at exit.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
