// libFuzzer target for the check-file reader. The first input byte picks how
// many bytes each read may return, so block edges fall everywhere; the rest
// is the check file. The streamed reader must agree with a plain reading of
// the whole text by the same rules, in Quillora's layout and in md5sum's,
// and must never crash or hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checkfile/check_file_format.h"
#include "checkfile/check_file_reader.h"
#include "testing/string_stream.h"

namespace {

using Records = std::vector<std::pair<std::string, std::string>>;

struct Whole {
  Records records;
  std::int64_t improper = 0;
};

std::vector<std::string> SplitAtLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

bool IsDigest(std::string_view text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// One md5sum-layout line, taken apart from both ends. one_blank: whether the
// file's untagged lines have one blank before the name (settled by the
// first), unknown until then.
std::optional<std::pair<std::string, std::string>> ParseMd5sumLine(std::string line, std::optional<bool>& one_blank) {
  line.erase(0, std::min(line.size(), line.find_first_not_of(" \t")));
  const bool escaped = !line.empty() && line[0] == '\\';
  if (escaped) line.erase(0, 1);
  std::string digest, name;
  const std::size_t tag = line.starts_with("MD5(") ? 4 : line.starts_with("MD5 (") ? 5 : 0;
  if (tag != 0) {
    if (line.size() < tag + 2 + 32) return std::nullopt;
    digest = line.substr(line.size() - 32);
    std::string rest = line.substr(tag, line.size() - 32 - tag);
    while (!rest.empty() && rest.back() == ' ') rest.pop_back();
    if (rest.empty() || rest.back() != '=') return std::nullopt;
    rest.pop_back();
    if (!rest.empty() && rest.back() == ' ') rest.pop_back();
    if (rest.empty() || rest.back() != ')') return std::nullopt;
    rest.pop_back();
    name = rest;
  } else {
    if (line.size() < 33 || (line[32] != ' ' && line[32] != '\t')) return std::nullopt;
    digest = line.substr(0, 32);
    name = line.substr(33);
    if (!IsDigest(digest)) return std::nullopt;
    const bool mark = name.size() > 1 && (name[0] == ' ' || name[0] == '*');
    if (!one_blank) one_blank = !mark;
    if (!*one_blank) {
      if (!mark) return std::nullopt;
      name.erase(0, 1);
    }
    if (name.empty()) return std::nullopt;
  }
  if (!IsDigest(digest)) return std::nullopt;
  if (!escaped) return std::make_pair(digest, quillora::FromCheckFilePath(name));
  std::string decoded;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] != '\\') {
      decoded += name[i];
      continue;
    }
    if (++i == name.size()) return std::nullopt;
    if (name[i] == '\\') decoded += '\\';
    else if (name[i] == 'n') decoded += '\n';
    else if (name[i] == 'r') decoded += '\r';
    else return std::nullopt;
  }
  return std::make_pair(digest, decoded);
}

// The rules, the obvious way: everything in memory at once.
Whole ReadWhole(std::string text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  std::string own = text;
  if (const auto end = own.find('\x1a'); end != std::string::npos) own.resize(end);
  std::string without_cr;
  for (const char ch : own) {
    if (ch != '\r') without_cr += ch;
  }
  Whole whole;
  for (const std::string& line : SplitAtLf(without_cr)) {
    if (!line.empty() && line[0] != ';' && line.find('\t') == 32) {
      whole.records.emplace_back(line.substr(0, 32), quillora::FromCheckFilePath(line.substr(33)));
    } else if (line.find_first_not_of(" \t") != std::string::npos && line[0] != ';') {
      ++whole.improper;  // damaged, if the file turns out to be in this layout
    }
  }
  if (!whole.records.empty()) return whole;
  whole.improper = 0;
  std::optional<bool> one_blank;
  for (std::string line : SplitAtLf(text)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with('\x1a')) break;
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#' || line[0] == ';') continue;
    if (auto record = ParseMd5sumLine(line, one_blank)) {
      whole.records.push_back(std::move(*record));
    } else {
      ++whole.improper;
    }
  }
  return whole;
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
  while (reader.Next(record)) streamed.emplace_back(record.digest_text, record.path);
  if (reader.Next(record)) std::abort();
  const Whole whole = ReadWhole(text);
  if (streamed != whole.records || reader.unread_lines() != whole.improper) std::abort();
  return 0;
}
