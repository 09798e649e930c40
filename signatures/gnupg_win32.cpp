// GnuPG on Windows: Debian has no GPGME for MinGW, so Gpg4win's gpg.exe is
// found through the registry and run with --status-fd, the check file fed
// to it through a pipe from the verify's own stream and a detached
// signature through another ("-&HANDLE", GnuPG's special file names); its
// status lines say what it found (gpg_status.h).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "platform/wide_text.h"
#include "signatures/gnupg.h"
#include "signatures/gpg_status.h"

#ifndef RRF_SUBKEY_WOW6464KEY
#define RRF_SUBKEY_WOW6464KEY 0x00010000
#endif
#ifndef RRF_SUBKEY_WOW6432KEY
#define RRF_SUBKEY_WOW6432KEY 0x00020000
#endif

namespace quillora {
namespace {

// gpg.exe where an installer put it: GnuPG's own installer (which Gpg4win
// runs) records its folder, Gpg4win its own beside it, and older versions
// theirs under GNU; as the 32-bit installers write them, or the 64-bit.
std::wstring FindGpg() {
  struct Place {
    HKEY root;
    const wchar_t* key;
    const wchar_t* gpg;  // below the recorded folder
  };
  static const Place places[] = {
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\GnuPG", L"\\bin\\gpg.exe"},
      {HKEY_CURRENT_USER, L"SOFTWARE\\GnuPG", L"\\bin\\gpg.exe"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Gpg4win", L"\\..\\GnuPG\\bin\\gpg.exe"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\GNU\\GnuPG", L"\\gpg.exe"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\GNU\\GnuPG", L"\\pub\\gpg.exe"},
  };
  for (const Place& place : places) {
    for (const DWORD view : {RRF_SUBKEY_WOW6432KEY, RRF_SUBKEY_WOW6464KEY}) {
      wchar_t folder[2 * MAX_PATH];
      DWORD size = sizeof folder;
      if (::RegGetValueW(place.root, place.key, L"Install Directory", RRF_RT_REG_SZ | view, nullptr, folder,
                         &size) != ERROR_SUCCESS)
        continue;
      const std::wstring gpg = std::wstring(folder) + place.gpg;
      const DWORD attributes = ::GetFileAttributesW(gpg.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return gpg;
    }
  }
  return {};
}

// A handle closed when it goes.
class Handle {
 public:
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  HANDLE* out() { return &handle_; }
  HANDLE get() const { return handle_; }
  void Close() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A pipe; only the end gpg holds is inherited.
bool MakePipe(Handle& read, Handle& write, bool gpg_reads) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!::CreatePipe(read.out(), write.out(), &inherited, 0)) return false;
  return ::SetHandleInformation(gpg_reads ? write.get() : read.get(), HANDLE_FLAG_INHERIT, 0) != 0;
}

// Writes bytes into a pipe until they end or gpg stops reading.
bool WriteAll(HANDLE pipe, const char* bytes, std::size_t count) {
  while (count > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1 << 20));
    if (!::WriteFile(pipe, bytes, chunk, &written, nullptr)) return false;
    bytes += written;
    count -= written;
  }
  return true;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

SignatureFinding NotChecked(std::string problem) {
  SignatureFinding finding;
  finding.state = SignatureState::kNotChecked;
  finding.problem = std::move(problem);
  return finding;
}

}  // namespace

SignatureFinding VerifyWithGnuPG(const SignedBytes& input) {
  const std::wstring gpg = FindGpg();
  if (gpg.empty()) return {.state = SignatureState::kNoGnuPG};
  Handle data_read, data_write, status_read, status_write, signature_read, signature_write;
  if (!MakePipe(data_read, data_write, true) || !MakePipe(status_read, status_write, false) ||
      (!input.clear_signed && !MakePipe(signature_read, signature_write, true)))
    return NotChecked("GnuPG could not be started");
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle nowhere;
  *nowhere.out() = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);

  // After "--", "-" and "-&HANDLE" are file names, not options.
  std::wstring line = Quoted(gpg) + L" --batch --no-tty --disable-dirmngr --status-fd 1";
  if (!input.clear_signed) line += L" --enable-special-filenames";
  line += L" --verify --";
  if (!input.clear_signed) line += L" -&" + std::to_wstring(reinterpret_cast<std::uintptr_t>(signature_read.get()));
  line += L" -";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = data_read.get();
  startup.hStdOutput = status_write.get();
  startup.hStdError = nowhere.get();
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(gpg.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
    return NotChecked("GnuPG could not be started");
  Handle process_handle, thread_handle;
  *process_handle.out() = process.hProcess;
  *thread_handle.out() = process.hThread;
  // Only gpg holds its ends now, so its exit ends our reads and writes.
  data_read.Close();
  status_write.Close();
  signature_read.Close();

  int read_error = 0;
  std::thread signature_writer([&] {
    if (!input.clear_signed) WriteAll(signature_write.get(), input.signature.data(), input.signature.size());
    signature_write.Close();
  });
  std::thread data_writer([&] {
    char block[64 * 1024];
    for (;;) {
      const std::int64_t got = input.check_file.Read(block, sizeof block);
      if (got < 0) read_error = input.check_file.last_error() != 0 ? input.check_file.last_error() : ERROR_READ_FAULT;
      if (got <= 0 || !WriteAll(data_write.get(), block, static_cast<std::size_t>(got))) break;
    }
    data_write.Close();
  });
  std::string status;
  char chunk[4096];
  DWORD got = 0;
  while (::ReadFile(status_read.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) status.append(chunk, got);
  signature_writer.join();
  data_writer.join();
  ::WaitForSingleObject(process_handle.get(), INFINITE);
  if (read_error != 0) throw IoError::FromSystem(read_error);
  return FindingOfStatusLines(status, input.clear_signed, input.signature_path);
}

}  // namespace quillora
