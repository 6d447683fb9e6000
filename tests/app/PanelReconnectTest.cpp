// A pulled USB adapter, end to end through the real serial port: the
// panel's Com1 is a stable name (a symbolic link, as udev makes in
// /dev/serial/by-id/) pointing at a pseudo-terminal. The pseudo-terminal
// goes away, and a new one comes back under the same name; the panel,
// started to reconnect, opens it again by itself and polls on it.
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "MainWindow.h"
#include "PseudoTerminal.h"
#include "QtApplication.h"
#include "support/EventLoop.h"
#include "support/FakeSysfs.h"
#include "support/PollFrames.h"
#include "support/TemporaryDirectory.h"

namespace halvorn::shell {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using process::PseudoTerminal;

class PanelReconnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(directory.ok());
    ASSERT_TRUE(first->ok());
    std::filesystem::create_symlink(first->path(), device);
    PortMap ports;
    ports.SetDevice(1, device.string());
    window = std::make_unique<MainWindow>(ports);
    window->setReconnect(true);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QTest::mouseClick(window->view("cmdConnect"), Qt::LeftButton);
    ASSERT_TRUE(window->panel().MSComm2.PortOpen());
  }

  QString Status() const { return qobject_cast<QLabel*>(window->view("lblStatus"))->text(); }

  // The adapter is pulled: its pseudo-terminal and its name go away.
  void Unplug() {
    first->CloseMaster();
    first->CloseSlave();
    std::filesystem::remove(device);
    ASSERT_TRUE(testing::RunEventsUntil([&] { return Status() == "Port 1 lost"; }, 1s));
    lostAt = Clock::now();
  }
  // ... and plugged in again: a new pseudo-terminal under the same name.
  PseudoTerminal& Replug() {
    second.emplace();
    EXPECT_TRUE(second->ok());
    std::filesystem::create_symlink(second->path(), device);
    return *second;
  }

  testing::TemporaryDirectory directory;
  std::filesystem::path device = directory / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  std::optional<PseudoTerminal> first{std::in_place};
  std::optional<PseudoTerminal> second;
  std::unique_ptr<MainWindow> window;
  Clock::time_point lostAt;
};

TEST_F(PanelReconnectTest, ALostPortIsOpenedAgainOnceItsDeviceIsBackAndPolls) {
  Unplug();
  EXPECT_FALSE(window->panel().MSComm2.PortOpen());
  // Away for longer than one try: nothing is told, and nothing spins.
  const auto cpuBefore = testing::ProcessCpuTime();
  testing::RunEventsFor(2500ms);
  const auto cpu = testing::ProcessCpuTime() - cpuBefore;
  EXPECT_EQ(Status(), "Port 1 lost");
  EXPECT_LT(cpu, 250ms) << "waiting for the device must not busy-loop";

  PseudoTerminal& back = Replug();
  ASSERT_TRUE(testing::RunEventsUntil([&] { return Status() == "Port 1 open successfully"; }, 5s));
  EXPECT_TRUE(window->panel().MSComm2.PortOpen());
  // Opened as "Connect" opens it: the polls go out on the new device.
  std::string polled;
  EXPECT_TRUE(testing::RunEventsUntil(
      [&] {
        polled += back.Receive(16, 1ms);
        return polled.size() >= 16;
      },
      1s));
  // The poll cycle goes on where it stood when the port was lost.
  EXPECT_TRUE(testing::IsPollFrame(polled.substr(0, 8)) && testing::IsPollFrame(polled.substr(8, 8)))
      << polled;
  std::cout << "[ measured ] CPU while waiting 2.5 s for the device: "
            << std::chrono::duration_cast<std::chrono::microseconds>(cpu).count() << " us\n";
}

TEST_F(PanelReconnectTest, DisconnectWhileWaitingGivesUp) {
  Unplug();
  QTest::mouseClick(window->view("cmdDisconnect"), Qt::LeftButton);
  EXPECT_EQ(Status(), "Port 1 not open");
  Replug();
  testing::RunEventsFor(2500ms);
  EXPECT_EQ(Status(), "Port 1 not open");
  EXPECT_FALSE(window->panel().MSComm2.PortOpen());
}

TEST_F(PanelReconnectTest, AnotherAdapterUnderTheNameIsNotTakenAndTheTitleSaysSo) {
  // sysfs of the test's own makes the first pseudo-terminal our FTDI
  // adapter; "Connect" learns it.
  testing::FakeSysfs sys(directory / "sys");
  struct stat node {};
  ASSERT_EQ(::stat(first->path().c_str(), &node), 0);
  sys.UsbTerminal(node.st_rdev, "1-2", "0403", "6001", "A50285BI", "ttyUSB0");
  window->setSysfsRoot(sys.path());
  QTest::mouseClick(window->view("cmdDisconnect"), Qt::LeftButton);
  QTest::mouseClick(window->view("cmdConnect"), Qt::LeftButton);
  ASSERT_EQ(Status(), "Port 1 open successfully");
  const QString title = window->windowTitle();

  // After a hub reset another adapter comes back under the name.
  Unplug();
  PseudoTerminal& back = Replug();
  ASSERT_EQ(::stat(back.path().c_str(), &node), 0);
  sys.UsbTerminal(node.st_rdev, "1-3", "067b", "2303", "", "ttyUSB1");
  ::testing::internal::CaptureStderr();
  testing::RunEventsFor(4500ms);  // two tries
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(Status(), "Port 1 lost");
  EXPECT_FALSE(window->panel().MSComm2.PortOpen());
  EXPECT_EQ(window->windowTitle(), title + " \u2014 another device is on port 1 and was not taken");
  const std::string line =
      "halvorn-panel: port 1 now has USB 067b:2303 at 1-3, interface 1.0, not USB 0403:6001 serial "
      "A50285BI, interface 1.0, which was connected; it was not opened\n";
  EXPECT_EQ(told, line) << "said once, saying which";

  // Our adapter is back on that name: taken, and the title is as before.
  sys.UsbTerminal(node.st_rdev, "1-2", "0403", "6001", "A50285BI", "ttyUSB0");
  ASSERT_TRUE(testing::RunEventsUntil([&] { return Status() == "Port 1 open successfully"; }, 5s));
  EXPECT_EQ(window->windowTitle(), title);
}

// Wall-clock: the first try comes one interval after the loss, and a device
// already back by then is open within a moment of it.
using PanelReconnectTimingTest = PanelReconnectTest;

TEST_F(PanelReconnectTimingTest, TheFirstTryIsTwoSecondsAfterTheLoss) {
  Unplug();
  Replug();
  ASSERT_TRUE(testing::RunEventsUntil([&] { return Status() == "Port 1 open successfully"; }, 5s));
  const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lostAt);
  std::cout << "[ measured ] reopened " << after.count() << " ms after the loss\n";
  EXPECT_GE(after, 1900ms);
  EXPECT_LT(after, 2300ms);
}

}  // namespace
}  // namespace halvorn::shell
