#include "script/ScriptSeams.h"

namespace vx::seams {

Text TranslateText(TextView current, TextView, int) { return Text(current); }

Text SwitchNativeLogging(TextView, TextView newValue) { return Text(newValue); }

void AddPersistedVariable(TextView) {}

void SetDownloadTimeout(int32_t) {}

void RefreshScriptProgress(TextView, int32_t) {}

void DefinePredefinedComponent(TVariableManager&) {}

void LoadPatchState(const CompiledScript&, TVariableManager&, TextView) {}

void RemoveRestartEntries(const CompiledScript&, TVariableManager&) {}

void PrescanCommandHeaders(const CompiledScript&, TVariableManager&) {}

bool ChooseStartupLanguage(const CompiledScript&, TVariableManager&) { return true; }

}  // namespace vx::seams
