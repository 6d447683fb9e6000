// The panel's serial port over a POSIX terminal device: the controller link
// on an on-board port, a USB adapter or a simulator's pseudo-terminal.
//
// Received bytes are announced through a QSocketNotifier, so the port lives
// on the thread that runs the Qt event loop (the window's thread) and needs
// a QCoreApplication before it is opened. When the device goes away while
// open (adapter pulled, the far end of a pseudo-terminal closed) the port
// stops watching it and raises kCommEventLost once; the panel then closes it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "panel/SerialPort.h"
#include "serial/LineSettings.h"
#include "serial/PortMap.h"

class QSocketNotifier;
class QTimer;

namespace halvorn::shell {

// How an errno from opening or preparing a device is told to the operator:
// no such device 8002, in use 8005, anything else 8012.
int OpenFailureFromErrno(int error);

// What a user who may not open `device` can do about it on Debian, where
// serial devices belong to a group (`group`, usually "dialout") that may
// read and write them; a node whose `mode` lets no group do so is said to
// be so, since joining its group would not help. One paragraph ending in a
// newline.
[[nodiscard]] std::string PermissionAdvice(const std::string& device, const std::string& group,
                                           mode_t mode);

class TermiosSerialPort final : public SerialPort {
 public:
  explicit TermiosSerialPort(PortMap ports = {});
  ~TermiosSerialPort() override;
  TermiosSerialPort(const TermiosSerialPort&) = delete;
  TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

  // Which device each port number opens.
  [[nodiscard]] const PortMap& map() const { return m_ports; }

  // Opens the device of CommPort() exclusively, in raw mode at Settings(),
  // and discards the bytes that were waiting. An open port answers 8005 and
  // stays as it is. A device that is not a terminal (/dev/zero, a watchdog,
  // a file) is not opened at all: 8012, and a line once on the advice sink.
  int Open() override;
  void Close() override;
  bool PortOpen() const override;

  int CommPort() const override;
  // Takes effect at the next Open(); an open port stays on its device.
  void SetCommPort(int number) override;

  std::string Settings() const override;
  void SetSettings(const std::string& settings) override;

  // Never waits: the window's thread must not stall on a stuck line. What
  // the device does not take at once is kept and written as it makes room,
  // so a frame is never cut on the line. True when the bytes will go out
  // whole; false, with nothing written, when the port is closed, the device
  // failed, or the device has no room (an earlier frame still waiting
  // counts as none): the frame is then lost like one lost on the line.
  bool Output(const std::string& bytes) override;
  std::string Input() override;
  // Read from sysfs for the device the port's name leads to now.
  std::optional<std::string> DeviceIdentity() const override;

  // Where sysfs is mounted ("/sys"): it says which devices are terminals and
  // which adapter each is (serial/DeviceNode.h). A test lays out its own.
  void SetSysfsRoot(std::filesystem::path sys) { m_sys = std::move(sys); }

  // Where the advice goes the first time a device refuses this user (the
  // operator sees only "Port n open failed"); standard error by default.
  void SetAdviceSink(std::function<void(const std::string&)> sink) { m_advise = std::move(sink); }

 private:
  enum class ReadEnd { Drained, MoreWaiting, HungUp };

  // Appends what waits on the device to m_received.
  ReadEnd readWaiting();
  void onReadable();
  void onResume();
  // Reads what waits and raises the events; in a burst (bytes after a
  // pause, close behind the last read, or many of them soon after it),
  // stops watching for a pause once bytes came.
  void takeWaiting(bool resumed);
  // Writes what is kept of an earlier frame; false when the device failed.
  bool writeUnsent();
  void onWritable();
  bool applyLineSettings();

  PortMap m_ports;
  std::filesystem::path m_sys = "/sys";
  std::function<void(const std::string&)> m_advise;
  bool m_advised = false;
  // The last device refused for not being a terminal, told once.
  std::string m_refusedNode;
  int m_commPort = 1;
  std::string m_settingsText = "9600,n,8,1";
  LineSettings m_lineSettings{};
  int m_fd = -1;
  // Counts opens, so that an event found for one opening is not raised for
  // the next one when the handler closed and reopened the port.
  unsigned m_openings = 0;
  std::string m_received;
  // One notifier for the port's whole life, pointed at each new descriptor:
  // it is never deleted while its own signal runs (the handler of
  // kCommEventLost closes the port from inside it).
  std::unique_ptr<QSocketNotifier> m_notifier;
  // The rest of a frame the device took only in part, and the notifier that
  // is on only while there is such a rest.
  std::string m_unsent;
  std::unique_ptr<QSocketNotifier> m_writeNotifier;
  // While the controller's bytes come back to back, the port stops watching
  // for a few milliseconds at a time and then takes all that came at once:
  // one wake-up per pause instead of one per driver slice.
  std::unique_ptr<QTimer> m_resume;
  std::chrono::steady_clock::time_point m_lastRead{};
};

}  // namespace halvorn::shell
