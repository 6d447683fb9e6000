#include "link/FrontPanel.h"

#include "link/Receiver.h"

namespace halvorn {

FrontPanel::FrontPanel(SerialPort& port) : MSComm2(port) {
  // Received bytes go straight to the receiver; the panel is neither copied
  // nor moved, so `this` stays valid as long as the port can call back.
  MSComm2.SetOnComm([this](int e) { MSComm2_OnComm(*this, e); });
}

}  // namespace halvorn
