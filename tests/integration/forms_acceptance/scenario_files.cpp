// Scenarios 6 and 7: the handset's book exported to CSV and imported as a new book with the same
// rows, whose own export is byte-identical; and box 1 printed to a PDF file whose text reads back.

#include "acceptance_rig.h"

#include "content/phonebook_manage.h"
#include "content/sms_manage.h"
#include "core/prompt.h"
#include "forms/fr_print.h"
#include "program/stages.h"
#include "when_modal.h"

#include <QPushButton>
#include <QTreeWidget>

#include <cstdio>
#include <fstream>

namespace {

using acceptance::Rig;
using program_test::waitUntil;
using Scenario = Rig;

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(Scenario, S06_ExportTheHandsetBookAndImportIt)
{
    startHandset();
    startProgram();
    ASSERT_NO_FATAL_FAILURE(readHandsetBook());
    chooseHandsetStorage(1);
    const QStringList handsetNames = contactNames();
    ASSERT_EQ(handsetNames, (QStringList{"Ann", "Bob"}));

    const std::string first = folder.root() + "/handset.csv";
    const std::string again = folder.root() + "/again.csv";
    prompt->answerSave(first);
    trigger("button_savetofile");
    const std::string exported = readAll(first);
    ASSERT_FALSE(exported.empty());

    content::TPhoneBookManage &pb = program->stages().phoneBook();
    const int books = pb.BookCount();
    prompt->answerOpen(first);
    trigger("button_load");
    ASSERT_EQ(pb.BookCount(), books + 1);
    const int imported = books;

    // The new book's node lists the same rows.
    QTreeWidgetItem *node = nullptr;
    QStringList importedNames;
    for (QTreeWidgetItemIterator it(w().TreeView_cont()); *it; ++it) {
        int book = -1;
        int32_t storage = -1;
        if (!w().GetContNodeInfo(*it, book, storage) || book != imported)
            continue;
        if (!node)
            node = *it;
        w().TreeView_cont()->setCurrentItem(*it);
        for (const QString &n : contactNames())
            if (!importedNames.contains(n))
                importedNames << n;
    }
    ASSERT_NE(node, nullptr);
    importedNames.sort();
    EXPECT_EQ(importedNames, handsetNames);

    w().TreeView_cont()->setCurrentItem(node);
    prompt->answerSave(again);
    trigger("button_savetofile");
    EXPECT_EQ(readAll(again), exported);
}

TEST_F(Scenario, S07_PrintBoxOneToPdf)
{
    startHandset();
    startProgram();
    download();
    ASSERT_EQ(listed(), 3);

    const std::string pdf = folder.root() + "/box1.pdf";
    core::PrintSpec spec;
    spec.outputFile = pdf;
    prompt->answerPrint(spec);
    bool shown = false;
    forms_test::whenModal("fr_print", [&](QWidget *dlg) {
        auto *print = static_cast<forms::Tfr_print *>(dlg);
        shown = true;
        // Box 1 is the range chosen.
        int range = -1;
        for (int i = 0; i < print->cbPrints->count(); ++i)
            if (print->cbPrints->itemData(i).toInt() == content::kBoxReceived)
                range = i;
        ASSERT_GE(range, 0);
        print->cbPrints->setCurrentIndex(range);
        print->btnPrint->click();
        print->btnCancel->click();
    });
    trigger("tbPrint");
    ASSERT_TRUE(shown);
    ASSERT_TRUE(std::filesystem::exists(pdf));

    const std::string txt = folder.root() + "/box1.txt";
    const std::string cmd = "pdftotext -enc UTF-8 '" + pdf + "' '" + txt + "'";
    if (std::system(cmd.c_str()) != 0)
        GTEST_SKIP() << "pdftotext is not installed";
    const std::string text = readAll(txt);
    for (const char *body : {"See you at eight", "Balance 12.50", "Grüße aus Köln"})
        EXPECT_NE(text.find(body), std::string::npos) << body << " not in:\n" << text;
}

} // namespace
