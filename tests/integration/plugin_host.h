// plugin_host.h — the program's side of a connection, as far as drivers and plug-ins go: the
// generic driver and a model plug-in loaded by path from a Plug-in folder and bound by export name,
// a connection opened through the driver, the plug-in initialised over it and asked for its
// interfaces in the program's order, and the readers that walk a storage through StorItf the way
// the worker does. Used by the end-to-end tests and by bench/line_rate. Header-only; needs -ldl.
//
//   PluginHost host(pluginDir);           // dlopen Pelurin.so and Generic.plug
//   host.connect({"Cable", tty, "115200"});   // MsMng_connect, MsPlug_init, the seven MsPlug_getItf
//   auto msgs = readMessages(host.sms(), 1);  // every SmsRecord of "SM"
//   host.close();                          // MsPlug_cleanup, unload the plug-in, disconnect, unload
//
// Nothing here throws; failures are results, as in the program.
#pragma once

#include "dv_result.h"
#include "ms_itf.h"
#include "ms_mng.h"
#include "ms_plug.h"

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

namespace plughost {

using MsMngConnectFn = int32_t (*)(ConnHandle **, const ConnCfg *, PhoneIdent *);
using MsMngHandleFn = int32_t (*)(ConnHandle *);

// The interfaces in the order the program asks for them.
constexpr int32_t kAskedIds[] = {MS_ITF_INFO, MS_ITF_SMS, MS_ITF_PB, MS_ITF_PB2, MS_ITF_PB3, MS_ITF_RES21, MS_ITF_RES22};

// -94, -95 and -81 mean the plug-in has no such interface; anything else negative fails a connect.
inline bool absentCode(int32_t r) { return r == DV_E_UNSUPPORTED || r == DV_E_NOTIMPL || r == DV_E_ARG; }

class PluginHost {
public:
    explicit PluginHost(const std::string &pluginDir) {
        driver_ = dlopen((pluginDir + "/Pelurin.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!driver_) {
            error_ = dlerror();
            return;
        }
        plug_ = dlopen((pluginDir + "/Generic.plug").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!plug_) {
            error_ = dlerror();
            return;
        }
        connect_ = reinterpret_cast<MsMngConnectFn>(dlsym(driver_, "MsMng_connect"));
        disconnect_ = reinterpret_cast<MsMngHandleFn>(dlsym(driver_, "MsMng_disconnect"));
        isConnected_ = reinterpret_cast<MsMngHandleFn>(dlsym(driver_, "MsMng_isConnected"));
        init_ = reinterpret_cast<MsPlugInitFn>(dlsym(plug_, MS_PLUG_INIT));
        getItf_ = reinterpret_cast<MsPlugGetItfFn>(dlsym(plug_, MS_PLUG_GETITF));
        cleanup_ = reinterpret_cast<MsPlugCleanupFn>(dlsym(plug_, MS_PLUG_CLEANUP));
        if (!connect_ || !disconnect_ || !isConnected_ || !init_ || !getItf_ || !cleanup_)
            error_ = "an export is missing";
    }
    ~PluginHost() {
        close();
        unload();
    }
    PluginHost(const PluginHost &) = delete;
    PluginHost &operator=(const PluginHost &) = delete;

    bool loaded() const { return error_.empty(); }
    const std::string &error() const { return error_; }

    // The program's connect: open the link, bind the plug-in, ask the seven interfaces. 0, or the
    // first failure (the connection is closed again then).
    int32_t connect(const ConnCfg &cfg) {
        if (!loaded())
            return DV_E_ARG;
        int32_t r = connect_(&handle_, &cfg, &ident_);
        if (r != 0)
            return r;
        r = init_(handle_);
        initResult_ = r;
        if (r < 0) {
            disconnect_(handle_);
            handle_ = nullptr;
            return r;
        }
        bound_ = true;
        for (int32_t id : kAskedIds) {
            void *p = nullptr;
            const int32_t g = getItf_(id, &p);
            asked_.push_back({id, g});
            if (g >= 0) {
                itf_[id] = p;
            } else if (!absentCode(g)) {
                close();
                return g;
            }
        }
        return 0;
    }

    // MsPlug_cleanup, the plug-in unloaded, the connection closed (the driver stays loaded).
    // Answers the disconnect's result (0 when nothing was open).
    int32_t close() {
        int32_t r = 0;
        if (bound_) {
            cleanupResult_ = cleanup_();
            bound_ = false;
        }
        for (void *&p : itf_)
            p = nullptr;
        if (plug_) {
            dlclose(plug_);
            plug_ = nullptr;
        }
        if (handle_) {
            r = disconnect_(handle_);
            handle_ = nullptr;
        }
        return r;
    }
    void unload() {
        if (plug_) {
            dlclose(plug_);
            plug_ = nullptr;
        }
        if (driver_) {
            dlclose(driver_);
            driver_ = nullptr;
        }
    }

    ConnHandle *handle() const { return handle_; }
    const PhoneIdent &ident() const { return ident_; }
    int32_t isConnected() const { return handle_ ? isConnected_(handle_) : 0; }
    int32_t initResult() const { return initResult_; }
    int32_t cleanupResult() const { return cleanupResult_; }
    // Each MsPlug_getItf asked: {id, result}, in order.
    struct Asked {
        int32_t id;
        int32_t result;
    };
    const std::vector<Asked> &asked() const { return asked_; }
    void *itf(int32_t id) const { return id >= 0 && id < 23 ? itf_[id] : nullptr; }
    InfoItf *info() const { return static_cast<InfoItf *>(itf_[MS_ITF_INFO]); }
    SmsItf *sms() const { return static_cast<SmsItf *>(itf_[MS_ITF_SMS]); }
    PbItf *pb() const { return static_cast<PbItf *>(itf_[MS_ITF_PB]); }

    // The program's phone-book capability bits: 1 and 2 for the storages interface 12 takes,
    // 4 and 8 for interfaces 13 and 14.
    int32_t pbCaps() const {
        int32_t caps = 0;
        if (PbItf *p = pb()) {
            if (p->stor.setStor(&p->stor, 1) == 0)
                caps |= 1;
            if (p->stor.setStor(&p->stor, 2) == 0)
                caps |= 2;
        }
        if (itf_[MS_ITF_PB2])
            caps |= 4;
        if (itf_[MS_ITF_PB3])
            caps |= 8;
        return caps;
    }

private:
    void *driver_ = nullptr;
    void *plug_ = nullptr;
    std::string error_;
    MsMngConnectFn connect_ = nullptr;
    MsMngHandleFn disconnect_ = nullptr;
    MsMngHandleFn isConnected_ = nullptr;
    MsPlugInitFn init_ = nullptr;
    MsPlugGetItfFn getItf_ = nullptr;
    MsPlugCleanupFn cleanup_ = nullptr;
    ConnHandle *handle_ = nullptr;
    PhoneIdent ident_{};
    bool bound_ = false;
    int32_t initResult_ = 0;
    int32_t cleanupResult_ = 0;
    std::vector<Asked> asked_;
    void *itf_[23] = {};
};

// What a walk of one storage gave: its entries and how it ended (0 at the end of the listing, or
// the first error, which stops the walk as the worker stops at a fault).
template <typename Entry> struct Walk {
    int32_t selected = 0; // setStor
    int32_t stat = 0;     // getStat
    int32_t total = 0, used = 0;
    std::vector<int32_t> indexes;
    std::vector<Entry> entries;
    int32_t end = 0;
};

// Selects `storage`, reads its counts and walks it with readNext and readData (buffer 10241 bytes,
// as the worker has), handing each entry's bytes to `take`.
template <typename Entry, typename Take> Walk<Entry> walkStorage(StorItf *st, int32_t storage, Take take) {
    Walk<Entry> w;
    w.selected = st->setStor(st, storage);
    if (w.selected < 0) {
        w.end = w.selected;
        return w;
    }
    int32_t first = 0, last = 0;
    w.stat = st->getStat(st, 0, &w.total, &w.used, &first, &last);
    if (w.stat < 0) {
        w.end = w.stat;
        return w;
    }
    std::vector<char> buf(10241);
    for (int32_t start = 1;; start = 0) {
        int32_t index = -1;
        const int32_t r = st->readNext(st, 0, &index, start);
        if (r <= 0) {
            w.end = (r == DV_E_RANGE || r == -125) ? 0 : r;
            return w;
        }
        const int32_t n = st->readData(st, buf.data(), static_cast<int32_t>(buf.size()) - 1);
        if (n < 0) {
            w.end = n;
            return w;
        }
        w.indexes.push_back(index);
        w.entries.push_back(take(buf.data(), n));
    }
}

inline Walk<SmsRecord> readMessages(SmsItf *sms, int32_t storage) {
    return walkStorage<SmsRecord>(&sms->stor, storage, [](const char *p, int32_t n) {
        SmsRecord rec{};
        std::memcpy(&rec, p, std::min<size_t>(static_cast<size_t>(n), sizeof rec));
        return rec;
    });
}

inline Walk<std::string> readContacts(PbItf *pb, int32_t storage) {
    return walkStorage<std::string>(&pb->stor, storage,
                                    [](const char *p, int32_t n) { return std::string(p, static_cast<size_t>(n)); });
}

} // namespace plughost
