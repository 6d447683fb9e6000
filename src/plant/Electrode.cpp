#include "plant/Electrode.h"

#include "panel/Devices.h"
#include "plant/StatusCodes.h"

namespace halvorn {

namespace {
// The electrode answers carry their state at position 5. They have codes of
// their own only; anything else, the controller's status codes included, is
// simply an error.
constexpr std::size_t kStatePosition = 4;
constexpr std::size_t kPositionSlot = FirstSlot(DeviceKind::Electrode);
constexpr std::size_t kCoolingSlot = kPositionSlot + 1;

// "error" for a byte of no state: a fault, though no shape turns red.
void Show(Form1& form, Label& label, std::size_t slot, const char* state) {
  label.caption = state ? state : "error";
  form.readings[slot] = {state ? Quality::State : Quality::Fault, std::nullopt};
}
}  // namespace

void DecodeElectrodePositionMessage(Form1& form, std::string_view message) {
  if (message.size() != kElectrodeAnswerLength) return;
  const char* caption = nullptr;
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
  Show(form, form.lblElectrodePosition, kPositionSlot, caption);
}

void DecodeElectrodeCoolingMessage(Form1& form, std::string_view message) {
  if (message.size() != kElectrodeAnswerLength) return;
  const char* caption = nullptr;
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
  Show(form, form.lblElectrodeCooling, kCoolingSlot, caption);
}

}  // namespace halvorn
