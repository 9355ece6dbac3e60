#include "hostapp/web/edit_history.h"

namespace tess::web {

void EditHistory::Done(EditStep undo) {
  redos.clear();
  Push(undos, std::move(undo));
}

bool EditHistory::ContinuesDrag(const std::string& drag) const {
  if (drag.empty() || undos.empty()) return false;
  const auto* move = std::get_if<CameraStep>(&undos.back());
  return move != nullptr && move->drag == drag;
}

std::optional<EditStep> EditHistory::Take(std::deque<EditStep>& steps) {
  if (steps.empty()) return std::nullopt;
  EditStep step = std::move(steps.back());
  steps.pop_back();
  return step;
}

void EditHistory::Push(std::deque<EditStep>& steps, EditStep step) {
  steps.push_back(std::move(step));
  // The oldest steps go first; a dropped step frees what it held.
  while (steps.size() > maxSteps) steps.pop_front();
}

}  // namespace tess::web
