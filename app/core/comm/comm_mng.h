// The connection manager: the one connection to a handset. It loads a driver (*.so) and a model
// plug-in (*.plug) from the program's Plug-in folder, opens and closes the connection, keeps the
// numbered interfaces, the identity and the IMEI of the connected handset, and holds the
// connection lock under which every use of the connection runs.
//
//   core::TCommMng comm(messages, mainWindow, {programDir, catalogue});
//   comm.SetParams(selected, "Cable", "/dev/ttyUSB0", "57600");
//   core::CommLock lock(comm);                  // on the worker thread
//   if (!lock.connected() && comm.Connect() == 0) bindClients(comm.currentSerial(), comm.capabilityBits());
//   StorItf *pb = comm.interfaceAs<StorItf>(MS_ITF_PB, serial);  // nullptr: stale, answer -7
//
// Choosing the driver at connect: the catalogued driver whose manufacturer begins with the
// selected manufacturer, else every catalogued driver in catalogue order; a candidate that cannot
// be loaded is passed over, the first that loads opens the connection (its failure fails the
// connect). The identity it reads chooses the model plug-in (Catalogue::FindPlug). When that
// plug-in belongs to another driver, the connection is reopened through that driver, the driver's
// manufacturer becomes the selected manufacturer and WM_CONN_PARAMS_CHANGED (1134, both
// parameters 0) is posted to the window, once. A connect through the driver first tried posts
// nothing.
//
// Interface pointers belong to the plug-in and die at MsPlug_cleanup, and a plug-in makes new ones
// at every connect. So nobody outside keeps a pointer: clients keep (id, serial) and ask
// interfaceFor() each time, under the lock. The serial goes up at every successful connect and at
// every Disconnect, so a pair from an earlier connection finds nothing.
//
// Locks: the connection lock is recursive; every operation that touches the connection takes it
// itself, and callers take it around whole commands (Lock/Unlock or CommLock). The settings lock
// guards the selected phone, the connection texts and the parameters-changed flag; it is taken
// inside the connection lock when both are needed and is never held while waiting for the
// connection lock, so SetParams/GetParams/IsParamsChanged never wait for a running command. The
// auto-connect flag, the poll interval and the disconnect request are atomics.
//
// Failures go to standard error as "Connection: <what>", a line only when it differs from the one
// before (a successful connect in between counts as a change): the worker retries every poll.
//
// Results: 0 success; 7 "not connected" from Lock, Close and GetParams; 83 already connected;
// -7 (DV_E_NOTCONN) a failing driver connect, plug-in entry point, interface request or IMEI read,
// or no connection; -71 (DV_E_CLOSED) another handset; -81 (DV_E_ARG) empty manufacturer or type;
// -94 (DV_E_UNSUPPORTED) no driver candidate or no matching plug-in.
#pragma once

#include "core/catalogue.h"
#include "platform/loader.h"
#include "platform/window_messages.h"

#include "ms_itf.h"
#include "ms_mng.h"
#include "ms_plug.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace core {

// To the main window after a connect that switched drivers, just before the worker's 1125.
inline constexpr uint32_t WM_CONN_PARAMS_CHANGED = 1134;

inline constexpr int32_t kCommNotConnected = 7; // Lock, Close, GetParams without a connection
inline constexpr int32_t kCommAlreadyConnected = 83;

// Capability bits of the connected handset.
enum : int32_t {
    kCapPbStor1 = 1, // phone book 12 accepts storage 1 ("SM")
    kCapPbStor2 = 2, // phone book 12 accepts storage 2 ("ME")
    kCapPb13 = 4,    // interface 13 present
    kCapPb14 = 8,    // interface 14 present
};

// The selected phone: 96 bytes shaped like PhoneIdent; its Man field is the selected manufacturer.
using SelectedPhone = PhoneIdent;

// The driver's five entry points and the plug-in's five.
struct MngEntryPoints {
    int32_t (*getSupp)(const char **, const ConnSupp **) = nullptr;
    int32_t (*connect)(ConnHandle **, const ConnCfg *, PhoneIdent *) = nullptr;
    int32_t (*disconnect)(ConnHandle *) = nullptr;
    int32_t (*isConnected)(ConnHandle *) = nullptr;
    int32_t (*getVer)(int32_t *, int32_t *, int32_t *) = nullptr;
};
struct PlugEntryPoints {
    MsPlugGetSuppFn getSupp = nullptr;
    MsPlugGetVerFn getVer = nullptr;
    MsPlugGetItfFn getItf = nullptr;
    MsPlugInitFn init = nullptr;
    MsPlugCleanupFn cleanup = nullptr;
};

