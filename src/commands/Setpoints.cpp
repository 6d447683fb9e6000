#include "commands/Setpoints.h"

#include "link/CommandText.h"
#include "link/Protocol.h"
#include "link/Sender.h"
#include "panel/Devices.h"

namespace halvorn {

namespace {

constexpr int kMaxSetpoint = 100;

}  // namespace

std::optional<std::int16_t> CheckSetpoint(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  // Stop as soon as the value passes 100, so no run of digits can overflow.
  int value = 0;
  for (const char c : text) {
    value = value * 10 + (c - '0');
    if (value > kMaxSetpoint) return std::nullopt;
  }
  return static_cast<std::int16_t>(value);
}

void SendFlowSetpoint(FrontPanel& panel, std::int16_t mfc, std::int16_t setpoint) {
  if (!DeviceByNumber(kFlows, mfc) || setpoint < 0 || setpoint > kMaxSetpoint) return;
  SendCommand(panel, operation::FlowSetpoint, ZeroPadded(mfc, 1) + ZeroPadded(setpoint, 3));
}

void cmdMFC_send_Click(FrontPanel& panel, const CommandButton& button) {
  for (const FlowDevice& row : kFlows) {
    if (&(panel.form.*row.send) != &button) continue;
    TextBox& box = panel.form.*row.setpoint;
    // The text stays as typed, for the operator to correct.
    const std::optional<std::int16_t> setpoint = CheckSetpoint(box.text);
    if (!setpoint) {
      box.backColor = colours::Red;
      return;
    }
    SendFlowSetpoint(panel, row.number, *setpoint);
    return;
  }
}

void txtMFC_GotFocus(FrontPanel& panel, const TextBox& box) {
  for (const FlowDevice& row : kFlows) {
    TextBox& own = panel.form.*row.setpoint;
    if (&own == &box) {
      own.backColor = colours::White;
      return;
    }
  }
}

}  // namespace halvorn
