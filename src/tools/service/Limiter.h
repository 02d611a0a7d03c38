#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace quillet::service {

// Counts events per key (a remote address, an account) over a sliding
// window. Memory stays bounded: keys whose events have all aged out are
// dropped, and past `maxKeys` the oldest keys go first.
class EventLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  EventLimiter(std::size_t maxEvents, Clock::duration window, std::size_t maxKeys = 8192);

  // True while `key` has had fewer than maxEvents events in the window.
  bool Allows(const std::string& key, Clock::time_point now = Clock::now());
  void Record(const std::string& key, Clock::time_point now = Clock::now());

 private:
  void Forget(std::deque<Clock::time_point>& events, Clock::time_point now) const;

  std::size_t maxEvents_;
  Clock::duration window_;
  std::size_t maxKeys_;
  std::mutex mutex_;
  std::map<std::string, std::deque<Clock::time_point>> events_;
};

}  // namespace quillet::service
