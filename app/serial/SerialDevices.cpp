#include "serial/SerialDevices.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <system_error>
#include <tuple>

namespace halvorn::shell {
namespace fs = std::filesystem;

namespace {

// Kinds of serial device, in the order they are listed.
constexpr std::string_view kKinds[] = {"ttyS", "ttyACM", "ttyUSB"};

// The kind's place in kKinds and the device's number, or nothing for a
// terminal that is no serial device (tty0, ttyprintk, ptmx ...).
std::optional<std::pair<std::size_t, unsigned>> SortKey(std::string_view name) {
  for (std::size_t kind = 0; kind < std::size(kKinds); ++kind) {
    if (!name.starts_with(kKinds[kind])) continue;
    const std::string_view digits = name.substr(kKinds[kind].size());
    unsigned number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size()) return {};
    return std::pair{kind, number};
  }
  return {};
}

// The first line of a sysfs attribute, without its newline; empty when
// there is no such attribute.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

// A number as sysfs writes it: decimal, or hexadecimal after "0x".
std::optional<unsigned long> Number(const std::string& text) {
  std::string_view digits = text;
  int base = 10;
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    digits.remove_prefix(2);
    base = 16;
  }
  unsigned long value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size()) return {};
  return value;
}

// An on-board port node exists for every possible port; only those where a
// UART answered have a type other than 0 ("unknown"). Without the type, a
// port with an I/O address is taken as real.
bool HasUart(const fs::path& ttyDirectory) {
  if (const std::optional<unsigned long> type = Number(Attribute(ttyDirectory / "type"))) return *type != 0;
  const std::optional<unsigned long> port = Number(Attribute(ttyDirectory / "port"));
  return port && *port != 0;
}

// The driver of the device, looking up the device tree past the serial
// core's own layers ("port" and "ctrl" of newer kernels) to the one that
// knows the hardware.
std::string DriverOf(fs::path device, const fs::path& top) {
  std::error_code error;
  for (; !device.empty() && device != top && device != device.parent_path();
       device = device.parent_path()) {
    const fs::path driver = fs::canonical(device / "driver", error);
    if (error) continue;
    const std::string name = driver.filename().string();
    if (name != "port" && name != "ctrl") return name;
  }
  return {};
}

void ReadUsbIdentity(fs::path device, const fs::path& top, SerialDevice& out) {
  for (; !device.empty() && device != top && device != device.parent_path();
       device = device.parent_path()) {
    const std::string vendor = Attribute(device / "idVendor");
    if (vendor.empty()) continue;
    out.usbVendorId = vendor;
    out.usbProductId = Attribute(device / "idProduct");
    out.usbManufacturer = Attribute(device / "manufacturer");
    out.usbProduct = Attribute(device / "product");
    return;
  }
}

std::string ModeText(mode_t mode) {
  std::string text = S_ISCHR(mode) ? "c" : "-";
  const char letters[] = "rwx";
  for (int bit = 8; bit >= 0; --bit) text += (mode & (1u << bit)) ? letters[(8 - bit) % 3] : '-';
  return text;
}

std::string UserName(uid_t id) {
  passwd entry{};
  passwd* found = nullptr;
  char names[4096];
  if (::getpwuid_r(id, &entry, names, sizeof names, &found) == 0 && found) return found->pw_name;
  return std::to_string(id);
}

// What would let a user who may not open the device open it. Joining its
// group helps only where the group may read and write it; a device only
// its owner may use (0600) needs its mode or group changed by whoever
// administers the machine.
std::string AccessAdvice(const SerialDevice& device) {
  if ((device.mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP))
    return "join group " + GroupName(device.group);
  if ((device.mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR))
    return "no group may open it, only its owner " + UserName(device.owner);
  return "nobody but root may open it";
}

}  // namespace

