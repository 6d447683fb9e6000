#include "serial/DeviceNode.h"

#include <sys/sysmacros.h>

#include <fstream>
#include <system_error>

namespace halvorn::shell {
namespace fs = std::filesystem;

namespace {

// Linux's majors for the slave side of Unix 98 pseudo-terminals
// (UNIX98_PTY_SLAVE_MAJOR and the seven after it).
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;

fs::path CharDeviceEntry(const fs::path& sys, dev_t device) {
  return sys / "dev/char" /
         (std::to_string(::major(device)) + ":" + std::to_string(::minor(device)));
}

// The first line of a sysfs attribute without its line end; empty when
// there is none.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

}  // namespace

bool IsTerminal(const fs::path& sys, dev_t device) {
  const unsigned major = ::major(device);
  if (major >= kFirstPtySlaveMajor && major <= kLastPtySlaveMajor) return true;
  std::error_code error;
  const fs::path subsystem = fs::canonical(CharDeviceEntry(sys, device) / "subsystem", error);
  return !error && subsystem.filename() == "tty";
}

std::string UsbIdentity(const fs::path& sys, dev_t device) {
  std::error_code error;
  fs::path at = fs::canonical(CharDeviceEntry(sys, device), error);
  if (error) return {};
  // Up from the terminal: .../usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0; the
  // first directory with a vendor id is the USB device, the one below it
  // the interface.
  fs::path below;
  const fs::path top = fs::weakly_canonical(sys / "devices", error);
  for (; !at.empty() && at != top && at != at.parent_path(); below = at, at = at.parent_path()) {
    const std::string vendor = Attribute(at / "idVendor");
    if (vendor.empty()) continue;
    std::string identity = "USB " + vendor + ":" + Attribute(at / "idProduct");
    const std::string serial = Attribute(at / "serial");
    identity += serial.empty() ? " at " + at.filename().string() : " serial " + serial;
    const std::string interface = below.filename().string();
    if (const std::size_t colon = interface.find(':'); colon != std::string::npos)
      identity += ", interface " + interface.substr(colon + 1);
    return identity;
  }
  return {};
}

}  // namespace halvorn::shell
