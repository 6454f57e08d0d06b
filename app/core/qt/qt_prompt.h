// The message box of the program: core::Prompt on QMessageBox (UI thread only).
#pragma once

#include "core/prompt.h"

#include <QPointer>
#include <QWidget>

namespace core {

class QtPrompt : public Prompt {
public:
    // Boxes are modal to parent (may be null: application-modal, centred on the screen).
    explicit QtPrompt(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }

    // An empty caption shows the application's display name.
    int show(const std::string &text, const std::string &caption, unsigned flags) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace core
