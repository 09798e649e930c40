// libFuzzer target for the check-file reader. The first input byte picks how
// many bytes each read may return, so block edges fall everywhere, and the
// check file's name and a digest the user fixed (which decide what other
// tools' lines are read as); the rest is the check file. The streamed reader
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
// path, whether absolute, whether its backslashes may separate, its size.
std::string Text(const quillora::CheckRecord& record) {
  std::string text = record.digest_text;
  for (const quillora::ExpectedDigest& digest : record.digests) {
    text += " " + quillora::HexText(digest.value);
    for (quillora::DigestId id : digest.candidates) text += "," + std::to_string(static_cast<int>(id));
  }
  return text + "|" + record.path + (record.absolute ? "|/" : "|") + (record.backslashes_may_separate ? "\\|" : "|") +
         (record.size ? std::to_string(*record.size) : "");
}
using Records = std::vector<std::string>;

struct Whole {
  Records records;
  std::int64_t improper = 0;
  std::int64_t passed_over = 0;
};

// Check files' names, with the file a lone digest in each is of; digests a user fixes.
const std::pair<std::string, std::string> kNames[] = {{"", ""},
                                                      {"CheckSum.md5", "CheckSum"},
                                                      {"SHA256SUMS", ""},
                                                      {"disc.iso.sha256.asc", "disc.iso"},
                                                      {"x.sfv", "x"},
                                                      {"disc.iso.sum", "disc.iso"}};
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

bool Blank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

// Quillora's layout: the records before the first Ctrl-Z, and the lines that
// are none (damaged before it, any but blank ones after it).
Whole ReadOwnLayout(const std::string& text) {
  std::string without_cr;
  for (const char ch : text) {
    if (ch != '\r') without_cr += ch;
  }
  const std::size_t mark = without_cr.find('\x1a');
  Whole whole;
  for (const std::string& line : SplitAt(without_cr.substr(0, mark), '\n')) {
    if (!line.empty() && line[0] != ';' && line.find('\t') == 32) {
      whole.records.push_back(Text({line.substr(0, 32), {}, {}, quillora::FromCheckFilePath(line.substr(33))}));
    } else if (!Blank(line) && line[0] != ';') {
      ++whole.improper;  // damaged, if the file turns out to be in this layout
    }
  }
  if (mark != std::string::npos) {
    for (const std::string& line : SplitAt(without_cr.substr(mark + 1), '\n')) whole.improper += !Blank(line);
  }
  return whole;
}

// The rules, the obvious way: everything in memory at once.
Whole ReadWhole(std::string text, const std::pair<std::string, std::string>& name, quillora::DigestSet fixed,
                bool nul_ended) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  if ((fixed.empty() || fixed.contains(quillora::DigestId::kMd5)) && !nul_ended) {
    Whole own = ReadOwnLayout(text);
    if (!own.records.empty()) return own;
  }
  Whole whole;
  quillora::SumLineParser parser(fixed.empty() ? quillora::DigestsByFileName(name.first) : fixed);
  quillora::ClearSignedText wrapper;
  quillora::testing::StringStream whole_text(text);
  if (quillora::HoldsSignedMessage(whole_text)) wrapper.ExpectSignedMessage();
  quillora::SumLine sum;
  const std::vector<std::string> lines = SplitAt(text, nul_ended ? '\0' : '\n');
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    if (!nul_ended && !line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with('#') || line.starts_with(';')) continue;
    const quillora::ClearSignedText::Unwrapped unwrapped = wrapper.Unwrap(line);
    if (unwrapped.part == quillora::ClearSignedText::Part::kOutside) whole.improper += !Blank(line);
    if (unwrapped.part != quillora::ClearSignedText::Part::kRead) continue;
    if (i + 1 == lines.size() && unwrapped.text == "\x1a") continue;  // an end mark alone at the end
    parser.Parse(unwrapped.text, sum);
    if (sum.kind == quillora::SumLineKind::kPassedOver) continue;
    if (sum.kind == quillora::SumLineKind::kRecord && !fixed.empty()) {
      std::erase_if(sum.digests, [&](quillora::ExpectedDigest& digest) {
        digest.candidates = digest.candidates & fixed;
        return digest.candidates.empty();
      });
      if (sum.digests.empty()) {
        ++whole.passed_over;
        continue;
      }
    }
    const bool lone = sum.layout == quillora::SumLayout::kDigestOnly;
    if (sum.kind != quillora::SumLineKind::kRecord || (lone && name.second.empty())) {
      ++whole.improper;
      continue;
    }
    quillora::CheckRecord record{{}, sum.digests, sum.size, name.second};
    if (!lone) {
      const bool literal = !sum.escaped && !sum.native && quillora::kPathSeparator != '\\' &&
                           sum.name.find('\\') != std::string_view::npos;
      quillora::DecodeSumName(sum, literal ? '\\' : quillora::kPathSeparator, record.path, 0);
      record.backslashes_may_separate = literal;
      if (!literal) quillora::ToNativeSeparators(record.path);
    }
    record.absolute = record.path.starts_with('/') || record.path.starts_with(quillora::kPathSeparator);
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
  if (streamed != whole.records || reader.unread_lines() != whole.improper ||
      reader.passed_over_lines() != whole.passed_over)
    std::abort();
  return 0;
}
