// The project that "oxac new" starts an author with.
#pragma once

#include <string>

namespace vx::oxac {

// A small, complete project source with the given product and revision codes.
[[nodiscard]] std::string ProjectSkeleton(const std::string& productCode, const std::string& revisionCode);

}  // namespace vx::oxac
