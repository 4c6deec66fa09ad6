// Test support for the bridge: a worker whose work a test writes as a lambda, a port that records
// what would reach the windows, and a guard that ends the test process when a wait hangs.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ui/Bridge.h"
#include "ui/WorkerThread.h"

namespace vx::testing {

// Ends the process with a message when the guarded block runs longer than the limit: a hang
// fails the test run instead of stalling it.
class HangGuard {
 public:
  HangGuard(std::chrono::seconds limit, const char* what)
      : thread_([this, limit, what] {
          std::unique_lock guard(lock_);
          if (!done_signal_.wait_for(guard, limit, [this] { return done_; })) {
            std::fprintf(stderr, "HANG: %s did not end within %lld s\n", what, static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::_Exit(97);
          }
        }) {}
  ~HangGuard() {
    {
      std::lock_guard guard(lock_);
      done_ = true;
    }
    done_signal_.notify_all();
    thread_.join();
  }

 private:
  std::mutex lock_;
  std::condition_variable done_signal_;
  bool done_ = false;
  std::thread thread_;
};

// A worker whose Execute is the test's lambda.
class ScriptedWorker final : public TWorkerThread {
 public:
  using Body = std::function<void(ScriptedWorker&)>;
  ScriptedWorker(TProgressBridge& bridge, Body body) : TWorkerThread(bridge), body_(std::move(body)) {}

  using TWorkerThread::Report;
  using TWorkerThread::Synchronize;

  // Lets a worker that waits for it (one that ignores the cancel) end.
  void Release() {
    std::lock_guard guard(lock_);
    released_ = true;
    releasedSignal_.notify_all();
  }
  void WaitForRelease() {
    std::unique_lock guard(lock_);
    releasedSignal_.wait(guard, [this] { return released_; });
  }

  std::atomic<int> reportsAfterCancel{0};

 protected:
  void Execute() override { body_(*this); }

 private:
  Body body_;
  std::mutex lock_;
  std::condition_variable releasedSignal_;
  bool released_ = false;
};

// What a run with pages would show: taskbar calls, message boxes and page refreshes. Waits behave
// as in a silent run (no timers), so the wait keeps the watchdog deadline.
class RecordingPort final : public BridgePort, public ProgressPage {
 public:
  struct TaskbarCall {
    bool isValue = false;
    int state = 0;
    uint64_t completed = 0;
    uint64_t total = 0;
    friend bool operator==(const TaskbarCall&, const TaskbarCall&) = default;
  };
  static TaskbarCall State(TaskbarState s) { return TaskbarCall{false, static_cast<int>(s), 0, 0}; }
  static TaskbarCall Value(uint64_t completed, uint64_t total) { return TaskbarCall{true, 0, completed, total}; }

  void WaitStep(std::optional<Clock::time_point> deadline) override { waits_.WaitStep(deadline); }
  void Wake() override { waits_.Wake(); }
  [[nodiscard]] bool DispatchesTimers() const override { return false; }
  void SetTaskbarState(uintptr_t, TaskbarState state) override { taskbar.push_back(State(state)); }
  void SetTaskbarValue(uintptr_t, uint64_t completed, uint64_t total) override {
    taskbar.push_back(Value(completed, total));
  }
  void ShowErrorBox(uintptr_t owner, TextView text, TextView caption) override {
    boxes.push_back({owner, Text(text), Text(caption)});
  }
  void ShowProgress(const CurrentDialog& dialog, const PageProgress& progress) override {
    pages.push_back({dialog.key, progress});
  }

  struct Box {
    uintptr_t owner;
    Text text;
    Text caption;
  };
  std::vector<TaskbarCall> taskbar;
  std::vector<Box> boxes;
  std::vector<std::pair<Text, PageProgress>> pages;

 private:
  SilentPort waits_{std::chrono::milliseconds(20)};
};

}  // namespace vx::testing
