// The program on the desktop as a user meets it: the simulated handset in infrared range, the
// program with its own dialogs (no scripted answers), and nothing but clicks and keys through the
// X server. No printing system is installed: printing goes to PDF files through the print dialog.

#include "content/sms_qt/sms_list_rows.h"
#include "program_on_desktop.h"

#include "content/qt/contacts_qt.h"
#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "forms/f_main.h"
#include "forms/fr_print.h"
#include "forms_app.h"
#include "program/program.h"
#include "when_modal.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QAbstractItemView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace desktop_test {
namespace {

using forms_test::waitUntil;

QString pdfText(const std::string &pdf)
{
    QProcess p;
    p.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext " << pdf << ": " << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

class OnTheDesktop : public ProgramOnDesktop {
protected:
    // Opens a menu of the menu bar and clicks one of its items.
    void fromMenu(const char *menuName, const char *item)
    {
        QMenu *m = w().menu(menuName);
        ASSERT_NE(m, nullptr) << menuName;
        clickMenu(w().menuBar(), m);
        ASSERT_TRUE(m->isVisible()) << menuName << " did not open";
        QAction *a = w().action(item);
        ASSERT_NE(a, nullptr) << item;
        ASSERT_TRUE(a->isEnabled()) << item << " is greyed out";
        clickItem(m, a);
    }
    // The tree node whose data in role is value.
    static QTreeWidgetItem *node(QTreeWidget *tree, int role, int value)
    {
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if ((*it)->data(0, role).toInt() == value)
                return *it;
        return nullptr;
    }
    void clickNode(QTreeWidget *tree, QTreeWidgetItem *n)
    {
        ASSERT_NE(n, nullptr);
        tree->scrollToItem(n);
        // A click that lands while the window manager is still raising the window is lost: again.
        for (int i = 0; i < 3 && tree->currentItem() != n; ++i) {
            click(tree->viewport(), tree->visualItemRect(n).center());
            waitUntil([&] { return tree->currentItem() == n; }, 20000);
        }
        ASSERT_EQ(tree->currentItem(), n) << n->text(0).toStdString();
    }
    // The same for a row of the message list.
    void clickRow(QTreeView *list, int row)
    {
        ASSERT_LT(row, sms_list::count(list));
        list->scrollTo(sms_list::at(list, row));
        for (int i = 0; i < 3 && list->currentIndex().row() != row; ++i) {
            click(list->viewport(), sms_list::rowRect(list, row).center());
            waitUntil([&] { return list->currentIndex().row() == row; }, 20000);
        }
        ASSERT_EQ(list->currentIndex().row(), row);
    }
    // In the print dialog up now: printing to the file path, then Print.
    void printToFile(QWidget *dlg, const std::string &path)
    {
        auto *file = dlg->findChild<QLineEdit *>("filename");
        ASSERT_NE(file, nullptr) << "no file name field in the print dialog";
        ASSERT_TRUE(file->isEnabled()) << "printing to a file is not chosen";
        click(file);
        key("ctrl+a");
        type(QString::fromStdString(path));
        ASSERT_TRUE(waitUntil([&] { return file->text() == QString::fromStdString(path); }, 20000))
            << file->text().toStdString();
        key("Return");
    }
    QStringList contactNames()
    {
        QStringList out;
        QTreeWidget *list = w().ListView_cont();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(1);
        return out;
    }

};

TEST_F(OnTheDesktop, ContactsAreReadFromTheMenuAndTheSimListPrintsToAPdf)
{
    shot(&w(), "main_messages");
    key("shift+F2");
    ASSERT_TRUE(waitUntil([&] { return w().activeArea() == forms::kAreaCard; }, 20000));
    QTreeWidget *tree = w().TreeView_cont();
    QTreeWidgetItem *simNode = node(tree, content::kStorageRole, 1);
    clickNode(tree, simNode);

    // Connected, nothing read yet: the menu reads the SIM card.
    fromMenu("mCont", "menu_cont_read");
    ASSERT_TRUE(waitUntil([&] { return contactNames().contains("Anna"); }, 30000))
        << contactNames().join(',').toStdString();
    shot(&w(), "main_contacts");

    const std::string pdf = folder.root() + "/sim.pdf";
    bool printed = false;
    forms_test::whenModal(
        "fr_print",
        [&](QWidget *dlg) {
            auto *print = static_cast<forms::Tfr_print *>(dlg);
            shot(print, "fr_print_contacts");
            forms_test::whenModal(
                "PrintDialog",
                [&](QWidget *pd) {
                    shot(pd, "print_dialog");
                    printToFile(pd, pdf);
                },
                20000);
            click(print->btnPrint);
            // The print dialog closes, and with it the dialog that started the print.
            printed = waitUntil([&] { return QFile::exists(QString::fromStdString(pdf)) && !print->isVisible(); },
                                20000);
            if (print->isVisible()) {
                ADD_FAILURE() << "the print dialog stays open after printing";
                print->reject();
            }
        },
        20000);
    key("ctrl+p");
    ASSERT_TRUE(waitUntil([&] { return printed; }, 40000));
    const QString text = pdfText(pdf);
    for (const char *name : {"Anna", "Jörg Müller", "Emergency", "+4917612345678"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(name))) << name << " not in:\n" << text.toStdString();

    // The contact editor of a new SIM contact.
    EXPECT_EQ(shotModal([&] { w().action("menu_cont_add")->trigger(); }, "fVcardEdit"), "fVcardEdit");
}

TEST_F(OnTheDesktop, Box1PrintsToAPdfWithItsHeadsAndEveryDialogIsShown)
{
    QTreeWidget *boxes = w().TreeView_sms();
    clickNode(boxes, node(boxes, content::kBoxIdRole, content::kBoxReceived));
    fromMenu("mSms", "mSmsDownload");
    QTreeView *list = w().ListView_sms();
    ASSERT_TRUE(waitUntil([&] { return sms_list::count(list) >= 2; }, 30000)) << sms_list::count(list);
    clickRow(list, 0);
    shot(&w(), "main_messages_inbox");

    const std::string pdf = folder.root() + "/inbox.pdf";
    bool printed = false;
    forms_test::whenModal(
        "fr_print",
        [&](QWidget *dlg) {
            auto *print = static_cast<forms::Tfr_print *>(dlg);
            // The range: box 1, chosen in the drop-down list.
            QComboBox *ranges = print->cbPrints;
            const int inbox = ranges->findData(content::kBoxReceived);
            ASSERT_GE(inbox, 0);
            click(ranges);
            QAbstractItemView *view = ranges->view();
            ASSERT_TRUE(waitUntil([&] { return view->isVisible(); }, 20000)) << "the range list did not drop down";
            const QModelIndex at = view->model()->index(inbox, 0);
            view->scrollTo(at);
            click(view->viewport(), view->visualRect(at).center());
            ASSERT_TRUE(waitUntil([&] { return ranges->currentIndex() == inbox; }, 20000));
            shot(print, "fr_print_messages");

            // The dialogs the print dialog opens, each shown and closed again.
            EXPECT_EQ(shotModal([&] { click(print->btnSetup); }, "page_setup"),
                      "PageSetupDialog");
            EXPECT_EQ(shotModal([&] { click(print->SpeedButton1); }, "font_dialog"),
                      "FontDialog");
            EXPECT_EQ(shotModal([&] { click(print->btnPrintview); },
                                "fr_viewprint_messages"),
                      "fr_viewprint");

            forms_test::whenModal(
                "PrintDialog", [&](QWidget *pd) { printToFile(pd, pdf); }, 20000);
            click(print->btnPrint);
            printed = waitUntil([&] { return QFile::exists(QString::fromStdString(pdf)) && !print->isVisible(); },
                                20000);
            if (print->isVisible()) {
                ADD_FAILURE() << "the print dialog stays open after printing";
                print->reject();
            }
        },
        20000);
    key("ctrl+p");
    ASSERT_TRUE(waitUntil([&] { return printed; }, 60000));
    const QString text = pdfText(pdf);
    // Each head: the number, the time after its caption, the box's name after its caption.
    const QRegularExpression head("\\+4930123456\\s+Time:20\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\s+Box:Inbox");
    EXPECT_TRUE(text.contains(head)) << text.toStdString();
    EXPECT_TRUE(text.contains("Lunch at noon?")) << text.toStdString();
    EXPECT_FALSE(text.contains("Content:")) << text.toStdString();

    // The other dialogs of the main window, from its menus.
    struct Dialog {
        const char *action;
        const char *name;
    };
    for (const Dialog &d : {Dialog{"N34", "fAbout"}, Dialog{"SysTemInfo1", "fPhoneInfo"}, Dialog{"m_comset", "fSet"},
                            Dialog{"m_find", "fFind"}, Dialog{"mSmsNew", "fEditSms"}}) {
        QAction *a = w().action(d.action);
        ASSERT_NE(a, nullptr) << d.action;
        EXPECT_EQ(shotModal([&] { a->trigger(); }, d.name), d.name);
    }
    key("shift+F6");
    ASSERT_TRUE(waitUntil([&] { return w().activeArea() == forms::kAreaUser; }, 20000));
    shot(&w(), "main_phrases");
}

} // namespace
} // namespace desktop_test
