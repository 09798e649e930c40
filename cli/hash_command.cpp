// quillora-cli hash [PATH]...: the rows the list page shows when PATH is
// dropped on it, printed as the lines of a saved list. "-" is standard input.
#include <cerrno>
#include <optional>

#include "checkfile/check_file_format.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/program_env.h"
#include "cli/progress.h"
#include "filelist/list_jobs.h"
#include "filelist/saved_list.h"
#include "md5/file_digest.h"
#include "platform/errors.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quillora::cli {
namespace {

// Prints each row once its second column is known. A row left without one
// (its digest failed inside a folder scan) is printed as unreadable when the
// next row comes or the job ends.
class PrintingSink final : public ListSink {
 public:
  explicit PrintingSink(bool md5sum_format) : md5sum_format_(md5sum_format) {}

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
  void SetCouldNotOpen(RowId row) override {
    if (pending_) unreadable_ = true;
    ListSink::SetCouldNotOpen(row);
  }
  void Pump() override {}
  // A file below a folder that cannot be read keeps out of the list, as in
  // the window, but not out of sight.
  void LeftOut(std::string_view path, std::string_view reason) override {
    EndPending();
    PrintError("quillora-cli: " + std::string(path) + ": " + std::string(reason));
    unreadable_ = true;
  }

  void EndPending() {
    if (pending_) SetCouldNotOpen(last_id_);
  }
  void MarkUnreadable() { unreadable_ = true; }

  // A row as a saved list's line, or as md5sum's (which has no line for a
  // file it could not read: that goes to standard error, as md5sum's does).
  void PrintRow(const std::string& path, std::string_view text) {
    if (!md5sum_format_) {
      PrintLine(SavedListLine(path, text, ""));
    } else if (text == kCouldNotOpenFile) {
      PrintError("quillora-cli: " + path + ": " + std::string(kCouldNotOpenFile));
    } else {
      std::string line = Md5sumRecordLine(text, path);
      line.pop_back();
      PrintLine(line);
    }
  }
  bool unreadable() const { return unreadable_; }

 private:
  std::optional<std::string> pending_;
  RowId last_id_ = 0;
  bool unreadable_ = false;
  bool md5sum_format_;
};

bool StdinIsTerminal() {
#ifdef _WIN32
  return ::_isatty(0) != 0;
#else
  return ::isatty(0) != 0;
#endif
}

// The digest text of standard input, read to its end; empty when a read fails.
std::string DigestOfStandardInput() {
  DigestState state;
  StartDigest(state);
  static char buffer[1 << 16];
  for (;;) {
#ifdef _WIN32
    const int count = ::_read(0, buffer, sizeof buffer);
#else
    const ssize_t count = ::read(0, buffer, sizeof buffer);
#endif
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      return "";
    }
    FeedDigest(state, buffer, static_cast<std::size_t>(count));
    Progress::BytesRead(count);
  }
  return LowerDigestText(FinishDigest(state));
}

}  // namespace

int HashCommand(const Invocation& invocation) {
  std::vector<std::string> paths = invocation.operands;
  if (paths.empty()) {
    if (StdinIsTerminal()) return UsageError("hash needs a PATH, or - for standard input");
    paths.push_back("-");
  }
  Env& env = ProgramEnv();
  PrintingSink sink(invocation.md5sum_format);
  Progress progress;
  if (WantsProgress(invocation.progress)) progress.Start(env);
  try {
    // Runs of paths go to the list's job together; "-" is digested in its place.
    for (std::size_t at = 0; at < paths.size();) {
      if (paths[at] == "-") {
        const std::string digest = DigestOfStandardInput();
        if (digest.empty()) sink.MarkUnreadable();
        Progress::FileDone();
        sink.PrintRow("-", digest.empty() ? kCouldNotOpenFile : digest);
        ++at;
        continue;
      }
      std::size_t end = at;
      while (end < paths.size() && paths[end] != "-") ++end;
      AddDroppedPaths(env, std::vector<std::string>(paths.begin() + static_cast<std::ptrdiff_t>(at),
                                                    paths.begin() + static_cast<std::ptrdiff_t>(end)),
                      sink, invocation.jobs);
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
