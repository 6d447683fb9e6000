// Start-up: the window's Load event, run once before the window is shown.
#pragma once

#include "link/FrontPanel.h"

namespace halvorn {

// Brings the panel into its start state: both message lists empty, every
// device group grey (no data yet), and port 1 at 115200,n,8,1, chosen through
// the three drop-down lists as the operator would. The port stays closed
// until "Connect".
void Form_Load(FrontPanel& panel);

}  // namespace halvorn
