#include "ui/Bridge.h"

#include <algorithm>
#include <limits>

#include "platform/Process.h"
#include "script/EngineError.h"
#include "script/VariableManager.h"
#include "ui/WorkerThread.h"
#include "ui/uLanguage.h"

namespace vx {

namespace {

constexpr int64_t kControlLimit = std::numeric_limits<int32_t>::max();

int32_t Clamp32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), kControlLimit));
}

// A number read back from a bridge variable; one that does not parse aborts the refresh pass.
int64_t BridgeNumber(const TVariableManager& vars, TextView name) {
  const Text value = vars.Get(name);
  if (auto n = TextToInt64(value)) return *n;
  throw EngineError(u"'" + value + u"' is not a valid integer value");
}

}  // namespace

ScaledProgress ScaleProgress(int64_t min, int64_t max, int64_t position) {
  while (max > kControlLimit) {
    max /= 1024;
    min /= 1024;
    position /= 1024;
  }
  // The maximum fits now; a minimum or position far outside it is held at the control's limits.
  return ScaledProgress{Clamp32(min), Clamp32(max), Clamp32(position)};
}

TaskbarState TaskbarStateForMode(TextView progressMode) {
  if (progressMode == u"MARQUEE") return TaskbarState::Indeterminate;
  if (progressMode == u"ERROR") return TaskbarState::Error;
  if (progressMode == u"PAUSE") return TaskbarState::Paused;
  return TaskbarState::Normal;
}

const char* WatchdogTimerName(WorkerKind kind) {
  switch (kind) {
    case WorkerKind::Native: return "spoolTimer";
    case WorkerKind::CopyMedia: return "thzTimer";
    case WorkerKind::GrabMedia: return "thyTimer";
    case WorkerKind::ExtractMedia: return "thxTimer";
    case WorkerKind::DirectExtract: return "tdemTimer";
    case WorkerKind::DirectCompress: return "tcemTimer";
    case WorkerKind::DirectDelete: return "teemTimer";
    case WorkerKind::RunApp: return "traTimer";
    case WorkerKind::RunAs: return "traxTimer";
    case WorkerKind::FindAllFiles: return "tfafTimer";
    case WorkerKind::Plugin: return "plugTimer";
    case WorkerKind::Test: return "testTimer";
    case WorkerKind::Count: break;
  }
  return "";
}

bool IsRunProgramKind(WorkerKind kind) { return kind == WorkerKind::RunApp || kind == WorkerKind::RunAs; }

// --- SilentPort ----------------------------------------------------------------------------

void SilentPort::WaitStep(std::optional<Clock::time_point> deadline) {
  const Clock::time_point pollEnd = Clock::now() + poll_;
  const Clock::time_point until = deadline ? std::min(*deadline, pollEnd) : pollEnd;
  std::unique_lock guard(lock_);
  woken_.wait_until(guard, until, [this] { return signalled_; });
  signalled_ = false;
}

void SilentPort::Wake() {
  {
    std::lock_guard guard(lock_);
    signalled_ = true;
  }
  woken_.notify_all();
}

// --- TProgressBridge -----------------------------------------------------------------------

// A call a worker asked the main thread to run; the worker waits on `done`.
struct TProgressBridge::QueuedCall {
  const std::function<void()>* call = nullptr;
  const TWorkerThread* worker = nullptr;
  std::mutex lock;
  std::condition_variable doneSignal;
  bool done = false;
  bool ran = false;
};

// The watchdog of one worker kind while its worker is waited for.
struct TProgressBridge::Watch {
  std::shared_ptr<TWorkerThread> worker;
  WorkerKind kind = WorkerKind::Test;
  bool armed = false;
  Clock::time_point deadline;  // kept by the wait itself when the port dispatches no timers
  bool activeBefore = false;   // ProgressActive before the wait
};

