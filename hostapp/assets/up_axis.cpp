#include "hostapp/assets/up_axis.h"

#include <algorithm>
#include <cctype>

namespace tess::assets {

std::optional<UpAxis> ParseUpAxis(const std::string& text) {
  static const std::pair<const char*, UpAxis> names[] = {{"x", UpAxis::X},     {"y", UpAxis::Y},
                                                         {"z", UpAxis::Z},     {"-x", UpAxis::NegX},
                                                         {"-y", UpAxis::NegY}, {"-z", UpAxis::NegZ}};
  for (const auto& [name, up] : names)
    if (text == name) return up;
  return std::nullopt;
}

std::string UpAxisName(UpAxis up) {
  switch (up) {
    case UpAxis::X:
      return "x";
    case UpAxis::Y:
      return "y";
    case UpAxis::Z:
      return "z";
    case UpAxis::NegX:
      return "-x";
    case UpAxis::NegY:
      return "-y";
    case UpAxis::NegZ:
      return "-z";
  }
  return "y";
}

UpAxis ConventionalUp(const std::string& extension) {
  std::string e = extension;
  for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const char* const zUp[] = {".stl", ".ply", ".off", ".3mf", ".amf", ".blend"};
  const bool z = std::any_of(std::begin(zUp), std::end(zUp), [&](const char* x) { return e == x; });
  return z ? UpAxis::Z : UpAxis::Y;
}

Turn TurnToYUp(UpAxis up) {
  switch (up) {
    case UpAxis::X:
      return {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};  // (x, y, z) to (-y, x, z)
    case UpAxis::NegX:
      return {{{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}};  // (x, y, z) to (y, -x, z)
    case UpAxis::Z:
      return {{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}};  // (x, y, z) to (x, z, -y)
    case UpAxis::NegZ:
      return {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}};  // (x, y, z) to (x, -z, y)
    case UpAxis::NegY:
      return {{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};  // half a turn about x
    case UpAxis::Y:
      break;
  }
  return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
}

void TurnPoints(std::vector<HostVector>& points, UpAxis up) {
  if (up == UpAxis::Y) return;
  const Turn turn = TurnToYUp(up);
  for (HostVector& p : points) p = turn.Apply(p);
}

std::string TurnText(UpAxis up) {
  return up == UpAxis::Y ? std::string() : UpAxisName(up) + " up turned to y up";
}

}  // namespace tess::assets
