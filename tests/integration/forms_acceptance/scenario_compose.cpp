// Scenario 3: a message too long for one part, composed for two recipients with a signature typed
// in the composer and the parts' titles on, sent: the handset sends four SUBMITs (two parts to
// each recipient), each numbered and signed, and the sent box lists them.

#include "acceptance_rig.h"

#include "content/sms_manage.h"
#include "forms/fm_edit_sms.h"
#include "program/stages.h"
#include "when_modal.h"

#include "controls/history/sw_combo_box.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <map>

namespace {

using acceptance::Rig;
using program_test::waitUntil;
using Scenario = Rig;

TEST_F(Scenario, S03_ComposeAndSendASplitMessageToTwoRecipients)
{
    startHandset();
    startProgram();
    sim->clearSubmitted();
    // 200 characters: two parts with a title and a signature.
    QString body;
    for (int i = 0; body.size() < 200; ++i)
        body += QString("word%1 ").arg(i);
    body.truncate(200);

    bool shown = false;
    forms_test::whenModal("fEditSms", [&](QWidget *dlg) {
        auto *ed = static_cast<forms::TfEditSms *>(dlg);
        shown = true;
        ed->edit_address->setFocus();
        QTest::keyClicks(ed->edit_address, "+4411111;+4422222");
        ed->Combo_sign->setFocus();
        ed->Combo_sign->lineEdit()->selectAll();
        QTest::keyClicks(ed->Combo_sign->lineEdit(), "Jo");
        ed->Memo->setFocus();
        QTest::keyClicks(ed->Memo, body);
        ed->btnSend->click();
        if (ed->isVisible())
            ed->btnCancel->click();
    });
    chooseBox(content::kBoxReceived);
    trigger("mSmsNew");
    ASSERT_TRUE(shown);

    const auto sent = sim->submitted();
    ASSERT_EQ(sent.size(), 4u);
    std::map<std::string, std::vector<std::string>> byRecipient;
    for (const auto &s : sent)
        byRecipient[s.decoded.number].push_back(s.decoded.text);
    ASSERT_EQ(byRecipient.size(), 2u);
    for (const auto &[number, texts] : byRecipient) {
        SCOPED_TRACE(number);
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[0].rfind("<1>", 0), 0u) << texts[0];
        EXPECT_EQ(texts[1].rfind("<2>", 0), 0u) << texts[1];
        for (const std::string &t : texts)
            EXPECT_NE(t.find("Jo"), std::string::npos) << t;
    }
    EXPECT_TRUE(byRecipient.count("+4411111"));
    EXPECT_TRUE(byRecipient.count("+4422222"));

    chooseBox(content::kBoxSent);
    EXPECT_EQ(listed(), 4);
    const QStringList to = listColumn(1);
    EXPECT_EQ(to.count("+4411111"), 2) << to.join(",").toStdString();
    EXPECT_EQ(to.count("+4422222"), 2) << to.join(",").toStdString();
}

} // namespace
