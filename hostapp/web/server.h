// `tessaline-host serve`: a local HTTP server that shows the scene in a
// browser page, renders it progressively and edits its shaders through the
// module's own panels. Every API request must carry the run's random token.
#ifndef TESSALINE_HOSTAPP_WEB_SERVER_H
#define TESSALINE_HOSTAPP_WEB_SERVER_H

#include <atomic>
#include <memory>
#include <string>

namespace tess::web {

struct ServeOptions {
  std::string scenePath;  // empty: the demo scene
  std::string listen = "127.0.0.1";
  int port = 8080;                // 0: any free port
  std::string staticDir;          // the page's files; empty: web/ next to the binary
  std::string manualPath;         // served until the module names its own
  int threads = 0;                // render threads; 0: one per core
  int width = 640, height = 360;  // the render's size until the page says its pane's
};

struct ServerState;

class PreviewServer {
 public:
  // Reads the scene, prepares the render and binds the port; the module must
  // have started. Null with one error line on failure.
  static std::unique_ptr<PreviewServer> Create(const ServeOptions& options, std::string* error);
  ~PreviewServer();

  int Port() const;
  const std::string& Token() const;
  // The address to open, token included.
  std::string Address() const;
  // Serves until Stop; false when it could not listen.
  bool Run();
  // Whether Run accepts connections yet.
  bool Listening() const;
  // The private folder opened files go to; empty until the first is opened.
  std::string OpenedFilesFolder() const;
  // For tests: the render thread throws this in its next pass.
  void InjectRenderFault(const std::string& message);
  // From any thread: ends Run, closes the event streams, stops the render.
  void Stop();

 private:
  explicit PreviewServer(std::unique_ptr<ServerState> s);
  std::unique_ptr<ServerState> state;
  // The listener only stops once it runs; a Stop that comes first must wait for it.
  std::atomic<bool> running{false};
  std::atomic<bool> stopping{false};
};

}  // namespace tess::web

#endif
