#include "core/service/Worker.h"

#include <cassert>

namespace quillet {

Worker::~Worker() {
  // The owner joins before letting go; a thread still running here would
  // outlive the object it works on.
  if (thread_.joinable()) {
    Cancel();
    thread_.join();
  }
}

void Worker::Start(PostToUi post, std::function<void()> completion) {
  completion_ = std::move(completion);
  thread_ = std::thread([this, post = std::move(post)] { RunThread(post); });
}

void Worker::Cancel() {
  cancelRequested_.store(true);
  Interrupt();
}

void Worker::Join() {
  joined_.store(true);
  if (thread_.joinable()) thread_.join();
}

void Worker::Finish(WorkerEnd end, std::string detail) {
  assert(end_ == WorkerEnd::Running && end != WorkerEnd::Running);
  if (end_ != WorkerEnd::Running) return;
  end_ = end;
  failureDetail_ = std::move(detail);
}

void Worker::RunThread(PostToUi post) {
  Run();
  if (end_ == WorkerEnd::Running) Finish(WorkerEnd::Failed, "the run ended without an outcome");
  std::weak_ptr<Worker> self = weak_from_this();
  post([self] {
    if (std::shared_ptr<Worker> worker = self.lock()) worker->Complete();
  });
}

void Worker::Complete() {
  if (joined_.load()) return;
  if (thread_.joinable()) thread_.join();
  joined_.store(true);
  if (std::function<void()> completion = std::move(completion_)) completion();
}

PostToUi UiTaskQueue::Poster() {
  return [this](UiTask task) { Post(std::move(task)); };
}

void UiTaskQueue::Post(UiTask task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  arrived_.notify_all();
}

bool UiTaskQueue::RunPending(std::chrono::milliseconds bound) {
  std::deque<UiTask> ready;
  {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, bound, [this] { return !tasks_.empty(); })) return false;
    ready.swap(tasks_);
  }
  for (UiTask& task : ready)
    task();
  return true;
}

bool UiTaskQueue::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    RunPending(left);
  }
  return true;
}

}  // namespace quillet
