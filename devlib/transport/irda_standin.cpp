// The local IrDA stand-in stack: devices in range are listening Unix-domain SOCK_SEQPACKET sockets
// in one folder (see irda_standin.h for the protocol). Depends on the C library only, so the
// simulated handset can link it alone.

#include "transport/irda_standin.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kHelloTag[4] = {'I', 'r', 'L', 'M'};
const char kDownMarker[] = "down";

// Bytes that cannot stand in a socket name become '_'; the text is cut to max characters.
std::string sanitize(const char *text, size_t max) {
    std::string out;
    for (const char *p = text ? text : ""; *p && out.size() < max; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        out.push_back(c < 0x21 || c > 0x7e || c == ',' || c == '/' ? '_' : static_cast<char>(c));
    }
    return out;
}

std::string folder(const char *dir) {
    if (dir)
        return dir;
    char buf[256];
    if (IrdaStandin_dir(buf, sizeof buf) != 0)
        return std::string();
    return buf;
}

bool fillAddress(sockaddr_un *addr, const std::string &path) {
    if (path.size() >= sizeof addr->sun_path)
        return false;
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

struct Entry {
    std::string file;
    uint32_t id;
    std::string nickname;
    std::string service;
};

// "<8 hex>,<nickname>,<service>"
bool parseName(const char *name, Entry *e) {
    const char *comma1 = std::strchr(name, ',');
    if (!comma1 || comma1 - name != 8)
        return false;
    const char *comma2 = std::strchr(comma1 + 1, ',');
    if (!comma2 || comma2[1] == '\0')
        return false;
    uint32_t id = 0;
    for (const char *p = name; p < comma1; ++p) {
        int v;
        if (*p >= '0' && *p <= '9')
            v = *p - '0';
        else if (*p >= 'a' && *p <= 'f')
            v = *p - 'a' + 10;
        else
            return false;
        id = (id << 4) | static_cast<uint32_t>(v);
    }
    e->file = name;
    e->id = id;
    e->nickname.assign(comma1 + 1, comma2);
    e->service = comma2 + 1;
    return e->nickname.size() <= IRDA_STANDIN_NICK_MAX;
}

bool stackDown(const std::string &dir) {
    struct stat st;
    if (dir.empty() || stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return true;
    return access((dir + "/" + kDownMarker).c_str(), F_OK) == 0;
}

// The device sockets of the folder, in name order.
std::vector<Entry> listEntries(const std::string &dir) {
    std::vector<Entry> entries;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return entries;
    while (dirent *de = readdir(d)) {
        Entry e;
        if (!parseName(de->d_name, &e))
            continue;
        struct stat st;
        if (lstat((dir + "/" + de->d_name).c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        entries.push_back(e);
    }
    closedir(d);
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.file < b.file; });
    return entries;
}

} // namespace

extern "C" int IrdaStandin_dir(char *buf, size_t size) {
    if (!buf || size == 0)
        return -EINVAL;
    const char *env = std::getenv("SELVARK_IRDA_DIR");
    int n;
    if (env && env[0])
        n = std::snprintf(buf, size, "%s", env);
    else if ((env = std::getenv("XDG_RUNTIME_DIR")) && env[0])
        n = std::snprintf(buf, size, "%s/selvark-irda", env);
    else
        n = std::snprintf(buf, size, "/tmp/selvark-irda-%lu", static_cast<unsigned long>(getuid()));
    if (n < 0 || static_cast<size_t>(n) >= size) {
        buf[0] = '\0';
        return -ENAMETOOLONG;
    }
    return 0;
}

extern "C" int IrdaStandin_listen(IrdaStandinListener *l, const char *dir, uint32_t deviceId, const char *nickname,
                                  const char *service, int mtu) {
    if (!l)
        return -EINVAL;
    l->fd = -1;
    l->path[0] = '\0';
    std::string svc = sanitize(service, IRDA_STANDIN_SERVICE_MAX);
    if (mtu < 0 || mtu > 65535 || svc.empty())
        return -EINVAL;
    std::string base = folder(dir);
    if (base.empty())
        return -ENAMETOOLONG;
    if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST)
        return -errno;
    char id[9];
    std::snprintf(id, sizeof id, "%08x", deviceId);
    std::string path = base + "/" + id + "," + sanitize(nickname, IRDA_STANDIN_NICK_MAX) + "," + svc;
    sockaddr_un addr;
    if (!fillAddress(&addr, path) || path.size() >= sizeof l->path)
        return -EINVAL;
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -errno;
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        int err = errno;
        // A socket left behind by a server that died refuses connections: replace it. A live one
        // keeps its name.
        bool stale = false;
        if (err == EADDRINUSE) {
            int probe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
            stale = probe >= 0 && connect(probe, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 &&
                    errno == ECONNREFUSED;
            if (probe >= 0)
                close(probe);
        }
        if (!stale || unlink(path.c_str()) != 0 || bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
            err = stale ? errno : err;
            close(fd);
            return -err;
        }
    }
    if (listen(fd, 16) != 0) {
        int err = errno;
        close(fd);
        unlink(path.c_str());
        return -err;
    }
    l->fd = fd;
    l->mtu = static_cast<uint16_t>(mtu);
    std::memcpy(l->path, path.c_str(), path.size() + 1);
    return 0;
}

