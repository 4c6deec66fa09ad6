// Turns a loaded project into the engine's compiled-script model.
#pragma once

#include <optional>
#include <string>

#include "script/CompiledScript.h"
#include "tools/oxac/Project.h"

namespace vx::oxac {

// The model the engine will load: statement tables, parameter blocks and the product sections.
// Raises SourceError for what only shows in the whole script (a parameter that reads as another
// statement's identifier, a file group line that reads as a group key).
[[nodiscard]] CompiledScript CompileProject(const Project& project);

// What the engine's own compilation check refuses, and where: a statement number, or kWholeScript
// for a fault of the script as a whole (openers and closers that do not pair up).
inline constexpr size_t kWholeScript = static_cast<size_t>(-1);
struct StructureFault {
  size_t statement = kWholeScript;
  std::string message;
};

// The engine refuses to run a script that its compilation check rejects (exit code 314, without a
// message). This runs that same check before oxac writes anything, so the author hears about it
// with the statement's file and line.
[[nodiscard]] std::optional<StructureFault> CheckScriptStructure(const CompiledScript& script);

// CompileProject followed by CheckScriptStructure; a rejected script raises SourceError at the
// offending statement's source line.
[[nodiscard]] CompiledScript CompileAndCheck(const Project& project);

// The compiled script's bytes, as appended to the engine.
[[nodiscard]] std::string CompiledScriptBytes(const Project& project);

}  // namespace vx::oxac
