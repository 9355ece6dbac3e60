#include "source/softedge/softedge.h"

#include "host/c4d_memory.h"

namespace {

// Shows or hides one group of the panel, unless the host asks about a single
// parameter that the group is no part of.
void SetDescriptionGroupVisible(Description* description, const DescID* single, Int32 group, Bool visible) {
  const DescID id(DescLevel(group, DTYPE_GROUP, 0));
  if (single != nullptr && !id.IsPartOf(*single)) return;
  BaseContainer properties = description->GetParameterI(id);
  if (properties.IsValid()) properties.SetBool(DESC_HIDE, !visible);
}

}  // namespace

ShaderData* SoftEdge::Alloc() {
  return NewObj(SoftEdge);
}

Bool SoftEdge::Init(GeListNode* node) {
  BaseContainer data = node->GetDataInstance();
  data.SetFloat(SOFTEDGE_ANGLE_MIN, DegToRad(60.0));
  data.SetFloat(SOFTEDGE_ANGLE_MAX, DegToRad(90.0));
  data.SetFloat(SOFTEDGE_RADIUS, 2.0);
  edges::StoreDefaultCurve(data, SOFTEDGE_PROFILE);
  data.SetBool(SOFTEDGE_USE_SELECTION, false);
  data.SetInt32(SOFTEDGE_SELECTION_MODE, SOFTEDGE_SELECTION_MODE_ONLY);
  data.SetInt32(SOFTEDGE_EDGE_TYPE, SOFTEDGE_EDGE_TYPE_ALL);
  data.SetInt32(SOFTEDGE_METHOD, SOFTEDGE_METHOD_EDGES);
  data.SetInt32(SOFTEDGE_SAMPLES, 32);
  data.SetBool(SOFTEDGE_SAME_OBJECT, false);
  return true;
}

Bool SoftEdge::GetDDescription(GeListNode* node, Description* description, Int32& flags) {
  if (!description->LoadDescription(node)) return false;
  const DescID* single = description->GetSingleDescID();
  const Int32 chosen = node->GetDataInstance().GetInt32(SOFTEDGE_METHOD, SOFTEDGE_METHOD_EDGES);
  SetDescriptionGroupVisible(description, single, SOFTEDGE_GROUP_EDGE, chosen == SOFTEDGE_METHOD_EDGES);
  SetDescriptionGroupVisible(description, single, SOFTEDGE_GROUP_SAMPLING, chosen == SOFTEDGE_METHOD_SAMPLING);
  flags |= DESCFLAGS_DESC_LOADED;
  return ShaderData::GetDDescription(node, description, flags);
}

Bool SoftEdge::GetDEnabling(GeListNode* node, const DescID& id, const HostData* value, Int32 flags,
                            const HostContainer* itemDescription) {
  if (id.FirstId() == SOFTEDGE_SELECTION_MODE) return node->GetDataInstance().GetBool(SOFTEDGE_USE_SELECTION, false);
  return ShaderData::GetDEnabling(node, id, value, flags, itemDescription);
}

Int32 SoftEdge::GetRenderInfo(BaseShader*) {
  return SHADERINFO_BUMP_SUPPORT;
}

