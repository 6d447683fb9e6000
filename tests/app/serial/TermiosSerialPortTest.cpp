// The panel's serial port on real pseudo-terminals: the test plays the
// process controller on the master side, the port opens the slave by its
// path. No real device is touched.
#include "serial/TermiosSerialPort.h"

#include "serial/SerialDevices.h"

#include "support/EventLoop.h"
#include "support/FakeSysfs.h"
#include "PseudoTerminal.h"
#include "support/TemporaryDirectory.h"
#include "support/TimeBounds.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace halvorn::shell {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using process::PseudoTerminal;
using testing::ProcessCpuTime;
using testing::RunEventsFor;
using testing::RunEventsUntil;
using testing::TemporaryDirectory;
using testing::TimeBound;

std::string EveryByteValue(int repeats) {
  std::string bytes;
  for (int round = 0; round < repeats; ++round) {
    for (int value = 0; value < 256; ++value) bytes.push_back(static_cast<char>(value));
  }
  return bytes;
}

PortMap PortsWith(int port, const std::string& device) {
  PortMap ports;
  ports.SetDevice(port, device);
  return ports;
}

class TermiosSerialPortTest : public ::testing::Test {
 protected:
  // The port's notifier needs an event loop, hence one QCoreApplication for
  // the suite.
  static void SetUpTestSuite() {
    s_application = std::make_unique<QCoreApplication>(s_argc, s_argv);
  }
  static void TearDownTestSuite() { s_application.reset(); }

  void SetUp() override { ASSERT_TRUE(pty.ok()) << "openpty failed: " << std::strerror(errno); }

  // Records each event; takes the bytes on a receive event, as the panel does.
  void RecordEvents() {
    port.SetOnComm([this](int commEvent) {
      events.push_back(commEvent);
      if (commEvent == kCommEventReceive) received += port.Input();
    });
  }
  int CountOf(int commEvent) const {
    return static_cast<int>(std::count(events.begin(), events.end(), commEvent));
  }

  PseudoTerminal pty;
  TermiosSerialPort port{PortsWith(1, pty.path())};
  std::vector<int> events;
  std::string received;

 private:
  static inline char s_name[] = "serial-test";
  static inline char* s_argv[] = {s_name, nullptr};
  static inline int s_argc = 1;
  static inline std::unique_ptr<QCoreApplication> s_application;
};

// --- opening and its failures ----------------------------------------------

TEST_F(TermiosSerialPortTest, OpensTheMappedDeviceRawAtTheDefaultSettings) {
  EXPECT_EQ(port.CommPort(), 1);
  EXPECT_EQ(port.Settings(), "9600,n,8,1");
  ASSERT_EQ(port.Open(), open_error::None);
  EXPECT_TRUE(port.PortOpen());

  const termios line = pty.SlaveAttributes();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B9600));
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(line.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
  EXPECT_EQ(line.c_oflag & OPOST, 0u);
  EXPECT_EQ(line.c_cc[VMIN], 1);
  EXPECT_EQ(line.c_cc[VTIME], 0);
}

TEST_F(TermiosSerialPortTest, OpenFailuresAreToldAsTheThreeNumbers) {
  TemporaryDirectory directory;
  ASSERT_FALSE(directory.path().empty());
  const std::filesystem::path regular = directory / "not-a-terminal";
  const std::filesystem::path locked = directory / "no-permission";
  std::ofstream(regular) << "x";
  std::ofstream(locked) << "x";
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);

  // As root the mode 000 file opens anyway and fails as a non-terminal; the
  // number is the same either way.
  struct Case {
    std::string device;
    int expected;
  };
  const Case cases[] = {
      {(directory / "ttyUSB7").string(), open_error::NoSuchPort},
      {(directory / "missing-folder" / "ttyUSB0").string(), open_error::NoSuchPort},
      {regular.string() + "/ttyUSB0", open_error::NoSuchPort},  // ENOTDIR
      {directory.path(), open_error::CannotOpen},      // EISDIR
      {regular.string(), open_error::CannotOpen},               // ENOTTY
      {locked.string(), open_error::CannotOpen},                // EACCES or ENOTTY
  };
  for (const Case& test : cases) {
    SCOPED_TRACE("device " + test.device);
    TermiosSerialPort failing(PortsWith(3, test.device));
    failing.SetCommPort(3);
    EXPECT_EQ(failing.Open(), test.expected);
    EXPECT_FALSE(failing.PortOpen());
    EXPECT_FALSE(failing.Output("061_246\r"));
    EXPECT_EQ(failing.Input(), "");
  }
}

