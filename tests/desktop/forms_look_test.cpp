// How the settings pages, the phrase dialogs and the main window's icons look on the desktop,
// with the window manager's frames: screenshots for a person to look at, taken while a user's
// keys and clicks work the dialogs (the first phrase group, a phrase, the picker's Insert).

#include "content/sms_qt/sms_list_rows.h"
#include "program_on_desktop.h"

#include "content/phrase_mng.h"
#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "forms/f_main.h"
#include "forms/f_set.h"
#include "forms/fm_edit_sms.h"
#include "forms/fm_phrase.h"
#include "forms_app.h"
#include "program/program.h"
#include "program/stages.h"
#include "when_modal.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace desktop_test {
namespace {

using forms_test::waitUntil;

class DesktopLook : public ProgramOnDesktop {
protected:
    void trigger(const char *name)
    {
        QAction *a = w().action(name);
        ASSERT_NE(a, nullptr) << name;
        ASSERT_TRUE(a->isEnabled()) << name;
        a->trigger();
    }
};

TEST_F(DesktopLook, SettingsPhrasesAndIcons)
{
    // The messages with their state pictures: read from the handset, then every local one listed.
    trigger("mSmsDownload");
    ASSERT_TRUE(waitUntil([&] { return sms_list::count(w().ListView_sms()) > 0; }, 30000));
    QTreeWidget *boxes = w().TreeView_sms();
    boxes->setCurrentItem(boxes->topLevelItem(0));
    shot(&w(), "icons_messages");
    key("shift+F2");
    ASSERT_TRUE(waitUntil([&] { return w().activeArea() == forms::kAreaCard; }, 20000));
    shot(&w(), "icons_contacts");

    // Both settings pages, closed with Escape.
    forms_test::whenModal("fSet", [&](QWidget *dlg) {
        auto *s = qobject_cast<forms::TfSet *>(dlg);
        ASSERT_NE(s, nullptr) << dlg->objectName().toStdString();
        shot(s, "settings_connection");
        s->PageControl1->setCurrentWidget(s->TabSms);
        shot(s, "settings_messages");
        key("Escape");
    });
    trigger("m_comset");
    ASSERT_TRUE(waitUntil([&] { return !QApplication::activeModalWidget(); }, 20000));

    // New phrase with no group: the first group's name is asked for, then the editor opens on it.
    std::string firstGroup, editor;
    whenAnyModal([&](QWidget *ask) {
        firstGroup = shot(ask, "phrase_first_group");
        key("ctrl+a");
        type("Family");
        forms_test::whenModal("fPhraseEdit", [&](QWidget *ed) {
            auto *e = qobject_cast<forms::TfPhraseEdit *>(ed);
            ASSERT_NE(e, nullptr) << ed->objectName().toStdString();
            e->Memo1->setFocus();
            type("Home by six");
            editor = shot(e, "phrase_editor");
            click(e->btnOk);
        });
        key("Return");
    });
    trigger("N22");
    ASSERT_TRUE(waitUntil([&] { return program->stages().phrases().GroupExists("Family"); }, 20000));
    ASSERT_TRUE(waitUntil([&] { return !QApplication::activeModalWidget(); }, 20000));
    ASSERT_EQ(program->stages().phrases().FillList("Family").size(), 1u);
    shot(&w(), "icons_phrases");

    // The picker from a new message: the phrase chosen with a click, put in with Insert.
    QString body;
    forms_test::whenModal("fEditSms", [&](QWidget *composer) {
        auto *c = qobject_cast<forms::TfEditSms *>(composer);
        ASSERT_NE(c, nullptr) << composer->objectName().toStdString();
        forms_test::whenModal("fPhraseList", [&](QWidget *pickDlg) {
            auto *pick = qobject_cast<forms::TfPhraseList *>(pickDlg);
            ASSERT_NE(pick, nullptr) << pickDlg->objectName().toStdString();
            ASSERT_TRUE(waitUntil([&] { return pick->ListView_usersms->topLevelItemCount() == 1; }, 20000));
            QTreeWidgetItem *row = pick->ListView_usersms->topLevelItem(0);
            click(pick->ListView_usersms->viewport(), pick->ListView_usersms->visualItemRect(row).center());
            ASSERT_TRUE(waitUntil([&] { return pick->btnOk->isEnabled(); }, 20000));
            shot(pick, "phrase_picker");
            click(pick->btnOk);
        });
        click(c->btnInsert);
        waitUntil([&] { return c->Memo->toPlainText().contains("Home by six"); }, 20000);
        body = c->Memo->toPlainText();
        shot(c, "composer_with_phrase");
        key("Escape");
    });
    trigger("mSmsNew");
    ASSERT_TRUE(waitUntil([&] { return !QApplication::activeModalWidget(); }, 20000));
    EXPECT_TRUE(body.contains("Home by six")) << body.toStdString();
}

} // namespace
} // namespace desktop_test
