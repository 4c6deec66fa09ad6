#include "ui/BridgeWorkerCommand.h"

#include <gtest/gtest.h>

#include <thread>

#include "ui/WorkerCommandTestSupport.h"

namespace vx {
namespace {

using namespace std::chrono_literals;
using testing::HangGuard;
using testing::RecordingPort;
using testing::ScriptedWorker;

class WorkerCommandOnBridge : public ::testing::Test {
 protected:
  void SetUp() override {
    ProcessBridge().BindMainThread();
    ProcessBridge().SetWatchdogPeriod(300ms);
  }
  void TearDown() override {
    ProcessBridge().SetWatchdogPeriod(5000ms);
    ProcessBridge().SetPort(nullptr);
    ProcessBridge().SetPage(nullptr);
    ProcessBridge().SetSilent(false);
    ProcessBridge().SetCurrentDialog({});
  }

  // Runs every scenario as a "Find All Files"-like command; the cancel comes from another thread
  // (there is no message dispatch here to bring the user's click).
  void RunScenarios(const RecordingPort* port) {
    for (const auto& s : testing::WorkerScenarios(50ms)) {
      SCOPED_TRACE(s.name);
      HangGuard guard(30s, s.name);
      testing::PrepareScenario(s);
      const size_t boxesBefore = port ? port->boxes.size() : 0;
      testing::CommandRig rig;
      auto worker = std::make_shared<ScriptedWorker>(ProcessBridge(), s.body);
      std::weak_ptr<ScriptedWorker> alive = worker;
      bool cancelResultRecorded = false;
      std::thread user;
      if (s.userCancels) {
        user = std::thread([] {
          std::this_thread::sleep_for(200ms);
          ProcessVariables().Store(kIsCancelled, u"TRUE");
        });
      }
      const WorkerOutcome outcome = RunWorkerCommand(rig.ctx, worker, s.kind, {u"Cancel at Find-Files Time", IsRunProgramKind(s.kind)},
                                                     [&] { cancelResultRecorded = true; });
      if (user.joinable()) user.join();

      EXPECT_EQ(outcome, s.wantOutcome);
      EXPECT_EQ(worker->Abandoned(), s.wantAbandoned);
      EXPECT_EQ(rig.run.EndRequest(), s.wantEnd);
      EXPECT_EQ(ProcessVariables().Get(u"ABORTEDONERROR"), s.wantAbortedOnError);
      EXPECT_EQ(cancelResultRecorded, IsRunProgramKind(s.kind) && s.userCancels);
      EXPECT_FALSE(ProcessBridge().ProgressActive());
      if (!s.wantAbandoned) {
        EXPECT_TRUE(worker->Finished());
        EXPECT_EQ(worker->FailureText(), u"");
      }
      if (port) {
        EXPECT_EQ(port->boxes.size() - boxesBefore, s.userCancels ? 1u : 0u);
      }

      worker->Release();
      worker.reset();
      while (!alive.expired()) std::this_thread::sleep_for(5ms);
    }
  }
};

TEST_F(WorkerCommandOnBridge, SilentRunEndsEveryWorkerAsTheProtocolSays) {
  ProcessBridge().SetSilent(true);
  RunScenarios(nullptr);
}

TEST_F(WorkerCommandOnBridge, RunWithAPageShowsSetupCancelledForEachCancel) {
  RecordingPort port;
  ProcessBridge().SetPort(&port);
  ProcessBridge().SetPage(&port);
  ProcessBridge().SetCurrentDialog(CurrentDialog{u"progress", 0x42});
  RunScenarios(&port);
  for (const auto& box : port.boxes) EXPECT_EQ(box.text, u"Setup cancelled");
}

}  // namespace
}  // namespace vx
