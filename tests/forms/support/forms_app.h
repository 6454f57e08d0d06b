// The offscreen application every form test runs in, created once for the test binary.
//
//   TEST(MyForm, Opens) { forms_test::app(); TfFoo form; ... }
#pragma once

#include "core/lang_qt/expect_translated.h" // expectFullyTranslated for every form test

#include <QApplication>

namespace forms_test {

// Sets QT_QPA_PLATFORM=offscreen unless the caller chose a platform, and makes the application.
QApplication &app();

} // namespace forms_test
