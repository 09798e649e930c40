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

void ResultBoxSink::Line(std::string_view text) {
  if (has_pending_) pending_ += '\n';
  pending_ += text;
  has_pending_ = true;
}

void ResultBoxSink::Pump() {
  if (!gate_.Due()) return;
  Flush();
  pump_();
}

void ResultBoxSink::Flush() {
  if (!has_pending_) return;
  AppendLine(box_, pending_);  // one line of the box per "\n"-separated line
  pending_.clear();
  has_pending_ = false;
}

}  // namespace quillora
