#include "script/PredefinedVariables.h"

#include <optional>
#include <utility>
#include <vector>

#include "script/ScriptSeams.h"

namespace vx {

namespace {

// The folder part of a path, up to and including its last backslash or drive colon; empty when
// the path names no folder.
Text FolderOf(TextView path) {
  const size_t cut = path.find_last_of(u"\\:");
  return cut == TextView::npos ? Text() : Text(path.substr(0, cut + 1));
}

Text FileNameOf(TextView path) {
  const size_t cut = path.find_last_of(u"\\:");
  return Text(cut == TextView::npos ? path : path.substr(cut + 1));
}

Text SetupPathReference(const Text& policyFolder, const Text& wrapperFolder) {
  if (!policyFolder.empty()) return u"$GPOPATH$";
  if (!wrapperFolder.empty()) return u"$SFXPATH$";
  return u"$EXEDIR$";
}

struct Initial {
  TextView name;
  Text value;
  bool onlyWhenMissing = false;
};

// The Initialization table, in the order the variables are defined.
std::vector<Initial> InitializationTable(const PredefinedSources& from) {
  const StartupValues& s = from.startup;
  const ProductValues& p = from.script.product;
  const platform::SystemFacts& facts = from.facts;
  const Text policyFolder = FolderOf(s.policyPath);
  const Text wrapperFolder = FolderOf(s.wrapperPath);
  return {
      {u"ZURI_TIMEOUT", u"10"},
      {u"ZURI_COMPRESS_INSTALLER_CACHE", u"FALSE"},
      {u"ZURI_DISABLE_ROLLBACK", u"FALSE"},
      {u"ZURI_DISABLE_VISTA_RESTART_MANAGER", u"FALSE"},
      {u"CHARSET_OVERRIDE", u""},
      {u"NATIVE_ENGINE", u"FALSE", true},
      {u"NATIVE_LOGGING", u""},
      {u"NATIVE_ROLLBACK", u"TRUE"},
      {u"NATIVE_HARDLINK", u"TRUE"},
      {u"NATIVE_ERROR", u"PROMPT"},
      {u"NATIVE_OVERWRITE", u"PROMPT"},
      {u"NATIVE_OVERWRITE_OLDER", u"FALSE"},
      {u"NATIVE_PROGRESS", u"0"},
      {u"DELAYUNTIL_APPLYCHANGES", u"FALSE"},
      {u"NATIVE_OVERRIDE_PERMISSIONS", u"FALSE"},
      {u"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", u"FALSE"},
      {u"IISHOST", u"localhost"},
      {u"OVERRIDECACHE", u"", true},
      {u"MYAHLOGO", u""},
      {u"SELECTED", u"0"},
      {u"WINDOWHANDLE", u"0"},
      {u"EXEFILE", s.exeFolder + s.exeName},
      {u"EXEDIR", s.exeFolder},
      {u"PROGRESSTEXT", u""},
      {u"PROGRESSMODE", u""},
      {u"CUSTOM_TASKBAR_PROGRESS_ENABLED", u"FALSE"},
      {u"CUSTOM_TASKBAR_PROGRESS_PERCENT", u"0"},
      {u"CUSTOM_TASKBAR_PROGRESS_MAX", u"100"},
      {u"ABORT", u"FALSE"},
      {u"PROGRESS", u"0"},
      {u"LASTERROR", u""},
      {u"LICENSE", u"FALSE"},
      {u"USERNAME", facts.RegisteredOwner()},
      {u"USERCOMPANY", facts.RegisteredOrganization()},
      {u"COPYWEBLOCK", u""},
      {u"REBOOTCOMPUTER", u"FALSE"},
      {u"RUNAPP", u"TRUE"},
      {u"WIZARD", u"NEXT"},
      {u"FX", u"SLIDE"},
      {u"FXGROUND", u"BACKGROUND"},
      {u"FXTIME", u"1000"},
      {u"VERSION", p.version},
      {u"SILENT", TruthText(s.silent)},
      {u"LOGGED", s.logPath},
      {u"CMDLINE", s.commandLineRest},
      {u"REBOOTNOW", u"OK"},
      {u"SFXPATH", wrapperFolder},
      {u"SFXFILE", FileNameOf(s.wrapperPath)},
      {u"GPOPATH", policyFolder},
      {u"SETUPPATH", SetupPathReference(policyFolder, wrapperFolder)},
      {u"COMPLETE", u"TRUE"},
      {u"NEWLINE", u"\r\n"},
      {u"MINIMUM", u"FALSE"},
      {u"PERSONALIZED", u"FALSE"},
      {u"MODIFY", u"TRUE"},
      {u"GLASS", u"TRUE"},  // the machine's answer follows once the table is defined
      {u"REPAIR", u"FALSE"},
      {u"REMOVE", u"FALSE"},
      {u"ROOTDIR", s.exeFolder},
      {u"TITLE", p.title},
      {u"COMPANY", p.publisher},
      {u"ADVERTISE", u"FALSE"},
      {u"DATE", facts.ShortDate()},
      {u"TIME", facts.LongTime()},
      {u"TEMPDIR", s.tempFolder},
      {u"ABORTONERROR", u"TRUE"},
      {u"ABORTEDONERROR", u"FALSE"},
      {u"SAVEDATA", u"FALSE"},
      {u"SUPPORTDIR", s.supportFolder},
      {u"MSIFILE", from.packagePath},
      {u"LANGUAGE", u""},
  };
}

}  // namespace

void StoreProgressVariables(TVariableManager& vars, uint32_t tick) {
  const Text now = IntToText(tick);
  vars.Store(u"ZURI_thProgress", u"0");
  vars.Store(u"ZURI_thMax", u"100");
  vars.Store(u"ZURI_thMin", u"0");
  vars.Store(u"ZURI_thProgressText", u"");
  vars.Store(u"ZURI_thFinished", u"FALSE");
  vars.Store(u"ZURI_thCancelled", u"FALSE");
  vars.Store(u"ZURI_IsCancelled", u"FALSE");
  vars.Store(u"ZURI_LastDelegateTick", now);
  vars.Store(u"ZURI_LastActiveTick", now);
}

void DefinePreInitializationVariables(TVariableManager& vars, const PredefinedSources& from) {
  vars.Define(u"TARGETDIR", u"", kOriginPreInitialization);
  vars.Define(u"STARTMENU", from.script.product.title, kOriginPreInitialization);
  vars.Define(u"ALLUSERS", TruthText(from.facts.IsElevatedAdministrator()), kOriginPreInitialization);
}

Text GlassValue(const platform::SystemFacts& facts) {
  const bool vistaOrLater = facts.WindowsMajorVersion() >= 6;
  if (facts.DesktopCompositionEnabled()) return TruthText(vistaOrLater);
  return TruthText(vistaOrLater && facts.VisualStylesEnabled());
}

bool DefineInitializationVariables(TVariableManager& vars, const PredefinedSources& from) {
  seams::DefinePredefinedComponent(from.script, vars);
  for (const Initial& v : InitializationTable(from)) {
    if (v.onlyWhenMissing && vars.Exists(v.name)) continue;
    vars.Define(v.name, v.value, kOriginInitialization);
  }
  vars.Define(u"GLASS", GlassValue(from.facts), kOriginInitialization);
  seams::LoadPatchState(from.script, vars, from.packagePath);
  seams::RemoveRestartEntries(from.script, vars);
  seams::PrescanCommandHeaders(from.script, vars);
  return seams::ChooseStartupLanguage(from.script, vars);
}

void DefineDateAndTime(TVariableManager& vars, const platform::SystemFacts& facts) {
  vars.Define(u"DATE", facts.ShortDate(), kOriginInitialization);
  vars.Define(u"TIME", facts.LongTime(), kOriginInitialization);
}

void ApplyCommandLineAssignments(TVariableManager& vars, const StartupValues& startup) {
  std::vector<Text> names;
  for (const auto& [name, value] : startup.assignments) names.push_back(name);
  vars.SetCommandLineNames(std::move(names));
  vars.SetSilent(startup.silent);
  for (const auto& [name, value] : startup.assignments) {
    if (vars.Exists(name)) {
      vars.Set(name, value, kOriginCommandLine);
    } else {
      vars.Define(name, value, kOriginCommandLine);
    }
  }
}

}  // namespace vx
