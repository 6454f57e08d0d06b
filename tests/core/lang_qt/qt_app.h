// One offscreen QApplication for the whole test binary.
#pragma once

#include <QApplication>

namespace lang_qt_test {

inline QApplication &app()
{
    static int argc = 1;
    static char name[] = "lang_qt_tests";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: at exit Qt's input devices would go after the statics they need.
    static QApplication *a = new QApplication(argc, argv);
    return *a;
}

} // namespace lang_qt_test

// Looking for a CJK stand-in font makes fontconfig fill caches it never frees; they are not ours.
extern "C" __attribute__((visibility("default"), used)) inline const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
