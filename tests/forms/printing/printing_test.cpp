// The print dialog and the preview: ranges and their item data, the printed message text, wrapping
// and paging on a PDF printer read back with pdftotext, the print font, the contact print, the
// phrase area, a print that cannot start, and how the dialog and the previews look.

#include "content/contacts_view.h"
#include "content/env.h"
#include "content/phonebook_manage.h"
#include "content/sms_manage.h"
#include "core/db_main.h"
#include "core/lang_mng.h"
#include "core/lang_qt/expect_translated.h"
#include "core/platform/temp_tree.h"
#include "core/qt/qt_prompt.h"
#include "forms/fr_print.h"
#include "forms/fr_viewprint.h"
#include "forms/support/forms_app.h"
#include "forms/support/screenshot.h"
#include "forms/support/scripted_prompt.h"
#include "forms/support/when_modal.h"

#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace forms_test {
namespace {

using content::StorageCode;
using forms::PrintArea;
using forms::Tfr_print;
using forms::Tfr_viewprint;

// The managers' seam on the English texts the build ships; boxes go to the scripted prompt.
class LangEnv final : public content::Env {
public:
    LangEnv(const core::TLangMng &lang, core::Prompt &prompt, std::string dir) : lang_(lang), prompt_(prompt), dir_(dir)
    {
    }
    std::string text(std::string_view key) const override { return lang_.translate(key); }
    int messageBox(const std::string &text, unsigned flags) override
    {
        return prompt_.show(text, lang_.translate("Application_Hite_title"), flags);
    }
    const platform::Clock &clock() const override { return platform::SystemClock::instance(); }
    std::string localTime() const override { return "2026-05-06 07:08:09"; }
    std::string programDir() const override { return dir_; }
    std::string databaseDir() const override { return dir_ + "/Database"; }
    std::string tempDir() const override { return dir_ + "/Temp"; }
    content::AppState state() const override { return {}; }

private:
    const core::TLangMng &lang_;
    core::Prompt &prompt_;
    std::string dir_;
};

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}
QString pdfText(const std::string &pdf)
{
    return run("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
}
int pdfPages(const std::string &pdf)
{
    static const QRegularExpression re("Pages:\\s+(\\d+)");
    return re.match(run("pdfinfo", {QString::fromStdString(pdf)})).captured(1).toInt();
}

// A word of pdftotext -bbox, in points from the page's top-left.
struct Word {
    double xMin, yMin, xMax, yMax;
    QString text;
};
struct BoxedPdf {
    double width = 0, height = 0;
    QList<QList<Word>> pages;
};
BoxedPdf pdfWords(const std::string &pdf)
{
    const QString html = run("pdftotext", {"-bbox", QString::fromStdString(pdf), "-"});
    BoxedPdf out;
    static const QRegularExpression page("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">");
    static const QRegularExpression word("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                                         "yMax=\"([\\d.]+)\">([^<]*)</word>");
    for (const QString &chunk : html.split("</page>")) {
        const QRegularExpressionMatch pm = page.match(chunk);
        if (!pm.hasMatch())
            continue;
        out.width = pm.captured(1).toDouble();
        out.height = pm.captured(2).toDouble();
        QList<Word> words;
        for (auto it = word.globalMatch(chunk); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            words.append({m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                          m.captured(4).toDouble(), m.captured(5)});
        }
        out.pages.append(words);
    }
    return out;
}

constexpr double kMarginMm = 20.0;
constexpr double kPointsPerMm = 72.0 / 25.4;

class Printing : public ::testing::Test {
protected:
    Printing() : lang(lang_qt_test::distDir()), env(lang, prompt, tmp.root())
    {
        app();
        lang.setLanguage("English");
        tmp.dir("Database");
        db = std::make_unique<core::TdbMain>(tmp.path("Database"), &prompt);
        EXPECT_TRUE(db->isOpen(core::DbTable::Smsinfo));
        sms = std::make_unique<content::TSMSManage>(env, &db->table(core::DbTable::Smsinfo));
    }
    ~Printing() override
    {
        sms.reset();
        db.reset();
    }
    int32_t add(int box, std::string tel, std::string body, std::string time = "2026-03-04 05:06:07")
    {
        content::ArraySms one{content::Ssms{.boxid = box, .Tel = std::move(tel), .time = std::move(time),
                                            .body = std::move(body)}};
        EXPECT_GT(sms->AddMessages(one, -1, false), 0);
        return one[0].id;
    }
    std::unique_ptr<Tfr_print> dialog(PrintArea area)
    {
        auto d = std::make_unique<Tfr_print>(lang, prompt, env, area, sms.get(), &pb);
        return d;
    }
    // Chooses the range whose item data is value.
    static void choose(Tfr_print &d, int value)
    {
        const int i = d.cbPrints->findData(value);
        ASSERT_GE(i, 0) << "no range " << value;
        d.cbPrints->setCurrentIndex(i);
    }
    core::PrintSpec pdfSpec(const std::string &name)
    {
        core::PrintSpec s;
        s.outputFile = tmp.path(name);
        s.paperName = "A4";
        for (double &m : s.marginsMm)
            m = kMarginMm;
        return s;
    }
    int32_t saveContact(int book, StorageCode s, const std::string &name, const std::string &tel)
    {
        int32_t pos = -1;
        EXPECT_EQ(pb.SaveContact(book, s, pos, {{content::kFieldName, -1, name}, {content::kFieldTel, 0, tel}}), 0);
        return pos;
    }

    platform_test::TempTree tmp;
    core::TLangMng lang;
    ScriptedPrompt prompt;
    LangEnv env;
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<content::TSMSManage> sms;
    content::TPhoneBookManage pb{env};
};

// ---- Ranges ----

TEST_F(Printing, RangesCarryBoxIdsAndBookIndexes)
{
    auto messages = dialog(PrintArea::Messages);
    lang_qt_test::expectFullyTranslated(messages.get(), "fr_print");
    ASSERT_EQ(messages->cbPrints->count(), 10);
    EXPECT_EQ(messages->cbPrints->currentIndex(), 0);
    EXPECT_EQ(messages->cbPrints->itemText(0).toStdString(), lang.translate("SmsMng_AllMessage"));
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(messages->cbPrints->itemData(i).toInt(), sms->boxIds()[size_t(i)]);

    // Two files of one name: two ranges of one caption, told apart by their book index.
    const int a = pb.AddFileBook("/one/book.csv"), b = pb.AddFileBook("/two/book.csv");
    auto contacts = dialog(PrintArea::Contacts);
    ASSERT_EQ(contacts->cbPrints->count(), 3);
    EXPECT_EQ(contacts->cbPrints->itemText(1), contacts->cbPrints->itemText(2));
    EXPECT_EQ(contacts->cbPrints->itemData(1).toInt(), a);
    EXPECT_EQ(contacts->cbPrints->itemData(2).toInt(), b);

    auto phrases = dialog(PrintArea::Phrases);
    EXPECT_EQ(phrases->cbPrints->count(), 0);
}

// ---- Messages ----

TEST_F(Printing, Box0RangePrintsBoxes0To4FourLinesEach)
{
    add(content::kBoxReceived, "+111", "received text");
    add(content::kBoxSent, "+333", "sent text");
    add(content::kBoxDrafts, "+444", ""); // an empty text still gives four lines
    add(content::kBoxRecycle, "+555", "recycled");
    add(content::kBoxPhoneReceived, "+888", "on the handset");
    add(content::kBoxPhoneStored, "+999", "stored on the handset");

    // A list of box 8 is shown with its cursor on the second row: printing must leave both.
    platform::Table &t = db->table(core::DbTable::Smsinfo);
    t.setFilter(platform::eq("boxid", content::kBoxPhoneReceived));
    t.first();
    const int shown = t.count(), at = t.recNo();

    auto d = dialog(PrintArea::Messages);
    choose(*d, content::kBoxLocal);
    const QString range = d->cbPrints->currentText();
    const QStringList lines = d->BuildMessageText();
    ASSERT_EQ(lines.size(), 12);
    // The time after the time's caption, the box's name after the box's caption.
    EXPECT_EQ(lines[0], "+111    Time:2026-03-04 05:06:07    Box:" + range);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "received text");
    EXPECT_EQ(lines[3], "");
    EXPECT_TRUE(lines[4].startsWith("+333    "));
    EXPECT_TRUE(lines[8].startsWith("+444    "));
    EXPECT_EQ(lines.mid(9), (QStringList{"", "", ""}));

    prompt.answerPrint(pdfSpec("box0.pdf"));
    d->btnPrintClick();
    const QString text = pdfText(tmp.path("box0.pdf"));
    for (const char *n : {"+111", "+333", "+444", "received text", "sent text"})
        EXPECT_TRUE(text.contains(n)) << n << " missing in:\n" << text.toStdString();
    for (const char *n : {"+555", "+888", "+999", "recycled", "handset"})
        EXPECT_FALSE(text.contains(n)) << n << " printed:\n" << text.toStdString();
    EXPECT_EQ(t.count(), shown);
    EXPECT_EQ(t.recNo(), at);
    EXPECT_TRUE(t.filtered());

    // Every message: each names its own box; a single box: the range's caption.
    choose(*d, content::kAllMessages);
    const QStringList all = d->BuildMessageText();
    ASSERT_EQ(all.size(), 24);
    const auto caption = [&](int box) { return d->cbPrints->itemText(d->cbPrints->findData(box)); };
    EXPECT_TRUE(all[0].endsWith("    Box:" + caption(content::kBoxReceived))) << all[0].toStdString();
    EXPECT_TRUE(all[4].endsWith("    Box:" + caption(content::kBoxSent))) << all[4].toStdString();
    EXPECT_TRUE(all[16].endsWith("    Box:" + caption(content::kBoxPhoneReceived))) << all[16].toStdString();
    choose(*d, content::kBoxPhone);
    EXPECT_EQ(d->BuildMessageText().size(), 8);
}

TEST_F(Printing, LongLinesWrapInsideTheMarginsAndPagesBreakAtTheBottom)
{
    // A message text holds 160 characters; in a large font it still runs past the width.
    QString longText;
    for (int i = 0; longText.size() < 160; ++i)
        longText += QString("word%1 ").arg(i, 3, 10, QChar('0'));
    longText = longText.left(160).trimmed();
    const QString unbroken(160, QChar('x')); // no blank to break at: cut anywhere
    add(content::kBoxDrafts, "+1", longText.toStdString());
    add(content::kBoxDrafts, "+2", unbroken.toStdString());
    for (int i = 0; i < 40; ++i)
        add(content::kBoxSent, "+3" + std::to_string(i), "number " + std::to_string(i));

    auto d = dialog(PrintArea::Messages);
    prompt.answerFont(core::FontSpec{"DejaVu Sans", 20});
    d->SpeedButton1Click();
    choose(*d, content::kAllMessages);
    prompt.answerPrint(pdfSpec("wrap.pdf"));
    d->btnPrintClick();

    const BoxedPdf pdf = pdfWords(tmp.path("wrap.pdf"));
    ASSERT_GT(pdf.pages.size(), 1) << "42 messages of four lines fill more than one page";
    EXPECT_EQ(pdfPages(tmp.path("wrap.pdf")), pdf.pages.size());
    const double margin = kMarginMm * kPointsPerMm;
    QString all;
    for (const QList<Word> &page : pdf.pages)
        for (const Word &w : page) {
            EXPECT_GE(w.xMin, margin - 1) << w.text.toStdString();
            EXPECT_LE(w.xMax, pdf.width - margin + 1) << w.text.toStdString();
            EXPECT_LE(w.yMax, pdf.height - margin + 1) << w.text.toStdString();
            all += w.text;
        }
    // Nothing cut away: every character of both texts is printed, in order.
    QString noBlanks = longText;
    noBlanks.remove(' ');
    EXPECT_TRUE(all.contains(noBlanks)) << all.toStdString();
    EXPECT_TRUE(all.contains(unbroken));
    EXPECT_TRUE(all.contains("number39"));
}

TEST_F(Printing, A300CharacterLineIsLaidOutWithinTheWidth)
{
    QString line;
    for (int i = 0; line.size() < 300; ++i)
        line += QString("part%1 ").arg(i, 3, 10, QChar('0'));
    line = line.left(300);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QFont font("DejaVu Sans", 10);
    const QSize page(printer.width(), 4 * QFontMetrics(font, &printer).lineSpacing());
    const QList<QStringList> pages = forms::layoutTextPages({line, "", "end"}, font, &printer, page);
    QStringList pieces;
    for (const QStringList &p : pages) {
        EXPECT_LE(p.size(), 4);
        pieces += p;
    }
    ASSERT_GT(pieces.size(), 4) << "the line wraps, and the pages hold four lines each";
    EXPECT_EQ(pages.size(), (pieces.size() + 3) / 4);
    EXPECT_EQ(pieces.mid(pieces.size() - 2), (QStringList{"", "end"}));
    const QFontMetricsF fm(font, &printer);
    QString joined;
    for (const QString &piece : pieces.mid(0, pieces.size() - 2)) {
        EXPECT_LE(fm.horizontalAdvance(piece), page.width()) << piece.toStdString();
        joined += piece + ' ';
    }
    EXPECT_EQ(joined.trimmed(), line.trimmed());
}

// A message text of several lines prints them as lines, as the preview shows them: a line break
// is never drawn into one line.
TEST_F(Printing, LineBreaksInATextStartNewLines)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QFont font("DejaVu Sans", 10);
    const QList<QStringList> pages = forms::layoutTextPages({"first\nsecond\r\nthird\rfourth", "\n", "end"}, font,
                                                            &printer, QSize(printer.width(), printer.height()));
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0], (QStringList{"first", "second", "third", "fourth", "", "", "end"}));
}

