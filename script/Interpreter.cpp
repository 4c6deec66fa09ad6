#include "script/Interpreter.h"

#include <vector>

#include "platform/Process.h"
#include "platform/RunFacts.h"
#include "script/ControlFlow.h"
#include "script/EngineError.h"
#include "script/InterpreterSeams.h"
#include "script/PredefinedVariables.h"
#include "script/ScriptCompile.h"
#include "script/VariableManager.h"
#include "ui/Bridge.h"
#include "ui/uLanguage.h"

namespace vx {

namespace {

// Window messages are handled when this many milliseconds have passed since the last turn.
constexpr uint32_t kPacingMs = 315;

constexpr TextView kOriginFailedCacheOverride = u"Failed Cache Override";

Text WithBackslash(Text path) {
  if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path.push_back(u'\\');
  return path;
}

// The folder part of a path, up to and including its last separator.
Text FolderOf(TextView path) {
  const size_t cut = path.find_last_of(u"\\/");
  return cut == TextView::npos ? Text() : Text(path.substr(0, cut + 1));
}

// The source file's name without folder and extension.
Text SourceName(TextView file) {
  const size_t slash = file.find_last_of(u"\\/");
  TextView name = slash == TextView::npos ? file : file.substr(slash + 1);
  const size_t dot = name.find_last_of(u'.');
  return Text(dot == TextView::npos ? name : name.substr(0, dot));
}

// An uninstall command line as the registry holds it: the first double quote removed and
// everything from the next one on cut off.
Text UnquotedCommand(Text value) {
  const size_t first = value.find(u'"');
  if (first != Text::npos) value.erase(first, 1);
  const size_t next = value.find(u'"');
  if (next != Text::npos) value.erase(next);
  return value;
}

// Creates a folder and its missing parents; the folders created, outermost first, or nothing
// when one could not be created (those created so far are removed again).
std::optional<std::vector<Text>> CreateFolderTree(const Text& folder) {
  std::vector<Text> created;
  // A network path's server and share, or a drive, are never created.
  size_t from = StartsWith(folder, u"\\\\") ? folder.find(u'\\', folder.find(u'\\', 2) + 1) : 0;
  for (size_t cut = folder.find_first_of(u"\\/", from == Text::npos ? folder.size() : from + 1); cut != Text::npos;
       cut = folder.find_first_of(u"\\/", cut + 1)) {
    const Text part = folder.substr(0, cut);
    if (part.empty() || (part.size() == 2 && part[1] == u':') || platform::PathExists(part)) continue;
    if (!platform::CreateOneFolder(part)) {
      for (auto it = created.rbegin(); it != created.rend(); ++it) platform::RemoveEmptyFolder(*it);
      return std::nullopt;
    }
    created.push_back(part);
  }
  return created;
}

class Interpreter {
 public:
  Interpreter(const RunRequest& request, int& exitCode)
      : request_(request), script_(request.script), trace_(request.trace), vars_(ProcessVariables()),
        facts_(request.facts ? *request.facts : platform::MachineFacts()), run_(exitCode) {
    if (request.commands) {
      table_ = request.commands;
    } else {
      RegisterFlowCommands(ownTable_);
      table_ = &ownTable_;
    }
  }

  RunOutcome Run() {
    if (!SetUp()) return RunOutcome{true, false};
    if (!RunLoop()) {
      ExitScriptStep();
      return RunOutcome{false, true};
    }
    trace_.Line(u"    </zuri>");
    trace_.Line(u"    <ExitScript>");
    ExitScriptStep();
    trace_.Line(u"    </ExitScript>");
    if (RemovableMediaGone()) PrematureEject();
    return RunOutcome{};
  }

 private:
  // --- set-up ---------------------------------------------------------------------------------

