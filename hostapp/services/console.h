// The host's console and the system services a module can ask for: message
// boxes and opening files. The newest lines are kept for the caller: a server
// that runs for days must not keep every line it printed.
#ifndef TESSALINE_HOSTAPP_SERVICES_CONSOLE_H
#define TESSALINE_HOSTAPP_SERVICES_CONSOLE_H

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tess::host {

// While one lives on a thread, the message boxes and targets to open that
// calls on that thread ask for come to it as well: a caller learns what its
// own call caused, not what another thread's printed meanwhile.
class ConsoleCapture {
 public:
  ConsoleCapture();
  ~ConsoleCapture();
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  std::vector<std::string> messageBoxes;
  std::vector<std::string> opened;

 private:
  friend class Console;
  static ConsoleCapture*& Current();
  ConsoleCapture* outer;
};

// Hands the target to the desktop's opener and returns without waiting for
// it; false when no opener could be started.
bool OpenOnDesktop(const std::string& target);

class Console {
 public:
  void Print(const std::string& line);
  bool Open(const std::string& target);
  int32_t MessageBox(const std::string& text, int32_t flags);
  // Host-side notes such as resource warnings; never the module's output.
  void Note(const std::string& line);

  // The newest lines and notes, oldest first; at most `kept` of each.
  static constexpr size_t kept = 1000;
  std::vector<std::string> Lines() const;
  std::vector<std::string> Notes() const;
  void Clear();

  // Where lines go as they arrive; null keeps them only.
  std::function<void(const std::string&)> sink;
  // Hands opened targets to the desktop's opener as well.
  bool openForReal = false;

 private:
  mutable std::mutex mutex;
  std::deque<std::string> lines;
  std::deque<std::string> notes;
};

}  // namespace tess::host

#endif
