// The IrDA transport against the IrDA stand-in stack: discovery, connect, MTU, IrCOMM framing and
// raw mode, with the device side served from the wait loop's pump on the same thread.

#include "transport/irda_standin.h"
#include "transport/transport_int.h"
#include "transport_test_util.h"
#include "vos/vos_int.h"
#include "dv_result.h"
#include "dv_transport.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using transport_test::LogCapture;
using transport_test::msSince;
using transport_test::SteppingClock;

namespace {

// The handset's side of one service: answers (or refuses) connects when the wait loop pumps.
struct Device {
    enum Mode { Accept, Refuse, Ignore } mode = Accept;
    IrdaStandinListener listener{-1, 0, {}};
    int conn = -1;

    static void pump(void *ctx) {
        auto *d = static_cast<Device *>(ctx);
        if (d->listener.fd < 0 || d->conn >= 0)
            return;
        if (d->mode == Accept) {
            int fd = IrdaStandin_accept(&d->listener);
            if (fd >= 0)
                d->conn = fd;
        } else if (d->mode == Refuse) {
            IrdaStandin_refuse(&d->listener);
        }
    }

    void sendFrame(const std::string &frame) const {
        ASSERT_EQ(send(conn, frame.data(), frame.size(), MSG_NOSIGNAL), static_cast<ssize_t>(frame.size()));
    }

    // Frames waiting for the device, one string each.
    std::vector<std::string> takeFrames() const {
        std::vector<std::string> frames;
        for (;;) {
            pollfd pfd{conn, POLLIN, 0};
            if (poll(&pfd, 1, 100) <= 0)
                break;
            char buf[4096];
            ssize_t n = recv(conn, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            frames.emplace_back(buf, static_cast<size_t>(n));
        }
        return frames;
    }

    ~Device() {
        if (conn >= 0)
            close(conn);
        IrdaStandin_close(&listener);
    }
};

// Counts discovery rounds on the way to the stand-in.
int g_enumCalls = 0;
int32_t countingEnum(void *ctx, CnsIrdaDevice *out, int32_t max) {
    ++g_enumCalls;
    return CnsIrda_standinProvider()->enumDevices(ctx, out, max);
}

class Irda : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/dvirdaXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        setenv("SELVARK_IRDA_DIR", dir.c_str(), 1);
        counting = *CnsIrda_standinProvider();
        counting.enumDevices = countingEnum;
        CnsIrda_setProviderForTest(&counting);
        g_enumCalls = 0;
        Vos_attach();
    }

    void TearDown() override {
        CnsIrda_delete(t);
        CnsVos_setPumpHook(nullptr, nullptr);
        CnsVos_setClock(nullptr, nullptr);
        CnsIrda_setProviderForTest(nullptr);
        TransportSys_setForTest(nullptr);
        devices.clear();
        if (DIR *d = opendir(dir.c_str())) {
            while (dirent *e = readdir(d))
                if (e->d_name[0] != '.')
                    unlink((dir + "/" + e->d_name).c_str());
            closedir(d);
        }
        rmdir(dir.c_str());
        unsetenv("SELVARK_IRDA_DIR");
        Vos_detach();
    }

    Device &addDevice(uint32_t id, const char *nick, const char *service, int mtu, Device::Mode mode = Device::Accept) {
        devices.emplace_back(std::make_unique<Device>());
        Device &d = *devices.back();
        d.mode = mode;
        EXPECT_EQ(IrdaStandin_listen(&d.listener, nullptr, id, nick, service, mtu), 0);
        CnsVos_setPumpHook(Device::pump, &d);
        return d;
    }

    CnsSock *connect(int32_t expected = 0, int32_t rxRing = 2048) {
        t = CnsIrda_new(0, rxRing, 0);
        CnsSock *sock = CnsIrda_toSock(t);
        EXPECT_EQ(CnsSock_open(sock), expected);
        CnsSock_setOpt(sock, CNSSOCK_SO_RCVTIMEO, 2000);
        return sock;
    }

