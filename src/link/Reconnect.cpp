#include "link/Reconnect.h"

#include "link/Connection.h"
#include "link/FrontPanel.h"

namespace halvorn {

void StartReconnect(FrontPanel& panel) {
  // The first try comes a whole interval after the loss: an adapter that
  // has just dropped out is not back at once.
  if (panel.reconnect.enabled) panel.reconnect.timer.Start();
}

void StopReconnect(FrontPanel& panel) { panel.reconnect.timer.Stop(); }

void ReconnectTimer_Timer(FrontPanel& panel) {
  if (!panel.reconnect.timer.enabled) return;
  SerialPort& port = panel.MSComm2;
  if (port.PortOpen()) {  // the operator's "Connect" came first
    StopReconnect(panel);
    return;
  }
  const int failure = port.Open();
  // The device is still away: "Port n lost" stands until it is back.
  if (failure == open_error::NoSuchPort) return;
  TellOpenOutcome(panel, failure);
  if (port.PortOpen()) StopReconnect(panel);
}

}  // namespace halvorn
