#include "host/c4d_file.h"

#include <utility>

Filename::Filename(const char* text) : handle(FilenameApi() != nullptr ? FilenameApi()->fromText(text) : nullptr) {}

Filename::Filename(const String& text)
    : handle(FilenameApi() != nullptr && text.Handle() != nullptr ? FilenameApi()->fromString(text.Handle())
                                                                  : nullptr) {}

Filename::Filename(const Filename& other) : handle(nullptr) {
  if (FilenameApi() != nullptr && other.handle != nullptr) handle = FilenameApi()->copy(other.handle);
}

Filename::Filename(Filename&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}

Filename& Filename::operator=(Filename other) noexcept {
  std::swap(handle, other.handle);
  return *this;
}

Filename::~Filename() {
  if (handle != nullptr && FilenameApi() != nullptr) FilenameApi()->release(handle);
}

Filename Filename::CopyOf(const HostFilename* path) {
  const HostFilenameApi* api = FilenameApi();
  return Filename(AdoptTag{}, api != nullptr && path != nullptr ? api->copy(path) : nullptr);
}

Filename& Filename::operator+=(const char* component) {
  if (handle != nullptr) FilenameApi()->append(handle, component);
  return *this;
}

Filename Filename::operator+(const char* component) const {
  Filename result(*this);
  result += component;
  return result;
}

bool Filename::IsEmpty() const {
  return handle == nullptr || FilenameApi()->isEmpty(handle) != 0;
}

bool GeFExist(const Filename& path) {
  const HostFilenameApi* api = FilenameApi();
  return api != nullptr && path.Handle() != nullptr && api->fileExists(path.Handle()) != 0;
}
