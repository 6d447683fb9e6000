#include "panel/HitTest.h"

#include "panel/Devices.h"

namespace halvorn {

namespace {

// Single precision throughout, as the window reports the pointer.
bool Holds(const Shape& shape, float X, float Y) {
  const float left = static_cast<float>(shape.rect.left);
  const float top = static_cast<float>(shape.rect.top);
  const float right = left + static_cast<float>(shape.rect.width);
  const float bottom = top + static_cast<float>(shape.rect.height);
  return right > X && X > left && bottom > Y && Y > top;
}

DevicePopup PopupOf(const Form1& form, const SwitchedDevice& device) {
  return {&(form.*device.menu), {&(form.*device.on), &(form.*device.off)}};
}

const SwitchedDevice* DeviceAt(const Form1& form, float X, float Y) {
  for (const SwitchedDevice& device : kSwitchedDevices) {
    if (Holds(form.*device.shape, X, Y)) return &device;
  }
  return nullptr;
}

const SwitchedDevice* DeviceOfLabel(const Form1& form, const Label& label) {
  for (const SwitchedDevice& device : kSwitchedDevices) {
    if (&(form.*device.nameLabel) == &label || &(form.*device.state) == &label) return &device;
  }
  return nullptr;
}

}  // namespace

std::optional<DevicePopup> Form_MouseDown(const Form1& form, std::int16_t Button,
                                          std::int16_t /*Shift*/, float X, float Y) {
  if (Button != mouse_button::Right) return std::nullopt;
  if (const SwitchedDevice* device = DeviceAt(form, X, Y)) return PopupOf(form, *device);
  return std::nullopt;
}

std::optional<DevicePopup> DeviceLabel_MouseDown(const Form1& form, const Label& label,
                                                 std::int16_t Button, std::int16_t /*Shift*/,
                                                 float /*X*/, float /*Y*/) {
  if (Button != mouse_button::Right) return std::nullopt;
  if (const SwitchedDevice* device = DeviceOfLabel(form, label)) return PopupOf(form, *device);
  return std::nullopt;
}

}  // namespace halvorn
