// Scenarios 4 and 5: a SIM contact edited in the contact editor and written to the handset, and a
// new contact with a name outside ASCII (this one over a pty with the Cable type); the SIM's
// contacts copied into the phone's memory by the copy and paste keys and written: the handset's
// phone memory holds them; the same by dragging SIM rows, then the whole SIM node, onto the phone
// memory's node, answering the Yes/No/Cancel question. (The offscreen platform runs no drag loop:
// the drag's events are sent as the loop sends them, carrying the data the views' own drag makes.)

#include "acceptance_rig.h"

#include "content/phonebook_manage.h"
#include "core/app_manage.h"
#include "core/prompt.h"
#include "forms/fm_edit_vcard.h"
#include "program/stages.h"
#include "when_modal.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <set>

namespace {

using acceptance::Rig;
using program_test::waitUntil;
using Scenario = Rig;

// Types text into the editor's box as a user does (the old text selected and replaced).
void retype(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    // Key by key with the character as the event's text: QTest's key tables know ASCII only.
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, c.isLetter() && c.unicode() < 128 ? Qt::Key_A + (c.toUpper().unicode() - 'A') : 0,
                        c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
        QKeyEvent release(QEvent::KeyRelease, press.key(), press.modifiers(), QString(c));
        QApplication::sendEvent(box, &release);
    }
}

QLineEdit *telBox(forms::TfVcardEdit &ed)
{
    for (const auto &row : ed.rows())
        if (row.box && row.descIndex >= 0 && ed.templ[size_t(row.descIndex)].type == content::kFieldTel)
            return row.box;
    return nullptr;
}

TEST_F(Scenario, S04_EditASimContactAndAddOneOverTheCable)
{
    startHandset("scenario_handset.json", false);
    folder.settings("ComType=Cable\nComPort=" + tty + "\n");
    startProgram();
    EXPECT_EQ(panel(0), t("fMain_Connected") + ": Cable");

    ASSERT_NO_FATAL_FAILURE(readHandsetBook());
    chooseHandsetStorage(1);
    ASSERT_EQ(contactNames(), (QStringList{"Ann", "Bob"}));

    QTreeWidget *list = w().ListView_cont();
    list->setCurrentItem(list->topLevelItem(0));
    bool shown = false;
    forms_test::whenModal("fVcardEdit", [&](QWidget *dlg) {
        auto *ed = static_cast<forms::TfVcardEdit *>(dlg);
        shown = true;
        EXPECT_EQ(ed->edtName->text(), "Ann");
        retype(ed->edtName, "Annie");
        ed->btnOK->click();
    });
    trigger("menu_editcont");
    ASSERT_TRUE(shown);
    EXPECT_EQ(contactNames(), (QStringList{"Annie", "Bob"}));

    shown = false;
    forms_test::whenModal("fVcardEdit", [&](QWidget *dlg) {
        auto *ed = static_cast<forms::TfVcardEdit *>(dlg);
        shown = true;
        retype(ed->edtName, QString::fromUtf8("Zoë Ångström"));
        QLineEdit *tel = telBox(*ed);
        ASSERT_NE(tel, nullptr);
        retype(tel, "+4433333");
        ed->btnOK->click();
    });
    fromPopup("menu_contview", "menu_addcont");
    ASSERT_TRUE(shown);

    prompt->answerBox(core::kIdOk);
    fromPopup("menu_conttree", "menu_flash");
    ASSERT_EQ(prompt->calls().size(), 1u);
    EXPECT_EQ(prompt->calls()[0].text, t("fMain_Updata").toStdString());

    const auto sm = sim->phonebook("SM");
    ASSERT_TRUE(sm);
    EXPECT_EQ(sm->entries.at(1).text, "Annie");
    EXPECT_EQ(sm->entries.at(1).number, "+4411111");
    bool added = false;
    for (const auto &[index, e] : sm->entries)
        added = added || (e.text == "Zoë Ångström" && e.number == "+4433333");
    EXPECT_TRUE(added);
    EXPECT_FALSE(program->stages().phoneBook().HasChanges(0, 1));
}

std::set<std::pair<std::string, std::string>> entriesOf(const handsetsim::PhonebookStorage &pb)
{
    std::set<std::pair<std::string, std::string>> out;
    for (const auto &[index, e] : pb.entries)
        out.insert({e.text, e.number});
    return out;
}

