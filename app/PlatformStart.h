// Qt's start on the window system. Without a display (none set, an X server
// that is not there, a platform plugin that does not exist) Qt prints three
// paragraphs and aborts; the panel says so in one line and ends with status
// 2 instead, before anything is written. The messages of a start that works
// are passed on as Qt would print them; those of a start refused for
// another reason (a record that cannot be one) are dropped, so that the
// reason is the one line said.
#pragma once

#include <string>

namespace halvorn::shell {

// Holds Qt's messages back from its construction until Started(); construct
// the application within that time.
class PlatformStart {
 public:
  PlatformStart();
  PlatformStart(const PlatformStart&) = delete;
  PlatformStart& operator=(const PlatformStart&) = delete;
  // Drops what is held unless Started() was called.
  ~PlatformStart();

  // The start is complete: passes on what was held, and Qt's messages go
  // out as they come from now on.
  void Started();

 private:
  bool m_holding = true;
};

// The line said when Qt cannot start, from the environment that chose the
// platform: QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY (null when unset).
[[nodiscard]] std::string NoDisplayMessage(const char* platform, const char* display,
                                           const char* wayland);

}  // namespace halvorn::shell
