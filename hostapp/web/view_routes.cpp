// The camera the page moves and the object under a pixel of its view.
#include <cmath>

#include "hostapp/render/camera.h"
#include "hostapp/render/pick.h"
#include "hostapp/web/api_error.h"
#include "hostapp/web/server_state.h"

namespace tess::web {
namespace {

constexpr double minFov = 1.0, maxFov = 170.0;
constexpr size_t maxDragName = 100;

HostVector PointOf(const Json& value, const std::string& name) {
  const auto finite = [](const Json& c) { return c.is_number() && std::isfinite(c.get<double>()); };
  if (!value.is_array() || value.size() != 3 || !finite(value[0]) || !finite(value[1]) || !finite(value[2]))
    throw ApiError(400, name + ": expected [x, y, z], three finite numbers");
  return {value[0].get<double>(), value[1].get<double>(), value[2].get<double>()};
}

// The camera the body asks for: the current one with the fields it gives.
render::CameraSetup CameraOf(const Json& body, render::CameraSetup camera) {
  if (!body.contains("position") && !body.contains("target") && !body.contains("fov"))
    throw ApiError(400, "expected position, target or fov");
  if (body.contains("position")) camera.position = PointOf(body["position"], "position");
  if (body.contains("target")) camera.target = PointOf(body["target"], "target");
  if (body.contains("fov")) {
    const Json& fov = body["fov"];
    if (!fov.is_number() || !(fov.get<double>() >= minFov && fov.get<double>() <= maxFov))
      throw ApiError(400, "Field of view must be between 1° and 170°");
    camera.fov = fov.get<double>();
  }
  const HostVector d{camera.target.x - camera.position.x, camera.target.y - camera.position.y,
                     camera.target.z - camera.position.z};
  if (d.x == 0.0 && d.y == 0.0 && d.z == 0.0) throw ApiError(400, "the camera's position must differ from its target");
  return camera;
}

std::string DragOf(const Json& body) {
  const Json& drag = body.value("drag", Json(""));
  if (drag.is_number_integer()) return std::to_string(drag.get<int64_t>());
  if (!drag.is_string() || drag.get<std::string>().size() > maxDragName)
    throw ApiError(400, "drag: expected the drag's name, at most 100 characters");
  return drag.get<std::string>();
}

Json MoveCamera(ServerState& s, const Json& body) {
  std::lock_guard<std::mutex> lock(s.host);
  const render::CameraSetup next = CameraOf(body, s.scene->Camera());
  const std::string drag = DragOf(body);
  const bool fresh = Fresh(s, body, "camera");
  if (fresh)
    s.Edit(
        [&] {
          const render::CameraSetup before = s.scene->SetCamera(next);
          // The rest of a drag moves on from the step its first move made.
          if (!s.history.ContinuesDrag(drag)) s.history.Done(CameraStep{before, drag});
        },
        EditKind::View);
  Json answer = {{"generation", s.session->Generation()}, {"camera", s.scene->CameraJson()}};
  if (!fresh) answer["stale"] = true;
  return answer;
}

Json Pick(ServerState& s, const httplib::Request& req) {
  std::lock_guard<std::mutex> lock(s.host);
  const std::string page = req.has_param("page") ? req.get_param_value("page") : s.shownPage;
  const auto named = s.views.find(page);
  if (named == s.views.end()) throw ApiError(404, "page: no view of that name");
  const ServerState::View& view = named->second;
  const auto x = static_cast<int>(QueryInteger(req, "x", 0, view.width - 1));
  const auto y = static_cast<int>(QueryInteger(req, "y", 0, view.height - 1));
  const render::CameraSetup camera = render::FitCamera(s.scene->Camera(), s.scene->Aspect(), view.width, view.height);
  const auto object = render::PickObject(s.session->World().Context(), camera, view.width, view.height, x, y);
  return {{"object", object ? Json(*object) : Json(nullptr)}};
}

}  // namespace

void AddViewRoutes(ServerState& s) {
  s.http.Post("/api/camera", Guarded([&s](const httplib::Request& req, httplib::Response& res) {
                Answer(res, [&] { return MoveCamera(s, BodyOf(req)); });
              }));
  s.http.Get("/api/pick", Guarded([&s](const httplib::Request& req, httplib::Response& res) {
               Answer(res, [&] { return Pick(s, req); });
             }));
}

}  // namespace tess::web
