// Stands in for Selvark in a program folder that scripts/run.sh starts: the same program block the
// executable runs, in-process, with what a user does after the start done by the probe. It waits for
// the automatic connection with the settings as a fresh folder has them, reads the status bar,
// downloads the messages, lists the handset's box and ends through the main window's close.
// Prints what it saw; the exit status is 0 only when the maker and model were shown and every
// demo message was listed.
// First: its header uses a name that Qt's headers define as a keyword.
#include "content/sms_transfer.h"

#include "content/qt/sms_view.h"
#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "forms/f_main.h"
#include "program/program.h"
#include "program/stages.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

// Processes events until cond holds or the limit passes.
template <typename F> bool waitUntil(F cond, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool listHolds(const QTreeView *list, const QString &text)
{
    const QAbstractItemModel *m = list->model();
    for (int r = 0; r < m->rowCount(); ++r)
        for (int c = 0; c < m->columnCount(); ++c)
            if (m->index(r, c).data().toString().contains(text))
                return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    program::Program p{program::ProgramOptions{}};
    if (p.start(argc, argv) != program::Program::Start::Running) {
        std::printf("probe: the program did not start (another instance?)\n");
        return 3;
    }
    int failures = 0;
    auto fail = [&failures](const std::string &what) {
        std::printf("probe: FAIL %s\n", what.c_str());
        ++failures;
    };
    QTimer::singleShot(0, &p.mainWindow(), [&] {
        forms::TfMain &main = p.mainWindow();
        if (!waitUntil([&] { return p.manage().Connected; }, std::chrono::seconds(30))) {
            fail("no connection; status: " + main.statusPanel(0)->text().toStdString());
        } else {
            const QString device = main.statusPanel(1)->text();
            std::printf("probe: status bar: %s | %s\n", main.statusPanel(0)->text().toUtf8().constData(),
                        device.toUtf8().constData());
            if (!device.contains("SIMULATED") || !device.contains("HS-1000"))
                fail("maker and model not in the status bar");
            if (p.stages().smsTransfer().Download() != 0)
                fail("the download failed");
            QTreeWidget *tree = main.TreeView_sms();
            for (QTreeWidgetItemIterator it(tree); *it; ++it)
                if ((*it)->data(0, content::kBoxIdRole).toInt() == content::kBoxPhone) {
                    tree->setCurrentItem(*it);
                    main.TreeView_smsChange();
                }
            QTreeView *list = main.ListView_sms();
            std::printf("probe: handset box lists %d messages\n", list->model()->rowCount());
            for (const char *text : {"Grüße aus Köln! Bis morgen.", "Lunch at noon?", "On my way", "À bientôt, Zoë",
                                     "Report sent."})
                if (!listHolds(list, QString::fromUtf8(text)))
                    fail(std::string("not listed: ") + text);
        }
        main.close();
    });
    p.run();
    p.shutDown();
    if (!p.workerStoppedInTime())
        fail("the worker did not stop in time");
    std::printf("probe: %s\n", failures ? "failed" : "ok");
    return failures ? 1 : 0;
}
