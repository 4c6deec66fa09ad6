#include "script/InterpreterSeams.h"

#include "script/VariableManager.h"

namespace vx::seams {

void Bootstrap(const CompiledScript&, TVariableManager&) {}

Text EngineCacheRoot(const CompiledScript&, const TVariableManager& vars, bool) {
  Text root = vars.Get(u"OVERRIDECACHE");
  if (!root.empty() && root.back() != u'\\') root.push_back(u'\\');
  return root;
}

bool LoadSetupLanguage(const CompiledScript&, TVariableManager&, TextView) { return true; }

bool PageShownWithoutWaiting() { return false; }

void WaitStep(bool) {}

void TaskbarErrorState(bool) {}

void CloseOpenTextFile() {}

void ReleaseDialogRuntime() {}

void HideTrayIcon() {}

void AbortCleanup(const CompiledScript&, TVariableManager&) {}

}  // namespace vx::seams
