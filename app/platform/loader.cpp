#include "platform/loader.h"

#include <dlfcn.h>

#include <atomic>
#include <utility>

namespace platform {

namespace {

std::atomic<int> g_openCount{0};

// dlerror() is per thread and cleared by reading it.
std::string loaderError(const char *fallback)
{
    const char *e = dlerror();
    return e ? std::string(e) : std::string(fallback);
}

void setError(std::string *error, std::string text)
{
    if (error)
        *error = std::move(text);
}

} // namespace

Module::~Module()
{
    close();
}

Module::Module(Module &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_))
{
}

Module &Module::operator=(Module &&other) noexcept
{
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

Module Module::open(const std::string &path, std::string *error)
{
    Module m;
    if (path.empty() || path.front() != '/') {
        setError(error, "\"" + path + "\": not an absolute path");
        return m;
    }
    dlerror();
    void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        setError(error, loaderError(("\"" + path + "\": cannot be loaded").c_str()));
        return m;
    }
    m.handle_ = h;
    m.path_ = path;
    g_openCount.fetch_add(1);
    return m;
}

void *Module::symbol(const char *name, std::string *error) const
{
    if (!handle_) {
        setError(error, std::string("\"") + (name ? name : "") + "\": module not open");
        return nullptr;
    }
    if (!name || !*name) {
        setError(error, "empty export name");
        return nullptr;
    }
    dlerror();
    void *p = dlsym(handle_, name);
    if (const char *e = dlerror()) {
        setError(error, e);
        return nullptr;
    }
    if (!p)
        setError(error, path_ + ": export \"" + name + "\" is null");
    return p;
}

bool Module::close(std::string *error)
{
    if (!handle_)
        return true;
    void *h = std::exchange(handle_, nullptr);
    g_openCount.fetch_sub(1);
    dlerror();
    if (dlclose(h) != 0) {
        setError(error, loaderError("dlclose failed"));
        return false;
    }
    return true;
}

int Module::openCount()
{
    return g_openCount.load();
}

} // namespace platform
