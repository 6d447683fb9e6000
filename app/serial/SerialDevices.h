// The serial devices of the machine, for finding which one the controller
// is on: on-board ports that have a UART behind them (/dev/ttyS*), USB
// adapters (/dev/ttyUSB*) and USB modems-style boards (/dev/ttyACM*), with
// their driver, USB vendor and product, and the stable names udev gives
// them in /dev/serial/by-id/ (those survive replugging; ttyUSB numbers do
// not).
//
// Everything is read from sysfs and /dev under a root directory, so that a
// test can lay out a machine of its own in a temporary directory.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace halvorn::shell {

struct SerialDevice {
  std::string name;  // "ttyUSB0"
  std::string path;  // "/dev/ttyUSB0", as the program opens it on the machine
  std::string driver;  // "ftdi_sio", "cdc_acm", "serial8250" ...; empty when unknown
  // For a device on USB: the ids as four hex digits, and the names the
  // device gives (either may be empty).
  std::string usbVendorId;
  std::string usbProductId;
  std::string usbManufacturer;
  std::string usbProduct;
  // The device's names in /dev/serial/by-id/, full paths, sorted.
  std::vector<std::string> stableNames;
  // The device node in /dev; without one there is nothing to open.
  bool hasNode = false;
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;
};

// Who asks: the effective user and every group the process is in.
struct Credentials {
  uid_t uid = 0;
  gid_t gid = 0;
  std::vector<gid_t> groups;
};

// The serial devices under `root` (normally "/"), sorted by kind and number
// (ttyS before ttyACM before ttyUSB; ttyS2 before ttyS10). An on-board port
// is listed only when a UART answered for it at boot.
std::vector<SerialDevice> FindSerialDevices(const std::filesystem::path& root);

// Whether `who` may open the device for reading and writing, by its node's
// owner, group and mode as the kernel decides it (the superuser always may).
bool MayOpen(const SerialDevice& device, const Credentials& who);

// The credentials of this process.
Credentials ProcessCredentials();

// The name of a group, or its number when it has none.
std::string GroupName(gid_t id);

// What --list-ports prints: one line per device and one per stable name,
// or a line saying there is none; ends in a newline.
std::string ListPortsText(const std::vector<SerialDevice>& devices, const Credentials& who);

}  // namespace halvorn::shell
