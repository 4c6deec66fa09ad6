#include "engine/uSetupInit.h"

#include <optional>

#include "commands/CommandFamilies.h"
#include "engine/CommandLine.h"
#include "engine/PeImage.h"
#include "engine/StartupSeams.h"
#include "engine/SupportFolder.h"
#include "platform/FileIO.h"
#include "platform/Process.h"
#include "platform/Win32.h"
#include "script/EngineError.h"
#include "script/Interpreter.h"
#include "ui/uLanguage.h"

namespace vx {

namespace {

using platform::FromW;
using platform::UniqueHandle;
using platform::W;

constexpr int kExitNoScript = 13;
constexpr int kExitNoResource = 14;
constexpr int kExitResourceFailure = 15;
constexpr int kExitStartupError = 11;

// A named stop of start-up: its box and exit code, then straight to the end of the trace.
struct StartupStop {
  int exitCode;
  Text message;
};

Text WithBackslash(Text path) {
  if (path.empty() || path.back() != u'\\') path.push_back(u'\\');
  return path;
}

Text FolderOf(const Text& path) { return path.substr(0, path.find_last_of(u"\\/") + 1); }

// Windows' own version, whatever compatibility shims tell the process.
OSVERSIONINFOW RealWindowsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
    if (auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))))
      fn(&info);
  return info;
}

class SetupProcess {
 public:
  int Run() {
    const Text raw = FromW(GetCommandLineW());
    const std::vector<Text> params = SplitCommandLine(raw);
    if (IsExtractionMode(params)) return RunOutOfProcessExtract(params.size() > 2 ? params[2] : Text());

    bool stopped = false;
    try {
      StartUp(raw, params);
      RunAndFree();
    } catch (const StartupStop& stop) {
      // A stop leaves the support folder in place and skips straight to the end of the trace.
      ErrorBox(stop.message);
      exitCode_ = stop.exitCode;
      stopped = true;
    } catch (const EngineError& e) {
      StartupError(e.Message());
    } catch (const std::exception& e) {
      StartupError(Utf8ToText(e.what()));
    }
    if (!stopped) RemoveSupportFolder();
    trace_.Line(u"</Veltrix>");
    if (secondInstance_) platform::TerminateProcessNow(0);
    return exitCode_;
  }

 private:
  void StartUp(const Text& raw, const std::vector<Text>& params) {
    RegisterHostApp();
    FixFolders();
    LoadAppendedLanguageData(values_);
    values_.resourceArchive = values_.exeFolder + values_.exeBaseName + u".res";
    values_.commandLineRest = CommandLineRest(raw);
    ReadSwitches(params, values_);
    trace_.SetPath(values_.logPath);

    trace_.Line(u"<Veltrix>");
    trace_.Line(u"    <SupportDir>");
    values_.supportFolder = CreateSupportFolder(values_.tempFolder);
    trace_.Line(u"    </SupportDir>");

    trace_.Line(u"  <SetupSplash>");
    const bool startupWindow = !values_.silent && !values_.update;
    if (startupWindow) ShowStartupWindow(values_);
    LoadAppendedScript();
    ExtractResources();
    trace_.Line(u"    <ResourcePath>");
    if (startupWindow) ShowStartupImage(values_);
    CopyBesideFile(u".msi");
    CopyBesideFile(u".msp");
    values_.dataFolder = values_.exeFolder + u"data\\";
    trace_.Line(u"    </ResourcePath>");
    PreloadDialogs(startupWindow);
    if (startupWindow) CloseStartupWindow();
    trace_.Line(u"  </SetupSplash>");
  }

  void RunAndFree() {
    trace_.Line(u"  <RunScript>");
    RunRequest request{*script_,
                       values_,
                       trace_,
                       values_.supportFolder + values_.exeBaseName + u".msi",
                       &BuiltinCommands(),
                       nullptr,
                       [this] { EndOfRunSave(*script_); },
                       [this] {
                         if (!values_.supportFolder.empty()) RemoveFolder(values_.supportFolder);
                       }};
    secondInstance_ = RunScript(request, exitCode_).secondInstance;
    if (!secondInstance_) EndOfRun();
    trace_.Line(u"  </RunScript>");
    trace_.Line(u"  <Free>");
    script_.reset();
    trace_.Line(u"  </Free>");
  }

