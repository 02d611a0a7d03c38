#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quillet {

// Hands a task to the GUI thread; in the program a queued call on the Qt
// event loop, in tests and the command line a UiTaskQueue that is pumped.
using UiTask = std::function<void()>;
using PostToUi = std::function<void(UiTask)>;

// How a worker's run ended; every run ends in exactly one of these.
enum class WorkerEnd { Running, Done, Failed, Cancelled };

// The contract every background worker keeps: it copies what it needs when
// it is created and touches nothing else; Cancel() may come from any thread;
// its run ends in exactly one WorkerEnd; its completion runs once, on the GUI
// thread, after the thread has ended. Workers live in shared_ptrs so that a
// completion arriving after the owner let go of the worker is dropped.
class Worker : public std::enable_shared_from_this<Worker> {
 public:
  virtual ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // GUI thread: starts the run; `completion` is posted through `post` when it
  // has ended.
  void Start(PostToUi post, std::function<void()> completion);
  // Any thread: asks the run to end; the completion still comes.
  void Cancel();
  bool CancelRequested() const { return cancelRequested_.load(); }
  // GUI thread: waits for the thread (at shutdown, after Cancel()). The
  // completion is then never run.
  void Join();

  // GUI thread, in the completion: how the run ended and why.
  WorkerEnd End() const { return end_; }
  const std::string& FailureDetail() const { return failureDetail_; }

 protected:
  Worker() = default;
  // Worker thread: the work. Must call Finish() exactly once.
  virtual void Run() = 0;
  // Any thread, from Cancel(): interrupts a blocking call of the run.
  virtual void Interrupt() {}
  // Worker thread: records the end of the run.
  void Finish(WorkerEnd end, std::string detail = {});

 private:
  void RunThread(PostToUi post);
  void Complete();

  std::thread thread_;
  std::function<void()> completion_;
  std::atomic<bool> cancelRequested_{false};
  std::atomic<bool> joined_{false};
  WorkerEnd end_ = WorkerEnd::Running;
  std::string failureDetail_;
};

// A queue of GUI-thread tasks for code without an event loop: the workers
// post into it from their threads, the owner's thread runs the tasks.
class UiTaskQueue {
 public:
  PostToUi Poster();
  void Post(UiTask task);
  // Runs the tasks that are waiting; waits up to `bound` for the first one.
  // False when none came.
  bool RunPending(std::chrono::milliseconds bound);
  // Runs tasks until `done()` holds or `bound` has passed; false on timeout.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds bound);

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<UiTask> tasks_;
};

}  // namespace quillet
