// Colour gradients: knots of colour over positions 0 .. 1.
#ifndef TESSALINE_HOSTAPP_SERVICES_GRADIENT_H
#define TESSALINE_HOSTAPP_SERVICES_GRADIENT_H

#include <memory>
#include <vector>

#include "host/c4d_host.h"
#include "hostapp/services/container.h"

// A gradient of knots, each a colour scaled by its brightness at a position.
// Between two knots the colour is blended linearly, with the interpolation
// parameter warped by the left knot's bias (0.5 leaves it linear). Outside the
// knots the gradient holds the end colours.
//
// InitRender takes a sorted snapshot of the knots that evaluation reads until
// FreeRender; knots inserted in between show only after the next InitRender.
// Evaluation only reads, before and after InitRender, so render threads may
// evaluate at once; InitRender and FreeRender must not run alongside it.
struct HostGradient : tess::host::CustomData {
  // Brightness 1, bias 0.5, black at position 0.
  static HostGradientKnot DefaultKnot();

  // False, leaving the gradient as it was, when a number of the knot is not
  // finite.
  bool InsertKnot(const HostGradientKnot& knot);
  void ClearKnots() { knots.clear(); }
  const std::vector<HostGradientKnot>& Knots() const { return knots; }

  bool InitRender();  // false without knots
  void FreeRender();
  bool Prepared() const { return prepared; }

  // The colour at position, clamped to [0, 1] (NaN counts as 0); black
  // without knots.
  HostVector Evaluate(double position) const;

  int32_t Type() const override { return HOST_DATATYPE_GRADIENT; }
  // A copy holds the knots but is not prepared for a render.
  std::unique_ptr<tess::host::CustomData> Clone() const override;
  void* Handle() override { return this; }

 private:
  std::vector<HostGradientKnot> knots;   // in insertion order
  std::vector<HostGradientKnot> render;  // sorted by position while prepared
  bool prepared = false;
};

#endif
