#include "ui/uImageListPool.h"

#include <shobjidl.h>

#include "platform/Win32.h"

namespace vx {

namespace {

constexpr wchar_t kClassName[] = L"TImageListPool";

// Timer ids: the watchdogs by worker kind from 1, then the form's own timers.
constexpr UINT_PTR kWatchdogBase = 1;
constexpr UINT_PTR kPageRefreshTimer = 100;  // Timer1: the current page's one-second refresh
constexpr UINT_PTR kWin7Timer = 101;
constexpr UINT_PTR kTimerWin7 = 102;
constexpr UINT_PTR kMarechal = 103;

constexpr UINT kPageRefreshMs = 1000;
constexpr UINT kTimerWin7Ms = 314;
constexpr UINT kMarechalMs = 100;

// Posted to the form to wake the main thread: a worker finished or queued a call.
constexpr UINT kWakeMessage = WM_APP + 0x314;

UINT_PTR WatchdogId(WorkerKind kind) { return kWatchdogBase + static_cast<UINT_PTR>(kind); }

void RegisterFormClass(WNDPROC windowProc) {
  static const bool registered = [windowProc] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
}

template <typename Fn>
void RunHook(const Fn& hook) {
  if (!hook) return;
  try {
    hook();
  } catch (...) {
    // A timer handler's failure must not unwind through the window procedure.
  }
}

}  // namespace

TImageListPool::TImageListPool(TProgressBridge& bridge) : bridge_(bridge) {
  RegisterFormClass(&TImageListPool::WindowProc);
  // A message-only window: never shown, never on the taskbar, and it still receives timers.
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ == nullptr) return;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetTimer(window_, kPageRefreshTimer, kPageRefreshMs, nullptr);
  bridge_.BindMainThread();
  bridge_.SetPort(this);
}

TImageListPool::~TImageListPool() {
  if (window_ != nullptr) {
    bridge_.SetPort(nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (taskbar_ != nullptr) taskbar_->Release();
  if (comInitialized_) CoUninitialize();
}

LRESULT CALLBACK TImageListPool::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TImageListPool*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    if (message == WM_TIMER) {
      self->OnTimer(static_cast<UINT_PTR>(wParam));
      return 0;
    }
    if (message == kWakeMessage) {
      // Calls queued by a worker run here too, so that they are served inside modal loops.
      self->bridge_.RunQueuedCalls();
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void TImageListPool::OnTimer(UINT_PTR id) {
  if (id == kPageRefreshTimer) {
    bridge_.OnRefreshTimer();
    return;
  }
  if (id >= kWatchdogBase && id < kWatchdogBase + static_cast<UINT_PTR>(WorkerKind::Count)) {
    const auto kind = static_cast<WorkerKind>(id - kWatchdogBase);
    // Each tick disables its timer; the watchdog runs on only when its worker reported.
    KillTimer(window_, id);
    watchdogRunning_[static_cast<int>(kind)] = false;
    if (bridge_.OnWatchdogTimer(kind)) StartWatchdogTimer(kind, bridge_.WatchdogPeriod());
    return;
  }
  KillTimer(window_, id);
  if (id == kWin7Timer) RunHook(onWin7Timer_);
  if (id == kTimerWin7) RunHook(onTimerWin7_);
  if (id == kMarechal) {
    SetTimer(window_, kMarechal, kMarechalMs, nullptr);  // the pin queue is serviced until stopped
    RunHook(onMarechal_);
  }
}

void TImageListPool::StartWin7Timer(UINT intervalMs, std::function<void()> onTick) {
  if (window_ == nullptr) return;
  onWin7Timer_ = std::move(onTick);
  SetTimer(window_, kWin7Timer, intervalMs, nullptr);
}

void TImageListPool::StartTimerWin7(std::function<void()> onTick) {
  if (window_ == nullptr) return;
  onTimerWin7_ = std::move(onTick);
  SetTimer(window_, kTimerWin7, kTimerWin7Ms, nullptr);
}

void TImageListPool::StartMarechal(std::function<void()> onTick) {
  if (window_ == nullptr) return;
  onMarechal_ = std::move(onTick);
  SetTimer(window_, kMarechal, kMarechalMs, nullptr);
}

void TImageListPool::StopMarechal() {
  if (window_ != nullptr) KillTimer(window_, kMarechal);
}

void TImageListPool::WaitStep(std::optional<Clock::time_point> deadline) {
  MSG msg;
  for (;;) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the outermost loop
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      return;
    }
    DWORD timeout = INFINITE;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return;
      timeout = static_cast<DWORD>(left);
    }
    // Messages sent by other threads are delivered inside this wait.
    if (MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT) return;
  }
}

void TImageListPool::Wake() {
  if (window_ != nullptr) PostMessageW(window_, kWakeMessage, 0, 0);
}

void TImageListPool::StartWatchdogTimer(WorkerKind kind, std::chrono::milliseconds period) {
  if (window_ == nullptr) return;
  bool& running = watchdogRunning_[static_cast<int>(kind)];
  if (running) return;  // enabling a running timer does not restart its period
  running = SetTimer(window_, WatchdogId(kind), static_cast<UINT>(period.count()), nullptr) != 0;
}

void TImageListPool::StopWatchdogTimer(WorkerKind kind) {
  if (window_ == nullptr) return;
  KillTimer(window_, WatchdogId(kind));
  watchdogRunning_[static_cast<int>(kind)] = false;
}

ITaskbarList3* TImageListPool::Taskbar() {
  if (!taskbarTried_) {
    taskbarTried_ = true;
    // The taskbar object lives in this (main) thread's apartment; the call is balanced on release.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comInitialized_ = SUCCEEDED(com);
    ITaskbarList3* list = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                   reinterpret_cast<void**>(&list)))) {
      if (SUCCEEDED(list->HrInit())) {
        taskbar_ = list;
      } else {
        list->Release();
      }
    }
  }
  return taskbar_;
}

void TImageListPool::SetTaskbarState(uintptr_t window, TaskbarState state) {
  if (ITaskbarList3* taskbar = Taskbar()) {
    (void)taskbar->SetProgressState(reinterpret_cast<HWND>(window), static_cast<TBPFLAG>(state));
  }
}

void TImageListPool::SetTaskbarValue(uintptr_t window, uint64_t completed, uint64_t total) {
  if (ITaskbarList3* taskbar = Taskbar()) {
    (void)taskbar->SetProgressValue(reinterpret_cast<HWND>(window), completed, total);
  }
}

void TImageListPool::ShowErrorBox(uintptr_t owner, TextView text, TextView caption) {
  const Text body(text);
  const Text title(caption);
  MessageBoxW(reinterpret_cast<HWND>(owner), platform::W(body), platform::W(title), MB_OK | MB_ICONERROR);
}

}  // namespace vx
