#include "app/window_sinks.h"

#include "app/file_list_model.h"
#include "app/result_box.h"

namespace quillora {

bool PumpGate::Due() {
  if (since_last_.isValid() && since_last_.elapsed() < 15) return false;
  since_last_.start();
  return true;
}

ListSink::RowId ListModelSink::AppendRow(const std::string& path) { return model_.AppendRow(path); }

void ListModelSink::SetDigest(RowId row, const std::string& text) { model_.SetDigest(row, text); }

void ListModelSink::Pump() {
  if (gate_.Due()) pump_();
}

ResultBoxSink::~ResultBoxSink() {
  AppendPending();
  // Closing lines of a job that then failed would tell of a success.
  if (has_closing_lines_ && std::uncaught_exceptions() == unwinding_at_start_) AppendLine(box_, closing_lines_);
}

void ResultBoxSink::Line(std::string_view text) {
  std::string& lines = closing_ ? closing_lines_ : pending_;
  bool& has_lines = closing_ ? has_closing_lines_ : has_pending_;
  if (has_lines) lines += '\n';
  lines += text;
  has_lines = true;
}

void ResultBoxSink::SummaryBegins() {
  closing_ = true;
  ResultSink::SummaryBegins();
}

void ResultBoxSink::Pump() {
  if (!gate_.Due()) return;
  AppendPending();
  pump_();
}

void ResultBoxSink::AppendPending() {
  if (!has_pending_) return;
  AppendLine(box_, pending_);  // one line of the box per "\n"-separated line
  pending_.clear();
  has_pending_ = false;
}

}  // namespace quillora
