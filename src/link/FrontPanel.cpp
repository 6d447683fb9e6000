#include "link/FrontPanel.h"

namespace halvorn {

FrontPanel::FrontPanel(SerialPort& port) : MSComm2(port) {}

}  // namespace halvorn
