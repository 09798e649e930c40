#include "cli/program_env.h"

#include "cli/interrupt.h"
#include "cli/progress.h"

namespace quillora::cli {
namespace {

class ProgramEnvironment final : public Env {
 public:
  std::unique_ptr<ReplacingFile> CreateReplacing(const std::string& path) override {
    return TrackForInterrupt([](const std::string& target) { return Env::Default().CreateReplacing(target); }, path);
  }
  std::unique_ptr<Stream> OpenForDigest(const std::string& path) override {
    return CountingStream(Env::OpenForDigest(path), path);
  }
};

}  // namespace

Env& ProgramEnv() {
  static ProgramEnvironment env;
  return env;
}

}  // namespace quillora::cli
