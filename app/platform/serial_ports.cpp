#include "platform/serial_ports.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The UART type of a ttyS port; -1 when it cannot be read.
long uartType(const std::string &entry)
{
    int fd = ::open((entry + "/type").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char buf[32];
    ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0)
        return -1;
    buf[n] = '\0';
    char *end = nullptr;
    long v = strtol(buf, &end, 10);
    return end == buf ? -1 : v;
}

} // namespace

bool naturalLess(std::string_view a, std::string_view b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            size_t si = i, sj = j;
            while (si < a.size() && a[si] == '0')
                ++si;
            while (sj < b.size() && b[sj] == '0')
                ++sj;
            size_t ei = si, ej = sj;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            // Without leading zeros, the longer run is the larger number.
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            if (int c = a.substr(si, ei - si).compare(b.substr(sj, ej - sj)); c != 0)
                return c < 0;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return (unsigned char)a[i] < (unsigned char)b[j];
            ++i;
            ++j;
        }
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b;  // equal by value ("01" and "1"): a fixed order all the same
}

std::vector<std::string> listSerialPorts(const std::string &configuredPort, const std::string &sysfsRoot)
{
    std::vector<std::string> names;
    std::string ttyDir = sysfsRoot + "/class/tty";
    if (DIR *d = opendir(ttyDir.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            std::string entry = ttyDir + "/" + name;
            struct stat st {};
            if (lstat((entry + "/device").c_str(), &st) != 0)
                continue;  // virtual terminals, pseudo-terminals, the console
            if (name.rfind("ttyS", 0) == 0 && uartType(entry) == 0)
                continue;  // a ttyS slot with no UART
            names.push_back(std::move(name));
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) { return naturalLess(a, b); });
    std::vector<std::string> ports;
    ports.reserve(names.size() + 1);
    for (const auto &n : names)
        ports.push_back("/dev/" + n);
    if (!configuredPort.empty() && std::find(ports.begin(), ports.end(), configuredPort) == ports.end())
        ports.push_back(configuredPort);
    return ports;
}

} // namespace platform