TEST_F(TermiosSerialPortTest, ADeviceThisUserMayNotOpenFailsAndTheWayOutIsToldOnce) {
  // The superuser opens anything; the refusal needs an ordinary user, so a
  // child process becomes "nobody" and tries a terminal of group 20
  // ("dialout" on Debian) with mode 0660.
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the device away and become nobody";
  PseudoTerminal terminal;
  ASSERT_TRUE(terminal.ok());
  const std::string device = terminal.path();
  ASSERT_EQ(::chown(device.c_str(), 0, 20), 0);
  ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
  const std::string expected = PermissionAdvice(device, GroupName(20), S_IFCHR | 0660);
  // A second terminal that only its owner may use: joining a group would
  // not help, and the advice must not say it would.
  PseudoTerminal ownersOnly;
  ASSERT_TRUE(ownersOnly.ok());
  ASSERT_EQ(::chown(ownersOnly.path().c_str(), 0, 20), 0);
  ASSERT_EQ(::chmod(ownersOnly.path().c_str(), 0600), 0);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
    TermiosSerialPort refused(PortsWith(1, device));
    std::vector<std::string> advice;
    refused.SetAdviceSink([&](const std::string& text) { advice.push_back(text); });
    if (refused.Open() != open_error::CannotOpen) ::_exit(11);
    if (refused.Open() != open_error::CannotOpen) ::_exit(12);
    if (advice.size() != 1) ::_exit(13);
    if (advice.front() != expected) ::_exit(14);
    TermiosSerialPort ownerOnly(PortsWith(1, ownersOnly.path()));
    ownerOnly.SetAdviceSink([&](const std::string& text) { advice.push_back(text); });
    if (ownerOnly.Open() != open_error::CannotOpen) ::_exit(15);
    if (advice.size() != 2 || advice.back().find("adduser") != std::string::npos ||
        advice.back().find("no group may") == std::string::npos)
      ::_exit(16);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  // 11, 12, 15: not "open failed"; 13: told other than once; 14: another
  // text; 16: advice to join a group that may not open the device either.
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(expected.find("sudo adduser \"$USER\" " + GroupName(20)), std::string::npos);
  EXPECT_NE(expected.find(device), std::string::npos);
}

TEST_F(TermiosSerialPortTest, ACharacterDeviceThatIsNoTerminalIsNeverOpened) {
  // Opening is an act of its own on some devices (a watchdog arms); the
  // kernel's inotify sees every open of the node, so "never" is checked.
  for (const char* device : {"/dev/zero", "/dev/null"}) {
    SCOPED_TRACE(device);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, device, IN_OPEN), 0);
    const auto opens = [&] {
      alignas(inotify_event) char buffer[4096];
      int count = 0;
      for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + got;) {
          const auto* event = reinterpret_cast<const inotify_event*>(at);
          count += (event->mask & IN_OPEN) != 0;
          at += sizeof(inotify_event) + event->len;
        }
      }
      return count;
    };
    TermiosSerialPort refusing(PortsWith(2, device));
    refusing.SetCommPort(2);
    std::vector<std::string> advice;
    refusing.SetAdviceSink([&](const std::string& text) { advice.push_back(text); });
    EXPECT_EQ(refusing.Open(), open_error::CannotOpen);
    EXPECT_EQ(refusing.Open(), open_error::CannotOpen);
    EXPECT_FALSE(refusing.PortOpen());
    EXPECT_EQ(opens(), 0) << "opened although it is no terminal";
    ASSERT_EQ(advice.size(), 1u) << "told once";
    EXPECT_NE(advice.front().find(std::string(device) + " is not a serial device"),
              std::string::npos);
    // The watch does see an open.
    ::close(::open(device, O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(opens(), 1);
    ::close(watch);
  }
}

