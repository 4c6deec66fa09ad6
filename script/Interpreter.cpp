#include "script/Interpreter.h"

#include "script/ScriptCompile.h"
#include "script/VariableManager.h"

namespace vx {

RunOutcome RunScript(const RunRequest& request, int& exitCode) {
  (void)exitCode;
  RunTrace& trace = request.trace;
  trace.Line(u"    <Variables>");
  trace.Line(u"    </Variables>");
  trace.Line(u"    <CompileScript>");
  // A rejected script ends the process here with exit code 314, before any tear-down.
  const std::vector<Text> changeStates = CompileOrEndProcess(request.script, ProcessVariables());
  trace.Line(u"    </CompileScript>");
  return RunOutcome{};
}

}  // namespace vx