  // False when another run of this setup holds the single-instance marker.
  bool SetUp() {
    trace_.Line(u"    <Variables>");
    trace_.Line(u"    </Variables>");
    trace_.Line(u"    <CompileScript>");
    // A rejected script ends the process here with exit code 314, before any tear-down.
    (void)CompileOrEndProcess(script_, vars_);
    trace_.Line(u"    </CompileScript>");
    vars_.Clear();
    StoreProgressVariables(vars_, platform::TickCount());
    // Workers report to the thread that runs the script; a run that starts silent keeps its
    // worker waits free of windows to the end.
    ProcessBridge().BindMainThread();
    ProcessBridge().SetSilent(request_.startup.silent);
    const PredefinedSources sources{script_, request_.startup, facts_, request_.packagePath};
    DefinePreInitializationVariables(vars_, sources);
    trace_.Line(u"    <BootStrap>");
    seams::Bootstrap(script_, vars_);
    trace_.Line(u"    </BootStrap>");
    flow_.emplace(script_, vars_);
    run_.AttachFlow(&*flow_);
    if (SingleInstance()) {
      marker_ = request_.startup.tempFolder + script_.product.revisionCode + u".oxa";
      if (platform::PathExists(marker_)) return false;
      (void)platform::CreateEmptyFile(marker_);
    }
    trace_.Line(u"    <zuri>");
    languageChosen_ = DefineInitializationVariables(vars_, sources);
    ApplyCommandLineAssignments(vars_, request_.startup);
    pacingTick_ = platform::TickCount();
    return true;
  }

  [[nodiscard]] bool SingleInstance() const { return SameText(script_.BuildValue(u"#SINGLEINSTANCE#"), u"TRUE"); }

  // --- the loop -------------------------------------------------------------------------------

  // False when a statement ended the script with a run-time error.
  bool RunLoop() {
    if (!languageChosen_) return true;
    try {
      for (;;) {
        PrepareTurn();
        const std::optional<size_t> n = flow_->Fetch();
        if (!n) return true;
        CommandContext ctx(script_, *n, vars_, trace_, run_);
        DispatchStatement(*table_, ctx);
        if (run_.EndRequest() == RunEnd::AbortCleanup) seams::AbortCleanup(script_, vars_);
        if (run_.EndRequest() != RunEnd::None) return true;
      }
    } catch (const EngineError& e) {
      ReportRuntimeError(e.Message());
    } catch (const std::exception& e) {
      ReportRuntimeError(Utf8ToText(e.what()));
    }
    return false;
  }

  void PrepareTurn() {
    const uint32_t now = platform::TickCount();
    if (now - pacingTick_ >= kPacingMs) {
      platform::PumpMessages();
      pacingTick_ = platform::TickCount();
    }
    ReadCachedSwitches();
    ApplyCacheOverride();
    DefineDateAndTime(vars_, facts_);
    FollowLanguage();
    DefineEngineCache();
  }

  void ReadCachedSwitches() {
    const Text logged = vars_.Get(u"LOGGED");
    if (logged != trace_.Path()) trace_.SetPath(logged);
    run_.SetSilent(IsTrue(vars_.Get(u"SILENT")));
    Text title = vars_.Get(u"TITLE");
    const bool logo = SameText(vars_.Get(u"MYAHLOGO"), u"TRUE");
    if (title != title_ || logo != logo_) {
      title_ = std::move(title);
      logo_ = logo;
      SetCaptionSource(title_, logo_);
    }
  }

  void ApplyCacheOverride() {
    const Text value = vars_.Get(u"OVERRIDECACHE");
    if (value.empty() || value == appliedCache_) return;
    const Text folder = WithBackslash(value);
    std::optional<std::vector<Text>> created = CreateFolderTree(folder);
    if (!created) {
      vars_.Set(u"OVERRIDECACHE", u"", kOriginFailedCacheOverride);
      appliedCache_.clear();
      return;
    }
    vars_.Set(u"OVERRIDECACHE", folder, kOriginCommandLine);
    seams::Bootstrap(script_, vars_);
    appliedCache_ = folder;
    for (auto it = created->rbegin(); it != created->rend(); ++it) platform::RemoveEmptyFolder(*it);
  }

