#include "ClosingRecord.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <thread>

#include "CommandLine.h"
#include "record/Database.h"

namespace halvorn::shell {
namespace {

// Well within the deadline that a further signal arms, so that the try
// ends by itself before the process is ended.
constexpr int kLastTryBusyMilliseconds = 400;

}  // namespace

std::string MarkSessionEnded(const std::string& path, std::int64_t session, int busyMilliseconds) {
  try {
    record::Database db(path, record::Database::Mode::ReadWrite);
    db.SetBusyTimeout(busyMilliseconds);
    record::Statement mark = db.Prepare("UPDATE session SET ended = 1 WHERE id = ?1");
    mark.Bind(1, session);
    mark.Step();
    return {};
  } catch (const record::DatabaseError& e) {
    return e.what();
  }
}

void CloseRecord(std::optional<SessionRecord>& record, QuitSignals& quitSignals) {
  if (!record) return;
  const std::optional<std::int64_t> session = record->session();
  int done[2] = {-1, -1};
  // A record that never started has no session to close.
  if (!session || !quitSignals.installed() || ::pipe2(done, O_CLOEXEC) != 0) {
    record.reset();
    return;
  }
  const std::string path = record->path();
  // The writer's last commit runs on a thread of its own, so that this one
  // stays free to hear a further signal.
  std::thread closer([&record, wake = done[1]] {
    record.reset();
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake, &byte, 1);
  });
  pollfd waits[2] = {{done[0], POLLIN, 0}, {quitSignals.fd(), POLLIN, 0}};
  for (;;) {
    if (::poll(waits, 2, -1) < 0 && errno != EINTR) break;
    if (waits[0].revents != 0) break;
    if (waits[1].revents != 0 && quitSignals.Drain()) {
      quitSignals.ArmDeadline();
      const std::string failed = MarkSessionEnded(path, *session, kLastTryBusyMilliseconds);
      if (!failed.empty()) {
        std::cerr << kProgramName << ": the record's session could not be marked ended: " << failed
                  << '\n';
      }
      quitSignals.EndAsTheSignal();
    }
  }
  closer.join();
  ::close(done[0]);
  ::close(done[1]);
}

}  // namespace halvorn::shell
