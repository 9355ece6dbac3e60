#include "host/c4d_string.h"

#include <utility>

String::String() : handle(StringApi() != nullptr ? StringApi()->create() : nullptr) {}

String::String(const char* text) : handle(StringApi() != nullptr ? StringApi()->fromText(text) : nullptr) {}

String::String(const String& other)
    : handle(StringApi() != nullptr && other.handle != nullptr ? StringApi()->copy(other.handle) : nullptr) {}

String::String(String&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}

String& String::operator=(const String& other) {
  if (this == &other) return *this;
  const HostStringApi* api = StringApi();
  if (api == nullptr) return *this;
  if (handle == nullptr) handle = api->create();
  if (handle != nullptr && other.handle != nullptr) api->assign(handle, other.handle);
  return *this;
}

String& String::operator=(String&& other) noexcept {
  std::swap(handle, other.handle);
  return *this;
}

String::~String() {
  if (handle != nullptr && StringApi() != nullptr) StringApi()->release(handle);
}

String String::IntToString(Int64 value) {
  return Adopt(StringApi() != nullptr ? StringApi()->fromInt(value) : nullptr);
}

String String::Adopt(HostString* adopted) {
  return String(AdoptTag{}, adopted);
}

String& String::operator+=(const String& other) {
  const HostStringApi* api = StringApi();
  if (api == nullptr || other.handle == nullptr) return *this;
  if (handle == nullptr) handle = api->create();
  if (handle != nullptr) api->append(handle, other.handle);
  return *this;
}

String String::operator+(const String& other) const {
  String result(*this);
  result += other;
  return result;
}

Int32 String::Compare(const String& other) const {
  const HostStringApi* api = StringApi();
  if (api == nullptr || handle == nullptr || other.handle == nullptr) return IsEmpty() && other.IsEmpty() ? 0 : 1;
  return api->compare(handle, other.handle);
}

bool String::IsEmpty() const {
  const HostStringApi* api = StringApi();
  return api == nullptr || handle == nullptr || api->isEmpty(handle) != 0;
}
