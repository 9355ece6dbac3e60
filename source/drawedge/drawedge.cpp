#include "source/drawedge/drawedge.h"

#include "host/c4d_memory.h"

namespace {

constexpr Float degree = 3.141592653589793 / 180.0;

}  // namespace

ShaderData* DrawEdge::Alloc() { return NewObj(DrawEdge); }

Int32 DrawEdge::GetRenderInfo(BaseShader*) { return SHADERINFO_BUMP_SUPPORT; }

INITRENDERRESULT DrawEdge::InitRender(BaseShader* node, const InitRenderStruct& setup) {
  const BaseContainer data = node->GetDataInstance();
  angleMin = data.GetFloat(DRAWEDGE_ANGLE_MIN, 0.0 * degree);
  angleMax = data.GetFloat(DRAWEDGE_ANGLE_MAX, 90.0 * degree);
  width = data.GetFloat(DRAWEDGE_WIDTH, 2.0);
  bumpStep = data.GetFloat(DRAWEDGE_BUMP_STEP, 0.1);
  falloff = SplineData::View(data.GetCustomDataType(DRAWEDGE_FALLOFF, CUSTOMDATATYPE_SPLINE));
  borderEdges = data.GetBool(DRAWEDGE_BORDER_EDGES, true);
  useSelection = data.GetBool(DRAWEDGE_USE_SELECTION, false);
  selectionMode = data.GetInt32(DRAWEDGE_SELECTION_MODE, DRAWEDGE_SELECTION_MODE_ONLY);
  edgeType = data.GetInt32(DRAWEDGE_EDGE_TYPE, DRAWEDGE_EDGE_TYPE_ALL);
  useShader = data.GetBool(DRAWEDGE_USE_DISTORTION, false);
  shaderStrength = data.GetFloat(DRAWEDGE_DISTORTION_STRENGTH, 1.0);
  shaderOffset = data.GetFloat(DRAWEDGE_DISTORTION_OFFSET, 0.0);
  if (useShader) shader = BaseShader(data.GetLink(DRAWEDGE_DISTORTION_SHADER, setup.document, Xbase));
  gradient = Gradient::View(data.GetCustomDataType(DRAWEDGE_GRADIENT, CUSTOMDATATYPE_GRADIENT));
  cache.Empty();

  if (!gradient.IsValid() || !gradient.InitRender(setup)) return INITRENDERRESULT_OUTOFMEMORY;
  if (useShader && shader.IsValid()) return shader.InitRender(setup);
  return INITRENDERRESULT_OK;
}

void DrawEdge::FreeRender(BaseShader*) {
  cache.Empty();
  if (useShader && shader.IsValid()) shader.FreeRender();
  if (gradient.IsValid()) gradient.FreeRender();
}

edges::EdgeRules DrawEdge::Rules() const {
  edges::EdgeRules rules;
  rules.variant = edges::EdgeVariant::DrawEdge;
  rules.angleMin = angleMin;
  rules.angleMax = angleMax;
  rules.reach = width;
  rules.falloff = &falloff;
  rules.useSelection = useSelection;
  rules.selectionMode = selectionMode;
  rules.edgeType = edgeType;
  rules.borderEdges = borderEdges;
  return rules;
}

Bool DrawEdge::EvaluateEdge(Int32 first, Int32 second, Int32 polygon, const HostVector* points,
                            const CPolygon* polygons, const Neighbor& adjacency, const Vector& point,
                            Float& edgeValue, const BaseSelect& selection, Int32 side) {
  return edges::EvaluateEdgeShared(Rules(), first, second, polygon, points, polygons, adjacency, point, edgeValue,
                                   nullptr, selection, side);
}

Float DrawEdge::CombineEdgeValues(Float running, Float edgeValue) { return running * edgeValue; }
