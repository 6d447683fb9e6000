// Writing a seed corpus: the programs that write the fuzz targets' seeds take
// one folder argument and put each seed in a file of its own there.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvorn::fuzz {

// Seeds as file name and content.
using SeedFiles = std::vector<std::pair<std::string, std::string>>;

// Writes every seed into `folder` (made when missing) and prints where;
// false, after saying which, when a file could not be written.
inline bool WriteSeedFolder(const std::filesystem::path& folder, const SeedFiles& seeds) {
  std::filesystem::create_directories(folder);
  for (const auto& [name, bytes] : seeds) {
    std::ofstream file(folder / name, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file) {
      std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
      return false;
    }
  }
  std::printf("%zu seeds in %s\n", seeds.size(), folder.c_str());
  return true;
}

// The folder named by the one argument; empty, after the usage line, when
// the arguments are otherwise.
inline std::filesystem::path SeedFolderArgument(int argc, char** argv) {
  if (argc == 2) return argv[1];
  std::fprintf(stderr, "usage: %s <folder>\n", argc > 0 ? argv[0] : "seeds");
  return {};
}

}  // namespace halvorn::fuzz
