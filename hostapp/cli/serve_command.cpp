// `tessaline-host serve [SCENE | MODEL]`: the live preview in a browser.
#include <atomic>
#include <chrono>
#include <csignal>
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

extern "C" void OnInterrupt(int) {
  interrupted = true;
}

// Serves until SIGINT or SIGTERM; empty, or one error line.
std::string Serve(const ServeRequest& request) {
  std::string error;
  auto server = web::PreviewServer::Create(request.options, &error);
  if (server == nullptr) return error;
  std::cout << "serving the preview at " << server->Address() << "  (Ctrl+C stops)" << std::endl;
  if (request.open) {
    host::Console desktop;
    desktop.openForReal = true;
    if (!desktop.Open(server->Address())) std::cerr << "note: no browser could be opened; open the address yourself\n";
  }
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
  const bool listened = server->Run();
  finished = true;
  watcher.join();
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
  cmd->add_flag("--open", request->open, "Open the address in the desktop's browser");
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
