// The serial ports the system offers, for the connection settings.
//
// Read from sysfs: every /sys/class/tty/<name> with a "device" link is a port "/dev/<name>". Legacy
// 8250 ports (ttyS*) whose "type" is 0 have no UART behind them and are left out, or a PC would list
// 32 dead ports. Pseudo-terminals have no device link and are never listed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The ports under sysfsRoot (normally "/sys"), in natural order (ttyS2 before ttyS10), followed by
// configuredPort when it is not empty and not listed already (so the port in use always shows, a
// pseudo-terminal included).
std::vector<std::string> listSerialPorts(const std::string &configuredPort = {},
                                         const std::string &sysfsRoot = "/sys");

// Natural order: runs of digits compare by their value, everything else byte by byte.
bool naturalLess(std::string_view a, std::string_view b);

} // namespace platform
