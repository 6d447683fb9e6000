// Sparkplug's birth-death sequence number (bdSeq, 0..255) of one edge node,
// kept in a small state file across restarts of the panel: each new
// connection carries the next value in its will (NDEATH) and its NBIRTH, so
// a host can tell a late will of an earlier run from the death of the
// current one. The file holds the last value taken as decimal text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace halvorn::mqtt {

// The value taken, and why it could not be kept (empty when it was): a
// value that could not be written is still used, for this run only.
struct TakenBirth {
  std::uint8_t bdSeq = 0;
  std::string problem;
};

class BirthSequence {
 public:
  explicit BirthSequence(std::string path) : m_path(std::move(path)) {}

  // Reads the last value (a missing, empty or unreadable file counts as
  // none; once this object took one, that one counts, so a file that
  // cannot be written does not hand out the same value twice), takes the
  // one after it (255 is followed by 0; none by 0), keeps it atomically (a
  // temporary file in the same directory, flushed to disk, renamed over the
  // old one) and returns it.
  [[nodiscard]] TakenBirth Next();

  [[nodiscard]] const std::string& path() const { return m_path; }

 private:
  std::string m_path;
  std::optional<std::uint8_t> m_last;
};

// The last value a state file holds, or none (-1) when `text` is no number
// from 0 to 255 (at most one trailing newline).
[[nodiscard]] int ParseBirthSequence(std::string_view text);

// Where the node's sequence is kept: $XDG_STATE_HOME/halvorn/
// sparkplug-GROUP-NODE.bdseq, or $HOME/.local/state/halvorn/... when that
// is not set, the directory made if needed. The path, or why there is none
// (one line, `path` then empty). Characters other than letters, digits,
// '-', '_' and '.' in the group or node are written as '_'.
struct SequenceFile {
  std::string path;
  std::string problem;
};
[[nodiscard]] SequenceFile BirthSequencePath(std::string_view group, std::string_view node);

}  // namespace halvorn::mqtt