  void FollowLanguage() {
    Text active = vars_.Get(u"LANGUAGE");
    if (!active.empty() && active != loadedLanguage_) {
      loadedLanguage_ = active;
      if (!seams::LoadSetupLanguage(script_, vars_, active)) active.clear();
    }
    vars_.Define(u"LANGUAGE", active, kOriginInitialization);
    run_.SetActiveLanguage(std::move(active));
  }

  void DefineEngineCache() {
    const bool allUsers = IsTrue(vars_.Get(u"ALLUSERS"));
    Text link;
    Text cache;
    if (script_.product.packageKind == 3) {
      if (auto value = platform::ReadUninstallString(allUsers, vars_.Get(u"TITLE"))) link = UnquotedCommand(*value);
      cache = FolderOf(link);
    } else {
      cache = seams::EngineCacheRoot(script_, vars_, allUsers) + script_.product.revisionCode + u"\\";
      link = cache + request_.startup.exeName;
    }
    vars_.Define(u"UNINSTALLLINK", link, kOriginInitialization);
    vars_.Define(u"ENGINECACHE", cache, kOriginInitialization);
  }

  // --- the end --------------------------------------------------------------------------------

  void ReportRuntimeError(TextView message) {
    const size_t n = flow_->Current();
    trace_.Line(RuntimeErrorTraceLine(script_, n, message));
    if (run_.Silent()) return;
    seams::TaskbarErrorState(true);
    platform::ShowErrorBox(RuntimeErrorText(script_, n, message), CurrentSetupCaption());
  }

  void ExitScriptStep() {
    if (!marker_.empty()) platform::DeletePlainFile(marker_);
    seams::CloseOpenTextFile();
    seams::ReleaseDialogRuntime();
    seams::HideTrayIcon();
  }

  [[nodiscard]] bool RemovableMediaGone() const {
    const Text exeDir = vars_.Get(u"EXEDIR");
    return !exeDir.empty() && !platform::IsOnFixedDrive(exeDir) && !platform::PathExists(exeDir);
  }

  [[noreturn]] void PrematureEject() {
    if (request_.endOfRunSave) request_.endOfRunSave();
    trace_.Line(u"  </RunScript>");
    trace_.Line(u"  <Free>");
    trace_.Line(u"  </Free>");
    trace_.Line(u"  <CachedSupportDir>");
    if (request_.removeSupportFolder) request_.removeSupportFolder();
    trace_.Line(u"  </CachedSupportDir>");
    trace_.Line(u"  <RemovableMediaPrematureEject>");
    trace_.Line(u"  </RemovableMediaPrematureEject>");
    trace_.Line(u"</Veltrix>");
    platform::TerminateProcessNow(run_.ExitCode());
  }

  const RunRequest& request_;
  const CompiledScript& script_;
  RunTrace& trace_;
  TVariableManager& vars_;
  const platform::SystemFacts& facts_;
  CommandTable ownTable_;
  const CommandTable* table_ = nullptr;
  ScriptRun run_;
  std::optional<ControlFlow> flow_;
  Text marker_;
  bool languageChosen_ = true;
  uint32_t pacingTick_ = 0;
  Text title_;
  bool logo_ = false;
  Text appliedCache_;
  Text loadedLanguage_;
};

}  // namespace

Text RuntimeErrorText(const CompiledScript& script, size_t statement, TextView message) {
  return MessageText(Msg::RuntimeErrorInSetupScript) + u"\r\rSource File: " + SourceName(script.SourceFile(statement)) +
         u"\rLine Number: " + IntToText(int64_t{script.SourceLine(statement)} + 1) + u"\r\r" + Text(message);
}

Text RuntimeErrorTraceLine(const CompiledScript& script, size_t statement, TextView message) {
  return u"    " + MessageText(Msg::RuntimeErrorInSetupScript) + u" " + Text(message) + u" [Source File: " +
         SourceName(script.SourceFile(statement)) + u", Line Number: " +
         IntToText(int64_t{script.SourceLine(statement)} + 1) + u"]";
}

RunOutcome RunScript(const RunRequest& request, int& exitCode) {
  Interpreter interpreter(request, exitCode);
  return interpreter.Run();
}

}  // namespace vx
