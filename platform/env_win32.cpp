// The Win32 implementation of Env: UTF-8 paths with "\" between names, through
// the wide API, so that every name opens, and the "\\?\" form past MAX_PATH.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <optional>
#include <utility>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/win32_listing.h"
#include "platform/wide_text.h"

namespace quillora {
namespace {

// A NUL cuts a path short, and wildcards would make a listing of a
// lookup: neither names a file.
bool NamesNoFile(const std::string& path) { return path.find_first_of(std::string("*?\0", 3)) != std::string::npos; }

// The size and last write time that tell one version of a file from another.
struct FileVersion {
  DWORD size_high = 0, size_low = 0;
  FILETIME written{};
  bool operator==(const FileVersion& o) const {
    return size_high == o.size_high && size_low == o.size_low &&
           ::CompareFileTime(&written, &o.written) == 0;
  }
};

bool VersionOf(HANDLE handle, FileVersion& version) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) return false;
  version = FileVersion{info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime};
  return true;
}

class HandleStream final : public Stream {
 public:
  // opened: the file's version when it was opened, for a digest; a text
  // file's reader has none and never asks.
  explicit HandleStream(HANDLE handle, std::optional<FileVersion> opened = std::nullopt)
      : handle_(handle), opened_(opened) {}
  ~HandleStream() override { ::CloseHandle(handle_); }

  std::int64_t Size() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_, &size)) return Fail();
    return size.QuadPart;
  }
  std::int64_t Position() override {
    LARGE_INTEGER zero{}, at;
    if (!::SetFilePointerEx(handle_, zero, &at, FILE_CURRENT)) return Fail();
    return at.QuadPart;
  }
  bool Seek(std::int64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = position;
    if (!::SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) return Fail(), false;
    return true;
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    DWORD got = 0;
    const DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    if (!::ReadFile(handle_, buffer, want, &got, nullptr)) return Fail();
    return got;
  }
  int last_error() const override { return last_error_; }
  int ChangeSinceOpen() override {
    if (!opened_) return 0;
    FileVersion now;
    if (!VersionOf(handle_, now)) return Fail(), last_error_;
    return now == *opened_ ? 0 : kChangedWhileRead;
  }

 private:
  std::int64_t Fail() {
    last_error_ = static_cast<int>(::GetLastError());
    return -1;
  }
  HANDLE handle_;
  std::optional<FileVersion> opened_;
  int last_error_ = 0;
};

// The standard input handle, left open when the stream goes. A pipe whose
// writer has closed it is at its end, not failed.
class StandardInputStream final : public OneWayStream {
 public:
  std::int64_t Read(void* buffer, std::size_t n) override {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
      last_error_ = ERROR_INVALID_HANDLE;
      return -1;
    }
    DWORD got = 0;
    const DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    if (::ReadFile(input, buffer, want, &got, nullptr)) return got;
    const DWORD error = ::GetLastError();
    if (error == ERROR_BROKEN_PIPE) return 0;
    last_error_ = static_cast<int>(error);
    return -1;
  }
  int last_error() const override { return last_error_; }

 private:
  int last_error_ = 0;
};

FolderId IdOf(const std::string& folder) {
  FolderId id;
  const HANDLE h = ::CreateFileW(WidePath(folder).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return id;
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(h, &info)) {
    id.device = info.dwVolumeSerialNumber;
    id.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  ::CloseHandle(h);
  return id;
}

}  // namespace

FindListing::FindListing(HANDLE find, const WIN32_FIND_DATAW& first, FolderId id, FindNext find_next)
    : find_(find), next_(first), id_(id), find_next_(find_next) {}

FindListing::~FindListing() { ::FindClose(find_); }

bool FindListing::Next(FolderEntry& entry) {
  while (has_next_) {
    const WIN32_FIND_DATAW current = next_;
    if (!find_next_(find_, &next_)) {
      has_next_ = false;
      stop_error_ = ListingStopError(::GetLastError());
    }
    if (std::wcscmp(current.cFileName, L".") == 0 || std::wcscmp(current.cFileName, L"..") == 0) continue;
    entry.name = Utf8FromWide(current.cFileName);
    entry.kind = (current.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::kFolder : EntryKind::kFile;
    // Junctions and folder links are reparse points, as are file links.
    entry.is_link = (current.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.regular = false;
    return true;
  }
  // The entry read ahead came before the failure: it was given first.
  if (const int error = std::exchange(stop_error_, 0)) throw SystemError("FindNextFile", error);
  return false;
}

int ListingStopError(DWORD error) { return error == ERROR_NO_MORE_FILES ? 0 : static_cast<int>(error); }

namespace {

class Win32ReplacingFile final : public ReplacingFile {
 public:
  Win32ReplacingFile(std::string target, std::string temp, HANDLE handle)
      : target_(std::move(target)), temp_(std::move(temp)), handle_(handle) {}
  ~Win32ReplacingFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    if (!committed_) ::DeleteFileW(WidePath(temp_).c_str());
  }
  void Append(std::string_view bytes) override {
    buffer_.append(bytes);
    if (buffer_.size() >= 64 * 1024) Flush();
  }
  void Commit() override {
    Flush();
    if (!::FlushFileBuffers(handle_)) Throw();
    const HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(h)) Throw();
    // Full paths: Wine's ReplaceFile fails on relative ones.
    const std::wstring temp = WidePath(AbsolutePath(temp_)), target = WidePath(AbsolutePath(target_));
    // ReplaceFile gives the new file the old one's attributes, security and
    // creation time, as a save over it would; with no old file it is a move.
    if (!::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_NOT_FOUND || ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) Throw(error);
      if (!::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) Throw();
    }
    committed_ = true;
  }
  const std::string& temp_path() const override { return temp_; }

 private:
  void Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
      DWORD put = 0;
      if (!::WriteFile(handle_, buffer_.data() + done, static_cast<DWORD>(buffer_.size() - done), &put, nullptr))
        Throw();
      done += put;
    }
    buffer_.clear();
  }
  [[noreturn]] static void Throw(DWORD error = ::GetLastError()) { throw IoError::FromSystem(static_cast<int>(error)); }

  std::string target_, temp_;
  HANDLE handle_;
  std::string buffer_;
  bool committed_ = false;
};