std::vector<SerialDevice> FindSerialDevices(const fs::path& root) {
  std::vector<SerialDevice> devices;
  const fs::path sysTty = root / "sys/class/tty";
  const fs::path sysDevices = root / "sys/devices";
  const fs::path dev = root / "dev";
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(sysTty, error)) {
    const std::string name = entry.path().filename().string();
    if (!SortKey(name)) continue;
    const fs::path tty = fs::canonical(entry.path(), error);
    if (error) continue;
    if (name.starts_with("ttyS") && !HasUart(tty)) continue;

    SerialDevice device;
    device.name = name;
    device.path = "/dev/" + name;
    const fs::path hardware = fs::canonical(tty / "device", error);
    if (!error) {
      device.driver = DriverOf(hardware, sysDevices);
      ReadUsbIdentity(hardware, sysDevices, device);
    }
    struct stat node {};
    if (::stat((dev / name).c_str(), &node) == 0) {
      device.hasNode = true;
      device.owner = node.st_uid;
      device.group = node.st_gid;
      device.mode = node.st_mode;
    }
    devices.push_back(std::move(device));
  }
  std::sort(devices.begin(), devices.end(),
            [](const SerialDevice& a, const SerialDevice& b) { return SortKey(a.name) < SortKey(b.name); });

  // udev's stable names are relative links ("../../ttyUSB0") to the node.
  for (const fs::directory_entry& link : fs::directory_iterator(dev / "serial/by-id", error)) {
    const fs::path target = fs::read_symlink(link.path(), error);
    if (error) continue;
    const std::string name = target.filename().string();
    for (SerialDevice& device : devices) {
      if (device.name == name) device.stableNames.push_back("/dev/serial/by-id/" + link.path().filename().string());
    }
  }
  for (SerialDevice& device : devices) std::sort(device.stableNames.begin(), device.stableNames.end());
  return devices;
}

bool MayOpen(const SerialDevice& device, const Credentials& who) {
  if (!device.hasNode) return false;
  if (who.uid == 0) return true;
  // The kernel looks at one class only: the owner's bits for the owner, the
  // group's for a member, the others' for everybody else.
  const auto both = [&](mode_t read, mode_t write) { return (device.mode & (read | write)) == (read | write); };
  if (device.owner == who.uid) return both(S_IRUSR, S_IWUSR);
  const bool member = device.group == who.gid ||
                      std::find(who.groups.begin(), who.groups.end(), device.group) != who.groups.end();
  if (member) return both(S_IRGRP, S_IWGRP);
  return both(S_IROTH, S_IWOTH);
}

Credentials ProcessCredentials() {
  Credentials who;
  who.uid = ::geteuid();
  who.gid = ::getegid();
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    who.groups.resize(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, who.groups.data());
    who.groups.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  }
  return who;
}

std::string GroupName(gid_t id) {
  struct group entry {};
  struct group* found = nullptr;
  char names[4096];
  if (::getgrgid_r(id, &entry, names, sizeof names, &found) == 0 && found) return found->gr_name;
  return std::to_string(id);
}

std::string ListPortsText(const std::vector<SerialDevice>& devices, const Credentials& who) {
  if (devices.empty()) return "No serial devices found.\n";
  std::string text;
  for (const SerialDevice& device : devices) {
    text += device.path;
    text += "  driver " + (device.driver.empty() ? std::string("unknown") : device.driver);
    if (!device.usbVendorId.empty()) {
      text += ", USB " + device.usbVendorId + ":" + device.usbProductId;
      std::string names = device.usbManufacturer;
      if (!device.usbProduct.empty()) names += (names.empty() ? "" : " ") + device.usbProduct;
      if (!names.empty()) text += " " + names;
    }
    if (!device.hasNode) {
      text += ", no device node";
    } else if (MayOpen(device, who)) {
      text += ", you may open it";
    } else {
      text += ", you may not open it (" + UserName(device.owner) + ":" + GroupName(device.group) +
              " " + ModeText(device.mode) + "; " + AccessAdvice(device) + ")";
    }
    text += "\n";
    for (const std::string& stable : device.stableNames) text += "    " + stable + "\n";
  }
  return text;
}

}  // namespace halvorn::shell
