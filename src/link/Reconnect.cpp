#include "link/Reconnect.h"

#include <string>

#include "link/Connection.h"
#include "link/FrontPanel.h"

namespace halvorn {

void StartReconnect(FrontPanel& panel) {
  // The first try comes a whole interval after the loss: an adapter that
  // has just dropped out is not back at once.
  if (panel.reconnect.enabled) panel.reconnect.timer.Start();
}

void StopReconnect(FrontPanel& panel) {
  panel.reconnect.timer.Stop();
  panel.reconnect.refused.clear();
}

bool TakesDevice(std::string_view known, const std::optional<std::string>& now) {
  return known.empty() || !now || *now == known;
}

void LearnDevice(FrontPanel& panel) {
  panel.reconnect.identity = panel.MSComm2.DeviceIdentity().value_or(std::string());
  panel.reconnect.refused.clear();
}

void ReconnectTimer_Timer(FrontPanel& panel) {
  if (!panel.reconnect.timer.enabled) return;
  SerialPort& port = panel.MSComm2;
  if (port.PortOpen()) {  // the operator's "Connect" came first
    StopReconnect(panel);
    return;
  }
  if (!panel.reconnect.identity.empty()) {
    const std::optional<std::string> now = port.DeviceIdentity();
    if (!TakesDevice(panel.reconnect.identity, now)) {
      // An on-board port or a pseudo-terminal behind the adapter's name is
      // not the adapter either.
      panel.reconnect.refused = now->empty() ? "a device that tells no identity" : *now;
      return;
    }
    panel.reconnect.refused.clear();
    // Nothing on the port: still away. Not opened, so that a device coming
    // in between is never opened unchecked.
    if (!now) return;
  }
  const int failure = port.Open();
  // The device is still away: "Port n lost" stands until it is back.
  if (failure == open_error::NoSuchPort) {
    TellOpenTried(panel, failure);
    return;
  }
  TellOpenOutcome(panel, failure);
  if (port.PortOpen()) {
    LearnDevice(panel);
    StopReconnect(panel);
  }
}

std::string RefusedDeviceNote(const FrontPanel& panel) {
  if (panel.reconnect.refused.empty()) return {};
  return "another device is on port " + std::to_string(panel.MSComm2.CommPort()) +
         " and was not taken";
}

std::string RefusedDeviceLine(const FrontPanel& panel) {
  if (panel.reconnect.refused.empty()) return {};
  return "port " + std::to_string(panel.MSComm2.CommPort()) + " now has " +
         panel.reconnect.refused + ", not " + panel.reconnect.identity +
         ", which was connected; it was not opened";
}

}  // namespace halvorn
