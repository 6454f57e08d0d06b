// The main window's commands over the real managers, without a handset: what each message command
// hands the composer, delete, undelete and clear with and without DelQuestion, the contact
// commands on the lists and the phone book, the phrase commands, the pop-up rules, help and the
// items nobody serves.

#include "commands_rig.h"

#include "content/contacts_view.h"
#include "content/qt/sms_view.h"
#include "core/lang_mng.h"
#include "forms/fm_edit_vcard.h"
#include "forms/support/when_modal.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace main_commands_test {
namespace {

using content::StorageCode;

struct Rig : CommandsRig {
    Rig()
    {
        // The message commands that reach the handset are enabled only while connected.
        manage->Connected = true;
        pb->SetStorageStatus(content::StorageCode::Sim, 1, 250, 0);
        main->show();
        QTest::qWaitForWindowExposed(main.get());
    }
    // Lists box and selects the rows at these places.
    void pick(int box, std::initializer_list<int> rows)
    {
        main->setActiveArea(forms::kAreaSms);
        showBox(box);
        main->TreeView_smsChange(); // also when the box was chosen already
        selectRows(main->ListView_sms(), rows);
    }
    int rowsListed() { return sms_list::count(main->ListView_sms()); }
    int boxOf(int id) { return message(id).boxid; }
    std::string t(const char *key) { return manage->LangMng().translate(key); }
};

// ---- Binding ----

TEST(Commands, EveryItemIsBoundAndIdleItemsAreHidden)
{
    Rig rig;
    EXPECT_TRUE(rig.commands->missingItems().empty())
        << "missing: " << ::testing::PrintToString(rig.commands->missingItems());
    for (const char *n : forms::TfMainCommands::idleItems()) {
        QAction *a = rig.main->action(n);
        if (QMenu *m = rig.main->menu(n))
            a = m->menuAction();
        ASSERT_NE(a, nullptr) << n;
        EXPECT_FALSE(a->isVisible()) << n;
    }
    rig.trigger("tbSet");
    rig.trigger("N34");
    rig.trigger("SysTemInfo1");
    EXPECT_EQ(rig.settingsShown, 1);
    EXPECT_EQ(rig.aboutShown, 1);
    EXPECT_EQ(rig.phoneInfoShown, 1);
}

TEST(Commands, PrintOpensTheDialogForTheActiveArea)
{
    Rig rig;
    const int book = rig.pb->AddFileBook("/tmp/people.csv");
    (void)book;
    for (int area : {forms::kAreaSms, forms::kAreaCard, forms::kAreaUser}) {
        rig.main->setActiveArea(area);
        rig.trigger("P1");
    }
    ASSERT_EQ(rig.printRanges.size(), 3u);
    EXPECT_EQ(rig.printRanges[0].size(), 10);
    EXPECT_EQ(rig.printRanges[0][0].toStdString(), rig.t("SmsMng_AllMessage"));
    EXPECT_EQ(rig.printRanges[1], (QStringList{QString::fromStdString(rig.t("PbMng_Tree_0")), "people"}));
    EXPECT_TRUE(rig.printRanges[2].isEmpty());
}

TEST(Commands, ToolBarAndStatusBarToggles)
{
    Rig rig;
    QWidget *tool = rig.main->findChild<QWidget *>("pTool");
    QWidget *bt = rig.main->findChild<QWidget *>("BT");
    ASSERT_TRUE(tool && bt);
    EXPECT_TRUE(rig.main->action("N60")->isChecked());
    rig.trigger("N60");
    EXPECT_FALSE(tool->isVisible());
    EXPECT_TRUE(bt->isVisible());
    rig.trigger("N60");
    EXPECT_TRUE(tool->isVisible());
    EXPECT_FALSE(bt->isVisible());
    rig.trigger("N62");
    EXPECT_FALSE(rig.main->statusBar()->isVisible());
    rig.trigger("N62");
    EXPECT_TRUE(rig.main->statusBar()->isVisible());
}

TEST(Commands, HelpOpensTheProgramFoldersFileOrPointsToTheUserGuide)
{
    Rig rig;
    const std::filesystem::path cwd = std::filesystem::current_path();
    const std::string help = rig.manage->AppDir + rig.manage->HelpFile;
    rig.ask.answerBox(core::kIdOk);
    rig.trigger("nHelp");
    ASSERT_EQ(rig.ask.boxTexts().size(), 1u);
    const std::string said = rig.ask.boxTexts()[0];
    EXPECT_NE(said.find("No help is installed"), std::string::npos) << said;
    EXPECT_NE(said.find("README"), std::string::npos) << said;
    EXPECT_NE(said.find("Using Selvark"), std::string::npos) << said;
    EXPECT_EQ(said.find(rig.manage->HelpFile), std::string::npos) << "no help file asked for by name: " << said;
    EXPECT_TRUE(rig.opened.empty());

    std::ofstream(help) << "help";
    rig.trigger("tbHelp");
    ASSERT_EQ(rig.opened.size(), 1u);
    EXPECT_EQ(rig.opened[0], QUrl::fromLocalFile(QString::fromStdString(help)));
    EXPECT_EQ(std::filesystem::current_path(), cwd);
}

// ---- Messages: what the composer is given ----

TEST(MessageCommands, ComposerPresetsFollowTheBoxAndTheCommand)
{
    Rig rig;
    const int received = rig.addMessage(content::kBoxReceived, "+111", "received");
    const int outbox = rig.addMessage(content::kBoxOutbox, "+222", "to send");
    const int sent = rig.addMessage(content::kBoxSent, "+333", "sent");
    const int draft = rig.addMessage(content::kBoxDrafts, "+444", "draft");
    const int phoneIn = rig.addMessage(content::kBoxPhoneReceived, "+888", "on the handset");
    const int phoneStored = rig.addMessage(content::kBoxPhoneStored, "+999", "stored on the handset");

    struct Case {
        const char *command;
        int box;
        int mode;      // -1: the composer is not opened
        int id;        // the id preset (-1: a new message)
        const char *tel;
        int presetBox;
    };
    const Case cases[] = {
        {"pSmsNew", content::kBoxReceived, 1, -1, "", content::kBoxDrafts},
        {"pSmsNew", content::kBoxPhoneReceived, 1, -1, "", content::kBoxPhoneStored},
        {"pSmsEdit", content::kBoxDrafts, 0, draft, "+444", content::kBoxDrafts},
        {"pSmsEdit", content::kBoxOutbox, 0, outbox, "+222", content::kBoxOutbox},
        {"pSmsEdit", content::kBoxPhoneStored, 0, phoneStored, "+999", content::kBoxPhoneStored},
        {"pSmsProperty", content::kBoxReceived, 1, -1, "+111", content::kBoxDrafts},
        {"mSmsEdit", content::kBoxPhoneReceived, 1, -1, "+888", content::kBoxDrafts},
        {"pSmsSendto", content::kBoxPhoneReceived, 1, -1, "", content::kBoxDrafts},
        {"pSmsSend", content::kBoxPhoneStored, 1, -1, "+999", content::kBoxDrafts},
        {"pSmsSendto", content::kBoxDrafts, 1, -1, "", content::kBoxDrafts},
        {"pSmsSendto", content::kBoxReceived, 1, -1, "", content::kBoxDrafts},
        {"pSmsResend", content::kBoxOutbox, 0, outbox, "+222", content::kBoxOutbox},
        {"pSmsResend", content::kBoxSent, 1, -1, "+333", content::kBoxDrafts},
        {"pSmsSend", content::kBoxDrafts, 1, -1, "+444", content::kBoxDrafts},
        {"pSmsSendBack", content::kBoxSent, -1, 0, "", 0},
        {"pSmsSendBack", content::kBoxReceived, 1, -1, "+111", content::kBoxReceived},
        {"pSmsSendBack", content::kBoxPhoneReceived, 1, -1, "+888", content::kBoxPhoneReceived},
    };
    (void)received, (void)sent, (void)phoneIn;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.command) + " in box " + std::to_string(c.box));
        rig.composed.clear();
        rig.pick(c.box, {0});
        rig.trigger(c.command);
        if (c.mode < 0) {
            EXPECT_TRUE(rig.composed.empty());
            continue;
        }
        ASSERT_EQ(rig.composed.size(), 1u);
        const forms::ComposerRequest &r = rig.composed[0];
        EXPECT_EQ(r.FNewMode, c.mode);
        EXPECT_EQ(r.FSms.id, c.id);
        EXPECT_EQ(r.FSms.Tel, c.tel);
        EXPECT_EQ(r.FSms.boxid, c.presetBox);
        if (c.mode == 1)
            EXPECT_EQ(r.FSms.Tid, -1);
    }

    // Two rows selected: edit, forward and resend wait for one.
    rig.addMessage(content::kBoxDrafts, "+445", "second draft");
    rig.composed.clear();
    rig.pick(content::kBoxDrafts, {0, 1});
    for (const char *c : {"pSmsEdit", "pSmsSendto", "pSmsResend"})
        rig.trigger(c);
    EXPECT_TRUE(rig.composed.empty());
}

