// The model's colour values as Qt colours. RGB values are stored 0x00BBGGRR;
// the system colours the panel names are taken from the running style's
// palette: 17 (the no-data grey) as the disabled text colour, 4 (the resting
// lamp) as the menu background, 5 (a text box's own background) as the base.
#pragma once

#include <QColor>
#include <QPalette>

#include "panel/Colour.h"

namespace halvorn::shell {

QColor ToQColor(Colour colour, const QPalette& palette, const QPalette& menuPalette);

}  // namespace halvorn::shell
