#include "link/FrontPanel.h"

#include "link/Receiver.h"

namespace halvorn {

FrontPanel::FrontPanel(SerialPort& port) : MSComm2(port) {
  // Received bytes go straight to the receiver; the panel is neither copied
  // nor moved, so `this` stays valid as long as the port can call back.
  MSComm2.SetOnComm([this](int commEvent) {
    MSComm2_OnComm(*this, commEvent);
    if (portEventHandled) portEventHandled(commEvent);
  });
}

// The port may outlive the panel (the shell holds both); it must not call
// back into a panel that is gone.
FrontPanel::~FrontPanel() { MSComm2.SetOnComm({}); }

}  // namespace halvorn
