// The block statements: branch chains, the three loop kinds with "Break" and "Continue", the
// wizard loop's navigation, labels and include scripts.
//
// The script has no compiled jumps. Blocks are matched at run time by scanning the statement list
// and counting nesting; every scan ignores commented-out statements. A scan that finds no partner
// (a script the compilation check should have refused) raises a run-time error of the statement
// instead of running off the table.
//
// The statement pointer is the number of the next statement to fetch; the statement being
// executed is the one before it. Handlers change the pointer directly ("GoTo Label", the loop
// searches) or leave a skip for the next turn (branch chains).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "script/CompiledScript.h"

namespace vx {

class TVariableManager;

enum class LoopKind { While, Repeat, ForEach };

struct LoopEntry {
  LoopKind kind;
  Text variable;  // the For Each variable, upper-cased
};

struct ForEachState {
  Text remaining;  // the list not yet consumed
  Text separator;
};

// The part of the state an included script gets a fresh view of and gives back when it ends.
struct BlockState {
  bool skipToBranch = false;
  bool skipToEnd = false;
  std::vector<LoopEntry> loops;                        // innermost last
  std::unordered_map<Text, ForEachState> forEach;      // by upper-cased variable name
  bool wizardMode = false;
};

class ControlFlow {
 public:
  // Builds the label table: every "Label" statement, commented ones included, by its upper-cased
  // parameter 1.
  ControlFlow(const CompiledScript& script, TVariableManager& vars);

  // Advances the block state (pending skips, include-depth changes, wizard navigation) and
  // fetches the next statement, passing over commented-out and "Ignore" statements unless
  // navigation chose it. Nothing when the script has run past its last statement.
  [[nodiscard]] std::optional<size_t> Fetch();

  // The statement most recently fetched.
  [[nodiscard]] size_t Current() const { return current_; }
  [[nodiscard]] const BlockState& State() const { return state_; }
  [[nodiscard]] int WizardDirection() const { return wizardDirection_; }

  // Handlers of the block statements; n is the statement being executed.
  void If(size_t n);
  void ElseIf(size_t n);
  void Else(size_t n);
  void While(size_t n);
  void Wend(size_t n);
  void Repeat(size_t n);
  void Until(size_t n);
  void ForEach(size_t n);
  void Next(size_t n);
  void Break(size_t n);
  void Continue(size_t n);
  void WizardLoop(size_t n);
  void GoToLabel(size_t n);
  void ReturnFromInclude(size_t n);

  // A dialog's result in a wizard loop: 6 forward, 7 back, 2 leave; others keep the direction.
  void DialogResult(int result);

 private:
  [[nodiscard]] bool Active(size_t n) const { return !script_.IsCommentedOut(n); }
  [[nodiscard]] const Text& Command(size_t n) const { return script_.commands.At(n); }

  void ApplySkips();
  void FollowIncludeDepth();
  [[nodiscard]] bool Navigate();  // true when wizard navigation chose the statement
  void LeaveWizardAt(size_t from);

  [[nodiscard]] size_t ScanChain(size_t from, bool stopAtBranch, size_t origin) const;
  [[nodiscard]] size_t SearchLoopEnd(size_t n, LoopKind kind) const;
  [[nodiscard]] size_t SearchLoopHead(size_t n, LoopKind kind) const;
  [[nodiscard]] LoopKind InnermostLoop(size_t n) const;
  void PopLoop();
  void EndForEach(const Text& variable);
  void ClearLoops();

  const CompiledScript& script_;
  TVariableManager& vars_;
  std::unordered_map<Text, size_t> labels_;
  size_t pointer_ = 0;
  size_t current_ = 0;
  BlockState state_;
  int wizardDirection_ = 1;
  int32_t lastDepth_ = 0;
  std::vector<BlockState> saved_;
  // The "Else If" a branch skip stopped at: its condition is evaluated, not taken as a branch end.
  std::optional<size_t> branchArrival_;
  bool navigated_ = false;
};

}  // namespace vx
