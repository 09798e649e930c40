// What the check-file jobs report to a result box: typed events, each
// rendered here, once, into the box's lines. The window appends the lines,
// the command line prints them, the tests record them; no front reads a line
// to learn what happened, it overrides the event instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "digests/job_sink.h"

namespace quillora {

// How a make fared with one file: the status at the end of its line.
enum class FileStatus {
  kOk,                 // "OK": digested and recorded
  kCouldNotOpen,       // "Could not open file": it failed the readability test or its digest
  kNameNotRecordable,  // "Name cannot be recorded": its path cannot be written in a check file
};
std::string_view FileStatusText(FileStatus status);

// A verifier's verdict on one record: the lead of its line.
enum class Verdict {
  kOk,          // "OK ... "
  kChanged,     // "File changed ... "
  kLost,        // "File does not exist ... "
  kUnopenable,  // "Could not open file ... "
};
std::string_view VerdictLead(Verdict verdict);

class ResultSink : public JobSink {
 public:
  // A make enters a sub-folder, before its entries:
  //   Processing folder "<full path>" ...
  virtual void FolderEntered(std::string_view full_path);
  // A make is done with a file:
  //   Processing file "<name>" ... <status>
  virtual void FileDone(std::string_view name, FileStatus status);
  // A verifier's verdict on one record:
  //   <lead>"<full path>"
  // full_path may be quoted in place, so a path as long as the check file is
  // never copied; it is given back as it came. error: for kUnopenable, the
  // system error number that kept the file from being read, or
  // kChangedWhileRead (SystemErrorMessage words it); for kLost, the
  // lookup's that found nothing (ENOENT, ENOTDIR), or 0 when none is known;
  // 0 for the others. The line never shows it: a front that names the
  // reason does so apart.
  virtual void VerdictOn(Verdict verdict, std::string& full_path, int error);
  // The job's closing lines begin: the empty line that opens them. Every
  // line after it is a closing line.
  virtual void SummaryBegins();
  // One closing line: a make's completion lines, a verifier's count line,
  // lists and their headings, the count of new files.
  virtual void SummaryLine(std::string_view text);
  // A file below a verified check file's folder that no record names, among
  // the closing lines:
  //   New file ... "<full path>"
  virtual void NewFile(std::string_view full_path);
  // A line of the check file read as no record, among the closing lines:
  //   Line <number>
  // damaged: in Quillora's own layout, where every line but a comment or an
  // empty one is a record; else improperly formatted in another layout.
  virtual void LineNotRead(std::int64_t number, bool damaged);
  // The same line told in its place, when the verify was asked to
  // (VerifyOptions::unread_lines_in_place): after the verdicts of the
  // records before it, before those after it. Renders nothing, since the
  // result box names such lines among its closing lines; for a front that
  // names each as it comes.
  virtual void UnreadLineMet(std::int64_t number);

 protected:
  // Where each rendered line goes: one line of the result box, without a
  // line end, possibly empty. Called on the job's thread, in order.
  virtual void Line(std::string_view text) = 0;
};

}  // namespace quillora