struct CommMngSetup {
    std::string programDir;                     // holds Plug-in
    std::shared_ptr<const Catalogue> catalogue; // may be set later with setCatalogue()
    // The short pauses a driver needs between closing a port and opening it again (100 and 200 ms
    // while switching drivers, 50 ms in the connection test). Tests pass a recorder.
    std::function<void(int ms)> pause;
};

class TCommMng {
public:
    // Create: nothing loaded, not connected, poll interval 3000 ms. 1134 goes to window through
    // messages (which must outlive the manager).
    TCommMng(platform::WindowMessages &messages, platform::WindowId window, CommMngSetup setup);
    // Closes an open connection.
    ~TCommMng();
    TCommMng(const TCommMng &) = delete;
    TCommMng &operator=(const TCommMng &) = delete;

    // The catalogue snapshot that Connect and TestConnect read (taken under the lock).
    void setCatalogue(std::shared_ptr<const Catalogue> catalogue);

    // ---- The connection lock ----
    // Enters the (recursive) connection lock: 0 when a connection is open, 7 when not.
    int32_t Lock();
    // Leaves it. Harmless (ignored) on a thread that does not hold it.
    void Unlock();
    // True when the calling thread holds the connection lock.
    bool heldByCaller() const;

    // ---- Connection ----
    // Opens the connection as described at the top. 0; 83 already connected; -94 no candidate
    // (none catalogued, none loadable) or no matching plug-in; -7 any other failure. Every failure
    // ends in Disconnect, so nothing stays loaded.
    int32_t Connect();
    // Releases everything, in this order: MsPlug_cleanup, plug-in unloaded, MsMng_disconnect,
    // driver unloaded; then clears the state and raises the serial.
    void Disconnect();
    // Open: Disconnect, 0. Not open: clears the parameters-changed flag, 7.
    int32_t Close();
    // Opens and closes a connection through the driver of man with the given settings, without
    // loading a plug-in; an open connection is closed first, nothing else of the state changes.
    // 0; -81 empty man or type; -94 no driver, not loadable or an entry point missing; -7 the
    // driver's connect failed.
    int32_t TestConnect(std::string_view man, std::string_view type, std::string_view baud,
                        std::string_view port);
    // Is the same handset still there? 0 same IMEI; -7 no connection (or no interface 15: then
    // disconnected); -71 IMEI unreadable or different: disconnected.
    int32_t CheckPhone();

    // ---- Connection mode (lock-free) ----
    void SetConnectMode(bool on);
    bool IsDisconnectRequested() const;
    // Poll interval bounded to 500..10000 ms.
    void SetAutoConnect(bool flag, int32_t ms);
    void GetAutoConnect(bool &flag, int32_t &ms) const;

    // ---- Settings (settings lock only) ----
    // Stores the selected phone and the trimmed type, port and baud, unless the manufacturers,
    // type, port and baud equal the stored ones when trimmed and upper-cased; a change while
    // connected sets the parameters-changed flag. 0.
    int32_t SetParams(const SelectedPhone &selected, std::string_view type, std::string_view port,
                      std::string_view baud);
    // The selected manufacturer always; type, port and baud only while connected (result 0); when
    // not connected they are emptied and the result is 7. Callers copy the three texts only on 0:
    // after a link drop they are empty and must not overwrite the user's settings.
    int32_t GetParams(std::string &man, std::string &type, std::string &port, std::string &baud) const;
    // The whole selected phone (96 bytes), as stored.
    SelectedPhone selectedPhone() const;
    // What the open connection was made with: the manufacturer of the driver that opened it (the
    // catalogue's text, which may differ from the selected one after a fallback) and the type,
    // port and baud texts of that connect. False, and four empty texts, without a connection.
    struct InUse {
        std::string man, type, port, baud;
        bool operator==(const InUse &) const = default;
    };
    bool connectionInUse(InUse &out) const;
    bool IsParamsChanged() const;

