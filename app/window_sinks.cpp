#include "app/window_sinks.h"

#include "app/file_list_model.h"
#include "app/result_box.h"

namespace quillora {

ListSink::RowId ListModelSink::AppendRow(const std::string& path) { return model_.AppendRow(path); }

void ListModelSink::SetDigest(RowId row, const std::string& text) { model_.SetDigest(row, text); }

void ResultBoxSink::Line(std::string_view text) { AppendLine(box_, text); }

}  // namespace quillora
