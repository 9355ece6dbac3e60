// `tessaline-host serve [SCENE | MODEL]`: the live preview in a browser.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "hostapp/cli/commands.h"
#include "hostapp/cli/import_options.h"
#include "hostapp/gui/dialogs.h"
#include "hostapp/loader/layout.h"
#include "hostapp/render/module_host.h"
#include "hostapp/render/renderer.h"
#include "hostapp/services/console.h"
#include "hostapp/web/server.h"

namespace tess::cli {
namespace {

struct ServeRequest {
  web::ServeOptions options;
  bool open = false;
  int stopAfterSeconds = 0;
};

std::atomic<bool> interrupted{false};

namespace fs = std::filesystem;

// A page only this user can read that sends the browser on to the address:
// the token never shows in a command line (which every user can list), the
// way notebook servers open their browser. Empty when it cannot be written.
fs::path WriteRedirectPage(const std::string& address) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  const fs::path base =
      runtime != nullptr && fs::is_directory(runtime, ec) ? fs::path(runtime) : fs::temp_directory_path(ec);
  std::string folder = (base / "tessaline-serve-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return {};  // made with mode 0700
  const fs::path page = fs::path(folder) / "open.html";
  const int fd = ::open(page.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return {};
  const std::string html =
      "<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<meta http-equiv=\"refresh\" content=\"0; url=" + address +
      "\">\n<p><a href=\"" + address + "\">Open the Tessaline preview</a></p>\n";
  const bool written = ::write(fd, html.data(), html.size()) == static_cast<ssize_t>(html.size());
  ::close(fd);
  return written ? page : fs::path();
}

void RemoveRedirectPage(const fs::path& page) {
  if (page.empty()) return;
  std::error_code ec;
  fs::remove(page, ec);
  fs::remove(page.parent_path(), ec);
}

// Waits until the server accepts connections, then opens the address
// through the private page, never blocking the serving thread.
void OpenWhenListening(const web::PreviewServer& server, fs::path& page, const std::atomic<bool>& finished) {
  while (!server.Listening() && !finished) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (finished) return;
  page = WriteRedirectPage(server.Address());
  if (page.empty() || !host::OpenOnDesktop("file://" + page.string()))
    std::cerr << "note: no browser could be opened; open the address yourself\n";
}

extern "C" void OnInterrupt(int) {
  interrupted = true;
}

// Serves until SIGINT or SIGTERM; empty, or one error line.
std::string Serve(const ServeRequest& request) {
  std::string error;
  auto server = web::PreviewServer::Create(request.options, &error);
  if (server == nullptr) return error;
  std::cout << "serving the preview at " << server->Address() << "  (Ctrl+C stops)" << std::endl;
  // The handler only sets a flag; stopping the server is no work for a signal handler.
  interrupted = false;
  auto previousInt = std::signal(SIGINT, OnInterrupt);
  auto previousTerm = std::signal(SIGTERM, OnInterrupt);
  std::atomic<bool> finished{false};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(request.stopAfterSeconds);
  const auto timeIsUp = [&] { return request.stopAfterSeconds > 0 && std::chrono::steady_clock::now() >= deadline; };
  std::thread watcher([&] {
    while (!interrupted && !finished && !timeIsUp()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server->Stop();
  });
  fs::path redirectPage;
  std::thread opener;
  if (request.open) opener = std::thread([&] { OpenWhenListening(*server, redirectPage, finished); });
  const bool listened = server->Run();
  finished = true;
  watcher.join();
  if (opener.joinable()) opener.join();
  RemoveRedirectPage(redirectPage);
  std::signal(SIGINT, previousInt);
  std::signal(SIGTERM, previousTerm);
  server.reset();
  if (!listened) return "the server could not listen";
  std::cout << "stopped" << std::endl;
  return {};
}

int RunServe(ServeRequest request, const std::string& modulePath) {
  request.options.manualPath = (std::filesystem::path(modulePath).parent_path() / "docs" / "manual.pdf").string();
  if (request.options.staticDir.empty()) request.options.staticDir = host::DefaultStaticDir();
  gui::InstallGuiTables();
  render::ModuleHost module;
  std::string error = module.Start(modulePath);
  if (error.empty()) error = Serve(request);
  const std::string finish = module.Finish();
  if (error.empty()) error = finish;
  if (!error.empty()) {
    std::cerr << "error: " << error << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

CommandRunner AddServeCommand(CLI::App& app, const CommonOptions& common) {
  auto request = std::make_shared<ServeRequest>();
  CLI::App* cmd = app.add_subcommand(
      "serve",
      "Preview a scene or a mesh file (without either, the built-in demo scene) in the browser: progressive renders, "
      "the shaders' "
      "panels with their title bars, edits and Save. Prints the address to open, with its access token.");
  cmd->add_option("scene", request->options.scenePath,
                  "Scene file (JSON), or a mesh file to preview as render frames it");
  cmd->add_option("--port", request->options.port, "Port to listen on (0: any free one)")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  cmd->add_option("--listen", request->options.listen, "Address to listen on")->capture_default_str();
  cmd->add_flag("--open", request->open, "Open the address in the desktop's browser, through a page only you can read");
  cmd->add_option("--static", request->options.staticDir,
                  "Serve the page from this folder (default: web/ next to tessaline-host, or the installed page)");
  cmd->add_option(
         "--stop-after", request->stopAfterSeconds,
         "Stop by itself after this many seconds (0: only on Ctrl+C), so that a script's server cannot outlive it")
      ->check(CLI::Range(0, 1 << 30));
  cmd->add_option("--threads", request->options.threads, "Render threads (default: one per core)")
      ->check(CLI::Range(1, render::maxThreads));
  const std::shared_ptr<ImportOptions> import = AddImportOptions(cmd);
  return [request, import, &common] {
    UseImportOptions(*import);
    return RunServe(*request, common.modulePath);
  };
}

}  // namespace tess::cli
