// `tessaline-host shade`: one shader call per JSON line, with a hit record
// built from the line, so that a shader's answer can be checked by hand.
#ifndef TESSALINE_HOSTAPP_RENDER_PROBE_H
#define TESSALINE_HOSTAPP_RENDER_PROBE_H

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "hostapp/scene/scene.h"
#include "hostapp/render/tracer.h"
#include "hostapp/render/world.h"

namespace tess::render {

// A prepared scene that probe lines are evaluated in.
struct ProbeWorld {
  const Scene& scene;
  const std::vector<RenderObject>& objects;
  const EmbreeTracer& tracer;
};

// Longer lines are refused, and the input is read no further.
constexpr size_t maxProbeLineBytes = size_t{1024} * 1024;

// Evaluates JSON lines until the end of input; returns how many were bad.
int ProbeLines(const ProbeWorld& world, std::istream& in, std::ostream& out, std::ostream& err);

// Reads lines from in until its end; writes {"color": [r, g, b]} per line
// (full double precision), or {"error": ...} for a bad line, whose message
// also goes to err with its line number. The exit code is 1 when any line
// was bad or the scene or module failed.
int RunShade(const std::string& modulePath, const std::string& scenePath, std::istream& in, std::ostream& out,
             std::ostream& err);

}  // namespace tess::render

#endif
