#include "commands/ClearLists.h"

namespace halvorn {

void cmdClearError_Click(FrontPanel& panel) {
  panel.form.lstWarnings.Clear();
  panel.form.lstMessages.Clear();
}

}  // namespace halvorn
