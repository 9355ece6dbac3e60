// Typed reads from a JSON document that name the JSON path of whatever is
// wrong: "objects[2].position: expected an array of 3 numbers".
#ifndef TESSALINE_HOSTAPP_SCENE_JSON_ACCESS_H
#define TESSALINE_HOSTAPP_SCENE_JSON_ACCESS_H

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "host/c4d_host.h"

namespace tess::render {

using Json = nlohmann::json;

// Control characters escaped (a newline becomes \n), so that a message
// quoting the user's text stays on one line.
std::string Printable(const std::string& text);

// Thrown inside the readers only; the public entry points turn it into one
// error line.
struct JsonError : std::runtime_error {
  JsonError(const std::string& path, const std::string& reason) : std::runtime_error(path + ": " + reason) {}
};

std::string Member(const std::string& path, const std::string& key);
std::string Item(const std::string& path, size_t index);

// Rejects keys outside `known`, so that typos do not pass silently.
void CheckKeys(const Json& object, const std::string& path, std::initializer_list<const char*> known);
void RequireObject(const Json& j, const std::string& path);

double ReadNumber(const Json& j, const std::string& path);
int ReadInt(const Json& j, const std::string& path, int min, int max);
bool ReadBool(const Json& j, const std::string& path);
std::string ReadString(const Json& j, const std::string& path);
HostVector ReadVec(const Json& j, const std::string& path);

// The member `key` of `object` read by `read`, or `fallback` when absent.
template <typename T, typename Read>
T Optional(const Json& object, const std::string& path, const char* key, T fallback, Read read) {
  const auto it = object.find(key);
  return it == object.end() ? fallback : read(*it, Member(path, key));
}

}  // namespace tess::render

#endif
