// The serial transport over a real pseudo-terminal, and over injected system-call faults.

#include "transport/transport_int.h"
#include "transport_test_util.h"
#include "vos/vos_int.h"
#include "dv_result.h"
#include "dv_transport.h"
#include "dv_util.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using transport_test::LogCapture;
using transport_test::msSince;
using transport_test::SteppingClock;

namespace {

class SerialPort : public ::testing::Test {
protected:
    void SetUp() override {
        Vos_attach();
        int slave = -1;
        char name[128] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        close(slave); // the transport opens the slave side by its path
        slavePath = name;
    }

    void TearDown() override {
        TransportSys_setForTest(nullptr);
        CnsVos_setClock(nullptr, nullptr);
        CnsVos_setPumpHook(nullptr, nullptr);
        Cns232_delete(t);
        if (master >= 0)
            close(master);
        Vos_detach();
    }

    CnsSock *openPort(int32_t rxTimeoutMs = 2000) {
        t = Cns232_newPath(slavePath.c_str(), 115200, 2048, 2048);
        EXPECT_NE(t, nullptr);
        CnsSock *sock = Cns232_toSock(t);
        EXPECT_EQ(CnsSock_open(sock), 0);
        EXPECT_EQ(CnsSock_setOpt(sock, CNSSOCK_SO_RCVTIMEO, rxTimeoutMs), 0);
        return sock;
    }

    void masterWrite(const std::string &bytes) {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    std::string masterRead(size_t n) {
        std::string got;
        while (got.size() < n) {
            pollfd pfd{master, POLLIN, 0};
            if (poll(&pfd, 1, 2000) <= 0)
                break;
            char buf[4096];
            ssize_t k = read(master, buf, std::min(sizeof buf, n - got.size()));
            if (k <= 0)
                break;
            got.append(buf, static_cast<size_t>(k));
        }
        return got;
    }

    int master = -1;
    std::string slavePath;
    Cns232 *t = nullptr;
};

TEST_F(SerialPort, TheRecordHasItsSlotsInPlace) {
    t = Cns232_new(1, 0, 0, 0);
    CnsSock *sock = Cns232_toSock(t);
    EXPECT_EQ(static_cast<void *>(sock), static_cast<void *>(t));
    EXPECT_EQ(sock->self, static_cast<void *>(t));
    const CnsSockUnsetFn empty[] = {sock->empty2, sock->empty3, sock->empty4, sock->empty5, sock->empty6, sock->empty7};
    for (CnsSockUnsetFn fn : empty)
        EXPECT_EQ(fn, nullptr);
    const CnsSockUnsetFn unset[] = {sock->unset11, sock->unset12, sock->unset13, sock->unset15, sock->unset17, sock->unset18};
    for (CnsSockUnsetFn fn : unset)
        EXPECT_EQ(fn, &ObjUtil_vfuncNull);
    EXPECT_EQ(sock->nop(sock), 0);
    char buf[4];
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CLOSED) << "never opened";
    EXPECT_EQ(CnsSock_send(sock, "AT", 2), DV_E_CLOSED);
}

TEST_F(SerialPort, OptionsAnswerMinus94OutsideTheirLevelAndNames) {
    t = Cns232_new(1, 0, 0, 0);
    CnsSock *sock = Cns232_toSock(t);
    int32_t v = 123;
    struct Row {
        const char *name;
        int32_t level, option, result;
    };
    const Row gets[] = {
        {"unknown level", 0x1234, CNSSOCK_SO_RCVTIMEO, DV_E_UNSUPPORTED},
        {"unknown name", CNSSOCK_SOL, 0x1007, DV_E_UNSUPPORTED},
        {"raw mode is IrDA only", CNSSOCK_SOL, CNSIRDA_SO_RAW, DV_E_UNSUPPORTED},
        {"receive time-out", CNSSOCK_SOL, CNSSOCK_SO_RCVTIMEO, 0},
        {"send time-out", CNSSOCK_SOL, CNSSOCK_SO_SNDTIMEO, 0},
    };
    for (const Row &r : gets) {
        EXPECT_EQ(sock->getOpt(sock, r.level, r.option, &v), r.result) << "get " << r.name;
        EXPECT_EQ(sock->setOpt(sock, r.level, r.option, &v), r.result) << "set " << r.name;
    }
    ASSERT_EQ(CnsSock_getOpt(sock, CNSSOCK_SO_SNDTIMEO, &v), 0);
    EXPECT_EQ(v, 0) << "the send time-out is accepted and ignored";
    ASSERT_EQ(CnsSock_setOpt(sock, CNSSOCK_SO_RCVTIMEO, -50), 0);
    ASSERT_EQ(CnsSock_getOpt(sock, CNSSOCK_SO_RCVTIMEO, &v), 0);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(sock->getOpt(sock, CNSSOCK_SOL, CNSSOCK_SO_RCVTIMEO, nullptr), DV_E_ARG);
}

TEST_F(SerialPort, BytesAlreadyInTheRingComeBackAtOnce) {
    CnsSock *sock = openPort(5000);
    masterWrite("OK\r\nREADY");
    char buf[64] = {};
    ASSERT_EQ(CnsSock_recv(sock, buf, 4), 4); // waits for the poll; the poll takes all 9
    EXPECT_EQ(std::string(buf, 4), "OK\r\n");
    // From now on the port gives nothing: what comes back must be what the ring already holds.
    static const TransportSys kSilent = [] {
        TransportSys s = *TransportSys_get();
        s.read = [](int, void *, size_t) -> ssize_t {
            errno = EAGAIN;
            return -1;
        };
        return s;
    }();
    TransportSys_setForTest(&kSilent);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), 5);
    EXPECT_EQ(std::string(buf, 5), "READY");
    EXPECT_LT(msSince(start), 2500) << "waited for the 5 s receive time-out";
}