TProgressBridge::TProgressBridge(TVariableManager& vars, std::function<uint32_t()> tick)
    : vars_(vars),
      tick_(tick ? std::move(tick) : std::function<uint32_t()>(&platform::TickCount)),
      silentPort_(std::make_unique<SilentPort>()),
      mainThread_(std::this_thread::get_id()) {}

TProgressBridge::~TProgressBridge() = default;

void TProgressBridge::BindMainThread() { mainThread_ = std::this_thread::get_id(); }

bool TProgressBridge::OnMainThread() const { return std::this_thread::get_id() == mainThread_; }

void TProgressBridge::SetPort(BridgePort* port) { port_.store(port); }

BridgePort& TProgressBridge::Port() const {
  // A silent run has no message dispatch, whatever windows exist.
  BridgePort* port = port_.load();
  if (silent_ || port == nullptr) return *silentPort_;
  return *port;
}

void TProgressBridge::SetCurrentDialog(CurrentDialog dialog) { dialog_ = std::move(dialog); }

// --- progress ------------------------------------------------------------------------------

void TProgressBridge::ReportProgress(TextView text, int64_t min, int64_t max, int64_t position) {
  // The guard makes the abandon check and the stores one step: once Abandon has returned, no
  // report of that worker lands.
  if (TWorkerThread* worker = TWorkerThread::Current(); worker != nullptr && &worker->Bridge() == this) {
    worker->GuardedReport([&] { StoreProgress(text, min, max, position); });
    return;
  }
  StoreProgress(text, min, max, position);
}

void TProgressBridge::StoreProgress(TextView text, int64_t min, int64_t max, int64_t position) {
  // Each value is its own locked store; the store's lock is never held across a call out.
  vars_.Store(kLastDelegateTick, IntToText(tick_()));
  Text ownText;
  if (text == kKeepProgress) {
    ownText = vars_.Get(kThProgressText);
    text = ownText;
    position = TextToInt64(vars_.Get(kThProgress)).value_or(0);
    max = TextToInt64(vars_.Get(kThMax)).value_or(0);
    min = TextToInt64(vars_.Get(kThMin)).value_or(0);
  }
  if (position != kKeepNumbers) {
    vars_.Store(kThMax, IntToText(max));
    vars_.Store(kThMin, IntToText(min));
    vars_.Store(kThProgress, IntToText(position));
  }
  if (text != kKeepText) vars_.Store(kThProgressText, text);
}

bool TProgressBridge::CancelRequested() const { return IsTrue(vars_.Get(kIsCancelled)); }

bool TProgressBridge::RefreshProgressDisplay(TextView text, bool copyCancel, int64_t min, int64_t max,
                                             int64_t position) {
  const bool cancelled = CancelRequested();
  if (copyCancel) vars_.Store(kThCancelled, TruthText(cancelled));
  if (silent_) return cancelled;

  Text shownText(text);
  if (text == kKeepProgress) {
    shownText = vars_.Get(kThProgressText);
    position = BridgeNumber(vars_, kThProgress);
    max = BridgeNumber(vars_, kThMax);
    min = BridgeNumber(vars_, kThMin);
  }
  if (dialog_.key.empty()) return cancelled;

  const ScaledProgress values = ScaleProgress(min, max, position);
  ApplyTaskbar(values);
  if (page_ != nullptr) {
    page_->ShowProgress(dialog_, PageProgress{std::move(shownText), values, vars_.Expand(vars_.Get(u"PROGRESSMODE"))});
  }
  return cancelled;
}

