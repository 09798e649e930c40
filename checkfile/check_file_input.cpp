#include "checkfile/check_file_input.h"

#include <algorithm>
#include <cstring>

#include "platform/errors.h"
#include "platform/paths.h"

namespace quillora {
namespace {

// Bytes read once, served again from memory.
class SpooledStream final : public Stream {
 public:
  explicit SpooledStream(Stream& once) {
    char block[64 * 1024];
    for (;;) {
      const std::int64_t got = once.Read(block, sizeof block);
      if (got < 0) throw IoError::FromSystem(once.last_error());
      if (got == 0) break;
      bytes_.append(block, static_cast<std::size_t>(got));
    }
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t Position() override { return static_cast<std::int64_t>(at_); }
  bool Seek(std::int64_t position) override {
    if (position < 0) return false;
    at_ = static_cast<std::size_t>(position);
    return true;
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    const std::size_t count = at_ < bytes_.size() ? std::min(n, bytes_.size() - at_) : 0;
    std::memcpy(buffer, bytes_.data() + at_, count);
    at_ += count;
    return static_cast<std::int64_t>(count);
  }
  bool Unchanged() override { return true; }

 private:
  std::string bytes_;
  std::size_t at_ = 0;
};

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
  if (input.once) {
    input.stream = std::make_unique<SpooledStream>(*input.stream);
    input.base = WithTrailingSeparator(".");
    if (!standard) input.name = NameOf(path);
  } else {
    const std::string target = env.FinalTarget(path);
    input.base = WithTrailingSeparator(FolderOf(target));
    input.name = NameOf(target);
  }
  return input;
}

}  // namespace quillora