// The composer as the program's answers it after a send that closed it: the sent records were
// added to Sent under new ids (the send does that), and `edit` holds what its save would store.
TEST(MessageCommands, ASendFromAnEditKeepsTheEditInTheOriginalAndLeavesSentAlone)
{
    Rig rig;
    const int draft = rig.addMessage(content::kBoxDrafts, "+1;+2", "old text");
    std::vector<int> sentIds;
    std::string typed = "new text";
    rig.composerAnswer = [&](const forms::ComposerRequest &r) {
        forms::ComposerResult out;
        out.modalResult = forms::kMrOk;
        for (const char *tel : {"+1", "+2"}) {
            content::Ssms m = r.FSms;
            m.Tel = tel;
            m.body = typed;
            out.records.push_back(m);
        }
        for (content::Ssms &m : out.records) {
            m.boxid = content::kBoxSent;
            m.states = 3;
        }
        rig.sms->AddMessages(out.records, -1, false);
        for (const content::Ssms &m : out.records)
            sentIds.push_back(m.id);
        // The save's split: one record per recipient, the first in the edited row.
        for (const char *tel : {"+1", "+2"}) {
            content::Ssms m = r.FSms;
            m.Tel = tel;
            m.body = typed;
            m.id = out.edit.empty() ? r.FSms.id : -1;
            out.edit.push_back(m);
        }
        return out;
    };
    rig.pick(content::kBoxDrafts, {0});
    rig.trigger("pSmsEdit");
    ASSERT_EQ(rig.composed.size(), 1u);
    EXPECT_EQ(rig.composed[0].FNewMode, 0);
    EXPECT_EQ(rig.message(draft).Tel, "+1");
    EXPECT_EQ(rig.message(draft).body, "new text");
    EXPECT_EQ(rig.boxOf(draft), content::kBoxDrafts);
    EXPECT_EQ(rig.sms->Messages(content::kBoxDrafts).size(), 2u);
    ASSERT_EQ(sentIds.size(), 2u);
    for (int id : sentIds) {
        EXPECT_NE(id, draft);
        EXPECT_EQ(rig.boxOf(id), content::kBoxSent);
        EXPECT_EQ(rig.message(id).states, 3);
    }
    EXPECT_EQ(rig.sms->Messages(content::kBoxSent).size(), 2u);

    // A send of a received message opens a new one: nothing is stored beyond what the send did.
    const int received = rig.addMessage(content::kBoxReceived, "+9", "hi");
    typed = "answer";
    rig.pick(content::kBoxReceived, {0});
    rig.trigger("pSmsSend");
    ASSERT_EQ(rig.composed.size(), 2u);
    EXPECT_EQ(rig.composed[1].FNewMode, 1);
    EXPECT_EQ(rig.message(received).body, "hi");
    EXPECT_EQ(rig.sms->Messages(content::kBoxDrafts).size(), 2u);
    EXPECT_EQ(rig.sms->Messages(content::kBoxSent).size(), 4u);
}

