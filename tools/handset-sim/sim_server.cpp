// HandsetSim: the pseudo-terminal, the IrDA stand-in service, the serving thread, output pacing
// and the transcript.
//
// The serving thread owns the pty master. It polls the master, a wake-up eventfd (stop, and output
// queued from other threads), an inotify watch on the slave (clients opening and closing it) and,
// with IrDA on, the stand-in's listening socket and the one IrCOMM connection it accepts.
// Output waits in a queue of items, each due at a time of its own (reply delay) and paced as asked
// (bytewise with gaps, or at a baud rate); without pacing an item is written as fast as the pty
// takes it. The simulator keeps its own descriptor of the slave open, so a client may close and
// reopen the slave path without the pty going away.

#include "handset_sim.h"
#include "sim_engine.h"

#ifndef HANDSETSIM_IRDA
#define HANDSETSIM_IRDA 0
#endif
#if HANDSETSIM_IRDA
#include "transport/irda_standin.h"
#endif

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace handsetsim {

using Clock = std::chrono::steady_clock;

namespace {
constexpr size_t kMaxTranscript = 200000; // entries kept in memory
} // namespace

struct HandsetSim::Impl : OutputSink {
    explicit Impl(Scenario s) : eng(std::move(s)), t0(Clock::now()) {}

    // Everything below is guarded by mu, except the thread object, touched only by start/stop.
    mutable std::mutex mu;
    Engine eng;
    const Clock::time_point t0;

    int master = -1;
    int slaveHold = -1;
    int wakeFd = -1;
    int inotifyFd = -1;
    int clients = 0;
    std::string slave;
    std::string link;
    // Which link a reply goes back on: the one the last input came from.
    enum class Link { Pty, Irda };
    Link active = Link::Pty;
    bool hungUp = false; // after a hangup, until reconnect()
    int irdaConn = -1;
#if HANDSETSIM_IRDA
    IrdaStandinListener irl{-1, 0, {}};
#endif
    bool started = false;
    bool stopReq = false;
    std::thread th;

    struct Item {
        std::string bytes;
        size_t off = 0;
        bool gate = false; // holds back what follows until releaseReplies()
        Clock::time_point due;
        int delayMs = 0; // the reply delay asked for, kept for the transcript
        DropMode drop = DropMode::None;
        int restoreAfterMs = -1;
        Clock::time_point drainUntil{}; // hangup: wait this long for the client to read what was sent
        Link target = Link::Pty;
    };
    std::deque<Item> q;
    Clock::time_point lastDue;
    Clock::time_point lineFree; // throttle: the line is busy until then
    // Throttled input: bytes the client wrote that have not yet come down the line at its rate
    // (the last of them arrives at rxLineFree); the engine sees each byte only once it would have.
    std::string rxPending;
    Link rxLink = Link::Pty;
    Clock::time_point rxLineFree;
    Clock::time_point nextByte; // bytewise: the next byte not before then
    Clock::time_point lastWrite;
    bool restorePending = false;
    DropMode restoreMode = DropMode::None;
    Clock::time_point restoreAt;

    std::vector<TranscriptEntry> transcript;
    std::function<void(const TranscriptEntry &)> sink;

    // OutputSink (called with mu held)
    void emit(std::string bytes, int delayMs) override {
        if (bytes.empty())
            return;
        Item it;
        it.bytes = std::move(bytes);
        it.delayMs = delayMs;
        it.target = active;
        it.due = std::max(Clock::now() + std::chrono::milliseconds(delayMs), lastDue);
        lastDue = it.due;
        q.push_back(std::move(it));
        wake();
    }
    void drop(DropMode mode, int restoreAfterMs) override {
        Item it;
        it.due = std::max(Clock::now(), lastDue);
        it.drop = mode;
        it.restoreAfterMs = restoreAfterMs;
        it.target = active;
        q.push_back(std::move(it));
        wake();
    }

    void hold() override {
        Item it;
        it.gate = true;
        it.due = std::max(Clock::now(), lastDue);
        it.target = active;
        q.push_back(std::move(it));
        record(Direction::Note, "answer held");
        wake();
    }

    void wake() {
        if (wakeFd >= 0) {
            const uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
        }
    }

    void record(Direction dir, std::string bytes, int delayMs = 0) {
        TranscriptEntry e;
        e.delayMs = delayMs;
        e.micros = static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count());
        e.dir = dir;
        e.bytes = std::move(bytes);
        // A program left running for hours keeps the newest part only (the file sink gets it all).
        if (transcript.size() >= kMaxTranscript)
            transcript.erase(transcript.begin(), transcript.begin() + kMaxTranscript / 10);
        transcript.push_back(e);
        if (sink)
            sink(transcript.back());
    }

    // Engine diagnostics also go to the transcript, where a failing test shows them in context.
    void noteDiagnostics() {
        for (auto &n : eng.freshNotes)
            record(Direction::Note, std::move(n));
        eng.freshNotes.clear();
    }

    void openPty() {
        int m = -1, s = -1;
        if (::openpty(&m, &s, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
        char name[128];
        if (::ptsname_r(m, name, sizeof name) != 0) {
            ::close(m);
            ::close(s);
            throw std::runtime_error(std::string("ptsname_r: ") + std::strerror(errno));
        }
        // Raw on the slave: the line discipline must neither echo nor turn CR into LF.
        termios t{};
        if (::tcgetattr(s, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(s, TCSANOW, &t);
        }
        ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
        ::fcntl(m, F_SETFD, FD_CLOEXEC);
        ::fcntl(s, F_SETFD, FD_CLOEXEC);
        master = m;
        slaveHold = s;
        slave = name;
        clients = 0;
        if (inotifyFd >= 0)
            ::inotify_add_watch(inotifyFd, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
        lineFree = nextByte = lastDue = rxLineFree = Clock::now();
        relink();
        record(Direction::Note, "pty " + slave);
    }

    void closePty() {
        if (master >= 0)
            ::close(master);
        if (slaveHold >= 0)
            ::close(slaveHold);
        master = slaveHold = -1;
        slave.clear();
        q.clear();
        rxPending.clear();
    }

    void relink() {
        if (link.empty() || slave.empty())
            return;
        // Replace the link atomically, so that a client never finds it missing.
        const std::string tmp = link + ".tmp" + std::to_string(::getpid());
        ::unlink(tmp.c_str());
        if (::symlink(slave.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0) {
            ::unlink(tmp.c_str());
            throw std::runtime_error("cannot link " + link + " to " + slave + ": " + std::strerror(errno));
        }
    }

    // What was still to be said on a connection goes with it: a client that dials again must not
    // get the old connection's answers.
    void closeIrdaConn() {
        if (irdaConn >= 0)
            ::close(irdaConn);
        irdaConn = -1;
        std::erase_if(q, [](const Item &it) { return it.target == Link::Irda && !it.gate && it.drop == DropMode::None; });
        if (rxLink == Link::Irda)
            rxPending.clear();
    }

    // The link path of a hung-up line leads nowhere, as a device node does once its adapter is
    // unplugged. Left pointing at the closed slave, it would follow the pty number to whichever
    // process opens a pty next: a client polling for the handset would talk to somebody else's.
    void unlinkDeadLine() {
        if (link.empty())
            return;
        const std::string tmp = link + ".tmp" + std::to_string(::getpid());
        const std::string nowhere = link + ".hung-up";
        ::unlink(tmp.c_str());
        ::unlink(nowhere.c_str());
        if (::symlink(nowhere.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0) {
            ::unlink(tmp.c_str());
            ::unlink(link.c_str());
        }
    }

    void performDrop(const Item &it) {
        if (it.drop == DropMode::Hangup) {
            record(Direction::Note, "link dropped: hangup");
            closePty();
            unlinkDeadLine();
            closeIrdaConn();
            hungUp = true;
        } else {
            record(Direction::Note, "link dropped: mute");
            eng.sc.faults.silent = true;
        }
        if (it.restoreAfterMs >= 0) {
            restorePending = true;
            restoreMode = it.drop;
            restoreAt = Clock::now() + std::chrono::milliseconds(it.restoreAfterMs);
        }
    }

    std::string restore() {
        restorePending = false;
        hungUp = false;
        eng.sc.faults.silent = false;
        if (master < 0)
            openPty();
        else
            record(Direction::Note, "link restored");
        return slave;
    }

    void handleInotify() {
        alignas(inotify_event) char buf[4096];
        for (;;) {
            const ssize_t n = ::read(inotifyFd, buf, sizeof buf);
            if (n <= 0)
                return;
            for (ssize_t off = 0; off + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                inotify_event ev;
                std::memcpy(&ev, buf + off, sizeof ev);
                off += static_cast<ssize_t>(sizeof(inotify_event) + ev.len);
                if (ev.mask & IN_OPEN) {
                    if (clients == 0) {
                        eng.wake(); // a port opened: the handset may be slow to answer at first
                        if (!eng.sc.faults.openGreeting.empty())
                            emit(eng.sc.faults.openGreeting, 10);
                    }
                    ++clients;
                    record(Direction::Note, "client opened the slave");
                } else if (ev.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                    clients = clients > 0 ? clients - 1 : 0;
                    record(Direction::Note, "client closed the slave");
                    if (clients == 0 && slaveHold >= 0) {
                        // A serial port forgets its exclusive mode and unread input when its last
                        // user closes it; our own descriptor keeps the pty alive, so do it here.
                        ::ioctl(slaveHold, TIOCNXCL);
                        ::tcflush(slaveHold, TCIFLUSH);
                    }
                }
            }
        }
    }

    void irdaListen() {
#if HANDSETSIM_IRDA
        const IrdaConfig &c = eng.sc.irda;
        const int r = IrdaStandin_listen(&irl, c.dir.empty() ? nullptr : c.dir.c_str(), c.deviceId,
                                         c.nickname.c_str(), "IrDA:IrCOMM", c.mtu);
        if (r != 0)
            throw std::runtime_error(std::string("IrDA stand-in: ") + std::strerror(-r));
        record(Direction::Note, std::string("IrDA in range: ") + irl.path);
#else
        throw std::runtime_error("handset simulator built without the IrDA stand-in");
#endif
    }

    void irdaClose() {
#if HANDSETSIM_IRDA
        if (irl.fd >= 0)
            record(Direction::Note, "IrDA out of range");
        IrdaStandin_close(&irl);
#endif
    }

    int irdaListenFd() const {
#if HANDSETSIM_IRDA
        return irl.fd;
#else
        return -1;
#endif
    }

    // A client that hangs up and dials again at once: the end of its old connection can still wait
    // unread (behind frames not read yet) when the new one knocks. Read the old one up to what is
    // pending, so that a connection already gone does not get the new one refused.
    void settleIrdaConn() {
        for (int frames = 0; irdaConn >= 0 && frames < 256; ++frames) {
            char probe;
            const ssize_t n = ::recv(irdaConn, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                return; // still there, nothing pending
            irdaRead(); // a frame, or the end (which closes it)
        }
    }

    // IrDA is point to point: one connection at a time, none while the link is hung up.
    void irdaAccept() {
#if HANDSETSIM_IRDA
        for (;;) {
            settleIrdaConn();
            if (irdaConn >= 0 || hungUp) {
                if (IrdaStandin_refuse(&irl) != 0)
                    return;
                record(Direction::Note, "IrDA connection refused");
                continue;
            }
            const int fd = IrdaStandin_accept(&irl);
            if (fd < 0)
                return;
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            irdaConn = fd;
            record(Direction::Note, "IrDA client connected");
        }
#endif
    }

    void irdaRead() {
        char buf[4096];
        const ssize_t n = ::recv(irdaConn, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0) {
            record(Direction::Note, "IrDA client closed");
            closeIrdaConn();
            return;
        }
        // IrCOMM 3-wire raw: the first octet counts the control parameters in front of the data.
        const size_t ctl = static_cast<uint8_t>(buf[0]);
        if (ctl + 1 >= static_cast<size_t>(n))
            return;
        received(Link::Irda, buf + ctl + 1, static_cast<size_t>(n) - ctl - 1);
    }

    static std::chrono::nanoseconds byteTime(int baud) { return std::chrono::nanoseconds(10'000'000'000LL / baud); }

    // Bytes read from a link. Unthrottled they go to the engine at once; throttled they queue and
    // reach it at the line rate (feedDue), as a handset at that baud rate receives them.
    void received(Link from, const char *data, size_t n) {
        record(Direction::In, std::string(data, n));
        const int baud = eng.sc.faults.throttleBaud;
        if (baud <= 0 && rxPending.empty()) {
            active = from;
            eng.feed(data, n, *this);
            noteDiagnostics();
            return;
        }
        if (!rxPending.empty() && rxLink != from)
            rxPending.clear(); // the other link's half-received bytes are lost with the switch
        rxLink = from;
        rxPending.append(data, n);
        if (baud > 0)
            rxLineFree = std::max(rxLineFree, Clock::now()) + byteTime(baud) * static_cast<int64_t>(n);
    }

    // Hands the engine the queued input that has come down the line by now; lowers `timeout` to
    // when the next few bytes will have.
    void feedDue(Clock::duration &timeout) {
        if (rxPending.empty())
            return;
        const int baud = eng.sc.faults.throttleBaud;
        const Clock::time_point now = Clock::now();
        size_t n = rxPending.size();
        if (baud > 0 && rxLineFree > now) {
            const auto perByte = byteTime(baud);
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(rxLineFree - now);
            const auto notYet = std::min<size_t>(n, static_cast<size_t>((left + perByte - std::chrono::nanoseconds(1)) / perByte));
            n -= notYet;
            if (notYet > 0) {
                // Wake when about 5 ms more of line time has come in, or all of it.
                const size_t chunk = std::max<size_t>(1, static_cast<size_t>(baud / 2000));
                const auto wait = notYet > chunk ? left - perByte * static_cast<int64_t>(notYet - chunk) : left;
                timeout = std::min(timeout, std::chrono::duration_cast<Clock::duration>(wait));
            }
        }
        if (n == 0)
            return;
        const std::string bytes = rxPending.substr(0, n);
        rxPending.erase(0, n);
        active = rxLink;
        eng.feed(bytes.data(), bytes.size(), *this);
        noteDiagnostics();
    }

    // One data write on the item's link: the bytes taken, or -1 with errno.
    ssize_t writeLink(const Item &it, size_t n) {
        if (it.target == Link::Pty)
            return ::write(master, it.bytes.data() + it.off, n);
        // One IrCOMM frame: no control parameters, then at most mtu - 2 data bytes.
        const int mtu = eng.sc.irda.mtu > 2 ? eng.sc.irda.mtu : 60;
        n = std::min(n, static_cast<size_t>(mtu - 2));
        std::string frame(1, '\0');
        frame.append(it.bytes, it.off, n);
        const ssize_t r = ::send(irdaConn, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        return r < 0 ? r : r - 1;
    }

    // Writes what is due. Returns the descriptor that would block (wait for POLLOUT on it) or -1;
    // sets `timeout` to the time until the next item or byte is due.
    int writeDue(Clock::duration &timeout) {
        timeout = Clock::duration::max();
        while (!q.empty()) {
            Item &it = q.front();
            if (it.gate)
                return -1; // until releaseReplies()
            const Clock::time_point now = Clock::now();
            if (it.due > now) {
                timeout = it.due - now;
                return -1;
            }
            if (it.drop == DropMode::Hangup && it.target == Link::Pty && slaveHold >= 0) {
                // Bytes that went down the line before the drop still reach the client: closing the
                // master at once would discard what is unread on the slave side. FIONREAD does not
                // count what the kernel has yet to move from the master's writes to the slave, so
                // also let the line settle a little after the last write. Half a second at most
                // for a client that does not read.
                int pending = 0;
                const bool unread = ::ioctl(slaveHold, FIONREAD, &pending) == 0 && pending > 0;
                if (unread || now - lastWrite < std::chrono::milliseconds(20)) {
                    if (it.drainUntil == Clock::time_point{})
                        it.drainUntil = now + std::chrono::milliseconds(500);
                    if (now < it.drainUntil) {
                        timeout = std::chrono::milliseconds(2);
                        return -1;
                    }
                }
            }
            if (it.drop != DropMode::None) {
                const Item copy = it;
                q.pop_front();
                performDrop(copy);
                continue;
            }
            const int fd = it.target == Link::Pty ? master : irdaConn;
            if (fd < 0) { // link down: what the handset says is lost
                q.pop_front();
                continue;
            }
            const Faults &f = eng.sc.faults;
            Clock::time_point ready = now;
            if (f.bytewise)
                ready = std::max(ready, nextByte);
            size_t n = it.bytes.size() - it.off;
            if (f.bytewise)
                n = 1;
            std::chrono::nanoseconds perByte{0};
            if (f.throttleBaud > 0) {
                perByte = std::chrono::nanoseconds(10'000'000'000LL / f.throttleBaud);
                // Chunks of about 5 ms of line time keep the pace smooth without a wake-up per byte.
                const size_t chunk = std::max<size_t>(1, static_cast<size_t>(f.throttleBaud / 2000));
                n = std::min(n, chunk);
                // A chunk reaches the client when its last byte would have: its line time starts
                // when the line is free (or when the item became due) and it is written at the end.
                ready = std::max(ready, std::max(lineFree, it.due) + perByte * static_cast<int64_t>(n));
            }
            if (ready > now) {
                timeout = ready - now;
                return -1;
            }
            const ssize_t w = writeLink(it, n);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN)
                    return fd;
                record(Direction::Note, std::string("write failed: ") + std::strerror(errno));
                const bool irda = it.target == Link::Irda;
                q.pop_front();
                if (irda)
                    closeIrdaConn(); // drops the rest queued for it
                continue;
            }
            record(Direction::Out, it.bytes.substr(it.off, static_cast<size_t>(w)), it.delayMs);
            it.off += static_cast<size_t>(w);
            const Clock::time_point after = Clock::now();
            lastWrite = after;
            if (f.bytewise)
                nextByte = after + std::chrono::milliseconds(f.byteGapMs);
            if (f.throttleBaud > 0)
                lineFree = std::max(lineFree, it.due) + perByte * w;
            if (it.off >= it.bytes.size())
                q.pop_front();
        }
        return -1;
    }

    void run() {
        std::unique_lock<std::mutex> lk(mu);
        while (!stopReq) {
            Clock::duration timeout;
            const int blocked = writeDue(timeout); // sets timeout afresh
            feedDue(timeout);                      // what it feeds is written on the next pass
            if (restorePending) {
                const Clock::time_point now = Clock::now();
                if (restoreAt <= now) {
                    try {
                        restore();
                    } catch (const std::exception &e) {
                        record(Direction::Note, e.what());
                    }
                    continue;
                }
                timeout = std::min(timeout, Clock::duration(restoreAt - now));
            }
            pollfd fds[5];
            nfds_t nf = 0;
            const auto add = [&](int fd, short events) {
                if (fd < 0)
                    return -1;
                fds[nf] = {fd, events, 0};
                return static_cast<int>(nf++);
            };
            add(wakeFd, POLLIN);
            const int masterIdx = add(master, static_cast<short>(POLLIN | (blocked == master ? POLLOUT : 0)));
            const int inoIdx = add(inotifyFd, POLLIN);
            const int listenIdx = add(irdaListenFd(), POLLIN);
            const int connIdx =
                add(irdaConn, static_cast<short>(POLLIN | (blocked == irdaConn ? POLLOUT : 0)));
            timespec ts{};
            timespec *tsp = nullptr;
            if (timeout != Clock::duration::max()) {
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
                ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
                ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
                tsp = &ts;
            }
            lk.unlock();
            const int pr = ::ppoll(fds, nf, tsp, nullptr);
            lk.lock();
            if (pr <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                uint64_t v;
                [[maybe_unused]] ssize_t n = ::read(wakeFd, &v, sizeof v);
            }
            if (inoIdx >= 0 && (fds[inoIdx].revents & POLLIN))
                handleInotify();
            // The master may have been closed meanwhile (hangup from another thread).
            if (listenIdx >= 0 && irdaListenFd() == fds[listenIdx].fd && (fds[listenIdx].revents & POLLIN))
                irdaAccept();
            if (connIdx >= 0 && irdaConn == fds[connIdx].fd &&
                (fds[connIdx].revents & (POLLIN | POLLHUP | POLLERR)))
                irdaRead();
            if (masterIdx >= 0 && master == fds[masterIdx].fd && (fds[masterIdx].revents & POLLIN)) {
                char buf[4096];
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n > 0)
                    received(Link::Pty, buf, static_cast<size_t>(n));
            }
        }
    }
};

// ----------------------------------------------------------------------------------------------

HandsetSim::HandsetSim() : HandsetSim(defaultScenario()) {}

HandsetSim::HandsetSim(Scenario scenario) : d_(std::make_unique<Impl>(std::move(scenario))) {}

std::unique_ptr<HandsetSim> HandsetSim::fromJson(const std::string &jsonText) {
    return std::make_unique<HandsetSim>(parseScenario(jsonText));
}

std::unique_ptr<HandsetSim> HandsetSim::fromFile(const std::string &path) {
    return std::make_unique<HandsetSim>(loadScenario(path));
}

HandsetSim::~HandsetSim() {
    stop();
}

std::string HandsetSim::start(const std::string &linkPath) {
    std::lock_guard<std::mutex> lk(d_->mu);
    if (d_->started)
        throw std::runtime_error("handset simulator already started");
    d_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (d_->wakeFd < 0)
        throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
    d_->inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC); // optional: -1 only loses the client notes
    d_->link = linkPath;
    d_->stopReq = false;
    try {
        d_->openPty();
        if (d_->eng.sc.irda.enabled)
            d_->irdaListen();
    } catch (...) {
        ::close(d_->wakeFd);
        d_->wakeFd = -1;
        if (d_->inotifyFd >= 0)
            ::close(d_->inotifyFd);
        d_->inotifyFd = -1;
        d_->closePty();
        d_->irdaClose();
        throw;
    }
    d_->eng.startInjections(*d_);
    d_->started = true;
    d_->th = std::thread([this] { d_->run(); });
    return d_->slave;
}

void HandsetSim::stop() {
    {
        std::lock_guard<std::mutex> lk(d_->mu);
        if (!d_->started)
            return;
        d_->stopReq = true;
        d_->wake();
    }
    if (d_->th.joinable())
        d_->th.join();
    std::lock_guard<std::mutex> lk(d_->mu);
    // The link goes first, so that nobody follows it to the pty number about to be freed.
    if (!d_->link.empty())
        ::unlink(d_->link.c_str());
    d_->closePty();
    d_->irdaClose();
    d_->closeIrdaConn();
    for (int *fd : {&d_->wakeFd, &d_->inotifyFd})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    d_->started = false;
    d_->record(Direction::Note, "stopped");
}

bool HandsetSim::running() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->started;
}

std::string HandsetSim::slavePath() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->slave;
}

// ---- faults

void HandsetSim::setFaults(const Faults &f) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.faults = f;
    d_->wake();
}

Faults HandsetSim::faults() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->eng.sc.faults;
}

void HandsetSim::setReplyDelay(int ms) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.faults.replyDelayMs = ms < 0 ? 0 : ms;
}

void HandsetSim::setSilent(bool silent) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.faults.silent = silent;
}

void HandsetSim::setBytewise(bool on, int gapMs) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.faults.bytewise = on;
    d_->eng.sc.faults.byteGapMs = gapMs < 0 ? 0 : gapMs;
    d_->wake();
}