TEST_F(TermiosSerialPortTest, TheIdentityIsSysfsWordForTheNodeTheNameLeadsTo) {
  TemporaryDirectory directory;
  ASSERT_TRUE(directory.ok());
  struct stat node {};
  ASSERT_EQ(::stat(pty.path().c_str(), &node), 0);
  // A stable name, as udev makes, leading to the pseudo-terminal; the fake
  // sysfs makes that terminal an FTDI adapter.
  const std::filesystem::path stable = directory / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  std::filesystem::create_symlink(pty.path(), stable);
  testing::FakeSysfs sys(directory / "sys");
  sys.UsbTerminal(node.st_rdev, "1-2", "0403", "6001", "A50285BI", "ttyUSB0");

  TermiosSerialPort adapter(PortsWith(1, stable.string()));
  EXPECT_EQ(adapter.DeviceIdentity(), std::string())
      << "the machine's sysfs knows no pseudo-terminal";
  adapter.SetSysfsRoot(sys.path());
  EXPECT_EQ(adapter.DeviceIdentity(), "USB 0403:6001 serial A50285BI, interface 1.0");
  EXPECT_EQ(adapter.Open(), open_error::None)
      << "a pseudo-terminal is a terminal whatever sysfs says";
  adapter.Close();
  std::filesystem::remove(stable);
  EXPECT_EQ(adapter.DeviceIdentity(), std::nullopt) << "unplugged: nothing there";
  adapter.SetCommPort(11);
  EXPECT_EQ(adapter.DeviceIdentity(), std::nullopt);
}

TEST_F(TermiosSerialPortTest, PortNumbersOutsideOneToTenDoNotExist) {
  for (const int number : {0, 11, -1}) {
    SCOPED_TRACE(number);
    port.SetCommPort(number);
    EXPECT_EQ(port.CommPort(), number);
    EXPECT_EQ(port.Open(), open_error::NoSuchPort);
    EXPECT_FALSE(port.PortOpen());
  }
  port.SetCommPort(1);
  EXPECT_EQ(port.Open(), open_error::None);
}

TEST_F(TermiosSerialPortTest, ADeviceHeldByAnotherPortIsInUseUntilReleased) {
  TermiosSerialPort other(PortsWith(1, pty.path()));
  ASSERT_EQ(other.Open(), open_error::None);
  EXPECT_EQ(port.Open(), open_error::PortInUse);
  EXPECT_FALSE(port.PortOpen());

  other.Close();
  EXPECT_EQ(port.Open(), open_error::None);
}

TEST_F(TermiosSerialPortTest, ADeviceLockedByAnotherProgramIsInUse) {
  const int holder = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(port.Open(), open_error::PortInUse);
  ::close(holder);
  EXPECT_EQ(port.Open(), open_error::None);
}

TEST_F(TermiosSerialPortTest, AnOpenPortKeepsOutOtherProgramsThatTakeNoLock) {
  const auto exclusive = [this] {
    int flag = -1;
    return ::ioctl(pty.slave(), TIOCGEXCL, &flag) == 0 ? flag : -1;
  };
  EXPECT_EQ(exclusive(), 0);
  ASSERT_EQ(port.Open(), open_error::None);
  EXPECT_EQ(exclusive(), 1);
  // Exclusive mode refuses further opens, except to root.
  const int intruder = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (intruder >= 0) {
    ::close(intruder);
    EXPECT_EQ(::geteuid(), 0u) << "a second open succeeded for a non-root user";
  } else {
    EXPECT_EQ(errno, EBUSY);
  }
  port.Close();
  EXPECT_EQ(exclusive(), 0) << "exclusive mode outlived Close()";
}

