#include "hostapp/services/console.h"

#include <cstdlib>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it to the program
#endif

namespace tess::host {
namespace {

// Starts the desktop's opener without a shell, so no target is ever parsed
// as a command line. The opener gets no descriptor of ours but the standard
// three (a server's listening socket stays the server's), and a session of
// its own, so that a browser it starts outlives neither our terminal's
// signals nor holds our sockets.
bool SpawnOpener(const std::string& target, bool wait) {
#if defined(_WIN32)
  (void)target;
  (void)wait;
  return false;
#else
  const char* argv[] = {"xdg-open", target.c_str(), nullptr};
  posix_spawn_file_actions_t files;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&files);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&files, 3);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  const bool started =
      posix_spawnp(&pid, "xdg-open", &files, &attributes, const_cast<char* const*>(argv), environ) == 0;
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  if (!started) return false;
  if (!wait) {
    // Reaped on the side: the caller goes on serving meanwhile.
    std::thread([pid] {
      int status = 0;
      waitpid(pid, &status, 0);
    }).detach();
    return true;
  }
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

void Keep(std::deque<std::string>& kept, const std::string& line) {
  kept.push_back(line);
  if (kept.size() > Console::kept) kept.pop_front();
}

}  // namespace

bool OpenOnDesktop(const std::string& target) {
  return SpawnOpener(target, false);
}

ConsoleCapture*& ConsoleCapture::Current() {
  thread_local ConsoleCapture* current = nullptr;
  return current;
}

ConsoleCapture::ConsoleCapture() : outer(Current()) {
  Current() = this;
}

ConsoleCapture::~ConsoleCapture() {
  Current() = outer;
}

void Console::Print(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex);
  Keep(lines, line);
  if (sink) sink(line);
}

bool Console::Open(const std::string& target) {
  if (ConsoleCapture* capture = ConsoleCapture::Current()) capture->opened.push_back(target);
  Print("open: " + target);
  return openForReal ? SpawnOpener(target, true) : true;
}

int32_t Console::MessageBox(const std::string& text, int32_t) {
  if (ConsoleCapture* capture = ConsoleCapture::Current()) capture->messageBoxes.push_back(text);
  Print("message box: " + text);
  return 1;
}

void Console::Note(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex);
  Keep(notes, line);
}

std::vector<std::string> Console::Lines() const {
  std::lock_guard<std::mutex> lock(mutex);
  return {lines.begin(), lines.end()};
}

std::vector<std::string> Console::Notes() const {
  std::lock_guard<std::mutex> lock(mutex);
  return {notes.begin(), notes.end()};
}

void Console::Clear() {
  std::lock_guard<std::mutex> lock(mutex);
  lines.clear();
  notes.clear();
}

}  // namespace tess::host
