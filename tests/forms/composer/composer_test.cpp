// The message composer offscreen with QTest keys: counters, the split view, the cut without
// splitting, sending (refused while not connected, to the simulated handset, refused by it),
// saving, value lists, opening a stored part, and the refusals for no room and bad recipients.
#include "composer_rig.h"

#include "controls/buttons/speed_button.h"
#include "controls/history/sw_combo_box.h"
#include "core/value_lists.h"
#include "forms/support/screenshot.h"
#include "forms/support/when_modal.h"
#include "forms/fm_phrase.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace forms_test {
namespace {

using content::Ssms;

const QString kCjk = QString::fromUtf8("\xE4\xB8\xAD");

QString letters(int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += QChar('a' + i % 26);
    return s;
}

class Composer : public ::testing::Test {
protected:
    // A composer for rec, shown (not modally).
    forms::TfEditSms &open(const Ssms &rec = {}, bool newMode = true)
    {
        forms::TfEditSms &f = rig.make();
        f.preset(rec, newMode);
        f.show();
        QCoreApplication::processEvents();
        return f;
    }
    QString parts(int n) const
    {
        return QString::fromStdString(rig.text("fEditSms_StatusBar01") + " " + std::to_string(n) + " " +
                                      rig.text("fEditSms_StatusBar02"));
    }
    QString chars(int n) const
    {
        return QString::fromStdString(rig.text("fEditSms_StatusBar11") + " " + std::to_string(n) +
                                      rig.text("fEditSms_StatusBar12"));
    }
    std::vector<Ssms> box(int b)
    {
        std::vector<Ssms> out;
        for (const content::SmsListRow &r : rig.sms->FillList(b).rows) {
            Ssms m{.id = r.id};
            rig.sms->GetMessage(m);
            if (m.boxid == b)
                out.push_back(m);
        }
        return out;
    }

    ComposerRig rig;
};

TEST_F(Composer, TypingUpdatesBothCounters)
{
    forms::TfEditSms &f = open();
    lang_qt_test::expectFullyTranslated(&f, "fEditSms");
    EXPECT_EQ(f.windowTitle().toStdString(), rig.text("fEditSms_Caption"));
    typeText(f.Memo, "hello");
    EXPECT_EQ(f.panels[0]->text(), parts(1));
    EXPECT_EQ(f.panels[1]->text(), chars(5));
    typeText(f.Memo, letters(156));
    EXPECT_EQ(f.panels[0]->text(), parts(2)) << "161 characters";
    EXPECT_EQ(f.panels[1]->text(), chars(161));
    EXPECT_TRUE(f.btnSave->isEnabled());
    EXPECT_FALSE(f.btnSend->isEnabled()) << "no recipient yet";
    typeText(f.edit_address->lineEdit(), "+4930111");
    EXPECT_TRUE(f.btnSend->isEnabled());
    EXPECT_EQ(rig.manage->CAddressee, "+4930111");
    screenshot(&f, "fEditSms");
}

TEST_F(Composer, TabFollowsTheLayout)
{
    forms::TfEditSms &f = open();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    typeText(f.edit_address->lineEdit(), "+4930111"); // so that Send and Save take the focus too
    typeText(f.Memo, "hi");
    f.edit_address->setFocus();
    const QStringList want = {"edit_address", "Combo_sign", "Combo_SCA", "Memo",    "cbSplit",  "cbSendClose",
                              "btnInsert",    "btnSend",    "btnSave",   "btnCancel", "edit_address"};
    QStringList got;
    // The named widget that holds the focus (an editable combo's line edit belongs to its combo).
    auto focused = [&want] {
        QWidget *w = QApplication::focusWidget();
        while (w && !want.contains(w->objectName()))
            w = w->parentWidget();
        return w ? w->objectName() : QString();
    };
    got << focused();
    for (int i = 1; i < want.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        got << focused();
    }
    EXPECT_EQ(got.join(" ").toStdString(), want.join(" ").toStdString());
}

TEST_F(Composer, SplitToggleShowsOneLinePerRecord)
{
    forms::TfEditSms &f = open();
    typeText(f.edit_address->lineEdit(), "+4930111;+4930222");
    const QString typed = letters(200);
    typeText(f.Memo, typed);
    f.btnSplit->click();
    EXPECT_TRUE(f.splitShown());
    EXPECT_TRUE(f.btnSplit->Down());
    const QStringList lines = f.Memo->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "<1>" + typed.left(157));
    EXPECT_EQ(lines[3], "<2>" + typed.mid(157));
    EXPECT_TRUE(f.Memo->isReadOnly());
    EXPECT_FALSE(f.btnInsert->isEnabled());
    EXPECT_EQ(f.panels[0]->text(), parts(2)) << "the split view is not counted";
    screenshot(&f, "fEditSms_split");

