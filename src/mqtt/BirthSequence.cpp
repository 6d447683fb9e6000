#include "mqtt/BirthSequence.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace halvorn::mqtt {
namespace {

// More than any honest state file holds ("255\n"): a file that is larger is
// not read further, whatever its size claims.
constexpr std::size_t kReadLimit = 16;

std::string ReadHead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return {};
  std::string text;
  char buffer[kReadLimit + 1];
  while (text.size() <= kReadLimit) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

std::string Reason(const std::string& what, const std::string& path, int error) {
  return "bdSeq not kept: cannot " + what + " " + path + ": " + std::strerror(error);
}

// Writes `text` to a temporary file beside `path`, flushes it and renames
// it over `path`: a crash leaves the old value or the new one, never half.
std::string WriteAtomically(const std::string& path, const std::string& text) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return Reason("create a file beside", path, errno);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(temporary.c_str());
      return Reason("write", temporary, error);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return Reason("flush", temporary, error);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return Reason("replace", path, error);
  }
  // The rename itself lives in the directory: flush that too, so the new
  // value survives a power cut.
  const std::string directory = std::filesystem::path(path).parent_path().string();
  const int dir =
      ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}

std::string FileName(std::string_view text) {
  std::string name;
  for (const char c : text) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    name += plain ? c : '_';
  }
  return name;
}

}  // namespace

int ParseBirthSequence(std::string_view text) {
  if (text.ends_with('\n')) text.remove_suffix(1);
  if (text.empty() || text.size() > 3) return -1;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value <= 255 ? value : -1;
}

TakenBirth BirthSequence::Next() {
  const int last = m_last ? *m_last : ParseBirthSequence(ReadHead(m_path));
  TakenBirth taken;
  taken.bdSeq = static_cast<std::uint8_t>(last < 0 ? 0 : (last + 1) % 256);
  taken.problem = WriteAtomically(m_path, std::to_string(taken.bdSeq) + "\n");
  m_last = taken.bdSeq;
  return taken;
}

SequenceFile BirthSequencePath(std::string_view group, std::string_view node) {
  std::filesystem::path base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    base = state;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    base = std::filesystem::path(home) / ".local" / "state";
  } else {
    return {{}, "bdSeq not kept: neither XDG_STATE_HOME nor HOME is set"};
  }
  const std::filesystem::path directory = base / "halvorn";
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error)
    return {{}, "bdSeq not kept: cannot make " + directory.string() + ": " + error.message()};
  return {(directory / ("sparkplug-" + FileName(group) + "-" + FileName(node) + ".bdseq")).string(),
          {}};
}

}  // namespace halvorn::mqtt
