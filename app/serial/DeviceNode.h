// What sysfs tells of a character device, found by its numbers alone,
// without opening it: whether it is a terminal at all, and which USB
// adapter it is. Opening a device can have effects of its own (opening
// /dev/watchdog arms the watchdog; opening an adapter raises its modem
// lines), so the panel asks before it opens.
//
// `sys` is where sysfs is mounted, normally "/sys"; a test lays out a tree
// of its own.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace halvorn::shell {

// Whether device `device` (a st_rdev) is a terminal: its class in sysfs,
// /sys/dev/char/MAJOR:MINOR/subsystem, is "tty". The slave side of a
// pseudo-terminal has no entry there (devpts nodes are not registered with
// the device model), so majors 136 to 143, which Linux gives to those slaves
// and to nothing else, are terminals by definition. Anything else without
// an entry is not taken: sysfs is what says a device is a terminal.
[[nodiscard]] bool IsTerminal(const std::filesystem::path& sys, dev_t device);

// The identity of a USB serial device: "USB 0403:6001 serial A50285BI,
// interface 1.0" from the USB device's vendor, product and serial number
// and the interface the terminal hangs off (a two-port adapter has one
// serial number for both ports), or "USB 0403:6001 at 1-2, interface 1.0"
// with its place on the bus when it has no serial number. Empty for a
// device that is not on USB or that sysfs does not know.
[[nodiscard]] std::string UsbIdentity(const std::filesystem::path& sys, dev_t device);

}  // namespace halvorn::shell
