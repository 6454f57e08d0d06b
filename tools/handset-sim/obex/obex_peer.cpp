// The simulated OBEX/IrMC server. One thread accepts links on the stand-in and answers packets;
// the store, the faults and the request log sit behind one mutex shared with the test's thread.

#include "obex_peer.h"

#include "transport/irda_standin.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace obexpeer {

namespace {

constexpr uint8_t kFinal = 0x80;
constexpr uint8_t kOpConnect = 0x80, kOpDisconnect = 0x81, kOpPut = 0x02, kOpGet = 0x03, kOpSetPath = 0x85,
                  kOpAbort = 0xFF;
constexpr uint8_t kContinue = 0x90, kSuccess = 0xA0, kForbidden = 0xC3, kNotFound = 0xC4, kNotImplemented = 0xD1;
constexpr uint8_t kHdrName = 0x01, kHdrType = 0x42, kHdrLength = 0xC3, kHdrTarget = 0x46, kHdrBody = 0x48,
                  kHdrEnd = 0x49, kHdrWho = 0x4A, kHdrApp = 0x4C, kHdrConnId = 0xCB;
constexpr size_t kMinPacket = 255;

void put16(Bytes &b, size_t v) {
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    b.push_back(static_cast<uint8_t>(v & 0xFF));
}

void setLength(Bytes &b) {
    b[1] = static_cast<uint8_t>((b.size() >> 8) & 0xFF);
    b[2] = static_cast<uint8_t>(b.size() & 0xFF);
}

void addBytesHeader(Bytes &b, uint8_t id, const Bytes &value) {
    b.push_back(id);
    put16(b, value.size() + 3);
    b.insert(b.end(), value.begin(), value.end());
}

void addQuadHeader(Bytes &b, uint8_t id, uint32_t v) {
    b.push_back(id);
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<uint8_t>((v >> s) & 0xFF));
}

Bytes textBytes(const std::string &s) { return Bytes(s.begin(), s.end()); }

// Walks the headers of a packet from offset `from`; calls fn(id, value, length) for each. false
// when a header is malformed.
template <typename Fn>
bool walkHeaders(const Bytes &p, size_t from, Fn fn) {
    size_t at = from;
    while (at < p.size()) {
        uint8_t id = p[at];
        size_t size;
        switch (id & 0xC0) {
        case 0x00:
        case 0x40:
            if (p.size() - at < 3)
                return false;
            size = (static_cast<size_t>(p[at + 1]) << 8) | p[at + 2];
            if (size < 3 || size > p.size() - at)
                return false;
            fn(id, p.data() + at + 3, size - 3);
            break;
        case 0x80:
            size = 2;
            if (p.size() - at < size)
                return false;
            fn(id, p.data() + at + 1, size_t{1});
            break;
        default:
            size = 5;
            if (p.size() - at < size)
                return false;
            fn(id, p.data() + at + 1, size_t{4});
            break;
        }
        at += size;
    }
    return true;
}

size_t headerStart(uint8_t opcode) {
    if (opcode == kOpConnect)
        return 7; // version, flags, maximum packet length
    if (opcode == kOpSetPath)
        return 5; // flags, constants
    return 3;
}

std::string ucs2Text(const uint8_t *v, size_t n) {
    std::string s;
    for (size_t i = 0; i + 1 < n; i += 2) {
        unsigned u = (static_cast<unsigned>(v[i]) << 8) | v[i + 1];
        if (u == 0)
            break;
        s.push_back(u < 0x100 ? static_cast<char>(u) : '?');
    }
    return s;
}

