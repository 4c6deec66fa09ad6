// Free disk space as the current user may use it (quotas applied).
#pragma once

#include <cstdint>
#include <optional>

#include "script/Text.h"

namespace vx::platform {

// Free bytes available to the caller on the volume that holds the folder (a root such as "C:\"
// or "\\server\share\"), or nothing when the system gives no answer.
[[nodiscard]] std::optional<int64_t> FreeDiskSpace(const Text& folder);

}  // namespace vx::platform
