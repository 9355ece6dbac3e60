#include "hostapp/assets/isolated_import.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "hostapp/assets/header_checks.h"
#include "hostapp/assets/import_cache.h"
#include "hostapp/assets/model_wire.h"

extern char** environ;

namespace tess::assets {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// An owned file descriptor.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

// Waits for the child until the deadline; false when it was still running
// then (and has been killed and reaped). A pidfd wakes the wait the moment
// the child ends; kernels without pidfd_open get a short poll instead.
bool WaitFor(pid_t pid, double seconds, int& status) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
#ifdef SYS_pidfd_open
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  const int pidfd = -1;
#endif
  const Fd owned(pidfd);
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) {
      status = 0;
      return true;  // someone else reaped it: no answer will have been written either
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    if (pidfd >= 0) {
      pollfd p{pidfd, POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, 2)));
    }
  }
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return false;
}

// What the child's status says, as the reason after "path: ".
std::string Failure(int status, const ImportLimits& limits) {
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    if (signal == SIGXCPU) return "the reader took more than " + Seconds(limits.seconds) + " s";
    if (signal == SIGKILL) return "the reader was killed (signal 9)";
    return "the reader crashed (signal " + std::to_string(signal) + ")";
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == readerExitOutOfMemory)
    return "the reader ran out of its " + FormatByteSize(limits.memoryBytes) + " memory limit";
  if (WIFEXITED(status)) return "the reader failed (exit " + std::to_string(WEXITSTATUS(status)) + ")";
  return "the reader ended abnormally";
}

// The child's answer, mapped from the memory file.
ModelResult Answer(int memfd, const std::string& path, std::vector<FileStamp>& opened) {
  struct stat info {};
  if (::fstat(memfd, &info) != 0 || info.st_size <= 0) return {nullptr, path + ": the reader gave no answer"};
  const auto size = static_cast<size_t>(info.st_size);
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, memfd, 0);
  if (data == MAP_FAILED) return {nullptr, path + ": the reader's answer cannot be mapped (" + std::strerror(errno) + ")"};
  ModelResult result;
  try {
    result = ParseModelResult(static_cast<const char*>(data), size, path, opened);
  } catch (const std::bad_alloc&) {
    result = {nullptr, path + ": not enough memory for the model"};
  }
  ::munmap(data, size);
  return result;
}

// Spawns the reader on `path`, answering into `memfd`; its pid, or -1 with
// the reason in `error`.
pid_t Spawn(const std::string& path, const std::string& reader, const ImportLimits& limits, int memfd,
            std::string& error) {
  constexpr int childFd = 3;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, memfd, childFd);
  // The reader has nothing to say on the terminal: whatever a crashing
  // library prints would break the host's one-line messages.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const std::string fdText = std::to_string(childFd), memory = std::to_string(limits.memoryBytes),
                    seconds = Seconds(limits.seconds);
  char* argv[] = {const_cast<char*>(reader.c_str()), const_cast<char*>(fdText.c_str()),
                  const_cast<char*>(memory.c_str()),  const_cast<char*>(seconds.c_str()),
                  const_cast<char*>(path.c_str()),     nullptr};
  pid_t pid = -1;
  const int failed = ::posix_spawn(&pid, reader.c_str(), &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    error = path + ": cannot start the mesh reader " + reader + " (" + std::strerror(failed) + ")";
    return -1;
  }
  return pid;
}

ModelResult ReadInChild(const std::string& path, const std::string& reader, const ImportLimits& limits,
                        std::vector<FileStamp>& opened) {
  const std::string refused = CheckModelFile(path);
  if (!refused.empty()) return {nullptr, refused};
  int memfd = ::memfd_create("tessaline-model", MFD_CLOEXEC);
  if (memfd < 0) return {nullptr, path + ": cannot make a memory file for the reader (" + std::strerror(errno) + ")"};
  if (memfd == 3) {  // dup2 onto itself would keep close-on-exec set
    const int moved = ::fcntl(memfd, F_DUPFD_CLOEXEC, 4);
    ::close(memfd);
    memfd = moved;
  }
  const Fd owned(memfd);
  if (memfd < 0) return {nullptr, path + ": cannot make a memory file for the reader"};
  std::string error;
  const pid_t pid = Spawn(path, reader, limits, memfd, error);
  if (pid < 0) return {nullptr, error};
  int status = 0;
  if (!WaitFor(pid, limits.seconds, status))
    return {nullptr, path + ": the reader took more than " + Seconds(limits.seconds) + " s"};
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {nullptr, path + ": " + Failure(status, limits)};
  return Answer(memfd, path, opened);
}

struct Settings {
  std::mutex mutex;
  ImportSettings settings;
};

Settings& Current() {
  static Settings current;
  return current;
}

}  // namespace

ImportLimits DefaultImportLimits() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
  std::uint64_t memory = 4ull << 30;
  if (pages > 0 && pageSize > 0)
    memory = std::min(memory, static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 2);
  return {std::max(memory, minImportMemory), 120.0};
}

bool ParseByteSize(const std::string& text, std::uint64_t& bytes) {
  size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  if (digits == 0 || digits > 15) return false;
  std::string suffix = text.substr(digits);
  for (char& c : suffix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (suffix.size() == 2 && suffix[1] == 'B') suffix.pop_back();
  int shift = 0;
  if (suffix == "K") {
    shift = 10;
  } else if (suffix == "M") {
    shift = 20;
  } else if (suffix == "G") {
    shift = 30;
  } else if (suffix == "T") {
    shift = 40;
  } else if (!suffix.empty() && suffix != "B") {
    return false;
  }
  const std::uint64_t value = std::stoull(text.substr(0, digits));
  if (value > (~std::uint64_t{0} >> (shift + 1))) return false;
  bytes = value << shift;
  return true;
}

std::string FormatByteSize(std::uint64_t bytes) {
  if (bytes > 0 && bytes % (1ull << 30) == 0) return std::to_string(bytes >> 30) + " GB";
  if (bytes > 0 && bytes % (1ull << 20) == 0) return std::to_string(bytes >> 20) + " MB";
  return std::to_string(bytes) + " bytes";
}

std::string ReaderBesideExecutable() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ((ec ? fs::path(".") : self.parent_path()) / "tessaline-import").string();
}

ModelResult ImportIsolated(const std::string& path, const std::string& reader, const ImportLimits& limits) {
  std::vector<FileStamp> opened;
  return ReadInChild(path, reader, limits, opened);
}

void SetImportSettings(const ImportSettings& settings) {
  std::lock_guard<std::mutex> lock(Current().mutex);
  Current().settings = settings;
}

ImportSettings CurrentImportSettings() {
  std::lock_guard<std::mutex> lock(Current().mutex);
  return Current().settings;
}

ModelResult LoadModel(const std::string& path) {
  const ImportSettings settings = CurrentImportSettings();
  if (!settings.isolated) return ImportModel(path);
  return CachedImport(path, [&](const std::string& file, std::vector<FileStamp>& opened) {
    return ReadInChild(file, settings.reader, settings.limits, opened);
  });
}

}  // namespace tess::assets
