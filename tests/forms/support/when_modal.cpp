#include "forms/support/when_modal.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace forms_test {

void whenModal(const QString &objectName, std::function<void(QWidget *)> fn, int timeoutMs)
{
    auto *timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && modal->objectName() == objectName) {
            timer->stop();
            timer->deleteLater();
            fn(modal);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal dialog \"" << objectName.toStdString() << "\" came up within " << timeoutMs
                          << " ms (up: \"" << (modal ? modal->objectName().toStdString() : std::string("none"))
                          << "\")";
            // Out through the dialog's own cancel step; a dialog that stays up anyway is ended.
            if (auto *dlg = qobject_cast<QDialog *>(modal)) {
                dlg->reject();
                if (dlg->isVisible())
                    dlg->done(QDialog::Rejected);
            }
        }
    });
    timer->start();
}

bool waitUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeoutMs)
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace forms_test
