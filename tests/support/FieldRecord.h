// The records from the field kept in tests/fixtures, handed to a test as a
// copy of its own: a reader of a write-ahead-log record writes a shared-memory
// file beside it, and the fixture itself must never change.
#pragma once

#include <filesystem>
#include <string>

#include "support/TemporaryDirectory.h"

namespace halvorn::testing {

// A record of halvorn-panel 0.1 (layout 1), about 220 s beside the simulator:
// a valve fault, a lost port and its reconnect, a gauge fault, commands
// (tests/fixtures/README.md says when each happened).
constexpr const char* kFieldRecordLayout1 = "panel-0.1-layout-1.halvorn";

// Copies `fixture` into `dir` and returns the copy's path.
inline std::string CopyOfFixture(const TemporaryDirectory& dir, const char* fixture) {
  const std::filesystem::path copy = dir / fixture;
  std::filesystem::copy_file(std::filesystem::path(HALVORN_FIXTURES_DIR) / fixture, copy);
  return copy.string();
}

}  // namespace halvorn::testing
