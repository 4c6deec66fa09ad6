#include "ui/Bridge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "script/EngineError.h"
#include "script/PredefinedVariables.h"
#include "script/VariableManager.h"
#include "ui/BridgeTestSupport.h"
#include "ui/WorkerThread.h"

namespace vx {
namespace {

using namespace std::chrono_literals;
using testing::HangGuard;
using testing::RecordingPort;
using testing::ScriptedWorker;

// A store and a bridge of the test's own, with a tick that moves on every read, so that every
// report leaves a new delegate tick.
class BridgeTest : public ::testing::Test {
 protected:
  BridgeTest() {
    StoreProgressVariables(vars, tick++);
    vars.Store(u"PROGRESS", u"0");
    vars.Store(u"PROGRESSTEXT", u"");
    vars.Store(u"PROGRESSMODE", u"");
    vars.Store(u"CUSTOM_TASKBAR_PROGRESS_ENABLED", u"FALSE");
    vars.Store(u"ABORTONERROR", u"FALSE");
    vars.Store(u"ABORTEDONERROR", u"FALSE");
  }

  void ShowPage() {
    bridge.SetPort(&port);
    bridge.SetPage(&port);
    bridge.SetCurrentDialog(CurrentDialog{u"progress", 0x1234});
  }

  std::shared_ptr<ScriptedWorker> Worker(ScriptedWorker::Body body) {
    auto worker = std::make_shared<ScriptedWorker>(bridge, std::move(body));
    workers_.push_back(worker);
    return worker;
  }

  // Abandoned workers end on their own; the bridge must outlive them.
  void TearDown() override {
    HangGuard guard(30s, "workers ending");
    for (auto& worker : workers_) {
      if (auto alive = worker.lock()) alive->Release();
    }
    for (auto& worker : workers_) {
      while (!worker.expired()) std::this_thread::sleep_for(5ms);
    }
  }

  [[nodiscard]] Text Var(TextView name) const { return vars.Get(name); }

  std::atomic<uint32_t> tick{1000};
  TVariableManager vars;
  TProgressBridge bridge{vars, [this] { return tick.fetch_add(1); }};
  RecordingPort port;

