#include "commands/ElectrodeCommands.h"

#include <string_view>

#include "commands/CommandText.h"
#include "link/Sender.h"

namespace halvorn {

namespace {

constexpr int kElectrodeDrive = 80;
constexpr int kOpenShutter = 30;
constexpr int kCloseShutter = 31;
constexpr int kElectrodeCooling = 120;

void Send(FrontPanel& panel, int operation, std::string_view argument) {
  SendMessage(panel.form, panel.MSComm2, CommandText(operation, argument));
}

}  // namespace

void cmdMoveElectrodeIn_Click(FrontPanel& panel) { Send(panel, kElectrodeDrive, "1"); }

void cmdMoveElectrodeOut_Click(FrontPanel& panel) { Send(panel, kElectrodeDrive, "0"); }

void cmdOpenUVLampShutter_Click(FrontPanel& panel) { Send(panel, kOpenShutter, "01"); }

void cmdCloseUVLampShutter_Click(FrontPanel& panel) { Send(panel, kCloseShutter, "01"); }

void cmdSwitchOnElectrodeCooling_Click(FrontPanel& panel) { Send(panel, kElectrodeCooling, "1"); }

void cmdSwitchOffElectrodeCooling_Click(FrontPanel& panel) { Send(panel, kElectrodeCooling, "0"); }

}  // namespace halvorn