TEST(MessageCommands, DeleteMovesToTheRecycleBoxUndeleteRestoresDeleteThereAsks)
{
    Rig rig;
    const int a = rig.addMessage(content::kBoxReceived, "+1", "a");
    const int b = rig.addMessage(content::kBoxReceived, "+2", "b");
    rig.pick(content::kBoxReceived, {0, 1});
    rig.trigger("pSmsDel"); // no question: nothing is lost
    EXPECT_EQ(rig.rowsListed(), 0);
    EXPECT_EQ(rig.boxOf(a), content::kBoxRecycle);
    EXPECT_EQ(rig.boxOf(b), content::kBoxRecycle);
    EXPECT_TRUE(rig.ask.calls().empty());

    rig.pick(content::kBoxRecycle, {0});
    rig.trigger("pSmsUndel");
    EXPECT_EQ(rig.boxOf(a), content::kBoxReceived);
    EXPECT_EQ(rig.rowsListed(), 1);

    // In the recycle box a delete is for good: asked, Cancel keeps it, OK removes it.
    rig.pick(content::kBoxRecycle, {0});
    rig.ask.answerBox(core::kIdCancel);
    rig.trigger("pSmsDel");
    ASSERT_EQ(rig.ask.calls().size(), 1u);
    EXPECT_EQ(rig.ask.calls()[0].text, rig.t("fMain_DelQuestion"));
    EXPECT_EQ(rig.ask.calls()[0].flags, 33u);
    EXPECT_EQ(rig.boxOf(b), content::kBoxRecycle);
    EXPECT_EQ(rig.rowsListed(), 1);
    rig.ask.answerBox(core::kIdOk);
    rig.trigger("pSmsDel");
    EXPECT_EQ(rig.sms->Messages(content::kAllMessages).size(), 1u);

    // With DelQuestion off nothing is asked.
    rig.manage->DelQuestion = false;
    rig.pick(content::kBoxReceived, {0});
    rig.trigger("pSmsDel");
    rig.pick(content::kBoxRecycle, {0});
    rig.trigger("pSmsDel");
    EXPECT_TRUE(rig.sms->Messages(content::kAllMessages).empty());
    EXPECT_EQ(rig.ask.calls().size(), 2u);
}

TEST(MessageCommands, ClearAsksWhenDelQuestionIsOnAndCancelKeeps)
{
    Rig rig;
    rig.addMessage(content::kBoxDrafts, "+1", "a");
    rig.addMessage(content::kBoxDrafts, "+2", "b");
    rig.pick(content::kBoxDrafts, {});
    rig.ask.answerBox(core::kIdCancel);
    rig.trigger("menu_clear_sms");
    ASSERT_EQ(rig.ask.calls().size(), 1u);
    EXPECT_EQ(rig.ask.calls()[0].text, rig.t("fMain_Clear"));
    EXPECT_EQ(rig.ask.calls()[0].flags, 33u);
    EXPECT_EQ(rig.rowsListed(), 2);
    EXPECT_EQ(rig.sms->Messages(content::kBoxDrafts).size(), 2u);
    rig.ask.answerBox(core::kIdOk);
    rig.trigger("menu_clear_sms");
    EXPECT_EQ(rig.rowsListed(), 0);
    EXPECT_EQ(rig.sms->Messages(content::kBoxRecycle).size(), 2u);

    rig.manage->DelQuestion = false;
    rig.pick(content::kBoxRecycle, {});
    rig.trigger("menu_clear_sms");
    EXPECT_EQ(rig.ask.calls().size(), 2u);
    EXPECT_TRUE(rig.sms->Messages(content::kAllMessages).empty());
}

TEST(MessageCommands, UndeleteAllAndSelectAll)
{
    Rig rig;
    for (const char *tel : {"+1", "+2", "+3"}) {
        content::ArraySms one{rig.message(rig.addMessage(content::kBoxSent, tel, "x"))};
        rig.sms->DeleteMessages(one);
    }
    rig.pick(content::kBoxRecycle, {});
    ASSERT_EQ(rig.rowsListed(), 3);
    rig.trigger("m_selectall");
    EXPECT_EQ(sms_list::selectedCount(rig.main->ListView_sms()), 3);
    rig.trigger("menu_allundel_sms");
    EXPECT_EQ(rig.rowsListed(), 0);
    EXPECT_EQ(rig.sms->Messages(content::kBoxSent).size(), 3u);
}

// A long box: select all and clear take every message of the box.
TEST(MessageCommands, SelectAllAndClearCoverALongBox)
{
    Rig rig;
    rig.manage->DelQuestion = false;
    const int n = 2500;
    content::ArraySms list;
    for (int i = 0; i < n; ++i) {
        content::Ssms m;
        m.boxid = content::kBoxDrafts;
        m.Tel = "+1" + std::to_string(i); // alike messages would be taken once
        m.body = "x";
        list.push_back(m);
    }
    rig.sms->AddMessages(list, 0, false);
    ASSERT_EQ(rig.sms->Messages(content::kBoxDrafts).size(), size_t(n));
    rig.pick(content::kBoxDrafts, {});
    ASSERT_EQ(rig.rowsListed(), n);
    rig.trigger("pSmsSa");
    EXPECT_EQ(sms_list::selectedCount(rig.main->ListView_sms()), n);
    rig.pick(content::kBoxDrafts, {});
    rig.trigger("menu_clear_sms");
    EXPECT_EQ(rig.rowsListed(), 0);
    EXPECT_TRUE(rig.sms->Messages(content::kBoxDrafts).empty());
    EXPECT_EQ(rig.sms->Messages(content::kBoxRecycle).size(), size_t(n));
}