// True when a name between separators is longer than the 255 UTF-16 units
// every Windows file system allows.
bool HasOverlongName(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  std::size_t start = 0;
  while (start <= wide.size()) {
    std::size_t end = wide.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = wide.size();
    if (end - start > 255) return true;
    start = end + 1;
  }
  return false;
}

// A lookup that failed because nothing is there, not because it could not
// look: no such name, or (ERROR_DIRECTORY) a file named as a folder.
bool NothingThere(DWORD error) { return IsNotFound(static_cast<int>(error)) || error == ERROR_DIRECTORY; }

// Holds no state: each call works on its arguments alone, which is what
// makes it safe from several threads at once.
class Win32Env final : public Env {
 public:
  void CheckReadable(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::unique_ptr<FolderListing> ListFolder(const std::string& path) override;
  std::unique_ptr<Stream> OpenForDigest(const std::string& path) override;
  // The open itself refuses what is not a file: nothing to spare.
  std::unique_ptr<Stream> OpenListedForDigest(const FileToOpen& file) override { return OpenForDigest(file.path); }
  std::shared_ptr<const FolderHandle> HoldFolder(const std::string&) override { return nullptr; }
  std::unique_ptr<Stream> OpenStandardInput() override { return std::make_unique<StandardInputStream>(); }
  std::unique_ptr<Stream> OpenTextForReading(const std::string& path) override;
  std::unique_ptr<ReplacingFile> CreateReplacing(const std::string& path) override;
  // Windows' links are rare, and a shortcut (.lnk) is a file of its own.
  std::string FinalTarget(const std::string& path) override { return path; }
  LocalTime Now() override;
  std::string TimeSeparator() override;
  // Handles have no per-process count to speak of.
  std::size_t OpenFilesAllowed() override { return 1 << 20; }
  // Temporary files here have their names from the start, a run's whole
  // length: none can be told left over.
  void RemoveLeftOver(const std::string&) override {}
};

}  // namespace

int IoErrorCodeFromSystem(int system_error) {
  switch (system_error) {
    case ERROR_FILE_NOT_FOUND: return IoError::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return IoError::kInvalidFilename;
    case ERROR_TOO_MANY_OPEN_FILES: return IoError::kTooManyOpenFiles;
    case ERROR_ACCESS_DENIED: return IoError::kAccessDenied;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return IoError::kDiskFull;
    default: return 0;
  }
}

bool TellsOfTheEntry(int system_error) {
  switch (system_error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_CANT_ACCESS_FILE:
    case ERROR_CANT_RESOLVE_FILENAME:
    case ERROR_DELETE_PENDING:
    case ERROR_NOT_A_REPARSE_POINT:
    case kNotRegularFile:
    case kChangedWhileRead:
      return true;
    default:
      return false;
  }
}

bool IsNotFound(int system_error) {
  return system_error == ERROR_FILE_NOT_FOUND || system_error == ERROR_PATH_NOT_FOUND ||
         system_error == ERROR_INVALID_NAME;
}

bool IsOwnShortage(int system_error) {
  switch (system_error) {
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_NONPAGED_SYSTEM_RESOURCES:
    case ERROR_PAGED_SYSTEM_RESOURCES:
    case ERROR_COMMITMENT_LIMIT:
      return true;
    default:
      return false;
  }
}

