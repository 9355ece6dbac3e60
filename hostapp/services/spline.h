// Curves: a function of x given by knots, stored in parameter containers.
#ifndef TESSALINE_HOSTAPP_SERVICES_SPLINE_H
#define TESSALINE_HOSTAPP_SERVICES_SPLINE_H

#include <memory>
#include <vector>

#include "host/c4d_host.h"
#include "hostapp/services/container.h"

// A curve through knots sorted by x, evaluated as a piecewise cubic Hermite
// curve with monotone tangents: it never overshoots between knots, keeps
// monotone data monotone, and is exactly straight where the knots are
// collinear. Outside the knots it holds the end values. Evaluation is
// read-only and safe from many threads.
struct HostSpline : tess::host::CustomData {
  struct Knot {
    double x;
    double y;
  };

  // Replaces the knots; they are sorted by x (knots of equal x keep their
  // order and make a step). False, leaving the curve as it was, when a
  // coordinate is not finite.
  bool SetKnots(std::vector<Knot> next);
  // The straight line from (0, 0) to (1, 1) through pointCount evenly spaced
  // knots; false for fewer than 2 or more than maxPresetKnots.
  bool SetLinePreset(int32_t pointCount);
  const std::vector<Knot>& Knots() const { return knots; }

  // y at x; 0 without knots. A NaN x gives the first knot's value.
  double Evaluate(double x) const;

  int32_t Type() const override { return HOST_DATATYPE_SPLINE; }
  std::unique_ptr<tess::host::CustomData> Clone() const override { return std::make_unique<HostSpline>(*this); }
  void* Handle() override { return this; }

  static constexpr int32_t maxPresetKnots = 4096;

 private:
  std::vector<Knot> knots;
  std::vector<double> tangents;  // dy/dx at each knot
};

#endif