bool startsWith(const std::string &s, const std::string &p) { return s.compare(0, p.size(), p) == 0; }
bool endsWith(const std::string &s, const std::string &p) {
    return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

std::string upper(std::string s) {
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The card as the handset hands it out: its record id before the END line.
std::string withLuid(const std::string &card, const std::string &luid) {
    if (luid.empty())
        return card;
    std::string up = upper(card);
    size_t at = up.rfind("END:VCARD");
    std::string line = "X-IRMC-LUID:" + luid + "\r\n";
    if (at == std::string::npos)
        return card + line;
    return card.substr(0, at) + line + card.substr(at);
}

} // namespace

struct ObexPeer::Impl {
    PeerConfig cfg;
    mutable std::mutex mu;
    std::thread thread;
    int wake[2] = {-1, -1};
    IrdaStandinListener ircomm{-1, 0, {}};
    IrdaStandinListener obex{-1, 0, {}};
    bool running = false;

    // The link (touched by the serving thread only, except at stop).
    int conn = -1;
    bool connIrcomm = false;
    Bytes in;
    size_t clientMax = kMinPacket;

    // Store and log.
    std::vector<std::optional<Record>> store;
    int cc = 0;
    unsigned luidCounter = 0;
    std::map<std::string, Bytes> inboxFiles;
    std::vector<Request> log;
    int accepted = 0;
    std::optional<uint8_t> failCode;
    std::optional<Bytes> script;
    bool drop = false;

    // The request in progress, and a GET response being handed out.
    bool inRequest = false;
    Request cur;
    bool getPending = false;
    uint8_t getCode = kSuccess;
    Bytes getBody;
    size_t getOff = 0;

    // ---- framing ----

    void sendFrames(const Bytes &data) {
        size_t payload = cfg.mtu > 3 ? static_cast<size_t>(cfg.mtu) - 2 : 1;
        for (size_t at = 0; at < data.size();) {
            size_t n = std::min(payload, data.size() - at);
            Bytes frame;
            if (connIrcomm)
                frame.push_back(0); // no IrCOMM control parameters
            frame.insert(frame.end(), data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
            if (::send(conn, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()))
                return;
            at += n;
        }
    }

    void respond(Bytes rsp) {
        if (script) {
            rsp = *script;
            script.reset();
            inRequest = false;
            getPending = false;
        }
        // The log's last entry is the request being answered (handle() copies it there first).
        cur.responses.push_back(rsp);
        if (!log.empty())
            log.back().responses.push_back(rsp);
        sendFrames(rsp);
    }

    Bytes simple(uint8_t code) {
        Bytes b{code, 0, 0};
        setLength(b);
        return b;
    }

    void closeConn() {
        if (conn >= 0)
            ::close(conn);
        conn = -1;
        in.clear();
        inRequest = false;
        getPending = false;
    }

    // ---- the store ----

    std::string newLuid() {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0*X", std::clamp(cfg.luidDigits, 1, 16), ++luidCounter);
        return cfg.luidPrefix + buf;
    }

    int usedSlots() const {
        return static_cast<int>(std::count_if(store.begin(), store.end(), [](auto &r) { return r.has_value(); }));
    }

    int findLuid(const std::string &luid) const {
        for (size_t i = 0; i < store.size(); ++i)
            if (store[i] && store[i]->luid == luid)
                return static_cast<int>(i);
        return -1;
    }

    int firstFree() const {
        for (size_t i = 0; i < store.size(); ++i)
            if (!store[i])
                return static_cast<int>(i);
        return -1;
    }

    std::string infoText() const {
        if (cfg.infoLog)
            return *cfg.infoLog;
        std::string s;
        int used = usedSlots();
        if (cfg.giveTotal)
            s += "Total-Records:" + std::to_string(used) + "\r\n";
        if (!cfg.maximumRecords.empty())
            s += "Maximum-Records:" + cfg.maximumRecords + "\r\n";
        if (cfg.giveFree)
            s += "Free-Records:" + std::to_string(cfg.capacity - used) + "\r\n";
        s += "IEL:" + cfg.iel + "\r\n";
        s += "HD:YES\r\n";
        if (!cfg.fields.empty()) {
            s += "X-IRMC-FIELDS:\r\n<BEGIN>\r\n";
            for (const std::string &f : cfg.fields)
                s += f + "\r\n";
            s += "<END>\r\n";
        }
        return s;
    }

    // Index or id out of an IrMC phone-book name: 'i' static index, 'l' record id, 'w' whole
    // store, 'n' info.log, 0 none.
    char route(const std::string &name, std::string *key) const {
        if (name == "telecom/pb/info.log")
            return 'n';
        if (name == "telecom/pb.vcf")
            return 'w';
        if (startsWith(name, "telecom/pb/luid/") && endsWith(name, ".vcf")) {
            *key = name.substr(16, name.size() - 16 - 4);
            return 'l';
        }
        if (startsWith(name, "telecom/pb/") && endsWith(name, ".vcf")) {
            *key = name.substr(11, name.size() - 11 - 4);
            if (!key->empty() && std::all_of(key->begin(), key->end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                key->size() < 7)
                return 'i';
        }
        return 0;
    }

    // ---- requests ----

    void gather(const Bytes &p) {
        walkHeaders(p, headerStart(p[0]), [&](uint8_t id, const uint8_t *v, size_t n) {
            switch (id) {
            case kHdrName:
                cur.name = ucs2Text(v, n);
                break;
            case kHdrType:
                cur.type.assign(reinterpret_cast<const char *>(v), n);
                if (!cur.type.empty() && cur.type.back() == '\0')
                    cur.type.pop_back();
                break;
            case kHdrTarget:
                cur.target.assign(v, v + n);
                break;
            case kHdrLength:
                cur.hasLength = true;
                cur.length = (static_cast<uint32_t>(v[0]) << 24) | (v[1] << 16) | (v[2] << 8) | v[3];
                break;
            case kHdrBody:
            case kHdrEnd:
                cur.hasBody = true;
                cur.body.insert(cur.body.end(), v, v + n);
                break;
            case kHdrApp:
                cur.appParams.emplace_back(v, v + n);
                break;
            default:
                break;
            }
        });
    }

    Bytes successWith(const std::string &luid) {
        Bytes app;
        if (!luid.empty()) {
            app.push_back(0x01);
            app.push_back(static_cast<uint8_t>(luid.size()));
            app.insert(app.end(), luid.begin(), luid.end());
        }
        std::string c = std::to_string(cc);
        app.push_back(0x02);
        app.push_back(static_cast<uint8_t>(c.size()));
        app.insert(app.end(), c.begin(), c.end());
        Bytes b{kSuccess, 0, 0};
        addBytesHeader(b, kHdrApp, app);
        setLength(b);
        return b;
    }

    Bytes doPut() {
        std::string key;
        switch (route(cur.name, &key)) {
        case 'l': {
            std::string luid;
            if (cur.hasBody && key.empty()) {
                int slot = firstFree();
                if (slot < 0)
                    return simple(kForbidden);
                luid = newLuid();
                store[static_cast<size_t>(slot)] = Record{luid, std::string(cur.body.begin(), cur.body.end())};
            } else {
                int slot = findLuid(key);
                if (slot < 0)
                    return simple(kNotFound);
                if (cur.hasBody)
                    store[static_cast<size_t>(slot)]->card.assign(cur.body.begin(), cur.body.end());
                else
                    store[static_cast<size_t>(slot)].reset();
                luid = key;
            }
            ++cc;
            return successWith(luid);
        }
        case 'i': {
            size_t n = static_cast<size_t>(std::stoi(key));
            if (n >= store.size())
                return simple(kForbidden);
            if (cur.hasBody)
                store[n] = Record{store[n] ? store[n]->luid : newLuid(), std::string(cur.body.begin(), cur.body.end())};
            else
                store[n].reset();
            ++cc;
            return simple(kSuccess);
        }
        case 'w':
            if (cur.hasBody)
                return simple(kForbidden);
            for (auto &r : store)
                r.reset();
            ++cc;
            return simple(kSuccess);
        case 'n':
            return simple(kForbidden);
        default:
            inboxFiles[cur.name] = cur.body;
            return simple(kSuccess);
        }
    }

    // The object a final GET asks for: true with its body, false with an error code.
    bool doGet(Bytes *body, uint8_t *code) {
        std::string key;
        std::string text;
        if (cur.type == "x-obex/folder-listing") {
            text = "<?xml version=\"1.0\"?>\r\n<folder-listing version=\"1.0\">\r\n"
                   "<folder name=\"telecom\"/>\r\n</folder-listing>\r\n";
        } else {
            switch (route(cur.name, &key)) {
            case 'n':
                text = infoText();
                break;
            case 'w':
                for (auto &r : store)
                    if (r)
                        text += withLuid(r->card, r->luid);
                break;
            case 'i': {
                size_t n = static_cast<size_t>(std::stoi(key));
                if (n >= store.size() || !store[n]) {
                    *code = kNotFound;
                    return false;
                }
                text = withLuid(store[n]->card, store[n]->luid);
                break;
            }
            case 'l': {
                int slot = findLuid(key);
                if (slot < 0) {
                    *code = kNotFound;
                    return false;
                }
                text = withLuid(store[static_cast<size_t>(slot)]->card, key);
                break;
            }
            default:
                *code = kNotFound;
                return false;
            }
        }
        *body = textBytes(text);
        return true;
    }

    // The next packet of a GET response: Continue with a Body while more follows, else Success
    // with End-of-Body.
    Bytes nextGetPacket() {
        size_t room = clientMax - 6;
        size_t n = std::min(room, getBody.size() - getOff);
        if (cfg.bodyChunk > 0)
            n = std::min(n, cfg.bodyChunk);
        bool last = getOff + n >= getBody.size();
        Bytes b{last ? kSuccess : kContinue, 0, 0};
        addBytesHeader(b, last ? kHdrEnd : kHdrBody,
                       Bytes(getBody.begin() + static_cast<long>(getOff), getBody.begin() + static_cast<long>(getOff + n)));
        setLength(b);
        getOff += n;
        if (last)
            getPending = false;
        return b;
    }

    Bytes connectResponse() {
        Bytes b{kSuccess, 0, 0, 0x10, 0x00};
        put16(b, cfg.maxPacket);
        if (!cur.target.empty()) {
            addBytesHeader(b, kHdrWho, cur.target);
            if (cfg.connectionId != 0)
                addQuadHeader(b, kHdrConnId, cfg.connectionId);
        }
        setLength(b);
        return b;
    }

    void startRequest(uint8_t op) {
        cur = Request{};
        cur.opcode = op;
        inRequest = true;
        log.push_back(cur);
    }

    void handle(const Bytes &p) {
        std::lock_guard<std::mutex> lock(mu);
        if (drop) {
            drop = false;
            closeConn();
            return;
        }
        uint8_t op = p[0];
        bool final = (op & kFinal) != 0;
        uint8_t base = static_cast<uint8_t>(op & 0x7F);
        if (op == kOpConnect || op == kOpDisconnect || op == kOpSetPath || op == kOpAbort) {
            startRequest(op);
            cur.packets.push_back(p);
            gather(p);
            Bytes rsp;
            if (op == kOpConnect) {
                if (p.size() < 7) {
                    rsp = simple(0xC0); // Bad Request
                } else {
                    cur.clientMax = static_cast<uint16_t>((p[5] << 8) | p[6]);
                    clientMax = std::max<size_t>(cur.clientMax, 7);
                    rsp = connectResponse();
                }
            } else {
                rsp = simple(kSuccess);
            }
            log.back() = cur;
            respond(rsp);
            inRequest = false;
            getPending = false;
            return;
        }
        if (base != kOpPut && base != kOpGet) {
            startRequest(base);
            cur.packets.push_back(p);
            log.back() = cur;
            respond(simple(kNotImplemented));
            inRequest = false;
            return;
        }
        if (!inRequest || cur.opcode != base || (base == kOpPut && getPending)) {
            startRequest(base);
            getPending = false;
        }
        cur.packets.push_back(p);
        if (base == kOpGet && getPending) {
            log.back() = cur;
            respond(nextGetPacket());
            if (!getPending)
                inRequest = false;
            return;
        }
        gather(p);
        log.back() = cur;
        if (!final) {
            respond(simple(kContinue));
            return;
        }
        if (failCode) {
            uint8_t code = *failCode;
            failCode.reset();
            respond(simple(code));
            inRequest = false;
            return;
        }
        if (base == kOpPut) {
            respond(doPut());
            inRequest = false;
            return;
        }
        uint8_t code = kNotFound;
        if (!doGet(&getBody, &code)) {
            respond(simple(code));
            inRequest = false;
            return;
        }
        getOff = 0;
        getPending = true;
        respond(nextGetPacket());
        if (!getPending)
            inRequest = false;
    }

    void onData() {
        uint8_t frame[IRDA_STANDIN_FRAME_MAX + 16];
        ssize_t n = ::recv(conn, frame, sizeof frame, 0);
        if (n <= 0) {
            closeConn();
            return;
        }
        size_t from = 0;
        if (connIrcomm) {
            from = static_cast<size_t>(frame[0]) + 1; // skip the control part
            if (from >= static_cast<size_t>(n))
                return;
        }
        in.insert(in.end(), frame + from, frame + n);
        while (conn >= 0 && in.size() >= 3) {
            size_t len = (static_cast<size_t>(in[1]) << 8) | in[2];
            if (len < 3) {
                closeConn(); // a client that breaks framing: drop the link like a handset would
                return;
            }
            if (in.size() < len)
                break;
            Bytes p(in.begin(), in.begin() + static_cast<long>(len));
            in.erase(in.begin(), in.begin() + static_cast<long>(len));
            handle(p);
        }
    }

    void accept(IrdaStandinListener &l, bool isIrcomm) {
        int fd = IrdaStandin_accept(&l);
        if (fd < 0)
            return;
        std::lock_guard<std::mutex> lock(mu);
        closeConn(); // one client at a time, as on a real link
        conn = fd;
        connIrcomm = isIrcomm;
        clientMax = kMinPacket;
        ++accepted;
    }

    void run() {
        for (;;) {
            pollfd fds[4];
            nfds_t count = 0;
            fds[count++] = {wake[0], POLLIN, 0};
            fds[count++] = {ircomm.fd, POLLIN, 0};
            fds[count++] = {obex.fd, POLLIN, 0};
            int c;
            {
                std::lock_guard<std::mutex> lock(mu);
                c = conn;
            }
            if (c >= 0)
                fds[count++] = {c, POLLIN, 0};
            if (::poll(fds, count, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[0].revents)
                return;
            if (fds[1].revents & POLLIN)
                accept(ircomm, true);
            if (fds[2].revents & POLLIN)
                accept(obex, false);
            if (count == 4 && fds[3].revents) {
                bool same;
                {
                    std::lock_guard<std::mutex> lock(mu);
                    same = conn == c;
                }
                if (same)
                    onData();
            }
        }
    }
};

ObexPeer::ObexPeer(PeerConfig config) : impl_(std::make_unique<Impl>()) {
    impl_->cfg = std::move(config);
    impl_->store.resize(static_cast<size_t>(std::max(impl_->cfg.capacity, 0)));
}

ObexPeer::~ObexPeer() { stop(); }

int ObexPeer::start() {
    Impl &m = *impl_;
    if (m.running)
        return 0;
    const char *dir = m.cfg.dir.empty() ? nullptr : m.cfg.dir.c_str();
    int r = IrdaStandin_listen(&m.ircomm, dir, m.cfg.deviceId, m.cfg.nickname.c_str(), "IrDA:IrCOMM", m.cfg.mtu);
    if (r < 0)
        return r;
    r = IrdaStandin_listen(&m.obex, dir, m.cfg.deviceId, m.cfg.nickname.c_str(), "OBEX", m.cfg.mtu);
    if (r < 0) {
        IrdaStandin_close(&m.ircomm);
        return r;
    }
    if (::pipe(m.wake) != 0) {
        int e = -errno;
        IrdaStandin_close(&m.ircomm);
        IrdaStandin_close(&m.obex);
        return e;
    }
    m.running = true;
    m.thread = std::thread([&m] { m.run(); });
    return 0;
}

void ObexPeer::stop() {
    Impl &m = *impl_;
    if (!m.running)
        return;
    char b = 1;
    if (::write(m.wake[1], &b, 1) != 1) {
        // The thread cannot be woken; it ends when the process does.
    }
    m.thread.join();
    ::close(m.wake[0]);
    ::close(m.wake[1]);
    m.wake[0] = m.wake[1] = -1;
    {
        std::lock_guard<std::mutex> lock(m.mu);
        m.closeConn();
    }
    IrdaStandin_close(&m.ircomm);
    IrdaStandin_close(&m.obex);
    m.running = false;
}

std::string ObexPeer::addCard(const std::string &card, const std::string &luid) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    int slot = impl_->firstFree();
    if (slot < 0)
        return {};
    std::string id = luid.empty() ? impl_->newLuid() : luid;
    impl_->store[static_cast<size_t>(slot)] = Record{id, card};
    return id;
}

void ObexPeer::putCard(int slot, const std::string &card, const std::string &luid) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (slot >= 0 && static_cast<size_t>(slot) < impl_->store.size())
        impl_->store[static_cast<size_t>(slot)] = Record{luid, card};
}

std::vector<std::optional<Record>> ObexPeer::slots() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->store;
}

int ObexPeer::used() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->usedSlots();
}