 private:
  std::vector<std::weak_ptr<ScriptedWorker>> workers_;
};

// --- ReportProgress --------------------------------------------------------------------------

TEST_F(BridgeTest, ReportProgressStoresWhatItsSentinelsLeaveFree) {
  struct Case {
    const char* name;
    Text text;
    int64_t min, max, position;
    Text wantText, wantMin, wantMax, wantPosition;
  };
  const Case cases[] = {
      {"plain report", u"Copying", 0, 200, 50, u"Copying", u"0", u"200", u"50"},
      {"$IGNORE$ stores only the numbers", u"$IGNORE$", 0, 100, 50, u"old", u"0", u"100", u"50"},
      {"$ZURI$ changes nothing but the tick", u"$ZURI$", 7, 8, 9, u"old", u"1", u"2", u"3"},
      {"position -1 keeps the numbers", u"New text", 7, 8, -1, u"New text", u"1", u"2", u"3"},
      {"64-bit numbers", u"Big", -5, 5000000000, 4999999999, u"Big", u"-5", u"5000000000", u"4999999999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vars.Store(kThProgressText, u"old");
    vars.Store(kThMin, u"1");
    vars.Store(kThMax, u"2");
    vars.Store(kThProgress, u"3");
    const Text tickBefore = Var(kLastDelegateTick);
    bridge.ReportProgress(c.text, c.min, c.max, c.position);
    EXPECT_EQ(Var(kThProgressText), c.wantText);
    EXPECT_EQ(Var(kThMin), c.wantMin);
    EXPECT_EQ(Var(kThMax), c.wantMax);
    EXPECT_EQ(Var(kThProgress), c.wantPosition);
    EXPECT_NE(Var(kLastDelegateTick), tickBefore);
  }
}

// --- scaling ---------------------------------------------------------------------------------

TEST(ScaleProgress, DividesBy1024UntilTheMaximumFitsA32BitControl) {
  struct Case {
    int64_t min, max, position;
    ScaledProgress want;
  };
  const Case cases[] = {
      {0, 5'000'000'000, 2'500'000'000, {0, 4'882'812, 2'441'406}},
      {0, 2'147'483'647, 2'147'483'647, {0, 2'147'483'647, 2'147'483'647}},  // fits: unchanged
      {0, 2'147'483'648, 1024, {0, 2'097'152, 1}},
      {10, 100, 50, {10, 100, 50}},
      {0, INT64_MAX, INT64_MAX / 2, {0, 8'388'607, 4'194'303}},  // three divisions
      // A position far beyond the maximum is held at the control's limit, never wrapped.
      {0, 3'000'000'000, INT64_MAX, {0, 2'929'687, 2'147'483'647}},
      {INT64_MIN, 3'000'000'000, 0, {-2'147'483'647 - 1, 2'929'687, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.max);
    EXPECT_EQ(ScaleProgress(c.min, c.max, c.position), c.want);
  }
}

// --- RefreshProgressDisplay ------------------------------------------------------------------

TEST_F(BridgeTest, RefreshSetsTheTaskbarFromProgressMode) {
  using P = RecordingPort;
  struct Case {
    const char* name;
    Text mode;
    bool custom;
    std::vector<P::TaskbarCall> want;
  };
  const Case cases[] = {
      {"normal", u"", false, {P::State(TaskbarState::Normal), P::Value(2'441'406, 4'882'812)}},
      {"marquee has no value", u"MARQUEE", false, {P::State(TaskbarState::Indeterminate)}},
      {"error after the value", u"ERROR", false,
       {P::State(TaskbarState::Normal), P::Value(2'441'406, 4'882'812), P::State(TaskbarState::Error)}},
      {"pause after the value", u"PAUSE", false,
       {P::State(TaskbarState::Normal), P::Value(2'441'406, 4'882'812), P::State(TaskbarState::Paused)}},
      {"custom pair", u"", true, {P::State(TaskbarState::Normal), P::Value(3, 7)}},
  };
  ShowPage();
  vars.Store(u"CUSTOM_TASKBAR_PROGRESS_PERCENT", u"3");
  vars.Store(u"CUSTOM_TASKBAR_PROGRESS_MAX", u"7");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    port.taskbar.clear();
    port.pages.clear();
    vars.Store(u"PROGRESSMODE", c.mode);
    vars.Store(u"CUSTOM_TASKBAR_PROGRESS_ENABLED", c.custom ? u"true" : u"FALSE");
    EXPECT_FALSE(bridge.RefreshProgressDisplay(u"Half", false, 0, 5'000'000'000, 2'500'000'000));
    EXPECT_EQ(port.taskbar, c.want);
    ASSERT_EQ(port.pages.size(), 1u);
    EXPECT_EQ(port.pages[0].first, u"progress");
    EXPECT_EQ(port.pages[0].second.text, u"Half");
    EXPECT_EQ(port.pages[0].second.values, (ScaledProgress{0, 4'882'812, 2'441'406}));
    EXPECT_EQ(port.pages[0].second.mode, c.mode);
  }
}

TEST_F(BridgeTest, RefreshInSilentModeOnlyCopiesTheCancel) {
  ShowPage();
  bridge.SetSilent(true);
  for (const TextView cancel : {u"TRUE", u"-1", u"true", u"FALSE", u"yes"}) {
    vars.Store(kIsCancelled, cancel);
    const bool want = IsTrue(cancel);
    EXPECT_EQ(bridge.RefreshProgressDisplay(u"$ZURI$", true, 0, 0, 0), want);
    EXPECT_EQ(Var(kThCancelled), TruthText(want));
  }
  EXPECT_TRUE(port.taskbar.empty());
  EXPECT_TRUE(port.pages.empty());
}

TEST_F(BridgeTest, RefreshTakesBridgeValuesAndNeedsACurrentPage) {
  bridge.SetPort(&port);
  bridge.SetPage(&port);
  bridge.ReportProgress(u"From worker", 0, 5'000'000'000, 2'500'000'000);
  vars.Store(kIsCancelled, u"TRUE");
  EXPECT_TRUE(bridge.RefreshProgressDisplay(u"$ZURI$", false, 0, 0, 0));
  EXPECT_EQ(Var(kThCancelled), u"FALSE");  // copyCancel off
  EXPECT_TRUE(port.pages.empty());         // no page is current

  bridge.SetCurrentDialog(CurrentDialog{u"progress", 0x1234});
  EXPECT_TRUE(bridge.RefreshProgressDisplay(u"$ZURI$", true, 0, 0, 0));
  EXPECT_EQ(Var(kThCancelled), u"TRUE");
  ASSERT_EQ(port.pages.size(), 1u);
  EXPECT_EQ(port.pages[0].second.text, u"From worker");
  EXPECT_EQ(port.pages[0].second.values, (ScaledProgress{0, 4'882'812, 2'441'406}));
}

TEST_F(BridgeTest, RefreshTimerActsOnlyWhileProgressIsActiveAndSurvivesBadNumbers) {
  ShowPage();
  bridge.ReportProgress(u"Working", 0, 100, 40);
  bridge.OnRefreshTimer();
  EXPECT_TRUE(port.pages.empty());

  ProgressActiveScope active(bridge);
  bridge.OnRefreshTimer();
  ASSERT_EQ(port.pages.size(), 1u);
  EXPECT_EQ(port.pages[0].second.values.position, 40);

  // A bridge number that does not parse raises from a direct refresh and ends only this tick.
  vars.Store(kThMax, u"abc");
  EXPECT_THROW(bridge.RefreshProgressDisplay(u"$ZURI$", true, 0, 0, 0), EngineError);
  bridge.OnRefreshTimer();
  EXPECT_EQ(port.pages.size(), 1u);
  vars.Store(kThMax, u"100");
  bridge.OnRefreshTimer();
  EXPECT_EQ(port.pages.size(), 2u);
}

TEST_F(BridgeTest, ScriptProgressRefreshesAtOnceWithProgressActive) {
  ShowPage();
  struct Seen final : ProgressPage {
    TProgressBridge* bridge = nullptr;
    bool activeWhileShown = false;
    void ShowProgress(const CurrentDialog&, const PageProgress&) override { activeWhileShown = bridge->ProgressActive(); }
  } seen;
  seen.bridge = &bridge;
  bridge.SetPage(&seen);
  bridge.RefreshScriptProgress(u"Step", 70);
  EXPECT_TRUE(seen.activeWhileShown);
  EXPECT_FALSE(bridge.ProgressActive());
}

// --- TaskbarAttention ------------------------------------------------------------------------

TEST_F(BridgeTest, TaskbarAttentionSavesAndRestoresProgressMode) {
  ShowPage();
  vars.Store(u"PROGRESSMODE", u"MARQUEE");
  struct Step {
    bool on, isError, reapply;
    Text wantMode;
    TaskbarState wantState;
  };
  const Step steps[] = {
      {true, true, false, u"ERROR", TaskbarState::Error},
      {true, false, false, u"PAUSE", TaskbarState::Paused},  // the first saved mode stays saved
      {false, false, true, u"PAUSE", TaskbarState::Paused},   // reapply repeats (on, not error)
      {false, false, false, u"MARQUEE", TaskbarState::Indeterminate},
      {false, false, false, u"MARQUEE", TaskbarState::Indeterminate},  // nothing saved any more
  };
  for (const Step& s : steps) {
    port.taskbar.clear();
    bridge.TaskbarAttention(s.on, s.isError, s.reapply);
    EXPECT_EQ(Var(u"PROGRESSMODE"), s.wantMode);
    ASSERT_EQ(port.taskbar.size(), 1u);
    EXPECT_EQ(port.taskbar[0], RecordingPort::State(s.wantState));
  }
}

// --- the cancel epilogue ---------------------------------------------------------------------

TEST_F(BridgeTest, CancelEpilogueShowsTheBoxAndDecidesHowTheScriptGoesOn) {
  struct Case {
    const char* name;
    bool silent;
    Text abortedOnError, abortOnError;
    bool wantBox;
    AfterCancel wantAfter;
    Text wantAbortedOnError;
  };
  const Case cases[] = {
      {"first cancel goes on", false, u"FALSE", u"FALSE", true, AfterCancel::Continue, u"TRUE"},
      {"already aborted: no box", false, u"TRUE", u"FALSE", false, AfterCancel::Continue, u"TRUE"},
      {"silent: no box", true, u"FALSE", u"FALSE", false, AfterCancel::Continue, u"TRUE"},
      {"abort on error ends the script", false, u"FALSE", u"-1", true, AfterCancel::EndScript, u"FALSE"},
      {"silent abort on error", true, u"FALSE", u"TRUE", false, AfterCancel::EndScript, u"FALSE"},
  };
  ShowPage();
  vars.Store(u"PROGRESSMODE", u"");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    port.boxes.clear();
    port.taskbar.clear();
    bridge.SetSilent(c.silent);
    vars.Store(u"ABORTEDONERROR", c.abortedOnError);
    vars.Store(u"ABORTONERROR", c.abortOnError);
    EXPECT_EQ(bridge.CancelEpilogue(u"Cancel at Plug-In Time"), c.wantAfter);
    EXPECT_EQ(Var(u"ABORTEDONERROR"), c.wantAbortedOnError);
    ASSERT_EQ(port.boxes.size(), c.wantBox ? 1u : 0u);
    if (c.wantBox) {
      EXPECT_EQ(port.boxes[0].text, u"Setup cancelled");
      EXPECT_EQ(port.boxes[0].owner, 0x1234u);
      // The taskbar shows the error while the box is up and its own state after.
      EXPECT_EQ(port.taskbar, (std::vector{RecordingPort::State(TaskbarState::Error), RecordingPort::State(TaskbarState::Normal)}));
      EXPECT_EQ(Var(u"PROGRESSMODE"), u"");
    }
  }
}

// --- the worker wait loop --------------------------------------------------------------------

// The worker's own way to make the cancel arrive mid-run, as a user's click would.
void CancelFrom(ScriptedWorker& w) { w.Bridge().Variables().Store(kIsCancelled, u"TRUE"); }

TEST_F(BridgeTest, WorkerWaitLoopEndsAsTheWorkerBehaves) {
  struct Case {
    const char* name;
    WorkerKind kind;
    ScriptedWorker::Body body;
    bool wantCancelled, wantAbandoned;
    int wantReportsAfterCancel;  // -1: not checked
  };
  const Case cases[] = {
      {"reports and finishes", WorkerKind::Test,
       [](ScriptedWorker& w) {
         for (int i = 0; i <= 10; ++i) {
           w.Report(u"Extracting", 0, 100, i * 10);
           std::this_thread::sleep_for(2ms);
         }
       },
       false, false, -1},
      {"stops when asked", WorkerKind::ExtractMedia,
       [](ScriptedWorker& w) {
         for (int i = 0; !w.TerminateRequested(); ++i) {
           if (i == 3) CancelFrom(w);
           w.Report(u"Extracting", 0, 100, i % 100);
           std::this_thread::sleep_for(2ms);
         }
       },
       true, false, -1},
      {"ignores the cancel and stays silent", WorkerKind::Plugin,
       [](ScriptedWorker& w) {
         w.Report(u"Stuck", 0, 100, 1);
         CancelFrom(w);
         w.WaitForRelease();
       },
       true, true, -1},
      {"keeps reporting after the cancel, then stalls", WorkerKind::GrabMedia,
       [](ScriptedWorker& w) {
         CancelFrom(w);
         // Reports for well over two watchdog periods: the watchdog must let it run on.
         for (int i = 0; i < 90; ++i) {
           w.Report(u"$IGNORE$", 0, 100, i);
           ++w.reportsAfterCancel;
           std::this_thread::sleep_for(10ms);
         }
         w.WaitForRelease();
       },
       true, true, 90},
      {"a program ends one period after the cancel even while reporting", WorkerKind::RunApp,
       [](ScriptedWorker& w) {
         CancelFrom(w);
         while (!w.Abandoned()) {
           w.Report(u"$IGNORE$", 0, 100, 5);
           std::this_thread::sleep_for(5ms);
         }
       },
       true, true, -1},
      {"an exception still finishes the worker", WorkerKind::Test,
       [](ScriptedWorker&) { throw EngineError("disk gone"); }, false, false, -1},
  };
  bridge.SetWatchdogPeriod(300ms);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HangGuard guard(60s, c.name);
    vars.Store(kIsCancelled, u"FALSE");
    auto worker = Worker(c.body);
    const WorkerWaitResult result = bridge.RunWorker(worker, c.kind);
    EXPECT_EQ(result.cancelled, c.wantCancelled);
    EXPECT_EQ(result.abandoned, c.wantAbandoned);
    EXPECT_EQ(worker->Finished() || worker->Abandoned(), true);
    EXPECT_TRUE(worker->TerminateRequested() == c.wantCancelled);
    if (c.wantReportsAfterCancel >= 0) {
      EXPECT_EQ(worker->reportsAfterCancel.load(), c.wantReportsAfterCancel);
    }
    EXPECT_FALSE(bridge.ProgressActive());
    worker->Release();
  }
}

