#include "tools/oxac/Tool.h"

#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "engine/PeImage.h"
#include "media/LanguageData.h"
#include "tools/oxac/Compile.h"
#include "tools/oxac/Guid.h"
#include "tools/oxac/Paths.h"
#include "tools/oxac/Project.h"
#include "tools/oxac/Skeleton.h"

namespace vx::oxac {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUsage =
    "usage:\n"
    "  oxac compile PROJECT -o OUT.script\n"
    "      compile the project into the engine's script format\n"
    "  oxac build PROJECT -o FOLDER [--stub PATH] [--name NAME] [--language FILE]\n"
    "      write FOLDER/NAME.exe (engine stub + compiled script), FOLDER/NAME.res (the packed\n"
    "      resource folder) and FOLDER/oxa.lib (copied from beside the stub when it is there,\n"
    "      with the language file FILE appended); NAME defaults to the project file's name\n"
    "  oxac new [FILE]\n"
    "      print a new project with fresh product and revision codes, or write it to FILE\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> output;
  std::optional<std::string> stub;
  std::optional<std::string> name;
  std::optional<std::string> language;
};

Arguments ParseArguments(const std::vector<std::string>& args, bool withBuildOptions) {
  Arguments parsed;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::optional<std::string>* option = nullptr;
    if (arg == "-o" || arg == "--output") option = &parsed.output;
    if (withBuildOptions && arg == "--stub") option = &parsed.stub;
    if (withBuildOptions && arg == "--name") option = &parsed.name;
    if (withBuildOptions && arg == "--language") option = &parsed.language;
    if (option) {
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      *option = args[++i];
    } else if (arg.size() > 1 && arg.front() == '-') {
      throw UsageError("unknown option " + arg);
    } else {
      parsed.positional.push_back(arg);
    }
  }
  return parsed;
}

std::string ReadBinary(const fs::path& path, const std::string& what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + what + " " + PathUtf8(path));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw std::runtime_error("cannot read " + what + " " + PathUtf8(path));
  return bytes.str();
}

// The engine reads its script from the end of its image on; a stub with anything after its image
// (an unstripped build, or a setup built before) would make the engine read that as the script.
void CheckStub(const fs::path& path, std::string_view bytes) {
  const auto imageEnd = PeImageEnd(bytes.substr(0, kPeHeaderReadSize));
  if (!imageEnd) throw std::runtime_error("the engine stub " + PathUtf8(path) + " is not a Windows executable");
  if (*imageEnd != bytes.size())
    throw std::runtime_error("the engine stub " + PathUtf8(path) +
                             " carries data after its image (an unstripped build, or a setup built from it before)");
}

fs::path DefaultStub(const fs::path& self) {
  const fs::path folder = self.parent_path();
  const fs::path beside = folder / "oxastub.exe";
  if (fs::exists(beside)) return beside;
  return (folder / ".." / ".." / "win64" / "bin" / "oxastub.exe").lexically_normal();
}

Project Load(const std::string& shownPath) { return LoadProject(Utf8Path(shownPath), shownPath); }

int Compile(const Arguments& args, const ToolContext& context) {
  if (args.positional.size() != 1 || !args.output) throw UsageError("compile needs PROJECT and -o OUT.script");
  const std::string bytes = CompiledScriptBytes(Load(args.positional[0]));
  WriteFileAtomically(Utf8Path(*args.output), bytes);
  context.out << "oxac: wrote " << *args.output << " (" << bytes.size() << " bytes)\n";
  return 0;
}

