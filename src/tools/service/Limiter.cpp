#include "tools/service/Limiter.h"

#include <algorithm>

namespace quillet::service {

EventLimiter::EventLimiter(std::size_t maxEvents, Clock::duration window, std::size_t maxKeys)
    : maxEvents_(maxEvents), window_(window), maxKeys_(maxKeys) {}

void EventLimiter::Forget(std::deque<Clock::time_point>& events, Clock::time_point now) const {
  while (!events.empty() && now - events.front() >= window_)
    events.pop_front();
}

bool EventLimiter::Allows(const std::string& key, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  auto it = events_.find(key);
  if (it == events_.end()) return true;
  Forget(it->second, now);
  if (it->second.empty()) {
    events_.erase(it);
    return true;
  }
  return it->second.size() < maxEvents_;
}

void EventLimiter::Record(const std::string& key, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  if (events_.size() >= maxKeys_ && events_.find(key) == events_.end()) {
    for (auto it = events_.begin(); it != events_.end();) {
      Forget(it->second, now);
      it = it->second.empty() ? events_.erase(it) : std::next(it);
    }
    while (events_.size() >= maxKeys_) {
      auto oldest = std::min_element(
          events_.begin(), events_.end(),
          [](const auto& a, const auto& b) { return a.second.back() < b.second.back(); });
      events_.erase(oldest);
    }
  }
  auto& events = events_[key];
  Forget(events, now);
  events.push_back(now);
  // Only the last maxEvents matter for the decision.
  while (events.size() > maxEvents_)
    events.pop_front();
}

}  // namespace quillet::service
