// The bridge between worker threads and the main thread.
//
// Workers never touch windows. They publish progress through a few reserved variables of the
// variable store (ReportProgress, callable from any thread) and learn about a cancel from
// ZURI_IsCancelled. The main thread moves those values into the current page and the taskbar
// (RefreshProgressDisplay), waits for a worker while keeping the windows alive (PumpOrWait and the
// worker wait loop), and runs the cancel epilogue when the user cancelled.
//
// What the bridge needs from the windows side (the message pump, timers, the taskbar, message
// boxes) goes through BridgePort. Without a port of its own the bridge behaves as in a silent run:
// no window, and waits block on the worker with their deadlines kept by the wait itself.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <condition_variable>
#include <optional>
#include <thread>
#include <utility>

#include "script/Text.h"

namespace vx {

class TVariableManager;
class TWorkerThread;

// The bridge variables.
inline constexpr TextView kThProgress = u"ZURI_thProgress";
inline constexpr TextView kThMax = u"ZURI_thMax";
inline constexpr TextView kThMin = u"ZURI_thMin";
inline constexpr TextView kThProgressText = u"ZURI_thProgressText";
inline constexpr TextView kThFinished = u"ZURI_thFinished";
inline constexpr TextView kThCancelled = u"ZURI_thCancelled";
inline constexpr TextView kIsCancelled = u"ZURI_IsCancelled";
inline constexpr TextView kLastDelegateTick = u"ZURI_LastDelegateTick";
inline constexpr TextView kLastActiveTick = u"ZURI_LastActiveTick";

// ReportProgress sentinels: keep the current text and numbers (only the tick moves); keep the
// current text but store the numbers; a position that keeps the current numbers.
inline constexpr TextView kKeepProgress = u"$ZURI$";
inline constexpr TextView kKeepText = u"$IGNORE$";
inline constexpr int64_t kKeepNumbers = -1;

// Values above what a 32-bit control holds, divided by 1024 until the maximum fits.
struct ScaledProgress {
  int32_t min = 0;
  int32_t max = 0;
  int32_t position = 0;
  friend bool operator==(const ScaledProgress&, const ScaledProgress&) = default;
};
[[nodiscard]] ScaledProgress ScaleProgress(int64_t min, int64_t max, int64_t position);

// The shell's taskbar progress states.
enum class TaskbarState : int { None = 0, Indeterminate = 1, Normal = 2, Error = 4, Paused = 8 };
// "MARQUEE" -> indeterminate, "ERROR" -> error, "PAUSE" -> paused, anything else normal.
[[nodiscard]] TaskbarState TaskbarStateForMode(TextView progressMode);

// The page being shown: its key in the dialog pool and its window (0 when none). A page shown
// without waiting for it has a window while the script runs on.
struct CurrentDialog {
  Text key;
  uintptr_t window = 0;
};

// What one refresh hands to the page: the progress text, the scaled numbers and the expanded
// PROGRESSMODE.
struct PageProgress {
  Text text;
  ScaledProgress values;
  Text mode;
};

// Worker kinds: each has its own watchdog timer on the hidden form.
enum class WorkerKind : int {
  Native,           // spoolTimer
  CopyMedia,        // thzTimer
  GrabMedia,        // thyTimer
  ExtractMedia,     // thxTimer
  DirectExtract,    // tdemTimer
  DirectCompress,   // tcemTimer
  DirectDelete,     // teemTimer
  RunApp,           // traTimer (unconditional)
  RunAs,            // traxTimer (unconditional)
  FindAllFiles,     // tfafTimer
  Plugin,           // plugTimer
  Test,             // tests' own kind, tick-checking like the archive workers
  Count
};
[[nodiscard]] const char* WatchdogTimerName(WorkerKind kind);
// Run-program workers report nothing themselves: their wait loop forwards PROGRESS, and their
// watchdog ends them five seconds after the cancel whether they reported or not.
[[nodiscard]] bool IsRunProgramKind(WorkerKind kind);

using Clock = std::chrono::steady_clock;

// The windows side of the bridge. Every call except Wake comes from the main thread.
class BridgePort {
 public:
  virtual ~BridgePort() = default;
  // One wait step: process one window message, or wait until one arrives, the port is woken or
  // the deadline (when given) has passed.
  virtual void WaitStep(std::optional<Clock::time_point> deadline) = 0;
  // Any thread: ends a WaitStep that is blocked now or starts later.
  virtual void Wake() = 0;
  // True when timers are dispatched (the watchdogs run as timers); false when the worker wait
  // keeps the watchdog deadline itself.
  [[nodiscard]] virtual bool DispatchesTimers() const = 0;
  // The watchdog timer of a worker kind: started (a running timer keeps its period) and stopped.
  virtual void StartWatchdogTimer(WorkerKind, std::chrono::milliseconds) {}
  virtual void StopWatchdogTimer(WorkerKind) {}
  // Taskbar progress on a window; failures are ignored.
  virtual void SetTaskbarState(uintptr_t /*window*/, TaskbarState) {}
  virtual void SetTaskbarValue(uintptr_t /*window*/, uint64_t /*completed*/, uint64_t /*total*/) {}
  // A message box with the error icon over the owner window (0: no owner).
  virtual void ShowErrorBox(uintptr_t /*owner*/, TextView /*text*/, TextView /*caption*/) {}
};

// The per-control pass over the current page; the page unit provides it.
class ProgressPage {
 public:
  virtual ~ProgressPage() = default;
  virtual void ShowProgress(const CurrentDialog& dialog, const PageProgress& progress) = 0;
};

// A port for runs without a window: waits block on a condition until woken, or until the
// deadline passes. A wait without deadline still returns after `poll`, so that a cancel stored by
// another thread is seen.
class SilentPort final : public BridgePort {
 public:
  explicit SilentPort(std::chrono::milliseconds poll = std::chrono::milliseconds(100)) : poll_(poll) {}
  void WaitStep(std::optional<Clock::time_point> deadline) override;
  void Wake() override;
  [[nodiscard]] bool DispatchesTimers() const override { return false; }

