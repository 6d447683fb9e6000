// Twips to pixels: the one conversion between the window's layout, which is
// given in twips (1440 to the inch), and Qt's device-independent pixels.
//
// At 96 dots per inch a pixel is 15 twips. Every geometry the shell draws
// goes through TwipsToPixels, so that positions and sizes round the same way
// everywhere.
#pragma once

namespace halvorn::shell {

constexpr int kTwipsPerInch = 1440;

// `twips * dpi / 1440`, rounded to the nearest pixel, halves away from zero
// (at 120 dpi, 6 twips are half a pixel and give 1; -6 give -1).
// Requires dpi > 0; computed in 64 bits, so no int input overflows.
constexpr int TwipsToPixels(int twips, int dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  const long long half = kTwipsPerInch / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch
                                      : -((-scaled + half) / kTwipsPerInch));
}

}  // namespace halvorn::shell
