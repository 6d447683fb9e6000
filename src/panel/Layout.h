// Builders for the recurring pieces of the window's layout: device shapes,
// the captions that sit on them, and plain labels. They keep the inventory
// in Form1.h to one line per widget and put each placement rule in one place.
#pragma once

#include <string>

#include "panel/Widgets.h"

namespace halvorn::layout {

// Valves (plain rectangles 735 x 615) and pumps (rounded, 975 x 735) start red.
[[nodiscard]] Shape ValveShape(std::string name, int left, int top);
[[nodiscard]] Shape PumpShape(std::string name, int left, int top);
// A white gauge circle, 975 x 975.
[[nodiscard]] Shape GaugeCircle(std::string name, int left, int top);
// A light-yellow flow controller rectangle, 975 x 1335.
[[nodiscard]] Shape FlowShape(std::string name, int left, int top);
[[nodiscard]] Shape Rectangle(std::string name, int element, Container c, Rect r, Colour fill);

// The two captions of a switchable device: a bold name 120 twips below the
// shape's top and a state 360 below, both as wide as the shape, centred and
// transparent, 195 high.
[[nodiscard]] Label NameOn(std::string name, const Shape& shape, std::string caption);
[[nodiscard]] Label StateOn(std::string name, const Shape& shape, std::string caption, bool bold = false);

// A centred, transparent caption placed at an offset from a shape's corner.
[[nodiscard]] Label CaptionOn(std::string name, int element, const Shape& shape, int dx, int dy, int width,
                int height, std::string caption, bool bold);

// Gauge captions at their fixed offsets: the name, the gauge type ("cpt" or
// "ppt"), the reading and the unit. `upperRow` is true for G1 to G3, whose
// reading and unit sit 5 twips higher than the others'.
[[nodiscard]] Label GaugeName(std::string name, int element, const Shape& gauge, std::string caption);
[[nodiscard]] Label GaugeType(int element, const Shape& gauge, std::string type);
[[nodiscard]] Label GaugeReading(std::string name, const Shape& gauge, bool upperRow);
[[nodiscard]] Label GaugeUnit(int element, const Shape& gauge, bool upperRow);

// Flow-controller widgets at their offsets from the rectangle.
[[nodiscard]] Label FlowTitle(std::string name, const Shape& mfc, std::string caption);
[[nodiscard]] Label FlowReading(std::string name, const Shape& mfc);
[[nodiscard]] Label FlowRange(int element, const Shape& mfc, std::string caption, bool wide);
[[nodiscard]] TextBox SetpointBox(std::string name, const Shape& mfc, Colour back);
[[nodiscard]] CommandButton SendButton(std::string name, const Shape& mfc);

// A label with every property given.
[[nodiscard]] Label Plain(std::string name, int element, Container c, Rect r, std::string caption, bool bold,
            Align align, bool transparent);
// Regular, centred, transparent: the fixed captions of the picture.
[[nodiscard]] Label PictureCaption(std::string name, Rect r, std::string caption, bool bold = false);
// Bold, left-aligned, opaque: the status texts and readout captions.
[[nodiscard]] Label BoldText(std::string name, int element, Container c, Rect r, std::string caption);
// The same, sized to whatever the panel writes into it: link status,
// message counts and the readouts.
[[nodiscard]] Label BoldReadout(std::string name, Container c, Rect r, std::string caption);

[[nodiscard]] CommandButton Button(std::string name, Container c, Rect r, std::string caption);
[[nodiscard]] Line Pipe(int element, int x1, int y1, int x2, int y2);

}  // namespace halvorn::layout
