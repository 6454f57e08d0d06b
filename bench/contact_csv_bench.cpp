// Timings of the contact CSV file: exporting a book of 10,000 typical contacts (a name, two or
// three numbers, a mail address, an address or a note, a group; a third of them Chinese) and
// importing that file again as a new book, as the main window's save and load commands do. Prints
// the median of several runs and fails (exit 1) when the export takes 0.3 s or more or the import
// 0.5 s or more. A program, not a test: run it by hand in a Release build, e.g.
// `build-rel/bench/contact_csv_bench [contacts]`.

#include "content/fake_env.h"
#include "content/phonebook_manage.h"

#include "bench_contacts.h"
#include "bench_timing.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace content;

namespace {

constexpr double kExportLimit = 0.3;
constexpr double kImportLimit = 0.5;
constexpr int kRuns = 7;

TMobileVacrd typicalContact(int i)
{
    return bench::typicalContact(i, "met at the fair, \"VIP\"\r\ncall after 6", 1);
}

FieldParam param(int32_t type, int32_t maxLen)
{
    FieldParam p;
    p.type = type;
    p.maxLen = maxLen;
    return p;
}

} // namespace

int main(int argc, char **argv)
{
    int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    char tmpl[] = "/tmp/selvark-csv-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string dir = tmpl;
    const std::string path = dir + "/contacts.csv";

    FakeEnv env;
    TPhoneBookManage pb(env);
    int b = pb.AddFileBook(dir + "/source.csv");
    ContactBook &bk = pb.book(b);
    bk.phoneType = {"Acme", "A100"};
    bk.limits = {14, 40, 20, 40, 10};
    bk.contactsTemplate = {param(kFieldName, 40),  param(kFieldTel, 40),  param(kFieldTel, 40),
                           param(kFieldTel, 40),   param(kFieldEmail, 60), param(kFieldAddr, 120),
                           param(kFieldNote, 200), param(kFieldGroup, 3)};
    // Rows are put in directly: saving one by one looks for a free position each time.
    platform::Table &t = bk.table;
    for (int i = 0; i < count; ++i) {
        t.append();
        t.setInt("Id", i + 1);
        t.setInt("Stor", 2);
        t.setInt("Pos", toInt(StorageCode::Contacts));
        t.setInt("PbId", i + 1);
        t.setText("Value", TPhoneBookManage::BuildContact(typicalContact(i)));
        t.post();
    }

    int failures = 0;
    double exportTime = bench::medianSeconds(kRuns, [&] { failures += pb.ExportToCsv(b, path) != 0; });
    size_t bytes = std::filesystem::file_size(path);
    const std::string first = pb.BuildCsv(b).ToText();

    int imported = 0;
    bool same = true;
    double importTime = bench::medianSeconds(kRuns, [&] {
        FakeEnv e;
        TPhoneBookManage fresh(e);
        imported = fresh.ImportFromCsv(path);
        same = same && imported == 1 && fresh.book(1).table.totalRows() == count && e.prompt.texts().empty();
    });
    {
        TPhoneBookManage again(env);
        same = same && again.ImportFromCsv(path) == 1 && again.BuildCsv(1).ToText() == first;
    }
    std::filesystem::remove_all(dir);

    std::printf("%d contacts, %zu bytes of CSV\n", count, bytes);
    std::printf("export: %.3f s (median of %d)\n", exportTime, kRuns);
    std::printf("import: %.3f s (median of %d)\n", importTime, kRuns);
    if (failures || !same) {
        std::printf("FAIL: the file was not written, or did not read back to the same book\n");
        return 1;
    }
    if (exportTime >= kExportLimit || importTime >= kImportLimit) {
        std::printf("FAIL: over %.1f s (export) or %.1f s (import)\n", kExportLimit, kImportLimit);
        return 1;
    }
    return 0;
}
