// halvorn-perf's command line: how long and how often each figure is
// measured, and where the panel draws.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace halvorn::perf {

// Where the panel draws: Qt's offscreen platform, or a real X server.
enum class Display { Offscreen, Xvfb };

[[nodiscard]] const char* Name(Display display);

struct Options {
  int seconds = 20;                      // length of one CPU window
  int repeats = 3;                       // CPU windows per condition
  int starts = 5;                        // program starts timed
  int answers = 2000;                    // answers timed for latency
  std::vector<int> slicesMs{1, 10, 20};  // how the flood is handed to the line
  std::vector<Display> displays{Display::Offscreen, Display::Xvfb};
  bool ok = true;
  bool help = false;   // --help: the usage, and nothing measured
  std::string record;  // the panels record their runs into this file; empty: off
  // More arguments for the panels measured (--panel-arg --alarms) and for
  // the simulator (--sim-arg --fault=V3=160).
  std::vector<std::string> panelArguments;
  std::vector<std::string> simArguments;
};

// The options of `arguments` (without the program's name); ok is false for
// anything not understood.
[[nodiscard]] Options ParseOptions(const std::vector<std::string_view>& arguments);

// What --help and a wrong option print.
extern const char kUsage[];

}  // namespace halvorn::perf
