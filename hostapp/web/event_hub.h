// Server-sent events for every open page: events are numbered, each
// connection waits for numbers past the last it sent. Only the newest events
// are kept; a connection that fell behind skips to them, which loses nothing
// since a newer pass makes older ones stale.
#ifndef TESSALINE_HOSTAPP_WEB_EVENT_HUB_H
#define TESSALINE_HOSTAPP_WEB_EVENT_HUB_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace tess::web {

class EventHub {
 public:
  // `data` is one line of JSON.
  void Publish(const std::string& event, const std::string& data);
  // The events numbered past `seen`, formatted for the stream, waiting up to
  // `timeout` for one to come; `seen` moves on. Empty on time-out or close.
  std::string Wait(uint64_t& seen, std::chrono::milliseconds timeout);
  // The number of the newest event.
  uint64_t Newest() const;
  // Wakes every waiting connection for good.
  void Close();
  bool Closed() const;

 private:
  struct Event {
    uint64_t number;
    std::string text;
  };
  mutable std::mutex mutex;
  std::condition_variable arrived;
  std::deque<Event> recent;
  uint64_t published = 0;
  bool closed = false;
};

}  // namespace tess::web

#endif
