#include "panel/Menus.h"

namespace halvorn {

std::array<const MenuItem*, 2> ItemsOf(const Form1& form, const Menu& menu) {
  for (const DeviceMenuRow& row : kDeviceMenus) {
    if (&(form.*row.menu) == &menu) return {&(form.*row.first), &(form.*row.second)};
  }
  return {nullptr, nullptr};
}

std::string DumpMenuTree(const Form1& form) {
  std::string out;
  for (const DeviceMenuRow& row : kDeviceMenus) {
    const Menu& menu = form.*row.menu;
    const MenuItem& first = form.*row.first;
    const MenuItem& second = form.*row.second;
    out += menu.name + " \"" + menu.caption + "\": " + first.name + " \"" + first.caption + "\", " +
           second.name + " \"" + second.caption + "\"\n";
  }
  return out;
}

}  // namespace halvorn
