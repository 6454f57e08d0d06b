// The composer over the real application manager, local database and message store in a scratch
// program folder (English texts), and, when a test asks for it, the handset side over the real
// worker, driver, our plug-in and the simulated handset on a pseudo-terminal.
#pragma once

#include "content/batch_runner.h"
#include "content/env.h"
#include "content/phrase_mng.h"
#include "content/phonebook_manage.h"
#include "content/simulated_link.h"
#include "content/sms_manage.h"
#include "content/sms_transfer.h"
#include "core/app_manage.h"
#include "core/catalogue/catalogue_fixture.h"
#include "core/comm/comm_fixture.h"
#include "core/comm/comm_thread.h"
#include "core/db_main.h"
#include "core/lang_mng.h"
#include "core/lang_qt/expect_translated.h"
#include "core/prompt.h"
#include "forms/fm_edit_sms.h"
#include "forms/support/forms_app.h"

#include "handset_sim.h"

#include <QTest>

#include <filesystem>
#include <memory>

namespace forms_test {

// Types text into w as keys; characters outside ASCII (a surrogate pair as one key) go as key
// events that carry their text, as an input method delivers them.
inline void typeText(QWidget *w, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            QTest::keyClick(w, c.toLatin1());
            continue;
        }
        QString one(c);
        if (c.isHighSurrogate() && i + 1 < text.size())
            one += text[++i];
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, one, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, one, Qt::NoModifier);
    }
}

// The local time the rig's program reads until a test sets another.
inline constexpr const char *kRigTime = "2026-05-06 07:08:09";

struct ComposerRig : content_test::SimulatedLink {
    ComposerRig()
    {
        app();
        std::filesystem::create_directory_symlink(lang_qt_test::distDir() + "/Language", dir.root() + "/Language");
        manage = std::make_unique<core::TManage>(dir.root(), &prompt);
        manage->LangMng().setLanguage("English");
        db = std::make_unique<core::TdbMain>(manage->DatabaseDir(), &prompt, &manage->LangMng());
        manage->SetDatabase(db.get());
        env = std::make_unique<content::ManageEnv>(*manage);
        env->setLocalTime(kRigTime);
        sms = std::make_unique<content::TSMSManage>(*env, &db->table(core::DbTable::Smsinfo));
        phrases = std::make_unique<content::TPhraseMng>(*db, *env);
        book = std::make_unique<content::TPhoneBookManage>(*env);
    }
    ~ComposerRig()
    {
        form.reset();
        phone.reset();
        smsClt.reset();
        close();
        manage->SetDatabase(nullptr);
    }

    // The handset side over the simulated handset (default scenario), connected. With
    // cancellable, the runner's wait steps the worker on this thread, or, while cancelBatches is
    // set, presses Cancel before the worker has taken the batch (what a user's early cancel does).
    void connectHandset(bool cancellable = false)
    {
        content::WorkerBatchRunner::Setup setup;
        setup.stepped = !cancellable;
        if (cancellable)
            setup.pump = [this] {
                if (cancelBatches)
                    runner->cancel();
                else
                    worker->batchStep();
            };
        ASSERT_NO_FATAL_FAILURE(open("default.json", setup));
        smsClt = std::make_unique<core::TSmsClt>(*worker);
        manage->Connected = true;
        phone = std::make_unique<content::TSmsTransfer>(*sms, *env, *runner, *smsClt);
        ASSERT_EQ(comm->Connect(), 0);
        smsClt->SetItf(MS_ITF_SMS, comm->currentSerial());
    }

    // A new composer over the rig; sends go to the handset side when there is one.
    forms::TfEditSms &make()
    {
        form.reset();
        sent.clear();
        form = std::make_unique<forms::TfEditSms>(forms::TfEditSms::Services{
            .manage = *manage,
            .env = *env,
            .sms = *sms,
            .send =
                [this](content::ArraySms &list) {
                    sent.push_back(list);
                    return phone ? phone->SendMessages(list) : sendAnswer;
                },
            .phrases = phrases.get(),
            .book = book.get()});
        return *form;
    }

    std::string text(const char *key) const { return manage->LangMng().translate(key); }
    std::vector<std::string> valueList(int cls)
    {
        std::vector<std::string> out;
        manage->GetSSInfoList(cls, out);
        return out;
    }

    core::RecordingPrompt prompt;
    std::unique_ptr<core::TManage> manage;
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<content::ManageEnv> env;
    std::unique_ptr<content::TSMSManage> sms;
    std::unique_ptr<content::TPhraseMng> phrases;
    std::unique_ptr<content::TPhoneBookManage> book;
    std::unique_ptr<forms::TfEditSms> form;
    std::vector<content::ArraySms> sent; // what the composer handed over, per send
    int sendAnswer = 0;                  // the answer without a handset side
    bool cancelBatches = false;          // connectHandset(true): cancel every batch

    std::unique_ptr<core::TSmsClt> smsClt;
    std::unique_ptr<content::TSmsTransfer> phone;
};

} // namespace forms_test
