#include "forms/fr_print.h"

#include "content/contacts_view.h"
#include "content/env.h"
#include "content/qt/contacts_qt.h"
#include "content/sms_manage.h"
#include "core/lang_mng.h"
#include "core/qt/form_translate.h"
#include "core/qt/qt_prompt.h"
#include "forms/fr_viewprint.h"

#include <QDir>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextLayout>
#include <QTextOption>

#include <exception>

namespace forms {
namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

// The resolution the preview lays a page out at: its quarter-size image is then the page at the
// screen's usual 96 dots per inch.
constexpr int kPreviewDpi = 384;
// The contact printer's margins, in printer pixels.
constexpr int kContactMarginX = 100;
constexpr int kContactMarginY = 100;
// Margins of a fresh dialog's page, in millimetres, until page set-up or the print dialog say
// otherwise (a zero margin would print into the edge a printer cannot reach).
constexpr double kDefaultMarginMm = 15.0;

QRect pageRect(const QPrinter &printer)
{
    return QRect(0, 0, printer.width(), printer.height());
}

} // namespace

QList<QStringList> layoutTextPages(const QStringList &lines, const QFont &font, QPaintDevice *device,
                                   QSize pageSize)
{
    QList<QStringList> pages;
    const QFontMetricsF fm(font, device);
    const qreal lineHeight = fm.lineSpacing();
    const qreal width = std::max<qreal>(1, pageSize.width());
    QStringList page;
    qreal y = 0;
    auto put = [&](const QString &text) {
        if (!page.isEmpty() && y + lineHeight > pageSize.height()) {
            pages.append(page);
            page.clear();
            y = 0;
        }
        page.append(text);
        y += lineHeight;
    };
    // A message text keeps its own line breaks (CR LF, LF or CR): each starts a printed line, as
    // in the preview, instead of being drawn into one.
    static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|\\r|\\n"));
    QStringList split;
    for (const QString &given : lines)
        split += given.split(lineBreak);
    for (const QString &line : split) {
        if (line.isEmpty()) {
            put(QString());
            continue;
        }
        QTextLayout layout(line, font, device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine tl = layout.createLine(); tl.isValid(); tl = layout.createLine()) {
            tl.setLineWidth(width);
            // Blanks at a break stay with the line before it and are not drawn.
            QString piece = line.mid(tl.textStart(), tl.textLength());
            while (!piece.isEmpty() && piece.back().isSpace())
                piece.chop(1);
            put(piece);
        }
        layout.endLayout();
    }
    if (!page.isEmpty())
        pages.append(page);
    return pages;
}

