#include "forms/support/forms_app.h"

namespace forms_test {

QApplication &app()
{
    static int argc = 1;
    static char name[] = "forms_tests";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: at exit Qt's input devices would go after the statics they need.
    static QApplication *a = new QApplication(argc, argv);
    return *a;
}

} // namespace forms_test

// Font look-ups make fontconfig fill caches it never frees; they are not ours.
extern "C" __attribute__((visibility("default"), used)) const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
