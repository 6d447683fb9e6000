#include "serial/TermiosSerialPort.h"

#include "serial/DeviceNode.h"
#include "serial/SerialDevices.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <iostream>
#include <optional>
#include <utility>

namespace halvorn::shell {
namespace {

// At most this much is read per notification, so that a flood of bytes
// cannot keep the window's thread from its timers and clicks; the notifier
// fires again for the rest.
constexpr std::size_t kReadPerNotification = 64 * 1024;

// Bytes that come within kBurstGap of the previous read are a burst (a
// flood, a long answer in many driver slices): the port then pauses for
// kBurstPause between reads, one 60 Hz frame, so that a flood is taken and
// shown once a frame. So are more than kBurstBytes within kBurstPause: a
// device that hands a full line over in coarser slices (an adapter whose
// latency timer collects 10 ms at a time) would otherwise wake the window
// once a slice, more often than once a frame. A lone answer, or a few that
// come some milliseconds apart, is read the moment it comes.
constexpr std::chrono::milliseconds kBurstGap{2};
constexpr std::chrono::milliseconds kBurstPause{16};
constexpr std::size_t kBurstBytes = 128;  // two of the longest answers

// Owns a descriptor until the open has succeeded.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return m_fd; }
  int release() { return std::exchange(m_fd, -1); }

 private:
  int m_fd;
};

}  // namespace

int OpenFailureFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    // An on-board port node without a UART behind it opens with EIO.
    case EIO:
      return open_error::NoSuchPort;
    case EBUSY:
    case EWOULDBLOCK:
      return open_error::PortInUse;
    default:
      return open_error::CannotOpen;
  }
}

std::string PermissionAdvice(const std::string& device, const std::string& group, mode_t mode) {
  if ((mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
    return "halvorn-panel: you may not open " + device +
           ", and no group may (only its owner): whoever\n"
           "halvorn-panel: administers the machine can give it to group dialout, mode 0660.\n";
  }
  return "halvorn-panel: you may not open " + device + " (it belongs to group " + group +
         ").\n"
         "halvorn-panel: on Debian, add yourself to that group and log in again:\n"
         "    sudo adduser \"$USER\" " + group + "\n";
}

TermiosSerialPort::TermiosSerialPort(PortMap ports)
    : m_ports(std::move(ports)),
      m_advise([](const std::string& advice) { std::cerr << advice << std::flush; }),
      m_notifier(std::make_unique<QSocketNotifier>(QSocketNotifier::Read)),
      m_writeNotifier(std::make_unique<QSocketNotifier>(QSocketNotifier::Write)),
      m_resume(std::make_unique<QTimer>()) {
  m_writeNotifier->setEnabled(false);
  m_resume->setSingleShot(true);
  m_resume->setTimerType(Qt::PreciseTimer);
  QObject::connect(m_resume.get(), &QTimer::timeout, m_resume.get(), [this] { onResume(); });
  QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                   [this] { onReadable(); });
  QObject::connect(m_writeNotifier.get(), &QSocketNotifier::activated, m_writeNotifier.get(),
                   [this] { onWritable(); });
}

TermiosSerialPort::~TermiosSerialPort() { Close(); }

