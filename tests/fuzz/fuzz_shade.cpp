// Any bytes as the shade probe's input lines, evaluated by the loaded module
// in a small scene: colours or one error per bad line, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "hostapp/render/embree_scene.h"
#include "hostapp/render/probe.h"
#include "hostapp/render/renderer.h"
#include "hostapp/render/world.h"
#include "hostapp/scene/scene_reader.h"
#include "tests/fuzz/module_fixture.h"

namespace {

// Both shaders in every channel of a cube, with a selection tag.
const char* const sceneText = R"({"objects": [{"name": "box", "mesh": {"primitive": "cube", "size": 2},
  "material": {"color": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.3, "DRAWEDGE_USE_SELECTION": true}},
               "bump": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.3}},
               "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_METHOD": 1, "SOFTEDGE_RADIUS": 0.4}}},
  "tags": [{"type": "edge_selection", "name": "tessaline", "edges": [[0, 1], [2, 3]]}]}]})";

struct World {
  std::unique_ptr<tess::render::Scene> scene;
  std::vector<tess::render::RenderObject> objects;
  tess::render::EmbreeScene embree;
  std::unique_ptr<tess::render::EmbreeTracer> tracer;
};

World& Prepared() {
  static World* world = [] {
    LaunchModuleOnce();
    auto* w = new World;
    auto read = tess::render::ReadSceneText(sceneText, "/", "fuzz.json");
    if (read.scene == nullptr ||
        !(w->objects = tess::render::MakeRenderObjects(*read.scene), w->embree.Build(w->objects)))
      std::abort();
    w->scene = std::move(read.scene);
    w->tracer = std::make_unique<tess::render::EmbreeTracer>(w->embree, w->objects);
    if (!tess::render::PrepareShaders(*w->scene, tess::render::maxThreads).empty()) std::abort();
    return w;
  }();
  return *world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  World& w = Prepared();
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream out, err;
  tess::render::ProbeLines(tess::render::ProbeWorld{*w.scene, w.objects, *w.tracer}, in, out, err);
  return 0;
}
