// The main window's commands in the whole program against the simulated handset in infrared range:
// download into boxes 1, 8 and 9, composer presets on stored messages and an untouched original,
// a send from an edited draft or handset message that keeps the edit in place, a delete on the
// handset that asks first, reading and writing the SIM phone book, and the name an export
// proposes.

#include "content/sms_qt/sms_list_rows.h"
#include "running_program.h"

#include "content/phonebook_manage.h"
#include "content/qt/contacts_qt.h"
#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "content/sms_split.h"
#include "core/app_manage.h"
#include "core/lang_mng.h"
#include "forms/f_main.h"
#include "forms/fm_edit_sms.h"
#include "forms_app.h"
#include "program/program.h"
#include "program/stages.h"
#include "when_modal.h"

#include "controls/history/sw_combo_box.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

namespace {

using program_test::waitUntil;

// Answers the next `count` message boxes the program shows (QtPrompt's QMessageBox) with button
// and keeps their texts.
class BoxAnswer {
public:
    explicit BoxAnswer(QMessageBox::StandardButton button, int count = 1) : button_(button), left_(count)
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || left_ == 0 || box == last_)
                return;
            last_ = box;
            --left_;
            texts_ << box->text();
            if (QAbstractButton *b = box->button(button_))
                b->click();
            else
                box->reject();
        });
        timer_.start();
    }
    bool answered() const { return left_ == 0; }
    QString text() const { return texts_.value(0); }
    QStringList texts() const { return texts_; }

private:
    QMessageBox::StandardButton button_;
    int left_;
    QTimer timer_;
    QPointer<QMessageBox> last_;
    QStringList texts_;
};

class HandsetCommands : public program_test::RunningProgram {
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        if (IsSkipped())
            return;
        handsetsim::Scenario sc = program_test::handsetInRange(folder);
        sc.phonebooks[0].entries[1] = {1, "+4411111", 145, "Ann"};
        sc.phonebooks[0].entries[2] = {2, "+4422222", 145, "Bob"};
        startHandset(std::move(sc));
        start();
        ASSERT_TRUE(waitUntil([&] { return program->manage().Connected; }));
    }
    void TearDown() override
    {
        if (program)
            program->shutDown();
        RunningProgram::TearDown();
    }

    forms::TfMain &w() { return program->mainWindow(); }
    void trigger(const char *name)
    {
        QAction *a = w().action(name);
        ASSERT_NE(a, nullptr) << name;
        ASSERT_TRUE(a->isEnabled()) << name;
        a->trigger();
    }
    // What a right-click does: the pop-up's opening rules, then its item.
    void fromPopup(const char *menu, const char *item)
    {
        QMenu *m = w().menu(menu);
        ASSERT_NE(m, nullptr) << menu;
        emit m->aboutToShow();
        trigger(item);
    }
    QTreeWidgetItem *boxNode(int box)
    {
        for (QTreeWidgetItemIterator it(w().TreeView_sms()); *it; ++it)
            if ((*it)->data(0, content::kBoxIdRole).toInt() == box)
                return *it;
        return nullptr;
    }
    void chooseBox(int box, std::initializer_list<int> rows = {})
    {
        w().setActiveArea(forms::kAreaSms);
        QTreeWidgetItem *n = boxNode(box);
        ASSERT_NE(n, nullptr);
        w().TreeView_sms()->setCurrentItem(n);
        QTreeView *list = w().ListView_sms();
        list->clearSelection();
        for (int r : rows) {
            ASSERT_LT(r, sms_list::count(list));
            sms_list::alsoSelect(list, {r});
        }
    }
    int listed() { return sms_list::count(w().ListView_sms()); }
    content::TSMSManage &sms() { return program->stages().sms(); }
    std::string t(const char *key) { return program->manage().LangMng().translate(key); }
    void download()
    {
        chooseBox(content::kBoxReceived);
        trigger("mSmsDownload");
        ASSERT_EQ(listed(), 3);
    }
    QTreeWidgetItem *handsetSimNode()
    {
        for (QTreeWidgetItemIterator it(w().TreeView_cont()); *it; ++it) {
            int book = -1;
            int32_t storage = -1;
            if (w().GetContNodeInfo(*it, book, storage) && book == 0 && storage == 1)
                return *it;
        }
        return nullptr;
    }
    QStringList contactNames() { return program_test::contactNames(w()); }
};