void HandsetSim::setThrottle(int baud) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.faults.throttleBaud = baud < 0 ? 0 : baud;
    d_->lineFree = Clock::now();
    d_->wake();
}

void HandsetSim::setSendError(int cmsCode) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.faults.sendError = cmsCode < 0 ? 0 : cmsCode;
}

void HandsetSim::setSendErrorAt(int n, int cmsCode) {
    std::lock_guard<std::mutex> lock(d_->mu);
    d_->eng.sc.faults.sendErrorAt = n < 0 ? 0 : n;
    d_->eng.sc.faults.sendErrorCode = cmsCode < 0 ? 0 : cmsCode;
}

void HandsetSim::inject(const Injection &inj) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.inject(inj, *d_);
}

void HandsetSim::injectUnsolicited(const std::string &line, When when, const std::string &onCommand) {
    inject(Injection{line, true, when, onCommand, false});
}

void HandsetSim::injectGarbage(const std::string &bytes, When when, const std::string &onCommand) {
    inject(Injection{bytes, false, when, onCommand, false});
}

void HandsetSim::dropLink(DropMode mode) {
    std::lock_guard<std::mutex> lk(d_->mu);
    if (mode == DropMode::None)
        return;
    if (mode == DropMode::Hangup)
        d_->q.clear();
    Impl::Item it;
    it.drop = mode;
    d_->performDrop(it);
    d_->wake();
}

