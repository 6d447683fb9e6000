#include "link/Sender.h"

#include "link/CommandText.h"
#include "link/Frame.h"

namespace halvorn {

void SendMessage(Form1& form, SerialPort& port, std::string_view text) {
  if (!port.PortOpen()) {
    form.lblStatus.caption = "Not connected!";
    return;
  }
  // The lamp tells a frame that went out: one the port did not take (the
  // line full, the device failing) leaves it as it was.
  if (!port.Output(BuildFrame(text))) return;
  form.shpSend.fillColor = colours::Yellow;
  form.Timer3.Start();
}

void SendCommand(FrontPanel& panel, int operationCode, std::string_view argument) {
  SendMessage(panel.form, panel.MSComm2, CommandText(operationCode, argument));
}

}  // namespace halvorn