int TermiosSerialPort::Open() {
  if (m_fd >= 0) return open_error::PortInUse;
  const std::optional<std::string> device = m_ports.Device(m_commPort);
  if (!device) return open_error::NoSuchPort;

  // Looked at before it is opened: opening is itself an act on some devices
  // (/dev/watchdog as root arms it).
  struct stat node {};
  if (::stat(device->c_str(), &node) != 0) return OpenFailureFromErrno(errno);
  if (!S_ISCHR(node.st_mode) || !IsTerminal(m_sys, node.st_rdev)) {
    if (m_advise && m_refusedNode != *device) {
      m_refusedNode = *device;
      m_advise("halvorn-panel: " + *device +
               " is not a serial device (no terminal); it was not opened.\n");
    }
    return open_error::CannotOpen;
  }

  // No controlling terminal: a hang-up must not send the panel SIGHUP.
  FileDescriptor fd(::open(device->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    const int error = errno;
    // The panel's label can only say "open failed"; the way out (the
    // device's group) is told once, where the one who starts it looks.
    if ((error == EACCES || error == EPERM) && !m_advised && m_advise) {
      m_advised = true;
      m_advise(PermissionAdvice(*device, GroupName(node.st_gid), node.st_mode));
    }
    return OpenFailureFromErrno(error);
  }
  // Another program that holds the device (a terminal program, a second
  // panel) holds this lock; refuse rather than share the controller's bytes.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return OpenFailureFromErrno(errno);
  termios attributes{};
  if (::tcgetattr(fd.get(), &attributes) != 0) return OpenFailureFromErrno(errno);
  // Programs that do not take the lock are kept out by the terminal's
  // exclusive mode: their open fails with EBUSY.
  if (::ioctl(fd.get(), TIOCEXCL) != 0) return OpenFailureFromErrno(errno);
  ApplyLineSettings(m_lineSettings, attributes);
  if (::tcsetattr(fd.get(), TCSANOW, &attributes) != 0) {
    const int error = errno;
    ::ioctl(fd.get(), TIOCNXCL);
    return OpenFailureFromErrno(error);
  }
  // Whatever the controller sent before the link was opened belongs to no
  // request of this session.
  ::tcflush(fd.get(), TCIFLUSH);

  m_fd = fd.release();
  ++m_openings;
  m_received.clear();
  m_unsent.clear();
  m_resume->stop();
  m_lastRead = {};
  m_notifier->setSocket(m_fd);
  m_notifier->setEnabled(true);
  m_writeNotifier->setSocket(m_fd);
  m_writeNotifier->setEnabled(false);
  return open_error::None;
}

void TermiosSerialPort::Close() {
  if (m_fd < 0) return;
  // Stop watching before the descriptor goes, so the event loop never polls
  // a closed or reused number.
  m_notifier->setEnabled(false);
  m_notifier->setSocket(-1);
  m_resume->stop();
  m_writeNotifier->setEnabled(false);
  m_writeNotifier->setSocket(-1);
  m_unsent.clear();
  // Leave the terminal open to others again; a hung-up device refuses this,
  // which does not matter.
  ::ioctl(m_fd, TIOCNXCL);
  ::close(m_fd);  // also drops the lock
  m_fd = -1;
  m_received.clear();
}

bool TermiosSerialPort::PortOpen() const { return m_fd >= 0; }

std::optional<std::string> TermiosSerialPort::DeviceIdentity() const {
  const std::optional<std::string> device = m_ports.Device(m_commPort);
  struct stat node {};
  if (!device || ::stat(device->c_str(), &node) != 0) return std::nullopt;
  if (!S_ISCHR(node.st_mode)) return std::string();
  return UsbIdentity(m_sys, node.st_rdev);
}

int TermiosSerialPort::CommPort() const { return m_commPort; }

void TermiosSerialPort::SetCommPort(int number) { m_commPort = number; }

std::string TermiosSerialPort::Settings() const { return m_settingsText; }

void TermiosSerialPort::SetSettings(const std::string& settings) {
  m_settingsText = settings;
  m_lineSettings = UpdateLineSettings(m_lineSettings, settings);
  if (m_fd >= 0) applyLineSettings();
}

bool TermiosSerialPort::applyLineSettings() {
  termios attributes{};
  if (::tcgetattr(m_fd, &attributes) != 0) return false;
  ApplyLineSettings(m_lineSettings, attributes);
  // At once, without waiting for output to drain: a stuck line must not
  // freeze the window.
  return ::tcsetattr(m_fd, TCSANOW, &attributes) == 0;
}

bool TermiosSerialPort::Output(const std::string& bytes) {
  if (m_fd < 0) return false;
  // Frames go out in order and whole: while the rest of an earlier one waits
  // for room, a new one has none.
  if (!m_unsent.empty() && (!writeUnsent() || !m_unsent.empty())) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::write(m_fd, bytes.data() + written, bytes.size() - written);
    if (count > 0) {
      written += static_cast<std::size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && written > 0) break;
    // Nothing of this frame went out: the line is full (the controller
    // reads nothing) or the device failed, which the read side reports.
    return false;
  }
  if (written < bytes.size()) {
    m_unsent.assign(bytes, written);
    m_writeNotifier->setEnabled(true);
  }
  return true;
}

bool TermiosSerialPort::writeUnsent() {
  std::size_t written = 0;
  while (written < m_unsent.size()) {
    const ssize_t count = ::write(m_fd, m_unsent.data() + written, m_unsent.size() - written);
    if (count > 0) {
      written += static_cast<std::size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // The device failed: the rest can never go out; the read side tells the
    // operator the port is lost.
    m_unsent.clear();
    m_writeNotifier->setEnabled(false);
    return false;
  }
  m_unsent.erase(0, written);
  if (m_unsent.empty()) m_writeNotifier->setEnabled(false);
  return true;
}

void TermiosSerialPort::onWritable() {
  if (m_fd < 0 || m_unsent.empty()) {
    m_writeNotifier->setEnabled(false);
    return;
  }
  writeUnsent();
}

std::string TermiosSerialPort::Input() {
  // A hang-up found here is left for the notifier, which fires on it next
  // and raises the event outside the caller's handler.
  if (m_fd >= 0) readWaiting();
  return std::exchange(m_received, {});
}

TermiosSerialPort::ReadEnd TermiosSerialPort::readWaiting() {
  char chunk[4096];
  std::size_t taken = 0;
  while (taken < kReadPerNotification) {
    const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
    if (count > 0) {
      m_received.append(chunk, static_cast<std::size_t>(count));
      taken += static_cast<std::size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadEnd::Drained;
    // End of file (the terminal hung up, VMIN is 1) or a failing device
    // (EIO, ENXIO, ...): nothing more will come from this descriptor.
    return ReadEnd::HungUp;
  }
  return ReadEnd::MoreWaiting;
}

void TermiosSerialPort::onReadable() { takeWaiting(false); }

void TermiosSerialPort::onResume() {
  // Bytes waiting after a pause mean the burst goes on.
  takeWaiting(true);
}

void TermiosSerialPort::takeWaiting(bool resumed) {
  if (m_fd < 0) return;
  const auto now = std::chrono::steady_clock::now();
  const auto sinceLastRead = now - m_lastRead;
  m_lastRead = now;
  const std::size_t before = m_received.size();
  const bool hungUp = readWaiting() == ReadEnd::HungUp;
  const std::size_t arrivedBytes = m_received.size() - before;
  const bool arrived = arrivedBytes > 0;
  const bool inBurst = resumed || sinceLastRead < kBurstGap ||
                       (sinceLastRead < kBurstPause && arrivedBytes > kBurstBytes);
  const unsigned opening = m_openings;
  if (hungUp) {
    // A hung-up descriptor stays readable for ever; watching it further
    // would spin the window's thread.
    m_notifier->setEnabled(false);
  } else if (inBurst && arrived) {
    m_notifier->setEnabled(false);
    m_resume->start(kBurstPause);
  } else {
    m_notifier->setEnabled(true);
  }
  if (arrived) RaiseOnComm(kCommEventReceive);
  if (hungUp && m_fd >= 0 && opening == m_openings) RaiseOnComm(kCommEventLost);
}

}  // namespace halvorn::shell
