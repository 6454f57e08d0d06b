// bench/scale paths of the contacts and phrases: saving contacts one by one, copying and pasting
// selected contacts, adding phrases one by one, importing a phrase pair of many groups, and a
// contact CSV file of one long line.

#include "bench_timing.h"
#include "content/csv_file.h"
#include "content/fake_env.h"
#include "content/phonebook_manage.h"
#include "content/phrase_mng.h"
#include "core/db_main.h"
#include "scale.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace content;
using bench::Clock;

namespace {

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

TMobileVacrd simEntry(int i)
{
    const std::string n = std::to_string(i);
    return {{kFieldName, -1, i % 3 == 0 ? "张" + n + ";三丰" : "Kowalski" + n + ";Jan"}, {kFieldTel, 0, "+48600" + n}};
}

// A file book of n SIM entries at positions 1 .. n.
int makeBook(TPhoneBookManage &pb, const std::string &name, int n)
{
    const int b = pb.AddFileBook("/bench/" + name + ".csv");
    platform::Table &t = pb.book(b).table;
    for (int i = 0; i < n; ++i) {
        t.append();
        t.setInt("Id", i + 1);
        t.setInt("Stor", 1);
        t.setInt("Pos", toInt(StorageCode::Sim));
        t.setInt("PbId", i + 1);
        t.setText("Value", TPhoneBookManage::BuildContact(simEntry(i)));
        t.post();
    }
    return b;
}

double saveContacts(int n)
{
    FakeEnv env;
    TPhoneBookManage pb(env);
    const int target = pb.AddFileBook("/bench/target.csv");
    std::vector<TMobileVacrd> entries;
    for (int i = 0; i < n; ++i)
        entries.push_back(simEntry(i));
    const auto t0 = Clock::now();
    for (const TMobileVacrd &e : entries) {
        int32_t pos = -1;
        if (pb.SaveContact(target, StorageCode::Sim, pos, e) != 0)
            return -1;
    }
    return since(t0);
}

std::vector<int32_t> positions(int n)
{
    std::vector<int32_t> p;
    for (int i = 1; i <= n; ++i)
        p.push_back(i);
    return p;
}

// Every entry of a book of n selected and copied into another book, position by position.
double copyContacts(int n)
{
    FakeEnv env;
    TPhoneBookManage pb(env);
    const int src = makeBook(pb, "src", n);
    const int dst = pb.AddFileBook("/bench/dst.csv");
    const std::vector<int32_t> selected = positions(n);
    const auto t0 = Clock::now();
    size_t copied = 0;
    for (int32_t p : selected)
        copied += pb.CopyEntries(src, StorageCode::Sim, false, p, dst, StorageCode::Sim).size();
    const double s = since(t0);
    return copied == size_t(n) ? s : -1;
}

double pasteContacts(int n)
{
    FakeEnv env;
    TPhoneBookManage pb(env);
    const int src = makeBook(pb, "src", n);
    const int dst = pb.AddFileBook("/bench/dst.csv");
    pb.SetClipboard(src, toInt(StorageCode::Sim), 0, positions(n));
    const auto t0 = Clock::now();
    pb.Paste(dst, toInt(StorageCode::Sim));
    const double s = since(t0);
    return pb.book(dst).table.totalRows() == n ? s : -1;
}

// A program folder with its database and phrase manager.
struct Folder {
    std::string root;
    FakeEnv env;
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<TPhraseMng> mng;

    explicit Folder(const std::string &dir) : root(dir)
    {
        fs::remove_all(root);
        fs::create_directories(root + "/Database");
        env.program = root;
        db = std::make_unique<core::TdbMain>(root + "/Database", &env.prompt);
        mng = std::make_unique<TPhraseMng>(*db, env);
        mng->Load();
    }
    ~Folder()
    {
        mng.reset();
        db.reset();
        fs::remove_all(root);
    }
};

std::string folderName(const char *what)
{
    return (fs::temp_directory_path() / ("sv_scale_" + std::string(what) + "_" + std::to_string(::getpid())))
        .string();
}

double addPhrases(int n)
{
    Folder f(folderName("phrases"));
    for (int g = 1; g <= 20; ++g)
        f.mng->AddGroup("Group " + std::to_string(g));
    const auto t0 = Clock::now();
    for (int i = 0; i < n; ++i)
        if (f.mng->AddPhrase("Group " + std::to_string(1 + i % 20), "Phrase " + std::to_string(i) + ", see you") == 0)
            return -1;
    return since(t0);
}

// A pair of n groups with one phrase each, imported into an empty library.
double importPhraseGroups(int n)
{
    const std::string out = folderName("pair");
    {
        Folder src(folderName("src"));
        platform::Table &g = src.db->table(core::DbTable::PhraseGroup);
        platform::Table &p = src.db->table(core::DbTable::Phrase);
        for (int i = 1; i <= n; ++i) {
            g.append();
            g.setInt("id", i);
            g.setText("pM", "Group " + std::to_string(i));
            g.post();
            p.append();
            p.setInt("id", i);
            p.setInt("Mid", i);
            p.setText("Content", "Phrase of group " + std::to_string(i));
            p.post();
        }
        fs::create_directories(out);
        if (!src.mng->ExportToFile(out + "/set.ase"))
            return -1;
    }
    Folder dst(folderName("dst"));
    const auto t0 = Clock::now();
    const bool ok = dst.mng->ImportFromFile(out + "/set.ase");
    const double s = since(t0);
    fs::remove_all(out);
    return ok && dst.db->table(core::DbTable::Phrase).totalRows() == n ? s : -1;
}

// A contact CSV file whose contacts section holds one line of n bytes (a position and a
// name, then commas up to the size): the import reads only the fields it can use.
double csvOneLongLine(int n)
{
    const std::string path = folderName("csv") + ".csv";
    {
        std::ofstream f(path, std::ios::binary);
        f << "Other,Model\r\nSIM\r\nIndex,Name(14),Tel(40),Group\r\n1,Jan,+48600,";
        const std::string commas(1 << 16, ',');
        for (int left = n; left > 0; left -= int(commas.size()))
            f.write(commas.data(), std::min<int>(left, int(commas.size())));
        f << "\r\n\r\n";
    }
    FakeEnv env;
    TPhoneBookManage pb(env);
    const auto t0 = Clock::now();
    const int b = pb.ImportFromCsv(path);
    const double s = since(t0);
    fs::remove(path);
    return b > 0 && pb.book(b).table.totalRows() == 1 ? s : -1;
}

const bool registered =
    RegisterScalePath({"save contacts one by one", 1000, 10000, saveContacts}) &&
    RegisterScalePath({"copy selected contacts", 1000, 10000, copyContacts}) &&
    RegisterScalePath({"paste selected contacts", 1000, 10000, pasteContacts}) &&
    RegisterScalePath({"add phrases one by one", 30000, 300000, addPhrases}) &&
    RegisterScalePath({"phrase import, many groups", 20000, 200000, importPhraseGroups}) &&
    RegisterScalePath({"contact CSV import, one long line", 1570000, 15700000, csvOneLongLine});

} // namespace
