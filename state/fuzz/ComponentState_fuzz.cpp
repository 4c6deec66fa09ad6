// libFuzzer target: any bytes given as a component state file either read or raise EngineError,
// and a file that reads writes back to a file that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "script/EngineError.h"
#include "state/ComponentState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vx::ComponentStateFile file;
  try {
    file = vx::ParseComponentState(bytes, u"fuzz");
  } catch (const vx::EngineError&) {
    return 0;
  }
  vx::TComponentModel model;
  model.Replace(file.names, file.states, file.deleted, file.hidden, file.fixed, file.sizes);
  vx::StateFileValues values{file.targetDir, file.allUsers, file.startMenu, file.dataFolder, file.pairs, {}, {}, {}};
  const vx::ComponentStateFile again = vx::ParseComponentState(vx::WriteComponentState(model, values), u"again");
  if (again.names != file.names || again.states != file.states || again.deleted != file.deleted ||
      again.hidden != file.hidden || again.fixed != file.fixed || again.sizes != file.sizes ||
      again.targetDir != file.targetDir || again.allUsers != file.allUsers || again.startMenu != file.startMenu ||
      again.dataFolder != file.dataFolder)
    std::abort();
  (void)vx::RewriteStateTail(bytes, values, u"fuzz");
  return 0;
}
