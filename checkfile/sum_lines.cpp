#include "checkfile/sum_lines.h"

#include <algorithm>
#include <cassert>
#include <charconv>

#include "platform/paths.h"

namespace quillora {
namespace {

using enum DigestId;

constexpr std::size_t kLongestUnknownTag = 32;

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

std::string_view TrimTrailingBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Settles the line as improper; true, as every reader returns once a line is settled.
bool Improper(SumLine& line) {
  line.kind = SumLineKind::kImproper;
  line.digests.clear();
  return true;
}

// Reads a digest text as one of `allowed`, or, with none allowed, as any
// digest of its length. Hexadecimal first.
bool ReadDigest(std::string_view text, DigestSet allowed, ExpectedDigest& digest) {
  const auto fits = [&](std::size_t size) {
    return allowed.empty() ? DigestsOfSize(size) : allowed & DigestsOfSize(size);
  };
  if (const auto value = ParseHexDigest(text); value && !fits(value->size).empty()) {
    digest = {*value, DigestEncoding::kHex, fits(value->size)};
    return true;
  }
  // Base64 by its length alone only from MD5's length on: every short word
  // of letters and digits ("data/tab", "junk") is some BLAKE2b's base64.
  const auto value = ParseBase64Digest(text);
  if (!value || (allowed.empty() && value->size < InfoOf(kMd5).size) || fits(value->size).empty()) return false;
  digest = {*value, DigestEncoding::kBase64, fits(value->size)};
  return true;
}

// The bytes a digest text holds, whatever its digest; 0 when it holds none.
std::size_t DigestTextSize(std::string_view text) {
  if (const auto value = ParseHexDigest(text)) return value->size;
  if (const auto value = ParseBase64Digest(text)) return value->size;
  return 0;
}

// Whether a name as written names a file: not empty, no NUL, and, when
// escaped, only md5sum's escapes ("\\", "\n", "\r"). first: its first
// three bytes decoded, to tell whether it is a path of its own.
bool CheckName(std::string_view text, bool escaped, std::string& first) {
  first.clear();
  if (text.empty() || text.find('\0') != std::string_view::npos) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char ch = text[i];
    if (escaped && ch == '\\') {
      if (++i == text.size()) return false;
      switch (text[i]) {
        case '\\': break;
        case 'n': ch = '\n'; break;
        case 'r': ch = '\r'; break;
        default: return false;
      }
    }
    if (first.size() < 3) first += ch;
  }
  return true;
}

bool IsAbsoluteName(std::string_view name, bool escaped) {
  if (name.starts_with('/') || (!escaped && name.starts_with('\\'))) return true;
  const char drive = static_cast<char>(name.empty() ? 0 : name[0] | 0x20);
  return name.size() >= 3 && drive >= 'a' && drive <= 'z' && name[1] == ':' && (name[2] == '/' || name[2] == '\\');
}

// Sets the record's name; false when it cannot name a file (empty, a NUL,
// a broken escape).
bool SetName(std::string_view text, bool escaped, SumLine& line) {
  std::string first;
  if (!CheckName(text, escaped, first)) return false;
  line.name = text;
  line.escaped = escaped;
  line.absolute = IsAbsoluteName(first, escaped);
  return true;
}

bool SetRecord(SumLayout layout, std::string_view name, bool escaped, const ExpectedDigest& digest, SumLine& line) {
  line.layout = layout;
  if (!SetName(name, escaped, line)) return Improper(line);
  line.kind = SumLineKind::kRecord;
  line.digests.assign(1, digest);
  return true;
}

bool SetUnavailable(SumLayout layout, std::string_view name, bool escaped, std::string missing, SumLine& line) {
  line.layout = layout;
  if (!SetName(name, escaped, line)) return Improper(line);
  line.kind = SumLineKind::kUnavailable;
  line.unavailable = std::move(missing);
  return true;
}

bool IsTagCharacter(char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' ||
         ch == '/' || ch == '_';
}

// A tag as the tools write them: a letter, then letters, digits, "-", "/"
// or "_", no longer than any tool writes.
bool LooksLikeTag(std::string_view tag) {
  const char first = static_cast<char>(tag.empty() ? 0 : tag[0] | 0x20);
  return first >= 'a' && first <= 'z' && tag.size() <= kLongestUnknownTag &&
         std::all_of(tag.begin(), tag.end(), IsTagCharacter);
}

struct TaggedParts {
  bool escaped;
  std::string_view tag, name, digest;
};

std::optional<TaggedParts> SplitTagged(std::string_view text) {
  std::size_t at = SkipBlanks(text, 0);
  const bool escaped = at < text.size() && text[at] == '\\';
  if (escaped) ++at;
  std::size_t tag_end = at;
  while (tag_end < text.size() && !IsBlank(text[tag_end]) && text[tag_end] != '(') ++tag_end;
  const std::size_t open = SkipBlanks(text, tag_end);
  const std::size_t close = text.rfind(')');
  if (tag_end == at || open == text.size() || text[open] != '(' || close == std::string_view::npos || close < open)
    return std::nullopt;
  const std::size_t equals = SkipBlanks(text, close + 1);
  if (equals == text.size() || text[equals] != '=') return std::nullopt;
  const std::string_view digest = TrimTrailingBlanks(text.substr(SkipBlanks(text, equals + 1)));
  if (digest.empty() || digest.find_first_of(" \t") != std::string_view::npos) return std::nullopt;
  return TaggedParts{escaped, text.substr(at, tag_end - at), text.substr(open + 1, close - open - 1), digest};
}

}  // namespace