// The taskbar's completed/total pair: the custom pair when the script enables it, else the bar's.
// Nothing when a custom value is not a number or a value is negative: the taskbar call would
// fail, and a failing taskbar call is ignored.
std::optional<std::pair<uint64_t, uint64_t>> TProgressBridge::TaskbarValue(const ScaledProgress& values) const {
  int64_t completed = values.position;
  int64_t total = values.max;
  if (SameText(vars_.Get(u"CUSTOM_TASKBAR_PROGRESS_ENABLED"), u"TRUE")) {
    const auto customCompleted = TextToInt64(vars_.Get(u"CUSTOM_TASKBAR_PROGRESS_PERCENT"));
    const auto customTotal = TextToInt64(vars_.Get(u"CUSTOM_TASKBAR_PROGRESS_MAX"));
    if (!customCompleted || !customTotal) return std::nullopt;
    completed = *customCompleted;
    total = *customTotal;
  }
  if (completed < 0 || total < 0) return std::nullopt;
  return std::pair{static_cast<uint64_t>(completed), static_cast<uint64_t>(total)};
}

void TProgressBridge::ApplyTaskbar(const ScaledProgress& values) {
  if (dialog_.window == 0) return;
  BridgePort& port = Port();
  const Text mode = vars_.Get(u"PROGRESSMODE");
  if (mode == u"MARQUEE") {
    port.SetTaskbarState(dialog_.window, TaskbarState::Indeterminate);
  } else {
    port.SetTaskbarState(dialog_.window, TaskbarState::Normal);
    if (const auto value = TaskbarValue(values)) port.SetTaskbarValue(dialog_.window, value->first, value->second);
  }
  if (mode == u"ERROR") port.SetTaskbarState(dialog_.window, TaskbarState::Error);
  if (mode == u"PAUSE") port.SetTaskbarState(dialog_.window, TaskbarState::Paused);
}

void TProgressBridge::OnRefreshTimer() {
  if (!progressActive_) return;
  try {
    RefreshProgressDisplay(kKeepProgress, true, 0, 0, 0);
  } catch (const std::exception&) {
    // A bridge number that does not parse ends this pass only; the next tick tries again.
  }
}

void TProgressBridge::RefreshScriptProgress(TextView progressText, int32_t progress) {
  ProgressActiveScope active(*this);
  RefreshProgressDisplay(progressText, false, 0, 100, progress);
}

// --- waiting -------------------------------------------------------------------------------

void TProgressBridge::PumpOrWait(TWorkerThread* worker) {
  if (worker == nullptr) {
    // Between statements only what is pending is handled: nothing may hold up the script.
    if (!silent_) Port().WaitStep(Clock::now());
  } else if (!worker->Finished()) {
    // The silent wait keeps the watchdog's deadline itself: it has no timers.
    const bool ownDeadline = watch_ && watch_->armed && !Port().DispatchesTimers();
    Port().WaitStep(ownDeadline ? std::optional(watch_->deadline) : std::nullopt);
  }
  RunQueuedCalls();
  if (watch_ && watch_->armed && !Port().DispatchesTimers() && Clock::now() >= watch_->deadline) {
    CheckWatchdog(*watch_);
  }
}

void TProgressBridge::BeginWait(const std::shared_ptr<TWorkerThread>& worker, WorkerKind kind) {
  if (watch_) throw EngineError("The main thread already waits for a worker");
  if (worker->Started()) throw EngineError("A worker thread is never restarted");
  watch_ = std::make_unique<Watch>();
  watch_->worker = worker;
  watch_->kind = kind;
  watch_->activeBefore = progressActive_;
  progressActive_ = true;
  try {
    worker->Start();
  } catch (...) {
    progressActive_ = watch_->activeBefore;
    watch_.reset();
    throw;
  }
}

void TProgressBridge::WaitStep() { PumpOrWait(watch_ ? watch_->worker.get() : nullptr); }

bool TProgressBridge::WaitedWorkerDone() const {
  return !watch_ || watch_->worker->Finished() || watch_->worker->Abandoned();
}

void TProgressBridge::StartCancelWatchdog() {
  if (!watch_ || watch_->armed) return;  // a running watchdog keeps its period
  watch_->armed = true;
  watch_->deadline = Clock::now() + watchdogPeriod_;
  if (Port().DispatchesTimers()) Port().StartWatchdogTimer(watch_->kind, watchdogPeriod_);
}

