// The JSON API of the scene, its panels and edits, and the render's passes.
#include <cmath>

#include "hostapp/web/api_error.h"
#include "hostapp/web/server_state.h"

namespace tess::web {
namespace {

using namespace std::chrono_literals;

constexpr auto progressEvery = 100ms;
constexpr auto keepAliveEvery = 15s;

// Stops the render, changes the scene, and starts the next generation, also
// when the change was refused: the scene is as it was, the render goes on.
// Every page hears of an edit, so that a second tab shows it too.
void Edit(ServerState& s, const std::function<void()>& change) {
  const auto requested = Clock::now();
  s.render->Stop();
  try {
    change();
  } catch (...) {
    s.Restart(requested);
    throw;
  }
  s.Restart(requested, true);
}

struct Stream {
  uint64_t seen = 0;
  std::string pending;  // the latest pass, for a page that just connected
  uint64_t shownGeneration = 0;
  int shownPass = -1, shownPercent = -1;
  Clock::time_point lastWrite = Clock::now();
};

std::string ProgressText(const ServerState& s, Stream& stream) {
  const RenderProgress p = s.render->Progress();
  const int percent = static_cast<int>(p.fraction * 100.0);
  if (!p.running ||
      (p.generation == stream.shownGeneration && p.pass == stream.shownPass && percent == stream.shownPercent))
    return {};
  stream.shownGeneration = p.generation;
  stream.shownPass = p.pass;
  stream.shownPercent = percent;
  return "event: progress\ndata: " +
         Json{{"generation", p.generation}, {"pass", p.pass}, {"fraction", percent / 100.0}}.dump() + "\n\n";
}

bool StreamEvents(ServerState& s, Stream& stream, httplib::DataSink& sink) {
  std::string text = std::move(stream.pending);
  stream.pending.clear();
  text += s.events.Wait(stream.seen, text.empty() ? progressEvery : 0ms);
  if (s.events.Closed()) {
    sink.done();
    return true;
  }
  text += ProgressText(s, stream);
  const auto now = Clock::now();
  if (text.empty() && now - stream.lastWrite > keepAliveEvery) text = ": keep-alive\n\n";
  if (text.empty()) return true;
  stream.lastWrite = now;
  return sink.write(text.data(), text.size());
}

void SetView(ServerState& s, int64_t width, int64_t height) {
  s.viewWidth = static_cast<int>(width);
  s.viewHeight = static_cast<int>(height);
  s.Restart(Clock::now());
}

void OpenEvents(ServerState& s, const httplib::Request& req, httplib::Response& res) {
  if (req.has_param("width") || req.has_param("height")) {
    const int64_t width = QueryInteger(req, "width", 16, 4096), height = QueryInteger(req, "height", 16, 4096);
    std::lock_guard<std::mutex> lock(s.host);
    if (width != s.viewWidth || height != s.viewHeight) SetView(s, width, height);
  }
  auto stream = std::make_shared<Stream>();
  // Numbered before the latest pass is taken: a pass may come twice, never not at all.
  stream->seen = s.events.Newest();
  if (auto latest = s.render->Latest()) stream->pending = "event: pass\ndata: " + PassJson(*latest).dump() + "\n\n";
  res.set_header("Cache-Control", "no-store");
  res.set_chunked_content_provider(
      "text/event-stream", [&s, stream](size_t, httplib::DataSink& sink) { return StreamEvents(s, *stream, sink); });
}

void SendImage(const ServerState& s, const httplib::Request& req, httplib::Response& res) {
  std::optional<Pass> pass;
  if (req.has_param("generation") || req.has_param("pass")) {
    pass = s.render->Find(static_cast<uint64_t>(QueryInteger(req, "generation", 0, INT64_MAX)),
                          static_cast<int>(QueryInteger(req, "pass", 0, 1000)));
    if (!pass) throw ApiError(404, "that pass is no longer kept");
  } else {
    pass = s.render->Latest();
    if (!pass) throw ApiError(404, "no pass is finished yet");
  }
  res.set_header("Cache-Control", "no-store");
  res.set_header("X-Tessaline-Generation", std::to_string(pass->generation));
  res.set_header("X-Tessaline-Pass", std::to_string(pass->index));
  res.set_content(*pass->png, "image/png");
}

Json Status(ServerState& s) {
  std::lock_guard<std::mutex> lock(s.host);
  const auto latest = s.render->Latest();
  return {{"generation", s.generation},
          {"running", s.render->Progress().running},
          {"view", {{"width", s.viewWidth}, {"height", s.viewHeight}}},
          {"latest", latest ? PassJson(*latest) : Json(nullptr)}};
}

void AddReads(ServerState& s) {
  s.http.Get("/api/scene", [&s](const httplib::Request&, httplib::Response& res) {
    Answer(res, [&] {
      std::lock_guard<std::mutex> lock(s.host);
      Json scene = s.scene->Overview();
      scene["generation"] = s.generation;
      return scene;
    });
  });
  s.http.Get("/api/panel", [&s](const httplib::Request& req, httplib::Response& res) {
    Answer(res, [&] {
      std::lock_guard<std::mutex> lock(s.host);
      std::lock_guard<std::mutex> module(s.render->PreparationLock());
      Json panel = s.scene->Panel(ObjectOf(*s.scene, req.get_param_value("object")),
                                  SlotOf(Json(req.get_param_value("channel"))));
      panel["generation"] = s.generation;
      return panel;
    });
  });
  s.http.Get("/api/status",
             [&s](const httplib::Request&, httplib::Response& res) { Answer(res, [&] { return Status(s); }); });
  s.http.Get("/api/scene.json", [&s](const httplib::Request&, httplib::Response& res) {
    Answer(res, [&] {
      std::lock_guard<std::mutex> lock(s.host);
      return s.scene->Save(s.viewWidth, s.viewHeight, PassesFor(s.viewWidth, s.viewHeight).back().samples);
    });
    res.set_header("Content-Disposition", "attachment; filename=\"scene.json\"");
  });
}

void AddEdits(ServerState& s) {
  s.http.Post("/api/param", [&s](const httplib::Request& req, httplib::Response& res) {
    Answer(res, [&] {
      const Json body = BodyOf(req);
      std::lock_guard<std::mutex> lock(s.host);
      const size_t object = ObjectOf(*s.scene, body.value("object", Json()));
      const Slot slot = SlotOf(body.value("channel", Json()));
      s.scene->PluginAt(object, slot);  // a channel without a panel is no edit
      Edit(s, [&] { s.scene->SetParameters(object, slot, body); });
      std::lock_guard<std::mutex> module(s.render->PreparationLock());
      Json panel = s.scene->Panel(object, slot);
      panel["generation"] = s.generation;
      return panel;
    });
  });
  s.http.Post("/api/channel", [&s](const httplib::Request& req, httplib::Response& res) {
    Answer(res, [&] {
      const Json body = BodyOf(req);
      std::lock_guard<std::mutex> lock(s.host);
      const size_t object = ObjectOf(*s.scene, body.value("object", Json()));
      const Slot slot = SlotOf(body.value("channel", Json()));
      const Json& shader = body.value("shader", Json());
      if (!shader.is_string()) throw ApiError(400, "shader: expected none or a plug-in shader's name");
      Edit(s, [&] { s.scene->SetShader(object, slot, shader.get<std::string>()); });
      Json entry = s.scene->ObjectEntry(object);
      entry["generation"] = s.generation;
      return entry;
    });
  });
  s.http.Post("/api/view", [&s](const httplib::Request& req, httplib::Response& res) {
    Answer(res, [&] {
      const Json body = BodyOf(req);
      const int64_t width = IntegerOf(body.value("width", Json()), "width", 16, 4096);
      const int64_t height = IntegerOf(body.value("height", Json()), "height", 16, 4096);
      std::lock_guard<std::mutex> lock(s.host);
      SetView(s, width, height);
      return Json{{"generation", s.generation}};
    });
  });
}

}  // namespace

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
  s.http.Get("/api/events", [&s](const httplib::Request& req, httplib::Response& res) {
    try {
      OpenEvents(s, req, res);
    } catch (const ApiError& e) {
      AnswerError(res, e.status, e.what());
    }
  });
  s.http.Get("/api/image", [&s](const httplib::Request& req, httplib::Response& res) {
    try {
      SendImage(s, req, res);
    } catch (const ApiError& e) {
      AnswerError(res, e.status, e.what());
    }
  });
}

}  // namespace tess::web
