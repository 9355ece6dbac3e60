// The JSON API of the scene, its panels, edits and the view.
#include <algorithm>
#include <cmath>
#include <optional>

#include "hostapp/web/api_error.h"
#include "hostapp/web/server_state.h"

namespace tess::web {
namespace {

constexpr const char* defaultPage = "";
// Pages whose views are kept; past it only the shown one's is.
constexpr size_t maxPages = 64;

Json Status(ServerState& s) {
  std::optional<Pass> latest;
  RenderProgress progress;
  {
    const std::shared_lock<std::shared_mutex> swap(s.sessionSwap);
    latest = s.session->Latest();
    progress = s.session->Progress();
  }
  std::lock_guard<std::mutex> lock(s.host);
  return {{"generation", s.session->Generation()},
          {"running", progress.running},
          {"view", {{"width", s.Shown().width}, {"height", s.Shown().height}}},
          {"page", s.shownPage},
          {"latest", latest ? PassJson(*latest) : Json(nullptr)},
          {"preparations", s.session->Preparations()},
          {"adjacencyBuilds", s.session->AdjacencyBuilds()},
          {"eventStreams", s.streams.load()},
          {"nodes", s.scene->NodeCount()}};
}

// What an edit of parameters changes, to order edits of the same value.
std::string EditedValue(size_t object, const Json& body) {
  std::string value = std::to_string(object) + "/" + body.value("channel", Json()).dump() + "/";
  if (body.contains("params") && body["params"].is_object())
    for (const auto& item : body["params"].items()) value += item.key() + ",";
  else
    value += body.value("symbol", Json()).dump();
  return value;
}

void AddReads(ServerState& s) {
  s.http.Get("/api/scene", Guarded([&s](const httplib::Request&, httplib::Response& res) {
               Answer(res, [&] {
                 std::lock_guard<std::mutex> lock(s.host);
                 return SceneJson(s);
               });
             }));
  s.http.Get("/api/panel", Guarded([&s](const httplib::Request& req, httplib::Response& res) {
               Answer(res, [&] {
                 std::lock_guard<std::mutex> lock(s.host);
                 std::lock_guard<std::mutex> module(s.session->PreparationLock());
                 Json panel = s.scene->Panel(ObjectOf(*s.scene, Json(req.get_param_value("object"))),
                                             SlotOf(Json(req.get_param_value("channel"))));
                 panel["generation"] = s.session->Generation();
                 return panel;
               });
             }));
  s.http.Get("/api/status", Guarded([&s](const httplib::Request&, httplib::Response& res) {
               Answer(res, [&] { return Status(s); });
             }));
  s.http.Get("/api/scene.json", Guarded([&s](const httplib::Request&, httplib::Response& res) {
               Answer(res, [&] {
                 std::lock_guard<std::mutex> lock(s.host);
                 const ServerState::View& view = s.Shown();
                 const RenderControls render = s.session->Controls();
                 const int width = render.Scaled(view.width), height = render.Scaled(view.height);
                 // At the render's size, framed as the preview frames it:
                 // the file renders the final pass.
                 return s.scene->Save(width, height, render.samples);
               });
               res.set_header("Content-Disposition", "attachment; filename=\"scene.json\"");
             }));
}

// A colour as [r, g, b] of finite numbers.
HostVector ColorOf(const Json& value) {
  if (!value.is_array() || value.size() != 3 || !std::all_of(value.begin(), value.end(), [](const Json& c) {
        return c.is_number() && std::isfinite(c.get<double>());
      }))
    throw ApiError(400, "Colour must be [red, green, blue], three numbers");
  return {value[0].get<double>(), value[1].get<double>(), value[2].get<double>()};
}

Json SetParameters(ServerState& s, const Json& body) {
  std::lock_guard<std::mutex> lock(s.host);
  const size_t object = ObjectOf(*s.scene, body.value("object", Json()));
  const Slot slot = SlotOf(body.value("channel", Json()));
  s.scene->PluginAt(object, slot);  // a channel without a panel is no edit
  const bool fresh = Fresh(s, body, EditedValue(object, body));
  if (fresh) {
    // A refused value leaves the render running.
    s.scene->CheckParameters(object, slot, body);
    s.Edit([&] { s.history.Done(s.scene->SetParameters(object, slot, body)); });
  }
  std::lock_guard<std::mutex> module(s.session->PreparationLock());
  Json panel = s.scene->Panel(object, slot);
  panel["generation"] = s.session->Generation();
  if (!fresh) panel["stale"] = true;
  return panel;
}

// What a channel edit asks for, checked before the render stops.
struct ChannelEdit {
  std::optional<std::string> shader;
  std::optional<HostVector> color;
  std::optional<double> strength;
};

ChannelEdit ChannelEditOf(const Json& body, Slot slot) {
  ChannelEdit edit;
  if (body.contains("shader")) {
    if (!body["shader"].is_string()) throw ApiError(400, "shader: expected none or a plug-in shader's name");
    edit.shader = body["shader"].get<std::string>();
    PreviewScene::CheckShaderName(*edit.shader);
  }
  if (body.contains("color")) {
    if (slot != Slot::Color) throw ApiError(400, "color: only the colour channel has a plain colour");
    edit.color = ColorOf(body["color"]);
  }
  if (body.contains("strength")) {
    const Json& strength = body["strength"];
    if (!strength.is_number()) throw ApiError(400, "Strength must be a number");
    edit.strength = strength.get<double>();
    PreviewScene::CheckStrength(slot, *edit.strength);
  }
  if (!edit.shader && !edit.color && !edit.strength) throw ApiError(400, "expected shader, color or strength");
  return edit;
}

Json SetChannel(ServerState& s, const Json& body) {
  std::lock_guard<std::mutex> lock(s.host);
  const size_t object = ObjectOf(*s.scene, body.value("object", Json()));
  const Slot slot = SlotOf(body.value("channel", Json()));
  const ChannelEdit edit = ChannelEditOf(body, slot);
  const bool fresh = Fresh(s, body, std::to_string(object) + "/" + body["channel"].dump() + "/shader");
  if (fresh)
    s.Edit([&] {
      // One step however many of the three the request changes.
      std::optional<ChannelState> undo;
      const auto keep = [&](ChannelState step) {
        if (!undo) undo = std::move(step);
      };
      if (edit.shader) keep(s.scene->SetShader(object, slot, *edit.shader));
      if (edit.color) keep(s.scene->SetColor(object, *edit.color));
      if (edit.strength) keep(s.scene->SetStrength(object, slot, *edit.strength));
      s.history.Done(std::move(*undo));
    });
  Json entry = s.scene->ObjectEntry(object);
  entry["generation"] = s.session->Generation();
  if (!fresh) entry["stale"] = true;
  return entry;
}

// Whether the newest generation is rendering or rendered, rather than
// failed or stopped: then a render at the same size would only repeat it.
bool RendersCurrent(const RenderSession& session) {
  const auto latest = session.Latest();
  return session.Progress().running || (latest && latest->generation == session.Generation());
}

void AddEdits(ServerState& s) {
  s.http.Post("/api/param", Guarded([&s](const httplib::Request& req, httplib::Response& res) {
                Answer(res, [&] { return SetParameters(s, BodyOf(req)); });
              }));
  s.http.Post("/api/channel", Guarded([&s](const httplib::Request& req, httplib::Response& res) {
                Answer(res, [&] { return SetChannel(s, BodyOf(req)); });
              }));
  // The render's size: a page sends its pane's. It changes what the server
  // renders, so it is a POST, never part of a GET.
  s.http.Post("/api/view", Guarded([&s](const httplib::Request& req, httplib::Response& res) {
                Answer(res, [&] {
                  const Json body = BodyOf(req);
                  const int64_t width = IntegerOf(body.value("width", Json()), "width", 16, 4096);
                  const int64_t height = IntegerOf(body.value("height", Json()), "height", 16, 4096);
                  const std::string page = PageOf(body);
                  std::lock_guard<std::mutex> lock(s.host);
                  if (s.views.size() >= maxPages && s.views.count(page) == 0) s.views = {{s.shownPage, s.Shown()}};
                  const ServerState::View view{static_cast<int>(width), static_cast<int>(height)};
                  s.views[page] = view;
                  s.shownPage = page;
                  // A page that becomes active at the size already rendered
                  // (a reload, a second window alike) gets that render as it is.
                  if (view == s.rendered && RendersCurrent(*s.session))
                    return Json{{"generation", s.session->Generation()}};
                  s.rendered = view;
                  return Json{{"generation", s.session->SetView(view.width, view.height)}};
                });
              }));
}

}  // namespace

Json SceneJson(ServerState& s) {
  Json scene = s.scene->Overview();
  scene["generation"] = s.session->Generation();
  scene["history"] = {{"undo", s.history.UndoCount()}, {"redo", s.history.RedoCount()}};
  scene["render"] = RenderControlsJson(s.session->Controls());
  return scene;
}

std::string PageOf(const Json& body) {
  const Json& page = body.value("page", Json(defaultPage));
  if (!page.is_string() || page.get<std::string>().size() > 100)
    throw ApiError(400, "page: expected the page's name, at most 100 characters");
  return page.get<std::string>();
}

bool Fresh(ServerState& s, const Json& body, const std::string& value) {
  if (!body.contains("seq")) return true;
  const auto sequence = static_cast<uint64_t>(IntegerOf(body["seq"], "seq", 0, INT64_MAX));
  return s.order.Fresh(PageOf(body), value, sequence);
}

int64_t IntegerOf(const Json& value, const std::string& name, int64_t min, int64_t max) {
  if (value.is_number_integer() || value.is_number_unsigned()) {
    if (value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
      throw ApiError(400, name + ": out of range");
    const int64_t v = value.get<int64_t>();
    if (v < min || v > max)
      throw ApiError(
          400, name + ": " + std::to_string(v) + " is outside " + std::to_string(min) + " .. " + std::to_string(max));
    return v;
  }
  if (value.is_number_float() && std::floor(value.get<double>()) == value.get<double>() &&
      std::fabs(value.get<double>()) < 9e15)
    return IntegerOf(Json(static_cast<int64_t>(value.get<double>())), name, min, max);
  throw ApiError(400, name + ": expected a whole number");
}

int64_t QueryInteger(const httplib::Request& req, const std::string& name, int64_t min, int64_t max) {
  const std::string text = req.get_param_value(name);
  const auto refuse = [&] {
    return ApiError(400, name + ": expected a whole number, got \"" + render::Printable(text.substr(0, 40)) + "\"");
  };
  // Short texts only reach the parser, so no query can make it recurse deeply.
  if (text.empty() || text.size() > 20) throw refuse();
  const Json value = Json::parse(text, nullptr, false);
  if (!value.is_number()) throw refuse();
  return IntegerOf(value, name, min, max);
}

size_t ObjectOf(const PreviewScene& scene, const Json& value) {
  if (value.is_string()) return scene.ObjectIndex(value.get<std::string>());
  return scene.ObjectIndex(std::to_string(IntegerOf(value, "object", 0, INT32_MAX)));
}

Slot SlotOf(const Json& value) {
  if (!value.is_string()) throw ApiError(400, "channel: expected color, bump or normal");
  return PreviewScene::SlotOf(value.get<std::string>());
}

void AddApiRoutes(ServerState& s) {
  AddReads(s);
  AddEdits(s);
  AddViewRoutes(s);
  AddHistoryRoutes(s);
}

}  // namespace tess::web
