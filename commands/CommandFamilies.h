// The engine's complete command table: every family binds its handlers into it once.
#pragma once

#include "script/CommandTable.h"

namespace vx {

// The table the engine runs scripts with, built on first use.
[[nodiscard]] const CommandTable& BuiltinCommands();

// Binds every family's handlers into a table (for tests that start from a fresh table).
void RegisterAllCommandFamilies(CommandTable& table);

}  // namespace vx
