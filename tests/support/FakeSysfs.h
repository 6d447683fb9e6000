// The parts of sysfs the panel's serial port reads, laid out under a
// directory of the test's own: /sys/dev/char/MAJOR:MINOR for a device
// number, leading to the device's directory with its class ("subsystem")
// and, for a USB adapter, the USB device above it with its ids.
#pragma once

#include <sys/sysmacros.h>
#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace halvorn::testing {

class FakeSysfs {
 public:
  explicit FakeSysfs(std::filesystem::path sys) : m_sys(std::move(sys)) {}

  const std::filesystem::path& path() const { return m_sys; }

  // A terminal `name` on interface 1.0 of the USB device at bus port `port`
  // ("1-2"), which has these ids and, unless empty, serial number; device
  // number `number` leads to it (replacing whatever it led to).
  void UsbTerminal(dev_t number, const std::string& port, const std::string& vendor, const std::string& product,
                   const std::string& serial, const std::string& name) {
    const std::filesystem::path usb = m_sys / "devices/pci0000:00/0000:00:14.0/usb1" / port;
    Attribute(usb, "idVendor", vendor);
    Attribute(usb, "idProduct", product);
    if (!serial.empty()) Attribute(usb, "serial", serial);
    Device(number, usb / (port + ":1.0") / name / "tty" / name, "tty");
  }

  // A character device of class `subsystem` ("mem", "misc", "tty") that is
  // on no bus, as /dev/zero or /dev/watchdog.
  void Virtual(dev_t number, const std::string& subsystem, const std::string& name) {
    Device(number, m_sys / "devices/virtual" / subsystem / name, subsystem);
  }

 private:
  void Attribute(const std::filesystem::path& directory, const std::string& name, const std::string& value) {
    std::filesystem::create_directories(directory);
    std::ofstream(directory / name) << value << '\n';
  }
  void Device(dev_t number, const std::filesystem::path& directory, const std::string& subsystem) {
    std::error_code ignored;
    std::filesystem::create_directories(directory);
    std::filesystem::create_directories(m_sys / "class" / subsystem);
    std::filesystem::remove(directory / "subsystem", ignored);
    std::filesystem::create_symlink(m_sys / "class" / subsystem, directory / "subsystem");
    const std::filesystem::path entry =
        m_sys / "dev/char" / (std::to_string(::major(number)) + ":" + std::to_string(::minor(number)));
    std::filesystem::create_directories(entry.parent_path());
    std::filesystem::remove(entry, ignored);
    std::filesystem::create_symlink(directory, entry);
  }

  std::filesystem::path m_sys;
};

}  // namespace halvorn::testing