TEST_F(SerialPort, AReceiveWithNothingTimesOut) {
    CnsSock *sock = openPort(200);
    char buf[8];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_TIMEOUT);
    EXPECT_GE(msSince(start), 190);
    EXPECT_LT(msSince(start), 2000);
}

TEST_F(SerialPort, AReceiveCancelledFromThePumpAnswersMinus5) {
    CnsSock *sock = openPort(5000);
    CnsVos_setPumpHook([](void *) { CnsVos_cancelBlocking(); }, nullptr);
    char buf[8];
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CANCELLED);
}

TEST_F(SerialPort, SendReachesThePeerAndOpenLogsTheMissingModemLines) {
    LogCapture log;
    CnsSock *sock = openPort();
    EXPECT_EQ(CnsSock_send(sock, "AT+CGMI\r", 8), 8);
    EXPECT_EQ(masterRead(8), "AT+CGMI\r");
    EXPECT_EQ(CnsSock_open(sock), 0) << "already open";
    std::string text = log.take();
    EXPECT_NE(text.find("cannot set DTR"), std::string::npos) << text;
}

// A megabyte each way with a thread on the other end that writes as fast as the line takes it, so
// the 2048-byte ring keeps filling up while we read it in small pieces; what does not fit must stay
// in the port's queue, not be dropped.
TEST_F(SerialPort, AMegabyteEachWayPassesWithNothingLostOrReordered) {
    constexpr size_t kTotal = 1 << 20;
    auto patternA = [](size_t i) { return static_cast<char>((i * 7 + i / 251) & 0xff); };
    auto patternB = [](size_t i) { return static_cast<char>((i * 13 + i / 241) & 0xff); };

    // Record how much each port read asked for: the reads must shrink to the ring's free room.
    static std::vector<size_t> readSizes;
    readSizes.clear();
    static const TransportSys kRecording = [] {
        TransportSys s = *TransportSys_get();
        s.read = [](int fd, void *buf, size_t n) -> ssize_t {
            readSizes.push_back(n);
            return ::read(fd, buf, n);
        };
        return s;
    }();
    TransportSys_setForTest(&kRecording);
    CnsSock *sock = openPort(5000);

    std::atomic<bool> peerOk{true};
    std::atomic<size_t> peerGot{0};
    std::thread peer([&] {
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        size_t sent = 0, got = 0;
        std::vector<char> out(8192);
        while (got < kTotal || sent < kTotal) {
            pollfd pfd{master, static_cast<short>(POLLIN | (sent < kTotal ? POLLOUT : 0)), 0};
            if (poll(&pfd, 1, 3000) <= 0) {
                peerOk = false;
                return;
            }
            if (pfd.revents & POLLOUT) {
                size_t n = std::min(out.size(), kTotal - sent);
                for (size_t i = 0; i < n; ++i)
                    out[i] = patternA(sent + i);
                ssize_t k = write(master, out.data(), n);
                if (k > 0)
                    sent += static_cast<size_t>(k);
            }
            if (pfd.revents & POLLIN) {
                char in[8192];
                ssize_t k = read(master, in, sizeof in);
                for (ssize_t i = 0; i < k; ++i)
                    if (in[i] != patternB(got + static_cast<size_t>(i)))
                        peerOk = false;
                if (k > 0)
                    got += static_cast<size_t>(k);
                peerGot = got;
            }
        }
    });

    auto start = std::chrono::steady_clock::now();
    size_t sent = 0, got = 0;
    bool inOrder = true;
    std::vector<char> chunk(3000);
    while ((sent < kTotal || got < kTotal) && peerOk && msSince(start) < 20000) {
        if (sent < kTotal) {
            size_t n = std::min(chunk.size(), kTotal - sent);
            for (size_t i = 0; i < n; ++i)
                chunk[i] = patternB(sent + i);
            ASSERT_EQ(CnsSock_send(sock, chunk.data(), static_cast<int32_t>(n)), static_cast<int32_t>(n));
            sent += n;
        }
        if (got < kTotal) {
            char in[700];
            int32_t r = CnsSock_recv(sock, in, sizeof in);
            ASSERT_GT(r, 0);
            for (int32_t i = 0; i < r; ++i)
                inOrder = inOrder && in[i] == patternA(got + static_cast<size_t>(i));
            got += static_cast<size_t>(r);
            // One more wait pass tops the ring up while it still holds bytes, as a delay between
            // commands does: the poll may then take only the ring's free room.
            CnsVos_blocking(0);
        }
    }
    peer.join();
    EXPECT_TRUE(peerOk) << "the peer saw a wrong byte or stalled";
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(got, kTotal);
    EXPECT_EQ(peerGot.load(), kTotal);
    size_t smallest = *std::min_element(readSizes.begin(), readSizes.end());
    EXPECT_LT(smallest, 2048u) << "the ring never filled up";
    EXPECT_GT(smallest, 0u);
    EXPECT_LT(msSince(start), 5000) << "the transport adds waits of its own";
}

