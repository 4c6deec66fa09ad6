// A 1,000,000-turn loop of cheap statements through the whole interpreter (fetch, the per-turn
// bookkeeping, dispatch), against the same work done by a bare C++ loop over the same store and
// helpers. Prints statements per second and the ratio.
#include <chrono>
#include <cstdio>
#include <memory>

#include "commands/CommandFamilies.h"
#include "commands/mUtilsX.h"
#include "script/Interpreter.h"
#include "script/VariableManager.h"
#include "script/mEval.h"

namespace vx {
namespace {

constexpr int64_t kIterations = 333333;  // three statements each: While, Mathematics, Wend
constexpr int64_t kStatements = kIterations * 3 + 3;

Text Guid(size_t n) {
  std::string digits = std::to_string(n);
  return T("{00000000-0000-0000-0000-" + std::string(12 - digits.size(), '0') + digits + "}");
}

CompiledScript LoopScript() {
  CompiledScript s;
  auto params = std::make_shared<TextList>();
  const std::vector<std::pair<Text, std::vector<Text>>> statements = {
      {u"Set Variable", {u"N", u"1"}},
      {u"While", {u"N", u"2", IntToText(kIterations), u"TRUE"}},
      {u"Mathematics", {u"$N$", u"1", u"0", u"N"}},
      {u"Wend", {}},
  };
  for (size_t n = 0; n < statements.size(); ++n) {
    s.commands.Add(statements[n].first);
    s.identifiers.Add(Guid(n));
    s.flags.Add(u"");
    s.mediaFolders.Add(u"");
    s.sourceReferences.Add(u"bench.oxs*" + IntToText(static_cast<int64_t>(n)));
    s.includeContexts.Add(u"0*0");
    params->Add(Guid(n));
    for (const Text& p : statements[n].second) params->Add(p);
  }
  s.parameters.Push(params);
  s.product.title = u"Benchmark";
  s.product.revisionCode = u"{BENCH}";
  return s;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double RunInterpreter() {
  const CompiledScript script = LoopScript();
  StartupValues startup;
  startup.silent = true;
  RunTrace trace;
  int exitCode = 0;
  RunRequest request{script, startup, trace, Text(), &BuiltinCommands(), nullptr, nullptr, nullptr};
  const auto start = std::chrono::steady_clock::now();
  (void)RunScript(request, exitCode);
  const double seconds = Seconds(std::chrono::steady_clock::now() - start);
  if (ProcessVariables().Get(u"N") != IntToText(kIterations + 1)) std::fprintf(stderr, "the loop ended early\n");
  return seconds;
}

// The same condition tests, additions and assignments without the interpreter around them.
double RunBareLoop() {
  TVariableManager& vars = ProcessVariables();
  vars.Set(u"N", u"1", u"Bench");
  MathGenerator generator;
  const Text bound = IntToText(kIterations);
  const auto start = std::chrono::steady_clock::now();
  while (ConditionHolds(vars, u"N", u"2", bound, u"TRUE"))
    vars.Set(u"N", Calculate(vars.Expand(u"$N$"), u"1", u"0", generator), u"Mathematics Action");
  return Seconds(std::chrono::steady_clock::now() - start);
}

}  // namespace
}  // namespace vx

int main() {
  const double interpreted = vx::RunInterpreter();
  const double bare = vx::RunBareLoop();
  const double rate = static_cast<double>(vx::kStatements) / interpreted;
  std::printf("interpreter: %lld statements in %.3f s = %.0f statements/s\n",
              static_cast<long long>(vx::kStatements), interpreted, rate);
  std::printf("bare loop doing the same work: %.3f s; interpreter / bare = %.2f\n", bare, interpreted / bare);
  return 0;
}