void TProgressBridge::StopCancelWatchdog() {
  if (!watch_) return;
  watch_->armed = false;
  Port().StopWatchdogTimer(watch_->kind);
}

void TProgressBridge::EndWait() {
  if (!watch_) return;
  Port().StopWatchdogTimer(watch_->kind);
  progressActive_ = watch_->activeBefore;
  const std::shared_ptr<TWorkerThread> worker = std::move(watch_->worker);
  watch_.reset();
  // A finished worker's thread is at its very end; an abandoned one is left to end on its own.
  if (worker->Finished() && !worker->Abandoned()) worker->Join();
}

bool TProgressBridge::CheckWatchdog(Watch& watch) {
  if (!IsRunProgramKind(watch.kind)) {
    const Text delegateTick = vars_.Get(kLastDelegateTick);
    if (vars_.Get(kLastActiveTick) != delegateTick) {
      // The worker reported during the period: give it another one, measured from now.
      vars_.Store(kLastActiveTick, delegateTick);
      watch.deadline = Clock::now() + watchdogPeriod_;
      return true;
    }
  }
  watch.armed = false;
  watch.worker->Abandon();
  Wake();
  return false;
}

bool TProgressBridge::OnWatchdogTimer(WorkerKind kind) {
  if (!watch_ || watch_->kind != kind || !watch_->armed || watch_->worker->Finished()) return false;
  return CheckWatchdog(*watch_);
}

WorkerWaitResult TProgressBridge::RunWorker(const std::shared_ptr<TWorkerThread>& worker, WorkerKind kind) {
  BeginWait(worker, kind);
  // However the wait ends, the watchdog stops watching.
  struct EndOfWait {
    TProgressBridge& bridge;
    ~EndOfWait() { bridge.EndWait(); }
  } endOfWait{*this};

  while (!WaitedWorkerDone()) {
    if (IsRunProgramKind(kind)) {
      // A PROGRESS that is not a whole number is not forwarded: raising here would leave the
      // program's worker running without anyone waiting for it.
      if (auto progress = TextToInt32(vars_.Get(u"PROGRESS"))) {
        ReportProgress(vars_.Get(u"PROGRESSTEXT"), 0, 100, *progress);
      }
    }
    WaitStep();
    if (WaitedWorkerDone()) break;
    if (CancelRequested()) {
      // The watchdog measures from the first look at the cancel, not from every pass: a pass
      // happens on every message, which would hide a worker that stopped reporting.
      if (!watch_->armed && !IsRunProgramKind(kind)) vars_.Store(kLastActiveTick, vars_.Get(kLastDelegateTick));
      worker->RequestTerminate();
      StartCancelWatchdog();
    }
  }
  return WorkerWaitResult{CancelRequested(), worker->Abandoned()};
}

void TProgressBridge::ShowCancelled() {
  TaskbarAttention(true, true, false);
  Port().ShowErrorBox(dialog_.window, MessageText(Msg::SetupCancelled), CurrentSetupCaption());
  TaskbarAttention(false, false, false);
}

AfterCancel TProgressBridge::CancelEpilogue(TextView cancelReason) {
  if (!IsTrue(vars_.Get(u"ABORTEDONERROR")) && !silent_) ShowCancelled();
  if (IsTrue(vars_.Get(u"ABORTONERROR"))) return AfterCancel::EndScript;
  vars_.Set(u"ABORTEDONERROR", u"TRUE", cancelReason);
  return AfterCancel::Continue;
}

TProgressBridge::CommandResult TProgressBridge::RunWorkerCommand(const std::shared_ptr<TWorkerThread>& worker,
                                                                 WorkerKind kind, TextView cancelReason) {
  CommandResult result;
  result.wait = RunWorker(worker, kind);
  if (result.wait.cancelled) result.after = CancelEpilogue(cancelReason);
  return result;
}

