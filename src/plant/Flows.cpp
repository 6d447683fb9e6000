#include "plant/Flows.h"

#include <algorithm>
#include <optional>
#include <string>

#include "panel/Devices.h"
#include "plant/StatusCodes.h"

namespace halvorn {

namespace {

// The controller's four characters as percent of full scale, when they are
// a plain decimal: spaces before, an optional sign, digits with at most one
// point. " inf", "nan" or "1e99" are shown as they came but read as none.
std::optional<double> Percent(std::string_view text) {
  text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
  const bool negative = text.starts_with('-');
  if (negative || text.starts_with('+')) text.remove_prefix(1);
  // At most four digits and a point: the whole digits divided by a power
  // of ten, which rounds once, as the decimal does.
  std::int64_t whole = 0;
  std::size_t digits = 0;
  std::size_t points = 0;
  double scale = 1.0;
  for (const char c : text) {
    if (c == '.') {
      ++points;
    } else if (c >= '0' && c <= '9') {
      ++digits;
      whole = whole * 10 + (c - '0');
      if (points > 0) scale *= 10.0;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0 || points > 1) return std::nullopt;
  const double percent = static_cast<double>(whole) / scale;
  return negative ? -percent : percent;
}

}  // namespace

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
    const std::optional<double> percent = Percent(field.substr(1));
    ReadingOf<DeviceKind::Flow>(form, number) = {percent ? Quality::Valid : Quality::State,
                                                 percent};
  } else {
    (form.*flow->shape).fillColor = indicator_colour::Fault;
    (form.*flow->value).caption = StatusCodeText(status);
    ReadingOf<DeviceKind::Flow>(form, number) = {Quality::Fault, std::nullopt};
  }
}

void ResetFlowDisplay(Form1& form) {
  for (const FlowDevice& flow : kFlows) {
    (form.*flow.shape).fillColor = indicator_colour::NoData;
    ReadingOf<DeviceKind::Flow>(form, flow.number) = {Quality::NoData, std::nullopt};
  }
}

}  // namespace halvorn
