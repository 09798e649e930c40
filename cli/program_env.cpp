#include "cli/program_env.h"

#include "cli/interrupt.h"
#include "cli/progress.h"

namespace quillora::cli {
namespace {

class ProgramEnvironment final : public EnvWrapper {
 public:
  ProgramEnvironment() : EnvWrapper(Env::Default()) {}

  std::unique_ptr<ReplacingFile> CreateReplacing(const std::string& path) override {
    return TrackForInterrupt(target(), path);
  }
  std::unique_ptr<Stream> OpenForDigest(const std::string& path) override {
    return CountingStream(target().OpenForDigest(path), path);
  }
  std::unique_ptr<Stream> OpenListedForDigest(const FileToOpen& file) override {
    return CountingStream(target().OpenListedForDigest(file), file.path);
  }
  std::unique_ptr<Stream> OpenStandardInput() override {
    return CountingStream(target().OpenStandardInput(), "-");
  }
};

}  // namespace

Env& ProgramEnv() {
  static ProgramEnvironment env;
  return env;
}

}  // namespace quillora::cli