void HandsetSim::holdNextReply(const std::string &pattern) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.holdPattern = pattern;
}

bool HandsetSim::replyHeld() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (const Impl::Item &it : d_->q)
        if (it.gate)
            return true;
    return false;
}

void HandsetSim::releaseReplies() {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (auto it = d_->q.begin(); it != d_->q.end();)
        it = it->gate ? d_->q.erase(it) : std::next(it);
    const Clock::time_point now = Clock::now();
    for (Impl::Item &it : d_->q)
        it.due = std::max(it.due, now);
    d_->record(Direction::Note, "answers released");
    d_->wake();
}

std::string HandsetSim::reconnect() {
    std::lock_guard<std::mutex> lk(d_->mu);
    if (!d_->started)
        throw std::runtime_error("handset simulator not started");
    const std::string path = d_->restore();
    d_->wake();
    return path;
}

bool HandsetSim::irdaSupported() {
    return HANDSETSIM_IRDA != 0;
}

void HandsetSim::setIrdaInRange(bool inRange) {
    std::lock_guard<std::mutex> lk(d_->mu);
    if (!d_->started || !d_->eng.sc.irda.enabled)
        return;
    if (!inRange)
        d_->irdaClose();
    else if (d_->irdaListenFd() < 0)
        d_->irdaListen();
    d_->wake();
}

