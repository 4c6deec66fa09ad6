// The command table and what every command handler works with.
//
// A statement names a command; the dispatch hands the statement to the handler bound to that name.
// The table knows every built-in name from the start, each bound to a handler that raises "not
// available in this build" until its family binds the real one, so a script never meets a built-in
// command that silently does nothing. Each family binds its own handlers from its own file:
//
//   void RegisterStringCommands(CommandTable& table) {
//     table.Bind(u"Parse String", &RunParseString);
//     ...
//   }
//
// and one place (commands/CommandFamilies.cpp) calls every family's function once.
//
// A handler receives a CommandContext: the statement, its parameters in each reading, the variable
// store, result writing, the run trace and the run it belongs to. Parameters are counted from 1;
// parameter 0 is the statement's identifier line. Reading a parameter line past the end of the
// parameter list raises the list-index error, which ends the script as a run-time error of the
// statement.
#pragma once

#include <any>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <typeindex>
#include <unordered_map>

#include "script/CompiledScript.h"
#include "script/RunTrace.h"
#include "script/Text.h"
#include "script/VariableManager.h"

namespace vx {

class ControlFlow;
class CommandContext;

using CommandHandler = void (*)(CommandContext&);

// The bitness mode texts.
inline constexpr TextView kModeWin32 = u"Win32";
inline constexpr TextView kModeX64 = u"x64";
inline constexpr TextView kModeIa64 = u"ia64";

// How a run is to end after the current statement.
enum class RunEnd {
  None,          // go on with the next statement
  Normal,        // the script ends normally ("Terminate Install" and the like)
  AbortCleanup,  // the abort clean-up runs, then the script ends normally
};

// The state of one run that handlers may read or change. The interpreter owns it; it lives from
// the set-up to the end of the run.
class ScriptRun {
 public:
  explicit ScriptRun(int& exitCode) : exitCode_(exitCode) {}
  ScriptRun(const ScriptRun&) = delete;
  ScriptRun& operator=(const ScriptRun&) = delete;

  // "Win32", "x64" or "ia64"; "Win32" until "Set 64 Bit Mode" changes it.
  [[nodiscard]] const Text& BitnessMode() const { return bitnessMode_; }
  void SetBitnessMode(TextView mode) { bitnessMode_ = Text(mode); }

  [[nodiscard]] int ExitCode() const { return exitCode_; }
  void SetExitCode(int code) { exitCode_ = code; }

  // Asks the loop to end the script once the current handler returns.
  void EndScript() { RequestEnd(RunEnd::Normal); }
  void AbortAndEnd() { RequestEnd(RunEnd::AbortCleanup); }
  [[nodiscard]] RunEnd EndRequest() const { return end_; }

  // The cached switches of the current loop turn.
  [[nodiscard]] bool Silent() const { return silent_; }
  void SetSilent(bool silent) { silent_ = silent; }
  [[nodiscard]] bool LanguageActive() const { return !activeLanguage_.empty(); }
  [[nodiscard]] const Text& ActiveLanguage() const { return activeLanguage_; }
  void SetActiveLanguage(Text language) { activeLanguage_ = std::move(language); }

  // The result of a "Display Dialog" statement steers wizard navigation: 6 goes forward, 7 back,
  // 2 leaves the wizard loop, anything else keeps the direction.
  void SetDialogResult(int result);

  // The block state, for the block statements' handlers.
  [[nodiscard]] ControlFlow* Flow() const { return flow_; }
  void AttachFlow(ControlFlow* flow) { flow_ = flow; }

  // State a command family keeps for the whole run (a generator, an open file, ...), created
  // empty on first use and dropped with the run.
  template <typename T>
  [[nodiscard]] T& FamilyState() {
    std::any& slot = familyState_[std::type_index(typeid(T))];
    if (!slot.has_value()) slot = std::make_shared<T>();
    return *std::any_cast<std::shared_ptr<T>&>(slot);
  }

 private:
  void RequestEnd(RunEnd end) {
    if (end_ != RunEnd::AbortCleanup) end_ = end;
  }

