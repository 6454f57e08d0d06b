// The main window's handlers over the real managers: window messages in the status bar, a box and
// a message chosen (marked read through the message store, a handset slot kept), the contact
// sort and its stored state, drops on the contact tree, and the clean-up of Temp at closing.

#include "main_rig.h"

#include "content/pictures.h"

#include "core/lang_mng.h"
#include "forms/support/when_modal.h"
#include "platform/qt/qt_window_messages.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSignalSpy>
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
    ASSERT_EQ(sms_list::count(w.ListView_sms()), 1);
    w.windowProc(forms::WM_PHONE_DISCONNECTED, 0, 0);
    EXPECT_EQ(sms_list::count(w.ListView_sms()), 1);
    rig.showBox(8);
    ASSERT_EQ(sms_list::count(w.ListView_sms()), 1);
    EXPECT_TRUE(w.Panel1()->text().endsWith("(1)"));
    w.windowProc(forms::WM_PHONE_DISCONNECTED, 0, 0);
    EXPECT_EQ(sms_list::count(w.ListView_sms()), 0);
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

    sms_list::choose(w.ListView_sms(), 0);
    const auto h = [&](int column) { return sms_list::caption(w.ListView_sms(), column); };
    EXPECT_EQ(w.Memo_smstext()->toPlainText(), "first");
    EXPECT_EQ(w.label_smsinfo()->text(), h(1) + ":Ann     " + h(3) + ":2026-05-01 10:00:00     Status:Read");
    w.ListView_sms()->clearSelection();
    EXPECT_EQ(w.Memo_smstext()->toPlainText(), "");
    EXPECT_EQ(w.label_smsinfo()->text(), "Nothing Selected");
    // Another box listed: the preview does not keep the message of the box before.
    sms_list::choose(w.ListView_sms(), 1);
    ASSERT_EQ(w.Memo_smstext()->toPlainText(), "second");
    rig.showBox(3);
    EXPECT_EQ(w.Memo_smstext()->toPlainText(), "");
    EXPECT_EQ(w.label_smsinfo()->text(), "Nothing");
    rig.showBox(1);
    // A handler without a selected node does nothing.
    w.TreeView_sms()->setCurrentItem(nullptr);
    w.TreeView_smsChange();
    EXPECT_EQ(sms_list::count(w.ListView_sms()), 2);
}

TEST(MainWindowMessagesList, ClickOnBoxOneMarksReadAndStoresBoxThreeChangesNothing)
{
    MainRig rig;
    const int inbox = rig.addMessage(1, "Ann", "unread", 0);
    const int sent = rig.addMessage(3, "Bob", "gone out", 3);
    forms::TfMain &w = *rig.main;
    w.show();

    rig.showBox(1);
    QTest::mouseClick(w.ListView_sms()->viewport(), Qt::LeftButton, {}, sms_list::rowRect(w.ListView_sms(), 0).center());
    EXPECT_EQ(rig.message(inbox).states, 1);
    EXPECT_EQ(sms_list::image(w.ListView_sms(), 0), content::kPicRead);
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
    sms_list::choose(w.ListView_sms(), 0);
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
    ASSERT_EQ(sms_list::count(w.ListView_sms()), 1);
    const std::string before = transfer_test::slotText(phone.slotTable(1));
    ASSERT_NE(before.find("3:4:"), std::string::npos) << before;
    handset.store.log.clear();

    sms_list::choose(w.ListView_sms(), 0);
    const int id = sms_list::text(w.ListView_sms(), 0, content::subItemColumn(content::kIdSubItem)).toInt();
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

// The node of a storage in the contact tree (book 0).
QTreeWidgetItem *storageNode(QTreeWidget *tree, int storage)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->parent() && (*it)->data(0, content::kStorageRole).toInt() == storage)
            return *it;
    return nullptr;
}

// Sends a drag over the tree and the drop at the centre of a node, as the platform's drag loop
// does (no source widget: the offscreen platform runs no loop). Answers whether the drop was taken.
bool dropOn(QTreeWidget *tree, QTreeWidgetItem *node, const QMimeData &mime, bool *entered = nullptr)
{
    const QPointF at = tree->visualItemRect(node).center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &move);
    if (entered)
        *entered = enter.isAccepted() && move.isAccepted();
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &drop);
    EXPECT_TRUE(!drop.isAccepted() || drop.dropAction() == Qt::CopyAction) << "the tree only copies";
    return drop.isAccepted();
}

// The mime data a view's own drag carries for its selected items.
std::unique_ptr<QMimeData> dragOf(QTreeWidget *view)
{
    return std::unique_ptr<QMimeData>(view->model()->mimeData(view->selectionModel()->selectedIndexes()));
}

