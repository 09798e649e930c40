// Errors that reach the user. Every failure the core raises carries the exact
// text the user must see; the window's error report adds the final full stop.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillora {

// Base of every error the core raises on purpose. what() is the user's text.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed operation on a text file (check file, saved list): creating,
// writing, reading or closing it. The code follows the text-file error table
// below; anything else is the system's own code.
class IoError : public Error {
 public:
  // The codes of the text-file error table (their texts: IoErrorMessage).
  static constexpr int kFileNotFound = 2;
  static constexpr int kInvalidFilename = 3;
  static constexpr int kTooManyOpenFiles = 4;
  static constexpr int kAccessDenied = 5;
  static constexpr int kReadBeyondEnd = 100;
  static constexpr int kDiskFull = 101;
  static constexpr int kInvalidNumericInput = 106;

  // An error of the table (or "I/O error <code>" for any other code).
  explicit IoError(int code);
  // The error for a failed system call: a mapped error number gets its table
  // code and text; any other is "I/O error <number>" (EIO is 5 on Linux, and
  // must not read as "File access denied").
  static IoError FromSystem(int system_error);
  int code() const { return code_; }
  // The system error number it was made from by FromSystem, else 0: the
  // command line names the system's own reason, as other tools there do.
  int system_error() const { return system_error_; }

 private:
  IoError(int code, const std::string& message, int system_error)
      : Error(message), code_(code), system_error_(system_error) {}
  int code_;
  int system_error_ = 0;
};

// A failed system call outside the text files, carrying its error number
// (errno on POSIX, GetLastError() on Windows). Its text names what failed and
// gives the system's message: "open: Permission denied".
class SystemError : public Error {
 public:
  SystemError(std::string_view what_failed, int number);
  // An error that words its whole text itself.
  static SystemError WithText(int number, const std::string& text) { return SystemError(number, text); }
  int number() const { return number_; }

 private:
  SystemError(int number, const std::string& text) : Error(text), number_(number) {}
  int number_;
};

// The message of a text-file error code: "File not found", ..., "I/O error 32".
std::string IoErrorMessage(int code);

// Maps a system error number (errno on POSIX) to the text-file error code,
// or 0 when it has no counterpart in the table.
int IoErrorCodeFromSystem(int system_error);

// The system's own message for a system error number, without a final full
// stop ("No such file or directory").
std::string SystemErrorMessage(int system_error);

// Adds the full stop of the error report: when the text is not empty and its
// last character sorts after "." (byte order), a "." is appended.
std::string WithFullStop(std::string text);

}  // namespace quillora
