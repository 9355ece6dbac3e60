#include "hostapp/scene/transform.h"

#include <cmath>

namespace tess::render {
namespace {

constexpr double degree = 3.141592653589793 / 180.0;

void Rotate(double& a, double& b, double angle) {
  const double c = std::cos(angle * degree), s = std::sin(angle * degree);
  const double na = c * a - s * b, nb = s * a + c * b;
  a = na;
  b = nb;
}

}  // namespace

HostVector Place(const Placement& placement, const HostVector& p) {
  HostVector q{p.x * placement.scale.x, p.y * placement.scale.y, p.z * placement.scale.z};
  Rotate(q.y, q.z, placement.rotation.x);
  Rotate(q.z, q.x, placement.rotation.y);
  Rotate(q.x, q.y, placement.rotation.z);
  return {q.x + placement.position.x, q.y + placement.position.y, q.z + placement.position.z};
}

}  // namespace tess::render
