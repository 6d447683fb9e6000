#include "panel/Menus.h"

#include "panel/Devices.h"

namespace halvorn {

std::string DumpMenuTree(const Form1& form) {
  std::string out;
  for (const SwitchedDevice& row : kSwitchedDevices) {
    const Menu& menu = form.*row.menu;
    const MenuItem& first = form.*row.on;
    const MenuItem& second = form.*row.off;
    out += menu.name + " \"" + menu.caption + "\": " + first.name + " \"" + first.caption + "\", " +
           second.name + " \"" + second.caption + "\"\n";
  }
  return out;
}

}  // namespace halvorn
