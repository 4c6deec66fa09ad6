// Process-level facts and actions the portable core needs.
#pragma once

#include <cstdint>

namespace vx::platform {

// Milliseconds since the system started (wraps after 49.7 days, as the Windows tick count does).
[[nodiscard]] uint32_t TickCount();

// Ends the process at once with the code: no unwinding, no tear-down.
[[noreturn]] void TerminateProcessNow(int code);

}  // namespace vx::platform
