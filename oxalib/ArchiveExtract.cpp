// Extraction and testing. Every entry's destination is checked before anything is written, and
// a failed extraction removes the files and folders it made, so no partial tree is left behind.
#include <unordered_map>

#include "media/ArchiveRules.h"
#include "oxalib/OxaCore.h"

namespace oxa {

namespace {

struct PlannedItem {
  ItemInfo info;
  std::wstring destination;  // empty when testing
};

// Runs a COM method body: no exception may reach 7z.dll.
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

int32_t CodeFromOperationResult(Int32 result, bool encrypted) {
  using namespace NArchive::NExtract::NOperationResult;
  switch (result) {
    case kWrongPassword:
    case kUnsupportedMethod:
      return kErrorUnsupportedOrPassword;
    case kDataError:
    case kCRCError:
      // A damaged encrypted entry cannot be told apart from a wrong key.
      return encrypted ? kErrorUnsupportedOrPassword : kErrorDataError;
    default:
      return kErrorDataError;
  }
}

class ExtractCallback final : public IArchiveExtractCallback, public ICryptoGetTextPassword, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(IArchiveExtractCallback, ICryptoGetTextPassword)
  Z7_IFACE_COM7_IMP(IProgress)
 public:
  ExtractCallback(std::unordered_map<uint32_t, PlannedItem>& plan, PasswordSource& password,
                  ProgressReporter& progress, OverwriteCallback overwrite)
      : plan_(plan), password_(password), progress_(progress), overwrite_(overwrite) {}

  [[nodiscard]] int32_t Error() const { return error_; }
  // Removes what this extraction wrote, newest first.
  void RollBack();

 private:
  HRESULT Record(int32_t code) {
    if (error_ == kErrorNone) error_ = code;
    return E_ABORT;
  }
  HRESULT OpenDestination(const PlannedItem& item, ISequentialOutStream** outStream);

  std::unordered_map<uint32_t, PlannedItem>& plan_;
  PasswordSource& password_;
  ProgressReporter& progress_;
  OverwriteCallback overwrite_;
  const PlannedItem* current_ = nullptr;
  CMyComPtr<IOutStream> out_;
  std::vector<std::wstring> writtenFiles_;
  std::vector<std::wstring> createdFolders_;
  int32_t error_ = kErrorNone;
};

Z7_COM7F_IMF(ExtractCallback::SetTotal(UInt64 total)) {
  progress_.SetTotal(total);
  return S_OK;
}

Z7_COM7F_IMF(ExtractCallback::SetCompleted(const UInt64* completed)) {
  return Guarded([&] { return progress_.Report(completed ? *completed : 0); });
}

Z7_COM7F_IMF(ExtractCallback::GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askMode)) {
  return Guarded([&]() -> HRESULT {
    *outStream = nullptr;
    auto found = plan_.find(index);
    current_ = found == plan_.end() ? nullptr : &found->second;
    if (!current_) return S_OK;
    progress_.SetItem(current_->info.path);
    if (askMode != NArchive::NExtract::NAskMode::kExtract || current_->destination.empty()) return S_OK;
    if (current_->info.isDir) {
      return CreateFolders(current_->destination, &createdFolders_) ? S_OK : Record(kErrorCreateFile);
    }
    return OpenDestination(*current_, outStream);
  });
}

