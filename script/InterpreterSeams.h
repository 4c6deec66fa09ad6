// Calls from the interpreter and the command table into units built separately: installed-product
// state, the dialog pool, the progress bridge, localization, the native engine and the text-file
// commands. Each has a default body in InterpreterSeams.cpp that does nothing (or the least a run
// needs), so the interpreter runs before those units exist; each unit replaces its body there.
#pragma once

#include <cstdint>

#include "script/Text.h"

namespace vx {

class TVariableManager;
struct CompiledScript;

namespace seams {

// Detects an installed copy of the product and sets MAINTENANCE, NEEDSUPGRADE and their kin.
void Bootstrap(const CompiledScript& script, TVariableManager& vars);

// The engine cache root for a per-machine (allUsers) or per-user setup, with a trailing
// backslash; the product cache folder is this + revision code + "\".
[[nodiscard]] Text EngineCacheRoot(const CompiledScript& script, const TVariableManager& vars, bool allUsers);

// Loads the translation tables and language file of a setup language; false when it cannot.
[[nodiscard]] bool LoadSetupLanguage(const CompiledScript& script, TVariableManager& vars, TextView language);

// A page shown without waiting is on screen (the dialog pool has a current window).
[[nodiscard]] bool PageShownWithoutWaiting();

// One wait step of the progress bridge: handles one window message, or in a silent run just yields.
void WaitStep(bool silent);

// The taskbar button's attention state with the error colour, on (before an error box) and off.
void TaskbarErrorState(bool on);

// The exit-script step's releases: a text file left open, the dialog runtime, the tray icon.
void CloseOpenTextFile();
void ReleaseDialogRuntime();
void HideTrayIcon();

// The abort clean-up: rolls back the native engine's changes of this run where that applies.
void AbortCleanup(const CompiledScript& script, TVariableManager& vars);

}  // namespace seams
}  // namespace vx
