// Calls from the variable store, the predefined variables and the script commands into units
// that are built separately: localization, the native engine's logs, progress display, downloads,
// components and installed-product state. Each has a default body in ScriptSeams.cpp that does
// nothing (or hands back its input), so the script core builds and runs before those units exist;
// each unit replaces its body there when it arrives.
#pragma once

#include <cstdint>

#include "script/Text.h"

namespace vx {

class TVariableManager;
struct CompiledScript;

namespace seams {

// Statement text number k of the statement whose identifier is key, in the active setup language.
// Called only while a setup language is active; the caller expands the result.
[[nodiscard]] Text TranslateText(TextView current, TextView key, int k);

// "Set Variable" is about to change NATIVE_LOGGING from oldValue to newValue: switch the native
// engine's log base. Returns the value to store, which is empty when the new base cannot be used.
[[nodiscard]] Text SwitchNativeLogging(TextView oldValue, TextView newValue);

// Adds the name to the persisted-variable list saved with the installed product (once per name).
void AddPersistedVariable(TextView name);

// The download timeout in seconds for web media.
void SetDownloadTimeout(int32_t seconds);

// A script statement changed PROGRESS or PROGRESSTEXT: show them on a scale of 0 to 100.
void RefreshScriptProgress(TextView progressText, int32_t progress);

// Start-up steps around the predefined variables, in the order they run.
// Seeds the component sizes from the script when nothing has filled the model yet, then defines
// "ZURI-PREDEF-COMPONENT", selected.
void DefinePredefinedComponent(const CompiledScript& script, TVariableManager& vars);
void LoadPatchState(const CompiledScript& script, TVariableManager& vars, TextView packagePath);
void RemoveRestartEntries(const CompiledScript& script, TVariableManager& vars);
void PrescanCommandHeaders(const CompiledScript& script, TVariableManager& vars);
// Chooses the setup language and defines LANGUAGE with it; false when the user cancelled the
// language dialog, which ends the run before the first statement.
[[nodiscard]] bool ChooseStartupLanguage(const CompiledScript& script, TVariableManager& vars);

}  // namespace seams
}  // namespace vx
