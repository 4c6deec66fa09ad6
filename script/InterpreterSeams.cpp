#include "script/InterpreterSeams.h"

#include "script/VariableManager.h"
#include "ui/Bridge.h"

namespace vx::seams {

void Bootstrap(const CompiledScript&, TVariableManager&) {}

Text EngineCacheRoot(const CompiledScript&, const TVariableManager& vars, bool) {
  Text root = vars.Get(u"OVERRIDECACHE");
  if (!root.empty() && root.back() != u'\\') root.push_back(u'\\');
  return root;
}

bool LoadSetupLanguage(const CompiledScript&, TVariableManager&, TextView) { return true; }

bool PageShownWithoutWaiting() { return ProcessBridge().Dialog().window != 0; }

void WaitStep(bool) { ProcessBridge().WaitStep(); }

void TaskbarErrorState(bool on) { ProcessBridge().TaskbarAttention(on, true, false); }

void CloseOpenTextFile() {}

void ReleaseDialogRuntime() {}

void HideTrayIcon() {}

void AbortCleanup(const CompiledScript&, TVariableManager&) {}

}  // namespace vx::seams
