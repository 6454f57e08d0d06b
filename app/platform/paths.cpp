#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

namespace platform {

namespace {

std::mutex g_overrideMutex;
std::string g_programDirOverride;

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool exists(const std::string &path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Byte-wise smallest entry of dir whose folded name equals the folded name; empty when none.
std::string findFolded(const std::string &dir, std::string_view name)
{
    DIR *d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return {};
    std::string best;
    while (dirent *e = readdir(d)) {
        std::string_view n(e->d_name);
        if (n == "." || n == "..")
            continue;
        if (equalsNoCase(n, name) && (best.empty() || n < best))
            best.assign(n);
    }
    closedir(d);
    return best;
}

} // namespace

std::string asciiLower(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = lowerAscii(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

bool endsWithNoCase(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && equalsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

std::string programDir()
{
    {
        std::lock_guard lock(g_overrideMutex);
        if (!g_programDirOverride.empty())
            return g_programDirOverride;
    }
    // readlink does not say whether it truncated: grow until the answer is shorter than the buffer.
    std::string buf(256, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            return {};
        if (size_t(n) < buf.size()) {
            buf.resize(size_t(n));
            break;
        }
        if (buf.size() >= 65536)
            return {};
        buf.resize(buf.size() * 2);
    }
    size_t slash = buf.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : buf.substr(0, slash);
}

void setProgramDirOverride(std::string dir)
{
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    std::lock_guard lock(g_overrideMutex);
    g_programDirOverride = std::move(dir);
}

std::string resolveCase(std::string_view path)
{
    std::string out;
    bool absolute = !path.empty() && path.front() == '/';
    if (absolute)
        out = "/";
    bool matching = true;  // false once a component is missing: the rest keeps its spelling
    size_t pos = absolute ? 1 : 0;
    bool first = true;
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string_view::npos)
            end = path.size();
        std::string_view comp = path.substr(pos, end - pos);
        std::string dir = out.empty() ? std::string(".") : out;
        if (!first && !(out.size() == 1 && out[0] == '/'))
            out += '/';
        first = false;
        if (matching && !comp.empty() && comp != "." && comp != "..") {
            std::string exact = dir + (dir.back() == '/' ? "" : "/") + std::string(comp);
            if (!exists(exact)) {
                std::string found = findFolded(dir, comp);
                if (!found.empty()) {
                    out += found;
                } else {
                    out += comp;
                    matching = false;
                }
            } else {
                out += comp;
            }
        } else {
            out += comp;
        }
        if (end == path.size())
            break;
        pos = end + 1;
    }
    return out;
}

std::vector<std::string> filesWithSuffix(const std::string &dir, std::string_view suffix)
{
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return names;
    while (dirent *e = readdir(d)) {
        std::string_view n(e->d_name);
        if (n.size() <= suffix.size() || !endsWithNoCase(n, suffix))
            continue;
        struct stat st {};
        std::string full = dir + "/" + std::string(n);
        if (stat(full.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;
        names.emplace_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace platform
