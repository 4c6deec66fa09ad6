// Builds compiled-script models for unit tests: statements with their parameters, laid out as the
// loader lays them out (identifiers, one parameter block per statement, flags).
#pragma once

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "script/CompiledScript.h"

namespace vx::testing {

struct Statement {
  std::string command;
  std::vector<std::string> parameters;
  bool commentedOut = false;
};

inline Text Identifier(size_t n) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "{00000000-0000-0000-0000-%012zu}", n);
  return T(buffer);
}

inline CompiledScript MakeScript(const std::vector<Statement>& statements) {
  CompiledScript script;
  auto parameters = std::make_shared<TextList>();
  for (size_t n = 0; n < statements.size(); ++n) {
    const Statement& s = statements[n];
    script.commands.Add(Utf8ToText(s.command));
    script.identifiers.Add(Identifier(n));
    script.flags.Add(s.commentedOut ? u"C" : u"");
    script.mediaFolders.Add(u"");
    script.sourceReferences.Add(u"main.oxs*" + IntToText(static_cast<int64_t>(n)));
    script.includeContexts.Add(u"0*0");
    if (s.parameters.empty()) continue;
    parameters->Add(Identifier(n));
    for (const std::string& p : s.parameters) parameters->Add(Utf8ToText(p));
  }
  script.parameters.Push(parameters);
  return script;
}

}  // namespace vx::testing
