// The real controller simulator (halvorn-sim, HALVORN_SIM_PROGRAM) as a
// child of a test whose Qt event loop keeps a panel running: its console
// open, its line reached through a symbolic link (so the link still leads to
// the line after the simulator opens a new one), every wait bounded and run
// in the event loop. Lines passed over while waiting for one are kept for a
// later wait: a line the simulator printed of itself (a new line after a
// hang-up) is not lost while waiting for a console reply.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChildProcess.h"
#include "support/EventLoop.h"
#include "support/TemporaryDirectory.h"

#ifndef HALVORN_SIM_PROGRAM
#error "a test that starts the simulator defines HALVORN_SIM_PROGRAM"
#endif

namespace halvorn::testing {

// What the simulator says it sent on the line since it started.
struct SentFrames {
  std::int64_t frames = 0;
  std::int64_t spoiled = 0;
};

class Simulator {
 public:
  // Starts `halvorn-sim --console --quiet --link <link>` and `extra`; with
  // no `link`, one in a folder of its own. ok() once the link is made.
  explicit Simulator(const std::vector<std::string>& extra = {}, std::string link = {})
      : m_link(link.empty() ? (m_directory / "controller").string() : std::move(link)), m_process(Options(extra)) {
    m_ok = m_process.started() && AwaitLine("halvorn-sim: link ", std::chrono::seconds(5)).has_value();
  }

  [[nodiscard]] bool ok() const { return m_ok; }
  [[nodiscard]] const std::string& link() const { return m_link; }
  [[nodiscard]] process::ChildProcess& process() { return m_process; }
  // Everything it printed so far, for failure messages.
  [[nodiscard]] const std::string& transcript() const { return m_process.transcript(); }

  // The next line it printed, the oldest passed-over one first; never waits.
  [[nodiscard]] std::optional<std::string> TakeLine() {
    if (!m_skipped.empty()) {
      std::string line = std::move(m_skipped.front());
      m_skipped.erase(m_skipped.begin());
      return line;
    }
    return m_process.TakeLine();
  }

  // The next line starting with one of `prefixes` within `limit`.
  std::optional<std::string> AwaitLine(const std::vector<std::string_view>& prefixes, std::chrono::milliseconds limit) {
    const auto matches = [&](const std::string& line) {
      return std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view p) { return line.starts_with(p); });
    };
    if (const auto it = std::find_if(m_skipped.begin(), m_skipped.end(), matches); it != m_skipped.end()) {
      std::string line = std::move(*it);
      m_skipped.erase(it);
      return line;
    }
    std::optional<std::string> found;
    RunEventsUntil(
        [&] {
          while (std::optional<std::string> line = m_process.TakeLine()) {
            if (matches(*line)) {
              found = std::move(line);
              return true;
            }
            m_skipped.push_back(std::move(*line));
          }
          return false;
        },
        limit);
    return found;
  }
  std::optional<std::string> AwaitLine(std::string_view prefix, std::chrono::milliseconds limit) {
    return AwaitLine(std::vector<std::string_view>{prefix}, limit);
  }

  // Writes one console line; the newline is added. False when the console
  // is gone.
  bool Type(std::string_view line) { return m_process.Type(std::string(line) + "\n"); }

  // Types a console line and waits for its reply, which starts with
  // `replyPrefix`; an older line of that kind does not count as the reply.
  std::optional<std::string> Ask(std::string_view line, std::string_view replyPrefix,
                                 std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::erase_if(m_skipped, [&](const std::string& old) { return old.starts_with(replyPrefix); });
    if (!Type(line)) return {};
    return AwaitLine(replyPrefix, limit);
  }

  // Types a console line and waits for its answer ("ok: ..." or
  // "error: ...").
  std::optional<std::string> Command(std::string_view line, std::chrono::milliseconds limit = std::chrono::seconds(2)) {
    std::erase_if(m_skipped,
                  [](const std::string& old) { return old.starts_with("ok: ") || old.starts_with("error: "); });
    if (!Type(line)) return {};
    return AwaitLine(std::vector<std::string_view>{"ok: ", "error: "}, limit);
  }

  // The line counters of its status.
  std::optional<SentFrames> Sent() {
    const std::optional<std::string> line = Ask("status", "line: ");
    if (!line) return {};
    const auto at = line->find(" polls, ");
    if (at == std::string::npos) return {};
    long long polls = 0, commands = 0, bad = 0, unknown = 0, frames = 0, spoiled = 0;
    if (std::sscanf(line->c_str() + line->rfind("; ", at) + 2,
                    "%lld polls, %lld commands, %lld bad checksums, %lld unknown, %lld frames sent, %lld of them",
                    &polls, &commands, &bad, &unknown, &frames, &spoiled) != 6) {
      return {};
    }
    return SentFrames{frames, spoiled};
  }

  // Ends it (SIGTERM, then SIGKILL after two seconds); it removes its link
  // on the way out.
  void Stop() { m_process.Stop(); }

 private:
  process::ChildOptions Options(const std::vector<std::string>& extra) const {
    std::vector<std::string> arguments{"--console", "--quiet", "--link", m_link};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return {HALVORN_SIM_PROGRAM, arguments, {}, (m_directory / "sim.err").string()};
  }

  // Declared first: it goes after the simulator has ended.
  TemporaryDirectory m_directory;
  std::string m_link;
  process::ChildProcess m_process;
  std::vector<std::string> m_skipped;
  bool m_ok = false;
};

}  // namespace halvorn::testing
