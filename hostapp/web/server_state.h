// What the server's request handlers share. Requests that touch the scene,
// the module or the host's GUI take `host`, so edits from two pages are
// applied one at a time; the render session never takes it.
#ifndef TESSALINE_HOSTAPP_WEB_SERVER_STATE_H
#define TESSALINE_HOSTAPP_WEB_SERVER_STATE_H

#include <httplib.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "hostapp/web/edit_history.h"
#include "hostapp/web/edit_order.h"
#include "hostapp/web/event_hub.h"
#include "hostapp/web/middleware.h"
#include "hostapp/web/preview_scene.h"
#include "hostapp/web/render_session.h"
#include "hostapp/web/server.h"
#include "hostapp/web/titlebar_view.h"
#include "hostapp/web/upload_folder.h"

namespace tess::web {

struct ServerState {
  ServeOptions options;
  std::string token;
  int port = 0;
  httplib::Server http;
  std::atomic<int> streams{0};  // open event streams

  std::mutex host;
  // Opened files; it outlasts every scene that reads them.
  UploadFolder uploads;
  // Destroyed in reverse: the render stops before the scene's nodes go.
  std::unique_ptr<PreviewScene> scene;
  TitleBarView titleBar;
  EventHub events;
  std::unique_ptr<RenderSession> session;
  // Readers of `session` that do not hold `host` hold this shared; a new
  // scene's session takes its place under it.
  std::shared_mutex sessionSwap;
  EditOrder order;      // under `host`
  EditHistory history;  // under `host`
  // What each page shows, by the page's name; requests that name no page
  // act on the default page "". One render serves them all: it follows the
  // page that set its view last.
  struct View {
    int width = 640, height = 360;
    bool operator==(const View& o) const { return width == o.width && height == o.height; }
  };
  std::map<std::string, View> views;  // under `host`
  std::string shownPage;              // under `host`
  View rendered;                      // the size the session renders at, under `host`
  const View& Shown() { return views[shownPage]; }

  ~ServerState();
  // Changes the scene with no render reading it and starts the next
  // generation; every page hears of it before its first pass. A change of
  // the camera alone (EditKind::View) leaves the shaders prepared.
  void Edit(const std::function<void()>& change, EditKind kind = EditKind::Shaders);
  // A render session for `shown` whose generations start at `firstGeneration`.
  std::unique_ptr<RenderSession> NewSession(const PreviewScene& shown, uint64_t firstGeneration);
  // Shows `next` in place of the scene; under `host`. Its render world is
  // built first, while the current render goes on: when it cannot be, this
  // throws ApiError (400) with the reason, `next` is dropped and nothing else
  // changes. Otherwise the current render stops and its session goes, `next`
  // takes the scene's place, a new session numbers its generations after the
  // old one's, every page hears `scene` with the first of them, and the shown
  // view renders (the pages' views stay). Returns the scene it replaced, which
  // no render reads any more.
  std::unique_ptr<PreviewScene> ReplaceScene(std::unique_ptr<PreviewScene> next);
};

// The request's body as a JSON object; ApiError (400) otherwise.
Json BodyOf(const httplib::Request& req);
Json PassJson(const Pass& pass);
// Request values: ApiError (400) when absent or not a whole number in range.
int64_t IntegerOf(const Json& value, const std::string& name, int64_t min, int64_t max);
int64_t QueryInteger(const httplib::Request& req, const std::string& name, int64_t min, int64_t max);
// The object and channel a request names, by query or body.
size_t ObjectOf(const PreviewScene& scene, const Json& value);
Slot SlotOf(const Json& value);

// The scene as GET /api/scene answers it; the caller holds `host`.
Json SceneJson(ServerState& s);
// The page a request names, or the default page "".
std::string PageOf(const Json& body);
// Whether the edit is newer than every one applied of the same value from
// the same page; edits that carry no number are always applied.
bool Fresh(ServerState& s, const Json& body, const std::string& value);

void AddApiRoutes(ServerState& state);
void AddViewRoutes(ServerState& state);
void AddHistoryRoutes(ServerState& state);
void AddEventRoutes(ServerState& state);
void AddRenderRoutes(ServerState& state);
void AddTitleBarRoutes(ServerState& state);
void AddOpenRoutes(ServerState& state);

}  // namespace tess::web

#endif
