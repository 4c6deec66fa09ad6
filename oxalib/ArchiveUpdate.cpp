// Creating, updating and deleting from archives. The new archive is written beside the old one
// under a temporary name and replaces it only when it is complete.
#include <unordered_map>

#include "media/ArchiveRules.h"
#include "oxalib/OxaCore.h"

namespace oxa {

namespace {

struct SourceFile {
  std::wstring fullPath;
  std::wstring archivePath;
  bool isDir = false;
  uint64_t size = 0;
  uint64_t created = 0;
  uint64_t accessed = 0;
  uint64_t modified = 0;
  uint32_t attributes = 0;
};

// One item of the new archive: copied from the old one, or taken from a file.
struct UpdateItem {
  UInt32 archiveIndex = static_cast<UInt32>(-1);
  const SourceFile* source = nullptr;
};

uint64_t Ticks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

template <typename Body>
HRESULT Guarded(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

std::wstring Lower(const std::wstring& s) { return AsWide(vx::LowerText(AsText(s))); }

bool HasSeparator(const std::wstring& s) { return s.find_first_of(L"\\/") != std::wstring::npos; }

// Excludes with a folder part match the full path (a folder excludes its tree); bare names and
// patterns match the file name at any depth.
class Excludes {
 public:
  explicit Excludes(const FileList* list) {
    if (!list || !list->items) return;
    for (int32_t i = 0; i < list->count; ++i) {
      if (list->items[i] && *list->items[i]) items_.emplace_back(list->items[i]);
    }
  }
  [[nodiscard]] bool Excluded(const std::wstring& fullPath, const std::wstring& name) const {
    for (const std::wstring& item : items_) {
      if (HasSeparator(item) ? vx::ItemSelectsEntry(AsText(item), AsText(fullPath))
                             : vx::MatchesPattern(AsText(item), AsText(name))) {
        return true;
      }
    }
    return false;
  }

 private:
  std::vector<std::wstring> items_;
};

class SourceCollector {
 public:
  explicit SourceCollector(const Excludes& excludes) : excludes_(excludes) {}

  void AddInclude(const std::wstring& item) {
    std::wstring full = FullPath(item);
    size_t slash = full.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1);
    std::wstring name = slash == std::wstring::npos ? full : full.substr(slash + 1);
    if (name.find_first_of(L"*?") == std::wstring::npos) {
      WIN32_FILE_ATTRIBUTE_DATA data{};
      if (!GetFileAttributesExW(LongPath(full).c_str(), GetFileExInfoStandard, &data)) Fail(kErrorSourceFile);
      Add(full, name, name, data.dwFileAttributes, data);
      return;
    }
    ForEachMatch(full, [&](const WIN32_FIND_DATAW& found) {
      std::wstring childName = found.cFileName;
      WIN32_FILE_ATTRIBUTE_DATA data{found.dwFileAttributes, found.ftCreationTime, found.ftLastAccessTime,
                                     found.ftLastWriteTime, found.nFileSizeHigh, found.nFileSizeLow};
      Add(folder + childName, childName, childName, found.dwFileAttributes, data);
    });
  }

  [[nodiscard]] std::vector<SourceFile> Take() {
    // The last file given for an archive path wins.
    std::vector<SourceFile> unique;
    std::unordered_map<std::wstring, size_t> byName;
    for (SourceFile& file : files_) {
      auto [it, inserted] = byName.emplace(Lower(file.archivePath), unique.size());
      if (inserted) {
        unique.push_back(std::move(file));
      } else {
        unique[it->second] = std::move(file);
      }
    }
    return unique;
  }

 private:
  template <typename Visit>
  static void ForEachMatch(const std::wstring& pattern, Visit visit) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(LongPath(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") visit(found);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }

  void Add(const std::wstring& full, const std::wstring& name, const std::wstring& archivePath, DWORD attributes,
           const WIN32_FILE_ATTRIBUTE_DATA& data) {
    if (excludes_.Excluded(full, name)) return;
    SourceFile file;
    file.fullPath = full;
    file.archivePath = archivePath;
    file.isDir = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    file.size = file.isDir ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    file.created = Ticks(data.ftCreationTime);
    file.accessed = Ticks(data.ftLastAccessTime);
    file.modified = Ticks(data.ftLastWriteTime);
    file.attributes = attributes;
    files_.push_back(file);
    if (!file.isDir) return;
    ForEachMatch(full + L"\\*", [&](const WIN32_FIND_DATAW& found) {
      std::wstring childName = found.cFileName;
      WIN32_FILE_ATTRIBUTE_DATA childData{found.dwFileAttributes, found.ftCreationTime, found.ftLastAccessTime,
                                          found.ftLastWriteTime, found.nFileSizeHigh, found.nFileSizeLow};
      Add(full + L"\\" + childName, childName, archivePath + L"\\" + childName, found.dwFileAttributes, childData);
    });
  }

  const Excludes& excludes_;
  std::vector<SourceFile> files_;
};

class UpdateCallback final : public IArchiveUpdateCallback,
                             public ICryptoGetTextPassword2,
                             public ICryptoGetTextPassword,
                             public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_3(IArchiveUpdateCallback, ICryptoGetTextPassword2, ICryptoGetTextPassword)
  Z7_IFACE_COM7_IMP(IProgress)
 public:
  UpdateCallback(const std::vector<UpdateItem>& items, PasswordSource& password, ProgressReporter& progress,
                 QueryCallback query, bool shareForWrite)
      : items_(items), password_(password), progress_(progress), query_(query), shareForWrite_(shareForWrite) {}
  [[nodiscard]] int32_t Error() const { return error_; }

 private:
  HRESULT Record(int32_t code) {
    if (error_ == kErrorNone) error_ = code;
    return E_ABORT;
  }
  const std::vector<UpdateItem>& items_;
  PasswordSource& password_;
  ProgressReporter& progress_;
  QueryCallback query_;
  bool shareForWrite_;
  int32_t error_ = kErrorNone;
};

Z7_COM7F_IMF(UpdateCallback::SetTotal(UInt64 total)) {
  progress_.SetTotal(total);
  return S_OK;
}

Z7_COM7F_IMF(UpdateCallback::SetCompleted(const UInt64* completed)) {
  return Guarded([&] { return progress_.Report(completed ? *completed : 0); });
}

Z7_COM7F_IMF(UpdateCallback::GetUpdateItemInfo(UInt32 index, Int32* newData, Int32* newProps,
                                              UInt32* indexInArchive)) {
  if (index >= items_.size()) return E_INVALIDARG;
  const UpdateItem& item = items_[index];
  if (newData) *newData = item.source ? 1 : 0;
  if (newProps) *newProps = item.source ? 1 : 0;
  if (indexInArchive) *indexInArchive = item.archiveIndex;
  return S_OK;
}

Z7_COM7F_IMF(UpdateCallback::GetProperty(UInt32 index, PROPID propID, PROPVARIANT* value)) {
  return Guarded([&]() -> HRESULT {
    if (index >= items_.size()) return E_INVALIDARG;
    const SourceFile* source = items_[index].source;
    if (!source) return S_OK;
    switch (propID) {
      case kpidPath: return SetString(value, source->archivePath);
      case kpidIsDir: SetBool(value, source->isDir); break;
      case kpidIsAnti: SetBool(value, false); break;
      case kpidSize: SetUInt64(value, source->size); break;
      case kpidAttrib: SetUInt32(value, source->attributes); break;
      case kpidCTime: SetFileTime(value, source->created); break;
      case kpidATime: SetFileTime(value, source->accessed); break;
      case kpidMTime: SetFileTime(value, source->modified); break;
      default: break;
    }
    return S_OK;
  });
}

Z7_COM7F_IMF(UpdateCallback::GetStream(UInt32 index, ISequentialInStream** inStream)) {
  return Guarded([&]() -> HRESULT {
    *inStream = nullptr;
    if (index >= items_.size()) return E_INVALIDARG;
    const SourceFile* source = items_[index].source;
    if (!source || source->isDir) return S_OK;
    progress_.SetItem(source->fullPath);
    CMyComPtr<IInStream> file = OpenInFile(source->fullPath, shareForWrite_);
    if (!file) {
      if (query_ && query_(kQuerySkipUnreadableFile, source->fullPath.c_str()) != 0) return S_FALSE;
      return Record(kErrorSourceFile);
    }
    CMyComPtr<ISequentialInStream> stream(file);
    *inStream = stream.Detach();
    return S_OK;
  });
}

Z7_COM7F_IMF(UpdateCallback::SetOperationResult(Int32)) { return S_OK; }

Z7_COM7F_IMF(UpdateCallback::CryptoGetTextPassword2(Int32* passwordIsDefined, BSTR* password)) {
  return Guarded([&]() -> HRESULT {
    std::optional<std::wstring> answer = password_.Get();
    *passwordIsDefined = answer && !answer->empty() ? 1 : 0;
    *password = SysAllocString(answer ? answer->c_str() : L"");
    return *password ? S_OK : E_OUTOFMEMORY;
  });
}

Z7_COM7F_IMF(UpdateCallback::CryptoGetTextPassword(BSTR* password)) {
  return Guarded([&]() -> HRESULT {
    std::optional<std::wstring> answer = password_.Get();
    if (!answer) return Record(kErrorUnsupportedOrPassword);
    *password = SysAllocString(answer->c_str());
    return *password ? S_OK : E_OUTOFMEMORY;
  });
}

const wchar_t* HandlerName(int32_t format) {
  switch (format) {
    case kFormat7z: return L"7z";
    case kFormatZip: return L"zip";
    case kFormatTar: return L"tar";
    case kFormatGzip: return L"gzip";
    case kFormatBzip2: return L"bzip2";
    case kFormatXz: return L"xz";
    case kFormatWim: return L"wim";
    default: return nullptr;
  }
}

// Switch values as 7-Zip's own command line gives them: numbers as numbers, "name+"/"name-"
// without a value as booleans, other values as text.
void ApplyProperties(IOutArchive* archive, const std::vector<std::pair<std::wstring, std::wstring>>& properties) {
  if (properties.empty()) return;
  CMyComPtr<ISetProperties> setter;
  archive->QueryInterface(IID_ISetProperties, reinterpret_cast<void**>(&setter));
  if (!setter) Fail(kErrorBadSwitch);
  std::vector<std::wstring> names;
  std::vector<PropValue> values(properties.size());
  for (size_t i = 0; i < properties.size(); ++i) {
    std::wstring name = properties[i].first;
    const std::wstring& text = properties[i].second;
    PROPVARIANT* value = &values[i];
    if (text.empty()) {
      if (!name.empty() && (name.back() == L'+' || name.back() == L'-')) {
        SetBool(value, name.back() == L'+');
        name.pop_back();
      }
    } else if (text.find_first_not_of(L"0123456789") == std::wstring::npos && text.size() < 20) {
      uint64_t number = std::stoull(text);
      if (number <= 0xFFFFFFFFu) {
        SetUInt32(value, static_cast<uint32_t>(number));
      } else {
        SetUInt64(value, number);
      }
    } else if (SetString(value, text) != S_OK) {
      Fail(kErrorOutOfMemory);
    }
    names.push_back(name);
  }
  std::vector<const wchar_t*> namePointers;
  for (const std::wstring& name : names) namePointers.push_back(name.c_str());
  std::vector<PROPVARIANT> raw;
  for (PropValue& value : values) raw.push_back(*value);
  HRESULT result = setter->SetProperties(namePointers.data(), raw.data(), static_cast<UInt32>(raw.size()));
  if (result != S_OK) Fail(result == E_OUTOFMEMORY ? kErrorOutOfMemory : kErrorBadSwitch);
}

// Writes the new archive to a temporary file, then puts it in the old one's place.
void WriteArchive(const std::wstring& archivePath, IOutArchive* out, OpenedArchive* old,
                  const std::vector<UpdateItem>& items, PasswordSource& password, ProgressCallback progress,
                  QueryCallback query, bool shareForWrite) {
  std::wstring temp = archivePath + L".oxa.tmp";
  ProgressReporter reporter(progress);
  auto [holder, callback] = MakeCom<IArchiveUpdateCallback, UpdateCallback>(items, password, reporter, query, shareForWrite);
  HRESULT result;
  {
    CMyComPtr<IOutStream> stream = CreateOutFile(temp);
    if (!stream) Fail(kErrorCreateFile);
    result = out->UpdateItems(stream, static_cast<UInt32>(items.size()), holder);
    if (!FinishOutFile(stream, 0) && result == S_OK) result = E_FAIL;
  }
  int32_t code = callback->Error();
  if (code == kErrorNone && result != S_OK) {
    code = reporter.Aborted() ? kErrorAborted : CodeFromResult(result, kErrorUpdateFailed);
  }
  if (old && old->archive) {
    old->archive->Close();
    old->archive.Release();
    old->stream.Release();
  }
  if (code == kErrorNone && !MoveFileExW(LongPath(temp).c_str(), LongPath(archivePath).c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    code = kErrorCreateFile;
  }
  if (code != kErrorNone) {
    DeleteFileW(LongPath(temp).c_str());
    Fail(code);
  }
}

std::vector<std::pair<std::wstring, std::wstring>> WideProperties(const vx::ArchiveSwitches& switches) {
  std::vector<std::pair<std::wstring, std::wstring>> properties;
  for (const auto& [name, value] : switches.properties) properties.emplace_back(AsWide(name), AsWide(value));
  return properties;
}

}  // namespace

void UpdateArchive(const wchar_t* archive, int32_t format, const FileList* include, const FileList* exclude,
                   int32_t updateMode, const wchar_t* switches, const wchar_t* password,
                   ProgressCallback progress, QueryCallback query) {
  if (!archive || !*archive) Fail(kErrorBadArgument);
  const wchar_t* handler = HandlerName(format);
  if (!handler || updateMode < kUpdateAddReplace || updateMode > kUpdateCreateNew) Fail(kErrorUnsupportedFormat);
  std::optional<vx::ArchiveSwitches> parsed = vx::ParseSwitchText(AsText(WideOrEmpty(switches)));
  if (!parsed) Fail(kErrorBadSwitch);
  SevenZip& engine = SevenZip::Current();
  const Format* wanted = engine.FindFormat(handler);
  if (!wanted || !wanted->canUpdate) Fail(kErrorUnsupportedFormat);

  Excludes excludes(exclude);
  SourceCollector collector(excludes);
  if (include && include->items) {
    for (int32_t i = 0; i < include->count; ++i) {
      if (include->items[i] && *include->items[i]) collector.AddInclude(include->items[i]);
    }
  }
  std::vector<SourceFile> sources = collector.Take();

  std::wstring path = FullPath(archive);
  PasswordSource passwordSource(password, nullptr);
  OpenedArchive old;
  bool exists = GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  if (exists && updateMode != kUpdateCreateNew) old = OpenArchive(path, passwordSource, progress);
  if (old.archive && old.format != wanted) Fail(kErrorUnsupportedFormat);

  std::vector<UpdateItem> items;
  std::unordered_map<std::wstring, size_t> sourceByName;
  for (size_t i = 0; i < sources.size(); ++i) sourceByName.emplace(Lower(sources[i].archivePath), i);
  std::vector<bool> used(sources.size(), false);
  for (uint32_t i = 0; i < old.count; ++i) {
    ItemInfo info = ReadItem(old.archive, i, path);
    UpdateItem item;
    item.archiveIndex = i;
    auto found = sourceByName.find(Lower(info.path));
    if (found != sourceByName.end()) {
      used[found->second] = true;
      const SourceFile& source = sources[found->second];
      if (updateMode == kUpdateAddReplace || source.modified > info.modified) item.source = &source;
    }
    items.push_back(item);
  }
  for (size_t i = 0; i < sources.size(); ++i) {
    if (!used[i]) items.push_back(UpdateItem{static_cast<UInt32>(-1), &sources[i]});
  }
  if (items.empty()) Fail(kErrorNothingToDo);

  CMyComPtr<IOutArchive> out;
  if (old.archive) {
    old.archive->QueryInterface(IID_IOutArchive, reinterpret_cast<void**>(&out));
    if (!out) Fail(kErrorUnsupportedFormat);
  } else {
    out = engine.CreateOutArchive(*wanted);
  }
  ApplyProperties(out, WideProperties(*parsed));
  WriteArchive(path, out, &old, items, passwordSource, progress, query, parsed->shareForWrite);
}

void DeleteItems(const wchar_t* archive, const FileList* items, PasswordSource& password, ProgressCallback progress) {
  if (!archive || !*archive) Fail(kErrorBadArgument);
  std::wstring path = FullPath(archive);
  OpenedArchive old = OpenArchive(path, password, progress);
  ItemSelection selection(items);
  if (selection.All()) Fail(kErrorBadArgument);  // an empty list deletes nothing, not everything
  std::vector<UpdateItem> kept;
  for (uint32_t i = 0; i < old.count; ++i) {
    if (!selection.Selects(ReadItem(old.archive, i, path).path)) kept.push_back(UpdateItem{i, nullptr});
  }
  if (kept.size() == old.count) return;
  CMyComPtr<IOutArchive> out;
  old.archive->QueryInterface(IID_IOutArchive, reinterpret_cast<void**>(&out));
  if (!out) Fail(kErrorUnsupportedFormat);
  // Headers that were encrypted stay encrypted.
  if (password.WasAsked() && old.format == SevenZip::Current().FindFormat(L"7z")) {
    ApplyProperties(out, {{L"he", L"on"}});
  }
  WriteArchive(path, out, &old, kept, password, progress, nullptr, false);
}

}  // namespace oxa
