// Loading a 100,000-statement compiled script, against a plain pass over the same bytes that only
// splits them into lines (the least any loader must do), and a parameter lookup in that script.
#include <benchmark/benchmark.h>

#include "script/CompiledScript.h"

namespace vx {
namespace {

constexpr size_t kStatements = 100000;

Text Guid(size_t n) {
  std::string hex = std::to_string(n);
  return T("{00000000-0000-0000-0000-" + std::string(12 - hex.size(), '0') + hex + "}");
}

// Statements with four parameters each, as a large real script has them.
const std::string& ScriptBytes() {
  static const std::string bytes = [] {
    CompiledScript s;
    auto params = std::make_shared<TextList>();
    for (size_t n = 0; n < kStatements; ++n) {
      s.commands.Add(n % 3 ? u"Set Variable" : u"If");
      s.identifiers.Add(Guid(n));
      s.flags.Add(n % 50 ? u"" : u"C");
      s.mediaFolders.Add(u"");
      s.sourceReferences.Add(u"C:\\Projects\\Acme\\setup.oxs*" + IntToText(static_cast<int64_t>(n)));
      s.includeContexts.Add(u"0*0");
      params->Add(Guid(n));
      params->Add(u"VARIABLE_" + IntToText(static_cast<int64_t>(n % 997)));
      params->Add(u"$PROGRAMFILES$\\Acme\\Tools\\file" + IntToText(static_cast<int64_t>(n)) + u".dll");
      params->Add(u"FALSE");
      params->Add(u"");
    }
    s.parameters.Push(params);
    return WriteCompiledScript(s);
  }();
  return bytes;
}

void BM_LoadScript(benchmark::State& state) {
  const std::string& bytes = ScriptBytes();
  for (auto _ : state) benchmark::DoNotOptimize(LoadCompiledScript(bytes));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["statements"] = kStatements;
}
BENCHMARK(BM_LoadScript)->Unit(benchmark::kMillisecond);

void BM_SplitLinesOnly(benchmark::State& state) {  // the reference
  const std::string& bytes = ScriptBytes();
  for (auto _ : state) {
    std::vector<std::string_view> lines;
    for (size_t at = 0, lf; at < bytes.size(); at = lf + 1) {
      lf = bytes.find('\n', at);
      if (lf == std::string::npos) lf = bytes.size();
      lines.emplace_back(bytes.data() + at, lf - at);
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_SplitLinesOnly)->Unit(benchmark::kMillisecond);

void BM_ParameterLookup(benchmark::State& state) {
  const CompiledScript script = LoadCompiledScript(ScriptBytes());
  size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(script.Parameter(n, 2));
    n = (n + 7919) % kStatements;
  }
}
BENCHMARK(BM_ParameterLookup);

}  // namespace
}  // namespace vx

BENCHMARK_MAIN();
