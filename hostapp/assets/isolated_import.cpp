#include "hostapp/assets/isolated_import.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "hostapp/assets/header_checks.h"
#include "hostapp/assets/import_cache.h"
#include "hostapp/assets/model_wire.h"

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

// How the reader's run ended, as far as the host waited for it.
enum class Ending { Answered, Ended, TimedOut };

// Waits until the reader says it has answered (a byte on the `done` pipe),
// ends without saying so (the pipe closes), or outlives the deadline. The
// host reads the answer while the reader's exit frees its memory.
Ending WaitForReader(int done, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return Ending::TimedOut;
    pollfd p{done, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
    if (ready < 0 && errno != EINTR) return Ending::Ended;
    if (ready <= 0) continue;
    char byte = 0;
    ssize_t n = 0;
    while ((n = ::read(done, &byte, 1)) < 0 && errno == EINTR) {
    }
    return n == 1 ? Ending::Answered : Ending::Ended;
  }
}

int Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// What the reader's exit status says, as the reason after "path: ".
std::string Failure(int status, const ImportLimits& limits) {
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    if (signal == SIGXCPU) return "the reader took more than " + Seconds(limits.seconds) + " s";
    // Not by the host, which kills only past the time limit: the system's
    // out-of-memory killer, as a rule, when the machine has less memory free
    // than the limit allows.
    if (signal == SIGKILL) return "the reader was killed (signal 9, the system may have run out of memory)";
    return "the reader crashed (signal " + std::to_string(signal) + ")";
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == readerExitOutOfMemory)
    return "the reader ran out of its " + FormatByteSize(limits.memoryBytes) + " memory limit";
  if (WIFEXITED(status)) return "the reader gave no answer (exit " + std::to_string(WEXITSTATUS(status)) + ")";
  return "the reader ended abnormally";
}

// The reader's answer, mapped from the memory file. Sealed first, so that
// nothing can change it once it is checked, even a reader that goes on
// running: the model is used where it lies, for as long as it lives.
ModelResult Answer(int memfd, const std::string& path, std::vector<FileStamp>& opened) {
  if (::fcntl(memfd, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0)
    return {nullptr, path + ": the reader's answer cannot be sealed (" + std::strerror(errno) + ")"};
  struct stat info {};
  if (::fstat(memfd, &info) != 0 || info.st_size <= 0) return {nullptr, path + ": the reader gave no answer"};
  const auto size = static_cast<size_t>(info.st_size);
  // Populated at once: one call maps the pages rather than a fault each.
  void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_SHARED | MAP_POPULATE, memfd, 0);
  if (mapped == MAP_FAILED)
    return {nullptr, path + ": the reader's answer cannot be mapped (" + std::strerror(errno) + ")"};
  const std::shared_ptr<const char> data(static_cast<const char*>(mapped),
                                         [size](const char* p) { ::munmap(const_cast<char*>(p), size); });
  try {
    return ParseModelResult(data, size, path, opened);
  } catch (const std::bad_alloc&) {
    return {nullptr, path + ": not enough memory for the model"};
  }
}

// The reader's environment: the host's, with glibc's allocator told to back
// its large blocks with huge pages. A mesh of millions of points is hundreds
// of megabytes that the reader makes and drops at once; in pages of 4 kB that
// is tens of thousands of faults, more than the read itself costs.
std::vector<std::string> ReaderEnvironment() {
  constexpr const char* tunable = "glibc.malloc.hugetlb=1";
  std::vector<std::string> env;
  bool merged = false;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    std::string entry = *e;
    if (entry.rfind("GLIBC_TUNABLES=", 0) == 0 && !merged) {
      entry += entry.size() > std::strlen("GLIBC_TUNABLES=") ? std::string(":") + tunable : tunable;
      merged = true;
    }
    env.push_back(std::move(entry));
  }
  if (!merged) env.push_back(std::string("GLIBC_TUNABLES=") + tunable);
  return env;
}

