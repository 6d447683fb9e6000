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

}  // namespace

const Menu* DeviceMenuAt(const Form1& form, float X, float Y) {
  for (const SwitchedDevice& device : kSwitchedDevices) {
    if (Holds(form.*device.shape, X, Y)) return &(form.*device.menu);
  }
  return nullptr;
}

const Menu* DeviceMenuOfLabel(const Form1& form, const Label& label) {
  for (const SwitchedDevice& device : kSwitchedDevices) {
    if (&(form.*device.nameLabel) == &label || &(form.*device.state) == &label)
      return &(form.*device.menu);
  }
  return nullptr;
}

void Form_MouseDown(const Form1& form, MenuPopup& popup, std::int16_t Button,
                    std::int16_t /*Shift*/, float X, float Y) {
  if (Button != mouse_button::Right) return;
  if (const Menu* menu = DeviceMenuAt(form, X, Y)) popup.PopupMenu(*menu, kPopupMenuDefault);
}

void DeviceLabel_MouseDown(const Form1& form, MenuPopup& popup, const Label& label,
                           std::int16_t Button, std::int16_t /*Shift*/, float /*X*/, float /*Y*/) {
  if (Button != mouse_button::Right) return;
  if (const Menu* menu = DeviceMenuOfLabel(form, label)) popup.PopupMenu(*menu, kPopupMenuDefault);
}

}  // namespace halvorn
