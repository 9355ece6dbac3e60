// The title bar of a shader's panel: its image, and the pointer's events.
#include "hostapp/web/api_error.h"
#include "hostapp/web/server_state.h"

namespace tess::web {
namespace {

constexpr int defaultWidth = 400;
constexpr int64_t farAway = 100000;

void SendBar(ServerState& s, const httplib::Request& req, httplib::Response& res) {
  std::string png;
  {
    std::lock_guard<std::mutex> lock(s.host);
    std::lock_guard<std::mutex> module(s.session->PreparationLock());
    host::PluginNode& node = s.scene->PluginAt(ObjectOf(*s.scene, Json(req.get_param_value("object"))),
                                               SlotOf(Json(req.get_param_value("channel"))));
    const int width = req.has_param("width") ? static_cast<int>(QueryInteger(req, "width", 240, 4096)) : defaultWidth;
    png = s.titleBar.Png(node, width);
  }
  res.set_header("Cache-Control", "no-store");
  res.set_content(png, "image/png");
}

Json PointerEvent(ServerState& s, const Json& body) {
  const Json& event = body.value("event", Json());
  if (!event.is_string()) throw ApiError(400, "event: expected move, down, up or leave");
  const int width =
      body.contains("width") ? static_cast<int>(IntegerOf(body["width"], "width", 240, 4096)) : defaultWidth;
  const int x = static_cast<int>(IntegerOf(body.value("x", Json(0)), "x", -farAway, farAway));
  const int y = static_cast<int>(IntegerOf(body.value("y", Json(0)), "y", -farAway, farAway));
  std::lock_guard<std::mutex> lock(s.host);
  std::lock_guard<std::mutex> module(s.session->PreparationLock());
  host::PluginNode& node =
      s.scene->PluginAt(ObjectOf(*s.scene, body.value("object", Json())), SlotOf(body.value("channel", Json())));
  return s.titleBar.Pointer(node, width, event.get<std::string>(), x, y);
}

}  // namespace

void AddTitleBarRoutes(ServerState& s) {
  s.http.Get("/api/titlebar",
             Guarded([&s](const httplib::Request& req, httplib::Response& res) { SendBar(s, req, res); }));
  s.http.Post("/api/titlebar", Guarded([&s](const httplib::Request& req, httplib::Response& res) {
                Answer(res, [&] { return PointerEvent(s, BodyOf(req)); });
              }));
}

}  // namespace tess::web
