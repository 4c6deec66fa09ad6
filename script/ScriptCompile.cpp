#include "script/ScriptCompile.h"

#include <array>
#include <unordered_map>
#include <unordered_set>

#include "platform/Process.h"
#include "script/CompiledScript.h"
#include "script/EngineError.h"
#include "script/VariableManager.h"
#include "script/mEval.h"

namespace vx {

namespace {

constexpr TextView kOrigin = u"Compilation";
constexpr TextView kPersistMarker = u"$ZURI$ZURI$";
constexpr TextView kVariableRequired = u"Variable required";
constexpr TextView kNotDefined = u"Variable not defined: ";

// The names the engine provides itself. Three settings appear here without the inner underscores
// of their run-time names, so a script that reads one of the run-time names before setting it is
// refused.
constexpr std::array<TextView, 84> kEngineNames{
    u"CHARSET_OVERRIDE", u"ZURI_TIMEOUT", u"GPOPATH", u"SETUPPATH", u"NATIVE_ENGINE", u"NATIVE_OLDLOG",
    u"NATIVE_LOGGING", u"NATIVE_ROLLBACK", u"NATIVE_HARDLINK", u"NATIVE_ERROR", u"NATIVE_OVERWRITE",
    u"NATIVE_OVERWRITE_OLDER", u"NATIVE_OVERRIDE_PERMISSIONS", u"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS",
    u"NATIVE_PROGRESS", u"DELAYUNTIL_APPLYCHANGES", u"ZURI_COMPRESSCACHE", u"ZURI_DISABLEROLLBACK",
    u"ZURI_DISABLEVISTARESTARTMANAGER", u"IISHOST", u"OVERRIDECACHE", u"MYAHLOGO", u"TIME", u"DATE",
    u"NEWINSTANCE", u"SELECTED", u"WINDOWHANDLE", u"EXEDIR", u"EXEFILE", u"UNINSTALLLINK", u"ENGINECACHE",
    u"COPYWEBLOCK", u"ABORT", u"SILENT", u"LOGGED", u"CMDLINE", u"REBOOTNOW", u"SFXPATH", u"SFXFILE",
    u"LASTERROR", u"PROGRESSMODE", u"CUSTOM_TASKBAR_PROGRESS_ENABLED", u"CUSTOM_TASKBAR_PROGRESS_PERCENT",
    u"CUSTOM_TASKBAR_PROGRESS_MAX", u"PROGRESSTEXT", u"PROGRESS", u"LICENSE", u"USERNAME", u"USERCOMPANY",
    u"REBOOTCOMPUTER", u"RUNAPP", u"WIZARD", u"FX", u"FXGROUND", u"FXTIME", u"VERSION", u"TARGETDIR",
    u"STARTMENU", u"ADVERTISE", u"ALLUSERS", u"COMPLETE", u"MINIMUM", u"PERSONALIZED", u"GLASS", u"MODIFY",
    u"REPAIR", u"REMOVE", u"DATADIR", u"PRODUCTCODE", u"REVISIONCODE", u"ROOTDIR", u"MAINTENANCE",
    u"NEWLINE", u"NEEDSUPGRADE", u"RECOMMENDEDUPGRADE", u"TITLE", u"COMPANY", u"TEMPDIR", u"SUPPORTDIR",
    u"MSIFILE", u"LANGUAGE", u"ABORTONERROR", u"ABORTEDONERROR", u"SAVEDATA",
};

// Parameter checks shared by many commands; 0 means none.
struct CommandRule {
  int required = 0;       // result variable that must be given; declared
  int optional = 0;       // result variable declared when given
  int mustBeDeclared = 0;  // variable that must have been declared earlier
  bool setupChange = false;
};

const std::unordered_map<TextView, CommandRule>& CommandRules() {
  static const std::unordered_map<TextView, CommandRule> rules = [] {
    std::unordered_map<TextView, CommandRule> r;
    for (auto [name, k] : std::initializer_list<std::pair<TextView, int>>{
             {u"Get Folder Location", 1}, {u"Is MSI Setup Installed", 2}, {u"Is File Locked", 2},
             {u"Get INI File Settings", 1}, {u"Get XML File Settings", 1}, {u"Evaluate XPath Query", 3},
             {u"Read from Text File", 2}, {u"Check File Version", 1}, {u"Get System Settings", 1},
             {u"Get OS or SP Level", 1}, {u"Evaluate Expression", 2}, {u"Find All Registry", 1},
             {u"Find All Computers", 1}, {u"Does File/Folder Exist", 1}, {u"Set Variable", 1},
             {u"Localization Variable", 1}, {u"Get Temporary File", 1}, {u"Get IIS Property", 1},
             {u"Get File Version", 2}, {u"Get Environment", 2}, {u"Get IIS Site Index", 2},
             {u"Get IIS Site List", 1}, {u"Find All Files", 4}, {u"Check Disk Space", 1}, {u"Check Service", 3},
             {u"Check Process", 2}, {u"Check Computer", 2}, {u"Get Component State", 2},
             {u"Get Component Space", 2}, {u"IIS Anonymous User", 1}})
      r[name].required = k;
    // "Run Program" keeps its exit code in parameter 5; parameter 4 is its wait flag.
    for (auto [name, k] : std::initializer_list<std::pair<TextView, int>>{
             {u"Extract 7Zip Archive", 3}, {u"Compress 7Zip Archive", 10}, {u"Delete 7Zip Archive", 4},
             {u"Test 7Zip Archive", 3}, {u"List 7Zip Archive", 3}, {u"Run Light Mode Setup", 2},
             {u"Read from Text File", 3}, {u"Remote Run Program", 6}, {u"Run Program", 5},
             {u"Run Program As", 8}, {u"MessageBox", 5}, {u"Terminate Process", 2}, {u"Register Library", 3},
             {u"Apply Changes", 2}, {u"Apply Patch", 1}})
      r[name].optional = k;
    for (TextView name : {u"Convert Path", u"Convert Case", u"Extract Path", u"Replace String"})
      r[TextView(name)].mustBeDeclared = 1;
    for (TextView name : {u"Delete Files", u"Copy/Move Local Files", u"Create Folder", u"Create Shortcut",
                          u"Advertised Shortcut", u"Edit INI File", u"Install Files", u"Install Assembly",
                          u"Set Environment", u"Install Service", u"Install ODBC Driver", u"Create ODBC DSN",
                          u"Control Service", u"Write Registry", u"Create File Type", u"Advertised File Type"})
      r[TextView(name)].setupChange = true;
    return r;
  }();
  return rules;
}

struct CompileFailure {
  int32_t result;
  Text message;
};

// Nesting levels of the four block kinds, in the order If, While, Repeat, For Each.
enum Kind { kIf, kWhile, kRepeat, kForEach };
using Levels = std::array<int, 4>;

class Compiler {
 public:
  Compiler(const CompiledScript& script, TVariableManager& vars) : script_(script), vars_(vars) {}

