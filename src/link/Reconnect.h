// Trying a lost port again. A USB adapter that drops out (cable pulled,
// hub reset) usually comes back under the same name within seconds; when
// the operator chose it at start, the panel then tries the same port every
// kReconnectInterval and opens it exactly as "Connect" would once the device
// is back. "Disconnect" or a port change gives up. Off by default: without
// the choice a lost port stays closed until "Connect".
#pragma once

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
};

// The port was lost: begins trying it again when the operator chose so.
void StartReconnect(FrontPanel& panel);

// Gives up trying; a panel that is not trying stays as it is.
void StopReconnect(FrontPanel& panel);

// One try. While the device is still away ("does not exist") nothing is
// told and "Port n lost" stands. Once it is there the outcome is told with
// the texts of "Connect"; the trying ends when the port is open, whoever
// opened it.
void ReconnectTimer_Timer(FrontPanel& panel);

}  // namespace halvorn
