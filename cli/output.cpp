#include "cli/output.h"

#include <cstdio>
#include <string>

namespace quillora::cli {

void PrintLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

void PrintError(std::string_view line) {
  std::fflush(stdout);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
}

void FlushOutput() { std::fflush(stdout); }

}  // namespace quillora::cli
