// libFuzzer target for the check-file reader. The first input byte picks how
// many bytes each read may return, so block edges fall everywhere, and the
// check file's name, a digest the user fixed (which decide what other
// tools' lines are read as) and whether records end at NUL; the rest is the
// check file. The streamed reader
// must agree with a plain reading of the whole text by the same rules, in
// Quillora's layout and in other tools' (line by line through the same line
// parser and PGP wrapper), and must never crash or hang.
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
#include "checkfile/clear_signed.h"
#include "checkfile/sum_lines.h"
#include "hashes/digest_value.h"
#include "platform/paths.h"
#include "testing/string_stream.h"

namespace {

// A record as text: its digest text or each digest with its candidates, its
// path, whether absolute, its size.
std::string Text(const quillora::CheckRecord& record) {
  std::string text = record.digest_text;
  for (const quillora::ExpectedDigest& digest : record.digests) {
    text += " " + quillora::HexText(digest.value);
    for (quillora::DigestId id : digest.candidates) text += "," + std::to_string(static_cast<int>(id));
  }
  return text + "|" + record.path + (record.absolute ? "|/" : "|") + (record.size ? std::to_string(*record.size) : "");
}
using Records = std::vector<std::string>;

struct Whole {
  Records records;
  std::int64_t improper = 0;
};

// Check files' names, with the file a lone digest in each is of; digests a user fixes.
const std::pair<std::string, std::string> kNames[] = {{"", ""}, {"CheckSum.md5", "CheckSum"}, {"SHA256SUMS", ""},
                                                      {"disc.iso.sha256.asc", "disc.iso"}, {"x.sfv", "x"}};
const quillora::DigestSet kFixed[] = {{}, {quillora::DigestId::kSha256}, {quillora::DigestId::kMd5}};

std::vector<std::string> SplitAt(const std::string& text, char end_of_line) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find(end_of_line, at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// The rules, the obvious way: everything in memory at once.
Whole ReadWhole(std::string text, const std::pair<std::string, std::string>& name, quillora::DigestSet fixed,
                bool nul_ended) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  std::string own = text;
  if (const auto end = own.find('\x1a'); end != std::string::npos) own.resize(end);
  std::string without_cr;
  for (const char ch : own) {
    if (ch != '\r') without_cr += ch;
  }
  Whole whole;
  for (const std::string& line : SplitAt(without_cr, '\n')) {
    if (!line.empty() && line[0] != ';' && line.find('\t') == 32) {
      whole.records.push_back(Text({line.substr(0, 32), {}, {}, quillora::FromCheckFilePath(line.substr(33))}));
    } else if (line.find_first_not_of(" \t") != std::string::npos && line[0] != ';') {
      ++whole.improper;  // damaged, if the file turns out to be in this layout
    }
  }
  if (!whole.records.empty() && (fixed.empty() || fixed.contains(quillora::DigestId::kMd5)) && !nul_ended) return whole;
  whole = {};
  quillora::SumLineParser parser(fixed.empty() ? quillora::DigestsByFileName(name.first) : fixed);
  quillora::ClearSignedText wrapper;
  quillora::SumLine sum;
  for (std::string line : SplitAt(text, nul_ended ? '\0' : '\n')) {
    if (!nul_ended && !line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with('\x1a')) break;
    if (line.starts_with('#') || line.starts_with(';')) continue;
    const std::optional<std::string_view> inside = wrapper.Unwrap(line);
    if (!inside) continue;
    parser.Parse(*inside, sum);
    if (sum.kind == quillora::SumLineKind::kPassedOver) continue;
    if (sum.kind == quillora::SumLineKind::kRecord && !fixed.empty()) {
      std::erase_if(sum.digests, [&](quillora::ExpectedDigest& digest) {
        digest.candidates = digest.candidates & fixed;
        return digest.candidates.empty();
      });
    }
    const bool lone = sum.layout == quillora::SumLayout::kDigestOnly;
    if (sum.kind != quillora::SumLineKind::kRecord || sum.digests.empty() || (lone && name.second.empty())) {
      ++whole.improper;
      continue;
    }
    quillora::CheckRecord record{{}, sum.digests, sum.size, name.second};
    if (!lone) quillora::DecodeSumName(sum, quillora::kPathSeparator, record.path, 0);
    record.absolute = record.path.starts_with(quillora::kPathSeparator);
    whole.records.push_back(Text(record));
  }
  return whole;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t max_read = data[0] < 128 ? 1 + data[0] % 40 : 1 << 16;
  const auto& name = kNames[data[1] % std::size(kNames)];
  const quillora::DigestSet fixed = kFixed[data[1] / std::size(kNames) % std::size(kFixed)];
  const bool nul_ended = data[1] / std::size(kNames) / std::size(kFixed) % 2 == 1;
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

  quillora::testing::StringStream input(text, max_read);
  quillora::CheckFileReader reader(input, {}, {.file_name = name.first, .fixed = fixed, .nul_ended = nul_ended});
  Records streamed;
  quillora::CheckRecord record;
  while (reader.Next(record)) streamed.push_back(Text(record));
  if (reader.Next(record)) std::abort();
  const Whole whole = ReadWhole(text, name, fixed, nul_ended);
  if (streamed != whole.records || reader.unread_lines() != whole.improper) std::abort();
  return 0;
}
