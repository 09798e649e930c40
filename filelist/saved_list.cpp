#include "filelist/saved_list.h"

namespace quillora {

std::string SavedListLine(std::string_view path, std::string_view second_column, std::string_view line_end) {
  std::string line;
  line.reserve(path.size() + 5 + second_column.size() + line_end.size());
  line.append(path).append(5, ' ').append(second_column).append(line_end);
  return line;
}

}  // namespace quillora
