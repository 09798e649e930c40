// The window's ends of the core's jobs: the list page's model and the two
// result boxes, each with the pump the job calls between files.
#pragma once

#include <functional>

#include "checkfile/job_sink.h"
#include "filelist/list_jobs.h"

class QPlainTextEdit;

namespace quillora {

class FileListModel;

// Rows go to the list's model; the pump processes the window's messages.
class ListModelSink final : public ListSink {
 public:
  ListModelSink(FileListModel& model, std::function<void()> pump) : model_(model), pump_(std::move(pump)) {}
  RowId AppendRow(const std::string& path) override;
  void SetDigest(RowId row, const std::string& text) override;
  void Pump() override { pump_(); }
  void KeepAlive() override { pump_(); }

 private:
  FileListModel& model_;
  std::function<void()> pump_;
};

// Lines go to a result box, one at a time.
class ResultBoxSink final : public JobSink {
 public:
  ResultBoxSink(QPlainTextEdit& box, std::function<void()> pump) : box_(box), pump_(std::move(pump)) {}
  void Line(std::string_view text) override;
  void Pump() override { pump_(); }
  void KeepAlive() override { pump_(); }

 private:
  QPlainTextEdit& box_;
  std::function<void()> pump_;
};

}  // namespace quillora