// --- the main thread on behalf of workers -------------------------------------------------------

bool TProgressBridge::RunOnMainThread(const std::function<void()>& call) {
  if (OnMainThread()) {
    call();
    return true;
  }
  TWorkerThread* worker = TWorkerThread::Current();
  if (worker != nullptr && worker->Abandoned()) return false;
  auto queued = std::make_shared<QueuedCall>();
  queued->call = &call;
  queued->worker = worker;
  {
    std::lock_guard guard(callsLock_);
    // Checked again under the lock that DropCallsOf takes, so a call is never queued after its
    // worker's calls were dropped.
    if (worker != nullptr && worker->Abandoned()) return false;
    calls_.push_back(queued);
  }
  Wake();
  std::unique_lock guard(queued->lock);
  queued->doneSignal.wait(guard, [&] { return queued->done; });
  return queued->ran;
}

void TProgressBridge::RunQueuedCalls() {
  if (runningCalls_) return;  // a call that shows a prompt pumps messages; no call runs inside another
  runningCalls_ = true;
  for (;;) {
    std::shared_ptr<QueuedCall> next;
    {
      std::lock_guard guard(callsLock_);
      if (calls_.empty()) break;
      next = calls_.front();
      calls_.pop_front();
    }
    bool ran = true;
    try {
      (*next->call)();
    } catch (...) {
      ran = false;  // no exception crosses back into the worker's thread
    }
    std::lock_guard guard(next->lock);
    next->done = true;
    next->ran = ran;
    next->doneSignal.notify_all();
  }
  runningCalls_ = false;
}

void TProgressBridge::DropCallsOf(const TWorkerThread* worker) {
  std::lock_guard guard(callsLock_);
  for (auto it = calls_.begin(); it != calls_.end();) {
    if ((*it)->worker != worker) {
      ++it;
      continue;
    }
    {
      std::lock_guard callGuard((*it)->lock);
      (*it)->done = true;
      (*it)->ran = false;
      (*it)->doneSignal.notify_all();
    }
    it = calls_.erase(it);
  }
}

void TProgressBridge::Wake() {
  silentPort_->Wake();
  if (BridgePort* port = port_.load()) port->Wake();
}

// --- taskbar -------------------------------------------------------------------------------

void TProgressBridge::TaskbarAttention(bool on, bool isError, bool reapply) {
  if (reapply) {
    on = attentionOn_;
    isError = attentionError_;
  } else {
    attentionOn_ = on;
    attentionError_ = isError;
  }
  if (on) {
    if (!savedMode_) savedMode_ = vars_.Get(u"PROGRESSMODE");
    vars_.Store(u"PROGRESSMODE", isError ? u"ERROR" : u"PAUSE");
  } else if (savedMode_) {
    vars_.Store(u"PROGRESSMODE", *savedMode_);
    savedMode_.reset();
  }
  if (dialog_.window != 0) Port().SetTaskbarState(dialog_.window, TaskbarStateForMode(vars_.Get(u"PROGRESSMODE")));
}

// --- the process bridge --------------------------------------------------------------------

TProgressBridge& ProcessBridge() {
  static TProgressBridge bridge(ProcessVariables());
  return bridge;
}

void ReportProgress(TextView text, int64_t min, int64_t max, int64_t position) {
  ProcessBridge().ReportProgress(text, min, max, position);
}

bool RefreshProgressDisplay(TextView text, bool copyCancel, int64_t min, int64_t max, int64_t position) {
  return ProcessBridge().RefreshProgressDisplay(text, copyCancel, min, max, position);
}

void PumpOrWait(TWorkerThread* worker) { ProcessBridge().PumpOrWait(worker); }

bool ProgressActive() { return ProcessBridge().ProgressActive(); }

void TaskbarAttention(bool on, bool isError, bool reapply) { ProcessBridge().TaskbarAttention(on, isError, reapply); }

}  // namespace vx
