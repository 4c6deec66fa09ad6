// The bridge on Windows: worker commands that finish, are cancelled, or ignore the cancel, waited
// for in a silent run (no message dispatch) and in a run with a page (the hidden form's timers and
// one message at a time). The interactive cases need a desktop (run under Xvfb); without one they
// are skipped. A hang in any case ends the test process through the guard.
#include "ui/uImageListPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/Win32.h"
#include "script/VariableManager.h"
#include "ui/BridgeTestSupport.h"
#include "ui/WorkerThread.h"
#include "ui/uLanguage.h"

namespace vx {
namespace {

using namespace std::chrono_literals;
using testing::HangGuard;
using testing::ScriptedWorker;

constexpr wchar_t kCaption[] = L"Bridge Test - Veltrix Wizard";

bool HasDesktop() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}

// Closes every message box with the setup caption that the process shows, and keeps its text.
class BoxCloser {
 public:
  BoxCloser() : thread_([this] { Run(); }) {}
  ~BoxCloser() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::wstring> Texts() {
    std::lock_guard guard(lock_);
    return texts_;
  }

 private:
  void Run() {
    while (!stop_) {
      if (HWND box = FindWindowW(L"#32770", kCaption)) {
        wchar_t text[256] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 256);
        {
          std::lock_guard guard(lock_);
          texts_.push_back(text);
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        while (IsWindow(box) && !stop_) std::this_thread::sleep_for(10ms);
      }
      std::this_thread::sleep_for(20ms);
    }
  }

  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<std::wstring> texts_;
  std::thread thread_;
};

// A page that records what the refresh timer shows.
struct RecordingPage final : ProgressPage {
  std::vector<PageProgress> shown;
  void ShowProgress(const CurrentDialog&, const PageProgress& progress) override { shown.push_back(progress); }
};

struct Scenario {
  const char* name;
  bool cancel;        // the user cancels 200 ms after the start
  bool abortOnError;  // ABORTONERROR
  ScriptedWorker::Body body;
  bool wantCancelled;
  bool wantAbandoned;
  AfterCancel wantAfter;
  const char16_t* wantAbortedOnError;
};

void ReportFor(ScriptedWorker& w, std::chrono::milliseconds total) {
  for (auto end = std::chrono::steady_clock::now() + total; std::chrono::steady_clock::now() < end;) {
    w.Report(u"$IGNORE$", 0, 5'000'000'000, 2'500'000'000);
    std::this_thread::sleep_for(10ms);
  }
}

std::vector<Scenario> Scenarios() {
  return {
      {"reports and finishes", false, false,
       [](ScriptedWorker& w) {
         w.Report(u"Half way", 0, 5'000'000'000, 2'500'000'000);
         ReportFor(w, 1500ms);  // long enough for the page refresh timer
       },
       false, false, AfterCancel::Continue, u"FALSE"},
      {"is cancelled and stops", true, false,
       [](ScriptedWorker& w) {
         while (!w.TerminateRequested()) {
           w.Report(u"Working", 0, 100, 50);
           std::this_thread::sleep_for(10ms);
         }
       },
       true, false, AfterCancel::Continue, u"TRUE"},
      {"ignores the cancel", true, false,
       [](ScriptedWorker& w) {
         while (!w.TerminateRequested()) {
           w.Report(u"Working", 0, 100, 50);
           std::this_thread::sleep_for(10ms);
         }
         w.WaitForRelease();  // stuck: never reports again
       },
       true, true, AfterCancel::Continue, u"TRUE"},
      {"ignores the cancel with abort on error", true, true,
       [](ScriptedWorker& w) {
         w.Report(u"Working", 0, 100, 50);
         w.WaitForRelease();
       },
       true, true, AfterCancel::EndScript, u"FALSE"},
      {"asks the main thread", false, false,
       [](ScriptedWorker& w) {
         for (int i = 0; i < 3; ++i) EXPECT_TRUE(w.Synchronize([] {}));
       },
       false, false, AfterCancel::Continue, u"FALSE"},
  };
}

class BridgeRun : public ::testing::Test {
 protected:
  void SetUp() override {
    bridge.StoreStartValues();
    vars.Store(u"PROGRESS", u"0");
    vars.Store(u"PROGRESSTEXT", u"");
    vars.Store(u"PROGRESSMODE", u"");
    bridge.SetWatchdogPeriod(500ms);
  }

  void Prepare(const Scenario& s) {
    vars.Store(kIsCancelled, u"FALSE");
    vars.Store(u"ABORTONERROR", TruthText(s.abortOnError));
    vars.Store(u"ABORTEDONERROR", u"FALSE");
  }

  void Check(const Scenario& s, const std::shared_ptr<ScriptedWorker>& worker,
             const TProgressBridge::CommandResult& result) {
    EXPECT_EQ(result.wait.cancelled, s.wantCancelled);
    EXPECT_EQ(result.wait.abandoned, s.wantAbandoned);
    EXPECT_EQ(result.after, s.wantAfter);
    EXPECT_EQ(vars.Get(u"ABORTEDONERROR"), s.wantAbortedOnError);
    EXPECT_TRUE(worker->Finished() || worker->Abandoned());
    EXPECT_FALSE(bridge.ProgressActive());
  }

