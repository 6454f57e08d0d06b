#include "platform/serial_ports.h"

#include "temp_tree.h"

using platform_test::TempTree;

namespace {

// A /sys/class/tty entry; device: with a device link; type: the UART type text, or none.
void tty(const TempTree &t, const std::string &name, bool device, const char *type = nullptr)
{
    std::string dir = "class/tty/" + name;
    t.dir(dir);
    if (device)
        std::filesystem::create_directory_symlink("../../../devices/" + name, t.path(dir + "/device"));
    if (type)
        t.file(dir + "/type", std::string(type) + "\n");
}

} // namespace

TEST(SerialPorts, ListsDevicesInNaturalOrderWithoutEmptyUartSlots)
{
    TempTree t;
    tty(t, "ttyS10", true, "4");
    tty(t, "ttyS2", true, "4");
    tty(t, "ttyS0", true, "4");
    tty(t, "ttyS1", true, "0");    // no UART behind it
    tty(t, "ttyS3", true);         // type unreadable: kept
    tty(t, "ttyUSB0", true);
    tty(t, "ttyACM1", true, "0");  // type matters for ttyS only
    tty(t, "tty0", false);         // a virtual terminal
    tty(t, "ptmx", false);
    tty(t, "console", false);

    std::vector<std::string> expected = {"/dev/ttyACM1", "/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS3",
                                         "/dev/ttyS10", "/dev/ttyUSB0"};
    EXPECT_EQ(platform::listSerialPorts({}, t.root()), expected);

    // The configured port is added once, at the end, a pseudo-terminal included.
    auto withPty = expected;
    withPty.push_back("/dev/pts/3");
    EXPECT_EQ(platform::listSerialPorts("/dev/pts/3", t.root()), withPty);
    EXPECT_EQ(platform::listSerialPorts("/dev/ttyUSB0", t.root()), expected);
}

TEST(SerialPorts, NoSysfsGivesOnlyTheConfiguredPort)
{
    EXPECT_EQ(platform::listSerialPorts("COM1", "/nonexistent-sysfs"), (std::vector<std::string>{"COM1"}));
    EXPECT_TRUE(platform::listSerialPorts({}, "/nonexistent-sysfs").empty());
}

TEST(SerialPorts, NaturalOrder)
{
    struct Case {
        const char *a, *b;
        bool less;
    } cases[] = {
        {"ttyS2", "ttyS10", true}, {"ttyS10", "ttyS2", false}, {"ttyS", "ttyS0", true},
        {"ttyACM0", "ttyS0", true}, {"ttyS9", "ttyS9", false},  {"ttyS01", "ttyS1", true},
        {"ttyS1", "ttyS01", false}, {"ttyUSB2", "ttyUSB10", true},
        {"ttyS99999999999999999999", "ttyS100000000000000000000", true},  // beyond 64 bits
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::naturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}