TEST_F(TermiosSerialPortTest, OpeningAnOpenPortAnswersInUseAndKeepsTheLink) {
  RecordEvents();
  ASSERT_EQ(port.Open(), open_error::None);
  EXPECT_EQ(port.Open(), open_error::PortInUse);
  EXPECT_TRUE(port.PortOpen());
  ASSERT_TRUE(pty.Send("060_1\r"));
  EXPECT_TRUE(RunEventsUntil([&] { return received.size() >= 6; }, 1s));
  EXPECT_EQ(received, "060_1\r");
}

TEST_F(TermiosSerialPortTest, CloseIsIdempotentAndAClosedPortMovesNoBytes) {
  port.Close();
  ASSERT_EQ(port.Open(), open_error::None);
  port.Close();
  port.Close();
  EXPECT_FALSE(port.PortOpen());
  EXPECT_FALSE(port.Output("061_246\r"));
  ASSERT_TRUE(pty.Send("stale"));
  EXPECT_EQ(port.Input(), "");
}

TEST_F(TermiosSerialPortTest, DestroyingAnOpenPortReleasesTheDevice) {
  {
    TermiosSerialPort first(PortsWith(1, pty.path()));
    ASSERT_EQ(first.Open(), open_error::None);
  }
  EXPECT_EQ(port.Open(), open_error::None);
}

TEST_F(TermiosSerialPortTest, ErrnosMapToTheThreeNumbers) {
  struct Case {
    int error;
    int expected;
  };
  const Case cases[] = {
      {ENOENT, open_error::NoSuchPort},  {ENODEV, open_error::NoSuchPort},
      {ENXIO, open_error::NoSuchPort},   {ENOTDIR, open_error::NoSuchPort},
      {EIO, open_error::NoSuchPort},     {EBUSY, open_error::PortInUse},
      {EWOULDBLOCK, open_error::PortInUse}, {EACCES, open_error::CannotOpen},
      {EPERM, open_error::CannotOpen},   {EISDIR, open_error::CannotOpen},
      {ENOTTY, open_error::CannotOpen},  {EMFILE, open_error::CannotOpen},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string("errno ") + std::strerror(test.error));
    EXPECT_EQ(OpenFailureFromErrno(test.error), test.expected);
  }
}

// --- line settings -------------------------------------------------------

// A pseudo-terminal keeps the speed, PARODD, CMSPAR and CSTOPB it is given
// but always reports CS8 and clears PARENB, so whether parity is on at all is
// checked on the termios structure in LineSettingsTest.
TEST_F(TermiosSerialPortTest, SettingsApplyAtOnceAndABadFieldKeepsItsSetting) {
  struct Case {
    std::string text;
    speed_t speed;
    tcflag_t parityFlags;  // PARODD | CMSPAR as read back
    bool twoStopBits;
  };
  // In order: each row starts from the settings the rows above left.
  const Case cases[] = {
      {"9600,N,8,1", B9600, 0, false},
      {"2400,o,8,1", B2400, PARODD, false},
      {"115200,,8,1", B115200, PARODD, false},  // start-up's transient text
      {"38400,M,8,1", B38400, PARODD | CMSPAR, false},
      {"460800,s,8,1", B460800, CMSPAR, false},
      {"12345,O,8,1", B460800, PARODD, false},
      {"921600,x,8,1", B921600, PARODD, false},
      {"9600,e,8,2", B9600, 0, true},
      {"9600,e,8,3", B9600, 0, true},
      {"115200,n,8,1", B115200, 0, false},
  };
  ASSERT_EQ(port.Open(), open_error::None);
  for (const Case& test : cases) {
    SCOPED_TRACE("settings " + test.text);
    port.SetSettings(test.text);
    EXPECT_EQ(port.Settings(), test.text);
    const termios line = pty.SlaveAttributes();
    EXPECT_EQ(cfgetospeed(&line), test.speed);
    EXPECT_EQ(cfgetispeed(&line), test.speed);
    EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), test.parityFlags);
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, test.twoStopBits);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  }
  EXPECT_TRUE(port.PortOpen());
}

