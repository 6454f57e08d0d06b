// Settings a new user meets: the connection page over a working infrared link (shown as it is, and
// kept when the maker is chosen again), the connection test's progress and result, the idle
// minutes as typed, the two message options across a restart, and what those options do: a
// download that clears the handset's inbox, and a recycle box emptied on the way out.

#include "acceptance_rig.h"

#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "forms/f_set.h"
#include "forms/fm_test_conn.h"
#include "program/stages.h"
#include "when_modal.h"

#include <QLineEdit>
#include <QTest>

#include <fstream>
#include <sstream>

namespace {

using acceptance::Rig;
using program_test::waitUntil;

using Settings = Rig;

std::string current(const QComboBox *c) { return c->currentIndex() < 0 ? "<none>" : c->currentText().toStdString(); }

void choose(QComboBox *c, const QString &text)
{
    const int i = c->findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    c->setCurrentIndex(i);
    emit c->activated(i);
}

// The minutes typed over whatever the box shows, as the user does.
void typeMinutes(QSpinBox *box, const QString &text)
{
    box->setFocus();
    box->findChild<QLineEdit *>()->selectAll();
    QTest::keyClicks(box, text);
}

std::string settingsFile(Rig &rig, program::Program &p)
{
    (void)rig;
    std::ifstream in(p.manage().SettingsFile());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(Settings, ConnectionPageOverInfraredAndTheOptionsAcrossARestart)
{
    startHandset();
    startProgram();
    ASSERT_EQ(program->manage().SelectPhone, "nokia") << "the default maker, which no driver serves";

    struct Seen {
        std::string maker, type, makerAfter, typeAfter;
        bool portOffered = true;
        std::string testType, testResult;
        int gauge = -1;
        int testAnswer = 0;
        std::string afterWrongMinutes;
        bool stayedOpen = false;
    } seen;
    forms_test::whenModal("fSet", [&](QWidget *dlg) {
        auto &s = *qobject_cast<forms::TfSet *>(dlg);
        seen.maker = current(s.Combo_phone);
        seen.type = current(s.Combo_connect);
        seen.portOffered = s.Combo_com->isEnabled();
        choose(s.Combo_phone, "Other");
        seen.makerAfter = current(s.Combo_phone);
        seen.typeAfter = current(s.Combo_connect);

        // The test over infrared shows what it tries and how it ended.
        forms_test::whenModal("fmTestConn", [&](QWidget *t) {
            auto &test = *qobject_cast<forms::TfmTestConn *>(t);
            waitUntil([&] { return test.lbResult()->text() == "Test Completed." || !test.isVisible(); });
            seen.testType = test.lbType()->text().toStdString();
            seen.testResult = test.lbResult()->text().toStdString();
            seen.gauge = test.gaInfo()->value();
        });
        seen.testAnswer = s.Button7Click();

        // Minutes the box cannot take are refused with the range; the dialog stays.
        QTest::mouseClick(s.Radio_disconn, Qt::LeftButton);
        typeMinutes(s.edit_disconntime, "1");
        prompt->answerBox(core::kIdOk);
        QTest::keyClick(s.edit_disconntime, Qt::Key_Return); // the default button, OK
        seen.stayedOpen = s.isVisible();
        typeMinutes(s.edit_disconntime, "12");
        s.PageControl1->setCurrentWidget(s.TabSms);
        s.check_clearsms->setChecked(true);
        s.check_delsms->setChecked(true);
        QTest::mouseClick(s.btnOk, Qt::LeftButton);
    });
    trigger("m_comset");

    EXPECT_EQ(seen.maker, "Other") << "the maker of the driver holding the link";
    EXPECT_EQ(seen.type, "IrDA");
    EXPECT_FALSE(seen.portOffered) << "infrared has no port to choose";
    EXPECT_EQ(seen.makerAfter, "Other");
    EXPECT_EQ(seen.typeAfter, "IrDA") << "choosing the maker kept the type in use";
    EXPECT_EQ(seen.testType, "IrDA");
    EXPECT_EQ(seen.testResult, "Test Completed.");
    EXPECT_EQ(seen.gauge, 100);
    EXPECT_EQ(seen.testAnswer, 1) << "the handset answered";
    EXPECT_TRUE(seen.stayedOpen);
    ASSERT_FALSE(prompt->calls().empty());
    EXPECT_EQ(prompt->calls().back().text, "Disconnect after takes 5 to 480 minutes.");

    core::TManage &m = program->manage();
    EXPECT_EQ(m.SelectPhone, "Other");
    EXPECT_EQ(m.ComType, "IrDA");
    EXPECT_EQ(m.KeepTime, 12);
    EXPECT_TRUE(m.ClearTrashOnExit);
    EXPECT_TRUE(m.InCeptDel);
    const std::string ini = settingsFile(*this, *program);
    for (const char *line : {"KeepTime=12", "ClearTrashOnExit=1", "InCeptDel=1", "ComType=IrDA"})
        EXPECT_NE(ini.find(line), std::string::npos) << line;
    // OK kept the working link.
    EXPECT_TRUE(waitUntil([&] { return m.Connected; }));

    endProgram();
    startProgram();
    bool clear = false, del = false, disconn = false;
    int minutes = 0;
    forms_test::whenModal("fSet", [&](QWidget *dlg) {
        auto &s = *qobject_cast<forms::TfSet *>(dlg);
        clear = s.check_clearsms->isChecked();
        del = s.check_delsms->isChecked();
        disconn = s.Radio_disconn->isChecked();
        minutes = s.edit_disconntime->value();
        QTest::mouseClick(s.btnCancel, Qt::LeftButton);
    });
    trigger("m_comset");
    EXPECT_TRUE(clear);
    EXPECT_TRUE(del);
    EXPECT_TRUE(disconn);
    EXPECT_EQ(minutes, 12);
}

// With "delete after download" the received messages stored in box 1 leave the handset; its
// stored outgoing message stays. With "empty the recycle box on exit" a deleted message is gone
// after the next start, once the user agreed; a Cancel keeps it.
TEST_F(Settings, DeleteAfterDownloadAndEmptyTheRecycleBoxOnExit)
{
    startHandset();
    startProgram();
    program->manage().InCeptDel = true;
    program->manage().ClearTrashOnExit = true;
    download();
    EXPECT_EQ(listed(), 3);
    ASSERT_TRUE(waitUntil([&] {
        const auto sm = sim->smsStorage("SM"), me = sim->smsStorage("ME");
        return sm && me && sm->messages.size() == 1 && me->messages.empty();
    })) << "the received messages are still on the handset";
    EXPECT_EQ(sim->smsStorage("SM")->messages.begin()->first, 3) << "the outgoing message stays";
    chooseBox(content::kBoxPhoneReceived);
    EXPECT_EQ(listed(), 0);
    chooseBox(content::kBoxPhoneStored);
    EXPECT_EQ(listed(), 1);

    // One message to the recycle box; the first exit is cancelled, the second agreed to.
    chooseBox(content::kBoxReceived, {0});
    trigger("pSmsDel");
    auto recycled = [&] { return program->stages().sms().Messages(content::kBoxRecycle).size(); };
    ASSERT_EQ(recycled(), 1u);
    program->manage().SaveSettings();
    prompt->answerBox(core::kIdCancel);
    endProgram();
    ASSERT_FALSE(prompt->calls().empty());
    EXPECT_EQ(prompt->calls().back().text,
              "Empty the recycle box before closing? Its messages are deleted for good.");

    startProgram(false);
    EXPECT_EQ(recycled(), 1u) << "Cancel kept it";
    prompt->answerBox(core::kIdOk);
    endProgram();
    startProgram(false);
    EXPECT_EQ(recycled(), 0u);
    EXPECT_EQ(program->stages().sms().Messages(content::kBoxReceived).size(), 2u);
}

} // namespace
