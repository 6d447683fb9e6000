// Switching the controlled valves and pumps. Each procedure hands SendMessage
// exactly one command; nothing waits for an answer or checks the displayed
// state, and the next poll answer of the group is the operator's only
// confirmation. The device number is not checked: the menu items are the
// only callers and pass only the numbers of their devices.
#pragma once

#include <cstdint>

#include "link/FrontPanel.h"

namespace halvorn {

// Valves: V1 to V14 are 1 to 14, CV1 is 15, CV2 is 16. The number goes out
// with at least two digits: OpenValve(5) sends "020_05".
void OpenValve(FrontPanel& panel, std::int16_t valve);
void CloseValve(FrontPanel& panel, std::int16_t valve);  // "021_nn"

// Pumps: rotary pump 1 is 1, rotary pump 2 is 2, the TMP is 3. The number
// goes out as it is: SwitchPumpOn(3) sends "040_3".
void SwitchPumpOn(FrontPanel& panel, std::int16_t pump);
void SwitchPumpOff(FrontPanel& panel, std::int16_t pump);  // "041_n"

}  // namespace halvorn