TEST_F(BridgeTest, AbandonedWorkerLivesUntilItsThreadEndsAndItsLateReportsAreDropped) {
  HangGuard guard(30s, "abandoned worker");
  bridge.SetWatchdogPeriod(200ms);
  std::atomic<bool> lateCallRan{false};
  std::atomic<bool> lateCallAccepted{true};
  auto worker = Worker([&](ScriptedWorker& w) {
    w.Report(u"Before", 0, 100, 10);
    CancelFrom(w);
    w.WaitForRelease();
    w.Report(u"late", 0, 100, 99);
    lateCallAccepted = w.Synchronize([&] { lateCallRan = true; });
  });
  std::weak_ptr<ScriptedWorker> alive = worker;
  EXPECT_TRUE(bridge.RunWorker(worker, WorkerKind::CopyMedia).abandoned);
  EXPECT_EQ(Var(kThProgressText), u"Before");

  ScriptedWorker* raw = worker.get();
  worker.reset();  // the command is done with it; the thread still holds it
  ASSERT_FALSE(alive.expired());
  raw->Release();
  while (!alive.expired()) std::this_thread::sleep_for(5ms);
  bridge.PumpOrWait(nullptr);
  EXPECT_EQ(Var(kThProgressText), u"Before");
  EXPECT_EQ(Var(kThProgress), u"10");
  EXPECT_FALSE(lateCallRan);
  EXPECT_FALSE(lateCallAccepted);
}

