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

// A failed system call, carrying its error number (errno on POSIX,
// GetLastError() on Windows, or one of the numbers below env.h gives). Every
// Env call that fails raises one (IoError for the text files), and nothing
// there answers a failure with a bare false. Its text names what failed and
// gives the system's message: "open: Permission denied".
class SystemError : public Error {
 public:
  SystemError(std::string_view what_failed, int number);
  // An error that words its whole text itself.
  static SystemError WithText(int number, const std::string& text) { return SystemError(number, text); }
  int number() const { return number_; }

 protected:
  SystemError(int number, const std::string& text) : Error(text), number_(number) {}

 private:
  int number_;
};

// A failed operation on a text file (check file, saved list): creating,
// writing, reading or closing it. The code follows the text-file error table
// below; anything else is the system's own code. number() is the system error
// it was made from (FromSystem), else 0.
class IoError : public SystemError {
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
  int system_error() const { return number(); }

 private:
  IoError(int code, const std::string& message, int system_error) : SystemError(system_error, message), code_(code) {}
  int code_;
};

// A fault of the system met on one file or folder while a job ran (a read
// that failed, no descriptor or memory to be had): the job stops there and
// keeps nothing it would have written. Its text names the path and the
// system's message: "Cannot read folder "/srv/data". Input/output error".
class SystemFault : public SystemError {
 public:
  enum class Object { kFile, kFolder };
  SystemFault(Object object, std::string path, int number);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Whether an error number only says what one file or folder is: not there,
// not a folder, no permission, a name too long, a link loop, held by another
// program, changed while it was read, not a regular file. A job names such a
// file, leaves it out and goes on. Any other error (EIO, EMFILE, ENOMEM, ...)
// is a fault of the system, which stops a job that writes or lists.
bool TellsOfTheEntry(int system_error);

// Whether an error number says that nothing is at a path: no such name, or a
// name on the way that is not a folder.
bool IsNotFound(int system_error);

// Whether an error number is the program's own want of descriptors or memory
// (EMFILE, ENFILE, ENOMEM): never a verdict on a file, whatever the job.
bool IsOwnShortage(int system_error);

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
