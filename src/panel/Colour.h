// Colour values as the window stores them.
//
// A value below 0x80000000 is an RGB colour laid out 0x00BBGGRR (red in the
// low byte). A value 0x800000nn names the platform's system colour nn, which
// only the drawing side resolves; the core keeps it symbolic.
#pragma once

#include <cstdint>

namespace halvorn {

using Colour = std::uint32_t;

namespace colours {
constexpr Colour Red = 0x000000FF;
constexpr Colour Green = 0x0000FF00;
constexpr Colour Yellow = 0x0000FFFF;
constexpr Colour Cyan = 0x00FFFF00;
constexpr Colour Magenta = 0x00FF00FF;
constexpr Colour White = 0x00FFFFFF;
constexpr Colour LightYellow = 0x0080FFFF;
constexpr Colour LightGreen = 0x0080FF80;

// The no-data grey (COLOR_GRAYTEXT) and the resting lamp colour (COLOR_MENU).
constexpr Colour SystemGrayText = 0x80000011;
constexpr Colour SystemMenu = 0x80000004;
// The default background of a text box (COLOR_WINDOW); only the boxes that
// carry no explicit background use it.
constexpr Colour SystemWindow = 0x80000005;
}  // namespace colours

constexpr bool IsSystemColour(Colour c) { return (c & 0x80000000u) != 0; }
constexpr int SystemColourIndex(Colour c) { return static_cast<int>(c & 0xFFu); }
constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFFu); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFFu); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFFu); }

}  // namespace halvorn