  // Tells the shell that the setup is a host application, so it is not pinned or listed as the
  // program the user started.
  void RegisterHostApp() {
    const Text exePath = ExePath();
    const OSVERSIONINFOW version = RealWindowsVersion();
    HKEY raw = nullptr;
    if (version.dwMajorVersion > 6 || (version.dwMajorVersion == 6 && version.dwMinorVersion >= 1)) {
      const Text key = u"Applications\\" + exePath.substr(exePath.find_last_of(u'\\') + 1);
      if (RegCreateKeyExW(HKEY_CLASSES_ROOT, W(key), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) == ERROR_SUCCESS) {
        platform::UniqueRegKey owned(raw);
        RegSetValueExW(raw, L"IsHostApp", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
      }
    } else if (version.dwMajorVersion == 6 && version.dwMinorVersion == 0) {
      const wchar_t* key = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted";
      if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) == ERROR_SUCCESS) {
        platform::UniqueRegKey owned(raw);
        DWORD data = 32;
        RegSetValueExW(raw, W(exePath), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
      }
    }
  }

  static Text ExePath() {
    return platform::GrowingTextCall([](wchar_t* b, DWORD n) { return GetModuleFileNameW(nullptr, b, n); });
  }

  void FixFolders() {
    const Text exePath = ExePath();
    values_.exeFolder = FolderOf(exePath);
    values_.exeName = exePath.substr(values_.exeFolder.size());
    values_.exeBaseName = values_.exeName.substr(0, values_.exeName.find_last_of(u'.'));
    Text temp = platform::GrowingTextCall([](wchar_t* b, DWORD n) { return GetTempPathW(n, b); });
    if (temp.empty()) throw EngineError(u"The temporary folder is not known: " + platform::SystemErrorText(GetLastError()));
    Text longForm = platform::GrowingTextCall([&temp](wchar_t* b, DWORD n) { return GetLongPathNameW(W(temp), b, n); });
    values_.tempFolder = WithBackslash(longForm.empty() ? temp : longForm);
    if (!CreateFolderTree(values_.tempFolder))
      throw EngineError(u"Cannot create the temporary folder " + values_.tempFolder + u": " +
                        platform::SystemErrorText(GetLastError()));
  }