void HandsetSim::setImei(const std::string &imei) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.identity.imei = imei;
}

// ---- behaviour

void HandsetSim::setProfile(const Profile &p) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.profile = p;
}

Profile HandsetSim::profile() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->eng.sc.profile;
}

void HandsetSim::updateProfile(const std::function<void(Profile &)> &edit) {
    std::lock_guard<std::mutex> lk(d_->mu);
    edit(d_->eng.sc.profile);
}

void HandsetSim::addCanned(const CannedReply &c) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.canned.push_back(c);
}

void HandsetSim::clearCanned() {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.canned.clear();
}

// ---- contents

Identity HandsetSim::identity() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->eng.sc.identity;
}

void HandsetSim::setIdentity(const Identity &id) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.sc.identity = id;
}

Status HandsetSim::status() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->eng.status();
}

void HandsetSim::setStatus(const Status &s) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.setStatus(s);
}

std::optional<PhonebookStorage> HandsetSim::phonebook(const std::string &name) const {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (const auto &pb : d_->eng.sc.phonebooks)
        if (pb.name == name)
            return pb;
    return std::nullopt;
}

void HandsetSim::setPhonebook(const PhonebookStorage &pb) {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (auto &p : d_->eng.sc.phonebooks)
        if (p.name == pb.name) {
            p = pb;
            return;
        }
    d_->eng.sc.phonebooks.push_back(pb);
}

