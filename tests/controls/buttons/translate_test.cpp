// A speed button on a form takes its caption and tool tip from the language like any button; the
// button edit's own inner buttons are no components of the form.
#include "controls/buttons/btn_edit.h"
#include "controls/buttons/speed_button.h"
#include "core/lang_mng.h"
#include "core/platform/temp_tree.h"
#include "core/qt/form_translate.h"

#include <gtest/gtest.h>

TEST(SpeedButtonTranslation, FormTranslationSetsCaptionAndToolTip)
{
    platform_test::TempTree tree;
    tree.dir("Language");
    platform::Table texts = core::makeLanguageTable();
    texts.append();
    texts.setText("Name", "fTest_sbOpen");
    texts.setText("Value", "&Open");
    ASSERT_TRUE(texts.post());
    ASSERT_TRUE(texts.save(tree.path("Language/English.dat")));
    core::TLangMng lang(tree.root());
    ASSERT_EQ(lang.currentLanguage(), "English");

    QWidget form;
    auto *open = new controls::TkwSpeedButton(&form);
    open->setObjectName("sbOpen");
    open->setCaption("designed");
    auto *address = new controls::TkwBtnEdit(&form);
    address->setObjectName("edtAddress");
    core::translateForm(lang, &form, "fTest");

    EXPECT_EQ(open->Caption().toStdString(), "&Open");
    EXPECT_EQ(open->toolTip().toStdString(), "Open");
    EXPECT_TRUE(lang.missedKeys().empty()) << lang.missedKeys().begin()->first;
}
