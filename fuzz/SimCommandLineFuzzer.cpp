// Fuzz target of the simulator's command line: any arguments. A refusal
// says why; a run has a listed baud rate and parity, and every console line
// it schedules is one the console takes, at a time that is a number.
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "Console.h"
#include "SimCommandLine.h"
#include "TextInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvorn::fuzz;
  using halvorn::sim::SimOptions;
  const std::vector<std::string_view> arguments = SplitArguments(InputText(data, size));
  const SimOptions options = halvorn::sim::ParseSimCommandLine(arguments);
  if (options.outcome == SimOptions::Outcome::Fail) {
    Check(!options.error.empty(), "a refusal says nothing");
    return 0;
  }
  if (options.outcome != SimOptions::Outcome::Run) return 0;
  bool listed = false;
  for (const int rate : {2400, 9600, 38400, 115200, 460800, 921600})
    listed = listed || options.baud == rate;
  Check(listed, "a baud rate that is not offered");
  Check(std::string_view("neoms").find(options.parity) != std::string_view::npos,
        "an unknown parity");
  for (const halvorn::sim::ScheduledLine& line : options.lines) {
    Check(std::isfinite(line.seconds) && line.seconds >= 0, "a console line at no time", line.line);
    const halvorn::sim::ParsedLine parsed = halvorn::sim::ParseConsoleLine(line.line);
    Check(parsed.error.empty() && parsed.command.has_value(),
          "a scheduled line the console refuses", line.line);
  }
  return 0;
}