  CompileResult Run() {
    CompileResult out;
    out.changeStates.assign(script_.StatementCount(), Text(u"SKIP"));
    try {
      DeclarationSet();
      BlockPass();
      CountChecks();
      LabelPass();
      PersistedDeclarations();
      CommandPass(out.changeStates);
      WizardLoopPass();
      out.message = u"Script compiled successfully";
    } catch (const CompileFailure& failure) {
      out.result = failure.result;
      out.message = failure.message;
    }
    return out;
  }

 private:
  // --- helpers ---

  size_t Count() const { return script_.StatementCount(); }
  bool Active(size_t n) const { return !script_.IsCommentedOut(n); }
  const Text& Command(size_t n) const { return script_.commands.At(n); }

  // A parameter the statement does not carry reads as empty text here; running the statement
  // reports it where it is read.
  Text Param(size_t n, size_t k) const {
    try {
      return script_.Parameter(n, k);
    } catch (const EngineError&) {
      return Text();
    }
  }

  [[noreturn]] static void Fail(int32_t at, Text message) { throw CompileFailure{at, std::move(message)}; }
  [[noreturn]] static void Fail(size_t n, TextView message) { Fail(static_cast<int32_t>(n), Text(message)); }

  void Declare(TextView name) { vars_.Define(UpperText(name), u"", kOrigin); }

  // A bare name or a single reference naming a declared variable.
  bool NamesDeclared(TextView text) const {
    const Text ref = ReferenceName(text);
    return vars_.Exists(ref.empty() ? text : TextView(ref));
  }

