// The standard dialogs of the program: core::Prompt on QMessageBox, QInputDialog, QFileDialog,
// QFontDialog, QPrintDialog and QPageSetupDialog (UI thread only). The dialogs other than the
// message box carry the object names InputBox, OpenDialog, SaveDialog, FontDialog, PrintDialog
// and PageSetupDialog.
#pragma once

#include "core/prompt.h"

#include <QPointer>
#include <QWidget>

class QPrinter;

namespace core {

// Sets up printer as spec says (printer or PDF file, copies, pages, paper, orientation, margins).
void applyPrintSpec(const PrintSpec &spec, QPrinter &printer);

class QtPrompt : public Prompt {
public:
    // Boxes are modal to parent (may be null: application-modal, centred on the screen).
    explicit QtPrompt(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }

    // An empty caption shows the application's display name.
    int show(const std::string &text, const std::string &caption, unsigned flags) override;

    std::optional<std::string> inputBox(const std::string &caption, const std::string &label,
                                        const std::string &value) override;
    std::optional<std::string> openFile(const FileDialogSpec &spec) override;
    std::optional<std::string> saveFile(const FileDialogSpec &spec) override;
    std::optional<FontSpec> chooseFont(const FontSpec &current) override;
    bool print(PrintSpec &spec) override;
    bool pageSetup(PrintSpec &spec) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace core
