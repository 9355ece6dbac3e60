#include "hostapp/web/server.h"

#include <fcntl.h>
#include <malloc.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "hostapp/scene/json_limits.h"
#include "hostapp/web/api_error.h"
#include "hostapp/web/server_state.h"

namespace tess::web {
namespace {

namespace fs = std::filesystem;

// Event streams hold their thread for as long as a page is open; requests
// must find threads left whatever the streams take.
constexpr int requestThreads = 32;
constexpr time_t headerSeconds = 5;  // a client slower to send its request is let go

std::string RandomToken() {
  std::random_device device;
  std::string token;
  const char* hex = "0123456789abcdef";
  for (int i = 0; i < 32; ++i) token += hex[device() & 15u];
  return token;
}

std::string ContentType(const fs::path& file) {
  const std::string ext = file.extension().string();
  if (ext == ".html") return "text/html; charset=utf-8";
  if (ext == ".js" || ext == ".mjs") return "text/javascript; charset=utf-8";
  if (ext == ".css") return "text/css; charset=utf-8";
  if (ext == ".json") return "application/json";
  if (ext == ".png") return "image/png";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".pdf") return "application/pdf";
  return "application/octet-stream";
}

bool ReadFile(const fs::path& file, std::string& bytes) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return false;
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  bytes = text.str();
  return static_cast<bool>(in);
}

// Names inside the page's folder only: no "..", no absolute or hidden names.
bool SafeName(const std::string& name) {
  if (name.empty() || name.size() > 200) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-' && c != '/') return false;
  for (const auto& part : fs::path(name))
    if (part.empty() || part.string()[0] == '.') return false;
  return name.front() != '/' && name.back() != '/';
}

// The page's files hold no secret: the page reads the token from its own
// address and sends it with every API request.
void ServeStatic(const ServerState& state, const httplib::Request& req, httplib::Response& res) {
  const std::string name = req.matches[1].str().empty() ? "index.html" : req.matches[1].str();
  std::string bytes;
  if (!SafeName(name) || !ReadFile(fs::path(state.options.staticDir) / name, bytes))
    return AnswerError(res, 404, "no such file: /" + render::Printable(name));
  res.set_header("Cache-Control", "no-store");
  res.set_content(bytes, ContentType(name));
}

void ServeManual(ServerState& state, httplib::Response& res) {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(state.host);
    path = state.titleBar.ManualPath().empty() ? state.options.manualPath : state.titleBar.ManualPath();
  }
  std::string bytes;
  if (path.empty() || !ReadFile(path, bytes)) return AnswerError(res, 404, "the module has no manual");
  res.set_content(bytes, "application/pdf");
}

std::string DefaultStaticDir() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ((ec ? fs::current_path() : self.parent_path()) / "web").string();
}

void AddRoutes(ServerState& state) {
  AddApiRoutes(state);
  AddEventRoutes(state);
  AddRenderRoutes(state);
  AddTitleBarRoutes(state);
  AddOpenRoutes(state);
  state.http.Get("/manual.pdf",
                 Guarded([&state](const httplib::Request&, httplib::Response& res) { ServeManual(state, res); }));
  state.http.Get(R"(/(.*))", Guarded([&state](const httplib::Request& req, httplib::Response& res) {
                   ServeStatic(state, req, res);
                 }));
  const auto wrongMethod = Guarded([](const httplib::Request& req, httplib::Response& res) {
    AnswerError(res, 405, req.method + " is not served at " + render::Printable(req.path));
  });
  state.http.Post(R"(/(.*))", wrongMethod);
  state.http.Put(R"(/(.*))", wrongMethod);
  state.http.Delete(R"(/(.*))", wrongMethod);
  state.http.Patch(R"(/(.*))", wrongMethod);
}

// A browser or other program the server starts must not inherit its socket.
void CloseOnExec(socket_t sock) {
  const int flags = fcntl(sock, F_GETFD);
  if (flags >= 0) fcntl(sock, F_SETFD, flags | FD_CLOEXEC);
}

// Every pass allocates its images anew, tens of megabytes at the pane's
// size. Left to itself the C library maps such blocks fresh and unmaps them
// when freed, so each pass faults in and clears every page again before a
// render thread can notice a cancel: an edit waited for that. Kept in the
// heap, freed images are reused by the next pass as they are.
void KeepImagesInTheHeap() {
  constexpr int mapAbove = 32 << 20;    // the largest threshold the library takes
  constexpr int trimAbove = 512 << 20;  // a few passes' images stay mapped
  mallopt(M_MMAP_THRESHOLD, mapAbove);
  mallopt(M_TRIM_THRESHOLD, trimAbove);
}

}  // namespace

Json BodyOf(const httplib::Request& req) {
  const std::string tooDeep = render::CheckJsonDepth(req.body, "the body");
  if (!tooDeep.empty()) throw ApiError(400, tooDeep);
  Json body = Json::parse(req.body, nullptr, false);
  if (body.is_discarded()) throw ApiError(400, "the body is not JSON");
  if (!body.is_object()) throw ApiError(400, "the body must be a JSON object");
  return body;
}

