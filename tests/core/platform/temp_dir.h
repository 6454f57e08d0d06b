// A fresh folder under /tmp for one test, removed with everything in it at the end.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <filesystem>

namespace platform_test {

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/selvark-platform-XXXXXX";
        const char *p = ::mkdtemp(tmpl);
        path_ = p ? p : "";
    }
    ~TempDir()
    {
        std::error_code ec;
        // A test may leave a read-only file behind: the folder's own bits decide removal.
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

    // Names in the folder, sorted.
    std::vector<std::string> list() const;

private:
    std::string path_;
};

// Names in the folder dir, sorted.
inline std::vector<std::string> listFolder(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::vector<std::string> TempDir::list() const { return listFolder(path_); }

inline std::string readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeText(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

} // namespace platform_test