TEST_F(Scenario, S05_CopySimToPhoneMemoryByCopyAndPasteKeys)
{
    startHandset();
    startProgram();
    ASSERT_NO_FATAL_FAILURE(readHandsetBook());

    // The copy and paste keys: both SIM contacts copied, pasted on the phone memory's node.
    chooseHandsetStorage(1);
    QTreeWidget *list = w().ListView_cont();
    QTreeWidget *tree = w().TreeView_cont();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QTreeWidgetItem *phoneNode = chooseHandsetStorage(2);
    ASSERT_NE(phoneNode, nullptr);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(contactNames(), (QStringList{"Ann", "Bob"}));

    prompt->answerBox(core::kIdOk);
    fromPopup("menu_conttree", "menu_flash");

    const auto me = sim->phonebook("ME");
    ASSERT_TRUE(me);
    const auto have = entriesOf(*me);
    EXPECT_TRUE(have.count({"Ann", "+4411111"})) << me->entries.size();
    EXPECT_TRUE(have.count({"Bob", "+4422222"})) << me->entries.size();
}

// The data a view's own drag carries for its selected items.
std::unique_ptr<QMimeData> dragOf(QTreeWidget *view)
{
    return std::unique_ptr<QMimeData>(view->model()->mimeData(view->selectionModel()->selectedIndexes()));
}

// The drag entering the tree, moving over a node and dropped there, as the platform's loop sends
// them. Answers whether every step was taken.
bool dropOn(QTreeWidget *tree, QTreeWidgetItem *node, const QMimeData &mime)
{
    const QPoint at = tree->visualItemRect(node).center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &drop);
    return enter.isAccepted() && move.isAccepted() && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

TEST_F(Scenario, S05b_CopySimToPhoneMemoryByDrag)
{
    startHandset();
    startProgram();
    ASSERT_NO_FATAL_FAILURE(readHandsetBook());

    QTreeWidget *list = w().ListView_cont();
    QTreeWidget *tree = w().TreeView_cont();
    QTreeWidgetItem *phoneNode = chooseHandsetStorage(2);
    ASSERT_NE(phoneNode, nullptr);
    EXPECT_TRUE(contactNames().isEmpty());
    QTreeWidgetItem *simNode = chooseHandsetStorage(1);
    ASSERT_NE(simNode, nullptr);
    ASSERT_EQ(contactNames(), (QStringList{"Ann", "Bob"}));
    list->selectAll();
    const std::unique_ptr<QMimeData> rows = dragOf(list);
    ASSERT_TRUE(rows);
    const std::string question = (t("PbMng_CopyError20") + "\r" + t("PbMng_CopyError21")).toStdString();

    // Cancel: asked, nothing copied.
    prompt->answerBox(core::kIdCancel);
    EXPECT_TRUE(dropOn(tree, phoneNode, *rows));
    ASSERT_EQ(prompt->calls().size(), 1u);
    EXPECT_EQ(prompt->calls()[0].text, question);
    chooseHandsetStorage(2);
    EXPECT_TRUE(contactNames().isEmpty());

    // Yes: both rows join the phone memory; written, the handset's phone memory holds them.
    chooseHandsetStorage(1);
    list->selectAll();
    prompt->answerBox(core::kIdYes);
    EXPECT_TRUE(dropOn(tree, phoneNode, *rows));
    ASSERT_EQ(prompt->calls().size(), 2u);
    EXPECT_EQ(prompt->calls()[1].text, question);
    chooseHandsetStorage(2);
    EXPECT_EQ(contactNames(), (QStringList{"Ann", "Bob"}));
    prompt->answerBox(core::kIdOk);
    fromPopup("menu_conttree", "menu_flash");
    auto me = sim->phonebook("ME");
    ASSERT_TRUE(me);
    EXPECT_EQ(entriesOf(*me), (std::set<std::pair<std::string, std::string>>{{"Ann", "+4411111"}, {"Bob", "+4422222"}}));

    // The SIM's node dragged: the whole storage; No empties the target first, so the phone
    // memory ends with the SIM's two contacts, not four.
    chooseHandsetStorage(1);
    const std::unique_ptr<QMimeData> node = dragOf(tree);
    ASSERT_TRUE(node);
    prompt->answerBox(core::kIdNo);
    EXPECT_TRUE(dropOn(tree, phoneNode, *node));
    chooseHandsetStorage(2);
    EXPECT_EQ(contactNames(), (QStringList{"Ann", "Bob"}));
    prompt->answerBox(core::kIdOk);
    fromPopup("menu_conttree", "menu_flash");
    me = sim->phonebook("ME");
    ASSERT_TRUE(me);
    EXPECT_EQ(me->entries.size(), 2u);
    EXPECT_EQ(entriesOf(*me), (std::set<std::pair<std::string, std::string>>{{"Ann", "+4411111"}, {"Bob", "+4422222"}}));
}

} // namespace
