// Timings of the contact views where the user waits: listing a storage of 10,000 entries (the
// vCard texts parsed, the rows built, one bulk insertion into a real QTreeWidget offscreen, shown
// and painted), printing 1,000 entries to a PDF file, and saving 10,000 contacts one by one into a
// file book, as a copy into a file does. Prints the median of several runs and fails (exit 2) when
// a listing takes 0.3 s or more or a print 2 s or more. A program, not a test: run it by hand in a
// Release build, e.g. `build-rel/bench/contacts_view_bench [entries]`.

#include "bench_timing.h"
#include "content/contacts_view.h"
#include "content/fake_env.h"
#include "content/qt/contacts_qt.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace content;
using bench::Clock;
using bench::median;
using bench::msSince;

namespace {

constexpr double kFillLimitMs = 300;
constexpr double kPrintLimitMs = 2000;
constexpr int kRuns = 7;

// A SIM entry: a name (a third Chinese), a number, every fifth in a group.
TMobileVacrd simEntry(int i)
{
    const std::string n = std::to_string(i);
    TMobileVacrd e{{kFieldName, -1, i % 3 == 0 ? "张" + n + ";三丰" : "Kowalski" + n + ";Jan"},
                   {kFieldTel, 0, "+48600" + n}};
    if (i % 5 == 0)
        e.push_back({kFieldGroup, 0, std::to_string(1 + i % 3)});
    return e;
}

// A contact of the contacts storage: name, three numbers, mail, sometimes an address and a note.
TMobileVacrd contact(int i)
{
    const bool chinese = i % 3 == 0;
    const std::string n = std::to_string(i);
    TMobileVacrd c{{kFieldName, -1, chinese ? "张;" + n + "三丰" : "Kowalski" + n + ";Jan"},
                   {kFieldTel, 0x140, "+48600" + n},
                   {kFieldTel, 0x802, "+4822" + n},
                   {kFieldTel, 0x401, "+4822" + n + "9"},
                   {kFieldEmail, 0x40, "user" + n + "@example.com"},
                   {kFieldGroup, 0, std::to_string(1 + i % 3)}};
    if (i % 4 == 1)
        c.push_back({kFieldAddr, 0x1, chinese ? ";;长安街" + n + "号;北京;;100000;中国" : ";;Prosta " + n + ";Warszawa;;00-950;Polska"});
    if (i % 5 == 2)
        c.push_back({kFieldNote, 0, chinese ? "备注：老同学" : "met at the fair"});
    SortFields(c);
    return c;
}

// A file book of n rows of one storage, as an import leaves it.
int makeBook(TPhoneBookManage &pb, const std::string &name, StorageCode s, int n)
{
    const int b = pb.AddFileBook("/bench/" + name + ".csv");
    ContactBook &bk = pb.book(b);
    bk.groupNames = {"Family", "Work", "同事"};
    bk.contactsTemplate = {{kFieldName, 0, 40}, {kFieldTel, 0, 20}, {kFieldEmail, 0, 40}, {kFieldGroup, 0, 10}};
    platform::Table &t = bk.table;
    for (int i = 0; i < n; ++i) {
        t.append();
        t.setInt("Id", i + 1);
        t.setInt("Stor", s == StorageCode::Sim ? 1 : 2);
        t.setInt("Pos", int32_t(s));
        t.setInt("PbId", i + 1);
        t.setText("Value", TPhoneBookManage::BuildContact(s == StorageCode::Contacts ? contact(i) : simEntry(i)));
        t.post();
    }
    return b;
}

double fillMs(TPhoneBookManage &pb, FakeEnv &env, int book, StorageCode s, QTreeWidget &list, int &rows)
{
    std::vector<double> t;
    for (int r = 0; r < kRuns; ++r) {
        const auto t0 = Clock::now();
        fillContactList(&list, FillList(pb, env, book, s, list.viewport()->width()));
        QApplication::processEvents();
        t.push_back(msSince(t0));
    }
    rows = list.topLevelItemCount();
    return median(std::move(t));
}

double printMs(TPhoneBookManage &pb, FakeEnv &env, int book, const QString &file, int &pages)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    std::vector<double> t;
    for (int r = 0; r < 3; ++r) {
        const auto t0 = Clock::now();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setResolution(300);
        const QRect page(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
        pages = 1;
        if (PrintContacts(pb, env, book, printer, font, page, 100, 100, false,
                          [&] { return ++pages, printer.newPage(); }) != 0)
            return -1;
        t.push_back(msSince(t0)); // the painter has ended: the file is written
    }
    return median(std::move(t));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int printed = std::min(n, 1000);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    FakeEnv env;
    TPhoneBookManage pb(env);
    const int sim = makeBook(pb, "sim", StorageCode::Sim, n);
    const int contacts = makeBook(pb, "contacts", StorageCode::Contacts, n);
    const int simPrint = makeBook(pb, "simprint", StorageCode::Sim, printed);
    const int contactsPrint = makeBook(pb, "contactsprint", StorageCode::Contacts, printed);

    QTreeWidget list;
    list.resize(800, 600);
    list.setSortingEnabled(true);
    list.show();
    int simRows = 0, contactRows = 0;
    const double simFill = fillMs(pb, env, sim, StorageCode::Sim, list, simRows);
    const double contactFill = fillMs(pb, env, contacts, StorageCode::Contacts, list, contactRows);

    int simPages = 0, contactPages = 0;
    const double simPrintMs = printMs(pb, env, simPrint, dir.filePath("sim.pdf"), simPages);
    const double contactPrintMs = printMs(pb, env, contactsPrint, dir.filePath("contacts.pdf"), contactPages);

    // Saving one by one into an empty file book: each save looks for the smallest free position.
    const int target = pb.AddFileBook("/bench/target.csv");
    std::vector<TMobileVacrd> entries;
    for (int i = 0; i < n; ++i)
        entries.push_back(simEntry(i));
    const auto s0 = Clock::now();
    int32_t lastPos = 0;
    for (const TMobileVacrd &e : entries) {
        int32_t pos = -1;
        if (pb.SaveContact(target, StorageCode::Sim, pos, e) != 0)
            return 1;
        lastPos = pos;
    }
    const double saveMs = msSince(s0);

    std::printf("SIM list of %d entries:        %.1f ms median of %d, %d rows (limit %.0f ms)\n", n, simFill,
                kRuns, simRows, kFillLimitMs);
    std::printf("contact list of %d contacts:   %.1f ms median of %d, %d rows (limit %.0f ms)\n", n, contactFill,
                kRuns, contactRows, kFillLimitMs);
    std::printf("print of %d SIM entries:        %.1f ms median of 3, %d pages (limit %.0f ms)\n", printed,
                simPrintMs, simPages, kPrintLimitMs);
    std::printf("print of %d contacts:           %.1f ms median of 3, %d pages (limit %.0f ms)\n", printed,
                contactPrintMs, contactPages, kPrintLimitMs);
    std::printf("saving %d entries one by one:  %.1f ms, last position %d\n", n, saveMs, lastPos);
    if (simRows != n || contactRows != n || lastPos != n || simPrintMs < 0 || contactPrintMs < 0)
        return 1;
    const bool ok = simFill < kFillLimitMs && contactFill < kFillLimitMs && simPrintMs < kPrintLimitMs &&
                    contactPrintMs < kPrintLimitMs;
    return ok ? 0 : 2;
}
