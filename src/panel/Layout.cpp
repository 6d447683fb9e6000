#include "panel/Layout.h"

#include <utility>

namespace halvorn::layout {

namespace {
constexpr int kCaptionHeight = 195;
}

Shape ValveShape(std::string name, int left, int top) {
  return {std::move(name), kNoElement, Container::Form1, {left, top, 735, 615},
          ShapeKind::Rectangle, colours::Red};
}

Shape PumpShape(std::string name, int left, int top) {
  return {std::move(name), kNoElement, Container::Form1, {left, top, 975, 735},
          ShapeKind::RoundedRectangle, colours::Red};
}

Shape GaugeCircle(std::string name, int left, int top) {
  return {std::move(name), kNoElement, Container::Form1, {left, top, 975, 975},
          ShapeKind::Circle, colours::White};
}

Shape FlowShape(std::string name, int left, int top) {
  return {std::move(name), kNoElement, Container::Form1, {left, top, 975, 1335},
          ShapeKind::Rectangle, colours::LightYellow};
}

Shape Rectangle(std::string name, int element, Container c, Rect r, Colour fill) {
  return {std::move(name), element, c, r, ShapeKind::Rectangle, fill};
}

Label NameOn(std::string name, const Shape& shape, std::string caption) {
  return CaptionOn(std::move(name), kNoElement, shape, 0, 120, shape.rect.width, kCaptionHeight,
                   std::move(caption), true);
}

Label StateOn(std::string name, const Shape& shape, std::string caption, bool bold) {
  return CaptionOn(std::move(name), kNoElement, shape, 0, 360, shape.rect.width, kCaptionHeight,
                   std::move(caption), bold);
}

Label CaptionOn(std::string name, int element, const Shape& shape, int dx, int dy, int width,
                int height, std::string caption, bool bold) {
  return Plain(std::move(name), element, shape.container,
               {shape.rect.left + dx, shape.rect.top + dy, width, height}, std::move(caption),
               bold, Align::Centre, true);
}

Label GaugeName(std::string name, int element, const Shape& gauge, std::string caption) {
  return CaptionOn(std::move(name), element, gauge, 345, 60, 285, kCaptionHeight,
                   std::move(caption), true);
}

Label GaugeType(int element, const Shape& gauge, std::string type) {
  const bool cpt = type == "cpt";
  return CaptionOn("Label18", element, gauge, cpt ? 225 : 180, 240, cpt ? 525 : 615,
                   kCaptionHeight, std::move(type), false);
}

Label GaugeReading(std::string name, const Shape& gauge, bool upperRow) {
  return CaptionOn(std::move(name), kNoElement, gauge, 15, upperRow ? 500 : 495, 945,
                   kCaptionHeight, "X.XXXE-X", false);
}

Label GaugeUnit(int element, const Shape& gauge, bool upperRow) {
  return CaptionOn("Label18", element, gauge, 270, upperRow ? 700 : 705, 435, kCaptionHeight,
                   "mBar", false);
}

Label FlowTitle(std::string name, const Shape& mfc, std::string caption) {
  return CaptionOn(std::move(name), kNoElement, mfc, 225, 120, 525, kCaptionHeight,
                   std::move(caption), true);
}

Label FlowReading(std::string name, const Shape& mfc) {
  return CaptionOn(std::move(name), kNoElement, mfc, 195, 840, 585, kCaptionHeight, "XXXX", false);
}

Label FlowRange(int element, const Shape& mfc, std::string caption, bool wide) {
  return CaptionOn("Label18", element, mfc, wide ? 45 : 75, 1080, wide ? 885 : 825,
                   wide ? 255 : kCaptionHeight, std::move(caption), false);
}

TextBox SetpointBox(std::string name, const Shape& mfc, Colour back) {
  return {std::move(name), mfc.container, {mfc.rect.left + 120, mfc.rect.top + 480, 495, 285}, "0",
          back};
}

CommandButton SendButton(std::string name, const Shape& mfc) {
  return {std::move(name), mfc.container, {mfc.rect.left + 600, mfc.rect.top + 510, 255, 255},
          "->"};
}

Label Plain(std::string name, int element, Container c, Rect r, std::string caption, bool bold,
            Align align, bool transparent) {
  return {std::move(name), element, c, r, std::move(caption), bold, align, transparent};
}

Label PictureCaption(std::string name, Rect r, std::string caption, bool bold) {
  return Plain(std::move(name), kNoElement, Container::Form1, r, std::move(caption), bold,
               Align::Centre, true);
}

Label BoldText(std::string name, int element, Container c, Rect r, std::string caption) {
  return Plain(std::move(name), element, c, r, std::move(caption), true, Align::Left, false);
}

Label BoldReadout(std::string name, Container c, Rect r, std::string caption) {
  Label label = BoldText(std::move(name), kNoElement, c, r, std::move(caption));
  label.autoSize = true;
  return label;
}

CommandButton Button(std::string name, Container c, Rect r, std::string caption) {
  return {std::move(name), c, r, std::move(caption)};
}

Line Pipe(int element, int x1, int y1, int x2, int y2) {
  return {"Line20", element, x1, y1, x2, y2};
}

}  // namespace halvorn::layout
