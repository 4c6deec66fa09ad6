#include "ui/WorkerThread.h"

#include <exception>

#include "script/EngineError.h"

namespace vx {

namespace {

thread_local TWorkerThread* tCurrentWorker = nullptr;

}  // namespace

TWorkerThread::~TWorkerThread() {
  if (!thread_.joinable()) return;
  // The last owner may be the worker's own thread, releasing itself at the end of its body.
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

TWorkerThread* TWorkerThread::Current() { return tCurrentWorker; }

void TWorkerThread::Start() {
  if (started_) throw EngineError("A worker thread is never restarted");
  started_ = true;
  thread_ = std::thread(&TWorkerThread::ThreadBody, this, shared_from_this());
}

void TWorkerThread::ThreadBody([[maybe_unused]] std::shared_ptr<TWorkerThread> self) {
  tCurrentWorker = this;
  try {
    Execute();
  } catch (const EngineError& error) {
    failure_ = error.Message();
  } catch (const std::exception& error) {
    failure_ = Utf8ToText(error.what());
  } catch (...) {
    failure_ = u"Unknown error in worker thread";
  }
  finished_.store(true, std::memory_order_release);
  if (!Abandoned()) bridge_.Wake();
  tCurrentWorker = nullptr;
  // `self` goes last: an abandoned worker lives exactly as long as its thread.
}

void TWorkerThread::Abandon() {
  {
    std::lock_guard guard(reportLock_);
    abandoned_.store(true, std::memory_order_release);
  }
  bridge_.DropCallsOf(this);
}

void TWorkerThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

}  // namespace vx