    f.btnSplit->click();
    EXPECT_FALSE(f.splitShown());
    EXPECT_EQ(f.Memo->toPlainText(), typed);
    EXPECT_FALSE(f.Memo->isReadOnly());
    EXPECT_TRUE(f.btnInsert->isEnabled());
}

// Without splitting nothing is cut: the status says when the text no longer fits one message,
// by the limit its characters need.
TEST_F(Composer, WithoutSplittingTheStatusTellsWhenTheTextIsTooLong)
{
    forms::TfEditSms &f = open();
    QTest::mouseClick(f.cbSplit, Qt::LeftButton);
    EXPECT_FALSE(rig.manage->SplitAuto);
    const QString tooLong = QString::fromStdString(rig.text("fEditSms_TooLong"));
    const struct {
        QString text;
        bool fits;
    } cases[] = {
        {letters(160), true},
        {letters(161), false},
        {letters(69) + kCjk, true},
        {letters(100) + kCjk, false}, // the wide character needs the 70 limit
        {letters(69) + QString::fromUtf8("\xF0\x9F\x98\x80"), false}, // a surrogate pair counts two
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        f.Memo->clear();
        typeText(f.Memo, c.text);
        EXPECT_EQ(f.Memo->toPlainText(), c.text);
        EXPECT_EQ(f.panels[2]->text() == tooLong, !c.fits);
    }
}

