#include "Colours.h"

namespace halvorn::shell {

QColor ToQColor(Colour colour, const QPalette& palette, const QPalette& menuPalette) {
  if (!IsSystemColour(colour)) return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
  switch (SystemColourIndex(colour)) {
    case 17:
      return palette.color(QPalette::Disabled, QPalette::WindowText);
    case 4:
      return menuPalette.color(QPalette::Window);
    case 5:
      return palette.color(QPalette::Base);
    default:
      return palette.color(QPalette::Window);
  }
}

}  // namespace halvorn::shell
