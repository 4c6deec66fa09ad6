// Expansion of a command parameter with several references, against a copy of a text without any,
// and compilation of a 100,000-statement script. Each prints time per operation; the compile
// benchmark also prints the time per statement.
#include <benchmark/benchmark.h>

#include "script/ScriptCompile.h"
#include "script/TestScript.h"
#include "script/VariableManager.h"

namespace vx {
namespace {

// A store the size of a real run: the engine's own variables and a few hundred of the script's.
void FillStore(TVariableManager& vars) {
  for (int i = 0; i < 400; ++i) vars.Store(u"SCRIPT_VARIABLE_" + IntToText(i), u"value " + IntToText(i));
  vars.Store(u"PROGRAMFILES", u"C:\\Program Files");
  vars.Store(u"COMPANY", u"Acme Inc.");
  vars.Store(u"TITLE", u"$COMPANY$ Tools");
  vars.Store(u"VERSION", u"1.2.3");
  vars.Store(u"USERNAME", u"Jo Owner");
  vars.Store(u"DATE", u"2026-01-02");
  vars.Store(u"NEWLINE", u"\r\n");
}

const Text kParameter =
    u"$PROGRAMFILES$\\$COMPANY$\\$TITLE$ $VERSION$$NEWLINE$Installed for $USERNAME$ on $DATE$ ($UNBOUND$, 5$)";

void BM_ExpandParameter(benchmark::State& state) {
  TVariableManager vars;
  FillStore(vars);
  for (auto _ : state) benchmark::DoNotOptimize(vars.Expand(kParameter));
}
BENCHMARK(BM_ExpandParameter);

void BM_ExpandReferenceFreeText(benchmark::State& state) {  // the reference: a copy
  TVariableManager vars;
  FillStore(vars);
  const Text plain(kParameter.size(), u'x');
  for (auto _ : state) benchmark::DoNotOptimize(vars.Expand(plain));
}
BENCHMARK(BM_ExpandReferenceFreeText);

// A script in the shape real ones have: variables, conditions, loops, expressions, setup changes.
CompiledScript LongScript(size_t statements) {
  std::vector<testing::Statement> s;
  s.reserve(statements);
  while (s.size() + 12 <= statements) {
    const std::string v = "V" + std::to_string(s.size());
    s.push_back({"Set Variable", {v, "$TARGETDIR$\\bin"}});
    s.push_back({"If", {v, "3", "bin", "FALSE"}});
    s.push_back({"Convert Path", {v, "FALSE"}});
    s.push_back({"Else", {}});
    s.push_back({"Evaluate Expression", {"$" + v + "$ = \"x\" or ($SILENT$ <> \"TRUE\")", v}});
    s.push_back({"End", {}});
    s.push_back({"While", {v, "0", "", "TRUE"}});
    s.push_back({"Break", {}});
    s.push_back({"Wend", {}});
    s.push_back({"Install Files", {"data\\*.*", "", "$" + v + "$"}});
    s.push_back({"Write Registry", {"HKLM", "SOFTWARE\\Acme", v}});
    s.push_back({"Comment", {"step " + v}});
  }
  while (s.size() < statements) s.push_back({"Comment", {}});
  return testing::MakeScript(s);
}

void BM_Compile100kStatements(benchmark::State& state) {
  constexpr size_t kStatements = 100000;
  const CompiledScript script = LongScript(kStatements);
  TVariableManager store(false);
  for (auto _ : state) {
    const CompileResult r = CompileScript(script, store);
    if (!r.Accepted()) state.SkipWithError("the benchmark script was refused");
    benchmark::DoNotOptimize(r.changeStates.data());
  }
  state.counters["per_statement"] =
      benchmark::Counter(static_cast<double>(kStatements), benchmark::Counter::kIsIterationInvariantRate |
                                                               benchmark::Counter::kInvert);
}
BENCHMARK(BM_Compile100kStatements)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx

BENCHMARK_MAIN();
