#include "core/catalogue_scan.h"

#include "platform/loader.h"
#include "platform/paths.h"
#include "platform/table.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <set>
#include <vector>

namespace core {

using platform::Table;

namespace {

// Field sizes the scan checks before it stores a text: a cut text would never match again.
constexpr size_t kNameChars = 100;
constexpr size_t kVersionChars = 10;
constexpr size_t kManChars = 50;
constexpr size_t kConnChars = 100;  // Type, Port, Baud
constexpr size_t kModelChars = 100; // Model1, Model2

const char *const kMngExports[] = {"MsMng_getVer", "MsMng_getSupp", "MsMng_connect", "MsMng_disconnect",
                                   "MsMng_isConnected"};
const char *const kPlugExports[] = {MS_PLUG_GETVER, MS_PLUG_GETSUPP, MS_PLUG_INIT, MS_PLUG_GETITF,
                                    MS_PLUG_CLEANUP};

bool fits(std::string_view text, size_t chars)
{
    return Table::countChars(text) <= chars;
}

std::string orEmpty(const char *s)
{
    return s ? std::string(s) : std::string();
}

bool exists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Deletes every row whose integer field equals value.
void removeWhere(Table &t, const char *field, int32_t value)
{
    while (t.locate(field, value))
        t.remove();
}

// The row (storage order) whose text field equals value exactly; -1 when none. The file name is
// the file's identity on a case-sensitive file system: a case-blind lookup would let "a.so" take
// the row of "A.so" on every scan, or keep a row under a spelling that no longer opens.
int findByName(const Table &t, std::string_view value)
{
    const int f = t.fieldIndex("DllName");
    const auto &rows = t.rows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].textAt(size_t(f)) == value)
            return int(i);
    return -1;
}

int32_t intOf(const Table &t, int row, const char *field)
{
    return t.rows()[size_t(row)].intAt(size_t(t.fieldIndex(field)));
}

std::string textOf(const Table &t, int row, const char *field)
{
    return std::string(t.rows()[size_t(row)].textAt(size_t(t.fieldIndex(field))));
}

std::string versionText(int32_t major, int32_t minor, int32_t build)
{
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
}

template <class Exports>
bool checkExports(const platform::Module &module, const char *const (&names)[5], Exports *out,
                  std::string *missing)
{
    for (const char *name : names) {
        if (!module.symbol(name)) {
            if (missing)
                *missing = name;
            return false;
        }
    }
    if (out) {
        out->getVer = module.function<decltype(out->getVer)>(names[0]);
        out->getSupp = module.function<decltype(out->getSupp)>(names[1]);
    }
    return true;
}

// One scan: the tables, the folder and where notices go.
class Scan {
public:
    Scan(const CatalogueTables &tables, std::string folder, ScanObserver &observer)
        : t_(tables), folder_(std::move(folder)), observer_(observer)
    {
    }

    void driver(const std::string &name);
    void plugin(const std::string &name);
    // Deletes the rows of one table whose file left the folder.
    void dropGone(Table &table, void (*remove)(const CatalogueTables &, int32_t));

private:
    // Loads the file, checks its five exports (check) and asks its version; false (reported) when
    // it is left out. what names the kind of file in the report.
    template <class Exports>
    bool probe(const std::string &name, bool (*check)(const platform::Module &, Exports *, std::string *),
               const char *what, platform::Module &module, Exports &ex, int32_t &fileTime, std::string &version);
    // True when the table's row of the file has the same time and version: it is kept. A row that
    // differs goes, with its dependants.
    bool unchanged(Table &table, const std::string &name, int32_t fileTime, const std::string &version,
                   void (*remove)(const CatalogueTables &, int32_t));
    // Sends the notice and appends the fields a driver row and a plug-in row share; the caller
    // adds the rest and posts.
    void appendFileRow(Table &table, const char *notice, int32_t id, const std::string &name,
                       const std::string &version, int32_t fileTime);

    const CatalogueTables &t_;
    std::string folder_; // ends in '/'
    ScanObserver &observer_;
};

template <class Exports>
bool Scan::probe(const std::string &name, bool (*check)(const platform::Module &, Exports *, std::string *),
                 const char *what, platform::Module &module, Exports &ex, int32_t &fileTime, std::string &version)
{
    if (!fits(name, kNameChars)) {
        observer_.skipped(name, "file name longer than " + std::to_string(kNameChars) + " characters");
        return false;
    }
    const std::string path = folder_ + name;
    if (!fileTimeOf(path, &fileTime)) {
        observer_.skipped(name, "cannot be examined");
        return false;
    }
    std::string error;
    module = platform::Module::open(path, &error);
    if (!module) {
        observer_.skipped(name, "cannot be loaded: " + error);
        return false;
    }
    std::string missing;
    if (!check(module, &ex, &missing)) {
        observer_.skipped(name, std::string("not a ") + what + ": no export " + missing);
        return false;
    }
    int32_t major = 0, minor = 0, build = 0;
    if (int32_t r = ex.getVer(&major, &minor, &build); r < 0) {
        observer_.skipped(name, std::string("its version query answered ") + std::to_string(r));
        return false;
    }
    version = versionText(major, minor, build);
    if (!fits(version, kVersionChars)) {
        observer_.skipped(name, "version \"" + version + "\" longer than " + std::to_string(kVersionChars) +
                                    " characters");
        return false;
    }
    return true;
}

