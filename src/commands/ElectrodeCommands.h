// The six buttons of the "Electrode and UV lamp" frame. Each sends one fixed
// command, with no input and no check. The electrode drive and the cooling
// each have one operation whose argument gives the direction or state
// (1 in or on, 0 out or off); the UV lamp shutter has one operation to open
// and one to close, both addressing shutter 01. The shutter has no readout.
#pragma once

#include "link/FrontPanel.h"

namespace halvorn {

void cmdMoveElectrodeIn_Click(FrontPanel& panel);            // 080_1
void cmdMoveElectrodeOut_Click(FrontPanel& panel);           // 080_0
void cmdOpenUVLampShutter_Click(FrontPanel& panel);          // 030_01
void cmdCloseUVLampShutter_Click(FrontPanel& panel);         // 031_01
void cmdSwitchOnElectrodeCooling_Click(FrontPanel& panel);   // 120_1
void cmdSwitchOffElectrodeCooling_Click(FrontPanel& panel);  // 120_0

}  // namespace halvorn