  static Text StripReference(TextView text) {
    Text ref = ReferenceName(text);
    return ref.empty() ? Text(text) : ref;
  }

  // --- pass 1 ---

  void DeclarationSet() {
    vars_.Clear();
    for (TextView name : kEngineNames) vars_.Define(name, u"", kOrigin);
  }

  // --- pass 2 ---

  struct BlockState {
    int ifOpens = 0, ends = 0, whiles = 0, wends = 0, repeats = 0, untils = 0, forEachs = 0, nexts = 0;
    int open = 0;
    Levels level{};
    std::array<std::vector<Levels>, 4> snapshots;  // per kind: the levels when a block opened
    bool wizard = false;
    std::vector<Text> forEachVariables;
  };

  static void OpenBlock(BlockState& b, Kind kind) {
    ++b.open;
    ++b.level[kind];
    b.snapshots[kind].push_back(b.level);
  }

  // Closes a block of `kind`: the other kinds must be at the levels they had when it opened.
  static void CloseBlock(BlockState& b, Kind kind, size_t n, TextView outsideScope, TextView noScope) {
    --b.open;
    --b.level[kind];
    auto& stack = b.snapshots[kind];
    if (stack.empty()) Fail(n, noScope);
    Levels opened = stack.back();
    Levels now = b.level;
    opened[kind] = now[kind] = 0;  // only the other kinds are compared
    if (opened != now) Fail(n, outsideScope);
    stack.pop_back();
  }

  void BlockPass() {
    BlockState b;
    for (size_t n = 0; n < Count(); ++n) {
      if (!Active(n)) continue;
      const Text& c = Command(n);
      if (c == u"If") {
        ++b.ifOpens;
        b.wizard = false;
        OpenBlock(b, kIf);
      } else if (c == u"Wizard Loop") {
        ++b.ifOpens;
        ++b.open;
        b.wizard = true;
      } else if (c == u"End") {
        ++b.ends;
        if (b.wizard) {
          --b.open;
        } else {
          CloseBlock(b, kIf, n, u"IF conditional closed outside of LOOP scope",
                     u"IF conditional closed outside of IF conditional scope");
        }
      } else if (c == u"While") {
        ++b.whiles;
        OpenBlock(b, kWhile);
      } else if (c == u"Wend") {
        ++b.wends;
        CloseBlock(b, kWhile, n, u"WHILE loop closed outside of CONDITIONAL or REPEAT or FOR EACH loop scope",
                   u"WHILE loop closed outside of WHILE loop scope");
      } else if (c == u"Repeat") {
        ++b.repeats;
        OpenBlock(b, kRepeat);
      } else if (c == u"Until") {
        ++b.untils;
        CloseBlock(b, kRepeat, n, u"REPEAT loop closed outside of CONDITIONAL or WHILE or FOR EACH loop scope",
                   u"REPEAT loop closed outside of REPEAT loop scope");
      } else if (c == u"For Each") {
        const Text variable = Param(n, 1);
        for (const Text& v : b.forEachVariables)
          if (SameText(v, variable)) Fail(n, u"FOR EACH variable re-used inside nested FOR EACH loop");
        b.forEachVariables.push_back(variable);
        ++b.forEachs;
        OpenBlock(b, kForEach);
      } else if (c == u"Next") {
        ++b.nexts;
        CloseBlock(b, kForEach, n, u"FOR EACH loop closed outside of CONDITIONAL or REPEAT or WHILE loop scope",
                   u"FOR EACH loop closed outside of FOR EACH loop scope");
        if (!b.forEachVariables.empty()) b.forEachVariables.pop_back();
      } else if (c == u"Break" || c == u"Continue") {
        if (b.whiles == b.wends && b.repeats == b.untils && b.forEachs == b.nexts)
          Fail(static_cast<int32_t>(n), c + u" not allowed outside of LOOP scope");
      } else if (c == u"Label") {
        if (b.open > 0) Fail(n, u"LABEL statements cannot be nested inside loops/conditionals");
      }
    }
    counts_ = {{{b.ifOpens, b.ends}, {b.whiles, b.wends}, {b.repeats, b.untils}, {b.forEachs, b.nexts}}};
  }

  // --- pass 3 ---