bool Scan::unchanged(Table &table, const std::string &name, int32_t fileTime, const std::string &version,
                     void (*remove)(const CatalogueTables &, int32_t))
{
    const int row = findByName(table, name);
    if (row < 0)
        return false;
    if (intOf(table, row, "FileTime") == fileTime && textOf(table, row, "Version") == version)
        return true;
    remove(t_, intOf(table, row, "ID"));
    return false;
}

void Scan::appendFileRow(Table &table, const char *notice, int32_t id, const std::string &name,
                         const std::string &version, int32_t fileTime)
{
    observer_.notice(notice + name);
    table.append();
    table.setInt("ID", id);
    table.setText("DllName", name);
    table.setText("DllPath", folder_);
    table.setText("Version", version);
    table.setInt("FileTime", fileTime);
}

void Scan::driver(const std::string &name)
{
    platform::Module module;
    MngExports ex;
    int32_t fileTime = 0;
    std::string version;
    if (!probe(name, CheckMngExports, "driver", module, ex, fileTime, version))
        return;
    const char *manText = nullptr;
    const ConnSupp *supp = nullptr;
    if (int32_t r = ex.getSupp(&manText, &supp); r < 0) {
        observer_.skipped(name, "MsMng_getSupp answered " + std::to_string(r));
        return;
    }
    const std::string man = orEmpty(manText);
    if (!fits(man, kManChars)) {
        observer_.skipped(name, "manufacturer longer than " + std::to_string(kManChars) + " characters");
        return;
    }

    if (unchanged(t_.baseInfo, name, fileTime, version, DeleteBase))
        return;
    const int32_t id = NextId(t_.baseInfo);
    appendFileRow(t_.baseInfo, "Mng ", id, name, version, fileTime);
    t_.baseInfo.setText("Man", man);
    t_.baseInfo.post();
    SaveConnInfo(t_, id, supp, &observer_, name);
    // The module is released here, before the next file.
}

void Scan::plugin(const std::string &name)
{
    platform::Module module;
    PlugExports ex;
    int32_t fileTime = 0;
    std::string version;
    if (!probe(name, CheckPlugExports, "plug-in", module, ex, fileTime, version))
        return;
    const char *manText = nullptr;
    const PlugSupp *supp = nullptr;
    const int32_t count = ex.getSupp(&manText, &supp);
    if (count < 0) {
        observer_.skipped(name, "MsPlug_getSupp answered " + std::to_string(count));
        return;
    }
    const std::string man = orEmpty(manText);

    // The driver of the plug-in's manufacturer (whole text, without case).
    int32_t baseId = 0;
    bool found = false;
    {
        const Table &b = t_.baseInfo;
        const int fMan = b.fieldIndex("Man"), fId = b.fieldIndex("ID");
        for (const platform::Row &r : b.rows())
            if (platform::equalsNoCase(r.textAt(size_t(fMan)), man)) {
                baseId = r.intAt(size_t(fId));
                found = true;
                break;
            }
    }
    if (!found) {
        observer_.skipped(name, "no catalogued driver serves \"" + man + "\"");
        return;
    }

    if (unchanged(t_.plugInfo, name, fileTime, version, DeletePlug))
        return;
    const int32_t id = NextId(t_.plugInfo);
    appendFileRow(t_.plugInfo, "Pulg ", id, name, version, fileTime);
    t_.plugInfo.setInt("BaseId", baseId);
    t_.plugInfo.post();
    SaveModelRef(t_, id, supp, count, &observer_, name);
}

void Scan::dropGone(Table &table, void (*remove)(const CatalogueTables &, int32_t))
{
    std::vector<int32_t> gone;
    const int fName = table.fieldIndex("DllName"), fId = table.fieldIndex("ID");
    for (const platform::Row &r : table.rows())
        if (!exists(folder_ + std::string(r.textAt(size_t(fName)))))
            gone.push_back(r.intAt(size_t(fId)));
    for (int32_t id : gone)
        remove(t_, id);
}

} // namespace

void ScanObserver::skipped(const std::string &file, const std::string &reason)
{
    std::fprintf(stderr, "Plug-in scan: %s left out: %s\n", file.c_str(), reason.c_str());
}

bool CheckMngExports(const platform::Module &module, MngExports *out, std::string *missing)
{
    return checkExports(module, kMngExports, out, missing);
}

bool CheckPlugExports(const platform::Module &module, PlugExports *out, std::string *missing)
{
    return checkExports(module, kPlugExports, out, missing);
}

int32_t NextId(const Table &table)
{
    const int f = table.fieldIndex("ID");
    std::set<int32_t> used;
    for (const platform::Row &r : table.rows())
        used.insert(r.intAt(size_t(f)));
    int32_t id = 1;
    while (used.count(id))
        ++id;
    return id;
}

