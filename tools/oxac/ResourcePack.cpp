#include "tools/oxac/ResourcePack.h"

#include <iostream>

namespace vx::oxac {

bool PackResources(const std::filesystem::path& resourceFolder, const std::filesystem::path&) {
  std::cerr << "oxac: cannot pack " << resourceFolder.string() << ": resource packing is not available in this build\n";
  return false;
}

}  // namespace vx::oxac