    // Receives until `stop` arrives (it is left out) or the transport answers an error.
    static std::string receiveUntil(CnsSock *sock, char stop, int32_t chunk = 64) {
        std::string got;
        for (;;) {
            char buf[256];
            int32_t r = CnsSock_recv(sock, buf, chunk);
            if (r <= 0)
                return got + "<" + std::to_string(r) + ">";
            got.append(buf, static_cast<size_t>(r));
            size_t at = got.find(stop);
            if (at != std::string::npos)
                return got.substr(0, at);
        }
    }

    std::string dir;
    CnsIrdaProvider counting{};
    std::vector<std::unique_ptr<Device>> devices;
    CnsIrda *t = nullptr;
};

// ---- discovery and connect ----

TEST_F(Irda, NoDeviceInRangeAnswersMinus25AfterThreeAttempts) {
    SteppingClock clock; // each 2-second pause passes in a few wait passes
    CnsVos_setClock(SteppingClock::read, &clock);
    connect(DV_E_NOTFOUND);
    EXPECT_EQ(g_enumCalls, 3);
    EXPECT_GE(clock.now - 1000, 3u * 2000u) << "about 2 s between attempts";
}

TEST_F(Irda, AStackThatIsDownAnswersMinus102AtOnce) {
    IrdaStandin_setStackDown(nullptr, 1);
    connect(DV_E_STACKDOWN);
    EXPECT_EQ(g_enumCalls, 1);
    IrdaStandin_setStackDown(nullptr, 0);

    setenv("SELVARK_IRDA_DIR", (dir + "/missing").c_str(), 1);
    CnsIrda_delete(t);
    connect(DV_E_STACKDOWN);
}

TEST_F(Irda, RefusedConnectsAnswerMinus8) {
    struct Row {
        const char *name;
        const char *service;
        Device::Mode mode;
    };
    const Row rows[] = {
        {"no IrCOMM service", "OBEX", Device::Accept},
        {"the device closes without a hello", "IrDA:IrCOMM", Device::Refuse},
    };
    for (const Row &r : rows) {
        addDevice(0x1234, "Phone", r.service, 60, r.mode);
        connect(DV_E_REFUSED);
        CnsIrda_delete(t);
        t = nullptr;
        devices.clear();
    }
}

TEST_F(Irda, ADeviceThatNeverAnswersTimesOutAfter3Seconds) {
    addDevice(0x1234, "Phone", "IrDA:IrCOMM", 60, Device::Ignore);
    SteppingClock clock;
    CnsVos_setClock(SteppingClock::read, &clock);
    connect(DV_E_TIMEOUT);
    EXPECT_EQ(g_enumCalls, 1) << "only 'no device' is attempted again";
}

TEST_F(Irda, ConnectsToTheFirstDeviceAndLogsTheMtu) {
    addDevice(0x00b2, "Second", "IrDA:IrCOMM", 60);
    addDevice(0x00a1, "First", "IrDA:IrCOMM", 60);
    LogCapture log;
    connect();
    std::string text = log.take();
    EXPECT_NE(text.find(" [First]"), std::string::npos) << text;
    EXPECT_NE(text.find("mtu=60,58"), std::string::npos) << text;
    EXPECT_GE(devices[1]->conn, 0) << "the first device in the list took the link";
    EXPECT_LT(devices[0]->conn, 0);
}

// ---- framing ----

TEST_F(Irda, SendSplitsIntoFramesOfMtuMinus2DataBytes) {
    struct Row {
        const char *name;
        int mtu;
        int32_t length;
        std::vector<size_t> frames;
    };
    const Row rows[] = {
        {"mtu 60", 60, 200, {59, 59, 59, 27}},
        {"mtu 2 still carries a byte", 2, 3, {2, 2, 2}},
        {"no mtu announced: 60", 0, 100, {59, 43}},
        {"mtu above the frame buffer", 3000, 3000, {2052, 950}},
    };
    for (const Row &r : rows) {
        Device &d = addDevice(0x77, "Phone", "IrDA:IrCOMM", r.mtu);
        CnsSock *sock = connect();
        std::string data(static_cast<size_t>(r.length), '\0');
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>('A' + i % 26);
        EXPECT_EQ(CnsSock_send(sock, data.data(), r.length), r.length) << r.name;
        std::vector<std::string> frames = d.takeFrames();
        std::vector<size_t> sizes;
        std::string joined;
        for (const std::string &f : frames) {
            sizes.push_back(f.size());
            EXPECT_EQ(f[0], '\0') << r.name << ": control-length byte";
            joined += f.substr(1);
        }
        EXPECT_EQ(sizes, r.frames) << r.name;
        EXPECT_EQ(joined, data) << r.name;
        CnsIrda_delete(t);
        t = nullptr;
        devices.clear();
    }
}

