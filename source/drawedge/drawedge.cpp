#include "source/drawedge/drawedge.h"

#include "host/c4d_memory.h"

ShaderData* DrawEdge::Alloc() {
  return NewObj(DrawEdge);
}

Bool DrawEdge::Init(GeListNode* node) {
  BaseContainer data = node->GetDataInstance();
  data.SetFloat(DRAWEDGE_ANGLE_MIN, DegToRad(0.0));
  data.SetFloat(DRAWEDGE_ANGLE_MAX, DegToRad(90.0));
  data.SetFloat(DRAWEDGE_WIDTH, 2.0);
  data.SetFloat(DRAWEDGE_BUMP_STEP, 0.1);
  edges::StoreDefaultCurve(data, DRAWEDGE_FALLOFF);
  data.SetBool(DRAWEDGE_BORDER_EDGES, true);
  data.SetBool(DRAWEDGE_USE_SELECTION, false);
  data.SetInt32(DRAWEDGE_SELECTION_MODE, DRAWEDGE_SELECTION_MODE_ONLY);
  data.SetInt32(DRAWEDGE_EDGE_TYPE, DRAWEDGE_EDGE_TYPE_ALL);
  data.SetBool(DRAWEDGE_USE_DISTORTION, false);
  data.SetFloat(DRAWEDGE_DISTORTION_STRENGTH, 1.0);
  data.SetFloat(DRAWEDGE_DISTORTION_OFFSET, 1.0);
  Gradient colours = Gradient::Alloc();
  if (colours.IsValid()) {
    colours.InsertKnot(Vector(0.0), 1.0, 0.0, 0.5, 0);
    colours.InsertKnot(Vector(1.0), 1.0, 1.0, 0.5, 0);
    data.SetCustomDataType(DRAWEDGE_GRADIENT, CUSTOMDATATYPE_GRADIENT, colours.Get());
  }
  return true;
}

Bool DrawEdge::GetDEnabling(GeListNode* node, const DescID& id, const HostData* value, Int32 flags,
                            const HostContainer* itemDescription) {
  if (id.FirstId() == DRAWEDGE_SELECTION_MODE) return node->GetDataInstance().GetBool(DRAWEDGE_USE_SELECTION, false);
  return ShaderData::GetDEnabling(node, id, value, flags, itemDescription);
}

Int32 DrawEdge::GetRenderInfo(BaseShader*) {
  return SHADERINFO_BUMP_SUPPORT;
}

INITRENDERRESULT DrawEdge::InitRender(BaseShader* node, const InitRenderStruct& setup) {
  const BaseContainer data = node->GetDataInstance();
  angleMin = data.GetFloat(DRAWEDGE_ANGLE_MIN, DegToRad(0.0));
  angleMax = data.GetFloat(DRAWEDGE_ANGLE_MAX, DegToRad(90.0));
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
  angles = edges::AngleWindow(angleMin, angleMax);
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
  rules.angles = &angles;
  rules.reach = width;
  rules.falloff = &falloff;
  rules.useSelection = useSelection;
  rules.selectionMode = selectionMode;
  rules.edgeType = edgeType;
  rules.borderEdges = borderEdges;
  return rules;
}

Bool DrawEdge::EvaluateEdge(Int32 first, Int32 second, Int32 polygon, const HostVector* points,
                            const CPolygon* polygons, const Neighbor& adjacency, const Vector& point, Float& edgeValue,
                            const BaseSelect& selection, Int32 side, const HostVector* faceNormals) {
  return edges::EvaluateEdgeShared(Rules(), first, second, polygon, points, polygons, adjacency, point, edgeValue,
                                   nullptr, selection, side, faceNormals);
}

Float DrawEdge::CombineEdgeValues(Float running, Float edgeValue) {
  return running * edgeValue;
}

Vector DrawEdge::ShiftedPoint(const edges::Hit& hit, ChannelData* cd) const {
  Vector point = hit.vd->point;
  if (ChannelOf(cd) == CHANNEL_BUMP) {
    const Float step = bumpStep / 10.0;
    switch (BumpSampleOf(cd)) {
      case 0:
        point = point - Vector(hit.vd->bumpU) * step;
        break;
      case 1:
        point = point + Vector(hit.vd->bumpU) * step;
        break;
      case 2:
        point = point - Vector(hit.vd->bumpV) * step;
        break;
      default:
        point = point + Vector(hit.vd->bumpV) * step;
        break;
    }
  }
  return point;
}

Vector DrawEdge::Output(BaseShader*, ChannelData* cd) {
  const Vector background = gradient.CalcGradientPixel(1.0);
  edges::Hit hit;
  if (!edges::FindHit(cd, &hit)) return background;

  edges::SpareTables spare;
  const edges::ObjectTables tables = cache.For(GetRenderThreadIndex(hit.vd), hit.object, spare);
  Vector point = ShiftedPoint(hit, cd);
  const BaseSelect selection = edges::FindEdgeSelection(hit.object, useSelection);
  if (useShader && shader.IsValid()) {
    const Vector c = shader.Sample(cd);
    point += Vector((1.0 - c.x) * shaderStrength + shaderOffset, (1.0 - c.y) * shaderStrength + shaderOffset,
                    (1.0 - c.z) * shaderStrength + shaderOffset);
  }

  Float running = 0.0;
  Int32 hits = 0;
  edges::WalkSides(hit.corners, [&](Int32 first, Int32 second, Int32 side) {
    Float edgeValue = 0.0;
    if (!EvaluateEdge(first, second, hit.polygon, hit.object->points, hit.object->polygons, tables.adjacency, point,
                      edgeValue, selection, side, tables.faceNormals))
      return;
    running = hits == 0 ? edgeValue : CombineEdgeValues(running, edgeValue);
    ++hits;
  });
  if (hits == 0) running = 1.0;
  // A curve may leave [0, 1]; only the combined value is clamped. NaN reads as the line itself.
  if (!(running >= 0.0)) running = 0.0;
  if (running > 1.0) running = 1.0;
  return gradient.CalcGradientPixel(running);
}
