// The per-edge evaluation both edge shaders share: does an edge act on the
// sample, with which edge value, and (Soft Edge) how it bends the normal.
#ifndef TESSALINE_SOURCE_EDGES_EDGE_EVALUATION_H
#define TESSALINE_SOURCE_EDGES_EDGE_EVALUATION_H

#include "host/c4d_basecontainer.h"
#include "host/c4d_baseobject.h"
#include "host/c4d_customdata.h"
#include "host/c4d_neighbor.h"
#include "source/edges/edge_math.h"

namespace edges {

enum SelectionMode : Int32 { SELECTION_ADD = 0, SELECTION_EXCLUDE = 1, SELECTION_ONLY = 2, SELECTION_RESTRICT = 3 };
enum EdgeType : Int32 { EDGE_TYPE_ALL = 0, EDGE_TYPE_CONCAVE = 1, EDGE_TYPE_CONVEX = 2 };

// The two shaders differ in a few rules only.
enum class EdgeVariant {
  // Bends the normal; an edge needs a polygon on both sides; centres move by
  // the unit normals in the edge-type test.
  SoftEdge,
  // Writes the edge value only; the selected-only mode is decided before the
  // neighbours are looked up; border edges may be drawn; centres move by 0.001.
  DrawEdge,
};

// A shader's render-time settings as the evaluation reads them.
struct EdgeRules {
  EdgeVariant variant = EdgeVariant::SoftEdge;
  const AngleWindow* angles = nullptr;
  Float reach = 0.0;
  const SplineData* falloff = nullptr;
  Bool useSelection = false;
  Int32 selectionMode = SELECTION_ONLY;
  Int32 edgeType = EDGE_TYPE_ALL;
  Bool borderEdges = false;  // Draw Edge only
};

// Stores a new curve made by the host's two-point preset under id: the
// straight line from (0, 0) to (1, 1) that a new node's profile starts as.
// Without a curve library nothing is stored.
void StoreDefaultCurve(BaseContainer& data, Int32 id);

// The falloff curve's value at x. Without a curve the shader falls back to
// the straight line a new node starts with, clamped like a curve.
Float FalloffValue(const SplineData* falloff, Float x);

// Evaluates the side (first, second) of polygon `polygon` for the sample at
// `point`. On true, edgeValue holds the value; with Soft Edge, bentNormal
// (which comes in as the shading normal) holds the bent normal. faceNormals,
// when given, holds the normal of every polygon, as FaceNormal makes it.
bool EvaluateEdgeShared(const EdgeRules& rules, Int32 first, Int32 second, Int32 polygon, const HostVector* points,
                        const CPolygon* polygons, const Neighbor& adjacency, const Vector& point, Float& edgeValue,
                        Vector* bentNormal, const BaseSelect& selection, Int32 side,
                        const HostVector* faceNormals = nullptr);

}  // namespace edges

#endif