std::string SystemErrorMessage(int system_error) {
  if (system_error == kNotRegularFile) return "Not a regular file";
  if (system_error == kChangedWhileRead) return "changed while it was read";
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(system_error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message =
      n ? Utf8FromWide(std::wstring_view(text, n)) : "System error " + std::to_string(system_error);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  if (!message.empty() && message.back() == '.') message.pop_back();  // the error report adds its own
  return message;
}

Env& Env::Default() {
  static Win32Env env;
  return env;
}

void Win32Env::CheckReadable(const std::string& path) {
  if (NamesNoFile(path)) throw SystemError("CreateFile", ERROR_INVALID_NAME);
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    throw SystemError("CreateFile", ERROR_DIRECTORY);
  const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw SystemError("CreateFile", static_cast<int>(::GetLastError()));
  const bool disk_file = ::GetFileType(h) == FILE_TYPE_DISK;  // not a device or pipe
  ::CloseHandle(h);
  if (!disk_file) throw SystemError("CreateFile", kNotRegularFile);
}

bool Win32Env::FileExists(const std::string& path) {
  if (NamesNoFile(path)) return false;
  // A name longer than any file system holds cannot be looked at; as on POSIX
  // (ENAMETOOLONG) that is not "missing".
  if (HasOverlongName(path)) throw SystemError("FindFirstFile", ERROR_FILENAME_EXCED_RANGE);
  WIN32_FIND_DATAW data;
  const HANDLE find = ::FindFirstFileW(WidePath(path).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (NothingThere(error)) return false;
    throw SystemError("FindFirstFile", static_cast<int>(error));
  }
  ::FindClose(find);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Env::FolderExists(const std::string& path) {
  if (NamesNoFile(path)) return false;
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const DWORD error = ::GetLastError();
  if (NothingThere(error)) return false;
  throw SystemError("GetFileAttributes", static_cast<int>(error));
}

std::unique_ptr<FolderListing> Win32Env::ListFolder(const std::string& path) {
  if (NamesNoFile(path)) throw SystemError("FindFirstFile", ERROR_INVALID_NAME);
  std::string folder = path;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  WIN32_FIND_DATAW first;
  const HANDLE find = ::FindFirstFileW(WidePath(folder + "\\*").c_str(), &first);
  if (find == INVALID_HANDLE_VALUE) throw SystemError("FindFirstFile", static_cast<int>(::GetLastError()));
  return std::make_unique<FindListing>(find, first, IdOf(folder + "\\"));
}

std::unique_ptr<Stream> Win32Env::OpenForDigest(const std::string& path) {
  if (NamesNoFile(path)) throw SystemError("CreateFile", ERROR_INVALID_NAME);
  // Shared with readers only: the digest sees the file as nobody can change
  // it, while a file named twice (or read ahead) opens again.
  const HANDLE h = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw SystemError("CreateFile", static_cast<int>(::GetLastError()));
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    throw SystemError("CreateFile", kNotRegularFile);
  }
  FileVersion opened;
  if (!VersionOf(h, opened)) {
    const int error = static_cast<int>(::GetLastError());
    ::CloseHandle(h);
    throw SystemError("GetFileInformationByHandle", error);
  }
  return std::make_unique<HandleStream>(h, opened);
}

std::unique_ptr<Stream> Win32Env::OpenTextForReading(const std::string& path) {
  if (NamesNoFile(path)) throw IoError(IoError::kInvalidFilename);
  const HANDLE h = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw IoError::FromSystem(static_cast<int>(::GetLastError()));
  // A device ("nul.md5" names the null device) holds no check file; a pipe
  // is read as it comes.
  if (::GetFileType(h) == FILE_TYPE_CHAR) {
    ::CloseHandle(h);
    throw IoError::FromSystem(kNotRegularFile);
  }
  return std::make_unique<HandleStream>(h);
}

std::unique_ptr<ReplacingFile> Win32Env::CreateReplacing(const std::string& path) {
  if (NamesNoFile(path) || path.empty()) throw IoError(IoError::kInvalidFilename);
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
    throw IoError::FromSystem(ERROR_ACCESS_DENIED);
  const std::string stem = JoinPath(FolderOf(path), ReplacingTempPrefix(NameOf(path)));
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%05lx", (::GetTickCount() * 2654435761u + attempt) & 0xfffff);
    std::string temp = stem + suffix;
    // Shared for deletion: a stop (Ctrl+C) removes it while it is still open.
    const HANDLE h = ::CreateFileW(WidePath(temp).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return std::make_unique<Win32ReplacingFile>(path, std::move(temp), h);
    if (::GetLastError() != ERROR_FILE_EXISTS) throw IoError::FromSystem(static_cast<int>(::GetLastError()));
  }
  throw IoError::FromSystem(ERROR_FILE_EXISTS);
}

LocalTime Win32Env::Now() {
  SYSTEMTIME t;
  ::GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

std::string Win32Env::TimeSeparator() {
  wchar_t separator[8] = L":";
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8) == 0) return ":";
  return Utf8FromWide(separator);
}

std::string AbsolutePath(const std::string& path) {
  if (NamesNoFile(path)) return path;
  const std::wstring wide = WideFromUtf8(path);
  std::wstring full(::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD n = full.empty() ? 0 : ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  return Utf8FromWide(full);
}

std::string ExecutableFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(buffer.size() * 2);  // cut short: a longer path
  }
  std::string path = Utf8FromWide(buffer);
  if (path.rfind("\\\\?\\", 0) == 0 && path.rfind("\\\\?\\UNC\\", 0) != 0) path.erase(0, 4);
  return FolderOf(path);
}

}  // namespace quillora
