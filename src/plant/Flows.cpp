#include "plant/Flows.h"

#include <string>

#include "panel/Devices.h"
#include "plant/StatusCodes.h"

namespace halvorn {

void DecodeFlowMessage(Form1& form, std::string_view message) {
  if (message.size() != kFlowAnswerLength) return;
  for (const FlowDevice& flow : kFlows)
    ShowFlowReading(form, flow.number, message.substr(flow.position, kFlowFieldLength));
}

void ShowFlowReading(Form1& form, std::int16_t number, std::string_view field) {
  if (field.size() != kFlowFieldLength) return;
  const FlowDevice* flow = DeviceByNumber(kFlows, number);
  if (!flow) return;
  const std::int16_t status = ByteCode(field[0]);
  if (status == kStatusOk) {
    (form.*flow->shape).fillColor = indicator_colour::FlowValid;
    // The controller formats the reading itself; it is shown as it came.
    std::string& caption = (form.*flow->value).caption;
    caption.assign(field.substr(1));
    caption += '%';
  } else {
    (form.*flow->shape).fillColor = indicator_colour::Fault;
    (form.*flow->value).caption = StatusCodeText(status);
  }
}

void ResetFlowDisplay(Form1& form) {
  for (const FlowDevice& flow : kFlows) (form.*flow.shape).fillColor = indicator_colour::NoData;
}

}  // namespace halvorn
