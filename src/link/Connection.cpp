#include "link/Connection.h"

#include <string>

namespace halvorn {

namespace {

std::string PortText(const SerialPort& port) { return "Port " + std::to_string(port.CommPort()); }

void ApplyLineSettings(FrontPanel& panel) {
  panel.MSComm2.SetSettings(panel.form.Combo1.Text() + "," + panel.form.Combo2.Text() + ",8,1");
}

void LockLists(Form1& form, bool locked) {
  form.Combo1.enabled = !locked;
  form.Combo2.enabled = !locked;
  form.Combo3.enabled = !locked;
}

}  // namespace

void cmdConnect_Click(FrontPanel& panel) {
  SerialPort& port = panel.MSComm2;
  if (port.PortOpen()) return;
  TellOpenOutcome(panel, port.Open());
  if (!port.PortOpen()) return;
  // The operator chose this device, whichever it is: it is the one a
  // reconnect looks for from now on.
  LearnDevice(panel);
  StopReconnect(panel);
}

void TellOpenOutcome(FrontPanel& panel, int failure) {
  const SerialPort& port = panel.MSComm2;
  // A failure is taken as a number and then forgotten; only the three the
  // operator can act on (wrong port, port in use, device refused) are told.
  switch (failure) {
    case open_error::NoSuchPort:
      panel.form.lblStatus.caption = PortText(port) + " does not exist";
      break;
    case open_error::PortInUse:
      panel.form.lblStatus.caption = PortText(port) + " is already open";
      break;
    case open_error::CannotOpen:
      panel.form.lblStatus.caption = PortText(port) + " open failed";
      break;
    default:
      break;
  }
  if (port.PortOpen()) panel.form.lblStatus.caption = PortText(port) + " open successfully";
  TellOpenTried(panel, failure);
}

void TellOpenTried(FrontPanel& panel, int failure) {
  const SerialPort& port = panel.MSComm2;
  if (failure == open_error::None) {
    panel.feed.Link(LinkEvent::Opened, port.CommPort(), panel.form.lblStatus.caption);
  } else {
    panel.feed.Link(LinkEvent::OpenFailed, failure, panel.form.lblStatus.caption);
  }
}

void cmdDisconnect_Click(FrontPanel& panel) {
  // The operator's "Disconnect" (or port change) also ends any trying.
  StopReconnect(panel);
  SerialPort& port = panel.MSComm2;
  if (port.PortOpen()) {
    panel.form.lblStatus.caption = PortText(port) + " closed";
    port.Close();
    panel.feed.Link(LinkEvent::Closed, port.CommPort(), panel.form.lblStatus.caption);
  } else {
    panel.form.lblStatus.caption = PortText(port) + " not open";
  }
}

void PortLost(FrontPanel& panel) {
  SerialPort& port = panel.MSComm2;
  if (!port.PortOpen()) return;
  panel.form.lblStatus.caption = PortText(port) + " lost";
  port.Close();
  panel.feed.Link(LinkEvent::Lost, port.CommPort(), panel.form.lblStatus.caption);
  StartReconnect(panel);
}

void Combo1_Click(FrontPanel& panel) { ApplyLineSettings(panel); }

void Combo2_Click(FrontPanel& panel) { ApplyLineSettings(panel); }

void Combo3_Click(FrontPanel& panel) {
  // The text names the port that was in use before the change.
  cmdDisconnect_Click(panel);
  const int index = panel.form.Combo3.listIndex;
  if (index >= 0) panel.MSComm2.SetCommPort(index + 1);
}

void Timer2_Timer(FrontPanel& panel) {
  SerialPort& port = panel.MSComm2;
  if (port.PortOpen()) {
    panel.form.lblComStatus.caption =
        "Connected: Com" + std::to_string(port.CommPort()) + "," + port.Settings();
    LockLists(panel.form, true);
  }
  if (!port.PortOpen()) {
    panel.form.lblComStatus.caption = "Disconnected";
    LockLists(panel.form, false);
  }
}

void SetListIndex(FrontPanel& panel, ComboBox& combo, int index) {
  if (index < 0 || index >= static_cast<int>(combo.items.size())) return;
  void (*click)(FrontPanel&) = nullptr;
  if (&combo == &panel.form.Combo1) {
    click = Combo1_Click;
  } else if (&combo == &panel.form.Combo2) {
    click = Combo2_Click;
  } else if (&combo == &panel.form.Combo3) {
    click = Combo3_Click;
  } else {
    return;
  }
  combo.listIndex = index;
  click(panel);
}

}  // namespace halvorn