void HandsetSim::putPhonebookEntry(const std::string &storage, const PhonebookEntry &e) {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (auto &p : d_->eng.sc.phonebooks)
        if (p.name == storage) {
            p.entries[e.index] = e;
            return;
        }
    throw std::out_of_range("no phone book " + storage);
}

void HandsetSim::erasePhonebookEntry(const std::string &storage, int index) {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (auto &p : d_->eng.sc.phonebooks)
        if (p.name == storage)
            p.entries.erase(index);
}

std::optional<SmsStorage> HandsetSim::smsStorage(const std::string &name) const {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (const auto &s : d_->eng.sc.smsStorages)
        if (s.name == name)
            return s;
    return std::nullopt;
}

void HandsetSim::setSmsStorage(const SmsStorage &st) {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (auto &s : d_->eng.sc.smsStorages)
        if (s.name == st.name) {
            s = st;
            return;
        }
    d_->eng.sc.smsStorages.push_back(st);
}

void HandsetSim::putSms(const std::string &storage, const SmsMessage &m) {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (auto &s : d_->eng.sc.smsStorages)
        if (s.name == storage) {
            s.messages[m.index] = m;
            return;
        }
    throw std::out_of_range("no message storage " + storage);
}

void HandsetSim::eraseSms(const std::string &storage, int index) {
    std::lock_guard<std::mutex> lk(d_->mu);
    for (auto &s : d_->eng.sc.smsStorages)
        if (s.name == storage)
            s.messages.erase(index);
}