  void CountChecks() const {
    static constexpr std::array<std::pair<TextView, TextView>, 4> kTexts{{
        {u"Insufficient END statements", u"Too many END statements"},
        {u"Insufficient WEND statements", u"Too many WEND statements"},
        {u"Insufficient UNTIL statements", u"Too many UNTIL statements"},
        {u"Insufficient NEXT statements", u"Too many NEXT statements"},
    }};
    for (size_t i = 0; i < kTexts.size(); ++i) {
      const auto [opens, closes] = counts_[i];
      if (closes < opens) Fail(kCompileCountMismatch, Text(kTexts[i].first));
      if (closes > opens) Fail(kCompileCountMismatch, Text(kTexts[i].second));
    }
  }

  // --- pass 4 ---

  void LabelPass() {
    for (size_t n = 0; n < Count(); ++n) {
      if (!Active(n) || Command(n) != u"Label") continue;
      const Text name = Param(n, 1);
      if (!labels_.insert(UpperText(name)).second) Fail(static_cast<int32_t>(n), u"LABEL re-defined: " + name);
    }
  }

  // --- pass 5 ---

  void PersistedDeclarations() {
    for (size_t n = 0; n < Count(); ++n) {
      if (!Active(n) || Command(n) != u"Set Variable") continue;
      const Text target = Param(n, 1);
      const size_t at = target.find(kPersistMarker);
      if (at == Text::npos || TextView(target).substr(at + kPersistMarker.size()) != u"TRUE") continue;
      const Text name = StripReference(TextView(target).substr(0, at));
      if (!vars_.Exists(name)) Declare(name);
    }
  }

  // --- pass 6 ---

  void CommandPass(std::vector<Text>& changeStates) {
    const auto& rules = CommandRules();
    for (size_t n = 0; n < Count(); ++n) {
      if (!Active(n)) continue;
      const Text& c = Command(n);
      if (auto it = rules.find(c); it != rules.end()) ApplyRule(n, c, it->second, changeStates);
      SpecialChecks(n, c);
    }
  }

  void ApplyRule(size_t n, const Text& c, const CommandRule& rule, std::vector<Text>& changeStates) {
    if (rule.setupChange) changeStates[n] = u"FALSE";
    if (rule.required) {
      Text name = Param(n, rule.required);
      if (c == u"Set Variable") name = StripReference(TextView(name).substr(0, name.find(kPersistMarker)));
      if (name.empty()) Fail(n, kVariableRequired);
      Declare(name);
    }
    if (rule.optional) {
      const Text name = Param(n, rule.optional);
      if (!name.empty()) Declare(name);
    }
    if (rule.mustBeDeclared) {
      const Text name = Param(n, rule.mustBeDeclared);
      // "Replace String" accepts its variable as a reference too.
      const bool declared = c == u"Replace String" ? NamesDeclared(name) : vars_.Exists(name);
      if (!declared) Fail(static_cast<int32_t>(n), Text(kNotDefined) + name);
    }
  }

  void RequireAndDeclare(size_t n, TextView name) {
    if (name.empty()) Fail(n, kVariableRequired);
    Declare(name);
  }