// The form's keys act and still reach the control with the focus: the read-only preview selects
// and copies its own text.
TEST(MessageCommands, FormKeysActAndReachThePreview)
{
    Rig rig;
    rig.addMessage(content::kBoxReceived, "+1", "first text");
    rig.addMessage(content::kBoxReceived, "+2", "second text");
    rig.pick(content::kBoxReceived, {0});
    QPlainTextEdit *memo = rig.main->Memo_smstext();
    const QString shown = memo->toPlainText();
    ASSERT_FALSE(shown.isEmpty());
    rig.main->activateWindow();
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(sms_list::selectedCount(rig.main->ListView_sms()), 2);
    EXPECT_EQ(memo->textCursor().selectedText(), shown);
    EXPECT_EQ(memo->toPlainText(), shown);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), shown);
}

TEST(MessageCommands, ListPopupStatesOverBoxConnectionAndRows)
{
    Rig rig;
    for (int box : {1, 2, 4, 5, 8, 9})
        rig.addMessage(box, "+1", "in box " + std::to_string(box));
    struct Case {
        int box;
        bool connected;
        bool rows;
    };
    for (const Case c : {Case{1, true, true}, Case{1, false, true}, Case{2, true, true}, Case{4, false, true},
                         Case{5, true, true}, Case{8, true, true}, Case{8, false, true}, Case{9, true, true},
                         Case{3, true, false}}) {
        SCOPED_TRACE(::testing::Message() << "box " << c.box << " connected " << c.connected);
        rig.manage->Connected = c.connected;
        rig.pick(c.box, {});
        ASSERT_EQ(rig.rowsListed() > 0, c.rows);
        rig.opening("menu_list_sms");
        EXPECT_EQ(rig.visible("pSmsEdit"), c.box == 2 || c.box == 4 || c.box == 9);
        EXPECT_EQ(rig.visible("pSmsResend"), c.box == 9);
        EXPECT_EQ(rig.enabled("pSmsResend"), c.box == 9 && c.connected);
        EXPECT_EQ(rig.visible("pSmsSend"), c.box == 2 || c.box == 4);
        EXPECT_EQ(rig.visible("pSmsSendBack"), c.box == 8);
        EXPECT_EQ(rig.enabled("pSmsSendBack"), c.box == 8 && c.connected);
        EXPECT_EQ(rig.visible("pSmsUndel"), c.box == 5);
        EXPECT_EQ(rig.enabled("pSmsDel"), c.rows);
        EXPECT_FALSE(rig.visible("pSmsSendto"));
        EXPECT_FALSE(rig.visible("pSmsWrite"));
    }
}

// ---- Contacts ----

TEST(ContactCommands, DeleteBlanksSimRowsAndRemovesContactRows)
{
    Rig rig;
    const int book = rig.pb->AddFileBook("/tmp/people.csv");
    content::addBookNode(rig.main->TreeView_cont(), book, {"people", 0, {{"SIM", 1, {}, false}, {"Contacts", 4, {}, false}}, true});
    for (const char *n : {"Ann;", "Bob;", "Cid;"})
        rig.saveContact(book, StorageCode::Sim, n, "1");
    for (const char *n : {"Dee;", "Eve;"})
        rig.saveContact(book, StorageCode::Contacts, n, "2");

    rig.showContacts(book, 1);
    QTreeWidget *list = rig.main->ListView_cont();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    const QString pos0 = list->topLevelItem(0)->text(0), pos2 = list->topLevelItem(2)->text(0);
    rig.selectRows(list, {0, 2});
    rig.trigger("menu_delcont");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), pos0);
    EXPECT_EQ(list->topLevelItem(2)->text(0), pos2);
    EXPECT_TRUE(list->topLevelItem(0)->text(1).isEmpty());
    EXPECT_TRUE(list->topLevelItem(2)->text(1).isEmpty());
    EXPECT_EQ(list->topLevelItem(1)->text(1), "Bob");
    EXPECT_EQ(rig.pb->GetCountText(book, StorageCode::Sim), "1");

    rig.showContacts(book, 4);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    rig.selectRows(list, {0, 1});
    rig.trigger("menu_delcont");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(rig.pb->GetCountText(book, StorageCode::Contacts), "0");
}

TEST(ContactCommands, CopySkipsEmptyRowsCutAndPasteMove)
{
    Rig rig;
    const int book = rig.pb->AddFileBook("/tmp/people.csv");
    content::addBookNode(rig.main->TreeView_cont(), book,
                         {"people", 0, {{"SIM", 1, {}, false}, {"Phone", 2, {}, false}}, true});
    rig.saveContact(book, StorageCode::Sim, "Ann;", "1");
    rig.saveContact(book, StorageCode::Sim, "Bob;", "2");
    rig.saveContact(book, StorageCode::Sim, "Cid;", "3");
    rig.showContacts(book, 1);
    QTreeWidget *list = rig.main->ListView_cont();
    // A blank row (a deleted entry) among the selection is not copied.
    rig.selectRows(list, {1});
    rig.trigger("menu_delcont");
    rig.selectRows(list, {0, 1, 2});
    rig.trigger("nCopy");
    const content::ContactClipboard &clip = rig.pb->clipboard();
    EXPECT_EQ(clip.mode, 0);
    EXPECT_EQ(clip.ids, (std::vector<int32_t>{list->topLevelItem(0)->text(0).toInt(), list->topLevelItem(2)->text(0).toInt()}));

    // Cut Cid, paste into the phone memory: it moves.
    rig.pb->clipboard() = {};
    rig.selectRows(list, {2});
    rig.trigger("nCut");
    EXPECT_TRUE(list->topLevelItem(2)->text(1).isEmpty()) << "a cut row is hidden at once";
    rig.showContacts(book, 2);
    rig.trigger("nPaste");
    EXPECT_EQ(rig.pb->GetCountText(book, StorageCode::Phone), "1");
    EXPECT_EQ(rig.pb->GetCountText(book, StorageCode::Sim), "1");
    ASSERT_GE(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(1), "Cid");
}

