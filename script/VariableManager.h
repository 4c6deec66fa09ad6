// The variable store: every value a setup script works with, bound to a name compared without
// regard to case. One store serves the whole process (ProcessVariables); the interpreter, the
// commands and the worker threads all go through it, and every operation takes its lock.
//
// Expansion replaces each reference (a name between two "$" signs) by the variable's value and
// scans the inserted value again, so references inside values expand too. References to unbound
// names, "$$" and a lone "$" stay as they are.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "script/Collections.h"
#include "script/TextList.h"

namespace vx {

struct CompiledScript;

// Origins of assignments the store itself tells apart.
inline constexpr TextView kOriginCommandLine = u"Inject Override Command Line";
inline constexpr TextView kOriginSetVariable = u"Set Variable Action";

// The line-break marker used wherever several lines live in one variable.
inline constexpr TextView kNewLineMarker = u"$NEWLINE$";
[[nodiscard]] Text ToLineBreakMarker(TextView text);    // every CR LF -> "$NEWLINE$"
[[nodiscard]] Text FromLineBreakMarker(TextView text);  // every "$NEWLINE$" (any case) -> CR LF

// The truth convention: "TRUE" in any letter case, or exactly "-1".
[[nodiscard]] bool IsTrue(TextView text);
[[nodiscard]] inline Text TruthText(bool value) { return value ? Text(u"TRUE") : Text(u"FALSE"); }

// The name of a text that is exactly one reference ("$NAME$", no other "$"), else empty.
[[nodiscard]] Text ReferenceName(TextView text);

// A whole 32-bit number; any other text raises the conversion error of the statement.
[[nodiscard]] int32_t WholeNumber(TextView text);

class TVariableManager {
 public:
  // A reference chain deeper than this is left unexpanded where the limit is reached, so a value
  // that refers to itself, directly or through other variables, cannot make expansion endless.
  static constexpr int kMaxExpandDepth = 100;
  // Code units that nested references may insert in one expansion; a value that refers to itself
  // more than once would otherwise double the text at every level.
  static constexpr size_t kNestedExpandBudget = size_t{1} << 22;

  // readsTakeLock: reads take the lock too (the process-wide store); a store used by one thread
  // only may leave it off.
  explicit TVariableManager(bool readsTakeLock = true) : readsTakeLock_(readsTakeLock) {}
  TVariableManager(const TVariableManager&) = delete;
  TVariableManager& operator=(const TVariableManager&) = delete;

  // Store operations.
  void Store(TextView name, TextView value);
  [[nodiscard]] bool Exists(TextView name) const;
  [[nodiscard]] Text Get(TextView name) const;
  [[nodiscard]] std::optional<Text> Find(TextView name) const;
  void Delete(TextView name);
  void Clear();
  void Dump(TextList& list) const;   // name, value, name, value, ... in enumeration order
  void Names(TextList& list) const;  // names in enumeration order
  [[nodiscard]] size_t Count() const;
  [[nodiscard]] size_t BucketCount() const;

  [[nodiscard]] Text Expand(TextView text) const { return ExpandText(text, false); }
  // Each inserted value is wrapped in double quotes, which makes it an operand of an expression.
  [[nodiscard]] Text ExpandQuoted(TextView text) const { return ExpandText(text, true); }

  // Script-level assignments. A value that is exactly the name's own reference (case ignored)
  // becomes empty text. Set obeys the command-line protection rule; Define of an existing name is
  // a Set.
  void Define(TextView name, TextView value, TextView origin);
  void Set(TextView name, TextView value, TextView origin);

  // The value of the variable named by text (a reference or a bare name), expanded; `missing`
  // when no such variable exists.
  [[nodiscard]] Text ReferencedValue(TextView text, TextView missing = {}) const;
  // Expanded, doubled backslashes collapsed, a leading network pair kept.
  [[nodiscard]] Text NormalizedPath(TextView text) const;

  // Command-line protection: while the silent flag is set, a name assigned on the command line
  // can be changed only with the origin "Inject Override Command Line".
  void SetSilent(bool silent) { silent_.store(silent); }
  [[nodiscard]] bool Silent() const { return silent_.load(); }
  void SetCommandLineNames(std::vector<Text> names);

 private:
  [[nodiscard]] Text ExpandText(TextView text, bool quoted) const;
  [[nodiscard]] bool IsProtected(TextView name, TextView origin) const;
  [[nodiscard]] std::unique_lock<std::recursive_mutex> ReadLock() const;

  // A critical section: re-entrant, as script-level operations call store operations.
  mutable std::recursive_mutex lock_;
  TStringHashTable table_;
  const bool readsTakeLock_;
  std::atomic<bool> silent_{false};
  std::vector<Text> commandLineNames_;  // upper-cased
};

// The one store of the process.
[[nodiscard]] TVariableManager& ProcessVariables();

// The "Set Variable" command of statement n: parameter 1 the target (a name or reference,
// optionally followed by "$ZURI$ZURI$" and a persist flag), parameter 2 the value.
void RunSetVariable(const CompiledScript& script, size_t n, TVariableManager& vars);

}  // namespace vx
