// Tfr_viewprint: the print preview. Messages show as the lines a print would write, in the memo;
// contacts show page 1 of the book as the contact printer draws it, in an image a quarter of the
// printer page's width and height (page(): draw on it before exec()).
//
//   forms::Tfr_viewprint view(lang, prompt, pagePixels, printerDpi);
//   view.Memo->setPlainText(lines.join('\n'));            // or: view.Memo->hide(); draw on view.page()
//   view.exec();
#pragma once

#include "forms/common/dialog_base.h"

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>

namespace core {
class TLangMng;
class Prompt;
} // namespace core

namespace forms {

class Tfr_viewprint final : public DialogBase {
    Q_OBJECT
public:
    // pagePixels: the printer page in its own pixels at dpi dots per inch. The preview image is a
    // quarter of it each way; draw on it with the painter scaled by kScale and the printer's page
    // rectangle, so the layout is the printer's.
    Tfr_viewprint(const core::TLangMng &lang, core::Prompt &prompt, QSize pagePixels, int dpi,
                  QWidget *parent = nullptr);
    ~Tfr_viewprint() override;

    // The preview page (null when it could not be made).
    QImage &page() { return page_; }
    // The painter scale from printer pixels to the preview page.
    static constexpr double kScale = 0.25;

    QPlainTextEdit *Memo;
    QScrollArea *scroll;
    QLabel *Image1;

protected:
    void postShow() override;

private:
    // Shrinks and moves the window so that it, with its frame, lies on the screen it opens on.
    void fitScreen();

private:
    const core::TLangMng &lang_;
    core::Prompt &prompt_;
    QImage page_;
};

} // namespace forms