// Ctrl+C, X and V act once per key, in the lists and where the key goes on to a control that
// ignores it and hands it to each parent in turn.
TEST(ContactCommands, KeysCopyAndPasteOnce)
{
    Rig rig;
    const int book = rig.pb->AddFileBook("/tmp/people.csv");
    content::addBookNode(rig.main->TreeView_cont(), book,
                         {"people", 0, {{"SIM", 1, {}, false}, {"Phone", 2, {}, false}}, true});
    rig.saveContact(book, StorageCode::Sim, "Ann;", "1");
    rig.showContacts(book, 1);
    QTreeWidget *list = rig.main->ListView_cont();
    rig.selectRows(list, {0});
    rig.main->activateWindow();
    list->setFocus();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(rig.pb->clipboard().ids.size(), 1u);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty()) << "the list's own copy stays out of it";

    rig.showContacts(book, 2);
    QWidget *bar = rig.main->statusBar();
    QTest::keyClick(bar, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(rig.pb->GetCountText(book, StorageCode::Phone), "1");
}

TEST(ContactCommands, NewAndEditGoThroughTheEditorAndUpdateTheRow)
{
    Rig rig;
    const int book = rig.pb->AddFileBook("/tmp/people.csv");
    content::addBookNode(rig.main->TreeView_cont(), book, {"people", 0, {{"SIM", 1, {}, false}}, true});
    rig.showContacts(book, 1);
    QTreeWidget *list = rig.main->ListView_cont();
    const int before = list->topLevelItemCount();
    auto setName = [](const std::string &name, const std::string &tel) {
        return [name, tel](forms::TfVcardEdit &ed) {
            ed.fields = {{content::kFieldName, -1, name}, {content::kFieldTel, 0, tel}};
            return forms::kMrOk;
        };
    };
    rig.contactEditor = setName("Zed;", "+4912");
    rig.trigger("M_ContNew");
    EXPECT_EQ(rig.pb->GetCountText(book, StorageCode::Sim), "1");
    ASSERT_EQ(list->topLevelItemCount(), before + 1);
    QTreeWidgetItem *row = list->topLevelItem(list->topLevelItemCount() - 1);
    EXPECT_EQ(row->text(1), "Zed");
    EXPECT_EQ(row->text(2), "+4912");

    rig.selectRows(list, {list->topLevelItemCount() - 1});
    rig.contactEditor = setName("Zoe;", "+4913");
    rig.trigger("menu_editcont");
    EXPECT_EQ(list->topLevelItemCount(), before + 1);
    EXPECT_EQ(row->text(1), "Zoe");
    EXPECT_EQ(row->text(2), "+4913");
    // Cancelled: nothing changes.
    rig.contactEditor = [](forms::TfVcardEdit &) { return forms::kMrCancel; };
    rig.trigger("menu_editcont");
    EXPECT_EQ(row->text(1), "Zoe");
}

TEST(ContactCommands, TheRealEditorChangesTheRow)
{
    Rig rig;
    const int book = rig.pb->AddFileBook("/tmp/people.csv");
    content::addBookNode(rig.main->TreeView_cont(), book, {"people", 0, {{"SIM", 1, {}, false}}, true});
    rig.saveContact(book, StorageCode::Sim, "Ann;", "+111");
    rig.showContacts(book, 1);
    QTreeWidget *list = rig.main->ListView_cont();
    rig.selectRows(list, {0});
    forms_test::whenModal("fVcardEdit", [](QWidget *w) {
        auto *ed = static_cast<forms::TfVcardEdit *>(w);
        QCoreApplication::processEvents();
        for (const forms::TfVcardEdit::Row &r : ed->rows())
            if (r.box && r.box->text() == "+111")
                r.box->setText("+999");
        QTest::mouseClick(ed->btnOK, Qt::LeftButton);
    });
    rig.trigger("N90");
    EXPECT_EQ(list->topLevelItem(0)->text(2), "+999");
    EXPECT_EQ(content::GetSelectedNumbers(*rig.pb, book, StorageCode::Sim, list->topLevelItem(0)->text(0).toInt()),
              "+999;");
}

