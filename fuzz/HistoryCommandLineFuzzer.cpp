// Fuzz target of the history viewer's command line: any arguments. A
// refusal is one line; a run names a record, and written out again as
// arguments it reads the same.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "HistoryCommandLine.h"
#include "TextInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvorn::fuzz;
  using halvorn::history::HistoryOptions;
  const std::vector<std::string_view> arguments = SplitArguments(InputText(data, size));
  const HistoryOptions options = halvorn::history::ParseHistoryCommandLine(arguments);
  if (options.outcome == HistoryOptions::Outcome::Fail) {
    Check(!options.error.empty(), "a refusal says nothing");
    return 0;
  }
  if (options.outcome != HistoryOptions::Outcome::Run) return 0;
  Check(!options.file.empty(), "a run names no record");
  Check(options.session >= 0, "a negative session");
  std::vector<std::string> written{options.file};
  if (options.session > 0) written.push_back("--session=" + std::to_string(options.session));
  for (const auto& [name, value] :
       {std::pair<const char*, const std::string*>{"--from=", &options.from},
        {"--to=", &options.to},
        {"--csv=", &options.csv},
        {"--png=", &options.png},
        {"--resolution=", &options.resolution}}) {
    if (!value->empty()) written.push_back(name + *value);
  }
  std::vector<std::string_view> again(written.begin(), written.end());
  const HistoryOptions reparsed = halvorn::history::ParseHistoryCommandLine(again);
  Check(reparsed.outcome == HistoryOptions::Outcome::Run && reparsed.file == options.file &&
            reparsed.session == options.session && reparsed.from == options.from &&
            reparsed.to == options.to && reparsed.csv == options.csv &&
            reparsed.png == options.png && reparsed.resolution == options.resolution,
        "written out again the arguments read otherwise", reparsed.error);
  return 0;
}
