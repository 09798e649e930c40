#include "platform/wide_text.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <shellapi.h>
#endif

namespace quillora {

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int more;
    unsigned lowest;
    if (b >= 0xC2 && b <= 0xDF) more = 1, lowest = 0x80;
    else if (b >= 0xE0 && b <= 0xEF) more = 2, lowest = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) more = 3, lowest = 0x10000;
    else return false;
    if (n - i <= static_cast<std::size_t>(more)) return false;
    unsigned code = b & (0x3F >> more);
    for (int k = 1; k <= more; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      code = (code << 6) | (c & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
    if (code < lowest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
    i += more + 1;
  }
  return true;
}

#ifdef _WIN32

namespace {

std::wstring WideFrom(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) { return WideFrom(CP_UTF8, text); }

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::string Utf8FromAnsi(std::string_view text) { return Utf8FromWide(WideFrom(CP_ACP, text)); }

std::wstring WidePath(const std::string& path) {
  std::wstring wide = WideFromUtf8(path);
  // CreateDirectory's limit is MAX_PATH less room for an 8.3 name.
  if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return wide;
  std::wstring full(n, L'\0');
  const DWORD got = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return wide;
  full.resize(got);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  return L"\\\\?\\" + full;
}

void MendLegacyText(std::string& text, std::size_t offset) {
  const std::string_view tail = std::string_view(text).substr(offset);
  if (IsUtf8(tail)) return;
  std::string mended = Utf8FromAnsi(tail);
  text.replace(offset, std::string::npos, mended);
}

std::string ComparableName(std::string_view path) {
  std::wstring wide = WideFromUtf8(path);
  for (wchar_t& ch : wide) {
    if (ch == L'/') ch = L'\\';
  }
  if (wide.empty()) return {};
  // The invariant locale's upper case: what NTFS and FAT compare names by,
  // whatever the user's language.
  const int size = static_cast<int>(wide.size());
  std::wstring upper(wide.size(), L'\0');
  if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), size, upper.data(), size, nullptr,
                      nullptr, 0) == 0)
    return Utf8FromWide(wide);
  return Utf8FromWide(upper);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + (argc > 0), argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

#else

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0), argv + argc);
}

void MendLegacyText(std::string&, std::size_t) {}

std::string ComparableName(std::string_view path) { return std::string(path); }

#endif

}  // namespace quillora
