#include "link/Sender.h"

#include "link/CommandText.h"
#include "link/Frame.h"

namespace halvorn {

void SendMessage(Form1& form, SerialPort& port, std::string_view text) {
  if (!port.PortOpen()) {
    form.lblStatus.caption = "Not connected!";
    return;
  }
  form.shpSend.fillColor = colours::Yellow;
  form.Timer3.Start();
  port.Output(BuildFrame(text));
}

void SendCommand(FrontPanel& panel, int operationCode, std::string_view argument) {
  SendMessage(panel.form, panel.MSComm2, CommandText(operationCode, argument));
}

}  // namespace halvorn
