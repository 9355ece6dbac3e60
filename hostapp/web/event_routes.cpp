// The render's side of the API: the event stream that announces passes and
// progress, and the passes' images and outputs.
#include "hostapp/web/api_error.h"
#include "hostapp/web/server_state.h"

namespace tess::web {
namespace {

using namespace std::chrono_literals;

constexpr auto progressEvery = 100ms;
// Often enough that the stream of a closed page is found gone (its second
// write fails) within about two seconds, so that reloads never use up the
// streams a server allows.
constexpr auto keepAliveEvery = 1s;
// Each stream holds a request thread while its page is open: well below the
// pool's size, so that requests always find a thread.
constexpr int maxStreams = 8;

struct Stream {
  uint64_t seen = 0;
  std::string pending;  // the latest pass, for a page that just connected
  uint64_t shownGeneration = 0;
  int shownPass = -1, shownPercent = -1, shownOverall = -1;
  Clock::time_point lastWrite = Clock::now();
};

// Shares in thousandths, rounded down: what was shown never goes back.
int Thousandths(double share) {
  return static_cast<int>(share * 1000.0);
}

RenderProgress ProgressOf(ServerState& s) {
  const std::shared_lock<std::shared_mutex> swap(s.sessionSwap);
  return s.session->Progress();
}

std::string ProgressText(ServerState& s, Stream& stream) {
  const RenderProgress p = ProgressOf(s);
  const int percent = static_cast<int>(p.fraction * 100.0);
  const int overall = Thousandths(p.overall);
  const bool same = p.generation == stream.shownGeneration;
  // A finished generation's end is shown once, so that a page sees it reach 1.
  const bool ended = !p.running && overall == 1000 && !(same && stream.shownOverall == overall);
  if ((!p.running && !ended) ||
      (same && p.pass == stream.shownPass && percent == stream.shownPercent && overall == stream.shownOverall))
    return {};
  stream.shownGeneration = p.generation;
  stream.shownPass = p.pass;
  stream.shownPercent = percent;
  stream.shownOverall = overall;
  return "event: progress\ndata: " +
         Dump(Json{{"generation", p.generation},
                   {"pass", p.pass},
                   {"fraction", percent / 100.0},
                   {"overall", overall / 1000.0}}) +
         "\n\n";
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

void OpenEvents(ServerState& s, httplib::Response& res) {
  if (s.streams.fetch_add(1) >= maxStreams) {
    s.streams.fetch_sub(1);
    throw ApiError(503, "too many event streams are open (" + std::to_string(maxStreams) + "); close a page");
  }
  auto stream = std::make_shared<Stream>();
  // Numbered before the latest pass is taken: a pass may come twice, never not at all.
  stream->seen = s.events.Newest();
  std::optional<Pass> latest;
  {
    const std::shared_lock<std::shared_mutex> swap(s.sessionSwap);
    latest = s.session->Latest();
  }
  if (latest) stream->pending = "event: pass\ndata: " + Dump(PassJson(*latest)) + "\n\n";
  res.set_header("Cache-Control", "no-store");
  res.set_chunked_content_provider(
      "text/event-stream",
      [&s, stream](size_t, httplib::DataSink& sink) {
        // Runs outside the handler's guard: nothing may throw out of it.
        try {
          return StreamEvents(s, *stream, sink);
        } catch (...) {
          return false;
        }
      },
      [&s](bool) { s.streams.fetch_sub(1); });
}

Aov AovOf(const httplib::Request& req) {
  if (!req.has_param("aov")) return Aov::Beauty;
  const std::string name = req.get_param_value("aov");
  const Aov* aov = AovNamed(name);
  if (aov == nullptr)
    throw ApiError(
        400, "aov: expected beauty, normal, albedo or object, got \"" + render::Printable(name.substr(0, 40)) + "\"");
  return *aov;
}

// The pass the request names, else the latest; ApiError (404) when none is kept.
Pass PassOf(ServerState& s, const httplib::Request& req) {
  const std::shared_lock<std::shared_mutex> swap(s.sessionSwap);
  if (req.has_param("generation") || req.has_param("pass")) {
    std::optional<Pass> pass = s.session->Find(static_cast<uint64_t>(QueryInteger(req, "generation", 0, INT64_MAX)),
                                               static_cast<int>(QueryInteger(req, "pass", 0, 1000)));
    if (!pass) throw ApiError(404, "that pass is no longer kept");
    return *pass;
  }
  std::optional<Pass> pass = s.session->Latest();
  if (!pass) throw ApiError(404, "no pass is finished yet");
  return *pass;
}

void SendImage(ServerState& s, const httplib::Request& req, httplib::Response& res) {
  const Aov aov = AovOf(req);
  const Pass pass = PassOf(s, req);
  const std::shared_ptr<const std::string> png = pass.image->Png(aov);
  if (png->empty()) throw ApiError(500, "the image could not be encoded");
  res.set_header("Cache-Control", "no-store");
  res.set_header("X-Tessaline-Generation", std::to_string(pass.generation));
  res.set_header("X-Tessaline-Pass", std::to_string(pass.index));
  res.set_content(*png, "image/png");
}

}  // namespace

void AddEventRoutes(ServerState& s) {
  s.http.Get("/api/events", Guarded([&s](const httplib::Request&, httplib::Response& res) { OpenEvents(s, res); }));
  s.http.Get("/api/image",
             Guarded([&s](const httplib::Request& req, httplib::Response& res) { SendImage(s, req, res); }));
}

}  // namespace tess::web
