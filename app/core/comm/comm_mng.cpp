#include "core/comm/comm_mng.h"

#include "platform/paths.h"

#include "dv_result.h"
#include "dv_transport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

namespace core {

namespace {

// The interfaces in the order they are asked for; itf_ is indexed the same way.
constexpr int32_t kItfIds[7] = {MS_ITF_INFO, MS_ITF_SMS, MS_ITF_PB, MS_ITF_PB2, MS_ITF_PB3, MS_ITF_RES21, MS_ITF_RES22};
constexpr int kInfo = 0, kPb = 2, kPb2 = 3, kPb3 = 4;

constexpr size_t kImeiBuf = 100;

int itfIndex(int32_t id)
{
    for (int i = 0; i < 7; ++i)
        if (kItfIds[i] == id)
            return i;
    return -1;
}

// An interface the plug-in does not have, as opposed to one it failed to make.
bool absentItf(int32_t r)
{
    return r == DV_E_UNSUPPORTED || r == DV_E_NOTIMPL || r == DV_E_ARG;
}

// A catalogue name is a file name inside Plug-in, nothing else: no folder part, no embedded
// zero that would make the loader open another file.
bool plainFileName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// A driver promises zero-terminated identity fields; one that fills a field to its last byte gets
// it cut to 31 bytes so every later reader finds a terminator.
void terminateIdent(PhoneIdent &ident)
{
    for (char(*field)[32] : {&ident.Man, &ident.ModelA, &ident.ModelB}) {
        if (std::memchr(*field, 0, sizeof *field))
            continue;
        const std::string text(*field, sizeof *field);
        putIdentText(*field, text);
    }
}

// The IMEI from interface 15, read into a 100-byte buffer that always ends in a terminator,
// whatever the plug-in wrote into it.
int32_t readImei(InfoItf *info, std::string &imei)
{
    char buf[kImeiBuf] = {};
    const int32_t r = info->getImei ? info->getImei(info, buf, static_cast<int32_t>(kImeiBuf)) : DV_E_NOTIMPL;
    buf[kImeiBuf - 1] = '\0';
    imei.assign(buf, strnlen(buf, kImeiBuf));
    return r;
}

} // namespace

void TCommMng::log(const std::string &text)
{
    // The worker retries every poll: the same failure again says nothing new.
    {
        std::lock_guard<std::mutex> guard(logLock_);
        if (text == lastLog_)
            return;
        lastLog_ = text;
    }
    std::fprintf(stderr, "Connection: %s\n", text.c_str());
}

TCommMng::TCommMng(platform::WindowMessages &messages, platform::WindowId window, CommMngSetup setup)
    : messages_(messages), window_(window), programDir_(std::move(setup.programDir)),
      pause_(std::move(setup.pause)), catalogue_(std::move(setup.catalogue))
{
}

TCommMng::~TCommMng()
{
    CommLock lock(*this);
    if (driver_ || plug_ || handle_)
        Disconnect();
}

void TCommMng::setCatalogue(std::shared_ptr<const Catalogue> catalogue)
{
    CommLock lock(*this);
    catalogue_ = std::move(catalogue);
}

// ---- The connection lock ----

int32_t TCommMng::Lock()
{
    connLock_.lock();
    owner_.store(std::this_thread::get_id());
    ++depth_;
    return connected() ? 0 : kCommNotConnected;
}

void TCommMng::Unlock()
{
    if (!heldByCaller())
        return;
    if (--depth_ == 0)
        owner_.store(std::thread::id());
    connLock_.unlock();
}

bool TCommMng::heldByCaller() const
{
    return owner_.load() == std::this_thread::get_id();
}

// ---- Connection ----

int32_t TCommMng::Connect()
{
    CommLock lock(*this);
    if (handle_)
        return kCommAlreadyConnected;
    return connectLocked();
}

std::string TCommMng::pluginPath(const std::string &name) const
{
    return platform::resolveCase(programDir_ + "/Plug-in") + "/" + name;
}

void TCommMng::pause(int ms) const
{
    if (pause_)
        pause_(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Loads driver `name` and opens the connection with it. 0 connected; 1 the file could not be
// loaded (nothing changed); -7 anything else (disconnected). pauseMs waits between loading and
// connecting.
int32_t TCommMng::openDriver(const std::string &name, const ConnCfg &cfg, PhoneIdent &ident, int pauseMs)
{
    if (!plainFileName(name)) {
        log("driver name \"" + name + "\" is not a file name in Plug-in");
        Disconnect();
        return DV_E_NOTCONN;
    }
    std::string error;
    platform::Module module = platform::Module::open(pluginPath(name), &error);
    if (!module) {
        log(error);
        return 1;
    }
    driver_ = std::move(module);
    if (!BindMngExports(driver_)) {
        log(name + ": a driver entry point is missing");
        Disconnect();
        return DV_E_NOTCONN;
    }
    if (pauseMs > 0)
        pause(pauseMs);
    ConnHandle *h = nullptr;
    ident = PhoneIdent{};
    const int32_t r = mng_.connect(&h, &cfg, &ident);
    if (r < 0 || !h) {
        // A driver that failed gave no handle, whatever it left in h.
        log(name + ": MsMng_connect answered " + std::to_string(r) + (r >= 0 ? " without a handle" : ""));
        Disconnect();
        return DV_E_NOTCONN;
    }
    handle_ = h;
    return 0;
}

int32_t TCommMng::attachPlugin(const std::string &name, const PhoneIdent &ident)
{
    if (!plainFileName(name)) {
        log("plug-in name \"" + name + "\" is not a file name in Plug-in");
        Disconnect();
        return DV_E_NOTCONN;
    }
    std::string error;
    plug_ = platform::Module::open(pluginPath(name), &error);
    const char *fault = nullptr;
    if (!plug_)
        fault = "cannot be loaded";
    else if (!BindPlugExports(plug_))
        fault = "a plug-in entry point is missing";
    else if (plugFns_.init(handle_) < 0)
        fault = "MsPlug_init failed";
    else if (!GetInterfaces())
        fault = "an interface request failed";
    else if (!itf_[kInfo])
        fault = "no phone-information interface (15)";
    if (!fault) {
        identity_ = ident;
        terminateIdent(identity_);
        if (!ReadIdentity())
            fault = "the IMEI cannot be read";
    }
    if (fault) {
        log(name + ": " + fault + (error.empty() ? "" : " (" + error + ")"));
        Disconnect();
        return DV_E_NOTCONN;
    }
    return 0;
}

// After a switch: the driver's manufacturer becomes the selected one. Replaced only when the
// driver names one, so a failure keeps the user's choice.
int32_t TCommMng::adoptDriverManufacturer()
{
    const char *man = nullptr;
    const int32_t r = mng_.getSupp(&man, nullptr);
    if (r < 0 || !man) {
        log("MsMng_getSupp of the new driver failed");
        Disconnect();
        return DV_E_NOTCONN;
    }
    std::lock_guard<std::mutex> settings(settingsLock_);
    putIdentText(selected_.Man, std::string_view(man, strnlen(man, 256)));
    return 0;
}

// The connection is up. Settings stored while it was being opened were not the ones it used, and
// SetParams did not flag them (there was no connection yet): flag them now, so the worker closes
// the connection and opens it again with them. The test and the connected flag go under the
// settings lock, which SetParams holds while it asks whether a connection is open.
void TCommMng::markConnected(uint64_t settingsSeen, InUse inUse)
{
    {
        std::lock_guard<std::mutex> settings(settingsLock_);
        if (settingsGen_ != settingsSeen)
            paramsChanged_ = true;
        inUse_ = std::move(inUse);
        connected_.store(true);
    }
    ++serial_;
    // The answer changed: the next failure is news again.
    std::lock_guard<std::mutex> guard(logLock_);
    lastLog_.clear();
}

int32_t TCommMng::connectLocked()
{
    std::string man, type, port, baud;
    uint64_t settingsSeen = 0;
    {
        std::lock_guard<std::mutex> settings(settingsLock_);
        man = identText(selected_.Man);
        type = type_;
        port = port_;
        baud = baud_;
        settingsSeen = settingsGen_;
    }
    const ConnCfg cfg{type.c_str(), port.c_str(), baud.c_str()};
    const std::shared_ptr<const Catalogue> cat = catalogue_;
    if (!cat) {
        Disconnect();
        return DV_E_UNSUPPORTED;
    }

    std::vector<std::string> candidates;
    std::string served;
    if (!man.empty() && cat->FindBaseByMan(man, served) == 0 && !served.empty())
        candidates.push_back(served);
    else
        cat->ListBaseDlls(candidates);

    // The first candidate that loads opens the connection, or fails the connect.
    PhoneIdent ident{};
    std::string first;
    for (const std::string &candidate : candidates) {
        const int32_t r = openDriver(candidate, cfg, ident, 0);
        if (r == 1)
            continue;
        if (r < 0)
            return r;
        first = candidate;
        break;
    }
    if (first.empty()) {
        log(candidates.empty() ? "no driver is catalogued" : "no catalogued driver can be loaded");
        Disconnect();
        return DV_E_UNSUPPORTED;
    }

    std::string driverName, plugName;
    if (cat->FindPlug(ident, driverName, plugName) < 0) {
        log("no model plug-in serves \"" + identText(ident.Man) + "\" \"" + identText(ident.ModelA) +
            identText(ident.ModelB) + "\"");
        Disconnect();
        return DV_E_UNSUPPORTED;
    }
    driverName = std::string(catalogueTrim(driverName));
    plugName = std::string(catalogueTrim(plugName));

    // The catalogue's manufacturer of the driver that holds the connection.
    auto inUse = [&](const std::string &driver) {
        InUse u{std::string(), type, port, baud};
        for (const BaseRow &b : cat->baseInfo())
            if (platform::equalsNoCase(std::string(catalogueTrim(b.DllName)), driver)) {
                u.man = b.Man;
                break;
            }
        return u;
    };
    if (platform::equalsNoCase(first, driverName)) {
        if (const int32_t r = attachPlugin(plugName, ident); r < 0)
            return r;
        markConnected(settingsSeen, inUse(first));
        return 0;
    }

    // The plug-in belongs to another driver: reopen the connection through that one.
    pause(100);
    mng_.disconnect(handle_);
    handle_ = nullptr;
    mng_ = {};
    driver_.close();
    const int32_t r = openDriver(driverName, cfg, ident, 200);
    if (r != 0) {
        if (r == 1)
            Disconnect();
        return DV_E_NOTCONN;
    }
    if (const int32_t a = attachPlugin(plugName, ident); a < 0)
        return a;
    if (const int32_t a = adoptDriverManufacturer(); a < 0)
        return a;
    markConnected(settingsSeen, inUse(driverName));
    messages_.post(window_, WM_CONN_PARAMS_CHANGED, 0, 0);
    return 0;
}

void TCommMng::Disconnect()
{
    CommLock lock(*this);
    if (driver_ && plug_ && handle_ && plugFns_.cleanup)
        plugFns_.cleanup();
    plug_.close();
    if (driver_ && handle_ && mng_.disconnect)
        mng_.disconnect(handle_);
    driver_.close();

    handle_ = nullptr;
    connected_.store(false);
    {
        std::lock_guard<std::mutex> settings(settingsLock_);
        paramsChanged_ = false;
        inUse_ = InUse{};
    }
    identity_ = PhoneIdent{};
    imei_.clear();
    mng_ = {};
    plugFns_ = {};
    caps_ = 0;
    std::fill(std::begin(itf_), std::end(itf_), nullptr);
    ++serial_;
}

int32_t TCommMng::Close()
{
    CommLock lock(*this);
    if (handle_) {
        Disconnect();
        return 0;
    }
    std::lock_guard<std::mutex> settings(settingsLock_);
    paramsChanged_ = false;
    return kCommNotConnected;
}

int32_t TCommMng::TestConnect(std::string_view man, std::string_view type, std::string_view baud,
                              std::string_view port)
{
    CommLock lock(*this);
    if (handle_)
        Disconnect();
    if (man.empty() || type.empty())
        return DV_E_ARG;
    const std::shared_ptr<const Catalogue> cat = catalogue_;
    std::string name;
    if (!cat || cat->FindBaseByMan(man, name) != 0 || !plainFileName(name))
        return DV_E_UNSUPPORTED;
    std::string error;
    const platform::Module driver = platform::Module::open(pluginPath(name), &error);
    if (!driver) {
        log(error);
        return DV_E_UNSUPPORTED;
    }
    const auto connect = driver.function<decltype(MngEntryPoints::connect)>("MsMng_connect");
    const auto disconnect = driver.function<decltype(MngEntryPoints::disconnect)>("MsMng_disconnect");
    const auto isConnected = driver.function<decltype(MngEntryPoints::isConnected)>("MsMng_isConnected");
    if (!connect || !disconnect || !isConnected)
        return DV_E_UNSUPPORTED;

    const std::string t(type), p(port), b(baud);
    const ConnCfg cfg{t.c_str(), p.c_str(), b.c_str()};
    PhoneIdent scratch{};
    ConnHandle *h = nullptr;
    const int32_t r = connect(&h, &cfg, &scratch);
    if (r < 0 || !h)
        return DV_E_NOTCONN;
    pause(50);
    disconnect(h);
    return 0;
}

int32_t TCommMng::SetReceiveTimeout(int32_t ms)
{
    CommLock lock(*this);
    if (!handle_ || !handle_->sock)
        return DV_E_NOTCONN;
    return CnsSock_setOpt(handle_->sock, CNSSOCK_SO_RCVTIMEO, ms);
}

int32_t TCommMng::CheckPhone()
{
    CommLock lock(*this);
    if (!handle_)
        return DV_E_NOTCONN;
    auto *info = static_cast<InfoItf *>(itf_[kInfo]);
    if (!info) {
        Disconnect();
        return DV_E_NOTCONN;
    }
    std::string imei;
    if (readImei(info, imei) >= 0 && imei == imei_)
        return 0;
    Disconnect();
    return DV_E_CLOSED;
}

// ---- Connection mode ----

void TCommMng::SetConnectMode(bool on)
{
    if (on) {
        disconnectRequest_.exchange(0);
        autoConnect_.exchange(1);
    } else {
        disconnectRequest_.exchange(1);
        autoConnect_.exchange(0);
    }
}

bool TCommMng::IsDisconnectRequested() const
{
    return disconnectRequest_.load() == 1;
}

void TCommMng::SetAutoConnect(bool flag, int32_t ms)
{
    autoConnect_.exchange(flag ? 1 : 0);
    pollMs_.exchange(std::clamp<int32_t>(ms, 500, 10000));
}

void TCommMng::GetAutoConnect(bool &flag, int32_t &ms) const
{
    flag = autoConnect_.load() == 1;
    ms = pollMs_.load();
}

// ---- Settings ----

int32_t TCommMng::SetParams(const SelectedPhone &selected, std::string_view type, std::string_view port,
                            std::string_view baud)
{
    const std::string t(catalogueTrim(type)), p(catalogueTrim(port)), b(catalogueTrim(baud));
    const auto key = [](std::string_view s) { return catalogueUpper(catalogueTrim(s)); };
    std::lock_guard<std::mutex> settings(settingsLock_);
    if (key(identText(selected_.Man)) == key(identText(selected.Man)) && key(type_) == key(t) &&
        key(port_) == key(p) && key(baud_) == key(b))
        return 0;
    if (connected())
        paramsChanged_ = true;
    ++settingsGen_;
    selected_ = selected;
    type_ = t;
    port_ = p;
    baud_ = b;
    return 0;
}

int32_t TCommMng::GetParams(std::string &man, std::string &type, std::string &port, std::string &baud) const
{
    std::lock_guard<std::mutex> settings(settingsLock_);
    man = identText(selected_.Man);
    if (connected()) {
        type = type_;
        port = port_;
        baud = baud_;
        return 0;
    }
    type.clear();
    port.clear();
    baud.clear();
    return kCommNotConnected;
}

bool TCommMng::connectionInUse(InUse &out) const
{
    std::lock_guard<std::mutex> settings(settingsLock_);
    out = connected() ? inUse_ : InUse{};
    return connected();
}

SelectedPhone TCommMng::selectedPhone() const
{
    std::lock_guard<std::mutex> settings(settingsLock_);
    return selected_;
}

bool TCommMng::IsParamsChanged() const
{
    std::lock_guard<std::mutex> settings(settingsLock_);
    return paramsChanged_;
}

// ---- The connected handset ----

int32_t TCommMng::GetPhoneInfo(PhoneIdent &out)
{
    CommLock lock(*this);
    if (!connected() || !itf_[kInfo]) {
        out = PhoneIdent{};
        return DV_E_NOTCONN;
    }
    out = identity_;
    return 0;
}

uint64_t TCommMng::currentSerial()
{
    CommLock lock(*this);
    return serial_;
}

int32_t TCommMng::capabilityBits()
{
    CommLock lock(*this);
    return caps_;
}

void *TCommMng::interfaceFor(int32_t id, uint64_t serial) const
{
    if (!heldByCaller() || !connected() || serial != serial_)
        return nullptr;
    const int i = itfIndex(id);
    return i < 0 ? nullptr : itf_[i];
}

int32_t TCommMng::withInfo(const std::function<void(InfoItf &)> &fn)
{
    CommLock lock(*this);
    auto *info = static_cast<InfoItf *>(itf_[kInfo]);
    if (!connected() || !info)
        return DV_E_NOTCONN;
    if (fn)
        fn(*info);
    return 0;
}

// ---- Steps of Connect ----

bool TCommMng::GetInterfaces()
{
    CommLock lock(*this);
    if (!plugFns_.getItf || !handle_)
        return false;
    for (int i = 0; i < 7; ++i) {
        itf_[i] = nullptr;
        void *p = nullptr;
        const int32_t r = plugFns_.getItf(kItfIds[i], &p);
        if (r < 0) {
            if (absentItf(r))
                continue;
            return false;
        }
        itf_[i] = p;
    }
    return true;
}

bool TCommMng::ReadIdentity()
{
    CommLock lock(*this);
    imei_.clear();
    caps_ = 0;
    auto *info = static_cast<InfoItf *>(itf_[kInfo]);
    if (!handle_ || !info)
        return false;
    std::string imei;
    const int32_t r = readImei(info, imei);
    if (r >= 0)
        imei_ = imei;
    if (auto *pb = static_cast<PbItf *>(itf_[kPb]); pb && pb->stor.setStor) {
        if (pb->stor.setStor(&pb->stor, 1) >= 0)
            caps_ |= kCapPbStor1;
        if (pb->stor.setStor(&pb->stor, 2) >= 0)
            caps_ |= kCapPbStor2;
    }
    if (itf_[kPb2])
        caps_ |= kCapPb13;
    if (itf_[kPb3])
        caps_ |= kCapPb14;
    return r >= 0;
}

bool TCommMng::BindMngExports(const platform::Module &driver)
{
    CommLock lock(*this);
    mng_ = {};
    if (!driver)
        return false;
    MngEntryPoints m;
    m.getSupp = driver.function<decltype(m.getSupp)>("MsMng_getSupp");
    m.connect = driver.function<decltype(m.connect)>("MsMng_connect");
    m.disconnect = driver.function<decltype(m.disconnect)>("MsMng_disconnect");
    m.isConnected = driver.function<decltype(m.isConnected)>("MsMng_isConnected");
    m.getVer = driver.function<decltype(m.getVer)>("MsMng_getVer");
    if (!m.getSupp || !m.connect || !m.disconnect || !m.isConnected || !m.getVer)
        return false;
    mng_ = m;
    return true;
}

bool TCommMng::BindPlugExports(const platform::Module &plug)
{
    CommLock lock(*this);
    plugFns_ = {};
    if (!plug)
        return false;
    PlugEntryPoints p;
    p.getSupp = plug.function<MsPlugGetSuppFn>(MS_PLUG_GETSUPP);
    p.getVer = plug.function<MsPlugGetVerFn>(MS_PLUG_GETVER);
    p.getItf = plug.function<MsPlugGetItfFn>(MS_PLUG_GETITF);
    p.init = plug.function<MsPlugInitFn>(MS_PLUG_INIT);
    p.cleanup = plug.function<MsPlugCleanupFn>(MS_PLUG_CLEANUP);
    if (!p.getSupp || !p.getVer || !p.getItf || !p.init || !p.cleanup)
        return false;
    plugFns_ = p;
    return true;
}

} // namespace core
