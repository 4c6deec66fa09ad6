// The process entry of the engine: start-up, the run of the script, and tear-down.
#pragma once

namespace vx {

// Runs the engine for this process's command line and returns the process exit code.
[[nodiscard]] int RunSetupProcess();

}  // namespace vx
