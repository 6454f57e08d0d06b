// For form tests: translate a form with the English texts the build ships and fail, listing them,
// on every key the form looked up that English.dat lacks (its <prefix>_Caption included).
//
//   TfSet form;
//   lang_qt_test::expectFullyTranslated(&form, "fSet");
//
// Link the test with sv_lang_qt_check.
#pragma once

#include <string>

class QWidget;

namespace lang_qt_test {

// The folder holding the built program (dist/): its Language/English.dat is what is checked.
std::string distDir();

void expectFullyTranslated(QWidget *form, const std::string &prefix, bool withCaption = true);

} // namespace lang_qt_test