TEST_F(TermiosSerialPortTest, SettingsGivenWhileClosedApplyAtOpen) {
  port.SetSettings("38400,o,8,1");
  port.SetSettings("115200,,8,1");
  ASSERT_EQ(port.Open(), open_error::None);
  const termios line = pty.SlaveAttributes();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B115200));
  EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD));
  EXPECT_EQ(port.Settings(), "115200,,8,1");
}

// --- bytes both ways -------------------------------------------------------

TEST_F(TermiosSerialPortTest, BytesWaitingBeforeOpenAreDiscarded) {
  RecordEvents();
  ASSERT_TRUE(pty.Send("stale answer\r"));
  // Make sure the stale bytes have reached the terminal's input queue.
  pollfd waiting{pty.slave(), POLLIN, 0};
  ASSERT_EQ(::poll(&waiting, 1, 1000), 1);

  ASSERT_EQ(port.Open(), open_error::None);
  ASSERT_TRUE(pty.Send("fresh\r"));
  EXPECT_TRUE(RunEventsUntil([&] { return received.size() >= 6; }, 1s));
  RunEventsFor(50ms);
  EXPECT_EQ(received, "fresh\r");
}

TEST_F(TermiosSerialPortTest, EveryByteValueArrivesUnchangedThroughTheReceiveEvent) {
  RecordEvents();
  port.SetSettings("115200,n,8,1");
  ASSERT_EQ(port.Open(), open_error::None);
  const std::string sent = EveryByteValue(16);
  ASSERT_TRUE(pty.Send(sent));
  EXPECT_TRUE(RunEventsUntil([&] { return received.size() >= sent.size(); }, 2s));
  EXPECT_EQ(received, sent);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(CountOf(kCommEventReceive), static_cast<int>(events.size()));
}

TEST_F(TermiosSerialPortTest, InputTakesEverythingWaitingAndThenNothing) {
  ASSERT_EQ(port.Open(), open_error::None);
  ASSERT_TRUE(pty.Send("061_1\r062_2\r"));
  pollfd waiting{pty.slave(), POLLIN, 0};
  ASSERT_EQ(::poll(&waiting, 1, 1000), 1);
  std::string taken;
  const Clock::time_point deadline = Clock::now() + 1s;
  while (taken.size() < 12 && Clock::now() < deadline) {
    taken += port.Input();
    if (taken.size() < 12) ::poll(&waiting, 1, 10);
  }
  EXPECT_EQ(taken, "061_1\r062_2\r");
  EXPECT_EQ(port.Input(), "");
  EXPECT_TRUE(port.PortOpen());
}

// Bounded in time: run again with the tight bounds in the timing pass.
using TermiosSerialPortTimeBoundTest = TermiosSerialPortTest;

TEST_F(TermiosSerialPortTimeBoundTest, ALoneAnswerIsTakenTheMomentItComes) {
  RecordEvents();
  ASSERT_EQ(port.Open(), open_error::None);
  for (int n = 0; n < 5; ++n) {
    const std::string answer = "010__000000000" + std::to_string(n) + "_123\r";
    const Clock::time_point sent = Clock::now();
    ASSERT_TRUE(pty.Send(answer));
    ASSERT_TRUE(RunEventsUntil([&] { return received.size() == (n + 1) * answer.size(); }, 1s));
    // RunEventsUntil looks every 5 ms; the port itself must not add a pause.
    EXPECT_LT(Clock::now() - sent, TimeBound(20ms, 500ms));
    RunEventsFor(20ms);
  }
  EXPECT_EQ(CountOf(kCommEventReceive), 5) << "one quiet answer, one event";
}

