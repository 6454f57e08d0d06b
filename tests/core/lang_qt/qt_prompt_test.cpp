#include "core/qt/qt_prompt.h"
#include "qt_app.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Acts on the message box once it is up, from inside its modal loop.
void whenBoxShows(std::function<void(QMessageBox *)> act)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(box);
        }
    });
    timer->start(5);
}

TEST(QtPrompt, ButtonsIconsAndAnswers)
{
    lang_qt_test::app();
    struct Case {
        unsigned flags;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
        QMessageBox::StandardButton click; // NoButton: close the box
        int answer;
    } cases[] = {
        {core::kMbOk, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok, core::kIdOk},
        {core::kMbOk | core::kMbIconInformation, QMessageBox::Ok, QMessageBox::Information,
         QMessageBox::NoButton, core::kIdOk},
        {core::kMbOkCancel | core::kMbIconQuestion, QMessageBox::Ok | QMessageBox::Cancel,
         QMessageBox::Question, QMessageBox::Cancel, core::kIdCancel},
        {core::kMbOkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoIcon,
         QMessageBox::NoButton, core::kIdCancel},
        {core::kMbYesNoCancel | core::kMbIconQuestion,
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Question,
         QMessageBox::No, core::kIdNo},
        {core::kMbYesNoCancel, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
         QMessageBox::NoIcon, QMessageBox::NoButton, core::kIdCancel},
        {core::kMbYesNo | core::kMbIconWarning, QMessageBox::Yes | QMessageBox::No,
         QMessageBox::Warning, QMessageBox::Yes, core::kIdYes},
        {core::kMbYesNo | core::kMbIconError, QMessageBox::Yes | QMessageBox::No,
         QMessageBox::Critical, QMessageBox::NoButton, core::kIdNo},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.flags);
        QMessageBox::StandardButtons seenButtons;
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        QString seenText, seenTitle;
        whenBoxShows([&](QMessageBox *box) {
            seenButtons = box->standardButtons();
            seenIcon = box->icon();
            seenText = box->text();
            seenTitle = box->windowTitle();
            if (c.click == QMessageBox::NoButton)
                box->close(); // the title-bar close: as Escape
            else
                box->button(c.click)->click();
        });
        core::QtPrompt prompt;
        EXPECT_EQ(prompt.show("Invalid language file.", "Selvark", c.flags), c.answer);
        EXPECT_EQ(seenButtons, c.buttons);
        EXPECT_EQ(seenIcon, c.icon);
        EXPECT_EQ(seenText, "Invalid language file.");
        EXPECT_EQ(seenTitle, "Selvark");
    }
}

} // namespace
