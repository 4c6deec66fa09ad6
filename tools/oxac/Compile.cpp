#include "tools/oxac/Compile.h"

#include <unordered_map>

#include "script/EngineError.h"
#include "script/ScriptCompile.h"
#include "tools/oxac/Guid.h"
#include "tools/oxac/MediaPassword.h"

namespace vx::oxac {

namespace {

[[noreturn]] void Fail(const Statement& statement, const std::string& what) {
  throw SourceError(statement.where.file, statement.where.line + 1, what);
}

// The engine finds a parameter block by searching section 3 for the first line equal to the
// statement's identifier, case ignored. A parameter that reads as an identifier would be found
// instead of (or before) the real block and hand another statement's parameters over.
void CheckParameterLines(const Project& project, const TextList& identifiers) {
  for (const Statement& statement : project.statements)
    for (const Text& parameter : statement.parameters)
      if (identifiers.IndexOf(parameter) >= 0)
        Fail(statement, "a parameter reads " + TextToUtf8(parameter) +
                            ", which is the identifier of a statement; the engine would take it for that statement's parameters");
}

// The native file table is searched for a group key the same way: a file line that reads as a
// key would be taken for that group's start.
void CheckFileGroups(const Project& project) {
  TextList keys;
  for (const Statement& statement : project.statements)
    if (!statement.files.empty()) keys.Add(statement.header);
  for (const Statement& statement : project.statements)
    for (const InstalledFile& file : statement.files)
      for (const Text* line : {&file.source, &file.target})
        if (keys.IndexOf(*line) >= 0 || SameText(*line, u"NEWHEADER"))
          Fail(statement, "the file line '" + TextToUtf8(*line) + "' reads as a file group key of the native file table");
}

void AddStatement(CompiledScript& script, std::vector<Text>& blocks, const Statement& statement, const Text& identifier) {
  script.commands.Add(statement.command);
  script.identifiers.Add(identifier);
  script.flags.Add(statement.disabled ? u"C" : u"");
  script.mediaFolders.Add(statement.mediaFolder);
  Text file = Utf8ToText(statement.where.file);
  // The engine shows the file name of a source reference without its folder; Windows separators
  // let it find that name whatever host compiled the script.
  for (char16_t& c : file)
    if (c == u'/') c = u'\\';
  script.sourceReferences.Add(file + u"*" + IntToText(statement.where.line));
  script.includeContexts.Add(statement.includeVariable + u"*" + IntToText(statement.includeDepth));
  if (statement.parameters.empty()) return;
  blocks.push_back(identifier);
  blocks.insert(blocks.end(), statement.parameters.begin(), statement.parameters.end());
}

void AddProductLists(CompiledScript& script, const Project& project) {
  for (const Text& plugin : project.plugins) script.pluginCommands.Add(plugin);
  for (const auto& [block, password] : project.mediaPasswords) {
    script.mediaPasswords.Add(block);
    script.mediaPasswords.Add(EncodeMediaPassword(password).value());  // checked when loaded
  }
  for (const auto& [name, size] : project.components) {
    script.components.Add(name);
    script.components.Add(IntToText(size));
  }
  for (const auto& file : project.mediaFiles) {
    script.mediaFiles.Add(file.block);
    script.mediaFiles.Add(file.path);
    script.mediaFiles.Add(file.destination);
  }
  for (const auto& [name, value] : project.buildValues) {
    script.buildVariables.Add(name);
    script.buildVariables.Add(value);
  }
}

void AddHeadersAndFiles(CompiledScript& script, const Project& project) {
  for (size_t n = 0; n < project.statements.size(); ++n) {
    const Statement& statement = project.statements[n];
    if (statement.header.empty()) continue;
    script.commandHeaders.Add(statement.header);
    script.commandHeaders.Add(IntToText(static_cast<int64_t>(n)));
    if (statement.files.empty()) continue;
    script.nativeFileTable.Add(statement.header);
    script.nativeFileTable.Add(u"NEWHEADER");
    for (const InstalledFile& file : statement.files) {
      script.nativeFileTable.Add(file.source);
      script.nativeFileTable.Add(file.target);
    }
  }
}

}  // namespace

CompiledScript CompileProject(const Project& project) {
  CompiledScript script;
  script.product = project.product;
  const std::string productCode = TextToUtf8(project.product.productCode);
  std::vector<Text> blocks;
  for (size_t n = 0; n < project.statements.size(); ++n) {
    Text identifier = Utf8ToText(StatementIdentifier(productCode, n));
    if (script.identifiers.IndexOf(identifier) >= 0)
      Fail(project.statements[n], "two statements were given the same identifier; change the product code");
    AddStatement(script, blocks, project.statements[n], identifier);
  }
  CheckParameterLines(project, script.identifiers);
  CheckFileGroups(project);
  script.parameters.Push(std::make_shared<const TextList>(std::move(blocks)));
  AddProductLists(script, project);
  AddHeadersAndFiles(script, project);
  return script;
}

std::optional<StructureFault> CheckScriptStructure(const CompiledScript& script) {
  constexpr std::string_view kRefused = "the engine would refuse to run this script (exit code 314): ";
  try {
    const CompileResult result = CompileScript(script);
    if (result.Accepted()) return std::nullopt;
    const bool atStatement = result.result >= 0 && result.result != kCompileCountMismatch;
    return StructureFault{atStatement ? static_cast<size_t>(result.result) : kWholeScript,
                          std::string(kRefused) + TextToUtf8(result.message)};
  } catch (const EngineError& error) {
    return StructureFault{kWholeScript, std::string(kRefused) + error.what()};
  }
}

CompiledScript CompileAndCheck(const Project& project) {
  CompiledScript script = CompileProject(project);
  if (auto fault = CheckScriptStructure(script)) {
    if (fault->statement < project.statements.size()) Fail(project.statements[fault->statement], fault->message);
    throw SourceError(project.where.file, 0, fault->message);
  }
  return script;
}

std::string CompiledScriptBytes(const Project& project) {
  const CompiledScript script = CompileAndCheck(project);
  try {
    return WriteCompiledScript(script);
  } catch (const EngineError& error) {
    throw SourceError(project.where.file, 0, error.what());
  }
}

}  // namespace vx::oxac
