// The simulated handset in infrared range: discovery through the IrDA stand-in, the hello, AT
// commands in IrCOMM frames both ways, one connection at a time, leaving the range.

#include "handset_sim.h"

#include <gtest/gtest.h>

#if SIM_TEST_IRDA
#include "transport/irda_standin.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        char t[] = "/tmp/handset-sim-irda-XXXXXX";
        path = ::mkdtemp(t) ? t : "";
    }
    ~TempDir() {
        // Only the stand-in's socket files (and a "down" marker) live here.
        if (DIR *d = ::opendir(path.c_str())) {
            while (const dirent *e = ::readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    ::unlink((path + "/" + e->d_name).c_str());
            ::closedir(d);
        }
        ::rmdir(path.c_str());
    }
};

// The default handset, offered over the stand-in in `dir`.
handsetsim::Scenario irdaScenario(const std::string &dir) {
    auto sc = handsetsim::defaultScenario();
    sc.irda.enabled = true;
    sc.irda.dir = dir;
    return sc;
}

int waitHello(int fd, int *mtu) {
    for (int i = 0; i < 300; ++i) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 10);
        const int r = IrdaStandin_readHello(fd, mtu);
        if (r != 0)
            return r;
    }
    return 0;
}

// Collects the data of the frames that arrive until `until` shows up; every frame must be a
// control octet 0 and at most mtu - 2 data bytes.
std::string readFrames(int fd, const std::string &until, int mtu) {
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (data.find(until) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char frame[4096];
        const ssize_t n = ::recv(fd, frame, sizeof frame, MSG_DONTWAIT);
        if (n <= 0)
            break;
        EXPECT_EQ(frame[0], 0);
        EXPECT_LE(n - 1, mtu - 2);
        data.append(frame + 1, static_cast<size_t>(n - 1));
    }
    return data;
}

TEST(SimIrda, AnswersInIrcommFrames) {
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    auto sc = irdaScenario(dir.path);
    sc.irda.mtu = 20;
    handsetsim::HandsetSim sim(sc);
    sim.start();

    IrdaStandinDevice dev[4];
    ASSERT_EQ(IrdaStandin_discover(dir.path.c_str(), dev, 4), 1);
    EXPECT_EQ(dev[0].id, 0x5EED0001u);
    EXPECT_STREQ(dev[0].name, "HS-1000");

    const int fd = IrdaStandin_connect(dir.path.c_str(), dev[0].id, "IrDA:IrCOMM");
    ASSERT_GE(fd, 0);
    int mtu = 0;
    ASSERT_EQ(waitHello(fd, &mtu), 1);
    EXPECT_EQ(mtu, 20);

    ASSERT_EQ(::send(fd, "\0AT+CBC\r", 8, 0), 8);
    EXPECT_EQ(readFrames(fd, "OK\r\n", mtu), "AT+CBC\r\r\n+CBC: 0,75\r\n\r\nOK\r\n");
    // Control parameters in front of the data are skipped.
    ASSERT_EQ(::send(fd,
                     "\x02\x01\x00"
                     "AT\r",
                     6, 0),
              6);
    EXPECT_EQ(readFrames(fd, "OK\r\n", mtu), "AT\r\r\nOK\r\n");
    EXPECT_TRUE(sim.state().irdaConnected);

    // Point to point: a second client is refused while the first is connected.
    const int second = IrdaStandin_connect(dir.path.c_str(), dev[0].id, "IrDA:IrCOMM");
    ASSERT_GE(second, 0);
    EXPECT_EQ(waitHello(second, &mtu), -ECONNREFUSED);
    ::close(second);

    // Out of range: no longer discovered, the open connection still works.
    sim.setIrdaInRange(false);
    EXPECT_EQ(IrdaStandin_discover(dir.path.c_str(), dev, 4), 0);
    ASSERT_EQ(::send(fd, "\0AT\r", 4, 0), 4);
    EXPECT_EQ(readFrames(fd, "OK\r\n", 20), "AT\r\r\nOK\r\n");
    ::close(fd);
    for (int i = 0; i < 200 && sim.state().irdaConnected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(sim.state().irdaConnected);
    sim.setIrdaInRange(true);
    EXPECT_EQ(IrdaStandin_discover(dir.path.c_str(), dev, 4), 1);
}

// A client that hangs up and dials again at once (a connection test while the program holds the
// link) is served: the end of the old connection, still unread behind a frame, does not get the
// new one refused.
TEST(SimIrda, ARedialRightAfterAHangUpIsAccepted) {
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    handsetsim::HandsetSim sim(irdaScenario(dir.path));
    sim.start();
    IrdaStandinDevice dev[4];
    ASSERT_EQ(IrdaStandin_discover(dir.path.c_str(), dev, 4), 1);
    int mtu = 0;
    int fd = IrdaStandin_connect(dir.path.c_str(), dev[0].id, "IrDA:IrCOMM");
    ASSERT_GE(fd, 0);
    ASSERT_EQ(waitHello(fd, &mtu), 1);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(::send(fd, "\0AT\r", 4, 0), 4); // a last frame, then the hang-up, then the redial
        ::close(fd);
        fd = IrdaStandin_connect(dir.path.c_str(), dev[0].id, "IrDA:IrCOMM");
        ASSERT_GE(fd, 0);
        ASSERT_EQ(waitHello(fd, &mtu), 1);
        ASSERT_EQ(::send(fd, "\0AT+CBC\r", 8, 0), 8);
        EXPECT_EQ(readFrames(fd, "OK\r\n", mtu), "AT+CBC\r\r\n+CBC: 0,75\r\n\r\nOK\r\n");
    }
    ::close(fd);
}

} // namespace

#else

TEST(SimIrda, AnswersInIrcommFrames) {
    GTEST_SKIP() << "built without the IrDA stand-in";
}

#endif