// Spawns the reader on `path`, answering into `memfd` and saying so on
// `done`; its pid, or -1 with the reason in `error`.
pid_t Spawn(const std::string& path, std::optional<UpAxis> up, const std::string& reader, const ImportLimits& limits,
            int memfd, int done, std::string& error) {
  constexpr int answerFd = 3, doneFd = 4;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, memfd, answerFd);
  posix_spawn_file_actions_adddup2(&actions, done, doneFd);
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
  const std::string answerText = std::to_string(answerFd), doneText = std::to_string(doneFd),
                    memory = std::to_string(limits.memoryBytes), seconds = Seconds(limits.seconds),
                    upText = up ? UpAxisName(*up) : "file";
  char* argv[] = {const_cast<char*>(reader.c_str()),   const_cast<char*>(answerText.c_str()),
                  const_cast<char*>(doneText.c_str()), const_cast<char*>(memory.c_str()),
                  const_cast<char*>(seconds.c_str()),  const_cast<char*>(upText.c_str()),
                  const_cast<char*>(path.c_str()),     nullptr};
  std::vector<std::string> env = ReaderEnvironment();
  std::vector<char*> envp;
  envp.reserve(env.size() + 1);
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int failed = ::posix_spawn(&pid, reader.c_str(), &actions, &attributes, argv, envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    error = path + ": cannot start the mesh reader " + reader + " (" + std::strerror(failed) + ")";
    return -1;
  }
  return pid;
}

// A descriptor at 5 or above, close-on-exec: dup2 onto the reader's 3 or 4
// from itself would keep close-on-exec set.
int Above4(int fd) {
  if (fd < 0 || fd > 4) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 5);
  ::close(fd);
  return moved;
}

ModelResult ReadInChild(const std::string& path, std::optional<UpAxis> up, const std::string& reader,
                        const ImportLimits& limits, std::vector<FileStamp>& opened) {
  const std::string refused = CheckModelFile(path);
  if (!refused.empty()) return {nullptr, refused};
  const Fd memfd(Above4(::memfd_create("tessaline-model", MFD_CLOEXEC | MFD_ALLOW_SEALING)));
  int pipe[2] = {-1, -1};
  if (memfd.fd < 0 || ::pipe2(pipe, O_CLOEXEC) != 0)
    return {nullptr, path + ": cannot make a memory file for the reader (" + std::strerror(errno) + ")"};
  const Fd doneRead(Above4(pipe[0]));
  Fd doneWrite(Above4(pipe[1]));
  if (doneRead.fd < 0 || doneWrite.fd < 0) return {nullptr, path + ": cannot make a pipe for the reader"};
  std::string error;
  const pid_t pid = Spawn(path, up, reader, limits, memfd.fd, doneWrite.fd, error);
  if (pid < 0) return {nullptr, error};
  ::close(doneWrite.fd);  // the pipe closes when the reader ends
  doneWrite.fd = -1;
  const Ending ending = WaitForReader(doneRead.fd, limits.seconds);
  if (ending == Ending::TimedOut) {
    ::kill(pid, SIGKILL);
    Reap(pid);
    return {nullptr, path + ": the reader took more than " + Seconds(limits.seconds) + " s"};
  }
  if (ending == Ending::Ended) return {nullptr, path + ": " + Failure(Reap(pid), limits)};
  ModelResult result = Answer(memfd.fd, path, opened);
  // It answered, and the answer is sealed: whatever it does now changes
  // nothing. Its exit, which frees all it read, is not waited for.
  ::kill(pid, SIGKILL);
  std::thread([pid] { Reap(pid); }).detach();
  return result;
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

ModelResult ImportIsolated(const std::string& path, std::optional<UpAxis> up, const std::string& reader,
                           const ImportLimits& limits) {
  std::vector<FileStamp> opened;
  return ReadInChild(path, up, reader, limits, opened);
}

void SetImportSettings(const ImportSettings& settings) {
  std::lock_guard<std::mutex> lock(Current().mutex);
  Current().settings = settings;
}

ImportSettings CurrentImportSettings() {
  std::lock_guard<std::mutex> lock(Current().mutex);
  return Current().settings;
}

ModelResult LoadModel(const std::string& path, std::optional<UpAxis> up) {
  const ImportSettings settings = CurrentImportSettings();
  if (!settings.isolated) return ImportModel(path, up);
  return CachedImport(path, up, [&](const std::string& file, std::vector<FileStamp>& opened) {
    return ReadInChild(file, up, settings.reader, settings.limits, opened);
  });
}

}  // namespace tess::assets
