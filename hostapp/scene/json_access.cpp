#include "hostapp/scene/json_access.h"

#include <cmath>

namespace tess::render {

std::string Printable(const std::string& text) {
  static const char* const hex = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += hex[byte >> 4];
      out += hex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Member(const std::string& path, const std::string& key) {
  return path.empty() ? key : path + "." + key;
}

std::string Item(const std::string& path, size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

void RequireObject(const Json& j, const std::string& path) {
  if (!j.is_object()) throw JsonError(path.empty() ? "(top level)" : path, "expected an object");
}

void CheckKeys(const Json& object, const std::string& path, std::initializer_list<const char*> known) {
  RequireObject(object, path);
  for (const auto& item : object.items()) {
    bool found = false;
    for (const char* k : known) found = found || item.key() == k;
    if (!found) throw JsonError(Member(path, item.key()), "unknown key");
  }
}

double ReadNumber(const Json& j, const std::string& path) {
  if (!j.is_number()) throw JsonError(path, "expected a number");
  const double v = j.get<double>();
  if (!std::isfinite(v)) throw JsonError(path, "expected a finite number");
  return v;
}

int ReadInt(const Json& j, const std::string& path, int min, int max) {
  if (!j.is_number_integer()) throw JsonError(path, "expected an integer");
  const auto v = j.get<int64_t>();
  if (v < min || v > max)
    throw JsonError(path, "expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
  return static_cast<int>(v);
}

bool ReadBool(const Json& j, const std::string& path) {
  if (!j.is_boolean()) throw JsonError(path, "expected true or false");
  return j.get<bool>();
}

std::string ReadString(const Json& j, const std::string& path) {
  if (!j.is_string()) throw JsonError(path, "expected a string");
  return j.get<std::string>();
}

HostVector ReadVec(const Json& j, const std::string& path) {
  if (!j.is_array() || j.size() != 3) throw JsonError(path, "expected an array of 3 numbers");
  return {ReadNumber(j[0], Item(path, 0)), ReadNumber(j[1], Item(path, 1)), ReadNumber(j[2], Item(path, 2))};
}

}  // namespace tess::render