TEST_F(SerialPort, AHangUpClosesThePortAndLaterIoAnswersMinus71) {
    CnsSock *sock = openPort(5000);
    close(master);
    master = -1;
    char buf[8];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CLOSED);
    EXPECT_LT(msSince(start), 1000) << "a hang-up must not wait for the receive time-out";
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CLOSED);
    EXPECT_EQ(CnsSock_send(sock, "AT\r", 3), DV_E_CLOSED);
    EXPECT_EQ(CnsSock_close(sock), 0);
}

TEST_F(SerialPort, BytesReceivedBeforeAHangUpAreStillHandedOut) {
    CnsSock *sock = openPort(5000);
    static int reads;
    reads = 0;
    TransportSys lastWords = *TransportSys_get();
    lastWords.read = [](int, void *buf, size_t n) -> ssize_t {
        if (reads++ == 0 && n >= 2) {
            std::memcpy(buf, "OK", 2);
            return 2;
        }
        return 0; // the line hung up
    };
    TransportSys_setForTest(&lastWords);
    char buf[4];
    ASSERT_EQ(CnsSock_recv(sock, buf, 1), 1);
    EXPECT_EQ(buf[0], 'O');
    CnsVos_blocking(0); // the poll sees the hang-up and closes the port
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), 1);
    EXPECT_EQ(buf[0], 'K');
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CLOSED);
}

TEST_F(SerialPort, ASecondOpenOfAHeldPortAnswersMinus64AndSaysWhy) {
    openPort();
    Cns232 *second = Cns232_newPath(slavePath.c_str(), 115200, 2048, 0);
    LogCapture log;
    EXPECT_EQ(CnsSock_open(Cns232_toSock(second)), DV_E_PORT);
    std::string text = log.take();
    EXPECT_NE(text.find("in use"), std::string::npos) << text;
    CnsSock_close(Cns232_toSock(t));
    EXPECT_EQ(CnsSock_open(Cns232_toSock(second)), 0) << "free again once closed";
    Cns232_delete(second);
}

TEST_F(SerialPort, PortsThatCannotBeOpenedAnswerMinus64) {
    struct Row {
        const char *name;
        std::string port;
        int32_t baud;
        const char *logged;
    };
    const Row rows[] = {
        {"COMn maps to ttyS<n-1>", "com250", 0, "open /dev/ttyS249 fail"},
        {"missing path", "/dev/no-such-port", 0, "open /dev/no-such-port fail"},
        {"not a terminal", "/dev/null", 0, "Close RS232 handle"},
        {"rate termios lacks", slavePath, 12345, "unsupported baud rate 12345"},
    };
    for (const Row &r : rows) {
        Cns232 *port = Cns232_newPath(r.port.c_str(), r.baud, 0, 0);
        ASSERT_NE(port, nullptr) << r.name;
        LogCapture log;
        EXPECT_EQ(CnsSock_open(Cns232_toSock(port)), DV_E_PORT) << r.name;
        std::string text = log.take();
        EXPECT_NE(text.find(r.logged), std::string::npos) << r.name << ": " << text;
        Cns232_delete(port);
    }
    Cns232 *zero = Cns232_new(0, 0, 0, 0);
    EXPECT_EQ(CnsSock_open(Cns232_toSock(zero)), DV_E_PORT);
    Cns232_delete(zero);
    EXPECT_EQ(Cns232_newPath("", 0, 0, 0), nullptr);
}

// ---- injected faults ----