TEST_F(BridgeTest, WorkerRunsCallsOnTheMainThreadInSilentAndPagedRuns) {
  for (const bool silent : {true, false}) {
    SCOPED_TRACE(silent ? "silent" : "paged");
    HangGuard guard(30s, "main-thread call");
    if (!silent) ShowPage();
    bridge.SetSilent(silent);
    std::thread::id ranOn;
    int answer = 0;
    auto worker = Worker([&](ScriptedWorker& w) {
      for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(w.Synchronize([&] {
          ranOn = std::this_thread::get_id();
          answer += i;
        }));
        w.Report(u"Asked", 0, 3, i);
      }
    });
    const WorkerWaitResult result = bridge.RunWorker(worker, WorkerKind::Native);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(answer, 6);
  }
}

TEST_F(BridgeTest, RunWorkerCommandRunsTheEpilogueOnlyAfterACancel) {
  ShowPage();
  bridge.SetWatchdogPeriod(200ms);
  HangGuard guard(30s, "worker command");
  auto finishing = Worker([](ScriptedWorker& w) { w.Report(u"Done", 0, 1, 1); });
  auto result = bridge.RunWorkerCommand(finishing, WorkerKind::DirectDelete, u"Cancel at Delete-7Zip Time");
  EXPECT_FALSE(result.wait.cancelled);
  EXPECT_TRUE(port.boxes.empty());
  EXPECT_EQ(Var(u"ABORTEDONERROR"), u"FALSE");

  auto stuck = Worker([](ScriptedWorker& w) {
    CancelFrom(w);
    while (!w.Abandoned()) std::this_thread::sleep_for(5ms);
  });
  result = bridge.RunWorkerCommand(stuck, WorkerKind::DirectDelete, u"Cancel at Delete-7Zip Time");
  EXPECT_TRUE(result.wait.abandoned);
  EXPECT_EQ(result.after, AfterCancel::Continue);
  EXPECT_EQ(port.boxes.size(), 1u);
  EXPECT_EQ(Var(u"ABORTEDONERROR"), u"TRUE");
}

// Many reports against refreshes and queued calls: for the thread sanitizer build.
TEST_F(BridgeTest, ReportsRefreshesAndCallsInterleaveSafely) {
  HangGuard guard(60s, "interleaving");
  ShowPage();
  std::atomic<int> calls{0};
  auto worker = Worker([&](ScriptedWorker& w) {
    for (int i = 0; i < 2000; ++i) {
      w.Report(i % 2 ? u"$IGNORE$" : u"Working", 0, 2000, i);
      if (i % 250 == 0) w.Synchronize([&] { ++calls; });
    }
  });
  bridge.BeginWait(worker, WorkerKind::Test);
  while (!bridge.WaitedWorkerDone()) {
    bridge.WaitStep();
    bridge.OnRefreshTimer();
  }
  bridge.EndWait();
  EXPECT_EQ(calls.load(), 8);
  EXPECT_EQ(Var(kThProgress), u"1999");
  EXPECT_FALSE(port.pages.empty());
}

}  // namespace
}  // namespace vx