TEST_F(Printing, ChosenFontIsShownAndPrinted)
{
    add(content::kBoxReceived, "+1", "in a serif font");
    auto d = dialog(PrintArea::Messages);
    EXPECT_EQ(d->EdFont->text(), d->font().family());
    prompt.answerFont(core::FontSpec{"DejaVu Serif", 12});
    d->SpeedButton1Click();
    EXPECT_EQ(d->EdFont->text(), "DejaVu Serif");
    EXPECT_EQ(d->printFont().family(), "DejaVu Serif");
    prompt.answerFont(std::nullopt); // cancelled: the font stays
    d->SpeedButton1Click();
    EXPECT_EQ(d->EdFont->text(), "DejaVu Serif");

    prompt.answerPrint(pdfSpec("font.pdf"));
    d->btnPrintClick();
    const QString fonts = run("pdffonts", {QString::fromStdString(tmp.path("font.pdf"))});
    EXPECT_TRUE(fonts.contains("DejaVuSerif")) << fonts.toStdString();
}

TEST_F(Printing, CancelledPrintDialogPrintsNothing)
{
    add(content::kBoxReceived, "+1", "x");
    auto d = dialog(PrintArea::Messages);
    prompt.answerPrint(std::nullopt);
    d->btnPrintClick();
    EXPECT_TRUE(prompt.boxTexts().empty());
}

