#include "ExportFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace halvorn::history {

namespace {

namespace fs = std::filesystem;

struct Companion {
  const char* suffix;
  const char* what;
};
constexpr Companion kCompanions[] = {{"", "the record being read"},
                                     {"-wal", "the record's write-ahead log"},
                                     {"-shm", "the record's shared-memory file"},
                                     {"-journal", "the record's rollback journal"}};

// `name` as an absolute path with its folder's links resolved, and with its
// own link resolved too: SQLite names a record's companions after the file
// a link names.
std::vector<fs::path> Names(const std::string& name) {
  std::error_code error;
  const fs::path absolute = fs::absolute(name, error).lexically_normal();
  std::vector<fs::path> names{absolute};
  if (absolute.has_parent_path() && absolute.has_filename()) {
    const fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
    if (!error) names.push_back(folder / absolute.filename());
  }
  const fs::path resolved = fs::weakly_canonical(absolute, error);
  if (!error) names.push_back(resolved);
  return names;
}

std::string Reason(int error) { return error ? std::strerror(error) : "an error of the system"; }

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Runs `write`; a read of the record that fails under way (an export of
// summaries reads as it writes) is a failed export with the reader's words.
bool Written(const std::function<void(std::ostream&)>& write, std::ostream& out, std::string& why) {
  try {
    write(out);
  } catch (const std::exception& e) {
    why = e.what();
    return false;
  }
  return true;
}

bool WriteDirectly(const std::string& path, const std::function<void(std::ostream&)>& write, std::string& error) {
  errno = 0;
  std::ofstream out(path, std::ios::binary);
  std::string why;
  if (out && !Written(write, out, why)) {
    error = "cannot write " + path + ": " + why;
    return false;
  }
  out.close();
  if (out) return true;
  error = "cannot write " + path + ": " + Reason(errno);
  return false;
}

}  // namespace

std::optional<std::string> RefusedOutput(const std::string& output, const std::string& record) {
  struct stat out {};
  if (::stat(output.c_str(), &out) == 0) {
    for (const Companion& c : kCompanions) {
      struct stat file {};
      const std::string name = record + c.suffix;
      if (::stat(name.c_str(), &file) == 0 && file.st_dev == out.st_dev && file.st_ino == out.st_ino)
        return output + " is " + c.what + (*c.suffix ? " (" + name + ")" : "");
    }
  }
  const auto outputs = Names(output);
  for (const fs::path& base : Names(record)) {
    for (const Companion& c : kCompanions) {
      const fs::path name = base.string() + c.suffix;
      for (const fs::path& o : outputs)
        if (o == name) return output + " is " + c.what + (*c.suffix ? " (" + name.string() + ")" : "");
    }
  }
  return std::nullopt;
}

bool WriteExport(const std::string& path, const std::function<void(std::ostream&)>& write, std::string& error) {
  std::error_code ignored;
  fs::path target = path;
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    const fs::path resolved = fs::weakly_canonical(path, ignored);
    if (!resolved.empty()) target = resolved;
  }
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return WriteDirectly(path, write, error);

  std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = "cannot write " + path + ": " + Reason(errno);
    return false;
  }
  // The mode a new file would get, or the one the file it replaces had.
  ::fchmod(fd, exists ? existing.st_mode & 07777 : NewFileMode());
  const auto fail = [&](int why) {
    ::unlink(temporary.c_str());
    error = "cannot write " + path + ": " + Reason(why);
    return false;
  };
  errno = 0;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    std::string failure;
    if (out && !Written(write, out, failure)) {
      ::close(fd);
      ::unlink(temporary.c_str());
      error = "cannot write " + path + ": " + failure;
      return false;
    }
    out.close();
    if (!out) {
      const int why = errno;
      ::close(fd);
      return fail(why);
    }
  }
  // On the disk before it takes the name: a crash then leaves the old file
  // or the whole new one.
  if (::fsync(fd) != 0) {
    const int why = errno;
    ::close(fd);
    return fail(why);
  }
  ::close(fd);
  if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(errno);
  return true;
}

}  // namespace halvorn::history