// Every other write call is refused with EAGAIN, the others take at most 3 bytes.
std::atomic<int> g_writeCalls{0};
ssize_t choppyWrite(int fd, const void *buf, size_t n) {
    if (g_writeCalls++ % 2 == 0) {
        errno = EAGAIN;
        return -1;
    }
    return ::write(fd, buf, std::min<size_t>(n, 3));
}

TEST_F(SerialPort, ShortWritesAndEagainStillSendEverythingInOrder) {
    CnsSock *sock = openPort();
    TransportSys choppy = *TransportSys_get();
    choppy.write = choppyWrite;
    TransportSys_setForTest(&choppy);
    const std::string msg = "AT+CMGS=23\r0011000B915121551532F40000AA0AE8329BFD4697D9EC37";
    EXPECT_EQ(CnsSock_send(sock, msg.data(), static_cast<int32_t>(msg.size())), static_cast<int32_t>(msg.size()));
    EXPECT_EQ(masterRead(msg.size()), msg);
}

TEST_F(SerialPort, APortThatStopsTakingBytesEndsTheSend) {
    CnsSock *sock = openPort(3000);
    SteppingClock clock;
    clock.step = 500;
    CnsVos_setClock(SteppingClock::read, &clock);
    static int taken;
    taken = 0;
    TransportSys stuck = *TransportSys_get();
    stuck.write = [](int fd, const void *buf, size_t n) -> ssize_t {
        if (taken >= 10) {
            errno = EAGAIN;
            return -1;
        }
        size_t k = std::min<size_t>(n, 10 - static_cast<size_t>(taken));
        taken += static_cast<int>(k);
        return ::write(fd, buf, k);
    };
    stuck.poll = [](pollfd *, nfds_t, int) { return 0; };
    TransportSys_setForTest(&stuck);
    LogCapture log;
    EXPECT_EQ(CnsSock_send(sock, std::string(100, 'x').data(), 100), 10) << "the count the port took";
    EXPECT_EQ(CnsSock_send(sock, "y", 1), DV_E_TIMEOUT) << "nothing taken";
    EXPECT_NE(log.take().find("Error, writeLen(10) != dataLen(100)"), std::string::npos);
}

TEST_F(SerialPort, IoErrorsCloseThePort) {
    struct Row {
        const char *name;
        bool onRead;
        int err;
        int32_t sendResult;
    };
    const Row rows[] = {
        {"read EIO", true, EIO, DV_E_CLOSED},
        {"write EIO", false, EIO, DV_E_CLOSED},
        {"write EINVAL", false, EINVAL, DV_E_IO},
    };
    static int injected;
    for (const Row &r : rows) {
        injected = r.err;
        CnsSock *sock = openPort(5000);
        TransportSys faulty = *TransportSys_get();
        if (r.onRead)
            faulty.read = [](int, void *, size_t) -> ssize_t {
                errno = injected;
                return -1;
            };
        else
            faulty.write = [](int, const void *, size_t) -> ssize_t {
                errno = injected;
                return -1;
            };
        TransportSys_setForTest(&faulty);
        char buf[4];
        if (r.onRead) {
            EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CLOSED) << r.name;
        } else {
            EXPECT_EQ(CnsSock_send(sock, "AT\r", 3), r.sendResult) << r.name;
        }
        TransportSys_setForTest(nullptr);
        if (r.sendResult == DV_E_CLOSED) {
            EXPECT_EQ(CnsSock_send(sock, "AT\r", 3), DV_E_CLOSED) << r.name << ": the port stays closed";
        }
        Cns232_delete(t);
        t = nullptr;
    }
}

} // namespace

namespace {
int32_t idlePoll(void *) { return 0; }
} // namespace

// Every poll slot taken: the open fails with -201 and leaves nothing behind (the port is neither
// held nor watched), and it succeeds once a slot is free again.
TEST_F(SerialPort, AFullPollTableFailsTheOpenCleanly) {
    int fillers = 0;
    while (VosPoll_add(Vos_pollTable(), idlePoll, &fillers) == 0)
        ++fillers;
    ASSERT_GT(fillers, 0);
    t = Cns232_newPath(slavePath.c_str(), 115200, 2048, 2048);
    CnsSock *sock = Cns232_toSock(t);
    EXPECT_EQ(CnsSock_open(sock), DV_E_FULL);
    char buf[8];
    EXPECT_LE(CnsSock_send(sock, "AT\r", 3), 0) << "nothing goes out on a port that is not open";
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CLOSED);

    VosPoll_remove(Vos_pollTable(), idlePoll, &fillers);
    Cns232 *other = Cns232_newPath(slavePath.c_str(), 115200, 2048, 0);
    EXPECT_EQ(CnsSock_open(Cns232_toSock(other)), 0) << "the failed open must not hold the port";
    Cns232_delete(other);
    EXPECT_EQ(CnsSock_open(sock), 0);
}