TEST_F(HandsetCommands, DownloadFillsTheBoxesAndTheCaption)
{
    download();
    EXPECT_EQ(w().Panel1()->text(), "  " + boxNode(content::kBoxReceived)->text(0) + "(3)");
    chooseBox(content::kBoxPhoneReceived);
    EXPECT_EQ(listed(), 3);
    chooseBox(content::kBoxPhoneStored);
    EXPECT_EQ(listed(), 1);
}

TEST_F(HandsetCommands, StoredMessagesOpenAsNewAndTheOriginalStaysAsItWas)
{
    download();
    chooseBox(content::kBoxReceived, {0});
    const int32_t id = sms_list::text(w().ListView_sms(), 0, content::subItemColumn(content::kIdSubItem)).toInt();
    content::Ssms before;
    before.id = id;
    ASSERT_EQ(sms().GetMessage(before), 0);
    const auto smBefore = sim->smsStorage("SM")->messages;

    // Forward, then save the copy as a draft: the received message is left alone.
    bool shown = false;
    forms_test::whenModal("fEditSms", [&](QWidget *dlg) {
        auto *ed = static_cast<forms::TfEditSms *>(dlg);
        shown = true;
        EXPECT_EQ(ed->record().id, -1);
        EXPECT_TRUE(ed->edit_address->currentText().isEmpty());
        EXPECT_EQ(ed->Memo->toPlainText().toStdString(), before.body);
        ed->edit_address->setEditText("+4977");
        ed->Memo->setPlainText("forwarded text");
        ed->btnSaveClick();
        ed->reject();
    });
    trigger("mSmsSendto");
    ASSERT_TRUE(shown);
    content::Ssms after;
    after.id = id;
    ASSERT_EQ(sms().GetMessage(after), 0);
    EXPECT_EQ(after, before);
    bool saved = false;
    for (const content::Ssms &m : sms().Messages(content::kBoxDrafts))
        saved = saved || (m.body == "forwarded text" && m.Tel == "+4977");
    EXPECT_TRUE(saved);

    // Edit on a handset's received message: a new message too, and the handset keeps its own.
    chooseBox(content::kBoxPhoneReceived, {0});
    shown = false;
    forms_test::whenModal("fEditSms", [&](QWidget *dlg) {
        auto *ed = static_cast<forms::TfEditSms *>(dlg);
        shown = true;
        EXPECT_EQ(ed->record().id, -1);
        EXPECT_FALSE(ed->edit_address->currentText().isEmpty());
        ed->reject();
    });
    trigger("mSmsEdit");
    EXPECT_TRUE(shown);
    EXPECT_EQ(sim->smsStorage("SM")->messages.size(), smBefore.size());

    // Reply on a received message takes the sender; on a sent one it does nothing.
    chooseBox(content::kBoxReceived, {0});
    shown = false;
    forms_test::whenModal("fEditSms", [&](QWidget *dlg) {
        auto *ed = static_cast<forms::TfEditSms *>(dlg);
        shown = true;
        EXPECT_EQ(ed->edit_address->currentText(), sms_list::text(w().ListView_sms(), 0, 1));
        ed->reject();
    });
    trigger("mSmsSendback");
    EXPECT_TRUE(shown);
}

