// The variables the engine provides before the first statement runs: values from the command
// line and the start-up, values from the compiled script, facts about the machine, and the
// defaults of every engine setting a script may change.
//
// The interpreter's set-up calls these in this order:
//   StoreProgressVariables, DefinePreInitializationVariables, (Bootstrap), (label table and
//   single-instance check), DefineInitializationVariables, ApplyCommandLineAssignments;
// and DefineDateAndTime again before every statement.
#pragma once

#include <cstdint>

#include "platform/SystemFacts.h"
#include "script/CompiledScript.h"
#include "script/StartupValues.h"
#include "script/VariableManager.h"

namespace vx {

inline constexpr TextView kOriginPreInitialization = u"Pre-Initialization";
inline constexpr TextView kOriginInitialization = u"Initialization";

struct PredefinedSources {
  const CompiledScript& script;
  const StartupValues& startup;
  const platform::SystemFacts& facts;
  Text packagePath;  // the installer package in the support folder (MSIFILE)
};

// The progress bridge's variables, stored directly; tick is the system tick count in ms.
void StoreProgressVariables(TVariableManager& vars, uint32_t tick);

// TARGETDIR (empty), STARTMENU (the product title) and ALLUSERS, before Bootstrap.
void DefinePreInitializationVariables(TVariableManager& vars, const PredefinedSources& from);

// The predefined component, every Initialization variable in order, GLASS, the installed-state
// start-up steps, the command header pre-scan and the setup language. False when the user
// cancelled the language choice, which ends the run before the first statement.
[[nodiscard]] bool DefineInitializationVariables(TVariableManager& vars, const PredefinedSources& from);

// DATE and TIME from the current date and time.
void DefineDateAndTime(TVariableManager& vars, const platform::SystemFacts& facts);

// "TRUE" on Vista and later with desktop composition, or with visual styles and no composition.
[[nodiscard]] Text GlassValue(const platform::SystemFacts& facts);

// NAME=VALUE assignments of the command line, in order, and the protection that keeps them in a
// silent run.
void ApplyCommandLineAssignments(TVariableManager& vars, const StartupValues& startup);

}  // namespace vx
