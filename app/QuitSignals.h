// SIGTERM, SIGINT and SIGHUP while a record is kept. The first asks for an
// orderly quit, so that the record's last moments are committed and the
// session marked as closed. Should that take long (a slow or locked disk), a
// further one ends the panel within a second: the panel makes one more short
// try to mark the session ended, and a deadline armed by the signal itself
// ends the process as the signal would have, whatever the panel is waiting
// on. Without a record the signals keep their default action.
#pragma once

namespace halvorn::shell {

class QuitSignals {
 public:
  // How long after a further signal the process ends at the latest.
  static constexpr long kDeadlineMilliseconds = 900;

  // Installs the handlers; at most one object at a time.
  QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;
  // Puts the default actions back.
  ~QuitSignals();

  // False when the pipe or the deadline could not be made; the signals then
  // keep their default action.
  [[nodiscard]] bool installed() const { return m_installed; }
  // Readable once a signal came and until Drain().
  [[nodiscard]] int fd() const { return m_read; }
  // Takes what the signals wrote; whether any came since the last call.
  bool Drain();
  // Arms the deadline now, for a quit that must not wait any longer.
  void ArmDeadline();
  // Ends the process as the newest signal would have ended it.
  [[noreturn]] void EndAsTheSignal();

 private:
  int m_read = -1;
  bool m_installed = false;
};

}  // namespace halvorn::shell
