// Console, resources and the system's opening services.
#ifndef TESSALINE_HOST_C4D_GENERAL_H
#define TESSALINE_HOST_C4D_GENERAL_H

#include "host/c4d_file.h"

// Prints one line in the host's console.
void GePrint(const String& line);

// Modal message box; flags 48 = OK button with an exclamation icon.
constexpr Int32 GEMB_OK_EXCLAMATION = 48;
Int32 GeOutString(const String& text, Int32 flags);

// Opens a file or a web address with the system.
bool GeExecuteFile(const Filename& target);

// The module's string tables and descriptions, as loaded by the host.
class GeResource {
 public:
  GeResource() = default;
  GeResource(const GeResource&) = delete;
  GeResource& operator=(const GeResource&) = delete;
  // The host may be gone by the time the module is unloaded, so releasing is
  // left to Free, which the module's end calls.
  ~GeResource() = default;

  bool Init(const Filename& moduleFolder);
  void Free();
  bool IsLoaded() const { return handle != nullptr; }
  // The string with this ID; empty when missing or nothing is loaded.
  String LoadString(Int32 id) const;
  const HostResource* Handle() const { return handle; }

 private:
  HostResource* handle = nullptr;
};

#endif
