// The one way out to the controller.
#pragma once

#include <cstdint>
#include <string_view>

#include "link/FrontPanel.h"
#include "panel/Form1.h"
#include "panel/SerialPort.h"

namespace halvorn {

// Whether a frame is one of the poll cycle's requests or an operator's
// command.
enum class Outgoing : std::uint8_t { Poll, Command };

// Frames `text` and writes it to the port, lighting the send lamp and
// (re)starting Timer3, which puts the lamp back 100 ms after the last send.
// With the port closed it only shows "Not connected!" in lblStatus. A write
// that fails on an open port is dropped like a lost frame, and the lamp and
// Timer3 stay as they were: the next poll asks again, and the link itself
// reports a port that has gone away. A frame the port took is counted and
// told to the feed.
void SendMessage(FrontPanel& panel, std::string_view text, Outgoing kind);

// SendMessage of the command text `operationCode` "_" `argument`.
void SendCommand(FrontPanel& panel, int operationCode, std::string_view argument);

}  // namespace halvorn