TEST_F(Printing, PrintThatCannotStartIsReported)
{
    add(content::kBoxReceived, "+1", "x");
    const std::string unwritable = tmp.path("no/such/folder/out.pdf");
    auto d = dialog(PrintArea::Messages);
    core::PrintSpec spec = pdfSpec("x.pdf");
    spec.outputFile = unwritable;
    prompt.answerPrint(spec);
    prompt.answerBox(core::kIdOk);
    d->btnPrintClick();
    EXPECT_EQ(prompt.boxTexts(), std::vector<std::string>{lang.translate("fr_print_MessCode1")});
    EXPECT_EQ(prompt.calls().back().caption, lang.translate("Application_Hite_title"));

    EXPECT_TRUE(d->isVisible() || d->modalResult() != forms::kMrOk) << "a failed print does not end the dialog";

    // The contact print too, through the same print dialog.
    const int b = pb.AddFileBook("/a/book.csv");
    saveContact(b, StorageCode::Sim, "Ann;", "1");
    auto c = dialog(PrintArea::Contacts);
    choose(*c, b);
    prompt.answerPrint(spec);
    prompt.answerBox(core::kIdOk);
    c->btnPrintClick();
    EXPECT_EQ(prompt.boxTexts().size(), 2u);
    EXPECT_EQ(c->modalResult(), 0);
}