int ObexPeer::changeCounter() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->cc;
}

void ObexPeer::setChangeCounter(int cc) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->cc = cc;
}

void ObexPeer::configure(const PeerConfig &config) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    PeerConfig keep = impl_->cfg;
    impl_->cfg = config;
    // Where the peer is and how it links cannot change while it listens.
    impl_->cfg.dir = keep.dir;
    impl_->cfg.deviceId = keep.deviceId;
    impl_->cfg.nickname = keep.nickname;
    impl_->store.resize(static_cast<size_t>(std::max(config.capacity, 0)));
}

PeerConfig ObexPeer::config() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->cfg;
}

void ObexPeer::failNext(uint8_t code) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->failCode = code;
}

void ObexPeer::scriptNext(const Bytes &raw) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->script = raw;
}

void ObexPeer::dropNext() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->drop = true;
}

std::vector<Request> ObexPeer::requests() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->log;
}

void ObexPeer::clearRequests() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->log.clear();
    if (impl_->inRequest)
        impl_->log.push_back(impl_->cur);
}

std::map<std::string, Bytes> ObexPeer::inbox() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->inboxFiles;
}

int ObexPeer::connections() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->accepted;
}

std::vector<int> ObexPeer::headerIds(const Bytes &packet) {
    std::vector<int> ids;
    if (packet.size() < 3)
        return ids;
    walkHeaders(packet, headerStart(packet[0]), [&](uint8_t id, const uint8_t *, size_t) { ids.push_back(id); });
    return ids;
}

std::vector<std::pair<int, Bytes>> ObexPeer::appTags(const Bytes &value) {
    std::vector<std::pair<int, Bytes>> tags;
    for (size_t at = 0; at + 2 <= value.size();) {
        size_t n = value[at + 1];
        if (at + 2 + n > value.size())
            break;
        tags.emplace_back(value[at], Bytes(value.begin() + static_cast<long>(at + 2),
                                           value.begin() + static_cast<long>(at + 2 + n)));
        at += 2 + n;
    }
    return tags;
}

} // namespace obexpeer
