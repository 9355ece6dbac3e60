// Which axis of a mesh file points up, and the turn that brings it to the
// scenes' y up.
#ifndef TESSALINE_HOSTAPP_ASSETS_UP_AXIS_H
#define TESSALINE_HOSTAPP_ASSETS_UP_AXIS_H

#include <optional>
#include <string>
#include <vector>

#include "host/c4d_host.h"

namespace tess::assets {

enum class UpAxis { X, Y, Z, NegX, NegY, NegZ };

// "x", "y", "z", "-x", "-y" or "-z"; nothing for anything else.
std::optional<UpAxis> ParseUpAxis(const std::string& text);
std::string UpAxisName(UpAxis up);
// For messages: "x, y, z, -x, -y or -z".
constexpr const char* upAxisNames = "x, y, z, -x, -y or -z";

// The up axis of a format that states none, by its field's custom: z for
// STL, PLY, OFF, 3MF, AMF and Blender files (CAD, printing and Blender work
// z up), y for everything else (OBJ, glTF). `extension` as ".stl", any case.
UpAxis ConventionalUp(const std::string& extension);

// The rotation (rows of a 3x3 matrix) that turns `up` into +y: a proper
// rotation, so polygons keep their winding. z up goes (x, y, z) to
// (x, z, -y), the turn Blender's and glTF's frames differ by.
struct Turn {
  double m[3][3];
  HostVector Apply(const HostVector& p) const {
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z, m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z,
            m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z};
  }
};
Turn TurnToYUp(UpAxis up);

// Turns every point; y up leaves them as they are.
void TurnPoints(std::vector<HostVector>& points, UpAxis up);

// "z up turned to y up"; empty for y.
std::string TurnText(UpAxis up);

}  // namespace tess::assets

#endif