TEST(ContactCommands, ExportAndImportThroughTheFileDialogs)
{
    Rig rig;
    rig.saveContact(0, StorageCode::Sim, "Ann;", "+111");
    rig.saveContact(0, StorageCode::Sim, "Bob;", "+222");
    rig.showContacts(0, 1);
    // Not connected: the handset's book is not exported.
    rig.manage->Connected = false;
    rig.trigger("button_savetofile");
    EXPECT_TRUE(rig.ask.calls().empty());

    rig.manage->Connected = true;
    rig.manage->PhoneMan = "Vendra";
    rig.manage->PhoneModel = "K7";
    const std::string file = rig.dir.path("export.csv");
    rig.ask.answerSave(file);
    rig.trigger("button_savetofile");
    ASSERT_EQ(rig.ask.calls().size(), 1u);
    EXPECT_TRUE(QString::fromStdString(rig.ask.calls()[0].caption).endsWith("/Vendra_K7.csv"))
        << rig.ask.calls()[0].caption;
    ASSERT_TRUE(std::filesystem::exists(file));

    // A maker or model the handset gives with a separator in it stays in the proposed folder.
    rig.manage->PhoneModel = "../K7/x";
    rig.ask.answerSave(std::nullopt);
    rig.trigger("button_savetofile");
    EXPECT_EQ(QString::fromStdString(rig.ask.calls().back().caption), QDir::homePath() + "/Vendra_.._K7_x.csv");
    rig.manage->PhoneModel = "K7";

    // A failed export is reported, naming the file.
    const std::string bad = rig.dir.path("no/such/folder/x.csv");
    rig.ask.answerSave(bad);
    rig.trigger("button_savetofile");
    ASSERT_FALSE(rig.prompt.texts().empty());
    EXPECT_NE(rig.prompt.texts().back().find(bad), std::string::npos) << rig.prompt.texts().back();

    // Import: a book node with the same rows.
    rig.manage->Connected = false;
    rig.ask.answerOpen(file);
    rig.trigger("button_load");
    ASSERT_EQ(rig.pb->BookCount(), 2);
    QTreeWidgetItem *node = rig.contactNode(1, 1);
    ASSERT_NE(node, nullptr);
    rig.showContacts(1, 1);
    QTreeWidget *list = rig.main->ListView_cont();
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (!list->topLevelItem(i)->text(1).isEmpty())
            names << list->topLevelItem(i)->text(1);
    EXPECT_EQ(names, (QStringList{"Ann", "Bob"}));

    // A file book is exported without a connection, under its own name.
    const std::string again = rig.dir.path("again.csv");
    rig.ask.answerSave(again);
    rig.trigger("button_savetofile");
    EXPECT_TRUE(QString::fromStdString(rig.ask.calls().back().caption).endsWith("/export.csv"));
    EXPECT_TRUE(std::filesystem::exists(again));
}

TEST(ContactCommands, SendToContactsTakesTheSelectedRowsOnly)
{
    Rig rig;
    const int book = rig.pb->AddFileBook("/tmp/people.csv");
    content::addBookNode(rig.main->TreeView_cont(), book,
                         {"people", 0, {{"SIM", 1, {}, false}, {"Contacts", 4, {}, false}}, true});
    rig.saveContact(book, StorageCode::Sim, "Ann;", "+111");
    rig.saveContact(book, StorageCode::Sim, "Bob;", "+222");
    rig.saveContact(book, StorageCode::Contacts, "Cid;", "+333");
    rig.saveContact(book, StorageCode::Contacts, "Dee;", "+444");
    QTreeWidget *list = rig.main->ListView_cont();
    for (int storage : {1, 4}) {
        SCOPED_TRACE(storage);
        rig.composed.clear();
        rig.showContacts(book, storage);
        rig.selectRows(list, {1});
        rig.trigger("menu_sendsmstocont");
        ASSERT_EQ(rig.composed.size(), 1u);
        EXPECT_EQ(rig.composed[0].FSms.Tel, storage == 1 ? "+222;" : "+444;");
        EXPECT_EQ(rig.composed[0].FNewMode, 1);
    }
    rig.composed.clear();
    rig.showContacts(book, 1);
    rig.trigger("menu_sendsmstogroup");
    ASSERT_EQ(rig.composed.size(), 1u);
    EXPECT_EQ(rig.composed[0].FSms.Tel, "+111;+222;");
}

TEST(ContactCommands, PopupStatesOverConnectionRowsAndStorage)
{
    Rig rig;
    const int book = rig.pb->AddFileBook("/tmp/people.csv");
    content::addBookNode(rig.main->TreeView_cont(), book,
                         {"people", 0, {{"SIM", 1, {}, false}, {"Groups", 8, {}, false}}, true});
    struct Case {
        bool connected;
        bool rows;
        int storage;
    };
    for (const Case c : {Case{false, false, 1}, Case{true, false, 1}, Case{false, true, 1}, Case{true, true, 1},
                         Case{true, true, 8}}) {
        SCOPED_TRACE(::testing::Message() << "connected " << c.connected << " rows " << c.rows << " storage " << c.storage);
        rig.pb->ClearStorage(book, StorageCode::Sim);
        rig.pb->ClearStorage(book, StorageCode::Groups);
        if (c.rows)
            rig.saveContact(book, static_cast<StorageCode>(c.storage), c.storage == 8 ? "Work" : "Ann;", "1");
        rig.manage->Connected = c.connected;
        rig.showContacts(book, c.storage);
        rig.opening("menu_conttree");
        EXPECT_FALSE(rig.enabled("m_ContClear") && c.storage == 8);
        if (c.storage != 8) { // the groups' items are hidden by the manager, and hidden is disabled
            EXPECT_EQ(rig.enabled("menu_readcont"), c.connected);
            EXPECT_EQ(rig.enabled("M_ContNew"), c.rows);
            EXPECT_EQ(rig.enabled("m_ContClear"), c.rows);
            EXPECT_EQ(rig.enabled("menu_flash"), rig.pb->HasChanges(book, c.storage));
        }

        rig.opening("menu_contview");
        if (!c.rows) {
            EXPECT_TRUE(rig.visible("menu_addcont"));
            EXPECT_EQ(rig.enabled("menu_addcont"), c.connected);
            for (const char *n : {"menu_editcont", "menu_delcont", "nCopy", "nCut", "nPaste", "menu_sendsmstocont"})
                EXPECT_FALSE(rig.visible(n)) << n;
        } else {
            for (const char *n : {"menu_addcont", "menu_editcont", "nCopy", "nPaste"})
                EXPECT_EQ(rig.visible(n), c.storage != 8) << n;
            EXPECT_EQ(rig.enabled("menu_addcont"), c.connected && c.storage != 8);
            EXPECT_EQ(rig.enabled("menu_editcont"), c.storage != 8);
        }
        EXPECT_EQ(rig.enabled("m_copy"), rig.enabled("nCopy"));
        EXPECT_EQ(rig.enabled("m_cut"), rig.enabled("nCut"));
        EXPECT_EQ(rig.enabled("m_pase"), rig.enabled("nPaste"));
    }
}