// Forwarding or sending again from the handset's boxes makes a local message: its save keeps a
// draft and writes nothing to the handset.
TEST_F(HandsetCommands, ForwardFromTheHandsetsBoxSavesALocalDraft)
{
    download();
    const auto onHandset = sim->smsStorage("SM")->messages;
    const size_t nine = sms().Messages(content::kBoxPhoneStored).size();
    for (const char *command : {"mSmsSendto", "mSmsEdit"}) {
        SCOPED_TRACE(command);
        chooseBox(content::kBoxPhoneReceived, {0});
        bool shown = false;
        forms_test::whenModal("fEditSms", [&](QWidget *dlg) {
            auto *ed = static_cast<forms::TfEditSms *>(dlg);
            shown = true;
            EXPECT_EQ(ed->record().boxid, content::kBoxDrafts);
            ed->edit_address->setEditText("+4977");
            ed->Memo->setPlainText(QString("copy by ") + command);
            ed->btnSaveClick();
            EXPECT_FALSE(ed->btnSave->isEnabled());
            ed->reject();
        });
        trigger(command);
        ASSERT_TRUE(shown);
        bool saved = false;
        for (const content::Ssms &m : sms().Messages(content::kBoxDrafts))
            saved = saved || m.body == std::string("copy by ") + command;
        EXPECT_TRUE(saved);
    }
    EXPECT_EQ(sms().Messages(content::kBoxPhoneStored).size(), nine);
    EXPECT_EQ(sim->smsStorage("SM")->messages.size(), onHandset.size());
}

// Edit a draft in the real composer and send it: the send stores its parts in Sent under new ids,
// and the draft keeps the edit as the composer's save splits it (first part in its own row).
TEST_F(HandsetCommands, ASendFromAnEditedDraftKeepsTheEditInTheDraft)
{
    program->manage().SendClose = true;
    program->manage().Signature = false;
    program->manage().HaveTitle = true;
    content::ArraySms add{content::Ssms{.boxid = content::kBoxDrafts, .Tid = -1, .Tel = "+4977", .body = "old text"}};
    sms().AddMessages(add, -1, false);
    ASSERT_GT(add[0].id, 0);
    const int32_t draft = add[0].id;
    auto draftRows = [&] { return sms().Messages(content::kBoxDrafts); };
    auto sentRows = [&] { return sms().Messages(content::kBoxSent); };
    auto editAndSend = [&](const QString &text) {
        chooseBox(content::kBoxSent);
        chooseBox(content::kBoxDrafts, {0});
        bool shown = false;
        forms_test::whenModal("fEditSms", [&](QWidget *dlg) {
            auto *ed = static_cast<forms::TfEditSms *>(dlg);
            shown = true;
            EXPECT_EQ(ed->record().id, draft);
            ed->Memo->setPlainText(text);
            ed->btnSendClick();
            if (ed->isVisible())
                ed->reject(); // the send failed: fail below rather than hang
        });
        trigger("mSmsEdit");
        EXPECT_TRUE(shown);
    };

    editAndSend("new text");
    ASSERT_EQ(sim->submitted().size(), 1u);
    std::vector<content::Ssms> drafts = draftRows();
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0].id, draft);
    EXPECT_EQ(drafts[0].body, "new text");
    EXPECT_EQ(drafts[0].Tel, "+4977");
    std::vector<content::Ssms> sent = sentRows();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].id, draft);
    EXPECT_EQ(sent[0].body, "new text");
    EXPECT_EQ(sent[0].Tel, "+4977");
    EXPECT_EQ(sent[0].states, 3);

    // A text of two parts: the draft row holds part 1, part 2 is added to the drafts; Sent gains
    // both parts as sent and keeps the first send as it was.
    const std::string longText = std::string(150, 'a') + std::string(100, 'b');
    editAndSend(QString::fromStdString(longText));
    EXPECT_EQ(sim->submitted().size(), 3u);
    drafts = draftRows();
    ASSERT_EQ(drafts.size(), 2u);
    std::sort(drafts.begin(), drafts.end(), [&](const content::Ssms &a, const content::Ssms &b) {
        return (a.id == draft) > (b.id == draft);
    });
    EXPECT_EQ(drafts[0].id, draft);
    EXPECT_EQ(drafts[0].body.rfind("<1>", 0), 0u) << drafts[0].body;
    EXPECT_EQ(drafts[1].body.rfind("<2>", 0), 0u) << drafts[1].body;
    EXPECT_EQ(content::StripTags(drafts[0].body).text + content::StripTags(drafts[1].body).text, longText);
    for (const content::Ssms &d : drafts) {
        EXPECT_EQ(d.Tel, "+4977");
        EXPECT_LE(d.body.size(), 160u);
    }
    sent = sentRows();
    ASSERT_EQ(sent.size(), 3u);
    int parts = 0;
    for (const content::Ssms &m : sent) {
        EXPECT_NE(m.id, draft);
        EXPECT_EQ(m.states, 3);
        parts += m.body.rfind("<1>", 0) == 0 || m.body.rfind("<2>", 0) == 0;
    }
    EXPECT_EQ(parts, 2);
}

