// Curves and gradients. A container owns the data stored in it; shaders hold
// views of it, and locally allocated data is released by its holder.
#ifndef TESSALINE_HOST_C4D_CUSTOMDATA_H
#define TESSALINE_HOST_C4D_CUSTOMDATA_H

#include <utility>

#include "host/c4d_render.h"

constexpr Int32 CUSTOMDATATYPE_SPLINE = HOST_DATATYPE_SPLINE;
constexpr Int32 CUSTOMDATATYPE_GRADIENT = HOST_DATATYPE_GRADIENT;

template <typename Handle>
class CustomDataHolder {
 public:
  CustomDataHolder() = default;
  CustomDataHolder(const CustomDataHolder&) = delete;
  CustomDataHolder& operator=(const CustomDataHolder&) = delete;
  CustomDataHolder(CustomDataHolder&& other) noexcept : handle(other.handle), owned(other.owned) {
    other.handle = nullptr;
  }
  CustomDataHolder& operator=(CustomDataHolder&& other) noexcept {
    std::swap(handle, other.handle);
    std::swap(owned, other.owned);
    return *this;
  }

  bool IsValid() const { return handle != nullptr; }
  Handle* Get() const { return handle; }

 protected:
  CustomDataHolder(Handle* h, bool owning) : handle(h), owned(owning) {}
  Handle* handle = nullptr;
  bool owned = false;
};

class SplineData : public CustomDataHolder<HostSpline> {
 public:
  SplineData() = default;
  SplineData(SplineData&&) noexcept = default;
  SplineData& operator=(SplineData&&) noexcept = default;
  ~SplineData();

  static SplineData Alloc();
  static SplineData View(void* data) { return SplineData(static_cast<HostSpline*>(data), false); }

  // The host library's preset with two points.
  bool MakeTwoPointPreset(Int32 pointCount);
  // The curve's point at x; (0, 0, 0) when the host's curve library is missing.
  Vector GetPoint(Float x) const;

 private:
  using CustomDataHolder::CustomDataHolder;
};

class Gradient : public CustomDataHolder<HostGradient> {
 public:
  Gradient() = default;
  Gradient(Gradient&&) noexcept = default;
  Gradient& operator=(Gradient&&) noexcept = default;
  ~Gradient();

  static Gradient Alloc();
  static Gradient View(void* data) { return Gradient(static_cast<HostGradient*>(data), false); }

  bool InsertKnot(const Vector& color, Float brightness, Float position, Float bias, Int32 index);
  bool InitRender(const InitRenderStruct& setup);
  void FreeRender();
  Vector CalcGradientPixel(Float position) const;

 private:
  using CustomDataHolder::CustomDataHolder;
};

#endif