TEST_F(Irda, ReceivedFramesLoseTheirControlPartAndNulBytesUnlessRaw) {
    using namespace std::string_literals;
    struct Row {
        const char *name;
        std::string frame;
        std::string normal;
        std::string raw;
    };
    const Row rows[] = {
        {"plain data", "\0OK\r\n"s, "OK\r\n"s, "OK\r\n"s},
        {"NUL bytes", "\0A\0B\0"s, "AB"s, "A\0B\0"s},
        {"control parameters", "\x02\x09\x09" "CD"s, "CD"s, "CD"s},
        {"control part covers the frame", "\x03\x01\x02\x03"s, ""s, ""s},
        {"control length past the frame", "\x09\x01"s, ""s, ""s},
    };
    for (int raw = 0; raw <= 1; ++raw) {
        for (const Row &r : rows) {
            Device &d = addDevice(0x77, "Phone", "IrDA:IrCOMM", 60);
            CnsSock *sock = connect();
            ASSERT_EQ(CnsSock_setOpt(sock, CNSIRDA_SO_RAW, raw), 0);
            d.sendFrame(r.frame);
            d.sendFrame("\0|"s); // end marker
            EXPECT_EQ(receiveUntil(sock, '|'), raw ? r.raw : r.normal) << r.name << (raw ? " (raw)" : "");
            CnsIrda_delete(t);
            t = nullptr;
            devices.clear();
        }
    }
}

TEST_F(Irda, FramesWaitWhileTheRingIsFullAndNothingIsLost) {
    Device &d = addDevice(0x77, "Phone", "IrDA:IrCOMM", 60);
    CnsSock *sock = connect(0, 16);
    std::string expected;
    for (int f = 0; f < 20; ++f) {
        std::string data;
        for (int i = 0; i < 10; ++i)
            data.push_back(static_cast<char>('a' + (f + i) % 26));
        expected += data;
        d.sendFrame(std::string(1, '\0') + data);
    }
    d.sendFrame(std::string("\0|", 2));
    EXPECT_EQ(receiveUntil(sock, '|', 7), expected);
}

TEST_F(Irda, ALinkDroppedByTheDeviceAnswersMinus71) {
    Device &d = addDevice(0x77, "Phone", "IrDA:IrCOMM", 60);
    CnsSock *sock = connect();
    CnsSock_setOpt(sock, CNSSOCK_SO_RCVTIMEO, 5000);
    close(d.conn);
    d.conn = -1;
    d.mode = Device::Ignore;
    char buf[8];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CLOSED);
    EXPECT_LT(msSince(start), 1000);
    EXPECT_EQ(CnsSock_send(sock, "AT\r", 3), DV_E_CLOSED);
}

TEST_F(Irda, DataSentJustBeforeTheDropIsStillDelivered) {
    Device &d = addDevice(0x77, "Phone", "IrDA:IrCOMM", 60);
    CnsSock *sock = connect(0, 4); // the frame cannot go into the ring at once
    d.sendFrame(std::string("\0+CSQ: 9,99", 11));
    close(d.conn);
    d.conn = -1;
    d.mode = Device::Ignore;
    EXPECT_EQ(receiveUntil(sock, '|', 3), "+CSQ: 9,99<-71>");
}

TEST_F(Irda, ASendTheLinkRefusesClosesIt) {
    addDevice(0x77, "Phone", "IrDA:IrCOMM", 60);
    CnsSock *sock = connect();
    TransportSys broken = *TransportSys_get();
    broken.send = [](int, const void *, size_t, int) -> ssize_t {
        errno = ECONNRESET;
        return -1;
    };
    TransportSys_setForTest(&broken);
    LogCapture log;
    EXPECT_EQ(CnsSock_send(sock, "AT\r", 3), DV_E_CLOSED);
    EXPECT_NE(log.take().find("tx irda fail"), std::string::npos);
    TransportSys_setForTest(nullptr);
    char buf[4];
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CLOSED);
}