// The handset's texts in both storages, decoded.
static std::vector<std::string> handsetTexts(handsetsim::HandsetSim &sim)
{
    std::vector<std::string> out;
    for (const char *name : {"SM", "ME"}) {
        const auto storage = sim.smsStorage(name);
        if (!storage)
            continue;
        for (const auto &[index, m] : storage->messages) {
            std::vector<uint8_t> bytes;
            handsetsim::Tpdu t;
            if (handsetsim::fromHex(m.pdu, bytes) && !bytes.empty() && bytes[0] + 1u < bytes.size() &&
                handsetsim::decodeTpdu(bytes.data() + bytes[0] + 1, bytes.size() - bytes[0] - 1, t))
                out.push_back(t.text);
        }
    }
    return out;
}

// A message the handset stores (box 9), edited and sent: the handset's copy and its row take the
// edit as the composer's save would write them; Sent holds what went.
TEST_F(HandsetCommands, ASendFromAnEditedHandsetMessageRewritesTheHandsetCopy)
{
    program->manage().SendClose = true;
    program->manage().Signature = false;
    download();
    chooseBox(content::kBoxPhoneStored, {0});
    const int32_t id = sms_list::text(w().ListView_sms(), 0, content::subItemColumn(content::kIdSubItem)).toInt();
    content::Ssms before;
    before.id = id;
    ASSERT_EQ(sms().GetMessage(before), 0);
    bool shown = false;
    forms_test::whenModal("fEditSms", [&](QWidget *dlg) {
        auto *ed = static_cast<forms::TfEditSms *>(dlg);
        shown = true;
        EXPECT_EQ(ed->record().id, id);
        ed->Memo->setPlainText("edited on the handset");
        ed->btnSendClick();
        if (ed->isVisible())
            ed->reject();
    });
    trigger("mSmsEdit");
    ASSERT_TRUE(shown);
    EXPECT_EQ(sim->submitted().size(), 1u);
    content::Ssms after;
    after.id = id;
    ASSERT_EQ(sms().GetMessage(after), 0);
    EXPECT_EQ(after.boxid, content::kBoxPhoneStored);
    EXPECT_EQ(after.body, "edited on the handset");
    const std::vector<std::string> texts = handsetTexts(*sim);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "edited on the handset"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), before.body), 0) << before.body;
    const std::vector<content::Ssms> sent = sms().Messages(content::kBoxSent);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].id, id);
    EXPECT_EQ(sent[0].body, "edited on the handset");
}

TEST_F(HandsetCommands, ADeleteOnTheHandsetAsksAndRemoves)
{
    download();
    const size_t onHandset = sim->smsStorage("SM")->messages.size() + sim->smsStorage("ME")->messages.size();
    chooseBox(content::kBoxPhoneReceived, {0});
    {
        BoxAnswer cancel(QMessageBox::Cancel);
        trigger("pSmsDel");
        ASSERT_TRUE(cancel.answered());
        EXPECT_EQ(cancel.text().toStdString(), t("fMain_DelQuestion"));
    }
    EXPECT_EQ(sms().Messages(content::kBoxPhoneReceived).size(), 3u);
    chooseBox(content::kBoxPhoneReceived, {0});
    {
        BoxAnswer ok(QMessageBox::Ok);
        trigger("pSmsDel");
        ASSERT_TRUE(ok.answered());
    }
    EXPECT_EQ(sms().Messages(content::kBoxPhoneReceived).size(), 2u);
    EXPECT_EQ(sim->smsStorage("SM")->messages.size() + sim->smsStorage("ME")->messages.size(), onHandset - 1);
}