int Build(const Arguments& args, const ToolContext& context) {
  if (args.positional.size() != 1 || !args.output) throw UsageError("build needs PROJECT and -o FOLDER");
  const Project project = Load(args.positional[0]);
  const std::string script = CompiledScriptBytes(project);

  const fs::path stubPath = args.stub ? Utf8Path(*args.stub) : DefaultStub(context.self);
  if (!fs::exists(stubPath))
    throw std::runtime_error("no engine stub at " + PathUtf8(stubPath) + "; give one with --stub PATH");
  const std::string stub = ReadBinary(stubPath, "the engine stub");
  CheckStub(stubPath, stub);

  const std::string name = args.name ? *args.name : PathUtf8(Utf8Path(args.positional[0]).stem());
  if (name.empty() || name.find_first_of("/\\:*?\"<>|") != std::string::npos)
    throw UsageError("the setup name '" + name + "' is not a file name");
  const fs::path folder = Utf8Path(*args.output);
  fs::create_directories(folder);

  // The resource archive comes first: when it cannot be made, nothing of the setup is written.
  const fs::path res = folder / Utf8Path(name + ".res");
  const bool packs = fs::is_directory(project.resourceFolder);
  if (packs && !context.packResources(project.resourceFolder, res))
    throw std::runtime_error("the setup was not written: its resource folder could not be packed");
  try {
    WriteFileAtomically(folder / Utf8Path(name + ".exe"), stub + script);
    const fs::path library = stubPath.parent_path() / "oxa.lib";
    if (args.language && !fs::exists(library))
      throw std::runtime_error("--language needs the archive library oxa.lib beside the stub");
    if (fs::exists(library)) {
      std::string bytes = ReadBinary(library, "the archive library");
      if (args.language) {
        std::optional<std::string> combined =
            WithLanguageData(bytes, ReadBinary(Utf8Path(*args.language), "the language file"));
        if (!combined) throw std::runtime_error(PathUtf8(library) + " is not a Windows image");
        bytes = std::move(*combined);
      }
      WriteFileAtomically(folder / "oxa.lib", bytes);
    }
  } catch (...) {
    std::error_code ignored;
    if (packs) fs::remove(res, ignored);
    throw;
  }
  context.out << "oxac: built " << PathUtf8(folder / Utf8Path(name + ".exe")) << " (engine " << stub.size()
              << " bytes + script " << script.size() << " bytes)" << (packs ? ", " + name + ".res" : std::string())
              << "\n";
  return 0;
}

int New(const Arguments& args, const ToolContext& context) {
  if (args.positional.size() > 1 || args.output) throw UsageError("new takes at most one FILE");
  const std::string text = ProjectSkeleton(RandomGuid(), RandomGuid());
  if (args.positional.empty()) {
    context.out << text;
    return 0;
  }
  const fs::path path = Utf8Path(args.positional[0]);
  if (fs::exists(path)) throw std::runtime_error(args.positional[0] + " exists already; oxac new does not overwrite it");
  WriteFileAtomically(path, text);
  context.out << "oxac: wrote " << args.positional[0] << "\n";
  return 0;
}

}  // namespace

void WriteFileAtomically(const fs::path& path, std::string_view bytes) {
  fs::path temporary = path;
  temporary += ".oxac-partial";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      throw std::runtime_error("cannot write " + PathUtf8(path));
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) {
    // Some file systems do not rename over an existing file.
    fs::remove(path, error);
    fs::rename(temporary, path, error);
  }
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw std::runtime_error("cannot write " + PathUtf8(path) + ": " + error.message());
  }
}

int RunOxac(const std::vector<std::string>& args, const ToolContext& context) {
  try {
    if (args.empty() || args[0] == "help" || args[0] == "-h" || args[0] == "--help") {
      (args.empty() ? context.err : context.out) << kUsage;
      return args.empty() ? 2 : 0;
    }
    const std::string& command = args[0];
    if (command == "compile") return Compile(ParseArguments(args, false), context);
    if (command == "build") return Build(ParseArguments(args, true), context);
    if (command == "new") return New(ParseArguments(args, false), context);
    throw UsageError("unknown command '" + command + "'");
  } catch (const UsageError& error) {
    context.err << "oxac: " << error.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& error) {
    context.err << "oxac: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace vx::oxac
