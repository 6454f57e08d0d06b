#include "core/qt/qt_prompt.h"

#include <QApplication>
#include <QMessageBox>

namespace core {

int QtPrompt::show(const std::string &text, const std::string &caption, unsigned flags)
{
    QMessageBox box(parent_.data());
    box.setText(QString::fromStdString(text));
    box.setWindowTitle(caption.empty() ? QGuiApplication::applicationDisplayName()
                                       : QString::fromStdString(caption));
    switch (flags & kMbIconMask) {
    case kMbIconError: box.setIcon(QMessageBox::Critical); break;
    case kMbIconQuestion: box.setIcon(QMessageBox::Question); break;
    case kMbIconWarning: box.setIcon(QMessageBox::Warning); break;
    case kMbIconInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (flags & kMbButtonMask) {
    case kMbOkCancel:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case kMbYesNoCancel:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case kMbYesNo:
        buttons = QMessageBox::Yes | QMessageBox::No;
        escape = QMessageBox::No;
        break;
    default:
        buttons = QMessageBox::Ok;
        break;
    }
    box.setStandardButtons(buttons);
    box.setEscapeButton(escape);
    switch (box.exec()) {
    case QMessageBox::Ok: return kIdOk;
    case QMessageBox::Cancel: return kIdCancel;
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    default: // closed without a button: as Escape would
        switch (escape) {
        case QMessageBox::Cancel: return kIdCancel;
        case QMessageBox::No: return kIdNo;
        default: return kIdOk;
        }
    }
}

} // namespace core
