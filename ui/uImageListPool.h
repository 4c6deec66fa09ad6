// TImageListPool: the hidden form of the bridge. It is created once with the dialog pool and never
// shown; it owns the timers that watch workers after a cancel, the one refresh timer of the
// current page, the taskbar timers, and the taskbar interface. It is the bridge's port to the
// windows in runs that show pages: its wait step handles one message at a time.
#pragma once

#ifndef _WIN32
#error "ui/uImageListPool.h is for the Windows builds only"
#endif

#include <windows.h>

#include <functional>

#include "ui/Bridge.h"

struct ITaskbarList3;

namespace vx {

class TImageListPool final : public BridgePort {
 public:
  // Creates the hidden window on the calling (main) thread and becomes the bridge's port. The
  // page refresh timer starts at once; every other timer starts disabled.
  explicit TImageListPool(TProgressBridge& bridge = ProcessBridge());
  ~TImageListPool() override;
  TImageListPool(const TImageListPool&) = delete;
  TImageListPool& operator=(const TImageListPool&) = delete;

  // False when the window could not be created (no desktop): the bridge then stays silent.
  [[nodiscard]] bool Ready() const { return window_ != nullptr; }
  [[nodiscard]] HWND Window() const { return window_; }

  // Timers of the later units: restoring the taskbar after a balloon (Win7Timer, interval set at
  // use), re-applying the overlay icon and attention state after a page show (TimerWin7, 314 ms,
  // once) and the start-pin queue (Marechal, 100 ms). Each runs its handler on its tick.
  void StartWin7Timer(UINT intervalMs, std::function<void()> onTick);
  void StartTimerWin7(std::function<void()> onTick);
  void StartMarechal(std::function<void()> onTick);
  void StopMarechal();

  // BridgePort.
  void WaitStep(std::optional<Clock::time_point> deadline) override;
  void Wake() override;
  [[nodiscard]] bool DispatchesTimers() const override { return window_ != nullptr; }
  void StartWatchdogTimer(WorkerKind kind, std::chrono::milliseconds period) override;
  void StopWatchdogTimer(WorkerKind kind) override;
  void SetTaskbarState(uintptr_t window, TaskbarState state) override;
  void SetTaskbarValue(uintptr_t window, uint64_t completed, uint64_t total) override;
  void ShowErrorBox(uintptr_t owner, TextView text, TextView caption) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnTimer(UINT_PTR id);
  [[nodiscard]] ITaskbarList3* Taskbar();

  TProgressBridge& bridge_;
  HWND window_ = nullptr;
  bool watchdogRunning_[static_cast<int>(WorkerKind::Count)] = {};
  std::function<void()> onWin7Timer_;
  std::function<void()> onTimerWin7_;
  std::function<void()> onMarechal_;
  ITaskbarList3* taskbar_ = nullptr;  // created once, on first use; released with the form
  bool taskbarTried_ = false;
  bool comInitialized_ = false;
};

}  // namespace vx
