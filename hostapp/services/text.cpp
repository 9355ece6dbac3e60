// Strings, file paths, the console and the system's opening services.
#include <filesystem>
#include <string>

#include "hostapp/services/handles.h"
#include "hostapp/services/services.h"

namespace tess::host {
namespace {

const char* Safe(const char* text) {
  return text != nullptr ? text : "";
}

HostString* NewString(std::string text) {
  return new HostString{std::move(text)};
}

}  // namespace

std::string TextOf(const HostString* s) {
  return s != nullptr ? s->text : std::string();
}
std::string PathOf(const HostFilename* f) {
  return f != nullptr ? f->path : std::string();
}
HostFilename* NewFilename(const std::string& path) {
  return new HostFilename{path};
}
void ReleaseFilename(HostFilename* f) {
  delete f;
}

const HostStringApi* StringTable() {
  static const HostStringApi table{
      [] { return NewString(""); },
      [](const char* text) { return NewString(Safe(text)); },
      [](int64_t value) { return NewString(std::to_string(value)); },
      [](const HostString* s) { return NewString(TextOf(s)); },
      [](HostString* dst, const HostString* src) {
        if (dst != nullptr) dst->text = TextOf(src);
      },
      [](HostString* dst, const HostString* src) {
        if (dst != nullptr) dst->text += TextOf(src);
      },
      [](const HostString* a, const HostString* b) {
        const int c = TextOf(a).compare(TextOf(b));
        return static_cast<int32_t>(c < 0 ? -1 : c > 0 ? 1 : 0);
      },
      [](const HostString* s) { return static_cast<HostBool>(s == nullptr || s->text.empty()); },
      [](HostString* s) { delete s; },
  };
  return &table;
}

const HostFilenameApi* FilenameTable() {
  static const HostFilenameApi table{
      [](const char* text) { return NewFilename(Safe(text)); },
      [](const HostString* s) { return NewFilename(TextOf(s)); },
      [](const HostFilename* f) { return NewFilename(PathOf(f)); },
      [](HostFilename* f, const char* component) {
        if (f == nullptr) return;
        f->path = f->path.empty() ? std::string(Safe(component))
                                  : (std::filesystem::path(f->path) / Safe(component)).string();
      },
      [](const HostFilename* f) { return static_cast<HostBool>(f == nullptr || f->path.empty()); },
      [](const HostFilename* f) {
        std::error_code ec;
        return static_cast<HostBool>(f != nullptr && std::filesystem::is_regular_file(f->path, ec));
      },
      [](HostFilename* f) { delete f; },
  };
  return &table;
}

const HostConsoleApi* ConsoleTable() {
  static const HostConsoleApi table{
      [](const HostString* line) { Services().console.Print(TextOf(line)); },
  };
  return &table;
}

const HostOpenApi* OpenTable() {
  static const HostOpenApi table{
      [](const HostFilename* target) { return Services().console.Open(PathOf(target)) ? 1 : 0; },
      [](const HostString* text, int32_t flags) { return Services().console.MessageBox(TextOf(text), flags); },
  };
  return &table;
}

}  // namespace tess::host
