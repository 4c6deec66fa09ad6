// Worker commands on the bridge: a command handler creates its worker (a TWorkerThread), and
// RunWorkerCommand starts it and follows the command table's worker protocol with the process
// bridge doing the waiting, the watchdog and the "Setup cancelled" box.
//
//   auto worker = std::make_shared<TFindAllFilesThread>(inputs...);
//   if (RunWorkerCommand(ctx, worker, WorkerKind::FindAllFiles,
//                        {u"Cancel at Find-Files Time"}) == WorkerOutcome::Finished) {
//     ... write the worker's results ...
//   }
//
// A worker the watchdog gave up on counts as finished and cancelled; its results are not read.
#pragma once

#include <functional>
#include <memory>

#include "script/WorkerCommand.h"
#include "ui/Bridge.h"
#include "ui/WorkerThread.h"

namespace vx {

// A bridge worker as the worker protocol sees it. Construction starts the worker as the bridge's
// waited worker (ProgressActive set); destruction ends the wait.
class BridgeWorkerControl final : public WorkerControl {
 public:
  BridgeWorkerControl(std::shared_ptr<TWorkerThread> worker, WorkerKind kind,
                      std::function<void()> recordCancelResult = {});
  ~BridgeWorkerControl() override;
  BridgeWorkerControl(const BridgeWorkerControl&) = delete;
  BridgeWorkerControl& operator=(const BridgeWorkerControl&) = delete;

  // The wait is over: the worker finished, or the watchdog abandoned it.
  [[nodiscard]] bool Finished() const override;
  void RequestStop() override;
  void RecordCancelResult() override;

 private:
  std::shared_ptr<TWorkerThread> worker_;
  std::function<void()> recordCancelResult_;
};

// Starts the worker and waits for it under the worker protocol. The run-program commands pass
// how they record their cancel result (the exit code -314).
[[nodiscard]] WorkerOutcome RunWorkerCommand(CommandContext& ctx, std::shared_ptr<TWorkerThread> worker,
                                             WorkerKind kind, const WorkerCommandKind& command,
                                             std::function<void()> recordCancelResult = {});

}  // namespace vx
