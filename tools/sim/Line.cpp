#include "Line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace halvorn::sim {
namespace {

speed_t Speed(int baud) {
  switch (baud) {
    case 2400: return B2400;
    case 9600: return B9600;
    case 38400: return B38400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B115200;
  }
}

// Raw byte transfer both ways: no echo, no line editing, no translation of
// carriage returns (the frame ends in one), no flow control.
bool MakeRaw(int fd, const LineSettings& settings, std::string& error) {
  termios attributes{};
  if (::tcgetattr(fd, &attributes) != 0) {
    error = std::string("cannot read line settings: ") + std::strerror(errno);
    return false;
  }
  ::cfmakeraw(&attributes);
  attributes.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  attributes.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  attributes.c_cflag |= CS8 | CLOCAL | CREAD;
  switch (settings.parity) {
    case 'e': attributes.c_cflag |= PARENB; break;
    case 'o': attributes.c_cflag |= PARENB | PARODD; break;
    case 'm': attributes.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 's': attributes.c_cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  attributes.c_cc[VMIN] = 1;
  attributes.c_cc[VTIME] = 0;
  ::cfsetispeed(&attributes, Speed(settings.baud));
  ::cfsetospeed(&attributes, Speed(settings.baud));
  if (::tcsetattr(fd, TCSANOW, &attributes) != 0) {
    error = std::string("cannot set line settings: ") + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

std::optional<Line> Line::OpenPseudoTerminal(const LineSettings& settings, std::string& error) {
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return {};
  }
  Line line(fd, {});
  char name[128];
  if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
    error = std::string("cannot unlock the pseudo-terminal: ") + std::strerror(errno);
    return {};
  }
  line.m_path = name;
  // The terminal side keeps these settings until the panel applies its own,
  // so nothing it sends is echoed or translated meanwhile.
  if (!MakeRaw(fd, settings, error)) return {};
  return line;
}

std::optional<Line> Line::OpenDevice(const std::string& path, const LineSettings& settings,
                                     std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return {};
  }
  Line line(fd, path);
  if (!MakeRaw(fd, settings, error)) return {};
  ::tcflush(fd, TCIOFLUSH);
  return line;
}

Line::Line(Line&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

Line& Line::operator=(Line&& other) noexcept {
  if (this != &other) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = std::exchange(other.m_fd, -1);
    m_path = std::move(other.m_path);
  }
  return *this;
}

Line::~Line() {
  if (m_fd >= 0) ::close(m_fd);
}

bool LinkName::PointAt(const std::string& target, std::string& error) {
  struct stat existing {};
  if (::lstat(m_linkPath.c_str(), &existing) == 0) {
    if (!S_ISLNK(existing.st_mode)) {
      error = m_linkPath + " exists and is not a symbolic link; leaving it alone";
      return false;
    }
    ::unlink(m_linkPath.c_str());
  }
  if (::symlink(target.c_str(), m_linkPath.c_str()) != 0) {
    error = "cannot make the link " + m_linkPath + ": " + std::strerror(errno);
    m_target.clear();
    return false;
  }
  m_target = target;
  return true;
}

void LinkName::Remove() {
  if (m_target.empty()) return;
  char points[4096];
  const ssize_t length = ::readlink(m_linkPath.c_str(), points, sizeof points - 1);
  if (length >= 0 && std::string(points, static_cast<std::size_t>(length)) == m_target) {
    ::unlink(m_linkPath.c_str());
  }
  m_target.clear();
}

}  // namespace halvorn::sim
