#include "host/c4d_customdata.h"

SplineData::~SplineData() {
  if (owned && handle != nullptr) LinkedApi()->splineRelease(handle);
}

SplineData SplineData::Alloc() {
  const HostLinkedApi* api = LinkedApi();
  return SplineData(api != nullptr ? api->splineCreate() : nullptr, true);
}

bool SplineData::MakeTwoPointPreset(Int32 pointCount) {
  return handle != nullptr && LinkedApi()->splineTwoPointPreset(handle, pointCount) != 0;
}

Vector SplineData::GetPoint(Float x) const {
  const HostLinkedApi* api = LinkedApi();
  if (api == nullptr || handle == nullptr) return Vector();
  HostVector point{0.0, 0.0, 0.0};
  api->splineEvaluate(handle, x, &point);
  return point;
}

Gradient::~Gradient() {
  if (owned && handle != nullptr) LinkedApi()->gradientRelease(handle);
}

Gradient Gradient::Alloc() {
  const HostLinkedApi* api = LinkedApi();
  return Gradient(api != nullptr ? api->gradientCreate() : nullptr, true);
}

bool Gradient::InsertKnot(const Vector& color, Float brightness, Float position, Float bias, Int32 index) {
  if (handle == nullptr) return false;
  const HostGradientKnot knot{color, brightness, position, bias, index};
  return LinkedApi()->gradientInsertKnot(handle, &knot) != 0;
}

bool Gradient::InitRender(const InitRenderStruct& setup) {
  return handle != nullptr && LinkedApi()->gradientInitRender(handle, &setup) != 0;
}

void Gradient::FreeRender() {
  if (handle != nullptr) LinkedApi()->gradientFreeRender(handle);
}

Vector Gradient::CalcGradientPixel(Float position) const {
  if (handle == nullptr) return Vector();
  HostVector colour{0.0, 0.0, 0.0};
  LinkedApi()->gradientEvaluate(handle, position, &colour);
  return colour;
}
