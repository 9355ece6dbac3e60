// The steps a user can take back and make again. Each step holds what takes
// its edit back; applying it yields the step that makes the edit again, so
// undo and redo are the same move between two stacks.
#ifndef TESSALINE_HOSTAPP_WEB_EDIT_HISTORY_H
#define TESSALINE_HOSTAPP_WEB_EDIT_HISTORY_H

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "hostapp/web/preview_scene.h"

namespace tess::web {

// The camera before a move; `drag` names the pointer drag the move belongs
// to, so that a whole drag is one step.
struct CameraStep {
  render::CameraSetup camera;
  std::string drag;
};

// The whole scene before a file was opened in its place.
struct SceneStep {
  std::unique_ptr<PreviewScene> scene;
};

using EditStep = std::variant<ChannelState, CameraStep, SceneStep>;

class EditHistory {
 public:
  static constexpr size_t maxSteps = 200;

  // A new edit: what takes it back. What could be redone is gone.
  void Done(EditStep undo);
  // Whether the newest step is a camera move of this drag (never for an
  // unnamed drag): its next move extends that step rather than adding one.
  bool ContinuesDrag(const std::string& drag) const;

  std::optional<EditStep> TakeUndo() { return Take(undos); }
  std::optional<EditStep> TakeRedo() { return Take(redos); }
  // The inverse of a step just taken, onto the other stack.
  void Undone(EditStep redo) { Push(redos, std::move(redo)); }
  void Redone(EditStep undo) { Push(undos, std::move(undo)); }

  size_t UndoCount() const { return undos.size(); }
  size_t RedoCount() const { return redos.size(); }

 private:
  static std::optional<EditStep> Take(std::deque<EditStep>& steps);
  static void Push(std::deque<EditStep>& steps, EditStep step);
  std::deque<EditStep> undos, redos;
};

}  // namespace tess::web

#endif