  // Copies what follows the executable image in our own file to "oxa.tmp" in the support folder,
  // loads it as the compiled script, and deletes the copy.
  void LoadAppendedScript() {
    trace_.Line(u"    <StubSize>");
    const Text exePath = ExePath();
    UniqueHandle exe(CreateFileW(W(exePath), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!exe) throw EngineError(u"Cannot open " + exePath + u": " + platform::SystemErrorText(GetLastError()));
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(exe.get(), &size)) throw EngineError(u"Cannot read the size of " + exePath);
    std::string header(static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, kPeHeaderReadSize)), '\0');
    DWORD read = 0;
    if (!ReadFile(exe.get(), header.data(), static_cast<DWORD>(header.size()), &read, nullptr) || read != header.size())
      throw EngineError(u"Cannot read the header of " + exePath);
    const std::optional<uint64_t> imageEnd = PeImageEnd(header);
    if (!imageEnd || *imageEnd > static_cast<uint64_t>(size.QuadPart))
      throw EngineError(u"The setup executable " + exePath + u" is damaged: its image is incomplete");
    trace_.Line(u"    </StubSize>");
    if (*imageEnd == static_cast<uint64_t>(size.QuadPart)) throw StartupStop{kExitNoScript, u"For internal use only"};

    trace_.Line(u"    <StubData>");
    const Text copyPath = values_.supportFolder + u"oxa.tmp";
    CopyTail(exe.get(), *imageEnd, static_cast<uint64_t>(size.QuadPart) - *imageEnd, copyPath);
    exe = UniqueHandle();
    trace_.Line(u"    </StubData>");

    trace_.Line(u"    <GlobalLists>");
    struct DeleteCopy {
      const Text& path;
      ~DeleteCopy() { DeleteFileW(W(path)); }
    } deleteCopy{copyPath};
    std::optional<std::string> bytes = platform::ReadWholeFile(copyPath);
    if (!bytes) throw EngineError(u"Cannot read the setup script copy " + copyPath);
    script_.emplace(LoadCompiledScript(*bytes));
    trace_.Line(u"    </GlobalLists>");
  }

  static void CopyTail(HANDLE exe, uint64_t from, uint64_t count, const Text& to) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(from);
    if (!SetFilePointerEx(exe, at, nullptr, FILE_BEGIN)) throw EngineError(u"Cannot seek in the setup executable");
    UniqueHandle out(CreateFileW(W(to), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!out) throw EngineError(u"Cannot create " + to + u": " + platform::SystemErrorText(GetLastError()));
    std::string buffer(1 << 20, '\0');
    while (count > 0) {
      DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(count, buffer.size()));
      DWORD read = 0;
      DWORD written = 0;
      if (!ReadFile(exe, buffer.data(), chunk, &read, nullptr) || read != chunk)
        throw EngineError(u"Cannot read the setup script from the setup executable");
      if (!WriteFile(out.get(), buffer.data(), chunk, &written, nullptr) || written != chunk)
        throw EngineError(u"Cannot write " + to + u": " + platform::SystemErrorText(GetLastError()));
      count -= chunk;
    }
  }

  void ExtractResources() {
    trace_.Line(u"    <ExtractArchive>");
    if (GetFileAttributesW(W(values_.resourceArchive)) == INVALID_FILE_ATTRIBUTES)
      throw StartupStop{kExitNoResource, MessageText(Msg::SetupResourceNotFound)};
    if (!ExtractResourceArchive(values_))
      throw StartupStop{kExitResourceFailure, MessageText(Msg::SetupResourceDecompressionFailure)};
    trace_.Line(u"    </ExtractArchive>");
  }

  // Copies base name + extension from beside the executable into the support folder, with normal
  // attributes; a missing source is not an error.
  void CopyBesideFile(const Text& extension) {
    const Text from = values_.exeFolder + values_.exeBaseName + extension;
    const Text to = values_.supportFolder + values_.exeBaseName + extension;
    if (CopyFileW(W(from), W(to), FALSE)) SetFileAttributesW(W(to), FILE_ATTRIBUTE_NORMAL);
  }

  void PreloadDialogs(bool startupWindow) {
    trace_.Line(u"    <Dialogs>");
    std::vector<size_t> pages;
    for (size_t n = 0; n < script_->StatementCount(); ++n)
      if (script_->commands.Get(n) == u"Display Dialog" && !script_->IsCommentedOut(n)) pages.push_back(n);
    if (startupWindow) SetStartupProgress(1, static_cast<int>(pages.size()));
    PrepareDialogRuntime(values_.supportFolder);
    int position = 1;
    for (size_t n : pages) {
      PreloadDialog(values_.supportFolder + script_->Parameter(n, 1) + u".dfm", n);
      if (startupWindow) SetStartupProgress(++position, static_cast<int>(pages.size()));
    }
    trace_.Line(u"    </Dialogs>");
  }

  // After the script: drop the downloaded media of a web setup when the build asks for it, then
  // save the installed-product state.
  void EndOfRun() {
    if (SameText(script_->BuildValue(u"#CACHESOURCES#"), u"FALSE") && script_->product.packageKind == 2) {
      const Text cache = ProductCacheFolder(*script_);
      if (!cache.empty()) RemoveSubfoldersExcept(cache, u"OFFLINE");
    }
    EndOfRunSave(*script_);
  }

  void RemoveSupportFolder() {
    trace_.Line(u"  <CachedSupportDir>");
    if (!values_.supportFolder.empty()) RemoveFolder(values_.supportFolder);
    trace_.Line(u"  </CachedSupportDir>");
  }

  void StartupError(const Text& message) {
    ErrorBox(MessageText(Msg::RuntimeErrorInInstall) + message);
    exitCode_ = kExitStartupError;
  }

  // The box of a stop or a start-up error; a silent run has no box, so the text goes to the trace.
  void ErrorBox(const Text& text) {
    if (values_.silent)
      trace_.Line(u"  " + text);
    else
      MessageBoxW(nullptr, W(text), W(CurrentSetupCaption()), MB_OK | MB_ICONERROR);
  }

  StartupValues values_;
  RunTrace trace_;
  std::optional<CompiledScript> script_;
  int exitCode_ = 0;
  bool secondInstance_ = false;
};

}  // namespace

int RunSetupProcess() {
  SetupProcess process;
  return process.Run();
}

}  // namespace vx
