// The handlers the interpreter itself provides: block statements, labels, include returns, script
// flow, variables and expressions, and the bitness mode.
#include "script/CommandTable.h"
#include "script/ControlFlow.h"
#include "script/EngineError.h"
#include "script/mEval.h"

namespace vx {

void ScriptRun::SetDialogResult(int result) {
  if (flow_) flow_->DialogResult(result);
}

namespace {

ControlFlow& Flow(const CommandContext& ctx) {
  ControlFlow* flow = ctx.Run().Flow();
  if (!flow) throw EngineError(u"'" + ctx.Command() + u"' runs only inside a script run");
  return *flow;
}

template <void (ControlFlow::*Step)(size_t)>
void RunBlockStatement(CommandContext& ctx) {
  (Flow(ctx).*Step)(ctx.Statement());
}

void RunNothing(CommandContext&) {}

void RunTerminateInstall(CommandContext& ctx) { ctx.Run().EndScript(); }

// The exit code is parameter 1 expanded, or 0 when that is not a whole number.
void RunTerminateWithExitCode(CommandContext& ctx) {
  ctx.Run().SetExitCode(TextToInt32(ctx.Expanded(1)).value_or(0));
  ctx.Run().EndScript();
}

void RunSetVariableCommand(CommandContext& ctx) { RunSetVariable(ctx.Script(), ctx.Statement(), ctx.Vars()); }

void RunEvaluateExpressionCommand(CommandContext& ctx) {
  RunEvaluateExpression(ctx.Script(), ctx.Statement(), ctx.Vars());
}

// Three switches compared with the exact word "TRUE", applied in order so a later one wins.
void RunSet64BitMode(CommandContext& ctx) {
  constexpr TextView kModes[] = {kModeWin32, kModeIa64, kModeX64};
  for (size_t k = 1; k <= 3; ++k)
    if (ctx.Literal(k) == u"TRUE") ctx.Run().SetBitnessMode(kModes[k - 1]);
}

}  // namespace

void RegisterFlowCommands(CommandTable& table) {
  table.Bind(u"Label", &RunNothing);
  table.Bind(u"Comment", &RunNothing);
  table.Bind(u"Ignore", &RunNothing);
  table.Bind(u"End", &RunNothing);
  table.Bind(u"GoTo Label", &RunBlockStatement<&ControlFlow::GoToLabel>);
  table.Bind(u"If", &RunBlockStatement<&ControlFlow::If>);
  table.Bind(u"Else If", &RunBlockStatement<&ControlFlow::ElseIf>);
  table.Bind(u"Else", &RunBlockStatement<&ControlFlow::Else>);
  table.Bind(u"While", &RunBlockStatement<&ControlFlow::While>);
  table.Bind(u"Wend", &RunBlockStatement<&ControlFlow::Wend>);
  table.Bind(u"Repeat", &RunBlockStatement<&ControlFlow::Repeat>);
  table.Bind(u"Until", &RunBlockStatement<&ControlFlow::Until>);
  table.Bind(u"For Each", &RunBlockStatement<&ControlFlow::ForEach>);
  table.Bind(u"Next", &RunBlockStatement<&ControlFlow::Next>);
  table.Bind(u"Break", &RunBlockStatement<&ControlFlow::Break>);
  table.Bind(u"Continue", &RunBlockStatement<&ControlFlow::Continue>);
  table.Bind(u"Wizard Loop", &RunBlockStatement<&ControlFlow::WizardLoop>);
  table.Bind(u"Return from Include Script", &RunBlockStatement<&ControlFlow::ReturnFromInclude>);
  table.Bind(u"Terminate Install", &RunTerminateInstall);
  table.Bind(u"Terminate with Exit Code", &RunTerminateWithExitCode);
  table.Bind(u"Set Variable", &RunSetVariableCommand);
  table.Bind(u"Evaluate Expression", &RunEvaluateExpressionCommand);
  table.Bind(u"Set 64 Bit Mode", &RunSet64BitMode);
}

}  // namespace vx
