#include "script/ScriptSeams.h"

#include "script/CompiledScript.h"
#include "state/ComponentState.h"
#include "state/Components.h"
#include "ui/Bridge.h"

namespace vx::seams {

Text TranslateText(TextView current, TextView, int) { return Text(current); }

Text SwitchNativeLogging(TextView, TextView newValue) { return Text(newValue); }

void AddPersistedVariable(TextView name) { ProcessPersistedVariables().Add(name); }

void SetDownloadTimeout(int32_t) {}

void RefreshScriptProgress(TextView progressText, int32_t progress) {
  ProcessBridge().RefreshScriptProgress(progressText, progress);
}

void DefinePredefinedComponent(const CompiledScript& script, TVariableManager&) {
  TComponentModel& components = ProcessComponents();
  if (!components.Seeded()) components.Reset(script.components);
  components.Define(kPredefinedComponent, true, u"");
}

void LoadPatchState(const CompiledScript&, TVariableManager&, TextView) {}

void RemoveRestartEntries(const CompiledScript&, TVariableManager&) {}

void PrescanCommandHeaders(const CompiledScript&, TVariableManager&) {}

bool ChooseStartupLanguage(const CompiledScript&, TVariableManager&) { return true; }

}  // namespace vx::seams
