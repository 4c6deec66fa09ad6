// The script commands of the component model: "Define Component", "Delete Component", "Get
// Component State", "Set Component State", "Get Component Space", "Set Component Space", "Set
// Component Choice", "Set Component Visibility", "Save Feature Selections" and "Load Feature
// Selections". They work on the process's component model and persisted-variable list.
#pragma once

#include "script/CommandTable.h"

namespace vx {

// Binds the ten handlers into the table.
void RegisterComponentCommands(CommandTable& table);

}  // namespace vx
