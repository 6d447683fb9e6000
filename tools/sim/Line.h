// The simulator's end of the serial line: the master side of a
// pseudo-terminal that it creates, or a serial device that it is given,
// both in raw byte transfer, non-blocking. And the symbolic link that names
// the line for the panel.
#pragma once

#include <optional>
#include <string>

namespace halvorn::sim {

struct LineSettings {
  int baud = 115200;
  char parity = 'n';  // n e o m s; always 8 data bits and 1 stop bit
};

class Line {
 public:
  // A new pseudo-terminal; path() is its terminal side, for the panel.
  // Empty with `error` set when none can be made.
  static std::optional<Line> OpenPseudoTerminal(const LineSettings& settings, std::string& error);
  // The serial device at `path`.
  static std::optional<Line> OpenDevice(const std::string& path, const LineSettings& settings,
                                        std::string& error);

  Line(Line&& other) noexcept;
  Line& operator=(Line&& other) noexcept;
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;
  ~Line();

  int fd() const { return m_fd; }
  const std::string& path() const { return m_path; }

 private:
  Line(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
  int m_fd = -1;
  std::string m_path;
};

// A symbolic link at `linkPath` to a target that may change (a new
// pseudo-terminal after a hang-up). Removed when destroyed or retargeted to
// nothing, but only while it still points where this object put it.
class LinkName {
 public:
  explicit LinkName(std::string linkPath) : m_linkPath(std::move(linkPath)) {}
  LinkName(const LinkName&) = delete;
  LinkName& operator=(const LinkName&) = delete;
  ~LinkName() { Remove(); }

  // Points the link at `target`, replacing a symbolic link (not any other
  // file) already there. False with `error` set when that fails.
  bool PointAt(const std::string& target, std::string& error);
  void Remove();
  const std::string& path() const { return m_linkPath; }

 private:
  std::string m_linkPath;
  std::string m_target;  // empty while this object has no link made
};

}  // namespace halvorn::sim
