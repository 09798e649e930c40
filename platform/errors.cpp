#include "platform/errors.h"

#include "platform/env.h"  // kChangedWhileRead

namespace quillora {

IoError::IoError(int code) : SystemError(0, IoErrorMessage(code)), code_(code) {}

SystemError::SystemError(std::string_view what_failed, int number)
    : Error(std::string(what_failed) + ": " + SystemErrorMessage(number)), number_(number) {}

namespace {

std::string FaultText(SystemFault::Object object, const std::string& path, int number) {
  if (number == kChangedWhileRead) return "The file \"" + path + "\" changed while it was read";
  return std::string(object == SystemFault::Object::kFile ? "Cannot read file \"" : "Cannot read folder \"") + path +
         "\". " + SystemErrorMessage(number);
}

}  // namespace

SystemFault::SystemFault(Object object, std::string path, int number)
    : SystemError(number, FaultText(object, path, number)), path_(std::move(path)) {}

IoError IoError::FromSystem(int system_error) {
  const int code = IoErrorCodeFromSystem(system_error);
  if (code != 0) return IoError(code, IoErrorMessage(code), system_error);
  return IoError(system_error, "I/O error " + std::to_string(system_error), system_error);
}

std::string IoErrorMessage(int code) {
  switch (code) {
    case IoError::kFileNotFound: return "File not found";
    case IoError::kInvalidFilename: return "Invalid filename";
    case IoError::kTooManyOpenFiles: return "Too many open files";
    case IoError::kAccessDenied: return "File access denied";
    case IoError::kReadBeyondEnd: return "Read beyond end of file";
    case IoError::kDiskFull: return "Disk full";
    case IoError::kInvalidNumericInput: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
  }
}

std::string WithFullStop(std::string text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

}  // namespace quillora
