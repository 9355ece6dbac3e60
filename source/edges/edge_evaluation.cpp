#include "source/edges/edge_evaluation.h"

#include <algorithm>

namespace edges {
namespace {

// The value along the edge's profile at distance d. A reach of 0 admits only
// points on the edge line; they are read at the start of the curve.
Float EdgeValueAt(const EdgeRules& rules, Float d) {
  return FalloffValue(rules.falloff, rules.reach > 0.0 ? d / rules.reach : 0.0);
}

// Moves n towards the midpoint of n and the normal of the polygon on the
// other side of the edge: fully on the edge line, not at all at the reach.
void BendNormal(Vector& n, Int32 polygon, Int32 f, const Vector& nf, const Vector& ng, Float edgeValue) {
  const Float t = 1.0 - edgeValue;
  const Vector m = polygon == f ? Lerp(n, ng, 0.5) : Lerp(nf, n, 0.5);
  n = Lerp(n, m, t);
}

// The edge-type test compares the distance of the two face centres before
// and after moving each along its normal: apart on a convex edge, together on a
// concave one.
bool PassesEdgeType(Int32 edgeType, Float shift, const Vector& cf, const Vector& cg, const Vector& nf,
                    const Vector& ng) {
  const Float d0 = Length(cg - cf);
  const Float d1 = Length((cg + ng * shift) - (cf + nf * shift));
  if (edgeType == EDGE_TYPE_CONCAVE && d1 > d0) return false;
  if (edgeType == EDGE_TYPE_CONVEX && d0 > d1) return false;
  return true;
}

Vector NormalOf(const HostVector* faceNormals, const HostVector* points, const CPolygon* polygons, Int32 p) {
  return faceNormals != nullptr ? Vector(faceNormals[p]) : FaceNormal(points, polygons[p]);
}

}  // namespace

void StoreDefaultCurve(BaseContainer& data, Int32 id) {
  SplineData curve = SplineData::Alloc();
  if (!curve.IsValid()) return;
  curve.MakeTwoPointPreset(2);
  data.SetCustomDataType(id, CUSTOMDATATYPE_SPLINE, curve.Get());
}

Float FalloffValue(const SplineData* falloff, Float x) {
  if (falloff == nullptr || !falloff->IsValid()) return std::isnan(x) ? 0.0 : std::clamp(x, 0.0, 1.0);
  return falloff->GetPoint(x).y;
}

bool EvaluateEdgeShared(const EdgeRules& rules, Int32 first, Int32 second, Int32 polygon, const HostVector* points,
                        const CPolygon* polygons, const Neighbor& adjacency, const Vector& point, Float& edgeValue,
                        Vector* bentNormal, const BaseSelect& selection, Int32 side, const HostVector* faceNormals) {
  const bool soft = rules.variant == EdgeVariant::SoftEdge;
  const Vector a = points[first];
  const Float d = Length(LineOffset(a, a - points[second], point));
  if (!(rules.reach >= d)) return false;  // a NaN distance or reach rejects too

  const bool hasSelection = rules.useSelection && selection.IsValid();
  const Int32 edge = EdgeNumber(polygon, side);
  if (!soft && hasSelection && rules.selectionMode == SELECTION_ONLY) {
    if (!selection.IsSelected(edge)) return false;
    edgeValue = EdgeValueAt(rules, d);
    return true;
  }

  Int32 f = -1, g = -1;
  adjacency.GetEdgePolys(first, second, &f, &g);
  const bool border = f < 0 || g < 0;
  bool forced = false;
  if (border) {
    if (soft || !rules.borderEdges) return false;
    forced = true;
  }
  const Vector nf = f >= 0 ? NormalOf(faceNormals, points, polygons, f) : Vector();
  const Vector ng = g >= 0 ? NormalOf(faceNormals, points, polygons, g) : Vector();

  if (soft) {
    edgeValue = EdgeValueAt(rules, d);
    if (hasSelection && rules.selectionMode == SELECTION_ONLY) {
      if (!selection.IsSelected(edge)) return false;
      BendNormal(*bentNormal, polygon, f, nf, ng, edgeValue);
      return true;
    }
  }

  if (hasSelection) {
    const bool selected = selection.IsSelected(edge);
    if (rules.selectionMode == SELECTION_ADD && selected) forced = true;
    if (rules.selectionMode == SELECTION_EXCLUDE && selected) return false;
    if (rules.selectionMode == SELECTION_RESTRICT && !selected) return false;
  }

  if (rules.edgeType != EDGE_TYPE_ALL && !border) {
    const Float shift = soft ? 1.0 : 0.001;
    if (!PassesEdgeType(rules.edgeType, shift, FaceCentre(points, polygons[f]), FaceCentre(points, polygons[g]), nf,
                        ng))
      return false;
  }

  if (!forced && !rules.angles->Contains(nf, ng)) return false;

  if (soft) {
    BendNormal(*bentNormal, polygon, f, nf, ng, edgeValue);
  } else {
    edgeValue = EdgeValueAt(rules, d);
  }
  return true;
}

}  // namespace edges
