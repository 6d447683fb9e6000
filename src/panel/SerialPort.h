// The serial port as the panel sees it: the few operations of the window's
// serial control and nothing more. The Qt shell adapts a real port to it;
// tests use a recording fake.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace halvorn {

// Open failures the panel tells the operator about. Any other non-zero
// number is a failure it does not name.
namespace open_error {
constexpr int None = 0;
constexpr int NoSuchPort = 8002;
constexpr int PortInUse = 8005;
constexpr int CannotOpen = 8012;
}  // namespace open_error

// The kinds of event the port reports.
constexpr int kCommEventReceive = 2;  // bytes arrived
// The device went away while open (adapter pulled, other end hung up); the
// port can no longer be used and must be closed.
constexpr int kCommEventLost = 1010;

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens port CommPort() with Settings(). Returns open_error::None when the
  // port is open afterwards, or the failure's number; the port then stays
  // closed.
  virtual int Open() = 0;
  // Closes the port; a closed port stays closed.
  virtual void Close() = 0;
  virtual bool PortOpen() const = 0;

  // Port number, 1 to 10.
  virtual int CommPort() const = 0;
  virtual void SetCommPort(int number) = 0;

  // Line settings as "baud,parity,data,stop", e.g. "115200,n,8,1". Setting
  // them applies them at once, also to an open port; Settings() gives back
  // the text last set.
  virtual std::string Settings() const = 0;
  virtual void SetSettings(const std::string& settings) = 0;

  // Writes the bytes in one piece. Returns false when the write failed.
  virtual bool Output(const std::string& bytes) = 0;
  // Takes every received byte that waits, possibly none.
  virtual std::string Input() = 0;

  // Which device CommPort() names now, found without opening it: for a USB
  // adapter its vendor, product and serial number, or its place on the bus
  // when it has no serial number. Empty for a device with nothing that tells
  // it from another (an on-board port, a pseudo-terminal); nothing when no
  // device is there. The panel compares it across a reconnect.
  [[nodiscard]] virtual std::optional<std::string> DeviceIdentity() const { return std::string(); }

  // Called with the event kind (kCommEventReceive when bytes arrived).
  void SetOnComm(std::function<void(int commEvent)> handler) { onComm_ = std::move(handler); }

 protected:
  void RaiseOnComm(int commEvent) {
    if (onComm_) onComm_(commEvent);
  }

 private:
  std::function<void(int)> onComm_;
};

}  // namespace halvorn
