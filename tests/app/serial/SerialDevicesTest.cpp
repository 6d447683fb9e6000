// Finding the serial devices on a machine laid out in a temporary
// directory the way sysfs and udev lay it out: which terminals are listed,
// their drivers and USB names, their stable names, and who may open them.
#include "serial/SerialDevices.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/DeviceNode.h"
#include "support/FakeSysfs.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::shell {
namespace {

namespace fs = std::filesystem;

class SerialDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(machine.ok());
    root = machine.path();
    const fs::path devices = root / "sys/devices";
    const fs::path drivers = root / "sys/bus";
    Driver("pnp/drivers/serial");
    Driver("platform/drivers/serial8250");
    Driver("serial-base/drivers/port");
    Driver("serial-base/drivers/ctrl");
    Driver("usb-serial/drivers/ftdi_sio");
    Driver("usb/drivers/cdc_acm");

    // ttyS0: a UART at 0x3f8 found by PNP; ttyS1: a node without a UART.
    Tty("ttyS0", devices / "pnp0/00:01", "pnp/drivers/serial", {{"type", "4"}, {"port", "0x3F8"}});
    Tty("ttyS1", devices / "platform/serial8250", "platform/drivers/serial8250", {{"type", "0"}, {"port", "0x2F8"}});
    // ttyS10, newer kernels: the tty hangs off the serial core's port and
    // controller devices; the hardware's driver is further up.
    const fs::path ctrl = devices / "platform/serial8250/serial8250:0";
    Tty("ttyS10", ctrl / "serial8250:0.10", "serial-base/drivers/port", {{"type", "4"}});
    Link(ctrl / "driver", drivers / "serial-base/drivers/ctrl");
    // ttyS2: a port whose type is unknown but has an I/O address.
    Tty("ttyS2", devices / "pnp0/00:02", "pnp/drivers/serial", {{"port", "0x3E8"}});