void DeleteBase(const CatalogueTables &tables, int32_t baseId)
{
    std::vector<int32_t> plugs;
    {
        const Table &p = tables.plugInfo;
        const int fBase = p.fieldIndex("BaseId"), fId = p.fieldIndex("ID");
        for (const platform::Row &r : p.rows())
            if (r.intAt(size_t(fBase)) == baseId)
                plugs.push_back(r.intAt(size_t(fId)));
    }
    for (int32_t id : plugs)
        DeletePlug(tables, id);
    removeWhere(tables.connInfo, "BaseId", baseId);
    removeWhere(tables.baseInfo, "ID", baseId);
}

void DeletePlug(const CatalogueTables &tables, int32_t plugId)
{
    removeWhere(tables.modelRef, "PlugId", plugId);
    removeWhere(tables.plugInfo, "ID", plugId);
}

void SaveConnInfo(const CatalogueTables &tables, int32_t baseId, const ConnSupp *rows,
                  ScanObserver *observer, const std::string &file)
{
    Table &c = tables.connInfo;
    removeWhere(c, "BaseId", baseId);
    for (int32_t i = 0; rows && i < kMaxSuppRows && rows[i].type; ++i) {
        const std::string type = rows[i].type, port = orEmpty(rows[i].port), baud = orEmpty(rows[i].bauds);
        if (!fits(type, kConnChars) || !fits(port, kConnChars) || !fits(baud, kConnChars)) {
            if (observer)
                observer->skipped(file, "connection row " + std::to_string(i + 1) + ": a text longer than " +
                                            std::to_string(kConnChars) + " characters");
            continue;
        }
        const int32_t id = NextId(c);
        c.append();
        c.setInt("ID", id);
        c.setInt("BaseId", baseId);
        c.setText("Type", type);
        c.setText("Port", port);
        c.setText("Baud", baud);
        c.post();
    }
}

void SaveModelRef(const CatalogueTables &tables, int32_t plugId, const PlugSupp *rows, int32_t count,
                  ScanObserver *observer, const std::string &file)
{
    Table &m = tables.modelRef;
    removeWhere(m, "PlugId", plugId);
    const int32_t n = count < kMaxSuppRows ? count : kMaxSuppRows;
    for (int32_t i = 0; rows && i < n && rows[i].Man; ++i) {
        const std::string man = rows[i].Man, m1 = orEmpty(rows[i].Model1), m2 = orEmpty(rows[i].Model2);
        if (!fits(man, kManChars) || !fits(m1, kModelChars) || !fits(m2, kModelChars)) {
            if (observer)
                observer->skipped(file, "model row " + std::to_string(i + 1) + ": a text longer than its field");
            continue;
        }
        const int32_t id = NextId(m);
        m.append();
        m.setInt("ID", id);
        m.setInt("PlugId", plugId);
        m.setText("Man", man);
        m.setText("Model1", m1);
        m.setText("Model2", m2);
        m.post();
    }
}

bool fileTimeOf(const std::string &path, int32_t *fileTime)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    const uint64_t ns = uint64_t(st.st_mtim.tv_sec) * 1000000000ull + uint64_t(st.st_mtim.tv_nsec);
    if (fileTime)
        *fileTime = int32_t(uint32_t(ns) ^ uint32_t(ns >> 32));
    return true;
}

bool ScanPlugins(const CatalogueTables &tables, const std::string &programDir, ScanObserver &observer)
{
    std::string folder = platform::resolveCase(programDir + "/Plug-in");
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        if (::mkdir(folder.c_str(), 0755) != 0 && ::stat(folder.c_str(), &st) != 0) {
            observer.skipped(folder, "the Plug-in folder cannot be created");
            return false;
        }
    } else if (!S_ISDIR(st.st_mode)) {
        observer.skipped(folder, "not a folder");
        return false;
    }
    if (DIR *d = ::opendir(folder.c_str())) {
        ::closedir(d);
    } else {
        observer.skipped(folder, "the Plug-in folder cannot be read");
        return false;
    }
    folder += '/';

    // The scan walks and deletes by lookups: no filter may hide rows from it.
    for (Table *t : {&tables.baseInfo, &tables.plugInfo, &tables.modelRef, &tables.connInfo}) {
        if (t->editing())
            t->cancel();
        t->clearFilter();
    }

    Scan scan(tables, folder, observer);
    for (const std::string &name : platform::filesWithSuffix(folder, ".so")) {
        try {
            scan.driver(name);
        } catch (const std::exception &e) {
            observer.skipped(name, e.what());
        }
    }
    scan.dropGone(tables.baseInfo, DeleteBase);
    for (const std::string &name : platform::filesWithSuffix(folder, ".plug")) {
        try {
            scan.plugin(name);
        } catch (const std::exception &e) {
            observer.skipped(name, e.what());
        }
    }
    scan.dropGone(tables.plugInfo, DeletePlug);
    return true;
}

} // namespace core
