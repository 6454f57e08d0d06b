// The phrase picker and editor, the contact picker and the about box, offscreen over the real
// phrase tables and contact books.
#include "composer_rig.h"

#include "content/contact_fields.h"
#include "controls/history/sw_combo_box.h"
#include "forms/fm_about.h"
#include "forms/fm_phone_list.h"
#include "forms/fm_phrase.h"
#include "forms/support/screenshot.h"
#include "forms/support/when_modal.h"

#include <QDesktopServices>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace forms_test {
namespace {

class Pickers : public ::testing::Test {
protected:
    int32_t phrase(const std::string &group, const std::string &text)
    {
        rig.phrases->Load();
        if (!rig.phrases->GroupExists(group))
            rig.phrases->AddGroup(group);
        return rig.phrases->AddPhrase(group, text);
    }
    content::PhraseRow row(const std::string &group, int32_t id)
    {
        for (const content::PhraseRow &r : rig.phrases->FillList(group))
            if (r.id == id)
                return r;
        return {};
    }
    const core::TLangMng &lang() const { return rig.manage->LangMng(); }

    ComposerRig rig;
};

TEST_F(Pickers, ChoosingAPhraseCountsOneUseAndAnswersItsText)
{
    phrase("Work", "First");
    const int32_t id = phrase("Work", "See you at eight");
    phrase("Home", "Dinner?");
    const content::PhraseRow before = row("Work", id);
    forms::TfPhraseList pick(lang(), *rig.phrases);
    lang_qt_test::expectFullyTranslated(&pick, "fPhraseList");
    whenModal("fPhraseList", [&](QWidget *) {
        ASSERT_TRUE(waitUntil([&] { return pick.ListView_usersms->topLevelItemCount() == 2; }));
        EXPECT_EQ(pick.Panel1->text().toStdString(),
                  rig.text("fPhraseList_MessCode1") + "2" + rig.text("fPhraseList_MessCode2"));
        screenshot(&pick, "fPhraseList");
        // A double click where there is no item changes nothing.
        const QPoint empty(20, pick.ListView_usersms->viewport()->height() - 5);
        QTest::mouseDClick(pick.ListView_usersms->viewport(), Qt::LeftButton, {}, empty);
        EXPECT_TRUE(pick.isVisible());
        EXPECT_EQ(row("Work", id).useCount, before.useCount);
        QTreeWidgetItem *item = pick.ListView_usersms->topLevelItem(1);
        const QPoint at = pick.ListView_usersms->visualItemRect(item).center();
        QTest::mouseClick(pick.ListView_usersms->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(pick.ListView_usersms->viewport(), Qt::LeftButton, {}, at);
    });
    EXPECT_EQ(pick.exec(), forms::kMrOk);
    EXPECT_EQ(pick.chosen(), "See you at eight");
    const content::PhraseRow after = row("Work", id);
    EXPECT_EQ(after.useCount, before.useCount + 1);
    EXPECT_EQ(after.content, before.content);
    EXPECT_EQ(after.recordTime, before.recordTime);

    // The other group is listed when its node is chosen; closing without a choice answers "".
    forms::TfPhraseList again(lang(), *rig.phrases);
    whenModal("fPhraseList", [&](QWidget *) {
        ASSERT_TRUE(waitUntil([&] { return again.ListView_usersms->topLevelItemCount() == 2; }));
        again.TreeView_usersms->setCurrentItem(again.TreeView_usersms->topLevelItem(1));
        EXPECT_EQ(again.ListView_usersms->topLevelItemCount(), 1);
        QTest::keyClick(&again, Qt::Key_Escape);
    });
    EXPECT_EQ(again.exec(), forms::kMrCancel);
    EXPECT_EQ(again.chosen(), "");
}

// The picker can be worked without a double click: Insert (off until a phrase is chosen) and
// Cancel buttons, Return for Insert.
TEST_F(Pickers, PhrasePickerButtons)
{
    phrase("Work", "First");
    const int32_t id = phrase("Work", "Second");
    for (const bool insert : {false, true}) {
        SCOPED_TRACE(insert ? "Insert" : "Cancel");
        forms::TfPhraseList pick(lang(), *rig.phrases);
        whenModal("fPhraseList", [&](QWidget *) {
            ASSERT_TRUE(waitUntil([&] { return pick.ListView_usersms->topLevelItemCount() == 2; }));
            EXPECT_FALSE(pick.btnOk->isEnabled()) << "nothing chosen yet";
            EXPECT_EQ(pick.btnOk->text(), "&Insert");
            QTreeWidgetItem *item = pick.ListView_usersms->topLevelItem(1);
            QTest::mouseClick(pick.ListView_usersms->viewport(), Qt::LeftButton, {},
                              pick.ListView_usersms->visualItemRect(item).center());
            EXPECT_TRUE(pick.btnOk->isEnabled());
            if (insert)
                QTest::keyClick(pick.ListView_usersms, Qt::Key_Return);
            else
                QTest::mouseClick(pick.btnCancel, Qt::LeftButton);
        });
        const int before = row("Work", id).useCount;
        EXPECT_EQ(pick.exec(), insert ? forms::kMrOk : forms::kMrCancel);
        EXPECT_EQ(pick.chosen(), insert ? "Second" : "");
        EXPECT_EQ(row("Work", id).useCount, before + (insert ? 1 : 0));
    }
}

TEST_F(Pickers, PhraseEditor)
{
    {
        // No group: nowhere to keep a phrase, so OK is off.
        forms::TfPhraseEdit ed(lang(), *rig.phrases);
        EXPECT_FALSE(ed.btnOk->isEnabled());
    }
    phrase("Work", "x");
    phrase("Home", "y");
    forms::TfPhraseEdit ed(lang(), *rig.phrases);
    lang_qt_test::expectFullyTranslated(&ed, "fPhraseEdit");
    EXPECT_TRUE(ed.btnOk->isEnabled());
    ed.groupName = "Home";
    ed.text = "  \t ";
    whenModal("fPhraseEdit", [&](QWidget *) {
        EXPECT_EQ(ed.Combo_group->currentText(), "Home");
        screenshot(&ed, "fPhraseEdit");
        QTest::mouseClick(ed.btnOk, Qt::LeftButton);
    });
    EXPECT_EQ(ed.exec(), forms::kMrCancel) << "blanks only";

    forms::TfPhraseEdit ed2(lang(), *rig.phrases);
    whenModal("fPhraseEdit", [&](QWidget *) {
        typeText(ed2.Memo1, QString(forms::kPhraseTextChars + 20, QChar(0x4E2D)));
        EXPECT_EQ(ed2.Memo1->toPlainText().size(), forms::kPhraseTextChars) << "the Content column's size";
        ed2.Memo1->setPlainText("  Hello  ");
        QTest::mouseClick(ed2.btnOk, Qt::LeftButton);
    });
    EXPECT_EQ(ed2.exec(), forms::kMrOk);
    EXPECT_EQ(ed2.text, "Hello");
    EXPECT_EQ(ed2.groupName, "Work");
}

content::TMobileVacrd contact(const std::string &name, const std::string &tel)
{
    return {{content::kFieldName, -1, name}, {content::kFieldTel, 0, tel}};
}

TEST_F(Pickers, ContactPicker)
{
    // Two contact files of one name stay two books.
    const int a = rig.book->AddFileBook("/one/friends.csv");
    const int b = rig.book->AddFileBook("/two/friends.csv");
    int32_t pos = -1;
    rig.book->SaveContact(a, content::StorageCode::Contacts, pos, contact("Alice;", "+4411"));
    pos = -1;
    rig.book->SaveContact(a, content::StorageCode::Contacts, pos, contact("Zero;", "004411"));
    pos = -1;
    rig.book->SaveContact(b, content::StorageCode::Contacts, pos, contact("Bob;", "+4922"));
    pos = -1;
    rig.book->SaveContact(b, content::StorageCode::Contacts, pos, contact("Carl;", "+4933"));

    forms::TfPhoneList pick(lang(), *rig.env, *rig.book);
    lang_qt_test::expectFullyTranslated(&pick, "fPhoneList");
    ASSERT_EQ(pick.Combo_group->count(), 3);
    EXPECT_EQ(pick.ListView_cont->topLevelItemCount(), 0) << "empty until a book is chosen";
    auto choose = [&](int book) {
        pick.Combo_group->setCurrentIndex(book);
        pick.Combo_groupChange();
    };
    whenModal("fPhoneList", [&](QWidget *) {
        choose(b);
        ASSERT_EQ(pick.ListView_cont->topLevelItemCount(), 2);
        EXPECT_EQ(pick.ListView_cont->topLevelItem(0)->text(0), "Bob");
        pick.ListView_cont->selectAll();
        QTest::mouseClick(pick.btnSelect, Qt::LeftButton);
        choose(a);
        ASSERT_EQ(pick.ListView_cont->topLevelItemCount(), 1) << "only mobile numbers";
        QTest::mouseClick(pick.Check_show, Qt::LeftButton);
        ASSERT_EQ(pick.ListView_cont->topLevelItemCount(), 2) << "the toggle refills the list";
        pick.ListView_cont->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(pick.btnSelect, Qt::LeftButton);
        QTest::mouseClick(pick.btnSelect, Qt::LeftButton); // Alice twice
        ASSERT_EQ(pick.ListView_select->topLevelItemCount(), 4);
        pick.ListView_select->clearSelection();
        pick.ListView_select->topLevelItem(1)->setSelected(true); // Carl
        QTest::mouseClick(pick.btnDel, Qt::LeftButton);
        screenshot(&pick, "fPhoneList");
        QTest::mouseClick(pick.Button_ok, Qt::LeftButton);
    });
    EXPECT_EQ(pick.exec(), forms::kMrOk);
    EXPECT_EQ(pick.numbers(), "+4922;+4411;+4411;");

    forms::TfPhoneList none(lang(), *rig.env, *rig.book);
    whenModal("fPhoneList", [&](QWidget *) { QTest::mouseClick(none.Button_ok, Qt::LeftButton); });
    EXPECT_EQ(none.exec(), forms::kMrOk);
    EXPECT_EQ(none.numbers(), "");
}

TEST_F(Pickers, ComposerTakesThePickedNumbers)
{
    const int a = rig.book->AddFileBook("/one/friends.csv");
    int32_t pos = -1;
    rig.book->SaveContact(a, content::StorageCode::Contacts, pos, contact("Alice;", "+4411"));
    forms::TfEditSms &f = rig.make();
    f.preset(content::Ssms{.Tel = "+49"}, true);
    f.show();
    whenModal("fPhoneList", [&](QWidget *w) {
        auto *pick = static_cast<forms::TfPhoneList *>(w);
        pick->Combo_group->setCurrentIndex(a);
        pick->Combo_groupChange();
        pick->ListView_cont->selectAll();
        pick->btnSelectClick();
        pick->Button_okClick();
    });
    f.SpeedButton1Click();
    EXPECT_EQ(f.edit_address->currentText(), "+4411;");
    EXPECT_TRUE(f.btnSend->isEnabled());
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

TEST_F(Pickers, AboutBoxOpensTheWebPage)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    forms::TfAbout about(lang());
    lang_qt_test::expectFullyTranslated(&about, "fAbout");
    whenModal("fAbout", [&](QWidget *) {
        EXPECT_EQ(about.Label4->text(), "Ver:1.2.0");
        EXPECT_FALSE(about.Image1->isVisible());
        screenshot(&about, "fAbout");
        EXPECT_NE(about.focusWidget(), about.Label6) << "Enter must still close the box";
        QTest::mouseClick(about.Label6, Qt::LeftButton);
        // By keyboard: Tab reaches the link, Enter and Space open it, and the dialog stays.
        EXPECT_TRUE(about.Label6->focusPolicy() & Qt::TabFocus) << "the link cannot be reached with Tab";
        bool inChain = false;
        for (QWidget *w = about.Button1->nextInFocusChain(); w != about.Button1; w = w->nextInFocusChain())
            inChain = inChain || w == about.Label6;
        EXPECT_TRUE(inChain);
        QTest::keyClick(about.Label6, Qt::Key_Return);
        QTest::keyClick(about.Label6, Qt::Key_Space);
        EXPECT_TRUE(about.isVisible());
        QTest::mouseClick(about.Button1, Qt::LeftButton);
    });
    EXPECT_EQ(about.exec(), forms::kMrOk);
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.urls.size(), 3);
    for (const QUrl &u : catcher.urls)
        EXPECT_EQ(u, QUrl(forms::kAboutWebPage));
}

} // namespace
} // namespace forms_test

#include "pickers_test.moc"
