// Everything the panel keeps between events: the window's widgets, the
// serial port, and the link's own state. The shell holds one of these and
// hands it to every event procedure.
//
// The panel is the one owner of the port's receive callback: it wires the
// port's events to the receiver when it is made and unwires them when it
// goes. Nobody else calls SetOnComm on its port; whoever shows the panel
// learns of each port event through `portEventHandled`.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/Feed.h"
#include "link/Reconnect.h"
#include "panel/Form1.h"
#include "panel/SerialPort.h"
#include "plant/Watchdog.h"

namespace halvorn {

struct FrontPanel {
  explicit FrontPanel(SerialPort& port);
  ~FrontPanel();
  FrontPanel(const FrontPanel&) = delete;
  FrontPanel& operator=(const FrontPanel&) = delete;

  Form1 form;
  SerialPort& MSComm2;

  // Received bytes not yet ended by a carriage return, at most 256.
  std::string ReceiveBuffer;
  std::int32_t CrcErrorCount = 0;
  std::int32_t CorrectMessageCount = 0;
  // The poll request the next Timer1 tick sends, 0 to 6.
  std::int16_t PollStep = 0;
  WatchdogFlags watchdog;
  // Frames the port took since the start: the window knows from this that
  // a poll went out and its answer is due.
  std::uint64_t FramesWritten = 0;
  // Whoever follows what happens (the record); nobody unless chosen.
  Feed feed;
  // Trying a lost port again (off unless chosen at start).
  Reconnect reconnect;

  // Called with the event's kind after the core has handled each event of
  // the port (received bytes, a lost device), so that the window can show
  // what changed. Empty: nothing is told.
  std::function<void(int commEvent)> portEventHandled;
};

}  // namespace halvorn
