// A fresh program folder for one catalogue test: a Plug-in folder filled with copies of the
// fixture modules (tests/core/fixtures) or of the real driver and plug-in, the four catalogue
// tables, a scan observer that records what it is told, and a fake sysfs for the port list.
#pragma once

#include "core/catalogue.h"
#include "core/catalogue_scan.h"
#include "core/db_schema.h"
#include "platform/loader.h"
#include "platform/table.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace catalogue_test {

namespace fs = std::filesystem;

inline const std::string kFixtureDir = SV_FIXTURE_PLUGIN_DIR;
inline const std::string kDistDir = SELVARK_DIST_DIR;

// The four tables as the data module holds them.
struct Tables {
    platform::Table base = core::makeDbTable(core::DbTable::BaseInfo);
    platform::Table plug = core::makeDbTable(core::DbTable::PlugInfo);
    platform::Table model = core::makeDbTable(core::DbTable::ModelRef);
    platform::Table conn = core::makeDbTable(core::DbTable::ConnInfo);

    core::CatalogueTables refs() { return {base, plug, model, conn}; }
    std::shared_ptr<const core::Catalogue> snapshot() { return core::Catalogue::fromTables(refs()); }
};

struct Recorder : core::ScanObserver {
    std::vector<std::string> notices;
    std::vector<std::string> skippedFiles; // one entry per report
    std::vector<std::string> reasons;
    int mostOpenAtNotice = 0;

    void notice(const std::string &text) override
    {
        notices.push_back(text);
        mostOpenAtNotice = std::max(mostOpenAtNotice, platform::Module::openCount());
    }
    void skipped(const std::string &file, const std::string &reason) override
    {
        skippedFiles.push_back(file);
        reasons.push_back(reason);
    }
    void clear() { *this = Recorder{}; }
};

class ProgramDir {
public:
    ProgramDir()
    {
        std::string pattern = (fs::temp_directory_path() / "sv_catalogue_XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        root_ = pattern;
    }
    ~ProgramDir()
    {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    ProgramDir(const ProgramDir &) = delete;
    ProgramDir &operator=(const ProgramDir &) = delete;

    const std::string &root() const { return root_; }
    std::string plugin(const std::string &name) const { return root_ + "/Plug-in/" + name; }

    // Copies a fixture module into Plug-in (under another name when given). The copy is written
    // beside its place and renamed over it, as an installer does: a module that the process still
    // maps is never rewritten in place.
    void addFixture(const std::string &fixture, const std::string &as = {}) const
    {
        install(kFixtureDir + "/" + fixture, as.empty() ? fixture : as);
    }
    // The real driver and model plug-in, with the libraries they find beside the Plug-in folder.
    void addRealPair() const
    {
        install(kDistDir + "/Plug-in/Pelurin.so", "Pelurin.so");
        install(kDistDir + "/Plug-in/Generic.plug", "Generic.plug");
        for (const auto &e : fs::directory_iterator(kDistDir))
            if (e.is_regular_file() && e.path().extension() == ".so")
                fs::create_symlink(e.path(), fs::path(root_) / e.path().filename());
    }
    void writeFile(const std::string &name, const std::string &text) const
    {
        fs::create_directories(root_ + "/Plug-in");
        const std::string tmp = plugin(name) + ".new";
        std::ofstream(tmp, std::ios::binary) << text;
        fs::rename(tmp, plugin(name));
    }
    void remove(const std::string &name) const { fs::remove(plugin(name)); }

    // Sets the file's modification time.
    void setTime(const std::string &name, time_t sec, long nsec) const
    {
        timespec times[2] = {{sec, nsec}, {sec, nsec}};
        ASSERT_EQ(utimensat(AT_FDCWD, plugin(name).c_str(), times, 0), 0) << name;
    }
    timespec time(const std::string &name) const
    {
        struct stat st {};
        EXPECT_EQ(::stat(plugin(name).c_str(), &st), 0) << name;
        return st.st_mtim;
    }

    // A fake /sys with two serial devices and a virtual terminal that is not one.
    std::string fakeSysfs() const
    {
        const std::string sys = root_ + "/sys";
        for (const char *name : {"ttyS0", "ttyUSB0", "tty1"}) {
            const std::string dir = sys + "/class/tty/" + name;
            fs::create_directories(dir);
            if (std::string(name) != "tty1")
                fs::create_directory_symlink(std::string("../../../devices/") + name, dir + "/device");
        }
        std::ofstream(sys + "/class/tty/ttyS0/type") << "4\n";
        return sys;
    }

private:
    void install(const std::string &from, const std::string &name) const
    {
        fs::create_directories(root_ + "/Plug-in");
        const std::string tmp = plugin(name) + ".new";
        fs::copy_file(from, tmp, fs::copy_options::overwrite_existing);
        fs::rename(tmp, plugin(name));
    }

    std::string root_;
};

// Rows of a table in storage order, as "field=value" texts, for readable comparisons.
inline std::vector<std::vector<std::string>> textRows(const platform::Table &t,
                                                      const std::vector<std::string> &fields)
{
    std::vector<std::vector<std::string>> out;
    for (const platform::Row &r : t.rows()) {
        std::vector<std::string> row;
        for (const std::string &f : fields) {
            const int i = t.fieldIndex(f);
            const auto &def = t.fields()[size_t(i)];
            row.push_back(def.type == platform::FieldType::Text ? std::string(r.textAt(size_t(i)))
                                                                 : std::to_string(r.intAt(size_t(i))));
        }
        out.push_back(std::move(row));
    }
    return out;
}

} // namespace catalogue_test
