// The protocol every command that does its work on a worker thread follows, in one piece:
//
//   1. the handler stores the worker's inputs and starts it (its own business);
//   2. WaitForWorker: until the worker reports it has finished, one wait step at a time ("Run
//      Program", "Run Program As" and "Run Light Mode Setup" first refresh the progress display
//      from PROGRESS and PROGRESSTEXT); when ZURI_IsCancelled turns true the worker is asked to
//      stop and the cancel watchdog starts (those three record the cancel result -314 through
//      the worker; the others copy ZURI_LastDelegateTick into ZURI_LastActiveTick so the watchdog
//      measures from then);
//   3. after the worker has finished the watchdog stops; when the run was cancelled, "Setup
//      cancelled" is shown (not in a silent run, nor once ABORTEDONERROR is true), and then either
//      the script ends through the abort clean-up (ABORTONERROR true) or ABORTEDONERROR becomes
//      "TRUE" with the command's cancel reason and the script goes on;
//   4. the handler writes its results.
#pragma once

#include "script/CommandTable.h"

namespace vx {

// What the waiting command needs of its worker.
class WorkerControl {
 public:
  virtual ~WorkerControl() = default;
  [[nodiscard]] virtual bool Finished() const = 0;
  // Asks the worker to stop; it finishes on its own (cancel is cooperative).
  virtual void RequestStop() = 0;
  // The program runners record their cancel result (exit code -314); others need nothing.
  virtual void RecordCancelResult() {}
};

struct WorkerCommandKind {
  TextView cancelReason;          // "Cancel at Run-Program Time", ...
  bool runsProgram = false;       // refreshes progress while waiting and records the cancel result
};

enum class WorkerOutcome {
  Finished,              // the worker finished without a cancel
  CancelledContinue,     // cancelled; ABORTEDONERROR is now "TRUE" and the script goes on
  CancelledEndScript,    // cancelled with ABORTONERROR: the run ends through the abort clean-up
};

// Steps 2 and 3 for a worker that has been started.
[[nodiscard]] WorkerOutcome WaitForWorker(CommandContext& ctx, WorkerControl& worker, const WorkerCommandKind& kind);

namespace seams {
// The progress bridge's cancel watchdog (ends a worker that does not report within 5 seconds of
// a cancel request) and the "Setup cancelled" box.
void StartCancelWatchdog();
void StopCancelWatchdog();
void ShowSetupCancelled(TextView caption);
}  // namespace seams

}  // namespace vx