// ---- Phrases ----

struct PhraseRig : Rig {
    PhraseRig()
    {
        main->setActiveArea(forms::kAreaUser);
        phraseView->BuildTree();
    }
    QTreeWidgetItem *group(const QString &name)
    {
        QTreeWidgetItem *root = main->TreeView_usersms()->topLevelItem(0);
        for (int i = 0; root && i < root->childCount(); ++i)
            if (root->child(i)->text(0) == name)
                return root->child(i);
        return nullptr;
    }
    void showGroup(const QString &name)
    {
        QTreeWidgetItem *g = group(name);
        ASSERT_NE(g, nullptr) << name.toStdString();
        main->TreeView_usersms()->setCurrentItem(g);
    }
    QStringList listed()
    {
        QStringList out;
        for (int i = 0; i < main->ListView_usersms()->topLevelItemCount(); ++i)
            out << main->ListView_usersms()->topLevelItem(i)->text(0);
        return out;
    }
};

TEST(PhraseCommands, NewGroupsAreNumberedPastTheTakenNames)
{
    PhraseRig rig;
    rig.phrases->AddGroup("New1");
    rig.phraseView->BuildTree();
    rig.trigger("tbGrpAdd");
    EXPECT_TRUE(rig.phrases->GroupExists("New2"));
    EXPECT_NE(rig.group("New2"), nullptr);
    rig.trigger("N10");
    EXPECT_TRUE(rig.phrases->GroupExists("New3"));
}

// New group from any area: the phrase area comes up with the new group's name open for editing,
// and what the user types there is its name. It used to do nothing outside the phrase area.
TEST(PhraseCommands, NewGroupFromAnyAreaOpensItsNameForEditing)
{
    PhraseRig rig;
    rig.phrases->AddGroup("Work");
    rig.main->setActiveArea(forms::kAreaSms);
    rig.main->TreeView_usersms()->clear(); // not built yet: the phrase area was never shown
    rig.trigger("N16");
    EXPECT_EQ(rig.main->activeArea(), forms::kAreaUser);
    QTreeWidget *tree = rig.main->TreeView_usersms();
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem()->text(0), "New1");
    EXPECT_NE(rig.group("Work"), nullptr) << "the other groups are listed too";
    QTest::qWait(0);
    auto *editor = tree->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr) << "the name is not open for editing";
    editor->setText("Family");
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(0);
    EXPECT_TRUE(rig.phrases->GroupExists("Family"));
    EXPECT_FALSE(rig.phrases->GroupExists("New1"));
}

// New phrase without any group: the user is asked for the first group's name, and the editor then
// opens on it. Cancel or a blank name makes nothing.
TEST(PhraseCommands, NewPhraseWithoutAGroupOffersToMakeOne)
{
    PhraseRig rig;
    rig.main->setActiveArea(forms::kAreaSms);
    for (const std::optional<std::string> &answer : {std::optional<std::string>(), std::optional<std::string>("  ")}) {
        rig.ask.answerInput(answer);
        rig.trigger("N22");
        EXPECT_TRUE(rig.edited.empty());
        EXPECT_TRUE(rig.phrases->GroupNames().empty());
    }
    rig.ask.answerInput(" Family ");
    rig.phraseAnswer = forms::PhraseEdit{"Family", "Home by six"};
    rig.trigger("N22");
    ASSERT_EQ(rig.edited.size(), 1u);
    EXPECT_EQ(rig.edited[0].group, "Family");
    EXPECT_EQ(rig.phrases->GroupNames(), std::vector<std::string>{"Family"});
    ASSERT_EQ(rig.phrases->FillList("Family").size(), 1u);
    EXPECT_EQ(rig.phrases->FillList("Family")[0].content, "Home by six");
    EXPECT_EQ(rig.listed(), (QStringList{"Home by six"})) << "the new group is shown with its phrase";
    const auto &asked = rig.ask.calls().back();
    EXPECT_EQ(asked.caption, "New phrase group");
    EXPECT_EQ(asked.text, "Phrases are kept in groups, and there is none yet. Name of the first group:");
}

TEST(PhraseCommands, RenameKeeps64BytesAndEscapeOrAStrayEditKeepsTheName)
{
    PhraseRig rig;
    rig.phrases->AddGroup("Work");
    rig.phraseView->BuildTree();
    rig.showGroup("Work");
    QTreeWidget *tree = rig.main->TreeView_usersms();

    // 63 ASCII bytes then a two-byte character, then more: the cut may not split the character.
    const QString longName = QString(63, QChar('a')) + QString::fromUtf8("\xc3\xa9") + QString(5, QChar('b'));
    ASSERT_EQ(longName.toUtf8().size(), 70);
    rig.trigger("nRename");
    QTest::qWait(0);
    QWidget *editor = tree->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    static_cast<QLineEdit *>(editor)->setText(longName);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(0);
    const std::string kept(63, 'a');
    EXPECT_TRUE(rig.phrases->GroupExists(kept));
    EXPECT_EQ(tree->currentItem()->text(0).toStdString(), kept);

    // Escape: no change.
    rig.trigger("nRename");
    QTest::qWait(0);
    editor = tree->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    static_cast<QLineEdit *>(editor)->setText("Other");
    QTest::keyClick(editor, Qt::Key_Escape);
    QTest::qWait(0);
    EXPECT_TRUE(rig.phrases->GroupExists(kept));
    EXPECT_FALSE(rig.phrases->GroupExists("Other"));

    // An edit not started from the menu is taken back.
    tree->currentItem()->setText(0, "Stray");
    EXPECT_EQ(tree->currentItem()->text(0).toStdString(), kept);
    EXPECT_FALSE(rig.phrases->GroupExists("Stray"));

    // 70 one-byte characters: the first 64 are kept.
    rig.trigger("nRename");
    QTest::qWait(0);
    editor = tree->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    static_cast<QLineEdit *>(editor)->setText(QString(70, QChar('c')));
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(0);
    EXPECT_TRUE(rig.phrases->GroupExists(std::string(64, 'c')));
    EXPECT_FALSE(rig.phrases->GroupExists(kept));
}

