#include "script/WorkerCommand.h"

#include "script/InterpreterSeams.h"
#include "script/ScriptSeams.h"
#include "ui/Bridge.h"

namespace vx {

namespace seams {
void StartCancelWatchdog() { ProcessBridge().StartCancelWatchdog(); }
void StopCancelWatchdog() { ProcessBridge().StopCancelWatchdog(); }
void ShowSetupCancelled(TextView) { ProcessBridge().ShowCancelled(); }
}  // namespace seams

namespace {

bool Cancelled(const TVariableManager& vars) { return IsTrue(vars.Get(u"ZURI_IsCancelled")); }

}  // namespace

WorkerOutcome WaitForWorker(CommandContext& ctx, WorkerControl& worker, const WorkerCommandKind& kind) {
  TVariableManager& vars = ctx.Vars();
  bool stopAsked = false;
  while (!worker.Finished()) {
    if (kind.runsProgram)
      seams::RefreshScriptProgress(vars.Get(u"PROGRESSTEXT"), WholeNumber(vars.Get(u"PROGRESS")));
    seams::WaitStep(ctx.Run().Silent());
    if (!stopAsked && Cancelled(vars)) {
      stopAsked = true;
      worker.RequestStop();
      seams::StartCancelWatchdog();
      if (kind.runsProgram)
        worker.RecordCancelResult();
      else
        vars.Store(u"ZURI_LastActiveTick", vars.Get(u"ZURI_LastDelegateTick"));
    }
  }
  seams::StopCancelWatchdog();
  if (!Cancelled(vars)) return WorkerOutcome::Finished;
  if (!IsTrue(vars.Get(u"ABORTEDONERROR")) && !ctx.Run().Silent()) seams::ShowSetupCancelled(vars.Get(u"TITLE"));
  if (IsTrue(vars.Get(u"ABORTONERROR"))) {
    ctx.Run().AbortAndEnd();
    return WorkerOutcome::CancelledEndScript;
  }
  vars.Set(u"ABORTEDONERROR", u"TRUE", kind.cancelReason);
  return WorkerOutcome::CancelledContinue;
}

}  // namespace vx
