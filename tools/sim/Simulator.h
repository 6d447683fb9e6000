// The simulated process controller as a whole, without any device: bytes
// from the panel go in, the bytes to send back come out; console commands
// change the faults. Owns the plant model, the faults, the receive buffer
// and the counters. Time is an input (Advance), as in the plant.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Console.h"
#include "FaultSettings.h"
#include "Flood.h"
#include "SimPlant.h"

namespace halvorn::sim {

// What a console command asks of the line, which only the program's main
// loop can do.
struct LineRequest {
  enum class Kind { None, Hangup, Reopen, Quit };
  Kind kind = Kind::None;
  std::optional<double> reopenAfterSeconds;  // for Hangup
};

struct ConsoleResult {
  std::string reply;  // one or more lines, each ending in a newline
  LineRequest line;
};

struct LineCounters {
  std::int64_t polls = 0;         // poll requests received
  std::int64_t commands = 0;      // commands acted on
  std::int64_t badChecksums = 0;  // frames dropped for their checksum
  std::int64_t unknown = 0;       // good frames that are neither
  std::int64_t framesSent = 0;    // answers, warnings, acknowledgements and flood frames
  std::int64_t spoiledSent = 0;   // of those, frames sent with a wrong checksum
};

// Longest run of received bytes without a carriage return that is kept;
// a longer run is noise and is dropped up to its carriage return.
constexpr std::size_t kReceiveLimit = 256;

class Simulator {
 public:
  Simulator() = default;

  void Advance(double seconds) {
    m_plant.Advance(seconds);
    m_flood.Advance(seconds);
  }

  // Takes bytes from the line, acts on every complete frame and yields what
  // to write back: the answers to poll requests, then whatever waits to go
  // out after an answer (warnings, bursts), and acknowledgements when on.
  std::string Receive(std::string_view bytes);

  // The flood's frames now due, at most `room` bytes (see Flood::Take),
  // counted as sent.
  std::string TakeFlood(std::size_t room);
  bool Flooding() const { return m_flood.Running(); }
  const Flood& flood() const { return m_flood; }

  // Forgets a half-received frame, as when the line is opened afresh.
  void ResetLine() {
    m_buffer.clear();
    m_discarding = false;
  }

  ConsoleResult Execute(const ConsoleCommand& command);
  // Parses and executes one console line; a bad line yields "error: ...".
  ConsoleResult ExecuteLine(std::string_view line);

  // Lines about the commands and bad frames received since the last call,
  // for the operator's log. Polls are listed only when `verbose`.
  std::vector<std::string> TakeLog();
  void SetVerbose(bool verbose) { m_verbose = verbose; }

  // What `status` shows about the line, e.g. "/dev/pts/7" or "hung up".
  void SetLineDescription(std::string description) { m_lineDescription = std::move(description); }

  const SimPlant& plant() const { return m_plant; }
  SimPlant& plant() { return m_plant; }
  const FaultSettings& faults() const { return m_faults; }
  const LineCounters& counters() const { return m_counters; }
  bool acks() const { return m_acks; }

 private:
  std::string Handle(std::string_view message);
  // One frame of `text` through the faults, counted as sent.
  std::string Framed(std::string_view text);
  std::string Status() const;
  void Log(std::string line);

  SimPlant m_plant;
  FaultSettings m_faults;
  Flood m_flood;
  std::string m_buffer;
  bool m_discarding = false;  // inside an overlong run, until its carriage return
  // Texts to frame (warnings) and raw bursts, sent right after the answer
  // to the next poll request, or in its place when that group is silent.
  struct Pending {
    bool raw = false;
    std::string bytes;  // raw bytes, or a text to frame
  };
  std::vector<Pending> m_pending;
  bool m_acks = false;
  bool m_verbose = false;
  LineCounters m_counters;
  std::vector<std::string> m_log;
  std::string m_lineDescription = "not open";
};

// A received text with every byte outside printable ASCII as \xNN, for logs.
std::string Printable(std::string_view bytes);

}  // namespace halvorn::sim
