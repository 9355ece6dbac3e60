// The host's string, owned by its holder.
#ifndef TESSALINE_HOST_C4D_STRING_H
#define TESSALINE_HOST_C4D_STRING_H

#include "host/c4d_api.h"

class String {
 public:
  String();
  String(const char* text);  // NOLINT: implicit, like the host's own string
  String(const String& other);
  String(String&& other) noexcept;
  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;
  ~String();

  static String IntToString(Int64 value);
  // Takes over a string the host just created.
  static String Adopt(HostString* adopted);

  String& operator+=(const String& other);
  String operator+(const String& other) const;
  Int32 Compare(const String& other) const;  // 0 = equal
  bool operator==(const String& other) const { return Compare(other) == 0; }
  bool IsEmpty() const;
  bool Content() const { return !IsEmpty(); }

  const HostString* Handle() const { return handle; }

 private:
  struct AdoptTag {};
  String(AdoptTag, HostString* adopted) : handle(adopted) {}

  HostString* handle;
};

#endif
