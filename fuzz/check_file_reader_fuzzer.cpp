// libFuzzer target for the check-file reader. The first input byte picks how
// many bytes each read may return, so block edges fall everywhere; the rest
// is the check file. The streamed reader must agree with a plain reading of
// the whole text by the same rules, and must never crash or hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "checkfile/check_file_reader.h"
#include "testing/string_stream.h"

namespace {

using Records = std::vector<std::pair<std::string, std::string>>;

// The rules, the obvious way: everything in memory at once.
Records ReadWhole(std::string text) {
  if (const auto end = text.find('\x1a'); end != std::string::npos) text.resize(end);
  std::string without_cr;
  for (const char ch : text) {
    if (ch != '\r') without_cr += ch;
  }
  Records records;
  std::size_t at = 0;
  while (at <= without_cr.size()) {
    std::size_t end = without_cr.find('\n', at);
    if (end == std::string::npos) end = without_cr.size();
    const std::string line = without_cr.substr(at, end - at);
    if (!line.empty() && line[0] != ';' && line.find('\t') == 32) records.emplace_back(line.substr(0, 32), line.substr(33));
    at = end + 1;
  }
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t max_read = data[0] < 128 ? 1 + data[0] % 40 : 1 << 16;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  quillora::testing::StringStream input(text, max_read);
  quillora::CheckFileReader reader(input);
  Records streamed;
  quillora::CheckRecord record;
  while (reader.Next(record)) streamed.emplace_back(record.digest_text, record.relative_path);
  if (reader.Next(record)) std::abort();
  if (streamed != ReadWhole(text)) std::abort();
  return 0;
}