TEST_F(HandsetCommands, AMessageTheHandsetDoesNotHoldStaysListedAfterAFailedDelete)
{
    download();
    // A row of the handset's box whose place on the handset is not known.
    const int32_t id = sms_list::text(w().ListView_sms(), 0, content::subItemColumn(content::kIdSubItem)).toInt();
    ASSERT_TRUE(sms().SetPlace(id, content::kBoxPhoneReceived, 999));
    chooseBox(content::kBoxPhoneReceived);
    const int before = listed();
    QTreeView *list = w().ListView_sms();
    list->clearSelection();
    for (int i = 0; i < sms_list::count(list); ++i)
        if (sms_list::id(list, i) == id)
            sms_list::alsoSelect(list, {i});
    BoxAnswer ok(QMessageBox::Ok, 2);
    trigger("pSmsDel");
    ASSERT_TRUE(ok.answered());
    EXPECT_EQ(ok.texts().value(1).toStdString(), t("SmsMng_DelNoSlot"));
    EXPECT_EQ(listed(), before);
    EXPECT_EQ(w().Panel1()->text(), "  " + boxNode(content::kBoxPhoneReceived)->text(0) + "(" + QString::number(before) + ")");
}

TEST_F(HandsetCommands, ReadWriteAndExportTheSimPhoneBook)
{
    w().setActiveArea(forms::kAreaCard);
    // No node: every storage is read.
    w().TreeView_cont()->setCurrentItem(nullptr);
    fromPopup("menu_conttree", "menu_readcont");
    content::TPhoneBookManage &pb = program->stages().phoneBook();
    EXPECT_EQ(pb.GetCountText(0, content::StorageCode::Sim), "2");

    QTreeWidgetItem *simNode = handsetSimNode();
    ASSERT_NE(simNode, nullptr);
    w().TreeView_cont()->setCurrentItem(simNode);
    EXPECT_EQ(contactNames(), (QStringList{"Ann", "Bob"}));

    // A change, written after the question.
    int32_t pos = 1;
    ASSERT_EQ(pb.SaveContact(0, content::StorageCode::Sim, pos,
                             {{content::kFieldName, -1, "Annie;"}, {content::kFieldTel, 0, "+4411111"}}),
              0);
    {
        BoxAnswer cancel(QMessageBox::Cancel);
        fromPopup("menu_conttree", "menu_flash");
        ASSERT_TRUE(cancel.answered());
        EXPECT_EQ(cancel.text().toStdString(), t("fMain_Updata"));
    }
    EXPECT_EQ(sim->phonebook("SM")->entries.at(1).text, "Ann");
    {
        BoxAnswer ok(QMessageBox::Ok);
        fromPopup("menu_conttree", "menu_flash");
        ASSERT_TRUE(ok.answered());
    }
    EXPECT_EQ(sim->phonebook("SM")->entries.at(1).text, "Annie");
    EXPECT_FALSE(pb.HasChanges(0, 1));

    // The export proposes maker "_" model.
    QString proposed;
    forms_test::whenModal("SaveDialog", [&](QWidget *dlg) {
        auto *fd = static_cast<QFileDialog *>(dlg);
        if (QLineEdit *name = fd->findChild<QLineEdit *>("fileNameEdit"))
            proposed = name->text();
        fd->reject();
    });
    trigger("button_savetofile");
    const core::TManage &m = program->manage();
    EXPECT_EQ(proposed.toStdString(), m.PhoneMan + "_" + m.PhoneModel + ".csv");
}

} // namespace
