// Acting on a modal dialog that the code under test opens and runs itself (exec() does not return
// to the test until the dialog closes).
//
//   forms_test::whenModal("FrmProgress", [&](QWidget *dlg) { QTest::keyClick(dlg, Qt::Key_Escape); });
//   progress.run(client, batch);   // the callback runs inside the dialog's modal loop
//
// The callback runs once, when a visible modal widget with that object name is the active modal
// widget. When none comes up within the time limit the test fails and the modal widget that is up
// (if any) is rejected, so a test never hangs on a dialog nobody answers.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace forms_test {

void whenModal(const QString &objectName, std::function<void(QWidget *)> fn, int timeoutMs = 10000);

// Runs the event loop until pred holds or timeoutMs passes; answers pred().
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 10000);

} // namespace forms_test
