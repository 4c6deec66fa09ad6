// The string, path and arithmetic commands: "Parse String", "Replace String", "Convert Case",
// "Convert Path", "Extract Path" and "Mathematics". All run on the main thread and write their
// results with the command name followed by " Action" as reason. The pure parts are functions of
// their own so they are tested without a script.
#pragma once

#include <cstdint>
#include <optional>

#include "script/CommandTable.h"

namespace vx {

void RegisterStringCommands(CommandTable& table);

// "Parse String": the two parts of source split by mode 0 (first occurrence of the delimiter),
// 1 (last occurrence), 2 (first N characters and the rest) or 3 (all but the last N and the last N).
struct ParsedParts {
  Text first;
  Text second;
};
[[nodiscard]] ParsedParts ParseParts(TextView source, TextView delimiter, int32_t mode, bool ignoreCase);

// "Extract Path": the part of a path selected by code 0 to 6; nothing for another code.
[[nodiscard]] std::optional<Text> ExtractPathPart(TextView path, int32_t code);

// The generator of "Mathematics": 32-bit signed values, all 0 until a script seeds them.
struct MathGenerator {
  int32_t multiplier = 0;
  int32_t increment = 0;
  int32_t state = 0;
};

// "Mathematics": the result text, or empty text when an operand or the code is not a number, a
// division by zero is asked for, operation 11 meets empty text, or the code is unknown.
[[nodiscard]] Text Calculate(TextView first, TextView second, TextView code, MathGenerator& generator);

}  // namespace vx
