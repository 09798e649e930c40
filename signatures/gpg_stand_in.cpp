// A stand-in for Gpg4win's gpg.exe in the Windows tests (Wine has none). It
// takes what the signature check hands gpg.exe: its options, a detached
// signature through the handle "-&N" names, the signed bytes on standard
// input; and it answers on standard output with the status lines gpg
// writes. The signature is good when the bytes are the detached signature's
// very bytes, or, clear-signed, when they hold the line "stand-in: good".
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  bool status_on_stdout = false, verify = false;
  HANDLE signature_handle = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--status-fd" && i + 1 < argc && std::string(argv[i + 1]) == "1") status_on_stdout = true;
    if (arg == "--verify") verify = true;
    if (arg.rfind("-&", 0) == 0)
      signature_handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(arg.c_str() + 2, nullptr, 10)));
  }
  std::string signature, data;
  char block[4096];
  DWORD got = 0;
  while (signature_handle != nullptr && ::ReadFile(signature_handle, block, sizeof block, &got, nullptr) && got > 0)
    signature.append(block, got);
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, stdin)) > 0;) data.append(block, n);
  if (!status_on_stdout || !verify) return 2;
  const bool good = signature_handle != nullptr ? signature == data : data.find("\nstand-in: good\n") != std::string::npos;
  const char* fingerprint = "0123456789ABCDEF0123456789ABCDEF01234567";
  std::printf("[GNUPG:] NEWSIG\n");
  if (good) {
    std::printf("[GNUPG:] GOODSIG 0123456789ABCDEF Stand-in <stand-in@example.org>\n");
    std::printf("[GNUPG:] VALIDSIG %s 2019-01-01 1546300800 0 4 0 22 8 01 %s\n", fingerprint, fingerprint);
    std::printf("[GNUPG:] TRUST_ULTIMATE 0 pgp\n");
    return 0;
  }
  std::printf("[GNUPG:] BADSIG 0123456789ABCDEF Stand-in <stand-in@example.org>\n");
  return 1;
}
