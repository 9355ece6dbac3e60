// Draw Edge: draws lines along the polygon edges that pass its tests.
#ifndef TESSALINE_SOURCE_DRAWEDGE_DRAWEDGE_H
#define TESSALINE_SOURCE_DRAWEDGE_DRAWEDGE_H

#include "host/c4d_customdata.h"
#include "host/c4d_shader.h"
#include "res/description/xdrawedge.h"
#include "source/edges/edge_evaluation.h"
#include "source/edges/edge_walk.h"

class DrawEdge : public ShaderData {
 public:
  static ShaderData* Alloc();

  Bool Init(GeListNode* node) override;
  Bool GetDEnabling(GeListNode* node, const DescID& id, const HostData* value, Int32 flags,
                    const HostContainer* itemDescription) override;
  Int32 GetRenderInfo(BaseShader* shader) override;
  INITRENDERRESULT InitRender(BaseShader* node, const InitRenderStruct& setup) override;
  void FreeRender(BaseShader* shader) override;
  Vector Output(BaseShader* shader, ChannelData* cd) override;

  // faceNormals: the hit object's face normals when the caller has them.
  virtual Bool EvaluateEdge(Int32 first, Int32 second, Int32 polygon, const HostVector* points,
                            const CPolygon* polygons, const Neighbor& adjacency, const Vector& point, Float& edgeValue,
                            const BaseSelect& selection, Int32 side, const HostVector* faceNormals = nullptr);
  // How the values of several acting edges combine: their product, so lines
  // darken where they meet.
  virtual Float CombineEdgeValues(Float running, Float edgeValue);

 protected:
  edges::EdgeRules Rules() const;
  // The point moved for the bump samples and by the linked shader.
  Vector ShiftedPoint(const edges::Hit& hit, ChannelData* cd) const;

  Float angleMin = 0.0;
  Float angleMax = 0.0;
  Float width = 0.0;
  Float bumpStep = 0.0;
  SplineData falloff;
  Bool borderEdges = true;
  Bool useSelection = false;
  Int32 selectionMode = DRAWEDGE_SELECTION_MODE_ONLY;
  Int32 edgeType = DRAWEDGE_EDGE_TYPE_ALL;
  Bool useShader = false;
  BaseShader shader;
  Float shaderStrength = 0.0;
  Float shaderOffset = 0.0;
  Gradient gradient;
  edges::EdgeCache cache;
  // The angle range as the edge tests use it, made from angleMin and angleMax.
  edges::AngleWindow angles;
};

#endif
