// Test worker commands: one statement run through the worker protocol on the process bridge, and
// the table of worker behaviours the host and Wine suites both run.
#pragma once

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "script/CommandTable.h"
#include "script/EngineError.h"
#include "script/PredefinedVariables.h"
#include "script/TestScript.h"
#include "ui/BridgeTestSupport.h"
#include "ui/BridgeWorkerCommand.h"

namespace vx::testing {

// The context of one "Find All Files" statement of a one-statement script.
struct CommandRig {
  int exitCode = 0;
  CompiledScript script = MakeScript({{"Find All Files", {}}});
  ScriptRun run{exitCode};
  RunTrace trace;
  CommandContext ctx{script, 0, ProcessVariables(), trace, run};
};

struct WorkerScenario {
  const char* name;
  bool userCancels;   // the user cancels 200 ms after the start
  bool abortOnError;  // ABORTONERROR
  WorkerKind kind;
  ScriptedWorker::Body body;
  WorkerOutcome wantOutcome;
  bool wantAbandoned;
  RunEnd wantEnd;
  const char16_t* wantAbortedOnError;
};

inline void ReportLargeFor(ScriptedWorker& w, std::chrono::milliseconds total) {
  using namespace std::chrono_literals;
  for (auto end = std::chrono::steady_clock::now() + total; std::chrono::steady_clock::now() < end;) {
    w.Report(u"$IGNORE$", 0, 5'000'000'000, 2'500'000'000);
    std::this_thread::sleep_for(10ms);
  }
}

inline void ReportUntilAsked(ScriptedWorker& w) {
  using namespace std::chrono_literals;
  while (!w.TerminateRequested()) {
    w.Report(u"Working", 0, 100, 50);
    std::this_thread::sleep_for(10ms);
  }
}

// A worker that reports, one that finishes, one that is cancelled and stops, and ones that ignore
// the cancel; `longRun` lets the first run long enough for the page's one-second refresh.
inline std::vector<WorkerScenario> WorkerScenarios(std::chrono::milliseconds longRun) {
  using O = WorkerOutcome;
  return {
      {"reports and finishes", false, false, WorkerKind::ExtractMedia,
       [longRun](ScriptedWorker& w) {
         w.Report(u"Half way", 0, 5'000'000'000, 2'500'000'000);
         ReportLargeFor(w, longRun);
       },
       O::Finished, false, RunEnd::None, u"FALSE"},
      {"is cancelled and stops", true, false, WorkerKind::DirectExtract, &ReportUntilAsked, O::CancelledContinue,
       false, RunEnd::None, u"TRUE"},
      {"ignores the cancel", true, false, WorkerKind::Plugin,
       [](ScriptedWorker& w) {
         ReportUntilAsked(w);
         w.WaitForRelease();  // stuck: never reports again
       },
       O::CancelledContinue, true, RunEnd::None, u"TRUE"},
      {"ignores the cancel with abort on error", true, true, WorkerKind::FindAllFiles,
       [](ScriptedWorker& w) {
         w.Report(u"Working", 0, 100, 50);
         w.WaitForRelease();
       },
       O::CancelledEndScript, true, RunEnd::AbortCleanup, u"FALSE"},
      {"a program that keeps running is left after one period", true, false, WorkerKind::RunApp,
       [](ScriptedWorker& w) { w.WaitForRelease(); }, O::CancelledContinue, true, RunEnd::None, u"TRUE"},
      {"asks the main thread", false, false, WorkerKind::Native,
       [](ScriptedWorker& w) {
         for (int i = 0; i < 3; ++i) {
           if (!w.Synchronize([] {})) throw EngineError("the main thread did not run the call");
         }
       },
       O::Finished, false, RunEnd::None, u"FALSE"},
  };
}

// Fresh bridge variables and the script variables the protocol reads.
inline void PrepareScenario(const WorkerScenario& s) {
  TVariableManager& vars = ProcessVariables();
  StoreProgressVariables(vars, 1000);
  vars.Store(u"PROGRESS", u"0");
  vars.Store(u"PROGRESSTEXT", u"");
  vars.Store(u"PROGRESSMODE", u"");
  vars.Store(u"ABORTONERROR", TruthText(s.abortOnError));
  vars.Store(u"ABORTEDONERROR", u"FALSE");
}

}  // namespace vx::testing
