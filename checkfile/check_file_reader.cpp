#include "checkfile/check_file_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string_view>

#include "checkfile/check_file_format.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/wide_text.h"

namespace quillora {
namespace {

constexpr char kEndOfInput = '\x1a';
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsSpecial(char ch) { return ch == '\n' || ch == '\r' || ch == kEndOfInput; }
bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

bool IsBlankOnly(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

bool IsHexDigit(char ch) { return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F'); }

// What a line that is no record looks like a record of: a tag before a name
// in brackets ("SHA256 (name) = ..." gives "SHA256"), or a run of hex digits
// of another digest's length before a blank ("256-bit"); else nothing.
std::string LooksLike(std::string_view line) {
  std::size_t at = line.find_first_not_of(" \t\\");
  if (at == std::string_view::npos) return {};
  line.remove_prefix(at);
  std::size_t tag = 0;
  while (tag < line.size() && tag < 16 &&
         (std::isalnum(static_cast<unsigned char>(line[tag])) || line[tag] == '-' || line[tag] == '/'))
    ++tag;
  const std::string_view after = line.substr(tag);
  if (tag > 1 && !IsHexDigit(line[0]) && (after.starts_with(" (") || after.starts_with("(")) &&
      (line.find(") = ") != std::string_view::npos || line.find(")= ") != std::string_view::npos))
    return std::string(line.substr(0, tag));
  std::size_t digits = 0;
  while (digits < line.size() && IsHexDigit(line[digits])) ++digits;
  const bool ends = digits == line.size() || IsBlank(line[digits]);
  if (!ends || digits % 2 != 0) return {};
  // Digests longer than MD5's: BLAKE2b has every length, and a shorter run
  // of digits is as likely a number or a word.
  if (digits / 2 <= InfoOf(DigestId::kMd5).size || DigestsOfSize(digits / 2).empty()) return {};
  return std::to_string(digits * 4) + "-bit";
}

// The file a sidecar's lone digest is of: the check file's name without the
// extension that implies its digest ("disc.iso" for "disc.iso.sha256" or
// "disc.iso.sha256.asc"), or without ".sum", which implies none (rhash's
// "disc.iso.sum"); empty for any other name.
std::string SidecarTarget(std::string_view file_name) {
  if (DigestsByFileName(file_name).empty() && !EndsWithNoCase(WithoutTextSuffix(file_name), ".sum")) return {};
  file_name = WithoutTextSuffix(file_name);
  const std::size_t dot = file_name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? std::string() : std::string(file_name.substr(0, dot));
}

// Whether a decoded name is a path of its own here: from the root, or, where
// there are drives, from a drive's root.
bool IsOwnPath(std::string_view name) {
  if (name.starts_with('/') || name.starts_with(kPathSeparator)) return true;
  const char drive = static_cast<char>(name.empty() ? 0 : name[0] | 0x20);
  return kNativePaths.drive_letters && name.size() >= 3 && drive >= 'a' && drive <= 'z' && name[1] == ':' &&
         (name[2] == '/' || name[2] == '\\');
}

// Cuts the "./" parts a name starts with ("./a.txt", ".//./a.txt"), from
// byte `at` of path, so that a folder before it reads as the name's own;
// a name of nothing but them stays as it is.
void DropLeadingDots(std::string& path, std::size_t at) {
  std::size_t end = at;
  while (end + 1 < path.size() && path[end] == '.' && IsSeparator(path[end + 1])) {
    end += 2;
    while (end < path.size() && IsSeparator(path[end])) ++end;
  }
  if (end < path.size()) path.erase(at, end - at);
}

// Keeps of each expected digest only the candidates the user fixed, and only
// the expected digests left with one. False when none is left.
bool KeepFixed(DigestSet fixed, std::vector<ExpectedDigest>& digests) {
  std::erase_if(digests, [fixed](ExpectedDigest& digest) {
    digest.candidates = digest.candidates & fixed;
    return digest.candidates.empty();
  });
  return !digests.empty();
}

}  // namespace

CheckFileReader::CheckFileReader(Stream& input, std::string path_prefix, const ReadingRules& rules)
    : input_(input),
      start_(input.Position()),
      block_(kBlockSize, '\0'),
      fixed_(rules.fixed),
      line_end_(rules.nul_ended ? '\0' : '\n'),
      keep_unread_numbers_(rules.keep_unread_numbers),
      parser_(rules.fixed.empty() ? DigestsByFileName(rules.file_name) : rules.fixed),
      sidecar_(SidecarTarget(rules.file_name)),
      prefix_(std::move(path_prefix)) {
  head_.reserve(kDigestTextLength);
  // Quillora's own records are MD5's: a user who fixed another digest wants
  // none of them; nor does one who reads records ended by NUL.
  if ((!fixed_.empty() && !fixed_.contains(DigestId::kMd5)) || rules.nul_ended) Restart();
}

void CheckFileReader::AppendPath(const char* bytes, std::size_t count) {
  if (!whole_line_ && path_.size() + count > kLongLine) {
    // Only a run of the block gets here (a line's single first byte never
    // makes it long): what is left of the line starts at block_[at_].
    const std::uint64_t rest = LineBytesFromHere();
    std::string whole;
    whole.reserve(prefix_.size() + path_.size() + rest + kPathRoom);
    whole.append(prefix_).append(path_);
    path_.swap(whole);
    whole_line_ = true;
  }
  path_.append(bytes, count);
}

std::uint64_t CheckFileReader::LineBytesFromHere() {
  const std::string_view in_block(block_.data() + at_, size_ - at_);
  if (const std::size_t lf = in_block.find(line_end_); lf != std::string_view::npos) return lf;
  std::uint64_t bytes = in_block.size();
  const std::int64_t resume = input_.Position();
  if (resume < 0) return bytes;  // no going back: the line grows as it comes
  std::string scan(kBlockSize, '\0');
  for (;;) {
    const std::int64_t got = input_.Read(scan.data(), scan.size());
    if (got < 0) throw IoError::FromSystem(input_.last_error());
    if (got == 0) break;
    const std::string_view read(scan.data(), static_cast<std::size_t>(got));
    if (const std::size_t lf = read.find(line_end_); lf != std::string_view::npos) {
      bytes += lf;
      break;
    }
    bytes += read.size();
  }
  if (!input_.Seek(resume)) throw IoError::FromSystem(input_.last_error() != 0 ? input_.last_error() : ESPIPE);
  return bytes;
}

void CheckFileReader::Begin() {
  if (layout_ == CheckFileLayout::kMd5sum) LookForSignedMessage();  // read in other tools' layouts from the start
  ReadStart();
}

// A record before a signed message would be read before the message is met:
// whether the file holds one is known first, from a reading of its own.
void CheckFileReader::LookForSignedMessage() {
  if (HoldsSignedMessage(input_)) clear_signed_.ExpectSignedMessage();
  SeekToStart();
}

void CheckFileReader::SeekToStart() {
  if (start_ < 0 || !input_.Seek(start_))
    throw IoError::FromSystem(input_.last_error() != 0 ? input_.last_error() : ESPIPE);
}

void CheckFileReader::ReadStart() {
  // A read may return fewer bytes than asked: the mark is known only once
  // three bytes (or the end) are in.
  at_ = 0;
  size_ = 0;
  while (size_ < kByteOrderMark.size()) {
    const std::int64_t got = input_.Read(block_.data() + size_, kByteOrderMark.size() - size_);
    if (got < 0) throw IoError::FromSystem(input_.last_error());
    if (got == 0) break;
    size_ += static_cast<std::size_t>(got);
  }
  if (std::string_view(block_.data(), size_) == kByteOrderMark) at_ = size_;
  started_ = true;
}

bool CheckFileReader::Refill() {
  const std::int64_t got = input_.Read(block_.data(), block_.size());
  if (got < 0) throw IoError::FromSystem(input_.last_error());
  at_ = 0;
  size_ = static_cast<std::size_t>(got);
  return got > 0;
}

void CheckFileReader::TakeGathered(std::string& into) {
  if (whole_line_) {
    // The prefix is in already, and the string is the line's own: handed
    // over, never copied, and not kept for the next line.
    into = std::move(path_);
    path_ = std::string();
    whole_line_ = false;
    return;
  }
  if (prefix_.empty()) {
    into.swap(path_);  // no copy, and no allocation once warm
    return;
  }
  into.assign(prefix_).append(path_);
}

void CheckFileReader::CountUnread(std::string_view line_start) {
  CountUnread(past_end_mark_ ? std::string() : LooksLike(line_start),
              past_end_mark_ ? UnreadWhy::kAfterEndMark : UnreadWhy::kLooksLike);
}

void CheckFileReader::CountUnread(std::string looks_like, UnreadWhy why) {
  if (!looks_like.empty() || why != UnreadWhy::kLooksLike) {
    auto kind = std::find_if(kinds_.begin(), kinds_.end(),
                             [&](const UnreadKind& k) { return k.name == looks_like && k.why == why; });
    if (kind == kinds_.end()) kind = kinds_.insert(kind, {looks_like, 0, why});
    ++kind->count;
  }
  if (keep_unread_numbers_) unread_numbers_.push_back(line_number_);
  if (unread_.size() < kUnreadKept) unread_.push_back({line_number_, std::move(looks_like)});
  ++unread_count_;
}

bool CheckFileReader::EndOtherLine(CheckRecord& record) {
  if (state_ != LineState::kLine) {
    clear_signed_.Unwrap({});  // an empty line ends a signed message's header
    return false;
  }
  std::string& line = record.path;
  TakeGathered(line);
  // A CR ends a line of LF's; a NUL-ended record keeps it, as part of its name.
  if (line_end_ == '\n' && line.size() > prefix_.size() && line.back() == '\r') line.pop_back();
  const ClearSignedText::Unwrapped unwrapped = clear_signed_.Unwrap(std::string_view(line).substr(prefix_.size()));
  const std::string_view text = unwrapped.text;
  if (unwrapped.part == ClearSignedText::Part::kOutside && !IsBlankOnly(text))
    CountUnread({}, UnreadWhy::kOutsideMessage);
  if (unwrapped.part != ClearSignedText::Part::kRead) return false;
  // An old editor's end mark, alone at the very end: nothing follows it.
  if (input_done_ && text == std::string_view(&kEndOfInput, 1)) return false;
  parser_.Parse(text, sum_line_);
  switch (sum_line_.kind) {
    case SumLineKind::kPassedOver:
      return false;
    case SumLineKind::kUnavailable:
      CountUnread(sum_line_.unavailable, UnreadWhy::kLacked);
      return false;
    case SumLineKind::kImproper:
      CountUnread(text.substr(0, kSampleSize));
      return false;
    case SumLineKind::kRecord:
      return TakeRecord(record);
  }
  return false;
}

bool CheckFileReader::TakeRecord(CheckRecord& record) {
  std::string& path = record.path;
  if (!fixed_.empty()) {
    const DigestId written = *sum_line_.digests.front().candidates.begin();
    if (!KeepFixed(fixed_, sum_line_.digests)) {
      (void)written;
      ++passed_over_count_;  // another digest than the user's, as its tag says: passed over as asked
      return false;
    }
  }
  if (sum_line_.layout == SumLayout::kDigestOnly) {
    if (sidecar_.empty()) {
      CountUnread(std::string_view(path).substr(prefix_.size(), kSampleSize));
      return false;
    }
    path.resize(prefix_.size());
    path += sidecar_;
  } else {
    // On POSIX a backslash is a byte a name may hold: the name as written
    // is kept for the file of that very name (SeparateAtBackslashes).
    const bool literal = !sum_line_.escaped && !sum_line_.native && kPathSeparator != '\\' &&
                         sum_line_.name.find('\\') != std::string_view::npos;
    DecodeSumName(sum_line_, literal ? '\\' : kPathSeparator, path, prefix_.size());
    record.backslashes_may_separate = literal;
    if (!literal) ToNativeSeparators(path, prefix_.size());  // on Windows, "/" too
  }
  if (sum_line_.layout == SumLayout::kDigestOnly) record.backslashes_may_separate = false;
  record.absolute = IsOwnPath(std::string_view(path).substr(prefix_.size()));
  if (record.absolute) {
    path.erase(0, prefix_.size());
  } else if (!prefix_.empty()) {
    DropLeadingDots(path, prefix_.size());  // "./a.txt" below "./" is "./a.txt", not "././a.txt"
  }
  // Written by a program that knew only the ANSI code page.
  MendLegacyText(path, record.absolute ? 0 : prefix_.size());
  record.digest_text.clear();
  record.digests.swap(sum_line_.digests);
  record.size = sum_line_.size;
  return true;
}

bool CheckFileReader::EndLine(CheckRecord& record, bool next_line) {
  bool is_record = false;
  if (layout_ == CheckFileLayout::kMd5sum) {
    if (state_ != LineState::kComment) is_record = EndOtherLine(record);
    state_ = LineState::kLineStart;
  } else {
    is_record = state_ == LineState::kRecordPath;
    if (is_record) {
      record.digest_text.swap(head_);
      record.digests.clear();
      record.size.reset();
      record.absolute = false;
      record.backslashes_may_separate = false;
      TakeGathered(record.path);
      ToNativePath(record.path, prefix_.size());
      // A check file written by a program that knew only the ANSI code page.
      MendLegacyText(record.path, prefix_.size());
      decided_ = true;
    } else if ((state_ == LineState::kNotRecord && !sample_blank_) || (state_ == LineState::kHead && !IsBlankOnly(head_))) {
      CountUnread(state_ == LineState::kHead ? head_ : sample_);
    }
    // Past a Ctrl-Z every line is one not read: none is a record.
    state_ = past_end_mark_ ? LineState::kNotRecord : LineState::kHead;
    sample_blank_ = true;
  }
  if (next_line) ++line_number_;
  if (whole_line_) {
    path_ = std::string();
    whole_line_ = false;
  }
  head_.clear();
  path_.clear();
  sample_.clear();
  return is_record;
}

void CheckFileReader::Restart() {
  layout_ = CheckFileLayout::kMd5sum;
  past_end_mark_ = false;
  state_ = LineState::kLineStart;
  line_number_ = 1;
  unread_count_ = 0;
  unread_.clear();
  unread_numbers_.clear();
  kinds_.clear();
}

bool CheckFileReader::EndOfInput(CheckRecord& record) {
  input_done_ = true;
  const bool is_record = EndLine(record);
  input_done_ = false;
  if (is_record) {
    ended_ = true;
    return true;
  }
  if (decided_ || layout_ == CheckFileLayout::kMd5sum) {
    ended_ = true;
    return false;
  }
  ReadAgain();
  return false;
}

// Not one record of Quillora's layout: the file is read again, in other
// tools' layouts. Nothing was held meanwhile, whatever the file's size.
void CheckFileReader::ReadAgain() {
  SeekToStart();
  LookForSignedMessage();
  Restart();
  ReadStart();
}

bool CheckFileReader::EndRecordsAtMark(CheckRecord& record) {
  const bool is_record = EndLine(record, /*next_line=*/false);
  if (!decided_) {  // no record of ours before it: another tool's file, where it ends nothing
    ReadAgain();
    return false;
  }
  past_end_mark_ = true;
  state_ = LineState::kNotRecord;  // the rest of its line first
  return is_record;
}

void CheckFileReader::TakeRun(bool md5sum) {
  if (state_ == LineState::kHead || state_ == LineState::kLineStart) return;
  const char* const data = block_.data();
  std::size_t run = at_;
  if (md5sum) {
    while (run < size_ && data[run] != line_end_) ++run;
  } else {
    while (run < size_ && !IsSpecial(data[run])) ++run;
  }
  if (state_ == LineState::kRecordPath || state_ == LineState::kLine) {
    AppendPath(data + at_, run - at_);
  } else if (state_ == LineState::kNotRecord) {
    const std::string_view bytes(data + at_, run - at_);
    sample_blank_ = sample_blank_ && IsBlankOnly(bytes);
    sample_.append(bytes.substr(0, kSampleSize - std::min(kSampleSize, sample_.size())));
  }
  at_ = run;
}

bool CheckFileReader::TakeOtherToolsByte(char ch, CheckRecord& record) {
  if (ch == line_end_) return EndLine(record);
  if (ch == '#' || ch == ';') {
    state_ = LineState::kComment;
  } else {
    state_ = LineState::kLine;
    AppendPath(&ch, 1);
  }
  return false;
}

bool CheckFileReader::TakeOwnLayoutByte(char ch, CheckRecord& record) {
  if (ch == '\r') return false;
  if (ch == '\n') return EndLine(record);
  if (past_end_mark_) {  // another Ctrl-Z, in a line not read: a byte of it
    sample_blank_ = false;
    return false;
  }
  if (ch == kEndOfInput) return EndRecordsAtMark(record);
  // Only kHead reaches here with an ordinary byte.
  if (head_.empty() && ch == ';') {
    state_ = LineState::kComment;
  } else if (ch == '\t' && head_.size() == kDigestTextLength) {
    state_ = LineState::kRecordPath;
  } else if (ch == '\t' || head_.size() == kDigestTextLength) {
    state_ = LineState::kNotRecord;
    sample_ = head_ + ch;
    sample_blank_ = IsBlankOnly(sample_);
  } else {
    head_ += ch;
  }
  return false;
}

bool CheckFileReader::Next(CheckRecord& record) {
  if (!started_) Begin();
  while (!ended_) {
    if (at_ == size_ && !Refill()) {
      if (EndOfInput(record)) return true;
      continue;
    }
    const bool md5sum = layout_ == CheckFileLayout::kMd5sum;
    TakeRun(md5sum);
    if (at_ == size_) continue;
    const char ch = block_[at_++];
    if (md5sum ? TakeOtherToolsByte(ch, record) : TakeOwnLayoutByte(ch, record)) return true;
  }
  return false;
}

void CheckFileReader::SeparateAtBackslashes(CheckRecord& record) const {
  if (!record.backslashes_may_separate) return;
  record.backslashes_may_separate = false;
  std::string& path = record.path;
  const std::size_t from = record.absolute ? 0 : prefix_.size();
  std::replace(path.begin() + static_cast<std::ptrdiff_t>(from), path.end(), '\\', kPathSeparator);
  if (!record.absolute && IsOwnPath(std::string_view(path).substr(from))) {
    path.erase(0, prefix_.size());
    record.absolute = true;
  }
}

}  // namespace quillora
