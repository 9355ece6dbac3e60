#include "hostapp/services/atomic_file.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tess::host {
namespace {

namespace fs = std::filesystem;

// A link is written through: the file it names is replaced, the link stays.
fs::path Target(const std::string& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) return path;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  return ec ? fs::path(path) : resolved;
}

// Unique within the folder: the process id and a counter, and O_EXCL for
// anything else that picked the same name. The name is kept short enough
// for the folder however long the target's name is.
std::string TemporaryName(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  const long pid = 0;
#else
  const long pid = static_cast<long>(::getpid());
#endif
  const std::string name = target.filename().string().substr(0, 120);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  return (folder / ("." + name + ".tmp-" + std::to_string(pid) + "-" + std::to_string(counter++))).string();
}

#ifdef _WIN32

std::string Write(const fs::path& target, std::string_view bytes) {
  const std::string temporary = TemporaryName(target);
  {
    std::ofstream file(temporary, std::ios::binary);
    if (!file || !file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !file.flush()) {
      std::error_code ec;
      fs::remove(temporary, ec);
      return "cannot write the file";
    }
  }
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) {
    fs::remove(temporary, ec);
    return "cannot replace the file";
  }
  return {};
}

#else

// errno's text as the end of a message: "no space left on device".
std::string Reason(int error) {
  std::string text = std::generic_category().message(error);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

int OpenTemporary(const fs::path& target, std::string& temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = TemporaryName(target);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The whole buffer, however many calls write() takes; errno on failure.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A file that was there keeps its permissions; a new one gets the usual
// 0666 less the umask, which open() already applied.
void KeepMode(int fd, const fs::path& target) {
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
}

// The rename itself reaches the disk with the folder's entry; failing here
// loses nothing the caller could act on.
void SyncFolder(const fs::path& target) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// A device or a pipe (/dev/null, /dev/stdout) cannot be replaced: it is
// written in place.
bool IsStream(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

std::string WriteInPlace(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Reason(errno);
  const bool ok = WriteAll(fd, bytes);
  const int error = errno;
  ::close(fd);
  return ok ? std::string() : Reason(error);
}

std::string Write(const fs::path& target, std::string_view bytes) {
  std::string temporary;
  const int fd = OpenTemporary(target, temporary);
  if (fd < 0) return Reason(errno);
  KeepMode(fd, target);
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return Reason(error);
  }
  SyncFolder(target);
  return {};
}

#endif

}  // namespace

std::string WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return "no file name";
#ifndef _WIN32
  if (IsStream(path)) return WriteInPlace(path, bytes);
#endif
  return Write(Target(path), bytes);
}

std::string WriteFileOrSay(const std::string& path, std::string_view bytes) {
  const std::string why = WriteFileAtomically(path, bytes);
  return why.empty() ? why : path + ": " + why;
}

}  // namespace tess::host
