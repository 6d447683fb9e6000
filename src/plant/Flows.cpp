#include "plant/Flows.h"

#include <array>
#include <string>

#include "plant/StatusCodes.h"

namespace halvorn {

namespace {

struct FlowIndicators {
  Shape Form1::*shape;
  Label Form1::*value;  // a fault text takes the reading's place
};

// By device number - 1; the answer carries the field of controller n at
// position 6 + 5 * (n - 1).
constexpr std::array<FlowIndicators, 4> kFlows = {{
    {&Form1::shpMFC1, &Form1::lblMFC1Value},
    {&Form1::shpMFC2, &Form1::lblMFC2Value},
    {&Form1::shpMFC3, &Form1::lblMFC3Value},
    {&Form1::shpMFC4, &Form1::lblMFC4Value},
}};

}  // namespace

void DecodeFlowMessage(Form1& form, std::string_view message) {
  if (message.size() != kFlowAnswerLength) return;
  for (std::int16_t number = 1; number <= 4; ++number) {
    const std::size_t start = 5 + kFlowFieldLength * static_cast<std::size_t>(number - 1);
    ShowFlowReading(form, number, message.substr(start, kFlowFieldLength));
  }
}

void ShowFlowReading(Form1& form, std::int16_t number, std::string_view field) {
  if (field.size() != kFlowFieldLength) return;
  if (number < 1 || number > static_cast<std::int16_t>(kFlows.size())) return;
  const FlowIndicators& flow = kFlows[static_cast<std::size_t>(number - 1)];
  const std::int16_t status = ByteCode(field[0]);
  if (status == kStatusOk) {
    (form.*flow.shape).fillColor = indicator_colour::FlowValid;
    // The controller formats the reading itself; it is shown as it came.
    std::string& caption = (form.*flow.value).caption;
    caption.assign(field.substr(1));
    caption += '%';
  } else {
    (form.*flow.shape).fillColor = indicator_colour::Fault;
    (form.*flow.value).caption = StatusCodeText(status);
  }
}

void ResetFlowDisplay(Form1& form) {
  for (const FlowIndicators& flow : kFlows) (form.*flow.shape).fillColor = indicator_colour::NoData;
}

}  // namespace halvorn
