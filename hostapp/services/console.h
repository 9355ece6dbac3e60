// The host's console and the system services a module can ask for: message
// boxes and opening files. Everything shown is also kept for the caller.
#ifndef TESSALINE_HOSTAPP_SERVICES_CONSOLE_H
#define TESSALINE_HOSTAPP_SERVICES_CONSOLE_H

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tess::host {

class Console {
 public:
  void Print(const std::string& line);
  bool Open(const std::string& target);
  int32_t MessageBox(const std::string& text, int32_t flags);
  // Host-side notes such as resource warnings; never the module's output.
  void Note(const std::string& line);

  std::vector<std::string> Lines() const;
  std::vector<std::string> Notes() const;
  void Clear();

  // Where lines go as they arrive; null keeps them only.
  std::function<void(const std::string&)> sink;
  // Hands opened targets to the desktop's opener as well.
  bool openForReal = false;

 private:
  mutable std::mutex mutex;
  std::vector<std::string> lines;
  std::vector<std::string> notes;
};

}  // namespace tess::host

#endif
