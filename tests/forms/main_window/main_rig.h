// The main window over the real managers, built the way the start-up stages build them: a program
// folder of its own (with the shipped English texts), the application manager, the tables, the
// message, phone-book and phrase managers and their views on the window's controls.
//
//   main_window_test::MainRig rig;
//   rig.addMessage(1, "Ann", "hello");
//   rig.showBox(1);
//   rig.main->show();
#pragma once
#include "content/contacts_view.h"
#include "content/env.h"
#include "content/phonebook_manage.h"
#include "content/phrase_mng.h"
#include "content/qt/contacts_qt.h"
#include "content/qt/phrase_view.h"
#include "content/qt/sms_view.h"
#include "content/sms_qt/sms_list_rows.h"
#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "core/db_main.h"
#include "core/lang_qt/expect_translated.h"
#include "core/platform/temp_tree.h"
#include "core/prompt.h"
#include "forms/f_main.h"
#include "forms/support/forms_app.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace main_window_test {

struct MainRig {
    MainRig()
    {
        forms_test::app();
        std::filesystem::create_directories(dir.path("Language"));
        std::filesystem::copy_file(lang_qt_test::distDir() + "/Language/English.dat",
                                   dir.path("Language/English.dat"));
        manage = std::make_unique<core::TManage>(dir.root(), &prompt);
        db = std::make_unique<core::TdbMain>(manage->DatabaseDir(), &prompt, &manage->LangMng());
        manage->SetDatabase(db.get());
        env = std::make_unique<content::ManageEnv>(*manage);
        sms = std::make_unique<content::TSMSManage>(
            *env, db->isOpen(core::DbTable::Smsinfo) ? &db->table(core::DbTable::Smsinfo) : nullptr);
        pb = std::make_unique<content::TPhoneBookManage>(*env);
        phrases = std::make_unique<content::TPhraseMng>(*db, *env);
        main = std::make_unique<forms::TfMain>(*manage);
        main->setHooks({.SetConnected = [this](bool on) { manage->Connected = on; ++connectedCalls; },
                        .SetActiveGroup = [this](int area) { manage->ActiveGroup = uint8_t(area); },
                        .UpdatePhoneInfo = [this] { ++phoneInfoCalls; }});
        smsView = std::make_unique<content::SmsView>(*sms, main->smsControls(), &main->toolMenuMerge());
        smsView->setImages(main->images());
        phraseView = std::make_unique<content::PhraseView>(*phrases, main->phraseControls(), &main->toolMenuMerge());
        phraseView->setImages(main->images());
        phraseView->BuildTree();
        content::fillHandsetNode(main->TreeView_cont(), content::BuildHandsetNode(*env));
        main->attachContent({env.get(), sms.get(), smsView.get(), pb.get(), phrases.get(), phraseView.get()});
    }
    ~MainRig()
    {
        phraseView.reset();
        smsView.reset();
        main.reset();
        manage->SetDatabase(nullptr);
    }

    // Adds a local message; answers its id.
    int addMessage(int box, const std::string &tel, const std::string &body, uint8_t states = 0,
                   const std::string &time = "--")
    {
        content::ArraySms list{{.boxid = box, .states = states, .Tel = tel, .time = time, .body = body}};
        sms->AddMessages(list, -1, false);
        return list.empty() ? -1 : list[0].id;
    }
    content::Ssms message(int id)
    {
        content::Ssms m;
        m.id = id;
        sms->GetMessage(m);
        return m;
    }
    // The box node of the message tree.
    QTreeWidgetItem *boxNode(int box)
    {
        QTreeWidget *tree = main->TreeView_sms();
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if ((*it)->data(0, content::kBoxIdRole).toInt() == box)
                return *it;
        return nullptr;
    }
    void showBox(int box) { main->TreeView_sms()->setCurrentItem(boxNode(box)); }

    platform_test::TempTree dir;
    core::RecordingPrompt prompt;
    std::unique_ptr<core::TManage> manage;
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<content::ManageEnv> env;
    std::unique_ptr<content::TSMSManage> sms;
    std::unique_ptr<content::TPhoneBookManage> pb;
    std::unique_ptr<content::TPhraseMng> phrases;
    std::unique_ptr<forms::TfMain> main;
    std::unique_ptr<content::SmsView> smsView;
    std::unique_ptr<content::PhraseView> phraseView;
    int connectedCalls = 0;
    int phoneInfoCalls = 0;
};

} // namespace main_window_test
