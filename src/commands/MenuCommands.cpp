#include "commands/MenuCommands.h"

namespace halvorn {

void MenuItem_Click(FrontPanel& panel, const MenuItem& item) {
  for (const MenuCommandRow& row : kMenuCommands) {
    if (&(panel.form.*row.item) == &item) {
      row.procedure(panel, row.number);
      return;
    }
  }
}

}  // namespace halvorn
