#include "script/WorkerCommand.h"

#include <gtest/gtest.h>

#include "script/TestScript.h"

namespace vx {
namespace {

// A worker that finishes after a few polls and records what it was asked.
class FakeWorker final : public WorkerControl {
 public:
  explicit FakeWorker(TVariableManager& vars, bool cancelWhileRunning) : vars_(vars), cancel_(cancelWhileRunning) {}
  [[nodiscard]] bool Finished() const override {
    if (++polls_ == 2 && cancel_) vars_.Store(u"ZURI_IsCancelled", u"TRUE");
    return polls_ > 4;
  }
  void RequestStop() override { ++stops; }
  void RecordCancelResult() override { cancelResultRecorded = true; }

  int stops = 0;
  bool cancelResultRecorded = false;

 private:
  TVariableManager& vars_;
  bool cancel_;
  mutable int polls_ = 0;
};

TEST(WorkerCommandTest, CancelEndsTheScriptOrMarksTheAbort) {
  struct Case {
    bool cancel;
    const char16_t* abortOnError;
    bool runsProgram;
    WorkerOutcome outcome;
    RunEnd end;
    const char16_t* abortedOnError;
  };
  const Case cases[] = {
      {false, u"TRUE", false, WorkerOutcome::Finished, RunEnd::None, u"FALSE"},
      {true, u"TRUE", false, WorkerOutcome::CancelledEndScript, RunEnd::AbortCleanup, u"FALSE"},
      {true, u"FALSE", false, WorkerOutcome::CancelledContinue, RunEnd::None, u"TRUE"},
      {true, u"FALSE", true, WorkerOutcome::CancelledContinue, RunEnd::None, u"TRUE"},
  };
  for (const Case& c : cases) {
    TVariableManager vars(false);
    vars.Store(u"ZURI_IsCancelled", u"FALSE");
    vars.Store(u"ABORTONERROR", c.abortOnError);
    vars.Store(u"ABORTEDONERROR", u"FALSE");
    vars.Store(u"ZURI_LastDelegateTick", u"1234");
    vars.Store(u"ZURI_LastActiveTick", u"1");
    vars.Store(u"PROGRESS", u"0");
    int exitCode = 0;
    ScriptRun run(exitCode);
    RunTrace trace;
    const CompiledScript script = testing::MakeScript({{"Find All Files", {}}});
    CommandContext ctx(script, 0, vars, trace, run);
    FakeWorker worker(vars, c.cancel);
    const WorkerOutcome outcome =
        WaitForWorker(ctx, worker, WorkerCommandKind{u"Cancel at Find-Files Time", c.runsProgram});
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(run.EndRequest(), c.end);
    EXPECT_EQ(vars.Get(u"ABORTEDONERROR"), c.abortedOnError);
    EXPECT_EQ(worker.stops, c.cancel ? 1 : 0) << "the worker is asked to stop once";
    EXPECT_EQ(worker.cancelResultRecorded, c.cancel && c.runsProgram);
    EXPECT_EQ(vars.Get(u"ZURI_LastActiveTick"), c.cancel && !c.runsProgram ? u"1234" : u"1");
  }
}

}  // namespace
}  // namespace vx
