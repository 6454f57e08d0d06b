// The main window with its commands over the real managers (no handset): the composer and phrase
// editor answered by recorders, file dialogs and questions by a scripted prompt.
//
//   main_commands_test::CommandsRig rig;
//   rig.addMessage(1, "+1", "hi");
//   rig.showBox(1); rig.selectRows({0});
//   rig.trigger("pSmsEdit");
//   EXPECT_EQ(rig.composed.back().FNewMode, 1);
#pragma once

#include "forms/f_main_commands.h"
#include "forms/fm_edit_vcard.h"
#include "forms/fr_print.h"
#include "forms/main_window/main_rig.h"
#include "forms/support/scripted_prompt.h"

#include <QAction>
#include <QMenu>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace main_commands_test {

struct CommandsRig : main_window_test::MainRig {
    CommandsRig()
    {
        forms::CommandServices s;
        s.manage = manage.get();
        s.prompt = &ask;
        s.composer = [this](const forms::ComposerRequest &r) {
            composed.push_back(r);
            return composerAnswer ? composerAnswer(r) : forms::ComposerResult{};
        };
        s.phraseEditor = [this](const forms::PhraseEdit &in) -> std::optional<forms::PhraseEdit> {
            edited.push_back(in);
            return phraseAnswer;
        };
        s.about = [this] { ++aboutShown; };
        s.settings = [this] { ++settingsShown; };
        s.phoneInfo = [this] { ++phoneInfoShown; };
        s.openUrl = [this](const QUrl &u) {
            opened.push_back(u);
            return true;
        };
        s.runPrint = [this](forms::Tfr_print &dlg) {
            QStringList r;
            for (int i = 0; i < dlg.cbPrints->count(); ++i)
                r << dlg.cbPrints->itemText(i);
            printRanges.push_back(r);
        };
        s.runContactEditor = [this](forms::TfVcardEdit &ed) { return contactEditor ? contactEditor(ed) : ed.exec(); };
        commands = std::make_unique<forms::TfMainCommands>(*main, s);
    }
    ~CommandsRig() { commands.reset(); }

    void trigger(const char *name)
    {
        QAction *a = main->action(name);
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
    }
    // Runs the menu's opening rules (what showing it does).
    void opening(const char *menu)
    {
        QMenu *m = main->menu(menu);
        ASSERT_NE(m, nullptr) << menu;
        emit m->aboutToShow();
    }
    // The item of that name: an action, or a sub-menu's own action.
    QAction *item(const char *name)
    {
        QAction *a = main->action(name);
        if (!a && main->menu(name))
            a = main->menu(name)->menuAction();
        EXPECT_NE(a, nullptr) << name;
        return a;
    }
    bool enabled(const char *name) { return item(name) && item(name)->isEnabled(); }
    bool visible(const char *name) { return item(name) && item(name)->isVisible(); }

    void selectRows(QTreeView *list, std::initializer_list<int> rows)
    {
        list->clearSelection();
        for (int r : rows)
            list->selectionModel()->setCurrentIndex(list->model()->index(r, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The node of a storage of a book in the contact tree.
    QTreeWidgetItem *contactNode(int book, int storage)
    {
        for (QTreeWidgetItemIterator it(main->TreeView_cont()); *it; ++it) {
            int b = 0;
            int32_t s = 0;
            if (main->GetContNodeInfo(*it, b, s) && b == book && s == storage)
                return *it;
        }
        return nullptr;
    }
    void showContacts(int book, int storage)
    {
        main->setActiveArea(forms::kAreaCard);
        QTreeWidgetItem *n = contactNode(book, storage);
        ASSERT_NE(n, nullptr) << "book " << book << " storage " << storage;
        main->TreeView_cont()->setCurrentItem(n);
        main->TreeView_contChange();
    }
    int32_t saveContact(int book, content::StorageCode s, const std::string &name, const std::string &tel)
    {
        int32_t pos = -1;
        EXPECT_EQ(pb->SaveContact(book, s, pos, {{content::kFieldName, -1, name}, {content::kFieldTel, 0, tel}}), 0);
        return pos;
    }

    forms_test::ScriptedPrompt ask;
    std::unique_ptr<forms::TfMainCommands> commands;
    std::vector<forms::ComposerRequest> composed;
    std::function<forms::ComposerResult(const forms::ComposerRequest &)> composerAnswer;
    std::vector<forms::PhraseEdit> edited;
    std::optional<forms::PhraseEdit> phraseAnswer;
    std::function<int(forms::TfVcardEdit &)> contactEditor;
    std::vector<QUrl> opened;
    std::vector<QStringList> printRanges;
    int aboutShown = 0, settingsShown = 0, phoneInfoShown = 0;
};

} // namespace main_commands_test