SumLineParser::SumLineParser(DigestSet implied) : implied_(implied) {}

void DecodeSumName(const SumLine& line, char separator, std::string& out, std::size_t at) {
  const std::string_view name = line.name;
  const bool inside = name.data() >= out.data() && name.data() < out.data() + out.size();
  if (inside) {
    assert(name.data() >= out.data() + at);
  } else {
    out.resize(at + name.size());
  }
  char* to = out.data() + at;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char ch = name[i];
    if (ch == '\\' && !line.native) {
      if (!line.escaped) {
        ch = separator;
      } else if (++i < name.size()) {  // Parse let only md5sum's escapes through
        ch = name[i] == 'n' ? '\n' : name[i] == 'r' ? '\r' : '\\';
      }
    }
    *to++ = ch;
  }
  out.resize(static_cast<std::size_t>(to - out.data()));
}

void SumLineParser::Parse(std::string_view text, SumLine& line) {
  line.layout = SumLayout::kSums;
  line.digests.clear();
  line.name = {};
  line.escaped = false;
  line.native = false;
  line.absolute = false;
  line.size.reset();
  line.unavailable.clear();
  if (SkipBlanks(text, 0) == text.size() || text.front() == '#' || text.front() == ';' || ReadHashdeepHeader(text)) {
    line.kind = SumLineKind::kPassedOver;
    return;
  }
  // A saved list's row ends in five blanks and MD5's digits, which no other
  // layout's line does.
  if (ReadHashdeep(text, line) || ReadTagged(text, false, line) || ReadSavedList(text, line)) return;
  // In an SFV file its own layout comes before the sums layout: "0badf00d
  // 12345678" is a name and a CRC there. A tag the table does not know is
  // tried after the sums layout, whose names may hold "(x) = y", but before
  // SFV, which would take "CRC32C (x) = 364b3fb7" for a name and a CRC.
  const bool sfv_first = implied_.contains(kCrc32);
  if (sfv_first && (ReadTagged(text, true, line) || ReadSfv(text, line))) return;
  if (ReadDigestOnly(text, line) || ReadSums(text, line) || ReadTagged(text, true, line)) return;
  if (!sfv_first && ReadSfv(text, line)) return;
  line.kind = SumLineKind::kImproper;
}

bool SumLineParser::ReadHashdeepHeader(std::string_view text) {
  if (!text.starts_with("%%%%")) return false;
  std::string_view rest = text.substr(SkipBlanks(text, 4));
  if (rest.starts_with("HASHDEEP-")) {
    hashdeep_ = true;
    columns_.clear();
    return true;
  }
  if (!hashdeep_) return true;
  columns_.clear();
  rest = TrimTrailingBlanks(rest);
  for (std::size_t comma; (comma = rest.find(',')) != std::string_view::npos; rest.remove_prefix(comma + 1)) {
    const std::string_view name = rest.substr(0, comma);
    const std::optional<DigestSet> digests = DigestsByCksumName(name);
    if (name == "size") {
      columns_.push_back({Column::Kind::kSize, kMd5, {}});
    } else if (digests && digests->size() == 1) {
      columns_.push_back({Column::Kind::kDigest, *digests->begin(), {}});
    } else {
      columns_.push_back({Column::Kind::kOther, kMd5, std::string(name)});
    }
  }
  if (rest != "filename") columns_.clear();
  return true;
}

bool SumLineParser::ReadHashdeep(std::string_view text, SumLine& line) const {
  if (columns_.empty()) return false;
  const auto not_a_row = [&] {
    line.digests.clear();
    line.size.reset();
    return false;
  };
  std::string_view other;
  for (const Column& column : columns_) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return not_a_row();
    const std::string_view field = text.substr(0, comma);
    text.remove_prefix(comma + 1);
    if (column.kind == Column::Kind::kSize) {
      std::uint64_t size = 0;
      const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), size);
      if (field.empty() || error != std::errc() || end != field.data() + field.size()) return not_a_row();
      line.size = size;
    } else if (column.kind == Column::Kind::kDigest) {
      const auto value = ParseHexDigest(field);
      if (!value || value->size != InfoOf(column.digest).size) return not_a_row();
      line.digests.push_back({*value, DigestEncoding::kHex, DigestSet{column.digest}});
    } else if (other.empty()) {
      other = column.name;
    }
  }
  line.layout = SumLayout::kHashdeep;
  if (!SetName(text, false, line)) return Improper(line);
  if (line.digests.empty()) {
    line.kind = SumLineKind::kUnavailable;
    line.unavailable.assign(other);
  } else {
    line.kind = SumLineKind::kRecord;
  }
  return true;
}