// No printing system, or a printer that is gone: the print goes to a PDF file the user names.
TEST_F(Printing, AMissingPrinterOffersAPdfFileInstead)
{
    add(content::kBoxReceived, "+1", "to a PDF");
    core::PrintSpec gone = pdfSpec("unused.pdf");
    gone.outputFile.clear();
    gone.printerName = "NoSuchPrinter";
    const int book = pb.AddFileBook("/a/book.csv");
    saveContact(book, StorageCode::Sim, "Ann;", "123");
    for (PrintArea area : {PrintArea::Messages, PrintArea::Contacts}) {
        SCOPED_TRACE(int(area));
        auto d = dialog(area);
        if (area == PrintArea::Contacts)
            choose(*d, book);
        const std::string pdf = tmp.path(area == PrintArea::Messages ? "m.pdf" : "c.pdf");
        prompt.answerPrint(gone);
        prompt.answerSave(pdf);
        d->btnPrintClick();
        EXPECT_TRUE(prompt.boxTexts().empty());
        const QString text = pdfText(pdf);
        EXPECT_TRUE(text.contains(area == PrintArea::Messages ? "to a PDF" : "Ann")) << text.toStdString();
        EXPECT_EQ(d->modalResult(), forms::kMrOk);
    }
    // Declining the file prints nothing and reports nothing; the dialog stays.
    auto d = dialog(PrintArea::Messages);
    prompt.answerPrint(gone);
    prompt.answerSave(std::nullopt);
    d->btnPrintClick();
    EXPECT_TRUE(prompt.boxTexts().empty());
    EXPECT_NE(d->modalResult(), forms::kMrOk);
}