Tfr_print::Tfr_print(const core::TLangMng &lang, core::Prompt &prompt, content::Env &env, PrintArea area,
                     content::TSMSManage *sms, content::TPhoneBookManage *pb, QWidget *parent)
    : DialogBase(parent), lang_(lang), prompt_(prompt), env_(env), area_(area), sms_(sms), pb_(pb)
{
    setObjectName("fr_print");
    for (double &m : printSpec.marginsMm)
        m = kDefaultMarginMm;

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    cbPrints = new QComboBox(this);
    cbPrints->setObjectName("cbPrints");
    cbPrints->setMaxVisibleItems(10);
    cbPrints->setMinimumWidth(220);
    Label1->setBuddy(cbPrints);
    EdFont = new QLineEdit(this);
    EdFont->setObjectName("EdFont");
    EdFont->setReadOnly(true);
    SpeedButton1 = new QPushButton(this);
    SpeedButton1->setObjectName("SpeedButton1");
    btnSetup = new QPushButton(this);
    btnSetup->setObjectName("btnSetup");
    btnPrintview = new QPushButton(this);
    btnPrintview->setObjectName("btnPrintview");
    btnPrint = new QPushButton(this);
    btnPrint->setObjectName("btnPrint");
    btnPrint->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName("btnCancel");

    auto *grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(cbPrints, 0, 1, 1, 2);
    grid->addWidget(EdFont, 1, 1);
    grid->addWidget(SpeedButton1, 1, 2);
    grid->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnSetup);
    buttons->addStretch(1);
    buttons->addWidget(btnPrintview);
    buttons->addWidget(btnPrint);
    buttons->addWidget(btnCancel);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(grid);
    lay->addStretch(1);
    lay->addLayout(buttons);
    setTabOrder(cbPrints, SpeedButton1);
    setTabOrder(SpeedButton1, btnSetup);
    setTabOrder(btnSetup, btnPrintview);
    setTabOrder(btnPrintview, btnPrint);
    setTabOrder(btnPrint, btnCancel);

    core::setFormFont(lang_, this);
    setWindowTitle(qs(lang_.translate("fr_print_Caption")));
    core::translateForm(lang_, this, "fr_print");

    printFont_ = font();
    if (area_ == PrintArea::Messages && sms_) {
        const std::vector<std::string> &captions = sms_->boxCaptions();
        const std::vector<int> &ids = sms_->boxIds();
        for (size_t i = 0; i < captions.size() && i < ids.size(); ++i)
            cbPrints->addItem(qs(captions[i]), ids[i]);
    } else if (area_ == PrintArea::Contacts && pb_) {
        const std::vector<std::string> names = content::GetBookNames(*pb_, env_);
        for (size_t i = 0; i < names.size(); ++i)
            cbPrints->addItem(qs(names[i]), int(i));
    }
    if (cbPrints->count() > 0)
        cbPrints->setCurrentIndex(0);
    EdFont->setText(printFont_.family());

    connect(SpeedButton1, &QPushButton::clicked, this, &Tfr_print::SpeedButton1Click);
    connect(btnSetup, &QPushButton::clicked, this, &Tfr_print::btnSetupClick);
    connect(btnPrintview, &QPushButton::clicked, this, &Tfr_print::btnPrintviewClick);
    connect(btnPrint, &QPushButton::clicked, this, &Tfr_print::btnPrintClick);
    connect(btnCancel, &QPushButton::clicked, this, [this] { finish(kMrCancel); });
}

Tfr_print::~Tfr_print() = default;

void Tfr_print::postShow()
{
    core::setFormFont(lang_, this);
}

QStringList Tfr_print::BuildMessageText() const
{
    QStringList out;
    if (!sms_ || cbPrints->currentIndex() < 0)
        return out;
    const int box = cbPrints->currentData().toInt();
    // The time under the time column's caption; the box under its own caption, named by the range
    // or, when every message is printed, by the message's own box.
    const QString timeCaption = qs(env_.text("SmsMng_5_DataListColumn3"));
    const QString boxCaption = qs(lang_.translate("fr_print_Box"));
    const std::vector<std::string> &captions = sms_->boxCaptions();
    const std::vector<int> &ids = sms_->boxIds();
    const auto boxName = [&](int id) {
        if (box != content::kAllMessages)
            return cbPrints->currentText();
        for (size_t i = 0; i < captions.size() && i < ids.size(); ++i)
            if (ids[i] == id)
                return qs(captions[i]);
        return QString();
    };
    for (const content::Ssms &m : sms_->Messages(box)) {
        out << qs(m.Tel) + "    " + timeCaption + ":" + qs(m.time) + "    " + boxCaption + ":" + boxName(m.boxid);
        out << QString();
        out << qs(m.body);
        out << QString();
    }
    return out;
}

void Tfr_print::SpeedButton1Click()
{
    core::FontSpec current{printFont_.family().toStdString(), printFont_.pointSize(), printFont_.bold(),
                           printFont_.italic(), printFont_.underline(), printFont_.strikeOut()};
    const std::optional<core::FontSpec> chosen = prompt_.chooseFont(current);
    if (!chosen)
        return;
    QFont f(qs(chosen->family));
    if (chosen->pointSize > 0)
        f.setPointSize(chosen->pointSize);
    f.setBold(chosen->bold);
    f.setItalic(chosen->italic);
    f.setUnderline(chosen->underline);
    f.setStrikeOut(chosen->strikeOut);
    printFont_ = f;
    EdFont->setText(printFont_.family());
}

void Tfr_print::cannotPrint()
{
    prompt_.show(lang_.translate("fr_print_MessCode1"), lang_.translate("Application_Hite_title"),
                 core::kMbOk | core::kMbIconWarning);
}