TEST_F(TermiosSerialPortTimeBoundTest, AFloodIsTakenInFewBatchesWithEveryByteInOrderHoweverTheDeviceSlicesIt) {
  RecordEvents();
  ASSERT_EQ(port.Open(), open_error::None);
  // The controller streams at a 921600-baud line's rate (92 bytes a
  // millisecond), handed over in slices as a USB adapter does: every 1 ms
  // frame of its bus, or every 10 ms when its latency timer collects them.
  // One event a slice would wake the window's thread for every slice.
  const struct {
    std::chrono::milliseconds slice;
    int slices;
    int mostEvents;  // in the timing pass; otherwise at most one a slice
  } cases[] = {{1ms, 500, 250}, {10ms, 60, 48}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.slice.count() << " ms slices");
    events.clear();
    received.clear();
    const std::size_t sliceBytes = 92 * static_cast<std::size_t>(c.slice.count());
    std::string sent;
    for (int n = 0; sent.size() < sliceBytes * static_cast<std::size_t>(c.slices); ++n)
      sent += "s" + std::to_string(100000 + n) + "\r";
    std::thread controller([&] {
      for (std::size_t at = 0; at < sent.size(); at += sliceBytes) {
        pty.Send(sent.substr(at, sliceBytes));
        std::this_thread::sleep_for(c.slice);
      }
    });
    const bool all = RunEventsUntil([&] { return received.size() >= sent.size(); }, 5s);
    controller.join();
    RunEventsFor(50ms);
    ASSERT_TRUE(all) << received.size() << " of " << sent.size() << " bytes";
    EXPECT_TRUE(received == sent) << "bytes lost, doubled or reordered";
    EXPECT_LE(CountOf(kCommEventReceive), TimeBound(c.mostEvents, c.slices))
        << "every slice woke the window's thread";
  }
}

TEST_F(TermiosSerialPortTest, OutputArrivesAtTheControllerExactly) {
  ASSERT_EQ(port.Open(), open_error::None);
  const std::string frame("061_246\r", 8);
  const std::string everything = EveryByteValue(4);
  ASSERT_TRUE(port.Output(frame));
  ASSERT_TRUE(port.Output(everything));
  EXPECT_EQ(pty.Receive(frame.size() + everything.size(), 2s), frame + everything);
}

