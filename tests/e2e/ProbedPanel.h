// The real halvorn-panel program watched through the probe plugin, which
// writes what the window did (shown, connected) to a report file.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace halvorn {

// The whole of a small file; empty when it is not there.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The environment that loads the probe into the panel on `platform`; the
// probe writes "shown" to `report` once the window is painted, and presses
// "Connect" when `connect` is set.
inline std::vector<std::string> ProbeEnvironment(const std::string& report, const std::string& platform = "offscreen",
                                                 bool connect = false) {
  std::vector<std::string> environment = {"QT_QPA_PLATFORM=" + platform, "QT_PLUGIN_PATH=" HALVORN_PROBE_PLUGIN_DIR,
                                          "QT_QPA_GENERIC_PLUGINS=halvornprobe", "HALVORN_PROBE_REPORT=" + report};
  if (connect) environment.push_back("HALVORN_PROBE_CONNECT=1");
  return environment;
}

}  // namespace halvorn