// The program's own print dialog, as a user answers it: "print to file" with a file name.
TEST_F(Printing, TheRealPrintDialogPrintsContactsToAFile)
{
    const int book = pb.AddFileBook("/a/book.csv");
    saveContact(book, StorageCode::Sim, "Zed;", "555");
    core::QtPrompt real;
    Tfr_print d(lang, real, env, PrintArea::Contacts, sms.get(), &pb);
    choose(d, book);
    const std::string pdf = tmp.path("real.pdf");
    bool answered = false;
    whenModal("PrintDialog", [&](QWidget *pd) {
        auto *file = pd->findChild<QLineEdit *>("filename");
        ASSERT_NE(file, nullptr);
        EXPECT_TRUE(file->isEnabled()) << "with no printer installed the dialog prints to a file";
        file->setText(QString::fromStdString(pdf));
        answered = true;
        static_cast<QDialog *>(pd)->accept();
    });
    d.btnPrintClick();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(pdfText(pdf).contains("Zed"));
    EXPECT_EQ(d.modalResult(), forms::kMrOk);
}

// ---- Contacts ----

TEST_F(Printing, ContactsPrintSimThenPhoneWithTheirHeadings)
{
    const int other = pb.AddFileBook("/one/book.csv");
    saveContact(other, StorageCode::Sim, "Other;", "7");
    const int b = pb.AddFileBook("/two/book.csv"); // same caption: the item data picks it
    saveContact(b, StorageCode::Phone, "Pat;", "222");
    saveContact(b, StorageCode::Sim, "Alice;", "111");

    auto d = dialog(PrintArea::Contacts);
    choose(*d, b);
    prompt.answerPrint(pdfSpec("contacts.pdf"));
    d->btnPrintClick();
    EXPECT_EQ(d->modalResult(), forms::kMrOk) << "a finished print closes the dialog";
    const QString text = pdfText(tmp.path("contacts.pdf"));
    const qsizetype sim = text.indexOf("SIM"), alice = text.indexOf("Alice"), phone = text.indexOf("Phone"),
                    pat = text.indexOf("Pat");
    EXPECT_GE(sim, 0) << text.toStdString();
    EXPECT_LT(sim, alice);
    EXPECT_LT(alice, phone);
    EXPECT_LT(phone, pat);
    EXPECT_FALSE(text.contains("Other"));
    EXPECT_EQ(pdfPages(tmp.path("contacts.pdf")), 2);
}

