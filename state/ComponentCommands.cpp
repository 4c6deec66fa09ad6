#include "state/ComponentCommands.h"

#include "script/CommandViews.h"
#include "script/EngineError.h"
#include "script/ScriptSeams.h"
#include "state/ComponentState.h"
#include "state/Components.h"

namespace vx {

namespace {

// Parameter 1 of every component command: the name, translated as statement text 1, expanded.
Text ComponentName(const CommandContext& ctx) { return ctx.Translated(1); }

// Statement text 2 of "Define Component" is its parameter 3, the description.
Text DefinitionDescription(const CommandContext& ctx) {
  Text line = ctx.Literal(3);
  if (ctx.Run().LanguageActive()) line = seams::TranslateText(line, ctx.Literal(0), 2);
  return ctx.Vars().Expand(line);
}

void RunDefineComponent(CommandContext& ctx) {
  // The untranslated name is asked only when a translation may have changed it.
  const Text name = ComponentName(ctx);
  const Text untranslated = ctx.Run().LanguageActive() ? ctx.Expanded(1) : Text();
  ProcessComponents().Define(name, ctx.Flag(2), DefinitionDescription(ctx), untranslated);
}

void RunDeleteComponent(CommandContext& ctx) { ProcessComponents().Delete(ComponentName(ctx)); }

void RunGetComponentState(CommandContext& ctx) {
  ctx.WriteTruth(ctx.NameOrReference(2), ProcessComponents().IsSelected(ComponentName(ctx)));
}

void RunSetComponentState(CommandContext& ctx) { ProcessComponents().SetState(ComponentName(ctx), ctx.Flag(2)); }

void RunGetComponentSpace(CommandContext& ctx) {
  const Text name = ComponentName(ctx);
  const TComponentModel& components = ProcessComponents();
  ctx.Write(ctx.NameOrReference(2), IntToText(name.empty() ? components.RequiredSpace() : components.Size(name)));
}

void RunSetComponentSpace(CommandContext& ctx) {
  // A size that is not a whole number leaves the sizes as they are.
  (void)ProcessComponents().SetSize(ComponentName(ctx), ctx.Expanded(2));
}

void RunSetComponentChoice(CommandContext& ctx) { ProcessComponents().SetChoice(ComponentName(ctx), ctx.Flag(2)); }

void RunSetComponentVisibility(CommandContext& ctx) {
  ProcessComponents().SetVisibility(ComponentName(ctx), ctx.Flag(2));
}

void RunSaveFeatureSelections(CommandContext& ctx) {
  const Text path = ctx.Normalized(1);
  const Text& mode = ctx.Run().BitnessMode();
  const std::string bytes = WriteComponentState(
      ProcessComponents(), CollectStateValues(ctx.Vars(), ProcessPersistedVariables(), mode, u""));
  FileSystemViewSwitch view(mode);
  if (!WriteStateFile(path, bytes)) throw EngineError(u"Cannot write the feature selections to " + path);
}

void RunLoadFeatureSelections(CommandContext& ctx) {
  const Text path = ctx.Normalized(1);
  std::optional<ComponentStateFile> file;
  {
    FileSystemViewSwitch view(ctx.Run().BitnessMode());
    file = ReadStateFile(path);
  }
  if (!file) return;
  const AppliedState applied = ApplyMergedState(*file, ProcessComponents(), ctx.Vars(), ProcessPersistedVariables());
  if (applied.bitnessMode) {
    for (TextView mode : {kModeWin32, kModeX64, kModeIa64})
      if (*applied.bitnessMode == mode) ctx.Run().SetBitnessMode(mode);
  }
}

}  // namespace

void RegisterComponentCommands(CommandTable& table) {
  table.Bind(u"Define Component", &RunDefineComponent);
  table.Bind(u"Delete Component", &RunDeleteComponent);
  table.Bind(u"Get Component State", &RunGetComponentState);
  table.Bind(u"Set Component State", &RunSetComponentState);
  table.Bind(u"Get Component Space", &RunGetComponentSpace);
  table.Bind(u"Set Component Space", &RunSetComponentSpace);
  table.Bind(u"Set Component Choice", &RunSetComponentChoice);
  table.Bind(u"Set Component Visibility", &RunSetComponentVisibility);
  table.Bind(u"Save Feature Selections", &RunSaveFeatureSelections);
  table.Bind(u"Load Feature Selections", &RunLoadFeatureSelections);
}

}  // namespace vx