  int& exitCode_;
  Text bitnessMode_{kModeWin32};
  RunEnd end_ = RunEnd::None;
  bool silent_ = false;
  Text activeLanguage_;
  ControlFlow* flow_ = nullptr;
  std::unordered_map<std::type_index, std::any> familyState_;
};

// One statement as its handler sees it.
class CommandContext {
 public:
  CommandContext(const CompiledScript& script, size_t statement, TVariableManager& vars, RunTrace& trace,
                 ScriptRun& run)
      : script_(script), statement_(statement), vars_(vars), trace_(trace), run_(run),
        command_(script.commands.Get(statement)) {}

  [[nodiscard]] const CompiledScript& Script() const { return script_; }
  [[nodiscard]] size_t Statement() const { return statement_; }
  [[nodiscard]] const Text& Command() const { return command_; }
  [[nodiscard]] TVariableManager& Vars() const { return vars_; }
  [[nodiscard]] RunTrace& Trace() const { return trace_; }
  [[nodiscard]] ScriptRun& Run() const { return run_; }

  // Parameter readings.
  [[nodiscard]] Text Literal(size_t k) const;     // the stored line
  [[nodiscard]] Text Expanded(size_t k) const;    // variable references replaced
  [[nodiscard]] Text Normalized(size_t k) const;  // expanded, doubled backslashes collapsed (a leading pair kept)
  // Translated through the active setup language (key: parameter 0 and k), then expanded.
  [[nodiscard]] Text Translated(size_t k) const;
  // True when the stored line upper-cased is "TRUE" or the line is exactly "-1"; never expanded.
  [[nodiscard]] bool Flag(size_t k) const;
  // The stored line as a whole number; any other text raises the conversion error.
  [[nodiscard]] int32_t Number(size_t k) const;
  [[nodiscard]] int64_t Number64(size_t k) const;
  // Result-variable names: the line itself, or, for commands that accept both forms, a reference
  // ("$NAME$" with no other "$") stripped of its dollar signs.
  [[nodiscard]] Text PlainName(size_t k) const { return Literal(k); }
  [[nodiscard]] Text NameOrReference(size_t k) const;

  // The reason text of this command's assignments: its name followed by " Action".
  [[nodiscard]] Text Reason() const { return command_ + u" Action"; }

  // Writes a result: the name upper-cased; a value that is the variable's own reference becomes
  // empty; a name fixed on the command line stays as it is; a missing variable is created.
  // An empty name writes nothing.
  void Write(TextView name, TextView value) const;
  void WriteTruth(TextView name, bool value) const { Write(name, TruthText(value)); }
  // Creates the variable with empty text when it does not exist yet ("created first").
  void CreateFirst(TextView name) const;

 private:
  const CompiledScript& script_;
  size_t statement_;
  TVariableManager& vars_;
  RunTrace& trace_;
  ScriptRun& run_;
  Text command_;
};

// The command names the engine knows and their handlers.
class CommandTable {
 public:
  // Every built-in name, bound to the "not available in this build" handler.
  CommandTable();

  // Binds a built-in name to its handler. A name that is not built in is a programming error of
  // the family that binds it and raises an EngineError.
  void Bind(TextView name, CommandHandler handler);
  // The handler of the commands the script lists as plug-in commands.
  void BindPlugin(CommandHandler handler) { plugin_ = handler; }

  // The handler of a built-in name (exact, case counts), or null.
  [[nodiscard]] CommandHandler Find(TextView name) const;
  [[nodiscard]] CommandHandler Plugin() const { return plugin_; }
  [[nodiscard]] bool IsBound(TextView name) const;  // bound to a real handler

  [[nodiscard]] static const std::vector<Text>& BuiltinNames();

 private:
  std::unordered_map<Text, CommandHandler> handlers_;
  CommandHandler plugin_;
};

// The handler every built-in name has until its family binds it: raises a run-time error that
// says the command is not available in this build.
void RunUnavailableCommand(CommandContext& ctx);

// Runs one statement: ABORT from the cancel state, the progress refresh of a page shown without
// waiting, then the plug-in handler for a listed plug-in name, the built-in handler for a built-in
// name, nothing for any other name. A disabled statement runs nothing.
void DispatchStatement(const CommandTable& table, CommandContext& ctx);

// The block statements, labels, include returns, script flow, "Set Variable", "Evaluate Expression"
// and "Set 64 Bit Mode": the handlers the interpreter itself provides.
void RegisterFlowCommands(CommandTable& table);

}  // namespace vx
