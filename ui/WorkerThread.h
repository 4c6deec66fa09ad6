// The base of every worker thread: a command creates one, the bridge's worker wait loop starts it
// and waits for it, and the worker does its work in Execute.
//
// Every exit path of Execute, an escaping exception included, sets the finished flag. A cancel is
// a request the worker reads through TerminateRequested; the engine never ends a thread from
// outside. When the watchdog gives up on a worker it is abandoned instead: the wait ends, the
// worker's later reports and main-thread calls are dropped, and the object lives on (held by its
// own thread) until the thread really ends.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "script/Text.h"
#include "ui/Bridge.h"

namespace vx {

class TWorkerThread : public std::enable_shared_from_this<TWorkerThread> {
 public:
  explicit TWorkerThread(TProgressBridge& bridge = ProcessBridge()) : bridge_(bridge) {}
  virtual ~TWorkerThread();
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;

  // Starts Execute on a thread of its own; once per worker. The worker must be owned by a
  // shared_ptr: its thread keeps it alive until Execute has returned.
  void Start();
  [[nodiscard]] bool Started() const { return started_; }

  // The worker's work has ended (normally, by an exception, or by its own stop).
  [[nodiscard]] bool Finished() const { return finished_.load(std::memory_order_acquire); }
  // Asks the worker to stop at its next look at TerminateRequested.
  void RequestTerminate() { terminate_.store(true, std::memory_order_release); }
  [[nodiscard]] bool TerminateRequested() const { return terminate_.load(std::memory_order_acquire); }
  // The watchdog gave up on the worker: the wait is over, its results are not to be read.
  void Abandon();
  [[nodiscard]] bool Abandoned() const { return abandoned_.load(std::memory_order_acquire); }
  // The message of an exception that escaped Execute (empty when none); read after Finished.
  [[nodiscard]] const Text& FailureText() const { return failure_; }

  // Waits until the thread has ended; only for a worker that has finished or will finish soon.
  void Join();

  [[nodiscard]] TProgressBridge& Bridge() const { return bridge_; }

  // The worker whose thread calls this, or null on any other thread.
  [[nodiscard]] static TWorkerThread* Current();

  // Called by the bridge with the worker's report guard held: true while reports are accepted.
  template <typename Store>
  void GuardedReport(Store&& store) {
    std::lock_guard guard(reportLock_);
    if (!Abandoned()) store();
  }

 protected:
  // The work, on the worker's thread. It reports through Report, looks at TerminateRequested
  // between steps, and never touches windows.
  virtual void Execute() = 0;

  // Progress from the worker (dropped once abandoned).
  // An abandoned worker leaves the bridge alone altogether: nobody waits for it any more, and at
  // the end of the process the bridge may be gone before its thread is.
  void Report(TextView text, int64_t min, int64_t max, int64_t position) {
    if (!Abandoned()) bridge_.ReportProgress(text, min, max, position);
  }
  // Runs the call on the main thread (prompts, questions); false when it did not run.
  bool Synchronize(const std::function<void()>& call) { return !Abandoned() && bridge_.RunOnMainThread(call); }

 private:
  void ThreadBody(std::shared_ptr<TWorkerThread> self);

  TProgressBridge& bridge_;
  std::thread thread_;
  bool started_ = false;
  std::atomic<bool> finished_{false};
  std::atomic<bool> terminate_{false};
  std::atomic<bool> abandoned_{false};
  std::mutex reportLock_;
  Text failure_;
};

}  // namespace vx
