#include "hostapp/services/console.h"

#include <cstdlib>

#if !defined(_WIN32)
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it to the program
#endif

namespace tess::host {
namespace {

// Starts the desktop's opener without a shell, so no target is ever parsed
// as a command line.
bool SpawnOpener(const std::string& target) {
#if defined(_WIN32)
  (void)target;
  return false;
#else
  const char* argv[] = {"xdg-open", target.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

void Keep(std::deque<std::string>& kept, const std::string& line) {
  kept.push_back(line);
  if (kept.size() > Console::kept) kept.pop_front();
}

}  // namespace

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
  return openForReal ? SpawnOpener(target) : true;
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