 private:
  std::mutex lock_;
  std::condition_variable woken_;
  bool signalled_ = false;
  std::chrono::milliseconds poll_;
};

// What became of a worker the main thread waited for.
struct WorkerWaitResult {
  bool cancelled = false;  // ZURI_IsCancelled stood when the wait ended
  bool abandoned = false;  // the watchdog gave up on it: its results must not be read
};

// What the command does after the cancel epilogue.
enum class AfterCancel { Continue, EndScript };

class TProgressBridge {
 public:
  // The store is the one the workers and the script share; the tick source is the system tick
  // count in milliseconds.
  explicit TProgressBridge(TVariableManager& vars, std::function<uint32_t()> tick = {});
  TProgressBridge(const TProgressBridge&) = delete;
  TProgressBridge& operator=(const TProgressBridge&) = delete;
  ~TProgressBridge();

  [[nodiscard]] TVariableManager& Variables() const { return vars_; }

  // --- main-thread set-up ------------------------------------------------------------------
  // The thread that calls this is the main thread (the one that owns the windows).
  void BindMainThread();
  [[nodiscard]] bool OnMainThread() const;
  // The port to the windows; null returns to the silent behaviour.
  void SetPort(BridgePort* port);
  void SetPage(ProgressPage* page) { page_ = page; }
  // Silent mode: SILENT was true when the interpreter started. No page or taskbar is touched.
  void SetSilent(bool silent) { silent_ = silent; }
  [[nodiscard]] bool Silent() const { return silent_; }
  void SetCurrentDialog(CurrentDialog dialog);
  [[nodiscard]] const CurrentDialog& Dialog() const { return dialog_; }
  // The watchdog period; five seconds unless a test shortens it.
  void SetWatchdogPeriod(std::chrono::milliseconds period) { watchdogPeriod_ = period; }
  [[nodiscard]] std::chrono::milliseconds WatchdogPeriod() const { return watchdogPeriod_; }

  // --- progress ----------------------------------------------------------------------------
  // Any thread. Stores the tick, then the numbers (unless position is kKeepNumbers) and the text
  // (unless it is kKeepText); kKeepProgress keeps text and numbers. A report from the thread of a
  // worker the watchdog gave up on is dropped.
  void ReportProgress(TextView text, int64_t min, int64_t max, int64_t position);
  // Main thread. Moves the values into the current page and the taskbar; text kKeepProgress takes
  // text and numbers from the bridge variables (a number there that does not parse raises).
  // Returns whether ZURI_IsCancelled is true.
  bool RefreshProgressDisplay(TextView text, bool copyCancel, int64_t min, int64_t max, int64_t position);
  // ZURI_IsCancelled reads true.
  [[nodiscard]] bool CancelRequested() const;

  // ProgressActive: set while the main thread waits for a progress-producing operation; while
  // set, the one-second refresh timer refreshes the current page.
  [[nodiscard]] bool ProgressActive() const { return progressActive_; }
  void SetProgressActive(bool active) { progressActive_ = active; }
  // The one-second refresh of the current page.
  void OnRefreshTimer();

  // "Set Variable" assigned PROGRESS or PROGRESSTEXT.
  void RefreshScriptProgress(TextView progressText, int32_t progress);

  // --- waiting -----------------------------------------------------------------------------
  // Main thread. One wait step: during a worker wait, wait until a message, the worker's end, a
  // call it queued for the main thread or the watchdog deadline; otherwise handle what is pending
  // and return. Calls queued by workers run here.
  void PumpOrWait(TWorkerThread* worker);
  // The worker wait loop: starts the worker and waits for it, asking it to stop and arming its
  // watchdog while the cancel stands; a worker that makes no report for one watchdog period after
  // the cancel (a run-program worker: at the end of that period) is abandoned, never killed.
  WorkerWaitResult RunWorker(const std::shared_ptr<TWorkerThread>& worker, WorkerKind kind);
  // The cancel epilogue after a cancelled worker: the "Setup cancelled" box (unless ABORTEDONERROR
  // is already true or the run is silent), then EndScript when ABORTONERROR is true, otherwise
  // ABORTEDONERROR := "TRUE" with the command's cancel reason and Continue.
  AfterCancel CancelEpilogue(TextView cancelReason);
  // RunWorker, then the epilogue when the wait ended cancelled.
  struct CommandResult {
    WorkerWaitResult wait;
    AfterCancel after = AfterCancel::Continue;
  };
  CommandResult RunWorkerCommand(const std::shared_ptr<TWorkerThread>& worker, WorkerKind kind,
                                 TextView cancelReason);