// ---- Phrases ----

TEST_F(Printing, PhraseAreaPrintsNothingAndPreviewsAnEmptyWindow)
{
    auto d = dialog(PrintArea::Phrases);
    d->btnPrintClick();
    EXPECT_TRUE(prompt.calls().empty());
    bool shown = false;
    whenModal("fr_viewprint", [&](QWidget *w) {
        auto *view = static_cast<Tfr_viewprint *>(w);
        shown = true;
        EXPECT_TRUE(view->Memo->isVisible());
        EXPECT_TRUE(view->Memo->toPlainText().isEmpty());
        EXPECT_FALSE(view->scroll->isVisible());
        view->reject();
    });
    d->btnPrintviewClick();
    EXPECT_TRUE(shown);
}

// ---- How it looks ----

TEST_F(Printing, DialogAndPreviewsLook)
{
    add(content::kBoxReceived, "+4912345", "See you at the station at six.");
    add(content::kBoxDrafts, "+4954321", "");
    auto d = dialog(PrintArea::Messages);
    d->show();
    QTest::qWaitForWindowExposed(d.get());
    screenshot(d.get(), "fr_print");
    EXPECT_EQ(d->Label1->buddy(), d->cbPrints);
    for (QPushButton *b : {d->btnPrint, d->btnPrintview, d->btnSetup, d->btnCancel, d->SpeedButton1})
        EXPECT_FALSE(b->text().isEmpty()) << b->objectName().toStdString();

    whenModal("fr_viewprint", [&](QWidget *w) {
        auto *view = static_cast<Tfr_viewprint *>(w);
        QCoreApplication::processEvents();
        EXPECT_EQ(view->Memo->toPlainText().split('\n').size(), 8);
        screenshot(view, "fr_viewprint_messages");
        view->reject();
    });
    d->btnPrintviewClick();

    const int b = pb.AddFileBook("/a/people.csv");
    saveContact(b, StorageCode::Sim, "Alice Smith;", "+4411122");
    saveContact(b, StorageCode::Sim, "Bob Jones;", "+4433344");
    auto c = dialog(PrintArea::Contacts);
    choose(*c, b);
    bool shown = false;
    whenModal("fr_viewprint", [&](QWidget *w) {
        auto *view = static_cast<Tfr_viewprint *>(w);
        waitUntil([&] { return view->scroll->isVisible(); }, 5000);
        shown = true;
        EXPECT_FALSE(view->Memo->isVisible());
        const QImage &page = view->page();
        ASSERT_FALSE(page.isNull());
        // A quarter of an A4 page (less the margins) at the preview's resolution.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        printer.setResolution(384);
        EXPECT_EQ(page.width(), printer.width() / 4);
        EXPECT_EQ(page.height(), printer.height() / 4);
        int dark = 0;
        for (int y = 0; y < page.height() / 4; ++y)
            for (int x = 0; x < page.width(); ++x)
                dark += qGray(page.pixel(x, y)) < 128;
        EXPECT_GT(dark, 50) << "the page's heading and rows are drawn";
        // A page taller than the screen: the window still fits the screen, the page scrolls.
        const QRect avail = view->screen()->availableGeometry();
        ASSERT_GT(page.height() + 40, avail.height());
        EXPECT_TRUE(avail.contains(view->frameGeometry())) << "the preview runs off the screen";
        screenshot(view, "fr_viewprint_contacts");
        view->reject();
    });
    c->btnPrintviewClick();
    EXPECT_TRUE(shown);
}

} // namespace
} // namespace forms_test
