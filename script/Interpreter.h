// The interpreter: runs one compiled script on the main thread, from its first statement to its
// end. The entry calls Run once per process.
#pragma once

#include "script/CompiledScript.h"
#include "script/RunTrace.h"
#include "script/StartupValues.h"

namespace vx {

struct RunRequest {
  const CompiledScript& script;
  const StartupValues& startup;
  RunTrace& trace;
  Text packagePath;  // support folder + base name + ".msi" (MSIFILE)
};

struct RunOutcome {
  bool secondInstance = false;  // the single-instance check found another run of this setup
};

// Runs the script. The exit code starts as the entry's and is changed only by the script.
RunOutcome RunScript(const RunRequest& request, int& exitCode);

}  // namespace vx
