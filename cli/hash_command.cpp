// quillora-cli hash PATH...: the rows the list page shows when PATH is
// dropped on it, printed as the lines of a saved list.
#include <optional>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "filelist/list_jobs.h"
#include "filelist/saved_list.h"
#include "platform/errors.h"

namespace quillora::cli {
namespace {

// Prints each row once its second column is known. A row left without one
// (its digest failed inside a folder scan) is printed as unreadable when the
// next row comes or the job ends.
class PrintingSink final : public ListSink {
 public:
  RowId AppendRow(const std::string& path) override {
    Flush();
    pending_ = path;
    return ++last_id_;
  }
  void SetDigest(RowId, const std::string& text) override {
    if (!pending_) return;
    if (text == kCouldNotOpenFile) unreadable_ = true;
    PrintLine(SavedListLine(*pending_, text, ""));
    pending_.reset();
  }
  void Pump() override {}
  // A file below a folder that cannot be read keeps out of the list, as in
  // the window, but not out of sight.
  void LeftOut(const std::string& path, std::string_view reason) override {
    Flush();
    PrintError("quillora-cli: " + path + ": " + std::string(reason));
    unreadable_ = true;
  }

  void Flush() {
    if (pending_) SetDigest(last_id_, std::string(kCouldNotOpenFile));
  }
  bool unreadable() const { return unreadable_; }

 private:
  std::optional<std::string> pending_;
  RowId last_id_ = 0;
  bool unreadable_ = false;
};

}  // namespace

int HashCommand(const std::vector<std::string>& args, const Options& options) {
  if (args.empty()) {
    PrintError("usage: quillora-cli hash PATH...");
    return kExitUsage;
  }
  PrintingSink sink;
  try {
    AddDroppedPaths(ProgramEnv(), args, sink, options.jobs);
  } catch (const Error& e) {
    sink.Flush();
    PrintError(WithFullStop(e.what()));
    return kExitFailed;
  }
  sink.Flush();
  return sink.unreadable() ? kExitFindings : kExitOk;
}

}  // namespace quillora::cli
