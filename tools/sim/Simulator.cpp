#include "Simulator.h"

#include <cstdio>
#include <type_traits>
#include <utility>

#include "AnswerText.h"
#include "link/Frame.h"

namespace halvorn::sim {
namespace {

// What a burst of bytes without a carriage return is made of.
constexpr char kBurstByte = '#';
constexpr std::size_t kChecksumLength = 3;
// Log lines kept until someone takes them; a flood of bad frames must not
// grow memory without end.
constexpr std::size_t kLogLimit = 1000;

std::string JoinedGroupNames(const std::vector<Group>& groups) {
  if (groups.size() == static_cast<std::size_t>(kGroupCount)) return "all groups";
  std::string names;
  for (const Group group : groups) names += (names.empty() ? "" : " ") + std::string(Info(group).name);
  return names;
}

}  // namespace

std::string Printable(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    }
  }
  return out;
}

std::string Simulator::Receive(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    if (c != kCarriageReturn) {
      if (m_discarding) continue;
      m_buffer += c;
      if (m_buffer.size() > kReceiveLimit) {
        // No frame is this long: drop the whole run up to the next carriage
        // return, so the frame after it starts clean.
        Log("dropped a run of more than " + std::to_string(kReceiveLimit) + " bytes without a carriage return");
        m_buffer.clear();
        m_discarding = true;
      }
      continue;
    }
    if (!m_discarding) out += Handle(m_buffer);
    m_buffer.clear();
    m_discarding = false;
  }
  return out;
}

std::string Simulator::Handle(std::string_view message) {
  if (CrcError(message)) {
    ++m_counters.badChecksums;
    Log("bad checksum, ignored: " + Printable(message));
    return {};
  }
  const std::string_view text = message.substr(0, message.size() - kChecksumLength);
  std::string out;

  if (const std::optional<Group> group = GroupOfPoll(text)) {
    ++m_counters.polls;
    if (m_verbose) Log("poll " + std::string(text));
    if (m_faults.Stopped()) return {};
    if (!m_faults.Silenced(*group)) out += Framed(m_faults.Shape(*group, m_plant.AnswerText(*group)));
    for (const Pending& pending : m_pending) out += pending.raw ? pending.bytes : Framed(pending.bytes);
    m_pending.clear();
    return out;
  }

  if (const std::optional<std::string> done = m_plant.Apply(text)) {
    ++m_counters.commands;
    Log(std::string(text) + ": " + *done);
    if (m_acks && !m_faults.Stopped()) out += Framed(text);
    return out;
  }
  ++m_counters.unknown;
  Log("not a command, ignored: " + Printable(text));
  return out;
}

std::string Simulator::Framed(std::string_view text) {
  const std::string frame = m_faults.Frame(text);
  ++m_counters.framesSent;
  const std::string_view message =
      frame.ends_with(kCarriageReturn) ? std::string_view(frame).substr(0, frame.size() - 1) : frame;
  if (CrcError(message)) ++m_counters.spoiledSent;
  return frame;
}

std::string Simulator::TakeFlood(std::size_t room) {
  // A stopped controller sends nothing, flood or not.
  if (m_faults.Stopped()) return {};
  const FloodCounts before = m_flood.counts();
  std::string frames = m_flood.Take(m_plant, room);
  m_counters.framesSent += m_flood.counts().frames - before.frames;
  m_counters.spoiledSent += m_flood.counts().spoiled - before.spoiled;
  return frames;
}

ConsoleResult Simulator::ExecuteLine(std::string_view line) {
  ParsedLine parsed = ParseConsoleLine(line);
  if (!parsed.error.empty()) return {"error: " + parsed.error + "\n", {}};
  if (!parsed.command) return {};
  return Execute(*parsed.command);
}

