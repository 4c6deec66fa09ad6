// The check a script passes before it runs. It translates nothing: it verifies the block
// structure, loop-only statements, labels, wizard loops and the parameters of many commands, and
// tracks which variables are declared at each point of the script in file order. Commented-out
// statements take no part.
//
// Passes, in order; the first error ends the check:
//   1. declaration set: the store is emptied and the engine's own variable names are declared;
//   2. block pass: If/Wizard Loop/End, While/Wend, Repeat/Until, For Each/Next nest properly;
//      Break and Continue sit in a loop; Label sits outside every block;
//   3. count checks: openers against closers (result 2147483644);
//   4. label pass: no label defined twice;
//   5. persisted "Set Variable" targets are declared up front;
//   6. command pass: result variables, declared variables, command-specific parameter checks;
//   7. wizard loops hold only "Display Dialog", "Comment" and "Ignore".
// The command pass also yields the change-state list: "FALSE" for a statement that changes the
// system, "SKIP" for any other.
#pragma once

#include <cstdint>
#include <vector>

#include "script/Text.h"

namespace vx {

class TVariableManager;
struct CompiledScript;

inline constexpr int32_t kCompileAccepted = -1;
inline constexpr int32_t kCompileCountMismatch = 2147483644;  // 0x7FFFFFFC
inline constexpr int kCompileFailedExitCode = 314;

struct CompileResult {
  // kCompileAccepted, the number of the offending statement, or kCompileCountMismatch.
  int32_t result = kCompileAccepted;
  Text message;                   // "Script compiled successfully" or the error text
  std::vector<Text> changeStates;  // one line per statement

  [[nodiscard]] bool Accepted() const { return result == kCompileAccepted; }
};

// Checks the script, declaring variables in `store` (which is emptied first).
[[nodiscard]] CompileResult CompileScript(const CompiledScript& script, TVariableManager& store);
// The same with a store of its own, for tools that check a script without running it.
[[nodiscard]] CompileResult CompileScript(const CompiledScript& script);

// Ends the process at once with exit code 314: no message, no tear-down, the support folder stays.
[[noreturn]] void EndProcessAfterFailedCompile();

// The interpreter's set-up step: the change-state list of an accepted script, or the end of the
// process for a rejected one.
[[nodiscard]] std::vector<Text> CompileOrEndProcess(const CompiledScript& script, TVariableManager& store);

}  // namespace vx
