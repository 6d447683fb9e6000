#include "link/Sender.h"

#include "link/CommandText.h"
#include "link/Frame.h"

namespace halvorn {

void SendMessage(FrontPanel& panel, std::string_view text, Outgoing kind) {
  Form1& form = panel.form;
  SerialPort& port = panel.MSComm2;
  if (!port.PortOpen()) {
    form.lblStatus.caption = "Not connected!";
    return;
  }
  // The lamp tells a frame that went out: one the port did not take (the
  // line full, the device failing) leaves it as it was.
  const std::string frame = BuildFrame(text);
  if (!port.Output(frame)) return;
  ++panel.FramesWritten;
  panel.feed.Written(frame, kind == Outgoing::Poll);
  form.shpSend.fillColor = colours::Yellow;
  form.Timer3.Start();
}

void SendCommand(FrontPanel& panel, int operationCode, std::string_view argument) {
  SendMessage(panel, CommandText(operationCode, argument), Outgoing::Command);
}

}  // namespace halvorn