void Tfr_print::btnSetupClick()
{
    try {
        prompt_.pageSetup(printSpec);
    } catch (const std::exception &) {
        cannotPrint();
    }
}

bool Tfr_print::choosePrinter()
{
    try {
        return prompt_.print(printSpec);
    } catch (const std::exception &) {
        cannotPrint();
        return false;
    }
}

bool Tfr_print::printerOrFile()
{
    if (!printSpec.outputFile.empty())
        return true;
    QPrinter probe(QPrinter::HighResolution);
    core::applyPrintSpec(printSpec, probe);
    // Without a printing system, or with the chosen printer gone, Qt falls back to PDF output
    // with no file to write: the user names one instead of the print failing.
    if (probe.outputFormat() == QPrinter::NativeFormat && probe.isValid())
        return true;
    const std::optional<std::string> file = prompt_.saveFile(
        {lang_.translate("fr_print_ToFile"), QDir::homePath().toStdString(), "PDF (*.pdf)", "pdf"});
    if (!file || file->empty())
        return false;
    printSpec.printerName.clear();
    printSpec.outputFile = *file;
    return true;
}

bool Tfr_print::beginPrinting(QPrinter &printer, QPainter &painter)
{
    core::applyPrintSpec(printSpec, printer);
    if (!printer.isValid() || !painter.begin(&printer)) {
        cannotPrint();
        return false;
    }
    return true;
}

void Tfr_print::btnPrintviewClick()
{
    QPrinter printer(QPrinter::HighResolution);
    core::applyPrintSpec(printSpec, printer);
    // The preview lays the page out for the paper chosen, never for a printer's own resolution.
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(kPreviewDpi);
    const QRect page = pageRect(printer);
    Tfr_viewprint view(lang_, prompt_, page.size(), printer.resolution(), this);
    if (area_ == PrintArea::Messages) {
        view.Memo->setFont(printFont_);
        view.Memo->setPlainText(BuildMessageText().join('\n'));
    } else if (area_ == PrintArea::Contacts && pb_ && cbPrints->currentIndex() >= 0) {
        view.Memo->hide();
        if (!view.page().isNull()) {
            QPainter painter(&view.page());
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.scale(Tfr_viewprint::kScale, Tfr_viewprint::kScale);
            content::PrintContacts(*pb_, env_, cbPrints->currentData().toInt(), painter, printFont_, page,
                                   kContactMarginX, kContactMarginY, true, {});
        }
    }
    view.exec();
}

void Tfr_print::btnPrintClick()
{
    if (cbPrints->currentIndex() < 0)
        return; // the phrase area: nothing to print
    if (area_ == PrintArea::Messages)
        printMessages();
    else if (area_ == PrintArea::Contacts)
        printContacts();
}

void Tfr_print::printMessages()
{
    const QStringList lines = BuildMessageText();
    if (!choosePrinter() || !printerOrFile())
        return;
    QPrinter printer(QPrinter::HighResolution);
    QPainter painter;
    if (!beginPrinting(printer, painter))
        return;
    painter.setFont(printFont_);
    const QRect page = pageRect(printer);
    const QList<QStringList> pages = layoutTextPages(lines, printFont_, &printer, page.size());
    const QFontMetricsF fm(printFont_, &printer);
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0 && !printer.newPage())
            break;
        qreal y = 0;
        for (const QString &text : pages[p]) {
            painter.drawText(QPointF(0, y + fm.ascent()), text);
            y += fm.lineSpacing();
        }
    }
    if (painter.end())
        finish(kMrOk);
}

void Tfr_print::printContacts()
{
    if (!pb_)
        return;
    const int book = cbPrints->currentData().toInt();
    if (!pb_->validBook(book) || !choosePrinter() || !printerOrFile())
        return;
    QPrinter printer(QPrinter::HighResolution);
    QPainter painter;
    if (!beginPrinting(printer, painter))
        return;
    content::PrintContacts(*pb_, env_, book, painter, printFont_, pageRect(printer), kContactMarginX,
                           kContactMarginY, false, [&] { return printer.newPage(); });
    if (painter.end())
        finish(kMrOk);
}

} // namespace forms
