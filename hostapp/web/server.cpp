#include "hostapp/web/server.h"

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

constexpr size_t maxBody = 1 << 20;
constexpr const char* cookieName = "tessaline_token";

std::string RandomToken() {
  std::random_device device;
  std::string token;
  const char* hex = "0123456789abcdef";
  for (int i = 0; i < 32; ++i) token += hex[device() & 15u];
  return token;
}

// Compares without stopping at the first difference, so the answer's timing
// tells nothing about how much of a guess was right.
bool SameToken(const std::string& given, const std::string& token) {
  if (given.size() != token.size()) return false;
  unsigned difference = 0;
  for (size_t i = 0; i < token.size(); ++i) difference |= static_cast<unsigned>(given[i] ^ token[i]);
  return difference == 0;
}

std::string CookieToken(const httplib::Request& req) {
  const std::string cookies = req.get_header_value("Cookie");
  const std::string key = std::string(cookieName) + "=";
  for (size_t at = cookies.find(key); at != std::string::npos; at = cookies.find(key, at + 1)) {
    if (at != 0 && cookies[at - 1] != ' ' && cookies[at - 1] != ';') continue;
    const size_t end = cookies.find(';', at);
    return cookies.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
  }
  return {};
}

std::string GivenToken(const httplib::Request& req) {
  if (req.has_param("token")) return req.get_param_value("token");
  if (req.has_header("X-Tessaline-Token")) return req.get_header_value("X-Tessaline-Token");
  return CookieToken(req);
}

// Empty when the request may go on, else why it may not.
std::string Refusal(const ServerState& state, const httplib::Request& req) {
  if (!SameToken(GivenToken(req), state.token)) return "missing or wrong token";
  if (req.method == "OPTIONS") return "cross-origin requests are refused";
  if (req.get_header_value("Sec-Fetch-Site") == "cross-site") return "cross-origin requests are refused";
  if (req.has_header("Origin") && req.get_header_value("Origin") != "http://" + req.get_header_value("Host"))
    return "cross-origin requests are refused";
  return {};
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

void ServeStatic(const ServerState& state, const httplib::Request& req, httplib::Response& res) {
  const std::string name = req.matches[1].str().empty() ? "index.html" : req.matches[1].str();
  std::string bytes;
  if (!SafeName(name) || !ReadFile(fs::path(state.options.staticDir) / name, bytes))
    return AnswerError(res, 404, "no such file: /" + render::Printable(name));
  if (name == "index.html") {
    for (size_t at = bytes.find("__TOKEN__"); at != std::string::npos; at = bytes.find("__TOKEN__", at))
      bytes.replace(at, 9, state.token);
    res.set_header("Set-Cookie", std::string(cookieName) + "=" + state.token + "; HttpOnly; SameSite=Strict; Path=/");
  }
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
  state.http.set_pre_routing_handler([&state](const httplib::Request& req, httplib::Response& res) {
    const std::string why = Refusal(state, req);
    if (why.empty()) return httplib::Server::HandlerResponse::Unhandled;
    AnswerError(res, 403, why);
    return httplib::Server::HandlerResponse::Handled;
  });
  state.http.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty()) return;
    AnswerError(res, res.status,
                res.status == 404   ? "no such path: " + render::Printable(req.path)
                : res.status == 413 ? "the request body is over 1 MiB"
                                    : "the request was refused");
  });
  AddApiRoutes(state);
  AddTitleBarRoutes(state);
  state.http.Get("/manual.pdf", [&state](const httplib::Request&, httplib::Response& res) { ServeManual(state, res); });
  state.http.Get(R"(/(.*))",
                 [&state](const httplib::Request& req, httplib::Response& res) { ServeStatic(state, req, res); });
  const auto wrongMethod = [](const httplib::Request& req, httplib::Response& res) {
    AnswerError(res, 405, req.method + " is not served at " + render::Printable(req.path));
  };
  state.http.Post(R"(/(.*))", wrongMethod);
  state.http.Put(R"(/(.*))", wrongMethod);
  state.http.Delete(R"(/(.*))", wrongMethod);
  state.http.Patch(R"(/(.*))", wrongMethod);
}

}  // namespace

void AnswerError(httplib::Response& res, int status, const std::string& message) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(Json{{"error", message}}.dump(), "application/json");
}

void Answer(httplib::Response& res, const std::function<Json()>& make) {
  try {
    res.set_header("Cache-Control", "no-store");
    res.set_content(make().dump(), "application/json");
  } catch (const ApiError& e) {
    AnswerError(res, e.status, e.what());
  } catch (const std::exception& e) {
    AnswerError(res, 500, e.what());
  }
}

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
          {"samples", pass.plan.samples},
          {"final", pass.Final()},
          {"ms", std::lround(pass.milliseconds)},
          {"url", url}};
}

ServerState::~ServerState() {
  render.reset();
  titleBar.Forget();
}

uint64_t ServerState::Restart(Clock::time_point requested, bool edited) {
  const auto announce = [this](uint64_t next) { events.Publish("scene", Json{{"generation", next}}.dump()); };
  generation = render->Start(viewWidth, viewHeight, requested, edited ? announce : std::function<void(uint64_t)>());
  return generation;
}

PreviewServer::PreviewServer(std::unique_ptr<ServerState> s) : state(std::move(s)) {}

PreviewServer::~PreviewServer() {
  Stop();
}

std::unique_ptr<PreviewServer> PreviewServer::Create(const ServeOptions& options, std::string* error) {
  auto state = std::make_unique<ServerState>();
  state->options = options;
  if (state->options.staticDir.empty()) state->options.staticDir = DefaultStaticDir();
  state->token = RandomToken();
  state->viewWidth = options.width;
  state->viewHeight = options.height;
  state->scene = PreviewScene::Open(options.scenePath, error);
  if (state->scene == nullptr) return nullptr;
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  ServerState& s = *state;
  ProgressiveRender::Listener listener;
  listener.pass = [&s](const Pass& pass) { s.events.Publish("pass", PassJson(pass).dump()); };
  listener.error = [&s](uint64_t generation, const std::string& message) {
    s.events.Publish("error", Json{{"generation", generation}, {"message", message}}.dump());
  };
  state->render = std::make_unique<ProgressiveRender>(
      state->scene->Scene(), options.threads > 0 ? options.threads : std::max(cores, 1), std::move(listener));
  if (!state->render->Error().empty()) {
    *error = state->render->Error();
    return nullptr;
  }
  state->http.new_task_queue = [] { return new httplib::ThreadPool(16); };
  state->http.set_payload_max_length(maxBody);
  state->http.set_read_timeout(5, 0);
  state->http.set_write_timeout(5, 0);
  state->http.set_keep_alive_timeout(1);
  AddRoutes(*state);
  state->port = options.port == 0 ? state->http.bind_to_any_port(options.listen)
                                  : (state->http.bind_to_port(options.listen, options.port) ? options.port : -1);
  if (state->port <= 0) {
    *error = "cannot listen on " + options.listen + ":" + std::to_string(options.port);
    return nullptr;
  }
  state->Restart(Clock::now());
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