HRESULT ExtractCallback::OpenDestination(const PlannedItem& item, ISequentialOutStream** outStream) {
  const std::wstring& path = item.destination;
  size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos && !CreateFolders(path.substr(0, slash), &createdFolders_)) {
    return Record(kErrorCreateFile);
  }
  WIN32_FILE_ATTRIBUTE_DATA existing{};
  if (GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &existing)) {
    if (existing.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Record(kErrorCreateFile);
    int32_t answer = kOverwriteReplace;
    if (overwrite_) {
      uint64_t size = (static_cast<uint64_t>(existing.nFileSizeHigh) << 32) | existing.nFileSizeLow;
      uint64_t time = (static_cast<uint64_t>(existing.ftLastWriteTime.dwHighDateTime) << 32) |
                      existing.ftLastWriteTime.dwLowDateTime;
      answer = overwrite_(path.c_str(), static_cast<int64_t>(size), static_cast<int64_t>(time),
                          existing.dwFileAttributes, item.info.path.c_str(), static_cast<int64_t>(item.info.size),
                          static_cast<int64_t>(item.info.modified), item.info.attributes, 0, nullptr);
    }
    if (answer == kOverwriteKeepExisting) return S_OK;
    if (answer != kOverwriteReplace) return Record(kErrorAborted);
    SetFileAttributesW(LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  out_ = CreateOutFile(path);
  if (!out_) return Record(kErrorCreateFile);
  writtenFiles_.push_back(path);
  CMyComPtr<ISequentialOutStream> stream(out_);
  *outStream = stream.Detach();
  return S_OK;
}

Z7_COM7F_IMF(ExtractCallback::PrepareOperation(Int32)) { return S_OK; }

Z7_COM7F_IMF(ExtractCallback::SetOperationResult(Int32 result)) {
  return Guarded([&]() -> HRESULT {
    if (out_) {
      bool closed = FinishOutFile(out_, current_ ? current_->info.modified : 0);
      out_.Release();
      if (!closed) return Record(kErrorCreateFile);
      // Keep read-only, hidden, system and archive; Unix mode bits in the high word are dropped.
      DWORD keep = current_ ? current_->info.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE)
                            : 0;
      if (keep) SetFileAttributesW(LongPath(writtenFiles_.back()).c_str(), keep);
    }
    if (result != NArchive::NExtract::NOperationResult::kOK) {
      return Record(CodeFromOperationResult(result, current_ && current_->info.encrypted));
    }
    return S_OK;
  });
}

Z7_COM7F_IMF(ExtractCallback::CryptoGetTextPassword(BSTR* password)) {
  return Guarded([&]() -> HRESULT {
    std::optional<std::wstring> answer = password_.Get();
    if (!answer) return Record(kErrorUnsupportedOrPassword);
    *password = SysAllocString(answer->c_str());
    return *password ? S_OK : E_OUTOFMEMORY;
  });
}

void ExtractCallback::RollBack() {
  if (out_) {
    FinishOutFile(out_, 0);
    out_.Release();
  }
  for (auto it = writtenFiles_.rbegin(); it != writtenFiles_.rend(); ++it) {
    SetFileAttributesW(LongPath(*it).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(LongPath(*it).c_str());
  }
  for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) {
    RemoveDirectoryW(LongPath(*it).c_str());
  }
  writtenFiles_.clear();
  createdFolders_.clear();
}

}  // namespace

void ExtractItems(const wchar_t* archive, const wchar_t* target, const FileList* items, int32_t pathMode,
                  PasswordSource& password, ProgressCallback progress, OverwriteCallback overwrite,
                  bool testOnly) {
  if (!archive || !*archive) Fail(kErrorBadArgument);
  if (pathMode != kPathModeKeepTree && pathMode != kPathModeFlatten) Fail(kErrorBadArgument);
  if (!testOnly && (!target || !*target)) Fail(kErrorBadArgument);
  const bool flatten = pathMode == kPathModeFlatten;
  std::wstring root;
  if (!testOnly) {
    root = FullPath(target);
    if (root.back() != L'\\') root += L'\\';
  }

  OpenedArchive opened = OpenArchive(archive, password, progress);
  ItemSelection selection(items);
  std::unordered_map<uint32_t, PlannedItem> plan;
  std::vector<UInt32> indices;
  // Every destination is decided, and checked, before the first byte is written.
  for (uint32_t i = 0; i < opened.count; ++i) {
    PlannedItem item{ReadItem(opened.archive, i, archive), {}};
    if (!selection.Selects(item.info.path)) continue;
    if (!testOnly) {
      if (flatten && item.info.isDir) continue;
      std::optional<vx::Text> safe = vx::SafeEntryPath(AsText(item.info.path), flatten);
      if (!safe) Fail(kErrorUnsafePath);
      item.destination = root + AsWide(*safe);
    }
    indices.push_back(i);
    plan.emplace(i, std::move(item));
  }
  if (!testOnly && !CreateFolders(root, nullptr)) Fail(kErrorCreateFile);
  if (indices.empty()) return;

  ProgressReporter reporter(progress);
  auto [holder, callback] = MakeCom<IArchiveExtractCallback, ExtractCallback>(plan, password, reporter, overwrite);
  HRESULT result = opened.archive->Extract(indices.data(), static_cast<UInt32>(indices.size()), testOnly ? 1 : 0,
                                           holder);
  int32_t code = callback->Error();
  if (code == kErrorNone && result != S_OK) {
    code = reporter.Aborted() ? kErrorAborted : CodeFromResult(result, kErrorDataError);
  }
  if (code != kErrorNone) {
    callback->RollBack();
    Fail(code);
  }
}

}  // namespace oxa
