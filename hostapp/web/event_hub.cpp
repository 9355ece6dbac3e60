#include "hostapp/web/event_hub.h"

namespace tess::web {
namespace {

constexpr size_t keptEvents = 64;

}  // namespace

void EventHub::Publish(const std::string& event, const std::string& data) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    recent.push_back({++published, "event: " + event + "\ndata: " + data + "\n\n"});
    if (recent.size() > keptEvents) recent.pop_front();
  }
  arrived.notify_all();
}

std::string EventHub::Wait(uint64_t& seen, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex);
  arrived.wait_for(lock, timeout, [&] { return closed || published > seen; });
  std::string text;
  if (closed) return text;
  for (const Event& e : recent)
    if (e.number > seen) text += e.text;
  seen = published;
  return text;
}

uint64_t EventHub::Newest() const {
  std::lock_guard<std::mutex> lock(mutex);
  return published;
}

void EventHub::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
  }
  arrived.notify_all();
}

bool EventHub::Closed() const {
  std::lock_guard<std::mutex> lock(mutex);
  return closed;
}

}  // namespace tess::web
