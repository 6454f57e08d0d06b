// The main window's handlers over the real managers: window messages in the status bar, a box and
// a message chosen (marked read through the message store, a handset slot kept), the contact
// sort and its stored state, drops on the contact tree, and the clean-up of Temp at closing.

#include "main_rig.h"

#include "forms/support/when_modal.h"
#include "platform/qt/qt_window_messages.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

#include "content/sms_transfer.h"
#include "content/transfers/fake_handset.h"
#include "content/transfers/transfer_fixture.h"

namespace main_window_test {
namespace {

// Puts SIM entries into the handset's book as a read from the handset leaves them.
void simEntries(MainRig &rig, const std::vector<std::string> &names)
{
    platform::Table &t = rig.pb->book(0).table;
    int id = 1;
    for (const std::string &name : names) {
        t.append();
        t.setInt("Id", id);
        t.setInt("Stor", 1);
        t.setInt("Pos", 1); // the storage
        t.setInt("PbId", id); // the position
        t.setText("Value", content::TPhoneBookManage::BuildContact(
                               {{content::kFieldName, -1, name + ";"}, {content::kFieldTel, 0, std::to_string(100 + id)}}));
        t.post();
        ++id;
    }
}

QStringList statusTexts(forms::TfMain &w)
{
    QStringList out;
    for (int i = 0; i < 4; ++i)
        out << w.statusPanel(i)->text();
    return out;
}

// ---- window messages

TEST(MainWindowMessages, StatusBarFollowsTheHandset)
{
    MainRig rig;
    forms::TfMain &w = *rig.main;
    // At creation, before any handset: the disconnected texts.
    EXPECT_EQ(statusTexts(w), (QStringList{"Not connected", "No handset", "Battery", ""}));
    w.show();

    rig.manage->ComType = "IrDA";
    rig.manage->PhoneMan = "Vendra";
    rig.manage->PhoneModel = "K7";
    w.windowProc(forms::WM_PHONE_CONNECTED, 0, 0);
    EXPECT_EQ(statusTexts(w), (QStringList{"Connected: IrDA", "Vendra K7", "Battery", ""}));
    EXPECT_TRUE(rig.manage->Connected);
    EXPECT_FALSE(w.action("mConnect")->isEnabled());

    for (int level : {75, 57}) {
        w.windowProc(forms::WM_BATTERY_STATUS, level, 3);
        EXPECT_EQ(w.statusPanel(2)->text(), "Battery: " + QString::number(level) + "%");
    }
    w.windowProc(forms::WM_PLUGIN_SCAN_INFO, 1, 2);
    EXPECT_EQ(w.statusPanel(2)->text(), "Battery: 57%");
    w.windowProc(forms::WM_CONN_PARAMS_CHANGED, 0, 0);
    EXPECT_EQ(rig.phoneInfoCalls, 1);

    w.windowProc(forms::WM_PHONE_DISCONNECTED, 0, 0);
    EXPECT_EQ(statusTexts(w), (QStringList{"Not connected", "No handset", "Battery", ""}));
    EXPECT_FALSE(rig.manage->Connected);
    EXPECT_TRUE(w.action("mConnect")->isEnabled());
}

TEST(MainWindowMessages, PostedThroughTheHub)
{
    MainRig rig;
    platform::QtWindowMessages hub;
    const platform::WindowId id = rig.main->registerWindow(hub);
    EXPECT_EQ(rig.main->windowId(), id);
    ASSERT_TRUE(hub.post(id, forms::WM_BATTERY_STATUS, 75, 0));
    EXPECT_TRUE(forms_test::waitUntil([&] { return rig.main->statusPanel(2)->text() == "Battery: 75%"; }, 5000));
    rig.main.reset(); // the registration ends with the window
    EXPECT_FALSE(hub.post(id, forms::WM_BATTERY_STATUS, 10, 0));
}

TEST(MainWindowMessages, DisconnectEmptiesAHandsetBoxNotALocalOne)
{
    MainRig rig;
    rig.addMessage(1, "Ann", "local");
    rig.addMessage(8, "Bob", "on the handset");
    forms::TfMain &w = *rig.main;
    w.show();
    rig.showBox(1);
    ASSERT_EQ(w.ListView_sms()->topLevelItemCount(), 1);
    w.windowProc(forms::WM_PHONE_DISCONNECTED, 0, 0);
    EXPECT_EQ(w.ListView_sms()->topLevelItemCount(), 1);
    rig.showBox(8);
    ASSERT_EQ(w.ListView_sms()->topLevelItemCount(), 1);
    EXPECT_TRUE(w.Panel1()->text().endsWith("(1)"));
    w.windowProc(forms::WM_PHONE_DISCONNECTED, 0, 0);
    EXPECT_EQ(w.ListView_sms()->topLevelItemCount(), 0);
    EXPECT_TRUE(w.Panel1()->text().endsWith("(0)"));
}

// ---- messages

TEST(MainWindowMessagesList, BoxCaptionAndPreview)
{
    MainRig rig;
    rig.addMessage(1, "Ann", "first", 0, "2026-05-01 10:00:00");
    rig.addMessage(1, "Bob", "second");
    forms::TfMain &w = *rig.main;
    w.show();
    rig.showBox(1);
    EXPECT_EQ(w.Panel1()->text(), "  " + rig.boxNode(1)->text(0) + "(2)");

    w.ListView_sms()->setCurrentItem(w.ListView_sms()->topLevelItem(0));
    const QTreeWidgetItem *h = w.ListView_sms()->headerItem();
    EXPECT_EQ(w.Memo_smstext()->toPlainText(), "first");
    EXPECT_EQ(w.label_smsinfo()->text(), h->text(1) + ":Ann     " + h->text(3) + ":2026-05-01 10:00:00     Status:Read");
    w.ListView_sms()->clearSelection();
    EXPECT_EQ(w.Memo_smstext()->toPlainText(), "");
    EXPECT_EQ(w.label_smsinfo()->text(), "Nothing Selected");
    // A handler without a selected node does nothing.
    w.TreeView_sms()->setCurrentItem(nullptr);
    w.TreeView_smsChange();
    EXPECT_EQ(w.ListView_sms()->topLevelItemCount(), 2);
}

TEST(MainWindowMessagesList, ClickOnBoxOneMarksReadAndStoresBoxThreeChangesNothing)
{
    MainRig rig;
    const int inbox = rig.addMessage(1, "Ann", "unread", 0);
    const int sent = rig.addMessage(3, "Bob", "gone out", 3);
    forms::TfMain &w = *rig.main;
    w.show();

    rig.showBox(1);
    QTreeWidgetItem *row = w.ListView_sms()->topLevelItem(0);
    QTest::mouseClick(w.ListView_sms()->viewport(), Qt::LeftButton, {},
                      w.ListView_sms()->visualItemRect(row).center());
    EXPECT_EQ(rig.message(inbox).states, 1);
    EXPECT_EQ(row->data(0, content::kImageRole).toInt(), 1);
    // Stored: a new manager over the saved table sees it.
    ASSERT_EQ(rig.db->SaveAll(), 0);
    {
        core::TdbMain again(rig.manage->DatabaseDir(), &rig.prompt, &rig.manage->LangMng());
        content::TSMSManage sms(*rig.env, &again.table(core::DbTable::Smsinfo));
        content::Ssms m;
        m.id = inbox;
        ASSERT_EQ(sms.GetMessage(m), 0);
        EXPECT_EQ(m.states, 1);
    }

    rig.showBox(3);
    const content::Ssms before = rig.message(sent);
    w.ListView_sms()->setCurrentItem(w.ListView_sms()->topLevelItem(0));
    EXPECT_EQ(rig.message(sent), before);
    EXPECT_TRUE(w.label_smsinfo()->text().endsWith("Status:Sent"));
}

TEST(MainWindowMessagesList, ClickOnHandsetMessageKeepsItsSlotAndSendsNothing)
{
    transfer_test::FakeHandset handset;
    handset.store.put(1, 3, transfer_test::received("+4411", "on the SIM"));
    MainRig rig;
    rig.manage->Connected = true;
    content::TSmsTransfer phone(*rig.sms, *rig.env, *handset.runner, *handset.smsClt);
    handset.connect();
    ASSERT_EQ(phone.Download(), 0);
    forms::TfMain &w = *rig.main;
    w.show();
    rig.showBox(8);
    ASSERT_EQ(w.ListView_sms()->topLevelItemCount(), 1);
    const std::string before = transfer_test::slotText(phone.slotTable(1));
    ASSERT_NE(before.find("3:4:"), std::string::npos) << before;
    handset.store.log.clear();

    w.ListView_sms()->setCurrentItem(w.ListView_sms()->topLevelItem(0));
    const int id = w.ListView_sms()->topLevelItem(0)->text(content::subItemColumn(content::kIdSubItem)).toInt();
    EXPECT_EQ(rig.message(id).states, 1);
    EXPECT_EQ(rig.message(id).Tid, 3);
    EXPECT_EQ(transfer_test::slotText(phone.slotTable(1)), before);
    EXPECT_TRUE(handset.store.log.empty()) << handset.store.log.front();
    EXPECT_EQ(handset.runner->batchesRun(), 1); // the download only
}

// ---- contacts

TEST(MainWindowContacts, ColumnClicksSortUpThenDownAndTheNodeRestoresIt)
{
    MainRig rig;
    simEntries(rig, {"bravo", "Alpha", "charlie"});
    forms::TfMain &w = *rig.main;
    w.show();
    w.setActiveArea(1);
    QTreeWidget *tree = w.TreeView_cont();
    QTreeWidgetItem *sim = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->parent() && (*it)->data(0, content::kStorageRole).toInt() == 1)
            sim = *it;
    ASSERT_NE(sim, nullptr);
    tree->setCurrentItem(sim);
    QTreeWidget *list = w.ListView_cont();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_TRUE(w.Panel1()->text().startsWith("  " + sim->text(0) + "("));
    const auto column1 = [&] {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(1);
        return out;
    };
    const int nameColumn = 1;
    QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {},
                      QPoint(list->header()->sectionViewportPosition(nameColumn) + 5, 5));
    EXPECT_EQ(column1(), (QStringList{"Alpha", "bravo", "charlie"}));
    QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {},
                      QPoint(list->header()->sectionViewportPosition(nameColumn) + 5, 5));
    EXPECT_EQ(column1(), (QStringList{"charlie", "bravo", "Alpha"}));

    // Elsewhere and back: the stored sort comes back.
    tree->setCurrentItem(sim->parent());
    tree->setCurrentItem(sim);
    EXPECT_EQ(column1(), (QStringList{"charlie", "bravo", "Alpha"}));
    // Column 0 sorts the positions as numbers.
    w.ListView_contColumnClick(0);
    w.ListView_contColumnClick(0);
    QStringList pos;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        pos << list->topLevelItem(i)->text(0);
    QStringList sorted = pos;
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    EXPECT_EQ(pos, sorted);
}