INITRENDERRESULT SoftEdge::InitRender(BaseShader* shader, const InitRenderStruct&) {
  const BaseContainer data = shader->GetDataInstance();
  angleMin = data.GetFloat(SOFTEDGE_ANGLE_MIN, DegToRad(60.0));
  angleMax = data.GetFloat(SOFTEDGE_ANGLE_MAX, DegToRad(90.0));
  radius = data.GetFloat(SOFTEDGE_RADIUS, 2.0);
  profile = SplineData::View(data.GetCustomDataType(SOFTEDGE_PROFILE, CUSTOMDATATYPE_SPLINE));
  useSelection = data.GetBool(SOFTEDGE_USE_SELECTION, false);
  selectionMode = data.GetInt32(SOFTEDGE_SELECTION_MODE, SOFTEDGE_SELECTION_MODE_ONLY);
  edgeType = data.GetInt32(SOFTEDGE_EDGE_TYPE, SOFTEDGE_EDGE_TYPE_ALL);
  method = data.GetInt32(SOFTEDGE_METHOD, SOFTEDGE_METHOD_EDGES);
  sampleCount = data.GetInt32(SOFTEDGE_SAMPLES, 16);
  sameObject = data.GetBool(SOFTEDGE_SAME_OBJECT, false);

  angles = edges::AngleWindow(angleMin, angleMax);
  cache.Empty();
  if (method == SOFTEDGE_METHOD_SAMPLING) {
    for (Int32 s = 0; s < edges::cacheSlots; ++s)
      samplers[s] = Sampler(sampleCount, static_cast<std::uint32_t>(666 * s), SAMPLER_MULTIJITTERED);
  }
  return INITRENDERRESULT_OK;
}

void SoftEdge::FreeRender(BaseShader*) {
  cache.Empty();
  for (Sampler& sampler : samplers) sampler.Clear();
}

Vector SoftEdge::Output(BaseShader*, ChannelData* cd) {
  const Vector fallback(1.0);
  if (ChannelOf(cd) != CHANNEL_NORMAL) return fallback;
  const VolumeData* vd = cd->vd;
  if (vd == nullptr || vd->object == nullptr || vd->context == nullptr || vd->object->polygonCount == 0)
    return fallback;
  switch (method) {
    case SOFTEDGE_METHOD_EDGES:
      return EdgeOutput(cd);
    case SOFTEDGE_METHOD_SAMPLING:
      return SampledOutput(cd);
    default:
      return Vector();
  }
}

edges::EdgeRules SoftEdge::Rules() const {
  edges::EdgeRules rules;
  rules.variant = edges::EdgeVariant::SoftEdge;
  rules.angles = &angles;
  rules.reach = radius;
  rules.falloff = &profile;
  rules.useSelection = useSelection;
  rules.selectionMode = selectionMode;
  rules.edgeType = edgeType;
  return rules;
}

Bool SoftEdge::EvaluateEdge(Int32 first, Int32 second, Int32 polygon, const HostVector* points,
                            const CPolygon* polygons, const Neighbor& adjacency, const Vector& point, Float& edgeValue,
                            Vector& bentNormal, const BaseSelect& selection, Int32 side,
                            const HostVector* faceNormals) {
  return edges::EvaluateEdgeShared(Rules(), first, second, polygon, points, polygons, adjacency, point, edgeValue,
                                   &bentNormal, selection, side, faceNormals);
}

Vector SoftEdge::EdgeOutput(ChannelData* cd) {
  const Vector fallback(1.0);
  if (ChannelOf(cd) != CHANNEL_NORMAL) return fallback;
  edges::Hit hit;
  if (!edges::FindHit(cd, &hit)) return fallback;

  edges::SpareTables spare;
  const edges::ObjectTables tables = cache.For(GetRenderThreadIndex(hit.vd), hit.object, spare);
  const BaseSelect selection = edges::FindEdgeSelection(hit.object, useSelection);
  const HostVector* points = hit.object->points;
  const Vector shadingNormal = hit.vd->normal;
  const Vector point = hit.vd->point;

  Vector sum;
  Int32 count = 0;
  edges::WalkSides(hit.corners, [&](Int32 first, Int32 second, Int32 side) {
    Vector bent = shadingNormal;
    Float edgeValue = 0.0;
    if (!EvaluateEdge(first, second, hit.polygon, points, hit.object->polygons, tables.adjacency, point, edgeValue,
                      bent, selection, side, tables.faceNormals))
      return;
    if (count == 0) {
      sum = bent;
    } else {
      sum += bent;
    }
    ++count;
  });
  return edges::EncodeNormal(count > 0 ? sum : shadingNormal);
}
