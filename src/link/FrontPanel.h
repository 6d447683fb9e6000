// Everything the panel keeps between events: the window's widgets, the
// serial port, and the link's own state. The shell holds one of these and
// hands it to every event procedure.
#pragma once

#include <cstdint>
#include <string>

#include "link/LinkObserver.h"
#include "panel/Form1.h"
#include "panel/SerialPort.h"
#include "plant/Watchdog.h"

namespace halvorn {

struct FrontPanel {
  explicit FrontPanel(SerialPort& port);
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
  // Told of warnings as they are listed; none unless the run is recorded.
  LinkObserver* observer = nullptr;
};

}  // namespace halvorn
