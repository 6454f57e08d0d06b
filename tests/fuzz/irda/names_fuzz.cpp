// Fuzz entry for the names in the IrDA stand-in's folder, which any local program can write: the
// input is a socket's file name (and, once, a nickname and service offered through the server
// side). Discovery and connect read the folder.
// Promise on any input: a result, never a crash; discovery counts stay within the room given,
// device names are terminated within their field and hold only what the server side writes; a
// name offered through the server side is found again under its sanitized nickname.

#include "fuzz/fuzz_check.h"
#include "transport/irda_standin.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string makeFolder() {
    static std::string base;
    if (base.empty()) {
        char tmpl[] = "/tmp/selvark-irda-fuzz-XXXXXX";
        FUZZ_CHECK(mkdtemp(tmpl) != nullptr);
        base = tmpl;
    }
    return base;
}

void emptyFolder(const std::string &dir) {
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *de = readdir(d)) {
            if (std::strcmp(de->d_name, ".") == 0 || std::strcmp(de->d_name, "..") == 0)
                continue;
            unlinkat(dirfd(d), de->d_name, 0);
        }
        closedir(d);
    }
}

// A socket file named name in dir (what a stranger's program could leave there).
bool bindName(const std::string &dir, const std::string &name) {
    std::string path = dir + "/" + name;
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path)
        return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    FUZZ_CHECK(fd >= 0);
    bool ok = bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    close(fd); // the file stays: a stale socket nobody listens on
    return ok;
}

void checkDevices(const std::string &dir, int room) {
    IrdaStandinDevice devices[4];
    std::memset(devices, '#', sizeof devices);
    int n = IrdaStandin_discover(dir.c_str(), devices, room);
    FUZZ_CHECK(n == -ENETDOWN || (n >= 0 && n <= room));
    for (int i = 0; i < n; ++i) {
        size_t len = strnlen(devices[i].name, sizeof devices[i].name);
        FUZZ_CHECK(len < sizeof devices[i].name);
        int fd = IrdaStandin_connect(dir.c_str(), devices[i].id, "IrDA:IrCOMM");
        if (fd >= 0)
            close(fd);
    }
    for (int i = n < 0 ? 0 : n; i < 4; ++i)
        FUZZ_CHECK(devices[i].name[0] == '#');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 512)
        return 0;
    std::string dir = makeFolder();
    emptyFolder(dir);
    // The input as a file name: '/' and NUL cannot be in one.
    std::string name;
    for (size_t i = 0; i < size && name.size() < 255; ++i)
        if (data[i] != '/' && data[i] != 0)
            name.push_back(static_cast<char>(data[i]));
    if (!name.empty() && name != "." && name != "..")
        bindName(dir, name);
    checkDevices(dir, 4);
    checkDevices(dir, 1);
    checkDevices(dir, 0);

    // The input as a nickname and a service through the server side, in a folder of its own.
    emptyFolder(dir);
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.substr(0, text.find('\0'));
    size_t cut = text.size() / 2;
    std::string nick = text.substr(0, cut), service = text.substr(cut);
    IrdaStandinListener l;
    int r = IrdaStandin_listen(&l, dir.c_str(), 0x1234abcd, nick.c_str(), service.c_str(), 512);
    if (r == 0) {
        IrdaStandinDevice devices[4];
        int n = IrdaStandin_discover(dir.c_str(), devices, 4);
        bool found = false;
        for (int i = 0; i < n; ++i)
            found = found || devices[i].id == 0x1234abcd;
        FUZZ_CHECK(found);
        int fd = IrdaStandin_connect(dir.c_str(), 0x1234abcd, service.c_str());
        FUZZ_CHECK(fd >= 0 || fd == -EAGAIN);
        if (fd >= 0)
            close(fd);
        IrdaStandin_close(&l);
    } else {
        FUZZ_CHECK(r < 0);
    }
    return 0;
}