TEST_F(Composer, CtrlEnterWhileNotConnectedOnlyTellsSo)
{
    forms::TfEditSms &f = open();
    typeText(f.edit_address->lineEdit(), "+4930111");
    typeText(f.Memo, "hi");
    QTest::keyClick(f.Memo, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(rig.prompt.texts(), std::vector<std::string>{rig.text("SmsMng_NotConnected")});
    EXPECT_TRUE(rig.sent.empty());
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(rig.sms->FillList(content::kBoxLocal).rows.empty());
    EXPECT_EQ(f.Memo->toPlainText(), "hi") << "Ctrl+Enter adds no line";
}

#ifdef SV_HAVE_REAL_PLUGINS
TEST_F(Composer, SendsEveryPartToEveryNumberAndCloses)
{
    rig.connectHandset();
    forms::TfEditSms &f = rig.make();
    f.preset(Ssms{}, true);
    const QString typed = letters(200);
    whenModal("fEditSms", [&](QWidget *) {
        if (!f.cbSendClose->isChecked())
            QTest::mouseClick(f.cbSendClose, Qt::LeftButton);
        typeText(f.edit_address->lineEdit(), "+4930111;+4930222");
        typeText(f.Memo, typed);
        QTest::keyClick(f.Memo, Qt::Key_Return, Qt::ControlModifier);
    });
    EXPECT_EQ(f.exec(), forms::kMrOk);
    EXPECT_TRUE(rig.manage->SendClose);
    const auto sent = rig.sim->submitted();
    ASSERT_EQ(sent.size(), 4u);
    const std::string body = typed.toStdString();
    const std::string want[4] = {"<1>" + body.substr(0, 157), "<2>" + body.substr(157), "<1>" + body.substr(0, 157),
                                 "<2>" + body.substr(157)};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(sent[i].decoded.text, want[i]) << i;
    EXPECT_EQ(box(content::kBoxSent).size(), 4u);
    EXPECT_TRUE(rig.prompt.texts().empty());
    EXPECT_EQ(f.edit_address->findText("+4930111;+4930222"), 0) << "the recipients join the history";
}

TEST_F(Composer, ASendTheHandsetRefusesKeepsTheDialogOpen)
{
    rig.connectHandset();
    rig.sim->setSendError(500);
    forms::TfEditSms &f = rig.make();
    f.preset(Ssms{}, true);
    bool openAfterSend = false;
    whenModal("fEditSms", [&](QWidget *) {
        if (!f.cbSendClose->isChecked())
            QTest::mouseClick(f.cbSendClose, Qt::LeftButton);
        typeText(f.edit_address->lineEdit(), "+4930111");
        typeText(f.Memo, "hello");
        QTest::mouseClick(f.btnSend, Qt::LeftButton);
        openAfterSend = f.isVisible();
        QTest::mouseClick(f.btnCancel, Qt::LeftButton);
    });
    EXPECT_EQ(f.exec(), forms::kMrCancel);
    EXPECT_TRUE(openAfterSend);
    EXPECT_TRUE(rig.sim->submitted().empty());
    EXPECT_FALSE(rig.prompt.texts().empty()) << "the handset side tells the user";
}
#endif

TEST_F(Composer, SaveAddsDraftsInNewModeAndUpdatesInEditMode)
{
    forms::TfEditSms &f = open(Ssms{.Tel = "+4930111"}, true);
    typeText(f.Memo, "draft text");
    EXPECT_EQ(f.btnSave->text().toStdString(), rig.text("fEditSms_SaveasDraft"));
    QTest::mouseClick(f.btnSave, Qt::LeftButton);
    std::vector<Ssms> drafts = box(content::kBoxDrafts);
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0].body, "draft text");
    EXPECT_EQ(drafts[0].Tel, "+4930111");
    EXPECT_FALSE(f.btnSave->isEnabled());
    EXPECT_TRUE(f.isVisible());

    forms::TfEditSms &e = open(drafts[0], false);
    EXPECT_EQ(e.Memo->toPlainText(), "draft text");
    typeText(e.Memo, " changed");
    QTest::mouseClick(e.btnSave, Qt::LeftButton);
    drafts = box(content::kBoxDrafts);
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0].body, "draft text changed");
}

TEST_F(Composer, TypedSignatureAndCentreJoinTheirValueLists)
{
    forms::TfEditSms &f = open();
    typeText(f.Combo_sign->lineEdit(), "Jo");
    typeText(f.Combo_SCA->lineEdit(), "+4917");
    EXPECT_EQ(rig.manage->CSignture, "Jo");
    EXPECT_EQ(rig.manage->CSCenter, "+4917");
    typeText(f.Memo, letters(10));
    EXPECT_EQ(f.panels[1]->text(), chars(10));
    QTest::mouseClick(f.btnCancel, Qt::LeftButton);
    EXPECT_EQ(f.modalResult(), forms::kMrCancel);
    const std::vector<std::string> signs = rig.valueList(core::kSSInfoSignature);
    EXPECT_NE(std::find(signs.begin(), signs.end(), "Jo"), signs.end());
    const std::vector<std::string> centres = rig.valueList(core::kSSInfoServiceCentre);
    EXPECT_NE(std::find(centres.begin(), centres.end(), "+4917"), centres.end());
    EXPECT_EQ(f.Combo_sign->findText("Jo"), f.Combo_sign->count() - 1);
}

