// quillora-cli hash [PATH]...: the rows the list page shows when PATH is
// dropped on it, printed as the lines of a saved list. "-" is standard input.
#include <optional>

#include "checkfile/check_file_format.h"
#include "cli/commands.h"
#include "cli/digest_choice.h"
#include "digests/single_digester.h"
#include "cli/output.h"
#include "cli/program_env.h"
#include "cli/progress.h"
#include "filelist/list_jobs.h"
#include "filelist/saved_list.h"
#include "digests/file_digest.h"
#include "md5/md5.h"
#include "platform/errors.h"

namespace quillora::cli {
namespace {

// Prints each row once its second column is known. A row left without one
// (the job failed on its file) is printed as unreadable when the next row
// comes or the job ends.
class PrintingListSink final : public ListSink {
 public:
  explicit PrintingListSink(const WrittenLayout& layout)
      : layout_(layout), sums_(layout.layout == CheckFileLayout::kMd5sum) {}

  RowId AppendRow(const std::string& path) override {
    EndPending();
    pending_ = path;
    return ++last_id_;
  }
  void SetDigest(RowId, const std::string& text) override {
    if (!pending_) return;
    Progress::FileDone();
    PrintRow(*pending_, text);
    pending_.reset();
  }
  void SetCouldNotOpen(RowId, int error) override {
    if (!pending_) return;
    Progress::FileDone();
    PrintUnreadable(*pending_, error);
    pending_.reset();
  }
  void Pump() override {}
  // A file below a folder that cannot be read keeps out of the list, as in
  // the window, but not out of sight.
  void LeftOut(std::string_view path, std::string_view reason) override {
    EndPending();
    PrintPathProblem(path, reason);
    unreadable_ = true;
  }

  void EndPending() {
    if (pending_) SetCouldNotOpen(last_id_, 0);
  }

  // A row as a saved list's line, or as md5sum's, whose name is escaped
  // already and must not be escaped twice. Ended by NUL (-z), neither is
  // escaped.
  void PrintRow(const std::string& path, std::string_view text) {
    if (!sums_) {
      PrintListLine(path, text);
    } else if (layout_.nul_ended) {
      PrintRaw(SumsRecordLine(layout_, text, path));
    } else {
      std::string line = SumsRecordLine(layout_, text, path);
      line.pop_back();
      PrintLine(line);
    }
  }
  void PrintListLine(const std::string& path, std::string_view second_column) {
    if (layout_.nul_ended) {
      PrintRaw(SavedListLine(path, second_column, std::string_view("", 1)));
    } else {
      PrintNamedLine(SavedListLine(path, second_column, ""));
    }
  }
  // A file that could not be read: its row says "Could not open file", and
  // standard error names it with the system's reason, as md5sum's does (in
  // md5sum's layout there is no row for it). error 0: no reason is known.
  void PrintUnreadable(const std::string& path, int error) {
    unreadable_ = true;
    if (!sums_) PrintListLine(path, kCouldNotOpenFile);
    if (error != 0 || sums_)
      PrintPathProblem(path, error != 0 ? SystemErrorMessage(error) : std::string(kCouldNotOpenFile));
  }
  bool unreadable() const { return unreadable_; }

 private:
  std::optional<std::string> pending_;
  RowId last_id_ = 0;
  bool unreadable_ = false;
  WrittenLayout layout_;
  bool sums_;  // sha256sum's lines, not a saved list's
};

}  // namespace

int HashCommand(const Invocation& invocation) {
  std::vector<std::string> paths = invocation.operands;
  if (paths.empty()) {
    if (StdinIsTerminal()) return UsageError("hash needs a PATH, or - for standard input");
    paths.push_back("-");
  }
  std::string problem;
  const std::optional<WrittenLayout> layout = LayoutToWrite(invocation, problem);
  if (!layout) return UsageError(problem);
  Env& env = ProgramEnv();
  PrintingListSink sink(*layout);
  Progress progress;
  if (WantsProgress(invocation.progress)) progress.Start(env);
  try {
    // Runs of paths go to the list's job together; "-" is digested in its place.
    for (std::size_t at = 0; at < paths.size();) {
      if (paths[at] == "-") {
        const AheadOutcome outcome = DigestedAlone(*env.OpenStandardInput(), DigestSet{layout->digest});
        Progress::FileDone();
        if (outcome.error != 0) {
          sink.PrintUnreadable("-", outcome.error);
        } else {
          sink.PrintRow("-", outcome.text());
        }
        ++at;
        continue;
      }
      std::size_t end = at;
      while (end < paths.size() && paths[end] != "-") ++end;
      AddDroppedPaths(env, std::vector<std::string>(paths.begin() + static_cast<std::ptrdiff_t>(at),
                                                    paths.begin() + static_cast<std::ptrdiff_t>(end)),
                      sink, invocation.jobs, layout->digest);
      sink.EndPending();
      at = end;
    }
  } catch (const Error& e) {
    progress.Stop();
    sink.EndPending();
    return JobFailed(e, "");
  }
  progress.Stop();
  return sink.unreadable() ? kExitFindings : kExitOk;
}

}  // namespace quillora::cli