TEST(MainWindowContacts, DropFromElsewhereIsRefusedAndCopiesNothing)
{
    MainRig rig;
    simEntries(rig, {"Ann"});
    forms::TfMain &w = *rig.main;
    w.show();
    w.setActiveArea(1);
    QTreeWidget *tree = w.TreeView_cont();
    QTreeWidgetItem *sim = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->parent() && (*it)->data(0, content::kStorageRole).toInt() == 1)
            sim = *it;
    ASSERT_NE(sim, nullptr);
    QTreeWidgetItem *root = tree->topLevelItem(0);
    tree->setCurrentItem(sim);
    const size_t rowsBefore = rig.pb->book(0).table.rows().size();

    // A drag from another program (or another list): no source widget of ours.
    QMimeData mime;
    mime.setText("Ann");
    const QPointF at = tree->visualItemRect(root).center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(rig.pb->book(0).table.rows().size(), rowsBefore);
}

// ---- closing

TEST(MainWindowClose, EmptiesOnlyTheProgramTempPlainFilesOnly)
{
    MainRig rig;
    platform_test::TempTree work; // the working folder, with a Temp of its own
    work.file("Temp/users.txt", "keep me");
    platform_test::TempTree outside;
    outside.file("target.txt", "not ours");
    const std::string temp = rig.manage->TempDir();
    std::filesystem::create_directories(temp + "/sub");
    { std::ofstream(temp + "/left.tmp") << "x"; }
    { std::ofstream(temp + "/sub/inner.tmp") << "x"; }
    std::filesystem::create_symlink(outside.path("target.txt"), temp + "/link.tmp");
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(work.root());

    rig.main->show();
    rig.main->close();
    std::filesystem::current_path(cwd);

    EXPECT_FALSE(std::filesystem::exists(temp + "/left.tmp"));
    EXPECT_TRUE(std::filesystem::is_symlink(temp + "/link.tmp"));
    EXPECT_TRUE(std::filesystem::exists(outside.path("target.txt")));
    EXPECT_TRUE(std::filesystem::exists(temp + "/sub/inner.tmp"));
    EXPECT_TRUE(std::filesystem::exists(work.path("Temp/users.txt")));
}

} // namespace
} // namespace main_window_test
