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
#include "ui/WorkerCommandTestSupport.h"
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

// Every scenario runs as a worker command on the process bridge, as a command handler runs it.
class BridgeRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ProcessBridge().BindMainThread();
    ProcessBridge().SetWatchdogPeriod(500ms);
  }
  void TearDown() override {
    ProcessBridge().SetWatchdogPeriod(5000ms);
    ProcessBridge().SetPage(nullptr);
    ProcessBridge().SetSilent(false);
    ProcessBridge().SetCurrentDialog({});
  }

  struct Ran {
    WorkerOutcome outcome;
    std::shared_ptr<ScriptedWorker> worker;
  };
  Ran RunCommand(const testing::WorkerScenario& s, testing::CommandRig& rig) {
    auto worker = std::make_shared<ScriptedWorker>(ProcessBridge(), s.body);
    const WorkerOutcome outcome =
        RunWorkerCommand(rig.ctx, worker, s.kind, {u"Cancel at Plug-In Time", IsRunProgramKind(s.kind)});
    return {outcome, worker};
  }

  void Check(const testing::WorkerScenario& s, const testing::CommandRig& rig, const Ran& ran) {
    EXPECT_EQ(ran.outcome, s.wantOutcome);
    EXPECT_EQ(ran.worker->Abandoned(), s.wantAbandoned);
    EXPECT_EQ(rig.run.EndRequest(), s.wantEnd);
    EXPECT_EQ(ProcessVariables().Get(u"ABORTEDONERROR"), s.wantAbortedOnError);
    if (!s.wantAbandoned) {
      EXPECT_TRUE(ran.worker->Finished());
      EXPECT_EQ(ran.worker->FailureText(), u"");
    }
    EXPECT_FALSE(ProcessBridge().ProgressActive());
  }

  // The abandoned worker is let go and its thread ends on its own.
  static void LetGo(Ran& ran) {
    std::weak_ptr<ScriptedWorker> alive = ran.worker;
    ran.worker->Release();
    ran.worker.reset();
    while (!alive.expired()) std::this_thread::sleep_for(5ms);
  }
};

TEST_F(BridgeRun, SilentRunWaitsWithoutMessagesAndNeverHangs) {
  TImageListPool pool;  // present as in a real run; a silent run does not dispatch through it
  ProcessBridge().SetSilent(true);
  for (const auto& s : testing::WorkerScenarios(300ms)) {
    SCOPED_TRACE(s.name);
    HangGuard guard(30s, s.name);
    testing::PrepareScenario(s);
    testing::CommandRig rig;
    // In a silent run nothing pumps on the main thread: the cancel arrives from another thread.
    std::thread user;
    if (s.userCancels) {
      user = std::thread([] {
        std::this_thread::sleep_for(200ms);
        ProcessVariables().Store(kIsCancelled, u"TRUE");
      });
    }
    Ran ran = RunCommand(s, rig);
    if (user.joinable()) user.join();
    Check(s, rig, ran);
    LetGo(ran);
  }
}

// The cancel of a run with pages comes from the page, on the main thread: a timer of the page
// window stands for the user's click.
void CALLBACK UserCancels(HWND window, UINT, UINT_PTR id, DWORD) {
  KillTimer(window, id);
  ProcessVariables().Store(kIsCancelled, u"TRUE");
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
  TImageListPool pool;
  ASSERT_TRUE(pool.Ready());
  RecordingPage recorder;
  ProcessBridge().SetPage(&recorder);
  ProcessBridge().SetCurrentDialog(CurrentDialog{u"progress", reinterpret_cast<uintptr_t>(page)});
  SetCaptionSource(u"Bridge Test", false);

  for (const auto& s : testing::WorkerScenarios(1500ms)) {
    SCOPED_TRACE(s.name);
    HangGuard guard(30s, s.name);
    BoxCloser closer;
    testing::PrepareScenario(s);
    testing::CommandRig rig;
    recorder.shown.clear();
    if (s.userCancels) SetTimer(page, 1, 200, &UserCancels);
    Ran ran = RunCommand(s, rig);
    Check(s, rig, ran);
    // "Setup cancelled" was shown for every cancel (ABORTEDONERROR was not yet true).
    const auto boxes = closer.Texts();
    ASSERT_EQ(boxes.size(), s.userCancels ? 1u : 0u);
    if (s.userCancels) {
      EXPECT_EQ(boxes[0], L"Setup cancelled");
    }
    if (s.wantOutcome == WorkerOutcome::Finished && s.kind == WorkerKind::ExtractMedia) {
      // The one-second refresh showed the worker's values, scaled for a 32-bit bar.
      ASSERT_FALSE(recorder.shown.empty());
      EXPECT_EQ(recorder.shown.back().text, u"Half way");
      EXPECT_EQ(recorder.shown.back().values, (ScaledProgress{0, 4'882'812, 2'441'406}));
    }
    LetGo(ran);
  }
  DestroyWindow(page);
}

TEST_F(BridgeRun, TaskbarAttentionReachesTheTaskbarWithoutFailing) {
  if (!HasDesktop()) GTEST_SKIP() << "needs a desktop (run under Xvfb)";
  HWND page = CreatePageWindow();
  ASSERT_NE(page, nullptr);
  TImageListPool pool;
  TProgressBridge& bridge = ProcessBridge();
  TVariableManager& vars = ProcessVariables();
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
