#include "commands/CommandFamilies.h"

#include "commands/mUtilsX.h"

#include "state/ComponentCommands.h"

namespace vx {

// One line per family; each family's function lives in its own file.
void RegisterAllCommandFamilies(CommandTable& table) {
  RegisterFlowCommands(table);
  RegisterStringCommands(table);
  RegisterComponentCommands(table);
}

const CommandTable& BuiltinCommands() {
  static const CommandTable table = [] {
    CommandTable t;
    RegisterAllCommandFamilies(t);
    return t;
  }();
  return table;
}

}  // namespace vx