TEST(MainWindowContacts, DropFromElsewhereIsRefusedAndCopiesNothing)
{
    MainRig rig;
    simEntries(rig, {"Ann"});
    forms::TfMain &w = *rig.main;
    w.show();
    w.setActiveArea(1);
    QTreeWidget *tree = w.TreeView_cont();
    QTreeWidgetItem *sim = storageNode(tree, 1);
    ASSERT_NE(sim, nullptr);
    QTreeWidgetItem *root = tree->topLevelItem(0);
    tree->setCurrentItem(sim);
    w.ListView_cont()->selectAll();
    const size_t rowsBefore = rig.pb->book(0).table.rows().size();

    // A plain text from another program; our own format naming another window (or a forged one);
    // a well-formed mark of this window naming a widget that is not a contact view.
    const std::unique_ptr<QMimeData> own = dragOf(w.ListView_cont());
    ASSERT_TRUE(own && own->hasFormat(forms::kContactDragFormat));
    const QByteArray mark = own->data(forms::kContactDragFormat);
    const QByteArray origin = mark.left(mark.indexOf(' '));
    const struct {
        const char *what;
        QByteArray format;
        QByteArray data;
    } cases[] = {
        {"text", "text/plain", "Ann"},
        {"other window", forms::kContactDragFormat, "1:00000000-0000-0000-0000-000000000000 ListView_cont"},
        {"no name", forms::kContactDragFormat, origin},
        {"other widget", forms::kContactDragFormat, origin + " ListView_sms"},
        {"longer name", forms::kContactDragFormat, origin + " ListView_cont2"},
        {"empty", forms::kContactDragFormat, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QMimeData mime;
        mime.setData(QString::fromLatin1(c.format), c.data);
        bool entered = true;
        EXPECT_FALSE(dropOn(tree, root, mime, &entered));
        EXPECT_FALSE(entered);
    }
    EXPECT_TRUE(rig.prompt.shown().empty());
    EXPECT_EQ(rig.pb->book(0).table.rows().size(), rowsBefore);
}

TEST(MainWindowContacts, DragFromTheListOrTheTreeAsksAndCopies)
{
    MainRig rig;
    simEntries(rig, {"Ann", "Bob", "Cid"});
    rig.manage->PbCap2 = true; // a handset with a phone memory of ten places, as a read leaves it
    content::HandsetStorage &me = rig.pb->handset().storages[1];
    me.first = 1;
    me.last = 10;
    for (int32_t p = 1; p <= 10; ++p)
        me.idMng.push_back({.seq = p, .pos = p, .stor = content::DriverStorage::Memory});
    content::fillHandsetNode(rig.main->TreeView_cont(), content::BuildHandsetNode(*rig.env));
    forms::TfMain &w = *rig.main;
    w.show();
    w.setActiveArea(1);
    QTreeWidget *tree = w.TreeView_cont();
    QTreeWidget *list = w.ListView_cont();
    QTreeWidgetItem *sim = storageNode(tree, 1);
    QTreeWidgetItem *phone = storageNode(tree, 2);
    ASSERT_TRUE(sim && phone);
    tree->setCurrentItem(sim);
    ASSERT_EQ(list->topLevelItemCount(), 3);
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    const std::unique_ptr<QMimeData> rows = dragOf(list);
    ASSERT_TRUE(rows);
    const size_t before = rig.pb->book(0).table.rows().size();
    const std::string question = rig.manage->LangMng().translate("PbMng_CopyError20") + "\r" +
                                 rig.manage->LangMng().translate("PbMng_CopyError21");

    // Cancel: the question is asked, nothing is copied.
    rig.prompt.answerNext(core::kIdCancel);
    bool entered = false;
    EXPECT_TRUE(dropOn(tree, phone, *rows, &entered));
    EXPECT_TRUE(entered);
    ASSERT_EQ(rig.prompt.texts(), std::vector<std::string>{question});
    EXPECT_EQ(rig.pb->book(0).table.rows().size(), before);
    EXPECT_FALSE(rig.pb->HasChanges(0, 2));

    // Yes: the two selected rows join the phone memory.
    rig.prompt.clear();
    rig.prompt.answerNext(core::kIdYes);
    QSignalSpy copied(&w, &forms::TfMain::contactsCopied);
    EXPECT_TRUE(dropOn(tree, phone, *rows));
    EXPECT_EQ(rig.prompt.texts(), std::vector<std::string>{question});
    EXPECT_EQ(rig.pb->book(0).table.rows().size(), before + 2);
    EXPECT_TRUE(rig.pb->HasChanges(0, 2));
    EXPECT_EQ(copied.count(), 1);

    // A storage node dragged: the whole storage, once more on Yes.
    tree->setCurrentItem(sim);
    const std::unique_ptr<QMimeData> node = dragOf(tree);
    ASSERT_TRUE(node);
    rig.prompt.clear();
    rig.prompt.answerNext(core::kIdYes);
    EXPECT_TRUE(dropOn(tree, phone, *node));
    EXPECT_EQ(rig.pb->book(0).table.rows().size(), before + 5);
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
