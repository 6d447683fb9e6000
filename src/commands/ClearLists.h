// The "Clear" button of the status frame: empties the warnings and the other
// messages. It acts on the panel alone: nothing goes to the controller, no
// warning is acknowledged, and the message counters keep their values.
#pragma once

#include "link/FrontPanel.h"

namespace halvorn {

void cmdClearError_Click(FrontPanel& panel);

}  // namespace halvorn