// The controller, reading what has come so far without waiting.
std::string TakeWaiting(const PseudoTerminal& pty) {
  std::string bytes;
  char chunk[4096];
  pollfd readable{pty.master(), POLLIN, 0};
  while (::poll(&readable, 1, 0) == 1 && (readable.revents & POLLIN) != 0) {
    const ssize_t got = ::read(pty.master(), chunk, sizeof chunk);
    if (got <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return bytes;
}

TEST_F(TermiosSerialPortTimeBoundTest, OutputToAStuckLineNeverWaitsAndNeverCutsAFrame) {
  ASSERT_EQ(port.Open(), open_error::None);
  // The controller reads nothing for now; a megabyte cannot fit the line's
  // buffers, so most of it has to wait for room.
  std::string flood(1 << 20, 'x');
  flood.back() = '\r';
  const Clock::time_point start = Clock::now();
  EXPECT_TRUE(port.Output(flood)) << "a frame the line took in part was refused";
  // The rest is still waiting: a further frame finds no room and goes
  // nowhere, not even in part.
  EXPECT_FALSE(port.Output("061_246\r"));
  EXPECT_FALSE(port.Output("061_246\r"));
  EXPECT_LT(Clock::now() - start, TimeBound(50ms, 1000ms)) << "the window's thread waited for the line";
  EXPECT_TRUE(port.PortOpen());

  // The controller starts reading: the whole first frame arrives, once,
  // with nothing of the refused ones inside it; the port takes frames again.
  std::string arrived;
  ASSERT_TRUE(RunEventsUntil([&] {
    arrived += TakeWaiting(pty);
    return arrived.size() >= flood.size();
  }, 5s)) << arrived.size() << " of " << flood.size() << " bytes arrived";
  EXPECT_TRUE(arrived == flood) << "the first frame arrived changed";
  ASSERT_TRUE(port.Output("062_247\r"));
  EXPECT_EQ(pty.Receive(8, 2s), "062_247\r");
}

TEST_F(TermiosSerialPortTimeBoundTest, AFullLineRefusesAFrameWhole) {
  ASSERT_EQ(port.Open(), open_error::None);
  // Fill the line towards the controller to the last byte. The kernel
  // moves what the line holds on to the far end's buffer a moment later,
  // which makes room again: fill, let it settle, and fill once more.
  const std::string block(4096, 'x');
  std::size_t filled = 0;
  const auto fill = [&] {
    for (std::size_t size = block.size(); size > 0; size /= 2) {
      while (port.Output(block.substr(0, size))) filled += size;
    }
  };
  fill();
  RunEventsFor(20ms);
  fill();
  ASSERT_GT(filled, 0u);
  const std::chrono::nanoseconds cpuBefore = ProcessCpuTime();
  EXPECT_FALSE(port.Output("061_246\r"));
  RunEventsFor(100ms);
  EXPECT_LT(ProcessCpuTime() - cpuBefore, TimeBound(30ms, 60ms)) << "waited for room by spinning";
  // Only what was accepted reaches the controller.
  std::string arrived;
  RunEventsUntil([&] {
    arrived += TakeWaiting(pty);
    return arrived.size() >= filled;
  }, 2s);
  RunEventsFor(50ms);
  arrived += TakeWaiting(pty);
  EXPECT_EQ(arrived, std::string(filled, 'x'));
}

TEST_F(TermiosSerialPortTimeBoundTest, ARestWaitingWhenTheDeviceGoesIsDroppedWithoutSpinning) {
  RecordEvents();
  ASSERT_EQ(port.Open(), open_error::None);
  ASSERT_TRUE(port.Output(std::string(1 << 20, 'x')));
  pty.CloseMaster();
  ASSERT_TRUE(RunEventsUntil([&] { return CountOf(kCommEventLost) > 0; }, 2s));
  const std::chrono::nanoseconds cpuBefore = ProcessCpuTime();
  RunEventsFor(300ms);
  EXPECT_LT(ProcessCpuTime() - cpuBefore, TimeBound(30ms, 150ms)) << "the waiting rest kept the thread busy";
  EXPECT_EQ(CountOf(kCommEventLost), 1);
  EXPECT_FALSE(port.Output("061_246\r"));
}

// --- a device that goes away -----------------------------------------------

TEST_F(TermiosSerialPortTimeBoundTest, AnIdlePortRaisesNothingAndCostsNoTime) {
  RecordEvents();
  ASSERT_EQ(port.Open(), open_error::None);
  const std::chrono::nanoseconds cpuBefore = ProcessCpuTime();
  RunEventsFor(300ms);
  EXPECT_LT(ProcessCpuTime() - cpuBefore, TimeBound(30ms, 150ms));
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(port.PortOpen());
}

class HangUp : public TermiosSerialPortTest {
 protected:
  // The controller streams answers; once some have arrived its end closes
  // between two writes. Returns the time the event took to come.
  Clock::duration CloseMasterMidTraffic() {
    const std::string answer = EveryByteValue(1);
    QTimer writer;
    QObject::connect(&writer, &QTimer::timeout, [&] {
      if (pty.master() < 0) return;
      pty.Send(answer);
      if (received.size() >= 8 * answer.size()) {
        pty.CloseMaster();
        closedAt = Clock::now();
      }
    });
    writer.start(2ms);
    EXPECT_TRUE(RunEventsUntil([&] { return CountOf(kCommEventLost) > 0; }, 3s));
    writer.stop();
    lostAt = Clock::now();
    return lostAt - closedAt;
  }

  // CPU time of the whole process over one second of the event loop.
  std::chrono::microseconds CpuOverTheNextSecond() {
    const std::chrono::nanoseconds before = ProcessCpuTime();
    RunEventsFor(1000ms);
    return std::chrono::duration_cast<std::chrono::microseconds>(ProcessCpuTime() - before);
  }

  Clock::time_point closedAt = Clock::now();
  Clock::time_point lostAt = Clock::now();
};

// Bounded in time: run again with the tight bounds in the timing pass.
using HangUpTimeBoundTest = HangUp;

TEST_F(HangUpTimeBoundTest, IsReportedOnceWithinAPollPeriodAndThePanelsCloseLeavesTheThreadIdle) {
  // As the panel does: take bytes on receive, close the port when it is lost.
  port.SetOnComm([this](int commEvent) {
    events.push_back(commEvent);
    if (commEvent == kCommEventReceive) received += port.Input();
    if (commEvent == kCommEventLost) port.Close();
  });
  ASSERT_EQ(port.Open(), open_error::None);

  const Clock::duration delay = CloseMasterMidTraffic();
  EXPECT_LT(delay, TimeBound(200ms, 2000ms));
  EXPECT_FALSE(port.PortOpen());
  const std::chrono::microseconds cpu = CpuOverTheNextSecond();
  std::cout << "[ measured ] hang-up reported after "
            << std::chrono::duration_cast<std::chrono::microseconds>(delay).count()
            << " us; CPU over the second after it: " << cpu.count() << " us\n";
  EXPECT_LT(cpu, TimeBound(50ms, 500ms));
  EXPECT_EQ(CountOf(kCommEventLost), 1);
  EXPECT_EQ(events.back(), kCommEventLost);
  EXPECT_GE(received.size(), 8u * 256u);
  EXPECT_EQ(received.substr(0, 512), EveryByteValue(2));
}

TEST_F(HangUpTimeBoundTest, IsReportedOnceAndStaysQuietEvenIfNobodyCloses) {
  RecordEvents();
  ASSERT_EQ(port.Open(), open_error::None);

  CloseMasterMidTraffic();
  const std::chrono::microseconds cpu = CpuOverTheNextSecond();
  std::cout << "[ measured ] CPU over the second after the hang-up, port left open: "
            << cpu.count() << " us\n";
  EXPECT_LT(cpu, TimeBound(50ms, 500ms));
  EXPECT_EQ(CountOf(kCommEventLost), 1);
  EXPECT_TRUE(port.PortOpen());
  EXPECT_FALSE(port.Output("061_246\r"));
  port.Close();
  EXPECT_FALSE(port.PortOpen());
}

TEST_F(HangUp, ConnectOpensTheDeviceAgainWhenItIsBack) {
  // The port is mapped to a stable name, as udev gives a USB adapter; the
  // name points at whichever pseudo-terminal is the device at the time.
  TemporaryDirectory directory;
  const std::filesystem::path device = directory / "ttyUSB0";
  std::filesystem::create_symlink(pty.path(), device);
  TermiosSerialPort link(PortsWith(1, device.string()));
  std::string linkReceived;
  int lost = 0;
  link.SetOnComm([&](int commEvent) {
    if (commEvent == kCommEventReceive) linkReceived += link.Input();
    if (commEvent == kCommEventLost) {
      ++lost;
      link.Close();
    }
  });
  ASSERT_EQ(link.Open(), open_error::None);
  ASSERT_TRUE(pty.Send("060_1\r"));
  ASSERT_TRUE(RunEventsUntil([&] { return linkReceived.size() >= 6; }, 1s));

  // Unplugged: the device and its name go away.
  pty.CloseMaster();
  pty.CloseSlave();
  std::filesystem::remove(device);
  ASSERT_TRUE(RunEventsUntil([&] { return lost == 1; }, 1s));
  EXPECT_FALSE(link.PortOpen());
  EXPECT_EQ(link.Open(), open_error::NoSuchPort);

  PseudoTerminal replugged;
  ASSERT_TRUE(replugged.ok());
  std::filesystem::create_symlink(replugged.path(), device);
  ASSERT_EQ(link.Open(), open_error::None);
  ASSERT_TRUE(replugged.Send("061_2\r"));
  ASSERT_TRUE(link.Output("062_247\r"));
  EXPECT_TRUE(RunEventsUntil([&] { return linkReceived.size() >= 12; }, 1s));
  EXPECT_EQ(linkReceived, "060_1\r061_2\r");
  EXPECT_EQ(replugged.Receive(8, 1s), "062_247\r");
  EXPECT_EQ(lost, 1);
}

}  // namespace
}  // namespace halvorn::shell
