// What the tests of the program's own application class share: the one application of the test
// binary (it is the QApplication, so each binary makes its own), and a widget whose handler throws.
// Header-only, so a binary needs no more than sv_forms to use it.
#pragma once

#include "forms/main_application.h"

#include <QByteArray>
#include <QEvent>
#include <QWidget>

#include <stdexcept>
#include <string>
#include <utility>

namespace forms_test {

// The binary's application, made offscreen on first use; `name` is its program name.
inline forms::MainApplication &mainApplication(const char *name)
{
    static int argc = 1;
    static QByteArray stored = name;
    static char *argv[] = {stored.data(), nullptr};
    static forms::MainApplication *a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new forms::MainApplication(argc, argv);
    }();
    return *a;
}

// Throws `what` from its handler of a posted QEvent::User, as a faulty handler of the program would.
class Thrower : public QWidget {
public:
    explicit Thrower(std::string what) : what_(std::move(what)) {}

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error(what_);
        return QWidget::event(e);
    }

private:
    std::string what_;
};

} // namespace forms_test
