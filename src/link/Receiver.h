// The way in from the controller: the receive event takes what the port has
// waiting, ReceiveText joins it to the receive buffer and cuts it into
// messages at each carriage return, and ProcessMessage checks, counts and
// dispatches each message by its answer type.
#pragma once

#include <cstddef>
#include <string_view>

#include "link/FrontPanel.h"

namespace halvorn {

// The receive buffer's bound: a line that grows beyond it without a carriage
// return is garbage (a controller answer is at most 64 bytes) and is dropped.
constexpr std::size_t kReceiveBufferLimit = 256;

// Most entries each of the two message lists keeps; the oldest go first.
constexpr int kMessageListLength = 10;

// The receive event of the port. For a receive event it takes every byte
// that waits and hands it to ReceiveText one line at a time, each piece ending
// just after a carriage return (the last piece is whatever follows the last
// one), so that how many bytes the driver happens to batch cannot push whole
// answers over the receive buffer's bound. A lost device closes the port
// (PortLost); other events are ignored.
void MSComm2_OnComm(FrontPanel& panel, int commEvent);

// Appends `chunk` to the receive buffer. A buffer that is then longer than
// kReceiveBufferLimit is emptied at once, complete messages in it included.
// Otherwise every message ended by a carriage return is cut out and
// processed in order, the receive lamp lit and Timer4 restarted after each;
// the bytes after the last carriage return wait for the next chunk.
void ReceiveText(FrontPanel& panel, std::string_view chunk);

// Handles one received message (answer text and checksum field, without the
// carriage return). A message that fails the checksum is only counted.
// Otherwise the message is decoded, shown or listed by its answer type, the
// watchdog flag of a plant answer is set, the lists are kept to ten entries
// and the message is counted as correct.
void ProcessMessage(FrontPanel& panel, std::string_view message);

}  // namespace halvorn
