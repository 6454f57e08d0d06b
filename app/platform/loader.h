// Run-time loading of drivers and plug-ins.
//
// Only absolute paths are opened, so a module is never looked for along the library search path.
// Every failure is an answer with the loader's own text (dlerror), never an exception.
#pragma once

#include <string>

namespace platform {

// One opened module (RTLD_NOW | RTLD_LOCAL). Move-only; closing (or destroying) it releases the
// handle. Symbols found in it are valid only while it is open.
class Module {
public:
    Module() = default;
    ~Module();
    Module(Module &&other) noexcept;
    Module &operator=(Module &&other) noexcept;
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    // Opens the module at path. On failure answers a closed Module and sets *error (when given) to
    // a text naming the path and the reason: not absolute, or what the dynamic loader said (missing
    // file, not a library, an unresolved symbol under RTLD_NOW).
    static Module open(const std::string &path, std::string *error = nullptr);

    bool isOpen() const { return handle_ != nullptr; }
    explicit operator bool() const { return isOpen(); }
    const std::string &path() const { return path_; }

    // The address of the export with exactly this name, or nullptr with *error set (closed module,
    // no such export, or an export whose address is null).
    void *symbol(const char *name, std::string *error = nullptr) const;

    // The export as a function pointer type, e.g. module.function<int32_t (*)(int32_t *)>("X").
    template <class Fn>
    Fn function(const char *name, std::string *error = nullptr) const
    {
        return reinterpret_cast<Fn>(symbol(name, error));
    }

    // Releases the handle (harmless on a closed Module). Answers false with *error when dlclose failed.
    bool close(std::string *error = nullptr);

    // Modules opened through this class and not yet closed, in the whole process (for tests).
    static int openCount();

private:
    void *handle_ = nullptr;
    std::string path_;
};

} // namespace platform
