#include "cli/output.h"

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <string>
#include <utility>

#include "cli/gnu_names.h"
#include "platform/mutex.h"
#include "platform/paths.h"

#ifdef _WIN32
#include <io.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/wide_text.h"
#else
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace quillora::cli {
namespace {

bool stdout_is_terminal = false;
bool quote_paths = false;
bool holding = false;
std::string held;
int held_error = 0;  // a failed write of held lines, reported by FlushLines

// Guards standard error's status line against lines written by other threads
// (the progress display, the interrupt handler).
Mutex status_mutex;
bool status_shown GUARDED_BY(status_mutex) = false;

bool IsTerminal(int fd) {
#ifdef _WIN32
  return ::_isatty(fd) != 0;
#else
  return ::isatty(fd) != 0;
#endif
}

// Writes all of bytes; returns 0 or the error number of the write that failed.
int WriteAll(int fd, std::string_view bytes) {
#ifdef _WIN32
  // A console would show the UTF-8 bytes in its own code page: it is given
  // the text itself.
  const auto console = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  DWORD mode = 0;
  if (console != INVALID_HANDLE_VALUE && ::GetConsoleMode(console, &mode)) {
    const std::wstring text = WideFromUtf8(bytes);
    for (std::size_t done = 0; done < text.size();) {
      DWORD put = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 16 * 1024));
      if (!::WriteConsoleW(console, text.data() + done, chunk, &put, nullptr) || put == 0) return EIO;
      done += put;
    }
    return 0;
  }
#endif
  while (!bytes.empty()) {
#ifdef _WIN32
    const int chunk = bytes.size() > (1u << 30) ? (1 << 30) : static_cast<int>(bytes.size());
    const int written = ::_write(fd, bytes.data(), static_cast<unsigned>(chunk));
#else
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
#endif
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

// Writes the parts of a line and its line end in one call where the system
// allows, without copying them: a record's path may be as long as the check
// file.
int WriteLine(int fd, std::initializer_list<std::string_view> pieces) {
#ifdef _WIN32
  std::string text;
  for (std::string_view piece : pieces) text += piece;
  text += '\n';
  return WriteAll(fd, text);
#else
  static const char end = '\n';
  iovec parts[8];
  int count = 0;
  for (std::string_view piece : pieces) parts[count++] = {const_cast<char*>(piece.data()), piece.size()};
  parts[count++] = {const_cast<char*>(&end), 1};
  iovec* part = parts;
  while (count > 0) {
    const ssize_t written = ::writev(fd, part, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    auto left = static_cast<std::size_t>(written);
    while (count > 0 && left >= part->iov_len) {
      left -= part->iov_len;
      ++part;
      --count;
    }
    if (count > 0) {
      part->iov_base = static_cast<char*>(part->iov_base) + left;
      part->iov_len -= left;
    }
  }
  return 0;
#endif
}

// Lines held for one block write stay below this size together.
constexpr std::size_t kHeldBlock = 64 << 10;

// Writes the held lines; standard output keeps its order with standard error.
void WriteHeld() {
  if (held.empty()) return;
  std::string block;
  block.swap(held);
  if (const int error = WriteAll(1, block); error != 0 && held_error == 0) held_error = error;
}
bool stderr_is_terminal = false;

// Erases the status line; status_mutex held.
void EraseStatusLocked() REQUIRES(status_mutex) {
  if (!status_shown) return;
  WriteAll(2, "\r\x1b[K");
  status_shown = false;
}

// A line as it goes out: to a terminal its control characters escaped, and
// elsewhere its NUL bytes, which no name holds and would cut a reader's
// line short (a check file's record may hold one). storage keeps what was
// escaped.
std::string_view Framed(std::string_view line, bool terminal, std::string& storage) {
  if (terminal) return storage = EscapeControls(line);
  if (line.find('\0') == std::string_view::npos) return line;
  storage.clear();
  for (const char ch : line) {
    if (ch == '\0') {
      storage += "\\x00";
    } else {
      storage += ch;
    }
  }
  return storage;
}

// Writes one line to fd, framed for a terminal or not (Framed).
int WriteFramed(int fd, std::string_view line, bool terminal) {
  std::string storage;
  return WriteLine(fd, {Framed(line, terminal, storage)});
}

void (*broken_pipe_handler)() = nullptr;

// Ends the run for a failed write to standard output.
[[noreturn]] void Fail(int error) {
  if (error == EPIPE && broken_pipe_handler != nullptr) broken_pipe_handler();
  throw WriteError(error);
}

}  // namespace

void SetBrokenPipeHandler(void (*handler)()) { broken_pipe_handler = handler; }

void InitOutput() {
  stdout_is_terminal = IsTerminal(1);
  stderr_is_terminal = IsTerminal(2);
}

bool StdoutIsTerminal() { return stdout_is_terminal; }
bool StderrIsTerminal() { return stderr_is_terminal; }
bool StdinIsTerminal() { return IsTerminal(0); }

void PrintLine(std::string_view line) {
  if (holding && line.size() < kHeldBlock) {
    std::string storage;
    held += Framed(line, stdout_is_terminal, storage);
    held += '\n';
    if (held.size() >= kHeldBlock) WriteHeld();
    if (held_error != 0) Fail(held_error);
    return;
  }
  WriteHeld();  // a long line is written on its own, after those held before it
  if (held_error != 0) Fail(held_error);
  int error;
  if (stdout_is_terminal && stderr_is_terminal) {
    // Both may be the same screen: the status line goes first.
    MutexLock lock(status_mutex);
    EraseStatusLocked();
    error = WriteFramed(1, line, stdout_is_terminal);
  } else {
    error = WriteFramed(1, line, stdout_is_terminal);
  }
  if (error != 0) Fail(error);
}

void PrintRaw(std::string_view bytes) {
  WriteHeld();
  if (held_error != 0) Fail(held_error);
  int error;
  if (stdout_is_terminal && stderr_is_terminal) {
    MutexLock lock(status_mutex);
    EraseStatusLocked();
    error = WriteAll(1, bytes);
  } else {
    error = WriteAll(1, bytes);
  }
  if (error != 0) Fail(error);
}

void PrintNamedLine(std::string_view line) {
  const bool led_by_backslash = kPathSeparator != '\\' && line.starts_with('\\');
  if (!led_by_backslash && line.find_first_of("\n\r") == std::string_view::npos) return PrintLine(line);
  std::string escaped = "\\";
  escaped.reserve(line.size() + 8);
  for (const char ch : line) {
    switch (ch) {
      case '\\': escaped += "\\\\"; break;
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      default: escaped += ch;
    }
  }
  PrintLine(escaped);
}

void HoldLines() { holding = true; }

void FlushLines() {
  holding = false;
  WriteHeld();
  if (held_error != 0) Fail(std::exchange(held_error, 0));
}

void PrintError(std::string_view line) {
  WriteHeld();
  MutexLock lock(status_mutex);
  EraseStatusLocked();
  WriteFramed(2, line, stderr_is_terminal);
}

void QuotePathsInMessages() { quote_paths = true; }

void PrintPathProblem(std::string_view path, std::string_view reason) {
  if (quote_paths) {
    PrintError("quillora-cli: " + QuotedName(path) + ": " + std::string(reason));
    return;
  }
  if (stderr_is_terminal) {
    PrintError("quillora-cli: " + std::string(path) + ": " + std::string(reason));
    return;
  }
  // In parts: a path as long as the check file is written, never copied.
  WriteHeld();
  MutexLock lock(status_mutex);
  EraseStatusLocked();
  std::string storage;
  WriteLine(2, {"quillora-cli: ", Framed(path, false, storage), ": ", reason});
}

void ShowStatus(std::string_view text) {
  std::string bytes = "\r";
  bytes += EscapeControls(text);
  bytes += "\x1b[K";
  MutexLock lock(status_mutex);
  WriteAll(2, bytes);
  status_shown = true;
}

void ClearStatus() {
  MutexLock lock(status_mutex);
  EraseStatusLocked();
}

std::string EscapeControls(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  const auto escape = [&out](unsigned char byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xf];
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7f) {
      escape(byte);
    } else if (byte == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
      escape(byte);
      escape(static_cast<unsigned char>(text[++i]));
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace quillora::cli
