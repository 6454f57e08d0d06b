// Timings of the phrase manager: importing an exported pair of 10,000 phrases in 200 groups into
// an empty program folder (both files read and checked, groups added, phrases appended), and
// listing one group of 10,000 phrases into a real QTreeWidget offscreen. Prints the median of
// several runs against the budgets (0.3 s and 0.2 s). A program, not a test: run it by hand in a
// Release build, e.g. `build-rel/bench/phrase_bench`.

#include "bench_timing.h"
#include "content/fake_env.h"
#include "content/phrase_mng.h"
#include "content/qt/phrase_view.h"
#include "core/db_main.h"
#include "core/prompt.h"

#include <QApplication>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using bench::Clock;
using bench::median;
using bench::msSince;

namespace {

// A program folder with its database and phrase manager.
struct Folder {
    std::string root;
    content::FakeEnv env;
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<content::TPhraseMng> mng;

    explicit Folder(const std::string &dir) : root(dir)
    {
        fs::remove_all(root);
        fs::create_directories(root + "/Database");
        env.program = root;
        db = std::make_unique<core::TdbMain>(root + "/Database", &env.prompt);
        mng = std::make_unique<content::TPhraseMng>(*db, env);
    }
    ~Folder()
    {
        mng.reset();
        db.reset();
        fs::remove_all(root);
    }
};

std::string phraseText(int i)
{
    std::string s = "Phrase " + std::to_string(i) + ": I'll be there at half past — 谢谢, bis später";
    while (s.size() < 120)
        s += " and more";
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string base = (fs::temp_directory_path() / "sv_phrase_bench").string();
    constexpr int kGroups = 200, kPhrases = 10000, kRuns = 7;

    // The exported pair.
    {
        Folder src(base + "-src");
        for (int g = 1; g <= kGroups; ++g)
            src.mng->AddGroup("Group " + std::to_string(g) + " it's");
        for (int i = 0; i < kPhrases; ++i)
            src.mng->AddPhrase("Group " + std::to_string(1 + i % kGroups) + " it's", phraseText(i));
        fs::create_directories(base + "-out");
        if (!src.mng->ExportToFile(base + "-out/set.ase")) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
    }

    std::vector<double> imports;
    for (int run = 0; run < kRuns; ++run) {
        Folder dst(base + "-dst");
        dst.mng->Load();
        const auto t0 = Clock::now();
        const bool ok = dst.mng->ImportFromFile(base + "-out/set.ase");
        imports.push_back(msSince(t0));
        if (!ok || dst.db->table(core::DbTable::Phrase).totalRows() != kPhrases) {
            std::fprintf(stderr, "import failed\n");
            return 1;
        }
    }

    std::vector<double> lists;
    {
        Folder one(base + "-one");
        one.mng->AddGroup("Big");
        for (int i = 0; i < kPhrases; ++i)
            one.mng->AddPhrase("Big", phraseText(i));
        QTreeWidget list;
        list.setHeaderLabels({"Content", "Record Time", "Use Times"});
        list.resize(800, 600);
        list.show();
        content::PhraseView view(*one.mng, {}, nullptr);
        for (int run = 0; run < kRuns; ++run) {
            const auto t0 = Clock::now();
            const int n = view.FillList("Big", &list);
            QApplication::processEvents();
            lists.push_back(msSince(t0));
            if (n != kPhrases) {
                std::fprintf(stderr, "listed %d\n", n);
                return 1;
            }
        }
        const auto t0 = Clock::now();
        one.mng->DeleteGroup("Big");
        std::printf("delete a group of %d phrases: %.1f ms\n", kPhrases, msSince(t0));
    }
    fs::remove_all(base + "-out");

    const double imp = median(imports), lst = median(lists);
    std::printf("import %d phrases in %d groups: %.1f ms (budget 300 ms)%s\n", kPhrases, kGroups,
                imp, imp < 300 ? "" : "  OVER");
    std::printf("list a group of %d phrases into a QTreeWidget: %.1f ms (budget 200 ms)%s\n",
                kPhrases, lst, lst < 200 ? "" : "  OVER");
    return imp < 300 && lst < 200 ? 0 : 2;
}