TEST_F(Irda, RawModeIsAnIrdaOption) {
    t = CnsIrda_new(0, 0, 0);
    CnsSock *sock = CnsIrda_toSock(t);
    int32_t v = -1;
    ASSERT_EQ(CnsSock_getOpt(sock, CNSIRDA_SO_RAW, &v), 0);
    EXPECT_EQ(v, 0);
    ASSERT_EQ(CnsSock_setOpt(sock, CNSIRDA_SO_RAW, 7), 0);
    ASSERT_EQ(CnsSock_getOpt(sock, CNSIRDA_SO_RAW, &v), 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(sock->setOpt(sock, 0, CNSIRDA_SO_RAW, &v), DV_E_UNSUPPORTED);
    ASSERT_EQ(CnsSock_getOpt(sock, CNSSOCK_SO_RCVTIMEO, &v), 0);
    EXPECT_EQ(v, 30000);
}

// ---- the stand-in itself ----

TEST_F(Irda, DiscoveryListsEachDeviceOnceInNameOrder) {
    addDevice(0x20, "Two", "IrDA:IrCOMM", 60);
    addDevice(0x10, "My/Phone,1", "IrDA:IrCOMM", 60);
    addDevice(0x10, "My/Phone,1", "OBEX", 60);
    IrdaStandinDevice found[4];
    ASSERT_EQ(IrdaStandin_discover(nullptr, found, 4), 2);
    EXPECT_EQ(found[0].id, 0x10u);
    EXPECT_STREQ(found[0].name, "My_Phone_1");
    EXPECT_EQ(found[1].id, 0x20u);
    EXPECT_EQ(IrdaStandin_discover(nullptr, found, 1), 1);

    IrdaStandin_close(&devices[0]->listener); // the device leaves the range
    EXPECT_EQ(IrdaStandin_discover(nullptr, found, 4), 1);
}

TEST_F(Irda, AStaleSocketIsReplacedAndALiveOneKept) {
    Device &live = addDevice(0x30, "Phone", "IrDA:IrCOMM", 60);
    IrdaStandinListener again{-1, 0, {}};
    EXPECT_EQ(IrdaStandin_listen(&again, nullptr, 0x30, "Phone", "IrDA:IrCOMM", 60), -EADDRINUSE);
    std::string path = live.listener.path;
    close(live.listener.fd); // the server died and left its socket file behind
    live.listener.fd = -1;
    ASSERT_EQ(IrdaStandin_listen(&again, nullptr, 0x30, "Phone", "IrDA:IrCOMM", 60), 0);
    EXPECT_EQ(std::string(again.path), path);
    IrdaStandin_close(&again);
}

} // namespace

namespace {
int32_t idlePoll(void *) { return 0; }
} // namespace

// Every poll slot taken: the connect fails with -201, the link to the device is closed again, and
// a connect succeeds once a slot is free.
TEST_F(Irda, AFullPollTableFailsTheOpenCleanly) {
    Device &d = addDevice(0x1234, "Phone", "IrDA:IrCOMM", 60);
    int fillers = 0;
    while (VosPoll_add(Vos_pollTable(), idlePoll, &fillers) == 0)
        ++fillers;
    ASSERT_GT(fillers, 0);
    CnsSock *sock = connect(DV_E_FULL);
    char buf[8];
    EXPECT_EQ(CnsSock_recv(sock, buf, sizeof buf), DV_E_CLOSED);

    ASSERT_GE(d.conn, 0) << "the device took the link before the transport failed";
    char byte;
    pollfd pfd{d.conn, POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 1000), 1);
    EXPECT_EQ(recv(d.conn, &byte, 1, 0), 0) << "the failed open closed its link";
    close(d.conn);
    d.conn = -1;

    VosPoll_remove(Vos_pollTable(), idlePoll, &fillers);
    EXPECT_EQ(CnsSock_open(sock), 0);
    EXPECT_GE(d.conn, 0);
}
