// Scenarios 8 and 9: the link drops in the middle of a download (the fault is shown, nothing of
// the broken download is stored, a reconnect downloads again); and a second start on the same
// folder: the local boxes and a changed setting are still there, the handset's boxes are empty
// until it is connected again.

#include "acceptance_rig.h"

#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "core/prompt.h"
#include "forms/f_set.h"
#include "when_modal.h"

#include <QCheckBox>
#include <QTimer>

#include <algorithm>

namespace {

using acceptance::Rig;
using program_test::waitUntil;

using Scenario = Rig;

bool sawCommand(const handsetsim::HandsetSim &sim, const std::string &prefix)
{
    const auto cmds = sim.commands();
    return std::any_of(cmds.begin(), cmds.end(), [&](const std::string &c) { return c.rfind(prefix, 0) == 0; });
}

TEST_F(Scenario, S08_LinkDropDuringADownload)
{
    startHandset();
    startProgram();
    sim->clearCommands();
    sim->setReplyDelay(30);
    // The hang-up comes as the handset starts listing its messages.
    QTimer drop;
    drop.setInterval(2);
    QObject::connect(&drop, &QTimer::timeout, [&] {
        if (sawCommand(*sim, "AT+CMGL")) {
            drop.stop();
            sim->dropLink(handsetsim::DropMode::Hangup);
        }
    });
    drop.start();
    prompt->answerBox(core::kIdOk);
    download();
    ASSERT_EQ(prompt->calls().size(), 1u);
    EXPECT_EQ(prompt->calls()[0].text.rfind(t("ErrInfo_CommErrInfo").toStdString(), 0), 0u) << prompt->calls()[0].text;
    ASSERT_TRUE(waitUntil([&] { return !program->manage().Connected; }));
    EXPECT_EQ(panel(0), t("fMain_DisConnected"));
    for (int box : {content::kBoxReceived, content::kBoxPhoneReceived, content::kBoxPhoneStored}) {
        chooseBox(box);
        EXPECT_EQ(listed(), 0) << box;
    }

    sim->setReplyDelay(0);
    sim->reconnect();
    ASSERT_TRUE(waitUntil([&] { return program->manage().Connected; }));
    download();
    EXPECT_EQ(listed(), 3);
}

TEST_F(Scenario, S09_RestartKeepsLocalBoxesAndSettings)
{
    startHandset();
    startProgram();
    download();
    ASSERT_EQ(listed(), 3);
    bool before = false;
    bool shown = false;
    forms_test::whenModal("fSet", [&](QWidget *dlg) {
        auto *set = static_cast<forms::TfSet *>(dlg);
        shown = true;
        before = set->check_delsms->isChecked();
        set->check_delsms->click();
        set->btnOkClick();
    });
    trigger("tbSet");
    ASSERT_TRUE(shown);
    endProgram();
    sim->stop();
    sim.reset();

    startProgram(false);
    chooseBox(content::kBoxReceived);
    EXPECT_EQ(listed(), 3);
    for (int box : {content::kBoxPhoneReceived, content::kBoxPhoneStored}) {
        chooseBox(box);
        EXPECT_EQ(listed(), 0) << box;
    }
    shown = false;
    forms_test::whenModal("fSet", [&](QWidget *dlg) {
        auto *set = static_cast<forms::TfSet *>(dlg);
        shown = true;
        EXPECT_EQ(set->check_delsms->isChecked(), !before);
        set->btnCancelClick();
    });
    trigger("tbSet");
    EXPECT_TRUE(shown);
}

} // namespace