TEST_F(Composer, AStoredPartOpensWithoutItsTitleAndSelectsItsSignature)
{
    rig.manage->AddSSInfo(core::kSSInfoSignature, "other");
    rig.manage->AddSSInfo(core::kSSInfoSignature, "sig");
    forms::TfEditSms &f = open(Ssms{.boxid = content::kBoxDrafts, .body = "<2>text<sig>"}, false);
    EXPECT_EQ(f.Memo->toPlainText(), "text");
    EXPECT_EQ(f.Combo_sign->currentText(), "sig");

    forms::TfEditSms &g = open(Ssms{.boxid = content::kBoxDrafts, .body = "<1>x<y and y>z<unknown>"}, false);
    EXPECT_EQ(g.Memo->toPlainText(), "x<y and y>z");
    EXPECT_EQ(g.Combo_sign->currentIndex(), -1);
}

TEST_F(Composer, NoRoomForTextIsRefused)
{
    forms::TfEditSms &f = open(Ssms{.Tel = "+4930111"}, true);
    QString sig;
    for (int i = 0; i < 66; ++i)
        sig += kCjk;
    typeText(f.Combo_sign->lineEdit(), sig);
    typeText(f.Memo, "hello");
    EXPECT_EQ(f.panels[0]->text().toStdString(), rig.text("fEditSms_NoRoom"));
    QTest::mouseClick(f.btnSave, Qt::LeftButton);
    EXPECT_EQ(rig.prompt.texts(), std::vector<std::string>{rig.text("fEditSms_NoRoom")});
    EXPECT_TRUE(box(content::kBoxDrafts).empty());
    rig.manage->Connected = true;
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    EXPECT_EQ(rig.prompt.texts().size(), 2u);
    EXPECT_TRUE(rig.sent.empty());
}

TEST_F(Composer, RecipientsTooLongAreNamedAndBlankOnesSkipped)
{
    rig.manage->Connected = true;
    forms::TfEditSms &f = open();
    const std::string longNumber(44, '9');
    typeText(f.edit_address->lineEdit(), QString::fromStdString("+4930111;" + longNumber));
    typeText(f.Memo, "hello");
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    ASSERT_EQ(rig.prompt.texts().size(), 1u);
    EXPECT_NE(rig.prompt.texts()[0].find(rig.text("fEditSms_NumberTooLong")), std::string::npos);
    EXPECT_NE(rig.prompt.texts()[0].find(longNumber), std::string::npos);
    EXPECT_TRUE(rig.sent.empty());

    f.edit_address->setEditText("+4930111;; +4930222; ");
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    ASSERT_EQ(rig.sent.size(), 1u);
    ASSERT_EQ(rig.sent[0].size(), 2u);
    EXPECT_EQ(rig.sent[0][0].Tel, "+4930111");
    EXPECT_EQ(rig.sent[0][1].Tel, "+4930222");
    EXPECT_EQ(rig.sent[0][0].body, "hello");
    EXPECT_EQ(rig.sent[0][0].Sca, rig.text("Info_DefaultSCA"));

    f.edit_address->setEditText(" ; ;");
    QTest::mouseClick(f.btnSend, Qt::LeftButton);
    EXPECT_EQ(rig.prompt.texts().back(), rig.text("fEditSms_NoNumber"));
    EXPECT_EQ(rig.sent.size(), 1u);
}

TEST_F(Composer, InsertTakesThePickedPhraseAtTheCaret)
{
    rig.phrases->Load();
    rig.phrases->AddGroup("Work");
    rig.phrases->AddPhrase("Work", "See you");
    forms::TfEditSms &f = open();
    typeText(f.Memo, "ab");
    f.Memo->moveCursor(QTextCursor::Left);
    whenModal("fPhraseList", [&](QWidget *w) {
        auto *pick = static_cast<forms::TfPhraseList *>(w);
        ASSERT_TRUE(waitUntil([&] { return pick->ListView_usersms->topLevelItemCount() == 1; }));
        pick->ListView_usersms->setCurrentItem(pick->ListView_usersms->topLevelItem(0));
        pick->N1Click();
    });
    QTest::mouseClick(f.btnInsert, Qt::LeftButton);
    EXPECT_EQ(f.Memo->toPlainText(), "aSee youb");
}

} // namespace
} // namespace forms_test