Json PassJson(const Pass& pass) {
  const std::string url =
      "/api/image?generation=" + std::to_string(pass.generation) + "&pass=" + std::to_string(pass.index);
  return {{"generation", pass.generation},
          {"pass", pass.index},
          {"passes", pass.count},
          {"width", pass.plan.width},
          {"height", pass.plan.height},
          {"samples", pass.plan.sampleEnd},
          {"final", pass.Final()},
          {"ms", std::lround(pass.milliseconds)},
          {"url", url}};
}

ServerState::~ServerState() {
  session.reset();
  titleBar.Forget();
}

void ServerState::Edit(const std::function<void()>& change, EditKind kind) {
  session->Edit(
      change,
      [this](uint64_t next) {
        events.Publish("scene", Dump(Json{{"generation", next}}));
      },
      kind);
}

std::unique_ptr<RenderSession> ServerState::NewSession(const PreviewScene& shown, uint64_t firstGeneration) {
  RenderSession::Listener listener;
  listener.pass = [this](const Pass& pass) { events.Publish("pass", Dump(PassJson(pass))); };
  listener.error = [this](uint64_t generation, const std::string& message) {
    events.Publish("error", Dump(Json{{"generation", generation}, {"message", message}}));
  };
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::make_unique<RenderSession>(shown.Scene(), options.threads > 0 ? options.threads : std::max(cores, 1),
                                         std::move(listener), firstGeneration);
}

std::unique_ptr<PreviewScene> ServerState::ReplaceScene(std::unique_ptr<PreviewScene> next) {
  // Nothing posts a generation while `host` is held, so the numbers are known.
  const uint64_t first = session->Generation() + 1;
  std::unique_ptr<RenderSession> fresh = NewSession(*next, first);
  if (!fresh->Error().empty()) throw ApiError(400, fresh->Error());
  fresh->SetControls(session->Controls());  // the render controls are the page's, not the scene's
  {
    const std::unique_lock<std::shared_mutex> swap(sessionSwap);
    session.reset();  // the render stops before the scene it reads goes
    std::swap(scene, next);
    session = std::move(fresh);
  }
  events.Publish("scene", Dump(Json{{"generation", first}}));
  rendered = Shown();
  session->SetView(rendered.width, rendered.height);
  return next;
}

PreviewServer::PreviewServer(std::unique_ptr<ServerState> s) : state(std::move(s)) {}

PreviewServer::~PreviewServer() {
  Stop();
}

std::unique_ptr<PreviewServer> PreviewServer::Create(const ServeOptions& options, std::string* error) {
  KeepImagesInTheHeap();
  auto state = std::make_unique<ServerState>();
  state->options = options;
  if (state->options.staticDir.empty()) state->options.staticDir = DefaultStaticDir();
  state->token = RandomToken();
  state->views[state->shownPage] = {options.width, options.height};
  state->scene = PreviewScene::Open(options.scenePath, error);
  if (state->scene == nullptr) return nullptr;
  state->session = state->NewSession(*state->scene, 1);
  if (!state->session->Error().empty()) {
    *error = state->session->Error();
    return nullptr;
  }
  state->http.new_task_queue = [] { return new httplib::ThreadPool(requestThreads); };
  // Only POST /api/open takes bodies this large, streamed to files; the
  // middleware holds every other route to maxBodyBytes.
  state->http.set_payload_max_length(maxOpenBytes);
  state->http.set_read_timeout(headerSeconds, 0);
  state->http.set_write_timeout(5, 0);
  state->http.set_keep_alive_timeout(1);
  // Small answers (a pick, a camera move) go out at once rather than after
  // the delayed acknowledgement of the one before on the same connection.
  state->http.set_tcp_nodelay(true);
  state->http.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const void*>(&yes), sizeof(yes));
    CloseOnExec(sock);
  });
  AddRoutes(*state);
  state->port = options.port == 0 ? state->http.bind_to_any_port(options.listen)
                                  : (state->http.bind_to_port(options.listen, options.port) ? options.port : -1);
  if (state->port <= 0) {
    *error = "cannot listen on " + options.listen + ":" + std::to_string(options.port);
    return nullptr;
  }
  InstallMiddleware(state->http, AccessFor(options.listen, state->port, state->token));
  state->rendered = {options.width, options.height};
  state->session->SetView(options.width, options.height);
  return std::unique_ptr<PreviewServer>(new PreviewServer(std::move(state)));
}

int PreviewServer::Port() const {
  return state->port;
}

const std::string& PreviewServer::Token() const {
  return state->token;
}

std::string PreviewServer::Address() const {
  return "http://" + state->options.listen + ":" + std::to_string(state->port) + "/?token=" + state->token;
}

bool PreviewServer::Run() {
  running = true;
  const bool ok = stopping || state->http.listen_after_bind();
  running = false;
  return ok;
}

bool PreviewServer::Listening() const {
  return state->http.is_running();
}

std::string PreviewServer::OpenedFilesFolder() const {
  return state->uploads.Path();
}

void PreviewServer::InjectRenderFault(const std::string& message) {
  std::lock_guard<std::mutex> lock(state->host);
  state->session->InjectFault(message);
  state->session->SetView(state->Shown().width, state->Shown().height);
}

void PreviewServer::Stop() {
  stopping = true;
  state->events.Close();
  state->http.stop();
  while (running) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    state->http.stop();
  }
}

}  // namespace tess::web