  TVariableManager vars;
  TProgressBridge bridge{vars};
};

TEST_F(BridgeRun, SilentRunWaitsWithoutMessagesAndNeverHangs) {
  TImageListPool pool(bridge);  // present as in a real run; a silent run does not dispatch through it
  bridge.SetSilent(true);
  for (const Scenario& s : Scenarios()) {
    SCOPED_TRACE(s.name);
    HangGuard guard(30s, s.name);
    Prepare(s);
    auto worker = std::make_shared<ScriptedWorker>(bridge, s.body);
    // In a silent run nothing pumps on the main thread: the cancel arrives from another thread.
    std::thread canceller;
    if (s.cancel) {
      canceller = std::thread([this] {
        std::this_thread::sleep_for(200ms);
        vars.Store(kIsCancelled, u"TRUE");
      });
    }
    const auto result = bridge.RunWorkerCommand(worker, WorkerKind::Test, u"Cancel at Plug-In Time");
    if (canceller.joinable()) canceller.join();
    Check(s, worker, result);
    worker->Release();
  }
}

// The cancel of a run with pages comes from the page, on the main thread: a timer of the page
// window stands for the user's click.
TVariableManager* gCancelTarget = nullptr;
void CALLBACK UserCancels(HWND window, UINT, UINT_PTR id, DWORD) {
  KillTimer(window, id);
  gCancelTarget->Store(kIsCancelled, u"TRUE");
}

HWND CreatePageWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VeltrixBridgeTestPage";
  RegisterClassW(&wc);
  HWND page = CreateWindowExW(0, wc.lpszClassName, kCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 300,
                              nullptr, nullptr, wc.hInstance, nullptr);
  return page;
}

TEST_F(BridgeRun, InteractiveRunKeepsThePageAliveAndEndsEveryWorker) {
  if (!HasDesktop()) GTEST_SKIP() << "needs a desktop (run under Xvfb)";
  HWND page = CreatePageWindow();
  ASSERT_NE(page, nullptr);
  TImageListPool pool(bridge);
  ASSERT_TRUE(pool.Ready());
  RecordingPage recorder;
  bridge.SetPage(&recorder);
  bridge.SetCurrentDialog(CurrentDialog{u"progress", reinterpret_cast<uintptr_t>(page)});
  SetCaptionSource(u"Bridge Test", false);
  gCancelTarget = &vars;

  for (const Scenario& s : Scenarios()) {
    SCOPED_TRACE(s.name);
    HangGuard guard(30s, s.name);
    BoxCloser closer;
    Prepare(s);
    recorder.shown.clear();
    auto worker = std::make_shared<ScriptedWorker>(bridge, s.body);
    if (s.cancel) SetTimer(page, 1, 200, &UserCancels);
    const auto result = bridge.RunWorkerCommand(worker, WorkerKind::Test, u"Cancel at Plug-In Time");
    Check(s, worker, result);
    // "Setup cancelled" was shown for every cancel (ABORTEDONERROR was not yet true).
    const auto boxes = closer.Texts();
    ASSERT_EQ(boxes.size(), s.wantCancelled ? 1u : 0u);
    if (s.wantCancelled) {
      EXPECT_EQ(boxes[0], L"Setup cancelled");
    }
    if (!s.cancel && std::string_view(s.name) == "reports and finishes") {
      // The one-second refresh showed the worker's values, scaled for a 32-bit bar.
      ASSERT_FALSE(recorder.shown.empty());
      EXPECT_EQ(recorder.shown.back().text, u"Half way");
      EXPECT_EQ(recorder.shown.back().values, (ScaledProgress{0, 4'882'812, 2'441'406}));
    }
    worker->Release();
  }
  DestroyWindow(page);
}

TEST_F(BridgeRun, TaskbarAttentionReachesTheTaskbarWithoutFailing) {
  if (!HasDesktop()) GTEST_SKIP() << "needs a desktop (run under Xvfb)";
  HWND page = CreatePageWindow();
  ASSERT_NE(page, nullptr);
  TImageListPool pool(bridge);
  bridge.SetCurrentDialog(CurrentDialog{u"progress", reinterpret_cast<uintptr_t>(page)});
  vars.Store(u"PROGRESSMODE", u"MARQUEE");
  bridge.TaskbarAttention(true, true, false);
  EXPECT_EQ(vars.Get(u"PROGRESSMODE"), u"ERROR");
  bridge.RefreshProgressDisplay(u"Text", false, 0, 5'000'000'000, 2'500'000'000);
  bridge.TaskbarAttention(false, false, false);
  EXPECT_EQ(vars.Get(u"PROGRESSMODE"), u"MARQUEE");
  DestroyWindow(page);
}

}  // namespace
}  // namespace vx