    // An FTDI adapter: the usb-serial port below the interface below the device.
    const fs::path ftdi = devices / "pci0000:00/0000:00:14.0/usb1/1-2";
    Attributes(ftdi, {{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", "FTDI"},
                      {"product", "FT232R USB UART"}});
    Tty("ttyUSB0", ftdi / "1-2:1.0/ttyUSB0", "usb-serial/drivers/ftdi_sio", {});
    // An Arduino-like board on the modem class, without strings of its own.
    const fs::path acm = devices / "pci0000:00/0000:00:14.0/usb1/1-3";
    Attributes(acm, {{"idVendor", "2341"}, {"idProduct", "0043"}});
    Tty("ttyACM0", acm / "1-3:1.0", "usb/drivers/cdc_acm", {});
    // Terminals that are no serial device.
    Tty("tty0", devices / "virtual/tty/tty0", "", {});
    Tty("ttyprintk", devices / "virtual/tty/ttyprintk", "", {});
    Tty("ttyUSBx", devices / "virtual/tty/odd", "", {});

    for (const char* node : {"ttyS0", "ttyS1", "ttyS2", "ttyUSB0", "ttyACM0", "tty0"}) Node(node);
    fs::create_directories(root / "dev/serial/by-id");
    fs::create_symlink("../../ttyUSB0", root / "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    fs::create_symlink("../../ttyACM0", root / "dev/serial/by-id/usb-2341_0043-if00");
    fs::create_symlink("../../ttyUSB0", root / "dev/serial/by-id/usb-FTDI_FT232R_alias-if00-port0");
  }

  void Driver(const std::string& name) { fs::create_directories(root / "sys/bus" / name); }
  void Link(const fs::path& at, const fs::path& to) { fs::create_symlink(to, at); }
  void Attributes(const fs::path& directory, std::vector<std::pair<std::string, std::string>> values) {
    fs::create_directories(directory);
    for (const auto& [name, value] : values) std::ofstream(directory / name) << value << '\n';
  }
  // A terminal whose hardware is `device`, with the class link udev's
  // sysfs has, the attributes of the tty itself and the device's driver.
  void Tty(const std::string& name, const fs::path& device, const std::string& driver,
           std::vector<std::pair<std::string, std::string>> attributes) {
    const fs::path tty = device / "tty" / name;
    Attributes(tty, std::move(attributes));
    Link(tty / "device", device);
    if (!driver.empty()) Link(device / "driver", root / "sys/bus" / driver);
    fs::create_directories(root / "sys/class/tty");
    Link(root / "sys/class/tty" / name, tty);
  }
  void Node(const std::string& name) {
    fs::create_directories(root / "dev");
    std::ofstream(root / "dev" / name).put('\0');
    ::chmod((root / "dev" / name).c_str(), 0660);
  }

  testing::TemporaryDirectory machine;
  fs::path root;
};

TEST_F(SerialDevicesTest, ListsRealUartsAndUsbDevicesWithTheirDriversAndNames) {
  const std::vector<SerialDevice> found = FindSerialDevices(root);
  struct Expected {
    const char* path;
    const char* driver;
    const char* usb;  // vendor:product manufacturer/product
    std::vector<std::string> stable;
    bool node;
  };
  const Expected expected[] = {
      {"/dev/ttyS0", "serial", "", {}, true},
      {"/dev/ttyS2", "serial", "", {}, true},
      {"/dev/ttyS10", "serial8250", "", {}, false},
      {"/dev/ttyACM0", "cdc_acm", "2341:0043 /", {"/dev/serial/by-id/usb-2341_0043-if00"}, true},
      {"/dev/ttyUSB0", "ftdi_sio", "0403:6001 FTDI/FT232R USB UART",
       {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
        "/dev/serial/by-id/usb-FTDI_FT232R_alias-if00-port0"},
       true},
  };
  ASSERT_EQ(found.size(), std::size(expected));
  for (std::size_t i = 0; i < found.size(); ++i) {
    const SerialDevice& device = found[i];
    const Expected& e = expected[i];
    SCOPED_TRACE(e.path);
    EXPECT_EQ(device.path, e.path);
    EXPECT_EQ(device.name, std::string(e.path).substr(5));
    EXPECT_EQ(device.driver, e.driver);
    const std::string usb = device.usbVendorId.empty()
                                ? ""
                                : device.usbVendorId + ":" + device.usbProductId + " " +
                                      device.usbManufacturer + "/" + device.usbProduct;
    EXPECT_EQ(usb, e.usb);
    EXPECT_EQ(device.stableNames, e.stable);
    EXPECT_EQ(device.hasNode, e.node);
  }
}

TEST_F(SerialDevicesTest, AMachineWithoutSerialDevicesListsNoneAndSaysSo) {
  testing::TemporaryDirectory empty;
  ASSERT_TRUE(empty.ok());
  const std::vector<SerialDevice> none = FindSerialDevices(empty.path());
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(ListPortsText(none, ProcessCredentials()), "No serial devices found.\n");
}

TEST_F(SerialDevicesTest, TheListingShowsDriverUsbNamesStableNamesAndAccess) {
  std::vector<SerialDevice> found = FindSerialDevices(root);
  ASSERT_EQ(found.size(), 5u);
  for (SerialDevice& device : found) {  // as udev leaves them on Debian
    device.owner = 0;
    device.group = 20;
    device.mode = S_IFCHR | 0660;
  }
  Credentials operatorNotInGroup{1000, 1000, {24, 25}};
  const std::string text = ListPortsText(found, operatorNotInGroup);
  const std::string dialout = GroupName(20);
  EXPECT_EQ(text,
            "/dev/ttyS0  driver serial, you may not open it (root:" + dialout + " crw-rw----; join group " +
                dialout + ")\n"
                "/dev/ttyS2  driver serial, you may not open it (root:" + dialout + " crw-rw----; join group " +
                dialout + ")\n"
                "/dev/ttyS10  driver serial8250, no device node\n"
                "/dev/ttyACM0  driver cdc_acm, USB 2341:0043, you may not open it (root:" + dialout +
                " crw-rw----; join group " + dialout + ")\n"
                "    /dev/serial/by-id/usb-2341_0043-if00\n"
                "/dev/ttyUSB0  driver ftdi_sio, USB 0403:6001 FTDI FT232R USB UART, you may not open it (root:" +
                dialout + " crw-rw----; join group " + dialout + ")\n"
                "    /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
                "    /dev/serial/by-id/usb-FTDI_FT232R_alias-if00-port0\n");
}

TEST_F(SerialDevicesTest, TheWayOutIsToldOnlyWhereThereIsOne) {
  struct Case {
    const char* what;
    uid_t owner;
    gid_t group;
    mode_t mode;
    std::string advice;
  };
  const Case cases[] = {
      {"a serial device as udev leaves it", 0, 20, 0660, "join group " + GroupName(20)},
      {"a device only its owner may use", 0, 0, 0600, "no group may open it, only its owner root"},
      {"in group dialout, but the group's bits are off", 0, 20, 0600,
       "no group may open it, only its owner root"},
      {"a device nobody may use", 0, 20, 0000, "nobody but root may open it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SerialDevice device;
    device.path = "/dev/ttyUSB3";
    device.driver = "ftdi_sio";
    device.hasNode = true;
    device.owner = c.owner;
    device.group = c.group;
    device.mode = S_IFCHR | c.mode;
    const std::string text = ListPortsText({device}, Credentials{1000, 1000, {24}});
    EXPECT_NE(text.find("you may not open it"), std::string::npos) << text;
    EXPECT_NE(text.find("; " + c.advice + ")\n"), std::string::npos) << text;
    if (c.mode != 0660) {
      EXPECT_EQ(text.find("join group"), std::string::npos) << text;
    }
  }
}

TEST_F(SerialDevicesTest, SysfsTellsWhichNodesAreTerminalsAndWhichAdapterEachIs) {
  // The fixture's adapters, now with their device numbers; the FTDI one
  // with its serial number. Beside them /dev/zero and a watchdog.
  testing::FakeSysfs sys(root / "sys");
  sys.UsbTerminal(::makedev(188, 0), "1-2", "0403", "6001", "A50285BI", "ttyUSB0");
  sys.UsbTerminal(::makedev(166, 0), "1-3", "2341", "0043", "", "ttyACM0");
  sys.Virtual(::makedev(4, 64), "tty", "ttyS0");
  sys.Virtual(::makedev(1, 5), "mem", "zero");
  sys.Virtual(::makedev(10, 130), "misc", "watchdog");
  struct Case {
    const char* what;
    unsigned major, minor;
    bool terminal;
    const char* identity;
  };
  const Case cases[] = {
      {"FTDI adapter", 188, 0, true, "USB 0403:6001 serial A50285BI, interface 1.0"},
      {"board without a serial number", 166, 0, true, "USB 2341:0043 at 1-3, interface 1.0"},
      {"on-board port", 4, 64, true, ""},
      {"/dev/zero", 1, 5, false, ""},
      {"/dev/watchdog", 10, 130, false, ""},
      // Pseudo-terminal slaves have no entry; their majors say what they are.
      {"/dev/pts/3", 136, 3, true, ""},
      {"/dev/pts/1048575", 143, 255, true, ""},
      {"below the pty majors, no entry", 135, 0, false, ""},
      {"above the pty majors, no entry", 144, 0, false, ""},
      {"unknown to sysfs", 250, 7, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const dev_t number = ::makedev(c.major, c.minor);
    EXPECT_EQ(IsTerminal(sys.path(), number), c.terminal);
    EXPECT_EQ(UsbIdentity(sys.path(), number), c.identity);
  }
  // The second port of a two-port adapter has the same serial number.
  const std::filesystem::path second =
      root / "sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.1/ttyUSB1/tty/ttyUSB1";
  fs::create_directories(second);
  fs::create_symlink(second, root / "sys/dev/char/188:1");
  EXPECT_EQ(UsbIdentity(sys.path(), ::makedev(188, 1)),
            "USB 0403:6001 serial A50285BI, interface 1.1");
}

TEST(MayOpenTest, TheKernelLooksAtOneClassOfBitsOnly) {
  struct Case {
    const char* what;
    uid_t owner;
    gid_t group;
    mode_t mode;
    Credentials who;
    bool may;
  };
  const Case cases[] = {
      {"the superuser, whatever the mode", 0, 20, 0000, {0, 0, {}}, true},
      {"a member of the device's group", 0, 20, 0660, {1000, 1000, {20, 1000}}, true},
      {"its primary group", 0, 20, 0660, {1000, 20, {}}, true},
      {"not a member", 0, 20, 0660, {1000, 1000, {24}}, false},
      {"the owner with owner read-write", 1000, 20, 0600, {1000, 1000, {}}, true},
      {"the owner only reads, though the group may write", 1000, 20, 0460, {1000, 1000, {20}}, false},
      {"a member where only others may", 0, 20, 0606, {1000, 1000, {20}}, false},
      {"anybody where others may", 0, 20, 0666, {1000, 1000, {}}, true},
      {"others may only read", 0, 20, 0664, {1000, 1000, {}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SerialDevice device;
    device.hasNode = true;
    device.owner = c.owner;
    device.group = c.group;
    device.mode = S_IFCHR | c.mode;
    EXPECT_EQ(MayOpen(device, c.who), c.may);
  }
  SerialDevice noNode;
  EXPECT_FALSE(MayOpen(noNode, Credentials{0, 0, {}})) << "nothing to open";
}

}  // namespace
}  // namespace halvorn::shell
