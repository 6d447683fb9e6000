// The seam through which the core asks the toolkit to pop up a device menu.
//
// The core decides which menu a right-click opens; the shell shows it at the
// mouse pointer and, when the operator chooses an item, raises that item's
// Click before PopupMenu returns. Dismissing the menu does nothing.
#pragma once

#include "panel/Widgets.h"

namespace halvorn {

// The flags the panel always passes: no position, no default item, items
// chosen with the left button.
constexpr int kPopupMenuDefault = 0;

class MenuPopup {
 public:
  virtual ~MenuPopup() = default;

  // Shows the two items of `menu` (not its caption) at the mouse pointer and
  // returns when the menu closes.
  virtual void PopupMenu(const Menu& menu, int flags) = 0;
};

}  // namespace halvorn
