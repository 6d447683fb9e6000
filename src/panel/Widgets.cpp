#include "panel/Widgets.h"

#include <algorithm>

namespace halvorn {

void ListBox::AddItem(std::string text, int index) {
  const auto at = std::clamp(index, 0, ListCount());
  items.insert(items.begin() + at, std::move(text));
}

void ListBox::RemoveItem(int index) {
  if (index < 0 || index >= ListCount()) return;
  items.erase(items.begin() + index);
}

std::string ComboBox::Text() const {
  if (listIndex < 0 || listIndex >= static_cast<int>(items.size())) return {};
  return items[static_cast<std::size_t>(listIndex)];
}

}  // namespace halvorn