bool SumLineParser::ReadTagged(std::string_view text, bool any_tag, SumLine& line) const {
  const std::optional<TaggedParts> parts = SplitTagged(text);
  if (!parts) return false;
  const std::optional<DigestId> id = DigestByTag(parts->tag);
  if (!id) {
    if (!any_tag || !LooksLikeTag(parts->tag) || DigestTextSize(parts->digest) == 0) return false;
    return SetUnavailable(SumLayout::kTagged, parts->name, parts->escaped, std::string(parts->tag), line);
  }
  ExpectedDigest digest;
  if (!ReadDigest(parts->digest, DigestSet{*id}, digest)) return Improper(line);
  return SetRecord(SumLayout::kTagged, parts->name, parts->escaped, digest, line);
}

bool SumLineParser::ReadSfv(std::string_view text, SumLine& line) const {
  if (!implied_.empty() && !implied_.contains(kCrc32)) return false;
  text = TrimTrailingBlanks(text);
  const std::size_t blank = text.find_last_of(" \t");
  if (blank == std::string_view::npos || text.size() - blank - 1 != 2 * InfoOf(kCrc32).size) return false;
  const auto value = ParseHexDigest(text.substr(blank + 1));
  const std::string_view name = TrimTrailingBlanks(text.substr(0, blank));
  if (!value || name.empty()) return false;
  return SetRecord(SumLayout::kSfv, name, false, {*value, DigestEncoding::kHex, DigestSet{kCrc32}}, line);
}

// A digest alone; a blank after it starts a name, as in the sums layout.
bool SumLineParser::ReadDigestOnly(std::string_view text, SumLine& line) const {
  text.remove_prefix(SkipBlanks(text, 0));
  if (text.find_first_of(" \t") != std::string_view::npos) return false;
  ExpectedDigest digest;
  if (!ReadDigest(text, implied_, digest)) return false;
  line.kind = SumLineKind::kRecord;
  line.digests.assign(1, digest);
  line.layout = SumLayout::kDigestOnly;
  return true;
}

// The sums layout, as md5sum's split_3 reads it: the digest, one blank or
// TAB, then the mode mark (" " or "*") unless the file's first such line had
// none, then the name to the line's end.
bool SumLineParser::ReadSums(std::string_view text, SumLine& line) {
  std::size_t at = SkipBlanks(text, 0);
  const bool escaped = at < text.size() && text[at] == '\\';
  if (escaped) ++at;
  std::size_t end = at;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  if (end == text.size()) return false;
  const std::string_view digest_text = text.substr(at, end - at);
  ExpectedDigest digest;
  if (!ReadDigest(digest_text, implied_, digest)) return false;
  std::size_t name_at = end + 1;
  const bool one_blank = text.size() - name_at <= 1 || (text[name_at] != ' ' && text[name_at] != '*');
  if (one_blank) {
    if (form_ == Form::kModeMark) return Improper(line);
    form_ = Form::kOneBlank;
  } else if (form_ != Form::kOneBlank) {
    form_ = Form::kModeMark;
    ++name_at;
  }
  return SetRecord(SumLayout::kSums, text.substr(name_at), escaped, digest, line);
}

bool SumLineParser::ReadSavedList(std::string_view text, SumLine& line) const {
  constexpr std::string_view kGap = "     ";
  if (!implied_.empty() && !implied_.contains(kMd5)) return false;
  const std::size_t digits = 2 * InfoOf(kMd5).size;
  if (text.size() <= kGap.size() + digits) return false;
  const std::string_view digest_text = text.substr(text.size() - digits);
  std::string_view path = text.substr(0, text.size() - digits);
  if (!path.ends_with(kGap)) return false;
  path.remove_suffix(kGap.size());
  const std::optional<DigestValue> value = ParseHexDigest(digest_text);
  if (!value) return false;
  // `quillora-cli hash` escapes a line as md5sum escapes a name; where "\\"
  // is the separator a name holds no line break, and its lines never are.
  const bool escaped = kPathSeparator != '\\' && path.starts_with('\\');
  if (escaped) path.remove_prefix(1);
  SetRecord(SumLayout::kSavedList, path, escaped, {*value, DigestEncoding::kHex, DigestSet{kMd5}}, line);
  line.native = !escaped;
  return true;
}

}  // namespace quillora