  // The steps of the worker wait, for a caller that runs the loop itself (RunWorker is made of
  // them). BeginWait sets ProgressActive and starts the worker; WaitStep is one pass's wait
  // (PumpOrWait of the waited worker, or of none outside a wait); WaitedWorkerDone tells whether
  // the wait is over (finished or abandoned); StartCancelWatchdog arms the watchdog of the waited
  // worker (a running one keeps its period); StopCancelWatchdog disarms it once the wait is over;
  // EndWait also restores ProgressActive.
  void BeginWait(const std::shared_ptr<TWorkerThread>& worker, WorkerKind kind);
  void WaitStep();
  [[nodiscard]] bool WaitedWorkerDone() const;
  void StartCancelWatchdog();
  void StopCancelWatchdog();
  void EndWait();
  // The "Setup cancelled" box over the current page, with the taskbar in its attention state.
  void ShowCancelled();

  // A watchdog timer of the hidden form ticked (main thread). Returns true when the timer is to
  // run on (the worker reported since the last look).
  bool OnWatchdogTimer(WorkerKind kind);

  // --- the main thread on behalf of workers -----------------------------------------------------
  // Runs the call on the main thread and returns true once it ran. From the main thread it runs
  // at once; from a worker it is queued, the main thread is woken, and the worker waits until a
  // wait step of the main thread (or, with pages, its message dispatch, modal loops included)
  // has run it. Returns false without running it when the worker has been abandoned.
  bool RunOnMainThread(const std::function<void()>& call);
  // Main thread: runs the calls workers queued.
  void RunQueuedCalls();
  // Any thread: wakes the main thread's wait step.
  void Wake();

  // --- taskbar -------------------------------------------------------------------------------
  // Message boxes and prompts call it with (on, error) or (on, not error) before they appear and
  // (off) after they close; reapply repeats the last call on the current window.
  void TaskbarAttention(bool on, bool isError, bool reapply);

  // Called by TWorkerThread when the watchdog gives up on a worker: drops its queued calls.
  void DropCallsOf(const TWorkerThread* worker);

 private:
  struct QueuedCall;
  struct Watch;

  [[nodiscard]] BridgePort& Port() const;
  void StoreProgress(TextView text, int64_t min, int64_t max, int64_t position);
  [[nodiscard]] std::optional<std::pair<uint64_t, uint64_t>> TaskbarValue(const ScaledProgress& values) const;
  void ApplyTaskbar(const ScaledProgress& values);
  bool CheckWatchdog(Watch& watch);

  TVariableManager& vars_;
  std::function<uint32_t()> tick_;
  std::unique_ptr<SilentPort> silentPort_;
  std::atomic<BridgePort*> port_{nullptr};  // Wake reads it from workers
  ProgressPage* page_ = nullptr;
  std::thread::id mainThread_;
  bool silent_ = false;
  bool progressActive_ = false;
  CurrentDialog dialog_;
  std::chrono::milliseconds watchdogPeriod_{5000};

  // TaskbarAttention's remembered call and the PROGRESSMODE it saved.
  bool attentionOn_ = false;
  bool attentionError_ = false;
  std::optional<Text> savedMode_;

  // The worker being waited for and its watchdog (main thread only).
  std::unique_ptr<Watch> watch_;

  std::mutex callsLock_;
  std::deque<std::shared_ptr<QueuedCall>> calls_;
  bool runningCalls_ = false;
};

// The bridge of the process, over the process-wide variable store.
[[nodiscard]] TProgressBridge& ProcessBridge();

// The operations of the process bridge by their own names.
void ReportProgress(TextView text, int64_t min, int64_t max, int64_t position);
bool RefreshProgressDisplay(TextView text, bool copyCancel, int64_t min, int64_t max, int64_t position);
void PumpOrWait(TWorkerThread* worker);
[[nodiscard]] bool ProgressActive();
void TaskbarAttention(bool on, bool isError, bool reapply);

// Sets ProgressActive for its lifetime and restores the previous state after.
class ProgressActiveScope {
 public:
  explicit ProgressActiveScope(TProgressBridge& bridge = ProcessBridge())
      : bridge_(bridge), previous_(bridge.ProgressActive()) {
    bridge_.SetProgressActive(true);
  }
  ~ProgressActiveScope() { bridge_.SetProgressActive(previous_); }
  ProgressActiveScope(const ProgressActiveScope&) = delete;
  ProgressActiveScope& operator=(const ProgressActiveScope&) = delete;

 private:
  TProgressBridge& bridge_;
  bool previous_;
};

}  // namespace vx
