#include "checkfile/check_file_input.h"

#include <string>

#include "platform/errors.h"
#include "platform/paths.h"

namespace quillora {
namespace {

// Bytes read once, served again from memory.
std::unique_ptr<Stream> Spooled(Stream& once) {
  std::string bytes;
  char block[64 * 1024];
  for (;;) {
    const std::int64_t got = once.Read(block, sizeof block);
    if (got < 0) throw IoError::FromSystem(once.last_error());
    if (got == 0) break;
    bytes.append(block, static_cast<std::size_t>(got));
  }
  return std::make_unique<MemoryStream>(std::move(bytes));
}

}  // namespace

bool NamesStandardInput(const std::string& path) {
#ifdef _WIN32
  return path == "-";
#else
  return path == "-" || path == "/dev/stdin";
#endif
}

CheckFileInput OpenCheckFile(Env& env, const std::string& path, bool dash_is_standard_input) {
  CheckFileInput input;
  const bool standard = dash_is_standard_input && NamesStandardInput(path);
  input.stream = standard ? env.OpenStandardInput() : env.OpenTextForReading(path);
  input.once = input.stream->Size() < 0;
  input.size = input.stream->Size();
  if (input.once) {
    input.stream = Spooled(*input.stream);
    input.size = input.stream->Size();
    input.base = WithTrailingSeparator(".");
    if (!standard) input.name = NameOf(path);
  } else {
    const std::string target = env.FinalTarget(path);
    input.base = WithTrailingSeparator(FolderOf(target));
    input.name = NameOf(target);
  }
  return input;
}

int CheckFileInput::ChangeSinceOpen() {
  const std::int64_t at = stream->Position();
  if (at < 0) return stream->last_error() != 0 ? stream->last_error() : kChangedWhileRead;
  if (at != size) return kChangedWhileRead;
  return stream->ChangeSinceOpen();
}

}  // namespace quillora
