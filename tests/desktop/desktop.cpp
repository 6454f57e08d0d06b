#include "desktop.h"

#include "forms/support/screenshot.h"
#include "forms/support/when_modal.h"

#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace desktop_test {
namespace {

void xdotool(const QStringList &args)
{
    QProcess p;
    p.start("xdotool", args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        ADD_FAILURE() << "xdotool " << args.join(' ').toStdString() << " failed: "
                      << p.readAllStandardError().toStdString();
    // Let the events the server now delivers reach the widgets.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

QPoint globalPoint(QWidget *widget, QPoint at)
{
    if (at.isNull())
        at = widget->rect().center();
    return widget->mapToGlobal(at);
}

} // namespace

bool onDesktop()
{
    return QGuiApplication::platformName() == "xcb" && !qEnvironmentVariableIsEmpty("SELVARK_DESKTOP");
}

void requireDesktop()
{
    ASSERT_TRUE(onDesktop()) << "run under tests/desktop/desktop_session.sh (platform "
                             << QGuiApplication::platformName().toStdString() << ")";
}

void moveTo(QWidget *widget, QPoint at)
{
    const QPoint g = globalPoint(widget, at);
    xdotool({"mousemove", "--sync", QString::number(g.x()), QString::number(g.y())});
}

void click(QWidget *widget, QPoint at)
{
    moveTo(widget, at);
    xdotool({"click", "1"});
}

void doubleClick(QWidget *widget, QPoint at)
{
    moveTo(widget, at);
    xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
}

void clickMenu(QMenuBar *bar, QMenu *menu)
{
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(menu, nullptr);
    click(bar, bar->actionGeometry(menu->menuAction()).center());
    forms_test::waitUntil([&] { return menu->isVisible(); }, 20000);
}

void clickItem(QMenu *open, QAction *item)
{
    ASSERT_NE(open, nullptr);
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(open->isVisible()) << open->objectName().toStdString() << " is not open";
    click(open, open->actionGeometry(item).center());
}

void key(const QString &keys)
{
    xdotool({"key", "--clearmodifiers", keys});
}

void type(const QString &text)
{
    xdotool({"type", "--clearmodifiers", "--delay", "20", text});
}

bool waitShown(QWidget *widget)
{
    QWidget *window = widget->window();
    if (!QTest::qWaitForWindowExposed(window, 30000))
        return false;
    window->activateWindow();
    QTest::qWaitForWindowActive(window, 20000);
    // The window manager frames the window and the first paint lands before the screen is read.
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(20);
    }
    return true;
}

namespace {

// The artefact's path, or "" (and a failure) when it cannot be written.
std::string savePng(const QPixmap &pixels, const std::string &name)
{
    std::error_code ec;
    std::filesystem::create_directories(forms_test::artefactDir(), ec);
    const std::string path = forms_test::artefactDir() + "/desktop_" + name + ".png";
    if (pixels.isNull() || !pixels.save(QString::fromStdString(path), "PNG")) {
        ADD_FAILURE() << "cannot write the screenshot " << path;
        return {};
    }
    return path;
}

} // namespace

std::string shot(QWidget *widget, const std::string &name)
{
    QWidget *window = widget->window();
    waitShown(window);
    const QRect frame = window->frameGeometry();
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QPixmap pixels = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return savePng(pixels, name);
}

void whenAnyModal(std::function<void(QWidget *)> fn, int timeoutMs)
{
    auto *timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    // The dialog up now (the one a step runs in) is not the next one.
    const QPointer<QWidget> before = QApplication::activeModalWidget();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && modal != before.data()) {
            timer->stop();
            timer->deleteLater();
            fn(modal);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal dialog came up within " << timeoutMs << " ms";
        }
    });
    timer->start();
}

QString shotModal(const std::function<void()> &open, const std::string &name)
{
    QString shown;
    whenAnyModal([&](QWidget *dlg) {
        shown = dlg->objectName();
        shot(dlg, name);
        QPointer<QWidget> alive(dlg);
        // Escape, again for a question the dialog may ask on the way out.
        for (int i = 0; i < 3 && alive && alive->isVisible(); ++i) {
            key("Escape");
            forms_test::waitUntil([&] { return !alive || !alive->isVisible(); }, 20000);
        }
        if (alive && alive->isVisible()) {
            ADD_FAILURE() << "Escape did not close " << shown.toStdString();
            if (auto *d = qobject_cast<QDialog *>(alive.data()))
                d->reject();
        }
    });
    open();
    forms_test::waitUntil([&] { return !shown.isEmpty(); }, 20000);
    return shown;
}

std::string shotScreen(const std::string &name)
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QPixmap pixels = QGuiApplication::primaryScreen()->grabWindow(0);
    return savePng(pixels, name);
}

} // namespace desktop_test
