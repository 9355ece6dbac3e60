// Undo and redo: each step taken back yields the step that makes it again.
#include <type_traits>

#include "hostapp/web/api_error.h"
#include "hostapp/web/server_state.h"

namespace tess::web {
namespace {

// Applies a step (the render stopped around it) and returns its inverse.
EditStep Apply(ServerState& s, EditStep step) {
  return std::visit(
      [&s](auto& taken) -> EditStep {
        using Step = std::decay_t<decltype(taken)>;
        if constexpr (std::is_same_v<Step, ChannelState>) {
          ChannelState inverse;
          s.Edit([&] { inverse = s.scene->Restore(std::move(taken)); });
          return inverse;
        } else if constexpr (std::is_same_v<Step, CameraStep>) {
          CameraStep inverse;
          s.Edit([&] { inverse.camera = s.scene->SetCamera(taken.camera); }, EditKind::View);
          return inverse;
        } else {
          return SceneStep{s.ReplaceScene(std::move(taken.scene))};
        }
      },
      step);
}

Json Walk(ServerState& s, bool back) {
  std::lock_guard<std::mutex> lock(s.host);
  std::optional<EditStep> step = back ? s.history.TakeUndo() : s.history.TakeRedo();
  if (!step) throw ApiError(409, back ? "nothing to undo" : "nothing to redo");
  EditStep inverse = Apply(s, std::move(*step));
  if (back)
    s.history.Undone(std::move(inverse));
  else
    s.history.Redone(std::move(inverse));
  return {{"generation", s.session->Generation()}};
}

}  // namespace

void AddHistoryRoutes(ServerState& s) {
  s.http.Post("/api/undo", Guarded([&s](const httplib::Request&, httplib::Response& res) {
                Answer(res, [&] { return Walk(s, true); });
              }));
  s.http.Post("/api/redo", Guarded([&s](const httplib::Request&, httplib::Response& res) {
                Answer(res, [&] { return Walk(s, false); });
              }));
}

}  // namespace tess::web
