// Plain value types for the widgets of the one window.
//
// Each widget carries its own name (and element number inside a widget
// group), where it sits, and what it shows. The core reads and writes these
// values; the Qt shell draws them. Positions and sizes are in twips relative
// to the container's client area.
#pragma once

#include <string>
#include <vector>

#include "panel/Colour.h"

namespace halvorn {

enum class Container { Form1, Frame1, Frame2 };

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  constexpr int right() const { return left + width; }
  constexpr int bottom() const { return top + height; }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

enum class Align { Left, Centre };

// Element number of a widget that is not part of a group.
constexpr int kNoElement = -1;

struct Label {
  std::string name;
  int element = kNoElement;
  Container container = Container::Form1;
  Rect rect;
  std::string caption;
  bool bold = false;
  Align align = Align::Left;
  bool transparent = false;
  // Grows and shrinks to fit its caption, keeping its left edge; the width
  // given is that of the initial caption.
  bool autoSize = false;
};

enum class ShapeKind { Rectangle, RoundedRectangle, Circle };

struct Shape {
  std::string name;
  int element = kNoElement;
  Container container = Container::Form1;
  Rect rect;
  ShapeKind kind = ShapeKind::Rectangle;
  Colour fillColor = colours::White;
};

// A pipe of the synoptic picture, in window coordinates.
struct Line {
  std::string name;
  int element = kNoElement;
  int x1 = 0;
  int y1 = 0;
  int x2 = 0;
  int y2 = 0;
};

struct CommandButton {
  std::string name;
  Container container = Container::Form1;
  Rect rect;
  std::string caption;
};

struct TextBox {
  std::string name;
  Container container = Container::Form1;
  Rect rect;
  std::string text;
  Colour backColor = colours::SystemWindow;
  // Written by the panel only: the operator can neither type in it nor
  // give it the focus.
  bool readOnly = false;
};

// A list box: lines in display order, index 0 at the top.
struct ListBox {
  std::string name;
  Container container = Container::Form1;
  Rect rect;
  std::vector<std::string> items;

  // Inserts at `index`, clamped to the list's end.
  void AddItem(std::string text, int index);
  int ListCount() const { return static_cast<int>(items.size()); }
  // Removes the line at `index`; an index outside the list removes nothing.
  void RemoveItem(int index);
  void Clear() { items.clear(); }
};

// A drop-down list without free typing. `listIndex` is -1 while nothing is
// selected; choosing an entry is an event (the list's Click), handled by the
// link code, not by this value.
struct ComboBox {
  std::string name;
  Container container = Container::Form1;
  Rect rect;
  std::vector<std::string> items;
  int listIndex = -1;
  bool enabled = true;

  // The selected entry's text, or empty when nothing is selected.
  [[nodiscard]] std::string Text() const;
};

struct Frame {
  std::string name;
  Rect rect;  // in the window
  std::string caption;
};

struct Timer {
  std::string name;
  int interval = 0;  // milliseconds
  bool enabled = false;
  // Counts every Start(), so the drawing side can tell that a running timer
  // was asked to begin its interval again.
  unsigned starts = 0;

  void Start() {
    enabled = true;
    ++starts;
  }
  void Stop() { enabled = false; }
};

struct Menu {
  std::string name;
  std::string caption;
};

struct MenuItem {
  std::string name;
  std::string caption;
  std::string menu;  // name of the menu it belongs to
};

}  // namespace halvorn
