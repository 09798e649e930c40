#include "filelist/saved_list.h"

#include "filelist/list_jobs.h"

namespace quillora {

std::string SavedListLine(std::string_view path, std::string_view second_column, std::string_view line_end) {
  std::string line;
  line.reserve(path.size() + 5 + second_column.size() + line_end.size());
  line.append(path).append(5, ' ').append(second_column).append(line_end);
  return line;
}

std::string_view SavedSecondColumn(const ListRow& row) {
  return row.digest ? std::string_view(*row.digest) : kCouldNotOpenFile;
}

void SaveList(Env& env, const std::string& path, std::span<const ListRow> rows) {
  auto file = env.CreateReplacing(path);
  for (const ListRow& row : rows) file->Append(SavedListLine(row.path, SavedSecondColumn(row)));
  file->Commit();
}

}  // namespace quillora