ModemState HandsetSim::state() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    ModemState s = d_->eng.state();
    s.linkUp = d_->master >= 0;
    s.irdaConnected = d_->irdaConn >= 0;
    return s;
}

// ---- records

std::vector<TranscriptEntry> HandsetSim::transcript() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->transcript;
}

std::string HandsetSim::formatEntry(const TranscriptEntry &e) {
    char head[48];
    std::snprintf(head, sizeof head, "%10.3f %s ", static_cast<double>(e.micros) / 1000.0,
                  e.dir == Direction::In    ? "RX"
                  : e.dir == Direction::Out ? "TX"
                                            : "--");
    if (e.dir == Direction::Note)
        return head + e.bytes;
    std::string s = head;
    s += '"';
    for (unsigned char c : e.bytes) {
        switch (c) {
        case '\r':
            s += "\\r";
            break;
        case '\n':
            s += "\\n";
            break;
        case '\t':
            s += "\\t";
            break;
        case '"':
            s += "\\\"";
            break;
        case '\\':
            s += "\\\\";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                s += buf;
            } else {
                s += static_cast<char>(c);
            }
        }
    }
    s += '"';
    return s;
}

std::string HandsetSim::transcriptText() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    std::string s;
    for (const auto &e : d_->transcript)
        s += formatEntry(e) + "\n";
    return s;
}

bool HandsetSim::writeTranscript(const std::string &path) const {
    const std::string text = transcriptText();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

void HandsetSim::clearTranscript() {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->transcript.clear();
}

void HandsetSim::setTranscriptSink(std::function<void(const TranscriptEntry &)> sink) {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->sink = std::move(sink);
}

std::vector<std::string> HandsetSim::commands() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->eng.commands;
}

void HandsetSim::clearCommands() {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.commands.clear();
}

std::vector<SubmittedPdu> HandsetSim::submitted() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->eng.submitted;
}

void HandsetSim::clearSubmitted() {
    std::lock_guard<std::mutex> lk(d_->mu);
    d_->eng.submitted.clear();
}

std::vector<std::string> HandsetSim::diagnostics() const {
    std::lock_guard<std::mutex> lk(d_->mu);
    return d_->eng.diagnostics;
}

} // namespace handsetsim
