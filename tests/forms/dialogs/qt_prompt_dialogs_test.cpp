// The program's standard dialogs behind the Prompt seam, driven offscreen.

#include "core/qt/qt_prompt.h"
#include "forms/support/forms_app.h"
#include "forms/support/when_modal.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QPageSize>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace forms_test {
namespace {

TEST(QtPromptDialogs, InputBoxAnswersTheTextOrNothing)
{
    app();
    core::QtPrompt prompt;
    whenModal("InputBox", [](QWidget *w) {
        auto *dlg = static_cast<QInputDialog *>(w);
        EXPECT_EQ(dlg->labelText(), "Name:");
        EXPECT_EQ(dlg->textValue(), "Bob");
        dlg->setTextValue("Alice");
        dlg->accept();
    });
    EXPECT_EQ(prompt.inputBox("Rename", "Name:", "Bob"), "Alice");
    whenModal("InputBox", [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_EQ(prompt.inputBox("Rename", "Name:", "Bob"), std::nullopt);
}

TEST(QtPromptDialogs, SaveDialogAddsTheSuffix)
{
    app();
    core::QtPrompt prompt;
    const std::string dir = std::filesystem::temp_directory_path().string();
    whenModal("SaveDialog", [&](QWidget *w) {
        auto *dlg = static_cast<QFileDialog *>(w);
        dlg->selectFile(QString::fromStdString(dir + "/contacts"));
        static_cast<QDialog *>(dlg)->accept();
    });
    EXPECT_EQ(prompt.saveFile({"Export", dir, "Contacts (*.csv)", "csv"}), dir + "/contacts.csv");
    whenModal("OpenDialog", [](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    EXPECT_EQ(prompt.openFile({"Import", dir, "Contacts (*.csv)", ""}), std::nullopt);
}

TEST(QtPromptDialogs, FontDialogStartsFromTheCurrentFont)
{
    app();
    core::QtPrompt prompt;
    whenModal("FontDialog", [](QWidget *w) {
        auto *dlg = static_cast<QFontDialog *>(w);
        EXPECT_EQ(dlg->currentFont().pointSize(), 11);
        EXPECT_TRUE(dlg->currentFont().italic());
        dlg->accept();
    });
    const auto f = prompt.chooseFont({"", 11, false, true});
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->pointSize, 11);
    EXPECT_TRUE(f->italic);
}

// What the caller hands to the page setup comes back when the user accepts it unchanged.
TEST(QtPromptDialogs, PageSetupKeepsThePaper)
{
    app();
    core::QtPrompt prompt;
    for (QPageSize::PageSizeId id : {QPageSize::A5, QPageSize::Legal}) {
        const std::string paper = QPageSize::name(id).toStdString();
        SCOPED_TRACE(paper);
        core::PrintSpec spec;
        spec.outputFile = (std::filesystem::temp_directory_path() / "page_setup.pdf").string();
        spec.paperName = paper;
        spec.landscape = true;
        whenModal("PageSetupDialog", [](QWidget *w) { static_cast<QDialog *>(w)->accept(); });
        ASSERT_TRUE(prompt.pageSetup(spec));
        EXPECT_EQ(spec.paperName, paper);
        EXPECT_TRUE(spec.landscape);
    }
}

} // namespace
} // namespace forms_test
