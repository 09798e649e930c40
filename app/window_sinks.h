// The window's ends of the core's jobs: the list page's model and the two
// result boxes, each with the pump the job calls between files.
//
// Jobs pump between files, which on small files is thousands of times a
// second. The sinks let the window process its queue at most once a frame
// (15 ms): that looks the same to a person and leaves the time to the job.
// Result-box lines gathered meanwhile are added together just before the
// window processes its queue, so anything the queue does to the box (a drop
// that puts the prompt back) still comes after them.
#pragma once

#include <QElapsedTimer>
#include <exception>
#include <functional>
#include <string>

#include "checkfile/result_sink.h"
#include "filelist/list_jobs.h"

class QPlainTextEdit;

namespace quillora {

class FileListModel;

// True at most once per frame: time to let the window process its queue.
class PumpGate {
 public:
  bool Due();

 private:
  QElapsedTimer since_last_;
};

// Rows go to the list's model; the pump processes the window's messages.
class ListModelSink final : public ListSink {
 public:
  ListModelSink(FileListModel& model, std::function<void()> pump) : model_(model), pump_(std::move(pump)) {}
  RowId AppendRow(const std::string& path) override;
  void SetDigest(RowId row, const std::string& text) override;
  void Pump() override;
  void KeepAlive() override { Pump(); }

 private:
  FileListModel& model_;
  std::function<void()> pump_;
  PumpGate gate_;
};

// Lines go to a result box, in order; all of them are in the box by the time
// the window processes its queue and when the sink is destroyed. The closing
// lines (from SummaryBegins on) come in only when the job has returned: a
// make whose check file could not replace the old one ends with the error
// report, not with "Operation completed.".
class ResultBoxSink final : public ResultSink {
 public:
  ResultBoxSink(QPlainTextEdit& box, std::function<void()> pump)
      : box_(box), pump_(std::move(pump)), unwinding_at_start_(std::uncaught_exceptions()) {}
  ~ResultBoxSink() override;
  void SummaryBegins() override;
  void Pump() override;
  void KeepAlive() override { Pump(); }

 protected:
  void Line(std::string_view text) override;

 private:
  void AppendPending();

  QPlainTextEdit& box_;
  std::function<void()> pump_;
  PumpGate gate_;
  std::string pending_;  // lines not yet in the box, joined by "\n"
  bool has_pending_ = false;
  bool closing_ = false;  // the lines now coming are closing lines
  std::string closing_lines_;  // joined by "\n"
  bool has_closing_lines_ = false;
  int unwinding_at_start_;
};

}  // namespace quillora