    // ---- The connected handset (connection lock) ----
    // 0 with the identity; -7 and a zero-filled identity without a connection or interface 15.
    int32_t GetPhoneInfo(PhoneIdent &out);
    // Serial of the current connection (see the top).
    uint64_t currentSerial();
    // Capability bits (kCap*) of the current connection; 0 without one.
    int32_t capabilityBits();
    // The interface id of connection serial, only to a caller that holds the lock and only while
    // that connection is the current one; else nullptr (answer -7 then, without calling anything).
    void *interfaceFor(int32_t id, uint64_t serial) const;
    template <class Itf> Itf *interfaceAs(int32_t id, uint64_t serial) const
    {
        return static_cast<Itf *>(interfaceFor(id, serial));
    }
    // Takes the lock; sets the receive time-out of the open connection's port (ms; the driver's
    // own longer waits, as for a send, stay as they are). -7 without a connection. Tests and tools
    // use it so that a silent handset costs a short wait.
    int32_t SetReceiveTimeout(int32_t ms);
    // For the phone-information window: takes the lock; -7 without a connection or interface 15,
    // else runs fn with the InfoItf and answers 0. fn must not keep the pointer.
    int32_t withInfo(const std::function<void(InfoItf &)> &fn);

    // ---- Steps of Connect, public for the worker's tests ----
    // Asks the plug-in for 15, 11, 12, 13, 14, 21, 22 in this order; -94, -95 and -81 leave an
    // interface absent, any other negative answer gives false. False without a plug-in or handle.
    bool GetInterfaces();
    // Reads the IMEI through interface 15 and sets the capability bits. True when the IMEI was
    // read; false without a connection or interface 15.
    bool ReadIdentity();
    // Bind the five entry points of a loaded module: true when all exist, else all are cleared.
    bool BindMngExports(const platform::Module &driver);
    bool BindPlugExports(const platform::Module &plug);

private:
    int32_t connectLocked();
    // One line to standard error, unless it repeats the line before (a connect that succeeds in
    // between makes the next failure new).
    void log(const std::string &text);
    int32_t openDriver(const std::string &name, const ConnCfg &cfg, PhoneIdent &ident, int pauseMs);
    int32_t attachPlugin(const std::string &plugName, const PhoneIdent &ident);
    int32_t adoptDriverManufacturer();
    void markConnected(uint64_t settingsSeen, InUse inUse);
    std::string pluginPath(const std::string &name) const;
    void pause(int ms) const;
    bool connected() const { return connected_.load(); }

    platform::WindowMessages &messages_;
    const platform::WindowId window_;
    const std::string programDir_;
    const std::function<void(int)> pause_;

    // Connection lock and what the manager knows of its holder.
    mutable std::recursive_mutex connLock_;
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0; // guarded by connLock_

    // Guarded by the connection lock.
    std::shared_ptr<const Catalogue> catalogue_;
    PhoneIdent identity_{};
    std::string imei_;
    platform::Module driver_;
    platform::Module plug_;
    ConnHandle *handle_ = nullptr;
    MngEntryPoints mng_;
    PlugEntryPoints plugFns_;
    int32_t caps_ = 0;
    void *itf_[7] = {}; // in the asked order: 15, 11, 12, 13, 14, 21, 22
    uint64_t serial_ = 0;
    std::atomic<bool> connected_{false}; // handle_ != nullptr, readable without the lock

    // Guarded by the settings lock.
    std::mutex logLock_;
    std::string lastLog_;
    mutable std::mutex settingsLock_;
    SelectedPhone selected_{};
    std::string type_, port_, baud_;
    bool paramsChanged_ = false;
    InUse inUse_; // set while connected
    uint64_t settingsGen_ = 0; // raised by every SetParams that stores something

    std::atomic<int32_t> autoConnect_{0};
    std::atomic<int32_t> pollMs_{3000};
    std::atomic<int32_t> disconnectRequest_{0};
};

// Holds the connection lock for a scope and carries Lock's answer.
class CommLock {
public:
    explicit CommLock(TCommMng &mng) : mng_(mng), answer_(mng.Lock()) {}
    ~CommLock() { mng_.Unlock(); }
    CommLock(const CommLock &) = delete;
    CommLock &operator=(const CommLock &) = delete;
    int32_t answer() const { return answer_; }
    bool connected() const { return answer_ == 0; }

private:
    TCommMng &mng_;
    int32_t answer_;
};

// identText() and putIdentText(), for the identity fields, come with core/catalogue.h.

} // namespace core