TEST(PhraseCommands, EditShowsZeroUsesAndTheTimeCutAndPasteMove)
{
    PhraseRig rig;
    rig.phrases->AddGroup("Work");
    rig.phrases->AddGroup("Home");
    rig.phrases->AddPhrase("Work", "In a meeting");
    rig.phrases->AddPhrase("Work", "Call me");
    const int32_t id = rig.phrases->FillList("Work")[0].id;
    rig.phrases->UpdatePhrase(id, "Work", "In a meeting", 1); // used once
    rig.phraseView->BuildTree();
    rig.showGroup("Work");
    QTreeWidget *list = rig.main->ListView_usersms();
    ASSERT_EQ(rig.listed(), (QStringList{"In a meeting", "Call me"}));

    rig.selectRows(list, {0});
    rig.phraseAnswer = forms::PhraseEdit{"Work", "Back at five"};
    rig.trigger("nEdit");
    ASSERT_EQ(rig.edited.size(), 1u);
    EXPECT_EQ(rig.edited[0].text, "In a meeting");
    EXPECT_EQ(rig.edited[0].group, "Work");
    QTreeWidgetItem *row = list->topLevelItem(0);
    EXPECT_EQ(row->text(0), "Back at five");
    EXPECT_EQ(row->text(2), "0");
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(row->text(1)).hasMatch())
        << row->text(1).toStdString();

    rig.selectRows(list, {1});
    rig.trigger("npCut");
    EXPECT_EQ(rig.listed(), (QStringList{"Back at five"}));
    rig.showGroup("Home");
    rig.trigger("npPaste");
    EXPECT_EQ(rig.listed(), (QStringList{"Call me"}));
    rig.showGroup("Work");
    EXPECT_EQ(rig.listed(), (QStringList{"Back at five"}));
}

TEST(PhraseCommands, AnExportedPairImports)
{
    PhraseRig rig;
    rig.phrases->AddGroup("Work");
    rig.phrases->AddPhrase("Work", "In a meeting");
    rig.phraseView->BuildTree();
    const std::string file = rig.dir.path("mine.ase");
    rig.ask.answerSave(file);
    rig.trigger("ToolButton17");
    ASSERT_TRUE(std::filesystem::exists(file));
    ASSERT_TRUE(std::filesystem::exists(rig.dir.path("mine.sys")));

    rig.showGroup("Work");
    rig.trigger("nGrpDel");
    EXPECT_FALSE(rig.phrases->GroupExists("Work"));
    rig.ask.answerOpen(file);
    rig.trigger("button_loaduser");
    EXPECT_TRUE(rig.phrases->GroupExists("Work"));
    ASSERT_NE(rig.group("Work"), nullptr);
    rig.showGroup("Work");
    EXPECT_EQ(rig.listed(), (QStringList{"In a meeting"}));
}

TEST(PhraseCommands, PopupStatesFollowTheNodeTheSelectionAndTheRows)
{
    PhraseRig rig;
    rig.phrases->AddGroup("Work");
    rig.phrases->AddPhrase("Work", "In a meeting");
    rig.phraseView->BuildTree();
    QTreeWidget *tree = rig.main->TreeView_usersms();
    tree->setCurrentItem(tree->topLevelItem(0));
    rig.opening("menu_treeuser");
    rig.opening("menu_userview");
    EXPECT_TRUE(rig.enabled("N9"));
    EXPECT_FALSE(rig.enabled("nGrpDel"));
    EXPECT_FALSE(rig.enabled("nRename"));
    EXPECT_FALSE(rig.enabled("npClear"));
    EXPECT_FALSE(rig.enabled("nNew"));
    EXPECT_FALSE(rig.enabled("nEdit"));
    EXPECT_FALSE(rig.enabled("nSelA"));

    rig.showGroup("Work");
    rig.main->ListView_usersms()->clearSelection();
    rig.opening("menu_treeuser");
    rig.opening("menu_userview");
    EXPECT_TRUE(rig.enabled("nGrpDel"));
    EXPECT_TRUE(rig.enabled("nRename"));
    EXPECT_TRUE(rig.enabled("npClear"));
    EXPECT_TRUE(rig.enabled("nNew"));
    EXPECT_FALSE(rig.enabled("nEdit"));
    EXPECT_TRUE(rig.enabled("nSelA"));
    rig.selectRows(rig.main->ListView_usersms(), {0});
    rig.opening("menu_userview");
    for (const char *n : {"nEdit", "nDel", "npCut", "npProperty"})
        EXPECT_TRUE(rig.enabled(n)) << n;
    // The edit menu's delete and clear follow the rules but have no command: nobody sees them, so
    // no enabled item does nothing.
    for (const char *n : {"m_del", "menu_user_clear"})
        EXPECT_FALSE(rig.visible(n)) << n;
}

} // namespace
} // namespace main_commands_test
