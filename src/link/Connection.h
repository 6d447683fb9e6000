// The serial connection to the controller: connecting, disconnecting, the
// choice of port and line settings, and the link status that Timer2 shows.
//
// The link is open exactly when the port is open; there is no handshake and
// no other connection state. Every outcome is told in lblStatus, naming the
// port by its number.
#pragma once

#include "link/FrontPanel.h"

namespace halvorn {

// "Connect": opens the port unless it is open already, and tells the outcome.
// The three failures the operator can act on are named; any other failure
// leaves lblStatus as it was.
void cmdConnect_Click(FrontPanel& panel);

// Tells in lblStatus the outcome of an attempt to open the port, with
// `failure` the number the attempt returned, exactly as "Connect" does, and
// tells the feed.
void TellOpenOutcome(FrontPanel& panel, int failure);
// Tells the feed that the port opened or, with `failure`, did not, with what
// lblStatus shows now.
void TellOpenTried(FrontPanel& panel, int failure);

// "Disconnect": closes an open port ("Port n closed", written while the port
// is still open) or says "Port n not open".
void cmdDisconnect_Click(FrontPanel& panel);

// The device went away under an open port (adapter pulled, far end hung
// up): closes the port at once, so nothing keeps reading a dead line, and
// says "Port n lost". Timer2 then shows the link as disconnected and unlocks
// the lists; "Connect" opens the port again once the device is back, and so
// does the panel itself when it was started to reconnect (link/Reconnect.h).
void PortLost(FrontPanel& panel);

// Baud rate (Combo1) or parity (Combo2) chosen: applies
// "<baud>,<parity>,8,1" from the two lists' texts at once, also to an open
// port. An unselected list contributes an empty field.
void Combo1_Click(FrontPanel& panel);
void Combo2_Click(FrontPanel& panel);

// Port chosen (Combo3): disconnects from the port in use, then takes the
// chosen port's number (position + 1) without opening it.
void Combo3_Click(FrontPanel& panel);

// Every 500 ms: shows the link status in lblComStatus and locks the three
// lists while the port is open, so port and settings cannot change under an
// open link.
void Timer2_Timer(FrontPanel& panel);

// Selects entry `index` of one of the window's drop-down lists and raises its
// Click, exactly as the operator's choice does; the shell calls this for the
// operator's choice, start-up for its defaults. Choosing the entry already
// selected raises Click again. An index outside the list, or a list that is
// not one of panel.form's, changes nothing and raises nothing.
void SetListIndex(FrontPanel& panel, ComboBox& combo, int index);

}  // namespace halvorn
