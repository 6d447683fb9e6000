#include "link/Startup.h"

#include "link/Connection.h"
#include "plant/Flows.h"
#include "plant/Gauges.h"
#include "plant/Pumps.h"
#include "plant/Valves.h"

namespace halvorn {

void Form_Load(FrontPanel& panel) {
  Form1& form = panel.form;
  form.lstWarnings.Clear();
  form.lstMessages.Clear();

  ResetPumpDisplay(form);
  ResetValveDisplay(form);
  ResetFlowDisplay(form);
  ResetGaugeDisplay(form);

  panel.MSComm2.SetSettings("9600,N,8,1");
  // The baud rate is chosen before the parity, so for a moment the port is
  // given "115200,,8,1"; the parity's choice completes it at once.
  SetListIndex(panel, form.Combo1, 3);  // 115200
  SetListIndex(panel, form.Combo2, 0);  // n
  SetListIndex(panel, form.Combo3, 0);  // Com1: "Port 1 not open", port number 1
}

}  // namespace halvorn
