#include "ui/BridgeWorkerCommand.h"

#include "script/EngineError.h"

namespace vx {

BridgeWorkerControl::BridgeWorkerControl(std::shared_ptr<TWorkerThread> worker, WorkerKind kind,
                                         std::function<void()> recordCancelResult)
    : worker_(std::move(worker)), recordCancelResult_(std::move(recordCancelResult)) {
  // The protocol's wait steps and watchdog calls go to the process bridge.
  if (&worker_->Bridge() != &ProcessBridge()) throw EngineError("A worker command runs on the process bridge");
  worker_->Bridge().BeginWait(worker_, kind);
}

BridgeWorkerControl::~BridgeWorkerControl() { worker_->Bridge().EndWait(); }

bool BridgeWorkerControl::Finished() const { return worker_->Bridge().WaitedWorkerDone(); }

void BridgeWorkerControl::RequestStop() { worker_->RequestTerminate(); }

void BridgeWorkerControl::RecordCancelResult() {
  if (recordCancelResult_) recordCancelResult_();
}

WorkerOutcome RunWorkerCommand(CommandContext& ctx, std::shared_ptr<TWorkerThread> worker, WorkerKind kind,
                               const WorkerCommandKind& command, std::function<void()> recordCancelResult) {
  BridgeWorkerControl control(std::move(worker), kind, std::move(recordCancelResult));
  return WaitForWorker(ctx, control, command);
}

}  // namespace vx
