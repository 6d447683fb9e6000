// Trying a lost port again. A USB adapter that drops out (cable pulled,
// hub reset) usually comes back under the same name within seconds; when
// the operator chose it at start, the panel then tries the same port every
// kReconnectInterval and opens it exactly as "Connect" would once the device
// is back. "Disconnect" or a port change gives up. Off by default: without
// the choice a lost port stays closed until "Connect".
//
// After a hub reset two adapters can come back under each other's names,
// or another instrument can take the name: the panel then must not talk to
// another installation's controller as if it were this one's. So each open
// learns the device's identity (SerialPort::DeviceIdentity), and a try opens
// only a device with the same identity. A device without one (an on-board
// port, a pseudo-terminal) is tried as any other. The operator's "Connect"
// opens whatever is there: the operator chose it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "panel/Widgets.h"

namespace halvorn {

struct FrontPanel;

// Milliseconds between two tries.
constexpr int kReconnectInterval = 2000;

struct Reconnect {
  // Whether a lost port is tried again at all; set once at start.
  bool enabled = false;
  // Runs exactly while a lost port waits to be opened again; the shell ticks
  // ReconnectTimer_Timer on it. Never part of the window.
  Timer timer{"ReconnectTimer", kReconnectInterval, false, 0};
  // The identity of the device last opened on the port; empty when it had
  // none, or nothing was opened yet.
  std::string identity;
  // The identity of another device found on the port in its place and not
  // taken; empty while there is none.
  std::string refused;
};

// Whether a try may open the device that is on the port now (`now`, as
// SerialPort::DeviceIdentity gives it) after one with identity `known` was
// lost: always when the lost one had no identity; otherwise only the same
// device, or none at all (the try then finds it still away).
[[nodiscard]] bool TakesDevice(std::string_view known, const std::optional<std::string>& now);

// The port was opened: remembers which device it is, for the next loss.
void LearnDevice(FrontPanel& panel);

// The port was lost: begins trying it again when the operator chose so.
void StartReconnect(FrontPanel& panel);

// Gives up trying; a panel that is not trying stays as it is.
void StopReconnect(FrontPanel& panel);

// One try. While the device is still away ("does not exist") nothing is
// told and "Port n lost" stands. Once it is there the outcome is told with
// the texts of "Connect"; the trying ends when the port is open, whoever
// opened it. Another device in its place is not opened: "Port n lost"
// stands, `reconnect.refused` names it, and the trying goes on.
void ReconnectTimer_Timer(FrontPanel& panel);

// What the window's title adds while another device is refused ("another
// device is on port 1 and was not taken"); empty otherwise.
[[nodiscard]] std::string RefusedDeviceNote(const FrontPanel& panel);

// One line telling which device was refused and which one the port had:
// "port 1 now has USB 067b:2303 serial X, not USB 0403:6001 serial Y, which
// was connected; it was not opened". Empty when none is refused.
[[nodiscard]] std::string RefusedDeviceLine(const FrontPanel& panel);

}  // namespace halvorn
