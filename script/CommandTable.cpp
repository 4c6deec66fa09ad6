#include "script/CommandTable.h"

#include <algorithm>

#include "script/EngineError.h"
#include "script/InterpreterSeams.h"
#include "script/ScriptSeams.h"

namespace vx {

namespace {

const std::vector<Text> kBuiltinNames = {
    u"Label", u"GoTo Label", u"If", u"Else", u"Else If", u"End", u"While", u"Wend", u"Repeat", u"Until",
    u"For Each", u"Next", u"Break", u"Continue", u"Wizard Loop", u"Return from Include Script", u"Comment",
    u"Ignore", u"Terminate Install", u"Terminate with Exit Code", u"Set Variable", u"Evaluate Expression",
    u"Set 64 Bit Mode", u"Parse String", u"Replace String", u"Convert Case", u"Convert Path", u"Extract Path",
    u"Mathematics", u"Get Temporary File", u"Does File/Folder Exist", u"Is File Locked", u"Get File Version",
    u"Check File Version", u"Check Disk Space", u"Find All Files", u"Delete Files Recursive",
    u"Read Registry", u"Check Registry", u"Find All Registry", u"Delete Registry", u"Get INI File Settings",
    u"Get XML File Settings", u"Edit XML File", u"Evaluate XPath Query", u"Read from Text File",
    u"Write to Text File", u"Run Program", u"Run Program As", u"Remote Run Program", u"Terminate Program",
    u"Terminate Process", u"Check Process", u"Check Service", u"Register Library", u"Get System Settings",
    u"Get OS or SP Level", u"Get Folder Location", u"Get Environment", u"Check Computer",
    u"Find All Computers", u"Create IIS Site", u"Delete IIS Site", u"Create Virtual Folder",
    u"Delete Virtual Folder", u"Control IIS Site", u"Get IIS Property", u"Set IIS Property",
    u"Get IIS Site Index", u"Get IIS Site List", u"IIS Anonymous User", u"Create Group", u"Delete Group",
    u"Create User", u"Delete User", u"Create Share", u"Delete Share", u"Set Access Control",
    u"Create Games Explorer", u"Delete Games Explorer", u"Create Media Center", u"Delete Media Center",
    u"Schedule Task", u"Delete Scheduled Task", u"System Restore", u"Generate Native Images",
    u"Run .NET Installer Class", u"Register Assembly", u"Install Files", u"Install Assembly",
    u"Install Service", u"Control Service", u"Install ODBC Driver", u"Create ODBC DSN", u"Write Registry",
    u"Create Folder", u"Create Shortcut", u"Advertised Shortcut", u"Create File Type",
    u"Advertised File Type", u"Delete Files", u"Copy/Move Local Files", u"Edit INI File", u"Set Environment",
    u"Apply Changes", u"Apply Patch", u"Is MSI Setup Installed", u"Remove Assemblies", u"Define Component",
    u"Delete Component", u"Get Component State", u"Set Component State", u"Get Component Space",
    u"Set Component Space", u"Set Component Choice", u"Set Component Visibility", u"Save Feature Selections",
    u"Load Feature Selections", u"Transform Instance", u"Reboot Computer", u"Reboot and Resume",
    u"Reboot and Login", u"Display Dialog", u"Hide Dialog", u"MessageBox", u"MessageBalloon", u"System Tray",
    u"Localization Variable", u"Web Media Block", u"Extract 7Zip Archive", u"Compress 7Zip Archive",
    u"Delete 7Zip Archive", u"Test 7Zip Archive", u"List 7Zip Archive", u"Run Light Mode Setup",
};

// The values of PROGRESS and PROGRESSTEXT the dispatch last showed on a page left on screen.
struct ProgressSeen {
  std::optional<int32_t> progress;
  Text text;
};

void RefreshPageProgress(CommandContext& ctx) {
  if (!seams::PageShownWithoutWaiting()) return;
  TVariableManager& vars = ctx.Vars();
  const Text text = vars.Get(u"PROGRESSTEXT");
  const int32_t progress = WholeNumber(vars.Get(u"PROGRESS"));
  ProgressSeen& seen = ctx.Run().FamilyState<ProgressSeen>();
  if (seen.progress == progress && seen.text == text) return;
  seen.progress = progress;
  seen.text = text;
  seams::RefreshScriptProgress(text, progress);
  seams::WaitStep(ctx.Run().Silent());
}

}  // namespace


// --- parameter readings ---------------------------------------------------------------------

Text CommandContext::Literal(size_t k) const { return script_.Parameter(statement_, k); }

Text CommandContext::Expanded(size_t k) const { return vars_.Expand(Literal(k)); }

Text CommandContext::Normalized(size_t k) const { return vars_.NormalizedPath(Literal(k)); }

Text CommandContext::Translated(size_t k) const {
  Text line = Literal(k);
  if (run_.LanguageActive()) line = seams::TranslateText(line, Literal(0), static_cast<int>(k));
  return vars_.Expand(line);
}

bool CommandContext::Flag(size_t k) const {
  const Text line = Literal(k);
  return line == u"-1" || UpperText(line) == u"TRUE";
}

int32_t CommandContext::Number(size_t k) const { return WholeNumber(Literal(k)); }

int64_t CommandContext::Number64(size_t k) const {
  const Text line = Literal(k);
  if (auto n = TextToInt64(line)) return *n;
  throw EngineError(u"'" + line + u"' is not a valid integer value");
}

Text CommandContext::NameOrReference(size_t k) const {
  Text line = Literal(k);
  Text name = ReferenceName(line);
  return name.empty() ? line : name;
}

void CommandContext::Write(TextView name, TextView value) const {
  if (name.empty()) return;
  vars_.Set(UpperText(name), value, Reason());
}

void CommandContext::CreateFirst(TextView name) const {
  if (name.empty() || vars_.Exists(name)) return;
  vars_.Define(UpperText(name), u"", Reason());
}

// --- the table --------------------------------------------------------------------------------

CommandTable::CommandTable() : plugin_(&RunUnavailableCommand) {
  for (const Text& name : kBuiltinNames) handlers_.emplace(name, &RunUnavailableCommand);
}

const std::vector<Text>& CommandTable::BuiltinNames() { return kBuiltinNames; }

void CommandTable::Bind(TextView name, CommandHandler handler) {
  auto it = handlers_.find(Text(name));
  if (it == handlers_.end()) throw EngineError(u"'" + Text(name) + u"' is not a built-in command");
  it->second = handler;
}

CommandHandler CommandTable::Find(TextView name) const {
  auto it = handlers_.find(Text(name));
  return it == handlers_.end() ? nullptr : it->second;
}

bool CommandTable::IsBound(TextView name) const {
  CommandHandler handler = Find(name);
  return handler != nullptr && handler != &RunUnavailableCommand;
}

void RunUnavailableCommand(CommandContext& ctx) {
  throw EngineError(u"The command '" + ctx.Command() + u"' is not available in this build");
}

void DispatchStatement(const CommandTable& table, CommandContext& ctx) {
  const CompiledScript& script = ctx.Script();
  if (script.IsCommentedOut(ctx.Statement())) return;
  TVariableManager& vars = ctx.Vars();
  vars.Set(u"ABORT", TruthText(IsTrue(vars.Get(u"ZURI_IsCancelled"))), u"Cancel State");
  RefreshPageProgress(ctx);
  // Listed plug-in names win over built-in names, so a plug-in may reuse one.
  if (!script.pluginCommands.Empty() && script.pluginCommands.IndexOf(ctx.Command()) >= 0) {
    table.Plugin()(ctx);
    return;
  }
  if (CommandHandler handler = table.Find(ctx.Command())) handler(ctx);
}

}  // namespace vx
