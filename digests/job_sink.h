// Where a long job reports: the base of every job's sink. The check-file
// jobs (checkfile/result_sink.h) and the list's jobs (filelist/list_jobs.h)
// add their own typed events to these; a job never knows who listens.
#pragma once

#include <string_view>

namespace quillora {

class JobSink {
 public:
  virtual ~JobSink() = default;
  // Called exactly where the front must process pending messages (the window
  // repaints and, during a make, stays live). A sink without a message loop
  // does nothing. May throw to end the job; the job lets it pass.
  virtual void Pump() = 0;
  // Called now and then while the job waits for a digest that is still being
  // computed (a large file), so a window stays live meanwhile.
  virtual void KeepAlive() {}
  // A file or folder the job leaves out: it could not be read or listed, or
  // its name cannot be recorded. Gets its full path and the reason in a few
  // words ("Permission denied", "Name cannot be recorded"), right after the
  // line or row about it, if there is one. The lines and rows stay the same;
  // a front that keeps count, or names what was left out, can do so here.
  virtual void LeftOut(std::string_view path, std::string_view reason) {
    static_cast<void>(path), static_cast<void>(reason);
  }
  // Called once every line of a job has been reported and right before its
  // result becomes final (a make renames its new check file over the old
  // one). A front that holds lines back writes them out now; if it cannot, it
  // throws, and the old result stays as it was.
  virtual void Flush() {}
};

}  // namespace quillora
