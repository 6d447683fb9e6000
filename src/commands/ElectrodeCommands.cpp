#include "commands/ElectrodeCommands.h"

#include "link/Protocol.h"
#include "link/Sender.h"

namespace halvorn {

void cmdMoveElectrodeIn_Click(FrontPanel& panel) {
  SendCommand(panel, operation::ElectrodeDrive, "1");
}

void cmdMoveElectrodeOut_Click(FrontPanel& panel) {
  SendCommand(panel, operation::ElectrodeDrive, "0");
}

void cmdOpenUVLampShutter_Click(FrontPanel& panel) {
  SendCommand(panel, operation::OpenShutter, "01");
}

void cmdCloseUVLampShutter_Click(FrontPanel& panel) {
  SendCommand(panel, operation::CloseShutter, "01");
}

void cmdSwitchOnElectrodeCooling_Click(FrontPanel& panel) {
  SendCommand(panel, operation::ElectrodeCooling, "1");
}

void cmdSwitchOffElectrodeCooling_Click(FrontPanel& panel) {
  SendCommand(panel, operation::ElectrodeCooling, "0");
}

}  // namespace halvorn
