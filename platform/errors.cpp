#include "platform/errors.h"

#include "platform/env.h"

#include <cerrno>
#include <cstring>

namespace quillora {

IoError::IoError(int code) : Error(IoErrorMessage(code)), code_(code) {}

IoError IoError::FromSystem(int system_error) {
  const int code = IoErrorCodeFromSystem(system_error);
  if (code != 0) return IoError(code);
  return IoError(system_error, "I/O error " + std::to_string(system_error));
}

std::string IoErrorMessage(int code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
  }
}

int IoErrorCodeFromSystem(int system_error) {
  switch (system_error) {
    case ENOENT: return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return 5;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return 101;
    default: return 0;
  }
}

std::string SystemErrorMessage(int system_error) {
  if (system_error == kNotRegularFile) return "Not a regular file";
  char buffer[256];
  // The GNU strerror_r returns its text; the POSIX one fills the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  return strerror_r(system_error, buffer, sizeof buffer);
#else
  if (strerror_r(system_error, buffer, sizeof buffer) != 0) return "Unknown error " + std::to_string(system_error);
  return buffer;
#endif
}

std::string WithFullStop(std::string text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

}  // namespace quillora