  void SpecialChecks(size_t n, const Text& c) {
    if (c == u"If" || c == u"Else If" || c == u"While" || c == u"Until") {
      CheckCondition(n);
    } else if (c == u"For Each") {
      const Text name = StripReference(Param(n, 1));
      if (name.empty()) Fail(n, kVariableRequired);
      if (vars_.Exists(name)) Fail(n, u"FOR EACH variable previously defined outside FOR EACH loop");
      Declare(name);
      forEachVariables_.push_back(name);
    } else if (c == u"Next") {
      if (!forEachVariables_.empty()) {
        vars_.Delete(forEachVariables_.back());
        forEachVariables_.pop_back();
      }
    } else if (c == u"GoTo Label") {
      const Text name = Param(n, 1);
      if (!labels_.count(UpperText(name))) Fail(static_cast<int32_t>(n), u"LABEL undefined: " + name);
    } else if (c == u"Evaluate Expression") {
      if (!ExpressionSyntaxValid(Param(n, 1)))
        Fail(n, u"Syntax error in expression. Please review the help topic \"Evaluate Expression\" for the correct syntax.");
    } else if (c == u"Read Registry" || c == u"Check Registry") {
      const Text target = Param(n, 1);
      RequireAndDeclare(n, TextView(target).substr(0, target.find(u'|')));
    } else if (c == u"Display Dialog") {
      CheckDisplayDialog(n);
    } else if (c == u"Web Media Block") {
      CheckWebMediaBlock(n);
    } else if (c == u"Mathematics") {
      const Text op = Param(n, 3);
      const Text result = Param(n, 4);
      if (op != u"13" && op != u"14") RequireAndDeclare(n, result);
      else if (!result.empty()) Declare(result);
    } else if (c == u"Parse String") {
      const Text first = Param(n, 3);
      const Text second = Param(n, 4);
      if (first.empty() && second.empty()) Fail(n, kVariableRequired);
      if (!first.empty()) Declare(first);
      if (!second.empty()) Declare(second);
    } else if (c == u"Delete Files") {
      if (!IsTrue(Param(n, 3)) && !IsTrue(Param(n, 4))) Fail(n, u"At least one delete mode must be selected");
    } else if (c == u"Install Files") {
      if (Param(n, 3).empty())
        Fail(n, u"A target folder must be specified for files that are being installed.\r"
                u"The value $TARGETDIR$ represents the destination folder chosen by the user.");
    } else if (c == u"System Restore") {
      if (IsTrue(Param(n, 1))) RequireAndDeclare(n, Param(n, 3));
    }
  }

  void CheckCondition(size_t n) {
    const Text variable = Param(n, 1);
    if (variable.empty()) Fail(n, kVariableRequired);
    if (Param(n, 2) == u"5") return;
    if (!NamesDeclared(variable)) Fail(static_cast<int32_t>(n), Text(kNotDefined) + variable);
    const Text value = Param(n, 3);
    const Text ref = ReferenceName(value);
    if (!ref.empty() && !vars_.Exists(ref)) Fail(static_cast<int32_t>(n), Text(kNotDefined) + value);
  }

  void CheckDisplayDialog(size_t n) {
    if (Param(n, 1).empty()) Fail(n, u"Dialog name not specified");
    if (const Text result = Param(n, 2); !result.empty()) Declare(result);
    const Text watched = Param(n, 4);
    if (!watched.empty() && !NamesDeclared(watched)) Fail(static_cast<int32_t>(n), Text(kNotDefined) + watched);
  }

  void CheckWebMediaBlock(size_t n) {
    const Text block = Param(n, 1);
    const size_t cut = block.find_last_of(u"\\:");
    const TextView fileName = cut == Text::npos ? TextView(block) : TextView(block).substr(cut + 1);
    if (fileName.find_first_of(u"\\/:*?\"<>|") != TextView::npos)
      Fail(n, u"Web Media Block name must be a legal file name");
    if (!block.empty() && Param(n, 2).empty()) Fail(n, u"Web Media Block must have at least one download URL");
  }

  // --- pass 7 ---

  void WizardLoopPass() const {
    for (size_t n = 0; n < Count(); ++n) {
      if (!Active(n) || Command(n) != u"Wizard Loop") continue;
      for (size_t m = n + 1; m < Count(); ++m) {
        if (!Active(m)) continue;
        const Text& c = Command(m);
        if (c == u"End") break;
        if (c != u"Display Dialog" && c != u"Comment" && c != u"Ignore")
          Fail(m, u"Statements other than DISPLAY DIALOG not allowed inside WIZARD LOOP");
      }
    }
  }

  const CompiledScript& script_;
  TVariableManager& vars_;
  std::array<std::pair<int, int>, 4> counts_{};  // opens and closes per block kind
  std::unordered_set<Text> labels_;              // upper-cased
  std::vector<Text> forEachVariables_;
};

}  // namespace

CompileResult CompileScript(const CompiledScript& script, TVariableManager& store) {
  return Compiler(script, store).Run();
}

CompileResult CompileScript(const CompiledScript& script) {
  TVariableManager store(false);
  return CompileScript(script, store);
}

void EndProcessAfterFailedCompile() { platform::TerminateProcessNow(kCompileFailedExitCode); }

std::vector<Text> CompileOrEndProcess(const CompiledScript& script, TVariableManager& store) {
  CompileResult result = CompileScript(script, store);
  if (!result.Accepted()) EndProcessAfterFailedCompile();
  return std::move(result.changeStates);
}

}  // namespace vx