ConsoleResult Simulator::Execute(const ConsoleCommand& command) {
  return std::visit(
      [this](const auto& c) -> ConsoleResult {
        using C = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<C, console::Help>) {
          return {ConsoleHelp(), {}};
        } else if constexpr (std::is_same_v<C, console::Status>) {
          return {Status(), {}};
        } else if constexpr (std::is_same_v<C, console::Fault>) {
          for (const int device : c.devices) m_faults.SetStatus(device, c.code);
          const std::string who =
              c.devices.size() == 1 ? std::string(kDevices[static_cast<std::size_t>(c.devices[0])].name)
                                    : "every device";
          if (!c.code) return {"ok: " + who + " reports its own state\n", {}};
          return {"ok: " + who + " reports status byte " + std::to_string(*c.code) + "\n", {}};
        } else if constexpr (std::is_same_v<C, console::Warn>) {
          for (int i = 0; i < c.count; ++i) m_pending.push_back({false, WarningText(c.type)});
          return {"ok: warning " + std::to_string(c.type) + " x" + std::to_string(c.count) +
                      " goes out after the next poll answer\n",
                  {}};
        } else if constexpr (std::is_same_v<C, console::Crc>) {
          m_faults.SetCrcFraction(c.fraction);
          char share[64];
          std::snprintf(share, sizeof share, "ok: %g of frames with a wrong checksum\n", c.fraction);
          return {share, {}};
        } else if constexpr (std::is_same_v<C, console::BadLength>) {
          for (const Group group : c.groups) m_faults.SetLengthDelta(group, c.delta);
          if (c.delta == 0) return {"ok: right length for " + JoinedGroupNames(c.groups) + "\n", {}};
          return {"ok: answers of " + JoinedGroupNames(c.groups) + " " + (c.delta > 0 ? "+" : "") +
                      std::to_string(c.delta) + " bytes\n",
                  {}};
        } else if constexpr (std::is_same_v<C, console::NoCr>) {
          if (c.bytes == 0) {
            m_faults.DropNextCarriageReturn();
            return {"ok: the next frame goes out without its carriage return\n", {}};
          }
          m_pending.push_back({true, std::string(static_cast<std::size_t>(c.bytes), kBurstByte)});
          return {"ok: " + std::to_string(c.bytes) +
                      " bytes without a carriage return go out after the next poll answer\n",
                  {}};
        } else if constexpr (std::is_same_v<C, console::Silence>) {
          for (const Group group : c.groups) m_faults.SetSilenced(group, c.silent);
          return {std::string("ok: ") + (c.silent ? "silent: " : "answering: ") +
                      JoinedGroupNames(c.groups) + "\n",
                  {}};
        } else if constexpr (std::is_same_v<C, console::Stop>) {
          m_faults.SetStopped(c.stop);
          return {c.stop ? "ok: sending nothing\n" : "ok: sending again\n", {}};
        } else if constexpr (std::is_same_v<C, console::Hangup>) {
          return {"ok: hanging up\n", {LineRequest::Kind::Hangup, c.reopenAfterSeconds}};
        } else if constexpr (std::is_same_v<C, console::Reopen>) {
          return {"ok: opening the line\n", {LineRequest::Kind::Reopen, {}}};
        } else if constexpr (std::is_same_v<C, console::Acks>) {
          m_acks = c.on;
          return {c.on ? "ok: commands are acknowledged\n" : "ok: commands go unanswered\n", {}};
        } else if constexpr (std::is_same_v<C, console::Act>) {
          // Not counted or logged as the panel's: the line never carried it.
          if (const std::optional<std::string> done = m_plant.Apply(c.text)) return {"ok: " + *done + "\n", {}};
          return {"error: '" + Printable(c.text) + "' is no command the controller knows\n", {}};
        } else if constexpr (std::is_same_v<C, console::Clear>) {
          m_faults.Clear();
          m_pending.clear();
          return {"ok: no faults\n", {}};
        } else if constexpr (std::is_same_v<C, console::Flood>) {
          if (!c.bytesPerSecond) {
            m_flood.Stop();
            return {"ok: flood stopped: " + m_flood.Describe() + "\n", {}};
          }
          m_flood.Start(*c.bytesPerSecond, c.crcFraction, c.sliceMs);
          char reply[160];
          std::snprintf(reply, sizeof reply,
                        "ok: flooding at %.0f bytes/s, %g of frames with a wrong checksum, in %d ms slices\n",
                        m_flood.BytesPerSecond(), m_flood.CrcFraction(), m_flood.SliceMs());
          return {reply, {}};
        } else {
          static_assert(std::is_same_v<C, console::Quit>);
          return {"ok: bye\n", {LineRequest::Kind::Quit, {}}};
        }
      },
      command);
}

std::string Simulator::Status() const {
  const LineCounters& n = m_counters;
  return m_plant.Dump() + "\nfaults: " + m_faults.Describe() + (m_acks ? "; commands acknowledged" : "") +
         "\nline: " + m_lineDescription + "; " + std::to_string(n.polls) + " polls, " +
         std::to_string(n.commands) + " commands, " + std::to_string(n.badChecksums) +
         " bad checksums, " + std::to_string(n.unknown) + " unknown, " +
         std::to_string(n.framesSent) + " frames sent, " + std::to_string(n.spoiledSent) +
         " of them with a wrong checksum\n" +
         (m_flood.Running() ? "flood: " + m_flood.Describe() + " so far\n" : "");
}

void Simulator::Log(std::string line) {
  if (m_log.size() < kLogLimit) m_log.push_back(std::move(line));
}

std::vector<std::string> Simulator::TakeLog() { return std::exchange(m_log, {}); }

}  // namespace halvorn::sim
