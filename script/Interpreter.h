// The interpreter: runs one compiled script on the main thread, from its first statement to its
// end. The entry calls RunScript once per process.
//
// Set-up (its errors reach the entry's catch-all), then one loop turn per statement:
//   1. at least every 315 ms, pending window messages are handled;
//   2. the cached switches are re-read from LOGGED, SILENT, TITLE and MYAHLOGO;
//   3. a new OVERRIDECACHE value is applied (folders created, Bootstrap again, folders removed);
//   4. DATE and TIME are defined anew;
//   5. the setup language follows LANGUAGE;
//   6. UNINSTALLLINK and ENGINECACHE are defined anew;
//   7. the block state advances and the next statement is fetched;
//   8. the statement is dispatched through the command table.
// An error that escapes a statement ends the script with "Runtime error in setup script:", the
// statement's source file and line: in a box, or in a silent run in the run trace.
#pragma once

#include <functional>

#include "platform/SystemFacts.h"
#include "script/CommandTable.h"
#include "script/CompiledScript.h"
#include "script/RunTrace.h"
#include "script/StartupValues.h"

namespace vx {

struct RunRequest {
  const CompiledScript& script;
  const StartupValues& startup;
  RunTrace& trace;
  Text packagePath;  // support folder + base name + ".msi" (MSIFILE)
  // The command table; null runs with the interpreter's own handlers only.
  const CommandTable* commands = nullptr;
  // The machine's facts; null takes the running machine's.
  const platform::SystemFacts* facts = nullptr;
  // The entry's end-of-run steps, run by the interpreter itself when the setup's removable medium
  // was taken out during the run (the engine cannot return into its own code then).
  std::function<void()> endOfRunSave;
  std::function<void()> removeSupportFolder;
};

struct RunOutcome {
  bool secondInstance = false;  // the single-instance check found another run of this setup
  bool runtimeError = false;    // the script ended with a run-time error of a statement
};

// Runs the script. The exit code starts as the entry's and is changed only by the script.
RunOutcome RunScript(const RunRequest& request, int& exitCode);

// The text of a run-time error: the message-table entry, the statement's source file (without
// folder and extension) and line (counted from 1), and the error's message.
[[nodiscard]] Text RuntimeErrorText(const CompiledScript& script, size_t statement, TextView message);
// The same in one run-trace line.
[[nodiscard]] Text RuntimeErrorTraceLine(const CompiledScript& script, size_t statement, TextView message);

}  // namespace vx
