#include "hostapp/services/linked.h"

#include <cmath>
#include <new>

#include "hostapp/services/gradient.h"
#include "hostapp/services/nodes.h"
#include "hostapp/services/spline.h"

namespace tess::host {

const HostLinkedApi* LinkedTable() {
  static const HostLinkedApi table{
      // Linked shaders: any shader node, the module's own or the host's.
      [](HostNode* node, const HostInitRender* setup) {
        auto* shader = dynamic_cast<ShaderNode*>(node);
        const HostInitRender none{nullptr, 0};
        return shader != nullptr ? shader->InitRender(setup != nullptr ? *setup : none)
                                 : int32_t{HOST_INITRENDER_FAILED};
      },
      [](HostNode* node, HostChannelData* cd, HostVector* colour) {
        if (colour == nullptr) return;
        auto* shader = dynamic_cast<ShaderNode*>(node);
        *colour = shader != nullptr ? shader->Sample(cd) : HostVector{0.0, 0.0, 0.0};
      },
      [](HostNode* node) {
        if (auto* shader = dynamic_cast<ShaderNode*>(node)) shader->FreeRender();
      },

      []() -> HostSpline* { return new (std::nothrow) HostSpline; },
      [](HostSpline* s) { delete s; },
      [](HostSpline* s, int32_t pointCount) {
        return static_cast<HostBool>(s != nullptr && s->SetLinePreset(pointCount));
      },
      [](const HostSpline* s, double x, HostVector* point) {
        if (point == nullptr) return;
        // Without a curve the point is the origin, as when the curve library
        // is missing altogether.
        if (s == nullptr) {
          *point = HostVector{0.0, 0.0, 0.0};
          return;
        }
        // A NaN x reads the first knot, so the point names that knot's x.
        const double at = !std::isnan(x) || s->Knots().empty() ? x : s->Knots().front().x;
        *point = HostVector{at, s->Evaluate(x), 0.0};
      },

      []() -> HostGradient* { return new (std::nothrow) HostGradient; },
      [](HostGradient* g) { delete g; },
      [](HostGradient* g, const HostGradientKnot* knot) {
        return static_cast<HostBool>(g != nullptr && knot != nullptr && g->InsertKnot(*knot));
      },
      [](HostGradient* g, const HostInitRender*) { return static_cast<HostBool>(g != nullptr && g->InitRender()); },
      [](const HostGradient* g, double position, HostVector* colour) {
        if (colour == nullptr) return;
        *colour = g != nullptr ? g->Evaluate(position) : HostVector{0.0, 0.0, 0.0};
      },
      [](HostGradient* g) {
        if (g != nullptr) g->FreeRender();
      },
  };
  return &table;
}

}  // namespace tess::host
