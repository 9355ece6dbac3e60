#include "hostapp/services/scripted_tracer.h"

namespace tess::host {

void ScriptedTracer::SetScript(Script answer) {
  std::lock_guard<std::mutex> guard(lock);
  script = std::move(answer);
}

void ScriptedTracer::QueueHit(const HostIntersection& hit) {
  std::lock_guard<std::mutex> guard(lock);
  queue.emplace_back(hit);
}

void ScriptedTracer::QueueMiss() {
  std::lock_guard<std::mutex> guard(lock);
  queue.emplace_back(std::nullopt);
}

void ScriptedTracer::SetObject(int32_t id, const HostRayObject* object) {
  std::lock_guard<std::mutex> guard(lock);
  objects[id] = object;
}

std::vector<ScriptedTracer::Request> ScriptedTracer::Requests() const {
  std::lock_guard<std::mutex> guard(lock);
  return requests;
}

size_t ScriptedTracer::PendingAnswers() const {
  std::lock_guard<std::mutex> guard(lock);
  return queue.size();
}

void ScriptedTracer::ClearRequests() {
  std::lock_guard<std::mutex> guard(lock);
  requests.clear();
}

bool ScriptedTracer::Trace(const HostVolumeData& vd, const HostRay& ray, double maxDistance, const HostHitId& skip,
                           HostIntersection* out) const {
  const auto* context = static_cast<const SampleContext*>(vd.renderer);
  const Request request{ray.origin, ray.direction, maxDistance,
                        skip,       ray,           context != nullptr ? context->threadIndex : -1};
  Answer answer;
  Script run;
  {
    std::lock_guard<std::mutex> guard(lock);
    requests.push_back(request);
    run = script;
    if (!run && !queue.empty()) {
      answer = queue.front();
      queue.pop_front();
    }
  }
  // The script runs outside the lock so that it may inspect the tracer.
  if (run) answer = run(request);
  if (!answer) return false;
  if (out != nullptr) *out = *answer;
  return true;
}

const HostRayObject* ScriptedTracer::HitObject(const HostHitId& hit) const {
  std::lock_guard<std::mutex> guard(lock);
  auto it = objects.find(hit.id);
  return it != objects.end() ? it->second : nullptr;
}

}  // namespace tess::host
