// Tfr_print: the print dialog of the main window. It prints the messages of one range of boxes or
// the contacts of one book, depending on the area the main window shows, or previews them first.
// The phrase area has nothing to print: no range, print does nothing, preview is empty.
//
//   forms::Tfr_print dlg(lang, prompt, env, forms::PrintArea::Messages, &sms, &pb);
//   dlg.exec();
//
// Each range carries its box id (messages) or book index (contacts) as item data; captions may
// repeat. Both areas print through the print dialog (a printer or a PDF file); without a usable
// printer the user is offered a PDF file instead, and a finished print closes the dialog.
// Message lines are wrapped at the printable width in the print font and start a new
// page at the bottom margin. Printing reads the messages through the message store's query, so
// the table's filter and cursor stay as they were. Printer set-up, the print dialog and the font
// dialog go through the prompt; a print that cannot start shows "fr_print_MessCode1".
#pragma once

#include "core/prompt.h"
#include "forms/common/dialog_base.h"

#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QStringList>

class QPaintDevice;
class QPainter;
class QPrinter;

namespace core {
class TLangMng;
} // namespace core
namespace content {
class Env;
class TSMSManage;
class TPhoneBookManage;
} // namespace content

namespace forms {

// The main window's areas as the print sees them.
enum class PrintArea { Messages = 0, Contacts = 1, Phrases = 2 };

// Lays lines out on pages of pageSize (device pixels of device) in font: a line longer than the
// width wraps (at a word boundary where there is one, else anywhere), an empty line takes one
// line's height, and a page ends before a line would pass its bottom.
QList<QStringList> layoutTextPages(const QStringList &lines, const QFont &font, QPaintDevice *device,
                                   QSize pageSize);

class Tfr_print final : public DialogBase {
    Q_OBJECT
public:
    // sms, pb: the managers of the two areas (either may be null when its area is not printed).
    Tfr_print(const core::TLangMng &lang, core::Prompt &prompt, content::Env &env, PrintArea area,
              content::TSMSManage *sms, content::TPhoneBookManage *pb, QWidget *parent = nullptr);
    ~Tfr_print() override;

    // The print font (the dialog's own at first).
    QFont printFont() const { return printFont_; }
    // What page set-up and the print dialog edit; a caller may preset it (e.g. a PDF file).
    core::PrintSpec printSpec;

    // The printed message text of the chosen range: four lines per message.
    QStringList BuildMessageText() const;

    // The buttons' steps.
    void SpeedButton1Click();
    void btnSetupClick();
    void btnPrintviewClick();
    void btnPrintClick();

    QLabel *Label1;
    QComboBox *cbPrints;
    QLineEdit *EdFont;
    QPushButton *SpeedButton1;
    QPushButton *btnSetup;
    QPushButton *btnPrintview;
    QPushButton *btnPrint;
    QPushButton *btnCancel;

protected:
    void postShow() override;

private:
    // The print dialog on printSpec; false when cancelled or it failed (then said so).
    bool choosePrinter();
    // Without a usable printer (and no file chosen) asks for a PDF file to print to instead;
    // false when the user declines.
    bool printerOrFile();
    // Applies printSpec to printer and begins painter on it; false (and "fr_print_MessCode1" shown)
    // when it cannot print.
    bool beginPrinting(QPrinter &printer, QPainter &painter);
    void cannotPrint();
    void printMessages();
    void printContacts();

    const core::TLangMng &lang_;
    core::Prompt &prompt_;
    content::Env &env_;
    PrintArea area_;
    content::TSMSManage *sms_;
    content::TPhoneBookManage *pb_;
    QFont printFont_;
};

} // namespace forms
