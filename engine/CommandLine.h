// The engine's command line: how the raw text splits into parameters, the command-line rest, and
// the switches and NAME=VALUE assignments of a normal run.
#pragma once

#include <vector>

#include "script/StartupValues.h"
#include "script/Text.h"

namespace vx {

// Splits a raw command line into parameters the way Windows programs conventionally do for a
// plain argument list: blanks (and control characters) separate parameters, a double quote toggles
// quoting and is dropped. Element 0 is the program.
[[nodiscard]] std::vector<Text> SplitCommandLine(TextView raw);

// The raw command line without the program part.
[[nodiscard]] Text CommandLineRest(TextView raw);

// True when the first parameter selects the extraction mode ("OutOfProcessExtract", exact case).
[[nodiscard]] bool IsExtractionMode(const std::vector<Text>& params);

// Reads the switches and assignments of params[1..] into values (silent, update, log, policy,
// wrapper, source override, assignments).
void ReadSwitches(const std::vector<Text>& params, StartupValues& values);

}  // namespace vx
