#include "record/RecordPath.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace halvorn::record {
namespace {

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// The folder a new file of that name would go in.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> RecordPathProblem(const std::string& path) {
  // SQLite reads these as a URI or as memory, never as the file named.
  if (path.starts_with("file:") || path == ":memory:") {
    return path + " is an SQLite name, not a file: a record is a file (write ./" + path +
           " for a file of that name)";
  }
  if (path.empty() || path.back() == '/') return "'" + path + "' names a folder, not a record file";
  struct stat file {};
  if (::stat(path.c_str(), &file) == 0) {
    if (S_ISREG(file.st_mode)) return std::nullopt;
    return path + " is " + KindOf(file.st_mode) + ", not a record file";
  }
  const int error = errno;
  if (error == EACCES || error == EIO) return std::nullopt;  // the open says why, at the moment
  if (error != ENOENT) return path + " cannot be a record: " + std::strerror(error);
  if (::lstat(path.c_str(), &file) == 0) return path + " is a link to nothing, not a record file";
  const std::string folder = FolderOf(path);
  struct stat parent {};
  if (::stat(folder.c_str(), &parent) != 0) {
    if (errno == EACCES || errno == EIO) return std::nullopt;
    return "the folder of " + path + " does not exist";
  }
  if (!S_ISDIR(parent.st_mode)) return "the folder of " + path + " is not a folder";
  return std::nullopt;
}

bool IsWrongFile(int code) {
  return code == SQLITE_NOTADB || code == SQLITE_CORRUPT || code == SQLITE_FORMAT ||
         code == SQLITE_MISMATCH;
}

}  // namespace halvorn::record
