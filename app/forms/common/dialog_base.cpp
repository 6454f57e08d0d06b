#include "forms/common/dialog_base.h"

#include <QCloseEvent>
#include <QPointer>
#include <QShowEvent>
#include <QTimer>

namespace forms {

DialogBase::DialogBase(QWidget *parent) : QDialog(parent)
{
    setModal(true);
    // No "what's this" button; the dialogs of the program have none.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

DialogBase::~DialogBase() = default;

void DialogBase::reject()
{
    cancelStep();
}

void DialogBase::finish(int result)
{
    QDialog::done(result);
}

intptr_t DialogBase::windowMessage(uint32_t, intptr_t, intptr_t)
{
    return 0;
}

void DialogBase::attachMessages(platform::QtWindowMessages &hub)
{
    if (registration_)
        return;
    registration_ = std::make_unique<platform::WindowRegistration>(
        hub, this, [this](uint32_t msg, intptr_t w, intptr_t l) { return windowMessage(msg, w, l); });
}

void DialogBase::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    QPointer<DialogBase> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self)
            self->postShow();
    });
}

void DialogBase::closeEvent(QCloseEvent *e)
{
    // The title-bar close: the cancel step decides; the dialog stays while it has not closed.
    if (!isVisible()) {
        e->accept();
        return;
    }
    cancelStep();
    if (isVisible())
        e->ignore();
    else
        e->accept();
}

} // namespace forms
