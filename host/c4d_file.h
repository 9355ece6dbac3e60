// The host's file path, owned by its holder.
#ifndef TESSALINE_HOST_C4D_FILE_H
#define TESSALINE_HOST_C4D_FILE_H

#include "host/c4d_string.h"

class Filename {
 public:
  Filename() : Filename("") {}
  explicit Filename(const char* text);
  explicit Filename(const String& text);
  Filename(const Filename& other);
  Filename(Filename&& other) noexcept;
  Filename& operator=(Filename other) noexcept;
  ~Filename();

  // Takes over a copy of a path that belongs to the host.
  static Filename CopyOf(const HostFilename* path);

  // Extends the path by one component.
  Filename& operator+=(const char* component);
  Filename operator+(const char* component) const;
  bool IsEmpty() const;

  const HostFilename* Handle() const { return handle; }

 private:
  struct AdoptTag {};
  Filename(AdoptTag, HostFilename* adopted) : handle(adopted) {}

  HostFilename* handle;
};

// True when the path names an existing file (not a folder).
bool GeFExist(const Filename& path);

#endif
