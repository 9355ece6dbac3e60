// A tracer whose answers are written by a test: each ray gets exactly the
// hit or miss the test prepared, and every ray asked is kept for inspection.
#ifndef TESSALINE_HOSTAPP_SERVICES_SCRIPTED_TRACER_H
#define TESSALINE_HOSTAPP_SERVICES_SCRIPTED_TRACER_H

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "hostapp/services/render_data.h"

namespace tess::host {

class ScriptedTracer : public Tracer {
 public:
  // One ray as it was asked.
  struct Request {
    HostVector origin;
    HostVector direction;
    double maxDistance;
    HostHitId skip;
    HostRay ray;
    int32_t threadIndex;  // of the asking sample's context, -1 without one
  };
  // A hit when set, a miss when empty.
  using Answer = std::optional<HostIntersection>;
  using Script = std::function<Answer(const Request&)>;

  // A script answers every ray while it is set; otherwise the queued answers
  // are handed out in order, and a ray that finds the queue empty misses.
  void SetScript(Script answer);
  void QueueHit(const HostIntersection& hit);
  void QueueMiss();
  // The object HitObject reports for hits with this id.
  void SetObject(int32_t id, const HostRayObject* object);

  std::vector<Request> Requests() const;
  size_t PendingAnswers() const;
  void ClearRequests();

  bool Trace(const HostVolumeData& vd, const HostRay& ray, double maxDistance, const HostHitId& skip,
             HostIntersection* out) const override;
  const HostRayObject* HitObject(const HostHitId& hit) const override;

 private:
  // Trace is const to its callers but records; the lock lets render threads
  // share one tracer.
  mutable std::mutex lock;
  mutable std::vector<Request> requests;
  mutable std::deque<Answer> queue;
  Script script;
  std::map<int32_t, const HostRayObject*> objects;
};

}  // namespace tess::host

#endif
