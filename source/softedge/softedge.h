// Soft Edge: rounds hard polygon edges in the normal channel, by measuring
// the distance to the hit polygon's edges or by tracing rays around the point.
#ifndef TESSALINE_SOURCE_SOFTEDGE_SOFTEDGE_H
#define TESSALINE_SOURCE_SOFTEDGE_SOFTEDGE_H

#include "host/c4d_customdata.h"
#include "host/c4d_shader.h"
#include "res/description/xsoftedge.h"
#include "source/edges/edge_evaluation.h"
#include "source/edges/edge_walk.h"
#include "source/sampler/sampler.h"

class SoftEdge : public ShaderData {
 public:
  static ShaderData* Alloc();

  Bool Init(GeListNode* node) override;
  Bool GetDDescription(GeListNode* node, Description* description, Int32& flags) override;
  Bool GetDEnabling(GeListNode* node, const DescID& id, const HostData* value, Int32 flags,
                    const HostContainer* itemDescription) override;
  Int32 GetRenderInfo(BaseShader* shader) override;
  INITRENDERRESULT InitRender(BaseShader* shader, const InitRenderStruct& setup) override;
  void FreeRender(BaseShader* shader) override;
  Vector Output(BaseShader* shader, ChannelData* cd) override;

  // faceNormals: the hit object's face normals when the caller has them.
  virtual Bool EvaluateEdge(Int32 first, Int32 second, Int32 polygon, const HostVector* points,
                            const CPolygon* polygons, const Neighbor& adjacency, const Vector& point, Float& edgeValue,
                            Vector& bentNormal, const BaseSelect& selection, Int32 side,
                            const HostVector* faceNormals = nullptr);
  // The edge geometry method.
  virtual Vector EdgeOutput(ChannelData* cd);
  // The ray sampling method.
  virtual Vector SampledOutput(ChannelData* cd);

 protected:
  edges::EdgeRules Rules() const;

  Float angleMin = 0.0;
  Float angleMax = 0.0;
  Float radius = 0.0;
  Int32 method = SOFTEDGE_METHOD_EDGES;
  SplineData profile;
  Bool useSelection = false;
  Int32 selectionMode = SOFTEDGE_SELECTION_MODE_ONLY;
  Int32 edgeType = SOFTEDGE_EDGE_TYPE_ALL;
  Int32 sampleCount = 0;
  Bool sameObject = false;
  edges::EdgeCache cache;
  // The angle range as the edge tests use it, made from angleMin and angleMax.
  edges::AngleWindow angles;
  Sampler samplers[edges::cacheSlots];
};

#endif
