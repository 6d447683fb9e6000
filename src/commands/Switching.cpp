#include "commands/Switching.h"

#include "commands/CommandText.h"
#include "link/Sender.h"

namespace halvorn {

namespace {

constexpr int kOpenValve = 20;
constexpr int kCloseValve = 21;
constexpr int kPumpOn = 40;
constexpr int kPumpOff = 41;

void Send(FrontPanel& panel, int operation, int number, int digits) {
  SendMessage(panel.form, panel.MSComm2, CommandText(operation, ZeroPadded(number, digits)));
}

}  // namespace

void OpenValve(FrontPanel& panel, std::int16_t valve) { Send(panel, kOpenValve, valve, 2); }

void CloseValve(FrontPanel& panel, std::int16_t valve) { Send(panel, kCloseValve, valve, 2); }

void SwitchPumpOn(FrontPanel& panel, std::int16_t pump) { Send(panel, kPumpOn, pump, 1); }

void SwitchPumpOff(FrontPanel& panel, std::int16_t pump) { Send(panel, kPumpOff, pump, 1); }

}  // namespace halvorn
