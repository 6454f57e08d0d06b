// The standard dialogs other than the message box.
#include "core/qt/qt_prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>

namespace core {

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

void toPrinter(const PrintSpec &spec, QPrinter &printer)
{
    if (!spec.printerName.empty())
        printer.setPrinterName(qs(spec.printerName));
    if (!spec.outputFile.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(qs(spec.outputFile));
    }
    printer.setCopyCount(std::max(1, spec.copies));
    if (spec.fromPage > 0 && spec.toPage >= spec.fromPage) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(spec.fromPage, spec.toPage);
    }
    printer.setPageOrientation(spec.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    if (!spec.paperName.empty())
        for (int id = 0; id <= QPageSize::LastPageSize; ++id)
            if (QPageSize::name(QPageSize::PageSizeId(id)) == qs(spec.paperName)) {
                printer.setPageSize(QPageSize(QPageSize::PageSizeId(id)));
                break;
            }
    printer.setPageMargins(QMarginsF(spec.marginsMm[0], spec.marginsMm[1], spec.marginsMm[2], spec.marginsMm[3]),
                           QPageLayout::Millimeter);
}

void fromPrinter(const QPrinter &printer, PrintSpec &spec)
{
    spec.printerName = printer.printerName().toStdString();
    spec.outputFile = printer.outputFileName().toStdString();
    spec.copies = printer.copyCount();
    if (printer.printRange() == QPrinter::PageRange) {
        spec.fromPage = printer.fromPage();
        spec.toPage = printer.toPage();
    } else {
        spec.fromPage = spec.toPage = 0;
    }
    const QPageLayout layout = printer.pageLayout();
    spec.landscape = layout.orientation() == QPageLayout::Landscape;
    spec.paperName = layout.pageSize().name().toStdString();
    const QMarginsF m = layout.margins(QPageLayout::Millimeter);
    spec.marginsMm[0] = m.left();
    spec.marginsMm[1] = m.top();
    spec.marginsMm[2] = m.right();
    spec.marginsMm[3] = m.bottom();
}

} // namespace

void applyPrintSpec(const PrintSpec &spec, QPrinter &printer)
{
    toPrinter(spec, printer);
}

std::optional<std::string> QtPrompt::inputBox(const std::string &caption, const std::string &label,
                                              const std::string &value)
{
    QInputDialog dlg(parent_.data());
    dlg.setObjectName("InputBox");
    dlg.setWindowTitle(qs(caption));
    dlg.setLabelText(qs(label));
    dlg.setTextValue(qs(value));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.textValue().toStdString();
}

std::optional<std::string> QtPrompt::openFile(const FileDialogSpec &spec)
{
    QFileDialog dlg(parent_.data(), qs(spec.caption), qs(spec.path), qs(spec.filter));
    dlg.setObjectName("OpenDialog");
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().front().toStdString();
}

std::optional<std::string> QtPrompt::saveFile(const FileDialogSpec &spec)
{
    QFileDialog dlg(parent_.data(), qs(spec.caption), qs(spec.path), qs(spec.filter));
    dlg.setObjectName("SaveDialog");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    if (!spec.defaultSuffix.empty())
        dlg.setDefaultSuffix(qs(spec.defaultSuffix));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().front().toStdString();
}

std::optional<FontSpec> QtPrompt::chooseFont(const FontSpec &current)
{
    QFont start(qs(current.family));
    if (current.pointSize > 0)
        start.setPointSize(current.pointSize);
    start.setBold(current.bold);
    start.setItalic(current.italic);
    start.setUnderline(current.underline);
    start.setStrikeOut(current.strikeOut);
    QFontDialog dlg(start, parent_.data());
    dlg.setObjectName("FontDialog");
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    const QFont f = dlg.selectedFont();
    return FontSpec{f.family().toStdString(), f.pointSize(), f.bold(), f.italic(), f.underline(), f.strikeOut()};
}

bool QtPrompt::print(PrintSpec &spec)
{
    QPrinter printer;
    toPrinter(spec, printer);
    QPrintDialog dlg(&printer, parent_.data());
    dlg.setObjectName("PrintDialog");
    if (dlg.exec() != QDialog::Accepted)
        return false;
    fromPrinter(printer, spec);
    return true;
}

bool QtPrompt::pageSetup(PrintSpec &spec)
{
    QPrinter printer;
    toPrinter(spec, printer);
    QPageSetupDialog dlg(&printer, parent_.data());
    dlg.setObjectName("PageSetupDialog");
    if (dlg.exec() != QDialog::Accepted)
        return false;
    fromPrinter(printer, spec);
    return true;
}

} // namespace core
