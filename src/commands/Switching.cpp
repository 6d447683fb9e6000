#include "commands/Switching.h"

#include "link/CommandText.h"
#include "link/Protocol.h"
#include "link/Sender.h"

namespace halvorn {

void OpenValve(FrontPanel& panel, std::int16_t valve) {
  SendCommand(panel, operation::OpenValve, ZeroPadded(valve, 2));
}

void CloseValve(FrontPanel& panel, std::int16_t valve) {
  SendCommand(panel, operation::CloseValve, ZeroPadded(valve, 2));
}

void SwitchPumpOn(FrontPanel& panel, std::int16_t pump) {
  SendCommand(panel, operation::PumpOn, ZeroPadded(pump, 1));
}

void SwitchPumpOff(FrontPanel& panel, std::int16_t pump) {
  SendCommand(panel, operation::PumpOff, ZeroPadded(pump, 1));
}

}  // namespace halvorn