extern "C" int IrdaStandin_accept(IrdaStandinListener *l) {
    if (!l || l->fd < 0)
        return -EBADF;
    int fd = accept4(l->fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return errno == EWOULDBLOCK ? -EAGAIN : -errno;
    unsigned char hello[IRDA_STANDIN_HELLO_LEN];
    std::memcpy(hello, kHelloTag, sizeof kHelloTag);
    hello[4] = static_cast<unsigned char>(l->mtu >> 8);
    hello[5] = static_cast<unsigned char>(l->mtu & 0xff);
    if (send(fd, hello, sizeof hello, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof hello)) {
        int err = errno;
        close(fd);
        return -err;
    }
    return fd;
}

extern "C" int IrdaStandin_refuse(IrdaStandinListener *l) {
    if (!l || l->fd < 0)
        return -EBADF;
    int fd = accept4(l->fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return errno == EWOULDBLOCK ? -EAGAIN : -errno;
    close(fd);
    return 0;
}

extern "C" void IrdaStandin_close(IrdaStandinListener *l) {
    if (!l || l->fd < 0)
        return;
    close(l->fd);
    l->fd = -1;
    if (l->path[0])
        unlink(l->path);
    l->path[0] = '\0';
}

extern "C" int IrdaStandin_setStackDown(const char *dir, int down) {
    std::string base = folder(dir);
    if (base.empty())
        return -ENAMETOOLONG;
    std::string marker = base + "/" + kDownMarker;
    if (!down)
        return unlink(marker.c_str()) == 0 || errno == ENOENT ? 0 : -errno;
    if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST)
        return -errno;
    int fd = open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -errno;
    close(fd);
    return 0;
}

extern "C" int IrdaStandin_discover(const char *dir, IrdaStandinDevice *out, int max) {
    std::string base = folder(dir);
    if (stackDown(base))
        return -ENETDOWN;
    int count = 0;
    std::vector<uint32_t> seen;
    for (const Entry &e : listEntries(base)) {
        if (count >= max)
            break;
        if (std::find(seen.begin(), seen.end(), e.id) != seen.end())
            continue;
        seen.push_back(e.id);
        if (out) {
            out[count].id = e.id;
            std::snprintf(out[count].name, sizeof out[count].name, "%s", e.nickname.c_str());
        }
        ++count;
    }
    return count;
}

extern "C" int IrdaStandin_connect(const char *dir, uint32_t id, const char *service) {
    std::string base = folder(dir);
    if (stackDown(base))
        return -ENETDOWN;
    std::string svc = sanitize(service, IRDA_STANDIN_SERVICE_MAX);
    std::string path;
    for (const Entry &e : listEntries(base))
        if (e.id == id && e.service == svc) {
            path = base + "/" + e.file;
            break;
        }
    sockaddr_un addr;
    if (path.empty() || !fillAddress(&addr, path))
        return -ECONNREFUSED; // the device does not offer the service
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -errno;
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        int err = errno;
        close(fd);
        if (err == ENOENT)
            err = ECONNREFUSED;
        return -err;
    }
    return fd;
}

extern "C" int IrdaStandin_readHello(int fd, int *mtu) {
    unsigned char hello[IRDA_STANDIN_HELLO_LEN + 1];
    ssize_t n = recv(fd, hello, sizeof hello, MSG_DONTWAIT);
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -ECONNREFUSED;
    if (n != IRDA_STANDIN_HELLO_LEN || std::memcmp(hello, kHelloTag, sizeof kHelloTag) != 0)
        return -ECONNREFUSED;
    if (mtu)
        *mtu = (hello[4] << 8) | hello[5];
    return 1;
}
