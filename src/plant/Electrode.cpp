#include "plant/Electrode.h"

#include "plant/StatusCodes.h"

namespace halvorn {

namespace {
// The electrode answers carry their state at position 5. They have codes of
// their own only; anything else, the controller's status codes included, is
// simply an error.
constexpr std::size_t kStatePosition = 4;
}  // namespace

void DecodeElectrodePositionMessage(Form1& form, std::string_view message) {
  if (message.size() != kElectrodeAnswerLength) return;
  const char* caption = "error";
  switch (ByteCode(message[kStatePosition])) {
    case kElectrodeIn:
      caption = "in";
      break;
    case kElectrodeOut:
      caption = "out";
      break;
    case kElectrodeMiddle:
      caption = "middle";
      break;
    default:
      break;
  }
  form.lblElectrodePosition.caption = caption;
}

void DecodeElectrodeCoolingMessage(Form1& form, std::string_view message) {
  if (message.size() != kElectrodeAnswerLength) return;
  const char* caption = "error";
  switch (ByteCode(message[kStatePosition])) {
    case kCoolingRunning:
      caption = "running";
      break;
    case kCoolingStopped:
      caption = "stopped";
      break;
    default:
      break;
  }
  form.lblElectrodeCooling.caption = caption;
}

}  // namespace halvorn
