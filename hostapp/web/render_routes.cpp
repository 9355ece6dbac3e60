// The render controls: samples, scale and pause. They are the render's
// settings, not the scene's, so they touch neither the scene nor its history.
#include "hostapp/web/api_error.h"
#include "hostapp/web/server_state.h"

namespace tess::web {
namespace {

constexpr int64_t maxSamples = 256;

// Every value checked before any is applied: a bad one changes nothing.
RenderControls ControlsOf(const Json& body, RenderControls controls) {
  for (const auto& item : body.items()) {
    const std::string& key = item.key();
    const Json& value = item.value();
    if (key == "samples") {
      controls.samples = static_cast<int>(IntegerOf(value, "samples", 1, maxSamples));
    } else if (key == "scale") {
      const bool allowed = value.is_number() &&
                           (value.get<double>() == 1.0 || value.get<double>() == 0.5 || value.get<double>() == 0.25);
      if (!allowed) throw ApiError(400, "scale: expected 1, 0.5 or 0.25");
      controls.scale = value.get<double>();
    } else if (key == "paused") {
      if (!value.is_boolean()) throw ApiError(400, "paused: expected true or false");
      controls.paused = value.get<bool>();
    } else if (key != "page" && key != "seq") {
      throw ApiError(400, "unknown render control \"" + render::Printable(key.substr(0, 40)) +
                              "\": expected samples, scale or paused");
    }
  }
  return controls;
}

Json SetRender(ServerState& s, const Json& body) {
  // One POST at a time, as edits are: two requests that set different
  // controls both apply.
  std::lock_guard<std::mutex> lock(s.host);
  const RenderControls next = ControlsOf(body, s.session->Controls());
  const uint64_t generation = s.session->SetControls(next);
  return {{"generation", generation}, {"render", RenderControlsJson(s.session->Controls())}};
}

}  // namespace

void AddRenderRoutes(ServerState& s) {
  s.http.Post("/api/render", Guarded([&s](const httplib::Request& req, httplib::Response& res) {
                Answer(res, [&] { return SetRender(s, BodyOf(req)); });
              }));
}

}  // namespace tess::web
