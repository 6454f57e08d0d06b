// Scenarios 1 and 2: the program comes up unconnected and connects by itself once the handset is
// in range (texts, maker and model, battery); a download fills the boxes, a received message is
// listed in box 1 as well as in the handset's box, and a click on an unread one marks it read.

#include "content/sms_qt/sms_list_rows.h"
#include "acceptance_rig.h"

#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "program/stages.h"

#include <QLabel>
#include <QTest>
#include <QTreeWidget>

namespace {

using acceptance::Rig;
using program_test::waitUntil;

using Scenario = Rig;

TEST_F(Scenario, S01_StartAndConnectAutomatically)
{
    startProgram(false);
    EXPECT_EQ(panel(0), t("fMain_DisConnected"));
    EXPECT_EQ(panel(1), t("fMain_Manufacturer"));

    startHandset();
    ASSERT_TRUE(waitUntil([&] { return program->manage().Connected; }));
    EXPECT_EQ(panel(0), t("fMain_Connected") + ": IrDA");
    EXPECT_EQ(panel(1), "SIMULATED HS-1000");
    EXPECT_TRUE(waitUntil([&] { return panel(2) == t("fMain_Battery") + ": 75%"; })) << panel(2).toStdString();
}

TEST_F(Scenario, S02_DownloadMessages)
{
    startHandset();
    startProgram();
    download();
    EXPECT_EQ(listed(), 3);
    EXPECT_EQ(w().Panel1()->text(), "  " + boxNode(content::kBoxReceived)->text(0) + "(3)");
    chooseBox(content::kBoxPhoneReceived);
    EXPECT_EQ(listed(), 3);
    chooseBox(content::kBoxPhoneStored);
    EXPECT_EQ(listed(), 1);

    // The unread message from the handset's SIM is in box 1 too; a click on it marks it read.
    chooseBox(content::kBoxReceived);
    content::TSMSManage &sms = program->stages().sms();
    QTreeView *list = w().ListView_sms();
    int row = -1;
    int32_t id = -1;
    for (int i = 0; i < sms_list::count(list); ++i) {
        content::Ssms m;
        m.id = sms_list::id(list, i);
        ASSERT_EQ(sms.GetMessage(m), 0);
        if (m.body == "See you at eight") {
            row = i;
            id = m.id;
            EXPECT_NE(m.states, 1) << "listed as read before the click";
        }
    }
    ASSERT_GE(row, 0);
    list->scrollTo(sms_list::at(list, row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, sms_list::rowRect(list, row).center());
    EXPECT_TRUE(w().Memo_smstext()->toPlainText().contains("See you at eight"));
    content::Ssms after;
    after.id = id;
    ASSERT_EQ(sms.GetMessage(after), 0);
    EXPECT_EQ(after.states, 1);
}

} // namespace
